#include "solve/optimizer.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/error.hpp"
#include "core/task.hpp"
#include "solve/highs_engine.hpp"
#include "model/to_conic.hpp"
#include "solve/ipm/ipm.hpp"
#include "solve/mip/mixed_integer_form.hpp"
#include "solve/solution_store.hpp"

namespace vlt::solve {
namespace {

using Clock = std::chrono::steady_clock;

const char* optimizer_name(int32_t optimizer) {
    switch (optimizer) {
        case VLT_OPTIMIZER_INTPNT: return "interior point";
        case VLT_OPTIMIZER_PRIMAL_SIMPLEX: return "primal simplex";
        case VLT_OPTIMIZER_DUAL_SIMPLEX: return "dual simplex";
        case VLT_OPTIMIZER_MIXED_INT: return "mixed integer";
        default: return "free";
    }
}

const char* problem_type_name(int32_t type) {
    switch (type) {
        case VLT_PROBTYPE_LO: return "LO (linear optimization)";
        case VLT_PROBTYPE_QO: return "QO (quadratic optimization)";
        case VLT_PROBTYPE_QCQO: return "QCQO (quadratically constrained)";
        case VLT_PROBTYPE_CONIC: return "CONIC (conic optimization)";
        default: return "MIXED";
    }
}

// The progress callback codes of one algorithm: begin, one iteration, end.
struct PhaseCodes {
    int32_t begin, step, end;
};

PhaseCodes phase_codes(int32_t optimizer) {
    switch (optimizer) {
        case VLT_OPTIMIZER_PRIMAL_SIMPLEX:
            return {VLT_CALLBACK_BEGIN_PRIMAL_SIMPLEX, VLT_CALLBACK_PRIMAL_SIMPLEX, VLT_CALLBACK_END_PRIMAL_SIMPLEX};
        case VLT_OPTIMIZER_DUAL_SIMPLEX:
            return {VLT_CALLBACK_BEGIN_DUAL_SIMPLEX, VLT_CALLBACK_DUAL_SIMPLEX, VLT_CALLBACK_END_DUAL_SIMPLEX};
        case VLT_OPTIMIZER_MIXED_INT: return {VLT_CALLBACK_BEGIN_MIO, VLT_CALLBACK_MIO_NODE, VLT_CALLBACK_END_MIO};
        default: return {VLT_CALLBACK_BEGIN_INTPNT, VLT_CALLBACK_INTPNT, VLT_CALLBACK_END_INTPNT};
    }
}

double limit_or_infinity(double seconds) { return seconds < 0 ? INFINITY : seconds; }

const char* domain_name(int32_t domain) {
    switch (domain) {
        case VLT_DOMAIN_PRIMAL_EXP_CONE: return "primal exponential cone";
        case VLT_DOMAIN_DUAL_EXP_CONE: return "dual exponential cone";
        case VLT_DOMAIN_PRIMAL_POWER_CONE: return "primal power cone";
        case VLT_DOMAIN_DUAL_POWER_CONE: return "dual power cone";
        case VLT_DOMAIN_SVEC_PSD_CONE: return "vectorized semidefinite cone";
        case VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE: return "primal geometric mean cone";
        case VLT_DOMAIN_DUAL_GEO_MEAN_CONE: return "dual geometric mean cone";
        default: return "domain";
    }
}

// The domains of affine conic constraints that the interior-point optimizer
// takes: linear ones and the (rotated) quadratic cones.
bool interior_point_domain(int32_t domain) {
    switch (domain) {
        case VLT_DOMAIN_R:
        case VLT_DOMAIN_RZERO:
        case VLT_DOMAIN_RPLUS:
        case VLT_DOMAIN_RMINUS:
        case VLT_DOMAIN_QUADRATIC_CONE:
        case VLT_DOMAIN_RQUADRATIC_CONE: return true;
        default: return false;
    }
}

// One run of the optimizer on a task.
class Run {
public:
    explicit Run(Task& task) : task_(task), start_(Clock::now()) {}

