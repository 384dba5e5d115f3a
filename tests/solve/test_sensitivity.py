"""Sensitivity analysis at the optimal basis, checked by solving the problem
again with the bound or objective coefficient moved just inside and just
outside each range, and on each side of its current value."""
import math

import numpy as np
import pytest

import _vlt

from arrays import f64, i32

LO, UP, FX, FR, RA = 0, 1, 2, 3, 4
ITR, BAS = 0, 1
MIN, MAX = 0, 1
MARK_LO, MARK_UP = 0, 1
PROSTA_PRIM_INFEAS, PROSTA_DUAL_INFEAS = 4, 5
IPAR_OPTIMIZER, DUAL_SIMPLEX = 67, 4


class Lp:
    """A linear problem held as numpy data, solved in tasks of its own."""

    def __init__(self, A, c, bkc, blc, buc, bkx, blx, bux, sense=MIN):
        self.A, self.c, self.sense = np.array(A, float), np.array(c, float), sense
        self.bkc, self.blc, self.buc = list(bkc), np.array(blc, float), np.array(buc, float)
        self.bkx, self.blx, self.bux = list(bkx), np.array(blx, float), np.array(bux, float)

    def task(self, env):
        t = _vlt.Task(env)
        m, n = self.A.shape
        t.appendcons_i_2(m)
        t.appendvars_i_2(n)
        t.putobjsense_i_2(self.sense)
        t.putcslice_iiO_4(0, n, f64(self.c))
        for i in range(m):
            t.putarow_iOO_4(i, i32(range(n)), f64(self.A[i]))
            t.putconbound_iidd_5(i, self.bkc[i], self.blc[i], self.buc[i])
        for j in range(n):
            t.putvarbound_iidd_5(j, self.bkx[j], self.blx[j], self.bux[j])
        t.putintparam_ii_3(IPAR_OPTIMIZER, DUAL_SIMPLEX)
        return t

    def moved(self, item, mark, beta):
        """A copy with a bound (mark) or the cost (mark None) of item moved by beta."""
        m = self.A.shape[0]
        other = Lp(self.A, self.c.copy(), self.bkc, self.blc.copy(), self.buc.copy(), self.bkx, self.blx.copy(),
                   self.bux.copy(), self.sense)
        if mark is None:
            other.c[item - m] += beta
            return other
        keys, lo, up, k = (other.bkc, other.blc, other.buc, item) if item < m else (other.bkx, other.blx, other.bux,
                                                                                        item - m)
        if keys[k] == FX or mark == MARK_LO:
            lo[k] += beta
        if keys[k] == FX or mark == MARK_UP:
            up[k] += beta
        if keys[k] == RA and lo[k] > up[k]:
            return None  # the bounds cross: infeasible by the bound itself
        return other


def optimum(lp, env):
    """The optimal objective, +inf (min) / -inf (max) when infeasible."""
    if lp is None:
        return math.inf
    t = lp.task(env)
    assert t.optimizetrm__1() == (0, 0)
    _, prosta = t.getprosta_i_2(BAS)
    value = t.getprimalobj_i_2(BAS)[1]
    t.dispose()
    if prosta == PROSTA_PRIM_INFEAS:
        return math.inf
    assert prosta == 1
    return value


def analyse(task, m, n, bounds):
    """primalsensitivity for the (item, mark) pairs and dualsensitivity of every variable."""
    cons = [(i, mk) for i, mk in bounds if i < m]
    vars_ = [(t - m, mk) for t, mk in bounds if t >= m]
    outs = [np.zeros(len(cons)) for _ in range(4)] + [np.zeros(len(vars_)) for _ in range(4)]
    assert task.primalsensitivity_OOOOOOOOOOOO_13(
        i32([i for i, _ in cons]), i32([mk for _, mk in cons]), i32([j for j, _ in vars_]),
        i32([mk for _, mk in vars_]), *[memoryview(o) for o in outs]) == (0, None)
    results = {}
    for k, key in enumerate(cons):
        results[key] = [o[k] for o in outs[:4]]
    for k, (j, mk) in enumerate(vars_):
        results[(m + j, mk)] = [o[k] for o in outs[4:]]
    dual = [np.zeros(n) for _ in range(4)]
    assert task.dualsensitivity_OOOOO_6(i32(range(n)), *[memoryview(o) for o in dual]) == (0, None)
    for j in range(n):
        results[(m + j, None)] = [o[j] for o in dual]
    return results


