#!/usr/bin/env bash
# Builds the Windows artifacts into build/dist from the programs in build/bin (scripts/setup.sh
# builds them): Varenko-<version>-setup.exe, made with NSIS, and Varenko-<version>-portable.zip.
# The version is the project's own, as the build wrote it to build/version.txt.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/lib.sh"
install_debian_packages nsis

build="$root/build"
bin="$build/bin"
third="$build/third-party/src"
for file in "$build/version.txt" "$bin/Varenko.exe" "$bin/varenko-cmd.exe"; do
  [ -f "$file" ] || { echo "package: $file is missing; run scripts/setup.sh first" >&2; exit 1; }
done
version=$(tr -d '[:space:]' <"$build/version.txt")
dist="$build/dist"
rm -rf "$dist"
mkdir -p "$dist"

echo "== building Varenko-$version-setup.exe"
makensis -V2 -NOCD "-DVERSION=$version" "-DBIN=$bin" "-DSOURCE=$root" \
  "-DOUTFILE=$dist/Varenko-$version-setup.exe" "$root/scripts/package/Varenko.nsi"

echo "== building Varenko-$version-portable.zip"
# The licences of what the programs carry: TagLib, cJSON and zlib from their Debian source
# packages, and the mingw-w64 runtime linked into every program.
python3 - "$dist/Varenko-$version-portable.zip" "$version" <<PYTHON
import sys, zipfile
archive, version = sys.argv[1], sys.argv[2]
folder = f"Varenko-{version}/"
entries = {
    "Varenko.exe": "$bin/Varenko.exe",
    "varenko-cmd.exe": "$bin/varenko-cmd.exe",
    "licences/TagLib-COPYING.LGPL.txt": "$third/taglib-2.0.2/COPYING.LGPL",
    "licences/TagLib-COPYING.MPL.txt": "$third/taglib-2.0.2/COPYING.MPL",
    "licences/cJSON-LICENSE.txt": "$third/cjson-1.7.15/LICENSE",
    "licences/cJSON-copyright.txt": "$third/cjson-1.7.15/debian/copyright",
    "licences/zlib-LICENSE.txt": "$third/zlib-1.2.13.dfsg-1/LICENSE",
    "licences/zlib-copyright.txt": "$third/zlib-1.2.13.dfsg-1/debian/copyright",
    "licences/mingw-w64-runtime-copyright.txt": "/usr/share/doc/mingw-w64-x86-64-dev/copyright",
}
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as out:
    readme = open("$root/scripts/package/README.txt", encoding="utf-8").read().replace("@VERSION@", version)
    # Windows line endings, so that Notepad of any age shows the lines.
    out.writestr(folder + "README.txt", readme.replace("\n", "\r\n"))
    for name, path in entries.items():
        out.write(path, folder + name)
PYTHON
ls -l "$dist"
