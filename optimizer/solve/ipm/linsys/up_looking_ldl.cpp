#include "solve/ipm/linsys/up_looking_ldl.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include <Eigen/Dense>

#include "solve/ipm/linsys/symbolic.hpp"

namespace vlt::solve::ipm {

namespace {
constexpr int64_t kMinDense = 300;     // smaller trailing blocks stay sparse
constexpr int64_t kMaxDense = 12000;   // memory bound of the dense block
constexpr int64_t kBlock = 64;         // panel width of the dense factorization
// Sparse columns go into the Schur complement in panels of at most kPanel
// columns, grown only while the panel's dense product costs at most
// kProductGain times the column-by-column updates it replaces (a dense
// product runs that much faster than updates scattered over a block far
// larger than the cache); the product is formed kProductCols columns at a
// time.
constexpr int64_t kPanel = 64;
constexpr double kProductGain = 8.0;
constexpr int64_t kProductCols = 256;
}  // namespace

bool UpLookingLdl::analyze(const UpperCsc& a) {
    OrderedPattern pattern;
    return order_pattern(a, pattern) && analyze(a, std::move(pattern));
}

bool UpLookingLdl::analyze(const UpperCsc& a, OrderedPattern pattern) {
    n_ = a.n;
    const int64_t n = n_;
    perm_ = std::move(pattern.upper.perm);
    iperm_ = std::move(pattern.upper.iperm);
    cp_ = std::move(pattern.upper.colptr);
    ci_ = std::move(pattern.upper.rowind);
    csrc_ = std::move(pattern.upper.source);
    cx_.assign(ci_.size(), 0.0);
    etree_ = std::move(pattern.tree.parent);
    lnz_ = std::move(pattern.tree.below);
    // Split off a dense trailing block when the factor's last columns are
    // mostly full: the largest trailing block with at least half of its
    // lower triangle filled.
    k0_ = n;
    nd_ = 0;
    {
        double filled = 0.0;
        for (int64_t nd = 1; nd <= n && nd <= kMaxDense; ++nd) {
            filled += double(lnz_[size_t(n - nd)]);
            double full = 0.5 * double(nd) * double(nd - 1);
            if (nd >= kMinDense && filled >= 0.5 * full) nd_ = nd;
        }
        k0_ = n - nd_;
        for (int64_t c = k0_; c < n; ++c) lnz_[size_t(c)] = 0;
        dense_.assign(size_t(nd_ * nd_), 0.0);
        dwork_.assign(size_t(nd_), 0.0);
    }
    lp_.assign(size_t(n) + 1, 0);
    for (int64_t i = 0; i < n; ++i) lp_[size_t(i) + 1] = lp_[size_t(i)] + lnz_[size_t(i)];
    li_.assign(size_t(lp_[size_t(n)]), 0);
    lx_.assign(size_t(lp_[size_t(n)]), 0.0);
    d_.assign(size_t(n), 0.0);
    dinv_.assign(size_t(n), 0.0);
    yvals_.assign(size_t(n), 0.0);
    yidx_.assign(size_t(n), 0);
    elim_.assign(size_t(n), 0);
    next_.assign(size_t(n), 0);
    marker_.assign(size_t(n), 0);
    work_.assign(size_t(n), 0.0);
    panel_pos_.assign(size_t(nd_), -1);
    return true;
}

// Entries of sparse column c in the rows of the dense block: its last ones.
std::pair<int64_t, int64_t> UpLookingLdl::dense_rows(int64_t c) const {
    int64_t first = lp_[size_t(c) + 1];
    while (first > lp_[size_t(c)] && li_[size_t(first - 1)] >= k0_) --first;
    return {first, lp_[size_t(c) + 1]};
}

// S -= sum_c d_c l_c l_c' over the dense rows of each sparse column c (the
// lower triangle of S, column-major).  Columns are taken in panels: the
// panel's rows W (union of their dense rows x columns) give W D W' by one
// dense product, which is then subtracted from S at those rows.
void UpLookingLdl::subtract_sparse_columns() {
    const int64_t k0 = k0_;
    int64_t c = 0;
    while (c < k0) {
        panel_cols_.clear();
        panel_rows_.clear();
        double column_cost = 0.0;  // sum of n_c^2 over the panel
        for (; c < k0 && int64_t(panel_cols_.size()) < kPanel; ++c) {
            const auto [first, last] = dense_rows(c);
            if (first == last) continue;
            int64_t fresh = 0;
            for (int64_t q = first; q < last; ++q) fresh += panel_pos_[size_t(li_[size_t(q)] - k0)] < 0;
            const double rows = double(panel_rows_.size()) + double(fresh);
            const double count = double(last - first);
            const double product_cost = rows * rows * double(panel_cols_.size() + 1);
            if (!panel_cols_.empty() && product_cost > kProductGain * (column_cost + count * count)) break;
            panel_cols_.push_back(c);
            column_cost += count * count;
            for (int64_t q = first; q < last; ++q) {
                const int64_t r = li_[size_t(q)] - k0;
                if (panel_pos_[size_t(r)] < 0) {
                    panel_pos_[size_t(r)] = 0;
                    panel_rows_.push_back(r);
                }
            }
        }
        if (!panel_cols_.empty()) subtract_panel();
        for (int64_t r : panel_rows_) panel_pos_[size_t(r)] = -1;
    }
}

void UpLookingLdl::subtract_panel() {
    const int64_t k0 = k0_, nd = nd_;
    std::sort(panel_rows_.begin(), panel_rows_.end());
    const auto u = Eigen::Index(panel_rows_.size()), p = Eigen::Index(panel_cols_.size());
    for (Eigen::Index a = 0; a < u; ++a) panel_pos_[size_t(panel_rows_[size_t(a)])] = int64_t(a);
    panel_w_.assign(size_t(u * p), 0.0);
    panel_wd_.resize(size_t(u * p));
    Eigen::Map<Eigen::MatrixXd> w(panel_w_.data(), u, p), wd(panel_wd_.data(), u, p);
    for (Eigen::Index k = 0; k < p; ++k) {
        const auto [first, last] = dense_rows(panel_cols_[size_t(k)]);
        for (int64_t q = first; q < last; ++q) w(Eigen::Index(panel_pos_[size_t(li_[size_t(q)] - k0)]), k) = lx_[size_t(q)];
        wd.col(k) = w.col(k) * d_[size_t(panel_cols_[size_t(k)])];
    }
    // Columns b0 .. b0+nb of W D W', from their diagonal down.
    panel_t_.resize(size_t(u * std::min<Eigen::Index>(u, kProductCols)));
    double* S = dense_.data();
    const int64_t* rows = panel_rows_.data();
    for (Eigen::Index b0 = 0; b0 < u; b0 += kProductCols) {
        const Eigen::Index nb = std::min<Eigen::Index>(kProductCols, u - b0);
        Eigen::Map<Eigen::MatrixXd> t(panel_t_.data(), u - b0, nb);
        t.noalias() = w.bottomRows(u - b0) * wd.middleRows(b0, nb).transpose();
        for (Eigen::Index b = 0; b < nb; ++b) {
            double* col = S + rows[b0 + b] * nd;
            for (Eigen::Index a = b; a < u - b0; ++a) col[rows[b0 + a]] -= t(a, b);
        }
    }
}

int64_t UpLookingLdl::factor(const std::vector<double>& values, const std::vector<int8_t>& signs,
                             double pivot_tolerance, double pivot_replacement) {
    const int64_t n = n_, k0 = k0_, nd = nd_;
    for (size_t p = 0; p < cx_.size(); ++p) cx_[p] = values[size_t(csrc_[p])];
    for (int64_t i = 0; i < n; ++i) next_[size_t(i)] = lp_[size_t(i)];
    std::fill(dense_.begin(), dense_.end(), 0.0);
    int64_t regularized = 0;
    auto pivot = [&](int64_t k, double dk) {
        return signed_pivot(dk, signs[size_t(perm_[size_t(k)])], pivot_tolerance, pivot_replacement, regularized);
    };
    // Up-looking rows; rows of the dense block only take their part in the
    // sparse columns (the rest is the Schur complement, formed below).
    for (int64_t k = 0; k < n; ++k) {
        const bool in_dense = k >= k0;
        const int64_t limit = std::min(k, k0);
        int64_t nnzy = 0;
        double dk = 0.0;
        for (int64_t p = cp_[size_t(k)]; p < cp_[size_t(k) + 1]; ++p) {
            int64_t b = ci_[size_t(p)];
            if (b == k) {
                dk += cx_[size_t(p)];
                continue;
            }
            if (b >= k0) {  // both in the dense block
                dense_[size_t((b - k0) * nd + (k - k0))] += cx_[size_t(p)];
                continue;
            }
            yvals_[size_t(b)] = cx_[size_t(p)];
            if (marker_[size_t(b)]) continue;
            // Walk up the elimination tree to collect the pattern of row k.
            int64_t ne = 0;
            int64_t i = b;
            while (i != -1 && i < limit && !marker_[size_t(i)]) {
                marker_[size_t(i)] = 1;
                elim_[size_t(ne++)] = i;
                i = etree_[size_t(i)];
            }
            while (ne > 0) yidx_[size_t(nnzy++)] = elim_[size_t(--ne)];
        }
        for (int64_t t = nnzy - 1; t >= 0; --t) {
            int64_t c = yidx_[size_t(t)];
            double yc = yvals_[size_t(c)];
            int64_t end = next_[size_t(c)];
            for (int64_t q = lp_[size_t(c)]; q < end; ++q) {
                int64_t r = li_[size_t(q)];
                if (r >= k0) break;  // rows of the dense block: Schur complement
                yvals_[size_t(r)] -= lx_[size_t(q)] * yc;
            }
            double l = yc * dinv_[size_t(c)];
            li_[size_t(end)] = k;
            lx_[size_t(end)] = l;
            if (!in_dense) dk -= yc * l;
            next_[size_t(c)] = end + 1;
            yvals_[size_t(c)] = 0.0;
            marker_[size_t(c)] = 0;
        }
        if (in_dense) {
            dense_[size_t((k - k0) * nd + (k - k0))] += dk;
            continue;
        }
        if (!std::isfinite(dk)) return -1;
        if (interrupted_after(double(nnzy) * double(nnzy))) return kInterrupted;
        dk = pivot(k, dk);
        d_[size_t(k)] = dk;
        dinv_[size_t(k)] = 1.0 / dk;
    }
    if (nd == 0) return regularized;

    subtract_sparse_columns();
    double* S = dense_.data();
    // Blocked right-looking LDL' of S.
    using Mat = Eigen::Map<Eigen::MatrixXd>;
    Mat sm(S, Eigen::Index(nd), Eigen::Index(nd));
    std::vector<double> wbuf;
    for (int64_t j0 = 0; j0 < nd; j0 += kBlock) {
        const int64_t jb = std::min(kBlock, nd - j0);
        for (int64_t j = j0; j < j0 + jb; ++j) {
            double dj = S[j * nd + j];
            if (!std::isfinite(dj)) return -1;
            dj = pivot(k0 + j, dj);
            d_[size_t(k0 + j)] = dj;
            dinv_[size_t(k0 + j)] = 1.0 / dj;
            double* colj = S + j * nd;
            // update the remaining columns of the panel with the unscaled column
            for (int64_t k = j + 1; k < j0 + jb; ++k) {
                const double f = colj[k] / dj;
                double* colk = S + k * nd;
                for (int64_t i = k; i < nd; ++i) colk[i] -= colj[i] * f;
            }
            const double inv = 1.0 / dj;
            for (int64_t i = j + 1; i < nd; ++i) colj[i] *= inv;
        }
        const int64_t m2 = nd - (j0 + jb);
        if (m2 <= 0) continue;
        if (interrupted_after(double(jb) * double(m2) * double(m2))) return kInterrupted;
        auto lp = sm.block(Eigen::Index(j0 + jb), Eigen::Index(j0), Eigen::Index(m2), Eigen::Index(jb));
        Eigen::MatrixXd w = lp;
        for (int64_t t = 0; t < jb; ++t) w.col(Eigen::Index(t)) *= d_[size_t(k0 + j0 + t)];
        sm.block(Eigen::Index(j0 + jb), Eigen::Index(j0 + jb), Eigen::Index(m2), Eigen::Index(m2))
            .triangularView<Eigen::Lower>() -= w * lp.transpose();
    }
    return regularized;
}

void UpLookingLdl::solve(std::vector<double>& b) const {
    const int64_t n = n_;
    for (int64_t i = 0; i < n; ++i) work_[size_t(iperm_[size_t(i)])] = b[size_t(i)];
    for (int64_t i = 0; i < k0_; ++i) {
        double xi = work_[size_t(i)];
        if (xi != 0.0)
            for (int64_t q = lp_[size_t(i)]; q < lp_[size_t(i) + 1]; ++q) work_[size_t(li_[size_t(q)])] -= lx_[size_t(q)] * xi;
    }
    if (nd_ > 0) {
        Eigen::Map<const Eigen::MatrixXd> sm(dense_.data(), Eigen::Index(nd_), Eigen::Index(nd_));
        Eigen::Map<Eigen::VectorXd> x2(work_.data() + k0_, Eigen::Index(nd_));
        sm.triangularView<Eigen::UnitLower>().solveInPlace(x2);
        for (int64_t i = k0_; i < n; ++i) work_[size_t(i)] *= dinv_[size_t(i)];
        sm.transpose().triangularView<Eigen::UnitUpper>().solveInPlace(x2);
    }
    for (int64_t i = 0; i < k0_; ++i) work_[size_t(i)] *= dinv_[size_t(i)];
    for (int64_t i = k0_ - 1; i >= 0; --i) {
        double s = work_[size_t(i)];
        for (int64_t q = lp_[size_t(i)]; q < lp_[size_t(i) + 1]; ++q) s -= lx_[size_t(q)] * work_[size_t(li_[size_t(q)])];
        work_[size_t(i)] = s;
    }
    for (int64_t i = 0; i < n; ++i) b[size_t(i)] = work_[size_t(iperm_[size_t(i)])];
}

}  // namespace vlt::solve::ipm
