"""Conic problems built with the affine-expression, domain and ACC methods of
the module and solved by the optimizer; each has a known optimum."""
import math

import numpy as np
import pytest

from arrays import f64, i32, i64

BK_LO, BK_UP, BK_FX, BK_FR = 0, 1, 2, 3
SOL_ITR, SOLSTA_OPTIMAL = 0, 1


def solve(task):
    res, _ = task.optimizetrm__1()
    assert res == 0
    assert task.getsolsta_i_2(SOL_ITR) == (0, SOLSTA_OPTIMAL)
    _, objective = task.getprimalobj_i_2(SOL_ITR)
    xx = bytearray()
    assert task.getxx_iO_2(SOL_ITR, xx) == (0, None)
    return objective, np.frombuffer(bytes(xx)).tolist()


def test_distance_to_a_polyhedron_in_a_quadratic_cone(task, free_variables):
    # min t  s.t.  ||x - a|| <= t,  x0 + x1 + x2 <= 1,  x2 >= 0.5,  a = (2, 1, 0).
    # Both constraints are active at the projection x = (0.75, -0.25, 0.5)
    # (multipliers 1.25 and 1.75), at distance sqrt(1.25^2 + 1.25^2 + 0.5^2).
    free_variables(task, 4)  # x0, x1, x2, t
    task.putvarbound_iidd_5(2, BK_LO, 0.5, 0.0)
    task.appendcons_i_2(1)
    task.putarow_iOO_4(0, i32([0, 1, 2]), f64([1.0, 1.0, 1.0]))
    task.putconbound_iidd_5(0, BK_UP, 0.0, 1.0)
    task.putcj_id_3(3, 1.0)
    # AFEs: t, x0 - 2, x1 - 1, x2
    assert task.appendafes_L_2(4) == (0, None)
    assert task.putafefentrylist_OOO_4(i64([0, 1, 2, 3]), i32([3, 0, 1, 2]), f64([1.0] * 4)) == (0, None)
    assert task.putafeglist_OO_3(i64([1, 2]), f64([-2.0, -1.0])) == (0, None)
    _, cone = task.appendquadraticconedomain_L_2(4)
    assert task.appendacc_LOO_4(cone, i64([0, 1, 2, 3]), None) == (0, None)

    objective, x = solve(task)
    assert objective == pytest.approx(math.sqrt(3.375), abs=1e-6)
    assert x == pytest.approx([0.75, -0.25, 0.5, math.sqrt(3.375)], abs=1e-5)


def test_sum_of_squares_in_a_rotated_cone(task, free_variables):
    # min t  s.t.  2 t * 1 >= x0^2 + x1^2,  x0 + x1 = 2:  x = (1, 1), t = 1.
    # The constant 1 of the cone is given through b (0 - b = 1).
    free_variables(task, 3)  # t, x0, x1
    task.appendcons_i_2(1)
    task.putarow_iOO_4(0, i32([1, 2]), f64([1.0, 1.0]))
    task.putconbound_iidd_5(0, BK_FX, 2.0, 2.0)
    task.putcj_id_3(0, 1.0)
    # AFEs: 0: t, 1: nothing, 2: x0, 3: x1
    assert task.appendafes_L_2(4) == (0, None)
    assert task.putafefrow_LOO_4(0, i32([0]), f64([1.0])) == (0, None)
    assert task.putafefcol_iOO_4(1, i64([2]), f64([1.0])) == (0, None)
    assert task.putafefentry_Lid_4(3, 2, 1.0) == (0, None)
    _, cone = task.appendrquadraticconedomain_L_2(4)
    assert task.appendaccseq_LLO_4(cone, 0, f64([0.0, -1.0, 0.0, 0.0])) == (0, None)

    objective, x = solve(task)
    assert objective == pytest.approx(1.0, abs=1e-6)
    assert x == pytest.approx([1.0, 1.0, 1.0], abs=1e-5)


def test_linear_domains_together_with_a_quadratic_cone(task, free_variables):
    # min -x0 - 2 x1  s.t.  x2 = 1 (RZERO),  ||(x0, x1)|| <= x2 (cone),
    # x0 >= 0.6 and x1 >= -1 (RPLUS).  Without x0 >= 0.6 the optimum would be
    # (1, 2)/sqrt(5), with x0 = 0.447; so x0 = 0.6 and x1 = 0.8 on the circle.
    free_variables(task, 3)
    task.putclist_OO_3(i32([0, 1]), f64([-1.0, -2.0]))
    # AFEs: 0: x2, 1: x0, 2: x1, 3: x0 - 0.6, 4: x1 + 1, entered as rows of one list
    assert task.appendafes_L_2(5) == (0, None)
    assert task.putafefrowlist_OOOOO_6(i64([0, 1, 2, 3, 4]), i32([1] * 5), i64([0, 1, 2, 3, 4]),
                                       i32([2, 0, 1, 0, 1]), f64([1.0] * 5)) == (0, None)
    assert task.putafegslice_LLO_4(3, 5, f64([-0.6, 1.0])) == (0, None)
    _, zero = task.appendrzerodomain_L_2(1)
    _, cone = task.appendquadraticconedomain_L_2(3)
    _, plus = task.appendrplusdomain_L_2(2)
    assert task.appendaccs_OOO_4(i64([zero, cone, plus]), i64([0, 0, 1, 2, 3, 4]),
                                 f64([1.0, 0.0, 0.0, 0.0, 0.0, 0.0])) == (0, None)

    objective, x = solve(task)
    assert objective == pytest.approx(-2.2, abs=1e-6)
    assert x == pytest.approx([0.6, 0.8, 1.0], abs=1e-5)


@pytest.mark.parametrize("sense, domain, expected", [
    (0, "appendrminusdomain_L_2", None),   # min x, x - 3 <= 0: unbounded below
    (1, "appendrplusdomain_L_2", None),    # max x, x - 3 >= 0: unbounded above
    (0, "appendrplusdomain_L_2", 3.0),     # min x, x - 3 >= 0: 3
    (1, "appendrminusdomain_L_2", 3.0),    # max x, x - 3 <= 0: 3
])
def test_one_free_variable_in_a_linear_domain(task, free_variables, sense, domain, expected):
    # The homogeneous iterates of the unbounded cases shrink towards zero
    # together; the answer must still be a certificate, not a far point.
    free_variables(task, 1)
    task.putcj_id_3(0, 1.0)
    task.putobjsense_i_2(sense)
    assert task.appendafes_L_2(1) == (0, None)
    assert task.putafefentry_Lid_4(0, 0, 1.0) == (0, None)
    assert task.putafeg_Ld_3(0, -3.0) == (0, None)
    _, dom = getattr(task, domain)(1)
    assert task.appendacc_LOO_4(dom, i64([0]), None) == (0, None)
    if expected is not None:
        objective, x = solve(task)
        assert objective == pytest.approx(expected, abs=1e-7)
        return
    assert task.optimizetrm__1()[0] == 0
    assert task.getsolsta_i_2(SOL_ITR) == (0, 6)  # dual infeasibility certificate
    xx = bytearray()
    assert task.getxx_iO_2(SOL_ITR, xx) == (0, None)
    ray = np.frombuffer(bytes(xx))[0]
    assert (ray < 0.0) if sense == 0 else (ray > 0.0)
