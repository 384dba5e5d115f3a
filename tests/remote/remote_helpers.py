"""Helpers of the remote tests: jobs started and waited for, and a model
that keeps the optimizer busy."""
import time

import velto


def wait_until_done(task, address, token, timeout=60):
    """Polls a job until it is done; its (response, termination) codes."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        res, codes = task.asyncpoll_sss_4(address, "", token)
        assert res == 0, task.getlasterror()
        if codes[0] == 1:
            return codes[1], codes[2]
        time.sleep(0.02)
    raise AssertionError("the job did not finish in time")


def start_job(task, address, access=""):
    buf = bytearray()
    res, _ = task.asyncoptimize_ssO_3(address, access, buf)
    assert res == 0, task.getlasterror()
    assert len(buf) == 65
    return buf.split(b"\0")[0].decode()


def market_split(seed=3, m=4, n=36):
    """A market split instance: tiny, and branch and bound works on it for hours."""
    import numpy as np
    rng = np.random.default_rng(seed)
    A = rng.integers(0, 100, size=(m, n))
    model = velto.Model()
    x = model.add_variables(n, lb=0, ub=1, integer=[True] * n)
    s = model.add_variables(2 * m, lb=0)
    for i in range(m):
        row = {x[j]: float(A[i, j]) for j in range(n)}
        row[s[2 * i]], row[s[2 * i + 1]] = 1.0, -1.0
        rhs = float(A[i].sum() // 2)
        model.add_constraint(row, lb=rhs, ub=rhs)
    model.set_objective({v: 1.0 for v in s})
    return model
