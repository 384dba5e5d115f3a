"""PTF and OPF, the library's own text formats: every kind of task data
comes back (every bit at 17 digits), broken files are refused with their
line."""
import pytest

import velto
from taskdata import assert_same, ok, random_task, shared_files, snapshot

Err = velto.ResponseCode
IP = velto.IParam
FORMATS = {"ptf": (IP.PTF_WRITE_PARAMETERS, IP.PTF_WRITE_SOLUTIONS, Err.ERR_PTF_FORMAT),
           "opf": (IP.OPF_WRITE_PARAMETERS, IP.OPF_WRITE_SOLUTIONS, Err.ERR_OPF_FORMAT)}


def complete(t, ext):
    params, solutions, _ = FORMATS[ext]
    for p in (params, solutions):
        ok(t.putintparam_ii_3(p, velto.OnOff.ON))
    ok(t.putintparam_ii_3(IP.WRITE_PRECISION, 17))
    return t


def reread(t, path):
    ok(t.writedata_s_2(str(path)))
    u = velto.Task(None)
    ok(u.readdataautoformat_s_2(str(path)))
    return u


@pytest.mark.parametrize("ext", FORMATS)
@pytest.mark.parametrize("seed, names", [(0, True), (1, False), (2, True)])
def test_every_kind_of_data_comes_back(tmp_path, ext, seed, names):
    t = complete(random_task(seed, m=5, n=9, names=names), ext)
    ok(t.putvarname_is_3(3, "@odd name"))      # not a reference: written as @3 with its name
    if names:
        ok(t.putvarname_is_3(4, "x_0_é"))      # a second variable of the same name
    u = reread(t, tmp_path / ("t." + ext))
    # the algebraic part of OPF lists the matrix by rows
    assert_same(snapshot(t, row_order=ext == "opf"), snapshot(u, row_order=ext == "opf"))


@pytest.mark.parametrize("ext", FORMATS)
def test_parameters_and_solutions_only_on_request(tmp_path, ext):
    t = random_task(3)
    ok(t.putintparam_ii_3(IP.WRITE_PRECISION, 17))
    u = reread(t, tmp_path / ("t." + ext))
    assert ok(u.solutiondef_i_2(velto.SolutionType.ITR)) == 0 and u.getintparam_i_2(IP.LOG) == (0, 10)
    assert_same(snapshot(t, with_params=False, with_solutions=False, row_order=True),
                snapshot(u, with_params=False, with_solutions=False, row_order=True))


@pytest.mark.parametrize("ext", FORMATS)
@pytest.mark.parametrize("path", shared_files("netlib/afiro.mps.gz", "maros/QAFIRO.QPS.gz", "miplib/p0033.mps.gz",
                                              "formats/qcqp.lp", "formats/silly-names.mps"))
def test_shared_instances_come_back(tmp_path, ext, path):
    t = velto.Task(None)
    ok(t.readdataautoformat_s_2(str(path)))
    u = reread(complete(t, ext), tmp_path / ("t." + ext))
    assert_same(snapshot(t, row_order=True), snapshot(u, row_order=True))


def written(tmp_path, ext):
    t = complete(random_task(4), ext)
    path = tmp_path / ("t." + ext)
    ok(t.writedata_s_2(str(path)))
    return path, path.read_text().split("\n")


@pytest.mark.parametrize("ext, edit, words", [
    ("ptf", lambda lines: lines[1:], "starts with 'PTF 1'"),
    ("ptf", lambda lines: [l.replace("VARIABLES 8", "VARIABLES 9") for l in lines], "declares 9 items"),
    ("ptf", lambda lines: [l.replace(" RA ", " XX ", 1) for l in lines], "not a known name"),
    ("ptf", lambda lines: lines + ["MATRIX", "c0 nobody 1"], "unknown variable 'nobody'"),
    ("ptf", lambda lines: [l.replace("PRIMAL_POWER_CONE 3", "PRIMAL_POWER_CONE 4", 1) for l in lines], "rows for a domain"),
    ("opf", lambda lines: [l.replace("AFES 9", "AFES x") for l in lines], "bad count"),
    ("opf", lambda lines: [l for l in lines if not l.startswith("END")], "no END"),
    ("opf", lambda lines: [l.replace("subject to", "subject to\n c9: x0 >= y0 y1") for l in lines], "expected a number"),
    ("ptf", lambda lines: ["3 3" if l == "2 3" else l for l in lines], "must be numbered 2"),
    ("ptf", lambda lines: ["0 1 0.5" if l == "1 0 0.5" else l for l in lines], "not in the lower triangle"),
    ("opf", lambda lines: [{"@0 @1 1 2": "@5 X 0 -1", "@5 X 0 -1": "@0 @1 1 2"}.get(l, l) for l in lines],
     "increasing order"),
    ("opf", lambda lines: [l.replace("X 2", "X 0") for l in lines], "bad count"),
])
def test_broken_files_are_refused_with_their_line(tmp_path, ext, edit, words):
    path, lines = written(tmp_path, ext)
    path.write_text("\n".join(edit(lines)))
    errors = []
    t = random_task(5)
    t.set_Stream(velto.StreamType.ERR, errors.append)
    before = snapshot(t)
    assert t.readdataautoformat_s_2(str(path))[0] == FORMATS[ext][2]
    assert words in errors[-1] and f"{path}:" in errors[-1]
    assert_same(before, snapshot(t))
