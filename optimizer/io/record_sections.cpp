#include "io/record_sections.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "base/error.hpp"
#include "io/enum_text.hpp"
#include "io/solution_files.hpp"
#include "io/text_fields.hpp"
#include "io/text_output.hpp"
#include "params/param_table.hpp"

namespace vlt::io {

// --------------------------------------------------------------- references

namespace {

// The words the reader gives a meaning of their own: section keywords and
// the words inside records.
constexpr const char* kReservedWords[] = {
    "PTF",         "TASK",   "OBJECTIVE", "CONSTANT", "TRUNCATION", "VARIABLES", "CONSTRAINTS", "LINEAR",
    "MATRIX",      "QOBJECTIVE", "QCONSTRAINTS", "AFES", "DOMAINS", "ACCS",      "DJCS",        "CONES",
    "BARVARS",     "SYMMATS", "BARC",     "BARA",     "BARF",       "NAMES",     "PARAMETERS",  "SOLUTION",
    "END",         "NAME",   "INT",       "VARIABLE", "CONSTRAINT", "OBJNAME",   "MINIMIZE",  "MAXIMIZE"};

bool is_reserved_word(std::string_view text) {
    for (const char* w : kReservedWords)
        if (text == w) return true;
    return false;
}

// A name can be its own reference when no reader could take it for
// something else: not empty, not "@...", not a comment ("#..."), not one of
// the reserved words.
bool usable_as_reference(const std::string& name) {
    return !name.empty() && name[0] != '@' && name[0] != '#' && !is_reserved_word(name);
}

}  // namespace

References References::from_names(const std::vector<std::string>& names, int64_t count) {
    References r;
    r.of.resize(size_t(count));
    for (int64_t k = 0; k < count; ++k) {
        const std::string name = names.empty() ? std::string() : names[size_t(k)];
        if (usable_as_reference(name) && r.index.emplace(name, k).second) {
            r.of[size_t(k)] = name;
        } else {
            r.of[size_t(k)] = "@" + std::to_string(k);
            r.index.emplace(r.of[size_t(k)], k);
        }
    }
    return r;
}

References References::given(std::vector<std::string> refs) {
    References r;
    r.of = std::move(refs);
    for (size_t k = 0; k < r.of.size(); ++k) r.index.emplace(r.of[k], int64_t(k));
    return r;
}

// ------------------------------------------------------------------ writing

RecordWriter::RecordWriter(const TaskImage& image, const RecordOptions& options, Sink& out)
    : vars(References::from_names(image.varname, image.numvar)),
      cons(References::from_names(image.conname, image.numcon)),
      im_(image),
      o_(options),
      out_(out) {}

std::string RecordWriter::num(double v) const { return format_number(v, o_.digits); }

namespace {

const std::string& name_at(const std::vector<std::string>& names, int64_t k) {
    static const std::string empty;
    return names.empty() ? empty : names[size_t(k)];
}

// " NAME "x"" beside an "@i" reference of a named item.
std::string name_attribute(const std::string& ref, const std::vector<std::string>& names, int64_t k) {
    const std::string& name = name_at(names, k);
    return References::needs_name(ref) && !name.empty() ? " NAME " + quoted_field(name) : std::string();
}

}  // namespace

void RecordWriter::write_problem_core() {
    if (!im_.taskname.empty()) line("TASK " + quoted_field(im_.taskname));
    std::string objective = im_.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "OBJECTIVE MAXIMIZE" : "OBJECTIVE MINIMIZE";
    if (!im_.objname.empty()) objective += " NAME " + quoted_field(im_.objname);
    line(objective);
    if (im_.cfix != 0.0 || std::signbit(im_.cfix)) line("CONSTANT " + num(im_.cfix));
    line("TRUNCATION " + format_number(im_.truncate_tol, 17));
    line("VARIABLES " + std::to_string(im_.numvar));
    for (int32_t j = 0; j < im_.numvar; ++j) {
        const std::string& ref = vars.of[size_t(j)];
        line(field(ref) + " " + code_name(Codes::bound_key, im_.bkx[size_t(j)]) + " " + num(im_.blx[size_t(j)]) + " " +
             num(im_.bux[size_t(j)]) + (im_.vartype[size_t(j)] == VLT_VAR_TYPE_INT ? " INT" : "") +
             name_attribute(ref, im_.varname, j));
    }
    line("CONSTRAINTS " + std::to_string(im_.numcon));
    for (int32_t i = 0; i < im_.numcon; ++i) {
        const std::string& ref = cons.of[size_t(i)];
        line(field(ref) + " " + code_name(Codes::bound_key, im_.bkc[size_t(i)]) + " " + num(im_.blc[size_t(i)]) + " " +
             num(im_.buc[size_t(i)]) + name_attribute(ref, im_.conname, i));
    }
    line("LINEAR");
    for (int32_t j = 0; j < im_.numvar; ++j)
        if (im_.c[size_t(j)] != 0.0 || std::signbit(im_.c[size_t(j)])) line(field(vars.of[size_t(j)]) + " " + num(im_.c[size_t(j)]));
    line("MATRIX");
    for (int32_t j = 0; j < im_.numvar; ++j)
        for (int64_t k = im_.aptr[size_t(j)]; k < im_.aptr[size_t(j) + 1]; ++k)
            line(field(cons.of[size_t(im_.asub[size_t(k)])]) + " " + field(vars.of[size_t(j)]) + " " + num(im_.aval[size_t(k)]));
    if (!im_.qoval.empty()) {
        line("QOBJECTIVE");
        for (size_t t = 0; t < im_.qoval.size(); ++t)
            line(field(vars.of[size_t(im_.qosubi[t])]) + " " + field(vars.of[size_t(im_.qosubj[t])]) + " " + num(im_.qoval[t]));
    }
    if (!im_.qcval.empty()) {
        line("QCONSTRAINTS");
        for (size_t t = 0; t < im_.qcval.size(); ++t)
            line(field(cons.of[size_t(im_.qcsubk[t])]) + " " + field(vars.of[size_t(im_.qcsubi[t])]) + " " +
                 field(vars.of[size_t(im_.qcsubj[t])]) + " " + num(im_.qcval[t]));
    }
}

void RecordWriter::write_conic() {
    if (im_.num_afe() > 0) {
        line("AFES " + std::to_string(im_.num_afe()));
        for (int64_t r = 0; r < im_.num_afe(); ++r) {
            const std::string afe = std::to_string(r);
            for (int64_t k = im_.fptr[size_t(r)]; k < im_.fptr[size_t(r) + 1]; ++k)
                line(afe + " " + field(vars.of[size_t(im_.fsub[size_t(k)])]) + " " + num(im_.fval[size_t(k)]));
            // The constant when it is not +0, or the expression has no entry
            // (so that every expression the count declares has a record).
            if (im_.g[size_t(r)] != 0.0 || std::signbit(im_.g[size_t(r)]) || im_.fptr[size_t(r)] == im_.fptr[size_t(r) + 1])
                line(afe + " " + num(im_.g[size_t(r)]));
        }
    }
    const References doms = References::from_names(im_.domname, im_.num_domain());
    if (im_.num_domain() > 0) {
        line("DOMAINS");
        for (int64_t d = 0; d < im_.num_domain(); ++d) {
            std::string text = field(doms.of[size_t(d)]) + " " + code_name(Codes::domain_type, im_.domtype[size_t(d)]) + " " +
                               std::to_string(im_.domn[size_t(d)]);
            for (int64_t a = im_.alphaptr[size_t(d)]; a < im_.alphaptr[size_t(d) + 1]; ++a) text += " " + num(im_.alpha[size_t(a)]);
            line(text + name_attribute(doms.of[size_t(d)], im_.domname, d));
        }
    }
    if (im_.num_acc() > 0) {
        const References accs = References::from_names(im_.accname, im_.num_acc());
        line("ACCS");
        for (int64_t a = 0; a < im_.num_acc(); ++a) {
            const std::string head = field(accs.of[size_t(a)]) + " " + field(doms.of[size_t(im_.accdom[size_t(a)])]);
            const std::string name = name_attribute(accs.of[size_t(a)], im_.accname, a);
            if (im_.accptr[size_t(a)] == im_.accptr[size_t(a) + 1]) line(head + name);
            for (int64_t k = im_.accptr[size_t(a)]; k < im_.accptr[size_t(a) + 1]; ++k)
                line(head + " " + std::to_string(im_.accafe[size_t(k)]) + " " + num(im_.accb[size_t(k)]) +
                     (k == im_.accptr[size_t(a)] ? name : std::string()));
        }
    }
    if (im_.num_djc() > 0) {
        const References djcs = References::from_names(im_.djcname, im_.num_djc());
        line("DJCS");
        size_t term = 0, dom = 0, afe = 0;
        for (int64_t k = 0; k < im_.num_djc(); ++k) {
            const size_t terms = size_t(im_.djcnumterm[size_t(k)]);
            std::string text = field(djcs.of[size_t(k)]) + " " + std::to_string(terms);
            size_t doms_here = 0;
            for (size_t t = term; t < term + terms; ++t) {
                text += " " + std::to_string(im_.djctermsize[t]);
                doms_here += size_t(im_.djctermsize[t]);
            }
            size_t afes_here = 0;
            for (size_t d = dom; d < dom + doms_here; ++d) {
                text += " " + field(doms.of[size_t(im_.djcdom[d])]);
                afes_here += size_t(im_.domn[size_t(im_.djcdom[d])]);
            }
            for (size_t a = afe; a < afe + afes_here; ++a) text += " " + std::to_string(im_.djcafe[a]) + " " + num(im_.djcb[a]);
            line(text + name_attribute(djcs.of[size_t(k)], im_.djcname, k));
            term += terms;
            dom += doms_here;
            afe += afes_here;
        }
    }
    if (im_.num_cone() > 0) {
        line("CONES");
        for (int32_t k = 0; k < im_.num_cone(); ++k) {
            const std::string& name = name_at(im_.conename, k);
            std::string text = name.empty() ? std::string() : "NAME " + quoted_field(name) + " ";
            text += std::string(code_name(Codes::cone_type, im_.conetype[size_t(k)])) + " " + num(im_.conepar[size_t(k)]);
            for (int64_t m = im_.coneptr[size_t(k)]; m < im_.coneptr[size_t(k) + 1]; ++m)
                text += " " + field(vars.of[size_t(im_.conemem[size_t(m)])]);
            line(text);
        }
    }
    write_semidefinite();
}

void RecordWriter::write_semidefinite() {
    if (im_.num_barvar() == 0 && im_.num_symmat() == 0) return;
    const References barvars = References::from_names(im_.barvarname, im_.num_barvar());
    line("BARVARS");
    for (int32_t j = 0; j < im_.num_barvar(); ++j)
        line(field(barvars.of[size_t(j)]) + " " + std::to_string(im_.barvardim[size_t(j)]) +
             name_attribute(barvars.of[size_t(j)], im_.barvarname, j));
    if (im_.num_symmat() > 0) {
        line("SYMMATS");
        for (int64_t m = 0; m < im_.num_symmat(); ++m) {
            line(std::to_string(m) + " " + std::to_string(im_.symdim[size_t(m)]));
            for (int64_t k = im_.symptr[size_t(m)]; k < im_.symptr[size_t(m) + 1]; ++k)
                line(std::to_string(im_.symsubi[size_t(k)]) + " " + std::to_string(im_.symsubj[size_t(k)]) + " " +
                     num(im_.symval[size_t(k)]));
        }
    }
    const std::pair<const char*, const TaskImage::BarTerms*> parts[] = {{"BARC", &im_.barc}, {"BARA", &im_.bara}, {"BARF", &im_.barf}};
    for (const auto& [keyword, terms] : parts) {
        if (terms->size() == 0) continue;
        line(keyword);
        for (int64_t e = 0; e < terms->size(); ++e) {
            const int64_t row = terms->row[size_t(e)];
            std::string text = terms == &im_.barc ? std::string() : terms == &im_.bara ? field(cons.of[size_t(row)]) + " " : std::to_string(row) + " ";
            text += field(barvars.of[size_t(terms->j[size_t(e)])]);
            for (int64_t t = terms->ptr[size_t(e)]; t < terms->ptr[size_t(e) + 1]; ++t)
                text += " " + std::to_string(terms->mat[size_t(t)]) + " " + num(terms->weight[size_t(t)]);
            line(text);
        }
    }
}

void RecordWriter::write_names(const References& written_vars, const References& written_cons) {
    std::vector<std::string> lines;
    for (int32_t j = 0; j < im_.numvar; ++j)
        if (written_vars.of[size_t(j)] != name_at(im_.varname, j))
            lines.push_back("VARIABLE " + field(written_vars.of[size_t(j)]) + " " + quoted_field(name_at(im_.varname, j)));
    for (int32_t i = 0; i < im_.numcon; ++i)
        if (written_cons.of[size_t(i)] != name_at(im_.conname, i))
            lines.push_back("CONSTRAINT " + std::to_string(i) + " " + quoted_field(name_at(im_.conname, i)));
    // The algebraic part writes only objective names its syntax allows.
    if (!im_.objname.empty()) lines.push_back("OBJNAME " + quoted_field(im_.objname));
    if (lines.empty()) return;
    line("NAMES");
    for (const std::string& l : lines) line(l);
}

void RecordWriter::write_parameters() {
    if (!o_.parameters || im_.params.empty()) return;
    line("PARAMETERS");
    for (const ParamSetting& p : im_.params) {
        switch (p.type) {
            case VLT_PAR_TYPE_INT: line(p.name + " " + std::to_string(p.int_value)); break;
            case VLT_PAR_TYPE_DOU: line(p.name + " " + format_number(p.dou_value, 17)); break;
            default: line(p.name + " " + quoted_field(p.str_value)); break;
        }
    }
}

void RecordWriter::write_solutions(const std::array<double, 6>& objectives) {
    if (!o_.solutions) return;
    SolutionTextOptions o;
    o.head = false;
    write_solutions_text(im_, -1, objectives, o, out_);
}

// ------------------------------------------------------------------ reading

struct RecordReader::Impl {
    enum class Section {
        none, variables, constraints, linear, matrix, qobjective, qconstraints, afes, domains, accs, djcs, cones,
        barvars, symmats, barc, bara, barf, names, parameters, solution, end
    };

