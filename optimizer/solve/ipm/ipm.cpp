#include "solve/ipm/ipm.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "model/bounds.hpp"
#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/formulation.hpp"
#include "solve/ipm/kkt.hpp"

namespace vlt::solve {
namespace {

using namespace ipm;

constexpr double kInf = std::numeric_limits<double>::infinity();

double dot(const std::vector<double>& a, const std::vector<double>& b) {
    double s = 0.0;
    for (size_t i = 0; i < a.size(); ++i) s += a[i] * b[i];
    return s;
}

double inf_norm(const std::vector<double>& a) {
    double s = 0.0;
    for (double v : a) s = std::max(s, std::fabs(v));
    return s;
}

// The iterate of the embedding, in the scaled internal space: s and z over
// the rows of G, sb and zb over the bound rows.
struct Point {
    std::vector<double> x, s, z, sb, zb;
    double tau = 1.0, kappa = 1.0;

    void add(double alpha, const Point& d) {
        auto axpy = [alpha](std::vector<double>& v, const std::vector<double>& dv) {
            for (size_t i = 0; i < v.size(); ++i) v[i] += alpha * dv[i];
        };
        axpy(x, d.x);
        axpy(s, d.s);
        axpy(z, d.z);
        axpy(sb, d.sb);
        axpy(zb, d.zb);
        tau += alpha * d.tau;
        kappa += alpha * d.kappa;
    }
};

// The finite simple bounds as rows  sign_k x_{column_k} + sb_k = h_k tau
// with sb in R+ (lower bounds first: sign -1, h = -lb; then upper bounds:
// sign +1, h = ub).  They are eliminated into the diagonal of the KKT system.
struct BoundRows {
    std::vector<int64_t> column;
    std::vector<double> sign, h;

    explicit BoundRows(const ConicForm& f) {
        for (int64_t j = 0; j < f.n; ++j)
            if (std::isfinite(f.lb[size_t(j)])) column.push_back(j), sign.push_back(-1.0), h.push_back(-f.lb[size_t(j)]);
        for (int64_t j = 0; j < f.n; ++j)
            if (std::isfinite(f.ub[size_t(j)])) column.push_back(j), sign.push_back(1.0), h.push_back(f.ub[size_t(j)]);
    }
    size_t size() const { return column.size(); }
    // Per column: the multipliers of its lower and of its upper bound.
    void split(const std::vector<double>& zb, double scale, int64_t n, std::vector<double>& lower,
               std::vector<double>& upper) const {
        lower.assign(size_t(n), 0.0);
        upper.assign(size_t(n), 0.0);
        for (size_t k = 0; k < size(); ++k) (sign[k] < 0 ? lower : upper)[size_t(column[k])] = zb[k] * scale;
    }
};

// Residuals of the embedding at the current iterate, and the products they
// are made of.
struct Residuals {
    std::vector<double> x, z, b;  // dual (columns), primal (rows of G), bound rows
    double tau = 0.0;
    std::vector<double> px, gx, gtz;
    double xpx = 0.0, qx = 0.0, hz = 0.0;  // x'Px, q'x, h'z + hb'zb
};

// Progress in the problem's units.
struct Measures {
    double pobj = 0.0, dobj = 0.0, pres = 0.0, dres = 0.0, gap = 0.0, mu = 0.0;
};

bool equation_cone(const ConeRows& c) { return c.domain == VLT_DOMAIN_RZERO; }

std::vector<ConeRows> bound_cone_rows(size_t rows) {
    if (rows == 0) return {};
    return {ConeRows{VLT_DOMAIN_RPLUS, 0, int64_t(rows), {}}};
}

class Solver {
public:
    // `start`: when the run began (the time limit counts from there).
    Solver(const model::ProblemData& d, const ConicForm& f, const Recovery& rec, const IpmOptions& o,
           const ProgressHook& hook, const LogSink& log, std::chrono::steady_clock::time_point start)
        : d_(d), f_(f), rec_(rec), o_(o), hook_(hook), log_(log), start_(start), cones_(f.cones), bounds_(f),
          bound_cone_(bound_cone_rows(bounds_.size())), kkt_(f, cones_) {}

    EngineResult run();
    // The figures of the last iterate and of the linear algebra.
    void fill_figures(EngineResult& r) const;

private:
    // Factors the system at the current scalings, timing the factorization.
    bool timed_factor() {
        const double begin = elapsed();
        const bool ok = kkt_.factor(bound_diag_, cones_);
        factor_time_ += elapsed() - begin;
        return ok;
    }
    // ---- linear algebra on the conic form
    void mul_p(const std::vector<double>& x, std::vector<double>& out) const;
    void mul_g(const std::vector<double>& x, std::vector<double>& out) const;
    void mul_gt(const std::vector<double>& z, std::vector<double>& out) const;

    // ---- the steps of an iteration
    bool initial_point();
    void linear_rows(const Point& p, Residuals& r) const;
    void compute_residuals();
    Measures measure() const;
    // Certificates of infeasibility at the current iterate, within the
    // given tolerance (relative to the certificate's objective value).
    bool certify_primal_infeasibility(EngineResult& r, double tolerance);
    bool certify_dual_infeasibility(EngineResult& r, double tolerance);
    // Certifies at the infeasibility tolerance; failing that, keeps a
    // certificate within the tolerance relaxed by the near-optimality
    // factor, for a run that ends in numerical trouble.
    bool certify_infeasibility(EngineResult& r);
    bool stop_requested(EngineResult& r, const Measures& m);
    // Asked during factorizations: the time limit, and the progress
    // callback at most every kQuestionSeconds; sets interrupt_status_.
    bool interrupt_due();
    void finish_interrupted(EngineResult& r);
    // Ends a run stopped before the first iterate exists: no point to report.
    void finish_without_point(EngineResult& r, EngineStatus status, const std::string& message);
    bool has_point() const { return pt_.x.size() == size_t(f_.n) && pt_.s.size() == size_t(f_.m); }
    bool factor_scaled_system(double mu);
    // Factors the scaled system and finds the combined direction and its
    // step; a solve that breaks down (a direction that is not finite) is
    // repeated with stronger regularization.  Null, or why no direction
    // could be found.
    const char* factor_and_step(double mu, double& alpha);
    // The directions of tau, the predictor and the corrector, and the step.
    double directions_and_step(double mu);
    void solve_tau_direction();
    // Solves for one right-hand side of the complementarity rows (ds over
    // the rows of G, dsb over the bound rows, dkappa) with residual weight
    // eta; the result goes to `dir`.
    void direction(double eta, double dkappa_rhs, Point& dir);
    // Solves the Newton system for the right-hand sides rx, rz, rb of the
    // linear rows and rtau of the tau row, dkappa_rhs of the tau-kappa
    // product and the complementarity offsets (ds = -H dz - offset).
    void solve_newton(const std::vector<double>& rx, const std::vector<double>& rz, const std::vector<double>& rb,
                      double rtau, double dkappa_rhs, const std::vector<double>& offset,
                      const std::vector<double>& offset_b, Point& dir);
    // The errors of a direction in the linear rows (left in
    // direction_errors_), as the largest ratio over the three kinds of rows of the
    // error to kDirectionErrorShare of the rows' right-hand side, or to a
    // size that cannot matter, whichever is larger.
    double direction_error_excess(const Point& dir);
    void refine_direction(Point& dir);
    void predictor();
    // The combined direction: centring and, when asked, the cones'
    // second-order terms of the affine step.
    void corrector(double mu, bool second_order);
    // The combined direction and its step length.
    double combined_step(double mu, bool second_order);
    double max_step(const Point& dir) const;
    double centred_step(const Point& dir, double alpha) const;
    // Solves the reduced Newton system for right-hand sides of the rows of
    // x, z and the bound rows, at the factored scalings.
    void newton_solve(const std::vector<double>& rx, const std::vector<double>& rz, const std::vector<double>& rb,
                      Point& dir);

