#include "base/version.hpp"

#include "velto.h"

namespace vlt {

std::string version_string() {
    return std::to_string(VLT_VERSION_MAJOR) + "." + std::to_string(VLT_VERSION_MINOR) + "." +
           std::to_string(VLT_VERSION_REVISION);
}

std::string build_description() {
    std::string compiler;
#if defined(__clang__)
    compiler = "clang " __clang_version__;
#elif defined(__GNUC__)
    compiler = "gcc " __VERSION__;
#else
    compiler = "unknown compiler";
#endif
#if defined(__linux__)
    const char* platform = "linux";
#elif defined(_WIN32)
    const char* platform = "windows";
#else
    const char* platform = "other";
#endif
    return compiler + ", " + platform + ", 64-bit, built " __DATE__;
}

}  // namespace vlt
