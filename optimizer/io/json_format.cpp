#include "io/json_format.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "base/error.hpp"
#include "io/enum_text.hpp"
#include "io/task_files.hpp"
#include "model/names.hpp"
#include "params/param_table.hpp"

namespace vlt::io {

namespace {

using nlohmann::json;

constexpr int kMaxDepth = 64;
constexpr double kInf = std::numeric_limits<double>::infinity();
const char* const kSolutionKeys[] = {"ITR", "BAS", "ITG"};

// ------------------------------------------------------------------ writing

std::string quoted(std::string_view s, const char* what) {
    if (const char* why = model::name_text_error(s, true))
        fail(VLT_RES_ERR_INVALID_NAME, std::string("JSON files hold UTF-8 text: ") + what + " '" + std::string(s) + "' " + why);
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += char(c);
                }
        }
    }
    return out + "\"";
}

// A double exactly (the shortest decimal that reads back the same);
// infinities as strings; -0 as "-0.0", since JSON readers take "-0" for
// the integer 0 and lose the sign.
std::string number(double v) {
    if (std::isinf(v)) return v > 0 ? "\"inf\"" : "\"-inf\"";
    if (v == 0.0 && std::signbit(v)) return "-0.0";
    char buffer[32];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

// Members of one object, written one per line.
class Object {
public:
    Object(Sink& out, int indent) : out_(out), indent_(indent) { out_.write("{", 1); }
    Sink& key(std::string_view name) {
        out_.write(first_ ? "\n" : ",\n");
        out_.write(std::string(size_t(indent_), ' '));
        out_.write("\"");
        out_.write(name);
        out_.write("\": ");
        first_ = false;
        return out_;
    }
    void text(std::string_view name, const std::string& value) { key(name).write(value); }
    void close() {
        out_.write("\n" + std::string(size_t(indent_ - 2), ' ') + "}");
    }

private:
    Sink& out_;
    int indent_;
    bool first_ = true;
};

template <class T>
std::string array(const std::vector<T>& v) {
    std::string out = "[";
    for (size_t k = 0; k < v.size(); ++k) {
        if (k) out += ',';
        if constexpr (std::is_floating_point_v<T>) out += number(v[k]);
        else out += std::to_string(v[k]);
    }
    return out + "]";
}

std::string code_array(const std::vector<int32_t>& v, Codes set) {
    std::string out = "[";
    for (size_t k = 0; k < v.size(); ++k) {
        if (k) out += ',';
        out += '"';
        out += code_name(set, v[k]);
        out += '"';
    }
    return out + "]";
}

std::string name_array(const std::vector<std::string>& names, const char* what) {
    std::string out = "[";
    for (size_t k = 0; k < names.size(); ++k) {
        if (k) out += ',';
        out += quoted(names[k], what);
    }
    return out + "]";
}

void write_solution(const model::Solution& s, Sink& out, int indent) {
    Object o(out, indent);
    o.text("problem_status", std::string("\"") + code_name(Codes::problem_status, s.prosta) + "\"");
    o.text("solution_status", std::string("\"") + code_name(Codes::solution_status, s.solsta) + "\"");
    if (s.reported_primal_obj) o.text("primal_objective", number(*s.reported_primal_obj));
    if (s.reported_dual_obj) o.text("dual_objective", number(*s.reported_dual_obj));
    o.text("skc", code_array(s.skc, Codes::status_key));
    o.text("skx", code_array(s.skx, Codes::status_key));
    o.text("skn", code_array(s.skn, Codes::status_key));
    for (int32_t item = 0; item < model::kNumSolutionItems; ++item) o.text(model::item_name(item), array(s.values[size_t(item)]));
    o.text("doty", array(s.doty));
    for (const auto* bar : {&s.barx, &s.bars}) {
        if (bar->empty()) continue;
        std::string text = "[";
        for (size_t j = 0; j < bar->size(); ++j) text += (j ? "," : "") + array((*bar)[j]);
        o.text(bar == &s.barx ? "barx" : "bars", text + "]");
    }
    o.close();
}

void write_solutions_member(const TaskImage& im, Object& top, int indent) {
    Sink& out = top.key("solutions");
    Object sols(out, indent);
    for (int32_t which = 0; which < model::kNumSolutions; ++which)
        if (im.solutions[size_t(which)].defined) write_solution(im.solutions[size_t(which)], sols.key(kSolutionKeys[which]), indent + 2);
    sols.close();
}

void write_bounds(Object& o, const std::vector<int32_t>& keys, const std::vector<double>& lower,
                  const std::vector<double>& upper) {
    o.text("bound_keys", code_array(keys, Codes::bound_key));
    o.text("lower", array(lower));
    o.text("upper", array(upper));
}

void write_entries(Object& top, const char* key, const TaskImage::BarTerms& t) {
    if (t.size() == 0) return;
    Object o(top.key(key), 4);
    o.text("rows", array(t.row));
    o.text("barvars", array(t.j));
    o.text("term_starts", array(t.ptr));
    o.text("matrices", array(t.mat));
    o.text("weights", array(t.weight));
    o.close();
}

void write_parameters(const TaskImage& im, Object& top) {
    if (im.params.empty()) return;
    Sink& out = top.key("parameters");
    Object o(out, 4);
    for (const ParamSetting& p : im.params) {
        switch (p.type) {
            case VLT_PAR_TYPE_INT: o.text(p.name, std::to_string(p.int_value)); break;
            case VLT_PAR_TYPE_DOU: o.text(p.name, number(p.dou_value)); break;
            default: o.text(p.name, quoted(p.str_value, "the parameter value")); break;
        }
    }
    o.close();
}

// ------------------------------------------------------------------ reading

class Reader {
public:
    Reader(const std::string& source, std::vector<std::string>* warnings) : source_(source), warnings_(warnings) {}

    json parse(std::string_view text) const {
        json::parser_callback_t depth_limit = [this](int depth, json::parse_event_t, json&) {
            if (depth > kMaxDepth)
                fail(VLT_RES_ERR_JSON_FORMAT, source_ + ": nesting deeper than " + std::to_string(kMaxDepth) + " levels");
            return true;
        };
        try {
            return json::parse(text.begin(), text.end(), depth_limit);
        } catch (const json::parse_error& e) {
            std::string why = e.what();
            const size_t at = why.find("error: ");  // the library's own prefix names itself; keep the reason
            if (at != std::string::npos) why = why.substr(at + 7);
            fail_at_byte(text, e.byte, why);
        } catch (const json::exception& e) {
            // A number beyond the range of a double: the message quotes it;
            // its first place in the text gives the line.
            std::string why = e.what();
            const size_t at = why.find("] ");
            if (at != std::string::npos) why = why.substr(at + 2);
            const size_t open = why.find('\''), close = why.rfind('\'');
            size_t byte = text.size();
            if (open != std::string::npos && close > open)
                byte = std::min(byte, text.find(std::string_view(why).substr(open + 1, close - open - 1)));
            fail_at_byte(text, byte, why);
        }
    }

    [[noreturn]] void fail_at_byte(std::string_view text, size_t byte, const std::string& why) const {
        byte = std::min(byte, text.size());
        const int64_t line = 1 + std::count(text.begin(), text.begin() + long(byte), '\n');
        fail(VLT_RES_ERR_JSON_FORMAT, source_ + ":" + std::to_string(line) + ": " + why);
    }

    [[noreturn]] void fail_at(const std::string& path, const std::string& why) const {
        fail(VLT_RES_ERR_JSON_FORMAT, source_ + ": " + path + ": " + why);
    }
    void warn(const std::string& text) const {
        if (warnings_) warnings_->push_back(source_ + ": " + text);
    }

    const json* member(const json& object, const char* key, const std::string& path, bool required) const {
        if (!object.is_object()) fail_at(path, "expected an object");
        auto it = object.find(key);
        if (it == object.end()) {
            if (required) fail_at(path, std::string("the member \"") + key + "\" is missing");
            return nullptr;
        }
        return &*it;
    }
    // Members beyond `known` are reported and skipped.
    void expect_members(const json& object, const std::string& path, std::initializer_list<const char*> known) const {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool found = false;
            for (const char* k : known) found |= it.key() == k;
            if (!found) warn("the member " + path + "/" + it.key() + " is not known to this version and was skipped");
        }
    }

    double real(const json& v, const std::string& path, bool infinite_ok) const {
        if (v.is_number()) return v.get<double>();
        if (infinite_ok && v.is_string()) {
            const std::string& s = v.get_ref<const std::string&>();
            if (s == "inf" || s == "+inf") return kInf;
            if (s == "-inf") return -kInf;
        }
        fail_at(path, infinite_ok ? "expected a number, \"inf\" or \"-inf\"" : "expected a number");
    }
    int64_t integer(const json& v, const std::string& path, int64_t lo, int64_t hi) const {
        if (!v.is_number_integer()) fail_at(path, "expected an integer");
        if (v.is_number_unsigned() && v.get<uint64_t>() > uint64_t(std::numeric_limits<int64_t>::max()))
            fail_at(path, "the integer is out of range");
        const int64_t x = v.get<int64_t>();
        if (x < lo || x > hi) fail_at(path, std::to_string(x) + " is out of range");
        return x;
    }
    const json& list(const json& v, const std::string& path) const {
        if (!v.is_array()) fail_at(path, "expected an array");
        return v;
    }
    std::vector<double> reals(const json& v, const std::string& path, bool infinite_ok = false) const {
        const json& a = list(v, path);
        std::vector<double> out;
        out.reserve(a.size());
        for (size_t k = 0; k < a.size(); ++k) out.push_back(real(a[k], path + "/" + std::to_string(k), infinite_ok));
        return out;
    }
    template <class T>
    std::vector<T> integers(const json& v, const std::string& path) const {
        const json& a = list(v, path);
        std::vector<T> out;
        out.reserve(a.size());
        for (size_t k = 0; k < a.size(); ++k)
            out.push_back(static_cast<T>(integer(a[k], path + "/" + std::to_string(k), std::numeric_limits<T>::min(),
                                                 std::numeric_limits<T>::max())));
        return out;
    }
    std::string text(const json& v, const std::string& path) const {
        if (!v.is_string()) fail_at(path, "expected a string");
        return v.get<std::string>();
    }
    std::vector<std::string> texts(const json& v, const std::string& path) const {
        const json& a = list(v, path);
        std::vector<std::string> out;
        out.reserve(a.size());
        for (size_t k = 0; k < a.size(); ++k) out.push_back(text(a[k], path + "/" + std::to_string(k)));
        return out;
    }
    int32_t code(const json& v, const std::string& path, Codes set) const {
        const std::string s = text(v, path);
        const std::optional<int32_t> c = code_of(set, s);
        if (!c) fail_at(path, "'" + s + "' is not a known name here");
        return *c;
    }
    std::vector<int32_t> codes(const json& v, const std::string& path, Codes set) const {
        const json& a = list(v, path);
        std::vector<int32_t> out;
        out.reserve(a.size());
        for (size_t k = 0; k < a.size(); ++k) out.push_back(code(a[k], path + "/" + std::to_string(k), set));
        return out;
    }

    model::Solution solution(const json& s, const std::string& path) const {
        model::Solution out;
        out.defined = true;
        expect_members(s, path, {"problem_status", "solution_status", "primal_objective", "dual_objective", "skc", "skx",
                                 "skn", "xc", "xx", "y", "slc", "suc", "slx", "sux", "snx", "doty", "barx", "bars"});
        out.prosta = code(*member(s, "problem_status", path, true), path + "/problem_status", Codes::problem_status);
        out.solsta = code(*member(s, "solution_status", path, true), path + "/solution_status", Codes::solution_status);
        if (const json* v = member(s, "primal_objective", path, false)) out.reported_primal_obj = real(*v, path + "/primal_objective", false);
        if (const json* v = member(s, "dual_objective", path, false)) out.reported_dual_obj = real(*v, path + "/dual_objective", false);
        out.skc = codes(*member(s, "skc", path, true), path + "/skc", Codes::status_key);
        out.skx = codes(*member(s, "skx", path, true), path + "/skx", Codes::status_key);
        out.skn = codes(*member(s, "skn", path, true), path + "/skn", Codes::status_key);
        for (int32_t item = 0; item < model::kNumSolutionItems; ++item) {
            const char* key = model::item_name(item);
            out.values[size_t(item)] = reals(*member(s, key, path, true), path + "/" + key);
        }
        if (const json* v = member(s, "doty", path, false)) out.doty = reals(*v, path + "/doty");
        for (auto* bar : {&out.barx, &out.bars}) {
            const char* key = bar == &out.barx ? "barx" : "bars";
            if (const json* v = member(s, key, path, false)) {
                const json& a = list(*v, path + "/" + key);
                for (size_t j = 0; j < a.size(); ++j) bar->push_back(reals(a[j], path + "/" + key + "/" + std::to_string(j)));
            }
        }
        return out;
    }

    void solutions(const json& sols, TaskImage& im) const {
        expect_members(sols, "/solutions", {"ITR", "BAS", "ITG"});
        for (int32_t which = 0; which < model::kNumSolutions; ++which)
            if (const json* s = member(sols, kSolutionKeys[which], "/solutions", false))
                im.solutions[size_t(which)] = solution(*s, std::string("/solutions/") + kSolutionKeys[which]);
    }

private:
    const std::string& source_;
    std::vector<std::string>* warnings_;
};

