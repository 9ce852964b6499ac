#!/usr/bin/env bash
# The batch program against two general-purpose peers on overlapping pairs of the
# example survey: two set-ups 30 m apart below the cliff, scan 2's heading off by a
# known angle (0.5 degrees unless --errors lists others), scan 1 exact; and a pair of
# two different cliffs (scan 2 of another seed), which the batch program must report
# as failed. Not part of the tests: it installs packages, takes minutes, and wants the
# machine otherwise quiet.
#
# Timed, median of 3 after one untimed run, is the whole process from start to end,
# with the files already written and in the page cache:
# - the batch program, run mode 1 on the two-scan survey, once per REGSOL asked for,
#   at the solver defaults (MAXITER 5, MAXREPEAT 3, RMSTHRESH 0.04, ALPHATHRESH
#   1.75e-5), the generator's cube size and MINNUMPTS; reading the two point files is
#   part of it;
# - Open3D (bench/open3d_icp.py): start of Python and import of Open3D, reading the
#   two scans from binary PLY, target normals, point-to-plane ICP, writing the matrix;
#   2 threads;
# - CloudCompare's command line: start, reading the two PLY files, ICP about Z only
#   (-ROT Z -OVERLAP 40, other settings at their defaults), writing the matrix.
# The PLY files hold both scans in the survey frame with the database headings, moved
# exactly as the batch program moves them (bench/peer_pair.py); writing them is not
# timed. One script (bench/pair_measure.py) then measures every result the same way:
# heading left over against the truth and point-to-plane RMS of scan 2 against scan 1.
# Peak memory is /usr/bin/time's maximum resident set size, the largest of the 3 runs.
# CloudCompare's ICP samples points at random, so its result changes from run to run;
# the table measures the last run's matrix.
#
# The batch program runs at its defaults for HEADINGSEARCH (the whole turn): a pair whose
# headings do not line up from the database is searched before the solve.
#
# Usage: bench/peer_bench.sh [--points 250000|1000000|4000000] [--regsol "3 2"] [--runs 3]
#                            [--errors "0.5 6 10 20 45 90 170"] [--no-peers]
set -euo pipefail
cd "$(dirname "$0")/.."
points=1000000
regsols="3 2"
runs=3
errors=0.5
peers_too=1
usage="Usage: $0 [--points 250000|1000000|4000000] [--regsol \"3 2\"] [--runs 3] [--errors \"0.5 6 45\"] [--no-peers]"
while [ $# -gt 0 ]; do
  case $1 in
    --points) points=$2; shift 2 ;;
    --regsol) regsols=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --errors) errors=$2; shift 2 ;;
    --no-peers) peers_too=0; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
scripts/install_packages.sh build-essential cmake g++ time python3-open3d python3-scipy cloudcompare

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_32B=OFF \
  -DTAVRIN_BUILD_GUI=OFF -DTAVRIN_BUILD_TESTS=OFF > /dev/null
cmake --build build-bench -j2 --target tavrinbatch_x64 make_example_survey
root=$(pwd)
# Debian's Python, which has the Debian packages, whatever python comes first in PATH.
python=/usr/bin/python3

# Runs the command once untimed (the first run after the survey was written, or after
# another program, is slower), then $runs times under /usr/bin/time -v; prints
# "median_seconds peak_kib".
timed() {
  local log=$1
  shift
  "$@" > "$log" 2>&1 || true
  : > "$log.times"
  for ((k = 0; k < runs; ++k)); do
    /usr/bin/time -v -o "$log.time" "$@" > "$log" 2>&1 || true
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i] }
                /Maximum resident set size/ { kib = $2 } END { print s, kib }' "$log.time" >> "$log.times"
  done
  sort -n "$log.times" | awk '{ s[NR] = $1; if ($2 > kib) kib = $2 } END { print s[int((NR + 1) / 2)], kib }'
}

