#!/usr/bin/env bash
# Size and load time of pageview's largest page, 5,000 records, in both modes:
#   bench/pageview.sh BUILD_DIR [WORKLOAD [SEED]]
# makes a trace of 5,000 records with BUILD_DIR's tracegen (default uniform,
# the one that faults and evicts the most, so the largest records), writes the
# pages and opens each five times in headless Chromium at its middle record.
# Prints per mode the file's bytes, bytes per record (the whole file, and the
# embedded data alone) and the time from the start of navigation until the
# page has shown its record (performance.now() at the end of its script),
# median of five loads. Needs Node.js 20 or later and Chromium.
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: bench/pageview.sh BUILD_DIR [WORKLOAD [SEED]]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
workload=${2:-uniform}
seed=${3:-1}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/tracegen" "$workload" 5000 "$seed" > "$dir/data.txt"
echo "workload $workload, seed $seed"
node --experimental-websocket --no-warnings "$(dirname "$0")/../tools/pageview/browser_test.mjs" \
  measure "$build" "$dir/data.txt"
