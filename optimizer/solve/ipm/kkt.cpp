#include "solve/ipm/kkt.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vlt::solve::ipm {

namespace {
// Static regularization of the primal block and of the zero-cone rows.  Rows
// of R+ and of quadratic cones are left alone: their scaling H is positive,
// and a regularization above H (which tends to 0 on active rows) would make
// the refinement converge too slowly on degenerate problems.
constexpr double kPrimalReg = 1e-8;
constexpr double kDualReg = 1e-8;
constexpr double kPivotTolerance = 1e-13;
constexpr double kPivotReplacement = 1e-7;
// Quadratic cones up to this dimension get their dense W^2 block in the
// system; larger ones the sparse expansion with two extra columns.
constexpr int64_t kDenseConeLimit = 16;
}  // namespace

Kkt::Kkt(const ConicForm& f) : f_(f), n_(f.n), m_(f.m), size_(f.n + f.m) {
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
    std::vector<int64_t> cone_of(static_cast<size_t>(m_), -1);
    int64_t nsoc = 0;
    for (const auto& c : f.cones)
        if (c.kind == ConeKind::soc) {
            for (int64_t i = c.start; i < c.start + c.dim; ++i) cone_of[size_t(i)] = nsoc;
            ++nsoc;
        }
    soc_pos_.assign(size_t(nsoc), {});
    soc_expanded_.assign(size_t(nsoc), 0);
    {
        int64_t c = 0, extra = 0;
        for (const auto& cone : f.cones)
            if (cone.kind == ConeKind::soc) {
                if (cone.dim > kDenseConeLimit) soc_expanded_[size_t(c)] = 1, extra += 2;
                ++c;
            }
        size_ = n_ + m_ + extra;
    }

    int64_t zero_rows = 0;
    for (const auto& c : f.cones)
        if (c.kind == ConeKind::zero) zero_rows = c.dim;
    k_.n = size_;
    k_.colptr.assign(size_t(size_) + 1, 0);
    diag_.assign(size_t(size_), 0);
    signs_.assign(size_t(size_), 1);
    reg_.assign(size_t(size_), kPrimalReg);

    for (int64_t j = 0; j < n_; ++j) {
        for (int64_t p = f.p.colptr[size_t(j)]; p < f.p.colptr[size_t(j) + 1]; ++p) {
            if (f.p.rowind[size_t(p)] == j) diag_[size_t(j)] = int64_t(k_.rowind.size());
            k_.rowind.push_back(f.p.rowind[size_t(p)]);
            base_.push_back(f.p.values[size_t(p)]);
        }
        k_.colptr[size_t(j) + 1] = int64_t(k_.rowind.size());
    }
    std::vector<int64_t> soc_start;
    for (const auto& c : f.cones)
        if (c.kind == ConeKind::soc) soc_start.push_back(c.start);
    for (int64_t i = 0; i < m_; ++i) {
        for (int64_t p = rp[size_t(i)]; p < rp[size_t(i) + 1]; ++p) {
            k_.rowind.push_back(rc[size_t(p)]);
            base_.push_back(rv[size_t(p)]);
        }
        int64_t c = cone_of[size_t(i)];
        if (c >= 0 && !soc_expanded_[size_t(c)])
            for (int64_t k = soc_start[size_t(c)]; k < i; ++k) {
                soc_pos_[size_t(c)].push_back(int64_t(k_.rowind.size()));
                k_.rowind.push_back(n_ + k);
                base_.push_back(0.0);
            }
        diag_[size_t(n_ + i)] = int64_t(k_.rowind.size());
        k_.rowind.push_back(n_ + i);
        base_.push_back(0.0);
        k_.colptr[size_t(n_ + i) + 1] = int64_t(k_.rowind.size());
        signs_[size_t(n_ + i)] = -1;
        reg_[size_t(n_ + i)] = i < zero_rows ? -kDualReg : 0.0;
    }
    // Two extra columns per expanded cone (see assemble_and_factor).
    {
        int64_t c = 0, node = n_ + m_;
        exp_pos_.assign(size_t(nsoc), {});
        for (const auto& cone : f.cones) {
            if (cone.kind != ConeKind::soc) continue;
            if (soc_expanded_[size_t(c)]) {
                for (int which = 0; which < 2; ++which, ++node) {
                    exp_pos_[size_t(c)].push_back(int64_t(k_.rowind.size()));
                    for (int64_t k = 0; k < cone.dim; ++k) {
                        k_.rowind.push_back(n_ + cone.start + k);
                        base_.push_back(0.0);
                    }
                    diag_[size_t(node)] = int64_t(k_.rowind.size());
                    k_.rowind.push_back(node);
                    base_.push_back(0.0);
                    k_.colptr[size_t(node) + 1] = int64_t(k_.rowind.size());
                    signs_[size_t(node)] = which == 0 ? -1 : 1;
                    reg_[size_t(node)] = 0.0;
                }
            }
            ++c;
        }
    }
    k_.values = base_;
    base_reg_ = reg_;
    res_.assign(size_t(size_), 0.0);
    corr_.assign(size_t(size_), 0.0);
}

