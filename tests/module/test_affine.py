"""Affine expressions (rows of F, barF and the constants g) through the generated Task methods."""
import numpy as np
import pytest

from arrays import f64, i32, i64

NUMVAR, NUMAFE = 4, 5
ERR_NULL_POINTER, ERR_NEGATIVE_COUNT, ERR_INDEX_BARVAR = 1005, 1012, 1204
ERR_INDEX_VAR, ERR_INDEX_AFE, ERR_SLICE, ERR_DUPLICATE_INDEX, ERR_INVALID_PTR = 1202, 1205, 1210, 1211, 1212
ERR_NAN, ERR_INF = 1302, 1303


def sized(task):
    task.appendvars_i_2(NUMVAR)
    task.appendafes_L_2(NUMAFE)
    return task


def f_entries(task):
    """F as {(afe, var): value}, read row by row and as triplets through both
    getter variants, which must all agree."""
    _, numafe = task.getnumafe__1()
    by_rows = {}
    for i in range(numafe):
        _, nz = task.getafefrownumnz_L_2(i)
        sub, val = np.zeros(nz, np.int32), np.zeros(nz)
        assert task.getafefrow_LOO_4(i, memoryview(sub), memoryview(val)) == (0, nz)
        raw = [bytearray(b"stale"), bytearray()]
        assert task.getafefrow_LOO_2(i, *raw) == (0, nz)
        assert raw == [sub.tobytes(), val.tobytes()]
        by_rows.update({(i, int(j)): float(v) for j, v in zip(sub, val)})
    _, total = task.getafefnumnz__1()
    views = [np.zeros(total, np.int64), np.zeros(total, np.int32), np.zeros(total)]
    assert task.getafeftrip_OOO_4(*map(memoryview, views)) == (0, None)
    raw = [bytearray(b"stale") for _ in range(3)]
    assert task.getafeftrip_OOO_1(*raw) == (0, None)
    assert raw == [v.tobytes() for v in views]
    assert {(int(i), int(j)): float(v) for i, j, v in zip(*views)} == by_rows
    return by_rows


def g_values(task):
    _, numafe = task.getnumafe__1()
    g = np.zeros(numafe)
    assert task.getafegslice_LLO_4(0, numafe, memoryview(g)) == (0, None)
    raw = bytearray(b"stale")
    assert task.getafegslice_LLO_3(0, numafe, raw) == (0, None)
    assert raw == g.tobytes()
    assert [task.getafeg_L_2(i) for i in range(numafe)] == [(0, float(v)) for v in g]
    return g.tolist()


def state(task):
    return task.getnumafe__1(), f_entries(task), g_values(task)


BASE = {(0, 1): 2.0, (2, 0): -1.0, (2, 3): 4.0, (4, 2): 0.5}


def with_base(task):
    sized(task)
    i, j = zip(*BASE)
    assert task.putafefentrylist_OOO_4(i64(i), i32(j), f64(list(BASE.values()))) == (0, None)
    assert task.putafeglist_OO_3(i64([1, 3]), f64([1.5, -2.5])) == (0, None)
    return task


# ---------------------------------------------------------------- round trips

