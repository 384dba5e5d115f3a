"""The names report through the module: names read from an MPS file are kept
by the task, and analyzenames_ii_3 writes its findings to the chosen stream."""
import pytest

import velto
from velto import NameType, ResponseCode, StreamType

# Two rows share the name LIM; one row name is too wide for fixed MPS; one
# column name starts with a digit (fine in MPS, not in LP files).
MPS = """NAME          TINY
ROWS
 N  COST
 L  LIM
 G  LIM2
 E  WIDEROWNAME
COLUMNS
    XONE      COST         1.0   LIM          1.0
    XONE      LIM2         1.0
    1Z        LIM          1.0   WIDEROWNAME  1.0
RHS
    RHS       LIM          4.0   LIM2         1.0
ENDATA
"""


@pytest.fixture
def named_task(tmp_path):
    path = tmp_path / "tiny.mps"
    path.write_text(MPS)
    t = velto.Task(None)
    assert t.readdataautoformat_s_2(str(path)) == (0, None)
    yield t
    t.dispose()


def report(task, stream, nametype):
    received = {s: [] for s in StreamType}
    for s in StreamType:
        task.set_Stream(s, received[s].append)
    result = task.analyzenames_ii_3(stream, nametype)
    return result, {s: "".join(parts) for s, parts in received.items()}


@pytest.mark.parametrize("nametype, present, absent", [
    (NameType.GEN,
     ["Task name      : 'TINY'", "Objective name : 'COST'", "Constraints    : 3 named, 0 unnamed",
      "No problems found"],
     ["WIDEROWNAME", "'1Z'"]),
    (NameType.MPS,
     ["constraint 2 'WIDEROWNAME': is longer than 8 bytes", "Found 0 problems and 1 note"],
     ["'1Z'"]),
    (NameType.LP,
     ["variable 1 '1Z': starts with a digit", "Found 1 problem and 0 notes"],
     ["WIDEROWNAME"]),
])
def test_report_on_names_read_from_a_file(named_task, nametype, present, absent):
    result, text = report(named_task, StreamType.LOG, nametype)
    assert result == (0, None)
    assert text[StreamType.MSG] == "" and text[StreamType.ERR] == ""
    for part in present:
        assert part in text[StreamType.LOG], text[StreamType.LOG]
    for part in absent:
        assert part not in text[StreamType.LOG], text[StreamType.LOG]


def test_unnamed_items_are_problems_only_where_the_format_needs_names():
    t = velto.Task(None)
    assert t.appendcons_i_2(2) == (0, None) and t.appendvars_i_2(3) == (0, None)
    texts = {nt: report(t, StreamType.MSG, nt)[1][StreamType.MSG] for nt in NameType}
    t.dispose()
    assert "No problems found" in texts[NameType.GEN]
    assert "2 constraints without a name" in texts[NameType.MPS]
    assert "unnamed objective" in texts[NameType.MPS]
    assert "Found 6 problems" in texts[NameType.MPS]
    # LP rows may stay anonymous; variables may not.
    assert "constraints without" not in texts[NameType.LP]
    assert "3 variables without a name" in texts[NameType.LP]


@pytest.mark.parametrize("stream, nametype, code", [
    (StreamType.MSG, 3, ResponseCode.ERR_INVALID_ENUM),
    (StreamType.MSG, -1, ResponseCode.ERR_INVALID_ENUM),
    (4, NameType.GEN, ResponseCode.ERR_INVALID_STREAM),
])
def test_bad_arguments_give_a_code_and_no_report(named_task, stream, nametype, code):
    result, text = report(named_task, stream, nametype)
    assert result == (code, None)
    assert text[StreamType.MSG] == "" and text[StreamType.LOG] == ""
    assert "Argument" in text[StreamType.ERR]
