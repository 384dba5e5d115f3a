"""Semidefinite variables, the symmetric-matrix store, barC, barA and barF
through the generated Task methods: round trips of every put/get pair,
checked groups and sum rules, failures that change nothing, removals and
clones."""
import numpy as np
import pytest

import _vlt
from arrays import f64, i32, i64

OK, ERR_INDEX, ERR_INDEX_BARVAR, ERR_INDEX_SYMMAT = 0, 1200, 1204, 1209
ERR_DUPLICATE, ERR_INVALID_PTR, ERR_INF_VALUE, ERR_DIMENSION = 1211, 1212, 1303, 1313
ITR, ITG = 0, 2


def got(method, *args):
    """The arrays a bytearray getter fills, decoded by their widths."""
    res, value = method(*args)
    assert res == OK
    return value


def arrays(buffers, dtypes):
    return [np.frombuffer(b, dtype=t).tolist() for b, t in zip(buffers, dtypes)]


@pytest.fixture
def sdp(task):
    """2 constraints, 3 AFEs, semidefinite variables of dimensions 2 and 3,
    matrices 0: [[1,.],[2,3]] (dim 2), 1: [[0,.],[0,5]] (dim 2), 2: e0e0' (dim 3)."""
    assert task.appendcons_i_2(2) == (OK, None)
    assert task.appendafes_L_2(3) == (OK, None)
    assert task.appendbarvars_O_2(i32([2, 3])) == (OK, None)
    assert task.appendsparsesymmat_iOOO_5(2, i32([0, 1, 1]), i32([0, 0, 1]), f64([1.0, 2.0, 3.0])) == (OK, 0)
    assert task.appendsparsesymmat_iOOO_5(2, i32([1]), i32([1]), f64([5.0])) == (OK, 1)
    assert task.appendsparsesymmat_iOOO_5(3, i32([0]), i32([0]), f64([1.0])) == (OK, 2)
    return task


def block_triplets(task, getter, widths):
    buffers = [bytearray() for _ in widths]
    count = got(getter, *buffers)
    return sorted(zip(*arrays(buffers, widths))), count


def everything(task):
    """What every getter of this family reports, as one comparable value."""
    out = [task.getnumbarvar__1(), task.getnumsymmat__1()]
    out += [task.getdimbarvarj_i_2(j) for j in range(task.getnumbarvar__1()[1])]
    for idx in range(task.getnumsymmat__1()[1]):
        bufs = [bytearray() for _ in range(3)]
        assert task.getsparsesymmat_LOOO_2(idx, *bufs) == (OK, None)
        out.append((task.getsymmatinfo_L_2(idx), arrays(bufs, [np.int32, np.int32, np.float64])))
    out.append(block_triplets(task, task.getbarcblocktriplet_OOOO_1, [np.int32] * 3 + [np.float64]))
    out.append(block_triplets(task, task.getbarablocktriplet_OOOOO_1, [np.int32] * 4 + [np.float64]))
    out.append(block_triplets(task, task.getafebarfblocktriplet_OOOOO_1, [np.int64] + [np.int32] * 3 + [np.float64]))
    for idx in range(task.getnumbaranz__1()[1]):
        sub, w = bytearray(), bytearray()
        out.append((task.getbaraidx_LOO_2(idx, sub, w), arrays([sub, w], [np.int64, np.float64])))
    return out


# ---------------------------------------------------------------- symmetric matrices

def test_matrix_lists_come_back_with_their_indexes_and_triplets(sdp):
    dims, nz = i32([2, 3]), i64([3, 1])
    subi, subj, val = i32([0, 1, 0, 2]), i32([0, 1, 1, 2]), f64([1.0, 2.0, 4.0, 7.0])
    idx = np.zeros(2, dtype=np.int64)
    assert sdp.appendsparsesymmatlist_OOOOOO_7(dims, nz, subi, subj, val, memoryview(idx)) == (OK, None)
    out = bytearray()
    assert sdp.appendsparsesymmatlist_OOOOOO_6(dims, nz, subi, subj, val, out) == (OK, None)
    assert idx.tolist() == [3, 4] and np.frombuffer(out, dtype=np.int64).tolist() == [5, 6]
    assert sdp.getsymmatinfo_L_2(3) == (OK, (2, 3, 0))
    rows, cols, vals = (np.zeros(3, dtype=t) for t in (np.int32, np.int32, np.float64))
    assert sdp.getsparsesymmat_LOOO_5(3, memoryview(rows), memoryview(cols), memoryview(vals)) == (OK, None)
    # the upper-triangle triplet (0, 1) stands for its mirror (1, 0)
    assert list(zip(rows.tolist(), cols.tolist(), vals.tolist())) == [(0, 0, 1.0), (1, 1, 2.0), (1, 0, 4.0)]


