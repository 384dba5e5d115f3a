"""Names through the generated Task methods: putting, lengths, reading into
text bytearrays, lookups and generation, for every kind of item, with the
library's response codes passed through."""
import re

import numpy as np
import pytest

import _vlt

OK, NOT_IMPLEMENTED, BUFFER_TOO_SMALL = 0, 1001, 1010
ERR_INDEX_CON, ERR_INDEX_VAR, ERR_INDEX_CONE, ERR_INDEX_BARVAR = 1201, 1202, 1203, 1204
ERR_INDEX_DOMAIN, ERR_INDEX_ACC = 1206, 1207
NAME_TYPE_GEN, STREAM_LOG = 0, 0


def i32(*a):
    return memoryview(np.asarray(a, dtype=np.int32))


def i64(*a):
    return memoryview(np.asarray(a, dtype=np.int64))


def name_pair(*texts):
    """The offsets view and byte view of names laid end to end."""
    data, offsets = bytearray(), []
    for t in texts:
        offsets.append(len(data))
        data += t.encode() + b"\0"
    return i64(*offsets), memoryview(data)


@pytest.fixture
def filled(task):
    """A task with 3 constraints, 4 variables, 2 domains, 3 ACCs, 2 cones and 2 semidefinite variables."""
    assert task.appendcons_i_2(3) == (OK, None)
    assert task.appendvars_i_2(4) == (OK, None)
    assert task.appendafes_L_2(4) == (OK, None)
    assert task.appendrplusdomain_L_2(2) == (OK, 0)
    assert task.appendrzerodomain_L_2(1) == (OK, 1)
    for afe in (0, 2):
        assert task.appendaccseq_LLO_4(0, afe, None) == (OK, None)
    assert task.appendaccseq_LLO_4(1, 1, None) == (OK, None)
    assert task.appendconeseq_idii_5(0, 0.0, 2, 0) == (OK, None)
    assert task.appendconeseq_idii_5(0, 0.0, 2, 2) == (OK, None)
    assert task.appendbarvars_O_2(i32(2, 3)) == (OK, None)
    return task


# Per kind of item: putter, length, getter (with the name of its bytearray
# argument), a valid index, an index out of range and its code.
ITEMS = {
    "con": ("putconname_is_3", "getconnamelen_i_2", "getconname_iO_2", "name", 2, 3, ERR_INDEX_CON),
    "var": ("putvarname_is_3", "getvarnamelen_i_2", "getvarname_iO_2", "name", 3, -1, ERR_INDEX_VAR),
    "domain": ("putdomainname_Ls_3", "getdomainnamelen_L_2", "getdomainname_LO_2", "name", 1, 2**40,
               ERR_INDEX_DOMAIN),
    "acc": ("putaccname_Ls_3", "getaccnamelen_L_2", "getaccname_LO_2", "name", 2, 3, ERR_INDEX_ACC),
    "cone": ("putconename_is_3", "getconenamelen_i_2", "getconename_iO_2", "name", 1, 2, ERR_INDEX_CONE),
    "barvar": ("putbarvarname_is_3", "getbarvarnamelen_i_2", "getbarvarname_iO_2", "name", 0, -1, ERR_INDEX_BARVAR),
}
TASK_LEVEL = {
    "obj": ("putobjname_s_2", "getobjnamelen__1", "getobjname_O_1", "objname"),
    "task": ("puttaskname_s_2", "gettasknamelen__1", "gettaskname_O_1", "taskname"),
}


def last_call(path, log, prefix):
    """The last logged call of a function, with the task handle left out."""
    line = [line for line in log(path) if line.startswith(prefix)][-1]
    return re.sub(r" task=#\d+", "", line)


def methods(kind):
    """(put, length, get, bytearray name, args before the name) of a kind."""
    if kind in ITEMS:
        put, length, get, argname, index, _, _ = ITEMS[kind]
        return put, length, get, argname, (index,)
    put, length, get, argname = TASK_LEVEL[kind]
    return put, length, get, argname, ()


