#!/usr/bin/env python3
"""Writes the seed inputs of one fuzz target into a folder.

fuzz_process: the request of every golden case (and of its "first"
requests), the example requests, and the JSON parsing corpus of
../shared/testdata when it is there.
fuzz_tables: each plain table of every test table set and of the demo set,
as a plain-rows input for its own table, and the demo set as one input split
into its six tables.
fuzz_csv: the example CSV extracts and the extracts of the flat-file cases.
A target without seeds here starts from an empty corpus.
"""
import json
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
TABLES = ["ValidationLists", "Lists", "RuleDefs", "TriggerAndRulesToHrg", "Combination", "Code"]


def compact(value):
    if isinstance(value, str):
        return value.encode("utf-8", "surrogateescape")
    return json.dumps(value, separators=(",", ":"), ensure_ascii=False).encode("utf-8")


def process_seeds():
    for path in sorted((ROOT / "tests" / "cases").glob("*.json")):
        family = json.loads(path.read_text(encoding="utf-8"))
        for case in family["cases"]:
            yield f"case-{path.stem}-{case['name']}", compact(case["request"])
            for n, first in enumerate(case.get("first", [])):
                yield f"case-{path.stem}-{case['name']}-first{n}", compact(first)
    for path in sorted((ROOT / "examples").glob("*.jsonl")):
        for n, line in enumerate(path.read_bytes().splitlines()):
            if line.strip():
                yield f"example-{path.stem}-{n}", line
    suite = ROOT.parent / "shared" / "testdata" / "JSONTestSuite" / "test_parsing"
    if suite.is_dir():
        for path in sorted(suite.glob("*.json")):
            yield f"suite-{path.stem}", path.read_bytes()


def tables_seeds():
    sets = sorted(p for p in (ROOT / "tests" / "tables").iterdir() if p.is_dir())
    sets.append(ROOT / "data" / "demo")
    for folder in sets:
        for index, name in enumerate(TABLES):
            yield f"{folder.name}-{name}", bytes([index]) + (folder / f"{name}.csv").read_bytes()
    demo = ROOT / "data" / "demo"
    yield "demo-all", bytes([6]) + b"\f".join((demo / f"{n}.csv").read_bytes() for n in TABLES)


def csv_seeds():
    for path in sorted((ROOT / "examples" / "csv").glob("*.csv")):
        yield f"example-{path.stem}", path.read_bytes()
    for path in sorted((ROOT / "tests" / "flat_files").glob("*/*.csv")):
        yield f"case-{path.parent.name}-{path.stem}", path.read_bytes()


SEEDS = {"fuzz_process": process_seeds, "fuzz_tables": tables_seeds, "fuzz_csv": csv_seeds}


def main():
    target, out = sys.argv[1], pathlib.Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    count = 0
    for name, data in SEEDS.get(target, lambda: [])():
        (out / name).write_bytes(data)
        count += 1
    print(f"{target}: {count} seeds", file=sys.stderr)


if __name__ == "__main__":
    main()
