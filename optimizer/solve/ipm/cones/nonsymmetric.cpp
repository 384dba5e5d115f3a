#include "solve/ipm/cones/nonsymmetric.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vlt::solve::ipm {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

double dot(const double* a, const double* b, int64_t n) {
    double s = 0.0;
    for (int64_t i = 0; i < n; ++i) s += a[i] * b[i];
    return s;
}

// out = M v for a dense row-major n x n M.
void mul(const std::vector<double>& m, const double* v, double* out, int64_t n) {
    for (int64_t i = 0; i < n; ++i) out[i] = dot(&m[size_t(i * n)], v, n);
}

}  // namespace

// ------------------------------------------------------------ dense helpers

bool dense::cholesky(std::vector<double>& a, int64_t n) {
    for (int64_t j = 0; j < n; ++j) {
        double d = a[size_t(j * n + j)];
        for (int64_t k = 0; k < j; ++k) d -= a[size_t(j * n + k)] * a[size_t(j * n + k)];
        if (!(d > 0.0) || !std::isfinite(d)) return false;
        d = std::sqrt(d);
        a[size_t(j * n + j)] = d;
        for (int64_t i = j + 1; i < n; ++i) {
            double v = a[size_t(i * n + j)];
            for (int64_t k = 0; k < j; ++k) v -= a[size_t(i * n + k)] * a[size_t(j * n + k)];
            a[size_t(i * n + j)] = v / d;
        }
    }
    return true;
}

void dense::cholesky_solve(const std::vector<double>& l, int64_t n, double* b) {
    for (int64_t i = 0; i < n; ++i) {
        double v = b[i];
        for (int64_t k = 0; k < i; ++k) v -= l[size_t(i * n + k)] * b[k];
        b[i] = v / l[size_t(i * n + i)];
    }
    for (int64_t i = n - 1; i >= 0; --i) {
        double v = b[i];
        for (int64_t k = i + 1; k < n; ++k) v -= l[size_t(k * n + i)] * b[k];
        b[i] = v / l[size_t(i * n + i)];
    }
}

// ------------------------------------------------------------ psi barriers

PsiBarrier::PsiBarrier(int64_t dim, double degree, std::vector<LogTerm> log_terms)
    : DualBarrier(dim, degree), log_terms_(std::move(log_terms)), grad_(size_t(dim)), ha_(size_t(dim)),
      hb_(size_t(dim)) {}

void PsiBarrier::psi_hessian_product(const double* u, const double* v, double* out) const {
    const int64_t n = dim();
    hess_.resize(size_t(n * n));
    psi_hessian(u, hess_.data());
    mul(hess_, v, out, n);
}

double PsiBarrier::value(const double* u) const {
    double v = -std::log(psi(u));
    for (const LogTerm& t : log_terms_) v -= t.coefficient * std::log(t.sign * u[t.index]);
    return v;
}

void PsiBarrier::gradient(const double* u, double* out) const {
    const int64_t n = dim();
    const double p = psi(u);
    psi_gradient(u, out);
    for (int64_t i = 0; i < n; ++i) out[i] = -out[i] / p;
    for (const LogTerm& t : log_terms_) out[t.index] -= t.coefficient / u[t.index];
}

void PsiBarrier::hessian(const double* u, double* out) const {
    const int64_t n = dim();
    const double p = psi(u);
    psi_gradient(u, grad_.data());
    psi_hessian(u, out);
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j)
            out[i * n + j] = grad_[size_t(i)] * grad_[size_t(j)] / (p * p) - out[i * n + j] / p;
    for (const LogTerm& t : log_terms_) out[t.index * n + t.index] += t.coefficient / (u[t.index] * u[t.index]);
}

// D^3(-log psi)[a, b] = -2 gp (gp'a)(gp'b) / psi^3
//   + (Hp a (gp'b) + Hp b (gp'a) + gp (a'Hp b)) / psi^2 - D^3 psi[a, b] / psi
// with gp, Hp the gradient and Hessian of psi.
void PsiBarrier::third_order(const double* u, const double* a, const double* b, double* out) const {
    const int64_t n = dim();
    const double p = psi(u);
    psi_gradient(u, grad_.data());
    psi_hessian_product(u, a, ha_.data());
    psi_hessian_product(u, b, hb_.data());
    const double ga = dot(grad_.data(), a, n), gb = dot(grad_.data(), b, n), ahb = dot(a, hb_.data(), n);
    psi_third_order(u, a, b, out);
    for (int64_t i = 0; i < n; ++i)
        out[i] = -2.0 * grad_[size_t(i)] * ga * gb / (p * p * p) +
                 (ha_[size_t(i)] * gb + hb_[size_t(i)] * ga + grad_[size_t(i)] * ahb) / (p * p) - out[i] / p;
    for (const LogTerm& t : log_terms_) {
        const double ui = u[t.index];
        out[t.index] -= 2.0 * t.coefficient * a[t.index] * b[t.index] / (ui * ui * ui);
    }
}

