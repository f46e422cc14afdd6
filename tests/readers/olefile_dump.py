"""Prints the property sets of an OLE compound file as JSON, read by olefile, so that tests can
check what the document handler wrote with a reader that is not ours.

    {"streams": ["WordDocument", ...],
     "SummaryInformation": {"codepage": 1252, "title": "...", "create_time": "2021-06-15T10:20:30Z", ...},
     "DocumentSummaryInformation": {"category": "...", "company": "...", ...},
     "UserDefined": {"Project": "Varenko", "Reviewed": true, ...}}

A property set that is missing is left out; properties are named as olefile names them, unknown
ones by their id ("0x1d"). Exits with 127 when olefile is not installed.
"""
import io
import json
import struct
import sys

try:
    import olefile
except ImportError:
    sys.stderr.write("olefile_dump: python3-olefile is not installed\n")
    sys.exit(127)

SUMMARY = "\x05SummaryInformation"
DOCUMENT = "\x05DocumentSummaryInformation"
USER_DEFINED_FMTID = bytes.fromhex("05d5cdd59c2e1b10939708002b2cf9ae")  # D5CDD505-2E9C-101B-...
TOTAL_EDIT_TIME = 10  # a duration, not a point in time


def text(value, codepage):
    if isinstance(value, bytes):
        encoding = "utf-16-le" if codepage == 1200 else f"cp{codepage}" if codepage else "cp1252"
        try:
            return value.decode(encoding)
        except (LookupError, UnicodeDecodeError):
            return value.decode("latin-1")
    if hasattr(value, "isoformat"):
        return value.strftime("%Y-%m-%dT%H:%M:%SZ")
    return value


def named(props, names):
    codepage = props.get(1)
    out = {}
    for key in sorted(props):
        name = names[key - 1] if 1 <= key <= len(names) else f"0x{key:x}"
        out[name] = text(props[key], codepage)
    return out


def section_offsets(data):
    count = struct.unpack_from("<I", data, 24)[0]
    return [(data[28 + 20 * i:44 + 20 * i], struct.unpack_from("<I", data, 44 + 20 * i)[0])
            for i in range(count)]


def user_defined(ole):
    """The second section of the document summary: olefile reads only a stream's first section,
    so it is handed a copy of the stream whose first section entry points at the second; the
    names come from the section's dictionary (property 0)."""
    data = ole.openstream(DOCUMENT).read()
    sections = dict(section_offsets(data))
    if USER_DEFINED_FMTID not in sections:
        return None
    start = sections[USER_DEFINED_FMTID]
    view = bytearray(data)
    view[28:48] = USER_DEFINED_FMTID + struct.pack("<I", start)
    original = ole.openstream
    ole.openstream = lambda name: io.BytesIO(bytes(view))
    try:
        values = olefile.OleFileIO.getproperties(ole, DOCUMENT, convert_time=True)
    finally:
        ole.openstream = original
    codepage = values.get(1)

    count = struct.unpack_from("<I", data, start + 4)[0]
    offsets = dict(struct.unpack_from("<II", data, start + 8 + 8 * i) for i in range(count))
    names = {}
    if 0 in offsets:
        at = start + offsets[0]
        entries = struct.unpack_from("<I", data, at)[0]
        at += 4
        for _ in range(entries):
            key, length = struct.unpack_from("<II", data, at)
            at += 8
            if codepage == 1200:
                names[key] = data[at:at + 2 * length].decode("utf-16-le").rstrip("\0")
                at += (2 * length + 3) & ~3
            else:
                names[key] = text(data[at:at + length], codepage).rstrip("\0")
                at += length
    return {names.get(key, f"0x{key:x}"): text(v, codepage)
            for key, v in sorted(values.items()) if key not in (0, 1)}


def main(path):
    ole = olefile.OleFileIO(path)
    result = {"streams": ["/".join(entry) for entry in ole.listdir()]}
    if ole.exists(SUMMARY):
        props = ole.getproperties(SUMMARY, convert_time=True, no_conversion=[TOTAL_EDIT_TIME])
        result["SummaryInformation"] = named(props, olefile.OleMetadata.SUMMARY_ATTRIBS)
    if ole.exists(DOCUMENT):
        props = ole.getproperties(DOCUMENT, convert_time=True)
        result["DocumentSummaryInformation"] = named(props, olefile.OleMetadata.DOCSUM_ATTRIBS)
        custom = user_defined(ole)
        if custom is not None:
            result["UserDefined"] = custom
    json.dump(result, sys.stdout, ensure_ascii=False, indent=1, default=repr)
    sys.stdout.write("\n")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: olefile_dump.py FILE")
    main(sys.argv[1])
