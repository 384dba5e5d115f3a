"""CBF files: every shared instance reads, and comes back from a write;
each cone and section lands where the format says; broken files are
refused with their line and change nothing."""
import numpy as np
import pytest

import velto
from arrays import f64, i32, i64
from taskdata import ok, shared_files, snapshot

Err = velto.ResponseCode
Dom = velto.DomainType
IP = velto.IParam
ROOT2 = np.sqrt(2.0)
PROBLEM_ONLY = dict(with_params=False, with_solutions=False)


def read_text(tmp_path, text, name="m.cbf"):
    path = tmp_path / name
    path.write_text(text)
    t = velto.Task(None)
    return t, t.readdataautoformat_s_2(str(path))


def semidefinite_part(t):
    """The semidefinite data as plain values: dimensions and the block triplets of barC, barA and barF."""
    out = [[ok(t.getdimbarvarj_i_2(j)) for j in range(ok(t.getnumbarvar__1()))]]
    for getter, widths in ((t.getbarcblocktriplet_OOOO_1, [np.int32] * 3), (t.getbarablocktriplet_OOOOO_1, [np.int32] * 4),
                           (t.getafebarfblocktriplet_OOOOO_1, [np.int64] + [np.int32] * 3)):
        bufs = [bytearray() for _ in range(len(widths) + 1)]
        ok(getter(*bufs))
        cols = [np.frombuffer(b, dtype=w).tolist() for b, w in zip(bufs, widths + [np.float64])]
        out.append(sorted(zip(*cols)))
    return out


def reread(t, path):
    ok(t.putintparam_ii_3(IP.WRITE_PRECISION, 17))
    ok(t.writedata_s_2(str(path)))
    u = velto.Task(None)
    ok(u.readdataautoformat_s_2(str(path)))
    return u


def assert_close(a, b):
    """Snapshots equal, but the values of F and g (scaled by sqrt 2 in PSD cones) within a rounding."""
    values = lambda x: np.frombuffer(x) if len(x) else np.zeros(0)
    for key in a:
        if key not in ("F", "g"):
            assert a[key] == b[key], key
    assert np.allclose(values(a["g"][0]), values(b["g"][0]), rtol=1e-15, atol=0)
    for (cols_a, vals_a), (cols_b, vals_b) in zip(a["F"], b["F"]):
        assert cols_a == cols_b and np.allclose(values(vals_a), values(vals_b), rtol=1e-15, atol=0)
    assert len(a["F"]) == len(b["F"])


@pytest.mark.parametrize("path", shared_files("cbf/*.cbf", "cbf/*.cbf.gz"))
def test_shared_instances_read_and_come_back(tmp_path, path):
    t = velto.Task(None)
    ok(t.readdataautoformat_s_2(str(path)))
    u = reread(t, tmp_path / "again.cbf.gz")
    a, b = snapshot(t, **PROBLEM_ONLY), snapshot(u, **PROBLEM_ONLY)
    assert_close(a, b)
    assert semidefinite_part(t) == semidefinite_part(u)


