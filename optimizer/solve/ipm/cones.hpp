// Second-order cone algebra for the interior-point method.
//
// A cone K = {(t, u) : t >= ||u||} of dimension d is stored as d consecutive
// entries.  Its Jordan product is x o y = (x'y, x0 y1 + y0 x1) with identity
// e = (1, 0, ..., 0).  The Nesterov-Todd scaling of an interior pair (s, z)
// is the symmetric matrix
//   W = eta [[w0, w1'], [w1, I + w1 w1' / (1 + w0)]],   w0^2 - ||w1||^2 = 1,
// with W z = W^{-1} s = lambda (the scaled point).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace vlt::solve::ipm::soc {

// t - ||u||: positive inside the cone.
inline double min_eig(const double* v, int64_t d) {
    double r = 0.0;
    for (int64_t k = 1; k < d; ++k) r += v[k] * v[k];
    return v[0] - std::sqrt(r);
}

// t^2 - ||u||^2
inline double residual(const double* v, int64_t d) {
    double r = 0.0;
    for (int64_t k = 1; k < d; ++k) r += v[k] * v[k];
    return (v[0] - std::sqrt(r)) * (v[0] + std::sqrt(r));
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

// out = W v (inverse: W^{-1} v)
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

// Dense W^2 (row-major d x d).
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

}  // namespace vlt::solve::ipm::soc
