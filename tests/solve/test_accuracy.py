"""Accuracy on public benchmark instances: the library reads each file itself
and must reach the published optimum (Netlib within 1e-6 relative, MIPLIB
within 1e-5 on the integer solution, Maros-Meszaros within 1e-6), or report
an infeasible Netlib problem as primal infeasible with a valid certificate.

The data folder is ../shared/data beside the repository, or VELTO_DATA_DIR.
Instances that took more than about 5 s here are listed in SLOW and run
only with VELTO_FULL_ACCURACY=1.
"""
import csv
import os
import pathlib

import numpy as np
import pytest

import _vlt

DATA = pathlib.Path(os.environ.get("VELTO_DATA_DIR") or
                    pathlib.Path(__file__).resolve().parents[3] / "shared" / "data")
FULL = os.environ.get("VELTO_FULL_ACCURACY") == "1"

SOL_ITR, SOL_BAS, SOL_ITG = 0, 1, 2
PRO_STA_PRIM_INFEAS = 4
SOL_STA_OPTIMAL, SOL_STA_PRIM_INFEAS_CER, SOL_STA_INTEGER_OPTIMAL = 1, 5, 9
BK_LO, BK_UP, BK_FX, BK_FR, BK_RA = 0, 1, 2, 3, 4

# Seconds for read + optimize measured once on this 2-core machine (two
# solves at a time); '>120' ones did not finish within 120 s (Netlib, MIPLIB
# run), '>10' / '>45' ones hit the 10 s limit / were killed (Maros run).
SLOW = {
    ("netlib", "dfl001"): 16.2, ("netlib", "maros-r7"): 5.4, ("netlib", "pilot"): 6.4,
    ("netlib", "qap12"): 15.4, ("netlib", "stocfor3"): 9.4, ("netlib", "truss"): 29.5,
    ("miplib", "10teams"): 20.2, ("miplib", "bell3a"): 7.9, ("miplib", "blend2"): 26.0,
    ("miplib", "dcmulti"): 15.1, ("miplib", "gesa2"): 6.5, ("miplib", "misc03"): 5.3,
    ("miplib", "misc07"): ">120", ("miplib", "mod008"): 9.1, ("miplib", "pk1"): ">120",
    ("miplib", "pp08a"): 29.7, ("miplib", "qnet1"): 15.1, ("miplib", "rgn"): 5.9,
    ("miplib", "stein27"): 14.1, ("miplib", "stein45"): ">120", ("miplib", "vpm2"): 24.3,
}
# Maros-Meszaros with the library's interior-point optimizer: every instance
# but these two takes under 3 s.
SLOW.update({("maros", "CVXQP1_L"): 73.3, ("maros", "CVXQP2_L"): 56.6})
# Instances that the library declines, with the response code it gives.
# VALUES's Q has eigenvalues down to -1.2e-6 ||Q||_inf: semidefinite within the
# convexity check's relative tolerance, and solved like the others.
REFUSED = {}

# The file's objective row of E226 has RHS -7.113, i.e. objective constant
# +7.113, which the library reads and adds to the objective it reports (the
# table value is c'x alone; corrections.csv gives the one with the constant).
E226_CONSTANT = 7.113

SETS = {"netlib": "*.mps.gz", "netlib_infeasible": "*.mps.gz", "miplib": "*.mps.gz", "maros": "*.QPS.gz"}


def instance_name(path):
    name = path.name
    for suffix in (".gz", ".mps", ".QPS", ".cbf"):
        name = name[: -len(suffix)] if name.endswith(suffix) else name
    return name


def references():
    """The table of optimal values with corrections.csv on top."""
    path = DATA / "optimal_values.csv"
    if not path.exists():
        return {}
    with open(path, newline="") as f:
        refs = {(r["set"], r["instance"]): r["optimal_objective"] for r in csv.DictReader(f)}
    corrections = DATA / "corrections.csv"
    if corrections.exists():
        with open(corrections, newline="") as f:
            refs.update({(r["set"], r["instance"]): r["objective"] for r in csv.DictReader(f)})
    return refs


REFS = references()


