#include "io/task_files.hpp"

#include <utility>

#include "io/compression.hpp"
#include "io/task_binary.hpp"

namespace vlt::io {

TaskImage capture_task(const Task& task, ParamSelection params, bool with_solutions) {
    static const model::Solutions none;
    return capture(task.problem, with_solutions ? task.solutions : none, task.params, params);
}

void install(Task& task, const TaskImage& image, bool take_params, const std::string& source,
             VLTrescodee error_code) {
    BuiltTask built = build(image, task.params, source, error_code);
    task.problem = std::move(built.problem);
    task.solutions = std::move(built.solutions);
    if (take_params) task.params = std::move(built.params);
    for (const std::string& w : built.warnings) task.streams.emit(VLT_STREAM_WRN, "Warning: " + w + "\n");
}

namespace {

bool includes_solutions(const Task& task) { return task.params[VLT_IPAR_WRITE_TASK_INC_SOL] == VLT_ONOFF_ON; }
bool takes_params(const Task& task) { return task.params[VLT_IPAR_READ_TASK_IGNORE_PARAM] == VLT_ONOFF_OFF; }

}  // namespace

void read_task_file(Task& task, const std::string& path, int32_t compress) {
    const InputBytes input = read_input_file(path, compress);
    install(task, read_task_binary(input.bytes(), path), takes_params(task), path, VLT_RES_ERR_FILE_FORMAT);
}

void write_task_file(const Task& task, const std::string& path, int32_t compress) {
    const TaskImage image = capture_task(task, ParamSelection::all, includes_solutions(task));
    FileSink file(path);
    std::unique_ptr<Sink> out = compressing_sink(compression_for_write(compress, path), file);
    write_task_binary(image, *out);
    out->finish();
}

std::string task_to_bytes(const Task& task) {
    return task_binary_bytes(capture_task(task, ParamSelection::all, includes_solutions(task)));
}

void task_from_bytes(Task& task, std::string_view bytes, const std::string& source) {
    install(task, read_task_binary(bytes, source), takes_params(task), source, VLT_RES_ERR_FILE_FORMAT);
}

}  // namespace vlt::io
