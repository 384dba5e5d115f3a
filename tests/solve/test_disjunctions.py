"""Problems with disjunctive constraints, solved: the optimum checked against
the best of the problems that each single term gives (found by enumeration
here), infeasible disjunctions, and DJCs the optimizer refuses."""
import itertools

import numpy as np
import pytest

from arrays import f64, i32, i64

BK_FR, BK_RA = 3, 4
SOL_ITG = 2
SOLSTA_INTEGER_OPTIMAL, PROSTA_PRIM_INFEAS = 9, 4
ERR_DIMENSION = 1313
R, RZERO, RPLUS, RMINUS = 0, 1, 2, 3


def box_task(task, c, bound=10.0, by_rows=False):
    """Variables x0, x1 in [-bound, bound] with objective c; AFE j = x_j.  With
    by_rows the variables are free and two rows bound them (x0 in [-bound,
    bound], x1 - x0 in [-1, 1]): bound propagation finds their range."""
    task.appendvars_i_2(2)
    for j in range(2):
        task.putvarbound_iidd_5(j, BK_FR if by_rows else BK_RA, -bound, bound)
    if by_rows:
        task.appendcons_i_2(2)
        task.putaijlist64_OOO_4(i32([0, 1, 1]), i32([0, 0, 1]), f64([1.0, -1.0, 1.0]))
        task.putconbound_iidd_5(0, BK_RA, -bound, bound)
        task.putconbound_iidd_5(1, BK_RA, -1.0, 1.0)
    task.putcslice_iiO_4(0, 2, f64(c))
    task.appendafes_L_2(2)
    task.putafefentrylist_OOO_4(i64([0, 1]), i32([0, 1]), f64([1.0, 1.0]))
    return task.appendrplusdomain_L_2(2)[1], task.appendrminusdomain_L_2(2)[1]


def put_boxes(task, boxes, plus, minus):
    """One DJC: x in one of the boxes (lo, hi), each a term lo <= x <= hi."""
    doms, afes, b = [], [], []
    for lo, hi in boxes:
        doms += [plus, minus]
        afes += [0, 1, 0, 1]
        b += list(lo) + list(hi)
    task.appenddjcs_L_2(1)
    assert task.putdjc_LOOOO_6(0, i64(doms), i64(afes), f64(b), i64([2] * len(boxes))) == (0, None)


def integer_solution(task):
    x = bytearray()
    assert task.getxx_iO_2(SOL_ITG, x) == (0, None)
    return task.getsolsta_i_2(SOL_ITG)[1], task.getprimalobj_i_2(SOL_ITG)[1], np.frombuffer(bytes(x))


BOXES = [((0.0, 0.0), (1.0, 1.0)), ((2.0, -1.0), (3.0, 0.5)), ((-4.0, 2.0), (-3.0, 2.5))]


@pytest.mark.parametrize("by_rows", [False, True], ids=["variable bounds", "bounds from rows"])
@pytest.mark.parametrize("c", [(-1.0, -2.0), (1.0, 1.0), (-1.0, 0.0), (1.0, -3.0), (0.0, 0.0)])
def test_the_cheapest_box_is_chosen(task, c, by_rows):
    put_boxes(task, BOXES, *box_task(task, c, by_rows=by_rows))
    assert task.optimizetrm__1() == (0, 0)
    status, objective, x = integer_solution(task)
    # minimizing c'x over a box: each coordinate at the end its cost prefers
    # (the row x1 - x0 in [-1, 1] leaves the first box whole and cuts off the others)
    best = min(sum(min(cj * l, cj * h) for cj, l, h in zip(c, lo, hi)) for lo, hi in BOXES[:1 if by_rows else 3])
    assert status == SOLSTA_INTEGER_OPTIMAL
    assert objective == pytest.approx(best, abs=1e-7)
    assert np.dot(c, x) == pytest.approx(best, abs=1e-7)
    assert any(all(l - 1e-7 <= v <= h + 1e-7 for v, l, h in zip(x, lo, hi)) for lo, hi in BOXES)


def test_terms_of_equalities_and_several_djcs(task):
    # x0 = 1 or x0 = 4;  x1 - x0 = 0 or x1 + x0 = 0;  maximize x1 - 0.1 x0 over [-10, 10]^2
    plus, minus = box_task(task, [-0.1, 1.0])
    task.putobjsense_i_2(1)
    zero = task.appendrzerodomain_L_2(1)[1]
    task.appendafes_L_2(2)
    task.putafefentrylist_OOO_4(i64([2, 2, 3, 3]), i32([1, 0, 1, 0]), f64([1.0, -1.0, 1.0, 1.0]))
    task.appenddjcs_L_2(2)
    assert task.putdjcslice_LLOOOOO_8(0, 2, i64([zero] * 4), i64([0, 0, 2, 3]), f64([1.0, 4.0, 0.0, 0.0]),
                                      i64([1, 1, 1, 1]), i64([2, 2])) == (0, None)
    assert task.optimizetrm__1() == (0, 0)
    status, objective, x = integer_solution(task)
    candidates = [(x0, s * x0) for x0, s in itertools.product([1.0, 4.0], [1.0, -1.0])]
    best = max(x1 - 0.1 * x0 for x0, x1 in candidates)
    assert status == SOLSTA_INTEGER_OPTIMAL and objective == pytest.approx(best, abs=1e-7)
    assert x == pytest.approx([4.0, 4.0], abs=1e-7)


def test_an_infeasible_disjunction(task):
    # the variables' box [-1, 1]^2 meets none of the terms
    put_boxes(task, [((2.0, 0.0), (3.0, 1.0)), ((-3.0, -3.0), (-2.0, -2.0))], *box_task(task, [1.0, 1.0], 1.0))
    assert task.optimizetrm__1() == (0, 0)
    assert task.getprosta_i_2(SOL_ITG) == (0, PROSTA_PRIM_INFEAS)


