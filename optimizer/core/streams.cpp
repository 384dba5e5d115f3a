#include "core/streams.hpp"

#include <cerrno>
#include <cstring>

#include "base/error.hpp"

namespace vlt {

MessageStreams::~MessageStreams() {
    for (auto& s : streams_)
        if (s.file) std::fclose(s.file);
}

void MessageStreams::link_function(int32_t stream, void* handle, VLTstreamfunc func) {
    if (!valid(stream)) fail(VLT_RES_ERR_INVALID_STREAM, "Stream " + std::to_string(stream) + " is not 0 to 3");
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
    std::lock_guard<std::mutex> lock(file_mutex_);
    if (streams_[stream].file) std::fclose(streams_[stream].file);
    streams_[stream].file = file;
}

void MessageStreams::emit(int32_t stream, const char* message) const {
    if (!valid(stream)) return;
    const Stream& s = streams_[stream];
    {
        // Read the file under the lock: another thread may relink it while
        // tasks of a batch send messages.
        std::lock_guard<std::mutex> lock(file_mutex_);
        if (s.file) {
            std::fputs(message, s.file);
            std::fflush(s.file);
        }
    }
    if (s.func) s.func(s.handle, message);
}

bool MessageStreams::has_receiver(int32_t stream) const {
    return valid(stream) && (streams_[stream].func || streams_[stream].file);
}

}  // namespace vlt
