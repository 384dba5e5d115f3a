"""The linear constraint matrix and the objective through the generated Task methods."""
import numpy as np
import pytest
from numpy.lib.stride_tricks import as_strided

import _vlt

from arrays import f64, i32, i64

M, N = 6, 8
AXES = ("row", "col")


def random_entries(rng, lines, m=M, n=N):
    """A random set of non-zeros, {(i, j): value}, restricted to `lines` as (axis, list) if given."""
    values = rng.choice([-1, 1], (m, n)) * rng.uniform(0.5, 2.0, (m, n))
    mask = rng.random((m, n)) < 0.4
    entries = {(i, j): values[i, j] for i in range(m) for j in range(n) if mask[i, j]}
    if lines is None:
        return entries
    axis, keep = lines
    return {k: v for k, v in entries.items() if k[0 if axis == "row" else 1] in keep}


def packed(entries, axis, lines, rng):
    """ptrb, ptre, asub, aval of `lines`, stored in shuffled order with a gap between lines."""
    ptrb, ptre, asub, aval = [], [], [], []
    for line in rng.permutation(len(lines)):
        asub.append(-7)  # a gap the library must skip
        aval.append(99.0)
        items = sorted((k[1] if axis == "row" else k[0], v) for k, v in entries.items()
                       if k[0 if axis == "row" else 1] == lines[line])
        ptrb.append((line, len(asub)))
        asub += [s for s, _ in items]
        aval += [v for _, v in items]
        ptre.append((line, len(asub)))
    order = lambda pairs: [p for _, p in sorted(pairs)]
    return order(ptrb), order(ptre), asub, aval


def as_dict(axis, line, sub, val):
    return {((line, int(s)) if axis == "row" else (int(s), line)): float(v) for s, v in zip(sub, val)}


def get_line(task, axis, k):
    _, nz = getattr(task, f"geta{axis}numnz_i_2")(k)
    sub, val = np.zeros(nz, np.int32), np.zeros(nz)
    assert getattr(task, f"geta{axis}_iOO_4")(k, memoryview(sub), memoryview(val)) == (0, nz)
    raw = [bytearray(b"old"), bytearray()]
    assert getattr(task, f"geta{axis}_iOO_2")(k, *raw) == (0, nz)
    assert raw == [sub.tobytes(), val.tobytes()]
    return as_dict(axis, k, sub, val)


def get_slice(task, axis, first, last):
    _, nz = getattr(task, f"geta{axis}slicenumnz64_ii_3")(first, last)
    arrays = [np.zeros(last - first, np.int64), np.zeros(last - first, np.int64), np.zeros(nz, np.int32), np.zeros(nz)]
    assert getattr(task, f"geta{axis}slice64_iiOOOO_7")(first, last, *map(memoryview, arrays)) == (0, None)
    raw = [bytearray(b"x" * 5) for _ in arrays]
    assert getattr(task, f"geta{axis}slice64_iiOOOO_3")(first, last, *raw) == (0, None)
    assert raw == [a.tobytes() for a in arrays]
    ptrb, ptre, sub, val = arrays
    found = {}
    for k in range(last - first):
        found.update(as_dict(axis, first + k, sub[ptrb[k]:ptre[k]], val[ptrb[k]:ptre[k]]))
    assert len(found) == nz
    return found


def get_triplets(task, axis=None, first=0, last=0):
    if axis is None:
        _, nz = task.getnumanz64__1()
        view, bytes_, args = task.getatrip_OOO_4, task.getatrip_OOO_1, ()
    else:
        _, nz = getattr(task, f"geta{axis}slicenumnz64_ii_3")(first, last)
        view, bytes_ = getattr(task, f"geta{axis}slicetrip_iiOOO_6"), getattr(task, f"geta{axis}slicetrip_iiOOO_3")
        args = (first, last)
    arrays = [np.zeros(nz, np.int32), np.zeros(nz, np.int32), np.zeros(nz)]
    assert view(*args, *map(memoryview, arrays)) == (0, None)
    raw = [bytearray() for _ in arrays]
    assert bytes_(*args, *raw) == (0, None)
    assert raw == [a.tobytes() for a in arrays]
    found = {(int(i), int(j)): float(v) for i, j, v in zip(*arrays)}
    assert len(found) == nz
    return found


