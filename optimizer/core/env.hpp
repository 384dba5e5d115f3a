// An optimizer environment: message streams, the API call log and the
// settings shared by the tasks made in it.  Environments are reference
// counted: each task keeps its environment alive, so deleting an environment
// before its tasks leaves those tasks working.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/call_log.hpp"
#include "core/streams.hpp"

namespace vlt {

class Env {
public:
    explicit Env(bool global) : global_(global) {}
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

    bool is_global() const { return global_; }

    uint64_t serial = 0;   // identifies the environment in the call log
    uint64_t handle = 0;   // the caller's handle value (0 for the global one)
    MessageStreams streams;
    std::unique_ptr<CallLog> log;
    std::atomic<bool> garbage_collection{false};

    void retain() { refs_.fetch_add(1, std::memory_order_relaxed); }
    void release() {
        if (!global_ && refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }

    // Reports an error on the environment's error stream.
    void report_error(const char* function, int32_t code, const std::string& message);

    // Deletion of the handle: no hook is called afterwards.  The object goes
    // when its last task and the last call running on it do.
    void mark_deleted() { streams.detach_functions(); }

    // Only release() (or the library, for the global environment) deletes.
    ~Env() = default;

    // How the handle table drops its reference.
    struct Release {
        void operator()(Env* env) const { env->release(); }
    };

private:
    bool global_;
    std::atomic<int64_t> refs_{1};
};

}  // namespace vlt
