# Shared by the benchmark scripts (sourced, not run): where traces are cached
# and programs run, and the cached traces themselves.

# Prints the work folder: $PAGESIM_BENCH_DIR when set, else
# /dev/shm/pagesim-bench when /dev/shm has more than NEEDED_KIB free, else
# BUILD/work.
#   bench_work_dir NEEDED_KIB BUILD
bench_work_dir() {
  if [ -n "${PAGESIM_BENCH_DIR:-}" ]; then
    echo "$PAGESIM_BENCH_DIR"
    return
  fi
  local free_kib
  free_kib=$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')
  if [ -n "$free_kib" ] && [ "$free_kib" -gt "$1" ]; then
    echo /dev/shm/pagesim-bench
  else
    echo "$2/work"
  fi
}

# Prints the path of the cached trace of RECORDS records of WORKLOAD in WORK,
# generating it with TRACEGEN first when it is not there. tracegen writes the
# same bytes on every machine, so a cached trace never goes stale.
#   bench_trace TRACEGEN WORK WORKLOAD RECORDS
bench_trace() {
  local trace="$2/cache/$3-$4.txt"
  mkdir -p "$2/cache"
  if [ ! -s "$trace" ]; then
    "$1" "$3" "$4" > "$trace.partial"
    mv "$trace.partial" "$trace"
  fi
  echo "$trace"
}
