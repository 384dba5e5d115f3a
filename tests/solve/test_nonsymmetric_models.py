"""Exponential, power and geometric-mean cones in affine conic constraints:
optima known in closed form for each domain and both senses, with the duals
checked against stationarity and the dual cone; certificates of
infeasibility and unboundedness checked independently of the optimizer;
optima on the boundary of the cones."""
import math

import numpy as np
import pytest

import velto
from velto import Status

E = math.e


def in_exponential(v, tol=1e-7):
    """v in the closure of {x1 >= x2 exp(x3 / x2), x2 > 0}."""
    x1, x2, x3 = v
    if x2 <= tol:
        return x1 >= -tol and x2 >= -tol and x3 <= tol
    return x1 >= -tol and x2 * math.log(max(x1, 1e-300) / x2) - x3 >= -tol * (1 + abs(x3))


def in_dual_exponential(v, tol=1e-7):
    """u in the closure of {u1 >= -u3 exp(u2 / u3 - 1), u3 < 0}: (e u1, -u3, -u2) in K_exp."""
    return in_exponential((E * v[0], -v[2], -v[1]), tol)


def in_power(v, alpha, tol=1e-7):
    a = np.asarray(alpha, float) / np.sum(alpha)
    x, w = np.asarray(v[:len(a)], float), np.asarray(v[len(a):], float)
    return (x >= -tol).all() and np.prod(np.maximum(x, 0) ** a) >= np.linalg.norm(w) - tol


def in_dual_power(v, alpha, tol=1e-7):
    a = np.asarray(alpha, float) / np.sum(alpha)
    return in_power(np.concatenate([np.asarray(v[:len(a)]) / a, v[len(a):]]), alpha, tol)


MEMBERSHIP = {
    "exponential": lambda v, alpha: in_exponential(v),
    "dual_exponential": lambda v, alpha: in_dual_exponential(v),
    "power": in_power,
    "dual_power": in_dual_power,
    "geometric_mean": lambda v, alpha: in_power(v, [1.0] * (len(v) - 1)),
    "dual_geometric_mean": lambda v, alpha: in_dual_power(v, [1.0] * (len(v) - 1)),
    "quadratic": lambda v, alpha: v[0] >= np.linalg.norm(v[1:]) - 1e-7,
}
DUAL_OF = {"exponential": "dual_exponential", "dual_exponential": "exponential", "power": "dual_power",
           "dual_power": "power", "geometric_mean": "dual_geometric_mean",
           "dual_geometric_mean": "geometric_mean", "quadratic": "quadratic"}


class Conic:
    """min / max c'x over l <= x <= u, rows, and F_k x + g_k in domain_k, kept
    beside the model so that solutions and certificates can be checked."""

    def __init__(self, n, c, lb=-np.inf, ub=np.inf, sense="min"):
        self.model = velto.Model()
        self.model.add_variables(n, lb=lb, ub=ub, obj=c)
        self.model.set_objective(sense=sense)
        self.c, self.sense = np.asarray(c, float), sense
        self.lb, self.ub = np.broadcast_to(lb, n).astype(float), np.broadcast_to(ub, n).astype(float)
        self.rows, self.cones = [], []

    def row(self, coefficients, lb=-np.inf, ub=np.inf):
        self.model.add_constraint(coefficients, lb=lb, ub=ub)
        a = np.zeros(len(self.c))
        for j, v in coefficients.items():
            a[j] = v
        self.rows.append((a, lb, ub))

    def cone(self, domain, F, g, alpha=None):
        F = np.asarray(F, float)
        self.model.add_conic_constraint(domain, F, g, alpha=alpha)
        self.cones.append((domain, F, np.asarray(g, float), alpha))

    def solve(self):
        return self.model.solve()

    def doty(self):
        stacked = bytearray()
        assert self.model.task.getaccdotys_iO_2(velto.SolutionType.ITR, stacked) == (0, None)
        return np.split(np.frombuffer(bytes(stacked)), np.cumsum([len(F) for _, F, _, _ in self.cones])[:-1])

    def dual_residual(self, y, reduced, doty, c):
        """c - A'y - F'doty - (slx - sux)."""
        r = np.array(c, float) - reduced
        for (a, _, _), yi in zip(self.rows, y):
            r -= yi * a
        for (_, F, _, _), d in zip(self.cones, doty):
            r -= F.T @ d
        return r


