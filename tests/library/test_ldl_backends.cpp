// The LDL' backends of the interior-point optimizer against each other:
// random quasi-definite systems (sparse ones, and ones whose factor has
// large supernodes), pivots of the wrong sign (both must regularize the same
// pivots the same way), KKT systems of public QP instances, and the choice
// of backend by name and by the symbolic analysis.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "check.hpp"
#include "io/mps_reader.hpp"
#include "solve/ipm/linsys/backend_choice.hpp"
#include "solve/ipm/linsys/quasidefinite_solver.hpp"
#include "solve/ipm/linsys/supernodal_ldl.hpp"
#include "solve/ipm/linsys/up_looking_ldl.hpp"

using namespace vlt::solve::ipm;

namespace {

// A symmetric matrix as a map (row <= col) -> value, with the expected
// sign of each pivot.
struct System {
    int64_t n = 0;
    std::map<std::pair<int64_t, int64_t>, double> upper;
    std::vector<int8_t> signs;

    void add(int64_t i, int64_t j, double v) { upper[{std::min(i, j), std::max(i, j)}] += v; }
    UpperCsc csc() const {
        UpperCsc a;
        a.n = n;
        a.colptr.assign(size_t(n) + 1, 0);
        std::vector<std::vector<std::pair<int64_t, double>>> cols(static_cast<size_t>(n));
        for (const auto& [ij, v] : upper) cols[size_t(ij.second)].emplace_back(ij.first, v);
        for (int64_t j = 0; j < n; ++j) {
            for (const auto& [i, v] : cols[size_t(j)]) a.rowind.push_back(i), a.values.push_back(v);
            a.colptr[size_t(j) + 1] = int64_t(a.rowind.size());
        }
        return a;
    }
    std::vector<double> multiply(const std::vector<double>& x) const {
        std::vector<double> y(size_t(n), 0.0);
        for (const auto& [ij, v] : upper) {
            y[size_t(ij.first)] += v * x[size_t(ij.second)];
            if (ij.first != ij.second) y[size_t(ij.second)] += v * x[size_t(ij.first)];
        }
        return y;
    }
};

struct Lcg {
    unsigned s;
    double next() { return (s = s * 1103515245u + 12345u) / 4294967296.0; }
};

// [D1 + Q, B'; B, -D2]: n1 primal and n2 dual rows; each row of B has
// entries in a share `density` of the primal columns; Q couples
// neighbouring primal columns; half of D2 is the regularization 1e-8 alone.  Scalings spread over `spread` decades,
// as an interior-point iteration near its end makes them.
System quasi_definite(int64_t n1, int64_t n2, double density, double spread, unsigned seed) {
    Lcg r{seed};
    System s;
    s.n = n1 + n2;
    s.signs.assign(size_t(s.n), 1);
    std::vector<double> d(static_cast<size_t>(n1));
    for (int64_t i = 0; i < n1; ++i) s.add(i, i, d[size_t(i)] = std::pow(10.0, spread * (r.next() - 0.5)));
    // |Q_i,i+1| <= 0.4 sqrt(d_i d_i+1) keeps D1 + Q positive definite.
    for (int64_t i = 0; i + 1 < n1; ++i) s.add(i, i + 1, 0.8 * (r.next() - 0.5) * std::sqrt(d[size_t(i)] * d[size_t(i) + 1]));
    for (int64_t i = n1; i < s.n; ++i) {
        s.signs[size_t(i)] = -1;
        s.add(i, i, -1e-8 - std::pow(10.0, spread * (r.next() - 0.5)) * (r.next() < 0.5 ? 0.0 : 1.0));
        for (int64_t j = 0; j < n1; ++j)
            if (r.next() < density) s.add(j, i, r.next() - 0.5);
    }
    return s;
}

// A dense positive definite primal block of order n and one dual row.
System dense_primal(int64_t n) {
    System s = quasi_definite(n, 1, 0.0, 0.0, 11u);
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = i + 2; j < n; ++j) s.add(i, j, 0.1 / double(n));
    return s;
}

