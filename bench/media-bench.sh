#!/usr/bin/env bash
# Reads the tags of the same few hundred MP3, M4A and FLAC files (copies of the media fixtures)
# three ways and prints files per second for each: the media handler (bench/media_bench.cpp, under
# Wine, timed inside the process, best of twenty rounds), exiftool in batch mode (one process for all
# files, `exiftool -j`) and mutagen (one Python process for all files), both timed as whole
# processes, as a user runs them, best of three runs.
# Then it reads one sparse 2 GiB file named .mp3 that holds only zeros (no tag, no MPEG frame) and
# prints the time: a read must look at the file's ends, never search all of it.
#   bench/media-bench.sh [COPIES]   (default 60 copies of each of 5 fixtures)
#   BUILD        the build tree (default build/)
#   WINEPREFIX   kept when set, else the build tree's prefix
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
copies=${1:-60}
. "$root/bench/lib.sh"

need_tools media-bench wine exiftool
need_python_module media-bench mutagen python3-mutagen
need_built media-bench media_bench.exe

make_work
copy_fixtures media "$work" "$copies" id3v23.mp3 id3v24.mp3 tags.m4a multi.m4a tags.flac
files=("$work"/*)
count=${#files[@]}
echo "== reading the tags of $count files (MP3, M4A, FLAC)"

wine_start
ours=$(run_bench media_bench.exe "$(winepath -w "$work")")
echo "$ours" | grep -v '^files/s '
ours_rate=$(figure "$ours" files/s)

exif_rate=$(best_rate exiftool -j -q "${files[@]}")
echo "exiftool -j (one process for all files, best of 3 runs): $exif_rate files/s"

mutagen_rate=$(best_rate "$python" -c 'import sys, mutagen
for path in sys.argv[1:]:
    mutagen.File(path)' "${files[@]}")
echo "mutagen (one Python process for all files, best of 3 runs): $mutagen_rate files/s"

awk -v o="$ours_rate" -v e="$exif_rate" -v m="$mutagen_rate" \
  'BEGIN { printf "media handler: %.1f x exiftool, %.1f x mutagen (goal: at least 10 x exiftool)\n", o / e, o / m }'

echo "== reading a sparse 2 GiB file named .mp3 that holds only zeros"
mkdir "$work/zeros"
truncate -s 2G "$work/zeros/zeros.mp3"
zeros=$(run_bench media_bench.exe "$(winepath -w "$work/zeros")" 1 || true)
echo "$zeros" | grep -v '^files/s '
awk -v r="$(figure "$zeros" files/s)" 'BEGIN { if (r > 0) printf "one read of the 2 GiB file: %.2f ms\n", 1000 / r }'
