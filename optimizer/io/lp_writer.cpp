#include <cmath>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "io/lp_format.hpp"
#include "io/task_files.hpp"
#include "io/text_output.hpp"
#include "model/names.hpp"

namespace vlt::io {

namespace {

const char* lp_name_problem(std::string_view name) { return model::item_name_violation(name, VLT_NAME_TYPE_LP); }

// Lines of terms, broken before a term that would pass the width.
class TermLine {
public:
    TermLine(Sink& out, int width) : out_(out), width_(size_t(width)) {}
    void start(std::string head) {
        line_ = std::move(head);
        fresh_ = true;
    }
    void add(const std::string& term) {
        if (!fresh_ && line_.size() + 1 + term.size() > width_) {
            line_ += '\n';
            out_.write(line_);
            line_ = "   ";
        }
        line_ += ' ';
        line_ += term;
        fresh_ = false;
    }
    void finish() {
        line_ += '\n';
        out_.write(line_);
        line_.clear();
    }

private:
    Sink& out_;
    size_t width_;
    std::string line_;
    bool fresh_ = true;
};

class Writer {
public:
    Writer(const TaskImage& im, const LpWriteOptions& o, Sink& out) : im_(im), o_(o), out_(out), line_(out, o.line_width) {}

    LpNames run() {
        if (!o_.conic_elsewhere) check_compatible();
        // A prefix that does not make valid names ("" or "1a") gives way to "x".
        const std::string prefix = lp_name_problem(o_.variable_prefix + "0") ? "x" : o_.variable_prefix;
        vars_ = NameTable(lp_name_problem, o_.generic_names).assign(im_.varname, im_.numvar, prefix.c_str(), "variable");
        NameTable row_names(lp_name_problem, o_.generic_names);
        rows_ = row_names.assign(im_.conname, im_.numcon, "c", "constraint", true);
        // A row without terms is written "c: 0 >= 1"; without its name, or
        // the next row's, the reader could not tell where it ends.
        std::vector<char> has_terms(size_t(im_.numcon), 0);
        for (int32_t i : im_.asub) has_terms[size_t(i)] = 1;
        for (int32_t k : im_.qcsubk) has_terms[size_t(k)] = 1;
        for (int32_t i = 0; i < im_.numcon; ++i)
            if (rows_[size_t(i)].empty() && (!has_terms[size_t(i)] || (i > 0 && !has_terms[size_t(i) - 1])))
                rows_[size_t(i)] = row_names.assign_one("", ("c" + std::to_string(i)).c_str(), "constraint");
        if (!im_.taskname.empty() && !model::task_name_violation(im_.taskname, VLT_NAME_TYPE_LP))
            out_.write("\\ Problem name: " + im_.taskname + "\n");
        out_.write(im_.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "maximize\n" : "minimize\n");
        write_objective();
        out_.write("subject to\n");
        write_rows();
        write_bounds();
        write_integers();
        out_.write("end\n");
        return {vars_, rows_};
    }

private:
    void check_compatible() const {
        const bool conic = im_.num_cone() > 0 || im_.num_afe() > 0 || im_.num_domain() > 0 || im_.num_acc() > 0 ||
                           im_.num_djc() > 0 || im_.num_barvar() > 0;
        if (conic && !o_.ignore_incompatible)
            fail(VLT_RES_ERR_WRITE_UNSUPPORTED,
                 "LP files cannot hold cones, affine expressions, affine conic or disjunctive constraints "
                 "or semidefinite variables "
                 "(VLT_IPAR_WRITE_IGNORE_INCOMPATIBLE_ITEMS leaves them out)");
    }

    std::string num(double v) const { return format_number(v, o_.digits); }
    std::string signed_num(double v) const { return (std::signbit(v) ? "- " : "+ ") + num(std::fabs(v)); }
    std::string term(double c, const std::string& what) const {
        if (c == 1.0) return "+ " + what;
        if (c == -1.0) return "- " + what;
        return signed_num(c) + " " + what;
    }

