#!/usr/bin/env bash
# Makes the test fixtures below this folder with third-party tools, so that the property handlers
# are tested against files they did not write themselves. The fixtures are kept in the repository;
# tests never run this. Run it again only to change a fixture, then look at the diff: each run
# makes the same bytes (fixed values and dates, ffmpeg's bit-exact mode, no tool version strings).
#
# Needs (Debian): ffmpeg libimage-exiftool-perl imagemagick python3-mutagen python3-olefile gir1.2-gsf-1
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

# Files with a maker note whose values lie at offsets counted from the TIFF header, as camera
# makers write them: a rewrite that moves the note breaks them. exiftool writes the note's bytes as
# given (Make Canon makes it read them as Canon's directory), then the note's value offsets are
# set to where it landed. Both JPEGs also get an interoperability directory; the big-endian TIFF
# is written by hand first (uncompressed, 8x8), then gets the same tags, GPS and the note.
"$py" - "$work/image-be.tif" <<'EOF'
import struct, sys
width = height = 8
pixels = bytes([0x30, 0x60, 0xa0]) * (width * height)
entries = [(0x0100, 3, 1, width), (0x0101, 3, 1, height), (0x0102, 3, 3, 8 + 2 + 12 * 10 + 4),
           (0x0103, 3, 1, 1), (0x0106, 3, 1, 2), (0x0111, 4, 1, 0), (0x0115, 3, 1, 3),
           (0x0116, 3, 1, height), (0x0117, 4, 1, len(pixels)), (0x011C, 3, 1, 1)]
ifd = 8
bits = ifd + 2 + 12 * len(entries) + 4
data_at = bits + 6
out = bytearray(b"MM" + struct.pack(">HI", 42, ifd) + struct.pack(">H", len(entries)))
for tag, kind, count, value in entries:
    if tag == 0x0102:
        value = bits
    if tag == 0x0111:
        value = data_at
    field = struct.pack(">HH", value, 0) if kind == 3 and count == 1 else struct.pack(">I", value)
    out += struct.pack(">HHI", tag, kind, count) + field
out += struct.pack(">I", 0) + struct.pack(">HHH", 8, 8, 8) + pixels
open(sys.argv[1], "wb").write(out)
EOF

maker_note() { # maker_note <II|MM> <output>: Canon's directory of three texts, offsets from 0
  "$py" - "$1" "$2" <<'EOF'
import struct, sys
order = "<" if sys.argv[1] == "II" else ">"
values = [(0x0006, b"Fixture Canon Image Type\0"), (0x0007, b"Firmware Version 1.0.0\0"),
          (0x0009, b"Anna Example".ljust(32, b"\0"))]
table = 2 + 12 * len(values) + 4
out, data = struct.pack(order + "H", len(values)), b""
for tag, text in values:
    out += struct.pack(order + "HHII", tag, 2, len(text), table + len(data))
    data += text + b"\0" * (len(text) % 2)
open(sys.argv[2], "wb").write(out + struct.pack(order + "I", 0) + data)
EOF
}

maker_tags=(-IFD0:Make=Canon -IFD0:Model='FX-8' -IFD0:Artist='Anna Example'
            -ExifIFD:DateTimeOriginal='2021:06:14 09:08:07' -ExifIFD:ExposureTime=1/125)
for name in le:II:jpg be:MM:jpg be:MM:tif; do
  IFS=: read -r order code ext <<<"$name"
  maker_note "$code" "$work/note-$order.bin"
  if [ "$ext" = jpg ]; then
    cp "$here/exif/$order.jpg" "$here/exif/maker-$order.jpg"
    exiftool -q -overwrite_original -IFD0:Make=Canon -InteropIndex=R98 -InteropVersion=0100 \
      "-MakerNoteCanon<=$work/note-$order.bin" "$here/exif/maker-$order.jpg"
  else
    cp "$work/image-be.tif" "$here/exif/maker-be.tif"
    exiftool -q -overwrite_original "${maker_tags[@]}" -GPS:GPSLatitude=48.8584 -GPS:GPSLatitudeRef=N \
      "-MakerNoteCanon<=$work/note-$order.bin" "$here/exif/maker-be.tif"
  fi
