// Entry points of the dense and sparse linear-algebra routines.  They work
// on the caller's arrays and need no task; the environment only receives
// the error messages.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api/impl.hpp"
#include "linalg/dense.hpp"
#include "linalg/sparse_cholesky.hpp"

namespace vlt {
namespace {

// A copy of a vector in memory that VLT_freeenv (std::free) releases; never
// null, also for no elements.
template <class T>
T* handed_over(const std::vector<T>& values) {
    size_t bytes = values.size() * sizeof(T);
    void* memory = std::malloc(bytes > 0 ? bytes : 1);
    if (!memory) throw std::bad_alloc();
    if (bytes > 0) std::memcpy(memory, values.data(), bytes);
    return static_cast<T*>(memory);
}

// Frees, on unwinding, what was handed over so far.
struct HandOver {
    std::vector<void*> pointers;
    bool done = false;
    ~HandOver() {
        if (!done)
            for (void* p : pointers) std::free(p);
    }
    template <class T>
    void give(T** out, const std::vector<T>& values) {
        T* p = handed_over(values);
        pointers.push_back(p);
        *out = p;
    }
};

void require_out(const void* p, const char* name) {
    if (!p) fail(VLT_RES_ERR_NULL_POINTER, std::string("Argument ") + name + " is null");
}

}  // namespace

void impl::axpy(Env&, int32_t n, double alpha, const double* x, double* y) { linalg::axpy(n, alpha, x, y); }

void impl::dot(Env&, int32_t n, const double* x, const double* y, double* xty) {
    require_out(xty, "xty");
    *xty = linalg::dot(n, x, y);
}

void impl::gemv(Env&, int32_t transa, int32_t m, int32_t n, double alpha, const double* a, const double* x,
                double beta, double* y) {
    linalg::gemv(transa, m, n, alpha, a, x, beta, y);
}

void impl::gemm(Env&, int32_t transa, int32_t transb, int32_t m, int32_t n, int32_t k, double alpha, const double* a,
                const double* b, double beta, double* c) {
    linalg::gemm(transa, transb, m, n, k, alpha, a, b, beta, c);
}

void impl::syrk(Env&, int32_t uplo, int32_t trans, int32_t n, int32_t k, double alpha, const double* a, double beta,
                double* c) {
    linalg::syrk(uplo, trans, n, k, alpha, a, beta, c);
}

void impl::potrf(Env&, int32_t uplo, int32_t n, double* a) { linalg::potrf(uplo, n, a); }

void impl::syeig(Env&, int32_t uplo, int32_t n, const double* a, double* w) { linalg::syeig(uplo, n, a, w); }

void impl::syevd(Env&, int32_t uplo, int32_t n, double* a, double* w) { linalg::syevd(uplo, n, a, w); }

// The seven outputs are set only on success (null otherwise, nz 0); the
// caller frees each array with VLT_freeenv.
void impl::computesparsecholesky(Env&, int32_t numthreads, int32_t ordermethod, double tolsingular, int32_t n,
                                 const int32_t* anzc, const int64_t* aptrc, const int32_t* asubc,
                                 const double* avalc, int32_t** perm, double** diag, int32_t** lnzc,
                                 int64_t** lptrc, int64_t* lensubnval, int32_t** lsubc, double** lvalc) {
    (void)numthreads;  // the factorization runs on the calling thread
    require_out(perm, "perm");
    require_out(diag, "diag");
    require_out(lnzc, "lnzc");
    require_out(lptrc, "lptrc");
    require_out(lensubnval, "lensubnval");
    require_out(lsubc, "lsubc");
    require_out(lvalc, "lvalc");
    *perm = nullptr;
    *diag = nullptr;
    *lnzc = nullptr;
    *lptrc = nullptr;
    *lsubc = nullptr;
    *lvalc = nullptr;
    *lensubnval = 0;
    linalg::SparseFactor f = linalg::sparse_cholesky(ordermethod, tolsingular, n, anzc, aptrc, asubc, avalc);
    int32_t* out_perm = nullptr;
    double* out_diag = nullptr;
    int32_t* out_lnzc = nullptr;
    int64_t* out_lptrc = nullptr;
    int32_t* out_lsubc = nullptr;
    double* out_lvalc = nullptr;
    HandOver hand;
    hand.give(&out_perm, f.perm);
    hand.give(&out_diag, f.perturbation);
    hand.give(&out_lnzc, f.nzc);
    hand.give(&out_lptrc, f.ptrc);
    hand.give(&out_lsubc, f.sub);
    hand.give(&out_lvalc, f.val);
    hand.done = true;
    *perm = out_perm;
    *diag = out_diag;
    *lnzc = out_lnzc;
    *lptrc = out_lptrc;
    *lsubc = out_lsubc;
    *lvalc = out_lvalc;
    *lensubnval = int64_t(f.sub.size());
}

void impl::sparsetriangularsolvedense(Env&, int32_t transposed, int32_t n, const int32_t* lnzc, const int64_t* lptrc,
                                      int64_t lensubnval, const int32_t* lsubc, const double* lvalc, double* b) {
    linalg::sparse_triangular_solve(transposed, n, lnzc, lptrc, lensubnval, lsubc, lvalc, b);
}

}  // namespace vlt
