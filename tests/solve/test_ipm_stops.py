"""A run of the interior-point optimizer stopped by the time limit or by the
progress callable before it has an iterate reports no status it cannot back:
the stop's termination code, and no solution or one of unknown status."""
import numpy as np
import pytest

import _vlt
from arrays import f64, i32, i64

TRM_MAX_TIME = 10001
TRM_USER_CALLBACK = 10007
SOLSTA_UNKNOWN = 0
OPTIMIZER_MAX_TIME = 49


def maxcut_task(n, seed=1):
    """maximize <L, X>/4, diag(X) = 1, X PSD, for a random graph."""
    rng = np.random.default_rng(seed)
    upper = np.triu(rng.random((n, n)) < 0.5, 1)
    adj = (upper | upper.T).astype(float)
    lap = np.diag(adj.sum(axis=1)) - adj
    task = _vlt.Task(_vlt.Env())
    task.appendcons_i_2(n)
    task.appendbarvars_O_2(i32([n]))
    for i in range(n):
        _, e = task.appendsparsesymmat_iOOO_5(n, i32([i]), i32([i]), f64([1.0]))
        task.putbaraij_iiOO_5(i, 0, i64([e]), f64([1.0]))
    rows, cols = np.tril_indices(n)
    keep = lap[rows, cols] != 0.0
    _, c = task.appendsparsesymmat_iOOO_5(n, i32(rows[keep]), i32(cols[keep]), f64(-0.25 * lap[rows, cols][keep]))
    task.putbarcj_iOO_4(0, i64([c]), f64([1.0]))
    assert task.putconboundsliceconst_iiidd_6(0, n, 2, 1.0, 1.0)[0] == 0  # fixed at 1
    return task


def stop_by_time(task):
    task.putdouparam_id_3(OPTIMIZER_MAX_TIME, 1e-9)
    return TRM_MAX_TIME


def stop_by_callable(task):
    task.set_Progress(lambda code: True)
    return TRM_USER_CALLBACK


@pytest.mark.parametrize("stop", [stop_by_time, stop_by_callable])
@pytest.mark.parametrize("n", [5, 40])
def test_stopped_semidefinite_run_claims_nothing(stop, n):
    task = maxcut_task(n)
    expected = stop(task)
    res, trm = task.optimizetrm__1()
    assert (res, trm) == (0, expected)
    res, defined = task.solutiondef_i_2(0)
    assert res == 0
    if defined:  # kept only with nothing claimed for it
        assert task.getsolsta_i_2(0) == (0, SOLSTA_UNKNOWN)


def test_unstopped_run_still_solves():
    task = maxcut_task(12)
    assert task.optimizetrm__1() == (0, 0)
    assert task.getsolsta_i_2(0) == (0, 1)
