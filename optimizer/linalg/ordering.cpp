#include "linalg/ordering.hpp"

#include <Eigen/OrderingMethods>
#include <Eigen/SparseCore>

namespace vlt::linalg {

std::vector<int64_t> minimum_degree_order(int64_t n, const std::vector<int64_t>& colptr,
                                          const std::vector<int64_t>& rowind, Triangle triangle) {
    std::vector<int64_t> perm(static_cast<size_t>(n));
    if (n == 0) return perm;
    std::vector<Eigen::Triplet<double, int>> entries;
    entries.reserve(rowind.size());
    for (int64_t j = 0; j < n; ++j)
        for (int64_t p = colptr[size_t(j)]; p < colptr[size_t(j) + 1]; ++p)
            entries.emplace_back(int(rowind[size_t(p)]), int(j), 1.0);
    Eigen::SparseMatrix<double, Eigen::ColMajor, int> pattern(static_cast<int>(n), static_cast<int>(n));
    pattern.setFromTriplets(entries.begin(), entries.end());
    Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int> order;
    Eigen::AMDOrdering<int> amd;
    if (triangle == Triangle::upper)
        amd(pattern.selfadjointView<Eigen::Upper>(), order);
    else
        amd(pattern.selfadjointView<Eigen::Lower>(), order);
    // Eigen's ordering maps new positions to old indexes.
    for (int64_t k = 0; k < n; ++k) perm[size_t(k)] = order.indices()[int(k)];
    return perm;
}

}  // namespace vlt::linalg
