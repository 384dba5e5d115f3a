// The API call log: one line per entry-point call with its scalar arguments,
// whether each pointer was null, and the response code.  Enabled by the debug
// file given to VLT_makeenv; tests read it to verify call sequences.
//
// Line format:  VLT_name handle=#3 arg=value ... -> code
//   integers and doubles print their value, texts print quoted, every
//   pointer prints "null" or "ptr".
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <type_traits>

namespace vlt {

class CallLog {
public:
    explicit CallLog(std::FILE* file) : file_(file) {}
    ~CallLog() { std::fclose(file_); }
    CallLog(const CallLog&) = delete;
    CallLog& operator=(const CallLog&) = delete;

    void write(const std::string& line);

private:
    std::FILE* file_;
    std::mutex mutex_;
};

// Builds one line of the log.
class LogLine {
public:
    explicit LogLine(const char* function) : text_(function) {}

    LogLine& handle(const char* name, uint64_t serial) {
        text_ += ' ';
        text_ += name;
        text_ += "=#";
        text_ += std::to_string(serial);
        return *this;
    }

    template <class T>
    LogLine& arg(const char* name, T value) {
        text_ += ' ';
        text_ += name;
        text_ += '=';
        if constexpr (std::is_same_v<T, const char*>) {  // input text; output buffers print as pointers
            append_text(value);
        } else if constexpr (std::is_pointer_v<T>) {
            text_ += value ? "ptr" : "null";
        } else if constexpr (std::is_floating_point_v<T>) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.17g", double(value));
            text_ += buf;
        } else {
            text_ += std::to_string(value);
        }
        return *this;
    }

    std::string finish(int32_t code) {
        text_ += " -> ";
        text_ += std::to_string(code);
        text_ += '\n';
        return std::move(text_);
    }

private:
    void append_text(const char* value);
    std::string text_;
};

}  // namespace vlt
