# Shell functions shared by the scripts that make and check the library's export table.
# The export map spells the interface as GCC on Linux demangles it; on Windows the 32-bit Win32
# integer types (LONG, DWORD, ULONG) are long where the stand-in has them as int, so names are
# compared with "long" read as "int" (and "long long" left alone).

# The interface's names, one a line, from the export map.
map_names() {
  grep -oE '"[^"]*";' "$1" | tr -d '";' | sort -u
}

# Demangled names on standard input, spelt as the export map spells them.
normalized_names() {
  sed -E 's/long long/LONGLONG_/g; s/\blong\b/int/g; s/LONGLONG_/long long/g'
}
