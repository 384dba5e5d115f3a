"""Batch optimization through Env.optimizebatch: the task list and the two
code arrays, results equal to solving each task alone, a bad member, the
race and the time limit."""
import threading
from array import array

import pytest

import _vlt
import velto

LOST_RACE = 10030
MAX_TIME = 10001
CALLBACK_BEGIN_OPTIMIZER = 0  # first progress code of every run


def codes(n=0):
    return memoryview(array("i", [-1] * n))


def lp():
    m = velto.Model()
    m.add_variables(2, lb=0, ub=10, obj=[1, 2])
    m.add_constraint({0: 1, 1: 1}, lb=1)
    m.add_constraint({0: 1, 1: -1}, ub=0.5)
    return m


def qp():
    m = velto.Model()
    m.add_variables(2, lb=-10, ub=10, obj=[-1, -1])
    m.set_quadratic_objective({(0, 0): 2, (1, 1): 4, (1, 0): 1})
    m.add_constraint({0: 1, 1: 1}, ub=0.6)
    return m


def mip():
    m = velto.Model()
    m.add_variables(3, lb=0, ub=5, obj=[-5, -4, -3], integer=True)
    m.add_constraint({0: 2, 1: 3, 2: 1}, ub=5.5)
    m.add_constraint({0: 4, 1: 1, 2: 2}, ub=11.2)
    return m


def outcome(m):
    """(solution type, objective, x) of the most informative solution."""
    for sol in (2, 1, 0):
        if m.task.solutiondef_i_2(sol)[1]:
            xx = bytearray()
            assert m.task.getxx_iO_2(sol, xx) == (0, None)
            return sol, m.task.getprimalobj_i_2(sol)[1], list(memoryview(xx).cast("d"))
    return None


# ------------------------------------------------------------ arguments

@pytest.mark.parametrize("tasks", [None, []])
def test_no_tasks(env, env_log_path, calls, tasks):
    assert env.optimizebatch_idiOOO_7(0, -1.0, 0, tasks, codes(), codes()) == (0, None)
    trm, rc = bytearray(b"xxxx"), bytearray(b"yy")
    assert env.optimizebatch_idiOOO_5(0, -1.0, 0, tasks, trm, rc) == (0, None)
    assert trm == b"" and rc == b""
    lines = [l for l in calls(env_log_path) if l.startswith("VLT_optimizebatch")]
    assert len(lines) == 2
    assert all("israce=0 maxtime=-1 numthreads=0 numtask=0 task=null " in l and l.endswith("-> 0") for l in lines)
    with pytest.raises(TypeError) as info:
        env.optimizebatch_idiOOO_7(0, -1.0, 0, tasks, None, codes())
    assert str(info.value) == "Expected a memoryview object for argument trmcode"


class SubTask(_vlt.Task):
    pass


@pytest.mark.parametrize("tasks, message", [
    ((), "Expected a list object for argument task"),
    ("abc", "Expected a list object for argument task"),
    ([None], "Expected a list of Tasks for argument task"),
    ("subclass", "Expected a list of Tasks for argument task"),
])
def test_task_list_errors(env, tasks, message):
    t = _vlt.Task(env)
    if tasks == "subclass":
        tasks = [t, SubTask(env)]
    for method, out in ((env.optimizebatch_idiOOO_7, codes), (env.optimizebatch_idiOOO_5, lambda n=0: bytearray())):
        with pytest.raises(ValueError) as info:
            method(0, -1.0, 0, tasks, out(1), out(1))
        assert str(info.value) == message


def test_code_array_checks(env):
    tasks = [_vlt.Task(env), _vlt.Task(env)]
    for trm, rc, message in ((codes(3), codes(2), "Argument trmcode is too short"),
                             (codes(2), codes(1), "Argument rcode is too short"),
                             (codes(2), memoryview(array("q", [0, 0])),
                              "Expected a continuous memoryview object for argument rcode")):
        with pytest.raises(TypeError) as info:
            env.optimizebatch_idiOOO_7(0, -1.0, 0, tasks, trm, rc)
        assert str(info.value) == message
    with pytest.raises(TypeError) as info:
        env.optimizebatch_idiOOO_5(0, -1.0, 0, tasks, bytearray(), b"")
    assert str(info.value) == "Bytearray object for argument rcode"


