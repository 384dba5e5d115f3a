#include "io/solution_files.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "base/error.hpp"
#include "io/compression.hpp"
#include "io/enum_text.hpp"
#include "io/json_format.hpp"
#include "io/task_binary.hpp"
#include "io/task_files.hpp"
#include "io/text_fields.hpp"
#include "io/text_output.hpp"
#include "model/semidefinite.hpp"

namespace vlt::io {

namespace {

std::string exact(double v) { return format_number(v, 17); }

const char* const kTables[] = {"CONSTRAINTS", "VARIABLES", "CONES", "ACC_DUALS", "SEMIDEFINITE"};
enum Table { kCons, kVars, kCones, kAccDuals, kBarvars, kNoTable };

const std::string& name_or_empty(const std::vector<std::string>& names, size_t k) {
    static const std::string empty;
    return names.empty() ? empty : names[k];
}

void write_one(const TaskImage& im, int32_t which, double primal, double dual, const SolutionTextOptions& o, Sink& out) {
    const model::Solution& s = im.solutions[size_t(which)];
    auto line = [&](const std::string& text) { out.write(text + "\n"); };
    line(std::string("SOLUTION ") + code_name(Codes::solution_type, which));
    line(std::string("PROBLEM_STATUS ") + code_name(Codes::problem_status, s.prosta));
    line(std::string("SOLUTION_STATUS ") + code_name(Codes::solution_status, s.solsta));
    line("OBJECTIVE " + exact(primal) + " " + exact(dual));
    using model::Solution;
    const auto& v = s.values;
    if (o.constraints) {
        line("CONSTRAINTS");
        line("# index name status activity lower_dual upper_dual dual");
        for (int32_t i = 0; i < im.numcon; ++i)
            line(std::to_string(i) + " " + quoted_field(name_or_empty(im.conname, size_t(i))) + " " +
                 code_name(Codes::status_key, s.skc[size_t(i)]) + " " + exact(v[VLT_SOL_ITEM_XC][size_t(i)]) + " " +
                 exact(v[VLT_SOL_ITEM_SLC][size_t(i)]) + " " + exact(v[VLT_SOL_ITEM_SUC][size_t(i)]) + " " +
                 exact(v[VLT_SOL_ITEM_Y][size_t(i)]));
    }
    if (o.variables) {
        line("VARIABLES");
        line("# index name status value lower_dual upper_dual cone_dual");
        for (int32_t j = 0; j < im.numvar; ++j)
            line(std::to_string(j) + " " + quoted_field(name_or_empty(im.varname, size_t(j))) + " " +
                 code_name(Codes::status_key, s.skx[size_t(j)]) + " " + exact(v[VLT_SOL_ITEM_XX][size_t(j)]) + " " +
                 exact(v[VLT_SOL_ITEM_SLX][size_t(j)]) + " " + exact(v[VLT_SOL_ITEM_SUX][size_t(j)]) + " " +
                 exact(v[VLT_SOL_ITEM_SNX][size_t(j)]));
        if (!s.skn.empty()) {
            line("CONES");
            for (size_t k = 0; k < s.skn.size(); ++k) line(std::to_string(k) + " " + code_name(Codes::status_key, s.skn[k]));
        }
        if (!s.doty.empty()) {
            line("ACC_DUALS");
            for (size_t r = 0; r < s.doty.size(); ++r) line(std::to_string(r) + " " + exact(s.doty[r]));
        }
    }
    if (o.barvars && !s.barx.empty()) {
        line("SEMIDEFINITE");
        line("# variable entry value dual (lower triangles by columns)");
        for (size_t j = 0; j < s.barx.size(); ++j)
            for (size_t k = 0; k < s.barx[j].size(); ++k)
                line(std::to_string(j) + " " + std::to_string(k) + " " + exact(s.barx[j][k]) + " " + exact(s.bars[j][k]));
    }
    line("END");
}

class TextReader {
public:
    TextReader(const std::string& source, const model::SolutionSizes& sizes) : source_(source), sizes_(sizes) {
        bar_start_.push_back(0);
        for (int32_t j = 0; j < sizes.numbarvar(); ++j)
            bar_start_.push_back(bar_start_.back() + model::packed_length((*sizes.barvar_dims)[size_t(j)]));
    }

