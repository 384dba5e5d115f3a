"""Solution values through the generated Task methods and the library's solutions."""
import math

import numpy as np
import pytest

import _vlt

from arrays import f64, i32

ITR, BAS, ITG = 0, 1, 2
M, N = 3, 4
KIND = {"skc": "con", "skx": "var", "xc": "con", "xx": "var", "y": "con", "slc": "con", "suc": "con",
        "slx": "var", "sux": "var", "snx": "var"}
KEYS = ["skc", "skx"]
VALUES = ["xc", "xx", "y", "slc", "suc", "slx", "sux", "snx"]  # in solution-item order
DUALS = VALUES[2:]
SIZE = {"con": M, "var": N}
QUERY = {"con": "VLT_getnumcon", "var": "VLT_getnumvar"}
LO, UP, RA = 0, 1, 4  # bound keys


def random_vector(name, n, seed):
    rng = np.random.default_rng(seed)
    if name in KEYS:
        return rng.integers(0, 7, n).astype(np.int32)
    return rng.uniform(-5, 5, n)


def sized(task):
    assert task.appendcons_i_2(M) == task.appendvars_i_2(N) == (0, None)
    return task


def read(task, name, sol):
    """A whole vector through both getter variants, which must agree."""
    n = (task.getnumcon__1() if KIND[name] == "con" else task.getnumvar__1())[1]
    out = np.zeros(n, np.int32 if name in KEYS else np.float64)
    raw = bytearray(b"junk")
    assert getattr(task, f"get{name}_iO_3")(sol, memoryview(out)) == (0, None)
    assert getattr(task, f"get{name}_iO_2")(sol, raw) == (0, None)
    assert raw == out.tobytes()
    return out


def read_slice(task, name, sol, first, last):
    out = np.zeros(last - first, np.int32 if name in KEYS else np.float64)
    raw = bytearray()
    assert getattr(task, f"get{name}slice_iiiO_5")(sol, first, last, memoryview(out)) == (0, None)
    assert getattr(task, f"get{name}slice_iiiO_4")(sol, first, last, raw) == (0, None)
    assert raw == out.tobytes()
    if name in VALUES:
        item, raw = VALUES.index(name), bytearray()
        both = np.zeros(last - first)
        assert task.getsolutionslice_iiiiO_6(sol, item, first, last, memoryview(both)) == (0, None)
        assert task.getsolutionslice_iiiiO_5(sol, item, first, last, raw) == (0, None)
        assert both.tolist() == out.tolist() and raw == out.tobytes()
    return out


def names(calls, path, before):
    return [line.split()[0] for line in calls(path)[before:]]


@pytest.mark.parametrize("sol", [ITR, BAS])
@pytest.mark.parametrize("name", KEYS + VALUES)
def test_vector_and_slice_round_trip(task, name, sol):
    sized(task)
    n = SIZE[KIND[name]]
    whole = random_vector(name, n, len(name) + sol)
    view = i32 if name in KEYS else f64
    assert getattr(task, f"put{name}_iO_3")(sol, view(whole)) == (0, None)
    assert read(task, name, sol).tolist() == whole.tolist()

    part = random_vector(name, n - 2, 7 * sol + 1)
    assert getattr(task, f"put{name}slice_iiiO_5")(sol, 1, n - 1, view(part)) == (0, None)
    whole[1:n - 1] = part
    assert read_slice(task, name, sol, 1, n - 1).tolist() == part.tolist()
    assert read(task, name, sol).tolist() == whole.tolist()
    # Nothing spilled into the other solutions.
    assert task.solutiondef_i_2(1 - sol) == (0, 0)


def test_putxc_bytearray_variant_keeps_leading_bytes(task):
    sized(task)
    raw = bytearray(np.array([1.5, -2.0, 3.25, 99.0]).tobytes())  # one double too many: cut
    assert task.putxc_iO_2(BAS, raw) == (0, None)
    assert len(raw) == 8 * M
    assert read(task, "xc", BAS).tolist() == [1.5, -2.0, 3.25]