    int32_t execute() {
        const auto& par = task_.params;
        task_.info.reset();
        int32_t problem_type = task_.problem.problem_type();
        bool integer = task_.problem.num_int_var() > 0 || task_.problem.disjunctive().num_djc() > 0;
        int32_t requested = par.get_int(VLT_IPAR_OPTIMIZER);
        optimizer_ = choose(requested, problem_type, integer);

        model::ProblemData data = task_.problem.to_data();
        // Integer variables and disjunctive constraints: the mixed-integer
        // form (DJCs reformulated) goes to the MILP engine when it is linear.
        std::optional<mip::MixedIntegerForm> mixed;
        if (integer) {
            mixed = mip::mixed_integer_form(task_.problem, data, par.get_dou(VLT_DPAR_MIO_DJC_MAX_BIGM));
            if (!mixed->linear)
                fail(VLT_RES_ERR_NO_OPTIMIZER,
                     std::string("No optimizer is available for problems with integer variables of type ") +
                         problem_type_name(problem_type));
        }
        const model::ProblemData& engine_data = mixed ? mixed->data : data;
        // Quadratic constraints are solved in their conic form, made on a
        // copy of the problem: rows keep their indexes and the new variables
        // come after the task's own, so the answer maps back by truncation.
        model::ProblemData solved_data;
        const bool through_conic_form = !data.qcval.empty();
        if (through_conic_form) {
            model::Problem copy = task_.problem;
            model::quadratic_to_conic(copy);  // throws VLT_RES_ERR_NONCONVEX on a non-convex part
            solved_data = copy.to_data();
        }
        const model::ProblemData& solve_data = through_conic_form ? solved_data : data;
        const model::VarConeStore& var_cones = task_.problem.var_cones();
        for (int32_t k = 0; k < var_cones.num_cone(); ++k) {
            int32_t ct = VLT_CT_QUAD;
            var_cones.get_cone_info(k, &ct, nullptr, nullptr);
            if (ct != VLT_CT_QUAD && ct != VLT_CT_RQUAD && ct != VLT_CT_ZERO)
                fail(VLT_RES_ERR_NO_OPTIMIZER, "No optimizer is available for cone " + std::to_string(k) + " in the " +
                                                   domain_name(model::cone_type_domain(ct)));
        }
        const bool conic = !solve_data.cones.empty();
        for (const auto& cone : solve_data.cones)
            if (!interior_point_domain(cone.domain))
                fail(VLT_RES_ERR_NO_OPTIMIZER, std::string("No optimizer is available for affine conic constraints "
                                                           "in the ") +
                                                   domain_name(cone.domain));
        const bool own_interior_point = uses_own_interior_point(problem_type);
        if (own_interior_point && !solve_data.qoval.empty()) require_convex_objective(solve_data);
        record_sizes(data, problem_type);
        banner(data, problem_type);

        EngineOptions options = engine_options(problem_type);
        if (progress(VLT_CALLBACK_BEGIN_OPTIMIZER)) return finish_stopped_early();
        PhaseCodes codes = phase_codes(optimizer_);
        if (progress(codes.begin)) return finish_stopped_early();

        bool answered_by_interior_point = own_interior_point;
        EngineResult result =
            own_interior_point
                ? solve_with_ipm(solve_data, ipm_options(problem_type),
                                 [&](const ProgressEvent& e) { return on_event(e, codes.step); },
                                 [&](const std::string& line) { log_line(line); })
                : solve_with_highs(
                      engine_data, options, [&](const ProgressEvent& e) { return on_event(e, codes.step); },
                      [&](const std::string& line) { log_line(line); });
        if (own_interior_point && !conic && !stopped_by_callback_ &&
            result.status == EngineStatus::numerical_trouble) {
            // The engine's active-set solver is slower on large problems but
            // does not depend on the conditioning of the central path.
            log(std::string("The interior-point optimizer ended with status '") + to_string(result.status) +
                "'; solving again with the active-set quadratic solver.\n");
            EngineResult second = solve_with_highs(
                data, options, [&](const ProgressEvent& e) { return on_event(e, codes.step); },
                [&](const std::string& line) { log_line(line); });
            second.interior_iterations = result.interior_iterations;
            if (second.status != EngineStatus::error) {
                result = std::move(second);
                answered_by_interior_point = false;
            }
        }
        if (result.status == EngineStatus::primal_or_dual_infeasible && options.presolve && !own_interior_point) {
            // Presolve found the problem infeasible or unbounded without telling
            // which; solving without it decides and gives a certificate.
            log("Presolve could not tell infeasible from unbounded; solving again without presolve.\n");
            options.presolve = false;
            result = solve_with_highs(
                engine_data, options, [&](const ProgressEvent& e) { return on_event(e, codes.step); },
                [&](const std::string& line) { log_line(line); });
        }
        if (requested == VLT_OPTIMIZER_FREE && optimizer_ == VLT_OPTIMIZER_INTPNT &&
            problem_type == VLT_PROBTYPE_LO && !simplex_needless(result)) {
            // The engine's interior-point method gives no infeasibility
            // certificate and sometimes fails on infeasible problems; the dual
            // simplex decides those cases and certifies them.
            log(std::string("The interior-point optimizer ended with status '") + to_string(result.status) +
                "'; solving again with the dual simplex optimizer.\n");
            options.algorithm = Algorithm::dual_simplex;
            options.presolve = par.get_int(VLT_IPAR_PRESOLVE_USE) != VLT_PRESOLVE_MODE_OFF;
            options.primal_feasibility_tolerance = par.get_dou(VLT_DPAR_SIM_TOL_PFEAS);
            options.dual_feasibility_tolerance = par.get_dou(VLT_DPAR_SIM_TOL_DFEAS);
            EngineResult second = solve_with_highs(
                data, options, [&](const ProgressEvent& e) { return on_event(e, codes.step); },
                [&](const std::string& line) { log_line(line); });
            // Only a settled answer replaces the first one.
            if (second.status == EngineStatus::optimal || (simplex_needless(second) &&
                                                            (second.status == EngineStatus::primal_infeasible ||
                                                             second.status == EngineStatus::dual_infeasible)))
                result = std::move(second);
        }
        if (result.status == EngineStatus::error) fail(result.error_code, result.message);
        if (mixed) mip::restrict_to_task(*mixed, result);
        if (through_conic_form) back_from_conic_form(data, result);
        // The active-set solver's duals are approximate; the linearization at
        // its point gives exact ones.  The interior-point optimizer's point
        // and duals close the gap on their own (checked just below).
        if (!data.qoval.empty() && !answered_by_interior_point) certify_quadratic(data, options, result);
        check_optimality(result);
        if (needs_certificate(result) && !stopped_by_callback_) {
            // The interior-point engine proves infeasibility without a
            // certificate; a simplex run without presolve gives one.
            log("Computing a certificate of infeasibility with the simplex optimizer.\n");
            EngineOptions again = options;
            again.presolve = false;
            again.algorithm = result.status == EngineStatus::primal_infeasible ? Algorithm::dual_simplex
                                                                                : Algorithm::primal_simplex;
            EngineResult certified = solve_with_highs(data, again, {}, [&](const std::string& line) { log_line(line); });
            if (certified.status == result.status) {
                result.has_dual_ray = certified.has_dual_ray;
                result.dual_ray = std::move(certified.dual_ray);
                result.has_primal_ray = certified.has_primal_ray;
                result.primal_ray = std::move(certified.primal_ray);
            }
        }

        progress(codes.end);
        if (uses_basis_identification() && result.has_basis) {
            progress(VLT_CALLBACK_BEGIN_BI);
            progress(VLT_CALLBACK_END_BI);
        }
        int32_t trm = store(data, result);
        update_info_after(result);
        progress(VLT_CALLBACK_END_OPTIMIZER);
        summary(trm);
        return trm;
    }

private:
    // True when an answer needs no second opinion from the simplex optimizer:
    // optimal, stopped by a limit or the callback, or infeasible with a certificate.
    static bool simplex_needless(const EngineResult& r) {
        switch (r.status) {
            case EngineStatus::numerical_trouble:
            case EngineStatus::primal_or_dual_infeasible: return false;
            case EngineStatus::primal_infeasible: return r.has_dual_ray;
            case EngineStatus::dual_infeasible: return r.has_primal_ray;
            default: return true;
        }
    }

