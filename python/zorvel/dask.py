"""Grouping a Dask DataFrame partition by partition, with one prepared
Grouper per worker process, into Dask DataFrames of the flat-file tables.

A spell must not be split between partitions. Partitions are first aligned
on the spell column: the rows at the start of a partition that continue the
last spell of the partition before it are moved to that partition (so a
spell may span two partitions as they come, but no more). Row order is kept,
so the tables are those `group_frame` gives for the whole frame, with one
difference: a spell id that comes back in a later partition, after other
spells, is grouped again there instead of being rejected.

The same pieces serve any engine that runs pandas code per partition: align
the partitions on the spell column, call `group_partition` on each with the
line number of its first row, and add up the summaries with `add_summaries`.
"""

import dask
import pandas as pd
from dask import dataframe as dd

from . import flat
from .frames import FrameTables, frame_rows, group_rows
from ._plugin import Grouper, ZorvelError

_grouper = None  # one per worker process


def worker_grouper(data=None, plugin=None):
    """The Grouper of this process, prepared on first use."""
    global _grouper
    if _grouper is None:
        _grouper = Grouper(data=data, plugin=plugin)
    return _grouper


def group_partition(frame, mode, first_line, spell_column="SpellId", columns=None, data=None,
                    plugin=None, trace=False):
    """The tables of one partition (a pandas DataFrame whose first row is
    line `first_line`), as a dict of table name to DataFrame; with `trace`,
    "trace" among them."""
    header, rows = frame_rows(frame)
    tables = group_rows(worker_grouper(data, plugin), mode, header, rows, spell_column, columns,
                        first_line=first_line, warn=False, trace=trace)
    return dict(FrameTables(tables, mode, trace))


def add_summaries(summaries):
    """One summary from the summaries of the partitions, in the order the
    flat-file batch writes it."""
    frame = pd.concat(summaries, ignore_index=True)
    totals = frame[frame["Kind"] == "Total"].groupby("Value", sort=False)["Count"].sum()
    rows = [["Total", name, int(count)] for name, count in totals.items()]
    for kind in ("HRG", "Error"):
        counts = frame[frame["Kind"] == kind].groupby("Value")["Count"].sum()
        ordered = sorted(counts.items(), key=lambda item: (-item[1], item[0].encode()))
        rows += [[kind, value, int(count)] for value, count in ordered]
    summary = pd.DataFrame(rows, columns=flat.SUMMARY_COLUMNS).astype(object)
    summary["Count"] = summary["Count"].astype("int64")
    return summary


def _edges(frame, spell_column):
    """(rows, first spell id, last spell id, rows of the first spell)."""
    if len(frame) == 0:
        return 0, None, None, 0
    ids = frame[spell_column].astype(str) if spell_column in frame.columns else None
    if ids is None:
        return len(frame), None, None, 0
    first = ids.iloc[0]
    differs = (ids != first).to_numpy().nonzero()[0]
    leading = int(differs[0]) if len(differs) else len(frame)
    return len(frame), first, ids.iloc[-1], leading


def _aligned(frame, following, drop, take):
    """`frame` without its first `drop` rows, with the first `take` rows of
    `following` added."""
    parts = [frame.iloc[drop:]]
    if take:
        parts.append(following.iloc[:take])
    return pd.concat(parts, ignore_index=True) if len(parts) > 1 else parts[0]


def group_dataframe(ddf, mode, spell_column="SpellId", columns=None, data=None, plugin=None,
                    trace=False):
    """Groups a Dask DataFrame as `group_frame` groups a pandas one; returns an
    object with Dask DataFrames `spells`, `episodes`, `errors`, `unbundled`,
    `rejected` and `summary`, and with `trace` also `trace`. `data` and
    `plugin` are as for Grouper and must name the same files on every
    worker."""
    parts = ddf.to_delayed()
    edges = dask.compute(*[dask.delayed(_edges)(part, spell_column) for part in parts])
    # Which rows move: a partition's leading rows go to the last non-empty
    # partition before it when they continue its last spell.
    drop = [0] * len(parts)
    take = [0] * len(parts)
    source = [None] * len(parts)
    previous = None
    for i, (rows, first, last, leading) in enumerate(edges):
        if rows == 0:
            continue
        if previous is not None and first is not None and edges[previous][2] == first:
            if drop[previous] == edges[previous][0]:
                raise ZorvelError(f"the spell {first} spans more than two partitions; "
                                  f"repartition into fewer, larger partitions")
            drop[i], take[previous], source[previous] = leading, leading, i
        previous = i
    lines, line = [], 2
    for rows, *_ in edges:
        lines.append(line)
        line += rows
    results = []
    for i, part in enumerate(parts):
        following = parts[source[i]] if source[i] is not None else None
        frame = dask.delayed(_aligned)(part, following, drop[i], take[i])
        results.append(dask.delayed(group_partition)(frame, mode, lines[i] + drop[i], spell_column,
                                                     columns, data, plugin, trace))
    # The tables' columns come from the mode's schema, read here once.
    meta = dict(FrameTables(flat.Tables(flat.mode_fields(worker_grouper(data, plugin).schema(),
                                                          mode)), mode, trace))
    out = type("DaskTables", (), {})()
    names = ["spells", "episodes", "errors", "unbundled", "rejected"]
    if trace:
        names.append("trace")
    for name in names:
        pieces = [dask.delayed(lambda tables, name=name: tables[name])(r) for r in results]
        setattr(out, name, dd.from_delayed(pieces, meta=meta[name], verify_meta=False))
    summary = dask.delayed(add_summaries)([dask.delayed(lambda t: t["summary"])(r) for r in results])
    out.summary = dd.from_delayed([summary], meta=meta["summary"], verify_meta=False)
    return out
