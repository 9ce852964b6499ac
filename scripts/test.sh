#!/usr/bin/env bash
# Builds everything (both batch builds, the settings program, the tools) and runs
# every test: the release build, then the 64-bit build again with AddressSanitizer
# and UndefinedBehaviorSanitizer, then each file reader's fuzzer for 10 seconds. Each
# stage says when it starts, in seconds since the command began.
#   scripts/test.sh           everything
#   scripts/test.sh --quick   the release build and the everyday tests (ctest -LE slow):
#                             no 32-bit runs under qemu, no kill test, no dense recoveries
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
if [ "${1:-}" = "--quick" ]; then
  quick=1
fi
scripts/install_packages.sh build-essential cmake g++ g++-multilib libgtest-dev qemu-user \
  qt6-base-dev qt6-svg-dev librsvg2-bin libpugixml-dev
jobs=$(nproc)
stage() { echo "== $1 (at ${SECONDS} s)"; }

stage "release build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-Werror
cmake --build build -j"$jobs"
if [ "$quick" = 1 ]; then
  ctest --test-dir build --output-on-failure -j"$jobs" -LE slow
  echo "Everyday tests passed."
  exit 0
fi
stage "release tests"
ctest --test-dir build --output-on-failure -j"$jobs"

stage "sanitizer build"
# -O1 and line tables only: half the compile time of -O2 -g under the sanitizers, and
# their reports still name file and line.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" \
  -DTAVRIN_SANITIZE=ON -DTAVRIN_BUILD_32B=OFF -DTAVRIN_BUILD_GUI=OFF -DCMAKE_CXX_FLAGS=-Werror
cmake --build build-sanitize -j"$jobs"
stage "sanitizer tests"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
stage "fuzzing"
# Every file reader under libFuzzer for a short while, so that a regression shows.
scripts/fuzz.sh 10
echo "All tests passed (${SECONDS} s)."