def check_matrix(task, entries, m, n, rng):
    assert task.getnumanz__1() == task.getnumanz64__1() == (0, len(entries))
    for axis, count in (("row", m), ("col", n)):
        through_lines = {}
        for k in range(count):
            through_lines.update(get_line(task, axis, k))
        assert through_lines == entries
        assert get_slice(task, axis, 0, count) == entries
        assert get_triplets(task, axis, 0, count) == entries
        first, last = sorted(rng.integers(0, count + 1, 2))
        part = {k: v for k, v in entries.items() if first <= k[0 if axis == "row" else 1] < last}
        assert get_slice(task, axis, first, last) == part
        assert get_triplets(task, axis, first, last) == part
    assert get_triplets(task) == entries
    assert all(task.getaij_ii_3(i, j) == (0, entries.get((i, j), 0.0)) for i in range(m) for j in range(n))
    fi, li, fj, lj = *sorted(rng.integers(0, m + 1, 2)), *sorted(rng.integers(0, n + 1, 2))
    assert task.getapiecenumnz_iiii_5(fi, li, fj, lj) == (
        0, sum(fi <= i < li and fj <= j < lj for i, j in entries))


def new_task(task, entries, m=M, n=N):
    assert task.appendcons_i_2(m) == task.appendvars_i_2(n) == (0, None)
    if entries:
        subi, subj = zip(*entries)
        assert task.putaijlist64_OOO_4(i32(subi), i32(subj), f64(list(entries.values()))) == (0, None)
    return task


def put_lines(task, how, axis, entries, lines, rng):
    """Replaces `lines` by their entries in `entries`, through the putter `how`."""
    ptrb, ptre, asub, aval = packed(entries, axis, lines, rng)
    if how == "line":
        for k, line in enumerate(lines):
            sub, val = asub[ptrb[k]:ptre[k]], aval[ptrb[k]:ptre[k]]
            assert getattr(task, f"puta{axis}_iOO_4")(int(line), i32(sub), f64(val)) == (0, None)
    elif how == "slice":
        assert getattr(task, f"puta{axis}slice64_iiOOOO_7")(int(lines[0]), int(lines[-1]) + 1, i64(ptrb), i64(ptre),
                                                             i32(asub), f64(aval)) == (0, None)
    else:
        assert getattr(task, f"puta{axis}list64_OOOOO_6")(i32(lines), i64(ptrb), i64(ptre), i32(asub),
                                                           f64(aval)) == (0, None)


@pytest.mark.parametrize("axis", AXES)
@pytest.mark.parametrize("how", ["line", "slice", "list"])
def test_matrix_round_trip_after_puts_removals_and_resizes(task, axis, how):
    rng = np.random.default_rng(["line", "slice", "list"].index(how) * 2 + AXES.index(axis))
    entries = random_entries(rng, None)
    new_task(task, entries)
    count = M if axis == "row" else N
    lines = np.arange(1, count - 1) if how == "slice" else rng.choice(count, 3, replace=False)
    replacing = random_entries(rng, (axis, set(lines.tolist())))
    put_lines(task, how, axis, replacing, lines, rng)
    position = 0 if axis == "row" else 1
    entries = {k: v for k, v in entries.items() if k[position] not in lines} | replacing
    check_matrix(task, entries, M, N, rng)

    for i, j in [(0, 0), (M - 1, N - 1)]:
        assert task.putaij_iid_4(i, j, 0.25 + i) == (0, None)
        entries[(i, j)] = 0.25 + i
    assert task.resizetask_iiiLL_6(M + 4, N + 4, 0, 500, 0) == (0, None)
    check_matrix(task, entries, M, N, rng)

    gone_rows, gone_cols = [1, 4], [0, 5, 6]
    assert task.removecons_O_2(i32(gone_rows)) == task.removevars_O_2(i32(gone_cols)) == (0, None)
    renumber = lambda k, gone: k - sum(g < k for g in gone)
    entries = {(renumber(i, gone_rows), renumber(j, gone_cols)): v for (i, j), v in entries.items()
               if i not in gone_rows and j not in gone_cols}
    check_matrix(task, entries, M - 2, N - 3, rng)