    Impl(RecordReader& reader, TaskImage& image, const std::string& src, VLTrescodee error_code, bool is_ptf)
        : r(reader), im(image), source(src), code(error_code), ptf(is_ptf) {}

    RecordReader& r;
    TaskImage& im;
    const std::string& source;
    VLTrescodee code;
    bool ptf;
    Section section = Section::none;
    int64_t expected = 0, given = 0;  // records a counted section still needs
    int64_t line_no = 0;
    size_t bytes_left = 0;  // the text after the current line
    bool header_seen = false, variables_seen = false, constraints_seen = false, afes_seen = false;
    References doms, accs, djcs, barvars;
    std::vector<int64_t> entry_var, entry_afe;  // matrix / F entries, for the column and row sort
    std::vector<int32_t> entry_con, entry_col;
    std::vector<double> entry_val, f_val;
    std::vector<uint8_t> g_given;
    std::string solution_text;  // the solution blocks, at their lines
    int64_t solution_first_line = 0;
    int64_t solution_line = 0;

    [[noreturn]] void fail_here(const std::string& why) const {
        fail(code, source + ":" + std::to_string(line_no) + ": " + why);
    }

    double number(const std::string& text, bool infinite_ok = false) const {
        double v;
        if (!parse_double(text, v) || (!infinite_ok && std::isinf(v))) fail_here("bad number '" + text + "'");
        return v;
    }
    int64_t integer(const std::string& text, int64_t lo, int64_t hi) const {
        int64_t v;
        if (!parse_int64(text, v) || v < lo || v > hi) fail_here("bad count or index '" + text + "'");
        return v;
    }
    int64_t ref(const References& refs, const std::string& text, const char* kind) const {
        auto it = refs.index.find(text);
        if (it == refs.index.end()) fail_here(std::string("unknown ") + kind + " '" + text + "'");
        return it->second;
    }
    int32_t enum_code(Codes set, const std::string& text) const {
        const std::optional<int32_t> c = code_of(set, text);
        if (!c) fail_here("'" + text + "' is not a known name here");
        return *c;
    }
    // A declared reference: a name, or "@<index>" matching the item's index.
    void declare(References& refs, const std::string& text, int64_t index, const char* kind) {
        if (text.empty()) fail_here(std::string("a ") + kind + " needs a reference");
        if (References::needs_name(text) && text != "@" + std::to_string(index))
            fail_here("the reference '" + text + "' of " + kind + " " + std::to_string(index) + " must be @" + std::to_string(index));
        if (!refs.index.emplace(text, index).second) fail_here(std::string("the ") + kind + " '" + text + "' is declared twice");
        refs.of.push_back(text);
    }
    // The item's name: its reference, or what NAME gives beside "@i".
    std::string name_of(const std::vector<std::string>& f, size_t& used) const {
        if (used + 1 < f.size() && f[used] == "NAME") {
            used += 2;
            if (!References::needs_name(f[0])) fail_here("NAME goes only beside an @-reference");
            return f[used - 1];
        }
        return References::needs_name(f[0]) ? std::string() : f[0];
    }
    void no_more(const std::vector<std::string>& f, size_t used) const {
        if (used != f.size()) fail_here("unexpected '" + f[used] + "'");
    }

