"""The one exception of the package: a library call that failed."""
from _vlt import Env

from ._constants import ResponseCode


def code_description(code):
    """The library's symbolic name and description of a response code."""
    name, text = bytearray(), bytearray()
    Env.getcodedesc_iOO_1(int(code), name, text)
    return name.split(b"\0")[0].decode(), text.split(b"\0")[0].decode()


class Error(Exception):
    """A library call failed.  `code` is its response code (a
    `velto.ResponseCode` where the code is one of the library's), and the
    message is the library's explanation of what was wrong with the data."""

    def __init__(self, code, message=""):
        try:
            code = ResponseCode(code)
        except ValueError:
            pass
        if not message:
            message = code_description(code)[1] or "the library call failed"
        name = code.name if isinstance(code, ResponseCode) else str(code)
        super().__init__(f"{message} ({name})")
        self.code = code
        self.message = message


def check(task, result):
    """The value of a generated method's (response code, value) result, or
    Error with the task's last error message."""
    res, value = result
    if res != 0:
        raise error_of(task, res)
    return value


def error_of(task, res):
    """The Error for response code res of a call on task."""
    last, message = task.getlasterror()
    return Error(res, message if last == res else "")


class Interrupted(KeyboardInterrupt):
    """Ctrl-C stopped a solve.  `result` is its Result: termination
    INTERRUPTED, with the best solution found before the stop (when the
    optimizer had one) and that point as `result.start`."""

    def __init__(self, result):
        super().__init__("the solve was interrupted")
        self.result = result
