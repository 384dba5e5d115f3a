"""Remote optimization against a velto-server on loopback: the same
solutions as a local solve, several jobs at once, stopping, access tokens,
refused bodies, a server that dies or hangs, results kept across restarts."""
import signal
import threading
import time
import urllib.error
import urllib.request
import zlib

import numpy as np
import pytest

import velto
from velto import ResponseCode, SolutionType

from remote_helpers import market_split, start_job, wait_until_done


def lp():
    m = velto.Model()
    x = m.add_variables(3, lb=0, ub=[4, np.inf, 2], obj=[3, 2, 4])
    m.set_objective(sense="maximize")
    m.add_constraint({x[0]: 1, x[1]: 1, x[2]: 2}, ub=4)
    m.add_constraints(np.array([[2.0, 0, 1], [1, 3, 0]]), lb=[-np.inf, 1], ub=[5, 7])
    return m


def qp():
    m = velto.Model()
    x = m.add_variables(3, lb=-10, obj=[-1, 0.5, 2])
    m.set_quadratic_objective(np.array([[2.0, 0.5, 0], [0.5, 3, 0.2], [0, 0.2, 1]]))
    m.add_constraint({x[0]: 1, x[1]: 1, x[2]: 1}, lb=1, ub=1)
    return m


def socp():
    m = velto.Model()
    t, x1, x2 = m.add_variables(3, lb=-np.inf, obj=[1, 0, 0])
    m.add_constraint({x1: 1, x2: 1}, lb=1, ub=1)
    m.add_conic_constraint("quadratic", np.eye(3), [0, -1, -2])   # t >= ||(x1 - 1, x2 - 2)||
    return m


def milp():
    m = velto.Model()
    w, v = [12, 7, 11, 8, 9], [24, 13, 23, 15, 16]
    x = m.add_variables(5, lb=0, ub=1, obj=v, integer=[True] * 5)
    m.set_objective(sense="maximize")
    m.add_constraint(dict(zip(x, w)), ub=26)
    return m


def solution_bytes(task):
    """Every solution's statuses, arrays, ACC duals and objectives, as bytes."""
    out = {}
    for sol in SolutionType:
        defined = task.solutiondef_i_2(sol)[1]
        out[sol, "defined"] = defined
        if not defined:
            continue
        buffers = [bytearray() for _ in range(11)]
        res, statuses = task.getsolution_iOOOOOOOOOOO_2(sol, *buffers)
        assert res == 0
        out[sol, "statuses"] = statuses
        out[sol, "arrays"] = [bytes(b) for b in buffers[3:]]
        doty = bytearray()
        if task.getnumacc__1()[1]:
            assert task.getaccdotys_iO_2(sol, doty)[0] == 0
        out[sol, "doty"] = bytes(doty)
        out[sol, "objectives"] = task.getprimalobj_i_2(sol), task.getdualobj_i_2(sol)
    return out


def run_counts(task):
    return (task.getintinf_i_2(velto.IInfItem.INTPNT_ITER), task.getlintinf_i_2(velto.LIInfItem.SIMPLEX_ITER),
            task.getlintinf_i_2(velto.LIInfItem.MIO_NUM_NODES))


@pytest.mark.parametrize("build", [lp, qp, socp, milp])
def test_remote_solve_equals_local_bit_for_bit(server, build):
    local, remote = build(), build()
    logged = []
    remote.task.set_Stream(velto.StreamType.LOG, logged.append)
    assert local.task.optimizetrm__1() == remote.task.optimizermt_ss_3(server.address, "")
    assert solution_bytes(remote.task) == solution_bytes(local.task)
    assert run_counts(remote.task) == run_counts(local.task)
    assert remote.task.getdouinf_i_2(velto.DInfItem.REMOTE_TIME)[1] > 0
    assert "Optimizer terminated" in "".join(logged)       # the server's log of the job


def test_optimize_goes_remote_after_putoptserverhost(server):
    model, local = lp(), lp()
    local.task.optimizetrm__1()
    assert model.task.putoptserverhost_s_2(server.url + "/") == (0, None)
    assert model.task.optimizetrm__1() == (0, 0)
    assert model.task.getdouinf_i_2(velto.DInfItem.REMOTE_TIME)[1] > 0
    assert solution_bytes(model.task) == solution_bytes(local.task)
    assert model.task.putoptserverhost_s_2("") == (0, None)   # local again
    model.task.optimizetrm__1()
    assert model.task.getdouinf_i_2(velto.DInfItem.REMOTE_TIME)[1] == 0


