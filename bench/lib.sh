# Shared by the bench/*-bench.sh scripts: the build tree and Wine prefix, the checks for the tools
# they need, the copied fixtures and the timing of whole processes.
# Expects $root to be the repository's root; sets build, and keeps WINEPREFIX when it is set.
build=${BUILD:-$root/build}
preset_prefix=${WINEPREFIX:-}
. "$root/scripts/wine-env.sh"
[ -n "$preset_prefix" ] && export WINEPREFIX="$preset_prefix"

# Debian's Python modules live with Debian's interpreter, which another python3 on PATH may hide.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3

#   need_tools NAME TOOL...   stops the script NAME when a tool is missing
need_tools() {
  local name=$1 tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is not installed" >&2; exit 1; }
  done
}

#   need_python_module NAME MODULE PACKAGE
need_python_module() {
  "$python" -c "import $2" || { echo "$1: $3 is not installed" >&2; exit 1; }
}

#   need_built NAME EXE   (EXE in the build tree's bin/)
need_built() {
  [ -f "$build/bin/$2" ] || { echo "$1: build $build/bin/$2 first" >&2; exit 1; }
}

# Sets work to a new temporary folder, removed when the script ends, when the Wine server
# wine_start keeps running is stopped too, so that nothing waits on it later.
make_work() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"; wine_stop' EXIT
}

#   copy_fixtures FROM TO COPIES FIXTURE...   copies each fixture of tests/data/FROM COPIES times
copy_fixtures() {
  local from=$1 to=$2 copies=$3 i fixture
  shift 3
  for ((i = 0; i < copies; i++)); do
    for fixture in "$@"; do
      cp "$root/tests/data/$from/$fixture" "$to/$i-$fixture"
    done
  done
}

#   run_bench EXE ARGS...   runs a benchmark program of the build tree under Wine; its output
#   without carriage returns
run_bench() {
  local exe=$1
  shift
  wine "$build/bin/$exe" "$@" | tr -d '\r'
}

#   figure OUTPUT LABEL   the number on OUTPUT's line "LABEL N"
figure() {
  echo "$1" | sed -n "s|^$2 ||p"
}

now() { date +%s.%N; }
# Files per second for $count files between two times of now.
rate() { awk -v n="$count" -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", n / (b - a) }'; }
# Files per second of a command, timed as a whole process.
timed_rate() {
  local start
  start=$(now)
  "$@" >/dev/null || return
  rate "$start" "$(now)"
}
# The best of three runs, as the handler's figure is the best of its rounds.
best_rate() {
  local best=0 r
  for _ in 1 2 3; do
    r=$(timed_rate "$@")
    ((r > best)) && best=$r
  done
  echo "$best"
}
