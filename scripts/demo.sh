#!/usr/bin/env bash
# Sets up, builds Zorvel and groups the bundled example requests with the
# demo reference tables, printing one JSON response per request, then groups
# the example admitted patient care CSV extract into flat files.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZORVEL_TESTS=OFF -DZORVEL_BENCH=OFF >/dev/null
cmake --build build-release >/dev/null

for f in examples/*.jsonl; do
  echo "== $f" >&2
  build-release/zorvel group "$f"
done

# A flat file: the admitted patient care extract into CSV files.
echo "== examples/csv/apc.csv -> build-release/demo-out/" >&2
build-release/zorvel group --mode APC examples/csv/apc.csv --out-dir build-release/demo-out
cat build-release/demo-out/spells.csv
