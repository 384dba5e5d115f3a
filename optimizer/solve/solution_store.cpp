#include "solve/solution_store.hpp"

#include <algorithm>
#include <cmath>

#include "core/task.hpp"
#include "model/semidefinite.hpp"
#include "solve/semidefinite_form.hpp"

namespace vlt::solve {
namespace {

int32_t key_of(BasisStatus status) {
    switch (status) {
        case BasisStatus::basic: return VLT_SK_BAS;
        case BasisStatus::at_lower: return VLT_SK_LOW;
        case BasisStatus::at_upper: return VLT_SK_UPR;
        case BasisStatus::fixed: return VLT_SK_FIX;
        default: return VLT_SK_SUPBAS;
    }
}

// The status key that a value suggests: at a bound, fixed, or in between.
int32_t key_from_value(int32_t bk, double lo, double up, double x) {
    double tol = 1e-7 * (1.0 + std::fabs(x));
    if (bk == VLT_BK_FX) return VLT_SK_FIX;
    if (has_lower(bk) && std::fabs(x - lo) <= tol) return VLT_SK_LOW;
    if (has_upper(bk) && std::fabs(x - up) <= tol) return VLT_SK_UPR;
    return VLT_SK_BAS;
}

// The duals of the cones on variables: those of their conic rows, which come
// first (one row per member, F = identity), so that with them
// c + Qx - A'y - snx = slx - sux.
std::vector<double> cone_duals(const model::ProblemData& data, const std::vector<double>& doty, int32_t numvar) {
    std::vector<double> snx(size_t(numvar), 0.0);
    if (int64_t(doty.size()) >= data.var_cone_rows)
        for (int64_t r = 0; r < data.var_cone_rows; ++r)
            snx[size_t(data.fsub[size_t(data.fptr[size_t(r)])])] = doty[size_t(r)];
    return snx;
}

}  // namespace

void SolutionValues::take_point(const EngineResult& r) {
    take_primal(r);
    if (!r.has_dual) return;
    bars = r.bars;
    y = r.y;
    slc = r.slc;
    suc = r.suc;
    slx = r.slx;
    sux = r.sux;
    doty = r.doty;
    has_objectives = true;
    primal_obj = r.primal_objective;
    dual_obj = r.dual_objective;
}

void SolutionValues::take_primal(const EngineResult& r) {
    xx = r.x;
    xc = r.xc;
    barx = r.barx;
    if (r.is_mip) {
        has_objectives = true;
        primal_obj = r.primal_objective;
        dual_obj = r.mip_best_bound;
    }
}

void SolutionValues::take_dual_ray(const model::ProblemData& data, const std::vector<double>& ray,
                                   const std::vector<double>& conic_ray) {
    doty = conic_ray;
    const std::vector<double> snx = cone_duals(data, doty, numvar);
    y = ray;
    slc.assign(size_t(numcon), 0.0);
    suc.assign(size_t(numcon), 0.0);
    for (int32_t i = 0; i < numcon; ++i) {
        if (ray[size_t(i)] > 0 && has_lower(data.bkc[size_t(i)])) slc[size_t(i)] = ray[size_t(i)];
        if (ray[size_t(i)] < 0 && has_upper(data.bkc[size_t(i)])) suc[size_t(i)] = -ray[size_t(i)];
    }
    // s = -A'y - snx split into slx - sux on the sides that have bounds.
    slx.assign(size_t(numvar), 0.0);
    sux.assign(size_t(numvar), 0.0);
    for (int32_t j = 0; j < numvar; ++j) {
        double s = -snx[size_t(j)];
        for (int64_t k = data.aptr[size_t(j)]; k < data.aptr[size_t(j) + 1]; ++k)
            s -= data.aval[size_t(k)] * ray[size_t(data.asub[size_t(k)])];
        if (s > 0 && has_lower(data.bkx[size_t(j)])) slx[size_t(j)] = s;
        if (s < 0 && has_upper(data.bkx[size_t(j)])) sux[size_t(j)] = -s;
    }
    xc.assign(size_t(numcon), 0.0);
    xx.assign(size_t(numvar), 0.0);
}

void SolutionValues::take_primal_ray(const model::ProblemData& data, const std::vector<double>& ray) {
    xx = ray;
    xc.assign(size_t(numcon), 0.0);
    for (int32_t j = 0; j < numvar; ++j)
        for (int64_t k = data.aptr[size_t(j)]; k < data.aptr[size_t(j) + 1]; ++k)
            xc[size_t(data.asub[size_t(k)])] += data.aval[size_t(k)] * ray[size_t(j)];
}

void SolutionValues::take_basis(const model::ProblemData& data, const EngineResult& r, bool from_values) {
    skc.assign(size_t(numcon), VLT_SK_UNK);
    skx.assign(size_t(numvar), VLT_SK_UNK);
    if (r.has_basis && !from_values) {
        for (int32_t i = 0; i < numcon; ++i) skc[size_t(i)] = key_of(r.row_basis[size_t(i)]);
        for (int32_t j = 0; j < numvar; ++j) skx[size_t(j)] = key_of(r.column_basis[size_t(j)]);
        return;
    }
    if (xc.size() == size_t(numcon))
        for (int32_t i = 0; i < numcon; ++i)
            skc[size_t(i)] = key_from_value(data.bkc[size_t(i)], data.blc[size_t(i)], data.buc[size_t(i)], xc[size_t(i)]);
    if (xx.size() == size_t(numvar))
        for (int32_t j = 0; j < numvar; ++j)
            skx[size_t(j)] = key_from_value(data.bkx[size_t(j)], data.blx[size_t(j)], data.bux[size_t(j)], xx[size_t(j)]);
}

void put_solution(Task& task, int32_t whichsol, const model::ProblemData& data, SolutionValues& v) {
    model::Solution s;
    s.defined = true;
    s.prosta = v.prosta;
    s.solsta = v.solsta;
    auto fit = [](std::vector<double>& x, int32_t n) { x.resize(size_t(n), 0.0); };
    fit(v.xc, v.numcon);
    fit(v.y, v.numcon);
    fit(v.slc, v.numcon);
    fit(v.suc, v.numcon);
    fit(v.xx, v.numvar);
    fit(v.slx, v.numvar);
    fit(v.sux, v.numvar);
    v.skc.resize(size_t(v.numcon), VLT_SK_UNK);
    v.skx.resize(size_t(v.numvar), VLT_SK_UNK);
    s.skc = std::move(v.skc);
    s.skx = std::move(v.skx);
    s.values[VLT_SOL_ITEM_XC] = std::move(v.xc);
    s.values[VLT_SOL_ITEM_XX] = std::move(v.xx);
    s.values[VLT_SOL_ITEM_Y] = std::move(v.y);
    s.values[VLT_SOL_ITEM_SLC] = std::move(v.slc);
    s.values[VLT_SOL_ITEM_SUC] = std::move(v.suc);
    s.values[VLT_SOL_ITEM_SLX] = std::move(v.slx);
    s.values[VLT_SOL_ITEM_SUX] = std::move(v.sux);
    s.values[VLT_SOL_ITEM_SNX] = cone_duals(data, v.doty, v.numvar);
    // The rows after those of the cones on variables belong to the affine conic constraints.
    if (int64_t(v.doty.size()) > data.var_cone_rows)
        s.doty.assign(v.doty.begin() + data.var_cone_rows, v.doty.end());
    // Semidefinite values: one lower triangle per variable.
    size_t at = 0;
    for (int32_t dim : data.barvar_dim) {
        const size_t len = size_t(model::packed_length(dim));
        for (auto [from, to] : {std::pair{&v.barx, &s.barx}, std::pair{&v.bars, &s.bars}}) {
            to->emplace_back(len, 0.0);
            if (from->size() >= at + len) std::copy(from->begin() + at, from->begin() + at + len, to->back().begin());
        }
        at += len;
    }
    if (v.has_objectives && v.solsta != VLT_SOL_STA_PRIM_INFEAS_CER && v.solsta != VLT_SOL_STA_DUAL_INFEAS_CER) {
        s.reported_primal_obj = v.primal_obj;
        s.reported_dual_obj = v.dual_obj;
    }
    task.solutions.store(whichsol, std::move(s));
}

namespace {

bool all_finite(const std::vector<double>& v) {
    for (double t : v)
        if (!std::isfinite(t)) return false;
    return true;
}

// Whether the answer's point and duals are finite numbers throughout.
bool finite_answer(const EngineResult& r) {
    for (const auto* v : {&r.x, &r.xc, &r.y, &r.slc, &r.suc, &r.slx, &r.sux, &r.doty})
        if (!all_finite(*v)) return false;
    return std::isfinite(r.primal_objective) && (!r.has_dual || std::isfinite(r.dual_objective));
}

int32_t termination_code(const EngineResult& r, bool integer) {
    switch (r.status) {
        case EngineStatus::time_limit: return VLT_RES_TRM_MAX_TIME;
        case EngineStatus::iteration_limit: return integer ? VLT_RES_TRM_MIO_NUM_RELAXS : VLT_RES_TRM_MAX_ITERATIONS;
        case EngineStatus::interrupted: return VLT_RES_TRM_USER_CALLBACK;
        case EngineStatus::numerical_trouble: return VLT_RES_TRM_NUMERICAL_PROBLEM;
        default: return VLT_RES_OK;
    }
}

void store_continuous(Task& task, const model::ProblemData& data, const EngineResult& r, int32_t which) {
    SolutionValues s;
    s.numcon = data.numcon;
    s.numvar = data.numvar;
    const bool finite = finite_answer(r);
    switch (r.status) {
        case EngineStatus::optimal:
            if (!finite) break;
            s.prosta = VLT_PRO_STA_PRIM_AND_DUAL_FEAS;
            s.solsta = VLT_SOL_STA_OPTIMAL;
            s.take_point(r);
            break;
        case EngineStatus::primal_infeasible:
            s.prosta = VLT_PRO_STA_PRIM_INFEAS;
            if (r.has_dual_ray) {
                s.solsta = VLT_SOL_STA_PRIM_INFEAS_CER;
                s.take_dual_ray(data, r.dual_ray, r.dual_ray_conic);
                s.bars = r.bars_ray;
            }
            break;
        case EngineStatus::dual_infeasible:
            s.prosta = VLT_PRO_STA_DUAL_INFEAS;
            if (r.has_primal_ray) {
                s.solsta = VLT_SOL_STA_DUAL_INFEAS_CER;
                s.take_primal_ray(data, r.primal_ray);
                s.barx = r.barx_ray;
                add_semidefinite_activity(data, s.barx, s.xc);
            }
            break;
        case EngineStatus::primal_or_dual_infeasible: s.prosta = VLT_PRO_STA_PRIM_INFEAS_OR_UNBOUNDED; break;
        default:  // stopped early: whatever point the engine has
            if (!r.has_primal || !finite) break;
            s.take_point(r);
            if (r.primal_feasible && r.dual_feasible && r.has_dual)
                s.prosta = VLT_PRO_STA_PRIM_AND_DUAL_FEAS, s.solsta = VLT_SOL_STA_PRIM_AND_DUAL_FEAS;
            else if (r.primal_feasible)
                s.prosta = VLT_PRO_STA_PRIM_FEAS, s.solsta = VLT_SOL_STA_PRIM_FEAS;
            else if (r.dual_feasible && r.has_dual)
                s.prosta = VLT_PRO_STA_DUAL_FEAS, s.solsta = VLT_SOL_STA_DUAL_FEAS;
    }
    if (which == VLT_SOL_BAS || r.has_basis) s.take_basis(data, r, which == VLT_SOL_ITR);
    put_solution(task, which, data, s);
}

void store_integer(Task& task, const model::ProblemData& data, const EngineResult& r) {
    SolutionValues s;
    s.numcon = data.numcon;
    s.numvar = data.numvar;
    if (r.status == EngineStatus::primal_infeasible) {
        s.prosta = VLT_PRO_STA_PRIM_INFEAS;
    } else if (r.status == EngineStatus::dual_infeasible || r.status == EngineStatus::primal_or_dual_infeasible) {
        s.prosta = r.status == EngineStatus::dual_infeasible ? VLT_PRO_STA_DUAL_INFEAS
                                                             : VLT_PRO_STA_PRIM_INFEAS_OR_UNBOUNDED;
    } else if (r.has_primal && r.primal_feasible && all_finite(r.x) && all_finite(r.xc)) {
        s.prosta = VLT_PRO_STA_PRIM_FEAS;
        s.solsta = r.status == EngineStatus::optimal ? VLT_SOL_STA_INTEGER_OPTIMAL : VLT_SOL_STA_PRIM_FEAS;
        s.take_primal(r);
    }
    put_solution(task, VLT_SOL_ITG, data, s);
}

}  // namespace

int32_t store_answer(Task& task, const model::ProblemData& data, const EngineResult& r, const StoreChoice& choice) {
    for (int32_t k = 0; k < model::kNumSolutions; ++k) task.solutions.remove(k);
    if (choice.integer) {
        store_integer(task, data, r);
    } else {
        if (!choice.basic_only) store_continuous(task, data, r, VLT_SOL_ITR);
        // The simplex optimizers always leave a basic solution, also when
        // the problem is infeasible and the engine has no basis to report.
        if (choice.basic_only || (r.has_basis && choice.basis_identification))
            store_continuous(task, data, r, VLT_SOL_BAS);
    }
    return termination_code(r, choice.integer);
}

namespace {

struct Figures {
    double pviolcon = 0, pviolvar = 0, pviolitg = 0, dviolcon = 0, dviolvar = 0;
    double nrm_xc = 0, nrm_xx = 0, nrm_y = 0, nrm_slc = 0, nrm_suc = 0, nrm_slx = 0, nrm_sux = 0;
};

double violation(int32_t bk, double lo, double up, double x) {
    double v = 0.0;
    if (has_lower(bk)) v = std::max(v, lo - x);
    if (has_upper(bk)) v = std::max(v, x - up);
    return v;
}

double max_abs(const std::vector<double>& x) {
    double m = 0.0;
    for (double v : x) m = std::max(m, std::fabs(v));
    return m;
}

Figures figures(const model::ProblemData& data, const model::Solution& s, bool integer) {
    Figures f;
    const auto& xc = s.values[VLT_SOL_ITEM_XC];
    const auto& xx = s.values[VLT_SOL_ITEM_XX];
    for (int32_t i = 0; i < data.numcon && size_t(i) < xc.size(); ++i)
        f.pviolcon = std::max(f.pviolcon, violation(data.bkc[size_t(i)], data.blc[size_t(i)], data.buc[size_t(i)], xc[size_t(i)]));
    for (int32_t j = 0; j < data.numvar && size_t(j) < xx.size(); ++j) {
        f.pviolvar = std::max(f.pviolvar, violation(data.bkx[size_t(j)], data.blx[size_t(j)], data.bux[size_t(j)], xx[size_t(j)]));
        if (integer && data.vartype[size_t(j)] == VLT_VAR_TYPE_INT)
            f.pviolitg = std::max(f.pviolitg, std::fabs(xx[size_t(j)] - std::round(xx[size_t(j)])));
    }
    // Dual violations: negative multipliers (for minimization; sign flipped
    // for maximization) and the residual of c - A'y - slx + sux.
    double sign = data.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    const auto& slc = s.values[VLT_SOL_ITEM_SLC];
    const auto& suc = s.values[VLT_SOL_ITEM_SUC];
    const auto& slx = s.values[VLT_SOL_ITEM_SLX];
    const auto& sux = s.values[VLT_SOL_ITEM_SUX];
    const auto& y = s.values[VLT_SOL_ITEM_Y];
    const auto& snx = s.values[VLT_SOL_ITEM_SNX];
    if (!integer && y.size() == size_t(data.numcon) && slx.size() == size_t(data.numvar)) {
        for (int32_t i = 0; i < data.numcon; ++i)
            f.dviolcon = std::max({f.dviolcon, -sign * slc[size_t(i)], -sign * suc[size_t(i)],
                                   std::fabs(y[size_t(i)] - slc[size_t(i)] + suc[size_t(i)])});
        // Gradient of the objective at xx: c + Qx (Q symmetric, given by its lower triangle).
        std::vector<double> gradient(data.c);
        if (xx.size() == size_t(data.numvar))
            for (size_t k = 0; k < data.qoval.size(); ++k) {
                size_t i = size_t(data.qosubi[k]), j = size_t(data.qosubj[k]);
                gradient[i] += data.qoval[k] * xx[j];
                if (i != j) gradient[j] += data.qoval[k] * xx[i];
            }
        for (int32_t j = 0; j < data.numvar; ++j) {
            double r = gradient[size_t(j)] - slx[size_t(j)] + sux[size_t(j)];
            if (snx.size() == size_t(data.numvar)) r -= snx[size_t(j)];
            for (int64_t k = data.aptr[size_t(j)]; k < data.aptr[size_t(j) + 1]; ++k)
                r -= data.aval[size_t(k)] * y[size_t(data.asub[size_t(k)])];
            f.dviolvar = std::max({f.dviolvar, -sign * slx[size_t(j)], -sign * sux[size_t(j)], std::fabs(r)});
        }
    }
    f.nrm_xc = max_abs(xc);
    f.nrm_xx = max_abs(xx);
    f.nrm_y = max_abs(y);
    f.nrm_slc = max_abs(slc);
    f.nrm_suc = max_abs(suc);
    f.nrm_slx = max_abs(slx);
    f.nrm_sux = max_abs(sux);
    return f;
}

// Where the figures of one solution go among the information items (-1: the
// solution has no such item).
struct SolutionItems {
    int32_t sol;
    int32_t primal_obj, dual_obj, prosta, solsta;
    int32_t pviolcon, pviolvar, pviolitg, dviolcon, dviolvar;
    int32_t nrm_xc, nrm_xx, nrm_y, nrm_slc, nrm_suc, nrm_slx, nrm_sux;
};

constexpr SolutionItems kSolutionItems[] = {
    {VLT_SOL_ITR, VLT_DINF_SOL_ITR_PRIMAL_OBJ, VLT_DINF_SOL_ITR_DUAL_OBJ, VLT_IINF_SOL_ITR_PROSTA,
     VLT_IINF_SOL_ITR_SOLSTA, VLT_DINF_SOL_ITR_PVIOLCON, VLT_DINF_SOL_ITR_PVIOLVAR, -1, VLT_DINF_SOL_ITR_DVIOLCON,
     VLT_DINF_SOL_ITR_DVIOLVAR, VLT_DINF_SOL_ITR_NRM_XC, VLT_DINF_SOL_ITR_NRM_XX, VLT_DINF_SOL_ITR_NRM_Y,
     VLT_DINF_SOL_ITR_NRM_SLC, VLT_DINF_SOL_ITR_NRM_SUC, VLT_DINF_SOL_ITR_NRM_SLX, VLT_DINF_SOL_ITR_NRM_SUX},
    {VLT_SOL_BAS, VLT_DINF_SOL_BAS_PRIMAL_OBJ, VLT_DINF_SOL_BAS_DUAL_OBJ, VLT_IINF_SOL_BAS_PROSTA,
     VLT_IINF_SOL_BAS_SOLSTA, VLT_DINF_SOL_BAS_PVIOLCON, VLT_DINF_SOL_BAS_PVIOLVAR, -1, VLT_DINF_SOL_BAS_DVIOLCON,
     VLT_DINF_SOL_BAS_DVIOLVAR, VLT_DINF_SOL_BAS_NRM_XC, VLT_DINF_SOL_BAS_NRM_XX, VLT_DINF_SOL_BAS_NRM_Y,
     VLT_DINF_SOL_BAS_NRM_SLC, VLT_DINF_SOL_BAS_NRM_SUC, VLT_DINF_SOL_BAS_NRM_SLX, VLT_DINF_SOL_BAS_NRM_SUX},
    {VLT_SOL_ITG, VLT_DINF_SOL_ITG_PRIMAL_OBJ, -1, VLT_IINF_SOL_ITG_PROSTA, VLT_IINF_SOL_ITG_SOLSTA,
     VLT_DINF_SOL_ITG_PVIOLCON, VLT_DINF_SOL_ITG_PVIOLVAR, VLT_DINF_SOL_ITG_PVIOLITG, -1, -1, VLT_DINF_SOL_ITG_NRM_XC,
     VLT_DINF_SOL_ITG_NRM_XX, -1, -1, -1, -1, -1},
};

}  // namespace

void update_solution_info(Task& task) {
    model::SolutionSizes sizes = model::solution_sizes(task.problem);
    model::ProblemData data = task.problem.to_data();
    auto put = [&](int32_t item, double value) {
        if (item >= 0) task.info.d[item] = value;
    };
    for (const SolutionItems& at : kSolutionItems) {
        if (!task.solutions.defined(at.sol)) continue;
        const model::Solution& s = task.solutions.read(at.sol, sizes);
        model::ObjectiveValues obj = task.solutions.objectives(at.sol, task.problem);
        Figures f = figures(data, s, at.sol == VLT_SOL_ITG);
        task.info.i[at.prosta] = s.prosta;
        task.info.i[at.solsta] = s.solsta;
        put(at.primal_obj, obj.primal);
        put(at.dual_obj, obj.dual);
        put(at.pviolcon, f.pviolcon);
        put(at.pviolvar, f.pviolvar);
        put(at.pviolitg, f.pviolitg);
        put(at.dviolcon, f.dviolcon);
        put(at.dviolvar, f.dviolvar);
        put(at.nrm_xc, f.nrm_xc);
        put(at.nrm_xx, f.nrm_xx);
        put(at.nrm_y, f.nrm_y);
        put(at.nrm_slc, f.nrm_slc);
        put(at.nrm_suc, f.nrm_suc);
        put(at.nrm_slx, f.nrm_slx);
        put(at.nrm_sux, f.nrm_sux);
    }
}

}  // namespace vlt::solve
