#!/usr/bin/env bash
# The live window's cost while it plays 6 channels at 1 kHz in real time:
# CPU use of the program (one core = 100 %) and the delay from each batch's
# arrival to its pixels on screen (p50, p99). Runs in an Xvfb of its own.
#
# Usage: bench/window_bench.sh [build dir] [seconds measured]   (default: build 20)
# Targets: CPU under 5 %, p99 delay under 20 ms.
set -euo pipefail
build=${1:-build}
seconds=${2:-20}
program="$build/xyrecorder"
[ -x "$program" ] || { echo "window_bench: no $program; build first" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "window_bench: Xvfb is missing (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
xvfb=""
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(head -1 "$work/display")"

warmup=3
duration=$((seconds + warmup + 5))
DISPLAY=$display XYRECORDER_LATENCY_LOG="$work/latency" "$program" demo --window --rate 1000 \
  --duration "$duration" --out "$work/out.png" 2>"$work/stderr" &
pid=$!

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
sleep "$warmup"
lines_before=$(wc -l <"$work/latency")
start_ticks=$(ticks "$pid"); start_xvfb=$(ticks "$xvfb"); start=$(date +%s.%N)
sleep "$seconds"
end_ticks=$(ticks "$pid"); end_xvfb=$(ticks "$xvfb"); end=$(date +%s.%N)
lines_after=$(wc -l <"$work/latency")
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""

hz=$(getconf CLK_TCK)
awk -v t0="$start" -v t1="$end" -v a="$start_ticks" -v b="$end_ticks" -v xa="$start_xvfb" -v xb="$end_xvfb" -v hz="$hz" \
  'BEGIN { s = t1 - t0; printf "cpu: %.2f %% of one core over %.1f s (Xvfb itself: %.2f %%)\n", 100 * (b - a) / hz / s, s, 100 * (xb - xa) / hz / s }'
sed -n "$((lines_before + 1)),${lines_after}p" "$work/latency" | sort -n | awk '
  { v[NR] = $1 }
  END {
    if (NR == 0) { print "latency: no batches measured"; exit 1 }
    p50 = v[int(0.50 * (NR - 1)) + 1]; p99 = v[int(0.99 * (NR - 1)) + 1]
    printf "latency, batch arrival to screen: p50 %.2f ms, p99 %.2f ms, max %.2f ms over %d batches\n", p50 / 1000, p99 / 1000, v[NR] / 1000, NR
  }'
