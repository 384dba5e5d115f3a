// The second-order cone {(t, u) : t >= ||u||} of dimension d.
//
// Its Jordan product is x o y = (x'y, x0 y1 + y0 x1) with identity
// e = (1, 0, ..., 0).  The Nesterov-Todd scaling of an interior pair (s, z)
// is the symmetric matrix
//   W = eta [[w0, w1'], [w1, I + w1 w1' / (1 + w0)]],   w0^2 - ||w1||^2 = 1,
// with W z = W^-1 s = lambda, and H = W^2 = eta^2 (2 w w' - J),
// J = diag(1, -1, ..., -1).  Small cones put H into the KKT system as a
// dense block; larger ones as a diagonal and two extra columns (see
// block_values), which keeps the system sparse.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "solve/ipm/cones/cone.hpp"

namespace vlt::solve::ipm {
namespace soc {

// t^2 - ||u||^2
inline double residual(const double* v, int64_t d) {
    double r = 0.0;
    for (int64_t k = 1; k < d; ++k) r += v[k] * v[k];
    return (v[0] - std::sqrt(r)) * (v[0] + std::sqrt(r));
}

// t - ||u||: positive inside the cone.
inline double min_eig(const double* v, int64_t d) {
    double r = 0.0;
    for (int64_t k = 1; k < d; ++k) r += v[k] * v[k];
    return v[0] - std::sqrt(r);
}

struct Scaling {
    double eta = 1.0;
    std::vector<double> w;       // w0, w1
    std::vector<double> lambda;  // W z
};

// Returns false when s or z is not interior.
inline bool nt_scaling(const double* s, const double* z, int64_t d, Scaling& sc) {
    double sres = residual(s, d), zres = residual(z, d);
    if (!(sres > 0.0) || !(zres > 0.0) || s[0] <= 0.0 || z[0] <= 0.0) return false;
    double sn = std::sqrt(sres), zn = std::sqrt(zres);
    double dot = 0.0;
    for (int64_t k = 0; k < d; ++k) dot += s[k] * z[k];
    dot /= sn * zn;
    double gamma = std::sqrt(std::max(0.5 * (1.0 + dot), 0.0));
    sc.w.assign(size_t(d), 0.0);
    sc.w[0] = (s[0] / sn + z[0] / zn) / (2.0 * gamma);
    for (int64_t k = 1; k < d; ++k) sc.w[size_t(k)] = (s[k] / sn - z[k] / zn) / (2.0 * gamma);
    // Re-normalize so that w0^2 - ||w1||^2 = 1 despite rounding.
    double w1 = 0.0;
    for (int64_t k = 1; k < d; ++k) w1 += sc.w[size_t(k)] * sc.w[size_t(k)];
    sc.w[0] = std::sqrt(1.0 + w1);
    sc.eta = std::sqrt(sn / zn);
    sc.lambda.assign(size_t(d), 0.0);
    return true;
}

// out = W v (inverse: W^-1 v)
inline void apply_w(const Scaling& sc, const double* v, double* out, int64_t d, bool inverse) {
    const double* w = sc.w.data();
    double sgn = inverse ? -1.0 : 1.0;
    double f = inverse ? 1.0 / sc.eta : sc.eta;
    double w1v1 = 0.0;
    for (int64_t k = 1; k < d; ++k) w1v1 += w[k] * v[k];
    double v0 = v[0];
    out[0] = f * (w[0] * v0 + sgn * w1v1);
    double coef = sgn * v0 + w1v1 / (1.0 + w[0]);
    for (int64_t k = 1; k < d; ++k) out[k] = f * (v[k] + coef * w[k]);
}

// Dense W^2 (d x d, symmetric).
inline void w_squared(const Scaling& sc, int64_t d, std::vector<double>& out) {
    out.assign(size_t(d * d), 0.0);
    std::vector<double> e(static_cast<size_t>(d), 0.0), col(static_cast<size_t>(d)), col2(static_cast<size_t>(d));
    for (int64_t j = 0; j < d; ++j) {
        e[size_t(j)] = 1.0;
        apply_w(sc, e.data(), col.data(), d, false);
        apply_w(sc, col.data(), col2.data(), d, false);
        for (int64_t i = 0; i < d; ++i) out[size_t(i * d + j)] = col2[size_t(i)];
        e[size_t(j)] = 0.0;
    }
}

// out = x o y
inline void jordan(const double* x, const double* y, double* out, int64_t d) {
    double dot = 0.0;
    for (int64_t k = 0; k < d; ++k) dot += x[k] * y[k];
    double x0 = x[0], y0 = y[0];
    for (int64_t k = 1; k < d; ++k) out[k] = x0 * y[k] + y0 * x[k];
    out[0] = dot;
}

// out = lambda \ v, the solution of lambda o out = v.
inline void jordan_div(const double* lam, const double* v, double* out, int64_t d) {
    double rho = residual(lam, d);
    double l1v1 = 0.0;
    for (int64_t k = 1; k < d; ++k) l1v1 += lam[k] * v[k];
    double o0 = (lam[0] * v[0] - l1v1) / rho;
    for (int64_t k = 1; k < d; ++k) out[k] = (v[k] - o0 * lam[k]) / lam[0];
    out[0] = o0;
}

// Largest alpha in [0, amax] with v + alpha dv in the cone.
inline double max_step(const double* v, const double* dv, int64_t d, double amax) {
    // (v0 + a dv0)^2 - ||v1 + a dv1||^2 >= 0 and v0 + a dv0 >= 0
    double a = dv[0] * dv[0], b = v[0] * dv[0], c = v[0] * v[0];
    for (int64_t k = 1; k < d; ++k) {
        a -= dv[k] * dv[k];
        b -= v[k] * dv[k];
        c -= v[k] * v[k];
    }
    c = std::max(c, 0.0);
    double alpha = amax;
    if (dv[0] < 0.0) alpha = std::min(alpha, -v[0] / dv[0]);
    // roots of a t^2 + 2 b t + c = 0
    if (a == 0.0) {
        if (b < 0.0) alpha = std::min(alpha, -c / (2.0 * b));
    } else {
        double disc = b * b - a * c;
        if (disc >= 0.0) {
            double sq = std::sqrt(disc);
            double q = -(b + std::copysign(sq, b));
            double r1 = q / a, r2 = q != 0.0 ? c / q : (a < 0.0 ? 0.0 : -1.0);
            for (double r : {r1, r2})
                if (r > 0.0) alpha = std::min(alpha, r);
        }
    }
    return std::max(alpha, 0.0);
}

}  // namespace soc

class SecondOrderCone final : public Cone {
public:
    static constexpr int64_t kMinDim = 1;
    // Cones up to this dimension put a dense block into the system.
    static constexpr int64_t kDenseLimit = 16;

