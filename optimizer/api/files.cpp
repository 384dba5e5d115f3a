// Entry points that read problem files into a task and write tasks to files.
#include <chrono>
#include <cstring>
#include <string>

#include "api/impl.hpp"
#include "io/compression.hpp"
#include "io/mps_reader.hpp"
#include "io/task_binary.hpp"
#include "io/task_files.hpp"

namespace vlt {
namespace {

bool ends_with(const std::string& text, const char* suffix) {
    size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The file's format from its name, compression extensions ignored.
int32_t format_from_name(std::string name) {
    name = std::string(io::without_compression_extension(name));
    if (ends_with(name, ".mps") || ends_with(name, ".MPS") || ends_with(name, ".qps") || ends_with(name, ".QPS"))
        return VLT_DATA_FORMAT_MPS;
    if (ends_with(name, ".lp")) return VLT_DATA_FORMAT_LP;
    if (ends_with(name, ".opf")) return VLT_DATA_FORMAT_OPF;
    if (ends_with(name, ".cbf")) return VLT_DATA_FORMAT_CBF;
    if (ends_with(name, ".ptf")) return VLT_DATA_FORMAT_PTF;
    if (ends_with(name, ".jtask")) return VLT_DATA_FORMAT_JSON_TASK;
    if (ends_with(name, ".task")) return VLT_DATA_FORMAT_TASK;
    fail(VLT_RES_ERR_UNKNOWN_FORMAT, "The format of '" + name + "' cannot be told from its name; give it explicitly");
}

const char* checked_filename(const char* filename) {
    if (!filename) fail(VLT_RES_ERR_NULL_POINTER, "Argument filename is null");
    return filename;
}

// Runs a read between the progress events that frame it and records its time.
template <class Body>
void timed(Task& task, int32_t begin, int32_t end, VLTdinfitem_enum info_item, Body&& body) {
    const auto start = std::chrono::steady_clock::now();
    task.progress(begin, task.info.d, task.info.i, task.info.l);
    body();
    task.info[info_item] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    task.progress(end, task.info.d, task.info.i, task.info.l);
}

void read_mps(Task& task, const std::string& filename, io::MpsFlavor flavor, int32_t compress) {
    model::ProblemData data;
    io::MpsReadInfo remarks;
    const io::InputBytes input = io::read_input_file(filename, compress);
    try {
        data = io::read_mps_text(input.bytes(), filename, flavor, &remarks);
    } catch (const io::FormatError& e) {
        fail(VLT_RES_ERR_MPS_FORMAT, e.what());
    }
    for (uint8_t flag : data.semicont)
        if (flag)
            fail(VLT_RES_ERR_MPS_FORMAT, filename + ": semi-continuous variables are not supported by tasks; nothing was read");
    task.problem.load(data);  // replaces the task's problem only once the whole file was read
    for (int32_t k = 0; k < model::kNumSolutions; ++k) task.solutions.remove(k);
    for (const std::string& w : remarks.warnings) task.streams.emit(VLT_STREAM_WRN, "Warning: " + w + "\n");
}

void read_file(Task& task, const char* filename, int32_t format, int32_t compress) {
    checked_filename(filename);
    io::check_compress_code(compress);
    if (format == VLT_DATA_FORMAT_EXTENSION) format = format_from_name(filename);
    timed(task, VLT_CALLBACK_BEGIN_READ, VLT_CALLBACK_END_READ, VLT_DINF_READ_DATA_TIME, [&] {
        switch (format) {
            case VLT_DATA_FORMAT_MPS: read_mps(task, filename, io::MpsFlavor::automatic, compress); break;
            case VLT_DATA_FORMAT_FREE_MPS: read_mps(task, filename, io::MpsFlavor::free, compress); break;
            case VLT_DATA_FORMAT_TASK: io::read_task_file(task, filename, compress); break;
            case VLT_DATA_FORMAT_LP:
            case VLT_DATA_FORMAT_OPF:
            case VLT_DATA_FORMAT_CBF:
            case VLT_DATA_FORMAT_PTF:
            case VLT_DATA_FORMAT_JSON_TASK:
                fail(VLT_RES_ERR_NOT_IMPLEMENTED, "Reading this file format is not implemented in this version");
            default:
                fail(VLT_RES_ERR_INVALID_ENUM, "Argument format = " + std::to_string(format) + " is not a data format");
        }
    });
}

}  // namespace

void impl::readdataautoformat(Task& task, const char* filename) {
    read_file(task, filename, VLT_DATA_FORMAT_EXTENSION, VLT_COMPRESS_FREE);
}

void impl::readdataformat(Task& task, const char* filename, int32_t format, int32_t compress) {
    read_file(task, filename, format, compress);
}

void impl::readtask(Task& task, const char* filename) {
    checked_filename(filename);
    timed(task, VLT_CALLBACK_BEGIN_READ, VLT_CALLBACK_END_READ, VLT_DINF_READ_DATA_TIME,
          [&] { io::read_task_file(task, filename, VLT_COMPRESS_FREE); });
}

void impl::writetask(Task& task, const char* filename) {
    checked_filename(filename);
    timed(task, VLT_CALLBACK_BEGIN_WRITE, VLT_CALLBACK_END_WRITE, VLT_DINF_WRITE_DATA_TIME,
          [&] { io::write_task_file(task, filename, VLT_COMPRESS_FREE); });
}

}  // namespace vlt
