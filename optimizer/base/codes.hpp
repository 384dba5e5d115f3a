// Names and descriptions of the response codes, and the message formats of
// the error and warning streams.
#pragma once

#include <cstdint>
#include <string>

namespace vlt {

struct CodeInfo {
    int32_t code;
    const char* name;         // symbolic name, e.g. "VLT_RES_ERR_INDEX_CON"
    const char* description;  // one helpful sentence
};

// The entry of a response code, or null for an unknown code.
const CodeInfo* find_code(int32_t code);

// "VLT_putarow: VLT_RES_ERR_INDEX_CON (1201): <message>\n"
std::string format_error(const char* function, int32_t code, const std::string& message);
// "Warning VLT_RES_WRN_ZERO_AIJ (63): <message>\n"
std::string format_warning(int32_t code, const std::string& message);

}  // namespace vlt
