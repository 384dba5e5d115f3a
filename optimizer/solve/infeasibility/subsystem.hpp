// Infeasible subsystems of a primal infeasible linear problem.
//
// A subsystem keeps some sides of the bounds of constraints and variables
// (every other side is dropped); the cones on variables, the affine conic
// constraints and the rows' coefficients stay as they are.  The search is a
// deletion filter seeded by the solution's certificate of infeasibility: it
// starts from the bounds the certificate combines, drops one side at a time
// and keeps it dropped when what remains is still infeasible (then also
// dropping every side outside the new certificate's support, once that
// smaller system is confirmed infeasible).  Each test is an optimization of
// the subsystem through the library's optimizer.  When every kept side was
// tested and found necessary (the rest is feasible without it), the result
// is irreducible (an IIS); a search that runs out of time, or a test the
// optimizer cannot decide, leaves an infeasible subsystem that may not be.
#pragma once

#include <cstdint>
#include <vector>

#include "core/task.hpp"

namespace vlt::solve {

// One flag per side (lower, upper) of every constraint and variable.
struct BoundSides {
    std::vector<char> con_lower, con_upper, var_lower, var_upper;
    int64_t count() const;
};

struct InfeasibleSubsystem {
    BoundSides kept;
    bool irreducible = false;
    int64_t solves = 0;
};

// Throws VLT_RES_ERR_INFEAS_UNDEFINED when the solution is no certificate
// of primal infeasibility, VLT_RES_ERR_PROBLEM_TYPE for a problem with
// disjunctive constraints.  Stops testing after time_limit seconds
// (negative: no limit).
InfeasibleSubsystem find_infeasible_subsystem(Task& task, int32_t whichsol, double time_limit);

// The task's problem with only the kept bound sides (a side dropped from a
// fixed bound leaves the other), all variables continuous and no objective.
model::Problem subsystem_problem(const model::Problem& problem, const BoundSides& kept);

}  // namespace vlt::solve