def test_each_section_lands_where_the_format_says(tmp_path):
    text = """VER
3
POWCONES
1 2
2
0.25
0.75
OBJSENSE
MAX
PSDVAR
1
2
VAR
9 5
L+ 2
F 1
Q 3
@0:POW 2
L= 1
INT
1
2
PSDCON
1
2
CON
5 3
L+ 1
L- 1
EXP* 3
OBJFCOORD
1
0 1 0 3.0
OBJACOORD
1
2 -1.5
OBJBCOORD
7.25
FCOORD
2
0 0 1 1 2.0
3 0 0 0 1.0
ACOORD
3
0 0 1.0
1 1 2.0
2 2 4.0
BCOORD
2
0 -3.0
3 0.5
HCOORD
2
0 2 1 0 5.0
0 3 0 0 1.0
DCOORD
1
0 1 1 -2.0
"""
    t, res = read_text(tmp_path, text)
    assert res == (0, None)
    assert ok(t.getobjsense__1()) == velto.ObjectiveSense.MAXIMIZE and ok(t.getcfix__1()) == 7.25
    bk = [ok(t.getvarbound_i_2(j))[0] for j in range(9)]
    assert bk == [velto.BoundKey.LO] * 2 + [velto.BoundKey.FR] * 6 + [velto.BoundKey.FX]
    assert ok(t.getvartype_i_2(2)) == velto.VariableType.INT
    # linear rows: row 0 is x0 - 3 >= 0, row 1 is 2 x1 <= 0; EXP* rows and the PSD constraint are ACCs
    assert ok(t.getconbound_i_2(0)) == (velto.BoundKey.LO, 3.0, np.inf)
    assert ok(t.getconbound_i_2(1))[0] == velto.BoundKey.UP
    domains = [ok(t.getdomaintype_L_2(ok(t.getaccdomain_L_2(a)))) for a in range(ok(t.getnumacc__1()))]
    assert domains == [Dom.QUADRATIC_CONE, Dom.PRIMAL_POWER_CONE, Dom.DUAL_EXP_CONE, Dom.SVEC_PSD_CONE]
    alpha = bytearray()
    ok(t.getpowerdomainalpha_LO_2(1, alpha))
    assert np.frombuffer(alpha).tolist() == [0.25, 0.75]
    # the PSD constraint's AFEs: svec of [[x3, .], [5 x2, -2]] with sqrt 2 off the diagonal
    afes = bytearray()
    ok(t.getaccafeidxlist_LO_2(3, afes))
    rows = [ok(t.getafefrow_LOO_2(int(a), bytearray(), bytearray())) for a in np.frombuffer(afes, dtype=np.int64)]
    assert rows == [1, 1, 0]
    g = bytearray()
    ok(t.getaccgvector_O_1(g))
    assert np.frombuffer(g).tolist()[-3:] == [0.0, 0.0, -2.0]
    varidx, val = bytearray(), bytearray()
    ok(t.getafefrow_LOO_2(int(np.frombuffer(afes, dtype=np.int64)[1]), varidx, val))
    assert np.frombuffer(varidx, dtype=np.int32).tolist() == [2] and np.frombuffer(val).tolist() == [5.0 * ROOT2]
    dims, barc, bara, barf = semidefinite_part(t)
    assert dims == [2] and barc == [(0, 1, 0, 3.0)] and bara == [(0, 0, 1, 1, 2.0)]
    assert barf == [(6, 0, 0, 0, 1.0)]  # row 3 of CON is the second row of the EXP* cone: AFE 3 + 2 + 1


BASE = "VER\n1\nVAR\n2 1\nF 2\nCON\n1 1\nL+ 1\n"


@pytest.mark.parametrize("text, line, words", [
    ("VER\n4\n", 2, "version 4"),
    ("OBJSENSE\nMIN\n", 1, "begin with VER"),
    ("VER\n1\nVAR\n3 1\nF 2\n", 4, "hold 2 scalars"),
    ("VER\n1\nVAR\n2 1\nQQ 2\n", 5, "'QQ' is not a cone"),
    ("VER\n1\nVAR\n2 1\nEXP 2\n", 5, "exponential cone has 3"),
    ("VER\n2\nPOWCONES\n1 1\n1\n1.0\n", 3, "needs version 3"),
    ("VER\n3\nVAR\n3 1\n@0:POW 3\n", 5, "parameter vector 0"),
    (BASE + "ACOORD\n1\n0 2 1.0\n", 11, "Variable 2 is out of range"),
    (BASE + "ACOORD\n2\n0 1 1.0\n0 1 2.0\n", 12, "given already on line 11"),
    (BASE + "ACOORD\n2\n0 1 1.0\n", 11, "ends inside ACOORD"),
    (BASE + "BCOORD\n1\n0 nan\n", 11, "not a finite number"),
    (BASE + "BCOORD\n1\n0 1.0 2.0\n", 11, "expects 2 values"),
    (BASE + "PSDCON\n1\n2\nHCOORD\n1\n0 0 2 0 1.0\n", 14, "outside a matrix of order 2"),
    (BASE + "FCOORD\n1\n0 0 0 0 1.0\n", 11, "Semidefinite variable 0 is out of range"),
    (BASE + "VER\n1\n", 9, "appears a second time"),
    (BASE + "CHANGE\n", 9, "not a keyword"),
    (BASE + "INT\n1\n-1\n", 11, "Integer variable -1"),
    ("VER\n1\nVAR\n99999999999 1\nF 99999999999\n", 4, "too large"),
])
def test_broken_files_are_refused_with_their_line(tmp_path, text, line, words):
    t = velto.Task(None)
    ok(t.appendvars_i_2(3))
    before = snapshot(t, **PROBLEM_ONLY)
    path = tmp_path / "bad.cbf"
    path.write_text(text)
    assert t.readdataformat_sii_4(str(path), velto.DataFormat.CBF, velto.CompressionType.NONE) == (
        Err.ERR_CBF_FORMAT, None)
    message = t.getlasterror()[1]
    assert f"bad.cbf:{line}: " in message and words in message
    assert snapshot(t, **PROBLEM_ONLY) == before


