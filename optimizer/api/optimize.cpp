// Entry points that run the optimizer and report on the problem and its
// solutions.
#include "api/impl.hpp"
#include "remote/remote_optimizer.hpp"
#include "solve/optimizer.hpp"
#include "solve/reports.hpp"
#include "solve/solution_store.hpp"

namespace vlt {

void impl::optimizetrm(Task& task, int32_t* trmcode) {
    if (trmcode) *trmcode = VLT_RES_OK;
    // A task given an optimization server (putoptserverhost) is solved there.
    const std::string server = task.params.get_str(VLT_SPAR_REMOTE_OPTSERVER_HOST);
    int32_t trm = server.empty() ? solve::optimize(task) : remote::optimize_remotely(task, server.c_str(), nullptr);
    if (trmcode) *trmcode = trm;
}

void impl::updatesolutioninfo(Task& task, int32_t whichsol) {
    model::Solutions::check_selector(whichsol);
    solve::update_solution_info(task);
}

}  // namespace vlt

namespace vlt {

void impl::analyzeproblem(Task& task, int32_t whichstream) { solve::analyze_problem(task, whichstream); }

void impl::analyzesolution(Task& task, int32_t whichstream, int32_t whichsol) {
    solve::analyze_solution(task, whichstream, whichsol);
}

void impl::solutionsummary(Task& task, int32_t whichstream) { solve::solution_summary(task, whichstream); }

void impl::onesolutionsummary(Task& task, int32_t whichstream, int32_t whichsol) {
    solve::one_solution_summary(task, whichstream, whichsol);
}

void impl::optimizersummary(Task& task, int32_t whichstream) { solve::optimizer_summary(task, whichstream); }

// Changes to a task take effect when they are made; there is nothing pending.
void impl::commitchanges(Task& task) { (void)task; }

}  // namespace vlt
