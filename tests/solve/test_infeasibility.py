"""Infeasibility analysis: the report, infeasible subproblems (infeasible,
and feasible again without any one of their bounds) and primal repair
(against hand-solved cases and, on the infeasible Netlib set, against the
same relaxation solved by scipy's linprog from the problem's data)."""
import os
import pathlib

import numpy as np
import pytest
import scipy.optimize
import scipy.sparse as sp

import _vlt

from arrays import f64, i32

DATA = pathlib.Path(os.environ.get("VELTO_DATA_DIR") or
                    pathlib.Path(__file__).resolve().parents[3] / "shared" / "data") / "netlib_infeasible"
LO, UP, FX, FR, RA = 0, 1, 2, 3, 4
ITR, BAS = 0, 1
PROSTA_PRIM_AND_DUAL_FEAS, PROSTA_PRIM_FEAS, PROSTA_PRIM_INFEAS = 1, 2, 4
SOLSTA_PRIM_INFEAS_CER = 5
IPAR_OPTIMIZER, DUAL_SIMPLEX = 67, 4
IPAR_FEASREPAIR_OPTIMIZE, REPAIR_NONE, REPAIR_PENALTY, REPAIR_COMBINED = 7, 0, 1, 2
DINF_PRIMAL_REPAIR_PENALTY_OBJ = 48
ERR_INFEAS_UNDEFINED, ERR_PROBLEM_TYPE = 1607, 1604


def netlib_cases():
    files = sorted(DATA.glob("*.mps.gz"))
    if files:
        return [pytest.param(f, id=f.name.split(".")[0]) for f in files]
    if os.environ.get("CI") == "true":
        raise RuntimeError(f"the infeasible Netlib set is missing from {DATA}")
    return [pytest.param(None, marks=pytest.mark.skip(reason=f"no data in {DATA}"))]


def read(env, path):
    task = _vlt.Task(env)
    assert task.readdataautoformat_s_2(str(path)) == (0, None)
    task.putintparam_ii_3(IPAR_OPTIMIZER, DUAL_SIMPLEX)
    return task


def bounds(task, con):
    n = (task.getnumcon__1() if con else task.getnumvar__1())[1]
    keys, lo, up = np.zeros(n, np.int32), np.zeros(n), np.zeros(n)
    get = task.getconboundslice_iiOOO_6 if con else task.getvarboundslice_iiOOO_6
    assert get(0, n, memoryview(keys), memoryview(lo), memoryview(up)) == (0, None)
    lo = np.where(np.isin(keys, [LO, FX, RA]), lo, -np.inf)
    up = np.where(np.isin(keys, [UP, FX, RA]), up, np.inf)
    return keys, lo, up


def prosta(task):
    assert task.optimizetrm__1() == (0, 0)
    return task.getprosta_i_2(BAS)[1]


def sides(task):
    """The finite bound sides: (con, index, lower)."""
    out = []
    for con in (True, False):
        keys, lo, up = bounds(task, con)
        for i in range(len(keys)):
            out += [(con, i, True)] * bool(np.isfinite(lo[i])) + [(con, i, False)] * bool(np.isfinite(up[i]))
    return out


def without(task, side):
    """A clone of the task with one bound side dropped."""
    clone = _vlt.Task(other=task)
    con, i, lower = side
    keys, lo, up = bounds(clone, con)
    lo_i, up_i = (-np.inf, up[i]) if lower else (lo[i], np.inf)
    key = RA if np.isfinite(lo_i) and np.isfinite(up_i) else LO if np.isfinite(lo_i) else UP if np.isfinite(up_i) else FR
    put = clone.putconbound_iidd_5 if con else clone.putvarbound_iidd_5
    assert put(i, key, lo_i if np.isfinite(lo_i) else 0.0, up_i if np.isfinite(up_i) else 0.0) == (0, None)
    return clone


