"""Results, options, logging, the progress bar, files, batches, threads and
the lifecycle of velto.Model."""
import io
import logging
import threading

import numpy as np
import pytest

import velto
from velto import Status, Termination


def production_lp():
    # max 3a + 5b: a <= 4, 2b <= 12, 3a + 2b <= 18 -> a = 2, b = 6, objective 36
    m = velto.Model()
    a, b = m.add_variables(2, lb=0, obj=[3, 5], names=["a", "b"])
    m.add_constraints([[1, 0], [0, 2], [3, 2]], ub=[4, 12, 18], names=["plant1", "plant2", "plant3"])
    m.set_objective(sense="maximize")
    return m


def knapsack():
    values, weights = [10, 13, 7, 8, 4, 9], [5, 7, 4, 4, 2, 5]
    m = velto.Model()
    pick = m.add_variables(6, lb=0, ub=1, obj=values, integer=True)
    m.set_objective(sense="max")
    m.add_constraint(dict(zip(pick, weights)), ub=15)
    return m


def test_an_lp_result_has_every_value():
    r = production_lp().solve()
    assert (r.status, r.termination, r.solution) == (Status.OPTIMAL, Termination.FINISHED, velto.SolutionType.BAS)
    assert r.optimal and r.objective == pytest.approx(36) and r.dual_objective == pytest.approx(36)
    assert r.primal_bound == pytest.approx(36) and r.dual_bound == pytest.approx(36) and r.mip_gap is None
    assert r.x == pytest.approx([2, 6]) and r.row_activity == pytest.approx([2, 12, 18])
    assert r.y == pytest.approx([0, 1.5, 1]) and r.reduced_costs == pytest.approx([0, 0], abs=1e-9)
    assert r.y == pytest.approx(r.slc - r.suc) and r.cone_duals is None and r.certificate is None
    assert r.nodes == 0 and r.solve_time > 0
    assert "OPTIMAL" in repr(r)


def test_a_mip_result_has_bounds_gap_and_nodes_but_no_duals():
    r = knapsack().solve()
    assert r.solution == velto.SolutionType.ITG and r.status == Status.OPTIMAL
    assert r.objective == pytest.approx(29) and r.dual_bound == pytest.approx(29, abs=1e-6)
    assert r.mip_gap == pytest.approx(0, abs=1e-6)
    assert r.y is None and r.reduced_costs is None
    assert np.allclose(r.x, np.round(r.x))


@pytest.mark.parametrize("options, parameter, value", [
    ({"time_limit": 5}, velto.DParam.OPTIMIZER_MAX_TIME, 5.0),
    ({"threads": 1}, velto.IParam.NUM_THREADS, 1),
    ({"mip_gap": 1e-3}, velto.DParam.MIO_TOL_REL_GAP, 1e-3),
    ({"feasibility_tol": 1e-7}, velto.DParam.SIM_TOL_DFEAS, 1e-7),
    ({"optimality_tol": 1e-7}, velto.DParam.INTPNT_CO_TOL_REL_GAP, 1e-7),
    ({"verbosity": False}, velto.IParam.LOG, 0),
    ({"optimizer": "dual_simplex"}, velto.IParam.OPTIMIZER, velto.OptimizerType.DUAL_SIMPLEX),
    ({"presolve": False}, velto.IParam.PRESOLVE_USE, velto.PresolveMode.OFF),
    ({velto.IParam.INTPNT_MAX_ITERATIONS: 77}, velto.IParam.INTPNT_MAX_ITERATIONS, 77)])
def test_options_set_parameters(options, parameter, value):
    m = production_lp()
    m.set_options(options)
    assert m.solve().objective == pytest.approx(36)
    assert m.get_parameter(parameter) == pytest.approx(value)


@pytest.mark.parametrize("options, error", [
    ({"time_limt": 5}, ValueError), ({"optimizer": "fastest"}, ValueError), ({"threads": 1.5}, ValueError),
    ({"threads": "two"}, TypeError), ({"threads": 2, "mip_gap": -1.0}, velto.Error),
    ({"threads": 2, "time_limit": 1, "iteration_limit": -7}, velto.Error)])
def test_bad_options_are_refused_and_change_nothing(options, error):
    m = production_lp()
    with pytest.raises(error):
        m.solve(**options)
    assert m.get_parameter(velto.IParam.NUM_THREADS) == 0
    assert m.get_parameter(velto.DParam.OPTIMIZER_MAX_TIME) == -1


