// Tasks under threads and hooks, through the C interface: a handle deleted
// while a call runs on it, calls on one task from several threads, calls
// from inside a task's own hooks, hooks of two tasks that call each other,
// and batches whose hooks delete tasks.  `make test-tsan` runs it under
// ThreadSanitizer.
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "check.hpp"
#include "task_helpers.hpp"
#include "velto.h"

namespace {

// A dense LP that takes several progress events to solve.
VLTtask_t dense_lp(VLTenv_t env, int32_t n = 30) {
    VLTtask_t task = nullptr;
    CHECK(VLT_makeemptytask(env, &task) == VLT_RES_OK);
    CHECK(VLT_appendvars(task, n) == VLT_RES_OK && VLT_appendcons(task, n) == VLT_RES_OK);
    std::vector<int32_t> columns(static_cast<size_t>(n));
    std::vector<double> row(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = 0; j < n; ++j) {
            columns[size_t(j)] = j;
            row[size_t(j)] = 1.0 + (i * 7 + j * 3) % 11;
        }
        CHECK(VLT_putarow(task, i, n, columns.data(), row.data()) == VLT_RES_OK);
        CHECK(VLT_putcj(task, i, -1.0 - i % 5) == VLT_RES_OK);
    }
    CHECK(VLT_putvarboundsliceconst(task, 0, n, VLT_BK_LO, 0.0, 0.0) == VLT_RES_OK);
    CHECK(VLT_putconboundsliceconst(task, 0, n, VLT_BK_UP, 0.0, 100.0) == VLT_RES_OK);
    return task;
}

// What a hook does, given to the library as the hook's handle.
struct Hook {
    VLTtask_t task = nullptr;   // the task the hook belongs to
    VLTtask_t other = nullptr;  // another task the hook calls on
    std::atomic<int> events{0};
    std::set<int32_t> codes;  // response codes of the calls the hook made
};

int32_t VLTAPI delete_own_task(VLTtask_t, void* handle, int32_t, const double*, const int32_t*, const int64_t*) {
    auto* hook = static_cast<Hook*>(handle);
    if (hook->events++ == 0) CHECK(VLT_deletetask(&hook->task) == VLT_RES_OK);
    return 0;
}

void task_deleted_by_its_own_hook() {
    for (int round = 0; round < 5; ++round) {
        VLTtask_t task = dense_lp(nullptr);
        Hook hook;
        hook.task = task;
        CHECK(VLT_putcallbackfunc(task, delete_own_task, &hook) == VLT_RES_OK);
        int32_t trm = -1;
        // The running call ends normally; its hook was not called again.
        CHECK(VLT_optimizetrm(task, &trm) == VLT_RES_OK && trm == VLT_RES_TRM_USER_CALLBACK, "trm %d", trm);
        CHECK(hook.events == 1);
        int32_t n = 0;
        CHECK(VLT_getnumvar(task, &n) == VLT_RES_ERR_INVALID_TASK);
    }
}

int32_t VLTAPI count_events(VLTtask_t, void* handle, int32_t, const double*, const int32_t*, const int64_t*) {
    static_cast<Hook*>(handle)->events++;
    return 0;
}

void task_deleted_by_another_thread() {
    for (int round = 0; round < 10; ++round) {
        VLTtask_t task = dense_lp(nullptr);
        Hook hook;
        CHECK(VLT_putcallbackfunc(task, count_events, &hook) == VLT_RES_OK);
        std::vector<int32_t> results;
        std::thread worker([&] {
            for (int k = 0; k < 3; ++k) {
                int32_t trm = 0;
                results.push_back(VLT_optimizetrm(task, &trm));
            }
        });
        while (hook.events == 0) std::this_thread::yield();
        VLTtask_t mine = task;
        CHECK(VLT_deletetask(&mine) == VLT_RES_OK);
        worker.join();
        for (int32_t r : results) CHECK(r == VLT_RES_OK || r == VLT_RES_ERR_INVALID_TASK, "code %d", r);
    }
}

