#include "io/mps_reader.hpp"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

#include "base/error.hpp"
#include "io/byte_stream.hpp"
#include "model/conic.hpp"
#include "model/var_cones.hpp"

namespace vlt::io {

FormatError::FormatError(const std::string& source, int64_t line, const std::string& detail)
    : std::runtime_error(source + ":" + std::to_string(line) + ": " + detail), line_(line), detail_(detail) {}

namespace {

using std::string_view;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kHuge = 1e30;  // bound and RHS values this large mean "no bound"
constexpr size_t kMaxWarnings = 100;
constexpr int kMaxTokens = 16;

// Role of an MPS row.
constexpr int32_t kObjectiveRow = -1;
constexpr int32_t kDroppedRow = -2;

enum class Section {
    none, name, objsense, objname, rows, columns, rhs, ranges, bounds, quadobj, qmatrix, qsection, qcmatrix,
    csection, afes, domains, accs
};

bool is_space(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\v' || ch == '\f'; }

string_view trim(string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && is_space(s[b])) ++b;
    while (e > b && is_space(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool iequals(string_view a, string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 32);
        if (y >= 'a' && y <= 'z') y = char(y - 32);
        if (x != y) return false;
    }
    return true;
}

// A name or token as it appears in a message: quoted, shortened if long.
std::string quote(string_view s) {
    std::string out = "'";
    if (s.size() > 40) {
        out.append(s.substr(0, 40));
        out += "...";
    } else {
        out.append(s);
    }
    out += "'";
    return out;
}

enum class NumberStatus { ok, bad, nan };

NumberStatus parse_number(string_view s, double& value) {
    if (s.size() > 1 && s[0] == '+' && s[1] != '-' && s[1] != '+') s.remove_prefix(1);
    if (s.empty()) return NumberStatus::bad;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return NumberStatus::bad;
    if (std::isnan(value)) return NumberStatus::nan;
    return NumberStatus::ok;
}

// Values of bounds, right-hand sides and ranges: huge magnitudes are infinite.
double bound_value(double v) {
    if (v >= kHuge) return kInf;
    if (v <= -kHuge) return -kInf;
    return v;
}

int32_t bound_key(double lo, double up) {
    const bool has_lo = lo > -kInf, has_up = up < kInf;
    if (!has_lo && !has_up) return VLT_BK_FR;
    if (!has_up) return VLT_BK_LO;
    if (!has_lo) return VLT_BK_UP;
    if (lo == up) return VLT_BK_FX;
    return VLT_BK_RA;
}

// The fields of one data line.  In the fixed layout there are always six
// (possibly empty) fields at fixed columns; in the free layout, the white-space
// separated tokens.
struct Fields {
    string_view f[kMaxTokens];
    int n = 0;
    bool overflow = false;  // more tokens than kMaxTokens
};

Fields split_free(string_view line) {
    Fields out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && is_space(line[i])) ++i;
        if (i >= line.size()) break;
        size_t b = i;
        while (i < line.size() && !is_space(line[i])) ++i;
        if (out.n == kMaxTokens) {
            out.overflow = true;
            break;
        }
        out.f[out.n++] = line.substr(b, i - b);
    }
    return out;
}

// Columns (1-based, inclusive) of the six fixed fields.
constexpr int kFieldBegin[6] = {2, 5, 15, 25, 40, 50};
constexpr int kFieldEnd[6] = {3, 12, 22, 36, 47, 61};

// True when the line could be a fixed-layout line: no tabs, and blanks in the
// columns that separate the fields.
bool fixed_compatible(string_view line) {
    static constexpr int kSeparators[] = {1, 4, 13, 14, 23, 24, 37, 38, 39, 48, 49};
    for (int col : kSeparators) {
        if (size_t(col) > line.size()) break;
        if (line[size_t(col) - 1] != ' ') return false;
    }
    const size_t limit = std::min<size_t>(line.size(), size_t(kFieldEnd[5]));
    return std::memchr(line.data(), '\t', limit) == nullptr;
}

Fields split_fixed(string_view line) {
    Fields out;
    out.n = 6;
    for (int k = 0; k < 6; ++k) {
        const size_t b = size_t(kFieldBegin[k]) - 1;
        if (b >= line.size()) break;
        const size_t e = std::min(line.size(), size_t(kFieldEnd[k]));
        out.f[k] = trim(line.substr(b, e - b));
    }
    // A '$' at the start of field 3 or 5 makes the rest of the line a comment.
    for (int k : {2, 4}) {
        if (!out.f[k].empty() && out.f[k][0] == '$') {
            for (int m = k; m < 6; ++m) out.f[m] = {};
            break;
        }
    }
    return out;
}

bool has_inner_space(const Fields& fields) {
    for (int k = 0; k < fields.n; ++k)
        if (fields.f[k].find(' ') != string_view::npos) return true;
    return false;
}

bool fixed_fields_empty(const Fields& fields, int from) {
    for (int k = from; k < 6; ++k)
        if (!fields.f[k].empty()) return false;
    return true;
}

uint64_t pair_key(int32_t i, int32_t j) { return (uint64_t(uint32_t(i)) << 32) | uint32_t(j); }

class Reader {
public:
    Reader(string_view text, const std::string& source, MpsFlavor flavor, MpsReadInfo* info, MpsConic* conic)
        : text_(text), source_(source), flavor_(flavor), info_(info), conic_(conic) {}

    model::ProblemData run();

private:
    // A parse attempt that fails leaves its reason here and changes nothing.
    using TryFn = bool (Reader::*)(const Fields&, bool fixed, std::string& why);

    [[noreturn]] void fail(const std::string& detail) const { throw FormatError(source_, line_no_, detail); }
    [[noreturn]] void fail_at(int64_t line, const std::string& detail) const {
        throw FormatError(source_, line, detail);
    }
    void warn(const std::string& text) {
        if (info_ && info_->warnings.size() < kMaxWarnings)
            info_->warnings.push_back(source_ + ":" + std::to_string(line_no_) + ": " + text);
    }

    bool header_line(string_view line);
    void data_line(string_view line);
    void dispatch(string_view line, TryFn fn);
    void finish_quadratic_section();

    bool try_rows(const Fields& t, bool fixed, std::string& why);
    bool try_columns(const Fields& t, bool fixed, std::string& why);
    bool read_set_pairs(const Fields& t, bool fixed, const char* section, string_view& set, int& first,
                        int32_t rows[2], double values[2], int& npairs, std::string& why);
    bool try_rhs(const Fields& t, bool fixed, std::string& why);
    bool try_ranges(const Fields& t, bool fixed, std::string& why);
    bool try_bounds(const Fields& t, bool fixed, std::string& why);
    bool try_quadratic(const Fields& t, bool fixed, std::string& why);
    bool marker_line(string_view line);

