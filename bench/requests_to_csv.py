#!/usr/bin/env python3
"""Turns JSON Lines grouping requests of one mode into a CSV extract that
`zorvel group --mode MODE` reads back into the same requests: one row per
episode, a SpellId column, every single field as a column and every array
as numbered columns FIELD_1, FIELD_2, ... as wide as the widest request.

Usage: requests_to_csv.py REQUESTS.jsonl OUT.csv[.gz]
"""
import csv
import gzip
import json
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, target = sys.argv[1], sys.argv[2]
    singles, widths, spells = [], {}, []
    with open(source, encoding="utf-8") as lines:
        for line in lines:
            line = line.strip()
            if not line:
                continue
            try:
                spell = json.loads(line)["Spell"]
                episodes = spell["Episodes"]
            except (ValueError, KeyError, TypeError):
                continue  # a fault the request generator planted on purpose
            if not isinstance(episodes, list):
                continue
            rows = []
            for episode in episodes:
                if not isinstance(episode, dict):
                    continue
                row = {}
                for name, value in episode.items():
                    if isinstance(value, list):
                        widths[name] = max(widths.get(name, 0), len(value))
                        for i, item in enumerate(value, 1):
                            row[f"{name}_{i}"] = item if isinstance(item, str) else json.dumps(item)
                    else:
                        if name not in singles:
                            singles.append(name)
                        row[name] = value if isinstance(value, str) else json.dumps(value)
                rows.append(row)
            spells.append((str(spell.get("Id", len(spells) + 1)), rows))
    header = ["SpellId"] + singles
    for name, width in widths.items():
        header += [f"{name}_{i}" for i in range(1, width + 1)]
    opener = gzip.open if target.endswith(".gz") else open
    with opener(target, "wt", newline="", encoding="utf-8") as out:
        writer = csv.DictWriter(out, fieldnames=header, lineterminator="\n")
        writer.writeheader()
        for spell_id, rows in spells:
            for row in rows:
                writer.writerow({"SpellId": spell_id, **row})


if __name__ == "__main__":
    main()