// ------------------------------------------------------------ the cone

NonsymmetricCone::NonsymmetricCone(std::unique_ptr<DualBarrier> barrier, ConeMap map)
    : Cone(barrier->dim()), barrier_(std::move(barrier)), map_(std::move(map)) {
    const size_t n = size_t(dim());
    e_.resize(n);
    barrier_->central_point(e_.data());
    grad_.assign(n, 0.0);
    for (auto* w : {&w1_, &w2_, &w3_, &w4_, &w5_, &t1_, &t2_, &t3_, &t4_, &t5_, &t6_, &t7_, &t8_}) w->assign(n, 0.0);
    for (auto* w : {&hd_, &ha_, &hb_}) w->assign(n, 0.0);
    expanded_ = dim() > kDenseLimit && barrier_->structured_hessian(e_.data(), hd_.data(), ha_.data(), hb_.data());
    if (expanded_) {
        for (auto* w : {&d_, &a_, &b_}) w->assign(n, 0.0);
    } else {
        for (auto* w : {&hd_, &ha_, &hb_}) w->clear();
        for (auto* w : {&h_, &hess_, &chol_, &wm_, &check_}) w->assign(n * n, 0.0);
    }
    set_identity_scaling();
}

void NonsymmetricCone::to_primal(const double* s, double* out) const {
    if (map_.identity()) return (void)std::copy(s, s + dim(), out);
    for (size_t i = 0; i < map_.from.size(); ++i) out[i] = map_.scale[i] * s[map_.from[i]];
}
void NonsymmetricCone::to_dual(const double* z, double* out) const {
    if (map_.identity()) return (void)std::copy(z, z + dim(), out);
    for (size_t i = 0; i < map_.from.size(); ++i) out[i] = z[map_.from[i]] / map_.scale[i];
}
void NonsymmetricCone::from_primal(const double* s, double* out) const {
    if (map_.identity()) return (void)std::copy(s, s + dim(), out);
    for (size_t i = 0; i < map_.from.size(); ++i) out[map_.from[i]] = s[i] / map_.scale[i];
}
void NonsymmetricCone::from_dual(const double* z, double* out) const {
    if (map_.identity()) return (void)std::copy(z, z + dim(), out);
    for (size_t i = 0; i < map_.from.size(); ++i) out[map_.from[i]] = z[i] * map_.scale[i];
}

bool NonsymmetricCone::interior(const double* s_mapped, const double* z_mapped) const {
    return barrier_->in_primal_interior(s_mapped) && barrier_->in_dual_interior(z_mapped);
}

void NonsymmetricCone::unit_point(Vec s, Vec z) const {
    from_primal(e_.data(), s.data());
    from_dual(e_.data(), z.data());
}

double NonsymmetricCone::unit_margin(CVec v) const {
    const int64_t n = dim();
    to_primal(v.data(), w1_.data());
    auto inside = [&](double t) {
        for (int64_t i = 0; i < n; ++i) w2_[size_t(i)] = w1_[size_t(i)] - t * e_[size_t(i)];
        return barrier_->in_primal_interior(w2_.data());
    };
    // v - t e is inside for t below the margin and outside above it.
    double lo = 0.0, step = 1.0;
    while (!inside(lo)) {
        lo = -step;
        step *= 2.0;
        if (!std::isfinite(step)) return -std::numeric_limits<double>::infinity();
    }
    double hi = lo + 1.0;
    for (step = 1.0; inside(hi); step *= 2.0) {
        lo = hi;
        hi = lo + step;
        if (!std::isfinite(hi)) return std::numeric_limits<double>::infinity();
    }
    for (int k = 0; k < 200 && hi - lo > 4.0 * kEps * std::max(1.0, std::fabs(lo)); ++k) {
        const double mid = 0.5 * (lo + hi);
        (inside(mid) ? lo : hi) = mid;
    }
    return lo;
}

void NonsymmetricCone::shift_by_unit(Vec v, double alpha, bool primal) const {
    (primal ? from_primal(e_.data(), w1_.data()) : from_dual(e_.data(), w1_.data()));
    for (int64_t i = 0; i < dim(); ++i) v[size_t(i)] += alpha * w1_[size_t(i)];
}