def test_whole_problem_in_one_call(task):
    rng = np.random.default_rng(11)
    entries = random_entries(rng, None)
    ptrb, ptre, asub, aval = packed(entries, "col", list(range(N)), rng)
    c = rng.uniform(-3, 3, N)
    bkc, blc, buc = [4] * M, rng.uniform(-5, -1, M), rng.uniform(1, 5, M)
    assert task.inputdata64_iiOdOOOOOOOOOO_15(M, N, f64(c), 1.5, i64(ptrb), i64(ptre), i32(asub), f64(aval),
                                              i32(bkc), f64(blc), f64(buc), None, None, None) == (0, None)
    check_matrix(task, entries, M, N, rng)
    assert task.getcfix__1() == (0, 1.5)
    assert [task.getcj_i_2(j) for j in range(N)] == [(0, v) for v in c]
    assert [task.getconbound_i_2(i) for i in range(M)] == [(0, (4, blc[i], buc[i])) for i in range(M)]
    assert task.getvarbound_i_2(N - 1)[0] == 0


def test_objective_round_trip(task):
    rng = np.random.default_rng(3)
    new_task(task, {})
    c = np.zeros(N)
    c[2:6] = rng.uniform(-1, 1, 4)
    assert task.putcslice_iiO_4(2, 6, f64(c[2:6])) == (0, None)
    c[[7, 0]] = 5.0, -4.0
    assert task.putclist_OO_3(i32([7, 0]), f64([5.0, -4.0])) == (0, None)
    c[3] = 0.125
    assert task.putcj_id_3(3, 0.125) == task.putcfix_d_2(-2.5) == task.putobjsense_i_2(1) == (0, None)

    whole, raw = np.zeros(N), bytearray(b"....")
    assert task.getc_O_2(memoryview(whole)) == task.getc_O_1(raw) == (0, None)
    np.testing.assert_array_equal(whole, c)
    assert raw == c.tobytes()
    part, raw = np.zeros(3), bytearray()
    assert task.getcslice_iiO_4(1, 4, memoryview(part)) == task.getcslice_iiO_3(1, 4, raw) == (0, None)
    assert part.tolist() == c[1:4].tolist() and raw == part.tobytes()
    picked, raw = np.zeros(3), bytearray()
    assert task.getclist_OO_3(i32([7, 3, 7]), memoryview(picked)) == task.getclist_OO_2(i32([7, 3, 7]), raw) == (0, None)
    assert picked.tolist() == c[[7, 3, 7]].tolist() and raw == picked.tobytes()
    assert [task.getcj_i_2(j)[1] for j in range(N)] == c.tolist()
    assert (task.getcfix__1(), task.getobjsense__1(), task.getprobtype__1()) == ((0, -2.5), (0, 1), (0, 0))

    assert task.putatruncatetol_d_2(0.125) == (0, None)
    tol, raw = np.zeros(1), bytearray(b"much too long")
    assert task.getatruncatetol_O_2(memoryview(tol)) == task.getatruncatetol_O_1(raw) == (0, None)
    assert tol[0] == 0.125 and raw == tol.tobytes()
    assert task.putmaxnumanz_L_2(2**33) == (0, None) and task.getmaxnumanz64__1() == (0, 2**33)


