// Entry points: solves with the basis of the basic solution and its
// condition (solve/basis/factored_basis.hpp).
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "api/impl.hpp"
#include "model/solution.hpp"
#include "solve/basis/factored_basis.hpp"

namespace vlt {

namespace {

std::vector<int32_t> current_basis(Task& task) {
    const model::Solution& basic = task.solutions.read(VLT_SOL_BAS, model::solution_sizes(task.problem));
    return solve::basic_items(task.problem, basic);
}

// The right-hand side given by sub[0..numnz) and val at those positions.
std::vector<double> sparse_right_hand_side(int32_t m, int32_t numnz, const int32_t* sub, const double* val) {
    model::check_count({"numnz"}, numnz);
    if (numnz > m)
        fail(VLT_RES_ERR_ARGUMENT, "Argument numnz = " + std::to_string(numnz) +
                                       " exceeds the number of constraints (numcon = " + std::to_string(m) + ")");
    model::check_present(sub, "sub", "numnz", numnz);
    model::check_present(val, "val", "numcon", m);
    std::vector<double> rhs(size_t(m), 0.0);
    std::vector<char> seen(size_t(m), 0);
    for (int32_t k = 0; k < numnz; ++k) {
        const int32_t i = sub[k];
        if (i < 0 || i >= m)
            fail(VLT_RES_ERR_INDEX, "Argument sub[" + std::to_string(k) + "] = " + std::to_string(i) +
                                        " is not a position of the basis (numcon = " + std::to_string(m) + ")");
        if (seen[size_t(i)])
            fail(VLT_RES_ERR_DUPLICATE_INDEX,
                 "Argument sub[" + std::to_string(k) + "] = " + std::to_string(i) + " is given twice");
        seen[size_t(i)] = 1;
        model::check_finite(model::at("val", i), val[i]);
        rhs[size_t(i)] = val[i];
    }
    return rhs;
}

}  // namespace

void impl::initbasissolve(Task& task, int32_t* basis) {
    const double slack_sign = task.params.get_int(VLT_IPAR_BASIS_SOLVE_USE_PLUS_ONE) == VLT_ONOFF_ON ? 1.0 : -1.0;
    auto factored = std::make_shared<const solve::FactoredBasis>(task.problem, current_basis(task), slack_sign);
    if (basis) std::copy(factored->items().begin(), factored->items().end(), basis);
    task.factored_basis = std::move(factored);
}

void impl::solvewithbasis(Task& task, int32_t transp, int32_t numnz, int32_t* sub, double* val, int32_t* numnzout) {
    const int32_t m = task.problem.num_con();
    const solve::FactoredBasis* basis = task.factored_basis.get();
    if (!basis) fail(VLT_RES_ERR_BASIS, "No basis is factored: initbasissolve must come first");
    if (basis->size() != m)
        fail(VLT_RES_ERR_BASIS, "The factored basis has " + std::to_string(basis->size()) +
                                    " columns but the problem now has numcon = " + std::to_string(m) +
                                    " constraints: call initbasissolve again");
    if (transp != VLT_TRANSPOSE_NO && transp != VLT_TRANSPOSE_YES)
        fail(VLT_RES_ERR_INVALID_ENUM, "Argument transp = " + std::to_string(transp) + " is not 0 or 1");
    std::vector<double> x = sparse_right_hand_side(m, numnz, sub, val);
    if (transp == VLT_TRANSPOSE_YES)
        basis->solve_transposed(x);
    else
        basis->solve(x);
    int32_t count = 0;
    for (int32_t i = 0; i < m; ++i) {
        val[i] = x[size_t(i)];
        if (x[size_t(i)] != 0.0) sub[count++] = i;
    }
    put_out(numnzout, count);
}

void impl::basiscond(Task& task, double* nrmbasis, double* nrminvbasis) {
    const solve::FactoredBasis basis(task.problem, current_basis(task), -1.0);
    put_out(nrmbasis, basis.norm1());
    put_out(nrminvbasis, basis.inverse_norm1_estimate());
}

}  // namespace vlt