    void finish_section() {
        if (section == Section::accs && !im.accdom.empty()) finish_acc();
        if ((section == Section::variables || section == Section::constraints) && given != expected)
            fail_here("the section before this line declares " + std::to_string(expected) + " items but lists " +
                      std::to_string(given));
        section = Section::none;
    }

    bool start(const std::vector<std::string>& f) {
        const std::string& k = f[0];
        auto need = [&](size_t n) {
            if (f.size() != n) fail_here(k + " takes " + std::to_string(n - 1) + " field" + (n == 2 ? "" : "s"));
        };
        // Every item of a counted section has a record of its own (a line of
        // at least two bytes): a count the rest of the text cannot hold is
        // refused before anything is allocated for it.
        auto count = [&]() {
            const int64_t n = integer(f[1], 0, std::numeric_limits<int32_t>::max());
            if (uint64_t(n) > bytes_left / 2)
                fail_here(k + " declares " + f[1] + " items, more than the rest of the text has lines for");
            return n;
        };
        if (k == "PTF") {
            need(2);
            if (!ptf) fail_here("PTF is not a section of this format");
            if (integer(f[1], 0, 1 << 30) != 1) fail_here("version " + f[1] + " of the format is newer than this reader (1)");
            header_seen = true;
            return true;
        }
        static const char* const kKeywords[] = {"TASK", "OBJECTIVE", "CONSTANT", "TRUNCATION", "VARIABLES",
                                                "CONSTRAINTS", "LINEAR", "MATRIX", "QOBJECTIVE", "QCONSTRAINTS",
                                                "AFES", "DOMAINS", "ACCS", "DJCS", "CONES", "BARVARS", "SYMMATS",
                                                "BARC", "BARA", "BARF", "NAMES", "PARAMETERS", "SOLUTION", "END"};
        bool keyword = false;
        for (const char* w : kKeywords) keyword |= k == w;
        // In NAMES, VARIABLE and CONSTRAINT start records, not sections.
        if (!keyword) {
            if (ptf && !header_seen) fail_here("a PTF file starts with 'PTF 1'");
            return false;
        }
        if (ptf && !header_seen) fail_here("a PTF file starts with 'PTF 1'");
        finish_section();
        if (k == "TASK") {
            need(2);
            im.taskname = f[1];
        } else if (k == "OBJECTIVE" && ptf) {
            if (f.size() < 2 || (f[1] != "MINIMIZE" && f[1] != "MAXIMIZE")) fail_here("OBJECTIVE takes MINIMIZE or MAXIMIZE");
            im.sense = f[1] == "MAXIMIZE" ? VLT_OBJECTIVE_SENSE_MAXIMIZE : VLT_OBJECTIVE_SENSE_MINIMIZE;
            if (f.size() == 4 && f[2] == "NAME") im.objname = f[3];
            else if (f.size() != 2) fail_here("OBJECTIVE takes the sense and NAME \"name\"");
        } else if (k == "CONSTANT" && ptf) {
            need(2);
            im.cfix = number(f[1]);
        } else if (k == "TRUNCATION") {
            need(2);
            im.truncate_tol = number(f[1]);
        } else if (k == "VARIABLES" && ptf) {
            need(2);
            if (variables_seen) fail_here("VARIABLES is given twice");
            variables_seen = true;
            expected = count();
            given = 0;
            section = Section::variables;
            im.numvar = int32_t(expected);
            im.c.assign(size_t(expected), 0.0);
        } else if (k == "CONSTRAINTS" && ptf) {
            need(2);
            if (constraints_seen) fail_here("CONSTRAINTS is given twice");
            constraints_seen = true;
            expected = count();
            given = 0;
            section = Section::constraints;
            im.numcon = int32_t(expected);
        } else if (k == "LINEAR" && ptf) {
            need(1);
            section = Section::linear;
        } else if (k == "MATRIX" && ptf) {
            need(1);
            section = Section::matrix;
        } else if (k == "QOBJECTIVE" && ptf) {
            need(1);
            section = Section::qobjective;
        } else if (k == "QCONSTRAINTS" && ptf) {
            need(1);
            section = Section::qconstraints;
        } else if (k == "AFES") {
            need(2);
            if (afes_seen) fail_here("AFES is given twice");
            afes_seen = true;
            im.g.assign(size_t(count()), 0.0);
            g_given.assign(im.g.size(), 0);
            section = Section::afes;
        } else if (k == "DOMAINS") {
            need(1);
            section = Section::domains;
        } else if (k == "ACCS") {
            need(1);
            section = Section::accs;
        } else if (k == "DJCS") {
            need(1);
            section = Section::djcs;
        } else if (k == "CONES") {
            need(1);
            section = Section::cones;
        } else if (k == "BARVARS" || k == "SYMMATS" || k == "BARC" || k == "BARA" || k == "BARF") {
            need(1);
            section = k == "BARVARS" ? Section::barvars
                    : k == "SYMMATS" ? Section::symmats
                    : k == "BARC"    ? Section::barc
                    : k == "BARA"    ? Section::bara
                                     : Section::barf;
        } else if (k == "NAMES" && !ptf) {
            need(1);
            section = Section::names;
        } else if (k == "PARAMETERS") {
            need(1);
            section = Section::parameters;
        } else if (k == "SOLUTION") {
            section = Section::solution;
            add_solution_line(f);
        } else if (k == "END" && ptf) {
            need(1);
            section = Section::end;
        } else {
            return false;
        }
        return true;
    }

