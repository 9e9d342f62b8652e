#!/usr/bin/env bash
# The library exports exactly the interface's names: each name of the export map is defined in
# the shared object, and nothing else is.
set -euo pipefail
library=$1
map=$2
expected=$(grep -oE '"[^"]*";' "$map" | tr -d '";' | sort -u)
actual=$(nm -DC --defined-only "$library" | sed -E 's/^[0-9a-f]+ [A-Za-z] //' | sort -u)
if [ "$expected" != "$actual" ]; then
  echo "exports differ from the interface (< expected, > found):"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "$(echo "$actual" | wc -l) exports, as expected"
