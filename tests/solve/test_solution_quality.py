"""Violations, summary figures, norms and reduced costs of solutions, checked
against the same quantities computed here with numpy from the problem's data,
at solutions the optimizer found and at perturbed ones."""
import math

import numpy as np
import pytest

from arrays import f64, i32, i64

LO, UP, FX, FR, RA = 0, 1, 2, 3, 4
ITR, BAS, ITG = 0, 1, 2
MIN, MAX = 0, 1
CT_QUAD, CT_RQUAD = 0, 1


class LinearModel:
    """A random problem with every kind of bound, a quadratic objective and one
    quadratic constraint, held in numpy and entered into a task."""

    def __init__(self, task, seed, sense):
        rng = np.random.default_rng(seed)
        self.m, self.n = 5, 7
        self.A = rng.normal(size=(self.m, self.n)) * (rng.random((self.m, self.n)) < 0.6)
        self.c = rng.normal(size=self.n)
        self.cfix = 0.75
        self.sense = sense
        self.bkc = np.array([LO, UP, FX, FR, RA], np.int32)
        self.bkx = np.array([LO, UP, FX, FR, RA, LO, RA], np.int32)
        self.blc, self.buc = rng.uniform(-3, -1, self.m), rng.uniform(1, 3, self.m)
        self.blx, self.bux = rng.uniform(-3, -1, self.n), rng.uniform(1, 3, self.n)
        for keys, lo, up in ((self.bkc, self.blc, self.buc), (self.bkx, self.blx, self.bux)):
            up[keys == FX] = lo[keys == FX]
            lo[(keys == UP) | (keys == FR)] = -np.inf
            up[(keys == LO) | (keys == FR)] = np.inf
        self.Q = np.diag(rng.uniform(0.5, 1.5, self.n))   # objective 0.5 x'Qx
        self.Q[1, 0] = self.Q[0, 1] = 0.2
        self.Qc = np.zeros((self.n, self.n))                # row 1: ... + 0.5 x'Qc x
        self.Qc[2, 2], self.Qc[3, 3] = 1.0, 2.0
        if sense == MAX:
            self.Q = -self.Q

        task.appendcons_i_2(self.m)
        task.appendvars_i_2(self.n)
        task.putobjsense_i_2(sense)
        task.putcslice_iiO_4(0, self.n, f64(self.c))
        task.putcfix_d_2(self.cfix)
        for i in range(self.m):
            cols = np.flatnonzero(self.A[i])
            task.putarow_iOO_4(i, i32(cols), f64(self.A[i, cols]))
            task.putconbound_iidd_5(i, int(self.bkc[i]), *finite(self.blc[i], self.buc[i]))
        for j in range(self.n):
            task.putvarbound_iidd_5(j, int(self.bkx[j]), *finite(self.blx[j], self.bux[j]))
        low = np.tril_indices(self.n)
        keep = self.Q[low] != 0
        task.putqobj_OOO_4(i32(low[0][keep]), i32(low[1][keep]), f64(self.Q[low][keep]))
        task.putqconk_iOOO_5(1, i32([2, 3]), i32([2, 3]), f64([1.0, 2.0]))

    def activity(self, x):
        a = self.A @ x
        a[1] += 0.5 * x @ self.Qc @ x
        return a

    def reduced_costs(self, x, y, snx):
        return self.c + self.Q @ x - self.A.T @ y - y[1] * (self.Qc @ x) - snx

    def primal_objective(self, x):
        return self.c @ x + self.cfix + 0.5 * x @ self.Q @ x


def finite(lo, up):
    return (0.0 if math.isinf(lo) else lo), (0.0 if math.isinf(up) else up)


def bound_violation(x, lo, up):
    return np.maximum(0, np.maximum(np.nan_to_num(lo - x, nan=0.0, neginf=0.0),
                                    np.nan_to_num(x - up, nan=0.0, neginf=0.0)))


