"""Lifetimes of tasks and environments under threads, callables and batches.

Each case runs in a child interpreter, several times over, so that a crash
fails only its own test and a hang is caught by the child's time limit; the
child prints what it saw and the test judges it.  `make test-tsan` runs this
file under ThreadSanitizer."""
import os
import subprocess
import sys
import textwrap

import pytest

LIMIT = 300  # seconds for one child: a time limit against hangs, not a measurement

PRELUDE = """
import gc, sys, threading
from array import array
import _vlt

BUSY, NULL, INVALID = 1014, 1002, 1003
LO, UP = 0, 1

def lp(env, n=30, log=False):
    # A dense LP that takes several progress events to solve.
    t = _vlt.Task(env)
    t.appendvars_i_2(n)
    t.appendcons_i_2(n)
    for i in range(n):
        row = array("d", [1.0 + (i * 7 + j * 3) % 11 for j in range(n)])
        t.putarow_iOO_4(i, memoryview(array("i", range(n))), memoryview(row))
    t.putvarboundsliceconst_iiidd_6(0, n, LO, 0.0, 0.0)
    t.putconboundsliceconst_iiidd_6(0, n, UP, 0.0, 100.0)
    t.putcslice_iiO_4(0, n, memoryview(array("d", [-1.0 - j % 5 for j in range(n)])))
    t.putnaintparam_si_3("VLT_IPAR_LOG", 1 if log else 0)
    return t

def ints(b):
    return list(memoryview(b).cast("i"))
"""


def run_child(body, rounds=5):
    """Runs body `rounds` times in one child interpreter (each round prints
    its lines) and returns the printed lines."""
    script = PRELUDE + "\nfor ROUND in range(%d):\n" % rounds + textwrap.indent(textwrap.dedent(body), "    ")
    env = dict(os.environ, PYTHONFAULTHANDLER="1")
    try:
        done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=LIMIT, env=env)
    except subprocess.TimeoutExpired as e:
        pytest.fail("the child hung; its output so far:\n%s\n%s" % (e.stdout, e.stderr))
    assert done.returncode == 0, "the child failed (%d):\n%s\n%s" % (done.returncode, done.stdout, done.stderr)
    return done.stdout.splitlines()


# ------------------------------------------------------------ deletion during a call

@pytest.mark.parametrize("callable_kind", ["progress", "info", "stream"])
def test_a_task_disposed_by_its_own_callable_ends_its_call_cleanly(callable_kind):
    lines = run_child("""
        env = _vlt.Env()
        t = lp(env, log=True)
        def dispose(*args):
            t.dispose()
        if "%s" == "progress":
            t.set_Progress(dispose)
        elif "%s" == "info":
            t.set_InfoCallback(dispose)
        else:
            t.set_Stream(0, dispose)
        res, trm = t.optimizetrm__1()
        print(res, t.getnumvar__1()[0])
        env.dispose()
    """ % (callable_kind, callable_kind))
    assert lines == ["0 1002"] * 5


def test_an_env_disposed_by_its_own_stream_callable_during_a_call():
    lines = run_child("""
        env = _vlt.Env()
        t = lp(env)
        env.set_Stream(0, lambda message: env.dispose())
        # The banner's call ends normally; the task made in it lives on.
        print(env.echointro_i_2(1), env.echointro_i_2(1), t.optimizetrm__1()[0])
    """)
    assert lines == ["(0, None) (0, None) 0"] * 5


def test_a_task_disposed_by_another_thread_while_optimizing():
    lines = run_child("""
        env = _vlt.Env()
        t = lp(env)
        started = threading.Event()
        t.set_Progress(lambda code: started.set())
        results = []
        worker = threading.Thread(target=lambda: results.extend(t.optimizetrm__1() for _ in range(3)))
        worker.start()
        started.wait(60)
        t.dispose()
        worker.join()
        # A call that was running ends normally; later ones find no task.
        print(all(r[0] == 0 or r == (NULL, None) for r in results), len(results))
    """, rounds=10)
    assert lines == ["True 3"] * 10


def test_concurrent_changes_and_optimizations_keep_the_task_whole():
    lines = run_child("""
        env = _vlt.Env()
        t = lp(env)
        n = t.getnumvar__1()[1]
        results = []
        def optimize():
            for _ in range(10):
                results.append(t.optimizetrm__1()[0])
        def change():
            for _ in range(100):
                results.append(t.appendvars_i_2(1)[0])
                results.append(t.putvarbound_iidd_5(n, LO, 0.0, 0.0)[0])
                results.append(t.removevars_O_2(memoryview(array("i", [n])))[0])
        threads = [threading.Thread(target=optimize), threading.Thread(target=change)]
        for th in threads: th.start()
        for th in threads: th.join()
        print(set(results), t.getnumvar__1(), t.checkmemtask_si_3("here", 1))
        env.dispose()
    """)
    assert lines == ["{0} (0, 30) (0, None)"] * 5


# ------------------------------------------------------------ calls from callables

