"""Mixed-integer conic and quadratic problems, solved by branch and bound over
the interior-point optimizer: optima checked against enumeration of the
integer points, the node selection rules, DJCs that branch and bound takes
whole, and the limits, progress events and information items of a run."""
import itertools

import numpy as np
import pytest
import velto

from arrays import f64, i32, i64

BK_LO, BK_UP, BK_FR, BK_RA = 0, 1, 3, 4
VAR_INT = 1
SOL_ITG = 2
SENSE_MIN, SENSE_MAX = 0, 1


def integer_variables(task, n, lower, upper):
    task.appendvars_i_2(n)
    for j in range(n):
        bk = BK_RA if np.isfinite(lower) and np.isfinite(upper) else BK_FR
        assert task.putvarbound_iidd_5(j, bk, lower, upper) == (0, None)
        assert task.putvartype_ii_3(j, VAR_INT) == (0, None)


def solve(task):
    assert task.optimizetrm__1() == (0, 0)
    x = bytearray()
    assert task.getxx_iO_2(SOL_ITG, x) == (0, None)
    assert task.getsolsta_i_2(SOL_ITG) == (0, velto.SolutionStatus.INTEGER_OPTIMAL)
    return task.getprimalobj_i_2(SOL_ITG)[1], np.frombuffer(bytes(x))


def ball(task, center, radius, first_afe=0):
    """(radius, x - center) in the quadratic cone: ||x - center|| <= radius."""
    n = len(center)
    task.appendafes_L_2(n + 1)
    task.putafefentrylist_OOO_4(i64(range(first_afe + 1, first_afe + n + 1)), i32(range(n)), f64([1.0] * n))
    task.putafegslice_LLO_4(first_afe, first_afe + n + 1, f64([radius] + [-v for v in center]))
    cone = task.appendquadraticconedomain_L_2(n + 1)[1]
    assert task.appendacc_LOO_4(cone, i64(range(first_afe, first_afe + n + 1)), None) == (0, None)


def points_in_ball(center, radius):
    ranges = [range(int(np.floor(c - radius)), int(np.ceil(c + radius)) + 1) for c in center]
    return [np.array(z, float) for z in itertools.product(*ranges) if np.linalg.norm(np.array(z) - center) <= radius]


def use_method(task, method):
    """B&B with a node selection rule, or outer approximation ("OA")."""
    if method == "OA":
        task.putintparam_ii_3(velto.IParam.MIO_NODE_OPTIMIZER, velto.OptimizerType.DUAL_SIMPLEX)
    else:
        task.putintparam_ii_3(velto.IParam.MIO_NODE_SELECTION, getattr(velto.MioNodeSelectionType, method))


@pytest.mark.parametrize("method", ["FREE", "FIRST", "BEST", "OA"])
@pytest.mark.parametrize("seed", range(4))
def test_integer_points_of_a_ball(task, seed, method):
    rng = np.random.default_rng(seed)
    center, c, radius = rng.uniform(-2, 2, 4), rng.normal(size=4), rng.uniform(1.0, 2.5)
    sense = SENSE_MAX if seed % 2 else SENSE_MIN
    integer_variables(task, 4, -np.inf, np.inf)
    task.putcslice_iiO_4(0, 4, f64(c))
    task.putobjsense_i_2(sense)
    ball(task, center, radius)
    use_method(task, method)
    objective, x = solve(task)
    values = [np.dot(c, z) for z in points_in_ball(center, radius)]
    best = max(values) if sense == SENSE_MAX else min(values)
    assert objective == pytest.approx(best, abs=1e-6)
    assert np.dot(c, x) == pytest.approx(best, abs=1e-6)
    assert np.all(x == np.round(x)) and np.linalg.norm(x - center) <= radius + 1e-7


