#include "solve/optimizer.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/error.hpp"
#include "core/task.hpp"
#include "model/to_conic.hpp"
#include "solve/convexity.hpp"
#include "solve/data_check.hpp"
#include "solve/highs_engine.hpp"
#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/ipm.hpp"
#include "solve/mip/branch_and_bound.hpp"
#include "solve/mip/mixed_integer_form.hpp"
#include "solve/mip/outer_approximation.hpp"
#include "solve/quality/certification.hpp"
#include "solve/quadratic_certificate.hpp"
#include "solve/rowless.hpp"
#include "solve/reports.hpp"
#include "solve/semidefinite_form.hpp"
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
// takes: the linear ones and those it has a cone for.
bool interior_point_domain(int32_t domain) {
    return domain == VLT_DOMAIN_R || domain == VLT_DOMAIN_RMINUS || ipm::has_cone(domain);
}

// An answer needs no second opinion from the simplex optimizer when it is
// optimal, stopped by a limit or the callback, or infeasible with a
// certificate.
bool settled(const EngineResult& r) {
    switch (r.status) {
        case EngineStatus::numerical_trouble:
        case EngineStatus::primal_or_dual_infeasible: return false;
        case EngineStatus::primal_infeasible: return r.has_dual_ray;
        case EngineStatus::dual_infeasible: return r.has_primal_ray;
        default: return true;
    }
}

// Which answer stays after a second run.
enum class Keep {
    second_unless_error,  // the second, unless it failed outright
    second,               // the second, always
    second_if_settled,    // the second when it is optimal, or infeasible with a certificate
    rays_of_same_status,  // the first, with the second's certificate when both agree
};

// One run of the optimizer on a task.
class Run {
public:
    explicit Run(Task& task) : task_(task), par_(task.params), start_(Clock::now()) {}

    int32_t execute() {
        task_.info.reset();
        if (without_rows(task_.problem, par_.get_int(VLT_IPAR_MIO_MODE) != VLT_MIO_MODE_IGNORED))
            return execute_without_rows();
        prepare();
        record_sizes();
        banner();
        if (progress(VLT_CALLBACK_BEGIN_OPTIMIZER)) return finish_stopped_early();
        if (const CrossedBound crossed = crossed_bound(data_); crossed.index >= 0) return finish_crossed(data_, crossed);
        codes_ = phase_codes(optimizer_);
        if (progress(codes_.begin)) return finish_stopped_early();

        EngineResult result = first_answer();
        if (optimizer_ == VLT_OPTIMIZER_MIXED_INT) enforce_objective_cut(result);
        for (const Fallback& rule : kResolves) apply(rule, result);
        if (result.status == EngineStatus::error) fail(result.error_code, result.message);
        if (mixed_) mip::restrict_to_task(semidefinite_ ? semidefinite_->data : data_, result);
        if (semidefinite_) back_from_semidefinite_form(*semidefinite_, result);
        if (through_conic_form_) back_from_conic_form(data_, result);
        // The active-set solver's duals are approximate; the linearization at
        // its point gives exact ones.  The interior-point optimizer's point
        // and duals close the gap on their own (checked just below), except
        // for quadratic constraints: the duals of their conic form meet the
        // problem's own reduced costs only as closely as the square root of
        // the gap.
        if (needs_linearization() && certifiable(result))
            certify_quadratic(data_, result, kAcceptedRelativeGap, highs(linearization_options()),
                              [&](const std::string& text) { log(text); });
        check_optimality(result);
        apply(kCertificate, result);

        progress(codes_.end);
        if (uses_basis_identification() && result.has_basis) {
            progress(VLT_CALLBACK_BEGIN_BI);
            progress(VLT_CALLBACK_END_BI);
        }
        StoreChoice choice;
        choice.integer = optimizer_ == VLT_OPTIMIZER_MIXED_INT;
        choice.basic_only = simplex();
        choice.basis_identification = uses_basis_identification();
        const int32_t trm = store_answer(task_, data_, result, choice);
        certify_solutions(task_);
        update_info_after(result);
        task_.info[VLT_IINF_OPTIMIZE_RESPONSE] = trm;
        progress(VLT_CALLBACK_END_OPTIMIZER);
        summary(trm);
        return trm;
    }

private:
    // A problem without rows is answered in place, without a copy of its
    // data (solve/rowless.hpp), with the same callbacks and log.
    int32_t execute_without_rows() {
        problem_type_ = VLT_PROBTYPE_LO;
        requested_ = par_.get_int(VLT_IPAR_OPTIMIZER);
        optimizer_ = choose(requested_, problem_type_, false);
        record_sizes();
        banner();
        if (progress(VLT_CALLBACK_BEGIN_OPTIMIZER)) return finish_stopped_early();
        codes_ = phase_codes(optimizer_);
        if (progress(codes_.begin)) return finish_stopped_early();
        const RowlessSolutions which{!simplex(), simplex() || uses_basis_identification()};
        const EngineResult result = optimize_without_rows(task_, which);
        certify_solutions(task_);
        progress(codes_.end);
        update_info_after(result);
        progress(VLT_CALLBACK_END_OPTIMIZER);
        summary(VLT_RES_OK);
        return VLT_RES_OK;
    }

    // A second run when the first answer is not settled: when it applies,
    // what the log says (with the first answer's status), the options of the
    // second run, whether it reports progress, and which answer stays.
    struct Fallback {
        const char* reason;
        bool (Run::*applies)(const EngineResult&) const;
        EngineOptions (Run::*options)(const EngineResult&) const;
        bool reports_progress;
        Keep keep;
    };
    static const Fallback kResolves[3];
    static const Fallback kCertificate;

    // ---- stages

