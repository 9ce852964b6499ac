#!/usr/bin/env bash
# Builds the libFuzzer harnesses of the file readers with clang and runs each of them
# for the given number of seconds, two at a time, then prints the executions and the
# coverage (cov: edges, ft: features) that each reached. Exits non-zero when any
# harness crashed, hung or broke a reader's contract; the input is kept under
# <build>/artifacts/<reader>/ and its last log lines are printed.
#
#   scripts/fuzz.sh SECONDS [READER...]        e.g. scripts/fuzz.sh 30
#
# READER names a harness (configuration, survey_database, binary_points, text_points,
# rotation_table, scan_rotation, pair_preparation, settings_file, las_import,
# ply_import, ptx_import, xyz_import, e57_import); default all.
# FUZZ_BUILD_DIR (default build-fuzz) is the build folder; the corpus grown there
# (<build>/corpus/<reader>) is kept and reused by the next run. FUZZ_JOBS (default 2)
# harnesses run at once. To replay a saved input with the console output shown:
#   TAVRIN_FUZZ_VERBOSE=1 <build>/tests/fuzz/<reader>_fuzz <input>
set -euo pipefail

seconds=${1:-}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
  echo "usage: scripts/fuzz.sh SECONDS [READER...]" >&2
  exit 2
fi
shift
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${FUZZ_BUILD_DIR:-$root/build-fuzz}")
jobs=${FUZZ_JOBS:-2}

"$root/scripts/install_packages.sh" clang libclang-rt-14-dev cmake libpugixml-dev

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_FUZZ=ON \
  -DTAVRIN_BUILD_32B=OFF -DTAVRIN_BUILD_GUI=OFF -DTAVRIN_BUILD_TESTS=OFF -DCMAKE_CXX_FLAGS=-Werror >/dev/null
cmake --build "$build" --target fuzzers -j"$(nproc)"

readers=("$@")
if [ ${#readers[@]} -eq 0 ]; then
  for exe in "$build"/tests/fuzz/*_fuzz; do
    name=$(basename "$exe")
    readers+=("${name%_fuzz}")
  done
fi

# The readers' scratch folders go to memory where there is a tmpfs: every input is
# written, read and removed, and a disk makes that (not the readers) the slow part.
# Removed at the end, with whatever a crashed input left there.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR=$(mktemp -d /dev/shm/tavrin-fuzz.XXXXXX)
else
  TMPDIR=$(mktemp -d "$build/fuzz-tmp.XXXXXX")
fi
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
rm -rf "$build/logs"
mkdir -p "$build/logs"

run_one() {
  local reader=$1 exe="$build/tests/fuzz/$1_fuzz"
  local max_len=4096
  [ "$reader" = pair_preparation ] && max_len=8192
  # The smallest E57 file with its XML section is a few pages.
  [ "$reader" = e57_import ] && max_len=16384
  if [ ! -x "$exe" ]; then
    echo "no harness $exe" >"$build/logs/$reader.log"
    return 1
  fi
  mkdir -p "$build/corpus/$reader" "$build/artifacts/$reader"
  # -close_fd_mask=2 discards the readers' standard error lines; libFuzzer and the
  # sanitizers keep reporting on a copy of it. Standard output is silenced by the harness.
  "$exe" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len="$max_len" \
    -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$build/artifacts/$reader/" \
    "$build/corpus/$reader" "$root/tests/fuzz/corpus/$reader" >"$build/logs/$reader.log" 2>&1
}

# Each run leaves its exit status in <reader>.status; at most $jobs run at once.
running=0
for reader in "${readers[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "fuzzing $reader for $seconds s"
  (
    status=0
    run_one "$reader" || status=$?
    echo "$status" >"$build/logs/$reader.status"
  ) &
  running=$((running + 1))
done
wait

failed=()
for reader in "${readers[@]}"; do
  [ "$(cat "$build/logs/$reader.status" 2>/dev/null)" = 0 ] || failed+=("$reader")
done

printf '\n%-18s %12s %8s %8s  %s\n' harness executions cov ft result
for reader in "${readers[@]}"; do
  log="$build/logs/$reader.log"
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE[[:space:]]' "$log" | tail -1 || true)
  [ -n "$done_line" ] || done_line=$(grep -E '^#[0-9]+[[:space:]]' "$log" | tail -1 || true)
  execs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -1)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$done_line")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$done_line")
  result=ok
  [[ " ${failed[*]} " == *" $reader "* ]] && result=FAILED
  printf '%-18s %12s %8s %8s  %s\n' "$reader" "${execs:--}" "${cov:--}" "${ft:--}" "$result"
done

if [ ${#failed[@]} -gt 0 ]; then
  for reader in "${failed[@]}"; do
    echo
    echo "== $reader failed; log $build/logs/$reader.log, inputs in $build/artifacts/$reader/:"
    ls "$build/artifacts/$reader/" 2>/dev/null || true
    # From the first report on (sanitizer, libFuzzer or a broken contract), else the end.
    log="$build/logs/$reader.log"
    first=$(grep -n -m1 -E 'runtime error|ERROR:|reader contract broken|^==[0-9]+==' "$log" | cut -d: -f1 || true)
    if [ -n "$first" ]; then
      tail -n +"$first" "$log" | grep -v -E '^#[0-9]+[[:space:]]' | head -40
    else
      grep -v -E '^#[0-9]+[[:space:]]' "$log" | tail -40
    fi
  done
  exit 1
fi
echo "Every harness ran $seconds s without a finding."
