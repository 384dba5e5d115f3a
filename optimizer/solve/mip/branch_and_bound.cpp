#include "solve/mip/branch_and_bound.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <queue>
#include <string>
#include <utility>
#include <vector>

#include "model/bounds.hpp"
#include "solve/mip/point_check.hpp"

namespace vlt::solve::mip {

namespace {

using Clock = std::chrono::steady_clock;
using model::has_lower;
using model::has_upper;
using model::kInf;

// Sets a column's bounds in exchange data (infinite sides free).
void set_bounds(model::ProblemData& d, int32_t column, double lower, double upper);

struct BoundChange {
    int32_t column;
    double lower, upper;
};

// A node: the changes from the root, in order (a later change of a column
// replaces an earlier one), the DJC terms imposed, and the bound inherited
// from its parent (minimization form).
struct Node {
    std::vector<BoundChange> bounds;
    std::vector<std::pair<int32_t, int32_t>> terms;  // (position in form.branching, term)
    double bound = -kInf;
    int64_t depth = 0;
};

struct ByBound {
    bool operator()(const Node& a, const Node& b) const { return a.bound > b.bound; }
};

// The answer of one relaxation.
struct Relaxation {
    enum class Kind { solved, infeasible, unbounded, unresolved, stopped, error } kind = Kind::error;
    double bound = -kInf;  // minimization form (solved)
    std::vector<double> x;  // when the solver has a point
    EngineResult engine;
};

class Search {
public:
    Search(const MixedIntegerForm& form, const BranchAndBoundOptions& options, const ProgressHook& hook,
           const LogSink& log)
        : form_(form), d_(form.data), options_(options), hook_(hook), log_(log), start_(Clock::now()),
          sign_(form.data.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0) {
        const auto n = static_cast<size_t>(d_.numvar);
        root_lower_.assign(n, -kInf);
        root_upper_.assign(n, kInf);
        for (size_t j = 0; j < n; ++j) {
            if (has_lower(d_.bkx[j])) root_lower_[j] = d_.blx[j];
            if (has_upper(d_.bkx[j])) root_upper_[j] = d_.bux[j];
            if (!d_.vartype.empty() && d_.vartype[j] == VLT_VAR_TYPE_INT) {
                integers_.push_back(static_cast<int32_t>(j));
                root_lower_[j] = std::ceil(root_lower_[j] - options_.integrality_tolerance);
                root_upper_[j] = std::floor(root_upper_[j] + options_.integrality_tolerance);
                if (root_lower_[j] > root_upper_[j]) no_integer_in_bounds_ = true;
            }
        }
        // The relaxations see the integer variables' bounds rounded inward.
        root_ = d_;
        for (int32_t j : integers_) set_bounds(root_, j, root_lower_[static_cast<size_t>(j)],
                                               root_upper_[static_cast<size_t>(j)]);
    }

    EngineResult run();

private:
    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

    // The problem of a node with its bounds and terms.
    model::ProblemData node_problem(const Node& node) const;
    Relaxation solve(const model::ProblemData& d);
    Relaxation solve_node(const Node& node) { return solve(node_problem(node)); }

    void effective_bounds(const Node& node, std::vector<double>& lower, std::vector<double>& upper) const;
    // The node with every integer fixed at the rounded value in x and every
    // DJC it leaves open held by the term nearest to x.
    Node fixed_node(const Node& node, const std::vector<double>& x) const;
    // Tries the integral point x of a node as an integer solution.
    bool try_solution(const Node& node, const std::vector<double>& x);
    // Whether point meets every row, bound, cone, DJC and integrality of
    // the problem within the feasibility and integrality tolerances.
    bool feasible(const std::vector<double>& point) const;
    // Takes a feasible point as the new incumbent when it is better; false
    // when the point is not feasible (or its objective not finite).
    bool accept(std::vector<double> point);
    // The children of a node whose relaxation gave x, the preferred first
    // (none: x is integral and satisfies every DJC).
    std::vector<Node> children(const Node& node, const std::vector<double>& x, double bound) const;
    // One child per term of DJC k, in the order given.
    std::vector<Node> djc_children(const Node& node, int32_t k, const std::vector<int32_t>& order, double bound) const;
    // Per DJC of form_.branching: whether the node imposes one of its terms.
    std::vector<char> imposed_djcs(const Node& node) const;
    // The first DJC the node leaves open (-1: none).
    int32_t open_djc(const Node& node) const;
    void file(std::vector<Node> kids);
    // A node whose relaxation is unbounded: branches on a DJC it leaves
    // open, else decides the node with a point of it (see the definition).
    bool expand_unbounded(const Node& node, const Relaxation& r);
    bool branch_limit_reached();
    void heuristics(const Node& root, const std::vector<double>& x);
    // Files the node's children, or its point as an integer solution, or
    // the node as unresolved.  False on an engine error (kept in error_).
    bool expand(const Node& node, Relaxation& r);

