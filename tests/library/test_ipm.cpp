// Checks of the interior-point optimizer.  Answers are verified by
// independent certificate checks written here (feasibility, signs of the
// duals, stationarity, complementarity, duality gap from the returned
// vectors, cone membership, ray conditions), and against known optima.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "cbf_data.hpp"
#include "check.hpp"
#include "io/mps_reader.hpp"
#include "solve/convexity.hpp"
#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/cones/psd.hpp"
#include "solve/ipm/cones/second_order.hpp"
#include "solve/ipm/ipm.hpp"
#include "solve/ipm/formulation.hpp"
#include "solve/ipm/linsys/quasidefinite_solver.hpp"
#include "solve/ipm/linsys/up_looking_ldl.hpp"
#include "solve/solution_store.hpp"

using namespace vlt;
using namespace vlt::solve;

namespace {

constexpr double inf = INFINITY;
const bool kMax = true;

struct Problem {
    model::ProblemData d;
    Problem(bool maximize, std::vector<double> c, std::vector<std::vector<double>> rows, std::vector<int32_t> bkc,
            std::vector<double> blc, std::vector<double> buc, std::vector<int32_t> bkx, std::vector<double> blx,
            std::vector<double> bux) {
        d.sense = maximize ? VLT_OBJECTIVE_SENSE_MAXIMIZE : VLT_OBJECTIVE_SENSE_MINIMIZE;
        d.numvar = static_cast<int32_t>(c.size());
        d.numcon = static_cast<int32_t>(rows.size());
        d.c = c, d.bkc = bkc, d.blc = blc, d.buc = buc, d.bkx = bkx, d.blx = blx, d.bux = bux;
        for (int32_t j = 0; j < d.numvar; ++j) {
            for (int32_t i = 0; i < d.numcon; ++i)
                if (rows[i][j] != 0) d.asub.push_back(i), d.aval.push_back(rows[i][j]);
            d.aptr.push_back(static_cast<int64_t>(d.asub.size()));
        }
    }
    Problem& q(int32_t i, int32_t j, double v) {
        d.qosubi.push_back(i), d.qosubj.push_back(j), d.qoval.push_back(v);
        return *this;
    }
    // Appends one cone over the rows sum_k f[r][k] x_k + g[r].
    Problem& cone(int32_t domain, std::vector<std::vector<double>> f, std::vector<double> g) {
        d.cones.push_back({domain, static_cast<int64_t>(f.size())});
        for (size_t r = 0; r < f.size(); ++r) {
            for (int32_t j = 0; j < d.numvar; ++j)
                if (f[r][j] != 0) d.fsub.push_back(j), d.fval.push_back(f[r][j]);
            d.fptr.push_back(static_cast<int64_t>(d.fsub.size()));
            d.g.push_back(g[r]);
        }
        return *this;
    }
};

bool lower_side(int32_t bk) { return bk == VLT_BK_LO || bk == VLT_BK_FX || bk == VLT_BK_RA; }
bool upper_side(int32_t bk) { return bk == VLT_BK_UP || bk == VLT_BK_FX || bk == VLT_BK_RA; }
double lo_of(int32_t bk, double l) { return lower_side(bk) ? l : -inf; }
double up_of(int32_t bk, double l, double u) { return bk == VLT_BK_FX ? l : upper_side(bk) ? u : inf; }

std::vector<double> times_a(const model::ProblemData& p, const std::vector<double>& x) {
    std::vector<double> r(p.numcon, 0.0);
    for (int32_t j = 0; j < p.numvar; ++j)
        for (int64_t k = p.aptr[j]; k < p.aptr[j + 1]; ++k) r[p.asub[k]] += p.aval[k] * x[j];
    return r;
}
std::vector<double> times_at(const model::ProblemData& p, const std::vector<double>& y) {
    std::vector<double> r(p.numvar, 0.0);
    for (int32_t j = 0; j < p.numvar; ++j)
        for (int64_t k = p.aptr[j]; k < p.aptr[j + 1]; ++k) r[j] += p.aval[k] * y[p.asub[k]];
    return r;
}
std::vector<double> times_q(const model::ProblemData& p, const std::vector<double>& x) {
    std::vector<double> r(p.numvar, 0.0);
    for (size_t k = 0; k < p.qoval.size(); ++k) {
        r[p.qosubi[k]] += p.qoval[k] * x[p.qosubj[k]];
        if (p.qosubi[k] != p.qosubj[k]) r[p.qosubj[k]] += p.qoval[k] * x[p.qosubi[k]];
    }
    return r;
}
std::vector<double> conic_value(const model::ProblemData& p, const std::vector<double>& x) {
    std::vector<double> v(p.g);
    for (size_t r = 0; r + 1 < p.fptr.size(); ++r)
        for (int64_t k = p.fptr[r]; k < p.fptr[r + 1]; ++k) v[r] += p.fval[k] * x[p.fsub[k]];
    return v;
}
// Distance of v outside the cone (<= 0 inside).
double cone_violation(int32_t domain, const double* v, int64_t n) {
    double worst = 0.0, t = 0.0;
    switch (domain) {
        case VLT_DOMAIN_RZERO: for (int64_t k = 0; k < n; ++k) worst = std::max(worst, std::fabs(v[k])); return worst;
        case VLT_DOMAIN_RPLUS: for (int64_t k = 0; k < n; ++k) worst = std::max(worst, -v[k]); return worst;
        case VLT_DOMAIN_RMINUS: for (int64_t k = 0; k < n; ++k) worst = std::max(worst, v[k]); return worst;
        case VLT_DOMAIN_QUADRATIC_CONE:
            for (int64_t k = 1; k < n; ++k) t += v[k] * v[k];
            return std::sqrt(t) - v[0];
        case VLT_DOMAIN_RQUADRATIC_CONE:
            for (int64_t k = 2; k < n; ++k) t += v[k] * v[k];
            return std::max({-v[0], -v[1], t - 2.0 * v[0] * v[1]});
        default: return 0.0;
    }
}
int32_t dual_domain(int32_t domain) {
    if (domain == VLT_DOMAIN_RZERO) return VLT_DOMAIN_R;
    if (domain == VLT_DOMAIN_R) return VLT_DOMAIN_RZERO;
    return domain;  // the others are self-dual
}

// Verifies an optimal answer from the returned vectors only.
void check_optimal(const model::ProblemData& p, const EngineResult& r, const std::string& label, double tol) {
    CHECK(r.status == EngineStatus::optimal && r.has_primal && r.has_dual, "%s: %s %s", label.c_str(),
          to_string(r.status), r.message.c_str());
    if (!r.has_primal || !r.has_dual) return;
    const double sgn = p.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    std::vector<double> ax = times_a(p, r.x), qx = times_q(p, r.x), aty = times_at(p, r.y);
    double scale = 1.0;
    for (double v : p.c) scale = std::max(scale, std::fabs(v));
    for (double v : qx) scale = std::max(scale, std::fabs(v));
    double xscale = 1.0;
    for (double v : r.x) xscale = std::max(xscale, std::fabs(v));
    double pviol = 0.0, dviol = 0.0, sign_viol = 0.0, comp = 0.0, xc_err = 0.0;
    double dual = p.cfix;
    for (int32_t i = 0; i < p.numcon; ++i) {
        double lo = lo_of(p.bkc[i], p.blc[i]), up = up_of(p.bkc[i], p.blc[i], p.buc[i]);
        xc_err = std::max(xc_err, std::fabs(r.xc[i] - ax[i]));
        pviol = std::max({pviol, lo - ax[i], ax[i] - up});
        dviol = std::max(dviol, std::fabs(r.y[i] - (r.slc[i] - r.suc[i])));
        sign_viol = std::max({sign_viol, -sgn * r.slc[i], -sgn * r.suc[i]});
        if (std::isinf(lo)) sign_viol = std::max(sign_viol, std::fabs(r.slc[i]));
        else comp = std::max(comp, std::fabs(r.slc[i] * (ax[i] - lo))), dual += lo * r.slc[i];
        if (std::isinf(up)) sign_viol = std::max(sign_viol, std::fabs(r.suc[i]));
        else comp = std::max(comp, std::fabs(r.suc[i] * (up - ax[i]))), dual -= up * r.suc[i];
    }
    std::vector<double> fty(p.numvar, 0.0);
    const int64_t nconic = p.num_conic_rows();
    CHECK(int64_t(r.doty.size()) == nconic, "%s: doty size", label.c_str());
    if (int64_t(r.doty.size()) != nconic) return;
    for (int64_t k = 0; k < nconic; ++k)
        for (int64_t e = p.fptr[k]; e < p.fptr[k + 1]; ++e) fty[p.fsub[e]] += p.fval[e] * r.doty[k];
    std::vector<double> fx = conic_value(p, r.x);
    int64_t row = 0;
    for (const auto& c : p.cones) {
        pviol = std::max(pviol, cone_violation(c.domain, &fx[row], c.dim));
        std::vector<double> dy(r.doty.begin() + row, r.doty.begin() + row + c.dim);
        for (auto& v : dy) v *= sgn;
        sign_viol = std::max(sign_viol, cone_violation(dual_domain(c.domain), dy.data(), c.dim) / scale);
        row += c.dim;
    }
    double xqx = 0.0, obj = p.cfix;
    for (int32_t j = 0; j < p.numvar; ++j) {
        double lo = lo_of(p.bkx[j], p.blx[j]), up = up_of(p.bkx[j], p.blx[j], p.bux[j]);
        pviol = std::max({pviol, lo - r.x[j], r.x[j] - up});
        double s = p.c[j] + qx[j] - aty[j] - fty[j];
        dviol = std::max(dviol, std::fabs(s - (r.slx[j] - r.sux[j])));
        sign_viol = std::max({sign_viol, -sgn * r.slx[j], -sgn * r.sux[j]});
        if (std::isinf(lo)) sign_viol = std::max(sign_viol, std::fabs(r.slx[j]));
        else comp = std::max(comp, std::fabs(r.slx[j] * (r.x[j] - lo))), dual += lo * r.slx[j];
        if (std::isinf(up)) sign_viol = std::max(sign_viol, std::fabs(r.sux[j]));
        else comp = std::max(comp, std::fabs(r.sux[j] * (up - r.x[j]))), dual -= up * r.sux[j];
        xqx += r.x[j] * qx[j];
        obj += p.c[j] * r.x[j];
    }
    for (int64_t k = 0; k < nconic; ++k) dual -= p.g[k] * r.doty[k];
    obj += 0.5 * xqx;
    dual -= 0.5 * xqx;
    const double rel = std::max(1.0, std::fabs(obj));
    CHECK(pviol <= tol * xscale, "%s: primal violation %.2e", label.c_str(), pviol);
    CHECK(xc_err <= tol * xscale, "%s: xc differs from Ax by %.2e", label.c_str(), xc_err);
    CHECK(dviol <= tol * scale, "%s: stationarity violated by %.2e", label.c_str(), dviol);
    CHECK(sign_viol <= tol * scale, "%s: dual sign violation %.2e", label.c_str(), sign_viol);
    CHECK(comp <= tol * rel, "%s: complementarity %.2e", label.c_str(), comp);
    CHECK(std::fabs(obj - dual) <= tol * rel, "%s: duality gap %.3e (primal %.10g dual %.10g)", label.c_str(),
          obj - dual, obj, dual);
    CHECK(std::fabs(obj - r.primal_objective) <= 1e-9 * rel, "%s: reported primal objective", label.c_str());
    CHECK(std::fabs(dual - r.dual_objective) <= 1e-9 * rel, "%s: reported dual objective", label.c_str());
}

EngineResult run(const model::ProblemData& p, IpmOptions o = {}) { return solve_with_ipm(p, o); }

// ------------------------------------------------------------ known optima
void test_known_optima() {
    struct Case {
        std::string name;
        Problem p;
        double objective;
        std::vector<double> x;  // empty: not unique / not checked
    };
    // On a curved boundary the point is only as accurate as the square root
    // of the objective's accuracy.
    std::vector<Case> cases;
    // min x + 2y, x + y >= 1, x - y = 0, x, y >= 0  ->  (0.5, 0.5)
    cases.push_back({"lp equality and lower row",
                     Problem(false, {1, 2}, {{1, 1}, {1, -1}}, {VLT_BK_LO, VLT_BK_FX}, {1, 0}, {inf, 0},
                             {VLT_BK_LO, VLT_BK_LO}, {0, 0}, {inf, inf}),
                     1.5, {0.5, 0.5}});
    // max 3x + 2y + z + w:  1 <= x + y <= 4 (range), x - y <= 2, a row without
    // entries (0 >= -1), x free, y in [0, 3], z fixed at 1.5, w in [0, 5] in
    // no row  ->  x = 3, y = 1, z = 1.5, w = 5
    {
        Problem p(kMax, {3, 2, 1, 1}, {{1, 1, 0, 0}, {1, -1, 0, 0}, {0, 0, 0, 0}}, {VLT_BK_RA, VLT_BK_UP, VLT_BK_LO},
                  {1, -inf, -1}, {4, 2, inf}, {VLT_BK_FR, VLT_BK_RA, VLT_BK_FX, VLT_BK_RA}, {-inf, 0, 1.5, 0},
                  {inf, 3, 1.5, 5});
        cases.push_back({"lp max range free fixed empty", p, 17.5, {3, 1, 1.5, 5}});
    }
    // the same with the range row binding on its lower side (min)
    cases.push_back({"lp range at lower side",
                     Problem(false, {1, 1}, {{1, 1}}, {VLT_BK_RA}, {2}, {5}, {VLT_BK_LO, VLT_BK_LO}, {0, 0.5},
                             {inf, inf}),
                     2.0, {}});
    // min (x-1)^2 + (y-2)^2 s.t. x + y <= 2  ->  (0.5, 1.5), value 0.5
    {
        Problem p(false, {-2, -4}, {{1, 1}}, {VLT_BK_UP}, {-inf}, {2}, {VLT_BK_FR, VLT_BK_FR}, {-inf, -inf},
                  {inf, inf});
        p.q(0, 0, 2).q(1, 1, 2);
        p.d.cfix = 5;
        cases.push_back({"qp projection", p, 0.5, {0.5, 1.5}});
    }
    // max x - x^2 - y^2 s.t. x + y = 1  ->  x = 0.75, value 0.125
    {
        Problem p(kMax, {1, 0}, {{1, 1}}, {VLT_BK_FX}, {1}, {1}, {VLT_BK_FR, VLT_BK_FR}, {-inf, -inf}, {inf, inf});
        p.q(0, 0, -2).q(1, 1, -2);
        cases.push_back({"qp max equality", p, 0.125, {0.75, 0.25}});
    }
    // min 0.5 x'[[2,1],[1,2]]x - x0 - x1, 0 <= x0 <= 0.2, x1 >= 0  ->  (0.2, 0.4)
    {
        Problem p(false, {-1, -1}, {}, {}, {}, {}, {VLT_BK_RA, VLT_BK_LO}, {0, 0}, {0.2, inf});
        p.q(0, 0, 2).q(1, 0, 1).q(1, 1, 2);
        cases.push_back({"qp bounds offdiagonal", p, -0.32, {0.2, 0.4}});
    }
    // a quadratic term on a fixed column: min x0^2 + x0 x1 + x1^2 - x1, x0 = 1
    {
        Problem p(false, {0, -1}, {}, {}, {}, {}, {VLT_BK_FX, VLT_BK_FR}, {1, -inf}, {1, inf});
        p.q(0, 0, 2).q(1, 0, 1).q(1, 1, 2);
        cases.push_back({"qp fixed column in Q", p, 1.0 + 0.0 - 0.0, {1, 0}});
    }
    // nothing left to optimize: every column fixed or only in the objective
    cases.push_back({"all columns decided in advance",
                     Problem(kMax, {1, -1, 2}, {{1, 1, 0}}, {VLT_BK_RA}, {0}, {5}, {VLT_BK_FX, VLT_BK_FX, VLT_BK_RA},
                             {2, 1, -1}, {2, 1, 4}),
                     9.0, {2, 1, 4}});
    // second-order cone: min t s.t. ||(x1 - 1, x2 - 2)|| <= t, x1 + x2 = 0
    {
        Problem p(false, {1, 0, 0}, {{0, 1, 1}}, {VLT_BK_FX}, {0}, {0}, {VLT_BK_FR, VLT_BK_FR, VLT_BK_FR},
                  {-inf, -inf, -inf}, {inf, inf, inf});
        p.cone(VLT_DOMAIN_QUADRATIC_CONE, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, -1, -2});
        cases.push_back({"soc distance to a line", p, 3.0 / std::sqrt(2.0), {3.0 / std::sqrt(2.0), -0.5, 0.5}});
    }
    // max x1 + x2 s.t. ||(x1, x2)|| <= 1, x1 - x2 in R-, x2 - 0.8 in R-
    {
        Problem p(kMax, {1, 1}, {}, {}, {}, {}, {VLT_BK_FR, VLT_BK_FR}, {-inf, -inf}, {inf, inf});
        p.cone(VLT_DOMAIN_QUADRATIC_CONE, {{0, 0}, {1, 0}, {0, 1}}, {1, 0, 0});
        p.cone(VLT_DOMAIN_RMINUS, {{1, -1}, {0, 1}}, {0, -0.8});
        cases.push_back({"soc max on the unit disc", p, std::sqrt(2.0), {std::sqrt(0.5), std::sqrt(0.5)}});
    }
    // rotated cone form of "qp projection": x^2 + y^2 <= 2 t (1/2),
    // min t - 2x - 4y + 5 s.t. x + y <= 2, with the linear row as an RPLUS cone
    {
        Problem p(false, {-2, -4, 1}, {}, {}, {}, {}, {VLT_BK_FR, VLT_BK_FR, VLT_BK_FR}, {-inf, -inf, -inf},
                  {inf, inf, inf});
        p.d.cfix = 5;
        p.cone(VLT_DOMAIN_RQUADRATIC_CONE, {{0, 0, 1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 0.5, 0, 0});
        p.cone(VLT_DOMAIN_RPLUS, {{-1, -1, 0}}, {2});
        cases.push_back({"rotated cone equals qp", p, 0.5, {0.5, 1.5, 2.5}});
    }
    // maximization with a rotated cone and a zero-domain row:
    // max x s.t. x^2 <= 2 r s, r = 2 (RZERO), s <= 1  ->  x = 2
    {
        Problem p(kMax, {1, 0, 0}, {}, {}, {}, {}, {VLT_BK_FR, VLT_BK_FR, VLT_BK_UP}, {-inf, -inf, -inf},
                  {inf, inf, 1});
        p.cone(VLT_DOMAIN_RQUADRATIC_CONE, {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {0, 0, 0});
        p.cone(VLT_DOMAIN_RZERO, {{0, 1, 0}}, {-2});
        cases.push_back({"rotated cone max", p, 2.0, {2, 2, 1}});
    }
    for (auto& c : cases) {
        EngineResult r = run(c.p.d);
        check_optimal(c.p.d, r, c.name, 1e-6);
        CHECK(std::fabs(r.primal_objective - c.objective) <= 1e-6 * std::max(1.0, std::fabs(c.objective)),
              "%s: objective %.10g, expected %.10g", c.name.c_str(), r.primal_objective, c.objective);
        for (size_t j = 0; j < c.x.size() && j < r.x.size(); ++j)
            CHECK(std::fabs(r.x[j] - c.x[j]) <= (c.p.d.cones.empty() ? 1e-5 : 1e-4) * std::max(1.0, std::fabs(c.x[j])),
                  "%s: x[%zu] = %.10g, expected %.10g",
                  c.name.c_str(), j, r.x[j], c.x[j]);
    }
}

// ------------------------------------------------------------ generated problems
// Deterministic pseudo-random problems whose optimality is judged by the
// certificate check alone: QPs with every kind of bound key, and sums of
// Euclidean distances (one cone per anchor point) with a rotated-cone
// penalty.
struct Lcg {
    unsigned state;
    double next() { return (state = state * 1664525u + 1013904223u) / 4294967296.0; }
    double range(double a, double b) { return a + (b - a) * next(); }
};

void test_generated() {
    const int32_t keys[] = {VLT_BK_LO, VLT_BK_UP, VLT_BK_FX, VLT_BK_FR, VLT_BK_RA};
    for (unsigned seed = 1; seed <= 12; ++seed) {
        Lcg g{seed};
        const int n = 6 + int(seed % 5) * 3, m = 3 + int(seed % 4) * 2;
        // A feasible point x0 decides the row bounds.
        std::vector<double> x0(n), c(n);
        for (auto& v : x0) v = g.range(-2, 2);
        for (auto& v : c) v = g.range(-3, 3);
        std::vector<std::vector<double>> rows(m, std::vector<double>(n, 0.0));
        for (auto& r : rows)
            for (auto& v : r)
                if (g.next() < 0.4) v = g.range(-2, 2);
        std::vector<int32_t> bkc(m), bkx(n);
        std::vector<double> blc(m), buc(m), blx(n), bux(n);
        for (int i = 0; i < m; ++i) {
            double ax = 0.0;
            for (int j = 0; j < n; ++j) ax += rows[i][j] * x0[j];
            bkc[i] = keys[size_t(g.next() * 5) % 5];
            blc[i] = ax - g.range(0, 1), buc[i] = ax + g.range(0, 1);
            if (bkc[i] == VLT_BK_FX) blc[i] = buc[i] = ax;
        }
        for (int j = 0; j < n; ++j) {
            bkx[j] = keys[size_t(g.next() * 5) % 5];
            blx[j] = x0[j] - g.range(0, 2), bux[j] = x0[j] + g.range(0, 2);
            if (bkx[j] == VLT_BK_FX) blx[j] = bux[j] = x0[j];
        }
        const bool maximize = seed % 2 == 0;
        if (maximize)
            for (auto& v : c) v = -v;
        Problem p(maximize, c, rows, bkc, blc, buc, bkx, blx, bux);
        // Q = M'M + I: bounded below whatever the bound keys
        std::vector<std::vector<double>> mm(3, std::vector<double>(n));
        for (auto& r : mm)
            for (auto& v : r) v = g.next() < 0.5 ? g.range(-1, 1) : 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j <= i; ++j) {
                double q = i == j ? 1.0 : 0.0;
                for (auto& r : mm) q += r[i] * r[j];
                if (q != 0.0) p.q(i, j, maximize ? -q : q);
            }
        check_optimal(p.d, run(p.d), "generated qp seed " + std::to_string(seed), 1e-6);
    }
    for (unsigned seed = 1; seed <= 6; ++seed) {
        Lcg g{seed * 7919u};
        const int dim = 2 + int(seed % 3), points = 3 + int(seed);
        // columns: x (dim), t_1..t_points, u (rotated-cone epigraph of |x|^2)
        const int n = dim + points + 1;
        std::vector<double> c(n, 0.0);
        for (int k = 0; k < points; ++k) c[dim + k] = g.range(0.5, 2.0);  // weights
        c[n - 1] = 0.3;
        Problem p(false, c, {}, {}, {}, {}, std::vector<int32_t>(n, VLT_BK_FR), std::vector<double>(n, -inf),
                  std::vector<double>(n, inf));
        for (int k = 0; k < points; ++k) {
            std::vector<std::vector<double>> f(dim + 1, std::vector<double>(n, 0.0));
            std::vector<double> gv(dim + 1, 0.0);
            f[0][dim + k] = 1.0;
            for (int d = 0; d < dim; ++d) f[d + 1][d] = 1.0, gv[d + 1] = -g.range(-5, 5);
            p.cone(VLT_DOMAIN_QUADRATIC_CONE, f, gv);
        }
        // 2 u (1/2) >= |x|^2
        std::vector<std::vector<double>> f(dim + 2, std::vector<double>(n, 0.0));
        std::vector<double> gv(dim + 2, 0.0);
        f[0][n - 1] = 1.0;
        gv[1] = 0.5;
        for (int d = 0; d < dim; ++d) f[d + 2][d] = 1.0;
        p.cone(VLT_DOMAIN_RQUADRATIC_CONE, f, gv);
        check_optimal(p.d, run(p.d), "weighted distances seed " + std::to_string(seed), 1e-6);
    }
}

// Least squares through one large cone: min t s.t. ||A x - b|| <= t (and
// the rotated form ||A x - b||^2 <= 2 t (1/2)); the optimum is the residual
// of the normal equations, solved here directly.
void test_large_cones() {
    for (int rows : {20, 60, 150}) {
        Lcg g{unsigned(rows)};
        const int k = 3;
        std::vector<std::vector<double>> a(rows, std::vector<double>(k));
        std::vector<double> b(rows);
        for (int i = 0; i < rows; ++i) {
            for (auto& v : a[i]) v = g.range(-1, 1);
            b[i] = g.range(-3, 3);
        }
        // normal equations by Gaussian elimination
        std::vector<std::vector<double>> m(k, std::vector<double>(k + 1, 0.0));
        for (int i = 0; i < rows; ++i)
            for (int r = 0; r < k; ++r) {
                for (int c = 0; c < k; ++c) m[r][c] += a[i][r] * a[i][c];
                m[r][k] += a[i][r] * b[i];
            }
        for (int p = 0; p < k; ++p)
            for (int r = p + 1; r < k; ++r) {
                double f = m[r][p] / m[p][p];
                for (int c = p; c <= k; ++c) m[r][c] -= f * m[p][c];
            }
        std::vector<double> x(k);
        for (int r = k - 1; r >= 0; --r) {
            double t = m[r][k];
            for (int c = r + 1; c < k; ++c) t -= m[r][c] * x[c];
            x[r] = t / m[r][r];
        }
        double res2 = 0.0;
        for (int i = 0; i < rows; ++i) {
            double t = -b[i];
            for (int c = 0; c < k; ++c) t += a[i][c] * x[c];
            res2 += t * t;
        }
        for (bool rotated : {false, true}) {
            // columns: x (k), t
            Problem p(false, {0, 0, 0, 1}, {}, {}, {}, {}, std::vector<int32_t>(k + 1, VLT_BK_FR),
                      std::vector<double>(k + 1, -inf), std::vector<double>(k + 1, inf));
            std::vector<std::vector<double>> f;
            std::vector<double> gv;
            f.push_back({0, 0, 0, 1});
            gv.push_back(0.0);
            if (rotated) f.push_back({0, 0, 0, 0}), gv.push_back(0.5);
            for (int i = 0; i < rows; ++i) f.push_back({a[i][0], a[i][1], a[i][2], 0}), gv.push_back(-b[i]);
            p.cone(rotated ? VLT_DOMAIN_RQUADRATIC_CONE : VLT_DOMAIN_QUADRATIC_CONE, f, gv);
            std::string label = std::string(rotated ? "rotated" : "quadratic") + " cone of dimension " +
                                std::to_string(f.size());
            EngineResult r = run(p.d);
            check_optimal(p.d, r, label, 1e-6);
            double expect = rotated ? res2 : std::sqrt(res2);
            CHECK(std::fabs(r.primal_objective - expect) <= 1e-6 * std::max(1.0, expect), "%s: %.10g, expected %.10g",
                  label.c_str(), r.primal_objective, expect);
        }
    }
}

// ------------------------------------------------------------ infeasibility
// Checks a dual ray against the documented definition: with s = -A'y - F'w
// split by sign into slx - sux and y into slc - suc, the multipliers of
// infinite bounds vanish, w lies in the dual cones, and
// lc'slc - uc'suc + lx'slx - ux'sux - g'w > 0 (negated for maximization).
void check_dual_ray(const model::ProblemData& p, const EngineResult& r, const std::string& label) {
    CHECK(r.status == EngineStatus::primal_infeasible && r.has_dual_ray, "%s: %s", label.c_str(), to_string(r.status));
    if (!r.has_dual_ray) return;
    const double sgn = p.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    std::vector<double> y(r.dual_ray), w(r.dual_ray_conic);
    for (auto& v : y) v *= sgn;
    for (auto& v : w) v *= sgn;
    if (w.size() != size_t(p.num_conic_rows())) w.assign(size_t(p.num_conic_rows()), 0.0);
    std::vector<double> s = times_at(p, y);
    for (auto& v : s) v = -v;
    for (int64_t k = 0; k < p.num_conic_rows(); ++k)
        for (int64_t e = p.fptr[k]; e < p.fptr[k + 1]; ++e) s[p.fsub[e]] -= p.fval[e] * w[k];
    double value = 0.0, bad = 0.0, norm = 0.0;
    for (int32_t i = 0; i < p.numcon; ++i) {
        norm = std::max(norm, std::fabs(y[i]));
        double lo = lo_of(p.bkc[i], p.blc[i]), up = up_of(p.bkc[i], p.blc[i], p.buc[i]);
        if (y[i] > 0) (std::isinf(lo) ? bad = std::max(bad, y[i]) : value += lo * y[i]);
        if (y[i] < 0) (std::isinf(up) ? bad = std::max(bad, -y[i]) : value += up * y[i]);
    }
    for (int32_t j = 0; j < p.numvar; ++j) {
        double lo = lo_of(p.bkx[j], p.blx[j]), up = up_of(p.bkx[j], p.blx[j], p.bux[j]);
        if (s[j] > 0) (std::isinf(lo) ? bad = std::max(bad, s[j]) : value += lo * s[j]);
        if (s[j] < 0) (std::isinf(up) ? bad = std::max(bad, -s[j]) : value += up * s[j]);
    }
    int64_t row = 0;
    for (const auto& c : p.cones) {
        norm = std::max(norm, std::fabs(w[row]));
        bad = std::max(bad, cone_violation(dual_domain(c.domain), &w[row], c.dim));
        row += c.dim;
    }
    for (int64_t k = 0; k < p.num_conic_rows(); ++k) value -= p.g[k] * w[k];
    CHECK(value > 1e-6 * norm && bad <= 1e-7 * std::max(value, norm), "%s: ray value %.3e, violation %.3e",
          label.c_str(), value, bad);
}

// A primal ray d: A d within the recession cone of the row bounds, d within
// that of the column bounds, Q d = 0, c'd < 0 (minimization).
void check_primal_ray(const model::ProblemData& p, const EngineResult& r, const std::string& label) {
    CHECK(r.status == EngineStatus::dual_infeasible && r.has_primal_ray, "%s: %s", label.c_str(), to_string(r.status));
    if (!r.has_primal_ray) return;
    const double sgn = p.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    const auto& d = r.primal_ray;
    std::vector<double> ad = times_a(p, d), qd = times_q(p, d);
    double cd = 0.0, bad = 0.0, norm = 0.0;
    for (int32_t j = 0; j < p.numvar; ++j) {
        cd += sgn * p.c[j] * d[j];
        norm = std::max(norm, std::fabs(d[j]));
        bad = std::max(bad, std::fabs(qd[j]));
        if (lower_side(p.bkx[j])) bad = std::max(bad, -d[j]);
        if (upper_side(p.bkx[j])) bad = std::max(bad, d[j]);
    }
    for (int32_t i = 0; i < p.numcon; ++i) {
        if (lower_side(p.bkc[i])) bad = std::max(bad, -ad[i]);
        if (upper_side(p.bkc[i])) bad = std::max(bad, ad[i]);
    }
    CHECK(cd < -1e-6 * norm && bad <= 1e-7 * norm, "%s: c'd = %.3e, violation %.3e", label.c_str(), cd, bad);
}

void test_infeasible() {
    for (bool maximize : {false, true}) {
        std::string tag = maximize ? " (max)" : " (min)";
        // x + y <= 1 and x + y >= 3
        Problem lp(maximize, {1, 1}, {{1, 1}, {1, 1}}, {VLT_BK_UP, VLT_BK_LO}, {-inf, 3}, {1, inf},
                   {VLT_BK_LO, VLT_BK_LO}, {0, 0}, {inf, inf});
        check_dual_ray(lp.d, run(lp.d), "lp rows in conflict" + tag);
        // x in [0, 1], y in [0, 1], x + 2y = 4 (bounds in the certificate)
        Problem bx(maximize, {1, -1}, {{1, 2}}, {VLT_BK_FX}, {4}, {4}, {VLT_BK_RA, VLT_BK_RA}, {0, 0}, {1, 1});
        check_dual_ray(bx.d, run(bx.d), "lp bounds in conflict" + tag);
        Problem qp = lp;
        qp.q(0, 0, maximize ? -1 : 1).q(1, 1, maximize ? -1 : 1);
        check_dual_ray(qp.d, run(qp.d), "qp rows in conflict" + tag);
        // a row whose only column is fixed: x = 1 fixed, 2 <= x <= 3
        Problem fx(maximize, {1, 1}, {{1, 0}, {1, 1}}, {VLT_BK_RA, VLT_BK_LO}, {2, 0}, {3, inf},
                   {VLT_BK_FX, VLT_BK_LO}, {1, 0}, {1, inf});
        check_dual_ray(fx.d, run(fx.d), "row on a fixed column" + tag);
        // cone: ||(x, 1)|| <= t with t <= 0.5
        Problem sc(maximize, {0, 1}, {}, {}, {}, {}, {VLT_BK_FR, VLT_BK_UP}, {-inf, -inf}, {inf, 0.5});
        sc.cone(VLT_DOMAIN_QUADRATIC_CONE, {{0, 1}, {1, 0}, {0, 0}}, {0, 0, 1});
        check_dual_ray(sc.d, run(sc.d), "soc infeasible" + tag);

        // unbounded: improve x along x - y <= 1 with y growing too
        double s = maximize ? -1.0 : 1.0;
        Problem ub(maximize, {-s, 0}, {{1, -1}}, {VLT_BK_UP}, {-inf}, {1}, {VLT_BK_LO, VLT_BK_LO}, {0, 0}, {inf, inf});
        check_primal_ray(ub.d, run(ub.d), "lp unbounded" + tag);
        Problem uq(maximize, {-s, 0}, {{1, 1}}, {VLT_BK_LO}, {1}, {inf}, {VLT_BK_LO, VLT_BK_FR}, {0, -inf}, {inf, inf});
        uq.q(1, 1, s);
        check_primal_ray(uq.d, run(uq.d), "qp unbounded" + tag);
        // a column in no row with an improving cost
        Problem ec(maximize, {s, -s}, {{1, 0}}, {VLT_BK_UP}, {-inf}, {1}, {VLT_BK_LO, VLT_BK_LO}, {0, 0}, {inf, inf});
        check_primal_ray(ec.d, run(ec.d), "empty column unbounded" + tag);
    }
}

// ------------------------------------------------------------ control flow
void test_hook_and_limits() {
    Problem p(false, {-2, -4}, {{1, 1}, {1, -1}}, {VLT_BK_UP, VLT_BK_RA}, {-inf, -1}, {2, 1},
              {VLT_BK_RA, VLT_BK_RA}, {-3, -3}, {3, 3});
    p.q(0, 0, 2).q(1, 1, 2);
    for (int stop_at : {1, 3}) {
        int calls = 0;
        int64_t last_iter = -1;
        ProgressHook hook = [&](const ProgressEvent& ev) {
            CHECK(ev.kind == ProgressEvent::Kind::interior_iteration);
            last_iter = ev.interior_iterations;
            return ++calls >= stop_at;
        };
        EngineResult r = solve_with_ipm(p.d, {}, hook);
        CHECK(r.status == EngineStatus::interrupted, "hook stop at %d: %s", stop_at, to_string(r.status));
        CHECK(calls == stop_at && r.interior_iterations == last_iter, "calls %d, iterations %lld", calls,
              static_cast<long long>(r.interior_iterations));
        CHECK(r.has_primal && r.x.size() == 2 && r.xc.size() == 2 && r.y.size() == 2);
    }
    bool thrown = false;
    try {
        solve_with_ipm(p.d, {}, [](const ProgressEvent&) -> bool { throw std::runtime_error("stop"); });
    } catch (const std::runtime_error&) {
        thrown = true;
    }
    CHECK(thrown, "an exception of the hook reaches the caller");

    IpmOptions o;
    o.max_iterations = 2;
    EngineResult r = run(p.d, o);
    CHECK(r.status == EngineStatus::iteration_limit && r.interior_iterations == 2, "%s", to_string(r.status));

    std::vector<std::string> lines;
    o = {};
    o.log_level = 1;
    r = solve_with_ipm(p.d, o, {}, [&](const std::string& l) { lines.push_back(l); });
    CHECK(r.status == EngineStatus::optimal);
    CHECK(int64_t(lines.size()) >= r.interior_iterations + 3, "log lines %zu", lines.size());
    o.log_level = 0;
    lines.clear();
    solve_with_ipm(p.d, o, {}, [&](const std::string& l) { lines.push_back(l); });
    CHECK(lines.empty(), "silent at log level 0");
}

// ------------------------------------------------------------ non-finite points
// A point with a NaN satisfies no bound: its residuals are infinite (a max
// over values that skips NaN once made them 0), and the solution it gives
// is never primal or dual feasible, whatever the engine claimed.
void test_non_finite_points() {
    Problem p(false, {1, 2}, {{1, 1}}, {VLT_BK_LO}, {1}, {inf}, {VLT_BK_LO, VLT_BK_LO}, {0, 0}, {inf, inf});
    EngineResult r = run(p.d);
    CHECK(r.status == EngineStatus::optimal, "%s", to_string(r.status));
    for (int which : {0, 1, 2}) {  // in x, in y, in a cone dual slot
        EngineResult bad = r;
        bad.status = EngineStatus::numerical_trouble;
        bad.primal_feasible = bad.dual_feasible = true;
        (which == 0 ? bad.x : bad.y)[0] = NAN;
        if (which == 2) bad.y[0] = r.y[0], bad.primal_objective = NAN;
        ipm::OriginalPoint pt{bad.x, bad.xc, bad.y, bad.slc, bad.suc, bad.slx, bad.sux, bad.doty};
        ipm::OriginalQuality q = ipm::evaluate(p.d, pt);
        if (which < 2)
            CHECK(!(q.primal_residual <= 1e-6) && !(q.dual_residual <= 1e-6), "case %d: residuals %g %g", which,
                  q.primal_residual, q.dual_residual);
        SolutionValues s = continuous_solution(p.d, bad, VLT_SOL_ITR);
        CHECK(s.solsta == VLT_SOL_STA_UNKNOWN && s.prosta == VLT_PRO_STA_UNKNOWN, "case %d: statuses %d %d", which,
              s.solsta, s.prosta);
    }
    EngineResult stopped = r;
    stopped.status = EngineStatus::numerical_trouble;
    SolutionValues s = continuous_solution(p.d, stopped, VLT_SOL_ITR);
    CHECK(s.solsta == VLT_SOL_STA_PRIM_AND_DUAL_FEAS, "a finite stopped point keeps its feasibility: %d", s.solsta);
}

// ------------------------------------------------------------ convexity
// Q = V diag(lambda) V' for an orthogonal V (a rotation in the (0,1) and
// (1,2) planes): accepted when no eigenvalue is below -tolerance ||Q||_inf.
void test_convexity_check() {
    struct Case {
        const char* name;
        std::vector<double> lambda;
        double sign, tolerance;
        int32_t level;
        bool convex;
    };
    const Case cases[] = {
        {"positive definite", {1, 2, 3}, 1, 1e-5, VLT_CHECK_CONVEXITY_FULL, true},
        {"singular semidefinite", {0, 2, 3}, 1, 1e-5, VLT_CHECK_CONVEXITY_FULL, true},
        {"slightly negative within tolerance", {-1e-7, 2, 3}, 1, 1e-5, VLT_CHECK_CONVEXITY_FULL, true},
        {"slightly negative, tight tolerance", {-1e-7, 2, 3}, 1, 1e-10, VLT_CHECK_CONVEXITY_FULL, false},
        {"indefinite", {-0.5, 2, 3}, 1, 1e-5, VLT_CHECK_CONVEXITY_FULL, false},
        {"indefinite, diagonal check only", {-0.5, 2, 3}, 1, 1e-5, VLT_CHECK_CONVEXITY_SIMPLE, true},
        {"indefinite, no check", {-0.5, 2, 3}, 1, 1e-5, VLT_CHECK_CONVEXITY_NONE, true},
        {"negative definite when maximizing", {-1, -2, -3}, -1, 1e-5, VLT_CHECK_CONVEXITY_FULL, true},
        {"positive definite when maximizing", {1, 2, 3}, -1, 1e-5, VLT_CHECK_CONVEXITY_SIMPLE, false},
    };
    const double c1 = std::cos(0.7), s1 = std::sin(0.7), c2 = std::cos(1.3), s2 = std::sin(1.3);
    const double v[3][3] = {{c1, -s1 * c2, s1 * s2}, {s1, c1 * c2, -c1 * s2}, {0, s2, c2}};
    for (const Case& c : cases) {
        std::vector<int32_t> subi, subj;
        std::vector<double> val;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j <= i; ++j) {
                double q = 0.0;
                for (int k = 0; k < 3; ++k) q += v[i][k] * c.lambda[size_t(k)] * v[j][k];
                subi.push_back(i), subj.push_back(j), val.push_back(q);
            }
        // a duplicate entry, split in two, is summed
        subi.push_back(2), subj.push_back(1), val.push_back(0.25);
        val[4] -= 0.25;
        ConvexityVerdict r = check_convexity(subi, subj, val, 4, c.sign, c.tolerance, c.level);
        CHECK(r.convex == c.convex && (r.convex || !r.reason.empty()), "%s: %s", c.name, r.reason.c_str());
    }
}

