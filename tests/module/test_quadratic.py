"""Quadratic terms of the objective and of the constraints through the generated Task methods."""
import numpy as np
import pytest

from arrays import f64, i32

M, N = 4, 5
OK, ERR_NULL_POINTER, ERR_BUFFER_TOO_SMALL, ERR_NEGATIVE_COUNT = 0, 1005, 1010, 1012
ERR_INDEX_CON, ERR_INDEX_VAR, ERR_DUPLICATE_INDEX, ERR_NAN, ERR_INF = 1201, 1202, 1211, 1302, 1303
PROBTYPE_LO, PROBTYPE_QO, PROBTYPE_QCQO = 0, 1, 2
BK_LO, BK_FR = 0, 3
SOL_ITR, SOLSTA_OPTIMAL = 0, 1


def sized(task, m=M, n=N):
    task.appendcons_i_2(m)
    task.appendvars_i_2(n)
    return task


def lower(entries):
    """{(i, j): v} with every position moved into the lower triangle."""
    return {(max(i, j), min(i, j)): v for (i, j), v in entries.items()}


def objective(task):
    """The objective's terms read through both getter variants, which must agree."""
    _, nz = task.getnumqobjnz64__1()
    views = [np.zeros(nz, np.int32), np.zeros(nz, np.int32), np.zeros(nz)]
    assert task.getqobj64_OOO_4(*map(memoryview, views)) == (0, nz)
    raw = [bytearray(b"stale") for _ in range(3)]
    assert task.getqobj64_OOO_1(*raw) == (0, nz)
    assert raw == [v.tobytes() for v in views]
    i, j, v = views
    assert all(i >= j), "stored outside the lower triangle"
    return {(int(a), int(b)): float(c) for a, b, c in zip(i, j, v)}


def constraint(task, k):
    _, nz = task.getnumqconknz64_i_2(k)
    views = [np.zeros(nz, np.int32), np.zeros(nz, np.int32), np.zeros(nz)]
    assert task.getqconk64_iOOO_5(k, *map(memoryview, views)) == (0, nz)
    raw = [bytearray(b"stale") for _ in range(3)]
    assert task.getqconk64_iOOO_2(k, *raw) == (0, nz)
    assert raw == [v.tobytes() for v in views]
    i, j, v = views
    assert all(i >= j)
    return {(int(a), int(b)): float(c) for a, b, c in zip(i, j, v)}


def state(task):
    _, m = task.getnumcon__1()
    return objective(task), [constraint(task, k) for k in range(m)], task.getprobtype__1(), task.getmaxnumqnz64__1()


def put_objective(task, entries):
    i, j = zip(*entries) if entries else ((), ())
    return task.putqobj_OOO_4(i32(i), i32(j), f64(list(entries.values())))


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_objective_round_trip_in_either_triangle(task, seed):
    rng = np.random.default_rng(seed)
    sized(task)
    positions = {(max(i, j), min(i, j)) for i, j in rng.integers(0, N, (8, 2))}
    # Each position given once, in a random triangle, with one explicit zero.
    given = {((i, j) if rng.random() < 0.5 else (j, i)): float(rng.uniform(-2, 2)) for i, j in positions}
    zero = next(iter(given))
    given[zero] = 0.0
    assert put_objective(task, given) == (0, None)
    expected = {k: v for k, v in lower(given).items() if v != 0.0}
    assert objective(task) == expected
    for (i, j), v in lower(given).items():
        assert task.getqobjij_ii_3(i, j) == task.getqobjij_ii_3(j, i) == (0, v)
    assert task.getprobtype__1() == (0, PROBTYPE_QO if expected else PROBTYPE_LO)
    # A put replaces the whole Q.
    assert put_objective(task, {(4, 4): 1.0}) == (0, None)
    assert objective(task) == {(4, 4): 1.0}


def test_putqobjij_sets_overwrites_and_removes(task):
    sized(task)
    put_objective(task, {(1, 0): 2.0, (3, 3): 1.0})
    assert task.putqobjij_iid_4(0, 1, 5.0) == (0, None)  # the upper triangle names the same entry
    assert task.putqobjij_iid_4(4, 2, -1.5) == (0, None)
    assert task.putqobjij_iid_4(3, 3, 0.0) == (0, None)
    assert task.putqobjij_iid_4(2, 2, 0.0) == (0, None)  # removing an absent entry
    assert objective(task) == {(1, 0): 5.0, (4, 2): -1.5}
    assert task.getnumqobjnz64__1() == (0, 2)


