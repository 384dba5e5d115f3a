#include "solve/mip/bound_propagation.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "model/bounds.hpp"

namespace vlt::solve::mip {

namespace {

using model::has_lower;
using model::has_upper;
using model::kInf;

constexpr int kMaxPasses = 20;
constexpr double kFeasibilityTolerance = 1e-6;
constexpr double kIntegralityTolerance = 1e-6;

// Rows lower <= a'x <= upper: the matrix rows and the linear conic rows.
struct Rows {
    RowMatrix a;
    std::vector<double> lower, upper;
};

Rows collect_rows(const model::ProblemData& d) {
    Rows r;
    r.a = rows_of(d);
    for (int32_t i = 0; i < d.numcon; ++i) {
        const auto k = static_cast<size_t>(i);
        r.lower.push_back(has_lower(d.bkc[k]) ? d.blc[k] : -kInf);
        r.upper.push_back(has_upper(d.bkc[k]) ? d.buc[k] : kInf);
    }
    int64_t row = 0;
    for (const model::ProblemData::Cone& cone : d.cones) {
        const bool lower = cone.domain == VLT_DOMAIN_RZERO || cone.domain == VLT_DOMAIN_RPLUS;
        const bool upper = cone.domain == VLT_DOMAIN_RZERO || cone.domain == VLT_DOMAIN_RMINUS;
        for (int64_t k = 0; k < cone.dim; ++k, ++row) {
            if (!lower && !upper) continue;
            const auto at = static_cast<size_t>(row);
            for (int64_t e = d.fptr[at]; e < d.fptr[at + 1]; ++e) {
                r.a.col.push_back(d.fsub[static_cast<size_t>(e)]);
                r.a.val.push_back(d.fval[static_cast<size_t>(e)]);
            }
            r.a.ptr.push_back(static_cast<int64_t>(r.a.col.size()));
            r.lower.push_back(lower ? -d.g[at] : -kInf);
            r.upper.push_back(upper ? -d.g[at] : kInf);
        }
    }
    return r;
}

// The least and greatest value of a'x over the box, each with the number
// of its terms that are infinite (the sum then leaves them out).
struct Activity {
    double min = 0.0, max = 0.0;
    int min_infinite = 0, max_infinite = 0;
};

Activity activity(const RowMatrix& a, size_t i, const Box& box) {
    Activity act;
    for (int64_t k = a.ptr[i]; k < a.ptr[i + 1]; ++k) {
        const double v = a.val[static_cast<size_t>(k)];
        const auto j = static_cast<size_t>(a.col[static_cast<size_t>(k)]);
        const double low = v > 0 ? v * box.lower[j] : v * box.upper[j];
        const double high = v > 0 ? v * box.upper[j] : v * box.lower[j];
        if (std::isinf(low)) ++act.min_infinite; else act.min += low;
        if (std::isinf(high)) ++act.max_infinite; else act.max += high;
    }
    return act;
}

// A derived bound, moved outward by a margin against rounding.
double loosen_up(double v) { return v + 1e-9 * (1.0 + std::fabs(v)); }
double loosen_down(double v) { return v - 1e-9 * (1.0 + std::fabs(v)); }

}  // namespace

bool propagate_bounds(const model::ProblemData& d, Box& box) {
    const auto n = static_cast<size_t>(d.numvar);
    box.lower.assign(n, -kInf);
    box.upper.assign(n, kInf);
    std::vector<char> integer(n, 0);
    for (size_t j = 0; j < n; ++j) {
        if (has_lower(d.bkx[j])) box.lower[j] = d.blx[j];
        if (has_upper(d.bkx[j])) box.upper[j] = d.bux[j];
        integer[j] = !d.vartype.empty() && d.vartype[j] == VLT_VAR_TYPE_INT;
        // Semi-continuous variables may also be zero.
        if (!d.semicont.empty() && d.semicont[j]) {
            box.lower[j] = std::min(box.lower[j], 0.0);
            box.upper[j] = std::max(box.upper[j], 0.0);
        }
    }
    const Rows rows = collect_rows(d);
    const size_t m = rows.lower.size();

    for (int pass = 0; pass < kMaxPasses; ++pass) {
        bool improved = false;
        for (size_t i = 0; i < m; ++i) {
            const Activity act = activity(rows.a, i, box);
            if ((act.min_infinite == 0 && act.min > rows.upper[i] + kFeasibilityTolerance * (1 + std::fabs(act.min))) ||
                (act.max_infinite == 0 && act.max < rows.lower[i] - kFeasibilityTolerance * (1 + std::fabs(act.max))))
                return false;
            for (int64_t k = rows.a.ptr[i]; k < rows.a.ptr[i + 1]; ++k) {
                const double v = rows.a.val[static_cast<size_t>(k)];
                const auto j = static_cast<size_t>(rows.a.col[static_cast<size_t>(k)]);
                if (v == 0.0) continue;
                // The activity of the other terms: this term's own part taken out.
                const double own_low = v > 0 ? v * box.lower[j] : v * box.upper[j];
                const double own_high = v > 0 ? v * box.upper[j] : v * box.lower[j];
                double new_lower = -kInf, new_upper = kInf;
                const int others_min_inf = act.min_infinite - (std::isinf(own_low) ? 1 : 0);
                const int others_max_inf = act.max_infinite - (std::isinf(own_high) ? 1 : 0);
                // v x_j <= upper - min(others),  v x_j >= lower - max(others)
                if (std::isfinite(rows.upper[i]) && others_min_inf == 0) {
                    const double rest = act.min - (std::isinf(own_low) ? 0.0 : own_low);
                    const double bound = (rows.upper[i] - rest) / v;
                    if (v > 0) new_upper = bound; else new_lower = bound;
                }
                if (std::isfinite(rows.lower[i]) && others_max_inf == 0) {
                    const double rest = act.max - (std::isinf(own_high) ? 0.0 : own_high);
                    const double bound = (rows.lower[i] - rest) / v;
                    if (v > 0) new_lower = std::max(new_lower, bound); else new_upper = std::min(new_upper, bound);
                }
                if (std::isfinite(new_upper)) {
                    new_upper = loosen_up(new_upper);
                    if (integer[j]) new_upper = std::floor(new_upper + kIntegralityTolerance);
                    const double gain = box.upper[j] - new_upper;
                    if (gain > 1e-6 * (1.0 + std::fabs(new_upper))) {
                        box.upper[j] = new_upper;
                        improved = true;
                    }
                }
                if (std::isfinite(new_lower)) {
                    new_lower = loosen_down(new_lower);
                    if (integer[j]) new_lower = std::ceil(new_lower - kIntegralityTolerance);
                    const double gain = new_lower - box.lower[j];
                    if (gain > 1e-6 * (1.0 + std::fabs(new_lower))) {
                        box.lower[j] = new_lower;
                        improved = true;
                    }
                }
                if (box.lower[j] > box.upper[j] + kFeasibilityTolerance * (1.0 + std::fabs(box.upper[j])))
                    return false;
            }
        }
        if (!improved) break;
    }
    return true;
}

void affine_range(const Affine& f, const Box& box, double& lower, double& upper) {
    lower = upper = f.constant;
    for (size_t k = 0; k < f.col.size(); ++k) {
        const double v = f.val[k];
        const auto j = static_cast<size_t>(f.col[k]);
        if (v == 0.0) continue;
        lower += v > 0 ? v * box.lower[j] : v * box.upper[j];
        upper += v > 0 ? v * box.upper[j] : v * box.lower[j];
    }
}

}  // namespace vlt::solve::mip