// ------------------------------------------------------------ bad input
void test_bad_input() {
    auto base = [] {
        Problem p(false, {1, 1}, {{1, 1}}, {VLT_BK_LO}, {1}, {inf}, {VLT_BK_LO, VLT_BK_LO}, {0, 0}, {inf, inf});
        return p.d;
    };
    struct Case {
        const char* name;
        void (*edit)(model::ProblemData&);
        VLTrescodee code;
    };
    const Case cases[] = {
        {"row index out of range", [](model::ProblemData& d) { d.asub[0] = 5; }, VLT_RES_ERR_INDEX_CON},
        {"NaN cost", [](model::ProblemData& d) { d.c[1] = NAN; }, VLT_RES_ERR_NAN_VALUE},
        {"bad bound key", [](model::ProblemData& d) { d.bkx[0] = 17; }, VLT_RES_ERR_INVALID_BOUNDKEY},
        {"short column pointers", [](model::ProblemData& d) { d.aptr.pop_back(); }, VLT_RES_ERR_INVALID_PTR},
        {"short bounds", [](model::ProblemData& d) { d.blc.clear(); }, VLT_RES_ERR_DIMENSION},
        {"Q above the diagonal",
         [](model::ProblemData& d) { d.qosubi = {0}, d.qosubj = {1}, d.qoval = {1.0}; }, VLT_RES_ERR_ARGUMENT},
        {"cone sizes do not add up",
         [](model::ProblemData& d) {
             d.cones = {{VLT_DOMAIN_QUADRATIC_CONE, 3}};
             d.fptr = {0, 1, 2}, d.fsub = {0, 1}, d.fval = {1, 1}, d.g = {0, 0};
         },
         VLT_RES_ERR_DIMENSION},
        {"conic column out of range",
         [](model::ProblemData& d) {
             d.cones = {{VLT_DOMAIN_RPLUS, 1}};
             d.fptr = {0, 1}, d.fsub = {9}, d.fval = {1}, d.g = {0};
         },
         VLT_RES_ERR_INDEX_VAR},
        {"exponential cone of two rows",
         [](model::ProblemData& d) {
             d.cones = {{VLT_DOMAIN_PRIMAL_EXP_CONE, 2}};
             d.fptr = {0, 1, 2}, d.fsub = {0, 1}, d.fval = {1, 1}, d.g = {0, 0};
         },
         VLT_RES_ERR_DIMENSION},
        {"power cone without weights",
         [](model::ProblemData& d) {
             d.cones = {{VLT_DOMAIN_PRIMAL_POWER_CONE, 2}};
             d.fptr = {0, 1, 2}, d.fsub = {0, 1}, d.fval = {1, 1}, d.g = {0, 0};
         },
         VLT_RES_ERR_DIMENSION},
    };
    // Malformed data throws; a problem the optimizer declines comes back
    // with status error.  Either way the code and a message say why.
    for (const auto& c : cases) {
        model::ProblemData d = base();
        c.edit(d);
        VLTrescodee code = VLT_RES_OK;
        std::string message;
        try {
            EngineResult r = run(d);
            if (r.status == EngineStatus::error) code = r.error_code, message = r.message;
        } catch (const vlt::Error& e) {
            code = e.code(), message = e.message();
        }
        CHECK(code == c.code && !message.empty(), "%s: %d %s", c.name, static_cast<int>(code), message.c_str());
    }
}

