// Whether a quadratic objective is convex for its sense: sign * Q positive
// semidefinite (sign = +1 when minimizing, -1 when maximizing), within a
// tolerance relative to the size of Q.
//
// Data written with a few significant digits can leave a semidefinite Q
// with eigenvalues slightly below zero, so Q is accepted when
//   sign * Q + tolerance * ||Q||_inf * I
// is positive definite (an LDL' factorization with positive pivots), that
// is when no eigenvalue of sign * Q is below -tolerance * ||Q||_inf.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/problem_data.hpp"

namespace vlt::solve {

struct ConvexityVerdict {
    bool convex = true;
    std::string reason;  // when not convex: what shows it
};

// level: VLT_CHECK_CONVEXITY_NONE (no check), _SIMPLE (the diagonal only),
// _FULL (the factorization).  Q is given by lower-triangle triplets
// (duplicates are summed).
ConvexityVerdict check_convexity(const std::vector<int32_t>& subi, const std::vector<int32_t>& subj,
                                 const std::vector<double>& val, int32_t numvar, double sign,
                                 double relative_tolerance, int32_t level);

// The message of a refused objective.
std::string nonconvex_objective_message(double sign, const std::string& reason);

}  // namespace vlt::solve
