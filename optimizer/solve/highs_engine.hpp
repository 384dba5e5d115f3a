// Engine that hands a whole LP / QP / MILP to the HiGHS library and
// translates its answer into this library's conventions (engine.hpp).
//
// The engine talks to HiGHS through its C interface only, so the library may
// come from a binary distribution built with another C++ ABI.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "solve/engine.hpp"

namespace vlt::solve {

enum class Algorithm {
    automatic,       // HiGHS chooses (simplex for LPs, its QP solver for QPs)
    interior_point,  // interior point, followed by crossover when requested
    primal_simplex,
    dual_simplex,
    mixed_integer,   // branch and bound; same as automatic for a continuous problem
};

enum class Pricing { automatic, full, devex, steepest_edge };
enum class Form { automatic, primal, dual };

// Integer and semi-continuous variables are honoured whenever the problem
// has them (unless relax_integrality is set): the problem is then solved by
// branch and bound and the LP algorithm choice has no effect.
struct EngineOptions {
    Algorithm algorithm = Algorithm::automatic;
    double time_limit = std::numeric_limits<double>::infinity();  // seconds, >= 0
    int64_t simplex_iteration_limit = -1;   // < 0: no limit
    int64_t interior_iteration_limit = -1;  // < 0: no limit
    int64_t mip_node_limit = -1;            // < 0: no limit
    int64_t mip_solution_limit = -1;        // improving integer solutions; < 0: no limit
    double primal_feasibility_tolerance = 1e-7;
    double dual_feasibility_tolerance = 1e-7;
    double mip_relative_gap = 1e-4;
    double mip_absolute_gap = 1e-6;
    // 0 lets HiGHS choose.  HiGHS keeps one thread pool per process, sized by
    // the first solve that starts it; later values are honoured only after
    // that pool has been released.
    int32_t threads = 0;
    // 0: no log lines; >= 1: HiGHS's normal log is sent to the log sink.
    int32_t log_level = 1;
    // A quadratic objective must be convex within this tolerance relative to
    // the size of Q (see convexity.hpp).
    double convexity_tolerance = 1e-5;
    bool crossover = true;   // basis identification after the interior point
    bool presolve = true;
    bool relax_integrality = false;
    // Values of the variables that branch and bound starts from (a MIP
    // start: its integer solution when feasible); empty for none.
    std::vector<double> mip_start;
    // Status keys (VLT_SK_*) of a basis that the simplex starts from (a
    // warm start of a continuous problem); empty for none.
    std::vector<int32_t> start_row_keys, start_col_keys;

    // Tuning of the engine; a negative value keeps the engine's default.
    Pricing primal_pricing = Pricing::automatic;
    Pricing dual_pricing = Pricing::automatic;
    bool scaling = true;
    int32_t random_seed = -1;
    Form simplex_form = Form::automatic;     // the problem or its dual for the simplex
    Form interior_form = Form::automatic;    // ... for the LP interior point
    int32_t updates_between_refactorizations = -1;
    int64_t presolve_reduction_limit = -1;
    double presolve_drop_tolerance = -1;     // matrix entries up to this magnitude are zero
    double interior_gap_tolerance = -1;      // relative gap of the LP interior point
    double mip_heuristic_effort = -1;        // share of the effort in [0, 1]
    bool mip_symmetry = true;
    double mip_integrality_tolerance = -1;
    // The best objective the caller accepts (minimization sense): branch and
    // bound prunes what cannot beat it.  Infinite: none.
    double mip_cutoff = std::numeric_limits<double>::infinity();
};

// Solves `problem`.  Malformed problem data throws vlt::Error (see
// validate_problem) before HiGHS is called; everything HiGHS reports,
// including a non-convex quadratic objective, comes back as an EngineResult
// status.
EngineResult solve_with_highs(const model::ProblemData& problem, const EngineOptions& options,
                              const ProgressHook& hook = {}, const LogSink& log = {});

}  // namespace vlt::solve
