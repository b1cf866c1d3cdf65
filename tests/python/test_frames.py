"""group_frame gives the tables of the flat-file batch for the same extract."""

import glob
import os

import pandas as pd
import pytest

from conftest import DEMO, ROOT, TRACE_MEMBERS, run_zorvel

INTEGERS = {"Count", "Line"}


def read_table(path):
    frame = pd.read_csv(path, dtype=str, keep_default_na=False).astype(object)
    for column in INTEGERS & set(frame.columns):
        frame[column] = frame[column].astype("int64")
    return frame


def batch_tables(extract, mode, *arguments, cwd=None, out):
    run = run_zorvel("group", "--data", DEMO, "--mode", mode, extract, "--out-dir", str(out),
                     *arguments, cwd=cwd)
    assert run.returncode in (0, 6), run.stderr
    return {os.path.basename(p)[:-4]: read_table(p) for p in glob.glob(os.path.join(out, "*.csv"))}


def assert_same_tables(tables, expected):
    for name, frame in tables:
        if name not in expected:
            assert name == "unbundled" and not tables.has_unbundled and frame.empty
            continue
        pd.testing.assert_frame_equal(frame, expected[name], check_dtype=True, obj=name)


@pytest.mark.parametrize("mode", ["apc", "acc", "em", "nac", "ncc", "nrd", "pcc"])
def test_example_extracts_give_the_files_of_the_batch(grouper, mode):
    import zorvel

    frame = pd.read_csv(os.path.join(ROOT, "examples", "csv", mode + ".csv"), dtype=str,
                        keep_default_na=False)
    expected = {os.path.basename(p)[:-4]: read_table(p)
                for p in glob.glob(os.path.join(ROOT, "examples", "csv", mode, "*.csv"))}
    assert_same_tables(zorvel.group_frame(frame, mode.upper(), grouper=grouper), expected)


def test_a_column_map_and_numbered_columns_read_as_the_batch_reads_them(grouper, tmp_path):
    import zorvel

    case = os.path.join(ROOT, "tests", "flat_files", "column_map")
    frame = pd.read_csv(os.path.join(case, "extract.csv"), dtype=str, keep_default_na=False)
    with pytest.warns(UserWarning, match="CLINIC_NAME"):
        tables = zorvel.group_frame(frame, "NAC", spell_column="ATTENDANCE",
                                    columns=os.path.join(case, "columns.csv"), grouper=grouper)
    expected = {os.path.basename(p)[:-4]: read_table(p)
                for p in glob.glob(os.path.join(case, "expected", "*.csv"))}
    assert_same_tables(tables, expected)
    # The same map as a dict.
    as_dict = {"ATTENDANCE": "Id", "AGE_YRS": "Age", "GENDER": "SEX", "SPEC_MAIN": "MAINSPEF",
               "SPEC_TRET": "TRETSPEF", "FIRST": "FIRSTATT", "OPCS_01": ("Procedure", 1),
               "OPCS_02": ("Procedure", 2), "REHAB_DAYS": "REHABILITATIONDAYS"}
    with pytest.warns(UserWarning):
        again = zorvel.group_frame(frame, "NAC", spell_column="ATTENDANCE", columns=as_dict,
                                   grouper=grouper)
    pd.testing.assert_frame_equal(again.unbundled, expected["unbundled"])

    case = os.path.join(ROOT, "tests", "flat_files", "numbered_columns")
    frame = pd.read_csv(os.path.join(case, "extract.csv"), dtype=str, keep_default_na=False)
    expected = {os.path.basename(p)[:-4]: read_table(p)
                for p in glob.glob(os.path.join(case, "expected", "*.csv"))}
    assert_same_tables(zorvel.group_frame(frame, "APC", grouper=grouper), expected)


def test_returning_and_empty_spell_ids_and_numbers_with_gaps(grouper, tmp_path):
    import zorvel

    frame = pd.read_csv(os.path.join(ROOT, "examples", "csv", "apc.csv"), dtype=str,
                        keep_default_na=False)
    # APC-1 comes back at the end; an empty id takes APC-13 with it; Age as
    # numbers with a gap (a float column) reads as the text of the file.
    frame = pd.concat([frame, frame.iloc[[0]]], ignore_index=True)
    frame.loc[13, "SpellId"] = ""
    frame["Age"] = pd.to_numeric(frame["Age"]).astype(float)
    frame.loc[2, "Age"] = float("nan")
    extract = tmp_path / "extract.csv"
    frame.to_csv(extract, index=False, float_format="%.0f")
    tables = zorvel.group_frame(frame, "APC", grouper=grouper)
    expected = batch_tables(str(extract), "APC", out=tmp_path / "out")
    assert_same_tables(tables, expected)
    assert list(tables.rejected["Line"]) == [14, 15, 21]
    assert "comes back after other spells" in tables.rejected["Reason"].iloc[-1]


def test_columns_that_clash_are_refused_as_the_batch_refuses_them(grouper):
    import zorvel

    frame = pd.DataFrame({"SpellId": ["S"], "Age": ["40"], "AGE_YEARS": ["40"]})
    with pytest.raises(ValueError, match="the columns AGE_YEARS and Age both fill Age"):
        zorvel.group_frame(frame, "APC", columns={"AGE_YEARS": "Age"}, grouper=grouper)


def test_trace_adds_a_table_of_numbered_steps_and_changes_no_other(grouper):
    import zorvel

    frame = pd.read_csv(os.path.join(ROOT, "examples", "csv", "apc.csv"), dtype=str,
                        keep_default_na=False)
    plain = zorvel.group_frame(frame, "APC", grouper=grouper)
    traced = zorvel.group_frame(frame, "APC", grouper=grouper, trace=True)
    assert [name for name, _ in traced] == [name for name, _ in plain] + ["trace"]
    for name, table in plain:
        pd.testing.assert_frame_equal(getattr(traced, name), table, obj=name)
    trace = traced.trace
    assert list(trace.columns) == ["SpellId", "EpisodeId", "StepNumber", *TRACE_MEMBERS]
    assert plain.trace.empty and list(plain.trace.columns) == list(trace.columns)
    assert trace["StepNumber"].dtype == "int64" and (trace.drop(columns="StepNumber")
                                                     .applymap(type).eq(str).all().all())
    assert list(trace["SpellId"].unique()) == list(traced.spells["SpellId"])
    for _, steps in trace.groupby("SpellId", sort=False):
        assert list(steps["StepNumber"]) == list(range(1, len(steps) + 1))
        own = list(steps["EpisodeId"] == "")
        assert own[0] and own == sorted(own, reverse=True)  # the spell's steps first
    # Each episode's last HRG step names the HRG of its row (of the last row
    # when ids repeat in a spell).
    chosen = trace[(trace["Step"] == "Set") & (trace["Item"] == "HRG")]
    chosen = chosen.groupby(["SpellId", "EpisodeId"])["Result"].last()
    for _, row in traced.episodes.drop_duplicates(["SpellId", "EpisodeId"], keep="last").iterrows():
        assert chosen[(row["SpellId"], row["EpisodeId"])] == row["HRG"], row["SpellId"]
