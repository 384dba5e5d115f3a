// The four message streams (log, msg, err, wrn) of an environment or a task.
// Each stream delivers to an optional function hook and an optional file.
#pragma once

#include <array>
#include <cstdio>
#include <mutex>
#include <string>

#include "velto.h"

namespace vlt {

class MessageStreams {
public:
    static constexpr int kCount = 4;

    MessageStreams() = default;
    MessageStreams(const MessageStreams&) = delete;
    MessageStreams& operator=(const MessageStreams&) = delete;
    ~MessageStreams();

    static bool valid(int32_t stream) { return stream >= 0 && stream < kCount; }

    void link_function(int32_t stream, void* handle, VLTstreamfunc func);
    // Opens (or appends to) a file that receives the stream's messages; an
    // empty name unlinks the file.  Throws vlt::Error when it cannot be opened.
    void link_file(int32_t stream, const std::string& path, bool append);

    // Sends one message.  Hooks are called without any lock of ours held, so
    // that they may call back into the library.
    void emit(int32_t stream, const char* message) const;
    void emit(int32_t stream, const std::string& message) const { emit(stream, message.c_str()); }

    bool has_receiver(int32_t stream) const;

private:
    struct Stream {
        void* handle = nullptr;
        VLTstreamfunc func = nullptr;
        std::FILE* file = nullptr;
    };
    std::array<Stream, kCount> streams_{};
    mutable std::mutex file_mutex_;
};

}  // namespace vlt
