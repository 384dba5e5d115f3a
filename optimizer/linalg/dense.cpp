#include "linalg/dense.hpp"

#include <Eigen/Dense>

#include <string>

#include "base/error.hpp"

namespace vlt::linalg {
namespace {

using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
using ConstMap = Eigen::Map<const RowMatrix>;
using Map = Eigen::Map<RowMatrix>;

void dimension(int64_t value, const char* name) {
    if (value < 0) fail(VLT_RES_ERR_LA_DIMENSION, std::string("Argument ") + name + " is negative");
}

void code01(int32_t value, const char* name) {
    if (value != 0 && value != 1)
        fail(VLT_RES_ERR_INVALID_ENUM, std::string("Argument ") + name + " is " + std::to_string(value) +
                                           ", not 0 or 1");
}

void pointer(const void* p, int64_t count, const char* name) {
    if (!p && count > 0) fail(VLT_RES_ERR_NULL_POINTER, std::string("Argument ") + name + " is null");
}

// The full symmetric matrix from the triangle uplo of a row-major n x n array.
Eigen::MatrixXd symmetric(int32_t uplo, int32_t n, const double* a) {
    Eigen::MatrixXd full(n, n);
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j <= i; ++j) {
            double v = uplo == VLT_UPLO_LO ? a[int64_t(i) * n + j] : a[int64_t(j) * n + i];
            full(i, j) = v;
            full(j, i) = v;
        }
    return full;
}

void eigen(int32_t uplo, int32_t n, const double* a, double* w, double* vectors) {
    code01(uplo, "uplo");
    dimension(n, "n");
    int64_t nn = int64_t(n) * n;
    pointer(a, nn, "a");
    pointer(w, n, "w");
    if (n == 0) return;
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(
        symmetric(uplo, n, a), vectors ? Eigen::ComputeEigenvectors : Eigen::EigenvaluesOnly);
    if (solver.info() != Eigen::Success)
        fail(VLT_RES_ERR_LA_NO_CONVERGENCE, "The eigenvalue iteration did not converge");
    Eigen::Map<Eigen::VectorXd>(w, n) = solver.eigenvalues();
    if (vectors) Map(vectors, n, n) = solver.eigenvectors();
}

}  // namespace

void axpy(int32_t n, double alpha, const double* x, double* y) {
    dimension(n, "n");
    pointer(x, n, "x");
    pointer(y, n, "y");
    for (int32_t i = 0; i < n; ++i) y[i] += alpha * x[i];
}

double dot(int32_t n, const double* x, const double* y) {
    dimension(n, "n");
    pointer(x, n, "x");
    pointer(y, n, "y");
    double sum = 0.0;
    for (int32_t i = 0; i < n; ++i) sum += x[i] * y[i];
    return sum;
}

void gemv(int32_t trans, int32_t m, int32_t n, double alpha, const double* a, const double* x, double beta,
          double* y) {
    code01(trans, "transa");
    dimension(m, "m");
    dimension(n, "n");
    int32_t xn = trans == VLT_TRANSPOSE_NO ? n : m;
    int32_t yn = trans == VLT_TRANSPOSE_NO ? m : n;
    pointer(a, int64_t(m) * n, "a");
    pointer(x, xn, "x");
    pointer(y, yn, "y");
    if (yn == 0) return;
    Eigen::Map<Eigen::VectorXd> out(y, yn);
    Eigen::VectorXd product = Eigen::VectorXd::Zero(yn);
    if (xn > 0) {
        ConstMap A(a, m, n);
        Eigen::Map<const Eigen::VectorXd> in(x, xn);
        if (trans == VLT_TRANSPOSE_NO)
            product.noalias() = A * in;
        else
            product.noalias() = A.transpose() * in;
    }
    out = (beta == 0.0 ? Eigen::VectorXd::Zero(yn) : Eigen::VectorXd(beta * out)) + alpha * product;
}

