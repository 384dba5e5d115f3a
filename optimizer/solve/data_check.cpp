#include "solve/data_check.hpp"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/codes.hpp"
#include "base/error.hpp"
#include "core/task.hpp"
#include "model/bounds.hpp"

namespace vlt::solve {
namespace {

#define VLT_TOL(name) VLT_DPAR_##name, #name

// One kind of coefficient: what its items are called, the tolerance above
// which one is refused and the one above which it gives a warning.
struct CoefficientKind {
    const char* plural;
    int32_t huge;
    const char* huge_name;
    int32_t large;
    const char* large_name;
    int32_t warning;
};

constexpr CoefficientKind kMatrix{"constraint matrix entries", VLT_TOL(DATA_TOL_AIJ_HUGE),
                                  VLT_TOL(DATA_TOL_AIJ_LARGE), VLT_RES_WRN_LARGE_AIJ};
constexpr CoefficientKind kObjective{"objective coefficients", VLT_TOL(DATA_TOL_C_HUGE), VLT_TOL(DATA_TOL_CJ_LARGE),
                                     VLT_RES_WRN_LARGE_AIJ};
constexpr CoefficientKind kQuadraticObjective{"quadratic objective entries", VLT_TOL(DATA_TOL_C_HUGE),
                                              VLT_TOL(DATA_TOL_CJ_LARGE), VLT_RES_WRN_LARGE_AIJ};
constexpr CoefficientKind kQuadraticConstraint{"quadratic constraint entries", VLT_TOL(DATA_TOL_AIJ_HUGE),
                                               VLT_TOL(DATA_TOL_AIJ_LARGE), VLT_RES_WRN_LARGE_AIJ};
constexpr CoefficientKind kConic{"affine conic constraint entries", VLT_TOL(DATA_TOL_AIJ_HUGE),
                                 VLT_TOL(DATA_TOL_AIJ_LARGE), VLT_RES_WRN_LARGE_AIJ};
// The constants g of the affine conic constraints play the part of bounds.
constexpr CoefficientKind kConicConstant{"affine conic constants", VLT_TOL(DATA_TOL_BOUND_INF),
                                         VLT_TOL(DATA_TOL_BOUND_WRN), VLT_RES_WRN_LARGE_BOUND};
constexpr CoefficientKind kSemidefinite{"semidefinite matrix entries", VLT_TOL(DATA_SYM_MAT_TOL_HUGE),
                                        VLT_TOL(DATA_SYM_MAT_TOL_LARGE), VLT_RES_WRN_LARGE_AIJ};
constexpr CoefficientKind kBound{"bounds", VLT_TOL(DATA_TOL_BOUND_INF), VLT_TOL(DATA_TOL_BOUND_WRN),
                                 VLT_RES_WRN_LARGE_BOUND};

#undef VLT_TOL

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

std::string at(const char* what, int64_t index) { return std::string(what) + " " + std::to_string(index); }

// The values of one kind, looked at one by one: the first above the huge
// tolerance is refused; those above the large one are counted and the
// largest is remembered for the warning.  The label of an item is made only
// when it is refused or the largest so far.
class Scan {
public:
    Scan(const params::ParamValues& par, const CoefficientKind& kind)
        : kind_(kind), huge_(par.get_dou(kind.huge)), large_(par.get_dou(kind.large)) {}

    template <class Label>
    void look(double value, Label&& label) {
        const double size = std::fabs(value);
        if (!(size > large_ || size > huge_)) return;
        if (size > huge_) refuse(value, label());
        ++count_;
        if (size > largest_) {
            largest_ = size;
            largest_value_ = value;
            largest_label_ = label();
        }
    }

    void warn(Task* task) const {
        if (!task || count_ == 0) return;
        std::string text = "The " + largest_label_ + " = " + number(largest_value_) + " exceeds " +
                           kind_.large_name + " (" + number(large_) + ")";
        if (count_ > 1) text += "; " + std::to_string(count_) + " " + kind_.plural + " do";
        task->streams.emit(VLT_STREAM_WRN, format_warning(kind_.warning, text));
    }

private:
    [[noreturn]] void refuse(double value, const std::string& label) const {
        fail(VLT_RES_ERR_INF_VALUE, "The " + label + " = " + number(value) + " exceeds " + kind_.huge_name + " (" +
                                        number(huge_) + ")");
    }

