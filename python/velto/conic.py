"""The domains of affine conic constraints, by everyday names, and the
library calls that append them."""
import numpy as np

from . import _arrays as arr

# name -> (the method of _vlt.Task that appends it, its smallest dimension)
_DOMAINS = {
    "quadratic": ("appendquadraticconedomain_L_2", 1),
    "rotated_quadratic": ("appendrquadraticconedomain_L_2", 2),
    "nonnegative": ("appendrplusdomain_L_2", 0),
    "nonpositive": ("appendrminusdomain_L_2", 0),
    "zero": ("appendrzerodomain_L_2", 0),
    "free": ("appendrdomain_L_2", 0),
    "exponential": ("appendprimalexpconedomain__1", 3),
    "dual_exponential": ("appenddualexpconedomain__1", 3),
    "geometric_mean": ("appendprimalgeomeanconedomain_L_2", 1),
    "dual_geometric_mean": ("appenddualgeomeanconedomain_L_2", 1),
    "power": ("appendprimalpowerconedomain_LO_3", 2),
    "dual_power": ("appenddualpowerconedomain_LO_3", 2),
    "psd": ("appendsvecpsdconedomain_L_2", 1),
}

DOMAINS = tuple(_DOMAINS)


def domain_appender(domain, n, alpha=None):
    """A function task -> (response code, domain index) that appends the
    named domain of dimension n; the name, dimension and weights are checked
    here, before anything is appended."""
    if domain not in _DOMAINS:
        raise ValueError(f"unknown domain {domain!r}; the domains are " + ", ".join(DOMAINS))
    method, smallest = _DOMAINS[domain]
    if n < smallest or (method.endswith("__1") and n != smallest):
        need = f"exactly {smallest}" if method.endswith("__1") else f"at least {smallest}"
        raise ValueError(f"the {domain} domain needs {need} rows, not {n}")
    if domain == "psd":
        side = int(round((np.sqrt(8 * n + 1) - 1) / 2))
        if side * (side + 1) // 2 != n:
            raise ValueError(f"the psd domain needs d(d+1)/2 rows for some d, not {n}")
    if method.endswith("_LO_3"):
        if alpha is None:
            raise ValueError(f"the {domain} domain needs the weights alpha")
        weights = arr.doubles(alpha, "alpha")
        if not 1 <= weights.size < n:
            raise ValueError(f"the {domain} domain of {n} rows needs 1 to {n - 1} weights, not {weights.size}")
        return lambda task: getattr(task, method)(n, arr.view(weights))
    if alpha is not None:
        raise ValueError(f"the {domain} domain takes no weights")
    if method.endswith("__1"):
        return lambda task: getattr(task, method)()
    return lambda task: getattr(task, method)(n)


def svec(S, triangle=None):
    """The rows of the psd domain for a symmetric matrix S (dense or
    scipy.sparse; symmetric, or one triangle as triangle='lower' / 'upper'
    says): its lower triangle column by column, the off-diagonal elements
    times sqrt(2), so that <svec(A), svec(B)> = <A, B>."""
    i, j, v = arr.lower_triangle(S, "S", triangle)
    dim = int(np.shape(S)[0])
    # Position of (i, j), i >= j, in the column-by-column lower triangle.
    position = j * dim - j * (j - 1) // 2 + (i - j)
    out = np.zeros(dim * (dim + 1) // 2)
    np.add.at(out, position, np.where(i == j, v, v * np.sqrt(2.0)))
    return out


def smat(v):
    """The symmetric matrix whose svec is v (the inverse of svec)."""
    v = arr.doubles(v, "v")
    dim = int(round((np.sqrt(8 * v.size + 1) - 1) / 2))
    if dim * (dim + 1) // 2 != v.size:
        raise ValueError(f"{v.size} values are no lower triangle of a symmetric matrix")
    cols, rows = np.triu_indices(dim)  # column by column down the lower triangle
    values = np.where(rows == cols, v, v / np.sqrt(2.0))
    S = np.zeros((dim, dim))
    S[rows, cols] = values
    S[cols, rows] = values
    return S
