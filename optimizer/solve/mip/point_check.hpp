// Evaluations of a point x of a problem in exchange form: its objective,
// its row activities and how far it is from feasible.
#pragma once

#include <vector>

#include "model/problem_data.hpp"

namespace vlt::solve::mip {

// cfix + c'x + 0.5 x'Qx.
double objective_value(const model::ProblemData& d, const std::vector<double>& x);
// a_i'x + 0.5 x'Q_i x for every row i.
std::vector<double> row_activities(const model::ProblemData& d, const std::vector<double>& x);
// The largest violation of a variable bound, a row bound or a conic row's
// domain (linear and quadratic domains; others count as satisfied).
double max_violation(const model::ProblemData& d, const std::vector<double>& x);
// Whether x is finite and max_violation is at most tolerance times 1 + the
// largest magnitude of x and of its row activities (the rule of the final
// check of a stored solution).
bool feasible_within(const model::ProblemData& d, const std::vector<double>& x, double tolerance);

}  // namespace vlt::solve::mip