@pytest.mark.parametrize("entries, res", [
    ([(1, 0, 1.0), (1, 0, 2.0)], ERR_DUPLICATE_INDEX),
    ([(2, 1, 1.0), (3, 3, 1.0), (1, 2, 1.0)], ERR_DUPLICATE_INDEX),  # both triangles of one pair
    ([(0, 0, 1.0), (1, 0, 0.5), (0, 1, 0.5), (1, 1, 1.0)], ERR_DUPLICATE_INDEX),  # a full symmetric Q
    ([(0, 0, 1.0), (0, N, 1.0)], ERR_INDEX_VAR),
    ([(-1, 0, 1.0)], ERR_INDEX_VAR),
    ([(0, 0, 1.0), (1, 1, float("nan"))], ERR_NAN),
    ([(1, 1, float("inf"))], ERR_INF),
])
def test_refused_objective_lists_change_nothing(task, entries, res):
    sized(task)
    put_objective(task, {(2, 2): 3.0})
    before = state(task)
    i, j, v = zip(*entries)
    assert task.putqobj_OOO_4(i32(i), i32(j), f64(v)) == (res, None)
    code, message = task.getlasterror()
    assert code == res and ("qosubi[" in message or "qosubj[" in message or "qoval[" in message)
    assert state(task) == before


@pytest.mark.parametrize("call, res", [
    (lambda t: t.putqobjij_iid_4(N, 0, 1.0), ERR_INDEX_VAR),
    (lambda t: t.putqobjij_iid_4(0, 0, float("nan")), ERR_NAN),
    (lambda t: t.getqobjij_ii_3(0, -1), ERR_INDEX_VAR),
    (lambda t: t.putqconk_iOOO_5(M, i32([0]), i32([0]), f64([1.0])), ERR_INDEX_CON),
    (lambda t: t.putqconk_iOOO_5(0, i32([0, 0]), i32([1, 1]), f64([1.0, 1.0])), ERR_DUPLICATE_INDEX),
    (lambda t: t.putqcon_OOOO_5(i32([0, M]), i32([0, 0]), i32([0, 0]), f64([1.0, 1.0])), ERR_INDEX_CON),
    (lambda t: t.putqcon_OOOO_5(i32([2, 2]), i32([3, 1]), i32([1, 3]), f64([1.0, 2.0])), ERR_DUPLICATE_INDEX),
    (lambda t: t.putqcon_OOOO_5(i32([0]), i32([0]), i32([0]), f64([float("-inf")])), ERR_INF),
    (lambda t: t.getnumqconknz64_i_2(M), ERR_INDEX_CON),
    (lambda t: t.getqconk64_iOOO_2(-1, bytearray(), bytearray(), bytearray()), ERR_INDEX_CON),
    (lambda t: t.putmaxnumqnz_L_2(-1), ERR_NEGATIVE_COUNT),
    (lambda t: t.putqobj_OOO_4(None, i32([0] * 3), f64([1.0] * 3)), ERR_NULL_POINTER),
])
def test_library_refusals_change_nothing(task, call, res):
    sized(task)
    put_objective(task, {(1, 1): 1.0})
    task.putqconk_iOOO_5(1, i32([2]), i32([0]), f64([4.0]))
    before = state(task)
    assert call(task) == (res, None)
    assert state(task) == before


def test_constraint_terms_per_row_and_putqcon_replaces_all(task):
    sized(task)
    assert task.putqconk_iOOO_5(0, i32([0, 1]), i32([0, 3]), f64([1.0, -2.0])) == (0, None)
    assert task.putqconk_iOOO_5(2, i32([4]), i32([4]), f64([3.0])) == (0, None)
    assert task.getprobtype__1() == (0, PROBTYPE_QCQO)
    assert [constraint(task, k) for k in range(M)] == [{(0, 0): 1.0, (3, 1): -2.0}, {}, {(4, 4): 3.0}, {}]
    # Replacing Q_0 leaves Q_2; an empty put clears it.
    assert task.putqconk_iOOO_5(0, None, None, None) == (0, None)
    assert [constraint(task, k) for k in range(M)] == [{}, {}, {(4, 4): 3.0}, {}]
    # putqcon replaces every row's terms: row 2, not named, loses its own.
    assert task.putqcon_OOOO_5(i32([3, 1, 3]), i32([0, 2, 0]), i32([0, 2, 2]), f64([1.0, 2.0, 3.0])) == (0, None)
    assert [constraint(task, k) for k in range(M)] == [{}, {(2, 2): 2.0}, {}, {(0, 0): 1.0, (2, 0): 3.0}]
    assert task.getmaxnumqnz64__1() == (0, 3)
    assert task.putqcon_OOOO_5(None, None, None, None) == (0, None)
    assert task.getprobtype__1() == (0, PROBTYPE_LO)


