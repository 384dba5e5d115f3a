#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <unordered_map>

#include "base/error.hpp"
#include "io/lp_format.hpp"
#include "io/text_fields.hpp"

namespace vlt::io {

namespace {

using std::string_view;

constexpr double kInf = std::numeric_limits<double>::infinity();

enum class Kind { name, number, op };

struct Token {
    Kind kind;
    string_view text;
    double value = 0.0;  // numbers
    int64_t line = 0;
    bool line_start = false;  // the first token of its line
};

bool name_char(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80) return true;
    return c != '\0' && std::strchr("!\"#$%&()/,.;?@_`'{}|~", c) != nullptr;
}

bool iequal(string_view a, string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(a[k])) != std::tolower(static_cast<unsigned char>(b[k]))) return false;
    return true;
}

bool is_infinity_word(string_view s) { return iequal(s, "inf") || iequal(s, "infinity"); }

enum class Section { none, objective, constraints, bounds, general, binary, semi, sos, end };

class Reader {
public:
    Reader(string_view text, const std::string& source, std::vector<std::string>& warnings, VLTrescodee code)
        : text_(text), source_(source), warnings_(warnings), code_(code) {}

    TaskImage run();

private:
    [[noreturn]] void fail_line(int64_t line, const std::string& why) const {
        fail(code_, source_ + ":" + std::to_string(line) + ": " + why);
    }
    [[noreturn]] void fail_at(size_t pos, const std::string& why) const {
        fail_line(pos < tokens_.size() ? tokens_[pos].line : last_line_, why);
    }
    void warn(int64_t line, const std::string& text) {
        if (warnings_.size() < 100) warnings_.push_back(source_ + ":" + std::to_string(line) + ": " + text);
    }
    std::string shown(size_t pos) const {
        if (pos >= tokens_.size()) return "the end of the file";
        std::string t(tokens_[pos].text.substr(0, 40));
        return "'" + t + "'";
    }

    void tokenize();
    void comment(string_view text, int64_t line);
    // The section a keyword at pos starts, and how many tokens it takes.
    bool section_at(size_t pos, Section& section, size_t& length) const;
    bool at_boundary(size_t pos) const {
        Section s;
        size_t n;
        return pos >= tokens_.size() || section_at(pos, s, n);
    }
    // The end of a constraint: a section, the next constraint's "name:", the end.
    bool row_ends(size_t pos) const {
        return at_boundary(pos) || (tokens_[pos].kind == Kind::name && is_op(pos + 1, ":"));
    }
    bool is_op(size_t pos, string_view op) const {
        return pos < tokens_.size() && tokens_[pos].kind == Kind::op && tokens_[pos].text == op;
    }
    bool is_sense(size_t pos) const {
        return pos < tokens_.size() && tokens_[pos].kind == Kind::op &&
               (tokens_[pos].text[0] == '<' || tokens_[pos].text[0] == '>' || tokens_[pos].text[0] == '=');
    }
    // -1 (<=), +1 (>=) or 0 (=).
    int sense_of(size_t pos) const {
        const string_view s = tokens_[pos].text;
        if (s == "=") return 0;
        return s.find('<') != string_view::npos ? -1 : 1;
    }
    // A signed number (or infinity) at pos, or false.
    bool number_at(size_t pos, double& value, size_t& length) const;
    double bound_value(double v) const { return v >= 1e30 ? kInf : v <= -1e30 ? -kInf : v; }

    int32_t variable(size_t pos);
    // Terms of an expression: linear entries (merged), quadratic terms,
    // constant.  Stops at a sense, at ':' or at a section keyword.
    struct Expression {
        std::vector<std::pair<int32_t, double>> linear;
        std::map<std::pair<int32_t, int32_t>, double> quadratic;  // (i >= j) -> entry of Q (0.5 x'Qx)
        double constant = 0.0;
        bool has_constant = false;  // the first constant is taken as it is (keeping -0)
    };
    size_t expression(size_t pos, Expression& e);
    size_t bracket(size_t pos, Expression& e);
    void add_linear(Expression& e, int32_t j, double v, int64_t line);

