#include "solve/basis/basis_state.hpp"

#include <cmath>
#include <utility>

namespace vlt::solve {
namespace {

// Where a nonbasic item with status key sk and stored value x sits.
Place nonbasic_place(int32_t sk, double lower, double upper) {
    if (lower == upper) return Place::fixed;
    const bool has_lower = std::isfinite(lower), has_upper = std::isfinite(upper);
    switch (sk) {
        case VLT_SK_LOW: return has_lower ? Place::lower : Place::free;
        case VLT_SK_UPR: return has_upper ? Place::upper : Place::free;
        case VLT_SK_FIX: return has_lower ? Place::lower : has_upper ? Place::upper : Place::free;
        default: return Place::free;
    }
}

}  // namespace

BasisState::BasisState(const model::Problem& problem, const model::Solution& basic)
    : problem_(problem),
      m_(problem.num_con()),
      factors_(problem, basic_items(problem, basic), -1.0) {
    const int32_t n = problem.num_var(), items = m_ + n;
    const double sense = problem.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    const model::BoundSet& cons = problem.bounds(model::Item::Con);
    const model::BoundSet& vars = problem.bounds(model::Item::Var);
    lower_.resize(size_t(items));
    upper_.resize(size_t(items));
    cost_.assign(size_t(items), 0.0);
    place_.resize(size_t(items));
    free_value_.assign(size_t(items), 0.0);
    for (int32_t t = 0; t < items; ++t) {
        const bool con = t < m_;
        const int32_t k = con ? t : t - m_;
        const model::BoundSet& b = con ? cons : vars;
        lower_[size_t(t)] = b.lower(k);
        upper_[size_t(t)] = b.upper(k);
        if (!con) cost_[size_t(t)] = sense * problem.c()[size_t(k)];
        const int32_t sk = con ? basic.skc[size_t(k)] : basic.skx[size_t(k)];
        place_[size_t(t)] = sk == VLT_SK_BAS ? Place::basic : nonbasic_place(sk, lower_[size_t(t)], upper_[size_t(t)]);
        free_value_[size_t(t)] = basic.values[con ? VLT_SOL_ITEM_XC : VLT_SOL_ITEM_XX][size_t(k)];
    }
    position_.assign(size_t(items), -1);
    for (int32_t r = 0; r < m_; ++r) position_[size_t(factors_.items()[size_t(r)])] = r;
    recompute();
}

double BasisState::resting_value(int32_t t) const {
    switch (place_[size_t(t)]) {
        case Place::lower:
        case Place::fixed: return lower_[size_t(t)];
        case Place::upper: return upper_[size_t(t)];
        default: return free_value_[size_t(t)];
    }
}

void BasisState::recompute() {
    const int32_t items = num_items();
    const model::LineStore& columns = problem_.matrix().lines(model::Axis::Col);
    z_.assign(size_t(items), 0.0);
    // B z_B = -N z_N; the column of constraint i is -e_i.
    std::vector<double> rhs(size_t(m_), 0.0);
    for (int32_t t = 0; t < items; ++t) {
        if (place_[size_t(t)] == Place::basic) continue;
        const double v = z_[size_t(t)] = resting_value(t);
        if (v == 0.0) continue;
        if (t < m_) {
            rhs[size_t(t)] += v;
        } else {
            const int32_t j = t - m_;
            for (int32_t e = 0; e < columns.length(j); ++e) rhs[size_t(columns.index(j)[e])] -= columns.value(j)[e] * v;
        }
    }
    factors_.solve(rhs);
    std::vector<double> pi(static_cast<size_t>(m_));
    for (int32_t r = 0; r < m_; ++r) {
        const int32_t t = factors_.items()[size_t(r)];
        z_[size_t(t)] = rhs[size_t(r)];
        pi[size_t(r)] = cost_[size_t(t)];
    }
    factors_.solve_transposed(pi);
    d_.assign(size_t(items), 0.0);
    for (int32_t t = 0; t < items; ++t) {
        if (place_[size_t(t)] == Place::basic) continue;
        if (t < m_) {
            d_[size_t(t)] = pi[size_t(t)];
        } else {
            const int32_t j = t - m_;
            double dot = 0.0;
            for (int32_t e = 0; e < columns.length(j); ++e) dot += columns.value(j)[e] * pi[size_t(columns.index(j)[e])];
            d_[size_t(t)] = cost_[size_t(t)] - dot;
        }
    }
}

std::vector<double> BasisState::ftran(int32_t t) const {
    std::vector<double> w(size_t(m_), 0.0);
    if (t < m_) {
        w[size_t(t)] = -1.0;
    } else {
        const model::LineStore& columns = problem_.matrix().lines(model::Axis::Col);
        const int32_t j = t - m_;
        for (int32_t e = 0; e < columns.length(j); ++e) w[size_t(columns.index(j)[e])] = columns.value(j)[e];
    }
    factors_.solve(w);
    return w;
}

std::vector<double> BasisState::tableau_row(int32_t r) const {
    std::vector<double> rho(size_t(m_), 0.0);
    rho[size_t(r)] = 1.0;
    factors_.solve_transposed(rho);
    const model::LineStore& columns = problem_.matrix().lines(model::Axis::Col);
    std::vector<double> row(static_cast<size_t>(num_items()));
    for (int32_t i = 0; i < m_; ++i) row[size_t(i)] = -rho[size_t(i)];
    for (int32_t j = 0; j < num_items() - m_; ++j) {
        double dot = 0.0;
        for (int32_t e = 0; e < columns.length(j); ++e) dot += columns.value(j)[e] * rho[size_t(columns.index(j)[e])];
        row[size_t(m_ + j)] = dot;
    }
    return row;
}

void BasisState::pivot(int32_t r, int32_t q, Place leaving, const std::vector<double>* column) {
    const int32_t s = factors_.items()[size_t(r)];
    if (leaving == Place::free) free_value_[size_t(s)] = z_[size_t(s)];
    if (place_[size_t(q)] == Place::free) free_value_[size_t(q)] = z_[size_t(q)];
    factors_.replace(r, q, column ? *column : ftran(q));
    position_[size_t(s)] = -1;
    position_[size_t(q)] = r;
    place_[size_t(s)] = leaving;
    place_[size_t(q)] = Place::basic;
    recompute();
}

void BasisState::move_nonbasic(int32_t t, Place to) {
    place_[size_t(t)] = to;
    recompute();
}

}  // namespace vlt::solve