def test_a_djc_without_terms_is_refused_and_loses_nothing(task):
    put_boxes(task, BOXES, *box_task(task, [1.0, 1.0]))
    assert task.optimizetrm__1() == (0, 0)
    before = integer_solution(task)
    task.appenddjcs_L_2(1)
    assert task.optimizetrm__1() == (ERR_DIMENSION, None)
    after = integer_solution(task)
    assert before[:2] == after[:2] and list(before[2]) == list(after[2])


def test_violation_of_a_djc_is_that_of_its_nearest_term(task):
    put_boxes(task, BOXES, *box_task(task, [1.0, 1.0]))
    assert task.optimizetrm__1() == (0, 0)
    viol = np.array([7.0])
    assert task.getpvioldjc_iOO_4(SOL_ITG, i64([0]), memoryview(viol)) == (0, None)
    assert viol[0] <= 1e-9
    # a point in no box: each term's distance is the larger of its two domains' (lower and upper side)
    x = np.array([5.0, 5.0])
    assert task.putxx_iO_3(SOL_ITG, f64(x)) == (0, None)
    assert task.getpvioldjc_iOO_4(SOL_ITG, i64([0]), memoryview(viol)) == (0, None)
    expected = min(max(np.linalg.norm(np.maximum(np.array(lo) - x, 0)), np.linalg.norm(np.maximum(x - hi, 0)))
                   for lo, hi in BOXES)
    assert viol[0] == pytest.approx(expected)


PROSTA_DUAL_INFEAS = 5
DOMAIN = {">=": "appendrplusdomain_L_2", "<=": "appendrminusdomain_L_2", "==": "appendrzerodomain_L_2"}
INF = float("inf")


def djc_of_one_variable(task, terms, j=0):
    """One DJC: x_j (op) value for one of the (op, value) terms; x_j is AFE 0."""
    task.appendafes_L_2(1)
    task.putafefentrylist_OOO_4(i64([0]), i32([j]), f64([1.0]))
    doms = [getattr(task, DOMAIN[op])(1)[1] for op, _ in terms]
    task.appenddjcs_L_2(1)
    assert task.putdjc_LOOOO_6(0, i64(doms), i64([0] * len(terms)), f64([v for _, v in terms]),
                               i64([1] * len(terms))) == (0, None)


# (sense, c, bounds of x, integer, terms, optimal x or None when unbounded or infeasible, problem status)
ONE_VARIABLE = [
    (0, 1.0, (-INF, INF), False, [(">=", 3), (">=", 5)], 3.0, None),
    (1, -1.0, (-INF, INF), False, [(">=", 3), (">=", 5)], 3.0, None),
    (1, 1.0, (-INF, INF), False, [("<=", 3), ("<=", 5)], 5.0, None),
    (0, 1.0, (-10, INF), False, [(">=", 3), (">=", 5)], 3.0, None),
    (0, 1.0, (-INF, INF), True, [(">=", 2.5), ("==", 1.5)], 3.0, None),
    (0, 1.0, (-INF, INF), False, [("<=", 3), ("<=", 5)], None, PROSTA_DUAL_INFEAS),
    (1, 1.0, (-INF, INF), False, [(">=", 3), ("<=", 5)], None, PROSTA_DUAL_INFEAS),
    (0, 1.0, (-INF, INF), True, [(">=", 3), ("<=", 5)], None, PROSTA_DUAL_INFEAS),
    (0, 1.0, (-INF, 0), False, [(">=", 3), (">=", 5)], None, PROSTA_PRIM_INFEAS),
]


@pytest.mark.parametrize("sense, c, bounds, integer, terms, optimum, prosta", ONE_VARIABLE)
def test_a_djc_over_a_variable_without_finite_bounds(task, sense, c, bounds, integer, terms, optimum, prosta):
    # A relaxation that leaves the DJC out is unbounded here: that alone
    # decides nothing; unbounded is the answer only when a term is.
    task.appendvars_i_2(1)
    lo, hi = bounds
    bk = BK_FR if lo == -INF and hi == INF else (0 if hi == INF else 1)
    assert task.putvarbound_iidd_5(0, bk, lo, hi) == (0, None)
    if integer:
        task.putvartype_ii_3(0, 1)
    task.putobjsense_i_2(sense)
    task.putcj_id_3(0, c)
    djc_of_one_variable(task, terms)
    assert task.optimizetrm__1() == (0, 0)
    if optimum is None:
        assert task.getprosta_i_2(SOL_ITG) == (0, prosta)
    else:
        status, objective, x = integer_solution(task)
        assert status == SOLSTA_INTEGER_OPTIMAL and x[0] == pytest.approx(optimum, abs=1e-7)


def test_an_unbounded_relaxation_over_integers_that_hold_no_solution(task):
    # minimize x0, x0 free, (x0 >= 3 or x0 <= 5), 2 x1 = 1 with x1 integer:
    # every relaxation is unbounded or has x1 = 0.5, yet no integer point exists
    task.appendvars_i_2(2)
    for j in range(2):
        task.putvarbound_iidd_5(j, BK_FR, -INF, INF)
    task.putvartype_ii_3(1, 1)
    task.appendcons_i_2(1)
    task.putaij_iid_4(0, 1, 2.0)
    task.putconbound_iidd_5(0, 2, 1.0, 1.0)
    task.putcj_id_3(0, 1.0)
    djc_of_one_variable(task, [(">=", 3), ("<=", 5)])
    assert task.optimizetrm__1() == (0, 0)
    assert task.getprosta_i_2(SOL_ITG) == (0, PROSTA_PRIM_INFEAS)
