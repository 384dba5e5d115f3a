// Sparse Cholesky factorization and triangular solves.
//
// Matrices are in column layout: column j holds nzc[j] entries starting at
// position ptrc[j] of the row-index array sub and the value array val.
#pragma once

#include <cstdint>
#include <vector>

namespace vlt::linalg {

// The factor of a symmetric positive definite matrix A (n x n):
//   L*L' = P*(A + diag(perturbation))*P',  with (P*M*P')(k,l) = M(perm[k], perm[l]).
// L is lower triangular in column layout; each column lists its rows in
// ascending order, the diagonal first.  perturbation[i] is what was added to
// A(i,i) (original numbering) where a pivot was found singular.
struct SparseFactor {
    std::vector<int32_t> perm;
    std::vector<double> perturbation;
    std::vector<int32_t> nzc;
    std::vector<int64_t> ptrc;
    std::vector<int32_t> sub;
    std::vector<double> val;
};

// Factors A, given by its lower triangle (entries with row >= column; an
// entry above the diagonal or out of range is refused with VLT_RES_ERR_INDEX,
// a repeated entry with VLT_RES_ERR_DUPLICATE_INDEX).
//   ordermethod: VLT_ORDER_METHOD_NONE keeps the given order; FREE, APPMINLOC
//     and GRAPHPAR use an approximate minimum degree ordering; anything else
//     gives VLT_RES_ERR_INVALID_ENUM.
//   tolsingular: with a positive value, a pivot whose magnitude is at most
//     tolsingular times the largest diagonal magnitude of A (or 1 when that is
//     0) is raised to that bound and the addition recorded; a pivot below
//     minus the bound, or any pivot <= 0 when tolsingular <= 0, gives
//     VLT_RES_ERR_LA_NOT_POSDEF.
// Sizes are checked (negative n or counts, negative positions, a column
// that does not lie within the sum of the counts, which is all that asubc
// and avalc are taken to hold: VLT_RES_ERR_LA_DIMENSION; null arrays:
// VLT_RES_ERR_NULL_POINTER).
SparseFactor sparse_cholesky(int32_t ordermethod, double tolsingular, int32_t n, const int32_t* anzc,
                             const int64_t* aptrc, const int32_t* asubc, const double* avalc);

// Solves L*x = b (transposed 0) or L'*x = b (transposed 1) in place in b, for
// a lower triangular L in column layout with nz entries in sub and val (any
// order within a column; its diagonal must be present and non-zero).  The
// whole matrix is checked before b is touched: positions outside [0, nz]
// give VLT_RES_ERR_LA_DIMENSION, a row outside [j, n) in column j or a
// missing diagonal VLT_RES_ERR_INDEX, a zero diagonal VLT_RES_ERR_LA_NOT_POSDEF.
void sparse_triangular_solve(int32_t transposed, int32_t n, const int32_t* lnzc, const int64_t* lptrc, int64_t nz,
                             const int32_t* lsubc, const double* lvalc, double* b);

}  // namespace vlt::linalg
