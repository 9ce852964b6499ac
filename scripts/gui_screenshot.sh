#!/usr/bin/env bash
# Takes the README screenshots of the settings window on a virtual X server: the three
# tabs as the window starts in a small example survey's folder (so the fields show that
# folder's ipcreg.txt), then a finished "Run in this window" (Run ALL) of that survey.
#
#   scripts/gui_screenshot.sh [build folder] [output folder]
#
# Defaults: build and docs. The build folder must hold tavrin_gui, tavrinbatch_x64 and
# tools/make_example_survey. Writes gui_data.png, gui_filtering.png, gui_registration.png
# and gui_run.png. Needs xvfb-run (package xvfb), ImageMagick's import (imagemagick) and
# xdotool.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
out=$(realpath -m "${2:-$root/docs}")

for tool in xvfb-run import xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "gui_screenshot: $tool not found; install it with: apt-get install xvfb imagemagick xdotool" >&2
    exit 1
  fi
done
for program in tavrin_gui tavrinbatch_x64 tools/make_example_survey; do
  if [ ! -x "$build/$program" ]; then
    echo "gui_screenshot: $build/$program is not an executable; build it first" >&2
    exit 1
  fi
done
mkdir -p "$out"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/make_example_survey" --out "$work/survey" --scans 3 --points 20000 --seed 1 --regsol 3 --quiet
cd "$work/survey"

# Inside the virtual display (no window manager: window coordinates are the form's, below
# the menu bar and the tool bar), start the window, shoot each tab, then type the
# database, run Run ALL in the window and shoot the finished run.
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  gui=$1 out=$2
  title="Tavrin - Batch Scan Alignment Tool"
  "$gui" >gui.log 2>&1 &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  window=""
  for _ in $(seq 1 30); do
    sleep 0.5
    window=$(xdotool search --name "$title" 2>/dev/null | head -1) && [ -n "$window" ] && break
  done
  if [ -z "$window" ]; then
    echo "gui_screenshot: the window did not appear; program output:" >&2
    cat gui.log >&2
    exit 1
  fi
  sleep 1
  click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.5; }
  shoot() { import -window "$window" "$out/$1"; }
  shoot gui_registration.png
  click 68 140
  shoot gui_data.png
  click 161 140
  shoot gui_filtering.png
  click 275 140
  click 190 73
  xdotool type --delay 20 survey.csv
  click 745 63
  sleep 1
  xdotool key Return
  for _ in $(seq 1 60); do
    sleep 0.5
    [ -e surveyplan.svg ] && break
  done
  sleep 2
  shoot gui_run.png
' bash "$build/tavrin_gui" "$out"
echo "gui_screenshot: wrote $out/gui_data.png, gui_filtering.png, gui_registration.png, gui_run.png"