def test_whole_solution_put_and_null_parts_keep(task, env_log_path, calls):
    sized(task)
    vec = {name: random_vector(name, SIZE[KIND[name]], k) for k, name in enumerate(KEYS + VALUES)}
    args = [i32(vec["skc"]), i32(vec["skx"]), None] + [f64(vec[v]) for v in VALUES]
    assert task.putsolution_iOOOOOOOOOOO_13(ITR, *args) == (0, None)
    for name in KEYS + VALUES:
        assert read(task, name, ITR).tolist() == vec[name].tolist()

    # Only xx given: the rest of the solution stays as it was.
    vec["xx"] = np.array([4.0, 3.0, 2.0, 1.0])
    before = len(calls(env_log_path))
    assert task.putsolution_iOOOOOOOOOOO_13(ITR, None, None, None, None, f64(vec["xx"]), *[None] * 6) == (0, None)
    # A part given is checked against its count first; parts left None are not.
    assert names(calls, env_log_path, before) == ["VLT_getnumvar", "VLT_putsolution"]
    assert task.putsolution_iOOOOOOOOOOO_13(ITR, *[None] * 11) == (0, None)
    assert calls(env_log_path)[-1].count("=null") == 11
    for name in KEYS + VALUES:
        assert read(task, name, ITR).tolist() == vec[name].tolist()


@pytest.mark.parametrize("sol", [ITR, BAS])
def test_single_item_putters(task, sol):
    sized(task)
    assert task.putconsolutioni_iiiddd_7(2, sol, 4, 1.5, 2.5, 3.5) == (0, None)
    assert task.putvarsolutionj_iiidddd_8(1, sol, 3, -1.0, -2.0, -3.0, -4.0) == (0, None)
    assert task.putsolutionyi_iid_4(0, sol, 7.0) == (0, None)
    assert read(task, "skc", sol).tolist() == [0, 0, 4]
    assert [read(task, v, sol).tolist() for v in ("xc", "slc", "suc", "y")] == [
        [0, 0, 1.5], [0, 0, 2.5], [0, 0, 3.5], [7.0, 0, 0]]
    assert read(task, "skx", sol).tolist() == [0, 3, 0, 0]
    assert [read(task, v, sol)[1] for v in ("xx", "slx", "sux", "snx")] == [-1.0, -2.0, -3.0, -4.0]
    assert (task.getsolsta_i_2(sol), task.getprosta_i_2(sol)) == ((0, 0), (0, 0))


def test_integer_solution_has_no_duals(task):
    sized(task)
    vec = {name: random_vector(name, SIZE[KIND[name]], 3) + 1.0 for name in VALUES}
    args = [i32([1] * M), i32([2] * N), None] + [f64(vec[v]) for v in VALUES]
    assert task.putsolution_iOOOOOOOOOOO_13(ITG, *args) == (0, None)
    assert task.putconsolutioni_iiiddd_7(0, ITG, 1, 5.0, 6.0, 7.0) == (0, None)
    assert task.putvarsolutionj_iiidddd_8(1, ITG, 1, 8.0, 6.0, 7.0, 9.0) == (0, None)
    assert task.putsolutionyi_iid_4(2, ITG, 4.0) == task.puty_iO_3(ITG, f64([1.0] * M)) == (0, None)
    assert task.putsnxslice_iiiO_5(ITG, 0, 2, f64([1.0, 2.0])) == (0, None)
    vec["xc"][0], vec["xx"][1] = 5.0, 8.0
    for name in ("xc", "xx"):
        assert read(task, name, ITG).tolist() == vec[name].tolist()
    for name in DUALS:
        assert read(task, name, ITG).tolist() == [0.0] * SIZE[KIND[name]]
        assert not read_slice(task, name, ITG, 0, 2).any()
    assert task.getdualobj_i_2(ITG) == task.getprimalobj_i_2(ITG)


@pytest.mark.parametrize("kind", ["con", "var"])
def test_solution_follows_the_problem_size(task, kind):
    sized(task)
    key, value = ("skc", "slc") if kind == "con" else ("skx", "sux")
    n = SIZE[kind]
    keys, values = np.arange(1, n + 1, dtype=np.int32) % 7, np.arange(1.0, n + 1)
    assert getattr(task, f"put{key}_iO_3")(BAS, i32(keys)) == getattr(task, f"put{value}_iO_3")(BAS, f64(values))
    assert getattr(task, f"append{kind}s_i_2")(2) == (0, None)
    assert read(task, key, BAS).tolist() == keys.tolist() + [0, 0]  # new items: unknown
    assert read(task, value, BAS).tolist() == values.tolist() + [0.0, 0.0]
    assert getattr(task, f"remove{kind}s_O_2")(i32([n + 1, n, n - 1])) == (0, None)
    assert read(task, value, BAS).tolist() == values[:n - 1].tolist()


