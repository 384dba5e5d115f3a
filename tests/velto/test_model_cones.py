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
    (doty,) = r.acc_duals  # in the (self-dual) cone; F'doty = c
    assert doty[0] >= np.linalg.norm(doty[1:]) - 1e-6 and doty[1:] == pytest.approx([1, 1], abs=1e-6)
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


@pytest.mark.parametrize("domain, alpha, optimum", [
    ("exponential", None, 1.0),  # (x0, 1, 0): x0 >= 1
    ("dual_exponential", None, np.exp(-1.0)),  # (u0, 0, -1): u0 >= exp(-1)
    ("power", [0.3, 0.7], 1.0),  # x0^0.3 1^0.7 >= 1
    ("dual_power", [0.3, 0.7], 0.3 * 0.7 ** (0.7 / 0.3)),  # (x0 / 0.3)^0.3 (1 / 0.7)^0.7 >= 1
    ("geometric_mean", None, 1.0),  # sqrt(x0 * 1) >= 1
    ("dual_geometric_mean", None, 1.0)])  # 2 sqrt(x0 * 1) >= 2
def test_exponential_power_and_geometric_mean_domains_are_solved(domain, alpha, optimum):
    # min x0 with (x0, x1, x2) in the domain, x1 and x2 fixed
    m = velto.Model()
    fixed = {"exponential": (1, 0), "dual_exponential": (0, -1), "dual_geometric_mean": (1, 2)}.get(domain, (1, 1))
    m.add_variables(3, lb=[-np.inf, *fixed], ub=[np.inf, *fixed], obj=[1, 0, 0])
    m.add_conic_constraint(domain, np.eye(3), alpha=alpha)
    assert m.task.getnumacc__1() == (0, 1)
    r = m.solve()
    assert r.status == Status.OPTIMAL and r.objective == pytest.approx(optimum, rel=1e-7)
    (doty,) = r.acc_duals
    assert doty[0] == pytest.approx(1.0, rel=1e-6)  # F'doty = c on the free variable


def boxes_model(c):
    m = velto.Model()
    x, y = m.add_variables(2, lb=-10, ub=10, obj=c)
    index = m.add_disjunction([[({x: 1}, "<=", 1), ({y: 1}, "<=", 1), ({x: 1, y: 1}, ">=", 0)],
                               [({x: 1}, ">=", 2), ({y: 1}, "==", 0.5)]], name="either")
    return m, index


@pytest.mark.parametrize("c, best", [([-1, -2], -11), ([1, 1], 0), ([0, -1], -1), ([1, 0], -1), ([-1, 0], -10)])
def test_a_disjunction_picks_the_best_term(c, best):
    m, index = boxes_model(c)
    assert index == 0
    r = m.solve()
    assert r.status == Status.OPTIMAL and r.objective == pytest.approx(best, abs=1e-6)
    x, y = r.x
    assert (x <= 1 + 1e-6 and y <= 1 + 1e-6 and x + y >= -1e-6) or (x >= 2 - 1e-6 and abs(y - 0.5) < 1e-6)
    name = bytearray()
    assert m.task.getdjcname_LO_2(0, name) == (0, None) and name.rstrip(b"\0") == b"either"


@pytest.mark.parametrize("terms, message", [
    ([[({0: 1}, "=", 1)]], "unknown relation"), ([], "at least one term"), ([[({0: 1}, "<=", 1)], []], "every term"),
    ([[({5: 1}, "<=", 1)]], "variable 5")])
def test_bad_disjunctions_are_refused_before_anything_is_added(terms, message):
    m = velto.Model()
    m.add_variables(2, lb=-1, ub=1)
    with pytest.raises(ValueError, match=message):
        m.add_disjunction(terms)
    assert [m.task.getnumafe__1()[1], m.task.getnumdomain__1()[1], m.task.getnumdjc__1()[1]] == [0, 0, 0]


def C_dense(C):
    if isinstance(C, dict):
        dense = np.zeros((3, 3))
        for (i, j), v in C.items():
            dense[i, j] = dense[j, i] = v
        return dense
    return C.toarray() if sp.issparse(C) else C


def stored_matrix(m, index):
    subi, subj, val = bytearray(), bytearray(), bytearray()
    assert m.task.getsparsesymmat_LOOO_2(index, subi, subj, val)[0] == 0
    return sorted(zip(np.frombuffer(subi, np.int32), np.frombuffer(subj, np.int32), np.frombuffer(val)))


@pytest.mark.parametrize("C", [np.array([[2.0, 0, 1], [0, 0, 0], [1, 0, 3]]), {(0, 0): 2, (0, 2): 1, (2, 2): 3},
                               sp.csr_matrix(np.array([[2.0, 0, 1], [0, 0, 0], [1, 0, 3]]))])
def test_semidefinite_terms_are_stored_as_lower_triangles(C):
    m = velto.Model()
    m.add_variables(1)
    m.add_constraint({0: 1}, lb=1, ub=1)
    j = m.add_psd_variable(3, name="X")
    assert j == 0 and m.task.getdimbarvarj_i_2(0) == (0, 3)
    m.set_psd_objective(j, C)
    m.set_psd_coefficient(0, j, {(1, 0): 0.5})
    assert stored_matrix(m, 0) == [(0, 0, 2.0), (2, 0, 1.0), (2, 2, 3.0)]
    assert stored_matrix(m, 1) == [(1, 0, 0.5)]
    r = m.solve()  # min <C, X> with C and X psd: 0 at X = 0
    assert r.status == Status.OPTIMAL and r.objective == pytest.approx(0, abs=1e-6)
    assert np.linalg.eigvalsh(r.psd_x[0]).min() >= -1e-6 and np.sum(r.psd_x[0] * C_dense(C)) < 1e-6


@pytest.mark.parametrize("i, j", [(0, 0), (1, 0), (2, 1), (2, 0), (2, 2)])
def test_semidefinite_values_unpack_as_the_library_reads_them(i, j):
    # The library's objective <C, X> with C = e_i e_j' + e_j e_i' (or e_i e_i')
    # picks entry (i, j) of the packed values; the unpacked matrix has it there.
    m = velto.Model()
    m.add_psd_variable(3)
    m.set_psd_objective(0, {(i, j): 1.0})
    packed = np.arange(1.0, 7.0)
    assert m.task.putbarxj_iiO_4(velto.SolutionType.ITR, 0, memoryview(packed)) == (0, None)
    X = velto._arrays.symmetric_from_lower(packed, 3)
    assert (X == X.T).all() and sorted(X[np.tril_indices(3)]) == list(packed)
    weight = 1 if i == j else 2
    assert m.task.getprimalobj_i_2(velto.SolutionType.ITR) == (0, weight * X[i, j])


def test_bad_semidefinite_input_is_refused():
    m = velto.Model()
    with pytest.raises(ValueError, match="dimension"):
        m.add_psd_variable(0)
    j = m.add_psd_variable(2)
    with pytest.raises(velto.Error):
        m.set_psd_objective(j, {(2, 2): 1.0})  # outside the 2 x 2 matrix
    with pytest.raises(velto.Error):
        m.set_psd_objective(5, np.eye(2))  # no such variable
    assert m.task.getnumbarvar__1() == (0, 1)