    int32_t choose(int32_t requested, int32_t problem_type, bool integer) const {
        if (integer) return VLT_OPTIMIZER_MIXED_INT;
        const bool linear = problem_type == VLT_PROBTYPE_LO;
        switch (requested) {
            case VLT_OPTIMIZER_PRIMAL_SIMPLEX:
            case VLT_OPTIMIZER_DUAL_SIMPLEX:
                if (!linear) return VLT_OPTIMIZER_INTPNT;
                return requested;
            case VLT_OPTIMIZER_FREE_SIMPLEX:
                return linear ? VLT_OPTIMIZER_DUAL_SIMPLEX : VLT_OPTIMIZER_INTPNT;
            default:
                // Continuous problems go to the interior-point optimizer, linear
                // ones followed by basis identification (a basic solution too).
                return VLT_OPTIMIZER_INTPNT;
        }
    }

    // A point x of a convex quadratic problem is optimal exactly when it
    // minimizes the linear function g'x, g = c + Qx, over the feasible set.
    // Solving that linear problem with the simplex certifies the quadratic
    // solver's point (the objective of x is above the optimum by at most
    // g'x - min g'x) and gives exact duals for it: those of the linear
    // problem satisfy c + Qx - A'y = slx - sux.
    void certify_quadratic(const model::ProblemData& data, const EngineOptions& options, EngineResult& r) {
        if (r.status != EngineStatus::optimal || r.is_mip || !r.has_primal || stopped_by_callback_) return;
        model::ProblemData linear = data;
        std::vector<double> qx(size_t(data.numvar), 0.0);
        for (size_t k = 0; k < data.qoval.size(); ++k) {
            size_t i = size_t(data.qosubi[k]), j = size_t(data.qosubj[k]);
            qx[i] += data.qoval[k] * r.x[j];
            if (i != j) qx[j] += data.qoval[k] * r.x[i];
        }
        double gx = 0.0, xqx = 0.0;
        for (size_t j = 0; j < qx.size(); ++j) {
            linear.c[j] += qx[j];
            gx += linear.c[j] * r.x[j];
            xqx += qx[j] * r.x[j];
        }
        linear.qosubi.clear();
        linear.qosubj.clear();
        linear.qoval.clear();
        linear.cfix = 0.0;
        // Without its quadratic term the problem may be unbounded along
        // directions in which g vanishes (up to rounding).  A box around x
        // on the sides without a bound keeps it bounded; for a convex
        // problem, being optimal within a neighbourhood is being optimal.
        std::vector<char> boxed_lower(size_t(data.numvar), 0), boxed_upper(size_t(data.numvar), 0);
        for (size_t j = 0; j < size_t(data.numvar); ++j) {
            int32_t bk = linear.bkx[j];
            bool lower = bk == VLT_BK_LO || bk == VLT_BK_FX || bk == VLT_BK_RA;
            bool upper = bk == VLT_BK_UP || bk == VLT_BK_FX || bk == VLT_BK_RA;
            double radius = 1.0 + std::fabs(r.x[j]);
            if (!lower) linear.blx[j] = r.x[j] - radius, boxed_lower[j] = 1;
            if (!upper) linear.bux[j] = r.x[j] + radius, boxed_upper[j] = 1;
            if (!lower || !upper) linear.bkx[j] = VLT_BK_RA;
        }
        EngineOptions lp_options = options;
        lp_options.algorithm = Algorithm::dual_simplex;
        lp_options.crossover = false;
        EngineResult lp = solve_with_highs(linear, lp_options, {}, {});
        if (lp.status != EngineStatus::optimal || !lp.has_dual) {
            log(std::string("The linearization of the quadratic problem could not be solved (") + to_string(lp.status) +
                "); the duals of the quadratic solver are kept.\n");
            return;  // the gap check judges them
        }
        double sign = data.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
        double excess = sign * (gx - lp.primal_objective);
        if (excess > kAcceptedRelativeGap * std::max(1.0, std::fabs(r.primal_objective))) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "The quadratic solver's point is not optimal: moving towards the minimum of its "
                          "linearization improves the objective by %.3e.\n",
                          excess);
            log(text);
            r.status = EngineStatus::numerical_trouble;
            r.dual_feasible = false;
            return;
        }
        // Multipliers of the box are not duals of the problem.
        for (size_t j = 0; j < size_t(data.numvar); ++j) {
            if (boxed_lower[j]) lp.slx[j] = 0.0;
            if (boxed_upper[j]) lp.sux[j] = 0.0;
        }
        r.y = std::move(lp.y);
        r.slc = std::move(lp.slc);
        r.suc = std::move(lp.suc);
        r.slx = std::move(lp.slx);
        r.sux = std::move(lp.sux);
        r.has_dual = r.dual_feasible = true;
        r.dual_objective = data.cfix + bound_terms(data, r) - 0.5 * xqx;
    }

