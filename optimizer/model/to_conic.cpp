#include "model/to_conic.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <set>

namespace vlt::model {

namespace {

// Round-off allowed in a pivot, relative to the variable's diagonal in Q.
constexpr double kPivotTolerance = 1e-10;

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

// One variable of Q during the elimination: its current diagonal and the
// off-diagonal entries of its row in the remaining Schur complement.
struct Node {
    int32_t var = 0;
    double diag = 0.0;
    double tol = 0.0;  // pivots at or below this count as zero
    std::map<int32_t, double> adj;
    bool eliminated = false;
    bool deferred = false;  // a zero pivot so far
};

std::string objective_subject(double s);

[[noreturn]] void fail_nonconvex(const std::string& subject, double s, const std::string& detail) {
    fail(VLT_RES_ERR_NONCONVEX, (subject.empty() ? objective_subject(s) : subject) + ": Q is not " +
                                    (s > 0 ? "positive" : "negative") + " semidefinite (" + detail +
                                    "); the task was left unchanged");
}

std::string objective_subject(double s) {
    return std::string("The quadratic objective is not ") + (s > 0 ? "convex" : "concave") +
           " for the objective sense (" + (s > 0 ? "minimize" : "maximize") + ")";
}

// What one quadratic part turns into: the rows of its factor, and the sign
// of t in its row (constraints) or of t in its cone (objective).
struct Part {
    int32_t row = -1;  // -1: the objective
    double s = 1.0;
    std::vector<FactorRow> factor;
};

}  // namespace

std::vector<FactorRow> psd_factor_rows(const QuadraticTerms& q, double s, const std::string& subject) {
    // Local numbering of the variables that occur in Q.
    std::vector<int32_t> vars;
    vars.reserve(q.val.size() * 2);
    for (size_t k = 0; k < q.val.size(); ++k) {
        vars.push_back(q.subi[k]);
        vars.push_back(q.subj[k]);
    }
    std::sort(vars.begin(), vars.end());
    vars.erase(std::unique(vars.begin(), vars.end()), vars.end());
    auto local = [&vars](int32_t var) {
        return static_cast<int32_t>(std::lower_bound(vars.begin(), vars.end(), var) - vars.begin());
    };
    std::vector<Node> nodes(vars.size());
    for (size_t i = 0; i < vars.size(); ++i) nodes[i].var = vars[i];
    for (size_t k = 0; k < q.val.size(); ++k) {
        const int32_t i = local(q.subi[k]), j = local(q.subj[k]);
        const double v = s * q.val[k];
        if (i == j) {
            nodes[i].diag += v;
        } else {
            nodes[i].adj[j] += v;
            nodes[j].adj[i] += v;
        }
    }
    auto var_name = [](const Node& n) { return "variable " + std::to_string(n.var); };
    for (Node& n : nodes) {
        if (n.diag < 0) fail_nonconvex(subject, s, var_name(n) + " has diagonal " + number(s * n.diag));
        n.tol = kPivotTolerance * n.diag;
    }

    // Minimum degree among the nodes with a positive pivot; the others wait
    // (deferred) and must end with a zero Schur complement.
    std::set<std::pair<size_t, int32_t>> ready;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].diag > nodes[i].tol)
            ready.insert({nodes[i].adj.size(), static_cast<int32_t>(i)});
        else
            nodes[i].deferred = true;
    }
    std::vector<FactorRow> rows;
    while (!ready.empty()) {
        const int32_t k = ready.begin()->second;
        ready.erase(ready.begin());
        Node& pivot = nodes[k];
        pivot.eliminated = true;
        const double d = pivot.diag, root = std::sqrt(d);
        FactorRow row;
        row.cols.reserve(pivot.adj.size() + 1);
        row.vals.reserve(pivot.adj.size() + 1);
        row.cols.push_back(pivot.var);
        row.vals.push_back(root);
        for (const auto& [i, a] : pivot.adj) {
            if (a == 0.0) continue;
            row.cols.push_back(nodes[i].var);
            row.vals.push_back(a / root);
        }
        rows.push_back(std::move(row));
        // Schur update of the pivot's neighbours: a_ij -= a_ik a_jk / d.
        for (const auto& [i, a] : pivot.adj)
            if (!nodes[i].deferred) ready.erase({nodes[i].adj.size(), i});
        for (auto it = pivot.adj.begin(); it != pivot.adj.end(); ++it) {
            Node& ni = nodes[it->first];
            ni.adj.erase(k);
            ni.diag -= it->second * it->second / d;
            for (auto jt = std::next(it); jt != pivot.adj.end(); ++jt) {
                const double update = it->second * jt->second / d;
                ni.adj[jt->first] -= update;
                nodes[jt->first].adj[it->first] -= update;
            }
        }
        for (const auto& [i, a] : pivot.adj) {
            Node& ni = nodes[i];
            if (ni.diag < -ni.tol)
                fail_nonconvex(subject, s, var_name(ni) + " has pivot " + number(s * ni.diag) + " after eliminating " +
                                      var_name(pivot));
            if (ni.deferred) continue;
            if (ni.diag > ni.tol)
                ready.insert({ni.adj.size(), i});
            else
                ni.deferred = true;
        }
        pivot.adj.clear();
    }
    // What is left is the Schur complement of the zero pivots: it must be
    // zero up to round-off, else some 2x2 minor of it is negative.
    for (const Node& ni : nodes) {
        if (ni.eliminated) continue;
        const double bound_i = std::max(ni.diag, 0.0) + ni.tol;
        for (const auto& [j, a] : ni.adj) {
            const Node& nj = nodes[j];
            if (a * a > bound_i * (std::max(nj.diag, 0.0) + nj.tol))
                fail_nonconvex(subject, s,
                               var_name(ni) + " has a zero pivot but couples with " + var_name(nj) + " by " +
                                   number(s * a));
        }
    }
    return rows;
}