bool Kkt::factor(const std::vector<double>& bound_diag, const std::vector<double>& h_diag,
                 const std::vector<soc::Scaling>& soc_blocks) {
    // A factorization that breaks down (overflow after tiny pivots) is
    // retried with a stronger regularization, which then stays in force.
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (assemble_and_factor(bound_diag, h_diag, soc_blocks)) return true;
        if (reg_scale_ >= 1e6) break;
        strengthen(100.0);
    }
    return false;
}

void Kkt::strengthen(double factor) {
    reg_scale_ = std::min(reg_scale_ * factor, 1e6);
    for (size_t j = 0; j < reg_.size(); ++j) reg_[j] = base_reg_[j] * reg_scale_;
}

bool Kkt::assemble_and_factor(const std::vector<double>& bound_diag, const std::vector<double>& h_diag,
                              const std::vector<soc::Scaling>& soc_blocks) {
    std::copy(base_.begin(), base_.end(), k_.values.begin());
    for (int64_t j = 0; j < n_; ++j) k_.values[size_t(diag_[size_t(j)])] += bound_diag[size_t(j)] + reg_[size_t(j)];
    for (int64_t i = 0; i < m_; ++i) k_.values[size_t(diag_[size_t(n_ + i)])] = -h_diag[size_t(i)] + reg_[size_t(n_ + i)];
    int64_t c = 0;
    for (const auto& cone : f_.cones) {
        if (cone.kind != ConeKind::soc) continue;
        const soc::Scaling& sc = soc_blocks[size_t(c)];
        const int64_t d = cone.dim;
        if (!soc_expanded_[size_t(c)]) {
            soc::w_squared(sc, d, w2_);
            size_t q = 0;
            for (int64_t l = 0; l < d; ++l) {
                for (int64_t k = 0; k < l; ++k) k_.values[size_t(soc_pos_[size_t(c)][q++])] = -w2_[size_t(k * d + l)];
                k_.values[size_t(diag_[size_t(n_ + cone.start + l)])] = -w2_[size_t(l * d + l)];
            }
        } else {
            // W^2 = eta^2 (2 w w' - J) = eta^2 (D + u u' - v v') with
            // D = diag(dd, 1, ..., 1), u = (u0, alpha w1), v = (0, beta w1);
            // the extra column a (pivot -eta^2, entries -eta^2 v) adds
            // +eta^2 v v', the extra column b (pivot +eta^2, entries
            // eta^2 u) adds -eta^2 u u'.  beta is chosen so that D - v v'
            // stays positive definite (the dual block remains definite).
            const double e2 = sc.eta * sc.eta, w0 = sc.w[0];
            double s1 = 0.0;
            for (int64_t k = 1; k < d; ++k) s1 += sc.w[size_t(k)] * sc.w[size_t(k)];
            double beta2 = 2.0 / (1.0 + 2.0 * s1) + 0.5 * (s1 > 0.0 ? std::min(1.0, 1.0 / (s1 * (1.0 + 2.0 * s1))) : 1.0);
            double alpha = std::sqrt(2.0 + beta2), beta = std::sqrt(beta2);
            double u0 = 2.0 * w0 / alpha;
            double dd = 1.0 + 2.0 * s1 - u0 * u0;
            const int64_t pa = exp_pos_[size_t(c)][0], pb = exp_pos_[size_t(c)][1];
            k_.values[size_t(diag_[size_t(n_ + cone.start)])] = -e2 * dd;
            for (int64_t k = 1; k < d; ++k) k_.values[size_t(diag_[size_t(n_ + cone.start + k)])] = -e2;
            k_.values[size_t(pa)] = 0.0;
            k_.values[size_t(pb)] = e2 * u0;
            for (int64_t k = 1; k < d; ++k) {
                k_.values[size_t(pa + k)] = -e2 * beta * sc.w[size_t(k)];
                k_.values[size_t(pb + k)] = e2 * alpha * sc.w[size_t(k)];
            }
            k_.values[size_t(pa + d)] = -e2;
            k_.values[size_t(pb + d)] = e2;
        }
        ++c;
    }
    for (double v : k_.values)
        if (!std::isfinite(v)) return false;
    int64_t nreg = ldl_.factor(k_, signs_, kPivotTolerance * reg_scale_, kPivotReplacement * reg_scale_);
    return nreg >= 0;
}

void Kkt::multiply_true(const std::vector<double>& v, std::vector<double>& out) const {
    std::fill(out.begin(), out.end(), 0.0);
    for (int64_t j = 0; j < size_; ++j)
        for (int64_t p = k_.colptr[size_t(j)]; p < k_.colptr[size_t(j) + 1]; ++p) {
            int64_t i = k_.rowind[size_t(p)];
            double a = k_.values[size_t(p)];
            out[size_t(i)] += a * v[size_t(j)];
            if (i != j) out[size_t(j)] += a * v[size_t(i)];
        }
    for (int64_t j = 0; j < size_; ++j) out[size_t(j)] -= reg_[size_t(j)] * v[size_t(j)];
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
    ldl_.solve(rhs);  // x0
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
            ldl_.solve(z[size_t(j)]);
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
