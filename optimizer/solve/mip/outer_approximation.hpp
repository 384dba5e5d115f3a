// Outer approximation: the second mixed-integer method for problems whose
// only non-linear parts are (rotated) quadratic cones.
//
// The cones are replaced by linear cuts, which the MILP engine solves with
// the integer variables (the master problem); its optimum bounds the
// problem's.  The integers of the master's solution are fixed and the
// continuous conic problem solved by the interior-point optimizer: a
// feasible answer is an integer solution.  Each round adds, for every cone
// (u_0, u) = (f_0(x), f(x)), the cut  u_0 >= (v/|v|)'u  at the conic
// solution's v = f(x) (and at the master's point for the cones it violates),
// until the best integer solution is within the gap of the master's bound.
// The first master has the cuts at the continuous relaxation's point and
// u_0 >= |u_i| for every member.
//
// Taken when IParam.MIO_NODE_OPTIMIZER asks for a simplex optimizer (the
// relaxations are then linear programs); see bench/mixed_integer.py for
// how it compares with branch and bound.
#pragma once

#include "solve/highs_engine.hpp"
#include "solve/mip/branch_and_bound.hpp"
#include "solve/mip/mixed_integer_form.hpp"

namespace vlt::solve::mip {

// True when outer approximation takes the form: cones of the linear
// domains and (rotated) quadratic cones only, no quadratic objective, no
// DJC left whole.
bool outer_approximation_applies(const MixedIntegerForm& form);

// options: gaps, limits, the interior-point options of the conic solves;
// master: the MILP engine's options (its gaps and time limit are set here).
EngineResult outer_approximation(const MixedIntegerForm& form, const BranchAndBoundOptions& options,
                                 const EngineOptions& master, const ProgressHook& hook = {},
                                 const LogSink& log = {});

}  // namespace vlt::solve::mip
