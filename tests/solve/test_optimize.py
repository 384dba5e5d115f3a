"""The optimizer through the module and the velto layer: statuses, duals,
progress and information callables, termination codes, reports."""
import math

import pytest

import velto
from velto import ProblemStatus as PS
from velto import SolutionStatus as SS
from velto import SolutionType as ST

INF = math.inf


def lp(sense="minimize"):
    """min x + 2y  s.t.  x + y >= 1,  x - y <= 0.5,  0 <= x, y <= 10."""
    m = velto.Model()
    m.add_variables(2, lb=0, ub=10, obj=[1, 2])
    m.set_objective(sense=sense)
    m.add_constraint({0: 1, 1: 1}, lb=1)
    m.add_constraint({0: 1, 1: -1}, ub=0.5)
    return m


@pytest.mark.parametrize("optimizer", ["FREE", "INTPNT", "PRIMAL_SIMPLEX", "DUAL_SIMPLEX", "FREE_SIMPLEX"])
def test_small_lp_every_optimizer(optimizer):
    m = lp()
    assert m.task.putintparam_ii_3(velto.IParam.OPTIMIZER, velto.OptimizerType[optimizer]) == (0, None)
    r = m.solve()
    assert r.solution_status == SS.OPTIMAL and r.problem_status == PS.PRIM_AND_DUAL_FEAS
    assert r.objective == pytest.approx(1.25, abs=1e-7)  # x = 0.75, y = 0.25
    assert r.x == pytest.approx([0.75, 0.25], abs=1e-7)
    # Duals: the rate of change of the optimum with the right-hand sides.
    assert r.y == pytest.approx([1.5, -0.5], abs=1e-7)
    assert r.dual_objective == pytest.approx(r.objective, abs=1e-7)
    expected = {"FREE": {0, 1}, "INTPNT": {0, 1}}.get(optimizer, {1})
    defined = {s for s in (0, 1, 2) if m.task.solutiondef_i_2(s)[1]}
    assert defined == expected


def test_duals_follow_one_sign_convention_for_both_senses():
    for sense, obj in (("minimize", 1.25), ("maximize", 30.0)):
        m = lp(sense)
        r = m.solve()
        assert r.objective == pytest.approx(obj, abs=1e-6)
        slc, suc, slx, sux = (bytearray() for _ in range(4))
        t = m.task
        for getter, buf in ((t.getslc_iO_2, slc), (t.getsuc_iO_2, suc), (t.getslx_iO_2, slx), (t.getsux_iO_2, sux)):
            assert getter(r.solution, buf) == (0, None)
        slc, suc, slx, sux = (list(memoryview(b).cast("d")) for b in (slc, suc, slx, sux))
        sign = 1 if sense == "minimize" else -1
        assert all(sign * v >= -1e-9 for v in slc + suc + slx + sux)
        assert r.y == pytest.approx([a - b for a, b in zip(slc, suc)], abs=1e-9)
        # c - A'y = slx - sux
        c = [1, 2]
        a = [[1, 1], [1, -1]]
        for j in range(2):
            reduced = c[j] - sum(a[i][j] * r.y[i] for i in range(2))
            assert reduced == pytest.approx(slx[j] - sux[j], abs=1e-7)


def test_primal_infeasible_gives_a_certificate():
    m = velto.Model()
    m.add_variables(2, lb=0, obj=[1, 1])
    m.add_constraint({0: 1, 1: 1}, ub=-1)
    r = m.solve()
    assert r.problem_status == PS.PRIM_INFEAS
    assert r.solution_status == SS.PRIM_INFEAS_CER
    # Farkas: y <= 0 on the upper-bounded row, A'y <= 0 ... and -uc * suc > 0
    assert r.x is None and r.y is None and r.objective is None
    assert r.status == velto.Status.INFEASIBLE
    assert r.certificate.y[0] < 0


