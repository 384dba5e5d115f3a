"""The Env methods of the linear-algebra routines: results against numpy,
the count checks of the arguments, and the copying of the sparse factor into
bytearrays."""
import numpy as np
import pytest

_vlt = pytest.importorskip("_vlt")

rng = np.random.default_rng(7)


def view(a):
    return memoryview(np.ascontiguousarray(a).reshape(-1))


def spd(n):
    b = rng.standard_normal((n, n))
    return b @ b.T + n * np.eye(n)


@pytest.fixture
def genv():
    return _vlt.Env(globalenv=True)


def test_axpy_and_dot(genv):
    x, y = rng.standard_normal(6), rng.standard_normal(6)
    expect = y + 0.5 * x
    assert genv.axpy_idOO_5(6, 0.5, view(x), view(y)) == (0, None)
    assert np.allclose(y, expect)
    res, value = genv.dot_iOO_4(6, view(x), view(y))
    assert res == 0 and type(value) is float and value == pytest.approx(x @ y)


@pytest.mark.parametrize("trans", [0, 1])
def test_gemv(genv, trans):
    m, n = 3, 4
    a = rng.standard_normal((m, n))
    op = a if trans == 0 else a.T
    x, y = rng.standard_normal(op.shape[1]), rng.standard_normal(op.shape[0])
    expect = 2.0 * op @ x - 1.0 * y
    assert genv.gemv_iiidOOdO_9(trans, m, n, 2.0, view(a), view(x), -1.0, view(y)) == (0, None)
    assert np.allclose(y, expect)


@pytest.mark.parametrize("transa, transb", [(0, 0), (0, 1), (1, 0), (1, 1)])
def test_gemm(genv, transa, transb):
    m, n, k = 2, 3, 4
    a = rng.standard_normal((m, k) if transa == 0 else (k, m))
    b = rng.standard_normal((k, n) if transb == 0 else (n, k))
    c = rng.standard_normal((m, n))
    expect = 1.5 * (a if transa == 0 else a.T) @ (b if transb == 0 else b.T) + 0.5 * c
    assert genv.gemm_iiiiidOOdO_11(transa, transb, m, n, k, 1.5, view(a), view(b), 0.5, view(c)) == (0, None)
    assert np.allclose(c, expect)


@pytest.mark.parametrize("uplo", [0, 1])
@pytest.mark.parametrize("trans", [0, 1])
def test_syrk_writes_one_triangle(genv, uplo, trans):
    n, k = 4, 3
    a = rng.standard_normal((n, k) if trans == 0 else (k, n))
    c = rng.standard_normal((n, n))
    full = 2.0 * (a @ a.T if trans == 0 else a.T @ a) + 3.0 * c
    keep = np.triu(np.ones((n, n)), 1) if uplo == 0 else np.tril(np.ones((n, n)), -1)
    expect = np.where(keep == 1, c, full)
    assert genv.syrk_iiiidOdO_9(uplo, trans, n, k, 2.0, view(a), 3.0, view(c)) == (0, None)
    assert np.allclose(c, expect)


@pytest.mark.parametrize("uplo", [0, 1])
def test_potrf_and_eigenvalues(genv, uplo):
    n = 5
    s = spd(n)
    a = s.copy()
    assert genv.potrf_iiO_4(uplo, n, view(a)) == (0, None)
    factor = np.tril(a) if uplo == 0 else np.triu(a)
    rebuilt = factor @ factor.T if uplo == 0 else factor.T @ factor
    assert np.allclose(rebuilt, s)
    other = np.triu(a, 1) if uplo == 0 else np.tril(a, -1)
    assert np.array_equal(other, np.triu(s, 1) if uplo == 0 else np.tril(s, -1))   # left as it was

    sym = rng.standard_normal((n, n))
    sym = sym + sym.T
    stored = np.tril(sym) if uplo == 0 else np.triu(sym)     # the other triangle is never read
    w = np.zeros(n)
    assert genv.syeig_iiOO_5(uplo, n, view(stored), view(w)) == (0, None)
    assert np.allclose(w, np.linalg.eigvalsh(sym))
    wb = bytearray(b"junk")
    assert genv.syeig_iiOO_4(uplo, n, view(stored), wb) == (0, None)
    assert len(wb) == 8 * n and np.allclose(np.frombuffer(wb), w)
    vec, wd = stored.copy(), bytearray()
    assert genv.syevd_iiOO_4(uplo, n, view(vec), wd) == (0, None)
    wd = np.frombuffer(wd)
    assert np.allclose(sym @ vec, vec * wd) and np.allclose(vec.T @ vec, np.eye(n))