    // Chooses the optimizer and prepares the data it solves; throws when
    // the problem cannot be optimized at all.
    void prepare() {
        problem_type_ = task_.problem.problem_type();
        // MIO_MODE = IGNORED: the integer variables are continuous ones.
        const bool integrality = par_.get_int(VLT_IPAR_MIO_MODE) != VLT_MIO_MODE_IGNORED;
        const bool integer =
            (integrality && task_.problem.num_int_var() > 0) || task_.problem.disjunctive().num_djc() > 0;
        requested_ = par_.get_int(VLT_IPAR_OPTIMIZER);
        optimizer_ = choose(requested_, problem_type_, integer);
        data_ = task_.problem.to_data();
        screen_data(task_, data_);  // refuses huge data, warns of large, drops tiny entries
        if (!integrality) data_.vartype.assign(data_.vartype.size(), VLT_VAR_TYPE_CONT);
        // Quadratic constraints are solved in their conic form, made on a
        // copy of the problem: rows keep their indexes and the new variables
        // come after the task's own, so the answer maps back by truncation.
        through_conic_form_ = !data_.qcval.empty();
        if (through_conic_form_) {
            model::Problem copy = task_.problem;
            model::quadratic_to_conic(copy);  // throws VLT_RES_ERR_NONCONVEX on a non-convex part
            conic_data_ = copy.to_data();
            tidy_data(par_, conic_data_);
            if (!integrality) conic_data_.vartype.assign(conic_data_.vartype.size(), VLT_VAR_TYPE_CONT);
        }
        const model::VarConeStore& var_cones = task_.problem.var_cones();
        for (int32_t k = 0; k < var_cones.num_cone(); ++k) {
            int32_t ct = VLT_CT_QUAD;
            var_cones.get_cone_info(k, &ct, nullptr, nullptr);
            const int32_t domain = model::cone_type_domain(ct);
            if (!interior_point_domain(domain))
                fail(VLT_RES_ERR_NO_OPTIMIZER,
                     "No optimizer is available for cone " + std::to_string(k) + " in the " + domain_name(domain));
        }
        for (const auto& cone : solve_data().cones)
            if (!interior_point_domain(cone.domain))
                fail(VLT_RES_ERR_NO_OPTIMIZER,
                     std::string("No optimizer is available for affine conic constraints in the ") +
                         domain_name(cone.domain));
        // Semidefinite variables become scalar ones in PSD cones (made last,
        // on the conic form when there is one).
        if (!solve_data().barvar_dim.empty()) semidefinite_ = scalar_semidefinite_form(solve_data());
        conic_ = !solve_data().cones.empty();
        // Integer variables and disjunctive constraints: the mixed-integer
        // form (DJCs reformulated) goes to the MILP engine when it is
        // linear, else to branch and bound over the interior-point optimizer.
        if (integer)
            mixed_ = mip::mixed_integer_form(task_.problem, solve_data(), par_.get_dou(VLT_DPAR_MIO_DJC_MAX_BIGM));
        own_branch_and_bound_ = mixed_ && !mixed_->linear;
        own_interior_point_ = optimizer_ == VLT_OPTIMIZER_INTPNT && problem_type_ != VLT_PROBTYPE_LO;
        if (own_interior_point_ && !solve_data().qoval.empty()) require_convex_objective(solve_data());
    }

    // What the library's interior-point optimizer solves, and what the engine solves.
    const model::ProblemData& solve_data() const {
        return semidefinite_ ? semidefinite_->data : through_conic_form_ ? conic_data_ : data_;
    }
    const model::ProblemData& engine_data() const { return mixed_ ? mixed_->data : data_; }

    // Quadratic and conic continuous problems go to the library's own
    // interior-point optimizer; the rest to the engine.
    EngineResult first_answer() {
        answered_by_interior_point_ = own_interior_point_;
        if (own_branch_and_bound_) return call(mixed_integer_conic(), mixed_->data, true);
        if (own_interior_point_) return call(interior_point(), solve_data(), true);
        return call(highs(engine_options()), engine_data(), true);
    }

    void apply(const Fallback& rule, EngineResult& result) {
        if (!(this->*rule.applies)(result)) return;
        char text[300];
        std::snprintf(text, sizeof text, rule.reason, to_string(result.status));
        log(text);
        EngineResult second = call(highs((this->*rule.options)(result)), engine_data(), rule.reports_progress);
        switch (rule.keep) {
            case Keep::second_unless_error:
                if (second.status == EngineStatus::error) return;
                second.interior_iterations = result.interior_iterations;
                answered_by_interior_point_ = false;
                break;
            case Keep::second: break;
            case Keep::second_if_settled:
                if (second.status != EngineStatus::optimal &&
                    !(settled(second) && (second.status == EngineStatus::primal_infeasible ||
                                          second.status == EngineStatus::dual_infeasible)))
                    return;
                break;
            case Keep::rays_of_same_status:
                if (second.status == result.status) {
                    result.has_dual_ray = second.has_dual_ray;
                    result.dual_ray = std::move(second.dual_ray);
                    result.has_primal_ray = second.has_primal_ray;
                    result.primal_ray = std::move(second.primal_ray);
                }
                return;
        }
        result = std::move(second);
    }

    // ---- the fallback rules

    // The engine's active-set solver is slower on large problems but does
    // not depend on the conditioning of the central path.
    bool interior_point_in_trouble(const EngineResult& r) const {
        return own_interior_point_ && !conic_ && !stopped_by_callback_ && r.status == EngineStatus::numerical_trouble;
    }
    EngineOptions first_options(const EngineResult&) const { return engine_options(); }

    // Presolve found the problem infeasible or unbounded without telling
    // which; solving without it decides and gives a certificate.
    bool undecided_by_presolve(const EngineResult& r) const {
        return r.status == EngineStatus::primal_or_dual_infeasible && !own_interior_point_ && !own_branch_and_bound_ &&
               engine_options().presolve;
    }
    EngineOptions without_presolve(const EngineResult&) const {
        EngineOptions o = engine_options();
        o.presolve = false;
        return o;
    }

