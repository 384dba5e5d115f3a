"""Parameters and information items through the generated Task methods, and
the library's own argument checks of the text getter (called directly)."""
import ctypes
import math
import pathlib
import re

import pytest

import _vlt

ROOT = pathlib.Path(__file__).resolve().parents[2]

PARAM_NAME, PARAM_INDEX, PARAM_VALUE, PARAM_TYPE, INF_INDEX = 1400, 1401, 1402, 1403, 1404
NULL_POINTER, BUFFER_TOO_SMALL, INVALID_STAKEY, INVALID_ENUM = 1005, 1010, 1307, 1308
INT32_MIN, INT32_MAX = -2**31, 2**31 - 1


# ------------------------------------------------------------ the catalog, read from the sources

def _members():
    """Every enumeration member of the interface headers: name -> value."""
    text = (ROOT / "library/velto.h").read_text() + (ROOT / "library/velto_params.h").read_text()
    return {m[1]: int(m[2]) for m in re.finditer(r"^\s*(VLT_\w+)\s*=\s*(-?\d+)", text, re.M)}


MEMBERS = _members()


def _enum(prefix):
    return {k: v for k, v in MEMBERS.items() if k.startswith(prefix)}


IPARAMS, DPARAMS, SPARAMS = _enum("VLT_IPAR_"), _enum("VLT_DPAR_"), _enum("VLT_SPAR_")
DINF, IINF, LIINF = _enum("VLT_DINF_"), _enum("VLT_IINF_"), _enum("VLT_LIINF_")


def _header_enums():
    """The generated full value sets: kVLT<enum> -> the enumeration's values."""
    text = (ROOT / "library/velto.h").read_text() + (ROOT / "library/velto_params.h").read_text()
    sets = {}
    for m in re.finditer(r"^enum (VLT\w+)_enum \{(.*?)^\};", text, re.S | re.M):
        sets["k" + m[1]] = [int(v) for v in re.findall(r"^\s*VLT_\w+\s*=\s*(-?\d+)", m[2], re.M)]
    return sets


def _catalog():
    """(int rows, double rows, string rows) of the library's parameter catalog."""
    text = (ROOT / "optimizer/params/param_catalog.cpp").read_text()
    sets = _header_enums()
    for m in re.finditer(r"constexpr EnumValue (k\w+)\[\] = \{(.*?)\};", text, re.S):
        sets[m[1]] = [MEMBERS[name] for name in re.findall(r'"(VLT_\w+)"', m[2])]
    set_of = {m[1]: m[2] for m in re.finditer(r"constexpr EnumSet (k\w+)\{\"\w+\", (k\w+)\};", text)}

    def number(token):
        token = token.strip()
        named = {"kIntMax": INT32_MAX, "-kIntMax": -INT32_MAX, "kInf": math.inf, "-kInf": -math.inf}
        return named[token] if token in named else MEMBERS.get(token, None) if token.startswith("VLT_") else float(token)

    ints, dous, strs = {}, {}, {}
    for kind, name, args in re.findall(r"^\s*VLT_(INT|SET|ONOFF|DOU|STR)\((\w+), (.*)\),$", text, re.M):
        parts = [p.strip() for p in args.split(",")]
        if kind == "INT":
            ints[name] = dict(default=int(number(parts[0])), lo=int(number(parts[1])), hi=int(number(parts[2])), values=None)
        elif kind == "SET":
            ints[name] = dict(default=number(parts[0]), values=sets[set_of[parts[1]]])
        elif kind == "ONOFF":
            ints[name] = dict(default=number(parts[0]), values=[0, 1])
        elif kind == "DOU":
            dous[name] = dict(default=number(parts[0]), lo=number(parts[1]), hi=number(parts[2]))
        else:
            strs[name] = dict(default=re.match(r'"(.*?)"', args)[1])
    return ints, dous, strs


INTS, DOUS, STRS = _catalog()


