#!/usr/bin/env bash
# Sets up a fresh Debian machine as needed, builds everything and runs all tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"

wine_start
trap wine_stop EXIT
cd "$root/build"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
