"""Huge, large and tiny data: the data tolerance parameters act before an
optimization (a refusal naming the item, a warning, or the data tidied as
the parameters describe), and coefficients up to 1e300 never crash the
optimizer when the tolerances let them through."""
import os
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import velto
from velto import DParam
from velto import ResponseCode as RC
from velto import SolutionStatus as SS

# Small problems with one coefficient `big`, each of one kind of data, and
# the optimal objective they have for every big >= 1e6 (None: not known in
# closed form, only a refusal or an honest status is checked).
PROBLEMS = textwrap.dedent("""
    import numpy as np
    import velto

    def build(kind, big):
        m = velto.Model()
        if kind == "linear":      # min x0 + x1, big x0 + x1 >= 1: x0 = 1/big
            m.add_variables(2, lb=0, ub=10, obj=[1, 1])
            m.add_constraint({0: big, 1: 1}, lb=1)
        elif kind == "objective":  # min big x0 + x1, x0 + x1 >= 1: x1 = 1
            m.add_variables(2, lb=0, ub=10, obj=[big, 1])
            m.add_constraint({0: 1, 1: 1}, lb=1)
        elif kind == "quadratic":  # min x0 + x1 + 0.5 (big x0^2 + x1^2), x0 + x1 >= 1: x1 = 1
            m.add_variables(2, lb=-10, ub=10, obj=[1, 1])
            m.add_constraint({0: 1, 1: 1}, lb=1)
            m.set_quadratic_objective({(0, 0): big, (1, 1): 1.0})
        elif kind == "cone":       # min x0, x0 + big x1 + x2 >= 1, x0 >= ||(x1, x2)||
            m.add_variables(3, lb=-np.inf, obj=[1, 0, 0])
            m.add_constraint({0: 1, 1: big, 2: 1}, lb=1)
            m.add_cone([0, 1, 2])
        elif kind == "semidefinite":  # min x0 + tr X, x0 + big X00 + 2 X10 = 1
            m.add_variables(1, lb=0, obj=[1])
            j = m.add_psd_variable(2)
            m.add_constraint({0: 1}, lb=1, ub=1)
            m.set_psd_objective(j, {(0, 0): 1.0, (1, 1): 1.0})
            m.set_psd_coefficient(0, j, {(0, 0): big, (1, 0): 1.0})
        elif kind == "conic constraint":  # min x0, x1 + x2 >= 1, (x0, big x1, x2) in Q: x0 = 1
            m.add_variables(3, lb=-np.inf, obj=[1, 0, 0])
            m.add_constraint({1: 1, 2: 1}, lb=1)
            m.add_conic_constraint("quadratic", np.diag([1.0, big, 1.0]), [0, 0, 0])
        return m

    OPTIMUM = {"linear": 0.0, "objective": 1.0, "quadratic": 1.5, "cone": 0.0, "semidefinite": 0.0,
               "conic constraint": 1.0}
""")
namespace = {}
exec(PROBLEMS, namespace)
build, OPTIMUM = namespace["build"], namespace["OPTIMUM"]

KINDS = list(OPTIMUM)
# The item each refusal names, and the tolerance it names.
REFUSED_ITEM = {
    "linear": ("constraint matrix entry (row 0, column 0)", "DATA_TOL_AIJ_HUGE"),
    "objective": ("objective coefficient of variable 0", "DATA_TOL_C_HUGE"),
    "quadratic": ("quadratic objective entry (0, 0)", "DATA_TOL_C_HUGE"),
    "cone": ("constraint matrix entry (row 0, column 1)", "DATA_TOL_AIJ_HUGE"),
    "semidefinite": ("entry (0, 0) of the matrix of semidefinite variable 0 in constraint 0", "DATA_SYM_MAT_TOL_HUGE"),
    "conic constraint": ("affine conic constraint entry (row 1, column 1)", "DATA_TOL_AIJ_HUGE"),
}
HUGE_TOLERANCES = ["DATA_TOL_AIJ_HUGE", "DATA_TOL_C_HUGE", "DATA_SYM_MAT_TOL_HUGE"]


