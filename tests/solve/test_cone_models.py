"""Conic problems built with cones on variables and solved by the optimizer:
known optima, agreement with the same problem built with an ACC, and the
cone duals snx checked against the stationarity identity
c + Qx - A'y - snx = slx - sux and against the dual cone."""
import math

import numpy as np
import pytest

from arrays import f64, i32, i64

BK_LO, BK_UP, BK_FX, BK_FR = 0, 1, 2, 3
CT_QUAD, CT_RQUAD, CT_PEXP, CT_PPOW = 0, 1, 2, 4
SOL_ITR, SOLSTA_OPTIMAL, SOLSTA_PRIM_INFEAS_CER = 0, 1, 5
SENSE_MIN, SENSE_MAX = 0, 1
PROBTYPE_CONIC, PROBTYPE_MIXED = 3, 4


def row(task, i, cols, vals, bk, lo, up):
    assert task.putarow_iOO_4(i, i32(cols), f64(vals)) == (0, None)
    assert task.putconbound_iidd_5(i, bk, lo, up) == (0, None)


def vector(task, name):
    raw = bytearray()
    assert getattr(task, "get%s_iO_2" % name)(SOL_ITR, raw) == (0, None)
    return np.frombuffer(bytes(raw))


def solve(task):
    assert task.optimizetrm__1()[0] == 0
    assert task.getsolsta_i_2(SOL_ITR) == (0, SOLSTA_OPTIMAL)
    return task.getprimalobj_i_2(SOL_ITR)[1], vector(task, "xx")


def stationarity_residual(task, q=None):
    """c + Qx - A'y - snx - (slx - sux), all per variable."""
    _, m = task.getnumcon__1()
    _, n = task.getnumvar__1()
    c = bytearray()
    assert task.getcslice_iiO_3(0, n, c) == (0, None)
    g = np.frombuffer(bytes(c)).copy()
    x, y = vector(task, "xx"), vector(task, "y")
    if q is not None:
        g += q @ x
    for i in range(m):
        sub, val = bytearray(), bytearray()
        _, nz = task.getarow_iOO_2(i, sub, val)
        for j, a in zip(np.frombuffer(bytes(sub), np.int32), np.frombuffer(bytes(val))):
            g[j] -= a * y[i]
    return g - vector(task, "snx") - (vector(task, "slx") - vector(task, "sux"))


def in_quadratic_cone(v, tol=1e-6):
    return v[0] >= np.linalg.norm(v[1:]) - tol


def in_rotated_cone(v, tol=1e-6):
    return v[0] >= -tol and v[1] >= -tol and 2 * v[0] * v[1] >= np.dot(v[2:], v[2:]) - tol


def projection_problem(task, with_acc, free_variables):
    """min t  s.t.  t >= ||(x0 - 2, x1 - 1, x2)||,  x0 + x1 + x2 <= 1,  x2 >= 0.5.
    The projection of (2, 1, 0) is (0.75, -0.25, 0.5), at distance sqrt(3.375).
    With cones on variables, u0 = x0 - 2 and u1 = x1 - 1 are variables 4 and 5."""
    free_variables(task, 6)  # x0, x1, x2, t, u0, u1
    task.putvarbound_iidd_5(2, BK_LO, 0.5, 0.0)
    task.appendcons_i_2(3)
    row(task, 0, [0, 1, 2], [1.0, 1.0, 1.0], BK_UP, 0.0, 1.0)
    row(task, 1, [4, 0], [1.0, -1.0], BK_FX, -2.0, -2.0)
    row(task, 2, [5, 1], [1.0, -1.0], BK_FX, -1.0, -1.0)
    task.putcj_id_3(3, 1.0)
    members = [3, 4, 5, 2]
    if with_acc:
        assert task.appendafes_L_2(4) == (0, None)
        assert task.putafefentrylist_OOO_4(i64([0, 1, 2, 3]), i32(members), f64([1.0] * 4)) == (0, None)
        _, dom = task.appendquadraticconedomain_L_2(4)
        assert task.appendacc_LOO_4(dom, i64([0, 1, 2, 3]), None) == (0, None)
    else:
        assert task.appendcone_idO_4(CT_QUAD, 0.0, i32(members)) == (0, None)
    return members


@pytest.mark.parametrize("with_acc", [False, True], ids=["cone", "acc"])
def test_projection_onto_a_polyhedron(task, with_acc, free_variables):
    members = projection_problem(task, with_acc, free_variables)
    assert task.getprobtype__1() == (0, PROBTYPE_CONIC)
    objective, x = solve(task)
    assert objective == pytest.approx(math.sqrt(3.375), abs=1e-6)
    assert x[:4] == pytest.approx([0.75, -0.25, 0.5, math.sqrt(3.375)], abs=1e-5)
    snx = vector(task, "snx")
    if with_acc:
        assert not snx.any()  # ACC duals are not cone duals of variables
        return
    assert np.abs(stationarity_residual(task)).max() < 1e-6
    assert in_quadratic_cone(snx[members])
    assert not snx[[0, 1]].any()
    # Only t has a cost, so its cone dual is 1; the others balance y.
    assert snx[3] == pytest.approx(1.0, abs=1e-6)


