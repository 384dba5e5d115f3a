"""The module object, the two types and their method tables."""
import re
import types
import weakref

import pytest

_vlt = pytest.importorskip("_vlt")

ENV_TABLE = [
    ("set_Stream", 1, "set_Stream(whichstream,func)"),
    ("remove_Stream", 1, "remove_Stream(whichstream)"),
    ("enablegarcolenv", 4, "enablegarcolenv()"),
    ("optimizebatch_idiOOO_7", 1, None),
    ("optimizebatch_idiOOO_5", 1, None),
    ("echointro_i_2", 1, None),
    ("getcodedesc_iOO_1", 33, None),
    ("getversion__0", 36, None),
    ("linkfiletoenvstream_isi_4", 1, None),
    ("axpy_idOO_5", 1, None),
    ("dot_iOO_4", 1, None),
    ("gemv_iiidOOdO_9", 1, None),
    ("gemm_iiiiidOOdO_11", 1, None),
    ("syrk_iiiidOdO_9", 1, None),
    ("computesparsecholesky_iidOOOOOOOOOO_8", 1, None),
    ("sparsetriangularsolvedense_iOOOOO_7", 1, None),
    ("potrf_iiO_4", 1, None),
    ("syeig_iiOO_5", 1, None),
    ("syeig_iiOO_4", 1, None),
    ("syevd_iiOO_5", 1, None),
    ("syevd_iiOO_4", 1, None),
    ("dispose", 4, "dispose()"),
]

TASK_PLAIN = [
    ("set_Stream", 1, "set_Stream(whichstream,func)"),
    ("set_Progress", 1, "set_Progress(func)"),
    ("set_InfoCallback", 1, "set_InfoCallback(func)"),
    ("remove_Stream", 1, "remove_Stream(whichstream)"),
    ("remove_Progress", 4, "remove_Progress()"),
    ("remove_InfoCallback", 4, "remove_InfoCallback()"),
    ("writedatastream", 1, "writedatastream(dformat,compress,stream)"),
    ("getlasterror", 4, "getlasterror(lastmsg)"),
    ("dispose", 4, "dispose()"),
]

GENERATED = re.compile(r"^([a-z0-9]+)_([iLdsO]*)_(\d+)$")


def table(cls):
    """The method table in order (the type's dict keeps the table order)."""
    return [name for name, value in vars(cls).items() if not name.startswith("__")]


def flags_of(cls, name):
    """The calling convention, found by behaviour: 4 refuses any argument,
    1 refuses keywords but parses positional ones; +32 when static."""
    static = isinstance(vars(cls)[name], staticmethod)
    method = getattr(cls, name)
    if not static:
        method = getattr(_vlt.Task(None) if cls is _vlt.Task else _vlt.Env(globalenv=True), name)
    try:
        method(*range(40))
    except TypeError as e:
        noargs = "takes no arguments" in str(e)
    else:
        raise AssertionError(f"{name} accepted 40 arguments")
    return (4 if noargs else 1) + (32 if static else 0)


def test_module_attributes_and_doc():
    standard = set(dir(types.ModuleType("m"))) | {"__file__"}
    assert set(dir(_vlt)) - standard == {"Env", "Task"}
    assert _vlt.__doc__ == "Low level VELTO optimizer API"
    assert _vlt.__name__ == "_vlt"


@pytest.mark.parametrize("cls, name, doc", [(_vlt.Env, "_vlt.Env", "Env objects"),
                                            (_vlt.Task, "_vlt.Task", "Task objects")])
def test_types(cls, name, doc):
    assert f"{cls.__module__}.{cls.__qualname__}" == name
    assert cls.__doc__ == doc
    assert cls.__bases__ == (object,)
    assert cls.__flags__ & (1 << 10)            # subclassing allowed
    assert not cls.__flags__ & (1 << 9)         # a static type, not a heap type
    assert not cls.__flags__ & (1 << 14)        # no garbage-collector support
    obj = cls(None) if cls is _vlt.Task else cls()
    with pytest.raises(AttributeError):
        obj.anything = 1                        # no instance dictionary
    with pytest.raises(TypeError):
        weakref.ref(obj)                        # no weak references


def test_env_table_follows_the_documented_order():
    names = [n for n, _, _ in ENV_TABLE]
    present = table(_vlt.Env)
    assert set(present) <= set(names)
    assert present == [n for n in names if n in present]
    for must in ("set_Stream", "remove_Stream", "enablegarcolenv", "echointro_i_2", "getcodedesc_iOO_1",
                 "getversion__0", "linkfiletoenvstream_isi_4", "dispose"):
        assert must in present


@pytest.mark.parametrize("name, flags, doc", ENV_TABLE)
def test_env_rows(name, flags, doc):
    if name not in vars(_vlt.Env):
        pytest.skip(f"{name} is not registered yet")
    assert getattr(_vlt.Env, name).__doc__ == doc
    assert flags_of(_vlt.Env, name) == flags


def test_task_table_ends_with_the_plain_methods():
    present = table(_vlt.Task)
    assert present[-9:] == [n for n, _, _ in TASK_PLAIN]
    assert len(set(present)) == len(present)
    assert all(GENERATED.match(n) for n in present[:-9])


@pytest.mark.parametrize("name, flags, doc", TASK_PLAIN)
def test_task_plain_rows(name, flags, doc):
    assert getattr(_vlt.Task, name).__doc__ == doc
    assert flags_of(_vlt.Task, name) == flags


def generated_rows():
    rows = []
    for cls in (_vlt.Env, _vlt.Task):
        for name in table(cls):
            if GENERATED.match(name):
                rows.append(pytest.param(cls, name, id=f"{cls.__name__}.{name}"))
    return rows


@pytest.mark.parametrize("cls, name", generated_rows())
def test_generated_rows_match_their_names(cls, name):
    fmt = GENERATED.match(name).group(2)
    assert getattr(cls, name).__doc__ is None
    static = name in ("getcodedesc_iOO_1", "getversion__0") and cls is _vlt.Env
    assert flags_of(cls, name) == (4 if fmt == "" else 1) + (32 if static else 0)
    if fmt:
        # the parse format has as many letters as the name says
        target = getattr(cls, name) if static else getattr(_vlt.Task(None) if cls is _vlt.Task else _vlt.Env(), name)
        with pytest.raises(TypeError) as info:
            target()
        plural = "argument" if len(fmt) == 1 else "arguments"
        assert str(info.value) == f"function takes exactly {len(fmt)} {plural} (0 given)"
