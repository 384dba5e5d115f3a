"""Entering and reading back a large sparse matrix through _vlt, against a
plain memory copy of the same bytes measured in the same run.

The matrix (square, 100 non-zeros per column, rows spread over the whole
range) is entered into a fresh task and read back three ways: by one column
slice (putacolslice64/getacolslice64), by one row slice
(putarowslice64/getarowslice64) and by triplets in shuffled order
(putaijlist64/getatrip), always through memoryviews of numpy arrays.  What is
read back is compared with what was put (untimed), and any non-zero response
code aborts the benchmark with the library's message.  Times are CPU time of
this process (user + system) unless --wall is given.

    PYTHONPATH=build/pkg python3 bench/data_entry.py [--nnz N | --quick] [--repeat R] [--wall]
"""
from __future__ import annotations

import argparse
import math
import os
import sys
import time
from dataclasses import dataclass

import numpy as np

import _vlt

clock = time.process_time  # replaced by time.perf_counter with --wall


class BenchmarkError(SystemExit):
    pass


def fail(message: str):
    raise BenchmarkError(f"data_entry: {message}")


def checked(task, name: str, result):
    if not (isinstance(result, tuple) and result[0] == 0):
        code, message = task.getlasterror()
        fail(f"{name} returned {result!r}; last error {code}: {message.strip()}")
    return result


@dataclass
class Matrix:
    size: int  # rows = columns
    rows: np.ndarray  # int32, column-major order
    cols: np.ndarray  # int32
    vals: np.ndarray  # float64

    @property
    def nnz(self) -> int:
        return len(self.vals)


