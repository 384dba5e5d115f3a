// The sensitivity report: for every constraint and variable, the ranges and
// prices of its finite bounds, and for every variable those of its objective
// coefficient (solve/sensitivity/sensitivity.hpp), as text.
#pragma once

#include <string>

#include "model/problem.hpp"
#include "model/solution.hpp"

namespace vlt::solve {

std::string sensitivity_report(const model::Problem& problem, const model::Solution& basic);

}  // namespace vlt::solve
