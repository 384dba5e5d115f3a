"""Every status the optimizer stores is a promise about the task's own data:
a solution called feasible, optimal or integer optimal meets its rows,
bounds, cones and integrality, its objectives are finite numbers, and an
optimal interior-point solution closes the duality gap to the stated
tolerance.  The cases are those that once broke the promise: ill-posed
semidefinite and conic instances accepted near-optimally, a quadratic
constraint whose dual objective missed its Lagrangian term, time-limited
cardinality-constrained portfolios (branch and bound over cones), and huge
objective or quadratic coefficients."""
import pathlib

import numpy as np
import pytest
import velto

from arrays import f64, i32, i64

DATA = pathlib.Path(__file__).resolve().parents[3] / "shared" / "data" / "cbf"
BK_LO, BK_UP, BK_FX, BK_FR, BK_RA = 0, 1, 2, 3, 4
SOL_ITR, SOL_BAS, SOL_ITG = 0, 1, 2
OPTIMAL, PRIM_FEAS, DUAL_FEAS, PRIM_AND_DUAL_FEAS, DUAL_INFEAS_CER, INTEGER_OPTIMAL = 1, 2, 3, 4, 6, 9
# Statuses whose primal part is a promise: a feasible point, or a direction
# of the feasible set (the violations of a certificate are those of a
# direction: bounds taken as zero).
PRIMAL_CLAIMS = {OPTIMAL, PRIM_FEAS, PRIM_AND_DUAL_FEAS, INTEGER_OPTIMAL, DUAL_INFEAS_CER}
GAP_TOLERANCE = 1e-8  # the interior point's relative gap tolerances, at their defaults
# Violations are held to a tolerance far looser than the optimizers' own: the
# faults this guards against were violations of 1.0 and 1.25e7.
VIOLATION_TOLERANCE = 1e-6


def read_instance(name):
    def build(task):
        assert task.readdataautoformat_s_2(str(DATA / (name + ".cbf.gz")))[0] == 0
    return build


def quadratic_constraint(task):
    """min -x - y  s.t.  x^2 + y^2 <= 2: (1, 1), dual y = -0.5."""
    task.appendvars_i_2(2)
    task.putvarboundsliceconst_iiidd_6(0, 2, BK_FR, 0.0, 0.0)
    task.putclist_OO_3(i32([0, 1]), f64([-1.0, -1.0]))
    task.appendcons_i_2(1)
    task.putconbound_iidd_5(0, BK_UP, -np.inf, 2.0)
    task.putqconk_iOOO_5(0, i32([0, 1]), i32([0, 1]), f64([2.0, 2.0]))


def huge_quadratic(scale, seed):
    """A box-constrained convex QP with one coefficient of size `scale`."""
    def build(task):
        rng = np.random.default_rng(seed)
        n = 6
        task.appendvars_i_2(n)
        task.putvarboundsliceconst_iiidd_6(0, n, BK_RA, -10.0, 10.0)
        task.appendcons_i_2(3)
        for i in range(3):
            task.putarow_iOO_4(i, i32(range(n)), f64(rng.normal(size=n)))
            task.putconbound_iidd_5(i, BK_RA, -1.0, 1.0)
        task.putclist_OO_3(i32(range(n)), f64(rng.normal(size=n)))
        task.putcj_id_3(0, -3.0 * scale)
        task.putqobj_OOO_4(i32(range(n)), i32(range(n)), f64([scale] + [1.0] * (n - 1)))
    return build


def huge_linear_cost(seed):
    """A QP on a box with a cost of 1e15: bounded, so no certificate of dual
    infeasibility can exist (one was claimed, violating the box by 1)."""
    def build(task):
        huge_quadratic(1.0, seed)(task)
        task.putcj_id_3(0, 1e15)
    return build


def huge_integer_objective(conic, upper=10.0):
    """min -1e20 x0 + x1 with x0 integer in [0, upper], x0 + x1 <= 7.5 (and
    a ball).  With x0 binary the engine once reported the optimum as
    integer optimal with objective -inf."""
    def build(task):
        task.appendvars_i_2(2)
        task.putvarboundsliceconst_iiidd_6(0, 2, BK_RA, 0.0, 10.0)
        task.putvarbound_iidd_5(0, BK_RA, 0.0, upper)
        task.putvartype_ii_3(0, 1)
        task.putclist_OO_3(i32([0, 1]), f64([-1e20, 1.0]))
        task.appendcons_i_2(1)
        task.putarow_iOO_4(0, i32([0, 1]), f64([1.0, 1.0]))
        task.putconbound_iidd_5(0, BK_UP, -np.inf, 7.5)
        if conic:
            task.appendafes_L_2(3)
            task.putafefentrylist_OOO_4(i64([1, 2]), i32([0, 1]), f64([1.0, 1.0]))
            task.putafeg_Ld_3(0, 20.0)
            task.appendacc_LOO_4(task.appendquadraticconedomain_L_2(3)[1], i64([0, 1, 2]), None)
    return build


