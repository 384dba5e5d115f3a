"""Options of a solve under everyday names, each set as one or more of the
library's parameters."""
import enum
import math

from ._constants import DParam, IParam, OptimizerType, PresolveMode, SParam

_FEASIBILITY = (DParam.INTPNT_TOL_PFEAS, DParam.INTPNT_TOL_DFEAS, DParam.INTPNT_CO_TOL_PFEAS,
                DParam.INTPNT_CO_TOL_DFEAS, DParam.INTPNT_QO_TOL_PFEAS, DParam.INTPNT_QO_TOL_DFEAS,
                DParam.SIM_TOL_PFEAS, DParam.SIM_TOL_DFEAS)
_GAP = (DParam.INTPNT_TOL_REL_GAP, DParam.INTPNT_CO_TOL_REL_GAP, DParam.INTPNT_QO_TOL_REL_GAP)

#: option name -> (parameters it sets, what it means)
OPTIONS = {
    "time_limit": ((DParam.OPTIMIZER_MAX_TIME,), "seconds the optimizer may run (a negative value: no limit)"),
    "threads": ((IParam.NUM_THREADS,), "threads the optimizer may use (0: as many as the machine has cores)"),
    "mip_gap": ((DParam.MIO_TOL_REL_GAP,), "relative gap at which branch and bound stops"),
    "mip_gap_abs": ((DParam.MIO_TOL_ABS_GAP,), "absolute gap at which branch and bound stops"),
    "node_limit": ((IParam.MIO_MAX_NUM_RELAXS,), "relaxations branch and bound may solve (-1: no limit)"),
    "iteration_limit": ((IParam.INTPNT_MAX_ITERATIONS, IParam.SIM_MAX_ITERATIONS),
                        "interior-point and simplex iterations"),
    "feasibility_tol": (_FEASIBILITY, "primal and dual feasibility tolerance"),
    "optimality_tol": (_GAP, "relative duality gap at which the interior-point optimizer stops"),
    "verbosity": ((IParam.LOG,), "amount of log output (0: none)"),
    "optimizer": ((IParam.OPTIMIZER,), "velto.OptimizerType, or 'free', 'intpnt', 'primal_simplex', "
                                       "'dual_simplex', 'free_simplex', 'mixed_int'"),
    "presolve": ((IParam.PRESOLVE_USE,), "False turns presolve off; velto.PresolveMode for more"),
}


def _optimizer_code(value):
    if isinstance(value, OptimizerType):
        return int(value)
    if isinstance(value, str) and value.upper() in OptimizerType.__members__:
        return int(OptimizerType[value.upper()])
    raise ValueError(f"unknown optimizer {value!r}: use velto.OptimizerType or one of "
                     + ", ".join(repr(n.lower()) for n in OptimizerType.__members__))


def assignments(options):
    """The (parameter, value) pairs that set the given options: everyday
    names as in OPTIONS, or velto.IParam, DParam, SParam members."""
    result = []
    for key, value in options.items():
        if isinstance(key, (IParam, DParam, SParam)):
            result.append((key, value))
            continue
        if key not in OPTIONS:
            raise ValueError(f"unknown option {key!r}; the options are " + ", ".join(sorted(OPTIONS))
                             + ", and velto.IParam, DParam and SParam members")
        if key == "optimizer":
            value = _optimizer_code(value)
        elif key == "presolve" and isinstance(value, bool):
            value = PresolveMode.FREE if value else PresolveMode.OFF
        elif key == "verbosity" and isinstance(value, bool):
            value = 10 if value else 0
        result.extend((parameter, value) for parameter in OPTIONS[key][0])
    return result


def parameter_kind(parameter):
    """'int', 'double' or 'str': the kind of a parameter's value."""
    if isinstance(parameter, IParam):
        return "int"
    if isinstance(parameter, DParam):
        return "double"
    if isinstance(parameter, SParam):
        return "str"
    raise TypeError(f"{parameter!r} is not a parameter")


def coerce(parameter, value):
    """The value converted for the parameter's kind (an int parameter takes
    an enumeration member or a whole number)."""
    kind = parameter_kind(parameter)
    if kind == "str":
        if not isinstance(value, str):
            raise TypeError(f"{parameter.name} takes a text value, not {type(value).__name__}")
        return value
    if isinstance(value, enum.Enum):
        value = value.value
    try:
        number = float(value)
    except (TypeError, ValueError):
        raise TypeError(f"{parameter.name} takes a number, not {value!r}") from None
    if kind == "int":
        if not math.isfinite(number) or number != int(number):
            raise ValueError(f"{parameter.name} takes a whole number, not {value!r}")
        return int(number)
    return number
