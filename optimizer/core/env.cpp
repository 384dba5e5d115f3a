#include "core/env.hpp"

#include "base/codes.hpp"

namespace vlt {

void Env::report_error(const char* function, int32_t code, const std::string& message) {
    streams.emit(VLT_STREAM_ERR, format_error(function, code, message));
}

}  // namespace vlt
