"""Conversions from what users pass (numbers, sequences, numpy arrays, scipy
sparse matrices) to the contiguous int32, int64 and double arrays that `_vlt`
reads through memoryviews, and back from the library's buffers to numpy."""
import math
import operator
from typing import Any

import numpy as np

INF = math.inf
_INT32 = np.iinfo(np.int32)


def _check_integral(a, name):
    if a.dtype.kind in "iu":
        return
    if a.dtype.kind == "f" and a.size and np.all(np.isfinite(a)) and np.all(a == np.round(a)):
        return
    raise TypeError(f"{name} must hold integers, not {a.dtype} values")


def indexes(values, name, dtype=np.int32):
    """A one-dimensional contiguous array of item indexes (int32 or int64)."""
    a = np.asarray(values)
    if a.ndim == 0:
        a = a.reshape(1)
    if a.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, not of shape {a.shape}")
    if a.size == 0:
        return np.zeros(0, dtype)
    _check_integral(a, name)
    if dtype == np.int32 and (a.min() < _INT32.min or a.max() > _INT32.max):
        raise ValueError(f"{name} holds a value outside the range of item indexes")
    return np.ascontiguousarray(a, dtype=dtype)


def doubles(values, name, n=None):
    """A contiguous double array of n values: a number is repeated n times,
    a sequence must have exactly n values (any length when n is None)."""
    raw = np.asarray(values)
    if raw.dtype.kind in "USbV" or (raw.dtype.kind == "O" and any(isinstance(v, (str, bytes, bool))
                                                                   for v in raw.ravel())):
        # Texts and truth values are not numbers, even where numpy would read them as such.
        raise TypeError(f"{name} must be a number or a sequence of numbers, not {values!r}")
    try:
        a = np.asarray(raw, dtype=np.float64)
    except (TypeError, ValueError):
        raise TypeError(f"{name} must be a number or a sequence of numbers") from None
    if a.ndim == 0:
        if n is None:
            return a.reshape(1)
        return np.full(n, float(a))
    if a.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, not of shape {a.shape}")
    if n is not None and a.size != n:
        raise ValueError(f"{name} has {a.size} values for {n} items")
    return np.ascontiguousarray(a)


def count(n, name):
    """A number of items: a non-negative whole number (an int or a numpy
    integer; 2.5, '2' and True are refused)."""
    if isinstance(n, (bool, np.bool_)):
        raise TypeError(f"{name} must be a whole number, not {n!r}")
    try:
        n = operator.index(n)
    except TypeError:
        raise TypeError(f"{name} must be a whole number, not {n!r}") from None
    if n < 0:
        raise ValueError(f"{name} cannot be negative ({n})")
    return n


def number(value, name):
    """One real number (a bool or a text is refused)."""
    if isinstance(value, (bool, np.bool_, str, bytes)):
        raise TypeError(f"{name} must be a number, not {value!r}")
    try:
        return float(value)
    except (TypeError, ValueError):
        raise TypeError(f"{name} must be a number, not {value!r}") from None


def open_sides(keys, lower, upper):
    """(lb, ub) of bound keys and the library's bound values: -inf below and
    inf above on a side that the key leaves open."""
    from ._constants import BoundKey

    lb, ub = lower.copy(), upper.copy()
    lb[(keys == BoundKey.FR) | (keys == BoundKey.UP)] = -INF
    ub[(keys == BoundKey.FR) | (keys == BoundKey.LO)] = INF
    fixed = keys == BoundKey.FX
    ub[fixed] = lb[fixed]
    return lb, ub


def flags(values, name, n):
    """n truth values: one repeated, or a sequence of exactly n; each True or
    False (or 0 and 1 in an integer array), nothing else."""
    a = np.asarray(values)
    if a.dtype.kind == "b":
        pass
    elif a.dtype.kind in "iu" and not isinstance(values, (int, np.integer)) and np.isin(a, (0, 1)).all():
        a = a.astype(bool)
    else:
        raise TypeError(f"{name} must be True, False or a sequence of them, not {values!r}")
    if a.ndim == 0:
        return np.full(n, bool(a))
    if a.ndim != 1 or a.size != n:
        raise ValueError(f"{name} has {a.size} values for {n} items")
    return a


def bound_keys(lb, ub):
    """The bound keys (FR, LO, UP, FX, RA codes) of arrays of bounds."""
    from ._constants import BoundKey

    if np.isnan(lb).any() or np.isnan(ub).any():
        raise ValueError("a bound is NaN")
    lower, upper = lb > -INF, ub < INF
    keys = np.full(lb.shape, int(BoundKey.FR), dtype=np.int32)
    keys[lower & ~upper] = BoundKey.LO
    keys[upper & ~lower] = BoundKey.UP
    both = lower & upper
    keys[both] = np.where(lb[both] == ub[both], int(BoundKey.FX), int(BoundKey.RA))
    return keys