    // A quadratic part: [ ... ] (constraints, x'Px with P = Q/2) or
    // [ ... ] / 2 (the objective, x'Qx).
    void quadratic(const int32_t* subi, const int32_t* subj, const double* val, size_t n, bool halved) {
        if (n == 0) return;
        line_.add("+ [");
        for (size_t t = 0; t < n; ++t) {
            const bool diagonal = subi[t] == subj[t];
            const double c = halved ? (diagonal ? val[t] : 2 * val[t]) : (diagonal ? val[t] / 2 : val[t]);
            line_.add(term(c, diagonal ? vars_[size_t(subi[t])] + " ^ 2"
                                       : vars_[size_t(subi[t])] + " * " + vars_[size_t(subj[t])]));
        }
        line_.add(halved ? "] / 2" : "]");
    }

    void write_objective() {
        std::string head = " ";
        if (!im_.objname.empty()) {
            const bool valid = !lp_name_problem(im_.objname);
            if (valid || o_.generic_names) head += (valid ? im_.objname : std::string("obj")) + ":";
            else fail(VLT_RES_ERR_INVALID_NAME, "The objective name '" + im_.objname + "' " + lp_name_problem(im_.objname));
        }
        line_.start(head);
        used_.assign(size_t(im_.numvar), 0);
        for (int32_t j = 0; j < im_.numvar; ++j) {
            const double c = im_.c[size_t(j)];
            if (c == 0.0 && !std::signbit(c) && !o_.full_objective) continue;
            line_.add(term(c, vars_[size_t(j)]));
            used_[size_t(j)] = 1;
        }
        if (im_.cfix != 0.0 || std::signbit(im_.cfix)) line_.add(signed_num(im_.cfix));
        quadratic(im_.qosubi.data(), im_.qosubj.data(), im_.qoval.data(), im_.qoval.size(), true);
        line_.finish();
    }

    void write_rows() {
        // The rows of A: a counting sort of the columns' entries.
        std::vector<int64_t> start(size_t(im_.numcon) + 1, 0);
        for (int32_t i : im_.asub) ++start[size_t(i) + 1];
        for (size_t i = 0; i < size_t(im_.numcon); ++i) start[i + 1] += start[i];
        std::vector<int32_t> cols(im_.asub.size());
        std::vector<double> vals(im_.asub.size());
        std::vector<int64_t> fill(start.begin(), start.end() - 1);
        for (int32_t j = 0; j < im_.numvar; ++j)
            for (int64_t k = im_.aptr[size_t(j)]; k < im_.aptr[size_t(j) + 1]; ++k) {
                const int64_t at = fill[size_t(im_.asub[size_t(k)])]++;
                cols[size_t(at)] = j;
                vals[size_t(at)] = im_.aval[size_t(k)];
                used_[size_t(j)] = 1;
            }
        size_t q = 0;  // the next quadratic constraint term
        for (int32_t i = 0; i < im_.numcon; ++i) {
            const int32_t key = im_.bkc[size_t(i)];
            const double l = im_.blc[size_t(i)], u = im_.buc[size_t(i)];
            const size_t q_begin = q;
            while (q < im_.qcsubk.size() && im_.qcsubk[q] == i) ++q;
            // A row without terms is the constant 0: "c: 0 >= 1", and a free
            // one "c: -inf <= 0 <= +inf" (the reader takes both).
            const bool empty = start[size_t(i)] == start[size_t(i) + 1] && q == q_begin;
            std::string head = " ";
            if (!rows_[size_t(i)].empty()) head += rows_[size_t(i)] + ":";
            if (key == VLT_BK_RA) head += " " + num(l) + " <=";
            if (key == VLT_BK_FR && empty) head += " -inf <=";
            line_.start(head);
            for (int64_t k = start[size_t(i)]; k < start[size_t(i) + 1]; ++k)
                line_.add(term(vals[size_t(k)], vars_[size_t(cols[size_t(k)])]));
            if (empty) line_.add("0");
            quadratic(im_.qcsubi.data() + q_begin, im_.qcsubj.data() + q_begin, im_.qcval.data() + q_begin, q - q_begin,
                      false);
            switch (key) {
                case VLT_BK_UP: case VLT_BK_RA: line_.add("<= " + num(u)); break;
                case VLT_BK_LO: line_.add(">= " + num(l)); break;
                case VLT_BK_FX: line_.add("= " + num(l)); break;
                default: line_.add(empty ? "<= +inf" : ">= -inf"); break;
            }
            line_.finish();
        }
        for (size_t t = 0; t < im_.qoval.size(); ++t) used_[size_t(im_.qosubi[t])] = used_[size_t(im_.qosubj[t])] = 1;
        for (size_t t = 0; t < im_.qcval.size(); ++t) used_[size_t(im_.qcsubi[t])] = used_[size_t(im_.qcsubj[t])] = 1;
    }