@pytest.mark.parametrize("path", netlib_cases())
def test_infeasible_subproblem_of_netlib_is_irreducible(path):
    env = _vlt.Env()
    task = read(env, path)
    assert prosta(task) == PROSTA_PRIM_INFEAS and task.getsolsta_i_2(BAS) == (0, SOLSTA_PRIM_INFEAS_CER)
    log = []
    task.set_Stream(0, log.append)
    res, sub = task.getinfeasiblesubproblem_i_2(BAS)
    assert res == 0
    assert "it is irreducible" in "".join(log)
    sub.putintparam_ii_3(IPAR_OPTIMIZER, DUAL_SIMPLEX)
    kept = sides(sub)
    assert 0 < len(kept) < len(sides(task))
    assert prosta(sub) == PROSTA_PRIM_INFEAS
    for side in kept:
        assert prosta(without(sub, side)) == PROSTA_PRIM_AND_DUAL_FEAS, side
    # The report names the bounds of the certificate.
    report = []
    task.set_Stream(1, report.append)
    assert task.infeasibilityreport_ii_3(1, BAS) == (0, None)
    assert "certificate of primal infeasibility" in "".join(report)


def problem_data(task):
    m, n = task.getnumcon__1()[1], task.getnumvar__1()[1]
    nz = task.getnumanz64__1()[1]
    subi, subj, val = np.zeros(nz, np.int32), np.zeros(nz, np.int32), np.zeros(nz)
    assert task.getatrip_OOO_4(memoryview(subi), memoryview(subj), memoryview(val)) == (0, None)
    return sp.csr_matrix((val, (subi, subj)), shape=(m, n)), bounds(task, True), bounds(task, False)


def elastic_minimum(A, con, var):
    """min sum of violations of the finite sides, by scipy's linprog."""
    m, n = A.shape
    _, lc, uc = con
    _, lx, ux = var
    # Variables: x, then vlc, vuc (m each), vlx, vux (n each).
    eye_m, eye_n = sp.identity(m), sp.identity(n)
    rows_lower = sp.hstack([-A, -eye_m, sp.csr_matrix((m, m)), sp.csr_matrix((m, 2 * n))])   # -(Ax + vlc) <= -lc
    rows_upper = sp.hstack([A, sp.csr_matrix((m, m)), -eye_m, sp.csr_matrix((m, 2 * n))])    # Ax - vuc <= uc
    cols_lower = sp.hstack([-eye_n, sp.csr_matrix((n, 2 * m)), -eye_n, sp.csr_matrix((n, n))])
    cols_upper = sp.hstack([eye_n, sp.csr_matrix((n, 2 * m + n)), -eye_n])
    blocks, rhs = [], []
    for block, bound, finite in ((rows_lower, -lc, np.isfinite(lc)), (rows_upper, uc, np.isfinite(uc)),
                                 (cols_lower, -lx, np.isfinite(lx)), (cols_upper, ux, np.isfinite(ux))):
        blocks.append(block.tocsr()[np.flatnonzero(finite)])
        rhs.append(bound[finite])
    cost = np.r_[np.zeros(n), np.isfinite(lc), np.isfinite(uc), np.isfinite(lx), np.isfinite(ux)].astype(float)
    result = scipy.optimize.linprog(cost, A_ub=sp.vstack(blocks), b_ub=np.concatenate(rhs),
                                    bounds=[(None, None)] * n + [(0, None)] * (2 * m + 2 * n), method="highs")
    assert result.status == 0
    return result.fun


