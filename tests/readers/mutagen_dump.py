"""Prints the tags of an audio file as JSON, read by mutagen, so that tests can check what the
media handler wrote with a reader that is not ours.

    {"type": "MP3", "id3_version": "2.3.0", "length": 0.1,
     "tags": {"TIT2": ["Café Morning"], "COMM:Notiz:deu": ["Zweiter Kommentar"], ...}}

Each tag's values are a list of texts, under mutagen's own key (ID3 frame ids with their
description and language, MP4 atom names, ASF attribute names, Vorbis comment names). An MP3
without an ID3v2 tag reports its ID3v1 tag as mutagen translates it, with "id3_version": "1.1".
Exits with 127 when mutagen is not installed, 2 when the file is not a known audio format.
"""
import json
import sys

try:
    import mutagen
    from mutagen import id3
except ImportError:
    sys.stderr.write("mutagen_dump: python3-mutagen is not installed\n")
    sys.exit(127)


def texts(value):
    if isinstance(value, id3.Frame):
        if hasattr(value, "text"):
            return [str(t) for t in value.text]
        if hasattr(value, "url"):
            return [value.url]
        return [repr(value)]
    if isinstance(value, (list, tuple)):
        out = []
        for item in value:
            if isinstance(item, tuple):  # MP4 track and disc numbers
                out.append("/".join(str(n) for n in item))
            else:
                out.extend(texts(item))
        return out
    if hasattr(value, "value"):  # ASF attributes
        value = value.value
    if isinstance(value, bytes):
        return [value.hex()]
    return [str(value)]


def main(path):
    audio = mutagen.File(path)
    if audio is None:
        sys.stderr.write(f"mutagen_dump: not an audio file mutagen knows: {path}\n")
        sys.exit(2)
    result = {"type": type(audio).__name__, "length": round(audio.info.length, 3), "tags": {}}
    tags = audio.tags
    if isinstance(tags, id3.ID3):
        result["id3_version"] = ".".join(str(n) for n in tags.version)
    if tags is not None:
        for key in sorted(tags.keys()):
            result["tags"][key] = texts(tags[key])
    json.dump(result, sys.stdout, ensure_ascii=False, indent=1)
    sys.stdout.write("\n")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: mutagen_dump.py FILE")
    main(sys.argv[1])