    size_t objective(size_t pos);
    size_t constraint(size_t pos);
    size_t bound(size_t pos);
    size_t type_list(size_t pos, Section section);

    string_view text_;
    const std::string& source_;
    std::vector<std::string>& warnings_;
    VLTrescodee code_;
    std::vector<Token> tokens_;
    int64_t last_line_ = 1;
    std::string task_name_;
    bool objective_seen_ = false;

    std::unordered_map<string_view, int32_t> var_index_;
    std::vector<string_view> var_name_;
    std::vector<double> lower_, upper_;
    std::vector<uint8_t> upper_given_, integer_, binary_;
    std::vector<uint8_t> fixed_;  // the last bound of the variable fixed it ("x = v"); else l = u is a range
    std::vector<int32_t> seen_in_;  // per variable: the expression that last added it (merging)
    int32_t expression_serial_ = 0;

    int32_t sense_ = VLT_OBJECTIVE_SENSE_MINIMIZE;
    std::string objname_;
    Expression objective_;
    struct Row {
        std::string name;
        int32_t key;  // VLT_BK_RA when written "l <= terms <= u" (a range even if l = u), else VLT_BK_FR
        double lower, upper;
        Expression terms;
    };
    std::vector<Row> rows_;
};

void Reader::comment(string_view text, int64_t line) {
    // "\ Problem name: x" before the objective names the task.
    if (objective_seen_ || !tokens_.empty()) return;
    size_t b = text.find_first_not_of(" \t");
    if (b == string_view::npos) return;
    text.remove_prefix(b);
    static constexpr string_view kTitle = "Problem name:";
    if (text.size() >= kTitle.size() && iequal(text.substr(0, kTitle.size()), kTitle)) {
        string_view name = text.substr(kTitle.size());
        while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '\r')) name.remove_suffix(1);
        task_name_ = std::string(name);
    }
    (void)line;
}

void Reader::tokenize() {
    const char* p = text_.data();
    const char* const end = p + text_.size();
    int64_t line = 1;
    bool line_start = true;
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\n') {
            ++line;
            line_start = true;
            ++p;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++p;
            continue;
        }
        if (c == '\\') {
            const char* e = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            if (!e) e = end;
            comment(string_view(p + 1, size_t(e - p - 1)), line);
            p = e;
            continue;
        }
        Token t{Kind::op, {}, 0.0, line, line_start};
        line_start = false;
        if ((c >= '0' && c <= '9') || (c == '.' && p + 1 < end && p[1] >= '0' && p[1] <= '9')) {
            auto [stop, ec] = std::from_chars(p, end, t.value, std::chars_format::general);
            if (ec == std::errc::result_out_of_range) {
                // Too large is infinite, too small zero.
                const string_view digits(p, size_t(stop - p));
                const size_t e = digits.find_first_of("eE");
                t.value = e != string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-' ? 0.0 : kInf;
            } else if (ec != std::errc()) {
                fail_line(line, "bad number");
            }
            t.kind = Kind::number;
            t.text = string_view(p, size_t(stop - p));
            p = stop;
        } else if (name_char(c) && c != '.' && !(c == '/' && !tokens_.empty() && tokens_.back().text == "]")) {
            // '/' is a name character, and the divisor sign after a quadratic bracket.
            const char* q = p;
            while (q < end && name_char(static_cast<unsigned char>(*q))) ++q;
            t.kind = Kind::name;
            t.text = string_view(p, size_t(q - p));
            p = q;
        } else {
            size_t n = 1;
            for (const char* two : {"<=", ">=", "=<", "=>", "->"})
                if (p + 1 < end && c == two[0] && p[1] == two[1]) n = 2;
            if (!std::strchr("+-*^/[]:<>=", c) && n == 1) {
                std::string shown = c >= 0x20 && c < 0x7f ? std::string(1, char(c)) : "byte " + std::to_string(c);
                fail_line(line, "unexpected character '" + shown + "'");
            }
            if (c == '.') fail_line(line, "unexpected '.'");
            t.text = string_view(p, n);
            p += n;
        }
        tokens_.push_back(t);
    }
    last_line_ = line;
}