@pytest.mark.parametrize("address, code", [
    ("localhost", ResponseCode.ERR_SERVER_HOST),            # no port
    ("ftp://localhost:1", ResponseCode.ERR_SERVER_HOST),
    ("localhost:99999", ResponseCode.ERR_SERVER_HOST),
    ("127.0.0.1:1", ResponseCode.ERR_SERVER_CONNECT),       # nothing listens there
])
def test_bad_addresses(address, code):
    model = lp()
    res, value = model.task.optimizermt_ss_3(address, "")
    assert (res, value) == (code, None)
    assert model.task.getlasterror()[0] == code
    assert model.task.solutiondef_i_2(SolutionType.ITR) == (0, 0)
    assert model.task.putoptserverhost_s_2(address)[0] == (0 if code == ResponseCode.ERR_SERVER_CONNECT else code)


def test_several_async_jobs_at_once(server):
    models = [lp(), qp(), socp(), milp()]
    tokens = [start_job(m.task, server.address) for m in models]
    assert len(set(tokens)) == 4
    for model, token in zip(models, tokens):
        assert wait_until_done(model.task, server.address, token) == (0, 0)
        assert model.task.asyncgetresult_sss_4(server.address, "", token) == (0, (1, 0, 0))
    for model, build in zip(models, [lp, qp, socp, milp]):
        local = build()
        local.task.optimizetrm__1()
        assert solution_bytes(model.task) == solution_bytes(local.task)


def test_job_tokens_are_checked(server):
    model = lp()
    unknown = "0" * 64
    assert model.task.asyncpoll_sss_4(server.address, "", unknown) == (ResponseCode.ERR_SERVER_TOKEN, None)
    for bad in ["", "xyz", "../../etc/passwd", "A" * 64]:
        assert model.task.asyncgetresult_sss_4(server.address, "", bad) == (ResponseCode.ERR_SERVER_TOKEN, None)


@pytest.mark.parametrize("how", ["asyncstop", "progress"])
def test_stop_a_long_job(server, how):
    model = market_split()
    start = time.monotonic()
    if how == "asyncstop":
        token = start_job(model.task, server.address)
        time.sleep(0.5)
        assert model.task.asyncpoll_sss_4(server.address, "", token) == (0, (0, 0, 0))   # still running
        assert model.task.asyncstop_sss_4(server.address, "", token) == (0, None)
        assert wait_until_done(model.task, server.address, token, timeout=20) == (0, ResponseCode.TRM_USER_CALLBACK)
        assert model.task.asyncgetresult_sss_4(server.address, "", token)[0] == 0
    else:
        model.task.set_Progress(lambda code: time.monotonic() - start > 0.5)
        assert model.task.optimizermt_ss_3(server.address, "") == (0, ResponseCode.TRM_USER_CALLBACK)
    assert time.monotonic() - start < 20


def test_access_tokens(start_server, tmp_path):
    tokens = tmp_path / "tokens"
    tokens.write_text("# clients\nsecret-one\n\nsecret-two\n")
    s = start_server("--tokens", tokens)
    model = lp()
    assert model.task.optimizermt_ss_3(s.address, "secret-two") == (0, 0)
    assert model.task.optimizermt_ss_3(f"http://secret-one@{s.address}", "") == (0, 0)
    for wrong in ["", "secret", "secret-one2"]:
        assert model.task.optimizermt_ss_3(s.address, wrong) == (ResponseCode.ERR_SERVER_STATUS, None)
        assert "access token" in model.task.getlasterror()[1]
    token = start_job(model.task, s.address, "secret-one")
    assert model.task.asyncstop_sss_4(s.address, "wrong", token) == (ResponseCode.ERR_SERVER_STATUS, None)
    s.stop()
    log = s.request_log()
    assert sum(" 401 " in line for line in log) == 4
    assert not any(token in line for line in log)      # job tokens are never logged whole


def post(url, body):
    request = urllib.request.Request(url, data=body, method="POST",
                                     headers={"Content-Type": "application/x-velto-task"})
    try:
        with urllib.request.urlopen(request, timeout=20) as answer:
            return answer.status, answer.read().decode()
    except urllib.error.HTTPError as e:
        return e.code, e.read().decode()


def task_bytes(model, tmp_path, name="model.task"):
    assert model.task.writetask_s_2(str(tmp_path / name)) == (0, None)
    return (tmp_path / name).read_bytes()


