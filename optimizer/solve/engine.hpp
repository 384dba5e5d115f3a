// The contract between the optimizer driver and its engines.
//
// An engine solves one problem in the exchange form (model::ProblemData)
// and answers with an EngineResult in the conventions below.  Malformed data
// is refused with vlt::Error (validate_problem gives the code and message
// for every engine alike); a problem the engine declines (non-convex, a type
// it does not take) comes back with status error and a response code.
//
// Sign conventions of the returned solution
// -----------------------------------------
// Both objective senses use the same Lagrangian
//
//   L = c'x + 0.5 x'Qx + slc'(lc - A x) + suc'(A x - uc)
//                      + slx'(lx - x)   + sux'(x - ux)
//
// and the same formulas
//
//   y = slc - suc                       (row duals)
//   s = c + Q x - A'y = slx - sux       (reduced costs, Q = 0 for an LP)
//
// so that every dual value is the rate of change of the optimal objective
// with respect to the bound it belongs to (y_i = d obj / d b_i).
//   minimization: slc, suc, slx, sux >= 0 at optimality;
//   maximization: slc, suc, slx, sux <= 0 at optimality.
// Complementary slackness: slc_i (xc_i - lc_i) = 0, suc_i (uc_i - xc_i) = 0,
// and likewise for the columns.  A multiplier of an infinite bound is zero
// at a dual feasible point.  The dual objective reported is
//   cfix + lc'slc - uc'suc + lx'slx - ux'sux - 0.5 x'Qx
// where the terms of infinite bounds are left out.
//
// Certificates
// ------------
// dual_ray (numcon values, y) certifies primal infeasibility.  With
// s = -A'y split by sign into slx - sux and y split into slc - suc:
//   minimization: lc'slc - uc'suc + lx'slx - ux'sux > 0, all parts >= 0;
//   maximization: the same vector negated (parts <= 0, value < 0),
// i.e. a direction along which the dual of the problem improves without
// bound while staying feasible.  Multipliers on infinite bounds are zero.
// primal_ray (numvar values, d) certifies dual infeasibility: A d stays
// within the recession directions of the row bounds, d within those of the
// column bounds, and c'd < 0 for minimization (> 0 for maximization).
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "velto.h"
#include "model/bounds.hpp"
#include "model/problem_data.hpp"

namespace vlt::solve {

enum class EngineStatus {
    optimal,
    primal_infeasible,
    dual_infeasible,            // unbounded when primal feasible
    primal_or_dual_infeasible,  // infeasible or unbounded, undecided
    time_limit,
    iteration_limit,            // simplex / interior / node limits
    interrupted,                // the progress hook asked to stop
    numerical_trouble,
    error,                      // see EngineResult::error_code and message
};

const char* to_string(EngineStatus status);

enum class BasisStatus : uint8_t {
    basic,
    at_lower,
    at_upper,
    fixed,        // nonbasic at equal lower and upper bounds
    superbasic,   // nonbasic between its bounds, or a free variable at zero
};

struct ProgressEvent {
    enum class Kind {
        simplex_iteration,
        interior_iteration,
        mip_progress,
        mip_improving_solution,
    };
    Kind kind = Kind::simplex_iteration;
    double time = 0.0;  // seconds since the solve started
    int64_t simplex_iterations = 0;
    int64_t interior_iterations = 0;
    double objective = 0.0;  // current objective of the running LP / QP solver
    // Interior-point iterations of the library's own optimizer also report
    // the dual objective, the residuals, the complementarity mu and the step
    // taken (NaN where an engine does not know them).
    double dual_objective = std::numeric_limits<double>::quiet_NaN();
    double primal_residual = std::numeric_limits<double>::quiet_NaN();
    double dual_residual = std::numeric_limits<double>::quiet_NaN();
    double mu = std::numeric_limits<double>::quiet_NaN();
    double step = std::numeric_limits<double>::quiet_NaN();
    int64_t mip_nodes = 0;
    double mip_incumbent = 0.0;  // objective of the best integer solution
    double mip_bound = 0.0;      // best bound on the optimal objective
    double mip_gap = 0.0;        // relative gap between the two
};

// Return true to stop the solve; the result status is then `interrupted`.
// An exception thrown by the hook also stops the solve and is rethrown by
// the engine once it has stopped.
using ProgressHook = std::function<bool(const ProgressEvent&)>;
// Receives an engine's log one line at a time (without the trailing newline).
using LogSink = std::function<void(const std::string&)>;

struct EngineResult {
    EngineStatus status = EngineStatus::error;
    VLTrescodee error_code = VLT_RES_OK;  // set when status == error
    VLTrescodee termination = VLT_RES_OK;  // iteration_limit: the VLT_RES_TRM_* code of the limit, when not the usual one
    std::string message;                  // reason for error / trouble states

    bool is_mip = false;
    bool has_primal = false;       // x and xc hold a point
    bool primal_feasible = false;  // ... that is feasible within tolerances
    bool has_dual = false;         // y, slc, suc, slx, sux hold a dual point
    bool dual_feasible = false;

    double primal_objective = 0.0;  // includes cfix
    double dual_objective = 0.0;    // for a MIP: the best bound

    std::vector<double> x, xc;                 // numvar, numcon
    std::vector<double> y, slc, suc;           // numcon
    std::vector<double> slx, sux;              // numvar
    // Duals of the conic rows of the problem (one per row; empty without
    // them).  With them the reduced costs read s = c + Qx - A'y - F'doty,
    // and each cone's run of doty lies in the dual cone (minimization) or
    // in its negative (maximization).
    std::vector<double> doty;
    // Semidefinite variables: the lower triangles (column by column) of
    // their values and duals, and of the rays' parts, one variable after
    // another; empty without them.
    std::vector<double> barx, bars, barx_ray, bars_ray;

    bool has_basis = false;
    std::vector<BasisStatus> row_basis;     // numcon
    std::vector<BasisStatus> column_basis;  // numvar

    bool has_primal_ray = false;
    std::vector<double> primal_ray;  // numvar
    bool has_dual_ray = false;
    std::vector<double> dual_ray;    // numcon
    std::vector<double> dual_ray_conic;  // conic rows: the doty part of the ray

    int64_t simplex_iterations = 0;
    int64_t interior_iterations = 0;
    int64_t crossover_iterations = 0;
    int64_t qp_iterations = 0;
    int64_t mip_nodes = 0;
    double mip_gap = 0.0;
    double mip_best_bound = 0.0;
    double solve_time = 0.0;  // seconds spent inside the engine

    // Figures of the last interior-point iterate and of its linear algebra
    // (the library's own optimizer fills all of them, the engine's LP
    // interior point the two feasibilities); -1 where unknown.
    struct InteriorFigures {
        double primal_feasibility = -1, dual_feasibility = -1, mu = -1, step = -1;
        double order_time = -1, factor_time = -1;
        int64_t factor_nonzeros = -1, dense_columns = -1, refinement_steps = -1;
    } interior;
    double presolve_time = -1;  // of the library's own reductions; -1: none ran
};

// An engine with its options bound.
using Engine = std::function<EngineResult(const model::ProblemData&, const ProgressHook&, const LogSink&)>;

// Checks the exchange form (sizes, indexes, bound keys, NaN and infinite
// values, pointers, cone domains and sizes, variable types); throws
// vlt::Error with the matching response code at the first fault.
void validate_problem(const model::ProblemData& problem);

using model::has_lower;
using model::has_upper;

}  // namespace vlt::solve
