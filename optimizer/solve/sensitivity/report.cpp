#include "solve/sensitivity/report.hpp"

#include <cmath>
#include <cstdio>

#include "solve/sensitivity/sensitivity.hpp"

namespace vlt::solve {
namespace {

std::string line(const char* kind, int32_t index, const std::string& name, const char* what, double value,
                 const SensitivityResult& r) {
    char text[320];
    std::snprintf(text, sizeof text, "  %-4s %7d %-16.16s %-5s %13.6g %13.6g %13.6g %13.6g %13.6g\n", kind, index,
                  name.c_str(), what, value, r.left_range, r.right_range, r.left_price, r.right_price);
    return text;
}

const char* const kHeader =
    "  kind   index name             which         value    left range   right range    left price   right price\n";

}  // namespace

std::string sensitivity_report(const model::Problem& problem, const model::Solution& basic) {
    const Sensitivity analysis(problem, basic);
    const int32_t m = problem.num_con();
    std::string text =
        "Sensitivity report (basis type; ranges are changes of the value over which the basis stays optimal, "
        "prices the slopes of the optimal objective left and right of the value)\n";
    text += "Bounds\n";
    text += kHeader;
    for (int32_t t = 0; t < m + problem.num_var(); ++t) {
        const bool con = t < m;
        const int32_t index = con ? t : t - m;
        const model::BoundSet& bounds = problem.bounds(con ? model::Item::Con : model::Item::Var);
        const std::string& name = con ? problem.names().con.get(index) : problem.names().var.get(index);
        const double lower = bounds.lower(index), upper = bounds.upper(index);
        const char* kind = con ? "con" : "var";
        if (lower == upper) {
            text += line(kind, index, name, "fixed", lower, analysis.bound(t, VLT_MARK_LO));
            continue;
        }
        if (std::isfinite(lower)) text += line(kind, index, name, "lower", lower, analysis.bound(t, VLT_MARK_LO));
        if (std::isfinite(upper)) text += line(kind, index, name, "upper", upper, analysis.bound(t, VLT_MARK_UP));
    }
    text += "Objective coefficients\n";
    text += kHeader;
    for (int32_t j = 0; j < problem.num_var(); ++j)
        text += line("var", j, problem.names().var.get(j), "cost", problem.c()[size_t(j)], analysis.coefficient(j));
    return text;
}

}  // namespace vlt::solve