done
"$py" - "$here/exif" <<'EOF'
import struct, sys

folder = sys.argv[1]
for name in ("maker-le.jpg", "maker-be.jpg", "maker-be.tif"):
    data = bytearray(open(f"{folder}/{name}", "rb").read())
    tiff = data.index(b"Exif\0\0") + 6 if name.endswith(".jpg") else 0
    order = "<" if data[tiff:tiff + 2] == b"II" else ">"
    u16 = lambda at: struct.unpack_from(order + "H", data, tiff + at)[0]
    u32 = lambda at: struct.unpack_from(order + "I", data, tiff + at)[0]

    def entry(ifd, tag):
        for i in range(u16(ifd)):
            if u16(ifd + 2 + 12 * i) == tag:
                return ifd + 2 + 12 * i
        raise KeyError(hex(tag))

    note = u32(entry(u32(entry(u32(4), 0x8769) + 8), 0x927C) + 8)
    for i in range(u16(note)):
        at = note + 2 + 12 * i
        if u32(at + 4) > 4:
            struct.pack_into(order + "I", data, tiff + at + 8, u32(at + 8) + note)
    open(f"{folder}/{name}", "wb").write(data)
EOF

# A format that can be read but not written.
ff -f lavfi -i "color=c=0x3060a0:s=8x8" -frames:v 1 "${exact[@]}" "$here/exif/plain.bmp"

# --- exif/real: files from public test collections, and files made by other tools ---------------
# The camera files in exif/real/ are copied from the collections README.md names; they are inputs
# here, never made. From them and from ffmpeg's pictures this part makes files as other programs
# write them (exiftool, ImageMagick, ffmpeg) and damaged copies, each patched in one place.
real="$here/exif/real"
# Debian's ImageMagick 6; a `convert` earlier on PATH may be another program of that name.
magick=
for candidate in convert-im6.q16 convert; do
  if command -v "$candidate" >/dev/null && "$candidate" -version 2>/dev/null | grep -q ImageMagick; then
    magick=$candidate
    break
  fi
done
[ -n "$magick" ] || { echo "missing: imagemagick" >&2; exit 1; }
# No time chunks, so that each run makes the same bytes.
im() { "$magick" "$@"; }
im_png=(-define png:exclude-chunks=date,time)

picture=(-f lavfi -i "testsrc=s=64x48" -frames:v 1 "${exact[@]}")
ff "${picture[@]}" -q:v 5 "$real/ffmpeg.jpg"
ff "${picture[@]}" -pix_fmt rgb24 "$real/ffmpeg.png"
ff "${picture[@]}" -pix_fmt rgb24 "$real/ffmpeg.tif"
ff -f lavfi -i "testsrc=s=32x24" -frames:v 1 "${exact[@]}" -q:v 8 "$work/preview.jpg"
ff -f lavfi -i "testsrc=s=16x12" -frames:v 1 "${exact[@]}" -q:v 8 "$work/small.jpg"

# ImageMagick: an LZW TIFF, and the PNG it makes of a camera JPEG (its EXIF in an eXIf chunk after
# the image data, and each item again as text).
im "$real/ffmpeg.png" -compress lzw "$real/magick.tif"
im "$real/Nikon.jpg" "${im_png[@]}" "$real/magick-exif.png"
# Earlier ImageMagick versions kept the EXIF as hexadecimal text in a "Raw profile type exif" zTXt
# chunk before the image data, as ReaganSmallPng.png has it; this one no longer does, so its PNG
# without the eXIf chunk gets that chunk in the old layout.
im "$real/Nikon.jpg" -define png:exclude-chunks=date,time,eXIf "$work/magick-noexif.png"
exiftool -q -b -EXIF "$real/Nikon.jpg" >"$work/nikon.exif"
"$py" - "$work/magick-noexif.png" "$work/nikon.exif" "$real/magick-rawprofile.png" <<'EOF'
import struct, sys, zlib

