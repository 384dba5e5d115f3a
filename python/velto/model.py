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

    def _check(self, result):
        return check(self.task, result)

    # ------------------------------------------------------------- sizes
    @property
    def num_variables(self) -> int:
        return self._check(self.task.getnumvar__1())

    @property
    def num_constraints(self) -> int:
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
        lbs, ubs = arr.doubles(lb, "lb", n), arr.doubles(ub, "ub", n)
        cs, kinds = arr.doubles(obj, "obj", n), arr.flags(integer, "integer", n)
        keys = arr.bound_keys(lbs, ubs)
        self._check_names(names, n)
        first = self.num_variables
        last = first + n
        self._check(self.task.appendvars_i_2(n))
        try:
            self._check(self.task.putvarboundslice_iiOOO_6(first, last, memoryview(keys), memoryview(lbs),
                                                            memoryview(ubs)))
            self._check(self.task.putcslice_iiO_4(first, last, memoryview(cs)))
            if kinds.any():
                subset = np.arange(first, last, dtype=np.int32)[kinds]
                types = np.full(subset.size, int(VariableType.INT), dtype=np.int32)
                self._check(self.task.putvartypelist_OO_3(memoryview(subset), memoryview(types)))
            if names is not None:
                self._put_names(self.task.putvarname_is_3, first, names)
        except BaseException:
            self.task.removevars_O_2(memoryview(np.arange(first, last, dtype=np.int32)))
            raise
        return range(first, last)

    def add_variable(self, lb: Number = 0.0, ub: Number = INF, obj: Number = 0.0, integer: bool = False,
                     name: Optional[str] = None) -> int:
        """Appends one variable; returns its index."""
        return self.add_variables(1, lb, ub, obj, integer, None if name is None else [name])[0]

    def set_variable_bounds(self, variables, lb: Values = -INF, ub: Values = INF):
        """Sets the bounds of the given variables (an index or indexes)."""
        sub = arr.indexes(variables, "variables")
        lbs, ubs = arr.doubles(lb, "lb", sub.size), arr.doubles(ub, "ub", sub.size)
        keys = arr.bound_keys(lbs, ubs)
        self._check(self.task.putvarboundlist_OOOO_5(memoryview(sub), memoryview(keys), memoryview(lbs),
                                                      memoryview(ubs)))

    def set_integer(self, variables, integer: bool = True):
        """Makes the given variables integer (or continuous again)."""
        sub = arr.indexes(variables, "variables")
        kind = VariableType.INT if integer else VariableType.CONT
        types = np.full(sub.size, int(kind), dtype=np.int32)
        self._check(self.task.putvartypelist_OO_3(memoryview(sub), memoryview(types)))

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
                count = len(bound)
        block = arr.row_block(A, "A", count)
        return self._add_rows(block, lb, ub, names)

    def _add_rows(self, block, lb, ub, names):
        n = block.num_rows
        lbs, ubs = arr.doubles(lb, "lb", n), arr.doubles(ub, "ub", n)
        keys = arr.bound_keys(lbs, ubs)
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
                    first, last, memoryview(block.ptr[:-1]), memoryview(block.ptr[1:]), memoryview(block.sub),
                    memoryview(block.val)))
            self._check(self.task.putconboundslice_iiOOO_6(first, last, memoryview(keys), memoryview(lbs),
                                                            memoryview(ubs)))
            if names is not None:
                self._put_names(self.task.putconname_is_3, first, names)
        except BaseException:
            self.task.removecons_O_2(memoryview(np.arange(first, last, dtype=np.int32)))
            raise
        return range(first, last)

    def set_constraint_bounds(self, constraints, lb: Values = -INF, ub: Values = INF):
        """Sets the bounds of the given constraints (an index or indexes)."""
        sub = arr.indexes(constraints, "constraints")
        lbs, ubs = arr.doubles(lb, "lb", sub.size), arr.doubles(ub, "ub", sub.size)
        keys = arr.bound_keys(lbs, ubs)
        self._check(self.task.putconboundlist_OOOO_5(memoryview(sub), memoryview(keys), memoryview(lbs),
                                                      memoryview(ubs)))

    # ----------------------------------------------------------- objective
    def set_objective(self, coefficients: Optional[Coefficients] = None, sense=None,
                      constant: Optional[Number] = None):
        """Sets the linear objective, its sense and its constant; what is not
        given is left as it was.  coefficients is a sequence of one value
        per variable, a mapping {j: c_j} or a pair (indexes, values); sense is
        velto.ObjectiveSense or 'minimize' / 'maximize' ('min' / 'max')."""
        code = None if sense is None else objective_sense(sense)
        if coefficients is not None:
            if hasattr(coefficients, "items") or isinstance(coefficients, tuple):
                sub, val = arr.linear_terms(coefficients)
                self._check(self.task.putclist_OO_3(memoryview(sub), memoryview(val)))
            else:
                n = self.num_variables
                self._check(self.task.putcslice_iiO_4(0, n, memoryview(arr.doubles(coefficients, "coefficients",
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
        self._check(self.task.putqobj_OOO_4(*map(memoryview, arr.lower_triangle(Q, "Q"))))

    def add_quadratic_constraint(self, coefficients: Coefficients, Q, lb: Number = -INF, ub: Number = INF,
                                 name: Optional[str] = None) -> int:
        """Appends lb <= a'x + 0.5 x'Qx <= ub (convex: Q positive semidefinite
        with an upper bound, negative semidefinite with a lower bound); Q as
        in set_quadratic_objective."""
        triangle = arr.lower_triangle(Q, "Q")
        i = self.add_constraint(coefficients, lb, ub, name)
        try:
            self._check(self.task.putqconk_iOOO_5(i, *map(memoryview, triangle)))
        except BaseException:
            self.task.removecons_O_2(memoryview(np.array([i], dtype=np.int32)))
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
        self._check(self.task.appendcone_idO_4(kind, 0.0, memoryview(sub)))
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
        block = arr.row_block(F, "F", None if g is None or np.ndim(g) == 0 else len(g))
        n = block.num_rows
        gs = arr.doubles(0.0 if g is None else g, "g", n)
        if block.max_column >= self.num_variables:
            raise ValueError(f"F refers to variable {block.max_column}, but the model has "
                             f"{self.num_variables} variables")
        append_domain = domain_appender(domain, n, alpha)
        # The domain first: it is where the library judges the dimension.
        d = self._check(append_domain(self.task))
        first = self._check(self.task.getnumafe__1())
        self._check(self.task.appendafes_L_2(n))
        rows = np.repeat(np.arange(first, first + n, dtype=np.int64), np.diff(block.ptr))
        if block.sub.size:
            self._check(self.task.putafefentrylist_OOO_4(memoryview(rows), memoryview(block.sub),
                                                          memoryview(block.val)))
        self._check(self.task.putafegslice_LLO_4(first, first + n, memoryview(gs)))
        index = self._check(self.task.getnumacc__1())
        afes = np.arange(first, first + n, dtype=np.int64)
        self._check(self.task.appendacc_LOO_4(d, memoryview(afes), None))
        if name is not None:
            self._check(self.task.putaccname_Ls_3(index, str(name)))
        return index

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
        text = bytearray()
        self._check(self.task.getvarname_iO_2(int(j), text))
        return text.split(b"\0")[0].decode()

    def constraint_name(self, i: int) -> str:
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
        fmt = _data_format(format)
        if fmt is None:
            self._check(self.task.readdataautoformat_s_2(os.fspath(path)))
        else:
            self._check(self.task.readdataformat_sii_4(os.fspath(path), fmt, CompressionType.FREE))

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
        if fmt is None:
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
              info: Optional[Callable[..., Any]] = None, progress_bar: bool = False, **options) -> Result:
        """Optimizes and returns the Result.

        progress(code) is called at each event of the run (a true result
        stops the optimizer, and the result then has the termination
        STOPPED); info(code, dinf, iinf, liinf) receives the information
        items; progress_bar shows a tqdm bar (when tqdm is installed; else
        a line a second on the `velto` logger).  Options as in set_options
        are set first and stay set.  Ctrl-C stops the optimizer and raises
        KeyboardInterrupt; the model stays usable.
        """
        if options:
            self.set_options(**options)
        monitor = self._monitor
        if progress is not None or info is not None or progress_bar:
            # Given callables are chained by velto's own; one set directly on
            # Model.task before took its place and is replaced here.
            monitor.start(progress, info, progress_bar)
            self.task.set_Progress(monitor.progress)
            if monitor.wants_info:
                self.task.set_InfoCallback(monitor.info)
        try:
            termination = self._check(self.task.optimizetrm__1())
        finally:
            if monitor.wants_info:
                self.task.remove_InfoCallback()
            monitor.finish()
        return self.result(termination)

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
        return solution_result(termination, sol, ProblemStatus(problem_status), SolutionStatus(solution_status),
                               values, objectives, mip, info, var_cones=self._check(self.task.getnumcone__1()) > 0)

    def _run_info(self):
        interior = self._check(self.task.getintinf_i_2(IInfItem.INTPNT_ITER))
        simplex = self._check(self.task.getlintinf_i_2(LIInfItem.SIMPLEX_ITER))
        return {"solve_time": self._check(self.task.getdouinf_i_2(DInfItem.OPTIMIZER_TIME)),
                "iterations": interior + simplex,
                "nodes": self._check(self.task.getlintinf_i_2(LIInfItem.MIO_NUM_NODES))}
