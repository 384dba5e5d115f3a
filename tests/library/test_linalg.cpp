// The linear-algebra entry points against naive reference loops on random
// data: both transpositions and both triangles, the error codes, and the
// sparse Cholesky factorization (solve and compare, non-positive-definite
// detection, singular pivots with a tolerance).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "check.hpp"
#include "velto.h"

namespace {

std::mt19937 rng(12345);
using Vec = std::vector<double>;

Vec random_vec(size_t n) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Vec v(n);
    for (double& x : v) x = u(rng);
    return v;
}

double max_diff(const Vec& a, const Vec& b) {
    double d = a.size() == b.size() ? 0.0 : INFINITY;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

// Element (i, j) of op(M) for M stored rows x cols, row-major.
double op(const Vec& m, int cols, bool trans, int i, int j) {
    return trans ? m[size_t(j) * cols + i] : m[size_t(i) * cols + j];
}

// Random symmetric positive definite n x n (full storage).
Vec random_spd(int n) {
    Vec b = random_vec(size_t(n) * n), a(size_t(n) * n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < n; ++k) a[size_t(i) * n + j] += b[size_t(i) * n + k] * b[size_t(j) * n + k];
            if (i == j) a[size_t(i) * n + j] += n;
        }
    return a;
}

void vectors(VLTenv_t env) {
    Vec x = random_vec(7), y = random_vec(7), expect = y;
    for (int i = 0; i < 7; ++i) expect[size_t(i)] += 0.75 * x[size_t(i)];
    CHECK(VLT_axpy(env, 7, 0.75, x.data(), y.data()) == VLT_RES_OK && max_diff(y, expect) < 1e-15);
    double d = 0, ref = 0;
    for (int i = 0; i < 7; ++i) ref += x[size_t(i)] * y[size_t(i)];
    CHECK(VLT_dot(env, 7, x.data(), y.data(), &d) == VLT_RES_OK && std::fabs(d - ref) < 1e-14);
    CHECK(VLT_dot(env, 0, nullptr, nullptr, &d) == VLT_RES_OK && d == 0.0);
    CHECK(VLT_axpy(env, -1, 1.0, x.data(), y.data()) == VLT_RES_ERR_LA_DIMENSION);
    CHECK(VLT_axpy(env, 3, 1.0, nullptr, y.data()) == VLT_RES_ERR_NULL_POINTER);
    CHECK(VLT_dot(env, 3, x.data(), y.data(), nullptr) == VLT_RES_ERR_NULL_POINTER);
}

void gemv_gemm() {
    const int m = 4, n = 3, k = 5;
    for (int trans = 0; trans <= 1; ++trans) {
        Vec a = random_vec(m * n);
        int xn = trans ? m : n, yn = trans ? n : m;
        Vec x = random_vec(size_t(xn)), y = random_vec(size_t(yn)), expect = y;
        for (int i = 0; i < yn; ++i) {
            double s = 0;
            for (int j = 0; j < xn; ++j) s += op(a, n, trans, i, j) * x[size_t(j)];
            expect[size_t(i)] = 1.5 * s - 0.5 * y[size_t(i)];
        }
        CHECK(VLT_gemv(nullptr, trans, m, n, 1.5, a.data(), x.data(), -0.5, y.data()) == VLT_RES_OK &&
                  max_diff(y, expect) < 1e-13,
              "trans %d", trans);
    }
    for (int ta = 0; ta <= 1; ++ta)
        for (int tb = 0; tb <= 1; ++tb) {
            Vec a = random_vec(m * k), b = random_vec(k * n), c = random_vec(m * n), expect = c;
            for (int i = 0; i < m; ++i)
                for (int j = 0; j < n; ++j) {
                    double s = 0;
                    for (int l = 0; l < k; ++l) s += op(a, ta ? m : k, ta, i, l) * op(b, tb ? k : n, tb, l, j);
                    expect[size_t(i) * n + j] = 2.0 * s + 0.25 * c[size_t(i) * n + j];
                }
            CHECK(VLT_gemm(nullptr, ta, tb, m, n, k, 2.0, a.data(), b.data(), 0.25, c.data()) == VLT_RES_OK &&
                      max_diff(c, expect) < 1e-13,
                  "transa %d transb %d", ta, tb);
        }
    // beta 0 ignores what C held.
    Vec a = random_vec(m * k), b = random_vec(k * n), c(size_t(m) * n, NAN);
    CHECK(VLT_gemm(nullptr, 0, 0, m, n, k, 1.0, a.data(), b.data(), 0.0, c.data()) == VLT_RES_OK &&
          std::all_of(c.begin(), c.end(), [](double v) { return std::isfinite(v); }));
    CHECK(VLT_gemm(nullptr, 2, 0, m, n, k, 1.0, a.data(), b.data(), 0.0, c.data()) == VLT_RES_ERR_INVALID_ENUM);
    CHECK(VLT_gemm(nullptr, 0, 0, m, -n, k, 1.0, a.data(), b.data(), 0.0, c.data()) == VLT_RES_ERR_LA_DIMENSION);
    CHECK(VLT_gemv(nullptr, 0, m, n, 1.0, a.data(), nullptr, 0.0, c.data()) == VLT_RES_ERR_NULL_POINTER);
    CHECK(VLT_gemv(nullptr, -1, m, n, 1.0, a.data(), a.data(), 0.0, c.data()) == VLT_RES_ERR_INVALID_ENUM);
}

