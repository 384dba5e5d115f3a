"""The JSON task format: every bit comes back, and bad JSON (broken,
hostile, of the wrong shape) is refused with its line or member named."""
import json

import pytest

import velto
from taskdata import assert_same, ok, random_task, shared_files, snapshot

Err = velto.ResponseCode


@pytest.mark.parametrize("seed", range(3))
def test_a_task_comes_back_bit_for_bit(tmp_path, seed):
    t = random_task(seed, m=4 + seed, n=8)
    path = tmp_path / "t.jtask.gz"
    ok(t.writedata_s_2(str(path)))
    u = velto.Task(None)
    ok(u.readdataautoformat_s_2(str(path)))
    assert_same(snapshot(t), snapshot(u))


@pytest.mark.parametrize("path", shared_files("netlib/afiro.mps.gz", "maros/QAFIRO.QPS.gz", "miplib/p0033.mps.gz",
                                              "formats/qcqp.lp"))
def test_shared_instances_come_back(tmp_path, path):
    t = velto.Task(None)
    ok(t.readdataautoformat_s_2(str(path)))
    ok(t.writedata_s_2(str(tmp_path / "t.json")))
    u = velto.Task(None)
    ok(u.readdataautoformat_s_2(str(tmp_path / "t.json")))
    assert_same(snapshot(t), snapshot(u))


def minimal(**changes):
    doc = {"format": "velto task", "version": 1,
           "objective": {"sense": "minimize", "constant": 0, "c": [1, 2]},
           "variables": {"count": 2, "bound_keys": ["LO", "RA"], "lower": [0, -1], "upper": ["inf", 1], "integer": [1]},
           "constraints": {"count": 1, "bound_keys": ["UP"], "lower": ["-inf"], "upper": [4]},
           "A": {"column_starts": [0, 1, 2], "rows": [0, 0], "values": [1, 1]}}
    for path, value in changes.items():
        node = doc
        keys = path.split("/")
        for k in keys[:-1]:
            node = node[k]
        if value is None:
            del node[keys[-1]]
        else:
            node[keys[-1]] = value
    return json.dumps(doc, indent=1)


def test_a_written_by_hand_task_reads_and_warns_about_unknown_members():
    t = velto.Task(None)
    warnings = []
    t.set_Stream(velto.StreamType.WRN, warnings.append)
    ok(t.readjsonstring_s_2(minimal(**{"variables/colour": "blue"})))
    assert ok(t.getvarbound_i_2(1)) == (velto.BoundKey.RA, -1.0, 1.0) and ok(t.getvartype_i_2(1)) == 1
    assert any("/variables/colour" in w for w in warnings)


@pytest.mark.parametrize("text, words", [
    (minimal()[:-20], "string:"),                                     # truncated: the line of the end
    ("[" * 10000 + "]" * 10000, "nesting deeper than 64"),
    (minimal(version=2), "/version"),
    (minimal(**{"objective/c": [1, "x"]}), "/objective/c/1"),
    (minimal(**{"variables/bound_keys": ["LO", "XX"]}), "/variables/bound_keys/1"),
    (minimal(**{"variables/count": 3}), "holds 2 keys for count 3"),
    (minimal(**{"A/rows": [0, 5]}), "the matrix"),
    (minimal(**{"variables/integer": [7]}), "/variables/integer/0"),
    (minimal(**{"objective/sense": None}), "\"sense\" is missing"),
    (minimal(**{"constraints/upper": "4"}), "/constraints/upper"),
    (minimal().replace("\"values\": [\n   1", "\"values\": [\n   NaN"), "string:"),
    (minimal().replace("\"values\": [\n   1", "\"values\": [\n   -1E999"), "overflow parsing '-1E999'"),
    ('{"format": "velto task", "version": 1, "name": "\\ud800"}', "string:"),
    (minimal(**{"variables/count": -1}), "/variables/count"),
])
def test_bad_json_is_refused_and_changes_nothing(text, words):
    errors = []
    t = random_task(2)
    t.set_Stream(velto.StreamType.ERR, errors.append)
    before = snapshot(t)
    assert t.readjsonstring_s_2(text)[0] == Err.ERR_JSON_FORMAT
    assert words in errors[-1] and "string" in errors[-1]
    assert_same(before, snapshot(t))


def test_names_that_are_not_utf8_cannot_be_written(tmp_path):
    path = tmp_path / "latin1.mps"
    path.write_bytes(b"NAME\nROWS\n N obj\nCOLUMNS\n caf\xe9 obj 1\nENDATA\n")
    t = velto.Task(None)
    ok(t.readdataautoformat_s_2(str(path)))
    assert t.writedata_s_2(str(tmp_path / "t.jtask"))[0] == Err.ERR_INVALID_NAME