    const CoefficientKind& kind_;
    const double huge_, large_;
    int64_t count_ = 0;
    double largest_ = 0.0, largest_value_ = 0.0;
    std::string largest_label_;
};

// Keeps the entries k of parallel arrays for which keep(k) holds.
template <class Keep, class... Arrays>
void keep_entries(size_t size, Keep&& keep, Arrays&... arrays) {
    size_t w = 0;
    for (size_t k = 0; k < size; ++k)
        if (keep(k)) {
            ((arrays[w] = arrays[k]), ...);
            ++w;
        }
    (arrays.resize(w), ...);
}

void look_at_objective(Scan& scan, const std::vector<double>& c, double cfix) {
    for (size_t j = 0; j < c.size(); ++j)
        scan.look(c[j], [&] { return "objective coefficient of " + at("variable", int64_t(j)); });
    scan.look(cfix, [] { return std::string("objective constant"); });
}

// Warnings about the finite sides of a range.
void look_at_bounds(Scan& scan, const Range& range, const char* item, int64_t i) {
    if (range.lower > -INFINITY) scan.look(range.lower, [&] { return "lower bound of " + at(item, i); });
    if (range.upper < INFINITY && range.upper != range.lower)
        scan.look(range.upper, [&] { return "upper bound of " + at(item, i); });
}

class Screening {
public:
    Screening(const params::ParamValues& par, Task* task) : par_(par), task_(task) {}

    void run(model::ProblemData& d) {
        bounds(d.bkc, d.blc, d.buc, "constraint", false);
        bounds(d.bkx, d.blx, d.bux, "variable", true);
        matrix(d);
        objective(d);
        quadratic(d);
        conic(d);
        semidefinite(d);
    }

private:
    void bounds(std::vector<int32_t>& key, std::vector<double>& lower, std::vector<double>& upper, const char* item,
                bool variables) {
        const BoundRule rule(par_);
        Scan scan(par_, kBound);
        for (size_t i = 0; i < key.size(); ++i) {
            const Range range = rule.apply(key[i], lower[i], upper[i], item, int64_t(i), variables);
            look_at_bounds(scan, range, item, int64_t(i));
            key[i] = range.key();
            if (range.lower > -INFINITY) lower[i] = range.lower;
            if (range.upper < INFINITY) upper[i] = range.upper;
        }
        scan.warn(task_);
    }

    void matrix(const model::ProblemData& d) {
        Scan scan(par_, kMatrix);
        for (int64_t j = 0; j < d.numvar; ++j)
            for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
                scan.look(d.aval[size_t(p)], [&] {
                    return "constraint matrix entry (row " + std::to_string(d.asub[size_t(p)]) + ", column " +
                           std::to_string(j) + ")";
                });
        scan.warn(task_);
    }

    void objective(const model::ProblemData& d) {
        Scan scan(par_, kObjective);
        look_at_objective(scan, d.c, d.cfix);
        scan.warn(task_);
    }

    // Entries below DATA_TOL_QIJ are dropped.
    void quadratic(model::ProblemData& d) {
        const double tiny = par_.get_dou(VLT_DPAR_DATA_TOL_QIJ);
        auto entry = [](int32_t i, int32_t j) {
            return "(" + std::to_string(i) + ", " + std::to_string(j) + ")";
        };
        Scan objective(par_, kQuadraticObjective);
        for (size_t k = 0; k < d.qoval.size(); ++k)
            objective.look(d.qoval[k], [&] { return "quadratic objective entry " + entry(d.qosubi[k], d.qosubj[k]); });
        objective.warn(task_);
        Scan constraint(par_, kQuadraticConstraint);
        for (size_t k = 0; k < d.qcval.size(); ++k)
            constraint.look(d.qcval[k], [&] {
                return "quadratic entry " + entry(d.qcsubi[k], d.qcsubj[k]) + " of " + at("constraint", d.qcsubk[k]);
            });
        constraint.warn(task_);
        auto kept = [tiny](const std::vector<double>& val) {
            return [&val, tiny](size_t k) { return std::fabs(val[k]) >= tiny; };
        };
        keep_entries(d.qoval.size(), kept(d.qoval), d.qosubi, d.qosubj, d.qoval);
        keep_entries(d.qcval.size(), kept(d.qcval), d.qcsubk, d.qcsubi, d.qcsubj, d.qcval);
    }

