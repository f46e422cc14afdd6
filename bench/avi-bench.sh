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
build=${BUILD:-$root/build}
preset_prefix=${WINEPREFIX:-}
. "$root/scripts/wine-env.sh"
[ -n "$preset_prefix" ] && export WINEPREFIX="$preset_prefix"

for tool in wine exiftool; do
  command -v "$tool" >/dev/null || { echo "avi-bench: $tool is not installed" >&2; exit 1; }
done
[ -f "$build/bin/avi_bench.exe" ] || { echo "avi-bench: build $build/bin/avi_bench.exe first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"; wine_stop' EXIT
for ((i = 0; i < copies; i++)); do
  for fixture in info.avi info-junk.avi info-pattern.avi plain.avi; do
    cp "$root/tests/data/avi/$fixture" "$work/$i-$fixture"
  done
done
files=("$work"/*)
count=${#files[@]}
echo "== reading the INFO lists of $count AVI files"

wine_start
ours=$(wine "$build/bin/avi_bench.exe" "$(winepath -w "$work")" | tr -d '\r')
echo "$ours" | grep -v '^files/s '
ours_rate=$(echo "$ours" | sed -n 's/^files\/s //p')
echo "avi handler (inside the process): $ours_rate files/s"

now() { date +%s.%N; }
rate() { awk -v n="$count" -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", n / (b - a) }'; }

# The same items the handler reads: exiftool's RIFF group holds the INFO list.
start=$(now)
exiftool -j -q -RIFF:all "${files[@]}" >/dev/null
exif_rate=$(rate "$start" "$(now)")
echo "exiftool -j -RIFF:all (one process, all files): $exif_rate files/s"

awk -v o="$ours_rate" -v e="$exif_rate" 'BEGIN { printf "avi handler: %.1f x exiftool\n", o / e }'
