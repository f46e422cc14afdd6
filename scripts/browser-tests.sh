#!/usr/bin/env bash
# Runs the page's tests in headless Chromium: the page relay serves the page and hands its commands
# to varenko-cmd.exe under Wine, so the tests see real files change. Needs the built program
# (scripts/setup.sh). Installs Chromium and the tests' npm packages when they are missing.
#   scripts/browser-tests.sh [TEST_FILE...]   (default: every tests/browser/*.test.js)
#   VARENKO_CMD   the command engine to use (default build/bin/varenko-cmd.exe)
#   WINEPREFIX    kept when set, else the build tree's prefix
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset_prefix=${WINEPREFIX:-}
. "$root/scripts/wine-env.sh"
[ -n "$preset_prefix" ] && export WINEPREFIX="$preset_prefix"
# The engine and Node must agree on local time; UTC0 is read alike by Wine and its C runtime.
export TZ=UTC0

. "$root/scripts/lib.sh"
install_debian_packages chromium
# Node.js comes with the machine; Debian's own serves where it does not.
command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 || install_debian_packages nodejs npm

tests="$root/tests/browser"
stamp="$tests/node_modules/.package-lock.json"
if [ ! -f "$stamp" ] || [ "$tests/package-lock.json" -nt "$stamp" ]; then
  echo "== installing the browser tests' npm packages"
  (cd "$tests" && npm ci --no-audit --no-fund --loglevel=error)
fi

serve_page "${VARENKO_CMD:-$root/build/bin/varenko-cmd.exe}"
url=$relay_url

echo "== browser tests against $url"
status=0
[ $# -gt 0 ] || set -- tests/browser/
(cd "$root" && VARENKO_PAGE_URL="$url" node --test "$@") || status=$?
exit "$status"