@pytest.mark.parametrize("nz, lengths, message", [
    ([3, 1], (4, 4, 4, 2), None),
    ([3, 1], (3, 4, 4, 2), "Array is too short in argument subi"),
    ([3, 1], (4, 4, 5, 2), "Array is too short in argument valij"),
    ([3, 1], (4, 4, 4, 3), "Array is too short in argument idx"),
    ([3, -1], (3, 3, 3, 2), None),  # a negative count adds nothing; the library refuses it
])
def test_matrix_list_sum_rule(sdp, env_log_path, calls, nz, lengths, message):
    n_i, n_j, n_v, n_idx = lengths
    args = (i32([2, 2]), i64(nz), i32([0] * n_i), i32([0] * n_j), f64([1.0] * n_v), i64([0] * n_idx))
    logged = len(calls(env_log_path))
    if message:
        with pytest.raises(TypeError, match=message):
            sdp.appendsparsesymmatlist_OOOOOO_7(*args)
        assert len(calls(env_log_path)) == logged
    else:
        assert sdp.appendsparsesymmatlist_OOOOOO_7(*args)[1] is None


def test_bytearray_idx_is_checked_after_the_sum_rule(sdp):
    with pytest.raises(TypeError, match="Array is too short in argument subj"):
        sdp.appendsparsesymmatlist_OOOOOO_6(i32([2]), i64([1]), i32([0]), i32([]), f64([1.0]), b"not a bytearray")
    with pytest.raises(TypeError, match="Bytearray object for argument idx"):
        sdp.appendsparsesymmatlist_OOOOOO_6(i32([2]), i64([1]), i32([0]), i32([0]), f64([1.0]), b"not a bytearray")


# ---------------------------------------------------------------- barC and barA

def test_term_lists_round_trip(sdp):
    assert sdp.putbarcj_iOO_4(1, i64([2, 2]), f64([0.5, 1.5])) == (OK, None)
    assert sdp.putbarcj_iOO_4(0, i64([1]), f64([2.0])) == (OK, None)
    assert sdp.putbaraij_iiOO_5(1, 0, i64([0, 1]), f64([1.0, -1.0])) == (OK, None)
    assert sdp.getnumbarcnz__1() == (OK, 2)
    idxj = np.zeros(2, dtype=np.int64)
    assert sdp.getbarcsparsity_O_2(memoryview(idxj)) == (OK, 2)
    assert [sdp.getbarcidxj_L_2(int(k)) for k in idxj] == [(OK, 0), (OK, 1)]
    sub, w = bytearray(), bytearray()
    assert sdp.getbarcidx_LOO_2(1, sub, w) == (OK, (1, 2))
    assert arrays([sub, w], [np.int64, np.float64]) == [[2, 2], [0.5, 1.5]]
    # barC_0 is 2 x matrix 1, barC_1 is 2 e0e0' (the weights of a repeated matrix add up)
    trip, count = block_triplets(sdp, sdp.getbarcblocktriplet_OOOO_1, [np.int32] * 3 + [np.float64])
    assert count == 2 and trip == [(0, 1, 1, 10.0), (1, 0, 0, 2.0)]
    assert sdp.getbaraidxij_L_2(0) == (OK, (1, 0))
    sub, w = np.zeros(2, dtype=np.int64), np.zeros(2)
    assert sdp.getbaraidx_LOO_4(0, memoryview(sub), memoryview(w)) == (OK, (1, 0, 2))
    # an empty term list removes the entry
    assert sdp.putbarcj_iOO_4(0, None, None) == (OK, None)
    assert sdp.getnumbarcnz__1() == (OK, 1)


