#!/usr/bin/env bash
# Checks that every name in the public headers states its contract (Doxygen), then builds and
# runs the tests twice, plainly and under AddressSanitizer with
# UndefinedBehaviorSanitizer, then the thread tests under ThreadSanitizer, then the Windows build
# with its tests under Wine (scripts/windows-test.sh), then runs each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

echo "=== header contracts: Doxygen finds nothing undocumented in include/lyrutil"
# Doxygen makes only the last folder of its output path; on a clean checkout build/ is not there.
mkdir -p build/docs
doxygen docs/Doxyfile
echo "=== plain build"
run_suite build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "=== AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DLYRUTIL_SANITIZE=ON
echo "=== ThreadSanitizer: threads, events, share modes, workers, the method-file lock list and a cancelled print"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLYRUTIL_SANITIZE=thread \
  -DLYRUTIL_BUILD_TOOLS=OFF
cmake --build build/tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" --timeout 300 \
  -R 'ThreadsEvents|ThreadLifetime|ShareMode|WorkerThreads|SharedOpen|EndingADocumentWhileAnotherThreadDraws'
echo "=== Windows DLLs (MinGW-w64) and their tests under Wine"
bash scripts/windows-test.sh
echo "=== fuzz targets"
CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLYRUTIL_BUILD_TESTS=OFF -DLYRUTIL_BUILD_TOOLS=OFF \
  -DLYRUTIL_BUILD_FUZZERS=ON
cmake --build build/fuzz -j "$jobs"
for target in build/fuzz/fuzz/*_fuzz; do
  corpus="fuzz/corpus/$(basename "$target")"
  mkdir -p "build/fuzz/corpus-$(basename "$target")"
  "$target" -max_total_time="${FUZZ_SECONDS:-30}" -timeout=60 -print_final_stats=1 \
    "build/fuzz/corpus-$(basename "$target")" $( [ -d "$corpus" ] && echo "$corpus" )
done
