#!/usr/bin/env python3
"""Groups the demo admitted patient care extract with pandas and prints its
casemix: spells per HRG, and errors per message.

    python3 examples/python/group_extract.py [EXTRACT.csv [MODE]]

Run it from the source tree after a build (the module is found in python/),
or anywhere after `cmake --install`.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "python"))

import pandas as pd  # noqa: E402

import zorvel  # noqa: E402

extract = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "csv", "apc.csv")
mode = sys.argv[2] if len(sys.argv) > 2 else "APC"

# Read every column as text, as the grouper reads a CSV extract.
frame = pd.read_csv(extract, dtype=str, keep_default_na=False)
tables = zorvel.group_frame(frame, mode)

summary = tables.summary
print(summary[summary["Kind"] == "Total"][["Value", "Count"]].to_string(index=False))
print()
print("Spells per HRG")
print(summary[summary["Kind"] == "HRG"][["Value", "Count"]].to_string(index=False, header=False))
errors = summary[summary["Kind"] == "Error"]
if len(errors):
    print()
    print("Errors per message")
    print(errors[["Value", "Count"]].to_string(index=False, header=False))
