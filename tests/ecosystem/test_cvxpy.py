"""velto as a CVXPY solver: CVXPY's own standard solver tests (the problem
families its test suite runs against every conic solver), the cone
conventions against Clarabel on the same problems, statuses, options and
warm starts."""
import inspect

import numpy as np
import pytest

cp = pytest.importorskip("cvxpy")
helpers = pytest.importorskip("cvxpy.tests.solver_test_helpers")

import velto.cvxpy_solver as vc  # noqa: E402  (registers "VELTO")

# The standard tests that do not apply, with the reason.
SKIPPED = {
    "test_lp_7": "needs the SDPA package's arbitrary-precision build (sdpap)",
    "test_qp_bound_attr": "inspects the problem data of CVXPY's QP-solver interface (n_ineq), "
                          "which a conic solver does not produce",
}

FAMILIES = [helpers.StandardTestLPs, helpers.StandardTestQPs, helpers.StandardTestSOCPs,
            helpers.StandardTestSDPs, helpers.StandardTestECPs, helpers.StandardTestMixedCPs,
            helpers.StandardTestPCPs, helpers.StandardTestInfeasibleProblems]


def standard_tests():
    cases = []
    for family in FAMILIES:
        for name, _ in inspect.getmembers(family, predicate=callable):
            if name.startswith("test_") and name != "verify_post_solve_guarantees":
                marks = [pytest.mark.skip(reason=SKIPPED[name])] if name in SKIPPED else []
                cases.append(pytest.param(family, name, id=f"{family.__name__}.{name}", marks=marks))
    return cases


# Tighter tolerances where a test holds primal values to 3 places on a
# nearly flat optimum (as CVXPY's own suite passes eps to SCS for some).
TIGHT = {"optimality_tol": 1e-10, "feasibility_tol": 1e-10}
OPTIONS = {"test_pcp_2": TIGHT, "test_mi_pcp_0": TIGHT}


@pytest.mark.parametrize("family, name", standard_tests())
def test_cvxpy_standard(family, name):
    getattr(family, name)(solver=vc.NAME, **OPTIONS.get(name, {}))


def test_standard_families_all_collected():
    # Every family CVXPY runs against its conic solvers is here, and each
    # with its tests (a renamed helper module would otherwise pass silently).
    names = {p.values[1] for p in standard_tests()}
    for expected in ("test_lp_0", "test_qp_0", "test_socp_0", "test_sdp_1min", "test_expcone_1",
                     "test_exp_soc_1", "test_pcp_1", "test_mi_lp_0", "test_mi_socp_1", "test_mi_pcp_0",
                     "test_soc", "test_psd_cone"):
        assert expected in names


def test_solver_instance_and_name():
    x = cp.Variable(2)
    problem = cp.Problem(cp.Minimize(cp.sum(x)), [x >= 1])
    assert vc.NAME in cp.installed_solvers()
    for solver in (vc.VELTO_SOLVER, "velto"):
        assert problem.solve(solver=solver) == pytest.approx(2.0, abs=1e-7)
        assert problem.solver_stats.solver_name == vc.NAME