    // lc'slc - uc'suc + lx'slx - ux'sux over the sides that have bounds.
    static double bound_terms(const model::ProblemData& d, const EngineResult& r) {
        auto side = [](int32_t bk, bool lower) {
            return lower ? (bk == VLT_BK_LO || bk == VLT_BK_FX || bk == VLT_BK_RA)
                         : (bk == VLT_BK_UP || bk == VLT_BK_FX || bk == VLT_BK_RA);
        };
        double sum = 0.0;
        for (size_t i = 0; i < size_t(d.numcon); ++i) {
            if (side(d.bkc[i], true)) sum += d.blc[i] * r.slc[i];
            if (side(d.bkc[i], false)) sum -= d.buc[i] * r.suc[i];
        }
        for (size_t j = 0; j < size_t(d.numvar); ++j) {
            if (side(d.bkx[j], true)) sum += d.blx[j] * r.slx[j];
            if (side(d.bkx[j], false)) sum -= d.bux[j] * r.sux[j];
        }
        return sum;
    }

    // An answer claimed optimal must close the duality gap: an engine whose
    // duals do not match its primal point has not proven optimality, and the
    // task must not say it has.
    void check_optimality(EngineResult& r) const {
        if (r.status != EngineStatus::optimal || r.is_mip || !r.has_dual) return;
        double gap = std::fabs(r.primal_objective - r.dual_objective) / std::max(1.0, std::fabs(r.primal_objective));
        if (gap <= kAcceptedRelativeGap) return;
        char text[200];
        std::snprintf(text, sizeof text,
                      "The optimizer's answer leaves a relative duality gap of %.2e (primal %.10g, dual %.10g); "
                      "it is not reported as optimal.\n",
                      gap, r.primal_objective, r.dual_objective);
        task_.log(text);
        r.status = EngineStatus::numerical_trouble;
        r.dual_feasible = false;
    }

    static constexpr double kAcceptedRelativeGap = 1e-6;

    // Maps an answer of the conic form of a problem with quadratic
    // constraints back to the problem: the variables added by the conversion
    // go, and the row activities get their quadratic terms back (in the
    // conic form a row holds a'x + t_k with t_k >= 0.5 x'Q_k x).
    static void back_from_conic_form(const model::ProblemData& data, EngineResult& r) {
        const size_t n = size_t(data.numvar);
        for (auto* v : {&r.x, &r.slx, &r.sux, &r.primal_ray})
            if (v->size() > n) v->resize(n);
        // The conic rows of the problem come before those the conversion
        // added: their duals (those of the cones on variables among them) stay.
        const size_t rows = size_t(data.num_conic_rows());
        if (r.doty.size() > rows) r.doty.resize(rows);
        r.dual_ray_conic.clear();
        if (!r.has_primal || r.x.size() != n) return;
        std::vector<double> xc(size_t(data.numcon), 0.0);
        for (size_t j = 0; j < n; ++j)
            for (int64_t k = data.aptr[j]; k < data.aptr[j + 1]; ++k)
                xc[size_t(data.asub[size_t(k)])] += data.aval[size_t(k)] * r.x[j];
        for (size_t k = 0; k < data.qcval.size(); ++k) {
            size_t i = size_t(data.qcsubi[k]), j = size_t(data.qcsubj[k]);
            double term = data.qcval[k] * r.x[i] * r.x[j];
            xc[size_t(data.qcsubk[k])] += i == j ? 0.5 * term : term;
        }
        r.xc = std::move(xc);
    }