void gemm(int32_t transa, int32_t transb, int32_t m, int32_t n, int32_t k, double alpha, const double* a,
          const double* b, double beta, double* c) {
    code01(transa, "transa");
    code01(transb, "transb");
    dimension(m, "m");
    dimension(n, "n");
    dimension(k, "k");
    pointer(a, int64_t(m) * k, "a");
    pointer(b, int64_t(k) * n, "b");
    pointer(c, int64_t(m) * n, "c");
    if (int64_t(m) * n == 0) return;
    Map C(c, m, n);
    RowMatrix product = RowMatrix::Zero(m, n);
    if (k > 0) {
        ConstMap A(a, transa == VLT_TRANSPOSE_NO ? m : k, transa == VLT_TRANSPOSE_NO ? k : m);
        ConstMap B(b, transb == VLT_TRANSPOSE_NO ? k : n, transb == VLT_TRANSPOSE_NO ? n : k);
        if (transa == VLT_TRANSPOSE_NO && transb == VLT_TRANSPOSE_NO)
            product.noalias() = A * B;
        else if (transa == VLT_TRANSPOSE_NO)
            product.noalias() = A * B.transpose();
        else if (transb == VLT_TRANSPOSE_NO)
            product.noalias() = A.transpose() * B;
        else
            product.noalias() = A.transpose() * B.transpose();
    }
    // beta = 0 ignores what C held (it may be uninitialised, even NaN).
    if (beta == 0.0)
        C = alpha * product;
    else
        C = beta * C + alpha * product;
}

void syrk(int32_t uplo, int32_t trans, int32_t n, int32_t k, double alpha, const double* a, double beta,
          double* c) {
    code01(uplo, "uplo");
    code01(trans, "trans");
    dimension(n, "n");
    dimension(k, "k");
    pointer(a, int64_t(n) * k, "a");
    pointer(c, int64_t(n) * n, "c");
    if (n == 0) return;
    Eigen::MatrixXd product = Eigen::MatrixXd::Zero(n, n);
    if (k > 0) {
        if (trans == VLT_TRANSPOSE_NO) {
            ConstMap A(a, n, k);
            product.noalias() = A * A.transpose();
        } else {
            ConstMap A(a, k, n);
            product.noalias() = A.transpose() * A;
        }
    }
    Map C(c, n, n);
    for (int32_t i = 0; i < n; ++i) {
        int32_t from = uplo == VLT_UPLO_LO ? 0 : i;
        int32_t to = uplo == VLT_UPLO_LO ? i : n - 1;
        for (int32_t j = from; j <= to; ++j)
            C(i, j) = (beta == 0.0 ? 0.0 : beta * C(i, j)) + alpha * product(i, j);
    }
}

void potrf(int32_t uplo, int32_t n, double* a) {
    code01(uplo, "uplo");
    dimension(n, "n");
    pointer(a, int64_t(n) * n, "a");
    if (n == 0) return;
    Eigen::LLT<Eigen::MatrixXd> llt(symmetric(uplo, n, a));
    // LLT only reports a failure for a non-positive pivot; a NaN pivot is
    // caught by checking the factor's diagonal as well.
    bool ok = llt.info() == Eigen::Success;
    Eigen::MatrixXd L = llt.matrixL();
    for (int32_t j = 0; ok && j < n; ++j) ok = L(j, j) > 0.0;
    if (!ok) fail(VLT_RES_ERR_LA_NOT_POSDEF, "The matrix is not positive definite");
    Map A(a, n, n);
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j <= i; ++j) {
            if (uplo == VLT_UPLO_LO)
                A(i, j) = L(i, j);
            else
                A(j, i) = L(i, j);
        }
}

void syeig(int32_t uplo, int32_t n, const double* a, double* w) { eigen(uplo, n, a, w, nullptr); }

void syevd(int32_t uplo, int32_t n, double* a, double* w) { eigen(uplo, n, a, w, a); }

}  // namespace vlt::linalg
