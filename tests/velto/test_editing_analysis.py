"""Model editing, read-back, clone and pickle; analysis (ranging,
infeasibility report, IIS, repair) through Model; many cones in one call and
semidefinite helpers."""
import pickle

import numpy as np
import pytest
import scipy.sparse as sp

import velto
from velto import Status


def production():
    # max 3a + 2b  s.t.  a + b <= 4,  a + 3b <= 9,  a <= 3:  a = 3, b = 1, objective 11 (labour slack)
    m = velto.Model()
    x = m.add_variables(2, lb=0, obj=[3, 2], names=["a", "b"])
    m.add_constraints(np.array([[1.0, 1.0], [1.0, 3.0]]), ub=[4, 9], names=["land", "labour"])
    m.set_variable_bounds(x[0], lb=0, ub=3)
    m.set_objective(sense="max")
    return m, x


def test_coefficients_rows_and_variables_are_edited_and_read_back():
    m, x = production()
    m.set_coefficient(1, x[0], 2.0)
    sub, val = m.get_row(1)
    assert dict(zip(sub.tolist(), val.tolist())) == {0: 2.0, 1: 3.0}
    m.set_coefficients([0, 0], [0, 1], [1.0, 0.0])
    assert m.constraint_matrix().toarray() == pytest.approx(np.array([[1.0, 0.0], [2.0, 3.0]]))
    lb, ub = m.constraint_bounds()
    assert lb.tolist() == [-np.inf, -np.inf] and ub.tolist() == [4, 9]
    assert m.variable_bounds()[1].tolist() == [3, np.inf]
    assert m.objective_coefficients().tolist() == [3, 2]
    m.remove_constraints([0])
    assert m.num_constraints == 1 and m.constraint_name(0) == "labour"
    m.remove_variables([x[0]])
    assert m.num_variables == 1 and m.variable_name(0) == "b"
    assert m.get_row(0)[1].tolist() == [3.0]


COPIES = [lambda m: m.clone(), lambda m: pickle.loads(pickle.dumps(m)), lambda m: velto.Model.from_bytes(m.to_bytes())]


@pytest.mark.parametrize("copy", COPIES, ids=["clone", "pickle", "bytes"])
def test_copies_are_whole_and_independent(copy):
    m, x = production()
    m.set_options(threads=1)
    r = m.solve()
    other = copy(m)
    assert other.variable_name(1) == "b" and other.get_parameter(velto.IParam.NUM_THREADS) == 1
    assert other.result().x == pytest.approx(r.x)
    assert other.result().termination == (velto.Termination.NOT_SOLVED if copy is COPIES[2] else r.termination)
    other.set_variable_bounds(0, ub=1)
    assert other.solve().objective == pytest.approx(1 * 3 + 8 / 3 * 2)
    assert m.solve().objective == pytest.approx(11)


def test_sensitivity_ranges_and_prices():
    m, _ = production()
    assert m.solve(optimizer="dual_simplex").objective == pytest.approx(11)
    s = m.sensitivity()
    col = (lambda t, name: np.asarray(t[name]))
    # land's shadow price is 2 (b's coefficient); labour is slack: price 0
    assert col(s.constraints, "upper_right_price") == pytest.approx([2.0, 0.0])
    assert len(col(s.variables, "lower_left_range")) == 2
    # a's objective coefficient 3 may fall to 2 (then b takes over) and rise without end
    assert col(s.objective, "left_range")[0] == pytest.approx(-1.0)
    assert col(s.objective, "right_range")[0] == np.inf
    with pytest.raises(ValueError, match="no certificate"):  # a feasible model has no infeasibility report
        m.infeasibility_report()


def infeasible():
    # x0 + x1 <= 1 and x0 + x1 >= 3 contradict; x2 <= 5 has nothing to do with it
    m = velto.Model()
    m.add_variables(3, lb=0, obj=[1, 1, 1])
    m.add_constraints([{0: 1, 1: 1}, {0: 1, 1: 1}, {2: 1}], lb=[-np.inf, 3, -np.inf], ub=[1, np.inf, 5])
    return m


def test_infeasibility_report_iis_and_repair():
    m = infeasible()
    assert m.solve().status == Status.INFEASIBLE
    report = m.infeasibility_report()
    assert sorted(np.asarray(report.constraints["index"]).tolist()) == [0, 1]
    iis = m.iis()
    assert np.asarray(iis.constraints["index"]).tolist() == [0, 1]
    assert np.asarray(iis.constraints["upper"]).tolist() == [True, False]
    assert np.asarray(iis.constraints["lower"]).tolist() == [False, True]
    repaired = m.repair()
    assert repaired.penalty == pytest.approx(2.0, abs=1e-6) and repaired.x is not None
    moved = repaired.violations
    assert np.sum(np.asarray(moved["lower"])) + np.sum(np.asarray(moved["upper"])) == pytest.approx(2.0, abs=1e-6)
    assert m.constraint_bounds()[1][0] == 1  # the model's bounds are not changed


