#!/usr/bin/env bash
# Makes docs/xyrecorder-window.png: the live window of `xyrecorder demo
# --window`, its Y axis popup menu open, as an X server (Xvfb) shows it.
# Needs a build and Debian's xvfb, xdotool and imagemagick.
# Usage: scripts/window-screenshot.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "window-screenshot: $tool is missing (xvfb, xdotool, imagemagick)" >&2; exit 1; }
done
work=$(mktemp -d)
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"

XYRECORDER_WINDOW_TRACE="$work/trace" "$build/xyrecorder" demo --window --height 460 --duration 60 \
  --out "$work/out.png" 2>/dev/null &
pid=$!
for _ in $(seq 100); do grep -q '^ready' "$work/trace" 2>/dev/null && break; sleep 0.1; done
window=$(awk '/^show window-1/ {print $3; exit}' "$work/trace")
eval "$(xdotool getwindowgeometry --shell "$window")"   # X, Y, WIDTH, HEIGHT
sleep 4.2                                                 # a few heart beats drawn
xdotool mousemove $((X + 8)) $((Y + 200)) mousedown 1     # the Y axis title
for _ in $(seq 50); do grep -q '^popup open' "$work/trace" && break; sleep 0.1; done
xdotool mousemove $((X + 60)) $((Y + 200 + 5 + 21 * 6 + 9 + 10))  # over Sine B
sleep 0.5
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" docs/xyrecorder-window.png
xdotool key Escape mouseup 1 key q
wait "$pid" || true
pid=""
echo "wrote docs/xyrecorder-window.png"
