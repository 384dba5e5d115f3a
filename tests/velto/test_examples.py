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


def test_the_examples_ship_inside_the_package():
    import velto.examples

    assert velto.examples.names() == [e.stem for e in EXAMPLES]
    package_root = os.path.dirname(os.path.dirname(os.path.abspath(velto.__file__)))
    done = subprocess.run([sys.executable, "-m", "velto.examples", "knapsack"], capture_output=True, text=True,
                          timeout=300, env=dict(os.environ, PYTHONPATH=package_root), cwd=package_root)
    assert done.returncode == 0 and done.stdout.startswith("OPTIMAL"), done.stderr
    with pytest.raises(ValueError, match="no example"):
        velto.examples.path("nothing")
