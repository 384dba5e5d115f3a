// Branch and bound over the library's own interior-point optimizer: the
// mixed-integer optimizer for problems that the MILP engine does not take
// (quadratic objectives, quadratic and other cones, DJCs left whole).
//
// A node is the problem with tightened bounds on integer variables and, for
// each DJC branched on, one of its terms imposed.  Its relaxation is solved
// by the interior-point optimizer; its dual objective bounds the subtree.
//  - Branching: the most fractional integer variable (down: x <= floor,
//    up: x >= ceil); once all are integral, a DJC the point violates (one
//    child per term).
//  - Node selection: depth first along the child nearest the relaxation
//    (a dive), best bound when a dive ends or strays too far from the best
//    bound (VLT_MIO_NODE_SELECTION_FIRST / _BEST force one of the two).
//  - Heuristics: at the root, rounding (integers fixed at the rounded
//    values, the rest solved again) and fractional diving (nearly integral
//    variables fixed in rounds).
//  - Integer solutions: the integers of an integral point are fixed at
//    their rounded values and the continuous part solved again, so that the
//    solution is exactly integral and feasible to the optimizer's tolerances.
//  - Stops at the relative or absolute gap, the node, branch, solution and
//    time limits, or when the hook asks; the gap reported is that of the best
//    solution and the least bound of the open nodes.
#pragma once

#include <cstdint>
#include <limits>

#include "solve/engine.hpp"
#include "solve/ipm/ipm.hpp"
#include "solve/mip/mixed_integer_form.hpp"

namespace vlt::solve::mip {

struct BranchAndBoundOptions {
    double relative_gap = 1e-4;
    double absolute_gap = 0.0;
    double gap_constant = 1e-10;  // relative gap = |objective - bound| / max(gap_constant, |objective|)
    double integrality_tolerance = 1e-5;
    double feasibility_tolerance = 1e-6;
    int64_t node_limit = -1;      // < 0: none
    int64_t solution_limit = -1;  // improving integer solutions; < 0: none
    int64_t branch_limit = -1;    // nodes branched on; < 0: none
    double time_limit = std::numeric_limits<double>::infinity();
    int32_t node_selection = VLT_MIO_NODE_SELECTION_FREE;
    int32_t branch_direction = VLT_BRANCH_DIR_FREE;
    bool heuristics = true;
    // Objective values the caller does not want (as sign * objective, the
    // minimization sense): nodes whose bound reaches it are pruned.
    double objective_cutoff = std::numeric_limits<double>::infinity();
    int32_t log_frequency = 10;  // nodes between log lines (<= 0: only new solutions)
    int32_t log_level = 0;
    IpmOptions relaxation;  // of the node solves (time limits are set per node)
};

// Solves form.data; the answer is over its columns and rows (callers cut it
// back with restrict_to_task).  Reports mip_progress after every node and
// mip_improving_solution for every better integer solution.
EngineResult branch_and_bound(const MixedIntegerForm& form, const BranchAndBoundOptions& options,
                              const ProgressHook& hook = {}, const LogSink& log = {});

}  // namespace vlt::solve::mip