def check_optimal(p, optimum, tol=1e-6):
    r = p.solve()
    assert r.status == Status.OPTIMAL
    assert r.objective == pytest.approx(optimum, rel=tol, abs=tol)
    assert r.dual_objective == pytest.approx(optimum, rel=tol, abs=tol)
    doty = r.acc_duals
    assert np.abs(p.dual_residual(r.y if p.rows else [], r.reduced_costs, doty, p.c)).max() < 1e-6
    sign = 1.0 if p.sense == "min" else -1.0  # the duals of a maximization lie in the negated dual cone
    for (domain, F, g, alpha), d in zip(p.cones, doty):
        assert MEMBERSHIP[domain](F @ r.x + g, alpha), "the point leaves its cone"
        assert MEMBERSHIP[DUAL_OF[domain]](sign * d, alpha), "the dual leaves the dual cone"
    return r


def log_sum_exp(a, sense):
    """max sum_i t_i + a'x with sum x = 1, (1, x_i, t_i) in K_exp (t_i <= -x_i log x_i):
    the entropy-regularized maximum, log sum exp(a)."""
    n = len(a)
    s = 1.0 if sense == "max" else -1.0  # min of the negated objective
    p = Conic(2 * n, s * np.concatenate([a, np.ones(n)]), sense=sense)
    p.row({j: 1.0 for j in range(n)}, lb=1.0, ub=1.0)
    for i in range(n):
        F = np.zeros((3, 2 * n))
        F[1, i], F[2, n + i] = 1.0, 1.0
        p.cone("exponential", F, [1.0, 0.0, 0.0])
    return p, s * math.log(np.exp(a).sum())


def dual_exponential_bound(a, sense):
    """min u1 with u2 = a, u3 = -1 in K*_exp: u1 = exp(-a - 1)."""
    s = 1.0 if sense == "min" else -1.0
    p = Conic(1, [s], sense=sense)
    p.cone("dual_exponential", [[1.0], [0.0], [0.0]], [0.0, a, -1.0])
    return p, s * math.exp(-a - 1.0)


def p_norm(p_exp, a, sense):
    """min ||x||_p with a'x = 1: 1 / ||a||_q.  Variables x, t, r; sum r = t and
    (r_i, t, x_i) in the power cone with weights (1, p - 1) / p."""
    n = len(a)
    s = 1.0 if sense == "min" else -1.0
    c = np.zeros(2 * n + 1)
    c[n] = s
    p = Conic(2 * n + 1, c, sense=sense)
    p.row({j: a[j] for j in range(n)}, lb=1.0, ub=1.0)
    p.row({**{n + 1 + i: 1.0 for i in range(n)}, n: -1.0}, lb=0.0, ub=0.0)
    for i in range(n):
        F = np.zeros((3, 2 * n + 1))
        F[0, n + 1 + i], F[1, n], F[2, i] = 1.0, 1.0, 1.0
        p.cone("power", F, np.zeros(3), alpha=[1.0, p_exp - 1.0])
    q = p_exp / (p_exp - 1.0)
    return p, s / np.linalg.norm(a, q)


def dual_power_mean(alpha, sense):
    """min u1 + u2 with (u1, u2, 1) in the dual power cone: 1 (weighted AM-GM)."""
    s = 1.0 if sense == "min" else -1.0
    p = Conic(2, [s, s], sense=sense)
    p.cone("dual_power", [[1, 0], [0, 1], [0, 0]], [0.0, 0.0, 1.0], alpha=alpha)
    return p, s * 1.0


def geometric_mean(a, sense):
    """max t with a'x = n, (x, t) in the geometric-mean cone: x = 1 / a, t = prod(1 / a)^(1/n)."""
    n = len(a)
    s = 1.0 if sense == "max" else -1.0
    p = Conic(n + 1, s * np.eye(n + 1)[n], sense=sense)
    p.row({j: a[j] for j in range(n)}, lb=n, ub=n)
    p.cone("geometric_mean", np.eye(n + 1), np.zeros(n + 1))
    return p, s * np.prod(1.0 / np.asarray(a)) ** (1.0 / n)


