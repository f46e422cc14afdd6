#!/usr/bin/env bash
# Reads the INFO lists of the same few hundred AVI files (copies of the AVI fixtures) two ways and
# prints files per second for each: the "avi" handler (bench/avi_bench.cpp, under Wine, timed
# inside the process) and exiftool in batch mode (one process for all files), timed as a whole
# process, as a user runs it.
#   bench/avi-bench.sh [COPIES]   (default 75 copies of each of the 4 fixtures)
#   BUILD        the build tree (default build/)
#   WINEPREFIX   kept when set, else the build tree's prefix
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
copies=${1:-75}
. "$root/bench/lib.sh"

need_tools avi-bench wine exiftool
need_built avi-bench avi_bench.exe

make_work
copy_fixtures avi "$work" "$copies" info.avi info-junk.avi info-pattern.avi plain.avi
files=("$work"/*)
count=${#files[@]}
echo "== reading the INFO lists of $count AVI files"

wine_start
ours=$(run_bench avi_bench.exe "$(winepath -w "$work")")
echo "$ours" | grep -v '^files/s '
ours_rate=$(figure "$ours" files/s)
echo "avi handler (inside the process): $ours_rate files/s"

# The same items the handler reads: exiftool's RIFF group holds the INFO list.
exif_rate=$(timed_rate exiftool -j -q -RIFF:all "${files[@]}")
echo "exiftool -j -RIFF:all (one process, all files): $exif_rate files/s"

awk -v o="$ours_rate" -v e="$exif_rate" 'BEGIN { printf "avi handler: %.1f x exiftool\n", o / e }'