void concurrent_changes_and_optimizations() {
    VLTtask_t task = dense_lp(nullptr);
    std::atomic<int> failures{0};
    std::thread optimizer([&] {
        for (int k = 0; k < 10; ++k) {
            int32_t trm = 0;
            if (VLT_optimizetrm(task, &trm) != VLT_RES_OK) ++failures;
        }
    });
    std::thread changer([&] {
        for (int k = 0; k < 200; ++k) {
            int32_t last = 30;
            if (VLT_appendvars(task, 1) != VLT_RES_OK || VLT_putvarbound(task, last, VLT_BK_LO, 0.0, 0.0) != 0 ||
                VLT_removevars(task, 1, &last) != VLT_RES_OK)
                ++failures;
        }
    });
    optimizer.join();
    changer.join();
    int32_t n = 0;
    CHECK(failures == 0 && VLT_getnumvar(task, &n) == VLT_RES_OK && n == 30);
    CHECK(VLT_checkmemtask(task, __FILE__, __LINE__) == VLT_RES_OK);
    CHECK(VLT_deletetask(&task) == VLT_RES_OK);
}

// A stream hook that reads its task and tries to change it.
void VLTAPI read_and_change(void* handle, const char*) {
    auto* hook = static_cast<Hook*>(handle);
    if (hook->events++ > 0) return;
    int32_t n = 0;
    hook->codes.insert(VLT_getnumvar(hook->task, &n));
    hook->codes.insert(VLT_appendvars(hook->task, 1) * 10);
}

void calls_from_a_hook_of_the_same_task() {
    VLTtask_t task = dense_lp(nullptr);
    Hook hook;
    hook.task = task;
    CHECK(VLT_putintparam(task, VLT_IPAR_LOG, 1) == VLT_RES_OK);
    CHECK(VLT_linkfunctotaskstream(task, VLT_STREAM_LOG, &hook, read_and_change) == VLT_RES_OK);
    int32_t trm = 0;
    CHECK(VLT_optimizetrm(task, &trm) == VLT_RES_OK);
    CHECK(hook.codes == (std::set<int32_t>{VLT_RES_OK, VLT_RES_ERR_TASK_BUSY * 10}));
    CHECK(vlt_test::last_message(task).find("cannot change the task from inside one of its own callbacks") !=
          std::string::npos);
    int32_t n = 0;
    CHECK(VLT_getnumvar(task, &n) == VLT_RES_OK && n == 30);
    CHECK(VLT_deletetask(&task) == VLT_RES_OK);
}

std::mutex codes_mutex;

int32_t VLTAPI call_other(VLTtask_t, void* handle, int32_t, const double*, const int32_t*, const int64_t*) {
    auto* hook = static_cast<Hook*>(handle);
    int32_t n = 0;
    int32_t read = VLT_getnumvar(hook->other, &n);
    int32_t change = VLT_putcj(hook->other, 0, -1.0);
    std::lock_guard<std::mutex> lock(codes_mutex);
    hook->codes.insert(read);
    hook->codes.insert(change);
    return 0;
}

void hooks_of_two_tasks_that_call_each_other() {
    for (int round = 0; round < 5; ++round) {
        VLTtask_t a = dense_lp(nullptr), b = dense_lp(nullptr);
        Hook on_a, on_b;
        on_a.other = b;
        on_b.other = a;
        CHECK(VLT_putcallbackfunc(a, call_other, &on_a) == VLT_RES_OK);
        CHECK(VLT_putcallbackfunc(b, call_other, &on_b) == VLT_RES_OK);
        int32_t ra = -1, rb = -1;
        std::thread ta([&] {
            int32_t trm;
            ra = VLT_optimizetrm(a, &trm);
        });
        std::thread tb([&] {
            int32_t trm;
            rb = VLT_optimizetrm(b, &trm);
        });
        ta.join();
        tb.join();
        CHECK(ra == VLT_RES_OK && rb == VLT_RES_OK);
        for (Hook* hook : {&on_a, &on_b})
            for (int32_t code : hook->codes) CHECK(code == VLT_RES_OK || code == VLT_RES_ERR_TASK_BUSY, "%d", code);
        CHECK(VLT_deletetask(&a) == VLT_RES_OK && VLT_deletetask(&b) == VLT_RES_OK);
    }
}

// A hook of the first task of a batch that deletes the other tasks.
int32_t VLTAPI delete_others(VLTtask_t, void* handle, int32_t, const double*, const int32_t*, const int64_t*) {
    auto* others = static_cast<std::vector<VLTtask_t>*>(handle);
    for (VLTtask_t& t : *others)
        if (t) VLT_deletetask(&t);
    return 0;
}

