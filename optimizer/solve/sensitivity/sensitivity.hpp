// Sensitivity analysis of a linear problem at the optimal basis of its basic
// solution.
//
// For a bound of a constraint or variable (its lower or upper bound, by a
// mark VLT_MARK_LO or VLT_MARK_UP; both marks of a fixed item move its
// fixed value) and for the objective coefficient of a variable:
//   left range, right range   the changes (<= 0 and >= 0) of the value over
//                             which the basis stays optimal: for a bound,
//                             the basis stays primal feasible (its duals do
//                             not depend on bounds); for a coefficient, it
//                             stays dual feasible.  An infinite bound has
//                             the range (-inf, inf).
//   left price, right price   the slopes of the optimal objective as the
//                             value decreases from, and increases from, its
//                             current value.  Inside the range on a side
//                             that is not empty the slope is the basis's
//                             own price: for a bound, the reduced cost of a
//                             nonbasic item that sits at it (0 otherwise);
//                             for a coefficient, the variable's value.  On
//                             an empty side (a degenerate basis) it is the
//                             price in the basis that the parametric dual
//                             (bounds) or primal (coefficients) simplex
//                             reaches for an infinitesimal change (the
//                             fastest-growing infeasibility first, Bland's
//                             rule after 50 steps).  A change that leaves the
//                             problem infeasible gives an infinite price
//                             (+inf to the right, -inf to the left when
//                             minimizing; signs flip when maximizing), one
//                             that leaves it unbounded likewise.
#pragma once

#include <cstdint>

#include "model/problem.hpp"
#include "model/solution.hpp"
#include "solve/basis/basis_state.hpp"

namespace vlt::solve {

struct SensitivityResult {
    double left_price = 0.0, right_price = 0.0, left_range = 0.0, right_range = 0.0;
};

class Sensitivity {
public:
    // Throws VLT_RES_ERR_PROBLEM_TYPE unless the problem is linear, and
    // VLT_RES_ERR_BASIS unless the basic solution is optimal.
    Sensitivity(const model::Problem& problem, const model::Solution& basic);

    // Item t of the basis interface (t < numcon: constraint t, else
    // variable t - numcon).
    SensitivityResult bound(int32_t t, int32_t mark) const;
    SensitivityResult coefficient(int32_t j) const;

private:
    // The slope of the optimal objective (minimization form) when the
    // bound moves by an infinitesimal amount in direction delta (+1 or -1);
    // +-inf when the problem turns infeasible.
    double neighbour_bound_price(int32_t t, int32_t mark, double delta) const;
    // The value of variable j at the optimal basis for its cost changed by
    // an infinitesimal amount in direction delta; NaN-free, sets unbounded.
    double neighbour_coefficient_price(int32_t j, double delta, bool& unbounded) const;

    BasisState state_;  // the optimal basis; the parametric steps pivot copies of it
    double sense_;  // +1 minimizing, -1 maximizing
};

}  // namespace vlt::solve
