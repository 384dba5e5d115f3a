"""The interior-point optimizer beside open QP solvers on the Maros-Meszaros set.

Each instance is read by the library and solved, each solver in its own
process with the same time limit, one instance after the other (so that
all solvers of an instance meet the same machine load):

    PYTHONPATH=build/pkg python3 bench/qp_peers.py [--time-limit 60]
        [--solvers velto,piqp,clarabel,osqp,highs] [--instances 'CVXQP*,HS*']
        [--baseline OTHER/pkg] [--json out.json]

--baseline adds "velto-baseline": the same library from another build (its
importable tree), so that a change is measured before and after in one run.

All solvers are asked for 1e-8 (feasibility and gap).  An answer counts as
solved to 1e-6 (1e-8) when the solver says optimal and the objective is
within that relative distance of the reference value (optimal_values.csv
with corrections.csv).  Times are the solve calls' (setup included for the
peers, reading excluded for all); the table gives each solver's count and
the shifted geometric mean of its times (a failure counts as the time
limit), and its ratio to velto's.
"""
import argparse
import csv
import fnmatch
import json
import math
import os
import pathlib
import subprocess
import sys
import time

SOLVERS = ("velto", "piqp", "clarabel", "osqp", "highs")
TOL = 1e-8
SHIFTS = (1.0, 10.0)


def data_dir():
    env = os.environ.get("VELTO_DATA_DIR")
    if env:
        return pathlib.Path(env)
    return pathlib.Path(__file__).resolve().parent.parent.parent / "shared" / "data"


def references(data):
    refs = {}
    with open(data / "optimal_values.csv", newline="") as f:
        for row in csv.DictReader(f):
            if row["set"] == "maros":
                refs[row["instance"]] = row["optimal_objective"]
    corrections = data / "corrections.csv"
    if corrections.exists():
        with open(corrections, newline="") as f:
            for row in csv.DictReader(f):
                if row["set"] == "maros":
                    refs[row["instance"]] = row["objective"]
    out = {}
    for name, value in refs.items():
        try:
            out[name] = float(value)
        except ValueError:
            pass
    return out


# ------------------------------------------------------------------ worker

def read_qp(path):
    """(P upper, q, cfix, A, lc, uc, lx, ux, sense) through the library."""
    import numpy as np
    import scipy.sparse as sp
    import _vlt

    env = _vlt.Env()
    task = _vlt.Task(env)
    res = task.readdataautoformat_s_2(str(path))
    res = res[0] if isinstance(res, tuple) else res
    if res != 0:
        raise RuntimeError(f"read error {res}")
    n = task.getnumvar__1()[1]
    m = task.getnumcon__1()[1]
    c = bytearray()
    task.getc_O_1(c)
    q = np.frombuffer(c, dtype=np.float64).copy()
    cfix = task.getcfix__1()[1]
    si, sj, sv = bytearray(), bytearray(), bytearray()
    task.getacolslicetrip_iiOOO_3(0, n, si, sj, sv)
    A = sp.csc_matrix((np.frombuffer(sv, np.float64), (np.frombuffer(si, np.int32), np.frombuffer(sj, np.int32))),
                      shape=(m, n))
    qi, qj, qv = bytearray(), bytearray(), bytearray()
    task.getqobj64_OOO_1(qi, qj, qv)
    qi, qj, qv = np.frombuffer(qi, np.int32), np.frombuffer(qj, np.int32), np.frombuffer(qv, np.float64)
    L = sp.coo_matrix((qv, (qi, qj)), shape=(n, n)).tocsc()  # lower triangle of Q
    P_full = (L + L.T - sp.diags(L.diagonal())).tocsc()
    P = sp.triu(P_full).tocsc()

    def bounds(getter, count):
        bk, bl, bu = bytearray(), bytearray(), bytearray()
        getter(0, count, bk, bl, bu)
        bk = np.frombuffer(bk, np.int32)
        lo = np.frombuffer(bl, np.float64).copy()
        up = np.frombuffer(bu, np.float64).copy()
        lo[(bk == 1) | (bk == 3)] = -np.inf  # up, fr
        up[(bk == 0) | (bk == 3)] = np.inf  # lo, fr
        up[bk == 2] = lo[bk == 2]  # fx
        return lo, up

    lc, uc = bounds(task.getconboundslice_iiOOO_3, m)
    lx, ux = bounds(task.getvarboundslice_iiOOO_3, n)
    sense = task.getobjsense__1()[1]
    task.dispose()
    env.dispose()
    return dict(P=P, P_full=P_full, q=q, cfix=cfix, A=A, lc=lc, uc=uc, lx=lx, ux=ux, maximize=sense == 1)


def solve_velto(path, limit):
    import _vlt

    env = _vlt.Env()
    task = _vlt.Task(env)
    task.readdataautoformat_s_2(str(path))
    task.putdouparam_id_3(49, float(limit))  # OPTIMIZER_MAX_TIME
    start = time.perf_counter()
    res, trm = task.optimizetrm__1()
    seconds = time.perf_counter() - start
    out = {"time": seconds, "status": f"res {res} trm {trm}", "optimal": False, "objective": None}
    if res == 0 and task.solutiondef_i_2(0)[1]:
        solsta = task.getsolsta_i_2(0)[1]
        out["optimal"] = solsta == 1
        out["status"] = "optimal" if solsta == 1 else f"solsta {solsta} trm {trm}"
        out["objective"] = task.getprimalobj_i_2(0)[1]
    task.dispose()
    env.dispose()
    return out


