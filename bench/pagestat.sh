#!/usr/bin/env bash
# One benchmark row for pagestat on a trace:
#   bench/pagestat.sh BUILD_DIR TRACE PAGESIM_SECONDS
#   bench/pagestat.sh --header
# prints the records, the median wall seconds of the default report and its
# ratio to PAGESIM_SECONDS (pagesim's own time on the same trace), the wall
# seconds of the curve (--curve, which includes the report) and its ratio to
# the report's, the largest peak resident set of all those runs in MiB, and
# that peak in bytes per record. Runs with BUILD_DIR's
# bench_measure: after a warm-up, PAGESTAT_RUNS (default 3) runs of the
# report and one of the curve.
set -euo pipefail
format='%9s %9s %7s %8s %7s %8s %7s\n'
if [ "${1:-}" = --header ]; then
  printf "$format" records report_s ratio curve_s curve_x rss_MiB B/rec
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
read -r report_wall _ _ report_rss < <("$build/bench_measure" "$runs" "$build/pagestat" "$trace")
read -r curve_wall _ _ curve_rss < <("$build/bench_measure" 1 "$build/pagestat" --curve "$trace")
awk -v n="$records" -v report="$report_wall" -v base="$pagesim_seconds" -v curve="$curve_wall" \
  -v rss_a="$report_rss" -v rss_b="$curve_rss" 'BEGIN {
    rss = rss_a > rss_b ? rss_a : rss_b
    printf "%9d %9.3f %7.2f %8.3f %7.2f %8.2f %7.2f\n", n, report, (base > 0 ? report / base : 0),
      curve, (report > 0 ? curve / report : 0), rss / 1024, (n > 0 ? rss * 1024 / n : 0) }'