bool Reader::section_at(size_t pos, Section& section, size_t& length) const {
    if (pos >= tokens_.size()) return false;
    const Token& t = tokens_[pos];
    if (!t.line_start || t.kind != Kind::name) return false;
    if (is_op(pos + 1, ":")) return false;  // a label such as "end:"
    const string_view w = t.text;
    length = 1;
    for (const char* k : {"minimize", "maximize", "minimise", "maximise", "minimum", "maximum", "min", "max"})
        if (iequal(w, k)) {
            section = Section::objective;
            return true;
        }
    auto next_is = [&](const char* word) {
        return pos + 1 < tokens_.size() && tokens_[pos + 1].kind == Kind::name && iequal(tokens_[pos + 1].text, word) &&
               tokens_[pos + 1].line == t.line;
    };
    if ((iequal(w, "subject") && next_is("to")) || (iequal(w, "such") && next_is("that"))) {
        section = Section::constraints;
        length = 2;
        return true;
    }
    struct Word {
        const char* text;
        Section section;
    };
    static constexpr Word kWords[] = {
        {"st", Section::constraints},  {"s.t.", Section::constraints},  {"st.", Section::constraints},
        {"bounds", Section::bounds},   {"bound", Section::bounds},      {"general", Section::general},
        {"generals", Section::general}, {"gen", Section::general},      {"integer", Section::general},
        {"integers", Section::general}, {"binary", Section::binary},    {"binaries", Section::binary},
        {"bin", Section::binary},      {"semis", Section::semi},        {"sos", Section::sos},
        {"end", Section::end}};
    for (const Word& k : kWords)
        if (iequal(w, k.text)) {
            section = k.section;
            return true;
        }
    if (iequal(w, "semi")) {  // "semi" or "semi-continuous"
        section = Section::semi;
        if (is_op(pos + 1, "-") && pos + 2 < tokens_.size() && iequal(tokens_[pos + 2].text, "continuous")) length = 3;
        return true;
    }
    return false;
}

bool Reader::number_at(size_t pos, double& value, size_t& length) const {
    double sign = 1.0;
    size_t k = pos;
    while (k < tokens_.size() && tokens_[k].kind == Kind::op && (tokens_[k].text == "+" || tokens_[k].text == "-")) {
        if (tokens_[k].text == "-") sign = -sign;
        ++k;
    }
    if (k >= tokens_.size() || (k > pos && tokens_[k].line_start && at_boundary(k))) return false;
    const Token& t = tokens_[k];
    if (t.kind == Kind::number) {
        value = sign * t.value;
    } else if (t.kind == Kind::name && is_infinity_word(t.text)) {
        value = sign * kInf;
    } else {
        return false;
    }
    length = k + 1 - pos;
    return true;
}

int32_t Reader::variable(size_t pos) {
    const Token& t = tokens_[pos];
    if (t.kind != Kind::name) fail_at(pos, "expected a variable name, found " + shown(pos));
    if (is_infinity_word(t.text)) fail_at(pos, "'" + std::string(t.text) + "' is not a variable name");
    auto [it, fresh] = var_index_.emplace(t.text, int32_t(var_name_.size()));
    if (fresh) {
        if (var_name_.size() >= size_t(std::numeric_limits<int32_t>::max())) fail_at(pos, "too many variables");
        var_name_.push_back(t.text);
        lower_.push_back(0.0);
        upper_.push_back(kInf);
        upper_given_.push_back(0);
        fixed_.push_back(0);
        integer_.push_back(0);
        binary_.push_back(0);
        seen_in_.push_back(-1);
    }
    return it->second;
}

void Reader::add_linear(Expression& e, int32_t j, double v, int64_t line) {
    if (seen_in_[size_t(j)] == expression_serial_) {
        for (auto& [col, value] : e.linear)
            if (col == j) {
                value += v;
                break;
            }
        warn(line, "variable '" + std::string(var_name_[size_t(j)]) + "' appears twice in one expression; coefficients added");
        return;
    }
    seen_in_[size_t(j)] = expression_serial_;
    e.linear.emplace_back(j, v);
}

