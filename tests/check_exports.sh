#!/usr/bin/env bash
# The library exports exactly the interface's names: each name of the export map is defined in
# the shared object, and nothing else is. A Windows DLL is read with its toolchain's objdump
# (its export table) and c++filt: check_exports.sh DLL MAP OBJDUMP CXXFILT.
set -euo pipefail
library=$1
map=$2
. "$(dirname "$0")/../cmake/export_names.sh"
expected=$(map_names "$map")
if [ $# -ge 4 ]; then
  objdump=$3 cxxfilt=$4
  actual=$("$objdump" -p "$library" |
           awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next } table && /^\t\[/ { print $3 } table && /^$/ { table = 0 }' |
           "$cxxfilt" --no-strip-underscore | normalized_names | sort -u)
else
  actual=$(nm -DC --defined-only "$library" | sed -E 's/^[0-9a-f]+ [A-Za-z] //' | sort -u)
fi
if [ "$expected" != "$actual" ]; then
  echo "exports differ from the interface (< expected, > found):"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "$(echo "$actual" | wc -l) exports, as expected"