double relative_residual(const System& s, const std::vector<double>& x, const std::vector<double>& b) {
    const std::vector<double> kx = s.multiply(x);
    double r = 0.0, nb = 0.0;
    for (int64_t i = 0; i < s.n; ++i) r = std::max(r, std::fabs(kx[size_t(i)] - b[size_t(i)])), nb = std::max(nb, std::fabs(b[size_t(i)]));
    return r / nb;
}

// Factors and solves with both backends; returns the two solutions and the
// regularized pivot counts.
struct Both {
    std::vector<double> up, super;
    int64_t up_regularized = 0, super_regularized = 0;
    int64_t supernodes = 0;
};
Both solve_both(const System& s, const std::vector<double>& b, double replacement = 1e-7) {
    const UpperCsc a = s.csc();
    Both out;
    UpLookingLdl u;
    SupernodalLdl v;
    CHECK(u.analyze(a) && v.analyze(a), "n = %lld: analysis", static_cast<long long>(s.n));
    out.up_regularized = u.factor(a.values, s.signs, 1e-13, replacement);
    out.super_regularized = v.factor(a.values, s.signs, 1e-13, replacement);
    out.up = b;
    out.super = b;
    u.solve(out.up);
    v.solve(out.super);
    out.supernodes = v.supernodes();
    return out;
}

double max_relative_difference(const std::vector<double>& x, const std::vector<double>& y) {
    double d = 0.0, scale = 0.0;
    for (size_t i = 0; i < x.size(); ++i) d = std::max(d, std::fabs(x[i] - y[i])), scale = std::max(scale, std::fabs(x[i]));
    return d / std::max(scale, 1e-300);
}

std::vector<double> rhs(int64_t n) {
    std::vector<double> b(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) b[size_t(i)] = std::sin(double(i) + 1.0);
    return b;
}

void test_random_systems() {
    struct Case {
        int64_t n1, n2;
        double density, spread;
        bool large_supernodes;  // the factor ends in a wide dense block
    };
    const Case cases[] = {
        {1, 1, 1.0, 0.0, false},   {7, 3, 0.3, 2.0, false},    {60, 25, 0.05, 4.0, false},
        {300, 120, 0.01, 6.0, false}, {250, 200, 0.3, 4.0, true}, {600, 150, 0.5, 8.0, true},
    };
    for (const Case& c : cases) {
        const System s = quasi_definite(c.n1, c.n2, c.density, c.spread, unsigned(c.n1 * 7 + c.n2));
        const std::vector<double> b = rhs(s.n);
        const Both r = solve_both(s, b);
        const double ru = relative_residual(s, r.up, b), rs = relative_residual(s, r.super, b);
        const double tol = 1e-9 * std::pow(10.0, c.spread / 2);
        CHECK(r.up_regularized == 0 && r.super_regularized == 0, "n = %lld: no pivot regularized (%lld, %lld)",
              static_cast<long long>(s.n), static_cast<long long>(r.up_regularized),
              static_cast<long long>(r.super_regularized));
        CHECK(rs <= tol, "n = %lld: supernodal residual %.2e (up-looking %.2e)", static_cast<long long>(s.n), rs, ru);
        CHECK(max_relative_difference(r.up, r.super) <= 1e3 * tol, "n = %lld: solutions differ by %.2e",
              static_cast<long long>(s.n), max_relative_difference(r.up, r.super));
        if (c.large_supernodes)  // columns really merged into wide blocks
            CHECK(r.supernodes * 4 < s.n, "n = %lld: %lld supernodes", static_cast<long long>(s.n),
                  static_cast<long long>(r.supernodes));
    }
}

