"""The Grouper: the plug-in's own answers through ctypes, and its refusals."""

import glob
import itertools
import json
import os
import textwrap

from conftest import DEMO, PLUGIN, ROOT, TRACE_MEMBERS, run_python, run_zorvel


def test_answers_are_the_bytes_zorvel_group_writes(grouper):
    for path in sorted(glob.glob(os.path.join(ROOT, "examples", "*.jsonl"))):
        expected = run_zorvel("group", "--data", DEMO, path).stdout.splitlines()
        with open(path, encoding="utf-8") as requests:
            lines = requests.read().splitlines()
        assert len(lines) == len(expected), path
        for line, answer in zip(lines, expected):
            if line.strip():
                assert grouper.group_text(line) == answer, (path, line)


def test_a_dict_request_and_a_bare_spell_answer_as_their_text(grouper):
    spell = {"Id": "R1", "Episodes": [{"Id": "1", "Age": "67", "RenalMod": "HD",
                                       "RenalSite": "HOSP", "RenalAccess": "AVF"}]}
    text = json.dumps({"Group": "NRD", "Spell": spell}, separators=(",", ":"))
    assert grouper.group({"Group": "NRD", "Spell": spell}) == json.loads(grouper.group_text(text))
    assert grouper.group_spell("NRD", spell)["Episodes"][0]["HRG"].startswith("RN")
    names = [mode["Name"] for mode in grouper.schema()["SpellEpisode"]["Modes"]]
    assert sorted(names) == ["ACC", "APC", "EM", "NAC", "NCC", "NRD", "PCC"]
    assert grouper.info()["Name"] == "Zorvel"


def test_explain_gives_the_steps_that_set_each_hrg_spell_first(grouper):
    for path in sorted(glob.glob(os.path.join(ROOT, "examples", "*.jsonl"))):
        with open(path, encoding="utf-8") as requests:
            lines = [line for line in requests.read().splitlines() if line.strip()]
        for line in lines:
            request = json.loads(line)
            steps, answer = grouper.explain(request), grouper.group(request)
            assert request == json.loads(line) and "Trace" not in answer, line
            assert grouper.explain(line) == steps
            assert (steps[0]["Episode"], steps[0]["Step"]) == (None, "Mode"), line
            for step in steps:
                assert list(step)[1:] == [m for m in TRACE_MEMBERS if m in step], step
                assert all(isinstance(step[m], str) and step[m] for m in list(step)[1:]), step
            ids = [episode["Id"] for episode in answer["Episodes"]]
            hrgs = {episode["Id"]: episode.get("HRG", "") for episode in answer["Episodes"]}
            hrgs[None] = answer.get("HRG", "")
            order = [k for k, _ in itertools.groupby(s["Episode"] for s in steps)]
            assert order == [None] + ids or len(set(ids)) < len(ids), line
            # The last HRG set in each record's steps is the HRG it answers with.
            for episode, own in itertools.groupby(steps, key=lambda s: s["Episode"]):
                chosen = [s.get("Result", "") for s in own
                          if (s["Step"], s.get("Item")) == ("Set", "HRG")]
                assert chosen or episode is None, (line, episode)
                assert not chosen or chosen[-1] == hrgs[episode], (line, episode)


def test_only_the_value_true_asks_for_a_trace(grouper):
    with open(os.path.join(ROOT, "examples", "apc.jsonl"), encoding="utf-8") as requests:
        request = json.loads(requests.readline())
    for value in (False, 1, "true", None, [True]):
        answer = grouper.group({**request, "Trace": value})
        assert answer == grouper.group(request), value
        assert "Trace" not in answer and all("Trace" not in e for e in answer["Episodes"])


def test_an_answer_longer_than_the_buffer_is_fetched_whole(grouper):
    # 200 critical care days with long ids answer with more than 64 KiB.
    days = [{"Id": f"{i:0400d}", "CCDate": "20190601", "DISDATE": "20191231", "DISMETH": "1",
             "PCC_CCUF": "01", "CCAC": ["52"]} for i in range(200)]
    text = json.dumps({"Group": "PCC", "Spell": {"Id": "L", "Episodes": days}},
                      separators=(",", ":"))
    answer = grouper.group_text(text)
    assert len(answer) > 64 * 1024
    assert answer == run_zorvel("group", "--data", DEMO, input_text=text + "\n").stdout.rstrip("\n")


def test_one_process_holds_one_prepared_plug_in(grouper, tmp_path):
    import zorvel

    assert zorvel.Grouper(data=DEMO, plugin=PLUGIN).plugin == grouper.plugin
    other = tmp_path / "tables"
    other.mkdir()
    for name in os.listdir(DEMO):
        (other / name).write_bytes(open(os.path.join(DEMO, name), "rb").read())
    try:
        zorvel.Grouper(data=str(other), plugin=PLUGIN)
    except zorvel.ZorvelError as error:
        assert "already holds the plug-in" in str(error)
        assert "a process of their own" in str(error)
    else:
        raise AssertionError("a second Grouper with other tables was not refused")


def test_missing_plug_in_or_tables_and_a_failed_prepare_are_clear(tmp_path):
    broken = tmp_path / "broken"
    broken.mkdir()
    for name in os.listdir(DEMO):
        (broken / name).write_bytes(b"" if name == "RuleDefs.csv.enc" else
                                    open(os.path.join(DEMO, name), "rb").read())
    code = textwrap.dedent(f"""
        import zorvel
        def refusal(**kwargs):
            try:
                zorvel.Grouper(**kwargs)
            except zorvel.ZorvelError as error:
                return str(error)
            return "no refusal"
        print(refusal(plugin="/nowhere/libzorvel.so", data={DEMO!r}))
        print(refusal(plugin={PLUGIN!r}, data={str(tmp_path / "absent")!r}))
        print(refusal(plugin={PLUGIN!r}, data={str(tmp_path)!r}))
        print(refusal(plugin={PLUGIN!r}, data={str(broken)!r}))
        lenient = zorvel.Grouper(plugin={PLUGIN!r}, data={str(broken)!r}, strict=False)
        print(lenient.prepared)
    """)
    run = run_python(code)
    assert run.returncode == 0, run.stderr
    lines = run.stdout.splitlines()
    assert lines[0] == "the plug-in /nowhere/libzorvel.so does not exist"
    assert lines[1].endswith("absent does not exist")
    assert "lacks ValidationLists.csv.enc, Lists.csv.enc" in lines[2]
    assert lines[3].startswith("CS_Prepare answered false for ")
    assert lines[4] == "False"
