"""Quadratic and conic problems through the library's interior-point
optimizer: answers, dual conventions, progress, and the conic form made by
toconic solving to the same optimum."""
import array
import math

import pytest

import velto
from velto import CallbackCode as CB
from velto import SolutionStatus as SS
from velto import SolutionType as ST

INF = math.inf

# min  x0^2 + x0 x1 + x1^2 + 0.5 x2^2 - 3 x0 - x2
# s.t. x0 + x1 + x2  = 2        (equality)
#      -1 <= x0 - x1 <= 1       (range)
#      x2 <= 0.25               (upper)
#      0 <= x0 <= 10, x1 free, x2 >= -5
QP = """NAME          SMALLQP
ROWS
 N  obj
 E  sum
 G  diff
 L  third
COLUMNS
    x0  obj  -3  sum  1
    x0  diff  1
    x1  sum  1  diff  -1
    x2  obj  -1  sum  1
    x2  third  1
RHS
    rhs  sum  2  diff  -1
    rhs  third  0.25
RANGES
    rng  diff  2
BOUNDS
 UP bnd  x0  10
 FR bnd  x1
 LO bnd  x2  -5
QUADOBJ
    x0  x0  2
    x0  x1  1
    x1  x1  2
    x2  x2  1
ENDATA
"""
Q = [[2, 1, 0], [1, 2, 0], [0, 0, 1]]
A = [[1, 1, 1], [1, -1, 0], [0, 0, 1]]
C = [-3, 0, -1]


def reference_optimum():
    """The optimum by enumeration: the minimum of a convex QP is the lowest
    feasible point among the minimizers over every set of active bounds."""
    import itertools

    import numpy as np

    # Inequalities g'x <= h: the range row, the upper row, and the bounds.
    ineq = [([-1, 1, 0], 1), ([1, -1, 0], 1), ([0, 0, 1], 0.25), ([-1, 0, 0], 0), ([1, 0, 0], 10),
            ([0, 0, -1], 5)]
    q, c = np.array(Q, float), np.array(C, float)
    best = math.inf
    for k in range(4):
        for active in itertools.combinations(range(len(ineq)), k):
            rows = [([1, 1, 1], 2)] + [ineq[i] for i in active]
            g = np.array([r[0] for r in rows], float)
            h = np.array([r[1] for r in rows], float)
            kkt = np.block([[q, g.T], [g, np.zeros((len(rows), len(rows)))]])
            try:
                sol = np.linalg.solve(kkt, np.concatenate([-c, h]))
            except np.linalg.LinAlgError:
                continue
            x = sol[:3]
            if all(np.dot(gi, x) <= hi + 1e-12 for gi, hi in ineq):
                best = min(best, 0.5 * x @ q @ x + c @ x)
    return best


def read_qp(tmp_path, text=QP):
    path = tmp_path / "qp.mps"
    path.write_text(text)
    m = velto.Model()
    m.read(path)
    return m


def vector(task, getter, sol):
    buf = bytearray()
    assert getter(sol, buf) == (0, None)
    return list(memoryview(buf).cast("d"))


@pytest.mark.parametrize("optimizer", ["FREE", "INTPNT", "DUAL_SIMPLEX"])
def test_quadratic_problem_is_solved_with_exact_duals(tmp_path, optimizer):
    m = read_qp(tmp_path)
    t = m.task
    assert t.putintparam_ii_3(velto.IParam.OPTIMIZER, velto.OptimizerType[optimizer]) == (0, None)
    codes = []
    t.set_Progress(lambda code: codes.append(code) and False)
    r = m.solve()
    assert r.solution == ST.ITR and r.solution_status == SS.OPTIMAL
    assert [s for s in (0, 1, 2) if t.solutiondef_i_2(s)[1]] == [ST.ITR]
    assert r.objective == pytest.approx(reference_optimum(), abs=1e-6)
    assert r.dual_objective == pytest.approx(r.objective, abs=1e-6)
    # Stationarity c + Qx - A'y = slx - sux, y = slc - suc, all multipliers >= 0.
    slc, suc, slx, sux = (vector(t, g, ST.ITR) for g in (t.getslc_iO_2, t.getsuc_iO_2, t.getslx_iO_2, t.getsux_iO_2))
    assert min(slc + suc + slx + sux) >= -1e-9
    assert r.y == pytest.approx([a - b for a, b in zip(slc, suc)], abs=1e-9)
    for j in range(3):
        g = C[j] + sum(Q[j][k] * r.x[k] for k in range(3)) - sum(A[i][j] * r.y[i] for i in range(3))
        assert g == pytest.approx(slx[j] - sux[j], abs=1e-6)
    # Multipliers of infinite bounds are zero: x1 is free, x2 has no upper bound.
    assert slx[1] == sux[1] == 0.0 and sux[2] == 0.0
    assert CB.BEGIN_INTPNT in codes and CB.END_INTPNT in codes and CB.INTPNT in codes
    assert t.getintinf_i_2(velto.IInfItem.INTPNT_ITER)[1] > 0
    assert t.getintinf_i_2(velto.IInfItem.OPTIMIZER_USED) == (0, velto.OptimizerType.INTPNT)


