"""LP files: the shared files read as HiGHS reads them (the broken ones
refused with the line at fault), tasks written and read back unchanged, and
HiGHS reading our files to the same optimum."""
import math

import numpy as np
import pytest

import velto
from taskdata import DATA, assert_same, name_everything, ok, random_task, shared_files, snapshot

highspy = pytest.importorskip("highspy")
Err = velto.ResponseCode
PROBLEM_ONLY = dict(with_params=False, with_solutions=False, row_order=True)


def highs_model(path):
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    status = h.readModel(str(path))
    return h, status


def read(path, errors=None):
    t = velto.Task(None)
    if errors is not None:
        t.set_Stream(velto.StreamType.ERR, errors.append)
    return t, t.readdataautoformat_s_2(str(path))[0]


def columns(t):
    """Per variable name: (cost, lower, upper, integer)."""
    n = ok(t.getnumvar__1())
    out = {}
    for j in range(n):
        name = bytearray()
        ok(t.getvarname_iO_2(j, name))
        _, lo, up = ok(t.getvarbound_i_2(j))
        out[name.rstrip(b"\0").decode()] = (ok(t.getcj_i_2(j)), lo, up, ok(t.getvartype_i_2(j)))
    return out


@pytest.mark.parametrize("path", shared_files("formats/*.lp"))
def test_shared_files_read_as_highs_reads_them(path):
    h, status = highs_model(path)
    errors = []
    t, res = read(path, errors)
    if status == highspy.HighsStatus.kError and path.name != "qcqp.lp":   # HiGHS has no quadratic constraints
        assert res == Err.ERR_LP_FORMAT and f"{path}:" in errors[-1]
        assert int(errors[-1].split(f"{path}:")[1].split(":")[0]) >= 1   # a line number
        return
    if path.name.startswith("semi-"):
        assert res == Err.ERR_LP_FORMAT and "semi-continuous" in errors[-1]
        return
    assert res == 0
    if path.name == "qcqp.lp":     # each row: 10 x1 + x0 x1 <= 10
        assert [ok(t.getnumqconknz64_i_2(k)) for k in range(4)] == [1] * 4
        return
    lp = h.getLp()
    ours = columns(t)
    theirs = {name: (lp.col_cost_[j], lp.col_lower_[j], lp.col_upper_[j],
                     int(lp.integrality_[j]) if len(lp.integrality_) else 0)
              for j, name in enumerate(lp.col_names_)}
    assert ours == theirs
    assert ok(t.getnumcon__1()) == lp.num_row_
    # 1451.lp has "x - 1 >= 2": the constant moves to the right (HiGHS drops it, with a warning)
    moved = {"1451.lp": 1.0}.get(path.name, 0.0)
    for i in range(lp.num_row_):
        _, lo, up = ok(t.getconbound_i_2(i))
        assert (lo, up) == (lp.row_lower_[i] + moved, lp.row_upper_[i] + moved)
    assert ok(t.getcfix__1()) == lp.offset_
    assert np.array_equal(dense_q_ours(t, lp.col_names_), dense_q_highs(h, len(lp.col_names_)))


def dense_q_highs(h, n):
    """HiGHS's Hessian (its lower triangle, by columns) as a dense lower triangle."""
    q, hess = np.zeros((n, n)), h.getModel().hessian_
    for j in range(hess.dim_):
        for k in range(hess.start_[j], hess.start_[j + 1]):
            q[max(hess.index_[k], j), min(hess.index_[k], j)] += hess.value_[k]
    return q


def dense_q_ours(t, names):
    q, order = np.zeros((len(names), len(names))), {}
    for j in range(len(names)):
        out = bytearray()
        ok(t.getvarname_iO_2(j, out))
        order[j] = names.index(out.rstrip(b"\0").decode())
    subi, subj, val = bytearray(), bytearray(), bytearray()
    ok(t.getqobj64_OOO_1(subi, subj, val))
    for i, j, v in zip(np.frombuffer(subi, np.int32), np.frombuffer(subj, np.int32), np.frombuffer(val)):
        a, b = order[int(i)], order[int(j)]
        q[max(a, b), min(a, b)] += v
    return q