def test_what_cbf_cannot_hold_is_rewritten_and_solves_the_same(tmp_path):
    # ranged rows, general bounds, a quadratic objective and a quadratic cone
    t = velto.Task(None)
    ok(t.appendvars_i_2(3))
    ok(t.appendcons_i_2(2))
    ok(t.putvarboundslice_iiOOO_6(0, 3, i32([velto.BoundKey.RA, velto.BoundKey.LO, velto.BoundKey.FR]),
                                  f64([-1.0, 0.5, 0.0]), f64([2.0, 0.0, 0.0])))
    ok(t.putarow_iOO_4(0, i32([0, 1]), f64([1.0, 1.0])))
    ok(t.putconbound_iidd_5(0, velto.BoundKey.RA, 1.0, 3.0))
    ok(t.putarow_iOO_4(1, i32([1, 2]), f64([1.0, -1.0])))
    ok(t.putconbound_iidd_5(1, velto.BoundKey.UP, 0.0, 0.25))
    ok(t.putcslice_iiO_4(0, 3, f64([1.0, 2.0, 0.5])))
    ok(t.putqobj_OOO_4(i32([0, 2]), i32([0, 2]), f64([2.0, 1.0])))
    ok(t.appendafes_L_2(3))
    ok(t.putafefentrylist_OOO_4(i64([1, 2]), i32([0, 2]), f64([1.0, 1.0])))
    ok(t.putafeg_Ld_3(0, 4.0))
    ok(t.appendacc_LOO_4(ok(t.appendquadraticconedomain_L_2(3)), i64([0, 1, 2]), None))
    u = reread(t, tmp_path / "q.cbf")
    assert ok(u.getnumacc__1()) == 2  # the quadratic objective became a rotated cone
    objectives = []
    for task in (t, u):
        ok(task.optimizetrm__1())
        objectives.append(ok(task.getprimalobj_i_2(velto.SolutionType.ITR)))
    assert objectives[1] == pytest.approx(objectives[0], rel=1e-7)


def test_psd_cones_with_semidefinite_terms_go_through_auxiliary_variables(tmp_path):
    t = velto.Task(None)
    ok(t.appendvars_i_2(1))
    ok(t.appendbarvars_O_2(i32([2])))
    ok(t.appendafes_L_2(3))
    ok(t.putafefentry_Lid_4(0, 0, 1.0))
    ok(t.putafebarfblocktriplet_OOOOO_6(i64([1]), i32([0]), i32([1]), i32([1]), f64([3.0])))
    ok(t.appendacc_LOO_4(ok(t.appendsvecpsdconedomain_L_2(3)), i64([0, 1, 2]), None))
    u = reread(t, tmp_path / "aux.cbf")
    # one free auxiliary variable per row of the cone, tied by an equality
    assert ok(u.getnumvar__1()) == 4 and ok(u.getnumcon__1()) == 3
    dims, _, bara, _ = semidefinite_part(u)
    assert dims == [2] and bara == [(1, 0, 1, 1, 3.0)]


def test_disjunctive_constraints_are_refused_unless_left_out(tmp_path):
    t = velto.Task(None)
    ok(t.appendvars_i_2(1))
    ok(t.appendafes_L_2(1))
    ok(t.appenddjcs_L_2(1))
    ok(t.putdjc_LOOOO_6(0, i64([ok(t.appendrzerodomain_L_2(1))]), i64([0]), None, i64([1])))
    assert t.writedata_s_2(str(tmp_path / "d.cbf"))[0] == Err.ERR_WRITE_UNSUPPORTED
    assert not (tmp_path / "d.cbf").exists()
    ok(t.putintparam_ii_3(IP.WRITE_IGNORE_INCOMPATIBLE_ITEMS, velto.OnOff.ON))
    ok(t.writedata_s_2(str(tmp_path / "d.cbf")))


def independent_cbf_reader():
    """The benchmark's own CBF reader, written apart from the library's (its
    functions, loaded from the benchmark's file)."""
    import pathlib
    import runpy
    import types
    path = pathlib.Path(__file__).resolve().parents[2] / "bench" / "conic_cbf.py"
    return types.SimpleNamespace(**runpy.run_path(str(path)))


