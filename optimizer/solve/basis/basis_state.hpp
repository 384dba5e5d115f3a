// A linear problem seen from one of its bases, in minimization form: the
// items of the basis interface (solve/basis/factored_basis.hpp) with their
// bounds and costs, which items are basic, where the nonbasic ones sit, and
// the primal values and reduced costs that follow.  The analyses that move
// from basis to basis (sensitivity) pivot it.
//
// With the columns a_t of [A  -I] (A xx - xc = 0), B the basic columns and
// N the nonbasic ones:  z_B = -B^-1 N z_N,  B'pi = c_B,  d_t = c_t - a_t'pi.
// The costs are those of the problem when minimizing and their negatives
// when maximizing, so that d >= 0 at lower bounds and d <= 0 at upper bounds
// in an optimal basis either way.
#pragma once

#include <cstdint>
#include <vector>

#include "model/problem.hpp"
#include "model/solution.hpp"
#include "solve/basis/factored_basis.hpp"

namespace vlt::solve {

// Where an item sits: in the basis, at its lower or upper bound, fixed
// (both bounds equal), or nonbasic at a value between its bounds (free).
enum class Place : int8_t { basic, lower, upper, fixed, free };

class BasisState {
public:
    // The basis of an optimal basic solution of a linear problem.  Throws
    // VLT_RES_ERR_BASIS or VLT_RES_ERR_BASIS_SINGULAR.
    BasisState(const model::Problem& problem, const model::Solution& basic);

    int32_t num_con() const { return m_; }
    int32_t num_items() const { return int32_t(cost_.size()); }
    double lower(int32_t t) const { return lower_[size_t(t)]; }
    double upper(int32_t t) const { return upper_[size_t(t)]; }
    double cost(int32_t t) const { return cost_[size_t(t)]; }
    Place place(int32_t t) const { return place_[size_t(t)]; }
    double value(int32_t t) const { return z_[size_t(t)]; }
    double reduced_cost(int32_t t) const { return d_[size_t(t)]; }
    // The basis position of a basic item, else -1.
    int32_t position(int32_t t) const { return position_[size_t(t)]; }
    int32_t basic_item(int32_t r) const { return factors_.items()[size_t(r)]; }

    // B^-1 a_t, one value per basis position.
    std::vector<double> ftran(int32_t t) const;
    // Row r of B^-1 [A  -I]: one value per item (basic items included).
    std::vector<double> tableau_row(int32_t r) const;

    // Item q takes basis position r; the item that leaves goes to `leaving`
    // (lower, upper or fixed).  Updates the factors and recomputes values
    // and duals.  column: ftran(q) when the caller has it.
    void pivot(int32_t r, int32_t q, Place leaving, const std::vector<double>* column = nullptr);
    // A nonbasic item moves to its other bound (or to `to` in general).
    void move_nonbasic(int32_t t, Place to);

private:
    void recompute();
    double resting_value(int32_t t) const;

    const model::Problem& problem_;
    int32_t m_ = 0;
    std::vector<double> lower_, upper_, cost_;
    std::vector<Place> place_;
    std::vector<double> z_, d_, free_value_;
    std::vector<int32_t> position_;
    FactoredBasis factors_;
};

}  // namespace vlt::solve