void check_header(const Reader& r, const json& root, const char* expected) {
    const json* format = r.member(root, "format", "", true);
    if (r.text(*format, "/format") != expected)
        r.fail_at("/format", std::string("expected \"") + expected + "\"");
    const int64_t version = r.integer(*r.member(root, "version", "", true), "/version", 0, 1 << 30);
    if (version != 1) r.fail_at("/version", "version " + std::to_string(version) + " is newer than this reader (1)");
}

void read_bounds(const Reader& r, const json& o, const std::string& path, std::vector<int32_t>& keys,
                 std::vector<double>& lower, std::vector<double>& upper) {
    keys = r.codes(*r.member(o, "bound_keys", path, true), path + "/bound_keys", Codes::bound_key);
    lower = r.reals(*r.member(o, "lower", path, true), path + "/lower", true);
    upper = r.reals(*r.member(o, "upper", path, true), path + "/upper", true);
}

void read_parameters(const Reader& r, const json& o, TaskImage& im) {
    if (!o.is_object()) r.fail_at("/parameters", "expected an object");
    for (auto it = o.begin(); it != o.end(); ++it) {
        const std::string path = "/parameters/" + it.key();
        const std::optional<params::ParamRef> ref = params::find_param(it.key());
        if (!ref) {
            r.warn("the parameter " + it.key() + " is not known to this version and was skipped");
            continue;
        }
        ParamSetting s{ref->type, it.key(), 0, 0.0, {}};
        switch (ref->type) {
            case VLT_PAR_TYPE_INT:
                if (it->is_string()) {
                    try {
                        s.int_value = params::parse_int_value(*params::int_param(ref->code), it->get<std::string>());
                    } catch (const Error& e) {
                        r.fail_at(path, e.message());
                    }
                } else {
                    s.int_value = int32_t(r.integer(*it, path, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
                }
                break;
            case VLT_PAR_TYPE_DOU: s.dou_value = r.real(*it, path, true); break;
            default: s.str_value = r.text(*it, path); break;
        }
        im.params.push_back(std::move(s));
    }
}

}  // namespace

void write_json_task(const TaskImage& im, Sink& out) {
    Object top(out, 2);
    top.text("format", "\"velto task\"");
    top.text("version", "1");
    if (!im.taskname.empty()) top.text("name", quoted(im.taskname, "the task name"));
    {
        Object o(top.key("objective"), 4);
        if (!im.objname.empty()) o.text("name", quoted(im.objname, "the objective name"));
        o.text("sense", im.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "\"maximize\"" : "\"minimize\"");
        o.text("constant", number(im.cfix));
        o.text("c", array(im.c));
        if (!im.qoval.empty()) {
            Object q(o.key("Q"), 6);
            q.text("i", array(im.qosubi));
            q.text("j", array(im.qosubj));
            q.text("v", array(im.qoval));
            q.close();
        }
        o.close();
    }
    {
        Object o(top.key("variables"), 4);
        o.text("count", std::to_string(im.numvar));
        if (!im.varname.empty()) o.text("names", name_array(im.varname, "the variable name"));
        write_bounds(o, im.bkx, im.blx, im.bux);
        std::vector<int32_t> integers;
        for (int32_t j = 0; j < im.numvar; ++j)
            if (im.vartype[size_t(j)] == VLT_VAR_TYPE_INT) integers.push_back(j);
        o.text("integer", array(integers));
        o.close();
    }
    {
        Object o(top.key("constraints"), 4);
        o.text("count", std::to_string(im.numcon));
        if (!im.conname.empty()) o.text("names", name_array(im.conname, "the constraint name"));
        write_bounds(o, im.bkc, im.blc, im.buc);
        if (!im.qcval.empty()) {
            Object q(o.key("Q"), 6);
            q.text("k", array(im.qcsubk));
            q.text("i", array(im.qcsubi));
            q.text("j", array(im.qcsubj));
            q.text("v", array(im.qcval));
            q.close();
        }
        o.close();
    }
    {
        Object o(top.key("A"), 4);
        o.text("column_starts", array(im.aptr));
        o.text("rows", array(im.asub));
        o.text("values", array(im.aval));
        o.close();
    }
    top.text("truncation_tolerance", number(im.truncate_tol));
    if (im.num_afe() > 0) {
        Object o(top.key("affine_expressions"), 4);
        o.text("count", std::to_string(im.num_afe()));
        o.text("row_starts", array(im.fptr));
        o.text("columns", array(im.fsub));
        o.text("values", array(im.fval));
        o.text("g", array(im.g));
        o.close();
    }
    if (im.num_domain() > 0) {
        Sink& s = top.key("domains");
        s.write("[");
        for (int64_t d = 0; d < im.num_domain(); ++d) {
            s.write(d ? ",\n    " : "\n    ");
            Object o(s, 6);
            o.text("kind", std::string("\"") + code_name(Codes::domain_type, im.domtype[size_t(d)]) + "\"");
            o.text("dim", std::to_string(im.domn[size_t(d)]));
            if (im.alphaptr[size_t(d) + 1] > im.alphaptr[size_t(d)])
                o.text("alpha", array(std::vector<double>(im.alpha.begin() + im.alphaptr[size_t(d)],
                                                          im.alpha.begin() + im.alphaptr[size_t(d) + 1])));
            if (!im.domname.empty() && !im.domname[size_t(d)].empty()) o.text("name", quoted(im.domname[size_t(d)], "the domain name"));
            o.close();
        }
        s.write("\n  ]");
    }
    if (im.num_acc() > 0) {
        Sink& s = top.key("acc");
        s.write("[");
        for (int64_t a = 0; a < im.num_acc(); ++a) {
            s.write(a ? ",\n    " : "\n    ");
            Object o(s, 6);
            o.text("domain", std::to_string(im.accdom[size_t(a)]));
            const auto first = long(im.accptr[size_t(a)]), last = long(im.accptr[size_t(a) + 1]);
            o.text("afe", array(std::vector<int64_t>(im.accafe.begin() + first, im.accafe.begin() + last)));
            o.text("b", array(std::vector<double>(im.accb.begin() + first, im.accb.begin() + last)));
            if (!im.accname.empty() && !im.accname[size_t(a)].empty()) o.text("name", quoted(im.accname[size_t(a)], "the ACC name"));
            o.close();
        }
        s.write("\n  ]");
    }
    if (im.num_djc() > 0) {
        Sink& s = top.key("djc");
        s.write("[");
        size_t term = 0, dom = 0, afe = 0;
        for (int64_t k = 0; k < im.num_djc(); ++k) {
            s.write(k ? ",\n    " : "\n    ");
            Object o(s, 6);
            const size_t terms = size_t(im.djcnumterm[size_t(k)]);
            std::vector<int64_t> sizes(im.djctermsize.begin() + long(term), im.djctermsize.begin() + long(term + terms));
            size_t doms = 0, afes = 0;
            for (int64_t n : sizes) doms += size_t(n);
            std::vector<int64_t> domains(im.djcdom.begin() + long(dom), im.djcdom.begin() + long(dom + doms));
            for (int64_t d : domains) afes += size_t(d >= 0 && d < im.num_domain() ? im.domn[size_t(d)] : 0);
            o.text("domains", array(domains));
            o.text("term_sizes", array(sizes));
            o.text("afe", array(std::vector<int64_t>(im.djcafe.begin() + long(afe), im.djcafe.begin() + long(afe + afes))));
            o.text("b", array(std::vector<double>(im.djcb.begin() + long(afe), im.djcb.begin() + long(afe + afes))));
            if (!im.djcname.empty() && !im.djcname[size_t(k)].empty()) o.text("name", quoted(im.djcname[size_t(k)], "the DJC name"));
            o.close();
            term += terms;
            dom += doms;
            afe += afes;
        }
        s.write("\n  ]");
    }
    if (im.num_barvar() > 0) {
        Object o(top.key("semidefinite_variables"), 4);
        o.text("dims", array(im.barvardim));
        if (!im.barvarname.empty()) o.text("names", name_array(im.barvarname, "the semidefinite variable name"));
        o.close();
    }
    if (im.num_symmat() > 0) {
        Object o(top.key("symmetric_matrices"), 4);
        o.text("dims", array(im.symdim));
        o.text("starts", array(im.symptr));
        o.text("i", array(im.symsubi));
        o.text("j", array(im.symsubj));
        o.text("v", array(im.symval));
        o.close();
    }
    write_entries(top, "barc", im.barc);
    write_entries(top, "bara", im.bara);
    write_entries(top, "barf", im.barf);
    if (im.num_cone() > 0) {
        Sink& s = top.key("cones");
        s.write("[");
        for (int32_t k = 0; k < im.num_cone(); ++k) {
            s.write(k ? ",\n    " : "\n    ");
            Object o(s, 6);
            o.text("type", std::string("\"") + code_name(Codes::cone_type, im.conetype[size_t(k)]) + "\"");
            o.text("parameter", number(im.conepar[size_t(k)]));
            o.text("members", array(std::vector<int32_t>(im.conemem.begin() + long(im.coneptr[size_t(k)]),
                                                         im.conemem.begin() + long(im.coneptr[size_t(k) + 1]))));
            if (!im.conename.empty() && !im.conename[size_t(k)].empty()) o.text("name", quoted(im.conename[size_t(k)], "the cone name"));
            o.close();
        }
        s.write("\n  ]");
    }
    write_parameters(im, top);
    bool any_solution = false;
    for (const model::Solution& s : im.solutions) any_solution |= s.defined;
    if (any_solution) write_solutions_member(im, top, 4);
    top.close();
    out.write("\n");
}

TaskImage read_json_task(std::string_view text, const std::string& source, std::vector<std::string>& warnings) {
    const Reader r(source, &warnings);
    const json root = r.parse(text);
    check_header(r, root, "velto task");
    r.expect_members(root, "", {"format", "version", "name", "objective", "variables", "constraints", "A",
                                "truncation_tolerance", "affine_expressions", "domains", "acc", "djc", "cones",
                                "semidefinite_variables", "symmetric_matrices", "barc", "bara", "barf", "parameters",
                                "solutions"});
    TaskImage im;
    if (const json* v = r.member(root, "name", "", false)) im.taskname = r.text(*v, "/name");

    const json& obj = *r.member(root, "objective", "", true);
    r.expect_members(obj, "/objective", {"name", "sense", "constant", "c", "Q"});
    if (const json* v = r.member(obj, "name", "/objective", false)) im.objname = r.text(*v, "/objective/name");
    const std::string sense = r.text(*r.member(obj, "sense", "/objective", true), "/objective/sense");
    if (sense != "minimize" && sense != "maximize") r.fail_at("/objective/sense", "expected \"minimize\" or \"maximize\"");
    im.sense = sense == "maximize" ? VLT_OBJECTIVE_SENSE_MAXIMIZE : VLT_OBJECTIVE_SENSE_MINIMIZE;
    im.cfix = r.real(*r.member(obj, "constant", "/objective", true), "/objective/constant", false);
    im.c = r.reals(*r.member(obj, "c", "/objective", true), "/objective/c");
    if (const json* q = r.member(obj, "Q", "/objective", false)) {
        im.qosubi = r.integers<int32_t>(*r.member(*q, "i", "/objective/Q", true), "/objective/Q/i");
        im.qosubj = r.integers<int32_t>(*r.member(*q, "j", "/objective/Q", true), "/objective/Q/j");
        im.qoval = r.reals(*r.member(*q, "v", "/objective/Q", true), "/objective/Q/v");
    }

    const json& vars = *r.member(root, "variables", "", true);
    r.expect_members(vars, "/variables", {"count", "names", "bound_keys", "lower", "upper", "integer"});
    im.numvar = int32_t(r.integer(*r.member(vars, "count", "/variables", true), "/variables/count", 0,
                                  std::numeric_limits<int32_t>::max()));
    if (const json* v = r.member(vars, "names", "/variables", false)) im.varname = r.texts(*v, "/variables/names");
    read_bounds(r, vars, "/variables", im.bkx, im.blx, im.bux);
    // One bound key per variable: the count is checked before anything is
    // allocated for it.
    if (int64_t(im.bkx.size()) != im.numvar)
        r.fail_at("/variables/bound_keys", "holds " + std::to_string(im.bkx.size()) + " keys for count " +
                                               std::to_string(im.numvar));
    im.vartype.assign(size_t(im.numvar), VLT_VAR_TYPE_CONT);
    const std::vector<int32_t> integers = r.integers<int32_t>(*r.member(vars, "integer", "/variables", true), "/variables/integer");
    for (size_t k = 0; k < integers.size(); ++k) {
        if (integers[k] < 0 || integers[k] >= im.numvar)
            r.fail_at("/variables/integer/" + std::to_string(k), "not a variable index");
        im.vartype[size_t(integers[k])] = VLT_VAR_TYPE_INT;
    }

    const json& cons = *r.member(root, "constraints", "", true);
    r.expect_members(cons, "/constraints", {"count", "names", "bound_keys", "lower", "upper", "Q"});
    im.numcon = int32_t(r.integer(*r.member(cons, "count", "/constraints", true), "/constraints/count", 0,
                                  std::numeric_limits<int32_t>::max()));
    if (const json* v = r.member(cons, "names", "/constraints", false)) im.conname = r.texts(*v, "/constraints/names");
    read_bounds(r, cons, "/constraints", im.bkc, im.blc, im.buc);
    if (const json* q = r.member(cons, "Q", "/constraints", false)) {
        im.qcsubk = r.integers<int32_t>(*r.member(*q, "k", "/constraints/Q", true), "/constraints/Q/k");
        im.qcsubi = r.integers<int32_t>(*r.member(*q, "i", "/constraints/Q", true), "/constraints/Q/i");
        im.qcsubj = r.integers<int32_t>(*r.member(*q, "j", "/constraints/Q", true), "/constraints/Q/j");
        im.qcval = r.reals(*r.member(*q, "v", "/constraints/Q", true), "/constraints/Q/v");
    }

    const json& a = *r.member(root, "A", "", true);
    r.expect_members(a, "/A", {"column_starts", "rows", "values"});
    im.aptr = r.integers<int64_t>(*r.member(a, "column_starts", "/A", true), "/A/column_starts");
    im.asub = r.integers<int32_t>(*r.member(a, "rows", "/A", true), "/A/rows");
    im.aval = r.reals(*r.member(a, "values", "/A", true), "/A/values");
    if (const json* v = r.member(root, "truncation_tolerance", "", false))
        im.truncate_tol = r.real(*v, "/truncation_tolerance", false);

    if (const json* f = r.member(root, "affine_expressions", "", false)) {
        r.expect_members(*f, "/affine_expressions", {"count", "row_starts", "columns", "values", "g"});
        im.fptr = r.integers<int64_t>(*r.member(*f, "row_starts", "/affine_expressions", true), "/affine_expressions/row_starts");
        im.fsub = r.integers<int32_t>(*r.member(*f, "columns", "/affine_expressions", true), "/affine_expressions/columns");
        im.fval = r.reals(*r.member(*f, "values", "/affine_expressions", true), "/affine_expressions/values");
        im.g = r.reals(*r.member(*f, "g", "/affine_expressions", true), "/affine_expressions/g");
        const int64_t count = r.integer(*r.member(*f, "count", "/affine_expressions", true), "/affine_expressions/count", 0,
                                        std::numeric_limits<int32_t>::max());
        if (count != im.num_afe()) r.fail_at("/affine_expressions/g", "holds " + std::to_string(im.num_afe()) +
                                                                          " values for count " + std::to_string(count));
    }
    if (const json* ds = r.member(root, "domains", "", false)) {
        const json& list = r.list(*ds, "/domains");
        for (size_t d = 0; d < list.size(); ++d) {
            const std::string path = "/domains/" + std::to_string(d);
            r.expect_members(list[d], path, {"kind", "dim", "alpha", "name"});
            im.domtype.push_back(r.code(*r.member(list[d], "kind", path, true), path + "/kind", Codes::domain_type));
            im.domn.push_back(r.integer(*r.member(list[d], "dim", path, true), path + "/dim", 0, std::numeric_limits<int64_t>::max()));
            if (const json* al = r.member(list[d], "alpha", path, false)) {
                const std::vector<double> alpha = r.reals(*al, path + "/alpha");
                im.alpha.insert(im.alpha.end(), alpha.begin(), alpha.end());
            }
            im.alphaptr.push_back(int64_t(im.alpha.size()));
            const json* name = r.member(list[d], "name", path, false);
            im.domname.push_back(name ? r.text(*name, path + "/name") : std::string());
        }
    }
    if (const json* as = r.member(root, "acc", "", false)) {
        const json& list = r.list(*as, "/acc");
        for (size_t k = 0; k < list.size(); ++k) {
            const std::string path = "/acc/" + std::to_string(k);
            r.expect_members(list[k], path, {"domain", "afe", "b", "name"});
            im.accdom.push_back(r.integer(*r.member(list[k], "domain", path, true), path + "/domain", 0,
                                          std::numeric_limits<int64_t>::max()));
            const std::vector<int64_t> afes = r.integers<int64_t>(*r.member(list[k], "afe", path, true), path + "/afe");
            const std::vector<double> b = r.reals(*r.member(list[k], "b", path, true), path + "/b");
            if (b.size() != afes.size()) r.fail_at(path + "/b", "holds " + std::to_string(b.size()) + " values for " +
                                                                 std::to_string(afes.size()) + " expressions");
            im.accafe.insert(im.accafe.end(), afes.begin(), afes.end());
            im.accb.insert(im.accb.end(), b.begin(), b.end());
            im.accptr.push_back(int64_t(im.accafe.size()));
            const json* name = r.member(list[k], "name", path, false);
            im.accname.push_back(name ? r.text(*name, path + "/name") : std::string());
        }
    }
    if (const json* js = r.member(root, "djc", "", false)) {
        const json& list = r.list(*js, "/djc");
        for (size_t k = 0; k < list.size(); ++k) {
            const std::string path = "/djc/" + std::to_string(k);
            r.expect_members(list[k], path, {"domains", "term_sizes", "afe", "b", "name"});
            const auto doms = r.integers<int64_t>(*r.member(list[k], "domains", path, true), path + "/domains");
            const auto sizes = r.integers<int64_t>(*r.member(list[k], "term_sizes", path, true), path + "/term_sizes");
            const auto afes = r.integers<int64_t>(*r.member(list[k], "afe", path, true), path + "/afe");
            const auto b = r.reals(*r.member(list[k], "b", path, true), path + "/b");
            if (b.size() != afes.size()) r.fail_at(path + "/b", "holds " + std::to_string(b.size()) + " values for " +
                                                                 std::to_string(afes.size()) + " expressions");
            im.djcnumterm.push_back(int64_t(sizes.size()));
            im.djctermsize.insert(im.djctermsize.end(), sizes.begin(), sizes.end());
            im.djcdom.insert(im.djcdom.end(), doms.begin(), doms.end());
            im.djcafe.insert(im.djcafe.end(), afes.begin(), afes.end());
            im.djcb.insert(im.djcb.end(), b.begin(), b.end());
            const json* name = r.member(list[k], "name", path, false);
            im.djcname.push_back(name ? r.text(*name, path + "/name") : std::string());
        }
    }
    if (const json* cs = r.member(root, "cones", "", false)) {
        const json& list = r.list(*cs, "/cones");
        for (size_t k = 0; k < list.size(); ++k) {
            const std::string path = "/cones/" + std::to_string(k);
            r.expect_members(list[k], path, {"type", "parameter", "members", "name"});
            im.conetype.push_back(r.code(*r.member(list[k], "type", path, true), path + "/type", Codes::cone_type));
            im.conepar.push_back(r.real(*r.member(list[k], "parameter", path, true), path + "/parameter", false));
            const auto members = r.integers<int32_t>(*r.member(list[k], "members", path, true), path + "/members");
            im.conemem.insert(im.conemem.end(), members.begin(), members.end());
            im.coneptr.push_back(int64_t(im.conemem.size()));
            const json* name = r.member(list[k], "name", path, false);
            im.conename.push_back(name ? r.text(*name, path + "/name") : std::string());
        }
    }
    if (const json* v = r.member(root, "semidefinite_variables", "", false)) {
        r.expect_members(*v, "/semidefinite_variables", {"dims", "names"});
        im.barvardim = r.integers<int32_t>(*r.member(*v, "dims", "/semidefinite_variables", true), "/semidefinite_variables/dims");
        if (const json* n = r.member(*v, "names", "/semidefinite_variables", false))
            im.barvarname = r.texts(*n, "/semidefinite_variables/names");
    }
    if (const json* v = r.member(root, "symmetric_matrices", "", false)) {
        const std::string path = "/symmetric_matrices";
        r.expect_members(*v, path, {"dims", "starts", "i", "j", "v"});
        im.symdim = r.integers<int32_t>(*r.member(*v, "dims", path, true), path + "/dims");
        im.symptr = r.integers<int64_t>(*r.member(*v, "starts", path, true), path + "/starts");
        im.symsubi = r.integers<int32_t>(*r.member(*v, "i", path, true), path + "/i");
        im.symsubj = r.integers<int32_t>(*r.member(*v, "j", path, true), path + "/j");
        im.symval = r.reals(*r.member(*v, "v", path, true), path + "/v");
    }
    for (auto [key, target] : {std::pair{"barc", &im.barc}, std::pair{"bara", &im.bara}, std::pair{"barf", &im.barf}}) {
        const json* v = r.member(root, key, "", false);
        if (!v) continue;
        const std::string path = std::string("/") + key;
        r.expect_members(*v, path, {"rows", "barvars", "term_starts", "matrices", "weights"});
        target->row = r.integers<int64_t>(*r.member(*v, "rows", path, true), path + "/rows");
        target->j = r.integers<int32_t>(*r.member(*v, "barvars", path, true), path + "/barvars");
        target->ptr = r.integers<int64_t>(*r.member(*v, "term_starts", path, true), path + "/term_starts");
        target->mat = r.integers<int64_t>(*r.member(*v, "matrices", path, true), path + "/matrices");
        target->weight = r.reals(*r.member(*v, "weights", path, true), path + "/weights");
    }
    // Lists of names in which nobody is named are no lists.
    for (std::vector<std::string>* names : {&im.domname, &im.accname, &im.djcname, &im.conename}) {
        bool any = false;
        for (const std::string& s : *names) any |= !s.empty();
        if (!any) names->clear();
    }
    if (const json* p = r.member(root, "parameters", "", false)) read_parameters(r, *p, im);
    if (const json* s = r.member(root, "solutions", "", false)) r.solutions(*s, im);
    return im;
}

void write_json_solutions(const TaskImage& im, Sink& out) {
    Object top(out, 2);
    top.text("format", "\"velto solutions\"");
    top.text("version", "1");
    if (!im.taskname.empty()) top.text("name", quoted(im.taskname, "the task name"));
    write_solutions_member(im, top, 4);
    top.close();
    out.write("\n");
}

void read_json_solutions(std::string_view text, const std::string& source, TaskImage& im) {
    std::vector<std::string> warnings;
    const Reader r(source, &warnings);
    const json root = r.parse(text);
    const std::string format = r.text(*r.member(root, "format", "", true), "/format");
    if (format != "velto solutions" && format != "velto task")
        r.fail_at("/format", "expected \"velto solutions\" or \"velto task\"");
    check_header(r, root, format.c_str());
    for (model::Solution& s : im.solutions) s = model::Solution{};
    if (const json* s = r.member(root, "solutions", "", false)) r.solutions(*s, im);
}

void read_json_task_into(Task& task, std::string_view bytes, const std::string& source) {
    std::vector<std::string> warnings;
    const bool take_params = task.params[VLT_IPAR_READ_TASK_IGNORE_PARAM] == VLT_ONOFF_OFF;
    install(task, read_json_task(bytes, source, warnings), take_params, source, VLT_RES_ERR_JSON_FORMAT);
    for (const std::string& w : warnings) task.streams.emit(VLT_STREAM_WRN, "Warning: " + w + "\n");
}

void write_json_task_of(const Task& task, Sink& out) {
    write_json_task(capture_task(task, ParamSelection::changed, task.params[VLT_IPAR_WRITE_TASK_INC_SOL] == VLT_ONOFF_ON),
                    out);
}

}  // namespace vlt::io