@pytest.mark.parametrize("call, functions, count", [
    (lambda t: t.getacol_iOO_4(2, None, f64([0.0] * 2)), ["getacolnumnz", "getacolnumnz", "getacol"], None),
    (lambda t: t.getacol_iOO_2(2, bytearray(), bytearray()), ["getacolnumnz", "getacolnumnz", "getacol"], None),
    (lambda t: t.getarow_iOO_4(1, i32([0, 0]), None), ["getarownumnz", "getarownumnz", "getarow"], None),
    (lambda t: t.getarow_iOO_2(1, bytearray(), bytearray()), ["getarownumnz", "getarownumnz", "getarow"], None),
    (lambda t: t.getacolslice64_iiOOOO_7(1, 3, None, None, i32([0] * 2), None),
     ["getacolslicenumnz64", "getacolslice64"], "maxnumnz=2 ptrb=null ptre=null sub=ptr val=null"),
    (lambda t: t.getarowslice64_iiOOOO_3(0, 2, *(bytearray() for _ in range(4))), ["getarowslicenumnz64", "getarowslice64"],
     "maxnumnz=3"),
    (lambda t: t.getacolslicetrip_iiOOO_3(0, 3, *(bytearray() for _ in range(3))), ["getacolslicenumnz64", "getacolslicetrip"],
     "maxnumnz=4"),
    (lambda t: t.getarowslicetrip_iiOOO_6(0, 2, None, None, None), ["getarowslicenumnz64", "getarowslicetrip"],
     "maxnumnz=3"),
    (lambda t: t.getatrip_OOO_4(None, i32([0] * 4), None), ["getnumanz64", "getatrip"],
     "maxnumnz=4 subi=null subj=ptr val=null"),
    (lambda t: t.getatrip_OOO_1(*(bytearray() for _ in range(3))), ["getnumanz64", "getatrip"], "maxnumnz=4"),
    (lambda t: t.getc_O_2(f64([0.0] * 3)), ["getnumvar", "getc"], None),
    (lambda t: t.getc_O_1(bytearray()), ["getnumvar", "getc"], None),
    (lambda t: t.getclist_OO_2(i32([0, 2]), bytearray()), ["getclist"], "num=2"),
    (lambda t: t.getclist_OO_3(None, f64([])), ["getclist"], "num=0 subj=null"),
    (lambda t: t.getcslice_iiO_3(0, 3, bytearray()), ["getcslice"], None),
    (lambda t: t.getatruncatetol_O_1(bytearray()), ["getatruncatetol"], None),
])
def test_getters_query_sizes_in_order(task, env_log_path, calls, call, functions, count):
    new_task(task, {(0, 0): 1.0, (1, 2): 2.0, (1, 0): 3.0, (2, 2): 4.0}, 3, 3)
    before = len(calls(env_log_path))
    assert call(task)[0] == 0
    lines = calls(env_log_path)[before:]
    assert [line.split()[0] for line in lines] == ["VLT_" + f for f in functions]
    assert all(line.endswith("-> 0") for line in lines)
    if count:
        assert f" {count} " in lines[-1] + " "


SIZE_QUERIES = {"VLT_getacolnumnz", "VLT_getarownumnz", "VLT_getacolslicenumnz64", "VLT_getarowslicenumnz64",
                "VLT_getnumanz64", "VLT_getnumvar"}


def snapshot(task):
    _, m = task.getnumcon__1()
    _, n = task.getnumvar__1()
    out = [bytearray() for _ in range(9)]
    task.getatrip_OOO_1(*out[:3])
    task.getc_O_1(out[3])
    task.getconboundslice_iiOOO_3(0, m, *out[4:7])
    task.getvarboundslice_iiOOO_3(0, n, out[7], out[8], bytearray())
    return m, n, task.getcfix__1(), task.getobjsense__1(), out


BIG = as_strided(np.zeros(1, np.int32), shape=(2**32 + 1,), strides=(4,), writeable=False)


