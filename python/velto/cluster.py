"""Many independent models solved on a Dask cluster (dask.distributed).

Each model travels to a worker in the lossless binary task format, is solved
there by the library with its own parameters, and comes back with its
solutions, which are loaded into the model as if it had been solved here;
the Result is the one the worker made.  Workers need velto installed (the
same version) and import it on their own.

    from dask.distributed import Client, LocalCluster
    with LocalCluster(n_workers=4, threads_per_worker=1) as cluster, Client(cluster) as client:
        results = velto.solve_distributed(models, client, progress=True)
"""
from typing import TYPE_CHECKING, Any, Callable, List, Optional, Sequence, Union

from .errors import Error
from .progress import logger

if TYPE_CHECKING:
    from .model import Model
    from .result import Result

def _solve_on_worker(chunk):
    """Runs on a worker: each model read from its task bytes, solved, and
    sent back as (task bytes with solutions, Result), or as
    (None, (code, message)) when the library refused it."""
    from .model import Model

    outcomes = []
    for data in chunk:
        with Model() as model:
            try:
                model.load_bytes(data)
                result = model.solve()
                outcomes.append((model.to_bytes(), result))
            except Error as e:
                outcomes.append((None, (int(e.code), e.message)))
    return outcomes


class _Progress:
    """Progress as models finish: the caller's callable(done, total), a tqdm
    bar (progress=True with tqdm installed) or a line on the velto logger."""

    def __init__(self, progress, total):
        self.total, self.done, self.call, self.bar = total, 0, None, None
        if callable(progress):
            self.call = progress
        elif progress:
            try:
                from tqdm.auto import tqdm  # type: ignore[import-untyped]
            except ImportError:
                self.call = lambda done, total: logger.info("velto: %d of %d models solved", done, total)
            else:
                self.bar = tqdm(total=total, desc="velto", unit=" model")

    def step(self, count=1):
        self.done += count
        if self.bar is not None:
            self.bar.update(count)
        if self.call is not None:
            self.call(self.done, self.total)

    def close(self):
        if self.bar is not None:
            self.bar.close()


def _client_for(client):
    from dask.distributed import Client, get_client

    if client is None:
        try:
            return get_client(), False
        except ValueError:
            raise ValueError("no Dask client: pass one (or a scheduler address), or create a Client first") from None
    if isinstance(client, str):
        return Client(client), True
    return client, False


def solve_distributed(models: Sequence["Model"], client: Union[None, str, Any] = None, *,
                      progress: Union[bool, Callable[[int, int], Any], None] = None,
                      options: Optional[dict] = None, chunk_size: Optional[int] = None) -> List["Result"]:
    """Solves the models on the workers of a Dask cluster and returns their
    Results in order.

    client: a dask.distributed Client, a scheduler address ("tcp://host:8786")
    or None for the current default client.  progress: True for a bar (tqdm)
    or log lines, or a callable(done, total) called as each model finishes.
    options: solve options (as in Model.set_options) set on every model
    before it is sent; they stay set.  chunk_size: models sent to a worker
    together (default: enough chunks for four per worker thread, which
    spreads the per-task cost of Dask over small models).  A model that the library refused
    raises velto.Error after all have finished, naming its position; the
    other models keep their solutions."""
    from dask.distributed import as_completed

    models = list(models)
    if options:
        for model in models:
            model.set_options(**options)
    dask_client, own = _client_for(client)
    shown = _Progress(progress, len(models))
    results: List[Any] = [None] * len(models)
    failures = []
    try:
        if chunk_size is None:
            threads = sum(dask_client.nthreads().values()) or 1
            chunk_size = max(1, len(models) // (4 * threads))
        if chunk_size < 1:
            raise ValueError("chunk_size must be at least 1")
        payloads = [model.to_bytes() for model in models]
        starts = range(0, len(models), chunk_size)
        futures = dask_client.map(_solve_on_worker, [payloads[k:k + chunk_size] for k in starts], pure=False)
        first = {future.key: k for k, future in zip(starts, futures)}
        for future in as_completed(futures):
            k0 = first[future.key]
            for k, (solved, outcome) in enumerate(future.result(), start=k0):
                if solved is None:
                    failures.append((k, outcome))
                else:
                    models[k].load_bytes(solved)
                    results[k] = models[k]._record(outcome.response, outcome.termination, outcome)
            shown.step(min(chunk_size, len(models) - k0))
    finally:
        shown.close()
        if own:
            dask_client.close()
    if failures:
        k, (code, message) = min(failures)
        raise Error(code, f"model {k} of the list: {message}")
    return results
