"""Models as a new user writes them, in velto.Model, cvxpy and highspy, side
by side in the same run: lines of code, time to build, time to solve, and the
objective values (which must agree).

  transport   transportation LP (60 supply points, 80 customers)
  facility    capacitated facility location MILP (15 sites, 40 customers)
  portfolio   Markowitz QP (200 assets, a dense covariance)
  logistic    regularized logistic regression (5,000 samples, 10 features):
              exponential cones in velto, cp.logistic in cvxpy; highspy has no
              such cone

Each way builds a fresh model from the same numpy data (build: from the data
to a model ready to solve, solve: the solver's call, including cvxpy's
compilation) and the best of R runs is printed.  Lines are the non-blank,
non-comment lines of each way's function.  cvxpy uses the solver it picks
for the problem (HiGHS for the LP and MILP, its default conic solver for the
rest).

    PYTHONPATH=build/pkg python3 bench/new_user.py [--repeat R] [--models transport,logistic]
"""
from __future__ import annotations

import argparse
import inspect
import sys
import time

import numpy as np
import scipy.sparse as sp

import velto


# ----------------------------------------------------------------- the data
def transport_data(seed=1, S=60, D=80):
    rng = np.random.default_rng(seed)
    demand = rng.uniform(10, 50, D)
    supply = rng.uniform(0.9, 1.3, S) * demand.sum() / S
    return {"cost": rng.uniform(1, 20, (S, D)), "supply": supply, "demand": demand}


def facility_data(seed=2, F=15, C=40):
    rng = np.random.default_rng(seed)
    demand = rng.uniform(5, 20, C)
    return {"open": rng.uniform(50, 150, F), "cost": rng.uniform(1, 10, (F, C)) * demand,
            "capacity": rng.uniform(0.15, 0.3, F) * demand.sum(), "demand": demand}


def portfolio_data(seed=3, n=200):
    rng = np.random.default_rng(seed)
    factors = rng.normal(size=(n, 5)) * 0.1
    return {"mu": rng.uniform(0.01, 0.1, n), "Sigma": factors @ factors.T + np.diag(rng.uniform(0.01, 0.04, n)),
            "gamma": 5.0}


def logistic_data(seed=4, n=5000, d=10):
    rng = np.random.default_rng(seed)
    A = rng.normal(size=(n, d))
    y = np.sign(A @ rng.normal(size=d) + 0.5 * rng.normal(size=n))
    return {"A": A, "y": y, "lam": 1.0}


# ---------------------------------------------------------------- transport
def transport_velto(d):
    S, D = d["cost"].shape
    m = velto.Model()
    x = m.add_variables(S * D, lb=0, obj=d["cost"].ravel())
    m.add_constraints(sp.kron(sp.eye(S), np.ones((1, D))), ub=d["supply"])
    m.add_constraints(sp.kron(np.ones((1, S)), sp.eye(D)), lb=d["demand"])
    return lambda: m.solve().objective


def transport_cvxpy(d):
    import cvxpy as cp

    x = cp.Variable(d["cost"].shape, nonneg=True)
    problem = cp.Problem(cp.Minimize(cp.sum(cp.multiply(d["cost"], x))),
                         [cp.sum(x, axis=1) <= d["supply"], cp.sum(x, axis=0) >= d["demand"]])
    return lambda: problem.solve()


def transport_highspy(d):
    import highspy

    S, D = d["cost"].shape
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    h.addVars(S * D, np.zeros(S * D), np.full(S * D, highspy.kHighsInf))
    h.changeColsCost(S * D, np.arange(S * D, dtype=np.int32), d["cost"].ravel())
    A = sp.vstack([sp.kron(sp.eye(S), np.ones((1, D))), sp.kron(np.ones((1, S)), sp.eye(D))]).tocsr()
    lower = np.r_[np.full(S, -highspy.kHighsInf), d["demand"]]
    upper = np.r_[d["supply"], np.full(D, highspy.kHighsInf)]
    h.addRows(S + D, lower, upper, A.nnz, A.indptr[:-1].astype(np.int32), A.indices.astype(np.int32), A.data)
    return lambda: (h.run(), h.getInfo().objective_function_value)[1]


