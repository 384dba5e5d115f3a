// Process-wide state of the library: the handle tables, the global
// environment and the set of active call logs.
#pragma once

#include <mutex>
#include <vector>

#include "core/env.hpp"
#include "base/handle_table.hpp"
#include "core/task.hpp"

namespace vlt {

using EnvTable = HandleTable<Env, Env::Release>;
using TaskTable = HandleTable<Task>;
using EnvRef = EnvTable::Ref;
using TaskRef = TaskTable::Ref;

class Library {
public:
    static Library& instance();

    EnvTable envs;
    TaskTable tasks;

    Env& global_env() { return global_env_; }

    // Resolves an environment handle: null is the global environment; an
    // unknown or deleted handle gives an empty reference.
    EnvRef resolve(VLTenv_t env) {
        if (!env) return EnvRef(&global_env_);
        return envs.acquire(reinterpret_cast<uint64_t>(env));
    }
    TaskRef resolve(VLTtask_t task) { return task ? tasks.acquire(reinterpret_cast<uint64_t>(task)) : TaskRef(); }

    uint64_t next_serial() { return serial_.fetch_add(1, std::memory_order_relaxed) + 1; }

    // Calls that name no handle are logged in every active call log.
    void add_log(Env* env);
    void remove_log(Env* env);
    template <class F>
    void for_each_log(F&& f) {
        if (!any_log_.load(std::memory_order_relaxed)) return;
        std::lock_guard<std::mutex> lock(log_mutex_);
        for (Env* env : logging_envs_) f(*env->log);
    }

private:
    Library() : global_env_(true) {}
    Env global_env_;
    std::atomic<uint64_t> serial_{0};
    std::mutex log_mutex_;
    std::vector<Env*> logging_envs_;
    std::atomic<bool> any_log_{false};
};

}  // namespace vlt