    std::string current_text;
    void add_solution_line(const std::vector<std::string>&) {
        if (solution_first_line == 0) solution_first_line = line_no;
        while (solution_line < line_no - 1) {  // keep the file's line numbers in the solution text
            solution_text += '\n';
            ++solution_line;
        }
        solution_text += current_text;
        solution_text += '\n';
        ++solution_line;
    }

    // A variable or constraint: ref key lower upper [INT] [NAME "x"].
    void item(const std::vector<std::string>& f, bool variable) {
        const char* kind = variable ? "variable" : "constraint";
        if (given >= expected) fail_here(std::string("more items than ") + (variable ? "VARIABLES" : "CONSTRAINTS") + " declares");
        if (f.size() < 4) fail_here(std::string("a ") + kind + " takes a reference, a bound key and two bounds");
        declare(variable ? r.vars : r.cons, f[0], given, kind);
        (variable ? im.bkx : im.bkc).push_back(enum_code(Codes::bound_key, f[1]));
        (variable ? im.blx : im.blc).push_back(number(f[2], true));
        (variable ? im.bux : im.buc).push_back(number(f[3], true));
        size_t used = 4;
        if (variable) {
            const bool integer = used < f.size() && f[used] == "INT";
            im.vartype.push_back(integer ? VLT_VAR_TYPE_INT : VLT_VAR_TYPE_CONT);
            used += integer;
        }
        (variable ? im.varname : im.conname).push_back(name_of(f, used));
        no_more(f, used);
        ++given;
    }

