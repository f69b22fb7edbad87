#!/usr/bin/env bash
# Fuzzes pagesim for about SECONDS seconds (default 60):
#   fuzz/run.sh [SECONDS]
# A third of the time goes to libFuzzer on the trace scanner (clang's
# -fsanitize=fuzzer,address,undefined), a third to libFuzzer on the explaining
# model against pagesim's memory model (same bytes in both modes), a third to
# whole runs of a debug pagesim built with AddressSanitizer and
# UndefinedBehaviorSanitizer, whose table checks run after every record. Fails
# on any finding; inputs that found a fault are kept in fuzz/work/ (add them
# to fuzz/corpus/ with a regression test).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
third=$(( (seconds + 2) / 3 ))
work="$root/fuzz/work"
mkdir -p "$work/scanner-corpus" "$work/variants-corpus" "$work/findings"

echo "== building"
cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=Debug -DPAGESIM_SANITIZE=ON \
  -DPAGESIM_TESTS=OFF >/dev/null
cmake --build "$root/build-fuzz" -j2 --target pagesim >/dev/null
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$root/fuzz/trace_scanner_fuzzer.cpp" "$root"/io/{number_chunks,trace_scanner}.cpp \
  -o "$root/build-fuzz/trace_scanner_fuzzer"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$root/fuzz/variants_equal_fuzzer.cpp" "$root"/variants/{engine_comparison,frame_index,free_frames,machine,mistakes,text}.cpp \
  "$root"/memory/{double_hit_groups,engine,invariants,tables,translation}.cpp "$root"/run/{display,trace_run}.cpp \
  "$root"/io/{number_chunks,output_buffer,trace_scanner}.cpp -o "$root/build-fuzz/variants_equal_fuzzer"

# Whether libFuzzer left an input of any kind of finding (one ls of all
# three patterns fails whenever one of them matches nothing).
found_fault() {
  local kind
  for kind in crash leak timeout; do
    compgen -G "$work/findings/$kind-*" >/dev/null && return 0
  done
  return 1
}

echo "== libFuzzer: trace scanner, ${third}s"
"$root/build-fuzz/trace_scanner_fuzzer" -max_total_time="$third" -max_len=4096 \
  -artifact_prefix="$work/findings/" -print_final_stats=1 \
  "$work/scanner-corpus" "$root/fuzz/corpus" 2>&1 | grep -E '^(stat::number_of_executed_units|#[0-9]+ +DONE|==|SUMMARY)' || true
if found_fault; then
  echo "libFuzzer found a fault: see $work/findings" >&2
  exit 1
fi

# The corpus files as seeds in both modes: the first byte picks the mode and
# leaves the rest as trace text.
for file in "$root"/fuzz/corpus/*; do
  for mode in 0 1; do
    { printf "\\00$mode"; cat "$file"; } > "$work/variants-corpus/mode$mode-$(basename "$file")"
  done
done
echo "== libFuzzer: the explaining model against pagesim's, ${third}s"
"$root/build-fuzz/variants_equal_fuzzer" -max_total_time="$third" -max_len=4096 \
  -artifact_prefix="$work/findings/" -print_final_stats=1 \
  "$work/variants-corpus" 2>&1 | grep -E '^(stat::number_of_executed_units|#[0-9]+ +DONE|==|SUMMARY|model departs)' || true
if found_fault; then
  echo "the explaining model departs from pagesim's or crashed: see $work/findings" >&2
  exit 1
fi

echo "== whole runs of pagesim, ${third}s"
python3 "$root/fuzz/fuzz_pagesim.py" --binary "$root/build-fuzz/pagesim" --seconds "$third" \
  --corpus "$root/fuzz/corpus" --findings "$work/findings"