void syrk_potrf_eig() {
    const int n = 5, k = 3;
    for (int uplo = 0; uplo <= 1; ++uplo)
        for (int trans = 0; trans <= 1; ++trans) {
            Vec a = random_vec(n * k), c = random_vec(n * n), before = c;
            CHECK(VLT_syrk(nullptr, uplo, trans, n, k, 0.5, a.data(), 2.0, c.data()) == VLT_RES_OK);
            bool ok = true;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    bool in = uplo == VLT_UPLO_LO ? j <= i : j >= i;
                    double s = 0;
                    for (int l = 0; l < k; ++l)
                        s += op(a, trans ? n : k, trans, i, l) * op(a, trans ? n : k, trans, j, l);
                    double want = in ? 0.5 * s + 2.0 * before[size_t(i) * n + j] : before[size_t(i) * n + j];
                    ok = ok && std::fabs(c[size_t(i) * n + j] - want) < 1e-13;
                }
            CHECK(ok, "syrk uplo %d trans %d", uplo, trans);
        }

    for (int uplo = 0; uplo <= 1; ++uplo) {
        Vec spd = random_spd(n), a = spd;
        // The triangle that is not read holds garbage; it must be left as it was.
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (uplo == VLT_UPLO_LO ? j > i : j < i) a[size_t(i) * n + j] = 99.0;
        CHECK(VLT_potrf(nullptr, uplo, n, a.data()) == VLT_RES_OK);
        bool ok = true;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                if (uplo == VLT_UPLO_LO ? j > i : j < i) ok = ok && a[size_t(i) * n + j] == 99.0;
                // Rebuild A from the factor: L L' (lower) or U' U (upper).
                double s = 0;
                for (int l = 0; l <= std::min(i, j); ++l)
                    s += uplo == VLT_UPLO_LO ? a[size_t(i) * n + l] * a[size_t(j) * n + l]
                                              : a[size_t(l) * n + i] * a[size_t(l) * n + j];
                ok = ok && std::fabs(s - spd[size_t(i) * n + j]) < 1e-10;
            }
        CHECK(ok, "potrf uplo %d", uplo);
    }
    Vec indefinite = random_spd(n);
    indefinite[2 * n + 2] = -50.0;
    Vec kept = indefinite;
    CHECK(VLT_potrf(nullptr, 0, n, indefinite.data()) == VLT_RES_ERR_LA_NOT_POSDEF && indefinite == kept);
    CHECK(VLT_potrf(nullptr, 3, n, indefinite.data()) == VLT_RES_ERR_INVALID_ENUM);

    for (int uplo = 0; uplo <= 1; ++uplo) {
        Vec sym = random_vec(n * n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < i; ++j) sym[size_t(j) * n + i] = sym[size_t(i) * n + j];
        Vec a = sym;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (uplo == VLT_UPLO_LO ? j > i : j < i) a[size_t(i) * n + j] = 1e3;
        Vec w(n), wv(n), v = a;
        CHECK(VLT_syeig(nullptr, uplo, n, a.data(), w.data()) == VLT_RES_OK && std::is_sorted(w.begin(), w.end()));
        CHECK(VLT_syevd(nullptr, uplo, n, v.data(), wv.data()) == VLT_RES_OK && max_diff(w, wv) < 1e-12);
        // A v_j = w_j v_j for every column j, and the columns are unit vectors.
        bool ok = true;
        for (int j = 0; j < n; ++j) {
            double norm = 0;
            for (int i = 0; i < n; ++i) {
                double s = 0;
                for (int l = 0; l < n; ++l) s += sym[size_t(i) * n + l] * v[size_t(l) * n + j];
                ok = ok && std::fabs(s - w[size_t(j)] * v[size_t(i) * n + j]) < 1e-10;
                norm += v[size_t(i) * n + j] * v[size_t(i) * n + j];
            }
            ok = ok && std::fabs(norm - 1.0) < 1e-10;
        }
        CHECK(ok, "syevd uplo %d", uplo);
        double trace = 0, sum = 0;
        for (int i = 0; i < n; ++i) trace += sym[size_t(i) * n + i], sum += w[size_t(i)];
        CHECK(std::fabs(trace - sum) < 1e-10);
    }
    Vec w(2);
    CHECK(VLT_syeig(nullptr, 0, -2, w.data(), w.data()) == VLT_RES_ERR_LA_DIMENSION);
    CHECK(VLT_syeig(nullptr, 0, 2, nullptr, w.data()) == VLT_RES_ERR_NULL_POINTER);
}

