// The JSON task format and the JSON solution format (docs/formats.md).
//
// A JSON task file holds a whole task: problem, names, the parameters that
// differ from their defaults, solutions.  Numbers are written exactly (the
// shortest decimal that reads back as the same double); infinite bounds are
// the strings "inf" and "-inf".  A JSON solution file holds the solutions
// alone, in the same form as the "solutions" member of a task file.
//
// Reading refuses malformed JSON (the message names the line), nesting
// deeper than 64 levels, wrong types and sizes (the message names the
// member, as a JSON pointer such as /variables/lower/3); members it does
// not know are skipped with a warning.  Errors: VLT_RES_ERR_JSON_FORMAT.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/task.hpp"
#include "io/byte_stream.hpp"
#include "io/task_image.hpp"

namespace vlt::io {

void write_json_task(const TaskImage& image, Sink& out);
TaskImage read_json_task(std::string_view text, const std::string& source, std::vector<std::string>& warnings);

// The solutions of an image (its problem parts are not written).
void write_json_solutions(const TaskImage& image, Sink& out);
// The solutions a JSON solution or task file holds, into image.solutions.
void read_json_solutions(std::string_view text, const std::string& source, TaskImage& image);

void read_json_task_into(Task& task, std::string_view bytes, const std::string& source);
void write_json_task_of(const Task& task, Sink& out);

}  // namespace vlt::io
