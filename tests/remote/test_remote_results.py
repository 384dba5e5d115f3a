"""A remote result carries every part of every solution a local one has:
semidefinite parts (barx, bars) included, through optimizermt and through
the asynchronous calls, compared part by part with a local solve; a
Model's asynchronous solve comes back into the model."""
import numpy as np
import pytest

import velto
from velto import SolutionType

from arrays import f64, i32, i64
from remote_helpers import start_job, wait_until_done
from test_remote import lp, milp, qp, socp, solution_bytes


def sdp():
    """min <C, X> + x  s.t.  <I, X> = 1,  x - X_01 >= -0.5,  X in S^3_+: a
    solution with nonzero barx and bars."""
    t = velto.Task(None)
    assert t.appendvars_i_2(1)[0] == 0
    assert t.putvarbound_iidd_5(0, velto.BoundKey.LO, 0.0, np.inf)[0] == 0
    assert t.putcj_id_3(0, 1.0)[0] == 0
    assert t.appendbarvars_O_2(i32([3]))[0] == 0
    res, c = t.appendsparsesymmat_iOOO_5(3, i32([0, 1, 2, 2]), i32([0, 0, 1, 2]),
                                         f64([2.0, 0.5, -0.3, 1.0]))
    res, eye = t.appendsparsesymmat_iOOO_5(3, i32([0, 1, 2]), i32([0, 1, 2]),
                                           f64([1.0, 1.0, 1.0]))
    res, off = t.appendsparsesymmat_iOOO_5(3, i32([1]), i32([0]), f64([-0.5]))
    assert t.putbarcj_iOO_4(0, i64([c]), f64([1.0]))[0] == 0
    assert t.appendcons_i_2(2)[0] == 0
    assert t.putbaraij_iiOO_5(0, 0, i64([eye]), f64([1.0]))[0] == 0
    assert t.putconbound_iidd_5(0, velto.BoundKey.FX, 1.0, 1.0)[0] == 0
    assert t.putaij_iid_4(1, 0, 1.0)[0] == 0
    assert t.putbaraij_iiOO_5(1, 0, i64([off]), f64([1.0]))[0] == 0
    assert t.putconbound_iidd_5(1, velto.BoundKey.LO, -0.5, np.inf)[0] == 0
    return t


def everything(task):
    """solution_bytes and, per defined solution, barx and bars of every
    semidefinite variable."""
    out = solution_bytes(task)
    for sol in SolutionType:
        if task.solutiondef_i_2(sol)[1]:
            for j in range(task.getnumbarvar__1()[1]):
                for getter in (task.getbarxj_iiO_3, task.getbarsj_iiO_3):
                    buf = bytearray()
                    assert getter(sol, j, buf)[0] == 0
                    out[sol, getter.__name__, j] = bytes(buf)
    return out


def task_of(build):
    made = build()
    return made if isinstance(made, velto.Task) else made.task


@pytest.mark.parametrize("how", ["optimizermt", "async"])
@pytest.mark.parametrize("build", [lp, qp, socp, sdp, milp])
def test_remote_result_equals_local_part_by_part(server, build, how):
    local, remote = task_of(build), task_of(build)
    assert local.optimizetrm__1()[0] == 0
    if how == "optimizermt":
        assert remote.optimizermt_ss_3(server.address, "")[0] == 0
    else:
        job = start_job(remote, server.address)
        wait_until_done(remote, server.address, job)
        res, codes = remote.asyncgetresult_sss_4(server.address, "", job)
        assert res == 0 and codes[0] == 1, remote.getlasterror()
    want, got = everything(local), everything(remote)
    assert want.keys() == got.keys()
    assert [part for part in want if got[part] != want[part]] == []
    if build is sdp:     # the semidefinite parts are really there, not zeros on both sides
        assert any(np.frombuffer(want[SolutionType.ITR, "getbarxj_iiO_3", 0], np.float64) != 0)
        assert any(np.frombuffer(want[SolutionType.ITR, "getbarsj_iiO_3", 0], np.float64) != 0)


def test_an_asynchronous_model_solve_comes_back_into_the_model(server):
    m = lp()
    job = m.solve_async(server.address)
    r = job.result(timeout=60)
    assert job.done() and r.status == velto.Status.OPTIMAL and r.objective == pytest.approx(lp().solve().objective)
    assert m.result() is r
    m.set_variable_bounds(0, ub=1)
    assert m.result().stale
