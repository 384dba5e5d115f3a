// The library's own LDL' backend: up-looking sparse elimination with an
// approximate minimum degree ordering.
//
// When the ordered factor ends in a dense trailing block (as for problems
// whose fill concentrates in the last columns), that block is split off: the
// leading columns are factored sparsely, the Schur complement of the
// trailing block is formed as a dense matrix and factored by a blocked dense
// LDL' (cache-friendly matrix products instead of scattered updates).
//
// The ordering (linalg's minimum degree) and the symbolic analysis
// (elimination tree, column counts) are done once by analyze(), the numeric
// factorization by factor() on every iteration.  Elimination is up-looking
// (row by row of L).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "solve/ipm/linsys/ldl_backend.hpp"
#include "solve/ipm/linsys/symbolic.hpp"

namespace vlt::solve::ipm {

class UpLookingLdl final : public LdlBackend {
public:
    bool analyze(const UpperCsc& a) override;
    // Analysis from an ordering and elimination tree already computed.
    bool analyze(const UpperCsc& a, OrderedPattern pattern);
    int64_t factor(const std::vector<double>& values, const std::vector<int8_t>& signs, double pivot_tolerance,
                   double pivot_replacement) override;
    void solve(std::vector<double>& b) const override;

    int64_t factor_nonzeros() const override { return int64_t(li_.size()) + nd_ * (nd_ + 1) / 2; }
    int64_t dense_block() const override { return nd_; }

private:
    std::pair<int64_t, int64_t> dense_rows(int64_t c) const;
    void subtract_sparse_columns();
    void subtract_panel();

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
    // panels of sparse columns going into the dense block: their columns,
    // the union of their dense rows (panel_pos_: row -> place, -1 outside),
    // W, W D and a block of columns of W D W'
    std::vector<int64_t> panel_cols_, panel_rows_, panel_pos_;
    std::vector<double> panel_w_, panel_wd_, panel_t_;
};

}  // namespace vlt::solve::ipm
