// Checks of the HiGHS back end.  Answers are verified with independent
// certificate checks (residuals, signs, complementarity, duality gap,
// finite-difference sensitivities, brute force), not against stored duals.
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "check.hpp"
#include "base/error.hpp"
#include "solve/highs_engine.hpp"

using namespace vlt;
using namespace vlt::solve;


constexpr double inf = INFINITY, tol = 1e-6;
const char* sense_name(int32_t s) { return s == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "max" : "min"; }

// Builds ProblemData from dense rows.
model::ProblemData make(int32_t sense, std::vector<double> c, std::vector<std::vector<double>> rows,
                        std::vector<int32_t> bkc, std::vector<double> blc, std::vector<double> buc,
                        std::vector<int32_t> bkx, std::vector<double> blx, std::vector<double> bux) {
    model::ProblemData p;
    p.sense = sense;
    p.numvar = static_cast<int32_t>(c.size());
    p.numcon = static_cast<int32_t>(rows.size());
    p.c = c, p.bkc = bkc, p.blc = blc, p.buc = buc, p.bkx = bkx, p.blx = blx, p.bux = bux;
    for (int32_t j = 0; j < p.numvar; ++j) {
        for (int32_t i = 0; i < p.numcon; ++i)
            if (rows[i][j] != 0) p.asub.push_back(i), p.aval.push_back(rows[i][j]);
        p.aptr.push_back(static_cast<int64_t>(p.asub.size()));
    }
    return p;
}

// The interval a bound key stands for, written independently of the engine.
std::pair<double, double> bounds(int32_t key, double l, double u) {
    if (key == VLT_BK_FR) return {-inf, inf};
    if (key == VLT_BK_LO) return {l, inf};
    if (key == VLT_BK_UP) return {-inf, u};
    if (key == VLT_BK_FX) return {l, l};
    return {l, u};
}

std::vector<double> times_a(const model::ProblemData& p, const std::vector<double>& x) {
    std::vector<double> r(p.numcon, 0.0);
    for (int32_t j = 0; j < p.numvar; ++j)
        for (int64_t k = p.aptr[j]; k < p.aptr[j + 1]; ++k) r[p.asub[k]] += p.aval[k] * x[j];
    return r;
}

// Verifies an optimal LP/QP answer: primal feasibility, xc = Ax, dual signs,
// y = slc - suc, c + Qx - A'y = slx - sux, complementarity, zero duality gap.
void check_optimal(const model::ProblemData& p, const EngineResult& r, const char* label) {
    CHECK(r.status == EngineStatus::optimal && r.has_primal && r.has_dual, "%s: %s", label, to_string(r.status));
    if (!r.has_primal || !r.has_dual) return;
    const double sgn = p.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    std::vector<double> ax = times_a(p, r.x), grad = p.c;
    double obj = p.cfix;
    for (size_t k = 0; k < p.qoval.size(); ++k) {
        int32_t i = p.qosubi[k], j = p.qosubj[k];
        grad[i] += p.qoval[k] * r.x[j];
        if (i != j) grad[j] += p.qoval[k] * r.x[i];
        obj += (i == j ? 0.5 : 1.0) * p.qoval[k] * r.x[i] * r.x[j];
    }
    for (int32_t j = 0; j < p.numvar; ++j) obj += p.c[j] * r.x[j];
    CHECK(std::fabs(obj - r.primal_objective) < tol, "%s: objective %g vs %g", label, obj, r.primal_objective);
    CHECK(std::fabs(r.primal_objective - r.dual_objective) < tol, "%s: gap %g", label, r.primal_objective - r.dual_objective);
    auto check_side = [&](double v, double l, double u, double y, double sl, double su, const char* what, int k) {
        CHECK(v >= l - tol && v <= u + tol, "%s: %s %d value %g outside [%g,%g]", label, what, k, v, l, u);
        CHECK(sgn * sl >= -tol && sgn * su >= -tol, "%s: %s %d dual sign sl=%g su=%g", label, what, k, sl, su);
        CHECK(std::fabs(y - (sl - su)) < tol, "%s: %s %d y != sl - su", label, what, k);
        CHECK(std::fabs(sl) < tol || std::fabs(v - l) < tol, "%s: %s %d sl=%g but slack %g", label, what, k, sl, v - l);
        CHECK(std::fabs(su) < tol || std::fabs(u - v) < tol, "%s: %s %d su=%g but slack %g", label, what, k, su, u - v);
    };
    for (int32_t i = 0; i < p.numcon; ++i) {
        auto [l, u] = bounds(p.bkc[i], p.blc[i], p.buc[i]);
        CHECK(std::fabs(ax[i] - r.xc[i]) < tol, "%s: xc[%d] != (Ax)", label, i);
        check_side(r.xc[i], l, u, r.y[i], r.slc[i], r.suc[i], "row", i);
    }
    for (int32_t j = 0; j < p.numvar; ++j)
        for (int64_t k = p.aptr[j]; k < p.aptr[j + 1]; ++k) grad[j] -= p.aval[k] * r.y[p.asub[k]];
    for (int32_t j = 0; j < p.numvar; ++j) {
        auto [l, u] = bounds(p.bkx[j], p.blx[j], p.bux[j]);
        check_side(r.x[j], l, u, grad[j], r.slx[j], r.sux[j], "column", j);
    }
}