    void log_line(const std::string& line) const {
        if (o_.log_level >= 1 && log_) log_(line);
    }
    void log_header();
    void log_iteration(const Measures& m) const;
    double elapsed() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    void finish(EngineResult& r, EngineStatus status, const std::string& message);
    OriginalPoint original_point() const;
    // How far the scaled measures are from the tolerances: at most 1 when
    // they meet all three.
    double scaled_merit(const Measures& m) const;
    // The same on the problem's own data, in the measures of the final
    // check of a solution (solve/quality/certification.hpp), for a point
    // recovered from the current iterate.
    double original_merit(const OriginalQuality& q) const;
    // The recovered point with reduced costs made exact where the column's
    // bounds take them, when that brings it closer to the tolerances.
    OriginalPoint polished(OriginalPoint op) const;
    // The original merit of the current iterate, evaluated only when its
    // scaled measures are within the near-optimality factor (infinite
    // otherwise: the recovery is not worth its cost far from an optimum).
    double original_merit_near_optimum(const Measures& m) const;
    // Keeps the iterate that is closest to the tolerances: one that meets
    // them on the problem's own data (`original` at most 1) before any that
    // does not, and then the one with the lowest merit on both kinds of
    // measures (the scaled ones alone where `original` was not evaluated).
    void remember_if_best(const Measures& m, double original);
    // Ends a run that stopped short of the tolerances with the best iterate;
    // after numerical trouble, a best iterate within the tolerances relaxed
    // by the near-optimality factor is accepted as optimal.
    void finish_with_best(EngineResult& r, EngineStatus status, const std::string& message);
    // Whether the run ends here: as optimal when both the scaled measures
    // and those on the problem's own data (`original`, the merit) meet the
    // tolerances.  (The scaled ones are kept: the final check measures
    // violations against the sizes of the terms, which on some problems
    // lets a point pass far from the optimum.)  When only the scaled ones
    // do, the run goes on for kOriginalDataIterations more before it ends
    // with its best iterate.
    bool converged(const Measures& m, double original, EngineResult& r);

    const model::ProblemData& d_;
    const ConicForm& f_;
    const Recovery& rec_;
    const IpmOptions& o_;
    const ProgressHook& hook_;
    const LogSink& log_;
    std::chrono::steady_clock::time_point start_;
    CompositeCone cones_;
    BoundRows bounds_;
    CompositeCone bound_cone_;
    Kkt kkt_;
    double iteration_started_ = 0.0, last_iteration_seconds_ = 0.0;

