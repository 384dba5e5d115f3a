"""velto.solve_distributed on a local Dask cluster of two worker processes."""
import numpy as np
import pytest

import velto

distributed = pytest.importorskip("distributed")


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as c:
        yield c


def scenario(k):
    """A small production plan whose demand depends on the scenario k, with
    integer batches in every third scenario."""
    m = velto.Model()
    x = m.add_variables(3, lb=0, obj=[3, 2, 4], integer=[k % 3 == 0] * 3)
    m.set_objective(sense="maximize")
    m.add_constraint({x[0]: 1, x[1]: 1, x[2]: 2}, ub=4 + k)
    m.add_constraint({x[0]: 2, x[2]: 1}, ub=5 + 0.5 * k)
    m.add_constraint({x[1]: 1}, ub=3.25)
    return m


@pytest.mark.parametrize("chunk_size, steps", [(None, list(range(1, 9))), (3, None)])
def test_results_and_solutions_equal_local_solves(client, chunk_size, steps):
    models = [scenario(k) for k in range(8)]
    seen = []
    results = velto.solve_distributed(models, client, chunk_size=chunk_size,
                                      progress=lambda done, total: seen.append((done, total)))
    done = [d for d, total in seen]
    assert done == (steps or sorted(done)) and done[-1] == 8 and {t for _, t in seen} == {8}
    if chunk_size == 3:
        assert sorted(b - a for a, b in zip([0] + done, done)) == [2, 3, 3]
    for k, (model, result) in enumerate(zip(models, results)):
        local = scenario(k).solve()
        assert result.status == local.status == velto.Status.OPTIMAL
        assert result.x.tobytes() == local.x.tobytes()
        assert result.objective == local.objective
        assert model.result().x.tobytes() == local.x.tobytes()     # solutions loaded into the model


def test_a_refused_model_names_its_position(client):
    bad = velto.Model()
    bad.add_variables(2)
    bad.set_quadratic_objective(np.array([[1.0, 0], [0, -1]]))   # not convex
    models = [scenario(1), bad, scenario(2)]
    with pytest.raises(velto.Error, match="model 1 of the list") as raised:
        velto.solve_distributed(models, client, options={"time_limit": 10})
    assert raised.value.code == velto.ResponseCode.ERR_NONCONVEX
    assert models[2].result().status == velto.Status.OPTIMAL          # the others were solved

