"""A Python child that runs a script, is sent Ctrl-C once the script says
"solving", and is waited for: how the tests see what an interrupted solve
leaves behind, without interrupting the test process itself."""
import os
import signal
import subprocess
import sys
import time

# The start of a child's script: a market-split problem, whose branch and
# bound runs far longer than a test waits, about to be solved.
MARKET_SPLIT = """
import sys, time
import numpy as np
import velto
rng = np.random.default_rng(7)
A = rng.integers(0, 100, size=(4, 30))
m = velto.Model()
m.add_variables(30, lb=0, ub=1, integer=True)
m.add_constraints(A, lb=A.sum(axis=1) // 2, ub=A.sum(axis=1) // 2)
print("solving", flush=True)
"""


def interrupted(script, after=1.0, timeout=60):
    """(return code, standard output, standard error) of the child."""
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True, env=dict(os.environ))
    try:
        assert child.stdout.readline().strip() == "solving"
        time.sleep(after)
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=timeout)
    finally:
        child.kill()
    return child.returncode, out, err
