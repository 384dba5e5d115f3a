"""The wheel of `make wheel`, installed into a fresh virtual environment
(no system site-packages, no package index: only the wheel and the wheels
of its dependencies saved beside it), then used to solve.  Slow (it needs the
wheel, whose build from source takes minutes): run by `make test-wheel`."""
import glob
import os
import pathlib
import subprocess
import sys
import time
import zipfile

import pytest

pytestmark = pytest.mark.wheel

ROOT = pathlib.Path(__file__).resolve().parents[2]
WHEEL_DIR = pathlib.Path(os.environ.get("VLT_WHEEL_DIR", ROOT / "dist"))
if not WHEEL_DIR.is_absolute():
    WHEEL_DIR = ROOT / WHEEL_DIR

SOLVE = """
import numpy as np, velto
m = velto.Model()                                   # an LP: HiGHS from highsbox
x = m.add_variables(2, lb=0, obj=[1, 2])
m.add_constraint({x[0]: 1, x[1]: 1}, lb=1)
r = m.solve()
assert r.status is velto.Status.OPTIMAL and abs(r.objective - 1) < 1e-9, r
c = velto.Model()                                   # a cone: the library's own interior point
y = c.add_variables(3, lb=-np.inf, obj=[1, 0, 0])
c.add_constraint({y[1]: 1}, lb=3, ub=3)
c.add_constraint({y[2]: 1}, lb=4, ub=4)
c.add_conic_constraint("quadratic", np.eye(3))
r = c.solve()
assert r.status is velto.Status.OPTIMAL and abs(r.objective - 5) < 1e-7, r
print("solved", velto.__file__)
"""


@pytest.fixture(scope="module")
def wheel():
    found = sorted(glob.glob(str(WHEEL_DIR / "velto-*manylinux*.whl")))
    if not found and "VLT_WHEEL_DIR" not in os.environ:
        pytest.skip("no wheel built: make test-wheel builds one and runs these tests")
    assert found, f"no repaired wheel in {WHEEL_DIR}: run make wheel"
    return pathlib.Path(found[-1])


@pytest.fixture(scope="module")
def venv(tmp_path_factory, wheel):
    root = tmp_path_factory.mktemp("venv")
    subprocess.run([sys.executable, "-m", "venv", str(root)], check=True)
    python = root / "bin" / "python"
    assert subprocess.run([str(python), "-c", "import numpy"], capture_output=True).returncode != 0, \
        "the fresh environment must not see this interpreter's packages"
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PIP_INDEX_URL", "LD_LIBRARY_PATH")}
    pip = [str(python), "-m", "pip", "install", "--no-index", "--only-binary", ":all:",
           "--find-links", str(WHEEL_DIR), "--find-links", str(WHEEL_DIR / "deps")]
    seconds = []
    for what in (["numpy", "highsbox"], [str(wheel)]):  # the dependencies, then the wheel
        started = time.monotonic()
        done = subprocess.run(pip + what, capture_output=True, text=True, env=env)
        seconds.append(time.monotonic() - started)
        assert done.returncode == 0, done.stdout + done.stderr
    print(f"\ninstalled: numpy and highsbox in {seconds[0]:.1f} s, the velto wheel in {seconds[1]:.1f} s")
    return python, env


def test_wheel_is_manylinux_and_leaves_highs_to_highsbox(wheel):
    assert "manylinux" in wheel.name
    names = zipfile.ZipFile(wheel).namelist()
    assert any(n.startswith("_vlt.") and n.endswith(".so") for n in names)
    assert any(n.startswith("libvelto64") for n in names)
    assert not [n for n in names if "libhighs" in n]
    metadata = next(n for n in names if n.endswith(".dist-info/METADATA"))
    text = zipfile.ZipFile(wheel).read(metadata).decode()
    assert "Requires-Dist: highsbox" in text and "License-Expression: Apache-2.0" in text
    for extra in ("cvxpy", "plot", "cluster"):
        assert f"Provides-Extra: {extra}" in text


def test_fresh_environment_solves_with_the_wheel(venv, tmp_path):
    python, env = venv
    done = subprocess.run([str(python), "-c", SOLVE], capture_output=True, text=True, env=env, cwd=str(tmp_path))
    assert done.returncode == 0, done.stdout + done.stderr
    assert "solved" in done.stdout and str(ROOT) not in done.stdout


def test_server_binary_of_the_wheel_runs(venv, tmp_path):
    python, env = venv
    code = "import subprocess, velto.server; print(subprocess.run([velto.server.executable(), '--help'], " \
           "capture_output=True, text=True).returncode)"
    done = subprocess.run([str(python), "-c", code], capture_output=True, text=True, env=env, cwd=str(tmp_path))
    assert done.returncode == 0, done.stdout + done.stderr
    assert done.stdout.strip() == "0"