@pytest.mark.parametrize("path", netlib_cases())
def test_primal_repair_of_netlib_matches_the_relaxation_solved_independently(path):
    env = _vlt.Env()
    task = read(env, path)
    A, con, var = problem_data(task)
    expected = elastic_minimum(A, con, var)
    assert task.primalrepair_OOOO_5(None, None, None, None) == (0, None)
    res, penalty = task.getdouinf_i_2(DINF_PRIMAL_REPAIR_PENALTY_OBJ)
    assert penalty == pytest.approx(expected, rel=1e-7, abs=1e-9)
    # The stored point violates the task's bounds by exactly the relaxation.
    viol = np.zeros(con[0].size + var[0].size)
    assert task.getpviolcon_iOO_4(BAS, i32(range(con[0].size)), memoryview(viol[:con[0].size])) == (0, None)
    assert task.getpviolvar_iOO_4(BAS, i32(range(var[0].size)), memoryview(viol[con[0].size:])) == (0, None)
    assert viol.sum() == pytest.approx(expected, rel=1e-6, abs=1e-7)
    # PENALTY: the task takes the repaired bounds, and they are feasible.
    task.putintparam_ii_3(IPAR_FEASREPAIR_OPTIMIZE, REPAIR_PENALTY)
    assert task.primalrepair_OOOO_5(None, None, None, None) == (0, None)
    assert task.getprosta_i_2(BAS) == (0, PROSTA_PRIM_FEAS)
    assert prosta(task) == PROSTA_PRIM_AND_DUAL_FEAS


def small(task, sense=0):
    """x >= 2 as a row, x in [0, 1] as bounds, objective x."""
    task.appendcons_i_2(1)
    task.appendvars_i_2(1)
    task.putarow_iOO_4(0, i32([0]), f64([1.0]))
    task.putconbound_iidd_5(0, LO, 2.0, 0.0)
    task.putvarbound_iidd_5(0, RA, 0.0, 1.0)
    task.putobjsense_i_2(sense)
    task.putcj_id_3(0, 1.0)


@pytest.mark.parametrize("wlc, wux, penalty, row_lower, var_upper", [
    (1.0, 3.0, 1.0, 1.0, 1.0),     # the row's lower bound is cheaper to move
    (5.0, 3.0, 3.0, 2.0, 2.0),     # the variable's upper bound is
    (-1.0, 0.5, 0.5, 2.0, 2.0),    # the row may not move
])
def test_repair_moves_the_cheapest_bound(task, wlc, wux, penalty, row_lower, var_upper):
    small(task)
    task.putintparam_ii_3(IPAR_FEASREPAIR_OPTIMIZE, REPAIR_PENALTY)
    assert task.primalrepair_OOOO_5(f64([wlc]), None, f64([10.0]), f64([wux])) == (0, None)
    assert task.getdouinf_i_2(DINF_PRIMAL_REPAIR_PENALTY_OBJ) == (0, pytest.approx(penalty))
    assert task.getconbound_i_2(0)[1][1] == pytest.approx(row_lower)
    assert task.getvarbound_i_2(0)[1][2] == pytest.approx(var_upper)


def test_combined_repair_optimizes_within_the_smallest_relaxation(task):
    # Maximizing x: of the relaxations of total 1, moving the variable's upper
    # bound to 2 lets x reach 2 (moving the row's would give x = 1).
    small(task, sense=1)
    task.putintparam_ii_3(IPAR_FEASREPAIR_OPTIMIZE, REPAIR_COMBINED)
    assert task.primalrepair_OOOO_5(None, None, None, None) == (0, None)
    assert task.getdouinf_i_2(DINF_PRIMAL_REPAIR_PENALTY_OBJ) == (0, pytest.approx(1.0))
    assert task.getvarbound_i_2(0)[1][2] == pytest.approx(2.0)
    assert task.getprimalobj_i_2(ITR)[1] == pytest.approx(2.0)


