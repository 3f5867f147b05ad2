#!/usr/bin/env bash
# The whole program's `view` of ten million two-channel samples from a WAV to
# an 800 x 600 PNG: wall and CPU time of each build given, runs taken in
# turns so that the machine's load falls on all alike. The WAV (16-bit, a
# Lissajous figure whose pen moves a pixel or two a sample) is made by a
# Python script and not kept; the builds' pictures are compared at the end.
#
# Usage: bench/view_bench.sh BUILD [BUILD...] [-- RUNS]   (default: 5 runs each)
set -euo pipefail
builds=()
runs=5
while [ $# -gt 0 ]; do
  if [ "$1" = "--" ]; then runs=$2; break; fi
  builds+=("$1"); shift
done
[ ${#builds[@]} -gt 0 ] || { echo "usage: bench/view_bench.sh BUILD [BUILD...] [-- RUNS]" >&2; exit 2; }
for build in "${builds[@]}"; do
  [ -x "$build/xyrecorder" ] || { echo "view_bench: no $build/xyrecorder; build first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work/ten-million.wav" <<'PY'
import array, math, sys, wave
n = 10_000_000
with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(2)
    out.setsampwidth(2)
    out.setframerate(10000)
    chunk = 1_000_000
    for start in range(0, n, chunk):
        frames = array.array("h")
        for i in range(start, min(n, start + chunk)):
            t = i / 10000.0
            frames.append(int(30000 * math.sin(2 * math.pi * 5.3 * t)))
            frames.append(int(30000 * math.sin(2 * math.pi * 3.7 * t)))
        out.writeframes(frames.tobytes())
PY

TIMEFORMAT='%R %U %S'
for run in $(seq "$runs"); do
  for i in "${!builds[@]}"; do
    seconds=$({ time "${builds[$i]}/xyrecorder" view "$work/ten-million.wav" --width 800 --height 600 \
                  --out "$work/view-$i.png" 2>/dev/null >/dev/null; } 2>&1)
    echo "${builds[$i]} $seconds"
  done
done | awk '
  { wall[$1] = wall[$1] " " $2; cpu[$1] = cpu[$1] " " ($3 + $4); order[$1] = order[$1] ? order[$1] : ++n; name[n] = $1 }
  function median(list,   v, k, i, j, t) {
    k = split(list, v, " ")
    for (i = 1; i <= k; ++i) for (j = i + 1; j <= k; ++j) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return v[int((k + 1) / 2)]
  }
  END { for (i = 1; i <= n; ++i) printf "%s: view of 10 million samples, median wall %.2f s, cpu %.2f s\n", name[i], median(wall[name[i]]), median(cpu[name[i]]) }'
for i in "${!builds[@]}"; do
  cmp -s "$work/view-0.png" "$work/view-$i.png" || echo "view_bench: ${builds[$i]} draws another picture than ${builds[0]}"
done