@pytest.mark.parametrize("kind", list(ITEMS) + list(TASK_LEVEL))
@pytest.mark.parametrize("text", ["c1", "naïve ∑ name", "x" * 300])
def test_round_trip_reads_length_plus_one_bytes(filled, env_log_path, calls, kind, text):
    put, length, get, argname, args = methods(kind)
    assert getattr(filled, put)(*args, text) == (OK, None)
    size = len(text.encode())
    assert getattr(filled, length)(*args) == (OK, size)
    buffer = bytearray(b"stale content that is longer than some names")
    assert getattr(filled, get)(*args, buffer) == (OK, None)
    assert buffer == text.encode() + b"\0"
    # the length query, then the getter with sizename = length + 1
    log = [line.split(" ")[0] for line in calls(env_log_path)[-2:]]
    assert log == [f"VLT_get{kind}namelen", f"VLT_get{kind}name"]
    assert f"size{argname}={size + 1} " in calls(env_log_path)[-1]


@pytest.mark.parametrize("kind", list(ITEMS) + list(TASK_LEVEL))
def test_unnamed_item_reads_as_one_nul_byte(filled, env_log_path, calls, kind):
    _, length, get, argname, args = methods(kind)
    assert getattr(filled, length)(*args) == (OK, 0)
    buffer = bytearray(b"old")
    assert getattr(filled, get)(*args, buffer) == (OK, None)
    assert buffer == b"\0"
    assert f"size{argname}=1 " in calls(env_log_path)[-1]


@pytest.mark.parametrize("kind", list(ITEMS))
def test_index_out_of_range_passes_the_code_and_leaves_the_bytearray(filled, env_log_path, calls, kind):
    put, length, get, _, _, bad, code = ITEMS[kind]
    assert getattr(filled, put)(bad, "n") == (code, None)
    assert getattr(filled, length)(bad) == (code, None)
    buffer = bytearray(b"keep")
    before = len(calls(env_log_path))
    assert getattr(filled, get)(bad, buffer) == (code, None)
    assert buffer == b"keep"
    # only the length query was made
    assert len(calls(env_log_path)) == before + 1
    assert calls(env_log_path)[-1].endswith(f"-> {code}")


@pytest.mark.parametrize("kind", list(ITEMS) + list(TASK_LEVEL))
@pytest.mark.parametrize("wrong", [b"bytes", None, memoryview(bytearray(4)), "text"])
def test_getters_need_a_bytearray_before_any_call(filled, env_log_path, calls, kind, wrong):
    _, _, get, argname, args = methods(kind)
    before = len(calls(env_log_path))
    with pytest.raises(TypeError) as info:
        getattr(filled, get)(*args, wrong)
    assert str(info.value) == f"Bytearray object for argument {argname}"
    assert len(calls(env_log_path)) == before


def test_a_bytearray_subtype_is_accepted(filled):
    class Named(bytearray):
        pass
    assert filled.putvarname_is_3(0, "x0") == (OK, None)
    buffer = Named()
    assert filled.getvarname_iO_2(0, buffer) == (OK, None)
    assert buffer == b"x0\0" and type(buffer) is Named


def test_lookups_answer_asgn_then_the_lowest_index(filled):
    for j, name in enumerate(["a", "b", "b"]):
        assert filled.putvarname_is_3(j, name) == (OK, None)
    assert filled.putconname_is_3(2, "a") == (OK, None)
    assert filled.getvarnameindex_s_2("b") == (OK, (1, 1))
    assert filled.getvarnameindex_s_2("c") == (OK, (0, -1))
    assert filled.getconnameindex_s_2("a") == (OK, (1, 2))


# ---------------------------------------------------------------- generators

def names_of(task, getter, count):
    out = []
    for index in range(count):
        buffer = bytearray()
        assert getattr(task, getter)(index, buffer) == (OK, None)
        out.append(buffer[:-1].decode())
    return out