def test_a_callable_may_read_its_task_but_not_change_it():
    lines = run_child("""
        env = _vlt.Env()
        t = lp(env)
        seen = []
        def progress(code):
            if not seen:
                seen.append((t.getnumvar__1(), t.appendvars_i_2(1), t.getlasterror()[0]))
        t.set_Progress(progress)
        res = t.optimizetrm__1()[0]
        print(res, seen, t.getnumvar__1())
    """, rounds=1)
    assert lines == ["0 [((0, 30), (1014, None), 1014)] (0, 30)"]


def test_callables_of_two_tasks_that_call_each_other_do_not_deadlock():
    lines = run_child("""
        env = _vlt.Env()
        a, b = lp(env), lp(env)
        codes = set()
        def calling(other):
            def progress(code):
                codes.add(other.getnumvar__1()[0])
                codes.add(other.putcj_id_3(0, -1.0)[0])
            return progress
        a.set_Progress(calling(b))
        b.set_Progress(calling(a))
        done = []
        threads = [threading.Thread(target=lambda x=x: done.append(x.optimizetrm__1()[0])) for x in (a, b)]
        for th in threads: th.start()
        for th in threads: th.join()
        print(done, codes <= {0, BUSY})
    """)
    assert lines == ["[0, 0] True"] * 5


def test_a_batch_started_from_a_callable_of_its_own_task_is_refused():
    lines = run_child("""
        env = _vlt.Env()
        t = lp(env)
        inner = []
        def progress(code):
            if not inner:
                trm, rc = bytearray(), bytearray()
                inner.append((env.optimizebatch_idiOOO_5(0, -1.0, 2, [t], trm, rc), ints(rc)))
        t.set_Progress(progress)
        print(t.optimizetrm__1()[0], inner)
    """, rounds=3)
    assert lines == ["0 [((0, None), [1014])]"] * 3


@pytest.mark.parametrize("other", ["clone", "write"])
def test_a_task_is_cloned_or_written_while_another_thread_optimizes_it(other):
    lines = run_child("""
        env = _vlt.Env()
        t = lp(env)
        t.set_Progress(lambda code: 0)  # the optimizing thread needs the interpreter lock for it
        worker = threading.Thread(target=lambda: [t.optimizetrm__1() for _ in range(5)])
        worker.start()
        sizes = []
        for _ in range(5):
            if "%s" == "clone":
                sizes.append(_vlt.Task(other=t).getnumvar__1())
            else:
                class Sink:
                    size = 0
                    def write(self, chunk): Sink.size += len(chunk)
                # (a writer that is not implemented yet answers 1001, after the wait all the same)
                sizes.append(t.writedatastream(6, 0, Sink()) in (0, 1001))
        worker.join()
        print(sizes == [sizes[0]] * 5, sizes[0])
    """ % other)
    expected = "(0, 30)" if other == "clone" else "True"
    assert lines == ["True " + expected] * 5


# ------------------------------------------------------------ batches

@pytest.mark.parametrize("act, later_codes", [
    # the list is emptied and collected: the batch holds its tasks
    ("tasks.clear(); gc.collect()", {0}),
    # tasks of the batch are disposed: dead for new calls, not under the batch
    ("tasks[1].dispose(); tasks[2].dispose()", {0, 1003}),
    # the environment is disposed under its own batch
    ("env.dispose()", {0}),
])
def test_a_batch_survives_what_its_callables_do(act, later_codes):
    lines = run_child("""
        env = _vlt.Env()
        tasks = [lp(env) for _ in range(3)]
        acted = []
        def progress(code):
            if not acted:
                acted.append(1)
                %s
        tasks[0].set_Progress(progress)
        trm, rc = bytearray(), bytearray()
        res = env.optimizebatch_idiOOO_5(0, -1.0, 2, tasks, trm, rc)
        print(res, *ints(rc))
    """ % act)
    assert len(lines) == 5
    for line in lines:
        res, first, *later = line.rsplit(" ", 3)
        assert (res, first) == ("(0, None)", "0") and {int(c) for c in later} <= later_codes, line


def test_an_exception_on_a_library_thread_belongs_to_its_batch():
    # Task 1's callable raises on a thread of the library's while task 2's
    # keeps the batch running until an unrelated call of another Python thread
    # has returned: that call must not raise the batch's exception.
    lines = run_child("""
        env = _vlt.Env()
        t1, t2, other = lp(env), lp(env), lp(env)
        waiting, raised, checked = threading.Event(), threading.Event(), threading.Event()
        def raising(code):
            waiting.wait(60)
            raised.set()
            raise ValueError("boom")
        def holding(code):
            if not waiting.is_set():
                waiting.set()
                checked.wait(60)
        t1.set_Progress(raising)
        t2.set_Progress(holding)
        seen = []
        def unrelated():
            raised.wait(60)
            try:
                seen.append(other.getnumvar__1())
            except Exception as e:
                seen.append(repr(e))
            checked.set()
        th = threading.Thread(target=unrelated)
        th.start()
        trm, rc = bytearray(), bytearray()
        try:
            env.optimizebatch_idiOOO_5(0, -1.0, 2, [t1, t2], trm, rc)
            seen.append("batch returned")
        except ValueError as e:
            seen.append("batch raised " + str(e))
        th.join()
        print(seen)
    """)
    assert lines == ["[(0, 30), 'batch raised boom']"] * 5


