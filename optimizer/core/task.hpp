// A task: one optimization problem with its data, parameters, solutions,
// message streams and progress hook.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/env.hpp"
#include "core/streams.hpp"
#include "core/task_lock.hpp"
#include "model/problem.hpp"
#include "model/solution.hpp"
#include "params/info_table.hpp"
#include "params/param_table.hpp"
#include "velto.h"

namespace vlt::solve {
class FactoredBasis;
}

namespace vlt {

class Task {
public:
    explicit Task(Env& env);
    // A deep copy of everything the task holds except its hooks.
    Task(const Task& other, Env& env);
    Task& operator=(const Task&) = delete;
    ~Task();

    Env& env() const { return *env_; }

    uint64_t serial = 0;   // identifies the task in the call log
    uint64_t handle = 0;   // the caller's handle value
    TaskLock lock;         // serializes the calls on the task
    std::atomic<const char*> running_call{nullptr};  // the entry point that holds the lock
    MessageStreams streams{&lock};

    model::Problem problem;         // rows, columns, bounds, matrix, objective
    model::Solutions solutions;     // interior-point, basic and integer solutions
    params::ParamValues params;     // the task's parameter values
    params::InfoValues info;        // information items of the last optimizer run

    // The basis that initbasissolve factored, for solvewithbasis (not cloned).
    std::shared_ptr<const solve::FactoredBasis> factored_basis;

    // The progress hook; called by the optimizers.  Returns true when the
    // caller asks to stop, or when the task has been deleted meanwhile.
    void put_callback(VLTcallbackfunc func, void* handle);
    bool progress(int32_t caller, const double* douinf, const int32_t* intinf, const int64_t* lintinf);

    // Deletion of the handle: no hook is called afterwards, and a call still
    // running on the task is asked to stop.  The object itself goes when the
    // last reference to it does.
    void mark_deleted();
    bool deleted() const { return deleted_.load(std::memory_order_acquire); }

    // A stop request from whoever runs the optimizer on this task besides its
    // own hook (a batch that lost its race or ran out of time): while it
    // points to a true flag, progress() asks to stop without calling the
    // hook.  Set and cleared by the thread that runs the optimizer.
    const std::atomic<bool>* stop_request = nullptr;

    // Messages of the task.
    // The log stream; a copy goes to the file LOG_FILE_NAME names, if any.
    void log(const std::string& text) const;
    void message(const std::string& text) const { streams.emit(VLT_STREAM_MSG, text); }
    void warning(int32_t code, const std::string& text);
    void report_error(const char* function, int32_t code, const std::string& message);

    // The last error (or warning) reported on the task.
    int32_t last_code() const;
    std::string last_message() const;

    // Warning code that the current call returns, set by warning().
    int32_t pending_warning = VLT_RES_OK;

    // What VLT_readsummary reports: the last data file read into the task.
    std::string read_summary;

    // Verifies the internal consistency of the task's data; throws vlt::Error
    // naming the caller's file and line when something is broken.
    void check_consistency(const std::string& file, int32_t line) const;

    // Approximate bytes held by the task, and the largest value seen.
    size_t memory_bytes() const;
    size_t peak_memory_bytes();

private:
    Env* env_;
    std::atomic<bool> deleted_{false};
    std::mutex callback_mutex_;  // the hook may be replaced or unlinked while a call runs
    VLTcallbackfunc callback_ = nullptr;
    void* callback_handle_ = nullptr;
    mutable std::mutex error_mutex_;
    int32_t last_code_ = VLT_RES_OK;
    std::string last_message_;
    size_t peak_memory_ = 0;
};

}  // namespace vlt