png, exif = open(sys.argv[1], "rb").read(), b"Exif\0\0" + open(sys.argv[2], "rb").read()
digits = exif.hex()
text = b"\nexif\n%8d\n" % len(exif) + b"".join(digits[i:i + 72].encode() + b"\n" for i in range(0, len(digits), 72))
body = b"Raw profile type exif\0\0" + zlib.compress(text, 9)
chunk = struct.pack(">I", len(body)) + b"zTXt" + body + struct.pack(">I", zlib.crc32(b"zTXt" + body))
idat = png.index(b"IDAT") - 4
open(sys.argv[3], "wb").write(png[:idat] + chunk + png[idat:])
EOF

# exiftool: UTF-8 texts with XMP, IPTC and GPS beside them; empty texts and a thumbnail whose
# offset and length are zero; previews put into maker notes that point at them; EXIF in a PNG and
# in a TIFF with a maker note copied from a camera file; EXIF added to a file with an AFCP trailer.
cp "$real/ffmpeg.jpg" "$real/exiftool-utf8.jpg"
exiftool -q -overwrite_original -charset exif=utf8 -charset iptc=utf8 -IPTC:CodedCharacterSet=UTF8 \
  -IFD0:Make='Fixture Optics' -IFD0:Model='FX-8' -IFD0:ImageDescription='Café in Zürich, 東京' \
  -IFD0:Artist='Zoë Ångström' -IFD0:Copyright='© 2021 Anna Example' -IFD0:XPTitle='Grüße' \
  -ExifIFD:DateTimeOriginal='2021:06:14 09:08:07' -ExifIFD:UserComment='Tschüss' \
  -GPS:GPSLatitude=48.8584 -GPS:GPSLatitudeRef=N -GPS:GPSLongitude=2.2945 -GPS:GPSLongitudeRef=E \
  -XMP-dc:Title='Grüße aus Zürich' -XMP-dc:Creator='Zoë Ångström' -IPTC:ObjectName='Zürich' \
  -IPTC:By-line='Zoë Ångström' "$real/exiftool-utf8.jpg"
cp "$real/ffmpeg.jpg" "$real/exiftool-empty.jpg"
exiftool -q -overwrite_original -IFD0:Make='Fixture Optics' -IFD0:Artist^= -IFD0:Copyright^= \
  -IFD0:ImageDescription^= "-ThumbnailImage<=$work/small.jpg" "$real/exiftool-empty.jpg"
for pair in NikonD70:nikon Pentax:pentax Casio2:casio; do
  cp "$real/${pair%%:*}.jpg" "$real/exiftool-preview-${pair#*:}.jpg"
  exiftool -q -overwrite_original "-PreviewImage<=$work/preview.jpg" "$real/exiftool-preview-${pair#*:}.jpg"
done
cp "$real/ffmpeg.png" "$real/exiftool.png"
exiftool -q -overwrite_original -tagsFromFile "$real/Canon.jpg" -EXIF:all -XMP-dc:Title='PNG with EXIF' \
  "$real/exiftool.png"
cp "$real/ffmpeg.tif" "$real/exiftool.tif"
exiftool -q -overwrite_original -tagsFromFile "$real/Olympus.jpg" -EXIF:all -IPTC:ObjectName='TIFF with EXIF' \
  -GPS:GPSLatitude=48.8584 -GPS:GPSLatitudeRef=N "$real/exiftool.tif"
cp "$real/AFCP.jpg" "$real/exiftool-afcp.jpg"
exiftool -q -overwrite_original -IFD0:Make='Fixture Optics' -IFD0:Model='FX-8' \
  -ExifIFD:DateTimeOriginal='2021:06:14 09:08:07' "$real/exiftool-afcp.jpg"

# The thumbnail's offset and length set to zero in place (exiftool keeps them its own), and
# damaged copies of camera files, one fault each.
"$py" - "$real" <<'EOF'
import struct, sys

folder = sys.argv[1]

