// The library's own primal-dual interior-point optimizer for linear, convex
// quadratic and conic problems: second-order and rotated cones, semidefinite
// blocks, exponential, power and geometric-mean cones (cones/, one file each).
//
// Method: homogeneous self-dual embedding (tau, kappa) of the conic form
// built by formulation.hpp, Mehrotra predictor-corrector steps with
// Nesterov-Todd scaling of the symmetric cones (and a primal-dual scaling of
// the non-symmetric ones, cones/nonsymmetric.hpp), simple bounds eliminated
// into the diagonal of the augmented system, and a sparse LDL' of that
// quasi-definite system with static and dynamic regularization plus
// iterative refinement.  The answer follows the conventions of engine.hpp
// (signs of the duals, dual objective, certificates).
#pragma once

#include <cstdint>
#include <limits>

#include "model/problem_data.hpp"
#include "solve/engine.hpp"

namespace vlt::solve {

struct IpmOptions {
    int64_t max_iterations = 400;
    double time_limit = std::numeric_limits<double>::infinity();  // seconds
    double primal_feasibility_tolerance = 1e-8;  // relative, infinity norm
    double dual_feasibility_tolerance = 1e-8;    // relative, infinity norm
    double relative_gap_tolerance = 1e-8;        // |pobj - dobj| / max(1, |pobj|)
    // When the iterates stop improving, the best one is accepted as optimal
    // if it is within the three tolerances above multiplied by this factor.
    double near_optimal_factor = 1000.0;
    // A certificate is accepted when its residual is below this fraction
    // of the amount by which it proves infeasibility.
    double infeasibility_tolerance = 1e-10;
    int32_t log_level = 0;  // 0: silent; >= 1: one line per iteration
    int32_t threads = 0;    // ignored: the factorization runs on one thread
    // Correctors per iteration: 0 takes the centred direction without the
    // second-order term of the predictor; any other value one corrector.
    int32_t max_correctors = -1;
    // Fraction of the step to the boundary taken, at most 0.99.
    double step_fraction = 0.99;
    // Start from the cones' central point (x = 0, s = z = e) instead of
    // the least-squares point.
    bool constant_start = false;
};

EngineResult solve_with_ipm(const model::ProblemData& problem, const IpmOptions& options, const ProgressHook& hook = {},
                            const LogSink& log = {});

}  // namespace vlt::solve
