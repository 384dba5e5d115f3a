#include "solve/quality/certification.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/task.hpp"
#include "solve/quality/solution_figures.hpp"

namespace vlt::solve {
namespace {

// The tolerances a solution is held to: those of the optimizer that gives it.
struct Tolerances {
    double primal, dual, gap, integrality;
};

Tolerances tolerances_of(const Task& task, int32_t whichsol) {
    const params::ParamValues& p = task.params;
    switch (whichsol) {
        case VLT_SOL_ITG:
            return {p.get_dou(VLT_DPAR_MIO_TOL_FEAS), 0.0, 0.0, p.get_dou(VLT_DPAR_MIO_TOL_ABS_RELAX_INT)};
        case VLT_SOL_BAS: {
            const double pfeas = p.get_dou(VLT_DPAR_SIM_TOL_PFEAS), dfeas = p.get_dou(VLT_DPAR_SIM_TOL_DFEAS);
            return {pfeas, dfeas, std::max(pfeas, dfeas), 0.0};
        }
        default: break;
    }
    switch (task.problem.problem_type()) {
        case VLT_PROBTYPE_LO:
            return {p.get_dou(VLT_DPAR_INTPNT_TOL_PFEAS), p.get_dou(VLT_DPAR_INTPNT_TOL_DFEAS),
                    p.get_dou(VLT_DPAR_INTPNT_TOL_REL_GAP), 0.0};
        case VLT_PROBTYPE_QO:
            return {p.get_dou(VLT_DPAR_INTPNT_QO_TOL_PFEAS), p.get_dou(VLT_DPAR_INTPNT_QO_TOL_DFEAS),
                    p.get_dou(VLT_DPAR_INTPNT_QO_TOL_REL_GAP), 0.0};
        default:
            return {p.get_dou(VLT_DPAR_INTPNT_CO_TOL_PFEAS), p.get_dou(VLT_DPAR_INTPNT_CO_TOL_DFEAS),
                    p.get_dou(VLT_DPAR_INTPNT_CO_TOL_REL_GAP), 0.0};
    }
}

const char* solution_name(int32_t whichsol) {
    switch (whichsol) {
        case VLT_SOL_ITG: return "integer";
        case VLT_SOL_BAS: return "basic";
        default: return "interior-point";
    }
}

const char* status_name(int32_t solsta) {
    switch (solsta) {
        case VLT_SOL_STA_OPTIMAL: return "optimal";
        case VLT_SOL_STA_INTEGER_OPTIMAL: return "integer optimal";
        case VLT_SOL_STA_PRIM_AND_DUAL_FEAS: return "primal and dual feasible";
        case VLT_SOL_STA_PRIM_FEAS: return "primal feasible";
        case VLT_SOL_STA_DUAL_FEAS: return "dual feasible";
        case VLT_SOL_STA_PRIM_INFEAS_CER: return "a certificate of primal infeasibility";
        case VLT_SOL_STA_DUAL_INFEAS_CER: return "a certificate of dual infeasibility";
        default: return "unknown";
    }
}

bool all_finite(const std::vector<double>& v) {
    return std::all_of(v.begin(), v.end(), [](double t) { return std::isfinite(t); });
}
bool all_finite(const std::vector<std::vector<double>>& blocks) {
    return std::all_of(blocks.begin(), blocks.end(), [](const auto& v) { return all_finite(v); });
}

// One kind of item, its largest violation, and the text the log gives it.
struct Violation {
    const char* what;
    double amount;
};

// What was found wrong with one part (primal or dual) of a solution; empty
// when the part holds.
struct Finding {
    std::string reason;
    bool holds() const { return reason.empty(); }
};

Finding worst_of(const std::vector<Violation>& violations, double limit) {
    const Violation* worst = nullptr;
    for (const Violation& v : violations)
        if (!(v.amount <= limit) && (!worst || !(v.amount <= worst->amount))) worst = &v;
    if (!worst) return {};
    char text[200];
    std::snprintf(text, sizeof text, "%s violated by %.3g (allowed %.3g)", worst->what, worst->amount, limit);
    return {text};
}

// The size of the terms the violations sum: the largest sum_j |a_ij x_j|
// over the rows (and |g| + sum_j |f_aj x_j| over the rows of the affine
// conic constraints), the largest finite bound, and the largest
// sum_i |a_ij y_i| + sum_r |f_rj doty_r| + |(Qx)_j| over the columns.  A
// residual is measured against the terms it cancels.
struct TermSizes {
    double rows = 0.0, columns = 0.0;
};

double largest_finite_bound(const model::BoundSet& bounds) {
    double m = 0.0;
    for (int32_t i = 0; i < bounds.size(); ++i) {
        if (model::has_lower(bounds.key(i))) m = std::max(m, std::fabs(bounds.lower(i)));
        if (model::has_upper(bounds.key(i))) m = std::max(m, std::fabs(bounds.upper(i)));
    }
    return m;
}

TermSizes term_sizes(const model::Problem& problem, const model::Solution& s) {
    const auto& xx = s.values[VLT_SOL_ITEM_XX];
    const auto& y = s.values[VLT_SOL_ITEM_Y];
    std::vector<double> rows(size_t(problem.num_con()), 0.0), columns(size_t(problem.num_var()), 0.0);
    const model::LineStore& lines = problem.matrix().lines(model::Axis::Col);
    for (int32_t j = 0; j < problem.num_var(); ++j)
        for (int32_t k = 0; k < lines.length(j); ++k) {
            const size_t i = size_t(lines.index(j)[k]);
            rows[i] += std::fabs(lines.value(j)[k] * xx[size_t(j)]);
            columns[size_t(j)] += std::fabs(lines.value(j)[k] * y[i]);
        }
    // The rows of the affine conic constraints, F x + g, and F'doty.
    const model::AffineStore& afes = problem.affine();
    std::vector<int64_t> afe_of_row(size_t(problem.conic().num_acc_rows()));
    problem.conic().get_accs(nullptr, afe_of_row.data(), nullptr);
    for (size_t r = 0; r < afe_of_row.size() && r < s.doty.size(); ++r) {
        const int64_t a = afe_of_row[r];
        double row = std::fabs(afes.g(a));
        for (int32_t e = 0; e < afes.length(a); ++e) {
            const size_t j = size_t(afes.cols(a)[e]);
            row += std::fabs(afes.vals(a)[e] * xx[j]);
            columns[j] += std::fabs(afes.vals(a)[e] * s.doty[r]);
        }
        rows.push_back(row);
    }
    const model::QuadraticTerms& q = problem.quadratic_objective();
    for (size_t k = 0; k < q.val.size(); ++k) {
        const size_t i = size_t(q.subi[k]), j = size_t(q.subj[k]);
        columns[i] += std::fabs(q.val[k] * xx[j]);
        if (i != j) columns[j] += std::fabs(q.val[k] * xx[i]);
    }
    TermSizes sizes;
    sizes.rows = std::max(largest_finite_bound(problem.bounds(model::Item::Con)),
                          largest_finite_bound(problem.bounds(model::Item::Var)));
    for (double v : rows) sizes.rows = std::max(sizes.rows, v);
    for (double v : columns) sizes.columns = std::max(sizes.columns, v);
    return sizes;
}

Finding check_primal(Task& task, int32_t whichsol, const model::Solution& s, const SolutionFigures& f,
                     const Tolerances& tol, double primal_obj) {
    if (!all_finite(s.values[VLT_SOL_ITEM_XX]) || !all_finite(s.values[VLT_SOL_ITEM_XC]) || !all_finite(s.barx))
        return {"a primal value is not a finite number"};
    // Both the objective the values give and the one reported with them.
    if (!std::isfinite(primal_obj) || !std::isfinite(f.primal_obj))
        return {"the primal objective is not a finite number"};
    const PrimalNorms norms = primal_norms(task, whichsol);
    const double scale = std::max({norms.xx, norms.xc, norms.barx, term_sizes(task.problem, s).rows});
    const double limit = tol.primal * (1.0 + scale);
    Finding found = worst_of({{"a constraint", f.pviolcon},
                              {"a variable bound", f.pviolvar},
                              {"a cone", f.pviolcone},
                              {"an affine conic constraint", f.pviolacc},
                              {"a disjunctive constraint", f.pvioldjc},
                              {"a semidefinite variable", f.pviolbarvar}},
                             limit);
    if (found.holds() && whichsol == VLT_SOL_ITG) found = worst_of({{"integrality", f.pviolitg}}, tol.integrality);
    return found;
}

double largest_magnitude(const std::vector<double>& v) {
    double m = 0.0;
    for (double t : v) m = std::max(m, std::fabs(t));
    return m;
}

Finding check_dual(Task& task, int32_t whichsol, const model::Solution& s, const SolutionFigures& f,
                   const Tolerances& tol, double dual_obj) {
    for (int32_t item = VLT_SOL_ITEM_Y; item <= VLT_SOL_ITEM_SNX; ++item)
        if (!all_finite(s.values[size_t(item)])) return {"a dual value is not a finite number"};
    if (!all_finite(s.doty) || !all_finite(s.bars)) return {"a dual value is not a finite number"};
    if (!std::isfinite(dual_obj) || !std::isfinite(f.dual_obj)) return {"the dual objective is not a finite number"};
    const DualNorms n = dual_norms(task, whichsol);
    const double scale = std::max({largest_magnitude(task.problem.c()), n.y, n.slc, n.suc, n.slx, n.sux, n.snx,
                                   n.bars, largest_magnitude(s.doty), term_sizes(task.problem, s).columns});
    return worst_of({{"a dual constraint", f.dviolcon},
                     {"a reduced cost", f.dviolvar},
                     {"a dual cone", f.dviolcone},
                     {"a dual affine conic constraint", f.dviolacc},
                     {"a dual semidefinite variable", f.dviolbarvar}},
                    tol.dual * (1.0 + scale));
}

Finding check_gap(double primal_obj, double dual_obj, double tolerance) {
    const double gap = std::fabs(primal_obj - dual_obj);
    const double limit = tolerance * std::max({1.0, std::fabs(primal_obj), std::fabs(dual_obj)});
    if (gap <= limit) return {};
    char text[200];
    std::snprintf(text, sizeof text, "the primal objective %.10g and the dual objective %.10g differ by %.3g (allowed %.3g)",
                  primal_obj, dual_obj, gap, limit);
    return {text};
}

// A certificate is checked as what it is (solve/quality/solution_check.hpp):
// a direction of the feasible set along which the objective decreases
// (dual infeasibility), or multipliers that the dual feasible set admits as
// a direction and whose bound combination is positive (primal
// infeasibility).  With s = +1 minimizing and -1 maximizing, the value is
// s times c'd (below 0), or s times the bound combination (above 0).
Finding check_certificate(Task& task, int32_t whichsol, const model::Solution& s, const SolutionFigures& f,
                          const Tolerances& tol) {
    const double sense = task.problem.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    const model::ObjectiveValues computed = model::objective_values(task.problem, s, whichsol);
    const bool primal_ray = s.solsta == VLT_SOL_STA_DUAL_INFEAS_CER;
    const double value = sense * ((primal_ray ? computed.primal : computed.dual) - task.problem.cfix());
    Finding found = primal_ray ? check_primal(task, whichsol, s, f, tol, value)
                               : check_dual(task, whichsol, s, f, tol, value);
    if (found.holds() && !(primal_ray ? value < 0.0 : value > 0.0)) {
        char text[200];
        std::snprintf(text, sizeof text, "its %s is %.3g, which proves nothing",
                      primal_ray ? "objective along the direction" : "combination of the bounds", value);
        found.reason = text;
    }
    return found;
}

int32_t problem_status_of(int32_t solsta) {
    switch (solsta) {
        case VLT_SOL_STA_OPTIMAL:
        case VLT_SOL_STA_PRIM_AND_DUAL_FEAS: return VLT_PRO_STA_PRIM_AND_DUAL_FEAS;
        case VLT_SOL_STA_INTEGER_OPTIMAL:
        case VLT_SOL_STA_PRIM_FEAS: return VLT_PRO_STA_PRIM_FEAS;
        case VLT_SOL_STA_DUAL_FEAS: return VLT_PRO_STA_DUAL_FEAS;
        default: return VLT_PRO_STA_UNKNOWN;
    }
}

// The strongest status no stronger than the claimed one that the findings allow.
int32_t certified_status(int32_t claimed, bool primal, bool dual, bool gap) {
    switch (claimed) {
        case VLT_SOL_STA_INTEGER_OPTIMAL:
            return primal && gap ? claimed : primal ? VLT_SOL_STA_PRIM_FEAS : VLT_SOL_STA_UNKNOWN;
        case VLT_SOL_STA_OPTIMAL:
            if (primal && dual && gap) return claimed;
            [[fallthrough]];
        case VLT_SOL_STA_PRIM_AND_DUAL_FEAS:
            return primal && dual ? VLT_SOL_STA_PRIM_AND_DUAL_FEAS
                   : primal       ? VLT_SOL_STA_PRIM_FEAS
                   : dual         ? VLT_SOL_STA_DUAL_FEAS
                                  : VLT_SOL_STA_UNKNOWN;
        case VLT_SOL_STA_PRIM_FEAS: return primal ? claimed : VLT_SOL_STA_UNKNOWN;
        case VLT_SOL_STA_DUAL_FEAS: return dual ? claimed : VLT_SOL_STA_UNKNOWN;
        default: return claimed;
    }
}

bool claims_feasibility(int32_t solsta) { return problem_status_of(solsta) != VLT_PRO_STA_UNKNOWN; }

// Stores the weaker status and says why in the log.
void weaken(Task& task, int32_t whichsol, const model::SolutionSizes& sizes, int32_t claimed, int32_t status,
            std::initializer_list<const Finding*> findings) {
    std::string text = std::string("The ") + solution_name(whichsol) + " solution is reported as " +
                       status_name(status) + ", not " + status_name(claimed) + ", against the problem's data:";
    for (const Finding* found : findings)
        if (!found->holds()) text += " " + found->reason + ";";
    text.back() = '.';
    task.log(text + "\n");
    model::Solution& stored = task.solutions.write(whichsol, sizes);
    stored.solsta = status;
    stored.prosta = problem_status_of(status);
}

void certify(Task& task, int32_t whichsol) {
    const model::SolutionSizes sizes = model::solution_sizes(task.problem);
    const model::Solution& s = task.solutions.read(whichsol, sizes);
    const int32_t claimed = s.solsta;
    const bool certificate = claimed == VLT_SOL_STA_PRIM_INFEAS_CER || claimed == VLT_SOL_STA_DUAL_INFEAS_CER;
    if (!claims_feasibility(claimed) && !certificate) return;
    const Tolerances tol = tolerances_of(task, whichsol);
    const SolutionFigures f = solution_figures(task, whichsol);
    if (certificate) {
        const Finding found = check_certificate(task, whichsol, s, f, tol);
        if (!found.holds()) weaken(task, whichsol, sizes, claimed, VLT_SOL_STA_UNKNOWN, {&found});
        return;
    }
    // The objectives as the values give them; an integer solution's dual
    // objective is the optimizer's bound.
    const model::ObjectiveValues computed = model::objective_values(task.problem, s, whichsol);
    const double dual_obj = whichsol == VLT_SOL_ITG ? f.dual_obj : computed.dual;
    const Finding primal = check_primal(task, whichsol, s, f, tol, computed.primal);
    const Finding dual = whichsol == VLT_SOL_ITG ? Finding{} : check_dual(task, whichsol, s, f, tol, dual_obj);
    const Finding gap = claimed == VLT_SOL_STA_OPTIMAL ? check_gap(computed.primal, dual_obj, tol.gap)
                        : claimed == VLT_SOL_STA_INTEGER_OPTIMAL && !std::isfinite(dual_obj)
                            ? Finding{"the objective bound is not a finite number"}
                            : Finding{};
    const int32_t status = certified_status(claimed, primal.holds(), dual.holds(), gap.holds());
    if (status != claimed) weaken(task, whichsol, sizes, claimed, status, {&primal, &dual, &gap});
}

}  // namespace

void certify_solutions(Task& task) {
    for (int32_t whichsol : {VLT_SOL_ITR, VLT_SOL_BAS, VLT_SOL_ITG})
        if (task.solutions.defined(whichsol)) certify(task, whichsol);
}

}  // namespace vlt::solve