def finite_marks(lp):
    m, n = lp.A.shape
    marks = []
    for t in range(m + n):
        keys, lo, up, k = (lp.bkc, lp.blc, lp.buc, t) if t < m else (lp.bkx, lp.blx, lp.bux, t - m)
        if keys[k] in (LO, FX, RA):
            marks.append((t, MARK_LO))
        if keys[k] in (UP, RA):
            marks.append((t, MARK_UP))
    return marks


def check_item(lp, env, v0, item, mark, result, step=1e-5, outside_kinks=True):
    left_price, right_price, left_range, right_range = result
    assert left_range <= 0 <= right_range
    for side, price, bound in ((-1, left_price, left_range), (1, right_price, right_range)):
        # The slope on each side of the current value.
        beta = side * (min(step, abs(bound) / 2) if bound != 0 else step)
        v = optimum(lp.moved(item, mark, beta), env)
        if math.isinf(price):
            assert math.isinf(v), (item, mark, side, v)
        else:
            assert (v - v0) / beta == pytest.approx(price, rel=1e-5, abs=1e-5), (item, mark, side)
        if math.isinf(bound) or bound == 0:
            continue
        # Just inside the range the value follows the price exactly; just
        # outside it does not (in a problem without dual degeneracy the
        # basis changes, and with it the slope) or the problem is infeasible.
        inside = optimum(lp.moved(item, mark, bound * (1 - 1e-7)), env)
        assert inside == pytest.approx(v0 + price * bound * (1 - 1e-7), rel=1e-7, abs=1e-7), (item, mark, side)
        outside_step = bound + side * max(1e-2, 0.05 * abs(bound))
        outside = optimum(lp.moved(item, mark, outside_step), env)
        if outside_kinks and not math.isinf(outside):
            assert abs(outside - (v0 + price * outside_step)) > 1e-6, (item, mark, side)


def random_lp(seed, sense):
    rng = np.random.default_rng(seed)
    m, n = 4, 6
    A = np.round(rng.normal(size=(m, n)), 2)
    x0 = rng.uniform(-0.5, 0.5, n)
    act = A @ x0
    bkc = [LO, UP, RA, FX]
    blc = act - rng.uniform(0.1, 1.0, m)
    buc = act + rng.uniform(0.1, 1.0, m)
    blc[3] = buc[3] = act[3]
    bkx = [RA, RA, LO, UP, RA, FR]
    blx, bux = -np.ones(n) * 2, np.ones(n) * 2
    c = np.round(rng.normal(size=n), 2)
    sign = 1 if sense == MIN else -1
    c[2], c[3] = sign * abs(c[2]) + sign * 0.5, -sign * abs(c[3]) - sign * 0.5   # bounded along the one-sided bounds
    c[5] = 0.0
    A[:, 5] = 0.0
    A[3, 5] = 1.0   # the free variable enters only the equality
    return Lp(A, c, bkc, blc, buc, bkx, blx, bux, sense)


@pytest.mark.parametrize("sense", [MIN, MAX])
@pytest.mark.parametrize("seed", [1, 2, 3])
def test_ranges_and_prices_by_solving_again(sense, seed):
    env = _vlt.Env()
    lp = random_lp(seed, sense)
    m, n = lp.A.shape
    task = lp.task(env)
    assert task.optimizetrm__1() == (0, 0)
    v0 = task.getprimalobj_i_2(BAS)[1]
    marks = finite_marks(lp)
    results = analyse(task, m, n, marks)
    for (item, mark), result in results.items():
        check_item(lp, env, v0, item, mark, result)
    # Inside its range, a bound's price is its multiplier, a coefficient's the variable's value.
    xx, slc, suc = (np.frombuffer(bytes(b)) for b in [bytearray(), bytearray(), bytearray()])
    raw = {k: bytearray() for k in ("xx", "slc", "suc", "slx", "sux")}
    for k, b in raw.items():
        getattr(task, f"get{k}_iO_2")(BAS, b)
    vals = {k: np.frombuffer(bytes(b)) for k, b in raw.items()}
    for j in range(n):
        left_price, right_price, left_range, right_range = results[(m + j, None)]
        if left_range < 0:
            assert left_price == pytest.approx(vals["xx"][j], abs=1e-9)
    for i in range(m):
        if (i, MARK_LO) in results and lp.bkc[i] != FX:
            lp_, rp_, lr_, rr_ = results[(i, MARK_LO)]
            if lr_ < 0 < rr_:
                assert lp_ == pytest.approx(vals["slc"][i], abs=1e-9)
    task.dispose()


