#!/usr/bin/env bash
# How honest the adjustment's sigmas are: Run ALL (REGSOL 3, ADJUST 1) on the example
# generator's surveys (dense cliffs at several seeds and heading errors up to 1, 10 and
# 30 degrees) and on the sparse terrain survey, then, per survey, the share of scans
# whose error left over is within 3 sigma of <db>adjust.csv, the median sigma against the
# median error left over, and the neighbouring relative headings of the rotation table
# beside those of the registration rows. The error left over of a scan is its
# correction plus the error truth.csv built in. Takes about ten minutes.
# Usage: bench/adjust_sigmas.sh [--build DIR] [--points N]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build-bench
points=100000
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --points) points=$2; shift 2 ;;
    *) echo "Usage: $0 [--build DIR] [--points N]" >&2; exit 2 ;;
  esac
done
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_32B=OFF -DTAVRIN_BUILD_GUI=OFF \
  -DTAVRIN_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j2 --target tavrinbatch_x64 make_example_survey > /dev/null
batch=$root/$build/tavrinbatch_x64
work=$root/out/sigmas
mkdir -p "$work"

# One survey: generate, Run ALL at the method's defaults, report one line.
survey() {  # name generator-arguments...
  local dir=$work/$1
  shift
  rm -rf "$dir"
  "$build/tools/make_example_survey" --out "$dir" --regsol 3 --quiet "$@" > /dev/null
  (
    cd "$dir"
    sed -i '/^\(MAXREPEAT\|MAXITER\|ALPHATHRESH\|RMSTHRESH\|ADJUST\) /d' ipcreg.txt
    echo "ADJUST 1" >> ipcreg.txt
    printf '4\n\n\n' | (exec -a tavrinbatch_x64 "$batch" survey.csv) > run_all.log 2>&1 || true
    rm -f ./*_rot.txt ./*.bxyz
    # truth.csv: ID1,ID2,ERROR_DEG; surveyadjust.csv: ID,correction,sigma,...; surveyreg.csv rows.
    awk -F, -v name="$(basename "$dir")" '
      FILENAME ~ /truth/ { if (FNR > 1) error[$1] = $3; next }
      FILENAME ~ /adjust/ { if (FNR > 1 && $3 != "nan") { left[$1] = $2 + error[$1]; sigma[$1] = $3; ids[++n] = $1 } next }
      FILENAME ~ /reg/ { if (FNR > 1 && ($2 != 0 || $4 != 0)) {
                           d = ($2 - $4) + (error[$1 + 0] - error[$3 + 0]); rows += d < 0 ? -d : d; ++nrows } }
      function median(a, k,   i, j, t, b) { for (i = 1; i <= k; ++i) b[i] = a[i]
        for (i = 1; i <= k; ++i) for (j = i + 1; j <= k; ++j) if (b[j] < b[i]) { t = b[i]; b[i] = b[j]; b[j] = t }
        return k % 2 ? b[(k + 1) / 2] : (b[k / 2] + b[k / 2 + 1]) / 2 }
      END {
        within = 0
        for (i = 1; i <= n; ++i) { e = left[ids[i]]; e = e < 0 ? -e : e; abserr[i] = e; sig[i] = sigma[ids[i]]
                                   if (e <= 3 * sig[i]) ++within }
        for (i = 2; i <= n; ++i) { d = left[ids[i]] - left[ids[i - 1]]; neigh += d < 0 ? -d : d }
        printf("%-14s %3d scans  within 3 sigma %5.1f%%  median sigma %.5f  median |left| %.5f  neighbours: rows %.4f, adjusted %.4f\n",
               name, n, n ? 100 * within / n : 0, median(sig, n), median(abserr, n),
               nrows ? rows / nrows : 0, n > 1 ? neigh / (n - 1) : 0) }' \
      truth.csv surveyadjust.csv surveyreg.csv
  )
}

for seed in 1 2 3; do
  for error in 1 10 30; do
    survey "dense_e${error}_s$seed" --scans 6 --points "$points" --seed "$seed" --max-error "$error"
  done
  survey "sparse_s$seed" --seed "$seed" --scene "terrain:$root/tests/data/isprs_samp11/samp11.txt"
done | tee "$work/sigmas.txt"