@pytest.mark.parametrize("put, expected", [
    (lambda t: t.putafefentry_Lid_4(1, 3, 7.0), {**BASE, (1, 3): 7.0}),
    (lambda t: t.putafefentry_Lid_4(2, 0, 0.0), {k: v for k, v in BASE.items() if k != (2, 0)}),
    (lambda t: t.putafefentrylist_OOO_4(i64([3, 0]), i32([0, 1]), f64([1.0, -3.0])),
     {**BASE, (3, 0): 1.0, (0, 1): -3.0}),
    (lambda t: t.putafefentrylist_OOO_4(None, None, None), BASE),
    # a row put replaces that row
    (lambda t: t.putafefrow_LOO_4(2, i32([1]), f64([9.0])), {(0, 1): 2.0, (2, 1): 9.0, (4, 2): 0.5}),
    (lambda t: t.putafefrow_LOO_4(0, None, None), {k: v for k, v in BASE.items() if k[0] != 0}),
    # rows 1 and 4 take entries 2..3 and 0..0 of the shared arrays
    (lambda t: t.putafefrowlist_OOOOO_6(i64([1, 4]), i32([2, 1]), i64([2, 0]), i32([3, 9, 0, 2]),
                                        f64([5.0, 0.0, 6.0, 7.0])),
     {(0, 1): 2.0, (2, 0): -1.0, (2, 3): 4.0, (1, 0): 6.0, (1, 2): 7.0, (4, 3): 5.0}),
    # a column put replaces the whole column
    (lambda t: t.putafefcol_iOO_4(0, i64([4, 1]), f64([8.0, 3.0])),
     {(0, 1): 2.0, (2, 3): 4.0, (4, 2): 0.5, (4, 0): 8.0, (1, 0): 3.0}),
    (lambda t: t.emptyafefrow_L_2(2), {(0, 1): 2.0, (4, 2): 0.5}),
    (lambda t: t.emptyafefcol_i_2(1), {(2, 0): -1.0, (2, 3): 4.0, (4, 2): 0.5}),
    (lambda t: t.emptyafefrowlist_O_2(i64([0, 4])), {(2, 0): -1.0, (2, 3): 4.0}),
    (lambda t: t.emptyafefcollist_O_2(i32([3, 0])), {(0, 1): 2.0, (4, 2): 0.5}),
    (lambda t: t.emptyafefcollist_O_2(None), BASE),
])
def test_f_putters_round_trip(task, put, expected):
    with_base(task)
    g = g_values(task)
    assert put(task) == (0, None)
    assert f_entries(task) == expected
    assert g_values(task) == g


@pytest.mark.parametrize("put, expected", [
    (lambda t: t.putafeg_Ld_3(4, -7.25), [0.0, 1.5, 0.0, -2.5, -7.25]),
    (lambda t: t.putafeglist_OO_3(i64([0, 3, 0]), f64([1.0, 2.0, 3.0])), [3.0, 1.5, 0.0, 2.0, 0.0]),
    (lambda t: t.putafegslice_LLO_4(1, 4, f64([4.0, 5.0, 6.0])), [0.0, 4.0, 5.0, 6.0, 0.0]),
    (lambda t: t.putafegslice_LLO_4(2, 2, f64([])), [0.0, 1.5, 0.0, -2.5, 0.0]),
])
def test_g_putters_round_trip(task, put, expected):
    with_base(task)
    assert put(task) == (0, None)
    assert g_values(task) == expected
    assert f_entries(task) == BASE


def test_sizes_and_slices_of_g(task):
    assert task.getnumafe__1() == (0, 0)
    assert task.putmaxnumafe_L_2(100) == (0, None)
    assert task.appendafes_L_2(3) == (0, None)
    assert task.appendafes_L_2(2) == (0, None)
    assert task.getnumafe__1() == (0, 5)
    task.putafegslice_LLO_4(0, 5, f64([1, 2, 3, 4, 5]))
    part = np.zeros(2)
    assert task.getafegslice_LLO_4(2, 4, memoryview(part)) == (0, None)
    assert part.tolist() == [3.0, 4.0]
    raw = bytearray(b"x" * 64)
    assert task.getafegslice_LLO_3(3, 3, raw) == (0, None)
    assert raw == b""


def test_empty_row_resizes_bytearrays_to_nothing(task):
    with_base(task)
    raw = [bytearray(b"old"), bytearray(b"older")]
    assert task.getafefrow_LOO_2(3, *raw) == (0, 0)
    assert raw == [b"", b""]


# ---------------------------------------------------------------- library refusals