@pytest.mark.parametrize("call, message", [
    (lambda t: t.putarow_iOO_4(0, i32([0, 1]), f64([1.0])), "Mismatching lengths of arguments subi,vali"),
    (lambda t: t.putacol_iOO_4(0, None, [1.0]), "Expected a memoryview object for argument valj"),
    (lambda t: t.putaijlist64_OOO_4(i32([0]), None, f64([1.0, 2.0])), "Mismatching lengths of arguments subi,subj,valij"),
    (lambda t: t.putaijlist64_OOO_4(memoryview(BIG), i32([1]), f64([1.0])),
     "Mismatching lengths of arguments subi,subj,valij"),
    (lambda t: t.putclist_OO_3(i32([0]), i32([1])), "Expected a continuous memoryview object for argument val"),
    (lambda t: t.putacollist64_OOOOO_6(i32([0, 1]), i64([0]), None, None, None),
     "Mismatching lengths of arguments sub,ptrb,ptre"),
    (lambda t: t.putacolslice64_iiOOOO_7(0, 2, i64([0, 1, 2]), i64([1, 2]), None, None),
     "Array is too short in argument ptrb"),
    (lambda t: t.putarowslice64_iiOOOO_7(0, 2, i64([0, 1]), i64([1]), None, None), "Array is too short in argument ptre"),
    (lambda t: t.putcslice_iiO_4(0, 2, f64([1.0] * 3)), "Array is too short in argument slice"),
    (lambda t: t.putcslice_iiO_4(2, 1, f64([])), "Array is too short in argument slice"),
    (lambda t: t.getcslice_iiO_4(0, 2, f64([0.0])), "Array is too short in argument c"),
    (lambda t: t.getc_O_2(f64([0.0] * (N + 1))), "Array is too short in argument c"),
    (lambda t: t.getc_O_1([0.0] * N), "Bytearray object for argument c"),
    (lambda t: t.getclist_OO_3(i32([1, 2]), f64([0.0] * 3)), "Array is too short in argument c"),
    (lambda t: t.getatruncatetol_O_2(f64([0.0, 0.0])), "Array is too short in argument tolzero"),
    (lambda t: t.getacol_iOO_4(1, i32([0] * 7), None), "Array is too short in argument subj"),
    (lambda t: t.getarow_iOO_4(1, None, f64([0.0] * 9)), "Array is too short in argument vali"),
    (lambda t: t.getacol_iOO_4(1, [0], None), "Expected a memoryview object for argument subj"),
    (lambda t: t.getacolslice64_iiOOOO_7(0, 2, None, i64([0] * 2), None, f64([0.0] * 99)),
     "Array is too short in argument val"),
    (lambda t: t.getarowslice64_iiOOOO_7(0, 2, i64([0] * 3), None, None, None), "Array is too short in argument ptrb"),
    (lambda t: t.getatrip_OOO_4(None, None, f64([])), "Array is too short in argument val"),
    (lambda t: t.getarowslicetrip_iiOOO_3(0, 1, bytearray(), None, bytearray()), "Bytearray object for argument subj"),
    (lambda t: t.inputdata64_iiOdOOOOOOOOOO_15(0, 0, None, 0.0, None, None, None, None, i32([0] * 4), None,
                                               f64([0.0] * 3), None, None, None), "Mismatching lengths of arguments buc,blc,bkc"),
    (lambda t: t.inputdata64_iiOdOOOOOOOOOO_15(0, 0, None, 0.0, i64([0] * 2), None, None, None, i32([0]), f64([0.0] * 2),
                                               None, None, f64([0.0] * 3), None), "Mismatching lengths of arguments buc,blc,bkc"),
    (lambda t: t.inputdata64_iiOdOOOOOOOOOO_15(0, 0, None, 0.0, i64([0] * 2), None, None, None, None, None, None, None,
                                               None, f64([0.0] * 3)), "Mismatching lengths of arguments c,bux,blx,bkx,aptrb,aptre"),
    (lambda t: t.inputdata64_iiOdOOOOOOOOOO_15(0, 0, None, 0.0, None, None, None, None, None, None, None, None, None,
                                               i32([0])), "Expected a continuous memoryview object for argument bux"),
])
def test_argument_errors_change_nothing(task, env_log_path, calls, call, message):
    rng = np.random.default_rng(1)
    new_task(task, random_entries(rng, None))
    before, logged = snapshot(task), len(calls(env_log_path))
    with pytest.raises(TypeError) as caught:
        call(task)
    assert str(caught.value) == message
    assert {line.split()[0] for line in calls(env_log_path)[logged:]} <= SIZE_QUERIES
    assert snapshot(task) == before


