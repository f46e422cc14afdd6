#!/usr/bin/env bash
# Reads and writes the EXIF items of the same set of photo-sized JPEGs (made here by ffmpeg, tagged
# by exiftool like a camera's: IFD0, EXIF, GPS, a thumbnail) and prints files per second for each
# way, all in the same run:
#   reads:  the "exif" handler (bench/exif_bench.cpp, under Wine, timed inside the process) and
#           exiftool in batch mode (one process for all files), timed as a whole process;
#   writes: the handler, and a decode-and-re-encode of the same JPEGs by ffmpeg (one process for
#           all files), which is what rewriting the metadata costs a program that saves the image
#           again.
#   bench/exif-bench.sh [FILES [WIDTHxHEIGHT]]   (default 100 files of 3000x2000)
#   BUILD        the build tree (default build/)
#   WINEPREFIX   kept when set, else the build tree's prefix
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
count=${1:-100}
size=${2:-3000x2000}
. "$root/bench/lib.sh"

need_tools exif-bench wine exiftool ffmpeg
need_built exif-bench exif_bench.exe

make_work
mkdir "$work/photos" "$work/encoded"
echo "== making $count JPEGs of $size"
ffmpeg -hide_banner -loglevel error -nostdin -f lavfi -i "testsrc2=s=$size:r=1,noise=alls=20:allf=t" \
  -frames:v "$count" -q:v 3 "$work/photos/%04d.jpg"
ffmpeg -hide_banner -loglevel error -nostdin -f lavfi -i "testsrc2=s=160x120" -frames:v 1 "$work/thumb.jpg"
exiftool -q -overwrite_original -IFD0:Make='Bench Optics' -IFD0:Model='BX-1' -IFD0:Software='Firmware 1.0' \
  -IFD0:ModifyDate='2021:06:15 10:20:30' -IFD0:Artist='Anna Example' -IFD0:Copyright='Example Studio' \
  -ExifIFD:DateTimeOriginal='2021:06:14 09:08:07' -ExifIFD:CreateDate='2021:06:14 09:08:07' \
  -ExifIFD:ExposureTime=1/125 -ExifIFD:FNumber=2.8 -ExifIFD:ISO=200 -ExifIFD:FocalLength=35 -ExifIFD:Flash#=16 \
  -ExifIFD:LensModel='Bench 35mm' -ExifIFD:UserComment='Made for the benchmark' -ExifIFD:ExifImageWidth=3000 \
  -ExifIFD:ExifImageHeight=2000 -GPS:GPSLatitude=48.8584 -GPS:GPSLatitudeRef=N -GPS:GPSLongitude=2.2945 \
  -GPS:GPSLongitudeRef=E -GPS:GPSAltitude=35 -InteropIndex=R98 "-ThumbnailImage<=$work/thumb.jpg" "$work/photos"
rm "$work/thumb.jpg"
echo "   $(du -sh "$work/photos" | cut -f1) in all"
# Nothing left to write back from making them, so that no way is timed against the disk's backlog.
sync

wine_start
ours=$(run_bench exif_bench.exe "$(winepath -w "$work/photos")")
echo "$ours" | grep -v 'files/s '
read_rate=$(figure "$ours" 'read files/s')
write_rate=$(figure "$ours" 'write files/s')

# exiftool reads the same items: the EXIF block's groups, every file in one process.
sync
cat "$work"/photos/*.jpg >/dev/null
exiftool_rate=$(timed_rate exiftool -j -q -EXIF:all "$work/photos")

# Saving the image again: every JPEG decoded and encoded anew, in one process.
encode_rate=$(timed_rate ffmpeg -hide_banner -loglevel error -nostdin -i "$work/photos/%04d.jpg" -q:v 3 \
  "$work/encoded/%04d.jpg")

echo "== reads"
echo "exif handler (inside the process):                 $read_rate files/s"
echo "exiftool -j -EXIF:all (one process, all files):     $exiftool_rate files/s"
awk -v o="$read_rate" -v e="$exiftool_rate" 'BEGIN { printf "exif handler: %.1f x exiftool\n", o / e }'
echo "== writes"
echo "exif handler (inside the process):                 $write_rate files/s"
echo "ffmpeg decode and re-encode (one process, all files): $encode_rate files/s"
awk -v o="$write_rate" -v e="$encode_rate" 'BEGIN { printf "exif handler: %.1f x re-encoding\n", o / e }'
