#!/usr/bin/env python3
"""Prints, as JSON, what an image file holds as exiftool and ffmpeg see it, so that a test can
compare a file before and after a write:

- "tags": exiftool's full listing (-a -u -G1), [group:name, value] in its order, values printed
  with escapes so that one line is one tag. Duplicates stay, which exiftool's own JSON drops.
  ExifTool's own lines (its version, the warnings, the verdict) are not in it.
- "warnings": what exiftool -validate reports, one text each.
- "embedded": each embedded image exiftool can extract (thumbnail, previews), group:name to its
  size and MD5, so a pointer that moved to other bytes shows.
- "pixels": the MD5 of the frame ffmpeg decodes, or "not decoded: " and ffmpeg's first line.
- "stored": the MD5 of the image data as stored: a JPEG's scans (first SOS to EOI), a PNG's IDAT
  payloads, a TIFF's strips and tiles; "" when the file has none of these.

Usage: exif_state.py FILE (exit code 127 when exiftool or ffmpeg is not installed)
"""
import base64
import hashlib
import json
import re
import shutil
import struct
import subprocess
import sys

EMBEDDED = ["ThumbnailImage", "PreviewImage", "JpgFromRaw", "OtherImage", "PreviewTIFF", "ThumbnailTIFF"]


def run(args):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)


def listing(path):
    out = run(["exiftool", "-a", "-u", "-G1", "-s", "-t", "-ec", "-api", "validate", path])
    tags, warnings = [], []
    for line in out.stdout.decode("utf-8", "replace").splitlines():
        parts = line.split("\t", 2)
        if len(parts) < 3:
            continue
        group, name, value = parts
        if group == "ExifTool":
            if name == "Warning":
                warnings.append(value)
            continue
        tags.append([group + ":" + name, value])
    return tags, warnings


def embedded(path):
    args = ["exiftool", "-j", "-a", "-G1", "-b"] + ["-" + name for name in EMBEDDED] + [path]
    out = run(args)
    images = {}
    try:
        found = json.loads(out.stdout.decode("utf-8", "replace"))[0]
    except (ValueError, IndexError):
        return images
    for key, value in found.items():
        if key == "SourceFile" or not isinstance(value, str):
            continue
        data = base64.b64decode(value[7:]) if value.startswith("base64:") else value.encode("utf-8")
        images[key] = "%d bytes, MD5 %s" % (len(data), hashlib.md5(data).hexdigest())
    return images


def pixels(path):
    out = run(["ffmpeg", "-v", "error", "-nostdin", "-i", path, "-f", "md5", "-"])
    text = out.stdout.decode("utf-8", "replace").strip()
    if out.returncode == 0 and text.startswith("MD5="):
        return text[4:]
    error = out.stderr.decode("utf-8", "replace").strip().splitlines()
    # ffmpeg names its decoder by its address in memory, which differs from run to run.
    first = re.sub(r" @ 0x[0-9a-f]+", "", error[0]) if error else "exit %d" % out.returncode
    return "not decoded: " + first


def jpeg_scans(data):
    at = 2
    while at + 4 <= len(data) and data[at] == 0xFF:
        marker = data[at + 1]
        if marker == 0xFF:
            at += 1
            continue
        if marker == 0xDA:  # start of scan: the coded data runs to the end-of-image marker
            end = data.find(b"\xff\xd9", at)
            return data[at:len(data) if end < 0 else end + 2]
        at += 2 + struct.unpack_from(">H", data, at + 2)[0]
    return b""


def png_idat(data):
    out, at = b"", 8
    while at + 8 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        if kind == b"IDAT":
            out += data[at + 8:at + 8 + length]
        at += 12 + length
    return out


def tiff_data(path, data):
    out = run(["exiftool", "-j", "-a", "-G1", "-n", "-StripOffsets", "-StripByteCounts", "-TileOffsets",
               "-TileByteCounts", path])
    try:
        found = json.loads(out.stdout.decode("utf-8", "replace"))[0]
    except (ValueError, IndexError):
        return b""
    stored = b""
    for key in sorted(found):
        for kind in ("Strip", "Tile"):
            if not key.endswith(":" + kind + "Offsets"):
                continue
            counts = found.get(key[:-len("Offsets")] + "ByteCounts")
            if counts is None:
                continue
            offsets = [int(v) for v in str(found[key]).split()]
            lengths = [int(v) for v in str(counts).split()]
            for offset, length in zip(offsets, lengths):
                stored += key.encode() + data[offset:offset + length]
    return stored


def stored(path):
    data = open(path, "rb").read()
    if data[:2] == b"\xff\xd8":
        body = jpeg_scans(data)
    elif data[:8] == b"\x89PNG\r\n\x1a\n":
        body = png_idat(data)
    elif data[:4] in (b"II*\0", b"MM\0*"):
        body = tiff_data(path, data)
    else:
        body = b""
    return hashlib.md5(body).hexdigest() if body else ""


def main():
    missing = [tool for tool in ("exiftool", "ffmpeg") if shutil.which(tool) is None]
    if missing:
        sys.stderr.write("not installed: %s\n" % ", ".join(missing))
        sys.exit(127)  # what the test's runner takes for a reader that cannot run here
    path = sys.argv[1]
    tags, warnings = listing(path)
    json.dump({"tags": tags, "warnings": warnings, "embedded": embedded(path), "pixels": pixels(path),
               "stored": stored(path)}, sys.stdout, ensure_ascii=False)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