    // The conic extension (sections read by white space only).
    void start_cone(string_view rest);
    void start_afes(string_view rest);
    void cone_line(const Fields& t);
    void afe_line(const Fields& t);
    void domain_line(const Fields& t);
    void acc_line(const Fields& t);
    void finish_acc();
    void finish_cone();
    int32_t column_of(string_view name, const char* where);
    double finite_number(string_view text, const char* what);
    int64_t afe_index(string_view text);

    bool read_pairs(const Fields& t, int first, int count, const char* where, int32_t rows[2], double values[2],
                    int& npairs, std::string& why) const;
    bool lookup_row(string_view name, const char* where, int32_t& row, std::string& why) const;
    bool lookup_column(string_view name, const char* where, int32_t& col, std::string& why) const;
    bool number(string_view text, double& value, std::string& why) const;
    bool accept_set(string_view name, string_view& chosen, bool& chosen_set);

    model::ProblemData build();

    string_view text_;
    const std::string& source_;
    MpsFlavor flavor_;
    MpsReadInfo* info_;
    int64_t line_no_ = 0;
    Section section_ = Section::none;
    bool ended_ = false;
    bool names_with_spaces_ = false;  // a fixed-layout line with spaces inside names was accepted
    unsigned seen_sections_ = 0;

    std::string name_;
    int32_t sense_ = VLT_OBJECTIVE_SENSE_MINIMIZE;
    bool sense_given_ = false;
    string_view requested_objective_;  // from OBJNAME
    bool objective_requested_ = false;

    // Rows: every ROWS entry, N rows included.  row_con_[r] is the constraint
    // index, kObjectiveRow or kDroppedRow.
    std::unordered_map<string_view, int32_t> row_index_;
    std::vector<int32_t> row_con_;
    std::vector<string_view> row_name_;
    int32_t objective_row_ = -1;
    std::vector<char> con_type_;
    std::vector<int32_t> con_row_;
    std::vector<double> rhs_, range_;
    std::vector<uint8_t> rhs_given_, range_given_;
    bool objective_rhs_given_ = false;
    double cfix_ = 0.0;

    // Columns.
    std::unordered_map<string_view, int32_t> col_index_;
    std::vector<string_view> col_name_;
    int32_t current_col_ = -1;
    bool in_integer_block_ = false;
    std::vector<uint8_t> is_integer_, lower_given_, semicont_;
    std::vector<uint8_t> fixed_;  // the last bound of the column was FX
    bool any_semicont_ = false;
    std::vector<double> cost_, lower_, upper_;
    std::vector<uint8_t> cost_given_;

    // Matrix entries in file order, checked for duplicates when assembled.
    std::vector<int32_t> entry_col_, entry_con_;
    std::vector<double> entry_val_;
    std::vector<int64_t> entry_line_;

    string_view rhs_set_, range_set_, bound_set_;
    bool rhs_set_chosen_ = false, range_set_chosen_ = false, bound_set_chosen_ = false;

    // Quadratic objective: lower-triangle element -> value.
    std::unordered_map<uint64_t, double> quad_current_, quad_final_;
    bool quad_full_matrix_ = false;  // the current section is QMATRIX
    bool quad_given_ = false;
    int64_t quad_section_line_ = 0;
    std::string quad_section_name_;

    // Quadratic parts of constraints (QCMATRIX): constraint -> lower-triangle
    // element -> value of the file's matrix.
    std::map<int32_t, std::unordered_map<uint64_t, double>> qc_terms_;
    int32_t qc_con_ = -1;  // the constraint of the current QCMATRIX section

