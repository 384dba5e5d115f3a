"""Buffers the library must not misuse: read-only output views, texts
written into resized bytearrays, and column positions that point past the
arrays of the sparse factorization."""
import mmap
from array import array

import numpy as np
import pytest

import _vlt
from arrays import f64, i32, i64


def read_only(source, kind):
    """A view of four doubles or int32 that cannot be written: of a bytes
    object (four 7s) or of a read-only mapping (zeros)."""
    if source == "bytes":
        return memoryview(array(kind, [7] * 4).tobytes()).cast(kind)
    return memoryview(mmap.mmap(-1, 4 * array(kind).itemsize, access=mmap.ACCESS_READ)).cast(kind)


def frozen(values, dtype):
    a = np.array(values, dtype=dtype)
    a.flags.writeable = False
    return memoryview(a)


@pytest.mark.parametrize("call", [
    lambda env, t, ro: env.axpy_idOO_5(4, 1.0, f64([1, 2, 3, 4]), ro("d")),
    lambda env, t, ro: env.potrf_iiO_4(0, 2, ro("d")),
    lambda env, t, ro: env.sparsetriangularsolvedense_iOOOOO_7(0, i32([1, 1, 1, 1]), i64([0, 1, 2, 3]),
                                                               i32([0, 1, 2, 3]), f64([1, 1, 1, 1]), ro("d")),
    lambda env, t, ro: env.optimizebatch_idiOOO_7(0, -1.0, 1, [t, t, t, t], ro("i"), ro("i")),
    lambda env, t, ro: t.getxxslice_iiiO_5(0, 0, 4, ro("d")),
], ids=["axpy y", "potrf a", "triangular solve b", "batch trmcode", "getxxslice"])
@pytest.mark.parametrize("source", ["bytes", "mmap"])
def test_a_read_only_output_view_is_refused_before_the_call(env, task, env_log_path, calls, call, source):
    assert task.appendvars_i_2(4) == (0, None)
    seen = []

    def ro(kind):
        view = read_only(source, kind)
        seen.append((view, list(view)))
        return view

    before = len(calls(env_log_path))
    with pytest.raises(BufferError):
        call(env, task, ro)
    assert len(calls(env_log_path)) == before
    assert seen and all(list(view) == content for view, content in seen)


def test_a_read_only_array_view_is_refused_too(env):
    y = frozen([5.0, 5.0], np.float64)
    with pytest.raises(BufferError):
        env.axpy_idOO_5(2, 1.0, f64([1, 2]), y)
    assert list(y.cast("B").cast("d")) == [5.0, 5.0]


def test_read_only_input_views_are_accepted(env):
    y = bytearray(16)
    assert env.axpy_idOO_5(2, 2.0, frozen([1.0, 2.0], np.float64), memoryview(y).cast("d")) == (0, None)
    assert list(memoryview(y).cast("d")) == [2.0, 4.0]


@pytest.mark.parametrize("get", [
    lambda t, buf: _vlt.Env.getcodedesc_iOO_1(1003, buf, bytearray()),
    lambda t, buf: _vlt.Env.getcodedesc_iOO_1(1003, bytearray(), buf),
    lambda t, buf: t.getvarname_iO_2(0, buf),
    lambda t, buf: t.gettaskname_O_1(buf),
], ids=["symname", "description", "name", "task name"])
def test_texts_leave_nothing_but_zeros_after_their_end(task, get):
    assert task.appendvars_i_2(1) == (0, None)
    assert task.putvarname_is_3(0, "x") == (0, None)
    assert task.puttaskname_s_2("t") == (0, None)
    # Fill the memory that a resize hands out with a pattern first.
    for _ in range(50):
        bytearray(b"\xab" * 1024)
    buf = bytearray()
    assert get(task, buf)[0] == 0
    end = buf.index(0)
    assert end > 0 and not any(buf[end:])


def lower_columns(n):
    """anzc, aptrc, asubc, avalc of the identity of order n."""
    return (np.ones(n, np.int32), np.arange(n, dtype=np.int64), np.arange(n, dtype=np.int32), np.ones(n))


@pytest.mark.parametrize("change, message", [
    (lambda c: c[1].__setitem__(2, 2**40), "Array is too short in argument asubc"),     # far past the arrays
    (lambda c: c[1].__setitem__(2, 3), "Array is too short in argument asubc"),         # one past the end
    (lambda c: c[1].__setitem__(0, -1), "Array is too short in argument asubc"),        # before the start
    (lambda c: c.__setitem__(3, np.ones(2)), "Array is too short in argument avalc"),   # avalc shorter
])
def test_sparse_factorization_positions_are_checked_against_the_arrays(env, env_log_path, calls, change, message):
    columns = list(lower_columns(3))
    change(columns)
    outs = [bytearray() for _ in range(6)]
    before = len(calls(env_log_path))
    with pytest.raises(TypeError) as info:
        env.computesparsecholesky_iidOOOOOOOOOO_8(1, 0, 0.0, *map(memoryview, columns), *outs)
    assert str(info.value) == message
    assert len(calls(env_log_path)) == before


def test_sparse_factorization_columns_beyond_their_entry_count_are_refused_by_the_library(env):
    # The arrays are long enough for the positions, but the columns do not lie
    # within the sum of the counts that the library is told they hold.
    anzc, aptrc, asubc, avalc = np.ones(2, np.int32), np.array([0, 3], np.int64), np.array([0, 9, 9, 1], np.int32), \
        np.ones(4)
    outs = [bytearray() for _ in range(6)]
    res = env.computesparsecholesky_iidOOOOOOOOOO_8(1, 0, 0.0, *map(memoryview, (anzc, aptrc, asubc, avalc)), *outs)
    assert res == (1700, None)
