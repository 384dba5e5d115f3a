"""The marshalling template, every argument kind and result form, through the
test-only extension _vlt_kinds (methods built from the template around fake
library functions that record their calls)."""
import sys
from array import array

import numpy as np
import pytest

k = pytest.importorskip("_vlt_kinds")

HANDLE = 0x42


@pytest.fixture(autouse=True)
def fresh():
    k.reset()
    yield
    k.reset()


@pytest.fixture
def p():
    return k.Probe(HANDLE)


def i32(*v):
    return memoryview(array("i", v))


def i64(*v):
    return memoryview(array("q", v))


def f64(*v):
    return memoryview(array("d", v))


def huge(dtype, n, writeable=False):
    """A view claiming n elements of the right width over a few real ones
    (the fakes never read or write past the count they are given); output
    views must be writeable."""
    base = np.arange(8, dtype=dtype)
    return memoryview(np.lib.stride_tricks.as_strided(base, shape=(n,), strides=(base.itemsize,),
                                                      writeable=writeable))


def names():
    return [c[0] for c in k.calls()]


def raiser(exc):
    def hook():
        raise exc
    return hook


# ---------------------------------------------------------------- scalars, results

def test_scalars_reach_the_library_in_order(p):
    assert p.scalars_iLds_5(-3, 2**40, 1.5, "hé") == (0, None)
    assert k.calls() == [("f_scalars", HANDLE, -3, 2**40, 1.5, "hé")]


def test_null_handle_is_passed_to_the_library():
    assert k.Probe(0).noargs__1() == (0, None)
    assert k.calls() == [("f_noargs", 0)]


@pytest.mark.parametrize("call, fake, value", [
    (lambda p: p.noargs__1(), "f_noargs", None),
    (lambda p: p.ret_i__1(), "f_ret_i", 7),
    (lambda p: p.ret_L_i_2(5), "f_ret_L", 2**40 + 5),
    (lambda p: p.ret_d__1(), "f_ret_d", 2.5),
    (lambda p: p.ret_multi__1(), "f_ret_multi", (-4, 0.25, -(2**35))),
    (lambda p: k.Probe.static_i_1(21), "f_static", 42),
    (lambda p: k.Probe.static__0(), "f_static0", (1, 2)),
    (lambda p: p.static__0(), "f_static0", (1, 2)),
])
@pytest.mark.parametrize("res", [0, 17, -5])
def test_result_forms(p, call, fake, value, res):
    k.set_result(fake, res)
    result = call(p)
    if res != 0:
        assert result == (res, None)   # outputs written by the library are not returned
    else:
        assert result == (0, value)
        inner = result[1] if isinstance(result[1], tuple) else (result[1],)
        expected = value if isinstance(value, tuple) else (value,)
        assert [type(x) for x in inner] == [type(x) for x in expected]
    assert names() == [fake]


@pytest.mark.parametrize("call, exc", [
    (lambda p: p.scalars_iLds_5(2**31, 0, 0.0, ""), OverflowError),
    (lambda p: p.scalars_iLds_5(0, 2**63, 0.0, ""), OverflowError),
    (lambda p: p.scalars_iLds_5(0, 0, "x", ""), TypeError),
    (lambda p: p.scalars_iLds_5(0, 0, 0.0, None), TypeError),
    (lambda p: p.scalars_iLds_5(0, 0, 0.0, "a\0b"), ValueError),
    (lambda p: p.scalars_iLds_5(0, 0, 0.0), TypeError),
    (lambda p: p.scalars_iLds_5(0, 0, 0.0, "", 1), TypeError),
    (lambda p: p.scalars_iLds_5(a=0, b=0, c=0.0, s=""), TypeError),
    (lambda p: p.noargs__1(1), TypeError),
    (lambda p: p.ret_multi__1(None), TypeError),
    (lambda p: k.Probe.static__0(1), TypeError),
])
def test_parse_failures_raise_the_interpreters_error_and_call_nothing(p, call, exc):
    with pytest.raises(exc):
        call(p)
    assert k.calls() == []


def test_scalar_d_accepts_an_int(p):
    assert p.scalars_iLds_5(0, 0, 3, "") == (0, None)
    assert k.calls()[0][4] == 3.0


def test_static_methods_need_no_instance():
    assert isinstance(k.Probe.__dict__["static_i_1"], staticmethod)
    assert isinstance(k.Probe.__dict__["static__0"], staticmethod)
    assert not isinstance(k.Probe.__dict__["ret_i__1"], staticmethod)


# ---------------------------------------------------------------- new task handles

def test_new_task_is_handed_over_with_its_only_reference(p):
    result = p.task_i_2(3)
    assert result[0] == 0
    task = result[1]
    assert type(task).__name__ == "FakeTask" and task.handle == 0x1003
    del result
    assert sys.getrefcount(task) == 2
    del task
    assert names() == ["f_task", "fake_task_freed"]
    assert "VLT_deletetask" not in names()


@pytest.mark.parametrize("fail", ["code", "raise"])
def test_new_task_handle_not_returned_is_deleted(p, fail):
    if fail == "code":
        k.set_result("f_task", 9)
        assert p.task_i_2(4) == (9, None)
    else:
        k.set_hook("f_task", raiser(KeyError("cb")))
        with pytest.raises(KeyError):
            p.task_i_2(4)
    assert k.calls()[1:] == [("VLT_deletetask", 0x1004)]


# ---------------------------------------------------------------- length groups

