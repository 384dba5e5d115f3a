#include "solve/quality/solution_check.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "solve/quality/cone_distance.hpp"

namespace vlt::solve {
namespace {

using model::has_lower;
using model::has_upper;

// With recession true, the bounds of the directions along which the
// problem's feasible set recedes: 0 on every side that has a bound.
double bound_violation(const model::BoundSet& bounds, int32_t i, double x, bool recession) {
    double v = 0.0;
    if (has_lower(bounds.key(i))) v = std::max(v, (recession ? 0.0 : bounds.lower(i)) - x);
    if (has_upper(bounds.key(i))) v = std::max(v, x - (recession ? 0.0 : bounds.upper(i)));
    return v;
}

// The sign and side conditions of the multipliers of one bounded item.
double multiplier_violation(int32_t bk, double s, double sl, double su) {
    double v = std::max({0.0, -s * sl, -s * su});
    if (!has_lower(bk)) v = std::max(v, std::fabs(sl));
    if (!has_upper(bk)) v = std::max(v, std::fabs(su));
    return v;
}

// Adds Q x to out for a symmetric Q given by its lower triangle.
void add_symmetric_product(const model::QuadraticTerms& q, const std::vector<double>& x, double scale,
                           std::vector<double>& out) {
    for (size_t k = 0; k < q.val.size(); ++k) {
        const size_t i = size_t(q.subi[k]), j = size_t(q.subj[k]);
        out[i] += scale * q.val[k] * x[j];
        if (i != j) out[j] += scale * q.val[k] * x[i];
    }
}

double half_quadratic_form(const model::QuadraticTerms& q, const std::vector<double>& x) {
    double sum = 0.0;
    for (size_t k = 0; k < q.val.size(); ++k) {
        const size_t i = size_t(q.subi[k]), j = size_t(q.subj[k]);
        sum += (i == j ? 0.5 : 1.0) * q.val[k] * x[i] * x[j];
    }
    return sum;
}

// The distance of a packed lower triangle (column by column) of a d x d
// symmetric matrix from the semidefinite cone.
double packed_psd_distance(const std::vector<double>& packed, int32_t d) {
    std::vector<double> scaled(packed.size());
    // The svec form of the cone distance: off-diagonal elements scaled by sqrt2.
    int64_t at = 0;
    for (int32_t col = 0; col < d; ++col)
        for (int32_t row = col; row < d; ++row, ++at)
            scaled[size_t(at)] = row == col ? packed[size_t(at)] : std::sqrt(2.0) * packed[size_t(at)];
    return domain_violation({VLT_DOMAIN_SVEC_PSD_CONE, nullptr, 0}, scaled.data(), int64_t(scaled.size()));
}

// <M, X> for an element (k, l) of M's lower triangle: off-diagonal ones count twice.
double element_product(const model::BlockTriplet& t, int32_t dim, const std::vector<double>& x) {
    return (t.k == t.l ? 1.0 : 2.0) * t.value * x[size_t(model::packed_index(dim, t.k, t.l))];
}

// The shape of a cone on variables as a domain (the power cones' weight
// conepar becomes the weights (conepar, 1 - conepar) of two leading members).
struct ConeShape {
    int32_t kind = VLT_DOMAIN_R;
    double weights[2] = {0.0, 0.0};
    int64_t nleft = 0;
    DomainShape domain(bool dual) const {
        return {dual ? dual_domain_kind(kind) : kind, nleft ? weights : nullptr, nleft};
    }
};

ConeShape cone_shape(const model::VarConeStore& cones, int32_t k) {
    ConeShape shape;
    int32_t ct = VLT_CT_QUAD;
    double conepar = 0.0;
    cones.get_cone_info(k, &ct, &conepar, nullptr);
    shape.kind = model::cone_type_domain(ct);
    if (ct == VLT_CT_PPOW || ct == VLT_CT_DPOW) {
        shape.weights[0] = conepar;
        shape.weights[1] = 1.0 - conepar;
        shape.nleft = 2;
    }
    return shape;
}

// The violation of the values of n rows w.r.t. a domain of the task (or
// its dual, after the sign s is applied to the values).
double domain_rows_violation(const model::ConicStore& domains, int64_t domidx, const double* rows, bool dual,
                             double s) {
    DomainShape shape;
    shape.kind = domains.domain_type(domidx);
    const int64_t n = domains.domain_n(domidx);
    std::vector<double> alpha;
    if (shape.kind == VLT_DOMAIN_PRIMAL_POWER_CONE || shape.kind == VLT_DOMAIN_DUAL_POWER_CONE) {
        int64_t total = 0;
        domains.power_domain_info(domidx, &total, &shape.nleft);
        alpha.resize(size_t(shape.nleft));
        domains.power_domain_alpha(domidx, alpha.data());
        shape.alpha = alpha.data();
    }
    if (!dual) return domain_violation(shape, rows, n);
    shape.kind = dual_domain_kind(shape.kind);
    std::vector<double> signed_rows(rows, rows + n);
    for (double& v : signed_rows) v *= s;
    return domain_violation(shape, signed_rows.data(), n);
}

}  // namespace

SolutionCheck::SolutionCheck(const model::Problem& problem, const model::Solution& solution, int32_t whichsol)
    : problem_(problem),
      solution_(solution),
      has_duals_(whichsol != VLT_SOL_ITG),
      primal_ray_(solution.solsta == VLT_SOL_STA_DUAL_INFEAS_CER),
      dual_ray_(solution.solsta == VLT_SOL_STA_PRIM_INFEAS_CER) {}

// ------------------------------------------------------------------ primal

void SolutionCheck::compute_row_activity() {
    const auto& xx = value(VLT_SOL_ITEM_XX);
    row_activity_.assign(size_t(problem_.num_con()), 0.0);
    const model::LineStore& columns = problem_.matrix().lines(model::Axis::Col);
    for (int32_t j = 0; j < problem_.num_var(); ++j) {
        const int32_t* rows = columns.index(j);
        const double* vals = columns.value(j);
        for (int32_t k = 0; k < columns.length(j); ++k) row_activity_[size_t(rows[k])] += vals[k] * xx[size_t(j)];
    }
    for (const auto& [i, q] : problem_.quadratic_constraints().terms())
        row_activity_[size_t(i)] += half_quadratic_form(q, xx);
    const model::SemidefiniteStore& sdp = problem_.semidefinite();
    for (const model::BlockTriplet& t : sdp.bara().expand_all(sdp.symmats()))
        row_activity_[size_t(t.row)] += element_product(t, sdp.dim(t.j), solution_.barx[size_t(t.j)]);
    have_row_activity_ = true;
}

double SolutionCheck::constraint(int32_t i) {
    if (!have_row_activity_) compute_row_activity();
    const double xc = value(VLT_SOL_ITEM_XC)[size_t(i)];
    return std::max(bound_violation(problem_.bounds(model::Item::Con), i, xc, primal_ray_),
                    std::fabs(xc - row_activity_[size_t(i)]));
}

double SolutionCheck::variable(int32_t j) const {
    return bound_violation(problem_.bounds(model::Item::Var), j, value(VLT_SOL_ITEM_XX)[size_t(j)], primal_ray_);
}

double SolutionCheck::integrality(int32_t j) const {
    if (problem_.var_type(j) != VLT_VAR_TYPE_INT) return 0.0;
    const double x = value(VLT_SOL_ITEM_XX)[size_t(j)];
    return std::fabs(x - std::round(x));
}

std::vector<double> SolutionCheck::cone_values(int32_t k, const std::vector<double>& of) const {
    const model::VarConeStore& cones = problem_.var_cones();
    std::vector<int32_t> members(size_t(cones.num_cone_mem(k)));
    cones.get_cone(k, nullptr, nullptr, nullptr, members.data());
    std::vector<double> values(members.size());
    for (size_t m = 0; m < members.size(); ++m) values[m] = of[size_t(members[m])];
    return values;
}

double SolutionCheck::cone(int32_t k) const {
    const std::vector<double> values = cone_values(k, value(VLT_SOL_ITEM_XX));
    const ConeShape shape = cone_shape(problem_.var_cones(), k);
    return domain_violation(shape.domain(false), values.data(), int64_t(values.size()));
}

const std::vector<double>& SolutionCheck::afe_semidefinite_terms() {
    if (!have_afe_bar_) {
        const model::SemidefiniteStore& sdp = problem_.semidefinite();
        afe_bar_.assign(size_t(problem_.affine().num_afe()), 0.0);
        for (const model::BlockTriplet& t : sdp.barf().expand_all(sdp.symmats()))
            afe_bar_[size_t(t.row)] += element_product(t, sdp.dim(t.j), solution_.barx[size_t(t.j)]);
        have_afe_bar_ = true;
    }
    return afe_bar_;
}

const std::vector<double>& SolutionCheck::acc_activity() {
    if (!have_acc_activity_) {
        const model::ConicStore& accs = problem_.conic();
        acc_activity_.assign(size_t(accs.num_acc_rows()), 0.0);
        accs.stacked_activity(problem_.affine(), value(VLT_SOL_ITEM_XX).data(), acc_activity_.data());
        if (problem_.semidefinite().barf().size() > 0) {
            std::vector<int64_t> afes(acc_activity_.size());
            accs.get_accs(nullptr, afes.data(), nullptr);
            const std::vector<double>& bar = afe_semidefinite_terms();
            for (size_t r = 0; r < afes.size(); ++r) acc_activity_[r] += bar[size_t(afes[r])];
        }
        have_acc_activity_ = true;
    }
    return acc_activity_;
}

double SolutionCheck::barvar(int32_t j) const {
    return packed_psd_distance(solution_.barx[size_t(j)], problem_.semidefinite().dim(j));
}

double SolutionCheck::acc_violation(int64_t k, const double* rows, bool dual) const {
    return domain_rows_violation(problem_.conic(), problem_.conic().acc_domain(k), rows, dual, sign());
}

double SolutionCheck::djc(int64_t k) {
    const model::DisjunctiveStore::View djc = problem_.disjunctive().view(k);
    const model::AffineStore& afes = problem_.affine();
    const auto& xx = value(VLT_SOL_ITEM_XX);
    const std::vector<double>& bar = afe_semidefinite_terms();
    // The rows of every domain, F x + g - b, in the DJC's order.
    std::vector<double> rows(size_t(djc.num_afe));
    for (int64_t r = 0; r < djc.num_afe; ++r) {
        const int64_t afe = djc.afes[r];
        double sum = afes.g(afe) - djc.b[r] + bar[size_t(afe)];
        for (int32_t e = 0; e < afes.length(afe); ++e) sum += afes.vals(afe)[e] * xx[size_t(afes.cols(afe)[e])];
        rows[size_t(r)] = sum;
    }
    // A term holds when all its domains hold; the DJC when one term does.
    double best = std::numeric_limits<double>::infinity();
    int64_t domain = 0, row = 0;
    for (int64_t t = 0; t < djc.num_term; ++t) {
        double worst = 0.0;
        for (int64_t d = 0; d < djc.term_sizes[t]; ++d, ++domain) {
            const int64_t domidx = djc.domains[domain];
            worst = std::max(worst, domain_rows_violation(problem_.conic(), domidx, rows.data() + row, false, 1.0));
            row += problem_.conic().domain_n(domidx);
        }
        best = std::min(best, worst);
    }
    return best;
}

double SolutionCheck::acc(int64_t k) {
    const int64_t first = problem_.conic().acc_first_row(k), n = problem_.conic().acc_n(k);
    if (!primal_ray_) return acc_violation(k, acc_activity().data() + first, false);
    // A direction of the feasible set: F x alone lies in the domain.
    std::vector<double> constant(size_t(problem_.conic().num_acc_rows()));
    problem_.conic().stacked_g(problem_.affine(), constant.data());
    std::vector<double> rows(acc_activity().begin() + first, acc_activity().begin() + first + n);
    for (int64_t r = 0; r < n; ++r) rows[size_t(r)] -= constant[size_t(first + r)];
    return acc_violation(k, rows.data(), false);
}

// -------------------------------------------------------------------- dual

double SolutionCheck::dual_constraint(int32_t i) const {
    if (!has_duals_) return 0.0;
    const size_t k = size_t(i);
    const double slc = value(VLT_SOL_ITEM_SLC)[k], suc = value(VLT_SOL_ITEM_SUC)[k];
    const int32_t bk = problem_.bounds(model::Item::Con).key(i);
    return std::max(multiplier_violation(bk, sign(), slc, suc), std::fabs(value(VLT_SOL_ITEM_Y)[k] - slc + suc));
}

void SolutionCheck::compute_reduced_costs() {
    const auto& xx = value(VLT_SOL_ITEM_XX);
    const auto& y = value(VLT_SOL_ITEM_Y);
    const auto& snx = value(VLT_SOL_ITEM_SNX);
    // A certificate of infeasibility is a direction of the dual feasible set: no objective.
    if (dual_ray_) {
        reduced_cost_.assign(problem_.c().size(), 0.0);
    } else {
        reduced_cost_.assign(problem_.c().begin(), problem_.c().end());
        add_symmetric_product(problem_.quadratic_objective(), xx, 1.0, reduced_cost_);
    }
    const model::LineStore& columns = problem_.matrix().lines(model::Axis::Col);
    for (int32_t j = 0; j < problem_.num_var(); ++j) {
        const int32_t* rows = columns.index(j);
        const double* vals = columns.value(j);
        double sum = 0.0;
        for (int32_t k = 0; k < columns.length(j); ++k) sum += vals[k] * y[size_t(rows[k])];
        reduced_cost_[size_t(j)] -= sum + snx[size_t(j)];
    }
    for (const auto& [i, q] : problem_.quadratic_constraints().terms())
        add_symmetric_product(q, xx, -y[size_t(i)], reduced_cost_);
    std::vector<double> transposed(reduced_cost_.size(), 0.0);
    problem_.conic().add_stacked_transpose_product(problem_.affine(), solution_.doty.data(), transposed.data());
    for (size_t j = 0; j < transposed.size(); ++j) reduced_cost_[j] -= transposed[j];
    have_reduced_costs_ = true;
}

double SolutionCheck::reduced_cost(int32_t j) {
    if (!have_reduced_costs_) compute_reduced_costs();
    return reduced_cost_[size_t(j)];
}

double SolutionCheck::dual_variable(int32_t j) {
    if (!has_duals_) return 0.0;
    const size_t k = size_t(j);
    const double slx = value(VLT_SOL_ITEM_SLX)[k], sux = value(VLT_SOL_ITEM_SUX)[k];
    double v = multiplier_violation(problem_.bounds(model::Item::Var).key(j), sign(), slx, sux);
    if (problem_.var_cones().cone_of(j) < 0) v = std::max(v, std::fabs(value(VLT_SOL_ITEM_SNX)[k]));
    return std::max(v, std::fabs(reduced_cost(j) - slx + sux));
}

double SolutionCheck::dual_cone(int32_t k) const {
    if (!has_duals_) return 0.0;
    std::vector<double> values = cone_values(k, value(VLT_SOL_ITEM_SNX));
    for (double& v : values) v *= sign();
    const ConeShape shape = cone_shape(problem_.var_cones(), k);
    return domain_violation(shape.domain(true), values.data(), int64_t(values.size()));
}

double SolutionCheck::dual_acc(int64_t k) const {
    if (!has_duals_) return 0.0;
    const int64_t first = problem_.conic().acc_first_row(k);
    return acc_violation(k, solution_.doty.data() + first, true);
}

void SolutionCheck::compute_semidefinite_residuals() {
    const model::SemidefiniteStore& sdp = problem_.semidefinite();
    const auto& y = value(VLT_SOL_ITEM_Y);
    bar_residual_ = solution_.bars;
    for (auto& packed : bar_residual_)
        for (double& v : packed) v = -v;
    auto add = [&](const model::BarEntries& entries, auto weight_of) {
        for (const model::BlockTriplet& t : entries.expand_all(sdp.symmats()))
            bar_residual_[size_t(t.j)][size_t(model::packed_index(sdp.dim(t.j), t.k, t.l))] += weight_of(t.row) * t.value;
    };
    // A certificate of infeasibility has no objective.
    if (!dual_ray_) add(sdp.barc(), [](int64_t) { return 1.0; });
    add(sdp.bara(), [&](int64_t i) { return -y[size_t(i)]; });
    if (sdp.barf().size() > 0) {
        // w_a: the duals of the ACC rows that read affine expression a.
        std::vector<double> w(size_t(problem_.affine().num_afe()), 0.0);
        std::vector<int64_t> afes(size_t(problem_.conic().num_acc_rows()));
        problem_.conic().get_accs(nullptr, afes.data(), nullptr);
        for (size_t r = 0; r < afes.size(); ++r) w[size_t(afes[r])] += solution_.doty[r];
        add(sdp.barf(), [&](int64_t a) { return -w[size_t(a)]; });
    }
    have_bar_residual_ = true;
}

double SolutionCheck::dual_barvar(int32_t j) {
    if (!has_duals_) return 0.0;
    if (!have_bar_residual_) compute_semidefinite_residuals();
    std::vector<double> signed_bars = solution_.bars[size_t(j)];
    for (double& v : signed_bars) v *= sign();
    double v = packed_psd_distance(signed_bars, problem_.semidefinite().dim(j));
    for (double r : bar_residual_[size_t(j)]) v = std::max(v, std::fabs(r));
    return v;
}

}  // namespace vlt::solve