    // The engine's interior-point method gives no infeasibility certificate
    // and sometimes fails on infeasible problems; the dual simplex decides
    // those cases and certifies them.
    bool engine_interior_point_unsettled(const EngineResult& r) const {
        return requested_ == VLT_OPTIMIZER_FREE && optimizer_ == VLT_OPTIMIZER_INTPNT &&
               problem_type_ == VLT_PROBTYPE_LO && !settled(r);
    }
    EngineOptions dual_simplex(const EngineResult&) const {
        EngineOptions o = engine_options();
        o.algorithm = Algorithm::dual_simplex;
        o.primal_feasibility_tolerance = engine_tolerance(VLT_DPAR_SIM_TOL_PFEAS);
        o.dual_feasibility_tolerance = engine_tolerance(VLT_DPAR_SIM_TOL_DFEAS);
        return o;
    }

    // The engine's interior point proves infeasibility without a
    // certificate; a simplex run without presolve gives one.
    bool needs_certificate(const EngineResult& r) const {
        if (optimizer_ == VLT_OPTIMIZER_MIXED_INT || problem_type_ != VLT_PROBTYPE_LO || stopped_by_callback_)
            return false;
        return (r.status == EngineStatus::primal_infeasible && !r.has_dual_ray) ||
               (r.status == EngineStatus::dual_infeasible && !r.has_primal_ray);
    }
    EngineOptions certificate_options(const EngineResult& r) const {
        EngineOptions o = engine_options();
        o.presolve = false;
        o.algorithm = r.status == EngineStatus::primal_infeasible ? Algorithm::dual_simplex : Algorithm::primal_simplex;
        return o;
    }

    // ---- engines and the one call helper

    Engine highs(EngineOptions o) const {
        return [o](const model::ProblemData& d, const ProgressHook& hook, const LogSink& log) {
            return solve_with_highs(d, o, hook, log);
        };
    }
    // Branch and bound over the interior-point optimizer, or outer
    // approximation when the relaxations are to be linear (the node
    // optimizer a simplex optimizer); both solve the mixed-integer form.
    Engine mixed_integer_conic() const {
        const mip::MixedIntegerForm& form = *mixed_;
        const mip::BranchAndBoundOptions o = branch_and_bound_options();
        const int32_t node = par_.get_int(VLT_IPAR_MIO_NODE_OPTIMIZER);
        if ((node == VLT_OPTIMIZER_PRIMAL_SIMPLEX || node == VLT_OPTIMIZER_DUAL_SIMPLEX ||
             node == VLT_OPTIMIZER_FREE_SIMPLEX) &&
            mip::outer_approximation_applies(form)) {
            const EngineOptions master = engine_options();
            return [&form, o, master](const model::ProblemData&, const ProgressHook& hook, const LogSink& log) {
                return mip::outer_approximation(form, o, master, hook, log);
            };
        }
        return [&form, o](const model::ProblemData&, const ProgressHook& hook, const LogSink& log) {
            return mip::branch_and_bound(form, o, hook, log);
        };
    }
    Engine interior_point() const {
        IpmOptions o = ipm_options();
        return [o](const model::ProblemData& d, const ProgressHook& hook, const LogSink& log) {
            return solve_with_ipm(d, o, hook, log);
        };
    }
    // Runs an engine with the task's log and, when asked, its progress
    // callback; every run gets the time that is left of the limit.
    EngineResult call(const Engine& engine, const model::ProblemData& data, bool report_progress) {
        ProgressHook hook;
        if (report_progress) hook = [this](const ProgressEvent& e) { return on_event(e, codes_.step); };
        return engine(data, hook, [this](const std::string& line) { log_line(line); });
    }
    double time_left() const { return std::max(0.0, time_limit() - elapsed()); }
    double time_limit() const {
        double limit = limit_or_infinity(par_.get_dou(VLT_DPAR_OPTIMIZER_MAX_TIME));
        if (optimizer_ == VLT_OPTIMIZER_MIXED_INT)
            limit = std::min(limit, limit_or_infinity(par_.get_dou(VLT_DPAR_MIO_MAX_TIME)));
        return limit;
    }

    // ---- checks of the answer

    bool needs_linearization() const {
        const bool polyhedral_otherwise = data_.cones.empty() && data_.barvar_dim.empty();
        return polyhedral_otherwise && ((!data_.qoval.empty() && !answered_by_interior_point_) || !data_.qcval.empty());
    }
    bool certifiable(const EngineResult& r) const {
        return r.status == EngineStatus::optimal && !r.is_mip && r.has_primal && !stopped_by_callback_;
    }
    EngineOptions linearization_options() const {
        EngineOptions o = engine_options();
        o.algorithm = Algorithm::dual_simplex;
        o.crossover = false;
        return o;
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
        add_semidefinite_activity(data, r.barx, xc);
        r.xc = std::move(xc);
    }

    // The interior-point optimizer assumes a convex objective: Q positive
    // semidefinite when minimizing, negative semidefinite when maximizing,
    // within the relative tolerance of the parameters.
    void require_convex_objective(const model::ProblemData& data) const {
        const double sign = data.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
        ConvexityVerdict v =
            check_convexity(data.qosubi, data.qosubj, data.qoval, data.numvar, sign,
                            par_.get_dou(VLT_DPAR_CHECK_CONVEXITY_REL_TOL), par_.get_int(VLT_IPAR_CHECK_CONVEXITY));
        if (!v.convex) fail(VLT_RES_ERR_NONCONVEX, nonconvex_objective_message(sign, v.reason));
    }

    // ---- choices and options

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

    bool simplex() const { return optimizer_ == VLT_OPTIMIZER_PRIMAL_SIMPLEX || optimizer_ == VLT_OPTIMIZER_DUAL_SIMPLEX; }