@pytest.mark.parametrize("method", ["FREE", "OA"])
def test_rotated_cone_with_an_integer_member(task, method):
    # minimize a + b with 2ab >= y^2, y >= 2.5 integer, a integer in [0, 10], b >= 0
    integer_variables(task, 3, 0.0, 10.0)
    task.putvartype_ii_3(1, 0)
    task.putvarbound_iidd_5(1, BK_LO, 0.0, 0.0)
    task.putvarbound_iidd_5(2, BK_RA, 2.5, 10.0)
    task.putcslice_iiO_4(0, 2, f64([1.0, 1.0]))
    task.appendafes_L_2(3)
    task.putafefentrylist_OOO_4(i64([0, 1, 2]), i32([0, 1, 2]), f64([1.0, 1.0, 1.0]))
    cone = task.appendrquadraticconedomain_L_2(3)[1]
    task.appendaccseq_LLO_4(cone, 0, None)
    use_method(task, method)
    objective, x = solve(task)
    best = min(a + y * y / (2 * a) for a in range(1, 11) for y in range(3, 11))
    assert objective == pytest.approx(best, abs=1e-6)
    assert 2 * x[0] * x[1] >= x[2] ** 2 - 1e-6


@pytest.mark.parametrize("seed", range(4))
def test_convex_quadratic_objective_over_integers(task, seed):
    # minimize (x - a)'H(x - a) with H = M'M + I over the integers of [-2, 2]^3 with x0 + x1 + x2 <= 1
    rng = np.random.default_rng(10 + seed)
    m = rng.normal(size=(3, 3))
    h, a = m.T @ m + np.eye(3), rng.uniform(-2, 2, 3)
    integer_variables(task, 3, -2.0, 2.0)
    task.putcslice_iiO_4(0, 3, f64(-2 * h @ a))
    task.putcfix_d_2(float(a @ h @ a))
    rows, cols = np.tril_indices(3)
    task.putqobj_OOO_4(i32(rows), i32(cols), f64(2 * h[rows, cols]))
    task.appendcons_i_2(1)
    task.putarow_iOO_4(0, i32([0, 1, 2]), f64([1.0] * 3))
    task.putconbound_iidd_5(0, BK_UP, 0.0, 1.0)
    objective, x = solve(task)
    best = min((np.array(z) - a) @ h @ (np.array(z) - a)
               for z in itertools.product(range(-2, 3), repeat=3) if sum(z) <= 1)
    assert objective == pytest.approx(best, abs=1e-6)
    assert (x - a) @ h @ (x - a) == pytest.approx(best, abs=1e-6)


def test_quadratic_constraint_with_integers_and_a_continuous_variable(task):
    # maximize 3 x0 + 2 x1 + t with x0^2 + x1^2 + t^2 <= 10.5, x integer, t continuous
    integer_variables(task, 2, -5.0, 5.0)
    task.appendvars_i_2(1)
    task.putvarbound_iidd_5(2, BK_FR, 0.0, 0.0)
    task.putcslice_iiO_4(0, 3, f64([3.0, 2.0, 1.0]))
    task.putobjsense_i_2(SENSE_MAX)
    task.appendcons_i_2(1)
    task.putqconk_iOOO_5(0, i32([0, 1, 2]), i32([0, 1, 2]), f64([2.0] * 3))
    task.putconbound_iidd_5(0, BK_UP, 0.0, 10.5)
    objective, x = solve(task)
    best = max(3 * a + 2 * b + np.sqrt(10.5 - a * a - b * b)
               for a, b in itertools.product(range(-5, 6), repeat=2) if a * a + b * b <= 10.5)
    assert objective == pytest.approx(best, abs=1e-6)
    assert x[2] == pytest.approx(np.sqrt(10.5 - x[0] ** 2 - x[1] ** 2), abs=1e-6)
    xc = bytearray()
    assert task.getxc_iO_2(SOL_ITG, xc) == (0, None)
    assert np.frombuffer(bytes(xc))[0] == pytest.approx(x @ x, abs=1e-6)


