// Conic form of a quadratic objective.
//
// The objective c'x + 0.5 x'Qx + cfix becomes c'x + t + cfix with a new free
// variable t and one affine conic constraint in a rotated quadratic cone:
//   (s t, 1, L'x)  with  2 (s t)(1) >= ||L'x||^2,
// where s Q = L L' (s = 1 when minimizing, -1 when maximizing), so that
// t >= 0.5 x'Qx when minimizing and t <= 0.5 x'Qx when maximizing.  The new
// AFEs (s t, the constant 1, the rows of L') and the domain are appended
// after the existing ones; Q is cleared.
#pragma once

#include <cstdint>
#include <vector>

#include "model/problem.hpp"

namespace vlt::model {

// One row of a factor L' over the problem's variables.
struct FactorRow {
    std::vector<int32_t> cols;
    std::vector<double> vals;
};

// Rows of L' with s Q = L L' (Q given by its lower triangle), from a sparse
// LDL' factorization over the variables that occur in Q, pivots chosen by
// minimum degree.  A pivot that is zero up to round-off relative to its
// original diagonal is accepted only when the rest of its column is zero up
// to round-off too; it then gives no row.  Throws VLT_RES_ERR_NONCONVEX when
// s Q is not positive semidefinite.
std::vector<FactorRow> psd_factor_rows(const QuadraticObjective& q, double s);

// Does the conversion; false (and nothing changed) when there is no
// quadratic objective.  Throws, leaving the problem unchanged, when Q is not
// convex for the objective sense or a size limit would be passed.
bool quadratic_objective_to_conic(Problem& p);

}  // namespace vlt::model
