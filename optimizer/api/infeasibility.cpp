// Entry points: the infeasibility report, infeasible subsystems and primal
// repair (solve/infeasibility/).
#include <chrono>
#include <cstdio>
#include <string>

#include "api/impl.hpp"
#include "model/solution.hpp"
#include "solve/infeasibility/repair.hpp"
#include "solve/infeasibility/report.hpp"
#include "solve/infeasibility/subsystem.hpp"

namespace vlt {

namespace {

void check_stream(int32_t whichstream) {
    if (!MessageStreams::valid(whichstream))
        fail(VLT_RES_ERR_INVALID_STREAM, "Argument whichstream = " + std::to_string(whichstream) + " is not 0 to 3");
}

}  // namespace

void impl::infeasibilityreport(Task& task, int32_t whichstream, int32_t whichsol) {
    check_stream(whichstream);
    const model::Solution& s = task.solutions.read(whichsol, model::solution_sizes(task.problem));
    task.streams.emit(whichstream,
                      solve::infeasibility_report(task.problem, s, task.params.get_int(VLT_IPAR_INFEAS_REPORT_LEVEL)));
}

void impl::getinfeasiblesubproblem(Task& task, int32_t whichsol, VLTtask_t* inftask) {
    if (!inftask) fail(VLT_RES_ERR_NULL_POINTER, "Argument inftask is null");
    *inftask = nullptr;
    task.progress(VLT_CALLBACK_BEGIN_INFEAS_ANA, task.info.d, task.info.i, task.info.l);
    const solve::InfeasibleSubsystem found =
        solve::find_infeasible_subsystem(task, whichsol, task.params.get_dou(VLT_DPAR_OPTIMIZER_MAX_TIME));
    auto subproblem = std::make_unique<Task>(task.env());
    subproblem->params = task.params;
    subproblem->problem = solve::subsystem_problem(task.problem, found.kept);
    char text[256];
    std::snprintf(text, sizeof text,
                  "Infeasible subproblem: %lld bounds of constraints and variables, found in %lld optimizations; "
                  "%s.\n",
                  static_cast<long long>(found.kept.count()), static_cast<long long>(found.solves),
                  found.irreducible ? "it is irreducible (without any one of its bounds the rest is feasible)"
                                    : "it is infeasible but may not be irreducible (the search stopped early or could "
                                      "not decide every bound)");
    if (task.params.get_int(VLT_IPAR_LOG) > 0) task.log(text);
    *inftask = register_task(subproblem.release());
    task.progress(VLT_CALLBACK_END_INFEAS_ANA, task.info.d, task.info.i, task.info.l);
}

void impl::primalrepair(Task& task, const double* wlc, const double* wuc, const double* wlx, const double* wux) {
    solve::primal_repair(task, wlc, wuc, wlx, wux);
}

}  // namespace vlt
