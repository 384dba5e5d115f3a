"""Remote and distributed solving against local solving, in one run.

1. Overhead of a remote solve (optimizermt on a velto-server on loopback)
   against the same solve made locally (optimizetrm), for a small and a
   large LP: median wall time of each and their ratio.
2. Throughput of velto.solve_distributed on a Dask LocalCluster of two
   single-threaded worker processes against velto.solve_batch (the
   library's optimizebatch) on two threads, for 100 small LPs.

    PYTHONPATH=build/pkg python3 bench/remote_solving.py [--quick]
"""
from __future__ import annotations

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
import scipy.sparse as sp

import velto


def server_binary():
    build = os.environ.get("VLT_BUILD_DIR", "build")
    path = os.path.join(build, "pkg", "velto", "bin", "velto-server")
    if os.path.isfile(path):
        return path
    import velto.server
    return velto.server.executable()


def start_server(workdir):
    proc = subprocess.Popen([server_binary(), "--port", "0", "--workdir", workdir, "--threads", "2"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = proc.stdout.readline()
    match = re.search(r"listening on ([\d.]+:\d+)", line)
    if not match:
        proc.kill()
        raise SystemExit(f"velto-server did not start: {line!r}")
    # The request log is not read here: send it nowhere so the pipe never fills.
    subprocess.Popen(["cat"], stdin=proc.stdout, stdout=subprocess.DEVNULL)
    return proc, match.group(1)


def random_lp(rows, cols, per_col, seed):
    """A feasible, bounded LP: max c'x, A x <= b, 0 <= x <= 1, A >= 0."""
    rng = np.random.default_rng(seed)
    A = sp.random(rows, cols, density=per_col / rows, random_state=rng, format="csr",
                  data_rvs=lambda n: rng.uniform(0.1, 1.0, n))
    m = velto.Model()
    m.add_variables(cols, lb=0, ub=1, obj=rng.uniform(0, 1, cols))
    m.set_objective(sense="maximize")
    m.add_constraints(A, ub=np.asarray(A.sum(axis=1)).ravel() * 0.3)
    m.set_options({velto.IParam.LOG: 0})
    return m


def timed(f, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        f()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def overhead(address, quick):
    print("remote solve on loopback against a local solve (median wall time)")
    print(f"{'problem':<34}{'local':>11}{'remote':>11}{'overhead':>11}{'ratio':>8}")
    rows = 5_000 if quick else 10_000
    cases = [("small LP (20 x 30)", random_lp(20, 30, 3, 1), 5 if quick else 30),
             (f"large LP ({rows:,} x {2 * rows:,}, {10 * rows // 1000}k nz)", random_lp(rows, 2 * rows, 5, 2),
              1 if quick else 2)]
    for name, model, repeats in cases:
        def local():
            assert model.task.optimizetrm__1()[0] == 0

        def remote():
            res = model.task.optimizermt_ss_3(address, "")
            assert res[0] == 0, model.task.getlasterror()

        t_local, t_remote = timed(local, repeats), timed(remote, repeats)
        print(f"{name:<34}{t_local * 1e3:>9.1f}ms{t_remote * 1e3:>9.1f}ms{(t_remote - t_local) * 1e3:>9.1f}ms"
              f"{t_remote / t_local:>8.2f}")


def throughput(quick):
    from dask.distributed import Client, LocalCluster

    count = 20 if quick else 100
    models = [random_lp(40, 60, 4, 100 + k) for k in range(count)]
    print(f"\n{count} small LPs (40 x 60): Dask LocalCluster (2 worker processes) against solve_batch (2 threads)")
    start = time.perf_counter()
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        started = time.perf_counter() - start
        velto.solve_distributed(models[:2], client)           # workers import velto once
        t_dask = timed(lambda: velto.solve_distributed(models, client), 3)
    t_batch = timed(lambda: velto.solve_batch(models, threads=2), 3)
    print(f"{'path':<34}{'time':>11}{'tasks/s':>11}")
    print(f"{'solve_batch (optimizebatch)':<34}{t_batch * 1e3:>9.1f}ms{count / t_batch:>11.0f}")
    print(f"{'solve_distributed (Dask)':<34}{t_dask * 1e3:>9.1f}ms{count / t_dask:>11.0f}")
    print(f"Dask / batch time ratio {t_dask / t_batch:.1f}; starting the cluster took {started:.1f} s (not counted)")


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="smaller problems, fewer rounds")
    args = parser.parse_args(argv)
    with tempfile.TemporaryDirectory() as workdir:
        proc, address = start_server(workdir)
        try:
            overhead(address, args.quick)
        finally:
            proc.terminate()
            proc.wait()
    throughput(args.quick)
    return 0


if __name__ == "__main__":
    sys.exit(main())
