"""Domains and affine conic constraints (ACCs) through the generated Task methods."""
import numpy as np
import pytest

from arrays import f64, i32, i64

NUMVAR, NUMAFE = 3, 6
ERR_NULL_POINTER, ERR_NEGATIVE_COUNT, ERR_INDEX = 1005, 1012, 1200
ERR_INDEX_AFE, ERR_INDEX_DOMAIN, ERR_INDEX_ACC = 1205, 1206, 1207
ERR_NAN, ERR_INVALID_DOMAIN, ERR_DIMENSION = 1302, 1312, 1313
(R, RZERO, RPLUS, RMINUS, QUAD, RQUAD, PEXP, DEXP, PPOW, DPOW, SVEC, PGEO, DGEO) = range(13)


def both(getter_views, getter_bytes, *args, widths):
    """Reads arrays through the memoryview and the bytearray variant of a
    getter, checks that they agree, and returns the arrays."""
    raw = [bytearray(b"stale") for _ in widths]
    assert getter_bytes(*args, *raw) == (0, None)
    arrays = [np.frombuffer(bytes(r), dtype=w).copy() for r, w in zip(raw, widths)]
    views = [np.full(len(a), -7, dtype=w) for a, w in zip(arrays, widths)]
    assert getter_views(*args, *map(memoryview, views)) == (0, None)
    for a, v in zip(arrays, views):
        assert a.tobytes() == v.tobytes()
    return [a.tolist() for a in arrays]


def accs(task):
    """Every ACC as (domain, afes, b), read one by one and all at once."""
    _, numacc = task.getnumacc__1()
    single = []
    for a in range(numacc):
        _, dom = task.getaccdomain_L_2(a)
        (afes,) = both(task.getaccafeidxlist_LO_3, task.getaccafeidxlist_LO_2, a, widths=[np.int64])
        (b,) = both(task.getaccb_LO_3, task.getaccb_LO_2, a, widths=[np.float64])
        assert task.getaccn_L_2(a) == (0, len(afes))
        single.append((dom, afes, b))
    doms, afes, b = both(task.getaccs_OOO_4, task.getaccs_OOO_1, widths=[np.int64, np.int64, np.float64])
    assert doms == [s[0] for s in single]
    assert afes == sum((s[1] for s in single), [])
    assert b == sum((s[2] for s in single), [])
    assert task.getaccntot__1() == (0, len(afes))
    return single


def domains(task):
    _, n = task.getnumdomain__1()
    return [(task.getdomaintype_L_2(d)[1], task.getdomainn_L_2(d)[1]) for d in range(n)]


def state(task):
    return domains(task), accs(task)


def sized(task):
    task.appendvars_i_2(NUMVAR)
    task.appendafes_L_2(NUMAFE)
    return task


def with_base(task):
    """Domains 0: R^2, 1: quadratic cone of 3; ACC 0 on AFEs (4, 1) in R^2 with b (1, 2)."""
    sized(task)
    assert task.appendrdomain_L_2(2) == (0, 0)
    assert task.appendquadraticconedomain_L_2(3) == (0, 1)
    assert task.appendacc_LOO_4(0, i64([4, 1]), f64([1.0, 2.0])) == (0, None)
    return task


# ---------------------------------------------------------------- domains

@pytest.mark.parametrize("append, args, kind, n", [
    ("appendrplusdomain_L_2", (4,), RPLUS, 4),
    ("appendrminusdomain_L_2", (1,), RMINUS, 1),
    ("appendrdomain_L_2", (0,), R, 0),
    ("appendrzerodomain_L_2", (2,), RZERO, 2),
    ("appendquadraticconedomain_L_2", (3,), QUAD, 3),
    ("appendrquadraticconedomain_L_2", (4,), RQUAD, 4),
    ("appendprimalexpconedomain__1", (), PEXP, 3),
    ("appenddualexpconedomain__1", (), DEXP, 3),
    ("appendprimalgeomeanconedomain_L_2", (3,), PGEO, 3),
    ("appenddualgeomeanconedomain_L_2", (2,), DGEO, 2),
    ("appendsvecpsdconedomain_L_2", (6,), SVEC, 6),
    ("appendprimalpowerconedomain_LO_3", (3, f64([0.25, 0.75])), PPOW, 3),
    ("appenddualpowerconedomain_LO_3", (5, f64([1.0])), DPOW, 5),
])
def test_each_domain_kind_is_appended_with_its_type_and_dimension(task, append, args, kind, n):
    assert task.putmaxnumdomain_L_2(10) == (0, None)
    assert task.appendrplusdomain_L_2(1) == (0, 0)
    assert getattr(task, append)(*args) == (0, 1)
    assert task.getnumdomain__1() == (0, 2)
    assert domains(task) == [(RPLUS, 1), (kind, n)]


