// Batch optimization through the C interface: argument checks, per-task
// response codes for handles that are null or no longer live, a task listed
// twice, and results equal to optimizing each task alone.
#include <cmath>
#include <vector>

#include "check.hpp"
#include "velto.h"

namespace {

// min 2x  with  lo <= x <= 10.
VLTtask_t one_variable(VLTenv_t env, double lo) {
    VLTtask_t task = nullptr;
    CHECK(VLT_makeemptytask(env, &task) == VLT_RES_OK);
    CHECK(VLT_appendvars(task, 1) == VLT_RES_OK);
    CHECK(VLT_putcj(task, 0, 2.0) == VLT_RES_OK);
    CHECK(VLT_putvarbound(task, 0, VLT_BK_RA, lo, 10.0) == VLT_RES_OK);
    return task;
}

double objective(VLTtask_t task) {
    double value = NAN;
    for (int32_t sol : {VLT_SOL_BAS, VLT_SOL_ITR}) {
        int32_t defined = 0;
        if (VLT_solutiondef(task, sol, &defined) == VLT_RES_OK && defined) {
            VLT_getprimalobj(task, sol, &value);
            break;
        }
    }
    return value;
}

void arguments(VLTenv_t env) {
    VLTtask_t task = one_variable(env, 1.0);
    int32_t trm[2] = {-1, -1}, rc[2] = {-1, -1};
    CHECK(VLT_optimizebatch(env, 0, -1.0, 1, -1, &task, trm, rc) == VLT_RES_ERR_NEGATIVE_COUNT);
    CHECK(VLT_optimizebatch(env, 0, -1.0, 1, 1, nullptr, trm, rc) == VLT_RES_ERR_NULL_POINTER);
    CHECK(VLT_optimizebatch(env, 0, -1.0, 1, 1, &task, nullptr, rc) == VLT_RES_ERR_NULL_POINTER);
    CHECK(VLT_optimizebatch(env, 0, -1.0, 1, 1, &task, trm, nullptr) == VLT_RES_ERR_NULL_POINTER);
    CHECK(rc[0] == -1 && trm[0] == -1);  // nothing written on refusal
    CHECK(VLT_optimizebatch(env, 0, -1.0, 1, 0, nullptr, nullptr, nullptr) == VLT_RES_OK);
    VLT_deletetask(&task);
}

void members(VLTenv_t env) {
    std::vector<VLTtask_t> alone = {one_variable(env, 1.0), one_variable(env, 2.0), one_variable(env, 3.0)};
    std::vector<double> expected;
    for (VLTtask_t t : alone) {
        int32_t trm = -1;
        CHECK(VLT_optimizetrm(t, &trm) == VLT_RES_OK && trm == VLT_RES_OK);
        expected.push_back(objective(t));
    }
    VLTtask_t stale = one_variable(env, 0.0), kept = stale;
    VLT_deletetask(&stale);
    std::vector<VLTtask_t> batch = {one_variable(env, 1.0), kept, one_variable(env, 2.0), nullptr,
                                    one_variable(env, 3.0)};
    batch.push_back(batch[2]);  // listed twice: optimized once, both positions get its codes
    std::vector<int32_t> trm(batch.size(), -1), rc(batch.size(), -1);
    CHECK(VLT_optimizebatch(env, 0, -1.0, 0, int64_t(batch.size()), batch.data(), trm.data(), rc.data()) ==
          VLT_RES_OK);
    CHECK(rc == (std::vector<int32_t>{0, VLT_RES_ERR_INVALID_TASK, 0, VLT_RES_ERR_NULL_TASK, 0, 0}));
    CHECK(trm == (std::vector<int32_t>(batch.size(), 0)));
    CHECK(std::fabs(objective(batch[0]) - expected[0]) < 1e-9 && std::fabs(objective(batch[2]) - expected[1]) < 1e-9 &&
          std::fabs(objective(batch[4]) - expected[2]) < 1e-9 && std::fabs(expected[2] - 6.0) < 1e-9);
    for (VLTtask_t t : alone) VLT_deletetask(&t);
    for (size_t k : {0, 2, 4}) VLT_deletetask(&batch[k]);
}

}  // namespace

int main() {
    VLTenv_t env = nullptr;
    CHECK(VLT_makeenv(&env, nullptr) == VLT_RES_OK);
    arguments(env);
    members(env);
    VLT_deleteenv(&env);
    return vlt_test::report();
}