def test_generated_variable_names(filled, env_log_path, calls):
    assert filled.generatevarnames_OsOOOOO_7(i32(3, 0, 1, 2), "x[{}]", i32(4), None, None, None, None) == (OK, None)
    assert names_of(filled, "getvarname_iO_2", 4) == ["x[1]", "x[2]", "x[3]", "x[0]"]
    assert last_call(env_log_path, calls, "VLT_generatevarnames").startswith(
        "VLT_generatevarnames num=4 subj=ptr fmt=\"x[{}]\" ndims=1 dims=ptr sp=null numnamedaxis=0 "
        "namedaxisidxs=null numnames=0 names=null -> 0")


def test_generated_names_with_sp_and_a_named_axis(filled, env_log_path, calls):
    offsets, data = name_pair("north", "south")
    # a 2 x 3 shape, axis 0 named; the three constraints sit at positions 5, 0 and 4
    assert filled.generateconnames_OsOOOOO_7(i32(0, 1, 2), "c_{}_{}", i32(2, 3), i64(5, 0, 4), i32(0),
                                             offsets, data) == (OK, None)
    assert names_of(filled, "getconname_iO_2", 3) == ["c_south_2", "c_north_0", "c_south_1"]
    line = last_call(env_log_path, calls, "VLT_generateconnames")
    assert "ndims=2 dims=ptr sp=ptr numnamedaxis=1 namedaxisidxs=ptr numnames=2 names=ptr -> 0" in line


def test_generated_acc_names_take_int64_indexes(filled, env_log_path, calls):
    offsets, data = name_pair("q", "z")
    assert filled.generateaccnames_OsOOOOO_7(i64(2, 0), "acc{}", i32(2), None, i32(0), offsets, data) == (OK, None)
    assert names_of(filled, "getaccname_LO_2", 3) == ["accz", "", "accq"]
    line = last_call(env_log_path, calls, "VLT_generateaccnames")
    assert line.startswith("VLT_generateaccnames num=2 sub=ptr fmt=\"acc{}\" ndims=1")


@pytest.mark.parametrize("method, sub, code", [
    ("generatevarnames_OsOOOOO_7", i32(0, 4), ERR_INDEX_VAR),
    ("generateconnames_OsOOOOO_7", i32(-1), ERR_INDEX_CON),
    ("generateaccnames_OsOOOOO_7", i64(3), ERR_INDEX_ACC),
])
def test_generator_failures_pass_the_library_code(filled, method, sub, code):
    assert getattr(filled, method)(sub, "n{}", i32(8), None, None, None, None) == (code, None)


@pytest.mark.parametrize("generate, get, lookup, count, bad, code", [
    ("generateconenames_OsOOOOO_7", "getconename_iO_2", "getconenameindex_s_2", 2, 2, ERR_INDEX_CONE),
    ("generatebarvarnames_OsOOOOO_7", "getbarvarname_iO_2", "getbarvarnameindex_s_2", 2, -1, ERR_INDEX_BARVAR),
])
def test_cone_and_semidefinite_variable_names_are_generated_and_found(filled, generate, get, lookup, count, bad,
                                                                      code):
    assert getattr(filled, generate)(i32(1, 0), "k{}", i32(2), None, None, None, None) == (OK, None)
    assert names_of(filled, get, count) == ["k1", "k0"]
    assert getattr(filled, lookup)("k0") == (OK, (1, 1))
    assert getattr(filled, lookup)("k2") == (OK, (0, -1))
    assert getattr(filled, generate)(i32(0, bad), "z{}", i32(4), None, None, None, None) == (code, None)
    assert names_of(filled, get, count) == ["k1", "k0"]