    // Quadratic and conic continuous problems go to the library's own
    // interior-point optimizer; linear ones to the engine, whose interior
    // point comes with basis identification.
    bool uses_own_interior_point(int32_t problem_type) const {
        return optimizer_ == VLT_OPTIMIZER_INTPNT && problem_type != VLT_PROBTYPE_LO;
    }

    // The interior-point optimizer assumes a convex objective: Q positive
    // semidefinite when minimizing, negative semidefinite when maximizing.
    // The factorization that the conic form uses decides it (and throws
    // VLT_RES_ERR_NONCONVEX); a diagonal Q costs it no elimination.
    static void require_convex_objective(const model::ProblemData& data) {
        const double s = data.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
        (void)model::psd_factor_rows(model::QuadraticTerms{data.qosubi, data.qosubj, data.qoval}, s);
    }

    IpmOptions ipm_options(int32_t problem_type) const {
        const auto& par = task_.params;
        const bool quadratic = problem_type == VLT_PROBTYPE_QO;
        IpmOptions o;
        o.max_iterations = par.get_int(VLT_IPAR_INTPNT_MAX_ITERATIONS);
        o.time_limit = limit_or_infinity(par.get_dou(VLT_DPAR_OPTIMIZER_MAX_TIME));
        o.primal_feasibility_tolerance =
            par.get_dou(quadratic ? VLT_DPAR_INTPNT_QO_TOL_PFEAS : VLT_DPAR_INTPNT_CO_TOL_PFEAS);
        o.dual_feasibility_tolerance =
            par.get_dou(quadratic ? VLT_DPAR_INTPNT_QO_TOL_DFEAS : VLT_DPAR_INTPNT_CO_TOL_DFEAS);
        o.relative_gap_tolerance =
            par.get_dou(quadratic ? VLT_DPAR_INTPNT_QO_TOL_REL_GAP : VLT_DPAR_INTPNT_CO_TOL_REL_GAP);
        o.infeasibility_tolerance =
            par.get_dou(quadratic ? VLT_DPAR_INTPNT_QO_TOL_INFEAS : VLT_DPAR_INTPNT_CO_TOL_INFEAS);
        o.log_level = engine_log_level();
        o.threads = par.get_int(VLT_IPAR_NUM_THREADS);
        return o;
    }

    bool needs_certificate(const EngineResult& r) const {
        if (optimizer_ == VLT_OPTIMIZER_MIXED_INT || task_.problem.problem_type() != VLT_PROBTYPE_LO) return false;
        return (r.status == EngineStatus::primal_infeasible && !r.has_dual_ray) ||
               (r.status == EngineStatus::dual_infeasible && !r.has_primal_ray);
    }

    bool uses_basis_identification() const {
        return optimizer_ == VLT_OPTIMIZER_INTPNT && task_.params.get_int(VLT_IPAR_INTPNT_BASIS) != VLT_BI_NEVER &&
               task_.problem.problem_type() == VLT_PROBTYPE_LO;
    }

    EngineOptions engine_options(int32_t problem_type) const {
        const auto& par = task_.params;
        EngineOptions o;
        switch (optimizer_) {
            case VLT_OPTIMIZER_PRIMAL_SIMPLEX: o.algorithm = Algorithm::primal_simplex; break;
            case VLT_OPTIMIZER_DUAL_SIMPLEX: o.algorithm = Algorithm::dual_simplex; break;
            case VLT_OPTIMIZER_MIXED_INT: o.algorithm = Algorithm::mixed_integer; break;
            default:
                // The quadratic solver of the engine takes quadratic objectives.
                o.algorithm = problem_type == VLT_PROBTYPE_QO ? Algorithm::automatic : Algorithm::interior_point;
        }
        double max_time = limit_or_infinity(par.get_dou(VLT_DPAR_OPTIMIZER_MAX_TIME));
        if (optimizer_ == VLT_OPTIMIZER_MIXED_INT)
            max_time = std::min(max_time, limit_or_infinity(par.get_dou(VLT_DPAR_MIO_MAX_TIME)));
        o.time_limit = max_time;
        o.simplex_iteration_limit = par.get_int(VLT_IPAR_SIM_MAX_ITERATIONS);
        o.interior_iteration_limit = par.get_int(VLT_IPAR_INTPNT_MAX_ITERATIONS);
        o.mip_node_limit = par.get_int(VLT_IPAR_MIO_MAX_NUM_RELAXS);
        bool simplex = optimizer_ == VLT_OPTIMIZER_PRIMAL_SIMPLEX || optimizer_ == VLT_OPTIMIZER_DUAL_SIMPLEX;
        o.primal_feasibility_tolerance =
            simplex ? par.get_dou(VLT_DPAR_SIM_TOL_PFEAS) : std::max(par.get_dou(VLT_DPAR_INTPNT_TOL_PFEAS), 1e-10);
        o.dual_feasibility_tolerance =
            simplex ? par.get_dou(VLT_DPAR_SIM_TOL_DFEAS) : std::max(par.get_dou(VLT_DPAR_INTPNT_TOL_DFEAS), 1e-10);
        o.mip_relative_gap = par.get_dou(VLT_DPAR_MIO_TOL_REL_GAP);
        o.mip_absolute_gap = par.get_dou(VLT_DPAR_MIO_TOL_ABS_GAP);
        o.threads = par.get_int(VLT_IPAR_NUM_THREADS);
        o.log_level = engine_log_level();
        o.crossover = uses_basis_identification();
        o.presolve = par.get_int(VLT_IPAR_PRESOLVE_USE) != VLT_PRESOLVE_MODE_OFF;
        return o;
    }

