"""Files hold what they claim to hold: names that look like the format's own
words or syntax, rows without variables, tasks with only semidefinite or
only conic parts, every bound key, the sign of zero, geometric-mean cones in
CBF.  A format that cannot hold a part refuses to write it."""
import numpy as np
import pytest

import velto
from arrays import f64, i32, i64
from taskdata import PROBLEM_ONLY, assert_same, name, ok, random_task, reread, snapshot

Err = velto.ResponseCode
BK = velto.BoundKey
INF = np.inf
NAMES_LOST = ("names",)     # formats that do not keep names (CBF) or make up missing ones (MPS)


HOSTILE = ["VARIABLES", "CONSTRAINTS", "END", "NAME", "INT", "PTF", "SOLUTION", "NAMES", "VARIABLE", "MINIMIZE",
           "#hash", "# comment", " lead", "trail ", "two  blanks", 'say "hi"', "back\\slash", "tab\there",
           "1x", "-y", "+z", "0", "1e5", "inf", "-inf", "é日本", "@7", "@", ":colon", "a:b", "[x]", "x^2", "<=",
           "bounds", "end", "subject to", "'apos'", "new\nline"]


def named(seed, names):
    """random_task with every item named from `names` (cycled)."""
    t = random_task(seed, m=5, n=9)
    k = 0
    for count, put in ((t.getnumvar__1, t.putvarname_is_3), (t.getnumcon__1, t.putconname_is_3),
                       (t.getnumdomain__1, t.putdomainname_Ls_3), (t.getnumacc__1, t.putaccname_Ls_3),
                       (t.getnumdjc__1, t.putdjcname_Ls_3), (t.getnumcone__1, t.putconename_is_3),
                       (t.getnumbarvar__1, t.putbarvarname_is_3)):
        for i in range(ok(count())):
            ok(put(i, names[k % len(names)]))
            k += 1
    ok(t.puttaskname_s_2(names[k % len(names)]))
    ok(t.putobjname_s_2(names[(k + 1) % len(names)]))
    return t


