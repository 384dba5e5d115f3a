// The few BLAS kernels the library calls (Fortran interface of the system's
// BLAS, column-major, arguments by address).
#pragma once

extern "C" {
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* b, const int* ldb, const double* beta, double* c,
            const int* ldc);
void dgemv_(const char* trans, const int* m, const int* n, const double* alpha, const double* a, const int* lda,
            const double* x, const int* incx, const double* beta, double* y, const int* incy);
}

namespace vlt::linalg {

// C = alpha A B' + beta C with A m x k, B n x k (column-major, leading
// dimensions lda, ldb, ldc).
inline void gemm_nt(int m, int n, int k, double alpha, const double* a, int lda, const double* b, int ldb, double beta,
                    double* c, int ldc) {
    const char t = 'T', nt = 'N';
    dgemm_(&nt, &t, &m, &n, &k, &alpha, a, &lda, b, &ldb, &beta, c, &ldc);
}

// y = alpha op(A) x + beta y, op(A) = A (transpose false) or A'; A is m x n.
inline void gemv(bool transpose, int m, int n, double alpha, const double* a, int lda, const double* x, double beta,
                 double* y) {
    const char t = transpose ? 'T' : 'N';
    const int one = 1;
    dgemv_(&t, &m, &n, &alpha, a, &lda, x, &one, &beta, y, &one);
}

}  // namespace vlt::linalg
