#!/usr/bin/env bash
# Sets up a fresh Debian machine as needed, builds everything and runs Varenko's page in Chromium:
# the page relay (tools/page-relay.py) serves the page and hands its commands to the command
# engine, varenko-cmd.exe under Wine, so the page edits real files as it does in the window.
# With a display the page opens in an app window and the run ends when the window closes; without
# one the address is printed and the relay serves until Ctrl+C.
#   scripts/run.sh [FILE_OR_FOLDER...]   opens with these in the list, as the program's own
#                                        command line does (folders as "Add folder" adds them)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"
. "$root/scripts/lib.sh"
install_debian_packages chromium
serve_page "$root/build/bin/varenko-cmd.exe" "$@"
url=$relay_url

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
