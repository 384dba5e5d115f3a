"""A Python child that runs a script, is sent Ctrl-C once the script says
"solving", and is waited for: how the tests see what an interrupted solve
leaves behind, without interrupting the test process itself."""
import os
import signal
import subprocess
import sys
import time


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