def test_list_puts_of_bara(sdp):
    # entries (0, 0) with matrix 0 and (1, 1) with 2 x matrix 2
    assert sdp.putbaraijlist_OOOOOO_7(i32([0, 1]), i32([0, 1]), i64([1, 0]), i64([2, 1]), i64([2, 0]),
                                      f64([2.0, 1.0])) == (OK, None)
    assert sdp.getnumbaranz__1() == (OK, 2)
    sub, w = bytearray(), bytearray()
    assert sdp.getbaraidx_LOO_2(1, sub, w) == (OK, (1, 1, 1))
    assert arrays([sub, w], [np.int64, np.float64]) == [[2], [2.0]]
    # a row list replaces the rows it names: row 1 gets (1, 0) with matrices 0 and 1
    assert sdp.putbararowlist_OOOOOOO_8(i32([1]), i64([0]), i64([1]), i32([0]), i64([2]), i64([0, 1]),
                                        f64([1.0, 1.0])) == (OK, None)
    pairs = [sdp.getbaraidxij_L_2(k)[1] for k in range(sdp.getnumbaranz__1()[1])]
    assert pairs == [(0, 0), (1, 0)]


@pytest.mark.parametrize("nummat, n_mat, n_w, message", [
    ([2, 3], 5, 5, None),
    ([2, 3], 4, 5, "Array is too short in argument matidx"),
    ([2, 3], 5, 6, "Array is too short in argument weights"),
    (None, 0, 0, None),
    (None, 1, 0, "Array is too short in argument matidx"),
])
def test_row_list_sum_rule(sdp, nummat, n_mat, n_w, message):
    args = (i32([0]), i64([0]), i64([2]), i32([0, 0]), None if nummat is None else i64(nummat), i64([9] * n_mat),
            f64([1.0] * n_w))
    if message:
        with pytest.raises(TypeError, match=message):
            sdp.putbararowlist_OOOOOOO_8(*args)
    else:
        assert sdp.putbararowlist_OOOOOOO_8(*args)[0] != OK  # the library judges the data


@pytest.mark.parametrize("subj, ptre, nummat, message", [
    (None, 0, [1], "Array is too short in argument nummat"),
    ([0], 2, [1], "Array is too short in argument subj"),  # ptre reaches beyond subj
])
def test_row_list_entries_must_be_within_reach(sdp, subj, ptre, nummat, message):
    with pytest.raises(TypeError, match=message):
        sdp.putbararowlist_OOOOOOO_8(i32([0]), i64([0]), i64([ptre]), None if subj is None else i32(subj),
                                     i64(nummat), i64([0]), f64([1.0]))


def test_ijlist_terms_must_be_within_reach(sdp):
    with pytest.raises(TypeError, match="Array is too short in argument weights"):
        sdp.putbaraijlist_OOOOOO_7(i32([0]), i32([0]), i64([0]), i64([2]), i64([0, 1]), f64([1.0]))


@pytest.mark.parametrize("lengths, message", [
    ((2, 2, 2, 2, 2), None),
    ((3, None, None, None, None), "Array is too short in argument subi"),
    ((2, 2, 1, 2, 2), "Array is too short in argument subk"),
    ((1, 2, 1, 2, 2), "Array is too short in argument subi"),  # in argument order
])
def test_bara_block_triplets_checked_group(sdp, lengths, message):
    make = [i32, i32, i32, i32, f64]
    args = [None if n is None else m([0] * n) for m, n in zip(make, lengths)]
    if message:
        with pytest.raises(TypeError, match=message):
            sdp.putbarablocktriplet_OOOOO_6(*args)
    else:
        assert sdp.putbarablocktriplet_OOOOO_6(*args) == (ERR_DUPLICATE, None)


def test_block_triplets_set_single_elements(sdp):
    assert sdp.putbaraij_iiOO_5(0, 0, i64([0]), f64([1.0])) == (OK, None)
    # set (1,1) to 7, remove (1,0) by a zero; (0,0) keeps its value
    assert sdp.putbarablocktriplet_OOOOO_6(i32([0, 0]), i32([0, 0]), i32([1, 0]), i32([1, 1]),
                                           f64([7.0, 0.0])) == (OK, None)
    trip, count = block_triplets(sdp, sdp.getbarablocktriplet_OOOOO_1, [np.int32] * 4 + [np.float64])
    assert trip == [(0, 0, 0, 0, 1.0), (0, 0, 1, 1, 7.0)] and count == 2
    assert sdp.putbarcblocktriplet_OOOO_5(i32([1, 1]), i32([2, 0]), i32([1, 0]), f64([3.0, -1.0])) == (OK, None)
    trip, _ = block_triplets(sdp, sdp.getbarcblocktriplet_OOOO_1, [np.int32] * 3 + [np.float64])
    assert trip == [(1, 0, 0, -1.0), (1, 2, 1, 3.0)]