@pytest.mark.parametrize("a, b, n, sums", [
    (i32(1, 2, 3), f64(0.5, 0.5, 1.0), 3, (6.0, 2.0)),
    (None, f64(1.0, 2.0), 2, (0.0, 3.0)),
    (i32(4, 5), None, 2, (9.0, 0.0)),
    (None, None, 0, (0.0, 0.0)),
    (i32(), f64(), 0, (0.0, 0.0)),
    # the count is cut to int32 and compared in that form
    (huge(np.int32, 2**32 + 3), f64(1.0, 2.0, 3.0), 3, (3.0, 6.0)),
])
def test_group_count_int32(p, a, b, n, sums):
    assert p.group32_OO_3(a, b) == (0, None)
    ptr = lambda v: "null" if v is None else "ptr"
    assert k.calls() == [("f_group32", n, ptr(a), ptr(b)) + sums]


@pytest.mark.parametrize("a, keys, c, n", [
    (i64(1, 2), i32(3, 4), f64(5, 6), 2),
    (None, i32(3, 4, 5), None, 3),
    (i64(7), None, None, 1),
    (None, None, None, 0),
])
def test_group_count_int64_with_members_listed_out_of_argument_order(p, a, keys, c, n):
    assert p.group64_OOO_4(a, keys, c) == (0, None)
    call = k.calls()[0]
    assert call[:5] == ("f_group64", n, "null" if a is None else "ptr", "null" if keys is None else "ptr",
                        "null" if c is None else "ptr")


@pytest.mark.parametrize("method, args, message", [
    ("group32_OO_3", (i32(1, 2), f64(1.0)), "Mismatching lengths of arguments a,b"),
    ("group32_OO_3", (i32(), f64(1.0)), "Mismatching lengths of arguments a,b"),
    ("group64_OOO_4", (i64(1), i32(1, 2), None), "Mismatching lengths of arguments c,a,keys"),
    ("group64_OOO_4", (None, i32(1, 2), f64(1.0, 2.0, 3.0)), "Mismatching lengths of arguments c,a,keys"),
    # a checked group names the first differing member, in argument order,
    # instead of reporting a mismatch
    ("checked64_OO_3", (i64(1, 2), f64(1.0)), "Array is too short in argument b"),
    ("checked32_OO_3", (i32(1, 2), f64(1.0, 2.0, 3.0)), "Array is too short in argument b"),
    # ... and compares each present member with the full count
    ("checked32_OO_3", (huge(np.int32, 2**32 + 3), f64(1.0, 2.0, 3.0)), "Array is too short in argument a"),
    ("checked32_OO_3", (i32(1, 2, 3), huge(np.float64, 2**32 + 3)), "Array is too short in argument b"),
])
def test_group_mismatch_raises_and_calls_nothing(p, method, args, message):
    with pytest.raises(TypeError) as info:
        getattr(p, method)(*args)
    assert str(info.value) == message
    assert k.calls() == []


@pytest.mark.parametrize("a, b, n", [(i64(1, 2), f64(3, 4), 2), (None, f64(3), 1), (None, None, 0)])
def test_checked_group_passes_agreeing_members(p, a, b, n):
    assert p.checked64_OO_3(a, b) == (0, None)
    assert k.calls()[0][1] == n


# ---------------------------------------------------------------- view checks

@pytest.mark.parametrize("a, b, exc, message", [
    (b"abcd", None, TypeError, "Expected a memoryview object for argument a"),
    ([1, 2], None, TypeError, "Expected a memoryview object for argument a"),
    (bytearray(8), None, TypeError, "Expected a memoryview object for argument a"),
    (np.arange(2, dtype=np.int32), None, TypeError, "Expected a memoryview object for argument a"),
    (i64(1, 2), None, TypeError, "Expected a continuous memoryview object for argument a"),
    (i32(1, 2, 3, 4)[::2], None, TypeError, "Expected a continuous memoryview object for argument a"),
    (memoryview(b"abcd").cast("i", []), None, TypeError, "Expected a continuous memoryview object for argument a"),
    (None, i32(1, 2), TypeError, "Expected a continuous memoryview object for argument b"),
    (None, 1.5, TypeError, "Expected a memoryview object for argument b"),
    # argument order: the first failing argument is reported
    (i64(1), "x", TypeError, "Expected a continuous memoryview object for argument a"),
    (i32(1), "x", TypeError, "Expected a memoryview object for argument b"),
    # parse-time checks come before the group test
    (i32(1, 2), i32(1), TypeError, "Expected a continuous memoryview object for argument b"),
])
def test_view_parse_time_checks(p, a, b, exc, message):
    with pytest.raises(exc) as info:
        p.group32_OO_3(a, b)
    assert str(info.value) == message
    assert k.calls() == []


def test_released_view_is_refused_by_the_interpreter(p):
    view = i32(1, 2)
    view.release()
    with pytest.raises(ValueError):
        p.group32_OO_3(view, None)
    assert k.calls() == []


@pytest.mark.parametrize("a", [
    memoryview(array("f", [1.0, 2.0])),            # format is not examined, only the width
    memoryview(array("i", [1, 2]).tobytes()).cast("i"),   # nor the read-only flag
    memoryview(np.array([[1], [2]], dtype=np.int32)),   # nor the dimension count
])
def test_only_width_and_count_of_a_view_matter(p, a):
    assert p.group32_OO_3(a, None) == (0, None)
    assert k.calls()[0][1] == 2