// A random sparse SPD matrix as its lower triangle in column layout, and its
// dense form.
struct Sparse {
    int n;
    std::vector<int32_t> nzc, sub;
    std::vector<int64_t> ptrc;
    Vec val, dense;
};

Sparse random_sparse_spd(int n, double density) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Sparse s{n, {}, {}, {}, {}, Vec(size_t(n) * n, 0.0)};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j)
            if (u(rng) < density) {
                double v = u(rng) * 2 - 1;
                s.dense[size_t(i) * n + j] = s.dense[size_t(j) * n + i] = v;
            }
    for (int i = 0; i < n; ++i) {
        double row = 0;
        for (int j = 0; j < n; ++j) row += std::fabs(s.dense[size_t(i) * n + j]);
        s.dense[size_t(i) * n + i] = row + 0.5 + u(rng);  // diagonally dominant
    }
    // Columns stored in reverse order of rows and out of column order, to
    // show that only nzc and ptrc locate them.
    for (int j = n - 1; j >= 0; --j) {
        int64_t start = int64_t(s.sub.size());
        for (int i = n - 1; i >= j; --i)
            if (s.dense[size_t(i) * n + j] != 0.0) {
                s.sub.push_back(i);
                s.val.push_back(s.dense[size_t(i) * n + j]);
            }
        s.nzc.insert(s.nzc.begin(), int32_t(int64_t(s.sub.size()) - start));
        s.ptrc.insert(s.ptrc.begin(), start);
    }
    return s;
}

struct Factor {
    int32_t *perm = nullptr, *lnzc = nullptr, *lsubc = nullptr;
    double *diag = nullptr, *lvalc = nullptr;
    int64_t *lptrc = nullptr, nz = -1;
    int32_t res = -1;
    void free_all() {
        for (void* p : {static_cast<void*>(perm), static_cast<void*>(diag), static_cast<void*>(lnzc),
                        static_cast<void*>(lptrc), static_cast<void*>(lsubc), static_cast<void*>(lvalc)})
            VLT_freeenv(nullptr, p);
    }
};

Factor factor(const Sparse& s, int ordermethod, double tol) {
    Factor f;
    f.res = VLT_computesparsecholesky(nullptr, 1, ordermethod, tol, s.n, s.nzc.data(), s.ptrc.data(), s.sub.data(),
                                      s.val.data(), &f.perm, &f.diag, &f.lnzc, &f.lptrc, &f.nz, &f.lsubc, &f.lvalc);
    return f;
}

