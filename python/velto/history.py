"""The course of a solve, as the information callable sees it: one row per
interior-point iteration (objectives, residuals, gap, mu, step) or per
branch-and-bound report (nodes, incumbent, bound, gap), kept as
`Result.history` and drawn by `Result.plot()`.

    r = model.solve()
    r.history          # a pandas DataFrame (a dict of numpy arrays without pandas)
    r.plot()           # matplotlib: convergence on a log scale, or incumbent and bound over time
"""
import math
import time

import numpy as np

from ._constants import CallbackCode, DInfItem, IInfItem, LIInfItem

INTERIOR_COLUMNS = ("iteration", "time", "primal_objective", "dual_objective", "primal_residual",
                    "dual_residual", "gap", "mu", "step")
BRANCH_AND_BOUND_COLUMNS = ("time", "nodes", "incumbent", "bound", "gap")

_INTERIOR_CODES = frozenset({CallbackCode.INTPNT})
_BRANCH_AND_BOUND_CODES = frozenset({CallbackCode.MIO_NODE, CallbackCode.NEW_INT_MIO})


def relative_gap(primal, dual):
    """|primal - dual| / max(1, |primal|): the gap the history shows."""
    return abs(primal - dual) / max(1.0, abs(primal))


class Recorder:
    """The information callable that keeps the rows of one solve; `then` is
    called after it with the same arguments (velto's own callable, which
    drives the user's and the progress bar), and its answer is returned."""

    def __init__(self, then=None):
        self.then = then
        self.interior, self.branch_and_bound = [], []
        self._start = time.monotonic()

    def __call__(self, code, dinf, iinf, liinf):
        if code in _INTERIOR_CODES:
            self._interior_row(dinf, iinf)
        elif code in _BRANCH_AND_BOUND_CODES:
            self._branch_and_bound_row(dinf, liinf)
        return self.then(code, dinf, iinf, liinf) if self.then is not None else False

    def _time(self, dinf):
        seconds = dinf[DInfItem.OPTIMIZER_TIME]
        return seconds if seconds > 0 else time.monotonic() - self._start

    def _interior_row(self, dinf, iinf):
        primal, dual = dinf[DInfItem.INTPNT_PRIMAL_OBJ], dinf[DInfItem.INTPNT_DUAL_OBJ]
        has_duals = dinf[DInfItem.INTPNT_MU] > 0 or dinf[DInfItem.INTPNT_STEP_SIZE] > 0
        nan = math.nan
        self.interior.append((iinf[IInfItem.INTPNT_ITER], self._time(dinf), primal, dual if has_duals else nan,
                              dinf[DInfItem.INTPNT_PRIMAL_FEAS] if has_duals else nan,
                              dinf[DInfItem.INTPNT_DUAL_FEAS] if has_duals else nan,
                              relative_gap(primal, dual) if has_duals else nan,
                              dinf[DInfItem.INTPNT_MU] if has_duals else nan,
                              dinf[DInfItem.INTPNT_STEP_SIZE] if has_duals else nan))

    def _branch_and_bound_row(self, dinf, liinf):
        incumbent, bound = dinf[DInfItem.MIO_OBJ_INT], dinf[DInfItem.MIO_OBJ_BOUND]
        self.branch_and_bound.append((self._time(dinf), liinf[LIInfItem.MIO_NUM_NODES],
                                      incumbent if math.isfinite(incumbent) else math.nan,
                                      bound if math.isfinite(bound) else math.nan,
                                      dinf[DInfItem.MIO_OBJ_REL_GAP]))

    def table(self):
        """The rows of the run: branch and bound's when it ran, else the
        interior point's (empty when the optimizer reported neither)."""
        if self.branch_and_bound:
            return make_table(BRANCH_AND_BOUND_COLUMNS, self.branch_and_bound)
        return make_table(INTERIOR_COLUMNS, self.interior)


def make_table(columns, rows):
    """A pandas DataFrame of the rows (iteration and nodes as integers), or
    a dict of numpy arrays when pandas is not installed."""
    values = np.array(rows, dtype=np.float64).reshape(len(rows), len(columns))
    data = {name: values[:, k] for k, name in enumerate(columns)}
    for name in ("iteration", "nodes"):
        if name in data:
            data[name] = data[name].astype(np.int64)
    try:
        import pandas as pd  # type: ignore[import-untyped]
    except ImportError:
        return data
    return pd.DataFrame(data)


def kind(history):
    """'interior point', 'branch and bound' or None for an empty history."""
    if history is None or len(history["time"]) == 0:
        return None
    return "branch and bound" if "incumbent" in history else "interior point"


def plot(history, ax=None, title=None):
    """Draws a history on a matplotlib Axes (a new figure when ax is None)
    and returns the Axes: residuals, gap, mu and step size per iteration on
    a log scale for the interior point; incumbent and bound over time for
    branch and bound."""
    try:
        import matplotlib.pyplot as plt
    except ImportError:
        raise ImportError("Result.plot needs matplotlib: pip install 'velto[plot]'") from None
    which = kind(history)
    if which is None:
        raise ValueError("the run reported no iterations to plot")
    if ax is None:
        _, ax = plt.subplots(figsize=(6.4, 4.0))
    column = (lambda name: np.asarray(history[name], dtype=np.float64))
    if which == "interior point":
        x = column("iteration")
        for name, label in (("primal_residual", "primal residual"), ("dual_residual", "dual residual"),
                            ("gap", "relative gap"), ("mu", "mu")):
            y = column(name)
            keep = np.isfinite(y) & (y > 0)
            if keep.any():
                ax.semilogy(x[keep], y[keep], marker=".", label=label)
        ax.set_xlabel("iteration")
        ax.set_ylabel("value (log scale)")
    else:
        t = column("time")
        for name, label in (("incumbent", "incumbent"), ("bound", "bound")):
            y = column(name)
            keep = np.isfinite(y)
            if keep.any():
                ax.step(t[keep], y[keep], where="post", marker=".", label=label)
        ax.set_xlabel("time (s)")
        ax.set_ylabel("objective")
    ax.set_title(title or which)
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    return ax