@pytest.mark.parametrize("n, x, message", [
    (3, f64(1, 2, 3), None),
    (0, f64(), None),
    (3, None, None),
    (3, f64(1, 2), "Array is too short in argument x"),
    (3, f64(1, 2, 3, 4), "Array is too short in argument x"),
    (-1, f64(), "Array is too short in argument x"),
])
def test_counted_input_view(p, n, x, message):
    if message:
        with pytest.raises(TypeError) as info:
            p.counted_LO_3(n, x)
        assert str(info.value) == message
        assert k.calls() == []
    else:
        assert p.counted_LO_3(n, x) == (0, None)
        assert k.calls() == [("f_counted", n, "null" if x is None else "ptr", float(sum(x or [])))]


@pytest.mark.parametrize("x, n", [(f64(1, 2, 3), 3), (f64(), 0), (None, 0)])
def test_count_of_a_view(p, x, n):
    assert p.countof_O_2(x) == (0, None)
    assert k.calls()[0][1] == n


# ---------------------------------------------------------------- slices, key views

def test_output_views_are_filled_in_place(p):
    y, keys = array("d", [0] * 3), array("i", [0] * 3)
    assert p.slice_out_iiOO_5(2, 5, memoryview(y), memoryview(keys)) == (0, None)
    assert list(y) == [2.5, 3.5, 4.5] and list(keys) == [2, 3, 4]
    assert k.calls() == [("f_slice_out", 2, 5, 3, "ptr", "ptr")]


def test_output_view_none_passes_a_null_pointer(p):
    keys = array("i", [0, 0])
    assert p.slice_out_iiOO_5(7, 9, None, memoryview(keys)) == (0, None)
    assert list(keys) == [7, 8]
    assert k.calls() == [("f_slice_out", 7, 9, 2, "null", "ptr")]


@pytest.mark.parametrize("first, last, y, keys, message", [
    (0, 2, f64(0, 0), None, "Expected a memoryview object for argument keys"),
    (0, 2, f64(0), i32(0, 0), "Array is too short in argument y"),
    (0, 2, f64(0, 0, 0), i32(0, 0), "Array is too short in argument y"),
    (0, 2, None, i32(0), "Argument keys is too short"),
    (0, 2, f64(0), i32(0), "Array is too short in argument y"),
    # last < first: every view but None fails its count check
    (5, 2, f64(), i32(), "Array is too short in argument y"),
    (5, 2, None, i32(), "Argument keys is too short"),
    (5, 2, None, None, "Expected a memoryview object for argument keys"),
])
def test_slice_count_checks(p, first, last, y, keys, message):
    with pytest.raises(TypeError) as info:
        p.slice_out_iiOO_5(first, last, y, keys)
    assert str(info.value) == message
    assert k.calls() == []


def test_slice_count_is_formed_in_64_bits(p):
    n = 2**32 - 1
    result = p.slice_out_iiOO_5(-(2**31), 2**31 - 1, huge(np.float64, n, True), huge(np.int32, n, True))
    assert result == (0, None)
    assert k.calls() == [("f_slice_out", -(2**31), 2**31 - 1, -1, "ptr", "ptr")]


@pytest.mark.parametrize("keys, message", [
    (i32(1, 2, 3), None),
    (None, "Expected a memoryview object for argument keys"),
    (i32(1, 2), "Argument keys is too short"),
    (i32(1, 2, 3, 4), "Argument keys is too short"),
    (f64(1, 2, 3), "Expected a continuous memoryview object for argument keys"),
])
def test_key_input_view(p, keys, message):
    if message:
        with pytest.raises(TypeError) as info:
            p.keyin_iiO_4(0, 3, keys)
        assert str(info.value) == message
        assert k.calls() == []
    else:
        assert p.keyin_iiO_4(0, 3, keys) == (0, None)
        assert k.calls() == [("f_keyin", 0, 3, "ptr", 6.0)]


# ---------------------------------------------------------------- bytearrays

class SubBytes(bytearray):
    pass


@pytest.mark.parametrize("make", [bytearray, SubBytes])
@pytest.mark.parametrize("first, last, filled", [(1, 4, 3), (3, 3, 0), (4, 1, 0)])
def test_bytearrays_are_resized_and_filled(p, make, first, last, filled):
    values, keys = make(b"junk"), make(b"z" * 40)
    assert p.bytes_iiOO_3(first, last, values, keys) == (0, None)
    assert len(values) == 8 * filled and len(keys) == 4 * filled
    assert list(array("d", bytes(values))) == [2.0 * (first + j) for j in range(filled)]
    assert list(array("i", bytes(keys))) == [first + j for j in range(filled)]
    # a negative count resizes to 0 bytes and lets the library judge
    assert k.calls() == [("f_bytes", first, last, "ptr", "ptr")]


def test_bytearray_keeps_its_size_after_a_failing_call(p):
    k.set_result("f_bytes", 1200)
    values, keys = bytearray(), bytearray()
    assert p.bytes_iiOO_3(0, 2, values, keys) == (1200, None)
    assert len(values) == 16 and len(keys) == 8


@pytest.mark.parametrize("values, keys, message", [
    (None, bytearray(), "Bytearray object for argument values"),
    (f64(0, 0), bytearray(), "Bytearray object for argument values"),
    (bytearray(), None, "Bytearray object for argument keys"),
    (bytearray(), i32(0, 0), "Bytearray object for argument keys"),
    # the key output bytearray is checked at parse time, before the output one
    (None, None, "Bytearray object for argument keys"),
])
def test_bytearray_type_checks(p, values, keys, message):
    with pytest.raises(TypeError) as info:
        p.bytes_iiOO_3(0, 2, values, keys)
    assert str(info.value) == message
    assert k.calls() == []


