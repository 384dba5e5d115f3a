"""Disjunctive constraints (DJCs) through the generated Task methods."""
import numpy as np
import pytest

import _vlt
from arrays import f64, i32, i64

NUMAFE = 6
ERR_NULL_POINTER, ERR_NEGATIVE_COUNT = 1005, 1012
ERR_INDEX_AFE, ERR_INDEX_DOMAIN, ERR_INDEX_DJC, ERR_SLICE = 1205, 1206, 1208, 1210
ERR_NAN, ERR_DIMENSION = 1302, 1313


def both(getter_views, getter_bytes, *args, widths):
    """Reads through the memoryview and the bytearray variant; they must agree."""
    raw = [bytearray(b"stale") for _ in widths]
    assert getter_bytes(*args, *raw) == (0, None)
    arrays = [np.frombuffer(bytes(r), dtype=w).tolist() for r, w in zip(raw, widths)]
    views = [np.full(len(a), -7, dtype=w) for a, w in zip(arrays, widths)]
    assert getter_views(*args, *map(memoryview, views)) == (0, None)
    assert [v.tolist() for v in views] == arrays
    return arrays


def djcs(task):
    """Every DJC as (domains, afes, b, term sizes), read singly and all at once,
    with the counts and totals checked against the lists."""
    _, num = task.getnumdjc__1()
    single = []
    for k in range(num):
        (doms,) = both(task.getdjcdomainidxlist_LO_3, task.getdjcdomainidxlist_LO_2, k, widths=[np.int64])
        (afes,) = both(task.getdjcafeidxlist_LO_3, task.getdjcafeidxlist_LO_2, k, widths=[np.int64])
        (b,) = both(task.getdjcb_LO_3, task.getdjcb_LO_2, k, widths=[np.float64])
        (terms,) = both(task.getdjctermsizelist_LO_3, task.getdjctermsizelist_LO_2, k, widths=[np.int64])
        assert (task.getdjcnumdomain_L_2(k), task.getdjcnumafe_L_2(k), task.getdjcnumterm_L_2(k)) == (
            (0, len(doms)), (0, len(afes)), (0, len(terms)))
        single.append((doms, afes, b, terms))
    joined = both(task.getdjcs_OOOOO_6, task.getdjcs_OOOOO_1, widths=[np.int64, np.int64, np.float64, np.int64,
                                                                        np.int64])
    assert joined == [sum((s[i] for s in single), []) for i in range(4)] + [[len(s[3]) for s in single]]
    assert (task.getdjcnumdomaintot__1(), task.getdjcnumafetot__1(), task.getdjcnumtermtot__1()) == (
        (0, len(joined[0])), (0, len(joined[1])), (0, len(joined[3])))
    return single


@pytest.fixture
def base(task):
    """Domains 0: R+ of 1, 1: R0 of 2, 2: quadratic cone of 3; three DJCs, DJC 0
    = (AFE 0 >= 1) or (AFE 1 = AFE 2 = 0 and AFE 3 >= 0)."""
    task.appendvars_i_2(2)
    task.appendafes_L_2(NUMAFE)
    task.appendrplusdomain_L_2(1)
    task.appendrzerodomain_L_2(2)
    task.appendquadraticconedomain_L_2(3)
    assert task.appenddjcs_L_2(3) == (0, None)
    assert task.putdjc_LOOOO_6(0, i64([0, 1, 0]), i64([0, 1, 2, 3]), f64([1, 0, 0, 0]), i64([1, 2])) == (0, None)
    return task


DJC0 = ([0, 1, 0], [0, 1, 2, 3], [1.0, 0.0, 0.0, 0.0], [1, 2])
EMPTY = ([], [], [], [])


def test_puts_round_trip_and_replace(base):
    assert base.getnumdjc__1() == (0, 3)
    assert djcs(base) == [DJC0, EMPTY, EMPTY]
    # a slice of DJCs 1 and 2: two terms for 1 (a cone, a half line), one for 2
    assert base.putdjcslice_LLOOOOO_8(1, 3, i64([2, 0, 0]), i64([5, 4, 3, 2, 1]), None, i64([1, 1, 1]),
                                      i64([2, 1])) == (0, None)
    assert djcs(base) == [DJC0, ([2, 0], [5, 4, 3, 2], [0.0] * 4, [1, 1]), ([0], [1], [0.0], [1])]
    # replacing DJCs over and over keeps the others as they were
    for round_ in range(200):
        assert base.putdjc_LOOOO_6(1, i64([0]), i64([round_ % NUMAFE]), f64([round_]), i64([1])) == (0, None)
    assert djcs(base) == [DJC0, ([0], [199 % NUMAFE], [199.0], [1]), ([0], [1], [0.0], [1])]
    # no lists: the DJC has no terms again
    assert base.putdjc_LOOOO_6(0, None, None, None, None) == (0, None)
    assert djcs(base)[0] == EMPTY
    assert base.putmaxnumdjc_L_2(100) == (0, None) and base.getnumdjc__1() == (0, 3)


