#!/usr/bin/env bash
# Runs the page's tests in headless Chromium: the page relay serves the page and hands its commands
# to varenko-cmd.exe under Wine, so the tests see real files change. Needs the built program
# (scripts/setup.sh). Installs Chromium and the tests' npm packages when they are missing.
#   VARENKO_CMD   the command engine to use (default build/bin/varenko-cmd.exe)
#   WINEPREFIX    kept when set, else the build tree's prefix
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset_prefix=${WINEPREFIX:-}
. "$root/scripts/wine-env.sh"
[ -n "$preset_prefix" ] && export WINEPREFIX="$preset_prefix"
# The engine and Node must agree on local time; UTC0 is read alike by Wine and its C runtime.
export TZ=UTC0

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if ! dpkg -s chromium >/dev/null 2>&1; then
  echo "== installing chromium"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi

tests="$root/tests/browser"
stamp="$tests/node_modules/.package-lock.json"
if [ ! -f "$stamp" ] || [ "$tests/package-lock.json" -nt "$stamp" ]; then
  echo "== installing the browser tests' npm packages"
  (cd "$tests" && npm ci --no-audit --no-fund --loglevel=error)
fi

wine_start
relay_pid=
relay_out=$(mktemp)
stop_all() {
  if [ -n "$relay_pid" ]; then
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
  fi
  rm -f "$relay_out"
  wine_stop
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

python3 "$root/tools/page-relay.py" 0 --exe "${VARENKO_CMD:-$root/build/bin/varenko-cmd.exe}" >"$relay_out" &
relay_pid=$!
url=
for _ in $(seq 1 600); do
  url=$(sed -n '1s/^Varenko page at //p' "$relay_out")
  [ -n "$url" ] && break
  kill -0 "$relay_pid" 2>/dev/null || { echo "the page relay did not start" >&2; exit 1; }
  sleep 0.1
done
[ -n "$url" ] || { echo "the page relay did not answer" >&2; exit 1; }

echo "== browser tests against $url"
status=0
(cd "$root" && VARENKO_PAGE_URL="$url" node --test tests/browser/) || status=$?
exit "$status"
