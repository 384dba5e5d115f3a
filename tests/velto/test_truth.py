"""Results that say when they no longer hold (stale after a change, or cut
short by Ctrl-C), options of one solve, strict argument types, variables
that know their model, and the symmetric-Q rule."""
import os
import textwrap

import numpy as np
import pytest
import scipy.sparse as sp

import velto
from children import MARKET_SPLIT, interrupted
from velto import IParam, Status, Termination


def small_lp():
    # min x0 + 2 x1 on 1 <= x0 + x1 <= 3, 0 <= x <= 2: optimum 1 at (1, 0)
    m = velto.Model()
    x = m.add_variables(2, lb=0, ub=2, obj=[1, 2])
    m.add_constraint({x[0]: 1, x[1]: 1}, lb=1, ub=3)
    return m, x


@pytest.mark.parametrize("change", [
    lambda m, x: m.set_variable_bounds(x[0], lb=0, ub=0.5),
    lambda m, x: m.add_constraint({x[1]: 1}, lb=1),
    lambda m, x: m.add_variables(1, obj=-1, ub=4),
    lambda m, x: m.set_constraint_bounds(0, lb=2, ub=3),
    lambda m, x: m.set_objective([3, 1]),
    lambda m, x: m.set_coefficient(0, x[1], 0.5),
    lambda m, x: m.remove_constraints([0]),
], ids=["bounds", "row", "variable", "row-bounds", "objective", "coefficient", "removal"])
def test_a_change_makes_the_result_stale_and_keeps_the_old_point(change):
    m, x = small_lp()
    solved = m.solve()
    assert solved.status == Status.OPTIMAL and not solved.stale
    change(m, x)
    r = m.result()
    assert r.stale and r.status == Status.UNKNOWN and r.x is None and r.objective is None
    assert "changed after the solve" in r.reason
    np.testing.assert_allclose(r.start, solved.x)
    fresh = m.solve()
    assert not fresh.stale and m.result() is fresh


def test_a_result_says_whether_it_was_solved_and_options_leave_it_fresh():
    m, _ = small_lp()
    assert m.result().termination == Termination.NOT_SOLVED
    r = m.solve()
    m.set_options(time_limit=5)
    assert m.result() is r and r.termination == Termination.FINISHED


def test_a_stopped_mip_keeps_its_incumbent_and_says_stopped():
    m = market_split(seed=7)
    found = []

    def stop_after_first_solution(code):
        if code == velto.CallbackCode.NEW_INT_MIO:
            found.append(code)
        return bool(found)
    r = m.solve(progress=stop_after_first_solution)
    assert r.termination == Termination.STOPPED
    assert m.result().termination == Termination.STOPPED
    assert found  # the incumbent the stop interrupted comes back with it
    assert r.status == Status.FEASIBLE and r.x is not None
    np.testing.assert_allclose(r.start, r.x)


