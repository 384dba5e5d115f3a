// The basis of a linear problem, factored for solves with B and B'.
//
// Items are numbered as the basis interface numbers them: item t < numcon is
// constraint t, through its activity xc[t], whose column in [A  -I] (the
// system A xx - xc = 0) is -e_t; item numcon + j is variable j, column A_j.
// A basis is a list of numcon items; B holds their columns in that order.
// The slack sign may be chosen (+1 gives the columns +e_t instead).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/problem.hpp"
#include "model/solution.hpp"

namespace vlt::solve {

// The basic items of a solution's status keys (VLT_SK_BAS), constraints
// first, each kind by index.  Throws VLT_RES_ERR_BASIS when they are not
// exactly numcon.
std::vector<int32_t> basic_items(const model::Problem& problem, const model::Solution& solution);

class FactoredBasis {
public:
    // Throws VLT_RES_ERR_BASIS_SINGULAR when B is singular.
    FactoredBasis(const model::Problem& problem, std::vector<int32_t> items, double slack_sign);
    ~FactoredBasis();
    FactoredBasis(FactoredBasis&&) noexcept;
    FactoredBasis& operator=(FactoredBasis&&) noexcept;

    int32_t size() const { return int32_t(items_.size()); }
    const std::vector<int32_t>& items() const { return items_; }

    // In place: B x = b, or B'x = b.
    void solve(std::vector<double>& rhs) const;
    void solve_transposed(std::vector<double>& rhs) const;

    // ||B||_1, exactly.
    double norm1() const;
    // An estimate of ||B^-1||_1 by Hager's method with Higham's refinements
    // (at most five solves with B and B' each, plus one with an alternating
    // test vector).  Every value it takes is ||B^-1 w||_1 / ||w||_1 for some
    // w, so the estimate never exceeds the true norm; in practice it is
    // exact or within a factor of three.
    double inverse_norm1_estimate() const;

private:
    struct Factors;
    std::vector<int32_t> items_;
    std::unique_ptr<Factors> factors_;
};

}  // namespace vlt::solve
