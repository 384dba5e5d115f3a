#include "solve/ipm/cones/power.hpp"

#include <cmath>
#include <numeric>

namespace vlt::solve::ipm {
namespace {

std::vector<double> normalized(const std::vector<double>& weights) {
    const double total = std::accumulate(weights.begin(), weights.end(), 0.0);
    std::vector<double> a(weights);
    for (double& v : a) v /= total;
    return a;
}

std::vector<PsiBarrier::LogTerm> log_terms(const std::vector<double>& alpha) {
    std::vector<PsiBarrier::LogTerm> terms;
    for (size_t i = 0; i < alpha.size(); ++i)
        if (1.0 - alpha[i] != 0.0) terms.push_back({int64_t(i), 1.0 - alpha[i], 1.0});
    return terms;
}

}  // namespace

PowerBarrier::PowerBarrier(int64_t dim, const std::vector<double>& weights)
    : PsiBarrier(dim, double(weights.size()) + 1.0, log_terms(normalized(weights))), alpha_(normalized(weights)) {}

double PowerBarrier::phi(const double* u) const {
    double log_phi = 0.0;
    for (int64_t i = 0; i < leading(); ++i) log_phi += 2.0 * alpha_[size_t(i)] * std::log(u[i] / alpha_[size_t(i)]);
    return std::exp(log_phi);
}

double PowerBarrier::trailing_norm2(const double* v) const {
    double s = 0.0;
    for (int64_t i = leading(); i < dim(); ++i) s += v[i] * v[i];
    return s;
}

bool PowerBarrier::in_primal_interior(const double* x) const {
    double log_mean = 0.0;
    for (int64_t i = 0; i < leading(); ++i) {
        if (!(x[i] > 0.0) || !std::isfinite(x[i])) return false;
        log_mean += alpha_[size_t(i)] * std::log(x[i]);
    }
    const double w2 = trailing_norm2(x);
    return std::isfinite(w2) && (w2 == 0.0 || log_mean > 0.5 * std::log(w2));
}

bool PowerBarrier::in_dual_interior(const double* u) const {
    for (int64_t i = 0; i < leading(); ++i)
        if (!(u[i] > 0.0) || !std::isfinite(u[i])) return false;
    const double w2 = trailing_norm2(u);
    return std::isfinite(w2) && psi(u) > 0.0;
}

double PowerBarrier::psi(const double* u) const { return phi(u) - trailing_norm2(u); }

void PowerBarrier::psi_gradient(const double* u, double* out) const {
    const double p = phi(u);
    for (int64_t i = 0; i < leading(); ++i) out[i] = p * 2.0 * alpha_[size_t(i)] / u[i];
    for (int64_t i = leading(); i < dim(); ++i) out[i] = -2.0 * u[i];
}

// With c_i = 2 alpha_i / u_i: psi_ij = phi (c_i c_j - [i = j] c_i / u_i) on
// the leading members, -2 I on the others.
void PowerBarrier::psi_hessian(const double* u, double* out) const {
    const int64_t n = dim(), m = leading();
    const double p = phi(u);
    std::fill(out, out + n * n, 0.0);
    for (int64_t i = 0; i < m; ++i) {
        const double ci = 2.0 * alpha_[size_t(i)] / u[i];
        for (int64_t j = 0; j < m; ++j) out[i * n + j] = p * ci * 2.0 * alpha_[size_t(j)] / u[j];
        out[i * n + i] -= p * ci / u[i];
    }
    for (int64_t i = m; i < n; ++i) out[i * n + i] = -2.0;
}

void PowerBarrier::psi_hessian_product(const double* u, const double* v, double* out) const {
    const int64_t n = dim(), m = leading();
    const double p = phi(u);
    double cv = 0.0;
    for (int64_t j = 0; j < m; ++j) cv += 2.0 * alpha_[size_t(j)] / u[j] * v[j];
    for (int64_t i = 0; i < m; ++i) {
        const double ci = 2.0 * alpha_[size_t(i)] / u[i];
        out[i] = p * ci * (cv - v[i] / u[i]);
    }
    for (int64_t i = m; i < n; ++i) out[i] = -2.0 * v[i];
}

// hess g = gp gp' / psi^2 - hess psi / psi + diag((1 - alpha_i) / u_i^2)
// with gp = (phi c, -2 v): d_i = phi c_i / (u_i psi) + (1 - alpha_i) / u_i^2
// and 2 / psi on the trailing members, a = gp / psi, b = sqrt(phi / psi) (c, 0).
bool PowerBarrier::structured_hessian(const double* u, double* d, double* a, double* b) const {
    const int64_t n = dim(), m = leading();
    const double p = phi(u), ps = psi(u);
    if (!(ps > 0.0) || !std::isfinite(p)) return false;
    const double root = std::sqrt(p / ps);
    for (int64_t i = 0; i < m; ++i) {
        const double ci = 2.0 * alpha_[size_t(i)] / u[i];
        d[i] = p * ci / (u[i] * ps) + (1.0 - alpha_[size_t(i)]) / (u[i] * u[i]);
        a[i] = p * ci / ps;
        b[i] = root * ci;
    }
    for (int64_t i = m; i < n; ++i) {
        d[i] = 2.0 / ps;
        a[i] = -2.0 * u[i] / ps;
        b[i] = 0.0;
    }
    return true;
}

// phi_ijk = phi (c_i c_j c_k - [i=j] c_i c_k / u_i - [i=k] c_i c_j / u_i
//                - [j=k] c_i c_j / u_j + 2 [i=j=k] c_i / u_i^2).
void PowerBarrier::psi_third_order(const double* u, const double* a, const double* b, double* out) const {
    const int64_t n = dim(), m = leading();
    const double p = phi(u);
    double ca = 0.0, cb = 0.0, cab = 0.0;
    for (int64_t j = 0; j < m; ++j) {
        const double cj = 2.0 * alpha_[size_t(j)] / u[j];
        ca += cj * a[j];
        cb += cj * b[j];
        cab += cj * a[j] * b[j] / u[j];
    }
    for (int64_t i = 0; i < m; ++i) {
        const double ci = 2.0 * alpha_[size_t(i)] / u[i];
        out[i] = p * ci * (ca * cb - a[i] * cb / u[i] - b[i] * ca / u[i] - cab + 2.0 * a[i] * b[i] / (u[i] * u[i]));
    }
    for (int64_t i = m; i < n; ++i) out[i] = 0.0;
}

bool PowerBarrier::conjugate_point(const double* x, double* u) const {
    if (!in_primal_interior(x)) return false;
    const int64_t n = dim(), m = leading();
    const double w2 = trailing_norm2(x);
    double c0 = std::log(4.0);
    for (int64_t i = 0; i < m; ++i) c0 += 2.0 * alpha_[size_t(i)] * std::log(alpha_[size_t(i)] * x[i]);
    if (w2 == 0.0) {
        for (int64_t i = 0; i < m; ++i) u[i] = (1.0 + alpha_[size_t(i)]) / x[i];
        for (int64_t i = m; i < n; ++i) u[i] = 0.0;
        return true;
    }
    // a(l) = sum 2 alpha_i log(1 + alpha_i + 2 alpha_i d) - log(1 + d) at
    // d = exp(l), written for large l without overflow; da its derivative.
    auto a = [&](double l) {
        double s = 0.0;
        if (l <= 0.0) {
            const double d = std::exp(l);
            for (double ai : alpha_) s += 2.0 * ai * std::log(1.0 + ai + 2.0 * ai * d);
            return s - std::log1p(d);
        }
        const double t = std::exp(-l);
        for (double ai : alpha_) s += 2.0 * ai * std::log(2.0 * ai + (1.0 + ai) * t);
        return l + s - std::log1p(t);
    };
    auto da = [&](double l) {
        double s = 0.0;
        if (l <= 0.0) {
            const double d = std::exp(l);
            for (double ai : alpha_) s += 4.0 * ai * ai * d / (1.0 + ai + 2.0 * ai * d);
            return s - d / (1.0 + d);
        }
        const double t = std::exp(-l);
        for (double ai : alpha_) s += 4.0 * ai * ai / ((1.0 + ai) * t + 2.0 * ai);
        return s - 1.0 / (1.0 + t);
    };
    const double c = c0 - std::log(w2);
    auto f = [&](double l) { return a(l) - l - c; };  // decreasing
    double l = a(-INFINITY) - c;
    double lo = l, hi = l;
    for (double step = 1.0; f(lo) <= 0.0; step *= 2.0) {
        hi = lo;
        lo -= step;
        if (!std::isfinite(lo)) return false;
    }
    for (double step = 1.0; f(hi) > 0.0; step *= 2.0) {
        lo = hi;
        hi += step;
        if (hi > 1e4) return false;  // on the boundary in floating point
    }
    l = 0.5 * (lo + hi);
    for (int k = 0; k < 200; ++k) {
        const double fl = f(l);
        (fl > 0.0 ? lo : hi) = l;
        double next = l - fl / (da(l) - 1.0);
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        const double step = next - l;
        l = next;
        if (std::fabs(step) <= 1e-15 * std::max(1.0, std::fabs(l)) || hi - lo <= 1e-15 * std::max(1.0, std::fabs(l)))
            break;
    }
    const double d = std::exp(l), kappa = std::exp(a(l) - c0);
    for (int64_t i = 0; i < m; ++i) u[i] = (1.0 + alpha_[size_t(i)] * (1.0 + 2.0 * d)) / x[i];
    for (int64_t i = m; i < n; ++i) u[i] = -2.0 * kappa * x[i];
    for (int64_t i = 0; i < n; ++i)
        if (!std::isfinite(u[i])) return false;
    return true;
}

void PowerBarrier::central_point(double* e) const {
    for (int64_t i = 0; i < leading(); ++i) e[i] = std::sqrt(1.0 + alpha_[size_t(i)]);
    for (int64_t i = leading(); i < dim(); ++i) e[i] = 0.0;
}

std::unique_ptr<Cone> make_power_cone(int64_t dim, const std::vector<double>& weights, bool dual) {
    auto barrier = std::make_unique<PowerBarrier>(dim, weights);
    ConeMap map;
    if (dual) {
        for (int64_t i = 0; i < dim; ++i) {
            map.from.push_back(i);
            map.scale.push_back(i < int64_t(weights.size()) ? 1.0 / barrier->alpha()[size_t(i)] : 1.0);
        }
    }
    return std::make_unique<NonsymmetricCone>(std::move(barrier), std::move(map));
}

std::unique_ptr<Cone> make_power_cone(const ConeRows& rows) { return make_power_cone(rows.dim, rows.parameters, false); }

std::unique_ptr<Cone> make_dual_power_cone(const ConeRows& rows) {
    return make_power_cone(rows.dim, rows.parameters, true);
}

std::string check_power_cone(int64_t dim, const std::vector<double>& weights) {
    if (weights.empty() || int64_t(weights.size()) > dim)
        return "a power cone of " + std::to_string(dim) + " rows needs 1 to " + std::to_string(dim) + " weights";
    for (double w : weights)
        if (!(w > 0.0) || !std::isfinite(w)) return "the weights of a power cone must be positive and finite";
    return {};
}

}  // namespace vlt::solve::ipm
