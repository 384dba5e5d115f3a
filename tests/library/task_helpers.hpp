// Helpers shared by the C++ test programs that drive tasks through the C
// interface.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "velto.h"

namespace vlt_test {

// The message of the task's last failed call.
inline std::string last_message(VLTtask_t task) {
    int32_t code = 0, length = 0;
    VLT_getlasterror(task, &code, 0, &length, nullptr);
    std::vector<char> text(size_t(length) + 1);
    VLT_getlasterror(task, &code, length + 1, nullptr, text.data());
    return text.data();
}

}  // namespace vlt_test
