"""The Task type: life cycle, cloning, streams and callables, last error and
data output, through the library's own messages and call log."""
import sys
from array import array

import pytest

_vlt = pytest.importorskip("_vlt")

INVALID_STREAM = 1008
NULL_TASK = 1002
ERR = 2   # the library's error stream


def log_lines(path):
    return path.read_text().splitlines()


def fail_call(task):
    """A library call that fails with a known code and message."""
    return task.linkfiletotaskstream_isi_4(7, "", 0)


FAIL_MESSAGE = "VLT_linkfiletotaskstream: VLT_RES_ERR_INVALID_STREAM (1008): Stream 7 is not 0 to 3\n"


# ---------------------------------------------------------------- construction

class SubEnv(_vlt.Env):
    pass


class SubTask(_vlt.Task):
    def extra(self):
        return "sub"


@pytest.mark.parametrize("args, kwargs, exc, message", [
    ((), {}, TypeError, "Expected a velto.Env value or None"),
    (("env",), {}, TypeError, "Expected a velto.Env value or None"),
    ((), {"numcon": 3}, TypeError, "Expected a velto.Env value or None"),
    ((SubEnv(),), {}, TypeError, "Expected a velto.Env value or None"),
    ((None,), {"other": 5}, TypeError, "Expected a velto.Task value for argument other"),
    ((None,), {"other": _vlt.Env()}, TypeError, "Expected a velto.Task value for argument other"),
])
def test_construction_refusals(args, kwargs, exc, message):
    with pytest.raises(exc) as info:
        _vlt.Task(*args, **kwargs)
    assert str(info.value) == message


@pytest.mark.parametrize("args, kwargs", [((None, "x"), {}), ((None, 1, 2, None, 5), {}), ((), {"nope": 1})])
def test_construction_parse_errors(args, kwargs):
    with pytest.raises(TypeError):
        _vlt.Task(*args, **kwargs)


@pytest.mark.parametrize("make", [
    lambda env: _vlt.Task(env),
    lambda env: _vlt.Task(env, 5, 7),
    lambda env: _vlt.Task(env=env, numvar=3),
    lambda env: SubTask(env),
])
def test_creation_registers_hooks(make, env, env_log_path):
    t = make(env)
    t.dispose()
    lines = log_lines(env_log_path)[5:]
    assert lines[0].startswith("VLT_makeemptytask env=#")
    serial = lines[1].split()[1]
    assert [l.split()[2] for l in lines[1:5]] == ["whichstream=0", "whichstream=1", "whichstream=3", "whichstream=2"]
    assert lines[5] == f"VLT_putcallbackfunc {serial} func=ptr handle=ptr -> 0"
    assert lines[6] == f"VLT_deletetask {serial} -> 0" and len(lines) == 7


def test_task_in_the_global_environment():
    t = _vlt.Task(None)
    assert t.getlasterror() == (0, "")
    assert fail_call(t) == (INVALID_STREAM, None)


def test_env_without_handle_gives_a_global_task():
    env = _vlt.Env(globalenv=True)
    t = _vlt.Task(env)
    assert fail_call(t) == (INVALID_STREAM, None)


def test_subclass_instances_use_the_same_slots():
    t = SubTask(None)
    got = []
    t.set_Stream(ERR, got.append)
    assert fail_call(t) == (INVALID_STREAM, None) and t.extra() == "sub"
    assert got == [FAIL_MESSAGE]
    assert isinstance(SubEnv(), _vlt.Env)


def test_clone_ignores_env_and_has_no_callables(task, env_log_path):
    got = []
    task.set_Stream(ERR, got.append)
    clone = _vlt.Task("not an env", other=task)
    clone_got = []
    assert fail_call(clone) == (INVALID_STREAM, None)
    assert got == []
    clone.set_Stream(ERR, clone_got.append)
    assert fail_call(clone) == (INVALID_STREAM, None)
    assert clone_got == [FAIL_MESSAGE] and got == []
    clone.dispose()
    assert any(l.startswith("VLT_clonetask task=#") for l in log_lines(env_log_path))


def test_clone_of_a_disposed_task_fails():
    t = _vlt.Task(None)
    t.dispose()
    with pytest.raises(ValueError) as info:
        _vlt.Task(other=t)
    assert str(info.value) == "Failed to create Task object"


# ---------------------------------------------------------------- disposal

def test_dispose_twice_deletes_once(env, env_log_path):
    t = _vlt.Task(env)
    assert t.dispose() is None
    assert t.dispose() is None
    del t
    assert sum(l.startswith("VLT_deletetask") for l in log_lines(env_log_path)) == 1


