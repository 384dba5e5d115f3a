"""Rows, columns, bounds and variable types through the generated Task methods."""
import numpy as np
import pytest

from arrays import f64, i32

LO, UP, FX, FR, RA = range(5)
INT = 1
ITEMS = ("con", "var")
NUM = {"con": 7, "var": 9}


def random_bounds(rng, n):
    """Keys with the bounds that the library keeps for them."""
    bk = rng.integers(0, 5, n).astype(np.int32)
    bl = np.where(np.isin(bk, [UP, FR]), -np.inf, rng.uniform(-9, 0, n))
    bu = np.where(np.isin(bk, [LO, FR]), np.inf, rng.uniform(0, 9, n))
    bu = np.where(bk == FX, bl, bu)
    return bk, bl, bu


def read_bounds(task, item, first, last):
    """The bounds of a slice through both getter variants, which must agree."""
    n = last - first
    bk, bl, bu = np.zeros(n, np.int32), np.zeros(n), np.zeros(n)
    assert getattr(task, f"get{item}boundslice_iiOOO_6")(first, last, memoryview(bk), memoryview(bl),
                                                          memoryview(bu)) == (0, None)
    raw = [bytearray(b"junk") for _ in range(3)]
    assert getattr(task, f"get{item}boundslice_iiOOO_3")(first, last, *raw) == (0, None)
    assert [len(b) for b in raw] == [4 * n, 8 * n, 8 * n]
    assert raw == [bytearray(bk.tobytes()), bytearray(bl.tobytes()), bytearray(bu.tobytes())]
    return bk, bl, bu


def make_task(task, item_counts=NUM):
    assert task.appendcons_i_2(item_counts["con"]) == (0, None)
    assert task.appendvars_i_2(item_counts["var"]) == (0, None)
    return task


def snapshot(task):
    _, m = task.getnumcon__1()
    _, n = task.getnumvar__1()
    kinds = bytearray()
    task.getvartypelist_OO_2(i32(np.arange(n)), kinds)
    return m, n, [np.concatenate(read_bounds(task, "con", 0, m)).tobytes(),
                  np.concatenate(read_bounds(task, "var", 0, n)).tobytes(), bytes(kinds)]


@pytest.mark.parametrize("item", ITEMS)
@pytest.mark.parametrize("putter", ["single", "list", "listconst", "slice", "sliceconst"])
def test_bounds_round_trip(task, item, putter):
    rng = np.random.default_rng(sum(map(ord, item + putter)))
    n = NUM[item]
    make_task(task)
    bk, bl, bu = read_bounds(task, item, 0, n)
    new_k, new_l, new_u = random_bounds(rng, n)
    sub = rng.choice(n, 4, replace=False).astype(np.int32)
    first, last = 2, 6
    put = lambda kind: getattr(task, f"put{item}{kind}")
    if putter == "single":
        for j in sub:
            assert put("bound_iidd_5")(int(j), int(new_k[j]), new_l[j], new_u[j]) == (0, None)
        touched = sub
    elif putter == "list":
        assert put("boundlist_OOOO_5")(i32(sub), i32(new_k[sub]), f64(new_l[sub]), f64(new_u[sub])) == (0, None)
        touched = sub
    elif putter == "listconst":
        new_k[:], new_l[:], new_u[:] = RA, -1.5, 2.5
        assert put("boundlistconst_Oidd_5")(i32(sub), RA, -1.5, 2.5) == (0, None)
        touched = sub
    elif putter == "slice":
        s = slice(first, last)
        assert put("boundslice_iiOOO_6")(first, last, i32(new_k[s]), f64(new_l[s]), f64(new_u[s])) == (0, None)
        touched = np.arange(first, last)
    else:
        new_k[:], new_l[:], new_u[:] = FX, 4.0, 4.0
        assert put("boundsliceconst_iiidd_6")(first, last, FX, 4.0, 4.0) == (0, None)
        touched = np.arange(first, last)
    bk[touched], bl[touched], bu[touched] = new_k[touched], new_l[touched], new_u[touched]

    for got, want in zip(read_bounds(task, item, 0, n), (bk, bl, bu)):
        np.testing.assert_array_equal(got, want)
    for got, want in zip(read_bounds(task, item, first, last), (bk, bl, bu)):
        np.testing.assert_array_equal(got, want[first:last])
    for j in range(n):
        assert getattr(task, f"get{item}bound_i_2")(j) == (0, (int(bk[j]), bl[j], bu[j]))