def bounds(lb, ub, n):
    """(bound keys, lower bounds, upper bounds) of n items."""
    lbs, ubs = doubles(lb, "lb", n), doubles(ub, "ub", n)
    return bound_keys(lbs, ubs), lbs, ubs


def view(a: Any) -> memoryview:
    """The memoryview through which `_vlt` reads or fills an array."""
    return memoryview(a)


def from_bytes(buffer, dtype=np.float64):
    """A numpy array over a bytearray that the library filled."""
    return np.frombuffer(buffer, dtype=dtype)


class RowBlock:
    """Rows of a constraint block in compressed sparse row form: ptr (int64,
    rows + 1 positions), sub (int32 variable indexes) and val (doubles)."""

    def __init__(self, ptr, sub, val, num_rows):
        self.ptr, self.sub, self.val, self.num_rows = ptr, sub, val, num_rows

    @property
    def max_column(self):
        return int(self.sub.max()) if self.sub.size else -1


def is_sparse(matrix):
    return hasattr(matrix, "tocsr") and hasattr(matrix, "shape") and hasattr(matrix, "nnz")


def row_block(matrix, name="A", num_rows=None):
    """A RowBlock from a scipy.sparse matrix (any format), a dense 2-D array
    or list of rows, a (rows, cols, values) triplet whose rows count from 0
    within the block, or a list of {column: value} mappings, one per row."""
    if is_sparse(matrix):
        csr = matrix.tocsr()
        csr.sum_duplicates()
        return RowBlock(np.ascontiguousarray(csr.indptr, dtype=np.int64), indexes(csr.indices, name),
                        doubles(csr.data, name), csr.shape[0])
    if isinstance(matrix, tuple) and len(matrix) == 3:
        return _triplet_block(matrix, name, num_rows)
    if isinstance(matrix, (list, tuple)) and matrix and all(hasattr(r, "items") for r in matrix):
        return _mapping_block(matrix, name)
    dense = np.asarray(matrix, dtype=np.float64)
    if dense.ndim == 1 and dense.size == 0:
        dense = dense.reshape(0, 0)
    if dense.ndim != 2:
        raise ValueError(f"{name} must be two-dimensional, not of shape {dense.shape}")
    rows, cols = np.nonzero(dense)
    ptr = np.zeros(dense.shape[0] + 1, dtype=np.int64)
    np.cumsum(np.bincount(rows, minlength=dense.shape[0]), out=ptr[1:])
    return RowBlock(ptr, cols.astype(np.int32), np.ascontiguousarray(dense[rows, cols]), dense.shape[0])


def _triplet_block(triplet, name, num_rows):
    rows, cols = indexes(triplet[0], f"{name} rows", np.int64), indexes(triplet[1], f"{name} columns")
    vals = doubles(triplet[2], f"{name} values")
    if not rows.size == cols.size == vals.size:
        raise ValueError(f"the rows, columns and values of {name} differ in length "
                         f"({rows.size}, {cols.size}, {vals.size})")
    if rows.size and rows.min() < 0:
        raise ValueError(f"{name} has a negative row index")
    n = int(rows.max()) + 1 if rows.size else 0
    if num_rows is not None:
        if n > num_rows:
            raise ValueError(f"{name} has row index {n - 1} in a block of {num_rows} rows")
        n = num_rows
    order = np.argsort(rows, kind="stable")
    ptr = np.zeros(n + 1, dtype=np.int64)
    np.cumsum(np.bincount(rows, minlength=n), out=ptr[1:])
    return RowBlock(ptr, np.ascontiguousarray(cols[order]), np.ascontiguousarray(vals[order]), n)


def _mapping_block(rows, name):
    sizes = [len(r) for r in rows]
    ptr = np.zeros(len(rows) + 1, dtype=np.int64)
    np.cumsum(sizes, out=ptr[1:])
    sub = indexes([j for r in rows for j in r.keys()], name)
    val = doubles([v for r in rows for v in r.values()], name)
    return RowBlock(ptr, sub, val, len(rows))


def linear_terms(coefficients, name="coefficients"):
    """(sub, val) of one linear form: a mapping {j: a_j}, a pair of
    sequences (indexes, values), or a scipy.sparse row."""
    if hasattr(coefficients, "items"):
        return indexes(list(coefficients.keys()), name), doubles(list(coefficients.values()), name)
    if is_sparse(coefficients):
        block = row_block(coefficients, name)
        if block.num_rows != 1:
            raise ValueError(f"{name} must be a single row, not {block.num_rows}")
        return block.sub, block.val
    if isinstance(coefficients, tuple) and len(coefficients) == 2:
        sub, val = indexes(coefficients[0], name), doubles(coefficients[1], name)
        if sub.size != val.size:
            raise ValueError(f"{name} has {sub.size} indexes and {val.size} values")
        return sub, val
    raise TypeError(f"{name} must be a mapping {{index: value}} or a pair (indexes, values)")