@pytest.mark.parametrize("big", [1e165, 1e200, 1e300])
@pytest.mark.parametrize("kind", KINDS)
def test_huge_coefficient_is_refused_naming_the_item(kind, big):
    m = build(kind, big)
    with pytest.raises(velto.Error) as caught:
        m.solve()
    item, tolerance = REFUSED_ITEM[kind]
    assert caught.value.code == RC.ERR_INF_VALUE
    assert caught.value.message == f"The {item} = {big:.6g} exceeds {tolerance} (1e+{20 if 'C_' not in tolerance else 16})"
    # Nothing was stored by the refused optimization.
    assert not any(m.task.solutiondef_i_2(s)[1] for s in (0, 1, 2))


# With the huge tolerances lifted the optimizer itself meets the data: it
# must not crash, and whatever status it reports must be true.  Each case
# runs in a child process, so that a crash is a failure of this test alone.
@pytest.mark.parametrize("big", [1e165, 1e200, 1e300])
@pytest.mark.parametrize("kind", KINDS)
def test_huge_coefficient_past_the_tolerances_never_crashes(kind, big):
    script = PROBLEMS + textwrap.dedent(f"""
        m = build({kind!r}, {big!r})
        for name in {HUGE_TOLERANCES!r}:
            m.set_parameter(velto.DParam[name], float("inf"))
        try:
            r = m.solve()
            print(int(r.solution_status), r.objective)
        except velto.Error as e:
            print("refused", int(e.code))
    """)
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr[-2000:]
    words = run.stdout.split()
    if words[0] == "refused":
        # The interior-point optimizer's own refusal, or the linear
        # optimizers' one of data they cannot take.
        assert int(words[1]) in (RC.ERR_INF_VALUE, RC.ERR_OPTIMIZER)
    elif int(words[0]) == SS.OPTIMAL:
        assert float(words[1]) == pytest.approx(OPTIMUM[kind], abs=1e-5)
    elif int(words[0]) == SS.PRIM_FEAS:
        # A feasible point of a minimization cannot beat the optimum.
        assert float(words[1]) >= OPTIMUM[kind] - 1e-6
    else:
        assert int(words[0]) == SS.UNKNOWN


def warnings_of(m):
    lines = []
    m.task.set_Stream(3, lines.append)
    return lines


# A "large" tolerance: the optimization succeeds and the warning stream
# names the largest item, the tolerance and how many items exceed it.
@pytest.mark.parametrize("parameter, value, build_model, named", [
    ("DATA_TOL_AIJ_LARGE", 10.0, lambda: build("linear", 50.0),
     "Warning VLT_RES_WRN_LARGE_AIJ (62): The constraint matrix entry (row 0, column 0) = 50 exceeds "
     "DATA_TOL_AIJ_LARGE (10)"),
    ("DATA_TOL_CJ_LARGE", 10.0, lambda: build("objective", 50.0),
     "Warning VLT_RES_WRN_LARGE_AIJ (62): The objective coefficient of variable 0 = 50 exceeds "
     "DATA_TOL_CJ_LARGE (10)"),
    ("DATA_SYM_MAT_TOL_LARGE", 10.0, lambda: build("semidefinite", 50.0),
     "Warning VLT_RES_WRN_LARGE_AIJ (62): The entry (0, 0) of the matrix of semidefinite variable 0 in "
     "constraint 0 = 50 exceeds DATA_SYM_MAT_TOL_LARGE (10)"),
    ("DATA_TOL_BOUND_WRN", 5.0, lambda: build("linear", 1.0),
     "Warning VLT_RES_WRN_LARGE_BOUND (57): The upper bound of variable 0 = 10 exceeds DATA_TOL_BOUND_WRN (5); "
     "2 bounds do"),
])
def test_large_data_gives_one_warning_per_kind(parameter, value, build_model, named):
    m = build_model()
    lines = warnings_of(m)
    m.set_parameter(DParam[parameter], value)
    r = m.solve()
    assert r.solution_status == SS.OPTIMAL
    assert [line.rstrip("\n") for line in lines] == [named]
    # Under the default tolerances the same data is silent.
    m2 = build_model()
    lines2 = warnings_of(m2)
    m2.solve()
    assert lines2 == []


def test_a_lowered_huge_tolerance_refuses_ordinary_data():
    m = build("linear", 1000.0)
    m.set_parameter(DParam.DATA_TOL_AIJ_HUGE, 100.0)
    with pytest.raises(velto.Error) as caught:
        m.solve()
    assert caught.value.message == "The constraint matrix entry (row 0, column 0) = 1000 exceeds DATA_TOL_AIJ_HUGE (100)"