// ------------------------------------------------------------ building blocks
void test_soc_algebra() {
    using namespace vlt::solve::ipm;
    const std::vector<std::vector<double>> ss = {{2.0, 0.5, -0.3}, {5.0, 4.0, 2.9}, {1.0, 0.0, 0.0, 0.0, 0.99}};
    const std::vector<std::vector<double>> zs = {{1.0, -0.2, 0.4}, {3.0, -2.9, 0.1}, {2.0, 1.0, 1.0, 1.0, 0.0}};
    for (size_t t = 0; t < ss.size(); ++t) {
        const int64_t d = int64_t(ss[t].size());
        soc::Scaling sc;
        CHECK(soc::nt_scaling(ss[t].data(), zs[t].data(), d, sc));
        std::vector<double> wz(d), wis(d), back(d), lam2(d), div(d);
        soc::apply_w(sc, zs[t].data(), wz.data(), d, false);
        soc::apply_w(sc, ss[t].data(), wis.data(), d, true);
        soc::apply_w(sc, wz.data(), back.data(), d, true);
        double e1 = 0.0, e2 = 0.0;
        for (int64_t k = 0; k < d; ++k) {
            e1 = std::max(e1, std::fabs(wz[k] - wis[k]));
            e2 = std::max(e2, std::fabs(back[k] - zs[t][k]));
        }
        CHECK(e1 <= 1e-12 * (1 + std::fabs(wz[0])), "case %zu: W z != W^-1 s (%.2e)", t, e1);
        CHECK(e2 <= 1e-12 * (1 + std::fabs(zs[t][0])), "case %zu: W^-1 W z != z (%.2e)", t, e2);
        soc::jordan(wz.data(), wz.data(), lam2.data(), d);
        soc::jordan_div(wz.data(), lam2.data(), div.data(), d);
        double e3 = 0.0;
        for (int64_t k = 0; k < d; ++k) e3 = std::max(e3, std::fabs(div[k] - wz[k]));
        CHECK(e3 <= 1e-10 * (1 + std::fabs(wz[0])), "case %zu: lambda \\ (lambda o lambda) != lambda", t);
        // the step to the boundary lands on it
        std::vector<double> dir(d);
        for (int64_t k = 0; k < d; ++k) dir[k] = zs[t][k] - 3.0 * ss[t][k];
        double a = soc::max_step(ss[t].data(), dir.data(), d, 1e30);
        std::vector<double> at(d);
        for (int64_t k = 0; k < d; ++k) at[k] = ss[t][k] + a * dir[k];
        CHECK(std::fabs(soc::min_eig(at.data(), d)) <= 1e-9 * (1 + std::fabs(at[0])), "case %zu: step %.6g misses", t, a);
    }
}