size_t Reader::bracket(size_t pos, Expression& e) {
    const int64_t open_line = tokens_[pos].line;
    ++pos;  // '['
    struct Term {
        int32_t i, j;
        double v;
    };
    std::vector<Term> terms;
    while (!is_op(pos, "]")) {
        if (pos >= tokens_.size()) fail_line(open_line, "'[' without ']'");
        double sign = 1.0;
        while (is_op(pos, "+") || is_op(pos, "-")) sign = is_op(pos++, "-") ? -sign : sign;
        double coef = 1.0;
        if (pos < tokens_.size() && tokens_[pos].kind == Kind::number) coef = tokens_[pos++].value;
        if (pos >= tokens_.size()) fail_line(open_line, "'[' without ']'");
        const int32_t a = variable(pos++);
        int32_t b;
        if (is_op(pos, "^")) {
            if (pos + 1 >= tokens_.size() || tokens_[pos + 1].kind != Kind::number || tokens_[pos + 1].value != 2.0)
                fail_at(pos + 1, "only squares (^2) may stand in quadratic terms");
            pos += 2;
            b = a;
        } else if (is_op(pos, "*")) {
            b = variable(pos + 1);
            pos += 2;
        } else {
            fail_at(pos, "a term inside [ ] must be a square (x^2) or a product (x * y)");
        }
        if (!std::isfinite(coef)) fail_at(pos - 1, "infinite coefficient");
        terms.push_back({std::max(a, b), std::min(a, b), sign * coef});
    }
    ++pos;  // ']'
    double factor = 1.0;
    if (is_op(pos, "/")) {
        if (pos + 1 >= tokens_.size() || tokens_[pos + 1].kind != Kind::number || tokens_[pos + 1].value == 0.0 ||
            !std::isfinite(tokens_[pos + 1].value))
            fail_at(pos + 1, "expected a divisor after '/'");
        factor = 1.0 / tokens_[pos + 1].value;
        pos += 2;
    }
    // A term v x_i x_j is Q_ij = v of 0.5 x'Qx; v x_i^2 is Q_ii = 2v.
    for (const Term& t : terms) e.quadratic[{t.i, t.j}] += t.i == t.j ? 2 * t.v * factor : t.v * factor;
    return pos;
}

size_t Reader::expression(size_t pos, Expression& e) {
    ++expression_serial_;
    for (;;) {
        if (pos >= tokens_.size() || at_boundary(pos) || is_sense(pos) || is_op(pos, ":") || is_op(pos, "->")) return pos;
        const int64_t line = tokens_[pos].line;
        double sign = 1.0;
        bool signed_term = false;
        while (is_op(pos, "+") || is_op(pos, "-")) {
            sign = is_op(pos, "-") ? -sign : sign;
            ++pos;
            signed_term = true;
        }
        if (pos >= tokens_.size() || (signed_term && at_boundary(pos))) fail_line(line, "a sign without a term");
        if (is_op(pos, "[")) {
            if (sign < 0) fail_at(pos, "a '-' before '[' is not supported; put the signs inside");
            pos = bracket(pos, e);
            continue;
        }
        const Token& t = tokens_[pos];
        if (t.kind == Kind::number || (t.kind == Kind::name && is_infinity_word(t.text))) {
            const double coef = t.kind == Kind::number ? t.value : kInf;
            ++pos;
            if (pos < tokens_.size() && tokens_[pos].kind == Kind::name && !at_boundary(pos) &&
                !is_infinity_word(tokens_[pos].text)) {
                if (!std::isfinite(coef)) fail_at(pos - 1, "infinite coefficient");
                add_linear(e, variable(pos), sign * coef, line);
                ++pos;
            } else {
                if (!std::isfinite(coef)) fail_at(pos - 1, "infinite constant term");
                e.constant = e.has_constant ? e.constant + sign * coef : sign * coef;
                e.has_constant = true;
            }
            continue;
        }
        if (t.kind == Kind::name) {
            add_linear(e, variable(pos), sign, line);
            ++pos;
            continue;
        }
        fail_at(pos, "unexpected " + shown(pos));
    }
}

