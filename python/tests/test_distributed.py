"""Studies run on a local Dask cluster write the table a one-thread run of the tool writes."""
import os
import signal
import threading
import time

import pytest

import ravoprop
from conftest import cli

distributed = pytest.importorskip("distributed")
from ravoprop import distributed as rd  # noqa: E402


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None)
    c = distributed.Client(cluster)
    yield c
    c.close()
    cluster.close()


def table(d, task):
    return (d / f"R{task:07d}.DBF").read_bytes()


@pytest.mark.parametrize("task", [1, 2])  # radials, tile
def test_cluster_table_is_the_one_thread_table(sample, client, task):
    ref, work = sample("ref"), sample("work")
    assert cli("run", "--task", task, "--workdir", ref, "--threads", 1, home=ref)[0] == 0
    out = rd.run(client, work, task)
    assert out["complete"]
    assert table(work, task) == table(ref, task)
    res = ravoprop.Study(work, task).results()
    assert len(res) == out["points"] and res.attrs["unit"] == "dBu"


def test_a_killed_worker_changes_nothing(sample, client):
    ref, work = sample("ref"), sample("work")
    assert cli("run", "--task", 2, "--workdir", ref, "--threads", 1, home=ref)[0] == 0
    pids = list(client.run(os.getpid).values())
    result = {}
    runner = threading.Thread(target=lambda: result.update(rd.run(client, work, 2, chunks=40)))
    runner.start()
    deadline = time.time() + 30
    while not any(client.processing().values()) and time.time() < deadline:
        time.sleep(0.05)
    os.kill(pids[0], signal.SIGKILL)
    runner.join(120)
    assert result.get("complete")
    assert table(work, 2) == table(ref, 2)