@pytest.mark.parametrize("getter", ["get", "put"])
@pytest.mark.parametrize("name", KEYS + VALUES)
def test_size_queries(task, env_log_path, calls, name, getter):
    sized(task)
    n = SIZE[KIND[name]]
    view = (i32 if name in KEYS else f64)([1] * n)
    assert getattr(task, f"put{name}_iO_3")(ITR, view) == (0, None)
    variants = [view] if getter == "put" else [view, bytearray()]
    for arg in variants:
        suffix = "_iO_3" if isinstance(arg, memoryview) else "_iO_2"
        before = len(calls(env_log_path))
        assert getattr(task, f"{getter}{name}{suffix}")(ITR, arg) == (0, None)
        assert names(calls, env_log_path, before) == [QUERY[KIND[name]], f"VLT_{getter}{name}"]
    before = len(calls(env_log_path))
    assert getattr(task, f"{getter}{name}slice_iiiO_5")(ITR, 1, 2, (i32 if name in KEYS else f64)([0])) == (0, None)
    assert names(calls, env_log_path, before) == [f"VLT_{getter}{name}slice"]


def queries_until_failure(lines, queries, main):
    """The call log of a method that asks `queries` one by one: each query,
    until one fails; then the main call when all succeeded.  Returns the
    response code that the method must report."""
    for k, query in enumerate(queries):
        assert lines[k].split()[0] == query
        code = int(lines[k].rsplit(" ", 1)[1])
        if code != 0:
            assert len(lines) == k + 1
            return code
    assert [line.split()[0] for line in lines] == queries + [main]
    return int(lines[-1].rsplit(" ", 1)[1])


WHOLE_QUERIES = ["VLT_getnumcon", "VLT_getnumvar", "VLT_getnumcone"] + [QUERY[KIND[v]] for v in VALUES]


@pytest.mark.parametrize("method, args, queries, main", [
    ("getsolution_iOOOOOOOOOOO_13", [i32([0] * M), i32([0] * N), i32([])] + [None] * 8, WHOLE_QUERIES,
     "VLT_getsolution"),
    ("getsolution_iOOOOOOOOOOO_2", [bytearray() for _ in range(11)], WHOLE_QUERIES, "VLT_getsolution"),
    ("getsolutionnew_iOOOOOOOOOOOO_14", [i32([0] * M), i32([0] * N), i32([])] + [None] * 9,
     WHOLE_QUERIES + ["VLT_getaccntot"], "VLT_getsolutionnew"),
    ("getsolutionnew_iOOOOOOOOOOOO_2", [bytearray() for _ in range(12)], WHOLE_QUERIES + ["VLT_getaccntot"],
     "VLT_getsolutionnew"),
    ("getskn_iO_3", [i32([])], ["VLT_getnumcone"], "VLT_getskn"),
    ("getskn_iO_2", [bytearray()], ["VLT_getnumcone"], "VLT_getskn"),
    ("getbarxj_iiO_4", [0, None], ["VLT_getlenbarvarj"], "VLT_getbarxj"),
    ("getbarsj_iiO_3", [0, bytearray()], ["VLT_getlenbarvarj"], "VLT_getbarsj"),
    ("putbarxj_iiO_4", [0, None], ["VLT_getlenbarvarj"], "VLT_putbarxj"),
    ("putbarsj_iiO_4", [0, None], ["VLT_getlenbarvarj"], "VLT_putbarsj"),
])
def test_query_sequences_stop_at_the_first_failure(task, env_log_path, calls, method, args, queries, main):
    sized(task)
    assert task.putsolution_iOOOOOOOOOOO_13(ITR, *[None] * 11) == (0, None)
    before = len(calls(env_log_path))
    result = getattr(task, method)(ITR, *args)
    code = queries_until_failure(calls(env_log_path)[before:], queries, main)
    if code == 0 and main.startswith("VLT_getsolution"):
        assert result == (0, (0, 0))  # unknown statuses of a solution put by the caller
    else:
        assert result == (code, None)


