#include "solve/rowless.hpp"

#include <chrono>
#include <cmath>

#include "core/task.hpp"
#include "solve/data_check.hpp"

namespace vlt::solve {

bool without_rows(const model::Problem& p, bool integrality) {
    return p.num_con() == 0 && p.var_cones().num_cone() == 0 && p.conic().num_acc() == 0 &&
           p.disjunctive().num_djc() == 0 && p.num_qobj_nz() == 0 && p.semidefinite().num_barvar() == 0 &&
           (!integrality || p.num_int_var() == 0);
}

namespace {

// One variable's answer: its value, reduced-cost multipliers and keys.
struct ColumnAnswer {
    double x = 0.0, slx = 0.0, sux = 0.0;
    int32_t interior_key = VLT_SK_BAS, basic_key = VLT_SK_SUPBAS;
    double ray = 0.0;  // nonzero: the term improves without bound in this direction
};

// With s = c_j the reduced cost: minimizing, a positive s puts x_j at its
// lower bound (slx = s) and a negative one at its upper bound (sux = -s);
// maximizing, the other way round with the same formulas (the multipliers
// are then non-positive).  A zero s leaves x_j at a bound, or at zero
// when it has none.
ColumnAnswer answer(double s, double sense, const Range& range) {
    ColumnAnswer a;
    const double direction = sense * s;
    if (direction > 0.0) {
        a.x = range.lower;
        a.slx = s;
    } else if (direction < 0.0) {
        a.x = range.upper;
        a.sux = -s;
    } else {
        // Any point of the range is optimal; a bound makes it a vertex.
        a.x = range.lower > -INFINITY ? range.lower : range.upper < INFINITY ? range.upper : 0.0;
    }
    if (std::isinf(a.x)) a.ray = direction > 0.0 ? -1.0 : 1.0;
    if (range.lower == range.upper) a.interior_key = a.basic_key = VLT_SK_FIX;
    else if (a.x == range.lower) a.interior_key = a.basic_key = VLT_SK_LOW;
    else if (a.x == range.upper) a.interior_key = a.basic_key = VLT_SK_UPR;
    return a;
}

}  // namespace

EngineResult optimize_without_rows(Task& task, RowlessSolutions which) {
    const auto start = std::chrono::steady_clock::now();
    screen_objective_and_variable_bounds(task);
    const model::Problem& problem = task.problem;
    const model::BoundSet& bounds = problem.bounds(model::Item::Var);
    const std::vector<double>& c = problem.c();
    const double sense = problem.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    const BoundRule rule(task.params);
    const int32_t n = problem.num_var();
    auto range_of = [&](int32_t j) {
        return rule.apply(bounds.keys()[size_t(j)], bounds.lowers()[size_t(j)], bounds.uppers()[size_t(j)],
                          "variable", j, true);
    };

    EngineResult r;
    int32_t crossed = -1, unbounded = -1;
    double objective = problem.cfix();
    for (int32_t j = 0; j < n && crossed < 0; ++j) {
        const Range range = range_of(j);
        const ColumnAnswer a = answer(c[size_t(j)], sense, range);
        if (range.lower > range.upper) crossed = j;
        else if (a.ray != 0.0 && unbounded < 0) unbounded = j;
        else objective += c[size_t(j)] * a.x;
    }
    for (int32_t k = 0; k < model::kNumSolutions; ++k) task.solutions.remove(k);
    const model::SolutionSizes sizes = model::solution_sizes(problem);
    // The interior-point solution is written first, the basic one is its
    // copy with the basic status keys.
    const int32_t first = which.interior ? VLT_SOL_ITR : VLT_SOL_BAS;
    if (crossed >= 0) {
        // Bounds that cross certify primal infeasibility by their two
        // multipliers alone: lower - upper > 0 with slx = sux = 1.
        r.status = EngineStatus::primal_infeasible;
        r.message = "the bounds of variable " + std::to_string(crossed) + " cross";
        model::Solution& s = task.solutions.write(first, sizes);
        s.prosta = VLT_PRO_STA_PRIM_INFEAS;
        s.solsta = VLT_SOL_STA_PRIM_INFEAS_CER;
        s.values[VLT_SOL_ITEM_SLX][size_t(crossed)] = s.values[VLT_SOL_ITEM_SUX][size_t(crossed)] = 1.0;
    } else if (unbounded >= 0) {
        // A certificate of dual infeasibility: the ray along that variable.
        r.status = EngineStatus::dual_infeasible;
        r.message = "variable " + std::to_string(unbounded) + " improves the objective without bound";
        model::Solution& s = task.solutions.write(first, sizes);
        s.prosta = VLT_PRO_STA_DUAL_INFEAS;
        s.solsta = VLT_SOL_STA_DUAL_INFEAS_CER;
        s.values[VLT_SOL_ITEM_XX][size_t(unbounded)] = answer(c[size_t(unbounded)], sense, range_of(unbounded)).ray;
    } else {
        r.status = EngineStatus::optimal;
        r.has_primal = r.has_dual = r.has_basis = true;
        r.primal_feasible = r.dual_feasible = true;
        r.primal_objective = r.dual_objective = objective;
        model::Solution& s = task.solutions.write(first, sizes);
        s.prosta = VLT_PRO_STA_PRIM_AND_DUAL_FEAS;
        s.solsta = VLT_SOL_STA_OPTIMAL;
        for (int32_t j = 0; j < n; ++j) {
            const ColumnAnswer a = answer(c[size_t(j)], sense, range_of(j));
            s.values[VLT_SOL_ITEM_XX][size_t(j)] = a.x;
            s.values[VLT_SOL_ITEM_SLX][size_t(j)] = a.slx;
            s.values[VLT_SOL_ITEM_SUX][size_t(j)] = a.sux;
            s.skx[size_t(j)] = first == VLT_SOL_ITR ? a.interior_key : a.basic_key;
        }
        s.reported_primal_obj = s.reported_dual_obj = objective;
    }
    // An optimal point or a ray is the basic solution too (with the basic
    // status keys) when both are asked for.
    if (crossed < 0 && which.interior && which.basic) {
        task.solutions.store(VLT_SOL_BAS, model::Solution(task.solutions.read(VLT_SOL_ITR, sizes)));
        model::Solution& basic = task.solutions.write(VLT_SOL_BAS, sizes);
        for (int32_t& key : basic.skx)
            if (key == VLT_SK_BAS) key = VLT_SK_SUPBAS;
        if (unbounded < 0) basic.reported_primal_obj = basic.reported_dual_obj = objective;
    }
    r.solve_time = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

}  // namespace vlt::solve
