#!/usr/bin/env bash
# Builds core's libFuzzer targets for the Linux host (fuzz/, into build/fuzz) and runs them.
#   scripts/fuzz.sh TARGET SECONDS    one target for SECONDS
#   scripts/fuzz.sh --all SECONDS     every target, SECONDS each
# The committed corpus fuzz/corpus/<target> is only read: the inputs a run adds go to
# build/fuzz/corpus/<target> (kept, so later runs start from them) and crash inputs to
# build/fuzz/crashes/<target>. Exits non-zero when a target crashes or fails to build.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$root/build/fuzz"
# Every target has a committed corpus folder; that list is the list of targets.
targets=()
for dir in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done

usage() {
  echo "usage: $0 TARGET SECONDS | --all SECONDS   (targets: ${targets[*]})" >&2
  exit 2
}
[ $# -eq 2 ] || usage
if ! [[ $2 =~ ^[0-9]+$ ]] || [ "$2" -eq 0 ]; then usage; fi
seconds=$2
if [ "$1" = --all ]; then
  run=("${targets[@]}")
elif [[ " ${targets[*]} " == *" $1 "* ]]; then
  run=("$1")
else
  usage
fi

. "$root/scripts/lib.sh"
# clang alone has no libFuzzer on Debian: the runtime comes with libclang-rt-14-dev. The EXIF
# target links the host's zlib.
install_debian_packages clang libclang-rt-14-dev cmake ninja-build zlib1g-dev || exit 1

if [ ! -f "$root/build/third-party/src/cjson-1.7.15/cJSON.c" ]; then
  echo "fuzz: no cJSON source in build/third-party/src: run scripts/setup.sh first" >&2
  exit 1
fi
if [ ! -f "$out/build.ninja" ]; then
  echo "== configuring the fuzz targets"
  CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$out" -G Ninja >/dev/null || exit 1
fi
echo "== building the fuzz targets"
cmake --build "$out" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null || {
  cmake --build "$out" -j 1 # again, so that the errors show
  exit 1
}

failed=()
for t in "${run[@]}"; do
  scratch="$out/corpus/$t"
  crashes="$out/crashes/$t"
  mkdir -p "$scratch" "$crashes"
  echo "== fuzzing $t for ${seconds}s"
  # New inputs go to the first folder only; -timeout turns a hang into a reported input.
  "$out/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$scratch" "$root/fuzz/corpus/$t" >"$out/$t.log" 2>&1
  rc=$?
  grep '^Done ' "$out/$t.log" | sed -e 's/^/   /'
  if [ $rc -ne 0 ]; then
    failed+=("$t")
    echo "!! $t failed (exit $rc); the end of its log ($out/$t.log):" >&2
    tail -n 40 "$out/$t.log" >&2
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$out/$t.log" | tail -n 1)
    if [ -n "$artifact" ]; then
      echo "!! the input is $artifact; reproduce with: $out/$t $artifact" >&2
      echo "!! fix the fault, then add the input to fuzz/corpus/$t/ under a name that says what it is" >&2
    fi
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "fuzzing passed: ${run[*]}"
