"""Conic benchmark: the library's interior-point optimizer beside Clarabel and
SCS on the CBF instances of the shared data folder, from the same files.

    PYTHONPATH=build/pkg python3 bench/conic_cbf.py [--instances 'beck*,HMCR*']
        [--groups exponential,power] [--solvers velto,clarabel,scs]
        [--time-limit 60] [--repeat 3] [--shift 0.1]

The library reads each file itself; the peers get the same problem from the
small independent CBF reader below (so a fault of the library's reader
cannot hide behind agreement).  Each solver runs with its own default
tolerances but SCS, a first-order method, with eps 1e-8.  An instance counts
as solved when the solver says optimal and the objective is within 1e-6 of
the reference (|obj - ref| / max(1, |ref|)), or, for an infeasible one, when
the solver reports it infeasible.  Times are the best of --repeat solves
(the solve alone, not the reading); the summary gives the number solved and
the shifted geometric mean of the times (unsolved instances count at the
time limit), with each solver's ratio to the library's.

References: optimal_values.csv of the data folder with corrections.csv on
top; 'infeasible' and 'infeasible?' mean primal infeasible.

Groups select instances by the cones in their files: exponential (EXP,
EXP*), power (POW, POW*), quadratic (only Q, QR and linear cones),
semidefinite (matrix variables or PSD constraints).  Instances with integer
variables are left out.

Published optima of semidefinite instances often have fewer digits than
1e-6 needs; an objective then counts as right when it is within one unit
of the published value's last digit (tables round or truncate).  The
summary also counts the answers within that tolerance that the solver did
not claim optimal (a point left by a stalled run).
"""
from __future__ import annotations

import argparse
import csv
import fnmatch
import gzip
import math
import os
import pathlib
import sys
import time

import numpy as np
import scipy.sparse as sp

TOLERANCE = 1e-6


def default_data_dir():
    env = os.environ.get("VELTO_DATA_DIR")
    if env:
        return pathlib.Path(env)
    return pathlib.Path(__file__).resolve().parent.parent.parent / "shared" / "data"


# ---------------------------------------------------------------- reading

class CbfProblem:
    """min/max c'x + c0  s.t.  A_k x + b_k in K_k (row chunks), x_k in K_k
    (variable chunks).  Cones are (name, size, parameters)."""

    def __init__(self):
        self.maximize = False
        self.num_vars = 0
        self.var_chunks = []  # (cone, size, params)
        self.con_chunks = []
        self.num_rows = 0
        self.c = None
        self.c0 = 0.0
        self.a = ([], [], [])  # rows, cols, values
        self.b = None
        self.psd_vars = []  # orders of the matrix variables
        self.psd_cons = []  # orders of the PSD constraints
        self.objf = []  # (j, k, l, value): entry (k, l) of F_obj for X_j
        self.f = []  # (i, j, k, l, value)
        self.h = []  # (k, j, r, c, value): entry (r, c) of H_kj
        self.d = []  # (k, r, c, value)
        self.unsupported = []  # sections or cones this reader does not convert


def read_cbf(path):
    opener = gzip.open if str(path).endswith(".gz") else open
    with opener(path, "rt") as f:
        lines = [ln.strip() for ln in f if ln.strip() and not ln.lstrip().startswith("#")]
    p = CbfProblem()
    power = {"POWCONES": [], "POW*CONES": []}
    i = 0

    def take():
        nonlocal i
        i += 1
        return lines[i - 1]

    def cone(text):
        name, size = text.split()
        size = int(size)
        if name.startswith("@"):
            index, kind = name[1:].split(":")
            params = power["POW*CONES" if kind == "POW*" else "POWCONES"][int(index)]
            return (kind, size, params)
        return (name, size, None)

    while i < len(lines):
        key = take()
        if key == "VER":
            take()
        elif key == "OBJSENSE":
            p.maximize = take().upper() == "MAX"
        elif key in power:
            count, _ = map(int, take().split())
            for _ in range(count):
                m = int(take())
                power[key].append([float(take()) for _ in range(m)])
        elif key == "VAR":
            p.num_vars, chunks = map(int, take().split())
            p.var_chunks = [cone(take()) for _ in range(chunks)]
            p.c = np.zeros(p.num_vars)
        elif key == "CON":
            p.num_rows, chunks = map(int, take().split())
            p.con_chunks = [cone(take()) for _ in range(chunks)]
            p.b = np.zeros(p.num_rows)
        elif key == "OBJACOORD":
            for _ in range(int(take())):
                j, v = take().split()
                p.c[int(j)] += float(v)
        elif key == "OBJBCOORD":
            p.c0 = float(take())
        elif key == "ACOORD":
            rows, cols, vals = p.a
            for _ in range(int(take())):
                r, j, v = take().split()
                rows.append(int(r)), cols.append(int(j)), vals.append(float(v))
        elif key == "BCOORD":
            for _ in range(int(take())):
                r, v = take().split()
                p.b[int(r)] += float(v)
        elif key in ("PSDVAR", "PSDCON"):
            orders = [int(take()) for _ in range(int(take()))]
            if key == "PSDVAR":
                p.psd_vars = orders
            else:
                p.psd_cons = orders
        elif key in ("OBJFCOORD", "FCOORD", "HCOORD", "DCOORD"):
            entries = {"OBJFCOORD": p.objf, "FCOORD": p.f, "HCOORD": p.h, "DCOORD": p.d}[key]
            for _ in range(int(take())):
                *index, v = take().split()
                entries.append((*map(int, index), float(v)))
        elif key == "INT":
            p.unsupported.append(key)
            count = int(take().split()[0])
            for _ in range(count):
                take()
        else:
            raise ValueError(f"{path}: unknown section {key}")
    if p.c is None:
        p.c = np.zeros(0)
    if p.b is None:
        p.b = np.zeros(0)
    return p