def portfolio(seed, risk_in_objective, n=30, k=5, seconds=0.2):
    """Cardinality-constrained portfolio: w >= 0, sum w = 1, w <= z, z binary,
    sum z <= k, the risk ||L'w|| (L the Cholesky factor of a random
    covariance) in a quadratic cone, under a short time limit.  Either the
    risk is minimized for a target return, or the return maximized within a
    risk budget."""
    def build(task):
        rng = np.random.default_rng(seed)
        f = rng.normal(size=(n, n)) * 0.1
        sigma = f @ f.T + np.diag(rng.uniform(0.01, 0.05, n))
        chol = np.linalg.cholesky(sigma)
        mu = rng.uniform(0.01, 0.2, n)
        task.appendvars_i_2(2 * n + 1)  # w, z, t
        task.putvarboundsliceconst_iiidd_6(0, 2 * n, BK_RA, 0.0, 1.0)
        task.putvarbound_iidd_5(2 * n, BK_FR, 0.0, 0.0)
        task.putvartypelist_OO_3(i32(range(n, 2 * n)), i32([1] * n))
        task.appendcons_i_2(n + 3)
        task.putarow_iOO_4(0, i32(range(n)), f64([1.0] * n))
        task.putconbound_iidd_5(0, BK_FX, 1.0, 1.0)
        for i in range(n):
            task.putarow_iOO_4(1 + i, i32([i, n + i]), f64([1.0, -1.0]))
            task.putconbound_iidd_5(1 + i, BK_UP, -np.inf, 0.0)
        task.putarow_iOO_4(n + 1, i32(range(n, 2 * n)), f64([1.0] * n))
        task.putconbound_iidd_5(n + 1, BK_UP, -np.inf, float(k))
        task.putarow_iOO_4(n + 2, i32(range(n)), f64(mu))
        rows, cols, vals = [0], [2 * n], [1.0]
        for r in range(n):
            for c in range(r, n):
                rows.append(1 + r), cols.append(c), vals.append(chol[c, r])
        task.appendafes_L_2(n + 1)
        task.putafefentrylist_OOO_4(i64(rows), i32(cols), f64(vals))
        task.appendacc_LOO_4(task.appendquadraticconedomain_L_2(n + 1)[1], i64(range(n + 1)), None)
        if risk_in_objective:
            task.putcj_id_3(2 * n, 1.0)
            task.putconbound_iidd_5(n + 2, BK_LO, 0.9 * np.sort(mu)[-k:].mean(), np.inf)
        else:
            task.putobjsense_i_2(1)
            task.putcslice_iiO_4(0, n, f64(mu))
            budget = np.sqrt(np.diag(sigma)).mean() / np.sqrt(k)
            task.putvarbound_iidd_5(2 * n, BK_RA, 0.0, budget)
            task.putconbound_iidd_5(n + 2, BK_FR, -np.inf, np.inf)
        task.putdouparam_id_3(velto.DParam.MIO_MAX_TIME, seconds)
    return build


CASES = {
    # accepted near-optimally: the gap of 1.3e-7 was reported optimal
    "sdplib_hinf4": read_instance("sdplib_hinf4"),
    "varun": read_instance("varun"),
    "quadratic_constraint": quadratic_constraint,
    **{"huge_quadratic_%g_%d" % (s, k): huge_quadratic(s, k) for s in (1e14, 1e15) for k in range(2)},
    **{"huge_linear_cost_%d" % k: huge_linear_cost(k) for k in range(2)},
    "integer_objective_1e20": huge_integer_objective(False),
    "integer_objective_binary_1e20": huge_integer_objective(False, upper=1.0),
    "conic_integer_objective_1e20": huge_integer_objective(True),
    **{"portfolio_%s_%d" % (form, seed): portfolio(seed, form == "risk")
       for form in ("risk", "return") for seed in range(3)},
}


