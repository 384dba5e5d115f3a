// Whole tasks in and out of the task formats: what the entry points and
// the remote optimizer call.
//
// Reading is all or nothing: the file is read and checked as a whole before
// the task's problem, solutions and parameters are replaced, so a failed
// read leaves the task as it was.  The task's parameters decide the details:
// VLT_IPAR_READ_TASK_IGNORE_PARAM keeps the task's own parameters on
// reading, VLT_IPAR_WRITE_TASK_INC_SOL writes the solutions with the task.
#pragma once

#include <string>
#include <string_view>

#include "core/task.hpp"
#include "io/task_image.hpp"

namespace vlt::io {

// The task as an image; its solutions only when with_solutions.
TaskImage capture_task(const Task& task, ParamSelection params, bool with_solutions);

// Makes the task what the image holds (parameters only when take_params);
// warnings about skipped settings go to the task's warning stream.  Data
// the task refuses fails with error_code, the message naming source.
void install(Task& task, const TaskImage& image, bool take_params, const std::string& source,
             VLTrescodee error_code);

// The binary task format in files (compression told from the first bytes
// on reading, from the compress code or the name on writing).
void read_task_file(Task& task, const std::string& path, int32_t compress);
void write_task_file(const Task& task, const std::string& path, int32_t compress);

// The binary task format in memory, for sending tasks to an optimization
// server and back.  source names the bytes in messages.
std::string task_to_bytes(const Task& task);
void task_from_bytes(Task& task, std::string_view bytes, const std::string& source);

}  // namespace vlt::io