@pytest.mark.parametrize("call, res", [
    (lambda t: t.putafefentry_Lid_4(NUMAFE, 0, 1.0), ERR_INDEX_AFE),
    (lambda t: t.putafefentry_Lid_4(0, NUMVAR, 1.0), ERR_INDEX_VAR),
    (lambda t: t.putafefentrylist_OOO_4(i64([0, 1]), i32([0, 0]), f64([1.0, float("nan")])), ERR_NAN),
    (lambda t: t.putafefentrylist_OOO_4(i64([1, 1]), i32([2, 2]), f64([1.0, 2.0])), ERR_DUPLICATE_INDEX),
    (lambda t: t.putafefentrylist_OOO_4(None, i32([0]), f64([1.0])), ERR_NULL_POINTER),
    (lambda t: t.putafefrow_LOO_4(-1, i32([0]), f64([1.0])), ERR_INDEX_AFE),
    (lambda t: t.putafefrow_LOO_4(1, i32([0, 0]), f64([1.0, 1.0])), ERR_DUPLICATE_INDEX),
    # row 1 would take entries 1..2 of two
    (lambda t: t.putafefrowlist_OOOOO_6(i64([1]), i32([2]), i64([1]), i32([0, 1]), f64([1.0, 1.0])), ERR_INVALID_PTR),
    (lambda t: t.putafefcol_iOO_4(0, i64([1, 1]), f64([1.0, 2.0])), ERR_DUPLICATE_INDEX),
    (lambda t: t.putafefcol_iOO_4(0, i64([0]), f64([float("inf")])), ERR_INF),
    (lambda t: t.emptyafefrow_L_2(2**40), ERR_INDEX_AFE),
    (lambda t: t.emptyafefcol_i_2(-1), ERR_INDEX_VAR),
    (lambda t: t.emptyafefrowlist_O_2(i64([0, NUMAFE])), ERR_INDEX_AFE),
    (lambda t: t.emptyafefcollist_O_2(i32([NUMVAR])), ERR_INDEX_VAR),
    (lambda t: t.putafeg_Ld_3(NUMAFE, 1.0), ERR_INDEX_AFE),
    (lambda t: t.putafeglist_OO_3(i64([0]), f64([float("nan")])), ERR_NAN),
    (lambda t: t.putafegslice_LLO_4(3, 6, f64([1.0] * 3)), ERR_SLICE),
    (lambda t: t.appendafes_L_2(-1), ERR_NEGATIVE_COUNT),
    (lambda t: t.getafefrownumnz_L_2(NUMAFE), ERR_INDEX_AFE),
    (lambda t: t.getafeg_L_2(-1), ERR_INDEX_AFE),
    (lambda t: t.getafegslice_LLO_3(0, NUMAFE + 1, bytearray()), ERR_SLICE),
])
def test_library_refusals_pass_through_and_change_nothing(task, call, res):
    with_base(task)
    before = state(task)
    assert call(task) == (res, None)
    assert state(task) == before


def test_semidefinite_methods_on_a_task_without_semidefinite_variables(task, env_log_path, calls):
    with_base(task)
    before, logged = state(task), len(calls(env_log_path))
    nothing = [bytearray(b"keep") for _ in range(5)]
    results = [
        task.putafebarfentry_LiOO_5(0, 0, i64([0, 1]), f64([1.0, 2.0])),
        task.putafebarfentrylist_OOOOOO_7(i64([0, 1]), i32([0, 0]), i64([1, 2]), i64([0, 1]), i64([0, 1, 2]),
                                          f64([1.0, 2.0, 3.0])),
        task.putafebarfrow_LOOOOO_7(1, i32([0, 1]), i64([1, 1]), i64([0, 1]), i64([3, 4]), f64([1.0, 1.0])),
        task.emptyafebarfrow_L_2(0),
        task.emptyafebarfrowlist_O_2(i64([0, 2, 4])),
        task.putafebarfblocktriplet_OOOOO_6(i64([0, 1]), i32([0, 0]), i32([1, 0]), i32([0, 0]), f64([1.0, 1.0])),
        task.getafebarfnumblocktriplets__1(),
        task.getafebarfblocktriplet_OOOOO_6(None, None, None, None, None),
        task.getafebarfblocktriplet_OOOOO_1(*nothing),
        task.getafebarfnumrowentries_L_2(0),
        task.getafebarfrowinfo_L_2(0),
        task.getafebarfrow_LOOOOO_7(0, None, None, None, None, None),
        task.getafebarfrow_LOOOOO_2(0, *nothing),
    ]
    assert results == [(ERR_INDEX_BARVAR, None)] * 3 + [(0, None)] * 2 + [(ERR_INDEX_BARVAR, None)] + [
        (0, 0), (0, 0), (0, 0), (0, 0), (0, (0, 0)), (0, None), (0, None)]
    assert nothing == [b""] * 5
    lines = calls(env_log_path)[logged:]
    assert state(task) == before
    row_getter = ["getafebarfrowinfo"] * 5 + ["getafebarfrow"]
    assert [line.split()[0][4:] for line in lines] == [
        "putafebarfentry", "putafebarfentrylist", "putafebarfrow", "emptyafebarfrow", "emptyafebarfrowlist",
        "putafebarfblocktriplet", "getafebarfnumblocktriplets", "getafebarfnumblocktriplets",
        "getafebarfblocktriplet", "getafebarfnumblocktriplets", "getafebarfblocktriplet", "getafebarfnumrowentries",
        "getafebarfrowinfo"] + row_getter * 2
    # the counts each putter passes
    assert " numterm=2 termidx=ptr" in lines[0]
    assert " numafeidx=2 afeidx=ptr" in lines[1] and " lenterm=3 " in lines[1]
    assert " numentr=2 " in lines[2] and " lenterm=2 " in lines[2]
    assert " numafeidx=3 " in lines[4]
    assert " numtrip=2 " in lines[5]
    assert state(task) == before


