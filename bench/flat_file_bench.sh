#!/usr/bin/env bash
# Flat-file batch benchmark on national-scale tables: rows per second of
# `zorvel group` on a CSV extract with --jobs 1 and --jobs 2, against the
# bare CS_Process rate on the same spells, and the peak memory of each run.
#
# Usage: bench/flat_file_bench.sh [BUILD_DIR] [ROWS] [KIND]
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
mode=$(head -c 200 "$requests" | sed -n 's/^{"Group":"\([A-Z]*\)".*/\1/p')
extract_rows=$(($(wc -l <"$extract") - 1))

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
echo "extract: $extract_rows rows of $kind ($mode), $(du -h "$extract" | cut -f1)"
bare=$("$build/bench/zorvel_bare_process" "$build/libzorvel.so" "$data/national/packed" "$requests")
bare_us=$(sed -n 's/.*(\([0-9.]*\) us each.*/\1/p' <<<"$bare")
requests_count=$(wc -l <"$requests")
echo "bare CS_Process: $bare"

# Each run is timed without CS_Prepare: its summary line gives the grouping
# time; /usr/bin/time gives the peak resident memory of the whole run.
for jobs in 1 2; do
  out=$data/out-$jobs
  /usr/bin/time -f '%M' -o "$data/time-$jobs" \
    "$build/zorvel" group --data "$data/national/packed" --mode "$mode" --jobs "$jobs" \
    "$extract" --out-dir "$out" 2>"$data/stderr-$jobs" || true
  seconds=$(sed -n 's/.*episodes (\([0-9.]*\) s)$/\1/p' "$data/stderr-$jobs")
  peak=$(tail -1 "$data/time-$jobs")
  python3 - "$jobs" "$extract_rows" "$seconds" "$peak" "$bare_us" "$requests_count" <<'PY'
import sys
jobs, rows, seconds, peak, bare_us, requests = sys.argv[1:]
rows, seconds, bare = int(rows), float(seconds), float(bare_us) * int(requests) / 1e6
print(f"--jobs {jobs}: {rows / seconds:,.0f} rows/s ({seconds:.2f} s), "
      f"{seconds / bare:.2f} x the bare grouping time, peak {int(peak) / 1024:.0f} MB")
PY
done
cmp -s "$data/out-1/spells.csv" "$data/out-2/spells.csv" && echo "--jobs 1 and --jobs 2 wrote the same spells.csv"
