#!/usr/bin/env bash
# Times the report of many sites (the sample under new identifications) with
# its peak memory, and a page of graph_bench's full site against the graph
# window's opening of it. Run on a Release build with PELVARO_BENCH=ON:
#   bench/report_time.sh build-release [SITES]
set -euo pipefail
build="$(cd "${1:-build-release}" && pwd)"
sites="${2:-50}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sample="$build/share/pelvaro-sample"
mkdir -p "$work/TVMKHEADER" "$work/TVMKDATA"
for n in $(seq -w 1 "$sites"); do
  id="FIELD_$n"
  cp "$sample/SAMPLE SITE_01.key" "$work/TVMKHEADER/$id.key"
  for f in "$sample"/SAMPLE\ SITE_01.bgf "$sample"/SAMPLE\ SITE_01_00?.*; do
    name="$(basename "$f")"
    ln "$f" "$work/TVMKDATA/$id${name#SAMPLE SITE_01}"
  done
done
export QT_QPA_PLATFORM=offscreen
# A report of `sites` pages and the list: wall time and peak resident memory.
/usr/bin/time -v "$build/bin/pelvaro-cli" --root "$work" report "$work/report.pdf" \
  2> "$work/time.log"
pages=$(pdfinfo "$work/report.pdf" | awk '/^Pages:/ {print $2}')
wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.log")
rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.log")
python3 - "$sites" "$pages" "$wall" "$rss" <<'PY'
import sys
sites, pages, wall, rss = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
seconds = sum(float(part) * 60 ** i for i, part in enumerate(reversed(wall.split(":"))))
print(f"{sites} sites: {pages} pages in {seconds:.2f} s ({1000 * seconds / pages:.0f} ms a page), "
      f"peak RSS {rss / 1024:.0f} MiB")
PY
# The full site of graph_bench: its window's opening, then its report page.
"$build/bin/graph_bench" --benchmark_filter='BM_OpenGraphWindow|BM_ReportPage' 2>/dev/null |
  grep -E '^BM_'
