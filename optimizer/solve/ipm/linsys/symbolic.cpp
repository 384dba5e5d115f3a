#include "solve/ipm/linsys/symbolic.hpp"

#include <algorithm>
#include <utility>

namespace vlt::solve::ipm {

bool valid_upper(const UpperCsc& a) {
    if (a.n < 0 || int64_t(a.colptr.size()) != a.n + 1) return false;
    for (int64_t j = 0; j < a.n; ++j) {
        bool diag = false;
        for (int64_t p = a.colptr[size_t(j)]; p < a.colptr[size_t(j) + 1]; ++p) {
            if (a.rowind[size_t(p)] > j || a.rowind[size_t(p)] < 0) return false;
            if (a.rowind[size_t(p)] == j) diag = true;
        }
        if (!diag) return false;
    }
    return true;
}

PermutedUpper permute_upper(const UpperCsc& a, std::vector<int64_t> perm) {
    const int64_t n = a.n;
    PermutedUpper c;
    c.perm = std::move(perm);
    c.iperm.assign(size_t(n), 0);
    for (int64_t k = 0; k < n; ++k) c.iperm[size_t(c.perm[size_t(k)])] = k;
    c.colptr.assign(size_t(n) + 1, 0);
    for (int64_t j = 0; j < n; ++j)
        for (int64_t p = a.colptr[size_t(j)]; p < a.colptr[size_t(j) + 1]; ++p) {
            const int64_t pi = c.iperm[size_t(a.rowind[size_t(p)])], pj = c.iperm[size_t(j)];
            ++c.colptr[size_t(std::max(pi, pj)) + 1];
        }
    for (int64_t j = 0; j < n; ++j) c.colptr[size_t(j) + 1] += c.colptr[size_t(j)];
    std::vector<int64_t> next(c.colptr.begin(), c.colptr.end() - 1);
    c.rowind.assign(size_t(c.colptr[size_t(n)]), 0);
    c.source.assign(size_t(c.colptr[size_t(n)]), 0);
    for (int64_t j = 0; j < n; ++j)
        for (int64_t p = a.colptr[size_t(j)]; p < a.colptr[size_t(j) + 1]; ++p) {
            const int64_t pi = c.iperm[size_t(a.rowind[size_t(p)])], pj = c.iperm[size_t(j)];
            const int64_t q = next[size_t(std::max(pi, pj))]++;
            c.rowind[size_t(q)] = std::min(pi, pj);
            c.source[size_t(q)] = p;
        }
    return c;
}

EliminationTree elimination_tree(const std::vector<int64_t>& colptr, const std::vector<int64_t>& rowind) {
    const int64_t n = int64_t(colptr.size()) - 1;
    EliminationTree t;
    t.parent.assign(size_t(n), -1);
    t.below.assign(size_t(n), 0);
    std::vector<int64_t> visited(size_t(n), -1);
    for (int64_t j = 0; j < n; ++j) {
        visited[size_t(j)] = j;
        for (int64_t p = colptr[size_t(j)]; p < colptr[size_t(j) + 1]; ++p) {
            int64_t i = rowind[size_t(p)];
            while (i != j && visited[size_t(i)] != j) {
                if (t.parent[size_t(i)] == -1) t.parent[size_t(i)] = j;
                ++t.below[size_t(i)];
                visited[size_t(i)] = j;
                i = t.parent[size_t(i)];
            }
        }
    }
    return t;
}

bool order_pattern(const UpperCsc& a, OrderedPattern& out) {
    if (!valid_upper(a)) return false;
    out.upper = permute_upper(a, linalg::minimum_degree_order(a.n, a.colptr, a.rowind, linalg::Triangle::upper));
    out.tree = elimination_tree(out.upper.colptr, out.upper.rowind);
    return true;
}

double OrderedPattern::flops_per_entry() const {
    double flops = 0.0, entries = 0.0;
    for (int64_t c : tree.below) {
        flops += double(c) * double(c);
        entries += double(c) + 1.0;
    }
    return entries > 0.0 ? flops / entries : 0.0;
}

}  // namespace vlt::solve::ipm
