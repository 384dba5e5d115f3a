"""What a solve gives back: why the optimizer stopped, what it proved, and the
values of the solution (or of the certificate) as numpy arrays."""
import enum
from typing import Any, List, Optional

import numpy as np

from ._constants import ProblemStatus, ResponseCode, SolutionStatus, SolutionType

_RC = ResponseCode
_SS = SolutionStatus
_PS = ProblemStatus


class Status(enum.Enum):
    """What the optimizer established about the problem."""

    OPTIMAL = "optimal"  #: the solution is optimal (within the tolerances)
    FEASIBLE = "feasible"  #: a feasible solution, not proven optimal (a limit or a stop came first)
    INFEASIBLE = "infeasible"  #: no feasible point exists; `Result.certificate` proves it where it can
    UNBOUNDED = "unbounded"  #: the objective improves without end; `Result.certificate` holds a direction
    INFEASIBLE_OR_UNBOUNDED = "infeasible or unbounded"
    ILL_POSED = "ill-posed"
    UNKNOWN = "unknown"  #: nothing was established (stopped early, numerical trouble)


class Termination(enum.Enum):
    """Why the optimizer stopped."""

    FINISHED = "finished"  #: it ran to its end
    TIME_LIMIT = "time limit"
    ITERATION_LIMIT = "iteration limit"
    NODE_LIMIT = "node limit"
    SOLUTION_LIMIT = "solution limit"
    OBJECTIVE_LIMIT = "objective limit"
    STOPPED = "stopped"  #: a progress callable asked it to stop
    INTERRUPTED = "interrupted"  #: Ctrl-C stopped it
    NUMERICAL = "numerical trouble"
    LOST_RACE = "lost race"  #: another task of a race finished first
    INTERNAL = "internal"
    NOT_SOLVED = "not solved"  #: the model has not been solved (the values were read or put)

    @classmethod
    def of(cls, code):
        """The termination of a termination code of the library."""
        return _TERMINATIONS.get(int(code), cls.INTERNAL)


_TERMINATIONS = {
    _RC.OK: Termination.FINISHED,
    _RC.TRM_MAX_TIME: Termination.TIME_LIMIT,
    _RC.TRM_MAX_ITERATIONS: Termination.ITERATION_LIMIT,
    _RC.TRM_MIO_NUM_RELAXS: Termination.NODE_LIMIT,
    _RC.TRM_MIO_NUM_BRANCHES: Termination.NODE_LIMIT,
    _RC.TRM_NUM_MAX_NUM_INT_SOLUTIONS: Termination.SOLUTION_LIMIT,
    _RC.TRM_OBJECTIVE_RANGE: Termination.OBJECTIVE_LIMIT,
    _RC.TRM_USER_CALLBACK: Termination.STOPPED,
    _RC.TRM_STALL: Termination.NUMERICAL,
    _RC.TRM_NUMERICAL_PROBLEM: Termination.NUMERICAL,
    _RC.TRM_MAX_NUM_SETBACKS: Termination.NUMERICAL,
    _RC.TRM_LOST_RACE: Termination.LOST_RACE,
}

PRIMAL_SOLUTION = frozenset({_SS.OPTIMAL, _SS.INTEGER_OPTIMAL, _SS.PRIM_FEAS, _SS.PRIM_AND_DUAL_FEAS})
DUAL_SOLUTION = frozenset({_SS.OPTIMAL, _SS.DUAL_FEAS, _SS.PRIM_AND_DUAL_FEAS})


def status_of(problem_status, solution_status):
    """The Status that a problem status and a solution status establish."""
    if solution_status in (_SS.OPTIMAL, _SS.INTEGER_OPTIMAL):
        return Status.OPTIMAL
    if solution_status == _SS.PRIM_INFEAS_CER or problem_status == _PS.PRIM_INFEAS:
        return Status.INFEASIBLE
    if solution_status == _SS.DUAL_INFEAS_CER or problem_status == _PS.DUAL_INFEAS:
        return Status.UNBOUNDED
    if problem_status in (_PS.PRIM_INFEAS_OR_UNBOUNDED, _PS.PRIM_AND_DUAL_INFEAS):
        return Status.INFEASIBLE_OR_UNBOUNDED
    if solution_status in (_SS.PRIM_ILLPOSED_CER, _SS.DUAL_ILLPOSED_CER) or problem_status == _PS.ILL_POSED:
        return Status.ILL_POSED
    if solution_status in (_SS.PRIM_FEAS, _SS.PRIM_AND_DUAL_FEAS):
        return Status.FEASIBLE
    return Status.UNKNOWN