@pytest.mark.parametrize("sense, bounds, expected", [
    # A bound at DATA_TOL_BOUND_INF or beyond is no bound: maximizing x
    # under x <= 1e17 is unbounded.
    ("maximize", (0.0, 1e17), "unbounded"),
    ("minimize", (-1e17, 5.0), "unbounded"),
    # A lower bound of +1e17 is infinite and cannot be met.
    ("minimize", (1e17, 2e17), "refused"),
    # Below the tolerance the bound holds.
    ("maximize", (0.0, 1e15), 1e15),
])
def test_bounds_beyond_the_infinite_tolerance(sense, bounds, expected):
    m = velto.Model()
    m.add_variables(1, lb=bounds[0], ub=bounds[1], obj=[1.0])
    m.add_variables(1, lb=0, ub=1, obj=[1.0])
    m.add_constraint({1: 1.0}, ub=1.0)
    m.set_objective(sense=sense)
    if expected == "refused":
        with pytest.raises(velto.Error) as caught:
            m.solve()
        assert caught.value.code == RC.ERR_INVALID_BOUND
        assert "lower bound of variable 0 = 1e+17 is at or beyond DATA_TOL_BOUND_INF" in caught.value.message
        return
    r = m.solve()
    if expected == "unbounded":
        assert r.solution_status == SS.DUAL_INFEAS_CER
    else:
        assert r.solution_status == SS.OPTIMAL and r.x[0] == pytest.approx(expected)


@pytest.mark.parametrize("sense", ["minimize", "maximize"])
def test_variables_with_close_bounds_are_fixed_at_their_midpoint(sense):
    m = velto.Model()
    m.add_variables(2, lb=[1.0, 0.0], ub=[1.0005, 4.0], obj=[1.0, 1.0])
    m.add_constraint({0: 1.0, 1: 1.0}, lb=2.0)
    m.set_objective(sense=sense)
    m.set_parameter(DParam.DATA_TOL_X, 1e-3)
    r = m.solve()
    assert r.x[0] == pytest.approx(1.00025, abs=1e-9)
    # Minimizing, the midpoint is as good as any point of the range; maximizing,
    # the task's own optimum is x0 = 1.0005, so the answer of the fixed problem
    # is feasible but not optimal for the task, and says so.
    assert r.solution_status == (SS.OPTIMAL if sense == "minimize" else SS.PRIM_AND_DUAL_FEAS)


def test_quadratic_entries_below_the_tolerance_are_dropped():
    def solve(tolerance):
        m = velto.Model()
        m.add_variables(1, lb=0, ub=1e6, obj=[-1.0])
        m.set_quadratic_objective({(0, 0): 1e-4})
        if tolerance is not None:
            m.set_parameter(DParam.DATA_TOL_QIJ, tolerance)
        return m.solve().x[0]

    assert solve(None) == pytest.approx(1e4, rel=1e-5)  # -x + 0.5e-4 x^2 is least at 1e4
    assert solve(1e-3) == pytest.approx(1e6, rel=1e-9)  # without Q: the upper bound


MEMORY_SCRIPT = textwrap.dedent("""
    import sys
    import numpy as np
    import _vlt

    def status(field):  # a size in /proc/self/status, in bytes
        with open("/proc/self/status") as f:
            line = next(line for line in f if line.startswith(field + ":"))
        return int(line.split()[1]) * 1024

    n = int(sys.argv[1])
    env = _vlt.Env()
    task = _vlt.Task(env)
    assert task.appendvars_i_2(n) == (0, None)
    keys, zeros = np.full(n, 3, dtype=np.int32), np.zeros(n)
    assert task.putvarboundslice_iiOOO_6(0, n, memoryview(keys), memoryview(zeros), memoryview(zeros)) == (0, None)
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")  # the peak (VmHWM) starts again from the current size
    built = status("VmRSS")
    assert task.optimizetrm__1() == (0, 0)
    peak = status("VmHWM")
    x = bytearray()
    assert task.getxx_iO_2(1, x) == (0, None)
    assert not np.frombuffer(x).any()
    print((peak - built) / n)
""")