    void afe(const std::vector<std::string>& f) {
        if (f.size() != 2 && f.size() != 3) fail_here("an AFES record is: expression variable value, or expression constant");
        const int64_t a = integer(f[0], 0, int64_t(im.g.size()) - 1);
        if (f.size() == 2) {
            if (g_given[size_t(a)]) fail_here("a second constant for affine expression " + f[0]);
            g_given[size_t(a)] = 1;
            im.g[size_t(a)] = number(f[1]);
            return;
        }
        entry_afe.push_back(a);
        entry_col.push_back(int32_t(ref(r.vars, f[1], "variable")));
        f_val.push_back(number(f[2]));
    }

    void domain(const std::vector<std::string>& f) {
        if (f.size() < 3) fail_here("a domain takes a reference, a kind and a dimension");
        const int64_t d = im.num_domain();
        declare(doms, f[0], d, "domain");
        im.domtype.push_back(enum_code(Codes::domain_type, f[1]));
        im.domn.push_back(integer(f[2], 0, std::numeric_limits<int64_t>::max()));
        size_t used = 3;
        while (used < f.size() && f[used] != "NAME") im.alpha.push_back(number(f[used++]));
        im.alphaptr.push_back(int64_t(im.alpha.size()));
        im.domname.push_back(name_of(f, used));
        no_more(f, used);
    }

