"""velto: build and solve optimization problems with the velto optimizer.

    import velto
    m = velto.Model()
    x = m.add_variables(2, lb=0, obj=[1, 2])
    m.add_constraint({x[0]: 1, x[1]: 1}, lb=1)
    print(m.solve().x)

The low-level module `_vlt` mirrors the library's C interface; this package
adds the library's constants as enumerations and the Pythonic layer:
`Model`, `Result`, `Status`, `Termination`, `solve_batch`.
"""
import os as _os

from _vlt import Env, Task  # noqa: F401

from ._constants import *  # noqa: F401,F403
from ._constants import __all__ as _constant_names
from .batch import solve_batch  # noqa: F401
from .cluster import solve_distributed  # noqa: F401
from .conic import smat, svec  # noqa: F401
from .errors import Error, Interrupted  # noqa: F401
from .model import IIS, INF, InfeasibilityReport, Model, RemoteJob, Sensitivity, bound_key  # noqa: F401
from .result import Certificate, Result, Status, Termination  # noqa: F401
from .variables import Variable, Variables  # noqa: F401

__all__ = ["Env", "Task", "Model", "Result", "Status", "Termination", "Certificate", "Error", "Interrupted",
           "INF", "Variable", "Variables", "Sensitivity", "InfeasibilityReport", "IIS", "RemoteJob", "svec", "smat",
           "bound_key", "solve_batch", "solve_distributed", "get_include"] + list(_constant_names)
__version__ = f"{VERSION_MAJOR}.{VERSION_MINOR}.{VERSION_REVISION}"  # noqa: F405 (written once, in velto.h)


def get_include():
    """The folder holding velto.h, the library's C interface."""
    return _os.path.join(_os.path.dirname(__file__), "include")
