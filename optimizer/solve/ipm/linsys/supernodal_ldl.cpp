#include "solve/ipm/linsys/supernodal_ldl.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "linalg/blas.hpp"

namespace vlt::solve::ipm {

namespace {
constexpr int64_t kPanel = 48;  // columns factored at a time inside a supernode
// Products smaller than this many multiply-adds run in plain loops (a BLAS
// call costs more than it saves there).
constexpr int64_t kBlasWork = 4096;

// Relaxed supernodes: a chain of columns is merged while the share of
// explicit zeros in the merged block stays within the bound for its width.
bool merge_allowed(int64_t columns, double zero_share) {
    if (columns <= 4) return true;
    if (columns <= 16) return zero_share <= 0.8;
    if (columns <= 48) return zero_share <= 0.1;
    return zero_share <= 0.05;
}

// C = alpha A B' + beta C (column-major), by BLAS when large enough.
void product_nt(int64_t m, int64_t n, int64_t k, double alpha, const double* a, int64_t lda, const double* b,
                int64_t ldb, double beta, double* c, int64_t ldc) {
    if (m <= 0 || n <= 0) return;
    if (m * n * k >= kBlasWork) {
        linalg::gemm_nt(int(m), int(n), int(k), alpha, a, int(lda), b, int(ldb), beta, c, int(ldc));
        return;
    }
    for (int64_t j = 0; j < n; ++j) {
        double* cj = c + j * ldc;
        if (beta == 0.0)
            std::fill(cj, cj + m, 0.0);
        for (int64_t t = 0; t < k; ++t) {
            const double f = alpha * b[j + t * ldb];
            const double* at = a + t * lda;
            for (int64_t i = 0; i < m; ++i) cj[i] += f * at[i];
        }
    }
}

// Children-before-parents order of a forest given by parent (-1 at roots).
std::vector<int64_t> postorder(const std::vector<int64_t>& parent) {
    const int64_t n = int64_t(parent.size());
    std::vector<int64_t> head(size_t(n), -1), next(size_t(n), -1), order, stack;
    order.reserve(size_t(n));
    for (int64_t j = n - 1; j >= 0; --j)
        if (parent[size_t(j)] >= 0) {
            next[size_t(j)] = head[size_t(parent[size_t(j)])];
            head[size_t(parent[size_t(j)])] = j;
        }
    for (int64_t root = 0; root < n; ++root) {
        if (parent[size_t(root)] >= 0) continue;
        stack.push_back(root);
        while (!stack.empty()) {
            const int64_t j = stack.back();
            const int64_t child = head[size_t(j)];
            if (child < 0) {
                order.push_back(j);
                stack.pop_back();
            } else {
                head[size_t(j)] = next[size_t(child)];
                stack.push_back(child);
            }
        }
    }
    return order;
}
}  // namespace

bool SupernodalLdl::analyze(const UpperCsc& a) {
    OrderedPattern pattern;
    return order_pattern(a, pattern) && analyze(a, std::move(pattern));
}

bool SupernodalLdl::analyze(const UpperCsc& a, OrderedPattern pattern) {
    n_ = a.n;
    // Postorder the elimination tree so that chains of columns are adjacent.
    const std::vector<int64_t> post = postorder(pattern.tree.parent);
    std::vector<int64_t> perm(static_cast<size_t>(n_));
    for (int64_t k = 0; k < n_; ++k) perm[size_t(k)] = pattern.upper.perm[size_t(post[size_t(k)])];
    PermutedUpper c = permute_upper(a, std::move(perm));
    const EliminationTree tree = elimination_tree(c.colptr, c.rowind);
    perm_ = c.perm;
    find_supernodes(tree);
    find_rows(c, tree);
    find_updates();
    assemble_.assign(a.rowind.size(), 0);
    for (int64_t j = 0; j < n_; ++j)
        for (int64_t q = c.colptr[size_t(j)]; q < c.colptr[size_t(j) + 1]; ++q) {
            const int64_t i = c.rowind[size_t(q)];  // entry (j, i) of the lower triangle
            const int64_t s = snode_[size_t(i)];
            const int64_t m = rowptr_[size_t(s) + 1] - rowptr_[size_t(s)];
            assemble_[size_t(c.source[size_t(q)])] = offset_[size_t(s)] + (i - first_[size_t(s)]) * m + row_position(s, j);
        }
    d_.assign(size_t(n_), 0.0);
    x_.assign(size_t(n_), 0.0);
    return true;
}

void SupernodalLdl::find_supernodes(const EliminationTree& tree) {
    first_.assign(1, 0);
    snode_.assign(size_t(n_), 0);
    int64_t f = 0;
    double actual = n_ > 0 ? double(tree.below[0]) + 1.0 : 0.0;  // entries of L in columns f .. j
    for (int64_t j = 1; j < n_; ++j) {
        const int64_t below = tree.below[size_t(j)];
        bool merge = tree.parent[size_t(j - 1)] == j;
        if (merge && tree.below[size_t(j - 1)] != below + 1) {
            const double k = double(j - f + 1);
            const double stored = 0.5 * k * (k + 1.0) + k * double(below);
            merge = merge_allowed(j - f + 1, (stored - actual - double(below) - 1.0) / stored);
        }
        if (!merge) {
            first_.push_back(j);
            f = j;
            actual = 0.0;
        }
        actual += double(below) + 1.0;
        snode_[size_t(j)] = int64_t(first_.size()) - 1;
    }
    first_.push_back(n_);
}

// Rows of each supernode: its columns, then the union of the rows of the
// matrix below them and of its children's rows below it.
void SupernodalLdl::find_rows(const PermutedUpper& c, const EliminationTree& tree) {
    const int64_t ns = int64_t(first_.size()) - 1;
    // The lower triangle's pattern by columns (the upper one by rows).
    std::vector<int64_t> lp(size_t(n_) + 1, 0), li(c.rowind.size());
    for (int64_t i : c.rowind) ++lp[size_t(i) + 1];
    for (int64_t j = 0; j < n_; ++j) lp[size_t(j) + 1] += lp[size_t(j)];
    {
        std::vector<int64_t> next(lp.begin(), lp.end() - 1);
        for (int64_t j = 0; j < n_; ++j)
            for (int64_t q = c.colptr[size_t(j)]; q < c.colptr[size_t(j) + 1]; ++q) li[size_t(next[size_t(c.rowind[size_t(q)])]++)] = j;
    }
    std::vector<int64_t> child_head(size_t(ns), -1), child_next(size_t(ns), -1), mark(size_t(n_), -1), below;
    rowptr_.assign(1, 0);
    rows_.clear();
    offset_.assign(1, 0);
    stored_ = 0;
    for (int64_t s = 0; s < ns; ++s) {
        const int64_t f = first_[size_t(s)], l = first_[size_t(s) + 1];
        below.clear();
        auto add = [&](int64_t row) {
            if (row >= l && mark[size_t(row)] != s) {
                mark[size_t(row)] = s;
                below.push_back(row);
            }
        };
        for (int64_t j = f; j < l; ++j)
            for (int64_t q = lp[size_t(j)]; q < lp[size_t(j) + 1]; ++q) add(li[size_t(q)]);
        for (int64_t ch = child_head[size_t(s)]; ch >= 0; ch = child_next[size_t(ch)])
            for (int64_t q = rowptr_[size_t(ch)]; q < rowptr_[size_t(ch) + 1]; ++q) add(rows_[size_t(q)]);
        std::sort(below.begin(), below.end());
        for (int64_t j = f; j < l; ++j) rows_.push_back(j);
        rows_.insert(rows_.end(), below.begin(), below.end());
        rowptr_.push_back(int64_t(rows_.size()));
        const int64_t k = l - f, m = k + int64_t(below.size());
        offset_.push_back(offset_.back() + m * k);
        stored_ += m * k - k * (k - 1) / 2;
        const int64_t parent = tree.parent[size_t(l - 1)];
        if (parent >= 0) {
            const int64_t ps = snode_[size_t(parent)];
            child_next[size_t(s)] = child_head[size_t(ps)];
            child_head[size_t(ps)] = s;
        }
    }
    lx_.assign(size_t(offset_.back()), 0.0);
}

// The below rows of each supernode in runs by the supernode they fall in,
// and the work space of the largest update.
void SupernodalLdl::find_updates() {
    const int64_t ns = int64_t(first_.size()) - 1;
    runptr_.assign(1, 0);
    run_begin_.clear();
    run_target_.clear();
    size_t wsize = 0, csize = 0, rmax = 0;
    for (int64_t s = 0; s < ns; ++s) {
        const int64_t k = first_[size_t(s) + 1] - first_[size_t(s)];
        const int64_t b0 = rowptr_[size_t(s)] + k, r = rowptr_[size_t(s) + 1] - b0;
        for (int64_t i = 0; i < r;) {
            const int64_t t = snode_[size_t(rows_[size_t(b0 + i)])];
            int64_t e = i + 1;
            while (e < r && snode_[size_t(rows_[size_t(b0 + e)])] == t) ++e;
            run_begin_.push_back(i);
            run_target_.push_back(t);
            csize = std::max(csize, size_t((r - i) * (e - i)));
            i = e;
        }
        run_begin_.push_back(r);  // end of the last run (read through run r+1's begin)
        run_target_.push_back(-1);
        runptr_.push_back(int64_t(run_begin_.size()));
        wsize = std::max(wsize, size_t(std::max(r, std::min(k, kPanel)) * k));
        rmax = std::max(rmax, size_t(r));
    }
    wbuf_.assign(wsize, 0.0);
    cbuf_.assign(csize, 0.0);
    pos_.assign(rmax, 0);
    gathered_.assign(rmax, 0.0);
    product_.assign(rmax, 0.0);
}

int64_t SupernodalLdl::row_position(int64_t s, int64_t row) const {
    const int64_t f = first_[size_t(s)], l = first_[size_t(s) + 1];
    if (row < l) return row - f;
    const auto begin = rows_.begin() + (rowptr_[size_t(s)] + (l - f)), end = rows_.begin() + rowptr_[size_t(s) + 1];
    return (l - f) + (std::lower_bound(begin, end, row) - begin);
}

int64_t SupernodalLdl::factor(const std::vector<double>& values, const std::vector<int8_t>& signs,
                              double pivot_tolerance, double pivot_replacement) {
    std::fill(lx_.begin(), lx_.end(), 0.0);
    for (size_t p = 0; p < assemble_.size(); ++p) lx_[size_t(assemble_[p])] += values[p];
    int64_t replaced = 0;
    const int64_t ns = int64_t(first_.size()) - 1;
    for (int64_t s = 0; s < ns; ++s) {
        const int64_t status = factor_block(s, signs, pivot_tolerance, pivot_replacement, replaced);
        if (status < 0) return status;
        update_ancestors(s);
        const double k = double(first_[size_t(s) + 1] - first_[size_t(s)]);
        const double r = double(rowptr_[size_t(s) + 1] - rowptr_[size_t(s)]) - k;
        if (interrupted_after(k * r * r)) return kInterrupted;
    }
    return replaced;
}

// Dense LDL' of supernode s's block (m x k, column-major): panels of kPanel
// columns by column updates, the columns right of a panel by one product.
// 0, -1 (a pivot not finite) or kInterrupted.
int64_t SupernodalLdl::factor_block(int64_t s, const std::vector<int8_t>& signs, double tolerance, double replacement,
                                 int64_t& replaced) {
    const int64_t f = first_[size_t(s)], k = first_[size_t(s) + 1] - f;
    const int64_t m = rowptr_[size_t(s) + 1] - rowptr_[size_t(s)];
    double* L = lx_.data() + offset_[size_t(s)];
    for (int64_t j0 = 0; j0 < k; j0 += kPanel) {
        const int64_t jb = std::min(kPanel, k - j0), j1 = j0 + jb;
        for (int64_t j = j0; j < j1; ++j) {
            double* colj = L + j * m;
            double dj = colj[j];
            if (!std::isfinite(dj)) return -1;
            dj = signed_pivot(dj, signs[size_t(perm_[size_t(f + j)])], tolerance, replacement, replaced);
            d_[size_t(f + j)] = dj;
            for (int64_t c = j + 1; c < j1; ++c) {
                const double factor = colj[c] / dj;
                double* colc = L + c * m;
                for (int64_t i = c; i < m; ++i) colc[i] -= colj[i] * factor;
            }
            const double inv = 1.0 / dj;
            for (int64_t i = j + 1; i < m; ++i) colj[i] *= inv;
        }
        if (interrupted_after(double(jb) * double(m - j0) * double(k - j0))) return kInterrupted;
        if (j1 >= k) break;
        // L[j1:m, j1:k] -= L[j1:m, panel] D L[j1:k, panel]'
        const int64_t rest = k - j1;
        for (int64_t t = 0; t < jb; ++t) {
            const double dt = d_[size_t(f + j0 + t)];
            const double* col = L + (j0 + t) * m + j1;
            for (int64_t i = 0; i < rest; ++i) wbuf_[size_t(i + t * rest)] = col[i] * dt;
        }
        product_nt(m - j1, rest, jb, -1.0, L + j0 * m + j1, m, wbuf_.data(), rest, 1.0, L + j1 * m + j1, m);
    }
    return 0;
}

// Subtracts L_B D L_B' (B: the rows below supernode s) from the supernodes
// those rows belong to, one target at a time.
void SupernodalLdl::update_ancestors(int64_t s) {
    const int64_t f = first_[size_t(s)], k = first_[size_t(s) + 1] - f;
    const int64_t m = rowptr_[size_t(s) + 1] - rowptr_[size_t(s)], r = m - k;
    if (r == 0) return;
    const double* L = lx_.data() + offset_[size_t(s)];
    const int64_t* below = rows_.data() + rowptr_[size_t(s)] + k;
    for (int64_t t = 0; t < k; ++t) {
        const double dt = d_[size_t(f + t)];
        for (int64_t i = 0; i < r; ++i) wbuf_[size_t(i + t * r)] = L[k + i + t * m] * dt;
    }
    for (int64_t run = runptr_[size_t(s)]; run + 1 < runptr_[size_t(s) + 1]; ++run) {
        const int64_t a = run_begin_[size_t(run)], b = run_begin_[size_t(run) + 1], target = run_target_[size_t(run)];
        const int64_t rows = r - a, cols = b - a;
        product_nt(rows, cols, k, 1.0, L + k + a, m, wbuf_.data() + a, r, 0.0, cbuf_.data(), rows);
        const int64_t ft = first_[size_t(target)], mt = rowptr_[size_t(target) + 1] - rowptr_[size_t(target)];
        for (int64_t i = 0; i < rows; ++i) pos_[size_t(i)] = row_position(target, below[a + i]);
        double* T = lx_.data() + offset_[size_t(target)];
        for (int64_t j = 0; j < cols; ++j) {
            double* dst = T + (below[a + j] - ft) * mt;
            const double* src = cbuf_.data() + j * rows;
            for (int64_t i = j; i < rows; ++i) dst[pos_[size_t(i)]] -= src[i];
        }
    }
}

void SupernodalLdl::solve(std::vector<double>& b) const {
    const int64_t ns = int64_t(first_.size()) - 1;
    double* x = x_.data();
    for (int64_t i = 0; i < n_; ++i) x[i] = b[size_t(perm_[size_t(i)])];
    // L y = x
    for (int64_t s = 0; s < ns; ++s) {
        const int64_t f = first_[size_t(s)], k = first_[size_t(s) + 1] - f;
        const int64_t m = rowptr_[size_t(s) + 1] - rowptr_[size_t(s)], r = m - k;
        const double* L = lx_.data() + offset_[size_t(s)];
        for (int64_t t = 0; t < k; ++t) {
            const double xt = x[f + t];
            if (xt != 0.0)
                for (int64_t i = t + 1; i < k; ++i) x[f + i] -= L[i + t * m] * xt;
        }
        if (r == 0) continue;
        const int64_t* below = rows_.data() + rowptr_[size_t(s)] + k;
        linalg::gemv(false, int(r), int(k), 1.0, L + k, int(m), x + f, 0.0, product_.data());
        for (int64_t i = 0; i < r; ++i) x[below[i]] -= product_[size_t(i)];
    }
    for (int64_t i = 0; i < n_; ++i) x[i] /= d_[size_t(i)];
    // L' x = y
    for (int64_t s = ns - 1; s >= 0; --s) {
        const int64_t f = first_[size_t(s)], k = first_[size_t(s) + 1] - f;
        const int64_t m = rowptr_[size_t(s) + 1] - rowptr_[size_t(s)], r = m - k;
        const double* L = lx_.data() + offset_[size_t(s)];
        if (r > 0) {
            const int64_t* below = rows_.data() + rowptr_[size_t(s)] + k;
            for (int64_t i = 0; i < r; ++i) gathered_[size_t(i)] = x[below[i]];
            linalg::gemv(true, int(r), int(k), -1.0, L + k, int(m), gathered_.data(), 1.0, x + f);
        }
        for (int64_t t = k - 1; t >= 0; --t) {
            double v = x[f + t];
            for (int64_t i = t + 1; i < k; ++i) v -= L[i + t * m] * x[f + i];
            x[f + t] = v;
        }
    }
    for (int64_t i = 0; i < n_; ++i) b[size_t(perm_[size_t(i)])] = x[i];
}

}  // namespace vlt::solve::ipm
