#include "solve/mip/outer_approximation.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model/bounds.hpp"
#include "solve/ipm/ipm.hpp"
#include "solve/mip/point_check.hpp"

namespace vlt::solve::mip {

namespace {

using Clock = std::chrono::steady_clock;
using model::kInf;

constexpr int kMaxRounds = 1000;

bool linear_domain(int32_t domain) {
    return domain == VLT_DOMAIN_R || domain == VLT_DOMAIN_RZERO || domain == VLT_DOMAIN_RPLUS ||
           domain == VLT_DOMAIN_RMINUS;
}

double value(const Affine& f, const std::vector<double>& x) {
    double v = f.constant;
    for (size_t k = 0; k < f.col.size(); ++k) v += f.val[k] * x[static_cast<size_t>(f.col[k])];
    return v;
}

// sum_k w[k] f_k, with the entries of each column merged.
Affine combination(const std::vector<Affine>& rows, const std::vector<double>& w) {
    std::vector<std::pair<int32_t, double>> entries;
    Affine out;
    for (size_t k = 0; k < rows.size(); ++k) {
        if (w[k] == 0.0) continue;
        out.constant += w[k] * rows[k].constant;
        for (size_t e = 0; e < rows[k].col.size(); ++e) entries.emplace_back(rows[k].col[e], w[k] * rows[k].val[e]);
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& [col, val] : entries) {
        if (!out.col.empty() && out.col.back() == col)
            out.val.back() += val;
        else
            out.col.push_back(col), out.val.push_back(val);
    }
    return out;
}

// A quadratic cone  rows[0] >= ||rows[1..]||  (rotated cones mapped to it).
struct Cone {
    std::vector<Affine> rows;
};

// The master's rows without cones, and the cones apart.
void split(const model::ProblemData& d, model::ProblemData& base, std::vector<Cone>& cones) {
    base = d;
    clear_conic_rows(base);
    const std::vector<Affine> rows = conic_rows(d);
    auto at = rows.begin();
    Disjunction::Term linear;
    for (const model::ProblemData::Cone& cone : d.cones) {
        Disjunction::Block block{cone.domain, std::vector<Affine>(at, at + cone.dim), cone.alpha};
        at += cone.dim;
        if (linear_domain(cone.domain)) {
            linear.blocks.push_back(std::move(block));
        } else if (cone.domain == VLT_DOMAIN_QUADRATIC_CONE) {
            cones.push_back({std::move(block.rows)});
        } else {
            // 2 a b >= |w|^2, a, b >= 0  <=>  ((a + b)/sqrt2, (a - b)/sqrt2, w) in the quadratic cone.
            const double s = 1.0 / std::sqrt(2.0);
            Cone c;
            c.rows.push_back(combination({block.rows[0], block.rows[1]}, {s, s}));
            c.rows.push_back(combination({block.rows[0], block.rows[1]}, {s, -s}));
            c.rows.insert(c.rows.end(), block.rows.begin() + 2, block.rows.end());
            cones.push_back(std::move(c));
        }
    }
    Extension e(base);
    impose(linear, e);
    e.apply(base);
}

class Approximation {
public:
    Approximation(const MixedIntegerForm& form, const BranchAndBoundOptions& options, const EngineOptions& master,
                  const ProgressHook& hook, const LogSink& log)
        : d_(form.data), options_(options), master_options_(master), hook_(hook), log_(log), start_(Clock::now()),
          sign_(form.data.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0) {
        split(d_, base_, cones_);
        for (int32_t j = 0; j < d_.numvar; ++j)
            if (!d_.vartype.empty() && d_.vartype[static_cast<size_t>(j)] == VLT_VAR_TYPE_INT) integers_.push_back(j);
    }

    EngineResult run();

private:
    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }
    double remaining() const { return std::max(0.0, options_.time_limit - elapsed()); }

    // Adds the cut of cone k at the point x when it separates (or always,
    // with force, when the tail is not zero).  True when a cut was added.
    bool cut(size_t k, const std::vector<double>& x, bool force);
    // The conic problem with the integers fixed at the rounded values of x.
    EngineResult fixed_conic(const std::vector<double>& x) const;
    // Takes x (its integers rounded) as the integer solution when it is
    // feasible and better; true when the hook then asks to stop.
    bool offer(const std::vector<double>& x);
    double tolerance() const {
        return std::max(options_.absolute_gap,
                        options_.relative_gap * std::max(options_.gap_constant, std::fabs(incumbent_key_)));
    }
    bool report(ProgressEvent::Kind kind);

