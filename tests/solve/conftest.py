"""Fixtures of the optimizer tests: a task in an environment of its own
(no call log), and small helpers that build problems through the module."""
import pytest

import _vlt

BK_FR = 3


@pytest.fixture
def task():
    env = _vlt.Env()
    t = _vlt.Task(env)
    yield t
    t.dispose()
    env.dispose()


@pytest.fixture
def free_variables():
    """free_variables(task, n): appends n variables without bounds."""
    def append(task, n):
        first = task.getnumvar__1()[1]
        assert task.appendvars_i_2(n) == (0, None)
        for j in range(first, first + n):
            assert task.putvarbound_iidd_5(j, BK_FR, 0.0, 0.0) == (0, None)
    return append