// Every cone through the composite's interface: the block it declares
// (diagonal, dense or with extra columns, rebuilt here as a dense H) is the
// H of mul_h; for symmetric cones H z = s and the offset of the affine
// right-hand side is s (ds = -H dz - s with W z = W^-T s = lambda); steps
// end on the boundary; the barrier is -degree log mu on the central path.
void test_cone_interface() {
    using namespace vlt::solve::ipm;
    struct Case {
        int32_t domain;
        int64_t dim;
    };
    const Case cases[] = {{VLT_DOMAIN_RPLUS, 3},           {VLT_DOMAIN_QUADRATIC_CONE, 1},
                          {VLT_DOMAIN_QUADRATIC_CONE, 4},  {VLT_DOMAIN_QUADRATIC_CONE, 23},
                          {VLT_DOMAIN_RQUADRATIC_CONE, 2}, {VLT_DOMAIN_RQUADRATIC_CONE, 5},
                          {VLT_DOMAIN_RQUADRATIC_CONE, 20}};
    for (const Case& c : cases) {
        const int64_t d = c.dim;
        char label[80];
        std::snprintf(label, sizeof label, "domain %d, dimension %lld", static_cast<int>(c.domain),
                      static_cast<long long>(d));
        CompositeCone k({ConeRows{VLT_DOMAIN_RZERO, 0, 2, {}}, ConeRows{c.domain, 2, d, {}}});
        const int64_t m = k.dim();
        auto margin = [&](const std::vector<double>& v) { return k.cone(1).unit_margin(CVec(v).subspan(2)); };
        // Interior points: the unit point, shifted and perturbed.
        std::vector<double> s(m), z(m), e(m), ez(m);
        k.unit_point(e, ez);
        Lcg g{unsigned(7 * d + c.domain)};
        for (int64_t i = 0; i < m; ++i) s[i] = 0.3 * g.range(-1, 1), z[i] = 0.3 * g.range(-1, 1);
        k.shift_by_unit(s, 2.0 - std::min(0.0, k.unit_margin(s)), true);
        k.shift_by_unit(z, 1.5 - std::min(0.0, k.unit_margin(z)), false);
        CHECK(margin(s) > 0.0 && margin(z) > 0.0, "%s: s and z interior", label);
        CHECK(k.update_scaling(s, z, 1.0), "%s: scaling", label);
        // H from mul_h, column by column.
        std::vector<double> hfull(size_t(m * m)), unit(m, 0.0), col(m);
        for (int64_t j = 0; j < m; ++j) {
            unit[j] = 1.0;
            k.mul_h(unit, col);
            for (int64_t i = 0; i < m; ++i) hfull[size_t(i * m + j)] = col[i];
            unit[j] = 0.0;
        }
        // H from the block values of the cone under test.
        const Cone& cone = k.cone(1);
        const BlockShape shape = cone.block_shape();
        std::vector<double> values(size_t(k.block_value_count()));
        k.block_values(values);
        std::vector<double> hblock(size_t(d * d), 0.0);
        size_t v = 0;
        if (shape.kind == BlockShape::Kind::dense) {
            for (int64_t l = 0; l < d; ++l)
                for (int64_t r = 0; r <= l; ++r, ++v) hblock[size_t(r * d + l)] = hblock[size_t(l * d + r)] = values[v];
        } else {
            for (int64_t l = 0; l < d; ++l, ++v) hblock[size_t(l * d + l)] = values[v];
            for (auto [r, l] : shape.off_diagonal) hblock[size_t(r * d + l)] = hblock[size_t(l * d + r)] = values[v++];
        }
        for (int8_t sign : shape.extra_columns) {
            const double pivot = values[v + size_t(d)];
            CHECK((pivot > 0) == (sign > 0), "%s: pivot sign as declared", label);
            for (int64_t r = 0; r < d; ++r)
                for (int64_t l = 0; l < d; ++l) hblock[size_t(r * d + l)] += values[v + size_t(r)] * values[v + size_t(l)] / pivot;
            v += size_t(d) + 1;
        }
        CHECK(v == values.size(), "%s: value count", label);
        double err = 0.0, scale = 1.0;
        for (int64_t r = 0; r < d; ++r)
            for (int64_t l = 0; l < d; ++l) {
                err = std::max(err, std::fabs(hblock[size_t(r * d + l)] - hfull[size_t((r + 2) * m + l + 2)]));
                scale = std::max(scale, std::fabs(hblock[size_t(r * d + l)]));
            }
        CHECK(err <= 1e-12 * scale, "%s: block differs from H by %.2e", label, err);
        // NT: H z = s, offset(affine ds) = s.
        std::vector<double> hz(m), ds(m), off(m);
        k.mul_h(z, hz);
        k.affine_ds(s, z, ds);
        k.ds_offset(ds, z, off);
        double e1 = 0.0, e2 = 0.0;
        for (int64_t i = 2; i < m; ++i) {
            e1 = std::max(e1, std::fabs(hz[i] - s[i]));
            e2 = std::max(e2, std::fabs(off[i] - s[i]));
        }
        CHECK(e1 <= 1e-12 * scale * 10, "%s: H z - s = %.2e", label, e1);
        CHECK(e2 <= 1e-12 * scale * 10, "%s: offset of the affine rhs - s = %.2e", label, e2);
        // A step towards the outside ends on the boundary.
        std::vector<double> dir(m), at(m);
        for (int64_t i = 0; i < m; ++i) dir[i] = z[i] - 3.0 * s[i];
        std::vector<double> zero(m, 0.0);
        const double a = k.max_step(s, dir, z, zero, 1e30);
        for (int64_t i = 0; i < m; ++i) at[i] = s[i] + a * dir[i];
        CHECK(std::fabs(margin(at)) <= 1e-9 * (1 + a),
              "%s: step %.6g misses the boundary", label, a);
        // Central path and centring: shift of a zero affine step is -sigma mu e.
        const double mu = 0.37;
        std::vector<double> cs(e), cz(ez), shift(m);
        for (int64_t i = 0; i < m; ++i) cs[i] *= std::sqrt(mu), cz[i] *= std::sqrt(mu);
        CHECK(k.update_scaling(cs, cz, mu), "%s: central scaling", label);
        CHECK(std::fabs(k.barrier(cs, cz) + k.degree() * std::log(mu)) <= 1e-12, "%s: barrier on the central path",
              label);
        k.combined_ds_shift(zero, zero, 0.5, shift);
        double e3 = 0.0;
        for (int64_t i = 2; i < m; ++i) e3 = std::max(e3, std::fabs(shift[i] + 0.5 * e[i]));
        CHECK(e3 <= 1e-15, "%s: centring term", label);
    }
}

