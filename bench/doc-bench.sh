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
. "$root/bench/lib.sh"

need_tools doc-bench wine node exiftool
need_python_module doc-bench olefile python3-olefile
need_built doc-bench doc_bench.exe

make_work
mkdir "$work/files"
copy_fixtures doc "$work/files" "$copies" props.doc sets.doc installer.msi
files=("$work"/files/*)
count=${#files[@]}
# The page's catalogue, as the page sends it with "initproplist".
node -e 'var Varenko = { addCategory: function (c) { process.stdout.write(JSON.stringify(c.catalogue)); } };
  require("vm").runInThisContext(require("fs").readFileSync(process.argv[1], "utf8"));' \
  "$root/ui/categories/doc.js" >"$work/list.json"
echo "== reading the document properties of $count files (.doc, .msi)"

wine_start
ours=$(run_bench doc_bench.exe "$(winepath -w "$work/files")" "$(winepath -w "$work/list.json")")
echo "$ours" | grep -v '^files/s '
ours_rate=$(figure "$ours" files/s)

ole_rate=$(timed_rate "$python" -c 'import sys, olefile
for path in sys.argv[1:]:
    ole = olefile.OleFileIO(path)
    for stream in ("\x05SummaryInformation", "\x05DocumentSummaryInformation"):
        if ole.exists(stream):
            ole.getproperties(stream, convert_time=True)
    ole.close()' "${files[@]}")
echo "olefile (one Python process, all files): $ole_rate files/s"

exif_rate=$(timed_rate exiftool -j -q "${files[@]}")
echo "exiftool -j (one process, all files): $exif_rate files/s"

awk -v o="$ours_rate" -v p="$ole_rate" -v e="$exif_rate" \
  'BEGIN { printf "document handler: %.1f x olefile, %.1f x exiftool\n", o / p, o / e }'