    bool uses_basis_identification() const {
        return optimizer_ == VLT_OPTIMIZER_INTPNT && par_.get_int(VLT_IPAR_INTPNT_BASIS) != VLT_BI_NEVER &&
               problem_type_ == VLT_PROBTYPE_LO;
    }

    IpmOptions ipm_options() const {
        const bool quadratic = problem_type_ == VLT_PROBTYPE_QO;
        IpmOptions o;
        o.max_iterations = par_.get_int(VLT_IPAR_INTPNT_MAX_ITERATIONS);
        o.time_limit = time_left();
        o.primal_feasibility_tolerance =
            par_.get_dou(quadratic ? VLT_DPAR_INTPNT_QO_TOL_PFEAS : VLT_DPAR_INTPNT_CO_TOL_PFEAS);
        o.dual_feasibility_tolerance =
            par_.get_dou(quadratic ? VLT_DPAR_INTPNT_QO_TOL_DFEAS : VLT_DPAR_INTPNT_CO_TOL_DFEAS);
        o.relative_gap_tolerance =
            par_.get_dou(quadratic ? VLT_DPAR_INTPNT_QO_TOL_REL_GAP : VLT_DPAR_INTPNT_CO_TOL_REL_GAP);
        o.infeasibility_tolerance =
            par_.get_dou(quadratic ? VLT_DPAR_INTPNT_QO_TOL_INFEAS : VLT_DPAR_INTPNT_CO_TOL_INFEAS);
        o.near_optimal_factor =
            par_.get_dou(quadratic ? VLT_DPAR_INTPNT_QO_TOL_NEAR_REL : VLT_DPAR_INTPNT_CO_TOL_NEAR_REL);
        o.log_level = engine_log_level();
        o.threads = par_.get_int(VLT_IPAR_NUM_THREADS);
        o.max_correctors = par_.get_int(VLT_IPAR_INTPNT_MAX_NUM_COR);
        o.step_fraction = par_.get_dou(VLT_DPAR_INTPNT_TOL_REL_STEP);
        o.constant_start = par_.get_int(VLT_IPAR_INTPNT_STARTING_POINT) == VLT_STARTING_POINT_CONSTANT;
        return o;
    }

    // The objective cut as a bound on sign * objective (the minimization
    // sense): the upper cut when minimizing, the lower one when maximizing;
    // infinite when the cut is beyond its finite threshold.
    double objective_cutoff() const {
        if (task_.problem.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE) {
            const double lower = par_.get_dou(VLT_DPAR_LOWER_OBJ_CUT);
            return lower <= par_.get_dou(VLT_DPAR_LOWER_OBJ_CUT_FINITE_TRH) ? INFINITY : -lower;
        }
        const double upper = par_.get_dou(VLT_DPAR_UPPER_OBJ_CUT);
        return upper >= par_.get_dou(VLT_DPAR_UPPER_OBJ_CUT_FINITE_TRH) ? INFINITY : upper;
    }

    // The engine may end a search bounded by the cut with a point beyond
    // it; a cut that leaves no integer point makes the problem infeasible.
    void enforce_objective_cut(EngineResult& r) const {
        const double cut = objective_cutoff();
        if (!std::isfinite(cut) || !r.has_primal) return;
        const double sign = task_.problem.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
        if (sign * r.primal_objective <= cut + 1e-9 * std::max(1.0, std::fabs(cut))) return;
        r.status = EngineStatus::primal_infeasible;
        r.has_primal = r.primal_feasible = false;
        r.x.clear();
        r.xc.clear();
    }

    mip::BranchAndBoundOptions branch_and_bound_options() const {
        mip::BranchAndBoundOptions o;
        o.relative_gap = par_.get_dou(VLT_DPAR_MIO_TOL_REL_GAP);
        o.absolute_gap = par_.get_dou(VLT_DPAR_MIO_TOL_ABS_GAP);
        o.gap_constant = par_.get_dou(VLT_DPAR_MIO_REL_GAP_CONST);
        o.integrality_tolerance = par_.get_dou(VLT_DPAR_MIO_TOL_ABS_RELAX_INT);
        o.feasibility_tolerance = par_.get_dou(VLT_DPAR_MIO_TOL_FEAS);
        o.node_limit = par_.get_int(VLT_IPAR_MIO_MAX_NUM_RELAXS);
        o.solution_limit = par_.get_int(VLT_IPAR_MIO_MAX_NUM_SOLUTIONS);
        o.branch_limit = par_.get_int(VLT_IPAR_MIO_MAX_NUM_BRANCHES);
        o.time_limit = time_left();
        o.node_selection = par_.get_int(VLT_IPAR_MIO_NODE_SELECTION);
        o.branch_direction = par_.get_int(VLT_IPAR_MIO_BRANCH_DIR);
        o.heuristics = par_.get_int(VLT_IPAR_MIO_HEURISTIC_LEVEL) != 0;
        o.objective_cutoff = objective_cutoff();
        o.log_frequency = par_.get_int(VLT_IPAR_LOG_MIO_FREQ);
        o.log_level = engine_log_level();
        o.relaxation = ipm_options();
        // The node problems' certificates prune and decide subtrees: the
        // tolerance of linear problems, where it is the looser one, lets
        // rays of free variables be recognised at working precision.
        o.relaxation.infeasibility_tolerance =
            std::max(o.relaxation.infeasibility_tolerance, par_.get_dou(VLT_DPAR_INTPNT_TOL_INFEAS));
        return o;
    }

