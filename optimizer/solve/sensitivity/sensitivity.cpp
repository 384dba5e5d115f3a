#include "solve/sensitivity/sensitivity.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/error.hpp"

namespace vlt::solve {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPivotTolerance = 1e-9;  // smaller tableau entries count as zero
constexpr double kDualTolerance = 1e-9;   // smaller reduced costs count as zero

double primal_tolerance(double bound) { return 1e-9 * (1.0 + std::fabs(bound)); }

// Room between a value and a bound, with a near-zero room as none.
double room(double value, double bound, bool below) {
    if (!std::isfinite(bound)) return kInf;
    const double r = below ? value - bound : bound - value;
    return r <= primal_tolerance(bound) ? 0.0 : r;
}

bool tied_to(Place place, bool lower_side) {
    return place == Place::fixed || (place == Place::lower && lower_side) || (place == Place::upper && !lower_side);
}

int iteration_limit(const BasisState& s) { return 100 + 4 * s.num_items(); }

// The parametric steps choose the item whose infeasibility grows fastest
// with the change; after this many steps, the smallest index instead
// (Bland's rule), which cannot cycle.
constexpr int kGreedySteps = 50;

// Whether a candidate (its index and rate) beats the best so far.
bool better(int iteration, int32_t index, double rate, int32_t best_index, double best_rate) {
    if (best_index < 0) return true;
    if (iteration >= kGreedySteps) return index < best_index;
    return rate > best_rate || (rate == best_rate && index < best_index);
}

// The result without negative zeros (a maximized problem's prices are negated).
SensitivityResult tidy(SensitivityResult r) {
    for (double* v : {&r.left_price, &r.right_price, &r.left_range, &r.right_range})
        if (*v == 0.0) *v = 0.0;
    return r;
}

}  // namespace

namespace {

// The basis of the basic solution, once the analysis is known to apply.
BasisState checked_basis(const model::Problem& problem, const model::Solution& basic) {
    if (problem.problem_type() != VLT_PROBTYPE_LO)
        fail(VLT_RES_ERR_PROBLEM_TYPE, "Sensitivity analysis needs a linear problem: this one has quadratic or conic parts");
    if (basic.solsta != VLT_SOL_STA_OPTIMAL)
        fail(VLT_RES_ERR_BASIS, "Sensitivity analysis needs an optimal basic solution; the basic solution is not optimal");
    return BasisState(problem, basic);
}

}  // namespace

Sensitivity::Sensitivity(const model::Problem& problem, const model::Solution& basic)
    : state_(checked_basis(problem, basic)),
      sense_(problem.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0) {}

SensitivityResult Sensitivity::bound(int32_t t, int32_t mark) const {
    const BasisState& s = state_;
    const bool lower_side = mark == VLT_MARK_LO;
    const double lower = s.lower(t), upper = s.upper(t);
    SensitivityResult r;
    if (!std::isfinite(lower_side ? lower : upper)) {
        r.left_range = -kInf;
        r.right_range = kInf;
        return r;
    }
    const bool fixed = lower == upper;
    double lo = -kInf, hi = kInf, price = 0.0;
    if (s.place(t) != Place::basic && tied_to(s.place(t), lower_side)) {
        // The item follows its bound: z_B(beta) = z_B - beta B^-1 a_t.
        const std::vector<double> w = s.ftran(t);
        for (int32_t p = 0; p < s.num_con(); ++p) {
            const double a = w[size_t(p)];
            if (std::fabs(a) <= kPivotTolerance) continue;
            const int32_t k = s.basic_item(p);
            const double down = room(s.value(k), s.lower(k), true), up = room(s.value(k), s.upper(k), false);
            if (a > 0) hi = std::min(hi, down / a), lo = std::max(lo, -up / a);
            else hi = std::min(hi, up / -a), lo = std::max(lo, -down / -a);
        }
        if (!fixed) {
            if (lower_side) hi = std::min(hi, upper - lower);
            else lo = std::max(lo, lower - upper);
        }
        price = s.reduced_cost(t);
    } else if (s.place(t) == Place::basic && fixed) {
        lo = hi = 0.0;
    } else if (lower_side) {
        hi = room(s.value(t), lower, true);
    } else {
        lo = -room(s.value(t), upper, false);
    }
    r.left_range = lo;
    r.right_range = hi;
    r.left_price = sense_ * (lo < 0 ? price : neighbour_bound_price(t, mark, -1.0));
    r.right_price = sense_ * (hi > 0 ? price : neighbour_bound_price(t, mark, 1.0));
    return tidy(r);
}

