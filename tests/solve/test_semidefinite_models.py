"""Semidefinite problems solved by the interior-point optimizer: closed-form
optima (nearest correlation matrices, the Lovasz theta of the 5-cycle, a
PSD domain of an affine conic constraint), a max-cut relaxation checked by
the eigenvalues of its dual, and infeasible and unbounded problems whose
certificates are verified here."""
import numpy as np
import pytest

from arrays import f64, i32, i64

OK, ITR = 0, 0
FX, FR, LO = 2, 3, 0
MAXIMIZE = 1
SOL_OPTIMAL, SOL_PRIM_INFEAS_CER, SOL_DUAL_INFEAS_CER = 1, 5, 6
ROOT2 = np.sqrt(2.0)


def ok(result):
    assert result[0] == OK, result
    return result[1]


def lower(m):
    """The lower triangle of a symmetric matrix as triplets (rows, cols, values), zeros left out."""
    n = len(m)
    t = [(k, l, m[k][l]) for l in range(n) for k in range(l, n) if m[k][l] != 0.0]
    return [list(x) for x in zip(*t)] if t else [[], [], []]


def matrix(task, m):
    """Appends a symmetric matrix of the store; returns its index."""
    rows, cols, vals = lower(m)
    return ok(task.appendsparsesymmat_iOOO_5(len(m), i32(rows), i32(cols), f64(vals)))


def unit(n, k, l):
    """The matrix E with <E, X> = X_kl."""
    e = np.zeros((n, n))
    e[k][l] = e[l][k] = 1.0 if k == l else 0.5
    return e


def packed_to_matrix(v, n):
    x, p = np.zeros((n, n)), 0
    for l in range(n):
        for k in range(l, n):
            x[k][l] = x[l][k] = v[p]
            p += 1
    return x


def bar_value(task, j, n, getter, sol=ITR):
    out = bytearray()
    ok(getter(sol, j, out))
    return packed_to_matrix(np.frombuffer(out), n)


def sdp_with_equalities(task, n, c, rows, sense=0):
    """min or max <C, X> s.t. <A_i, X> = b_i, X PSD of order n; rows are (A_i, b_i)."""
    ok(task.appendbarvars_O_2(i32([n])))
    ok(task.putbarcj_iOO_4(0, i64([matrix(task, c)]), f64([1.0])))
    ok(task.putobjsense_i_2(sense))
    ok(task.appendcons_i_2(len(rows)))
    for i, (a, b) in enumerate(rows):
        ok(task.putbaraij_iiOO_5(i, 0, i64([matrix(task, a)]), f64([1.0])))
        ok(task.putconbound_iidd_5(i, FX, b, b))


def solve(task):
    assert task.optimizetrm__1() == (OK, 0)
    return ok(task.getsolsta_i_2(ITR))


@pytest.mark.parametrize("a, expected", [
    (np.array([[1.0, 2.0], [2.0, 1.0]]), np.sqrt(2.0)),                  # nearest is [[1,1],[1,1]]
    (np.full((3, 3), 2.0) - np.eye(3), np.sqrt(6.0)),                      # nearest is all ones
    (np.full((3, 3), -1.0) + 2 * np.eye(3), np.sqrt(6.0) / 2),            # off-diagonals move to -1/2
])
def test_nearest_correlation_matrix(task, free_variables, a, expected):
    # min t  s.t.  t >= ||X - A||_F,  diag(X) = 1,  X PSD: the norm's AFEs are
    # t and the svec of X - A, given through barF.
    n = len(a)
    free_variables(task, 1)
    ok(task.putcj_id_3(0, 1.0))
    ok(task.appendbarvars_O_2(i32([n])))
    ok(task.appendcons_i_2(n))
    for i in range(n):
        ok(task.putbaraij_iiOO_5(i, 0, i64([matrix(task, unit(n, i, i))]), f64([1.0])))
        ok(task.putconbound_iidd_5(i, FX, 1.0, 1.0))
    positions = [(k, l) for l in range(n) for k in range(l, n)]
    ok(task.appendafes_L_2(1 + len(positions)))
    ok(task.putafefentry_Lid_4(0, 0, 1.0))
    for r, (k, l) in enumerate(positions, start=1):
        scale = 1.0 if k == l else ROOT2
        ok(task.putafebarfentry_LiOO_5(r, 0, i64([matrix(task, unit(n, k, l))]), f64([scale])))
        ok(task.putafeg_Ld_3(r, -scale * a[k][l]))
    ok(task.appendaccseq_LLO_4(ok(task.appendquadraticconedomain_L_2(1 + len(positions))), 0, None))
    assert solve(task) == SOL_OPTIMAL
    assert ok(task.getprimalobj_i_2(ITR)) == pytest.approx(expected, rel=1e-7)
    x = bar_value(task, 0, n, task.getbarxj_iiO_3)
    assert np.diag(x) == pytest.approx(np.ones(n), abs=1e-7)
    assert np.linalg.eigvalsh(x).min() > -1e-7
    assert np.linalg.norm(x - a) == pytest.approx(expected, rel=1e-6)


def test_lovasz_theta_of_the_five_cycle(task):
    n = 5
    edges = [(i, (i + 1) % n) for i in range(n)]
    rows = [(np.eye(n), 1.0)] + [(unit(n, max(i, j), min(i, j)), 0.0) for i, j in edges]
    sdp_with_equalities(task, n, np.ones((n, n)), rows, sense=MAXIMIZE)
    assert solve(task) == SOL_OPTIMAL
    assert ok(task.getprimalobj_i_2(ITR)) == pytest.approx(np.sqrt(5.0), rel=1e-8)
    assert ok(task.getdualobj_i_2(ITR)) == pytest.approx(np.sqrt(5.0), rel=1e-8)