    int engine_log_level() const {
        const auto& par = task_.params;
        if (par.get_int(VLT_IPAR_LOG) <= 0) return 0;
        switch (optimizer_) {
            case VLT_OPTIMIZER_MIXED_INT: return par.get_int(VLT_IPAR_LOG_MIO) > 0 ? 1 : 0;
            case VLT_OPTIMIZER_INTPNT: return par.get_int(VLT_IPAR_LOG_INTPNT) > 0 ? 1 : 0;
            default: return par.get_int(VLT_IPAR_LOG_SIM) > 0 ? 1 : 0;
        }
    }

    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

    // Calls the task's progress hook with the current information items;
    // returns true when it asks to stop.
    bool progress(int32_t code) {
        task_.info[VLT_DINF_OPTIMIZER_TIME] = elapsed();
        bool stop = task_.progress(code, task_.info.d, task_.info.i, task_.info.l);
        if (stop) stopped_by_callback_ = true;
        return stop;
    }

    bool on_event(const ProgressEvent& e, int32_t step_code) {
        auto& info = task_.info;
        info[VLT_DINF_OPTIMIZER_TIME] = elapsed();
        info[VLT_LIINF_SIMPLEX_ITER] = e.simplex_iterations;
        info[VLT_IINF_INTPNT_ITER] = int32_t(e.interior_iterations);
        int32_t code = step_code;
        switch (e.kind) {
            case ProgressEvent::Kind::interior_iteration:
                // The engine reports many times per iteration; one event per iteration.
                if (e.interior_iterations == last_interior_iteration_) return false;
                last_interior_iteration_ = e.interior_iterations;
                info[VLT_DINF_INTPNT_PRIMAL_OBJ] = e.objective;
                break;
            case ProgressEvent::Kind::simplex_iteration:
                info[VLT_DINF_SIM_OBJ] = e.objective;
                if (optimizer_ == VLT_OPTIMIZER_PRIMAL_SIMPLEX)
                    info[VLT_IINF_SIM_PRIMAL_ITER] = int32_t(e.simplex_iterations);
                else
                    info[VLT_IINF_SIM_DUAL_ITER] = int32_t(e.simplex_iterations);
                break;
            case ProgressEvent::Kind::mip_improving_solution:
                code = VLT_CALLBACK_NEW_INT_MIO;
                info[VLT_IINF_MIO_NUM_INT_SOLUTIONS] += 1;
                [[fallthrough]];
            case ProgressEvent::Kind::mip_progress:
                info[VLT_LIINF_MIO_NUM_NODES] = e.mip_nodes;
                info[VLT_IINF_MIO_NUM_SOLVED_NODES] = int32_t(std::min<int64_t>(e.mip_nodes, INT32_MAX));
                info[VLT_DINF_MIO_OBJ_INT] = e.mip_incumbent;
                info[VLT_DINF_MIO_OBJ_BOUND] = e.mip_bound;
                info[VLT_DINF_MIO_OBJ_REL_GAP] = e.mip_gap;
                info[VLT_DINF_MIO_OBJ_ABS_GAP] = std::fabs(e.mip_incumbent - e.mip_bound);
                info[VLT_IINF_MIO_OBJ_BOUND_DEFINED] = 1;
                break;
        }
        return progress(code);
    }

    void record_sizes(const model::ProblemData& data, int32_t problem_type) {
        auto& info = task_.info;
        info[VLT_IINF_RD_NUMCON] = data.numcon;
        info[VLT_IINF_RD_NUMVAR] = data.numvar;
        info[VLT_IINF_RD_NUMINTVAR] = task_.problem.num_int_var();
        info[VLT_IINF_RD_PROTYPE] = problem_type;
        info[VLT_IINF_RD_NUMQ] = data.qoval.empty() ? 0 : 1;
        info[VLT_LIINF_RD_NUMANZ] = int64_t(data.aval.size());
        info[VLT_LIINF_RD_NUMQNZ] = int64_t(data.qoval.size());
        info[VLT_IINF_OPT_NUMCON] = data.numcon;
        info[VLT_IINF_OPT_NUMVAR] = data.numvar;
        info[VLT_IINF_OPTIMIZER_USED] = optimizer_;
    }

