#include "solve/rowless.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace vlt::solve {

bool without_rows(const model::ProblemData& d) {
    return d.numcon == 0 && d.num_conic_rows() == 0 && d.qoval.empty() && d.qcval.empty() && d.barvar_dim.empty();
}

// With s = c_j the reduced cost: minimizing, a positive s puts x_j at its
// lower bound (slx = s) and a negative one at its upper bound (sux = -s);
// maximizing, the other way round with the same formulas (the multipliers
// are then non-positive).  A zero s leaves x_j at the point of its bounds
// nearest to zero.
EngineResult solve_without_rows(const model::ProblemData& d) {
    const auto start = std::chrono::steady_clock::now();
    const double sense = d.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    const size_t n = size_t(d.numvar);
    EngineResult r;
    r.x.assign(n, 0.0);
    r.slx.assign(n, 0.0);
    r.sux.assign(n, 0.0);
    r.column_basis.assign(n, BasisStatus::superbasic);
    double objective = d.cfix;
    for (size_t j = 0; j < n; ++j) {
        const int32_t bk = d.bkx[j];
        const double lower = has_lower(bk) ? d.blx[j] : -INFINITY;
        const double upper = bk == VLT_BK_FX ? d.blx[j] : has_upper(bk) ? d.bux[j] : INFINITY;
        const double s = d.c[j], direction = sense * s;
        double& x = r.x[j];
        if (direction > 0.0) {
            x = lower;
            r.slx[j] = s;
            r.column_basis[j] = BasisStatus::at_lower;
        } else if (direction < 0.0) {
            x = upper;
            r.sux[j] = -s;
            r.column_basis[j] = BasisStatus::at_upper;
        } else {
            x = std::clamp(0.0, lower, upper);
            if (x == lower) r.column_basis[j] = BasisStatus::at_lower;
            else if (x == upper) r.column_basis[j] = BasisStatus::at_upper;
        }
        if (lower == upper) r.column_basis[j] = BasisStatus::fixed;
        if (std::isinf(x)) {
            EngineResult ray;
            ray.status = EngineStatus::dual_infeasible;
            ray.message = "variable " + std::to_string(j) + " improves the objective without bound";
            ray.has_primal_ray = true;
            ray.primal_ray.assign(n, 0.0);
            ray.primal_ray[j] = direction > 0.0 ? -1.0 : 1.0;
            return ray;
        }
        objective += s * x;
    }
    r.status = EngineStatus::optimal;
    r.has_primal = r.has_dual = r.has_basis = true;
    r.primal_feasible = r.dual_feasible = true;
    r.primal_objective = r.dual_objective = objective;
    r.solve_time = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

}  // namespace vlt::solve
