"""Cones on variables through the generated Task methods: round trips, the
calls and counts they pass to the library, and failures that change nothing."""
import numpy as np
import pytest

from arrays import f64, i32

N = 8
OK, ERR_NULL_POINTER, ERR_NEGATIVE_COUNT = 0, 1005, 1012
ERR_INDEX_VAR, ERR_INDEX_CONE, ERR_DUPLICATE_INDEX, ERR_INVALID_CONE = 1202, 1203, 1211, 1311
CT_QUAD, CT_RQUAD, CT_PEXP, CT_PPOW, CT_ZERO = 0, 1, 2, 4, 6


@pytest.fixture
def vtask(task):
    assert task.appendvars_i_2(N) == (0, None)
    return task


def cones(task):
    """Every cone as (ct, conepar, members), read through both getcone variants."""
    res, num = task.getnumcone__1()
    assert res == 0
    out = []
    for k in range(num):
        res, (ct, par, n) = task.getconeinfo_i_2(k)
        assert res == 0 and isinstance(par, float)
        assert task.getnumconemem_i_2(k) == (0, n)
        view = np.full(n, -1, np.int32)
        assert task.getcone_iO_3(k, memoryview(view)) == (0, (ct, par, n))
        raw = bytearray(b"stale bytes")
        assert task.getcone_iO_2(k, raw) == (0, (ct, par, n))
        assert bytes(raw) == view.tobytes()
        out.append((ct, par, view.tolist()))
    return out


def log_of(calls, path, name):
    return [line for line in calls(path) if line.startswith("VLT_" + name + " ")]


def test_round_trip_of_appends(vtask):
    t = vtask
    assert t.appendcone_idO_4(CT_QUAD, 0.0, i32([5, 0, 2])) == (0, None)
    assert t.appendconeseq_idii_5(CT_RQUAD, 0.25, 2, 6) == (0, None)
    assert cones(t) == [(CT_QUAD, 0.0, [5, 0, 2]), (CT_RQUAD, 0.25, [6, 7])]
    # A list over 1, 2, 3: variable 2 belongs to cone 0, so nothing is appended.
    assert t.appendconesseq_OOOi_5(i32([CT_ZERO, CT_QUAD]), f64([0.0, 0.0]), i32([1, 2]), 1) == (ERR_INVALID_CONE, None)
    assert t.getnumcone__1() == (0, 2)


def test_cones_of_consecutive_variables_and_replacement(vtask):
    t = vtask
    assert t.appendconesseq_OOOi_5(i32([CT_ZERO, CT_PPOW]), f64([0.0, 0.3]), i32([1, 3]), 2) == (0, None)
    assert t.appendcone_idO_4(CT_QUAD, 0.0, i32([7, 0, 1])) == (0, None)
    assert cones(t) == [(CT_ZERO, 0.0, [2]), (CT_PPOW, 0.3, [3, 4, 5]), (CT_QUAD, 0.0, [7, 0, 1])]
    assert t.putcone_iidO_5(1, CT_RQUAD, 1.5, i32([5, 6])) == (0, None)
    assert t.removecones_O_2(i32([0, 0])) == (0, None)
    assert cones(t) == [(CT_RQUAD, 1.5, [5, 6]), (CT_QUAD, 0.0, [7, 0, 1])]
    # The freed variables 2..4 may now join a cone.
    assert t.appendconeseq_idii_5(CT_PEXP, 0.0, 3, 2) == (0, None)
    assert cones(t)[-1] == (CT_PEXP, 0.0, [2, 3, 4])
    assert t.removecones_O_2(None) == (0, None)
    assert t.getnumcone__1() == (0, 3)


def test_capacity(vtask):
    t = vtask
    assert t.getmaxnumcone__1() == (0, 0)
    assert t.putmaxnumcone_i_2(12) == (0, None)
    assert t.getmaxnumcone__1() == (0, 12)
    assert t.putmaxnumcone_i_2(-1) == (ERR_NEGATIVE_COUNT, None)
    assert t.getmaxnumcone__1() == (0, 12)