    void log(const std::string& text) const {
        if (task_.params.get_int(VLT_IPAR_LOG) > 0) task_.log(text);
    }
    void log_line(const std::string& line) const { task_.log(line + "\n"); }

    void banner(const model::ProblemData& data, int32_t problem_type) const {
        char text[512];
        std::snprintf(text, sizeof text,
                      "Problem\n  Name                   : %s\n  Objective sense        : %s\n"
                      "  Type                   : %s\n  Constraints            : %d\n"
                      "  Scalar variables       : %d\n  Integer variables      : %d\n"
                      "  Matrix non-zeros       : %zu\n\nOptimizer started (%s).\n",
                      data.name.c_str(), data.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "maximize" : "minimize",
                      problem_type_name(problem_type), data.numcon, data.numvar, task_.problem.num_int_var(),
                      data.aval.size(), optimizer_name(optimizer_));
        log(text);
    }

    void summary(int32_t trm) const {
        char text[256];
        std::snprintf(text, sizeof text, "Optimizer terminated. Time: %.2f s, termination code %d.\n", elapsed(), trm);
        log(text);
    }

    int32_t finish_stopped_early() {
        for (int32_t k = 0; k < model::kNumSolutions; ++k) task_.solutions.remove(k);
        progress(VLT_CALLBACK_END_OPTIMIZER);
        summary(VLT_RES_TRM_USER_CALLBACK);
        return VLT_RES_TRM_USER_CALLBACK;
    }

    // Stores the engine's answer as the task's solutions and returns the
    // termination code.
    int32_t store(const model::ProblemData& data, const EngineResult& r) {
        for (int32_t k = 0; k < model::kNumSolutions; ++k) task_.solutions.remove(k);
        int32_t trm = termination_code(r);
        if (optimizer_ == VLT_OPTIMIZER_MIXED_INT) {
            store_integer(data, r);
        } else {
            bool basic_only = optimizer_ == VLT_OPTIMIZER_PRIMAL_SIMPLEX || optimizer_ == VLT_OPTIMIZER_DUAL_SIMPLEX;
            if (!basic_only) store_continuous(data, r, VLT_SOL_ITR);
            // The simplex optimizers always leave a basic solution, also when
            // the problem is infeasible and the engine has no basis to report.
            if (basic_only || (r.has_basis && uses_basis_identification())) store_continuous(data, r, VLT_SOL_BAS);
        }
        return trm;
    }

    int32_t termination_code(const EngineResult& r) const {
        switch (r.status) {
            case EngineStatus::time_limit: return VLT_RES_TRM_MAX_TIME;
            case EngineStatus::iteration_limit:
                return optimizer_ == VLT_OPTIMIZER_MIXED_INT ? VLT_RES_TRM_MIO_NUM_RELAXS : VLT_RES_TRM_MAX_ITERATIONS;
            case EngineStatus::interrupted: return VLT_RES_TRM_USER_CALLBACK;
            case EngineStatus::numerical_trouble: return VLT_RES_TRM_NUMERICAL_PROBLEM;
            default: return VLT_RES_OK;
        }
    }

    void store_continuous(const model::ProblemData& data, const EngineResult& r, int32_t which) {
        SolutionValues s;
        s.numcon = data.numcon;
        s.numvar = data.numvar;
        switch (r.status) {
            case EngineStatus::optimal:
                s.prosta = VLT_PRO_STA_PRIM_AND_DUAL_FEAS;
                s.solsta = VLT_SOL_STA_OPTIMAL;
                s.take_point(r);
                break;
            case EngineStatus::primal_infeasible:
                s.prosta = VLT_PRO_STA_PRIM_INFEAS;
                if (r.has_dual_ray) {
                    s.solsta = VLT_SOL_STA_PRIM_INFEAS_CER;
                    s.take_dual_ray(data, r.dual_ray, r.dual_ray_conic);
                } else {
                    s.solsta = VLT_SOL_STA_UNKNOWN;
                }
                break;
            case EngineStatus::dual_infeasible:
                s.prosta = VLT_PRO_STA_DUAL_INFEAS;
                if (r.has_primal_ray) {
                    s.solsta = VLT_SOL_STA_DUAL_INFEAS_CER;
                    s.take_primal_ray(data, r.primal_ray);
                } else {
                    s.solsta = VLT_SOL_STA_UNKNOWN;
                }
                break;
            case EngineStatus::primal_or_dual_infeasible:
                s.prosta = VLT_PRO_STA_PRIM_INFEAS_OR_UNBOUNDED;
                s.solsta = VLT_SOL_STA_UNKNOWN;
                break;
            default:  // stopped early: whatever point the engine has
                s.prosta = VLT_PRO_STA_UNKNOWN;
                s.solsta = VLT_SOL_STA_UNKNOWN;
                if (r.has_primal) {
                    s.take_point(r);
                    if (r.primal_feasible && r.dual_feasible && r.has_dual)
                        s.prosta = VLT_PRO_STA_PRIM_AND_DUAL_FEAS, s.solsta = VLT_SOL_STA_PRIM_AND_DUAL_FEAS;
                    else if (r.primal_feasible)
                        s.prosta = VLT_PRO_STA_PRIM_FEAS, s.solsta = VLT_SOL_STA_PRIM_FEAS;
                    else if (r.dual_feasible && r.has_dual)
                        s.prosta = VLT_PRO_STA_DUAL_FEAS, s.solsta = VLT_SOL_STA_DUAL_FEAS;
                }
        }
        if (which == VLT_SOL_BAS || r.has_basis) s.take_basis(data, r, which == VLT_SOL_ITR);
        put_solution(task_, which, data, s);
    }

