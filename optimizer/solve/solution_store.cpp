#include "solve/solution_store.hpp"

#include <algorithm>
#include <cmath>

#include "core/task.hpp"
#include "model/semidefinite.hpp"
#include "solve/quality/solution_figures.hpp"
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

// F'doty over every conic row (cones on variables and affine conic
// constraints): with it a Farkas ray gives -A'y - F'doty = slx - sux.
std::vector<double> conic_columns(const model::ProblemData& data, const std::vector<double>& doty, int32_t numvar) {
    std::vector<double> ftd(size_t(numvar), 0.0);
    const int64_t rows = std::min<int64_t>(int64_t(doty.size()), data.num_conic_rows());
    for (int64_t r = 0; r < rows; ++r)
        for (int64_t p = data.fptr[size_t(r)]; p < data.fptr[size_t(r) + 1]; ++p)
            ftd[size_t(data.fsub[size_t(p)])] += data.fval[size_t(p)] * doty[size_t(r)];
    return ftd;
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

namespace {

// The value that a Farkas ray proves positive, in minimization form: with
// s = -A'ray - F'doty, the sum of ray[i] times the bound of row i on the side
// its sign selects (lower when positive), of s[j] times the bound of column
// j likewise, less the conic part doty'g.  A side without a bound makes it
// -inf: that orientation certifies nothing.
double farkas_value(const model::ProblemData& data, const std::vector<double>& ray, const std::vector<double>& doty,
                    const std::vector<double>& ftd, double orientation) {
    auto term = [](double v, double lower, double upper) {
        if (v == 0.0) return 0.0;
        return v > 0 ? v * lower : v * upper;
    };
    double sum = 0.0;
    for (int32_t i = 0; i < data.numcon; ++i) {
        const int32_t bk = data.bkc[size_t(i)];
        sum += term(orientation * ray[size_t(i)], has_lower(bk) ? data.blc[size_t(i)] : -INFINITY,
                    has_upper(bk) ? data.buc[size_t(i)] : INFINITY);
    }
    for (int32_t j = 0; j < data.numvar; ++j) {
        double v = -ftd[size_t(j)];
        for (int64_t k = data.aptr[size_t(j)]; k < data.aptr[size_t(j) + 1]; ++k)
            v -= data.aval[size_t(k)] * ray[size_t(data.asub[size_t(k)])];
        const int32_t bk = data.bkx[size_t(j)];
        sum += term(orientation * v, has_lower(bk) ? data.blx[size_t(j)] : -INFINITY,
                    has_upper(bk) ? data.bux[size_t(j)] : INFINITY);
    }
    for (size_t r = 0; r < doty.size() && r < data.g.size(); ++r) sum -= orientation * doty[r] * data.g[r];
    return sum;
}

}  // namespace

void SolutionValues::take_dual_ray(const model::ProblemData& data, const std::vector<double>& ray,
                                   const std::vector<double>& conic_ray) {
    // Engines report the ray in either orientation (and in their own sign
    // convention for maximization): keep the one that certifies, in
    // minimization form, then give it the sign of the problem's
    // multipliers (<= 0 when maximizing).
    const std::vector<double> ray_ftd = conic_columns(data, conic_ray, numvar);
    const double orientation =
        farkas_value(data, ray, conic_ray, ray_ftd, 1.0) >= farkas_value(data, ray, conic_ray, ray_ftd, -1.0) ? 1.0
                                                                                                               : -1.0;
    const double sense = data.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    doty = conic_ray;
    for (double& v : doty) v *= orientation;
    const std::vector<double> ftd = conic_columns(data, doty, numvar);
    y.assign(size_t(numcon), 0.0);
    slc.assign(size_t(numcon), 0.0);
    suc.assign(size_t(numcon), 0.0);
    for (int32_t i = 0; i < numcon; ++i) {
        const double r = orientation * ray[size_t(i)];
        y[size_t(i)] = sense * r;
        if (r > 0 && has_lower(data.bkc[size_t(i)])) slc[size_t(i)] = sense * r;
        if (r < 0 && has_upper(data.bkc[size_t(i)])) suc[size_t(i)] = -sense * r;
    }
    // s = -A'y - F'doty split into slx - sux on the sides that have bounds.
    slx.assign(size_t(numvar), 0.0);
    sux.assign(size_t(numvar), 0.0);
    for (int32_t j = 0; j < numvar; ++j) {
        double s = -ftd[size_t(j)];
        for (int64_t k = data.aptr[size_t(j)]; k < data.aptr[size_t(j) + 1]; ++k)
            s -= data.aval[size_t(k)] * orientation * ray[size_t(data.asub[size_t(k)])];
        if (s > 0 && has_lower(data.bkx[size_t(j)])) slx[size_t(j)] = sense * s;
        if (s < 0 && has_upper(data.bkx[size_t(j)])) sux[size_t(j)] = -sense * s;
    }
    for (double& v : doty) v *= sense;
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
        case EngineStatus::iteration_limit:
            if (r.termination != VLT_RES_OK) return r.termination;
            return integer ? VLT_RES_TRM_MIO_NUM_RELAXS : VLT_RES_TRM_MAX_ITERATIONS;
        case EngineStatus::interrupted: return VLT_RES_TRM_USER_CALLBACK;
        case EngineStatus::numerical_trouble: return VLT_RES_TRM_NUMERICAL_PROBLEM;
        default: return VLT_RES_OK;
    }
}

}  // namespace