def test_methods_after_dispose_pass_a_null_handle(task):
    task.dispose()
    assert task.checkmemtask_si_3("file", 1) == (NULL_TASK, None)
    assert task.getlasterror() == (0, "")
    assert task.writedatastream(0, 0, object()) == NULL_TASK


# ---------------------------------------------------------------- call conventions

@pytest.mark.parametrize("method", ["remove_Progress", "remove_InfoCallback", "getlasterror", "dispose",
                                    "getmemusagetask__1"])
def test_flags_4_methods_refuse_arguments(task, method):
    with pytest.raises(TypeError) as info:
        getattr(task, method)(1)
    assert str(info.value) == f"Task.{method}() takes no arguments (1 given)"


@pytest.mark.parametrize("method, kwargs", [
    ("set_Stream", {"whichstream": 0, "func": print}),
    ("set_Progress", {"func": print}),
    ("writedatastream", {"dformat": 0, "compress": 0, "stream": None}),
    ("checkmemtask_si_3", {"file": "x", "line": 1}),
])
def test_keyword_arguments_are_refused(task, method, kwargs):
    with pytest.raises(TypeError) as info:
        getattr(task, method)(**kwargs)
    assert str(info.value).endswith(f"{method}() takes no keyword arguments")


# ---------------------------------------------------------------- streams

@pytest.mark.parametrize("stream", [0, 1, 3])
def test_messages_reach_only_their_stream(task, stream):
    got, err = [], []
    task.set_Stream(stream, got.append)
    task.set_Stream(ERR, err.append)
    assert fail_call(task) == (INVALID_STREAM, None)
    assert got == [] and err == [FAIL_MESSAGE]


def test_raising_stream_callable_makes_the_method_raise_after_the_call(task):
    seen = []

    def boom(message):
        seen.append(message)
        raise KeyError("stream")
    task.set_Stream(ERR, boom)
    with pytest.raises(KeyError):
        fail_call(task)
    assert seen == [FAIL_MESSAGE]
    # the call itself was made: the library recorded its error
    assert task.getlasterror() == (INVALID_STREAM, "Stream 7 is not 0 to 3")


# Setters of a Task's and an Env's callables: each sets a slot that a later
# message or progress event calls.  (owner, setter) -> the call that sets func.
SETTERS = {
    "task stream": lambda t, e, f: t.set_Stream(ERR, f),
    "task progress": lambda t, e, f: t.set_Progress(f),
    "task info": lambda t, e, f: t.set_InfoCallback(f),
    "env stream": lambda t, e, f: e.set_Stream(0, f),
}


def tiny_lp(env):
    """A task whose optimization sends progress events and log lines."""
    t = _vlt.Task(env)
    assert t.appendvars_i_2(2) == (0, None) and t.appendcons_i_2(1) == (0, None)
    t.putarow_iOO_4(0, memoryview(array("i", [0, 1])), memoryview(array("d", [1.0, 1.0])))
    t.putconbound_iidd_5(0, 1, 0.0, 1.0)         # x0 + x1 <= 1 (key UP)
    t.putvarboundsliceconst_iiidd_6(0, 2, 0, 0.0, 0.0)    # x >= 0 (key LO)
    t.putcslice_iiO_4(0, 2, memoryview(array("d", [-1.0, -2.0])))
    return t


def trigger(which, t, e):
    """Makes the library use the slot that SETTERS[which] sets."""
    if which == "task stream":
        fail_call(t)
    elif which == "env stream":
        e.echointro_i_2(0)
    else:
        res, _ = t.optimizetrm__1()
        assert res == 0


@pytest.mark.parametrize("which", sorted(SETTERS))
@pytest.mark.parametrize("new", [None, 5, "print", object()])
def test_none_removes_a_callable_and_a_non_callable_is_refused_keeping_it(which, new):
    env = _vlt.Env()
    t = tiny_lp(env)
    got = []
    SETTERS[which](t, env, lambda *args: got.append(args) and None)
    trigger(which, t, env)
    assert got, "the callable was not called"
    got.clear()
    if new is None:
        assert SETTERS[which](t, env, None) is None
    else:
        with pytest.raises(TypeError, match="^Expected a callable object or None for argument func"):
            SETTERS[which](t, env, new)
    for _ in range(2):                 # every later use, not only the next
        trigger(which, t, env)
    assert bool(got) == (new is not None)      # removed, or the earlier callable still called
    t.dispose()
    env.dispose()