BlockShape NonsymmetricCone::block_shape() const {
    if (expanded_) return {BlockShape::Kind::diagonal, {}, {-1, +1}};
    return {BlockShape::Kind::dense, {}, {}};
}

void NonsymmetricCone::set_identity_scaling() {
    const int64_t n = dim();
    primal_dual_ = false;
    if (expanded_) {
        std::fill(d_.begin(), d_.end(), 1.0);
        std::fill(a_.begin(), a_.end(), 0.0);
        std::fill(b_.begin(), b_.end(), 0.0);
        rho_ = 1.0;
        return;
    }
    std::fill(h_.begin(), h_.end(), 0.0);
    for (int64_t i = 0; i < n; ++i) h_[size_t(i * n + i)] = 1.0;
    primal_dual_ = false;
}

bool NonsymmetricCone::update_scaling(CVec s, CVec z, double) {
    const int64_t n = dim();
    double* sm = w4_.data();
    double* zm = w5_.data();
    to_primal(s.data(), sm);
    to_dual(z.data(), zm);
    if (!interior(sm, zm)) return false;
    barrier_->gradient(zm, grad_.data());
    if (expanded_) {
        const double mu = dot(sm, zm, n) / degree();
        return mu > 0.0 && use_expanded_scaling(zm, mu);
    }
    barrier_->hessian(zm, hess_.data());
    // Close to the boundary the Hessian can be too ill-conditioned to
    // factor; the step then goes without the third-order term.
    chol_ = hess_;
    corrector_ = dense::cholesky(chol_, n);
    const double mu = dot(sm, zm, n) / degree();
    if (!(mu > 0.0)) return false;
    primal_dual_ = use_primal_dual_scaling(sm, zm, mu);
    if (!primal_dual_) use_dual_scaling(mu);
    // H = A^-1 H' A^-T into the cone's coordinates.
    if (!map_.identity()) {
        for (int64_t i = 0; i < n; ++i)
            for (int64_t j = 0; j < n; ++j)
                h_[size_t(map_.from[size_t(i)] * n + map_.from[size_t(j)])] =
                    wm_[size_t(i * n + j)] / (map_.scale[size_t(i)] * map_.scale[size_t(j)]);
    } else {
        h_ = wm_;
    }
    return true;
}

void NonsymmetricCone::use_dual_scaling(double mu) {
    for (size_t k = 0; k < wm_.size(); ++k) wm_[k] = mu * hess_[k];
}

// The rank-four update of mu hess g(z) (see the header); false when it
// would not be well defined or not positive definite.
bool NonsymmetricCone::use_primal_dual_scaling(const double* s, const double* z, double mu) {
    const int64_t n = dim();
    const double nu = degree();
    std::vector<double>&st = t1_, &zt = t2_, &r = t3_, &ds = t4_, &q1 = t5_, &q2 = t6_, &mq1 = t7_, &mq2 = t8_;
    for (int64_t i = 0; i < n; ++i) st[size_t(i)] = -grad_[size_t(i)];
    if (!barrier_->conjugate_point(s, zt.data())) return false;
    const double mut = dot(st.data(), zt.data(), n) / nu;
    if (!(mu * mut - 1.0 > std::sqrt(kEps))) return false;
    mul(hess_, zt.data(), r.data(), n);
    const double zhz = dot(zt.data(), r.data(), n);
    const double d2 = zhz - nu * mut * mut;
    if (!(d2 > kEps * zhz)) return false;
    for (int64_t i = 0; i < n; ++i) r[size_t(i)] -= mut * st[size_t(i)];
    double dsdz = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        ds[size_t(i)] = s[i] - mu * st[size_t(i)];
        dsdz += ds[size_t(i)] * (z[i] - mu * zt[size_t(i)]);
    }
    const double sz = dot(s, z, n);
    if (!(dsdz > 0.0) || !(sz > 0.0)) return false;
    // An orthonormal basis q1, q2 of {z, z~}.
    const double zn = std::sqrt(dot(z, z, n));
    for (int64_t i = 0; i < n; ++i) q1[size_t(i)] = z[i] / zn;
    const double c = dot(q1.data(), zt.data(), n);
    for (int64_t i = 0; i < n; ++i) q2[size_t(i)] = zt[size_t(i)] - c * q1[size_t(i)];
    const double q2n = std::sqrt(dot(q2.data(), q2.data(), n));
    if (!(q2n > std::sqrt(kEps) * std::sqrt(dot(zt.data(), zt.data(), n)))) return false;
    for (auto& v : q2) v /= q2n;
    // M = hess - s~ s~'/nu - r r'/d2, then P M P with P = I - q1 q1' - q2 q2'.
    std::vector<double>& m = wm_;
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j)
            m[size_t(i * n + j)] = hess_[size_t(i * n + j)] - st[size_t(i)] * st[size_t(j)] / nu -
                                   r[size_t(i)] * r[size_t(j)] / d2;
    for (int pass = 0; pass < 2; ++pass) {  // M P, then (M P)' P = P M P
        mul(m, q1.data(), mq1.data(), n);
        mul(m, q2.data(), mq2.data(), n);
        for (int64_t i = 0; i < n; ++i)
            for (int64_t j = 0; j < n; ++j)
                m[size_t(i * n + j)] -= mq1[size_t(i)] * q1[size_t(j)] + mq2[size_t(i)] * q2[size_t(j)];
        for (int64_t i = 0; i < n; ++i)
            for (int64_t j = 0; j < i; ++j) std::swap(m[size_t(i * n + j)], m[size_t(j * n + i)]);
    }
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j) {
            const double dij = (ds[size_t(i)] * ds[size_t(j)]) / dsdz;
            m[size_t(i * n + j)] = mu * m[size_t(i * n + j)] + s[i] * s[j] / sz + dij;
        }
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < i; ++j) {
            const double avg = 0.5 * (m[size_t(i * n + j)] + m[size_t(j * n + i)]);
            m[size_t(i * n + j)] = m[size_t(j * n + i)] = avg;
        }
    check_ = m;
    return dense::cholesky(check_, n);
}

