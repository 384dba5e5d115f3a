#include "solve/highs_engine.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "interfaces/highs_c_api.h"
#include "base/error.hpp"
#include "solve/convexity.hpp"

namespace vlt::solve {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The interval of a bound key and its two values (validated).
std::pair<double, double> interval(int32_t key, double lower, double upper) {
    return {has_lower(key) ? lower : -kInf, key == VLT_BK_FX ? lower : has_upper(key) ? upper : kInf};
}

// ---------------------------------------------------------------- Hessian

// Lower triangle of Q, column-wise, duplicates summed and zeros dropped.
struct Hessian {
    std::vector<HighsInt> start, index;
    std::vector<double> value;
    bool empty() const { return value.empty(); }
};

Hessian lower_triangle_by_column(const model::ProblemData& p) {
    std::vector<std::map<int32_t, double>> columns(p.numvar);
    for (size_t k = 0; k < p.qosubi.size(); ++k) columns[p.qosubj[k]][p.qosubi[k]] += p.qoval[k];
    Hessian h;
    h.start.reserve(p.numvar + 1);
    h.start.push_back(0);
    for (const auto& column : columns) {
        for (const auto& [row, value] : column) {
            if (value == 0.0) continue;
            h.index.push_back(row);
            h.value.push_back(value);
        }
        h.start.push_back(static_cast<HighsInt>(h.index.size()));
    }
    if (h.empty()) h.start.clear();
    return h;
}

// ---------------------------------------------------------------- HiGHS session

struct HighsDeleter {
    void operator()(void* highs) const { Highs_destroy(highs); }
};
using HighsHandle = std::unique_ptr<void, HighsDeleter>;

[[noreturn]] void refuse_value(const std::string& value) {
    fail(VLT_RES_ERR_PARAM_VALUE,
         "A parameter value (" + value + ") is not one that the simplex and mixed-integer optimizers accept");
}

void set_option(void* highs, const char* name, bool value) {
    if (Highs_setBoolOptionValue(highs, name, value ? 1 : 0) == kHighsStatusError)
        fail(VLT_RES_ERR_INTERNAL, std::string("The simplex and mixed-integer optimizers have no setting ") + name);
}
void set_option(void* highs, const char* name, int64_t value) {
    const auto clamped = static_cast<HighsInt>(
        std::clamp<int64_t>(value, std::numeric_limits<HighsInt>::min(), std::numeric_limits<HighsInt>::max()));
    if (Highs_setIntOptionValue(highs, name, clamped) == kHighsStatusError)
        refuse_value(std::to_string(value));
}
void set_option(void* highs, const char* name, double value) {
    if (Highs_setDoubleOptionValue(highs, name, value) == kHighsStatusError)
        refuse_value(std::to_string(value));
}
void set_option(void* highs, const char* name, const char* value) {
    if (Highs_setStringOptionValue(highs, name, value) == kHighsStatusError)
        refuse_value(value);
}

int64_t edge_weight_strategy(Pricing p) {
    switch (p) {
        case Pricing::full: return 0;
        case Pricing::devex: return 1;
        case Pricing::steepest_edge: return 2;
        default: return -1;
    }
}

// The tuning options that differ from the engine's defaults.
void apply_tuning(void* highs, const EngineOptions& o) {
    set_option(highs, "simplex_primal_edge_weight_strategy", edge_weight_strategy(o.primal_pricing));
    set_option(highs, "simplex_dual_edge_weight_strategy", edge_weight_strategy(o.dual_pricing));
    if (!o.scaling) set_option(highs, "simplex_scale_strategy", int64_t{0});
    if (o.random_seed >= 0) set_option(highs, "random_seed", int64_t{o.random_seed});
    // The engine's switches: -1 off, 1 on.
    if (o.simplex_form != Form::automatic)
        set_option(highs, "simplex_dualize_strategy", int64_t{o.simplex_form == Form::dual ? 1 : -1});
    if (o.interior_form != Form::automatic)
        set_option(highs, "ipx_dualize_strategy", int64_t{o.interior_form == Form::dual ? 1 : -1});
    if (o.updates_between_refactorizations > 0)
        set_option(highs, "simplex_update_limit", int64_t{o.updates_between_refactorizations});
    if (o.presolve_reduction_limit >= 0) set_option(highs, "presolve_reduction_limit", o.presolve_reduction_limit);
    // Below 1e-9 the engine's own threshold stays: smaller entries are noise
    // to its factorization.
    if (o.presolve_drop_tolerance > 1e-9) set_option(highs, "small_matrix_value", o.presolve_drop_tolerance);
    if (o.interior_gap_tolerance > 0)
        set_option(highs, "ipm_optimality_tolerance", std::max(o.interior_gap_tolerance, 1e-12));
    if (o.mip_heuristic_effort >= 0)
        set_option(highs, "mip_heuristic_effort", std::min(o.mip_heuristic_effort, 1.0));
    set_option(highs, "mip_detect_symmetry", o.mip_symmetry);
    if (o.mip_integrality_tolerance > 0)
        set_option(highs, "mip_feasibility_tolerance", std::max(o.mip_integrality_tolerance, 1e-10));
    if (std::isfinite(o.mip_cutoff)) set_option(highs, "objective_bound", o.mip_cutoff);
}

void apply_options(void* highs, const EngineOptions& o, bool logging) {
    if (!(o.time_limit >= 0.0)) fail(VLT_RES_ERR_PARAM_VALUE, "time limit must be non-negative");
    set_option(highs, "output_flag", logging);
    set_option(highs, "log_to_console", false);
    switch (o.algorithm) {
        case Algorithm::automatic:
        case Algorithm::mixed_integer: set_option(highs, "solver", "choose"); break;
        case Algorithm::interior_point: set_option(highs, "solver", "ipm"); break;
        case Algorithm::primal_simplex:
            set_option(highs, "solver", "simplex");
            set_option(highs, "simplex_strategy", int64_t{4});
            break;
        case Algorithm::dual_simplex:
            set_option(highs, "solver", "simplex");
            set_option(highs, "simplex_strategy", int64_t{1});
            break;
    }
    set_option(highs, "run_crossover", o.crossover ? "on" : "off");
    set_option(highs, "presolve", o.presolve ? "choose" : "off");
    set_option(highs, "solve_relaxation", o.relax_integrality);
    set_option(highs, "time_limit", o.time_limit);
    const int64_t unlimited = std::numeric_limits<HighsInt>::max();
    set_option(highs, "simplex_iteration_limit", o.simplex_iteration_limit < 0 ? unlimited : o.simplex_iteration_limit);
    set_option(highs, "ipm_iteration_limit", o.interior_iteration_limit < 0 ? unlimited : o.interior_iteration_limit);
    set_option(highs, "mip_max_nodes", o.mip_node_limit < 0 ? unlimited : o.mip_node_limit);
    set_option(highs, "mip_max_improving_sols", o.mip_solution_limit < 0 ? unlimited : o.mip_solution_limit);
    set_option(highs, "primal_feasibility_tolerance", o.primal_feasibility_tolerance);
    set_option(highs, "dual_feasibility_tolerance", o.dual_feasibility_tolerance);
    set_option(highs, "mip_rel_gap", o.mip_relative_gap);
    set_option(highs, "mip_abs_gap", o.mip_absolute_gap);
    set_option(highs, "threads", int64_t{o.threads});
    apply_tuning(highs, o);
}

// State shared with the C callback; exceptions never cross HiGHS.
struct CallbackContext {
    const ProgressHook* hook = nullptr;
    const LogSink* log = nullptr;
    bool stopped_by_hook = false;
    std::exception_ptr failure;
    std::string pending_line;  // HiGHS may deliver a line in pieces
};

// The engine's log lines reach the task's log in the library's words: the
// engine's banner is left out and its name is not shown.
void emit_log_line(CallbackContext& ctx, std::string line) {
    if (line.rfind("Running HiGHS", 0) == 0 || line.find("Copyright (c)") != std::string::npos) return;
    for (size_t at; (at = line.find("HiGHS ")) != std::string::npos;) line.erase(at, 6);
    if (!line.empty()) line[0] = char(std::toupper(static_cast<unsigned char>(line[0])));
    (*ctx.log)(line);
}

void emit_log(CallbackContext& ctx, const char* text) {
    ctx.pending_line += text;
    size_t newline;
    while ((newline = ctx.pending_line.find('\n')) != std::string::npos) {
        emit_log_line(ctx, ctx.pending_line.substr(0, newline));
        ctx.pending_line.erase(0, newline + 1);
    }
}

void on_highs_callback(int type, const char* message, const HighsCallbackDataOut* out, HighsCallbackDataIn* in,
                       void* user) {
    auto& ctx = *static_cast<CallbackContext*>(user);
    if (ctx.failure) {
        if (in) in->user_interrupt = 1;
        return;
    }
    try {
        if (type == kHighsCallbackLogging) {
            if (ctx.log && message) emit_log(ctx, message);
            return;
        }
        if (!ctx.hook || !out) return;
        ProgressEvent event;
        switch (type) {
            case kHighsCallbackSimplexInterrupt: event.kind = ProgressEvent::Kind::simplex_iteration; break;
            case kHighsCallbackIpmInterrupt: event.kind = ProgressEvent::Kind::interior_iteration; break;
            case kHighsCallbackMipInterrupt: event.kind = ProgressEvent::Kind::mip_progress; break;
            case kHighsCallbackMipImprovingSolution: event.kind = ProgressEvent::Kind::mip_improving_solution; break;
            default: return;
        }
        event.time = out->running_time;
        event.simplex_iterations = out->simplex_iteration_count;
        event.interior_iterations = out->ipm_iteration_count;
        event.objective = out->objective_function_value;
        event.mip_nodes = out->mip_node_count;
        event.mip_incumbent = out->mip_primal_bound;
        event.mip_bound = out->mip_dual_bound;
        event.mip_gap = out->mip_gap;
        if ((*ctx.hook)(event)) {
            ctx.stopped_by_hook = true;
            if (in) in->user_interrupt = 1;
        }
    } catch (...) {
        ctx.failure = std::current_exception();
        if (in) in->user_interrupt = 1;
    }
}

// ---------------------------------------------------------------- results

EngineStatus map_model_status(HighsInt status) {
    switch (status) {
        case kHighsModelStatusOptimal:
        case kHighsModelStatusModelEmpty: return EngineStatus::optimal;
        case kHighsModelStatusInfeasible: return EngineStatus::primal_infeasible;
        case kHighsModelStatusUnbounded: return EngineStatus::dual_infeasible;
        case kHighsModelStatusUnboundedOrInfeasible: return EngineStatus::primal_or_dual_infeasible;
        case kHighsModelStatusTimeLimit: return EngineStatus::time_limit;
        case kHighsModelStatusIterationLimit:
        case kHighsModelStatusSolutionLimit: return EngineStatus::iteration_limit;
        case kHighsModelStatusInterrupt: return EngineStatus::interrupted;
        case kHighsModelStatusSolveError:
        case kHighsModelStatusPostsolveError:
        case kHighsModelStatusUnknown: return EngineStatus::numerical_trouble;
        default: return EngineStatus::error;
    }
}

BasisStatus map_basis_status(HighsInt status, double lower, double upper) {
    switch (status) {
        case kHighsBasisStatusBasic: return BasisStatus::basic;
        case kHighsBasisStatusLower: return lower == upper ? BasisStatus::fixed : BasisStatus::at_lower;
        case kHighsBasisStatusUpper: return lower == upper ? BasisStatus::fixed : BasisStatus::at_upper;
        default: return BasisStatus::superbasic;
    }
}

// Splits y into slc - suc with both parts of the sign that the objective
// sense gives to dual multipliers (see the header).
void split(const std::vector<double>& dual, double sense, std::vector<double>& lower_part,
           std::vector<double>& upper_part) {
    lower_part.assign(dual.size(), 0.0);
    upper_part.assign(dual.size(), 0.0);
    for (size_t k = 0; k < dual.size(); ++k) {
        if (sense * dual[k] > 0)
            lower_part[k] = dual[k];
        else if (sense * dual[k] < 0)
            upper_part[k] = -dual[k];
    }
}

double bound_term(double bound, double multiplier) {
    return (std::isinf(bound) || multiplier == 0.0) ? 0.0 : bound * multiplier;
}

// Value of the dual bound given by multipliers y (rows) and s (columns):
// lc'slc - uc'suc + lx'slx - ux'sux.
double dual_bound_value(const std::vector<double>& row_lo, const std::vector<double>& row_up,
                        const std::vector<double>& col_lo, const std::vector<double>& col_up,
                        const std::vector<double>& y, const std::vector<double>& s, double sense) {
    std::vector<double> lower_part, upper_part;
    double value = 0.0;
    split(y, sense, lower_part, upper_part);
    for (size_t i = 0; i < y.size(); ++i)
        value += bound_term(row_lo[i], lower_part[i]) - bound_term(row_up[i], upper_part[i]);
    split(s, sense, lower_part, upper_part);
    for (size_t j = 0; j < s.size(); ++j)
        value += bound_term(col_lo[j], lower_part[j]) - bound_term(col_up[j], upper_part[j]);
    return value;
}

double info_double(void* highs, const char* name) {
    double value = 0.0;
    Highs_getDoubleInfoValue(highs, name, &value);
    return value;
}
int64_t info_int(void* highs, const char* name) {
    HighsInt value = 0;
    Highs_getIntInfoValue(highs, name, &value);
    return value;
}

// HiGHS ignores the rows of a problem without columns, so that case is
// settled here: every row activity is zero.
EngineResult solve_without_variables(const model::ProblemData& p, const std::vector<double>& row_lo,
                                     const std::vector<double>& row_up, double tolerance, double sense) {
    EngineResult result;
    result.primal_objective = result.dual_objective = p.cfix;
    std::vector<double> ray(p.numcon, 0.0);
    bool infeasible = false;
    for (int32_t i = 0; i < p.numcon; ++i) {
        if (row_lo[i] > tolerance) ray[i] = sense, infeasible = true;
        else if (row_up[i] < -tolerance) ray[i] = -sense, infeasible = true;
    }
    if (infeasible) {
        result.status = EngineStatus::primal_infeasible;
        result.has_dual_ray = true;
        result.dual_ray = std::move(ray);
        return result;
    }
    result.status = EngineStatus::optimal;
    result.has_primal = result.primal_feasible = result.has_dual = result.dual_feasible = true;
    result.xc.assign(p.numcon, 0.0);
    result.y = result.slc = result.suc = result.xc;
    result.has_basis = true;
    result.row_basis.assign(p.numcon, BasisStatus::basic);
    return result;
}

// The engine's status of a status key of a basis; false for a key that no
// basis holds (unknown, superbasic, infeasible).
bool engine_basis_status(int32_t key, HighsInt& status) {
    switch (key) {
        case VLT_SK_BAS: status = kHighsBasisStatusBasic; return true;
        case VLT_SK_LOW:
        case VLT_SK_FIX: status = kHighsBasisStatusLower; return true;
        case VLT_SK_UPR: status = kHighsBasisStatusUpper; return true;
        default: return false;
    }
}

// Starts the simplex from the given basis when it is one of this problem's
// (one key per row and column, each of a basis); the engine checks it
// further and starts from its own when it refuses it.
void set_start_basis(void* highs, const EngineOptions& o, int32_t m, int32_t n) {
    if (o.start_row_keys.size() != size_t(m) || o.start_col_keys.size() != size_t(n)) return;
    std::vector<HighsInt> rows(static_cast<size_t>(m)), cols(static_cast<size_t>(n));
    for (int32_t i = 0; i < m; ++i)
        if (!engine_basis_status(o.start_row_keys[size_t(i)], rows[size_t(i)])) return;
    for (int32_t j = 0; j < n; ++j)
        if (!engine_basis_status(o.start_col_keys[size_t(j)], cols[size_t(j)])) return;
    Highs_setBasis(highs, cols.data(), rows.data());
}

}  // namespace

