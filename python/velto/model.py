"""A thin Pythonic layer over `_vlt.Task`: build, solve and read a linear,
quadratic (objective and constraints) or mixed-integer problem with plain
Python sequences.

    m = velto.Model()
    x = m.add_variables(2, lb=0, obj=[1, 2])
    m.add_constraint({x[0]: 1, x[1]: 1}, lb=1)
    result = m.solve()
    result.objective, result.x

Every library failure raises `velto.Error` carrying the response code and the
library's message; the underlying task stays available as `Model.task`.
"""
import math
from array import array

from _vlt import Task

from ._constants import (BoundKey, ObjectiveSense, ProblemStatus, SolutionStatus, SolutionType, StreamType,
                         VariableType)

INF = math.inf


class Error(Exception):
    """A library call failed: `code` is its response code."""

    def __init__(self, code, message):
        super().__init__(f"{message} (response code {code})")
        self.code = code


def _ints(values):
    return memoryview(array("i", values))


def _doubles(values):
    return memoryview(array("d", values))


def bound_key(lb, ub):
    """The bound key that says which of lb and ub are finite."""
    lo, up = lb > -INF, ub < INF
    if lo and up:
        return BoundKey.FX if lb == ub else BoundKey.RA
    if lo:
        return BoundKey.LO
    return BoundKey.UP if up else BoundKey.FR


def _broadcast(value, n, name):
    if isinstance(value, (int, float)):
        return [float(value)] * n
    values = [float(v) for v in value]
    if len(values) != n:
        raise ValueError(f"{name} has {len(values)} values for {n} items")
    return values


class Result:
    """What a solve gives back: statuses, objective values and the point."""

    def __init__(self, solution, termination, problem_status, solution_status, objective, dual_objective, x, y):
        self.solution = solution
        self.termination = termination
        self.problem_status = problem_status
        self.solution_status = solution_status
        self.objective = objective
        self.dual_objective = dual_objective
        self.x = x
        self.y = y

    @property
    def optimal(self):
        return self.solution_status in (SolutionStatus.OPTIMAL, SolutionStatus.INTEGER_OPTIMAL)

    def __repr__(self):
        return (f"Result({self.solution.name}, {self.problem_status.name}, {self.solution_status.name}, "
                f"objective={self.objective!r})")


