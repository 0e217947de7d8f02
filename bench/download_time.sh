#!/usr/bin/env bash
# Times a full download (the largest run the logger holds: 32,765 words of five
# sensors) at 4800 baud against pelvaro-sim, next to what the line itself needs:
# every byte at 480 bytes per second plus the protocol's fixed pauses.
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
work="$(mktemp -d)"
trap 'kill "${sim:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/TVMKHEADER" "$work/TVMKDATA"
cp "$build/share/pelvaro-sample/SAMPLE SITE_01.key" "$work/TVMKHEADER/"
cp "$build"/share/pelvaro-sample/SAMPLE\ SITE_01_00?.* "$work/TVMKDATA/"
"$build/bin/pelvaro-sim" --sensors 5 --scans 6553 > "$work/sim.log" &
sim=$!
until [ -s "$work/sim.log" ]; do sleep 0.1; done
pty="$(head -n 1 "$work/sim.log")"
start=$(date +%s.%N)
"$build/bin/pelvaro-cli" --root "$work" download "SAMPLE SITE_01" --device "$pty" > "$work/out.log"
end=$(date +%s.%N)
python3 - "$start" "$end" <<'PY'
import sys
start, end = map(float, sys.argv[1:3])
data = 6553 * 5 * 2
line_bytes = 4 + 2 + 13 + data           # greeting, count, run header, data
pauses = 0.3 + 0.6 + 0.2 + 0.2 + 1.0     # settle, one wake pause, around the command, after the data
line = line_bytes / 480 + pauses
wall = end - start
print(f"bytes {line_bytes}, wall {wall:.2f} s, line {line:.2f} s, overhead {100 * (wall - line) / line:.2f} %")
PY