void test_ldl() {
    using namespace vlt::solve::ipm;
    // Quasi-definite matrices [D1 B'; B -D2] of growing size with a
    // deterministic pattern.
    // 1, 5, 40: sparse elimination only; 420: the factor fills in, and its
    // trailing block is factored densely; 1000: the sparse columns reach
    // that block in panels of more than one product's width of rows.
    for (int n1 : {1, 5, 40, 420, 1000}) {
        const int n2 = n1 / 2 + 1, n = n1 + n2;
        std::vector<std::vector<double>> full(n, std::vector<double>(n, 0.0));
        unsigned seed = 12345u + unsigned(n1);
        auto rnd = [&] { return (seed = seed * 1103515245u + 12345u) % 1000 / 1000.0; };
        for (int i = 0; i < n1; ++i) full[i][i] = 1.0 + rnd();
        for (int i = n1; i < n; ++i) full[i][i] = -(0.01 + rnd());
        for (int i = n1; i < n; ++i)
            for (int j = 0; j < n1; ++j)
                if (rnd() < 0.3) full[i][j] = full[j][i] = rnd() - 0.5;
        for (int i = 0; i + 1 < n1; ++i) full[i][i + 1] = full[i + 1][i] = 0.1;
        UpperCsc a;
        a.n = n;
        a.colptr.assign(n + 1, 0);
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i <= j; ++i)
                if (full[i][j] != 0.0 || i == j) a.rowind.push_back(i), a.values.push_back(full[i][j]);
            a.colptr[j + 1] = int64_t(a.rowind.size());
        }
        std::vector<int8_t> signs(n, 1);
        for (int i = n1; i < n; ++i) signs[i] = -1;
        UpLookingLdl f;
        CHECK(f.analyze(a));
        CHECK(f.factor(a.values, signs, 1e-14, 1e-8) == 0, "no pivot needs regularization");
        std::vector<double> b(n), x;
        for (int i = 0; i < n; ++i) b[i] = std::sin(double(i) + 1.0);
        x = b;
        f.solve(x);
        double err = 0.0;
        for (int i = 0; i < n; ++i) {
            double s = 0.0;
            for (int j = 0; j < n; ++j) s += full[i][j] * x[j];
            err = std::max(err, std::fabs(s - b[i]));
        }
        CHECK(err <= 1e-10, "n = %d: residual %.2e", n, err);
        CHECK((f.dense_block() > 0) == (n1 >= 420), "n = %d: dense block %lld", n, static_cast<long long>(f.dense_block()));
    }
    UpperCsc lower_entry;
    lower_entry.n = 2;
    lower_entry.colptr = {0, 2, 3};
    lower_entry.rowind = {0, 1, 1};
    lower_entry.values = {1, 1, 1};
    UpLookingLdl f;
    CHECK(!f.analyze(lower_entry), "an entry below the diagonal is refused");
}

