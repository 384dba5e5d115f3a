"""Tasks for the file tests: a random task holding every kind of data the
library stores, and a snapshot of everything a task reports through its
getters, so that two tasks can be compared bit for bit (bytes) or within a
tolerance (arrays)."""
import os
import pathlib

import numpy as np
import pytest

import velto
from arrays import f64, i32, i64

DATA = pathlib.Path(os.environ.get("VELTO_DATA_DIR") or
                    pathlib.Path(__file__).resolve().parents[3] / "shared" / "data")


def shared_files(*patterns):
    """The shared instances matching patterns (relative to the data folder),
    as pytest parameters; without the folder a skip, or an error in CI."""
    if not DATA.is_dir():
        if os.environ.get("CI") == "true":
            raise RuntimeError(f"shared data not found in {DATA}")
        return [pytest.param(None, marks=pytest.mark.skip(reason=f"shared data not found in {DATA}"))]
    paths = sorted(p for pattern in patterns for p in DATA.glob(pattern))
    return [pytest.param(p, id=f"{p.parent.name}/{p.name}") for p in paths]

PARAM_TYPES = ((velto.IParam, "getintparam_i_2"), (velto.DParam, "getdouparam_i_2"))


def ok(result):
    res, value = result
    assert res == 0, result
    return value


PROBLEM_ONLY = dict(with_params=False, with_solutions=False, row_order=True)


def reread(t, path):
    """t written to path with every bit of its numbers, read into a new task."""
    ok(t.putintparam_ii_3(velto.IParam.WRITE_PRECISION, 17))
    assert t.writedata_s_2(str(path))[0] == 0, t.getlasterror()
    u = velto.Task(None)
    assert u.readdataautoformat_s_2(str(path))[0] == 0, (u.getlasterror(), path.read_bytes()[:2000])
    return u


def _bytes(method, *args):
    """The bytearray outputs of a getter: those of its 'O' arguments that the
    caller did not give."""
    fmt = method.__name__.split("_")[1]
    out = [bytearray() for _ in range(len(fmt) - len(args))]
    ok(method(*args, *out))
    return [bytes(b) for b in out]


def sorted_columns(ptrb, ptre, sub, val):
    """Column slice arrays with each column's entries in row order (row-wise
    formats give that order)."""
    b, e = np.frombuffer(ptrb, np.int64), np.frombuffer(ptre, np.int64)
    rows, vals = np.frombuffer(sub, np.int32).copy(), np.frombuffer(val, np.float64).copy()
    for k in range(len(b)):
        order = np.argsort(rows[b[k]:e[k]], kind="stable") + b[k]
        rows[b[k]:e[k]], vals[b[k]:e[k]] = rows[order], vals[order]
    return [ptrb, ptre, rows.tobytes(), vals.tobytes()]


def sorted_terms(subi, subj, val):
    """Quadratic terms in (i, j) order."""
    i, j, v = np.frombuffer(subi, np.int32), np.frombuffer(subj, np.int32), np.frombuffer(val, np.float64)
    order = np.lexsort((j, i))
    return [i[order].tobytes(), j[order].tobytes(), v[order].tobytes()]


