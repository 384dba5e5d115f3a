#include "solve/quality/cone_distance.hpp"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <vector>

#include "velto.h"

namespace vlt::solve {
namespace {

double norm_of(const double* v, int64_t n) {
    double sum = 0.0;
    for (int64_t k = 0; k < n; ++k) sum += v[k] * v[k];
    return std::sqrt(sum);
}

// Distance of (t, u) from the cone t >= ||u||, with nu = ||u||.
double quadratic_cone_distance(double t, double nu) {
    if (nu <= t) return 0.0;
    if (nu <= -t) return std::hypot(t, nu);
    return (nu - t) / std::sqrt(2.0);
}

double largest_negative_part(const double* v, int64_t n) {
    double worst = 0.0;
    for (int64_t k = 0; k < n; ++k) worst = std::max(worst, -v[k]);
    return worst;
}

// The rotated cone 2 v0 v1 >= ||v2..||^2, v0, v1 >= 0 is the quadratic cone
// in the coordinates ((v0 + v1)/sqrt2, (v0 - v1)/sqrt2, v2, ...), an
// orthogonal change, so distances carry over.
double rotated_cone_distance(const double* v, int64_t n) {
    const double a = (v[0] + v[1]) / std::sqrt(2.0), b = (v[0] - v[1]) / std::sqrt(2.0);
    return quadratic_cone_distance(a, std::hypot(b, norm_of(v + 2, n - 2)));
}

// The packed lower triangle (column by column, off-diagonal entries scaled
// by sqrt2) of a d x d symmetric matrix; the distance to the semidefinite
// cone is the norm of its negative eigenvalues.
double semidefinite_distance(const double* v, int64_t n) {
    const int64_t d = int64_t(std::llround((std::sqrt(8.0 * double(n) + 1.0) - 1.0) / 2.0));
    Eigen::MatrixXd m(d, d);
    int64_t at = 0;
    for (int64_t col = 0; col < d; ++col)
        for (int64_t row = col; row < d; ++row, ++at) {
            const double value = row == col ? v[at] : v[at] / std::sqrt(2.0);
            m(row, col) = value;
            m(col, row) = value;
        }
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(m, Eigen::EigenvaluesOnly);
    double sum = 0.0;
    for (int64_t k = 0; k < d; ++k) sum += std::pow(std::min(eigen.eigenvalues()(k), 0.0), 2);
    return std::sqrt(sum);
}

// x1 >= x2 exp(x3 / x2), x1, x2 >= 0 (closure: x2 = 0, x1 >= 0, x3 <= 0).
double primal_exp_violation(const double* v) {
    double worst = std::max({0.0, -v[0], -v[1]});
    if (v[1] > 0.0)
        worst = std::max(worst, v[1] * std::exp(v[2] / v[1]) - v[0]);
    else
        worst = std::max(worst, v[2]);
    return worst;
}

// x1 >= -x3 exp(x2 / x3 - 1), x1 >= 0, x3 <= 0 (closure: x3 = 0, x1, x2 >= 0).
double dual_exp_violation(const double* v) {
    double worst = std::max({0.0, -v[0], v[2]});
    if (v[2] < 0.0)
        worst = std::max(worst, -v[2] * std::exp(v[1] / v[2] - 1.0) - v[0]);
    else
        worst = std::max(worst, -v[1]);
    return worst;
}

// prod over the leading members of (x_i / s_i)^a_i >= ||rest||, x_i >= 0,
// with a the normalized weights and s_i = 1 (primal) or a_i (dual).
double power_violation(const double* v, int64_t n, const double* alpha, int64_t nleft, bool dual) {
    double total = 0.0;
    for (int64_t i = 0; i < nleft; ++i) total += alpha[i];
    double worst = largest_negative_part(v, nleft), log_mean = 0.0;
    bool zero = false;
    for (int64_t i = 0; i < nleft; ++i) {
        const double a = alpha[i] / total, x = std::max(v[i], 0.0) / (dual ? a : 1.0);
        if (x == 0.0) zero = true;
        else log_mean += a * std::log(x);
    }
    const double mean = zero ? 0.0 : std::exp(log_mean);
    return std::max(worst, norm_of(v + nleft, n - nleft) - mean);
}

// (prod x_i)^(1/m) >= |t| (primal) or m (prod x_i)^(1/m) >= |t| (dual),
// x_i >= 0, over the m = n - 1 leading members.
double geometric_mean_violation(const double* v, int64_t n, bool dual) {
    const int64_t m = n - 1;
    std::vector<double> weights(size_t(m), 1.0);
    return power_violation(v, n, weights.data(), m, dual);
}

}  // namespace

double domain_violation(const DomainShape& domain, const double* v, int64_t n) {
    if (n <= 0) return 0.0;
    switch (domain.kind) {
        case VLT_DOMAIN_R: return 0.0;
        case VLT_DOMAIN_RZERO: return norm_of(v, n);
        case VLT_DOMAIN_RPLUS: {
            double sum = 0.0;
            for (int64_t k = 0; k < n; ++k) sum += std::pow(std::min(v[k], 0.0), 2);
            return std::sqrt(sum);
        }
        case VLT_DOMAIN_RMINUS: {
            double sum = 0.0;
            for (int64_t k = 0; k < n; ++k) sum += std::pow(std::max(v[k], 0.0), 2);
            return std::sqrt(sum);
        }
        case VLT_DOMAIN_QUADRATIC_CONE: return quadratic_cone_distance(v[0], norm_of(v + 1, n - 1));
        case VLT_DOMAIN_RQUADRATIC_CONE: return rotated_cone_distance(v, n);
        case VLT_DOMAIN_SVEC_PSD_CONE: return semidefinite_distance(v, n);
        case VLT_DOMAIN_PRIMAL_EXP_CONE: return primal_exp_violation(v);
        case VLT_DOMAIN_DUAL_EXP_CONE: return dual_exp_violation(v);
        case VLT_DOMAIN_PRIMAL_POWER_CONE: return power_violation(v, n, domain.alpha, domain.nleft, false);
        case VLT_DOMAIN_DUAL_POWER_CONE: return power_violation(v, n, domain.alpha, domain.nleft, true);
        case VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE: return geometric_mean_violation(v, n, false);
        case VLT_DOMAIN_DUAL_GEO_MEAN_CONE: return geometric_mean_violation(v, n, true);
        default: return 0.0;
    }
}

int32_t dual_domain_kind(int32_t kind) {
    switch (kind) {
        case VLT_DOMAIN_R: return VLT_DOMAIN_RZERO;
        case VLT_DOMAIN_RZERO: return VLT_DOMAIN_R;
        case VLT_DOMAIN_PRIMAL_EXP_CONE: return VLT_DOMAIN_DUAL_EXP_CONE;
        case VLT_DOMAIN_DUAL_EXP_CONE: return VLT_DOMAIN_PRIMAL_EXP_CONE;
        case VLT_DOMAIN_PRIMAL_POWER_CONE: return VLT_DOMAIN_DUAL_POWER_CONE;
        case VLT_DOMAIN_DUAL_POWER_CONE: return VLT_DOMAIN_PRIMAL_POWER_CONE;
        case VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE: return VLT_DOMAIN_DUAL_GEO_MEAN_CONE;
        case VLT_DOMAIN_DUAL_GEO_MEAN_CONE: return VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE;
        default: return kind;  // the non-negative and non-positive orthants and the symmetric cones are self-dual
    }
}

}  // namespace vlt::solve
