"""Property: a random task with every kind of item and hostile names reads
back equal from every format that can hold it, and a format that cannot hold
a part refuses to write it with ERR_WRITE_UNSUPPORTED.

`make test` runs a bounded number of examples (derandomized);
`make test-roundtrip-long` runs many more (VLT_ROUNDTRIP_EXAMPLES, random)."""
import os

import numpy as np
import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

import velto
from arrays import f64, i32, i64
from taskdata import PROBLEM_ONLY, assert_same, ok, reread, snapshot

Err = velto.ResponseCode
BK, DT, CT = velto.BoundKey, velto.DomainType, velto.ConeType
INF = np.inf
EXAMPLES = int(os.environ.get("VLT_ROUNDTRIP_EXAMPLES", "30"))
LONG = "VLT_ROUNDTRIP_EXAMPLES" in os.environ

RESERVED = ["VARIABLES", "CONSTRAINTS", "END", "NAME", "INT", "PTF", "SOLUTION", "NAMES", "OBJNAME", "AFES",
            "bounds", "end", "subject", "minimize", "inf", "-inf", "0", "1e5", "@", "@0", "#", "ENDATA", "RHS"]
names = st.one_of(st.sampled_from(RESERVED),
                  st.text(alphabet=st.sampled_from(list("aZ09_.-+#@ \t\"'\\:[]^*/<=>é日") + ["\n"]), max_size=6))
values = st.one_of(st.floats(-1e6, 1e6, allow_nan=False, allow_subnormal=False),
                   st.sampled_from([-0.0, 0.0, 1e-300, -1e29, 0.1, 1 / 3]))
nonzero = values.filter(lambda v: v != 0)


def bound(draw):
    key = draw(st.sampled_from(list(BK)))
    lo, width = draw(values), abs(draw(values))
    return key, {BK.FR: (-INF, INF), BK.LO: (lo, INF), BK.UP: (-INF, lo), BK.FX: (lo, lo),
                 BK.RA: (lo, lo + width)}[key]


# Domains: (kind, dimension, alpha) drawn for a number of AFEs.
def domain(draw):
    kind = draw(st.sampled_from([DT.R, DT.RZERO, DT.RPLUS, DT.RMINUS, DT.QUADRATIC_CONE, DT.RQUADRATIC_CONE,
                                 DT.PRIMAL_EXP_CONE, DT.DUAL_EXP_CONE, DT.PRIMAL_POWER_CONE, DT.DUAL_POWER_CONE,
                                 DT.SVEC_PSD_CONE, DT.PRIMAL_GEO_MEAN_CONE, DT.DUAL_GEO_MEAN_CONE]))
    if kind in (DT.PRIMAL_EXP_CONE, DT.DUAL_EXP_CONE):
        return kind, 3, None
    if kind == DT.SVEC_PSD_CONE:
        return kind, draw(st.sampled_from([1, 3, 6])), None
    if kind in (DT.PRIMAL_POWER_CONE, DT.DUAL_POWER_CONE):
        alpha = draw(st.lists(st.floats(0.1, 4.0), min_size=1, max_size=3))
        return kind, len(alpha) + draw(st.integers(0, 2)), alpha
    low = {DT.QUADRATIC_CONE: 1, DT.RQUADRATIC_CONE: 2, DT.PRIMAL_GEO_MEAN_CONE: 2, DT.DUAL_GEO_MEAN_CONE: 2}
    return kind, draw(st.integers(low.get(kind, 0), 4)), None


APPEND_DOMAIN = {DT.R: "appendrdomain_L_2", DT.RZERO: "appendrzerodomain_L_2", DT.RPLUS: "appendrplusdomain_L_2",
                 DT.RMINUS: "appendrminusdomain_L_2", DT.QUADRATIC_CONE: "appendquadraticconedomain_L_2",
                 DT.RQUADRATIC_CONE: "appendrquadraticconedomain_L_2", DT.SVEC_PSD_CONE: "appendsvecpsdconedomain_L_2",
                 DT.PRIMAL_GEO_MEAN_CONE: "appendprimalgeomeanconedomain_L_2",
                 DT.DUAL_GEO_MEAN_CONE: "appenddualgeomeanconedomain_L_2"}


