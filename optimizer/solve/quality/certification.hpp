// The last step of every optimization, local or remote: each stored
// solution is held against the task's own problem data and keeps a status
// only when the solution meets what the status promises at the tolerances
// of the parameters.
//
//   optimal                 primal and dual feasible, and the primal and
//                           dual objectives agree within the relative gap
//   primal and dual feasible, primal feasible, dual feasible
//                           the part (or parts) that it names feasible
//   integer optimal         primal feasible, integral, and a finite bound
//
// Primal feasible: every value of the primal part and its objective is
// finite, and the largest violation of constraints, variable bounds, cones,
// affine conic constraints, disjunctive constraints and semidefinite
// variables (solve/quality/solution_figures.hpp) is at most the primal
// tolerance times 1 + the largest magnitude of xx, xc and barx.  Integral
// (integer solutions): every integer variable within the integrality
// tolerance.  Dual feasible: the same for the dual values, with the dual
// tolerance times 1 + the largest magnitude of c and of the dual values.
//
// A status that does not hold is weakened to the strongest one that does
// (optimal to primal and dual feasible, to primal feasible, dual feasible or
// unknown; integer optimal to primal feasible or unknown), and the log says
// which part of the problem is violated and by how much.  A certificate of
// infeasibility is checked as one (its violations as a direction, and the
// sign of its value) and becomes unknown when it proves nothing.
#pragma once

#include <cstdint>

namespace vlt {
class Task;
}

namespace vlt::solve {

// Checks every defined solution of the task and weakens the statuses that
// do not hold; the solution items of the information record are left to
// the caller (update_solution_info).
void certify_solutions(Task& task);

}  // namespace vlt::solve
