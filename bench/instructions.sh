#!/usr/bin/env bash
# Instructions pagesim executes per trace record, counted by callgrind:
#   bench/instructions.sh [--pagesim PATH] [--build DIR] [--records N]
# Builds a Release pagesim and tracegen in DIR (default build-bench/, the
# README's configuration: no -march=native), or measures the pagesim at PATH
# instead (another build). Generates N-record traces (default 1,000,000) of
# each tracegen workload once (cached like bench/run.sh does), runs pagesim on
# each in mode 0 and mode 1 with standard input from /dev/null, under
# `valgrind --tool=callgrind`, and prints total instructions / records per
# workload and mode. The counts are exact, so the table is the same on every
# run: it is how a change to the hot path is checked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"

usage() { echo "usage: bench/instructions.sh [--pagesim PATH] [--build DIR] [--records N]"; }
build="$root/build-bench"
pagesim=""
records=1000000
while [ $# -gt 0 ]; do
  case "$1" in
    --pagesim) pagesim=${2:?$(usage)}; shift 2 ;;
    --build) build=${2:?$(usage)}; shift 2 ;;
    --records) records=${2:?$(usage)}; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
command -v valgrind >/dev/null || { echo "instructions.sh: valgrind is needed" >&2; exit 2; }
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac

# tracegen's bytes do not depend on the build: the one beside PATH will do.
if [ -n "$pagesim" ]; then
  pagesim=$(realpath "$pagesim")
  tracegen="$(dirname "$pagesim")/tracegen"
  [ -x "$pagesim" ] || { echo "instructions.sh: $pagesim is not a program" >&2; exit 2; }
fi
if [ -z "$pagesim" ] || [ ! -x "$tracegen" ]; then
  targets=(tracegen)
  [ -n "$pagesim" ] || targets+=(pagesim)
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPAGESIM_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
  tracegen="$build/tracegen"
  [ -n "$pagesim" ] || pagesim="$build/pagesim"
fi

work=$(bench_work_dir 1000000 "$build")
run="$work/instructions-$$"
mkdir -p "$run"
trap 'rm -rf "$run"' EXIT

echo "instructions per record: $pagesim, $records-record traces"
printf '%-8s %9s %9s %9s\n' workload records mode_0 mode_1
for workload in local uniform mixed; do
  ln -sf "$(bench_trace "$tracegen" "$work" "$workload" "$records")" "$run/data.txt"
  line=$(printf '%-8s %9d' "$workload" "$records")
  for mode in 0 1; do
    # A fixed, empty environment: the loader's work depends on its size.
    (cd "$run" && env -i valgrind --tool=callgrind --callgrind-out-file=/dev/null \
      --log-file="$run/valgrind.log" "$pagesim" "$mode" < /dev/null > "$run/stdout" 2>/dev/null) || {
      echo "instructions.sh: pagesim $mode failed on $workload (see $run)" >&2
      trap - EXIT
      exit 1
    }
    total=$(awk '/Collected :/ { print $NF }' "$run/valgrind.log")
    steps=$(awk '/steps were executed/ { print $1 }' "$run/stdout")
    if [ -z "$total" ] || [ "$steps" != "$records" ]; then
      echo "instructions.sh: no count for $workload mode $mode (see $run)" >&2
      trap - EXIT
      exit 1
    fi
    line+=$(awk -v t="$total" -v n="$records" 'BEGIN { printf " %9.1f", t / n }')
  done
  echo "$line"
done
