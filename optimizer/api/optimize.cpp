// Entry points that run the optimizer and report on the problem and its
// solutions.
#include "api/impl.hpp"
#include "solve/optimizer.hpp"
#include "solve/solution_store.hpp"

namespace vlt {

void impl::optimizetrm(Task& task, int32_t* trmcode) {
    if (trmcode) *trmcode = VLT_RES_OK;
    int32_t trm = solve::optimize(task);
    if (trmcode) *trmcode = trm;
}

void impl::updatesolutioninfo(Task& task, int32_t whichsol) {
    model::Solutions::check_selector(whichsol);
    solve::update_solution_info(task);
}

}  // namespace vlt