SolutionValues continuous_solution(const model::ProblemData& data, const EngineResult& r, int32_t which) {
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
    return s;
}

namespace {

void store_continuous(Task& task, const model::ProblemData& data, const EngineResult& r, int32_t which) {
    SolutionValues s = continuous_solution(data, r, which);
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

// Where the figures of one solution go among the information items (-1: the
// solution has no such item).
struct SolutionItems {
    int32_t sol;
    int32_t primal_obj, dual_obj, prosta, solsta;
    int32_t pviolcon, pviolvar, pviolbarvar, pviolcones, pviolacc, pvioldjc, pviolitg;
    int32_t dviolcon, dviolvar, dviolbarvar, dviolcones, dviolacc;
    int32_t nrm_xc, nrm_xx, nrm_barx, nrm_y, nrm_slc, nrm_suc, nrm_slx, nrm_sux, nrm_snx, nrm_bars;
};

constexpr SolutionItems kSolutionItems[] = {
    {VLT_SOL_ITR, VLT_DINF_SOL_ITR_PRIMAL_OBJ, VLT_DINF_SOL_ITR_DUAL_OBJ, VLT_IINF_SOL_ITR_PROSTA,
     VLT_IINF_SOL_ITR_SOLSTA, VLT_DINF_SOL_ITR_PVIOLCON, VLT_DINF_SOL_ITR_PVIOLVAR, VLT_DINF_SOL_ITR_PVIOLBARVAR,
     VLT_DINF_SOL_ITR_PVIOLCONES, VLT_DINF_SOL_ITR_PVIOLACC, -1, -1, VLT_DINF_SOL_ITR_DVIOLCON,
     VLT_DINF_SOL_ITR_DVIOLVAR, VLT_DINF_SOL_ITR_DVIOLBARVAR, VLT_DINF_SOL_ITR_DVIOLCONES, VLT_DINF_SOL_ITR_DVIOLACC,
     VLT_DINF_SOL_ITR_NRM_XC, VLT_DINF_SOL_ITR_NRM_XX, VLT_DINF_SOL_ITR_NRM_BARX, VLT_DINF_SOL_ITR_NRM_Y,
     VLT_DINF_SOL_ITR_NRM_SLC, VLT_DINF_SOL_ITR_NRM_SUC, VLT_DINF_SOL_ITR_NRM_SLX, VLT_DINF_SOL_ITR_NRM_SUX,
     VLT_DINF_SOL_ITR_NRM_SNX, VLT_DINF_SOL_ITR_NRM_BARS},
    {VLT_SOL_BAS, VLT_DINF_SOL_BAS_PRIMAL_OBJ, VLT_DINF_SOL_BAS_DUAL_OBJ, VLT_IINF_SOL_BAS_PROSTA,
     VLT_IINF_SOL_BAS_SOLSTA, VLT_DINF_SOL_BAS_PVIOLCON, VLT_DINF_SOL_BAS_PVIOLVAR, -1, -1, -1, -1, -1,
     VLT_DINF_SOL_BAS_DVIOLCON, VLT_DINF_SOL_BAS_DVIOLVAR, -1, -1, -1, VLT_DINF_SOL_BAS_NRM_XC,
     VLT_DINF_SOL_BAS_NRM_XX, VLT_DINF_SOL_BAS_NRM_BARX, VLT_DINF_SOL_BAS_NRM_Y, VLT_DINF_SOL_BAS_NRM_SLC,
     VLT_DINF_SOL_BAS_NRM_SUC, VLT_DINF_SOL_BAS_NRM_SLX, VLT_DINF_SOL_BAS_NRM_SUX, -1, -1},
    {VLT_SOL_ITG, VLT_DINF_SOL_ITG_PRIMAL_OBJ, -1, VLT_IINF_SOL_ITG_PROSTA, VLT_IINF_SOL_ITG_SOLSTA,
     VLT_DINF_SOL_ITG_PVIOLCON, VLT_DINF_SOL_ITG_PVIOLVAR, VLT_DINF_SOL_ITG_PVIOLBARVAR, VLT_DINF_SOL_ITG_PVIOLCONES,
     VLT_DINF_SOL_ITG_PVIOLACC, VLT_DINF_SOL_ITG_PVIOLDJC, VLT_DINF_SOL_ITG_PVIOLITG, -1, -1, -1, -1, -1,
     VLT_DINF_SOL_ITG_NRM_XC, VLT_DINF_SOL_ITG_NRM_XX, VLT_DINF_SOL_ITG_NRM_BARX, -1, -1, -1, -1, -1, -1, -1},
};

}  // namespace

void update_solution_info(Task& task) {
    auto put = [&](int32_t item, double value) {
        if (item >= 0) task.info.d[item] = value;
    };
    for (const SolutionItems& at : kSolutionItems) {
        if (!task.solutions.defined(at.sol)) continue;
        int32_t prosta = 0, solsta = 0;
        task.solutions.statuses(at.sol, &prosta, &solsta, model::solution_sizes(task.problem));
        task.info.i[at.prosta] = prosta;
        task.info.i[at.solsta] = solsta;
        const SolutionFigures f = solution_figures(task, at.sol);
        put(at.primal_obj, f.primal_obj);
        put(at.dual_obj, f.dual_obj);
        put(at.pviolcon, f.pviolcon);
        put(at.pviolvar, f.pviolvar);
        put(at.pviolbarvar, f.pviolbarvar);
        put(at.pviolcones, f.pviolcone);
        put(at.pviolacc, f.pviolacc);
        put(at.pvioldjc, f.pvioldjc);
        put(at.pviolitg, f.pviolitg);
        put(at.dviolcon, f.dviolcon);
        put(at.dviolvar, f.dviolvar);
        put(at.dviolbarvar, f.dviolbarvar);
        put(at.dviolcones, f.dviolcone);
        put(at.dviolacc, f.dviolacc);
        const PrimalNorms primal = primal_norms(task, at.sol);
        put(at.nrm_xc, primal.xc);
        put(at.nrm_xx, primal.xx);
        put(at.nrm_barx, primal.barx);
        const DualNorms dual = dual_norms(task, at.sol);
        put(at.nrm_y, dual.y);
        put(at.nrm_slc, dual.slc);
        put(at.nrm_suc, dual.suc);
        put(at.nrm_slx, dual.slx);
        put(at.nrm_sux, dual.sux);
        put(at.nrm_snx, dual.snx);
        put(at.nrm_bars, dual.bars);
    }
}

}  // namespace vlt::solve
