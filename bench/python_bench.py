#!/usr/bin/env python3
"""Rows per second of the Python module on a CSV extract: group_frame, and
zorvel.dask.group_dataframe on a LocalCluster of two worker processes,
against `zorvel group --jobs 1` and `--jobs 2` on the same rows.

    /usr/bin/python3 bench/python_bench.py BUILD_DIR TABLE_DIR EXTRACT.csv MODE

bench/flat_file_bench.sh makes the national tables and extracts (in
BUILD_DIR/bench-data).
"""
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "python"))

import pandas as pd  # noqa: E402

import zorvel  # noqa: E402
import zorvel.dask  # noqa: E402


def main():
    build, tables, extract, mode = sys.argv[1:5]
    plugin = os.path.join(build, "libzorvel.so")
    frame = pd.read_csv(extract, dtype=str, keep_default_na=False)
    rows = len(frame)
    print(f"{rows:,} rows of {mode} from {extract}")

    grouper = zorvel.Grouper(data=tables, plugin=plugin)
    start = time.perf_counter()
    result = zorvel.group_frame(frame, mode, grouper=grouper)
    seconds = time.perf_counter() - start
    print(f"group_frame:              {rows / seconds:9,.0f} rows/s ({seconds:.1f} s)")

    from dask import dataframe as dd
    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster):
        ddf = dd.from_pandas(frame, npartitions=16, sort=False).persist()
        start = time.perf_counter()
        spells = zorvel.dask.group_dataframe(ddf, mode, data=tables, plugin=plugin).spells.compute()
        seconds = time.perf_counter() - start
    print(f"Dask, 2 worker processes: {rows / seconds:9,.0f} rows/s ({seconds:.1f} s)")
    assert len(spells) == len(result.spells)

    for jobs in (1, 2):
        run = subprocess.run([os.path.join(build, "zorvel"), "group", "--data", tables, "--plugin",
                              plugin, "--mode", mode, "--jobs", str(jobs), extract, "--out-dir",
                              os.path.join(build, "bench-data", f"python-out-{jobs}")],
                             capture_output=True, text=True)
        seconds = float(re.search(r"episodes \(([0-9.]+) s\)", run.stderr).group(1))
        print(f"zorvel group --jobs {jobs}:     {rows / seconds:9,.0f} rows/s ({seconds:.1f} s)")


if __name__ == "__main__":
    main()