def test_library_failures_are_returned(genv):
    a = np.array([[1.0, 2.0], [2.0, 1.0]])
    assert genv.potrf_iiO_4(0, 2, view(a)) == (1701, None)
    assert genv.axpy_idOO_5(2, 1.0, None, view(np.zeros(2))) == (1005, None)
    assert genv.gemv_iiidOOdO_9(2, 1, 1, 1.0, view(np.ones(1)), view(np.ones(1)), 0.0, view(np.ones(1))) == \
        (1308, None)


@pytest.mark.parametrize("call, message", [
    # gemv: x has n (trans 0) or m elements, y the other count.
    (lambda e: e.gemv_iiidOOdO_9(0, 2, 3, 1.0, view(np.zeros(6)), view(np.zeros(2)), 0.0, view(np.zeros(2))),
     "Array is too short in argument x"),
    (lambda e: e.gemv_iiidOOdO_9(1, 2, 3, 1.0, view(np.zeros(6)), view(np.zeros(2)), 0.0, view(np.zeros(2))),
     "Array is too short in argument y"),
    (lambda e: e.gemv_iiidOOdO_9(0, 2, 3, 1.0, view(np.zeros(5)), None, 0.0, None),
     "Array is too short in argument a"),
    # gemm: 8, 12 and 6 elements whatever the transpositions.
    (lambda e: e.gemm_iiiiidOOdO_11(1, 1, 2, 3, 4, 1.0, view(np.zeros(8)), view(np.zeros(12)), 0.0,
                                    view(np.zeros(7))), "Array is too short in argument c"),
    (lambda e: e.gemm_iiiiidOOdO_11(0, 1, 2, 3, 4, 1.0, view(np.zeros(8)), view(np.zeros(13)), 0.0,
                                    view(np.zeros(6))), "Array is too short in argument b"),
    (lambda e: e.potrf_iiO_4(0, 3, view(np.zeros(6))), "Array is too short in argument a"),
    (lambda e: e.potrf_iiO_4(0, 3, view(np.zeros(10))), "Array is too short in argument a"),
    (lambda e: e.syrk_iiiidOdO_9(0, 0, 3, 2, 1.0, view(np.zeros(6)), 0.0, view(np.zeros(8))),
     "Array is too short in argument c"),
    (lambda e: e.dot_iOO_4(3, view(np.zeros(3)), view(np.zeros(4))), "Array is too short in argument y"),
    (lambda e: e.axpy_idOO_5(2, 1.0, view(np.zeros(2, dtype=np.int64)), view(np.zeros(2, dtype=np.int32))),
     "Expected a continuous memoryview object for argument y"),
    (lambda e: e.syeig_iiOO_5(0, 2, view(np.zeros(4)), bytearray(16)), "Expected a memoryview object for argument w"),
    (lambda e: e.syeig_iiOO_4(0, 2, view(np.zeros(4)), view(np.zeros(2))), "Bytearray object for argument w"),
])
def test_count_and_kind_checks(genv, call, message):
    with pytest.raises(TypeError) as info:
        call(genv)
    assert str(info.value) == message


