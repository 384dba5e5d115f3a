// Problems without rows: no constraints, cones, affine conic or
// disjunctive constraints, quadratic or semidefinite terms, no integer
// variables.  Each variable then minimizes its own term c_j x_j over its
// bounds, which one pass over the task's own data decides exactly: no copy
// of the problem and no general optimizer, so that the memory of such a
// run is that of the solutions it leaves.
#pragma once

#include "solve/engine.hpp"

namespace vlt {
class Task;
}
namespace vlt::model {
class Problem;
}

namespace vlt::solve {

// Whether the problem has nothing that ties its variables together
// (integrality: whether integer variables are to be integer).
bool without_rows(const model::Problem& problem, bool integrality);

// Which solutions the run leaves.
struct RowlessSolutions {
    bool interior = false;  // VLT_SOL_ITR
    bool basic = false;     // VLT_SOL_BAS (of an optimal answer, or always for a simplex optimizer)
};

// Screens the objective and bounds (solve/data_check), then writes the
// optimal point with its reduced costs, or a ray along a variable whose
// term improves without bound, straight into the task's solutions.  The
// result holds the status and objective values, no vectors.
EngineResult optimize_without_rows(Task& task, RowlessSolutions which);

}  // namespace vlt::solve
