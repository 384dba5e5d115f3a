#include "io/own_formats.hpp"

#include "base/error.hpp"
#include "io/lp_format.hpp"
#include "io/record_sections.hpp"
#include "io/solution_files.hpp"
#include "io/task_files.hpp"
#include "io/text_fields.hpp"
#include "io/text_output.hpp"

namespace vlt::io {

namespace {

bool on(const Task& task, VLTiparam_enum p) { return task.params[p] == VLT_ONOFF_ON; }

RecordOptions record_options(const Task& task, VLTiparam_enum parameters, VLTiparam_enum solutions) {
    RecordOptions o;
    o.digits = task.params[VLT_IPAR_WRITE_PRECISION];
    o.parameters = on(task, parameters);
    o.solutions = on(task, solutions);
    return o;
}

void install_read(Task& task, TaskImage& image, const std::vector<std::string>& warnings, const std::string& source,
                  VLTrescodee code) {
    install(task, image, true, source, code);
    for (const std::string& w : warnings) task.streams.emit(VLT_STREAM_WRN, "Warning: " + w + "\n");
}

}  // namespace

void read_ptf_task(Task& task, std::string_view bytes, const std::string& source) {
    TaskImage image;
    image.truncate_tol = task.problem.truncate_tol();
    RecordReader reader(image, source, VLT_RES_ERR_PTF_FORMAT);
    reader.read(bytes, 1, true);
    install_read(task, image, reader.warnings, source, VLT_RES_ERR_PTF_FORMAT);
}

void write_ptf_task(const Task& task, Sink& out) {
    const RecordOptions o = record_options(task, VLT_IPAR_PTF_WRITE_PARAMETERS, VLT_IPAR_PTF_WRITE_SOLUTIONS);
    const TaskImage image = capture_task(task, ParamSelection::changed, o.solutions);
    out.write("PTF 1\n# velto plain task format\n");
    RecordWriter w(image, o, out);
    w.write_problem_core();
    w.write_conic();
    w.write_parameters();
    w.write_solutions(objective_values_of(task.problem, image));
    out.write("END\n");
}

void read_opf_task(Task& task, std::string_view bytes, const std::string& source) {
    std::vector<std::string> warnings;
    size_t rest = 0;
    int64_t rest_line = 0;
    TaskImage image = read_lp(bytes, source, warnings, &rest, &rest_line, VLT_RES_ERR_OPF_FORMAT);
    image.truncate_tol = task.problem.truncate_tol();
    RecordReader reader(image, source, VLT_RES_ERR_OPF_FORMAT);
    reader.vars = References::given(image.varname);
    reader.cons = References::from_names({}, image.numcon);  // "@i" in the record sections
    reader.read(bytes.substr(rest), rest_line, false);
    warnings.insert(warnings.end(), reader.warnings.begin(), reader.warnings.end());
    install_read(task, image, warnings, source, VLT_RES_ERR_OPF_FORMAT);
}

void write_opf_task(const Task& task, Sink& out) {
    const RecordOptions o = record_options(task, VLT_IPAR_OPF_WRITE_PARAMETERS, VLT_IPAR_OPF_WRITE_SOLUTIONS);
    const TaskImage image = capture_task(task, ParamSelection::changed, o.solutions);
    if (on(task, VLT_IPAR_OPF_WRITE_HEADER))
        out.write(std::string(kOpfHeader) + "\n");
    LpWriteOptions lp;
    lp.digits = o.digits;
    lp.line_width = task.params[VLT_IPAR_WRITE_LP_LINE_WIDTH];
    lp.conic_elsewhere = true;
    const LpNames names = write_lp(image, lp, out);
    RecordWriter w(image, o, out);
    w.vars = References::given(names.vars);
    w.cons = References::from_names({}, image.numcon);
    w.write_names(w.vars, References::given(names.rows));
    out.write("TRUNCATION " + format_number(image.truncate_tol, 17) + "\n");
    if (!image.taskname.empty()) out.write("TASK " + quoted_field(image.taskname) + "\n");  // any name, exactly
    w.write_conic();
    w.write_parameters();
    w.write_solutions(objective_values_of(task.problem, image));
}

}  // namespace vlt::io
