"""Solution files (text, JSON, binary), parameter files, the read summary
and stream files."""
import pytest

import velto
from taskdata import assert_same, ok, random_task, snapshot

Err = velto.ResponseCode
ITR, BAS, ITG = velto.SolutionType.ITR, velto.SolutionType.BAS, velto.SolutionType.ITG


def without_solutions(t):
    u = velto.Task(other=t)
    for sol in (ITR, BAS, ITG):
        ok(u.deletesolution_i_2(sol))
    return u


@pytest.mark.parametrize("name", ["s.sol", "s.sol.gz", "s.json", "s.bsol", "s.bsol.zst"])
def test_one_solution_comes_back_exactly(tmp_path, name):
    t = random_task(3)
    path = str(tmp_path / name)
    ok(t.writesolution_is_3(ITR, path))
    u = without_solutions(t)
    ok(u.readsolution_is_3(ITR, path))
    assert snapshot(u)["solutions"] == {ITR: snapshot(t)["solutions"][ITR]}
    assert u.readsolution_is_3(ITG, path)[0] == Err.ERR_FILE_FORMAT   # the file holds no integer solution


@pytest.mark.parametrize("write, read", [
    (lambda t, p: t.writesolutionfile_s_2(p + ".sol"), lambda t, p: t.readsolutionfile_s_2(p + ".sol")),
    (lambda t, p: t.writejsonsol_s_2(p + ".json"), lambda t, p: t.readjsonsol_s_2(p + ".json")),
    (lambda t, p: t.writebsolution_si_3(p + ".b", velto.CompressionType.ZSTD),
     lambda t, p: t.readbsolution_si_3(p + ".b", velto.CompressionType.ZSTD)),
    (lambda t, p: t.writebsolution_si_3(p + ".b", velto.CompressionType.NONE),
     lambda t, p: t.readsolutionfile_s_2(p + ".b")),
])
def test_every_solution_comes_back_exactly(tmp_path, write, read):
    t = random_task(4)
    ok(write(t, str(tmp_path / "all")))
    u = without_solutions(t)
    ok(read(u, str(tmp_path / "all")))
    assert_same(snapshot(t), snapshot(u))


def test_solutions_of_another_problem_are_refused(tmp_path):
    t = random_task(5)
    ok(t.writesolutionfile_s_2(str(tmp_path / "s.sol")))
    ok(t.writejsonsol_s_2(str(tmp_path / "s.json")))
    other = random_task(6, m=5)
    before = snapshot(other)
    for path in ("s.sol", "s.json"):
        assert other.readsolutionfile_s_2(str(tmp_path / path))[0] in (Err.ERR_FILE_FORMAT, Err.ERR_JSON_FORMAT)
    assert_same(before, snapshot(other))
    assert velto.Task(None).writesolution_is_3(BAS, str(tmp_path / "none.sol"))[0] == Err.ERR_SOL_UNDEFINED


@pytest.mark.parametrize("edit, line, words", [
    (lambda s: s.replace("SOLUTION_STATUS", "SOLUTION_STATE"), 6, "unexpected"),
    (lambda s: s.replace(" BAS ", " XYZ ", 1), None, "not a known name"),
    (lambda s: s.replace("\nEND", "\n", 1), None, "no END"),
    (lambda s: "\n".join(l for l in s.split("\n") if not l.startswith("1 ")), None, "lists"),
    (lambda s: s.replace('"c0"', '"c0', 1), None, "closing quote"),
    (lambda s: s.replace("\n1 5 ", "\n1 6 ", 1), None, "bad entry '6' (6 in the lower triangle)"),
    (lambda s: s.replace("\n1 5 ", "\n2 5 ", 1), None, "bad semidefinite variable '2' (2 of them)"),
])
def test_broken_solution_files_name_the_line(tmp_path, edit, line, words):
    t = random_task(7)
    path = tmp_path / "s.sol"
    ok(t.writesolution_is_3(ITR, str(path)))
    path.write_text(edit(path.read_text()))
    u = without_solutions(t)
    errors = []
    u.set_Stream(velto.StreamType.ERR, errors.append)
    assert u.readsolution_is_3(ITR, str(path))[0] == Err.ERR_FILE_FORMAT
    assert words in errors[-1] and (line is None or f"{path}:{line}:" in errors[-1])
    assert ok(u.solutiondef_i_2(ITR)) == 0


def test_parameter_files(tmp_path):
    t = velto.Task(None)
    ok(t.putintparam_ii_3(velto.IParam.LOG, 4))
    ok(t.putdouparam_id_3(velto.DParam.OPTIMIZER_MAX_TIME, 0.1 + 0.2))
    ok(t.putstrparam_is_3(velto.SParam.STAT_NAME, 'a "b" c'))
    path = tmp_path / "p.par"
    ok(t.writeparamfile_s_2(str(path)))
    u = velto.Task(None)
    ok(u.readparamfile_s_2(str(path)))
    assert snapshot(u)["params"] == snapshot(t)["params"]
    assert snapshot(u)["dparams"] == snapshot(t)["dparams"] and snapshot(u)["sparams"] == snapshot(t)["sparams"]
    path.write_text("BEGIN\n VLT_IPAR_LOG 7\n VLT_IPAR_NO_SUCH 1\nEND\n")
    errors, warnings = [], []
    u.set_Stream(velto.StreamType.ERR, errors.append)
    u.set_Stream(velto.StreamType.WRN, warnings.append)
    assert u.readparamfile_s_2(str(path))[0] == Err.ERR_PARAM_NAME
    assert f"{path}:3:" in errors[-1] and u.getintparam_i_2(velto.IParam.LOG) == (0, 4)
    ok(u.putintparam_ii_3(velto.IParam.PARAM_READ_IGN_ERROR, velto.OnOff.ON))
    ok(u.readparamfile_s_2(str(path)))
    assert u.getintparam_i_2(velto.IParam.LOG) == (0, 7) and "VLT_IPAR_NO_SUCH" in warnings[-1]


def test_read_summary_and_stream_files(tmp_path):
    t = velto.Task(None)
    log = tmp_path / "log.txt"
    ok(t.linkfiletotaskstream_isi_4(velto.StreamType.LOG, str(log), 0))
    ok(t.readsummary_i_2(velto.StreamType.LOG))
    ok(random_task(1).writedata_s_2(str(tmp_path / "m.jtask")))
    ok(t.readdataautoformat_s_2(str(tmp_path / "m.jtask")))
    ok(t.readsummary_i_2(velto.StreamType.LOG))
    assert t.readsummary_i_2(9)[0] == Err.ERR_INVALID_STREAM
    ok(t.linkfiletotaskstream_isi_4(velto.StreamType.LOG, "", 0))
    text = log.read_text()
    assert "No data file has been read" in text
    rows = dict(line.split(":", 1) for line in text.splitlines()[2:])
    rows = {k.strip(): v.strip() for k, v in rows.items()}
    assert rows["File"].endswith("m.jtask") and rows["Constraints"] == "6" and rows["Affine conic constraints"] == "4"