def multiplier_violation(sign, lo, up, sl, su):
    v = np.maximum.reduce([np.zeros_like(sl), -sign * sl, -sign * su])
    v = np.where(np.isinf(lo), np.maximum(v, abs(sl)), v)
    return np.where(np.isinf(up), np.maximum(v, abs(su)), v)


def doubles(method, *args):
    out = bytearray()
    assert method(*args, out) == (0, None)
    return np.frombuffer(bytes(out))


def listed(task, name, sol, count):
    """A violation getter through both variants, on every item in reverse order."""
    sub = np.arange(count, dtype=np.int32)[::-1].copy()
    view = np.full(count, -1.0)
    assert getattr(task, f"get{name}_iOO_4")(sol, memoryview(sub), memoryview(view)) == (0, None)
    assert doubles(getattr(task, f"get{name}_iOO_3"), sol, memoryview(sub)).tolist() == view.tolist()
    return view[::-1]


def put_random_solution(task, model, sol, rng):
    values = {"xc": rng.normal(size=model.m) * 3, "xx": rng.normal(size=model.n) * 3}
    for name, size in (("y", model.m), ("slc", model.m), ("suc", model.m), ("slx", model.n), ("sux", model.n),
                       ("snx", model.n)):
        values[name] = rng.normal(size=size)
    order = ["xc", "xx", "y", "slc", "suc", "slx", "sux", "snx"]
    assert task.putsolution_iOOOOOOOOOOO_13(sol, None, None, None, *[f64(values[k]) for k in order]) == (0, None)
    if sol == ITG:
        for k in order[2:]:
            values[k] = np.zeros_like(values[k])
    return values


@pytest.mark.parametrize("sense", [MIN, MAX])
@pytest.mark.parametrize("sol", [ITR, BAS, ITG])
def test_violations_norms_and_figures_match_numpy(task, sense, sol):
    model = LinearModel(task, seed=3 + sol + 7 * sense, sense=sense)
    v = put_random_solution(task, model, sol, np.random.default_rng(sol))
    sign = -1.0 if sense == MAX else 1.0
    x = v["xx"]

    pcon = np.maximum(bound_violation(v["xc"], model.blc, model.buc), abs(v["xc"] - model.activity(x)))
    pvar = bound_violation(x, model.blx, model.bux)
    rc = model.reduced_costs(x, v["y"], v["snx"])
    if sol == ITG:
        dcon, dvar = np.zeros(model.m), np.zeros(model.n)
    else:
        dcon = np.maximum(multiplier_violation(sign, model.blc, model.buc, v["slc"], v["suc"]),
                          abs(v["y"] - v["slc"] + v["suc"]))
        dvar = np.maximum.reduce([multiplier_violation(sign, model.blx, model.bux, v["slx"], v["sux"]),
                                  abs(v["snx"]), abs(rc - v["slx"] + v["sux"])])  # no variable is in a cone
    np.testing.assert_allclose(listed(task, "pviolcon", sol, model.m), pcon, rtol=1e-13, atol=1e-13)
    np.testing.assert_allclose(listed(task, "pviolvar", sol, model.n), pvar, rtol=1e-13, atol=1e-13)
    np.testing.assert_allclose(listed(task, "dviolcon", sol, model.m), dcon, rtol=1e-13, atol=1e-13)
    np.testing.assert_allclose(listed(task, "dviolvar", sol, model.n), dvar, rtol=1e-13, atol=1e-13)
    np.testing.assert_allclose(doubles(task.getreducedcosts_iiiO_4, sol, 2, 6), rc[2:6], rtol=1e-13, atol=1e-13)

    res, info = task.getsolutioninfonew_i_2(sol)
    assert res == 0
    finite_side = lambda bound, mult: np.where(np.isinf(bound), 0.0, bound * mult)
    dobj = (model.cfix + finite_side(model.blc, v["slc"]).sum() - finite_side(model.buc, v["suc"]).sum()
            + finite_side(model.blx, v["slx"]).sum() - finite_side(model.bux, v["sux"]).sum()
            - 0.5 * x @ model.Q @ x + v["y"][1] * 0.5 * x @ model.Qc @ x) if sol != ITG else model.primal_objective(x)
    expected = [model.primal_objective(x), pcon.max(), pvar.max(), 0, 0, 0, 0, 0,
                dobj, dcon.max(), dvar.max(), 0, 0, 0]
    np.testing.assert_allclose(info, expected, rtol=1e-12, atol=1e-12)
    # The older form: the same figures without those of the affine conic and disjunctive constraints.
    assert task.getsolutioninfo_i_2(sol) == (0, tuple(info[k] for k in (0, 1, 2, 3, 4, 7, 8, 9, 10, 11, 12)))

    norms = {k: abs(v[k]).max() for k in v}
    assert task.getprimalsolutionnorms_i_2(sol) == (0, (norms["xc"], norms["xx"], 0.0))
    assert task.getdualsolutionnorms_i_2(sol) == (0, tuple(norms[k] for k in ("y", "slc", "suc", "slx", "sux", "snx"))
                                                    + (0.0,))


