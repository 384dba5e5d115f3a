#include "io/mps_writer.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "io/text_output.hpp"
#include "model/names.hpp"

namespace vlt::io {

namespace {

constexpr double kMpsInfinity = 1e30;

const char* mps_name_problem(std::string_view name) { return model::item_name_violation(name, VLT_NAME_TYPE_MPS); }

// One data line: up to six fields, placed at the fixed columns (2, 5, 15,
// 25, 40, 50) or separated by blanks.  A field too long for its place
// pushes the rest to the right, which the reader takes as free layout.
class Lines {
public:
    Lines(Sink& out, bool fixed) : out_(out), fixed_(fixed) {}

    void header(std::string_view text) {
        out_.write(text);
        out_.write("\n", 1);
    }
    void data(std::initializer_list<std::string_view> fields) {
        static constexpr size_t kStart[6] = {1, 4, 14, 24, 39, 49};
        line_.clear();
        size_t k = 0;
        for (std::string_view f : fields) {
            if (fixed_) {
                if (line_.size() < kStart[k]) line_.resize(kStart[k], ' ');
                else line_ += ' ';
            } else {
                line_ += k == 0 ? " " : (k == 1 ? "   " : "  ");
            }
            line_ += f;
            ++k;
        }
        line_ += '\n';
        out_.write(line_);
    }

private:
    Sink& out_;
    bool fixed_;
    std::string line_;
};

// The range r of a ranged row or column read as [l, l + r]: l + r must give
// u to the bit, which u - l alone does not always do.
double exact_range(double l, double u) {
    double r = u - l;
    for (int step = 0; step < 8 && l + r != u; ++step) r = l + r < u ? std::nextafter(r, kMpsInfinity) : std::nextafter(r, 0.0);
    return r;
}

const char* const kConeTypes[] = {"QUAD", "RQUAD", "PEXP", "DEXP", "PPOW", "DPOW", "ZERO"};
const char* const kDomainTypes[] = {"R",
                                    "RZERO",
                                    "RPLUS",
                                    "RMINUS",
                                    "QUADRATIC_CONE",
                                    "RQUADRATIC_CONE",
                                    "PRIMAL_EXP_CONE",
                                    "DUAL_EXP_CONE",
                                    "PRIMAL_POWER_CONE",
                                    "DUAL_POWER_CONE",
                                    "SVEC_PSD_CONE",
                                    "PRIMAL_GEO_MEAN_CONE",
                                    "DUAL_GEO_MEAN_CONE"};

class Writer {
public:
    Writer(const TaskImage& im, const MpsWriteOptions& o, Sink& out)
        : im_(im), o_(o), lines_(out, o.fixed) {}

    // Rows (with the objective), columns, domains and constraints are four
    // name spaces: a row and a column may share a name.
    void run() {
        if ((im_.num_djc() > 0 || im_.num_barvar() > 0) && !o_.ignore_incompatible)
            fail(VLT_RES_ERR_WRITE_UNSUPPORTED, "MPS files cannot hold disjunctive constraints or semidefinite variables "
                                                "(VLT_IPAR_WRITE_IGNORE_INCOMPATIBLE_ITEMS leaves them out)");
        NameTable rows(mps_name_problem, o_.generic_names), cols(mps_name_problem, o_.generic_names);
        objective_ = rows.assign_one(im_.objname, "obj", "objective");
        rows_ = rows.assign(im_.conname, im_.numcon, "c", "constraint");
        cols_ = cols.assign(im_.varname, im_.numvar, "x", "variable");
        std::string title = "NAME";
        if (!im_.taskname.empty() && !model::task_name_violation(im_.taskname, VLT_NAME_TYPE_MPS))
            title += (o_.fixed ? std::string(10, ' ') : std::string(" ")) + im_.taskname;
        lines_.header(title);
        if (im_.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE) {
            lines_.header("OBJSENSE");
            lines_.data({"", "MAX"});
        }
        write_rows();
        write_columns();
        write_rhs();
        write_ranges();
        write_bounds();
        write_quadratic();
        write_cones();
        write_conic();
        lines_.header("ENDATA");
    }

private:
    std::string num(double v) const {
        if (std::isinf(v)) return v > 0 ? "1e+30" : "-1e+30";
        return format_number(v, o_.digits);
    }

