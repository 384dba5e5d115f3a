// The infeasibility report: a readable account of a solution's certificate
// of infeasibility.  Of a primal certificate, the constraints and bounds
// that it combines (those with a non-zero multiplier) and the contradiction
// their combination gives; of a dual certificate, the unbounded direction:
// its variables, the activities it changes and the objective's rate along it.
#pragma once

#include <cstdint>
#include <string>

#include "model/problem.hpp"
#include "model/solution.hpp"

namespace vlt::solve {

// Throws VLT_RES_ERR_INFEAS_UNDEFINED unless the solution is a certificate.
// With level 0 only the summary lines, else every item.
std::string infeasibility_report(const model::Problem& problem, const model::Solution& solution, int32_t level);

}  // namespace vlt::solve