@pytest.mark.parametrize("call, res, function", [
    (lambda t: t.putarow_iOO_4(M, i32([0]), f64([1.0])), 1201, "VLT_putarow"),
    (lambda t: t.putacol_iOO_4(0, i32([0, M]), f64([1.0, 2.0])), 1201, "VLT_putacol"),
    (lambda t: t.putaij_iid_4(0, N, 1.0), 1202, "VLT_putaij"),
    (lambda t: t.putacollist64_OOOOO_6(i32([0, 0]), i64([0, 0]), i64([1, 1]), i32([0]), f64([1.0])), 1211,
     "VLT_putacollist64"),
    (lambda t: t.putacolslice64_iiOOOO_7(3, 1, None, None, None, None), 1210, "VLT_putacolslice64"),
    (lambda t: t.putcj_id_3(N, 1.0), 1202, "VLT_putcj"),
    (lambda t: t.putobjsense_i_2(3), 1305, "VLT_putobjsense"),
    (lambda t: t.getacol_iOO_4(N, i32([0] * 99), None), 1202, "VLT_getacolnumnz"),
    (lambda t: t.getacolslice64_iiOOOO_3(3, 1, [], 0, None, None), 1210, "VLT_getacolslicenumnz64"),
    (lambda t: t.getcslice_iiO_3(2, 1, bytearray(b"keep")), 1210, "VLT_getcslice"),
    (lambda t: t.inputdata64_iiOdOOOOOOOOOO_15(0, 0, f64([1.0]), 0.0, None, None, None, None, i32([9]), None, None,
                                               None, None, None), 1300, "VLT_inputdata64"),
])
def test_library_refusals_are_returned_and_change_nothing(task, env_log_path, calls, call, res, function):
    rng = np.random.default_rng(2)
    new_task(task, random_entries(rng, None))
    messages = []
    task.set_Stream(2, messages.append)
    before, logged = snapshot(task), len(calls(env_log_path))
    assert call(task) == (res, None)
    assert calls(env_log_path)[-1].split()[0] == function  # a failed size query is the last call
    assert len(calls(env_log_path)) - logged == 1
    assert snapshot(task) == before
    assert len(messages) == 1 and messages[0].startswith(function) and f"({res})" in messages[0]


def test_failed_size_query_comes_before_bytearray_checks():
    task = _vlt.Task(None)
    task.dispose()
    assert task.getc_O_1([0.0]) == (1002, None)
    raw = bytearray(b"unchanged")
    assert task.getatrip_OOO_1(raw, raw, raw) == (1002, None) and raw == b"unchanged"


@pytest.mark.parametrize("method, first, last", [("putacolslice64_iiOOOO_7", 0, 2), ("putarowslice64_iiOOOO_7", 1, 3),
                                                ("putacollist64_OOOOO_6", None, None), ("putarowlist64_OOOOO_6", None, None),
                                                ("inputdata64_iiOdOOOOOOOOOO_15", None, None)])
