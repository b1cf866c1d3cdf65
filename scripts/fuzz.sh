#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz, and runs each for SECONDS
# (default 60), one after the other. Corpora stay in build-fuzz/corpus/<target>
# (seeded from the golden cases and table sets on every run), findings go to
# build-fuzz/findings/<target>/. Prints each target's executions, coverage
# and findings; exits 1 when any target found something.
#
#   scripts/fuzz.sh            # 60 s a target
#   scripts/fuzz.sh 600        # ten minutes a target
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET="${1:-60}"
# One line per target: the name of its fuzz/<target>.cc.
TARGETS=(
  fuzz_process
  fuzz_tables
  fuzz_csv
)

scripts/setup.sh
BUILD=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZORVEL_FUZZ=ON -DZORVEL_TESTS=OFF -DZORVEL_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j2 --target "${TARGETS[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
summary=()
for target in "${TARGETS[@]}"; do
  corpus="$BUILD/corpus/$target"
  findings="$BUILD/findings/$target"
  log="$BUILD/logs/$target.log"
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  python3 fuzz/seeds.py "$target" "$BUILD/seeds/$target"
  before=$(find "$findings" -type f | wc -l)
  status=0
  "$BUILD/fuzz/$target" "$corpus" "$BUILD/seeds/$target" -dict=fuzz/zorvel.dict \
    -max_total_time="$SECONDS_PER_TARGET" -max_len=65536 -timeout=20 -rss_limit_mb=3072 \
    -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1 || status=$?
  after=$(find "$findings" -type f | wc -l)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  new=$((after - before))
  if [ "$status" -ne 0 ] || [ "$new" -gt 0 ]; then
    failed=1
    echo "---- $target: finding (exit $status); the end of $log:" >&2
    tail -40 "$log" >&2
  fi
  summary+=("$(printf '%-14s %ss  executions %s  coverage %s edges, %s features  corpus %s  findings %s' \
    "$target" "$SECONDS_PER_TARGET" "${execs:-?}" "${cov:-?}" "${ft:-?}" \
    "$(find "$corpus" -type f | wc -l)" "$new")")
done
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
  echo "fuzz: findings in $BUILD/findings" >&2
  exit 1
fi