# ------------------------------------------------------------ counts and fills

# A reader asks a method for an array whose size the method learns from the
# library (bytearray variants) or checks against the library's count (exact
# memoryviews, here the front of a longer array whose tail must stay
# untouched), while another thread changes that count all the time.  A
# method that let the count change between its size query and its fill made
# the library write past the array, or fail with a count it had just given.
STRESS = """
    import time
    sys.setswitchinterval(1e-5)
    SENTINEL, GUARD, SECONDS, BAS = -12345.0, 16, 1.0, 1
    READER, CHANGE = %r, %r
    env = _vlt.Env()
    t = lp(env)
    N = t.getnumvar__1()[1]
    C = [-1.0 - j %% 5 for j in range(N)]
    assert t.optimizetrm__1()[0] == 0
    xx = bytearray()
    assert t.getxx_iO_2(BAS, xx) == (0, None)
    X = list(memoryview(xx).cast("d"))
    long_row, short_row = memoryview(array("i", range(N))), memoryview(array("i", range(3)))
    long_values, short_values = memoryview(array("d", [2.0] * N)), memoryview(array("d", [1.0] * 3))
    assert t.putarow_iOO_4(0, long_row, long_values) == t.putvarname_is_3(0, "b") == (0, None)
    stop = threading.Event()
    bad, done = [], []

    def change():
        extra = memoryview(array("i", [N, N + 1, N + 2]))
        steps = {"vars": lambda: [t.appendvars_i_2(3), t.removevars_O_2(extra)],
                 "row": lambda: [t.putarow_iOO_4(0, short_row, short_values), t.putarow_iOO_4(0, long_row, long_values)],
                 "name": lambda: [t.putvarname_is_3(0, "a" * 40), t.putvarname_is_3(0, "b")]}[CHANGE]
        while not stop.is_set():
            results = steps()
            if any(r != (0, None) for r in results):
                bad.append(("change", results))

    def check_values(what, values, front):
        # the front is the task's own (appended variables are 0 in c and x)
        if list(values[:N]) != front[:len(values[:N])] or len(values) not in (N, N + 3):
            bad.append((what, len(values)))

    def guarded(method, count, *front):
        buf = array("d", [SENTINEL] * (count + GUARD))
        try:
            res = method(*front, memoryview(buf)[:count])
        except TypeError:
            return None     # the count changed before the call: the method refuses the view
        if buf[count:] != array("d", [SENTINEL] * GUARD):
            bad.append((method.__name__, "wrote past the view"))
        return res, buf[:count]

    def fill(what, method, front, expected):
        view = what.endswith("view")
        if view:
            got = guarded(method, t.getnumvar__1()[1], *front)
        else:
            b = bytearray()
            got = method(*front, b), b
        if got and got[0] != (0, None):
            bad.append((what, got[0]))
        elif got:
            check_values(what, got[1] if view else memoryview(got[1]).cast("d"), expected)

    FILLS = {"getc_bytes": (t.getc_O_1, (), C), "getc_view": (t.getc_O_2, (), C),
             "getxx_bytes": (t.getxx_iO_2, (BAS,), X), "getxx_view": (t.getxx_iO_3, (BAS,), X)}

    def row_slice():
        ptrb, ptre, sub, val = bytearray(), bytearray(), bytearray(), bytearray()
        res = t.getarowslice64_iiOOOO_3(0, 1, ptrb, ptre, sub, val)
        nnz = len(sub) // 4
        if res != (0, None) or nnz not in (3, N) or len(val) != 8 * nnz:
            bad.append(("row slice", res, nnz))
        elif list(memoryview(ptre).cast("q")) != [nnz] or set(memoryview(val).cast("d")) != { {3: 1.0, N: 2.0}[nnz] }:
            bad.append(("row slice values", nnz))

    def name():
        b = bytearray()
        res = t.getvarname_iO_2(0, b)
        text = bytes(b).rstrip(b"\\0")
        if res != (0, None) or text not in (b"a" * 40, b"b"):
            bad.append(("name", res, text[:50]))

    def reader():
        work = (lambda: fill(READER, *FILLS[READER])) if READER in FILLS else globals()[READER]
        while not stop.is_set():
            work()
            done.append(1)

    threads = [threading.Thread(target=change), threading.Thread(target=reader)]
    for th in threads: th.start()
    time.sleep(SECONDS)
    stop.set()
    for th in threads: th.join()
    print("ok" if not bad and done else (len(done), bad[:3]))
    env.dispose()
"""


@pytest.mark.parametrize("reader, change", [
    ("getc_bytes", "vars"), ("getc_view", "vars"), ("getxx_bytes", "vars"), ("getxx_view", "vars"),
    ("row_slice", "row"), ("name", "name"),
])
def test_counts_and_fills_stay_together_while_another_thread_changes_the_task(reader, change):
    lines = run_child(STRESS % (reader, change), rounds=2)
    assert lines == ["ok"] * 2
