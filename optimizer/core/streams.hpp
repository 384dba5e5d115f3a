// The four message streams (log, msg, err, wrn) of an environment or a task.
// Each stream delivers to an optional function hook and an optional file.
#pragma once

#include <array>
#include <cstdio>
#include <mutex>
#include <string>

#include "velto.h"

namespace vlt {

class TaskLock;

class MessageStreams {
public:
    static constexpr int kCount = 4;

    // `task_lock`: the lock of the task whose streams these are (null for an
    // environment); its hooks run as hooks of that task (see HookScope).
    explicit MessageStreams(const TaskLock* task_lock = nullptr) : task_lock_(task_lock) {}
    MessageStreams(const MessageStreams&) = delete;
    MessageStreams& operator=(const MessageStreams&) = delete;
    ~MessageStreams();

    static bool valid(int32_t stream) { return stream >= 0 && stream < kCount; }

    void link_function(int32_t stream, void* handle, VLTstreamfunc func);
    // Opens (or appends to) a file that receives the stream's messages; an
    // empty name unlinks the file.  Throws vlt::Error when it cannot be opened.
    void link_file(int32_t stream, const std::string& path, bool append);
    // Unlinks every function for good (the owner was deleted): later
    // messages reach the files only.
    void detach_functions();

    // Sends one message, made valid UTF-8 (base/text.hpp).  Hooks are called
    // without any lock of ours held, so that they may call back into the
    // library.
    void emit(int32_t stream, const char* message) const;
    void emit(int32_t stream, const std::string& message) const { emit(stream, message.c_str()); }

    bool has_receiver(int32_t stream) const;

private:
    void deliver(int32_t stream, const char* message) const;

    struct Stream {
        void* handle = nullptr;
        VLTstreamfunc func = nullptr;
        std::FILE* file = nullptr;
    };
    std::array<Stream, kCount> streams_{};
    bool detached_ = false;
    const TaskLock* task_lock_;
    // Guards streams_ and detached_: links may change while other threads
    // send messages (the tasks of a batch share their environment's streams).
    mutable std::mutex mutex_;
};

}  // namespace vlt
