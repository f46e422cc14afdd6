#!/usr/bin/env bash
# Sets up a fresh Debian machine as needed, builds everything and runs all tests under Wine, with
# a virtual display so that the window tests run too.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"

# Wine's server must start under the same display as the tests, or window creation keeps failing.
wine_stop
export root
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  . "$root/scripts/wine-env.sh"
  wine_start
  trap wine_stop EXIT
  cd "$root/build"
  ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
'
