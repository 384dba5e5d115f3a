"""Every example runs to its end (each checks its own answer)."""
import os
import pathlib
import subprocess
import sys

import pytest

import velto

EXAMPLES = sorted((pathlib.Path(__file__).parents[2] / "examples").glob("*.py"))


@pytest.mark.parametrize("example", EXAMPLES, ids=[e.stem for e in EXAMPLES])
def test_example_runs(example):
    package_root = os.path.dirname(os.path.dirname(os.path.abspath(velto.__file__)))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [package_root, os.environ.get("PYTHONPATH")])))
    run = subprocess.run([sys.executable, str(example)], capture_output=True, text=True, timeout=300, env=env,
                         cwd=example.parent)
    assert run.returncode == 0, run.stderr
    assert run.stdout.strip()