def append_domain(t, kind, dim, alpha):
    if kind in (DT.PRIMAL_EXP_CONE, DT.DUAL_EXP_CONE):
        return ok((t.appendprimalexpconedomain__1 if kind == DT.PRIMAL_EXP_CONE else t.appenddualexpconedomain__1)())
    if kind in (DT.PRIMAL_POWER_CONE, DT.DUAL_POWER_CONE):
        power = t.appendprimalpowerconedomain_LO_3 if kind == DT.PRIMAL_POWER_CONE else t.appenddualpowerconedomain_LO_3
        return ok(power(dim, f64(alpha)))
    return ok(getattr(t, APPEND_DOMAIN[kind])(dim))


@st.composite
def task_recipes(draw):
    """A recipe of a task (plain data, so that hypothesis can shrink it)."""
    n, m = draw(st.integers(0, 5)), draw(st.integers(0, 4))
    s = {"n": n, "m": m, "sense": draw(st.sampled_from([0, 1])), "cfix": draw(values),
         "c": [draw(values) for _ in range(n)], "vars": [bound(draw) for _ in range(n)],
         "cons": [bound(draw) for _ in range(m)], "int": [draw(st.booleans()) for _ in range(n)]}
    pairs = st.tuples(st.integers(0, max(m - 1, 0)), st.integers(0, max(n - 1, 0)))
    s["A"] = draw(st.dictionaries(pairs, nonzero, max_size=8)) if n and m else {}
    lower = st.tuples(st.integers(0, max(n - 1, 0)), st.integers(0, max(n - 1, 0))).map(lambda p: (max(p), min(p)))
    s["Q"] = draw(st.dictionaries(lower, nonzero, max_size=4)) if n else {}
    s["Qc"] = draw(st.dictionaries(st.tuples(st.integers(0, max(m - 1, 0)), lower), nonzero, max_size=4)) if n and m else {}
    conic = draw(st.booleans())
    s["afes"] = draw(st.integers(1, 6)) if conic else 0
    s["F"] = draw(st.dictionaries(st.tuples(st.integers(0, max(s["afes"] - 1, 0)), st.integers(0, max(n - 1, 0))),
                                  nonzero, max_size=8)) if conic and n else {}
    s["g"] = [draw(values) for _ in range(s["afes"])]
    s["accs"] = []
    for _ in range(draw(st.integers(0, 3)) if conic else 0):
        kind, dim, alpha = domain(draw)
        rows = [draw(st.integers(0, s["afes"] - 1)) for _ in range(dim)]
        s["accs"].append((kind, dim, alpha, rows, [draw(values) for _ in range(dim)] if draw(st.booleans()) else None))
    s["djcs"] = []
    for _ in range(draw(st.integers(0, 2)) if conic else 0):
        terms = [[(draw(st.sampled_from([DT.R, DT.RZERO, DT.RPLUS, DT.RMINUS])), draw(st.integers(1, 2)))
                  for _ in range(draw(st.integers(1, 2)))] for _ in range(draw(st.integers(1, 3)))]
        size = sum(d for term in terms for _, d in term)
        s["djcs"].append((terms, [draw(st.integers(0, s["afes"] - 1)) for _ in range(size)],
                          [draw(values) for _ in range(size)]))
    free = list(range(n))          # cones on variables take distinct variables
    s["cones"] = []
    while draw(st.booleans()) and len(free) >= 3:
        kind = draw(st.sampled_from([CT.QUAD, CT.RQUAD, CT.PPOW, CT.DPOW, CT.PEXP, CT.DEXP]))
        s["cones"].append((kind, 0.3 if kind in (CT.PPOW, CT.DPOW) else 0.0, free[:3]))
        free = free[3:]
    s["barvars"] = draw(st.lists(st.integers(1, 3), max_size=2))
    s["bar"] = []
    for j, dim in enumerate(s["barvars"]):
        entries = draw(st.dictionaries(st.tuples(st.integers(0, dim - 1), st.integers(0, dim - 1)).map(
            lambda p: (max(p), min(p))), nonzero, min_size=1, max_size=3))
        where = draw(st.sampled_from(["c"] + (["a"] if m else []) + (["f"] if s["afes"] else [])))
        row = draw(st.integers(0, max((m if where == "a" else s["afes"]) - 1, 0)))
        s["bar"].append((where, row, j, dim, entries, draw(nonzero)))
    s["names"] = draw(st.booleans())
    count = n + m + len(s["accs"]) * 2 + len(s["djcs"]) + len(s["cones"]) + len(s["barvars"]) + 2
    s["name_list"] = [draw(names) for _ in range(count)]
    return s