def solve_piqp(d, limit):
    import numpy as np
    import scipy.sparse as sp
    import piqp

    sign = -1.0 if d["maximize"] else 1.0
    A, lc, uc = d["A"], d["lc"], d["uc"]
    eq = np.isfinite(lc) & (lc == uc)
    ineq = ~eq & (np.isfinite(lc) | np.isfinite(uc))
    s = piqp.SparseSolver()
    s.settings.eps_abs = TOL
    s.settings.eps_rel = 0.0
    s.settings.eps_duality_gap_abs = TOL
    s.settings.eps_duality_gap_rel = TOL
    s.settings.max_iter = 1000
    start = time.perf_counter()
    s.setup(sp.csc_matrix(sign * d["P_full"]), sign * d["q"], sp.csc_matrix(A[eq]), lc[eq], sp.csc_matrix(A[ineq]),
            lc[ineq], uc[ineq], d["lx"], d["ux"])
    status = s.solve()
    seconds = time.perf_counter() - start
    ok = str(status).endswith("SOLVED")
    return {"time": seconds, "status": str(status).split(".")[-1], "optimal": ok,
            "objective": sign * s.result.info.primal_obj + d["cfix"], "iterations": s.result.info.iter}


def solve_clarabel(d, limit):
    import numpy as np
    import scipy.sparse as sp
    import clarabel

    sign = -1.0 if d["maximize"] else 1.0
    A, lc, uc, lx, ux = d["A"], d["lc"], d["uc"], d["lx"], d["ux"]
    n = A.shape[1]
    eq = np.isfinite(lc) & (lc == uc)
    up = ~eq & np.isfinite(uc)
    lo = ~eq & np.isfinite(lc)
    I = sp.identity(n, format="csr")
    xu, xl = np.isfinite(ux), np.isfinite(lx)
    blocks = [A[eq], A[up], -A[lo], I[xu], -I[xl]]
    rhs = [lc[eq], uc[up], -lc[lo], ux[xu], -lx[xl]]
    M = sp.vstack(blocks).tocsc()
    b = np.concatenate(rhs)
    cones = [clarabel.ZeroConeT(int(eq.sum())),
             clarabel.NonnegativeConeT(int(up.sum() + lo.sum() + xu.sum() + xl.sum()))]
    st = clarabel.DefaultSettings()
    st.verbose = False
    st.tol_gap_abs = st.tol_gap_rel = st.tol_feas = TOL
    st.time_limit = float(limit)
    start = time.perf_counter()
    solver = clarabel.DefaultSolver(sp.triu(sign * d["P_full"]).tocsc(), sign * d["q"], M, b, cones, st)
    sol = solver.solve()
    seconds = time.perf_counter() - start
    return {"time": seconds, "status": str(sol.status), "optimal": str(sol.status) == "Solved",
            "objective": sign * sol.obj_val + d["cfix"], "iterations": sol.iterations}


def solve_osqp(d, limit):
    import numpy as np
    import scipy.sparse as sp
    import osqp

    sign = -1.0 if d["maximize"] else 1.0
    n = d["A"].shape[1]
    M = sp.vstack([d["A"], sp.identity(n)]).tocsc()
    l = np.concatenate([d["lc"], d["lx"]])
    u = np.concatenate([d["uc"], d["ux"]])
    s = osqp.OSQP()
    start = time.perf_counter()
    s.setup(sp.triu(sign * d["P_full"]).tocsc(), sign * d["q"], M, np.maximum(l, -1e30), np.minimum(u, 1e30),
            eps_abs=TOL, eps_rel=TOL, max_iter=1000000, time_limit=float(limit), verbose=False, polishing=True)
    r = s.solve()
    seconds = time.perf_counter() - start
    status = r.info.status
    return {"time": seconds, "status": status, "optimal": status == "solved",
            "objective": sign * r.info.obj_val + d["cfix"], "iterations": r.info.iter}


def solve_highs(d, limit):
    import highspy
    import scipy.sparse as sp

    sign = -1.0 if d["maximize"] else 1.0
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    h.setOptionValue("time_limit", float(limit))
    h.setOptionValue("primal_feasibility_tolerance", TOL)
    h.setOptionValue("dual_feasibility_tolerance", TOL)
    lp = highspy.HighsLp()
    n = d["A"].shape[1]
    lp.num_col_, lp.num_row_ = n, d["A"].shape[0]
    lp.col_cost_ = sign * d["q"]
    lp.col_lower_, lp.col_upper_ = d["lx"], d["ux"]
    lp.row_lower_, lp.row_upper_ = d["lc"], d["uc"]
    A = d["A"].tocsc()
    lp.a_matrix_.format_ = highspy.MatrixFormat.kColwise
    lp.a_matrix_.start_, lp.a_matrix_.index_, lp.a_matrix_.value_ = A.indptr, A.indices, A.data
    model = highspy.HighsModel()
    model.lp_ = lp
    Ql = sp.tril(sign * d["P_full"]).tocsc()
    model.hessian_.dim_ = n
    model.hessian_.format_ = highspy.HessianFormat.kTriangular
    model.hessian_.start_, model.hessian_.index_, model.hessian_.value_ = Ql.indptr, Ql.indices, Ql.data
    start = time.perf_counter()
    h.passModel(model)
    h.run()
    seconds = time.perf_counter() - start
    status = h.modelStatusToString(h.getModelStatus())
    return {"time": seconds, "status": status, "optimal": status == "Optimal",
            "objective": sign * h.getInfo().objective_function_value + d["cfix"], "iterations": None}