def test_an_optimal_solution_has_no_violation_and_matches_the_information_items(task):
    # A linear problem (interior-point and basic solutions) with every kind of bound.
    rng = np.random.default_rng(5)
    m, n = 6, 9
    A = rng.normal(size=(m, n))
    x0 = rng.uniform(-1, 1, n)                 # feasible point
    task.appendcons_i_2(m)
    task.appendvars_i_2(n)
    for i in range(m):
        task.putarow_iOO_4(i, i32(range(n)), f64(A[i]))
        task.putconbound_iidd_5(i, [LO, UP, RA, FX, LO, UP][i], A[i] @ x0 - 1, A[i] @ x0 + 1)
    task.putconbound_iidd_5(3, FX, A[3] @ x0, A[3] @ x0)
    for j in range(n):
        task.putvarbound_iidd_5(j, RA, -2.0, 2.0)
    task.putcslice_iiO_4(0, n, f64(rng.normal(size=n)))
    assert task.optimizetrm__1() == (0, 0)
    for sol in (ITR, BAS):
        _, info = task.getsolutioninfonew_i_2(sol)
        assert max(info[1:8] + info[9:]) < 1e-8
        assert info[0] == pytest.approx(info[8], rel=1e-7)
        assert task.getprimalobj_i_2(sol) == (0, info[0])


# ------------------------------------------------------------------ cones

def soc_distance(v):
    """Distance from the quadratic cone through its spectral decomposition."""
    t, u = v[0], v[1:]
    nu = np.linalg.norm(u)
    direction = u / nu if nu > 0 else np.eye(len(u))[0] if len(u) else u
    parts = [(t - nu, np.r_[0.5, -0.5 * direction]), (t + nu, np.r_[0.5, 0.5 * direction])]
    projection = sum(max(lam, 0.0) * vec for lam, vec in parts)
    return np.linalg.norm(v - projection)


def rsoc_distance(v):
    w = np.r_[(v[0] + v[1]) / math.sqrt(2), (v[0] - v[1]) / math.sqrt(2), v[2:]]
    return soc_distance(w)


def psd_distance(v, d):
    m = np.zeros((d, d))
    at = 0
    for col in range(d):
        for row in range(col, d):
            m[row, col] = m[col, row] = v[at] if row == col else v[at] / math.sqrt(2)
            at += 1
    return math.sqrt(sum(min(lam, 0.0) ** 2 for lam in np.linalg.eigvalsh(m)))


# Domains of the affine conic constraints: appender, its arguments, dimension,
# and the reference distance of a point from the domain and from its dual.
DOMAINS = [
    ("appendquadraticconedomain_L_2", (4,), 4, soc_distance, soc_distance),
    ("appendrquadraticconedomain_L_2", (4,), 4, rsoc_distance, rsoc_distance),
    ("appendrplusdomain_L_2", (3,), 3, lambda v: np.linalg.norm(np.minimum(v, 0)),
     lambda v: np.linalg.norm(np.minimum(v, 0))),
    ("appendrminusdomain_L_2", (2,), 2, lambda v: np.linalg.norm(np.maximum(v, 0)),
     lambda v: np.linalg.norm(np.maximum(v, 0))),
    ("appendrzerodomain_L_2", (2,), 2, np.linalg.norm, lambda v: 0.0),
    ("appendrdomain_L_2", (2,), 2, lambda v: 0.0, np.linalg.norm),
    ("appendsvecpsdconedomain_L_2", (6,), 6, lambda v: psd_distance(v, 3), lambda v: psd_distance(v, 3)),
]


