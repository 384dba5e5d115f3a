"""Argument parsing: plain ints, floats and strings are converted directly;
everything else must behave exactly as the interpreter's parser does."""
import numpy as np
import pytest

_vlt = pytest.importorskip("_vlt")


@pytest.fixture
def task():
    t = _vlt.Task(None)
    assert t.appendcons_i_2(2) == (0, None)
    assert t.appendvars_i_2(2) == (0, None)
    yield t
    t.dispose()


@pytest.mark.parametrize("i, j, value", [
    (1, 0, 2.5),                       # the direct path
    (np.int32(1), np.int64(0), 2.5),   # __index__ objects: the parser's path
    (True, False, 2.5),                # bool is an int subclass
    (1, 0, 3),                         # an int where a double is expected
    (1, 0, np.float64(2.5)),           # a float subclass
])
def test_accepted_arguments_reach_the_library_unchanged(task, i, value, j):
    assert task.putaij_iid_4(i, j, value) == (0, None)
    assert task.getaij_ii_3(int(i), int(j)) == (0, float(value))


@pytest.mark.parametrize("args, error, message", [
    ((2 ** 31, 0, 1.0), OverflowError, "signed integer is greater than maximum"),
    ((-2 ** 31 - 1, 0, 1.0), OverflowError, "signed integer is less than minimum"),
    ((2 ** 70, 0, 1.0), OverflowError, None),
    (("1", 0, 1.0), TypeError, None),
    ((1.0, 0, 1.0), TypeError, None),
    ((1, 0, "x"), TypeError, None),
    ((1, 0), TypeError, "function takes exactly 3 arguments (2 given)"),
])
def test_refused_arguments_raise_the_parsers_errors(task, args, error, message):
    with pytest.raises(error) as raised:
        task.putaij_iid_4(*args)
    if message:
        assert str(raised.value) == message


def test_texts_with_a_nul_are_refused_by_the_parser(task):
    with pytest.raises(ValueError, match="embedded null character"):
        task.readdataautoformat_s_2("a\0b.mps")
    assert task.readdataautoformat_s_2("no-such-file.mps")[0] != 0


def test_success_results_are_equal_pairs(task):
    first, second = task.appendcons_i_2(1), task.appendcons_i_2(1)
    assert first == second == (0, None)
    assert task.appendcons_i_2(-1)[0] != 0
