// Up-looking sparse Cholesky: the elimination tree of the permuted matrix
// gives the pattern of each row of L (the reach of the row's entries in the
// tree); a symbolic pass counts the entries per column, a numeric pass fills
// them.  The ordering is linalg/ordering's approximate minimum degree.
#include "linalg/sparse_cholesky.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "base/error.hpp"
#include "linalg/ordering.hpp"

namespace vlt::linalg {
namespace {

void require(const void* p, int64_t count, const char* name) {
    if (!p && count > 0) fail(VLT_RES_ERR_NULL_POINTER, std::string("Argument ") + name + " is null");
}

// Column layout of a square matrix: start of column j at ptr[j], ptr[n] = nnz.
struct Columns {
    std::vector<int64_t> ptr;
    std::vector<int32_t> row;
    std::vector<double> value;
};

std::vector<int32_t> ordering(int32_t ordermethod, int32_t n, const Columns& lower) {
    std::vector<int32_t> perm(static_cast<size_t>(n));
    std::iota(perm.begin(), perm.end(), 0);
    if (ordermethod == VLT_ORDER_METHOD_NONE || n == 0) return perm;
    std::vector<int64_t> rows(lower.row.begin(), lower.row.end());
    std::vector<int64_t> order = minimum_degree_order(n, lower.ptr, rows, Triangle::lower);
    for (int32_t k = 0; k < n; ++k) perm[size_t(k)] = int32_t(order[size_t(k)]);
    return perm;
}

}  // namespace

SparseFactor sparse_cholesky(int32_t ordermethod, double tolsingular, int32_t n, const int32_t* anzc,
                             const int64_t* aptrc, const int32_t* asubc, const double* avalc) {
    if (n < 0) fail(VLT_RES_ERR_LA_DIMENSION, "Argument n is negative");
    if (ordermethod < VLT_ORDER_METHOD_FREE || ordermethod > VLT_ORDER_METHOD_NONE)
        fail(VLT_RES_ERR_INVALID_ENUM, "Argument ordermethod is " + std::to_string(ordermethod));
    require(anzc, n, "anzc");
    require(aptrc, n, "aptrc");
    int64_t total = 0;
    for (int32_t j = 0; j < n; ++j) {
        if (anzc[j] < 0 || aptrc[j] < 0)
            fail(VLT_RES_ERR_LA_DIMENSION, "Column " + std::to_string(j) + " has a negative count or position");
        total += anzc[j];
    }
    // Nothing tells the length of asubc and avalc but the counts: the
    // columns must lie within the sum(anzc) entries that they hold together.
    for (int32_t j = 0; j < n; ++j)
        if (aptrc[j] > total - anzc[j])
            fail(VLT_RES_ERR_LA_DIMENSION, "Column " + std::to_string(j) + " (position " + std::to_string(aptrc[j]) +
                                               ", " + std::to_string(anzc[j]) + " entries) lies outside the " +
                                               std::to_string(total) + " entries of asubc and avalc");
    require(asubc, total, "asubc");
    require(avalc, total, "avalc");

    // The lower triangle, checked, with rows sorted in each column.
    Columns lower;
    lower.ptr.assign(size_t(n) + 1, 0);
    lower.row.reserve(size_t(total));
    lower.value.reserve(size_t(total));
    double largest_diagonal = 0.0;
    std::vector<int32_t> seen(size_t(n), -1);
    for (int32_t j = 0; j < n; ++j) {
        std::vector<std::pair<int32_t, double>> column;
        for (int64_t p = aptrc[j]; p < aptrc[j] + anzc[j]; ++p) {
            int32_t i = asubc[p];
            if (i < j || i >= n)
                fail(VLT_RES_ERR_INDEX, "Entry (" + std::to_string(i) + "," + std::to_string(j) +
                                            ") is not in the lower triangle of a matrix of order " +
                                            std::to_string(n));
            if (seen[size_t(i)] == j)
                fail(VLT_RES_ERR_DUPLICATE_INDEX,
                     "Entry (" + std::to_string(i) + "," + std::to_string(j) + ") is given twice");
            seen[size_t(i)] = j;
            column.emplace_back(i, avalc[p]);
            if (i == j) largest_diagonal = std::max(largest_diagonal, std::fabs(avalc[p]));
        }
        std::sort(column.begin(), column.end());
        for (auto& [i, v] : column) {
            lower.row.push_back(i);
            lower.value.push_back(v);
        }
        lower.ptr[size_t(j) + 1] = int64_t(lower.row.size());
    }

    SparseFactor f;
    f.perm = ordering(ordermethod, n, lower);
    std::vector<int32_t> pinv(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) pinv[size_t(f.perm[size_t(k)])] = k;

    // C = upper triangle of P*A*P' by columns: column k lists the rows i <= k
    // of L's row k.
    Columns upper;
    upper.ptr.assign(size_t(n) + 1, 0);
    for (int32_t j = 0; j < n; ++j)
        for (int64_t p = lower.ptr[size_t(j)]; p < lower.ptr[size_t(j) + 1]; ++p) {
            int32_t a = pinv[size_t(lower.row[size_t(p)])], b = pinv[size_t(j)];
            ++upper.ptr[size_t(std::max(a, b)) + 1];
        }
    for (int32_t k = 0; k < n; ++k) upper.ptr[size_t(k) + 1] += upper.ptr[size_t(k)];
    upper.row.resize(size_t(upper.ptr[size_t(n)]));
    upper.value.resize(upper.row.size());
    {
        std::vector<int64_t> next(upper.ptr.begin(), upper.ptr.end() - 1);
        for (int32_t j = 0; j < n; ++j)
            for (int64_t p = lower.ptr[size_t(j)]; p < lower.ptr[size_t(j) + 1]; ++p) {
                int32_t a = pinv[size_t(lower.row[size_t(p)])], b = pinv[size_t(j)];
                int64_t q = next[size_t(std::max(a, b))]++;
                upper.row[size_t(q)] = std::min(a, b);
                upper.value[size_t(q)] = lower.value[size_t(p)];
            }
    }

    // Elimination tree.
    std::vector<int32_t> parent(size_t(n), -1), ancestor(size_t(n), -1);
    for (int32_t k = 0; k < n; ++k)
        for (int64_t p = upper.ptr[size_t(k)]; p < upper.ptr[size_t(k) + 1]; ++p)
            for (int32_t i = upper.row[size_t(p)]; i != -1 && i < k;) {
                int32_t up = ancestor[size_t(i)];
                ancestor[size_t(i)] = k;
                if (up == -1) parent[size_t(i)] = k;
                i = up;
            }

    // The pattern of row k of L (without the diagonal), in topological order,
    // in stack[top..n).
    const size_t order = static_cast<size_t>(n);
    std::vector<int32_t> stack(order), path(order), mark(order, -1);
    auto reach = [&](int32_t k) {
        int32_t top = n;
        mark[size_t(k)] = k;
        for (int64_t p = upper.ptr[size_t(k)]; p < upper.ptr[size_t(k) + 1]; ++p) {
            // Walk up the tree from the entry's row to a node already seen;
            // the path goes onto the stack so that children precede parents.
            int32_t len = 0;
            for (int32_t i = upper.row[size_t(p)]; mark[size_t(i)] != k; i = parent[size_t(i)]) {
                path[size_t(len++)] = i;
                mark[size_t(i)] = k;
            }
            while (len > 0) stack[size_t(--top)] = path[size_t(--len)];
        }
        return top;
    };

    // Symbolic pass: entries per column.
    std::vector<int64_t> count(size_t(n), 1);  // the diagonal
    for (int32_t k = 0; k < n; ++k) {
        int32_t top = reach(k);
        for (int32_t t = top; t < n; ++t) ++count[size_t(stack[size_t(t)])];
    }
    f.nzc.resize(size_t(n));
    f.ptrc.resize(size_t(n));
    int64_t nz = 0;
    for (int32_t j = 0; j < n; ++j) {
        if (count[size_t(j)] > INT32_MAX) fail(VLT_RES_ERR_SIZE_LIMIT, "A column of the factor is too long");
        f.nzc[size_t(j)] = int32_t(count[size_t(j)]);
        f.ptrc[size_t(j)] = nz;
        nz += count[size_t(j)];
    }
    f.sub.resize(size_t(nz));
    f.val.resize(size_t(nz));
    f.perturbation.assign(size_t(n), 0.0);

    // Numeric pass.
    double bound = tolsingular * (largest_diagonal > 0.0 ? largest_diagonal : 1.0);
    std::vector<int64_t> fill(f.ptrc);
    std::vector<double> x(size_t(n), 0.0);
    std::fill(mark.begin(), mark.end(), -1);
    for (int32_t k = 0; k < n; ++k) {
        int32_t top = reach(k);
        double diagonal = 0.0;
        for (int64_t p = upper.ptr[size_t(k)]; p < upper.ptr[size_t(k) + 1]; ++p) {
            int32_t i = upper.row[size_t(p)];
            if (i == k)
                diagonal += upper.value[size_t(p)];
            else
                x[size_t(i)] = upper.value[size_t(p)];
        }
        for (int32_t t = top; t < n; ++t) {
            int32_t i = stack[size_t(t)];
            double lki = x[size_t(i)] / f.val[size_t(f.ptrc[size_t(i)])];
            x[size_t(i)] = 0.0;
            for (int64_t p = f.ptrc[size_t(i)] + 1; p < fill[size_t(i)]; ++p)
                x[size_t(f.sub[size_t(p)])] -= f.val[size_t(p)] * lki;
            diagonal -= lki * lki;
            int64_t q = fill[size_t(i)]++;
            f.sub[size_t(q)] = k;
            f.val[size_t(q)] = lki;
        }
        if (tolsingular > 0.0 && std::fabs(diagonal) <= bound) {
            f.perturbation[size_t(f.perm[size_t(k)])] = bound - diagonal;
            diagonal = bound;
        }
        if (!(diagonal > 0.0))
            fail(VLT_RES_ERR_LA_NOT_POSDEF, "The matrix is not positive definite (pivot " + std::to_string(k) + ")");
        int64_t q = fill[size_t(k)]++;
        f.sub[size_t(q)] = k;
        f.val[size_t(q)] = std::sqrt(diagonal);
    }
    return f;
}

void sparse_triangular_solve(int32_t transposed, int32_t n, const int32_t* lnzc, const int64_t* lptrc, int64_t nz,
                             const int32_t* lsubc, const double* lvalc, double* b) {
    if (transposed != 0 && transposed != 1)
        fail(VLT_RES_ERR_INVALID_ENUM, "Argument transposed is " + std::to_string(transposed) + ", not 0 or 1");
    if (n < 0) fail(VLT_RES_ERR_LA_DIMENSION, "Argument n is negative");
    if (nz < 0) fail(VLT_RES_ERR_LA_DIMENSION, "Argument lensubnval is negative");
    require(lnzc, n, "lnzc");
    require(lptrc, n, "lptrc");
    require(b, n, "b");
    require(lsubc, nz, "lsubc");
    require(lvalc, nz, "lvalc");
    std::vector<int64_t> diagonal(static_cast<size_t>(n));
    for (int32_t j = 0; j < n; ++j) {
        if (lnzc[j] < 0 || lptrc[j] < 0 || lptrc[j] + lnzc[j] > nz)
            fail(VLT_RES_ERR_LA_DIMENSION, "Column " + std::to_string(j) + " lies outside the " +
                                               std::to_string(nz) + " entries");
        diagonal[size_t(j)] = -1;
        for (int64_t p = lptrc[j]; p < lptrc[j] + lnzc[j]; ++p) {
            if (lsubc[p] < j || lsubc[p] >= n)
                fail(VLT_RES_ERR_INDEX, "Entry (" + std::to_string(lsubc[p]) + "," + std::to_string(j) +
                                            ") is not in the lower triangle");
            if (lsubc[p] == j) diagonal[size_t(j)] = p;
        }
        if (diagonal[size_t(j)] < 0) fail(VLT_RES_ERR_INDEX, "Column " + std::to_string(j) + " has no diagonal");
        if (lvalc[diagonal[size_t(j)]] == 0.0)
            fail(VLT_RES_ERR_LA_NOT_POSDEF, "The diagonal of column " + std::to_string(j) + " is zero");
    }
    if (transposed == 0) {
        for (int32_t j = 0; j < n; ++j) {
            double xj = b[j] / lvalc[diagonal[size_t(j)]];
            b[j] = xj;
            for (int64_t p = lptrc[j]; p < lptrc[j] + lnzc[j]; ++p)
                if (p != diagonal[size_t(j)]) b[lsubc[p]] -= lvalc[p] * xj;
        }
    } else {
        for (int32_t j = n - 1; j >= 0; --j) {
            double s = b[j];
            for (int64_t p = lptrc[j]; p < lptrc[j] + lnzc[j]; ++p)
                if (p != diagonal[size_t(j)]) s -= lvalc[p] * b[lsubc[p]];
            b[j] = s / lvalc[diagonal[size_t(j)]];
        }
    }
}

}  // namespace vlt::linalg