    void write_rows() {
        lines_.header("ROWS");
        lines_.data({"N", objective_});
        for (int32_t i = 0; i < im_.numcon; ++i) {
            const char* type = "E";
            switch (im_.bkc[size_t(i)]) {
                case VLT_BK_LO: case VLT_BK_RA: type = "G"; break;
                case VLT_BK_UP: case VLT_BK_FR: type = "L"; break;
                default: break;
            }
            lines_.data({type, rows_[size_t(i)]});
        }
    }

    void write_columns() {
        lines_.header("COLUMNS");
        bool in_integers = false;
        int64_t marker = 0;
        for (int32_t j = 0; j < im_.numvar; ++j) {
            const bool integer = o_.integer_markers && im_.vartype[size_t(j)] == VLT_VAR_TYPE_INT;
            if (integer != in_integers) {
                const std::string name = "MARKER" + std::to_string(marker++);
                lines_.data({"", name, "'MARKER'", "", integer ? "'INTORG'" : "'INTEND'"});
                in_integers = integer;
            }
            const std::string& col = cols_[size_t(j)];
            const int64_t begin = im_.aptr[size_t(j)], end = im_.aptr[size_t(j) + 1];
            // Every column appears, with its objective entry when it has no other.
            if (im_.c[size_t(j)] != 0.0 || std::signbit(im_.c[size_t(j)]) || begin == end) lines_.data({"", col, objective_, num(im_.c[size_t(j)])});
            for (int64_t k = begin; k < end; ++k)
                lines_.data({"", col, rows_[size_t(im_.asub[size_t(k)])], num(im_.aval[size_t(k)])});
        }
        if (in_integers) lines_.data({"", "MARKER" + std::to_string(marker), "'MARKER'", "", "'INTEND'"});
    }

    void write_rhs() {
        lines_.header("RHS");
        if (im_.cfix != 0.0 || std::signbit(im_.cfix)) lines_.data({"", "RHS", objective_, num(-im_.cfix)});
        for (int32_t i = 0; i < im_.numcon; ++i) {
            double rhs = 0.0;
            switch (im_.bkc[size_t(i)]) {
                case VLT_BK_LO: case VLT_BK_RA: case VLT_BK_FX: rhs = im_.blc[size_t(i)]; break;
                case VLT_BK_UP: rhs = im_.buc[size_t(i)]; break;
                default: rhs = kMpsInfinity; break;
            }
            if (rhs != 0.0 || std::signbit(rhs)) lines_.data({"", "RHS", rows_[size_t(i)], num(rhs)});
        }
    }

    void write_ranges() {
        bool any = false;
        for (int32_t i = 0; i < im_.numcon; ++i) {
            if (im_.bkc[size_t(i)] != VLT_BK_RA) continue;
            if (!any) lines_.header("RANGES");
            any = true;
            const double l = im_.blc[size_t(i)], u = im_.buc[size_t(i)];
            lines_.data({"", "RNG", rows_[size_t(i)], num(std::isinf(l) || std::isinf(u) ? kMpsInfinity : exact_range(l, u))});
        }
    }

    void bound(const char* type, int32_t j, const std::string& value = {}) {
        if (value.empty()) lines_.data({type, "BND", cols_[size_t(j)]});
        else lines_.data({type, "BND", cols_[size_t(j)], value});
    }

    void write_bounds() {
        lines_.header("BOUNDS");
        for (int32_t j = 0; j < im_.numvar; ++j) {
            const double l = im_.blx[size_t(j)], u = im_.bux[size_t(j)];
            // Integer columns say both sides: readers differ in their defaults.
            const bool explicit_sides = im_.vartype[size_t(j)] == VLT_VAR_TYPE_INT;
            switch (im_.bkx[size_t(j)]) {
                case VLT_BK_FR: bound("FR", j); break;
                case VLT_BK_FX: bound("FX", j, num(l)); break;
                default:
                    if (std::isinf(l)) bound("MI", j);
                    else if (l != 0.0 || std::signbit(l) || explicit_sides) bound("LO", j, num(l));
                    if (std::isinf(u)) {
                        if (explicit_sides) bound("PL", j);
                    } else {
                        bound("UP", j, num(u));
                    }
            }
        }
    }