def test_text_bytearray(p):
    k.set_size("q_len", 5)
    text = bytearray(b"old content that is long")
    assert p.text_iO_2(3, text) == (0, None)
    assert text == b"abcde\0"
    assert k.calls() == [("q_len", 3), ("f_text", 3, 6, "ptr")]


@pytest.mark.parametrize("length, size", [(0, 1), (-3, 0)])
def test_text_bytearray_short_lengths(p, length, size):
    k.set_size("q_len", length)
    text = bytearray(b"xx")
    assert p.text_iO_2(0, text) == (0, None)
    assert len(text) == size
    assert k.calls()[1] == ("f_text", 0, size, "ptr")


def test_text_bytearray_type_is_checked_before_the_size_query(p):
    with pytest.raises(TypeError) as info:
        p.text_iO_2(0, "text")
    assert str(info.value) == "Bytearray object for argument text"
    assert k.calls() == []


def test_fixed_text_bytearrays(p):
    sym, desc = bytearray(), bytearray(b"x" * 100)
    assert p.fixed_OO_1(sym, desc) == (0, None)
    assert len(sym) == 16 and len(desc) == 8
    assert sym.startswith(b"SYM\0") and desc.startswith(b"desc\0")


@pytest.mark.parametrize("sym, desc, message", [
    (None, bytearray(), "Bytearray object for argument sym"),
    (bytearray(), memoryview(bytearray(8)), "Bytearray object for argument desc"),
])
def test_fixed_text_type_checks(p, sym, desc, message):
    with pytest.raises(TypeError) as info:
        p.fixed_OO_1(sym, desc)
    assert str(info.value) == message
    assert k.calls() == []


# ---------------------------------------------------------------- sums

@pytest.mark.parametrize("sizes, values, message", [
    (i64(1, 2, 3), f64(1, 1, 1, 1, 1, 1), None),
    (i64(), None, None),
    (None, f64(), None),
    (i64(2, 0), f64(1, 2), None),
    (i64(1, 2, 3), f64(1, 1, 1, 1, 1), "Array is too short in argument values"),
    (None, f64(1), "Array is too short in argument values"),
])
def test_count_from_a_sum(p, sizes, values, message):
    if message:
        with pytest.raises(TypeError) as info:
            p.sumof_OO_3(sizes, values)
        assert str(info.value) == message
        assert k.calls() == []
    else:
        assert p.sumof_OO_3(sizes, values) == (0, None)
        total = sum(sizes or [])
        assert k.calls() == [("f_sumof", len(sizes or []), "null" if sizes is None else "ptr", total,
                              "null" if values is None else "ptr", float(sum(values or [])))]


# ---------------------------------------------------------------- size queries

@pytest.mark.parametrize("a", [None, f64(0, 0, 0)])
def test_shared_size_query_is_made_once(p, a):
    k.set_size("q_num", 3)
    b = bytearray()
    assert p.shared_OO_2(a, b) == (0, None)
    assert k.calls() == [("q_num", HANDLE), ("f_shared", 3, "null" if a is None else "ptr", "ptr")]
    assert list(array("d", bytes(b))) == [-1.0, -2.0, -3.0]
    if a is not None:
        assert a.tolist() == [1.0, 2.0, 3.0]


@pytest.mark.parametrize("a", [None, f64(0, 0)])
def test_per_array_query_is_made_before_each_array(p, a):
    k.set_size("q_num", 2)
    b = bytearray()
    assert p.perarray_OO_2(a, b) == (0, None)
    assert names() == ["q_num", "q_num", "f_perarray"]
    assert list(array("d", bytes(b))) == [0.0, 10.0]


# A method with size queries holds its task from the first query to its
# return; a refused hold leaves every call to enter the task on its own.
@pytest.mark.parametrize("call, fails, expected_calls, expected_holds", [
    ("shared_OO_2", None, ["q_num", "f_shared"], [("hold", HANDLE, 0), ("release", HANDLE, 2)]),
    ("perarray_OO_2", None, ["q_num", "q_num", "f_perarray"], [("hold", HANDLE, 0), ("release", HANDLE, 3)]),
    ("shared_OO_2", "q_num", ["q_num"], [("hold", HANDLE, 0), ("release", HANDLE, 1)]),
    ("shared_OO_2", "VLT_holdtask", ["q_num", "f_shared"], [("hold", HANDLE, 0)]),
])
def test_a_method_holds_its_task_from_its_first_size_query_to_its_return(p, call, fails, expected_calls,
                                                                        expected_holds):
    k.set_size("q_num", 2)
    if fails:
        k.set_result(fails, 1014)
    res, _ = getattr(p, call)(None, bytearray())
    assert res == (1014 if fails == "q_num" else 0)
    assert names() == expected_calls
    assert k.holds() == expected_holds


@pytest.mark.parametrize("make", [
    lambda p: p.noargs__1(),                              # no size query
    lambda p: k.Probe(0).shared_OO_2(None, bytearray()),  # no task to hold
])
def test_no_hold_without_a_size_query_or_a_task(p, make):
    k.set_size("q_num", 1)
    assert make(p)[0] == 0
    assert k.holds() == []


