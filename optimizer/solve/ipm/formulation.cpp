#include "solve/ipm/formulation.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <tuple>

#include "base/error.hpp"
#include "solve/engine.hpp"
#include "solve/quality/cone_distance.hpp"

namespace vlt::solve::ipm {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The range of the scaling factors for data of ordinary magnitudes, and the
// size to which larger data is brought.
constexpr double kScaleLimit = 1e4;
constexpr double kScaledSize = 1e8;

bool all_finite(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

double largest_magnitude(const std::vector<double>& values) {
    double m = 0.0;
    for (double v : values) m = std::max(m, std::fabs(v));
    return m;
}

bool is_linear_domain(int32_t domain) {
    return domain == VLT_DOMAIN_R || domain == VLT_DOMAIN_RZERO || domain == VLT_DOMAIN_RPLUS ||
           domain == VLT_DOMAIN_RMINUS;
}

// The domains of the other cones must have a cone here; their sizes are
// the cone's to check.
void check_cone_domains(const model::ProblemData& d, PresolveOutcome& outcome) {
    for (size_t c = 0; c < d.cones.size(); ++c) {
        const auto& cone = d.cones[c];
        if (is_linear_domain(cone.domain)) continue;
        if (!has_cone(cone.domain)) {
            outcome.kind = PresolveOutcome::Kind::error;
            outcome.error_code = VLT_RES_ERR_NOT_IMPLEMENTED;
            outcome.message = "the interior-point optimizer has no cone of the domain of cone " + std::to_string(c);
            return;
        }
        std::string wrong = check_cone(cone.domain, cone.dim, cone.alpha);
        if (!wrong.empty()) fail(VLT_RES_ERR_DIMENSION, "cone " + std::to_string(c) + ": " + wrong);
    }
}

// One linear row of the combined [A; conic rows of linear domains] system.
struct LinRow {
    std::vector<std::pair<int32_t, double>> entries;  // original column, value
    double lo = -kInf, up = kInf;
    bool is_conic = false;
    int64_t index = 0;  // original row or conic row
};

// One row of G: entries over the internal columns, and its h.
struct GRow {
    std::vector<std::pair<int64_t, double>> entries;
    double h = 0.0;
};

// The stages of the formulation, each filling what the next one reads.
// A stage that decides the problem (infeasible, unbounded) says so in the
// outcome and returns false.
class Formulation {
public:
    Formulation(const model::ProblemData& d, ConicForm& f, Recovery& rec, PresolveOutcome& outcome)
        : d_(d), f_(f), rec_(rec), outcome_(outcome), sense_(d.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0) {}

    void run() {
        rec_.sense = sense_;
        collect_quadratic_objective();
        collect_linear_rows();
        if (!bounds_in_order() || !choose_columns() || !classify_rows()) return;
        objective_of_kept_columns();
        collect_cone_rows();
        stack_rows_and_columns();
        equilibrate();
        scale_objective();
        if (!scaled_data_finite()) {
            outcome_.kind = PresolveOutcome::Kind::error;
            outcome_.error_code = VLT_RES_ERR_INF_VALUE;
            outcome_.message =
                "the magnitudes of the problem's data span more than the interior-point optimizer can scale in "
                "double precision (a scaled coefficient, bound or constant is not finite)";
        }
    }

private:
    bool scaled_data_finite() const {
        // (An objective of overflowing size gives a cost scale of zero.)
        return !overflow_ && f_.cost_scale > 0.0 && std::isfinite(f_.cost_scale) &&
               std::isfinite(f_.objective_constant) && all_finite(f_.q) && all_finite(f_.p.values) &&
               all_finite(f_.gval) && all_finite(f_.h);
    }

    // Quadratic objective of the minimization form, by columns, duplicates summed.
    void collect_quadratic_objective() {
        qent_.reserve(d_.qoval.size());
        for (size_t k = 0; k < d_.qoval.size(); ++k) qent_.emplace_back(d_.qosubi[k], d_.qosubj[k], sense_ * d_.qoval[k]);
        std::sort(qent_.begin(), qent_.end(), [](const auto& a, const auto& b) {
            return std::get<1>(a) != std::get<1>(b) ? std::get<1>(a) < std::get<1>(b) : std::get<0>(a) < std::get<0>(b);
        });
        size_t w = 0;
        for (size_t k = 0; k < qent_.size(); ++k) {
            if (w > 0 && std::get<0>(qent_[w - 1]) == std::get<0>(qent_[k]) &&
                std::get<1>(qent_[w - 1]) == std::get<1>(qent_[k]))
                std::get<2>(qent_[w - 1]) += std::get<2>(qent_[k]);
            else
                qent_[w++] = qent_[k];
        }
        qent_.resize(w);
    }

    // Linear rows: the original rows, then the conic rows of linear domains.
    void collect_linear_rows() {
        const int64_t m0 = d_.numcon, n0 = d_.numvar;
        lin_.assign(size_t(m0), LinRow{});
        for (int64_t j = 0; j < n0; ++j)
            for (int64_t p = d_.aptr[size_t(j)]; p < d_.aptr[size_t(j) + 1]; ++p)
                lin_[size_t(d_.asub[size_t(p)])].entries.emplace_back(int32_t(j), d_.aval[size_t(p)]);
        for (int64_t i = 0; i < m0; ++i) {
            LinRow& r = lin_[size_t(i)];
            r.index = i;
            if (has_lower(d_.bkc[size_t(i)])) r.lo = d_.blc[size_t(i)];
            if (has_upper(d_.bkc[size_t(i)])) r.up = d_.buc[size_t(i)];
            if (d_.bkc[size_t(i)] == VLT_BK_FX) r.up = r.lo;
        }
        rec_.conic_linear.assign(size_t(d_.num_conic_rows()), Recovery::Row{});
        rec_.conic_cone.assign(size_t(d_.num_conic_rows()), -1);
        int64_t r0 = 0;
        for (const auto& cone : d_.cones) {
            if (cone.domain != VLT_DOMAIN_R && is_linear_domain(cone.domain))
                for (int64_t r = r0; r < r0 + cone.dim; ++r) {
                    LinRow row;
                    row.is_conic = true;
                    row.index = r;
                    for (int64_t p = d_.fptr[size_t(r)]; p < d_.fptr[size_t(r) + 1]; ++p)
                        row.entries.emplace_back(d_.fsub[size_t(p)], d_.fval[size_t(p)]);
                    const double g = d_.g[size_t(r)];
                    if (cone.domain != VLT_DOMAIN_RMINUS) row.lo = -g;
                    if (cone.domain != VLT_DOMAIN_RPLUS) row.up = -g;
                    lin_.push_back(std::move(row));
                }
            r0 += cone.dim;
        }
    }

    bool decide(PresolveOutcome::Kind kind, std::string message) {
        outcome_.kind = kind;
        outcome_.message = std::move(message);
        return false;
    }

    bool bounds_in_order() {
        const int64_t n0 = d_.numvar;
        lbx_.assign(size_t(n0), -kInf);
        ubx_.assign(size_t(n0), kInf);
        for (int64_t j = 0; j < n0; ++j) {
            const int32_t bk = d_.bkx[size_t(j)];
            if (has_lower(bk)) lbx_[size_t(j)] = d_.blx[size_t(j)];
            if (has_upper(bk)) ubx_[size_t(j)] = bk == VLT_BK_FX ? d_.blx[size_t(j)] : d_.bux[size_t(j)];
            if (lbx_[size_t(j)] > ubx_[size_t(j)])
                return decide(PresolveOutcome::Kind::primal_infeasible,
                              "variable " + std::to_string(j) + " has a lower bound above its upper bound");
        }
        for (const auto& r : lin_)
            if (r.lo > r.up)
                return decide(PresolveOutcome::Kind::primal_infeasible, "a constraint has a lower bound above its upper bound");
        return true;
    }

    // Fixed columns and those that appear only in the linear objective are
    // removed: their values are known (or the objective is unbounded).
    bool choose_columns() {
        const int64_t n0 = d_.numvar;
        std::vector<char> used(static_cast<size_t>(n0), 0);
        for (const auto& r : lin_)
            if (r.lo > -kInf || r.up < kInf)
                for (const auto& e : r.entries) used[size_t(e.first)] = 1;
        int64_t r0 = 0;
        for (const auto& cone : d_.cones) {
            if (!is_linear_domain(cone.domain))
                for (int64_t p = d_.fptr[size_t(r0)]; p < d_.fptr[size_t(r0 + cone.dim)]; ++p)
                    used[size_t(d_.fsub[size_t(p)])] = 1;
            r0 += cone.dim;
        }
        for (const auto& e : qent_) used[size_t(std::get<0>(e))] = used[size_t(std::get<1>(e))] = 1;

        rec_.column.assign(size_t(n0), -1);
        rec_.fixed_value.assign(size_t(n0), 0.0);
        for (int64_t j = 0; j < n0; ++j) {
            const double cj = sense_ * d_.c[size_t(j)];
            if (lbx_[size_t(j)] == ubx_[size_t(j)]) {
                rec_.fixed_value[size_t(j)] = lbx_[size_t(j)];
            } else if (!used[size_t(j)]) {
                double v;
                if (cj > 0.0) v = lbx_[size_t(j)];
                else if (cj < 0.0) v = ubx_[size_t(j)];
                else v = std::min(std::max(0.0, lbx_[size_t(j)]), ubx_[size_t(j)]);
                if (std::isinf(v)) {
                    outcome_.primal_ray.assign(size_t(n0), 0.0);
                    outcome_.primal_ray[size_t(j)] = cj > 0.0 ? -1.0 : 1.0;
                    return decide(PresolveOutcome::Kind::dual_infeasible,
                                  "variable " + std::to_string(j) + " improves the objective without bound");
                }
                rec_.fixed_value[size_t(j)] = v;
            } else {
                rec_.column[size_t(j)] = n_++;
            }
        }
        kept_ = n_;
        return true;
    }

    // Each linear row becomes a row of the zero cone (equations), of R+
    // (one-sided; negated for a lower bound), or an equation with a slack
    // column for a ranged row; free rows are dropped, rows left without
    // columns are checked.
    bool classify_rows() {
        rec_.rows.assign(size_t(d_.numcon), Recovery::Row{});
        for (auto& r : lin_) {
            Recovery::Row& out = r.is_conic ? rec_.conic_linear[size_t(r.index)] : rec_.rows[size_t(r.index)];
            if (r.lo == -kInf && r.up == kInf) continue;  // free row
            double constant = 0.0;
            std::vector<std::pair<int64_t, double>> ent;
            for (const auto& e : r.entries) {
                const int64_t cj = rec_.column[size_t(e.first)];
                if (cj >= 0) ent.emplace_back(cj, e.second);
                else constant += e.second * rec_.fixed_value[size_t(e.first)];
            }
            const double lo = r.lo - constant, up = r.up - constant;
            if (ent.empty()) {
                const double tol = 1e-9 * std::max(1.0, std::fabs(constant));
                if (lo > tol || up < -tol) {
                    outcome_.dual_ray.assign(size_t(d_.numcon), 0.0);
                    outcome_.dual_ray_conic.assign(size_t(d_.num_conic_rows()), 0.0);
                    (r.is_conic ? outcome_.dual_ray_conic : outcome_.dual_ray)[size_t(r.index)] =
                        (lo > tol ? 1.0 : -1.0) * sense_;
                    return decide(PresolveOutcome::Kind::primal_infeasible,
                                  std::string("a ") + (r.is_conic ? "conic row" : "constraint") +
                                      " without free variables cannot meet its bounds");
                }
                continue;
            }
            if (lo == up) {
                zero_rows_.push_back({std::move(ent), lo});
                out.kind = Recovery::RowKind::equal;
                pending_.push_back({&out, false, int64_t(zero_rows_.size()) - 1});
            } else if (lo == -kInf) {
                pos_rows_.push_back({std::move(ent), up});
                out.kind = Recovery::RowKind::upper;
                pending_.push_back({&out, true, int64_t(pos_rows_.size()) - 1});
            } else if (up == kInf) {
                for (auto& e : ent) e.second = -e.second;
                pos_rows_.push_back({std::move(ent), -lo});
                out.kind = Recovery::RowKind::lower;
                pending_.push_back({&out, true, int64_t(pos_rows_.size()) - 1});
            } else {
                const int64_t s = n_++;
                slack_lo_.push_back(lo);
                slack_up_.push_back(up);
                ent.emplace_back(s, -1.0);
                zero_rows_.push_back({std::move(ent), 0.0});
                out.kind = Recovery::RowKind::range;
                out.slack = s;
                pending_.push_back({&out, false, int64_t(zero_rows_.size()) - 1});
            }
        }
        return true;
    }

    // The linear objective of the kept columns, the constant of the removed
    // ones, and the upper triangle of P.
    void objective_of_kept_columns() {
        f_.objective_constant = sense_ * d_.cfix;
        q_.assign(size_t(kept_), 0.0);
        for (int64_t j = 0; j < d_.numvar; ++j) {
            if (rec_.column[size_t(j)] >= 0) q_[size_t(rec_.column[size_t(j)])] = sense_ * d_.c[size_t(j)];
            else f_.objective_constant += sense_ * d_.c[size_t(j)] * rec_.fixed_value[size_t(j)];
        }
        for (const auto& [i, j, v] : qent_) {
            const int64_t ci = rec_.column[size_t(i)], cj = rec_.column[size_t(j)];
            const double vi = rec_.fixed_value[size_t(i)], vj = rec_.fixed_value[size_t(j)];
            if (ci >= 0 && cj >= 0) pent_.emplace_back(std::min(ci, cj), std::max(ci, cj), v);
            else if (ci >= 0) q_[size_t(ci)] += v * vj;
            else if (cj >= 0) q_[size_t(cj)] += v * vi;
            else f_.objective_constant += (i == j ? 0.5 : 1.0) * v * vi * vj;
        }
    }

    // The rows of every other cone: F x + g in K  ->  -F x + s = g.
    void collect_cone_rows() {
        int64_t r0 = 0;
        for (const auto& cone : d_.cones) {
            if (!is_linear_domain(cone.domain)) {
                for (int64_t r = r0; r < r0 + cone.dim; ++r) {
                    GRow row;
                    row.h = d_.g[size_t(r)];
                    for (int64_t p = d_.fptr[size_t(r)]; p < d_.fptr[size_t(r) + 1]; ++p) {
                        const int64_t cj = rec_.column[size_t(d_.fsub[size_t(p)])];
                        if (cj >= 0) row.entries.emplace_back(cj, -d_.fval[size_t(p)]);
                        else row.h += d_.fval[size_t(p)] * rec_.fixed_value[size_t(d_.fsub[size_t(p)])];
                    }
                    rec_.conic_cone[size_t(r)] = int64_t(cone_rows_.size());
                    cone_rows_.push_back(std::move(row));
                }
                other_cones_.push_back({cone.domain, 0, cone.dim, cone.alpha});
            }
            r0 += cone.dim;
        }
    }

    // G by columns with the rows stacked as zero, R+, other cones; the
    // cones; q, the bounds and P (upper triangle, every diagonal present).
    void stack_rows_and_columns() {
        const int64_t mz = int64_t(zero_rows_.size()), mp = int64_t(pos_rows_.size()), n = n_;
        for (auto& pnd : pending_) pnd.target->g_row = pnd.nonnegative ? mz + pnd.local : pnd.local;
        for (auto& v : rec_.conic_cone)
            if (v >= 0) v += mz + mp;
        f_.n = n;
        f_.m = mz + mp + int64_t(cone_rows_.size());
        f_.cones.clear();
        if (mz > 0) f_.cones.push_back({VLT_DOMAIN_RZERO, 0, mz, {}});
        if (mp > 0) f_.cones.push_back({VLT_DOMAIN_RPLUS, mz, mp, {}});
        int64_t start = mz + mp;
        for (ConeRows& c : other_cones_) {
            c.start = start;
            start += c.dim;
            f_.cones.push_back(std::move(c));
        }
        f_.q.assign(size_t(n), 0.0);
        std::copy(q_.begin(), q_.end(), f_.q.begin());
        f_.lb.assign(size_t(n), -kInf);
        f_.ub.assign(size_t(n), kInf);
        for (int64_t j = 0; j < d_.numvar; ++j)
            if (rec_.column[size_t(j)] >= 0) {
                f_.lb[size_t(rec_.column[size_t(j)])] = lbx_[size_t(j)];
                f_.ub[size_t(rec_.column[size_t(j)])] = ubx_[size_t(j)];
            }
        for (size_t k = 0; k < slack_lo_.size(); ++k) {
            f_.lb[size_t(kept_) + k] = slack_lo_[k];
            f_.ub[size_t(kept_) + k] = slack_up_[k];
        }
        std::vector<int64_t> count(size_t(n) + 1, 0);
        auto each_row = [&](auto&& fn) {
            int64_t i = 0;
            for (auto* list : {&zero_rows_, &pos_rows_, &cone_rows_})
                for (const auto& r : *list) fn(i++, r);
        };
        each_row([&](int64_t, const GRow& r) {
            for (const auto& e : r.entries) ++count[size_t(e.first) + 1];
        });
        f_.gptr.assign(size_t(n) + 1, 0);
        for (int64_t j = 0; j < n; ++j) f_.gptr[size_t(j) + 1] = f_.gptr[size_t(j)] + count[size_t(j) + 1];
        f_.gind.assign(size_t(f_.gptr[size_t(n)]), 0);
        f_.gval.assign(size_t(f_.gptr[size_t(n)]), 0.0);
        f_.h.assign(size_t(f_.m), 0.0);
        std::vector<int64_t> next(f_.gptr.begin(), f_.gptr.end() - 1);
        each_row([&](int64_t i, const GRow& r) {
            f_.h[size_t(i)] = r.h;
            for (const auto& e : r.entries) {
                const int64_t p = next[size_t(e.first)]++;
                f_.gind[size_t(p)] = i;
                f_.gval[size_t(p)] = e.second;
            }
        });
        for (int64_t j = 0; j < n; ++j) pent_.emplace_back(j, j, 0.0);
        std::sort(pent_.begin(), pent_.end(), [](const auto& a, const auto& b) {
            return std::get<1>(a) != std::get<1>(b) ? std::get<1>(a) < std::get<1>(b) : std::get<0>(a) < std::get<0>(b);
        });
        f_.p.n = n;
        f_.p.colptr.assign(size_t(n) + 1, 0);
        f_.p.rowind.clear();
        f_.p.values.clear();
        for (size_t k = 0; k < pent_.size(); ++k) {
            auto [i, j, v] = pent_[k];
            if (k > 0 && std::get<0>(pent_[k - 1]) == i && std::get<1>(pent_[k - 1]) == j) {
                f_.p.values.back() += v;
                continue;
            }
            f_.p.rowind.push_back(i);
            f_.p.values.push_back(v);
            ++f_.p.colptr[size_t(j) + 1];
        }
        for (int64_t j = 0; j < n; ++j) f_.p.colptr[size_t(j) + 1] += f_.p.colptr[size_t(j)];
    }

    // Ruiz equilibration of [P G'; G 0]; the rows of a cone other than {0}
    // and R+ share one factor, which keeps the cone what it is.
    void equilibrate() {
        f_.colscale.assign(size_t(n_), 1.0);
        f_.rowscale.assign(size_t(f_.m), 1.0);
        // Each factor stays within [1e-4, 1e4], which takes entries up to
        // 1e16 to 1e8 or less; larger entries may shrink further, as far as
        // it takes to bring them to about 1e8 (the squares and products of
        // the factorization then stay far from overflow).
        const double largest = std::max(largest_magnitude(f_.gval), largest_magnitude(f_.p.values));
        const double lowest_factor = 1.0 / std::max(kScaleLimit, std::sqrt(largest) / kScaleLimit);
        std::vector<double> cn(static_cast<size_t>(n_)), rn(static_cast<size_t>(f_.m));
        for (int pass = 0; pass < 15; ++pass) {
            std::fill(cn.begin(), cn.end(), 0.0);
            std::fill(rn.begin(), rn.end(), 0.0);
            for (int64_t j = 0; j < n_; ++j) {
                for (int64_t p = f_.p.colptr[size_t(j)]; p < f_.p.colptr[size_t(j) + 1]; ++p) {
                    int64_t i = f_.p.rowind[size_t(p)];
                    double v = std::fabs(f_.p.values[size_t(p)]) * f_.colscale[size_t(i)] * f_.colscale[size_t(j)];
                    cn[size_t(j)] = std::max(cn[size_t(j)], v);
                    cn[size_t(i)] = std::max(cn[size_t(i)], v);
                }
                for (int64_t p = f_.gptr[size_t(j)]; p < f_.gptr[size_t(j) + 1]; ++p) {
                    int64_t i = f_.gind[size_t(p)];
                    double v = std::fabs(f_.gval[size_t(p)]) * f_.rowscale[size_t(i)] * f_.colscale[size_t(j)];
                    cn[size_t(j)] = std::max(cn[size_t(j)], v);
                    rn[size_t(i)] = std::max(rn[size_t(i)], v);
                }
            }
            for (const auto& c : f_.cones)
                if (c.domain != VLT_DOMAIN_RZERO && c.domain != VLT_DOMAIN_RPLUS) {
                    double mx = 0.0;
                    for (int64_t i = c.start; i < c.start + c.dim; ++i) mx = std::max(mx, rn[size_t(i)]);
                    for (int64_t i = c.start; i < c.start + c.dim; ++i) rn[size_t(i)] = mx;
                }
            double worst = 0.0;
            for (int64_t j = 0; j < n_; ++j)
                if (cn[size_t(j)] > 0.0) {
                    worst = std::max(worst, std::fabs(1.0 - cn[size_t(j)]));
                    f_.colscale[size_t(j)] =
                        std::clamp(f_.colscale[size_t(j)] / std::sqrt(cn[size_t(j)]), lowest_factor, kScaleLimit);
                }
            for (int64_t i = 0; i < f_.m; ++i)
                if (rn[size_t(i)] > 0.0) {
                    worst = std::max(worst, std::fabs(1.0 - rn[size_t(i)]));
                    f_.rowscale[size_t(i)] =
                        std::clamp(f_.rowscale[size_t(i)] / std::sqrt(rn[size_t(i)]), lowest_factor, kScaleLimit);
                }
            if (worst < 1e-2) break;
        }
        for (int64_t j = 0; j < n_; ++j) {
            const double dj = f_.colscale[size_t(j)];
            for (int64_t p = f_.p.colptr[size_t(j)]; p < f_.p.colptr[size_t(j) + 1]; ++p)
                f_.p.values[size_t(p)] *= dj * f_.colscale[size_t(f_.p.rowind[size_t(p)])];
            for (int64_t p = f_.gptr[size_t(j)]; p < f_.gptr[size_t(j) + 1]; ++p)
                f_.gval[size_t(p)] *= dj * f_.rowscale[size_t(f_.gind[size_t(p)])];
            f_.q[size_t(j)] *= dj;
            const bool bounded_below = f_.lb[size_t(j)] > -kInf, bounded_above = f_.ub[size_t(j)] < kInf;
            f_.lb[size_t(j)] /= dj;
            f_.ub[size_t(j)] /= dj;
            if ((bounded_below && !std::isfinite(f_.lb[size_t(j)])) || (bounded_above && !std::isfinite(f_.ub[size_t(j)])))
                overflow_ = true;
        }
        for (int64_t i = 0; i < f_.m; ++i) f_.h[size_t(i)] *= f_.rowscale[size_t(i)];
    }

    void scale_objective() {
        double pnorm = 0.0;
        {
            std::vector<double> colmax(static_cast<size_t>(n_), 0.0);
            for (int64_t j = 0; j < n_; ++j)
                for (int64_t p = f_.p.colptr[size_t(j)]; p < f_.p.colptr[size_t(j) + 1]; ++p) {
                    double v = std::fabs(f_.p.values[size_t(p)]);
                    colmax[size_t(j)] = std::max(colmax[size_t(j)], v);
                    colmax[size_t(f_.p.rowind[size_t(p)])] = std::max(colmax[size_t(f_.p.rowind[size_t(p)])], v);
                }
            if (n_ > 0) pnorm = std::accumulate(colmax.begin(), colmax.end(), 0.0) / double(n_);
        }
        double qnorm = 0.0;
        for (double v : f_.q) qnorm = std::max(qnorm, std::fabs(v));
        // As in the equilibration: within [1e-4, 1e4], or lower where that
        // leaves the objective above 1e8.
        double t = std::max(pnorm, qnorm);
        f_.cost_scale = t > 0.0 ? std::clamp(1.0 / t, std::min(1.0 / kScaleLimit, kScaledSize / t), kScaleLimit) : 1.0;
        for (auto& v : f_.q) v *= f_.cost_scale;
        for (auto& v : f_.p.values) v *= f_.cost_scale;
    }

    // A row whose place in G is settled once the rows are stacked.
    struct Pending {
        Recovery::Row* target;
        bool nonnegative;  // R+ (else the zero cone)
        int64_t local;
    };

    const model::ProblemData& d_;
    ConicForm& f_;
    Recovery& rec_;
    PresolveOutcome& outcome_;
    const double sense_;
    std::vector<std::tuple<int32_t, int32_t, double>> qent_;
    std::vector<LinRow> lin_;
    std::vector<double> lbx_, ubx_;
    int64_t n_ = 0;      // internal columns: kept ones, then slacks of ranged rows
    int64_t kept_ = 0;   // original columns kept
    std::vector<GRow> zero_rows_, pos_rows_, cone_rows_;
    std::vector<ConeRows> other_cones_;  // domain, rows, parameters (start settled when stacked)
    std::vector<double> slack_lo_, slack_up_;
    std::vector<Pending> pending_;
    std::vector<double> q_;
    std::vector<std::tuple<int64_t, int64_t, double>> pent_;  // (row, column) of P's upper triangle
    bool overflow_ = false;  // a finite bound became infinite in the scaling
};

}  // namespace

void formulate(const model::ProblemData& d, ConicForm& f, Recovery& rec, PresolveOutcome& outcome) {
    validate_problem(d);
    check_cone_domains(d, outcome);
    if (outcome.kind != PresolveOutcome::Kind::none) return;
    Formulation(d, f, rec, outcome).run();
}

void recover(const model::ProblemData& d, const ConicForm& f, const Recovery& rec, const std::vector<double>& x,
             const std::vector<double>& z, const std::vector<double>& zl, const std::vector<double>& zu,
             OriginalPoint& out) {
    const int64_t m0 = d.numcon, n0 = d.numvar, nconic = d.num_conic_rows();
    const double sense = rec.sense;
    auto xin = [&](int64_t k) { return x[size_t(k)] * f.colscale[size_t(k)]; };
    auto zin = [&](int64_t i) { return z[size_t(i)] * f.rowscale[size_t(i)] / f.cost_scale; };
    auto zlin = [&](int64_t k) { return zl[size_t(k)] / (f.cost_scale * f.colscale[size_t(k)]); };
    auto zuin = [&](int64_t k) { return zu[size_t(k)] / (f.cost_scale * f.colscale[size_t(k)]); };

    out.x.assign(size_t(n0), 0.0);
    for (int64_t j = 0; j < n0; ++j) {
        int64_t k = rec.column[size_t(j)];
        out.x[size_t(j)] = k >= 0 ? xin(k) : rec.fixed_value[size_t(j)];
    }
    out.xc.assign(size_t(m0), 0.0);
    for (int64_t j = 0; j < n0; ++j)
        for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
            out.xc[size_t(d.asub[size_t(p)])] += d.aval[size_t(p)] * out.x[size_t(j)];

    // Row duals of the minimization form: y = slc - suc.
    auto row_dual = [&](const Recovery::Row& r, double& slc, double& suc) {
        slc = suc = 0.0;
        switch (r.kind) {
            case Recovery::RowKind::dropped: break;
            case Recovery::RowKind::equal: {
                double y = -zin(r.g_row);
                (y >= 0 ? slc : suc) = std::fabs(y);
                break;
            }
            case Recovery::RowKind::upper: suc = std::max(0.0, zin(r.g_row)); break;
            case Recovery::RowKind::lower: slc = std::max(0.0, zin(r.g_row)); break;
            case Recovery::RowKind::range:
                slc = zlin(r.slack);
                suc = zuin(r.slack);
                break;
        }
    };
    out.y.assign(size_t(m0), 0.0);
    out.slc.assign(size_t(m0), 0.0);
    out.suc.assign(size_t(m0), 0.0);
    for (int64_t i = 0; i < m0; ++i) {
        double slc, suc;
        row_dual(rec.rows[size_t(i)], slc, suc);
        out.slc[size_t(i)] = sense * slc;
        out.suc[size_t(i)] = sense * suc;
        out.y[size_t(i)] = sense * (slc - suc);
    }
    out.doty.assign(size_t(nconic), 0.0);
    for (int64_t r = 0; r < nconic; ++r) {
        const auto& lr = rec.conic_linear[size_t(r)];
        if (lr.kind != Recovery::RowKind::dropped) {
            double slc, suc;
            row_dual(lr, slc, suc);
            out.doty[size_t(r)] = sense * (slc - suc);
        } else if (rec.conic_cone[size_t(r)] >= 0) {
            out.doty[size_t(r)] = sense * zin(rec.conic_cone[size_t(r)]);
        }
    }
    // Column duals: bound multipliers of kept columns; removed columns take
    // their reduced cost c + Qx - A'y - F'doty.
    out.slx.assign(size_t(n0), 0.0);
    out.sux.assign(size_t(n0), 0.0);
    std::vector<double> red(static_cast<size_t>(n0), 0.0);
    bool any_removed = false;
    for (int64_t j = 0; j < n0; ++j) any_removed |= rec.column[size_t(j)] < 0;
    if (any_removed) {
        for (int64_t j = 0; j < n0; ++j) {
            red[size_t(j)] = d.c[size_t(j)];
            for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
                red[size_t(j)] -= d.aval[size_t(p)] * out.y[size_t(d.asub[size_t(p)])];
        }
        for (size_t k = 0; k < d.qoval.size(); ++k) {
            int32_t i = d.qosubi[k], j = d.qosubj[k];
            red[size_t(i)] += d.qoval[k] * out.x[size_t(j)];
            if (i != j) red[size_t(j)] += d.qoval[k] * out.x[size_t(i)];
        }
        for (int64_t r = 0; r < nconic; ++r)
            for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
                red[size_t(d.fsub[size_t(p)])] -= d.fval[size_t(p)] * out.doty[size_t(r)];
    }
    for (int64_t j = 0; j < n0; ++j) {
        int64_t k = rec.column[size_t(j)];
        if (k >= 0) {
            if (std::isfinite(f.lb[size_t(k)])) out.slx[size_t(j)] = sense * zlin(k);
            if (std::isfinite(f.ub[size_t(k)])) out.sux[size_t(j)] = sense * zuin(k);
        } else {
            bool lo = has_lower(d.bkx[size_t(j)]), up = has_upper(d.bkx[size_t(j)]);
            double s = red[size_t(j)];
            // s = slx - sux; keep the signs of the sense and the existing sides.
            if (sense * s > 0.0 && lo) out.slx[size_t(j)] = s;
            else if (sense * s < 0.0 && up) out.sux[size_t(j)] = -s;
        }
    }
}

namespace {

// The primal size of the final check: |x|, |xc|, the sums of the terms of
// every linear and conic row, and `bounds` (the largest finite bound).
double primal_terms(const model::ProblemData& d, const OriginalPoint& pt, double bounds) {
    std::vector<double> rows(size_t(d.numcon), 0.0);
    for (int64_t j = 0; j < d.numvar; ++j)
        for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
            rows[size_t(d.asub[size_t(p)])] += std::fabs(d.aval[size_t(p)] * pt.x[size_t(j)]);
    double terms = std::max({bounds, largest_magnitude(pt.x), largest_magnitude(pt.xc), largest_magnitude(rows)});
    for (int64_t r = 0; r < d.num_conic_rows(); ++r) {
        double row = std::fabs(d.g[size_t(r)]);
        for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
            row += std::fabs(d.fval[size_t(p)] * pt.x[size_t(d.fsub[size_t(p)])]);
        terms = std::max(terms, row);
    }
    return terms;
}

// The dual size of the final check: `cnorm` (the largest |c_j|), the dual
// values, and the sums of the terms of every column of the dual rows.
double dual_terms(const model::ProblemData& d, const OriginalPoint& pt, double cnorm) {
    std::vector<double> columns(size_t(d.numvar), 0.0);
    for (int64_t j = 0; j < d.numvar; ++j)
        for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
            columns[size_t(j)] += std::fabs(d.aval[size_t(p)] * pt.y[size_t(d.asub[size_t(p)])]);
    for (int64_t r = 0; r < d.num_conic_rows(); ++r)
        for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
            columns[size_t(d.fsub[size_t(p)])] += std::fabs(d.fval[size_t(p)] * pt.doty[size_t(r)]);
    for (size_t k = 0; k < d.qoval.size(); ++k) {
        const size_t i = size_t(d.qosubi[k]), j = size_t(d.qosubj[k]);
        columns[i] += std::fabs(d.qoval[k] * pt.x[j]);
        if (i != j) columns[j] += std::fabs(d.qoval[k] * pt.x[i]);
    }
    double terms = std::max(cnorm, largest_magnitude(columns));
    for (const auto* v : {&pt.y, &pt.slc, &pt.suc, &pt.slx, &pt.sux, &pt.doty})
        terms = std::max(terms, largest_magnitude(*v));
    return terms;
}

}  // namespace

OriginalQuality evaluate(const model::ProblemData& d, const OriginalPoint& pt) {
    OriginalQuality qual;
    // A value that is not a number satisfies no bound: every measure is
    // infinite (std::max would silently skip a NaN below).
    for (const auto* v : {&pt.x, &pt.xc, &pt.y, &pt.slc, &pt.suc, &pt.slx, &pt.sux, &pt.doty})
        for (double t : *v)
            if (!std::isfinite(t)) {
                qual.primal_objective = qual.dual_objective = std::numeric_limits<double>::quiet_NaN();
                qual.primal_residual = qual.dual_residual = qual.relative_gap = kInf;
                return qual;
            }
    const int64_t m0 = d.numcon, n0 = d.numvar, nconic = d.num_conic_rows();
    std::vector<double> qx(static_cast<size_t>(n0), 0.0);
    for (size_t k = 0; k < d.qoval.size(); ++k) {
        int32_t i = d.qosubi[k], j = d.qosubj[k];
        qx[size_t(i)] += d.qoval[k] * pt.x[size_t(j)];
        if (i != j) qx[size_t(j)] += d.qoval[k] * pt.x[size_t(i)];
    }
    double xqx = 0.0, cx = 0.0, cnorm = 0.0, qxnorm = 0.0;
    for (int64_t j = 0; j < n0; ++j) {
        xqx += pt.x[size_t(j)] * qx[size_t(j)];
        cx += d.c[size_t(j)] * pt.x[size_t(j)];
        cnorm = std::max(cnorm, std::fabs(d.c[size_t(j)]));
        qxnorm = std::max(qxnorm, std::fabs(qx[size_t(j)]));
    }
    qual.primal_objective = d.cfix + cx + 0.5 * xqx;
    double dual = d.cfix - 0.5 * xqx;
    for (int64_t i = 0; i < m0; ++i) {
        if (has_lower(d.bkc[size_t(i)])) dual += d.blc[size_t(i)] * pt.slc[size_t(i)];
        if (has_upper(d.bkc[size_t(i)])) dual -= d.buc[size_t(i)] * pt.suc[size_t(i)];
    }
    for (int64_t j = 0; j < n0; ++j) {
        if (has_lower(d.bkx[size_t(j)])) dual += d.blx[size_t(j)] * pt.slx[size_t(j)];
        if (has_upper(d.bkx[size_t(j)])) dual -= d.bux[size_t(j)] * pt.sux[size_t(j)];
    }
    for (int64_t r = 0; r < nconic; ++r) dual -= d.g[size_t(r)] * pt.doty[size_t(r)];
    qual.dual_objective = dual;
    qual.relative_gap = std::fabs(qual.primal_objective - qual.dual_objective) / std::max(1.0, std::fabs(qual.primal_objective));

    // Primal: violation of row and column bounds (and of the linear cones).
    double pviol = 0.0, bnorm = 0.0;
    auto side = [&](int32_t bk, double lo, double up, double v) {
        if (has_lower(bk)) pviol = std::max(pviol, lo - v), bnorm = std::max(bnorm, std::fabs(lo));
        if (has_upper(bk)) pviol = std::max(pviol, v - up), bnorm = std::max(bnorm, std::fabs(up));
    };
    double axnorm = 0.0;
    for (int64_t i = 0; i < m0; ++i) {
        side(d.bkc[size_t(i)], d.blc[size_t(i)], d.buc[size_t(i)], pt.xc[size_t(i)]);
        axnorm = std::max(axnorm, std::fabs(pt.xc[size_t(i)]));
    }
    for (int64_t j = 0; j < n0; ++j) side(d.bkx[size_t(j)], d.blx[size_t(j)], d.bux[size_t(j)], pt.x[size_t(j)]);
    {
        int64_t r0 = 0;
        for (const auto& cone : d.cones) {
            std::vector<double> v(static_cast<size_t>(cone.dim));
            for (int64_t k = 0; k < cone.dim; ++k) {
                int64_t r = r0 + k;
                double s = d.g[size_t(r)];
                for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
                    s += d.fval[size_t(p)] * pt.x[size_t(d.fsub[size_t(p)])];
                v[size_t(k)] = s;
                axnorm = std::max(axnorm, std::fabs(s));
            }
            switch (cone.domain) {
                case VLT_DOMAIN_RZERO: for (double s : v) pviol = std::max(pviol, std::fabs(s)); break;
                case VLT_DOMAIN_RPLUS: for (double s : v) pviol = std::max(pviol, -s); break;
                case VLT_DOMAIN_RMINUS: for (double s : v) pviol = std::max(pviol, s); break;
                case VLT_DOMAIN_QUADRATIC_CONE: {
                    double t = 0.0;
                    for (size_t k = 1; k < v.size(); ++k) t += v[k] * v[k];
                    pviol = std::max(pviol, std::sqrt(t) - v[0]);
                    break;
                }
                case VLT_DOMAIN_RQUADRATIC_CONE: {
                    double t = 0.0;
                    for (size_t k = 2; k < v.size(); ++k) t += v[k] * v[k];
                    pviol = std::max({pviol, -v[0], -v[1], std::sqrt(t) - std::sqrt(2.0 * std::max(0.0, v[0]) * std::max(0.0, v[1]))});
                    break;
                }
                default:
                    pviol = std::max(pviol, domain_violation({cone.domain, cone.alpha.data(), int64_t(cone.alpha.size())},
                                                             v.data(), cone.dim));
                    break;
            }
            r0 += cone.dim;
        }
    }
    qual.primal_residual = std::max(0.0, pviol) / (1.0 + std::max(bnorm, axnorm));
    qual.primal_violation = std::max(0.0, pviol);
    qual.primal_terms = primal_terms(d, pt, bnorm);
    const std::vector<double> s = dual_residuals(d, pt);
    double dres = 0.0, dscale = std::max(cnorm, qxnorm);
    for (double v : s) dres = std::max(dres, std::fabs(v));
    qual.dual_residual = dres / (1.0 + dscale);
    qual.dual_violation = dres;
    qual.dual_terms = dual_terms(d, pt, cnorm);
    return qual;
}

std::vector<double> dual_residuals(const model::ProblemData& d, const OriginalPoint& pt) {
    const int64_t n0 = d.numvar, nconic = d.num_conic_rows();
    std::vector<double> s(d.c.begin(), d.c.begin() + n0);
    for (size_t k = 0; k < d.qoval.size(); ++k) {
        const size_t i = size_t(d.qosubi[k]), j = size_t(d.qosubj[k]);
        s[i] += d.qoval[k] * pt.x[j];
        if (i != j) s[j] += d.qoval[k] * pt.x[i];
    }
    for (int64_t j = 0; j < n0; ++j) s[size_t(j)] += pt.sux[size_t(j)] - pt.slx[size_t(j)];
    for (int64_t j = 0; j < n0; ++j)
        for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
            s[size_t(j)] -= d.aval[size_t(p)] * pt.y[size_t(d.asub[size_t(p)])];
    for (int64_t r = 0; r < nconic; ++r)
        for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
            s[size_t(d.fsub[size_t(p)])] -= d.fval[size_t(p)] * pt.doty[size_t(r)];
    return s;
}

}  // namespace vlt::solve::ipm