@pytest.mark.parametrize("crossed", ["constraint", "variable"])
@pytest.mark.parametrize("optimizer, solution", [("FREE", ST.ITR), ("DUAL_SIMPLEX", ST.BAS), ("quadratic", ST.ITR)])
def test_crossed_bounds_are_infeasible_with_a_certificate(crossed, optimizer, solution):
    m = velto.Model()
    m.add_variables(2, lb=[0, 3] if crossed == "variable" else 0, ub=[10, 1] if crossed == "variable" else 10,
                    obj=[1, 1])
    m.add_constraint({0: 1, 1: 1}, lb=5 if crossed == "constraint" else 0, ub=2 if crossed == "constraint" else 20)
    if optimizer == "quadratic":
        m.set_quadratic_objective({(0, 0): 1.0})
    else:
        assert m.task.putintparam_ii_3(velto.IParam.OPTIMIZER, velto.OptimizerType[optimizer]) == (0, None)
    r = m.solve()
    assert (r.problem_status, r.solution_status, r.solution) == (PS.PRIM_INFEAS, SS.PRIM_INFEAS_CER, solution)
    # Farkas: y = slc - suc, A'y + slx - sux = 0, multipliers >= 0 on existing
    # sides, and lc'slc - uc'suc + lx'slx - ux'sux > 0.
    values = {}
    for name in ("y", "slc", "suc", "slx", "sux"):
        buf = bytearray()
        assert getattr(m.task, f"get{name}_iO_2")(solution, buf) == (0, None)
        values[name] = list(memoryview(buf).cast("d"))
    y, slc, suc, slx, sux = (values[k] for k in ("y", "slc", "suc", "slx", "sux"))
    assert y == pytest.approx([a - b for a, b in zip(slc, suc)])
    assert [y[0] + slx[j] - sux[j] for j in range(2)] == pytest.approx([0, 0])
    assert min(slc + suc + slx + sux) >= 0
    blc, buc = (5, 2) if crossed == "constraint" else (0, 20)
    blx, bux = ([0, 3], [10, 1]) if crossed == "variable" else ([0, 0], [10, 10])
    gap = blc * slc[0] - buc * suc[0] + sum(blx[j] * slx[j] - bux[j] * sux[j] for j in range(2))
    assert gap > 0


def test_crossed_bounds_of_an_integer_problem_are_infeasible():
    m = velto.Model()
    m.add_variables(2, lb=[0, 3], ub=[10, 1], obj=[1, 1], integer=True)
    r = m.solve()
    assert (r.problem_status, r.solution) == (PS.PRIM_INFEAS, ST.ITG)


def test_unbounded_gives_a_direction():
    m = velto.Model()
    m.add_variables(2, lb=0, obj=[-1, 0])
    m.add_constraint({0: 1, 1: -1}, ub=1)
    r = m.solve()
    assert r.problem_status == PS.DUAL_INFEAS
    assert r.solution_status == SS.DUAL_INFEAS_CER
    assert r.x is None and r.status == velto.Status.UNBOUNDED
    d = r.certificate.x
    assert -d[0] < 0 and d[0] - d[1] <= 1e-9 and min(d) >= -1e-9


def test_mixed_integer_and_its_statuses():
    values, weights = [10, 13, 7, 8, 4, 9], [5, 7, 4, 4, 2, 5]
    m = velto.Model()
    m.add_variables(6, lb=0, ub=1, obj=values, integer=True)
    m.set_objective(sense="maximize")
    m.add_constraint(dict(enumerate(weights)), ub=15)
    r = m.solve()
    best = max(sum(v for v, b in zip(values, bits) if b)
               for bits in ([(k >> i) & 1 for i in range(6)] for k in range(64))
               if sum(w for w, b in zip(weights, bits) if b) <= 15)
    assert r.solution == ST.ITG and r.solution_status == SS.INTEGER_OPTIMAL
    assert r.objective == pytest.approx(best)
    assert all(abs(v - round(v)) < 1e-9 for v in r.x)
    assert m.task.solutiondef_i_2(ST.ITR) == (0, 0)


def test_integer_infeasible():
    m = velto.Model()
    m.add_variables(1, lb=0, ub=10, obj=[1], integer=True)
    m.add_constraint({0: 2}, lb=3, ub=3)  # 2x = 3 has no integer solution
    m.task.optimizetrm__1()
    assert m.task.getprosta_i_2(ST.ITG) == (0, PS.PRIM_INFEAS)


def test_quadratic_objective_from_a_file(tmp_path):
    # min x^2 + y^2 - x - y  s.t. x + y >= 2: x = y = 1, objective 0
    text = """NAME QP
ROWS
 N  obj
 G  c1
COLUMNS
    x  obj  -1  c1  1
    y  obj  -1  c1  1
RHS
    rhs  c1  2
QUADOBJ
    x  x  2
    y  y  2
ENDATA
"""
    path = tmp_path / "qp.mps"
    path.write_text(text)
    m = velto.Model()
    m.read(path)
    assert m.task.getprobtype__1() == (0, velto.ProblemType.QO)
    r = m.solve()
    assert r.solution_status == SS.OPTIMAL
    assert r.objective == pytest.approx(0.0, abs=1e-6)
    assert r.x == pytest.approx([1.0, 1.0], abs=1e-5)


