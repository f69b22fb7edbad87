#!/usr/bin/env bash
# Instructions per record of the trace scanner's batch paths, AVX2 and
# AVX-512 (callgrind runs only the AVX2 one: it knows no AVX-512), counted
# one step at a time by bench_count_instructions:
#   bench/scanner_instructions.sh [--build DIR] [--records N] TRACE...
# Builds bench_scan_speed and bench_count_instructions in DIR (default
# build-bench/), takes the first N records (default 5000) of each TRACE and
# prints, per path, the instructions per record in the scanner's own
# functions (TraceScanner's and convert_number_chunks, what is not inlined
# into the caller) and in the whole reading program. Exact: the same on
# every run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage() { echo "usage: bench/scanner_instructions.sh [--build DIR] [--records N] TRACE..."; }
build="$root/build-bench"
records=5000
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=${2:?$(usage)}; shift 2 ;;
    --records) records=${2:?$(usage)}; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { usage >&2; exit 2; }
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPAGESIM_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target bench_scan_speed bench_count_instructions >/dev/null
speed="$build/bench_scan_speed"
ranges=$(nm -C -S --defined-only "$speed" |
  awk '$3 ~ /^[tT]$/ && ($4 ~ /^TraceScanner::/ || $4 ~ /^convert_number_chunks/) {print $1 ":" $2}')
[ -n "$ranges" ] || { echo "scanner_instructions.sh: no scanner functions in $speed" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# memcpy and memset by vector loops, not string instructions stepped once
# per byte.
export GLIBC_TUNABLES=glibc.cpu.x86_rep_movsb_threshold=4294967295:glibc.cpu.x86_rep_stosb_threshold=4294967295
echo "trace path scanner_per_record program_per_record"
for trace in "$@"; do
  head -n "$records" "$trace" > "$work/trace.txt"
  count=$(wc -l < "$work/trace.txt")
  for path in avx2 widest; do
    # shellcheck disable=SC2086
    read -r total scanner < <("$build/bench_count_instructions" $ranges -- \
      "$speed" "$work/trace.txt" 1 "$path")
    awk -v t="$trace" -v p="$path" -v n="$count" -v a="$scanner" -v b="$total" \
      'BEGIN { printf "%s %s %.1f %.1f\n", t, p, a / n, b / n }'
  done
done
