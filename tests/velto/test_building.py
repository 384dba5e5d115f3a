"""Building models from numbers, numpy arrays and scipy.sparse matrices: what
goes in is what the task holds, and bad input is refused without a trace."""
import numpy as np
import pytest
import scipy.sparse as sp

import velto
from velto import BoundKey


def matrix_of(m):
    """The task's constraint matrix as a dense array (read through the module)."""
    ptrb, ptre, sub, val = bytearray(), bytearray(), bytearray(), bytearray()
    assert m.task.getarowslice64_iiOOOO_3(0, m.num_constraints, ptrb, ptre, sub, val)[0] == 0
    ptrb, ptre = np.frombuffer(ptrb, np.int64), np.frombuffer(ptre, np.int64)
    sub, val = np.frombuffer(sub, np.int32), np.frombuffer(val)
    dense = np.zeros((m.num_constraints, m.num_variables))
    for i, (b, e) in enumerate(zip(ptrb, ptre)):
        dense[i, sub[b:e]] = val[b:e]
    return dense


def bounds_of(m, getter, n):
    bk, lo, up = bytearray(), bytearray(), bytearray()
    assert getter(0, n, bk, lo, up) == (0, None)
    return list(np.frombuffer(bk, np.int32)), list(np.frombuffer(lo)), list(np.frombuffer(up))


DENSE = np.array([[1.0, 0, 2], [0, 0, 0], [0, 3, -4]])


@pytest.mark.parametrize("form", [
    lambda: sp.csr_matrix(DENSE), lambda: sp.csc_matrix(DENSE), lambda: sp.coo_matrix(DENSE),
    lambda: DENSE, lambda: DENSE.tolist(),
    lambda: ([0, 0, 2, 2], [0, 2, 1, 2], [1.0, 2.0, 3.0, -4.0]),
    lambda: [{0: 1, 2: 2}, {}, {1: 3, 2: -4}]])
def test_constraint_blocks_in_every_form(form):
    m = velto.Model()
    m.add_variables(3)
    m.add_constraint({1: 7.0}, ub=1)
    rows = m.add_constraints(form(), lb=[-1, -np.inf, 0], ub=np.array([1, 5, np.inf]))
    assert rows == range(1, 4)
    expected = np.vstack([[0, 7, 0], DENSE])
    assert (matrix_of(m) == expected).all()
    keys, lo, up = bounds_of(m, m.task.getconboundslice_iiOOO_3, 4)
    assert keys == [BoundKey.UP, BoundKey.RA, BoundKey.UP, BoundKey.LO]
    assert lo[1:] == [-1, -np.inf, 0] and up[1:3] == [1, 5]


def test_numpy_scalars_and_arrays_are_taken_everywhere():
    m = velto.Model()
    x = m.add_variables(np.int64(2), lb=np.float32(0), ub=np.array([4, 6], dtype=np.int16),
                        obj=np.array([1, 1], dtype=np.float32))
    m.add_constraint({np.int64(x[0]): np.float64(1), np.int32(x[1]): 2}, lb=np.int8(2))
    m.set_objective(np.array([1, 3]), sense="min")
    r = m.solve()
    assert isinstance(r.x, np.ndarray) and r.x.dtype == np.float64
    assert r.x == pytest.approx([2, 0]) and r.objective == pytest.approx(2)


def test_variable_bounds_types_and_names_in_bulk():
    m = velto.Model()
    x = m.add_variables(4, lb=[0, -np.inf, 1, -2], ub=[np.inf, 3, 1, 2], obj=[1, 2, 3, 4],
                        integer=[False, True, False, True], names=["a", "b", "c", "d"])
    keys, _, _ = bounds_of(m, m.task.getvarboundslice_iiOOO_3, 4)
    assert keys == [BoundKey.LO, BoundKey.UP, BoundKey.FX, BoundKey.RA]
    types = [m.task.getvartype_i_2(j)[1] for j in x]
    assert types == [velto.VariableType.CONT, velto.VariableType.INT] * 2
    assert [m.variable_name(j) for j in x] == ["a", "b", "c", "d"]
    assert m.variable_index("c") == 2 and m.variable_index("nope") is None
    m.set_variable_bounds([0, 3], lb=[5, 0], ub=[5, 1])
    m.set_integer([1], False)
    assert bounds_of(m, m.task.getvarboundslice_iiOOO_3, 4)[0] == [BoundKey.FX, BoundKey.UP, BoundKey.FX,
                                                                     BoundKey.RA]
    assert m.task.getvartype_i_2(1)[1] == velto.VariableType.CONT


