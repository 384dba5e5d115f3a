#include "solve/infeasibility/subsystem.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "base/error.hpp"
#include "solve/infeasibility/derived_task.hpp"

namespace vlt::solve {
namespace {

bool finite_lower(const model::BoundSet& b, int32_t i) { return model::has_lower(b.key(i)); }
bool finite_upper(const model::BoundSet& b, int32_t i) { return model::has_upper(b.key(i)); }

// The sides whose multiplier in a certificate is not negligible.
BoundSides certificate_support(const model::Problem& problem, const model::Solution& s) {
    const auto& v = s.values;
    double largest = 0.0;
    for (int32_t item : {VLT_SOL_ITEM_SLC, VLT_SOL_ITEM_SUC, VLT_SOL_ITEM_SLX, VLT_SOL_ITEM_SUX})
        for (double x : v[size_t(item)]) largest = std::max(largest, std::fabs(x));
    const double threshold = 1e-12 * largest;
    auto support = [&](int32_t item, const model::BoundSet& b, bool lower) {
        std::vector<char> flags(size_t(b.size()), 0);
        for (int32_t i = 0; i < b.size(); ++i)
            flags[size_t(i)] = std::fabs(v[size_t(item)][size_t(i)]) > threshold &&
                               (lower ? finite_lower(b, i) : finite_upper(b, i));
        return flags;
    };
    const model::BoundSet& cons = problem.bounds(model::Item::Con);
    const model::BoundSet& vars = problem.bounds(model::Item::Var);
    return {support(VLT_SOL_ITEM_SLC, cons, true), support(VLT_SOL_ITEM_SUC, cons, false),
            support(VLT_SOL_ITEM_SLX, vars, true), support(VLT_SOL_ITEM_SUX, vars, false)};
}

BoundSides all_finite_sides(const model::Problem& problem) {
    BoundSides sides;
    for (auto [item, lower, upper] : {std::tuple{model::Item::Con, &sides.con_lower, &sides.con_upper},
                                      std::tuple{model::Item::Var, &sides.var_lower, &sides.var_upper}}) {
        const model::BoundSet& b = problem.bounds(item);
        lower->resize(size_t(b.size()));
        upper->resize(size_t(b.size()));
        for (int32_t i = 0; i < b.size(); ++i) {
            (*lower)[size_t(i)] = finite_lower(b, i);
            (*upper)[size_t(i)] = finite_upper(b, i);
        }
    }
    return sides;
}

// The flag vectors of a BoundSides in one list, to walk all sides alike.
std::vector<std::vector<char>*> flag_lists(BoundSides& s) {
    return {&s.con_lower, &s.con_upper, &s.var_lower, &s.var_upper};
}

BoundSides intersection(BoundSides a, const BoundSides& b) {
    const std::vector<char>* other[] = {&b.con_lower, &b.con_upper, &b.var_lower, &b.var_upper};
    auto lists = flag_lists(a);
    for (size_t l = 0; l < lists.size(); ++l)
        for (size_t i = 0; i < lists[l]->size(); ++i) (*lists[l])[i] = (*lists[l])[i] && (*other[l])[i];
    return a;
}

// Tests subsystems of one problem.
class Tester {
public:
    Tester(Task& task) : task_(task) {}

    // The verdict on the subsystem; with an infeasible one, the support of
    // its certificate when the optimizer gave one (else the subsystem).
    Verdict test(const BoundSides& sides, BoundSides* support) {
        ++solves;
        std::unique_ptr<Task> derived = derived_task(task_, subsystem_problem(task_.problem, sides));
        derived->params.set_int(VLT_IPAR_OPTIMIZER, VLT_OPTIMIZER_DUAL_SIMPLEX);
        const DerivedOutcome outcome = optimize_derived(*derived);
        if (outcome.verdict == Verdict::infeasible && support) {
            const model::Solution& s = derived->solutions.read(outcome.whichsol, model::solution_sizes(derived->problem));
            *support = s.solsta == VLT_SOL_STA_PRIM_INFEAS_CER ? intersection(certificate_support(derived->problem, s), sides)
                                                                : sides;
        }
        return outcome.verdict;
    }

