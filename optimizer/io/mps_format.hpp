// MPS files as a data format of tasks: the reader of io/mps_reader.hpp
// brought into a task.
#pragma once

#include <string>
#include <string_view>

#include "core/task.hpp"

namespace vlt::io {

// Fixed or free layout, told line by line.
void read_mps_task(Task& task, std::string_view bytes, const std::string& source);
// Free layout only (names without spaces, fields in any columns).
void read_free_mps_task(Task& task, std::string_view bytes, const std::string& source);

}  // namespace vlt::io
