// The interface of a sparse LDL' factorization of symmetric quasi-definite
// matrices, the backend of the KKT layer's linear solver.
//
// The pattern is fixed for a run: analyze() orders it (fill-reducing) and
// does the symbolic work once; factor() factors values in that pattern;
// solve() applies the factor.  No pivoting: each pivot has an expected sign
// (+ primal, - dual), and a pivot of the wrong sign or too small becomes a
// small value of the expected sign (dynamic regularization); the caller's
// refinement removes the effect of that perturbation.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
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

class LdlBackend {
public:
    // A question factor() asks now and then (about every 1e8 multiply-adds):
    // true stops the factorization, which then returns kInterrupted.
    using Interrupt = std::function<bool()>;
    static constexpr int64_t kInterrupted = -2;

    virtual ~LdlBackend() = default;
    void set_interrupt(Interrupt interrupt) { interrupt_ = std::move(interrupt); }
    // Orders and analyses the pattern of `a`; false when it is not a valid
    // upper triangle with every diagonal entry.
    virtual bool analyze(const UpperCsc& a) = 0;
    // Factors `values` (in the pattern given to analyze).  signs[i] = +1 or
    // -1 is the expected sign of pivot i (original order); a pivot with
    // sign * d < pivot_tolerance becomes sign * pivot_replacement.  Returns
    // the number of such pivots, -1 when a pivot is not finite, or
    // kInterrupted.
    virtual int64_t factor(const std::vector<double>& values, const std::vector<int8_t>& signs,
                           double pivot_tolerance, double pivot_replacement) = 0;
    // Solves L D L' x = b in place (b in the original order).
    virtual void solve(std::vector<double>& b) const = 0;

    virtual int64_t factor_nonzeros() const = 0;
    // Size of the trailing block factored densely (0 when none).
    virtual int64_t dense_block() const = 0;

protected:
    // Counts `work` (multiply-adds) and asks the interrupt once enough has
    // been done since the last question.
    bool interrupted_after(double work) {
        work_since_question_ += work;
        if (work_since_question_ < 1e8 || !interrupt_) return false;
        work_since_question_ = 0.0;
        return interrupt_();
    }

private:
    Interrupt interrupt_;
    double work_since_question_ = 0.0;
};

}  // namespace vlt::solve::ipm
