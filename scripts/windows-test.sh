#!/usr/bin/env bash
# The Windows build: lyrwin.dll and lyrutil.dll cross-compiled with MinGW-w64, 32-bit (the suite's
# own target) and 64-bit; each DLL's export table checked against the export map and its imports
# against the system's DLLs; then the 64-bit test programs run under Wine. 32-bit Wine cannot be
# installed beside 64-bit here, so the 32-bit build is compiled and checked, not run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh windows
jobs=$(nproc)

for arch in i686 x86_64; do
  echo "=== Windows, $arch"
  dir=build/windows-$arch
  tests=ON
  [ "$arch" = x86_64 ] || tests=OFF
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$arch.cmake \
    -DCMAKE_BUILD_TYPE=Release -DLYRUTIL_BUILD_TESTS=$tests
  cmake --build "$dir" -j "$jobs"
  bash tests/check_exports.sh "$dir/lyrutil.dll" cmake/lyrutil.map \
    "$arch-w64-mingw32-objdump" "$arch-w64-mingw32-c++filt"
  # The C and C++ runtimes are linked in: nothing but Windows' own DLLs (and lyrwin.dll) is needed.
  for binary in "$dir"/*.dll "$dir"/*.exe; do
    foreign=$("$arch-w64-mingw32-objdump" -p "$binary" | sed -n 's/^\tDLL Name: //p' |
      grep -viE '^((kernel32|user32|gdi32|advapi32|comdlg32|msvcrt|lyrwin|lyrutil)\.dll|winspool\.drv)$' ||
      true)
    if [ -n "$foreign" ]; then
      echo "$binary needs DLLs that Windows does not have: $foreign"
      exit 1
    fi
  done
  echo "$arch: imports are Windows' own"
done

echo "=== Windows tests under Wine"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64)
# Wine keeps the read-only attribute as permission bits, which root ignores only through its
# capabilities: as root the tests run with every capability dropped (so permission bits hold for
# them too), which needs no other user and no change to the folders above the run's own.
run_dir=$(mktemp -d /tmp/lyrutil-wine-XXXXXX)
cp build/windows-x86_64/*.exe build/windows-x86_64/*.dll "$run_dir"
mkdir "$run_dir/home"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --bounding-set=-all --inh-caps=-all)
fi
# A UTF-8 locale lets Wine give files names outside ASCII (a test makes "C:\Été"); the virtual X
# server gives the dialogs that Windows shows a screen.
wine_env=(env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 HOME="$run_dir/home" WINEPREFIX="$run_dir/home/prefix"
  WINEDEBUG=-all)
run_wine() {
  (cd "$run_dir" && "${as_user[@]}" "${wine_env[@]}" xvfb-run -a "$wine" "$@")
}
status=0
for suite in lyrutil_fast_tests lyrutil_slow_tests; do
  echo "--- $suite"
  run_wine "./$suite.exe" --gtest_brief=1 || status=1
done
# The Wine server outlives the programs and keeps writing the prefix for a while: it is stopped and
# waited for before the folder goes, so that the removal does not race it.
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
"${as_user[@]}" "${wine_env[@]}" "$wineserver" -k >/dev/null 2>&1 || true
"${as_user[@]}" "${wine_env[@]}" "$wineserver" -w >/dev/null 2>&1 || true
rm -rf "$run_dir" || echo "warning: could not remove $run_dir"
exit $status