def test_power_domain_weights_round_trip(task):
    task.appendrdomain_L_2(1)
    assert task.appendprimalpowerconedomain_LO_3(4, f64([0.5, 2.0, 1.5])) == (0, 1)
    assert task.getpowerdomaininfo_L_2(1) == (0, (4, 3))
    (alpha,) = both(task.getpowerdomainalpha_LO_3, task.getpowerdomainalpha_LO_2, 1, widths=[np.float64])
    assert alpha == [0.5, 2.0, 1.5]
    with pytest.raises(TypeError) as caught:
        task.getpowerdomainalpha_LO_3(1, f64([0.0] * 4))
    assert str(caught.value) == "Array is too short in argument alpha"
    # a domain that is not a power cone has no weights
    raw = bytearray(b"keep")
    assert task.getpowerdomainalpha_LO_2(0, raw) == (ERR_INVALID_DOMAIN, None)
    assert raw == b"keep"


@pytest.mark.parametrize("call, res", [
    (lambda t: t.appendquadraticconedomain_L_2(0), ERR_DIMENSION),
    (lambda t: t.appendsvecpsdconedomain_L_2(4), ERR_DIMENSION),
    (lambda t: t.appendrplusdomain_L_2(-1), ERR_DIMENSION),
    (lambda t: t.appendprimalpowerconedomain_LO_3(2, f64([1.0, 1.0, 1.0])), ERR_DIMENSION),
    (lambda t: t.appenddualpowerconedomain_LO_3(3, f64([1.0, -1.0])), ERR_INVALID_DOMAIN),
    (lambda t: t.appendprimalpowerconedomain_LO_3(3, None), ERR_DIMENSION),
    (lambda t: t.getdomaintype_L_2(2), ERR_INDEX_DOMAIN),
    (lambda t: t.getdomainn_L_2(-1), ERR_INDEX_DOMAIN),
    (lambda t: t.getpowerdomaininfo_L_2(2**40), ERR_INDEX_DOMAIN),
    (lambda t: t.appendacc_LOO_4(2, i64([0]), None), ERR_INDEX_DOMAIN),
    (lambda t: t.appendacc_LOO_4(1, i64([0, 1]), None), ERR_DIMENSION),
    (lambda t: t.appendacc_LOO_4(0, i64([0, NUMAFE]), None), ERR_INDEX_AFE),
    (lambda t: t.appendacc_LOO_4(0, i64([0, 1]), f64([1.0, float("nan")])), ERR_NAN),
    (lambda t: t.appendaccs_OOO_4(i64([0, 1]), i64([0, 1, 2, 3]), None), ERR_DIMENSION),
    (lambda t: t.appendaccsseq_OLLO_5(i64([0]), 2, NUMAFE - 1, None), ERR_INDEX_AFE),
    (lambda t: t.appendaccseq_LLO_4(0, NUMAFE - 1, None), ERR_INDEX_AFE),
    (lambda t: t.putacc_LLOO_5(1, 0, i64([0, 1]), None), ERR_INDEX_ACC),
    (lambda t: t.putacclist_OOOO_5(None, i64([0]), i64([0, 1]), None), ERR_NULL_POINTER),
    (lambda t: t.putaccb_LO_3(0, f64([1.0])), ERR_DIMENSION),
    (lambda t: t.putaccbj_LLd_4(0, 2, 1.0), ERR_INDEX),
    (lambda t: t.getaccn_L_2(1), ERR_INDEX_ACC),
    (lambda t: t.getaccb_LO_2(-1, bytearray()), ERR_INDEX_ACC),
    (lambda t: t.putmaxnumacc_L_2(-1), ERR_NEGATIVE_COUNT),
])
def test_library_refusals_pass_through_and_change_nothing(task, call, res):
    with_base(task)
    before = state(task)
    assert call(task) == (res, None)
    assert state(task) == before