def test_max_cut_relaxation_is_optimal_by_the_eigenvalues_of_its_dual(task):
    # max <L/4, X>, diag(X) = 1: the dual S = C - sum y_i E_ii is negative
    # semidefinite (maximization), S X = 0, and the bound sum y_i equals the objective.
    rng = np.random.default_rng(3)
    n = 7
    w = np.triu(rng.integers(0, 2, size=(n, n)) * rng.uniform(0.5, 2.0, size=(n, n)), 1)
    w = w + w.T
    laplacian = np.diag(w.sum(axis=1)) - w
    sdp_with_equalities(task, n, laplacian / 4, [(unit(n, i, i), 1.0) for i in range(n)], sense=MAXIMIZE)
    assert solve(task) == SOL_OPTIMAL
    y = bytearray()
    ok(task.gety_iO_2(ITR, y))
    y = np.frombuffer(y)
    s = bar_value(task, 0, n, task.getbarsj_iiO_3)
    x = bar_value(task, 0, n, task.getbarxj_iiO_3)
    assert s == pytest.approx(laplacian / 4 - np.diag(y), abs=1e-7)
    assert np.linalg.eigvalsh(s).max() < 1e-7
    assert np.linalg.eigvalsh(x).min() > -1e-7
    assert abs(np.trace(s @ x)) < 1e-7
    objective = ok(task.getprimalobj_i_2(ITR))
    assert y.sum() == pytest.approx(objective, rel=1e-8)
    assert objective >= np.trace(laplacian) / 4 / 2  # at least the value of a random cut, in expectation


def test_psd_domain_of_an_affine_conic_constraint(task, free_variables):
    # min t s.t. [[t, 1], [1, t]] PSD: t = 1; svec rows (t, sqrt2, t).
    free_variables(task, 1)
    ok(task.putcj_id_3(0, 1.0))
    ok(task.appendafes_L_2(3))
    ok(task.putafefentrylist_OOO_4(i64([0, 2]), i32([0, 0]), f64([1.0, 1.0])))
    ok(task.putafeg_Ld_3(1, ROOT2))
    ok(task.appendaccseq_LLO_4(ok(task.appendsvecpsdconedomain_L_2(3)), 0, None))
    assert solve(task) == SOL_OPTIMAL
    assert ok(task.getprimalobj_i_2(ITR)) == pytest.approx(1.0, rel=1e-8)
    doty = bytearray()
    ok(task.getaccdoty_iLO_3(ITR, 0, doty))
    z = np.frombuffer(doty)
    dual = packed_to_matrix([z[0], z[1] / ROOT2, z[2]], 2)
    assert np.linalg.eigvalsh(dual).min() > -1e-8 and np.trace(dual) == pytest.approx(1.0, rel=1e-7)


def test_primal_infeasible_sdp_has_a_verified_certificate(task):
    # X PSD of order 2 with X_00 = -1 and X_11 = 1: impossible.
    sdp_with_equalities(task, 2, np.zeros((2, 2)), [(unit(2, 0, 0), -1.0), (unit(2, 1, 1), 1.0)])
    assert solve(task) == SOL_PRIM_INFEAS_CER
    y = bytearray()
    ok(task.gety_iO_2(ITR, y))
    y = np.frombuffer(y)
    s = bar_value(task, 0, 2, task.getbarsj_iiO_3)
    # s = -sum y_i A_i is PSD while b'y > 0: no X can meet the rows.
    assert s == pytest.approx(-(y[0] * unit(2, 0, 0) + y[1] * unit(2, 1, 1)), abs=1e-9)
    assert np.linalg.eigvalsh(s).min() > -1e-9 * np.abs(y).max()
    assert -1.0 * y[0] + 1.0 * y[1] > 0


def test_dual_infeasible_sdp_has_a_verified_certificate(task):
    # min -X_00 - X_11 + 2 X_10 ... with only X_11 = 1 fixed: X_00 grows without bound.
    sdp_with_equalities(task, 2, -unit(2, 0, 0), [(unit(2, 1, 1), 1.0)])
    assert solve(task) == SOL_DUAL_INFEAS_CER
    x = bar_value(task, 0, 2, task.getbarxj_iiO_3)
    assert np.linalg.eigvalsh(x).min() > -1e-9 * np.abs(x).max()
    assert abs(x[1][1]) <= 1e-9 * np.abs(x).max()  # keeps the row
    assert -x[0][0] < 0                             # and improves the objective


def test_integer_and_semidefinite_variables_together_get_an_integer_solution(task):
    # min X_00 + x  s.t.  X_11 = 1, X PSD, x integer in [0.5, 3]: X_00 = 0, x = 1
    sdp_with_equalities(task, 2, unit(2, 0, 0), [(unit(2, 1, 1), 1.0)])
    ok(task.appendvars_i_2(1))
    ok(task.putvartype_ii_3(0, 1))  # integer
    ok(task.putvarbound_iidd_5(0, 4, 0.5, 3.0))  # ranged
    ok(task.putcj_id_3(0, 1.0))
    assert task.optimizetrm__1() == (OK, 0)
    assert ok(task.getnumbarvar__1()) == 1 and ok(task.getnumvar__1()) == 1
    itg = 2
    assert ok(task.solutiondef_i_2(itg)) == 1
    assert ok(task.getprimalobj_i_2(itg)) == pytest.approx(1.0, abs=1e-6)
    x = np.zeros(1)
    ok(task.getxx_iO_3(itg, memoryview(x)))
    assert x[0] == pytest.approx(1.0, abs=1e-9)
