// Errors inside the library are exceptions carrying a response code; the
// entry points turn them into that code plus a message on the error stream.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "velto.h"

namespace vlt {

class Error : public std::exception {
public:
    Error(VLTrescodee code, std::string message) : code_(code), message_(std::move(message)) {}
    VLTrescodee code() const noexcept { return code_; }
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    VLTrescodee code_;
    std::string message_;
};

[[noreturn]] inline void fail(VLTrescodee code, std::string message) { throw Error(code, std::move(message)); }

}  // namespace vlt