@pytest.mark.parametrize("item", ITEMS)
def test_removal_and_resize_keep_the_other_items(task, item):
    rng = np.random.default_rng(5)
    n = NUM[item]
    make_task(task)
    bk, bl, bu = random_bounds(rng, n)
    assert getattr(task, f"put{item}boundslice_iiOOO_6")(0, n, i32(bk), f64(bl), f64(bu)) == (0, None)
    assert task.putvartypelist_OO_3(i32([1, 4, 8]), i32([INT] * 3)) == (0, None)

    assert task.resizetask_iiiLL_6(40, 50, 3, 600, 700) == (0, None)
    assert (task.getmaxnumcon__1(), task.getmaxnumvar__1(), task.getmaxnumanz64__1()) == ((0, 40), (0, 50), (0, 600))
    assert task.putmaxnumcon_i_2(45) == task.putmaxnumvar_i_2(55) == (0, None)
    assert (task.getmaxnumcon__1(), task.getmaxnumvar__1()) == ((0, 45), (0, 55))
    for got, want in zip(read_bounds(task, item, 0, n), (bk, bl, bu)):
        np.testing.assert_array_equal(got, want)

    gone = np.array([0, 4, n - 1], np.int32)
    assert getattr(task, f"remove{item}s_O_2")(i32(gone)) == (0, None)
    assert getattr(task, f"getnum{item}__1")() == (0, n - 3)
    for got, want in zip(read_bounds(task, item, 0, n - 3), (bk, bl, bu)):
        np.testing.assert_array_equal(got, np.delete(want, gone))
    if item == "var":
        kinds = np.zeros(n - 3, np.int32)
        assert task.getvartypelist_OO_3(i32(np.arange(n - 3)), memoryview(kinds)) == (0, None)
        np.testing.assert_array_equal(kinds, np.delete(np.isin(np.arange(n), [1, 4, 8]).astype(np.int32), gone))
        assert task.getnumintvar__1() == (0, 1)


def test_variable_types_round_trip(task):
    make_task(task)
    assert task.putvartype_ii_3(3, INT) == (0, None)
    assert task.putvartypelist_OO_3(i32([5, 7]), i32([INT, INT])) == (0, None)
    assert task.putvartype_ii_3(7, 0) == (0, None)
    assert [task.getvartype_i_2(j)[1] for j in range(9)] == [0, 0, 0, 1, 0, 1, 0, 0, 0]
    kinds = bytearray(b"x" * 40)
    assert task.getvartypelist_OO_2(i32([7, 5, 3, 3]), kinds) == (0, None)
    assert np.frombuffer(kinds, np.int32).tolist() == [0, 1, 1, 1]
    assert task.getnumintvar__1() == (0, 2)


def test_scalars_reach_the_library_in_order(task, env_log_path, calls):
    make_task(task)
    assert task.chgconbound_iiid_5(2, 1, 0, 3.25) == (0, None)
    assert task.chgvarbound_iiid_5(4, 0, 1, -2.5) == (0, None)
    assert task.resizetask_iiiLL_6(11, 12, 13, 2**33 + 1, 2**34 + 3) == (0, None)
    lines = [line.split(" ", 2)[2] for line in calls(env_log_path)[-3:]]
    assert lines == ["i=2 lower=1 finite=0 value=3.25 -> 0", "j=4 lower=0 finite=1 value=-2.5 -> 0",
                     f"maxnumcon=11 maxnumvar=12 maxnumcone=13 maxnumanz={2**33 + 1} maxnumqnz={2**34 + 3} -> 0"]
    assert task.getmaxnumanz64__1() == (0, 2**33 + 1)


@pytest.mark.parametrize("call, res, function", [
    (lambda t: t.putconbound_iidd_5(7, RA, 0.0, 1.0), 1201, "VLT_putconbound"),
    (lambda t: t.getvarbound_i_2(9), 1202, "VLT_getvarbound"),
    (lambda t: t.putvarboundlist_OOOO_5(i32([1, 9]), i32([LO, LO]), f64([0, 0]), f64([1, 1])), 1202,
     "VLT_putvarboundlist"),
    (lambda t: t.removecons_O_2(i32([2, 7])), 1201, "VLT_removecons"),
    (lambda t: t.getconboundslice_iiOOO_3(5, 8, bytearray(), bytearray(), bytearray()), 1210, "VLT_getconboundslice"),
    (lambda t: t.putconbound_iidd_5(1, 9, 0.0, 1.0), 1300, "VLT_putconbound"),
    (lambda t: t.putconboundslice_iiOOO_6(0, 2, i32([LO, 17]), None, None), 1300, "VLT_putconboundslice"),
    (lambda t: t.putvartype_ii_3(1, 5), 1304, "VLT_putvartype"),
    (lambda t: t.putvarboundlistconst_Oidd_5(i32([0]), -1, 0.0, 1.0), 1300, "VLT_putvarboundlistconst"),
])
def test_library_refusals_are_returned_and_change_nothing(task, call, res, function):
    make_task(task)
    messages = []
    task.set_Stream(2, messages.append)
    before = snapshot(task)
    assert call(task) == (res, None)
    assert snapshot(task) == before
    assert len(messages) == 1 and messages[0].startswith(function) and f"({res})" in messages[0]