def test_removing_items_shifts_their_names(filled):
    for k, name in enumerate(["c0", "c1"]):
        assert filled.putconename_is_3(k, name) == (OK, None)
        assert filled.putbarvarname_is_3(k, "b" + name) == (OK, None)
    assert filled.removecones_O_2(i32(0)) == (OK, None)
    assert filled.removebarvars_O_2(i32(0)) == (OK, None)
    assert names_of(filled, "getconename_iO_2", 1) == ["c1"]
    assert names_of(filled, "getbarvarname_iO_2", 1) == ["bc1"]
    assert filled.getconenameindex_s_2("c0") == (OK, (0, -1))


def test_generator_names_the_library_cannot_use_give_its_code(filled):
    # axis 0 of dims (2) needs two names; one is given
    offsets, data = name_pair("only")
    res, value = filled.generatevarnames_OsOOOOO_7(i32(0, 1), "{}", i32(2), None, i32(0), offsets, data)
    assert res not in (OK, NOT_IMPLEMENTED) and value is None
    assert filled.getvarnamelen_i_2(0) == (OK, 0)


@pytest.mark.parametrize("method, sub", [
    ("generatevarnames_OsOOOOO_7", i32(0, 1)),
    ("generateaccnames_OsOOOOO_7", i64(0, 1)),
])
def test_sp_must_match_the_index_array(filled, env_log_path, calls, method, sub):
    before = len(calls(env_log_path))
    with pytest.raises(TypeError) as info:
        getattr(filled, method)(sub, "{}", i32(4), i64(0), None, *name_pair("a"))
    assert str(info.value) == "Array is too short in argument sp"
    assert len(calls(env_log_path)) == before


@pytest.mark.parametrize("method, sub, message", [
    ("generateaccnames_OsOOOOO_7", i32(0), "Expected a continuous memoryview object for argument sub"),
    ("generatevarnames_OsOOOOO_7", i64(0), "Expected a continuous memoryview object for argument subj"),
    ("generateconnames_OsOOOOO_7", [0], "Expected a memoryview object for argument subi"),
])
def test_index_array_width_follows_the_item_kind(filled, method, sub, message):
    with pytest.raises(TypeError) as info:
        getattr(filled, method)(sub, "{}", i32(1), None, None, None, None)
    assert str(info.value) == message


@pytest.mark.parametrize("offsets, data, message", [
    (i64(0, 7), b"a\0", "Array is too short in argument names"),
    (i64(0), b"abc", "Array is too short in argument names"),
    (i32(0), b"a\0", "Expected a continuous memoryview object for argument names"),
])
def test_malformed_name_pairs_never_reach_the_library(filled, env_log_path, calls, offsets, data, message):
    before = len(calls(env_log_path))
    with pytest.raises(TypeError) as info:
        filled.generatevarnames_OsOOOOO_7(i32(0, 1), "{}", i32(2), None, i32(0), offsets, memoryview(data))
    assert str(info.value) == message
    assert len(calls(env_log_path)) == before


@pytest.mark.parametrize("names", [(i64(0), None), (None, memoryview(b"a\0"))])
def test_half_a_name_pair_passes_no_names(filled, env_log_path, calls, names):
    assert filled.generatevarnames_OsOOOOO_7(i32(0), "v{}", i32(1), None, None, *names) == (OK, None)
    assert "numnames=0 names=null -> 0" in calls(env_log_path)[-1]


# ---------------------------------------------------------------- report

def test_names_report_lists_domains_and_accs(filled):
    received = []
    filled.set_Stream(STREAM_LOG, received.append)
    assert filled.putdomainname_Ls_3(0, "cone") == (OK, None)
    for a in range(3):
        assert filled.putaccname_Ls_3(a, "same" if a < 2 else "other") == (OK, None)
    assert filled.analyzenames_ii_3(STREAM_LOG, NAME_TYPE_GEN) == (OK, None)
    text = "".join(received)
    assert "Domains        : 1 named, 1 unnamed" in text
    assert "ACCs           : 3 named, 0 unnamed" in text
    assert "'same': affine conic constraints 0, 1" in text
