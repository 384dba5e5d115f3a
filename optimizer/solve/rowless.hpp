// Problems without rows: no constraints, no conic rows, no quadratic or
// semidefinite terms.  Each variable then minimizes its own term c_j x_j
// over its bounds, which a single pass decides exactly, without the
// memory of a general optimizer.
#pragma once

#include "model/problem_data.hpp"
#include "solve/engine.hpp"

namespace vlt::solve {

// Whether the problem has nothing that ties its variables together.
bool without_rows(const model::ProblemData& data);

// The optimal point, its reduced costs and its basis (every variable
// nonbasic), or a ray along one variable whose term improves without bound.
EngineResult solve_without_rows(const model::ProblemData& data);

}  // namespace vlt::solve
