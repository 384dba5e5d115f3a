// The reduced augmented system of the interior-point method
//
//   [ P + Db + rho I      G'       ] [dx]   [rx]
//   [      G         -(H + delta I)] [dz] = [rz]
//
// where Db holds the diagonal contributions of the simple bounds and H the
// cones' blocks, each in the shape its cone declares (none for the zero
// cone, diagonal, dense, or sparse with extra columns for low-rank terms);
// dense blocks with a cheap inverse may instead be eliminated into the
// primal block (solve/ipm/eliminated_cones.hpp).
// The pattern is built once; every iteration sets the scaling, refactors,
// and solves with iterative refinement against the system without the
// static regularization.
#pragma once

#include <cstdint>
#include <vector>

#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/eliminated_cones.hpp"
#include "solve/ipm/formulation.hpp"
#include "solve/ipm/ldl.hpp"

namespace vlt::solve::ipm {

class Kkt {
public:
    Kkt(const ConicForm& f, const CompositeCone& cones);
    bool analyze() { return ldl_.analyze(k_); }
    // Sets the scalings: bound_diag (n) and the cones' current blocks.
    // Returns false when the factorization fails.
    bool factor(const std::vector<double>& bound_diag, const CompositeCone& cones);
    // Solves for (dx, dz) given (rx, rz), in place in `rhs` (n + m entries).
    // Not const: it uses work space.
    void solve(std::vector<double>& rhs);
    // Multiplies the static regularization and the pivot threshold (used
    // when the method stalls); capped at 1e6 times the initial values.
    void strengthen(double factor);
    int64_t factor_nonzeros() const { return ldl_.nnz_factor(); }
    int64_t dense_block() const { return ldl_.dense_size(); }

private:
    void add_cone_blocks(const CompositeCone& cones, const std::vector<int64_t>& row_start,
                         const std::vector<int64_t>& row_cols, const std::vector<double>& row_vals);
    bool assemble_and_factor(const std::vector<double>& bound_diag, const CompositeCone& cones);
    void multiply_true(const std::vector<double>& v, std::vector<double>& out);
    // A solve with the factored (reduced, regularized) matrix.
    void precondition(std::vector<double>& v);

    int64_t n_, m_, size_;
    UpperCsc k_;
    std::vector<double> base_;
    std::vector<int64_t> diag_;
    // Where each value of the cones' blocks goes in k_.values, and with
    // which sign (-1: a part of -H, +1: an entry or pivot of an extra column).
    std::vector<int64_t> block_pos_;
    std::vector<int8_t> block_sign_;
    std::vector<double> block_values_;
    std::vector<int8_t> signs_;
    std::vector<double> reg_;  // signed static regularization on the diagonal
    std::vector<double> base_reg_;
    double reg_scale_ = 1.0;
    LdlFactor ldl_;
    const CompositeCone* cones_;
    EliminatedCones eliminated_;
    std::vector<int64_t> schur_pos_;       // where each Schur value goes in k_.values
    std::vector<int64_t> decoupled_diag_;  // the pivots -1 of eliminated rows
    std::vector<int64_t> value_start_;     // of each cone's block values
    std::vector<double> res_, corr_;
};

}  // namespace vlt::solve::ipm