FAILING = [
    ("unknown type", lambda t: t.appendcone_idO_4(9, 0.0, i32([6, 7])), ERR_INVALID_CONE),
    ("rotated cone of one member", lambda t: t.appendcone_idO_4(CT_RQUAD, 0.0, i32([6])), ERR_INVALID_CONE),
    ("no members", lambda t: t.appendcone_idO_4(CT_QUAD, 0.0, None), ERR_INVALID_CONE),
    ("member twice", lambda t: t.appendcone_idO_4(CT_QUAD, 0.0, i32([6, 7, 6])), ERR_DUPLICATE_INDEX),
    ("member of another cone", lambda t: t.appendcone_idO_4(CT_QUAD, 0.0, i32([6, 1])), ERR_INVALID_CONE),
    ("member out of range", lambda t: t.appendcone_idO_4(CT_QUAD, 0.0, i32([6, N])), ERR_INDEX_VAR),
    ("sequence past the end", lambda t: t.appendconeseq_idii_5(CT_QUAD, 0.0, 3, N - 2), ERR_INDEX_VAR),
    ("power weight out of range", lambda t: t.appendconeseq_idii_5(CT_PPOW, 1.0, 2, 6), ERR_INVALID_CONE),
    ("second cone of a list invalid",
     lambda t: t.appendconesseq_OOOi_5(i32([CT_QUAD, CT_RQUAD]), f64([0, 0]), i32([1, 1]), 6), ERR_INVALID_CONE),
    ("list with null types", lambda t: t.appendconesseq_OOOi_5(None, f64([0.0]), i32([2]), 6), ERR_NULL_POINTER),
    ("put on a missing cone", lambda t: t.putcone_iidO_5(1, CT_QUAD, 0.0, i32([6])), ERR_INDEX_CONE),
    ("remove a missing cone", lambda t: t.removecones_O_2(i32([0, 1])), ERR_INDEX_CONE),
    ("remove a member variable", lambda t: t.removevars_O_2(i32([6, 2])), ERR_INVALID_CONE),
    ("info of a missing cone", lambda t: t.getconeinfo_i_2(1), ERR_INDEX_CONE),
    ("member count of a missing cone", lambda t: t.getnumconemem_i_2(-1), ERR_INDEX_CONE),
]


@pytest.mark.parametrize("what,call,code", FAILING, ids=[c[0] for c in FAILING])
def test_refused_calls_change_nothing(vtask, what, call, code):
    t = vtask
    assert t.appendcone_idO_4(CT_QUAD, 0.5, i32([1, 2, 3])) == (0, None)
    before = cones(t), t.getnumvar__1()
    assert call(t) == (code, None)
    assert (cones(t), t.getnumvar__1()) == before


def test_removing_other_variables_renumbers_members(vtask):
    t = vtask
    assert t.appendcone_idO_4(CT_QUAD, 0.0, i32([6, 2, 4])) == (0, None)
    assert t.removevars_O_2(i32([0, 3, 5])) == (0, None)
    assert cones(t) == [(CT_QUAD, 0.0, [3, 1, 2])]


def test_members_pass_with_their_count(vtask, calls, env_log_path):
    t = vtask
    assert t.appendcone_idO_4(CT_QUAD, 0.0, None) == (ERR_INVALID_CONE, None)
    assert t.appendcone_idO_4(CT_QUAD, 0.0, i32([])) == (ERR_INVALID_CONE, None)
    assert t.appendcone_idO_4(CT_QUAD, 0.0, i32([4, 5])) == (0, None)
    lines = log_of(calls, env_log_path, "appendcone")
    assert [line.split(" nummem=")[1] for line in lines] == [
        "0 submem=null -> 1311", "0 submem=ptr -> 1311", "2 submem=ptr -> 0"]
    assert t.putcone_iidO_5(0, CT_QUAD, 0.0, i32([4, 5, 6])) == (0, None)
    assert t.removecones_O_2(i32([0])) == (0, None)
    assert log_of(calls, env_log_path, "putcone")[-1].endswith("nummem=3 submem=ptr -> 0")
    assert log_of(calls, env_log_path, "removecones")[-1].endswith("num=1 subset=ptr -> 0")