def test_semidefinite_slices_are_checked_against_slicesize(task, env_log_path, calls):
    before = len(calls(env_log_path))
    with pytest.raises(TypeError, match="^Array is too short in argument barxslice$"):
        task.getbarxslice_iiiLO_6(ITR, 0, 2, 3, f64([0, 0]))
    assert len(calls(env_log_path)) == before
    task.getbarxslice_iiiLO_6(ITR, 0, 2, 3, f64([0, 0, 0]))
    assert calls(env_log_path)[-1].startswith("VLT_getbarxslice ")
    raw = bytearray(b"x")
    task.getbarsslice_iiiLO_5(ITR, 0, 2, 5, raw)
    assert len(raw) == 40 and " slicesize=5 " in calls(env_log_path)[-1]
    task.getbarsslice_iiiLO_5(ITR, 0, 2, -5, raw)
    assert len(raw) == 0 and " slicesize=-5 " in calls(env_log_path)[-1]


@pytest.mark.parametrize("call, message, logged", [
    (lambda t: t.getskc_iO_3(ITR, None), "Expected a memoryview object for argument skc", ["VLT_getnumcon"]),
    (lambda t: t.getxc_iO_3(ITR, f64([0] * (M + 1))), "Array is too short in argument xc", ["VLT_getnumcon"]),
    (lambda t: t.getskx_iO_3(ITR, i32([0] * (N - 1))), "Argument skx is too short", ["VLT_getnumvar"]),
    (lambda t: t.getskc_iO_2(ITR, [0] * M), "Bytearray object for argument skc", []),
    (lambda t: t.getsnx_iO_2(ITR, [0] * N), "Bytearray object for argument snx", ["VLT_getnumvar"]),
    (lambda t: t.getskcslice_iiiO_5(ITR, 0, 1, None), "Expected a memoryview object for argument skc", []),
    (lambda t: t.getyslice_iiiO_5(ITR, 0, 2, f64([0])), "Array is too short in argument y", []),
    (lambda t: t.putsnx_iO_3(ITR, [0.0] * N), "Expected a memoryview object for argument snx", []),
    (lambda t: t.putsux_iO_3(ITR, f64([0] * 2 * N)[::2]), "Expected a continuous memoryview object for argument sux",
     []),
    (lambda t: t.putskx_iO_3(ITR, None), "Expected a memoryview object for argument skx", ["VLT_getnumvar"]),
    (lambda t: t.putskcslice_iiiO_5(ITR, 0, 2, i32([0] * 3)), "Argument skc is too short", []),
    (lambda t: t.putxc_iO_2(ITR, f64([0] * M)), "Bytearray object for argument xc", ["VLT_getnumcon"]),
    (lambda t: t.getsolutionslice_iiiiO_6(ITR, 0, 0, 2, f64([0])), "Array is too short in argument values", []),
])
def test_argument_errors(task, env_log_path, calls, call, message, logged):
    sized(task)
    before = len(calls(env_log_path))
    with pytest.raises(TypeError, match=f"^{message}$"):
        call(task)
    assert names(calls, env_log_path, before) == logged


def test_failed_size_query_comes_before_the_bytearray_check(env):
    task = _vlt.Task(env)
    task.dispose()
    assert task.getxc_iO_2(ITR, [1.0]) == (1002, None)  # the null task's code, no TypeError


def solution_state(task):
    state = [task.solutiondef_i_2(s) for s in (ITR, BAS, ITG)]
    return state + [read(task, v, ITR).tolist() for v in ("skc", "skx", "xc", "xx", "y")]


NAN, INF = math.nan, math.inf


