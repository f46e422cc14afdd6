# Sourced by the scripts that run Windows programs: one private Wine prefix inside the build tree,
# so that nothing a run writes (registry, files) leaks into a user's own prefix or into another run.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix once, then keeps one wineserver alive so every later start is quick.
wine_start() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the Wine prefix"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  wineserver -p >/dev/null 2>&1 || true
  # Start Wine's own services now, detached from our output: started later by a test, they would
  # inherit its output and hold CTest waiting after the test has ended.
  wineboot </dev/null >/dev/null 2>&1 || true
}

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
}
