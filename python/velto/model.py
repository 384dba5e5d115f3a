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
import io
import math
import os
from typing import Any, Callable, Dict, Iterable, Optional, Sequence, Union

import numpy as np
from _vlt import Task

from . import _arrays as arr
from . import options as opt
from ._constants import (BoundKey, CallbackCode, CompressionType, ConeType, DataFormat, DInfItem, IInfItem, LIInfItem,
                         ObjectiveSense, ProblemStatus, SolutionStatus, SolutionType, StreamType, VariableType)
from .conic import domain_appender
from .errors import Error, check
from .history import Recorder
from .progress import STREAM_LEVELS, SolveMonitor, StreamForwarder
from .result import Result, empty_result, solution_result

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
        self.env = env
        self.task = Task(env)
        for stream, level in STREAM_LEVELS.items():
            user = log if stream != StreamType.ERR else None
            self.task.set_Stream(stream, StreamForwarder(level, user))
        self._monitor = SolveMonitor()
        self.task.set_Progress(self._monitor.progress)
        if name is not None:
            self.name = name

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
        self._check(self.task.puttaskname_s_2(str(value)))

    # ---------------------------------------------------------- variables
    def add_variables(self, n: int, lb: Values = 0.0, ub: Values = INF, obj: Values = 0.0,
                      integer: Union[bool, Sequence[bool]] = False,
                      names: Optional[Sequence[str]] = None) -> range:
        """Appends n variables with bounds lb <= x <= ub and objective
        coefficients obj (each a number or n values; -inf and inf mean no
        bound); integer is one truth value or n.  Returns their indexes."""
        n = int(n)
        if n < 0:
            raise ValueError(f"cannot add {n} variables")
        keys, lbs, ubs = arr.bounds(lb, ub, n)
        cs, kinds = arr.doubles(obj, "obj", n), arr.flags(integer, "integer", n)
        self._check_names(names, n)
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
        return range(first, last)

    def add_variable(self, lb: Number = 0.0, ub: Number = INF, obj: Number = 0.0, integer: bool = False,
                     name: Optional[str] = None) -> int:
        """Appends one variable; returns its index."""
        return self.add_variables(1, lb, ub, obj, integer, None if name is None else [name])[0]

    def set_variable_bounds(self, variables, lb: Values = -INF, ub: Values = INF):
        """Sets the bounds of the given variables (an index or indexes)."""
        self._put_bound_list(self.task.putvarboundlist_OOOO_5, variables, lb, ub, "variables")

    def _put_bound_list(self, put, items, lb, ub, what):
        sub = arr.indexes(items, what)
        keys, lbs, ubs = arr.bounds(lb, ub, sub.size)
        self._check(put(arr.view(sub), arr.view(keys), arr.view(lbs), arr.view(ubs)))

    def set_integer(self, variables, integer: bool = True):
        """Makes the given variables integer (or continuous again)."""
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
        block = arr.row_block(A, "A", count)
        return self._add_rows(block, lb, ub, names)

    def _add_rows(self, block, lb, ub, names):
        n = block.num_rows
        keys, lbs, ubs = arr.bounds(lb, ub, n)
        self._check_names(names, n)
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

    def set_constraint_bounds(self, constraints, lb: Values = -INF, ub: Values = INF):
        """Sets the bounds of the given constraints (an index or indexes)."""
        self._put_bound_list(self.task.putconboundlist_OOOO_5, constraints, lb, ub, "constraints")

    # ----------------------------------------------------------- objective
    def set_objective(self, coefficients: Optional[Coefficients] = None, sense=None,
                      constant: Optional[Number] = None):
        """Sets the linear objective, its sense and its constant; what is not
        given is left as it was.  coefficients is a sequence of one value
        per variable, a mapping {j: c_j}, a pair (indexes, values) or a
        scipy.sparse row; sense is
        velto.ObjectiveSense or 'minimize' / 'maximize' ('min' / 'max')."""
        code = None if sense is None else objective_sense(sense)
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
        self._check(self.task.putobjsense_i_2(objective_sense(value)))

    def set_quadratic_objective(self, Q):
        """Sets the quadratic part 0.5 x'Qx of the objective: Q is a mapping
        {(i, j): Q[i, j]} with one entry per symmetric pair (Q[i, i] for the
        diagonal: {(0, 0): 2} adds x0^2), a scipy.sparse matrix or a dense
        array (of which the lower triangle is read)."""
        self._check(self.task.putqobj_OOO_4(*map(arr.view, arr.lower_triangle(Q, "Q"))))

    def add_quadratic_constraint(self, coefficients: Coefficients, Q, lb: Number = -INF, ub: Number = INF,
                                 name: Optional[str] = None) -> int:
        """Appends lb <= a'x + 0.5 x'Qx <= ub (convex: Q positive semidefinite
        with an upper bound, negative semidefinite with a lower bound); Q as
        in set_quadratic_objective."""
        triangle = arr.lower_triangle(Q, "Q")
        i = self.add_constraint(coefficients, lb, ub, name)
        try:
            self._check(self.task.putqconk_iOOO_5(i, *map(arr.view, triangle)))
        except BaseException:
            self.task.removecons_O_2(arr.view(np.array([i], dtype=np.int32)))
            raise
        return i

    # ---------------------------------------------------------------- cones
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
        sub = arr.indexes(list(members), "members")
        k = self._check(self.task.getnumcone__1())
        self._check(self.task.appendcone_idO_4(kind, 0.0, arr.view(sub)))
        return k

    def add_conic_constraint(self, domain: str, F, g: Optional[Values] = None, *,
                             alpha: Optional[Sequence[float]] = None, name: Optional[str] = None) -> int:
        """Appends the affine conic constraint F x + g in the domain: F is a
        matrix with one row per coordinate of the domain (as A in
        add_constraints), g a vector (zero when not given).  Domains:
        'quadratic', 'rotated_quadratic', 'nonnegative', 'nonpositive',
        'zero', 'free', 'exponential', 'dual_exponential', 'power' and
        'dual_power' (with the weights alpha), 'geometric_mean',
        'dual_geometric_mean', 'psd' (the scaled lower triangle of a
        symmetric matrix, column by column).  Returns its index."""
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
        index = self._check(self.task.getnumacc__1())
        afes = np.arange(first, first + n, dtype=np.int64)
        self._check(self.task.appendacc_LOO_4(d, arr.view(afes), None))
        if name is not None:
            self._check(self.task.putaccname_Ls_3(index, str(name)))
        return index

    # ------------------------------------------------------- semidefinite
    def add_psd_variable(self, dim: int, name: Optional[str] = None) -> int:
        """Appends a semidefinite variable: a symmetric dim x dim matrix X
        constrained to be positive semidefinite.  It enters the objective and
        the constraints through inner products <C, X> (set_psd_objective,
        set_psd_coefficient).  Returns its index."""
        dim = int(dim)
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

    def set_psd_objective(self, j: int, C):
        """Makes <C, X_j> the objective's term of semidefinite variable j; C
        is a symmetric matrix as Q in set_quadratic_objective (a mapping over
        either triangle, a scipy.sparse matrix or a dense array)."""
        index = self._symmetric_matrix(j, C)
        self._check(self.task.putbarcj_iOO_4(int(j), arr.view(np.array([index], dtype=np.int64)),
                                             arr.view(np.ones(1))))

    def set_psd_coefficient(self, i: int, j: int, A):
        """Makes <A, X_j> the term of semidefinite variable j in constraint i."""
        index = self._symmetric_matrix(j, A)
        self._check(self.task.putbaraij_iiOO_5(int(i), int(j), arr.view(np.array([index], dtype=np.int64)),
                                               arr.view(np.ones(1))))

    def _symmetric_matrix(self, j, matrix):
        """Stores a symmetric matrix of the dimension of variable j; its index."""
        dim = self._check(self.task.getdimbarvarj_i_2(int(j)))
        return self._check(self.task.appendsparsesymmat_iOOO_5(dim, *map(arr.view, arr.lower_triangle(matrix, "C"))))

    def add_disjunction(self, terms: Sequence[Sequence[tuple]], name: Optional[str] = None) -> int:
        """Appends a disjunctive constraint: at least one of the terms holds.
        Each term is a list of linear constraints (coefficients, relation,
        rhs): coefficients as in add_constraint, relation '==', '>=' or
        '<='.  Where the variables' bounds (or rows) bound its terms, the
        optimizer turns the disjunction into binary variables and rows;
        otherwise it branches on the terms.  Returns its index."""
        relations = {"==": "zero", ">=": "nonnegative", "<=": "nonpositive"}
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
    def _check_names(names, n):
        if names is None:
            return
        if isinstance(names, str) or len(names) != n:
            raise ValueError(f"names must be a sequence of {n} texts")

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
    def read(self, path: Union[str, os.PathLike], format=None):
        """Replaces the model's problem by the one in a file.  The format is
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
        """Sets options, which stay set for later solves: time_limit,
        threads, mip_gap, mip_gap_abs, node_limit, iteration_limit,
        feasibility_tol, optimality_tol, verbosity, optimizer, presolve (see
        velto.options.OPTIONS), and any of the library's parameters given as
        a mapping {velto.IParam.X: value, ...}.  Every value is checked
        before any is set."""
        self._set_parameters(opt.assignments({**(parameters or {}), **options}))

    def set_parameter(self, parameter, value):
        """Sets one of the library's parameters (a velto.IParam, DParam or
        SParam member)."""
        self._set_parameters([(parameter, value)])

    def _set_parameters(self, pairs):
        coerced = [(p, opt.coerce(p, v)) for p, v in pairs]
        setters = {"int": self.task.putintparam_ii_3, "double": self.task.putdouparam_id_3,
                   "str": self.task.putstrparam_is_3}
        previous = [(p, self.get_parameter(p)) for p, _ in coerced]
        try:
            for parameter, value in coerced:
                self._check(setters[opt.parameter_kind(parameter)](parameter, value))
        except Error:
            # The library refused a value: those set before it are put back.
            for parameter, value in previous:
                setters[opt.parameter_kind(parameter)](parameter, value)
            raise

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
              remote: Optional[str] = None, access_token: str = "", **options) -> Result:
        """Optimizes and returns the Result.

        progress(code) is called at each event of the run (a true result
        stops the optimizer, and the result then has the termination
        STOPPED); info(code, dinf, iinf, liinf) receives the information
        items; progress_bar shows a tqdm bar (when tqdm is installed; else
        a line a second on the `velto` logger).  Options as in set_options
        are set first and stay set.  Ctrl-C stops the optimizer and raises
        KeyboardInterrupt; the model stays usable.

        With remote="host:port" the problem is solved by a velto-server
        there (access_token when the server asks for one) and the solutions
        come back into the model.
        """
        if options:
            self.set_options(**options)
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
                    termination = self._check(self.task.optimizetrm__1())
                else:
                    termination = self._check(self.task.optimizermt_ss_3(str(remote), str(access_token)))
        finally:
            self.task.remove_InfoCallback()
            monitor.finish()
        result = self.result(termination)
        result.history = recorder.table()
        return result

    def result(self, termination=0) -> Result:
        """The Result of the task's current solutions: the integer one for a
        mixed-integer problem, else the basic one when defined, else the
        interior-point one."""
        info = self._run_info()
        for sol in (SolutionType.ITG, SolutionType.BAS, SolutionType.ITR):
            if self._check(self.task.solutiondef_i_2(sol)):
                break
        else:
            return empty_result(termination, info)
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
        return solution_result(termination, sol, ProblemStatus(problem_status), SolutionStatus(solution_status),
                               values, objectives, mip, info, var_cones=self._check(self.task.getnumcone__1()) > 0)

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