# ---------------------------------------------------------------- ACCs

@pytest.mark.parametrize("put, expected", [
    (lambda t: t.appendacc_LOO_4(1, i64([0, 2, 2]), None), [(1, [0, 2, 2], [0.0, 0.0, 0.0])]),
    (lambda t: t.appendacc_LOO_4(2, None, None), [(2, [], [])]),
    (lambda t: t.appendaccs_OOO_4(i64([1, 0]), i64([5, 4, 3, 2, 1]), f64([1, 2, 3, 4, 5])),
     [(1, [5, 4, 3], [1.0, 2.0, 3.0]), (0, [2, 1], [4.0, 5.0])]),
    (lambda t: t.appendaccseq_LLO_4(1, 2, f64([7, 8, 9])), [(1, [2, 3, 4], [7.0, 8.0, 9.0])]),
    (lambda t: t.appendaccsseq_OLLO_5(i64([0, 1]), 5, 1, f64([1, 2, 3, 4, 5])),
     [(0, [1, 2], [1.0, 2.0]), (1, [3, 4, 5], [3.0, 4.0, 5.0])]),
])
def test_appended_accs_round_trip(task, put, expected):
    with_base(task)
    task.appendrzerodomain_L_2(0)
    assert put(task) == (0, None)
    base = (0, [4, 1], [1.0, 2.0])
    assert accs(task) == [base] + expected


def test_changing_accs(task):
    with_base(task)
    task.appendaccseq_LLO_4(1, 0, None)  # ACC 1: quadratic cone on AFEs 0, 1, 2
    assert task.putacc_LLOO_5(0, 1, i64([3, 4, 5]), f64([1, 1, 1])) == (0, None)
    assert accs(task) == [(1, [3, 4, 5], [1.0, 1.0, 1.0]), (1, [0, 1, 2], [0.0, 0.0, 0.0])]
    assert task.putacclist_OOOO_5(i64([1, 0]), i64([0, 0]), i64([5, 5, 0, 1]), None) == (0, None)
    assert accs(task) == [(0, [0, 1], [0.0, 0.0]), (0, [5, 5], [0.0, 0.0])]
    assert task.putaccb_LO_3(1, f64([3.0, -3.0])) == (0, None)
    assert task.putaccbj_LLd_4(0, 1, 0.5) == (0, None)
    assert accs(task) == [(0, [0, 1], [0.0, 0.5]), (0, [5, 5], [3.0, -3.0])]
    assert task.putmaxnumacc_L_2(50) == (0, None)
    assert task.getnumacc__1() == (0, 2)


def test_stacked_rows_of_all_accs(task):
    with_base(task)
    task.putafefentrylist_OOO_4(i64([1, 1, 4, 2]), i32([0, 2, 1, 1]), f64([1.0, -1.0, 3.0, 5.0]))
    task.putafeglist_OO_3(i64([1, 4, 0]), f64([0.5, 0.25, 9.0]))
    task.appendacc_LOO_4(1, i64([1, 0, 2]), f64([0.0, 1.0, 0.0]))
    assert task.getaccfnumnz__1() == (0, 6)
    frow, fcol, fval = both(task.getaccftrip_OOO_4, task.getaccftrip_OOO_1, widths=[np.int64, np.int32, np.float64])
    assert sorted(zip(frow, fcol, fval)) == [(0, 1, 3.0), (1, 0, 1.0), (1, 2, -1.0), (2, 0, 1.0), (2, 2, -1.0),
                                            (4, 1, 5.0)]
    # each stacked row's constant is its AFE's g less the ACC's b
    (g,) = both(task.getaccgvector_O_2, task.getaccgvector_O_1, widths=[np.float64])
    assert g == [0.25 - 1.0, 0.5 - 2.0, 0.5, 9.0 - 1.0, 0.0]


def test_semidefinite_views_of_accs_without_semidefinite_terms(task, env_log_path, calls):
    with_base(task)
    logged = len(calls(env_log_path))
    raw = [bytearray(b"keep") for _ in range(5)]
    assert task.getaccbarfnumblocktriplets__1() == (0, 0)
    assert task.getaccbarfblocktriplet_OOOOO_6(None, None, None, None, None) == (0, 0)
    assert task.getaccbarfblocktriplet_OOOOO_1(*raw) == (0, 0)
    assert raw == [b""] * 5
    assert [line.split()[0] for line in calls(env_log_path)[logged:]] == [
        "VLT_getaccbarfnumblocktriplets"] + ["VLT_getaccbarfnumblocktriplets", "VLT_getaccbarfblocktriplet"] * 2


