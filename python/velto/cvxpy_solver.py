"""velto as a conic solver of CVXPY.

    import cvxpy as cp
    import velto.cvxpy_solver          # registers the name "VELTO"
    problem.solve(solver="VELTO")      # or solver=velto.cvxpy_solver.VELTO_SOLVER

CVXPY hands over a cone program  min c'x (+ 0.5 x'Px)  s.t.  b - A x in K
with K a product of the zero cone, the nonnegative orthant, second-order,
semidefinite (scaled lower triangle), exponential and power cones, in that
order, plus bounds and integer or boolean marks on x.  The zero and
nonnegative rows become the task's linear rows (lb <= a'x <= ub, so that
linear problems reach the simplex and branch-and-bound engines); the other
cones become affine conic constraints over the library's domains.  Dual
values go back in CVXPY's convention (c + P x + A'z = 0, z in the dual cone).
"""
import sys

import numpy as np
import scipy.sparse as sp  # type: ignore[import-untyped]

import cvxpy.settings as s
from cvxpy.constraints import SOC, ExpCone, PowCone3D, PowConeND, SvecPSD
from cvxpy.reductions.solution import Solution, failure_solution
from cvxpy.reductions.solvers import utilities
from cvxpy.reductions.solvers import defines as _defines
from cvxpy.reductions.solvers.conic_solvers.conic_solver import ConicSolver
from cvxpy.utilities.psd_utils import TriangleKind

from . import _arrays as arr
from . import options as opt
from ._constants import DParam, IParam, SParam, SolutionStatus, SolutionType, StreamType, VariableType
from .model import Model
from .progress import STREAM_LEVELS, StreamForwarder
from .result import Status, Termination

NAME = "VELTO"

# The velto Status of a run, with its termination, as a CVXPY status.
_LIMITS = frozenset({Termination.TIME_LIMIT, Termination.ITERATION_LIMIT, Termination.NODE_LIMIT,
                     Termination.SOLUTION_LIMIT, Termination.OBJECTIVE_LIMIT, Termination.STOPPED})
_FINAL = {Status.OPTIMAL: s.OPTIMAL, Status.INFEASIBLE: s.INFEASIBLE, Status.UNBOUNDED: s.UNBOUNDED,
          Status.INFEASIBLE_OR_UNBOUNDED: s.INFEASIBLE_OR_UNBOUNDED}


def cvxpy_status(result):
    """The CVXPY status of a velto Result: proven outcomes as they are; a
    feasible point at a limit is USER_LIMIT, one where the optimizer ran to
    its end without proving optimality OPTIMAL_INACCURATE; a run that left
    no usable answer is SOLVER_ERROR (CVXPY then raises SolverError)."""
    if result.status in _FINAL:
        return _FINAL[result.status]
    if result.x is not None and result.status is Status.FEASIBLE:
        return s.USER_LIMIT if result.termination in _LIMITS else s.OPTIMAL_INACCURATE
    return s.SOLVER_ERROR


def _parameter(name):
    """The library parameter named name (any case), or None."""
    key = name.upper()
    for kind in (IParam, DParam, SParam):
        if key in kind.__members__:
            return kind[key]
    return None


def solver_assignments(solver_opts, verbose):
    """The library's (parameter, value) pairs for CVXPY's solver options:
    velto's everyday options (time_limit, mip_gap, ...), library parameters
    by name (INTPNT_CO_TOL_REL_GAP=1e-10, any case) or as a mapping
    params={velto.DParam.X: value}.  verbose turns the library's log on."""
    options = {"verbosity": 10 if verbose else 0}
    for key, value in solver_opts.items():
        if key == "use_quad_obj":  # read by CVXPY when it compiles
            continue
        if key == "params":
            options.update({_parameter(k) if isinstance(k, str) and _parameter(k) else k: v
                            for k, v in dict(value).items()})
        elif key in opt.OPTIONS:
            options[key] = value
        elif _parameter(key) is not None:
            options[_parameter(key)] = value
        else:
            raise ValueError(f"unknown option {key!r} for {NAME}; the options are "
                             + ", ".join(sorted(opt.OPTIONS)) + ", the library's parameters by name "
                             "(e.g. INTPNT_CO_TOL_REL_GAP) and params={velto.DParam.X: value}")
    return opt.assignments(options)


