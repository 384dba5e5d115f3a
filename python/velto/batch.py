"""Several models optimized in one library call, on several threads."""
from typing import TYPE_CHECKING, List, Sequence

import numpy as np
from _vlt import Env

from .errors import Error, code_description

if TYPE_CHECKING:
    from .model import Model
    from .result import Result


def solve_batch(models: Sequence["Model"], *, threads: int = 0, time_limit: float = -1.0,
                race: bool = False, env=None) -> List["Result"]:
    """Optimizes the models at once on `threads` threads (0: one per core)
    and returns their Results in order.  time_limit bounds the whole batch
    (negative: no limit); in a race the first model to finish wins and the
    others end with the termination LOST_RACE.  A model whose optimization
    failed raises velto.Error after all have run."""
    models = list(models)
    own = env is None
    env = Env() if own else env
    trm, res = bytearray(), bytearray()
    try:
        code, _ = env.optimizebatch_idiOOO_5(int(bool(race)), float(time_limit), int(threads),
                                             [m.task for m in models], trm, res)
    finally:
        if own:
            env.dispose()
    if code != 0:
        raise Error(code, code_description(code)[1])
    terminations, responses = np.frombuffer(trm, np.int32), np.frombuffer(res, np.int32)
    for k, (model, response) in enumerate(zip(models, responses)):
        if response != 0:
            error = Error(int(response), model.task.getlasterror()[1])
            raise Error(error.code, f"model {k} of the batch: {error.message}")
    return [model.result(int(t)) for model, t in zip(models, terminations)]
