"""What runs while the library works: its message streams forwarded to the
`velto` logger, and the progress and information callables of a solve (which
also let Ctrl-C stop the optimizer, and draw an optional progress bar)."""
import logging
import math
import os
import signal
import socket
import threading
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
                logger.log(_level_of(line, self.level), line.rstrip())


def _level_of(line, level):
    """The level of one line: a line of the log that the optimizer's engines
    mark as a warning ('WARNING: ...') is a warning whatever its stream."""
    if level < logging.WARNING and line.lstrip().upper().startswith("WARNING"):
        return logging.WARNING
    return level


class _Bar:
    """The progress shown during a solve: a tqdm bar when tqdm is installed,
    else one line a second on the logger.  Counts iterations, or nodes once
    branch and bound has begun (the count starts again then, so it never
    runs backwards), and shows the objective values: primal and dual for a
    continuous run, the incumbent, the bound and the gap (each once it is
    known) for a mixed-integer one."""

    def __init__(self):
        try:
            from tqdm.auto import tqdm  # type: ignore[import-untyped]
        except ImportError:
            self._tqdm = None
        else:
            self._tqdm = tqdm(desc="velto", unit=" it", leave=False)
        self._last = self._logged = 0.0
        self._nodes = False
        self.count = 0

    @staticmethod
    def fields(dinf, iinf, liinf):
        """(whether branch and bound runs, its count, the values to show)."""
        nodes, solutions = liinf[LIInfItem.MIO_NUM_NODES], iinf[IInfItem.MIO_NUM_INT_SOLUTIONS]
        bound_defined = iinf[IInfItem.MIO_OBJ_BOUND_DEFINED] > 0
        if nodes > 0 or solutions > 0 or bound_defined:
            shown = {"incumbent": (solutions > 0, DInfItem.MIO_OBJ_INT),
                     "bound": (bound_defined, DInfItem.MIO_OBJ_BOUND),
                     "gap": (solutions > 0 and bound_defined, DInfItem.MIO_OBJ_REL_GAP)}
            fields = {name: dinf[item] for name, (known, item) in shown.items()
                      if known and math.isfinite(dinf[item])}
            return True, max(0, nodes), fields
        count = max(0, iinf[IInfItem.INTPNT_ITER]) + max(0, liinf[LIInfItem.SIMPLEX_ITER])
        return False, count, {"primal": dinf[DInfItem.INTPNT_PRIMAL_OBJ], "dual": dinf[DInfItem.INTPNT_DUAL_OBJ]}

    def update(self, dinf, iinf, liinf):
        now = time.monotonic()
        if now - self._last < 0.1:
            return
        self._last = now
        nodes, count, fields = self.fields(dinf, iinf, liinf)
        if nodes and not self._nodes:
            self._nodes, self.count = True, 0
            if self._tqdm is not None:
                self._tqdm.reset()
                self._tqdm.unit = " nodes"
        self.count = max(self.count, count)
        if self._tqdm is not None:
            self._tqdm.n = self.count
            self._tqdm.set_postfix({k: f"{v:.6g}" for k, v in fields.items()}, refresh=True)
        elif now - self._logged >= 1.0:
            self._logged = now
            logger.info("%d %s%s", self.count, "nodes" if self._nodes else "iterations",
                        "".join(f", {k} {v:.6g}" for k, v in fields.items()))

    def close(self):
        if self._tqdm is not None:
            self._tqdm.close()


class InterruptWatch:
    """Notices Ctrl-C during a solve from whichever thread the library calls
    the progress callable on.  The interpreter runs its signal handlers only
    in the main thread, which waits inside the library while optimizers call
    back from their own threads; the signal's wake-up byte, written at once by
    the interpreter's low-level handler, reaches every thread.  Used as a
    context manager around the library call (in the main thread only; a
    no-op elsewhere); KeyboardInterrupt itself is still raised by the
    interpreter once the library has returned."""

    def __init__(self):
        self._read = self._write = None
        self._previous = -1
        self.interrupted = False

    def __enter__(self):
        self.interrupted = False
        if threading.current_thread() is threading.main_thread():
            # A socket pair, as the wake-up descriptor must be a socket on
            # some systems.
            self._read, self._write = socket.socketpair()
            self._read.setblocking(False)
            self._write.setblocking(False)
            self._previous = signal.set_wakeup_fd(self._write.fileno(), warn_on_full_buffer=False)
        return self

    def __exit__(self, *exc):
        if self._read is not None:
            signal.set_wakeup_fd(self._previous)
            if self._previous >= 0 and self.interrupted:
                try:  # the signal's byte was read here; its owner gets it back
                    os.write(self._previous, bytes([signal.SIGINT]))
                except OSError:
                    pass
            self._read.close()
            self._write.close()
            self._read = self._write = None
        return False

    def pending(self):
        """Whether Ctrl-C came since the watch began."""
        if not self.interrupted and self._read is not None:
            try:
                self.interrupted = signal.SIGINT in self._read.recv(512)
            except OSError:  # nothing to read
                pass
        return self.interrupted


class SolveMonitor:
    """The progress callable that a Model installs on its task, chaining the
    progress and information callables given to one solve.

    Ctrl-C stops the optimizer: in the main thread the interpreter raises
    KeyboardInterrupt inside `progress`; on other threads the watch notices
    the signal and `progress` asks the optimizer to stop.  Either way the
    optimizing method raises KeyboardInterrupt once the library has returned.
    """

    def __init__(self):
        self.user_progress = self.user_info = self.bar = None
        self.watch = InterruptWatch()

    def start(self, user_progress=None, user_info=None, bar=False):
        """Chains the callables of one solve (and opens its bar)."""
        self.user_progress, self.user_info = user_progress, user_info
        self.bar = _Bar() if bar else None

    @property
    def wants_info(self):
        return self.user_info is not None or self.bar is not None

    def progress(self, code):
        if self.watch.pending():
            return True
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