def test_catalog_read_completely():
    # The tables below drive every other test; a parse that missed rows would hide faults.
    assert set(INTS) == {k[len("VLT_IPAR_"):] for k in IPARAMS}
    assert set(DOUS) == {k[len("VLT_DPAR_"):] for k in DPARAMS}
    assert set(STRS) == {k[len("VLT_SPAR_"):] for k in SPARAMS}
    assert any(r["values"] is None for r in INTS.values()) and any(r["values"] for r in INTS.values())


def lines_of(path, prefix):
    return [l for l in pathlib.Path(path).read_text().splitlines() if l.startswith(prefix)]


# ------------------------------------------------------------ integer parameters

def int_cases():
    for name, row in INTS.items():
        good = sorted(set(row["values"])) if row["values"] else [row["lo"], row["hi"]]
        if row["values"]:
            bad = [max(row["values"]) + 1, min(row["values"]) - 1]
        else:
            bad = [v for v in (row["lo"] - 1, row["hi"] + 1) if INT32_MIN <= v <= INT32_MAX]
        yield pytest.param(name, MEMBERS["VLT_IPAR_" + name], row["default"], good, bad, id=name)


@pytest.mark.parametrize("name,code,default,good,bad", list(int_cases()))
def test_int_parameter_round_trip(task, name, code, default, good, bad):
    assert task.getintparam_i_2(code) == (0, default)
    full = "VLT_IPAR_" + name
    for value in good:
        assert task.putintparam_ii_3(code, value) == (0, None)
        assert task.getintparam_i_2(code) == (0, value)
    for setter, key in ((task.putnaintparam_si_3, full), (task.putnaintparam_si_3, name.lower())):
        for value in reversed(good):
            assert setter(key, value) == (0, None)
            assert task.getintparam_i_2(code) == (0, value)
    for value in good:
        assert task.putparam_ss_3(full.lower(), f" {value} ") == (0, None)
        assert task.getintparam_i_2(code) == (0, value)
    kept = task.getintparam_i_2(code)
    for value in bad:
        assert task.putintparam_ii_3(code, value) == (PARAM_VALUE, None)
        assert task.putnaintparam_si_3(full, value) == (PARAM_VALUE, None)
        assert task.putparam_ss_3(full, str(value)) == (PARAM_VALUE, None)
        assert task.getintparam_i_2(code) == kept


@pytest.mark.parametrize("text,expected", [
    ("VLT_OPTIMIZER_DUAL_SIMPLEX", "VLT_OPTIMIZER_DUAL_SIMPLEX"),
    ("intpnt", "VLT_OPTIMIZER_INTPNT"),
    ("VLT_FREE_SIMPLEX", "VLT_OPTIMIZER_FREE_SIMPLEX"),
    ("+3", 3),
])
def test_symbolic_values_of_integer_parameters(task, text, expected):
    code = MEMBERS["VLT_IPAR_OPTIMIZER"]
    assert task.putparam_ss_3("OPTIMIZER", text) == (0, None)
    assert task.getintparam_i_2(code) == (0, MEMBERS.get(expected, expected))


@pytest.mark.parametrize("name,text", [("VLT_IPAR_OPTIMIZER", "VLT_ON"), ("VLT_IPAR_LOG", "ten"),
                                       ("VLT_IPAR_LOG", "3000000000"), ("VLT_IPAR_LOG", ""),
                                       ("VLT_DPAR_MIO_MAX_TIME", "1.5s"), ("VLT_DPAR_MIO_MAX_TIME", "nan")])
def test_unreadable_texts_refused_and_unchanged(task, name, text):
    getter = task.getintparam_i_2 if "IPAR" in name else task.getdouparam_i_2
    before = getter(MEMBERS[name])
    assert task.putparam_ss_3(name, text) == (PARAM_VALUE, None)
    assert getter(MEMBERS[name]) == before


# ------------------------------------------------------------ double parameters