def test_removals_renumber_the_terms(task):
    sized(task)
    put_objective(task, {(0, 0): 1.0, (2, 1): 2.0, (4, 2): 3.0, (4, 4): 4.0})
    task.putqcon_OOOO_5(i32([0, 1, 3, 3]), i32([1, 4, 3, 2]), i32([1, 0, 3, 2]), f64([5.0, 6.0, 7.0, 8.0]))
    assert task.removevars_O_2(i32([1, 3])) == (0, None)  # variables 0, 2, 4 become 0, 1, 2
    assert objective(task) == {(0, 0): 1.0, (2, 1): 3.0, (2, 2): 4.0}
    assert [constraint(task, k) for k in range(M)] == [{}, {(2, 0): 6.0}, {}, {(1, 1): 8.0}]
    assert task.removecons_O_2(i32([0, 2])) == (0, None)  # rows 1, 3 become 0, 1
    assert task.getnumcon__1() == (0, 2)
    assert [constraint(task, k) for k in range(2)] == [{(2, 0): 6.0}, {(1, 1): 8.0}]
    # Appended rows have no terms; nothing moved onto them.
    task.appendcons_i_2(2)
    assert [constraint(task, k) for k in range(4)] == [{(2, 0): 6.0}, {(1, 1): 8.0}, {}, {}]


def test_capacity_is_a_hint_that_never_hides_the_count(task):
    sized(task)
    assert task.getmaxnumqnz64__1() == (0, 0)
    assert task.putmaxnumqnz_L_2(2**40) == (0, None)
    assert task.getmaxnumqnz64__1() == (0, 2**40)
    assert task.putmaxnumqnz_L_2(1) == (0, None)
    put_objective(task, {(0, 0): 1.0, (1, 1): 1.0})
    task.putqconk_iOOO_5(0, i32([2]), i32([2]), f64([1.0]))
    assert task.getmaxnumqnz64__1() == (0, 3)


@pytest.mark.parametrize("call, functions, last", [
    (lambda t: t.getqobj64_OOO_4(None, None, None), ["getnumqobjnz64", "getqobj64"],
     "maxnumqonz=3 numqonz=ptr qosubi=null qosubj=null qoval=null"),
    (lambda t: t.getqobj64_OOO_4(None, i32([0] * 3), None), ["getnumqobjnz64", "getqobj64"],
     "maxnumqonz=3 numqonz=ptr qosubi=null qosubj=ptr qoval=null"),
    (lambda t: t.getqobj64_OOO_1(bytearray(), bytearray(), bytearray()), ["getnumqobjnz64", "getqobj64"],
     "maxnumqonz=3"),
    (lambda t: t.getqconk64_iOOO_5(1, None, None, None), ["getnumqconknz64"] * 4 + ["getqconk64"],
     "k=1 maxnumqcnz=2 numqcnz=ptr qcsubi=null qcsubj=null qcval=null"),
    (lambda t: t.getqconk64_iOOO_2(1, bytearray(), bytearray(), bytearray()), ["getnumqconknz64"] * 4 + ["getqconk64"],
     "k=1 maxnumqcnz=2"),
    (lambda t: t.putqobj_OOO_4(None, i32([0] * 3), f64([1.0] * 3)), ["putqobj"], "numqonz=3 qosubi=null"),
    (lambda t: t.putqcon_OOOO_5(i32([0] * 5), i32([0, 1]), i32([0, 1]), f64([1.0, 1.0])), ["putqcon"], "numqcnz=2"),
    (lambda t: t.putqconk_iOOO_5(3, None, None, f64([])), ["putqconk"], "k=3 numqcnz=0 qcsubi=null"),
])
def test_call_sequences(task, env_log_path, calls, call, functions, last):
    sized(task)
    put_objective(task, {(0, 0): 1.0, (2, 1): 2.0, (3, 3): 3.0})
    task.putqconk_iOOO_5(1, i32([1, 4]), i32([1, 0]), f64([1.0, 1.0]))
    logged = len(calls(env_log_path))
    call(task)
    lines = calls(env_log_path)[logged:]
    assert [line.split()[0] for line in lines] == ["VLT_" + f for f in functions]
    assert f" {last} " in lines[-1]
    assert all(line.startswith("VLT_getnum") and line.endswith("-> 0") for line in lines[:-1])


