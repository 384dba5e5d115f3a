"""Typed memoryviews for the tests: the element widths the library's arrays
have (int32, int64, double)."""
import numpy as np


def i32(a):
    return memoryview(np.asarray(a, dtype=np.int32))


def i64(a):
    return memoryview(np.asarray(a, dtype=np.int64))


def f64(a):
    return memoryview(np.asarray(a, dtype=np.float64))
