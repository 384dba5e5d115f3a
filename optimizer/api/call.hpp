// The shape of every entry point: resolve the handle, run the
// implementation, turn exceptions into response codes and messages, and
// record the call in the call log when one is active.
#pragma once

#include <new>
#include <string>

#include "core/error.hpp"
#include "core/library.hpp"

namespace vlt::api {

void report_unexpected(Task* task, Env* env, const char* function, const char* what);

inline void write_log(CallLog* log, LogLine& line, int32_t code) {
    if (log) log->write(line.finish(code));
}

// An entry point whose first argument is a task handle.
template <class Impl, class LogArgs>
int32_t call_task(const char* function, VLTtask_t handle, Impl&& impl, LogArgs&& log_args) {
    Library& lib = Library::instance();
    Task* task = lib.resolve(handle);
    if (!task) {
        int32_t code = handle ? VLT_RES_ERR_INVALID_TASK : VLT_RES_ERR_NULL_TASK;
        lib.global_env().report_error(function, code,
                                      handle ? "The task handle is not valid (deleted or never made)"
                                             : "The task handle is null");
        return code;
    }
    CallLog* log = task->env().log.get();
    int32_t code = VLT_RES_OK;
    task->pending_warning = VLT_RES_OK;
    try {
        impl(*task);
        code = task->pending_warning;
    } catch (const Error& e) {
        code = e.code();
        task->report_error(function, code, e.message());
    } catch (const std::bad_alloc&) {
        code = VLT_RES_ERR_SPACE;
        task->report_error(function, code, "Out of memory");
    } catch (const std::exception& e) {
        code = VLT_RES_ERR_INTERNAL;
        task->report_error(function, code, std::string("Internal error: ") + e.what());
    }
    if (log) {
        LogLine line(function);
        line.handle("task", task->serial);
        log_args(line);
        write_log(log, line, code);
    }
    return code;
}

// An entry point whose first argument is an environment handle (null: the
// global environment).
template <class Impl, class LogArgs>
int32_t call_env(const char* function, VLTenv_t handle, Impl&& impl, LogArgs&& log_args) {
    Library& lib = Library::instance();
    Env* env = lib.resolve(handle);
    if (!env) {
        lib.global_env().report_error(function, VLT_RES_ERR_INVALID_ENV,
                                      "The environment handle is not valid (deleted or never made)");
        return VLT_RES_ERR_INVALID_ENV;
    }
    int32_t code = VLT_RES_OK;
    try {
        impl(*env);
    } catch (const Error& e) {
        code = e.code();
        env->report_error(function, code, e.message());
    } catch (const std::bad_alloc&) {
        code = VLT_RES_ERR_SPACE;
        env->report_error(function, code, "Out of memory");
    } catch (const std::exception& e) {
        code = VLT_RES_ERR_INTERNAL;
        env->report_error(function, code, std::string("Internal error: ") + e.what());
    }
    if (env->log) {
        LogLine line(function);
        line.handle("env", env->serial);
        log_args(line);
        write_log(env->log.get(), line, code);
    }
    return code;
}

// An entry point without a handle of its own (or one that makes or deletes
// handles itself).  Errors go to the global environment's error stream.  The
// deleters log themselves, into the log of the object they delete.
template <bool Log = true, class Impl, class LogArgs>
int32_t call_free(const char* function, Impl&& impl, LogArgs&& log_args) {
    Library& lib = Library::instance();
    int32_t code = VLT_RES_OK;
    try {
        impl();
    } catch (const Error& e) {
        code = e.code();
        lib.global_env().report_error(function, code, e.message());
    } catch (const std::bad_alloc&) {
        code = VLT_RES_ERR_SPACE;
        lib.global_env().report_error(function, code, "Out of memory");
    } catch (const std::exception& e) {
        code = VLT_RES_ERR_INTERNAL;
        lib.global_env().report_error(function, code, std::string("Internal error: ") + e.what());
    }
    if constexpr (Log) {
        lib.for_each_log([&](CallLog& log) {
            LogLine line(function);
            log_args(line);
            log.write(line.finish(code));
        });
    } else {
        (void)log_args;
    }
    return code;
}

[[noreturn]] inline void not_implemented(const char* function) {
    fail(VLT_RES_ERR_NOT_IMPLEMENTED, std::string(function) + " is not implemented in this version of the library");
}

}  // namespace vlt::api
