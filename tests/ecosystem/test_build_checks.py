"""A build from source stops at once, with the Debian command that installs
them, when system headers are missing."""
import os
import pathlib
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


def configure(build, *options):
    return subprocess.run([sys.executable, "-m", "cmake", "-S", str(ROOT), "-B", str(build), *options],
                          capture_output=True, text=True, timeout=300)


@pytest.mark.skipif(not os.environ.get("VLT_BUILD_DIR"), reason="needs the build tools of make test")
def test_missing_headers_name_the_debian_packages(tmp_path):
    # Nothing is found under a root that holds nothing: every header is missing.
    done = configure(tmp_path / "build", f"-DCMAKE_FIND_ROOT_PATH={tmp_path / 'empty'}",
                     "-DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY")
    assert done.returncode != 0
    err = done.stderr
    assert ("sudo apt-get install zlib1g-dev libzstd-dev libeigen3-dev nlohmann-json3-dev libcpp-httplib-dev "
            "libssl-dev libbrotli-dev") in " ".join(err.split())
    # It stops before anything else is looked for (Python, HiGHS, the libraries).
    assert "Python" not in done.stdout and "highs" not in done.stdout.lower()