def test_no_hold_when_the_arguments_are_refused_before_the_query(p):
    with pytest.raises(TypeError):
        p.shared_OO_2([1.0], bytearray())
    assert k.calls() == [] and k.holds() == []


@pytest.mark.parametrize("keys, values", [(i32(0, 0), f64(0, 0, 0)), (None, f64(0, 0, 0)), (None, None)])
def test_two_count_query_is_made_before_each_array_and_sizes_each_by_its_own_output(p, keys, values):
    k.set_size("q_pair_first", 2)
    k.set_size("q_pair_second", 3)
    assert p.pair_iOO_4(4, keys, values) == (0, None)
    ptr = lambda v: "null" if v is None else "ptr"
    assert k.calls() == [("q_pair", 4), ("q_pair", 4), ("f_pair", 4, ptr(keys), ptr(values))]
    if keys is not None:
        assert keys.tolist() == [4, 5]
    if values is not None:
        assert values.tolist() == [0.0, 0.5, 1.0]


def test_two_count_query_sizes_bytearrays(p):
    k.set_size("q_pair_first", 3)
    k.set_size("q_pair_second", 1)
    keys, values = bytearray(b"x" * 40), bytearray()
    assert p.pair_iOO_2(1, keys, values) == (0, None)
    assert list(array("i", bytes(keys))) == [1, 2, 3]
    assert list(array("d", bytes(values))) == [0.0]
    assert names() == ["q_pair", "q_pair", "f_pair"]


@pytest.mark.parametrize("keys, values, message, queries", [
    (i32(0), f64(0, 0, 0), "Array is too short in argument keys", 1),
    # the second array is checked against the second output, not the first
    (i32(0, 0), f64(0, 0), "Array is too short in argument values", 2),
])
def test_two_count_query_counts_are_checked(p, keys, values, message, queries):
    k.set_size("q_pair_first", 2)
    k.set_size("q_pair_second", 3)
    with pytest.raises(TypeError) as info:
        p.pair_iOO_4(0, keys, values)
    assert str(info.value) == message
    assert names() == ["q_pair"] * queries


def test_two_count_query_failing_returns_its_code(p):
    k.set_result("q_pair", 1300)
    assert p.pair_iOO_2(0, None, None) == (1300, None)
    assert names() == ["q_pair"]


def test_two_shared_queries_in_order(p):
    k.set_size("q_num64", 2)
    k.set_size("q_num", 3)
    a, keys = array("q", [0, 0]), array("i", [9, 9, 9])
    assert p.two_shared_iOO_3(5, memoryview(a), memoryview(keys)) == (0, None)
    assert k.calls() == [("q_num64", 5), ("q_num", HANDLE), ("f_two_shared", 5, 2, 3, "ptr", "ptr")]
    assert list(a) == [5, 6] and list(keys) == [0, -1, -2]


@pytest.mark.parametrize("a, keys, message", [
    (i64(0), i32(0, 0, 0), "Array is too short in argument a"),
    (None, i32(0, 0), "Argument keys is too short"),
    (None, None, "Expected a memoryview object for argument keys"),
])
def test_counts_from_shared_queries_are_checked(p, a, keys, message):
    k.set_size("q_num64", 2)
    k.set_size("q_num", 3)
    with pytest.raises(TypeError) as info:
        p.two_shared_iOO_3(0, a, keys)
    assert str(info.value) == message
    assert names() == ["q_num64", "q_num"]


@pytest.mark.parametrize("method, args, queries", [
    # the bytearray argument is None, which a later check would refuse
    ("shared_OO_2", (f64(0), None), 1),
    ("perarray_OO_2", (None, None), 1),
    ("perarray_OO_2", (f64(1, 2, 3), None), 1),
    ("text_iO_2", (0, bytearray()), 1),
    ("two_shared_iOO_3", (0, None, None), 1),
])
def test_failing_size_query_returns_its_code_at_once(p, method, args, queries):
    k.set_result("q_num", 1550)
    k.set_result("q_num64", 1550)
    k.set_result("q_len", 1550)
    assert getattr(p, method)(*args) == (1550, None)
    assert len(k.calls()) == queries
    assert all(name.startswith("q_") for name in names())


def test_per_array_query_failing_the_second_time(p):
    class Flip:
        n = 0
        def __call__(self):
            self.n += 1
            if self.n == 2:
                k.set_result("q_num", 77)
    k.set_size("q_num", 1)
    k.set_hook("q_num", Flip())
    b = bytearray(b"keep")
    assert p.perarray_OO_2(f64(0), b) == (77, None)
    assert names() == ["q_num", "q_num"]
    assert b == b"keep"


def test_wrong_view_type_is_raised_before_any_size_query(p):
    with pytest.raises(TypeError) as info:
        p.shared_OO_2([1.0], bytearray())
    assert str(info.value) == "Expected a memoryview object for argument a"
    assert k.calls() == []


# ---------------------------------------------------------------- pending errors

