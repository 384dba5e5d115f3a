#include "io/formats.hpp"

#include <cctype>

#include "base/error.hpp"
#include "io/cbf_format.hpp"
#include "io/compression.hpp"
#include "io/json_format.hpp"
#include "io/lp_format.hpp"
#include "io/mps_format.hpp"
#include "io/own_formats.hpp"
#include "io/task_binary.hpp"
#include "io/task_files.hpp"

namespace vlt::io {

namespace {

void read_task_binary_into(Task& task, std::string_view bytes, const std::string& source) {
    task_from_bytes(task, bytes, source);
}

void write_task_binary_of(const Task& task, Sink& out) {
    write_task_binary(capture_task(task, ParamSelection::all, task.params[VLT_IPAR_WRITE_TASK_INC_SOL] == VLT_ONOFF_ON),
                      out);
}

// Rows by code.  The CBF row is the conic benchmark format's (io/cbf_format.hpp).
const DataFormat kFormats[] = {
    {VLT_DATA_FORMAT_MPS, "MPS", read_mps_task, write_mps_task},
    {VLT_DATA_FORMAT_LP, "LP", read_lp_task, write_lp_task},
    {VLT_DATA_FORMAT_OPF, "OPF", read_opf_task, write_opf_task},
    {VLT_DATA_FORMAT_FREE_MPS, "free MPS", read_free_mps_task, write_free_mps_task},
    {VLT_DATA_FORMAT_CBF, "CBF", read_cbf_task, write_cbf_task},
    {VLT_DATA_FORMAT_PTF, "PTF", read_ptf_task, write_ptf_task},
    {VLT_DATA_FORMAT_JSON_TASK, "JSON task", read_json_task_into, write_json_task_of},
    {VLT_DATA_FORMAT_TASK, "binary task", read_task_binary_into, write_task_binary_of},
};

bool ends_with_nocase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    for (size_t k = 0; k < suffix.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + k])) != suffix[k]) return false;
    return true;
}

// The first word of the first line that is neither blank nor a comment
// (lines starting with one of comment_marks).
std::string_view first_word(std::string_view bytes, std::string_view comment_marks) {
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        const size_t b = line.find_first_not_of(" \t\r\f\v");
        if (b == std::string_view::npos || comment_marks.find(line[b]) != std::string_view::npos) continue;
        line.remove_prefix(b);
        return line.substr(0, line.find_first_of(" \t\r\f\v:"));
    }
    return {};
}

bool equals_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(a[k])) != std::tolower(static_cast<unsigned char>(b[k])))
            return false;
    return true;
}

}  // namespace

const DataFormat& data_format(int32_t code) {
    if (code == VLT_DATA_FORMAT_EXTENSION)
        fail(VLT_RES_ERR_UNKNOWN_FORMAT, "No file name to tell the data format from; give the format explicitly");
    for (const DataFormat& f : kFormats)
        if (f.code == code) return f;
    fail(VLT_RES_ERR_INVALID_ENUM, "Argument format = " + std::to_string(code) + " is not a data format (expected 0 to 8)");
}

int32_t format_from_name(std::string_view name) {
    name = without_compression_extension(name);
    struct Extension {
        const char* text;
        int32_t format;
    };
    static constexpr Extension kExtensions[] = {
        {".mps", VLT_DATA_FORMAT_MPS}, {".qps", VLT_DATA_FORMAT_MPS},        {".lp", VLT_DATA_FORMAT_LP},
        {".opf", VLT_DATA_FORMAT_OPF}, {".cbf", VLT_DATA_FORMAT_CBF},        {".ptf", VLT_DATA_FORMAT_PTF},
        {".jtask", VLT_DATA_FORMAT_JSON_TASK}, {".json", VLT_DATA_FORMAT_JSON_TASK}, {".task", VLT_DATA_FORMAT_TASK},
    };
    for (const Extension& e : kExtensions)
        if (ends_with_nocase(name, e.text)) return e.format;
    return VLT_DATA_FORMAT_EXTENSION;
}

int32_t format_from_content(std::string_view bytes) {
    if (looks_like_task_binary(bytes)) return VLT_DATA_FORMAT_TASK;
    const size_t b = bytes.find_first_not_of(" \t\r\n\f\v");
    if (b == std::string_view::npos) return VLT_DATA_FORMAT_EXTENSION;
    if (bytes[b] == '{') return VLT_DATA_FORMAT_JSON_TASK;
    if (bytes.substr(b).starts_with(kOpfHeader)) return VLT_DATA_FORMAT_OPF;
    const std::string_view mps = first_word(bytes, "*");
    for (const char* keyword : {"NAME", "ROWS", "OBJSENSE", "OBJSENSE", "OBJNAME"})
        if (mps == keyword) return VLT_DATA_FORMAT_MPS;
    if (first_word(bytes, "#") == "VER") return VLT_DATA_FORMAT_CBF;
    if (first_word(bytes, "#") == "PTF") return VLT_DATA_FORMAT_PTF;
    const std::string_view lp = first_word(bytes, "\\");
    for (const char* keyword : {"minimize", "maximize", "minimise", "maximise", "minimum", "maximum", "min", "max"})
        if (equals_nocase(lp, keyword)) return VLT_DATA_FORMAT_LP;
    return VLT_DATA_FORMAT_EXTENSION;
}

namespace {

const DataFormat& readable(int32_t code) {
    const DataFormat& f = data_format(code);
    if (!f.read) fail(VLT_RES_ERR_NOT_IMPLEMENTED, std::string("Reading ") + f.name + " files is not implemented in this version");
    return f;
}

const DataFormat& writable(int32_t code) {
    const DataFormat& f = data_format(code);
    if (!f.write) fail(VLT_RES_ERR_NOT_IMPLEMENTED, std::string("Writing ") + f.name + " files is not implemented in this version");
    return f;
}

}  // namespace

void read_data_file(Task& task, const std::string& path, int32_t format, int32_t compress) {
    check_compress_code(compress);
    if (format != VLT_DATA_FORMAT_EXTENSION) data_format(format);  // a bad code fails before the file is read
    const InputBytes input = read_input_file(path, compress);
    if (format == VLT_DATA_FORMAT_EXTENSION) format = format_from_name(path);
    if (format == VLT_DATA_FORMAT_EXTENSION) format = format_from_content(input.bytes());
    if (format == VLT_DATA_FORMAT_EXTENSION)
        fail(VLT_RES_ERR_UNKNOWN_FORMAT,
             "The format of '" + path + "' cannot be told from its name or its content; give it explicitly");
    readable(format).read(task, input.bytes(), path);
}

void read_data_text(Task& task, std::string_view text, int32_t format) {
    readable(format).read(task, text, "string");
}

void write_data(const Task& task, Sink& out, int32_t format, int32_t compress, std::string_view name) {
    const DataFormat& f = writable(format);
    std::unique_ptr<Sink> sink = compressing_sink(compression_for_write(compress, name), out);
    BufferedSink buffered(*sink);
    f.write(task, buffered);
    buffered.finish();
}

void write_data_file(const Task& task, const std::string& path, int32_t format, int32_t compress) {
    check_compress_code(compress);
    if (format == VLT_DATA_FORMAT_EXTENSION) format = format_from_name(path);
    if (format == VLT_DATA_FORMAT_EXTENSION)
        fail(VLT_RES_ERR_UNKNOWN_FORMAT, "The format of '" + path + "' cannot be told from its name; give it explicitly");
    writable(format);  // before the file is made
    FileSink file(path);
    write_data(task, file, format, compress, path);
}

}  // namespace vlt::io
