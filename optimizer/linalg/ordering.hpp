// Fill-reducing orderings of symmetric sparse matrices.
#pragma once

#include <cstdint>
#include <vector>

namespace vlt::linalg {

enum class Triangle { lower, upper };

// An approximate minimum degree ordering of the symmetric pattern given by
// one triangle in column layout: column j holds the row indexes
// rowind[colptr[j] .. colptr[j+1]).  Returns perm with perm[k] = the
// original index of the k-th pivot.
std::vector<int64_t> minimum_degree_order(int64_t n, const std::vector<int64_t>& colptr,
                                          const std::vector<int64_t>& rowind, Triangle triangle);

}  // namespace vlt::linalg