    EngineOptions engine_options() const {
        EngineOptions o;
        switch (optimizer_) {
            case VLT_OPTIMIZER_PRIMAL_SIMPLEX: o.algorithm = Algorithm::primal_simplex; break;
            case VLT_OPTIMIZER_DUAL_SIMPLEX: o.algorithm = Algorithm::dual_simplex; break;
            case VLT_OPTIMIZER_MIXED_INT: o.algorithm = Algorithm::mixed_integer; break;
            default:
                // The quadratic solver of the engine takes quadratic objectives.
                o.algorithm = problem_type_ == VLT_PROBTYPE_QO ? Algorithm::automatic : Algorithm::interior_point;
        }
        o.time_limit = time_left();
        o.simplex_iteration_limit = par_.get_int(VLT_IPAR_SIM_MAX_ITERATIONS);
        o.interior_iteration_limit = par_.get_int(VLT_IPAR_INTPNT_MAX_ITERATIONS);
        o.mip_node_limit = par_.get_int(VLT_IPAR_MIO_MAX_NUM_RELAXS);
        o.mip_solution_limit = par_.get_int(VLT_IPAR_MIO_MAX_NUM_SOLUTIONS);
        o.primal_feasibility_tolerance = engine_tolerance(simplex() ? VLT_DPAR_SIM_TOL_PFEAS : VLT_DPAR_INTPNT_TOL_PFEAS);
        o.dual_feasibility_tolerance = engine_tolerance(simplex() ? VLT_DPAR_SIM_TOL_DFEAS : VLT_DPAR_INTPNT_TOL_DFEAS);
        o.mip_relative_gap = par_.get_dou(VLT_DPAR_MIO_TOL_REL_GAP);
        o.mip_absolute_gap = par_.get_dou(VLT_DPAR_MIO_TOL_ABS_GAP);
        o.threads = par_.get_int(VLT_IPAR_NUM_THREADS);
        o.log_level = engine_log_level();
        o.crossover = uses_basis_identification();
        o.presolve = par_.get_int(VLT_IPAR_PRESOLVE_USE) != VLT_PRESOLVE_MODE_OFF;
        o.convexity_tolerance = par_.get_dou(VLT_DPAR_CHECK_CONVEXITY_REL_TOL);
        o.mip_start = mip_start();
        if (simplex() && par_.get_int(VLT_IPAR_SIM_HOTSTART) != VLT_SIM_HOTSTART_NONE &&
            task_.solutions.defined(VLT_SOL_BAS)) {
            const auto& basis = task_.solutions.read(VLT_SOL_BAS, model::solution_sizes(task_.problem));
            o.start_row_keys = basis.skc;
            o.start_col_keys = basis.skx;
        }
        tune(o);
        return o;
    }

    // With IParam.MIO_CONSTRUCT_SOL on, the values of the integer solution
    // that the caller put are where branch and bound starts; else none.
    std::vector<double> mip_start() const {
        if (par_.get_int(VLT_IPAR_MIO_CONSTRUCT_SOL) != VLT_ONOFF_ON || !task_.solutions.defined(VLT_SOL_ITG))
            return {};
        return task_.solutions.read(VLT_SOL_ITG, model::solution_sizes(task_.problem)).values[VLT_SOL_ITEM_XX];
    }

    static Pricing pricing(int32_t selection) {
        switch (selection) {
            case VLT_SIM_SELECTION_FULL:
            case VLT_SIM_SELECTION_PARTIAL: return Pricing::full;
            case VLT_SIM_SELECTION_DEVEX: return Pricing::devex;
            case VLT_SIM_SELECTION_SE:
            case VLT_SIM_SELECTION_ASE: return Pricing::steepest_edge;
            default: return Pricing::automatic;
        }
    }
    static Form form(int32_t solve_form) {
        return solve_form == VLT_SOLVE_DUAL ? Form::dual : solve_form == VLT_SOLVE_PRIMAL ? Form::primal : Form::automatic;
    }

    // The simplex, presolve and mixed-integer choices of the parameters.
    void tune(EngineOptions& o) const {
        o.primal_pricing = pricing(par_.get_int(VLT_IPAR_SIM_PRIMAL_SELECTION));
        o.dual_pricing = pricing(par_.get_int(VLT_IPAR_SIM_DUAL_SELECTION));
        o.scaling = par_.get_int(VLT_IPAR_SIM_SCALING) != VLT_SCALING_NONE;
        if (optimizer_ == VLT_OPTIMIZER_MIXED_INT) o.random_seed = par_.get_int(VLT_IPAR_MIO_SEED);
        o.simplex_form = form(par_.get_int(VLT_IPAR_SIM_SOLVE_FORM));
        o.interior_form = form(par_.get_int(VLT_IPAR_INTPNT_SOLVE_FORM));
        o.updates_between_refactorizations = par_.get_int(VLT_IPAR_SIM_REFACTOR_FREQ);
        o.presolve_reduction_limit = par_.get_int(VLT_IPAR_PRESOLVE_MAX_NUM_REDUCTIONS);
        o.presolve_drop_tolerance = par_.get_dou(VLT_DPAR_PRESOLVE_TOL_AIJ);
        o.interior_gap_tolerance = par_.get_dou(VLT_DPAR_INTPNT_TOL_REL_GAP);
        // Levels 0, 1, 2, ... spend none, the usual share, twice it, ... of the effort.
        const int32_t heuristics = par_.get_int(VLT_IPAR_MIO_HEURISTIC_LEVEL);
        if (heuristics >= 0) o.mip_heuristic_effort = 0.05 * heuristics;
        o.mip_symmetry = par_.get_int(VLT_IPAR_MIO_SYMMETRY_LEVEL) != 0;
        o.mip_integrality_tolerance = par_.get_dou(VLT_DPAR_MIO_TOL_ABS_RELAX_INT);
        if (optimizer_ == VLT_OPTIMIZER_MIXED_INT) o.mip_cutoff = objective_cutoff();
    }

    // A feasibility tolerance as the engine takes it: it refuses values
    // below 1e-10, which the parameters admit.
    double engine_tolerance(VLTdparam_enum p) const { return std::max(par_.get_dou(p), 1e-10); }

