#!/usr/bin/env bash
# Reads the tags of the same few hundred MP3, M4A and FLAC files (copies of the media fixtures)
# three ways and prints files per second for each: the media handler (bench/media_bench.cpp, under
# Wine, timed inside the process, best of twenty rounds), exiftool in batch mode (one process for all
# files, `exiftool -j`) and mutagen (one Python process for all files), both timed as whole
# processes, as a user runs them, best of three runs.
#   bench/media-bench.sh [COPIES]   (default 60 copies of each of 5 fixtures)
#   BUILD        the build tree (default build/)
#   WINEPREFIX   kept when set, else the build tree's prefix
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
copies=${1:-60}
build=${BUILD:-$root/build}
preset_prefix=${WINEPREFIX:-}
. "$root/scripts/wine-env.sh"
[ -n "$preset_prefix" ] && export WINEPREFIX="$preset_prefix"
# Debian's mutagen lives with Debian's interpreter, which another python3 on PATH may hide.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3

for tool in wine exiftool; do
  command -v "$tool" >/dev/null || { echo "media-bench: $tool is not installed" >&2; exit 1; }
done
"$python" -c 'import mutagen' || { echo "media-bench: python3-mutagen is not installed" >&2; exit 1; }
[ -f "$build/bin/media_bench.exe" ] || { echo "media-bench: build $build/bin/media_bench.exe first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"; wine_stop' EXIT
for ((i = 0; i < copies; i++)); do
  for fixture in id3v23.mp3 id3v24.mp3 tags.m4a multi.m4a tags.flac; do
    cp "$root/tests/data/media/$fixture" "$work/$i-$fixture"
  done
done
files=("$work"/*)
count=${#files[@]}
echo "== reading the tags of $count files (MP3, M4A, FLAC)"

wine_start
ours=$(wine "$build/bin/media_bench.exe" "$(winepath -w "$work")" | tr -d '\r')
echo "$ours" | grep -v '^files/s '
ours_rate=$(echo "$ours" | sed -n 's/^files\/s //p')

now() { date +%s.%N; }
rate() { awk -v n="$count" -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", n / (b - a) }'; }
# The best of three runs, as the handler's figure is the best of its rounds.
best_rate() {
  local best=0 start r
  for _ in 1 2 3; do
    start=$(now)
    "$@" >/dev/null
    r=$(rate "$start" "$(now)")
    ((r > best)) && best=$r
  done
  echo "$best"
}

exif_rate=$(best_rate exiftool -j -q "${files[@]}")
echo "exiftool -j (one process for all files, best of 3 runs): $exif_rate files/s"

mutagen_rate=$(best_rate "$python" -c 'import sys, mutagen
for path in sys.argv[1:]:
    mutagen.File(path)' "${files[@]}")
echo "mutagen (one Python process for all files, best of 3 runs): $mutagen_rate files/s"

awk -v o="$ours_rate" -v e="$exif_rate" -v m="$mutagen_rate" \
  'BEGIN { printf "media handler: %.1f x exiftool, %.1f x mutagen (goal: at least 10 x exiftool)\n", o / e, o / m }'
