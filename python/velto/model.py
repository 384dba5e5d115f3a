"""`velto.Model`: build, solve and read back an optimization problem held by
a `_vlt.Task`, with plain Python numbers and sequences, numpy arrays and
scipy.sparse matrices.

    m = velto.Model()
    x = m.add_variables(2, lb=0, obj=[1, 2])
    m.add_constraint({x[0]: 1, x[1]: 1}, lb=1)
    result = m.solve()
    result.objective, result.x

Variables, constraints, cones and affine conic constraints are numbered from
0 in the order they are added.  Every library failure raises `velto.Error`
with the library's explanation; a failed call leaves the model as it was.
The underlying task stays available as `Model.task`.
"""
import functools
import io
import math
import os
import tempfile
import time
from typing import Any, Callable, Dict, Iterable, NamedTuple, Optional, Sequence, TypeVar, Union, cast

import numpy as np
from _vlt import Task

from . import _arrays as arr
from . import options as opt
from ._constants import (BoundKey, CallbackCode, CompressionType, ConeType, DataFormat, DInfItem, FeasRepairType,
                         IInfItem, IParam, LIInfItem, Mark, ObjectiveSense, OnOff, ProblemStatus, ResponseCode,
                         SolutionStatus, SolutionType, StreamType, VariableType)
from .conic import domain_appender, svec
from .errors import Error, Interrupted, check, error_of
from .history import Recorder
from .progress import STREAM_LEVELS, SolveMonitor, StreamForwarder, logger
from .result import Result, Status, Termination, empty_result, solution_result, stale_result
from .variables import Variable, Variables, foreign_variable

INF = math.inf

Number = Union[int, float]
Values = Union[Number, Sequence[Number], np.ndarray]
Coefficients = Union[Dict[int, Number], tuple, Any]

_SENSES = {"min": ObjectiveSense.MINIMIZE, "minimize": ObjectiveSense.MINIMIZE,
           "max": ObjectiveSense.MAXIMIZE, "maximize": ObjectiveSense.MAXIMIZE}
_SOLUTION_ARRAYS = ("xc", "xx", "y", "slc", "suc", "slx", "sux", "snx")


def objective_sense(sense):
    """The ObjectiveSense of velto.ObjectiveSense or of 'min', 'max',
    'minimize', 'maximize' (any case); anything else is refused."""
    if isinstance(sense, ObjectiveSense):
        return sense
    if isinstance(sense, str) and sense.strip().lower() in _SENSES:
        return _SENSES[sense.strip().lower()]
    raise ValueError(f"unknown objective sense {sense!r}: use velto.ObjectiveSense.MINIMIZE or MAXIMIZE, "
                     "'minimize' or 'maximize'")


def bound_key(lb, ub):
    """The bound key that says which of lb and ub are finite."""
    return BoundKey(int(arr.bound_keys(np.array([float(lb)]), np.array([float(ub)]))[0]))


def _data_format(fmt):
    if fmt is None:
        return None
    if isinstance(fmt, DataFormat):
        return fmt
    key = str(fmt).lower().lstrip(".").replace("-", "_")
    aliases = {"mps": "MPS", "free_mps": "FREE_MPS", "lp": "LP", "opf": "OPF", "cbf": "CBF", "ptf": "PTF",
               "json": "JSON_TASK", "jtask": "JSON_TASK", "json_task": "JSON_TASK", "task": "TASK"}
    if key not in aliases:
        raise ValueError(f"unknown file format {fmt!r}; the formats are " + ", ".join(sorted(aliases)))
    return DataFormat[aliases[key]]


_Method = TypeVar("_Method", bound=Callable[..., Any])


def _edits(method: _Method) -> _Method:
    """Marks a method that changes the problem: a result of an earlier
    solve goes stale once it has been called."""
    @functools.wraps(method)
    def edit(self, *args, **kwargs):
        self._changed(method.__name__)
        return method(self, *args, **kwargs)
    return cast(_Method, edit)


def _is_task_file(path, fmt):
    """Whether a file holds the library's lossless binary task format (its
    own reader and writer keep every part of a task)."""
    if fmt is not None:
        return fmt == DataFormat.TASK
    name = path.lower()
    return any(name.endswith(".task" + z) for z in ("", ".gz", ".zst"))


