"""Mixed-integer conic optimization: nodes, time and gap of the library's two
methods, branch and bound over its interior-point optimizer (B&B) and outer
approximation with the MILP engine (OA, IParam.MIO_NODE_OPTIMIZER set to a
simplex optimizer), on seeded mixed-integer second-order-cone instances,
beside ECOS's branch and bound (ECOS_BB, when the ecos package is installed)
on the same data in the same run; and the mixed-integer semidefinite
instances of the shared data folder (scipsdp_*) against the optima of its
optimal_values.csv (with corrections.csv).

    PYTHONPATH=build/pkg python3 bench/mixed_integer.py [--quick] [--time-limit 60]

The instances (each: minimize c'x over  A x = b,  G x + s = h,  s in
R+^l x SOC_q1 x ...,  some x integer):
  ball_<n>       a linear objective over the integer points of a ball
  portfolio_<n>  least risk ||G x|| of a long-only portfolio of at most n/4
                 assets (x_j <= z_j, z binary) with a floor on the return
  lsq_<n>        ||A x - b|| over the integers of [-4, 4]^n
"""
import argparse
import math
import os
import pathlib
import sys
import time

import numpy as np

import _vlt

BK_FX, BK_UP, BK_FR, BK_RA = 2, 1, 3, 4
SOL_ITR, SOL_ITG = 0, 2


# ---------------------------------------------------------------- instances

class Instance:
    """minimize c'x  s.t.  A x = b,  h - G x in R+^l x SOC(q...),  x_j integer for j in integers."""

    def __init__(self, name, c, a, b, g, h, l, q, integers, bounds=None):
        self.name, self.c, self.a, self.b, self.g, self.h = name, c, a, b, g, h
        self.l, self.q, self.integers, self.bounds = l, q, integers, bounds or {}


def ball(n, seed):
    rng = np.random.default_rng(seed)
    center, c, radius = rng.uniform(-3, 3, n), rng.normal(size=n), 0.9 * math.sqrt(n)
    # (radius, x - center) in SOC:  h - G x = (radius, x - center)
    g = np.vstack([np.zeros((1, n)), -np.eye(n)])
    h = np.concatenate([[radius], -center])
    return Instance(f"ball_{n}", c, np.zeros((0, n)), np.zeros(0), g, h, 0, [n + 1], list(range(n)))