    void write_bounds() {
        out_.write("bounds\n");
        for (int32_t j = 0; j < im_.numvar; ++j) {
            const std::string& x = vars_[size_t(j)];
            const double l = im_.blx[size_t(j)], u = im_.bux[size_t(j)];
            switch (im_.bkx[size_t(j)]) {
                case VLT_BK_FR: out_.write(" " + x + " free\n"); break;
                case VLT_BK_FX: out_.write(" " + x + " = " + num(l) + "\n"); break;
                case VLT_BK_UP: out_.write(" -inf <= " + x + " <= " + num(u) + "\n"); break;
                case VLT_BK_RA: out_.write(" " + num(l) + " <= " + x + " <= " + num(u) + "\n"); break;
                default:
                    // The default [0, inf) needs no line, unless the variable
                    // appears nowhere else.
                    if (l != 0.0 || std::signbit(l) || !used_[size_t(j)]) out_.write(" " + x + " >= " + num(l) + "\n");
            }
        }
    }

    void write_integers() {
        bool any = false;
        line_.start("");
        for (int32_t j = 0; j < im_.numvar; ++j) {
            if (im_.vartype[size_t(j)] != VLT_VAR_TYPE_INT) continue;
            if (!any) out_.write("general\n");
            any = true;
            line_.add(vars_[size_t(j)]);
        }
        if (any) line_.finish();
    }

    const TaskImage& im_;
    const LpWriteOptions& o_;
    Sink& out_;
    TermLine line_;
    std::vector<std::string> vars_, rows_;
    std::vector<char> used_;  // variables that appear in the objective or a row
};

}  // namespace

LpNames write_lp(const TaskImage& image, const LpWriteOptions& options, Sink& out) {
    return Writer(image, options, out).run();
}

void read_lp_task(Task& task, std::string_view bytes, const std::string& source) {
    std::vector<std::string> warnings;
    TaskImage image = read_lp(bytes, source, warnings);
    // Entries of A are truncated as the task's puts truncate them; the
    // task's parameters stay, its solutions go with the old problem.
    image.truncate_tol = task.problem.truncate_tol();
    image.truncate = true;
    install(task, image, false, source, VLT_RES_ERR_LP_FORMAT);
    for (const std::string& w : warnings) task.streams.emit(VLT_STREAM_WRN, "Warning: " + w + "\n");
}

void write_lp_task(const Task& task, Sink& out) {
    LpWriteOptions o;
    o.digits = task.params[VLT_IPAR_WRITE_PRECISION];
    o.line_width = task.params[VLT_IPAR_WRITE_LP_LINE_WIDTH];
    o.full_objective = task.params[VLT_IPAR_WRITE_LP_FULL_OBJ] == VLT_ONOFF_ON;
    o.generic_names = task.params[VLT_IPAR_WRITE_GENERIC_NAMES] == VLT_ONOFF_ON;
    o.variable_prefix = task.params[VLT_SPAR_WRITE_LP_GEN_VAR_NAME];
    o.ignore_incompatible = task.params[VLT_IPAR_WRITE_IGNORE_INCOMPATIBLE_ITEMS] == VLT_ONOFF_ON;
    write_lp(capture_task(task, ParamSelection::changed, false), o, out);
}

}  // namespace vlt::io