    int engine_log_level() const {
        if (par_.get_int(VLT_IPAR_LOG) <= 0) return 0;
        switch (optimizer_) {
            case VLT_OPTIMIZER_MIXED_INT: return par_.get_int(VLT_IPAR_LOG_MIO) > 0 ? 1 : 0;
            case VLT_OPTIMIZER_INTPNT: return par_.get_int(VLT_IPAR_LOG_INTPNT) > 0 ? 1 : 0;
            default: return par_.get_int(VLT_IPAR_LOG_SIM) > 0 ? 1 : 0;
        }
    }

    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

    // ---- progress, information items and the log
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
                if (!std::isnan(e.mu)) {
                    info[VLT_DINF_INTPNT_DUAL_OBJ] = e.dual_objective;
                    info[VLT_DINF_INTPNT_PRIMAL_FEAS] = e.primal_residual;
                    info[VLT_DINF_INTPNT_DUAL_FEAS] = e.dual_residual;
                    info[VLT_DINF_INTPNT_MU] = e.mu;
                    info[VLT_DINF_INTPNT_STEP_SIZE] = e.step;
                }
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

    void record_sizes() {
        const model::Problem& problem = task_.problem;
        auto& info = task_.info;
        info[VLT_IINF_RD_NUMCON] = problem.num_con();
        info[VLT_IINF_RD_NUMVAR] = problem.num_var();
        info[VLT_IINF_RD_NUMINTVAR] = problem.num_int_var();
        info[VLT_IINF_RD_PROTYPE] = problem_type_;
        info[VLT_IINF_RD_NUMQ] = problem.num_qobj_nz() == 0 ? 0 : 1;
        info[VLT_LIINF_RD_NUMANZ] = problem.nnz();
        info[VLT_LIINF_RD_NUMQNZ] = problem.num_qobj_nz();
        info[VLT_IINF_OPT_NUMCON] = problem.num_con();
        info[VLT_IINF_OPT_NUMVAR] = problem.num_var();
        info[VLT_IINF_OPTIMIZER_USED] = optimizer_;
        info[VLT_IINF_RD_NUMCONE] = task_.problem.var_cones().num_cone();
        info[VLT_IINF_RD_NUMBARVAR] = task_.problem.semidefinite().num_barvar();
        info[VLT_LIINF_RD_NUMACC] = task_.problem.conic().num_acc();
        info[VLT_LIINF_RD_NUMDJC] = task_.problem.disjunctive().num_djc();
        if (simplex()) {
            info[VLT_IINF_SIM_NUMCON] = problem.num_con();
            info[VLT_IINF_SIM_NUMVAR] = problem.num_var();
            info[VLT_IINF_SIM_SOLVE_DUAL] = par_.get_int(VLT_IPAR_SIM_SOLVE_FORM) == VLT_SOLVE_DUAL;
        }
        if (optimizer_ == VLT_OPTIMIZER_INTPNT)
            info[VLT_IINF_INTPNT_SOLVE_DUAL] =
                !own_interior_point_ && par_.get_int(VLT_IPAR_INTPNT_SOLVE_FORM) == VLT_SOLVE_DUAL;
        // The library's own interior-point optimizer and branch and bound run on one thread.
        const int32_t threads = own_interior_point_ || own_branch_and_bound_ ? 1 : engine_threads();
        info[VLT_IINF_OPTIMIZER_NUM_THREADS] = threads;
        if (optimizer_ == VLT_OPTIMIZER_INTPNT) info[VLT_IINF_INTPNT_NUM_THREADS] = threads;
        if (mixed_) record_mixed_integer_sizes(mixed_->data);
    }

    int32_t engine_threads() const {
        const int32_t asked = par_.get_int(VLT_IPAR_NUM_THREADS);
        const int32_t cores = int32_t(std::max(1u, std::thread::hardware_concurrency()));
        return asked > 0 ? std::min(asked, cores) : cores;
    }

    // The sizes of the problem that the mixed-integer optimizer solves
    // (disjunctions reformulated, quadratic constraints in conic form).
    void record_mixed_integer_sizes(const model::ProblemData& d) {
        auto& info = task_.info;
        int32_t integers = 0, binaries = 0;
        for (int32_t j = 0; j < d.numvar; ++j) {
            if (d.vartype.empty() || d.vartype[size_t(j)] != VLT_VAR_TYPE_INT) continue;
            ++integers;
            const bool binary = d.bkx[size_t(j)] != VLT_BK_FR && d.bkx[size_t(j)] != VLT_BK_LO &&
                                d.bkx[size_t(j)] != VLT_BK_UP && d.blx[size_t(j)] >= 0.0 && d.bux[size_t(j)] <= 1.0;
            if (binary) ++binaries;
        }
        int32_t quadratic = 0, rotated = 0, cone_rows = 0;
        for (const auto& cone : d.cones) {
            if (cone.domain == VLT_DOMAIN_QUADRATIC_CONE) ++quadratic;
            if (cone.domain == VLT_DOMAIN_RQUADRATIC_CONE) ++rotated;
            if (cone.domain != VLT_DOMAIN_R && cone.domain != VLT_DOMAIN_RMINUS && cone.domain != VLT_DOMAIN_RPLUS &&
                cone.domain != VLT_DOMAIN_RZERO)
                cone_rows += int32_t(cone.dim);
        }
        info[VLT_IINF_MIO_NUMVAR] = d.numvar;
        info[VLT_IINF_MIO_NUMCON] = d.numcon;
        info[VLT_IINF_MIO_NUMINT] = integers;
        info[VLT_IINF_MIO_NUMBIN] = binaries;
        info[VLT_IINF_MIO_NUMCONT] = d.numvar - integers;
        info[VLT_IINF_MIO_NUMCONE] = int32_t(d.cones.size());
        info[VLT_IINF_MIO_NUMQCONES] = quadratic;
        info[VLT_IINF_MIO_NUMRQCONES] = rotated;
        info[VLT_IINF_MIO_NUMCONEVAR] = cone_rows;
        info[VLT_IINF_MIO_NUMDJC] = int32_t(mixed_->branching.size());
        info[VLT_LIINF_MIO_ANZ] = int64_t(d.aval.size());
        const double cut = objective_cutoff();
        info[VLT_IINF_MIO_USER_OBJ_CUT_DEFINED] = std::isfinite(cut);
        if (std::isfinite(cut)) info[VLT_DINF_MIO_USER_OBJ_CUT] = d.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -cut : cut;
    }

