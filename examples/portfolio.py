"""Markowitz portfolios: the least risky one that earns a target return (a
quadratic program), and the most profitable one whose risk stays within a
limit (its second-order-cone form).  Each answers the other's question."""
import numpy as np

import velto

mean = np.array([0.12, 0.10, 0.07, 0.03])
cov = np.array([[0.040, 0.006, 0.002, 0.000],
                [0.006, 0.025, 0.001, 0.000],
                [0.002, 0.001, 0.010, 0.000],
                [0.000, 0.000, 0.000, 0.001]])
n = len(mean)

# Least variance w'Cw (= 0.5 w'(2C)w) with return >= 9 %, fully invested, no short sales.
qp = velto.Model()
w = qp.add_variables(n, lb=0)
qp.add_constraint((list(w), np.ones(n)), lb=1, ub=1)
qp.add_constraint((list(w), mean), lb=0.09)
qp.set_quadratic_objective(2 * cov)
r = qp.solve()
risk = np.sqrt(r.objective)
print(f"least risk for a 9 % return: weights {np.round(r.x, 4)}, risk {risk:.5f}")

# Highest return with risk ||G'w|| <= risk, C = G G': (risk, G'w) in the quadratic cone.
G = np.linalg.cholesky(cov)
socp = velto.Model()
v = socp.add_variables(n, lb=0, obj=mean)
socp.set_objective(sense="max")
socp.add_constraint((list(v), np.ones(n)), lb=1, ub=1)
socp.add_conic_constraint("quadratic", np.vstack([np.zeros(n), G.T]), np.r_[risk, np.zeros(n)])
s = socp.solve()
print(f"highest return at that risk:  weights {np.round(s.x, 4)}, return {s.objective:.5f}")

assert r.status == s.status == velto.Status.OPTIMAL
assert abs(s.objective - 0.09) < 1e-5 and np.allclose(r.x, s.x, atol=1e-3)
