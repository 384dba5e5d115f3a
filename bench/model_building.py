"""Building a linear model in bulk with velto.Model, against highspy's bulk
add of the same data, measured in the same run.

The model has N variables with bounds and costs and M constraints with K
non-zeros each (random columns, random values), given as numpy arrays and a
scipy.sparse CSR matrix.  Each way builds a fresh model from the same arrays:

  velto bulk        Model.add_variables + Model.add_constraints (CSR)
  velto row by row  Model.add_constraint once per row (for scale; skipped with --quick)
  highspy bulk      Highs.addVars + changeColsCost + changeColsBounds + addRows

and the best of R wall-clock times is printed with the ratio to highspy.
The velto model's matrix is read back and compared with the input (untimed).

    PYTHONPATH=build/pkg python3 bench/model_building.py [--rows M] [--cols N] [--nnz K] [--repeat R] [--quick]
"""
from __future__ import annotations

import argparse
import sys
import time

import numpy as np
import scipy.sparse as sp

import velto


def make_data(rows, cols, per_row, seed=1):
    rng = np.random.default_rng(seed)
    indices = np.concatenate([np.sort(rng.choice(cols, per_row, replace=False)) for _ in range(rows)])
    indptr = np.arange(0, rows * per_row + 1, per_row, dtype=np.int64)
    values = rng.uniform(-10, 10, rows * per_row)
    A = sp.csr_matrix((values, indices, indptr), shape=(rows, cols))
    return {"A": A, "lb": np.zeros(cols), "ub": rng.uniform(1, 10, cols), "c": rng.uniform(-1, 1, cols),
            "rlo": np.full(rows, -np.inf), "rup": rng.uniform(1, 100, rows)}


def velto_bulk(d):
    m = velto.Model()
    m.add_variables(d["A"].shape[1], lb=d["lb"], ub=d["ub"], obj=d["c"])
    m.add_constraints(d["A"], lb=d["rlo"], ub=d["rup"])
    return m


def velto_rows(d):
    m = velto.Model()
    m.add_variables(d["A"].shape[1], lb=d["lb"], ub=d["ub"], obj=d["c"])
    A = d["A"]
    for i in range(A.shape[0]):
        row = slice(A.indptr[i], A.indptr[i + 1])
        m.add_constraint((A.indices[row], A.data[row]), lb=d["rlo"][i], ub=d["rup"][i])
    return m


def highspy_bulk(d):
    import highspy

    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    A, n = d["A"], d["A"].shape[1]
    h.addVars(n, d["lb"], d["ub"])
    cols = np.arange(n, dtype=np.int32)
    h.changeColsCost(n, cols, d["c"])
    h.addRows(A.shape[0], d["rlo"], d["rup"], A.nnz, A.indptr[:-1].astype(np.int32), A.indices, A.data)
    return h


def best_time(build, data, repeat):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        model = build(data)
        best = min(best, time.perf_counter() - start)
        if hasattr(model, "dispose"):
            model.dispose()
    return best


def verify(d):
    m = velto_bulk(d)
    A = d["A"]
    ptrb, ptre, sub, val = bytearray(), bytearray(), bytearray(), bytearray()
    res, _ = m.task.getarowslice64_iiOOOO_3(0, A.shape[0], ptrb, ptre, sub, val)
    got = sp.csr_matrix((np.frombuffer(val), np.frombuffer(sub, np.int32),
                         np.append(np.frombuffer(ptrb, np.int64), A.nnz)), shape=A.shape)
    if res != 0 or (got != A).nnz:
        sys.exit("model_building: the matrix read back differs from the input")
    m.dispose()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=20_000)
    parser.add_argument("--cols", type=int, default=10_000)
    parser.add_argument("--nnz", type=int, default=10, help="non-zeros per row")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--quick", action="store_true", help="2 repeats, no row-by-row building")
    args = parser.parse_args(argv)
    repeat = 2 if args.quick else args.repeat
    d = make_data(args.rows, args.cols, args.nnz)
    verify(d)
    try:
        import highspy  # noqa: F401
        peer = best_time(highspy_bulk, d, repeat)
    except ImportError:
        peer = None
    ways = [("velto bulk", velto_bulk)] + ([] if args.quick else [("velto row by row", velto_rows)])
    print(f"building {args.rows:,} constraints x {args.cols:,} variables, {args.rows * args.nnz:,} non-zeros "
          f"(best of {repeat})")
    print(f"{'way':<20}{'seconds':>10}{'/ highspy':>12}")
    for name, build in ways:
        t = best_time(build, d, 1 if build is velto_rows else repeat)
        ratio = f"{t / peer:.2f}" if peer else "-"
        print(f"{name:<20}{t:>10.4f}{ratio:>12}")
    print(f"{'highspy bulk':<20}{peer:>10.4f}{'1.00':>12}" if peer else "highspy bulk: highspy is not installed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
