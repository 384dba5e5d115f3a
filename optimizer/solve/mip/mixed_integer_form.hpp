// The form in which a problem with integer variables or disjunctive
// constraints is solved: the task's exchange data with every DJC that allows
// it reformulated with binaries (disjunctions.hpp), and, when nothing but
// linear rows remain, the linear conic rows made ordinary rows so that the
// MILP engine takes the problem.  The new columns and rows come after the
// task's own, so an answer maps back by truncation.
#pragma once

#include <cstdint>
#include <vector>

#include "model/problem.hpp"
#include "solve/engine.hpp"
#include "solve/mip/disjunctions.hpp"

namespace vlt::solve::mip {

struct MixedIntegerForm {
    model::ProblemData data;
    std::vector<Disjunction> djcs;       // every DJC of the task
    std::vector<Disjunction> branching;  // those left whole, for branch and bound
    int32_t num_binaries = 0;            // added for the reformulated DJCs
    // No quadratic term, no cone and nothing to branch on but integers: the
    // MILP engine takes data as it is.
    bool linear = false;
};

// d: the task's problem in exchange form, quadratic constraints already in
// conic form.  Throws VLT_RES_ERR_DIMENSION for a DJC without terms,
// VLT_RES_ERR_NONCONVEX for a non-convex objective of a problem that is not
// linear.  max_big_m: the largest big-M the reformulation may use.
MixedIntegerForm mixed_integer_form(const model::Problem& p, const model::ProblemData& d, double max_big_m);

// Cuts an answer of the form down to the task's own columns and rows
// (task: the task's problem) and computes the row activities there.
void restrict_to_task(const model::ProblemData& task, EngineResult& r);

}  // namespace vlt::solve::mip
