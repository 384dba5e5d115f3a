#include "core/streams.hpp"

#include <cerrno>
#include <cstring>

#include "base/error.hpp"
#include "base/text.hpp"
#include "core/task_lock.hpp"

namespace vlt {

MessageStreams::~MessageStreams() {
    for (auto& s : streams_)
        if (s.file) std::fclose(s.file);
}

void MessageStreams::link_function(int32_t stream, void* handle, VLTstreamfunc func) {
    if (!valid(stream)) fail(VLT_RES_ERR_INVALID_STREAM, "Stream " + std::to_string(stream) + " is not 0 to 3");
    std::lock_guard<std::mutex> lock(mutex_);
    if (detached_) return;
    streams_[stream].handle = handle;
    streams_[stream].func = func;
}

void MessageStreams::link_file(int32_t stream, const std::string& path, bool append) {
    if (!valid(stream)) fail(VLT_RES_ERR_INVALID_STREAM, "Stream " + std::to_string(stream) + " is not 0 to 3");
    std::FILE* file = nullptr;
    if (!path.empty()) {
        file = std::fopen(path.c_str(), append ? "ab" : "wb");
        if (!file) fail(VLT_RES_ERR_FILE_OPEN, "Cannot open '" + path + "' for writing: " + std::strerror(errno));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (streams_[stream].file) std::fclose(streams_[stream].file);
    streams_[stream].file = file;
}

void MessageStreams::detach_functions() {
    std::lock_guard<std::mutex> lock(mutex_);
    detached_ = true;
    for (auto& s : streams_) s.func = nullptr, s.handle = nullptr;
}

void MessageStreams::emit(int32_t stream, const char* message) const {
    if (!valid(stream)) return;
    // Messages may quote the bytes of a file or a name as they are: the
    // receivers get valid UTF-8, with any other byte written as \xNN.
    if (!is_utf8(message)) {
        deliver(stream, escaped_utf8(message).c_str());
        return;
    }
    deliver(stream, message);
}

void MessageStreams::deliver(int32_t stream, const char* message) const {
    VLTstreamfunc func;
    void* handle;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Stream& s = streams_[stream];
        if (s.file) {
            std::fputs(message, s.file);
            std::fflush(s.file);
        }
        func = s.func;
        handle = s.handle;
    }
    if (!func) return;
    HookScope scope(task_lock_);
    func(handle, message);
}

bool MessageStreams::has_receiver(int32_t stream) const {
    if (!valid(stream)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    return streams_[stream].func || streams_[stream].file;
}

}  // namespace vlt