// ------------------------------------------------------------ public instances
void test_instances() {
    const char* dir = std::getenv("VELTO_DATA_DIR");
    if (dir == nullptr || !std::ifstream(std::string(dir) + "/optimal_values.csv")) {
        std::printf("skipped: public instances (VELTO_DATA_DIR not set or without optimal_values.csv)\n");
        return;
    }
    std::map<std::string, double> table;
    {
        std::ifstream in(std::string(dir) + "/optimal_values.csv");
        std::string line;
        while (std::getline(in, line)) {
            std::stringstream ss(line);
            std::string set, inst, val;
            std::getline(ss, set, ',');
            std::getline(ss, inst, ',');
            std::getline(ss, val, ',');
            char* end = nullptr;
            double v = std::strtod(val.c_str(), &end);
            if (end != val.c_str()) table[set + "/" + inst] = v;
        }
    }
    const char* instances[] = {"maros/HS21.QPS.gz",     "maros/HS118.QPS.gz",  "maros/GENHS28.QPS.gz",
                               "maros/DUALC1.QPS.gz",   "maros/QADLITTL.QPS.gz", "maros/QSCAGR7.QPS.gz",
                               "maros/ZECEVIC2.QPS.gz", "maros/VALUES.QPS.gz", "netlib/afiro.mps.gz",
                               "netlib/sc50a.mps.gz",   "netlib/kb2.mps.gz",   "netlib/share2b.mps.gz",
                               "netlib/blend.mps.gz"};
    for (const char* name : instances) {
        std::string path = std::string(dir) + "/" + name;
        if (!std::ifstream(path)) {
            std::printf("skipped: %s (absent)\n", name);
            continue;
        }
        std::string key(name);
        key = key.substr(0, key.find('.'));
        std::string set = key.substr(0, key.find('/')), inst = key.substr(key.find('/') + 1);
        auto it = table.find(key);
        CHECK(it != table.end(), "%s has a reference value", name);
        if (it == table.end()) continue;
        model::ProblemData d = io::read_mps_file(path, io::MpsFlavor::fixed);
        EngineResult r = run(d);
        check_optimal(d, r, name, 1e-6);
        double rel = std::fabs(r.primal_objective - it->second) / std::max(1.0, std::fabs(it->second));
        CHECK(rel <= 1e-6, "%s: objective %.10g, reference %.10g", name, r.primal_objective, it->second);
    }

    // Second-order-cone instances that once ended with NaN values reported
    // feasible; the table values are known to about 1e-5 (SOURCES.md).
    for (const char* name : {"cbf/nql30.cbf.gz", "cbf/sched_50_50_orig.cbf.gz"}) {
        std::string path = std::string(dir) + "/" + name;
        if (!std::ifstream(path)) {
            std::printf("skipped: %s (absent)\n", name);
            continue;
        }
        std::string key = std::string(name).substr(0, std::string(name).find('.'));
        auto it = table.find(key);
        CHECK(it != table.end(), "%s has a reference value", name);
        if (it == table.end()) continue;
        model::ProblemData d = vlt_test::read_cbf(path);
        EngineResult r = run(d);
        check_optimal(d, r, name, 1e-5);
        double rel = std::fabs(r.primal_objective - it->second) / std::max(1.0, std::fabs(it->second));
        CHECK(rel <= 1e-5, "%s: objective %.10g, reference %.10g", name, r.primal_objective, it->second);
    }

    for (const char* name : {"netlib_infeasible/galenet.mps.gz", "netlib_infeasible/klein1.mps.gz",
                             "netlib_infeasible/woodinfe.mps.gz"}) {
        std::string path = std::string(dir) + "/" + name;
        if (!std::ifstream(path)) {
            std::printf("skipped: %s (absent)\n", name);
            continue;
        }
        model::ProblemData d = io::read_mps_file(path, io::MpsFlavor::fixed);
        check_dual_ray(d, run(d), name);
    }
}

}  // namespace

