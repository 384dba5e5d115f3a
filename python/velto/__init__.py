"""velto: build and solve optimization problems with the velto optimizer.

The low-level module `_vlt` mirrors the library's C interface; this package
adds the library's constants as enumerations and a thin Pythonic layer.
"""
from _vlt import Env, Task  # noqa: F401

from ._constants import *  # noqa: F401,F403
from ._constants import __all__ as _constant_names
from .model import INF, Error, Model, Result, bound_key  # noqa: F401

__all__ = ["Env", "Task", "Model", "Result", "Error", "INF", "bound_key"] + list(_constant_names)
__version__ = "10.2.1"
