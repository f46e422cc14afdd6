#!/usr/bin/env bash
# Makes the test fixtures below this folder with third-party tools, so that the property handlers
# are tested against files they did not write themselves. The fixtures are kept in the repository;
# tests never run this. Run it again only to change a fixture, then look at the diff: each run
# makes the same bytes (fixed values and dates, ffmpeg's bit-exact mode, no tool version strings).
#
# Needs (Debian): ffmpeg libimage-exiftool-perl python3-mutagen python3-olefile gir1.2-gsf-1
# python3-gi. The Python parts run on the system's interpreter, which has those modules.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
py=${PYTHON:-/usr/bin/python3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in ffmpeg exiftool "$py"; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
"$py" -c 'import mutagen, olefile, gi; gi.require_version("Gsf", "1")' ||
  { echo "missing: python3-mutagen, python3-olefile or gir1.2-gsf-1" >&2; exit 1; }

mkdir -p "$here/exif" "$here/media" "$here/avi" "$here/doc"

# Bit-exact output: no encoder names or creation times, fixed stream serials.
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
exact=(-fflags +bitexact -flags +bitexact -map_metadata -1)

# --- exif: 8x8 images, EXIF written by exiftool --------------------------------------------------
ff -f lavfi -i "color=c=0x3060a0:s=8x8" -frames:v 1 "${exact[@]}" -q:v 8 "$work/image.jpg"
ff -f lavfi -i "color=c=0xa06030:s=8x8" -frames:v 1 "${exact[@]}" -q:v 8 "$work/thumb.jpg"
ff -f lavfi -i "color=c=0x3060a0:s=8x8" -frames:v 1 "${exact[@]}" -pix_fmt rgb24 "$work/image.tif"
ff -f lavfi -i "color=c=0x3060a0:s=8x8" -frames:v 1 "${exact[@]}" -pix_fmt rgb24 "$work/image.png"

cp "$work/image.jpg" "$here/exif/plain.jpg"

exif_tags=(
  -IFD0:Make='Fixture Optics' -IFD0:Model='FX-8' -IFD0:Orientation#=6
  -IFD0:ModifyDate='2021:06:15 10:20:30' -IFD0:Artist='Anna Example'
  -IFD0:ImageDescription='Blue square'
  -ExifIFD:DateTimeOriginal='2021:06:14 09:08:07' -ExifIFD:ExposureTime=1/125
  -ExifIFD:FNumber=2.8 -ExifIFD:ISO=200 -ExifIFD:UserComment='Made for tests'
  -GPS:GPSLatitude=48.8584 -GPS:GPSLatitudeRef=N -GPS:GPSLongitude=2.2945 -GPS:GPSLongitudeRef=E
)
for order in le:II be:MM; do
  name=${order%%:*}
  cp "$work/image.jpg" "$here/exif/$name.jpg"
  exiftool -q -overwrite_original -ExifByteOrder="${order#*:}" "${exif_tags[@]}" \
    "-ThumbnailImage<=$work/thumb.jpg" "$here/exif/$name.jpg"
done

# TIFF keeps its IFD0 in the image's own directory; PNG gets an eXIf chunk.
for ext in tif png; do
  cp "$work/image.$ext" "$here/exif/exif.$ext"
  exiftool -q -overwrite_original -IFD0:Make='Fixture Optics' -IFD0:Model='FX-8' \
    -IFD0:Artist='Anna Example' -ExifIFD:DateTimeOriginal='2021:06:14 09:08:07' \
    -ExifIFD:ExposureTime=1/125 "$here/exif/exif.$ext"
done

# Damaged copies of le.jpg, one fault each, patched in place so that everything else stays valid.
"$py" - "$here/exif" <<'EOF'
import struct, sys

folder = sys.argv[1]
data = bytearray(open(f"{folder}/le.jpg", "rb").read())
tiff = data.index(b"Exif\0\0") + 6  # offsets in EXIF count from the TIFF header
u16 = lambda at: struct.unpack_from("<H", data, tiff + at)[0]
u32 = lambda at: struct.unpack_from("<I", data, tiff + at)[0]

def entry(ifd, tag):
    for i in range(u16(ifd)):
        at = ifd + 2 + 12 * i
        if u16(at) == tag:
            return at
    raise KeyError(hex(tag))

def next_ifd_field(ifd):
    return ifd + 2 + 12 * u16(ifd)

ifd0 = u32(4)
exif_ifd = u32(entry(ifd0, 0x8769) + 8)
ifd1 = u32(next_ifd_field(ifd0))

def patched(name, at, value):
    out = bytearray(data)
    struct.pack_into("<I", out, tiff + at, value)
    open(f"{folder}/{name}", "wb").write(out)

# ImageDescription's value lies far past the end of the EXIF block.
patched("bad-offset.jpg", entry(ifd0, 0x010E) + 8, 0xFFFFFF00)
# ExposureTime (RATIONAL, 8 bytes each) with a count whose byte size wraps to 8 in 32 bits.
patched("bad-count.jpg", entry(exif_ifd, 0x829A) + 4, 0x20000001)
# IFD1 links back to IFD0: the chain of directories never ends.
patched("ifd-loop.jpg", next_ifd_field(ifd1), ifd0)
EOF

# --- media: 0.1 s of silence, tags written by mutagen (ID3v1 alone by ffmpeg) --------------------
silence=(-f lavfi -i anullsrc=r=8000:cl=mono -t 0.1)
ff "${silence[@]}" "${exact[@]}" -c:a libmp3lame -b:a 8k -write_xing 0 -id3v2_version 0 "$work/audio.mp3"
ff "${silence[@]}" "${exact[@]}" -c:a aac -b:a 8k "$work/audio.m4a"
ff "${silence[@]}" "${exact[@]}" -c:a wmav2 -b:a 24k -packet_size 256 "$work/audio.wma"
ff "${silence[@]}" "${exact[@]}" -c:a flac -metadata_header_padding 0 "$work/audio.flac"
ff "${silence[@]}" "${exact[@]}" -c:a libvorbis -q:a 0 "$work/audio.ogg"

cp "$work/audio.mp3" "$here/media/plain.mp3"
# ffmpeg's ID3v1 writer takes the ID3v2 frame names.
ff "${silence[@]}" "${exact[@]}" -c:a libmp3lame -b:a 8k -write_xing 0 -id3v2_version 0 \
  -write_id3v1 1 -metadata TIT2='Morning Tune' -metadata TPE1='Anna Example' \
  -metadata TALB='Test Album' -metadata TDRC=2021 -metadata TCON=Jazz \
  -metadata comment='Made for tests' -metadata TRCK=3 "$here/media/id3v1.mp3"

"$py" - "$work" "$here/media" <<'EOF'
import shutil, sys
from mutagen import id3
from mutagen.asf import ASF, ASFDWordAttribute
from mutagen.flac import FLAC
from mutagen.mp4 import MP4
from mutagen.oggvorbis import OggVorbis

work, folder = sys.argv[1], sys.argv[2]
title, artist, album, year, genre, comment = (
    "Café Morning", "Anna Example", "Test Album", "2021", "Jazz", "Made for tests")
small_padding = lambda info: 32

def copy(source, name):
    path = f"{folder}/{name}"
    shutil.copyfile(f"{work}/{source}", path)
    return path

def id3_tags(comments):
    tags = id3.ID3()
    tags.add(id3.TIT2(encoding=3, text=title))
    tags.add(id3.TPE1(encoding=3, text=artist))
    tags.add(id3.TALB(encoding=3, text=album))
    tags.add(id3.TDRC(encoding=3, text=year))
    tags.add(id3.TCON(encoding=3, text=genre))
    tags.add(id3.TRCK(encoding=3, text="3/12"))
    for lang, desc, text in comments:
        tags.add(id3.COMM(encoding=3, lang=lang, desc=desc, text=text))
    return tags

# Version 2.3 stores the text as UTF-16 and the year as TYER; 2.4 keeps UTF-8 and TDRC.
v23 = id3_tags([("eng", "", comment)])
v23.update_to_v23()
v23.save(copy("audio.mp3", "id3v23.mp3"), v1=0, v2_version=3, padding=small_padding)
id3_tags([("eng", "", comment)]).save(
    copy("audio.mp3", "id3v24.mp3"), v1=0, v2_version=4, padding=small_padding)
id3_tags([("eng", "", comment), ("deu", "Notiz", "Zweiter Kommentar")]).save(
    copy("audio.mp3", "two-comments.mp3"), v1=0, v2_version=4, padding=small_padding)

m4a = MP4(copy("audio.m4a", "tags.m4a"))
m4a.update({"\xa9nam": title, "\xa9ART": artist, "\xa9alb": album, "\xa9day": year,
            "\xa9gen": genre, "\xa9cmt": comment, "trkn": [(3, 12)]})
m4a.save(padding=small_padding)

wma = ASF(copy("audio.wma", "tags.wma"))
wma.update({"Title": title, "Author": artist, "WM/AlbumTitle": album, "WM/Year": year,
            "WM/Genre": genre, "Description": comment,
            "WM/TrackNumber": [ASFDWordAttribute(3)]})
wma.save(padding=small_padding)

for cls, name in ((FLAC, "tags.flac"), (OggVorbis, "tags.ogg")):
    tags = cls(copy(f"audio.{name.split('.')[1]}", name))
    tags.update({"TITLE": title, "ARTIST": artist, "ALBUM": album, "DATE": year,
                 "GENRE": genre, "COMMENT": comment, "TRACKNUMBER": "3", "TRACKTOTAL": "12"})
    tags.save(padding=small_padding)
EOF

# --- avi: two 16x16 MJPEG frames, INFO list written by ffmpeg -----------------------------------
# ffmpeg writes each INFO value with its terminating zero, odd sizes followed by a pad byte, and
# puts a JUNK chunk of metadata_header_padding bytes after the list.
video=(-f lavfi -i "color=c=0x3060a0:s=16x16:r=2" -frames:v 2 -c:v mjpeg -q:v 31
       -reserve_index_space 1)
info=(-metadata title=Movie -metadata artist=Anna -metadata comment='Made for tests'
      -metadata copyright='Example Studio' -metadata date=2021 -metadata genre=Documentary)
ff "${video[@]}" "${exact[@]}" "${info[@]}" -metadata_header_padding 0 "$here/avi/info.avi"
ff "${video[@]}" "${exact[@]}" "${info[@]}" -metadata_header_padding 256 "$here/avi/info-junk.avi"
ff "${video[@]}" "${exact[@]}" -metadata_header_padding 0 "$here/avi/plain.avi"

# --- doc: compound files written by libgsf (the container and both property sets) ---------------
"$py" - "$here/doc" <<'EOF'
import os, sys
import gi
gi.require_version("Gsf", "1")
from gi.repository import Gsf, GObject

folder = sys.argv[1]
# The library takes ownership of each inserted value, so Python must never free them: they stay
# referenced here and the process ends with os._exit.
keep = []

def value(v):
    gv = GObject.Value()
    if isinstance(v, bool):
        gv.init(GObject.TYPE_BOOLEAN); gv.set_boolean(v)
    elif isinstance(v, int):
        gv.init(GObject.TYPE_INT); gv.set_int(v)
    elif isinstance(v, str):
        gv.init(GObject.TYPE_STRING); gv.set_string(v)
    else:  # a time in seconds since 1970, as a float
        stamp = Gsf.Timestamp.new(); stamp.set_time(int(v)); keep.append(stamp)
        gv.init(Gsf.Timestamp.__gtype__); stamp.to_value(gv)
    keep.append(gv)
    return gv

def write(name, props):
    meta = Gsf.DocMetaData.new()
    keep.append(meta)
    for key, v in props.items():
        meta.insert(key, value(v))
    out = Gsf.OutputStdio.new(f"{folder}/{name}")
    ole = Gsf.OutfileMSOle.new(out)
    if props:
        # The flag names the document summary; without it the summary stream is written.
        for stream, document in (("\x05SummaryInformation", False),
                                 ("\x05DocumentSummaryInformation", True)):
            child = ole.new_child(stream, False)
            meta.write_to_msole(child, document)
            child.close()
    # A stand-in for the document's own content: the handler must leave it as it is.
    body = ole.new_child("WordDocument", False)
    body.write(bytes(range(64)))
    body.close()
    ole.close()

write("props.doc", {
    Gsf.META_NAME_TITLE: "Quarterly Report",
    Gsf.META_NAME_SUBJECT: "Finanzen für Anna",
    Gsf.META_NAME_CREATOR: "Anna Example",
    Gsf.META_NAME_KEYWORDS: "report; fixture",
    Gsf.META_NAME_DESCRIPTION: "Made for tests",
    Gsf.META_NAME_LAST_SAVED_BY: "Bob Editor",
    Gsf.META_NAME_DATE_CREATED: 1623752430.0,   # 2021-06-15 10:20:30 UTC
    Gsf.META_NAME_DATE_MODIFIED: 1623838830.0,  # 2021-06-16 10:20:30 UTC
    Gsf.META_NAME_PAGE_COUNT: 3,
    Gsf.META_NAME_CATEGORY: "Reports",
    Gsf.META_NAME_COMPANY: "Example Ltd",
    Gsf.META_NAME_MANAGER: "Carla Boss",
    # Names the library does not know go to the user-defined section.
    "Project": "Varenko",
    "Reviewed": True,
    "Budget": 1200,
})
write("plain.doc", {})
os._exit(0)
EOF

# The doc fixtures must read back with an independent reader.
"$py" "$here/../readers/olefile_dump.py" "$here/doc/props.doc" >/dev/null
echo "fixtures written below $here"
