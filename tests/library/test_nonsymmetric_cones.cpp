// The exponential, power and geometric-mean cones of the interior-point
// method: the barriers' derivatives against finite differences, the
// conjugate points, the cones' sets against the solution checker's
// violation measure, the scaling's secant equations, steps and the barrier
// on the central path.
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "check.hpp"
#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/cones/exponential.hpp"
#include "solve/ipm/cones/nonsymmetric.hpp"
#include "solve/ipm/cones/power.hpp"
#include "solve/quality/cone_distance.hpp"
#include "velto.h"

using namespace vlt::solve;
using namespace vlt::solve::ipm;

namespace {

using V = std::vector<double>;

struct Lcg {
    unsigned state;
    double next() { return (state = state * 1664525u + 1013904223u) / 4294967296.0; }
    double range(double a, double b) { return a + (b - a) * next(); }
};

double max_abs_diff(const V& a, const V& b) {
    double d = 0.0;
    for (size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

double max_abs(const V& a) {
    double d = 0.0;
    for (double v : a) d = std::max(d, std::fabs(v));
    return d;
}

// A point of the dual interior: the central point moved at random, pulled
// back towards it until it is inside.
V dual_point(const DualBarrier& b, Lcg& g, double spread) {
    const int64_t n = b.dim();
    V e(n), u(n);
    b.central_point(e.data());
    for (double t = spread;; t *= 0.5) {
        for (int64_t i = 0; i < n; ++i) u[i] = e[i] * g.range(0.5, 1.5) + t * g.range(-1, 1);
        if (b.in_dual_interior(u.data())) return u;
    }
}

V primal_point(const DualBarrier& b, Lcg& g, double spread) {
    const int64_t n = b.dim();
    V e(n), x(n);
    b.central_point(e.data());
    for (double t = spread;; t *= 0.5) {
        for (int64_t i = 0; i < n; ++i) x[i] = e[i] * g.range(0.5, 1.5) + t * g.range(-1, 1);
        if (b.in_primal_interior(x.data())) return x;
    }
}

struct BarrierCase {
    std::string name;
    std::function<std::unique_ptr<DualBarrier>()> make;
};

std::vector<BarrierCase> barrier_cases() {
    return {
        {"exponential", [] { return std::make_unique<ExponentialBarrier>(); }},
        {"power 3, alpha 0.3", [] { return std::make_unique<PowerBarrier>(3, V{0.3, 0.7}); }},
        {"power 5, weights 1 2 3", [] { return std::make_unique<PowerBarrier>(5, V{1, 2, 3}); }},
        {"power 4, one weight", [] { return std::make_unique<PowerBarrier>(4, V{2.0}); }},
        {"power 3, no trailing member", [] { return std::make_unique<PowerBarrier>(3, V{1, 1, 2}); }},
        {"geometric mean 6", [] { return std::make_unique<PowerBarrier>(6, V(5, 1.0)); }},
    };
}

// Gradient, Hessian and third derivative against central differences of
// the level below; logarithmic homogeneity: grad g(u)'u = -nu, hess u = -grad.
void test_derivatives() {
    for (const auto& c : barrier_cases()) {
        auto b = c.make();
        const int64_t n = b->dim();
        Lcg g{17};
        for (int trial = 0; trial < 5; ++trial) {
            V u = dual_point(*b, g, 0.3), grad(n), hess(n * n), a(n), w(n), third(n);
            for (int64_t i = 0; i < n; ++i) a[i] = g.range(-1, 1), w[i] = g.range(-1, 1);
            b->gradient(u.data(), grad.data());
            b->hessian(u.data(), hess.data());
            b->third_order(u.data(), a.data(), w.data(), third.data());
            const double h = 1e-6;
            V fd_grad(n), fd_hess(n * n), fd_third(n, 0.0), gp(n), gm(n), hp(n * n), hm(n * n);
            for (int64_t i = 0; i < n; ++i) {
                V up(u), um(u);
                up[i] += h, um[i] -= h;
                fd_grad[i] = (b->value(up.data()) - b->value(um.data())) / (2 * h);
                b->gradient(up.data(), gp.data());
                b->gradient(um.data(), gm.data());
                for (int64_t j = 0; j < n; ++j) fd_hess[j * n + i] = (gp[j] - gm[j]) / (2 * h);
            }
            // D^3 g[a, w] = d/dt (hess(u + t a) w)
            V up(u), um(u);
            for (int64_t i = 0; i < n; ++i) up[i] += h * a[i], um[i] -= h * a[i];
            b->hessian(up.data(), hp.data());
            b->hessian(um.data(), hm.data());
            for (int64_t i = 0; i < n; ++i)
                for (int64_t j = 0; j < n; ++j) fd_third[i] += (hp[i * n + j] - hm[i * n + j]) / (2 * h) * w[j];
            const char* name = c.name.c_str();
            CHECK(max_abs_diff(grad, fd_grad) <= 1e-6 * (1 + max_abs(grad)), "%s: gradient", name);
            CHECK(max_abs_diff(hess, fd_hess) <= 1e-6 * (1 + max_abs(hess)), "%s: Hessian", name);
            CHECK(max_abs_diff(third, fd_third) <= 1e-5 * (1 + max_abs(third)), "%s: third derivative %.3e", name,
                  max_abs_diff(third, fd_third));
            double gu = 0.0, worst = 0.0;
            for (int64_t i = 0; i < n; ++i) {
                gu += grad[i] * u[i];
                double hu = 0.0;
                for (int64_t j = 0; j < n; ++j) hu += hess[i * n + j] * u[j];
                worst = std::max(worst, std::fabs(hu + grad[i]));
            }
            CHECK(std::fabs(gu + b->degree()) <= 1e-10 * b->degree(), "%s: grad'u = %.12g", name, gu);
            CHECK(worst <= 1e-9 * (1 + max_abs(grad)), "%s: hess u + grad = %.2e", name, worst);
        }
    }
}

// -grad g(u) = x at the conjugate point, which lies in the dual interior;
// the central point is its own conjugate point.
void test_conjugate_points() {
    for (const auto& c : barrier_cases()) {
        auto b = c.make();
        const int64_t n = b->dim();
        Lcg g{23};
        const char* name = c.name.c_str();
        for (double spread : {0.1, 1.0, 10.0}) {
            for (int trial = 0; trial < 5; ++trial) {
                V x = primal_point(*b, g, spread), u(n), grad(n);
                CHECK(b->conjugate_point(x.data(), u.data()), "%s: conjugate point found", name);
                CHECK(b->in_dual_interior(u.data()), "%s: conjugate point inside", name);
                b->gradient(u.data(), grad.data());
                for (auto& v : grad) v = -v;
                CHECK(max_abs_diff(grad, x) <= 1e-9 * max_abs(x), "%s: -grad g(u) - x = %.2e", name,
                      max_abs_diff(grad, x));
            }
        }
        V e(n), u(n);
        b->central_point(e.data());
        CHECK(b->conjugate_point(e.data(), u.data()) && max_abs_diff(u, e) <= 1e-12, "%s: central point", name);
    }
    // Close to the boundary: x3 = x2 log(x1 / x2) - 1e-9.
    ExponentialBarrier exp_barrier;
    V x{2.0, 0.5, 0.5 * std::log(4.0) - 1e-9}, u(3), grad(3);
    CHECK(exp_barrier.conjugate_point(x.data(), u.data()));
    exp_barrier.gradient(u.data(), grad.data());
    CHECK(std::fabs(-grad[2] - x[2]) <= 1e-8 * std::fabs(x[2]) && std::fabs(-grad[0] - x[0]) <= 1e-8 * x[0],
          "exponential near its boundary");
}

// The domains of the optimizer's cones are the sets whose violation the
// solution checker measures: points inside have none, points outside some,
// for the cone (primal side) and its dual.
void test_sets_agree_with_the_checker() {
    struct Domain {
        int32_t kind;
        int64_t dim;
        V alpha;
    };
    const Domain domains[] = {{VLT_DOMAIN_PRIMAL_EXP_CONE, 3, {}},       {VLT_DOMAIN_DUAL_EXP_CONE, 3, {}},
                              {VLT_DOMAIN_PRIMAL_POWER_CONE, 3, {0.3, 0.7}}, {VLT_DOMAIN_DUAL_POWER_CONE, 5, {1, 2, 3}},
                              {VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE, 4, {}},  {VLT_DOMAIN_DUAL_GEO_MEAN_CONE, 4, {}}};
    for (const Domain& d : domains) {
        auto cone = CompositeCone({ConeRows{d.kind, 0, d.dim, d.alpha}});
        V alpha = d.alpha;
        const DomainShape shape{d.kind, alpha.data(), int64_t(alpha.size())};
        const DomainShape dual{dual_domain_kind(d.kind), alpha.data(), int64_t(alpha.size())};
        Lcg g{unsigned(d.kind * 31 + d.dim)};
        int inside_s = 0, outside_s = 0, inside_z = 0, outside_z = 0;
        for (int trial = 0; trial < 400; ++trial) {
            V s(d.dim), z(d.dim), zero(d.dim, 0.0);
            for (int64_t i = 0; i < d.dim; ++i) s[i] = g.range(-1, 2), z[i] = g.range(-1, 2);
            // max_step of the zero direction is kLongestStep exactly when the point is interior.
            V e(d.dim), ez(d.dim);
            cone.unit_point(e, ez);
            const bool s_in = cone.max_step(s, zero, ez, zero, 1.0) == 1.0;
            const bool z_in = cone.max_step(e, zero, z, zero, 1.0) == 1.0;
            const double vs = domain_violation(shape, s.data(), d.dim), vz = domain_violation(dual, z.data(), d.dim);
            CHECK(s_in == (vs == 0.0) || std::fabs(vs) < 1e-12, "domain %d: s inside %d, violation %.3e", d.kind,
                  int(s_in), vs);
            CHECK(z_in == (vz == 0.0) || std::fabs(vz) < 1e-12, "domain %d: z inside %d, violation %.3e", d.kind,
                  int(z_in), vz);
            (s_in ? inside_s : outside_s)++;
            (z_in ? inside_z : outside_z)++;
        }
        CHECK(inside_s > 10 && outside_s > 10 && inside_z > 10 && outside_z > 10,
              "domain %d: the sample hits both sides (%d %d %d %d)", d.kind, inside_s, outside_s, inside_z, outside_z);
    }
}

// Large power cones keep the system sparse: their Hessian is diag(d) +
// a a' - b b', the block is diag(d) with a negative and a positive extra
// column, H v agrees with the block, H = mu hess g(z) (dual scaling, mapped
// for the dual cone), and the negative column leaves diag(d) - e e' / |p|
// positive definite.
void test_expanded_power_cones() {
    for (bool dual : {false, true}) {
        const int64_t n = 30;
        V weights;
        for (int k = 0; k < 25; ++k) weights.push_back(0.5 + 0.1 * k);
        PowerBarrier barrier(n, weights);
        auto cone = make_power_cone(n, weights, dual);
        const BlockShape shape = cone->block_shape();
        CHECK(shape.kind == BlockShape::Kind::diagonal && shape.extra_columns == std::vector<int8_t>({-1, +1}),
              "a power cone of %lld members is expanded", (long long)n);
        Lcg g{dual ? 7u : 3u};
        for (int trial = 0; trial < 5; ++trial) {
            V u = dual_point(barrier, g, 0.3), x = primal_point(barrier, g, 0.3);
            V d(n), a(n), b(n), hess(n * n);
            CHECK(barrier.structured_hessian(u.data(), d.data(), a.data(), b.data()), "structured Hessian");
            barrier.hessian(u.data(), hess.data());
            V rebuilt(n * n);
            for (int64_t i = 0; i < n; ++i)
                for (int64_t j = 0; j < n; ++j) rebuilt[i * n + j] = (i == j ? d[i] : 0.0) + a[i] * a[j] - b[i] * b[j];
            CHECK(max_abs_diff(rebuilt, hess) <= 1e-10 * max_abs(hess), "diag + a a' - b b' is the Hessian");
            // The cone's coordinates: the dual cone maps u_i -> u_i alpha_i.
            V s(x), z(u);
            if (dual)
                for (size_t i = 0; i < weights.size(); ++i) s[i] *= barrier.alpha()[i], z[i] /= barrier.alpha()[i];
            CHECK(cone->update_scaling(s, z, 1.0), "scaling at interior points");
            double mu = 0.0;
            for (int64_t i = 0; i < n; ++i) mu += s[i] * z[i] / cone->degree();
            V values(size_t(shape.value_count(n)));
            cone->block_values(values);
            const double* e1 = &values[n];
            const double p1 = values[2 * n];
            const double* e2 = &values[2 * n + 1];
            const double p2 = values[3 * n + 1];
            CHECK(p1 < 0.0 && p2 > 0.0, "pivot signs");
            V v(n), hv(n), bv(n), expected(n, 0.0), lower(n * n);
            for (int64_t i = 0; i < n; ++i) v[i] = g.range(-1, 1);
            cone->mul_h(v, hv);
            double e1v = 0.0, e2v = 0.0;
            for (int64_t i = 0; i < n; ++i) e1v += e1[i] * v[i], e2v += e2[i] * v[i];
            for (int64_t i = 0; i < n; ++i) bv[i] = values[i] * v[i] + e1[i] * e1v / p1 + e2[i] * e2v / p2;
            CHECK(max_abs_diff(hv, bv) <= 1e-9 * max_abs(hv), "H v from the block");
            for (int64_t i = 0; i < n; ++i) {
                const double ci = dual && i < 25 ? barrier.alpha()[i] : 1.0;  // H = A^-1 (mu hess) A^-T
                for (int64_t j = 0; j < n; ++j) {
                    const double cj = dual && j < 25 ? barrier.alpha()[j] : 1.0;
                    expected[i] += mu * ci * cj * hess[i * n + j] * v[j];
                    lower[i * n + j] = (i == j ? values[i] : 0.0) + e1[i] * e1[j] / p1;
                }
            }
            CHECK(max_abs_diff(hv, expected) <= 1e-9 * max_abs(hv), "H = mu hess g(z)");
            CHECK(dense::cholesky(lower, n), "diag(d) - e e' / |p| is positive definite");
        }
    }
}

}  // namespace

int main() {
    test_derivatives();
    test_conjugate_points();
    test_sets_agree_with_the_checker();
    test_expanded_power_cones();
    return vlt_test::report();
}