class Model:
    """An optimization problem held by a `_vlt.Task`.

    Args:
        env: the `velto.Env` to create the task in (None: the library's
            global environment).  Keep it alive while the model lives.
        log: a callable that receives the library's log, message and warning
            text as it comes.  The same lines go to the `velto` logger
            (`logging.getLogger("velto")`) in any case.
        name: the problem's name.

    A model is a context manager that disposes its task on exit.  Separate
    models may be built and solved in separate threads at once; one model
    is used by one thread at a time.
    """

    def __init__(self, env=None, log: Optional[Callable[[str], Any]] = None, name: Optional[str] = None):
        self.env, self._log = env, log
        self.task = Task(env)
        self._monitor = SolveMonitor()
        self._install_callables()
        self._revision, self._change = 0, None
        self._solved: Optional[tuple] = None  # (revision, Result) of the last solve
        self._options: Dict[Any, Any] = {}  # the persistent options, parameter -> value
        if name is not None:
            self.name = name

    def _install_callables(self):
        """The task's streams forwarded to the logger (and the log callable),
        and velto's progress callable."""
        for stream, level in STREAM_LEVELS.items():
            user = self._log if stream != StreamType.ERR else None
            self.task.set_Stream(stream, StreamForwarder(level, user))
        self.task.set_Progress(self._monitor.progress)

    # ---------------------------------------------------------- lifecycle
    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.dispose()

    def dispose(self):
        """Frees the library's task; the model cannot be used afterwards."""
        self.task.dispose()

    def __repr__(self):
        (res_var, numvar), (res_con, numcon) = self.task.getnumvar__1(), self.task.getnumcon__1()
        if res_var or res_con:
            return "Model(disposed)"
        return f"Model({numvar} variables, {numcon} constraints)"

    def _check(self, result):
        return check(self.task, result)

    def _changed(self, what):
        """Records a change of the problem (what: the method that made it)."""
        self._revision += 1
        if self._change is None:
            self._change = what

    def _own(self, values, what="a variable"):
        """Refuses variables of another model among values."""
        other = foreign_variable(values, self)
        if other is not None:
            raise ValueError(f"{what} refers to {other!r} of another model")

    # ------------------------------------------------------------- sizes
    @property
    def num_variables(self) -> int:
        """The number of variables."""
        return self._check(self.task.getnumvar__1())

    @property
    def num_constraints(self) -> int:
        """The number of constraints."""
        return self._check(self.task.getnumcon__1())

    @property
    def name(self) -> str:
        """The problem's name."""
        text = bytearray()
        self._check(self.task.gettaskname_O_1(text))
        return text.split(b"\0")[0].decode()

    @name.setter
    def name(self, value: str):
        if not isinstance(value, str):
            raise TypeError(f"a name is a text, not {type(value).__name__}")
        self._check(self.task.puttaskname_s_2(str(value)))

    # ---------------------------------------------------------- variables
    @_edits
    def add_variables(self, n: int, lb: Values = 0.0, ub: Values = INF, obj: Values = 0.0,
                      integer: Union[bool, Sequence[bool]] = False,
                      names: Optional[Sequence[str]] = None) -> Variables:
        """Appends n variables with bounds lb <= x <= ub and objective
        coefficients obj (each a number or n values; -inf and inf mean no
        bound); integer is one truth value or n (True/False, not 'yes' or
        1.0); names, when given, n new distinct texts.  Returns the block of
        new variables (`x[0]`, `x[1:]`, `np.asarray(x)`), whose items this
        model alone takes."""
        n = arr.count(n, "the number of variables")
        keys, lbs, ubs = arr.bounds(lb, ub, n)
        cs, kinds = arr.doubles(obj, "obj", n), arr.flags(integer, "integer", n)
        self._check_names(names, n, self.variable_index)
        first = self.num_variables
        last = first + n
        self._check(self.task.appendvars_i_2(n))
        try:
            self._check(self.task.putvarboundslice_iiOOO_6(first, last, arr.view(keys), arr.view(lbs),
                                                            arr.view(ubs)))
            self._check(self.task.putcslice_iiO_4(first, last, arr.view(cs)))
            if kinds.any():
                subset = np.arange(first, last, dtype=np.int32)[kinds]
                types = np.full(subset.size, int(VariableType.INT), dtype=np.int32)
                self._check(self.task.putvartypelist_OO_3(arr.view(subset), arr.view(types)))
            if names is not None:
                self._put_names(self.task.putvarname_is_3, first, names)
        except BaseException:
            self.task.removevars_O_2(arr.view(np.arange(first, last, dtype=np.int32)))
            raise
        return Variables(first, last, self)

    def add_variable(self, lb: Number = 0.0, ub: Number = INF, obj: Number = 0.0, integer: bool = False,
                     name: Optional[str] = None) -> Variable:
        """Appends one variable; returns it."""
        return self.add_variables(1, lb, ub, obj, integer, None if name is None else [name])[0]

    @_edits
    def set_variable_bounds(self, variables, lb: Values = -INF, ub: Values = INF):
        """Sets the bounds of the given variables (an index or indexes)."""
        self._own(variables)
        self._put_bound_list(self.task.putvarboundlist_OOOO_5, variables, lb, ub, "variables")

    def _put_bound_list(self, put, items, lb, ub, what):
        sub = arr.indexes(items, what)
        keys, lbs, ubs = arr.bounds(lb, ub, sub.size)
        self._check(put(arr.view(sub), arr.view(keys), arr.view(lbs), arr.view(ubs)))

    @_edits
    def set_integer(self, variables, integer: bool = True):
        """Makes the given variables integer (or continuous again)."""
        self._own(variables)
        if not isinstance(integer, (bool, np.bool_)):
            raise TypeError(f"integer must be True or False, not {integer!r}")
        sub = arr.indexes(variables, "variables")
        kind = VariableType.INT if integer else VariableType.CONT
        types = np.full(sub.size, int(kind), dtype=np.int32)
        self._check(self.task.putvartypelist_OO_3(arr.view(sub), arr.view(types)))

    # -------------------------------------------------------- constraints
    def add_constraint(self, coefficients: Coefficients, lb: Number = -INF, ub: Number = INF,
                       name: Optional[str] = None) -> int:
        """Appends the constraint lb <= sum a_j x_j <= ub; coefficients is a
        mapping {j: a_j}, a pair (indexes, values) or a scipy.sparse row.
        Returns its index."""
        self._own(coefficients)
        sub, val = arr.linear_terms(coefficients)
        ptr = np.array([0, sub.size], dtype=np.int64)
        return self._add_rows(arr.RowBlock(ptr, sub, val, 1), lb, ub, None if name is None else [name])[0]

    def add_constraints(self, A, lb: Values = -INF, ub: Values = INF,
                        names: Optional[Sequence[str]] = None) -> range:
        """Appends the constraints lb <= A x <= ub, one per row of A: a
        scipy.sparse matrix (any format), a dense 2-D array, a list of
        {j: a_j} mappings, or a triplet (rows, columns, values) whose rows
        count from 0 within the new block (as many rows as lb or ub has
        values, else up to the largest row index).  Returns their indexes."""
        count = None
        for bound in (lb, ub):
            if np.ndim(bound) == 1:
                count = np.shape(bound)[0]
        if not arr.is_sparse(A) and not isinstance(A, np.ndarray):
            self._own(A)
        block = arr.row_block(A, "A", count)
        return self._add_rows(block, lb, ub, names)

    @_edits
    def _add_rows(self, block, lb, ub, names):
        n = block.num_rows
        keys, lbs, ubs = arr.bounds(lb, ub, n)
        self._check_names(names, n, self.constraint_index)
        if block.max_column >= self.num_variables:
            raise ValueError(f"a constraint refers to variable {block.max_column}, but the model has "
                             f"{self.num_variables} variables")
        first = self.num_constraints
        last = first + n
        self._check(self.task.appendcons_i_2(n))
        try:
            if block.sub.size:
                self._check(self.task.putarowslice64_iiOOOO_7(
                    first, last, arr.view(block.ptr[:-1]), arr.view(block.ptr[1:]), arr.view(block.sub),
                    arr.view(block.val)))
            self._check(self.task.putconboundslice_iiOOO_6(first, last, arr.view(keys), arr.view(lbs),
                                                            arr.view(ubs)))
            if names is not None:
                self._put_names(self.task.putconname_is_3, first, names)
        except BaseException:
            self.task.removecons_O_2(arr.view(np.arange(first, last, dtype=np.int32)))
            raise
        return range(first, last)

    @_edits
    def set_constraint_bounds(self, constraints, lb: Values = -INF, ub: Values = INF):
        """Sets the bounds of the given constraints (an index or indexes)."""
        self._put_bound_list(self.task.putconboundlist_OOOO_5, constraints, lb, ub, "constraints")

    # ----------------------------------------------------------- objective
    @_edits
    def set_objective(self, coefficients: Optional[Coefficients] = None, sense=None,
                      constant: Optional[Number] = None):
        """Sets the linear objective, its sense and its constant; what is not
        given is left as it was.  coefficients is a sequence of one value
        per variable, a mapping {j: c_j}, a pair (indexes, values) or a
        scipy.sparse row; sense is
        velto.ObjectiveSense or 'minimize' / 'maximize' ('min' / 'max')."""
        code = None if sense is None else objective_sense(sense)
        self._own(coefficients)
        if coefficients is not None:
            if hasattr(coefficients, "items") or isinstance(coefficients, tuple) or arr.is_sparse(coefficients):
                sub, val = arr.linear_terms(coefficients)
                self._check(self.task.putclist_OO_3(arr.view(sub), arr.view(val)))
            else:
                n = self.num_variables
                self._check(self.task.putcslice_iiO_4(0, n, arr.view(arr.doubles(coefficients, "coefficients",
                                                                                     n))))
        if code is not None:
            self._check(self.task.putobjsense_i_2(code))
        if constant is not None:
            self._check(self.task.putcfix_d_2(float(constant)))

    @property
    def sense(self) -> ObjectiveSense:
        """The objective sense."""
        return ObjectiveSense(self._check(self.task.getobjsense__1()))

    @sense.setter
    def sense(self, value):
        self._changed("sense")
        self._check(self.task.putobjsense_i_2(objective_sense(value)))

    @_edits
    def set_quadratic_objective(self, Q, triangle: Optional[str] = None):
        """Sets the quadratic part 0.5 x'Qx of the objective: Q is a mapping
        {(i, j): Q[i, j]} with one entry per symmetric pair (Q[i, i] for the
        diagonal: {(0, 0): 2} adds x0^2), or a scipy.sparse matrix or dense
        array that must be symmetric; a matrix that holds one triangle only
        is taken with triangle='lower' or 'upper' (its mirror is implied).
        A matrix that is not symmetric is refused: it would mean a
        different problem depending on which triangle were read."""
        self._own(Q)
        self._check(self.task.putqobj_OOO_4(*map(arr.view, arr.lower_triangle(Q, "Q", triangle))))

    def add_quadratic_constraint(self, coefficients: Coefficients, Q, lb: Number = -INF, ub: Number = INF,
                                 name: Optional[str] = None, triangle: Optional[str] = None) -> int:
        """Appends lb <= a'x + 0.5 x'Qx <= ub (convex: Q positive semidefinite
        with an upper bound, negative semidefinite with a lower bound); Q and
        triangle as in set_quadratic_objective."""
        self._own(Q)
        triangle = arr.lower_triangle(Q, "Q", triangle)
        i = self.add_constraint(coefficients, lb, ub, name)
        try:
            self._check(self.task.putqconk_iOOO_5(i, *map(arr.view, triangle)))
        except BaseException:
            self.task.removecons_O_2(arr.view(np.array([i], dtype=np.int32)))
            raise
        return i

    # ---------------------------------------------------------------- cones
    @_edits
    def add_cone(self, members: Iterable[int], kind: Union[str, ConeType] = "quadratic") -> int:
        """Puts the given variables in a cone: 'quadratic'
        (x0 >= ||x1..||) or 'rotated_quadratic' (2 x0 x1 >= ||x2..||^2,
        x0, x1 >= 0), or a velto.ConeType.  A variable belongs to at most one
        cone.  Returns the cone's index."""
        kinds = {"quadratic": ConeType.QUAD, "rotated_quadratic": ConeType.RQUAD}
        if not isinstance(kind, ConeType):
            if kind not in kinds:
                raise ValueError(f"unknown cone {kind!r}; use 'quadratic', 'rotated_quadratic' or velto.ConeType")
            kind = kinds[kind]
        members = list(members)
        self._own(members)
        sub = arr.indexes(members, "members")
        k = self._check(self.task.getnumcone__1())
        self._check(self.task.appendcone_idO_4(kind, 0.0, arr.view(sub)))
        return k

    @_edits
    def add_conic_constraint(self, domain: str, F, g: Optional[Values] = None, *,
                             alpha: Optional[Sequence[float]] = None, name: Optional[str] = None,
                             psd: Optional[Sequence[tuple]] = None) -> int:
        """Appends the affine conic constraint F x + g in the domain: F is a
        matrix with one row per member of the domain (as A in
        add_constraints), g a vector (zero when not given).  psd adds terms
        of semidefinite variables: (row, j, C) adds <C, X_j> to that row (C
        symmetric, as in set_psd_objective).  Returns its index.

        The domains and the order of their members (the rows of F, top down):
        'quadratic' (t, x): t >= ||x||;
        'rotated_quadratic' (u, v, x): 2 u v >= ||x||^2, u, v >= 0;
        'nonnegative', 'nonpositive', 'zero', 'free': each row >= 0, <= 0,
        = 0, anything;
        'exponential' (u, v, w): u >= v exp(w / v), u, v >= 0;
        'dual_exponential' (u, v, w): u >= -w exp(v / w - 1), u >= 0, w <= 0;
        'power' with weights alpha (k of them) (x_1..x_k, z):
        prod x_i^(alpha_i / sum alpha) >= ||z||, x >= 0;
        'dual_power' (s_1..s_k, z): prod (s_i / a_i)^a_i >= ||z|| with
        a = alpha / sum alpha;
        'geometric_mean' (x_1..x_{n-1}, t): (prod x_i)^(1/(n-1)) >= |t|;
        'dual_geometric_mean' (s_1..s_{n-1}, t): (n-1) (prod s_i)^(1/(n-1))
        >= |t|, s >= 0;
        'psd' (d(d+1)/2 rows): the lower triangle of a symmetric matrix
        column by column, off-diagonal elements times sqrt(2) (velto.svec
        makes these rows of a matrix; add_psd_constraint takes matrices)."""
        if not arr.is_sparse(F) and not isinstance(F, np.ndarray):
            self._own(F)
        block = arr.row_block(F, "F", None if g is None or np.ndim(g) == 0 else np.shape(g)[0])
        n = block.num_rows
        gs = arr.doubles(0.0 if g is None else g, "g", n)
        if block.max_column >= self.num_variables:
            raise ValueError(f"F refers to variable {block.max_column}, but the model has "
                             f"{self.num_variables} variables")
        append_domain = domain_appender(domain, n, alpha)
        # The domain first: it is where the library judges the dimension.
        d = self._check(append_domain(self.task))
        first = self._append_afes(block, gs)
        for row, j, C in psd or ():
            if not 0 <= row < n:
                raise ValueError(f"a psd term names row {row} of a constraint of {n} rows")
            term = np.array([self._symmetric_matrix(j, C)], dtype=np.int64)
            self._check(self.task.putafebarfentry_LiOO_5(first + int(row), int(j), arr.view(term),
                                                          arr.view(np.ones(1))))
        index = self._check(self.task.getnumacc__1())
        afes = np.arange(first, first + n, dtype=np.int64)
        self._check(self.task.appendacc_LOO_4(d, arr.view(afes), None))
        if name is not None:
            self._check(self.task.putaccname_Ls_3(index, str(name)))
        return index

    @_edits
    def add_conic_constraints(self, domain: str, F, g: Optional[Values] = None, *, size: int,
                              alpha: Optional[Sequence[float]] = None) -> range:
        """Appends many affine conic constraints of one domain in one call:
        F x + g stacked, `size` consecutive rows for each constraint (so F
        has count * size rows), every block in the domain (as in
        add_conic_constraint, with the same member order).  Returns the
        constraints' indexes.  For 5,000 exponential cones:
        add_conic_constraints('exponential', F, g, size=3) with F of 15,000
        rows."""
        size = arr.count(size, "size")
        if not arr.is_sparse(F) and not isinstance(F, np.ndarray):
            self._own(F)
        block = arr.row_block(F, "F", None if g is None or np.ndim(g) == 0 else np.shape(g)[0])
        n = block.num_rows
        if size == 0 or n % size:
            raise ValueError(f"F has {n} rows, not a multiple of the size {size} of each constraint")
        gs = arr.doubles(0.0 if g is None else g, "g", n)
        if block.max_column >= self.num_variables:
            raise ValueError(f"F refers to variable {block.max_column}, but the model has "
                             f"{self.num_variables} variables")
        d = self._check(domain_appender(domain, size, alpha)(self.task))
        first = self._append_afes(block, gs)
        index = self._check(self.task.getnumacc__1())
        count = n // size
        self._check(self.task.appendaccsseq_OLLO_5(arr.view(np.full(count, d, dtype=np.int64)), n, first, None))
        return range(index, index + count)

    @_edits
    def add_psd_constraint(self, terms: Dict[Any, Any], G=None, triangle: Optional[str] = None) -> int:
        """Appends the linear matrix inequality sum_j x_j A_j + G >= 0
        (positive semidefinite): terms maps variables to symmetric matrices
        A_j (dense or scipy.sparse, all of one order), G a symmetric matrix
        of that order (zero when not given); triangle as in
        set_quadratic_objective.  Returns the constraint's index."""
        self._own(terms)
        if not terms:
            raise ValueError("a semidefinite constraint needs at least one term")
        order = {np.shape(a)[0] for a in terms.values()} | ({np.shape(G)[0]} if G is not None else set())
        if len(order) != 1:
            raise ValueError(f"the matrices of a semidefinite constraint differ in order: {sorted(order)}")
        dim = order.pop()
        # One column of F per variable: the psd domain's rows of its matrix.
        variables = np.array([int(j) for j in terms], dtype=np.int32)
        stacked = np.column_stack([svec(a, triangle) for a in terms.values()])
        rows, cols = np.nonzero(stacked)
        g = np.zeros(dim * (dim + 1) // 2) if G is None else svec(G, triangle)
        return self.add_conic_constraint("psd", (rows, variables[cols], stacked[rows, cols]), g)

    # ------------------------------------------------------- semidefinite
    @_edits
    def add_psd_variable(self, dim: int, name: Optional[str] = None) -> int:
        """Appends a semidefinite variable: a symmetric dim x dim matrix X
        constrained to be positive semidefinite.  It enters the objective and
        the constraints through inner products <C, X> (set_psd_objective,
        set_psd_coefficient).  Returns its index."""
        dim = arr.count(dim, "the dimension")
        if dim < 1:
            raise ValueError(f"a semidefinite variable needs a dimension of at least 1, not {dim}")
        j = self._check(self.task.getnumbarvar__1())
        self._check(self.task.appendbarvars_O_2(arr.view(np.array([dim], dtype=np.int32))))
        if name is not None:
            try:
                self._check(self.task.putbarvarname_is_3(j, str(name)))
            except BaseException:
                self.task.removebarvars_O_2(arr.view(np.array([j], dtype=np.int32)))
                raise
        return j

    @_edits
    def set_psd_objective(self, j: int, C):
        """Makes <C, X_j> the objective's term of semidefinite variable j; C
        is a symmetric matrix as Q in set_quadratic_objective (a mapping over
        either triangle, a scipy.sparse matrix or a dense array)."""
        index = self._symmetric_matrix(j, C)
        self._check(self.task.putbarcj_iOO_4(int(j), arr.view(np.array([index], dtype=np.int64)),
                                             arr.view(np.ones(1))))

    @_edits
    def set_psd_coefficient(self, i: int, j: int, A):
        """Makes <A, X_j> the term of semidefinite variable j in constraint i."""
        index = self._symmetric_matrix(j, A)
        self._check(self.task.putbaraij_iiOO_5(int(i), int(j), arr.view(np.array([index], dtype=np.int64)),
                                               arr.view(np.ones(1))))

    def _symmetric_matrix(self, j, matrix):
        """Stores a symmetric matrix of the dimension of variable j; its index."""
        dim = self._check(self.task.getdimbarvarj_i_2(int(j)))
        return self._check(self.task.appendsparsesymmat_iOOO_5(dim, *map(arr.view, arr.lower_triangle(matrix, "C"))))

    @_edits
    def add_disjunction(self, terms: Sequence[Sequence[tuple]], name: Optional[str] = None) -> int:
        """Appends a disjunctive constraint: at least one of the terms holds.
        Each term is a list of linear constraints (coefficients, relation,
        rhs): coefficients as in add_constraint, relation '==', '>=' or
        '<='.  Where the variables' bounds (or rows) bound its terms, the
        optimizer turns the disjunction into binary variables and rows;
        otherwise it branches on the terms.  Returns its index."""
        relations = {"==": "zero", ">=": "nonnegative", "<=": "nonpositive"}
        self._own([term[0] for group in terms for term in group])
        rows, kinds, rhs, sizes = [], [], [], []
        for term in terms:
            sizes.append(len(term))
            for coefficients, relation, value in term:
                if relation not in relations:
                    raise ValueError(f"unknown relation {relation!r}; use '==', '>=' or '<='")
                rows.append(arr.linear_terms(coefficients))
                kinds.append(relations[relation])
                rhs.append(float(value))
        if not sizes or min(sizes) == 0:
            raise ValueError("a disjunction needs at least one term, and every term a constraint")
        block = arr.row_block([dict(zip(sub.tolist(), val.tolist())) for sub, val in rows], "terms")
        if block.max_column >= self.num_variables:
            raise ValueError(f"a term refers to variable {block.max_column}, but the model has "
                             f"{self.num_variables} variables")
        domains = {kind: self._check(domain_appender(kind, 1)(self.task)) for kind in set(kinds)}
        first = self._append_afes(block, np.zeros(block.num_rows))
        index = self._check(self.task.getnumdjc__1())
        self._check(self.task.appenddjcs_L_2(1))
        self._check(self.task.putdjc_LOOOO_6(index, arr.view(np.array([domains[k] for k in kinds], dtype=np.int64)),
                                              arr.view(np.arange(first, first + block.num_rows, dtype=np.int64)),
                                              arr.view(np.array(rhs)), arr.view(np.array(sizes, dtype=np.int64))))
        if name is not None:
            self._check(self.task.putdjcname_Ls_3(index, str(name)))
        return index

    def _append_afes(self, block, g):
        """Appends one affine expression per row of block (plus g); returns
        the index of the first."""
        n = block.num_rows
        first = self._check(self.task.getnumafe__1())
        self._check(self.task.appendafes_L_2(n))
        rows = np.repeat(np.arange(first, first + n, dtype=np.int64), np.diff(block.ptr))
        if block.sub.size:
            self._check(self.task.putafefentrylist_OOO_4(arr.view(rows), arr.view(block.sub),
                                                          arr.view(block.val)))
        self._check(self.task.putafegslice_LLO_4(first, first + n, arr.view(g)))
        return first

    # ---------------------------------------------------------------- names
    @staticmethod
    def _check_names(names, n, index_of):
        """Refuses names that are not n distinct texts, or that name an item
        already (index_of: the lookup of existing names)."""
        if names is None:
            return
        if isinstance(names, str) or len(names) != n:
            raise ValueError(f"names must be a sequence of {n} texts")
        for text in names:
            if not isinstance(text, str):
                raise TypeError(f"a name is a text, not {type(text).__name__} {text!r}")
        seen = set()
        for text in names:
            if text in seen or (text and index_of(text) is not None):
                raise ValueError(f"the name {text!r} is used twice")
            if text:
                seen.add(text)

    def _put_names(self, put, first, names):
        for k, text in enumerate(names):
            self._check(put(first + k, str(text)))

    def variable_name(self, j: int) -> str:
        """The name of variable j ('' when it has none)."""
        text = bytearray()
        self._check(self.task.getvarname_iO_2(int(j), text))
        return text.split(b"\0")[0].decode()

    def constraint_name(self, i: int) -> str:
        """The name of constraint i ('' when it has none)."""
        text = bytearray()
        self._check(self.task.getconname_iO_2(int(i), text))
        return text.split(b"\0")[0].decode()

    def variable_index(self, name: str) -> Optional[int]:
        """The index of the variable of that name, or None."""
        found, index = self._check(self.task.getvarnameindex_s_2(str(name)))
        return index if found else None

    def constraint_index(self, name: str) -> Optional[int]:
        """The index of the constraint of that name, or None."""
        found, index = self._check(self.task.getconnameindex_s_2(str(name)))
        return index if found else None

    # ---------------------------------------------------------------- files
    @_edits
    def read(self, path: Union[str, os.PathLike], format=None):
        """Replaces the model's problem by the one in a file (the options set
        on the model stay as they were).  The format is
        told from the name (.mps, .lp, .opf, .cbf, .ptf, .jtask, .task, each
        optionally .gz or .zst) unless given ('mps', 'lp', ... or
        velto.DataFormat)."""
        fmt, path = _data_format(format), os.fspath(path)
        if _is_task_file(path, fmt):
            self._check(self.task.readtask_s_2(path))
        elif fmt is None:
            self._check(self.task.readdataautoformat_s_2(path))
        else:
            self._check(self.task.readdataformat_sii_4(path, fmt, CompressionType.FREE))
        # A file may bring parameters; the options set on the model before
        # are set again over them.
        self._put_parameters(self._options.items())

    def write(self, target, format=None):
        """Writes the problem to a file (format told from the name, as in
        read, unless given) or to a binary stream such as io.BytesIO (the
        format is then required)."""
        fmt = _data_format(format)
        if hasattr(target, "write"):
            if fmt is None:
                raise ValueError("writing to a stream needs a format")
            if isinstance(target, io.TextIOBase):
                raise TypeError("write to a binary stream (open the file with 'wb')")
            res = self.task.writedatastream(fmt, CompressionType.NONE, target)
            self._check((res, None))
            return
        path = os.fspath(target)
        if _is_task_file(path, fmt):
            self._check(self.task.writetask_s_2(path))
        elif fmt is None:
            self._check(self.task.writedata_s_2(path))
        else:
            with open(path, "wb") as stream:
                self._check((self.task.writedatastream(fmt, CompressionType.NONE, stream), None))

    # -------------------------------------------------------------- options
    def set_options(self, parameters=None, /, **options):
        """Sets options, which stay set for later solves (and over the
        parameters of files read later): time_limit, threads, mip_gap,
        mip_gap_abs, node_limit, iteration_limit, feasibility_tol,
        optimality_tol, verbosity, optimizer, presolve (see
        velto.options.OPTIONS), and any of the library's parameters given as
        a mapping {velto.IParam.X: value, ...}.  Every value is checked
        before any is set."""
        pairs = self._set_parameters(opt.assignments({**(parameters or {}), **options}))
        self._options.update(pairs)

    def set_parameter(self, parameter, value):
        """Sets one of the library's parameters (a velto.IParam, DParam or
        SParam member); it stays set as an option does."""
        self.set_options({parameter: value})

    def _set_parameters(self, pairs):
        """Sets the (parameter, value) pairs, all or none; returns them as
        set (values converted for their parameters)."""
        coerced = [(p, opt.coerce(p, v)) for p, v in pairs]
        previous = [(p, self.get_parameter(p)) for p, _ in coerced]
        try:
            self._put_parameters(coerced)
        except Error:
            # The library refused a value: those set before it are put back.
            self._put_parameters(previous, check=False)
            raise
        return coerced

    def _put_parameters(self, pairs, check=True):
        setters = {"int": self.task.putintparam_ii_3, "double": self.task.putdouparam_id_3,
                   "str": self.task.putstrparam_is_3}
        for parameter, value in pairs:
            res = setters[opt.parameter_kind(parameter)](parameter, value)
            if check:
                self._check(res)

    def get_parameter(self, parameter):
        """The value of one of the library's parameters."""
        kind = opt.parameter_kind(parameter)
        if kind == "int":
            return self._check(self.task.getintparam_i_2(parameter))
        if kind == "double":
            return self._check(self.task.getdouparam_i_2(parameter))
        text = bytearray()
        self._check(self.task.getstrparam_iO_2(parameter, text))
        return text.split(b"\0")[0].decode()

    # -------------------------------------------------------------- solving
    def solve(self, *, progress: Optional[Callable[[CallbackCode], Any]] = None,
              info: Optional[Callable[..., Any]] = None, progress_bar: bool = False,
              remote: Optional[str] = None, access_token: str = "", start=None, **options) -> Result:
        """Optimizes and returns the Result.

        Options (as in set_options) apply to this solve only; the model's own
        are back afterwards.  progress(code) is called at each event of the
        run (a true result stops the optimizer, and the result then has the
        termination STOPPED); info(code, dinf, iinf, liinf) receives the
        information items; progress_bar shows a tqdm bar (when tqdm is
        installed; else a line a second on the `velto` logger).  Ctrl-C stops
        the optimizer and raises `velto.Interrupted` (a KeyboardInterrupt)
        whose `result` has the termination INTERRUPTED and the best solution
        found so far; the model stays usable.

        With remote="host:port" the problem is solved by a velto-server
        there (access_token when the server asks for one) and the solutions
        come back into the model.

        start: values of the variables (or a Result, whose `start` is taken)
        from which branch and bound starts a linear mixed-integer problem:
        when they make a feasible point, it is the first incumbent.  Values
        missing at the end (variables added since) are taken at a finite
        bound, else 0.  A continuous problem does not use it (a warning says
        so).
        """
        pairs = opt.assignments(options)
        if start is not None:
            pairs += self._put_start(start)
        previous = [(p, self.get_parameter(p)) for p, _ in pairs]
        self._set_parameters(pairs)
        try:
            termination, interrupted, history = self._optimize(progress, info, progress_bar, remote, access_token)
        finally:
            self._put_parameters(previous, check=False)
        result = self._record(termination, Termination.INTERRUPTED if interrupted else None)
        result.history = history
        if interrupted:
            raise Interrupted(result)
        return result

    def _put_start(self, start):
        """Puts a start into the integer solution; the options that make the
        optimizer use it."""
        values = start.start if isinstance(start, Result) else start
        if values is None:
            raise ValueError("the result holds no point to start from")
        values = arr.doubles(values, "start")
        n = self.num_variables
        if values.size > n:
            raise ValueError(f"the start has {values.size} values for {n} variables")
        if not np.all(np.isfinite(values)):
            raise ValueError("the start holds a value that is not a finite number")
        if values.size < n:
            lb, ub = self.variable_bounds()
            rest = np.where(np.isfinite(lb[values.size:]), lb[values.size:],
                            np.where(np.isfinite(ub[values.size:]), ub[values.size:], 0.0))
            values = np.concatenate([values, rest])
        if self._check(self.task.getnumintvar__1()) == 0:
            logger.warning("velto: a start is used by mixed-integer problems only; this one has no integer variable")
            return []
        self._check(self.task.putxx_iO_3(SolutionType.ITG, arr.view(values)))
        return [(IParam.MIO_CONSTRUCT_SOL, OnOff.ON)]

    def _optimize(self, progress, info, progress_bar, remote, access_token):
        """Runs the optimizer; (termination code, whether Ctrl-C stopped it,
        the run's history)."""
        monitor = self._monitor
        if progress is not None or info is not None or progress_bar:
            # Given callables are chained by velto's own; one set directly on
            # Model.task before took its place and is replaced here.
            monitor.start(progress, info, progress_bar)
            self.task.set_Progress(monitor.progress)
        # The history of the run is kept in any case (Result.history).
        recorder = Recorder(monitor.info if monitor.wants_info else None)
        self.task.set_InfoCallback(recorder)
        try:
            with monitor.watch:
                if remote is None:
                    return self._check(self.task.optimizetrm__1()), False, recorder.table()
                return self._check(self.task.optimizermt_ss_3(str(remote), str(access_token))), False, recorder.table()
        except KeyboardInterrupt:
            return int(ResponseCode.TRM_USER_CALLBACK), True, recorder.table()
        finally:
            self.task.remove_InfoCallback()
            monitor.finish()

    def _record(self, termination, override=None, result=None) -> Result:
        """The Result of the solutions just computed (or the given one, made
        elsewhere), kept as the model's current result (override: a
        Termination that replaces the code's)."""
        if result is None:
            result = self._read_result(termination, override)
        self._solved, self._change = (self._revision, result), None
        return result

    def result(self, termination=None) -> Result:
        """The Result of the last solve.  When the model was changed since
        (bounds, rows, variables, objective ...), it is stale: status
        UNKNOWN, no values, `stale` True and `reason` saying what changed,
        with the old point kept as `start`.  Without a solve, the task's
        current solutions (read from a file or put) with the termination
        NOT_SOLVED.  termination, a library code, makes this the Result of a
        run made outside solve (a batch).  Changes made on `Model.task`
        directly are not seen."""
        if termination is not None:
            return self._record(termination)
        if self._solved is None:
            return self._read_result(0, Termination.NOT_SOLVED)
        revision, result = self._solved
        if revision != self._revision:
            return stale_result(result, f"the model was changed after the solve ({self._change})")
        return result

    def _read_result(self, termination, override=None) -> Result:
        """The Result of the task's current solutions: the integer one for a
        mixed-integer problem, else the basic one when defined, else the
        interior-point one."""
        info = self._run_info()
        for sol in (SolutionType.ITG, SolutionType.BAS, SolutionType.ITR):
            if self._check(self.task.solutiondef_i_2(sol)):
                break
        else:
            result = empty_result(termination, info)
            if override is not None:
                result.termination = override
            return result
        buffers = [bytearray() for _ in range(11)]
        problem_status, solution_status = self._check(self.task.getsolution_iOOOOOOOOOOO_2(sol, *buffers))
        values = dict(zip(_SOLUTION_ARRAYS, (arr.from_bytes(b) for b in buffers[3:])))
        objectives = (self._check(self.task.getprimalobj_i_2(sol)), self._check(self.task.getdualobj_i_2(sol)))
        mip = None
        if sol == SolutionType.ITG:
            bound_defined = self._check(self.task.getintinf_i_2(IInfItem.MIO_OBJ_BOUND_DEFINED))
            bound = self._check(self.task.getdouinf_i_2(DInfItem.MIO_OBJ_BOUND)) if bound_defined else None
            mip = (bound, self._check(self.task.getdouinf_i_2(DInfItem.MIO_OBJ_REL_GAP)) if bound_defined else None)
        values["doty"] = self._acc_duals(sol)
        values["barx"], values["bars"] = self._psd_values(sol)
        result = solution_result(termination, sol, ProblemStatus(problem_status), SolutionStatus(solution_status),
                                 values, objectives, mip, info, var_cones=self._check(self.task.getnumcone__1()) > 0)
        if override is not None:
            result.termination = override
        return result

    # -------------------------------------------------------------- editing
    @_edits
    def set_coefficient(self, i: int, j: int, value: Number):
        """Sets the coefficient of variable j in constraint i (0 removes it)."""
        self._own(j)
        self._check(self.task.putaij_iid_4(arr.count(i, "the constraint"), arr.count(j, "the variable"),
                                           arr.number(value, "value")))

    @_edits
    def set_coefficients(self, rows, columns, values):
        """Sets the coefficients A[rows[k], columns[k]] = values[k] at once."""
        self._own(columns)
        i, j = arr.indexes(rows, "rows"), arr.indexes(columns, "columns")
        v = arr.doubles(values, "values", i.size)
        if j.size != i.size:
            raise ValueError(f"{i.size} rows and {j.size} columns")
        self._check(self.task.putaijlist64_OOO_4(arr.view(i), arr.view(j), arr.view(v)))

    @_edits
    def remove_constraints(self, constraints):
        """Removes constraints; those after them move down to fill the gaps."""
        self._check(self.task.removecons_O_2(arr.view(arr.indexes(constraints, "constraints"))))

    @_edits
    def remove_variables(self, variables):
        """Removes variables (with their coefficients); those after them move
        down to fill the gaps, so blocks returned by add_variables before no
        longer name the same variables past the first removed one."""
        self._own(variables)
        self._check(self.task.removevars_O_2(arr.view(arr.indexes(variables, "variables"))))

    def get_row(self, i: int):
        """(indexes, values) of the coefficients of constraint i."""
        sub, val = bytearray(), bytearray()
        self._check(self.task.getarow_iOO_2(arr.count(i, "the constraint"), sub, val))
        return arr.from_bytes(sub, np.int32).copy(), arr.from_bytes(val).copy()

    def constraint_matrix(self):
        """The constraint matrix A as a scipy.sparse CSR matrix."""
        import scipy.sparse as sparse  # type: ignore[import-untyped]

        m, n = self.num_constraints, self.num_variables
        ptrb, ptre, sub, val = (bytearray() for _ in range(4))
        self._check(self.task.getarowslice64_iiOOOO_3(0, m, ptrb, ptre, sub, val))
        starts, ends = arr.from_bytes(ptrb, np.int64), arr.from_bytes(ptre, np.int64)
        keep = np.concatenate([np.arange(a, b) for a, b in zip(starts, ends)] or [np.zeros(0, np.int64)])
        ptr = np.concatenate([[0], np.cumsum(ends - starts)])
        return sparse.csr_matrix((arr.from_bytes(val)[keep], arr.from_bytes(sub, np.int32)[keep], ptr), shape=(m, n))

    def constraint_bounds(self):
        """(lb, ub): the constraints' bounds, -inf / inf where a side is open."""
        return self._bounds(self.task.getconboundslice_iiOOO_3, self.num_constraints)

    def variable_bounds(self):
        """(lb, ub): the variables' bounds, -inf / inf where a side is open."""
        return self._bounds(self.task.getvarboundslice_iiOOO_3, self.num_variables)

    def _bounds(self, get, n):
        keys, lower, upper = bytearray(), bytearray(), bytearray()
        self._check(get(0, n, keys, lower, upper))
        return arr.open_sides(arr.from_bytes(keys, np.int32), arr.from_bytes(lower), arr.from_bytes(upper))

    def objective_coefficients(self) -> np.ndarray:
        """The linear objective's coefficients, one per variable."""
        c = bytearray()
        self._check(self.task.getc_O_1(c))
        return arr.from_bytes(c).copy()

    # -------------------------------------------------- copies and pickling
    def clone(self) -> "Model":
        """An independent copy of the model: problem, names, parameters,
        options, solutions and the current result."""
        other = Model(self.env, log=self._log)
        other._attach(Task(self.env, other=self.task))
        other._options = dict(self._options)
        if self._solved is not None and self._solved[0] == self._revision:
            other._record(0, result=self._solved[1])
        return other

    def _attach(self, task):
        """Makes task the model's task (the old one is disposed)."""
        self.task.dispose()
        self.task = task
        self._install_callables()

    def to_bytes(self) -> bytes:
        """The model in the library's lossless binary task format (problem,
        names, parameters and solutions).  A pickled model carries these and
        its options and current result, and comes back in the library's
        global environment."""
        with tempfile.TemporaryDirectory(prefix="velto-") as folder:
            path = os.path.join(folder, "model.task")
            self._check(self.task.writetask_s_2(path))
            with open(path, "rb") as stream:
                return stream.read()

    @classmethod
    def from_bytes(cls, data: bytes, env=None) -> "Model":
        """A model of the bytes of to_bytes."""
        model = cls(env)
        model.load_bytes(data)
        return model

    def load_bytes(self, data: bytes):
        """Replaces the model's problem by the one in bytes of to_bytes (the
        options set on the model stay)."""
        with tempfile.TemporaryDirectory(prefix="velto-") as folder:
            path = os.path.join(folder, "model.task")
            with open(path, "wb") as stream:
                stream.write(bytes(data))
            self.read(path)

    def __getstate__(self):
        fresh = self._solved is not None and self._solved[0] == self._revision
        return {"task": self.to_bytes(), "options": self._options, "result": self._solved[1] if fresh else None}

    def __setstate__(self, state):
        self.__init__()
        self.load_bytes(state["task"])
        self._set_parameters(state["options"].items())
        self._options = dict(state["options"])
        if state["result"] is not None:
            self._record(0, result=state["result"])

    def _psd_values(self, sol):
        """The values of the semidefinite variables and their duals, as dense
        symmetric matrices (None without any; no duals for ITG)."""
        count = self._check(self.task.getnumbarvar__1())
        if count == 0:
            return None, None
        xs, ss = [], []
        for j in range(count):
            dim = self._check(self.task.getdimbarvarj_i_2(j))
            x = bytearray()
            self._check(self.task.getbarxj_iiO_3(sol, j, x))
            xs.append(arr.symmetric_from_lower(arr.from_bytes(x), dim))
            if sol != SolutionType.ITG:
                s = bytearray()
                self._check(self.task.getbarsj_iiO_3(sol, j, s))
                ss.append(arr.symmetric_from_lower(arr.from_bytes(s), dim))
        return xs, (ss if sol != SolutionType.ITG else None)

    def _acc_duals(self, sol):
        """The dual values of each affine conic constraint (None without any)."""
        num_acc = self._check(self.task.getnumacc__1())
        if num_acc == 0 or sol == SolutionType.ITG:
            return None
        stacked = bytearray()
        self._check(self.task.getaccdotys_iO_2(sol, stacked))
        sizes = [self._check(self.task.getaccn_L_2(k)) for k in range(num_acc)]
        return np.split(arr.from_bytes(stacked), np.cumsum(sizes)[:-1])

    def _run_info(self):
        interior = self._check(self.task.getintinf_i_2(IInfItem.INTPNT_ITER))
        simplex = self._check(self.task.getlintinf_i_2(LIInfItem.SIMPLEX_ITER))
        return {"solve_time": self._check(self.task.getdouinf_i_2(DInfItem.OPTIMIZER_TIME)),
                "iterations": interior + simplex,
                "nodes": self._check(self.task.getlintinf_i_2(LIInfItem.MIO_NUM_NODES))}

    # ------------------------------------------------------------- analysis
    def sensitivity(self):
        """Ranging at the optimal basic solution of a linear problem:
        `Sensitivity(constraints, variables, objective)`, tables (pandas
        DataFrames when pandas is installed, else dicts of numpy arrays) with
        one row per item.  For each bound side ('lower', 'upper'; both move a
        fixed bound) the left and right range (the changes, <= 0 and >= 0,
        over which the basis stays optimal) and the left and right price
        (the slopes of the optimal objective below and above the current
        value); for the objective coefficients the same."""
        m, n = self.num_constraints, self.num_variables
        rows, cols = np.arange(m, dtype=np.int32), np.arange(n, dtype=np.int32)
        sides = {}
        for side, mark in (("lower", Mark.LO), ("upper", Mark.UP)):
            out = [bytearray() for _ in range(8)]
            self._check(self.task.primalsensitivity_OOOOOOOOOOOO_5(
                arr.view(rows), arr.view(np.full(m, int(mark), np.int32)), arr.view(cols),
                arr.view(np.full(n, int(mark), np.int32)), *out))
            sides[side] = [arr.from_bytes(b).copy() for b in out]
        objective = [bytearray() for _ in range(4)]
        self._check(self.task.dualsensitivity_OOOOO_2(arr.view(cols), *objective))

        def ranging(first):
            return arr.table({f"{side}_{what}": sides[side][first + k]
                              for side in ("lower", "upper")
                              for k, what in enumerate(("left_price", "right_price", "left_range", "right_range"))})

        return Sensitivity(ranging(0), ranging(4), arr.table(dict(zip(
            ("left_price", "right_price", "left_range", "right_range"),
            (arr.from_bytes(b).copy() for b in objective)))))

    def _answer_solution(self):
        """The solution that the current result comes from (the one whose
        certificate analysis reads), the basic one when none is defined."""
        for sol in (SolutionType.BAS, SolutionType.ITR, SolutionType.ITG):
            if self._check(self.task.solutiondef_i_2(sol)):
                return sol
        return SolutionType.BAS

    def infeasibility_report(self) -> "InfeasibilityReport":
        """What the certificate of infeasibility of the last solve combines:
        the constraints (with their multipliers y) and the variable bounds
        (with their reduced costs) that together contradict each other.
        Raises ValueError when the result holds no such certificate."""
        result = self.result()
        certificate = result.certificate
        if certificate is None or certificate.status != Status.INFEASIBLE:
            raise ValueError(f"the result ({result.status.name}) holds no certificate of infeasibility")
        y, d = certificate.y, certificate.reduced_costs
        scale = max(1.0, float(np.abs(y).max(initial=0.0)), float(np.abs(d).max(initial=0.0)))
        rows, cols = np.flatnonzero(np.abs(y) > 1e-9 * scale), np.flatnonzero(np.abs(d) > 1e-9 * scale)
        lower_c, upper_c = self.constraint_bounds()
        lower_v, upper_v = self.variable_bounds()
        return InfeasibilityReport(
            arr.table({"index": rows, "side": np.where(y[rows] > 0, "lower", "upper"), "multiplier": y[rows],
                       "lb": lower_c[rows], "ub": upper_c[rows]}),
            arr.table({"index": cols, "side": np.where(d[cols] > 0, "lower", "upper"), "multiplier": d[cols],
                       "lb": lower_v[cols], "ub": upper_v[cols]}))

    def iis(self) -> "IIS":
        """An irreducible infeasible subsystem of an infeasible problem: the
        constraints and variables whose bounds (side by side) form it, as
        `IIS(constraints, variables)` tables with the columns index, lower,
        upper (which sides belong to it), lb and ub.  Dropping any one of
        those bounds makes the rest feasible."""
        sub = self._check(self.task.getinfeasiblesubproblem_i_2(self._answer_solution()))
        try:
            tables = []
            for get, n in ((sub.getconboundslice_iiOOO_3, self.num_constraints),
                           (sub.getvarboundslice_iiOOO_3, self.num_variables)):
                keys, lower, upper = bytearray(), bytearray(), bytearray()
                check(sub, get(0, n, keys, lower, upper))
                lb, ub = arr.open_sides(arr.from_bytes(keys, np.int32), arr.from_bytes(lower), arr.from_bytes(upper))
                has_lower, has_upper = lb > -INF, ub < INF
                kept = np.flatnonzero(has_lower | has_upper)
                tables.append(arr.table({"index": kept, "lower": has_lower[kept], "upper": has_upper[kept],
                                         "lb": lb[kept], "ub": ub[kept]}))
        finally:
            sub.dispose()
        return IIS(*tables)

    def repair(self, wlc=None, wuc=None, wlx=None, wux=None) -> Result:
        """Primal repair: the smallest weighted relaxation of the bounds that
        makes the problem feasible (weights: one per constraint or variable
        and side, a number for all, None for 1; a negative weight keeps that
        bound).  Returns the Result of the repaired point (its status is
        what the point is for the model: UNKNOWN while it passes a bound; x
        and row_activity hold it all the same), with `penalty`
        (the weighted sum of the relaxations) and `violations`, the amounts
        by which the point passes each bound: a table with the columns
        kind ('constraint' or 'variable'), index, lower and upper.  The
        model's bounds are not changed."""
        m, n = self.num_constraints, self.num_variables
        weights = [None if w is None else arr.view(arr.doubles(w, name, size))
                   for w, name, size in ((wlc, "wlc", m), (wuc, "wuc", m), (wlx, "wlx", n), (wux, "wux", n))]
        previous = self.get_parameter(IParam.FEASREPAIR_OPTIMIZE)
        self._put_parameters([(IParam.FEASREPAIR_OPTIMIZE, int(FeasRepairType.NONE))])
        try:
            self._check(self.task.primalrepair_OOOO_5(*weights))
        finally:
            self._put_parameters([(IParam.FEASREPAIR_OPTIMIZE, previous)], check=False)
        result = self._record(0)
        if result.solution is not None and result.x is None:
            # The repaired point passes the model's bounds: it is no
            # solution of the model, whose status stays what it is.
            x, xc = bytearray(), bytearray()
            self._check(self.task.getxx_iO_2(result.solution, x))
            self._check(self.task.getxc_iO_2(result.solution, xc))
            result.x, result.row_activity = arr.from_bytes(x).copy(), arr.from_bytes(xc).copy()
            result.start, result.reason = result.x, "the point of a primal repair"
        result.penalty = self._check(self.task.getdouinf_i_2(DInfItem.PRIMAL_REPAIR_PENALTY_OBJ))
        result.violations = self._violations(result)
        return result

    def _violations(self, result):
        if result.x is None:
            return None
        parts = []
        for kind, values, (lb, ub) in (("constraint", result.row_activity, self.constraint_bounds()),
                                       ("variable", result.x, self.variable_bounds())):
            below, above = np.maximum(lb - values, 0.0), np.maximum(values - ub, 0.0)
            moved = np.flatnonzero((below > 0) | (above > 0))
            parts.append((np.full(moved.size, kind), moved, below[moved], above[moved]))
        kinds, index, lower, upper = (np.concatenate(column) for column in zip(*parts))
        return arr.table({"kind": kinds, "index": index, "lower": lower, "upper": upper})

    # ------------------------------------------------------ remote, at once
    def solve_async(self, remote: str, access_token: str = "") -> "RemoteJob":
        """Sends the problem to the velto-server at remote ("host:port") and
        returns at once with the `RemoteJob`, through which it is polled,
        fetched into the model or stopped."""
        token = bytearray()
        self._check(self.task.asyncoptimize_ssO_3(str(remote), str(access_token), token))
        return RemoteJob(self, str(remote), str(access_token), token.split(b"\0")[0].decode())


class Sensitivity(NamedTuple):
    """Ranging tables of `Model.sensitivity`."""

    constraints: Any
    variables: Any
    objective: Any


class InfeasibilityReport(NamedTuple):
    """The constraints and variable bounds that a certificate of
    infeasibility combines (`Model.infeasibility_report`)."""

    constraints: Any
    variables: Any


class IIS(NamedTuple):
    """An irreducible infeasible subsystem (`Model.iis`)."""

    constraints: Any
    variables: Any


class RemoteJob:
    """A solve running on a velto-server (`Model.solve_async`)."""

    def __init__(self, model: Model, remote: str, access_token: str, token: str):
        self.model, self.remote, self.access_token, self.token = model, remote, access_token, token

    def _call(self, method):
        return self.model._check(method(self.remote, self.access_token, self.token))

    def done(self) -> bool:
        """Whether the server has finished the job."""
        finished, _, _ = self._call(self.model.task.asyncpoll_sss_4)
        return bool(finished)

    def result(self, timeout: Optional[float] = None, interval: float = 0.05) -> Result:
        """Waits for the job (at most timeout seconds: TimeoutError), loads
        its solutions into the model and returns the Result."""
        deadline = None if timeout is None else time.monotonic() + timeout
        while True:
            finished, response, termination = self._call(self.model.task.asyncgetresult_sss_4)
            if finished:
                if response != 0:
                    raise error_of(self.model.task, response)
                return self.model._record(termination)
            if deadline is not None and time.monotonic() >= deadline:
                raise TimeoutError(f"the remote job {self.token[:8]} has not finished")
            time.sleep(interval)

    def stop(self):
        """Asks the server to stop the job."""
        self._call(self.model.task.asyncstop_sss_4)
