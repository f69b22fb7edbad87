#!/usr/bin/env bash
# pagestat's default report on a trace longer than its memory budget, beside
# one that fits:
#   bench/pagestat_spill.sh BUILD_DIR [BIG_RECORDS [SMALL_RECORDS]]
#                                      (default 300000000 and 10000000)
# Makes a mixed trace of each size with BUILD_DIR's tracegen in
# $PAGESIM_BENCH_DIR (else BUILD_DIR/work; on disk, for the big one takes
# about 14 bytes a record), runs BUILD_DIR's pagestat on each once under
# nice, with the default budget and, on the big one, with each budget of
# $PAGESTAT_SPILL_BUDGETS too (default 256M), and prints for each run the
# wall, user and system seconds, the peak resident MiB (/usr/bin/time), and
# the nanoseconds per record of wall time and of CPU time (user + system,
# steadier on a loaded machine), each with its ratio to the small trace's.
# The spill goes to $TMPDIR, else /tmp. The big trace is removed at the end
# unless PAGESTAT_SPILL_KEEP=1.
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: bench/pagestat_spill.sh BUILD_DIR [BIG_RECORDS [SMALL_RECORDS]]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=$(cd "$1" && pwd)
big=${2:-300000000}
small=${3:-10000000}
work=${PAGESIM_BENCH_DIR:-$build/work}
budgets=(${PAGESTAT_SPILL_BUDGETS-256M})

small_trace=$(bench_trace "$build/tracegen" "$work" mixed "$small")
big_trace=$(bench_trace "$build/tracegen" "$work" mixed "$big")
[ "${PAGESTAT_SPILL_KEEP:-0}" = 1 ] || trap 'rm -f "$big_trace"' EXIT

# Prints "wall user system peak_kib" of one run of pagestat with ARGUMENTS.
measure() {
  local times
  times=$(mktemp)
  if ! nice /usr/bin/time -o "$times" -f '%e %U %S %M' "$build/pagestat" "$@" > /dev/null; then
    echo "bench/pagestat_spill.sh: pagestat $* failed" >&2
    exit 2
  fi
  cat "$times"
  rm -f "$times"
}

printf '%10s %7s %8s %8s %7s %9s %8s %6s %8s %6s\n' records budget wall_s user_s sys_s \
  peak_MiB wall_ns x cpu_ns x
small_wall= small_cpu=
row() {  # RECORDS BUDGET [ARGUMENTS...]
  local records=$1 budget=$2
  shift 2
  read -r wall user system peak < <(measure "$@")
  local wall_ns cpu_ns
  wall_ns=$(awk -v w="$wall" -v n="$records" 'BEGIN { printf "%.1f", w * 1e9 / n }')
  cpu_ns=$(awk -v u="$user" -v s="$system" -v n="$records" 'BEGIN { printf "%.1f", (u + s) * 1e9 / n }')
  [ -n "$small_wall" ] || small_wall=$wall_ns small_cpu=$cpu_ns
  awk -v n="$records" -v b="$budget" -v w="$wall" -v u="$user" -v s="$system" -v p="$peak" \
    -v wn="$wall_ns" -v cn="$cpu_ns" -v bw="$small_wall" -v bc="$small_cpu" 'BEGIN {
      printf "%10d %7s %8.2f %8.2f %7.2f %9.1f %8.1f %6.2f %8.1f %6.2f\n", n, b, w, u, s,
        p / 1024, wn, wn / bw, cn, cn / bc }'
}
row "$small" 1G "$small_trace"
row "$big" 1G "$big_trace"
for budget in "${budgets[@]}"; do
  row "$big" "$budget" --memory-max "$budget" "$big_trace"
done