    // The conic extension.  Scratch stores check cones and domains with the
    // task's own rules as they are read.
    MpsConic* conic_;
    model::VarConeStore cone_check_;
    model::ConicStore domain_check_;
    bool afes_declared_ = false;
    std::unordered_map<uint64_t, int64_t> f_seen_;  // (afe, column) -> line
    std::vector<uint8_t> g_given_;
    std::unordered_map<std::string, int64_t> domain_index_, acc_index_;
    int64_t acc_line_ = 0;  // line of the current constraint's first row
};

bool Reader::number(string_view text, double& value, std::string& why) const {
    switch (parse_number(text, value)) {
        case NumberStatus::ok:
            return true;
        case NumberStatus::nan:
            why = "NaN value " + quote(text);
            return false;
        case NumberStatus::bad:
            break;
    }
    why = text.empty() ? std::string("missing number") : "bad number " + quote(text);
    return false;
}

bool Reader::lookup_row(string_view name, const char* where, int32_t& row, std::string& why) const {
    auto it = row_index_.find(name);
    if (it == row_index_.end()) {
        why = "unknown row name " + quote(name) + " in " + where;
        return false;
    }
    row = it->second;
    return true;
}

bool Reader::lookup_column(string_view name, const char* where, int32_t& col, std::string& why) const {
    if (current_col_ >= 0 && col_name_[size_t(current_col_)] == name) {
        col = current_col_;
        return true;
    }
    auto it = col_index_.find(name);
    if (it == col_index_.end()) {
        why = "unknown column name " + quote(name) + " in " + where;
        return false;
    }
    col = it->second;
    return true;
}

// Reads (row, value) pairs from fields first, first+1, ...; count is the number
// of fields available; a second pair that is wholly empty is absent.
bool Reader::read_pairs(const Fields& t, int first, int count, const char* where, int32_t rows[2],
                        double values[2], int& npairs, std::string& why) const {
    npairs = 0;
    for (int p = 0; p < 2; ++p) {
        const int k = first + 2 * p;
        if (k >= first + count) break;
        string_view row = t.f[k];
        string_view val = k + 1 < first + count ? t.f[k + 1] : string_view{};
        if (p == 1 && row.empty() && val.empty()) break;
        if (row.empty()) {
            why = "missing row name in " + std::string(where);
            return false;
        }
        if (!lookup_row(row, where, rows[p], why)) return false;
        if (!number(val, values[p], why)) return false;
        ++npairs;
    }
    if (npairs == 0) {
        why = "missing row name in " + std::string(where);
        return false;
    }
    if (npairs == 2 && rows[0] == rows[1]) {
        why = "row " + quote(t.f[first]) + " given twice on one line in " + where;
        return false;
    }
    return true;
}

// The first set name seen in RHS, RANGES or BOUNDS is used; others are ignored.
bool Reader::accept_set(string_view name, string_view& chosen, bool& chosen_set) {
    if (!chosen_set) {
        chosen = name;
        chosen_set = true;
        return true;
    }
    if (name == chosen) return true;
    if (info_) ++info_->ignored_set_entries;
    warn("entry of set " + quote(name) + " ignored; only set " + quote(chosen) + " is used");
    return false;
}

bool Reader::try_rows(const Fields& t, bool fixed, std::string& why) {
    string_view type, name;
    if (fixed) {
        if (!fixed_fields_empty(t, 2)) {
            why = "unexpected field " + quote(t.f[2].empty() ? t.f[3] : t.f[2]) + " in ROWS";
            return false;
        }
        type = t.f[0];
        name = t.f[1];
    } else {
        if (t.n != 2) {
            why = t.n < 2 ? std::string("ROWS line needs a row type and a name")
                          : "unexpected field " + quote(t.f[2]) + " in ROWS";
            return false;
        }
        type = t.f[0];
        name = t.f[1];
    }
    char kind = type.size() == 1 ? type[0] : '?';
    if (kind >= 'a' && kind <= 'z') kind = char(kind - 32);
    if (kind != 'N' && kind != 'E' && kind != 'L' && kind != 'G') {
        why = "unknown row type " + quote(type) + " (expected N, E, L or G)";
        return false;
    }
    if (name.empty()) {
        why = "missing row name in ROWS";
        return false;
    }
    if (row_index_.count(name)) {
        why = "duplicate row name " + quote(name);
        return false;
    }

    const int32_t row = int32_t(row_con_.size());
    row_index_.emplace(name, row);
    row_name_.push_back(name);
    if (kind == 'N') {
        const bool is_objective = objective_requested_ ? name == requested_objective_ : objective_row_ < 0;
        if (is_objective) {
            objective_row_ = row;
            row_con_.push_back(kObjectiveRow);
        } else {
            row_con_.push_back(kDroppedRow);
            if (info_) ++info_->dropped_free_rows;
            warn("free row " + quote(name) + " dropped");
        }
        return true;
    }
    row_con_.push_back(int32_t(con_type_.size()));
    con_type_.push_back(kind);
    con_row_.push_back(row);
    rhs_.push_back(0.0);
    range_.push_back(0.0);
    rhs_given_.push_back(0);
    range_given_.push_back(0);
    return true;
}

bool Reader::marker_line(string_view line) {
    if (line.find("'MARKER'") == string_view::npos) return false;
    const Fields t = split_free(line);
    int marker = -1;
    for (int k = 1; k < t.n; ++k)
        if (t.f[k] == "'MARKER'") {
            marker = k;
            break;
        }
    if (marker < 0) return false;
    for (int k = marker + 1; k < t.n; ++k) {
        if (t.f[k] == "'INTORG'") {
            in_integer_block_ = true;
            return true;
        }
        if (t.f[k] == "'INTEND'") {
            in_integer_block_ = false;
            return true;
        }
    }
    fail("MARKER line without 'INTORG' or 'INTEND'");
}

bool Reader::try_columns(const Fields& t, bool fixed, std::string& why) {
    string_view col_name;
    int first, count;
    if (fixed) {
        if (!t.f[0].empty()) {
            why = "unexpected field " + quote(t.f[0]) + " in COLUMNS";
            return false;
        }
        col_name = t.f[1];
        first = 2;
        count = 4;
    } else {
        if (t.n != 3 && t.n != 5) {
            why = t.n < 3 ? std::string("COLUMNS line needs a column, a row and a value")
                          : t.n == 4 ? "missing value after row " + quote(t.f[3]) + " in COLUMNS"
                                     : "too many fields in COLUMNS";
            return false;
        }
        col_name = t.f[0];
        first = 1;
        count = t.n - 1;
    }
    if (col_name.empty()) {
        why = "missing column name in COLUMNS";
        return false;
    }
    int32_t rows[2];
    double values[2];
    int npairs;
    if (!read_pairs(t, first, count, "COLUMNS", rows, values, npairs, why)) return false;
    for (int p = 0; p < npairs; ++p) {
        if (std::isinf(values[p])) {
            why = "infinite coefficient " + quote(t.f[first + 2 * p + 1]);
            return false;
        }
    }

    int32_t col = -1;
    if (current_col_ >= 0 && col_name_[size_t(current_col_)] == col_name) {
        col = current_col_;
    } else if (auto it = col_index_.find(col_name); it != col_index_.end()) {
        col = it->second;
    }
    if (col >= 0) {
        for (int p = 0; p < npairs; ++p) {
            if (row_con_[size_t(rows[p])] == kObjectiveRow && cost_given_[size_t(col)]) {
                why = "duplicate objective coefficient for column " + quote(col_name);
                return false;
            }
        }
    } else {
        col = int32_t(col_name_.size());
        col_index_.emplace(col_name, col);
        col_name_.push_back(col_name);
        is_integer_.push_back(in_integer_block_ ? 1 : 0);
        lower_given_.push_back(0);
        fixed_.push_back(0);
        semicont_.push_back(0);
        cost_.push_back(0.0);
        cost_given_.push_back(0);
        lower_.push_back(0.0);
        upper_.push_back(kInf);
    }
    current_col_ = col;

    for (int p = 0; p < npairs; ++p) {
        const int32_t con = row_con_[size_t(rows[p])];
        if (con >= 0) {
            entry_col_.push_back(col);
            entry_con_.push_back(con);
            entry_val_.push_back(values[p]);
            entry_line_.push_back(line_no_);
        } else if (con == kObjectiveRow) {
            cost_[size_t(col)] = values[p];
            cost_given_[size_t(col)] = 1;
        }
    }
    return true;
}

// The head shared by RHS and RANGES lines: an optional set name, then one
// or two (row, value) pairs.  `first` is the field of the first row name.
bool Reader::read_set_pairs(const Fields& t, bool fixed, const char* section, string_view& set, int& first,
                            int32_t rows[2], double values[2], int& npairs, std::string& why) {
    int count;
    if (fixed) {
        if (!t.f[0].empty()) {
            why = "unexpected field " + quote(t.f[0]) + " in " + section;
            return false;
        }
        set = t.f[1];
        first = 2;
        count = 4;
    } else {
        if (t.n < 2 || t.n > 5) {
            why = t.n < 2 ? std::string(section) + " line needs a row and a value"
                          : std::string("too many fields in ") + section;
            return false;
        }
        const bool named = t.n % 2 == 1;
        set = named ? t.f[0] : string_view{};
        first = named ? 1 : 0;
        count = t.n - first;
    }
    return read_pairs(t, first, count, section, rows, values, npairs, why);
}

bool Reader::try_rhs(const Fields& t, bool fixed, std::string& why) {
    string_view set;
    int first;
    int32_t rows[2];
    double values[2];
    int npairs;
    if (!read_set_pairs(t, fixed, "RHS", set, first, rows, values, npairs, why)) return false;
    for (int p = 0; p < npairs; ++p) {
        const int32_t con = row_con_[size_t(rows[p])];
        const bool given = con >= 0 ? rhs_given_[size_t(con)] != 0 : con == kObjectiveRow && objective_rhs_given_;
        if (given && (!rhs_set_chosen_ || set == rhs_set_)) {
            why = "duplicate RHS entry for row " + quote(t.f[first + 2 * p]);
            return false;
        }
        if (con == kObjectiveRow && std::isinf(bound_value(values[p]))) {
            why = "infinite objective constant";
            return false;
        }
    }
    if (!accept_set(set, rhs_set_, rhs_set_chosen_)) return true;
    for (int p = 0; p < npairs; ++p) {
        const int32_t con = row_con_[size_t(rows[p])];
        const double v = bound_value(values[p]);
        if (con >= 0) {
            rhs_[size_t(con)] = v;
            rhs_given_[size_t(con)] = 1;
        } else if (con == kObjectiveRow) {
            cfix_ = -v;
            objective_rhs_given_ = true;
        }
    }
    return true;
}

bool Reader::try_ranges(const Fields& t, bool fixed, std::string& why) {
    string_view set;
    int first;
    int32_t rows[2];
    double values[2];
    int npairs;
    if (!read_set_pairs(t, fixed, "RANGES", set, first, rows, values, npairs, why)) return false;
    for (int p = 0; p < npairs; ++p) {
        const int32_t con = row_con_[size_t(rows[p])];
        if (con >= 0 && range_given_[size_t(con)] && (!range_set_chosen_ || set == range_set_)) {
            why = "duplicate RANGES entry for row " + quote(t.f[first + 2 * p]);
            return false;
        }
    }
    if (!accept_set(set, range_set_, range_set_chosen_)) return true;
    for (int p = 0; p < npairs; ++p) {
        const int32_t con = row_con_[size_t(rows[p])];
        if (con >= 0) {
            range_[size_t(con)] = bound_value(values[p]);
            range_given_[size_t(con)] = 1;
        } else {
            if (info_) ++info_->ignored_objective_ranges;
            warn("range on free row " + quote(t.f[first + 2 * p]) + " ignored");
        }
    }
    return true;
}

enum class BoundType { UP, LO, FX, FR, MI, PL, BV, LI, UI, SC, SI, unknown };

BoundType bound_type(string_view s) {
    static constexpr std::pair<const char*, BoundType> kTypes[] = {
        {"UP", BoundType::UP}, {"LO", BoundType::LO}, {"FX", BoundType::FX}, {"FR", BoundType::FR},
        {"MI", BoundType::MI}, {"PL", BoundType::PL}, {"BV", BoundType::BV}, {"LI", BoundType::LI},
        {"UI", BoundType::UI}, {"SC", BoundType::SC}, {"SI", BoundType::SI}};
    for (const auto& [text, type] : kTypes)
        if (iequals(s, text)) return type;
    return BoundType::unknown;
}

bool bound_needs_value(BoundType type) {
    return type == BoundType::UP || type == BoundType::LO || type == BoundType::FX || type == BoundType::LI ||
           type == BoundType::UI;
}

bool Reader::try_bounds(const Fields& t, bool fixed, std::string& why) {
    string_view type_text, set, col_name, value_text;
    if (fixed) {
        if (!fixed_fields_empty(t, 4)) {
            why = "unexpected field " + quote(t.f[4].empty() ? t.f[5] : t.f[4]) + " in BOUNDS";
            return false;
        }
        type_text = t.f[0];
        set = t.f[1];
        col_name = t.f[2];
        value_text = t.f[3];
    } else {
        if (t.n < 2 || t.n > 4) {
            why = t.n < 2 ? std::string("BOUNDS line needs a bound type and a column") : "too many fields in BOUNDS";
            return false;
        }
        type_text = t.f[0];
        const BoundType type = bound_type(type_text);
        if (t.n == 4) {
            set = t.f[1];
            col_name = t.f[2];
            value_text = t.f[3];
        } else if (t.n == 2) {
            col_name = t.f[1];
        } else if (bound_needs_value(type)) {  // three fields: the set name is left out
            col_name = t.f[1];
            value_text = t.f[2];
        } else {  // three fields: set and column, or column and an optional value
            int32_t probe;
            std::string ignored;
            if (lookup_column(t.f[2], "BOUNDS", probe, ignored)) {
                set = t.f[1];
                col_name = t.f[2];
            } else {
                col_name = t.f[1];
                value_text = t.f[2];
            }
        }
    }
    const BoundType type = bound_type(type_text);
    if (type == BoundType::unknown) {
        why = "unknown bound type " + quote(type_text);
        return false;
    }
    if (col_name.empty()) {
        why = "missing column name in BOUNDS";
        return false;
    }
    int32_t col;
    if (!lookup_column(col_name, "BOUNDS", col, why)) return false;
    double value = 0.0;
    const bool has_value = !value_text.empty();
    if (has_value || bound_needs_value(type)) {
        if (!number(value_text, value, why)) return false;
        value = bound_value(value);
    }
    if (!accept_set(set, bound_set_, bound_set_chosen_)) return true;

    const size_t j = size_t(col);
    auto set_upper_maybe_negative = [&](double v) {
        upper_[j] = v;
        if (v < 0.0 && !lower_given_[j]) {
            lower_[j] = -kInf;
            if (info_) ++info_->negative_upper_bounds;
            warn("negative upper bound on column " + quote(col_name) + " with no lower bound: lower bound set to -inf");
        }
    };
    fixed_[j] = type == BoundType::FX;
    switch (type) {
        case BoundType::UP:
            set_upper_maybe_negative(value);
            break;
        case BoundType::LO:
            lower_[j] = value;
            lower_given_[j] = 1;
            break;
        case BoundType::FX:
            lower_[j] = upper_[j] = value;
            lower_given_[j] = 1;
            break;
        case BoundType::FR:
            lower_[j] = -kInf;
            upper_[j] = kInf;
            lower_given_[j] = 1;
            break;
        case BoundType::MI:
            lower_[j] = -kInf;
            lower_given_[j] = 1;
            break;
        case BoundType::PL:
            upper_[j] = kInf;
            break;
        case BoundType::BV:
            is_integer_[j] = 1;
            lower_[j] = 0.0;
            upper_[j] = 1.0;
            lower_given_[j] = 1;
            break;
        case BoundType::LI:
            is_integer_[j] = 1;
            lower_[j] = value;
            lower_given_[j] = 1;
            break;
        case BoundType::UI:
            is_integer_[j] = 1;
            set_upper_maybe_negative(value);
            break;
        case BoundType::SC:
        case BoundType::SI:
            if (type == BoundType::SI) is_integer_[j] = 1;
            semicont_[j] = 1;
            any_semicont_ = true;
            upper_[j] = has_value ? value : kInf;
            break;
        case BoundType::unknown:
            break;
    }
    return true;
}

bool Reader::try_quadratic(const Fields& t, bool fixed, std::string& why) {
    string_view a, b, value_text;
    if (fixed) {
        if (!t.f[0].empty() || !fixed_fields_empty(t, 4)) {
            why = "unexpected field in " + quad_section_name_;
            return false;
        }
        a = t.f[1];
        b = t.f[2];
        value_text = t.f[3];
    } else {
        if (t.n != 3) {
            why = quad_section_name_ + " line needs two columns and a value";
            return false;
        }
        a = t.f[0];
        b = t.f[1];
        value_text = t.f[2];
    }
    int32_t i, j;
    double value;
    const char* where = quad_section_name_.c_str();
    if (!lookup_column(a, where, i, why) || !lookup_column(b, where, j, why)) return false;
    if (!number(value_text, value, why)) return false;
    if (std::isinf(value)) {
        why = "infinite value " + quote(value_text) + " in " + quad_section_name_;
        return false;
    }
    if (i < j) std::swap(i, j);
    // QMATRIX gives both Q_ij and Q_ji; the stored lower element is their mean.
    if (quad_full_matrix_ && i != j) value *= 0.5;
    if (section_ == Section::qcmatrix)
        qc_terms_[qc_con_][pair_key(i, j)] += value;
    else
        quad_current_[pair_key(i, j)] += value;
    return true;
}

// Explicit zeros are kept, as with matrix entries; when two sections are
// compared, a missing element counts as zero.
void Reader::finish_quadratic_section() {
    if (!quad_given_) {
        quad_final_ = std::move(quad_current_);
        quad_given_ = true;
    } else {
        auto covers = [](const std::unordered_map<uint64_t, double>& a, const std::unordered_map<uint64_t, double>& b) {
            for (const auto& [key, value] : a) {
                auto it = b.find(key);
                const double other = it == b.end() ? 0.0 : it->second;
                if (std::abs(other - value) > 1e-12 * std::max(1.0, std::abs(value))) return false;
            }
            return true;
        };
        if (!covers(quad_current_, quad_final_) || !covers(quad_final_, quad_current_))
            fail_at(quad_section_line_,
                    quad_section_name_ + " gives a different quadratic objective than an earlier section");
    }
    quad_current_.clear();
}

// ------------------------------------------------------------ conic extension

int32_t Reader::column_of(string_view name, const char* where) {
    int32_t col;
    std::string why;
    if (!lookup_column(name, where, col, why)) fail(why);
    return col;
}

double Reader::finite_number(string_view text, const char* what) {
    double value;
    std::string why;
    if (!number(text, value, why)) fail(why);
    if (!std::isfinite(value)) fail(std::string("infinite ") + what + " " + quote(text));
    return value;
}

int64_t Reader::afe_index(string_view text) {
    int64_t afe = -1;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), afe);
    if (ec != std::errc() || end != text.data() + text.size() || afe < 0 || afe >= conic_->numafe)
        fail("bad affine expression index " + quote(text) + " (AFES declares " + std::to_string(conic_->numafe) + ")");
    return afe;
}