EngineResult solve_with_highs(const model::ProblemData& p, const EngineOptions& options, const ProgressHook& hook,
                              const LogSink& log) {
    validate_problem(p);
    if (p.asub.size() > static_cast<size_t>(std::numeric_limits<HighsInt>::max()))
        fail(VLT_RES_ERR_SIZE_LIMIT, "the problem has too many matrix entries for the simplex and mixed-integer optimizers");
    const int32_t m = p.numcon, n = p.numvar;
    const double sense = p.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;

    std::vector<double> row_lo(m), row_up(m), col_lo(n), col_up(n);
    for (int32_t i = 0; i < m; ++i)
        std::tie(row_lo[i], row_up[i]) = interval(p.bkc[i], p.blc[i], p.buc[i]);
    for (int32_t j = 0; j < n; ++j)
        std::tie(col_lo[j], col_up[j]) = interval(p.bkx[j], p.blx[j], p.bux[j]);

    const bool has_semicontinuous = std::any_of(p.semicont.begin(), p.semicont.end(), [](uint8_t f) { return f != 0; });
    const bool has_integers = has_semicontinuous || std::any_of(p.vartype.begin(), p.vartype.end(),
                                                                [](int32_t t) { return t == VLT_VAR_TYPE_INT; });
    const Hessian hessian = lower_triangle_by_column(p);

    EngineResult result;
    result.is_mip = has_integers && !options.relax_integrality;

    // The engine's QP solver accepts an indefinite Hessian and returns a
    // stationary point, so convexity is checked here.
    if (!hessian.empty()) {
        ConvexityVerdict v = check_convexity(p.qosubi, p.qosubj, p.qoval, n, sense, options.convexity_tolerance,
                                             VLT_CHECK_CONVEXITY_FULL);
        if (!v.convex) {
            result.status = EngineStatus::error;
            result.error_code = VLT_RES_ERR_NONCONVEX;
            result.message = nonconvex_objective_message(sense, v.reason);
            return result;
        }
    }

    if (result.is_mip && !hessian.empty()) {
        result.status = EngineStatus::error;
        result.error_code = VLT_RES_ERR_PROBLEM_TYPE;
        result.message = "no optimizer is available for problems with integer variables and a quadratic objective";
        return result;
    }
    if (n == 0) return solve_without_variables(p, row_lo, row_up, options.primal_feasibility_tolerance, sense);

    HighsHandle session(Highs_create());
    if (!session) fail(VLT_RES_ERR_SPACE, "there is not enough memory to start the optimizer");
    void* highs = session.get();
    // Silence HiGHS before anything else can print to the console.
    set_option(highs, "output_flag", false);
    const bool logging = log && options.log_level > 0;
    apply_options(highs, options, logging);

    std::vector<HighsInt> a_start(p.aptr.begin(), p.aptr.end()), a_index(p.asub.begin(), p.asub.end());
    std::vector<HighsInt> integrality;
    if (has_integers) {
        integrality.assign(n, kHighsVarTypeContinuous);
        for (int32_t j = 0; j < n; ++j) {
            const bool integer = !p.vartype.empty() && p.vartype[j] == VLT_VAR_TYPE_INT;
            const bool semi = !p.semicont.empty() && p.semicont[j] != 0;
            integrality[j] = semi ? (integer ? kHighsVarTypeSemiInteger : kHighsVarTypeSemiContinuous)
                                  : (integer ? kHighsVarTypeInteger : kHighsVarTypeContinuous);
        }
    }

    const HighsInt pass = Highs_passModel(
        highs, n, m, static_cast<HighsInt>(p.asub.size()), static_cast<HighsInt>(hessian.value.size()),
        kHighsMatrixFormatColwise, kHighsHessianFormatTriangular,
        sense > 0 ? kHighsObjSenseMinimize : kHighsObjSenseMaximize, p.cfix, p.c.data(), col_lo.data(),
        col_up.data(), row_lo.data(), row_up.data(), a_start.data(), a_index.data(), p.aval.data(),
        hessian.empty() ? nullptr : hessian.start.data(), hessian.empty() ? nullptr : hessian.index.data(),
        hessian.empty() ? nullptr : hessian.value.data(), integrality.empty() ? nullptr : integrality.data());
    if (pass == kHighsStatusError) {
        result.status = EngineStatus::error;
        result.error_code = VLT_RES_ERR_OPTIMIZER;
        result.message =
            "The problem data holds a value that the simplex and mixed-integer optimizers cannot take (an infinite "
            "or huge bound or coefficient)";
        return result;
    }

    if (result.is_mip && options.mip_start.size() == size_t(n))
        Highs_setSolution(highs, options.mip_start.data(), nullptr, nullptr, nullptr);
    if (!result.is_mip) set_start_basis(highs, options, m, n);

    CallbackContext ctx;
    ctx.hook = hook ? &hook : nullptr;
    ctx.log = logging ? &log : nullptr;
    if (ctx.hook || ctx.log) {
        Highs_setCallback(highs, on_highs_callback, &ctx);
        if (ctx.log) Highs_startCallback(highs, kHighsCallbackLogging);
        if (ctx.hook)
            for (HighsInt type : {kHighsCallbackSimplexInterrupt, kHighsCallbackIpmInterrupt, kHighsCallbackMipInterrupt,
                                  kHighsCallbackMipImprovingSolution})
                Highs_startCallback(highs, type);
    }

    const HighsInt run = Highs_run(highs);
    if (ctx.failure) std::rethrow_exception(ctx.failure);
    if (ctx.log && !ctx.pending_line.empty()) (*ctx.log)(ctx.pending_line);

    const HighsInt model_status = Highs_getModelStatus(highs);
    result.status = map_model_status(model_status);
    if (model_status == kHighsModelStatusSolutionLimit) result.termination = VLT_RES_TRM_NUM_MAX_NUM_INT_SOLUTIONS;
    if (result.status == EngineStatus::interrupted && !ctx.stopped_by_hook) result.status = EngineStatus::error;
    if (run == kHighsStatusError && result.status == EngineStatus::optimal) result.status = EngineStatus::error;
    if (result.status == EngineStatus::error) {
        result.error_code = VLT_RES_ERR_OPTIMIZER;
        result.message = "the optimizer stopped without an answer (status " + std::to_string(model_status) + ")";
    } else if (result.status == EngineStatus::numerical_trouble) {
        result.message = "the optimizer could not reach a conclusion (status " + std::to_string(model_status) + ")";
    }

    result.simplex_iterations = info_int(highs, "simplex_iteration_count");
    result.interior_iterations = info_int(highs, "ipm_iteration_count");
    result.crossover_iterations = info_int(highs, "crossover_iteration_count");
    result.qp_iterations = info_int(highs, "qp_iteration_count");
    int64_t nodes = 0;
    Highs_getInt64InfoValue(highs, "mip_node_count", &nodes);
    result.mip_nodes = std::max<int64_t>(nodes, 0);
    result.solve_time = Highs_getRunTime(highs);
    if (options.algorithm == Algorithm::interior_point && result.interior_iterations > 0) {
        result.interior.primal_feasibility = info_double(highs, "max_primal_infeasibility");
        result.interior.dual_feasibility = info_double(highs, "max_dual_infeasibility");
    }

    const int64_t primal_status = info_int(highs, "primal_solution_status");
    const int64_t dual_status = info_int(highs, "dual_solution_status");
    result.has_primal = primal_status != kHighsSolutionStatusNone || model_status == kHighsModelStatusModelEmpty;
    result.primal_feasible = primal_status == kHighsSolutionStatusFeasible || model_status == kHighsModelStatusModelEmpty;
    result.has_dual = !result.is_mip && (dual_status != kHighsSolutionStatusNone || model_status == kHighsModelStatusModelEmpty);
    result.dual_feasible = result.has_dual && (dual_status == kHighsSolutionStatusFeasible || model_status == kHighsModelStatusModelEmpty);

    std::vector<double> col_value(n), col_dual(n), row_value(m), row_dual(m);
    if (result.has_primal || result.has_dual)
        Highs_getSolution(highs, col_value.data(), col_dual.data(), row_value.data(), row_dual.data());

    if (result.has_primal) {
        result.x = col_value;
        result.xc = row_value;
        result.primal_objective = Highs_getObjectiveValue(highs);
        if (model_status == kHighsModelStatusModelEmpty) result.primal_objective = p.cfix;
    }
    if (result.has_dual) {
        // HiGHS's row duals and column duals (c + Qx - A'y) already follow the
        // convention of the header for both senses.
        result.y = row_dual;
        split(row_dual, sense, result.slc, result.suc);
        split(col_dual, sense, result.slx, result.sux);
        double quadratic = 0.0;
        if (!hessian.empty() && result.has_primal)
            for (int32_t j = 0; j < n; ++j)
                for (HighsInt k = hessian.start[j]; k < hessian.start[j + 1]; ++k) {
                    const double term = hessian.value[k] * col_value[hessian.index[k]] * col_value[j];
                    quadratic += hessian.index[k] == j ? 0.5 * term : term;
                }
        result.dual_objective =
            p.cfix + dual_bound_value(row_lo, row_up, col_lo, col_up, row_dual, col_dual, sense) - quadratic;
    }
    if (result.is_mip) {
        result.mip_gap = info_double(highs, "mip_gap");
        result.mip_best_bound = info_double(highs, "mip_dual_bound");
        result.dual_objective = result.mip_best_bound;
    }

    if (!result.is_mip && hessian.empty()) {
        if (result.status == EngineStatus::primal_infeasible || result.status == EngineStatus::primal_or_dual_infeasible) {
            HighsInt has_ray = 0;
            std::vector<double> ray(m);
            if (Highs_getDualRay(highs, &has_ray, ray.data()) != kHighsStatusError && has_ray) {
                // Orient the ray so that the bound it proves is positive for a
                // minimization, then negate it for a maximization.
                std::vector<double> reduced(n, 0.0);
                for (int32_t j = 0; j < n; ++j)
                    for (int64_t k = p.aptr[j]; k < p.aptr[j + 1]; ++k) reduced[j] -= p.aval[k] * ray[p.asub[k]];
                const double value = dual_bound_value(row_lo, row_up, col_lo, col_up, ray, reduced, 1.0);
                const double orientation = (value < 0 ? -1.0 : 1.0) * sense;
                for (double& v : ray) v *= orientation;
                result.has_dual_ray = true;
                result.dual_ray = std::move(ray);
            }
        }
        if (result.status == EngineStatus::dual_infeasible || result.status == EngineStatus::primal_or_dual_infeasible) {
            HighsInt has_ray = 0;
            std::vector<double> ray(n);
            if (Highs_getPrimalRay(highs, &has_ray, ray.data()) != kHighsStatusError && has_ray) {
                double slope = 0.0;
                for (int32_t j = 0; j < n; ++j) slope += p.c[j] * ray[j];
                if (slope * sense > 0)
                    for (double& v : ray) v = -v;
                result.has_primal_ray = true;
                result.primal_ray = std::move(ray);
            }
        }
    }
    // Read after the rays: for an infeasible problem solved with presolve, HiGHS
    // has no basis of the original problem until computing the dual ray has
    // solved it again without presolve.
    if (!result.is_mip && info_int(highs, "basis_validity") == kHighsBasisValidityValid) {
        std::vector<HighsInt> col_status(n), row_status(m);
        if (Highs_getBasis(highs, col_status.data(), row_status.data()) != kHighsStatusError) {
            result.has_basis = true;
            result.column_basis.resize(n);
            result.row_basis.resize(m);
            for (int32_t j = 0; j < n; ++j) result.column_basis[j] = map_basis_status(col_status[j], col_lo[j], col_up[j]);
            for (int32_t i = 0; i < m; ++i) result.row_basis[i] = map_basis_status(row_status[i], row_lo[i], row_up[i]);
        }
    }

    return result;
}

}  // namespace vlt::solve
