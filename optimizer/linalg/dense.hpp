// Dense vector and matrix kernels on plain row-major arrays (no leading
// dimension: an m x n matrix is m*n consecutive doubles, row after row).
// Every routine validates its sizes, codes and pointers first and throws
// vlt::Error without touching any output when they are wrong:
//   negative size -> VLT_RES_ERR_LA_DIMENSION, transposition or triangle
//   code other than 0/1 -> VLT_RES_ERR_INVALID_ENUM, null array that would be
//   read or written -> VLT_RES_ERR_NULL_POINTER.
#pragma once

#include <cstdint>

namespace vlt::linalg {

// y := alpha*x + y (n elements).
void axpy(int32_t n, double alpha, const double* x, double* y);

// x'y.
double dot(int32_t n, const double* x, const double* y);

// y := alpha*op(A)*x + beta*y with A stored m x n.  trans 0: op(A) = A
// (x has n elements, y m); trans 1: op(A) = A' (x has m, y n).
void gemv(int32_t trans, int32_t m, int32_t n, double alpha, const double* a, const double* x, double beta,
          double* y);

// C := alpha*op(A)*op(B) + beta*C with C m x n, op(A) m x k, op(B) k x n.
// A is stored m x k (transa 0) or k x m (transa 1), B k x n (transb 0) or
// n x k (transb 1).
void gemm(int32_t transa, int32_t transb, int32_t m, int32_t n, int32_t k, double alpha, const double* a,
          const double* b, double beta, double* c);

// C := alpha*A*A' + beta*C (trans 0, A stored n x k) or alpha*A'*A + beta*C
// (trans 1, A stored k x n), C n x n.  Only the triangle selected by uplo
// (0 lower, 1 upper; the diagonal included) is computed and written; the
// other triangle of C is left as it was.
void syrk(int32_t uplo, int32_t trans, int32_t n, int32_t k, double alpha, const double* a, double beta,
          double* c);

// Cholesky factorization of the symmetric positive definite n x n matrix
// whose triangle uplo is stored in a (the other triangle is not read).
// uplo 0: A = L*L', L written to the lower triangle; uplo 1: A = U'*U, U
// written to the upper triangle.  The other triangle is left as it was.
// A matrix that is not positive definite gives VLT_RES_ERR_LA_NOT_POSDEF and
// leaves a unchanged.
void potrf(int32_t uplo, int32_t n, double* a);

// Eigenvalues, in ascending order, of the symmetric n x n matrix whose
// triangle uplo is stored in a (the other triangle is not read).
void syeig(int32_t uplo, int32_t n, const double* a, double* w);

// As syeig, and the eigenvectors overwrite a: column j of the row-major
// result (a[i*n + j], i = 0..n-1) is the unit eigenvector of w[j], so that
// A = V*diag(w)*V'.
void syevd(int32_t uplo, int32_t n, double* a, double* w);

}  // namespace vlt::linalg
