#!/usr/bin/env python3
"""Checks the portable zip: one folder named after the version, holding both programs with that
version in their version resources, a README and the licence texts."""
import struct
import sys
import zipfile

FIXED_FILE_INFO = struct.pack("<I", 0xFEEF04BD)


def file_version(program: bytes) -> str:
    """The file version of a program's VS_FIXEDFILEINFO, as a.b.c.d."""
    at = program.find(FIXED_FILE_INFO)
    if at < 0:
        raise ValueError("no version resource")
    ms, ls = struct.unpack_from("<II", program, at + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def main(archive: str, version: str) -> int:
    folder = f"Varenko-{version}/"
    with zipfile.ZipFile(archive) as zip_file:
        names = set(zip_file.namelist())
        problems = []
        if any(not name.startswith(folder) for name in names):
            problems.append(f"entries outside {folder}")
        for needed in ("README.txt", "licences/TagLib-COPYING.LGPL.txt", "licences/cJSON-LICENSE.txt",
                       "licences/zlib-LICENSE.txt"):
            if folder + needed not in names:
                problems.append(f"{needed} is missing")
        for program in ("Varenko.exe", "varenko-cmd.exe"):
            if folder + program not in names:
                problems.append(f"{program} is missing")
                continue
            found = file_version(zip_file.read(folder + program))
            if found != version:
                problems.append(f"{program} has version {found}, not {version}")
        if zip_file.testzip() is not None:
            problems.append("a damaged entry")
    for problem in problems:
        print(f"{archive}: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
