// The data formats of the library, one row each: how a file of the format
// is recognised (by its name, by its first bytes), how it is read into a
// task and how a task is written in it.
//
//   code                   names                       read   write
//   VLT_DATA_FORMAT_MPS    .mps .qps (any case)        yes    yes (WRITE_MPS_FORMAT: free or fixed)
//   VLT_DATA_FORMAT_FREE_MPS                           yes    yes (free)
//   VLT_DATA_FORMAT_LP     .lp                         yes    yes
//   VLT_DATA_FORMAT_OPF    .opf                        yes    yes
//   VLT_DATA_FORMAT_PTF    .ptf                        yes    yes
//   VLT_DATA_FORMAT_CBF    .cbf                        yes    yes (io/cbf_format.hpp)
//   VLT_DATA_FORMAT_JSON_TASK  .jtask .json            yes    yes
//   VLT_DATA_FORMAT_TASK   .task                       yes    yes (binary, lossless)
//
// A compression extension (.gz, .zst) after the name is looked through.
// Reading replaces the task's problem (and, for the formats that hold them,
// its solutions and the parameters a file sets) only once the whole input
// was read and checked; a failed read leaves the task as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/task.hpp"
#include "io/byte_stream.hpp"

namespace vlt::io {

struct DataFormat {
    int32_t code;      // VLT_DATA_FORMAT_*
    const char* name;  // for messages: "MPS", "LP", ...
    // Reads the whole input (source names it in messages) into the task.
    void (*read)(Task& task, std::string_view bytes, const std::string& source);
    // Writes the task; the output is finished by the caller.
    void (*write)(const Task& task, Sink& out);
};

// The row of a format code; VLT_RES_ERR_INVALID_ENUM for an unknown code,
// VLT_RES_ERR_UNKNOWN_FORMAT for VLT_DATA_FORMAT_EXTENSION.
const DataFormat& data_format(int32_t code);

// The format a file name tells (compression extensions looked through), or
// VLT_DATA_FORMAT_EXTENSION when it tells none.
int32_t format_from_name(std::string_view name);
// The format the first bytes of an input look like, or VLT_DATA_FORMAT_EXTENSION.
int32_t format_from_content(std::string_view bytes);

// Reads a file into the task.  format VLT_DATA_FORMAT_EXTENSION: told from
// the name, else from the (decompressed) content.
void read_data_file(Task& task, const std::string& path, int32_t format, int32_t compress);
// Reads a text given in memory (the read...string entry points).
void read_data_text(Task& task, std::string_view text, int32_t format);

// Writes the task in a format (not VLT_DATA_FORMAT_EXTENSION) into out,
// compressed as asked, and finishes out.
void write_data(const Task& task, Sink& out, int32_t format, int32_t compress, std::string_view name = {});
// Writes a file; format and compression VLT_DATA_FORMAT_EXTENSION and
// VLT_COMPRESS_FREE are told from the name.
void write_data_file(const Task& task, const std::string& path, int32_t format, int32_t compress);

}  // namespace vlt::io