def test_maximizing_a_concave_objective(tmp_path):
    # max -(x-1)^2 - (y-2)^2 = -x^2 + 2x - y^2 + 4y - 5 with x + y <= 2: x = 0.5, y = 1.5
    text = ("NAME C\nOBJSENSE\n    MAX\nROWS\n N obj\n L c\nCOLUMNS\n x obj 2 c 1\n y obj 4 c 1\n"
            "RHS\n rhs c 2\n rhs obj 5\nBOUNDS\n FR b x\n FR b y\nQUADOBJ\n x x -2\n y y -2\nENDATA\n")
    m = read_qp(tmp_path, text)
    r = m.solve()
    assert r.solution_status == SS.OPTIMAL
    assert r.x == pytest.approx([0.5, 1.5], abs=1e-6)
    assert r.objective == pytest.approx(-0.5, abs=1e-6)
    # The rate of change of the optimum with the right-hand side: d obj / d 2 = 1, and maximization
    # multipliers are <= 0: suc = -y.
    assert r.y == pytest.approx([1.0], abs=1e-6)
    assert vector(m.task, m.task.getsuc_iO_2, ST.ITR) == pytest.approx([-1.0], abs=1e-6)


def test_infeasible_quadratic_problem(tmp_path):
    text = ("NAME I\nROWS\n N obj\n G a\n L b\nCOLUMNS\n x obj 1 a 1\n x b 1\nRHS\n r a 3 b 1\n"
            "QUADOBJ\n x x 1\nENDATA\n")
    m = read_qp(tmp_path, text)
    m.solve()
    t = m.task
    assert t.getprosta_i_2(ST.ITR) == (0, velto.ProblemStatus.PRIM_INFEAS)


def test_conic_form_solves_to_the_same_optimum(tmp_path):
    m = read_qp(tmp_path)
    direct = m.solve()
    t = m.task
    assert t.toconic__1() == (0, None)
    assert t.getprobtype__1() == (0, velto.ProblemType.CONIC)
    assert t.getnumvar__1() == (0, 4)  # one new variable carries the quadratic term
    assert [s for s in (0, 1, 2) if t.solutiondef_i_2(s)[1]] == []
    # In the conic form the dual objective is flat to first order in y (its
    # curvature comes from the cone alone), so y is accurate to about the
    # square root of the relative gap: ask for 1e-10 to compare y to 1e-5.
    t.putdouparam_id_3(velto.DParam.INTPNT_CO_TOL_REL_GAP, 1e-10)
    res, trm = t.optimizetrm__1()
    assert (res, trm) == (0, 0)
    assert t.getsolsta_i_2(ST.ITR) == (0, SS.OPTIMAL)
    assert t.getprimalobj_i_2(ST.ITR)[1] == pytest.approx(direct.objective, abs=1e-6)
    xx = vector(t, t.getxx_iO_2, ST.ITR)
    assert xx[:3] == pytest.approx(direct.x, abs=1e-5)
    # The new variable equals the quadratic term at the optimum.
    quad = 0.5 * sum(xx[i] * Q[i][j] * xx[j] for i in range(3) for j in range(3))
    assert xx[3] == pytest.approx(quad, abs=1e-5)
    # The row duals are those of the quadratic problem.
    assert vector(t, t.gety_iO_2, ST.ITR) == pytest.approx(direct.y, abs=1e-5)