# ------------------------------------------------------------ solving

@pytest.mark.parametrize("numthreads", [0, 1, 3])
def test_batch_results_equal_solving_alone(numthreads):
    makers = [lp, qp, mip, lp, qp]
    alone = []
    for make in makers:
        m = make()
        m.solve()
        alone.append(outcome(m))
    env = _vlt.Env()
    models = [make() for make in makers]
    trm, rc = bytearray(), bytearray()
    assert env.optimizebatch_idiOOO_5(0, -1.0, numthreads, [m.task for m in models], trm, rc) == (0, None)
    assert len(trm) == len(rc) == 4 * len(makers)
    assert list(memoryview(rc).cast("i")) == [0] * len(makers)
    assert list(memoryview(trm).cast("i")) == [0] * len(makers)
    for m, expected in zip(models, alone):
        sol, obj, x = outcome(m)
        assert sol == expected[0]
        assert obj == pytest.approx(expected[1], abs=1e-6)
        assert x == pytest.approx(expected[2], abs=1e-5)


def test_bad_members_get_their_own_codes():
    env = _vlt.Env()
    good, gone = lp(), lp()
    gone.task.dispose()
    trm, rc = codes(3), codes(3)
    tasks = [gone.task, good.task, good.task]     # a disposed task passes its null handle
    assert env.optimizebatch_idiOOO_7(0, -1.0, 2, tasks, trm, rc) == (0, None)
    assert list(rc) == [1002, 0, 0]
    assert list(trm)[1:] == [0, 0]
    assert outcome(good)[1] == pytest.approx(1.25)


def test_callback_exception_is_raised_after_the_batch():
    env = _vlt.Env()
    ok, failing = lp(), lp()

    def boom(code):
        raise RuntimeError("stop here")
    failing.task.set_Progress(boom)
    with pytest.raises(RuntimeError, match="stop here"):
        env.optimizebatch_idiOOO_7(0, -1.0, 2, [ok.task, failing.task], codes(2), codes(2))
    # Nothing is left pending: the next call succeeds.
    assert env.optimizebatch_idiOOO_7(0, -1.0, 2, [ok.task], codes(1), codes(1)) == (0, None)


def test_race_with_one_thread_stops_after_the_first_winner():
    env = _vlt.Env()
    models = [lp(), qp(), mip()]
    trm, rc = codes(3), codes(3)
    assert env.optimizebatch_idiOOO_7(1, -1.0, 1, [m.task for m in models], trm, rc) == (0, None)
    assert list(rc) == [0, 0, 0]
    assert list(trm) == [0, LOST_RACE, LOST_RACE]
    assert outcome(models[0])[1] == pytest.approx(1.25)


def test_race_on_several_threads_has_a_winner():
    env = _vlt.Env()
    models = [lp() for _ in range(6)]
    trm, rc = codes(6), codes(6)
    assert env.optimizebatch_idiOOO_7(1, -1.0, 3, [m.task for m in models], trm, rc) == (0, None)
    assert list(rc) == [0] * 6
    assert 0 in list(trm) and set(trm) <= {0, LOST_RACE}


def test_time_limit_stops_running_and_waiting_tasks():
    env = _vlt.Env()
    slow, waiting = lp(), lp()
    released = threading.Event()

    def dawdle(code):
        if code == CALLBACK_BEGIN_OPTIMIZER:
            released.wait(2.0)      # far beyond the batch's limit
        return False
    slow.task.set_Progress(dawdle)
    trm, rc = codes(2), codes(2)
    assert env.optimizebatch_idiOOO_7(0, 0.05, 1, [slow.task, waiting.task], trm, rc) == (0, None)
    assert list(rc) == [0, 0]
    assert list(trm) == [MAX_TIME, MAX_TIME]