def sizes(m):
    return m.num_variables, m.num_constraints, m.task.getnumanz64__1()[1]


@pytest.mark.parametrize("call, error", [
    (lambda m: m.add_variables(2, lb=[0, 1, 2]), ValueError),
    (lambda m: m.add_variables(2, lb=[0, np.nan]), ValueError),
    (lambda m: m.add_variables(2, obj="ab"), TypeError),
    (lambda m: m.add_variables(-1), ValueError),
    (lambda m: m.add_variables(2, names=["only one"]), ValueError),
    (lambda m: m.add_constraint({5: 1.0}), ValueError),
    (lambda m: m.add_constraint({0.5: 1.0}), TypeError),
    (lambda m: m.add_constraint(([0, 1], [1.0])), ValueError),
    (lambda m: m.add_constraint([1, 2]), TypeError),
    (lambda m: m.add_constraints(np.ones((2, 5))), ValueError),
    (lambda m: m.add_constraints(np.ones((2, 2)), ub=[1, 2, 3]), ValueError),
    (lambda m: m.add_constraints(([0, 3], [0, 1], [1, 1]), ub=[1, 1]), ValueError),
    (lambda m: m.add_constraints(([0, -1], [0, 1], [1, 1])), ValueError),
    (lambda m: m.add_constraints(np.ones(3)), ValueError),
    (lambda m: m.add_constraints(np.ones((1, 2)), names=["a", "a"]), ValueError),
    (lambda m: m.set_objective([1, 2, 3]), ValueError),
    (lambda m: m.set_quadratic_objective({(0, 1): 1, (1, 0): 1}), ValueError),
    (lambda m: m.add_quadratic_constraint({0: 1}, {(0, 0): -1.0}, ub=1), None),
])
def test_bad_input_is_refused_and_leaves_the_model_as_it_was(call, error):
    m = velto.Model()
    m.add_variables(2)
    m.add_constraint({0: 1, 1: 1}, lb=1)
    before = sizes(m)
    if error is None:  # accepted when added; refused by the optimizer as non-convex
        call(m)
        with pytest.raises(velto.Error, match="onvex") as info:
            m.solve()
        assert info.value.code == velto.ResponseCode.ERR_NONCONVEX
        return
    with pytest.raises(error):
        call(m)
    assert sizes(m) == before


def test_an_error_carries_the_code_and_the_libraries_message():
    m = velto.Model()
    with pytest.raises(velto.Error) as info:
        m.read("/nonexistent/model.mps")
    assert info.value.code == velto.ResponseCode.ERR_FILE_OPEN
    assert "/nonexistent/model.mps" in str(info.value) and "ERR_FILE_OPEN" in str(info.value)


@pytest.mark.parametrize("Q", [
    {(0, 0): 2.0, (1, 0): 0.5, (1, 1): 1.0}, {(0, 0): 2.0, (0, 1): 0.5, (1, 1): 1.0},
    np.array([[2.0, 0.5], [0.5, 1.0]]), sp.csr_matrix(np.array([[2.0, 0.5], [0.5, 1.0]]))])
def test_quadratic_objective_in_every_form(Q):
    # min 0.5 x'Qx - x0 - x1: Q x = (1, 1) -> x = (2/7, 6/7)
    m = velto.Model()
    m.add_variables(2, lb=-np.inf, obj=[-1, -1])
    m.set_quadratic_objective(Q)
    r = m.solve()
    assert r.x == pytest.approx([2 / 7, 6 / 7], abs=1e-6)


def test_bulk_building_of_twenty_thousand_rows_matches_row_by_row():
    rng = np.random.default_rng(3)
    A = sp.random(20_000, 500, density=0.01, random_state=4, format="csr")
    ub = rng.uniform(1, 2, 20_000)
    bulk = velto.Model()
    bulk.add_variables(500, ub=1, obj=-np.ones(500))
    bulk.add_constraints(A, ub=ub)
    rows = velto.Model()
    rows.add_variables(500, ub=1, obj=-np.ones(500))
    for i in range(0, 20_000, 997):  # a sample of rows, added one by one
        rows.add_constraint(A[i], ub=ub[i])
    got = matrix_of(bulk)
    assert (got == A.toarray()).all()
    assert (matrix_of(rows) == A.toarray()[::997]).all()