bool quadratic_to_conic(Problem& p) {
    QuadraticTerms& qobj = p.quadratic_objective();
    QuadraticConstraints& qcon = p.quadratic_constraints();
    if (qobj.empty() && qcon.empty()) return false;

    // Every factor first: a refusal changes nothing.
    std::vector<Part> parts;
    if (!qobj.empty()) {
        const double s = p.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
        parts.push_back({-1, s, psd_factor_rows(qobj, s, objective_subject(s))});
    }
    const BoundSet& rows = p.bounds(Item::Con);
    for (const auto& [k, q] : qcon.terms()) {
        const int32_t key = rows.key(k);
        const std::string row = "constraint " + std::to_string(k);
        if (key == VLT_BK_FR) continue;
        if (key == VLT_BK_RA || key == VLT_BK_FX)
            fail(VLT_RES_ERR_NONCONVEX, "The quadratic part of " + row + " is not convex: the row has both bounds (" +
                                            (key == VLT_BK_FX ? "fixed" : "ranged") +
                                            "), which only a zero Q allows; the task was left unchanged");
        const double s = key == VLT_BK_UP ? 1.0 : -1.0;
        const std::string subject = "The quadratic part of " + row + " is not convex for its " +
                                    (key == VLT_BK_UP ? "upper" : "lower") + " bound";
        parts.push_back({k, s, psd_factor_rows(q, s, subject)});
    }

    AffineStore& afes = p.affine();
    ConicStore& cones = p.conic();
    const int32_t numvar = p.num_var();
    const int64_t numafe = afes.num_afe(), numdomain = cones.num_domain(), numacc = cones.num_acc();
    try {
        p.append_vars(static_cast<int32_t>(parts.size()));
        for (size_t n = 0; n < parts.size(); ++n) {
            const Part& part = parts[n];
            const int32_t t = numvar + static_cast<int32_t>(n);
            p.put_bound(Item::Var, t, VLT_BK_FR, -kInf, kInf);
            const int64_t first = afes.num_afe();
            if (part.row < 0) {
                // The objective: (s t, 1, L'x) with s Q = L L'.
                p.put_cj(t, 1.0);
                afes.append_row(1, &t, &part.s, 0.0);
            } else {
                // A row: a'x + s t, and (t, 1, L'x) with s Q_k = L L'.
                p.put_aij(part.row, t, part.s);
                const double one = 1.0;
                afes.append_row(1, &t, &one, 0.0);
            }
            afes.append_row(0, nullptr, nullptr, 1.0);
            for (const FactorRow& row : part.factor)
                afes.append_row(static_cast<int32_t>(row.cols.size()), row.cols.data(), row.vals.data(), 0.0);
            const int64_t dim = 2 + static_cast<int64_t>(part.factor.size());
            const int64_t dom = cones.append_domain(VLT_DOMAIN_RQUADRATIC_CONE, dim);
            cones.append_acc_seq(dom, dim, first, nullptr, afes.num_afe());
        }
    } catch (...) {
        cones.truncate(numdomain, numacc);
        afes.truncate(numafe);
        if (p.num_var() > numvar) {
            std::vector<int32_t> added(static_cast<size_t>(p.num_var() - numvar));
            for (size_t n = 0; n < added.size(); ++n) added[n] = numvar + static_cast<int32_t>(n);
            p.remove_vars(static_cast<int32_t>(added.size()), added.data());
        }
        throw;
    }
    qobj = QuadraticTerms{};
    qcon.replace_all({});
    return true;
}

}  // namespace vlt::model