# The pair with scan 2 off by $1 degrees: the batch program for each REGSOL, the peers,
# one measurement for all; the table goes to $work/table.txt and standard output.
bench_pair() {
  local error=$1
  local work=$root/out/peer/pair_${points}_$error
  local survey=$work/survey peers=$work/peers
  if [ ! -f "$work/complete" ]; then
    rm -rf "$work"
    build-bench/tools/make_example_survey --out "$survey" --scans 2 --spacing 30 --points "$points" \
      --errors "0,$error" --seed 1 --quiet
    "$python" bench/peer_pair.py "$survey" "$peers"
    touch "$work/complete"
  fi
  cat "$survey"/*.bxyz "$peers"/*.ply > /dev/null  # into the page cache
  local results=()
  declare -A seconds memory
  for regsol in $regsols; do
    local run=$work/regsol_$regsol
    rm -rf "$run"
    mkdir -p "$run"
    ln -s "$survey"/survey* "$run/"
    sed "s/^REGSOL .*/REGSOL $regsol/; s/^MAXITER .*/MAXITER 5/; s/^MAXREPEAT .*/MAXREPEAT 3/;
         s/^RMSTHRESH .*/RMSTHRESH 0.04/; s/^ALPHATHRESH .*/ALPHATHRESH 1.75e-5/" "$survey/ipcreg.txt" > "$run/ipcreg.txt"
    echo "== $error deg: batch program, REGSOL $regsol"
    read -r s kib < <(cd "$run" && timed console.log bash -c \
      'printf "1\n\n\n" | (exec -a tavrinbatch_x64 "$0" survey.csv)' "$root/build-bench/tavrinbatch_x64")
    local name="batch REGSOL $regsol"
    seconds[$name]=$s
    memory[$name]=$kib
    # surveyreg.csv: scan1,rotation1,scan2,rotation2,...; one row for the pair.
    results+=("rotations:$name:$(awk -F, 'NR == 2 { print $2 ":" $4 }' "$run/surveyreg.csv")")
  done
  if [ "$peers_too" = 1 ]; then
    echo "== $error deg: Open3D point-to-plane ICP"
    read -r s kib < <(cd "$peers" && OMP_NUM_THREADS=2 timed open3d.log "$python" "$root/bench/open3d_icp.py" \
      scan1.ply scan2.ply open3d_matrix.txt)
    seconds[Open3D]=$s
    memory[Open3D]=$kib
    results+=("matrix:Open3D:$peers/open3d_matrix.txt")
    echo "== $error deg: CloudCompare ICP about Z"
    read -r s kib < <(cd "$peers" && rm -f scan2_REGISTRATION_MATRIX*.txt && QT_QPA_PLATFORM=offscreen \
      timed cloudcompare.log CloudCompare -SILENT -NO_TIMESTAMP -AUTO_SAVE OFF -O scan2.ply -O scan1.ply \
      -ICP -ROT Z -OVERLAP 40)
    seconds[CloudCompare]=$s
    memory[CloudCompare]=$kib
    results+=("matrix:CloudCompare:$peers/scan2_REGISTRATION_MATRIX.txt")
  fi
  "$python" bench/pair_measure.py "$peers" "${results[@]}" > "$work/measured.tsv"
  {
    echo
    echo "Pair of $points points per scan, scan 2 off by $error degrees; median of $runs runs"
    printf '%-22s %9s %13s %10s %9s %9s\n' method seconds "left over deg" "RMS m" pairs "peak MiB"
    while IFS=$'\t' read -r name left rms pairs; do
      if [ -n "${seconds[$name]+set}" ]; then
        printf '%-22s %9.2f %+13.4f %10.4f %9d %9.0f\n' "$name" "${seconds[$name]}" "$left" "$rms" "$pairs" \
          "$(awk -v k="${memory[$name]}" 'BEGIN { print k / 1024 }')"
      else
        printf '%-22s %9s %+13.4f %10.4f %9d %9s\n' "($name)" - "$left" "$rms" "$pairs" -
      fi
    done < "$work/measured.tsv"
  } | tee "$work/table.txt"
}

# Scan 2 of another survey in place of the pair's own: the registration must not be
# reported as one.
bench_mismatch() {
  local work=$root/out/peer/mismatch_$points
  rm -rf "$work"
  build-bench/tools/make_example_survey --out "$work" --scans 2 --spacing 30 --points "$points" \
    --errors 0,0.5 --seed 1 --regsol 3 --quiet
  build-bench/tools/make_example_survey --out "$work/other" --scans 2 --spacing 30 --points "$points" \
    --errors 0,0.5 --seed 7 --quiet
  cp "$work/other/survey_002_002_S2.bxyz" "$work/"
  sed -i '/^\(MAXREPEAT\|MAXITER\|ALPHATHRESH\|RMSTHRESH\) /d' "$work/ipcreg.txt"
  local status=0
  (cd "$work" && printf '1\n\n\n' | (exec -a tavrinbatch_x64 "$root/build-bench/tavrinbatch_x64" survey.csv) \
    > console.log 2>&1) || status=$?
  echo
  echo "Pair of two different cliffs, $points points per scan: exit status $status"
  tr '\r' '\n' < "$work/console.log" | grep -E '^(Scans 1 and 2: registration not trusted|Registered )' || true
}

for error in $errors; do
  bench_pair "$error"
done
bench_mismatch