@pytest.mark.parametrize("bounded", [False, True], ids=["free: branched on", "bounded: big-M"])
def test_disjunction_with_a_cone_term(task, bounded):
    # min (x0 - 0.5)^2 + (x1 - 0.5)^2 with: x0 + x1 >= 3 or x0 - x1 = 4 or a ball round (-2, 2) of radius 1
    task.appendvars_i_2(2)
    for j in range(2):
        task.putvarbound_iidd_5(j, BK_RA if bounded else BK_FR, -10.0, 10.0)
    task.putcslice_iiO_4(0, 2, f64([-1.0, -1.0]))
    task.putcfix_d_2(0.5)
    task.putqobj_OOO_4(i32([0, 1]), i32([0, 1]), f64([2.0, 2.0]))
    task.appendafes_L_2(5)
    task.putafefentrylist_OOO_4(i64([0, 0, 1, 1, 3, 4]), i32([0, 1, 0, 1, 0, 1]), f64([1, 1, 1, -1, 1, 1]))
    task.putafegslice_LLO_4(2, 5, f64([1.0, 2.0, -2.0]))
    plus, zero = task.appendrplusdomain_L_2(1)[1], task.appendrzerodomain_L_2(1)[1]
    cone = task.appendquadraticconedomain_L_2(3)[1]
    task.appenddjcs_L_2(1)
    assert task.putdjc_LOOOO_6(0, i64([plus, zero, cone]), i64([0, 1, 2, 3, 4]), f64([3.0, 4.0, 0, 0, 0]),
                               i64([1, 1, 1])) == (0, None)
    objective, x = solve(task)
    p = np.array([0.5, 0.5])
    # the nearest point of each set: a half plane, a line, a disc
    nearest = [p + (3 - p.sum()) / 2 * np.ones(2), p + (4 - (p[0] - p[1])) / 2 * np.array([1, -1]),
               np.array([-2, 2]) + (p - [-2, 2]) / np.linalg.norm(p - [-2, 2])]
    best = min(np.sum((q - p) ** 2) for q in nearest)
    assert objective == pytest.approx(best, abs=1e-6)
    assert np.sum((x - p) ** 2) == pytest.approx(best, abs=1e-6)



@pytest.mark.parametrize("alpha", [[1.0, 3.0], [2.0, 2.0]])
def test_disjunction_with_a_power_cone_term(task, alpha):
    # maximize z (free): z <= 1^a1 4^a2 (the cone's weights normalized) or z <= 2.5
    task.appendvars_i_2(1)
    task.putvarbound_iidd_5(0, BK_FR, -np.inf, np.inf)
    task.putobjsense_i_2(SENSE_MAX)
    task.putcj_id_3(0, 1.0)
    task.appendafes_L_2(3)
    task.putafefentrylist_OOO_4(i64([0]), i32([0]), f64([1.0]))
    task.putafegslice_LLO_4(1, 3, f64([1.0, 4.0]))
    power = task.appendprimalpowerconedomain_LO_3(3, f64(alpha))[1]
    below = task.appendrminusdomain_L_2(1)[1]
    task.appenddjcs_L_2(1)
    assert task.putdjc_LOOOO_6(0, i64([power, below]), i64([1, 2, 0, 0]), f64([0, 0, 0, 2.5]),
                               i64([1, 1])) == (0, None)
    objective, z = solve(task)
    assert objective == pytest.approx(max(4.0 ** (alpha[1] / sum(alpha)), 2.5), abs=1e-6)
    viol = np.array([7.0])
    assert task.getpvioldjc_iOO_4(SOL_ITG, i64([0]), memoryview(viol)) == (0, None)
    assert viol[0] <= 1e-6

def ball_with_costs(task):
    """Integer points of a ball of 8 variables under a linear objective: a search of many nodes."""
    rng = np.random.default_rng(7)
    n = 8
    center, c = rng.uniform(-3, 3, n), rng.normal(size=n)
    integer_variables(task, n, -10.0, 10.0)
    task.putcslice_iiO_4(0, n, f64(c))
    ball(task, center, 3.3)