def cones_of(p):
    cones = {c[0] for c in p.var_chunks + p.con_chunks}
    if p.psd_vars or p.psd_cons:
        cones.add("PSD")
    return cones


def svec_position(order, k, l):
    """Position of entry (k, l), k >= l, in the lower triangle of a matrix of
    the given order taken column by column."""
    return l * order - l * (l - 1) // 2 + (k - l)


def svec_weight(k, l):
    """<F, X> = svec(F)'svec(X) with the off-diagonal elements times sqrt 2;
    a lower-triangle entry of F stands for both of its positions."""
    return 1.0 if k == l else math.sqrt(2.0)


# ------------------------------------------------- standard form for peers

def to_standard_form(p):
    """min q'x + q0 s.t. A x + s = b, s in K: the peers' form.  K is a list of
    (kind, size, parameter) with kind zero, nonneg, soc, exp (Clarabel's and
    SCS's order (x, y, z): y exp(x / y) <= z), pow (x^a y^(1-a) >= |z|,
    3 members) or psd (the matrix order as parameter; the lower triangle by
    columns, off-diagonal elements times sqrt 2).  Matrix variables become
    such vectors after the scalar variables."""
    var_start = [p.num_vars]
    for order in p.psd_vars:
        var_start.append(var_start[-1] + order * (order + 1) // 2)
    n = var_start[-1]
    sign = -1.0 if p.maximize else 1.0
    c = np.concatenate([p.c, np.zeros(n - p.num_vars)])
    for j, k, l, v in p.objf:
        c[var_start[j] + svec_position(p.psd_vars[j], k, l)] += svec_weight(k, l) * v
    q, q0 = sign * c, sign * p.c0
    rows, cols, vals = (list(t) for t in p.a)
    for i, j, k, l, v in p.f:
        rows.append(i), cols.append(var_start[j] + svec_position(p.psd_vars[j], k, l))
        vals.append(svec_weight(k, l) * v)
    a_rows = sp.csr_matrix((vals, (rows, cols)), shape=(p.num_rows, n))
    blocks = []  # (matrix M, vector h, kind, size, parameter): M x + h in K

    def add_chunk(kind, size, params, m, h):
        if kind == "F":
            return
        if kind == "L+":
            blocks.append((m, h, "nonneg", size, None))
        elif kind == "L-":
            blocks.append((-m, -h, "nonneg", size, None))
        elif kind == "L=":
            blocks.append((m, h, "zero", size, None))
        elif kind == "Q":
            blocks.append((m, h, "soc", size, None))
        elif kind == "QR":
            # 2 u0 u1 >= |u2..|^2  <=>  ((u0 + u1)/sqrt2, (u0 - u1)/sqrt2, u2..) in Q
            t = sp.identity(size, format="lil")
            r = 1.0 / math.sqrt(2.0)
            t[0, 0], t[0, 1], t[1, 0], t[1, 1] = r, r, r, -r
            t = sp.csr_matrix(t)
            blocks.append((t @ m, t @ h, "soc", size, None))
        elif kind == "EXP":
            order = [2, 1, 0]
            blocks.append((m[order], h[order], "exp", 3, None))
        elif kind == "EXP*":
            # u in EXP*  <=>  (e u0, -u2, -u1) in EXP  <=>  (-u1, -u2, e u0) in the peers' order
            t = sp.csr_matrix(np.array([[0, -1, 0], [0, 0, -1], [math.e, 0, 0]]))
            blocks.append((t @ m, t @ h, "exp", 3, None))
        elif kind in ("POW", "POW*"):
            if size != 3 or len(params) != 2:
                raise NotImplementedError("power cones other than 3 members with 2 weights")
            a = params[0] / (params[0] + params[1])
            if kind == "POW*":  # (u0 / a, u1 / (1 - a), u2) in POW
                t = sp.diags([1.0 / a, 1.0 / (1.0 - a), 1.0])
                m, h = t @ m, t @ h
            blocks.append((m, h, "pow", 3, a))
        else:
            raise NotImplementedError(f"cone {kind}")

    for j, order in enumerate(p.psd_vars):
        size = order * (order + 1) // 2
        m = sp.csr_matrix((np.ones(size), (np.arange(size), np.arange(var_start[j], var_start[j] + size))),
                          shape=(size, n))
        blocks.append((m, np.zeros(size), "psd", size, order))
    for k, order in enumerate(p.psd_cons):
        size = order * (order + 1) // 2
        entries = [(svec_position(order, r, cc), j, svec_weight(r, cc) * v) for kk, j, r, cc, v in p.h if kk == k]
        m = sp.csr_matrix(([e[2] for e in entries], ([e[0] for e in entries], [e[1] for e in entries])),
                          shape=(size, n))
        h = np.zeros(size)
        for kk, r, cc, v in p.d:
            if kk == k:
                h[svec_position(order, r, cc)] += svec_weight(r, cc) * v
        blocks.append((m, h, "psd", size, order))
    start = 0
    for kind, size, params in p.var_chunks:
        m = sp.csr_matrix((np.ones(size), (np.arange(size), np.arange(start, start + size))), shape=(size, n))
        add_chunk(kind, size, params, m, np.zeros(size))
        start += size
    start = 0
    for kind, size, params in p.con_chunks:
        add_chunk(kind, size, params, a_rows[start:start + size], p.b[start:start + size])
        start += size
    order = {"zero": 0, "nonneg": 1, "soc": 2, "psd": 3, "exp": 4, "pow": 5}
    blocks.sort(key=lambda blk: order[blk[2]])  # SCS wants this order; Clarabel takes any
    # M x + h in K  <=>  -M x + s = h
    a_std = sp.vstack([-blk[0] for blk in blocks], format="csc") if blocks else sp.csc_matrix((0, n))
    b_std = np.concatenate([blk[1] for blk in blocks]) if blocks else np.zeros(0)
    cones = [(blk[2], blk[3], blk[4]) for blk in blocks]
    return q, q0, sp.csc_matrix(a_std), b_std, cones


# ---------------------------------------------------------------- solvers

class Outcome:
    def __init__(self, status, objective=None, seconds=float("nan"), note=""):
        self.status, self.objective, self.seconds, self.note = status, objective, seconds, note


def solve_velto(path, time_limit):
    import velto
    m = velto.Model()
    m.read(str(path))
    start = time.perf_counter()
    r = m.solve(time_limit=time_limit)
    seconds = time.perf_counter() - start
    status = {velto.Status.OPTIMAL: "optimal", velto.Status.INFEASIBLE: "infeasible",
              velto.Status.UNBOUNDED: "unbounded"}.get(r.status, str(r.status).split(".")[-1].lower())
    if status == "infeasible" and not certified(m):
        status = "infeasible-uncertified"
    return Outcome(status, r.objective, seconds)


def upper_by_columns(order):
    """The permutation from the lower triangle by columns to the upper one by
    columns (Clarabel's order for PSD cones): new position -> old position."""
    old = {}
    for l in range(order):
        for k in range(l, order):
            old[(k, l)] = svec_position(order, k, l)
    return [old[(k, l)] for k in range(order) for l in range(k + 1)]


def certified(model):
    """Whether the stored certificate of primal infeasibility proves it by the
    solution checker's figures: a positive Farkas value (the dual objective
    of the ray) with dual violations below 1e-6 of it."""
    import velto
    if model.task.getsolsta_i_2(velto.SolutionType.ITR) != (0, velto.SolutionStatus.PRIM_INFEAS_CER):
        return False
    res, f = model.task.getsolutioninfonew_i_2(velto.SolutionType.ITR)
    farkas, violations = f[8], f[9:]
    return res == 0 and farkas > 0 and max(violations) <= 1e-6 * farkas


def solve_clarabel(problem, time_limit):
    import clarabel
    q, q0, a, b, cones = to_standard_form(problem)
    kinds = {"zero": clarabel.ZeroConeT, "nonneg": clarabel.NonnegativeConeT, "soc": clarabel.SecondOrderConeT,
             "exp": lambda n: clarabel.ExponentialConeT(), "pow": lambda n, a: clarabel.PowerConeT(a),
             "psd": lambda n, order: clarabel.PSDTriangleConeT(order)}
    cone_list = [kinds[k](n, par) if k in ("pow", "psd") else kinds[k](n) for k, n, par in cones]
    perm, start = [], 0
    for kind, size, par in cones:
        perm += [start + t for t in upper_by_columns(par)] if kind == "psd" else list(range(start, start + size))
        start += size
    a, b = a[perm], b[perm]
    settings = clarabel.DefaultSettings()
    settings.verbose = False
    settings.time_limit = time_limit
    n = len(q)
    start = time.perf_counter()
    solver = clarabel.DefaultSolver(sp.csc_matrix((n, n)), q, a, b, cone_list, settings)
    sol = solver.solve()
    seconds = time.perf_counter() - start
    status = str(sol.status)
    mapping = {"Solved": "optimal", "PrimalInfeasible": "infeasible", "DualInfeasible": "unbounded"}
    verdict = mapping.get(status, status.lower())
    objective = None
    if verdict == "optimal":
        objective = (sol.obj_val + q0) * (-1.0 if problem.maximize else 1.0)
    return Outcome(verdict, objective, seconds)


def solve_scs(problem, time_limit):
    import scs
    q, q0, a, b, cones = to_standard_form(problem)
    cone = {"z": 0, "l": 0, "q": [], "s": [], "ep": 0, "p": []}
    for kind, size, par in cones:
        if kind == "zero":
            cone["z"] += size
        elif kind == "nonneg":
            cone["l"] += size
        elif kind == "soc":
            cone["q"].append(size)
        elif kind == "psd":
            cone["s"].append(par)
        elif kind == "exp":
            cone["ep"] += 1
        else:
            cone["p"].append(par)
    data = {"A": a, "b": b, "c": q}
    start = time.perf_counter()
    solver = scs.SCS(data, cone, verbose=False, eps_abs=1e-8, eps_rel=1e-8, max_iters=10**7,
                     time_limit_secs=time_limit)
    sol = solver.solve()
    seconds = time.perf_counter() - start
    status = sol["info"]["status"]
    verdict = {"solved": "optimal", "infeasible": "infeasible", "unbounded": "unbounded"}.get(status, status)
    objective = None
    if verdict == "optimal":
        objective = (sol["info"]["pobj"] + q0) * (-1.0 if problem.maximize else 1.0)
    return Outcome(verdict, objective, seconds)


# ---------------------------------------------------------------- judging

def references(data_dir):
    refs = {}
    with open(data_dir / "optimal_values.csv", newline="") as f:
        for r in csv.DictReader(f):
            if r["set"] == "cbf":
                refs[r["instance"]] = r["optimal_objective"]
    corrections = data_dir / "corrections.csv"
    if corrections.exists():
        with open(corrections, newline="") as f:
            for r in csv.DictReader(f):
                if r["set"] == "cbf":
                    refs[r["instance"]] = r["objective"]
    return refs


def solved(outcome, reference):
    if reference is None:
        return False
    if reference.startswith("infeasible"):
        return outcome.status == "infeasible"
    if reference == "dual_infeasible":
        return outcome.status == "unbounded"
    return outcome.status == "optimal" and within(outcome, reference)


def unproven(outcome, reference):
    """An objective within the tolerance from a solver that did not claim
    optimality (the ill-posed SDPLIB hinf problems end so)."""
    return reference is not None and not solved(outcome, reference) and within(outcome, reference)


def within(outcome, reference):
    """The objective within the tolerance of a numeric reference."""
    try:
        ref = float(reference)
    except ValueError:
        return False
    if outcome.objective is None:
        return False
    return abs(outcome.objective - ref) / max(1.0, abs(ref)) <= tolerance(reference)


def tolerance(reference):
    """1e-6 relative, or one unit of the last digit of a value published
    with fewer digits (relative to max(1, |value|))."""
    text = reference.lower()
    mantissa = text.split("e")[0].lstrip("+-")
    if "." not in mantissa and "e" not in text:
        return TOLERANCE  # an integer value, taken as exact
    exponent = int(text.split("e")[1]) if "e" in text else 0
    decimals = len(mantissa.split(".")[1]) if "." in mantissa else 0
    unit = 10.0 ** (exponent - decimals)
    return max(TOLERANCE, unit / max(1.0, abs(float(reference))))


def shifted_geometric_mean(times, shift):
    return math.exp(sum(math.log(t + shift) for t in times) / len(times)) - shift


GROUPS = {
    "exponential": lambda cones: bool(cones & {"EXP", "EXP*"}),
    "power": lambda cones: bool(cones & {"POW", "POW*"}),
    "quadratic": lambda cones: bool(cones & {"Q", "QR"}) and cones <= {"F", "L+", "L-", "L=", "Q", "QR"},
    "semidefinite": lambda cones: "PSD" in cones,
}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", type=pathlib.Path, default=default_data_dir())
    parser.add_argument("--instances", default="*", help="comma-separated name patterns")
    parser.add_argument("--groups", default="exponential,power")
    parser.add_argument("--solvers", default="velto,clarabel,scs")
    parser.add_argument("--time-limit", type=float, default=60.0)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--shift", type=float, default=0.1, help="seconds added before the geometric mean")
    args = parser.parse_args(argv)

    refs = references(args.data)
    patterns = args.instances.split(",")
    groups = [GROUPS[g] for g in args.groups.split(",")]
    solvers = args.solvers.split(",")
    rows = []
    for path in sorted((args.data / "cbf").glob("*.cbf*")):
        name = path.name.split(".cbf")[0]
        if not any(fnmatch.fnmatch(name, pat) for pat in patterns):
            continue
        problem = read_cbf(path)
        if problem.unsupported or not any(g(cones_of(problem)) for g in groups):
            continue
        outcomes = {}
        for solver in solvers:
            best = None
            for _ in range(max(1, args.repeat)):
                try:
                    if solver == "velto":
                        out = solve_velto(path, args.time_limit)
                    elif solver == "clarabel":
                        out = solve_clarabel(problem, args.time_limit)
                    else:
                        out = solve_scs(problem, args.time_limit)
                except NotImplementedError as e:
                    out = Outcome("skipped", note=str(e))
                except Exception as e:  # a peer's failure is a result, not the end of the run
                    out = Outcome("error", note=f"{type(e).__name__}: {e}")
                if best is None or out.seconds < best.seconds:
                    best = out
                if out.status in ("skipped", "error") or out.seconds > 2.0:
                    break
            outcomes[solver] = best
        rows.append((name, refs.get(name), outcomes))
        cells = []
        for solver in solvers:
            o = outcomes[solver]
            mark = "ok" if solved(o, refs.get(name)) else "--"
            obj = "" if o.objective is None else f"{o.objective:.9g}"
            cells.append(f"{solver}: {mark} {o.status:<10s} {obj:>14s} {o.seconds:8.3f}s")
        print(f"{name:22s} ref {str(refs.get(name)):>14s}  " + "  ".join(cells), flush=True)

    if not rows:
        print("no instance matched")
        return 1
    print()
    print(f"{len(rows)} instances; shifted geometric mean of times (shift {args.shift} s, unsolved at the "
          f"time limit {args.time_limit:g} s)")
    means = {}
    for solver in solvers:
        times = []
        count = 0
        for name, ref, outcomes in rows:
            o = outcomes[solver]
            ok = solved(o, ref)
            count += ok
            times.append(o.seconds if ok else args.time_limit)
        means[solver] = shifted_geometric_mean(times, args.shift)
        near = sum(unproven(outcomes[solver], ref) for name, ref, outcomes in rows)
        print(f"  {solver:10s} solved {count:3d} / {len(rows)}   time {means[solver]:8.4f} s", end="")
        if solver != solvers[0]:
            print(f"   ratio to {solvers[0]}: {means[solver] / means[solvers[0]]:.2f}", end="")
        print(f"   ({near} more within the tolerance, not proven optimal)" if near else "")
    common = [outcomes for name, ref, outcomes in rows if all(solved(outcomes[s], ref) for s in solvers)]
    if common and len(solvers) > 1:
        print(f"on the {len(common)} instances every solver solved:")
        base = None
        for solver in solvers:
            mean = shifted_geometric_mean([o[solver].seconds for o in common], args.shift)
            base = base or mean
            print(f"  {solver:10s} time {mean:8.4f} s   ratio to {solvers[0]}: {mean / base:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