    int64_t acc_line = 0;
    void finish_acc() {
        const int64_t a = im.num_acc() - 1;
        const int64_t rows = im.accptr[size_t(a) + 1] - im.accptr[size_t(a)];
        const int64_t dim = im.domn[size_t(im.accdom[size_t(a)])];
        if (rows != dim)
            fail(code, source + ":" + std::to_string(acc_line) + ": the constraint '" + accs.of[size_t(a)] + "' has " +
                           std::to_string(rows) + " rows for a domain of dimension " + std::to_string(dim));
    }

    void acc(const std::vector<std::string>& f) {
        if (f.size() < 2) fail_here("an ACCS record is: reference domain [expression b] [NAME \"name\"]");
        const bool continues = im.num_acc() > 0 && accs.of.back() == f[0] &&
                               im.accptr.back() - im.accptr[im.accptr.size() - 2] < im.domn[size_t(im.accdom.back())];
        if (!continues) {
            if (im.num_acc() > 0) finish_acc();
            declare(accs, f[0], im.num_acc(), "affine conic constraint");
            im.accdom.push_back(ref(doms, f[1], "domain"));
            im.accptr.push_back(im.accptr.back());
            im.accname.push_back(std::string());
            acc_line = line_no;
        } else if (doms.of[size_t(im.accdom.back())] != f[1]) {
            fail_here("the constraint '" + f[0] + "' changes its domain");
        }
        size_t used = 2;
        if (used + 1 < f.size() && f[used] != "NAME") {
            im.accafe.push_back(integer(f[used], 0, std::numeric_limits<int64_t>::max()));
            im.accb.push_back(number(f[used + 1]));
            ++im.accptr.back();
            used += 2;
        }
        if (used < f.size()) {
            if (continues) fail_here("NAME goes on the first record of a constraint");
            im.accname.back() = name_of(f, used);
        } else if (!continues) {
            im.accname.back() = References::needs_name(f[0]) ? std::string() : f[0];
        }
        no_more(f, used);
    }

    void djc(const std::vector<std::string>& f) {
        if (f.size() < 2) fail_here("a DJCS record is: reference terms sizes... domains... (expression b)...");
        declare(djcs, f[0], im.num_djc(), "disjunctive constraint");
        size_t at = 1;
        auto next = [&](const char* what) -> const std::string& {
            if (at >= f.size() || f[at] == "NAME") fail_here(std::string("the record ends before ") + what);
            return f[at++];
        };
        const int64_t terms = integer(next("the number of terms"), 0, int64_t(f.size()));
        im.djcnumterm.push_back(terms);
        int64_t domains = 0;
        for (int64_t t = 0; t < terms; ++t) {
            const int64_t size = integer(next("a term size"), 0, int64_t(f.size()));
            im.djctermsize.push_back(size);
            domains += size;
        }
        if (domains > int64_t(f.size())) fail_here("the term sizes add up to more domains than the record lists");
        int64_t afes = 0;
        for (int64_t d = 0; d < domains; ++d) {
            const int64_t dom = ref(doms, next("a domain"), "domain");
            im.djcdom.push_back(dom);
            afes += im.domn[size_t(dom)];
        }
        if (afes > int64_t(f.size())) fail_here("the domains take more expressions than the record lists");
        for (int64_t a = 0; a < afes; ++a) {
            im.djcafe.push_back(integer(next("an expression"), 0, std::numeric_limits<int64_t>::max()));
            im.djcb.push_back(number(next("a constant b")));
        }
        im.djcname.push_back(name_of(f, at));
        no_more(f, at);
    }

    void cone(const std::vector<std::string>& f) {
        const size_t at = !f.empty() && f[0] == "NAME" ? 2 : 0;
        if (f.size() < at + 2) fail_here("a CONES record is: [NAME \"name\"] type parameter member...");
        im.conename.push_back(at ? f[1] : std::string());
        im.conetype.push_back(enum_code(Codes::cone_type, f[at]));
        im.conepar.push_back(number(f[at + 1]));
        for (size_t k = at + 2; k < f.size(); ++k) im.conemem.push_back(int32_t(ref(r.vars, f[k], "variable")));
        im.coneptr.push_back(int64_t(im.conemem.size()));
    }