void batch_whose_hook_deletes_its_tasks() {
    for (int round = 0; round < 5; ++round) {
        std::vector<VLTtask_t> tasks = {dense_lp(nullptr), dense_lp(nullptr), dense_lp(nullptr)};
        std::vector<VLTtask_t> others = {tasks[1], tasks[2]};
        CHECK(VLT_putcallbackfunc(tasks[0], delete_others, &others) == VLT_RES_OK);
        int32_t trm[3], rc[3];
        CHECK(VLT_optimizebatch(nullptr, 0, -1.0, 2, 3, tasks.data(), trm, rc) == VLT_RES_OK);
        CHECK(rc[0] == VLT_RES_OK);
        for (int k : {1, 2}) CHECK(rc[k] == VLT_RES_OK || rc[k] == VLT_RES_ERR_INVALID_TASK, "rc %d", rc[k]);
        CHECK(VLT_deletetask(&tasks[0]) == VLT_RES_OK);
    }
}

}  // namespace

// A thread that holds a task: its own calls change the task, another
// thread's wait until the release.
void a_held_task_waits_for_its_holder() {
    VLTtask_t task = dense_lp(nullptr);
    CHECK(VLT_holdtask(task) == VLT_RES_OK);
    std::atomic<bool> appended{false};
    std::atomic<int32_t> other_code{-1};
    std::thread other([&] {
        other_code = VLT_appendvars(task, 1);
        appended = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    int32_t n = 0;
    CHECK(!appended && VLT_getnumvar(task, &n) == VLT_RES_OK && n == 30);
    CHECK(VLT_appendvars(task, 2) == VLT_RES_OK && VLT_getnumvar(task, &n) == VLT_RES_OK && n == 32);
    CHECK(VLT_releasetask(task) == VLT_RES_OK);
    other.join();
    CHECK(other_code == VLT_RES_OK && VLT_getnumvar(task, &n) == VLT_RES_OK && n == 33);
    CHECK(VLT_releasetask(task) == VLT_RES_ERR_INVALID_TASK);  // no hold left
    // A hold on a task deleted meanwhile is still given back.
    VLTtask_t copy = task;
    CHECK(VLT_holdtask(task) == VLT_RES_OK && VLT_deletetask(&task) == VLT_RES_OK);
    CHECK(VLT_getnumvar(copy, &n) == VLT_RES_ERR_INVALID_TASK && VLT_releasetask(copy) == VLT_RES_OK);
    CHECK(VLT_holdtask(copy) == VLT_RES_ERR_INVALID_TASK && VLT_holdtask(nullptr) == VLT_RES_ERR_NULL_TASK);
}

// A hold taken inside a call on the task (from its hook) changes nothing:
// the hook may read, and is still refused a change.
void VLTAPI hold_read_and_change(void* handle, const char*) {
    auto* hook = static_cast<Hook*>(handle);
    if (hook->events++ > 0) return;
    int32_t n = 0;
    hook->codes.insert(VLT_holdtask(hook->task) + 1);
    hook->codes.insert(VLT_getnumvar(hook->task, &n));
    hook->codes.insert(VLT_appendvars(hook->task, 1) * 10);
    hook->codes.insert(VLT_releasetask(hook->task) + 2);
}

void a_hold_inside_a_hook_changes_nothing() {
    VLTtask_t task = dense_lp(nullptr);
    Hook hook;
    hook.task = task;
    CHECK(VLT_putintparam(task, VLT_IPAR_LOG, 1) == VLT_RES_OK);
    CHECK(VLT_linkfunctotaskstream(task, VLT_STREAM_LOG, &hook, hold_read_and_change) == VLT_RES_OK);
    int32_t trm = 0, n = 0;
    CHECK(VLT_optimizetrm(task, &trm) == VLT_RES_OK);
    CHECK(hook.codes == (std::set<int32_t>{1, VLT_RES_OK, VLT_RES_ERR_TASK_BUSY * 10, 2}));
    CHECK(VLT_getnumvar(task, &n) == VLT_RES_OK && n == 30);
    CHECK(VLT_deletetask(&task) == VLT_RES_OK);
}

int main() {
    task_deleted_by_its_own_hook();
    task_deleted_by_another_thread();
    concurrent_changes_and_optimizations();
    calls_from_a_hook_of_the_same_task();
    hooks_of_two_tasks_that_call_each_other();
    batch_whose_hook_deletes_its_tasks();
    a_held_task_waits_for_its_holder();
    a_hold_inside_a_hook_changes_nothing();
    return vlt_test::report();
}
