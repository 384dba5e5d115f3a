// Turning an engine's answer into the task's solutions, and the solution
// figures among the information items.
#pragma once

#include <cstdint>
#include <vector>

#include "model/problem_data.hpp"
#include "solve/engine.hpp"

namespace vlt {
class Task;
}

namespace vlt::solve {

// A solution being assembled by the optimizer driver.
struct SolutionValues {
    int32_t numcon = 0, numvar = 0;
    int32_t prosta = VLT_PRO_STA_UNKNOWN;
    int32_t solsta = VLT_SOL_STA_UNKNOWN;
    std::vector<int32_t> skc, skx;
    std::vector<double> xc, xx, y, slc, suc, slx, sux;
    std::vector<double> doty;  // duals of the conic rows; put_solution maps those of cones to snx
    std::vector<double> barx, bars;  // semidefinite variables, one lower triangle after another
    bool has_objectives = false;
    double primal_obj = 0.0, dual_obj = 0.0;

    // The primal and dual point of an optimal (or stopped) run.
    void take_point(const EngineResult& r);
    // The primal point only (integer solutions have no duals).
    void take_primal(const EngineResult& r);
    // A certificate of primal infeasibility: the dual values of a Farkas ray
    // (ray over the rows, conic_ray over the conic rows, empty when none).
    void take_dual_ray(const model::ProblemData& data, const std::vector<double>& ray,
                       const std::vector<double>& conic_ray);
    // A certificate of dual infeasibility: a primal direction of improvement.
    void take_primal_ray(const model::ProblemData& data, const std::vector<double>& ray);
    // Status keys from the basis (or, with from_values, from the point).
    void take_basis(const model::ProblemData& data, const EngineResult& r, bool from_values);
};

void put_solution(Task& task, int32_t whichsol, const model::ProblemData& data, SolutionValues& values);

// The interior-point (VLT_SOL_ITR) or basic (VLT_SOL_BAS) solution that a
// continuous answer gives.  A point with a value that is not finite is
// never taken: its statuses stay unknown.
SolutionValues continuous_solution(const model::ProblemData& data, const EngineResult& r, int32_t which);

// How an answer becomes the task's solutions.
struct StoreChoice {
    bool integer = false;         // the integer solution only
    bool basic_only = false;      // a simplex optimizer: the basic solution only
    bool basis_identification = false;  // also a basic solution when the answer has a basis
};

// Replaces the task's solutions by the answer's and returns the termination
// code of the run.
int32_t store_answer(Task& task, const model::ProblemData& data, const EngineResult& r, const StoreChoice& choice);

// Fills the solution items of the information record (objective values,
// statuses, violations and norms of every defined solution).
void update_solution_info(Task& task);

}  // namespace vlt::solve