# ---------------------------------------------------------------- barF

def test_barf_rows_round_trip(sdp):
    assert sdp.putafebarfrow_LOOOOO_7(2, i32([1, 0]), i64([1, 2]), i64([0, 1]), i64([2, 0, 1]),
                                      f64([3.0, 1.0, 1.0])) == (OK, None)
    assert sdp.getafebarfrowinfo_L_2(2) == (OK, (2, 3))
    assert sdp.getafebarfnumrowentries_L_2(2) == (OK, 2)
    out = [bytearray() for _ in range(5)]
    assert sdp.getafebarfrow_LOOOOO_2(2, *out) == (OK, None)
    barvar, ptr, num, termidx, weight = arrays(out, [np.int32, np.int64, np.int64, np.int64, np.float64])
    assert (barvar, ptr, num, termidx, weight) == ([0, 1], [0, 2], [2, 1], [0, 1, 2], [1.0, 1.0, 3.0])
    assert sdp.putafebarfentrylist_OOOOOO_7(i64([0, 2]), i32([1, 0]), i64([1, 1]), i64([0, 1]), i64([2, 1]),
                                            f64([1.0, 4.0])) == (OK, None)
    assert sdp.getafebarfrowinfo_L_2(2) == (OK, (2, 2))
    assert sdp.emptyafebarfrowlist_O_2(i64([2])) == (OK, None)
    assert sdp.getafebarfrowinfo_L_2(2) == (OK, (0, 0))
    assert sdp.putafebarfentry_LiOO_5(1, 1, i64([2]), f64([-1.0])) == (OK, None)
    trip, count = block_triplets(sdp, sdp.getafebarfblocktriplet_OOOOO_1, [np.int64] + [np.int32] * 3 + [np.float64])
    assert trip == [(0, 1, 0, 0, 1.0), (1, 1, 0, 0, -1.0)] and count == 2


def test_acc_rows_carry_their_afes_barf(sdp):
    assert sdp.putafebarfentry_LiOO_5(1, 0, i64([0]), f64([2.0])) == (OK, None)
    assert sdp.appendrdomain_L_2(3) == (OK, 0)
    assert sdp.appendacc_LOO_4(0, i64([2, 1, 1]), None) == (OK, None)
    assert sdp.getaccbarfnumblocktriplets__1() == (OK, 6)
    views = [np.zeros(6, dtype=t) for t in (np.int64, np.int32, np.int32, np.int32, np.float64)]
    assert sdp.getaccbarfblocktriplet_OOOOO_6(*map(memoryview, views)) == (OK, 6)
    rows = sorted(zip(*(v.tolist() for v in views)))
    assert rows == [(r, 0, k, l, v) for r in (1, 2) for k, l, v in [(0, 0, 2.0), (1, 0, 4.0), (1, 1, 6.0)]]


# ---------------------------------------------------------------- failures, removals, clones