def snapshot(task, with_params=True, with_solutions=True, row_order=False):
    """Everything the task reports, as a dict of comparable values: bytes for
    arrays (exact comparison), plain numbers and strings otherwise.  With
    row_order the entries of each column, and quadratic terms, are compared
    in index order (the order a row-wise format gives them).""" 
    t = task
    m, n = ok(t.getnumcon__1()), ok(t.getnumvar__1())
    s = {"numcon": m, "numvar": n, "sense": ok(t.getobjsense__1()),
         "cfix": np.float64(ok(t.getcfix__1())).tobytes()}
    tol = bytearray()
    ok(t.getatruncatetol_O_1(tol))
    s["tol"] = bytes(tol)
    s["conbounds"] = _bytes(t.getconboundslice_iiOOO_3, 0, m)
    s["varbounds"] = _bytes(t.getvarboundslice_iiOOO_3, 0, n)
    s["c"] = _bytes(t.getcslice_iiO_3, 0, n)
    s["vartype"] = _bytes(t.getvartypelist_OO_2, i32(range(n)))
    s["A"] = _bytes(t.getacolslice64_iiOOOO_3, 0, n)
    s["qobj"] = _bytes(t.getqobj64_OOO_1)
    s["qcon"] = [_bytes(t.getqconk64_iOOO_2, k) for k in range(m) if ok(t.getnumqconknz64_i_2(k))]
    if row_order:
        s["A"] = sorted_columns(*s["A"])
        s["qobj"] = sorted_terms(*s["qobj"])
        s["qcon"] = [sorted_terms(*q) for q in s["qcon"]]
    numafe = ok(t.getnumafe__1())
    s["F"] = [_bytes(t.getafefrow_LOO_2, r) for r in range(numafe)]
    s["g"] = _bytes(t.getafegslice_LLO_3, 0, numafe)
    numdom = ok(t.getnumdomain__1())
    s["domains"] = [(ok(t.getdomaintype_L_2(d)), ok(t.getdomainn_L_2(d))) for d in range(numdom)]
    s["alpha"] = [_bytes(t.getpowerdomainalpha_LO_2, d) for d in range(numdom)
                  if s["domains"][d][0] in (velto.DomainType.PRIMAL_POWER_CONE, velto.DomainType.DUAL_POWER_CONE)]
    s["accs"] = _bytes(t.getaccs_OOO_1)
    s["djcs"] = _bytes(t.getdjcs_OOOOO_1)
    s["cones"] = [(ok(t.getconeinfo_i_2(k)), _bytes(t.getcone_iO_2, k)) for k in range(ok(t.getnumcone__1()))]
    numbarvar = ok(t.getnumbarvar__1())
    s["barvars"] = [ok(t.getdimbarvarj_i_2(j)) for j in range(numbarvar)]
    s["symmats"] = [(ok(t.getsymmatinfo_L_2(k)), _bytes(t.getsparsesymmat_LOOO_2, k))
                    for k in range(ok(t.getnumsymmat__1()))]
    s["barc"] = [bar_entry(t.getbarcidx_LOO_2, k) for k in range(ok(t.getnumbarcnz__1()))]
    s["bara"] = [bar_entry(t.getbaraidx_LOO_2, k) for k in range(ok(t.getnumbaranz__1()))]
    s["barf"] = [_bytes(t.getafebarfrow_LOOOOO_2, r) for r in range(numafe)]
    s["names"] = [name(t.gettaskname_O_1), name(t.getobjname_O_1),
                  [name(t.getconname_iO_2, i) for i in range(m)],
                  [name(t.getvarname_iO_2, j) for j in range(n)],
                  [name(t.getdomainname_LO_2, d) for d in range(numdom)],
                  [name(t.getaccname_LO_2, a) for a in range(ok(t.getnumacc__1()))],
                  [name(t.getdjcname_LO_2, k) for k in range(ok(t.getnumdjc__1()))],
                  [name(t.getconename_iO_2, k) for k in range(ok(t.getnumcone__1()))],
                  [name(t.getbarvarname_iO_2, j) for j in range(numbarvar)]]
    if with_params:
        s["params"] = [ok(getattr(t, getter)(p)) for enum, getter in PARAM_TYPES for p in enum]
        s["dparams"] = [np.float64(ok(t.getdouparam_i_2(p))).tobytes() for p in velto.DParam]
        s["sparams"] = [name(t.getstrparam_iO_2, p) for p in velto.SParam]
    if with_solutions:
        s["solutions"] = {}
        for sol in (velto.SolutionType.ITR, velto.SolutionType.BAS, velto.SolutionType.ITG):
            if ok(t.solutiondef_i_2(sol)):
                out = [bytearray() for _ in range(11)]
                statuses = ok(t.getsolution_iOOOOOOOOOOO_2(sol, *out))
                s["solutions"][int(sol)] = (statuses, [bytes(b) for b in out], _bytes(t.getaccdotys_iO_2, sol),
                                            [_bytes(t.getbarxj_iiO_3, sol, j) + _bytes(t.getbarsj_iiO_3, sol, j)
                                             for j in range(numbarvar)],
                                            np.float64(ok(t.getprimalobj_i_2(sol))).tobytes(),
                                            np.float64(ok(t.getdualobj_i_2(sol))).tobytes())
    return s


