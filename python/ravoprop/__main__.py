"""python3 -m ravoprop run --task N --workdir W (--local N | --scheduler tcp://HOST:8786)"""
import argparse
import sys

from . import _ravoprop


def main(argv=None):
    ap = argparse.ArgumentParser(prog="python3 -m ravoprop", description="ZWRavoprop studies on a Dask cluster")
    sub = ap.add_subparsers(dest="command", required=True)
    r = sub.add_parser("run", help="Run the area study of a stored task on a Dask cluster")
    r.add_argument("--task", type=int, required=True, help="Task number")
    r.add_argument("--workdir", required=True, help="Work directory holding the task database (same path on every worker)")
    where = r.add_mutually_exclusive_group(required=True)
    where.add_argument("--local", type=int, metavar="N", help="A local cluster of N single-threaded worker processes")
    where.add_argument("--scheduler", metavar="ADDRESS", help="Scheduler of a running cluster, e.g. tcp://HOST:8786")
    r.add_argument("--dem", default="", help="DEM file or directory (same path on every worker; default: the task's)")
    r.add_argument("--details", action="store_true", help="Write each point's account to the task's text report")
    r.add_argument("--chunks", type=int, default=None, help="Tasks the study is split into (default: 4 per worker thread)")
    a = ap.parse_args(argv)
    if a.local is not None and a.local < 1:
        ap.error("--local takes the number of worker processes, 1 or more")
    from dask.distributed import Client, LocalCluster
    from . import distributed

    if a.local:
        cluster = LocalCluster(n_workers=a.local, threads_per_worker=1, processes=True, dashboard_address=None)
        client = Client(cluster)
    else:
        cluster, client = None, Client(a.scheduler)
    try:
        out = distributed.run(client, a.workdir, a.task, a.dem, a.details, a.chunks)
    except _ravoprop.EngineError as e:
        print(e, file=sys.stderr)
        return 1
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    if out.get("text", "").strip():
        print(out["text"].strip())
    if out.get("figures"):
        print(out["figures"], end="")
    state = "complete" if out["complete"] else "finished with points that have no result"
    print(f"Study of task {a.task} {state}: {out['points']} points, {out['computed']} computed "
          "(Dask cluster)")
    for k in ("table", "report", "summary"):
        if k in out:
            print(f"  {k + ':':<14} {out[k]}")
    return 0 if out["complete"] else 3


if __name__ == "__main__":
    sys.exit(main())