    Point pt_;
    Residuals res_;
    std::vector<double> bound_d_, bound_diag_;  // zb / sb per bound row; their sum per column
    Point d_tau_, d_aff_, d_comb_;
    // complementarity right-hand sides and their offsets (ds = -H dz - offset)
    std::vector<double> ds_, dsb_, offset_, offset_b_, zero_;
    std::vector<double> rhs_x_, rhs_z_, rhs_b_, kkt_rhs_, kkt_z_, kkt_b_;
    Residuals direction_errors_;  // a direction's linear rows less their right-hand sides
    double tau_denominator_ = 0.0;
    int64_t iterations_ = 0;
    double last_step_ = 0.0;
    Point best_;
    double best_merit_ = kInf;
    // Whether the best iterate meets the tolerances on the problem's own
    // data, and the first iteration at which the scaled measures met them
    // (-1 before).
    bool best_meets_original_ = false;
    int64_t scaled_converged_at_ = -1;
    int64_t best_iteration_ = -1;
    EngineResult near_certificate_;
    int64_t near_certificate_iteration_ = -1;
    Measures lowest_{kInf, kInf, kInf, kInf, kInf, kInf};
    int64_t last_progress_ = 0;
    int64_t refinement_steps_ = 0;
    double order_time_ = 0.0, factor_time_ = 0.0;
    Measures last_{};
    double last_objective_ = 0.0, last_question_ = 0.0;
    EngineStatus interrupt_status_ = EngineStatus::time_limit;
};

// Certificates: a sum that vanishes to working precision is within this
// many units of rounding of the sum of its terms' magnitudes; a value that
// stands clear of rounding exceeds its rounding by this factor.
constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr double kRoundingUnits = 64.0;
constexpr double kSignificantRounding = 1e6;

// With non-symmetric cones: the factor of the tolerance on the products of
// residuals and iterates in the gap (see measure), and the step below which
// the combined direction is tried again without the second-order terms.
constexpr double kResidualGapFactor = 100.0;
constexpr double kShortStep = 0.3;
// The largest excess of the barriers over their value on the central path
// that a step may reach with non-symmetric cones: the degree nu of the
// whole cone, but no more than this.  With thousands of cones an excess of
// nu lets single cones drift to their boundaries, where the directions lose
// their accuracy and the steps shrink to nothing; a bound of a few hundred
// keeps them clear and costs no iterations where nu is small.
constexpr double kCentralityLimit = 200.0;

// A direction is refined once on the whole Newton system when its errors
// in one kind of linear rows exceed this share of their right-hand side.
constexpr double kDirectionErrorShare = 1e-1;

// Factorizations tried per iteration, each with stronger regularization,
// when a solve breaks down (a tiny pivot the factorization let through
// gives a direction of 1e60 and more, then NaN).
constexpr int kFactorAttempts = 3;

bool finite(const Point& p) {
    auto all = [](const std::vector<double>& v) {
        return std::all_of(v.begin(), v.end(), [](double t) { return std::isfinite(t); });
    };
    return all(p.x) && all(p.s) && all(p.z) && all(p.sb) && all(p.zb) && std::isfinite(p.tau) &&
           std::isfinite(p.kappa);
}

// Iterations without progress in any measure after which the run is over.
constexpr int64_t kPatience = 10;
// Iterations the run goes on after its scaled measures met the tolerances
// while the point on the problem's own data does not yet.
constexpr int64_t kOriginalDataIterations = 10;

void Solver::mul_p(const std::vector<double>& x, std::vector<double>& out) const {
    std::fill(out.begin(), out.end(), 0.0);
    for (int64_t j = 0; j < f_.n; ++j)
        for (int64_t p = f_.p.colptr[size_t(j)]; p < f_.p.colptr[size_t(j) + 1]; ++p) {
            int64_t i = f_.p.rowind[size_t(p)];
            double v = f_.p.values[size_t(p)];
            out[size_t(i)] += v * x[size_t(j)];
            if (i != j) out[size_t(j)] += v * x[size_t(i)];
        }
}

void Solver::mul_g(const std::vector<double>& x, std::vector<double>& out) const {
    std::fill(out.begin(), out.end(), 0.0);
    for (int64_t j = 0; j < f_.n; ++j)
        for (int64_t p = f_.gptr[size_t(j)]; p < f_.gptr[size_t(j) + 1]; ++p)
            out[size_t(f_.gind[size_t(p)])] += f_.gval[size_t(p)] * x[size_t(j)];
}

void Solver::mul_gt(const std::vector<double>& z, std::vector<double>& out) const {
    for (int64_t j = 0; j < f_.n; ++j) {
        double s = 0.0;
        for (int64_t p = f_.gptr[size_t(j)]; p < f_.gptr[size_t(j) + 1]; ++p)
            s += f_.gval[size_t(p)] * z[size_t(f_.gind[size_t(p)])];
        out[size_t(j)] = s;
    }
}

void Solver::newton_solve(const std::vector<double>& rx, const std::vector<double>& rz, const std::vector<double>& rb,
                          Point& dir) {
    const int64_t n = f_.n, m = f_.m;
    kkt_rhs_.resize(size_t(n + m));
    std::copy(rx.begin(), rx.end(), kkt_rhs_.begin());
    // A bound row  sign dx - Hb dzb = rb  gives dzb = (sign dx - rb) / Hb,
    // which moves sign rb / Hb to the right-hand side of its column.
    for (size_t k = 0; k < bounds_.size(); ++k)
        kkt_rhs_[size_t(bounds_.column[k])] += bounds_.sign[k] * rb[k] * bound_d_[k];
    std::copy(rz.begin(), rz.end(), kkt_rhs_.begin() + n);
    kkt_.solve(kkt_rhs_);
    dir.x.assign(kkt_rhs_.begin(), kkt_rhs_.begin() + n);
    dir.z.assign(kkt_rhs_.begin() + n, kkt_rhs_.end());
    dir.zb.resize(bounds_.size());
    for (size_t k = 0; k < bounds_.size(); ++k)
        dir.zb[k] = (bounds_.sign[k] * dir.x[size_t(bounds_.column[k])] - rb[k]) * bound_d_[k];
}

bool Solver::initial_point() {
    const int64_t n = f_.n, m = f_.m;
    const size_t nb = bounds_.size();
    pt_.tau = pt_.kappa = 1.0;
    if (!cones_.is_symmetric() || o_.constant_start) {
        // Non-symmetric cones start at their central point.
        pt_.x.assign(size_t(n), 0.0);
        pt_.s.assign(size_t(m), 0.0);
        pt_.z.assign(size_t(m), 0.0);
        pt_.sb.assign(nb, 1.0);
        pt_.zb.assign(nb, 1.0);
        cones_.unit_point(pt_.s, pt_.z);
        return true;
    }
    // Solve [P G'; G -I] with unit scalings: the least-squares-like primal
    // point and dual point of the problem; then shift s and z into the cones.
    cones_.set_identity_scaling();
    bound_d_.assign(nb, 1.0);
    bound_diag_.assign(size_t(n), 0.0);
    for (int64_t j : bounds_.column) bound_diag_[size_t(j)] += 1.0;
    if (!timed_factor()) return false;
    // With a quadratic objective the primal and dual point of [P G'; G -I]
    // for the right-hand side (-q, h); without one (P = 0) a primal point
    // from (0, h), which minimizes ||s|| with Gx + s = h, and a dual point
    // from (-q, 0), which minimizes ||z|| with G'z + q = 0.
    std::vector<double> minus_q(static_cast<size_t>(n));
    for (int64_t j = 0; j < n; ++j) minus_q[size_t(j)] = -f_.q[size_t(j)];
    bool linear_objective = true;
    for (double v : f_.p.values) linear_objective = linear_objective && v == 0.0;
    Point primal, dual;
    if (linear_objective) {
        std::vector<double> zero_x(static_cast<size_t>(n), 0.0), zero_z(static_cast<size_t>(m), 0.0), zero_b(nb, 0.0);
        newton_solve(zero_x, f_.h, bounds_.h, primal);
        newton_solve(minus_q, zero_z, zero_b, dual);
    } else {
        newton_solve(minus_q, f_.h, bounds_.h, primal);
        dual = primal;
    }
    pt_.x = primal.x;
    pt_.z = dual.z;
    pt_.zb = dual.zb;
    pt_.s.resize(size_t(m));
    pt_.sb.resize(nb);
    for (int64_t i = 0; i < m; ++i) pt_.s[size_t(i)] = -primal.z[size_t(i)];
    for (size_t k = 0; k < nb; ++k) pt_.sb[k] = -primal.zb[k];
    // v + (1 + alpha) e when alpha = -(smallest eigenvalue) is above
    // -1e-8 max(1, ||v||): a point on the boundary, or so close to it that
    // its scaling would be singular to working precision, moves inside as
    // well.  (Where the dual has no interior, the least-norm dual point
    // lies on the boundary of the cone, its eigenvalue zero up to rounding.)
    auto shift = [&](std::vector<double>& v, std::vector<double>& vb, bool primal) {
        const double alpha = -std::min(cones_.unit_margin(v), bound_cone_.unit_margin(vb));
        const double size = std::max({1.0, inf_norm(v), inf_norm(vb)});
        const double amount = alpha >= -1e-8 * size ? 1.0 + alpha : 0.0;
        cones_.shift_by_unit(v, amount, primal);
        bound_cone_.shift_by_unit(vb, amount, primal);
    };
    shift(pt_.s, pt_.sb, true);
    shift(pt_.z, pt_.zb, false);
    return true;
}

// The linear rows of the embedding at p: the columns P x + G'z + q tau +
// (bound multipliers), the rows G x + s - h tau and the bound rows
// sign x + sb - hb tau, with the products px, gx, gtz they are made of.
void Solver::linear_rows(const Point& p, Residuals& r) const {
    const int64_t n = f_.n, m = f_.m;
    r.px.resize(size_t(n));
    r.gx.resize(size_t(m));
    r.gtz.resize(size_t(n));
    r.x.resize(size_t(n));
    r.z.resize(size_t(m));
    r.b.resize(bounds_.size());
    mul_p(p.x, r.px);
    mul_g(p.x, r.gx);
    mul_gt(p.z, r.gtz);
    for (int64_t j = 0; j < n; ++j) r.x[size_t(j)] = r.px[size_t(j)] + r.gtz[size_t(j)] + f_.q[size_t(j)] * p.tau;
    for (size_t k = 0; k < bounds_.size(); ++k) r.x[size_t(bounds_.column[k])] += bounds_.sign[k] * p.zb[k];
    for (int64_t i = 0; i < m; ++i) r.z[size_t(i)] = r.gx[size_t(i)] + p.s[size_t(i)] - f_.h[size_t(i)] * p.tau;
    for (size_t k = 0; k < bounds_.size(); ++k)
        r.b[k] = bounds_.sign[k] * p.x[size_t(bounds_.column[k])] + p.sb[k] - bounds_.h[k] * p.tau;
}

void Solver::compute_residuals() {
    const Point& p = pt_;
    Residuals& r = res_;
    linear_rows(p, r);
    r.xpx = dot(p.x, r.px);
    r.qx = dot(f_.q, p.x);
    r.hz = dot(f_.h, p.z) + dot(bounds_.h, p.zb);
    r.tau = r.qx + r.hz + r.xpx / p.tau + p.kappa;
}

Measures Solver::measure() const {
    const Point& p = pt_;
    const Residuals& r = res_;
    const double tau = p.tau, cs = f_.cost_scale;
    Measures m;
    m.pobj = (r.qx / tau + 0.5 * r.xpx / (tau * tau)) / cs + f_.objective_constant;
    m.dobj = (-0.5 * r.xpx / (tau * tau) - r.hz / tau) / cs + f_.objective_constant;
    // Relative to 1 + max(|h|, |Gx|) and 1 + max(|c|, |Px|), in original
    // units.  The size of the duals is left out on purpose: with large
    // multipliers a residual small against them still moves the objective.
    double hnorm = 0.0, qnorm = 0.0;
    for (int64_t i = 0; i < f_.m; ++i) hnorm = std::max(hnorm, std::fabs(f_.h[size_t(i)] / f_.rowscale[size_t(i)]));
    for (int64_t j = 0; j < f_.n; ++j)
        qnorm = std::max(qnorm, std::fabs(f_.q[size_t(j)] / (cs * f_.colscale[size_t(j)])));
    double pscale = hnorm, dscale = qnorm;
    for (int64_t i = 0; i < f_.m; ++i) {
        m.pres = std::max(m.pres, std::fabs(r.z[size_t(i)]) / f_.rowscale[size_t(i)]);
        pscale = std::max(pscale, std::fabs(r.gx[size_t(i)]) / f_.rowscale[size_t(i)]);
    }
    for (size_t k = 0; k < bounds_.size(); ++k)
        m.pres = std::max(m.pres, std::fabs(r.b[k]) * f_.colscale[size_t(bounds_.column[k])]);
    for (int64_t j = 0; j < f_.n; ++j) {
        double dj = cs * f_.colscale[size_t(j)];
        m.dres = std::max(m.dres, std::fabs(r.x[size_t(j)]) / dj);
        dscale = std::max(dscale, std::fabs(r.px[size_t(j)]) / (dj * tau));
    }
    m.pres /= tau * (1.0 + pscale / tau);
    m.dres /= tau * (1.0 + dscale);
    m.gap = std::fabs(m.pobj - m.dobj) / std::max(1.0, std::fabs(m.pobj));
    // With non-symmetric cones an optimum is often approached only as some
    // variables grow without bound (the exponential cone's boundary at
    // infinity).  The dual objective then misses a valid bound by about the
    // dual residual times x, and the primal one by the primal residual times
    // z, which the relative residuals do not show: those products count in
    // the gap, against a tolerance kResidualGapFactor times wider.
    if (!cones_.is_symmetric()) {
        const double products = std::max(std::fabs(dot(r.x, p.x)), std::fabs(dot(r.z, p.z) + dot(r.b, p.zb)));
        m.gap = std::max(m.gap, products / (tau * tau * cs) / std::max(1.0, std::fabs(m.pobj)) / kResidualGapFactor);
    }
    const double nu = cones_.degree() + bound_cone_.degree();
    m.mu = (dot(p.s, p.z) + dot(p.sb, p.zb) + p.tau * p.kappa) / (nu + 1.0);
    return m;
}

// A primal infeasibility certificate: G'z + bound multipliers = 0 with
// -h'z > 0.  Each column of G'z must vanish within the tolerance times -h'z,
// or to working precision: within a few units of rounding of the sum of the
// magnitudes of its terms, while -h'z stands clear of its own rounding.
// (Where -h'z is the small difference of large terms, the first test asks
// for more digits than floating point holds.)
bool Solver::certify_primal_infeasibility(EngineResult& r, double tolerance) {
    const Point& p = pt_;
    const double cs = f_.cost_scale, bz = -res_.hz / cs;
    if (!(bz > 0.0)) return false;
    std::vector<double> atz(res_.gtz), magnitude(size_t(f_.n), 0.0);
    for (int64_t j = 0; j < f_.n; ++j)
        for (int64_t q = f_.gptr[size_t(j)]; q < f_.gptr[size_t(j) + 1]; ++q)
            magnitude[size_t(j)] += std::fabs(f_.gval[size_t(q)] * p.z[size_t(f_.gind[size_t(q)])]);
    for (size_t k = 0; k < bounds_.size(); ++k) {
        atz[size_t(bounds_.column[k])] += bounds_.sign[k] * p.zb[k];
        magnitude[size_t(bounds_.column[k])] += std::fabs(p.zb[k]);
    }
    double hz_magnitude = 0.0;
    for (int64_t i = 0; i < f_.m; ++i) hz_magnitude += std::fabs(f_.h[size_t(i)] * p.z[size_t(i)]);
    for (size_t k = 0; k < bounds_.size(); ++k) hz_magnitude += std::fabs(bounds_.h[k] * p.zb[k]);
    const bool bz_significant = bz * cs > kSignificantRounding * kEpsilon * hz_magnitude;
    for (int64_t j = 0; j < f_.n; ++j) {
        const double residual = std::fabs(atz[size_t(j)]);
        if (residual / (cs * f_.colscale[size_t(j)]) <= tolerance * bz) continue;
        if (bz_significant && residual <= kRoundingUnits * kEpsilon * magnitude[size_t(j)]) continue;
        return false;
    }
    r.status = EngineStatus::primal_infeasible;
    std::vector<double> zl, zu, x0(size_t(f_.n), 0.0);
    bounds_.split(p.zb, 1.0, f_.n, zl, zu);
    OriginalPoint op;
    recover(d_, f_, rec_, x0, p.z, zl, zu, op);
    double scale = std::max(inf_norm(op.y), inf_norm(op.doty));
    if (scale > 0.0) {
        for (auto& v : op.y) v /= scale;
        for (auto& v : op.doty) v /= scale;
    }
    r.has_dual_ray = true;
    r.dual_ray = std::move(op.y);
    r.dual_ray_conic = std::move(op.doty);
    r.interior_iterations = iterations_;
    r.solve_time = elapsed();
    r.message = "the problem is primal infeasible";
    return true;
}

// A dual infeasibility certificate: Px = 0, Gx + s = 0, the bounds'
// recession directions respected, q'x < 0.
bool Solver::certify_dual_infeasibility(EngineResult& r, double tolerance) {
    const Point& p = pt_;
    const double cs = f_.cost_scale, cx = res_.qx / cs;
    if (!(cx < 0.0)) return false;
    double residual = 0.0;
    for (int64_t j = 0; j < f_.n; ++j)
        residual = std::max(residual, std::fabs(res_.px[size_t(j)]) / (cs * f_.colscale[size_t(j)]));
    for (int64_t i = 0; i < f_.m; ++i)
        residual = std::max(residual, std::fabs(res_.gx[size_t(i)] + p.s[size_t(i)]) / f_.rowscale[size_t(i)]);
    for (size_t k = 0; k < bounds_.size(); ++k) {
        const int64_t j = bounds_.column[k];
        residual = std::max(residual, std::max(0.0, bounds_.sign[k] * p.x[size_t(j)]) * f_.colscale[size_t(j)]);
    }
    if (residual > tolerance * -cx) return false;
    r.status = EngineStatus::dual_infeasible;
    r.has_primal_ray = true;
    r.primal_ray.assign(size_t(d_.numvar), 0.0);
    for (int64_t j = 0; j < d_.numvar; ++j) {
        int64_t k = rec_.column[size_t(j)];
        if (k >= 0) r.primal_ray[size_t(j)] = p.x[size_t(k)] * f_.colscale[size_t(k)];
    }
    double scale = inf_norm(r.primal_ray);
    if (scale > 0.0)
        for (auto& v : r.primal_ray) v /= scale;
    r.interior_iterations = iterations_;
    r.solve_time = elapsed();
    r.message = "the problem is dual infeasible";
    return true;
}

bool Solver::certify_infeasibility(EngineResult& r) {
    const double tolerance = o_.infeasibility_tolerance;
    if (certify_primal_infeasibility(r, tolerance)) {
        log_line("Interior point: primal infeasibility certificate found");
        return true;
    }
    if (certify_dual_infeasibility(r, tolerance)) {
        log_line("Interior point: dual infeasibility certificate found");
        return true;
    }
    EngineResult near;
    const double relaxed = tolerance * o_.near_optimal_factor;
    if (certify_primal_infeasibility(near, relaxed) || certify_dual_infeasibility(near, relaxed)) {
        near_certificate_ = std::move(near);
        near_certificate_iteration_ = iterations_;
    }
    return false;
}

// The progress callback, the limits, and iterates gone non-finite.
bool Solver::stop_requested(EngineResult& r, const Measures& m) {
    if (hook_) {
        ProgressEvent ev;
        ev.kind = ProgressEvent::Kind::interior_iteration;
        ev.time = elapsed();
        ev.interior_iterations = iterations_;
        ev.objective = last_objective_ = rec_.sense * m.pobj;
        ev.dual_objective = rec_.sense * m.dobj;
        ev.primal_residual = m.pres;
        ev.dual_residual = m.dres;
        ev.mu = m.mu;
        ev.step = last_step_;
        if (hook_(ev)) {
            finish_with_best(r, EngineStatus::interrupted, "stopped by the progress callback");
            return true;
        }
    }
    if (iterations_ >= o_.max_iterations) {
        finish_with_best(r, EngineStatus::iteration_limit, "the iteration limit was reached");
        return true;
    }
    // An iteration cannot be interrupted: the run also ends when the next
    // one would probably end beyond the limit.
    if (elapsed() + last_iteration_seconds_ >= o_.time_limit) {
        finish_with_best(r, EngineStatus::time_limit, "the time limit was reached");
        return true;
    }
    if (iterations_ - last_progress_ >= kPatience) {
        finish_with_best(r, EngineStatus::numerical_trouble, "the iterates stopped improving");
        return true;
    }
    if (!std::isfinite(m.mu) || !std::isfinite(m.pobj) || !std::isfinite(m.dobj)) {
        finish_with_best(r, EngineStatus::numerical_trouble, "the iterates are no longer finite");
        return true;
    }
    return false;
}

// A factorization of a large system takes seconds: the limits are also
// looked at during it.
constexpr double kQuestionSeconds = 0.1;

bool Solver::interrupt_due() {
    const double now = elapsed();
    if (now >= o_.time_limit) {
        interrupt_status_ = EngineStatus::time_limit;
        return true;
    }
    if (!hook_ || now - last_question_ < kQuestionSeconds) return false;
    last_question_ = now;
    ProgressEvent ev;
    ev.kind = ProgressEvent::Kind::interior_iteration;
    ev.time = now;
    ev.interior_iterations = iterations_;
    ev.objective = last_objective_;
    if (!hook_(ev)) return false;
    interrupt_status_ = EngineStatus::interrupted;
    return true;
}

void Solver::finish_interrupted(EngineResult& r) {
    const char* message = interrupt_status_ == EngineStatus::time_limit ? "the time limit was reached"
                                                                        : "stopped by the progress callback";
    if (!has_point()) return finish_without_point(r, interrupt_status_, message);
    finish_with_best(r, interrupt_status_, message);
}

void Solver::finish_without_point(EngineResult& r, EngineStatus status, const std::string& message) {
    r.status = status;
    r.message = message;
    r.interior_iterations = iterations_;
    r.has_primal = r.has_dual = false;
    r.solve_time = elapsed();
    char line[300];
    std::snprintf(line, sizeof line, "Interior point: %s, %s before the first iterate, %.2f s", to_string(status),
                  message.c_str(), r.solve_time);
    log_line(line);
}

bool Solver::factor_scaled_system(double mu) {
    if (!cones_.update_scaling(pt_.s, pt_.z, mu) || !bound_cone_.update_scaling(pt_.sb, pt_.zb, mu)) return false;
    bound_d_.resize(bounds_.size());
    std::fill(bound_diag_.begin(), bound_diag_.end(), 0.0);
    for (size_t k = 0; k < bounds_.size(); ++k) {
        bound_d_[k] = pt_.zb[k] / pt_.sb[k];
        bound_diag_[size_t(bounds_.column[k])] += bound_d_[k];
    }
    return timed_factor();
}

const char* Solver::factor_and_step(double mu, double& alpha) {
    for (int attempt = 0; attempt < kFactorAttempts; ++attempt) {
        if (attempt > 0) kkt_.strengthen(100.0);
        if (!factor_scaled_system(mu)) return "the augmented system could not be factored";
        alpha = directions_and_step(mu);
        if (finite(d_tau_) && finite(d_aff_) && finite(d_comb_)) return nullptr;
        log_line("Interior point: the Newton system gave a direction that is not finite; regularizing more");
    }
    return "the Newton system could not be solved to a finite direction";
}

double Solver::directions_and_step(double mu) {
    solve_tau_direction();
    predictor();
    const bool second_order = o_.max_correctors != 0;
    double alpha = combined_step(mu, second_order);
    if (second_order && !cones_.is_symmetric() && alpha < kShortStep) {
        // The second-order terms of non-symmetric cones can point the
        // step at a boundary close by; the plain centred direction may
        // go further.
        Point corrected = d_comb_;
        const double plain = combined_step(mu, false);
        if (plain > alpha) alpha = plain;
        else d_comb_ = std::move(corrected);
    }
    return alpha;
}

// The direction of tau: the solution for the constant right-hand side
// (-q, h, hb), and the denominator a(x1, z1) - x'Px / tau^2 - kappa / tau
// of the tau equation.
void Solver::solve_tau_direction() {
    const double tau = pt_.tau;
    rhs_x_.resize(size_t(f_.n));
    for (int64_t j = 0; j < f_.n; ++j) rhs_x_[size_t(j)] = -f_.q[size_t(j)];
    newton_solve(rhs_x_, f_.h, bounds_.h, d_tau_);
    const double hz1 = dot(f_.h, d_tau_.z) + dot(bounds_.h, d_tau_.zb);
    tau_denominator_ = dot(f_.q, d_tau_.x) + hz1 + 2.0 * dot(res_.px, d_tau_.x) / tau - res_.xpx / (tau * tau) -
                       pt_.kappa / tau;
}

void Solver::direction(double eta, double dkappa_rhs, Point& dir) {
    const Point& p = pt_;
    const int64_t n = f_.n, m = f_.m;
    const size_t nb = bounds_.size();
    offset_.resize(size_t(m));
    offset_b_.resize(nb);
    cones_.ds_offset(ds_, p.z, offset_);
    bound_cone_.ds_offset(dsb_, p.zb, offset_b_);
    rhs_x_.resize(size_t(n));
    rhs_z_.resize(size_t(m));
    rhs_b_.resize(nb);
    for (int64_t j = 0; j < n; ++j) rhs_x_[size_t(j)] = -eta * res_.x[size_t(j)];
    for (int64_t i = 0; i < m; ++i) rhs_z_[size_t(i)] = -eta * res_.z[size_t(i)];
    for (size_t k = 0; k < nb; ++k) rhs_b_[k] = -eta * res_.b[k];
    solve_newton(rhs_x_, rhs_z_, rhs_b_, -eta * res_.tau, dkappa_rhs, offset_, offset_b_, dir);
    refine_direction(dir);
}

void Solver::solve_newton(const std::vector<double>& rx, const std::vector<double>& rz, const std::vector<double>& rb,
                          double rtau, double dkappa_rhs, const std::vector<double>& offset,
                          const std::vector<double>& offset_b, Point& dir) {
    const Point& p = pt_;
    const int64_t n = f_.n, m = f_.m;
    const size_t nb = bounds_.size();
    const double tau = p.tau;
    // The rows G dx + ds = rz with ds = -H dz - offset: G dx - H dz = rz + offset.
    kkt_z_.resize(size_t(m));
    kkt_b_.resize(nb);
    for (int64_t i = 0; i < m; ++i) kkt_z_[size_t(i)] = rz[size_t(i)] + offset[size_t(i)];
    for (size_t k = 0; k < nb; ++k) kkt_b_[k] = rb[k] + offset_b[k];
    newton_solve(rx, kkt_z_, kkt_b_, dir);
    const double hz2 = dot(f_.h, dir.z) + dot(bounds_.h, dir.zb);
    const double num = rtau - (dot(f_.q, dir.x) + hz2 + 2.0 * dot(res_.px, dir.x) / tau) + dkappa_rhs / tau;
    const double dtau = num / tau_denominator_;
    dir.tau = dtau;
    for (int64_t j = 0; j < n; ++j) dir.x[size_t(j)] += dtau * d_tau_.x[size_t(j)];
    for (int64_t i = 0; i < m; ++i) dir.z[size_t(i)] += dtau * d_tau_.z[size_t(i)];
    for (size_t k = 0; k < nb; ++k) dir.zb[k] += dtau * d_tau_.zb[k];
    dir.kappa = -(dkappa_rhs + p.kappa * dtau) / tau;
    dir.s.resize(size_t(m));
    dir.sb.resize(nb);
    cones_.mul_h(dir.z, dir.s);
    bound_cone_.mul_h(dir.zb, dir.sb);
    for (int64_t i = 0; i < m; ++i) dir.s[size_t(i)] = -dir.s[size_t(i)] - offset[size_t(i)];
    for (size_t k = 0; k < nb; ++k) dir.sb[k] = -dir.sb[k] - offset_b[k];
}

// The errors of a direction in the linear rows of the Newton system: the
// columns P dx + G'dz + q dtau + (bound multipliers) - rx, the rows
// G dx + ds - h dtau - rz and the bound rows, for the right-hand sides
// (rx, rz, rb) = -eta (residuals) that rhs_x_, rhs_z_ and rhs_b_ hold.
// Each kind is measured against its own right-hand side: the columns and
// the rows have units of their own.
double Solver::direction_error_excess(const Point& dir) {
    Residuals& e = direction_errors_;
    linear_rows(dir, e);
    for (size_t j = 0; j < e.x.size(); ++j) e.x[j] -= rhs_x_[j];
    for (size_t i = 0; i < e.z.size(); ++i) e.z[i] -= rhs_z_[i];
    for (size_t k = 0; k < e.b.size(); ++k) e.b[k] -= rhs_b_[k];
    // Errors well inside the feasibility tolerances (in the units of the
    // embedding, where the residuals carry the factor tau) cannot matter.
    const double negligible =
        kDirectionErrorShare * std::min(o_.primal_feasibility_tolerance, o_.dual_feasibility_tolerance) * pt_.tau;
    auto ratio = [&](const std::vector<double>& error, const std::vector<double>& rhs) {
        return inf_norm(error) / std::max(kDirectionErrorShare * inf_norm(rhs), negligible);
    };
    return std::max({ratio(e.x, rhs_x_), ratio(e.z, rhs_z_), ratio(e.b, rhs_b_)});
}

// One step of iterative refinement on the whole Newton system, tau and
// kappa included, where the direction's errors in the linear rows are a
// noticeable part of what the direction is to change.  The KKT solves are
// refined each on its own, but the direction combines two of them with
// dtau, which can be large near the end of an ill-posed problem.  Only
// solves through eliminated (semidefinite) blocks are refined this way:
// there their errors grow with the conditioning of the scaling and stall
// ill-posed problems; elsewhere the solves are accurate enough, and the
// extra step measurably cost accuracy at 1e-8 on two Maros-Meszaros
// problems.
void Solver::refine_direction(Point& dir) {
    if (!kkt_.has_eliminated_blocks()) return;
    const double excess = direction_error_excess(dir);
    if (!(excess > 1.0)) return;
    Residuals& e = direction_errors_;
    for (std::vector<double>* v : {&e.x, &e.z, &e.b})
        for (double& t : *v) t = -t;
    const std::vector<double> zero_m(size_t(f_.m), 0.0), zero_b(bounds_.size(), 0.0);
    Point correction;
    solve_newton(e.x, e.z, e.b, 0.0, 0.0, zero_m, zero_b, correction);
    ++refinement_steps_;
    Point refined = dir;
    refined.add(1.0, correction);
    if (finite(refined) && direction_error_excess(refined) < excess) dir = std::move(refined);
}

// The affine step: the complementarity rows aim at zero.
void Solver::predictor() {
    ds_.resize(size_t(f_.m));
    dsb_.resize(bounds_.size());
    cones_.affine_ds(pt_.s, pt_.z, ds_);
    bound_cone_.affine_ds(pt_.sb, pt_.zb, dsb_);
    direction(1.0, pt_.tau * pt_.kappa, d_aff_);
}

// The combined step: centring sigma mu (Mehrotra's sigma from the affine
// step's length) and the cones' higher-order corrections.
void Solver::corrector(double mu, bool second_order) {
    const double alpha_aff = std::min(1.0, max_step(d_aff_));
    const double sigma = std::clamp(std::pow(1.0 - alpha_aff, 3), 0.0, 1.0);
    const double smu = sigma * mu;
    std::vector<double>& shift = offset_;  // free until the next direction
    std::vector<double>& shift_b = offset_b_;
    cones_.affine_ds(pt_.s, pt_.z, ds_);
    bound_cone_.affine_ds(pt_.sb, pt_.zb, dsb_);
    if (second_order) {
        cones_.combined_ds_shift(d_aff_.z, d_aff_.s, smu, shift);
        bound_cone_.combined_ds_shift(d_aff_.zb, d_aff_.sb, smu, shift_b);
    } else {
        zero_.assign(std::max(ds_.size(), dsb_.size()), 0.0);
        cones_.combined_ds_shift(CVec(zero_).first(ds_.size()), CVec(zero_).first(ds_.size()), smu, shift);
        bound_cone_.combined_ds_shift(CVec(zero_).first(dsb_.size()), CVec(zero_).first(dsb_.size()), smu, shift_b);
    }
    for (size_t i = 0; i < ds_.size(); ++i) ds_[i] += shift[i];
    for (size_t k = 0; k < dsb_.size(); ++k) dsb_[k] += shift_b[k];
    const double dkappa_rhs = pt_.tau * pt_.kappa + (second_order ? d_aff_.tau * d_aff_.kappa : 0.0) - smu;
    direction(1.0 - sigma, dkappa_rhs, d_comb_);
}

double Solver::combined_step(double mu, bool second_order) {
    corrector(mu, second_order);
    double alpha = std::min(1.0, std::min(0.99, o_.step_fraction) * max_step(d_comb_));
    if (!cones_.is_symmetric()) alpha = centred_step(d_comb_, alpha);
    return alpha;
}

double Solver::max_step(const Point& dir) const {
    const Point& p = pt_;
    double a = cones_.max_step(p.s, dir.s, p.z, dir.z, 1e30);
    a = bound_cone_.max_step(p.sb, dir.sb, p.zb, dir.zb, a);
    if (dir.tau < 0.0) a = std::min(a, -p.tau / dir.tau);
    if (dir.kappa < 0.0) a = std::min(a, -p.kappa / dir.kappa);
    return a;
}

// Without a symmetric cone's scaling the step to the boundary may leave the
// central path far behind: the step is shortened until the barrier of the
// new point exceeds its value on the central path (for the same mu) by at
// most the degree (up to kCentralityLimit), a wide neighbourhood of the path,
// or less where a cone's scaling asks for a narrower one.  Each cone's barrier is
// -degree log mu on the path, so the excess is zero there and positive
// elsewhere.
double Solver::centred_step(const Point& dir, double alpha) const {
    const Point& p = pt_;
    const double nu = cones_.degree() + bound_cone_.degree() + 1.0;
    Point trial;
    for (int k = 0; k < 50 && alpha > 1e-10; ++k, alpha *= 0.8) {
        trial = p;
        trial.add(alpha, dir);
        const double mu = (dot(trial.s, trial.z) + dot(trial.sb, trial.zb) + trial.tau * trial.kappa) / nu;
        const double excess = cones_.barrier(trial.s, trial.z) + bound_cone_.barrier(trial.sb, trial.zb) -
                              std::log(trial.tau * trial.kappa) + nu * std::log(mu);
        if (std::isfinite(excess) && excess <= std::min({nu, kCentralityLimit, cones_.neighbourhood()})) return alpha;
    }
    return 0.0;
}

double Solver::scaled_merit(const Measures& m) const {
    return std::max({m.pres / o_.primal_feasibility_tolerance, m.dres / o_.dual_feasibility_tolerance,
                     m.gap / o_.relative_gap_tolerance});
}

// A measure over its tolerance; 0 over 0 is 0, and a measure that is not a
// number is infinitely far.
double over(double measure, double tolerance) {
    if (!(measure >= 0.0)) return kInf;
    return measure == 0.0 ? 0.0 : measure / tolerance;
}

double Solver::original_merit(const OriginalQuality& q) const {
    if (!std::isfinite(q.primal_residual) || !std::isfinite(q.dual_residual)) return kInf;
    const double p = q.primal_objective, d = q.dual_objective;
    const double gap = std::fabs(p - d) / std::max({1.0, std::fabs(p), std::fabs(d)});
    return std::max({over(q.primal_violation, o_.primal_feasibility_tolerance * (1.0 + q.primal_terms)),
                     over(q.dual_violation, o_.dual_feasibility_tolerance * (1.0 + q.dual_terms)),
                     over(gap, o_.relative_gap_tolerance)});
}

// A column whose dual residual r_j = c_j + (Qx)_j - a_j'y - f_j'doty -
// slx_j + sux_j is not zero gets it moved into the multiplier of a bound
// it has, when the multiplier keeps its sign.  The residual vanishes; the
// dual objective moves by the bound times the change, which the merit
// weighs against the residual.
OriginalPoint Solver::polished(OriginalPoint op) const {
    const double before = original_merit(evaluate(d_, op));
    if (!(before > 1.0) || !std::isfinite(before)) return op;
    OriginalPoint candidate = op;
    const std::vector<double> residual = dual_residuals(d_, candidate);
    const double sense = rec_.sense;
    for (size_t j = 0; j < residual.size(); ++j) {
        const int32_t bk = d_.bkx[j];
        double &slx = candidate.slx[j], &sux = candidate.sux[j];
        if (model::has_lower(bk) && sense * (slx + residual[j]) >= 0.0) slx += residual[j];
        else if (model::has_upper(bk) && sense * (sux - residual[j]) >= 0.0) sux -= residual[j];
    }
    return original_merit(evaluate(d_, candidate)) < before ? candidate : op;
}

double Solver::original_merit_near_optimum(const Measures& m) const {
    if (!(scaled_merit(m) <= o_.near_optimal_factor)) return kInf;
    return original_merit(evaluate(d_, polished(original_point())));
}

void Solver::remember_if_best(const Measures& m, double original) {
    // Progress: any of the three measures at its lowest so far.
    if (m.pres < lowest_.pres || m.dres < lowest_.dres || m.gap < lowest_.gap) last_progress_ = iterations_;
    lowest_.pres = std::min(lowest_.pres, m.pres);
    lowest_.dres = std::min(lowest_.dres, m.dres);
    lowest_.gap = std::min(lowest_.gap, m.gap);
    const bool meets = original <= 1.0;
    const double merit = std::isfinite(original) ? std::max(scaled_merit(m), original) : scaled_merit(m);
    if (best_meets_original_ && !meets) return;
    if (best_meets_original_ == meets && !(merit < best_merit_)) return;
    best_meets_original_ = meets;
    best_merit_ = merit;
    best_iteration_ = iterations_;
    best_ = pt_;
}

// The current iterate in the problem's own terms.
OriginalPoint Solver::original_point() const {
    const double t = pt_.tau;
    std::vector<double> x(pt_.x), z(pt_.z), zl, zu;
    for (auto& v : x) v /= t;
    for (auto& v : z) v /= t;
    bounds_.split(pt_.zb, 1.0 / t, f_.n, zl, zu);
    OriginalPoint op;
    recover(d_, f_, rec_, x, z, zl, zu, op);
    return op;
}

void Solver::finish_with_best(EngineResult& r, EngineStatus status, const std::string& message) {
    if (best_iteration_ < 0) return finish(r, status, message);
    pt_ = best_;
    // Judged on the problem's own data, where the slacks of the internal
    // form play no part.  A best iterate that misses the tolerances there
    // is still the answer, and the final check of the solution reports it
    // with the feasibility it has, not as optimal.
    const double merit = original_merit(evaluate(d_, polished(original_point())));
    if (status == EngineStatus::numerical_trouble && std::min(merit, best_merit_) <= o_.near_optimal_factor) {
        char line[240];
        std::snprintf(line, sizeof line,
                      "Interior point: %s; the iterate of iteration %lld is within %.3g times the tolerances on the "
                      "problem's own data",
                      message.c_str(), static_cast<long long>(best_iteration_), merit);
        log_line(line);
        return finish(r, EngineStatus::optimal, "");
    }
    if (status == EngineStatus::numerical_trouble && near_certificate_iteration_ >= 0) {
        // The homogeneous iterates of an infeasible problem may shrink
        // towards zero together, which stalls the certificate's accuracy
        // just short of the tolerance; the last certificate within the
        // relaxed tolerance is the answer.
        char line[200];
        std::snprintf(line, sizeof line,
                      "Interior point: %s; the certificate of iteration %lld is within %.3g times the tolerance",
                      message.c_str(), static_cast<long long>(near_certificate_iteration_), o_.near_optimal_factor);
        log_line(line);
        r = std::move(near_certificate_);
        r.interior_iterations = iterations_;
        r.solve_time = elapsed();
        return;
    }
    finish(r, status, message);
}

bool Solver::converged(const Measures& m, double original, EngineResult& r) {
    const bool scaled = m.pres <= o_.primal_feasibility_tolerance && m.dres <= o_.dual_feasibility_tolerance &&
                        m.gap <= o_.relative_gap_tolerance;
    if (!scaled) return false;
    if (original <= 1.0) {
        finish(r, EngineStatus::optimal, "");
        return true;
    }
    if (scaled_converged_at_ < 0) {
        scaled_converged_at_ = iterations_;
        char line[200];
        std::snprintf(line, sizeof line,
                      "Interior point: the scaled measures meet the tolerances, the problem's own data %.3g times "
                      "them; iterating on",
                      original);
        log_line(line);
    }
    if (iterations_ - scaled_converged_at_ < kOriginalDataIterations) return false;
    finish_with_best(r, EngineStatus::numerical_trouble, "the tolerances were not met on the problem's own data");
    return true;
}

void Solver::finish(EngineResult& r, EngineStatus status, const std::string& message) {
    r.status = status;
    r.message = message;
    r.interior_iterations = iterations_;
    // A run that ends before it has an iterate (the first factorization
    // failed) has no point to report.
    if (pt_.x.size() != size_t(f_.n) || pt_.z.size() != size_t(f_.m) || pt_.zb.size() != bounds_.size()) {
        r.has_primal = r.has_dual = false;
        r.solve_time = elapsed();
        log_line(std::string("Interior point: ") + to_string(status) + ", " + message);
        return;
    }
    OriginalPoint op = polished(original_point());
    OriginalQuality q = evaluate(d_, op);
    r.x = std::move(op.x);
    r.xc = std::move(op.xc);
    r.y = std::move(op.y);
    r.slc = std::move(op.slc);
    r.suc = std::move(op.suc);
    r.slx = std::move(op.slx);
    r.sux = std::move(op.sux);
    r.doty = std::move(op.doty);
    r.primal_objective = q.primal_objective;
    r.dual_objective = q.dual_objective;
    r.has_primal = r.has_dual = true;
    if (status == EngineStatus::optimal) {
        r.primal_feasible = r.dual_feasible = true;
    } else {
        r.primal_feasible = q.primal_residual <= std::max(1e-6, o_.primal_feasibility_tolerance);
        r.dual_feasible = q.dual_residual <= std::max(1e-6, o_.dual_feasibility_tolerance);
    }
    r.solve_time = elapsed();
    char line[300];
    std::snprintf(line, sizeof line,
                  "Interior point: %s%s%s after %lld iterations, %.2f s; primal %.10e dual %.10e; %lld factorizations, "
                  "%lld solves",
                  to_string(status), message.empty() ? "" : ", ", message.c_str(), static_cast<long long>(iterations_),
                  r.solve_time, r.primal_objective, r.dual_objective,
                  static_cast<long long>(kkt_.linear_solver().factorizations()),
                  static_cast<long long>(kkt_.linear_solver().backend_solves()));
    log_line(line);
}

void Solver::log_header() {
    int64_t equations = 0;
    for (const auto& c : f_.cones)
        if (equation_cone(c)) equations += c.dim;
    char line[240];
    std::snprintf(line, sizeof line,
                  "Interior point: %lld columns, %lld rows (%lld equality) in %lld cones, %lld bounds; factor "
                  "nonzeros %lld (dense block %lld)",
                  static_cast<long long>(f_.n), static_cast<long long>(f_.m), static_cast<long long>(equations),
                  static_cast<long long>(cones_.count()), static_cast<long long>(bounds_.size()),
                  static_cast<long long>(kkt_.factor_nonzeros()), static_cast<long long>(kkt_.dense_block()));
    log_line(line);
    log_line(" iter        primal obj          dual obj    pres    dres     gap      mu    step    time");
}

void Solver::log_iteration(const Measures& m) const {
    char line[200];
    std::snprintf(line, sizeof line, "%5lld %+.10e %+.10e %.1e %.1e %.1e %.1e %.3f %7.2f",
                  static_cast<long long>(iterations_), rec_.sense * m.pobj, rec_.sense * m.dobj, m.pres, m.dres, m.gap,
                  m.mu, last_step_, elapsed());
    log_line(line);
}

void Solver::fill_figures(EngineResult& r) const {
    auto& f = r.interior;
    f.primal_feasibility = last_.pres;
    f.dual_feasibility = last_.dres;
    f.mu = last_.mu;
    f.step = last_step_;
    f.order_time = order_time_;
    f.factor_time = factor_time_;
    f.factor_nonzeros = kkt_.factor_nonzeros();
    f.dense_columns = kkt_.dense_block();
    f.refinement_steps = refinement_steps_;
}

EngineResult Solver::run() {
    EngineResult r;
    bound_diag_.assign(size_t(f_.n), 0.0);
    kkt_.set_interrupt([this] { return interrupt_due(); });
    const double analyze_start = elapsed();
    const bool analyzed = kkt_.analyze();
    order_time_ = elapsed() - analyze_start;
    if (!analyzed) {
        r.status = EngineStatus::error;
        r.error_code = VLT_RES_ERR_INTERNAL;
        r.message = "the augmented system could not be analysed";
        return r;
    }
    log_header();
    if (elapsed() >= o_.time_limit) {  // the set-up took the time
        finish_interrupted(r);
        return r;
    }
    if (!initial_point()) {
        if (kkt_.interrupted()) {
            finish_interrupted(r);
            return r;
        }
        const char* message = "the initial system could not be factored";
        if (!has_point()) finish_without_point(r, EngineStatus::numerical_trouble, message);
        else finish(r, EngineStatus::numerical_trouble, message);
        return r;
    }
    int small_steps = 0;
    double last_mu = 0.0;
    for (;; ++iterations_) {
        last_iteration_seconds_ = iterations_ > 0 ? elapsed() - iteration_started_ : 0.0;
        iteration_started_ = elapsed();
        compute_residuals();
        const Measures m = measure();
        last_ = m;
        log_iteration(m);
        const double original = original_merit_near_optimum(m);
        remember_if_best(m, original);
        if (converged(m, original, r)) return r;
        if ((pt_.tau < pt_.kappa || pt_.tau < 1e-6) && certify_infeasibility(r)) return r;
        if (stop_requested(r, m)) return r;

        double alpha = 0.0;
        if (const char* failure = factor_and_step(m.mu, alpha)) {
            if (kkt_.interrupted()) {
                finish_interrupted(r);
                return r;
            }
            finish_with_best(r, EngineStatus::numerical_trouble, failure);
            return r;
        }
        if (!std::isfinite(alpha) || alpha <= 0.0) {
            finish_with_best(r, EngineStatus::numerical_trouble, "no step could be taken");
            return r;
        }
        pt_.add(alpha, d_comb_);
        last_step_ = alpha;
        if (alpha < 1e-8 && m.mu >= last_mu * 0.999) {
            kkt_.strengthen(10.0);
            if (++small_steps >= 5) {
                finish_with_best(r, EngineStatus::numerical_trouble, "the method stalled");
                return r;
            }
        } else {
            small_steps = 0;
        }
        last_mu = m.mu;
    }
}

}  // namespace

EngineResult solve_with_ipm(const model::ProblemData& problem, const IpmOptions& options, const ProgressHook& hook,
                            const LogSink& log) {
    auto start = std::chrono::steady_clock::now();
    ConicForm form;
    Recovery rec;
    PresolveOutcome outcome;
    formulate(problem, form, rec, outcome);
    EngineResult r;
    const double presolve_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.presolve_time = presolve_seconds;
    auto seconds = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    switch (outcome.kind) {
        case PresolveOutcome::Kind::error:
            r.status = EngineStatus::error;
            r.error_code = static_cast<VLTrescodee>(outcome.error_code);
            r.message = outcome.message;
            return r;
        case PresolveOutcome::Kind::primal_infeasible:
            r.status = EngineStatus::primal_infeasible;
            r.message = outcome.message;
            if (!outcome.dual_ray.empty()) {
                r.has_dual_ray = true;
                r.dual_ray = std::move(outcome.dual_ray);
                r.dual_ray_conic = std::move(outcome.dual_ray_conic);
            }
            r.solve_time = seconds();
            return r;
        case PresolveOutcome::Kind::dual_infeasible:
            r.status = EngineStatus::dual_infeasible;
            r.message = outcome.message;
            r.has_primal_ray = true;
            r.primal_ray = std::move(outcome.primal_ray);
            r.solve_time = seconds();
            return r;
        case PresolveOutcome::Kind::none: break;
    }
    Solver solver(problem, form, rec, options, hook, log, start);
    r = solver.run();
    solver.fill_figures(r);
    r.presolve_time = presolve_seconds;
    return r;
}

}  // namespace vlt::solve