    void barvar(const std::vector<std::string>& f) {
        if (f.size() < 2) fail_here("a BARVARS record is: reference dimension [NAME \"name\"]");
        declare(barvars, f[0], im.num_barvar(), "semidefinite variable");
        im.barvardim.push_back(int32_t(integer(f[1], 1, std::numeric_limits<int32_t>::max())));
        size_t used = 2;
        im.barvarname.push_back(name_of(f, used));
        no_more(f, used);
    }

    // "index dimension" starts a matrix; "i j value" adds to the last one.
    void symmat(const std::vector<std::string>& f) {
        if (f.size() == 2) {
            if (integer(f[0], 0, std::numeric_limits<int64_t>::max()) != im.num_symmat())
                fail_here("the matrix " + f[0] + " must be numbered " + std::to_string(im.num_symmat()));
            im.symdim.push_back(int32_t(integer(f[1], 1, std::numeric_limits<int32_t>::max())));
            im.symptr.push_back(im.symptr.back());
        } else if (f.size() == 3) {
            if (im.num_symmat() == 0) fail_here("a matrix entry before its matrix");
            const int64_t dim = im.symdim.back();
            const int32_t i = int32_t(integer(f[0], 0, dim - 1)), j = int32_t(integer(f[1], 0, dim - 1));
            if (j > i) fail_here("the entry (" + f[0] + ", " + f[1] + ") is not in the lower triangle");
            im.symsubi.push_back(i);
            im.symsubj.push_back(j);
            im.symval.push_back(number(f[2]));
            ++im.symptr.back();
        } else {
            fail_here("a SYMMATS record is: index dimension, or row column value");
        }
    }

    // [row] barvar (matrix weight)...: one entry of barC, barA or barF.
    void bar_entry(const std::vector<std::string>& f, TaskImage::BarTerms& t, const char* layout) {
        const size_t at = section == Section::barc ? 0 : 1;
        if (f.size() < at + 3 || (f.size() - at - 1) % 2 != 0) fail_here(std::string("a record here is: ") + layout);
        const int64_t row = section == Section::barc ? 0
                          : section == Section::bara ? ref(r.cons, f[0], "constraint")
                                                     : integer(f[0], 0, std::numeric_limits<int64_t>::max());
        const int32_t j = int32_t(ref(barvars, f[at], "semidefinite variable"));
        if (t.size() > 0 && (row < t.row.back() || (row == t.row.back() && j <= t.j.back())))
            fail_here("the entries must be in increasing order of row and variable");
        t.row.push_back(row);
        t.j.push_back(j);
        for (size_t k = at + 1; k < f.size(); k += 2) {
            t.mat.push_back(integer(f[k], 0, std::numeric_limits<int64_t>::max()));
            t.weight.push_back(number(f[k + 1]));
        }
        t.ptr.push_back(int64_t(t.mat.size()));
    }

    void rename(const std::vector<std::string>& f) {
        if (f.size() == 2 && f[0] == "OBJNAME") {
            im.objname = f[1];
            return;
        }
        if (f.size() != 3)
            fail_here("a NAMES record is: VARIABLE written \"name\", CONSTRAINT index \"name\" or OBJNAME \"name\"");
        if (f[0] == "VARIABLE") {
            im.varname.resize(size_t(im.numvar));
            im.varname[size_t(ref(r.vars, f[1], "variable"))] = f[2];
        } else if (f[0] == "CONSTRAINT") {
            im.conname.resize(size_t(im.numcon));
            im.conname[size_t(integer(f[1], 0, im.numcon - 1))] = f[2];
        } else {
            fail_here("a NAMES record starts with VARIABLE or CONSTRAINT");
        }
    }

    void parameter(const std::vector<std::string>& f) {
        if (f.size() != 2) fail_here("a PARAMETERS record is: name value");
        const std::optional<params::ParamRef> p = params::find_param(f[0]);
        if (!p) {
            r.warnings.push_back(source + ":" + std::to_string(line_no) + ": the parameter " + f[0] +
                                     " is not known to this version and was skipped");
            return;
        }
        ParamSetting s{p->type, f[0], 0, 0.0, {}};
        try {
            switch (p->type) {
                case VLT_PAR_TYPE_INT: s.int_value = params::parse_int_value(*params::int_param(p->code), f[1]); break;
                case VLT_PAR_TYPE_DOU: s.dou_value = number(f[1], true); break;
                default: s.str_value = f[1]; break;
            }
        } catch (const Error& e) {
            fail_here(e.message());
        }
        im.params.push_back(std::move(s));
    }