@pytest.mark.parametrize("call, res", [
    (lambda t: t.appendbarvars_O_2(i32([2, 0])), ERR_DIMENSION),
    (lambda t: t.appendsparsesymmat_iOOO_5(2, i32([2]), i32([0]), f64([1.0])), ERR_INDEX),
    (lambda t: t.appendsparsesymmat_iOOO_5(2, i32([1, 0]), i32([0, 1]), f64([1.0, 1.0])), ERR_DUPLICATE),
    (lambda t: t.appendsparsesymmatlist_OOOOOO_6(i32([2, 2]), i64([1, 1]), i32([0, 0]), i32([0, 0]),
                                                 f64([1.0, np.inf]), bytearray()), ERR_INF_VALUE),
    (lambda t: t.putbarcj_iOO_4(0, i64([2]), f64([1.0])), ERR_DIMENSION),
    (lambda t: t.putbarcj_iOO_4(2, i64([0]), f64([1.0])), ERR_INDEX_BARVAR),
    (lambda t: t.putbaraij_iiOO_5(0, 0, i64([0, 3]), f64([1.0, 1.0])), ERR_INDEX_SYMMAT),
    (lambda t: t.putbaraijlist_OOOOOO_7(i32([0, 0]), i32([0, 0]), i64([0, 0]), i64([1, 1]), i64([0]), f64([1.0])),
     ERR_DUPLICATE),
    (lambda t: t.putbararowlist_OOOOOOO_8(i32([0]), i64([1]), i64([0]), i32([0]), i64([1]), i64([0]), f64([1.0])),
     ERR_INVALID_PTR),
    (lambda t: t.putbarcblocktriplet_OOOO_5(i32([0, 1]), i32([0, 3]), i32([0, 0]), f64([1.0, 1.0])), ERR_INDEX),
    (lambda t: t.putafebarfblocktriplet_OOOOO_6(i64([0, 0]), i32([0, 0]), i32([1, 0]), i32([0, 1]), f64([1.0, 2.0])),
     ERR_DUPLICATE),
    (lambda t: t.putafebarfrow_LOOOOO_7(0, i32([0, 0]), i64([1, 1]), i64([0, 1]), i64([0, 1]), f64([1.0, 1.0])),
     ERR_DUPLICATE),
    (lambda t: t.removebarvars_O_2(i32([0, 5])), ERR_INDEX_BARVAR),
])
def test_refusals_change_nothing(sdp, call, res):
    assert sdp.putbaraij_iiOO_5(1, 1, i64([2]), f64([1.0])) == (OK, None)
    assert sdp.putafebarfentry_LiOO_5(0, 0, i64([1]), f64([1.0])) == (OK, None)
    before = everything(sdp)
    assert call(sdp) == (res, None)
    assert everything(sdp) == before


def test_removals_renumber_every_part(sdp):
    assert sdp.appendbarvars_O_2(i32([2])) == (OK, None)  # variable 2, like variable 0
    assert sdp.putbarcj_iOO_4(2, i64([1]), f64([1.0])) == (OK, None)
    assert sdp.putbaraij_iiOO_5(0, 0, i64([0]), f64([1.0])) == (OK, None)
    assert sdp.putbaraij_iiOO_5(1, 2, i64([0]), f64([2.0])) == (OK, None)
    assert sdp.putafebarfentry_LiOO_5(2, 2, i64([1]), f64([3.0])) == (OK, None)
    assert sdp.putafebarfentry_LiOO_5(1, 1, i64([2]), f64([3.0])) == (OK, None)
    assert sdp.removebarvars_O_2(i32([1, 0])) == (OK, None)
    assert sdp.getnumbarvar__1() == (OK, 1) and sdp.getdimbarvarj_i_2(0) == (OK, 2)
    assert sdp.getbarcidxj_L_2(0) == (OK, 0) and sdp.getnumbaranz__1() == (OK, 1)
    assert sdp.getbaraidxij_L_2(0) == (OK, (1, 0))
    assert sdp.removecons_O_2(i32([0])) == (OK, None)
    assert sdp.getbaraidxij_L_2(0) == (OK, (0, 0))
    trip, _ = block_triplets(sdp, sdp.getafebarfblocktriplet_OOOOO_1, [np.int64] + [np.int32] * 3 + [np.float64])
    assert trip == [(2, 0, 1, 1, 15.0)]


def test_a_clone_holds_the_same_data(sdp):
    assert sdp.putbaraij_iiOO_5(1, 1, i64([2]), f64([1.0])) == (OK, None)
    assert sdp.putafebarfentry_LiOO_5(0, 0, i64([1, 0]), f64([1.0, 2.0])) == (OK, None)
    assert sdp.putbarvarname_is_3(1, "X") == (OK, None)
    clone = _vlt.Task(other=sdp)
    assert everything(clone) == everything(sdp)
    assert clone.getbarvarnameindex_s_2("X") == (OK, (1, 1))
    assert sdp.putbarcj_iOO_4(0, i64([0]), f64([1.0])) == (OK, None)
    assert clone.getnumbarcnz__1() == (OK, 0)
    clone.dispose()


# ---------------------------------------------------------------- solution values