def market_split(seed):
    rng = np.random.default_rng(seed)
    A = rng.integers(0, 100, size=(4, 30))
    m = velto.Model()
    m.add_variables(30, lb=0, ub=1, integer=True, obj=rng.integers(1, 10, 30))
    m.add_constraints(A, lb=0, ub=A.sum(axis=1) // 2)
    m.set_objective(sense="max")
    return m


INTERRUPTED_SOLVE = MARKET_SPLIT + textwrap.dedent("""
    try:
        m.solve(time_limit=120)
        print("finished")
    except velto.Interrupted as stop:
        r = stop.result
        print(r.termination.name, m.result().termination.name, r.status.name, flush=True)
""")


@pytest.mark.skipif(os.name != "posix", reason="sends SIGINT")
def test_ctrl_c_raises_with_an_interrupted_result():
    returncode, out, err = interrupted(INTERRUPTED_SOLVE)
    assert returncode == 0, err
    termination, remembered, status = out.split()
    assert termination == remembered == "INTERRUPTED"
    assert status in ("UNKNOWN", "FEASIBLE")


def test_options_of_a_solve_apply_to_it_alone():
    m, _ = small_lp()
    m.set_options(threads=1)
    m.solve(time_limit=7, threads=2, verbosity=0)
    assert m.get_parameter(velto.DParam.OPTIMIZER_MAX_TIME) < 0
    assert m.get_parameter(IParam.NUM_THREADS) == 1
    assert m.get_parameter(IParam.LOG) != 0


def test_a_task_file_read_keeps_the_options_set_before(tmp_path):
    m, _ = small_lp()
    m.set_options({IParam.LOG: 0})
    m.write(tmp_path / "a.task")
    other = velto.Model()
    other.set_options(threads=1)
    other.read(tmp_path / "a.task")
    assert other.get_parameter(IParam.NUM_THREADS) == 1
    assert other.get_parameter(IParam.LOG) == 0  # the file's own, where nothing was set
    assert other.solve().objective == pytest.approx(1.0)


@pytest.mark.parametrize("call, error", [
    (lambda m: m.add_variables(2.5), TypeError),
    (lambda m: m.add_variables("2"), TypeError),
    (lambda m: m.add_variables(True), TypeError),
    (lambda m: m.add_variables(-1), ValueError),
    (lambda m: m.add_variables(2, integer="no"), TypeError),
    (lambda m: m.add_variables(2, integer=[1.0, 0.0]), TypeError),
    (lambda m: m.add_variables(2, integer=[2, 0]), TypeError),
    (lambda m: m.add_variables(2, names=["a", "a"]), ValueError),
    (lambda m: m.add_variables(1, names=["x0"]), ValueError),
    (lambda m: m.add_variables(1, names=[7]), TypeError),
    (lambda m: m.add_constraints(np.ones((2, 2)), ub=1, names=["c", "c"]), ValueError),
    (lambda m: m.set_integer(0, "yes"), TypeError),
    (lambda m: m.add_psd_variable(2.5), TypeError),
    (lambda m: m.set_coefficient(0, 1, "2"), TypeError),
    (lambda m: m.add_variables(2, lb="0"), TypeError),
    (lambda m: m.add_variables(2, obj=[True, False]), TypeError),
    (lambda m: m.add_constraint({0: "1"}, ub=1), TypeError),
])
def test_loose_arguments_are_refused_and_change_nothing(call, error):
    m = velto.Model()
    m.add_variables(2, names=["x0", "x1"])
    m.add_constraint({0: 1}, ub=1, name="row")
    with pytest.raises(error):
        call(m)
    assert (m.num_variables, m.num_constraints) == (2, 1)


def test_integer_flags_in_their_forms_are_taken():
    m = velto.Model()
    x = m.add_variables(3, integer=np.array([1, 0, 1]))
    y = m.add_variables(2, integer=[True, False])
    z = m.add_variables(1, integer=np.bool_(True))
    types = [m.task.getvartype_i_2(j)[1] for j in range(m.num_variables)]
    assert types == [velto.VariableType.INT, 0, velto.VariableType.INT, velto.VariableType.INT, 0,
                     velto.VariableType.INT]
    assert len(x) + len(y) + len(z) == 6


@pytest.mark.parametrize("use", [
    lambda m, y: m.add_constraint({y[0]: 1}, ub=1),
    lambda m, y: m.add_constraints([{y[1]: 1}], ub=1),
    lambda m, y: m.set_variable_bounds(y[0], ub=1),
    lambda m, y: m.set_variable_bounds(y, ub=1),
    lambda m, y: m.set_objective({y[0]: 1}),
    lambda m, y: m.set_quadratic_objective({(y[0], y[0]): 1}),
    lambda m, y: m.add_cone([y[0], y[1]]),
    lambda m, y: m.set_integer([y[1]]),
    lambda m, y: m.add_conic_constraint("quadratic", [{y[0]: 1}, {y[1]: 1}]),
])
def test_a_variable_of_another_model_is_refused(use):
    m, other = velto.Model(), velto.Model()
    m.add_variables(2)
    y = other.add_variables(2)
    with pytest.raises(ValueError, match="another model"):
        use(m, y)
    assert m.num_constraints == 0


def test_variables_act_as_indexes():
    m = velto.Model()
    x = m.add_variables(4)
    assert x == range(0, 4) and len(x[1:3]) == 2 and x[1:3][0] == 1 and x[-1] == 3
    np.testing.assert_array_equal(np.asarray(x), [0, 1, 2, 3])
    m.add_constraints(sp.csr_matrix(np.eye(4)), ub=1)  # numpy and sparse input hold plain indexes
    m.set_variable_bounds(np.asarray(x)[::2], ub=2)
    assert x[2].model is m


@pytest.mark.parametrize("Q, triangle, error", [
    (np.array([[2.0, 1.0], [0.0, 2.0]]), None, "not symmetric"), (sp.csr_matrix([[2.0, 0.0], [1.0, 2.0]]), None,
    "not symmetric"), (np.array([[2.0, 1.0], [3.0, 2.0]]), None, "not symmetric"),
    (np.array([[2.0, 1.0], [1.0, 2.0]]), "lower", "outside"), (np.array([[2.0, 1.0], [1.0, 2.0]]), "upper", "outside")])
def test_a_non_symmetric_q_or_one_outside_its_triangle_is_refused(Q, triangle, error):
    m = velto.Model()
    m.add_variables(2)
    with pytest.raises(ValueError, match=error):
        m.set_quadratic_objective(Q, triangle=triangle)
    if triangle is None:
        with pytest.raises(ValueError, match=error):
            m.add_quadratic_constraint({0: 1}, Q, ub=1)


@pytest.mark.parametrize("Q, triangle", [
    ([[2.0, 1.0], [1.0, 2.0]], None), ([[2.0, 0.0], [1.0, 2.0]], "lower"), ([[2.0, 1.0], [0.0, 2.0]], "upper"),
    (sp.csc_matrix([[2.0, 1.0], [0.0, 2.0]]), "upper"), ({(0, 0): 2.0, (0, 1): 1.0, (1, 1): 2.0}, None)])
def test_q_of_one_triangle_is_taken_when_asked(Q, triangle):
    # min 0.5 x'Qx - x0 - x1 with Q = [[2, 1], [1, 2]]: x = (1/3, 1/3), objective -1/3
    m = velto.Model()
    m.add_variables(2, lb=-10, obj=[-1, -1])
    m.set_quadratic_objective(Q, triangle=triangle)
    r = m.solve()
    assert r.x == pytest.approx([1 / 3, 1 / 3], abs=1e-6) and r.objective == pytest.approx(-1 / 3, abs=1e-7)


def test_the_progress_bar_of_a_mip_counts_up_and_shows_incumbent_bound_and_gap():
    from velto.progress import _Bar

    events = []
    m = market_split(seed=3)
    m.solve(info=lambda code, d, i, li: events.append((list(d), list(i), list(li))), time_limit=20)
    bar, seen, shown = _Bar(), [], set()
    bar.close()
    bar._tqdm = None  # the logger's line instead of a bar on the test's stderr
    for dinf, iinf, liinf in events:
        bar._last = 0.0  # every event drawn
        bar.update(dinf, iinf, liinf)
        seen.append((bar._nodes, bar.count))
        shown |= set(_Bar.fields(dinf, iinf, liinf)[2])
    assert seen == sorted(seen) and seen[0][1] >= 0 and seen[-1][0]  # counts up; nodes once they come
    assert {"incumbent", "bound", "gap"} <= shown


def test_engine_warnings_reach_the_logger_as_warnings(caplog):
    from velto.progress import StreamForwarder

    forward = StreamForwarder(20)  # the log stream's level, INFO
    with caplog.at_level(10, logger="velto"):
        forward("Presolving\nWARNING: the matrix has tiny entries\n")
    assert [(r.levelname, r.message) for r in caplog.records] == [
        ("INFO", "Presolving"), ("WARNING", "WARNING: the matrix has tiny entries")]


def test_a_start_is_where_branch_and_bound_begins(caplog):
    best = market_split(seed=11).solve()
    loose = {"mip_gap": 0.5}  # branch and bound stops at the first incumbent within half the bound
    assert market_split(seed=11).solve(**loose).objective < best.objective
    m = market_split(seed=11)
    assert m.solve(start=best, **loose).objective == best.objective
    assert m.get_parameter(IParam.MIO_CONSTRUCT_SOL) == 0  # for that solve only
    m.add_variables(1, ub=1, integer=True)  # the old point, one value short, still starts it
    assert m.solve(start=m.result().start, **loose).objective == best.objective
    with pytest.raises(ValueError, match="values for"):
        m.solve(start=np.zeros(40))
    lp, _ = small_lp()
    with caplog.at_level("WARNING", logger="velto"):
        assert lp.solve(start=[1, 0]).objective == pytest.approx(1.0)
    assert "mixed-integer problems only" in caplog.text


@pytest.mark.parametrize("hotstart", [velto.SimplexHotstart.FREE, velto.SimplexHotstart.NONE])
def test_a_simplex_re_solve_starts_from_the_last_basis(hotstart):
    A = sp.random(300, 400, density=0.05, random_state=5, format="csr")
    m = velto.Model()
    m.add_variables(400, lb=0, ub=10, obj=-np.random.default_rng(1).uniform(0, 1, 400))
    m.add_constraints(A, ub=5)
    m.set_options({IParam.SIM_HOTSTART: hotstart}, optimizer="dual_simplex")
    cold = m.solve()
    m.set_constraint_bounds(0, ub=4)
    again = m.solve()
    other = velto.Model.from_bytes(m.to_bytes())
    other.set_options({IParam.SIM_HOTSTART: velto.SimplexHotstart.NONE})
    assert again.objective == pytest.approx(other.solve().objective, rel=1e-9)
    if hotstart == velto.SimplexHotstart.NONE:
        assert again.iterations > cold.iterations / 2
    else:
        assert again.iterations < cold.iterations / 10
