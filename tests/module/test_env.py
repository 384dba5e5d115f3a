"""The Env type: construction, streams, services, disposal."""
import sys

import pytest

_vlt = pytest.importorskip("_vlt")


def log_lines(path):
    return path.read_text().splitlines()


def test_dbgfile_is_passed_and_hooks_registered_in_stream_order(env_log_path):
    env = _vlt.Env(str(env_log_path))
    env.dispose()
    lines = log_lines(env_log_path)
    assert lines[0] == f'VLT_makeenv env=ptr dbgfile="{env_log_path}" -> 0'
    assert [l.split()[2] for l in lines[1:5]] == ["whichstream=0", "whichstream=1", "whichstream=3", "whichstream=2"]
    assert all(l.startswith("VLT_linkfunctoenvstream env=#") and l.endswith("handle=ptr func=ptr -> 0")
               for l in lines[1:5])
    assert lines[5].startswith("VLT_deleteenv env=#") and len(lines) == 6


@pytest.mark.parametrize("args, kwargs", [
    ((None,), {}),
    ((), {"dbgfile": None}),
    ((1,), {}),
    (("a", False, 3), {}),
    ((), {"other": 1}),
])
def test_construction_argument_errors(args, kwargs):
    with pytest.raises(TypeError):
        _vlt.Env(*args, **kwargs)


def test_unwritable_dbgfile_fails_creation(tmp_path):
    with pytest.raises(ValueError) as info:
        _vlt.Env(str(tmp_path / "missing" / "calls.log"))
    assert str(info.value) == "Failed to create Env object"


@pytest.mark.parametrize("with_dbgfile", [False, True])
def test_global_env(tmp_path, with_dbgfile):
    path = tmp_path / "calls.log"
    env = _vlt.Env(str(path), True) if with_dbgfile else _vlt.Env(globalenv=True)
    assert env.enablegarcolenv() == 0
    assert env.echointro_i_2(0) == (0, None)
    assert env.dispose() is None
    assert env.dispose() is None
    assert not path.exists()      # no environment is made, so no call log is opened


def test_enablegarcolenv_returns_a_plain_int():
    env = _vlt.Env()
    result = env.enablegarcolenv()
    assert type(result) is int and result == 0


def test_service_methods_are_static():
    assert _vlt.Env.getversion__0() == (0, (10, 2, 1))
    assert isinstance(_vlt.Env.__dict__["getversion__0"], staticmethod)
    assert isinstance(_vlt.Env.__dict__["getcodedesc_iOO_1"], staticmethod)


@pytest.mark.parametrize("code, name", [(0, b"VLT_RES_OK"), (1008, b"VLT_RES_ERR_INVALID_STREAM")])
def test_getcodedesc_fills_two_fixed_buffers(code, name):
    symname, text = bytearray(), bytearray(b"x" * 2000)
    assert _vlt.Env.getcodedesc_iOO_1(code, symname, text) == (0, None)
    assert len(symname) == 1024 and len(text) == 1024
    assert symname.split(b"\0")[0] == name
    assert b"\0" in text and len(text.split(b"\0")[0]) > 0
    symname.extend(b"x")     # views released


@pytest.mark.parametrize("symname, text, message", [
    (None, bytearray(), "Bytearray object for argument symname"),
    (b"", bytearray(), "Bytearray object for argument symname"),
    (bytearray(), memoryview(bytearray(4)), "Bytearray object for argument str"),
    ("x", "y", "Bytearray object for argument symname"),
])
def test_getcodedesc_type_checks(symname, text, message):
    with pytest.raises(TypeError) as info:
        _vlt.Env.getcodedesc_iOO_1(0, symname, text)
    assert str(info.value) == message


def test_stream_forwarding_and_silenced_errors():
    env = _vlt.Env()
    got = []

    def boom(message):
        raise RuntimeError(message)
    env.set_Stream(0, got.append)
    assert env.echointro_i_2(0) == (0, None)
    assert len(got) == 1 and got[0].startswith("velto optimizer 10.2.1")
    env.set_Stream(0, boom)
    assert env.echointro_i_2(1) == (0, None)     # the error of an Env stream callable is cleared
    env.remove_Stream(0)
    assert env.echointro_i_2(0) == (0, None)
    assert len(got) == 1


def test_linkfiletoenvstream(tmp_path):
    env = _vlt.Env()
    path = tmp_path / "msg.txt"
    assert env.linkfiletoenvstream_isi_4(0, str(path), 0) == (0, None)
    assert env.echointro_i_2(0) == (0, None)
    env.dispose()
    assert path.read_text().startswith("velto optimizer")
    code, value = _vlt.Env().linkfiletoenvstream_isi_4(9, str(path), 0)
    assert code != 0 and value is None


@pytest.mark.parametrize("stream", [-1, 4, 5])
def test_out_of_range_streams_change_nothing(stream):
    env = _vlt.Env()
    func = object()
    base = sys.getrefcount(func)
    assert env.set_Stream(stream, func) is None
    assert sys.getrefcount(func) == base
    assert env.remove_Stream(stream) is None


def test_stream_callable_references():
    env = _vlt.Env()
    first, second = (lambda message: None), (lambda message: None)
    base = sys.getrefcount(first)
    env.set_Stream(0, first)
    env.set_Stream(3, first)
    assert sys.getrefcount(first) == base + 2
    env.set_Stream(0, second)                # replacing releases the first
    assert sys.getrefcount(first) == base + 1 and sys.getrefcount(second) == base + 1
    env.remove_Stream(3)
    assert sys.getrefcount(first) == base
    env.set_Stream(1, first)
    del env                                  # deallocation releases the slots
    assert sys.getrefcount(first) == base and sys.getrefcount(second) == base


def test_dispose_twice_deletes_once(env_log_path):
    env = _vlt.Env(str(env_log_path))
    func = lambda message: None
    base = sys.getrefcount(func)
    env.set_Stream(2, func)
    assert env.dispose() is None
    assert sys.getrefcount(func) == base
    assert env.dispose() is None
    del env
    assert sum(l.startswith("VLT_deleteenv") for l in log_lines(env_log_path)) == 1


def test_methods_after_dispose_use_the_global_env():
    env = _vlt.Env()
    env.dispose()
    assert env.echointro_i_2(0) == (0, None)
    assert env.enablegarcolenv() == 0