class Exif:
    def __init__(self, name):
        self.data = bytearray(open(f"{folder}/{name}", "rb").read())
        self.app1 = self.data.index(b"Exif\0\0") - 4
        self.tiff = self.app1 + 10
        self.order = "<" if self.data[self.tiff:self.tiff + 2] == b"II" else ">"

    def u16(self, at):
        return struct.unpack_from(self.order + "H", self.data, self.tiff + at)[0]

    def u32(self, at):
        return struct.unpack_from(self.order + "I", self.data, self.tiff + at)[0]

    def put32(self, at, value):
        struct.pack_into(self.order + "I", self.data, self.tiff + at, value)

    def entry(self, ifd, tag):
        for i in range(self.u16(ifd)):
            if self.u16(ifd + 2 + 12 * i) == tag:
                return ifd + 2 + 12 * i
        raise KeyError(hex(tag))

    def ifd0(self):
        return self.u32(4)

    def ifd1(self):
        return self.u32(self.ifd0() + 2 + 12 * self.u16(self.ifd0()))

    def exif_ifd(self):
        return self.u32(self.entry(self.ifd0(), 0x8769) + 8)

    def write(self, name):
        open(f"{folder}/{name}", "wb").write(self.data)

empty = Exif("exiftool-empty.jpg")
for tag in (0x0201, 0x0202):  # ThumbnailOffset, ThumbnailLength
    empty.put32(empty.entry(empty.ifd1(), tag) + 8, 0)
empty.write("exiftool-empty.jpg")

# The APP1 segment cut in the middle of the maker note, its length saying so: the
# interoperability directory and IFD1 lie past its end.
cut = Exif("Nikon.jpg")
keep = 900
end = cut.app1 + 2 + struct.unpack_from(">H", cut.data, cut.app1 + 2)[0]
cut.data[cut.tiff + keep:end] = b""
struct.pack_into(">H", cut.data, cut.app1 + 2, keep + 8)
cut.write("damaged-truncated-app1.jpg")
# The EXIF directory's pointer past the end of the block.
bad = Exif("Pentax.jpg")
bad.put32(bad.entry(bad.ifd0(), 0x8769) + 8, 0x00FFFF00)
bad.write("damaged-ifd-offset.jpg")
# Model's value past the end of the block.
bad = Exif("Sony.jpg")
bad.put32(bad.entry(bad.ifd0(), 0x0110) + 8, 0xFFFFFF00)
bad.write("damaged-value-offset.jpg")
# The maker note's count reaching past the end of the block.
bad = Exif("Canon1DmkIII.jpg")
bad.put32(bad.entry(bad.exif_ifd(), 0x927C) + 4, 60000)
bad.write("damaged-maker-note-count.jpg")
EOF

# EXIF as a raw profile in a PNG text chunk: exiftool's EXIF with another Artist, as hexadecimal
# text laid out as ImageMagick lays it out, written into the chunks by the script: a tEXt chunk
# (with JPEG's "Exif\0\0" before the TIFF header) and a compressed iTXt chunk (without it). The
# zTXt file is the tEXt one rewritten by exiftool, which always writes raw profiles compressed (-m:
# exiftool meets the block's directory twice and would stop).
cp "$here/exif/exif.png" "$work/profile.png"
exiftool -q -overwrite_original -IFD0:Artist='Profile Artist' "$work/profile.png"
"$py" - "$work/profile.png" "$here/exif" <<'EOF'
import struct, sys, zlib

def chunks(data):
    at, out = 8, []
    while at < len(data):
        (length,) = struct.unpack_from(">I", data, at)
        out.append((data[at + 4:at + 8], data[at + 8:at + 8 + length]))
        at += 12 + length
    return out

def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

def profile(payload):
    digits = payload.hex()
    lines = [digits[i:i + 72] for i in range(0, len(digits), 72)]
    return b"\nexif\n%8d\n" % len(payload) + "\n".join(lines).encode() + b"\n"

source = open(sys.argv[1], "rb").read()
block = next(body for kind, body in chunks(source) if kind == b"eXIf")
keyword = b"Raw profile type exif\0"
forms = {
    "profile-text.png": (b"tEXt", keyword + profile(b"Exif\0\0" + block)),
    # Compressed, with an empty language tag and translated keyword.
    "profile-itxt.png": (b"iTXt", keyword + b"\1\0\0\0" + zlib.compress(profile(block), 9)),
}
for name, (kind, body) in forms.items():
    out = source[:8]
    for k, b in chunks(source):
        if k != b"eXIf":
            out += chunk(k, b)
        if k == b"IHDR":
            out += chunk(kind, body)
    open(f"{sys.argv[2]}/{name}", "wb").write(out)