def test_non_convex_objective_is_refused(tmp_path):
    text = ("NAME N\nROWS\n N obj\n L c\nCOLUMNS\n x obj 1 c 1\n y c 1\nRHS\n r c 1\n"
            "BOUNDS\n UP b x 1\n UP b y 1\nQUADOBJ\n x x 1\n x y 3\n y y 1\nENDATA\n")
    m = read_qp(tmp_path, text)
    codes = []
    m.task.set_Progress(lambda code: codes.append(code) and False)
    res = m.task.optimizetrm__1()[0]
    assert res == velto.ResponseCode.ERR_NONCONVEX
    assert codes == []  # refused before the optimizer starts
    assert m.task.toconic__1() == (velto.ResponseCode.ERR_NONCONVEX, None)
    assert m.task.getprobtype__1() == (0, velto.ProblemType.QO)


@pytest.mark.parametrize("stop_after", [1, 3])
def test_progress_callable_stops_the_interior_point_optimizer(tmp_path, stop_after):
    m = read_qp(tmp_path)
    t = m.task
    seen, iterations = [], []

    def progress(code):
        if code == CB.INTPNT:
            seen.append(code)
            return len(seen) >= stop_after
        return False

    def info(code, dinf, iinf, liinf):
        if code == CB.INTPNT:
            iterations.append(iinf[velto.IInfItem.INTPNT_ITER])

    t.set_Progress(progress)
    t.set_InfoCallback(info)
    assert t.optimizetrm__1() == (0, velto.ResponseCode.TRM_USER_CALLBACK)
    assert len(seen) == stop_after
    # One event per iteration, the count moving on each time; a stop request
    # comes before the information call of the same event.
    assert len(iterations) == stop_after - 1
    assert iterations == sorted(set(iterations))
    assert t.getintinf_i_2(velto.IInfItem.INTPNT_ITER)[1] >= len(iterations)
    # The point reached is kept, without a claim of optimality.
    assert t.solutiondef_i_2(ST.ITR) == (0, 1)
    assert t.getsolsta_i_2(ST.ITR)[1] != SS.OPTIMAL


def test_iteration_limit(tmp_path):
    m = read_qp(tmp_path)
    t = m.task
    assert t.putintparam_ii_3(velto.IParam.INTPNT_MAX_ITERATIONS, 2) == (0, None)
    assert t.optimizetrm__1() == (0, velto.ResponseCode.TRM_MAX_ITERATIONS)
    assert t.getsolsta_i_2(ST.ITR)[1] != SS.OPTIMAL


def ints(*v):
    return memoryview(array.array("i", v))


def doubles(*v):
    return memoryview(array.array("d", v))


@pytest.mark.parametrize("side", ["upper", "lower"])
def test_quadratic_constraint_is_solved_in_conic_form(side):
    # min -x - y  s.t.  x^2 + y^2 <= 2  (or, negated, -x^2 - y^2 >= -2): x = y = 1.
    m = velto.Model()
    m.add_variables(2, lb=-INF, obj=[-1, -1])
    t = m.task
    sign = 1.0 if side == "upper" else -1.0
    if side == "upper":
        m.add_constraint({}, ub=2)
    else:
        m.add_constraint({}, lb=-2)
    assert t.putqconk_iOOO_5(0, ints(0, 1), ints(0, 1), doubles(2 * sign, 2 * sign)) == (0, None)
    assert t.getprobtype__1() == (0, velto.ProblemType.QCQO)
    r = m.solve()
    assert r.solution_status == SS.OPTIMAL
    assert r.x == pytest.approx([1.0, 1.0], abs=1e-6)
    assert r.objective == pytest.approx(-2.0, abs=1e-7)
    # The answer is the task's own: its sizes, its row activity with the quadratic term.
    assert t.getnumvar__1() == (0, 2)
    assert vector(t, t.getxc_iO_2, ST.ITR) == pytest.approx([2.0 * sign], abs=1e-6)
    # d obj / d b = -1 / sqrt(2b) at b = 2 for the upper bound; the mirrored row gives +0.5.
    # Duals of the conic form converge more slowly than the objective (about
    # the square root of the gap tolerance here).
    assert r.y == pytest.approx([-0.5 * sign], abs=1e-4)


