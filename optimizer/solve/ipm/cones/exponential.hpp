// The exponential cone
//   K = closure {x : x1 >= x2 exp(x3 / x2), x2 > 0}
// and its dual
//   K* = closure {u : u1 >= -u3 exp(u2 / u3 - 1), u3 < 0}.
//
// The barrier of K* in closed form is
//   g(u) = -log(u2 - u3 - u3 log(-u1 / u3)) - log(u1) - log(-u3)   (degree 3);
// its conjugate, the barrier of K, is reached through the Wright omega
// function: for x in int K the point u with -grad g(u) = x is
//   u1 = (1 + y) / (y x1),  u2 = 2 / x2 - (x2 - x3) / (x2^2 y),  u3 = -1 / (y x2)
// with y > 0 the root of  y + log(1 + y) = log(x1 / x2) - x3 / x2.
//
// The dual cone is the image of K under A u = (e u1, -u3, -u2): the
// dual-exponential domain is this cone seen through that map.
#pragma once

#include <memory>

#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/cones/nonsymmetric.hpp"

namespace vlt::solve::ipm {

class ExponentialBarrier final : public PsiBarrier {
public:
    ExponentialBarrier();
    bool in_primal_interior(const double* x) const override;
    bool in_dual_interior(const double* u) const override;
    bool conjugate_point(const double* x, double* u) const override;
    void central_point(double* e) const override;

protected:
    double psi(const double* u) const override;
    void psi_gradient(const double* u, double* out) const override;
    void psi_hessian(const double* u, double* out) const override;
    void psi_third_order(const double* u, const double* a, const double* b, double* out) const override;
};

std::unique_ptr<Cone> make_exponential_cone(const ConeRows& rows);
std::unique_ptr<Cone> make_dual_exponential_cone(const ConeRows& rows);
std::string check_exponential_cone(int64_t dim, const std::vector<double>& parameters);

}  // namespace vlt::solve::ipm