def test_gemv_and_gemm_counts_pass(env, env_log_path, calls):
    assert env.gemv_iiidOOdO_9(1, 2, 3, 1.0, view(np.zeros(6)), view(np.zeros(2)), 0.0, view(np.zeros(3))) \
        == (0, None)
    assert env.gemm_iiiiidOOdO_11(1, 0, 2, 3, 4, 1.0, view(np.zeros(8)), None, 0.0, view(np.zeros(6)))[0] != 0
    lines = calls(env_log_path)
    assert lines[-2].endswith("transa=1 m=2 n=3 alpha=1 a=ptr x=ptr beta=0 y=ptr -> 0")
    assert " b=null " in lines[-1]


# ---------------------------------------------------------------- sparse

def lower_columns(a):
    """The lower triangle of a dense matrix in column layout (nzc, ptrc, subc, valc)."""
    n = a.shape[0]
    nzc, ptrc, subc, valc = [], [], [], []
    for j in range(n):
        rows = [i for i in range(j, n) if a[i, j] != 0]
        ptrc.append(len(subc))
        nzc.append(len(rows))
        subc += rows
        valc += [a[i, j] for i in rows]
    return (np.array(nzc, np.int32), np.array(ptrc, np.int64), np.array(subc, np.int32), np.array(valc))


def sparse_spd(n):
    a = np.where(rng.random((n, n)) < 0.3, rng.standard_normal((n, n)), 0.0)
    a = np.tril(a, -1)
    a = a + a.T
    return a + np.diag(np.abs(a).sum(axis=1) + 1.0)


@pytest.mark.parametrize("ordermethod", [0, 3])
def test_sparse_cholesky_and_solve(env, env_log_path, calls, ordermethod):
    n = 9
    a = sparse_spd(n)
    anzc, aptrc, asubc, avalc = lower_columns(a)
    out = {name: bytearray(b"old") for name in ("perm", "diag", "lnzc", "lptrc", "lsubc", "lvalc")}
    res, nz = env.computesparsecholesky_iidOOOOOOOOOO_8(1, ordermethod, 1e-14, view(anzc), view(aptrc), view(asubc),
                                                       view(avalc), *out.values())
    assert res == 0 and type(nz) is int
    sizes = {"perm": 4 * n, "diag": 8 * n, "lnzc": 4 * n, "lptrc": 8 * n, "lsubc": 4 * nz, "lvalc": 8 * nz}
    assert {k: len(v) for k, v in out.items()} == sizes
    perm = np.frombuffer(out["perm"], np.int32)
    lnzc, lptrc = np.frombuffer(out["lnzc"], np.int32), np.frombuffer(out["lptrc"], np.int64)
    lsubc, lvalc = np.frombuffer(out["lsubc"], np.int32), np.frombuffer(out["lvalc"], np.float64)
    assert sorted(perm) == list(range(n)) and lnzc.sum() == nz
    assert not np.frombuffer(out["diag"]).any()
    low = np.zeros((n, n))
    for j in range(n):
        for p in range(lptrc[j], lptrc[j] + lnzc[j]):
            low[lsubc[p], j] = lvalc[p]
    assert np.allclose(low @ low.T, a[np.ix_(perm, perm)])

    x = rng.standard_normal(n)
    b = (a @ x)[perm].copy()
    for transposed in (0, 1):
        assert env.sparsetriangularsolvedense_iOOOOO_7(transposed, view(lnzc.copy()), view(lptrc.copy()),
                                                       view(lsubc.copy()), view(lvalc.copy()), view(b)) == (0, None)
    solved = np.empty(n)
    solved[perm] = b
    assert np.allclose(solved, x)

    lines = calls(env_log_path)
    start = next(k for k, l in enumerate(lines) if l.startswith("VLT_computesparsecholesky"))
    assert f"ordermethod={ordermethod} " in lines[start] and f" n={n} " in lines[start]
    assert [l.split()[0] for l in lines[start + 1:start + 7]] == ["VLT_freeenv"] * 6
    assert all(l.endswith("-> 0") for l in lines[start + 1:start + 7])
    assert f"n={n} lnzc=ptr lptrc=ptr lensubnval={nz} " in lines[start + 7]