    std::array<model::Solution, model::kNumSolutions> run(std::string_view text) {
        for_each_line(text, [&](std::string_view l, int64_t n) { line(l, n); });
        if (current_ >= 0) fail_line(last_line_ + 1, "the file ends inside a solution (no END)");
        return out_;
    }

private:
    [[noreturn]] void fail_line(int64_t line, const std::string& why) const {
        fail(VLT_RES_ERR_FILE_FORMAT, source_ + ":" + std::to_string(line) + ": " + why);
    }
    size_t table_size(Table t) const {
        switch (t) {
            case kCons: return size_t(sizes_.numcon);
            case kVars: return size_t(sizes_.numvar);
            case kCones: return size_t(sizes_.numcone);
            case kBarvars: return size_t(bar_start_.back());
            default: return size_t(sizes_.numaccrows);
        }
    }
    int32_t code(Codes set, const std::string& text, int64_t n) const {
        const std::optional<int32_t> c = code_of(set, text);
        if (!c) fail_line(n, "'" + text + "' is not a known name here");
        return *c;
    }
    double number(const std::string& text, int64_t n) const {
        double v;
        if (!parse_double(text, v) || !std::isfinite(v)) fail_line(n, "bad number '" + text + "'");
        return v;
    }

    void start(const std::string& kind, int64_t n) {
        if (current_ >= 0) fail_line(n, "a SOLUTION inside another (no END)");
        current_ = code(Codes::solution_type, kind, n);
        model::Solution& s = out_[size_t(current_)];
        if (s.defined) fail_line(n, "the " + kind + " solution is given twice");
        s.defined = true;
        s.skc.assign(size_t(sizes_.numcon), VLT_SK_UNK);
        s.skx.assign(size_t(sizes_.numvar), VLT_SK_UNK);
        s.skn.assign(size_t(sizes_.numcone), VLT_SK_UNK);
        for (int32_t item = 0; item < model::kNumSolutionItems; ++item)
            s.values[size_t(item)].assign(model::is_con_item(item) ? size_t(sizes_.numcon) : size_t(sizes_.numvar), 0.0);
        s.doty.assign(size_t(sizes_.numaccrows), 0.0);
        for (int32_t j = 0; j < sizes_.numbarvar(); ++j) {
            s.barx.emplace_back(size_t(bar_start_[size_t(j) + 1] - bar_start_[size_t(j)]), 0.0);
            s.bars.push_back(s.barx.back());
        }
        for (auto& seen : seen_) seen.clear();
        table_ = kNoTable;
    }

    void finish_table(int64_t n) {
        if (table_ == kNoTable) return;
        if (rows_ != table_size(table_))
            fail_line(n, std::string(kTables[table_]) + " lists " + std::to_string(rows_) + " of " +
                             std::to_string(table_size(table_)) + " items");
        table_ = kNoTable;
    }

    void row(const std::vector<std::string>& f, int64_t n) {
        static const size_t kFields[] = {7, 7, 2, 2, 4};
        if (f.size() != kFields[table_])
            fail_line(n, std::string("a ") + kTables[table_] + " line has " + std::to_string(kFields[table_]) + " fields");
        int64_t index;
        if (table_ == kBarvars) {
            index = bar_index(f[0], f[1], n);
        } else if (!parse_int64(f[0], index) || index < 0 || size_t(index) >= table_size(table_)) {
            fail_line(n, "bad index '" + f[0] + "' (" + std::to_string(table_size(table_)) + " items)");
        }
        std::vector<char>& seen = seen_[table_];
        seen.resize(table_size(table_), 0);
        if (seen[size_t(index)]) fail_line(n, "item " + f[0] + " is listed twice");
        seen[size_t(index)] = 1;
        ++rows_;
        model::Solution& s = out_[size_t(current_)];
        const size_t k = size_t(index);
        auto& v = s.values;
        switch (table_) {
            case kCons:
                s.skc[k] = code(Codes::status_key, f[2], n);
                v[VLT_SOL_ITEM_XC][k] = number(f[3], n);
                v[VLT_SOL_ITEM_SLC][k] = number(f[4], n);
                v[VLT_SOL_ITEM_SUC][k] = number(f[5], n);
                v[VLT_SOL_ITEM_Y][k] = number(f[6], n);
                break;
            case kVars:
                s.skx[k] = code(Codes::status_key, f[2], n);
                v[VLT_SOL_ITEM_XX][k] = number(f[3], n);
                v[VLT_SOL_ITEM_SLX][k] = number(f[4], n);
                v[VLT_SOL_ITEM_SUX][k] = number(f[5], n);
                v[VLT_SOL_ITEM_SNX][k] = number(f[6], n);
                break;
            case kCones: s.skn[k] = code(Codes::status_key, f[1], n); break;
            case kBarvars: {
                const size_t j = size_t(std::upper_bound(bar_start_.begin(), bar_start_.end(), index) - bar_start_.begin() - 1);
                s.barx[j][k - size_t(bar_start_[j])] = number(f[2], n);
                s.bars[j][k - size_t(bar_start_[j])] = number(f[3], n);
                break;
            }
            default: s.doty[k] = number(f[1], n); break;
        }
    }

