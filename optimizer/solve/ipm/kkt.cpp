#include "solve/ipm/kkt.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vlt::solve::ipm {

namespace {
// Static regularization of the primal block and of the zero-cone rows.  Rows
// of the other cones are left alone: their scaling H is positive,
// and a regularization above H (which tends to 0 on active rows) would make
// the refinement converge too slowly on degenerate problems.
constexpr double kPrimalReg = 1e-8;
constexpr double kDualReg = 1e-8;
constexpr double kPivotTolerance = 1e-13;
constexpr double kPivotReplacement = 1e-7;
}  // namespace

Kkt::Kkt(const ConicForm& f, const CompositeCone& cones)
    : n_(f.n), m_(f.m), size_(f.n + f.m), cones_(&cones) {
    // G row-wise.
    std::vector<int64_t> rp(size_t(m_) + 1, 0);
    for (int64_t p = 0; p < f.gptr[size_t(n_)]; ++p) ++rp[size_t(f.gind[size_t(p)]) + 1];
    for (int64_t i = 0; i < m_; ++i) rp[size_t(i) + 1] += rp[size_t(i)];
    std::vector<int64_t> rc(size_t(rp[size_t(m_)]));
    std::vector<double> rv(size_t(rp[size_t(m_)]));
    {
        std::vector<int64_t> next(rp.begin(), rp.end() - 1);
        for (int64_t j = 0; j < n_; ++j)
            for (int64_t p = f.gptr[size_t(j)]; p < f.gptr[size_t(j) + 1]; ++p) {
                int64_t q = next[size_t(f.gind[size_t(p)])]++;
                rc[size_t(q)] = j;
                rv[size_t(q)] = f.gval[size_t(p)];
            }
    }
    for (size_t c = 0; c < cones.count(); ++c) size_ += int64_t(cones.cone(c).block_shape().extra_columns.size());

    k_.n = size_;
    k_.colptr.assign(size_t(size_) + 1, 0);
    diag_.assign(size_t(size_), 0);
    signs_.assign(size_t(size_), 1);
    reg_.assign(size_t(size_), kPrimalReg);
    eliminated_ = EliminatedCones(n_, cones, rp, rc, rv);
    // The primal block: P, merged with the entries of the Schur complements
    // of eliminated cones (schur_pos_ records where each of those goes).
    const std::vector<std::pair<int64_t, int64_t>> schur = eliminated_.pattern();
    std::vector<std::vector<std::pair<int64_t, int64_t>>> schur_in(static_cast<size_t>(n_));  // per column: (row, value index)
    for (size_t t = 0; t < schur.size(); ++t) schur_in[size_t(schur[t].second)].emplace_back(schur[t].first, int64_t(t));
    schur_pos_.assign(schur.size(), -1);
    for (int64_t j = 0; j < n_; ++j) {
        std::vector<std::pair<int64_t, int64_t>>& extra = schur_in[size_t(j)];
        std::sort(extra.begin(), extra.end());
        size_t e = 0;
        auto take_extra_below = [&](int64_t row) {
            for (; e < extra.size() && extra[e].first < row; ++e) {
                if (e == 0 || extra[e - 1].first != extra[e].first) {
                    k_.rowind.push_back(extra[e].first);
                    base_.push_back(0.0);
                }
                schur_pos_[size_t(extra[e].second)] = int64_t(k_.rowind.size()) - 1;
            }
        };
        for (int64_t p = f.p.colptr[size_t(j)]; p < f.p.colptr[size_t(j) + 1]; ++p) {
            const int64_t row = f.p.rowind[size_t(p)];
            take_extra_below(row);
            if (row == j) diag_[size_t(j)] = int64_t(k_.rowind.size());
            k_.rowind.push_back(row);
            base_.push_back(f.p.values[size_t(p)]);
            for (; e < extra.size() && extra[e].first == row; ++e) schur_pos_[size_t(extra[e].second)] = int64_t(k_.rowind.size()) - 1;
        }
        take_extra_below(n_);
        k_.colptr[size_t(j) + 1] = int64_t(k_.rowind.size());
    }
    add_cone_blocks(cones, rp, rc, rv);
    k_.values = base_;
    base_reg_ = reg_;
    block_values_.assign(size_t(cones.block_value_count()), 0.0);
    res_.assign(size_t(size_), 0.0);
    corr_.assign(size_t(size_), 0.0);
}