def test_a_clone_keeps_the_djcs_and_their_names(base):
    base.putdjcname_Ls_3(0, "either")
    clone = _vlt.Task(None, 0, 0, base)
    try:
        assert djcs(clone) == djcs(base)
        name = bytearray()
        assert clone.getdjcname_LO_2(0, name) == (0, None) and name == b"either\0"
    finally:
        clone.dispose()


@pytest.mark.parametrize("call, res", [
    (lambda t: t.putdjc_LOOOO_6(3, None, None, None, None), ERR_INDEX_DJC),
    (lambda t: t.putdjc_LOOOO_6(-1, None, None, None, None), ERR_INDEX_DJC),
    (lambda t: t.putdjc_LOOOO_6(1, i64([3]), i64([0]), None, i64([1])), ERR_INDEX_DOMAIN),
    (lambda t: t.putdjc_LOOOO_6(1, i64([1]), i64([0]), None, i64([1])), ERR_DIMENSION),
    (lambda t: t.putdjc_LOOOO_6(1, i64([0]), i64([0, 1]), None, i64([1])), ERR_DIMENSION),
    (lambda t: t.putdjc_LOOOO_6(1, i64([0]), i64([NUMAFE]), None, i64([1])), ERR_INDEX_AFE),
    (lambda t: t.putdjc_LOOOO_6(1, i64([0]), i64([0]), f64([np.nan]), i64([1])), ERR_NAN),
    (lambda t: t.putdjc_LOOOO_6(1, i64([0, 0]), i64([0, 1]), None, i64([2, 0])), ERR_DIMENSION),
    (lambda t: t.putdjc_LOOOO_6(1, i64([0, 0]), i64([0, 1]), None, i64([1])), ERR_DIMENSION),
    (lambda t: t.putdjc_LOOOO_6(1, i64([0]), i64([0]), None, None), ERR_DIMENSION),
    (lambda t: t.putdjc_LOOOO_6(1, i64([0]), i64([0]), None, i64([1, 1])), ERR_DIMENSION),
    (lambda t: t.putdjcslice_LLOOOOO_8(2, 4, None, None, None, None, i64([0, 0])), ERR_SLICE),
    (lambda t: t.putdjcslice_LLOOOOO_8(2, 1, None, None, None, None, None), ERR_SLICE),
    (lambda t: t.putdjcslice_LLOOOOO_8(1, 3, i64([0]), i64([0]), None, i64([1]), None), ERR_NULL_POINTER),
    (lambda t: t.putdjcslice_LLOOOOO_8(1, 3, i64([0]), i64([0]), None, i64([1]), i64([1, 1])), ERR_DIMENSION),
    (lambda t: t.putdjcslice_LLOOOOO_8(1, 3, i64([0]), i64([0]), None, i64([1]), i64([-1, 2])), ERR_NEGATIVE_COUNT),
    (lambda t: t.putdjcslice_LLOOOOO_8(1, 1, i64([0]), i64([0]), None, i64([1]), None), ERR_DIMENSION),
    (lambda t: t.appenddjcs_L_2(-1), ERR_NEGATIVE_COUNT),
    (lambda t: t.putmaxnumdjc_L_2(-1), ERR_NEGATIVE_COUNT),
    (lambda t: t.getdjcnumterm_L_2(3), ERR_INDEX_DJC),
    (lambda t: t.getdjcb_LO_2(2**40, bytearray()), ERR_INDEX_DJC),
    (lambda t: t.putdjcname_Ls_3(3, "x"), ERR_INDEX_DJC),
    (lambda t: t.generatedjcnames_OsOOOOO_7(i64([0, 5]), "d{}", i32([2]), None, None, None, None), ERR_INDEX_DJC),
])
def test_refusals_change_nothing(base, call, res):
    before = djcs(base)
    assert call(base) == (res, None)
    assert djcs(base) == before