@pytest.mark.parametrize("sense", [MIN, MAX])
def test_cone_and_acc_violations_match_numpy(task, sense):
    rng = np.random.default_rng(11 + sense)
    sign = -1.0 if sense == MAX else 1.0
    n = 8
    task.appendvars_i_2(n)
    task.putobjsense_i_2(sense)
    for j in range(n):
        task.putvarbound_iidd_5(j, FR, 0.0, 0.0)
    assert task.appendcone_idO_4(CT_QUAD, 0.0, i32([0, 2, 4])) == (0, None)
    assert task.appendcone_idO_4(CT_RQUAD, 0.0, i32([1, 3, 5, 6])) == (0, None)
    # Every ACC reads random rows of F x + g, less b.
    rows = sum(d[2] for d in DOMAINS)
    F, g = rng.normal(size=(rows, n)) * (rng.random((rows, n)) < 0.5), rng.normal(size=rows)
    b = rng.normal(size=rows)
    task.appendafes_L_2(rows)
    for r in range(rows):
        cols = np.flatnonzero(F[r])
        task.putafefrow_LOO_4(r, i32(cols), f64(F[r, cols]))
    task.putafegslice_LLO_4(0, rows, f64(g))
    first = 0
    for appender, args, dim, _, _ in DOMAINS:
        _, dom = getattr(task, appender)(*args)
        assert task.appendacc_LOO_4(dom, i64(range(first, first + dim)), f64(b[first:first + dim])) == (0, None)
        first += dim

    x, snx, doty = rng.normal(size=n) * 2, rng.normal(size=n), rng.normal(size=rows)
    assert task.putxx_iO_3(ITR, f64(x)) == (0, None)
    assert task.putsnx_iO_3(ITR, f64(snx)) == (0, None)
    first = 0
    for k, (_, _, dim, _, _) in enumerate(DOMAINS):
        assert task.putaccdoty_iLO_4(ITR, k, f64(doty[first:first + dim])) == (0, None)
        first += dim

    np.testing.assert_allclose(listed(task, "pviolcones", ITR, 2), [soc_distance(x[[0, 2, 4]]),
                                                                    rsoc_distance(x[[1, 3, 5, 6]])], atol=1e-13)
    np.testing.assert_allclose(listed(task, "dviolcones", ITR, 2), [soc_distance(sign * snx[[0, 2, 4]]),
                                                                    rsoc_distance(sign * snx[[1, 3, 5, 6]])],
                               atol=1e-13)
    activity = F @ x + g - b
    np.testing.assert_allclose(doubles(task.evaluateaccs_iO_2, ITR), activity, rtol=1e-13, atol=1e-13)
    np.testing.assert_allclose(doubles(task.getaccdotys_iO_2, ITR), doty, rtol=0, atol=0)
    primal, dual, first = [], [], 0
    for k, (_, _, dim, distance, dual_distance) in enumerate(DOMAINS):
        part = slice(first, first + dim)
        np.testing.assert_allclose(doubles(task.evaluateacc_iLO_3, ITR, k), activity[part], rtol=1e-13, atol=1e-13)
        primal.append(distance(activity[part]))
        dual.append(dual_distance(sign * doty[part]))
        first += dim
    pacc, dacc = np.empty(len(DOMAINS)), np.empty(len(DOMAINS))
    idx = np.arange(len(DOMAINS), dtype=np.int64)
    assert task.getpviolacc_iOO_4(ITR, memoryview(idx), memoryview(pacc)) == (0, None)
    assert task.getdviolacc_iOO_4(ITR, memoryview(idx), memoryview(dacc)) == (0, None)
    np.testing.assert_allclose(pacc, primal, rtol=1e-12, atol=1e-13)
    np.testing.assert_allclose(dacc, dual, rtol=1e-12, atol=1e-13)
    # Reduced costs take F'doty; the dual objective takes doty'(b - g).
    rc = -F.T @ doty - snx
    np.testing.assert_allclose(doubles(task.getreducedcosts_iiiO_4, ITR, 0, n), rc, rtol=1e-12, atol=1e-12)
    _, info = task.getsolutioninfonew_i_2(ITR)
    assert info[8] == pytest.approx(doty @ (b - g), rel=1e-12)
    assert info[4] == pytest.approx(max(listed(task, "pviolcones", ITR, 2)))
    assert info[5] == pytest.approx(max(primal)) and info[13] == pytest.approx(max(dual))
    assert task.getsolutioninfo_i_2(ITR)[1][4] == pytest.approx(max(info[4], info[5]))


