"""A geometric program: the largest box (height h, width w, depth d) with a
limited wall and floor area and bounded aspect ratios,

    maximize  h w d
    subject to  2 (h w + h d) <= A_wall,  w d <= A_floor,
                0.5 <= h / w <= 2,  0.5 <= d / w <= 2.

In the logarithms u = log(h, w, d) it is convex: a monomial constraint
c prod x^a <= 1 is the linear a'u <= -log c, and a posynomial one
sum_k c_k prod x^(a_k) <= 1 is sum_k t_k <= 1 with t_k >= exp(a_k'u + log c_k),
each of these the exponential-cone constraint (t_k, 1, a_k'u + log c_k)."""
import numpy as np

import velto

A_WALL, A_FLOOR = 100.0, 10.0
H, W, D = 0, 1, 2


def add_posynomial_at_most_one(model, terms):
    """sum_k c * prod x_j^a_j <= 1 for terms [(c, {j: a_j})] over u = log x."""
    if len(terms) == 1:  # a monomial: linear in u
        c, powers = terms[0]
        return model.add_constraint(powers, ub=-np.log(c))
    first = model.num_variables
    model.add_variables(len(terms), lb=-np.inf)
    model.add_constraint({first + k: 1.0 for k in range(len(terms))}, ub=1.0)
    for k, (c, powers) in enumerate(terms):
        F = np.zeros((3, model.num_variables))
        F[0, first + k] = 1.0
        for j, a in powers.items():
            F[2, j] = a
        model.add_conic_constraint("exponential", F, [0.0, 1.0, np.log(c)])


m = velto.Model()
m.add_variables(3, lb=-np.inf, obj=[1.0, 1.0, 1.0], names=["log_h", "log_w", "log_d"])
m.set_objective(sense="max")  # log(h w d)
add_posynomial_at_most_one(m, [(2 / A_WALL, {H: 1, W: 1}), (2 / A_WALL, {H: 1, D: 1})])
add_posynomial_at_most_one(m, [(1 / A_FLOOR, {W: 1, D: 1})])
for top, bottom in [(H, W), (D, W)]:  # 0.5 <= top / bottom <= 2
    add_posynomial_at_most_one(m, [(0.5, {top: -1, bottom: 1})])
    add_posynomial_at_most_one(m, [(0.5, {top: 1, bottom: -1})])
r = m.solve()
h, w, d = np.exp(r.x[:3])
print(f"height {h:.4f}, width {w:.4f}, depth {d:.4f}: volume {h * w * d:.4f}")
print(f"wall area {2 * (h * w + h * d):.4f} of {A_WALL:g}, floor area {w * d:.4f} of {A_FLOOR:g}")

# At the optimum the height is twice the width and both areas are at their
# limits: 4 w^2 + 4 w d = A_wall with w d = A_floor, so w^2 = A_wall / 4 - A_floor
# and the volume is 2 w A_floor.
w_exact = np.sqrt(A_WALL / 4 - A_FLOOR)
assert r.status == velto.Status.OPTIMAL
assert abs(h * w * d - 2 * w_exact * A_FLOOR) < 1e-6 * h * w * d
assert np.allclose([h, w, d], [2 * w_exact, w_exact, A_FLOOR / w_exact], rtol=1e-4)
