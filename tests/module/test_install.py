"""What an install puts into site-packages, checked on the build: installed
into a temporary prefix with `cmake --install`, the way `pip install .` does."""
import ctypes.util
import os
import shutil
import subprocess
import sys

import pytest

BUILD = os.environ.get("VLT_BUILD_DIR")
pytestmark = pytest.mark.skipif(not BUILD or shutil.which("readelf") is None,
                                reason="needs VLT_BUILD_DIR (make test) and readelf")


@pytest.fixture(scope="module")
def installed(tmp_path_factory):
    prefix = tmp_path_factory.mktemp("site-packages")
    done = subprocess.run([sys.executable, "-m", "cmake", "--install", BUILD, "--prefix", str(prefix)],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    return prefix


def elf_objects(root):
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                if f.read(4) == b"\x7fELF":
                    yield path


def run_paths(path):
    dynamic = subprocess.run(["readelf", "-d", path], capture_output=True, text=True, check=True).stdout
    return [entry for line in dynamic.splitlines() if "(RUNPATH)" in line or "(RPATH)" in line
            for entry in line.split("[", 1)[1].rstrip("]").split(":")]


def test_installed_objects_carry_only_origin_relative_run_paths(installed):
    objects = list(elf_objects(installed))
    assert {os.path.basename(p).split(".")[0] for p in objects} >= {"_vlt", "libvelto64"}
    for path in objects:
        assert all(entry.startswith("$ORIGIN") for entry in run_paths(path)), (path, run_paths(path))


def test_one_copy_of_the_library_under_its_soname(installed):
    copies = [name for name in os.listdir(installed) if name.startswith("libvelto64")]
    assert copies == ["libvelto64.so.10.2"]
    assert not os.path.islink(os.path.join(installed, copies[0]))


def python_in(prefix, code, **environment):
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    env.update(environment, PYTHONPATH=str(prefix))
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, cwd=str(prefix), env=env)


@pytest.mark.skipif(ctypes.util.find_library("highs") is not None, reason="the system has a HiGHS library")
def test_import_without_highs_says_which_package_to_install(installed):
    done = python_in(installed, "import _vlt")
    assert done.returncode != 0
    last = done.stderr.strip().splitlines()[-1]
    assert last.startswith("ImportError: ") and "pip install highsbox~=1.15.1" in last


SOLVE_AN_INTEGER_PROBLEM = ("import velto\n"
                            "m = velto.Model()\n"
                            "m.add_variables(2, lb=0, ub=4, obj=[-1, -2], integer=True)\n"
                            "m.add_constraint({0: 1, 1: 1}, ub=3.5)\n"
                            "print(round(m.solve().objective, 6))")
DLOPEN_WRAPPER = os.path.join(BUILD or "", "tests", "module", "libdlopen_wrapper.so")


# A preloaded library that wraps dlopen (as sanitizer runtimes do) hides the
# library's run path from the loader: HiGHS must still be found.
@pytest.mark.parametrize("wrapped", [False, True], ids=["plain", "dlopen-wrapped"])
@pytest.mark.parametrize("where", ["installed", "build"])
def test_solves_with_highsbox_beside_it(installed, where, wrapped):
    highsbox = pytest.importorskip("highsbox")
    prefix = installed if where == "installed" else os.path.join(BUILD, "pkg")
    beside = installed / "highsbox"
    if where == "installed" and not beside.exists():
        beside.symlink_to(os.path.dirname(highsbox.__file__))
    preload = {"LD_PRELOAD": " ".join(filter(None, [os.environ.get("LD_PRELOAD"), DLOPEN_WRAPPER]))} \
        if wrapped else {}
    try:
        done = python_in(prefix, SOLVE_AN_INTEGER_PROBLEM, **preload)
    finally:
        if beside.is_symlink():
            beside.unlink()
    assert (done.returncode, done.stdout.strip()) == (0, "-6.0"), done.stderr


def test_the_install_carries_the_stub_the_header_and_the_typed_marker(installed):
    for part in ("_vlt-stubs/__init__.pyi", "velto/include/velto.h", "velto/include/velto_params.h",
                 "velto/py.typed"):
        assert (installed / part).is_file(), part
    assert "class Task:" in (installed / "_vlt-stubs" / "__init__.pyi").read_text()