def dual_geometric_mean(a, sense):
    """min a'u with (u, n) in the dual geometric-mean cone ((n) prod(u)^(1/n) >= n):
    n prod(a)^(1/n) by AM-GM."""
    n = len(a)
    s = 1.0 if sense == "min" else -1.0
    p = Conic(n, s * np.asarray(a, float), sense=sense)
    F = np.vstack([np.eye(n), np.zeros((1, n))])
    p.cone("dual_geometric_mean", F, np.concatenate([np.zeros(n), [n]]))
    return p, s * n * np.prod(a) ** (1.0 / n)


@pytest.mark.parametrize("sense", ["min", "max"])
@pytest.mark.parametrize("build", [
    lambda s: log_sum_exp([0.5, -1.0, 2.0], s),
    lambda s: dual_exponential_bound(0.7, s),
    lambda s: p_norm(3.0, [1.0, 2.0, 3.0], s),
    lambda s: p_norm(1.5, [2.0, -1.0], s),
    lambda s: dual_power_mean([0.3, 0.7], s),
    lambda s: geometric_mean([1.0, 2.0, 4.0], s),
    lambda s: dual_geometric_mean([1.0, 3.0, 9.0, 2.0], s),
    lambda s: geometric_mean(np.linspace(0.5, 2.0, 60), s),  # large cones: the expanded form
    lambda s: dual_geometric_mean(np.linspace(1.0, 3.0, 60), s),
], ids=["entropy", "dual-exp", "3-norm", "1.5-norm", "dual-power", "geo-mean", "dual-geo-mean", "geo-mean-60",
        "dual-geo-mean-60"])
def test_known_optima_with_duals_in_the_dual_cones(build, sense):
    p, optimum = build(sense)
    check_optimal(p, optimum)


def test_a_geometric_program():
    # max xyz with 2 (xy + yz + xz) <= S: the cube of side sqrt(S / 6).  In
    # u = log(x, y, z): min -(u1 + u2 + u3) with sum_k exp(a_k'u - log(S / 2)) <= 1,
    # each term t_k >= exp(.) as (t_k, 1, a_k'u - log(S / 2)) in K_exp.
    S = 24.0
    p = Conic(6, [-1, -1, -1, 0, 0, 0])
    p.row({3: 1.0, 4: 1.0, 5: 1.0}, ub=1.0)
    for k, (i, j) in enumerate([(0, 1), (1, 2), (0, 2)]):
        F = np.zeros((3, 6))
        F[0, 3 + k], F[2, i], F[2, j] = 1.0, 1.0, 1.0
        p.cone("exponential", F, [0.0, 1.0, -math.log(S / 2)])
    r = check_optimal(p, -3 * math.log(math.sqrt(S / 6)))
    assert np.exp(r.x[:3]) == pytest.approx([2.0] * 3, rel=1e-3)  # flat to second order there


@pytest.mark.parametrize("domain, F, g, c, lb, ub, alpha", [
    # x1 >= x2 exp(x3 / x2) with x1 <= 1, x2 = 1, x3 >= 1
    ("exponential", np.eye(3), np.zeros(3), [0, 0, 0], [-np.inf, 1, 1], [1, 1, np.inf], None),
    # sqrt(x1 x2) >= |x3| with x1, x2 <= 1, x3 >= 2
    ("power", np.eye(3), np.zeros(3), [1, 1, 0], [-np.inf, -np.inf, 2], [1, 1, np.inf], [1.0, 1.0]),
    # u1 >= -u3 exp(u2 / u3 - 1) with u1 <= 0.1, u2 = 0, u3 = -1 (needs u1 >= 1/e)
    ("dual_exponential", np.eye(3), np.zeros(3), [1, 0, 0], [-np.inf, 0, -1], [0.1, 0, -1], None),
    # x1 x2 >= x3^2 with x1, x2 <= 1, x3 >= 2 (the multipliers of the bounds carry F'doty)
    ("quadratic", [[0.5, 0.5, 0], [0.5, -0.5, 0], [0, 0, 1]], np.zeros(3), [0, 0, 0], [-np.inf, -np.inf, 2],
     [1, 1, np.inf], None),
])
def test_infeasibility_is_certified(domain, F, g, c, lb, ub, alpha):
    p = Conic(3, c, lb=lb, ub=ub)
    p.cone(domain, F, g, alpha)
    F = np.asarray(F, float)
    r = p.solve()
    assert r.status == Status.INFEASIBLE and r.certificate is not None
    # Farkas: slx - sux + F'doty = 0 (no rows), doty in K*, slx, sux >= 0,
    # and lb'slx - ub'sux - g'doty > 0.
    (doty,) = p.doty()
    raw = {}
    for name in ("slx", "sux"):
        out = bytearray()
        assert getattr(p.model.task, f"get{name}_iO_2")(velto.SolutionType.ITR, out) == (0, None)
        raw[name] = np.frombuffer(bytes(out))
    slx, sux = raw["slx"], raw["sux"]
    scale = max(np.abs(doty).max(), np.abs(slx).max(), np.abs(sux).max())
    assert scale > 0
    assert (slx >= -1e-9 * scale).all() and (sux >= -1e-9 * scale).all()
    assert (slx[np.isinf(p.lb)] == 0).all() and (sux[np.isinf(p.ub)] == 0).all()
    assert np.abs(slx - sux + F.T @ doty).max() < 1e-7 * scale
    assert MEMBERSHIP[DUAL_OF[domain]](doty / scale, alpha)
    finite = lambda v, b: np.where(np.isinf(b), 0.0, b) @ v
    assert finite(slx, p.lb) - finite(sux, p.ub) - g @ doty > 1e-6 * scale


