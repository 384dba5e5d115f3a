"""The marshalling of the solution-quality, basis, sensitivity and repair
methods: counts, widths, size queries and result forms, seen through the
call log."""
import numpy as np
import pytest

import _vlt

from arrays import f64, i32, i64

ITR = 0


def names(calls, path, before):
    return [line.split()[0] for line in calls(path)[before:]]


@pytest.fixture
def solved(task):
    """Two constraints, three variables and a basic solution put by hand."""
    assert task.appendcons_i_2(2) == task.appendvars_i_2(3) == (0, None)
    assert task.putsolution_iOOOOOOOOOOO_13(ITR, *[None] * 11) == (0, None)
    return task


@pytest.mark.parametrize("method, width", [
    ("getpviolcon", 4), ("getpviolvar", 4), ("getpviolbarvar", 4), ("getpviolcones", 4), ("getpviolacc", 8),
    ("getpvioldjc", 8), ("getdviolcon", 4), ("getdviolvar", 4), ("getdviolbarvar", 4), ("getdviolcones", 4),
    ("getdviolacc", 8)])
def test_violation_lists_and_their_outputs(solved, env_log_path, calls, method, width):
    view4, bytes3 = getattr(solved, method + "_iOO_4"), getattr(solved, method + "_iOO_3")
    other = i64 if width == 4 else i32
    name = {4: "sub", 8: "accidxlist" if "acc" in method else "djcidxlist"}[width]
    with pytest.raises(TypeError, match=f"^Expected a continuous memoryview object for argument {name}$"):
        view4(ITR, other([0]), None)
    with pytest.raises(TypeError, match="^Array is too short in argument viol$"):
        view4(ITR, None, f64([0.0]))
    before = len(calls(env_log_path))
    assert view4(ITR, None, f64([])) == (0, None)
    line = calls(env_log_path)[before]
    assert line.startswith(f"VLT_{method} ") and " sub=null" in line.replace(name, "sub")
    assert f"={0}" in line.split()[3]
    # The bytearray variant resizes to one double per index whatever the call answers.
    raw = bytearray(b"x" * 3)
    index = (i32 if width == 4 else i64)([5] * 5)
    assert bytes3(ITR, index, raw)[0] != 0 and len(raw) == 40
    with pytest.raises(TypeError, match="^Bytearray object for argument viol$"):
        bytes3(ITR, None, [])
    assert len(calls(env_log_path)) == before + 2


def test_acc_methods_query_the_dimension_first(task, env_log_path, calls):
    task.appendvars_i_2(1)
    task.appendafes_L_2(2)
    _, dom = task.appendrplusdomain_L_2(2)
    task.appendacc_LOO_4(dom, i64([0, 1]), None)
    task.putxx_iO_3(ITR, f64([1.0]))
    before = len(calls(env_log_path))
    assert task.getaccdoty_iLO_4(ITR, 0, None) == (0, None)
    assert names(calls, env_log_path, before) == ["VLT_getaccn", "VLT_getaccdoty"]
    with pytest.raises(TypeError, match="^Array is too short in argument activity$"):
        task.evaluateaccs_iO_3(ITR, f64([0.0]))
    assert task.getaccdoty_iLO_3(ITR, 5, bytearray()) == (1207, None)
    # putaccdoty_iLO_3 resizes its bytearray, keeping the leading values, and writes them.
    raw = bytearray(np.array([3.0, 4.0, 5.0]).tobytes())
    assert task.putaccdoty_iLO_3(ITR, 0, raw) == (0, None)
    assert len(raw) == 16
    out = np.zeros(2)
    assert task.getaccdotys_iO_3(ITR, memoryview(out)) == (0, None) and out.tolist() == [3.0, 4.0]


def test_reduced_costs_of_a_reversed_slice_and_figures_of_an_undefined_solution(solved):
    raw = bytearray(b"abc")
    assert solved.getreducedcosts_iiiO_4(ITR, 2, 1, raw)[0] != 0 and raw == bytearray()
    with pytest.raises(TypeError, match="^Array is too short in argument redcosts$"):
        solved.getreducedcosts_iiiO_5(ITR, 2, 1, f64([]))
    for method in ("getsolutioninfo_i_2", "getsolutioninfonew_i_2", "getprimalsolutionnorms_i_2",
                   "getdualsolutionnorms_i_2"):
        assert getattr(solved, method)(1) == (1600, None)
    assert len(solved.getsolutioninfonew_i_2(ITR)[1]) == 14