@pytest.mark.parametrize("sense", [SENSE_MIN, SENSE_MAX])
def test_sum_of_squares_in_a_rotated_cone(task, sense, free_variables):
    # min t (or max -t)  s.t.  2 t s >= x0^2 + x1^2,  s = 1,  x0 + x1 = 2:  x = (1, 1), t = 1.
    free_variables(task, 4)  # t, s, x0, x1
    task.putvarbound_iidd_5(1, BK_FX, 1.0, 1.0)
    task.appendcons_i_2(1)
    row(task, 0, [2, 3], [1.0, 1.0], BK_FX, 2.0, 2.0)
    task.putobjsense_i_2(sense)
    task.putcj_id_3(0, 1.0 if sense == SENSE_MIN else -1.0)
    assert task.appendconeseq_idii_5(CT_RQUAD, 0.0, 4, 0) == (0, None)
    objective, x = solve(task)
    assert objective == pytest.approx(1.0 if sense == SENSE_MIN else -1.0, abs=1e-6)
    assert x == pytest.approx([1.0, 1.0, 1.0, 1.0], abs=1e-5)
    snx = vector(task, "snx")
    assert np.abs(stationarity_residual(task)).max() < 1e-6
    # In the dual cone when minimizing, in its negative when maximizing.
    assert in_rotated_cone(snx if sense == SENSE_MIN else -snx)
    assert abs(snx[0]) == pytest.approx(1.0, abs=1e-6)


def test_quadratic_objective_with_a_cone(task, free_variables):
    # min 0.5 (x0^2 + x1^2) - x0 + t  s.t.  t >= ||(x0, x1)||,  t = 2:
    # x = (1, 0), objective -0.5 + 2; the cone does not bind.
    free_variables(task, 3)  # x0, x1, t
    task.putvarbound_iidd_5(2, BK_FX, 2.0, 2.0)
    task.putcj_id_3(0, -1.0)
    task.putcj_id_3(2, 1.0)
    assert task.putqobjij_iid_4(0, 0, 1.0) == (0, None)
    assert task.putqobjij_iid_4(1, 1, 1.0) == (0, None)
    assert task.appendcone_idO_4(CT_QUAD, 0.0, i32([2, 0, 1])) == (0, None)
    assert task.getprobtype__1() == (0, PROBTYPE_MIXED)
    objective, x = solve(task)
    assert objective == pytest.approx(1.5, abs=1e-6)
    assert x == pytest.approx([1.0, 0.0, 2.0], abs=1e-5)
    q = np.diag([1.0, 1.0, 0.0])
    assert np.abs(stationarity_residual(task, q)).max() < 1e-6


def power_mean_bound(a):
    # min x0 + x1 with x0^a x1^(1-a) >= 1: weighted AM-GM, x = c (a, 1 - a)
    return 1.0 / (a ** a * (1.0 - a) ** (1.0 - a))


@pytest.mark.parametrize("ct, conepar, optimum, x_opt", [
    (CT_PEXP, 0.0, math.e, [math.e, 1.0, 1.0]),  # x0 >= x1 exp(x2 / x1) at x1 = x2 = 1
    (CT_PPOW, 0.5, 2.0, [1.0, 1.0, 1.0]),
    (CT_PPOW, 0.25, power_mean_bound(0.25), [0.25 * power_mean_bound(0.25), 0.75 * power_mean_bound(0.25), 1.0])])
def test_exponential_and_power_cones_on_variables(task, ct, conepar, optimum, x_opt, free_variables):
    # min x0 (+ x1 for the power cone) with x2 = 1 (and x1 = 1 for the
    # exponential cone); the cone duals satisfy the stationarity identity.
    free_variables(task, 3)
    task.putvarbound_iidd_5(2, BK_FX, 1.0, 1.0)
    task.putcj_id_3(0, 1.0)
    if ct == CT_PEXP:
        task.putvarbound_iidd_5(1, BK_FX, 1.0, 1.0)
    else:
        task.putcj_id_3(1, 1.0)
    assert task.appendconeseq_idii_5(ct, conepar, 3, 0) == (0, None)
    objective, x = solve(task)
    assert objective == pytest.approx(optimum, rel=1e-7)
    assert x == pytest.approx(x_opt, rel=1e-3)  # the objective is flat to second order there
    assert np.abs(stationarity_residual(task)).max() < 1e-6


def test_certificate_of_infeasibility_carries_cone_duals(task, free_variables):
    # x0 >= ||(x1, x2)||,  x1 = 2,  x0 <= 1: infeasible.  The Farkas ray
    # satisfies -A'y - snx = slx - sux with snx in the cone and a positive
    # certificate value  y'b-side terms + lx'slx - ux'sux.
    free_variables(task, 3)
    task.putvarbound_iidd_5(0, BK_UP, 0.0, 1.0)
    task.appendcons_i_2(1)
    row(task, 0, [1], [1.0], BK_FX, 2.0, 2.0)
    assert task.appendconeseq_idii_5(CT_QUAD, 0.0, 3, 0) == (0, None)
    assert task.optimizetrm__1()[0] == 0
    assert task.getsolsta_i_2(SOL_ITR) == (0, SOLSTA_PRIM_INFEAS_CER)
    snx, y = vector(task, "snx"), vector(task, "y")
    residual = stationarity_residual(task)  # c = 0: exactly the ray identity
    scale = max(np.abs(snx).max(), np.abs(y).max())
    assert scale > 0
    assert np.abs(residual).max() < 1e-6 * scale
    assert in_quadratic_cone(snx / scale)
    value = 2.0 * (vector(task, "slc")[0] - vector(task, "suc")[0]) - 1.0 * vector(task, "sux")[0]
    assert value > 1e-6 * scale