def bar_entry(getter, k):
    sub, weights = bytearray(), bytearray()
    head = ok(getter(k, sub, weights))
    return head, bytes(sub), bytes(weights)


def name(getter, *args):
    out = bytearray()
    ok(getter(*args, out))
    return bytes(out)


def name_everything(t):
    """Names every constraint, domain, ACC and cone that has no name yet (formats
    that identify items by name give the others generic names)."""
    for count, get, put, prefix in ((t.getnumdjc__1, t.getdjcname_LO_2, t.putdjcname_Ls_3, "djc"),
                                    (t.getnumcon__1, t.getconname_iO_2, t.putconname_is_3, "row"),
                                    (t.getnumvar__1, t.getvarname_iO_2, t.putvarname_is_3, "col"),
                                    (t.getnumdomain__1, t.getdomainname_LO_2, t.putdomainname_Ls_3, "dom"),
                                    (t.getnumacc__1, t.getaccname_LO_2, t.putaccname_Ls_3, "acc"),
                                    (t.getnumcone__1, t.getconename_iO_2, t.putconename_is_3, "cone")):
        for k in range(ok(count())):
            if name(get, k) == b"\0":
                ok(put(k, "%s%d" % (prefix, k)))
    if name(t.getobjname_O_1) == b"\0":
        ok(t.putobjname_s_2("objective"))
    return t