class Certificate:
    """A proof that the problem has no optimal solution.

    For `Status.INFEASIBLE`, `y` (one multiplier per constraint) and
    `reduced_costs` (one per variable) form a Farkas certificate: combining
    the constraints and bounds with them gives a contradiction.  For
    `Status.UNBOUNDED`, `x` is a direction along which every point stays
    feasible and the objective improves without end; `row_activity` is A x.
    """

    def __init__(self, status, x=None, y=None, reduced_costs=None, row_activity=None):
        self.status = status
        self.x, self.y, self.reduced_costs, self.row_activity = x, y, reduced_costs, row_activity

    def __repr__(self):
        return f"Certificate({self.status.name})"


class Result:
    """The outcome of `Model.solve`.

    Attributes:
        status: what was established (`Status`).
        termination: why the optimizer stopped (`Termination`); `response`
            is the library's termination code (`velto.ResponseCode`).
        solution: which of the task's solutions this is (`velto.SolutionType`:
            `ITG` for a mixed-integer problem, else `BAS` when a basic solution
            exists, else `ITR`), or None when the optimizer defined none.
        problem_status, solution_status: the library's statuses of it.
        objective: the objective value of x (None without a primal solution).
        dual_objective: the dual objective value (None without duals).
        primal_bound, dual_bound: the best objective value found and the
            best proven bound on the optimum (for a mixed-integer problem the
            branch-and-bound bound, else the dual objective).
        mip_gap: the relative gap between them for a mixed-integer problem.
        x: the values of the variables (None when there is no primal solution).
        row_activity: A x, one value per constraint.
        y: the constraints' dual values (None without duals).
        reduced_costs: the variables' dual values slx - sux.
        slc, suc, slx, sux: the dual values of the lower and upper bounds.
        cone_duals: the dual values of the cones on variables (snx), when the
            model has such cones.
        acc_duals: the dual values of each affine conic constraint (one array
            per constraint, in the dual cone of its domain), when it has any.
        psd_x, psd_duals: the values of the semidefinite variables and their
            dual matrices, dense symmetric, one per variable, when it has any.
        certificate: a `Certificate` when the problem is proven infeasible or
            unbounded, else None.
        solve_time: seconds spent by the optimizer.
        iterations: interior-point plus simplex iterations.
        nodes: branch-and-bound nodes.
        stale: True when the model was changed after the solve; the result
            then promises nothing (status UNKNOWN, no values) and `reason`
            says what changed.
        reason: why the result is not what the optimizer established, or
            None.
        start: the best primal point known (x of the solve, also of a stale
            or interrupted one).
        penalty, violations: of `Model.repair` (see there), else absent.
        history: the course of the run (`velto.history`): one row per
            interior-point iteration or branch-and-bound report, a pandas
            DataFrame (a dict of numpy arrays without pandas); None when
            the result did not come from `Model.solve`.
    """

    history = None

    status: Status
    termination: Termination
    response: ResponseCode
    solution: Optional[SolutionType]
    problem_status: ProblemStatus
    solution_status: SolutionStatus
    objective: Optional[float]
    dual_objective: Optional[float]
    primal_bound: Optional[float]
    dual_bound: Optional[float]
    mip_gap: Optional[float]
    x: Optional[np.ndarray]
    row_activity: Optional[np.ndarray]
    y: Optional[np.ndarray]
    reduced_costs: Optional[np.ndarray]
    slc: Optional[np.ndarray]
    suc: Optional[np.ndarray]
    slx: Optional[np.ndarray]
    sux: Optional[np.ndarray]
    cone_duals: Optional[np.ndarray]
    acc_duals: Optional[List[np.ndarray]]
    psd_x: Optional[List[np.ndarray]]
    psd_duals: Optional[List[np.ndarray]]
    certificate: Optional[Certificate]
    solve_time: float
    iterations: int
    nodes: int
    stale: bool
    reason: Optional[str]
    start: Optional[np.ndarray]
    penalty: Optional[float]  # of Model.repair
    violations: Any  # of Model.repair

    def __init__(self, **fields):
        self.stale, self.reason, self.start = False, None, fields.get("x")
        self.__dict__.update(fields)

    @property
    def optimal(self):
        """True when the solution is optimal."""
        return self.status is Status.OPTIMAL

    def plot(self, ax=None, title=None):
        """Draws the history with matplotlib and returns the Axes: the
        interior point's residuals, gap and mu per iteration on a log scale,
        or branch and bound's incumbent and bound over time."""
        from .history import plot
        return plot(self.history, ax, title)

    def __repr__(self):
        solution = self.solution.name if self.solution is not None else None
        stale = ", stale" if self.stale else ""
        return (f"Result({self.status.name}, termination={self.termination.name}, solution={solution}, "
                f"objective={self.objective!r}{stale})")