@pytest.mark.parametrize("res", [0, 3])
@pytest.mark.parametrize("fake, call", [
    ("f_noargs", lambda p: p.noargs__1()),
    ("f_ret_multi", lambda p: p.ret_multi__1()),
    ("f_group32", lambda p: p.group32_OO_3(i32(1), None)),
    ("f_bytes", lambda p: p.bytes_iiOO_3(0, 2, bytearray(), bytearray())),
    ("f_text", lambda p: p.text_iO_2(0, bytearray())),
    ("q_num", lambda p: p.shared_OO_2(None, bytearray())),
    ("q_num", lambda p: p.perarray_OO_2(None, bytearray())),
    ("f_static", lambda p: k.Probe.static_i_1(1)),
])
def test_callback_error_is_raised_after_the_call(p, fake, call, res):
    k.set_result(fake, res)
    k.set_hook(fake, raiser(LookupError("from the callback")))
    with pytest.raises(LookupError, match="from the callback"):
        call(p)
    assert names()[-1] == fake   # a failing size query ends the method
    assert sys.exc_info() == (None, None, None)


# ---------------------------------------------------------------- temporaries

def bytes_paths():
    """Ways for bytes_iiOO_3 to end after the first bytearray was viewed."""
    def success(p, keys):
        assert p.bytes_iiOO_3(0, 2, *keys) == (0, None)

    def failing_code(p, keys):
        k.set_result("f_bytes", 5)
        assert p.bytes_iiOO_3(0, 2, *keys) == (5, None)

    def pending_error(p, keys):
        k.set_hook("f_bytes", raiser(RuntimeError))
        with pytest.raises(RuntimeError):
            p.bytes_iiOO_3(0, 2, *keys)

    def later_resize_fails(p, keys):
        held = memoryview(keys[1])          # an export blocks the resize of keys
        with pytest.raises(BufferError):
            p.bytes_iiOO_3(0, 2, *keys)
        held.release()

    return [success, failing_code, pending_error, later_resize_fails]


@pytest.mark.parametrize("path", bytes_paths(), ids=lambda f: f.__name__)
def test_bytearray_views_are_released_on_every_path(p, path):
    values, keys = bytearray(), bytearray(b"1234")
    before = sys.getrefcount(values), sys.getrefcount(keys)
    path(p, (values, keys))
    values.extend(b"more")        # BufferError if a view were still held
    keys.extend(b"more")
    assert (sys.getrefcount(values), sys.getrefcount(keys)) == before


@pytest.mark.parametrize("path", ["success", "code", "count", "error"])
def test_caller_views_are_unpinned_and_not_kept(p, path):
    keys_data = array("i", [0, 0])
    y, keys = memoryview(array("d", [0, 0])), memoryview(keys_data)
    before = sys.getrefcount(y), sys.getrefcount(keys), sys.getrefcount(keys_data)
    if path == "success":
        assert p.slice_out_iiOO_5(0, 2, y, keys) == (0, None)
    elif path == "code":
        k.set_result("f_slice_out", 8)
        assert p.slice_out_iiOO_5(0, 2, y, keys) == (8, None)
    elif path == "count":
        with pytest.raises(TypeError):
            p.slice_out_iiOO_5(0, 3, y, keys)
    else:
        k.set_hook("f_slice_out", raiser(ArithmeticError))
        with pytest.raises(ArithmeticError):
            p.slice_out_iiOO_5(0, 2, y, keys)
    assert (sys.getrefcount(y), sys.getrefcount(keys), sys.getrefcount(keys_data)) == before
    y.release()                   # BufferError if the method still held an export
    keys.release()
    keys_data.append(1)


def test_views_are_pinned_during_the_call(p):
    x = f64(1, 2, 3)
    seen = []

    def try_release():
        try:
            x.release()
            seen.append("released")
        except BufferError:
            seen.append("pinned")
    k.set_hook("f_counted", try_release)
    assert p.counted_LO_3(3, x) == (0, None)
    assert seen == ["pinned"]
    assert k.calls()[0][-1] == 6.0
    x.release()


def test_bytearray_cannot_be_resized_during_the_call(p):
    values, keys = bytearray(), bytearray()
    seen = []

    def try_resize():
        try:
            values.extend(b"x")
            seen.append("resized")
        except BufferError:
            seen.append("held")
    k.set_hook("f_bytes", try_resize)
    assert p.bytes_iiOO_3(0, 1, values, keys) == (0, None)
    assert seen == ["held"] and len(values) == 8


# ---------------------------------------------------------------- name pair

def name_pair(*texts):
    """(offsets view, byte view) of NUL-terminated names laid end to end."""
    data, offsets = bytearray(), []
    for t in texts:
        offsets.append(len(data))
        data += t.encode() + b"\0"
    return i64(*offsets), memoryview(data)


def gen32(p, sub=None, fmt="x{}", dims=None, sp=None, axes=None, names=(None, None)):
    return p.gen32_OsOOOOO_7(sub, fmt, dims, sp, axes, *names)


@pytest.mark.parametrize("method, sub, num", [
    ("gen32_OsOOOOO_7", i32(4, 5, 6), 3),
    ("gen64_OsOOOOO_7", i64(4, 5), 2),
    ("gen64_OsOOOOO_7", None, 0),
])
def test_generator_passes_counts_and_the_name_table(p, method, sub, num):
    offsets, data = name_pair("ab", "", "c d")
    sp = i64(*range(10, 10 + num)) if num else None
    assert getattr(p, method)(sub, "v[{}]", i32(3, 2), sp, i32(1), offsets, data) == (0, None)
    fake = "f_gen32" if method.startswith("gen32") else "f_gen64"
    assert k.calls() == [(fake, num, "ptr" if num else "null", "v[{}]", 2, "ptr", "ptr" if num else "null",
                          1, "ptr", 3, "ptr", "ab||c d", float(sum(range(10, 10 + num))))]


