#include "solve/convexity.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "solve/ipm/linsys/up_looking_ldl.hpp"

namespace vlt::solve {
namespace {

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

}  // namespace

ConvexityVerdict check_convexity(const std::vector<int32_t>& subi, const std::vector<int32_t>& subj,
                                 const std::vector<double>& val, int32_t numvar, double sign,
                                 double relative_tolerance, int32_t level) {
    ConvexityVerdict verdict;
    if (level == VLT_CHECK_CONVEXITY_NONE || val.empty()) return verdict;
    // Local numbering of the variables in Q, and ||Q||_inf.
    std::vector<int64_t> local(size_t(numvar), -1);
    int64_t n = 0;
    for (size_t k = 0; k < val.size(); ++k)
        for (int32_t v : {subi[k], subj[k]})
            if (local[size_t(v)] < 0) local[size_t(v)] = n++;
    std::vector<int64_t> variable(static_cast<size_t>(n));
    for (int32_t j = 0; j < numvar; ++j)
        if (local[size_t(j)] >= 0) variable[size_t(local[size_t(j)])] = j;
    std::vector<double> row_sum(size_t(n), 0.0), diagonal(size_t(n), 0.0);
    // Upper triangle by columns: entry (min, max) of each lower pair.
    std::vector<int64_t> count(size_t(n) + 1, 0);
    for (size_t k = 0; k < val.size(); ++k) {
        const int64_t i = local[size_t(subi[k])], j = local[size_t(subj[k])];
        row_sum[size_t(i)] += std::fabs(val[k]);
        if (i != j) row_sum[size_t(j)] += std::fabs(val[k]);
        else diagonal[size_t(i)] += sign * val[k];
        if (i != j) ++count[size_t(std::max(i, j)) + 1];
    }
    const double scale = *std::max_element(row_sum.begin(), row_sum.end());
    const double shift = relative_tolerance * scale;
    for (int64_t j = 0; j < n; ++j)
        if (diagonal[size_t(j)] < -shift) {
            verdict.convex = false;
            verdict.reason = "variable " + std::to_string(variable[size_t(j)]) + " has diagonal " +
                             number(sign * diagonal[size_t(j)]);
            return verdict;
        }
    if (level == VLT_CHECK_CONVEXITY_SIMPLE) return verdict;

    ipm::UpperCsc q;
    q.n = n;
    q.colptr.assign(size_t(n) + 1, 0);
    for (int64_t j = 0; j < n; ++j) q.colptr[size_t(j) + 1] = q.colptr[size_t(j)] + count[size_t(j) + 1] + 1;
    q.rowind.assign(size_t(q.colptr[size_t(n)]), 0);
    q.values.assign(q.rowind.size(), 0.0);
    std::vector<int64_t> next(q.colptr.begin(), q.colptr.end() - 1);
    for (int64_t j = 0; j < n; ++j) {  // the diagonal first in each column, shifted
        q.rowind[size_t(next[size_t(j)])] = j;
        q.values[size_t(next[size_t(j)]++)] = diagonal[size_t(j)] + shift;
    }
    // Off-diagonal pairs, duplicates summed by a marker per column.
    std::vector<int64_t> where(size_t(n), -1);
    std::vector<std::vector<std::pair<int64_t, double>>> columns(static_cast<size_t>(n));
    for (size_t k = 0; k < val.size(); ++k) {
        const int64_t i = local[size_t(subi[k])], j = local[size_t(subj[k])];
        if (i != j) columns[size_t(std::max(i, j))].emplace_back(std::min(i, j), sign * val[k]);
    }
    for (int64_t j = 0; j < n; ++j) {
        for (const auto& [i, v] : columns[size_t(j)]) {
            if (where[size_t(i)] >= q.colptr[size_t(j)]) {
                q.values[size_t(where[size_t(i)])] += v;
                continue;
            }
            where[size_t(i)] = next[size_t(j)];
            q.rowind[size_t(next[size_t(j)])] = i;
            q.values[size_t(next[size_t(j)]++)] = v;
        }
        // Columns keep the slots of summed duplicates as explicit zeros.
        for (int64_t p = next[size_t(j)]; p < q.colptr[size_t(j) + 1]; ++p) q.rowind[size_t(p)] = -1;
    }
    // Drop the unused slots.
    int64_t w = 0;
    for (int64_t j = 0, start = 0; j < n; ++j) {
        const int64_t end = q.colptr[size_t(j) + 1];
        for (int64_t p = start; p < end; ++p)
            if (q.rowind[size_t(p)] >= 0) q.rowind[size_t(w)] = q.rowind[size_t(p)], q.values[size_t(w++)] = q.values[size_t(p)];
        start = end;
        q.colptr[size_t(j) + 1] = w;
    }
    q.rowind.resize(size_t(w));
    q.values.resize(size_t(w));

    ipm::UpLookingLdl ldl;
    if (!ldl.analyze(q)) {
        verdict.convex = false;
        verdict.reason = "its pattern could not be analysed";
        return verdict;
    }
    const int64_t bad = ldl.factor(q.values, std::vector<int8_t>(size_t(n), 1), 0.0, 1.0);
    if (bad != 0) {
        verdict.convex = false;
        verdict.reason = "an eigenvalue is below -" + number(shift) + ", " + number(relative_tolerance) +
                         " times the size of Q";
    }
    return verdict;
}

std::string nonconvex_objective_message(double sign, const std::string& reason) {
    return std::string("The quadratic objective is not ") + (sign > 0 ? "convex" : "concave") +
           " for the objective sense (" + (sign > 0 ? "minimize" : "maximize") + "): Q is not " +
           (sign > 0 ? "positive" : "negative") + " semidefinite (" + reason + "); the task was left unchanged";
}

}  // namespace vlt::solve
