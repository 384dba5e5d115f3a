"""Cones on variables and affine conic constraints through velto.Model."""
import numpy as np
import pytest
import scipy.sparse as sp

import velto
from velto import Status


def test_quadratic_cone_on_variables_and_its_duals():
    # min x1 + x2 with x0 = 1 and (x0, x1, x2) in the quadratic cone: x1 = x2 = -1/sqrt(2)
    m = velto.Model()
    x = m.add_variables(3, lb=-np.inf, obj=[0, 1, 1])
    m.add_constraint({x[0]: 1}, lb=1, ub=1)
    assert m.add_cone(x, "quadratic") == 0
    r = m.solve()
    assert r.objective == pytest.approx(-np.sqrt(2), abs=1e-6)
    s = r.cone_duals  # c - A'y = snx: in the (self-dual) cone
    assert s[0] >= np.linalg.norm(s[1:]) - 1e-6 and s[1:] == pytest.approx([1, 1], abs=1e-6)


def test_rotated_cone_bounds_a_product():
    # max t with 2 * a * b >= t^2, a + b <= 2: a = b = 1, t = sqrt(2)
    m = velto.Model()
    a, b, t = m.add_variables(3, lb=[0, 0, -np.inf], obj=[0, 0, 1])
    m.set_objective(sense="max")
    m.add_constraint({a: 1, b: 1}, ub=2)
    m.add_cone([a, b, t], velto.ConeType.RQUAD)
    assert m.solve().x == pytest.approx([1, 1, np.sqrt(2)], abs=1e-5)


@pytest.mark.parametrize("F, g", [
    (np.array([[0, 0], [1, 0], [0, 1]]), [1, 0, 0]),
    (sp.csr_matrix(np.array([[0, 0], [1, 0], [0, 1]])), np.array([1.0, 0, 0])),
    (([1, 2], [0, 1], [1.0, 1.0]), [1, 0, 0])])
def test_conic_constraint_of_an_affine_expression(F, g):
    # min x0 + x1 with ||(x0, x1)|| <= 1: x = -(1, 1)/sqrt(2)
    m = velto.Model()
    m.add_variables(2, lb=-np.inf, obj=[1, 1])
    assert m.add_conic_constraint("quadratic", F, g, name="disc") == 0
    r = m.solve()
    assert r.status == Status.OPTIMAL and r.x == pytest.approx([-1 / np.sqrt(2)] * 2, abs=1e-6)
    name = bytearray()
    assert m.task.getaccname_LO_2(0, name) == (0, None) and name.rstrip(b"\0") == b"disc"


@pytest.mark.parametrize("domain, rows, alpha, message", [
    ("ball", 3, None, "unknown domain"), ("exponential", 2, None, "exactly 3"),
    ("rotated_quadratic", 1, None, "at least 2"), ("power", 3, None, "needs the weights"),
    ("power", 3, [0.5, 0.5, 0.5], "1 to 2 weights"), ("quadratic", 3, [1.0], "takes no weights"),
    ("psd", 4, None, "d\\(d\\+1\\)/2")])
def test_bad_domains_are_refused_before_anything_is_added(domain, rows, alpha, message):
    m = velto.Model()
    m.add_variables(3)
    with pytest.raises(ValueError, match=message):
        m.add_conic_constraint(domain, np.eye(rows, 3), alpha=alpha)
    assert [m.task.getnumafe__1()[1], m.task.getnumdomain__1()[1], m.task.getnumacc__1()[1]] == [0, 0, 0]


def test_an_infeasible_conic_problem_is_reported_as_such():
    # ||(x, y)|| <= 1 and x >= 2
    m = velto.Model()
    m.add_variables(2, lb=[2, -np.inf])
    m.add_conic_constraint("quadratic", [[0, 0], [1, 0], [0, 1]], [1, 0, 0])
    r = m.solve()
    assert r.status == Status.INFEASIBLE and r.x is None and r.certificate is not None


@pytest.mark.parametrize("domain, rows, alpha", [("exponential", 3, None), ("power", 3, [0.3, 0.7])])
def test_domains_the_optimizer_cannot_solve_yet_are_stored(domain, rows, alpha):
    m = velto.Model()
    m.add_variables(3, lb=-np.inf)
    m.add_conic_constraint(domain, np.eye(3), alpha=alpha)
    assert m.task.getnumacc__1() == (0, 1)
    try:
        r = m.solve()
    except velto.Error as error:  # not every build of the optimizer solves these yet
        assert error.code == velto.ResponseCode.ERR_NO_OPTIMIZER
    else:
        assert r.status == Status.OPTIMAL and r.objective == pytest.approx(0, abs=1e-6)
