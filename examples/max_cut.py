"""A maximum cut of a small weighted graph from its semidefinite relaxation:
maximize <L, X> / 4 over symmetric positive semidefinite X with X_ii = 1
(L the graph's Laplacian).  The relaxation bounds every cut; random
hyperplanes through the factor of X give cuts, the best of which is kept."""
import itertools

import numpy as np

import velto

edges = {(0, 1): 1.0, (1, 2): 2.0, (2, 3): 1.0, (3, 4): 3.0, (4, 0): 1.0, (0, 2): 1.5, (1, 3): 0.5, (2, 4): 2.0}
n = 5
laplacian = np.zeros((n, n))
for (u, v), w in edges.items():
    laplacian[[u, v], [u, v]] += w
    laplacian[u, v] -= w
    laplacian[v, u] -= w


def cut_weight(side):
    return sum(w for (u, v), w in edges.items() if side[u] != side[v])


m = velto.Model()
X = m.add_psd_variable(n)
m.set_psd_objective(X, laplacian / 4)
m.set_objective(sense="max")
for i in range(n):
    row = m.add_constraint({}, lb=1, ub=1)
    m.set_psd_coefficient(row, X, {(i, i): 1.0})
r = m.solve()
bound = r.objective
x = r.psd_x[X]

# Rows of V with X = V V' are unit vectors; a random hyperplane splits them.
eigenvalues, eigenvectors = np.linalg.eigh(x)
vectors = eigenvectors * np.sqrt(np.clip(eigenvalues, 0.0, None))
rng = np.random.default_rng(1)
best = max((vectors @ rng.standard_normal(n) >= 0 for _ in range(50)), key=cut_weight)
optimum = max(cut_weight(side) for side in itertools.product([False, True], repeat=n))
print(f"relaxation bound {bound:.4f}; cut {np.flatnonzero(best)} of weight {cut_weight(best):g}; "
      f"the best cut weighs {optimum:g}")

assert r.status == velto.Status.OPTIMAL
assert np.allclose(np.diag(x), 1.0, atol=1e-6) and np.linalg.eigvalsh(x).min() > -1e-7
# The relaxation bounds every cut, and the rounding keeps at least 0.878 of it.
assert optimum <= bound + 1e-6 and cut_weight(best) >= 0.878 * bound
