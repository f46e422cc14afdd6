#!/usr/bin/env bash
# Sets up a fresh Debian machine as needed, builds everything and runs Varenko's page in Chromium:
# the page relay (tools/page-relay.py) serves the page and hands its commands to the command
# engine, varenko-cmd.exe under Wine, so the page edits real files as it does in the window.
# With a display the page opens in an app window and the run ends when the window closes; without
# one the address is printed and the relay serves until Ctrl+C.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"
wine_start

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if ! command -v chromium >/dev/null 2>&1; then
  echo "== installing chromium"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi

relay_pid=
relay_out="$root/build/page-relay.out"
stop_all() {
  if [ -n "$relay_pid" ]; then
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
  fi
  wine_stop
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

python3 "$root/tools/page-relay.py" 0 >"$relay_out" &
relay_pid=$!

# The relay's first line names its address once it listens (Wine's first start can take a while).
url=
for _ in $(seq 1 600); do
  url=$(sed -n '1s/^Varenko page at //p' "$relay_out" 2>/dev/null)
  [ -n "$url" ] && break
  kill -0 "$relay_pid" 2>/dev/null || { echo "the page relay did not start" >&2; exit 1; }
  sleep 0.1
done
[ -n "$url" ] || { echo "the page relay did not answer" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
  echo "== Varenko page at $url"
  flags=(--app="$url" --user-data-dir="$root/build/chromium-profile" --no-first-run)
  # Chromium refuses to run as root inside its sandbox.
  [ "$(id -u)" -eq 0 ] && flags+=(--no-sandbox)
  # Chromium talks a lot on its error stream (D-Bus, GPU); that goes to a log, not the terminal.
  chromium "${flags[@]}" 2>"$root/build/chromium.log" || true
else
  echo "== Varenko page at $url (no display: open it in a browser; Ctrl+C stops)"
  wait "$relay_pid" || true
fi