// min/max  +-(x0 + x1);  r0: 1 <= x0+x1+x2 <= 4 (RA),  r1: x0 - x1 = 1 (FX,
// upper value ignored),  r2: free row whose contradictory values are ignored;
// x0 >= 0 (LO, upper ignored), x1 <= 2.5 (UP), x2 = 0.5 (FX).  Optimum 3.5.
model::ProblemData bound_key_lp(int32_t sense, double r0_upper = 4.0) {
    const double s = sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? 1.0 : -1.0;
    return make(sense, {s, s, 0}, {{1, 1, 1}, {1, -1, 0}, {1, 5, 0}}, {VLT_BK_RA, VLT_BK_FX, VLT_BK_FR},
                {1, 1, 10}, {r0_upper, 100, -10}, {VLT_BK_LO, VLT_BK_UP, VLT_BK_FX}, {0, 5, 0.5}, {1, 2.5, 7});
}

void test_lp_optimal_and_duals() {
    for (int32_t sense : {VLT_OBJECTIVE_SENSE_MINIMIZE, VLT_OBJECTIVE_SENSE_MAXIMIZE})
        for (Algorithm alg : {Algorithm::automatic, Algorithm::primal_simplex, Algorithm::dual_simplex,
                              Algorithm::interior_point}) {
            EngineOptions opt;
            opt.algorithm = alg;
            const auto p = bound_key_lp(sense);
            const auto r = solve_with_highs(p, opt);
            std::string label = std::string(sense_name(sense)) + " alg " + std::to_string(int(alg));
            check_optimal(p, r, label.c_str());
            const double expected = sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? 3.5 : -3.5;
            CHECK(std::fabs(r.primal_objective - expected) < tol, "%s: objective %g", label.c_str(), r.primal_objective);
            // The dual of r0 is the derivative of the optimum with respect to its active upper bound.
            const auto shifted = solve_with_highs(bound_key_lp(sense, 4.01), opt);
            const double slope = (shifted.primal_objective - r.primal_objective) / 0.01;
            CHECK(r.has_dual && std::fabs(r.y[0] - slope) < 1e-5, "%s: y0 vs slope %g", label.c_str(), slope);
            CHECK(r.has_basis, "%s: no basis", label.c_str());
            if (!r.has_basis) continue;
            int basic = 0;
            for (auto b : r.row_basis) basic += b == BasisStatus::basic;
            for (auto b : r.column_basis) basic += b == BasisStatus::basic;
            CHECK(basic == p.numcon, "%s: %d basic", label.c_str(), basic);
            CHECK(r.row_basis[1] == BasisStatus::fixed && r.column_basis[2] == BasisStatus::fixed &&
                      r.row_basis[0] == BasisStatus::at_upper,
                  "%s: statuses of fixed / active items", label.c_str());
        }
}