def test_oversized_and_malformed_bodies(start_server, tmp_path):
    s = start_server("--max-body", 100000)
    big = velto.Model()
    big.add_variables(20000, lb=0, obj=np.arange(20000.0))
    big.set_parameter(velto.IParam.REMOTE_USE_COMPRESSION, velto.CompressionType.NONE)
    assert big.task.optimizermt_ss_3(s.address, "") == (ResponseCode.ERR_SERVER_STATUS, None)
    assert "too large" in big.task.getlasterror()[1]
    # The limit holds for the task, not its compressed form: nothing inflates past it.
    big.set_parameter(velto.IParam.REMOTE_USE_COMPRESSION, velto.CompressionType.ZSTD)
    assert big.task.optimizermt_ss_3(s.address, "") == (ResponseCode.ERR_SERVER_STATUS, None)
    assert "too large" in big.task.getlasterror()[1]
    bomb = zlib.compressobj(9, zlib.DEFLATED, 31)
    bomb = bomb.compress(bytes(10_000_000)) + bomb.flush()
    assert post(s.url + "/jobs", bomb)[0] == 413

    good = task_bytes(lp(), tmp_path)
    damaged = bytearray(good)
    damaged[200] ^= 0xFF
    for body in [b"", b"hello", good[:len(good) // 2], bytes(damaged), good[:16] + b"\0" * 64]:
        status, text = post(s.url + "/jobs", body)
        assert status == 400 and text.startswith("the task cannot be read"), (status, text)
    assert post(s.url + "/jobs", task_bytes(lp(), tmp_path, "model.task.gz"))[0] == 201
    assert get(s.url + "/jobs/" + "0" * 64 + "?wait=x")[0] == 400


def get(url):
    try:
        with urllib.request.urlopen(url, timeout=20) as answer:
            return answer.status, answer.read()
    except urllib.error.HTTPError as e:
        return e.code, e.read()


@pytest.mark.parametrize("fault", [signal.SIGKILL, signal.SIGSTOP])
def test_server_lost_during_a_job(start_server, fault):
    s = start_server()
    model = market_split()
    model.set_parameter(velto.DParam.REMOTE_TIMEOUT, 2.0)
    outcome = {}

    def solve():
        t0 = time.monotonic()
        outcome["result"] = model.task.optimizermt_ss_3(s.address, "")
        outcome["seconds"] = time.monotonic() - t0

    thread = threading.Thread(target=solve)
    thread.start()
    time.sleep(1.0)
    lost = time.monotonic()
    s.proc.send_signal(fault)
    thread.join(15)
    try:
        assert not thread.is_alive()
        assert outcome["result"] == (ResponseCode.ERR_SERVER_CONNECT, None)
        assert time.monotonic() - lost < 2.0 + 3.0      # the timeout, and some slack
        assert "optimization server" in model.task.getlasterror()[1]
    finally:
        if fault == signal.SIGSTOP:
            s.proc.send_signal(signal.SIGCONT)
        s.stop(signal.SIGKILL)


def test_finished_results_survive_a_restart_until_they_expire(start_server, tmp_path):
    work = tmp_path / "work"
    first = start_server("--retention", 3, workdir=work)
    model = qp()
    token = start_job(model.task, first.address)
    wait_until_done(model.task, first.address, token)
    first.stop()
    second = start_server("--retention", 3, workdir=work)
    assert model.task.asyncgetresult_sss_4(second.address, "", token) == (0, (1, 0, 0))
    local = qp()
    local.task.optimizetrm__1()
    assert solution_bytes(model.task) == solution_bytes(local.task)
    time.sleep(4.5)
    assert model.task.asyncpoll_sss_4(second.address, "", token) == (ResponseCode.ERR_SERVER_TOKEN, None)
    assert [p.name for p in work.iterdir()] == [".velto-server.lock"]     # the running server's lock


def test_failed_job_reports_the_local_error(server):
    model = velto.Model()
    x = model.add_variables(2, obj=[0, 0])
    model.set_quadratic_objective(np.array([[1.0, 0], [0, -1]]))      # not convex
    local = model.task.optimizetrm__1()
    res, _ = model.task.optimizermt_ss_3(server.address, "")
    assert res == local[0] == ResponseCode.ERR_NONCONVEX
    token = start_job(model.task, server.address)
    assert wait_until_done(model.task, server.address, token)[0] == ResponseCode.ERR_NONCONVEX
    assert model.task.asyncgetresult_sss_4(server.address, "", token) == (0, (1, ResponseCode.ERR_NONCONVEX, 0))
    del x


def test_https_to_a_plain_server_fails_cleanly(server, tmp_path):
    model = lp()
    model.task.putstrparam_is_3(velto.SParam.REMOTE_TLS_CERT_PATH, str(tmp_path))
    assert model.task.optimizermt_ss_3("https://" + server.address, "") == (ResponseCode.ERR_SERVER_CONNECT, None)
    assert "https://" + server.address in model.task.getlasterror()[1]