size_t Reader::objective(size_t pos) {
    objective_seen_ = true;
    if (pos < tokens_.size() && tokens_[pos].kind == Kind::name && is_op(pos + 1, ":") && !at_boundary(pos)) {
        objname_ = std::string(tokens_[pos].text);
        pos += 2;
    }
    pos = expression(pos, objective_);
    if (pos < tokens_.size() && !at_boundary(pos)) fail_at(pos, "unexpected " + shown(pos) + " in the objective");
    return pos;
}

size_t Reader::constraint(size_t pos) {
    Row row{"", VLT_BK_FR, -kInf, kInf, {}};
    const int64_t line = tokens_[pos].line;
    if (tokens_[pos].kind == Kind::name && is_op(pos + 1, ":")) {
        row.name = std::string(tokens_[pos].text);
        pos += 2;
    }
    // A left-hand bound: "l <= terms <= u".
    double left = 0.0;
    size_t n = 0;
    int left_sense = 2;
    if (number_at(pos, left, n) && is_sense(pos + n)) {
        left_sense = sense_of(pos + n);
        pos += n + 1;
    }
    int sense;
    double rhs;
    if (double only; left_sense != 2 && number_at(pos, only, n) && row_ends(pos + n)) {
        // "c: 0 >= 1", a row without variables: the first number is its
        // (constant) expression, the second its right-hand side.
        sense = left_sense;
        left_sense = 2;
        rhs = only;
        row.terms.constant = left;
        row.terms.has_constant = true;
        pos += n;
    } else {
        pos = expression(pos, row.terms);
        if (is_op(pos, "->")) fail_at(pos, "indicator constraints are not supported");
        if (!is_sense(pos)) fail_at(pos, "expected <=, >= or = after the terms of a constraint, found " + shown(pos));
        sense = sense_of(pos++);
        if (!number_at(pos, rhs, n)) fail_at(pos, "expected a number after the sense, found " + shown(pos));
        pos += n;
    }
    if (is_op(pos, "->")) fail_at(pos, "indicator constraints are not supported");
    // The constant moves to the bounds; a bound it pushes beyond 1e30 is
    // infinite, as such a number in the file would be.
    const double constant = row.terms.constant;
    rhs = bound_value(bound_value(rhs) - constant);
    double lower = -kInf, upper = kInf;
    if (sense <= 0) upper = rhs;
    if (sense >= 0) lower = rhs;
    if (left_sense != 2) {
        if (left_sense != sense || sense == 0) fail_line(line, "a ranged constraint needs two senses alike (<= ... <= or >= ... >=)");
        const double l = bound_value(bound_value(left) - constant);
        if (sense < 0) lower = l;
        else upper = l;
        row.key = VLT_BK_RA;
    }
    if (lower == kInf || upper == -kInf || (sense == 0 && std::isinf(rhs)))
        fail_line(line, "a constraint cannot have an infinite right-hand side on that side");
    row.lower = lower;
    row.upper = upper;
    rows_.push_back(std::move(row));
    return pos;
}