# ----------------------------------------------------------------- facility
def facility_velto(d):
    F, C = d["cost"].shape
    m = velto.Model()
    y = m.add_variables(F, ub=1, obj=d["open"], integer=True)
    x = m.add_variables(F * C, ub=1, obj=d["cost"].ravel())
    m.add_constraints(sp.hstack([sp.csr_matrix((C, F)), sp.kron(np.ones((1, F)), sp.eye(C))]), lb=1, ub=1)
    m.add_constraints(sp.hstack([-sp.diags(d["capacity"]), sp.kron(sp.eye(F), d["demand"][None, :])]), ub=0)
    return lambda: m.solve().objective


def facility_cvxpy(d):
    import cvxpy as cp

    F, C = d["cost"].shape
    y = cp.Variable(F, boolean=True)
    x = cp.Variable((F, C), nonneg=True)
    problem = cp.Problem(cp.Minimize(d["open"] @ y + cp.sum(cp.multiply(d["cost"], x))),
                         [cp.sum(x, axis=0) == 1, x <= 1, x @ d["demand"] <= cp.multiply(d["capacity"], y)])
    return lambda: problem.solve()


def facility_highspy(d):
    import highspy

    F, C = d["cost"].shape
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    n = F + F * C
    h.addVars(n, np.zeros(n), np.ones(n))
    h.changeColsCost(n, np.arange(n, dtype=np.int32), np.r_[d["open"], d["cost"].ravel()])
    h.changeColsIntegrality(F, np.arange(F, dtype=np.int32), np.full(F, highspy.HighsVarType.kInteger))
    A = sp.vstack([sp.hstack([sp.csr_matrix((C, F)), sp.kron(np.ones((1, F)), sp.eye(C))]),
                   sp.hstack([-sp.diags(d["capacity"]), sp.kron(sp.eye(F), d["demand"][None, :])])]).tocsr()
    lower, upper = np.r_[np.ones(C), np.full(F, -highspy.kHighsInf)], np.r_[np.ones(C), np.zeros(F)]
    h.addRows(C + F, lower, upper, A.nnz, A.indptr[:-1].astype(np.int32), A.indices.astype(np.int32), A.data)
    return lambda: (h.run(), h.getInfo().objective_function_value)[1]


# ---------------------------------------------------------------- portfolio
def portfolio_velto(d):
    n = d["mu"].size
    m = velto.Model()
    m.add_variables(n, lb=0, obj=-d["mu"])
    m.set_quadratic_objective(2 * d["gamma"] * d["Sigma"])  # 0.5 x'Qx = gamma x'Sigma x
    m.add_constraint((np.arange(n), np.ones(n)), lb=1, ub=1)
    return lambda: m.solve().objective


def portfolio_cvxpy(d):
    import cvxpy as cp

    x = cp.Variable(d["mu"].size, nonneg=True)
    problem = cp.Problem(cp.Minimize(d["gamma"] * cp.quad_form(x, d["Sigma"], assume_PSD=True) - d["mu"] @ x),
                         [cp.sum(x) == 1])
    return lambda: problem.solve()


def portfolio_highspy(d):
    import highspy

    n = d["mu"].size
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    h.addVars(n, np.zeros(n), np.full(n, highspy.kHighsInf))
    h.changeColsCost(n, np.arange(n, dtype=np.int32), -d["mu"])
    h.addRow(1, 1, n, np.arange(n, dtype=np.int32), np.ones(n))
    Q = sp.csc_matrix(np.tril(2 * d["gamma"] * d["Sigma"]))
    h.passHessian(n, Q.nnz, highspy.HessianFormat.kTriangular, Q.indptr.astype(np.int32),
                  Q.indices.astype(np.int32), Q.data)
    return lambda: (h.run(), h.getInfo().objective_function_value)[1]


# ----------------------------------------------------------------- logistic
def logistic_velto(d):
    A, y, lam = d["A"], d["y"], d["lam"]
    n, k = A.shape
    m = velto.Model()
    w = m.add_variables(k, lb=-np.inf)
    t, u, v = (m.add_variables(n, lb=-np.inf) for _ in range(3))
    r = m.add_variable()
    m.set_objective({**dict.fromkeys(t, 1.0), r: lam / 2})
    m.add_constraints(sp.hstack([sp.csr_matrix((n, k + n)), sp.eye(n), sp.eye(n), sp.csr_matrix((n, 1))]), ub=1)
    # t_i >= log(1 + exp(z_i)), z = -y * A w:  u_i >= exp(-t_i), v_i >= exp(z_i - t_i), u + v <= 1
    i = np.arange(n)
    rows = np.r_[3 * i, 3 * i + 2, 3 * n + 3 * i, 3 * n + 3 * i + 2, np.repeat(3 * n + 3 * i + 2, k)]
    cols = np.r_[u.start + i, t.start + i, v.start + i, t.start + i, np.tile(np.arange(k), n)]
    vals = np.r_[np.ones(n), -np.ones(n), np.ones(n), -np.ones(n), (-y[:, None] * A).ravel()]
    m.add_conic_constraints("exponential", (rows, cols, vals), np.tile([0.0, 1.0, 0.0], 2 * n), size=3)
    m.add_conic_constraint("rotated_quadratic", [{r: 1.0}, {}] + [{j: 1.0} for j in w], np.r_[0, 0.5, np.zeros(k)])
    return lambda: m.solve().objective