def dou_cases():
    for name, row in DOUS.items():
        good = [row["lo"], row["hi"], row["default"]]
        bad = [math.nan] + [math.nextafter(v, d) for v, d in ((row["lo"], -math.inf), (row["hi"], math.inf))
                            if math.isfinite(v)]
        yield pytest.param(name, MEMBERS["VLT_DPAR_" + name], row["default"], good, bad, id=name)


@pytest.mark.parametrize("name,code,default,good,bad", list(dou_cases()))
def test_dou_parameter_round_trip(task, name, code, default, good, bad):
    assert task.getdouparam_i_2(code) == (0, default)
    full = "VLT_DPAR_" + name
    for value in good:
        assert task.putdouparam_id_3(code, value) == (0, None)
        assert task.getdouparam_i_2(code) == (0, value)
        assert task.putnadouparam_sd_3(name.lower(), default) == (0, None)
        assert task.getdouparam_i_2(code) == (0, default)
        assert task.putnadouparam_sd_3(full, value) == (0, None)
        assert task.getdouparam_i_2(code) == (0, value)
        if math.isfinite(value):
            assert task.putparam_ss_3(full, repr(default)) == (0, None)
            assert task.putparam_ss_3(full, repr(value)) == (0, None)
            assert task.getdouparam_i_2(code) == (0, value)
    kept = task.getdouparam_i_2(code)
    for value in bad:
        assert task.putdouparam_id_3(code, value) == (PARAM_VALUE, None)
        assert task.putnadouparam_sd_3(full, value) == (PARAM_VALUE, None)
        if math.isfinite(value):
            assert task.putparam_ss_3(full, repr(value)) == (PARAM_VALUE, None)
        assert task.getdouparam_i_2(code) == kept


# ------------------------------------------------------------ string parameters

@pytest.mark.parametrize("name", list(STRS))
def test_str_parameter_round_trip(task, name):
    code = MEMBERS["VLT_SPAR_" + name]
    default = STRS[name]["default"]
    out = bytearray(b"junk")
    assert task.getstrparam_iO_2(code, out) == (0, len(default))
    assert out == default.encode() + b"\0"
    assert task.getstrparamlen_i_2(code) == (0, len(default))
    for setter, key, value in ((task.putstrparam_is_3, code, "a b/c.txt"),
                               (task.putnastrparam_ss_3, "VLT_SPAR_" + name, ""),
                               (task.putnastrparam_ss_3, name.lower(), "x" * 300),
                               (task.putparam_ss_3, "vlt_spar_" + name.lower(), "=;#\u00e9")):
        assert setter(key, value) == (0, None)
        raw = value.encode()
        assert task.getstrparamlen_i_2(code) == (0, len(raw))
        assert task.getstrparam_iO_2(code, out) == (0, len(raw))
        assert out == raw + b"\0"


def test_getstrparam_size_query_sequence(task, env_log_path, calls):
    code = MEMBERS["VLT_SPAR_STAT_KEY"]
    assert task.putstrparam_is_3(code, "abcde") == (0, None)
    out = bytearray(1000)
    assert task.getstrparam_iO_2(code, out) == (0, 5)
    assert out == b"abcde\0"
    assert task.putstrparam_is_3(code, "") == (0, None)
    assert task.getstrparam_iO_2(code, out) == (0, 0)
    assert out == b"\0"
    got = [re.sub(r"task=#\d+ ", "", l) for l in calls(env_log_path)
           if l.startswith(("VLT_putstrparam ", "VLT_getstrparam"))]
    assert got == [
        f'VLT_putstrparam param={code} parvalue="abcde" -> 0',
        f"VLT_getstrparamlen param={code} len=ptr -> 0",
        f"VLT_getstrparam param={code} maxlen=6 len=ptr parvalue=ptr -> 0",
        f'VLT_putstrparam param={code} parvalue="" -> 0',
        f"VLT_getstrparamlen param={code} len=ptr -> 0",
        f"VLT_getstrparam param={code} maxlen=1 len=ptr parvalue=ptr -> 0",
    ]


