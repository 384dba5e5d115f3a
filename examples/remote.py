"""Solving on an optimization server: a velto-server started on this
machine's loopback address, a model sent to it, the solution brought back
and compared with a local solve."""
import re
import subprocess
import tempfile

import numpy as np

import velto
import velto.server


def model():
    rng = np.random.default_rng(5)
    m = velto.Model()
    m.add_variables(40, lb=0, ub=1, obj=rng.uniform(1, 10, 40), integer=True)
    m.add_constraints(rng.uniform(1, 5, size=(5, 40)), ub=25)
    m.set_objective(sense="maximize")
    return m


with tempfile.TemporaryDirectory() as workdir:
    server = subprocess.Popen([velto.server.executable(), "--port", "0", "--workdir", workdir, "--threads", "1"],
                              stdout=subprocess.PIPE, text=True)
    try:
        address = re.search(r"listening on ([\d.]+:\d+)", server.stdout.readline()).group(1)
        remote = model().solve(remote=address)
        local = model().solve()
        print(f"server {address}: {remote.status.name} {remote.objective:g}; here: {local.status.name} "
              f"{local.objective:g}")
        assert remote.status == velto.Status.OPTIMAL and abs(remote.objective - local.objective) < 1e-9
    finally:
        server.terminate()
        server.wait(20)
