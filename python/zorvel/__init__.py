"""Zorvel from Python: group requests, pandas DataFrames and Dask DataFrames
with the libzorvel.so plug-in, through its exported C functions.

    import zorvel
    grouper = zorvel.Grouper()                  # the demo tables
    grouper.group({"Group": "NRD", "Spell": {...}})
    tables = zorvel.group_frame(frame, "APC")   # needs pandas
    tables.spells, tables.episodes, tables.errors, tables.unbundled, tables.summary
    grouper.explain({"Group": "NRD", "Spell": {...}})  # the steps that grouped it

The core needs only the standard library; `group_frame` needs pandas and
`zorvel.dask.group_dataframe` needs Dask.
"""

from ._plugin import Grouper, ZorvelError, default_plugin, default_tables


def group_frame(frame, mode, spell_column="SpellId", columns=None, grouper=None, trace=False):
    """Groups a pandas DataFrame of one row per episode; see zorvel.frames."""
    from .frames import group_frame as run

    return run(frame, mode, spell_column=spell_column, columns=columns, grouper=grouper,
               trace=trace)


__all__ = ["Grouper", "ZorvelError", "default_plugin", "default_tables", "group_frame"]
