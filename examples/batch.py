"""Several models solved at once, each on a thread of its own."""
import numpy as np

import velto

rng = np.random.default_rng(0)
models = []
for k in range(6):
    A = rng.uniform(0, 1, size=(30, 50))
    m = velto.Model()
    m.add_variables(50, lb=0, ub=1, obj=rng.uniform(1, 2, 50))
    m.add_constraints(A, ub=rng.uniform(5, 10, 30))
    m.set_objective(sense="max")
    models.append(m)

results = velto.solve_batch(models, threads=2)
for k, r in enumerate(results):
    print(f"model {k}: {r.status.name} {r.objective:.6f} in {r.solve_time:.3f} s")
    assert r.status == velto.Status.OPTIMAL
assert np.allclose([r.objective for r in results], [m.solve().objective for m in models], rtol=1e-9)