def test_list_of_cones_takes_its_count_from_the_first_present_array(vtask, calls, env_log_path):
    t = vtask
    assert t.appendconesseq_OOOi_5(None, f64([0, 0, 0]), i32([1, 1, 1]), 0) == (ERR_NULL_POINTER, None)
    assert log_of(calls, env_log_path, "appendconesseq")[-1].split(" task=")[1].split(" ", 1)[1] == \
        "num=3 ct=null conepar=ptr nummem=ptr j=0 -> 1005"
    before = len(calls(env_log_path))
    with pytest.raises(TypeError, match="^Mismatching lengths of arguments ct,conepar,nummem$"):
        t.appendconesseq_OOOi_5(None, f64([0, 0, 0]), i32([1, 1]), 0)
    with pytest.raises(TypeError, match="^Expected a continuous memoryview object for argument ct$"):
        t.appendconesseq_OOOi_5(memoryview(np.zeros(2, np.int64)), None, None, 0)
    assert len(calls(env_log_path)) == before
    assert t.appendconesseq_OOOi_5(None, None, None, 0) == (0, None)
    assert log_of(calls, env_log_path, "appendconesseq")[-1].endswith("num=0 ct=null conepar=null nummem=null j=0 -> 0")


def test_getcone_asks_the_member_count_first(vtask, calls, env_log_path):
    t = vtask
    assert t.appendcone_idO_4(CT_RQUAD, 2.0, i32([3, 1, 7])) == (0, None)
    assert t.getcone_iO_3(0, None) == (0, (CT_RQUAD, 2.0, 3))
    lines = [line for line in calls(env_log_path) if "cone" in line][-2:]
    assert lines[0].startswith("VLT_getconeinfo ") and lines[0].endswith("-> 0")
    assert lines[1].startswith("VLT_getcone ") and " submem=null -> 0" in lines[1]
    for length in (2, 4):
        with pytest.raises(TypeError, match="^Array is too short in argument submem$"):
            t.getcone_iO_3(0, memoryview(np.zeros(length, np.int32)))
    infos = len(log_of(calls, env_log_path, "getconeinfo"))
    assert infos == 3  # one per getcone_iO_3 call, also when the count check fails
    # A width error is found when parsing: nothing is called.
    with pytest.raises(TypeError, match="^Expected a continuous memoryview object for argument submem$"):
        t.getcone_iO_3(0, memoryview(np.zeros(3, np.int64)))
    assert len(log_of(calls, env_log_path, "getconeinfo")) == infos
    # The bytearray variant asks first, then checks the type.
    with pytest.raises(TypeError, match="^Bytearray object for argument submem$"):
        t.getcone_iO_2(0, None)
    assert len(log_of(calls, env_log_path, "getconeinfo")) == infos + 1
    assert len(log_of(calls, env_log_path, "getcone")) == 1


def test_getcone_of_a_missing_cone_checks_nothing_more(vtask):
    t = vtask
    raw = bytearray(b"keep")
    assert t.getcone_iO_2(3, raw) == (ERR_INDEX_CONE, None)
    assert raw == bytearray(b"keep")
    assert t.getcone_iO_3(3, memoryview(np.zeros(9, np.int32))) == (ERR_INDEX_CONE, None)


def test_solution_vectors_of_cones_follow_the_cone_count(vtask):
    t = vtask
    assert t.appendconeseq_idii_5(CT_QUAD, 0.0, 2, 0) == (0, None)
    assert t.appendconeseq_idii_5(CT_QUAD, 0.0, 2, 2) == (0, None)
    assert t.putxx_iO_3(0, f64(np.arange(N, dtype=float))) == (0, None)
    skn = bytearray()
    assert t.getskn_iO_2(0, skn) == (0, None)
    assert len(skn) == 2 * 4
    with pytest.raises(TypeError, match="^Argument skn is too short$"):
        t.getskn_iO_3(0, memoryview(np.zeros(3, np.int32)))
