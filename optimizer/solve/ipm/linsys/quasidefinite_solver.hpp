// Solves K x = b for a symmetric quasi-definite K of fixed pattern (the KKT
// system of the interior-point method): analyze once; factor K plus a
// static regularization (+ on the primal block, - on the rows of
// equations) with the backend's dynamic regularization; solve by iterative
// refinement against K itself.
//
// K may be a reduced form of the system to solve, with some rows eliminated
// analytically (a SystemReduction): a solve then folds the right-hand side
// into the reduced rows, solves and refines with K, and recovers the
// eliminated rows; an outer refinement against the full system follows.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "solve/ipm/linsys/backend_choice.hpp"
#include "solve/ipm/linsys/ldl_backend.hpp"

namespace vlt::solve::ipm {

class SystemReduction {
public:
    virtual ~SystemReduction() = default;
    // Around a solve with the reduced matrix, in place.
    virtual void fold(std::vector<double>& v) = 0;
    virtual void unfold(std::vector<double>& v) = 0;
    // Turns out = K v (K the reduced matrix) into the full system's product.
    virtual void correct_product(const std::vector<double>& v, std::vector<double>& out) = 0;
};

class QuasiDefiniteSolver {
public:
    // The backend is chosen and analysed by analyze().
    explicit QuasiDefiniteSolver(LdlMethod method = LdlMethod::automatic);

    // The pattern of K, the expected sign of each pivot and the static
    // regularization of each diagonal entry (signed: +delta on the primal
    // block, -delta or 0 on the dual block).
    bool analyze(const UpperCsc& k, std::vector<int8_t> signs, std::vector<double> static_regularization);
    // Factors k (values in the analysed pattern; k is kept for the
    // refinement, so it must outlive the solves).  A factorization that
    // breaks down is retried with a stronger regularization, which then
    // stays in force.  Returns false when even that fails.
    bool factor(const UpperCsc& k);
    // Asked during factorizations (see LdlBackend::Interrupt); whether the
    // last factor() was stopped by it.
    void set_interrupt(LdlBackend::Interrupt interrupt);
    bool interrupted() const { return interrupted_; }
    // The reduction K stands for (none by default); it must outlive the solves.
    void set_reduction(SystemReduction* reduction) { reduction_ = reduction; }
    // Solves K x = b in place.  Not const: it uses work space.
    void solve(std::vector<double>& b);
    // Multiplies the static regularization and the pivot threshold (used
    // when the method stalls); capped at 1e6 times the initial values.
    void strengthen(double factor);

    int64_t factor_nonzeros() const { return backend_ ? backend_->factor_nonzeros() : 0; }
    // Work done so far: numeric factorizations, and solves with the factor
    // (one per solve plus one per refinement step).
    int64_t factorizations() const { return factorizations_; }
    int64_t backend_solves() const { return backend_solves_; }
    int64_t dense_block() const { return backend_ ? backend_->dense_block() : 0; }

private:
    bool factor_once();
    void multiply(const std::vector<double>& v, std::vector<double>& out) const;
    void precondition(std::vector<double>& v);
    // Solves K x = b (b given in x) by refinement with the factor.
    void refine(std::vector<double>& x);
    void solve_reduced(std::vector<double>& x);

    LdlMethod method_;
    std::unique_ptr<LdlBackend> backend_;
    const UpperCsc* k_ = nullptr;
    SystemReduction* reduction_ = nullptr;
    std::vector<int64_t> diag_;  // position of each diagonal entry in k's values
    std::vector<int8_t> signs_;
    std::vector<double> base_reg_, reg_;
    double reg_scale_ = 1.0;
    int64_t factorizations_ = 0, backend_solves_ = 0;
    LdlBackend::Interrupt interrupt_;
    bool interrupted_ = false;
    std::vector<double> regularized_;  // k's values with the static regularization
    // refinement work space
    std::vector<double> b_, residual_, work_, full_residual_, correction_;
    std::vector<std::vector<double>> basis_, preconditioned_;
    std::vector<double> hessenberg_, cosines_, sines_, g_, y_;
};

}  // namespace vlt::solve::ipm
