"""Result.history and Result.plot: the rows the information callable sees,
as a table, and the two pictures of the README (drawn into a temporary folder;
`make pictures` draws them into docs/images/, where the README shows them)."""
import os
import pathlib
import sys

import numpy as np
import pytest

import velto
from velto import history as vh

# Where the pictures go: docs/images/ when VELTO_PICTURES asks for it (the
# branch-and-bound one plots times, so each run draws it a little differently).
IMAGES = pathlib.Path(__file__).resolve().parents[2] / "docs" / "images"


def cone_model(n=60, seed=3):
    """min t s.t. ||G x|| <= t, sum x = 1, mu'x >= 1.1, 0 <= x <= 1."""
    rng = np.random.default_rng(seed)
    m = velto.Model()
    x = m.add_variables(n, lb=0, ub=1)
    t = m.add_variable(lb=0, obj=1.0)
    m.add_constraint(dict(zip(x, np.ones(n))), lb=1, ub=1)
    m.add_constraint(dict(zip(x, rng.uniform(0.5, 1.5, n))), lb=1.1)
    F = np.zeros((n + 1, n + 1))
    F[0, t] = 1
    F[1:, :n] = rng.normal(size=(n, n)) / np.sqrt(n)
    m.add_conic_constraint("quadratic", F)
    return m


def knapsack_model(k=40, seed=3):
    """A 0-1 problem with three knapsack rows, maximized."""
    rng = np.random.default_rng(seed)
    weights = rng.integers(5, 40, k)
    m = velto.Model()
    y = m.add_variables(k, lb=0, ub=1, obj=weights + rng.integers(0, 10, k), integer=True)
    m.set_objective(sense="max")
    for _ in range(3):
        m.add_constraint(dict(zip(y, rng.integers(5, 40, k))), ub=int(weights.sum() / 2))
    return m


@pytest.fixture(scope="module")
def interior():
    with cone_model() as m:
        yield m.solve()


@pytest.fixture(scope="module")
def branch_and_bound():
    with knapsack_model() as m:
        yield m.solve()


def test_interior_point_history(interior):
    h = interior.history
    assert interior.status is velto.Status.OPTIMAL
    assert list(h.columns) == list(vh.INTERIOR_COLUMNS)
    assert len(h) >= 5
    np.testing.assert_array_equal(h["iteration"], np.arange(len(h)))
    assert np.all(np.diff(h["time"]) >= 0)
    # the last row is the answer: its objective, residuals and gap are the run's end
    assert h["primal_objective"].iloc[-1] == pytest.approx(interior.objective, rel=1e-6)
    assert h["dual_objective"].iloc[-1] == pytest.approx(interior.dual_objective, rel=1e-5)
    for name in ("primal_residual", "gap", "mu"):
        assert h[name].iloc[-1] < 1e-3 * h[name].iloc[0]
    assert ((h["step"] >= 0) & (h["step"] <= 1)).all()


def test_branch_and_bound_history(branch_and_bound):
    h = branch_and_bound.history
    assert branch_and_bound.status is velto.Status.OPTIMAL
    assert list(h.columns) == list(vh.BRANCH_AND_BOUND_COLUMNS)
    assert np.all(np.diff(h["time"]) >= 0)
    found = h.dropna(subset=["incumbent", "bound"])
    assert len(found) > 0
    # maximizing: every incumbent lies below its bound, and the last is the answer
    assert (found["incumbent"] <= found["bound"] + 1e-6).all()
    assert h["incumbent"].dropna().iloc[-1] == pytest.approx(branch_and_bound.objective)


def test_history_without_pandas_beside_the_callable(monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    codes = []
    with cone_model(n=10) as m:
        h = m.solve(info=lambda code, *items: codes.append(code)).history
    assert isinstance(h, dict) and set(h) == set(vh.INTERIOR_COLUMNS)
    assert all(isinstance(v, np.ndarray) and v.size == h["iteration"].size for v in h.values())
    assert h["iteration"].dtype == np.int64
    # the information callable is still called, once for each row
    assert codes.count(velto.CallbackCode.INTPNT) == h["iteration"].size


def test_history_of_a_stopped_run_holds_its_iterations():
    with cone_model() as m:
        r = m.solve(info=lambda code, *items: code == velto.CallbackCode.INTPNT)
    assert r.termination is velto.Termination.STOPPED
    assert len(r.history) == 1


@pytest.mark.parametrize("which, labels, log_scale", [
    ("interior", {"primal residual", "dual residual", "relative gap", "mu"}, True),
    ("branch_and_bound", {"incumbent", "bound"}, False),
])
def test_readme_pictures(which, labels, log_scale, request, tmp_path):
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    result = request.getfixturevalue(which)
    ax = result.plot()
    assert {line.get_label() for line in ax.get_lines()} == labels
    assert (ax.get_yscale() == "log") == log_scale
    for line in ax.get_lines():
        assert np.isfinite(line.get_ydata()).all() and len(line.get_ydata()) > 0
    folder = IMAGES if os.environ.get("VELTO_PICTURES") == "1" else tmp_path
    folder.mkdir(parents=True, exist_ok=True)
    path = folder / f"{which}.png"
    ax.figure.savefig(path, dpi=80)
    plt.close(ax.figure)
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and len(data) > 5000


def test_plot_of_an_empty_history_is_refused():
    with velto.Model() as m:
        m.add_variables(1, lb=0, ub=1, obj=1)
        r = m.solve(optimizer="dual_simplex")
    if r.history is not None and len(r.history["time"]):
        pytest.skip("this run reported iterations")
    with pytest.raises(ValueError, match="no iterations"):
        r.plot()