# ------------------------------------------------------- cone conventions
def _cone_problems():
    """Small problems whose optimum makes every member of each cone and of
    its dual count, built fresh for each solver."""
    rng = np.random.default_rng(7)

    def exp_cone():
        x, y, z = cp.Variable(), cp.Variable(), cp.Variable()
        cons = [cp.ExpCone(x, y, z), y == 2, x + z <= 3]
        return cp.Problem(cp.Maximize(x + 0.5 * z - 0.1 * cp.square(x)), cons), [x, y, z]

    def pow3d():
        x, y, z = cp.Variable(3), cp.Variable(3), cp.Variable(3)
        cons = [cp.PowCone3D(x, y, z, [0.2, 0.5, 0.8]), x + 2 * y <= [3, 4, 5], x >= 0.1]
        return cp.Problem(cp.Maximize(cp.sum(z) - 0.1 * cp.sum(x)), cons), [x, y, z]

    def pownd():
        x, z = cp.Variable(3), cp.Variable()
        cons = [cp.PowConeND(x, z, np.array([0.2, 0.3, 0.5])), x <= [1, 2, 3]]
        return cp.Problem(cp.Maximize(z), cons), [x, z]

    C = rng.normal(size=(3, 3))
    C = C + C.T
    A = rng.normal(size=(3, 3))
    A = A + A.T

    def psd():
        X = cp.Variable((3, 3), symmetric=True)
        cons = [X >> 0, cp.trace(X) == 1, cp.trace(A @ X) >= 0.1]
        return cp.Problem(cp.Minimize(cp.trace(C @ X)), cons), [X]

    def soc():
        x, t = cp.Variable(3), cp.Variable()
        cons = [cp.SOC(t, x - np.array([1.0, -2.0, 0.5])), cp.sum(x) == 1]
        return cp.Problem(cp.Minimize(t + 0.1 * x[0]), cons), [x, t]

    return {"exp": exp_cone, "pow3d": pow3d, "pownd": pownd, "psd": psd, "soc": soc}


CONE_PROBLEMS = _cone_problems()


@pytest.mark.parametrize("kind", sorted(CONE_PROBLEMS))
def test_cone_conventions_match_clarabel(kind):
    ours, our_vars = CONE_PROBLEMS[kind]()
    theirs, their_vars = CONE_PROBLEMS[kind]()
    ours.solve(solver=vc.NAME)
    theirs.solve(solver="CLARABEL")
    assert ours.status == theirs.status == cp.OPTIMAL
    assert ours.value == pytest.approx(theirs.value, rel=1e-5, abs=1e-6)
    for mine, other in zip(our_vars, their_vars):
        np.testing.assert_allclose(mine.value, other.value, rtol=1e-3, atol=1e-4)
    for mine, other in zip(ours.constraints, theirs.constraints):
        for a, b in zip(np.atleast_1d(mine.dual_value) if not isinstance(mine.dual_value, list)
                        else mine.dual_value,
                        np.atleast_1d(other.dual_value) if not isinstance(other.dual_value, list)
                        else other.dual_value):
            np.testing.assert_allclose(a, b, rtol=1e-3, atol=1e-4)


# ---------------------------------------------------------------- statuses
@pytest.mark.parametrize("solve_options, expected", [
    ({"iteration_limit": 1}, {cp.USER_LIMIT, "error"}),
    ({"time_limit": 0.0}, {cp.USER_LIMIT, "error"}),
    ({}, {cp.OPTIMAL}),
])
def test_limits_map_to_user_limit_or_error(solve_options, expected):
    X = cp.Variable((6, 6), symmetric=True)
    rng = np.random.default_rng(1)
    C = rng.normal(size=(6, 6))
    problem = cp.Problem(cp.Minimize(cp.trace((C + C.T) @ X)), [X >> 0, cp.trace(X) == 1])
    try:
        problem.solve(solver=vc.NAME, **solve_options)
        status = problem.status
    except cp.SolverError:
        status = "error"
    assert status in expected
    if status == cp.USER_LIMIT:
        assert problem.value is not None and np.isfinite(problem.value)


@pytest.mark.parametrize("cap, status, value", [(None, cp.UNBOUNDED, -np.inf), (2.0, cp.OPTIMAL, -2.0)])
def test_unbounded_and_bounded_cones(cap, status, value):
    # min x0 s.t. |x0| <= x1: unbounded below unless x1 is capped
    x = cp.Variable(2)
    constraints = [cp.SOC(x[1], x[:1])] + ([x[1] <= cap] if cap is not None else [])
    problem = cp.Problem(cp.Minimize(x[0]), constraints)
    problem.solve(solver=vc.NAME)
    assert problem.status == status
    assert problem.value == pytest.approx(value, abs=1e-5)


