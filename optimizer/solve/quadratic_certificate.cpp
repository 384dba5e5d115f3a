#include "solve/quadratic_certificate.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace vlt::solve {

double bound_terms(const model::ProblemData& d, const EngineResult& r) {
    double sum = 0.0;
    for (size_t i = 0; i < size_t(d.numcon); ++i) {
        if (has_lower(d.bkc[i])) sum += d.blc[i] * r.slc[i];
        if (has_upper(d.bkc[i])) sum -= d.buc[i] * r.suc[i];
    }
    for (size_t j = 0; j < size_t(d.numvar); ++j) {
        if (has_lower(d.bkx[j])) sum += d.blx[j] * r.slx[j];
        if (has_upper(d.bkx[j])) sum -= d.bux[j] * r.sux[j];
    }
    return sum;
}

namespace {

// Replaces every quadratic row a'z + 0.5 z'Qz by its tangent at x,
// (a + Qx)'z - 0.5 x'Qx, the constant moved to the bounds; returns
// 0.5 x'Q_i x of every row (0 for a linear one).
std::vector<double> linearize_rows(model::ProblemData& d, const std::vector<double>& x) {
    std::vector<double> half(size_t(d.numcon), 0.0);
    if (d.qcval.empty()) return half;
    // The column entries of A and of the rows' gradients Q_i x, merged.
    std::vector<std::vector<std::pair<int32_t, double>>> columns(size_t(d.numvar));
    for (size_t j = 0; j < columns.size(); ++j)
        for (int64_t k = d.aptr[j]; k < d.aptr[j + 1]; ++k) columns[j].push_back({d.asub[size_t(k)], d.aval[size_t(k)]});
    for (size_t t = 0; t < d.qcval.size(); ++t) {
        const int32_t row = d.qcsubk[t];
        const size_t i = size_t(d.qcsubi[t]), j = size_t(d.qcsubj[t]);
        const double q = d.qcval[t];
        half[size_t(row)] += (i == j ? 0.5 : 1.0) * q * x[i] * x[j];
        columns[i].push_back({row, q * x[j]});
        if (i != j) columns[j].push_back({row, q * x[i]});
    }
    d.aptr.assign(1, 0);
    d.asub.clear();
    d.aval.clear();
    for (auto& entries : columns) {
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [row, value] : entries) {
            if (!d.asub.empty() && int64_t(d.asub.size()) > d.aptr.back() && d.asub.back() == row)
                d.aval.back() += value;
            else
                d.asub.push_back(row), d.aval.push_back(value);
        }
        d.aptr.push_back(int64_t(d.asub.size()));
    }
    for (size_t i = 0; i < half.size(); ++i) {
        d.blc[i] += half[i];
        d.buc[i] += half[i];
    }
    d.qcsubk.clear(), d.qcsubi.clear(), d.qcsubj.clear(), d.qcval.clear();
    return half;
}

}  // namespace

void certify_quadratic(const model::ProblemData& data, EngineResult& r, double relative_gap, const Engine& lp,
                       const std::function<void(const std::string&)>& log) {
    model::ProblemData linear = data;
    const std::vector<double> half = linearize_rows(linear, r.x);
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
    // directions in which g vanishes (up to rounding).  A box around x on
    // the sides without a bound keeps it bounded; for a convex problem,
    // being optimal within a neighbourhood is being optimal.
    std::vector<char> boxed_lower(size_t(data.numvar), 0), boxed_upper(size_t(data.numvar), 0);
    for (size_t j = 0; j < size_t(data.numvar); ++j) {
        const int32_t bk = linear.bkx[j];
        const bool lower = has_lower(bk), upper = has_upper(bk);
        const double radius = 1.0 + std::fabs(r.x[j]);
        if (!lower) linear.blx[j] = r.x[j] - radius, boxed_lower[j] = 1;
        if (!upper) linear.bux[j] = r.x[j] + radius, boxed_upper[j] = 1;
        if (!lower || !upper) linear.bkx[j] = VLT_BK_RA;
    }
    EngineResult answer = lp(linear, {}, {});
    if (answer.status != EngineStatus::optimal || !answer.has_dual) {
        log(std::string("The linearization of the quadratic problem could not be solved (") + to_string(answer.status) +
            "); the duals of the quadratic solver are kept.\n");
        return;
    }
    const double sign = data.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    const double excess = sign * (gx - answer.primal_objective);
    if (excess > relative_gap * std::max(1.0, std::fabs(r.primal_objective))) {
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
        if (boxed_lower[j]) answer.slx[j] = 0.0;
        if (boxed_upper[j]) answer.sux[j] = 0.0;
    }
    r.y = std::move(answer.y);
    r.slc = std::move(answer.slc);
    r.suc = std::move(answer.suc);
    r.slx = std::move(answer.slx);
    r.sux = std::move(answer.sux);
    r.has_dual = r.dual_feasible = true;
    // The Lagrangian's quadratic part: -0.5 x'(Q_0 - sum_i y_i Q_i)x.
    r.dual_objective = data.cfix + bound_terms(data, r) - 0.5 * xqx;
    for (size_t i = 0; i < half.size(); ++i) r.dual_objective += r.y[i] * half[i];
}

}  // namespace vlt::solve