size_t Reader::bound(size_t pos) {
    const int64_t line = tokens_[pos].line;
    double value;
    size_t n;
    if (number_at(pos, value, n)) {  // l <= x [<= u], u >= x [>= l], v = x
        if (!is_sense(pos + n)) fail_at(pos + n, "expected a sense after the number in a bound");
        const int s = sense_of(pos + n);
        pos += n + 1;
        if (pos >= tokens_.size() || tokens_[pos].kind != Kind::name) fail_at(pos, "expected a variable in a bound");
        const int32_t j = variable(pos++);
        const double v = bound_value(value);
        fixed_[size_t(j)] = s == 0;
        if (s <= 0) lower_[size_t(j)] = v;
        if (s >= 0) {
            upper_[size_t(j)] = v;
            upper_given_[size_t(j)] = 1;
        }
        if (is_sense(pos)) {
            const int s2 = sense_of(pos);
            if (s2 != s || s == 0) fail_line(line, "a bound with two senses needs them alike");
            if (!number_at(pos + 1, value, n)) fail_at(pos + 1, "expected a number after the sense in a bound");
            pos += n + 1;
            (s2 < 0 ? upper_ : lower_)[size_t(j)] = bound_value(value);
            if (s2 < 0) upper_given_[size_t(j)] = 1;
        }
        return pos;
    }
    if (tokens_[pos].kind != Kind::name) fail_at(pos, "unexpected " + shown(pos) + " in the bounds");
    const int32_t j = variable(pos++);
    if (pos < tokens_.size() && tokens_[pos].kind == Kind::name && iequal(tokens_[pos].text, "free")) {
        lower_[size_t(j)] = -kInf;
        upper_[size_t(j)] = kInf;
        fixed_[size_t(j)] = 0;
        return pos + 1;
    }
    if (!is_sense(pos)) fail_at(pos, "expected a sense or 'free' after a variable in the bounds, found " + shown(pos));
    const int s = sense_of(pos++);
    fixed_[size_t(j)] = s == 0;
    if (!number_at(pos, value, n)) fail_at(pos, "expected a number in a bound, found " + shown(pos));
    pos += n;
    const double v = bound_value(value);
    if (s >= 0) lower_[size_t(j)] = v;
    if (s <= 0) {
        upper_[size_t(j)] = v;
        upper_given_[size_t(j)] = 1;
    }
    if (s == 0 && std::isinf(v)) fail_line(line, "a variable cannot be fixed at an infinite value");
    return pos;
}

size_t Reader::type_list(size_t pos, Section section) {
    if (tokens_[pos].kind != Kind::name) fail_at(pos, "expected a variable name, found " + shown(pos));
    if (section == Section::semi)
        fail_at(pos, "semi-continuous variables are not supported by tasks; nothing was read");
    const int32_t j = variable(pos);
    integer_[size_t(j)] = 1;
    if (section == Section::binary) binary_[size_t(j)] = 1;
    return pos + 1;
}