def logistic_cvxpy(d):
    import cvxpy as cp

    w = cp.Variable(d["A"].shape[1])
    loss = cp.sum(cp.logistic(-cp.multiply(d["y"], d["A"] @ w)))
    problem = cp.Problem(cp.Minimize(loss + d["lam"] / 2 * cp.sum_squares(w)))
    return lambda: problem.solve()


def logistic_builds(d, repeat):
    """Building the logistic regression alone: velto with the cones in one
    call and one call per cone, cvxpy with its compilation for the solver
    (the part of its solve that turns the expressions into a conic problem)."""
    import cvxpy as cp

    def velto_one_by_one():
        A, y = d["A"], d["y"]
        n, k = A.shape
        m = velto.Model()
        w = m.add_variables(k, lb=-np.inf)
        t, u, v = (m.add_variables(n, lb=-np.inf) for _ in range(3))
        for i in range(n):
            m.add_conic_constraint("exponential", [{u[i]: 1.0}, {}, {t[i]: -1.0}], [0.0, 1.0, 0.0])
            z = {w[j]: -y[i] * A[i, j] for j in range(k)}
            m.add_conic_constraint("exponential", [{v[i]: 1.0}, {}, {**z, t[i]: -1.0}], [0.0, 1.0, 0.0])

    def cvxpy_compiled():
        solve = logistic_cvxpy(d)
        problem = solve.__closure__[0].cell_contents  # the problem that the solve closure holds
        problem.get_problem_data(cp.CLARABEL)

    ways = {"velto, one call": lambda: logistic_velto(d), "velto, a call per cone": velto_one_by_one,
            "cvxpy + compilation": cvxpy_compiled}
    for name, build in ways.items():
        best = float("inf")
        for _ in range(repeat):
            start = time.perf_counter()
            build()
            best = min(best, time.perf_counter() - start)
        print(f"logistic build, {name:<24} {best:9.4f} s")


MODELS = {"transport": transport_data, "facility": facility_data, "portfolio": portfolio_data,
          "logistic": logistic_data}
WAYS = ("velto", "cvxpy", "highspy")


def lines_of(function):
    """Non-blank, non-comment lines of a function's body."""
    body = inspect.getsource(function).splitlines()[1:]
    return sum(1 for line in body if line.strip() and not line.strip().startswith("#"))


def measure(build, data, repeat):
    best_build = best_solve = float("inf")
    objective = None
    for _ in range(repeat):
        start = time.perf_counter()
        solve = build(data)
        built = time.perf_counter()
        objective = solve()
        done = time.perf_counter()
        best_build, best_solve = min(best_build, built - start), min(best_solve, done - built)
    return best_build, best_solve, objective


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--models", default=",".join(MODELS))
    args = parser.parse_args(argv)
    print(f"{'model':<10} {'way':<8} {'lines':>5} {'build s':>9} {'solve s':>9} {'total s':>9} {'objective':>16}")
    failures = 0
    for name in args.models.split(","):
        data = MODELS[name]()
        objectives = {}
        for way in WAYS:
            build = globals().get(f"{name}_{way}")
            if build is None:
                print(f"{name:<10} {way:<8} {'-':>5}   (no such model in {way})")
                continue
            try:
                b, s, objective = measure(build, data, args.repeat)
            except ImportError as e:
                print(f"{name:<10} {way:<8}   not installed ({e.name})")
                continue
            objectives[way] = objective
            print(f"{name:<10} {way:<8} {lines_of(build):>5} {b:>9.4f} {s:>9.4f} {b + s:>9.4f} {objective:>16.8g}")
        values = list(objectives.values())
        if values and max(values) - min(values) > 1e-5 * max(1.0, abs(values[0])):
            print(f"{name}: the objective values differ: {objectives}")
            failures += 1
    if "logistic" in args.models.split(","):
        logistic_builds(MODELS["logistic"](), args.repeat)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
