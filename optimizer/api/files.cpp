// Entry points that read data files into a task and write tasks into files
// and streams.
#include <chrono>
#include <string>

#include "api/impl.hpp"
#include "io/byte_stream.hpp"
#include "io/compression.hpp"
#include "io/formats.hpp"
#include "io/solution_files.hpp"
#include "io/task_files.hpp"
#include "params/param_file.hpp"

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

// The report of readsummary on what a read brought into the task.
std::string summary_of(const Task& task, const std::string& source, double seconds) {
    const model::Problem& p = task.problem;
    auto row = [](const char* what, const std::string& value) {
        std::string line = "  ";
        line += what;
        line.resize(28, ' ');
        return line + ": " + value + "\n";
    };
    std::string out = "Read summary\n";
    out += row("File", source);
    out += row("Task name", p.names().task.empty() ? "(none)" : p.names().task);
    out += row("Objective sense", p.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "maximize" : "minimize");
    out += row("Constraints", std::to_string(p.num_con()));
    out += row("Variables", std::to_string(p.num_var()));
    out += row("Integer variables", std::to_string(p.num_int_var()));
    out += row("Matrix non-zeros", std::to_string(p.nnz()));
    out += row("Quadratic objective terms", std::to_string(p.num_qobj_nz()));
    out += row("Quadratic constraint terms", std::to_string(p.quadratic_constraints().total_nnz()));
    out += row("Cones", std::to_string(p.var_cones().num_cone()));
    out += row("Affine expressions", std::to_string(p.affine().num_afe()));
    out += row("Affine conic constraints", std::to_string(p.conic().num_acc()));
    out += row("Disjunctive constraints", std::to_string(p.disjunctive().num_djc()));
    int32_t solutions = 0;
    for (int32_t k = 0; k < model::kNumSolutions; ++k) solutions += task.solutions.defined(k);
    out += row("Solutions", std::to_string(solutions));
    out += row("Time", std::to_string(seconds) + " s");
    return out;
}

void read_file(Task& task, const char* filename, int32_t format, int32_t compress) {
    checked(filename, "filename");
    timed(task, true, [&] { io::read_data_file(task, filename, format, compress); });
    task.read_summary = summary_of(task, filename, task.info[VLT_DINF_READ_DATA_TIME]);
}

void read_text(Task& task, const char* data, int32_t format) {
    checked(data, "data");
    timed(task, true, [&] { io::read_data_text(task, data, format); });
    task.read_summary = summary_of(task, "(a string)", task.info[VLT_DINF_READ_DATA_TIME]);
}

void check_stream(int32_t whichstream) {
    if (!MessageStreams::valid(whichstream))
        fail(VLT_RES_ERR_INVALID_STREAM, "Argument whichstream = " + std::to_string(whichstream) + " is not a stream (expected 0 to 3)");
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

void impl::readsummary(Task& task, int32_t whichstream) {
    check_stream(whichstream);
    task.streams.emit(whichstream, task.read_summary.empty() ? "No data file has been read into this task.\n"
                                                               : task.read_summary);
}

// ------------------------------------------------------------ parameters

void impl::readparamfile(Task& task, const char* filename) {
    checked(filename, "filename");
    const io::InputBytes input = io::read_input_file(filename, VLT_COMPRESS_FREE);
    for (const std::string& w : params::read_params(input.bytes(), task.params, filename))
        task.streams.emit(VLT_STREAM_WRN, "Warning: " + w + "\n");
}

void impl::writeparamfile(Task& task, const char* filename) {
    checked(filename, "filename");
    io::FileSink file(filename);
    std::unique_ptr<io::Sink> out = io::compressing_sink(io::compression_for_write(VLT_COMPRESS_FREE, filename), file);
    out->write(params::write_params(task.params));
    out->finish();
}

// ------------------------------------------------------------- solutions

void impl::writesolution(Task& task, int32_t whichsol, const char* filename) {
    io::write_solution_file(task, whichsol, checked(filename, "filename"));
}
void impl::writesolutionfile(Task& task, const char* filename) {
    io::write_solution_file(task, -1, checked(filename, "filename"));
}
void impl::readsolution(Task& task, int32_t whichsol, const char* filename) {
    io::read_solution_file(task, whichsol, checked(filename, "filename"));
}
void impl::readsolutionfile(Task& task, const char* filename) {
    io::read_solution_file(task, -1, checked(filename, "filename"));
}
void impl::writejsonsol(Task& task, const char* filename) {
    io::write_json_solution_file(task, checked(filename, "filename"));
}
void impl::readjsonsol(Task& task, const char* filename) {
    io::read_json_solution_file(task, checked(filename, "filename"));
}
void impl::writebsolution(Task& task, const char* filename, int32_t compress) {
    io::check_compress_code(compress);
    io::write_binary_solution_file(task, checked(filename, "filename"), compress);
}
void impl::readbsolution(Task& task, const char* filename, int32_t compress) {
    io::read_binary_solution_file(task, checked(filename, "filename"), compress);
}

}  // namespace vlt