class ConeLayout:
    """Where each cone of CVXPY's cone program lies in its rows, in CVXPY's
    order: the linear rows first (zero, then nonnegative), then one
    (domain, alpha, rows) triple per cone."""

    def __init__(self, dims):
        self.linear = dims.zero + dims.nonneg
        self.zero = dims.zero
        cones = [("quadratic", None, n) for n in dims.soc]
        cones += [("psd", None, side * (side + 1) // 2) for side in dims.psd]
        cones += [("exponential", None, 3)] * dims.exp
        cones += [("power", [a, 1.0 - a], 3) for a in dims.p3d]
        cones += [("power", list(alpha), len(alpha) + 1) for alpha in dims.pnd]
        self.cones = cones
        self.conic_rows = sum(n for _, _, n in cones)

    def key(self):
        return (self.linear, self.zero, tuple((d, None if a is None else tuple(a), n) for d, a, n in self.cones))


def _csr_rows(A):
    ptr = A.indptr.astype(np.int64)
    return ptr[:-1].copy(), ptr[1:].copy(), A.indices.astype(np.int32), A.data.astype(np.float64)


class VeltoTaskBuilder:
    """Enters CVXPY's cone program into a velto Model and, for a warm start,
    replaces the numbers of one already entered (same structure)."""

    def __init__(self, data):
        self.c = np.ascontiguousarray(data[s.C], dtype=np.float64)
        self.A = sp.csr_array(data[s.A])
        self.A.sort_indices()
        self.b = np.ascontiguousarray(data[s.B], dtype=np.float64)
        self.layout = ConeLayout(data[ConicSolver.DIMS])
        self.n = self.c.size
        P = data.get(s.P)
        self.P = None if P is None or sp.csr_array(P).nnz == 0 else sp.tril(sp.coo_array(P)).tocoo()
        self.lb, self.ub = self._bounds(data)
        self.integer = np.array(sorted(set(data.get(s.INT_IDX, [])) | set(data.get(s.BOOL_IDX, []))),
                                dtype=np.int32)

    def _bounds(self, data):
        lb = data.get(s.LOWER_BOUNDS)
        ub = data.get(s.UPPER_BOUNDS)
        lb = np.full(self.n, -np.inf) if lb is None else np.array(lb, dtype=np.float64)
        ub = np.full(self.n, np.inf) if ub is None else np.array(ub, dtype=np.float64)
        booleans = np.asarray(data.get(s.BOOL_IDX, []), dtype=np.int64)
        if booleans.size:
            lb[booleans] = np.maximum(lb[booleans], 0.0)
            ub[booleans] = np.minimum(ub[booleans], 1.0)
        return lb, ub

    def structure(self):
        """What must match for the numbers of a task to be replaced in place."""
        P = None if self.P is None else (self.P.row.tobytes(), self.P.col.tobytes())
        return (self.n, self.layout.key(), self.A.indptr.tobytes(), self.A.indices.tobytes(), P,
                self.integer.tobytes())

    def build(self):
        model = Model()
        task = model.task
        check = model._check
        check(task.appendvars_i_2(self.n))
        if self.integer.size:
            types = np.full(self.integer.size, int(VariableType.INT), dtype=np.int32)
            check(task.putvartypelist_OO_3(arr.view(self.integer), arr.view(types)))
        check(task.appendcons_i_2(self.layout.linear))
        rows = self.layout.conic_rows
        if rows:
            check(task.appendafes_L_2(rows))
            domains = np.array([check(self._domain(model, d, a, n)) for d, a, n in self.layout.cones],
                               dtype=np.int64)
            check(task.appendaccsseq_OLLO_5(arr.view(domains), rows, 0, None))
        self.update(model)
        return model

    @staticmethod
    def _domain(model, domain, alpha, n):
        from .conic import domain_appender
        return domain_appender(domain, n, alpha)(model.task)

    def update(self, model):
        """Puts every number: objective, bounds, linear rows, conic rows."""
        task, check = model.task, model._check
        check(task.putcslice_iiO_4(0, self.n, arr.view(self.c)))
        keys = arr.bound_keys(self.lb, self.ub)
        check(task.putvarboundslice_iiOOO_6(0, self.n, arr.view(keys), arr.view(self.lb), arr.view(self.ub)))
        if self.P is not None:
            check(task.putqobj_OOO_4(arr.view(self.P.row.astype(np.int32)), arr.view(self.P.col.astype(np.int32)),
                                     arr.view(self.P.data.astype(np.float64))))
        m, z = self.layout.linear, self.layout.zero
        if m:
            linear = self.A[:m]
            ptrb, ptre, sub, val = _csr_rows(linear)
            check(task.putarowslice64_iiOOOO_7(0, m, *map(arr.view, (ptrb, ptre, sub, val))))
            # zero rows: a'x = b; nonnegative rows: a'x <= b
            lower = np.concatenate([self.b[:z], np.full(m - z, -np.inf)])
            upper = np.ascontiguousarray(self.b[:m])
            keys = arr.bound_keys(lower, upper)
            check(task.putconboundslice_iiOOO_6(0, m, arr.view(keys), arr.view(lower), arr.view(upper)))
        rows = self.layout.conic_rows
        if rows:
            conic = (-self.A[m:]).tocoo()
            afe = conic.row.astype(np.int64)
            # Entries of the task's F that are absent here must read zero.
            check(task.emptyafefrowlist_O_2(arr.view(np.arange(rows, dtype=np.int64))))
            if conic.nnz:
                check(task.putafefentrylist_OOO_4(arr.view(afe), arr.view(conic.col.astype(np.int32)),
                                                  arr.view(conic.data.astype(np.float64))))
            check(task.putafegslice_LLO_4(0, rows, arr.view(np.ascontiguousarray(self.b[m:]))))


def _show_log(model, verbose):
    """Prints the library's log, messages and warnings when verbose (they
    reach the `velto` logger in any case)."""
    user = sys.stdout.write if verbose else None
    for stream, level in STREAM_LEVELS.items():
        if stream != StreamType.ERR:
            model.task.set_Stream(stream, StreamForwarder(level, user))


def _duals(model, result, linear):
    """CVXPY's dual vector z (zero and nonnegative rows, then the cones) of
    the result's solution: the optimal duals, or the Farkas certificate of
    an infeasible problem.  None when the solution holds neither."""
    sol = result.solution
    if sol is None or sol == SolutionType.ITG:
        return None
    if result.solution_status not in (SolutionStatus.OPTIMAL, SolutionStatus.PRIM_AND_DUAL_FEAS,
                                      SolutionStatus.DUAL_FEAS, SolutionStatus.PRIM_INFEAS_CER):
        return None
    task, check = model.task, model._check
    y = bytearray()
    check(task.gety_iO_2(sol, y))
    parts = [-arr.from_bytes(y)[:linear]]
    if check(task.getnumacc__1()):
        doty = bytearray()
        check(task.getaccdotys_iO_2(sol, doty))
        parts.append(arr.from_bytes(doty))
    return np.concatenate(parts)


class VELTO(ConicSolver):
    """The velto optimizer as a CVXPY conic solver: linear, second-order,
    exponential, power (3-D and n-D) and semidefinite cones, quadratic
    objectives, integer and boolean variables, variable bounds."""

    MIP_CAPABLE = True
    BOUNDED_VARIABLES = True
    # (cvxpy's own annotations of these class attributes are narrower than its solvers use them)
    SUPPORTED_CONSTRAINTS = ConicSolver.SUPPORTED_CONSTRAINTS + [SOC, ExpCone, PowCone3D, PowConeND, SvecPSD]  # type: ignore[list-item]
    MI_SUPPORTED_CONSTRAINTS = SUPPORTED_CONSTRAINTS
    # The library's semidefinite domain: the lower triangle column by column,
    # off-diagonal elements times sqrt 2.
    PSD_TRIANGLE_KIND = TriangleKind.LOWER  # type: ignore[assignment]
    PSD_SQRT2_SCALING = True  # type: ignore[assignment]
    # CVXPY's (x, y, z) with z >= y exp(x / y); the library's exponential
    # cone reads x1 >= x2 exp(x3 / x2).
    EXP_CONE_ORDER = [2, 1, 0]  # type: ignore[assignment]

    def name(self):
        return NAME

    def import_solver(self):
        import _vlt  # noqa: F401

    def supports_quad_obj(self):
        return True

    def cite(self, data):
        return ""

    def apply(self, problem):
        data, inv_data = super().apply(problem)
        variables = problem.x
        data[s.BOOL_IDX] = [int(t[0]) for t in variables.boolean_idx]
        data[s.INT_IDX] = [int(t[0]) for t in variables.integer_idx]
        inv_data["is_mip"] = bool(data[s.BOOL_IDX] or data[s.INT_IDX])
        return data, inv_data

    def solve_via_data(self, data, warm_start, verbose, solver_opts, solver_cache=None):
        """Builds the task (or, for a warm start of a problem of the same
        structure, replaces the numbers of the task built before), solves it
        and returns (velto Result, CVXPY dual vector or None)."""
        builder = VeltoTaskBuilder(data)
        assignments = solver_assignments(dict(solver_opts), verbose)
        cached = solver_cache.get(NAME) if solver_cache is not None else None
        if warm_start and cached is not None and cached[0] == builder.structure():
            model = cached[1]
            builder.update(model)
            # Options hold for one solve: those of the previous one go.
            model._check(model.task.setdefaults__1())
        else:
            model = builder.build()
        _show_log(model, verbose)
        model._set_parameters(assignments)
        result = model.solve()
        if solver_cache is not None:
            solver_cache[NAME] = (builder.structure(), model)
        return result, _duals(model, result, builder.layout.linear)

    def invert(self, solution, inverse_data):
        result, z = solution
        status = cvxpy_status(result)
        attr = {s.SOLVE_TIME: result.solve_time, s.NUM_ITERS: result.iterations, s.EXTRA_STATS: result}
        dual_vars = {}
        if z is not None and not inverse_data["is_mip"]:
            zero = inverse_data[ConicSolver.DIMS].zero
            dual_vars = utilities.get_dual_values(z[:zero], utilities.extract_dual_value,
                                                  inverse_data[self.EQ_CONSTR])
            dual_vars.update(utilities.get_dual_values(z[zero:], utilities.extract_dual_value,
                                                       inverse_data[self.NEQ_CONSTR]))
            for con in inverse_data[self.NEQ_CONSTR]:
                if isinstance(con, ExpCone):  # back to CVXPY's member order
                    perm = utilities.expcone_permutor(con.num_cones(), self.EXP_CONE_ORDER)
                    dual_vars[con.id] = dual_vars[con.id][perm]
        if status in s.SOLUTION_PRESENT:
            value = result.objective + inverse_data[s.OFFSET]
            return Solution(status, value, {inverse_data[self.VAR_ID]: result.x}, dual_vars, attr)
        return failure_solution(status, attr, dual_vars if status == s.INFEASIBLE else None)


VELTO_SOLVER = VELTO()


def register():
    """Makes problem.solve(solver="VELTO") find this solver (done when this
    module is imported); cvxpy.installed_solvers() then lists it."""
    _defines.SOLVER_MAP_CONIC.setdefault(NAME, VELTO_SOLVER)
    for names in (_defines.INSTALLED_SOLVERS, _defines.INSTALLED_CONIC_SOLVERS, _defines.INSTALLED_MI_SOLVERS,
                  _defines.MI_SOLVERS, _defines.MI_SOCP_SOLVERS):
        if NAME not in names:
            names.append(NAME)


register()