@pytest.mark.parametrize("parvalue,message", [(b"xyz", "Bytearray object for argument parvalue"),
                                              (None, "Bytearray object for argument parvalue"),
                                              (memoryview(bytearray(4)), "Bytearray object for argument parvalue")])
def test_getstrparam_wrong_kind_makes_no_call(task, env_log_path, calls, parvalue, message):
    before = len(calls(env_log_path))
    with pytest.raises(TypeError) as err:
        task.getstrparam_iO_2(0, parvalue)
    assert str(err.value) == message
    assert len(calls(env_log_path)) == before


@pytest.mark.parametrize("code", [-1, len(SPARAMS)])
def test_getstrparam_failed_length_query_leaves_bytearray(task, env_log_path, calls, code):
    out = bytearray(b"keep")
    assert task.getstrparam_iO_2(code, out) == (PARAM_INDEX, None)
    assert out == b"keep"
    assert not [l for l in calls(env_log_path) if l.startswith("VLT_getstrparam ")]


# ------------------------------------------------------------ codes, names, counts, defaults

BY_TYPE = [("int", IPARAMS, 0), ("dou", DPARAMS, 1), ("str", SPARAMS, 2)]


@pytest.mark.parametrize("word,codes,partype", BY_TYPE)
def test_names_to_codes_and_counts(task, word, codes, partype):
    assert task.getnumparam_i_2(partype) == (0, len(codes))
    assert sorted(codes.values()) == list(range(len(codes)))
    lookup = getattr(task, f"is{word}parname_s_2")
    for full, code in codes.items():
        short = full.split("_", 2)[2]
        for name in (full, short, full.lower(), short.title()):
            assert lookup(name) == (0, code)
    for other_word, other_codes, _ in BY_TYPE:
        if other_word != word:
            assert lookup(next(iter(other_codes))) == (PARAM_TYPE, None)
    for unknown in ("", "VLT_IPAR_", "LOG ", "VLT_XPAR_LOG"):
        assert lookup(unknown) == (PARAM_NAME, None)


@pytest.mark.parametrize("partype", [-1, 3])
def test_getnumparam_unknown_type(task, partype):
    assert task.getnumparam_i_2(partype) == (PARAM_TYPE, None)


@pytest.mark.parametrize("call,args", [
    ("getintparam_i_2", (-1,)), ("getintparam_i_2", (len(IPARAMS),)),
    ("getdouparam_i_2", (len(DPARAMS),)), ("getstrparamlen_i_2", (len(SPARAMS),)),
    ("putintparam_ii_3", (len(IPARAMS), 0)), ("putdouparam_id_3", (-1, 0.0)),
    ("putstrparam_is_3", (len(SPARAMS), "x")),
])
def test_unknown_codes(task, call, args):
    assert getattr(task, call)(*args) == (PARAM_INDEX, None)
    code, message = task.getlasterror()
    assert code == PARAM_INDEX and str(args[0]) in message


@pytest.mark.parametrize("call,name,value", [
    ("putnaintparam_si_3", "VLT_DPAR_MIO_MAX_TIME", 1), ("putnadouparam_sd_3", "VLT_IPAR_LOG", 1.0),
    ("putnastrparam_ss_3", "LOG", "1"), ("putnaintparam_si_3", "VLT_SPAR_STAT_KEY", 1),
])
def test_set_by_name_of_another_type(task, call, name, value):
    assert getattr(task, call)(name, value) == (PARAM_TYPE, None)


@pytest.mark.parametrize("call,value", [("putnaintparam_si_3", 1), ("putnadouparam_sd_3", 1.0),
                                        ("putnastrparam_ss_3", "v"), ("putparam_ss_3", "1")])
