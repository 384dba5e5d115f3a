// The reduced augmented system of the interior-point method
//
//   [ P + Db + rho I      G'       ] [dx]   [rx]
//   [      G         -(H + delta I)] [dz] = [rz]
//
// where Db holds the diagonal contributions of the simple bounds and H the
// cone scalings (diagonal for R+, dense blocks W^2 for quadratic cones, 0
// for the zero cone).  The pattern is built once; every iteration sets the
// scaling, refactors, and solves with iterative refinement against the
// system without the static regularization.
#pragma once

#include <cstdint>
#include <vector>

#include "solve/ipm/cones.hpp"
#include "solve/ipm/formulation.hpp"
#include "solve/ipm/ldl.hpp"

namespace vlt::solve::ipm {

class Kkt {
public:
    explicit Kkt(const ConicForm& f);
    bool analyze() { return ldl_.analyze(k_); }
    // Sets the scalings: bound_diag (n), h_diag (rows of R+ and zero cones;
    // entries of quadratic-cone rows are ignored), soc_blocks (the NT
    // scaling of each quadratic cone, in the order of the cones).
    // Returns false when the factorization fails.
    bool factor(const std::vector<double>& bound_diag, const std::vector<double>& h_diag,
                const std::vector<soc::Scaling>& soc_blocks);
    // Solves for (dx, dz) given (rx, rz), in place in `rhs` (n + m entries).
    // Not const: it uses work space.
    void solve(std::vector<double>& rhs);
    // Multiplies the static regularization and the pivot threshold (used
    // when the method stalls); capped at 1e6 times the initial values.
    void strengthen(double factor);
    int64_t factor_nonzeros() const { return ldl_.nnz_factor(); }
    int64_t dense_block() const { return ldl_.dense_size(); }

private:
    bool assemble_and_factor(const std::vector<double>& bound_diag, const std::vector<double>& h_diag,
                             const std::vector<soc::Scaling>& soc_blocks);
    void multiply_true(const std::vector<double>& v, std::vector<double>& out) const;

    const ConicForm& f_;
    int64_t n_, m_, size_;
    UpperCsc k_;
    std::vector<double> base_;
    std::vector<int64_t> diag_;
    std::vector<std::vector<int64_t>> soc_pos_;  // per cone: upper entries (col-major, strictly above diag)
    std::vector<char> soc_expanded_;             // per cone: sparse expansion instead of a dense block
    std::vector<std::vector<int64_t>> exp_pos_;  // per expanded cone: first entry of its two extra columns
    std::vector<double> w2_;
    std::vector<int8_t> signs_;
    std::vector<double> reg_;  // signed static regularization on the diagonal
    std::vector<double> base_reg_;
    double reg_scale_ = 1.0;
    LdlFactor ldl_;
    std::vector<double> res_, corr_;
};

}  // namespace vlt::solve::ipm