def test_name_table_entries_follow_the_offsets_in_order(p):
    data = memoryview(bytearray(b"alpha\0beta\0"))
    # repeated offsets, and one into the middle of a name (its tail)
    assert gen32(p, names=(i64(6, 0, 6, 2), data)) == (0, None)
    assert k.calls()[0][11] == "beta|alpha|beta|pha"


@pytest.mark.parametrize("names", [
    (None, None),
    (i64(0), None),                                  # an offsets view alone is ignored
    (None, memoryview(b"a\0")),
    ("not even a view", None),                       # nothing is checked when either is None
    (None, i32(1)),
])
def test_name_pair_with_a_none_passes_no_table(p, names):
    assert gen32(p, names=names) == (0, None)
    call = k.calls()[0]
    assert call[9:12] == (0, "null", "")


def test_empty_offsets_give_an_empty_table(p):
    assert gen32(p, names=(i64(), memoryview(b""))) == (0, None)
    assert k.calls()[0][9:12] == (0, "ptr", "")


@pytest.mark.parametrize("names, message", [
    ((array("q", [0]), memoryview(b"a\0")), "Expected a memoryview object for argument names"),
    ((i64(0), b"a\0"), "Expected a memoryview object for argument names"),
    ((i64(0), bytearray(b"a\0")), "Expected a memoryview object for argument names"),
    # both types are checked before either width
    ((i32(0), b"a\0"), "Expected a memoryview object for argument names"),
    ((i32(0), memoryview(b"a\0")), "Expected a continuous memoryview object for argument names"),
    ((i64(0), memoryview(array("h", [97, 0]))), "Expected a continuous memoryview object for argument names"),
    ((i64(0), memoryview(b"a\0b\0")[::2]), "Expected a continuous memoryview object for argument names"),
    ((i64(0, 0)[::2], memoryview(b"a\0")), "Expected a continuous memoryview object for argument names"),
])
def test_name_pair_type_and_width_checks(p, names, message):
    with pytest.raises(TypeError) as info:
        gen32(p, names=names)
    assert str(info.value) == message
    assert k.calls() == []


@pytest.mark.parametrize("offsets, data", [
    (i64(3), b"ab\0"),          # just past the view
    (i64(0, 100), b"ab\0"),     # far beyond
    (i64(-1), b"ab\0"),
    (i64(-(2**63)), b"ab\0"),
    (i64(0), b"ab"),            # no NUL at all
    (i64(0, 3), b"ab\0cd"),     # the last name runs to the end of the view
    (i64(0), b""),
])
def test_offsets_must_start_names_that_end_inside_the_byte_view(p, offsets, data):
    with pytest.raises(TypeError) as info:
        gen32(p, names=(offsets, memoryview(data)))
    assert str(info.value) == "Array is too short in argument names"
    assert k.calls() == []


def test_an_offset_at_the_last_nul_is_an_empty_name(p):
    assert gen32(p, names=(i64(2, 0), memoryview(b"ab\0"))) == (0, None)
    assert k.calls()[0][11] == "|ab"


@pytest.mark.parametrize("sub, sp, message", [
    (i32(1, 2), i64(0), "Array is too short in argument sp"),
    (i32(1, 2), i64(0, 0, 0), "Array is too short in argument sp"),
    (None, i64(0), "Array is too short in argument sp"),
    # earlier arguments are checked first: the index array, then the names
    (i32(1, 2).cast("B").cast("h"), i64(0), "Expected a continuous memoryview object for argument sub"),
    (i32(1, 2), [0, 0], "Expected a memoryview object for argument sp"),
    (i32(1, 2), i64(0), "Expected a memoryview object for argument names"),
])
def test_generator_checks_sp_after_the_name_pair(p, sub, sp, message):
    data = b"a\0" if "names" in message else memoryview(b"a\0")
    with pytest.raises(TypeError) as info:
        gen32(p, sub=sub, sp=sp, names=(i64(0), data))
    assert str(info.value) == message
    assert k.calls() == []


def test_sp_is_compared_with_num_as_passed(p):
    # 2**32 + 2 indexes: an int32 num is 2, an int64 num the full count
    assert p.gen32_OsOOOOO_7(huge(np.int32, 2**32 + 2), "", None, i64(1, 2), None, None, None) == (0, None)
    assert k.calls()[0][1] == 2
    with pytest.raises(TypeError, match="^Array is too short in argument sp$"):
        p.gen64_OsOOOOO_7(huge(np.int64, 2**32 + 2), "", None, i64(1, 2), None, None, None)


def name_pair_paths():
    """Ways for gen32 to end after its name table was made."""
    def success(p, names):
        assert gen32(p, names=names) == (0, None)

    def failing_code(p, names):
        k.set_result("f_gen32", 1207)
        assert gen32(p, names=names) == (1207, None)

    def pending_error(p, names):
        k.set_hook("f_gen32", raiser(RuntimeError))
        with pytest.raises(RuntimeError):
            gen32(p, names=names)

    def sp_count(p, names):
        with pytest.raises(TypeError):
            gen32(p, sub=i32(0), sp=i64(), names=names)

    def bad_offset(p, names):
        with pytest.raises(TypeError):
            gen32(p, names=(i64(0, 99), names[1]))

    return [success, failing_code, pending_error, sp_count, bad_offset]