def test_mixed_integer_exponential_and_boolean():
    # exp(s - 3.4) + exp(3.4 - s) over integer s = sum(x) is least at s = 3
    x = cp.Variable(3, integer=True)
    pick = cp.Variable(2, boolean=True)
    s = cp.sum(x)
    problem = cp.Problem(cp.Minimize(cp.exp(s - 3.4) + cp.exp(3.4 - s) - cp.sum(pick)),
                         [x >= 0, x <= 2, cp.sum(pick) <= 1.5])
    problem.solve(solver=vc.NAME)
    assert problem.status == cp.OPTIMAL
    np.testing.assert_allclose(x.value, np.round(x.value), atol=1e-6)
    assert np.sum(x.value) == pytest.approx(3.0, abs=1e-6)
    assert np.sum(pick.value) == pytest.approx(1.0, abs=1e-6)
    assert problem.value == pytest.approx(np.exp(-0.4) + np.exp(0.4) - 1, abs=1e-5)


# ----------------------------------------------------------------- options
@pytest.mark.parametrize("options", [{"INTPNT_CO_TOL_REL_GAP": 1e-10}, {"intpnt_co_tol_rel_gap": 1e-10},
                                     {"optimality_tol": 1e-10}, {"params": {"INTPNT_CO_TOL_REL_GAP": 1e-10}}])
def test_options_reach_the_library(options):
    pairs = dict(vc.solver_assignments(options, verbose=False))
    assert pairs[vc.DParam.INTPNT_CO_TOL_REL_GAP] == 1e-10
    assert pairs[vc.IParam.LOG] == 0


@pytest.mark.parametrize("options", [{"no_such_option": 1}, {"iteration_limit": "many"}])
def test_bad_options_are_refused(options):
    x = cp.Variable()
    problem = cp.Problem(cp.Minimize(x), [x >= 1])
    with pytest.raises((ValueError, TypeError)):
        problem.solve(solver=vc.NAME, **options)


def test_verbose_shows_the_log(capfd):
    x = cp.Variable(2)
    cp.Problem(cp.Minimize(cp.norm(x - 1)), [cp.sum(x) == 1]).solve(solver=vc.NAME, verbose=True)
    loud = capfd.readouterr()
    cp.Problem(cp.Minimize(cp.norm(x - 1)), [cp.sum(x) == 1]).solve(solver=vc.NAME, verbose=False)
    quiet = capfd.readouterr()
    assert quiet.out == ""
    assert "Optimizer started (interior point)" in loud.out and "optimal after" in loud.out


# --------------------------------------------------------------- warm start
def test_warm_start_reuses_the_task_for_new_numbers():
    p = cp.Parameter(3, value=[1.0, 2.0, 3.0])
    x = cp.Variable(3)
    problem = cp.Problem(cp.Minimize(cp.norm(x - p) + cp.sum(x)), [x >= 0, cp.sum(x) <= 5])
    problem.solve(solver=vc.NAME)
    first_model = problem._solver_cache[vc.NAME][1]
    for values in ([3.0, 0.5, 1.0], [0.0, 4.0, 2.0]):
        p.value = values
        problem.solve(solver=vc.NAME, warm_start=True)
        assert problem._solver_cache[vc.NAME][1] is first_model
        fresh = cp.Problem(problem.objective, problem.constraints)
        fresh.solve(solver="CLARABEL")
        assert problem.value == pytest.approx(fresh.value, abs=1e-6)
    problem.solve(solver=vc.NAME, warm_start=False)
    assert problem._solver_cache[vc.NAME][1] is not first_model


def test_warm_start_forgets_the_options_of_the_solve_before():
    p = cp.Parameter(value=1.0)
    X = cp.Variable((5, 5), symmetric=True)
    problem = cp.Problem(cp.Minimize(cp.trace(X) + p * X[0, 1]), [X >> 0, X[0, 0] + X[1, 1] >= 1])
    with pytest.raises(cp.SolverError):
        problem.solve(solver=vc.NAME, iteration_limit=0)
    p.value = 0.5
    problem.solve(solver=vc.NAME, warm_start=True)
    assert problem.status == cp.OPTIMAL