void Reader::start_cone(string_view rest) {
    const Fields t = split_free(rest);
    if (t.n != 3) fail("CSECTION needs a name, a parameter and a cone type");
    static constexpr std::pair<const char*, int32_t> kTypes[] = {
        {"QUAD", VLT_CT_QUAD}, {"RQUAD", VLT_CT_RQUAD}, {"PEXP", VLT_CT_PEXP}, {"DEXP", VLT_CT_DEXP},
        {"PPOW", VLT_CT_PPOW}, {"DPOW", VLT_CT_DPOW},   {"ZERO", VLT_CT_ZERO}};
    MpsConic::Cone cone;
    cone.type = -1;
    for (const auto& [text, type] : kTypes)
        if (iequals(t.f[2], text)) cone.type = type;
    if (cone.type < 0) fail("unknown cone type " + quote(t.f[2]));
    double value;
    std::string why;
    if (!number(t.f[1], value, why)) fail(why);
    cone.parameter = value;
    cone.name = std::string(t.f[0]);
    conic_->cones.push_back(std::move(cone));
}

void Reader::cone_line(const Fields& t) {
    if (t.n != 1) fail("a CSECTION line names one member column");
    conic_->cones.back().members.push_back(column_of(t.f[0], "CSECTION"));
}

void Reader::start_afes(string_view rest) {
    int64_t n = -1;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), n);
    if (ec != std::errc() || end != rest.data() + rest.size() || n < 0 || n > std::numeric_limits<int32_t>::max())
        fail("AFES needs the number of affine expressions");
    if (n > declared_items_budget(text_.size()))
        fail("AFES declares " + std::to_string(n) + " affine expressions, more than a file of " +
             std::to_string(text_.size()) + " bytes may declare (" + std::to_string(declared_items_budget(text_.size())) + ")");
    conic_->numafe = n;
    afes_declared_ = true;
    // Room for g grows with the file, not with a declared count.
    g_given_.clear();
}

