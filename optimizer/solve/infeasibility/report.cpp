#include "solve/infeasibility/report.hpp"

#include <cmath>
#include <cstdio>
#include <vector>

#include "base/error.hpp"

namespace vlt::solve {
namespace {

std::string format_line(const char* kind, int32_t index, const std::string& name, const char* side, double bound,
                        double value) {
    char text[256];
    std::snprintf(text, sizeof text, "    %-4s %8d  %-20.20s %-6s %14.6g %14.6g\n", kind, index, name.c_str(), side,
                  bound, value);
    return text;
}

// The items of one kind (constraints or variables) that a primal
// certificate uses: each side with a non-zero multiplier.
std::string primal_items(const model::Problem& problem, model::Item item, const std::vector<double>& sl,
                         const std::vector<double>& su, int& count, double& combination) {
    const bool con = item == model::Item::Con;
    const model::BoundSet& bounds = problem.bounds(item);
    const model::NameList& names = con ? problem.names().con : problem.names().var;
    std::string text;
    for (int32_t k = 0; k < bounds.size(); ++k) {
        const double lower = sl[size_t(k)], upper = su[size_t(k)];
        if (lower != 0.0) {
            text += format_line(con ? "con" : "var", k, names.get(k), "lower", bounds.lower(k), lower);
            combination += lower * bounds.lower(k);
            ++count;
        }
        if (upper != 0.0) {
            text += format_line(con ? "con" : "var", k, names.get(k), "upper", bounds.upper(k), upper);
            combination -= upper * bounds.upper(k);
            ++count;
        }
    }
    return text;
}

std::string primal_certificate(const model::Problem& problem, const model::Solution& s, int32_t level) {
    const auto& v = s.values;
    int count = 0;
    double combination = 0.0;
    std::string items = primal_items(problem, model::Item::Con, v[VLT_SOL_ITEM_SLC], v[VLT_SOL_ITEM_SUC], count,
                                     combination);
    items += primal_items(problem, model::Item::Var, v[VLT_SOL_ITEM_SLX], v[VLT_SOL_ITEM_SUX], count, combination);
    int conic = 0;
    std::vector<double> constant(size_t(problem.conic().num_acc_rows()));
    problem.conic().stacked_g(problem.affine(), constant.data());
    for (size_t r = 0; r < constant.size(); ++r) combination -= s.doty[r] * constant[r];
    for (double d : s.doty) conic += d != 0.0;
    for (int32_t j = 0; j < problem.num_var(); ++j) conic += v[VLT_SOL_ITEM_SNX][size_t(j)] != 0.0;
    char head[512];
    std::snprintf(head, sizeof head,
                  "Infeasibility report: certificate of primal infeasibility\n"
                  "  The %d constraint and variable bounds below cannot all hold%s: their multipliers combine them\n"
                  "  into 0 %s %.6g, which is false.\n",
                  count, conic ? " together with the conic constraints whose duals are non-zero" : "",
                  problem.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "<=" : ">=", combination);
    std::string text = head;
    if (level > 0 && count > 0) {
        text += "    kind    index  name                 side            bound     multiplier\n";
        text += items;
    }
    if (conic) text += "  Conic rows with non-zero duals: " + std::to_string(conic) + "\n";
    return text;
}

// One line of the dual certificate's lists: an item and one or two values.
std::string direction_line(const char* kind, int32_t index, const std::string& name, double first, double second) {
    char text[256];
    std::snprintf(text, sizeof text, "    %-4s %8d  %-20.20s %14.6g %14.6g\n", kind, index, name.c_str(), first,
                  second);
    return text;
}

std::string dual_certificate(const model::Problem& problem, const model::Solution& s, int32_t level) {
    const auto& xx = s.values[VLT_SOL_ITEM_XX];
    const auto& xc = s.values[VLT_SOL_ITEM_XC];
    double rate = 0.0;
    int moving = 0;
    std::string items, changed;
    for (int32_t j = 0; j < problem.num_var(); ++j) {
        rate += problem.c()[size_t(j)] * xx[size_t(j)];
        if (xx[size_t(j)] == 0.0) continue;
        ++moving;
        items += direction_line("var", j, problem.names().var.get(j), problem.c()[size_t(j)], xx[size_t(j)]);
    }
    for (int32_t i = 0; i < problem.num_con(); ++i)
        if (xc[size_t(i)] != 0.0)
            changed += direction_line("con", i, problem.names().con.get(i), problem.bounds(model::Item::Con).lower(i),
                                      xc[size_t(i)]);
    char head[512];
    std::snprintf(head, sizeof head,
                  "Infeasibility report: certificate of dual infeasibility (an unbounded direction)\n"
                  "  Moving the %d variables below along the direction keeps every constraint satisfied and\n"
                  "  changes the objective by %.6g per unit: the objective is unbounded.\n",
                  moving, rate);
    std::string text = head;
    if (level > 0) {
        text += "    kind    index  name                           cost      direction\n" + items;
        if (!changed.empty())
            text += "  Constraint activities along the direction\n"
                    "    kind    index  name                    lower bound         change\n" +
                    changed;
    }
    return text;
}

}  // namespace

std::string infeasibility_report(const model::Problem& problem, const model::Solution& solution, int32_t level) {
    if (solution.solsta == VLT_SOL_STA_PRIM_INFEAS_CER) return primal_certificate(problem, solution, level);
    if (solution.solsta == VLT_SOL_STA_DUAL_INFEAS_CER) return dual_certificate(problem, solution, level);
    fail(VLT_RES_ERR_INFEAS_UNDEFINED, "The solution holds no certificate of infeasibility (solution status " +
                                           std::to_string(solution.solsta) + ")");
}

}  // namespace vlt::solve