def test_non_convex_quadratic_constraint_is_refused():
    m = velto.Model()
    m.add_variables(1, lb=-1, ub=1, obj=[1])
    m.add_constraint({0: 1}, lb=-1, ub=1)  # ranged: a quadratic part makes it non-convex
    t = m.task
    assert t.putqconk_iOOO_5(0, ints(0), ints(0), doubles(1.0)) == (0, None)
    assert t.optimizetrm__1()[0] == velto.ResponseCode.ERR_NONCONVEX
    assert t.getnumvar__1() == (0, 1) and t.getprobtype__1() == (0, velto.ProblemType.QCQO)


def test_integer_variables_with_quadratic_terms_are_solved_by_branch_and_bound():
    m = velto.Model()
    m.add_variables(2, lb=0, ub=3, obj=[-1.4, -0.6], integer=True)
    t = m.task
    assert t.putqobj_OOO_4(ints(0, 1), ints(0, 1), doubles(1.0, 1.0)) == (0, None)
    assert t.optimizetrm__1() == (0, 0)
    # 0.5 x^2 - 1.4 x is least at the integer 1, 0.5 x^2 - 0.6 x at 1 too (-0.1 against 0 at 0)
    assert t.getsolsta_i_2(velto.SolutionType.ITG) == (0, velto.SolutionStatus.INTEGER_OPTIMAL)
    assert t.getprimalobj_i_2(velto.SolutionType.ITG)[1] == pytest.approx(-1.0)


def test_model_layer_quadratic_objective_matches_the_kkt_solution():
    import numpy as np

    mean = np.array([0.12, 0.10, 0.07])
    cov = np.array([[0.040, 0.006, 0.002], [0.006, 0.025, 0.001], [0.002, 0.001, 0.010]])
    m = velto.Model()
    w = m.add_variables(3, lb=0.0, obj=list(-0.1 * mean))
    m.add_constraint({j: 1.0 for j in w}, lb=1.0, ub=1.0)
    # Both triangles may be used, one entry per pair.
    m.set_quadratic_objective({(0, 0): 0.08, (1, 1): 0.05, (2, 2): 0.02, (0, 1): 0.012, (2, 0): 0.004,
                               (1, 2): 0.002})
    with pytest.raises(ValueError, match="twice"):
        m.set_quadratic_objective({(0, 1): 1.0, (1, 0): 1.0})
    r = m.solve()
    # No bound is active: the optimum solves [2S 1; 1' 0] (w, -y) = (-c, 1).
    kkt = np.block([[2 * cov, np.ones((3, 1))], [np.ones((1, 3)), np.zeros((1, 1))]])
    sol = np.linalg.solve(kkt, np.concatenate([0.1 * mean, [1.0]]))
    assert r.x == pytest.approx(list(sol[:3]), abs=1e-6)
    assert r.y == pytest.approx([-sol[3]], abs=1e-6)


def test_model_layer_quadratic_constraint():
    # max x + y  s.t.  x^2 + y^2 <= 1: x = y = 1/sqrt(2)
    m = velto.Model()
    m.add_variables(2, lb=-INF, obj=[1, 1])
    m.set_objective(sense="maximize")
    m.add_quadratic_constraint({}, {(0, 0): 2.0, (1, 1): 2.0}, ub=1.0)
    r = m.solve()
    assert r.x == pytest.approx([0.5 ** 0.5] * 2, abs=1e-6)
    assert r.objective == pytest.approx(2 ** 0.5, abs=1e-6)


def test_problem_analysis_shows_quadratic_and_conic_parts(tmp_path):
    m = read_qp(tmp_path)
    t = m.task
    assert t.putqconk_iOOO_5(2, ints(0, 1), ints(0, 1), doubles(1.0, 1.0)) == (0, None)  # on the upper row
    text = []
    t.set_Stream(velto.StreamType.MSG, text.append)
    assert t.analyzeproblem_i_2(velto.StreamType.MSG) == (0, None)
    assert "quadratic constraints: [1.0e+00, 1.0e+00] (1 rows, 2 terms)" in "".join(text)
    assert t.toconic__1() == (0, None)
    text.clear()
    assert t.analyzeproblem_i_2(velto.StreamType.MSG) == (0, None)
    report = "".join(text)
    assert "quadratic constraints" not in report
    assert "Affine conic constraints: 2 (" in report
    assert "rotated quadratic cone: 2 (total dimension" in report