bool NonsymmetricCone::use_expanded_scaling(const double* z, double mu) {
    const int64_t n = dim();
    if (!barrier_->structured_hessian(z, hd_.data(), ha_.data(), hb_.data())) return false;
    // The Gram matrix of (a, b) in the metric D^-1.
    double ga = 0.0, gb = 0.0, gc = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        const double di = hd_[size_t(i)];
        if (!(di > 0.0) || !std::isfinite(di)) return false;
        ga += ha_[size_t(i)] * ha_[size_t(i)] / di;
        gb += hb_[size_t(i)] * hb_[size_t(i)] / di;
        gc += ha_[size_t(i)] * hb_[size_t(i)] / di;
    }
    // The Hessian is positive definite exactly when det(I + S G) > 0,
    // S = diag(1, -1); the Woodbury capacitance S + G has minus that
    // determinant.
    const double margin = (1.0 + ga) * (1.0 - gb) + gc * gc;
    if (!(margin > 0.0) || !std::isfinite(margin)) return false;
    corrector_ = margin > 1e-12 * (1.0 + ga) * (1.0 + gb);
    const double det = -margin;
    cap_[0] = (gb - 1.0) / det, cap_[1] = cap_[2] = -gc / det, cap_[3] = (1.0 + ga) / det;
    // The rotation (a, b) -> (ch a + sh b, sh a + ch b) with the smallest
    // b' D^-1 b: tanh 2t = -2 gc / (ga + gb).
    double ch = 1.0, sh = 0.0;
    if (ga + gb > 0.0) {
        const double t = 0.5 * std::atanh(std::clamp(-2.0 * gc / (ga + gb), -1.0 + 1e-12, 1.0 - 1e-12));
        ch = std::cosh(t), sh = std::sinh(t);
    }
    const double rb = sh * sh * ga + ch * ch * gb + 2.0 * sh * ch * gc;
    if (!(rb < 1.0)) return false;
    const double root = std::sqrt(mu);
    rho_ = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        const int64_t j = map_.identity() ? i : map_.from[size_t(i)];
        const double scale = map_.identity() ? 1.0 : map_.scale[size_t(i)];
        d_[size_t(j)] = mu * hd_[size_t(i)] / (scale * scale);
        a_[size_t(j)] = root * (ch * ha_[size_t(i)] + sh * hb_[size_t(i)]) / scale;
        b_[size_t(j)] = root * (sh * ha_[size_t(i)] + ch * hb_[size_t(i)]) / scale;
        rho_ += d_[size_t(j)] / double(n);
    }
    return std::isfinite(rho_) && rho_ > 0.0;
}

// x <- (D + a a' - b b')^-1 x = D^-1 x - D^-1 U K^-1 U' D^-1 x with
// U = (a, b) and K = S + U' D^-1 U.
bool NonsymmetricCone::expanded_hessian_solve(double* x) const {
    const int64_t n = dim();
    double pa = 0.0, pb = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        x[i] /= hd_[size_t(i)];
        pa += ha_[size_t(i)] * x[i];
        pb += hb_[size_t(i)] * x[i];
    }
    const double qa = cap_[0] * pa + cap_[1] * pb, qb = cap_[2] * pa + cap_[3] * pb;
    for (int64_t i = 0; i < n; ++i) x[i] -= (ha_[size_t(i)] * qa + hb_[size_t(i)] * qb) / hd_[size_t(i)];
    return true;
}