@pytest.mark.parametrize("call, message", [
    (lambda t: t.putdjc_LOOOO_6(0, None, i64([0, 1, 2]), f64([1, 2]), None), "Array is too short in argument b"),
    (lambda t: t.putdjc_LOOOO_6(0, None, None, f64([1]), None), "Array is too short in argument b"),
    (lambda t: t.putdjcslice_LLOOOOO_8(2, 5, None, None, None, None, i64([0, 0])),
     "Array is too short in argument termsindjc"),
    (lambda t: t.putdjcslice_LLOOOOO_8(2, 5, None, None, None, None, i64([0] * 4)),
     "Array is too short in argument termsindjc"),
    # the count of a slice whose ends are far apart does not wrap around
    (lambda t: t.putdjcslice_LLOOOOO_8(-2**63, 2**63 - 1, None, None, None, None, i64([0])),
     "Array is too short in argument termsindjc"),
    (lambda t: t.putdjcslice_LLOOOOO_8(0, 1, None, None, None, None, i32([0, 0])),
     "Expected a continuous memoryview object for argument termsindjc"),
    (lambda t: t.putdjc_LOOOO_6(0, i32([0, 0]), None, None, None),
     "Expected a continuous memoryview object for argument domidxlist"),
    (lambda t: t.putdjc_LOOOO_6(0, None, None, None, [1]), "Expected a memoryview object for argument termsizelist"),
    (lambda t: t.getdjcs_OOOOO_6(None, None, None, None, i64([0] * 2)), "Array is too short in argument numterms"),
    (lambda t: t.getdjcs_OOOOO_1(bytearray(), bytearray(), bytearray(), bytearray(), None),
     "Bytearray object for argument numterms"),
    (lambda t: t.getdjcb_LO_3(0, f64([0.0] * 5)), "Array is too short in argument b"),
])
def test_argument_errors_leave_the_djcs(base, call, message):
    before = djcs(base)
    with pytest.raises(TypeError) as caught:
        call(base)
    assert str(caught.value) == message
    assert djcs(base) == before


@pytest.mark.parametrize("call, functions, last", [
    (lambda t: t.putdjc_LOOOO_6(2, None, None, None, None), ["putdjc"],
     "djcidx=2 numdomidx=0 domidxlist=null numafeidx=0 afeidxlist=null b=null numterms=0 termsizelist=null"),
    (lambda t: t.getdjcs_OOOOO_6(None, None, None, None, None),
     ["getdjcnumdomaintot", "getdjcnumafetot", "getdjcnumafetot", "getdjcnumtermtot", "getnumdjc", "getdjcs"],
     "domidxlist=null afeidxlist=null b=null termsizelist=null numterms=null"),
    (lambda t: t.getdjcb_LO_2(0, bytearray()), ["getdjcnumafe", "getdjcb"], "djcidx=0 b=ptr"),
    (lambda t: t.getdjctermsizelist_LO_3(0, None), ["getdjcnumterm", "getdjctermsizelist"],
     "djcidx=0 termsizelist=null"),
])
def test_call_sequences(base, env_log_path, calls, call, functions, last):
    logged = len(calls(env_log_path))
    assert call(base) == (0, None)
    lines = calls(env_log_path)[logged:]
    assert [line.split()[0] for line in lines] == ["VLT_" + f for f in functions]
    assert f" {last} " in lines[-1]


def test_bytearray_of_b_is_sized_by_the_afe_count(base):
    b, afes = bytearray(), bytearray()
    assert base.getdjcb_LO_2(0, b) == (0, None) and base.getdjcafeidxlist_LO_2(0, afes) == (0, None)
    assert len(b) == len(afes) == 4 * 8


def test_names_are_put_generated_and_reported(base):
    assert base.generatedjcnames_OsOOOOO_7(i64([2, 0]), "d[{}]", i32([2]), None, None, None, None) == (0, None)
    assert base.putdjcname_Ls_3(1, "d[0]") == (0, None)
    names = []
    for k in range(3):
        name = bytearray()
        assert base.getdjcname_LO_2(k, name) == (0, None)
        names.append(bytes(name))
    assert names == [b"d[1]\0", b"d[0]\0", b"d[0]\0"]
    assert base.getdjcnamelen_L_2(2) == (0, 4)
    report = []
    base.set_Stream(0, report.append)
    assert base.analyzenames_ii_3(0, 0) == (0, None)
    text = "".join(report)
    assert "DJCs           : 3 named, 0 unnamed" in text
    assert "'d[0]': disjunctive constraints 1, 2" in text

