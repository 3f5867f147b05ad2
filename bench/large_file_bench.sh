#!/usr/bin/env bash
# A recording far larger than memory: a 32-channel EDF of about 10 GB (16-bit
# samples at 1 kHz, 43 hours), made here and removed after. Measures `info`,
# and `view` of a 10-minute stretch from its middle, each with the file's
# pages dropped from the page cache first (cold) and then again (warm): wall
# time and peak memory (max RSS).
#
# Usage: bench/large_file_bench.sh [build dir] [GB] [folder for the file]
#        (default: build 10 $TMPDIR or /tmp; needs that much free disk)
# Needs python3 with numpy (Debian's python3-numpy); the benchmark only.
# Targets: info under 1 s; view under 2 s; peak memory under 500 MB.
set -euo pipefail
build=${1:-build}
gigabytes=${2:-10}
folder=${3:-${TMPDIR:-/tmp}}
python=${PYTHON:-/usr/bin/python3}
program="$build/xyrecorder"
[ -x "$program" ] || { echo "large_file_bench: no $program; build first" >&2; exit 1; }

work=$(mktemp -d "$folder/large_file_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
edf="$work/day.edf"

# Ten minutes of 32 channels (channel c a sine of (c + 2) / 2 Hz, channel 2 a
# quarter turn behind channel 1's 1.5 Hz at 1 Hz: a 3:2 figure), written
# again and again, with the header's record count for the whole file.
"$python" - "$edf" "$gigabytes" <<'PY'
import sys
import numpy as np
path, gigabytes = sys.argv[1], float(sys.argv[2])
ns, rate = 32, 1000
record_bytes = ns * rate * 2
chunk_records = 600
records = int(gigabytes * 1e9 // record_bytes) // chunk_records * chunk_records
def field(text, width):
    return text.ljust(width)[:width].encode('ascii')
header = field('0', 8) + field('X X X X', 80) + field('Startdate 01-JAN-2026 X X X', 80)
header += field('01.01.26', 8) + field('00.00.00', 8) + field(str(256 * (ns + 1)), 8) + field('', 44)
header += field(str(records), 8) + field('1', 8) + field(str(ns), 4)
for width, values in [(16, ['S%d' % (c + 1) for c in range(ns)]), (80, [''] * ns), (8, ['uV'] * ns),
                      (8, ['-1000'] * ns), (8, ['1000'] * ns), (8, ['-32768'] * ns), (8, ['32767'] * ns),
                      (80, [''] * ns), (8, [str(rate)] * ns), (32, [''] * ns)]:
    header += b''.join(field(v, width) for v in values)
t = np.arange(chunk_records * rate) / rate
chunk = np.empty((chunk_records, ns, rate), dtype='<i2')
for c in range(ns):
    freq = 1.5 if c == 0 else 1.0 if c == 1 else (c + 2) / 2
    phase = -np.pi / 2 if c == 1 else 0.0
    chunk[:, c, :] = np.round(30000 * np.sin(2 * np.pi * freq * t + phase)).reshape(chunk_records, rate)
with open(path, 'wb') as f:
    f.write(header)
    for _ in range(records // chunk_records):
        chunk.tofile(f)
PY
size=$(stat -c %s "$edf")
seconds=$(( (size - 256 * 33) / (32 * 1000 * 2) ))
middle=$((seconds / 2))
echo "file: $((size / 1000000)) MB, $seconds s of 32 channels at 1000 Hz"

drop() { sync "$edf"; "$python" -c "import os,sys; fd=os.open(sys.argv[1], os.O_RDONLY); os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)" "$edf"; }
run() {
  local name=$1; shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; exit 1; }
  read -r wall peak <"$work/time"
  printf "%-10s %-5s %6.2f s   peak %6.1f MB\n" "$name" "$temperature" "$wall" "$(echo "$peak" | awk '{print $1 * 1024 / 1e6}')"
}
for temperature in cold warm; do
  [ "$temperature" = cold ] && drop
  run info "$program" info "$edf"
  [ "$temperature" = cold ] && drop
  run view "$program" view "$edf" --from $((middle - 300)) --to $((middle + 300)) --x 1 --y 2 \
    --width 800 --height 600 --out "$work/view.png"
done
if [ -n "${KEEP_PICTURES:-}" ]; then cp "$work/view.png" "$KEEP_PICTURES/large_view.png"; fi