double Sensitivity::neighbour_bound_price(int32_t t, int32_t mark, double delta) const {
    const bool lower_side = mark == VLT_MARK_LO;
    BasisState s = state_;
    const bool fixed = s.lower(t) == s.upper(t);
    for (int iteration = 0; iteration < iteration_limit(s); ++iteration) {
        const bool tied = s.place(t) != Place::basic && tied_to(s.place(t), lower_side);
        // How the basic values and their bounds move with the bound.
        std::vector<double> moves(size_t(s.num_con()), 0.0);
        if (tied) {
            moves = s.ftran(t);
            for (double& v : moves) v *= -delta;
        }
        // The basic item that leaves its bounds.
        int32_t leave_at = -1;
        bool to_lower = false;
        double fastest = 0.0;
        for (int32_t p = 0; p < s.num_con(); ++p) {
            const int32_t k = s.basic_item(p);
            const double lower_move = k == t && (lower_side || fixed) ? delta : 0.0;
            const double upper_move = k == t && (!lower_side || fixed) ? delta : 0.0;
            const double below = room(s.value(k), s.lower(k), true) == 0.0 ? lower_move - moves[size_t(p)] : 0.0;
            const double above = room(s.value(k), s.upper(k), false) == 0.0 ? moves[size_t(p)] - upper_move : 0.0;
            const double rate = std::max(below, above);
            if (rate <= kPivotTolerance) continue;
            if (better(iteration, k, rate, leave_at < 0 ? -1 : s.basic_item(leave_at), fastest))
                leave_at = p, to_lower = below >= above, fastest = rate;
        }
        if (leave_at < 0) return tied ? s.reduced_cost(t) : 0.0;
        // Dual ratio test: the entering item keeps every reduced cost feasible.
        const std::vector<double> row = s.tableau_row(leave_at);
        const double direction = to_lower ? -1.0 : 1.0;
        int32_t enter = -1;
        double best = kInf;
        for (int32_t x = 0; x < s.num_items(); ++x) {
            const Place place = s.place(x);
            if (place == Place::basic || place == Place::fixed) continue;
            const double e = direction * row[size_t(x)], d = s.reduced_cost(x);
            double ratio;
            if (place == Place::lower && e > kPivotTolerance) ratio = std::max(d, 0.0) / e;
            else if (place == Place::upper && e < -kPivotTolerance) ratio = std::max(-d, 0.0) / -e;
            else if (place == Place::free && std::fabs(e) > kPivotTolerance) ratio = std::fabs(d) / std::fabs(e);
            else continue;
            if (ratio < best || (ratio == best && enter >= 0 && std::fabs(row[size_t(x)]) > std::fabs(row[size_t(enter)]))) {
                best = ratio;
                enter = x;
            }
        }
        if (enter < 0) return delta * kInf;  // no basis is feasible beyond: the problem turns infeasible
        const int32_t leaving = s.basic_item(leave_at);
        const Place rest = s.lower(leaving) == s.upper(leaving) ? Place::fixed : to_lower ? Place::lower : Place::upper;
        s.pivot(leave_at, enter, rest);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

SensitivityResult Sensitivity::coefficient(int32_t j) const {
    const BasisState& s = state_;
    const int32_t t = s.num_con() + j;
    double lo = -kInf, hi = kInf;
    const double d = std::fabs(s.reduced_cost(t)) <= kDualTolerance ? 0.0 : s.reduced_cost(t);
    switch (s.place(t)) {
        case Place::lower: lo = std::min(0.0, -d); break;
        case Place::upper: hi = std::max(0.0, -d); break;
        case Place::free: lo = hi = 0.0; break;
        case Place::fixed: break;
        case Place::basic: {
            // d_x(gamma) = d_x - gamma alpha_rx must keep its sign.
            const std::vector<double> row = s.tableau_row(s.position(t));
            for (int32_t x = 0; x < s.num_items(); ++x) {
                const Place place = s.place(x);
                const double a = row[size_t(x)];
                if (place == Place::basic || place == Place::fixed || std::fabs(a) <= kPivotTolerance) continue;
                const double dx = std::fabs(s.reduced_cost(x)) <= kDualTolerance ? 0.0 : s.reduced_cost(x);
                if (place == Place::free) {
                    lo = hi = 0.0;
                } else if (place == Place::lower) {
                    if (a > 0) hi = std::min(hi, std::max(dx, 0.0) / a);
                    else lo = std::max(lo, -std::max(dx, 0.0) / -a);
                } else {
                    if (a > 0) lo = std::max(lo, std::min(dx, 0.0) / a);
                    else hi = std::min(hi, std::min(dx, 0.0) / a);
                }
            }
            break;
        }
    }
    // In minimization form; a maximized problem's coefficient moves the other way.
    const double value = s.value(t);
    auto price = [&](bool inside, double delta) {
        if (inside) return value;
        bool unbounded = false;
        const double z = neighbour_coefficient_price(j, delta, unbounded);
        return unbounded ? -delta * kInf : z;
    };
    SensitivityResult r;
    if (sense_ > 0) {
        r.left_range = lo, r.right_range = hi;
        r.left_price = price(lo < 0, -1.0);
        r.right_price = price(hi > 0, 1.0);
    } else {
        r.left_range = -hi, r.right_range = -lo;
        r.left_price = price(hi > 0, 1.0);
        r.right_price = price(lo < 0, -1.0);
    }
    return tidy(r);
}

double Sensitivity::neighbour_coefficient_price(int32_t j, double delta, bool& unbounded) const {
    BasisState s = state_;
    const int32_t t = s.num_con() + j;
    for (int iteration = 0; iteration < iteration_limit(s); ++iteration) {
        // How the reduced costs move with the cost of t.
        std::vector<double> moves(size_t(s.num_items()), 0.0);
        if (s.place(t) == Place::basic) {
            moves = s.tableau_row(s.position(t));
            for (double& v : moves) v *= -delta;
        } else {
            moves[size_t(t)] = delta;
        }
        // The nonbasic item whose reduced cost turns wrong.
        int32_t enter = -1;
        double step = 0.0, fastest = 0.0;
        for (int32_t x = 0; x < s.num_items(); ++x) {
            const Place place = s.place(x);
            const double d = s.reduced_cost(x), m = moves[size_t(x)];
            double direction = 0.0;
            if (place == Place::lower && d <= kDualTolerance && m < -kPivotTolerance) direction = 1.0;
            else if (place == Place::upper && d >= -kDualTolerance && m > kPivotTolerance) direction = -1.0;
            else if (place == Place::free && std::fabs(d) <= kDualTolerance && std::fabs(m) > kPivotTolerance)
                direction = m < 0 ? 1.0 : -1.0;
            if (direction != 0.0 && better(iteration, x, std::fabs(m), enter, fastest))
                enter = x, step = direction, fastest = std::fabs(m);
        }
        if (enter < 0) return s.value(t);
        // Primal ratio test along the entering item's direction.
        const std::vector<double> w = s.ftran(enter);
        double best = step > 0 ? s.upper(enter) - s.value(enter) : s.value(enter) - s.lower(enter);
        int32_t leave_at = -1;
        bool to_lower = false;
        for (int32_t p = 0; p < s.num_con(); ++p) {
            const double a = step * w[size_t(p)];
            const int32_t k = s.basic_item(p);
            double ratio;
            bool lower_hit;
            if (a > kPivotTolerance && std::isfinite(s.lower(k))) ratio = room(s.value(k), s.lower(k), true) / a, lower_hit = true;
            else if (a < -kPivotTolerance && std::isfinite(s.upper(k))) ratio = room(s.value(k), s.upper(k), false) / -a, lower_hit = false;
            else continue;
            if (ratio < best || (ratio == best && leave_at >= 0 && k < s.basic_item(leave_at))) {
                best = ratio;
                leave_at = p;
                to_lower = lower_hit;
            }
        }
        if (!std::isfinite(best)) {
            unbounded = true;
            return 0.0;
        }
        if (leave_at < 0) {
            s.move_nonbasic(enter, step > 0 ? Place::upper : Place::lower);
            continue;
        }
        const int32_t leaving = s.basic_item(leave_at);
        const Place rest = s.lower(leaving) == s.upper(leaving) ? Place::fixed : to_lower ? Place::lower : Place::upper;
        s.pivot(leave_at, enter, rest, &w);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace vlt::solve
