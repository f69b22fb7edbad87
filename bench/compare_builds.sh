#!/usr/bin/env bash
# Checks that two builds of pagesim behave byte for byte alike:
#   bench/compare_builds.sh [--records N] BEFORE AFTER
# Runs both programs, each in a folder of its own, on N-record traces
# (default 1,000,000, cached like bench/run.sh does) of every tracegen
# workload in mode 0 and mode 1, with and without a display window near the
# end (standard input from `yes ''`), on every trace of fuzz/corpus/, and with
# arguments pagesim refuses, and compares standard output, standard error,
# out.txt and the exit status of each run. Prints one line per difference and
# a summary. Exit status: 0 when every run matched, 1 at a difference, 2 when
# the comparison could not run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
usage() { echo "usage: bench/compare_builds.sh [--records N] BEFORE AFTER"; }
records=1000000
while [ $# -gt 0 ]; do
  case "$1" in
    --records) records=${2:?$(usage)}; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] || { usage >&2; exit 2; }
before=$(realpath "$1")
after=$(realpath "$2")
for program in "$before" "$after"; do
  [ -x "$program" ] || { echo "compare_builds.sh: $program is not a program" >&2; exit 2; }
done

build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPAGESIM_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target tracegen >/dev/null
work=$(bench_work_dir 1000000 "$build")
run="$work/compare-$$"
mkdir -p "$run/before" "$run/after"
trap 'rm -rf "$run"' EXIT
trap 'echo "compare_builds.sh: could not run (line $LINENO)" >&2; exit 2' ERR

cases=0
differences=0
# Runs both builds on TRACE with ARGUMENTS; with INPUT set to "yes", standard
# input comes from `yes ''`, else from /dev/null.
#   compare_case NAME TRACE INPUT [ARGUMENT...]
compare_case() {
  local name=$1 trace=$2 input=$3
  shift 3
  local side program
  for side in before after; do
    program=$before
    [ "$side" = after ] && program=$after
    rm -f "$run/$side/data.txt" "$run/$side/out.txt"
    [ -n "$trace" ] && ln -s "$trace" "$run/$side/data.txt"
    local status=0
    if [ "$input" = yes ]; then
      (cd "$run/$side" && yes '' | "$program" "$@" > stdout 2> stderr) || status=$?
    else
      (cd "$run/$side" && "$program" "$@" < /dev/null > stdout 2> stderr) || status=$?
    fi
    echo "$status" > "$run/$side/status"
    [ -e "$run/$side/out.txt" ] || echo "(no out.txt)" > "$run/$side/out.txt"
  done
  cases=$((cases + 1))
  local part
  for part in status stdout stderr out.txt; do
    if ! cmp -s "$run/before/$part" "$run/after/$part"; then
      echo "$name: $part differs"
      differences=$((differences + 1))
    fi
  done
}

for workload in local uniform mixed; do
  trace=$(bench_trace "$build/tracegen" "$work" "$workload" "$records")
  window=$((records > 500 ? records - 500 : 1))
  for mode in 0 1; do
    compare_case "$workload $records, mode $mode" "$trace" no "$mode"
    compare_case "$workload $records, mode $mode, display from $window" "$trace" yes "$mode" \
      "$window"
  done
done
compare_case "local $records, no arguments" \
  "$(bench_trace "$build/tracegen" "$work" local "$records")" no
for trace in "$root"/fuzz/corpus/*; do
  for mode in 0 1; do
    compare_case "$(basename "$trace"), mode $mode" "$trace" no "$mode"
    compare_case "$(basename "$trace"), mode $mode, display from 1" "$trace" yes "$mode" 1
  done
done
example="$root/examples/data.txt"
compare_case "mode 2" "$example" no 2
compare_case "three arguments" "$example" no 0 1 2
compare_case "mode -1abc" "$example" no -1abc
compare_case "break line far below" "$example" yes 1 -2147483648
compare_case "no data.txt" "" no 0

echo "compare_builds.sh: $cases runs of each build, $differences differences"
[ "$differences" -eq 0 ] || exit 1
