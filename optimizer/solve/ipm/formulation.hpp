// The interior-point method's own form of a problem and the way back.
//
// A ProblemData is brought into the conic form
//
//   minimize  q'x + 0.5 x'Px
//   subject to  G x + s = h,  s in K = {0}^m0 x R+^m1 x K_1 x ... x K_k
//               lb <= x <= ub            (simple bounds, kept apart)
//
// on the way
//  - maximization becomes minimization of the negated objective;
//  - fixed columns, and columns that appear nowhere but in the linear
//    objective, are removed (their values are known);
//  - rows that lose all their entries are checked and dropped, free rows
//    are dropped;
//  - equality rows go to the zero cone, one-sided rows to R+ (negated for
//    a lower bound), ranged rows get a slack column r with lc <= r <= uc and
//    the zero-cone row a'x - r = 0;
//  - conic rows of the linear domains are rows like the others; the rows
//    of every other cone (quadratic, rotated quadratic, ...) stay together
//    as one cone K_i of the same domain;
//  - columns and rows are equilibrated (Ruiz) and the objective scaled.
// Recovery maps an internal point (x, z, bound duals) back to the original
// problem's x, xc, y, slc, suc, slx, sux, doty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/problem_data.hpp"
#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/linsys/ldl_backend.hpp"

namespace vlt::solve::ipm {

struct ConicForm {
    int64_t n = 0;  // columns
    int64_t m = 0;  // rows of G
    std::vector<double> q;
    UpperCsc p;  // upper triangle of P (n x n), diagonal always present
    // G by columns
    std::vector<int64_t> gptr{0};
    std::vector<int64_t> gind;
    std::vector<double> gval;
    std::vector<double> h;
    std::vector<double> lb, ub;  // +-infinity where absent
    std::vector<ConeRows> cones;  // zero rows first, then R+, then the other cones
    double objective_constant = 0.0;  // of the minimization form, unscaled
    // x_orig_internal = colscale .* x, s = s_scaled / rowscale,
    // z = rowscale .* z_scaled / cost_scale, objective = scaled / cost_scale
    std::vector<double> colscale, rowscale;
    double cost_scale = 1.0;
};

// How each piece of the original problem is found in the conic form.
struct Recovery {
    enum class RowKind : uint8_t { dropped, equal, upper, lower, range };
    struct Row {
        RowKind kind = RowKind::dropped;
        int64_t g_row = -1;
        int64_t slack = -1;  // column of a ranged row's slack
    };
    double sense = 1.0;           // -1 for maximization
    std::vector<int64_t> column;  // original column -> internal column or -1
    std::vector<double> fixed_value;  // value of removed columns
    std::vector<Row> rows;            // original linear rows
    std::vector<Row> conic_linear;    // conic rows of linear domains (by conic row)
    std::vector<int64_t> conic_cone;  // conic rows of the other cones: G row or -1
};

// Outcome of the formulation when it already decides the problem.
struct PresolveOutcome {
    enum class Kind { none, error, primal_infeasible, dual_infeasible } kind = Kind::none;
    int32_t error_code = 0;
    std::string message;
    std::vector<double> dual_ray;        // numcon, for primal infeasibility
    std::vector<double> dual_ray_conic;  // conic rows
    std::vector<double> primal_ray;      // numvar, for dual infeasibility
};

// Checks the data (validate_problem and the cones' sizes: vlt::Error when
// malformed) and builds the conic form.  When the optimizer declines the
// problem (a domain without a cone) or presolve decides it, `outcome` says so.
void formulate(const model::ProblemData& d, ConicForm& form, Recovery& rec, PresolveOutcome& outcome);

// Original-space solution from an internal point (x, z over the rows of G,
// zl, zu over the columns; all in the scaled internal space, divided by tau).
struct OriginalPoint {
    std::vector<double> x, xc, y, slc, suc, slx, sux, doty;
};
void recover(const model::ProblemData& d, const ConicForm& form, const Recovery& rec, const std::vector<double>& x,
             const std::vector<double>& z, const std::vector<double>& zl, const std::vector<double>& zu,
             OriginalPoint& out);

// Evaluations on the original data; a point with a value that is not finite
// gets infinite residuals and gap.
struct OriginalQuality {
    double primal_objective = 0.0;
    double dual_objective = 0.0;
    double primal_residual = 0.0;  // relative, infinity norm
    double dual_residual = 0.0;    // relative, infinity norm
    double relative_gap = 0.0;
    // The largest violations (absolute) and the sizes the final check of a
    // solution measures them against (solve/quality/certification.hpp): the
    // primal one the largest of |x|, |xc|, the sums of the terms of each row
    // (sum_j |a_ij x_j|, |g_r| + sum_j |f_rj x_j|) and the finite bounds;
    // the dual one the largest of |c|, of the dual values and of the sums of
    // the terms of each column (sum_i |a_ij y_i| + sum_r |f_rj doty_r| +
    // sum_k |q_jk x_k|).
    double primal_violation = 0.0, primal_terms = 0.0;
    double dual_violation = 0.0, dual_terms = 0.0;
};
OriginalQuality evaluate(const model::ProblemData& d, const OriginalPoint& pt);

// The dual residual per column, c + Qx - A'y - F'doty - (slx - sux).
std::vector<double> dual_residuals(const model::ProblemData& d, const OriginalPoint& pt);

}  // namespace vlt::solve::ipm
