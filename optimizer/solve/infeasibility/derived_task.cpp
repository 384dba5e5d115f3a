#include "solve/infeasibility/derived_task.hpp"

#include "base/error.hpp"
#include "solve/optimizer.hpp"

namespace vlt::solve {

std::unique_ptr<Task> derived_task(Task& parent, model::Problem problem) {
    auto derived = std::make_unique<Task>(parent.env());
    derived->params = parent.params;
    derived->params.set_int(VLT_IPAR_LOG, 0);
    derived->problem = std::move(problem);
    return derived;
}

DerivedOutcome optimize_derived(Task& derived) {
    DerivedOutcome outcome;
    try {
        optimize(derived);
    } catch (const Error&) {
        return outcome;  // the derived problem could not be solved: no verdict
    }
    for (int32_t sol : {VLT_SOL_BAS, VLT_SOL_ITR, VLT_SOL_ITG}) {
        if (!derived.solutions.defined(sol)) continue;
        int32_t prosta = VLT_PRO_STA_UNKNOWN, solsta = VLT_SOL_STA_UNKNOWN;
        derived.solutions.statuses(sol, &prosta, &solsta, model::solution_sizes(derived.problem));
        outcome.whichsol = sol;
        if (prosta == VLT_PRO_STA_PRIM_INFEAS) outcome.verdict = Verdict::infeasible;
        else if (prosta == VLT_PRO_STA_PRIM_AND_DUAL_FEAS || prosta == VLT_PRO_STA_PRIM_FEAS ||
                 solsta == VLT_SOL_STA_INTEGER_OPTIMAL)
            outcome.verdict = Verdict::feasible;
        return outcome;
    }
    return outcome;
}

}  // namespace vlt::solve