    // QUADOBJ lists the lower triangle of Q; QCMATRIX lists the whole matrix
    // of the row's x'Px (without the factor 0.5), so P = Q_k / 2.
    void write_quadratic() {
        if (!im_.qoval.empty()) {
            lines_.header("QUADOBJ");
            for (size_t t = 0; t < im_.qoval.size(); ++t)
                lines_.data({"", cols_[size_t(im_.qosubi[t])], cols_[size_t(im_.qosubj[t])], num(im_.qoval[t])});
        }
        for (size_t begin = 0; begin < im_.qcsubk.size();) {
            const int32_t k = im_.qcsubk[begin];
            lines_.header("QCMATRIX" + std::string(o_.fixed ? "   " : " ") + rows_[size_t(k)]);
            size_t end = begin;
            for (; end < im_.qcsubk.size() && im_.qcsubk[end] == k; ++end) {
                const std::string& a = cols_[size_t(im_.qcsubi[end])];
                const std::string& b = cols_[size_t(im_.qcsubj[end])];
                const std::string half = num(im_.qcval[end] / 2);
                lines_.data({"", a, b, half});
                if (a != b) lines_.data({"", b, a, half});
            }
            begin = end;
        }
    }

    void write_cones() {
        const std::vector<std::string> names =
            NameTable(mps_name_problem, o_.generic_names).assign(im_.conename, im_.num_cone(), "k", "cone");
        for (int32_t k = 0; k < im_.num_cone(); ++k) {
            lines_.header("CSECTION       " + names[size_t(k)] + "  " + num(im_.conepar[size_t(k)]) + "  " +
                          kConeTypes[im_.conetype[size_t(k)]]);
            for (int64_t m = im_.coneptr[size_t(k)]; m < im_.coneptr[size_t(k) + 1]; ++m)
                lines_.data({"", cols_[size_t(im_.conemem[size_t(m)])]});
        }
    }

    void write_conic() {
        if (im_.num_afe() == 0 && im_.num_domain() == 0) return;
        lines_.header("AFES          " + std::to_string(im_.num_afe()));
        for (int64_t r = 0; r < im_.num_afe(); ++r) {
            const std::string afe = std::to_string(r);
            for (int64_t k = im_.fptr[size_t(r)]; k < im_.fptr[size_t(r) + 1]; ++k)
                lines_.data({"", afe, cols_[size_t(im_.fsub[size_t(k)])], num(im_.fval[size_t(k)])});
            if (im_.g[size_t(r)] != 0.0 || std::signbit(im_.g[size_t(r)])) lines_.data({"", afe, num(im_.g[size_t(r)])});
        }
        const std::vector<std::string> domains =
            NameTable(mps_name_problem, o_.generic_names).assign(im_.domname, im_.num_domain(), "d", "domain");
        lines_.header("DOMAINS");
        for (int64_t d = 0; d < im_.num_domain(); ++d) {
            std::string line = "    " + domains[size_t(d)] + "  " + kDomainTypes[im_.domtype[size_t(d)]] + "  " +
                               std::to_string(im_.domn[size_t(d)]);
            for (int64_t a = im_.alphaptr[size_t(d)]; a < im_.alphaptr[size_t(d) + 1]; ++a)
                line += "  " + num(im_.alpha[size_t(a)]);
            lines_.header(line);
        }
        const std::vector<std::string> accs = NameTable(mps_name_problem, o_.generic_names)
                                                  .assign(im_.accname, im_.num_acc(), "a", "affine conic constraint");
        lines_.header("ACCS");
        for (int64_t a = 0; a < im_.num_acc(); ++a) {
            const std::string& domain = domains[size_t(im_.accdom[size_t(a)])];
            if (im_.accptr[size_t(a)] == im_.accptr[size_t(a) + 1]) lines_.data({"", accs[size_t(a)], domain});
            for (int64_t k = im_.accptr[size_t(a)]; k < im_.accptr[size_t(a) + 1]; ++k)
                lines_.data({"", accs[size_t(a)], domain, std::to_string(im_.accafe[size_t(k)]), num(im_.accb[size_t(k)])});
        }
    }

    const TaskImage& im_;
    const MpsWriteOptions& o_;
    Lines lines_;
    std::string objective_;
    std::vector<std::string> rows_, cols_;
};

}  // namespace

void write_mps(const TaskImage& image, const MpsWriteOptions& options, Sink& out) { Writer(image, options, out).run(); }

}  // namespace vlt::io