@pytest.mark.parametrize("domain, alpha, point, violation", [
    ("exp", None, [2.0, 1.0, 0.5], 0.0),                       # 2 >= e^0.5
    ("exp", None, [1.0, 1.0, 1.0], math.e - 1.0),
    ("exp", None, [0.0, 0.0, -1.0], 0.0),                      # the closure at x2 = 0
    ("exp", None, [1.0, -0.5, 0.0], 0.5),
    ("dexp", None, [1.0, 0.0, -1.0], 0.0),
    ("dexp", None, [0.1, 0.0, -1.0], math.exp(-1.0) - 0.1),
    ("pow", [1.0, 1.0], [4.0, 1.0, 1.0], 0.0),                 # sqrt(4 * 1) >= 1
    ("pow", [3.0, 1.0], [1.0, 1.0, 3.0], 2.0),
    ("dpow", [1.0, 1.0], [1.0, 1.0, 1.5], 0.0),                # (2 * 1)^0.5 (2 * 1)^0.5 = 2
    ("geo", None, [1.0, 4.0, 3.0], 1.0),                       # sqrt(4) = 2 < 3
    ("dgeo", None, [1.0, 4.0, 3.0], 0.0),                      # 2 sqrt(4) = 4 >= 3
])
def test_exponential_power_and_geometric_mean_violations(task, domain, alpha, point, violation):
    n = len(point)
    appenders = {"exp": lambda: task.appendprimalexpconedomain__1(),
                 "dexp": lambda: task.appenddualexpconedomain__1(),
                 "pow": lambda: task.appendprimalpowerconedomain_LO_3(n, f64(alpha)),
                 "dpow": lambda: task.appenddualpowerconedomain_LO_3(n, f64(alpha)),
                 "geo": lambda: task.appendprimalgeomeanconedomain_L_2(n),
                 "dgeo": lambda: task.appenddualgeomeanconedomain_L_2(n)}
    res, dom = appenders[domain]()
    assert res == 0
    task.appendvars_i_2(n)
    task.appendafes_L_2(n)
    task.putafefentrylist_OOO_4(i64(range(n)), i32(range(n)), f64([1.0] * n))
    task.appendacc_LOO_4(dom, i64(range(n)), None)
    task.putxx_iO_3(ITR, f64(point))
    viol = np.empty(1)
    assert task.getpviolacc_iOO_4(ITR, i64([0]), memoryview(viol)) == (0, None)
    assert viol[0] == pytest.approx(violation, abs=1e-14)