def portfolio(n, seed):
    rng = np.random.default_rng(seed)
    k = max(2, n // 4)
    mu = rng.uniform(0.02, 0.15, n)
    factor = rng.normal(size=(n, n)) * 0.1 / math.sqrt(n) + np.diag(rng.uniform(0.02, 0.1, n))
    r = np.sort(mu)[-k:].mean() * 0.9
    # variables x (n), z (n), t (1): minimize t
    nv = 2 * n + 1
    c = np.zeros(nv)
    c[-1] = 1.0
    a = np.zeros((1, nv))
    a[0, :n] = 1.0
    rows = []
    rhs = []
    row = np.zeros(nv)
    row[:n] = -mu
    rows.append(row); rhs.append(-r)              # mu'x >= r
    for j in range(n):
        row = np.zeros(nv); row[j] = 1.0; row[n + j] = -1.0
        rows.append(row); rhs.append(0.0)        # x_j <= z_j
        row = np.zeros(nv); row[j] = -1.0
        rows.append(row); rhs.append(0.0)        # x_j >= 0
        row = np.zeros(nv); row[n + j] = 1.0
        rows.append(row); rhs.append(1.0)        # z_j <= 1
        row = np.zeros(nv); row[n + j] = -1.0
        rows.append(row); rhs.append(0.0)        # z_j >= 0
    row = np.zeros(nv); row[n:2 * n] = 1.0
    rows.append(row); rhs.append(float(k))       # sum z <= k
    cone = np.zeros((n + 1, nv))
    cone[0, -1] = -1.0
    cone[1:, :n] = -factor.T                     # (t, F'x) in SOC
    g = np.vstack([np.array(rows), cone])
    h = np.concatenate([rhs, np.zeros(n + 1)])
    return Instance(f"portfolio_{n}", c, a, np.ones(1), g, h, len(rows), [n + 1], list(range(n, 2 * n)))


def least_squares(n, seed):
    rng = np.random.default_rng(seed)
    m = n + 4
    amat = rng.normal(size=(m, n))
    bvec = amat @ rng.uniform(-3, 3, n) + rng.normal(scale=0.5, size=m)
    nv = n + 1
    c = np.zeros(nv)
    c[-1] = 1.0
    rows, rhs = [], []
    for j in range(n):
        for s in (1.0, -1.0):
            row = np.zeros(nv); row[j] = s
            rows.append(row); rhs.append(4.0)    # -4 <= x_j <= 4
    cone = np.zeros((m + 1, nv))
    cone[0, -1] = -1.0
    cone[1:, :n] = amat                          # (t, b - A x) in SOC
    g = np.vstack([np.array(rows), cone])
    h = np.concatenate([rhs, [0.0], bvec])
    return Instance(f"lsq_{n}", c, np.zeros((0, nv)), np.zeros(0), g, h, len(rows), [m + 1], list(range(n)))


# ---------------------------------------------------------------- solvers

def i32(a):
    return memoryview(np.ascontiguousarray(a, dtype=np.int32))


def i64(a):
    return memoryview(np.ascontiguousarray(a, dtype=np.int64))


def f64(a):
    return memoryview(np.ascontiguousarray(a, dtype=np.float64))


def solve_here(env, inst, time_limit, outer=False):
    import velto
    t = _vlt.Task(env)
    try:
        if outer:
            t.putintparam_ii_3(velto.IParam.MIO_NODE_OPTIMIZER, velto.OptimizerType.DUAL_SIMPLEX)
        n = len(inst.c)
        t.appendvars_i_2(n)
        t.putvarboundsliceconst_iiidd_6(0, n, BK_FR, 0.0, 0.0)
        t.putcslice_iiO_4(0, n, f64(inst.c))
        for j in inst.integers:
            t.putvartype_ii_3(j, 1)
        m = inst.a.shape[0]
        if m:
            t.appendcons_i_2(m)
            for i in range(m):
                nz = np.nonzero(inst.a[i])[0]
                t.putarow_iOO_4(i, i32(nz), f64(inst.a[i, nz]))
                t.putconbound_iidd_5(i, BK_FX, inst.b[i], inst.b[i])
        # h - G x as AFEs; the first l in R+, then one ACC per cone
        rows = inst.g.shape[0]
        t.appendafes_L_2(rows)
        sub_afe, sub_var = np.nonzero(inst.g)
        t.putafefentrylist_OOO_4(i64(sub_afe), i32(sub_var), f64(-inst.g[sub_afe, sub_var]))
        t.putafegslice_LLO_4(0, rows, f64(inst.h))
        if inst.l:
            d = t.appendrplusdomain_L_2(inst.l)[1]
            t.appendaccseq_LLO_4(d, 0, None)
        at = inst.l
        for size in inst.q:
            d = t.appendquadraticconedomain_L_2(size)[1]
            t.appendaccseq_LLO_4(d, at, None)
            at += size
        t.putdouparam_id_3(velto.DParam.MIO_MAX_TIME, time_limit)
        start = time.perf_counter()
        res, trm = t.optimizetrm__1()
        elapsed = time.perf_counter() - start
        if res != 0:
            return {"status": f"error {res}", "time": elapsed}
        _, sta = t.getsolsta_i_2(SOL_ITG)
        return {
            "status": velto.SolutionStatus(sta).name if trm == 0 else velto.ResponseCode(trm).name,
            "objective": t.getprimalobj_i_2(SOL_ITG)[1],
            "nodes": t.getlintinf_i_2(velto.LIInfItem.MIO_NUM_NODES)[1],
            "gap": t.getdouinf_i_2(velto.DInfItem.MIO_OBJ_REL_GAP)[1],
            "time": elapsed,
        }
    finally:
        t.dispose()


def solve_ecos(inst, time_limit):
    try:
        import ecos
        import scipy.sparse as sp
    except ImportError:
        return None
    dims = {"l": inst.l, "q": list(inst.q)}
    kwargs = {"int_vars_idx": list(inst.integers), "verbose": False, "mi_verbose": False,
              "mi_max_iters": 100000, "mi_rel_eps": 1e-4, "mi_abs_eps": 1e-6}
    if inst.a.shape[0]:
        kwargs.update(A=sp.csc_matrix(inst.a), b=inst.b)
    start = time.perf_counter()
    sol = ecos.solve(inst.c, sp.csc_matrix(inst.g), inst.h, dims, **kwargs)
    elapsed = time.perf_counter() - start
    return {"status": sol["info"]["infostring"], "objective": sol["info"]["pcost"], "time": elapsed}


# ---------------------------------------------------------------- semidefinite instances

def scipsdp_instances(env, data, time_limit):
    """(instance, status, nodes, objective, relative error, gap, time) per scipsdp_*.cbf file."""
    import velto
    from accuracy import read_references, reference_value
    folder = data / "cbf"
    refs = read_references(data)
    rows = []
    for path in sorted(folder.glob("scipsdp_*.cbf")):
        t = _vlt.Task(env)
        try:
            res = t.readdataautoformat_s_2(str(path))[0]
            if res != 0:
                rows.append((path.stem, f"not read ({velto.ResponseCode(res).name})", None, None, None, None, None))
                continue
            t.putdouparam_id_3(velto.DParam.MIO_MAX_TIME, time_limit)
            start = time.perf_counter()
            res, trm = t.optimizetrm__1()
            elapsed = time.perf_counter() - start
            if res != 0:
                rows.append((path.stem, velto.ResponseCode(res).name, None, None, None, None, elapsed))
                continue
            # one of them has no integer variables: its interior-point solution
            integer = t.getnumintvar__1()[1] > 0
            sol = SOL_ITG if integer else SOL_ITR
            obj = t.getprimalobj_i_2(sol)[1]  # None without a solution
            ref, _ = reference_value("cbf", path.stem, refs)
            err = abs(obj - ref) / max(1.0, abs(ref)) if isinstance(ref, float) and obj is not None else None
            status = velto.SolutionStatus(t.getsolsta_i_2(sol)[1]).name if trm == 0 else velto.ResponseCode(trm).name
            rows.append((path.stem, status, t.getlintinf_i_2(velto.LIInfItem.MIO_NUM_NODES)[1] if integer else None,
                         obj, err, t.getdouinf_i_2(velto.DInfItem.MIO_OBJ_REL_GAP)[1] if integer else None, elapsed))
        finally:
            t.dispose()
    return rows


# ---------------------------------------------------------------- main

def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="the smaller instances only")
    parser.add_argument("--sdp-only", action="store_true", help="the semidefinite instances only")
    parser.add_argument("--time-limit", type=float, default=60.0, help="seconds per instance and solver")
    args = parser.parse_args(argv)

    sizes = [(ball, 6), (ball, 10), (portfolio, 12), (least_squares, 6)]
    if not args.quick:
        sizes += [(ball, 14), (portfolio, 20), (portfolio, 28), (least_squares, 10)]
    env = _vlt.Env()
    if not args.sdp_only:
        print("Mixed-integer SOCP: branch and bound (B&B) and outer approximation (OA) beside ECOS_BB, same data, "
              "same run;\nratios are time over ECOS_BB's")
        print(f"{'instance':15} {'method':6} {'status':20} {'objective':>13} {'nodes':>7} {'gap':>8} {'time s':>8}"
              f" {'ratio':>6}")
    for make, n in [] if args.sdp_only else sizes:
        inst = make(n, seed=n)
        peer = solve_ecos(inst, args.time_limit)
        for method, outer in (("B&B", False), ("OA", True)):
            ours = solve_here(env, inst, args.time_limit, outer)
            ratio = f"{ours['time'] / max(peer['time'], 1e-6):6.2f}" if peer else ""
            print(f"{inst.name:15} {method:6} {ours['status']:20} {ours.get('objective', math.nan):13.6g} "
                  f"{ours.get('nodes', 0):7d} {ours.get('gap', math.nan):8.1e} {ours['time']:8.3f} {ratio}",
                  flush=True)
        if peer:
            print(f"{inst.name:15} {'ECOS':6} {peer['status'][:20]:20} {peer['objective']:13.6g} {'':7} {'':8} "
                  f"{peer['time']:8.3f}", flush=True)
        else:
            print(f"{inst.name:15} ECOS   (the ecos package is not installed)")

    data = pathlib.Path(os.environ.get("VELTO_DATA_DIR", pathlib.Path(__file__).resolve().parents[1].parent /
                                       "shared" / "data"))
    if (data / "cbf").is_dir():
        print("\nMixed-integer SDP (scipsdp_*): against optimal_values.csv (with corrections.csv) of the data folder")
        print(f"{'instance':34} {'status':22} {'nodes':>7} {'objective':>14} {'rel. error':>10} {'gap':>8} {'time s':>8}")
        nan = math.nan
        for name, status, nodes, obj, err, gap, elapsed in scipsdp_instances(env, data, args.time_limit):
            print(f"{name:34} {status:22} {nodes if nodes is not None else '':>7} "
                  f"{obj if obj is not None else nan:14.6g} {err if err is not None else nan:10.1e} "
                  f"{gap if gap is not None else nan:8.1e} {elapsed if elapsed is not None else nan:8.3f}")
    else:
        print(f"\n(no data folder at {data}: the semidefinite instances are skipped)")
    env.dispose()
    return 0


if __name__ == "__main__":
    sys.exit(main())
