#include "solve/infeasibility/repair.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "solve/infeasibility/derived_task.hpp"

namespace vlt::solve {
namespace {

constexpr double kInf = INFINITY;

using model::has_lower;
using model::has_upper;

// The weight of one side, or -1 when it stays (negative, infinite or no bound).
double side_weight(const double* weights, int32_t i, bool bounded) {
    if (!bounded) return -1.0;
    const double w = weights ? weights[i] : 1.0;
    return w >= 0.0 && std::isfinite(w) ? w : -1.0;
}

// The relaxable sides of all constraints and variables, in item order
// (constraints first), with their elastic columns in the phase-1 problem.
struct Side {
    bool con;
    int32_t index;
    bool lower;
    double weight;
    int32_t column = -1;  // the elastic variable
};

struct Elastic {
    model::Problem problem;
    std::vector<Side> sides;
    int32_t numvar = 0;  // the task's variables come first
};

std::vector<Side> relaxable_sides(const model::Problem& p, const double* wlc, const double* wuc, const double* wlx,
                                  const double* wux) {
    std::vector<Side> sides;
    for (auto [con, item, lower_weights, upper_weights] :
         {std::tuple{true, model::Item::Con, wlc, wuc}, std::tuple{false, model::Item::Var, wlx, wux}}) {
        const model::BoundSet& b = p.bounds(item);
        for (int32_t i = 0; i < b.size(); ++i) {
            const double lw = side_weight(lower_weights, i, has_lower(b.key(i)));
            const double uw = side_weight(upper_weights, i, has_upper(b.key(i)));
            if (lw >= 0) sides.push_back({con, i, true, lw});
            if (uw >= 0) sides.push_back({con, i, false, uw});
        }
    }
    return sides;
}

// The phase-1 problem: the task's rows and variables, one elastic column
// per side, and for each variable with a relaxable side a row that carries
// its bounds.  The objective is left to the caller.
Elastic elastic_problem(const model::Problem& p, std::vector<Side> sides) {
    Elastic e{p, std::move(sides), p.num_var()};
    model::Problem& q = e.problem;
    const int32_t first = q.num_var();
    q.append_vars(int32_t(e.sides.size()));
    std::vector<int32_t> subi, subj;
    std::vector<double> val;
    // A variable's bound row: x_j and its elastic columns, with its relaxable sides.
    std::vector<int32_t> bound_row(size_t(p.num_var()), -1);
    for (size_t k = 0; k < e.sides.size(); ++k) {
        Side& s = e.sides[k];
        s.column = first + int32_t(k);
        q.put_bound(model::Item::Var, s.column, VLT_BK_LO, 0.0, 0.0);
        int32_t row = s.index;
        if (!s.con) {
            if (bound_row[size_t(s.index)] < 0) {
                bound_row[size_t(s.index)] = q.num_con();
                q.append_cons(1);
                subi.push_back(q.num_con() - 1), subj.push_back(s.index), val.push_back(1.0);
            }
            row = bound_row[size_t(s.index)];
        }
        subi.push_back(row), subj.push_back(s.column), val.push_back(s.lower ? 1.0 : -1.0);
    }
    q.put_aij_list(int64_t(val.size()), subi.data(), subj.data(), val.data());
    // The relaxable sides move from the variables to their bound rows.
    const model::BoundSet& vars = p.bounds(model::Item::Var);
    for (int32_t j = 0; j < p.num_var(); ++j) {
        if (bound_row[size_t(j)] < 0) continue;
        bool lower_moves = false, upper_moves = false;
        for (const Side& s : e.sides)
            if (!s.con && s.index == j) (s.lower ? lower_moves : upper_moves) = true;
        const double lo = vars.lower(j), up = vars.upper(j);
        q.change_bound(model::Item::Con, bound_row[size_t(j)], 1, lower_moves, lower_moves ? lo : 0.0);
        q.change_bound(model::Item::Con, bound_row[size_t(j)], 0, upper_moves, upper_moves ? up : 0.0);
        q.change_bound(model::Item::Var, j, 1, !lower_moves && std::isfinite(lo), std::isfinite(lo) ? lo : 0.0);
        q.change_bound(model::Item::Var, j, 0, !upper_moves && std::isfinite(up), std::isfinite(up) ? up : 0.0);
    }
    return e;
}

void put_violation_objective(Elastic& e) {
    model::Problem& q = e.problem;
    std::vector<double> c(size_t(q.num_var()), 0.0);
    for (const Side& s : e.sides) c[size_t(s.column)] = s.weight;
    q.put_c_slice(0, q.num_var(), c.data());
    q.put_cfix(0.0);
    q.put_qobj(0, nullptr, nullptr, nullptr);
    q.put_sense(VLT_OBJECTIVE_SENSE_MINIMIZE);
}

// The phase-1 problem for the task's own objective, its weighted violation
// at most `cap`.
void cap_violation(Elastic& e, double cap) {
    model::Problem& q = e.problem;
    const int32_t row = q.num_con();
    q.append_cons(1);
    std::vector<int32_t> cols;
    std::vector<double> weights;
    for (const Side& s : e.sides)
        if (s.weight != 0.0) cols.push_back(s.column), weights.push_back(s.weight);
    q.put_line(model::Axis::Row, row, int32_t(cols.size()), cols.data(), weights.data());
    q.put_bound(model::Item::Con, row, VLT_BK_UP, 0.0, cap);
    std::vector<double> zeros(size_t(q.num_var() - e.numvar), 0.0);
    q.put_c_slice(e.numvar, q.num_var(), zeros.data());
}

std::unique_ptr<Task> solved(Task& task, const model::Problem& problem, DerivedOutcome& outcome) {
    std::unique_ptr<Task> derived = derived_task(task, problem);
    outcome = optimize_derived(*derived);
    if (outcome.verdict == Verdict::unknown)
        fail(VLT_RES_ERR_OPTIMIZER, "The optimizer could not solve the repair problem to a definite answer");
    if (outcome.verdict == Verdict::infeasible)
        fail(VLT_RES_ERR_INFEAS_UNDEFINED,
             "No relaxation of the bounds that may move makes the problem feasible: the bounds kept by negative or "
             "infinite weights (and the constraints without bounds to relax) are infeasible by themselves");
    return derived;
}

// The amount by which each side moves in a solution of the phase-1 problem.
std::vector<double> relaxations(const Elastic& e, const model::Solution& s) {
    std::vector<double> v(e.sides.size());
    for (size_t k = 0; k < e.sides.size(); ++k)
        v[k] = std::max(0.0, s.values[VLT_SOL_ITEM_XX][size_t(e.sides[k].column)]);
    return v;
}

// The task's problem with every side moved by its relaxation.
model::Problem repaired_problem(const model::Problem& p, const Elastic& e, const std::vector<double>& v) {
    model::Problem r = p;
    for (size_t k = 0; k < e.sides.size(); ++k) {
        if (v[k] <= 0.0) continue;
        const Side& s = e.sides[k];
        const model::Item item = s.con ? model::Item::Con : model::Item::Var;
        const model::BoundSet& b = r.bounds(item);
        int32_t key = b.key(s.index);
        double lo = b.lower(s.index), up = b.upper(s.index);
        if (s.lower) lo -= v[k];
        else up += v[k];
        if (key == VLT_BK_FX) key = VLT_BK_RA;
        r.put_bound(item, s.index, key, std::isfinite(lo) ? lo : 0.0, std::isfinite(up) ? up : 0.0);
    }
    return r;
}

// The phase-1 point as a solution of the task: its primal values and the
// status keys of the task's rows and variables.
model::Solution phase_one_solution(const model::Problem& p, const model::Solution& s, bool satisfied) {
    model::Solution out;
    out.defined = true;
    out.prosta = satisfied ? VLT_PRO_STA_PRIM_FEAS : VLT_PRO_STA_PRIM_INFEAS;
    out.solsta = satisfied ? VLT_SOL_STA_PRIM_FEAS : VLT_SOL_STA_UNKNOWN;
    const int32_t m = p.num_con(), n = p.num_var();
    out.skc.assign(s.skc.begin(), s.skc.begin() + m);
    out.skx.assign(s.skx.begin(), s.skx.begin() + n);
    out.values[VLT_SOL_ITEM_XX].assign(s.values[VLT_SOL_ITEM_XX].begin(), s.values[VLT_SOL_ITEM_XX].begin() + n);
    std::vector<double>& xc = out.values[VLT_SOL_ITEM_XC];
    xc.assign(size_t(m), 0.0);
    const model::LineStore& columns = p.matrix().lines(model::Axis::Col);
    for (int32_t j = 0; j < n; ++j)
        for (int32_t e = 0; e < columns.length(j); ++e)
            xc[size_t(columns.index(j)[e])] += columns.value(j)[e] * out.values[VLT_SOL_ITEM_XX][size_t(j)];
    out.fit(model::solution_sizes(p));
    return out;
}

std::string relaxation_report(const model::Problem& p, const Elastic& e, const std::vector<double>& v, double penalty) {
    char line[256];
    std::snprintf(line, sizeof line, "Primal repair: the smallest weighted relaxation of the bounds is %.10g.\n",
                  penalty);
    std::string text = line;
    for (size_t k = 0; k < e.sides.size(); ++k) {
        if (v[k] <= 0.0) continue;
        const Side& s = e.sides[k];
        const model::BoundSet& b = p.bounds(s.con ? model::Item::Con : model::Item::Var);
        const double bound = s.lower ? b.lower(s.index) : b.upper(s.index);
        const std::string& name = s.con ? p.names().con.get(s.index) : p.names().var.get(s.index);
        std::snprintf(line, sizeof line, "  %s %d%s%s: %s bound %.10g moves to %.10g (by %.6g, weight %g)\n",
                      s.con ? "constraint" : "variable", s.index, name.empty() ? "" : " ", name.c_str(),
                      s.lower ? "lower" : "upper", bound, s.lower ? bound - v[k] : bound + v[k], v[k], s.weight);
        text += line;
    }
    return text;
}

void check_weights(const char* name, const double* w, int32_t n) {
    if (!w) return;
    for (int32_t i = 0; i < n; ++i) model::check_not_nan(model::at(name, i), w[i]);
}

}  // namespace

void primal_repair(Task& task, const double* wlc, const double* wuc, const double* wlx, const double* wux) {
    const auto start = std::chrono::steady_clock::now();
    const model::Problem& p = task.problem;
    if (!p.quadratic_constraints().empty() || p.var_cones().num_cone() > 0 || p.conic().num_acc() > 0 ||
        p.disjunctive().num_djc() > 0 || p.semidefinite().num_barvar() > 0)
        fail(VLT_RES_ERR_PROBLEM_TYPE, "Primal repair works on problems with linear constraints only (no quadratic "
                                       "constraints, cones, semidefinite variables, affine conic or disjunctive "
                                       "constraints)");
    check_weights("wlc", wlc, p.num_con());
    check_weights("wuc", wuc, p.num_con());
    check_weights("wlx", wlx, p.num_var());
    check_weights("wux", wux, p.num_var());
    task.progress(VLT_CALLBACK_BEGIN_PRIMAL_REPAIR, task.info.d, task.info.i, task.info.l);

    Elastic e = elastic_problem(p, relaxable_sides(p, wlc, wuc, wlx, wux));
    model::Problem with_objective = e.problem;  // for the combined mode: the task's objective
    put_violation_objective(e);
    DerivedOutcome outcome;
    std::unique_ptr<Task> phase_one = solved(task, e.problem, outcome);
    const model::Solution& point = phase_one->solutions.read(outcome.whichsol, model::solution_sizes(e.problem));
    const double penalty = std::max(0.0, phase_one->solutions.objectives(outcome.whichsol, e.problem).primal);
    std::vector<double> v = relaxations(e, point);

    const int32_t mode = task.params.get_int(VLT_IPAR_FEASREPAIR_OPTIMIZE);
    model::Solutions solutions;
    std::unique_ptr<Task> final_run;
    if (mode == VLT_FEASREPAIR_OPTIMIZE_COMBINED) {
        Elastic capped{std::move(with_objective), e.sides, e.numvar};
        const double tolerance = task.params.get_dou(VLT_DPAR_FEASREPAIR_TOL);
        cap_violation(capped, penalty + tolerance * std::max(1.0, penalty));
        DerivedOutcome second;
        std::unique_ptr<Task> phase_two = solved(task, capped.problem, second);
        v = relaxations(capped, phase_two->solutions.read(second.whichsol, model::solution_sizes(capped.problem)));
        final_run = derived_task(task, repaired_problem(p, e, v));
        if (optimize_derived(*final_run).verdict != Verdict::feasible)
            fail(VLT_RES_ERR_OPTIMIZER, "The optimizer could not solve the repaired problem");
        solutions = final_run->solutions;
    } else {
        solutions.store(outcome.whichsol, phase_one_solution(p, point, mode == VLT_FEASREPAIR_OPTIMIZE_PENALTY ||
                                                                           penalty == 0.0));
    }

    // Everything succeeded: the task takes the results.
    const std::string report = relaxation_report(p, e, v, penalty);
    if (mode != VLT_FEASREPAIR_OPTIMIZE_NONE) task.problem = repaired_problem(p, e, v);
    task.solutions = solutions;
    if (final_run) task.info = final_run->info;
    task.info[VLT_DINF_PRIMAL_REPAIR_PENALTY_OBJ] = penalty;
    task.info[VLT_DINF_PRIMAL_REPAIR_TIME] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (task.params.get_int(VLT_IPAR_LOG) > 0) task.log(report);
    task.progress(VLT_CALLBACK_END_PRIMAL_REPAIR, task.info.d, task.info.i, task.info.l);
}

}  // namespace vlt::solve
