// The power cone of dimension n with weights alpha_1..alpha_m (m <= n,
// normalized to sum 1) on its m leading members:
//   K = {(x, w) in R^m x R^(n-m) : x >= 0, prod x_i^alpha_i >= ||w||}
// and its dual
//   K* = {(u, v) : u >= 0, prod (u_i / alpha_i)^alpha_i >= ||v||}.
//
// The barrier of K* in closed form is
//   g(u, v) = -log(phi(u) - ||v||^2) - sum (1 - alpha_i) log u_i,
//   phi(u) = prod (u_i / alpha_i)^(2 alpha_i)                 (degree m + 1).
// For (x, w) in int K the point (u, v) with -grad g(u, v) = (x, w) is
//   u_i = (1 + alpha_i (1 + 2 d)) / x_i,  v = -2 kappa w,
// with kappa = d / ||w||^2 and d > 0 the root of the decreasing function
//   sum 2 alpha_i log(1 + alpha_i + 2 alpha_i d) - log(1 + d) - log d
//     - sum 2 alpha_i log(alpha_i x_i) - log 4 + 2 log ||w||,
// found by a safeguarded Newton method in log d (d = 0 when w = 0).
//
// The dual power cone is the image of K under u_i -> u_i / alpha_i.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/cones/nonsymmetric.hpp"

namespace vlt::solve::ipm {

class PowerBarrier final : public PsiBarrier {
public:
    // dim members, the weights of the leading ones (positive, any sum).
    PowerBarrier(int64_t dim, const std::vector<double>& weights);
    bool in_primal_interior(const double* x) const override;
    bool in_dual_interior(const double* u) const override;
    bool conjugate_point(const double* x, double* u) const override;
    void central_point(double* e) const override;
    const std::vector<double>& alpha() const { return alpha_; }
    bool structured_hessian(const double* u, double* d, double* a, double* b) const override;

protected:
    double psi(const double* u) const override;
    void psi_gradient(const double* u, double* out) const override;
    void psi_hessian(const double* u, double* out) const override;
    void psi_third_order(const double* u, const double* a, const double* b, double* out) const override;
    void psi_hessian_product(const double* u, const double* v, double* out) const override;

private:
    int64_t leading() const { return int64_t(alpha_.size()); }
    double phi(const double* u) const;
    double trailing_norm2(const double* v) const;

    std::vector<double> alpha_;  // normalized
};

// The primal and dual power cones over `weights` (the cone's first members).
std::unique_ptr<Cone> make_power_cone(int64_t dim, const std::vector<double>& weights, bool dual);
std::unique_ptr<Cone> make_power_cone(const ConeRows& rows);
std::unique_ptr<Cone> make_dual_power_cone(const ConeRows& rows);
std::string check_power_cone(int64_t dim, const std::vector<double>& weights);

}  // namespace vlt::solve::ipm