// The columns of the rows of G (their entries of G, then the cone's block
// above the diagonal, then the diagonal), then the cones' extra columns;
// block_pos_ records where each value of a cone's block goes.
void Kkt::add_cone_blocks(const CompositeCone& cones, const std::vector<int64_t>& rp, const std::vector<int64_t>& rc,
                          const std::vector<double>& rv) {
    block_pos_.assign(size_t(cones.block_value_count()), -1);
    block_sign_.assign(size_t(cones.block_value_count()), -1);
    auto entry = [&](int64_t row, double value) {
        k_.rowind.push_back(row);
        base_.push_back(value);
        return int64_t(k_.rowind.size()) - 1;
    };
    int64_t value_start = 0, node = n_ + m_;
    for (size_t c = 0; c < cones.count(); ++c) {
        const BlockShape shape = cones.cone(c).block_shape();
        const int64_t start = cones.start(c), dim = cones.cone(c).dim();
        const bool dense = shape.kind == BlockShape::Kind::dense;
        value_start_.push_back(value_start);
        if (eliminated_.eliminated(c)) {
            // Rows kept only as decoupled pivots -1; their block is folded
            // into the primal block.
            for (int64_t l = 0; l < dim; ++l) {
                const int64_t col = n_ + start + l;
                diag_[size_t(col)] = entry(col, -1.0);
                decoupled_diag_.push_back(diag_[size_t(col)]);
                k_.colptr[size_t(col) + 1] = int64_t(k_.rowind.size());
                signs_[size_t(col)] = -1;
                reg_[size_t(col)] = 0.0;
            }
            value_start += shape.value_count(dim);
            continue;
        }
        for (int64_t l = 0; l < dim; ++l) {
            const int64_t i = start + l, col = n_ + i;
            for (int64_t p = rp[size_t(i)]; p < rp[size_t(i) + 1]; ++p) entry(rc[size_t(p)], rv[size_t(p)]);
            if (dense)
                for (int64_t k = 0; k < l; ++k) block_pos_[size_t(value_start + l * (l + 1) / 2 + k)] = entry(n_ + start + k, 0.0);
            for (size_t t = 0; t < shape.off_diagonal.size(); ++t)
                if (shape.off_diagonal[t].second == l)
                    block_pos_[size_t(value_start + dim + int64_t(t))] = entry(n_ + start + shape.off_diagonal[t].first, 0.0);
            diag_[size_t(col)] = entry(col, 0.0);
            k_.colptr[size_t(col) + 1] = int64_t(k_.rowind.size());
            signs_[size_t(col)] = -1;
            reg_[size_t(col)] = shape.kind == BlockShape::Kind::equations ? -kDualReg : 0.0;
            if (shape.kind == BlockShape::Kind::diagonal) block_pos_[size_t(value_start + l)] = diag_[size_t(col)];
            if (dense) block_pos_[size_t(value_start + l * (l + 1) / 2 + l)] = diag_[size_t(col)];
        }
        // Extra columns come after all rows of G; their entries are filled
        // in below, once every row's column exists.
        value_start += shape.value_count(dim);
    }
    value_start = 0;
    for (size_t c = 0; c < cones.count(); ++c) {
        const BlockShape shape = cones.cone(c).block_shape();
        const int64_t start = cones.start(c), dim = cones.cone(c).dim();
        int64_t v = value_start + shape.s_value_count(dim);
        for (int8_t pivot_sign : shape.extra_columns) {
            for (int64_t k = 0; k < dim; ++k, ++v) {
                block_pos_[size_t(v)] = entry(n_ + start + k, 0.0);
                block_sign_[size_t(v)] = 1;
            }
            diag_[size_t(node)] = entry(node, 0.0);
            block_pos_[size_t(v)] = diag_[size_t(node)];
            block_sign_[size_t(v)] = 1;
            ++v;
            k_.colptr[size_t(node) + 1] = int64_t(k_.rowind.size());
            signs_[size_t(node)] = pivot_sign;
            reg_[size_t(node)] = 0.0;
            ++node;
        }
        value_start += shape.value_count(dim);
    }
}