def test_set_by_unknown_name(task, call, value):
    assert getattr(task, call)("VLT_IPAR_NO_SUCH_THING", value) == (PARAM_NAME, None)


def test_setdefaults_restores_every_parameter(task):
    changed = {}
    for name, row in INTS.items():
        value = (row["values"][-1] if row["default"] != row["values"][-1] else row["values"][0]) if row["values"] \
            else (row["hi"] if row["default"] != row["hi"] else row["lo"])
        assert task.putintparam_ii_3(MEMBERS["VLT_IPAR_" + name], value) == (0, None)
        changed[name] = value
    for name, row in DOUS.items():
        assert task.putdouparam_id_3(MEMBERS["VLT_DPAR_" + name], row["hi"] if row["default"] != row["hi"] else row["lo"]) == (0, None)
    for name in STRS:
        assert task.putstrparam_is_3(MEMBERS["VLT_SPAR_" + name], "changed") == (0, None)
    clone = _vlt.Task(other=task)
    assert task.setdefaults__1() == (0, None)
    out = bytearray()
    for name, row in INTS.items():
        assert task.getintparam_i_2(MEMBERS["VLT_IPAR_" + name]) == (0, row["default"])
        assert clone.getintparam_i_2(MEMBERS["VLT_IPAR_" + name]) == (0, changed[name])
    for name, row in DOUS.items():
        assert task.getdouparam_i_2(MEMBERS["VLT_DPAR_" + name]) == (0, row["default"])
    for name, row in STRS.items():
        assert task.getstrparam_iO_2(MEMBERS["VLT_SPAR_" + name], out) == (0, len(row["default"]))
        assert clone.getstrparam_iO_2(MEMBERS["VLT_SPAR_" + name], out) == (0, len("changed"))
    clone.dispose()


# ------------------------------------------------------------ information items

INFO = [("getdouinf_i_2", DINF, 0.0), ("getintinf_i_2", IINF, 0), ("getlintinf_i_2", LIINF, 0)]


@pytest.mark.parametrize("call,items,zero", INFO, ids=["dinf", "iinf", "liinf"])
def test_info_items_zero_before_optimization(task, call, items, zero):
    getter = getattr(task, call)
    assert sorted(items.values()) == list(range(len(items)))
    for name, code in items.items():
        result = getter(code)
        assert result == (0, zero) and type(result[1]) is type(zero), name
    for code in (-1, len(items)):
        assert getter(code) == (INF_INDEX, None)


# ------------------------------------------------------------ texts of cone types and status keys

@pytest.mark.parametrize("call,prefix,error", [("strtoconetype_s_2", "VLT_CT_", INVALID_ENUM),
                                               ("strtosk_s_2", "VLT_SK_", INVALID_STAKEY)])
def test_texts_to_codes(task, call, prefix, error):
    convert = getattr(task, call)
    members = _enum(prefix)
    assert members
    for full, code in members.items():
        short = full[len(prefix):]
        for text in (full, short, short.lower(), "VLT_" + short, f"  {full}\t"):
            assert convert(text) == (0, code), text
    for text in ("", prefix, "VLT_BK_LO", "XYZ"):
        assert convert(text) == (error, None)


# ------------------------------------------------------------ argument kinds

@pytest.mark.parametrize("call,args", [
    ("putintparam_ii_3", ("VLT_IPAR_LOG", 1)), ("putintparam_ii_3", (1, 1.5)),
    ("putdouparam_id_3", (1, "1.0")), ("putstrparam_is_3", (1, b"bytes")),
    ("putnaintparam_si_3", (1, 1)), ("putparam_ss_3", ("LOG",)),
    ("getintparam_i_2", ()), ("strtosk_s_2", (None,)), ("setdefaults__1", (1,)),
])
def test_parse_errors_make_no_call(task, env_log_path, calls, call, args):
    before = len(calls(env_log_path))
    with pytest.raises(TypeError):
        getattr(task, call)(*args)
    assert len(calls(env_log_path)) == before


