#!/usr/bin/env bash
# The whole program against two common plotting tools on the same samples, in
# one run: ten million two-channel samples (a 32-bit float WAV made here) to
# an 800 x 600 PNG by `xyrecorder view` and `xyrecorder play`, by matplotlib
# (Agg, a 1-pixel line) and by gnuplot (png terminal). Each is run N times;
# the median wall time, the median CPU time (user + system: less moved by
# other work on a shared machine) and the largest peak memory (max RSS) are
# reported, with xyrecorder's times over each tool's.
#
# Usage: bench/program_bench.sh [build dir] [runs]   (default: build 3)
# Needs Debian's python3-matplotlib (with numpy) and gnuplot-nox; the
# benchmark only, not the build or the tests.
# Targets: view and play at most 0.1x matplotlib and 0.25x gnuplot; peak
# memory of view under 1.3 x the raw sample bytes + 40 MB.
set -euo pipefail
build=${1:-build}
runs=${2:-3}
python=${PYTHON:-/usr/bin/python3}
program="$build/xyrecorder"
[ -x "$program" ] || { echo "program_bench: no $program; build first" >&2; exit 1; }
"$python" -c "import matplotlib, numpy" 2>/dev/null ||
  { echo "program_bench: $python lacks matplotlib (apt-get install python3-matplotlib)" >&2; exit 1; }
command -v gnuplot >/dev/null || { echo "program_bench: gnuplot is missing (apt-get install gnuplot-nox)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
frames=10000000
wav="$work/samples.wav"

# A Lissajous figure 3:2 whose phase turns slowly, with a little noise: a 44-byte
# header, then the two channels' floats side by side.
"$python" - "$wav" "$frames" <<'PY'
import struct, sys
import numpy as np
path, frames = sys.argv[1], int(sys.argv[2])
t = np.arange(frames, dtype=np.float64) / 1000.0
rng = np.random.default_rng(20261208)
x = 0.8 * np.sin(2 * np.pi * 3 * t / 7) + 0.01 * rng.standard_normal(frames)
y = 0.8 * np.sin(2 * np.pi * 2 * t / 7 + t / 500.0) + 0.01 * rng.standard_normal(frames)
data = np.empty(2 * frames, dtype='<f4')
data[0::2], data[1::2] = x, y
with open(path, 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', 36 + data.nbytes) + b'WAVE')
    f.write(b'fmt ' + struct.pack('<IHHIIHH', 16, 3, 2, 1000, 1000 * 8, 8, 32))
    f.write(b'data' + struct.pack('<I', data.nbytes))
    data.tofile(f)
PY

cat >"$work/plot.py" <<'PY'
import sys
import matplotlib
matplotlib.use('Agg')
import matplotlib.pyplot as plt
import numpy as np
data = np.fromfile(sys.argv[1], dtype='<f4', offset=44)
fig = plt.figure(figsize=(8, 6), dpi=100)
plt.plot(data[0::2], data[1::2], linewidth=0.72, antialiased=False)  # 0.72 pt = 1 pixel at 100 dpi
fig.savefig(sys.argv[2])
PY
cat >"$work/plot.gp" <<EOF2
set terminal png size 800,600
set output '$work/gnuplot.png'
plot '$wav' binary skip=44 format='%float32%float32' using 1:2 with lines notitle
EOF2

# measure NAME COMMAND...: one line per run, "NAME seconds kilobytes cpu-seconds".
measure() {
  local name=$1; shift
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "$name %e %M %U %S" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" ||
      { cat "$work/stderr" >&2; exit 1; }
    awk '{ print $1, $2, $3, $4 + $5 }' "$work/time" >>"$work/times"
  done
}
: >"$work/times"
measure view "$program" view "$wav" --x 1 --y 2 --width 800 --height 600 --out "$work/view.png"
measure play "$program" play "$wav" --x 1 --y 2 --width 800 --height 600 --batch 4096 --out "$work/play.png"
measure matplotlib "$python" "$work/plot.py" "$wav" "$work/matplotlib.png"
measure gnuplot gnuplot "$work/plot.gp"

raw=$((frames * 2 * 4))
median() { sort -k1,1 -k"$1","$1"n "$work/times" | awk -v runs="$runs" -v f="$1" '{ if (++n[$1] == int((runs + 1) / 2)) print $1, $f }'; }
{ median 2 | sed 's/^/wall /'; median 4 | sed 's/^/cpu /'; sed 's/^/peak /' "$work/times"; } | awk -v raw="$raw" '
  $1 == "wall" { t[$2] = $3 } $1 == "cpu" { c[$2] = $3 } $1 == "peak" && $4 > m[$2] { m[$2] = $4 }
  END {
    split("view play matplotlib gnuplot", order, " ")
    for (i = 1; i <= 4; ++i) { k = order[i]; printf "%-10s median %6.2f s wall, %6.2f s cpu   peak %7.1f MB\n", k, t[k], c[k], m[k] * 1024 / 1e6 }
    for (i = 1; i <= 2; ++i) {
      k = order[i]
      printf "%s: wall %.3fx matplotlib, %.3fx gnuplot; cpu %.3fx matplotlib, %.3fx gnuplot\n", k, t[k] / t["matplotlib"], t[k] / t["gnuplot"], c[k] / c["matplotlib"], c[k] / c["gnuplot"]
    }
    printf "view peak memory: %.1f MB; target 1.3 x %.1f MB + 40 MB = %.1f MB\n", m["view"] * 1024 / 1e6, raw / 1e6, 1.3 * raw / 1e6 + 40
  }'
if [ -n "${KEEP_PICTURES:-}" ]; then cp "$work"/*.png "$KEEP_PICTURES"/; fi
