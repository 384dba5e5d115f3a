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
// The pattern is built once; every iteration sets the scaling and hands the
// matrix to the quasi-definite solver (static and dynamic regularization,
// iterative refinement against the matrix itself).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/eliminated_cones.hpp"
#include "solve/ipm/formulation.hpp"
#include "solve/ipm/linsys/quasidefinite_solver.hpp"

namespace vlt::solve::ipm {

class Kkt {
public:
    // The cones must outlive the system.
    Kkt(const ConicForm& f, const CompositeCone& cones);
    Kkt(const Kkt&) = delete;
    Kkt& operator=(const Kkt&) = delete;
    bool analyze() { return solver_.analyze(k_, signs_, reg_); }
    // Sets the scalings: bound_diag (n) and the cones' current blocks.
    // Returns false when the factorization fails.
    bool factor(const std::vector<double>& bound_diag, const CompositeCone& cones);
    // Solves for (dx, dz) given (rx, rz), in place in `rhs` (n + m entries).
    // Not const: it uses work space.
    void solve(std::vector<double>& rhs);
    // Multiplies the static regularization and the pivot threshold (used
    // when the method stalls); capped at 1e6 times the initial values.
    void strengthen(double factor) { solver_.strengthen(factor); }
    // Asked during factorizations; whether the last one was stopped by it.
    void set_interrupt(LdlBackend::Interrupt interrupt) { solver_.set_interrupt(std::move(interrupt)); }
    bool interrupted() const { return solver_.interrupted(); }
    // Whether cone blocks were eliminated into the primal block (their
    // solves go through Schur complements, the least accurate part).
    bool has_eliminated_blocks() const { return eliminated_.any(); }
    int64_t factor_nonzeros() const { return solver_.factor_nonzeros(); }
    int64_t dense_block() const { return solver_.dense_block(); }
    const QuasiDefiniteSolver& linear_solver() const { return solver_; }

private:
    void add_primal_block(const ConicForm& f);
    void add_cone_blocks(const CompositeCone& cones, const std::vector<int64_t>& row_start,
                         const std::vector<int64_t>& row_cols, const std::vector<double>& row_vals);

    int64_t n_, m_, size_;
    UpperCsc k_;
    std::vector<double> base_;
    std::vector<int64_t> diag_;
    // Where each value of the cones' blocks goes in k_.values, and with
    // which sign (-1: a part of -H, +1: an entry or pivot of an extra column).
    std::vector<int64_t> block_pos_;
    std::vector<int8_t> block_sign_;
    std::vector<double> block_values_;
    std::vector<int64_t> block_start_;  // of each cone's values in the three above
    std::vector<int8_t> signs_;
    std::vector<double> reg_;  // signed static regularization on the diagonal
    EliminatedCones eliminated_;
    std::vector<int64_t> schur_pos_;  // where each Schur value goes in k_.values
    QuasiDefiniteSolver solver_;
};

}  // namespace vlt::solve::ipm
