// Sparse LDL' factorization of symmetric quasi-definite matrices.
//
// When the ordered factor ends in a dense trailing block (as for problems
// whose fill concentrates in the last columns), that block is split off: the
// leading columns are factored sparsely, the Schur complement of the
// trailing block is formed as a dense matrix and factored by a blocked dense
// LDL' (cache-friendly matrix products instead of scattered updates).
//
// The interior-point method solves one augmented system per iteration with a
// fixed sparsity pattern: the fill-reducing ordering (AMD) and the symbolic
// analysis (elimination tree, column counts) are done once by analyze(), the
// numeric factorization by factor() on every iteration.  Elimination is
// up-looking (row by row of L), without pivoting; each pivot has a known
// expected sign (+ for the primal block, - for the dual block), and pivots
// that come out with the wrong sign or too small are replaced by a small
// value of the expected sign (dynamic regularization).  Iterative refinement
// by the caller removes the effect of that perturbation.
#pragma once

#include <cstdint>
#include <vector>

namespace vlt::solve::ipm {

// Upper triangle of a symmetric matrix, compressed by columns; within each
// column the row indexes are distinct and <= the column index, and every
// diagonal entry is present.
struct UpperCsc {
    int64_t n = 0;
    std::vector<int64_t> colptr{0};
    std::vector<int64_t> rowind;
    std::vector<double> values;
};

class LdlFactor {
public:
    // Orders and analyses the pattern of `a`.  Returns false when the pattern
    // is not a valid upper triangle.
    bool analyze(const UpperCsc& a);
    // Numeric factorization of a matrix with the pattern given to analyze().
    // signs[i] = +1 or -1 is the expected sign of pivot i (original order).
    // Returns the number of pivots that were regularized, or -1 when a pivot
    // is not finite.
    int64_t factor(const UpperCsc& a, const std::vector<int8_t>& signs, double pivot_tolerance,
                   double pivot_replacement);
    // Solves L D L' x = b in place (b in the original order).
    void solve(std::vector<double>& b) const;

    int64_t nnz_factor() const { return int64_t(li_.size()) + nd_ * (nd_ + 1) / 2; }
    int64_t dense_size() const { return nd_; }

private:
    int64_t n_ = 0;
    std::vector<int64_t> perm_, iperm_;  // perm_[k] = original index of pivot k
    // Permuted upper triangle: pattern and, for each entry, its position in
    // the caller's value array.
    std::vector<int64_t> cp_, ci_, csrc_;
    std::vector<double> cx_;
    std::vector<int64_t> etree_, lnz_, lp_;
    std::vector<int64_t> li_;
    std::vector<double> lx_, d_, dinv_;
    // work space of the numeric factorization
    std::vector<double> yvals_;
    std::vector<int64_t> yidx_, elim_, next_;
    std::vector<char> marker_;
    mutable std::vector<double> work_;
    // dense trailing block: pivots k0_ .. n-1 (nd_ of them), column-major,
    // unit lower triangle of L below the diagonal
    int64_t k0_ = 0, nd_ = 0;
    std::vector<double> dense_;
    mutable std::vector<double> dwork_;
};

}  // namespace vlt::solve::ipm