def test_acc_duals_of_the_integer_solution_are_zero_and_items_are_checked(task):
    task.appendvars_i_2(2)
    task.appendafes_L_2(2)
    _, dom = task.appendrplusdomain_L_2(2)
    task.appendacc_LOO_4(dom, i64([0, 1]), None)
    assert task.putaccdoty_iLO_4(ITG, 0, f64([1.0, 2.0])) == (0, None)
    assert doubles(task.getaccdoty_iLO_3, ITG, 0).tolist() == [0.0, 0.0]
    assert task.putaccdoty_iLO_4(BAS, 0, f64([1.0, 2.0])) == (0, None)
    assert doubles(task.getaccdoty_iLO_3, BAS, 0).tolist() == [1.0, 2.0]
    # Unknown items are refused with their own codes; nothing is written.
    viol = np.array([7.0])
    for method, arg, code in [("getpviolacc_iOO_4", i64([1]), 1207), ("getpvioldjc_iOO_4", i64([0]), 1208),
                              ("getpviolbarvar_iOO_4", i32([0]), 1204), ("getpviolcones_iOO_4", i32([0]), 1203),
                              ("getpviolcon_iOO_4", i32([0]), 1201), ("getdviolvar_iOO_4", i32([2]), 1202)]:
        assert getattr(task, method)(BAS, arg, memoryview(viol)) == (code, None)
        assert viol[0] == 7.0
    assert task.getpviolvar_iOO_4(ITR, i32([0]), memoryview(viol)) == (1600, None)   # undefined solution
    assert task.putaccdoty_iLO_4(BAS, 0, f64([math.nan, 0.0]))[0] == 1302


@pytest.mark.parametrize("x, violation", [([1.0, -5.0], 0.0), ([2.0, -1.0], 1.0), ([2.5, -0.25], 0.5),
                                          ([3.0, 0.0], 0.0)])
def test_disjunctive_violation_is_that_of_the_best_term(task, x, violation):
    # (x0 - 1 = 0)  or  (x0 - 3 = 0 and x1 >= 0)
    task.appendvars_i_2(2)
    task.appendafes_L_2(2)
    task.putafefentrylist_OOO_4(i64([0, 1]), i32([0, 1]), f64([1.0, 1.0]))
    _, zero = task.appendrzerodomain_L_2(1)
    _, plus = task.appendrplusdomain_L_2(1)
    task.appenddjcs_L_2(1)
    assert task.putdjc_LOOOO_6(0, i64([zero, zero, plus]), i64([0, 0, 1]), f64([1.0, 3.0, 0.0]),
                               i64([1, 2])) == (0, None)
    task.putxx_iO_3(ITG, f64(x))
    viol = np.empty(1)
    assert task.getpvioldjc_iOO_4(ITG, i64([0]), memoryview(viol)) == (0, None)
    assert viol[0] == pytest.approx(violation)
    assert task.getsolutioninfonew_i_2(ITG)[1][6] == pytest.approx(violation)


def test_information_items_and_solution_analysis_agree_with_the_figures(task):
    # One violated constraint, variable and ACC; the analysis names the worst first.
    task.appendcons_i_2(3)
    task.appendvars_i_2(2)
    for i, (lo, up) in enumerate([(0.0, 1.0), (-1.0, 1.0), (2.0, 2.0)]):
        task.putconbound_iidd_5(i, RA, lo, up)
    task.putvarbound_iidd_5(1, LO, 0.0, 0.0)
    task.appendafes_L_2(1)
    task.putafefentrylist_OOO_4(i64([0]), i32([1]), f64([1.0]))
    _, dom = task.appendrplusdomain_L_2(1)
    task.appendacc_LOO_4(dom, i64([0]), None)
    task.putxc_iO_3(ITR, f64([1.5, 0.0, -1.0]))          # off the empty rows by 1.5 and 1, bounds by 0.5 and 3
    task.putxx_iO_3(ITR, f64([0.0, -0.25]))              # variable 1 and the ACC by 0.25
    res, info = task.getsolutioninfonew_i_2(ITR)
    assert info[1:3] == (3.0, 0.25) and info[5] == 0.25
    assert task.updatesolutioninfo_i_2(ITR) == (0, None)
    for item, figure in [(106, info[1]), (108, info[2]), (104, info[5]), (87, info[8]), (92, info[10])]:
        assert task.getdouinf_i_2(item) == (0, figure)
    lines = []
    task.set_Stream(1, lines.append)
    assert task.analyzesolution_ii_3(1, ITR) == (0, None)
    text = "".join(lines)
    assert text.index("constraint 2 is violated by 3.000e+00") < text.index("constraint 0 is violated by 1.500e+00")
    assert "variable 1 is violated by 2.500e-01" in text and "affine conic constraint 0 is violated by 2.500e-01" in text
    assert "acc: 2e-01" in text


