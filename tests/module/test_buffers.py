"""Buffers the library must not misuse: read-only output views, texts
written into resized bytearrays, and column positions that point past the
arrays of the sparse factorization."""
import os
import subprocess
import sys

import numpy as np
import pytest

import _vlt
from arrays import f64, i32, i64

# Calls whose output view `ro(...)` is read-only.  Writing into a read-only
# mapping would crash the interpreter: the calls run in a child.
READ_ONLY_CALLS = {
    "axpy y": "env.axpy_idOO_5(4, 1.0, f64([1, 2, 3, 4]), ro('d'))",
    "potrf a": "env.potrf_iiO_4(0, 2, ro('d'))",
    "triangular solve b": "env.sparsetriangularsolvedense_iOOOOO_7(0, i32([1, 1, 1, 1]), i64([0, 1, 2, 3]), "
                          "i32([0, 1, 2, 3]), f64([1, 1, 1, 1]), ro('d'))",
    "batch trmcode": "env.optimizebatch_idiOOO_7(0, -1.0, 1, [t, t, t, t], ro('i'), ro('i'))",
    "getxxslice": "t.getxxslice_iiiO_5(0, 0, 4, ro('d'))",
}

CHILD = """
import mmap
from array import array
import _vlt
from arrays import f64, i32, i64

def ro(kind):
    # Four doubles or int32 that cannot be written: of a bytes object (7s)
    # or of a read-only mapping (zeros).
    if SOURCE == "bytes":
        view = memoryview(array(kind, [7] * 4).tobytes()).cast(kind)
    else:
        view = memoryview(mmap.mmap(-1, 4 * array(kind).itemsize, access=mmap.ACCESS_READ)).cast(kind)
    seen.append((view, list(view)))
    return view

env = _vlt.Env()
t = _vlt.Task(env)
t.appendvars_i_2(4)
for name, call in CALLS.items():
    seen = []
    try:
        eval(call)
        outcome = "called"
    except BufferError:
        outcome = "BufferError"
    print(name, outcome, all(list(view) == content for view, content in seen))
"""


@pytest.mark.parametrize("source", ["bytes", "mmap"])
def test_a_read_only_output_view_is_refused_before_the_call(source):
    script = "SOURCE = %r\nCALLS = %r\n" % (source, READ_ONLY_CALLS) + CHILD
    tests = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([tests, os.environ.get("PYTHONPATH", "")]))
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=300, env=env)
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == ["%s BufferError True" % name for name in READ_ONLY_CALLS]


def frozen(values, dtype):
    a = np.array(values, dtype=dtype)
    a.flags.writeable = False
    return memoryview(a)



def test_a_read_only_array_view_is_refused_too(env):
    y = frozen([5.0, 5.0], np.float64)
    with pytest.raises(BufferError):
        env.axpy_idOO_5(2, 1.0, f64([1, 2]), y)
    assert list(y.cast("B").cast("d")) == [5.0, 5.0]


def test_read_only_input_views_are_accepted(env):
    y = bytearray(16)
    assert env.axpy_idOO_5(2, 2.0, frozen([1.0, 2.0], np.float64), memoryview(y).cast("d")) == (0, None)
    assert list(memoryview(y).cast("d")) == [2.0, 4.0]


@pytest.mark.parametrize("which", [0, 1], ids=["symname", "description"])
def test_fixed_texts_leave_nothing_but_zeros_after_their_end(which):
    # Fill the memory that a resize hands out with a pattern first.
    for _ in range(50):
        bytearray(b"\xab" * 1024)
    texts = [bytearray(), bytearray()]
    assert _vlt.Env.getcodedesc_iOO_1(1003, *texts) == (0, None)
    text = texts[which]
    end = text.index(0)
    assert len(text) == 1024 and end > 0 and not any(text[end:])


# A large position made the library read far past asubc: the calls run in a child.
FACTORIZATION_CHILD = """
import numpy as np
import _vlt
anzc, aptrc, asubc, avalc = np.ones(3, np.int32), np.arange(3, dtype=np.int64), np.arange(3, dtype=np.int32), np.ones(3)
%s
try:
    _vlt.Env().computesparsecholesky_iidOOOOOOOOOO_8(1, 0, 0.0, *map(memoryview, (anzc, aptrc, asubc, avalc)),
                                                     *[bytearray() for _ in range(6)])
    print("called")
except TypeError as e:
    print(e)
"""


@pytest.mark.parametrize("change, message", [
    ("aptrc[2] = 2**40", "Array is too short in argument asubc"),    # far past the arrays
    ("aptrc[2] = 3", "Array is too short in argument asubc"),        # one past the end
    ("aptrc[0] = -1", "Array is too short in argument asubc"),       # before the start
    ("avalc = np.ones(2)", "Array is too short in argument avalc"),  # avalc shorter
])
def test_sparse_factorization_positions_are_checked_against_the_arrays(change, message):
    done = subprocess.run([sys.executable, "-c", FACTORIZATION_CHILD % change], capture_output=True, text=True,
                          timeout=300)
    assert (done.returncode, done.stdout.strip()) == (0, message), done.stderr


def test_sparse_factorization_columns_beyond_their_entry_count_are_refused_by_the_library(env):
    # The arrays are long enough for the positions, but the columns do not lie
    # within the sum of the counts that the library is told they hold.
    anzc, aptrc, asubc, avalc = np.ones(2, np.int32), np.array([0, 3], np.int64), np.array([0, 9, 9, 1], np.int32), \
        np.ones(4)
    outs = [bytearray() for _ in range(6)]
    res = env.computesparsecholesky_iidOOOOOOOOOO_8(1, 0, 0.0, *map(memoryview, (anzc, aptrc, asubc, avalc)), *outs)
    assert res == (1700, None)