    explicit SecondOrderCone(int64_t dim) : Cone(dim), work1_(size_t(dim)), work2_(size_t(dim)) {
        set_identity_scaling();
    }

    double degree() const override { return 1.0; }
    bool is_symmetric() const override { return true; }
    bool expanded() const { return dim() > kDenseLimit; }
    BlockShape block_shape() const override {
        if (expanded()) return {BlockShape::Kind::diagonal, {}, {-1, +1}};
        return {BlockShape::Kind::dense, {}, {}};
    }

    void unit_point(Vec s, Vec z) const override {
        std::fill(s.begin(), s.end(), 0.0);
        std::fill(z.begin(), z.end(), 0.0);
        s[0] = z[0] = 1.0;
    }
    double unit_margin(CVec v) const override { return soc::min_eig(v.data(), dim()); }
    void shift_by_unit(Vec v, double alpha, bool) const override { v[0] += alpha; }

    void set_identity_scaling() override {
        sc_.eta = 1.0;
        sc_.w.assign(size_t(dim()), 0.0);
        sc_.w[0] = 1.0;
        sc_.lambda.assign(size_t(dim()), 0.0);
        sc_.lambda[0] = 1.0;
    }
    bool update_scaling(CVec s, CVec z, double) override {
        if (!soc::nt_scaling(s.data(), z.data(), dim(), sc_)) return false;
        soc::apply_w(sc_, z.data(), sc_.lambda.data(), dim(), false);
        return true;
    }
    void block_values(Vec out) const override {
        const int64_t d = dim();
        if (!expanded()) {
            soc::w_squared(sc_, d, w2_);
            size_t q = 0;
            for (int64_t l = 0; l < d; ++l)
                for (int64_t k = 0; k <= l; ++k) out[q++] = w2_[size_t(k * d + l)];
            return;
        }
        // H = eta^2 (D + u u' - v v') with D = diag(dd, 1, ..., 1),
        // u = (u0, alpha w1), v = (0, beta w1): the first extra column
        // (pivot -eta^2, entries eta^2 v) gives -eta^2 v v', the second
        // (pivot +eta^2, entries eta^2 u) gives +eta^2 u u'.  beta is chosen
        // so that D - v v' stays positive definite: the rows of the cone and
        // the first column together remain a negative definite block.
        const double e2 = sc_.eta * sc_.eta, w0 = sc_.w[0];
        double s1 = 0.0;
        for (int64_t k = 1; k < d; ++k) s1 += sc_.w[size_t(k)] * sc_.w[size_t(k)];
        double beta2 = 2.0 / (1.0 + 2.0 * s1) + 0.5 * (s1 > 0.0 ? std::min(1.0, 1.0 / (s1 * (1.0 + 2.0 * s1))) : 1.0);
        double alpha = std::sqrt(2.0 + beta2), beta = std::sqrt(beta2);
        double u0 = 2.0 * w0 / alpha;
        double dd = 1.0 + 2.0 * s1 - u0 * u0;
        double* diag = out.data();
        double* col_v = diag + d;
        double* col_u = col_v + d + 1;
        diag[0] = e2 * dd;
        for (int64_t k = 1; k < d; ++k) diag[k] = e2;
        col_v[0] = 0.0;
        col_u[0] = e2 * u0;
        for (int64_t k = 1; k < d; ++k) {
            col_v[k] = -e2 * beta * sc_.w[size_t(k)];
            col_u[k] = e2 * alpha * sc_.w[size_t(k)];
        }
        col_v[d] = -e2;
        col_u[d] = e2;
    }
    void mul_h(CVec v, Vec out) const override {
        soc::apply_w(sc_, v.data(), work1_.data(), dim(), false);
        soc::apply_w(sc_, work1_.data(), out.data(), dim(), false);
    }
    // The dense H (dim x dim), for cones built on this one.
    void dense_h(std::vector<double>& out) const { soc::w_squared(sc_, dim(), out); }

    void affine_ds(CVec, CVec, Vec ds) const override {
        soc::jordan(sc_.lambda.data(), sc_.lambda.data(), ds.data(), dim());
    }
    void combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift) override {
        soc::apply_w(sc_, ds_aff.data(), work1_.data(), dim(), true);
        soc::apply_w(sc_, dz_aff.data(), work2_.data(), dim(), false);
        soc::jordan(work1_.data(), work2_.data(), shift.data(), dim());
        shift[0] -= sigma_mu;
    }
    void ds_offset(CVec ds, CVec, Vec out) override {
        soc::jordan_div(sc_.lambda.data(), ds.data(), work1_.data(), dim());
        soc::apply_w(sc_, work1_.data(), out.data(), dim(), false);
    }

    double max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const override {
        double a = soc::max_step(s.data(), ds.data(), dim(), alpha_max);
        return soc::max_step(z.data(), dz.data(), dim(), a);
    }
    double barrier(CVec s, CVec z) const override {
        return -0.5 * std::log(soc::residual(s.data(), dim())) - 0.5 * std::log(soc::residual(z.data(), dim()));
    }

private:
    soc::Scaling sc_;
    mutable std::vector<double> work1_, work2_, w2_;
};

}  // namespace vlt::solve::ipm