# ---------------------------------------------------------------- call sequences

@pytest.mark.parametrize("call, functions, last", [
    (lambda t: t.getaccs_OOO_4(None, None, None), ["getnumacc", "getaccntot", "getaccntot", "getaccs"],
     "domidxlist=null afeidxlist=null b=null"),
    (lambda t: t.getaccs_OOO_1(bytearray(), bytearray(), bytearray()),
     ["getnumacc", "getaccntot", "getaccntot", "getaccs"], "domidxlist=ptr afeidxlist=ptr b=ptr"),
    (lambda t: t.getaccftrip_OOO_4(None, None, None), ["getaccfnumnz"] * 3 + ["getaccftrip"], "frow=null"),
    (lambda t: t.getaccftrip_OOO_1(bytearray(), bytearray(), bytearray()), ["getaccfnumnz"] * 3 + ["getaccftrip"],
     "frow=ptr fcol=ptr fval=ptr"),
    (lambda t: t.getaccgvector_O_2(None), ["getaccntot", "getaccgvector"], "g=null"),
    (lambda t: t.getaccafeidxlist_LO_2(0, bytearray()), ["getaccn", "getaccafeidxlist"], "accidx=0 afeidxlist=ptr"),
    (lambda t: t.getaccb_LO_3(0, None), ["getaccn", "getaccb"], "accidx=0 b=null"),
    (lambda t: t.getpowerdomainalpha_LO_3(2, None), ["getpowerdomaininfo", "getpowerdomainalpha"],
     "domidx=2 alpha=null"),
    # the domain's dimension is the count passed for the sequence
    (lambda t: t.appendaccseq_LLO_4(1, 3, None), ["getdomainn", "appendaccseq"],
     "domidx=1 numafeidx=3 afeidxfirst=3 b=null"),
    (lambda t: t.appendacc_LOO_4(0, None, None), ["appendacc"], "domidx=0 numafeidx=0 afeidxlist=null b=null"),
    (lambda t: t.appendaccs_OOO_4(i64([0, 0]), None, None), ["appendaccs"],
     "numaccs=2 domidxs=ptr numafeidx=0 afeidxlist=null b=null"),
    (lambda t: t.appendaccsseq_OLLO_5(None, 4, 1, f64([0.0] * 4)), ["appendaccsseq"],
     "numaccs=0 domidxs=null numafeidx=4 afeidxfirst=1 b=ptr"),
    (lambda t: t.putacclist_OOOO_5(None, i64([0, 1, 0]), None, None), ["putacclist"],
     "numaccs=3 accidxs=null domidxs=ptr numafeidx=0"),
    (lambda t: t.putacclist_OOOO_5(i64([0, 0]), None, None, None), ["putacclist"],
     "numaccs=2 accidxs=ptr domidxs=null"),
    (lambda t: t.putaccb_LO_3(0, None), ["putaccb"], "accidx=0 lengthb=0 b=null"),
    (lambda t: t.appenddualpowerconedomain_LO_3(3, None), ["appenddualpowerconedomain"], "n=3 nleft=0 alpha=null"),
])
def test_call_sequences(task, env_log_path, calls, call, functions, last):
    with_base(task)
    task.appendprimalpowerconedomain_LO_3(3, f64([1.0, 1.0]))
    logged = len(calls(env_log_path))
    call(task)
    lines = calls(env_log_path)[logged:]
    assert [line.split()[0] for line in lines] == ["VLT_" + f for f in functions]
    assert f" {last} " in lines[-1]


def test_failing_dimension_query_ends_appendaccseq(task, env_log_path, calls):
    with_base(task)
    before, logged = state(task), len(calls(env_log_path))
    # b would fail its count check; the query's answer comes first
    assert task.appendaccseq_LLO_4(7, 0, f64([1.0] * 9)) == (ERR_INDEX_DOMAIN, None)
    assert [line.split()[0] for line in calls(env_log_path)[logged:]] == ["VLT_getdomainn"]
    assert state(task) == before


