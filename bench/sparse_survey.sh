#!/usr/bin/env bash
# The sparse terrain survey: generates it from the terrain sample kept in the
# repository (6 set-ups, about 3000 points per scan, heading errors up to 1 degree),
# registers it in run mode 1 once per solution method, and prints per neighbouring
# pair the heading difference left over against the truth, before and after, with
# the mean of its size over the pairs. A pair (i, j) of surveyreg.csv is off by
# (rotation_i - rotation_j) - (correction_i - correction_j), the correction of a scan
# being minus the error truth.csv gives it.
# Usage: bench/sparse_survey.sh [--seed S] [--regsol "2 0"] [--build DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seed=1
regsols="2 0"
build=build-bench
while [ $# -gt 0 ]; do
  case $1 in
    --seed) seed=$2; shift 2 ;;
    --regsol) regsols=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "Usage: $0 [--seed S] [--regsol \"2 0\"] [--build DIR]" >&2; exit 2 ;;
  esac
done
if [ ! -x "$build/tavrinbatch_x64" ] || [ ! -x "$build/tools/make_example_survey" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_32B=OFF -DTAVRIN_BUILD_GUI=OFF \
    -DTAVRIN_BUILD_TESTS=OFF > /dev/null
  cmake --build "$build" -j2 --target tavrinbatch_x64 make_example_survey
fi
batch=$root/$build/tavrinbatch_x64
out=$root/out/sparse/seed$seed
rm -rf "$out"
"$build/tools/make_example_survey" --out "$out" --seed "$seed" --quiet \
  --scene "terrain:$root/tests/data/isprs_samp11/samp11.txt"
cd "$out"
cp ipcreg.txt settings.txt
grep -E '^(dC[XYZ]|NUMPPC|MINNUMPTS|MAXDIST(INITIAL|FINAL)|MAXITER|MAXREPEAT) ' settings.txt | tr '\n' ' '
echo

# truth.csv and a registration table: one line per pair, then the mean.
report() {
  awk -F, 'NR == FNR { if (FNR > 1) error[$1] = $3; next }
    FNR > 1 { a = $1 + 0; b = $3 + 0; before = error[a] - error[b]; after = ($2 - $4) + before;
              sb += before < 0 ? -before : before; sa += after < 0 ? -after : after; ++n
              printf("  %d-%d  %+7.3f  %+7.3f  %8.4f  %4d\n", a, b, before, after, $5, $6) }
    END { if (n > 0) printf("  mean |left over|: %.3f before, %.3f after (%d pairs)\n", sb / n, sa / n, n) }' \
    truth.csv "$1"
}

for regsol in $regsols; do
  sed "s/^REGSOL .*/REGSOL $regsol/" settings.txt > ipcreg.txt
  printf '1\n\n\n' | (exec -a tavrinbatch_x64 "$batch" survey.csv) > "register_$regsol.log" 2>&1
  cp surveyreg.csv "surveyreg_$regsol.csv"
  echo "== REGSOL $regsol: heading difference left over, degrees (pair, before, after, RMS m, pairs)"
  report "surveyreg_$regsol.csv"
done
cp settings.txt ipcreg.txt