def one_longer(n):
    return np.zeros(n + 1)


@pytest.mark.parametrize("call, message", [
    (lambda t: t.getconboundslice_iiOOO_6(1, 4, i32([0] * 4), f64([0] * 3), f64([0] * 3)), "Argument bk is too short"),
    (lambda t: t.getconboundslice_iiOOO_6(1, 4, i32([0] * 3), f64(one_longer(3)), f64([0] * 3)),
     "Array is too short in argument bl"),
    (lambda t: t.getvarboundslice_iiOOO_6(1, 4, i32([0] * 3), None, f64([0] * 2)), "Array is too short in argument bu"),
    (lambda t: t.getconboundslice_iiOOO_6(2, 2, None, f64([]), f64([])), "Expected a memoryview object for argument bk"),
    (lambda t: t.getconboundslice_iiOOO_6(3, 1, i32([]), None, None), "Argument bk is too short"),
    (lambda t: t.putvarboundslice_iiOOO_6(0, 2, None, f64([1, 2]), f64([3, 4])),
     "Expected a memoryview object for argument bkx"),
    (lambda t: t.putconboundslice_iiOOO_6(0, 2, i32([0, 0]), f64([1, 2]), f64(one_longer(2))),
     "Array is too short in argument buc"),
    (lambda t: t.putconboundlist_OOOO_5(i32([0] * 4), None, f64([0] * 5), None),
     "Mismatching lengths of arguments sub,bkc,blc,buc"),
    (lambda t: t.putvarboundlist_OOOO_5(None, i32([0] * 2), None, f64([0] * 3)),
     "Mismatching lengths of arguments sub,bkx,blx,bux"),
    (lambda t: t.putvartypelist_OO_3(i32([0]), i32([0, 0])), "Mismatching lengths of arguments subj,vartype"),
    (lambda t: t.getvartypelist_OO_3(None, i32([0])), "Argument vartype is too short"),
    (lambda t: t.getvartypelist_OO_3(i32([0, 1]), None), "Expected a memoryview object for argument vartype"),
    (lambda t: t.removevars_O_2([0, 1]), "Expected a memoryview object for argument subset"),
    (lambda t: t.removecons_O_2(memoryview(np.array([0, 1], np.int64))),
     "Expected a continuous memoryview object for argument subset"),
    (lambda t: t.putconboundlistconst_Oidd_5(memoryview(np.zeros(4, np.int32))[::2], LO, 0.0, 1.0),
     "Expected a continuous memoryview object for argument sub"),
    (lambda t: t.getvarboundslice_iiOOO_3(0, 2, bytearray(), None, bytearray()), "Bytearray object for argument bl"),
    (lambda t: t.getconboundslice_iiOOO_3(0, 2, b"", bytearray(), bytearray()), "Bytearray object for argument bk"),
    (lambda t: t.getvartypelist_OO_2(i32([0]), np.zeros(1, np.int32)), "Bytearray object for argument vartype"),
])
def test_argument_errors_raise_before_any_call(task, env_log_path, calls, call, message):
    make_task(task)
    before, logged = snapshot(task), len(calls(env_log_path))
    with pytest.raises(TypeError) as caught:
        call(task)
    assert str(caught.value) == message
    assert len(calls(env_log_path)) == logged
    assert snapshot(task) == before


@pytest.mark.parametrize("call, logged", [
    (lambda t: t.removecons_O_2(None), "VLT_removecons num=0 subset=null"),
    (lambda t: t.putconboundlist_OOOO_5(None, i32([FR] * 5), f64([0] * 5), None),
     "VLT_putconboundlist num=5 sub=null bkc=ptr blc=ptr buc=null"),
    (lambda t: t.putconboundslice_iiOOO_6(1, 3, i32([FR, FR]), None, None),
     "VLT_putconboundslice first=1 last=3 bkc=ptr blc=null buc=null"),
    (lambda t: t.getvarboundslice_iiOOO_6(2, 5, i32([0] * 3), None, f64([0] * 3)),
     "VLT_getvarboundslice first=2 last=5 bk=ptr bl=null bu=ptr"),
    (lambda t: t.getvartypelist_OO_3(None, i32([])), "VLT_getvartypelist num=0 subj=null vartype=ptr"),
    (lambda t: t.putvarboundlistconst_Oidd_5(None, RA, 1.0, 2.0),
     "VLT_putvarboundlistconst num=0 sub=null bkx=4 blx=1 bux=2"),
])
def test_none_passes_null_and_counts(task, env_log_path, calls, call, logged):
    make_task(task)
    call(task)
    function, _, arguments = calls(env_log_path)[-1].split(" ", 2)
    assert f"{function} {arguments.split(' -> ')[0]}" == logged


