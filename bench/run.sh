#!/usr/bin/env bash
# Throughput benchmark of pagesim on generated traces.
#   bench/run.sh [RUNS]     (default 3 runs per measurement; medians printed)
# Builds Release into build-bench/, generates 1,000,000- and 10,000,000-record
# traces of each workload once (cached), and runs pagesim on each in a tmpfs
# folder when /dev/shm has room. For each trace, after one warm-up run, it
# prints the median wall, user and system seconds, records per second, MB/s of
# data.txt and out.txt, peak RSS, and the floor: `cat data.txt > /dev/null` on
# the same file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
build="$root/build-bench"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPAGESIM_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target pagesim tracegen bench_measure >/dev/null

# About 5 GB: six traces, and out.txt of uniform at 10M records (1.7 GB).
work=${PAGESIM_BENCH_DIR:-}
if [ -z "$work" ]; then
  free_kib=$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')
  if [ -n "$free_kib" ] && [ "$free_kib" -gt 5000000 ]; then
    work=/dev/shm/pagesim-bench
  else
    work="$build/work"
  fi
fi
mkdir -p "$work/cache" "$work/run"
echo "pagesim benchmark: $runs runs each, in $work ($(nproc) cores)"

printf '%-8s %9s %7s %7s %7s %8s %9s %9s %8s %7s\n' workload records wall_s user_s sys_s \
  Mrec/s data_MB/s out_MB/s rss_MiB cat_s
for records in 1000000 10000000; do
  for workload in local uniform mixed; do
    trace="$work/cache/$workload-$records.txt"
    [ -s "$trace" ] || "$build/tracegen" "$workload" "$records" > "$trace"
    cp "$trace" "$work/run/data.txt"
    cd "$work/run"
    read -r wall user sys rss < <("$build/bench_measure" "$runs" "$build/pagesim")
    read -r cat_wall _ _ _ < <("$build/bench_measure" "$runs" cat data.txt)
    data_bytes=$(stat -c %s data.txt)
    out_bytes=$(stat -c %s out.txt)
    awk -v w="$workload" -v n="$records" -v wall="$wall" -v user="$user" -v sys="$sys" \
      -v rss="$rss" -v db="$data_bytes" -v ob="$out_bytes" -v cat_wall="$cat_wall" 'BEGIN {
        printf "%-8s %9d %7.3f %7.3f %7.3f %8.2f %9.1f %9.1f %8.2f %7.3f\n", w, n, wall, user,
          sys, n / wall / 1e6, db / wall / 1e6, ob / wall / 1e6, rss / 1024, cat_wall }'
    rm -f out.txt
    cd "$root"
  done
done
rm -rf "$work/run"