def random_task(seed, m=6, n=8, conic=True, names=True, solutions=True, params=True, semidefinite=None):
    """A task with every kind of data: bounds of every key, integers, matrix,
    quadratic objective and constraint terms, AFEs, domains of every kind,
    ACCs with b, cones on variables, semidefinite variables and their terms
    (with conic unless told), names, parameters and solutions (n >= 7)."""
    rng = np.random.default_rng(seed)
    t = velto.Task(None)
    ok(t.appendcons_i_2(m))
    ok(t.appendvars_i_2(n))
    ok(t.putobjsense_i_2(int(rng.integers(2))))
    ok(t.putcfix_d_2(float(rng.normal())))
    ok(t.putcslice_iiO_4(0, n, f64(rng.normal(size=n) * 10.0 ** rng.integers(-12, 12, size=n))))
    for item, count, put in ((0, m, t.putconbound_iidd_5), (1, n, t.putvarbound_iidd_5)):
        for i in range(count):
            bk = int(rng.integers(5))
            lo = float(rng.normal())
            put(i, bk, lo, lo if bk == velto.BoundKey.FX else lo + abs(float(rng.normal())))
    types = rng.integers(2, size=n)
    ok(t.putvartypelist_OO_3(i32(range(n)), i32(types)))
    for j in range(n):
        rows = rng.permutation(m)[: rng.integers(m + 1)]
        ok(t.putacol_iOO_4(j, i32(rows), f64(rng.normal(size=len(rows)))))
    ok(t.putqobj_OOO_4(i32([0, 1, 1, n - 1]), i32([0, 0, 1, 2]), f64([2.0, 0.5, 1.0 / 3, -1e-300])))
    ok(t.putqconk_iOOO_5(1, i32([2, 3]), i32([2, 1]), f64([1.5, np.pi])))
    ok(t.putqconk_iOOO_5(m - 1, i32([0]), i32([0]), f64([4.0])))
    if conic:
        numafe = 9
        ok(t.appendafes_L_2(numafe))
        for r in range(numafe):
            cols = rng.permutation(n)[: rng.integers(n)]
            ok(t.putafefrow_LOO_4(r, i32(cols), f64(rng.normal(size=len(cols)))))
        ok(t.putafegslice_LLO_4(0, numafe, f64(rng.normal(size=numafe))))
        doms = [ok(t.appendquadraticconedomain_L_2(3)), ok(t.appendrquadraticconedomain_L_2(3)),
                ok(t.appendprimalexpconedomain__1()), ok(t.appendrplusdomain_L_2(2)),
                ok(t.appendprimalpowerconedomain_LO_3(3, f64([0.25, 0.5]))), ok(t.appendrzerodomain_L_2(1)),
                ok(t.appenddualpowerconedomain_LO_3(3, f64([1.0]))), ok(t.appenddualexpconedomain__1())]
        ok(t.appendacc_LOO_4(doms[0], i64([0, 1, 2]), f64([0.5, -1.0, 0.0])))
        ok(t.appendacc_LOO_4(doms[1], i64([3, 4, 5]), None))
        ok(t.appendacc_LOO_4(doms[4], i64([6, 7, 8]), f64([1.0, 2.0, 3.0])))
        ok(t.appendacc_LOO_4(doms[3], i64([0, 0]), None))      # an AFE twice
        ok(t.appenddjcs_L_2(2))
        # x in R+ (AFEs 3, 4) or both AFEs zero;  AFE 5 <= 0
        ok(t.putdjc_LOOOO_6(0, i64([doms[3], doms[5], doms[5]]), i64([3, 4, 3, 4]), f64([0.5, 0, 0, 1]), i64([1, 2])))
        ok(t.putdjc_LOOOO_6(1, i64([doms[5]]), i64([5]), None, i64([1])))
        ok(t.appendcone_idO_4(velto.ConeType.QUAD, 0.0, i32([n - 1, 0, 2])))
        ok(t.appendcone_idO_4(velto.ConeType.PPOW, 0.3, i32([3, 4, 5])))
        if names:
            ok(t.putconename_is_3(1, "power cone"))
            ok(t.putdomainname_Ls_3(doms[2], "exp domain"))
            ok(t.putaccname_Ls_3(1, "acc [1]"))
            ok(t.putdjcname_Ls_3(1, "either"))
    if conic if semidefinite is None else semidefinite:
        ok(t.appendbarvars_O_2(i32([2, 3])))
        a = ok(t.appendsparsesymmat_iOOO_5(2, i32([0, 1]), i32([0, 0]), f64([1.0, 0.5])))
        b = ok(t.appendsparsesymmat_iOOO_5(3, i32([2, 1, 2]), i32([2, 0, 0]), f64([1.0 / 3, -2.0, 0.0])))
        ok(t.appendsparsesymmat_iOOO_5(3, i32([]), i32([]), f64([])))      # an empty matrix
        ok(t.putbarcj_iOO_4(1, i64([b, b]), f64([0.5, 0.25])))
        ok(t.putbaraij_iiOO_5(m - 1, 0, i64([a]), f64([-1.0])))
        ok(t.putbaraij_iiOO_5(0, 1, i64([b]), f64([2.0])))
        if conic:
            ok(t.putafebarfentry_LiOO_5(2, 1, i64([b]), f64([1.5])))
    if names:
        ok(t.puttaskname_s_2("random task %d" % seed))
        if ok(t.getnumbarvar__1()):
            ok(t.putbarvarname_is_3(0, "X"))
        ok(t.putobjname_s_2("cost"))
        for i in range(0, m, 2):
            ok(t.putconname_is_3(i, "c%d" % i))
        for j in range(n):
            ok(t.putvarname_is_3(j, "x_%d_é" % j))
    if params:
        ok(t.putintparam_ii_3(velto.IParam.LOG, 3))
        ok(t.putdouparam_id_3(velto.DParam.OPTIMIZER_MAX_TIME, 12.5))
        ok(t.putstrparam_is_3(velto.SParam.STAT_NAME, "a \"quoted\" name"))
    if solutions:
        k = ok(t.getnumcone__1())
        for sol in (velto.SolutionType.ITR, velto.SolutionType.ITG):
            keys = [i32(rng.integers(7, size=size)) for size in (m, n, k)]
            values = [f64(rng.normal(size=size)) for size in (m, n, m, m, m, n, n, n)]
            ok(t.putsolution_iOOOOOOOOOOO_13(sol, *keys, *values))
            for j in range(ok(t.getnumbarvar__1())):
                length = ok(t.getlenbarvarj_i_2(j))
                ok(t.putbarxj_iiO_4(sol, j, f64(rng.normal(size=length))))
                ok(t.putbarsj_iiO_4(sol, j, f64(rng.normal(size=length))))
            if conic:
                ok(t.putaccdoty_iLO_4(sol, 2, f64(rng.normal(size=3))))
    return t


SEMIDEFINITE = ("barvars", "symmats", "barc", "bara", "barf")  # the snapshot parts of semidefinite data


def assert_same(a, b, skip=()):
    """Two snapshots are equal, part by part (the first differing part is named)."""
    for key in a:
        if key not in skip:
            assert a[key] == b[key], key