# The engine's linear MIP takes 1e20 as an infinite cost, and a cost of
# 1e15 on a box leaves the interior point without a settled answer.
MAY_END_UNKNOWN = ("integer_objective", "huge_linear_cost")
# An objective coefficient beyond DATA_TOL_C_HUGE (1e16 by default) is
# refused before any optimizer runs: no answer, so no claim to hold.
REFUSED_AS_HUGE = {"conic_integer_objective_1e20", "integer_objective_1e20", "integer_objective_binary_1e20"}
RES_ERR_INF_VALUE = 1303  # what the data check answers for a huge value


@pytest.mark.parametrize("name", CASES)
def test_every_stored_status_holds_on_the_problem_data(task, name):
    CASES[name](task)
    res, trm = task.optimizetrm__1()
    if name in REFUSED_AS_HUGE:
        assert res == RES_ERR_INF_VALUE and all(task.solutiondef_i_2(s) == (0, 0) for s in (SOL_ITR, SOL_BAS, SOL_ITG))
        return
    assert res == 0
    claims = 0
    for sol in (SOL_ITR, SOL_BAS, SOL_ITG):
        if task.solutiondef_i_2(sol) != (0, 1):
            continue
        solsta = task.getsolsta_i_2(sol)[1]
        _, info = task.getsolutioninfonew_i_2(sol)
        pobj, primal_violations, dobj = info[0], info[1:8], info[8]
        if solsta not in PRIMAL_CLAIMS:
            continue
        claims += 1
        assert np.isfinite(pobj), (sol, solsta, pobj)
        x = bytearray()
        assert task.getxx_iO_2(sol, x) == (0, None)
        assert np.isfinite(np.frombuffer(bytes(x))).all()
        size = 1.0 + max(task.getprimalsolutionnorms_i_2(sol)[1])
        assert max(primal_violations) <= VIOLATION_TOLERANCE * size, (sol, solsta, primal_violations)
        if solsta == OPTIMAL:
            assert abs(pobj - dobj) <= GAP_TOLERANCE * max(1.0, abs(pobj), abs(dobj)), (sol, pobj, dobj)
    # An answer claimed by no status passes only where an honest "unknown"
    # is the expected outcome of huge data, or of a portfolio search stopped
    # by its time limit before a first incumbent (a slow or busy machine,
    # a sanitizer build).
    timed_out = name.startswith("portfolio") and trm == velto.ResponseCode.TRM_MAX_TIME
    assert claims > 0 or name.startswith(MAY_END_UNKNOWN) or timed_out, (name, trm)


MAROS = DATA.parent / "maros"


def read_maros(name):
    def build(task):
        assert task.readdataautoformat_s_2(str(MAROS / (name + ".QPS.gz")))[0] == 0
    return build


# Instances whose interior-point iterates once met the tolerances only in the
# optimizer's scaled form, or only 1.05 to 100 times on their own data, and
# were claimed optimal for the final check to weaken: a reduced cost
# (QSIERRA), the duality gap (varun, control3), a semidefinite cone
# (mcp124-2).  Each is asked for its default tolerances and for a gap ten
# times looser, the gap tolerance of the kind of problem it is.  (Ten times
# tighter, varun's iterates stop improving at 5 times the tolerance, and its
# answer is rightly weakened.)
STOPPING_CASES = {
    "QSIERRA": (read_maros("QSIERRA"), velto.DParam.INTPNT_QO_TOL_REL_GAP),
    "varun": (read_instance("varun"), velto.DParam.INTPNT_CO_TOL_REL_GAP),
    "sdplib_control3": (read_instance("sdplib_control3"), velto.DParam.INTPNT_CO_TOL_REL_GAP),
    "sdplib_mcp124-2": (read_instance("sdplib_mcp124-2"), velto.DParam.INTPNT_CO_TOL_REL_GAP),
}


@pytest.mark.parametrize("gap", [1e-7, 1e-8])
@pytest.mark.parametrize("name", STOPPING_CASES)
def test_interior_point_stops_optimal_on_the_problem_data(task, name, gap):
    build, gap_param = STOPPING_CASES[name]
    build(task)
    task.putdouparam_id_3(gap_param, gap)
    lines = []
    task.set_Stream(0, lines.append)
    assert task.optimizetrm__1() == (0, 0)
    log = "".join(lines)
    # The optimizer's own optimal is the final check's: nothing is weakened.
    assert "is reported as" not in log, log[-600:]
    assert task.getsolsta_i_2(SOL_ITR) == (0, OPTIMAL)
    _, info = task.getsolutioninfonew_i_2(SOL_ITR)
    pobj, dobj = info[0], info[8]
    assert abs(pobj - dobj) <= gap * max(1.0, abs(pobj), abs(dobj)), (pobj, dobj)
