# Shared by the scripts: Debian packages on demand, and the page relay's start and stop.
# Expects $root to be the repository's root.

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages that are not installed yet.
install_debian_packages() {
  local missing=()
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Starts tools/page-relay.py with the given command engine and sets relay_pid and relay_url once
# it listens (Wine's first start can take a while). Further arguments go on the engine's command
# line, where the page finds the files and folders to add (relative paths are read from the
# current folder).
relay_pid=
relay_url=
start_relay() {
  local exe=$1 out
  shift
  out=$(mktemp)
  python3 "$root/tools/page-relay.py" 0 --exe "$exe" -- "$@" >"$out" &
  relay_pid=$!
  for _ in $(seq 1 600); do
    relay_url=$(sed -n '1s/^Varenko page at //p' "$out" 2>/dev/null)
    [ -n "$relay_url" ] && break
    kill -0 "$relay_pid" 2>/dev/null || { echo "the page relay did not start" >&2; rm -f "$out"; return 1; }
    sleep 0.1
  done
  rm -f "$out"
  [ -n "$relay_url" ] || { echo "the page relay did not answer" >&2; return 1; }
}

stop_relay() {
  if [ -n "$relay_pid" ]; then
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
    relay_pid=
  fi
}

# Starts Wine and the relay for the rest of the calling script, and stops both when it ends.
#   serve_page EXE [ARGS...]   (ARGS as for start_relay)
serve_page() {
  wine_start
  trap 'stop_relay; wine_stop' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  start_relay "$@"
}