def test_sparse_cholesky_failures(env, env_log_path, calls):
    a = np.array([[1.0, 2.0], [2.0, 1.0]])
    args = [view(x) for x in lower_columns(a)]
    outs = [bytearray(b"keep") for _ in range(6)]
    assert env.computesparsecholesky_iidOOOOOOOOOO_8(1, 0, 0.0, *args, *outs) == (1701, None)
    assert all(o == b"keep" for o in outs)
    assert not any(l.startswith("VLT_freeenv") for l in calls(env_log_path))

    with pytest.raises(TypeError) as info:
        env.computesparsecholesky_iidOOOOOOOOOO_8(1, 0, 0.0, *args, *outs[:3], b"", *outs[4:])
    assert str(info.value) == "Bytearray object for argument lptrc"
    with pytest.raises(TypeError) as info:
        env.computesparsecholesky_iidOOOOOOOOOO_8(1, 0, 0.0, args[0], view(np.zeros(3, np.int64)), *args[2:], *outs)
    assert str(info.value) == "Mismatching lengths of arguments anzc,aptrc"
    # anzc None: n is the count of aptrc; the library refuses the null array.
    assert env.computesparsecholesky_iidOOOOOOOOOO_8(1, 0, 0.0, None, *args[1:], *outs) == (1005, None)
    assert "n=2 anzc=null" in calls(env_log_path)[-1]


@pytest.mark.parametrize("sizes, message", [
    ((3, 4, 3, 3, 4), "Array is too short in argument lnzc"),     # b gives n
    ((4, 3, 3, 3, 4), "Array is too short in argument lptrc"),
    ((4, 4, 3, 2, 4), "Array is too short in argument lvalc"),
])
def test_triangular_solve_groups(env, env_log_path, calls, sizes, message):
    lnzc, lptrc, lsubc, lvalc, b = sizes
    before = len(calls(env_log_path))
    with pytest.raises(TypeError) as info:
        env.sparsetriangularsolvedense_iOOOOO_7(0, view(np.ones(lnzc, np.int32)), view(np.zeros(lptrc, np.int64)),
                                                view(np.zeros(lsubc, np.int32)), view(np.ones(lvalc)),
                                                view(np.ones(b)))
    assert str(info.value) == message
    assert len(calls(env_log_path)) == before


def test_triangular_solve_counts_without_b(env, env_log_path, calls):
    # b None: n comes from lnzc; nz from lvalc when lsubc is None.
    res, _ = env.sparsetriangularsolvedense_iOOOOO_7(1, view(np.ones(3, np.int32)), None, None, view(np.ones(5)), None)
    assert res != 0
    assert "transposed=1 n=3 lnzc=ptr lptrc=null lensubnval=5 lsubc=null lvalc=ptr b=null" in calls(env_log_path)[-1]


def test_ordering_avoids_the_fill_of_an_arrow_matrix(genv):
    # A dense first row and column: in the given order the factor fills in
    # completely; the fill-reducing ordering eliminates that node last.
    n = 8
    a = 10 * np.eye(n)
    a[0, 1:] = a[1:, 0] = 1.0
    args = [view(x) for x in lower_columns(a)]
    outs = [bytearray() for _ in range(6)]
    assert genv.computesparsecholesky_iidOOOOOOOOOO_8(1, 3, 0.0, *args, *outs) == (0, n * (n + 1) // 2)
    assert genv.computesparsecholesky_iidOOOOOOOOOO_8(1, 0, 0.0, *args, *outs) == (0, 2 * n - 1)
    assert np.frombuffer(outs[0], np.int32)[-1] == 0