_TRIANGLES = (None, "lower", "upper")


def _check_symmetric(i, j, v, name):
    """Refuses entries (i, j, v) of a matrix that is not symmetric (to a
    relative 1e-12): each entry below the diagonal is summed with the
    negative of its mirror, and every sum must vanish."""
    lower, upper = i > j, i < j
    if not (lower.any() or upper.any()):
        return
    side = int(max(i.max(), j.max())) + 1
    keys = np.concatenate([i[lower] * side + j[lower], j[upper] * side + i[upper]]).astype(np.int64)
    signed = np.concatenate([v[lower], -v[upper]])
    unique, where = np.unique(keys, return_inverse=True)
    differences = np.bincount(where, weights=signed)
    bad = np.abs(differences) > 1e-12 * max(1.0, float(np.abs(v).max()))
    if bad.any():
        r, c = divmod(int(unique[np.argmax(bad)]), side)
        a = float(v[(i == r) & (j == c)].sum())
        b = float(v[(i == c) & (j == r)].sum())
        raise ValueError(f"{name} is not symmetric: {name}[{r}, {c}] = {a:g} but {name}[{c}, {r}] = {b:g}; "
                         "give a symmetric matrix, or triangle='lower' or 'upper' for a matrix that holds "
                         "one triangle")


def _one_triangle(i, j, v, name, triangle):
    """The entries (i, j, v) of a square matrix as its lower triangle: the
    matrix must be symmetric (triangle None) or hold only the named
    triangle, whose mirror is implied."""
    if triangle not in _TRIANGLES:
        raise ValueError(f"triangle must be None, 'lower' or 'upper', not {triangle!r}")
    if triangle is None:
        _check_symmetric(i, j, v, name)
        keep = i >= j
        return i[keep], j[keep], v[keep]
    wrong = (i < j) if triangle == "lower" else (i > j)
    if wrong.any():
        k = int(np.argmax(wrong))
        raise ValueError(f"{name} has the entry ({i[k]}, {j[k]}) outside its {triangle} triangle")
    return (i, j, v) if triangle == "lower" else (j, i, v)


def lower_triangle(terms, name="terms", triangle=None):
    """(subi, subj, val) of the lower triangle of a symmetric matrix given as
    {(i, j): q} over either triangle (a pair given twice is refused), or a
    scipy.sparse matrix or dense 2-D array that is symmetric (or holds just
    the lower or upper triangle, as `triangle` says)."""
    if hasattr(terms, "items"):
        merged = {}
        for (i, j), v in terms.items():
            key = (max(i, j), min(i, j))
            if key in merged:
                raise ValueError(f"the entry ({i}, {j}) of {name} is given twice (once per triangle?)")
            merged[key] = v
        keys = list(merged)
        return (indexes([k[0] for k in keys], name), indexes([k[1] for k in keys], name),
                doubles(list(merged.values()), name))
    if is_sparse(terms):
        if terms.shape[0] != terms.shape[1]:
            raise ValueError(f"{name} must be a square matrix, not of shape {terms.shape}")
        coo = terms.tocoo()
        coo.sum_duplicates()
        nz = coo.data != 0
        i, j, v = _one_triangle(coo.row[nz], coo.col[nz], coo.data[nz], name, triangle)
        return indexes(i, name), indexes(j, name), doubles(v, name)
    dense = np.asarray(terms, dtype=np.float64)
    if dense.ndim != 2 or dense.shape[0] != dense.shape[1]:
        raise ValueError(f"{name} must be a square matrix, not of shape {dense.shape}")
    i, j = np.nonzero(dense)
    i, j, v = _one_triangle(i, j, dense[i, j], name, triangle)
    return indexes(i, name), indexes(j, name), np.ascontiguousarray(v)


def symmetric_from_lower(packed, dim):
    """The dense symmetric matrix of its lower triangle packed column by
    column (the library's layout of semidefinite values)."""
    rows, cols = np.triu_indices(dim)  # row-major upper = column-major lower, transposed
    matrix = np.zeros((dim, dim))
    matrix[cols, rows] = packed
    matrix[rows, cols] = packed
    return matrix


def table(columns):
    """A table of equally long columns: a pandas DataFrame when pandas is
    installed, else the dict of numpy arrays itself."""
    try:
        import pandas  # type: ignore[import-untyped]
    except ImportError:
        return columns
    return pandas.DataFrame(columns)