    // The rows of the affine conic constraints (after those of the cones on
    // variables, which are single unit entries), counted from the first
    // affine conic constraint.
    void conic(const model::ProblemData& d) {
        Scan entries(par_, kConic), constants(par_, kConicConstant);
        for (int64_t r = d.var_cone_rows; r < d.num_conic_rows(); ++r) {
            const int64_t row = r - d.var_cone_rows;
            for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
                entries.look(d.fval[size_t(p)], [&] {
                    return "affine conic constraint entry (row " + std::to_string(row) + ", column " +
                           std::to_string(d.fsub[size_t(p)]) + ")";
                });
            constants.look(d.g[size_t(r)], [&] { return "affine conic constant of " + at("row", row); });
        }
        entries.warn(task_);
        constants.warn(task_);
    }

    // Entries below DATA_SYM_MAT_TOL are dropped.
    void semidefinite(model::ProblemData& d) {
        const double tiny = par_.get_dou(VLT_DPAR_DATA_SYM_MAT_TOL);
        Scan scan(par_, kSemidefinite);
        auto terms = [&](model::ProblemData::SymTerms& t, const char* where, int64_t row0) {
            for (size_t k = 0; k < t.size(); ++k)
                scan.look(t.val[k], [&] {
                    std::string text = "entry (" + std::to_string(t.k[k]) + ", " + std::to_string(t.l[k]) +
                                       ") of the matrix of semidefinite variable " + std::to_string(t.j[k]);
                    return where ? text + " in " + at(where, t.row[k] - row0) : text + " in the objective";
                });
            keep_entries(t.size(), [&](size_t k) { return std::fabs(t.val[k]) >= tiny; }, t.row, t.j, t.k, t.l, t.val);
        };
        terms(d.barc, nullptr, 0);
        terms(d.bara, "constraint", 0);
        terms(d.barf, "affine conic row", d.var_cone_rows);
        scan.warn(task_);
    }

    const params::ParamValues& par_;
    Task* task_;  // null: no warnings
};

}  // namespace

int32_t Range::key() const {
    if (lower == upper) return VLT_BK_FX;
    const bool lo = lower > -INFINITY, up = upper < INFINITY;
    return lo ? (up ? VLT_BK_RA : VLT_BK_LO) : (up ? VLT_BK_UP : VLT_BK_FR);
}

BoundRule::BoundRule(const params::ParamValues& params)
    : infinite_(params.get_dou(VLT_DPAR_DATA_TOL_BOUND_INF)), fixed_(params.get_dou(VLT_DPAR_DATA_TOL_X)) {}

Range BoundRule::apply(int32_t bk, double lower, double upper, const char* item, int64_t index, bool variable) const {
    if (bk == VLT_BK_FX) upper = lower;
    const bool lo = model::has_lower(bk), up = model::has_upper(bk);
    if ((lo && lower >= infinite_) || (up && upper <= -infinite_)) {
        const bool low_side = lo && lower >= infinite_;
        fail(VLT_RES_ERR_INVALID_BOUND, std::string("The ") + (low_side ? "lower" : "upper") + " bound of " +
                                            at(item, index) + " = " + number(low_side ? lower : upper) +
                                            " is at or beyond DATA_TOL_BOUND_INF (" + number(infinite_) +
                                            "), which makes it infinite: it cannot be met");
    }
    Range range{lo && lower > -infinite_ ? lower : -INFINITY, up && upper < infinite_ ? upper : INFINITY};
    if (variable && bk != VLT_BK_FX && range.lower > -INFINITY && range.upper < INFINITY &&
        std::fabs(range.upper - range.lower) <= fixed_)
        range.lower = range.upper = 0.5 * (range.lower + range.upper);
    return range;
}

void screen_objective_and_variable_bounds(Task& task) {
    const model::Problem& problem = task.problem;
    Scan objective(task.params, kObjective);
    look_at_objective(objective, problem.c(), problem.cfix());
    const model::BoundSet& bounds = problem.bounds(model::Item::Var);
    const BoundRule rule(task.params);
    Scan scan(task.params, kBound);
    for (int32_t j = 0; j < problem.num_var(); ++j)
        look_at_bounds(scan,
                       rule.apply(bounds.keys()[size_t(j)], bounds.lowers()[size_t(j)], bounds.uppers()[size_t(j)],
                                  "variable", j, true),
                       "variable", j);
    objective.warn(&task);
    scan.warn(&task);
}

void screen_data(Task& task, model::ProblemData& data) { Screening(task.params, &task).run(data); }

void tidy_data(const params::ParamValues& params, model::ProblemData& data) { Screening(params, nullptr).run(data); }

}  // namespace vlt::solve