    const model::ProblemData& d_;
    const BranchAndBoundOptions& options_;
    const EngineOptions& master_options_;
    const ProgressHook& hook_;
    const LogSink& log_;
    Clock::time_point start_;
    double sign_;
    model::ProblemData base_;
    std::vector<Cone> cones_;
    std::vector<int32_t> integers_;
    std::vector<Affine> cuts_;
    bool has_incumbent_ = false;
    double incumbent_key_ = kInf, bound_key_ = -kInf;
    std::vector<double> incumbent_;
    int64_t nodes_ = 0;
};

bool Approximation::cut(size_t k, const std::vector<double>& x, bool force) {
    const Cone& cone = cones_[k];
    std::vector<double> w(cone.rows.size());
    double norm = 0.0;
    for (size_t r = 1; r < w.size(); ++r) {
        w[r] = value(cone.rows[r], x);
        norm += w[r] * w[r];
    }
    norm = std::sqrt(norm);
    if (norm <= 1e-12) return false;
    if (!force && value(cone.rows[0], x) >= norm - options_.feasibility_tolerance) return false;
    // u_0 - (v/|v|)'u >= 0
    w[0] = 1.0;
    for (size_t r = 1; r < w.size(); ++r) w[r] = -w[r] / norm;
    cuts_.push_back(combination(cone.rows, w));
    return true;
}

EngineResult Approximation::fixed_conic(const std::vector<double>& x) const {
    model::ProblemData d = d_;
    for (int32_t j : integers_) {
        const auto k = static_cast<size_t>(j);
        const double v = std::round(x[k]) + 0.0;
        d.blx[k] = d.bux[k] = v;
        d.bkx[k] = VLT_BK_FX;
    }
    IpmOptions o = options_.relaxation;
    o.time_limit = remaining();
    o.log_level = 0;
    return solve_with_ipm(d, o, {}, {});
}

bool Approximation::offer(const std::vector<double>& x) {
    std::vector<double> point = x;
    for (int32_t j : integers_) point[static_cast<size_t>(j)] = std::round(point[static_cast<size_t>(j)]) + 0.0;
    // The fixed conic problem's "optimal" may be a near-optimal acceptance:
    // the point itself must meet the problem's rows, bounds and cones.
    if (!feasible_within(d_, point, options_.feasibility_tolerance)) return false;
    const double key = sign_ * objective_value(d_, point);
    if (!std::isfinite(key) || (has_incumbent_ && key >= incumbent_key_)) return false;
    has_incumbent_ = true;
    incumbent_key_ = key;
    incumbent_ = std::move(point);
    return report(ProgressEvent::Kind::mip_improving_solution);
}

bool Approximation::report(ProgressEvent::Kind kind) {
    const double gap = has_incumbent_ ? std::fabs(incumbent_key_ - bound_key_) /
                                            std::max(options_.gap_constant, std::fabs(incumbent_key_))
                                      : kInf;
    if (log_ && options_.log_level > 0) {
        char text[160];
        std::snprintf(text, sizeof text, "%10lld %10zu %16.8e %16.8e %10.2e %8.2f", static_cast<long long>(nodes_),
                      cuts_.size(), has_incumbent_ ? sign_ * incumbent_key_ : NAN, sign_ * bound_key_, gap,
                      elapsed());
        log_(text);
    }
    if (!hook_) return false;
    ProgressEvent e;
    e.kind = kind;
    e.time = elapsed();
    e.mip_nodes = nodes_;
    e.mip_incumbent = sign_ * incumbent_key_;
    e.mip_bound = sign_ * bound_key_;
    e.mip_gap = gap;
    return hook_(e);
}

EngineResult Approximation::run() {
    EngineResult result;
    result.is_mip = true;
    if (log_ && options_.log_level > 0)
        log_("Outer approximation\n     Nodes       Cuts       Best solution       Best bound        Gap     Time");
    // The continuous relaxation: its point gives the first cuts.
    IpmOptions relaxed = options_.relaxation;
    relaxed.time_limit = remaining();
    relaxed.log_level = 0;
    const EngineResult root = solve_with_ipm(d_, relaxed, {}, {});
    if (root.status == EngineStatus::error) return root;
    if (root.status == EngineStatus::primal_infeasible || root.status == EngineStatus::dual_infeasible ||
        root.status == EngineStatus::primal_or_dual_infeasible) {
        result.status = root.status == EngineStatus::primal_infeasible ? EngineStatus::primal_infeasible
                                                                        : EngineStatus::primal_or_dual_infeasible;
        return result;
    }
    for (size_t k = 0; k < cones_.size(); ++k) {
        if (root.has_primal) cut(k, root.x, true);
        // u_0 >= |u_i| for every member.
        const Cone& cone = cones_[k];
        for (size_t r = 1; r < cone.rows.size(); ++r)
            for (double s : {1.0, -1.0}) {
                std::vector<double> w(cone.rows.size(), 0.0);
                w[0] = 1.0;
                w[r] = -s;
                cuts_.push_back(combination(cone.rows, w));
            }
    }

    EngineStatus status = EngineStatus::optimal;
    for (int round = 0;; ++round) {
        if (round >= kMaxRounds || (options_.node_limit >= 0 && nodes_ >= options_.node_limit)) {
            status = EngineStatus::iteration_limit;
            break;
        }
        if (remaining() <= 0) {
            status = EngineStatus::time_limit;
            break;
        }
        model::ProblemData master = base_;
        Extension e(master);
        for (const Affine& f : cuts_) e.add_row(f, 0.0, kInf);
        e.apply(master);
        EngineOptions mo = master_options_;
        mo.algorithm = Algorithm::mixed_integer;
        mo.time_limit = remaining();
        mo.mip_relative_gap = options_.relative_gap;
        mo.mip_absolute_gap = options_.absolute_gap;
        mo.log_level = 0;
        const EngineResult m = solve_with_highs(master, mo, {}, {});
        nodes_ += std::max<int64_t>(1, m.mip_nodes);
        if (m.status == EngineStatus::primal_infeasible) {
            if (!has_incumbent_) status = EngineStatus::primal_infeasible;
            bound_key_ = incumbent_key_;
            break;
        }
        if (m.status != EngineStatus::optimal || !m.has_primal) {
            status = m.status == EngineStatus::error ? EngineStatus::numerical_trouble : m.status;
            if (m.status == EngineStatus::dual_infeasible) status = EngineStatus::primal_or_dual_infeasible;
            break;
        }
        bound_key_ = std::max(bound_key_, sign_ * m.mip_best_bound);
        if (has_incumbent_ && bound_key_ >= incumbent_key_ - tolerance()) break;
        bool separated = false;
        for (size_t k = 0; k < cones_.size(); ++k) separated = cut(k, m.x, false) || separated;
        if (!separated) {
            // The master's point meets every cone: it is optimal.
            if (offer(m.x)) status = EngineStatus::interrupted;
            break;
        }
        const EngineResult conic = fixed_conic(m.x);
        ++nodes_;
        if (conic.status == EngineStatus::optimal && conic.has_primal) {
            if (offer(conic.x)) {
                status = EngineStatus::interrupted;
                break;
            }
            for (size_t k = 0; k < cones_.size(); ++k) cut(k, conic.x, true);
        }
        if (has_incumbent_ && bound_key_ >= incumbent_key_ - tolerance()) break;
        if (report(ProgressEvent::Kind::mip_progress)) {
            status = EngineStatus::interrupted;
            break;
        }
    }

    result.mip_nodes = nodes_;
    result.solve_time = elapsed();
    if (has_incumbent_) {
        bound_key_ = std::min(bound_key_, incumbent_key_);
        result.has_primal = result.primal_feasible = true;
        result.x = incumbent_;
        result.xc = row_activities(d_, incumbent_);
        result.primal_objective = objective_value(d_, incumbent_);
        result.mip_best_bound = result.dual_objective = sign_ * bound_key_;
        result.mip_gap = std::fabs(incumbent_key_ - bound_key_) / std::max(options_.gap_constant, std::fabs(incumbent_key_));
    }
    result.status = status;
    if (status == EngineStatus::optimal && !has_incumbent_) result.status = EngineStatus::numerical_trouble;
    return result;
}

}  // namespace

bool outer_approximation_applies(const MixedIntegerForm& form) {
    if (!form.data.qoval.empty() || !form.data.qcval.empty() || !form.branching.empty()) return false;
    for (const model::ProblemData::Cone& cone : form.data.cones)
        if (!linear_domain(cone.domain) && cone.domain != VLT_DOMAIN_QUADRATIC_CONE &&
            cone.domain != VLT_DOMAIN_RQUADRATIC_CONE)
            return false;
    return true;
}

EngineResult outer_approximation(const MixedIntegerForm& form, const BranchAndBoundOptions& options,
                                 const EngineOptions& master, const ProgressHook& hook, const LogSink& log) {
    Approximation oa(form, options, master, hook, log);
    return oa.run();
}

}  // namespace vlt::solve::mip