def cases(set_name):
    if not REFS:
        return [pytest.param(None, marks=pytest.mark.skip(reason=f"benchmark data not found in {DATA} "
                                                                "(set VELTO_DATA_DIR)"))]
    out = []
    for path in sorted((DATA / set_name).glob(SETS[set_name])):
        name = instance_name(path)
        marks = []
        if (set_name, name) in SLOW and not FULL:
            marks.append(pytest.mark.skip(reason=f"slow ({SLOW[set_name, name]} s); VELTO_FULL_ACCURACY=1 runs it"))
        out.append(pytest.param(path, id=name, marks=marks))
    return out


@pytest.fixture
def solver():
    env = _vlt.Env()
    task = _vlt.Task(env)
    yield task
    task.dispose()
    env.dispose()


def read_and_optimize(task, path):
    assert task.readdataautoformat_s_2(str(path))[0] == 0
    res, trm = task.optimizetrm__1()
    return res, trm


def reference(set_name, path):
    return float(REFS[set_name, instance_name(path)])


# Instances whose interior-point answer meets the published value but ends
# outside the stated tolerances on the instance's own data (the log names
# the violation: the duality gap at about 9 times the tolerance, the iterates
# no longer improving).  The final check of a solution reports them with the
# feasible status it can support, not as optimal.
SHORT_OF_TOLERANCE = {"sdplib_gpp100"}
FEASIBLE_STATUSES = {SOL_STA_OPTIMAL, 2, 3, 4}  # optimal, primal, dual, primal and dual feasible


def assert_optimal(task, which, expected_solsta, ref, tol, name=None):
    if name in SHORT_OF_TOLERANCE:
        assert task.getsolsta_i_2(which)[1] in FEASIBLE_STATUSES
    else:
        assert task.getsolsta_i_2(which) == (0, expected_solsta)
    obj = task.getprimalobj_i_2(which)[1]
    assert abs(obj - ref) / max(1.0, abs(ref)) <= tol, (obj, ref)


@pytest.mark.parametrize("path", cases("netlib"))
def test_netlib_optimum(solver, path):
    res, trm = read_and_optimize(solver, path)
    assert (res, trm) == (0, 0)
    # The default optimizer leaves an interior and a basic solution.
    for which in (SOL_ITR, SOL_BAS):
        assert_optimal(solver, which, SOL_STA_OPTIMAL, reference("netlib", path), 1e-6)


def vector(get, task, which):
    buf = bytearray()
    assert get(which, buf)[0] == 0
    return np.frombuffer(bytes(buf), dtype=np.float64)


def bounds(get, task, n):
    bk, bl, bu = bytearray(), bytearray(), bytearray()
    assert get(0, n, bk, bl, bu)[0] == 0
    return np.frombuffer(bytes(bk), dtype=np.int32), np.frombuffer(bytes(bl)), np.frombuffer(bytes(bu))


@pytest.mark.parametrize("path", cases("netlib_infeasible"))
def test_netlib_infeasible_certificate(solver, path):
    res, trm = read_and_optimize(solver, path)
    assert (res, trm) == (0, 0)
    assert solver.getprosta_i_2(SOL_BAS) == (0, PRO_STA_PRIM_INFEAS)
    assert solver.getsolsta_i_2(SOL_BAS) == (0, SOL_STA_PRIM_INFEAS_CER)
    # A Farkas certificate (minimization): multipliers >= 0 on existing
    # bounds only, A'y + slx - sux = 0 and lc'slc - uc'suc + lx'slx - ux'sux > 0.
    m, n = solver.getnumcon__1()[1], solver.getnumvar__1()[1]
    y = vector(solver.gety_iO_2, solver, SOL_BAS)
    slc, suc = vector(solver.getslc_iO_2, solver, SOL_BAS), vector(solver.getsuc_iO_2, solver, SOL_BAS)
    slx, sux = vector(solver.getslx_iO_2, solver, SOL_BAS), vector(solver.getsux_iO_2, solver, SOL_BAS)
    bkc, blc, buc = bounds(solver.getconboundslice_iiOOO_3, solver, m)
    bkx, blx, bux = bounds(solver.getvarboundslice_iiOOO_3, solver, n)
    for lower, upper, bk in ((slc, suc, bkc), (slx, sux, bkx)):
        assert (lower >= 0).all() and (upper >= 0).all()
        assert not lower[(bk == BK_UP) | (bk == BK_FR)].any()
        assert not upper[(bk == BK_LO) | (bk == BK_FR)].any()
    assert np.allclose(y, slc - suc, atol=1e-9)
    aty = np.zeros(n)
    for j in range(n):
        sub, val = bytearray(), bytearray()
        assert solver.getacol_iOO_2(j, sub, val)[0] == 0
        aty[j] = np.frombuffer(bytes(val)) @ y[np.frombuffer(bytes(sub), dtype=np.int32)]
    scale = max(1.0, np.abs(y).max())
    assert np.abs(aty + slx - sux).max() <= 1e-7 * scale
    proof = (np.dot(np.where(slc > 0, blc, 0), slc) - np.dot(np.where(suc > 0, buc, 0), suc)
             + np.dot(np.where(slx > 0, blx, 0), slx) - np.dot(np.where(sux > 0, bux, 0), sux))
    assert proof > 1e-6 * scale


