#!/usr/bin/env bash
# One benchmark row for pagestat on a trace:
#   bench/pagestat.sh BUILD_DIR TRACE PAGESIM_SECONDS
#   bench/pagestat.sh --header
# prints the records, the median wall seconds of the default report and its
# ratio to PAGESIM_SECONDS (pagesim's own time on the same trace), the median
# wall seconds of the curve (--curve, which includes the report) and its
# ratio to the report's, the same for the curve alone (--curve --csv), the
# largest peak resident set of all those runs in MiB, and that peak in bytes
# per record. Runs with BUILD_DIR's bench_measure: after a warm-up,
# PAGESTAT_RUNS (default 3) rounds of the three, in turns, so that each
# ratio comes from runs of one sitting.
set -euo pipefail
format='%9s %9s %7s %8s %7s %8s %7s %8s %7s\n'
if [ "${1:-}" = --header ]; then
  printf "$format" records report_s ratio curve_s curve_x csv_s csv_x rss_MiB B/rec
  exit 0
fi
if [ $# -ne 3 ]; then
  echo "usage: bench/pagestat.sh BUILD_DIR TRACE PAGESIM_SECONDS | --header" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
trace=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
pagesim_seconds=$3
runs=${PAGESTAT_RUNS:-3}

# The record count as pagestat read it: the first line of its report.
records=$("$build/pagestat" "$trace" | sed -n '1s/^pagestat: .*: \([0-9]*\) records,.*/\1/p')
[ -n "$records" ] || { echo "bench/pagestat.sh: no report from $build/pagestat" >&2; exit 1; }
{
  read -r report_wall _ _ report_rss
  read -r curve_wall _ _ curve_rss
  read -r csv_wall _ _ csv_rss
} < <("$build/bench_measure" "$runs" "$build/pagestat" "$trace" \
  -- "$build/pagestat" --curve "$trace" -- "$build/pagestat" --curve --csv "$trace")
awk -v n="$records" -v report="$report_wall" -v base="$pagesim_seconds" -v curve="$curve_wall" \
  -v csv="$csv_wall" -v rss_a="$report_rss" -v rss_b="$curve_rss" -v rss_c="$csv_rss" 'BEGIN {
    rss = rss_a > rss_b ? rss_a : rss_b
    rss = rss > rss_c ? rss : rss_c
    printf "%9d %9.3f %7.2f %8.3f %7.2f %8.3f %7.2f %8.2f %7.2f\n", n, report,
      (base > 0 ? report / base : 0), curve, (report > 0 ? curve / report : 0), csv,
      (report > 0 ? csv / report : 0), rss / 1024, (n > 0 ? rss * 1024 / n : 0) }'