void Reader::afe_line(const Fields& t) {
    if (t.n != 2 && t.n != 3) fail("an AFES line holds an index, a column and a value, or an index and a constant");
    const int64_t afe = afe_index(t.f[0]);
    if (t.n == 2) {
        if (size_t(afe) >= g_given_.size()) g_given_.resize(size_t(afe) + 1, 0);
        if (g_given_[size_t(afe)]) fail("a second constant for affine expression " + std::to_string(afe));
        g_given_[size_t(afe)] = 1;
        const double g = finite_number(t.f[1], "constant");
        if (conic_->g.size() <= size_t(afe)) conic_->g.resize(size_t(afe) + 1, 0.0);
        conic_->g[size_t(afe)] = g;
        return;
    }
    const int32_t col = column_of(t.f[1], "AFES");
    const double value = finite_number(t.f[2], "coefficient");
    const auto [it, fresh] = f_seen_.emplace(pair_key(int32_t(afe), col), line_no_);
    if (!fresh)
        fail("column " + quote(t.f[1]) + " given twice in affine expression " + std::to_string(afe) +
             " (first on line " + std::to_string(it->second) + ")");
    conic_->f_afe.push_back(afe);
    conic_->f_col.push_back(col);
    conic_->f_val.push_back(value);
}

void Reader::domain_line(const Fields& t) {
    if (t.n < 3) fail("a DOMAINS line holds a name, a kind and a dimension");
    static constexpr std::pair<const char*, int32_t> kKinds[] = {
        {"R", VLT_DOMAIN_R},
        {"RZERO", VLT_DOMAIN_RZERO},
        {"RPLUS", VLT_DOMAIN_RPLUS},
        {"RMINUS", VLT_DOMAIN_RMINUS},
        {"QUADRATIC_CONE", VLT_DOMAIN_QUADRATIC_CONE},
        {"RQUADRATIC_CONE", VLT_DOMAIN_RQUADRATIC_CONE},
        {"PRIMAL_EXP_CONE", VLT_DOMAIN_PRIMAL_EXP_CONE},
        {"DUAL_EXP_CONE", VLT_DOMAIN_DUAL_EXP_CONE},
        {"PRIMAL_POWER_CONE", VLT_DOMAIN_PRIMAL_POWER_CONE},
        {"DUAL_POWER_CONE", VLT_DOMAIN_DUAL_POWER_CONE},
        {"SVEC_PSD_CONE", VLT_DOMAIN_SVEC_PSD_CONE},
        {"PRIMAL_GEO_MEAN_CONE", VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE},
        {"DUAL_GEO_MEAN_CONE", VLT_DOMAIN_DUAL_GEO_MEAN_CONE}};
    MpsConic::Domain d;
    d.name = std::string(t.f[0]);
    d.type = -1;
    for (const auto& [text, kind] : kKinds)
        if (iequals(t.f[1], text)) d.type = kind;
    if (d.type < 0) fail("unknown domain kind " + quote(t.f[1]));
    auto [end, ec] = std::from_chars(t.f[2].data(), t.f[2].data() + t.f[2].size(), d.n);
    if (ec != std::errc() || end != t.f[2].data() + t.f[2].size()) fail("bad dimension " + quote(t.f[2]));
    for (int k = 3; k < t.n; ++k) d.alpha.push_back(finite_number(t.f[k], "weight"));
    try {
        domain_check_.append_domain(d.type, d.n, int64_t(d.alpha.size()), d.alpha.data());
    } catch (const Error& e) {
        fail("domain " + quote(t.f[0]) + ": " + e.message());
    }
    if (!domain_index_.emplace(d.name, int64_t(conic_->domains.size())).second)
        fail("duplicate domain name " + quote(t.f[0]));
    conic_->domains.push_back(std::move(d));
}