def test_refusals_leave_the_task_as_it_was(task):
    small(task)
    # Every bound kept: no relaxation exists.
    assert task.primalrepair_OOOO_5(f64([-1.0]), f64([-1.0]), f64([-1.0]), f64([-1.0]))[0] == ERR_INFEAS_UNDEFINED
    assert task.primalrepair_OOOO_5(f64([np.nan]), None, None, None)[0] == 1302
    assert task.getconbound_i_2(0) == (0, (LO, 2.0, np.inf))
    assert task.solutiondef_i_2(ITR) == (0, 0)
    # Without a certificate there is no subproblem and no report.
    task.putvarbound_iidd_5(0, RA, 0.0, 3.0)
    assert task.optimizetrm__1() == (0, 0)
    assert task.getinfeasiblesubproblem_i_2(ITR)[0] == ERR_INFEAS_UNDEFINED
    assert task.infeasibilityreport_ii_3(1, ITR)[0] == ERR_INFEAS_UNDEFINED
    task.appendcone_idO_4(0, 0.0, i32([0]))
    assert task.primalrepair_OOOO_5(None, None, None, None)[0] == ERR_PROBLEM_TYPE


@pytest.mark.parametrize("sense", [0, 1])
@pytest.mark.parametrize("optimizer", [0, DUAL_SIMPLEX])
def test_certificates_of_either_sense_hold_and_seed_the_subproblem(task, sense, optimizer):
    # x + y >= 3 and x - y <= 0 with x, y in [0, 1]: the first row and both upper bounds conflict.
    task.appendcons_i_2(2)
    task.appendvars_i_2(2)
    task.putarow_iOO_4(0, i32([0, 1]), f64([1.0, 1.0]))
    task.putconbound_iidd_5(0, LO, 3.0, 0.0)
    task.putarow_iOO_4(1, i32([0, 1]), f64([1.0, -1.0]))
    task.putconbound_iidd_5(1, UP, 0.0, 0.0)
    for j in range(2):
        task.putvarbound_iidd_5(j, RA, 0.0, 1.0)
    task.putobjsense_i_2(sense)
    task.putcslice_iiO_4(0, 2, f64([1.0, 2.0]))
    task.putintparam_ii_3(IPAR_OPTIMIZER, optimizer)
    assert task.optimizetrm__1() == (0, 0)
    for sol in (ITR, BAS):
        if task.solutiondef_i_2(sol) != (0, 1):
            continue
        assert task.getsolsta_i_2(sol) == (0, SOLSTA_PRIM_INFEAS_CER)
        _, info = task.getsolutioninfonew_i_2(sol)
        assert max(info[9:]) < 1e-9                     # a direction of the dual feasible set
        assert (info[8] > 0) == (sense == 0)            # whose bound combination certifies
        res, sub = task.getinfeasiblesubproblem_i_2(sol)
        assert res == 0
        keys, _, _ = bounds(sub, True)
        xkeys, _, _ = bounds(sub, False)
        assert keys.tolist() == [LO, FR] and xkeys.tolist() == [UP, UP]


def test_repair_of_an_integer_problem(task):
    # 2x = 3 with x integer in [0, 5]: the row moves by 1 (to 2x in [2, 3], x = 1).
    task.appendcons_i_2(1)
    task.appendvars_i_2(1)
    task.putarow_iOO_4(0, i32([0]), f64([2.0]))
    task.putconbound_iidd_5(0, FX, 3.0, 3.0)
    task.putvarbound_iidd_5(0, RA, 0.0, 5.0)
    task.putvartype_ii_3(0, 1)
    task.putintparam_ii_3(IPAR_FEASREPAIR_OPTIMIZE, REPAIR_PENALTY)
    assert task.primalrepair_OOOO_5(None, None, None, None) == (0, None)
    assert task.getdouinf_i_2(DINF_PRIMAL_REPAIR_PENALTY_OBJ) == (0, 1.0)
    assert task.getconbound_i_2(0) == (0, (RA, 2.0, 3.0))
    x = np.zeros(1)
    assert task.getxx_iO_3(2, memoryview(x)) == (0, None) and x[0] == pytest.approx(1.0)
    assert task.getsolsta_i_2(2) == (0, 2)     # feasible for the repaired problem