void test_infeasible_and_unbounded() {
    for (int32_t sense : {VLT_OBJECTIVE_SENSE_MINIMIZE, VLT_OBJECTIVE_SENSE_MAXIMIZE})
        for (bool presolve : {true, false}) {
            EngineOptions opt;
            opt.presolve = presolve;
            const double sg = sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
            // x0 + x1 >= 3 and x0 + 2 x1 <= 1 with x >= 0 have no common point.
            auto p = make(sense, {1, 1}, {{1, 1}, {1, 2}}, {VLT_BK_LO, VLT_BK_UP}, {3, 0}, {0, 1},
                          {VLT_BK_LO, VLT_BK_LO}, {0, 0}, {0, 0});
            auto r = solve_with_highs(p, opt);
            CHECK(r.status == EngineStatus::primal_infeasible && r.has_dual_ray, "infeasible %s: %s", sense_name(sense),
                  to_string(r.status));
            if (r.has_dual_ray) {
                // Farkas: with y the ray (sign-normalised), s = -A'y must only lean on
                // finite bounds and the bound they prove must be positive.
                std::vector<double> y(r.dual_ray);
                for (double& v : y) v *= sg;
                double value = 0;
                for (int32_t i = 0; i < 2; ++i) {
                    auto [l, u] = bounds(p.bkc[i], p.blc[i], p.buc[i]);
                    CHECK((y[i] <= tol || std::isfinite(l)) && (y[i] >= -tol || std::isfinite(u)), "ray row %d", i);
                    value += y[i] > 0 ? y[i] * l : y[i] < 0 ? y[i] * u : 0.0;
                }
                for (int32_t j = 0; j < 2; ++j) {
                    double s = 0;
                    for (int64_t k = p.aptr[j]; k < p.aptr[j + 1]; ++k) s -= p.aval[k] * y[p.asub[k]];
                    CHECK(s >= -tol, "ray column %d leans on an infinite upper bound (%g)", j, s);
                    value += s > 0 ? s * p.blx[j] : 0.0;
                }
                CHECK(value > tol, "Farkas value %g", value);
            }
            // min -x0 (max x0) with x0 - x1 <= 1, x >= 0: improving ray along x0 = x1.
            p = make(sense, {-sg, 0}, {{1, -1}}, {VLT_BK_UP}, {0}, {1}, {VLT_BK_LO, VLT_BK_LO}, {0, 0}, {0, 0});
            r = solve_with_highs(p, opt);
            const bool decided = r.status == EngineStatus::dual_infeasible ||
                                 r.status == EngineStatus::primal_or_dual_infeasible;
            CHECK(decided, "unbounded %s: %s", sense_name(sense), to_string(r.status));
            CHECK(r.has_primal_ray, "unbounded %s: no primal ray", sense_name(sense));
            if (r.has_primal_ray) {
                const auto& d = r.primal_ray;
                CHECK(d[0] >= -tol && d[1] >= -tol && d[0] - d[1] <= tol, "ray leaves the recession cone");
                CHECK(sg * (p.c[0] * d[0] + p.c[1] * d[1]) < -tol, "ray does not improve the objective");
            }
        }
}

void test_mip_against_brute_force() {
    const std::vector<double> value{7, 3, 9, 4, 6, 8, 2, 5, 1, 6}, weight{4, 2, 6, 3, 4, 5, 1, 4, 1, 3};
    const double capacity = 16;  // the LP relaxation is fractional
    double best = 0;
    for (int mask = 0; mask < 1 << 10; ++mask) {
        double v = 0, w = 0;
        for (int j = 0; j < 10; ++j)
            if (mask >> j & 1) v += value[j], w += weight[j];
        if (w <= capacity) best = std::max(best, v);
    }
    auto p = make(VLT_OBJECTIVE_SENSE_MAXIMIZE, value, {weight}, {VLT_BK_UP}, {0}, {capacity},
                  std::vector<int32_t>(10, VLT_BK_RA), std::vector<double>(10, 0), std::vector<double>(10, 1));
    p.vartype.assign(10, VLT_VAR_TYPE_INT);
    auto r = solve_with_highs(p, {});
    CHECK(r.status == EngineStatus::optimal && r.is_mip && !r.has_dual, "mip: %s", to_string(r.status));
    CHECK(std::fabs(r.primal_objective - best) < tol && r.mip_best_bound >= best - tol, "mip %g vs %g bound %g",
          r.primal_objective, best, r.mip_best_bound);
    for (double x : r.x) CHECK(std::fabs(x - std::round(x)) < tol, "mip x %g not integral", x);
    // min 10 x0 + x1, x0 + x1 >= 0.5, x0 >= t, x0 in [2, 3] (or 0 when semi-continuous).
    struct Semi { uint8_t flag; double t, expected; };
    for (const Semi& c : {Semi{1, 0, 0.5}, Semi{1, 1, 20}, Semi{0, 0, 20}}) {
        auto sc = make(VLT_OBJECTIVE_SENSE_MINIMIZE, {10, 1}, {{1, 1}, {1, 0}}, {VLT_BK_LO, VLT_BK_LO}, {0.5, c.t},
                       {0, 0}, {VLT_BK_RA, VLT_BK_LO}, {2, 0}, {3, 0});
        sc.semicont = {c.flag, 0};
        r = solve_with_highs(sc, {});
        CHECK(r.status == EngineStatus::optimal && std::fabs(r.primal_objective - c.expected) < tol,
              "semi-continuous flag %d t %g: %s %g", c.flag, c.t, to_string(r.status), r.primal_objective);
    }
    EngineOptions relaxed;
    relaxed.relax_integrality = true;
    r = solve_with_highs(p, relaxed);
    CHECK(!r.is_mip && r.primal_objective > best + tol, "relaxation %g should exceed %g", r.primal_objective, best);
}

