"""Grouping a pandas DataFrame of one row per episode into the tables the
flat-file batch writes (`zorvel group --mode MODE extract.csv --out-dir`)."""

import csv
import json
import math
import warnings

import pandas as pd

from . import flat
from ._plugin import Grouper


class FrameTables:
    """The tables of a grouped DataFrame, with the columns and values of the
    flat-file batch's files: `spells`, `episodes`, `errors`, `unbundled`
    (empty for modes without unbundled HRGs), `rejected` and `summary`. Cells
    are texts, as in the files; "Count" and "Line" are integers.

    `trace` holds the steps of each spell's grouping, one row a step, when
    the spells were grouped with `trace`: "SpellId", "EpisodeId" (empty for
    the spell's own steps), "StepNumber" (an integer, from 1 in each spell,
    the spell's steps first and then each episode's) and the members of a
    step, empty when the step has none ("Line" here is a text, the line of
    the table file). Without `trace` it is empty, and iterating over the
    tables gives only the six tables of the batch."""

    def __init__(self, tables, mode, trace=False):
        self.spells = pd.DataFrame(tables.spells, columns=flat.SPELLS_START + tables.spell_columns, dtype=object)
        self.episodes = pd.DataFrame(tables.episodes, columns=flat.EPISODES_START + tables.episode_columns, dtype=object)
        self.errors = pd.DataFrame(tables.errors, columns=flat.ERRORS_COLUMNS, dtype=object)
        self.unbundled = _with_count(pd.DataFrame(tables.unbundled, columns=flat.UNBUNDLED_COLUMNS), "Count")
        self.rejected = _with_count(pd.DataFrame(tables.rejected, columns=flat.REJECTED_COLUMNS), "Line")
        self.summary = _with_count(pd.DataFrame(tables.summary(), columns=flat.SUMMARY_COLUMNS), "Count")
        self.trace = _with_count(pd.DataFrame(tables.trace, columns=flat.TRACE_COLUMNS), "StepNumber")
        self.traced = trace
        self.has_unbundled = tables.has_unbundled
        self.mode = mode

    def __iter__(self):
        yield from (("spells", self.spells), ("episodes", self.episodes), ("errors", self.errors),
                    ("unbundled", self.unbundled), ("rejected", self.rejected),
                    ("summary", self.summary))
        if self.traced:
            yield "trace", self.trace


def _with_count(frame, column):
    frame = frame.astype(object)
    frame[column] = frame[column].astype("int64")
    return frame


def text(value):
    """A DataFrame value as the text of a CSV cell: missing values empty, whole
    floats without their ".0" (a column of numbers with gaps is float)."""
    if value is None or value is pd.NA or value is pd.NaT:
        return ""
    if isinstance(value, str):
        return value
    if isinstance(value, float):
        if math.isnan(value):
            return ""
        return str(int(value)) if value.is_integer() else repr(value)
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


def read_column_map(columns):
    """(column, field, position) entries from a column map: a CSV file path
    (header column,field[,position]), a DataFrame with those columns, a dict
    {column: field or (field, position)}, or a list of such triples."""
    if columns is None:
        return []
    if isinstance(columns, str):
        with open(columns, newline="", encoding="utf-8-sig") as source:
            rows = list(csv.reader(source))
        if not rows or rows[0][:2] != ["column", "field"]:
            raise ValueError(f"{columns}: a column map starts with the header column,field "
                             f"or column,field,position")
        return [(r[0], r[1], int(r[2]) if len(r) > 2 and r[2] else 0) for r in rows[1:] if any(r)]
    if isinstance(columns, pd.DataFrame):
        return [(str(r["column"]), str(r["field"]), int(r["position"]) if "position" in r
                 and text(r["position"]) else 0) for _, r in columns.iterrows()]
    if isinstance(columns, dict):
        entries = []
        for column, target in columns.items():
            field, position = (target, 0) if isinstance(target, str) else target
            entries.append((column, field, int(position or 0)))
        return entries
    return [(c, f, int(p or 0)) for c, f, p in columns]


def group_rows(grouper, mode, header, rows, spell_column="SpellId", columns=None, first_line=2,
               warn=True, trace=False):
    """Groups `rows` (lists of cell texts in `header` order; row k is line
    first_line + k) into a flat.Tables; with `trace`, asking for the steps
    of each spell's grouping."""
    fields = flat.mode_fields(grouper.schema(), mode)
    mapping = flat.ColumnMapping(fields, header, spell_column, read_column_map(columns))
    if warn and mapping.unused:
        warnings.warn(f"columns not read (no input field of {mode} has their names): "
                      f"{', '.join(mapping.unused)}", stacklevel=3)
    if warn and mapping.missing:
        warnings.warn(f"the column map names columns the frame lacks: "
                      f"{', '.join(mapping.missing)}", stacklevel=3)
    tables = flat.Tables(fields)
    numbered = [(first_line + k, row) for k, row in enumerate(rows)]
    tables.rows_read = len(numbered)
    for spell_id, spell_rows in flat.assemble_spells(numbered, mapping.spell_column, tables.reject):
        cells = [row for _, row in spell_rows]
        answer = json.loads(grouper.group_text(mapping.request(spell_id, cells, trace)))
        tables.add(spell_id, mapping, cells, answer)
    return tables


def frame_rows(frame):
    """The header and the rows of a DataFrame as cell texts."""
    header = [str(column) for column in frame.columns]
    columns = {}
    for position, (_, values) in enumerate(frame.items()):
        if values.dtype == object and values.map(type).eq(str).all():
            columns[position] = values  # texts already, as read with dtype=str
        else:
            columns[position] = values.map(text)
    cells = pd.DataFrame(columns) if columns else pd.DataFrame(index=frame.index)
    return header, cells.values.tolist()


def group_frame(frame, mode, spell_column="SpellId", columns=None, grouper=None, trace=False):
    """Groups `frame` (one row per episode, rows of a spell consecutive) as the
    flat-file batch groups a CSV extract with the same columns; returns a
    FrameTables. `columns` is a column map; `grouper` a prepared Grouper
    (the demo tables by default); `trace` fills the table `trace` with the
    steps of each spell's grouping."""
    grouper = grouper or Grouper()
    header, rows = frame_rows(frame)
    tables = group_rows(grouper, mode, header, rows, spell_column, columns, trace=trace)
    return FrameTables(tables, mode, trace)
