#include "core/call_log.hpp"

namespace vlt {

void CallLog::write(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fputs(line.c_str(), file_);
    std::fflush(file_);
}

void LogLine::append_text(const char* value) {
    if (!value) {
        text_ += "null";
        return;
    }
    text_ += '"';
    for (const char* p = value; *p; ++p) {
        if (*p == '"' || *p == '\\') text_ += '\\';
        if (*p == '\n') {
            text_ += "\\n";
            continue;
        }
        text_ += *p;
    }
    text_ += '"';
}

}  // namespace vlt