void test_quadratic() {
    // min 0.5 (x0^2 + x0 x1 + x1^2)*2 ... as lower triangle Q = [[2,1],[1,2]], c = (-1,-1), x0 + x1 <= 0.5.
    for (int32_t sense : {VLT_OBJECTIVE_SENSE_MINIMIZE, VLT_OBJECTIVE_SENSE_MAXIMIZE}) {
        const double sg = sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
        auto p = make(sense, {-sg, -2 * sg}, {{1, 1}}, {VLT_BK_UP}, {0}, {0.5}, {VLT_BK_FR, VLT_BK_LO}, {0, 0}, {0, 0});
        p.qosubi = {0, 1, 1}, p.qosubj = {0, 0, 1}, p.qoval = {2 * sg, 1 * sg, 2 * sg};
        check_optimal(p, solve_with_highs(p, {}), sense_name(sense));
    }
    struct Case { const char* name; int32_t sense; std::vector<double> q; bool convex; };
    for (const Case& c : {Case{"indefinite", VLT_OBJECTIVE_SENSE_MINIMIZE, {0, 1, 0}, false},
                          Case{"psd for max", VLT_OBJECTIVE_SENSE_MAXIMIZE, {1, 0, 1}, false},
                          Case{"singular psd", VLT_OBJECTIVE_SENSE_MINIMIZE, {1, 1, 1}, true},
                          Case{"negative diagonal", VLT_OBJECTIVE_SENSE_MINIMIZE, {1, 0, -1e-3}, false}}) {
        auto p = make(c.sense, {1, 1}, {}, {}, {}, {}, {VLT_BK_RA, VLT_BK_RA}, {-1, -1}, {1, 1});
        p.qosubi = {0, 1, 1}, p.qosubj = {0, 0, 1}, p.qoval = c.q;
        auto r = solve_with_highs(p, {});
        CHECK((r.status == EngineStatus::optimal) == c.convex, "%s: %s", c.name, to_string(r.status));
        CHECK(c.convex || r.error_code == VLT_RES_ERR_NONCONVEX, "%s: code %d", c.name, r.error_code);
        p.vartype = {VLT_VAR_TYPE_INT, VLT_VAR_TYPE_CONT};
        if (c.convex) {
            r = solve_with_highs(p, {});
            CHECK(r.status == EngineStatus::error && r.error_code == VLT_RES_ERR_PROBLEM_TYPE, "MIQP: %s", to_string(r.status));
        }
    }
}

void test_without_variables() {
    // Every row activity is 0, so a row is satisfiable exactly when its interval holds 0.
    struct Case { int32_t key; double lower, upper; bool feasible; };
    for (int32_t sense : {VLT_OBJECTIVE_SENSE_MINIMIZE, VLT_OBJECTIVE_SENSE_MAXIMIZE})
        for (const Case& c : {Case{VLT_BK_LO, 1, 0, false}, Case{VLT_BK_UP, 5, -1, false}, Case{VLT_BK_RA, -1, 1, true},
                              Case{VLT_BK_FR, 3, -3, true}}) {
            auto p = make(sense, {}, {{}}, {c.key}, {c.lower}, {c.upper}, {}, {}, {});
            p.cfix = 2.5;
            auto r = solve_with_highs(p, {});
            const bool ok = c.feasible ? r.status == EngineStatus::optimal && r.primal_objective == 2.5
                                       : r.status == EngineStatus::primal_infeasible && r.has_dual_ray;
            CHECK(ok, "%s key %d: %s", sense_name(sense), c.key, to_string(r.status));
            if (!c.feasible && r.has_dual_ray) {
                const double y = r.dual_ray[0] * (sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1 : 1);
                CHECK((y > 0 ? y * c.lower : y * c.upper) > 0, "ray %g proves nothing", y);  // lc*slc - uc*suc
            }
        }
}

// A dense max c'x, Ax <= b, x >= 0 that takes the simplex many iterations.
model::ProblemData dense_lp(int32_t n, bool integer) {
    uint32_t seed = 12345;
    auto next = [&] { return 1.0 + (seed = seed * 1664525u + 1013904223u) % 1000 / 100.0; };
    std::vector<std::vector<double>> rows(n, std::vector<double>(n));
    for (auto& row : rows)
        for (double& a : row) a = next();
    std::vector<double> c(n);
    for (double& v : c) v = next();
    auto p = make(VLT_OBJECTIVE_SENSE_MAXIMIZE, c, rows, std::vector<int32_t>(n, VLT_BK_UP), std::vector<double>(n, 0),
                  std::vector<double>(n, 100), std::vector<int32_t>(n, VLT_BK_LO), std::vector<double>(n, 0),
                  std::vector<double>(n, 0));
    if (integer) p.vartype.assign(n, VLT_VAR_TYPE_INT);
    return p;
}