EOF
cp "$here/exif/profile-text.png" "$here/exif/profile-ztxt.png"
exiftool -q -q -m -overwrite_original -IFD0:Software='Fixture Writer' "$here/exif/profile-ztxt.png"

# An AFCP trailer after the image, in either byte order, holding a text and IPTC (a caption and a
# keyword). exiftool rewrites such trailers but makes none, so the script lays one out as exiftool
# reads the format; then exiftool writes the file, laying the trailer out anew.
for order in le be; do
  "$py" - "$here/exif/$order.jpg" "$here/exif/afcp-$order.jpg" "$order" <<'EOF'
import struct, sys

data = open(sys.argv[1], "rb").read()
end, signature = (">", b"AXS!") if sys.argv[3] == "be" else ("<", b"AXS*")

def iim(dataset, value):  # IPTC's own numbers are big-endian in either order
    return b"\x1c\x02" + bytes([dataset]) + struct.pack(">H", len(value)) + value

entries = [(b"IPTC", iim(0, b"\0\4") + iim(120, b"Caption in the trailer") + iim(25, b"trailer")),
           (b"TEXT", b"Text in the trailer")]
start = len(data)  # positions count from the start of the file
at = start + 12 + 12 * len(entries)
directory, values = b"", b""
for name, value in entries:
    directory += name + struct.pack(end + "II", len(value), at + len(values))
    values += value
header = signature + struct.pack(end + "HHI", 1, len(entries), 0)
footer = signature + struct.pack(end + "II", start, 0)
open(sys.argv[2], "wb").write(data + header + directory + values + footer)
EOF
  exiftool -q -overwrite_original -IFD0:Software='Fixture Writer' "$here/exif/afcp-$order.jpg"
done

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
from mutagen.asf import ASF, ASFBoolAttribute, ASFDWordAttribute
from mutagen.flac import FLAC
from mutagen.mp4 import MP4, MP4Cover
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

# ID3v2.4 with the frames version 2.3 lacks (TDRL, TDTG, TMOO, TPRO, TSST, RVA2) and frames of
# other kinds: a save that went through version 2.3 would lose the first ones.
rich = id3_tags([("eng", "", comment)])
rich.add(id3.TDRL(encoding=3, text="2021-05-06"))
rich.add(id3.TDTG(encoding=3, text="2021-05-07T08:09:10"))
rich.add(id3.TMOO(encoding=3, text="Calm"))
rich.add(id3.TPRO(encoding=3, text="2021 Example Records"))
rich.add(id3.TSST(encoding=3, text="Side A"))
rich.add(id3.RVA2(desc="track", channel=1, gain=-2.5, peak=0.5))
rich.add(id3.TXXX(encoding=3, desc="MOOD", text="quiet"))
rich.add(id3.USLT(encoding=3, lang="eng", desc="", text="La la la"))
rich.add(id3.WOAR(url="https://example.com/anna"))
rich.add(id3.POPM(email="anna@example.com", rating=196, count=3))
rich.add(id3.APIC(encoding=3, mime="image/png", type=3, desc="cover", data=b"\x89PNG\r\n\x1a\n"))
rich.add(id3.TIPL(encoding=3, people=[["producer", "Ben Example"]]))
rich.save(copy("audio.mp3", "id3v24-frames.mp3"), v1=0, v2_version=4, padding=small_padding)

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

# Values a text field cannot show alone: two artists, stored numbers and flags, a full date, a
# cover the property maps do not show.
second = "Ben Example"
m4a = MP4(copy("audio.m4a", "multi.m4a"))
m4a.update({"\xa9nam": title, "\xa9ART": [artist, second], "tmpo": [120], "cpil": True,
            "covr": [MP4Cover(b"\x89PNG\r\n\x1a\n", imageformat=MP4Cover.FORMAT_PNG)]})
m4a.save(padding=small_padding)

wma = ASF(copy("audio.wma", "multi.wma"))
wma.update({"Title": title, "WM/Composer": [artist, second],
            "WM/BeatsPerMinute": [ASFDWordAttribute(120)], "WM/TrackNumber": [ASFDWordAttribute(3)],
            "WM/IsCompilation": [ASFBoolAttribute(True)]})
wma.save(padding=small_padding)

