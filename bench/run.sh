#!/usr/bin/env bash
# Throughput benchmark of pagesim on generated traces, side by side with the
# same program written the plain way (bench/plain_stdio.cpp: fscanf per
# record, fprintf per line):
#   bench/run.sh [--pagesim PATH] [RUNS]   (default 3 runs each; medians printed)
# Builds Release into build-bench/ (with --pagesim, all but pagesim: PATH is
# measured instead, another build), generates 1,000,000- and 10,000,000-record
# traces of each workload once (cached), and runs in a tmpfs folder when
# /dev/shm has room. For each trace it first checks that both programs print
# the same standard output and out.txt, then, after one warm-up run of each,
# runs pagesim, the plain program and the two halves of the floor, the least
# any program can take (`cat data.txt > /dev/null`, and `cat` of pagesim's
# out.txt bytes into a new file in the same folder), RUNS times each, in
# turns. It prints pagesim's median wall, user and system seconds, records per
# second, MB/s of data.txt and out.txt and peak RSS, the medians of the
# floor's reading and writing, the plain program's wall seconds, the ratios
# of the plain program's median wall and user seconds to pagesim's, and
# pagesim's median wall seconds over the floor's (reading plus writing), and
# the one-minute load average when the row was done.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
usage() { echo "usage: bench/run.sh [--pagesim PATH] [RUNS]"; }
build="$root/build-bench"
pagesim=""
runs=3
while [ $# -gt 0 ]; do
  case "$1" in
    --pagesim) pagesim=$(realpath "${2:?$(usage)}"); shift 2 ;;
    -h | --help) usage; exit 0 ;;
    [1-9]*) runs=$1; shift ;;
    *) usage >&2; exit 2 ;;
  esac
done
targets=(tracegen bench_measure bench_plain_stdio pagestat pagediff)
[ -n "$pagesim" ] || targets+=(pagesim)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPAGESIM_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
pagesim=${pagesim:-$build/pagesim}

# About 9 GB: six traces, and three copies of out.txt of uniform at 10M
# records (1.7 GB each): the comparison's two, then the floor's source and
# its copy beside pagesim's own.
work=$(bench_work_dir 9000000 "$build")
run="$work/run"
mkdir -p "$run"
trap 'rm -rf "$run"' EXIT
echo "pagesim benchmark: $pagesim, $runs runs each, in $work ($(nproc) cores)"

printf '%-8s %9s %7s %7s %7s %8s %9s %9s %8s %7s %7s %7s %7s %7s %7s %6s\n' workload records \
  wall_s user_s sys_s Mrec/s data_MB/s out_MB/s rss_MiB cat_s write_s plain_s x_wall x_user \
  x_floor load
declare -A pagesim_wall
for records in 1000000 10000000; do
  for workload in local uniform mixed; do
    cp "$(bench_trace "$build/tracegen" "$work" "$workload" "$records")" "$run/data.txt"
    cd "$run"
    # The same bytes from both, or the comparison means nothing.
    "$pagesim" < /dev/null > pagesim.stdout 2>/dev/null
    mv out.txt pagesim.out.txt
    "$build/bench_plain_stdio" < /dev/null > plain.stdout 2>/dev/null
    if ! cmp -s pagesim.stdout plain.stdout || ! cmp -s pagesim.out.txt out.txt; then
      echo "run.sh: pagesim and the plain program differ on $workload $records" >&2
      exit 1
    fi
    out_bytes=$(stat -c %s out.txt)
    rm -f out.txt
    # The floor's writing: out.txt's bytes into a new file, as pagesim makes
    # its own (truncated, then filled), from a source the page cache holds.
    {
      read -r wall user sys rss
      read -r plain_wall plain_user _ _
      read -r cat_wall _ _ _
      read -r write_wall _ _ _
    } < <("$build/bench_measure" "$runs" "$pagesim" -- "$build/bench_plain_stdio" \
      -- cat data.txt -- sh -c 'cat pagesim.out.txt > copy.txt')
    rm -f pagesim.out.txt copy.txt
    data_bytes=$(stat -c %s data.txt)
    [ "$records" -ne 10000000 ] || pagesim_wall[$workload]=$wall
    # The machine's load while the row was measured: other programs'
    # work takes from every time here, the floor's too.
    read -r load _ < /proc/loadavg
    awk -v w="$workload" -v n="$records" -v wall="$wall" -v user="$user" -v sys="$sys" -v load="$load" \
      -v rss="$rss" -v db="$data_bytes" -v ob="$out_bytes" -v cat_wall="$cat_wall" \
      -v write_wall="$write_wall" -v plain_wall="$plain_wall" -v plain_user="$plain_user" 'BEGIN {
        floor = cat_wall + write_wall
        printf "%-8s %9d %7.3f %7.3f %7.3f %8.2f %9.1f %9.1f %8.2f %7.3f %7.3f %7.3f %7.2f %7.2f %7.2f %6.2f\n",
          w, n, wall, user, sys, n / wall / 1e6, db / wall / 1e6, ob / wall / 1e6, rss / 1024,
          cat_wall, write_wall, plain_wall, plain_wall / wall, (user > 0 ? plain_user / user : 0),
          (floor > 0 ? wall / floor : 0), load }'
    rm -f out.txt
    cd "$root"
  done
done

# pagestat's default report and curve on the 10,000,000-record traces, its
# report's time as a ratio to pagesim's own on the same trace.
echo
printf '%-8s ' pagestat
"$root/bench/pagestat.sh" --header
for workload in local uniform mixed; do
  printf '%-8s ' "$workload"
  PAGESTAT_RUNS=$runs "$root/bench/pagestat.sh" "$build" \
    "$(bench_trace "$build/tracegen" "$work" "$workload" 10000000)" "${pagesim_wall[$workload]}"
done

# pagediff's whole report, candidates included, beside pagesim on a
# 1,000,000-record uniform trace: a difference near the end, and one early.
echo
echo "pagediff"
PAGEDIFF_RUNS=$runs PAGESIM="$pagesim" "$root/bench/pagediff.sh" "$build"
