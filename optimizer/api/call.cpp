#include "api/call.hpp"

#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "core/library.hpp"

namespace vlt::api {
namespace {

// Runs an implementation and turns what it throws into a response code,
// reported through `report`.
template <class Report>
int32_t run(FunctionRef<void()> body, Report&& report) {
    try {
        body();
        return VLT_RES_OK;
    } catch (const Error& e) {
        report(e.code(), e.message());
        return e.code();
    } catch (const std::bad_alloc&) {
        report(VLT_RES_ERR_SPACE, "Out of memory");
        return VLT_RES_ERR_SPACE;
    } catch (const std::exception& e) {
        report(VLT_RES_ERR_INTERNAL, std::string("Internal error: ") + e.what());
        return VLT_RES_ERR_INTERNAL;
    }
}

}  // namespace

std::string entry_refusal(const char* function, const char* running, Access access, TaskLock::Entry entry) {
    std::string call = running ? running : "another call";
    if (entry == TaskLock::Entry::would_deadlock)
        return std::string(function) + " would wait forever for the task: " + call +
               ", which runs on it, waits (through callbacks or other tasks) for this call's thread";
    if (entry == TaskLock::Entry::nested && access == Access::changes)
        return std::string(function) + " cannot change the task from inside one of its own callbacks while " +
               call + " runs on it";
    return {};
}

int32_t call_task(const char* function, VLTtask_t handle, Access access, FunctionRef<void(Task&)> impl,
                  LogArgs log_args) {
    Library& lib = Library::instance();
    TaskRef task = lib.resolve(handle);
    std::optional<TaskEntry> entry;
    if (task && access != Access::unlocked) {
        entry.emplace(task->lock);
        if (task->deleted()) {  // deleted while this call waited for it
            entry.reset();
            task.reset();
        }
    }
    if (!task) {
        int32_t code = handle ? VLT_RES_ERR_INVALID_TASK : VLT_RES_ERR_NULL_TASK;
        lib.global_env().report_error(function, code,
                                      handle ? "The task handle is not valid (deleted or never made)"
                                             : "The task handle is null");
        return code;
    }
    const char* outer_call = task->running_call.load(std::memory_order_acquire);
    TaskLock::Entry how = entry ? entry->entry() : TaskLock::Entry::nested;
    // A call of the thread that holds the task is its only call, unless it is
    // nested in one that runs on it (from a hook of the environment, say).
    if (how == TaskLock::Entry::held) how = outer_call ? TaskLock::Entry::nested : TaskLock::Entry::exclusive;
    const bool exclusive = entry && how == TaskLock::Entry::exclusive;
    // The per-call state of the task belongs to whoever holds its lock: this
    // call, or the call it is nested in.
    const bool holds = entry && how != TaskLock::Entry::would_deadlock;
    std::string refused = entry ? entry_refusal(function, outer_call, access, how) : std::string();
    if (exclusive) task->running_call.store(function, std::memory_order_release);
    const int32_t outer_warning = holds ? task->pending_warning : VLT_RES_OK;
    if (holds) task->pending_warning = VLT_RES_OK;
    int32_t code = run(
        [&] {
            if (!refused.empty()) fail(VLT_RES_ERR_TASK_BUSY, refused);
            impl(*task);
        },
        [&](int32_t c, const std::string& message) { task->report_error(function, c, message); });
    if (holds) {
        if (code == VLT_RES_OK) code = task->pending_warning;
        task->pending_warning = outer_warning;
    }
    if (CallLog* log = task->env().log.get()) {
        LogLine line(function);
        line.handle("task", task->serial);
        log_args(line);
        log->write(line.finish(code));
    }
    if (exclusive) task->running_call.store(outer_call, std::memory_order_release);
    return code;
}

namespace {

// The holds of the calling thread, newest last.  Each keeps its task alive,
// so that a hold on a task deleted meanwhile is still given back.
struct Hold {
    uint64_t handle;
    TaskRef task;
    bool took_lock;  // false for a hold inside a call or hold on the task
};
thread_local std::vector<Hold> holds;

}  // namespace

int32_t hold_task(VLTtask_t handle) {
    TaskRef task = Library::instance().resolve(handle);
    if (!task) return handle ? VLT_RES_ERR_INVALID_TASK : VLT_RES_ERR_NULL_TASK;
    try {
        holds.reserve(holds.size() + 1);  // the record below is then added without failing
    } catch (const std::bad_alloc&) {
        return VLT_RES_ERR_SPACE;
    }
    const TaskLock::Entry entry = task->lock.hold();
    if (entry == TaskLock::Entry::would_deadlock) return VLT_RES_ERR_TASK_BUSY;
    const bool took_lock = entry == TaskLock::Entry::exclusive;
    if (task->deleted()) {  // deleted while this thread waited for it
        if (took_lock) task->lock.release();
        return VLT_RES_ERR_INVALID_TASK;
    }
    holds.push_back(Hold{reinterpret_cast<uint64_t>(handle), std::move(task), took_lock});
    return VLT_RES_OK;
}

int32_t release_task(VLTtask_t handle) {
    const uint64_t value = reinterpret_cast<uint64_t>(handle);
    for (auto it = holds.rbegin(); it != holds.rend(); ++it) {
        if (it->handle != value) continue;
        if (it->took_lock) it->task->lock.release();
        holds.erase(std::next(it).base());
        return VLT_RES_OK;
    }
    return handle ? VLT_RES_ERR_INVALID_TASK : VLT_RES_ERR_NULL_TASK;
}

int32_t call_env(const char* function, VLTenv_t handle, FunctionRef<void(Env&)> impl, LogArgs log_args) {
    Library& lib = Library::instance();
    EnvRef env = lib.resolve(handle);
    if (!env) {
        lib.global_env().report_error(function, VLT_RES_ERR_INVALID_ENV,
                                      "The environment handle is not valid (deleted or never made)");
        return VLT_RES_ERR_INVALID_ENV;
    }
    int32_t code = run([&] { impl(*env); },
                       [&](int32_t c, const std::string& message) { env->report_error(function, c, message); });
    if (env->log) {
        LogLine line(function);
        line.handle("env", env->serial);
        log_args(line);
        env->log->write(line.finish(code));
    }
    return code;
}

int32_t call_free(const char* function, bool log, FunctionRef<void()> impl, LogArgs log_args) {
    Library& lib = Library::instance();
    int32_t code = run(impl, [&](int32_t c, const std::string& message) {
        lib.global_env().report_error(function, c, message);
    });
    if (log) {
        lib.for_each_log([&](CallLog& call_log) {
            LogLine line(function);
            log_args(line);
            call_log.write(line.finish(code));
        });
    }
    return code;
}

void not_implemented(const char* function) {
    fail(VLT_RES_ERR_NOT_IMPLEMENTED, std::string(function) + " is not implemented in this version of the library");
}

}  // namespace vlt::api