_VALUES = ("objective", "dual_objective", "primal_bound", "dual_bound", "mip_gap", "x", "row_activity", "y",
           "reduced_costs", "slc", "suc", "slx", "sux", "cone_duals", "acc_duals", "psd_x", "psd_duals",
           "certificate")


def stale_result(result, reason):
    """The result of a solve whose model has changed since: it promises
    nothing (status UNKNOWN, no values), says why, and keeps the old point
    as a start."""
    fields = dict(result.__dict__)
    fields.update({name: None for name in _VALUES})
    fields.update(status=Status.UNKNOWN, problem_status=ProblemStatus.UNKNOWN,
                  solution_status=SolutionStatus.UNKNOWN, stale=True, reason=reason, start=result.start)
    return Result(**fields)


def empty_result(termination_code, info):
    """The result of a run that defined no solution."""
    return Result(status=Status.UNKNOWN, termination=Termination.of(termination_code),
                  response=ResponseCode(termination_code), solution=None,
                  problem_status=ProblemStatus.UNKNOWN, solution_status=SolutionStatus.UNKNOWN,
                  objective=None, dual_objective=None, primal_bound=None, dual_bound=None, mip_gap=None,
                  x=None, row_activity=None, y=None, reduced_costs=None, slc=None, suc=None, slx=None, sux=None,
                  cone_duals=None, acc_duals=None, psd_x=None, psd_duals=None, certificate=None,
                  **info)


def solution_result(termination_code, sol, problem_status, solution_status, values, objectives, mip, info,
                    var_cones=False):
    """The result of a run from one of the task's solutions: `values` maps
    xc, xx, y, slc, suc, slx, sux, snx to arrays, doty to the list of the
    conic constraints' duals and barx, bars to the lists of the semidefinite
    values (each None when there are none), `objectives` holds the
    primal and dual objective values, `mip` the bound and gap of a
    mixed-integer run (or None); `var_cones` says whether the model has
    cones on variables, whose duals snx are then reported."""
    status = status_of(problem_status, solution_status)
    primal = solution_status in PRIMAL_SOLUTION
    dual = solution_status in DUAL_SOLUTION and sol != SolutionType.ITG
    reduced = values["slx"] - values["sux"]
    certificate = None
    if solution_status == _SS.PRIM_INFEAS_CER:
        certificate = Certificate(Status.INFEASIBLE, y=values["y"], reduced_costs=reduced)
    elif solution_status == _SS.DUAL_INFEAS_CER:
        certificate = Certificate(Status.UNBOUNDED, x=values["xx"], row_activity=values["xc"])
    primal_objective, dual_objective = objectives
    objective = primal_objective if primal else None
    if mip is not None:
        dual_bound, gap = mip
    else:
        dual_bound, gap = (dual_objective if dual else None), None
    return Result(status=status, termination=Termination.of(termination_code),
                  response=ResponseCode(termination_code), solution=SolutionType(sol),
                  problem_status=problem_status, solution_status=solution_status,
                  objective=objective, dual_objective=dual_objective if dual else None,
                  primal_bound=objective, dual_bound=dual_bound, mip_gap=gap,
                  x=values["xx"] if primal else None, row_activity=values["xc"] if primal else None,
                  y=values["y"] if dual else None, reduced_costs=reduced if dual else None,
                  slc=values["slc"] if dual else None, suc=values["suc"] if dual else None,
                  slx=values["slx"] if dual else None, sux=values["sux"] if dual else None,
                  cone_duals=values["snx"] if dual and var_cones else None,
                  acc_duals=values.get("doty") if dual else None,
                  psd_x=values.get("barx") if primal else None, psd_duals=values.get("bars") if dual else None,
                  certificate=certificate, **info)