void Reader::acc_line(const Fields& t) {
    if (t.n != 2 && t.n != 4) fail("an ACCS line holds a name, a domain, an affine expression index and b");
    const std::string name(t.f[0]);
    const bool continues = !conic_->accs.empty() && conic_->accs.back().name == name &&
                           int64_t(conic_->accs.back().afes.size()) < conic_->domains[size_t(conic_->accs.back().domain)].n;
    if (!continues) {
        finish_acc();
        auto dom = domain_index_.find(std::string(t.f[1]));
        if (dom == domain_index_.end()) fail("unknown domain " + quote(t.f[1]) + " in ACCS");
        if (!acc_index_.emplace(name, int64_t(conic_->accs.size())).second) fail("duplicate constraint name " + quote(t.f[0]));
        conic_->accs.push_back({name, dom->second, {}, {}});
        acc_line_ = line_no_;
    } else if (conic_->domains[size_t(conic_->accs.back().domain)].name != t.f[1]) {
        fail("constraint " + quote(t.f[0]) + " changes its domain");
    }
    if (t.n == 2) return;
    MpsConic::Acc& acc = conic_->accs.back();
    acc.afes.push_back(afe_index(t.f[2]));
    acc.b.push_back(finite_number(t.f[3], "constant b"));
}

// The cone just read obeys the rules of cones on variables (among them: a
// column belongs to one cone at most).
void Reader::finish_cone() {
    const MpsConic::Cone& cone = conic_->cones.back();
    try {
        cone_check_.append_cone(cone.type, cone.parameter, int32_t(cone.members.size()), cone.members.data(),
                                int32_t(col_name_.size()));
    } catch (const Error& e) {
        fail("the cone of the CSECTION that ends here: " + e.message());
    }
}

// A constraint has as many rows as its domain's dimension.
void Reader::finish_acc() {
    if (conic_ == nullptr || conic_->accs.empty()) return;
    const MpsConic::Acc& acc = conic_->accs.back();
    const int64_t n = conic_->domains[size_t(acc.domain)].n;
    if (int64_t(acc.afes.size()) != n)
        fail_at(acc_line_, "constraint " + quote(acc.name) + " has " + std::to_string(acc.afes.size()) +
                               " rows for a domain of dimension " + std::to_string(n));
}


void Reader::dispatch(string_view line, TryFn fn) {
    std::string why;
    if (flavor_ == MpsFlavor::fixed) {
        if (!(this->*fn)(split_fixed(line), true, why)) fail(why);
        return;
    }
    std::string fixed_why;
    bool tried_fixed = false;
    if (flavor_ == MpsFlavor::automatic && fixed_compatible(line)) {
        const Fields fields = split_fixed(line);
        if ((this->*fn)(fields, true, fixed_why)) {
            if (!names_with_spaces_ && has_inner_space(fields)) names_with_spaces_ = true;
            return;
        }
        tried_fixed = true;
    }
    Fields fields = split_free(line);
    if (fields.overflow) {
        fields.n = kMaxTokens;
        why = "too many fields";
    } else if ((this->*fn)(fields, false, why)) {
        return;
    }
    // A token starting with '$' or '*' after the first may open a trailing
    // comment; try the line cut there, last such token first.
    for (int k = fields.n - 1; k >= 1; --k) {
        const char lead = fields.f[k][0];
        if (lead != '$' && lead != '*') continue;
        Fields cut = fields;
        cut.n = k;
        std::string ignored;
        if ((this->*fn)(cut, false, ignored)) return;
    }
    // Once the file has shown names with spaces, the column reading is the
    // one whose complaint is meaningful.
    fail(tried_fixed && names_with_spaces_ ? fixed_why : why);
}

void Reader::data_line(string_view line) {
    switch (section_) {
        case Section::rows:
            dispatch(line, &Reader::try_rows);
            break;
        case Section::columns:
            if (!marker_line(line)) dispatch(line, &Reader::try_columns);
            break;
        case Section::rhs:
            dispatch(line, &Reader::try_rhs);
            break;
        case Section::ranges:
            dispatch(line, &Reader::try_ranges);
            break;
        case Section::bounds:
            dispatch(line, &Reader::try_bounds);
            break;
        case Section::quadobj:
        case Section::qmatrix:
        case Section::qsection:
        case Section::qcmatrix:
            dispatch(line, &Reader::try_quadratic);
            break;
        case Section::csection:
        case Section::afes:
        case Section::domains:
        case Section::accs: {
            const Fields t = split_free(line);
            if (t.overflow) fail("too many fields");
            if (section_ == Section::csection) cone_line(t);
            else if (section_ == Section::afes) afe_line(t);
            else if (section_ == Section::domains) domain_line(t);
            else acc_line(t);
            break;
        }
        case Section::objsense: {
            const Fields t = split_free(line);
            if (sense_given_ || t.n < 1) fail("unexpected line in OBJSENSE section");
            if (iequals(t.f[0], "MAX") || iequals(t.f[0], "MAXIMIZE"))
                sense_ = VLT_OBJECTIVE_SENSE_MAXIMIZE;
            else if (iequals(t.f[0], "MIN") || iequals(t.f[0], "MINIMIZE"))
                sense_ = VLT_OBJECTIVE_SENSE_MINIMIZE;
            else
                fail("unknown objective sense " + quote(t.f[0]));
            sense_given_ = true;
            break;
        }
        case Section::objname:
            if (objective_requested_) fail("unexpected line in OBJNAME section");
            requested_objective_ = trim(line);
            objective_requested_ = true;
            break;
        case Section::none:
            fail("data line before the first section");
        case Section::name:
            fail("unexpected data line after NAME");
    }
}

