// Bounds on the variables that the constraints imply (feasibility-based
// bound tightening): each linear row  lc <= a'x <= uc,  and each conic row
// of a linear domain, bounds every one of its variables by the activity of
// the others; passes repeat while some bound improves markedly.  Integer
// variables round their bounds inward.
//
// The bounds are proven for every feasible point, with a small outward
// margin against rounding, so the reformulations may rely on them (a big-M
// computed from them is valid); they are never written back into the
// problem.
#pragma once

#include <vector>

#include "model/problem_data.hpp"
#include "solve/mip/extension.hpp"

namespace vlt::solve::mip {

struct Box {
    std::vector<double> lower, upper;  // one per variable, infinite where unbounded
};

// The variable bounds of d, tightened.  Returns false when the rows
// contradict the bounds (the problem is infeasible); the box then holds
// what was derived so far.
bool propagate_bounds(const model::ProblemData& d, Box& box);

// The range of f(x) over the box: lower <= f(x) <= upper.
void affine_range(const Affine& f, const Box& box, double& lower, double& upper);

}  // namespace vlt::solve::mip