def test_sensitivity_groups_and_counts(task, env_log_path, calls):
    task.appendcons_i_2(3)
    four = [f64([0.0] * 3) for _ in range(4)]
    with pytest.raises(TypeError, match="^Mismatching lengths of arguments subi,marki$"):
        task.primalsensitivity_OOOOOOOOOOOO_13(i32([0, 1, 2]), i32([0, 0]), None, None, *[None] * 8)
    before = len(calls(env_log_path))
    with pytest.raises(TypeError, match="^Array is too short in argument leftpricej$"):
        task.primalsensitivity_OOOOOOOOOOOO_13(None, i32([0, 0, 0]), None, None, *four, f64([0.0]), *[None] * 3)
    assert len(calls(env_log_path)) == before
    task.primalsensitivity_OOOOOOOOOOOO_13(None, i32([0, 0, 0]), None, None, *four, *[None] * 4)
    line = calls(env_log_path)[-1]
    assert line.startswith("VLT_primalsensitivity ") and " numi=3 subi=null" in line and " numj=0 " in line
    raws = [bytearray(b"junk") for _ in range(4)]
    task.dualsensitivity_OOOOO_2(None, *raws)
    assert raws == [bytearray()] * 4 and " numj=0 subj=null" in calls(env_log_path)[-1]


def test_basis_methods_query_their_sizes(task, env_log_path, calls):
    task.appendcons_i_2(2)
    before = len(calls(env_log_path))
    assert task.solvewithbasis_iiOO_5(0, 0, None, None)[0] != 0
    assert names(calls, env_log_path, before) == ["VLT_getnumcon", "VLT_getnumcon", "VLT_solvewithbasis"]
    with pytest.raises(TypeError, match="^Array is too short in argument val$"):
        task.solvewithbasis_iiOO_5(0, 0, i32([0, 0]), f64([0.0]))
    raw = bytearray()
    assert task.initbasissolve_O_1(raw)[0] != 0 and len(raw) == 8
    before = len(calls(env_log_path))
    assert task.primalrepair_OOOO_5(None, None, None, None) == (0, None)   # nothing to repair
    assert names(calls, env_log_path, before) == ["VLT_getnumcon"] * 2 + ["VLT_getnumvar"] * 2 + ["VLT_primalrepair"]
    with pytest.raises(TypeError, match="^Array is too short in argument wux$"):
        task.primalrepair_OOOO_5(None, None, None, f64([1.0]))


def test_infeasible_subproblem_is_a_task_of_its_own(task, env_log_path, calls):
    task.appendcons_i_2(1)
    task.appendvars_i_2(1)
    task.putarow_iOO_4(0, i32([0]), f64([1.0]))
    task.putconbound_iidd_5(0, 0, 2.0, 0.0)      # x >= 2
    task.putvarbound_iidd_5(0, 4, 0.0, 1.0)      # 0 <= x <= 1
    assert task.optimizetrm__1() == (0, 0)
    before = len(calls(env_log_path))
    res, sub = task.getinfeasiblesubproblem_i_2(ITR)
    assert res == 0 and type(sub) is _vlt.Task
    lines = calls(env_log_path)[before:]
    assert [line.split()[0] for line in lines] == ["VLT_getinfeasiblesubproblem"] + \
        ["VLT_linkfunctotaskstream"] * 4 + ["VLT_putcallbackfunc"]
    assert [line.split()[2] for line in lines[1:5]] == [f"whichstream={k}" for k in (0, 1, 3, 2)]
    messages = []
    sub.set_Stream(1, messages.append)
    assert sub.analyzeproblem_i_2(1) == (0, None) and messages
    assert task.getinfeasiblesubproblem_i_2(5) == (1306, None)   # not a solution
    sub.dispose()