    void record(const std::vector<std::string>& f) {
        switch (section) {
            case Section::variables: item(f, true); break;
            case Section::constraints: item(f, false); break;
            case Section::linear:
                if (f.size() != 2) fail_here("a LINEAR record is: variable coefficient");
                im.c[size_t(ref(r.vars, f[0], "variable"))] = number(f[1]);
                break;
            case Section::matrix:
                if (f.size() != 3) fail_here("a MATRIX record is: constraint variable value");
                entry_con.push_back(int32_t(ref(r.cons, f[0], "constraint")));
                entry_var.push_back(ref(r.vars, f[1], "variable"));
                entry_val.push_back(number(f[2]));
                break;
            case Section::qobjective:
                if (f.size() != 3) fail_here("a QOBJECTIVE record is: variable variable value");
                im.qosubi.push_back(int32_t(ref(r.vars, f[0], "variable")));
                im.qosubj.push_back(int32_t(ref(r.vars, f[1], "variable")));
                im.qoval.push_back(number(f[2]));
                break;
            case Section::qconstraints:
                if (f.size() != 4) fail_here("a QCONSTRAINTS record is: constraint variable variable value");
                im.qcsubk.push_back(int32_t(ref(r.cons, f[0], "constraint")));
                im.qcsubi.push_back(int32_t(ref(r.vars, f[1], "variable")));
                im.qcsubj.push_back(int32_t(ref(r.vars, f[2], "variable")));
                im.qcval.push_back(number(f[3]));
                break;
            case Section::afes: afe(f); break;
            case Section::domains: domain(f); break;
            case Section::accs: acc(f); break;
            case Section::djcs: djc(f); break;
            case Section::cones: cone(f); break;
            case Section::barvars: barvar(f); break;
            case Section::symmats: symmat(f); break;
            case Section::barc: bar_entry(f, im.barc, "barvar (matrix weight)..."); break;
            case Section::bara: bar_entry(f, im.bara, "constraint barvar (matrix weight)..."); break;
            case Section::barf: bar_entry(f, im.barf, "expression barvar (matrix weight)..."); break;
            case Section::names: rename(f); break;
            case Section::parameters: parameter(f); break;
            case Section::solution: add_solution_line(f); break;
            case Section::end: fail_here("text after END");
            case Section::none: fail_here("a record outside any section: '" + f[0] + "'");
        }
    }

    void line(std::string_view text) {
        std::vector<std::string> f;
        std::string why;
        if (!split_fields(text, f, why)) fail_here(why);
        // A quoted first field is data: never a comment or a keyword.
        const size_t first = text.find_first_not_of(" \t");
        const bool quoted = first != std::string_view::npos && text[first] == '"';
        if (f.empty() || (!quoted && f[0][0] == '#')) return;
        current_text.assign(text);
        if (section == Section::solution) {
            add_solution_line(f);
            if (!quoted && f[0] == "END") section = Section::none;
            return;
        }
        if (quoted || !start(f)) record(f);
    }

    // Matrix and F entries into their compressed forms (stable: the file's
    // order within a column or row is kept).
    void assemble() {
        if (!ptf) return;
        std::vector<size_t> order(entry_var.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return entry_var[a] < entry_var[b]; });
        im.aptr.assign(size_t(im.numvar) + 1, 0);
        for (size_t k : order) {
            im.asub.push_back(entry_con[k]);
            im.aval.push_back(entry_val[k]);
            ++im.aptr[size_t(entry_var[k]) + 1];
        }
        for (size_t j = 0; j < size_t(im.numvar); ++j) im.aptr[j + 1] += im.aptr[j];
    }

    void assemble_f() {
        std::vector<size_t> order(entry_afe.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return entry_afe[a] < entry_afe[b]; });
        im.fptr.assign(im.g.size() + 1, 0);
        for (size_t k : order) {
            im.fsub.push_back(entry_col[k]);
            im.fval.push_back(f_val[k]);
            ++im.fptr[size_t(entry_afe[k]) + 1];
        }
        for (size_t a = 0; a < im.g.size(); ++a) im.fptr[a + 1] += im.fptr[a];
    }
};

RecordReader::RecordReader(TaskImage& image, const std::string& source, VLTrescodee error_code)
    : im_(image), source_(source), code_(error_code) {}

void RecordReader::read(std::string_view text, int64_t first_line, bool ptf) {
    Impl p(*this, im_, source_, code_, ptf);
    p.solution_line = first_line - 1;
    for_each_line(text, [&](std::string_view l, int64_t n) {
        p.line_no = first_line + n - 1;
        p.bytes_left = size_t(text.data() + text.size() - (l.data() + l.size()));
        p.line(l);
    });
    ++p.line_no;
    if (p.section == Impl::Section::solution) p.fail_here("the file ends inside a solution (no END)");
    p.finish_section();
    if (ptf && !p.header_seen) p.fail_here("a PTF file starts with 'PTF 1'");
    p.assemble();
    p.assemble_f();
    for (std::vector<std::string>* names :
         {&im_.varname, &im_.conname, &im_.domname, &im_.accname, &im_.djcname, &im_.conename, &im_.barvarname}) {
        bool any = false;
        for (const std::string& s : *names) any |= !s.empty();
        if (!any) names->clear();
    }
    if (!p.solution_text.empty()) {
        model::SolutionSizes sizes{im_.numcon, im_.numvar, im_.num_cone(), static_cast<int64_t>(im_.accafe.size()),
                                   &im_.barvardim};
        try {
            im_.solutions = read_solutions_text(p.solution_text, source_, sizes);
        } catch (const Error& e) {
            fail(code_, e.message());
        }
    }
}

}  // namespace vlt::io
