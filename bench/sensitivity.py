"""Sensitivity analysis and infeasibility analysis beside HiGHS, from the same
files, in one run.

Ranging: on Netlib instances solved by each to an optimal basis, the time of
the library's primal and dual sensitivity of every finite bound and every
objective coefficient against highspy's getRanging (which ranges the same
items), and how many objective-coefficient ranges agree (when both chose
the same basis; a degenerate problem may have several optimal bases, whose
ranges differ legitimately).

Infeasibility: on the infeasible Netlib set, the size (bound sides) and time
of the library's irreducible infeasible subsystem against highspy's getIis
(its irreducible strategy) when this HiGHS has it.

    PYTHONPATH=build/pkg python3 bench/sensitivity.py [--data DIR] [names...]
"""
from __future__ import annotations

import argparse
import os
import pathlib
import time

import numpy as np

import _vlt

DEFAULT = ["afiro", "sc50a", "sc50b", "sc105", "share2b", "blend", "kb2", "recipe", "scagr7", "stocfor1", "israel",
           "brandy", "e226", "agg", "capri", "etamacro", "grow7", "sctap1", "scsd6", "ship04s", "grow22"]
LO, UP, FX, RA = 0, 1, 2, 4
BAS = 1
IPAR_OPTIMIZER, DUAL_SIMPLEX, IPAR_LOG = 67, 4, 26


def data_dir(given):
    return pathlib.Path(given or os.environ.get("VELTO_DATA_DIR") or
                        pathlib.Path(__file__).resolve().parents[2] / "shared" / "data")


def ours(path):
    env = _vlt.Env()
    t = _vlt.Task(env)
    t.readdataautoformat_s_2(str(path))
    t.putintparam_ii_3(IPAR_OPTIMIZER, DUAL_SIMPLEX)
    t.optimizetrm__1()
    if t.getsolsta_i_2(BAS) != (0, 1):
        return None
    m, n = t.getnumcon__1()[1], t.getnumvar__1()[1]
    items = {True: [], False: []}
    for con, count in ((True, m), (False, n)):
        keys = np.zeros(count, np.int32)
        lo, up = np.zeros(count), np.zeros(count)
        (t.getconboundslice_iiOOO_6 if con else t.getvarboundslice_iiOOO_6)(0, count, memoryview(keys),
                                                                            memoryview(lo), memoryview(up))
        for i, k in enumerate(keys):
            if k in (LO, FX, RA):
                items[con].append((i, 0))
            if k in (UP, RA):
                items[con].append((i, 1))
    arr = lambda xs: memoryview(np.array(xs, np.int32))
    outs = [bytearray() for _ in range(8)]
    start = time.perf_counter()
    res_p, _ = t.primalsensitivity_OOOOOOOOOOOO_5(arr([i for i, _ in items[True]]), arr([k for _, k in items[True]]),
                                                  arr([j for j, _ in items[False]]), arr([k for _, k in items[False]]),
                                                  *outs)
    cost = [bytearray() for _ in range(4)]
    res_d, _ = t.dualsensitivity_OOOOO_2(arr(range(n)), *cost)
    elapsed = time.perf_counter() - start
    c = np.zeros(n)
    t.getc_O_2(memoryview(c))
    lr, rr = (np.frombuffer(bytes(cost[k])) for k in (2, 3))
    skc, skx = bytearray(), bytearray()
    t.getskc_iO_2(BAS, skc)
    t.getskx_iO_2(BAS, skx)
    basic = np.r_[np.frombuffer(bytes(skc), np.int32), np.frombuffer(bytes(skx), np.int32)] == 1
    return {"time": elapsed, "ok": res_p == res_d == 0, "items": len(items[True]) + len(items[False]) + n,
            "cost_lo": c + lr, "cost_hi": c + rr, "basic": basic}


def highs(path):
    import highspy
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    h.readModel(str(path))
    h.run()
    if h.getModelStatus() != highspy.HighsModelStatus.kOptimal:
        return None
    start = time.perf_counter()
    status, ranging = h.getRanging()
    elapsed = time.perf_counter() - start
    basis = h.getBasis()
    basic = np.array([s == highspy.HighsBasisStatus.kBasic for s in list(basis.row_status) + list(basis.col_status)])
    n = h.getNumCol()  # the cost ranges hold the columns, then the rows' slacks
    return {"time": elapsed, "cost_lo": np.array(ranging.col_cost_dn.value_[:n]),
            "cost_hi": np.array(ranging.col_cost_up.value_[:n]), "basic": basic}


