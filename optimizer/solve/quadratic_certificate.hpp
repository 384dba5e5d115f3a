// Exact duals and a proof of optimality for a point of a convex quadratic
// problem, from one linear problem.
//
// A point x of a convex quadratic problem is optimal exactly when it
// minimizes the linear function g'x, g = c + Qx, over the feasible set.
// Solving that linear problem certifies the point (its objective is above
// the optimum by at most g'x - min g'x) and gives exact duals for it: those
// of the linear problem satisfy c + Qx - A'y = slx - sux.
#pragma once

#include <functional>
#include <string>

#include "solve/engine.hpp"

namespace vlt::solve {

// Replaces the duals of an optimal answer `r` by those of the linearization
// at r.x, solved by `lp` (an engine for linear problems).  When the
// linearization shows that x is not optimal within `relative_gap`, r becomes
// numerical_trouble; when the linear problem cannot be solved, r is kept
// (the duality gap check judges it).  `log` receives one explanatory text.
void certify_quadratic(const model::ProblemData& data, EngineResult& r, double relative_gap, const Engine& lp,
                       const std::function<void(const std::string&)>& log);

// lc'slc - uc'suc + lx'slx - ux'sux over the sides that have bounds.
double bound_terms(const model::ProblemData& d, const EngineResult& r);

}  // namespace vlt::solve
