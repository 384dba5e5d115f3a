"""What runs while the library works: its message streams forwarded to the
`velto` logger, and the progress and information callables of a solve (which
also let Ctrl-C stop the optimizer, and draw an optional progress bar)."""
import logging
import time

from ._constants import DInfItem, IInfItem, LIInfItem, StreamType

logger = logging.getLogger("velto")

# The level at which each message stream reaches the logger.  Errors are
# raised as velto.Error with their message, so the logger hears them quietly.
STREAM_LEVELS = {StreamType.LOG: logging.INFO, StreamType.MSG: logging.INFO,
                 StreamType.WRN: logging.WARNING, StreamType.ERR: logging.DEBUG}


class StreamForwarder:
    """The callable of one message stream: hands each piece of text to the
    user's callable (when given) and each complete line to the logger."""

    def __init__(self, level, user=None):
        self.level, self.user = level, user
        self._pending = ""

    def __call__(self, text):
        if self.user is not None:
            self.user(text)
        if not logger.isEnabledFor(self.level):
            self._pending = ""
            return
        text = self._pending + text
        lines = text.split("\n")
        self._pending = lines.pop()
        for line in lines:
            if line.strip():
                logger.log(self.level, line.rstrip())


class _Bar:
    """The progress shown during a solve: a tqdm bar when tqdm is installed,
    else one line a second on the logger.  Counts iterations (nodes for a
    mixed-integer run) and shows the objective values."""

    def __init__(self):
        try:
            from tqdm.auto import tqdm  # type: ignore[import-untyped]
        except ImportError:
            self._tqdm = None
        else:
            self._tqdm = tqdm(desc="velto", unit=" it", leave=False)
        self._last = self._logged = 0.0

    def update(self, dinf, iinf, liinf):
        now = time.monotonic()
        if now - self._last < 0.1:
            return
        self._last = now
        nodes = liinf[LIInfItem.MIO_NUM_NODES]
        if nodes > 0:
            count, fields = nodes, {"incumbent": dinf[DInfItem.MIO_OBJ_INT], "bound": dinf[DInfItem.MIO_OBJ_BOUND],
                                    "gap": dinf[DInfItem.MIO_OBJ_REL_GAP]}
        else:
            count = iinf[IInfItem.INTPNT_ITER] + liinf[LIInfItem.SIMPLEX_ITER]
            fields = {"primal": dinf[DInfItem.INTPNT_PRIMAL_OBJ], "dual": dinf[DInfItem.INTPNT_DUAL_OBJ]}
        if self._tqdm is not None:
            self._tqdm.n = count
            self._tqdm.set_postfix({k: f"{v:.6g}" for k, v in fields.items()}, refresh=True)
        elif now - self._logged >= 1.0:
            self._logged = now
            logger.info("%d %s, %s", count, "nodes" if nodes > 0 else "iterations",
                        ", ".join(f"{k} {v:.6g}" for k, v in fields.items()))

    def close(self):
        if self._tqdm is not None:
            self._tqdm.close()


class SolveMonitor:
    """The progress callable that a Model installs on its task, chaining the
    progress and information callables given to one solve.

    Running any Python code during the run gives the interpreter the chance to
    run its pending signal handlers: Ctrl-C raises KeyboardInterrupt inside
    `progress`, which stops the optimizer, and the optimizing method raises
    it once the library has returned.
    """

    def __init__(self):
        self.user_progress = self.user_info = self.bar = None

    def start(self, user_progress=None, user_info=None, bar=False):
        """Chains the callables of one solve (and opens its bar)."""
        self.user_progress, self.user_info = user_progress, user_info
        self.bar = _Bar() if bar else None

    @property
    def wants_info(self):
        return self.user_info is not None or self.bar is not None

    def progress(self, code):
        if self.user_progress is not None:
            return self.user_progress(code)
        return False

    def info(self, code, dinf, iinf, liinf):
        if self.bar is not None:
            self.bar.update(dinf, iinf, liinf)
        if self.user_info is not None:
            return self.user_info(code, dinf, iinf, liinf)
        return False

    def finish(self):
        """Closes the bar and forgets the callables of the solve."""
        if self.bar is not None:
            self.bar.close()
        self.user_progress = self.user_info = self.bar = None