// Solves A x = b with the factor: x = P' L^-T L^-1 P b.
Vec solve_with(const Sparse& s, const Factor& f, const Vec& b) {
    Vec y(size_t(s.n));
    for (int k = 0; k < s.n; ++k) y[size_t(k)] = b[size_t(f.perm[k])];
    CHECK(VLT_sparsetriangularsolvedense(nullptr, 0, s.n, f.lnzc, f.lptrc, f.nz, f.lsubc, f.lvalc, y.data()) == 0);
    CHECK(VLT_sparsetriangularsolvedense(nullptr, 1, s.n, f.lnzc, f.lptrc, f.nz, f.lsubc, f.lvalc, y.data()) == 0);
    Vec x(size_t(s.n));
    for (int k = 0; k < s.n; ++k) x[size_t(f.perm[k])] = y[size_t(k)];
    return x;
}

void sparse_cholesky() {
    for (int ordermethod : {VLT_ORDER_METHOD_FREE, VLT_ORDER_METHOD_NONE})
        for (int n : {1, 8, 40}) {
            Sparse s = random_sparse_spd(n, 0.15);
            Factor f = factor(s, ordermethod, 0.0);
            CHECK(f.res == VLT_RES_OK, "res %d", f.res);
            if (f.res != VLT_RES_OK) continue;
            // perm is a permutation (the identity without ordering); the
            // diagonal of every column comes first; nothing was perturbed.
            std::vector<int32_t> sorted(f.perm, f.perm + n);
            std::sort(sorted.begin(), sorted.end());
            bool is_perm = true, identity = true, diag_first = true, no_perturbation = true;
            int64_t total = 0;
            for (int k = 0; k < n; ++k) {
                is_perm = is_perm && sorted[size_t(k)] == k;
                identity = identity && f.perm[k] == k;
                diag_first = diag_first && f.lnzc[k] >= 1 && f.lsubc[f.lptrc[k]] == k && f.lvalc[f.lptrc[k]] > 0;
                no_perturbation = no_perturbation && f.diag[k] == 0.0;
                total += f.lnzc[k];
            }
            CHECK(is_perm && diag_first && no_perturbation && total == f.nz);
            if (ordermethod == VLT_ORDER_METHOD_NONE) CHECK(identity);
            // L L' equals the permuted matrix.
            Vec l(size_t(n) * n, 0.0);
            for (int j = 0; j < n; ++j)
                for (int64_t p = f.lptrc[j]; p < f.lptrc[j] + f.lnzc[j]; ++p) l[size_t(f.lsubc[p]) * n + j] = f.lvalc[p];
            double err = 0;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    double v = 0;
                    for (int k = 0; k < n; ++k) v += l[size_t(i) * n + k] * l[size_t(j) * n + k];
                    err = std::max(err, std::fabs(v - s.dense[size_t(f.perm[i]) * n + f.perm[j]]));
                }
            CHECK(err < 1e-10, "n %d order %d: |LL' - PAP'| = %g", n, ordermethod, err);
            Vec x = random_vec(size_t(n)), b(size_t(n), 0.0);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) b[size_t(i)] += s.dense[size_t(i) * n + j] * x[size_t(j)];
            CHECK(max_diff(solve_with(s, f, b), x) < 1e-9, "n %d order %d solve", n, ordermethod);
            f.free_all();
        }

    // Not positive definite: an indefinite diagonal entry, and a singular
    // matrix without tolerance; with a tolerance the singular pivot is raised.
    Sparse s = random_sparse_spd(6, 0.3);
    Sparse bad = s;
    for (size_t p = 0; p < bad.sub.size(); ++p)
        if (bad.sub[p] == 3 && p == size_t(bad.ptrc[3]) + bad.nzc[3] - 1) bad.val[p] = -5.0;
    Factor f = factor(bad, VLT_ORDER_METHOD_NONE, 1e-8);
    CHECK(f.res == VLT_RES_ERR_LA_NOT_POSDEF && f.perm == nullptr && f.lvalc == nullptr && f.nz == 0);

    // [[1, 1], [1, 1]]: the second pivot is 0.
    Sparse singular{2, {2, 1}, {0, 1, 1}, {0, 2}, {1.0, 1.0, 1.0}, {1, 1, 1, 1}};
    CHECK(factor(singular, VLT_ORDER_METHOD_NONE, 0.0).res == VLT_RES_ERR_LA_NOT_POSDEF);
    f = factor(singular, VLT_ORDER_METHOD_NONE, 1e-6);
    CHECK(f.res == VLT_RES_OK && f.diag[0] == 0.0 && std::fabs(f.diag[1] - 1e-6) < 1e-15 &&
          std::fabs(f.lvalc[f.lptrc[1]] - 1e-3) < 1e-12);
    if (f.res == VLT_RES_OK) f.free_all();

    // Structure errors.
    Sparse upper{2, {1, 2}, {0, 1}, {0, 1}, {1.0, 1.0, 1.0}, {}};
    upper.sub = {1, 0, 1};  // column 1 lists row 0: above the diagonal
    CHECK(factor(upper, VLT_ORDER_METHOD_NONE, 0.0).res == VLT_RES_ERR_INDEX);
    Sparse twice{2, {2, 1}, {1, 1, 1}, {0, 1}, {1.0, 1.0, 1.0}, {}};
    twice.ptrc = {0, 2};
    twice.sub = {0, 0, 1};
    CHECK(factor(twice, VLT_ORDER_METHOD_NONE, 0.0).res == VLT_RES_ERR_DUPLICATE_INDEX);
    CHECK(factor(s, 7, 0.0).res == VLT_RES_ERR_INVALID_ENUM);
    Sparse negative = s;
    negative.n = -1;
    CHECK(factor(negative, VLT_ORDER_METHOD_NONE, 0.0).res == VLT_RES_ERR_LA_DIMENSION);
    // A column outside the sum(nzc) entries that sub and val hold is refused
    // before anything is read.
    for (int64_t position : {int64_t(1) << 40, int64_t(s.sub.size()) - s.nzc[0] + 1}) {
        Sparse far = s;
        far.ptrc[0] = position;
        CHECK(factor(far, VLT_ORDER_METHOD_NONE, 0.0).res == VLT_RES_ERR_LA_DIMENSION, "position %lld",
              static_cast<long long>(position));
    }

    // Triangular solve errors: b is untouched.
    int32_t lnzc[2] = {2, 1}, lsubc[3] = {0, 1, 1};
    int64_t lptrc[2] = {0, 2};
    double lvalc[3] = {2.0, 1.0, 4.0}, b[2] = {2.0, 9.0};
    CHECK(VLT_sparsetriangularsolvedense(nullptr, 0, 2, lnzc, lptrc, 3, lsubc, lvalc, b) == VLT_RES_OK &&
          b[0] == 1.0 && b[1] == 2.0);
    CHECK(VLT_sparsetriangularsolvedense(nullptr, 1, 2, lnzc, lptrc, 3, lsubc, lvalc, b) == VLT_RES_OK &&
          b[1] == 0.5 && b[0] == 0.25);
    CHECK(VLT_sparsetriangularsolvedense(nullptr, 0, 2, lnzc, lptrc, 2, lsubc, lvalc, b) == VLT_RES_ERR_LA_DIMENSION);
    CHECK(VLT_sparsetriangularsolvedense(nullptr, 2, 2, lnzc, lptrc, 3, lsubc, lvalc, b) == VLT_RES_ERR_INVALID_ENUM);
    lvalc[2] = 0.0;
    CHECK(VLT_sparsetriangularsolvedense(nullptr, 0, 2, lnzc, lptrc, 3, lsubc, lvalc, b) ==
              VLT_RES_ERR_LA_NOT_POSDEF &&
          b[1] == 0.5);
    lsubc[2] = 0;  // column 1 without its diagonal
    CHECK(VLT_sparsetriangularsolvedense(nullptr, 0, 2, lnzc, lptrc, 3, lsubc, lvalc, b) == VLT_RES_ERR_INDEX);
}

}  // namespace

int main() {
    VLTenv_t env = nullptr;
    CHECK(VLT_makeenv(&env, nullptr) == VLT_RES_OK);
    vectors(env);
    gemv_gemm();
    syrk_potrf_eig();
    sparse_cholesky();
    VLT_deleteenv(&env);
    return vlt_test::report();
}