def test_a_degenerate_vertex_has_different_prices_left_and_right():
    # max x + y  s.t.  x + 2y <= 4,  2x + y <= 4,  x + y <= 8/3  (all three meet at (4/3, 4/3)).
    env = _vlt.Env()
    lp = Lp([[1, 2], [2, 1], [1, 1]], [1, 1], [UP] * 3, [0] * 3, [4, 4, 8 / 3], [LO, LO], [0, 0], [0, 0], sense=MAX)
    task = lp.task(env)
    assert task.optimizetrm__1() == (0, 0)
    v0 = task.getprimalobj_i_2(BAS)[1]
    assert v0 == pytest.approx(8 / 3)
    results = analyse(task, 3, 2, [(i, MARK_UP) for i in range(3)])
    # Raising the third bound leaves the value at 8/3 (the first two hold it);
    # lowering it costs one for one.
    left_price, right_price, left_range, right_range = results[(2, MARK_UP)]
    assert (left_price, right_price) == (pytest.approx(1.0), pytest.approx(0.0))
    for (item, mark), result in results.items():
        check_item(lp, env, v0, item, mark, result, outside_kinks=False)


def test_infinite_bounds_and_refusals(task):
    env = _vlt.Env()
    lp = Lp([[1, 1]], [1, 0], [LO], [1], [0], [LO, FR], [0, 0], [0, 0])
    t = lp.task(env)
    assert t.optimizetrm__1() == (0, 0)
    out = [np.zeros(1) for _ in range(8)]
    assert t.primalsensitivity_OOOOOOOOOOOO_13(i32([0]), i32([MARK_UP]), i32([1]), i32([MARK_LO]),
                                                *[memoryview(o) for o in out]) == (0, None)
    assert [o[0] for o in out] == [0.0, 0.0, -math.inf, math.inf] * 2
    codes = [t.primalsensitivity_OOOOOOOOOOOO_13(i32([1]), i32([0]), None, None, *[None] * 8)[0],
             t.primalsensitivity_OOOOOOOOOOOO_13(i32([0]), i32([2]), None, None, *[None] * 8)[0],
             t.dualsensitivity_OOOOO_6(i32([2]), *[None] * 4)[0]]
    assert codes == [1201, 1308, 1202]
    # Without an optimal basic solution there is nothing to analyse.
    assert task.appendvars_i_2(1) == (0, None)
    assert task.dualsensitivity_OOOOO_6(i32([0]), *[None] * 4)[0] == 1600
    messages = []
    t.set_Stream(1, messages.append)
    assert t.sensitivityreport_i_2(1) == (0, None)
    assert "Objective coefficients" in "".join(messages)


@pytest.mark.parametrize("sense, seed", [(MIN, 4), (MAX, 5), (MIN, 6)])
def test_prices_at_random_degenerate_vertices(sense, seed):
    # Seven inequalities in four variables, six of them active at one vertex.
    rng = np.random.default_rng(seed)
    n = 4
    A = np.round(rng.normal(size=(7, n)), 1)
    vertex = np.round(rng.uniform(-1, 1, n), 1)
    act = A @ vertex
    buc = act.copy()
    buc[6] += 1.0
    c = -A[:3].T @ rng.uniform(0.5, 1.5, 3) * (1 if sense == MIN else -1)   # optimal at the vertex
    lp = Lp(A, c, [UP] * 7, [0] * 7, buc, [RA] * n, [-5] * n, [5] * n, sense)
    env = _vlt.Env()
    task = lp.task(env)
    assert task.optimizetrm__1() == (0, 0)
    v0 = task.getprimalobj_i_2(BAS)[1]
    results = analyse(task, 7, n, finite_marks(lp))
    for (item, mark), result in results.items():
        check_item(lp, env, v0, item, mark, result, outside_kinks=False)
