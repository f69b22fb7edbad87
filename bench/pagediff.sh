#!/usr/bin/env bash
# pagediff's whole report, the candidate mistakes included, beside pagesim's
# own run on the same uniform trace:
#   bench/pagediff.sh BUILD_DIR [RECORDS]   (RECORDS: 1000000 by default)
# Their log is pagesim's with one frame number changed: 100 lines before its
# end ("late"), and at line 500, within the first 1,000 records ("early").
# Prints the medians of PAGEDIFF_RUNS (default 3) runs after a warm-up, as
# bench_measure takes them, in one run so that the ratios compare like with
# like: wall and user seconds of each, and each report's ratio to pagesim.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: bench/pagediff.sh BUILD_DIR [RECORDS]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
records=${2:-1000000}
runs=${PAGEDIFF_RUNS:-3}
pagesim=${PAGESIM:-$build/pagesim}  # bench/run.sh --pagesim passes another
# shellcheck source=bench/common.sh
. "$root/bench/common.sh"
work=$(bench_work_dir 400000 "$build")/pagediff
mkdir -p "$work"
cd "$work"
cp "$(bench_trace "$build/tracegen" "$(dirname "$work")" uniform "$records")" data.txt
"$pagesim" > /dev/null 2>&1
lines=$(wc -l < out.txt)
# A frame number no line has: the difference is where it is put.
sed "$((lines - 100))s/PP [0-9]*\$/PP 99/" out.txt > late.txt
sed '500s/PP [0-9]*$/PP 99/' out.txt > early.txt
for log in late.txt early.txt; do
  status=0
  "$build/pagediff" "$log" > /dev/null || status=$?
  [ "$status" -eq 1 ] || { echo "bench/pagediff.sh: pagediff $log exited $status" >&2; exit 1; }
done
# bench_measure takes a non-zero status for a failure: a difference found
# (exit 1) is pagediff's success here. The shell costs about a millisecond.
found='"$0" "$1"; [ $? -eq 1 ]'
{
  read -r wall user _ _
  read -r late_wall late_user _ late_rss
  read -r early_wall early_user _ _
} < <("$build/bench_measure" "$runs" "$pagesim" -- sh -c "$found" "$build/pagediff" late.txt \
  -- sh -c "$found" "$build/pagediff" early.txt)
printf '%9s %9s %9s %9s %7s %7s %9s %8s\n' records pagesim_s late_s late_u_s ratio u_ratio \
  early_s rss_MiB
awk -v n="$records" -v wall="$wall" -v user="$user" -v lw="$late_wall" -v lu="$late_user" \
  -v ew="$early_wall" -v rss="$late_rss" 'BEGIN {
    printf "%9d %9.3f %9.3f %9.3f %7.2f %7.2f %9.3f %8.2f\n", n, wall, lw, lu, lw / wall,
      (user > 0 ? lu / user : 0), ew, rss / 1024 }'
rm -f out.txt
