#!/usr/bin/env bash
# Reads the summary and document summary properties of the same few hundred compound files
# (copies of the doc fixtures) three ways and prints files per second for each: the document
# handler with the page's own list (bench/doc_bench.cpp, under Wine, timed inside the process),
# olefile (one Python process for all files, both sets of each) and exiftool in batch mode (one
# process for all files, `exiftool -j`), both timed as whole processes, as a user runs them.
#   bench/doc-bench.sh [COPIES]   (default 100 copies of each of 3 fixtures)
#   BUILD        the build tree (default build/)
#   WINEPREFIX   kept when set, else the build tree's prefix
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
copies=${1:-100}
build=${BUILD:-$root/build}
preset_prefix=${WINEPREFIX:-}
. "$root/scripts/wine-env.sh"
[ -n "$preset_prefix" ] && export WINEPREFIX="$preset_prefix"
# Debian's olefile lives with Debian's interpreter, which another python3 on PATH may hide.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3

for tool in wine node exiftool; do
  command -v "$tool" >/dev/null || { echo "doc-bench: $tool is not installed" >&2; exit 1; }
done
"$python" -c 'import olefile' || { echo "doc-bench: python3-olefile is not installed" >&2; exit 1; }
[ -f "$build/bin/doc_bench.exe" ] || { echo "doc-bench: build $build/bin/doc_bench.exe first" >&2; exit 1; }

work=$(mktemp -d)
# The Wine server wine_start keeps running is stopped again, so that nothing waits on it later.
trap 'rm -rf "$work"; wine_stop' EXIT
mkdir "$work/files"
for ((i = 0; i < copies; i++)); do
  for fixture in props.doc sets.doc installer.msi; do
    cp "$root/tests/data/doc/$fixture" "$work/files/$i-$fixture"
  done
done
files=("$work"/files/*)
count=${#files[@]}
# The page's catalogue, as the page sends it with "initproplist".
node -e 'var Varenko = { addCategory: function (c) { process.stdout.write(JSON.stringify(c.catalogue)); } };
  require("vm").runInThisContext(require("fs").readFileSync(process.argv[1], "utf8"));' \
  "$root/ui/categories/doc.js" >"$work/list.json"
echo "== reading the document properties of $count files (.doc, .msi)"

wine_start
ours=$(wine "$build/bin/doc_bench.exe" "$(winepath -w "$work/files")" "$(winepath -w "$work/list.json")" | tr -d '\r')
echo "$ours" | grep -v '^files/s '
ours_rate=$(echo "$ours" | sed -n 's/^files\/s //p')

now() { date +%s.%N; }
rate() { awk -v n="$count" -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", n / (b - a) }'; }

start=$(now)
"$python" -c 'import sys, olefile
for path in sys.argv[1:]:
    ole = olefile.OleFileIO(path)
    for stream in ("\x05SummaryInformation", "\x05DocumentSummaryInformation"):
        if ole.exists(stream):
            ole.getproperties(stream, convert_time=True)
    ole.close()' "${files[@]}"
ole_rate=$(rate "$start" "$(now)")
echo "olefile (one Python process, all files): $ole_rate files/s"

start=$(now)
exiftool -j -q "${files[@]}" >/dev/null
exif_rate=$(rate "$start" "$(now)")
echo "exiftool -j (one process, all files): $exif_rate files/s"

awk -v o="$ours_rate" -v p="$ole_rate" -v e="$exif_rate" \
  'BEGIN { printf "document handler: %.1f x olefile, %.1f x exiftool\n", o / p, o / e }'
