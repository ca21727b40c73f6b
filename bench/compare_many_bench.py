"""compare_many on 32 pairs with a 2-worker LocalCluster against the same 32 comparisons one
after another: wall time and CPU time (user + system, of this process, its children and the
workers).

    PYTHONPATH=build/python-packages /usr/bin/python3 bench/compare_many_bench.py DIR

DIR holds make_bench_data's files (stack.nc, base.nc, a2.nc, b2.nc; bench/run.sh writes them
into bench/out). The pairs alternate A (identical) and B (0.1% of cells changed), without the
CSV, the files read once before timing (the page cache warm). Each figure is the best of RUNS
(default 3) rounds, the two ways taking turns. The cluster's start-up is timed apart: a batch
on a running cluster pays none.
"""

import os
import resource
import sys
import time

import kavro
from dask import distributed

PAIRS = 32


def cpu_self_and_children():
    s = resource.getrusage(resource.RUSAGE_SELF)
    c = resource.getrusage(resource.RUSAGE_CHILDREN)
    return s.ru_utime + s.ru_stime + c.ru_utime + c.ru_stime


def main(folder):
    stack = os.path.join(folder, "stack.nc")
    base = os.path.join(folder, "base.nc")
    pairs = [(base, os.path.join(folder, "a2.nc" if k % 2 == 0 else "b2.nc"))
             for k in range(PAIRS)]

    for a, b in pairs[:2]:
        kavro.compare(a, b, stack, csv=False)

    start = time.perf_counter()
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       host="127.0.0.1", dashboard_address="127.0.0.1:0")
    client = distributed.Client(cluster)
    startup = time.perf_counter() - start
    workers_cpu = lambda: sum(client.run(cpu_self_and_children).values())  # noqa: E731

    seq_wall = seq_cpu = dask_wall = dask_cpu = float("inf")
    for _ in range(int(os.environ.get("RUNS", "3"))):
        wall, cpu = time.perf_counter(), cpu_self_and_children()
        alone = [kavro.compare(a, b, stack, csv=False) for a, b in pairs]
        seq_wall = min(seq_wall, time.perf_counter() - wall)
        seq_cpu = min(seq_cpu, cpu_self_and_children() - cpu)

        wall, cpu, wcpu = time.perf_counter(), cpu_self_and_children(), workers_cpu()
        rows = kavro.compare_many(pairs, stack, client, csv=False)
        dask_wall = min(dask_wall, time.perf_counter() - wall)
        dask_cpu = min(dask_cpu, cpu_self_and_children() - cpu + workers_cpu() - wcpu)
    client.close()
    cluster.close()

    assert [r.status for r in rows] == [r.status for r in alone], "results differ"
    print(f"pairs {PAIRS}, statuses {sorted(set(r.status for r in rows))}")
    print(f"sequential      wall {seq_wall:7.3f} s  cpu {seq_cpu:7.3f} s")
    print(f"compare_many    wall {dask_wall:7.3f} s  cpu {dask_cpu:7.3f} s"
          f"  (cluster start-up {startup:.3f} s apart)")
    print(f"wall ratio {dask_wall / seq_wall:.3f}, with start-up "
          f"{(dask_wall + startup) / seq_wall:.3f}")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