def test_lp_syntax_corners(tmp_path):
    t = velto.Task(None)
    ok(t.readlpstring_s_2("\\ Problem name: corners\nMAXIMIZE\n profit: 2 x + 3 y - z + 4 + [ x ^ 2 + 4 x * y ] / 2\n"
                          "SUBJECT TO\n r1: x + y + 2 <= 10\n -5 <= x - y <= 5\n r3: y + [ x * y ] >= -inf\n"
                          "bounds\n z free\n y <= 3\n 1 <= w <= 1\nbinary\n b\nend\n"))
    assert name_of(t.gettaskname_O_1) == "corners" and name_of(t.getobjname_O_1) == "profit"
    assert ok(t.getobjsense__1()) == velto.ObjectiveSense.MAXIMIZE and ok(t.getcfix__1()) == 4
    assert [ok(t.getconbound_i_2(i)) for i in range(3)] == [
        (velto.BoundKey.UP, -math.inf, 8.0), (velto.BoundKey.RA, -5.0, 5.0), (velto.BoundKey.FR, -math.inf, math.inf)]
    assert ok(t.getqobjij_ii_3(0, 0)) == 1.0 and ok(t.getqobjij_ii_3(1, 0)) == 2.0
    assert ok(t.getvarbound_i_2(4)) == (velto.BoundKey.RA, 0.0, 1.0) and ok(t.getvartype_i_2(4)) == 1
    assert ok(t.getvarbound_i_2(3)) == (velto.BoundKey.RA, 1.0, 1.0)     # two sides: a range, even when equal ("=" fixes)


def name_of(getter):
    out = bytearray()
    ok(getter(out))
    return out.rstrip(b"\0").decode()


@pytest.mark.parametrize("text, line, words", [
    ("min\n x\nst\n c: x >= y\nend\n", 4, "expected a number"),
    ("min\n x\nst\n c: b = 1 -> x >= 1\nend\n", 4, "indicator"),
    ("min\n x\nst\n c: x >= 1\nsos\n s1: S1:: x:1\nend\n", 5, "SOS"),
    ("min\n x\nst\n c: 1 <= x >= 2\nend\n", 4, "ranged"),
    ("min\n x + [ x ]\nst\nend\n", 2, "square"),
    ("min\n x\nmax\n y\nend\n", 3, "second objective"),
    ("st\n x >= 1\nend\n", 1, "objective section"),
    ("min\n x\nst\n c: x >= 1\nbounds\n x = inf\nend\n", 6, "infinite"),
    ("min\n 3 x * 4\nend\n", 2, "unexpected"),
    ("min\n x\x01\nend\n", 2, "unexpected character"),
    ("min\n x\nst\n c: 1e200 - x = 0\nend\n", 4, "infinite right-hand side"),   # the constant moved right
])
def test_broken_text_is_refused_with_its_line(text, line, words):
    errors = []
    t = random_task(0, conic=False)
    t.set_Stream(velto.StreamType.ERR, errors.append)
    before = snapshot(t)
    assert t.readlpstring_s_2(text) == (Err.ERR_LP_FORMAT, None)
    assert f"string:{line}:" in errors[-1] and words in errors[-1]
    assert_same(before, snapshot(t))


def lp_named(t):
    name_everything(t)
    for j in range(ok(t.getnumvar__1())):
        ok(t.putvarname_is_3(j, "x_%d" % j))
    return t


@pytest.mark.parametrize("seed", range(3))
def test_a_task_comes_back(tmp_path, seed):
    t = lp_named(random_task(seed, m=6, n=9, conic=False))
    ok(t.putintparam_ii_3(velto.IParam.WRITE_PRECISION, 17))
    ok(t.putintparam_ii_3(velto.IParam.WRITE_LP_LINE_WIDTH, 40))
    ok(t.writedata_s_2(str(tmp_path / "t.lp")))
    u = velto.Task(None)
    ok(u.readdataautoformat_s_2(str(tmp_path / "t.lp")))
    assert_same(snapshot(t, **PROBLEM_ONLY), snapshot(u, **PROBLEM_ONLY))


@pytest.mark.parametrize("conic, semidefinite", [(True, False), (False, True)])
def test_conic_tasks_are_refused_unless_told_to_leave_out(tmp_path, conic, semidefinite):
    t = random_task(1, conic=conic, semidefinite=semidefinite)
    assert t.writedata_s_2(str(tmp_path / "c.lp"))[0] == Err.ERR_WRITE_UNSUPPORTED
    ok(t.putintparam_ii_3(velto.IParam.WRITE_IGNORE_INCOMPATIBLE_ITEMS, velto.OnOff.ON))
    ok(t.writedata_s_2(str(tmp_path / "c.lp")))
    u = velto.Task(None)
    ok(u.readdataautoformat_s_2(str(tmp_path / "c.lp")))
    assert ok(u.getnumacc__1()) == ok(u.getnumbarvar__1()) == 0
    assert ok(u.getnumvar__1()) == ok(t.getnumvar__1())


@pytest.mark.parametrize("path", shared_files("netlib/*.mps.gz", "maros/*.QPS.gz", "miplib/*.mps.gz"))
def test_shared_instances_come_back(tmp_path, path):
    t, res = read(path)
    if res != 0:
        pytest.skip(f"not readable as a task ({res})")
    ok(t.putintparam_ii_3(velto.IParam.WRITE_PRECISION, 17))
    ok(t.writedata_s_2(str(tmp_path / "t.lp")))
    u, res = read(tmp_path / "t.lp")
    assert res == 0
    assert_same(snapshot(t, **PROBLEM_ONLY), snapshot(u, **PROBLEM_ONLY), skip=("names",))