// The Gram matrix <G_p, Wm^-1 G_q Wm^-1> of a PSD cone's columns, near an
// optimum where the dual has no interior (Z 1 = 0, as in graph partitioning
// relaxations): Z has the eigenvalue 1e-9 along the ones vector and S a
// large one there, so Wm^-1 mixes entries of 1e-5 and 1e4.  Columns: the
// all-ones matrix (many elements) and the unit diagonal matrices.  The
// matrix must stay a Gram matrix: its entry for the all-ones column is
// (1' Wm^-1 1)^2 > 0, and no eigenvalue may fall below rounding; formed one
// scaled column at a time (for lack of memory) it must not change.
void test_psd_gram_near_a_boundary() {
    using namespace vlt::solve::ipm;
    const int32_t n = 12;
    const int64_t dim = int64_t(n) * (n + 1) / 2;
    Lcg g{11};
    // An orthonormal basis whose first vector is the normalized ones vector
    // (Gram-Schmidt on 1 and random vectors).
    std::vector<std::vector<double>> q;
    for (int32_t k = 0; k < n; ++k) {
        std::vector<double> v(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) v[size_t(i)] = k == 0 ? 1.0 : g.range(-1, 1);
        for (const auto& u : q) {
            double d = 0.0;
            for (int32_t i = 0; i < n; ++i) d += u[size_t(i)] * v[size_t(i)];
            for (int32_t i = 0; i < n; ++i) v[size_t(i)] -= d * u[size_t(i)];
        }
        double norm = 0.0;
        for (double t : v) norm += t * t;
        for (double& t : v) t /= std::sqrt(norm);
        q.push_back(v);
    }
    // svec of sum_k lambda_k q_k q_k'.
    auto svec_of = [&](const std::vector<double>& lambda) {
        std::vector<double> v(static_cast<size_t>(dim));
        size_t p = 0;
        for (int32_t l = 0; l < n; ++l)
            for (int32_t k = l; k < n; ++k, ++p) {
                double x = 0.0;
                for (int32_t e = 0; e < n; ++e) x += lambda[size_t(e)] * q[size_t(e)][size_t(k)] * q[size_t(e)][size_t(l)];
                v[p] = k == l ? x : std::sqrt(2.0) * x;
            }
        return v;
    };
    std::vector<double> ls(static_cast<size_t>(n)), lz(static_cast<size_t>(n));
    for (int32_t e = 0; e < n; ++e) {
        ls[size_t(e)] = e == 0 ? 3e2 : 1e-9 * (1.0 + e);
        lz[size_t(e)] = e == 0 ? 1e-9 : 1.0 + 0.1 * e;
    }
    PsdCone cone(dim);
    CHECK(cone.update_scaling(svec_of(ls), svec_of(lz), 1e-9), "PSD Gram: scaling");
    // Column 0: the all-ones matrix; columns 1..n: the diagonal units.
    std::vector<int64_t> ptr{0}, row;
    std::vector<double> val;
    size_t p = 0;
    for (int32_t l = 0; l < n; ++l)
        for (int32_t k = l; k < n; ++k, ++p) row.push_back(int64_t(p)), val.push_back(k == l ? 1.0 : std::sqrt(2.0));
    ptr.push_back(int64_t(row.size()));
    p = 0;
    for (int32_t l = 0; l < n; ++l) {
        row.push_back(int64_t(p));
        val.push_back(1.0);
        ptr.push_back(int64_t(row.size()));
        p += size_t(n - l);
    }
    // A second long column: the first off-diagonal band.
    p = 0;
    for (int32_t l = 0; l < n; ++l) {
        if (l + 1 < n) row.push_back(int64_t(p + 1)), val.push_back(std::sqrt(2.0));
        p += size_t(n - l);
    }
    ptr.push_back(int64_t(row.size()));
    std::vector<double> upper, one_at_a_time;
    cone.inverse_gram(ptr, row, val, upper);
    // With no memory for the scaled columns kept together, the same entries.
    cone.inverse_gram_within(ptr, row, val, one_at_a_time, 0);
    double largest_difference = 0.0, largest_entry = 0.0;
    for (size_t t = 0; t < upper.size(); ++t) {
        largest_difference = std::max(largest_difference, std::fabs(upper[t] - one_at_a_time[t]));
        largest_entry = std::max(largest_entry, std::fabs(upper[t]));
    }
    CHECK(largest_difference <= 1e-12 * largest_entry, "PSD Gram one column at a time: differs by %.3e of %.3e",
          largest_difference, largest_entry);
    CHECK(std::fabs(one_at_a_time[0] - upper[0]) <= 1e-6 * upper[0], "PSD Gram one column at a time: ones column");
    const int64_t cols = n + 2;
    auto at = [&](int64_t a, int64_t b) { return a <= b ? upper[size_t(b * (b + 1) / 2 + a)] : upper[size_t(a * (a + 1) / 2 + b)]; };
    // 1' Wm^-1 1 = n sqrt(lz_0 / ls_0) exactly for this basis.
    const double expected = std::pow(n * std::sqrt(lz[0] / ls[0]), 2);
    CHECK(std::fabs(at(0, 0) - expected) <= 1e-6 * expected, "PSD Gram: ones column %.6e, expected %.6e", at(0, 0),
          expected);
    // Positive semidefinite up to rounding: a Cholesky factorization of the
    // matrix plus 1e-14 of its largest diagonal entry succeeds.
    double largest = 0.0;
    for (int64_t a = 0; a < cols; ++a) largest = std::max(largest, at(a, a));
    std::vector<double> l(size_t(cols * cols), 0.0);
    bool definite = true;
    for (int64_t b = 0; b < cols && definite; ++b)
        for (int64_t a = b; a < cols; ++a) {
            double x = at(a, b) + (a == b ? 1e-14 * largest : 0.0);
            for (int64_t k = 0; k < b; ++k) x -= l[size_t(a * cols + k)] * l[size_t(b * cols + k)];
            if (a == b) {
                if (!(x > 0.0)) definite = false;
                l[size_t(b * cols + b)] = std::sqrt(std::max(x, 0.0));
            } else {
                l[size_t(a * cols + b)] = x / l[size_t(b * cols + b)];
            }
        }
    CHECK(definite, "PSD Gram: not positive semidefinite");
}

int main() {
    test_soc_algebra();
    test_cone_interface();
    test_psd_gram_near_a_boundary();
    test_ldl();
    test_known_optima();
    test_generated();
    test_large_cones();
    test_infeasible();
    test_hook_and_limits();
    test_bad_input();
    test_non_finite_points();
    test_convexity_check();
    test_instances();
    return vlt_test::report();
}