TaskImage Reader::run() {
    tokenize();
    Section section = Section::none;
    size_t pos = 0;
    while (pos < tokens_.size()) {
        Section next;
        size_t length;
        if (section_at(pos, next, length)) {
            if (next == Section::objective) {
                if (objective_seen_) fail_at(pos, "a second objective");
                const string_view w = tokens_[pos].text;
                sense_ = (w[1] == 'a' || w[1] == 'A') ? VLT_OBJECTIVE_SENSE_MAXIMIZE : VLT_OBJECTIVE_SENSE_MINIMIZE;
            } else if (!objective_seen_ && next != Section::end) {
                fail_at(pos, "the objective section (minimize or maximize) must come first");
            }
            if (next == Section::sos) fail_at(pos, "SOS constraints are not supported");
            section = next;
            pos += length;
            if (section == Section::objective) pos = objective(pos);
            if (section == Section::end) break;
            continue;
        }
        switch (section) {
            case Section::none: fail_at(pos, "expected the objective section (minimize or maximize), found " + shown(pos));
            case Section::constraints: pos = constraint(pos); break;
            case Section::bounds: pos = bound(pos); break;
            case Section::general:
            case Section::binary:
            case Section::semi: pos = type_list(pos, section); break;
            default: fail_at(pos, "unexpected " + shown(pos));
        }
    }
    if (!objective_seen_) fail_line(last_line_, "no objective section (minimize or maximize)");

    TaskImage im;
    const size_t n = var_name_.size(), m = rows_.size();
    if (m > size_t(std::numeric_limits<int32_t>::max())) fail_line(last_line_, "too many constraints");
    im.numvar = int32_t(n);
    im.numcon = int32_t(m);
    im.sense = sense_;
    im.cfix = objective_.constant;
    im.taskname = task_name_;
    im.objname = objname_;
    im.c.assign(n, 0.0);
    for (const auto& [j, v] : objective_.linear) im.c[size_t(j)] = v;
    for (const auto& [ij, v] : objective_.quadratic)
        if (v != 0.0) {
            im.qosubi.push_back(ij.first);
            im.qosubj.push_back(ij.second);
            im.qoval.push_back(v);
        }
    im.vartype.resize(n);
    im.bkx.resize(n);
    im.blx = lower_;
    im.bux = upper_;
    im.varname.assign(var_name_.begin(), var_name_.end());
    for (size_t j = 0; j < n; ++j) {
        if (binary_[j] && !upper_given_[j]) im.bux[j] = 1.0;
        im.vartype[j] = integer_[j] ? VLT_VAR_TYPE_INT : VLT_VAR_TYPE_CONT;
        const double l = im.blx[j], u = im.bux[j];
        im.bkx[j] = std::isinf(l) && std::isinf(u) ? VLT_BK_FR
                    : std::isinf(u)                 ? VLT_BK_LO
                    : std::isinf(l)                 ? VLT_BK_UP
                    : l == u && fixed_[j]           ? VLT_BK_FX
                                                    : VLT_BK_RA;
    }
    // The matrix by columns, rows in order within each column.
    im.aptr.assign(n + 1, 0);
    for (const Row& r : rows_)
        for (const auto& [j, v] : r.terms.linear) ++im.aptr[size_t(j) + 1];
    for (size_t j = 0; j < n; ++j) im.aptr[j + 1] += im.aptr[j];
    im.asub.resize(size_t(im.aptr[n]));
    im.aval.resize(size_t(im.aptr[n]));
    std::vector<int64_t> fill(im.aptr.begin(), im.aptr.end() - 1);
    for (size_t i = 0; i < m; ++i) {
        const Row& r = rows_[i];
        for (const auto& [j, v] : r.terms.linear) {
            const int64_t at = fill[size_t(j)]++;
            im.asub[size_t(at)] = int32_t(i);
            im.aval[size_t(at)] = v;
        }
        for (const auto& [ij, v] : r.terms.quadratic)
            if (v != 0.0) {
                im.qcsubk.push_back(int32_t(i));
                im.qcsubi.push_back(ij.first);
                im.qcsubj.push_back(ij.second);
                im.qcval.push_back(v);
            }
        im.bkc.push_back(std::isinf(r.lower) && std::isinf(r.upper) ? VLT_BK_FR
                         : std::isinf(r.upper)                     ? VLT_BK_LO
                         : std::isinf(r.lower)                     ? VLT_BK_UP
                         : r.lower == r.upper && r.key != VLT_BK_RA ? VLT_BK_FX
                                                                   : VLT_BK_RA);
        im.blc.push_back(r.lower);
        im.buc.push_back(r.upper);
        im.conname.push_back(r.name);
    }
    bool any_row_name = false;
    for (const std::string& s : im.conname) any_row_name |= !s.empty();
    if (!any_row_name) im.conname.clear();
    return im;
}

}  // namespace

TaskImage read_lp(std::string_view text, const std::string& source, std::vector<std::string>& warnings, size_t* rest,
                  int64_t* rest_line, VLTrescodee error_code) {
    std::string_view head = text;
    if (rest) {
        // The LP part ends with the line of its end keyword: a line whose first
        // word is "end" (any case) not followed by ':'.
        *rest = text.size();
        int64_t end_line = 0;
        for_each_line(text, [&](std::string_view l, int64_t line) {
            const size_t b = l.find_first_not_of(" \t");
            const bool end = b != std::string_view::npos && l.size() >= b + 3 && iequal(l.substr(b, 3), "end") &&
                             (l.size() == b + 3 || l[b + 3] == ' ' || l[b + 3] == '\t');
            if (!end || end_line != 0) return;
            end_line = line;
            const size_t eol = text.find('\n', size_t(l.data() - text.data()) + l.size());
            *rest = eol == std::string_view::npos ? text.size() : eol + 1;
        });
        head = text.substr(0, *rest);
        if (rest_line) *rest_line = end_line + 1;
    }
    return Reader(head, source, warnings, error_code).run();
}

}  // namespace vlt::io