def build(s, with_names):
    t = velto.Task(None)
    n, m = s["n"], s["m"]
    ok(t.appendvars_i_2(n))
    ok(t.appendcons_i_2(m))
    ok(t.putobjsense_i_2(s["sense"]))
    ok(t.putcfix_d_2(s["cfix"]))
    for j, (key, (lo, up)) in enumerate(s["vars"]):
        ok(t.putvarbound_iidd_5(j, key, lo, up))
        ok(t.putcj_id_3(j, s["c"][j]))
        if s["int"][j]:
            ok(t.putvartype_ii_3(j, velto.VariableType.INT))
    for i, (key, (lo, up)) in enumerate(s["cons"]):
        ok(t.putconbound_iidd_5(i, key, lo, up))
    for (i, j), v in s["A"].items():
        ok(t.putaij_iid_4(i, j, v))
    if s["Q"]:
        ok(t.putqobj_OOO_4(i32([i for i, _ in s["Q"]]), i32([j for _, j in s["Q"]]), f64(list(s["Q"].values()))))
    for k in sorted({k for k, _ in s["Qc"]}):
        terms = {ij: v for (kk, ij), v in s["Qc"].items() if kk == k}
        ok(t.putqconk_iOOO_5(k, i32([i for i, _ in terms]), i32([j for _, j in terms]), f64(list(terms.values()))))
    if s["afes"]:
        ok(t.appendafes_L_2(s["afes"]))
        for (r, j), v in s["F"].items():
            ok(t.putafefentry_Lid_4(r, j, v))
        ok(t.putafegslice_LLO_4(0, s["afes"], f64(s["g"])))
    for kind, dim, alpha, rows, b in s["accs"]:
        ok(t.appendacc_LOO_4(append_domain(t, kind, dim, alpha), i64(rows), None if b is None else f64(b)))
    if s["djcs"]:
        ok(t.appenddjcs_L_2(len(s["djcs"])))
    for k, (terms, afes, b) in enumerate(s["djcs"]):
        doms = [append_domain(t, kind, dim, None) for term in terms for kind, dim in term]
        ok(t.putdjc_LOOOO_6(k, i64(doms), i64(afes), f64(b), i64([len(term) for term in terms])))
    for kind, par, members in s["cones"]:
        ok(t.appendcone_idO_4(kind, par, i32(members)))
    if s["barvars"]:
        ok(t.appendbarvars_O_2(i32(s["barvars"])))
    for where, row, j, dim, entries, weight in s["bar"]:
        mat = ok(t.appendsparsesymmat_iOOO_5(dim, i32([i for i, _ in entries]), i32([k for _, k in entries]),
                                             f64(list(entries.values()))))
        if where == "c":
            ok(t.putbarcj_iOO_4(j, i64([mat]), f64([weight])))
        elif where == "a":
            ok(t.putbaraij_iiOO_5(row, j, i64([mat]), f64([weight])))
        else:
            ok(t.putafebarfentry_LiOO_5(row, j, i64([mat]), f64([weight])))
    if with_names and s["names"]:
        given = iter(s["name_list"])
        for count, put in ((n, t.putvarname_is_3), (m, t.putconname_is_3), (len(s["accs"]), t.putaccname_Ls_3),
                           (ok(t.getnumdomain__1()), t.putdomainname_Ls_3), (len(s["djcs"]), t.putdjcname_Ls_3),
                           (len(s["cones"]), t.putconename_is_3), (len(s["barvars"]), t.putbarvarname_is_3)):
            for k in range(count):
                ok(put(k, next(given, "")))
        ok(t.puttaskname_s_2(next(given, "")))
        ok(t.putobjname_s_2(next(given, "")))
    return t