@pytest.mark.parametrize("call, message, queries", [
    (lambda t: t.putqobj_OOO_4(i32([0]), i32([0, 1]), None), "Mismatching lengths of arguments qosubi,qosubj,qoval", 0),
    (lambda t: t.putqcon_OOOO_5(None, i32([0, 1]), None, f64([1.0] * 3)),
     "Mismatching lengths of arguments qcsubi,qcsubj,qcval", 0),
    (lambda t: t.putqcon_OOOO_5(memoryview(np.zeros(2, np.int64)), i32([0]), i32([0]), f64([1.0])),
     "Expected a continuous memoryview object for argument qcsubk", 0),
    (lambda t: t.putqconk_iOOO_5(0, [0], i32([0]), f64([1.0])), "Expected a memoryview object for argument qcsubi", 0),
    (lambda t: t.getqobj64_OOO_4(i32([0] * 2), None, None), "Array is too short in argument qosubi", 1),
    (lambda t: t.getqobj64_OOO_4(None, None, f64([0.0] * 4)), "Array is too short in argument qoval", 1),
    (lambda t: t.getqobj64_OOO_1(bytearray(), b"", bytearray()), "Bytearray object for argument qosubj", 1),
    (lambda t: t.getqconk64_iOOO_5(1, i32([0] * 2), None, f64([0.0] * 3)), "Array is too short in argument qcval", 4),
    (lambda t: t.getqconk64_iOOO_5(1, i32([0]), None, None), "Array is too short in argument qcsubi", 2),
    (lambda t: t.getqconk64_iOOO_5(1, None, i32([0] * 3), None), "Array is too short in argument qcsubj", 3),
    (lambda t: t.getqconk64_iOOO_2(1, bytearray(), None, bytearray()), "Bytearray object for argument qcsubj", 3),
])
def test_argument_errors(task, env_log_path, calls, call, message, queries):
    sized(task)
    put_objective(task, {(0, 0): 1.0, (2, 1): 2.0, (3, 3): 3.0})
    task.putqconk_iOOO_5(1, i32([1, 4]), i32([1, 0]), f64([1.0, 1.0]))
    before, logged = state(task), len(calls(env_log_path))
    with pytest.raises(TypeError) as caught:
        call(task)
    assert str(caught.value) == message
    lines = calls(env_log_path)[logged:]
    assert len(lines) == queries and all(line.startswith("VLT_getnum") for line in lines)
    assert state(task) == before


def test_failed_size_query_returns_at_once(task, env_log_path, calls):
    sized(task)
    raw = bytearray(b"unchanged")
    logged = len(calls(env_log_path))
    assert task.getqconk64_iOOO_2(M, raw, raw, raw) == (ERR_INDEX_CON, None)
    assert raw == b"unchanged"
    assert [line.split()[0] for line in calls(env_log_path)[logged:]] == ["VLT_getnumqconknz64"]


def test_a_qp_entered_with_putqobj_solves_to_its_optimum(task):
    # min x0^2 + x0 x1 + x1^2 - x0 - x1  s.t.  x0 + x1 >= 1, x free:
    # the row is active at x = (0.5, 0.5) with objective -0.25.
    sized(task, 1, 2)
    task.putvarbound_iidd_5(0, BK_FR, 0.0, 0.0)
    task.putvarbound_iidd_5(1, BK_FR, 0.0, 0.0)
    task.putconbound_iidd_5(0, BK_LO, 1.0, 0.0)
    task.putarow_iOO_4(0, i32([0, 1]), f64([1.0, 1.0]))
    task.putclist_OO_3(i32([0, 1]), f64([-1.0, -1.0]))
    assert put_objective(task, {(0, 0): 2.0, (0, 1): 1.0, (1, 1): 2.0}) == (0, None)
    assert task.optimizetrm__1()[0] == 0
    assert task.getsolsta_i_2(SOL_ITR) == (0, SOLSTA_OPTIMAL)
    res, obj = task.getprimalobj_i_2(SOL_ITR)
    assert res == 0 and obj == pytest.approx(-0.25, abs=1e-6)
    xx = bytearray()
    assert task.getxx_iO_2(SOL_ITR, xx) == (0, None)
    assert np.frombuffer(xx) == pytest.approx([0.5, 0.5], abs=1e-5)
