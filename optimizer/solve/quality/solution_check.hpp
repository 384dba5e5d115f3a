// One solution of a task's problem held against the problem's data: the
// primal and dual violation of every item, the activities of the affine
// conic constraints and the reduced costs, computed from the stored data
// and the solution's values alone.
//
// Primal violations (zero when the item is satisfied):
//   constraint i   the larger of the bound violation of xc[i] and
//                  |xc[i] - (a_i'xx + 0.5 xx'Q_i xx)|
//   variable j     the bound violation of xx[j]
//   cone k         the violation of the members' values with respect to the
//                  cone (solve/quality/cone_distance.hpp)
//   ACC k          the violation of F x + g - b, its rows, with respect to
//                  its domain
//   DJC k          the smallest, over its terms, of the largest violation of
//                  a domain of the term (each measured like an ACC's); a DJC
//                  without terms is violated without bound (+inf)
//   integrality j  |xx[j] - round(xx[j])| of an integer variable, else 0
//   semidefinite variable j   the distance of barx_j (the matrix of its
//                  packed lower triangle) from the semidefinite cone, the
//                  norm of its negative eigenvalues
// Activities include the semidefinite terms: <A_ij, X_j> in the rows, and
// <F_aj, X_j> in the affine expressions of ACCs and DJCs.
//
// Dual violations, with s = +1 when minimizing and -1 when maximizing (every
// multiplier is the rate of change of the optimal objective with respect to
// its bound, so s*slc, s*suc, s*slx, s*sux >= 0, s*snx lies in the dual cone
// and s*doty in the dual domain):
//   constraint i   the largest of -s*slc[i], -s*suc[i], |slc[i]| when i has
//                  no lower bound, |suc[i]| when it has no upper bound, and
//                  |y[i] - slc[i] + suc[i]|
//   variable j     the same for slx[j], sux[j], and |snx[j]| when j is in
//                  no cone, and |r_j - slx[j] + sux[j]| with the reduced cost
//                  r = c + Qxx - A'y - sum_i y[i] Q_i xx - F'doty - snx
//   cone k         the violation of s*snx over its members w.r.t. the dual cone
//   ACC k          the violation of s*doty over its rows w.r.t. the dual domain
//   semidefinite variable j   the larger of the distance of s*bars_j from
//                  the semidefinite cone and the largest element of
//                  C_j - sum_i y[i] A_ij - sum_a w_a F_aj - bars_j, with w_a
//                  the sum of doty over the ACC rows of affine expression a
// The integer solution has no duals: its dual violations are 0.
//
// A certificate is checked as what it is: one of dual infeasibility (a
// direction x) against the directions of the feasible set (every bound
// taken as 0 on its side, F x alone in the domains), one of primal
// infeasibility (multipliers y, s) against the directions of the dual
// feasible set (reduced costs without c and Q).  The bound combination that
// makes it a certificate is the solution's dual (or primal) objective.
#pragma once

#include <cstdint>
#include <vector>

#include "model/problem.hpp"
#include "model/solution.hpp"

namespace vlt::solve {

class SolutionCheck {
public:
    // The solution must be fitted to the problem (Solutions::read does it);
    // both must outlive the check.
    SolutionCheck(const model::Problem& problem, const model::Solution& solution, int32_t whichsol);

    double constraint(int32_t i);
    double variable(int32_t j) const;
    double cone(int32_t k) const;
    double acc(int64_t k);
    double djc(int64_t k);
    double barvar(int32_t j) const;
    double integrality(int32_t j) const;

    double dual_constraint(int32_t i) const;
    double dual_variable(int32_t j);
    double dual_cone(int32_t k) const;
    double dual_acc(int64_t k) const;
    double dual_barvar(int32_t j);

    bool has_duals() const { return has_duals_; }
    // F x + g - b of every row of the affine conic constraints, stacked.
    const std::vector<double>& acc_activity();
    // c + Qxx - A'y - sum_i y[i] Q_i xx - F'doty - snx of variable j.
    double reduced_cost(int32_t j);

private:
    double sign() const { return problem_.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0; }
    const std::vector<double>& value(int32_t item) const { return solution_.values[size_t(item)]; }
    // The members' values of cone k: xx or snx.
    std::vector<double> cone_values(int32_t k, const std::vector<double>& of) const;
    double acc_violation(int64_t k, const double* rows, bool dual) const;
    void compute_row_activity();
    void compute_reduced_costs();
    // sum_j <F_aj, X_j> of every affine expression a.
    const std::vector<double>& afe_semidefinite_terms();
    // The packed matrices C_j - sum_i y_i A_ij - sum_a w_a F_aj - bars_j.
    void compute_semidefinite_residuals();

    const model::Problem& problem_;
    const model::Solution& solution_;
    bool has_duals_, primal_ray_, dual_ray_;
    std::vector<double> row_activity_, acc_activity_, reduced_cost_, afe_bar_;
    std::vector<std::vector<double>> bar_residual_;
    bool have_row_activity_ = false, have_acc_activity_ = false, have_reduced_costs_ = false, have_afe_bar_ = false,
         have_bar_residual_ = false;
};

}  // namespace vlt::solve
