#!/usr/bin/env bash
# Takes the README screenshot of the settings window: starts tavrin_gui on a virtual X
# server in an empty folder (so the fields show the values of a first start) and grabs
# its window.
#
#   scripts/gui_screenshot.sh [path/to/tavrin_gui] [output.png]
#
# Defaults: build/tavrin_gui and docs/gui.png. Needs xvfb-run (package xvfb) and
# ImageMagick's import (package imagemagick).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
gui=$(realpath "${1:-$root/build/tavrin_gui}")
out=$(realpath -m "${2:-$root/docs/gui.png}")

for tool in xvfb-run import; do
  if ! command -v "$tool" >/dev/null; then
    echo "gui_screenshot: $tool not found; install it with: apt-get install xvfb imagemagick" >&2
    exit 1
  fi
done
if [ ! -x "$gui" ]; then
  echo "gui_screenshot: $gui is not an executable; build the target tavrin_gui first" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Inside the virtual display: start the window, wait until import can grab it by its
# title (at most 15 s), then close the program.
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  gui=$1 out=$2
  "$gui" >gui.log 2>&1 &
  pid=$!
  for _ in $(seq 1 30); do
    sleep 0.5
    if import -window "Tavrin - Batch Scan Alignment Tool" "$out" 2>/dev/null; then
      kill "$pid"
      wait "$pid" 2>/dev/null || true
      exit 0
    fi
  done
  kill "$pid" 2>/dev/null || true
  echo "gui_screenshot: the window did not appear; program output:" >&2
  cat gui.log >&2
  exit 1
' bash "$gui" "$out"
echo "gui_screenshot: wrote $out"