# ---------------------------------------------------------------- call sequences

@pytest.mark.parametrize("call, functions, last", [
    (lambda t: t.getafefrow_LOO_4(2, None, None), ["getafefrownumnz"] * 2 + ["getafefrow"],
     "afeidx=2 numnz=ptr varidx=null val=null"),
    (lambda t: t.getafefrow_LOO_2(2, bytearray(), bytearray()), ["getafefrownumnz"] * 2 + ["getafefrow"],
     "afeidx=2 numnz=ptr varidx=ptr val=ptr"),
    (lambda t: t.getafeftrip_OOO_4(None, i32([0] * 4), None), ["getafefnumnz"] * 3 + ["getafeftrip"],
     "afeidx=null varidx=ptr val=null"),
    (lambda t: t.getafeftrip_OOO_1(bytearray(), bytearray(), bytearray()), ["getafefnumnz"] * 3 + ["getafeftrip"],
     "afeidx=ptr varidx=ptr val=ptr"),
    (lambda t: t.getafegslice_LLO_4(1, 3, None), ["getafegslice"], "first=1 last=3 g=null"),
    (lambda t: t.putafefentrylist_OOO_4(None, i32([0, 1]), f64([1.0, 1.0])), ["putafefentrylist"],
     "numentr=2 afeidx=null"),
    (lambda t: t.putafefrow_LOO_4(3, None, f64([1.0] * 3)), ["putafefrow"], "afeidx=3 numnz=3 varidx=null"),
    (lambda t: t.putafefrowlist_OOOOO_6(None, i32([1, 1]), None, i32([0, 1, 2]), None), ["putafefrowlist"],
     "numafeidx=2 afeidx=null numnzrow=ptr ptrrow=null lenidxval=3 varidx=ptr val=null"),
    (lambda t: t.putafefcol_iOO_4(1, None, None), ["putafefcol"], "varidx=1 numnz=0 afeidx=null val=null"),
    (lambda t: t.emptyafefrowlist_O_2(None), ["emptyafefrowlist"], "numafeidx=0 afeidx=null"),
    (lambda t: t.putafegslice_LLO_4(0, 2, None), ["putafegslice"], "first=0 last=2 slice=null"),
])
def test_call_sequences(task, env_log_path, calls, call, functions, last):
    with_base(task)
    logged = len(calls(env_log_path))
    call(task)
    lines = calls(env_log_path)[logged:]
    assert [line.split()[0] for line in lines] == ["VLT_" + f for f in functions]
    assert f" {last} " in lines[-1]


def test_row_getter_answers_the_count_it_wrote(task):
    with_base(task)
    assert task.getafefrow_LOO_4(2, None, None) == (0, 2)
    assert task.getafefrow_LOO_2(0, bytearray(), bytearray()) == (0, 1)


def test_failing_size_query_returns_at_once(task, env_log_path, calls):
    with_base(task)
    raw = bytearray(b"unchanged")
    logged = len(calls(env_log_path))
    assert task.getafefrow_LOO_2(NUMAFE, raw, raw) == (ERR_INDEX_AFE, None)
    assert task.getafefrow_LOO_4(-1, i32([0] * 9), None) == (ERR_INDEX_AFE, None)
    assert raw == b"unchanged"
    assert [line.split()[0] for line in calls(env_log_path)[logged:]] == ["VLT_getafefrownumnz"] * 2


# ---------------------------------------------------------------- argument errors