def test_limits_stops_and_the_reported_gap(task):
    ball_with_costs(task)
    codes = []
    task.set_Progress(lambda code: codes.append(code) or code == velto.CallbackCode.NEW_INT_MIO)
    # stopped at the first integer solution: feasible, not proven optimal, and the gap says how far
    assert task.optimizetrm__1() == (0, velto.ResponseCode.TRM_USER_CALLBACK)
    assert task.getsolsta_i_2(SOL_ITG) == (0, velto.SolutionStatus.PRIM_FEAS)
    objective = task.getprimalobj_i_2(SOL_ITG)[1]
    bound = task.getdouinf_i_2(velto.DInfItem.MIO_OBJ_BOUND)[1]
    assert bound <= objective + 1e-9
    assert task.getdouinf_i_2(velto.DInfItem.MIO_OBJ_REL_GAP)[1] == pytest.approx(
        (objective - bound) / max(1e-10, abs(objective)))
    assert codes[-1] == velto.CallbackCode.END_OPTIMIZER and velto.CallbackCode.NEW_INT_MIO in codes
    # run to the end: integer optimal, every node reported
    task.remove_Progress()
    codes.clear()
    task.set_Progress(lambda code: codes.append(code) and False)
    objective, _ = solve(task)
    nodes = task.getlintinf_i_2(velto.LIInfItem.MIO_NUM_NODES)[1]
    assert codes.count(velto.CallbackCode.MIO_NODE) == nodes > 1
    assert task.getdouinf_i_2(velto.DInfItem.MIO_OBJ_BOUND)[1] == pytest.approx(objective, abs=1e-6)
    # a node limit
    task.putintparam_ii_3(velto.IParam.MIO_MAX_NUM_RELAXS, 2)
    assert task.optimizetrm__1() == (0, velto.ResponseCode.TRM_MIO_NUM_RELAXS)
    assert task.getlintinf_i_2(velto.LIInfItem.MIO_NUM_NODES)[1] == 2


@pytest.mark.parametrize("lower, upper", [(0.2, 0.8), (2.5, 2.9)])
def test_bounds_that_hold_no_integer(task, lower, upper):
    integer_variables(task, 2, lower, upper)
    task.putcslice_iiO_4(0, 2, f64([1.0, 1.0]))
    ball(task, [0.5, 0.5], 10.0)
    assert task.optimizetrm__1() == (0, 0)
    assert task.getprosta_i_2(SOL_ITG) == (0, velto.ProblemStatus.PRIM_INFEAS)


def limited_ball_task(task):
    ball_with_costs(task)
    return solve(task)[0]


def knapsack_task(task):
    # a MILP (the engine's branch and bound): minimize -v'x, w'x <= half of w's sum, x binary
    rng = np.random.default_rng(3)
    n = 60
    w = rng.integers(20, 100, n).astype(float)
    integer_variables(task, n, 0.0, 1.0)
    task.putcslice_iiO_4(0, n, f64(-(w + rng.integers(-5, 6, n))))
    task.appendcons_i_2(1)
    task.putarow_iOO_4(0, i32(range(n)), f64(w))
    task.putconbound_iidd_5(0, BK_UP, -np.inf, w.sum() / 2 + 0.5)
    return solve(task)[0]