def close(a, b):
    both_inf = np.isinf(a) & np.isinf(b) & (np.sign(a) == np.sign(b))
    with np.errstate(invalid="ignore"):
        return both_inf | (np.abs(a - b) <= 1e-6 * np.maximum(1.0, np.abs(b)))


def ranging(folder, names):
    print(f"{'instance':10} {'items':>6} {'ours s':>9} {'HiGHS s':>9} {'ratio':>7}  same basis  cost ranges agreeing")
    ratios = []
    for name in names:
        path = next(iter(sorted(folder.glob(f"{name}.mps*"))), None)
        if path is None:
            continue
        a, b = ours(path), highs(path)
        if not a or not b or not a["ok"]:
            print(f"{name:10} not solved to an optimal basis by both")
            continue
        same = bool((a["basic"] == b["basic"]).all())
        agree = int((close(a["cost_lo"], b["cost_lo"]) & close(a["cost_hi"], b["cost_hi"])).sum()) if same else None
        ratio = a["time"] / max(b["time"], 1e-9)
        ratios.append(ratio)
        agreeing = f"{agree}/{len(a['cost_lo'])}" if same else "-"
        print(f"{name:10} {a['items']:6d} {a['time']:9.4f} {b['time']:9.4f} {ratio:7.1f}  {str(same):10}  {agreeing}")
    if ratios:
        print(f"geometric mean of the time ratios (ours / HiGHS): {np.exp(np.mean(np.log(ratios))):.2f}")


def infeasibility(folder):
    import highspy
    has_iis = hasattr(highspy.Highs, "getIis")
    print(f"\n{'instance':10} {'IIS bounds':>10} {'ours s':>8}   {'HiGHS IIS bounds':>16}   HiGHS s")
    for path in sorted(folder.glob("*.mps*")):
        env = _vlt.Env()
        t = _vlt.Task(env)
        t.readdataautoformat_s_2(str(path))
        t.putintparam_ii_3(IPAR_OPTIMIZER, DUAL_SIMPLEX)
        t.putintparam_ii_3(IPAR_LOG, 0)
        t.optimizetrm__1()
        start = time.perf_counter()
        res, sub = t.getinfeasiblesubproblem_i_2(BAS)
        elapsed = time.perf_counter() - start
        size = "failed"
        if res == 0:
            count = 0
            for con, n in ((True, sub.getnumcon__1()[1]), (False, sub.getnumvar__1()[1])):
                keys = np.zeros(n, np.int32)
                (sub.getconboundslice_iiOOO_6 if con else sub.getvarboundslice_iiOOO_6)(0, n, memoryview(keys),
                                                                                      None, None)
                count += int(np.isin(keys, [LO, UP]).sum() + 2 * np.isin(keys, [FX, RA]).sum())
            size = str(count)
        peer = peer_time = "-"
        if has_iis:
            h = highspy.Highs()
            h.setOptionValue("output_flag", False)
            h.setOptionValue("iis_strategy", 2)  # its irreducible system (the default only looks at a ray)
            h.readModel(str(path))
            h.run()
            start = time.perf_counter()
            status, iis = h.getIis()
            peer_time = f"{time.perf_counter() - start:.3f}"
            # Bound sides, counted as here: lower or upper one, boxed two.
            sides = {2: 1, 3: 1, 4: 2}
            if iis.valid_:
                peer = str(sum(sides.get(int(b), 0) for b in list(iis.row_bound_) + list(iis.col_bound_)))
        print(f"{path.name.split('.')[0]:10} {size:>10} {elapsed:8.3f}   {peer:>16}   {peer_time:>7}")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args(argv)
    folder = data_dir(args.data)
    ranging(folder / "netlib", args.names or DEFAULT)
    infeasibility(folder / "netlib_infeasible")


if __name__ == "__main__":
    main()