@pytest.mark.skipif(os.environ.get("VLT_ASAN") == "1", reason="the sanitizer's allocator keeps memory of its own")
def test_free_variables_are_optimized_in_little_memory():
    n = 1_000_000
    run = subprocess.run([sys.executable, "-c", MEMORY_SCRIPT, str(n)], capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr[-2000:]
    per_variable = float(run.stdout)
    # The interior-point and basic solutions that the task keeps take 72
    # bytes a variable of these; the whole optimization stays under 100.
    assert per_variable < 100, f"{per_variable:.0f} bytes per variable"


# A problem without rows is answered in one pass over its variables; the
# same problem with one free empty row goes through the general optimizers.
# Both must give the same solutions, statuses and certificates.
BOUNDS = {"lower": (1.0, np.inf), "upper": (-np.inf, 2.0), "ranged": (-1.0, 3.0), "fixed": (2.5, 2.5),
          "free": (-np.inf, np.inf), "close": (1.0, 1.0 + 1e-9)}


def rowless_pair(costs, bounds, sense):
    models = []
    for extra_row in (False, True):
        m = velto.Model()
        m.add_variables(len(costs), lb=[BOUNDS[b][0] for b in bounds], ub=[BOUNDS[b][1] for b in bounds], obj=costs)
        m.set_objective(sense=sense)
        if extra_row:
            m.add_constraint({})
        models.append(m)
    return models


def parts(m, r):
    defined = tuple(s for s in (0, 1, 2) if m.task.solutiondef_i_2(s)[1])
    values = []
    for getter in (m.task.getxx_iO_2, m.task.getslx_iO_2, m.task.getsux_iO_2):
        buf = bytearray()
        assert getter(r.solution, buf) == (0, None)
        values.append(np.frombuffer(buf))
    return defined, r.solution_status, r.problem_status, values


@pytest.mark.parametrize("optimizer", ["FREE", "INTPNT", "PRIMAL_SIMPLEX"])
@pytest.mark.parametrize("sense", ["minimize", "maximize"])
@pytest.mark.parametrize("costs, bounds", [
    ([1.0, -2.0, 0.5, 3.0, 0.0], ["lower", "upper", "ranged", "fixed", "free"]),
    ([-1.0, 2.0, -0.5, 0.0, 1.0], ["lower", "upper", "ranged", "ranged", "close"]),  # unbounded one way or the other
    ([1.0, 1.0], ["free", "lower"]),                                            # unbounded both ways
])
def test_problems_without_rows_match_the_general_optimizers(optimizer, sense, costs, bounds):
    answers = []
    for m in rowless_pair(costs, bounds, sense):
        m.set_parameter(velto.IParam.OPTIMIZER, velto.OptimizerType[optimizer])
        r = m.solve()
        answers.append((parts(m, r), r.objective))
    (defined, solsta, prosta, values), objective = answers[0]
    (defined2, solsta2, prosta2, values2), objective2 = answers[1]
    assert (defined, prosta) == (defined2, prosta2)
    # The simplex optimizers leave an unbounded problem without a ray; the
    # rowless answer has one.
    assert solsta == solsta2 or (solsta2 == SS.UNKNOWN and solsta == SS.DUAL_INFEAS_CER)
    if solsta == SS.OPTIMAL:
        assert objective == pytest.approx(objective2, abs=1e-7)
        for v, v2 in zip(values, values2):
            assert v == pytest.approx(v2, abs=1e-7)
    else:
        # A ray: a direction of improvement along the variables' bounds.
        assert solsta == SS.DUAL_INFEAS_CER
        ray = values[0]
        sign = 1 if sense == "minimize" else -1
        assert sign * np.dot(costs, ray) < 0
        assert all(ray[j] >= 0 for j, b in enumerate(bounds) if b in ("lower", "ranged", "fixed", "close"))
        assert all(ray[j] <= 0 for j, b in enumerate(bounds) if b in ("upper", "ranged", "fixed", "close"))


def test_crossed_bounds_without_rows_certify_infeasibility():
    m = velto.Model()
    m.add_variables(3, lb=[0.0, 3.0, 0.0], ub=[1.0, 1.0, 1.0], obj=[1.0, 1.0, 1.0])
    r = m.solve()
    assert r.solution_status == SS.PRIM_INFEAS_CER
    assert r.certificate is not None