    void store_integer(const model::ProblemData& data, const EngineResult& r) {
        SolutionValues s;
        s.numcon = data.numcon;
        s.numvar = data.numvar;
        if (r.status == EngineStatus::primal_infeasible) {
            s.prosta = VLT_PRO_STA_PRIM_INFEAS;
            s.solsta = VLT_SOL_STA_UNKNOWN;
        } else if (r.status == EngineStatus::dual_infeasible || r.status == EngineStatus::primal_or_dual_infeasible) {
            s.prosta = r.status == EngineStatus::dual_infeasible ? VLT_PRO_STA_DUAL_INFEAS
                                                                 : VLT_PRO_STA_PRIM_INFEAS_OR_UNBOUNDED;
            s.solsta = VLT_SOL_STA_UNKNOWN;
        } else if (r.has_primal && r.primal_feasible) {
            s.prosta = VLT_PRO_STA_PRIM_FEAS;
            s.solsta = r.status == EngineStatus::optimal ? VLT_SOL_STA_INTEGER_OPTIMAL : VLT_SOL_STA_PRIM_FEAS;
            s.take_primal(r);
        } else {
            s.prosta = VLT_PRO_STA_UNKNOWN;
            s.solsta = VLT_SOL_STA_UNKNOWN;
        }
        put_solution(task_, VLT_SOL_ITG, data, s);
    }

    void update_info_after(const EngineResult& r) {
        auto& info = task_.info;
        info[VLT_DINF_OPTIMIZER_TIME] = elapsed();
        // The engine reports -1 for an algorithm that did not run.
        info[VLT_LIINF_SIMPLEX_ITER] = std::max<int64_t>(0, r.simplex_iterations);
        info[VLT_IINF_INTPNT_ITER] = int32_t(std::max<int64_t>(0, r.interior_iterations));
        info[VLT_LIINF_BI_PRIMAL_ITER] = std::max<int64_t>(0, r.crossover_iterations);
        if (optimizer_ == VLT_OPTIMIZER_PRIMAL_SIMPLEX)
            info[VLT_IINF_SIM_PRIMAL_ITER] = int32_t(info[VLT_LIINF_SIMPLEX_ITER]);
        else if (optimizer_ == VLT_OPTIMIZER_DUAL_SIMPLEX)
            info[VLT_IINF_SIM_DUAL_ITER] = int32_t(info[VLT_LIINF_SIMPLEX_ITER]);
        switch (optimizer_) {
            case VLT_OPTIMIZER_MIXED_INT: info[VLT_DINF_MIO_TIME] = r.solve_time; break;
            case VLT_OPTIMIZER_INTPNT: info[VLT_DINF_INTPNT_TIME] = r.solve_time; break;
            default: info[VLT_DINF_SIM_TIME] = r.solve_time;
        }
        if (optimizer_ == VLT_OPTIMIZER_MIXED_INT) {
            info[VLT_LIINF_MIO_NUM_NODES] = r.mip_nodes;
            info[VLT_IINF_MIO_NUM_SOLVED_NODES] = int32_t(std::min<int64_t>(r.mip_nodes, INT32_MAX));
            info[VLT_DINF_MIO_OBJ_BOUND] = r.mip_best_bound;
            info[VLT_DINF_MIO_OBJ_REL_GAP] = r.mip_gap;
            if (r.has_primal) {
                info[VLT_DINF_MIO_OBJ_INT] = r.primal_objective;
                info[VLT_DINF_MIO_OBJ_ABS_GAP] = std::fabs(r.primal_objective - r.mip_best_bound);
            }
        } else {
            info[VLT_DINF_INTPNT_PRIMAL_OBJ] = r.primal_objective;
            info[VLT_DINF_INTPNT_DUAL_OBJ] = r.dual_objective;
            info[VLT_DINF_SIM_OBJ] = r.primal_objective;
        }
        info[VLT_LIINF_MEMORY_USAGE] = int64_t(task_.memory_bytes());
        info[VLT_LIINF_MEMORY_USAGE_PEAK] = int64_t(task_.peak_memory_bytes());
        update_solution_info(task_);
    }

    Task& task_;
    Clock::time_point start_;
    int32_t optimizer_ = VLT_OPTIMIZER_FREE;
    int64_t last_interior_iteration_ = -1;
    bool stopped_by_callback_ = false;
};

}  // namespace

int32_t optimize(Task& task) {
    Run run(task);
    return run.execute();
}

}  // namespace vlt::solve