@pytest.mark.parametrize("call, res, message", [
    (lambda t, s: t.puty_iO_3(s, f64([1, NAN, 3])), 1302, "Argument y[1] is NaN"),
    (lambda t, s: t.putxxslice_iiiO_5(s, 1, 3, f64([1, INF])), 1303, "Argument xx[1] = inf is not finite"),
    (lambda t, s: t.putskcslice_iiiO_5(s, 0, 2, i32([1, 9])), 1307,
     "Argument skc[1] = 9 is not a status key (expected 0 to 6)"),
    (lambda t, s: t.putsolution_iOOOOOOOOOOO_13(s, i32([1] * M), None, None, None, f64([0, 0, 0, NAN]),
                                                *[None] * 6), 1302, "Argument xx[3] is NaN"),
    (lambda t, s: t.putxx_iO_3(s, None), 1005, "Argument xx is a null pointer but numvar = 4"),
    (lambda t, s: t.putslcslice_iiiO_5(s, 1, 3, None), 1005, "Argument slc is a null pointer but last - first = 2"),
    (lambda t, s: t.putconsolutioni_iiiddd_7(M, s, 1, 0, 0, 0), 1201,
     "Argument i = 3 is not a valid constraint index (numcon = 3)"),
    (lambda t, s: t.putvarsolutionj_iiidddd_8(0, s, 7, 0, 0, 0, 0), 1307,
     "Argument sk = 7 is not a status key (expected 0 to 6)"),
    (lambda t, s: t.putvarsolutionj_iiidddd_8(0, s, 1, 0, NAN, 0, 0), 1302, "Argument sl is NaN"),
    (lambda t, s: t.putsolutionyi_iid_4(-1, s, 1.0), 1201,
     "Argument i = -1 is not a valid constraint index (numcon = 3)"),
    (lambda t, s: t.putsnxslice_iiiO_5(s, 3, 5, f64([0, 0])), 1210,
     "Arguments first = 3, last = 5 do not give a variable slice within [0, numvar = 4]"),
    (lambda t, s: t.getxcslice_iiiO_4(s, 2, 1, bytearray(b"x")), 1210,
     "Arguments first = 2, last = 1 do not give a constraint slice within [0, numcon = 3]"),
    (lambda t, s: t.getsolutionslice_iiiiO_6(s, 8, 0, 1, None), 1308,
     "Argument solitem = 8 is not a solution item (expected 0 to 7)"),
    (lambda t, s: t.getsolsta_i_2(s + 3), 1306,
     lambda s: f"Argument whichsol = {s + 3} is not a solution selector (expected 0 to 2)"),
    (lambda t, s: t.deletesolution_i_2(-1 - s), 1306,
     lambda s: f"Argument whichsol = {-1 - s} is not a solution selector (expected 0 to 2)"),
])
@pytest.mark.parametrize("sol", [ITR, BAS])
def test_library_refusals_name_the_argument_and_change_nothing(task, call, res, message, sol):
    sized(task)
    assert task.putsolution_iOOOOOOOOOOO_13(ITR, i32([1, 2, 3]), i32([4, 5, 6, 0]), None,
                                            *[f64(random_vector(v, SIZE[KIND[v]], 5)) for v in VALUES]) == (0, None)
    before = solution_state(task)
    assert call(task, sol) == (res, None)
    assert task.getlasterror() == (res, message(sol) if callable(message) else message)
    assert solution_state(task) == before


@pytest.mark.parametrize("call", [
    lambda t, s: t.getxx_iO_3(s, None),
    lambda t, s: t.getskcslice_iiiO_4(s, 0, 1, bytearray()),
    lambda t, s: t.getsolsta_i_2(s),
    lambda t, s: t.getprimalobj_i_2(s),
])
@pytest.mark.parametrize("sol, label", [(ITR, "interior-point"), (BAS, "basic"), (ITG, "integer")])
def test_undefined_and_deleted_solutions(task, call, sol, label):
    sized(task)
    assert call(task, sol) == (1600, None)
    assert task.getlasterror() == (1600, f"The {label} solution (whichsol = {sol}) is not defined")
    assert task.putsolutionyi_iid_4(0, sol, 1.0) == (0, None)
    assert task.solutiondef_i_2(sol) == (0, 1) and call(task, sol)[0] == 0
    assert task.deletesolution_i_2(sol) == (0, None)
    assert task.solutiondef_i_2(sol) == (0, 0) and call(task, sol) == (1600, None)


