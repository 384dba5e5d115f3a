"""Solves with the optimal basis against dense solves, and the condition
estimate against the exact 1-norms."""
import numpy as np
import pytest

import _vlt

from arrays import f64, i32

RA = 4
BAS = 1
IPAR_OPTIMIZER, DUAL_SIMPLEX, IPAR_BASIS_SOLVE_USE_PLUS_ONE = 67, 4, 2


def solved_lp(env, seed, m=6, n=10):
    rng = np.random.default_rng(seed)
    A = rng.normal(size=(m, n)) * (rng.random((m, n)) < 0.7)
    task = _vlt.Task(env)
    task.appendcons_i_2(m)
    task.appendvars_i_2(n)
    for i in range(m):
        cols = np.flatnonzero(A[i])
        task.putarow_iOO_4(i, i32(cols), f64(A[i, cols]))
        task.putconbound_iidd_5(i, RA, -1.0, 1.0)
    for j in range(n):
        task.putvarbound_iidd_5(j, RA, -1.0, 1.0)
    task.putcslice_iiO_4(0, n, f64(rng.normal(size=n)))
    task.putintparam_ii_3(IPAR_OPTIMIZER, DUAL_SIMPLEX)
    assert task.optimizetrm__1() == (0, 0)
    return task, A


def dense_basis(A, basis, slack):
    m = A.shape[0]
    return np.column_stack([slack * np.eye(m)[:, k] if k < m else A[:, k - m] for k in basis])


@pytest.mark.parametrize("plus_one", [0, 1])
@pytest.mark.parametrize("seed", range(4))
def test_solves_with_the_basis_match_dense_solves(seed, plus_one):
    env = _vlt.Env()
    task, A = solved_lp(env, seed)
    m = A.shape[0]
    task.putintparam_ii_3(IPAR_BASIS_SOLVE_USE_PLUS_ONE, plus_one)
    basis = np.zeros(m, np.int32)
    assert task.initbasissolve_O_2(memoryview(basis)) == (0, None)
    skc, skx = bytearray(), bytearray()
    task.getskc_iO_2(BAS, skc)
    task.getskx_iO_2(BAS, skx)
    keys = np.r_[np.frombuffer(bytes(skc), np.int32), np.frombuffer(bytes(skx), np.int32)]
    assert sorted(basis) == sorted(np.flatnonzero(keys == 1))
    B = dense_basis(A, basis, 1.0 if plus_one else -1.0)
    rng = np.random.default_rng(seed + 10)
    for transp in (0, 1):
        for numnz in (0, 1, 3, m):
            sub = np.zeros(m, np.int32)
            sub[:numnz] = rng.choice(m, numnz, replace=False)
            val = np.full(m, 99.0)               # entries outside sub are not read
            rhs = np.zeros(m)
            rhs[sub[:numnz]] = val[sub[:numnz]] = rng.normal(size=numnz)
            res, count = task.solvewithbasis_iiOO_5(transp, numnz, memoryview(sub), memoryview(val))
            assert res == 0
            expected = np.linalg.solve(B.T if transp else B, rhs)
            np.testing.assert_allclose(val, expected, rtol=1e-12, atol=1e-12)
            assert sorted(sub[:count]) == list(np.flatnonzero(val))   # the nonzeros, listed


def test_condition_estimate_is_a_sound_lower_bound():
    env = _vlt.Env()
    ratios = []
    for seed in range(20):
        task, A = solved_lp(env, 100 + seed, m=8, n=12)
        basis = np.zeros(8, np.int32)
        task.initbasissolve_O_2(memoryview(basis))
        B = dense_basis(A, basis, -1.0)
        res, (norm, inverse_norm) = task.basiscond__1()
        assert res == 0
        assert norm == pytest.approx(np.linalg.norm(B, 1), rel=1e-14)
        exact = np.linalg.norm(np.linalg.inv(B), 1)
        assert inverse_norm <= exact * (1 + 1e-10)
        ratios.append(exact / inverse_norm)
        task.dispose()
    assert max(ratios) < 3.0
    assert sum(r < 1 + 1e-10 for r in ratios) >= 10   # exact on most bases


def test_basis_solves_refuse_what_they_cannot_do():
    env = _vlt.Env()
    task, A = solved_lp(env, 7)
    m = A.shape[0]
    sub, val = np.zeros(m, np.int32), np.zeros(m)
    assert task.solvewithbasis_iiOO_5(0, 0, memoryview(sub), memoryview(val))[0] == 1605   # not factored yet
    assert task.initbasissolve_O_1(bytearray()) == (0, None)
    sub[:2] = [1, 1]
    assert task.solvewithbasis_iiOO_5(0, 2, memoryview(sub), memoryview(val))[0] == 1211
    sub[:2] = [0, m]
    assert task.solvewithbasis_iiOO_5(0, 2, memoryview(sub), memoryview(val))[0] == 1200
    assert task.solvewithbasis_iiOO_5(2, 0, memoryview(sub), memoryview(val))[0] == 1308
    assert task.appendcons_i_2(1) == (0, None)
    sub, val = np.zeros(m + 1, np.int32), np.zeros(m + 1)
    assert task.solvewithbasis_iiOO_5(0, 0, memoryview(sub), memoryview(val))[0] == 1605   # the problem grew
    assert task.initbasissolve_O_1(bytearray())[0] == 1605    # the stored keys no longer make a basis
