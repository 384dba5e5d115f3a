"""The objective sense, Ctrl-C during a solve, results without a solution and
solves stopped by a progress callable."""
import os
import signal
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest
import scipy.sparse as sp

import velto
from children import MARKET_SPLIT, interrupted
from velto import ObjectiveSense, Status, Termination


def small_lp():
    # min/max x0 + 2 x1 on 1 <= x0 + x1 <= 3, 0 <= x <= 2: min 1 at (1, 0), max 5 at (1, 2)
    m = velto.Model()
    m.add_variables(2, lb=0, ub=2, obj=[1, 2])
    m.add_constraint({0: 1, 1: 1}, lb=1, ub=3)
    return m


@pytest.mark.parametrize("sense, optimum", [
    (ObjectiveSense.MAXIMIZE, 5.0), (ObjectiveSense.MINIMIZE, 1.0), ("max", 5.0), ("MAXIMIZE", 5.0),
    (" Maximize ", 5.0), ("min", 1.0), ("minimize", 1.0)])
def test_objective_sense_is_obeyed(sense, optimum):
    m = small_lp()
    m.set_objective(sense=sense)
    r = m.solve()
    assert r.status == Status.OPTIMAL and r.objective == pytest.approx(optimum)


@pytest.mark.parametrize("sense", ["banana", "maximum", "", 1, 0, True, 1.0, b"max"])
def test_an_unknown_sense_is_refused_and_changes_nothing(sense):
    m = small_lp()
    m.set_objective(sense="max")
    with pytest.raises(ValueError, match="objective sense"):
        m.set_objective([5, 5], sense=sense)
    assert m.sense == ObjectiveSense.MAXIMIZE
    assert m.solve().objective == pytest.approx(5.0)  # the coefficients were not changed either


@pytest.mark.parametrize("coefficients", [[1, 1], np.ones(2), {0: 1, 1: 1}, ([0, 1], [1, 1]),
                                          sp.csr_matrix([[1.0, 1.0]])])
def test_setting_coefficients_keeps_sense_and_constant(coefficients):
    m = small_lp()
    m.set_objective(sense="maximize", constant=10)
    m.set_objective(coefficients)
    assert m.solve().objective == pytest.approx(13.0)


def test_infeasible_result_has_no_point_but_a_certificate():
    m = velto.Model()
    m.add_variables(2, lb=0, obj=[1, 1])
    m.add_constraint({0: 1, 1: 1}, ub=-1)
    m.add_constraint({0: 1, 1: -1}, lb=-5)
    r = m.solve()
    assert r.status == Status.INFEASIBLE and r.termination == Termination.FINISHED
    assert r.x is None and r.objective is None and r.y is None and r.row_activity is None
    cert = r.certificate
    assert cert.status == Status.INFEASIBLE
    # Farkas: the rows combined with y give y'A x >= y'b-bound > 0 for x >= 0 — here y0 < 0 on the
    # row x0 + x1 <= -1, and A'y <= reduced costs of the lower bounds.
    assert cert.y[0] < 0
    assert (cert.reduced_costs >= -1e-9).all()


def test_unbounded_result_has_a_direction():
    m = velto.Model()
    m.add_variables(2, lb=0, obj=[-1, 0])
    m.add_constraint({0: 1, 1: -1}, ub=1)
    r = m.solve()
    assert r.status == Status.UNBOUNDED and r.x is None
    d = r.certificate.x
    assert d[0] > 0 and d[0] - d[1] <= 1e-9 and d.min() >= -1e-9
    assert r.certificate.row_activity == pytest.approx([d[0] - d[1]])


def test_integer_infeasible_result_has_no_point():
    m = velto.Model()
    m.add_variables(1, lb=0, ub=10, obj=[1], integer=True)
    m.add_constraint({0: 2}, lb=3, ub=3)
    r = m.solve()
    assert r.status == Status.INFEASIBLE and r.x is None and r.certificate is None


@pytest.mark.parametrize("stop", [True, 1, "yes"])
def test_a_progress_callable_that_stops_gives_a_stopped_result(stop):
    m = small_lp()
    r = m.solve(progress=lambda code: stop)
    assert r.termination == Termination.STOPPED and r.response == velto.ResponseCode.TRM_USER_CALLBACK
    assert r.x is None and r.status == Status.UNKNOWN
    assert m.solve().status == Status.OPTIMAL  # the next solve is not stopped


def test_user_callables_are_chained_and_exceptions_raised():
    m = small_lp()
    codes, infos = [], []
    r = m.solve(progress=lambda code: codes.append(code), info=lambda *a: infos.append(a[0]))
    assert r.status == Status.OPTIMAL
    assert codes[0] == velto.CallbackCode.BEGIN_OPTIMIZER and codes[-1] == velto.CallbackCode.END_OPTIMIZER
    assert infos == codes
    with pytest.raises(ZeroDivisionError):
        m.solve(progress=lambda code: 1 / 0)
    assert m.solve().status == Status.OPTIMAL


def test_a_callable_set_on_the_task_is_left_in_place():
    m = small_lp()
    codes = []
    m.task.set_Progress(lambda code: codes.append(code))
    m.solve()
    assert codes and codes[-1] == velto.CallbackCode.END_OPTIMIZER


INTERRUPTED_SOLVE = MARKET_SPLIT + textwrap.dedent("""
    start = time.monotonic()
    try:
        m.solve(time_limit=120)
        print("finished")
    except KeyboardInterrupt:
        print("interrupted after", time.monotonic() - start, flush=True)
    r = m.solve(time_limit=0.2)
    print("again", r.termination.name, flush=True)
""")


@pytest.mark.skipif(os.name != "posix", reason="sends SIGINT")
def test_ctrl_c_stops_the_solve_and_leaves_the_model_usable():
    returncode, out, err = interrupted(INTERRUPTED_SOLVE)
    assert returncode == 0, err
    lines = out.splitlines()
    assert lines[0].startswith("interrupted after")
    assert float(lines[0].split()[-1]) < 30  # stopped by Ctrl-C, long before the time limit
    assert lines[1] == "again TIME_LIMIT"


# Optimizers call the progress callable from their own threads too, where the
# interpreter never runs signal handlers; the main thread waits meanwhile.
CTRL_C_ON_A_LIBRARY_THREAD = textwrap.dedent("""
    import os, signal, threading, time
    from velto.progress import SolveMonitor
    monitor, stopped = SolveMonitor(), threading.Event()
    def library_thread():
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not monitor.progress(0):
            time.sleep(0.01)
        stopped.set()
    with monitor.watch:
        worker = threading.Thread(target=library_thread)
        worker.start()
        try:
            os.kill(os.getpid(), signal.SIGINT)
            time.sleep(5)
        except KeyboardInterrupt:
            pass
        start = time.monotonic()
        stopped.wait()
        print("stopped after", time.monotonic() - start)
""")


@pytest.mark.skipif(os.name != "posix", reason="sends SIGINT")
def test_ctrl_c_reaches_a_progress_callable_on_a_library_thread():
    done = subprocess.run([sys.executable, "-c", CTRL_C_ON_A_LIBRARY_THREAD], capture_output=True, text=True,
                          timeout=60)
    assert done.returncode == 0, done.stderr
    assert float(done.stdout.split()[-1]) < 5  # not the callable's own 10 s deadline
