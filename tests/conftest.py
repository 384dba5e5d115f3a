"""Fixtures shared by the module tests: an environment that writes the API
call log, a task in it, and a reader of that log."""
import pathlib

import pytest

import _vlt


def read_calls(path):
    """The lines of the call log written so far, without line ends."""
    return pathlib.Path(path).read_text().splitlines()


@pytest.fixture
def env_log_path(tmp_path):
    return tmp_path / "calls.log"


@pytest.fixture
def env(env_log_path):
    environment = _vlt.Env(str(env_log_path))
    yield environment
    environment.dispose()


@pytest.fixture
def task(env):
    t = _vlt.Task(env)
    yield t
    t.dispose()


@pytest.fixture
def calls():
    """calls(env_log_path) -> the call-log lines."""
    return read_calls