@pytest.mark.parametrize("call, message, queries", [
    (lambda t: t.putafefentrylist_OOO_4(None, i32([0, 1, 2]), f64([1.0, 2.0])),
     "Mismatching lengths of arguments afeidx,varidx,val", 0),
    (lambda t: t.putafefrow_LOO_4(0, i32([0]), f64([])), "Mismatching lengths of arguments varidx,val", 0),
    (lambda t: t.putafefrowlist_OOOOO_6(i64([0]), i32([1]), i64([0, 0]), i32([0]), f64([1.0])),
     "Mismatching lengths of arguments afeidx,numnzrow,ptrrow", 0),
    (lambda t: t.putafefrowlist_OOOOO_6(i64([0]), i32([1]), i64([0]), i32([0]), f64([1.0, 2.0])),
     "Mismatching lengths of arguments varidx,val", 0),
    (lambda t: t.putafefcol_iOO_4(0, i64([0, 1]), f64([1.0])), "Mismatching lengths of arguments afeidx,val", 0),
    (lambda t: t.putafebarfentry_LiOO_5(0, 0, i64([0]), f64([1.0, 1.0])),
     "Mismatching lengths of arguments termidx,termweight", 0),
    (lambda t: t.putafebarfentrylist_OOOOOO_7(i64([0]), None, i64([1, 1]), None, None, None),
     "Mismatching lengths of arguments afeidx,barvaridx,numterm,ptrterm", 0),
    (lambda t: t.putafebarfrow_LOOOOO_7(0, None, i64([1]), i64([0, 1]), None, None),
     "Mismatching lengths of arguments barvaridx,numterm,ptrterm", 0),
    (lambda t: t.putafeglist_OO_3(i64([0, 1]), f64([1.0])), "Mismatching lengths of arguments afeidx,g", 0),
    # the checked group names the first differing member in argument order
    (lambda t: t.putafebarfblocktriplet_OOOOO_6(i64([0] * 4), None, i32([0] * 3), None, None),
     "Array is too short in argument subk", 0),
    (lambda t: t.putafebarfblocktriplet_OOOOO_6(None, i32([0] * 2), i32([0] * 2), i32([0] * 2), f64([1.0] * 3)),
     "Array is too short in argument valkl", 0),
    (lambda t: t.putafegslice_LLO_4(0, 2, f64([1.0] * 3)), "Array is too short in argument slice", 0),
    (lambda t: t.getafegslice_LLO_4(2, 5, f64([0.0] * 4)), "Array is too short in argument g", 0),
    (lambda t: t.putafefentrylist_OOO_4(i32([0]), i32([0]), f64([1.0])),
     "Expected a continuous memoryview object for argument afeidx", 0),
    (lambda t: t.putafefentrylist_OOO_4(None, i32([0]), [1.0]), "Expected a memoryview object for argument val", 0),
    (lambda t: t.getafefrow_LOO_4(2, None, f64([0.0] * 3)), "Array is too short in argument val", 2),
    (lambda t: t.getafefrow_LOO_4(2, i32([0]), f64([0.0] * 3)), "Array is too short in argument varidx", 1),
    # parse-time checks come before any size query
    (lambda t: t.getafefrow_LOO_4(2, i64([0, 0]), None),
     "Expected a continuous memoryview object for argument varidx", 0),
    (lambda t: t.getafefrow_LOO_2(2, bytearray(), b""), "Bytearray object for argument val", 2),
    (lambda t: t.getafeftrip_OOO_4(None, None, f64([0.0] * 5)), "Array is too short in argument val", 3),
    (lambda t: t.getafeftrip_OOO_1(None, bytearray(), bytearray()), "Bytearray object for argument afeidx", 1),
    (lambda t: t.getafebarfblocktriplet_OOOOO_6(None, None, None, i64([0]), None),
     "Expected a continuous memoryview object for argument subl", 0),
    (lambda t: t.getafebarfrow_LOOOOO_7(0, None, None, None, None, [0.0]),
     "Expected a memoryview object for argument termweight", 0),
])
def test_argument_errors(task, env_log_path, calls, call, message, queries):
    with_base(task)
    before, logged = state(task), len(calls(env_log_path))
    with pytest.raises(TypeError) as caught:
        call(task)
    assert str(caught.value) == message
    lines = calls(env_log_path)[logged:]
    assert len(lines) == queries and all(line.split()[0].endswith("numnz") for line in lines)
    assert state(task) == before


def test_index_widths_follow_the_format_letters(task):
    sized(task)
    # an int64 AFE index reaches the library, an int32 variable index cannot
    assert task.emptyafefrow_L_2(2**40) == (ERR_INDEX_AFE, None)
    with pytest.raises(OverflowError):
        task.emptyafefcol_i_2(2**40)
