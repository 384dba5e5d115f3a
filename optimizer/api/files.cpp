// Entry points that read problem files into a task.
#include <chrono>
#include <cstring>
#include <string>

#include "api/impl.hpp"
#include "io/mps_reader.hpp"

namespace vlt {
namespace {

bool ends_with(const std::string& text, const char* suffix) {
    size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The file's format from its name, compression extensions ignored.
int32_t format_from_name(std::string name) {
    for (const char* z : {".gz", ".zst"})
        if (ends_with(name, z)) name.resize(name.size() - std::strlen(z));
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

void read_file(Task& task, const char* filename, int32_t format, int32_t compress) {
    if (!filename) fail(VLT_RES_ERR_NULL_POINTER, "Argument filename is null");
    if (compress < VLT_COMPRESS_NONE || compress > VLT_COMPRESS_ZSTD)
        fail(VLT_RES_ERR_INVALID_ENUM, "Argument compress = " + std::to_string(compress) + " is not a compression type");
    if (compress == VLT_COMPRESS_ZSTD) fail(VLT_RES_ERR_COMPRESSION, "zstd-compressed files cannot be read yet");
    if (format == VLT_DATA_FORMAT_EXTENSION) format = format_from_name(filename);
    io::MpsFlavor flavor;
    switch (format) {
        case VLT_DATA_FORMAT_MPS: flavor = io::MpsFlavor::automatic; break;
        case VLT_DATA_FORMAT_FREE_MPS: flavor = io::MpsFlavor::free; break;
        case VLT_DATA_FORMAT_LP:
        case VLT_DATA_FORMAT_OPF:
        case VLT_DATA_FORMAT_CBF:
        case VLT_DATA_FORMAT_PTF:
        case VLT_DATA_FORMAT_JSON_TASK:
        case VLT_DATA_FORMAT_TASK:
            fail(VLT_RES_ERR_NOT_IMPLEMENTED, "Reading this file format is not implemented in this version");
        default:
            fail(VLT_RES_ERR_INVALID_ENUM, "Argument format = " + std::to_string(format) + " is not a data format");
    }
    auto start = std::chrono::steady_clock::now();
    task.progress(VLT_CALLBACK_BEGIN_READ, task.info.d, task.info.i, task.info.l);
    model::ProblemData data;
    io::MpsReadInfo remarks;
    try {
        data = io::read_mps_file(filename, flavor, &remarks);
    } catch (const io::FormatError& e) {
        fail(VLT_RES_ERR_MPS_FORMAT, e.what());
    }
    for (uint8_t flag : data.semicont)
        if (flag)
            fail(VLT_RES_ERR_MPS_FORMAT, std::string(filename) +
                                             ": semi-continuous variables are not supported by tasks; nothing was read");
    task.problem.load(data);  // replaces the task's problem only once the whole file was read
    for (int32_t k = 0; k < model::kNumSolutions; ++k) task.solutions.remove(k);
    for (const std::string& w : remarks.warnings) task.streams.emit(VLT_STREAM_WRN, "Warning: " + w + "\n");
    task.info[VLT_DINF_READ_DATA_TIME] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    task.progress(VLT_CALLBACK_END_READ, task.info.d, task.info.i, task.info.l);
}

}  // namespace

void impl::readdataautoformat(Task& task, const char* filename) {
    read_file(task, filename, VLT_DATA_FORMAT_EXTENSION, VLT_COMPRESS_FREE);
}

void impl::readdataformat(Task& task, const char* filename, int32_t format, int32_t compress) {
    read_file(task, filename, format, compress);
}

}  // namespace vlt
