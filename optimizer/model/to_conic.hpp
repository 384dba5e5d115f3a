// Conic form of quadratic terms.
//
// The objective c'x + 0.5 x'Qx + cfix becomes c'x + t + cfix with a new free
// variable t and one affine conic constraint in a rotated quadratic cone:
//   (s t, 1, L'x)  with  2 (s t)(1) >= ||L'x||^2,
// where s Q = L L' (s = 1 when minimizing, -1 when maximizing), so that
// t >= 0.5 x'Qx when minimizing and t <= 0.5 x'Qx when maximizing.
//
// A constraint  a'x + 0.5 x'Q_k x <= u  (upper bound only) becomes
// a'x + t_k <= u  with a new free variable t_k in the row and the ACC
// (t_k, 1, L'x), Q_k = L L', so t_k >= 0.5 x'Q_k x: Q_k must be positive
// semidefinite.  A constraint  l <= a'x + 0.5 x'Q_k x  (lower bound only)
// becomes  l <= a'x - t_k  with the ACC (t_k, 1, L'x), -Q_k = L L', so
// t_k >= -0.5 x'Q_k x: Q_k must be negative semidefinite.  A free row keeps
// no quadratic part (it constrains nothing).  A ranged or fixed row with a
// quadratic part is not convex and is refused.
//
// Rows keep their indexes and the original variables keep theirs: the new
// variables come after them (t of the objective first, then t_k by
// increasing k), and the new AFEs, domains and ACCs after the existing ones
// (the objective's first).  A solution of the conic form restricted to the
// first numvar variables solves the original problem.  All quadratic terms
// are cleared.  Any refusal leaves the problem unchanged.
#pragma once

#include <cstdint>
#include <string>
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
// s Q is not positive semidefinite; its message starts with subject (what Q
// belongs to and why it must be semidefinite), by default the objective's.
std::vector<FactorRow> psd_factor_rows(const QuadraticTerms& q, double s, const std::string& subject = {});

// Does the conversion; false (and nothing changed) when there are no
// quadratic terms.  Throws, leaving the problem unchanged, when some part is
// not convex or a size limit would be passed.
bool quadratic_to_conic(Problem& p);

}  // namespace vlt::model
