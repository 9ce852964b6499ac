#!/usr/bin/env bash
# The benchmarks: the engine (pair preparation, pairing walks, peak memory) at 250k,
# 1M and 4M points per scan, the four solution methods on one pair at 250k and 1M,
# and "Run ALL" on an example survey of 8 scans of 1M points with point to plane,
# partial least squares and ping-pong. Takes about a quarter of an hour; run it with the
# machine otherwise quiet. Surveys are generated once into out/bench/ and reused. The text
# benchmark times the rotated copies' text: written by the rotation, read by the reader.
# "threads" runs only the point-to-plane Run ALL, on one thread and on every core.
# Usage: bench/run_bench.sh [engine|text|runall|threads|all]   (default all)
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
scripts/install_packages.sh build-essential cmake g++ time linux-perf

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_32B=OFF \
  -DTAVRIN_BUILD_GUI=OFF -DTAVRIN_BUILD_TESTS=OFF > /dev/null
cmake --build build-bench -j2 --target engine_bench text_bench tavrinbatch_x64 make_example_survey
root=$(pwd)
bench=$root/out/bench
results=$bench/results
mkdir -p "$results"

# Each size in its own process, so that its peak memory is its own.
if [ "$what" = engine ] || [ "$what" = all ]; then
  for points in 250000 1000000 4000000; do
    only=$([ "$points" -gt 1000000 ] && echo --engine-only || true)
    echo "== engine_bench --points $points $only"
    build-bench/bench/engine_bench --points "$points" --work "$bench" $only | tee "$results/engine_$points.txt"
  done
fi

if [ "$what" = text ] || [ "$what" = all ]; then
  echo "== text_bench --points 1000000"
  build-bench/bench/text_bench --points 1000000 --work "$bench" | tee "$results/text.txt"
fi

# Prefixes every console line with the time it arrived (seconds since the epoch).
stamp_lines() {
  while IFS= read -r text; do printf '%s %s\n' "$EPOCHREALTIME" "$text"; done
}

# One Run ALL (mode 4) in a folder of its own beside the survey's files: total time
# and peak memory from /usr/bin/time, the time of each phase from the console lines,
# and, where perf works, the share of the processor samples in the pairing walks.
run_all() {  # name regsol maxiter maxrepeat [threads]
  local run=$bench/runall/$1
  rm -rf "$run"
  mkdir -p "$run"
  for file in "$bench"/survey8/survey*; do ln -s "$file" "$run/"; done
  sed "s/^REGSOL .*/REGSOL $2/; s/^MAXITER .*/MAXITER $3/; s/^MAXREPEAT .*/MAXREPEAT $4/; /^THREADS /d" \
    "$bench/survey8/ipcreg.txt" > "$run/ipcreg.txt"
  printf 'THREADS %s\n' "${5:-0}" >> "$run/ipcreg.txt"
  local profile=()
  if perf record -q -o /dev/null -- true 2> /dev/null; then
    profile=(perf record -q -F 250 -o "$run/perf.data" --)
  fi
  echo "== Run ALL, $1: REGSOL $2, MAXITER $3, MAXREPEAT $4, THREADS ${5:-0}"
  # Line-buffered output, so that each line is stamped when it is printed.
  (cd "$run" && printf '4\n\n\n' | /usr/bin/time -v -o time.txt "${profile[@]}" stdbuf -oL \
    bash -c 'exec -a tavrinbatch_x64 "$0" survey.csv' "$root/build-bench/tavrinbatch_x64" 2> console.err) \
    | stamp_lines > "$run/console.log"
  local seconds kib cpu pairs
  seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                         for (i = 1; i <= n; ++i) s = s * 60 + t[i]; print s }' "$run/time.txt")
  kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$run/time.txt")
  cpu=$(awk -F': ' '/(User|System) time \(seconds\)/ { s += $2 } END { print s }' "$run/time.txt")
  pairs=$(grep -c 'RMSfinal' "$run/console.log" || true)
  {
    awk -v name="$1" -v s="$seconds" -v c="$cpu" -v k="$kib" -v n="$pairs" 'BEGIN {
      printf("Run ALL %-16s %8.1f s total (cpu %.1f s), %6.1f s per registered pair (%i pairs), peak %.0f MiB\n",
             name, s, c, (n > 0 ? s / n : 0), n, k / 1024) }'
    awk 'NR == 1 { start = $1 }
         /REGISTRATION OF SCANS COMPLETE/ { reg = $1 } /ROTATING SCANS/ { rot0 = $1 }
         /ROTATION OF SCANS COMPLETE/ { rot = $1 } /EVALUATING RMS/ { ev0 = $1 } /EVALUATION OF RMS COMPLETE/ { ev = $1 }
         END { printf("  phases: registration %.1f s, rotation %.1f s, evaluation %.1f s\n",
                      reg - start, rot - rot0, ev - ev0) }' "$run/console.log"
    if [ -f "$run/perf.data" ]; then
      # Samples by function: the walks' share, then every function above 1%.
      perf report -q -i "$run/perf.data" --no-children --sort symbol --percent-limit 1 2> /dev/null \
        | sed 's/^ *//; s/[ -]*$//' | grep . > "$run/profile.txt"
      awk -v c="$cpu" '/computePairR(ms|otation)/ { sub("%", "", $1); walks += $1 }
           END { printf("  processor samples in the pairing walks: %.1f%% (about %.1f s of the %.1f s cpu)\n",
                        walks, walks * c / 100, c) }' "$run/profile.txt"
      sed 's/^/    /' "$run/profile.txt"
    fi
  } | tee -a "$results/runall.txt"
  rm -f "$run"/*_rot.txt "$run/perf.data.old"
}

if [ "$what" = runall ] || [ "$what" = threads ] || [ "$what" = all ]; then
  if [ ! -f "$bench/survey8/complete" ]; then
    build-bench/tools/make_example_survey --out "$bench/survey8" --scans 8 --points 1000000 --seed 1 --quiet
    touch "$bench/survey8/complete"
  fi
  : > "$results/runall.txt"
  run_all point_to_plane_1 3 5 3 1
  run_all point_to_plane 3 5 3 0
fi
if [ "$what" = runall ] || [ "$what" = all ]; then
  run_all pls_defaults 0 5 3
  run_all pingpong_50_10 2 50 10
  run_all pingpong_5_3 2 5 3
fi

echo
echo "== Summary (figures in $results)"
cat "$results"/engine_*.txt "$results/text.txt" "$results/runall.txt" 2> /dev/null | grep -v '^generating' || true
