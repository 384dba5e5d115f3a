// MPS files as a data format of tasks: io/mps_reader.hpp and
// io/mps_writer.hpp between a file and a task.
#pragma once

#include <string>
#include <string_view>

#include "core/task.hpp"
#include "io/byte_stream.hpp"

namespace vlt::io {

// Fixed or free layout, told line by line.
void read_mps_task(Task& task, std::string_view bytes, const std::string& source);
// Free layout only (names without spaces, fields in any columns).
void read_free_mps_task(Task& task, std::string_view bytes, const std::string& source);

// The layout VLT_IPAR_WRITE_MPS_FORMAT asks for; free layout.
void write_mps_task(const Task& task, Sink& out);
void write_free_mps_task(const Task& task, Sink& out);

}  // namespace vlt::io