@pytest.mark.parametrize("path", name_pair_paths(), ids=lambda f: f.__name__)
def test_name_pair_views_are_unpinned_on_every_path(p, path):
    offsets, data = name_pair("a", "b")
    before = sys.getrefcount(offsets), sys.getrefcount(data)
    path(p, (offsets, data))
    assert (sys.getrefcount(offsets), sys.getrefcount(data)) == before
    offsets.release()     # BufferError if the method still held an export
    data.release()


def test_byte_view_is_pinned_during_the_call(p):
    offsets, data = name_pair("a")
    seen = []

    def try_release():
        try:
            data.release()
            seen.append("released")
        except BufferError:
            seen.append("pinned")
    k.set_hook("f_gen32", try_release)
    assert gen32(p, names=(offsets, data)) == (0, None)
    assert seen == ["pinned"]


# ---------------------------------------------------------------- task lists

class SubProbe(k.Probe):
    pass


@pytest.mark.parametrize("variant", ["view", "bytes"])
def test_task_list_passes_handles_in_list_order(p, variant):
    tasks = [k.Probe(5), k.Probe(0), k.Probe(7), k.Probe(5)]
    if variant == "view":
        trm, rc = i32(9, 9, 9, 9), i32(9, 9, 9, 9)
        assert p.tasklist_iOOO_6(1, tasks, trm, rc) == (0, None)
    else:
        trm, rc = bytearray(b"x" * 40), bytearray()
        assert p.tasklist_iOOO_4(1, tasks, trm, rc) == (0, None)
        assert len(trm) == len(rc) == 16
    assert k.calls() == [("f_tasklist", 1, 4, "ptr", 17, "ptr", "ptr")]
    assert list(memoryview(trm).cast("B").cast("i")) == [0, 1, 2, 3]
    assert list(memoryview(rc).cast("B").cast("i")) == [0, -1, -2, -3]


@pytest.mark.parametrize("tasks", [None, []])
def test_task_list_none_or_empty(p, tasks):
    assert p.tasklist_iOOO_6(0, tasks, i32(), i32()) == (0, None)
    trm = bytearray(b"abc")
    assert p.tasklist_iOOO_4(0, tasks, trm, bytearray()) == (0, None)
    assert trm == b""
    assert [c[2:4] for c in k.calls()] == [(0, "null")] * 2


@pytest.mark.parametrize("tasks, message", [
    ((), "Expected a list object for argument task"),
    ({1: 2}, "Expected a list object for argument task"),
    ([None], "Expected a list of Tasks for argument task"),
    ("sub", "Expected a list of Tasks for argument task"),
])
def test_task_list_refusals_come_before_the_arrays(p, tasks, message):
    if tasks == "sub":
        tasks = [k.Probe(1), SubProbe(2)]
    # The arrays are wrong too: the task list is checked first.
    with pytest.raises(ValueError) as info:
        p.tasklist_iOOO_6(0, tasks, "not a view", None)
    assert str(info.value) == message
    assert k.calls() == []


def test_task_list_subclass_of_list_and_count_checks(p):
    class Tasks(list):
        pass
    with pytest.raises(TypeError) as info:
        p.tasklist_iOOO_6(0, Tasks([k.Probe(1)]), i32(0, 0), i32(0))
    assert str(info.value) == "Argument trm is too short"
    with pytest.raises(TypeError) as info:
        p.tasklist_iOOO_6(0, [k.Probe(1)], i32(0), None)
    assert str(info.value) == "Expected a memoryview object for argument rc"
    assert k.calls() == []


# ---------------------------------------------------------------- arrays handed over by the library

@pytest.mark.parametrize("nz", [3, 0])
def test_handed_over_arrays_are_copied_then_freed(p, nz):
    k.set_size("f_handover", nz)
    keys, values = bytearray(b"old"), bytearray(b"old")
    assert p.handover_iOO_3(2, keys, values) == (0, nz)
    assert list(memoryview(keys).cast("i")) == [100, 101]
    assert list(memoryview(values).cast("d")) == [k_ / 4 for k_ in range(nz)]
    assert k.calls() == [("f_handover", 2, nz), ("VLT_freeenv", HANDLE), ("VLT_freeenv", HANDLE)]
    keys.extend(b"x")     # the views were released


def test_handed_over_null_array_leaves_the_bytearray(p):
    k.set_size("f_handover", -1)
    keys, values = bytearray(), bytearray(b"keep")
    assert p.handover_iOO_3(1, keys, values) == (0, 0)
    assert values == b"keep" and len(keys) == 4
    assert names() == ["f_handover", "VLT_freeenv"]


@pytest.mark.parametrize("fail", ["code", "raise"])
def test_handed_over_arrays_not_copied_are_still_freed(p, fail):
    k.set_size("f_handover", 2)
    keys, values = bytearray(b"old"), bytearray(b"old")
    if fail == "code":
        k.set_result("f_handover", 1701)
        assert p.handover_iOO_3(2, keys, values) == (1701, None)
    else:
        k.set_hook("f_handover", raiser(KeyError("cb")))
        with pytest.raises(KeyError):
            p.handover_iOO_3(2, keys, values)
    assert keys == b"old" and values == b"old"
    assert names() == ["f_handover", "VLT_freeenv", "VLT_freeenv"]


def test_handed_over_array_kinds_are_checked_at_parse_time(p):
    with pytest.raises(TypeError) as info:
        p.handover_iOO_3(2, bytearray(), memoryview(bytearray(8)))
    assert str(info.value) == "Bytearray object for argument values"
    assert k.calls() == []
