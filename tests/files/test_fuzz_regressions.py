"""Inputs that fuzzing found faults with (tests/fuzz/regressions/<reader>/):
each is now read or refused cleanly, and a refusal changes nothing."""
import pathlib

import pytest

import velto
from taskdata import assert_same, random_task, snapshot

ROOT = pathlib.Path(__file__).resolve().parents[1] / "fuzz" / "regressions"
FORMATS = {"mps": velto.DataFormat.MPS, "lp": velto.DataFormat.LP, "opf": velto.DataFormat.OPF,
           "ptf": velto.DataFormat.PTF, "json": velto.DataFormat.JSON_TASK, "task": velto.DataFormat.TASK}
CASES = sorted(p for p in ROOT.glob("*/*") if p.is_file())


def read(t, reader, path):
    if reader == "solution":
        return t.readsolutionfile_s_2(str(path))[0]
    if reader == "parameters":
        return t.readparamfile_s_2(str(path))[0]
    return t.readdataformat_sii_4(str(path), FORMATS[reader], velto.CompressionType.NONE)[0]


@pytest.mark.skipif(not CASES, reason="no fuzzing findings kept")
@pytest.mark.parametrize("path", CASES, ids=[f"{p.parent.name}/{p.name}" for p in CASES])
def test_finding_is_read_or_refused_cleanly(path):
    t = random_task(0)
    before = snapshot(t)
    res = read(t, path.parent.name, path)
    assert res == 0 or 1000 <= res < 2000
    if res != 0:
        assert_same(before, snapshot(t))