# Exponential, second-order and semidefinite instances small enough for a test.
@pytest.mark.parametrize("path", shared_files(*(f"cbf/{name}.cbf.gz" for name in (
    "demb782", "rijc781", "beck753", "sambal", "sdplib_truss1", "sdplib_theta1"))))
def test_files_we_write_solve_alike_through_an_independent_reader(tmp_path, path):
    pytest.importorskip("clarabel")
    m = velto.Model()
    m.read(str(path))
    ours = m.solve()
    assert ours.status == velto.Status.OPTIMAL
    written = tmp_path / "written.cbf"
    ok(m.task.writedata_s_2(str(written)))
    bench = independent_cbf_reader()
    theirs = bench.solve_clarabel(bench.read_cbf(written), 60.0)
    assert theirs.status == "optimal"
    assert abs(theirs.objective - ours.objective) <= 1e-6 * max(1.0, abs(ours.objective))


@pytest.mark.parametrize("where", ["objective", "constraint upper", "constraint lower", "ranged constraint"])
def test_non_convex_quadratic_terms_are_refused_as_unsupported(tmp_path, where):
    t = velto.Task(None)
    ok(t.appendvars_i_2(2))
    ok(t.appendcons_i_2(1))
    off_diagonal = (i32([1]), i32([0]), f64([1.0]))          # x0 x1: indefinite
    square = (i32([0]), i32([0]), f64([1.0]))              # x0^2 >= 1: not convex
    if where == "objective":
        ok(t.putqobj_OOO_4(*off_diagonal))
    else:
        key, lo, up = {"constraint upper": (velto.BoundKey.UP, -np.inf, 1.0),
                       "constraint lower": (velto.BoundKey.LO, 1.0, np.inf),
                       "ranged constraint": (velto.BoundKey.RA, 0.0, 1.0)}[where]
        ok(t.putconbound_iidd_5(0, key, lo, up))
        ok(t.putqconk_iOOO_5(0, *(square if where == "constraint lower" else off_diagonal)))
    before = snapshot(t, **PROBLEM_ONLY)
    path = tmp_path / "q.cbf"
    assert t.writedata_s_2(str(path))[0] == Err.ERR_WRITE_UNSUPPORTED
    message = t.getlasterror()[1]
    assert "CBF" in message and "non-convex" in message and "not convex" in message
    assert not path.exists()
    assert snapshot(t, **PROBLEM_ONLY) == before


INF = np.inf


@pytest.mark.parametrize("key, lo, up, kept", [
    (velto.BoundKey.LO, -INF, INF, (-INF, INF)),
    (velto.BoundKey.UP, -INF, INF, (-INF, INF)),
    (velto.BoundKey.RA, 1e300, INF, (1e300, INF)),
    (velto.BoundKey.RA, -INF, -1e300, (-INF, -1e300)),
    (velto.BoundKey.RA, -INF, INF, (-INF, INF)),
    (velto.BoundKey.RA, -1e300, 1e300, (-1e300, 1e300)),
])
@pytest.mark.parametrize("item", ["var", "con"])
def test_infinite_bounds_are_written_as_no_bound(tmp_path, key, lo, up, kept, item):
    t = velto.Task(None)
    ok(t.appendvars_i_2(2))
    ok(t.appendcons_i_2(1))
    for j in range(2):
        ok(t.putvarbound_iidd_5(j, velto.BoundKey.FR, -INF, INF))
    ok(t.putconbound_iidd_5(0, velto.BoundKey.FR, -INF, INF))
    ok(t.putaij_iid_4(0, 0, 2.0))
    ok(t.putaij_iid_4(0, 1, 3.0))
    ok((t.putvarbound_iidd_5 if item == "var" else t.putconbound_iidd_5)(0, key, lo, up))
    path = tmp_path / "b.cbf"
    u = reread(t, path)
    assert "inf" not in path.read_text().split("VER")[1]
    # Every bound that comes back is a row (the variables are free in the
    # file): the finite sides are exactly the finite bounds put.
    rows = [ok(u.getconbound_i_2(i)) for i in range(ok(u.getnumcon__1()))]
    assert all(ok(u.getvarbound_i_2(j))[0] == velto.BoundKey.FR for j in range(2))
    lowers = sorted(lo for _, lo, _ in rows if np.isfinite(lo))
    uppers = sorted(up for _, _, up in rows if np.isfinite(up))
    assert (lowers, uppers) == ([v for v in kept[:1] if np.isfinite(v)], [v for v in kept[1:] if np.isfinite(v)])
    assert ok(u.getnumcon__1()) >= 1  # the row of the constraint is kept even when free