void NonsymmetricCone::block_values(Vec out) const {
    const int64_t d = dim();
    if (expanded_) {
        // diag(d), then the column of -b b' (entries sqrt(rho) b, pivot
        // -rho) and that of +a a' (sqrt(rho) a, pivot +rho).
        const double root = std::sqrt(rho_);
        for (int64_t i = 0; i < d; ++i) {
            out[size_t(i)] = d_[size_t(i)];
            out[size_t(d + i)] = root * b_[size_t(i)];
            out[size_t(2 * d + 1 + i)] = root * a_[size_t(i)];
        }
        out[size_t(2 * d)] = -rho_;
        out[size_t(3 * d + 1)] = rho_;
        return;
    }
    size_t q = 0;
    for (int64_t l = 0; l < d; ++l)
        for (int64_t k = 0; k <= l; ++k) out[q++] = h_[size_t(k * d + l)];
}

void NonsymmetricCone::mul_h(CVec v, Vec out) const {
    const int64_t n = dim();
    if (!expanded_) return mul(h_, v.data(), out.data(), n);
    const double av = dot(a_.data(), v.data(), n), bv = dot(b_.data(), v.data(), n);
    for (int64_t i = 0; i < n; ++i)
        out[size_t(i)] = d_[size_t(i)] * v[size_t(i)] + a_[size_t(i)] * av - b_[size_t(i)] * bv;
}

void NonsymmetricCone::affine_ds(CVec s, CVec, Vec ds) const { std::copy(s.begin(), s.end(), ds.begin()); }

void NonsymmetricCone::combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift) {
    const int64_t n = dim();
    if (!corrector_) {
        for (int64_t i = 0; i < n; ++i) w3_[size_t(i)] = sigma_mu * grad_[size_t(i)];
        return from_primal(w3_.data(), shift.data());
    }
    to_dual(dz_aff.data(), w1_.data());
    to_primal(ds_aff.data(), w2_.data());
    if (expanded_) expanded_hessian_solve(w2_.data());
    else dense::cholesky_solve(chol_, n, w2_.data());
    barrier_->third_order(w5_.data(), w1_.data(), w2_.data(), w3_.data());
    for (int64_t i = 0; i < n; ++i) w3_[size_t(i)] = sigma_mu * grad_[size_t(i)] - 0.5 * w3_[size_t(i)];
    from_primal(w3_.data(), shift.data());
}

void NonsymmetricCone::ds_offset(CVec ds, CVec, Vec out) { std::copy(ds.begin(), ds.end(), out.begin()); }

double NonsymmetricCone::max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const {
    const int64_t n = dim();
    std::vector<double>&sm = t1_, &dsm = t2_, &zm = t3_, &dzm = t4_;
    to_primal(s.data(), sm.data());
    to_primal(ds.data(), dsm.data());
    to_dual(z.data(), zm.data());
    to_dual(dz.data(), dzm.data());
    auto inside = [&](double a) {
        for (int64_t i = 0; i < n; ++i) {
            w1_[size_t(i)] = sm[size_t(i)] + a * dsm[size_t(i)];
            w2_[size_t(i)] = zm[size_t(i)] + a * dzm[size_t(i)];
        }
        return interior(w1_.data(), w2_.data());
    };
    double hi = std::min(alpha_max, kLongestStep);
    if (!(hi > 0.0)) return 0.0;
    if (inside(hi)) return hi;
    double lo = hi;
    do {
        hi = lo;
        lo *= 0.5;
        if (lo < 1e-14) return 0.0;
    } while (!inside(lo));
    while (hi > 1.01 * lo) {
        const double mid = 0.5 * (lo + hi);
        (inside(mid) ? lo : hi) = mid;
    }
    return lo;
}

double NonsymmetricCone::barrier(CVec s, CVec z) const {
    std::vector<double>&sm = t1_, &zm = t2_, &u = t3_;
    to_primal(s.data(), sm.data());
    to_dual(z.data(), zm.data());
    if (!interior(sm.data(), zm.data()) || !barrier_->conjugate_point(sm.data(), u.data()))
        return std::numeric_limits<double>::infinity();
    // f(s) + g(z) + nu with f(s) = -nu - g(u), -grad g(u) = s.
    return barrier_->value(zm.data()) - barrier_->value(u.data());
}

}  // namespace vlt::solve::ipm