    void log(const std::string& text) const {
        if (task_.params.get_int(VLT_IPAR_LOG) > 0) task_.log(text);
    }
    void log_line(const std::string& line) const { task_.log(line + "\n"); }

    void banner() const {
        const model::Problem& problem = task_.problem;
        char text[512];
        std::snprintf(text, sizeof text,
                      "Problem\n  Name                   : %s\n  Objective sense        : %s\n"
                      "  Type                   : %s\n  Constraints            : %d\n"
                      "  Scalar variables       : %d\n  Integer variables      : %d\n"
                      "  Matrix non-zeros       : %zu\n\nOptimizer started (%s).\n",
                      problem.names().task.c_str(),
                      problem.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "maximize" : "minimize",
                      problem_type_name(problem_type_), problem.num_con(), problem.num_var(), problem.num_int_var(),
                      size_t(problem.nnz()), optimizer_name(optimizer_));
        log(text);
    }

    void summary(int32_t trm) const {
        char text[256];
        std::snprintf(text, sizeof text, "Optimizer terminated. Time: %.2f s, termination code %d.\n", elapsed(), trm);
        log(text);
        if (par_.get_int(VLT_IPAR_LOG_INCLUDE_SUMMARY) == VLT_ONOFF_ON && par_.get_int(VLT_IPAR_LOG) > 0)
            solution_summary(task_, VLT_STREAM_LOG);
    }

    // A ranged bound whose lower value lies above its upper one.
    struct CrossedBound {
        bool constraint = false;
        int32_t index = -1;
    };

    static CrossedBound crossed_bound(const model::ProblemData& d) {
        for (int32_t i = 0; i < d.numcon; ++i)
            if (d.bkc[size_t(i)] == VLT_BK_RA && d.blc[size_t(i)] > d.buc[size_t(i)]) return {true, i};
        for (int32_t j = 0; j < d.numvar; ++j)
            if (d.bkx[size_t(j)] == VLT_BK_RA && d.blx[size_t(j)] > d.bux[size_t(j)]) return {false, j};
        return {};
    }

    // Such a bound makes the problem primal infeasible whatever else it holds,
    // and its two multipliers alone certify it: with y = 0 and both set to 1,
    // A'y + slx - sux = 0 and lc'slc - uc'suc + lx'slx - ux'sux = lower - upper > 0.
    int32_t finish_crossed(const model::ProblemData& data, CrossedBound crossed) {
        const int32_t i = crossed.index;
        char text[200];
        std::snprintf(text, sizeof text,
                      "The bounds of %s %d cross (lower %.10g above upper %.10g): the problem is primal "
                      "infeasible.\n",
                      crossed.constraint ? "constraint" : "variable", i,
                      crossed.constraint ? data.blc[size_t(i)] : data.blx[size_t(i)],
                      crossed.constraint ? data.buc[size_t(i)] : data.bux[size_t(i)]);
        log(text);
        for (int32_t k = 0; k < model::kNumSolutions; ++k) task_.solutions.remove(k);
        SolutionValues s;
        s.numcon = data.numcon;
        s.numvar = data.numvar;
        s.prosta = VLT_PRO_STA_PRIM_INFEAS;
        s.solsta = optimizer_ == VLT_OPTIMIZER_MIXED_INT ? VLT_SOL_STA_UNKNOWN : VLT_SOL_STA_PRIM_INFEAS_CER;
        if (s.solsta == VLT_SOL_STA_PRIM_INFEAS_CER) {
            auto& lower = crossed.constraint ? s.slc : s.slx;
            auto& upper = crossed.constraint ? s.suc : s.sux;
            const size_t n = size_t(crossed.constraint ? data.numcon : data.numvar);
            lower.assign(n, 0.0);
            upper.assign(n, 0.0);
            lower[size_t(i)] = upper[size_t(i)] = 1.0;
        }
        const bool basic_only = optimizer_ == VLT_OPTIMIZER_PRIMAL_SIMPLEX || optimizer_ == VLT_OPTIMIZER_DUAL_SIMPLEX;
        const int32_t which = optimizer_ == VLT_OPTIMIZER_MIXED_INT ? VLT_SOL_ITG
                              : basic_only                          ? VLT_SOL_BAS
                                                                    : VLT_SOL_ITR;
        put_solution(task_, which, data, s);
        certify_solutions(task_);
        update_solution_info(task_);
        progress(VLT_CALLBACK_END_OPTIMIZER);
        summary(VLT_RES_OK);
        return VLT_RES_OK;
    }

    int32_t finish_stopped_early() {
        for (int32_t k = 0; k < model::kNumSolutions; ++k) task_.solutions.remove(k);
        progress(VLT_CALLBACK_END_OPTIMIZER);
        summary(VLT_RES_TRM_USER_CALLBACK);
        return VLT_RES_TRM_USER_CALLBACK;
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
        record_engine_figures(r);
        info[VLT_LIINF_MEMORY_USAGE] = int64_t(task_.memory_bytes());
        info[VLT_LIINF_MEMORY_USAGE_PEAK] = int64_t(task_.peak_memory_bytes());
        update_solution_info(task_);
    }

