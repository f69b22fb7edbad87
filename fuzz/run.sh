#!/usr/bin/env bash
# Fuzzes pagesim for about SECONDS seconds (default 60):
#   fuzz/run.sh [SECONDS]
# Half the time goes to libFuzzer on the trace scanner (clang's
# -fsanitize=fuzzer,address,undefined), half to whole runs of a debug pagesim
# built with AddressSanitizer and UndefinedBehaviorSanitizer, whose table
# checks run after every record. Fails on any finding; inputs that found a
# fault are kept in fuzz/work/ (add them to fuzz/corpus/ with a regression test).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
half=$(( (seconds + 1) / 2 ))
work="$root/fuzz/work"
mkdir -p "$work/scanner-corpus" "$work/findings"

echo "== building"
cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=Debug -DPAGESIM_SANITIZE=ON \
  -DPAGESIM_TESTS=OFF >/dev/null
cmake --build "$root/build-fuzz" -j2 --target pagesim >/dev/null
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$root/fuzz/trace_scanner_fuzzer.cpp" "$root/io/trace_scanner.cpp" \
  -o "$root/build-fuzz/trace_scanner_fuzzer"

echo "== libFuzzer: trace scanner, ${half}s"
"$root/build-fuzz/trace_scanner_fuzzer" -max_total_time="$half" -max_len=4096 \
  -artifact_prefix="$work/findings/" -print_final_stats=1 \
  "$work/scanner-corpus" "$root/fuzz/corpus" 2>&1 | grep -E '^(stat::number_of_executed_units|#[0-9]+ +DONE|==|SUMMARY)' || true
if ls "$work/findings"/crash-* "$work/findings"/leak-* "$work/findings"/timeout-* >/dev/null 2>&1; then
  echo "libFuzzer found a fault: see $work/findings" >&2
  exit 1
fi

echo "== whole runs of pagesim, ${half}s"
python3 "$root/fuzz/fuzz_pagesim.py" --binary "$root/build-fuzz/pagesim" --seconds "$half" \
  --corpus "$root/fuzz/corpus" --findings "$work/findings"
