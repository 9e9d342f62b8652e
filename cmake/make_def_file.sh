#!/usr/bin/env bash
# Writes the module-definition (.def) file of a Windows DLL: the symbols of its object files whose
# demangled names are in the export map, so that the DLL exports exactly the interface, as the
# version script does on Linux. Class-wide dllexport would export private members too.
# Usage: make_def_file.sh NM CXXFILT MAP DLLNAME OUT OBJECT...
set -euo pipefail
nm=$1 cxxfilt=$2 map=$3 dll=$4 out=$5
shift 5
. "$(dirname "$0")/export_names.sh"
# 32-bit objects carry the C prefix "_" before every name; the .def file names symbols without it.
symbols=$("$nm" --defined-only -g "$@" | awk 'NF == 3 && $2 ~ /^[TDRBV]$/ { print $3 }' | sort -u)
prefix=""
case $symbols in *$'\n'__Z* | __Z*) prefix="_" ;; esac
mangled=$(echo "$symbols" | sed -E "s/^$prefix//")
demangled=$(echo "$mangled" | "$cxxfilt" --no-strip-underscore | normalized_names)
wanted=$(map_names "$map")
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  paste -d '\t' <(echo "$mangled") <(echo "$demangled") |
    awk -F '\t' 'NR == FNR { wanted[$0] = 1; next } ($2 in wanted) { print "  " $1 }' \
      <(echo "$wanted") -
} > "$out.tmp"
mv "$out.tmp" "$out"