@pytest.mark.parametrize("path", cases("miplib"))
def test_miplib_optimum(solver, path):
    res, trm = read_and_optimize(solver, path)
    assert (res, trm) == (0, 0)
    assert_optimal(solver, SOL_ITG, SOL_STA_INTEGER_OPTIMAL, reference("miplib", path), 1e-5)


@pytest.mark.parametrize("path", cases("maros"))
def test_maros_optimum_or_refusal(solver, path):
    res, trm = read_and_optimize(solver, path)
    if ("maros", instance_name(path)) in REFUSED:
        assert res == REFUSED["maros", instance_name(path)]
        for which in (SOL_ITR, SOL_BAS):
            assert solver.solutiondef_i_2(which) == (0, 0)
        return
    assert (res, trm) == (0, 0)
    assert_optimal(solver, SOL_ITR, SOL_STA_OPTIMAL, reference("maros", path), 1e-6, instance_name(path))


def test_e226_objective_constant_read_from_objective_rhs(solver):
    path = DATA / "netlib" / "e226.mps.gz"
    if not path.exists():
        pytest.skip(f"benchmark data not found in {DATA}")
    assert solver.readdataautoformat_s_2(str(path))[0] == 0
    assert solver.getcfix__1() == (0, pytest.approx(E226_CONSTANT, abs=1e-12))


# CBF instances: the same rule as bench/conic_cbf.py, 1e-6 relative or one
# unit of the last digit of a value published with fewer digits.  The SDPLIB
# hinf problems are ill-posed and published with 1 to 4 digits; SOURCES.md
# calls them loose checks, so they are left to the benchmark, which reports
# each of them.
SETS["cbf"] = "*.cbf.gz"
SLOW.update({("cbf", "sdplib_ss30"): 12.0})
LOOSE = {"sdplib_hinf%d" % k for k in range(1, 13)}
# The CBLIB values of the nql, qssp and sched instances differ from an
# independent solver's by up to 1.3e-5 (SOURCES.md asks for 1e-5 there).
ROUGH_TABLE = ("nql", "qssp", "sched")
SOL_STA_DUAL_INFEAS_CER = 6


def published_tolerance(name, text):
    if name.startswith(ROUGH_TABLE):
        return 1e-5
    mantissa, _, exponent = text.lower().partition("e")
    decimals = len(mantissa.split(".")[1]) if "." in mantissa else 0
    if "." not in mantissa and not exponent:
        return 1e-6
    unit = 10.0 ** (int(exponent or 0) - decimals)
    return max(1e-6, unit / max(1.0, abs(float(text))))


@pytest.mark.parametrize("path", [p for p in cases("cbf") if not p.values[0] or p.id not in LOOSE])
def test_cbf_optimum_or_certificate(solver, path):
    res, trm = read_and_optimize(solver, path)
    assert (res, trm) == (0, 0)
    name = instance_name(path)
    text = REFS["cbf", name]
    if text.startswith("infeasible"):
        assert solver.getsolsta_i_2(SOL_ITR) == (0, SOL_STA_PRIM_INFEAS_CER)
    elif text == "dual_infeasible":
        assert solver.getsolsta_i_2(SOL_ITR) == (0, SOL_STA_DUAL_INFEAS_CER)
    elif solver.getnumintvar__1()[1] > 0:
        assert_optimal(solver, SOL_ITG, SOL_STA_INTEGER_OPTIMAL, float(text), published_tolerance(name, text))
    else:
        assert_optimal(solver, SOL_ITR, SOL_STA_OPTIMAL, float(text), published_tolerance(name, text), name)