@pytest.mark.parametrize("ext", ["ptf", "opf", "jtask", "task"])
@pytest.mark.parametrize("seed", range(len(HOSTILE) // 8 + 1))
def test_hostile_names_read_back_exactly(tmp_path, ext, seed):
    names = HOSTILE[seed * 8:] + HOSTILE[:seed * 8]
    t = named(seed, names)
    u = reread(t, tmp_path / ("t." + ext))
    assert_same(snapshot(t, **PROBLEM_ONLY), snapshot(u, **PROBLEM_ONLY))


@pytest.mark.parametrize("ext", ["lp", "mps"])
def test_names_a_format_cannot_hold_are_refused_or_kept(tmp_path, ext):
    """LP and MPS rules for names are narrower: without generic names each
    name is kept exactly or the write is refused with the name's error; never
    written as something that reads back differently."""
    for bad in HOSTILE:
        t = velto.Task(None)
        ok(t.putintparam_ii_3(velto.IParam.WRITE_GENERIC_NAMES, velto.OnOff.OFF))
        ok(t.appendvars_i_2(2))
        ok(t.appendcons_i_2(1))
        ok(t.putaij_iid_4(0, 0, 1.0))
        ok(t.putaij_iid_4(0, 1, 2.0))
        ok(t.putconbound_iidd_5(0, BK.UP, -INF, 4.0))
        ok(t.putconname_is_3(0, "row"))
        ok(t.putvarname_is_3(0, "x"))
        res, _ = t.putvarname_is_3(1, bad)
        path = tmp_path / ("t." + ext)
        res = t.writedata_s_2(str(path))[0]
        if res != 0:
            assert res in (Err.ERR_INVALID_NAME, Err.ERR_WRITE_UNSUPPORTED), (bad, res)
            continue
        u = velto.Task(None)
        assert u.readdataautoformat_s_2(str(path))[0] == 0, (bad, path.read_text())
        assert [name(u.getvarname_iO_2, j) for j in range(2)] == [b"x\0", bad.encode() + b"\0"], bad


def linear_task(numvar=4, keys=(BK.FR, BK.LO, BK.UP, BK.FX, BK.RA), with_entries=False):
    """Rows of every bound key (without variables unless with_entries),
    variables of every bound key, canonical infinite sides."""
    t = velto.Task(None)
    ok(t.appendvars_i_2(numvar))
    ok(t.appendcons_i_2(len(keys)))
    bounds = {BK.FR: (-INF, INF), BK.LO: (-1.5, INF), BK.UP: (-INF, 2.5), BK.FX: (-0.0, -0.0), BK.RA: (-3.0, 7.0)}
    for i, key in enumerate(keys):
        ok(t.putconbound_iidd_5(i, key, *bounds[key]))
        ok(t.putconname_is_3(i, "r%d" % i))
    for j in range(numvar):
        key = keys[j % len(keys)]
        ok(t.putvarbound_iidd_5(j, key, *bounds[key]))
        ok(t.putvarname_is_3(j, "x%d" % j))
        ok(t.putcj_id_3(j, j - 1.0))
    if with_entries and numvar:
        ok(t.putaij_iid_4(len(keys) - 1, 0, 2.0))
    return t


def only_semidefinite():
    t = velto.Task(None)
    ok(t.appendbarvars_O_2(i32([2])))
    ok(t.appendcons_i_2(2))
    m = ok(t.appendsparsesymmat_iOOO_5(2, i32([0, 1, 1]), i32([0, 0, 1]), f64([1.0, 0.5, 2.0])))
    ok(t.putbarcj_iOO_4(0, i64([m]), f64([1.0])))
    ok(t.putbaraij_iiOO_5(0, 0, i64([m]), f64([-1.0])))
    ok(t.putconbound_iidd_5(0, BK.FX, 1.0, 1.0))
    ok(t.putconbound_iidd_5(1, BK.LO, 0.0, INF))     # a row without any term
    for i in range(2):
        ok(t.putconname_is_3(i, "r%d" % i))
    return t


def only_conic():
    t = velto.Task(None)
    ok(t.appendvars_i_2(3))
    for j in range(3):
        ok(t.putvarbound_iidd_5(j, BK.FR, -INF, INF))
        ok(t.putvarname_is_3(j, "x%d" % j))
    ok(t.putcj_id_3(0, 1.0))
    ok(t.appendafes_L_2(3))
    ok(t.putafefentrylist_OOO_4(i64([0, 1, 2]), i32([0, 1, 2]), f64([1.0, 1.0, 1.0])))
    ok(t.putafeg_Ld_3(1, -1.0))
    ok(t.appendacc_LOO_4(ok(t.appendquadraticconedomain_L_2(3)), i64([0, 1, 2]), None))
    return t


TASKS = {"rows without variables": lambda: linear_task(),
         "rows without variables and no variables": lambda: linear_task(numvar=0),
         "every bound key": lambda: linear_task(numvar=10, with_entries=True),
         "only semidefinite": only_semidefinite,
         "only conic": only_conic}
# What each format holds (others refuse with ERR_WRITE_UNSUPPORTED).
HOLDS = {"ptf": set(TASKS), "opf": set(TASKS), "jtask": set(TASKS), "task": set(TASKS),
         "lp": {"rows without variables", "rows without variables and no variables", "every bound key"},
         "mps": {"rows without variables", "rows without variables and no variables", "every bound key", "only conic"}}


@pytest.mark.parametrize("what", TASKS)
@pytest.mark.parametrize("ext", HOLDS)
def test_unusual_tasks_come_back_or_are_refused(tmp_path, ext, what):
    t = TASKS[what]()
    path = tmp_path / ("t." + ext)
    if what not in HOLDS[ext]:
        assert t.writedata_s_2(str(path))[0] == Err.ERR_WRITE_UNSUPPORTED
        return
    u = reread(t, path)
    # MPS names every row, domain and ACC (and the objective) on writing
    assert_same(snapshot(t, **PROBLEM_ONLY), snapshot(u, **PROBLEM_ONLY), skip=NAMES_LOST if ext == "mps" else ())


def test_json_keeps_the_sign_of_zero(tmp_path):
    t = linear_task(numvar=3, keys=(BK.FX, BK.LO, BK.RA), with_entries=True)
    ok(t.putcj_id_3(1, -0.0))
    ok(t.putcfix_d_2(-0.0))
    ok(t.putaij_iid_4(0, 2, -0.0))
    u = reread(t, tmp_path / "t.jtask")
    assert_same(snapshot(t), snapshot(u))
    assert np.signbit(ok(u.getcj_i_2(1))) and np.signbit(ok(u.getcfix__1()))


def geo_mean_task():
    t = velto.Task(None)
    ok(t.appendvars_i_2(4))
    for j in range(4):
        ok(t.putvarbound_iidd_5(j, BK.LO if j < 3 else BK.FR, 0.0 if j < 3 else -INF, INF))
    ok(t.putcj_id_3(3, -1.0))
    ok(t.appendafes_L_2(8))
    ok(t.putafefentrylist_OOO_4(i64([0, 1, 2, 3, 4, 5, 6, 7]), i32([0, 1, 2, 3, 0, 1, 2, 3]), f64([1.0] * 8)))
    ok(t.appendacc_LOO_4(ok(t.appendprimalgeomeanconedomain_L_2(4)), i64([0, 1, 2, 3]), None))
    ok(t.appendacc_LOO_4(ok(t.appenddualgeomeanconedomain_L_2(4)), i64([4, 5, 6, 7]), f64([0.5, 0, 0, 0])))
    ok(t.appendacc_LOO_4(ok(t.appendprimalpowerconedomain_LO_3(3, f64([1.0, 3.0]))), i64([0, 1, 2]), None))
    return t


def test_cbf_writes_geometric_mean_cones_as_power_cones_and_reads_them_back(tmp_path):
    t = geo_mean_task()
    path = tmp_path / "t.cbf"
    u = reread(t, path)
    text = path.read_text()
    assert "POWCONES" in text and "POW*CONES" in text
    # CBF gives every ACC row an expression of its own: compare the cones and their rows' values
    a, b = snapshot(t), snapshot(u)
    assert (b["domains"], b["alpha"]) == (a["domains"], a["alpha"])
    x = f64([1.0, 2.0, 4.0, -1.5])
    assert acc_values(u, x) == acc_values(t, x)


def acc_values(t, x):
    """The values F x + g - b of every ACC row at x."""
    ok(t.putxx_iO_3(velto.SolutionType.ITR, x))
    out = bytearray()
    ok(t.evaluateaccs_iO_2(velto.SolutionType.ITR, out))
    return bytes(out)