@pytest.mark.parametrize("first, last", [(2, 2), (0, 7), (3, 1)])
def test_bytearrays_are_resized_to_the_slice(task, first, last):
    make_task(task)
    arrays = [bytearray(b"z" * 13) for _ in range(3)]
    res, _ = task.getconboundslice_iiOOO_3(first, last, *arrays)
    n = max(last - first, 0)
    assert [len(a) for a in arrays] == [4 * n, 8 * n, 8 * n]
    assert res == (1210 if last < first else 0)
    subclass = type("Sub", (bytearray,), {})()
    assert task.getvartypelist_OO_2(i32(range(n)), subclass)[0] == 0 and len(subclass) == 4 * n


INF = np.inf
# (key, lower, upper) that no key can hold: a side the key bounds at the
# wrong infinity, a fixed bound without a finite value.
UNHOLDABLE = [(LO, INF, 0.0), (UP, 0.0, -INF), (RA, 1.0, -INF), (FX, -INF, -INF)]


@pytest.mark.parametrize("item", ITEMS)
@pytest.mark.parametrize("putter", ["single", "list", "listconst", "slice", "sliceconst"])
@pytest.mark.parametrize("key, lower, upper", UNHOLDABLE)
def test_a_bound_that_its_key_cannot_hold_is_refused_at_the_put(task, item, putter, key, lower, upper):
    make_task(task)
    messages = []
    task.set_Stream(2, messages.append)
    before = snapshot(task)
    put = getattr(task, f"put{item}" + {"single": "bound_iidd_5", "list": "boundlist_OOOO_5",
                                         "listconst": "boundlistconst_Oidd_5", "slice": "boundslice_iiOOO_6",
                                         "sliceconst": "boundsliceconst_iiidd_6"}[putter])
    args = {"single": (3, key, lower, upper),
            "list": (i32([1, 3]), i32([LO, key]), f64([0.0, lower]), f64([1.0, upper])),
            "listconst": (i32([3]), key, lower, upper),
            "slice": (2, 4, i32([LO, key]), f64([0.0, lower]), f64([1.0, upper])),
            "sliceconst": (3, 4, key, lower, upper)}[putter]
    assert put(*args) == (1301, None)
    assert snapshot(task) == before
    noun = "constraint" if item == "con" else "variable"
    assert len(messages) == 1 and f"bound of {noun} 3 is " in messages[0] and "give a finite value" in messages[0]


@pytest.mark.parametrize("item", ITEMS)
@pytest.mark.parametrize("key, lower, upper, stored", [
    (FX, 1.0, 2.0, (FX, 1.0, 1.0)),      # a fixed bound is its lower value
    (LO, -INF, 3.0, (LO, -INF, INF)),    # an infinite value on its own side leaves the side open
    (RA, -INF, INF, (RA, -INF, INF)),
    (RA, 3.0, 1.0, (RA, 3.0, 1.0)),      # crossed: legal data, an infeasible problem
])
def test_what_the_values_of_a_bound_mean(task, item, key, lower, upper, stored):
    make_task(task)
    assert getattr(task, f"put{item}bound_iidd_5")(1, key, lower, upper) == (0, None)
    assert getattr(task, f"get{item}bound_i_2")(1) == (0, stored)


def test_a_slice_without_values_fixes_at_the_stored_lower_value(task):
    make_task(task)
    assert task.putvarbound_iidd_5(0, FR, 0.0, 0.0) == (0, None)
    assert task.putvarbound_iidd_5(1, LO, 2.0, 0.0) == (0, None)
    # Variable 0 has no finite lower value to be fixed at; variable 1 has.
    assert task.putvarboundslice_iiOOO_6(0, 1, i32([FX]), None, None) == (1301, None)
    assert task.putvarboundslice_iiOOO_6(1, 2, i32([FX]), None, None) == (0, None)
    assert task.getvarbound_i_2(1) == (0, (FX, 2.0, 2.0))