    // The position of entry `entry` of semidefinite variable `var` among
    // the entries of all of them.
    int64_t bar_index(const std::string& var, const std::string& entry, int64_t n) const {
        int64_t j, k;
        if (!parse_int64(var, j) || j < 0 || j >= sizes_.numbarvar())
            fail_line(n, "bad semidefinite variable '" + var + "' (" + std::to_string(sizes_.numbarvar()) + " of them)");
        const int64_t length = bar_start_[size_t(j) + 1] - bar_start_[size_t(j)];
        if (!parse_int64(entry, k) || k < 0 || k >= length)
            fail_line(n, "bad entry '" + entry + "' (" + std::to_string(length) + " in the lower triangle)");
        return bar_start_[size_t(j)] + k;
    }

    void line(std::string_view text, int64_t n) {
        last_line_ = n;
        std::vector<std::string> f;
        std::string why;
        if (!split_fields(text, f, why)) fail_line(n, why);
        if (f.empty() || f[0][0] == '#') return;
        const std::string& key = f[0];
        if (key == "SOLUTION") {
            if (f.size() != 2) fail_line(n, "SOLUTION takes the solution's kind (ITR, BAS or ITG)");
            start(f[1], n);
            return;
        }
        if (current_ < 0) fail_line(n, "expected SOLUTION, found '" + key + "'");
        model::Solution& s = out_[size_t(current_)];
        if (key == "PROBLEM_STATUS" || key == "SOLUTION_STATUS" || key == "OBJECTIVE") {
            finish_table(n);
            if (key == "OBJECTIVE") return;  // information only: computed from the values
            if (f.size() != 2) fail_line(n, key + " takes one status");
            if (key == "PROBLEM_STATUS") s.prosta = code(Codes::problem_status, f[1], n);
            else s.solsta = code(Codes::solution_status, f[1], n);
            return;
        }
        for (int t = kCons; t < kNoTable; ++t)
            if (key == kTables[t]) {
                finish_table(n);
                if (!seen_[t].empty()) fail_line(n, key + " is given twice");
                table_ = Table(t);
                seen_[t].assign(table_size(table_), 0);
                rows_ = 0;
                return;
            }
        if (key == "END") {
            finish_table(n);
            current_ = -1;
            return;
        }
        if (table_ == kNoTable) fail_line(n, "unexpected '" + key + "'");
        row(f, n);
    }

