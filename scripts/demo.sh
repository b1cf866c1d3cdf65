#!/usr/bin/env bash
# Sets up, builds Zorvel and groups the bundled example requests with the
# demo reference tables, printing one JSON response per request.
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
