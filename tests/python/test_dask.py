"""Dask: a LocalCluster of two worker processes gives the tables of group_frame."""

import os

import pandas as pd
import pytest

from conftest import DEMO, PLUGIN, ROOT

dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")


def extract(copies):
    frame = pd.read_csv(os.path.join(ROOT, "examples", "csv", "apc.csv"), dtype=str,
                        keep_default_na=False)
    parts = []
    for copy in range(copies):
        part = frame.copy()
        part["SpellId"] = part["SpellId"] + f"-{copy}"
        parts.append(part)
    return pd.concat(parts, ignore_index=True)


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as connected:
            yield connected


def test_two_worker_processes_give_the_tables_of_group_frame(grouper, client):
    import zorvel
    import zorvel.dask

    frame = extract(40)  # 760 rows; spells of two rows fall across partitions
    expected = zorvel.group_frame(frame, "APC", grouper=grouper, trace=True)
    ddf = dd.from_pandas(frame, npartitions=7, sort=False)
    sizes = ddf.map_partitions(len).compute().tolist()
    edges = [sum(sizes[:i]) for i in range(1, len(sizes))]
    assert any(frame["SpellId"][e - 1] == frame["SpellId"][e] for e in edges), "no spell split"
    tables = zorvel.dask.group_dataframe(ddf, "APC", data=DEMO, plugin=PLUGIN, trace=True)
    for name, table in expected:
        got = getattr(tables, name).compute().reset_index(drop=True)
        pd.testing.assert_frame_equal(got, table.reset_index(drop=True), obj=name)
    workers = client.run(lambda: __import__("os").getpid())
    assert len(set(workers.values())) == 2


def test_a_spell_over_more_than_two_partitions_is_refused(client):
    import zorvel
    import zorvel.dask

    frame = extract(1)
    frame["SpellId"] = "ONE"
    ddf = dd.from_pandas(frame, npartitions=4, sort=False)
    with pytest.raises(zorvel.ZorvelError, match="spans more than two partitions"):
        zorvel.dask.group_dataframe(ddf, "APC", data=DEMO, plugin=PLUGIN)