void test_progress_hook_and_limits() {
    EngineOptions opt;
    opt.presolve = false;
    for (Algorithm alg : {Algorithm::dual_simplex, Algorithm::interior_point, Algorithm::mixed_integer}) {
        opt.algorithm = alg;
        int calls = 0;
        auto r = solve_with_highs(dense_lp(60, alg == Algorithm::mixed_integer), opt,
                                  [&](const ProgressEvent&) { return ++calls >= 1; });
        CHECK(r.status == EngineStatus::interrupted && calls >= 1, "alg %d: %s after %d calls", int(alg),
              to_string(r.status), calls);
    }
    bool thrown = false;
    try {
        solve_with_highs(dense_lp(40, false), opt, [](const ProgressEvent&) -> bool { throw std::runtime_error("x"); });
    } catch (const std::runtime_error&) {
        thrown = true;
    }
    CHECK(thrown, "exception from the hook was not propagated");
    opt.time_limit = 0;
    auto r = solve_with_highs(dense_lp(40, false), opt);
    CHECK(r.status == EngineStatus::time_limit, "time limit 0: %s", to_string(r.status));
    opt.time_limit = inf;
    opt.algorithm = Algorithm::dual_simplex;
    opt.simplex_iteration_limit = 2;
    r = solve_with_highs(dense_lp(40, false), opt);
    CHECK(r.status == EngineStatus::iteration_limit && r.simplex_iterations <= 2, "iteration limit: %s",
          to_string(r.status));
    std::vector<std::string> lines;
    opt.simplex_iteration_limit = -1;
    solve_with_highs(dense_lp(10, false), opt, {}, [&](const std::string& line) { lines.push_back(line); });
    bool clean = !lines.empty();
    for (const auto& l : lines) clean = clean && l.find('\n') == std::string::npos;
    CHECK(clean, "%zu log lines, or a line with a newline", lines.size());
}

void test_bad_input() {
    struct Case { const char* name; VLTrescodee code; void (*spoil)(model::ProblemData&); };
    const Case cases[] = {
        {"short c", VLT_RES_ERR_DIMENSION, [](model::ProblemData& p) { p.c.pop_back(); }},
        {"bound key", VLT_RES_ERR_INVALID_BOUNDKEY, [](model::ProblemData& p) { p.bkx[0] = 9; }},
        {"row index", VLT_RES_ERR_INDEX_CON, [](model::ProblemData& p) { p.asub[0] = 3; }},
        {"duplicate", VLT_RES_ERR_DUPLICATE_INDEX, [](model::ProblemData& p) { p.asub[1] = p.asub[0]; }},
        {"nan", VLT_RES_ERR_NAN_VALUE, [](model::ProblemData& p) { p.aval[2] = NAN; }},
        {"nan bound", VLT_RES_ERR_NAN_VALUE, [](model::ProblemData& p) { p.blc[0] = NAN; }},
        {"+inf lower", VLT_RES_ERR_INVALID_BOUND, [](model::ProblemData& p) { p.blx[0] = inf; }},
        {"pointers", VLT_RES_ERR_INVALID_PTR, [](model::ProblemData& p) { p.aptr[1] = 100; }},
        {"vartype", VLT_RES_ERR_INVALID_VARTYPE, [](model::ProblemData& p) { p.vartype.assign(3, 7); }},
        {"upper triangle", VLT_RES_ERR_ARGUMENT,
         [](model::ProblemData& p) { p.qosubi = {0}, p.qosubj = {1}, p.qoval = {1}; }},
    };
    for (const Case& c : cases) {
        auto p = bound_key_lp(VLT_OBJECTIVE_SENSE_MINIMIZE);
        c.spoil(p);
        VLTrescodee code = VLT_RES_OK;
        try {
            solve_with_highs(p, {});
        } catch (const Error& e) {
            code = e.code();
        }
        CHECK(code == c.code, "%s: code %d", c.name, code);
    }
}

int main() {
    test_lp_optimal_and_duals();
    test_infeasible_and_unbounded();
    test_mip_against_brute_force();
    test_quadratic();
    test_without_variables();
    test_progress_hook_and_limits();
    test_bad_input();
    return vlt_test::report();
}