def test_a_time_limit_ends_a_mip_with_its_best_point():
    rng = np.random.default_rng(7)
    A = rng.integers(0, 100, size=(4, 30))
    m = velto.Model()
    m.add_variables(30, lb=0, ub=1, integer=True)
    m.add_constraints(A, lb=A.sum(axis=1) // 2, ub=A.sum(axis=1) // 2)
    r = m.solve(time_limit=0.3)
    assert r.termination == Termination.TIME_LIMIT
    assert r.status in (Status.UNKNOWN, Status.FEASIBLE) and (r.x is None) == (r.status == Status.UNKNOWN)


def test_log_lines_reach_the_velto_logger_and_a_callable(caplog):
    texts = []
    m = velto.Model(log=texts.append)
    m.add_variables(1, lb=0, obj=[1])
    with caplog.at_level(logging.INFO, logger="velto"):
        m.solve()
    lines = [rec.getMessage() for rec in caplog.records if rec.name == "velto"]
    assert any("Optimizer terminated" in line for line in lines)
    assert all(line and "\n" not in line for line in lines)
    assert "".join(texts).count("Optimizer terminated") == 1


def test_progress_bar_draws_with_tqdm(capsys):
    pytest.importorskip("tqdm")
    m = velto.Model()
    m.add_variables(3, lb=-np.inf, obj=[0, 1, 1])
    m.add_constraint({0: 1}, lb=1, ub=1)
    m.add_conic_constraint("quadratic", np.eye(3))
    r = m.solve(progress_bar=True)
    assert r.objective == pytest.approx(-np.sqrt(2), abs=1e-6) and r.iterations > 0
    assert "velto" in capsys.readouterr().err


def test_files_round_trip_and_unknown_formats(tmp_path):
    m = production_lp()
    path = tmp_path / "plan.mps"
    path.write_text("NAME plan\nROWS\n N obj\n L c1\nCOLUMNS\n x obj -1 c1 1\nRHS\n rhs c1 4\nENDATA\n")
    m.read(path)
    assert m.num_variables == 1 and m.solve().objective == pytest.approx(-4)
    m.read(path, format="mps")
    with pytest.raises(ValueError, match="file format"):
        m.read(path, format="xls")
    with pytest.raises(ValueError, match="needs a format"):
        m.write(io.BytesIO())
    with pytest.raises(TypeError, match="binary"):
        m.write(io.StringIO(), format="lp")


@pytest.mark.parametrize("name, fmt", [("plan.task", None), ("plan.task.gz", None), ("plan.bin", "task"),
                                       ("plan.lp", None), ("plan.mps", None), ("plan.opf", None),
                                       ("plan.ptf", None), ("plan.jtask", None), ("plan.cbf", None)])
def test_files_written_are_read_back(tmp_path, name, fmt):
    m = production_lp()
    try:
        m.write(tmp_path / name, format=fmt)
    except velto.Error as error:  # not every writer is in every build of the library
        assert error.code == velto.ResponseCode.ERR_NOT_IMPLEMENTED and not name.startswith("plan.task")
        return
    again = velto.Model()
    again.read(tmp_path / name, format=fmt)
    r = again.solve()
    assert r.objective == pytest.approx(36) and again.variable_index("b") in (1, None)


def test_batch_solves_every_model():
    models = [production_lp(), knapsack(), production_lp()]
    models[2].set_constraint_bounds([0], ub=1)
    results = velto.solve_batch(models, threads=2)
    assert [r.objective for r in results] == pytest.approx([36, 29, 33])


def test_separate_models_solve_in_separate_threads():
    expected = [production_lp().solve().objective, knapsack().solve().objective]
    outcomes, errors = {}, []

    def work(k):
        try:
            for round in range(5):
                with (production_lp() if k % 2 == 0 else knapsack()) as m:
                    outcomes[(k, round)] = m.solve(threads=1).objective
        except Exception as exc:  # reported by the main thread
            errors.append(exc)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors
    assert all(v == pytest.approx(expected[k % 2]) for (k, _), v in outcomes.items()) and len(outcomes) == 30


def test_context_manager_disposes_and_names_survive():
    with production_lp() as m:
        assert m.variable_index("b") == 1 and m.constraint_name(2) == "plant3"
        assert m.constraint_index("plant2") == 1
        m.name = "plan"
        assert m.name == "plan"
        assert repr(m) == "Model(2 variables, 3 constraints)"
    with pytest.raises(velto.Error):
        m.num_variables
    assert repr(m) == "Model(disposed)"


def test_a_remote_solve_without_a_server_raises_and_the_model_stays_usable():
    m = production_lp()
    with pytest.raises(velto.Error) as info:
        m.solve(remote="127.0.0.1:1")  # nothing listens on port 1
    assert info.value.code == velto.ResponseCode.ERR_SERVER_CONNECT
    assert m.solve().objective == pytest.approx(36)