def test_progress_codes_and_information_lists():
    m = lp()
    codes, sizes = [], set()
    m.task.set_Progress(lambda code: codes.append(code) and False)
    seen_times = []

    def info(code, dinf, iinf, liinf):
        sizes.add((len(dinf), len(iinf), len(liinf), type(dinf[0]), type(iinf[0]), type(liinf[0])))
        seen_times.append(dinf[velto.DInfItem.OPTIMIZER_TIME])

    m.task.set_InfoCallback(info)
    assert m.task.optimizetrm__1() == (0, 0)
    cb = velto.CallbackCode
    assert codes[0] == cb.BEGIN_OPTIMIZER and codes[-1] == cb.END_OPTIMIZER
    assert cb.BEGIN_INTPNT in codes and cb.END_INTPNT in codes
    assert sizes == {(111, 117, 21, float, int, int)}
    assert seen_times == sorted(seen_times)  # the clock only moves forward


@pytest.mark.parametrize("stop_with", [True, 1, "exception"])
def test_progress_callable_stops_the_optimizer(stop_with):
    m = lp()
    calls = []

    def progress(code):
        calls.append(code)
        if stop_with == "exception":
            raise RuntimeError("stop here")
        return stop_with

    m.task.set_Progress(progress)
    info_calls = []
    m.task.set_InfoCallback(lambda *a: info_calls.append(a))
    if stop_with == "exception":
        with pytest.raises(RuntimeError, match="stop here"):
            m.task.optimizetrm__1()
    else:
        assert m.task.optimizetrm__1() == (0, velto.ResponseCode.TRM_USER_CALLBACK)
    cb = velto.CallbackCode
    # Asked to stop at the first event, the optimizer ends at once; while an
    # exception is pending the callable is not called again.
    expected = [cb.BEGIN_OPTIMIZER] if stop_with == "exception" else [cb.BEGIN_OPTIMIZER, cb.END_OPTIMIZER]
    assert calls == expected
    assert info_calls == []  # a stop request prevents the information call


def test_information_callable_can_stop_and_raise():
    m = lp()
    m.task.set_InfoCallback(lambda *a: True)
    assert m.task.optimizetrm__1() == (0, velto.ResponseCode.TRM_USER_CALLBACK)
    m.task.set_InfoCallback(lambda *a: 1 / 0)
    with pytest.raises(ZeroDivisionError):
        m.task.optimizetrm__1()


def test_information_items_after_a_run():
    m = velto.Model()
    m.add_variables(3, lb=0, ub=4, obj=[-1, -1, -1], integer=True)
    m.add_constraint({0: 2, 1: 2, 2: 2}, ub=7)
    t = m.task
    assert t.getdouinf_i_2(velto.DInfItem.MIO_OBJ_INT) == (0, 0.0)
    t.optimizetrm__1()
    assert t.getdouinf_i_2(velto.DInfItem.MIO_OBJ_INT)[1] == pytest.approx(-3.0)
    assert t.getdouinf_i_2(velto.DInfItem.OPTIMIZER_TIME)[1] > 0
    assert t.getintinf_i_2(velto.IInfItem.OPTIMIZER_USED) == (0, velto.OptimizerType.MIXED_INT)
    assert t.getintinf_i_2(velto.IInfItem.SOL_ITG_SOLSTA) == (0, SS.INTEGER_OPTIMAL)
    assert t.getintinf_i_2(velto.IInfItem.RD_NUMVAR) == (0, 3)


@pytest.mark.parametrize("param, value, trm", [
    ("OPTIMIZER_MAX_TIME", 0.0, "TRM_MAX_TIME"),
])
def test_limits_give_termination_codes(param, value, trm):
    m = velto.Model()
    n = 30
    m.add_variables(n, lb=0, ub=1, obj=[-(i % 7 + 1) for i in range(n)], integer=True)
    for k in range(10):
        m.add_constraint({j: (j * (k + 3)) % 11 + 1 for j in range(n)}, ub=25)
    assert m.task.putdouparam_id_3(velto.DParam[param], value) == (0, None)
    assert m.task.optimizetrm__1() == (0, velto.ResponseCode[trm])