class Model:
    """An optimization problem held by a `_vlt.Task`."""

    def __init__(self, env=None, log=None):
        self.task = Task(env)
        self._errors = []
        self.task.set_Stream(StreamType.ERR, self._errors.append)
        if log is not None:
            self.task.set_Stream(StreamType.LOG, log)

    def _check(self, result):
        res, value = result
        if res != 0:
            message = self._errors[-1].strip() if self._errors else "library call failed"
            raise Error(res, message)
        return value

    # ------------------------------------------------------------- building
    @property
    def num_variables(self):
        return self._check(self.task.getnumvar__1())

    @property
    def num_constraints(self):
        return self._check(self.task.getnumcon__1())

    def add_variables(self, n, lb=0.0, ub=INF, obj=0.0, integer=False):
        """Appends n variables; returns their indexes."""
        first = self.num_variables
        lbs, ubs, cs = _broadcast(lb, n, "lb"), _broadcast(ub, n, "ub"), _broadcast(obj, n, "obj")
        self._check(self.task.appendvars_i_2(n))
        keys = [bound_key(l, u) for l, u in zip(lbs, ubs)]
        last = first + n
        self._check(self.task.putvarboundslice_iiOOO_6(first, last, _ints(keys), _doubles(lbs), _doubles(ubs)))
        self._check(self.task.putcslice_iiO_4(first, last, _doubles(cs)))
        if integer:
            self._check(self.task.putvartypelist_OO_3(_ints(range(first, last)), _ints([VariableType.INT] * n)))
        return list(range(first, last))

    def add_constraint(self, coefficients, lb=-INF, ub=INF):
        """Appends the constraint lb <= sum a_j x_j <= ub; coefficients is a
        mapping {j: a_j} or a pair of sequences (indexes, values)."""
        if hasattr(coefficients, "items"):
            subj, vals = list(coefficients.keys()), [float(v) for v in coefficients.values()]
        else:
            subj, vals = list(coefficients[0]), [float(v) for v in coefficients[1]]
        i = self.num_constraints
        self._check(self.task.appendcons_i_2(1))
        self._check(self.task.putarow_iOO_4(i, _ints(subj), _doubles(vals)))
        self._check(self.task.putconbound_iidd_5(i, bound_key(lb, ub), float(lb), float(ub)))
        return i

    def set_objective(self, coefficients=None, sense="minimize", constant=0.0):
        """Sets the linear objective (a sequence over all variables or a
        mapping {j: c_j}), its sense and constant."""
        if coefficients is not None:
            if hasattr(coefficients, "items"):
                subj, vals = list(coefficients.keys()), [float(v) for v in coefficients.values()]
            else:
                vals = [float(v) for v in coefficients]
                subj = list(range(len(vals)))
            self._check(self.task.putclist_OO_3(_ints(subj), _doubles(vals)))
        sense_code = ObjectiveSense.MAXIMIZE if str(sense).lower().startswith("max") else ObjectiveSense.MINIMIZE
        self._check(self.task.putobjsense_i_2(sense_code))
        self._check(self.task.putcfix_d_2(float(constant)))

    @staticmethod
    def _lower_triangle(terms):
        """{(i, j): q} over either triangle -> (subi, subj, val) of the lower one."""
        merged = {}
        for (i, j), v in terms.items():
            key = (max(i, j), min(i, j))
            if key in merged:
                raise ValueError(f"the entry ({i}, {j}) is given twice (once per triangle?)")
            merged[key] = float(v)
        keys = list(merged)
        return _ints([k[0] for k in keys]), _ints([k[1] for k in keys]), _doubles(list(merged.values()))

    def set_quadratic_objective(self, terms):
        """Sets the quadratic part 0.5 x'Qx of the objective: terms maps
        (i, j) to Q[i, j], one entry per symmetric pair (Q[i, i] for the
        diagonal: {(0, 0): 2} adds x0^2)."""
        self._check(self.task.putqobj_OOO_4(*self._lower_triangle(terms)))

    def add_quadratic_constraint(self, coefficients, terms, lb=-INF, ub=INF):
        """Appends lb <= a'x + 0.5 x'Qx <= ub (convex: Q positive semidefinite
        with an upper bound, negative semidefinite with a lower bound)."""
        i = self.add_constraint(coefficients, lb, ub)
        self._check(self.task.putqconk_iOOO_5(i, *self._lower_triangle(terms)))
        return i

    def read(self, path):
        """Reads a problem file (MPS, plain or gzip-compressed) into the model."""
        self._check(self.task.readdataautoformat_s_2(str(path)))

    # -------------------------------------------------------------- solving
    def solve(self):
        """Optimizes and returns the Result of the most informative solution:
        the integer one for a mixed-integer problem, else the basic one when
        defined, else the interior-point one."""
        termination = self._check(self.task.optimizetrm__1())
        for sol in (SolutionType.ITG, SolutionType.BAS, SolutionType.ITR):
            if self._check(self.task.solutiondef_i_2(sol)):
                return self._result(sol, termination)
        raise Error(termination, "the optimizer defined no solution")

    def _result(self, sol, termination):
        prosta = ProblemStatus(self._check(self.task.getprosta_i_2(sol)))
        solsta = SolutionStatus(self._check(self.task.getsolsta_i_2(sol)))
        x, y = bytearray(), bytearray()
        self._check(self.task.getxx_iO_2(sol, x))
        self._check(self.task.gety_iO_2(sol, y))
        objective = self._check(self.task.getprimalobj_i_2(sol))
        dual_objective = self._check(self.task.getdualobj_i_2(sol))
        return Result(SolutionType(sol), termination, prosta, solsta, objective, dual_objective,
                      list(memoryview(x).cast("d")), list(memoryview(y).cast("d")))