// Pivots of the wrong sign or (numerically) zero: both backends replace the
// same ones by the same value, so their solutions agree.
void test_regularized_pivots() {
    for (double bad : {-1.0, 0.0, 1e-15}) {
        System s = quasi_definite(80, 40, 0.2, 2.0, 99u);
        // Primal pivots 3 and 50 lose their diagonal, dual pivot 100 gets the
        // wrong sign.
        for (int64_t i : {3, 50}) s.upper[{i, i}] = bad;
        s.upper[{100, 100}] = -bad;
        // (a replacement of 1 keeps the factor's entries of moderate size)
        const Both r = solve_both(s, rhs(s.n), 1.0);
        CHECK(r.up_regularized >= 1 && r.up_regularized == r.super_regularized,
              "bad pivot %g: regularized %lld (up-looking) and %lld (supernodal)", bad,
              static_cast<long long>(r.up_regularized), static_cast<long long>(r.super_regularized));
        CHECK(max_relative_difference(r.up, r.super) <= 1e-6, "bad pivot %g: solutions differ by %.2e", bad,
              max_relative_difference(r.up, r.super));
    }
    // A pivot that is not finite fails the factorization in both.
    System s = quasi_definite(20, 10, 0.3, 0.0, 5u);
    s.upper[{4, 4}] = std::nan("");
    const UpperCsc a = s.csc();
    UpLookingLdl u;
    SupernodalLdl v;
    CHECK(u.analyze(a) && v.analyze(a));
    CHECK(u.factor(a.values, s.signs, 1e-13, 1e-7) == -1 && v.factor(a.values, s.signs, 1e-13, 1e-7) == -1,
          "a NaN pivot fails both factorizations");
}

// The KKT system [Q + Dx, A'; A, -Dz] of a public instance, with scalings
// spread as near the end of an interior-point run.
void test_public_kkt() {
    const char* dir = std::getenv("VELTO_DATA_DIR");
    for (const char* name : {"CVXQP1_S", "CVXQP3_M", "AUG3DCQP"}) {
        const std::string path = std::string(dir ? dir : "") + "/maros/" + name + ".QPS.gz";
        if (dir == nullptr || !std::ifstream(path)) {
            std::printf("skipped: %s (VELTO_DATA_DIR not set or file absent)\n", name);
            continue;
        }
        const vlt::model::ProblemData d = vlt::io::read_mps_file(path, vlt::io::MpsFlavor::free);
        System s;
        const int64_t n = d.numvar, m = d.numcon;
        s.n = n + m;
        s.signs.assign(size_t(s.n), 1);
        Lcg r{7u};
        for (int64_t j = 0; j < n; ++j) s.add(j, j, 1e-8 + std::pow(10.0, 8.0 * (r.next() - 0.5)));
        for (size_t t = 0; t < d.qoval.size(); ++t) s.add(d.qosubj[t], d.qosubi[t], d.qoval[t]);
        for (int64_t j = 0; j < n; ++j)
            for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p) s.add(j, n + d.asub[size_t(p)], d.aval[size_t(p)]);
        for (int64_t i = n; i < s.n; ++i) s.add(i, i, -1e-8), s.signs[size_t(i)] = -1;
        const std::vector<double> b = rhs(s.n);
        const Both both = solve_both(s, b);
        CHECK(both.up_regularized == both.super_regularized, "%s: regularized %lld and %lld", name,
              static_cast<long long>(both.up_regularized), static_cast<long long>(both.super_regularized));
        CHECK(max_relative_difference(both.up, both.super) <= 1e-6, "%s: solutions differ by %.2e", name,
              max_relative_difference(both.up, both.super));
        const double rs = relative_residual(s, both.super, b), ru = relative_residual(s, both.up, b);
        CHECK(rs <= 10.0 * ru + 1e-12, "%s: supernodal residual %.2e, up-looking %.2e", name, rs, ru);
    }
}

