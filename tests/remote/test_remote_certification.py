"""A server's answer passes the same final check as a local one: an
interior-point answer accepted near-optimally on an ill-posed semidefinite
instance is not reported optimal, remotely or locally."""
import pathlib

import pytest

import _vlt

HINF4 = pathlib.Path(__file__).resolve().parents[3] / "shared" / "data" / "cbf" / "sdplib_hinf4.cbf.gz"
SOL_ITR, OPTIMAL = 0, 1


def read(env):
    task = _vlt.Task(env)
    assert task.readdataautoformat_s_2(str(HINF4))[0] == 0
    return task


@pytest.mark.skipif(not HINF4.exists(), reason="the instance collection is not present")
def test_remote_status_is_checked_like_a_local_one(server):
    env = _vlt.Env()
    local, remote = read(env), read(env)
    assert local.optimizetrm__1()[0] == 0
    assert remote.optimizermt_ss_3(server.address, "")[0] == 0
    statuses = [t.getsolsta_i_2(SOL_ITR) for t in (local, remote)]
    assert statuses[0] == statuses[1]
    _, info = remote.getsolutioninfonew_i_2(SOL_ITR)
    pobj, dobj = info[0], info[8]
    gap_closed = abs(pobj - dobj) <= 1e-8 * max(1.0, abs(pobj), abs(dobj))
    assert (statuses[1] == (0, OPTIMAL)) == gap_closed, (statuses, pobj, dobj)