# Two small linear problems with a known optimal primal-dual pair:
#   min x0 + 2 x1 + 3   s.t. 1 <= x0 + x1 <= 5, 0 <= x0 <= 10, x1 >= 0   -> x = (1, 0), y = 1
#   min -x0 - 1         s.t. x0 + x1 <= 4, 0 <= x0 <= 3, x1 >= 0         -> x = (3, 0), y = 0
LPS = [
    dict(c=[1.0, 2.0], cfix=3.0, con=(RA, 1.0, 5.0), var=[(RA, 0.0, 10.0), (LO, 0.0, INF)],
         xx=[1.0, 0.0], xc=[1.0], y=[1.0], slc=[1.0], suc=[0.0], slx=[0.0, 1.0], sux=[0.0, 0.0], obj=4.0),
    dict(c=[-1.0, 0.0], cfix=-1.0, con=(UP, -INF, 4.0), var=[(RA, 0.0, 3.0), (LO, 0.0, INF)],
         xx=[3.0, 0.0], xc=[3.0], y=[0.0], slc=[0.0], suc=[0.0], slx=[0.0, 0.0], sux=[1.0, 0.0], obj=-4.0),
]


@pytest.mark.parametrize("lp", LPS)
def test_objective_values_of_an_optimal_pair(task, lp):
    assert task.appendcons_i_2(1) == task.appendvars_i_2(2) == (0, None)
    for j, cj in enumerate(lp["c"]):
        assert task.putcj_id_3(j, cj) == task.putaij_iid_4(0, j, 1.0) == (0, None)
        assert task.putvarbound_iidd_5(j, *lp["var"][j]) == (0, None)
    assert task.putcfix_d_2(lp["cfix"]) == task.putconbound_iidd_5(0, *lp["con"]) == (0, None)
    values = [f64(lp[v]) for v in VALUES[:-1]] + [f64([0.0, 0.0])]
    assert task.putsolution_iOOOOOOOOOOO_13(BAS, i32([1]), i32([1, 3]), None, *values) == (0, None)
    assert task.getprimalobj_i_2(BAS) == (0, pytest.approx(lp["obj"]))
    assert task.getdualobj_i_2(BAS) == (0, pytest.approx(lp["obj"]))
    # A clone carries the solution; a changed objective changes the primal value.
    clone = _vlt.Task(None, 0, 0, task)
    try:
        assert clone.getdualobj_i_2(BAS) == (0, pytest.approx(lp["obj"]))
        assert clone.putcfix_d_2(lp["cfix"] + 10) == (0, None)
        assert clone.getprimalobj_i_2(BAS) == (0, pytest.approx(lp["obj"] + 10))
        assert task.getprimalobj_i_2(BAS) == (0, pytest.approx(lp["obj"]))
    finally:
        clone.dispose()


@pytest.mark.parametrize("method, position, message", [
    ("putsolution_iOOOOOOOOOOO_13", 0, "Argument skc is too short"),
    ("putsolution_iOOOOOOOOOOO_13", 4, "Array is too short in argument xx"),
    ("putsolution_iOOOOOOOOOOO_13", 10, "Array is too short in argument snx"),
    ("putsolutionnew_iOOOOOOOOOOOO_14", 11, "Array is too short in argument doty"),
])
def test_whole_solution_put_refuses_a_short_part_and_keeps_the_solution(task, method, position, message):
    # A part shorter than its count would let the library read past the
    # caller's buffer; longer parts are read as far as the count.
    sized(task)
    assert task.appendafes_L_2(2) == (0, None)
    assert task.appendaccseq_LLO_4(task.appendrplusdomain_L_2(2)[1], 0, None) == (0, None)
    counts = [M, N, 0] + [SIZE[KIND[v]] for v in VALUES] + [2]
    parts = [i32(np.arange(c + 1) % 3) if k < 3 else f64(np.arange(c + 1.0)) for k, c in enumerate(counts)]
    count = 11 if method.startswith("putsolution_") else 12
    assert getattr(task, method)(ITR, *parts[:count]) == (0, None)
    before = [read(task, name, ITR).tolist() for name in KEYS + VALUES]
    short = list(parts[:count])
    short[position] = (i32 if position < 3 else f64)(np.zeros(counts[position] - 1))
    with pytest.raises(TypeError, match=message):
        getattr(task, method)(ITR, *short)
    assert [read(task, name, ITR).tolist() for name in KEYS + VALUES] == before