@pytest.mark.parametrize("make, parameter, limit, code", [
    (limited_ball_task, velto.IParam.MIO_MAX_NUM_SOLUTIONS, 1, velto.ResponseCode.TRM_NUM_MAX_NUM_INT_SOLUTIONS),
    (knapsack_task, velto.IParam.MIO_MAX_NUM_SOLUTIONS, 1, velto.ResponseCode.TRM_NUM_MAX_NUM_INT_SOLUTIONS),
    (limited_ball_task, velto.IParam.MIO_MAX_NUM_BRANCHES, 2, velto.ResponseCode.TRM_MIO_NUM_BRANCHES),
    (limited_ball_task, velto.IParam.MIO_MAX_NUM_BRANCHES, 0, velto.ResponseCode.TRM_MIO_NUM_BRANCHES),
], ids=["solutions", "solutions of a MILP", "branches", "no branching"])
def test_solution_and_branch_limits(task, make, parameter, limit, code):
    optimum = make(task)
    nodes = task.getlintinf_i_2(velto.LIInfItem.MIO_NUM_NODES)[1]
    task.putintparam_ii_3(parameter, limit)
    assert task.optimizetrm__1() == (0, code)
    # stopped early: a solution found is feasible, not claimed optimal, and
    # no better than the optimum (a branch limit may stop before any)
    solsta = task.getsolsta_i_2(SOL_ITG)[1]
    if solsta == velto.SolutionStatus.PRIM_FEAS:
        assert task.getprimalobj_i_2(SOL_ITG)[1] >= optimum - 1e-7
    else:
        assert parameter == velto.IParam.MIO_MAX_NUM_BRANCHES and solsta == velto.SolutionStatus.UNKNOWN
    if make is limited_ball_task:
        assert task.getlintinf_i_2(velto.LIInfItem.MIO_NUM_NODES)[1] < nodes


def test_integrality_ignored(task):
    optimum = limited_ball_task(task)
    task.putintparam_ii_3(velto.IParam.MIO_MODE, velto.MioMode.IGNORED)
    assert task.optimizetrm__1() == (0, 0)
    # the continuous relaxation: an interior-point solution, no integer one, a better objective
    assert task.solutiondef_i_2(SOL_ITG) == (0, 0)
    assert task.getsolsta_i_2(0) == (0, velto.SolutionStatus.OPTIMAL)
    assert task.getprimalobj_i_2(0)[1] < optimum - 1e-3


@pytest.mark.parametrize("seed", range(3))
def test_integer_points_of_a_disc_given_by_a_semidefinite_matrix(task, seed):
    # X = [[1, y0 - a0, y1 - a1], [., X11, X21], [., ., X22]] PSD with
    # X11 + X22 = r: such an X exists iff |y - a|^2 <= r.  Minimize c'y over
    # integer y in [-4, 4]^2, checked against enumeration.
    rng = np.random.default_rng(seed)
    a, c, r = rng.uniform(-2, 2, 2), rng.normal(size=2), rng.uniform(1.5, 4.0)
    integer_variables(task, 2, -4.0, 4.0)
    task.putcslice_iiO_4(0, 2, f64(c))
    assert task.appendbarvars_O_2(i32([3])) == (0, None)
    mats = [task.appendsparsesymmat_iOOO_5(3, i32(k), i32(l), f64(v))[1]
            for k, l, v in [([0], [0], [1.0]), ([1], [0], [0.5]), ([2], [0], [0.5]), ([1, 2], [1, 2], [1.0, 1.0])]]
    task.appendcons_i_2(4)
    for i, m in enumerate(mats):
        assert task.putbaraij_iiOO_5(i, 0, i64([m]), f64([1.0])) == (0, None)
    task.putaij_iid_4(1, 0, -1.0)
    task.putaij_iid_4(2, 1, -1.0)
    for i, b in enumerate([1.0, -a[0], -a[1], r]):
        task.putconbound_iidd_5(i, 2, b, b)
    objective, y = solve(task)
    points = [p for p in itertools.product(range(-4, 5), repeat=2) if np.sum((np.array(p) - a) ** 2) <= r]
    best = min(np.dot(c, p) for p in points)
    assert objective == pytest.approx(best, abs=1e-6)
    assert np.sum((y - a) ** 2) <= r + 1e-6 and np.dot(c, y) == pytest.approx(best, abs=1e-6)
    out = bytearray()
    assert task.getbarxj_iiO_3(SOL_ITG, 0, out) == (0, None)
    barx = np.frombuffer(bytes(out))  # lower triangle by columns: X00, X10, X20, X11, X21, X22
    assert barx[0] == pytest.approx(1.0, abs=1e-6) and barx[1:3] == pytest.approx(y - a, abs=1e-6)
