#include "solve/ipm/ipm.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "solve/ipm/cones.hpp"
#include "solve/ipm/formulation.hpp"
#include "solve/ipm/kkt.hpp"

namespace vlt::solve {
namespace {

using namespace ipm;

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

// The iterate of the embedding, in the scaled internal space.
struct Point {
    std::vector<double> x, s, z, sl, zl, su, zu;
    double tau = 1.0, kappa = 1.0;
};

class Solver {
public:
    Solver(const model::ProblemData& d, const ConicForm& f, const Recovery& rec, const IpmOptions& o,
           const ProgressHook& hook, const LogSink& log)
        : d_(d), f_(f), rec_(rec), o_(o), hook_(hook), log_(log), kkt_(f) {}

    EngineResult run();

private:
    // ---- linear algebra on the conic form
    void mul_p(const std::vector<double>& x, std::vector<double>& out) const {
        std::fill(out.begin(), out.end(), 0.0);
        for (int64_t j = 0; j < f_.n; ++j)
            for (int64_t p = f_.p.colptr[size_t(j)]; p < f_.p.colptr[size_t(j) + 1]; ++p) {
                int64_t i = f_.p.rowind[size_t(p)];
                double v = f_.p.values[size_t(p)];
                out[size_t(i)] += v * x[size_t(j)];
                if (i != j) out[size_t(j)] += v * x[size_t(i)];
            }
    }
    void mul_g(const std::vector<double>& x, std::vector<double>& out) const {
        std::fill(out.begin(), out.end(), 0.0);
        for (int64_t j = 0; j < f_.n; ++j)
            for (int64_t p = f_.gptr[size_t(j)]; p < f_.gptr[size_t(j) + 1]; ++p)
                out[size_t(f_.gind[size_t(p)])] += f_.gval[size_t(p)] * x[size_t(j)];
    }
    void mul_gt(const std::vector<double>& z, std::vector<double>& out) const {
        for (int64_t j = 0; j < f_.n; ++j) {
            double s = 0.0;
            for (int64_t p = f_.gptr[size_t(j)]; p < f_.gptr[size_t(j) + 1]; ++p)
                s += f_.gval[size_t(p)] * z[size_t(f_.gind[size_t(p)])];
            out[size_t(j)] = s;
        }
    }

    // Solves the full Newton system for right-hand sides of the rows
    // (x, z, lower bounds, upper bounds); the scalings are the factored ones.
    void newton_solve(const std::vector<double>& rx, const std::vector<double>& rz, const std::vector<double>& rl,
                      const std::vector<double>& ru, Point& dir);

    void log_line(const std::string& line) const {
        if (o_.log_level >= 1 && log_) log_(line);
    }
    double elapsed() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    bool initial_point();
    void compute_scaling();
    // max step along dir keeping the point in the cone (up to 1 / fraction)
    double max_step(const Point& p, const Point& dir) const;
    void finish(EngineResult& r, EngineStatus status, const std::string& message);

    const model::ProblemData& d_;
    const ConicForm& f_;
    const Recovery& rec_;
    const IpmOptions& o_;
    const ProgressHook& hook_;
    const LogSink& log_;
    Kkt kkt_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();

