// The basis of a linear problem, factored for solves with B and B'.
//
// Items are numbered as the basis interface numbers them: item t < numcon is
// constraint t, through its activity xc[t], whose column in [A  -I] (the
// system A xx - xc = 0) is -e_t; item numcon + j is variable j, column A_j.
// A basis is a list of numcon items; B holds their columns in that order.
// The slack sign may be chosen (+1 gives the columns +e_t instead).
//
// A basis can change one column at a time (replace): the change is kept as
// an elementary factor of the inverse (product form), and the basis is
// factored afresh after every kRefactorInterval changes.
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
    // Copies share the factors of the last fresh factorization.
    FactoredBasis(const FactoredBasis&);
    FactoredBasis& operator=(const FactoredBasis&);
    ~FactoredBasis();

    int32_t size() const { return int32_t(items_.size()); }
    const std::vector<int32_t>& items() const { return items_; }

    // Item `item` takes position r; w must be B^-1 a_item of the current B.
    void replace(int32_t r, int32_t item, const std::vector<double>& w);

    // In place: B x = b, or B'x = b.
    void solve(std::vector<double>& rhs) const;
    void solve_transposed(std::vector<double>& rhs) const;

    // ||B||_1, exactly (of the basis as last factored afresh).
    double norm1() const;
    // An estimate of ||B^-1||_1 by Hager's method with Higham's refinements
    // (at most five solves with B and B' each, plus one with an alternating
    // test vector).  Every value it takes is ||B^-1 w||_1 / ||w||_1 for some
    // w, so the estimate never exceeds the true norm; in practice it is
    // exact or within a factor of three.
    double inverse_norm1_estimate() const;

private:
    static constexpr size_t kRefactorInterval = 64;
    struct Factors;
    // An elementary factor: B_new = B (I + (w - e_r) e_r'), w kept by its
    // non-zeros (pivot w_r apart).
    struct Eta {
        int32_t r;
        double pivot;
        std::vector<int32_t> index;
        std::vector<double> value;
    };
    void factor();

    const model::Problem* problem_;
    double slack_sign_;
    std::vector<int32_t> items_;
    std::shared_ptr<Factors> factors_;  // never changed once made (Eigen's transposed solve is not const)
    std::vector<Eta> etas_;
};

}  // namespace vlt::solve