def packed(m):
    """The lower triangle of a symmetric matrix, column by column."""
    return np.array([m[r, c] for c in range(m.shape[0]) for r in range(c, m.shape[0])])


@pytest.mark.parametrize("sense", [MIN, MAX])
def test_semidefinite_violations_at_an_optimum_and_off_it(task, sense):
    # min (max) <C, X>  s.t.  <I, X> = 1, X psd:  X = v v' for the extreme eigenvector v of C,
    # y its eigenvalue, S = C - y I.
    C = np.array([[2.0, 1.0], [1.0, 3.0]])
    task.appendcons_i_2(1)
    task.appendbarvars_O_2(i32([2]))
    _, c = task.appendsparsesymmat_iOOO_5(2, i32([0, 1, 1]), i32([0, 0, 1]), f64([2.0, 1.0, 3.0]))
    _, e = task.appendsparsesymmat_iOOO_5(2, i32([0, 1]), i32([0, 1]), f64([1.0, 1.0]))
    task.putbarcj_iOO_4(0, i64([c]), f64([1.0]))
    task.putbaraij_iiOO_5(0, 0, i64([e]), f64([1.0]))
    task.putconbound_iidd_5(0, FX, 1.0, 1.0)
    task.putobjsense_i_2(sense)
    values, vectors = np.linalg.eigh(C)
    k = 0 if sense == MIN else 1
    X, y = np.outer(vectors[:, k], vectors[:, k]), values[k]
    task.putbarxj_iiO_4(ITR, 0, f64(packed(X)))
    task.putbarsj_iiO_4(ITR, 0, f64(packed(C - y * np.eye(2))))
    task.puty_iO_3(ITR, f64([y]))                 # y = slc - suc, multipliers <= 0 when maximizing
    if sense == MIN:
        task.putslc_iO_3(ITR, f64([y]))
    else:
        task.putsuc_iO_3(ITR, f64([-y]))
    task.putxc_iO_3(ITR, f64([1.0]))
    _, info = task.getsolutioninfonew_i_2(ITR)
    assert max(info[1:8] + info[9:]) < 1e-12 and info[0] == pytest.approx(y)
    # Off the optimum: a matrix that is not semidefinite, and S no longer C - yI.
    Xbad, Sbad = np.array([[1.0, 2.0], [2.0, -1.0]]), np.array([[0.5, 0.0], [0.0, 0.25]])
    task.putbarxj_iiO_4(ITR, 0, f64(packed(Xbad)))
    task.putbarsj_iiO_4(ITR, 0, f64(packed(Sbad)))
    viol = np.zeros(2)
    assert task.getpviolbarvar_iOO_4(ITR, i32([0]), memoryview(viol[:1])) == (0, None)
    assert task.getdviolbarvar_iOO_4(ITR, i32([0]), memoryview(viol[1:])) == (0, None)
    s = -1.0 if sense == MAX else 1.0
    residual = C - y * np.eye(2) - Sbad
    psd = lambda m: np.linalg.norm(np.minimum(np.linalg.eigvalsh(m), 0))
    assert viol[0] == pytest.approx(psd(Xbad))
    assert viol[1] == pytest.approx(max(psd(s * Sbad), abs(packed(residual)).max()))
    _, info = task.getsolutioninfonew_i_2(ITR)
    assert info[1] == pytest.approx(abs(1.0 - np.trace(Xbad)))      # xc against <I, X>
    assert task.getprimalsolutionnorms_i_2(ITR) == (0, (1.0, 0.0, 2.0))
    assert task.getdualsolutionnorms_i_2(ITR)[1][6] == 0.5
    assert task.getpviolbarvar_iOO_4(ITR, i32([1]), memoryview(viol[:1]))[0] == 1204
