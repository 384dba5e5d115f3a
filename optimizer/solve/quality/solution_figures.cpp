#include "solve/quality/solution_figures.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/task.hpp"
#include "solve/quality/solution_check.hpp"

namespace vlt::solve {
namespace {

double largest_magnitude(const std::vector<double>& v) {
    double m = 0.0;
    for (double x : v) m = std::max(m, std::fabs(x));
    return m;
}

double largest_magnitude(const std::vector<std::vector<double>>& blocks) {
    double m = 0.0;
    for (const auto& v : blocks) m = std::max(m, largest_magnitude(v));
    return m;
}

const model::Solution& solution_of(Task& task, int32_t whichsol) {
    return task.solutions.read(whichsol, model::solution_sizes(task.problem));
}

}  // namespace

SolutionFigures solution_figures(Task& task, int32_t whichsol) {
    const model::Problem& problem = task.problem;
    const model::Solution& solution = solution_of(task, whichsol);
    SolutionCheck check(problem, solution, whichsol);
    SolutionFigures f;
    const model::ObjectiveValues objectives = task.solutions.objectives(whichsol, problem);
    f.primal_obj = objectives.primal;
    f.dual_obj = objectives.dual;
    for (int32_t i = 0; i < problem.num_con(); ++i) {
        f.pviolcon = std::max(f.pviolcon, check.constraint(i));
        f.dviolcon = std::max(f.dviolcon, check.dual_constraint(i));
    }
    for (int32_t j = 0; j < problem.num_var(); ++j) {
        f.pviolvar = std::max(f.pviolvar, check.variable(j));
        f.pviolitg = std::max(f.pviolitg, check.integrality(j));
        f.dviolvar = std::max(f.dviolvar, check.dual_variable(j));
    }
    for (int32_t k = 0; k < problem.var_cones().num_cone(); ++k) {
        f.pviolcone = std::max(f.pviolcone, check.cone(k));
        f.dviolcone = std::max(f.dviolcone, check.dual_cone(k));
    }
    for (int64_t k = 0; k < problem.conic().num_acc(); ++k) {
        f.pviolacc = std::max(f.pviolacc, check.acc(k));
        f.dviolacc = std::max(f.dviolacc, check.dual_acc(k));
    }
    for (int64_t k = 0; k < problem.disjunctive().num_djc(); ++k) f.pvioldjc = std::max(f.pvioldjc, check.djc(k));
    for (int32_t j = 0; j < problem.semidefinite().num_barvar(); ++j) {
        f.pviolbarvar = std::max(f.pviolbarvar, check.barvar(j));
        f.dviolbarvar = std::max(f.dviolbarvar, check.dual_barvar(j));
    }
    return f;
}

PrimalNorms primal_norms(Task& task, int32_t whichsol) {
    const model::Solution& s = solution_of(task, whichsol);
    return {largest_magnitude(s.values[VLT_SOL_ITEM_XC]), largest_magnitude(s.values[VLT_SOL_ITEM_XX]),
            largest_magnitude(s.barx)};
}

DualNorms dual_norms(Task& task, int32_t whichsol) {
    const model::Solution& s = solution_of(task, whichsol);
    const auto& v = s.values;
    return {largest_magnitude(v[VLT_SOL_ITEM_Y]),   largest_magnitude(v[VLT_SOL_ITEM_SLC]),
            largest_magnitude(v[VLT_SOL_ITEM_SUC]), largest_magnitude(v[VLT_SOL_ITEM_SLX]),
            largest_magnitude(v[VLT_SOL_ITEM_SUX]), largest_magnitude(v[VLT_SOL_ITEM_SNX]),
            largest_magnitude(s.bars)};
}

}  // namespace vlt::solve
