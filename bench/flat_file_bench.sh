#!/usr/bin/env bash
# Flat-file batch benchmark on national-scale tables: rows per second of
# `zorvel group` on a CSV extract with --jobs 1 and --jobs 2, against the
# bare CS_Process rate on the same spells, and the peak memory of each run.
#
# Usage: [ROUNDS=3] bench/flat_file_bench.sh [BUILD_DIR] [ROWS] [KIND]
#   BUILD_DIR  a Release build with benchmarks (default: build-release)
#   ROWS       rows of the extract (default: 1000000)
#   KIND       a request kind of the generator: apc1, acc, nac, ... (default: apc1)
# Tables, requests and extracts are generated once into BUILD_DIR/bench-data.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-release}
rows=${2:-1000000}
kind=${3:-apc1}
perf=../shared/perf
if [[ ! -d $perf ]]; then
  echo "flat_file_bench: needs the generators in $perf" >&2
  exit 1
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZORVEL_BENCH=ON >/dev/null
cmake --build "$build" --target zorvel zorvel_cli zorvel_bare_process >/dev/null

data=$build/bench-data
mkdir -p "$data"
if [[ ! -f $data/national/packed/Code.csv.enc ]]; then
  python3 "$perf/gen_national.py" "$data/national/csv" --seed 1 >/dev/null
  "$build/zorvel" tables pack "$data/national/csv" "$data/national/packed" >/dev/null
fi
requests=$data/$kind-$rows.jsonl
extract=$data/$kind-$rows.csv
if [[ ! -f $extract ]]; then
  python3 "$perf/gen_requests.py" "$kind" "$rows" "$requests" --seed 1 >/dev/null
  python3 bench/requests_to_csv.py "$requests" "$extract"
fi
mode=$(head -n 1 "$requests" | sed -n 's/^{"Group":"\([A-Z]*\)".*/\1/p')
extract_rows=$(($(wc -l <"$extract") - 1))

# The bare rate is taken over the very requests the extract makes.
same=$data/$kind-$rows.requests.jsonl
if [[ ! -f $same ]]; then
  "$build/zorvel" group --data "$data/national/packed" --mode "$mode" --show-requests \
    "$extract" -o "$same" 2>/dev/null
fi

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), load $(cut -d' ' -f1 /proc/loadavg)"
echo "extract: $extract_rows rows of $kind ($mode), $(du -h "$extract" | cut -f1)"

# Rounds alternate the three runs, so that a change in the machine's load
# falls on all of them; the best of each is reported. The host runs are
# timed by their summary line (without CS_Prepare); /usr/bin/time gives the
# peak resident memory of the whole run.
best() { sort -g | head -1; }
: >"$data/bare.times"
: >"$data/jobs-1.times"
: >"$data/jobs-2.times"
for round in $(seq "${ROUNDS:-3}"); do
  "$build/bench/zorvel_bare_process" "$build/libzorvel.so" "$data/national/packed" "$same" |
    sed -n 's/.* in \([0-9.]*\) s:.*/\1/p' >>"$data/bare.times"
  for jobs in 1 2; do
    /usr/bin/time -f '%M' -o "$data/peak-$jobs" \
      "$build/zorvel" group --data "$data/national/packed" --mode "$mode" --jobs "$jobs" \
      "$extract" --out-dir "$data/out-$jobs" 2>"$data/stderr-$jobs" || true
    sed -n 's/.*episodes (\([0-9.]*\) s)$/\1/p' "$data/stderr-$jobs" >>"$data/jobs-$jobs.times"
  done
done
bare=$(best <"$data/bare.times")
python3 - "$extract_rows" "$bare" "$(best <"$data/jobs-1.times")" "$(best <"$data/jobs-2.times")" \
  "$(cat "$data/peak-1")" "$(cat "$data/peak-2")" <<'PY'
import sys
rows, bare, one, two = int(sys.argv[1]), *map(float, sys.argv[2:5])
peak1, peak2 = (int(k) / 1024 for k in sys.argv[5:7])
print(f"bare CS_Process:  {rows / bare:9,.0f} rows/s ({bare:.2f} s)")
print(f"zorvel --jobs 1:  {rows / one:9,.0f} rows/s ({one:.2f} s), {one / bare:.2f} x the bare time, peak {peak1:.0f} MB")
print(f"zorvel --jobs 2:  {rows / two:9,.0f} rows/s ({two:.2f} s), {one / two:.2f} x --jobs 1, peak {peak2:.0f} MB")
PY
cmp -s "$data/out-1/spells.csv" "$data/out-2/spells.csv" && echo "--jobs 1 and --jobs 2 wrote the same spells.csv"