def holds(ext, t):
    """Whether a format can hold the task (the others must refuse)."""
    conic = any(ok(f()) for f in (t.getnumafe__1, t.getnumdomain__1, t.getnumacc__1, t.getnumdjc__1,
                                  t.getnumcone__1, t.getnumbarvar__1))
    if ext == "lp":
        return not conic
    if ext == "mps":
        return not ok(t.getnumdjc__1()) and not ok(t.getnumbarvar__1())
    return True


# Formats that keep names as given; the others make up names of their own
# (MPS, LP), so they get the task without names.
KEEPS_NAMES = ("ptf", "opf", "jtask", "task")


# CBF restates a task (an expression per conic row, bounds as rows), so it
# is compared by what it keeps, below, not item by item.
@pytest.mark.parametrize("ext", ["ptf", "opf", "jtask", "task", "lp", "mps"])
@settings(max_examples=EXAMPLES, deadline=None, derandomize=not LONG, database=None,
          suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large,
                                 HealthCheck.function_scoped_fixture])
@given(recipe=task_recipes())
def test_random_tasks_read_back_equal_or_are_refused(tmp_path, ext, recipe):
    t, path = build(recipe, ext in KEEPS_NAMES), tmp_path / ("t." + ext)
    if not holds(ext, t):
        assert t.writedata_s_2(str(path))[0] == Err.ERR_WRITE_UNSUPPORTED, (ext, t.getlasterror())
        return
    u = reread(t, path)
    assert_same(snapshot(t, **PROBLEM_ONLY), snapshot(u, **PROBLEM_ONLY), skip=() if ext in KEEPS_NAMES else ("names",))


def outcome(t):
    """The answer of a solve, the status it reaches and, when optimal, its objective."""
    code = t.optimizetrm__1()[0]
    integer = any(ok(t.getvartype_i_2(j)) == velto.VariableType.INT for j in range(ok(t.getnumvar__1())))
    which = velto.SolutionType.ITG if integer else velto.SolutionType.ITR
    status = t.getsolsta_i_2(which)[1]
    optimal = status in (velto.SolutionStatus.OPTIMAL, velto.SolutionStatus.INTEGER_OPTIMAL)
    return code, status, ok(t.getprimalobj_i_2(which)) if optimal else None


LINEAR_ONLY = dict(Q={}, Qc={}, afes=0, F={}, g=[], accs=[], djcs=[], cones=[], barvars=[], bar=[])


# A linear task (integer variables too) written to CBF and read back solves
# to the same status and, when optimal, the same objective.
@settings(max_examples=max(EXAMPLES // 2, 5), deadline=None, derandomize=not LONG, database=None,
          suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large,
                                 HealthCheck.function_scoped_fixture])
@given(recipe=task_recipes())
def test_random_linear_tasks_solve_alike_after_cbf(tmp_path, recipe):
    t = build(dict(recipe, **LINEAR_ONLY), False)
    u = reread(t, tmp_path / "t.cbf")
    (code_t, status_t, obj_t), (code_u, status_u, obj_u) = outcome(t), outcome(u)
    assert (code_u, status_u) == (code_t, status_t)
    assert obj_u == pytest.approx(obj_t, rel=1e-6, abs=1e-6)


# Any task either reads back from CBF and writes the same file again, or is
# refused as unsupported (disjunctive constraints, non-convex quadratic terms).
@settings(max_examples=EXAMPLES, deadline=None, derandomize=not LONG, database=None,
          suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large,
                                 HealthCheck.function_scoped_fixture])
@given(recipe=task_recipes())
def test_random_tasks_reach_a_fixed_cbf_form_or_are_refused(tmp_path, recipe):
    t = build(recipe, False)
    first = tmp_path / "a.cbf"
    ok(t.putintparam_ii_3(velto.IParam.WRITE_PRECISION, 17))
    code = t.writedata_s_2(str(first))[0]
    if code != 0:
        assert code == Err.ERR_WRITE_UNSUPPORTED, t.getlasterror()
        assert ok(t.getnumdjc__1()) or recipe["Q"] or recipe["Qc"], t.getlasterror()
        return
    u = reread(t, first)
    second = tmp_path / "b.cbf"
    v = reread(u, second)
    third = tmp_path / "c.cbf"
    reread(v, third)
    assert third.read_text() == second.read_text()
