#include "base/codes.hpp"

#include <algorithm>
#include <iterator>

#include "velto.h"

namespace vlt {
namespace {

const CodeInfo kCodes[] = {
#include "codes_table.inc"
};

}  // namespace

const CodeInfo* find_code(int32_t code) {
    auto it = std::find_if(std::begin(kCodes), std::end(kCodes), [code](const CodeInfo& c) { return c.code == code; });
    return it == std::end(kCodes) ? nullptr : it;
}

std::string format_error(const char* function, int32_t code, const std::string& message) {
    const CodeInfo* info = find_code(code);
    return std::string(function) + ": " + (info ? info->name : "VLT_RES_ERR_UNKNOWN") + " (" + std::to_string(code) +
           "): " + message + "\n";
}

std::string format_warning(int32_t code, const std::string& message) {
    const CodeInfo* info = find_code(code);
    return std::string("Warning ") + (info ? info->name : "VLT_RES_WRN") + " (" + std::to_string(code) + "): " + message +
           "\n";
}

}  // namespace vlt
