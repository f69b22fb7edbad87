#!/usr/bin/env bash
# Two builds of pagesim timed in the same run, against the floor:
#   bench/before_after.sh BEFORE AFTER [RUNS]   (default 5 runs each)
# On the 10,000,000-record trace of each tracegen workload (cached as
# bench/run.sh caches them), after one warm-up run of each, runs BEFORE,
# AFTER and the two halves of the floor (`cat data.txt > /dev/null`, and
# `cat` of out.txt's bytes into a new file in the same folder) RUNS times
# each, in turns, so that a machine shared with other work slows all four
# alike. Prints the median wall seconds of each, AFTER's over BEFORE's, and
# each build's over the floor's (reading plus writing); then the builds'
# median user seconds and their ratio, steadier where other work shares the
# processors.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
usage() { echo "usage: bench/before_after.sh BEFORE AFTER [RUNS]"; }
case "${1:-}" in -h | --help) usage; exit 0 ;; esac
[ $# -eq 2 ] || [ $# -eq 3 ] || { usage >&2; exit 2; }
before=$(realpath "$1")
after=$(realpath "$2")
runs=${3:-5}
for program in "$before" "$after"; do
  [ -x "$program" ] || { echo "before_after.sh: $program is not a program" >&2; exit 2; }
done

build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPAGESIM_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target tracegen bench_measure >/dev/null
work=$(bench_work_dir 7000000 "$build")
run="$work/before-after-$$"
mkdir -p "$run"
trap 'rm -rf "$run"' EXIT
echo "before: $before"
echo "after:  $after"
echo "$runs runs each, in $work ($(nproc) cores)"
printf '%-8s %9s %8s %8s %7s %7s %8s %8s %8s %8s %8s %8s\n' workload records before_s \
  after_s cat_s write_s x_after before_x after_x b_user a_user x_user
records=10000000
for workload in local uniform mixed; do
  ln -sf "$(bench_trace "$build/tracegen" "$work" "$workload" "$records")" "$run/data.txt"
  cd "$run"
  "$after" < /dev/null > /dev/null 2>&1
  mv out.txt source.txt
  {
    read -r before_wall before_user _ _
    read -r after_wall after_user _ _
    read -r cat_wall _ _ _
    read -r write_wall _ _ _
  } < <("$build/bench_measure" "$runs" "$before" -- "$after" -- cat data.txt \
    -- sh -c 'cat source.txt > copy.txt')
  rm -f out.txt source.txt copy.txt
  awk -v w="$workload" -v n="$records" -v b="$before_wall" -v a="$after_wall" \
    -v r="$cat_wall" -v wr="$write_wall" -v bu="$before_user" -v au="$after_user" 'BEGIN {
      floor = r + wr
      printf "%-8s %9d %8.3f %8.3f %7.3f %7.3f %8.2f %8.2f %8.2f %8.3f %8.3f %8.2f\n", w, n, b, a,
        r, wr, (b > 0 ? a / b : 0), (floor > 0 ? b / floor : 0), (floor > 0 ? a / floor : 0),
        bu, au, (bu > 0 ? au / bu : 0) }'
  cd "$root"
done