bool Kkt::factor(const std::vector<double>& bound_diag, const CompositeCone& cones) {
    // A factorization that breaks down (overflow after tiny pivots) is
    // retried with a stronger regularization, which then stays in force.
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (assemble_and_factor(bound_diag, cones)) return true;
        if (reg_scale_ >= 1e6) break;
        strengthen(100.0);
    }
    return false;
}

void Kkt::strengthen(double factor) {
    reg_scale_ = std::min(reg_scale_ * factor, 1e6);
    for (size_t j = 0; j < reg_.size(); ++j) reg_[j] = base_reg_[j] * reg_scale_;
}

bool Kkt::assemble_and_factor(const std::vector<double>& bound_diag, const CompositeCone& cones) {
    std::copy(base_.begin(), base_.end(), k_.values.begin());
    for (int64_t j = 0; j < n_; ++j) k_.values[size_t(diag_[size_t(j)])] += bound_diag[size_t(j)] + reg_[size_t(j)];
    for (int64_t j = n_; j < size_; ++j) k_.values[size_t(diag_[size_t(j)])] = reg_[size_t(j)];
    for (int64_t pos : decoupled_diag_) k_.values[size_t(pos)] = -1.0;
    for (size_t c = 0; c < cones.count(); ++c) {
        if (eliminated_.eliminated(c)) continue;
        const Cone& cone = cones.cone(c);
        const int64_t count = cone.block_shape().value_count(cone.dim());
        cone.block_values(Vec(block_values_.data() + value_start_[c], size_t(count)));
        for (int64_t v = value_start_[c]; v < value_start_[c] + count; ++v)
            k_.values[size_t(block_pos_[size_t(v)])] += double(block_sign_[size_t(v)]) * block_values_[size_t(v)];
    }
    if (eliminated_.any()) {
        eliminated_.update(cones);
        const std::vector<double>& schur = eliminated_.values();
        for (size_t t = 0; t < schur.size(); ++t) k_.values[size_t(schur_pos_[t])] += schur[t];
    }
    for (double v : k_.values)
        if (!std::isfinite(v)) return false;
    int64_t nreg = ldl_.factor(k_, signs_, kPivotTolerance * reg_scale_, kPivotReplacement * reg_scale_);
    return nreg >= 0;
}

void Kkt::precondition(std::vector<double>& v) {
    if (eliminated_.any()) eliminated_.fold(*cones_, v);
    ldl_.solve(v);
    if (eliminated_.any()) eliminated_.unfold(*cones_, v);
}

void Kkt::multiply_true(const std::vector<double>& v, std::vector<double>& out) {
    std::fill(out.begin(), out.end(), 0.0);
    for (int64_t j = 0; j < size_; ++j)
        for (int64_t p = k_.colptr[size_t(j)]; p < k_.colptr[size_t(j) + 1]; ++p) {
            int64_t i = k_.rowind[size_t(p)];
            double a = k_.values[size_t(p)];
            out[size_t(i)] += a * v[size_t(j)];
            if (i != j) out[size_t(j)] += a * v[size_t(i)];
        }
    for (int64_t j = 0; j < size_; ++j) out[size_t(j)] -= reg_[size_t(j)] * v[size_t(j)];
    if (eliminated_.any()) eliminated_.correct_product(*cones_, v, out);
}