def worker(solver, path, limit):
    if solver.startswith("velto"):
        return solve_velto(path, limit)
    d = read_qp(path)
    return {"piqp": solve_piqp, "clarabel": solve_clarabel, "osqp": solve_osqp, "highs": solve_highs}[solver](d, limit)


# ------------------------------------------------------------------ driver

def run(solver, path, limit, pythonpath):
    env = dict(os.environ)
    if pythonpath:
        env["PYTHONPATH"] = pythonpath
    cmd = [sys.executable, os.path.abspath(__file__), "--worker", solver, str(path), "--time-limit", str(limit)]
    start = time.perf_counter()
    try:
        p = subprocess.run(cmd, capture_output=True, text=True, timeout=limit * 1.5 + 30, env=env)
    except subprocess.TimeoutExpired:
        return {"time": limit, "status": "killed", "optimal": False, "objective": None}
    line = next((l for l in p.stdout.splitlines() if l.startswith("RESULT ")), None)
    if line is None:
        tail = (p.stderr.strip().splitlines() or [""])[-1][:60]
        return {"time": time.perf_counter() - start, "status": f"crash: {tail}", "optimal": False, "objective": None}
    return json.loads(line[7:])


def shifted_geomean(times, shift):
    return math.exp(sum(math.log(t + shift) for t in times) / len(times)) - shift


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--time-limit", type=float, default=60.0)
    ap.add_argument("--solvers", default="velto,piqp,clarabel")
    ap.add_argument("--instances", default="")
    ap.add_argument("--baseline", default="", help="importable tree (pkg/) of another build of the library")
    ap.add_argument("--json", type=pathlib.Path)
    ap.add_argument("--worker", nargs=2, help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.worker:
        out = worker(args.worker[0], pathlib.Path(args.worker[1]), args.time_limit)
        print("RESULT " + json.dumps(out))
        return 0

    data = data_dir()
    refs = references(data)
    solvers = [s for s in args.solvers.split(",") if s]
    paths = {"velto": os.environ.get("PYTHONPATH", "")}
    if args.baseline:
        solvers.insert(1, "velto-baseline")
        paths["velto-baseline"] = args.baseline
    patterns = [p for p in args.instances.split(",") if p]
    files = sorted((data / "maros").glob("*.QPS.gz"))
    rows = []
    print(f"{'instance':<10} " + " ".join(f"{s:>24}" for s in solvers), flush=True)
    for path in files:
        name = path.name.split(".")[0]
        if patterns and not any(fnmatch.fnmatch(name, p) for p in patterns):
            continue
        ref = refs.get(name)
        row = {"instance": name, "reference": ref}
        cells = []
        for s in solvers:
            r = run(s, path, args.time_limit, paths.get(s, paths["velto"]))
            err = None
            if r.get("objective") is not None and ref is not None:
                err = abs(r["objective"] - ref) / max(1.0, abs(ref))
            r["relerr"] = err
            r["solved6"] = bool(r["optimal"] and err is not None and err <= 1e-6)
            r["solved8"] = bool(r["optimal"] and err is not None and err <= 1e-8)
            row[s] = r
            mark = "8" if r["solved8"] else "6" if r["solved6"] else "-"
            cells.append(f"{r['time']:8.3f}s {mark} {r['status'][:12]:>12}")
        rows.append(row)
        print(f"{name:<10} " + " ".join(f"{c:>24}" for c in cells), flush=True)

    print()
    print(f"{len(rows)} instances, time limit {args.time_limit:g} s; "
          f"solved: optimal and objective within 1e-6 (1e-8) of the reference")
    base = solvers[0]
    for shift in SHIFTS:
        means = {}
        for s in solvers:
            times = [min(r[s]["time"], args.time_limit) if r[s]["solved6"] else args.time_limit for r in rows]
            means[s] = shifted_geomean(times, shift)
        line = " ".join(f"{s} {means[s]:.3f}s (x{means[s] / means[base]:.2f})" for s in solvers)
        print(f"shifted geometric mean (shift {shift:g} s): {line}")
    for s in solvers:
        print(f"{s:>16}: solved {sum(r[s]['solved6'] for r in rows)} to 1e-6, "
              f"{sum(r[s]['solved8'] for r in rows)} to 1e-8")
    if args.json:
        args.json.write_text(json.dumps(rows, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
