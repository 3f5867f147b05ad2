#!/usr/bin/env bash
# `xyrecorder live -` without the window:
#  - the largest sustained rate: rows of 2 and of 8 channels written into its
#    standard input as fast as the pipe takes them; samples per second once
#    running (a short run's time taken off), and a check that every row was
#    recorded;
#  - the delay from a line's arrival to its batch drawn (p50, p99), with rows
#    written at a real pace, 100 rows every 10 ms (10 kHz), 2 channels.
#
# Usage: bench/live_bench.sh [build dir] [rows for the rate] [seconds paced]   (default: build 2000000 10)
set -euo pipefail
build=${1:-build}
rows=${2:-2000000}
seconds=${3:-10}
program="$build/xyrecorder"
[ -x "$program" ] || { echo "live_bench: no $program; build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# rows of CHANNELS columns: a header, then numbers that change every row.
make_rows() {
  awk -v n="$1" -v c="$2" 'BEGIN {
    for (j = 1; j <= c; ++j) printf "%sC%d", (j > 1 ? "," : ""), j; print ""
    for (i = 0; i < n; ++i) { for (j = 1; j <= c; ++j) printf "%s%.3f", (j > 1 ? "," : ""), ((i * j) % 2000) / 1000 - 1; print "" }
  }'
}

# One run: ROWS of CHANNELS through a pipe; prints the seconds it took, after
# checking that every row was recorded.
timed_run() {
  make_rows "$1" "$2" >"$work/rows.csv"
  local start end recorded
  start=$(date +%s.%N)
  cat "$work/rows.csv" | "$program" live - --rate 1000000 --out "$work/out.png" 2>"$work/stderr"
  end=$(date +%s.%N)
  recorded=$(sed -n 's/.*sampling ended after \([0-9]*\) samples.*/\1/p' "$work/stderr")
  [ "$recorded" = "$1" ] || { echo "live_bench: $2 channels: $1 rows sent, ${recorded:-none} recorded" >&2; cat "$work/stderr" >&2; exit 1; }
  awk -v t0="$start" -v t1="$end" 'BEGIN { printf "%.3f", t1 - t0 }'
}

# The rate leaves out what a run costs whatever its length (loading the
# bundle, the feed's buffer, the picture): a run of 1000 rows measures it.
for channels in 2 8; do
  short=$(timed_run 1000 "$channels")
  long=$(timed_run "$rows" "$channels")
  awk -v n="$rows" -v c="$channels" -v a="$short" -v b="$long" \
    'BEGIN { printf "rate, %d channels: %.0f samples/s per channel (%d rows in %.2f s, all recorded; 1000 rows: %.2f s)\n", c, (n - 1000) / (b - a), n, b, a }'
done

# Paced: 100 rows every 10 ms, flushed; the header first.
ticks=$((seconds * 100))
awk -v ticks="$ticks" 'BEGIN {
  print "A,B"; fflush()
  for (t = 0; t < ticks; ++t) {
    for (i = 0; i < 100; ++i) printf "%.3f,%.3f\n", ((t * 100 + i) % 2000) / 1000 - 1, ((t * 37 + i) % 1000) / 500 - 1
    fflush(); system("sleep 0.01")
  }
}' | XYRECORDER_LATENCY_LOG="$work/latency" "$program" live - --rate 10000 --out "$work/out.png" 2>"$work/stderr"
recorded=$(sed -n 's/.*sampling ended after \([0-9]*\) samples.*/\1/p' "$work/stderr")
[ "$recorded" = "$((ticks * 100))" ] || { echo "live_bench: paced: $((ticks * 100)) rows sent, ${recorded:-none} recorded" >&2; exit 1; }
sort -n "$work/latency" | awk '
  { v[NR] = $1 }
  END {
    if (NR == 0) { print "latency: no batches measured"; exit 1 }
    p50 = v[int(0.50 * (NR - 1)) + 1]; p99 = v[int(0.99 * (NR - 1)) + 1]
    printf "latency, line arrival to batch drawn: p50 %.2f ms, p99 %.2f ms, max %.2f ms over %d batches\n", p50 / 1000, p99 / 1000, v[NR] / 1000, NR
  }'