    double cutoff() const;
    double best_bound() const;
    double gap(double bound) const;
    bool limit_reached();
    bool report(ProgressEvent::Kind kind);
    void log_line(bool force);
    std::optional<Node> next_node();

    const MixedIntegerForm& form_;
    const model::ProblemData& d_;
    const BranchAndBoundOptions& options_;
    const ProgressHook& hook_;
    const LogSink& log_;
    Clock::time_point start_;
    double sign_;  // -1 when maximizing: the search minimizes sign * objective
    std::vector<double> root_lower_, root_upper_;
    std::vector<int32_t> integers_;
    model::ProblemData root_;  // d_ with the integers' bounds rounded inward
    bool no_integer_in_bounds_ = false;  // some integer variable's bounds hold no integer

    std::vector<Node> dive_;  // LIFO
    std::priority_queue<Node, std::vector<Node>, ByBound> open_;
    double unresolved_bound_ = kInf;  // least bound of leaves that could not be solved
    bool has_incumbent_ = false;
    double incumbent_key_ = kInf;  // sign * objective
    std::vector<double> incumbent_;
    int64_t nodes_ = 0, solutions_ = 0, branches_ = 0, last_logged_ = -1;
    int64_t interior_iterations_ = 0;  // of every relaxation solved
    EngineStatus stop_ = EngineStatus::optimal;
    VLTrescodee limit_code_ = VLT_RES_OK;  // which limit stopped the search, when not the node limit
    bool stopped_ = false;
    // A node with an unbounded relaxation that could not be decided: without
    // an incumbent the answer is "infeasible or unbounded".
    bool undecided_unbounded_ = false;
    std::vector<double> unbounded_ray_;  // a direction proving the problem unbounded
    EngineResult error_;
};

void set_bounds(model::ProblemData& d, int32_t column, double lower, double upper) {
    const auto j = static_cast<size_t>(column);
    d.blx[j] = lower;
    d.bux[j] = upper;
    d.bkx[j] = model::key_from_finite_sides(lower, upper);
}

model::ProblemData Search::node_problem(const Node& node) const {
    model::ProblemData d = root_;
    for (const BoundChange& change : node.bounds) set_bounds(d, change.column, change.lower, change.upper);
    if (!node.terms.empty()) {
        Extension e(d);
        for (const auto& [k, t] : node.terms) impose(form_.branching[static_cast<size_t>(k)].terms[static_cast<size_t>(t)], e);
        e.apply(d);
    }
    return d;
}

Relaxation Search::solve(const model::ProblemData& d) {
    IpmOptions o = options_.relaxation;
    o.time_limit = std::max(0.0, options_.time_limit - elapsed());
    o.log_level = 0;
    Relaxation r;
    r.engine = solve_with_ipm(d, o, {}, {});
    const EngineResult& e = r.engine;
    interior_iterations_ += e.interior_iterations;
    switch (e.status) {
        case EngineStatus::optimal:
            r.kind = Relaxation::Kind::solved;
            // The dual objective bounds the subtree; the primal one when the
            // solver has no dual.
            r.bound = e.has_dual ? std::min(sign_ * e.dual_objective, sign_ * e.primal_objective)
                                 : sign_ * e.primal_objective;
            r.x = e.x;
            break;
        case EngineStatus::primal_infeasible: r.kind = Relaxation::Kind::infeasible; break;
        case EngineStatus::dual_infeasible:
        case EngineStatus::primal_or_dual_infeasible: r.kind = Relaxation::Kind::unbounded; break;
        case EngineStatus::time_limit:
        case EngineStatus::interrupted: r.kind = Relaxation::Kind::stopped; break;
        case EngineStatus::error: r.kind = Relaxation::Kind::error; break;
        default:
            r.kind = Relaxation::Kind::unresolved;
            if (e.has_primal) r.x = e.x;
    }
    return r;
}

void Search::effective_bounds(const Node& node, std::vector<double>& lower, std::vector<double>& upper) const {
    lower = root_lower_;
    upper = root_upper_;
    for (const BoundChange& change : node.bounds) {
        lower[static_cast<size_t>(change.column)] = change.lower;
        upper[static_cast<size_t>(change.column)] = change.upper;
    }
}

double Search::cutoff() const {
    if (!has_incumbent_) return options_.objective_cutoff;
    const double tolerance =
        std::max(options_.absolute_gap, options_.relative_gap * std::max(options_.gap_constant, std::fabs(incumbent_key_)));
    return std::min(options_.objective_cutoff, incumbent_key_ - tolerance);
}

double Search::best_bound() const {
    double bound = unresolved_bound_;
    if (!open_.empty()) bound = std::min(bound, open_.top().bound);
    for (const Node& node : dive_) bound = std::min(bound, node.bound);
    if (has_incumbent_) bound = std::min(bound, incumbent_key_);
    return bound;
}

double Search::gap(double bound) const {
    if (!has_incumbent_) return kInf;
    return std::fabs(incumbent_key_ - bound) / std::max(options_.gap_constant, std::fabs(incumbent_key_));
}

bool Search::report(ProgressEvent::Kind kind) {
    if (!hook_) return false;
    ProgressEvent e;
    e.kind = kind;
    e.time = elapsed();
    e.mip_nodes = nodes_;
    const double bound = best_bound();
    e.mip_incumbent = has_incumbent_ ? sign_ * incumbent_key_ : sign_ * kInf;
    e.mip_bound = sign_ * bound;
    e.mip_gap = gap(bound);
    return hook_(e);
}

void Search::log_line(bool force) {
    if (!log_ || options_.log_level <= 0) return;
    if (!force && (options_.log_frequency <= 0 || nodes_ - last_logged_ < options_.log_frequency)) return;
    last_logged_ = nodes_;
    const double bound = best_bound();
    char text[200];
    std::snprintf(text, sizeof text, "%10lld %10zu %16.8e %16.8e %10.2e %8.2f", static_cast<long long>(nodes_),
                  open_.size() + dive_.size(), has_incumbent_ ? sign_ * incumbent_key_ : NAN, sign_ * bound,
                  gap(bound), elapsed());
    log_(text);
}

bool Search::limit_reached() {
    if (stopped_) return true;
    if (elapsed() >= options_.time_limit) {
        stop_ = EngineStatus::time_limit;
    } else if (options_.node_limit >= 0 && nodes_ >= options_.node_limit) {
        stop_ = EngineStatus::iteration_limit;
    } else {
        return false;
    }
    stopped_ = true;
    return true;
}

std::optional<Node> Search::next_node() {
    const double limit = cutoff();
    while (!dive_.empty()) {
        Node node = std::move(dive_.back());
        dive_.pop_back();
        if (node.bound >= limit) continue;
        // A dive that strays far above the best bound gives way to it.
        if (options_.node_selection == VLT_MIO_NODE_SELECTION_FREE && has_incumbent_ && !open_.empty() &&
            node.bound - open_.top().bound > 0.5 * (incumbent_key_ - open_.top().bound)) {
            open_.push(std::move(node));
            break;
        }
        return node;
    }
    while (!open_.empty()) {
        Node node = open_.top();
        open_.pop();
        if (node.bound < limit) return node;
    }
    return std::nullopt;
}

std::vector<Node> Search::children(const Node& node, const std::vector<double>& x, double bound) const {
    std::vector<double> lower, upper;
    effective_bounds(node, lower, upper);
    // The most fractional integer variable (values outside the node's
    // bounds, from a relaxation not solved to the end, taken at the bound).
    int32_t column = -1;
    double best = options_.integrality_tolerance, value = 0.0;
    for (int32_t j : integers_) {
        const auto k = static_cast<size_t>(j);
        if (lower[k] >= upper[k]) continue;
        const double v = std::clamp(x[k], lower[k], upper[k]);
        const double frac = v - std::floor(v);
        const double score = std::min(frac, 1.0 - frac);
        if (score > best) best = score, column = j, value = v;
    }
    std::vector<Node> out;
    auto child = [&] {
        Node c = node;
        c.bound = bound;
        c.depth = node.depth + 1;
        return c;
    };
    if (column >= 0) {
        const auto k = static_cast<size_t>(column);
        const double down = std::floor(value);
        Node below = child(), above = child();
        below.bounds.push_back({column, lower[k], down});
        above.bounds.push_back({column, down + 1.0, upper[k]});
        bool up_first = false;
        switch (options_.branch_direction) {
            case VLT_BRANCH_DIR_UP: up_first = true; break;
            case VLT_BRANCH_DIR_DOWN: up_first = false; break;
            case VLT_BRANCH_DIR_FAR: up_first = value - down < 0.5; break;
            default: up_first = value - down >= 0.5;  // nearest first
        }
        if (up_first) std::swap(below, above);
        out.push_back(std::move(below));
        out.push_back(std::move(above));
        return out;
    }
    // All integral: the DJC that x violates most, one child per term, the
    // term nearest to x first.
    const std::vector<char> imposed = imposed_djcs(node);
    int32_t djc = -1;
    double worst = options_.feasibility_tolerance;
    for (size_t k = 0; k < form_.branching.size(); ++k) {
        if (imposed[k]) continue;
        const double v = violation(form_.branching[k], x);
        if (v > worst) worst = v, djc = static_cast<int32_t>(k);
    }
    if (djc < 0) return out;
    const Disjunction& disjunction = form_.branching[static_cast<size_t>(djc)];
    std::vector<std::pair<double, int32_t>> nearest;
    for (size_t t = 0; t < disjunction.terms.size(); ++t) {
        double v = 0.0;
        for (const Disjunction::Block& block : disjunction.terms[t].blocks) v = std::max(v, block_violation(block, x));
        nearest.emplace_back(v, static_cast<int32_t>(t));
    }
    std::sort(nearest.begin(), nearest.end());
    std::vector<int32_t> order;
    for (const auto& [v, t] : nearest) order.push_back(t);
    return djc_children(node, djc, order, bound);
}

std::vector<Node> Search::djc_children(const Node& node, int32_t k, const std::vector<int32_t>& order,
                                       double bound) const {
    std::vector<Node> out;
    for (int32_t t : order) {
        Node c = node;
        c.bound = bound;
        c.depth = node.depth + 1;
        c.terms.emplace_back(k, t);
        out.push_back(std::move(c));
    }
    return out;
}

std::vector<char> Search::imposed_djcs(const Node& node) const {
    std::vector<char> imposed(form_.branching.size(), 0);
    for (const auto& [k, t] : node.terms) imposed[static_cast<size_t>(k)] = 1;
    return imposed;
}

int32_t Search::open_djc(const Node& node) const {
    const std::vector<char> imposed = imposed_djcs(node);
    for (size_t k = 0; k < imposed.size(); ++k)
        if (!imposed[k]) return static_cast<int32_t>(k);
    return -1;
}

Node Search::fixed_node(const Node& node, const std::vector<double>& x) const {
    std::vector<double> lower, upper;
    effective_bounds(node, lower, upper);
    Node fixed = node;
    for (int32_t j : integers_) {
        const auto k = static_cast<size_t>(j);
        const double v = std::clamp(std::round(x[k]), lower[k], upper[k]) + 0.0;
        fixed.bounds.push_back({j, v, v});
    }
    const std::vector<char> imposed = imposed_djcs(node);
    for (size_t k = 0; k < form_.branching.size(); ++k) {
        if (imposed[k]) continue;
        const Disjunction& djc = form_.branching[k];
        int32_t best_term = 0;
        double best = kInf;
        for (size_t t = 0; t < djc.terms.size(); ++t) {
            double v = 0.0;
            for (const Disjunction::Block& block : djc.terms[t].blocks) v = std::max(v, block_violation(block, x));
            if (v < best) best = v, best_term = static_cast<int32_t>(t);
        }
        fixed.terms.emplace_back(static_cast<int32_t>(k), best_term);
    }
    return fixed;
}

bool Search::try_solution(const Node& node, const std::vector<double>& x) {
    const Node fixed = fixed_node(node, x);
    const Relaxation r = solve_node(fixed);
    // The relaxation's own point, rounded, when the fixed problem fails but
    // the point is feasible as it is.
    std::vector<double> point = r.kind == Relaxation::Kind::solved ? r.x : x;
    for (const BoundChange& change : fixed.bounds)
        if (change.lower == change.upper) point[static_cast<size_t>(change.column)] = change.lower;
    return accept(std::move(point));
}

bool Search::feasible(const std::vector<double>& point) const {
    // A relaxation's "solved" may be a near-optimal acceptance, or a fixed
    // node that is infeasible without a certificate: only the point itself,
    // against the problem's rows, bounds, cones and DJCs, decides.
    if (!feasible_within(d_, point, options_.feasibility_tolerance)) return false;
    for (int32_t j : integers_) {
        const double v = point[static_cast<size_t>(j)];
        if (!(std::fabs(v - std::round(v)) <= options_.integrality_tolerance)) return false;
    }
    for (const Disjunction& djc : form_.branching)
        if (!(violation(djc, point) <= options_.feasibility_tolerance)) return false;
    return true;
}

bool Search::accept(std::vector<double> point) {
    if (!feasible(point)) return false;
    const double key = sign_ * objective_value(d_, point);
    if (!std::isfinite(key)) return false;
    if (has_incumbent_ && key >= incumbent_key_) return true;
    if (key > options_.objective_cutoff) return true;
    has_incumbent_ = true;
    incumbent_key_ = key;
    incumbent_ = std::move(point);
    ++solutions_;
    log_line(true);
    if (report(ProgressEvent::Kind::mip_improving_solution)) {
        stopped_ = true;
        stop_ = EngineStatus::interrupted;
    } else if (options_.solution_limit >= 0 && solutions_ >= options_.solution_limit && !stopped_) {
        stopped_ = true;
        stop_ = EngineStatus::iteration_limit;
        limit_code_ = VLT_RES_TRM_NUM_MAX_NUM_INT_SOLUTIONS;
    }
    return true;
}

void Search::heuristics(const Node& root, const std::vector<double>& x) {
    if (!options_.heuristics || stopped_) return;
    // Rounding.
    try_solution(root, x);
    if (has_incumbent_ || stopped_) return;
    // Fractional diving: fix the nearly integral variables (and the least
    // fractional of the others) at their rounded values, solve again,
    // repeat until the point is integral or the relaxation infeasible.
    Node dive = root;
    std::vector<double> point = x;
    for (size_t round = 0; round < integers_.size() + 1 && !limit_reached(); ++round) {
        std::vector<double> lower, upper;
        effective_bounds(dive, lower, upper);
        int32_t least = -1;
        double least_frac = kInf;
        bool fractional = false;
        for (int32_t j : integers_) {
            const auto k = static_cast<size_t>(j);
            if (lower[k] >= upper[k]) continue;
            const double frac = std::fabs(point[k] - std::round(point[k]));
            if (frac <= options_.integrality_tolerance) continue;
            fractional = true;
            if (frac < 0.1) {
                const double v = std::clamp(std::round(point[k]), lower[k], upper[k]);
                dive.bounds.push_back({j, v, v});
            } else if (frac < least_frac) {
                least_frac = frac, least = j;
            }
        }
        if (!fractional) {
            try_solution(dive, point);
            return;
        }
        if (least >= 0) {
            const auto k = static_cast<size_t>(least);
            const double v = std::clamp(std::round(point[k]), lower[k], upper[k]);
            dive.bounds.push_back({least, v, v});
        }
        const Relaxation r = solve_node(dive);
        if (r.kind != Relaxation::Kind::solved || r.bound >= cutoff()) return;
        point = r.x;
    }
}

void Search::file(std::vector<Node> kids) {
    // The preferred child goes on the dive (pure best bound: to the heap).
    const int32_t selection = options_.node_selection;
    ++branches_;
    for (size_t k = kids.size(); k-- > 1;) {
        if (selection == VLT_MIO_NODE_SELECTION_FIRST)
            dive_.push_back(std::move(kids[k]));
        else
            open_.push(std::move(kids[k]));
    }
    if (selection == VLT_MIO_NODE_SELECTION_BEST)
        open_.push(std::move(kids[0]));
    else
        dive_.push_back(std::move(kids[0]));
}

bool Search::branch_limit_reached() {
    if (options_.branch_limit < 0 || branches_ < options_.branch_limit) return false;
    stopped_ = true;
    stop_ = EngineStatus::iteration_limit;
    limit_code_ = VLT_RES_TRM_MIO_NUM_BRANCHES;
    return true;
}

bool Search::expand(const Node& node, Relaxation& r) {
    switch (r.kind) {
        case Relaxation::Kind::error:
            error_ = std::move(r.engine);
            return false;
        case Relaxation::Kind::infeasible: return true;
        case Relaxation::Kind::stopped:
            dive_.push_back(node);
            stopped_ = true;
            stop_ = EngineStatus::time_limit;
            return true;
        case Relaxation::Kind::unbounded: return expand_unbounded(node, r);
        default: break;
    }
    // Unresolved nodes keep their parent's bound and branch on whatever
    // point the solver has.
    const bool solved = r.kind == Relaxation::Kind::solved;
    const double bound = solved ? std::max(r.bound, node.bound) : node.bound;
    if (bound >= cutoff()) return true;
    if (r.x.empty()) {
        unresolved_bound_ = std::min(unresolved_bound_, bound);
        return true;
    }
    std::vector<Node> kids = children(node, r.x, bound);
    if (kids.empty()) {
        // x is integral and meets every DJC: the subtree is done when the
        // relaxation was solved and x makes a solution.
        if (!try_solution(node, r.x) || !solved) unresolved_bound_ = std::min(unresolved_bound_, bound);
        return true;
    }
    Node unexplored = node;
    unexplored.bound = bound;
    if (branch_limit_reached())
        dive_.push_back(std::move(unexplored));
    else
        file(std::move(kids));
    return true;
}

// An unbounded relaxation proves the node unbounded only when the node is
// feasible and the relaxation is the node itself.  So:
//  - a DJC the node leaves open (the relaxation dropped it): branch on it;
//  - else find a point p of the node's relaxation (objective dropped):
//    none means the node is infeasible; an integer fractional at p: branch
//    on it (the children inherit the unbounded bound);
//  - p integral: with the integers fixed at p the problem is convex; if it
//    is unbounded, p and its ray (zero on the integers) prove the whole
//    problem unbounded.  If it is bounded, p makes an integer solution and,
//    when the node is polyhedral, the relaxation's ray still proves the
//    node unbounded (an integer point in a rational polyhedron whose
//    relaxation is unbounded).  Otherwise the node stays undecided.
bool Search::expand_unbounded(const Node& node, const Relaxation& r) {
    if (const int32_t k = open_djc(node); k >= 0) {
        std::vector<int32_t> order(form_.branching[static_cast<size_t>(k)].terms.size());
        for (size_t t = 0; t < order.size(); ++t) order[t] = static_cast<int32_t>(t);
        if (!branch_limit_reached()) file(djc_children(node, k, order, node.bound));
        else dive_.push_back(node);
        return true;
    }
    model::ProblemData problem = node_problem(node);
    model::ProblemData feasibility = problem;
    std::fill(feasibility.c.begin(), feasibility.c.end(), 0.0);
    feasibility.qosubi.clear(), feasibility.qosubj.clear(), feasibility.qoval.clear();
    feasibility.barc = {};
    Relaxation point = solve(feasibility);
    ++nodes_;
    if (point.kind == Relaxation::Kind::infeasible) return true;
    if (point.kind == Relaxation::Kind::stopped) return expand(node, point);
    if (point.kind != Relaxation::Kind::solved) {
        undecided_unbounded_ = true;
        unresolved_bound_ = -kInf;
        return true;
    }
    if (std::vector<Node> kids = children(node, point.x, node.bound); !kids.empty()) {
        if (!branch_limit_reached()) file(std::move(kids));
        else dive_.push_back(node);
        return true;
    }
    const Node fixed = fixed_node(node, point.x);
    const Relaxation settled = solve_node(fixed);
    ++nodes_;
    const bool polyhedral = problem.qoval.empty() && problem.qcval.empty() && problem.barvar_dim.empty() &&
                            std::all_of(problem.cones.begin(), problem.cones.end(), [](const auto& cone) {
                                return cone.domain == VLT_DOMAIN_R || cone.domain == VLT_DOMAIN_RZERO ||
                                       cone.domain == VLT_DOMAIN_RPLUS || cone.domain == VLT_DOMAIN_RMINUS;
                            });
    const EngineResult* proof = nullptr;
    if (settled.kind == Relaxation::Kind::unbounded && settled.engine.has_primal_ray) {
        proof = &settled.engine;
    } else if (settled.kind == Relaxation::Kind::solved) {
        accept(settled.x);
        if (polyhedral && r.engine.has_primal_ray) proof = &r.engine;
    }
    if (proof) {
        unbounded_ray_ = proof->primal_ray;
        stopped_ = true;
        stop_ = EngineStatus::dual_infeasible;
    } else {
        undecided_unbounded_ = true;
        unresolved_bound_ = -kInf;
    }
    return true;
}

EngineResult Search::run() {
    EngineResult result;
    result.is_mip = true;
    if (options_.log_level > 0 && log_)
        log_("     Nodes       Open       Best solution       Best bound        Gap     Time");

    if (no_integer_in_bounds_) {
        result.status = EngineStatus::primal_infeasible;
        return result;
    }
    Node root;
    Relaxation first = solve_node(root);
    nodes_ = 1;
    if (first.kind == Relaxation::Kind::infeasible) {
        result.status = EngineStatus::primal_infeasible;
        result.mip_nodes = nodes_;
        result.interior_iterations = interior_iterations_;
        result.solve_time = elapsed();
        return result;
    }
    if (first.kind == Relaxation::Kind::solved) {
        root.bound = first.bound;
        if (report(ProgressEvent::Kind::mip_progress)) stopped_ = true, stop_ = EngineStatus::interrupted;
        heuristics(root, first.x);
    }
    if (!expand(root, first)) return error_;

    while (!stopped_) {
        std::optional<Node> next = next_node();
        if (!next) break;
        if (limit_reached()) {
            dive_.push_back(std::move(*next));
            break;
        }
        Relaxation r = solve_node(*next);
        ++nodes_;
        if (!expand(*next, r)) return error_;
        log_line(false);
        if (report(ProgressEvent::Kind::mip_progress)) {
            stopped_ = true;
            stop_ = EngineStatus::interrupted;
        }
    }

    if (stopped_ && stop_ == EngineStatus::dual_infeasible) {
        result.status = stop_;
        result.has_primal_ray = true;
        result.primal_ray = std::move(unbounded_ray_);
        result.mip_nodes = nodes_;
        result.interior_iterations = interior_iterations_;
        result.mip_best_bound = -sign_ * kInf;
        result.mip_gap = kInf;
        result.solve_time = elapsed();
        return result;
    }
    const double bound = best_bound();
    result.mip_nodes = nodes_;
    result.interior_iterations = interior_iterations_;
    result.mip_best_bound = sign_ * bound;
    result.mip_gap = gap(bound);
    result.solve_time = elapsed();
    log_line(true);
    if (has_incumbent_) {
        result.has_primal = result.primal_feasible = true;
        result.x = incumbent_;
        result.xc = row_activities(d_, incumbent_);
        result.primal_objective = objective_value(d_, incumbent_);
        result.dual_objective = result.mip_best_bound;
    }
    const bool gap_closed = has_incumbent_ && bound >= cutoff();
    if (stopped_) {
        // A limit reached with the gap closed still ends with an optimal solution.
        const bool limit = stop_ == EngineStatus::iteration_limit;
        result.status = limit && gap_closed ? EngineStatus::optimal : stop_;
        if (limit && !gap_closed) result.termination = limit_code_;
    } else if (has_incumbent_) {
        // Every node is done: optimal unless unresolved leaves keep the gap open.
        result.status = gap_closed ? EngineStatus::optimal : EngineStatus::numerical_trouble;
    } else if (undecided_unbounded_) {
        result.status = EngineStatus::primal_or_dual_infeasible;
    } else {
        result.status = unresolved_bound_ < kInf ? EngineStatus::numerical_trouble : EngineStatus::primal_infeasible;
    }
    return result;
}

}  // namespace

EngineResult branch_and_bound(const MixedIntegerForm& form, const BranchAndBoundOptions& options,
                              const ProgressHook& hook, const LogSink& log) {
    Search search(form, options, hook, log);
    return search.run();
}

}  // namespace vlt::solve::mip