@pytest.mark.parametrize("call,args", [("putstrparam_is_3", (0, "a\0b")), ("putparam_ss_3", ("LOG\0", "1"))])
def test_embedded_nul_refused_by_parser(task, env_log_path, calls, call, args):
    before = len(calls(env_log_path))
    with pytest.raises(ValueError):
        getattr(task, call)(*args)
    assert len(calls(env_log_path)) == before


# ------------------------------------------------------------ the library's checks, called directly

@pytest.fixture
def lib():
    path = pathlib.Path(_vlt.__file__).parent / "libvelto64.so"
    if not path.exists():
        pytest.skip("library file not found next to the module")
    dll = ctypes.CDLL(str(path))
    dll.VLT_makeemptytask.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_void_p)]
    dll.VLT_deletetask.argtypes = [ctypes.POINTER(ctypes.c_void_p)]
    dll.VLT_getstrparam.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32,
                                    ctypes.POINTER(ctypes.c_int32), ctypes.c_char_p]
    dll.VLT_putstrparam.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_char_p]
    for name in ("VLT_getintparam", "VLT_getnumparam", "VLT_getintinf"):
        getattr(dll, name).argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.POINTER(ctypes.c_int32)]
    for name in ("VLT_isintparname", "VLT_strtosk"):
        getattr(dll, name).argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.POINTER(ctypes.c_int32)]
    dll.VLT_putnaintparam.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int32]
    dll.VLT_putparam.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p]
    handle = ctypes.c_void_p()
    assert dll.VLT_makeemptytask(None, ctypes.byref(handle)) == 0
    yield dll, handle
    dll.VLT_deletetask(ctypes.byref(handle))


@pytest.mark.parametrize("maxlen,expected_res,expected_bytes", [
    (10, 0, b"abcdef\0"), (7, 0, b"abcdef\0"), (6, BUFFER_TOO_SMALL, b"abcde\0"),
    (1, BUFFER_TOO_SMALL, b"\0"), (0, BUFFER_TOO_SMALL, b""),
])
def test_library_text_getter_never_writes_past_size(lib, maxlen, expected_res, expected_bytes):
    dll, task = lib
    code = MEMBERS["VLT_SPAR_STAT_NAME"]
    assert dll.VLT_putstrparam(task, code, b"abcdef") == 0
    buffer = ctypes.create_string_buffer(b"\xff" * 16, 16)
    length = ctypes.c_int32(-5)
    assert dll.VLT_getstrparam(task, code, maxlen, ctypes.byref(length), buffer) == expected_res
    assert length.value == 6
    assert buffer.raw[:len(expected_bytes)] == expected_bytes
    assert set(buffer.raw[len(expected_bytes):]) == {0xff}


@pytest.mark.parametrize("call,args", [
    ("VLT_getintparam", (0, None)), ("VLT_getnumparam", (0, None)), ("VLT_getintinf", (0, None)),
    ("VLT_isintparname", (None, "out")), ("VLT_isintparname", (b"LOG", None)),
    ("VLT_strtosk", (None, "out")), ("VLT_putnaintparam", (None, 1)),
    ("VLT_putparam", (None, b"1")), ("VLT_putparam", (b"LOG", None)),
    ("VLT_putstrparam", (0, None)), ("VLT_getstrparam", (0, 10, None, None)),
])
def test_library_null_pointers(lib, call, args):
    dll, task = lib
    out = ctypes.c_int32(77)
    args = tuple(ctypes.byref(out) if a == "out" else a for a in args)
    assert getattr(dll, call)(task, *args) == NULL_POINTER
    assert out.value == 77
    value = ctypes.c_int32()
    assert dll.VLT_getintparam(task, MEMBERS["VLT_IPAR_LOG"], ctypes.byref(value)) == 0
    assert value.value == INTS["LOG"]["default"]