flac = FLAC(copy("audio.flac", "multi.flac"))
flac.update({"TITLE": title, "ARTIST": [artist, second], "DATE": "2021-05-06"})
flac.save(padding=small_padding)
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
# An 8-bit PCM track whose first samples spell the header of an INFO list: a byte scan for the
# list finds it inside the movie data, after the real list; walking the chunks does not.
"$py" -c 'import struct, sys
head = b"LIST" + struct.pack("<I", 18) + b"INFOINAM" + struct.pack("<I", 6) + b"Fake!\0"
sys.stdout.buffer.write(head + b"\x80" * (1000 - len(head)))' >"$work/pattern.u8"
ff -f lavfi -i "color=c=0x3060a0:s=16x16:r=2" -f u8 -ar 1000 -ac 1 -i "$work/pattern.u8" -frames:v 2 \
  -c:v mjpeg -q:v 31 -reserve_index_space 1 -c:a pcm_u8 "${exact[@]}" -metadata title=Movie \
  -metadata artist=Anna -metadata_header_padding 0 "$here/avi/info-pattern.avi"

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
# Without user-defined properties the document summary stream holds one section only, which every
# implementation of property sets can rewrite.
write("sets.doc", {
    Gsf.META_NAME_TITLE: "Budget Plan",
    Gsf.META_NAME_CREATOR: "Anna Example",
    Gsf.META_NAME_LAST_PRINTED: 1623925230.0,  # 2021-06-17 10:20:30 UTC
    Gsf.META_NAME_WORD_COUNT: 250,
    Gsf.META_NAME_CATEGORY: "Plans",
    Gsf.META_NAME_MANAGER: "Carla Boss",
    Gsf.META_NAME_COMPANY: "Example Ltd",
    Gsf.META_NAME_LINE_COUNT: 12,
})
os._exit(0)
EOF

# An installer database from wixl (Debian wixl), which writes only the summary set. wixl picks a
# new package code and the current time, and names its own version, so those are set to fixed
# values afterwards, in place: a fixed GUID, 2021-06-15 10:20:30 UTC, and the program name without
# its version (padded with zeros to the length it had).
command -v wixl >/dev/null || { echo "missing: wixl" >&2; exit 1; }
cat >"$work/installer.wxs" <<'EOF'
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="11111111-2222-3333-4444-555555555555" Name="Fixture Tool" Language="1033"
           Version="1.0.0" Manufacturer="Example Ltd" UpgradeCode="66666666-7777-8888-9999-000000000000">
    <Package Description="Fixture installer" Comments="Made for tests" Keywords="fixture, installer"
             InstallerVersion="200"/>
    <Directory Id="TARGETDIR" Name="SourceDir"/>
    <Feature Id="Main" Level="1"/>
  </Product>
</Wix>
EOF
wixl -o "$here/doc/installer.msi" "$work/installer.wxs" 2>/dev/null
"$py" - "$here/doc/installer.msi" <<'EOF'
import struct, sys
import olefile

path = sys.argv[1]
ole = olefile.OleFileIO(path, write_mode=True)
name = "\x05SummaryInformation"
data = bytearray(ole.openstream(name).read())
section = struct.unpack_from("<I", data, 44)[0]
for i in range(struct.unpack_from("<I", data, section + 4)[0]):
    pid, offset = struct.unpack_from("<II", data, section + 8 + 8 * i)
    at = section + offset
    kind = struct.unpack_from("<I", data, at)[0]
    if kind == 64:  # VT_FILETIME: created and last saved
        struct.pack_into("<Q", data, at + 4, (1623752430 + 11644473600) * 10**7)
    elif kind == 30 and pid == 9:  # the package code
        data[at + 8:at + 46] = b"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"
    elif kind == 30 and pid == 18:  # the creating program
        length = struct.unpack_from("<I", data, at + 4)[0]
        data[at + 8:at + 8 + length] = b"wixl".ljust(length, b"\0")
ole.write_stream(name, bytes(data))
ole.close()
EOF

# The doc fixtures must read back with an independent reader.
for file in props.doc sets.doc installer.msi; do
  "$py" "$here/../readers/olefile_dump.py" "$here/doc/$file" >/dev/null
done
echo "fixtures written below $here"
