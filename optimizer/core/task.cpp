#include "core/task.hpp"

#include <algorithm>
#include <cstdio>

#include "base/codes.hpp"
#include "base/error.hpp"
#include "base/text.hpp"

namespace vlt {

Task::Task(Env& env) : env_(&env) { env_->retain(); }

// Hooks and the error record stay with the original; everything the task
// holds about the problem is copied.
Task::Task(const Task& other, Env& env)
    : problem(other.problem), solutions(other.solutions), params(other.params), info(other.info), env_(&env) {
    env_->retain();
}

Task::~Task() { env_->release(); }

void Task::put_callback(VLTcallbackfunc func, void* handle) {
    std::lock_guard<std::mutex> guard(callback_mutex_);
    if (deleted()) return;
    callback_ = func;
    callback_handle_ = handle;
}

bool Task::progress(int32_t caller, const double* douinf, const int32_t* intinf, const int64_t* lintinf) {
    if (deleted()) return true;
    if (stop_request && stop_request->load(std::memory_order_relaxed)) return true;
    VLTcallbackfunc func;
    void* func_handle;
    {
        std::lock_guard<std::mutex> guard(callback_mutex_);
        func = callback_;
        func_handle = callback_handle_;
    }
    if (!func) return false;
    HookScope scope(&lock);
    return func(reinterpret_cast<VLTtask_t>(handle), func_handle, caller, douinf, intinf, lintinf) != 0;
}

void Task::mark_deleted() {
    {
        std::lock_guard<std::mutex> guard(callback_mutex_);
        deleted_.store(true, std::memory_order_release);
        callback_ = nullptr;
        callback_handle_ = nullptr;
    }
    streams.detach_functions();
}

void Task::log(const std::string& text) const {
    streams.emit(VLT_STREAM_LOG, text);
    const std::string& file = params[VLT_SPAR_LOG_FILE_NAME];
    if (file.empty()) return;
    // A file that cannot be opened loses its copy; the log stream has it.
    if (std::FILE* f = std::fopen(file.c_str(), "ab")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

void Task::warning(int32_t code, const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(error_mutex_);
        last_code_ = code;
        last_message_ = escaped_utf8(text);
    }
    if (pending_warning == VLT_RES_OK) pending_warning = code;
    streams.emit(VLT_STREAM_WRN, format_warning(code, text));
}

void Task::report_error(const char* function, int32_t code, const std::string& message) {
    {
        std::lock_guard<std::mutex> lock(error_mutex_);
        last_code_ = code;
        last_message_ = escaped_utf8(message);
    }
    streams.emit(VLT_STREAM_ERR, format_error(function, code, message));
}

int32_t Task::last_code() const {
    std::lock_guard<std::mutex> lock(error_mutex_);
    return last_code_;
}

std::string Task::last_message() const {
    std::lock_guard<std::mutex> lock(error_mutex_);
    return last_message_;
}

void Task::check_consistency(const std::string& file, int32_t line) const {
    std::string where = " (checked at " + file + ":" + std::to_string(line) + ")";
    if (!env_ || handle == 0) fail(VLT_RES_ERR_INTERNAL, "The task is not registered" + where);
    std::string problem_error = problem.consistency_error();
    if (!problem_error.empty()) fail(VLT_RES_ERR_INTERNAL, "The task is inconsistent: " + problem_error + where);
}

size_t Task::memory_bytes() const {
    std::lock_guard<std::mutex> lock(error_mutex_);
    return sizeof(Task) + last_message_.capacity() + problem.memory_bytes();
}

size_t Task::peak_memory_bytes() {
    peak_memory_ = std::max(peak_memory_, memory_bytes());
    return peak_memory_;
}

}  // namespace vlt
