// The geometric-mean cone of dimension n,
//   K = {(x, t) in R^(n-1) x R : x >= 0, (prod x_i)^(1 / (n - 1)) >= |t|},
// is the power cone with n - 1 equal weights on its leading members, and
// its dual
//   K* = {(u, t) : u >= 0, (n - 1) (prod u_i)^(1 / (n - 1)) >= |t|}
// is the dual power cone with those weights.  They are built as such: the
// same set, so no reformulation and no extra variables.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "solve/ipm/cones/composite.hpp"

namespace vlt::solve::ipm {

std::unique_ptr<Cone> make_geometric_mean_cone(const ConeRows& rows);
std::unique_ptr<Cone> make_dual_geometric_mean_cone(const ConeRows& rows);
std::string check_geometric_mean_cone(int64_t dim, const std::vector<double>& parameters);

}  // namespace vlt::solve::ipm