@pytest.mark.parametrize("stream", [-1, 4, 5])
def test_out_of_range_streams_change_nothing(task, stream):
    func = object()
    base = sys.getrefcount(func)
    assert task.set_Stream(stream, func) is None
    assert sys.getrefcount(func) == base
    assert task.remove_Stream(stream) is None
    assert fail_call(task) == (INVALID_STREAM, None)    # nothing was stored where a message could reach it


def test_callable_references_are_released(env):
    t = _vlt.Task(env)
    funcs = [(lambda *args: None) for _ in range(4)]
    bases = [sys.getrefcount(funcs[i]) for i in range(4)]

    def counts():
        return [sys.getrefcount(funcs[i]) - bases[i] for i in range(4)]
    t.set_Stream(0, funcs[0])
    t.set_Stream(1, funcs[0])
    t.set_Progress(funcs[1])
    t.set_InfoCallback(funcs[2])
    assert counts() == [2, 1, 1, 0]
    t.set_Stream(0, funcs[3])
    t.set_Progress(funcs[3])
    assert counts() == [1, 0, 1, 2]
    t.remove_Stream(1)
    t.remove_InfoCallback()
    t.remove_Progress()
    t.remove_Progress()
    assert counts() == [0, 0, 0, 1]
    t.set_Progress(funcs[1])
    t.set_InfoCallback(funcs[2])
    t.dispose()
    assert counts() == [0, 0, 0, 0]
    t.set_Stream(3, funcs[0])     # slots can be set again after dispose
    t.set_Progress(funcs[1])
    del t
    assert counts() == [0, 0, 0, 0]




# ---------------------------------------------------------------- last error, data output

def test_getlasterror_after_a_failing_call(task):
    assert task.getlasterror() == (0, "")
    fail_call(task)
    code, message = task.getlasterror()
    assert (code, message) == (INVALID_STREAM, "Stream 7 is not 0 to 3")
    assert type(code) is int and type(message) is str


def test_getlasterror_calls(task, env_log_path):
    fail_call(task)
    task.getlasterror()
    lines = [l.split(" ", 2)[2] for l in log_lines(env_log_path) if l.startswith("VLT_getlasterror")]
    assert lines == ["lastrescode=ptr sizelastmsg=0 lastmsglen=ptr lastmsg=null -> 0",
                     f"lastrescode=ptr sizelastmsg={len('Stream 7 is not 0 to 3') + 1} lastmsglen=null lastmsg=ptr -> 0"]


def test_getlasterror_without_message_makes_one_call(task, env_log_path):
    task.getlasterror()
    assert sum(l.startswith("VLT_getlasterror") for l in log_lines(env_log_path)) == 1


# Files whose bad line holds bytes that are not UTF-8 (after a valid "é"):
# the readers quote the line in their message.
BAD = "é".encode() + b"\xff\xfe"
BAD_FILES = {
    "lp": b"minimize\n obj: x\nsubject to\n c1: x >= " + BAD + b"\nend\n",
    "mps": b"NAME t\nROWS\n N obj\n " + BAD + b" c1\nENDATA\n",
    "opf": b"minimize\n + 0 x0\nsubject to\n + x0 >= 1\nend\nTRUNCATION " + BAD + b"\n",
}


@pytest.mark.parametrize("ext", sorted(BAD_FILES))
def test_messages_quoting_bytes_that_are_not_utf8_are_text(tmp_path, ext):
    import velto
    path = tmp_path / ("bad." + ext)
    path.write_bytes(BAD_FILES[ext])
    t = _vlt.Task(None)
    got = []
    t.set_Stream(ERR, got.append)
    res, _ = t.readdataautoformat_s_2(str(path))
    assert res != 0
    code, message = t.getlasterror()
    # valid sequences kept, the others escaped: the same text on the stream
    assert code == res and "é\\xff\\xfe" in message, message
    assert len(got) == 1 and got[0].endswith(message + "\n")
    with pytest.raises(velto.Error) as info:
        velto.Model().read(path)
    assert info.value.message == message


class Sink:
    def __init__(self):
        self.chunks = []

    def write(self, view):
        assert view.readonly
        self.chunks.append(bytes(view))


def test_writedatastream_returns_a_plain_int_and_keeps_nothing(task):
    sink = Sink()
    base = sys.getrefcount(sink)
    res = task.writedatastream(0, 0, sink)
    assert type(res) is int
    assert sys.getrefcount(sink) == base
    if res == 1001:       # the library does not write data streams yet
        assert sink.chunks == []
    else:
        assert res == 0 and sink.chunks


@pytest.mark.parametrize("args", [(), (0, 0), ("a", 0, None), (0, 0, None, 1)])
def test_writedatastream_parse_errors(task, args):
    with pytest.raises(TypeError):
        task.writedatastream(*args)