// Returns false at ENDATA.
bool Reader::header_line(string_view line) {
    size_t end = 0;
    while (end < line.size() && !is_space(line[end])) ++end;
    const string_view keyword = line.substr(0, end);
    const string_view rest = trim(line.substr(end));

    if (section_ == Section::quadobj || section_ == Section::qmatrix || section_ == Section::qsection)
        finish_quadratic_section();
    if (section_ == Section::accs) finish_acc();
    if (section_ == Section::csection) finish_cone();
    if (section_ == Section::rows && objective_requested_ && objective_row_ < 0)
        fail("objective row " + quote(requested_objective_) + " named in OBJNAME is not an N row");

    struct Known {
        const char* keyword;
        Section section;
    };
    static constexpr Known kSections[] = {
        {"NAME", Section::name},       {"OBJSENSE", Section::objsense}, {"OBJNAME", Section::objname},
        {"ROWS", Section::rows},       {"COLUMNS", Section::columns},   {"RHS", Section::rhs},
        {"RANGES", Section::ranges},   {"BOUNDS", Section::bounds},     {"QUADOBJ", Section::quadobj},
        {"QMATRIX", Section::qmatrix}, {"QSECTION", Section::qsection}, {"QCMATRIX", Section::qcmatrix},
        {"CSECTION", Section::csection}, {"AFES", Section::afes},         {"DOMAINS", Section::domains},
        {"ACCS", Section::accs},
    };
    // Some writers put the sense of an OBJSENSE section in the first column.
    if (section_ == Section::objsense && !sense_given_ && rest.empty()) {
        const bool max = iequals(keyword, "MAX") || iequals(keyword, "MAXIMIZE");
        if (max || iequals(keyword, "MIN") || iequals(keyword, "MINIMIZE")) {
            sense_ = max ? VLT_OBJECTIVE_SENSE_MAXIMIZE : VLT_OBJECTIVE_SENSE_MINIMIZE;
            sense_given_ = true;
            return true;
        }
    }
    if (keyword == "ENDATA") {
        section_ = Section::none;
        return false;
    }
    Section next = Section::none;
    for (const Known& k : kSections)
        if (keyword == k.keyword) next = k.section;
    if (next == Section::none) {
        if (keyword == "SOS" || keyword == "INDICATORS" || keyword == "LAZYCONS" || keyword == "USERCUTS")
            fail("section " + std::string(keyword) + " is not supported");
        fail("unknown section " + quote(keyword));
    }
    const bool conic = next == Section::csection || next == Section::afes || next == Section::domains ||
                       next == Section::accs;
    if (conic && !conic_) fail("section " + std::string(keyword) + " is not supported here");
    if (conic && !(seen_sections_ & (1u << unsigned(Section::columns))))
        fail("section " + std::string(keyword) + " before COLUMNS");
    if (next == Section::accs && !(seen_sections_ & (1u << unsigned(Section::domains))))
        fail("ACCS before DOMAINS");
    if (next == Section::domains && !afes_declared_) fail("DOMAINS before AFES");
    const unsigned bit = 1u << unsigned(next);
    if ((seen_sections_ & bit) && next != Section::quadobj && next != Section::qmatrix &&
        next != Section::qsection && next != Section::qcmatrix && next != Section::csection)
        fail("section " + std::string(keyword) + " appears twice");
    seen_sections_ |= bit;
    section_ = next;

    switch (next) {
        case Section::name:
            name_ = std::string(rest);
            break;
        case Section::objsense:
            if (!rest.empty()) {
                if (iequals(rest, "MAX") || iequals(rest, "MAXIMIZE"))
                    sense_ = VLT_OBJECTIVE_SENSE_MAXIMIZE;
                else if (iequals(rest, "MIN") || iequals(rest, "MINIMIZE"))
                    sense_ = VLT_OBJECTIVE_SENSE_MINIMIZE;
                else
                    fail("unknown objective sense " + quote(rest));
                sense_given_ = true;
            }
            break;
        case Section::objname:
            if (!rest.empty()) {
                requested_objective_ = rest;
                objective_requested_ = true;
            }
            break;
        case Section::quadobj:
        case Section::qmatrix:
        case Section::qsection:
            quad_full_matrix_ = next == Section::qmatrix;
            quad_section_line_ = line_no_;
            quad_section_name_ = std::string(keyword);
            if (next == Section::qsection && !rest.empty() &&
                (objective_row_ < 0 || rest != row_name_[size_t(objective_row_)])) {
                if (row_index_.count(rest))
                    fail("quadratic constraints (QSECTION " + quote(rest) + ") are not supported");
                fail("unknown row name " + quote(rest) + " in QSECTION");
            }
            break;
        case Section::csection:
            start_cone(rest);
            break;
        case Section::afes:
            start_afes(rest);
            break;
        case Section::qcmatrix: {
            quad_full_matrix_ = true;
            quad_section_name_ = "QCMATRIX";
            int32_t row = -1;
            std::string why;
            if (rest.empty()) fail("QCMATRIX needs a row name");
            if (!lookup_row(rest, "QCMATRIX", row, why)) fail(why);
            if (row_con_[size_t(row)] < 0) fail("QCMATRIX row " + quote(rest) + " is not a constraint");
            qc_con_ = row_con_[size_t(row)];
            if (qc_terms_.count(qc_con_)) fail("a second QCMATRIX section for row " + quote(rest));
            qc_terms_[qc_con_];
            break;
        }
        default:
            break;
    }
    return true;
}

model::ProblemData Reader::run() {
    const char* p = text_.data();
    const char* const end = p + text_.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* line_end = nl ? nl : end;
        string_view line(p, size_t(line_end - p));
        p = nl ? nl + 1 : end;
        ++line_no_;
        while (!line.empty() && is_space(line.back())) line.remove_suffix(1);
        if (line.empty() || line[0] == '*') continue;
        if (!is_space(line[0])) {
            if (!header_line(line)) {
                ended_ = true;
                break;
            }
        } else {
            data_line(line);
        }
    }
    if (!ended_) {
        ++line_no_;
        fail("missing ENDATA");
    }
    if (!(seen_sections_ & (1u << unsigned(Section::rows)))) fail_at(line_no_, "no ROWS section");
    if (!(seen_sections_ & (1u << unsigned(Section::columns)))) fail_at(line_no_, "no COLUMNS section");
    return build();
}