def test_reports_reach_the_chosen_stream():
    m = lp()
    out = []
    m.task.set_Stream(velto.StreamType.MSG, out.append)
    m.solve()
    t = m.task
    for call in (lambda: t.analyzeproblem_i_2(1), lambda: t.solutionsummary_i_2(1),
                 lambda: t.analyzesolution_ii_3(1, 1), lambda: t.optimizersummary_i_2(1),
                 lambda: t.onesolutionsummary_ii_3(1, 0)):
        before = len(out)
        assert call() == (0, None)
        assert len(out) > before
    text = "".join(out)
    assert "Constraints            : 2" in text and "Basic solution" in text and "optimal" in text
    assert t.analyzeproblem_i_2(7)[0] == velto.ResponseCode.ERR_INVALID_STREAM
    assert t.onesolutionsummary_ii_3(1, 5)[0] == velto.ResponseCode.ERR_INVALID_SOLSEL


@pytest.mark.parametrize("optimizer, integer", [("FREE", False), ("PRIMAL_SIMPLEX", False), ("FREE", True)])
def test_the_log_does_not_name_the_simplex_engine(optimizer, integer):
    m = lp()
    if integer:
        assert m.task.putvartype_ii_3(0, velto.VariableType.INT) == (0, None)
    assert m.task.putintparam_ii_3(velto.IParam.OPTIMIZER, velto.OptimizerType[optimizer]) == (0, None)
    assert m.task.putintparam_ii_3(velto.IParam.LOG, 10) == (0, None)
    out = []
    for stream in range(4):
        m.task.set_Stream(stream, out.append)
    m.solve()
    text = "".join(out)
    assert "Optimizer terminated" in text and "highs" not in text.lower()


def test_reading_a_malformed_file_names_the_line(tmp_path):
    path = tmp_path / "bad.mps"
    path.write_text("NAME x\nROWS\n N obj\nCOLUMNS\n    x  nosuchrow  1\nENDATA\n")
    t = velto.Task(None)
    errors = []
    t.set_Stream(velto.StreamType.ERR, errors.append)
    assert t.readdataautoformat_s_2(str(path)) == (velto.ResponseCode.ERR_MPS_FORMAT, None)
    assert ":5:" in errors[-1]
    assert t.getnumvar__1() == (0, 0)  # nothing half-read
    assert t.readdataautoformat_s_2(str(tmp_path / "missing.mps"))[0] == velto.ResponseCode.ERR_FILE_OPEN


def test_task_stays_consistent_through_edits_and_reads(tmp_path):
    m = lp()
    t = m.task
    steps = [
        lambda: t.appendcons_i_2(3),
        lambda: t.appendvars_i_2(4),
        lambda: t.putaij_iid_4(3, 4, 2.5),
        lambda: t.removevars_O_2(memoryview(__import__("array").array("i", [0, 4]))),
        lambda: t.removecons_O_2(memoryview(__import__("array").array("i", [1]))),
        lambda: m.solve(),
    ]
    for step in steps:
        step()
        assert t.checkmemtask_si_3("test", 1) == (0, None)
    path = tmp_path / "qp.mps"
    path.write_text("NAME Q\nROWS\n N obj\n G c\nCOLUMNS\n x obj 1 c 1\n y c 1\nRHS\n r c 1\n"
                    "QUADOBJ\n x x 2\n x y 1\n y y 2\nENDATA\n")
    assert t.readdataautoformat_s_2(str(path)) == (0, None)
    assert t.checkmemtask_si_3("test", 2) == (0, None)
    assert t.getnumvar__1() == (0, 2)


def test_dual_violation_of_a_quadratic_solution_counts_the_quadratic_term(tmp_path):
    path = tmp_path / "qp.mps"
    path.write_text("NAME Q\nROWS\n N obj\n G c\nCOLUMNS\n x obj -1 c 1\n y obj -1 c 1\nRHS\n r c 2\n"
                    "QUADOBJ\n x x 2\n y y 2\nENDATA\n")
    m = velto.Model()
    m.read(path)
    r = m.solve()
    assert r.solution_status == SS.OPTIMAL
    t = m.task
    assert t.getdouinf_i_2(velto.DInfItem.SOL_ITR_DVIOLVAR)[1] < 1e-7
    # A wrong dual value must show as a violation: with y = 0 the residual is c + Qx - slx + sux = 1.
    assert t.putyslice_iiiO_5(velto.SolutionType.ITR, 0, 1, memoryview(__import__("array").array("d", [0.0]))) == (0, None)
    assert t.updatesolutioninfo_i_2(velto.SolutionType.ITR) == (0, None)
    assert t.getdouinf_i_2(velto.DInfItem.SOL_ITR_DVIOLVAR)[1] == pytest.approx(1.0, abs=1e-6)