def test_semidefinite_values_and_acc_duals_of_a_solution(sdp):
    assert sdp.appendrplusdomain_L_2(2) == (OK, 0)
    assert sdp.appendaccseq_LLO_4(0, 1, None) == (OK, None)
    rng = np.random.default_rng(7)
    barx = [rng.normal(size=3), rng.normal(size=6)]
    for j, x in enumerate(barx):
        assert sdp.putbarxj_iiO_4(ITR, j, f64(x)) == (OK, None)
        assert sdp.putbarsj_iiO_4(ITR, j, f64(2 * x)) == (OK, None)
    out = bytearray()
    assert sdp.getbarxj_iiO_3(ITR, 1, out) == (OK, None)
    assert np.frombuffer(out).tolist() == barx[1].tolist()
    whole = np.zeros(9)
    assert sdp.getbarsslice_iiiLO_6(ITR, 0, 2, 9, memoryview(whole)) == (OK, None)
    assert whole.tolist() == (2 * np.concatenate(barx)).tolist()
    assert sdp.getbarxslice_iiiLO_6(ITR, 0, 2, 10, f64(np.zeros(10))) == (OK, None)
    assert sdp.getbarxslice_iiiLO_6(ITR, 0, 2, 8, f64(np.zeros(8)))[0] == 1010  # too small for both
    keys = [i32([0, 0]), i32([]), i32([])]
    doty = f64([1.5, -2.0])
    assert sdp.putsolutionnew_iOOOOOOOOOOOO_14(ITR, *keys, *[None] * 8, doty) == (OK, None)
    bufs = [bytearray() for _ in range(12)]
    assert sdp.getsolutionnew_iOOOOOOOOOOOO_2(ITR, *bufs) == (OK, (0, 0))
    assert np.frombuffer(bufs[-1]).tolist() == [1.5, -2.0]
    assert sdp.getbarxj_iiO_3(ITR, 0, out) == (OK, None)  # kept by the whole put
    # the integer solution keeps no duals
    assert sdp.putbarsj_iiO_4(ITG, 0, f64([1.0, 2.0, 3.0])) == (OK, None)
    assert sdp.getbarsj_iiO_3(ITG, 0, out) == (OK, None) and np.frombuffer(out).tolist() == [0.0] * 3


def test_primal_objective_includes_the_semidefinite_term(sdp):
    assert sdp.putbarcj_iOO_4(0, i64([0]), f64([1.0])) == (OK, None)  # C = [[1,2],[2,3]]
    assert sdp.putbarxj_iiO_4(ITR, 0, f64([1.0, 0.5, 2.0])) == (OK, None)  # X = [[1,.5],[.5,2]]
    assert sdp.getprimalobj_i_2(ITR) == (OK, 1.0 + 2 * 2 * 0.5 + 3 * 2.0)


@pytest.mark.parametrize("method, args, calls_made", [
    ("getbarablocktriplet_OOOOO_1", (), ["getnumbarablocktriplets", "getbarablocktriplet"]),
    ("getbarcidx_LOO_2", (0,), ["getbarcidxinfo", "getbarcidx"]),
    ("getsparsesymmat_LOOO_2", (1,), ["getsymmatinfo", "getsparsesymmat"]),
    ("getbaraidx_LOO_2", (5,), ["getbaraidxinfo"]),  # a failed size query ends the method
])
def test_getters_query_their_count_once(sdp, env_log_path, calls, method, args, calls_made):
    assert sdp.putbarcj_iOO_4(0, i64([0]), f64([1.0])) == (OK, None)
    assert sdp.putbaraij_iiOO_5(0, 0, i64([0]), f64([1.0])) == (OK, None)
    buffers = [bytearray(b"keep") for _ in range(len(method.split("_")[1]) - len(args))]
    logged = len(calls(env_log_path))
    res, _ = getattr(sdp, method)(*args, *buffers)
    assert [line.split()[0][4:] for line in calls(env_log_path)[logged:]] == calls_made
    assert (res == OK) == (len(calls_made) == 2)
    assert all(b == b"keep" for b in buffers) == (res != OK)


def test_reports_describe_the_semidefinite_part(sdp):
    text = []
    sdp.set_Stream(1, text.append)
    assert sdp.putbaraij_iiOO_5(0, 1, i64([2]), f64([1.0])) == (OK, None)
    assert sdp.putbarvarname_is_3(0, "X") == (OK, None)
    assert sdp.putbarvarname_is_3(1, "X") == (OK, None)
    assert sdp.analyzeproblem_i_2(1) == (OK, None)
    assert sdp.analyzenames_ii_3(1, 0) == (OK, None)
    report = "".join(text)
    assert "Semidefinite variables : 2 (dimensions 2 to 3)" in report
    assert "objective 0, constraints 1, conic rows 0, range [1.0e+00, 1.0e+00]" in report
    assert "1 name is shared by 2 semidefinite variables" in report
