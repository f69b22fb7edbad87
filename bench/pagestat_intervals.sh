#!/usr/bin/env bash
# pagestat's memory with one interval per record, beside its default report:
#   bench/pagestat_intervals.sh BUILD_DIR [RECORDS...]   (default 200000 3000000)
# For a mixed trace of each size (cached as bench/run.sh caches them) prints
# the records, the wall seconds and peak resident MiB of the default report
# and of `pagestat -i 1`, and -i 1's peak in bytes per record, one run each
# (BUILD_DIR's pagestat, tracegen and bench_measure).
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: bench/pagestat_intervals.sh BUILD_DIR [RECORDS...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=$(cd "$1" && pwd)
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(200000 3000000)
work=$(bench_work_dir 200000 "$build")

printf '%9s %10s %11s %9s %9s %7s\n' records default_s default_MiB i1_s i1_MiB B/rec
for records in "${sizes[@]}"; do
  trace=$(bench_trace "$build/tracegen" "$work" mixed "$records")
  read -r default_wall _ _ default_rss < <("$build/bench_measure" 1 "$build/pagestat" "$trace")
  read -r i1_wall _ _ i1_rss < <("$build/bench_measure" 1 "$build/pagestat" -i 1 "$trace")
  awk -v n="$records" -v dw="$default_wall" -v dr="$default_rss" -v iw="$i1_wall" \
    -v ir="$i1_rss" 'BEGIN {
      printf "%9d %10.3f %11.2f %9.3f %9.2f %7.2f\n", n, dw, dr / 1024, iw, ir / 1024,
        ir * 1024 / n }'
done
