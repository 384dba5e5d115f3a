// A supernodal LDL' backend: columns of L with the same pattern below their
// diagonal block (postordered elimination tree, chains merged with a bounded
// share of explicit zeros) are stored as dense column-major blocks, and both
// the factorization of a block and its updates of later blocks run as dense
// matrix products (the system's BLAS, on every core it allows).
//
// The factorization is right-looking: once a supernode is factored, its
// contribution L_B D L_B' is formed one target supernode at a time and
// subtracted there.  No pivoting: the expected sign of each pivot rules, as
// in the up-looking backend (signed_pivot).
#pragma once

#include <cstdint>
#include <vector>

#include "solve/ipm/linsys/ldl_backend.hpp"
#include "solve/ipm/linsys/symbolic.hpp"

namespace vlt::solve::ipm {

class SupernodalLdl final : public LdlBackend {
public:
    bool analyze(const UpperCsc& a) override;
    // Analysis from an ordering and elimination tree already computed.
    bool analyze(const UpperCsc& a, OrderedPattern pattern);
    int64_t factor(const std::vector<double>& values, const std::vector<int8_t>& signs, double pivot_tolerance,
                   double pivot_replacement) override;
    void solve(std::vector<double>& b) const override;

    int64_t factor_nonzeros() const override { return stored_; }
    // Columns of the last supernode (the trailing dense block).
    int64_t dense_block() const override { return first_.empty() ? 0 : first_.back() - first_[first_.size() - 2]; }
    int64_t supernodes() const { return int64_t(first_.size()) - 1; }

private:
    void find_supernodes(const EliminationTree& tree);
    void find_rows(const PermutedUpper& c, const EliminationTree& tree);
    void find_updates();
    int64_t row_position(int64_t s, int64_t row) const;
    int64_t factor_block(int64_t s, const std::vector<int8_t>& signs, double tolerance, double replacement,
                      int64_t& replaced);
    void update_ancestors(int64_t s);

    int64_t n_ = 0, stored_ = 0;
    std::vector<int64_t> perm_;
    std::vector<int64_t> first_;      // columns first_[s] .. first_[s+1]-1 form supernode s
    std::vector<int64_t> snode_;      // supernode of each column
    std::vector<int64_t> rowptr_;     // rows of supernode s: rows_[rowptr_[s] .. rowptr_[s+1])
    std::vector<int64_t> rows_;       // its own columns first, then the rows below, ascending
    std::vector<int64_t> offset_;     // of each supernode's block in lx_
    std::vector<int64_t> assemble_;   // position in lx_ of each entry of the caller's matrix
    // Below rows of s grouped by the supernode they fall in: run r covers
    // below rows [run_begin_[r], run_begin_[r+1]) of supernode run_owner_[r].
    std::vector<int64_t> runptr_, run_begin_, run_target_;
    std::vector<double> lx_, d_;
    std::vector<double> wbuf_, cbuf_;
    std::vector<int64_t> pos_;
    mutable std::vector<double> x_, gathered_, product_;
};

}  // namespace vlt::solve::ipm
