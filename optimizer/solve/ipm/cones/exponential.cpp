#include "solve/ipm/cones/exponential.hpp"

#include <array>
#include <cmath>
#include <vector>

namespace vlt::solve::ipm {

ExponentialBarrier::ExponentialBarrier() : PsiBarrier(3, 3.0, {{0, 1.0, 1.0}, {2, 1.0, -1.0}}) {}

bool ExponentialBarrier::in_primal_interior(const double* x) const {
    return x[0] > 0.0 && x[1] > 0.0 && x[1] * std::log(x[0] / x[1]) - x[2] > 0.0 && std::isfinite(x[2]);
}

bool ExponentialBarrier::in_dual_interior(const double* u) const {
    return u[0] > 0.0 && u[2] < 0.0 && psi(u) > 0.0 && std::isfinite(u[1]);
}

double ExponentialBarrier::psi(const double* u) const { return u[1] - u[2] - u[2] * std::log(-u[0] / u[2]); }

void ExponentialBarrier::psi_gradient(const double* u, double* out) const {
    out[0] = -u[2] / u[0];
    out[1] = 1.0;
    out[2] = std::log(-u[2] / u[0]);
}

void ExponentialBarrier::psi_hessian(const double* u, double* out) const {
    const double u1 = u[0], u3 = u[2];
    out[0] = u3 / (u1 * u1), out[1] = 0.0, out[2] = -1.0 / u1;
    out[3] = 0.0, out[4] = 0.0, out[5] = 0.0;
    out[6] = -1.0 / u1, out[7] = 0.0, out[8] = 1.0 / u3;
}

// The non-zero third derivatives: psi_111 = -2 u3 / u1^3,
// psi_113 (and its permutations) = 1 / u1^2, psi_333 = -1 / u3^2.
void ExponentialBarrier::psi_third_order(const double* u, const double* a, const double* b, double* out) const {
    const double u1 = u[0], u3 = u[2];
    out[0] = -2.0 * u3 / (u1 * u1 * u1) * a[0] * b[0] + (a[0] * b[2] + a[2] * b[0]) / (u1 * u1);
    out[1] = 0.0;
    out[2] = a[0] * b[0] / (u1 * u1) - a[2] * b[2] / (u3 * u3);
}

bool ExponentialBarrier::conjugate_point(const double* x, double* u) const {
    if (!in_primal_interior(x)) return false;
    const double b = std::log(x[0] / x[1]) - x[2] / x[1];  // > 0 inside
    // y + log1p(y) = b is concave and increasing in y: Newton from a lower
    // bound approaches the root from below.
    double y = std::max(0.5 * b, b - std::log1p(b));
    for (int k = 0; k < 100; ++k) {
        const double f = y + std::log1p(y) - b;
        const double step = f / (1.0 + 1.0 / (1.0 + y));
        y -= step;
        if (std::fabs(step) <= 1e-15 * y) break;
    }
    if (!(y > 0.0) || !std::isfinite(y)) return false;
    u[0] = (1.0 + y) / (y * x[0]);
    u[1] = 2.0 / x[1] - (x[1] - x[2]) / (x[1] * x[1] * y);
    u[2] = -1.0 / (y * x[1]);
    return std::isfinite(u[0]) && std::isfinite(u[1]) && std::isfinite(u[2]);
}

// Newton's method on u + grad g(u) = 0, once.
void ExponentialBarrier::central_point(double* e) const {
    static const std::array<double, 3> point = [this] {
        std::array<double, 3> u{1.26, 0.556, -1.05};
        std::vector<double> jac(9);
        double grad[3];
        for (int k = 0; k < 50; ++k) {
            gradient(u.data(), grad);
            hessian(u.data(), jac.data());
            double f[3] = {u[0] + grad[0], u[1] + grad[1], u[2] + grad[2]};
            for (int i = 0; i < 3; ++i) jac[size_t(i * 4)] += 1.0;
            if (!dense::cholesky(jac, 3)) break;
            dense::cholesky_solve(jac, 3, f);
            for (int i = 0; i < 3; ++i) u[size_t(i)] -= f[i];
            if (std::fabs(f[0]) + std::fabs(f[1]) + std::fabs(f[2]) < 1e-16) break;
        }
        return u;
    }();
    std::copy(point.begin(), point.end(), e);
}

std::unique_ptr<Cone> make_exponential_cone(const ConeRows&) {
    return std::make_unique<NonsymmetricCone>(std::make_unique<ExponentialBarrier>(), ConeMap{});
}

std::unique_ptr<Cone> make_dual_exponential_cone(const ConeRows&) {
    return std::make_unique<NonsymmetricCone>(std::make_unique<ExponentialBarrier>(),
                                              ConeMap{{0, 2, 1}, {std::exp(1.0), -1.0, -1.0}});
}

std::string check_exponential_cone(int64_t dim, const std::vector<double>& parameters) {
    if (dim != 3) return "an exponential cone has exactly 3 rows";
    if (!parameters.empty()) return "an exponential cone takes no parameters";
    return {};
}

}  // namespace vlt::solve::ipm