void test_choice() {
    CHECK(ldl_method_named("supernodal") == LdlMethod::supernodal);
    CHECK(ldl_method_named("up-looking") == LdlMethod::up_looking);
    CHECK(ldl_method_named("automatic") == LdlMethod::automatic);
    CHECK(!ldl_method_named("Supernodal").has_value(), "names are exact");
    // A small sparse system stays up-looking; one with a wide dense factor
    // goes supernodal; a name overrides the choice.
    const UpperCsc small = quasi_definite(30, 10, 0.1, 0.0, 3u).csc();
    const UpperCsc dense = dense_primal(1200).csc();
    auto kind = [](const std::unique_ptr<LdlBackend>& b) {
        return dynamic_cast<SupernodalLdl*>(b.get()) ? "supernodal" : dynamic_cast<UpLookingLdl*>(b.get()) ? "up" : "none";
    };
    CHECK(std::string(kind(analysed_backend(small, LdlMethod::automatic))) == "up");
    CHECK(std::string(kind(analysed_backend(dense, LdlMethod::automatic))) == "supernodal");
    CHECK(std::string(kind(analysed_backend(small, LdlMethod::supernodal))) == "supernodal");
    CHECK(std::string(kind(analysed_backend(dense, LdlMethod::up_looking))) == "up");
    // Invalid patterns are refused whatever the backend.
    UpperCsc lower_entry;
    lower_entry.n = 2;
    lower_entry.colptr = {0, 2, 3};
    lower_entry.rowind = {0, 1, 1};
    lower_entry.values = {1, 1, 1};
    UpperCsc missing_diagonal;
    missing_diagonal.n = 2;
    missing_diagonal.colptr = {0, 1, 2};
    missing_diagonal.rowind = {0, 0};
    missing_diagonal.values = {1, 1};
    for (const UpperCsc* bad : {&lower_entry, &missing_diagonal})
        for (LdlMethod method : {LdlMethod::automatic, LdlMethod::up_looking, LdlMethod::supernodal})
            CHECK(analysed_backend(*bad, method) == nullptr, "an invalid pattern is refused");
}

// A long factorization asks its interrupt and stops when told to, in both
// backends; the quasi-definite solver then reports it and does not retry.
void test_interrupt() {
    const System s = dense_primal(1200);  // about 6e8 multiply-adds
    const UpperCsc a = s.csc();
    for (LdlMethod method : {LdlMethod::up_looking, LdlMethod::supernodal}) {
        const char* name = method == LdlMethod::supernodal ? "supernodal" : "up-looking";
        for (bool stop : {false, true}) {
            int questions = 0;
            std::unique_ptr<LdlBackend> b = analysed_backend(a, method);
            b->set_interrupt([&] { ++questions; return stop; });
            const int64_t status = b->factor(a.values, s.signs, 1e-13, 1e-7);
            if (stop)
                CHECK(status == LdlBackend::kInterrupted && questions == 1, "%s: status %lld after %d questions", name,
                      static_cast<long long>(status), questions);
            else
                CHECK(status == 0 && questions >= 2, "%s: status %lld, %d questions", name,
                      static_cast<long long>(status), questions);
        }
        QuasiDefiniteSolver solver(method);
        int questions = 0;
        solver.set_interrupt([&] { return ++questions >= 2; });
        std::vector<double> reg(size_t(s.n), 0.0);
        CHECK(solver.analyze(a, s.signs, reg));
        CHECK(!solver.factor(a) && solver.interrupted() && solver.factorizations() == 1,
              "%s: an interrupted factorization is not retried (%lld)", name,
              static_cast<long long>(solver.factorizations()));
        solver.set_interrupt(nullptr);
        CHECK(solver.factor(a) && !solver.interrupted(), "%s: factors again without the interrupt", name);
    }
}

// A pattern analysed again (same pattern, other values) reuses the kept
// ordering, and the factorization is that of the new values; another
// pattern is ordered anew.
void test_kept_ordering() {
    System first = quasi_definite(60, 30, 0.2, 2.0, 21u);
    System second = first;
    for (auto& entry : second.upper) entry.second *= 2.0;
    const System other = quasi_definite(61, 30, 0.2, 2.0, 21u);
    const int64_t before = reused_orderings();
    for (const System* s : {static_cast<const System*>(&first), static_cast<const System*>(&second), &other}) {
        const UpperCsc a = s->csc();
        std::unique_ptr<LdlBackend> b = analysed_backend(a, LdlMethod::supernodal);
        CHECK(b != nullptr && b->factor(a.values, s->signs, 1e-13, 1e-7) == 0);
        std::vector<double> x = rhs(s->n);
        b->solve(x);
        CHECK(relative_residual(*s, x, rhs(s->n)) <= 1e-8, "residual %.2e", relative_residual(*s, x, rhs(s->n)));
    }
    CHECK(reused_orderings() == before + 1, "reused %lld times", static_cast<long long>(reused_orderings() - before));
}

}  // namespace

int main() {
    test_kept_ordering();
    test_interrupt();
    test_random_systems();
    test_regularized_pivots();
    test_public_kkt();
    test_choice();
    return vlt_test::report();
}