@pytest.mark.parametrize("ptrb, ptre, nsub, nval, refused", [
    ([0, 3], [2, 5], 4, 5, "asub"),
    ([0, 3], [2, 5], 5, 4, "aval"),
    ([0, 3], [2, 5], None, 4, "aval"),
    ([-1, 3], [0, 5], 5, 5, "asub"),
    ([0, 3], [2, 5], 5, 5, None),
    ([0, 3], [2, 5], 9, 6, None),
    ([0, 0], [0, 0], 0, 0, None),
])
def test_entry_arrays_must_cover_the_positions(task, env_log_path, calls, method, first, last, ptrb, ptre, nsub, nval,
                                               refused):
    new_task(task, {})
    asub = None if nsub is None else i32(([0, 1, 7, 2, 3] + [0] * 9)[:nsub])
    aval = f64([1.0] * nval)
    if first is not None:
        args = (first, last, i64(ptrb), i64(ptre), asub, aval)
    elif method.startswith("input"):
        args = (M, N, None, 0.0, i64(ptrb), i64(ptre), asub, aval, None, None, f64([1.0] * M), None, None, None)
    else:
        args = (i32([2, 0]), i64(ptrb), i64(ptre), asub, aval)
    before, logged = snapshot(task), len(calls(env_log_path))
    if refused:
        with pytest.raises(TypeError) as caught:
            getattr(task, method)(*args)
        assert str(caught.value) == f"Array is too short in argument {refused}"
        assert len(calls(env_log_path)) == logged and snapshot(task) == before
    else:
        res, _ = getattr(task, method)(*args)
        assert calls(env_log_path)[-1].startswith("VLT_" + method.split("_")[0])
        assert res == (1005 if nsub is None and ptre != ptrb else 0)


@pytest.mark.parametrize("method, args", [
    ("putacolslice64_iiOOOO_7", (0, 2, None, None, i32([]), f64([]))),
    ("putarowlist64_OOOOO_6", (i32([0]), i64([0]), None, i32([]), None)),
    ("inputdata64_iiOdOOOOOOOOOO_15", (0, 0, None, 0.0, None, None, None, None, None, None, None, None, None, None)),
])
def test_missing_positions_are_left_to_the_library(task, env_log_path, calls, method, args):
    new_task(task, {})
    getattr(task, method)(*args)
    assert calls(env_log_path)[-1].startswith("VLT_" + method.split("_")[0])


def test_counts_reach_the_library_with_their_widths(task, env_log_path, calls):
    new_task(task, {}, 2, 2)
    # A group count is cut to int32 where the library takes an int32 and kept whole where it takes an int64.
    assert task.putacol_iOO_4(1, memoryview(BIG), f64([2.0])) == (0, None)
    assert "nzj=1 " in calls(env_log_path)[-1]
    assert task.getacol_iOO_4(1, i32([0]), f64([0.0])) == (0, 1)
    with pytest.raises(TypeError):
        task.putaijlist64_OOO_4(memoryview(BIG), i32([0]), None)
    task.inputdata64_iiOdOOOOOOOOOO_15(3, 4, None, 0.0, None, None, None, None, None, None, None, None, None, None)
    assert calls(env_log_path)[-1].split(" -> ")[0].split(" ", 2)[2] == (
        "maxnumcon=3 maxnumvar=4 numcon=0 numvar=0 c=null cfix=0 aptrb=null aptre=null asub=null aval=null "
        "bkc=null blc=null buc=null bkx=null blx=null bux=null")
    task.inputdata64_iiOdOOOOOOOOOO_15(0, 0, None, 0.0, None, None, None, None, None, f64([1.0] * 2), None, None,
                                       f64([0.0] * 5), None)
    assert " numcon=2 numvar=5 " in calls(env_log_path)[-1]


@pytest.mark.parametrize("getter, args, widths", [
    ("getacol_iOO_2", (3,), [4, 8]),
    ("getatrip_OOO_1", (), [4, 4, 8]),
    ("getarowslice64_iiOOOO_3", (2, 2), [8, 8, 4, 8]),
    ("getacolslicetrip_iiOOO_3", (1, 1), [4, 4, 8]),
    ("getcslice_iiO_3", (4, 4), [8]),
])
def test_empty_results_shrink_bytearrays(task, getter, args, widths):
    new_task(task, {})
    arrays = [bytearray(b"stale data") for _ in widths]
    assert getattr(task, getter)(*args, *arrays)[0] == 0
    assert arrays == [bytearray()] * len(widths)
