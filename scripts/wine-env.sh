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
}

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
}