# ---------------------------------------------------------------- argument errors

@pytest.mark.parametrize("call, message, queries", [
    (lambda t: t.appendacc_LOO_4(0, None, f64([1.0] * 3)), "Array is too short in argument b", []),
    (lambda t: t.appendacc_LOO_4(0, i64([0, 1]), f64([1.0] * 3)), "Array is too short in argument b", []),
    (lambda t: t.appendaccs_OOO_4(i64([0]), i64([0, 1]), f64([1.0])), "Array is too short in argument b", []),
    (lambda t: t.appendaccsseq_OLLO_5(i64([0, 0]), 4, 0, f64([1.0] * 2)), "Array is too short in argument b", []),
    (lambda t: t.appendaccsseq_OLLO_5(None, 0, 0, f64([1.0])), "Array is too short in argument b", []),
    (lambda t: t.appendaccseq_LLO_4(1, 0, f64([1.0] * 2)), "Array is too short in argument b", ["getdomainn"]),
    (lambda t: t.appendaccseq_LLO_4(1, 0, i32([1] * 3)), "Expected a continuous memoryview object for argument b",
     []),
    (lambda t: t.putacc_LLOO_5(0, 0, i64([0]), f64([1.0] * 2)), "Array is too short in argument b", []),
    (lambda t: t.putacclist_OOOO_5(i64([0]), i64([0, 0]), None, None),
     "Mismatching lengths of arguments domidxs,accidxs", []),
    (lambda t: t.putacclist_OOOO_5(i64([0]), i64([0]), i64([0, 1]), f64([1.0])), "Array is too short in argument b",
     []),
    (lambda t: t.putacclist_OOOO_5(i32([0]), None, None, None),
     "Expected a continuous memoryview object for argument accidxs", []),
    (lambda t: t.appendprimalpowerconedomain_LO_3(3, i32([1, 1])),
     "Expected a continuous memoryview object for argument alpha", []),
    (lambda t: t.appenddualpowerconedomain_LO_3(3, [1.0]), "Expected a memoryview object for argument alpha", []),
    (lambda t: t.putaccb_LO_3(0, bytearray(16)), "Expected a memoryview object for argument b", []),
    (lambda t: t.getaccs_OOO_4(None, i64([0] * 3), None), "Array is too short in argument afeidxlist",
     ["getnumacc", "getaccntot"]),
    (lambda t: t.getaccs_OOO_4(i64([0] * 2), None, None), "Array is too short in argument domidxlist",
     ["getnumacc"]),
    (lambda t: t.getaccs_OOO_1(bytearray(), bytearray(), None), "Bytearray object for argument b",
     ["getnumacc", "getaccntot", "getaccntot"]),
    (lambda t: t.getaccs_OOO_1(memoryview(bytearray(8)), bytearray(), bytearray()),
     "Bytearray object for argument domidxlist", ["getnumacc"]),
    (lambda t: t.getaccftrip_OOO_4(None, i64([0]), None), "Expected a continuous memoryview object for argument fcol",
     []),
    (lambda t: t.getaccgvector_O_2(f64([0.0] * 3)), "Array is too short in argument g", ["getaccntot"]),
    (lambda t: t.getaccafeidxlist_LO_3(0, i64([0])), "Array is too short in argument afeidxlist", ["getaccn"]),
    (lambda t: t.getaccb_LO_2(0, "b"), "Bytearray object for argument b", ["getaccn"]),
    (lambda t: t.getaccbarfblocktriplet_OOOOO_6(None, None, None, None, f64([0.0]).cast("B")),
     "Expected a continuous memoryview object for argument blk_val", []),
])
def test_argument_errors(task, env_log_path, calls, call, message, queries):
    with_base(task)
    before, logged = state(task), len(calls(env_log_path))
    with pytest.raises(TypeError) as caught:
        call(task)
    assert str(caught.value) == message
    assert [line.split()[0] for line in calls(env_log_path)[logged:]] == ["VLT_" + q for q in queries]
    assert state(task) == before


def test_domain_type_is_int32_and_dimension_int64(task):
    assert task.appendrplusdomain_L_2(2**33) == (0, 0)
    assert task.getdomainn_L_2(0) == (0, 2**33)
    assert task.getdomaintype_L_2(0) == (0, RPLUS)