    int64_t solves = 0;

private:
    Task& task_;
};

}  // namespace

int64_t BoundSides::count() const {
    int64_t n = 0;
    for (const std::vector<char>* flags : {&con_lower, &con_upper, &var_lower, &var_upper})
        for (char f : *flags) n += f != 0;
    return n;
}

model::Problem subsystem_problem(const model::Problem& problem, const BoundSides& kept) {
    model::Problem sub = problem;
    for (auto [item, lower, upper] : {std::tuple{model::Item::Con, &kept.con_lower, &kept.con_upper},
                                      std::tuple{model::Item::Var, &kept.var_lower, &kept.var_upper}}) {
        const model::BoundSet& b = problem.bounds(item);
        for (int32_t i = 0; i < b.size(); ++i) {
            const bool lo = (*lower)[size_t(i)], up = (*upper)[size_t(i)];
            const int32_t key = lo && up ? b.key(i) : lo ? VLT_BK_LO : up ? VLT_BK_UP : VLT_BK_FR;
            if (key != b.key(i)) sub.put_bound(item, i, key, lo ? b.lower(i) : 0.0, up ? b.upper(i) : 0.0);
        }
    }
    const std::vector<double> zeros(size_t(sub.num_var()), 0.0);
    sub.put_c_slice(0, sub.num_var(), zeros.data());
    sub.put_cfix(0.0);
    sub.put_qobj(0, nullptr, nullptr, nullptr);
    for (int32_t j = 0; j < sub.num_var(); ++j)
        if (sub.var_type(j) != VLT_VAR_TYPE_CONT) sub.put_var_type(j, VLT_VAR_TYPE_CONT);
    return sub;
}

InfeasibleSubsystem find_infeasible_subsystem(Task& task, int32_t whichsol, double time_limit) {
    const model::Solution& certificate = task.solutions.read(whichsol, model::solution_sizes(task.problem));
    if (certificate.solsta != VLT_SOL_STA_PRIM_INFEAS_CER)
        fail(VLT_RES_ERR_INFEAS_UNDEFINED, "The solution (whichsol = " + std::to_string(whichsol) +
                                               ") holds no certificate of primal infeasibility");
    if (task.problem.disjunctive().num_djc() > 0)
        fail(VLT_RES_ERR_PROBLEM_TYPE, "Infeasible subsystems are not searched in problems with disjunctive constraints");
    const auto start = std::chrono::steady_clock::now();
    auto out_of_time = [&] {
        return time_limit >= 0 &&
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > time_limit;
    };
    Tester tester(task);
    InfeasibleSubsystem result;
    // The certificate's bounds are infeasible together; if the optimizer
    // cannot confirm it (a certificate close to tolerance), all bounds are.
    BoundSides kept = certificate_support(task.problem, certificate), support;
    if (tester.test(kept, &support) != Verdict::infeasible) {
        kept = all_finite_sides(task.problem);
        if (tester.test(kept, &support) != Verdict::infeasible)
            fail(VLT_RES_ERR_INFEAS_UNDEFINED, "The optimizer cannot confirm that the problem is infeasible");
    }
    if (support.count() < kept.count() && tester.test(support, nullptr) == Verdict::infeasible) kept = support;
    bool proven = true;
    // Each side in turn: dropped for good when the rest stays infeasible.
    const BoundSides candidates = kept;
    const std::vector<char>* candidate_lists[] = {&candidates.con_lower, &candidates.con_upper,
                                                  &candidates.var_lower, &candidates.var_upper};
    for (size_t l = 0; l < 4; ++l) {
        for (size_t i = 0; i < candidate_lists[l]->size(); ++i) {
            std::vector<char>& flag = *flag_lists(kept)[l];
            if (!(*candidate_lists[l])[i] || !flag[i]) continue;
            if (out_of_time()) {
                proven = false;
                break;
            }
            flag[i] = 0;
            const Verdict verdict = tester.test(kept, &support);
            if (verdict != Verdict::infeasible) {
                flag[i] = 1;
                proven = proven && verdict == Verdict::feasible;
                continue;
            }
            if (support.count() < kept.count() && tester.test(support, nullptr) == Verdict::infeasible)
                kept = support;
        }
    }
    result.kept = std::move(kept);
    result.irreducible = proven;
    result.solves = tester.solves;
    return result;
}

}  // namespace vlt::solve