model::ProblemData Reader::build() {
    model::ProblemData d;
    const size_t m = con_type_.size(), n = col_name_.size();
    if (m > size_t(std::numeric_limits<int32_t>::max()) || n > size_t(std::numeric_limits<int32_t>::max()))
        fail("too many rows or columns");
    d.numcon = int32_t(m);
    d.numvar = int32_t(n);
    d.sense = sense_;
    d.cfix = cfix_;
    d.name = name_;
    if (objective_row_ >= 0) d.objname = std::string(row_name_[size_t(objective_row_)]);

    d.bkc.resize(m);
    d.blc.resize(m);
    d.buc.resize(m);
    d.conname.reserve(m);
    for (size_t i = 0; i < m; ++i) {
        const double rhs = rhs_[i], r = range_[i];
        double lo = rhs, up = rhs;
        switch (con_type_[i]) {
            case 'L':
                lo = range_given_[i] ? rhs - std::abs(r) : -kInf;
                break;
            case 'G':
                up = range_given_[i] ? rhs + std::abs(r) : kInf;
                break;
            default:  // 'E'
                if (range_given_[i]) (r > 0 ? up : lo) = rhs + r;
                break;
        }
        d.blc[i] = lo;
        d.buc[i] = up;
        // An L or G row with a range is ranged, even when the range is 0.
        const bool ranged = range_given_[i] && con_type_[i] != 'E' && std::isfinite(lo) && std::isfinite(up);
        d.bkc[i] = ranged ? VLT_BK_RA : bound_key(lo, up);
        d.conname.emplace_back(row_name_[size_t(con_row_[i])]);
    }

    d.c = cost_;
    d.blx = lower_;
    d.bux = upper_;
    d.bkx.resize(n);
    d.vartype.resize(n);
    d.varname.reserve(n);
    for (size_t j = 0; j < n; ++j) {
        // Equal LO and UP bounds make a range; FX (or UP alone at the default lower bound) fixes.
        d.bkx[j] = lower_given_[j] && !fixed_[j] && lower_[j] == upper_[j] && std::isfinite(lower_[j]) ? VLT_BK_RA
                                                                                 : bound_key(lower_[j], upper_[j]);
        d.vartype[j] = is_integer_[j] ? VLT_VAR_TYPE_INT : VLT_VAR_TYPE_CONT;
        d.varname.emplace_back(col_name_[j]);
    }
    if (any_semicont_) d.semicont = semicont_;

    // Column-wise matrix: a stable counting sort of the entries by column.
    const size_t nz = entry_col_.size();
    d.aptr.assign(n + 1, 0);
    for (int32_t j : entry_col_) ++d.aptr[size_t(j) + 1];
    for (size_t j = 0; j < n; ++j) d.aptr[j + 1] += d.aptr[j];
    d.asub.resize(nz);
    d.aval.resize(nz);
    std::vector<int64_t> fill(d.aptr.begin(), d.aptr.end() - 1);
    std::vector<int64_t> origin(nz);
    for (size_t k = 0; k < nz; ++k) {
        const int64_t pos = fill[size_t(entry_col_[k])]++;
        d.asub[size_t(pos)] = entry_con_[k];
        d.aval[size_t(pos)] = entry_val_[k];
        origin[size_t(pos)] = int64_t(k);
    }
    std::vector<int32_t> seen_in(m, -1);
    std::vector<int64_t> seen_at(m, 0);
    for (size_t j = 0; j < n; ++j) {
        for (int64_t pos = d.aptr[j]; pos < d.aptr[j + 1]; ++pos) {
            const size_t i = size_t(d.asub[size_t(pos)]);
            if (seen_in[i] == int32_t(j)) {
                fail_at(entry_line_[size_t(origin[size_t(pos)])],
                        "duplicate entry for column " + quote(col_name_[j]) + " in row " +
                            quote(row_name_[size_t(con_row_[i])]) + " (first given on line " +
                            std::to_string(entry_line_[size_t(origin[size_t(seen_at[i])])]) + ")");
            }
            seen_in[i] = int32_t(j);
            seen_at[i] = pos;
        }
    }

    std::vector<std::pair<uint64_t, double>> quad(quad_final_.begin(), quad_final_.end());
    // Column-major order of the lower triangle.
    std::sort(quad.begin(), quad.end(), [](const auto& a, const auto& b) {
        const uint64_t ka = (a.first << 32) | (a.first >> 32), kb = (b.first << 32) | (b.first >> 32);
        return ka < kb;
    });
    d.qosubi.reserve(quad.size());
    d.qosubj.reserve(quad.size());
    d.qoval.reserve(quad.size());
    for (const auto& [key, value] : quad) {
        d.qosubi.push_back(int32_t(key >> 32));
        d.qosubj.push_back(int32_t(key & 0xffffffffu));
        d.qoval.push_back(value);
    }
    // The file's QCMATRIX gives x'Qx; the stored Q_k is that of 0.5 x'Q_k x.
    for (const auto& [con, terms] : qc_terms_) {
        std::vector<std::pair<uint64_t, double>> sorted(terms.begin(), terms.end());
        std::sort(sorted.begin(), sorted.end());
        for (const auto& [key, value] : sorted) {
            d.qcsubk.push_back(con);
            d.qcsubi.push_back(int32_t(key >> 32));
            d.qcsubj.push_back(int32_t(key & 0xffffffffu));
            d.qcval.push_back(2.0 * value);
        }
    }
    return d;
}

std::string read_plain_file(const std::string& path, std::FILE* f) {
    std::string data;
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, got);
    if (std::ferror(f)) throw Error(VLT_RES_ERR_FILE_READ, "cannot read " + path);
    return data;
}

std::string read_gzip_file(const std::string& path) {
    gzFile gz = gzopen(path.c_str(), "rb");
    if (!gz) throw Error(VLT_RES_ERR_FILE_OPEN, "cannot open " + path);
    gzbuffer(gz, 1 << 17);
    std::string data;
    std::unique_ptr<char[]> buffer(new char[1 << 17]);
    for (;;) {
        const int got = gzread(gz, buffer.get(), 1 << 17);
        if (got < 0) {
            int code = 0;
            std::string why = gzerror(gz, &code);
            gzclose(gz);
            throw Error(VLT_RES_ERR_COMPRESSION, "cannot decompress " + path + ": " + why);
        }
        if (got == 0) break;
        data.append(buffer.get(), size_t(got));
    }
    // gzclose reports a stream that ended in the middle of a member.
    const int closed = gzclose(gz);
    if (closed != Z_OK)
        throw Error(VLT_RES_ERR_COMPRESSION, "cannot decompress " + path + ": truncated or corrupt gzip data");
    return data;
}

}  // namespace

model::ProblemData read_mps_text(string_view text, const std::string& source_name, MpsFlavor flavor,
                                 MpsReadInfo* info, MpsConic* conic) {
    Reader reader(text, source_name, flavor, info, conic);
    return reader.run();
}

model::ProblemData read_mps(std::istream& in, const std::string& source_name, MpsFlavor flavor, MpsReadInfo* info) {
    std::string data;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) data.append(buffer, size_t(in.gcount()));
    if (in.bad()) throw Error(VLT_RES_ERR_FILE_READ, "cannot read " + source_name);
    return read_mps_text(data, source_name, flavor, info);
}

model::ProblemData read_mps_file(const std::string& path, MpsFlavor flavor, MpsReadInfo* info) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw Error(VLT_RES_ERR_FILE_OPEN, "cannot open " + path);
    unsigned char magic[2] = {0, 0};
    const size_t got = std::fread(magic, 1, 2, f);
    std::string data;
    if (got == 2 && magic[0] == 0x1f && magic[1] == 0x8b) {
        std::fclose(f);
        data = read_gzip_file(path);
    } else {
        std::rewind(f);
        try {
            data = read_plain_file(path, f);
        } catch (...) {
            std::fclose(f);
            throw;
        }
        std::fclose(f);
    }
    return read_mps_text(data, path, flavor, info);
}

}  // namespace vlt::io
