#!/usr/bin/env bash
# The main job on the bundled example: builds the batch program, generates a
# synthetic sea-cliff survey with known heading errors, its scans as PLY and LAS files
# the way a surveyor gets them, converts them with tavrin_import, runs "Run ALL" on it
# (registration, rotation, RMS evaluation) answering the prompts, and prints what
# the registration found next to the truth.
# Usage: scripts/run_example.sh [points per scan, default 250000]
set -euo pipefail
cd "$(dirname "$0")/.."
points=${1:-250000}
scripts/install_packages.sh build-essential cmake g++ libpugixml-dev

cmake -S . -B build-example -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_32B=OFF \
  -DTAVRIN_BUILD_GUI=OFF -DTAVRIN_BUILD_TESTS=OFF > /dev/null
cmake --build build-example -j"$(nproc)" --target tavrinbatch_x64 make_example_survey example_report \
  tavrin_import
root=$(pwd)
batch=$root/build-example/tavrinbatch_x64
out=$root/out/example
rm -rf "$out"
# The scans come as the scanner's software exports them: S1.ply, S2.las, S3.ply, ...
build-example/tools/make_example_survey --out "$out" --scans 6 --points "$points" --seed 1 --regsol 3 \
  --formats ply,las --quiet
cd "$out"
# Point-to-plane Gauss-Newton at the batch program's own settings: its other solver keys
# are left out, so that their defaults apply.
sed -i '/^\(MAXREPEAT\|MAXITER\|ALPHATHRESH\|RMSTHRESH\) /d' ipcreg.txt
cp ipcreg.txt settings.txt

echo "== Converting the scans into the point files the survey database names"
record=0
for name in $(awk -F, 'NR > 1 { print $9 }' survey.csv); do
  record=$((record + 1))
  scan=$name.ply
  if [ ! -f "$scan" ]; then
    scan=$name.las
  fi
  "$root/build-example/tavrin_import" --database survey.csv --record "$record" "$scan" > "import_$name.log"
  awk -v scan="$scan" '/^Output:/ { out = $2 } /^Points written:/ { n = $3 }
                       END { printf "%-7s -> %s (%s points)\n", scan, out, n }' "import_$name.log"
done

# The batch program reads ipcreg.txt from the working folder when started by its bare
# name. Answers: the mode, ENTER at the scan list, ENTER at the end.
run_mode() { printf '%s\n\n\n' "$1" | (exec -a tavrinbatch_x64 "$batch" survey.csv); }

# Agreement of neighbouring scans (mode 3) counting pairs up to 0.5 m apart, so that
# scans still off by up to a degree are measured too. FILEEXT 1 reads the scans as
# surveyed, FILEEXT 0 their rotated copies.
evaluate() {
  sed "s/^FILEEXT .*/FILEEXT $1/; s/^MAXDISTFINAL .*/MAXDISTFINAL 0.5/" settings.txt > ipcreg.txt
  run_mode 3 > "evaluate_$2.log"
  mv surveyrms.csv "rms_$2.csv"
  mv surveyplan.svg "plan_$2.svg"
  if [ -f plan_run_all.svg ]; then
    mv plan_run_all.svg surveyplan.svg  # the plan of Run ALL is the one to keep
  fi
}

echo "== Agreement of the scans as surveyed"
evaluate 1 before

echo "== Agreement with the true headings (the best any registration can do)"
mkdir -p truth
awk -F, -v OFS=, 'NR == FNR { if (FNR > 1) heading[$1] = $4; next }
                  FNR == 1 { print; next } { $6 = heading[$7]; print }' truth.csv survey.csv > truth/survey.csv
for scan in *.bxyz; do ln -sf "../$scan" "truth/$scan"; done
cp settings.txt truth/settings.txt
(cd truth && evaluate 1 truth && mv rms_truth.csv ..)

echo "== Run ALL"
cp settings.txt ipcreg.txt
run_mode 4 > run_all.log
cp surveyplan.svg plan_run_all.svg
tr '\r' '\n' < run_all.log | grep -E '^(REGISTER|ROTAT|EVALUAT|RMSfinal|RMS for|Initial rms)' || true
evaluate 0 after
cp settings.txt ipcreg.txt
echo
"$root/build-example/tools/example_report" .
echo
echo "The whole console of Run ALL is in $out/run_all.log; the tables beside it, and its"
echo "plan (set-ups, pairs coloured by RMS, heading corrections) in $out/surveyplan.svg."
