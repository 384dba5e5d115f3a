"""Max-cut semidefinite relaxations of random graphs, the library beside Clarabel.

    PYTHONPATH=build/pkg python3 bench/maxcut_sdp.py [--sizes 50,80,110]
        [--density 0.5] [--repeat 3] [--time-limit 600] [--solvers velto,clarabel]

For a graph with Laplacian L (seeded G(n, p) graph, unit weights):
maximize <L, X> / 4 subject to diag(X) = 1, X positive semidefinite.  Both
solvers get the same instance, one after the other, `--repeat` times; the
table gives each one's median solve time (set-up of the solver included,
building the data excluded), its objective, and the ratio of the times.
Both are asked for 1e-8.
"""
import argparse
import statistics
import sys
import time

import numpy as np


def laplacian(n, density, seed):
    rng = np.random.default_rng(seed)
    upper = np.triu(rng.random((n, n)) < density, 1)
    adj = (upper | upper.T).astype(float)
    return np.diag(adj.sum(axis=1)) - adj


def solve_velto(lap, limit):
    import _vlt

    n = lap.shape[0]
    env = _vlt.Env()
    task = _vlt.Task(env)
    i32 = lambda v: memoryview(np.ascontiguousarray(v, dtype=np.int32))
    i64 = lambda v: memoryview(np.ascontiguousarray(v, dtype=np.int64))
    f64 = lambda v: memoryview(np.ascontiguousarray(v, dtype=np.float64))
    start = time.perf_counter()
    task.appendcons_i_2(n)
    task.appendbarvars_O_2(i32([n]))
    rows, cols = np.tril_indices(n)
    keep = lap[rows, cols] != 0.0
    _, c = task.appendsparsesymmat_iOOO_5(n, i32(rows[keep]), i32(cols[keep]), f64(-0.25 * lap[rows, cols][keep]))
    task.putbarcj_iOO_4(0, i64([c]), f64([1.0]))
    for i in range(n):
        _, e = task.appendsparsesymmat_iOOO_5(n, i32([i]), i32([i]), f64([1.0]))
        task.putbaraij_iiOO_5(i, 0, i64([e]), f64([1.0]))
    if task.putconboundsliceconst_iiidd_6(0, n, 2, 1.0, 1.0)[0] != 0:  # fixed at 1
        raise RuntimeError("bounds refused")
    task.putdouparam_id_3(49, float(limit))  # OPTIMIZER_MAX_TIME
    build = time.perf_counter() - start
    start = time.perf_counter()
    res, trm = task.optimizetrm__1()
    seconds = time.perf_counter() - start
    objective = -task.getprimalobj_i_2(0)[1] if res == 0 else float("nan")
    solsta = task.getsolsta_i_2(0)[1] if res == 0 else None
    task.dispose()
    env.dispose()
    return seconds, objective, "optimal" if solsta == 1 else f"res {res} trm {trm} solsta {solsta}", build


def solve_clarabel(lap, limit):
    import clarabel
    import scipy.sparse as sp

    n = lap.shape[0]
    dim = n * (n + 1) // 2
    # Clarabel's svec: the upper triangle column by column, off-diagonal
    # elements times sqrt 2.
    rows, cols = np.triu_indices(n)
    order = np.lexsort((rows, cols))
    rows, cols = rows[order], cols[order]
    scale = np.where(rows == cols, 1.0, np.sqrt(2.0))
    q = -0.25 * lap[rows, cols] * scale
    diag_pos = np.flatnonzero(rows == cols)
    a_eq = sp.csc_matrix((np.ones(n), (np.arange(n), diag_pos)), shape=(n, dim))
    a = sp.vstack([a_eq, -sp.identity(dim, format="csc")]).tocsc()
    b = np.concatenate([np.ones(n), np.zeros(dim)])
    settings = clarabel.DefaultSettings()
    settings.verbose = False
    settings.time_limit = float(limit)
    settings.tol_gap_abs = settings.tol_gap_rel = settings.tol_feas = 1e-8
    start = time.perf_counter()
    solver = clarabel.DefaultSolver(sp.csc_matrix((dim, dim)), q, a, b,
                                    [clarabel.ZeroConeT(n), clarabel.PSDTriangleConeT(n)], settings)
    sol = solver.solve()
    seconds = time.perf_counter() - start
    return seconds, -sol.obj_val, str(sol.status), 0.0


SOLVERS = {"velto": solve_velto, "clarabel": solve_clarabel}


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--sizes", default="50,80,110")
    ap.add_argument("--density", type=float, default=0.5)
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--time-limit", type=float, default=600.0)
    ap.add_argument("--solvers", default="velto,clarabel")
    args = ap.parse_args()
    solvers = args.solvers.split(",")
    header = f"{'n':>5}" + "".join(f"{s:>28}" for s in solvers)
    if len(solvers) > 1:
        header += f"   {solvers[0]}/{solvers[1]}"
    print(header)
    for n in (int(s) for s in args.sizes.split(",")):
        lap = laplacian(n, args.density, seed=n)
        times = {s: [] for s in solvers}
        last = {}
        for _ in range(args.repeat):
            for s in solvers:
                seconds, objective, status, _ = SOLVERS[s](lap, args.time_limit)
                times[s].append(seconds)
                last[s] = (objective, status)
        line = f"{n:>5}"
        for s in solvers:
            objective, status = last[s]
            line += f"  {statistics.median(times[s]):8.3f}s {objective:12.6f} {status[:12]:>12}"
        if len(solvers) > 1:
            line += f"   x{statistics.median(times[solvers[0]]) / statistics.median(times[solvers[1]]):.2f}"
        print(line, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
