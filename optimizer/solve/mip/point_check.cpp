#include "solve/mip/point_check.hpp"

#include <algorithm>
#include <cmath>

#include "solve/mip/disjunctions.hpp"

namespace vlt::solve::mip {

namespace {

using model::has_lower;
using model::has_upper;

double bound_violation(int32_t key, double lower, double upper, double v) {
    double worst = 0.0;
    if (has_lower(key)) worst = std::max(worst, lower - v);
    if (has_upper(key)) worst = std::max(worst, v - upper);
    return worst;
}

// 0.5 x'Qx of a lower triangle given once per pair.
double half_quadratic(int32_t i, int32_t j, double q, const std::vector<double>& x) {
    const double xi = x[static_cast<size_t>(i)], xj = x[static_cast<size_t>(j)];
    return i == j ? 0.5 * q * xi * xi : q * xi * xj;
}

}  // namespace

double objective_value(const model::ProblemData& d, const std::vector<double>& x) {
    double v = d.cfix;
    for (size_t j = 0; j < d.c.size(); ++j) v += d.c[j] * x[j];
    for (size_t k = 0; k < d.qoval.size(); ++k) v += half_quadratic(d.qosubi[k], d.qosubj[k], d.qoval[k], x);
    return v;
}

std::vector<double> row_activities(const model::ProblemData& d, const std::vector<double>& x) {
    std::vector<double> xc(static_cast<size_t>(d.numcon), 0.0);
    if (d.aptr.size() == static_cast<size_t>(d.numvar) + 1)
        for (size_t j = 0; j < static_cast<size_t>(d.numvar); ++j)
            for (int64_t k = d.aptr[j]; k < d.aptr[j + 1]; ++k)
                xc[static_cast<size_t>(d.asub[static_cast<size_t>(k)])] += d.aval[static_cast<size_t>(k)] * x[j];
    for (size_t k = 0; k < d.qcval.size(); ++k)
        xc[static_cast<size_t>(d.qcsubk[k])] += half_quadratic(d.qcsubi[k], d.qcsubj[k], d.qcval[k], x);
    return xc;
}

double max_violation(const model::ProblemData& d, const std::vector<double>& x) {
    double worst = 0.0;
    for (size_t j = 0; j < static_cast<size_t>(d.numvar); ++j)
        worst = std::max(worst, bound_violation(d.bkx[j], d.blx[j], d.bux[j], x[j]));
    const std::vector<double> xc = row_activities(d, x);
    for (size_t i = 0; i < xc.size(); ++i) worst = std::max(worst, bound_violation(d.bkc[i], d.blc[i], d.buc[i], xc[i]));
    const std::vector<Affine> rows = conic_rows(d);
    auto at = rows.begin();
    for (const model::ProblemData::Cone& cone : d.cones) {
        const Disjunction::Block block{cone.domain, std::vector<Affine>(at, at + cone.dim), cone.alpha};
        at += cone.dim;
        worst = std::max(worst, block_violation(block, x));
    }
    return worst;
}

bool feasible_within(const model::ProblemData& d, const std::vector<double>& x, double tolerance) {
    double size = 0.0;
    for (double v : x) size = std::max(size, std::fabs(v));
    for (double v : row_activities(d, x)) size = std::max(size, std::fabs(v));
    // A value that is not finite makes size (and the comparison) fail.
    return std::isfinite(size) && max_violation(d, x) <= tolerance * (1.0 + size);
}

}  // namespace vlt::solve::mip