    std::vector<int64_t> lidx_, uidx_;  // columns with finite lower / upper bound
    std::vector<double> lbv_, ubv_;
    int64_t mz_ = 0, mp_ = 0;  // rows of the zero cone and of R+
    std::vector<ConeBlock> socs_;
    Point pt_;
    // scalings of the current iterate
    std::vector<double> hdiag_, bdiag_;
    std::vector<soc::Scaling> socsc_;
    int64_t iterations_ = 0;
};

void Solver::newton_solve(const std::vector<double>& rx, const std::vector<double>& rz, const std::vector<double>& rl,
                          const std::vector<double>& ru, Point& dir) {
    const int64_t n = f_.n, m = f_.m;
    std::vector<double> rhs(static_cast<size_t>(n + m));
    for (int64_t j = 0; j < n; ++j) rhs[size_t(j)] = rx[size_t(j)];
    // -dx - Hl dzl = rl  ->  dzl = -(dx + rl) Dl ; contributes -dzl = (dx + rl) Dl
    for (size_t k = 0; k < lidx_.size(); ++k) {
        double dl = pt_.zl[k] / pt_.sl[k];
        rhs[size_t(lidx_[k])] -= rl[k] * dl;
    }
    // dx - Hu dzu = ru  ->  dzu = (dx - ru) Du
    for (size_t k = 0; k < uidx_.size(); ++k) {
        double du = pt_.zu[k] / pt_.su[k];
        rhs[size_t(uidx_[k])] += ru[k] * du;
    }
    for (int64_t i = 0; i < m; ++i) rhs[size_t(n + i)] = rz[size_t(i)];
    kkt_.solve(rhs);
    dir.x.assign(rhs.begin(), rhs.begin() + n);
    dir.z.assign(rhs.begin() + n, rhs.end());
    dir.zl.resize(lidx_.size());
    dir.zu.resize(uidx_.size());
    for (size_t k = 0; k < lidx_.size(); ++k)
        dir.zl[k] = -(dir.x[size_t(lidx_[k])] + rl[k]) * (pt_.zl[k] / pt_.sl[k]);
    for (size_t k = 0; k < uidx_.size(); ++k)
        dir.zu[k] = (dir.x[size_t(uidx_[k])] - ru[k]) * (pt_.zu[k] / pt_.su[k]);
}

bool Solver::initial_point() {
    const int64_t n = f_.n, m = f_.m;
    // Solve [P G'; G -I] with unit bound scalings: the least-squares-like
    // primal point and dual point of the problem; then shift into the cones.
    pt_.sl.assign(lidx_.size(), 1.0);
    pt_.zl.assign(lidx_.size(), 1.0);
    pt_.su.assign(uidx_.size(), 1.0);
    pt_.zu.assign(uidx_.size(), 1.0);
    std::vector<double> bd(static_cast<size_t>(n), 0.0), hd(size_t(m), 1.0);
    for (int64_t j : lidx_) bd[size_t(j)] += 1.0;
    for (int64_t j : uidx_) bd[size_t(j)] += 1.0;
    for (int64_t i = 0; i < mz_; ++i) hd[size_t(i)] = 0.0;
    std::vector<soc::Scaling> unit(socs_.size());
    for (size_t c = 0; c < socs_.size(); ++c) {
        unit[c].w.assign(size_t(socs_[c].dim), 0.0);
        unit[c].w[0] = 1.0;  // W = I
    }
    if (!kkt_.factor(bd, hd, unit)) return false;
    std::vector<double> rx(static_cast<size_t>(n)), rl(lidx_.size()), ru(uidx_.size());
    for (int64_t j = 0; j < n; ++j) rx[size_t(j)] = -f_.q[size_t(j)];
    for (size_t k = 0; k < lidx_.size(); ++k) rl[k] = -lbv_[k];
    for (size_t k = 0; k < uidx_.size(); ++k) ru[k] = ubv_[k];
    Point dir;
    newton_solve(rx, f_.h, rl, ru, dir);
    pt_.x = dir.x;
    pt_.z = dir.z;
    pt_.s.assign(size_t(m), 0.0);
    for (int64_t i = mz_; i < m; ++i) pt_.s[size_t(i)] = -pt_.z[size_t(i)];
    pt_.zl = dir.zl;
    pt_.zu = dir.zu;
    pt_.sl.resize(lidx_.size());
    pt_.su.resize(uidx_.size());
    for (size_t k = 0; k < lidx_.size(); ++k) pt_.sl[k] = -pt_.zl[k];
    for (size_t k = 0; k < uidx_.size(); ++k) pt_.su[k] = -pt_.zu[k];
    // Shift s and z into the interior: v + (1 + alpha) e when alpha = -min
    // eigenvalue >= 0.
    auto shift = [&](std::vector<double>& v, std::vector<double>& vl, std::vector<double>& vu) {
        double alpha = -std::numeric_limits<double>::infinity();
        for (int64_t i = mz_; i < mz_ + mp_; ++i) alpha = std::max(alpha, -v[size_t(i)]);
        for (double t : vl) alpha = std::max(alpha, -t);
        for (double t : vu) alpha = std::max(alpha, -t);
        for (const auto& c : socs_) alpha = std::max(alpha, -soc::min_eig(&v[size_t(c.start)], c.dim));
        if (alpha < 0.0) return;
        double a = 1.0 + alpha;
        for (int64_t i = mz_; i < mz_ + mp_; ++i) v[size_t(i)] += a;
        for (double& t : vl) t += a;
        for (double& t : vu) t += a;
        for (const auto& c : socs_) v[size_t(c.start)] += a;
    };
    shift(pt_.s, pt_.sl, pt_.su);
    shift(pt_.z, pt_.zl, pt_.zu);
    pt_.tau = 1.0;
    pt_.kappa = 1.0;
    return true;
}

void Solver::compute_scaling() {
    for (int64_t i = mz_; i < mz_ + mp_; ++i) hdiag_[size_t(i)] = pt_.s[size_t(i)] / pt_.z[size_t(i)];
    std::fill(bdiag_.begin(), bdiag_.end(), 0.0);
    for (size_t k = 0; k < lidx_.size(); ++k) bdiag_[size_t(lidx_[k])] += pt_.zl[k] / pt_.sl[k];
    for (size_t k = 0; k < uidx_.size(); ++k) bdiag_[size_t(uidx_[k])] += pt_.zu[k] / pt_.su[k];
    for (size_t c = 0; c < socs_.size(); ++c) {
        const auto& cone = socs_[c];
        soc::Scaling& sc = socsc_[c];
        soc::nt_scaling(&pt_.s[size_t(cone.start)], &pt_.z[size_t(cone.start)], cone.dim, sc);
        soc::apply_w(sc, &pt_.z[size_t(cone.start)], sc.lambda.data(), cone.dim, false);
    }
}

double Solver::max_step(const Point& p, const Point& dir) const {
    double a = 1e30;
    auto lin = [&](const std::vector<double>& v, const std::vector<double>& dv, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            if (dv[i] < 0.0) a = std::min(a, -v[i] / dv[i]);
    };
    lin(p.s, dir.s, size_t(mz_), size_t(mz_ + mp_));
    lin(p.z, dir.z, size_t(mz_), size_t(mz_ + mp_));
    lin(p.sl, dir.sl, 0, p.sl.size());
    lin(p.zl, dir.zl, 0, p.zl.size());
    lin(p.su, dir.su, 0, p.su.size());
    lin(p.zu, dir.zu, 0, p.zu.size());
    if (dir.tau < 0.0) a = std::min(a, -p.tau / dir.tau);
    if (dir.kappa < 0.0) a = std::min(a, -p.kappa / dir.kappa);
    for (const auto& c : socs_) {
        a = soc::max_step(&p.s[size_t(c.start)], &dir.s[size_t(c.start)], c.dim, a);
        a = soc::max_step(&p.z[size_t(c.start)], &dir.z[size_t(c.start)], c.dim, a);
    }
    return a;
}

void Solver::finish(EngineResult& r, EngineStatus status, const std::string& message) {
    r.status = status;
    r.message = message;
    r.interior_iterations = iterations_;
    const double t = pt_.tau;
    std::vector<double> x(pt_.x), z(pt_.z), zl(size_t(f_.n), 0.0), zu(size_t(f_.n), 0.0);
    for (auto& v : x) v /= t;
    for (auto& v : z) v /= t;
    for (size_t k = 0; k < lidx_.size(); ++k) zl[size_t(lidx_[k])] = pt_.zl[k] / t;
    for (size_t k = 0; k < uidx_.size(); ++k) zu[size_t(uidx_[k])] = pt_.zu[k] / t;
    OriginalPoint op;
    recover(d_, f_, rec_, x, z, zl, zu, op);
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
    char line[200];
    std::snprintf(line, sizeof line, "Interior point: %s%s%s after %lld iterations, %.2f s; primal %.10e dual %.10e",
                  to_string(status), message.empty() ? "" : ", ", message.c_str(), static_cast<long long>(iterations_), r.solve_time, r.primal_objective,
                  r.dual_objective);
    log_line(line);
}

EngineResult Solver::run() {
    EngineResult r;
    const int64_t n = f_.n, m = f_.m;
    for (const auto& c : f_.cones) {
        if (c.kind == ConeKind::zero) mz_ = c.dim;
        else if (c.kind == ConeKind::nonneg) mp_ = c.dim;
        else socs_.push_back(c);
    }
    for (int64_t j = 0; j < n; ++j) {
        if (std::isfinite(f_.lb[size_t(j)])) lidx_.push_back(j), lbv_.push_back(f_.lb[size_t(j)]);
        if (std::isfinite(f_.ub[size_t(j)])) uidx_.push_back(j), ubv_.push_back(f_.ub[size_t(j)]);
    }
    hdiag_.assign(size_t(m), 0.0);
    bdiag_.assign(size_t(n), 0.0);
    socsc_.assign(socs_.size(), {});
    const double nu = double(mp_ + int64_t(lidx_.size() + uidx_.size()) + int64_t(socs_.size()));

    if (!kkt_.analyze()) {
        r.status = EngineStatus::error;
        r.error_code = VLT_RES_ERR_INTERNAL;
        r.message = "the augmented system could not be analysed";
        return r;
    }
    {
        char line[200];
        std::snprintf(line, sizeof line, "Interior point: %lld columns, %lld rows (%lld equality, %lld quadratic cones), %lld bounds; factor nonzeros %lld (dense block %lld)",
                      static_cast<long long>(n), static_cast<long long>(m), static_cast<long long>(mz_),
                      static_cast<long long>(socs_.size()), static_cast<long long>(lidx_.size() + uidx_.size()),
                      static_cast<long long>(kkt_.factor_nonzeros()), static_cast<long long>(kkt_.dense_block()));
        log_line(line);
        log_line(" iter        primal obj          dual obj    pres    dres     gap      mu    step    time");
    }
    if (!initial_point()) {
        finish(r, EngineStatus::numerical_trouble, "the initial system could not be factored");
        return r;
    }

    // Norms for the relative residuals, in original units.
    double hnorm = 0.0, qnorm = 0.0;
    for (int64_t i = 0; i < m; ++i) hnorm = std::max(hnorm, std::fabs(f_.h[size_t(i)] / f_.rowscale[size_t(i)]));
    for (int64_t j = 0; j < n; ++j)
        qnorm = std::max(qnorm, std::fabs(f_.q[size_t(j)] / (f_.cost_scale * f_.colscale[size_t(j)])));
    const double cs = f_.cost_scale;

    std::vector<double> px(static_cast<size_t>(n)), gx(static_cast<size_t>(m)), gtz(static_cast<size_t>(n)), rx(static_cast<size_t>(n)), rz(static_cast<size_t>(m)),
        rl(lidx_.size()), ru(uidx_.size());
    std::vector<double> xi(static_cast<size_t>(m)), xil(lidx_.size()), xiu(uidx_.size());
    std::vector<double> nrx(static_cast<size_t>(n)), nrz(static_cast<size_t>(m)), nrl(lidx_.size()), nru(uidx_.size());
    std::vector<double> tmp1, tmp2, tmp3;
    Point d1, d2, daff;
    int small_steps = 0;
    double last_step = 0.0, last_mu = 0.0;

    for (;; ++iterations_) {
        Point& p = pt_;
        const double tau = p.tau;
        mul_p(p.x, px);
        mul_g(p.x, gx);
        mul_gt(p.z, gtz);
        for (int64_t j = 0; j < n; ++j) rx[size_t(j)] = px[size_t(j)] + gtz[size_t(j)] + f_.q[size_t(j)] * tau;
        for (size_t k = 0; k < lidx_.size(); ++k) rx[size_t(lidx_[k])] -= p.zl[k];
        for (size_t k = 0; k < uidx_.size(); ++k) rx[size_t(uidx_[k])] += p.zu[k];
        for (int64_t i = 0; i < m; ++i) rz[size_t(i)] = gx[size_t(i)] + p.s[size_t(i)] - f_.h[size_t(i)] * tau;
        for (size_t k = 0; k < lidx_.size(); ++k) rl[k] = -p.x[size_t(lidx_[k])] + p.sl[k] + lbv_[k] * tau;
        for (size_t k = 0; k < uidx_.size(); ++k) ru[k] = p.x[size_t(uidx_[k])] + p.su[k] - ubv_[k] * tau;
        const double xpx = dot(p.x, px), qx = dot(f_.q, p.x);
        const double hz = dot(f_.h, p.z) - dot(lbv_, p.zl) + dot(ubv_, p.zu);
        const double rtau = qx + hz + xpx / tau + p.kappa;

        // Progress in original units.
        const double pobj = (qx / tau + 0.5 * xpx / (tau * tau)) / cs + f_.objective_constant;
        const double dobj = (-0.5 * xpx / (tau * tau) - hz / tau) / cs + f_.objective_constant;
        double pres = 0.0, pscale = hnorm, dres = 0.0, dscale = qnorm;
        for (int64_t i = 0; i < m; ++i) {
            pres = std::max(pres, std::fabs(rz[size_t(i)]) / f_.rowscale[size_t(i)]);
            pscale = std::max(pscale, std::fabs(gx[size_t(i)]) / f_.rowscale[size_t(i)]);
        }
        for (size_t k = 0; k < lidx_.size(); ++k) pres = std::max(pres, std::fabs(rl[k]) * f_.colscale[size_t(lidx_[k])]);
        for (size_t k = 0; k < uidx_.size(); ++k) pres = std::max(pres, std::fabs(ru[k]) * f_.colscale[size_t(uidx_[k])]);
        for (int64_t j = 0; j < n; ++j) {
            double dj = cs * f_.colscale[size_t(j)];
            dres = std::max(dres, std::fabs(rx[size_t(j)]) / dj);
            dscale = std::max(dscale, std::fabs(px[size_t(j)]) / (dj * tau));
        }
        // Relative to 1 + max(|h|, |Gx|) and 1 + max(|c|, |Px|).  The size
        // of the duals is left out on purpose: with large multipliers a
        // residual small against them still moves the objective.
        pres /= tau * (1.0 + pscale / tau);
        dres /= tau * (1.0 + dscale);
        const double gap = std::fabs(pobj - dobj) / std::max(1.0, std::fabs(pobj));
        double mu = (dot(p.s, p.z) + dot(p.sl, p.zl) + dot(p.su, p.zu) + p.tau * p.kappa) / (nu + 1.0);
        {
            char line[200];
            std::snprintf(line, sizeof line, "%5lld %+.10e %+.10e %.1e %.1e %.1e %.1e %.3f %7.2f",
                          static_cast<long long>(iterations_), rec_.sense * pobj, rec_.sense * dobj, pres, dres, gap,
                          mu, last_step, elapsed());
            log_line(line);
        }
        if (pres <= o_.primal_feasibility_tolerance && dres <= o_.dual_feasibility_tolerance &&
            gap <= o_.relative_gap_tolerance) {
            finish(r, EngineStatus::optimal, "");
            return r;
        }
        // Certificates of infeasibility.
        if (p.tau < p.kappa || p.tau < 1e-6) {
            // primal: G'z - zl + zu = 0 with -h'z > 0
            double bz = -hz / cs;
            if (bz > 0.0) {
                std::vector<double> atz(gtz);
                for (size_t k = 0; k < lidx_.size(); ++k) atz[size_t(lidx_[k])] -= p.zl[k];
                for (size_t k = 0; k < uidx_.size(); ++k) atz[size_t(uidx_[k])] += p.zu[k];
                double res = 0.0;
                for (int64_t j = 0; j < n; ++j)
                    res = std::max(res, std::fabs(atz[size_t(j)]) / (cs * f_.colscale[size_t(j)]));
                if (res <= o_.infeasibility_tolerance * bz) {
                    r.status = EngineStatus::primal_infeasible;
                    std::vector<double> zl(static_cast<size_t>(n), 0.0), zu(size_t(n), 0.0), x0(size_t(n), 0.0);
                    for (size_t k = 0; k < lidx_.size(); ++k) zl[size_t(lidx_[k])] = p.zl[k];
                    for (size_t k = 0; k < uidx_.size(); ++k) zu[size_t(uidx_[k])] = p.zu[k];
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
                    log_line("Interior point: primal infeasibility certificate found");
                    return r;
                }
            }
            // dual: Px = 0, Gx + s = 0, bounds respected, q'x < 0
            double cx = qx / cs;
            if (cx < 0.0) {
                double res = 0.0;
                for (int64_t j = 0; j < n; ++j)
                    res = std::max(res, std::fabs(px[size_t(j)]) / (cs * f_.colscale[size_t(j)]));
                for (int64_t i = 0; i < m; ++i)
                    res = std::max(res, std::fabs(gx[size_t(i)] + p.s[size_t(i)]) / f_.rowscale[size_t(i)]);
                for (size_t k = 0; k < lidx_.size(); ++k)
                    res = std::max(res, std::max(0.0, -p.x[size_t(lidx_[k])]) * f_.colscale[size_t(lidx_[k])]);
                for (size_t k = 0; k < uidx_.size(); ++k)
                    res = std::max(res, std::max(0.0, p.x[size_t(uidx_[k])]) * f_.colscale[size_t(uidx_[k])]);
                if (res <= o_.infeasibility_tolerance * -cx) {
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
                    log_line("Interior point: dual infeasibility certificate found");
                    return r;
                }
            }
        }
        if (hook_) {
            ProgressEvent ev;
            ev.kind = ProgressEvent::Kind::interior_iteration;
            ev.time = elapsed();
            ev.interior_iterations = iterations_;
            ev.objective = rec_.sense * pobj;
            if (hook_(ev)) {
                finish(r, EngineStatus::interrupted, "stopped by the progress callback");
                return r;
            }
        }
        if (iterations_ >= o_.max_iterations) {
            finish(r, EngineStatus::iteration_limit, "the iteration limit was reached");
            return r;
        }
        if (elapsed() >= o_.time_limit) {
            finish(r, EngineStatus::time_limit, "the time limit was reached");
            return r;
        }
        if (!std::isfinite(mu) || !std::isfinite(pobj) || !std::isfinite(dobj)) {
            finish(r, EngineStatus::numerical_trouble, "the iterates are no longer finite");
            return r;
        }

        // ---- Newton steps
        compute_scaling();
        if (!kkt_.factor(bdiag_, hdiag_, socsc_)) {
            finish(r, EngineStatus::numerical_trouble, "the augmented system could not be factored");
            return r;
        }
        // Direction of tau.
        {
            std::vector<double> mq(static_cast<size_t>(n)), nl(lidx_.size()), nu2(uidx_.size());
            for (int64_t j = 0; j < n; ++j) mq[size_t(j)] = -f_.q[size_t(j)];
            for (size_t k = 0; k < lidx_.size(); ++k) nl[k] = -lbv_[k];
            newton_solve(mq, f_.h, nl, ubv_, d1);
        }
        // denominator: a(x1, z1) - xt'P xt - kappa / tau
        std::vector<double> px1(static_cast<size_t>(n));
        mul_p(d1.x, px1);
        const double hz1 = dot(f_.h, d1.z) - dot(lbv_, d1.zl) + dot(ubv_, d1.zu);
        const double den = dot(f_.q, d1.x) + hz1 + 2.0 * dot(px, d1.x) / tau - xpx / (tau * tau) - p.kappa / tau;

        // Solves for one right-hand side of complementarity (ds_rhs over the
        // cone rows, bounds and kappa) with residual weight eta.
        auto direction = [&](double eta, const std::vector<double>& dsr, const std::vector<double>& dslr,
                             const std::vector<double>& dsur, double dkr, Point& dir) {
            // xi: ds = -H dz - xi
            for (int64_t i = 0; i < mz_; ++i) xi[size_t(i)] = 0.0;
            for (int64_t i = mz_; i < mz_ + mp_; ++i) xi[size_t(i)] = dsr[size_t(i)] / p.z[size_t(i)];
            for (size_t c = 0; c < socs_.size(); ++c) {
                const auto& cone = socs_[c];
                tmp1.assign(size_t(cone.dim), 0.0);
                soc::jordan_div(socsc_[c].lambda.data(), &dsr[size_t(cone.start)], tmp1.data(), cone.dim);
                soc::apply_w(socsc_[c], tmp1.data(), &xi[size_t(cone.start)], cone.dim, false);
            }
            for (size_t k = 0; k < lidx_.size(); ++k) xil[k] = dslr[k] / p.zl[k];
            for (size_t k = 0; k < uidx_.size(); ++k) xiu[k] = dsur[k] / p.zu[k];
            for (int64_t j = 0; j < n; ++j) nrx[size_t(j)] = -eta * rx[size_t(j)];
            for (int64_t i = 0; i < m; ++i) nrz[size_t(i)] = -eta * rz[size_t(i)] + xi[size_t(i)];
            for (size_t k = 0; k < lidx_.size(); ++k) nrl[k] = -eta * rl[k] + xil[k];
            for (size_t k = 0; k < uidx_.size(); ++k) nru[k] = -eta * ru[k] + xiu[k];
            newton_solve(nrx, nrz, nrl, nru, dir);
            const double hz2 = dot(f_.h, dir.z) - dot(lbv_, dir.zl) + dot(ubv_, dir.zu);
            const double num = -eta * rtau - (dot(f_.q, dir.x) + hz2 + 2.0 * dot(px, dir.x) / tau) + dkr / tau;
            const double dtau = num / den;
            dir.tau = dtau;
            for (int64_t j = 0; j < n; ++j) dir.x[size_t(j)] += dtau * d1.x[size_t(j)];
            for (int64_t i = 0; i < m; ++i) dir.z[size_t(i)] += dtau * d1.z[size_t(i)];
            for (size_t k = 0; k < lidx_.size(); ++k) dir.zl[k] += dtau * d1.zl[k];
            for (size_t k = 0; k < uidx_.size(); ++k) dir.zu[k] += dtau * d1.zu[k];
            dir.kappa = -(dkr + p.kappa * dtau) / tau;
            dir.s.assign(size_t(m), 0.0);
            for (int64_t i = mz_; i < mz_ + mp_; ++i)
                dir.s[size_t(i)] = -hdiag_[size_t(i)] * dir.z[size_t(i)] - xi[size_t(i)];
            for (size_t c = 0; c < socs_.size(); ++c) {
                const auto& cone = socs_[c];
                const int64_t dim = cone.dim;
                tmp1.assign(size_t(dim), 0.0);
                tmp2.assign(size_t(dim), 0.0);
                soc::apply_w(socsc_[c], &dir.z[size_t(cone.start)], tmp1.data(), dim, false);
                soc::apply_w(socsc_[c], tmp1.data(), tmp2.data(), dim, false);
                for (int64_t a = 0; a < dim; ++a)
                    dir.s[size_t(cone.start + a)] = -tmp2[size_t(a)] - xi[size_t(cone.start + a)];
            }
            dir.sl.resize(lidx_.size());
            dir.su.resize(uidx_.size());
            for (size_t k = 0; k < lidx_.size(); ++k) dir.sl[k] = -(p.sl[k] / p.zl[k]) * dir.zl[k] - xil[k];
            for (size_t k = 0; k < uidx_.size(); ++k) dir.su[k] = -(p.su[k] / p.zu[k]) * dir.zu[k] - xiu[k];
        };

        // Predictor.
        std::vector<double> dsr(static_cast<size_t>(m), 0.0), dslr(lidx_.size()), dsur(uidx_.size());
        for (int64_t i = mz_; i < mz_ + mp_; ++i) dsr[size_t(i)] = p.s[size_t(i)] * p.z[size_t(i)];
        for (size_t c = 0; c < socs_.size(); ++c) {
            const auto& lam = socsc_[c].lambda;
            soc::jordan(lam.data(), lam.data(), &dsr[size_t(socs_[c].start)], socs_[c].dim);
        }
        for (size_t k = 0; k < lidx_.size(); ++k) dslr[k] = p.sl[k] * p.zl[k];
        for (size_t k = 0; k < uidx_.size(); ++k) dsur[k] = p.su[k] * p.zu[k];
        direction(1.0, dsr, dslr, dsur, p.tau * p.kappa, daff);
        const double alpha_aff = std::min(1.0, max_step(p, daff));
        double sigma = std::pow(1.0 - alpha_aff, 3);
        sigma = std::clamp(sigma, 0.0, 1.0);

        // Corrector.
        const double smu = sigma * mu;
        for (int64_t i = mz_; i < mz_ + mp_; ++i)
            dsr[size_t(i)] += daff.s[size_t(i)] * daff.z[size_t(i)] - smu;
        for (size_t c = 0; c < socs_.size(); ++c) {
            const auto& cone = socs_[c];
            const int64_t dim = cone.dim;
            tmp1.assign(size_t(dim), 0.0);
            tmp2.assign(size_t(dim), 0.0);
            tmp3.assign(size_t(dim), 0.0);
            soc::apply_w(socsc_[c], &daff.s[size_t(cone.start)], tmp1.data(), dim, true);
            soc::apply_w(socsc_[c], &daff.z[size_t(cone.start)], tmp2.data(), dim, false);
            soc::jordan(tmp1.data(), tmp2.data(), tmp3.data(), dim);
            for (int64_t k = 0; k < dim; ++k) dsr[size_t(cone.start + k)] += tmp3[size_t(k)];
            dsr[size_t(cone.start)] -= smu;
        }
        for (size_t k = 0; k < lidx_.size(); ++k) dslr[k] += daff.sl[k] * daff.zl[k] - smu;
        for (size_t k = 0; k < uidx_.size(); ++k) dsur[k] += daff.su[k] * daff.zu[k] - smu;
        const double dkr = p.tau * p.kappa + daff.tau * daff.kappa - smu;
        direction(1.0 - sigma, dsr, dslr, dsur, dkr, d2);
        double alpha = std::min(1.0, 0.99 * max_step(p, d2));
        if (!std::isfinite(alpha) || alpha <= 0.0) {
            finish(r, EngineStatus::numerical_trouble, "no step could be taken");
            return r;
        }
        auto axpy = [alpha](std::vector<double>& v, const std::vector<double>& dv) {
            for (size_t i = 0; i < v.size(); ++i) v[i] += alpha * dv[i];
        };
        axpy(p.x, d2.x);
        axpy(p.s, d2.s);
        axpy(p.z, d2.z);
        axpy(p.sl, d2.sl);
        axpy(p.zl, d2.zl);
        axpy(p.su, d2.su);
        axpy(p.zu, d2.zu);
        p.tau += alpha * d2.tau;
        p.kappa += alpha * d2.kappa;
        last_step = alpha;
        if (alpha < 1e-8 && mu >= last_mu * 0.999) {
            kkt_.strengthen(10.0);
            if (++small_steps >= 5) {
                finish(r, EngineStatus::numerical_trouble, "the method stalled");
                return r;
            }
        } else {
            small_steps = 0;
        }
        last_mu = mu;
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
    Solver solver(problem, form, rec, options, hook, log);
    return solver.run();
}

}  // namespace vlt::solve
