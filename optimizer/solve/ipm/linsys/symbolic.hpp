// Symbolic steps shared by the LDL' backends: the check of the input
// pattern, the symmetric permutation of an upper triangle (with the map
// back to the caller's entries), the elimination tree and the column counts
// of L, and the pivot rule of the quasi-definite factorization.
#pragma once

#include <cstdint>
#include <vector>

#include "linalg/ordering.hpp"

#include "solve/ipm/linsys/ldl_backend.hpp"

namespace vlt::solve::ipm {

// Whether `a` is an upper triangle in column layout with every diagonal entry.
bool valid_upper(const UpperCsc& a);

// C = P A P' (upper triangle) for perm[k] = original index of pivot k.
struct PermutedUpper {
    std::vector<int64_t> perm, iperm;
    std::vector<int64_t> colptr, rowind;
    std::vector<int64_t> source;  // position of each entry of C in A's arrays
};
PermutedUpper permute_upper(const UpperCsc& a, std::vector<int64_t> perm);

// Elimination tree of an upper triangle in column layout (parent, -1 at
// roots) and the number of entries below the diagonal in each column of L.
struct EliminationTree {
    std::vector<int64_t> parent, below;
};
EliminationTree elimination_tree(const std::vector<int64_t>& colptr, const std::vector<int64_t>& rowind);

// The pattern of A ordered by approximate minimum degree, its permuted upper
// triangle and elimination tree: the analysis both backends start from.
struct OrderedPattern {
    PermutedUpper upper;
    EliminationTree tree;
    // Flops of the factorization (sum of squared column counts) per entry of L.
    double flops_per_entry() const;
};
// Fails (false) when `a` is not a valid upper triangle.
bool order_pattern(const UpperCsc& a, OrderedPattern& out);

// A pivot of the wrong sign or too small (sign * d < tolerance) becomes
// sign * replacement; `replaced` counts those.
inline double signed_pivot(double d, int8_t expected_sign, double tolerance, double replacement, int64_t& replaced) {
    const double sign = expected_sign >= 0 ? 1.0 : -1.0;
    if (sign * d < tolerance) {
        ++replaced;
        return sign * replacement;
    }
    return d;
}

}  // namespace vlt::solve::ipm