@pytest.mark.parametrize("domain, c, fixed, alpha", [
    ("exponential", [-1, 0, 0], {2: 0.0}, None),  # x1 >= x2 exp(0): the ray (1, 0, 0)
    ("power", [-1, -1, 0], {2: 1.0}, [0.4, 0.6]),  # x1^0.4 x2^0.6 >= 1: the ray (1, 1, 0)
    ("dual_exponential", [-1, 0, 0], {1: 0.0, 2: -1.0}, None),  # u1 >= 1/e: the ray (1, 0, 0)
])
def test_unboundedness_is_certified(domain, c, fixed, alpha):
    lb, ub = np.full(3, -np.inf), np.full(3, np.inf)
    for j, value in fixed.items():
        lb[j] = ub[j] = value
    p = Conic(3, c, lb=lb, ub=ub)
    p.cone(domain, np.eye(3), np.zeros(3), alpha)
    r = p.solve()
    assert r.status == Status.UNBOUNDED and r.certificate is not None
    d = r.certificate.x
    scale = np.abs(d).max()
    assert scale > 0 and np.dot(p.c, d) < -1e-6 * scale
    assert np.abs(d[lb == ub]).max() <= 1e-9 * scale
    assert MEMBERSHIP[domain](d / scale, alpha)


@pytest.mark.parametrize("domain, c, lb, ub, optimum, x_opt", [
    # min x1 + x2 with x3 = -1: the infimum 0 at (0, 0, -1), where x2 = 0 in the closure
    ("exponential", [1, 1, 0], [-np.inf, -np.inf, -1], [np.inf, np.inf, -1], 0.0, [0, 0, -1]),
    # min x2 with x1 = 1, x3 = -3: x2 exp(-3 / x2) <= 1 for every x2 <= 0 (the closure's x2 = 0 face)
    ("exponential", [0, 1, 0], [1, 0, -3], [1, np.inf, -3], 0.0, None),
    # max x3 with x1 = 0, x2 = 1 in the power cone: x3 = 0 forced by the face x1 = 0
    ("power", [0, 0, -1], [0, 1, -np.inf], [0, 1, np.inf], 0.0, [0, 1, 0]),
])
def test_optima_on_the_boundary_of_the_closure(domain, c, lb, ub, optimum, x_opt):
    p = Conic(3, c, lb=lb, ub=ub)
    p.cone(domain, np.eye(3), np.zeros(3), alpha=[1.0, 1.0] if domain == "power" else None)
    r = p.solve()
    # On the power cone's face x1 = 0 the scaled measures are met with x3
    # about 4e-8, twice the primal tolerance on the problem's own data: the
    # interior point goes on until the point meets it there.
    assert r.status == Status.OPTIMAL
    assert r.objective == pytest.approx(optimum, abs=1e-6)
    if x_opt is not None:
        assert r.x == pytest.approx(x_opt, abs=1e-4)
