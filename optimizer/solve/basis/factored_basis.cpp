#include "solve/basis/factored_basis.hpp"

#include <Eigen/SparseLU>
#include <algorithm>
#include <cmath>
#include <string>

#include "base/error.hpp"

namespace vlt::solve {

struct FactoredBasis::Factors {
    Eigen::SparseMatrix<double> matrix;
    Eigen::SparseLU<Eigen::SparseMatrix<double>, Eigen::COLAMDOrdering<int>> lu;
};

std::vector<int32_t> basic_items(const model::Problem& problem, const model::Solution& solution) {
    const int32_t numcon = problem.num_con();
    std::vector<int32_t> items;
    for (int32_t i = 0; i < numcon; ++i)
        if (solution.skc[size_t(i)] == VLT_SK_BAS) items.push_back(i);
    for (int32_t j = 0; j < problem.num_var(); ++j)
        if (solution.skx[size_t(j)] == VLT_SK_BAS) items.push_back(numcon + j);
    if (int64_t(items.size()) != numcon)
        fail(VLT_RES_ERR_BASIS, "The status keys of the basic solution mark " + std::to_string(items.size()) +
                                    " items basic; a basis has one per constraint (numcon = " +
                                    std::to_string(numcon) + ")");
    return items;
}

FactoredBasis::FactoredBasis(const model::Problem& problem, std::vector<int32_t> items, double slack_sign)
    : problem_(&problem), slack_sign_(slack_sign), items_(std::move(items)) {
    factor();
}

void FactoredBasis::factor() {
    const int32_t m = problem_->num_con();
    const model::LineStore& columns = problem_->matrix().lines(model::Axis::Col);
    std::vector<Eigen::Triplet<double>> entries;
    for (int32_t k = 0; k < m; ++k) {
        const int32_t t = items_[size_t(k)];
        if (t < m) {
            entries.emplace_back(t, k, slack_sign_);
            continue;
        }
        const int32_t j = t - m;
        for (int32_t e = 0; e < columns.length(j); ++e)
            entries.emplace_back(columns.index(j)[e], k, columns.value(j)[e]);
    }
    auto fresh = std::make_shared<Factors>();
    Factors& f = *fresh;
    f.matrix.resize(m, m);
    f.matrix.setFromTriplets(entries.begin(), entries.end());
    f.matrix.makeCompressed();
    if (m > 0) {
        f.lu.compute(f.matrix);
        if (f.lu.info() != Eigen::Success)
            fail(VLT_RES_ERR_BASIS_SINGULAR,
                 "The basis of the basic solution is singular: its columns are linearly dependent");
    }
    factors_ = std::move(fresh);
    etas_.clear();
}

void FactoredBasis::replace(int32_t r, int32_t item, const std::vector<double>& w) {
    items_[size_t(r)] = item;
    if (etas_.size() >= kRefactorInterval) {
        factor();
        return;
    }
    Eta eta{r, w[size_t(r)], {}, {}};
    for (size_t i = 0; i < w.size(); ++i)
        if (int32_t(i) != r && w[i] != 0.0) eta.index.push_back(int32_t(i)), eta.value.push_back(w[i]);
    etas_.push_back(std::move(eta));
}

FactoredBasis::FactoredBasis(const FactoredBasis&) = default;
FactoredBasis& FactoredBasis::operator=(const FactoredBasis&) = default;
FactoredBasis::~FactoredBasis() = default;

void FactoredBasis::solve(std::vector<double>& rhs) const {
    if (rhs.empty()) return;
    Eigen::Map<Eigen::VectorXd> b(rhs.data(), Eigen::Index(rhs.size()));
    Eigen::VectorXd x = factors_->lu.solve(b);
    b = x;
    // The inverses of the elementary factors, oldest first.
    for (const Eta& eta : etas_) {
        const double xr = rhs[size_t(eta.r)] / eta.pivot;
        rhs[size_t(eta.r)] = xr;
        if (xr == 0.0) continue;
        for (size_t k = 0; k < eta.index.size(); ++k) rhs[size_t(eta.index[k])] -= eta.value[k] * xr;
    }
}

void FactoredBasis::solve_transposed(std::vector<double>& rhs) const {
    if (rhs.empty()) return;
    // B' = E_k' ... E_1' B0': the transposed elementary factors, newest first.
    for (auto eta = etas_.rbegin(); eta != etas_.rend(); ++eta) {
        double sum = rhs[size_t(eta->r)];
        for (size_t k = 0; k < eta->index.size(); ++k) sum -= eta->value[k] * rhs[size_t(eta->index[k])];
        rhs[size_t(eta->r)] = sum / eta->pivot;
    }
    Eigen::Map<Eigen::VectorXd> b(rhs.data(), Eigen::Index(rhs.size()));
    Eigen::VectorXd x = factors_->lu.transpose().solve(b);
    b = x;
}

double FactoredBasis::norm1() const {
    const auto& a = factors_->matrix;
    double largest = 0.0;
    for (Eigen::Index k = 0; k < a.outerSize(); ++k) {
        double sum = 0.0;
        for (Eigen::SparseMatrix<double>::InnerIterator it(a, k); it; ++it) sum += std::fabs(it.value());
        largest = std::max(largest, sum);
    }
    return largest;
}

namespace {

double norm1_of(const std::vector<double>& v) {
    double sum = 0.0;
    for (double x : v) sum += std::fabs(x);
    return sum;
}

std::vector<double> signs_of(const std::vector<double>& v) {
    std::vector<double> s(v.size());
    for (size_t i = 0; i < v.size(); ++i) s[i] = v[i] >= 0.0 ? 1.0 : -1.0;
    return s;
}

size_t largest_entry(const std::vector<double>& v) {
    size_t at = 0;
    for (size_t i = 1; i < v.size(); ++i)
        if (std::fabs(v[i]) > std::fabs(v[at])) at = i;
    return at;
}

}  // namespace

double FactoredBasis::inverse_norm1_estimate() const {
    const size_t n = items_.size();
    if (n == 0) return 0.0;
    std::vector<double> v(n, 1.0 / double(n));
    solve(v);
    if (n == 1) return std::fabs(v[0]);
    double estimate = norm1_of(v);
    std::vector<double> xi = signs_of(v), x = xi;
    solve_transposed(x);
    size_t j = largest_entry(x);
    for (int iteration = 2; iteration <= 5; ++iteration) {
        v.assign(n, 0.0);
        v[j] = 1.0;
        solve(v);
        const double previous = estimate;
        estimate = norm1_of(v);
        const std::vector<double> signs = signs_of(v);
        if (signs == xi || estimate <= previous) {
            estimate = std::max(estimate, previous);
            break;
        }
        xi = signs;
        x = xi;
        solve_transposed(x);
        const size_t last = j;
        j = largest_entry(x);
        if (std::fabs(x[last]) == std::fabs(x[j])) break;
    }
    // Higham's safeguard: a vector of alternating signs and growing size
    // catches matrices on which the iteration stalls.
    std::vector<double> alternating(n);
    for (size_t i = 0; i < n; ++i) alternating[i] = (i % 2 ? -1.0 : 1.0) * (1.0 + double(i) / double(n - 1));
    solve(alternating);
    return std::max(estimate, 2.0 * norm1_of(alternating) / (3.0 * double(n)));
}

}  // namespace vlt::solve