def make_matrix(nnz: int, seed: int = 7) -> Matrix:
    """A square matrix with `per` distinct rows in each column, listed column
    by column, rows in no particular order within a column."""
    per = max(1, min(100, math.isqrt(nnz)))
    size = max(1, nnz // per)
    stride = size // per
    cols = np.repeat(np.arange(size, dtype=np.int32), per)
    step = np.tile(np.arange(per, dtype=np.int64) * stride, size)
    rows = ((cols.astype(np.int64) * 7919 + step) % size).astype(np.int32)
    rng = np.random.default_rng(seed)
    vals = rng.uniform(1.0, 2.0, len(cols))
    vals[::3] *= -1.0
    return Matrix(size, rows, cols, vals)


def lines_of(line: np.ndarray, sub: np.ndarray, val: np.ndarray, size: int):
    """Slice arrays (ptrb, ptre, sub, val) of entries listed line by line."""
    counts = np.bincount(line, minlength=size).astype(np.int64)
    ptre = np.cumsum(counts)
    return ptre - counts, ptre, np.ascontiguousarray(sub), np.ascontiguousarray(val)


def canonical(line: np.ndarray, sub: np.ndarray, val: np.ndarray):
    order = np.lexsort((sub, line))
    return line[order], sub[order], val[order]


def expect_same(what: str, got, expected):
    for name, g, e in zip(("lines", "indexes", "values"), got, expected):
        if not np.array_equal(g, e):
            bad = int(np.flatnonzero(g != e)[0]) if len(g) == len(e) else -1
            fail(f"{what}: read back other {name} than were put (first difference at entry {bad})")


def check_slice(what: str, ptrb, ptre, sub, val, expected):
    """Compares a slice read back, sorted per line, with the canonical form
    of what was put."""
    lengths = ptre - ptrb
    if (lengths < 0).any() or lengths.sum() != len(expected[0]):
        fail(f"{what}: read back {lengths.sum()} entries, {len(expected[0])} were put")
    starts = np.cumsum(lengths) - lengths
    positions = np.arange(lengths.sum(), dtype=np.int64) + np.repeat(ptrb - starts, lengths)
    line = np.repeat(np.arange(len(lengths), dtype=np.int32), lengths)
    expect_same(what, canonical(line, sub[positions], val[positions]), expected)


def views(*arrays):
    return [memoryview(a) for a in arrays]


def best_of(repeat: int, run) -> tuple[float, float]:
    """First and best time (by `clock`) of `repeat` runs of run()."""
    times = []
    for _ in range(repeat):
        start = clock()
        run()
        times.append(clock() - start)
    return times[0], min(times)


def copy_time(sources, repeat: int) -> float:
    """Best time of copying the arrays into destinations of the same size
    (the first copy touches the destination pages and is not counted)."""
    destinations = [np.empty_like(a) for a in sources]
    def run():
        for d, s in zip(destinations, sources):
            np.copyto(d, s)
    run()
    return best_of(repeat, run)[1]


@dataclass
class Row:
    operation: str
    nnz: int
    megabytes: float
    first: float
    best: float
    copy: float


def new_task(env, matrix: Matrix):
    task = _vlt.Task(env, matrix.size, matrix.size)
    checked(task, "appendcons_i_2", task.appendcons_i_2(matrix.size))
    checked(task, "appendvars_i_2", task.appendvars_i_2(matrix.size))
    return task


def put_timed(env, matrix, name, arrays, call, repeat):
    """Enters the matrix into a fresh task `repeat` times; returns the first
    and best times and the last task."""
    times, task = [], None
    for _ in range(repeat):
        if task is not None:
            task.dispose()
        task = new_task(env, matrix)
        start = clock()
        result = call(task, *views(*arrays))
        times.append(clock() - start)
        checked(task, name, result)
    return times[0], min(times), task


def get_timed(task, name, outputs, call, repeat):
    mv = views(*outputs)
    def run():
        checked(task, name, call(task, *mv))
    return best_of(repeat, run)


def slice_case(env, matrix, label, put, get, count, arrays, expected, repeat) -> list[Row]:
    n = matrix.size
    first, best, task = put_timed(env, matrix, put, arrays,
                                  lambda t, *a: getattr(t, put)(0, n, *a), repeat)
    nz = checked(task, count, getattr(task, count)(0, n))[1]
    if nz != matrix.nnz:
        fail(f"{count} reports {nz} non-zeros, {matrix.nnz} were put")
    outputs = (np.empty(n, np.int64), np.empty(n, np.int64), np.empty(nz, np.int32), np.empty(nz, np.float64))
    get_first, get_best = get_timed(task, get, outputs, lambda t, *a: getattr(t, get)(0, n, *a), repeat)
    check_slice(f"{label} slice", *outputs, expected)
    task.dispose()
    copy = copy_time(arrays, max(repeat, 5))
    megabytes = sum(a.nbytes for a in arrays) / 1e6
    return [Row(f"put {label} slice ({put})", matrix.nnz, megabytes, first, best, copy),
            Row(f"get {label} slice ({get})", matrix.nnz, megabytes, get_first, get_best, copy)]


def triplet_case(env, matrix, expected_by_col, repeat) -> list[Row]:
    perm = np.random.default_rng(11).permutation(matrix.nnz)
    arrays = (matrix.rows[perm], matrix.cols[perm], matrix.vals[perm])
    del perm
    first, best, task = put_timed(env, matrix, "putaijlist64_OOO_4", arrays,
                                  lambda t, *a: t.putaijlist64_OOO_4(*a), repeat)
    nz = checked(task, "getnumanz64__1", task.getnumanz64__1())[1]
    if nz != matrix.nnz:
        fail(f"getnumanz64__1 reports {nz} non-zeros, {matrix.nnz} were put")
    outputs = (np.empty(nz, np.int32), np.empty(nz, np.int32), np.empty(nz, np.float64))
    get_first, get_best = get_timed(task, "getatrip_OOO_4", outputs, lambda t, *a: t.getatrip_OOO_4(*a), repeat)
    subi, subj, val = outputs
    expect_same("triplets", canonical(subj, subi, val), expected_by_col)
    task.dispose()
    copy = copy_time(arrays, max(repeat, 5))
    megabytes = sum(a.nbytes for a in arrays) / 1e6
    return [Row("put triplets (putaijlist64_OOO_4)", matrix.nnz, megabytes, first, best, copy),
            Row("get triplets (getatrip_OOO_4)", matrix.nnz, megabytes, get_first, get_best, copy)]


def run(nnz: int, repeat: int = 3) -> tuple[Matrix, list[Row]]:
    matrix = make_matrix(nnz)
    env = _vlt.Env()
    rows: list[Row] = []

    by_col = canonical(matrix.cols, matrix.rows, matrix.vals)  # (column, row, value)
    col_arrays = lines_of(matrix.cols, matrix.rows, matrix.vals, matrix.size)
    rows += slice_case(env, matrix, "column", "putacolslice64_iiOOOO_7", "getacolslice64_iiOOOO_7",
                       "getacolslicenumnz64_ii_3", col_arrays, by_col, repeat)
    del col_arrays

    by_row = canonical(matrix.rows, matrix.cols, matrix.vals)  # (row, column, value)
    row_arrays = lines_of(*by_row, matrix.size)
    rows += slice_case(env, matrix, "row", "putarowslice64_iiOOOO_7", "getarowslice64_iiOOOO_7",
                       "getarowslicenumnz64_ii_3", row_arrays, by_row, repeat)
    del row_arrays, by_row

    rows += triplet_case(env, matrix, by_col, repeat)
    return matrix, rows


def report(matrix: Matrix, rows: list[Row], repeat: int) -> str:
    lines = [
        f"Data entry: {matrix.nnz:,} non-zeros in a {matrix.size:,} x {matrix.size:,} matrix "
        f"({matrix.nnz // matrix.size} per column), best of {repeat} calls, "
        f"{'CPU time of the process' if clock is time.process_time else 'wall time'}",
        "  put: into a fresh task each time; get: into the same numpy arrays each time; memcpy: numpy copyto",
        "  of the same arrays into arrays of the same size (best of several, destination already touched)",
        f"  load average at the end: {' '.join(f'{x:.2f}' for x in os.getloadavg())} on {os.cpu_count()} cores",
        "",
        f"{'operation':<46} {'MB':>7} {'_vlt ms':>9} {'first ms':>9} {'memcpy ms':>10} {'_vlt/memcpy':>12}",
        "-" * 98,
    ]
    for r in rows:
        lines.append(f"{r.operation:<46} {r.megabytes:>7.0f} {r.best * 1e3:>9.1f} {r.first * 1e3:>9.1f} "
                     f"{r.copy * 1e3:>10.2f} {r.best / r.copy:>12.1f}")
    return "\n".join(lines)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--nnz", type=int, default=10_000_000, help="non-zeros of the matrix (default 10^7)")
    parser.add_argument("--quick", action="store_true", help="10^6 non-zeros")
    parser.add_argument("--repeat", type=int, default=3, help="calls per operation; the best is reported")
    parser.add_argument("--wall", action="store_true", help="measure wall time instead of CPU time")
    args = parser.parse_args(argv)
    global clock
    clock = time.perf_counter if args.wall else time.process_time
    nnz = 1_000_000 if args.quick else args.nnz
    if nnz < 1 or args.repeat < 1:
        parser.error("--nnz and --repeat must be positive")
    matrix, rows = run(nnz, args.repeat)
    print(report(matrix, rows, args.repeat), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
