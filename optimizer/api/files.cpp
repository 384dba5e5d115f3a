// Entry points that read data files into a task and write tasks into files
// and streams.
#include <chrono>
#include <string>

#include "api/impl.hpp"
#include "io/byte_stream.hpp"
#include "io/formats.hpp"
#include "io/task_files.hpp"

namespace vlt {
namespace {

const char* checked(const char* text, const char* argument) {
    if (!text) fail(VLT_RES_ERR_NULL_POINTER, std::string("Argument ") + argument + " is null");
    return text;
}

// Runs a read or a write between the progress events that frame it and
// records its time in the information item.
template <class Body>
void timed(Task& task, bool reading, Body&& body) {
    const auto start = std::chrono::steady_clock::now();
    task.progress(reading ? VLT_CALLBACK_BEGIN_READ : VLT_CALLBACK_BEGIN_WRITE, task.info.d, task.info.i, task.info.l);
    body();
    task.info[reading ? VLT_DINF_READ_DATA_TIME : VLT_DINF_WRITE_DATA_TIME] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    task.progress(reading ? VLT_CALLBACK_END_READ : VLT_CALLBACK_END_WRITE, task.info.d, task.info.i, task.info.l);
}

void read_file(Task& task, const char* filename, int32_t format, int32_t compress) {
    checked(filename, "filename");
    timed(task, true, [&] { io::read_data_file(task, filename, format, compress); });
}

void read_text(Task& task, const char* data, int32_t format) {
    checked(data, "data");
    timed(task, true, [&] { io::read_data_text(task, data, format); });
}

}  // namespace

void impl::readdataautoformat(Task& task, const char* filename) {
    read_file(task, filename, VLT_DATA_FORMAT_EXTENSION, VLT_COMPRESS_FREE);
}

void impl::readdataformat(Task& task, const char* filename, int32_t format, int32_t compress) {
    read_file(task, filename, format, compress);
}

void impl::readtask(Task& task, const char* filename) { read_file(task, filename, VLT_DATA_FORMAT_TASK, VLT_COMPRESS_FREE); }

void impl::readopfstring(Task& task, const char* data) { read_text(task, data, VLT_DATA_FORMAT_OPF); }
void impl::readlpstring(Task& task, const char* data) { read_text(task, data, VLT_DATA_FORMAT_LP); }
void impl::readjsonstring(Task& task, const char* data) { read_text(task, data, VLT_DATA_FORMAT_JSON_TASK); }
void impl::readptfstring(Task& task, const char* data) { read_text(task, data, VLT_DATA_FORMAT_PTF); }

void impl::writedata(Task& task, const char* filename) {
    checked(filename, "filename");
    timed(task, false, [&] {
        io::write_data_file(task, filename, task.params[VLT_IPAR_WRITE_DATA_FORMAT], task.params[VLT_IPAR_WRITE_COMPRESSION]);
    });
}

void impl::writetask(Task& task, const char* filename) {
    checked(filename, "filename");
    timed(task, false, [&] { io::write_data_file(task, filename, VLT_DATA_FORMAT_TASK, VLT_COMPRESS_FREE); });
}

// A stream has no name to tell its format from: VLT_DATA_FORMAT_EXTENSION
// takes the task's VLT_IPAR_WRITE_DATA_FORMAT, and when that says the same,
// PTF, the text format that holds every kind of task data.
void impl::writedatahandle(Task& task, VLThwritefunc func, void* handle, int32_t format, int32_t compress) {
    if (!func) fail(VLT_RES_ERR_NULL_POINTER, "Argument func is null");
    if (format == VLT_DATA_FORMAT_EXTENSION) format = task.params[VLT_IPAR_WRITE_DATA_FORMAT];
    if (format == VLT_DATA_FORMAT_EXTENSION) format = VLT_DATA_FORMAT_PTF;
    timed(task, false, [&] {
        io::HandleSink out(func, handle);
        io::write_data(task, out, format, compress);
    });
}

}  // namespace vlt