    // What the engine knows beyond iterations and objectives: the last
    // interior-point iterate, the linear algebra, presolve, branch and bound.
    void record_engine_figures(const EngineResult& r) {
        auto& info = task_.info;
        const auto& f = r.interior;
        if (optimizer_ == VLT_OPTIMIZER_INTPNT || own_branch_and_bound_) {
            if (f.primal_feasibility >= 0) info[VLT_DINF_INTPNT_PRIMAL_FEAS] = f.primal_feasibility;
            if (f.dual_feasibility >= 0) info[VLT_DINF_INTPNT_DUAL_FEAS] = f.dual_feasibility;
            if (f.mu >= 0) info[VLT_DINF_INTPNT_MU] = f.mu;
            if (f.step >= 0) info[VLT_DINF_INTPNT_STEP_SIZE] = f.step;
            if (f.order_time >= 0) info[VLT_DINF_INTPNT_ORDER_TIME] = f.order_time;
            if (f.factor_time >= 0) info[VLT_DINF_INTPNT_FACTOR_TIME] = f.factor_time;
            if (f.factor_nonzeros >= 0) info[VLT_LIINF_INTPNT_FACTOR_NUM_NZ] = f.factor_nonzeros;
            if (f.dense_columns >= 0) info[VLT_IINF_INTPNT_FACTOR_DIM_DENSE] = int32_t(f.dense_columns);
            if (f.refinement_steps >= 0) info[VLT_IINF_INTPNT_NUM_REFINEMENT_STEPS] = int32_t(f.refinement_steps);
        }
        if (simplex() && r.has_primal) {
            double violation = 0.0;
            const model::ProblemData& d = data_;
            for (int32_t i = 0; i < d.numcon && size_t(i) < r.xc.size(); ++i)
                violation = std::max(violation, bound_violation(d.bkc[size_t(i)], d.blc[size_t(i)], d.buc[size_t(i)], r.xc[size_t(i)]));
            for (int32_t j = 0; j < d.numvar && size_t(j) < r.x.size(); ++j)
                violation = std::max(violation, bound_violation(d.bkx[size_t(j)], d.blx[size_t(j)], d.bux[size_t(j)], r.x[size_t(j)]));
            info[VLT_DINF_SIM_FEAS] = violation;
        }
        if (optimizer_ == VLT_OPTIMIZER_PRIMAL_SIMPLEX) info[VLT_DINF_SIM_PRIMAL_TIME] = r.solve_time;
        if (optimizer_ == VLT_OPTIMIZER_DUAL_SIMPLEX) info[VLT_DINF_SIM_DUAL_TIME] = r.solve_time;
        if (r.presolve_time >= 0) info[VLT_DINF_PRESOLVE_TIME] = r.presolve_time;
        if (optimizer_ != VLT_OPTIMIZER_MIXED_INT) return;
        info[VLT_IINF_MIO_NUM_RELAX] = int32_t(std::min<int64_t>(r.mip_nodes, INT32_MAX));
        info[VLT_LIINF_MIO_SIMPLEX_ITER] = std::max<int64_t>(0, r.simplex_iterations);
        info[VLT_LIINF_MIO_INTPNT_ITER] = std::max<int64_t>(0, r.interior_iterations);
        if (r.has_primal) {
            const double gap = std::fabs(r.primal_objective - r.mip_best_bound);
            info[VLT_IINF_MIO_ABSGAP_SATISFIED] = gap <= par_.get_dou(VLT_DPAR_MIO_TOL_ABS_GAP);
            info[VLT_IINF_MIO_RELGAP_SATISFIED] =
                gap <= par_.get_dou(VLT_DPAR_MIO_TOL_REL_GAP) *
                           std::max(par_.get_dou(VLT_DPAR_MIO_REL_GAP_CONST), std::fabs(r.primal_objective));
        }
    }

    static double bound_violation(int32_t key, double lower, double upper, double value) {
        double v = 0.0;
        if (model::has_lower(key)) v = std::max(v, lower - value);
        if (model::has_upper(key)) v = std::max(v, value - (key == VLT_BK_FX ? lower : upper));
        return v;
    }

    Task& task_;
    const params::ParamValues& par_;
    Clock::time_point start_;
    int32_t requested_ = VLT_OPTIMIZER_FREE;
    int32_t optimizer_ = VLT_OPTIMIZER_FREE;
    int32_t problem_type_ = VLT_PROBTYPE_LO;
    model::ProblemData data_, conic_data_;
    std::optional<mip::MixedIntegerForm> mixed_;
    std::optional<SemidefiniteForm> semidefinite_;
    bool through_conic_form_ = false;
    bool conic_ = false;
    bool own_interior_point_ = false;
    bool own_branch_and_bound_ = false;  // the mixed-integer form is not linear
    bool answered_by_interior_point_ = false;
    PhaseCodes codes_{};
    int64_t last_interior_iteration_ = -1;
    bool stopped_by_callback_ = false;
};

const Run::Fallback Run::kResolves[3] = {
    {"The interior-point optimizer ended with status '%s'; solving again with the active-set quadratic solver.\n",
     &Run::interior_point_in_trouble, &Run::first_options, true, Keep::second_unless_error},
    {"Presolve could not tell infeasible from unbounded (status '%s'); solving again without presolve.\n",
     &Run::undecided_by_presolve, &Run::without_presolve, true, Keep::second},
    {"The interior-point optimizer ended with status '%s'; solving again with the dual simplex optimizer.\n",
     &Run::engine_interior_point_unsettled, &Run::dual_simplex, true, Keep::second_if_settled},
};

const Run::Fallback Run::kCertificate = {
    "The answer '%s' has no certificate; computing one with the simplex optimizer.\n", &Run::needs_certificate,
    &Run::certificate_options, false, Keep::rays_of_same_status};

}  // namespace

int32_t optimize(Task& task) {
    Run run(task);
    return run.execute();
}

}  // namespace vlt::solve
