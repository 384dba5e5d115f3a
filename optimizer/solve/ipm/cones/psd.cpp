#include "solve/ipm/cones/psd.hpp"

#include <Eigen/Dense>
#include <cmath>
#include <limits>

namespace vlt::solve::ipm {

namespace {

using Matrix = Eigen::MatrixXd;
const double kRoot2 = std::sqrt(2.0);

// The symmetric matrix of a vector in svec form.
Matrix to_matrix(CVec v, int32_t n) {
    Matrix m(n, n);
    size_t p = 0;
    for (int32_t l = 0; l < n; ++l)
        for (int32_t k = l; k < n; ++k, ++p) {
            const double x = k == l ? v[p] : v[p] / kRoot2;
            m(k, l) = m(l, k) = x;
        }
    return m;
}

// svec of the symmetric part of m.
void to_svec(const Matrix& m, Vec out) {
    const int64_t n = m.rows();
    size_t p = 0;
    for (int64_t l = 0; l < n; ++l)
        for (int64_t k = l; k < n; ++k, ++p) out[p] = k == l ? m(k, k) : (m(k, l) + m(l, k)) / kRoot2;
}

// The element (row[p], col[p]) of the lower triangle at each svec position p.
void svec_elements(int32_t n, std::vector<int32_t>& row, std::vector<int32_t>& col) {
    row.clear();
    col.clear();
    row.reserve(size_t(n) * size_t(n + 1) / 2);
    col.reserve(size_t(n) * size_t(n + 1) / 2);
    for (int32_t l = 0; l < n; ++l)
        for (int32_t k = l; k < n; ++k) {
            row.push_back(k);
            col.push_back(l);
        }
}

// svec(A V A') of a symmetric V given by svec(V); only the lower triangle of
// the second product is formed.
template <class A>
void congruence(const A& a, CVec v, int32_t n, Vec out) {
    const Matrix t = a * to_matrix(v, n);
    Matrix m(n, n);
    m.triangularView<Eigen::Lower>() = t * a.transpose();
    size_t p = 0;
    for (int32_t l = 0; l < n; ++l)
        for (int32_t k = l; k < n; ++k, ++p) out[p] = k == l ? m(k, k) : kRoot2 * m(k, l);
}

// The largest alpha <= alpha_max with X + alpha dX positive semidefinite;
// 0 when X itself is not positive definite.
double step_within(const Matrix& x, const Matrix& dx, double alpha_max) {
    Eigen::LLT<Matrix> llt(x);
    if (llt.info() != Eigen::Success) return 0.0;
    Matrix m = llt.matrixL().solve(dx);
    m = llt.matrixL().solve(Matrix(m.transpose()));
    m = 0.5 * (m + m.transpose()).eval();
    Eigen::SelfAdjointEigenSolver<Matrix> eig(m, Eigen::EigenvaluesOnly);
    const double smallest = eig.eigenvalues()(0);
    if (!(smallest < 0.0)) return alpha_max;
    return std::min(alpha_max, -1.0 / smallest);
}

// -log det X, or +infinity when X is not positive definite.
double minus_log_det(const Matrix& x) {
    Eigen::LLT<Matrix> llt(x);
    if (llt.info() != Eigen::Success) return std::numeric_limits<double>::infinity();
    double sum = 0.0;
    for (int64_t k = 0; k < x.rows(); ++k) {
        const double d = llt.matrixL()(k, k);
        if (!(d > 0.0)) return std::numeric_limits<double>::infinity();
        sum += std::log(d);
    }
    return -2.0 * sum;
}

}  // namespace

struct PsdCone::State {
    Matrix r, r_inv, w, w_inv;  // R, R^-1, Wm = R R' and Wm^-1
    Eigen::VectorXd lambda;  // the diagonal of Lambda
};

int32_t PsdCone::order_of(int64_t dim) {
    const int64_t n = std::llround((std::sqrt(8.0 * double(dim) + 1.0) - 1.0) / 2.0);
    return n >= 1 && n * (n + 1) / 2 == dim ? int32_t(n) : 0;
}

PsdCone::PsdCone(int64_t dim) : Cone(dim), n_(order_of(dim)), st_(std::make_unique<State>()) { set_identity_scaling(); }

PsdCone::~PsdCone() = default;

void PsdCone::unit_point(Vec s, Vec z) const {
    std::fill(s.begin(), s.end(), 0.0);
    std::fill(z.begin(), z.end(), 0.0);
    shift_by_unit(s, 1.0, true);
    shift_by_unit(z, 1.0, false);
}

double PsdCone::unit_margin(CVec v) const {
    Eigen::SelfAdjointEigenSolver<Matrix> eig(to_matrix(v, n_), Eigen::EigenvaluesOnly);
    return eig.eigenvalues()(0);
}

void PsdCone::shift_by_unit(Vec v, double alpha, bool) const {
    size_t p = 0;
    for (int32_t l = 0; l < n_; ++l) {
        v[p] += alpha;
        p += size_t(n_ - l);
    }
}

void PsdCone::set_identity_scaling() {
    st_->r = st_->r_inv = st_->w = st_->w_inv = Matrix::Identity(n_, n_);
    st_->lambda = Eigen::VectorXd::Ones(n_);
}

bool PsdCone::update_scaling(CVec s, CVec z, double) {
    Eigen::LLT<Matrix> ls(to_matrix(s, n_)), lz(to_matrix(z, n_));
    if (ls.info() != Eigen::Success || lz.info() != Eigen::Success) return false;
    const Matrix l1 = ls.matrixL(), l2 = lz.matrixL();
    Eigen::BDCSVD<Matrix> svd(l2.transpose() * l1, Eigen::ComputeFullU | Eigen::ComputeFullV);
    const Eigen::VectorXd sigma = svd.singularValues();
    if (!(sigma.minCoeff() > 0.0) || !std::isfinite(sigma.maxCoeff())) return false;
    const Eigen::VectorXd root = sigma.cwiseSqrt().cwiseInverse();
    st_->r = l1 * svd.matrixV() * root.asDiagonal();
    st_->r_inv = root.asDiagonal() * svd.matrixU().transpose() * l2.transpose();
    st_->w = st_->r * st_->r.transpose();
    st_->w_inv = st_->r_inv.transpose() * st_->r_inv;
    st_->lambda = sigma;
    return true;
}

// H is the symmetric Kronecker product: for svec positions p = (i, j) and
// q = (k, l), H_pq = 2 s_p s_q (W_ik W_jl + W_il W_jk) with s = 1/2 on the
// diagonal and 1/sqrt 2 off it.
void PsdCone::block_values(Vec out) const {
    const Matrix& w = st_->w;
    std::vector<int32_t> row, col;
    svec_elements(n_, row, col);
    size_t at = 0;
    for (size_t q = 0; q < row.size(); ++q) {
        const int32_t k = row[q], l = col[q];
        const double sq = k == l ? 0.5 : 1.0 / kRoot2;
        for (size_t p = 0; p <= q; ++p) {
            const int32_t i = row[p], j = col[p];
            const double sp = i == j ? 0.5 : 1.0 / kRoot2;
            out[at++] = 2.0 * sp * sq * (w(i, k) * w(j, l) + w(i, l) * w(j, k));
        }
    }
}

void PsdCone::mul_h(CVec v, Vec out) const { congruence(st_->w, v, n_, out); }

void PsdCone::mul_w_inverse(CVec v, Vec out, bool transpose) const {
    // W v = R' V R, so W^-1 V = R^-T V R^-1 and W^-T V = R^-1 V R^-T.
    if (transpose)
        congruence(st_->r_inv, v, n_, out);
    else
        congruence(st_->r_inv.transpose(), v, n_, out);
}

// Column q of G is the svec of a symmetric matrix G_q; the Gram entries are
// <G_p, Wm^-1 G_q Wm^-1> = <Gs_p, Gs_q> with the scaled columns
// Gs_q = R^-1 G_q R^-T (Wm^-1 = R^-T R^-1), and Gs_q = sum m c_i c_j' over
// the ordered element pairs (i, j, m) of G_q, c_i the columns of R^-1.
//
// Near an optimum where the problem has no interior, Wm^-1 has entries of
// very different sizes, and the entries of Wm^-1 G_q Wm^-1 summed over a
// column with many elements cancel each other: formed that way the Gram
// matrix loses its definiteness (negative eigenvalues were seen).  Columns
// with many elements ("long" ones) are therefore scaled first and their
// Gram entries taken as inner products of the scaled matrices, a Gram
// matrix to working precision, with errors of the size of R^-1 rather than
// of Wm^-1.  Between two short columns (one element or a symmetric pair) the
// entry is the few products sum m_p m_q Wi_jk Wi_li, which cannot cancel
// much and costs nothing, as for the diagonal columns of max-cut
// relaxations.
namespace {

constexpr int64_t kShortColumnPairs = 2;
// Memory for the scaled long columns kept at once (a PSD cone of order 1000
// with 2000 long columns would otherwise ask for 8 GB).
constexpr int64_t kScaledColumnsBytes = int64_t(512) << 20;

struct ElementPair {
    int32_t i, j;
    double m;
};

// The ordered element pairs of the columns of G, starting at start[q].
void column_pairs(int32_t n, const std::vector<int64_t>& ptr, const std::vector<int64_t>& row,
                  const std::vector<double>& val, std::vector<int64_t>& start, std::vector<ElementPair>& pairs) {
    std::vector<int32_t> pk, pl;
    svec_elements(n, pk, pl);
    const size_t cols = ptr.size() - 1;
    start.assign(cols + 1, 0);
    pairs.clear();
    for (size_t q = 0; q < cols; ++q) {
        for (int64_t t = ptr[q]; t < ptr[q + 1]; ++t) {
            const int32_t k = pk[size_t(row[size_t(t)])], l = pl[size_t(row[size_t(t)])];
            if (k == l) {
                pairs.push_back({k, k, val[size_t(t)]});
            } else {
                pairs.push_back({k, l, val[size_t(t)] / kRoot2});
                pairs.push_back({l, k, val[size_t(t)] / kRoot2});
            }
        }
        start[q + 1] = int64_t(pairs.size());
    }
}

// R^-1 G_q R^-T for the pairs [first, last) of G_q, symmetrized: with I the
// rows G_q touches, (R^-1)_I times the rows I of G_q R^-T, |I| n^2 products.
void scaled_column(const Matrix& ri, const ElementPair* first, const ElementPair* last, Matrix& out,
                   std::vector<int32_t>& local) {
    const int64_t n = ri.rows();
    local.assign(size_t(n), -1);
    std::vector<int32_t> rows;
    for (const ElementPair* a = first; a != last; ++a)
        if (local[size_t(a->i)] < 0) {
            local[size_t(a->i)] = int32_t(rows.size());
            rows.push_back(a->i);
        }
    Matrix part = Matrix::Zero(int64_t(rows.size()), n);  // rows I of G_q R^-T
    for (const ElementPair* a = first; a != last; ++a) part.row(local[size_t(a->i)]) += a->m * ri.col(a->j).transpose();
    Matrix columns(n, int64_t(rows.size()));
    for (size_t r = 0; r < rows.size(); ++r) columns.col(int64_t(r)) = ri.col(rows[r]);
    out.noalias() = columns * part;
    out = 0.5 * (out + out.transpose()).eval();
}

}  // namespace

void PsdCone::inverse_gram(const std::vector<int64_t>& ptr, const std::vector<int64_t>& row,
                           const std::vector<double>& val, std::vector<double>& upper) const {
    inverse_gram_within(ptr, row, val, upper, kScaledColumnsBytes);
}

void PsdCone::inverse_gram_within(const std::vector<int64_t>& ptr, const std::vector<int64_t>& row,
                                  const std::vector<double>& val, std::vector<double>& upper,
                                  int64_t scaled_columns_bytes) const {
    const Matrix& wi = st_->w_inv;
    const Matrix& ri = st_->r_inv;
    std::vector<int64_t> start;
    std::vector<ElementPair> pairs;
    column_pairs(n_, ptr, row, val, start, pairs);
    const int64_t cols = int64_t(ptr.size()) - 1;
    upper.assign(size_t(cols * (cols + 1) / 2), 0.0);
    auto at = [&](int64_t p, int64_t q) -> double& {
        return p <= q ? upper[size_t(q * (q + 1) / 2 + p)] : upper[size_t(p * (p + 1) / 2 + q)];
    };
    auto is_long = [&](int64_t q) { return start[size_t(q) + 1] - start[size_t(q)] > kShortColumnPairs; };
    std::vector<int64_t> long_cols, short_cols;
    for (int64_t q = 0; q < cols; ++q) (is_long(q) ? long_cols : short_cols).push_back(q);

    for (size_t b = 0; b < short_cols.size(); ++b)
        for (size_t a = 0; a <= b; ++a) {
            const int64_t p = short_cols[a], q = short_cols[b];
            double sum = 0.0;
            for (int64_t x = start[size_t(p)]; x < start[size_t(p) + 1]; ++x)
                for (int64_t y = start[size_t(q)]; y < start[size_t(q) + 1]; ++y)
                    sum += pairs[size_t(x)].m * pairs[size_t(y)].m * wi(pairs[size_t(x)].j, pairs[size_t(y)].i) *
                           wi(pairs[size_t(y)].j, pairs[size_t(x)].i);
            at(p, q) = sum;
        }
    if (long_cols.empty()) return;

    // The scaled long columns, in svec form (inner products of svec vectors
    // are those of the matrices), and their Gram matrix.  Where they would
    // take more memory than allowed, each scaled column is used at once
    // against the columns before it, the way short columns are: the same
    // inner products summed in another order, n^3 work per column.
    const int64_t dim = int64_t(n_) * (n_ + 1) / 2;
    const bool stored = double(dim) * double(long_cols.size()) * sizeof(double) <= double(scaled_columns_bytes);
    Matrix scaled(stored ? dim : 0, stored ? int64_t(long_cols.size()) : 0);
    Matrix gs(n_, n_), rig;
    std::vector<int32_t> local;
    // sum m c_i' Gs_q c_j over the pairs of column p, with rig = Gs_q R^-1.
    auto against = [&](int64_t p) {
        double sum = 0.0;
        for (int64_t x = start[size_t(p)]; x < start[size_t(p) + 1]; ++x)
            sum += pairs[size_t(x)].m * ri.col(pairs[size_t(x)].i).dot(rig.col(pairs[size_t(x)].j));
        return sum;
    };
    for (size_t c = 0; c < long_cols.size(); ++c) {
        const int64_t q = long_cols[c];
        scaled_column(ri, pairs.data() + start[size_t(q)], pairs.data() + start[size_t(q) + 1], gs, local);
        if (stored) to_svec(gs, Vec(scaled.col(int64_t(c)).data(), size_t(dim)));
        if (stored && short_cols.empty()) continue;
        rig.noalias() = gs * ri;  // column j: Gs_q c_j
        for (int64_t p : short_cols) at(p, q) = against(p);
        if (!stored)
            for (size_t a = 0; a <= c; ++a) at(long_cols[a], q) = against(long_cols[a]);
    }
    if (!stored) return;
    Matrix gram(long_cols.size(), long_cols.size());
    gram.setZero();
    gram.selfadjointView<Eigen::Lower>().rankUpdate(scaled.transpose());
    for (size_t b = 0; b < long_cols.size(); ++b)
        for (size_t a = b; a < long_cols.size(); ++a) at(long_cols[a], long_cols[b]) = gram(int64_t(a), int64_t(b));
}

void PsdCone::affine_ds(CVec, CVec, Vec ds) const {
    std::fill(ds.begin(), ds.end(), 0.0);
    size_t p = 0;
    for (int32_t l = 0; l < n_; ++l) {
        ds[p] = st_->lambda(l) * st_->lambda(l);
        p += size_t(n_ - l);
    }
}

void PsdCone::combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift) {
    const Matrix a = st_->r_inv * to_matrix(ds_aff, n_) * st_->r_inv.transpose();  // W^-T ds
    const Matrix b = st_->r.transpose() * to_matrix(dz_aff, n_) * st_->r;          // W dz
    to_svec(0.5 * (a * b + b * a), shift);
    shift_by_unit(shift, -sigma_mu, true);
}

void PsdCone::ds_offset(CVec ds, CVec, Vec out) {
    // lambda \ D: X with (Lambda X + X Lambda) / 2 = D, then W' X = R X R'.
    Matrix x = to_matrix(ds, n_);
    for (int32_t l = 0; l < n_; ++l)
        for (int32_t k = 0; k < n_; ++k) x(k, l) *= 2.0 / (st_->lambda(k) + st_->lambda(l));
    to_svec(st_->r * x * st_->r.transpose(), out);
}

double PsdCone::max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const {
    const double a = step_within(to_matrix(s, n_), to_matrix(ds, n_), alpha_max);
    return step_within(to_matrix(z, n_), to_matrix(dz, n_), a);
}

double PsdCone::barrier(CVec s, CVec z) const {
    return minus_log_det(to_matrix(s, n_)) + minus_log_det(to_matrix(z, n_));
}

}  // namespace vlt::solve::ipm
