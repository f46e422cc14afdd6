#!/usr/bin/env bash
# Prepares a fresh Debian machine to build Varenko for Windows x64: the cross toolchain, Wine,
# the dependencies built for the Windows target, and the project itself. Every step is skipped
# when its result is already there, so running it again is cheap.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
third="$build/third-party"
jobs=$(nproc 2>/dev/null || echo 2)

say() { printf '== %s\n' "$*"; }

. "$root/scripts/lib.sh"

# Source packages come from the machine's own Debian mirrors, through a private apt
# configuration so that the system's sources stay untouched. A suite given as the third argument
# (a later Debian release) takes the system's main archive with that suite name instead; a Debian
# version given as the fourth asks for exactly that version rather than the newest.
fetch_source() {
  local name=$1 version=$2 suite=${3:-} pin=${4:-} dest="$third/src"
  if compgen -G "$dest/${name}_${version}*.dsc" >/dev/null ||
     compgen -G "$dest/${name}_${version}.orig.tar.*" >/dev/null; then return 0; fi
  say "fetching the $name $version source package"
  local apt="$third/apt${suite:+-$suite}"
  mkdir -p "$apt/sources" "$apt/lists/partial" "$dest"
  if [ -n "$suite" ]; then
    [ -f /etc/apt/sources.list.d/debian.sources ] || { echo "no debian.sources to take $suite from" >&2; return 1; }
    # The first stanza is the main archive; its URIs and key serve every release.
    awk -v suite="$suite" '
      /^[[:space:]]*$/ { if (seen) exit; next }
      /^URIs:/ || /^Signed-By:/ || /^Components:/ { print; seen = 1 }
      END { print "Types: deb-src"; print "Suites: " suite }' \
      /etc/apt/sources.list.d/debian.sources >"$apt/sources/src.sources"
  elif [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$apt/sources/src.sources"
  else
    grep -h '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      sed -e 's/^deb /deb-src /' >"$apt/sources/src.list"
  fi
  local opts=(-o Dir::Etc::sourcelist=/dev/null -o "Dir::Etc::sourceparts=$apt/sources"
              -o "Dir::State::Lists=$apt/lists" -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update -qq
  # Some mirrors serve a later release's upstream tarball but not its Debian files; apt checks
  # each file it gets against the signed index, so the tarball alone is still the archive's.
  (cd "$dest" && apt-get "${opts[@]}" source --download-only "$name${pin:+=$pin}" -qq) ||
    ls "$dest/${name}_${version}.orig.tar."* >/dev/null 2>&1
}

# Unpacks with Debian's own patches applied (security fixes included).
unpack_source() {
  local name=$1 version=$2 out=$3
  [ -d "$out" ] && return 0
  local dsc
  dsc=$(compgen -G "$third/src/${name}_${version}*.dsc" | head -n 1 || true)
  rm -rf "$out.tmp"
  if [ -n "$dsc" ]; then
    dpkg-source --no-check -x "$dsc" "$out.tmp" >/dev/null
  else
    mkdir "$out.tmp"
    tar -xf "$(ls "$third/src/${name}_${version}.orig.tar."* | head -n 1)" -C "$out.tmp" --strip-components=1
  fi
  mv "$out.tmp" "$out"
}

toolchain="$root/cmake/mingw-w64.cmake"

# Builds one CMake dependency for the Windows target into its own prefix, keyed by version.
# zlib's own CMake project always adds a DLL, whose resource script Debian's tarball leaves out:
# only its static library is built, and installed as libz.a beside the two headers.
build_zlib() {
  local version=$1 srcdir=$2 prefix="$third/zlib-$1" work="$third/build-zlib"
  [ -f "$prefix/.done" ] && return 0
  say "building zlib $version for Windows x64"
  rm -rf "$work" "$prefix"
  cmake -S "$srcdir" -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -Wno-deprecated >/dev/null
  cmake --build "$work" --target zlibstatic -j "$jobs" >/dev/null
  install -D -m 644 "$srcdir/zlib.h" "$prefix/include/zlib.h"
  install -D -m 644 "$work/zconf.h" "$prefix/include/zconf.h"
  install -D -m 644 "$work/libzlibstatic.a" "$prefix/lib/libz.a"
  touch "$prefix/.done"
  rm -rf "$work"
}

build_dep() {
  local name=$1 version=$2 srcdir=$3
  shift 3
  local prefix="$third/$name-$version"
  [ -f "$prefix/.done" ] && return 0
  say "building $name $version for Windows x64"
  rm -rf "$third/build-$name"
  cmake -S "$srcdir" -B "$third/build-$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
  cmake --build "$third/build-$name" -j "$jobs" >/dev/null
  cmake --install "$third/build-$name" >/dev/null
  touch "$prefix/.done"
  rm -rf "$third/build-$name"
}

# zlib1g-dev is the host's zlib, which the fuzz targets (built for the host) link.
install_debian_packages cmake ninja-build dpkg-dev g++-mingw-w64-x86-64-posix mingw-w64-tools \
  wine wine64 xvfb xauth libgtest-dev libutfcpp-dev zlib1g-dev
# Readers that are not ours, so that the tests check every write to a file with another program.
install_debian_packages libimage-exiftool-perl ffmpeg python3-mutagen python3-olefile

CJSON_VERSION=1.7.15
TAGLIB_VERSION=2.0.2
ZLIB_DEBIAN_VERSION=1:1.2.13.dfsg-1
ZLIB_VERSION=${ZLIB_DEBIAN_VERSION#*:} # file names carry no epoch
GTEST_VERSION=$(dpkg-query -W -f='${Version}' libgtest-dev | sed -e 's/-.*//')

if [ ! -f "$third/cjson-$CJSON_VERSION/.done" ]; then
  fetch_source cjson "$CJSON_VERSION"
  unpack_source cjson "$CJSON_VERSION" "$third/src/cjson-$CJSON_VERSION"
  build_dep cjson "$CJSON_VERSION" "$third/src/cjson-$CJSON_VERSION" \
    -DENABLE_CJSON_TEST=OFF -DENABLE_CJSON_UTILS=OFF -DENABLE_CUSTOM_COMPILER_FLAGS=OFF
fi
if [ ! -f "$third/taglib-$TAGLIB_VERSION/.done" ]; then
  fetch_source taglib "$TAGLIB_VERSION" trixie  # TagLib 2 has 64-bit file offsets on Windows
  unpack_source taglib "$TAGLIB_VERSION" "$third/src/taglib-$TAGLIB_VERSION"
  build_dep taglib "$TAGLIB_VERSION" "$third/src/taglib-$TAGLIB_VERSION" \
    -DWITH_ZLIB=OFF -DBUILD_TESTING=OFF -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF \
    -Dutf8cpp_INCLUDE_DIR=/usr/include/utf8cpp  # the system's header-only utfcpp (libutfcpp-dev)
fi
build_dep googletest "$GTEST_VERSION" /usr/src/googletest -Dgtest_disable_pthreads=ON
# zlib: the version Debian 12 itself ships (the host's zlib1g-dev is the same), with Debian's
# patches. The archive's later security revision is listed but not served by every mirror.
if [ ! -f "$third/zlib-$ZLIB_VERSION/.done" ]; then
  fetch_source zlib "$ZLIB_VERSION" "" "$ZLIB_DEBIAN_VERSION"
  unpack_source zlib "$ZLIB_VERSION" "$third/src/zlib-$ZLIB_VERSION"
  build_zlib "$ZLIB_VERSION" "$third/src/zlib-$ZLIB_VERSION"
fi

# A tree configured against other dependency prefixes (an older TagLib) is configured afresh: its
# cache still names the old headers and libraries.
prefixes="$third/cjson-$CJSON_VERSION;$third/taglib-$TAGLIB_VERSION;$third/googletest-$GTEST_VERSION;$third/zlib-$ZLIB_VERSION"
if [ ! -f "$build/build.ninja" ] || [ "$(cat "$build/.dependency-prefixes" 2>/dev/null)" != "$prefixes" ]; then
  say "configuring"
  cmake --fresh -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefixes" >/dev/null
  printf '%s\n' "$prefixes" >"$build/.dependency-prefixes"
fi
say "building"
cmake --build "$build" -j "$jobs"
