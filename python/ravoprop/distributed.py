"""Area studies computed on a Dask cluster.

The client splits a study into the groups of points the engine's threads
take (one radial, or one tile point, each), sends ranges of groups to the
workers as tasks (only the work directory, task number and terrain path
travel: each worker loads the task and reads the terrain itself, so both
must be at the same path on every worker: a shared file system), gathers
the point results in table order and writes the results table, report and
summary on the client exactly as a one-thread run writes them. A worker
lost during the run has its tasks recomputed by Dask; a run that cannot
finish leaves the previous results in place.
"""
import os

from . import _ravoprop

_parts = {}


def _part(workdir, task, dem, details, stamp):
    """The study generated on this worker (kept while its task file is unchanged)."""
    key = (workdir, task, dem, details, stamp)
    part = _parts.get(key)
    if part is None:
        _parts.clear()
        part = _parts[key] = _ravoprop.StudyPart(workdir, task, dem, details)
    return part


def compute_groups(workdir, task, dem, details, stamp, g0, g1):
    """On a worker: the point results of groups [g0, g1) as bytes."""
    return _part(workdir, task, dem, details, stamp).compute(g0, g1)


def _stamp(workdir, task):
    st = os.stat(os.path.join(workdir, f"T{task:07d}.INI"))
    return (st.st_mtime_ns, st.st_size)


def run(client, workdir, task, dem=None, details=False, chunks=None):
    """Runs a task's area study on the cluster of a dask.distributed Client.

    ``chunks``: how many tasks the study is split into (default: four per
    worker thread, at most one per group). Returns the run's dict as
    Study.run does; raises EngineError when the run did not put its results
    in place (the previous ones stay).
    """
    workdir = os.path.abspath(os.fspath(workdir))
    dem = os.path.abspath(os.fspath(dem)) if dem else ""
    task = int(task)
    stamp = _stamp(workdir, task)

    def computer(g0, g1):
        n = g1 - g0
        if n == 0:
            return b""
        slots = chunks or 4 * max(1, sum(client.nthreads().values()))
        size = max(1, -(-n // max(1, int(slots))))
        starts = list(range(g0, g1, size))
        futures = [client.submit(compute_groups, workdir, task, dem, bool(details), stamp, a, min(g1, a + size),
                                 pure=False, retries=2) for a in starts]
        return b"".join(client.gather(futures))

    return _ravoprop.run_study(workdir, task, 1, dem, bool(details), computer)


def run_many(client, workdir, tasks, dem=None, details=False):
    """Several studies one after another on the cluster; their run dicts."""
    return [run(client, workdir, t, dem, details) for t in tasks]