def logistic_regression(n, d, seed=1, bulk=True):
    """min sum log(1 + exp(-y_i w'a_i)) + ||w||^2 / 2 through exponential cones:
    t_i >= log(exp(0) + exp(z_i)) with u_i + v_i <= 1, (u_i, 1, -t_i) and
    (v_i, 1, z_i - t_i) in the exponential cone."""
    rng = np.random.default_rng(seed)
    A, y = rng.normal(size=(n, d)), rng.choice([-1.0, 1.0], size=n)
    m = velto.Model()
    w = m.add_variables(d, lb=-np.inf)
    t, u, v = (m.add_variables(n, lb=-np.inf) for _ in range(3))
    r = m.add_variable(lb=0)
    m.set_objective({**{j: 1.0 for j in t}, r: 0.5})
    m.add_constraints(sp.hstack([sp.csr_matrix((n, d + n)), sp.eye(n), sp.eye(n), sp.csr_matrix((n, 1))]), ub=1)
    k = np.arange(n)
    z = -y[:, None] * A  # z_i = -y_i a_i'w
    rows, cols, vals = [], [], []
    for block, first in enumerate((u, v)):
        base = 3 * n * block
        rows += [base + 3 * k, base + 3 * k + 2]
        cols += [first.start + k, t.start + k]
        vals += [np.ones(n), -np.ones(n)]
        if block == 1:
            rows.append(np.repeat(base + 3 * k + 2, d))
            cols.append(np.tile(np.arange(d), n))
            vals.append(z.ravel())
    F = (np.concatenate(rows), np.concatenate(cols), np.concatenate(vals))
    g = np.zeros(6 * n)
    g[1::3] = 1.0
    if bulk:
        m.add_conic_constraints("exponential", F, g, size=3)
    else:
        Fd = sp.csr_matrix((F[2], (F[0], F[1])), shape=(6 * n, m.num_variables))
        for i in range(2 * n):
            m.add_conic_constraint("exponential", Fd[3 * i:3 * i + 3], g[3 * i:3 * i + 3])
    # (r, 1/2, w) in the rotated quadratic cone: r >= ||w||^2
    m.add_conic_constraint("rotated_quadratic", [{r: 1.0}, {}] + [{w[j]: 1.0} for j in range(d)],
                           np.r_[0.0, 0.5, np.zeros(d)])
    return m


def test_many_cones_in_one_call_match_one_by_one():
    bulk, single = logistic_regression(40, 3), logistic_regression(40, 3, bulk=False)
    a, b = bulk.solve(), single.solve()
    assert a.status == b.status == Status.OPTIMAL
    assert a.objective == pytest.approx(b.objective, rel=1e-7)
    assert len(a.acc_duals) == 2 * 40 + 1


@pytest.mark.parametrize("rows, size, error", [(5, 3, "multiple"), (6, 0, "multiple"), (6, 2, "exactly 3")])
def test_many_cones_of_a_wrong_shape_are_refused(rows, size, error):
    m = velto.Model()
    m.add_variables(2)
    with pytest.raises(ValueError, match=error):
        m.add_conic_constraints("exponential", np.ones((rows, 2)), size=size)
    assert m.task.getnumacc__1()[1] == 0


@pytest.mark.parametrize("S", [np.array([[2.0, 1.0], [1.0, 3.0]]), np.arange(9.0).reshape(3, 3) + np.arange(9.0)
                               .reshape(3, 3).T])
def test_svec_keeps_inner_products_and_smat_inverts_it(S):
    T = np.eye(len(S)) + 0.5
    assert velto.svec(S) @ velto.svec(T) == pytest.approx(np.sum(S * T))
    assert velto.smat(velto.svec(S)) == pytest.approx(S)


def test_a_matrix_inequality_and_a_psd_variable_in_a_conic_constraint():
    # max t s.t. [[1, t], [t, 1]] >= 0 (PSD): t = 1
    m = velto.Model()
    t = m.add_variable(lb=-10, ub=10, obj=1)
    m.set_objective(sense="max")
    m.add_psd_constraint({t: np.array([[0.0, 1.0], [1.0, 0.0]])}, G=np.eye(2))
    assert m.solve().objective == pytest.approx(1.0, abs=1e-6)
    # min <I, X> with X PSD and X11 >= 2 through a conic row: the trace is 2
    m = velto.Model()
    j = m.add_psd_variable(2)
    m.set_psd_objective(j, np.eye(2))
    m.add_conic_constraint("nonnegative", np.zeros((1, 0)), [-2.0], psd=[(0, j, np.diag([1.0, 0.0]))])
    r = m.solve()
    assert r.objective == pytest.approx(2.0, abs=1e-6) and r.psd_x[0][0, 0] == pytest.approx(2.0, abs=1e-5)