    const std::string& source_;
    const model::SolutionSizes sizes_;
    std::array<model::Solution, model::kNumSolutions> out_;
    int32_t current_ = -1;
    Table table_ = kNoTable;
    size_t rows_ = 0;
    std::array<std::vector<char>, kNoTable> seen_;
    int64_t last_line_ = 0;
    std::vector<int64_t> bar_start_;  // first entry of each semidefinite variable, and the total
};

bool ends_with(const std::string& s, std::string_view suffix) {
    const std::string_view name = without_compression_extension(s);
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

// The task's solutions (and the names the text format shows) as an image.
TaskImage solutions_image(const Task& task) { return capture_task(task, ParamSelection::changed, true); }


void write_file(const std::string& path, int32_t compress, const std::function<void(Sink&)>& body) {
    FileSink file(path);
    std::unique_ptr<Sink> sink = compressing_sink(compression_for_write(compress, path), file);
    BufferedSink out(*sink);
    body(out);
    out.finish();
}

// The solutions of an image into the task: those of `which` (-1: all the
// image holds) replace the task's, checked against its problem first.
void install_solutions(Task& task, const TaskImage& image, int32_t which, const std::string& source) {
    TaskImage chosen;
    for (int32_t k = 0; k < model::kNumSolutions; ++k)
        if (which < 0 || k == which) chosen.solutions[size_t(k)] = image.solutions[size_t(k)];
    if (which >= 0 && !chosen.solutions[size_t(which)].defined)
        fail(VLT_RES_ERR_FILE_FORMAT, source + ": the file holds no " + code_name(Codes::solution_type, which) + " solution");
    model::Solutions solutions = task.solutions;
    build_solutions(chosen, task.problem, solutions, source, VLT_RES_ERR_FILE_FORMAT);
    task.solutions = std::move(solutions);
}

void check_selector(int32_t which) {
    if (which >= 0) model::Solutions::check_selector(which);
}

void require_defined(Task& task, int32_t which) {
    if (which >= 0 && !task.solutions.defined(which))
        fail(VLT_RES_ERR_SOL_UNDEFINED, std::string("The ") + code_name(Codes::solution_type, which) +
                                            " solution is not defined; there is nothing to write");
}

}  // namespace

std::array<double, 6> objective_values_of(const model::Problem& problem, const TaskImage& image) {
    std::array<double, 6> out{};
    for (int32_t which = 0; which < model::kNumSolutions; ++which) {
        const model::Solution& s = image.solutions[size_t(which)];
        if (!s.defined) continue;
        const model::ObjectiveValues v = model::objective_values(problem, s, which);
        out[size_t(2 * which)] = s.reported_primal_obj.value_or(v.primal);
        out[size_t(2 * which + 1)] = s.reported_dual_obj.value_or(v.dual);
    }
    return out;
}

void write_solutions_text(const TaskImage& image, int32_t which, const std::array<double, 6>& objectives,
                          const SolutionTextOptions& options, Sink& out) {
    if (options.head) {
        out.write("# velto solution file\n");
        if (!image.taskname.empty()) out.write("# task " + quoted_field(image.taskname) + "\n");
        out.write("# " + std::to_string(image.numcon) + " constraints, " + std::to_string(image.numvar) + " variables\n");
    }
    for (int32_t k = 0; k < model::kNumSolutions; ++k)
        if ((which < 0 || k == which) && image.solutions[size_t(k)].defined)
            write_one(image, k, objectives[size_t(2 * k)], objectives[size_t(2 * k + 1)], options, out);
}

std::array<model::Solution, model::kNumSolutions> read_solutions_text(std::string_view text, const std::string& source,
                                                                      const model::SolutionSizes& sizes) {
    return TextReader(source, sizes).run(text);
}

void write_solution_file(Task& task, int32_t which, const std::string& path) {
    check_selector(which);
    require_defined(task, which);
    TaskImage image = solutions_image(task);
    if (which >= 0)
        for (int32_t k = 0; k < model::kNumSolutions; ++k)
            if (k != which) image.solutions[size_t(k)].defined = false;
    if (ends_with(path, ".bsol")) {
        write_file(path, VLT_COMPRESS_FREE, [&](Sink& out) { write_solutions_binary(image, out); });
    } else if (ends_with(path, ".json")) {
        write_file(path, VLT_COMPRESS_FREE, [&](Sink& out) { write_json_solutions(image, out); });
    } else {
        SolutionTextOptions o;
        o.head = task.params[VLT_IPAR_WRITE_SOL_HEAD] == VLT_ONOFF_ON;
        o.constraints = task.params[VLT_IPAR_WRITE_SOL_CONSTRAINTS] == VLT_ONOFF_ON;
        o.variables = task.params[VLT_IPAR_WRITE_SOL_VARIABLES] == VLT_ONOFF_ON;
        o.barvars = task.params[VLT_IPAR_WRITE_SOL_BARVARIABLES] == VLT_ONOFF_ON;
        const std::array<double, 6> objectives = objective_values_of(task.problem, image);
        write_file(path, VLT_COMPRESS_FREE, [&](Sink& out) { write_solutions_text(image, which, objectives, o, out); });
    }
}

void read_solution_file(Task& task, int32_t which, const std::string& path) {
    check_selector(which);
    const InputBytes input = read_input_file(path, VLT_COMPRESS_FREE);
    const std::string_view bytes = input.bytes();
    TaskImage image;
    if (looks_like_solution_binary(bytes)) {
        image = read_solutions_binary(bytes, path);
    } else if (looks_like_task_binary(bytes)) {
        image = read_task_binary(bytes, path);
    } else if (const size_t b = bytes.find_first_not_of(" \t\r\n"); b != std::string_view::npos && bytes[b] == '{') {
        read_json_solutions(bytes, path, image);
    } else {
        image.solutions = read_solutions_text(bytes, path, model::solution_sizes(task.problem));
    }
    install_solutions(task, image, which, path);
}

void write_json_solution_file(Task& task, const std::string& path) {
    const TaskImage image = solutions_image(task);
    write_file(path, VLT_COMPRESS_FREE, [&](Sink& out) { write_json_solutions(image, out); });
}

void read_json_solution_file(Task& task, const std::string& path) {
    const InputBytes input = read_input_file(path, VLT_COMPRESS_FREE);
    TaskImage image;
    read_json_solutions(input.bytes(), path, image);
    install_solutions(task, image, -1, path);
}

void write_binary_solution_file(Task& task, const std::string& path, int32_t compress) {
    const TaskImage image = solutions_image(task);
    write_file(path, compress, [&](Sink& out) { write_solutions_binary(image, out); });
}

void read_binary_solution_file(Task& task, const std::string& path, int32_t compress) {
    const InputBytes input = read_input_file(path, compress);
    install_solutions(task, read_solutions_binary(input.bytes(), path), -1, path);
}

}  // namespace vlt::io