void Kkt::solve(std::vector<double>& rhs) {
    // Right-preconditioned restarted GMRES on the unregularized system, with
    // the regularized factorization as preconditioner.  Where the static or
    // dynamic regularization dominates a pivot, plain iterative refinement
    // converges slowly or not at all; GMRES deals with the few eigenvalues
    // of the preconditioned operator that are far from 1.
    const size_t n = size_t(size_);
    const size_t outer = rhs.size();
    rhs.resize(n, 0.0);  // the extra columns of expanded cones have zero right-hand side
    struct Shrink {
        std::vector<double>& v;
        size_t size;
        ~Shrink() { v.resize(size); }
    } shrink{rhs, outer};
    const std::vector<double> b = rhs;
    auto norm2 = [](const std::vector<double>& v) {
        double s = 0.0;
        for (double t : v) s += t * t;
        return std::sqrt(s);
    };
    const double bnorm = norm2(b);
    precondition(rhs);  // x0
    if (bnorm == 0.0) return;
    const double tol = 1e-14 * bnorm;
    constexpr int kRestart = 20, kCycles = 3;
    std::vector<std::vector<double>> v(kRestart + 1, std::vector<double>(n)), z(kRestart, std::vector<double>(n));
    std::vector<double> hcol((kRestart + 1) * kRestart, 0.0), cs(kRestart), sn(kRestart), g(kRestart + 1);
    auto h = [&](int i, int j) -> double& { return hcol[size_t(j * (kRestart + 1) + i)]; };
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        multiply_true(rhs, res_);
        for (size_t i = 0; i < n; ++i) res_[i] = b[i] - res_[i];
        double beta = norm2(res_);
        if (!(beta > tol)) return;
        for (size_t i = 0; i < n; ++i) v[0][i] = res_[i] / beta;
        std::fill(g.begin(), g.end(), 0.0);
        g[0] = beta;
        int used = 0;
        for (int j = 0; j < kRestart; ++j) {
            z[size_t(j)] = v[size_t(j)];
            precondition(z[size_t(j)]);
            multiply_true(z[size_t(j)], corr_);
            for (int i = 0; i <= j; ++i) {
                double d = 0.0;
                for (size_t k = 0; k < n; ++k) d += corr_[k] * v[size_t(i)][k];
                h(i, j) = d;
                for (size_t k = 0; k < n; ++k) corr_[k] -= d * v[size_t(i)][k];
            }
            double hn = norm2(corr_);
            h(j + 1, j) = hn;
            if (hn > 0.0)
                for (size_t k = 0; k < n; ++k) v[size_t(j + 1)][k] = corr_[k] / hn;
            for (int i = 0; i < j; ++i) {
                double t = cs[size_t(i)] * h(i, j) + sn[size_t(i)] * h(i + 1, j);
                h(i + 1, j) = -sn[size_t(i)] * h(i, j) + cs[size_t(i)] * h(i + 1, j);
                h(i, j) = t;
            }
            double r = std::hypot(h(j, j), h(j + 1, j));
            cs[size_t(j)] = r > 0.0 ? h(j, j) / r : 1.0;
            sn[size_t(j)] = r > 0.0 ? h(j + 1, j) / r : 0.0;
            h(j, j) = r;
            h(j + 1, j) = 0.0;
            g[size_t(j + 1)] = -sn[size_t(j)] * g[size_t(j)];
            g[size_t(j)] = cs[size_t(j)] * g[size_t(j)];
            used = j + 1;
            if (std::fabs(g[size_t(j + 1)]) <= tol || hn == 0.0) break;
        }
        // y = H^{-1} g, x += Z y
        std::vector<double> y(size_t(used), 0.0);
        for (int i = used - 1; i >= 0; --i) {
            double t = g[size_t(i)];
            for (int k = i + 1; k < used; ++k) t -= h(i, k) * y[size_t(k)];
            y[size_t(i)] = h(i, i) != 0.0 ? t / h(i, i) : 0.0;
        }
        for (int k = 0; k < used; ++k)
            for (size_t i = 0; i < n; ++i) rhs[i] += y[size_t(k)] * z[size_t(k)][i];
        if (std::fabs(g[size_t(used)]) <= tol) return;
    }
}

}  // namespace vlt::solve::ipm
