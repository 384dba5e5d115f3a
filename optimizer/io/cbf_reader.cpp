// Reading CBF: the text is first split into its sections (any order), then
// the sections are checked against one another and turned into the
// exchange form.  Every entry keeps its line number for the messages.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "base/error.hpp"
#include "io/byte_stream.hpp"
#include "io/cbf_format.hpp"
#include "model/semidefinite.hpp"

namespace vlt::io {

namespace {

constexpr int64_t kMaxCount = std::numeric_limits<int32_t>::max();
const double kSqrt2 = std::sqrt(2.0);

struct Line {
    int64_t number = 0;
    std::vector<std::string_view> words;
};

// One chunk of a VAR or CON section: its cone and its size.
struct Chunk {
    int64_t line = 0;
    int32_t domain = VLT_DOMAIN_R;
    int64_t size = 0;
    int64_t power = -1;  // parameter vector of a power cone
};

struct Entry {
    int64_t line;
    int64_t a, b, c, d;  // indexes, as many as the section has
    double value;
};

class Reader {
public:
    Reader(std::string_view bytes, const std::string& source) : bytes_(bytes), source_(source) {}

    [[noreturn]] void bad(int64_t line, const std::string& what) const {
        fail(VLT_RES_ERR_CBF_FORMAT, source_ + ":" + std::to_string(line) + ": " + what);
    }

    // The next line that is neither blank nor a comment, split into words;
    // false at the end.
    bool next(Line& line) {
        while (pos_ < bytes_.size()) {
            size_t end = bytes_.find('\n', pos_);
            if (end == std::string_view::npos) end = bytes_.size();
            std::string_view text = bytes_.substr(pos_, end - pos_);
            pos_ = end + 1;
            ++number_;
            line.number = number_;
            line.words.clear();
            for (size_t k = 0; k < text.size();) {
                while (k < text.size() && std::isspace(static_cast<unsigned char>(text[k]))) ++k;
                size_t w = k;
                while (k < text.size() && !std::isspace(static_cast<unsigned char>(text[k]))) ++k;
                if (k > w) line.words.push_back(text.substr(w, k - w));
            }
            if (line.words.empty() || line.words[0][0] == '#') continue;
            return true;
        }
        return false;
    }

    Line data_line(const std::string& section, int64_t after) {
        Line line;
        if (!next(line)) bad(number_, "the file ends inside " + section + " (begun on line " + std::to_string(after) + ")");
        return line;
    }

    Line words(const std::string& section, int64_t after, size_t count) {
        Line line = data_line(section, after);
        if (line.words.size() != count)
            bad(line.number, section + " expects " + std::to_string(count) + " value" + (count == 1 ? "" : "s") +
                                 " on this line, not " + std::to_string(line.words.size()));
        return line;
    }

    int64_t integer(const Line& line, size_t k) const {
        std::string_view w = line.words[k];
        int64_t v = 0;
        auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
        if (ec != std::errc() || end != w.data() + w.size())
            bad(line.number, "'" + std::string(w) + "' is not an integer");
        return v;
    }

    double real(const Line& line, size_t k) const {
        std::string_view w = line.words[k];
        double v = 0;
        auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
        if (ec != std::errc() || end != w.data() + w.size() || !std::isfinite(v))
            bad(line.number, "'" + std::string(w) + "' is not a finite number");
        return v;
    }

    int64_t count(const Line& line, size_t k, const char* what) const {
        const int64_t v = integer(line, k);
        if (v < 0 || v > kMaxCount)
            bad(line.number, std::string(what) + " " + std::to_string(v) + " is negative or too large");
        return v;
    }

    int64_t line_number() const { return number_; }

private:
    std::string_view bytes_;
    const std::string& source_;
    size_t pos_ = 0;
    int64_t number_ = 0;
};

// The sections of a file.
struct CbfFile {
    int64_t version = -1, version_line = 0;
    int32_t sense = VLT_OBJECTIVE_SENSE_MINIMIZE;
    std::vector<std::vector<double>> power[2];  // POWCONES, POW*CONES
    int64_t power_line[2] = {0, 0};
    std::vector<int32_t> psdvar;
    int64_t numvar = -1, numcon = -1, var_line = 0, con_line = 0;
    std::vector<Chunk> var_chunks, con_chunks;
    std::vector<Entry> ints;
    std::vector<int32_t> psdcon;
    std::vector<Entry> objf, obja, f, a, b, h, dcoord;
    double objb = 0.0;
    int64_t seen[32] = {};
};

enum Section {
    kVer, kObjsense, kPowcones, kDualPowcones, kPsdvar, kVar, kInt, kPsdcon, kCon, kObjfcoord, kObjacoord,
    kObjbcoord, kFcoord, kAcoord, kBcoord, kHcoord, kDcoord, kNumSections
};
constexpr const char* kKeywords[kNumSections] = {"VER", "OBJSENSE", "POWCONES", "POW*CONES", "PSDVAR", "VAR", "INT",
                                                 "PSDCON", "CON", "OBJFCOORD", "OBJACOORD", "OBJBCOORD", "FCOORD",
                                                 "ACOORD", "BCOORD", "HCOORD", "DCOORD"};

Chunk chunk_of(Reader& r, const Line& line, const CbfFile& file) {
    Chunk c;
    c.line = line.number;
    c.size = r.count(line, 1, "The chunk size");
    const std::string_view cone = line.words[0];
    struct Named {
        const char* name;
        int32_t domain;
    };
    static constexpr Named kCones[] = {{"F", VLT_DOMAIN_R},          {"L+", VLT_DOMAIN_RPLUS},
                                       {"L-", VLT_DOMAIN_RMINUS},    {"L=", VLT_DOMAIN_RZERO},
                                       {"Q", VLT_DOMAIN_QUADRATIC_CONE}, {"QR", VLT_DOMAIN_RQUADRATIC_CONE},
                                       {"EXP", VLT_DOMAIN_PRIMAL_EXP_CONE}, {"EXP*", VLT_DOMAIN_DUAL_EXP_CONE}};
    for (const Named& n : kCones)
        if (cone == n.name) {
            c.domain = n.domain;
            return c;
        }
    // @p:POW and @p:POW*
    const size_t colon = cone.find(':');
    if (cone.size() > 1 && cone[0] == '@' && colon != std::string_view::npos) {
        const std::string_view kind = cone.substr(colon + 1);
        const int dual = kind == "POW*" ? 1 : kind == "POW" ? 0 : -1;
        int64_t p = -1;
        auto [end, ec] = std::from_chars(cone.data() + 1, cone.data() + colon, p);
        if (dual >= 0 && ec == std::errc() && end == cone.data() + colon) {
            if (p < 0 || p >= int64_t(file.power[dual].size()))
                r.bad(line.number, "cone " + std::string(cone) + " refers to parameter vector " + std::to_string(p) +
                                       " of " + std::to_string(file.power[dual].size()) + " given in " +
                                       (dual ? "POW*CONES" : "POWCONES"));
            c.domain = dual ? VLT_DOMAIN_DUAL_POWER_CONE : VLT_DOMAIN_PRIMAL_POWER_CONE;
            c.power = p;
            return c;
        }
    }
    r.bad(line.number, "'" + std::string(cone) + "' is not a cone of the format");
}

void read_chunks(Reader& r, const std::string& name, int64_t at, int64_t& total, std::vector<Chunk>& chunks,
                 const CbfFile& file) {
    Line head = r.words(name, at, 2);
    total = r.count(head, 0, "The number of scalars");
    const int64_t n = r.count(head, 1, "The number of chunks");
    int64_t sum = 0;
    for (int64_t k = 0; k < n; ++k) {
        Line line = r.words(name, at, 2);
        chunks.push_back(chunk_of(r, line, file));
        sum += chunks.back().size;
    }
    if (sum != total)
        r.bad(head.number, "the chunks of " + name + " hold " + std::to_string(sum) + " scalars, not the " +
                               std::to_string(total) + " this line declares");
}

// A coordinate section: a count, then lines of `indexes` integers and a value.
void read_entries(Reader& r, const std::string& name, int64_t at, size_t indexes, std::vector<Entry>& out) {
    Line head = r.words(name, at, 1);
    const int64_t n = r.count(head, 0, "The number of entries");
    out.reserve(size_t(std::min<int64_t>(n, 1 << 20)));
    for (int64_t k = 0; k < n; ++k) {
        Line line = r.words(name, at, indexes + 1);
        Entry e{line.number, 0, 0, 0, 0, 0.0};
        int64_t* slots[4] = {&e.a, &e.b, &e.c, &e.d};
        for (size_t q = 0; q < indexes; ++q) *slots[q] = r.integer(line, q);
        e.value = r.real(line, indexes);
        out.push_back(e);
    }
}

// A count, then one index per line.
void read_indexes(Reader& r, const std::string& name, int64_t at, std::vector<Entry>& out) {
    Line head = r.words(name, at, 1);
    const int64_t n = r.count(head, 0, "The number of indexes");
    for (int64_t k = 0; k < n; ++k) {
        Line line = r.words(name, at, 1);
        out.push_back({line.number, r.integer(line, 0), 0, 0, 0, 0.0});
    }
}

void read_sizes(Reader& r, const std::string& name, int64_t at, std::vector<int32_t>& out) {
    Line head = r.words(name, at, 1);
    const int64_t n = r.count(head, 0, "The number of items");
    for (int64_t k = 0; k < n; ++k) {
        Line line = r.words(name, at, 1);
        const int64_t v = r.count(line, 0, "The order");
        if (v < 1) r.bad(line.number, "the order of a semidefinite matrix must be at least 1");
        out.push_back(int32_t(v));
    }
}

void read_powers(Reader& r, const std::string& name, int64_t at, std::vector<std::vector<double>>& out) {
    Line head = r.words(name, at, 2);
    const int64_t n = r.count(head, 0, "The number of parameter vectors");
    const int64_t total = r.count(head, 1, "The number of parameters");
    int64_t sum = 0;
    for (int64_t k = 0; k < n; ++k) {
        Line m = r.words(name, at, 1);
        const int64_t len = r.count(m, 0, "The length of a parameter vector");
        if (len < 1) r.bad(m.number, "a parameter vector needs at least one value");
        std::vector<double> alpha;
        for (int64_t q = 0; q < len; ++q) {
            Line v = r.words(name, at, 1);
            alpha.push_back(r.real(v, 0));
            if (!(alpha.back() > 0)) r.bad(v.number, "a power cone parameter must be positive");
        }
        sum += len;
        out.push_back(std::move(alpha));
    }
    if (sum != total)
        r.bad(head.number, name + " holds " + std::to_string(sum) + " parameters, not the " + std::to_string(total) +
                               " this line declares");
}

CbfFile read_sections(Reader& r) {
    CbfFile file;
    Line line;
    while (r.next(line)) {
        int s = 0;
        while (s < kNumSections && line.words[0] != kKeywords[s]) ++s;
        if (s == kNumSections) r.bad(line.number, "'" + std::string(line.words[0]) + "' is not a keyword of the format");
        if (line.words.size() != 1) r.bad(line.number, "a keyword stands on a line of its own");
        if (file.seen[s]) r.bad(line.number, std::string(kKeywords[s]) + " appears a second time (first on line " +
                                                 std::to_string(file.seen[s]) + ")");
        const int64_t at = file.seen[s] = line.number;
        const std::string name = kKeywords[s];
        if (s != kVer && file.version < 0) r.bad(at, "the file must begin with VER");
        switch (s) {
            case kVer: {
                Line v = r.words(name, at, 1);
                file.version = r.integer(v, 0);
                file.version_line = v.number;
                if (file.version < 1 || file.version > 3)
                    r.bad(v.number, "version " + std::to_string(file.version) + " is not supported (1 to 3 are)");
                break;
            }
            case kObjsense: {
                Line v = r.words(name, at, 1);
                if (v.words[0] == "MIN") file.sense = VLT_OBJECTIVE_SENSE_MINIMIZE;
                else if (v.words[0] == "MAX") file.sense = VLT_OBJECTIVE_SENSE_MAXIMIZE;
                else r.bad(v.number, "the objective sense is MIN or MAX, not '" + std::string(v.words[0]) + "'");
                break;
            }
            case kPowcones:
            case kDualPowcones: {
                if (file.version < 3) r.bad(at, name + " needs version 3 (the file says " + std::to_string(file.version) + ")");
                const int dual = s == kDualPowcones;
                read_powers(r, name, at, file.power[dual]);
                file.power_line[dual] = at;
                break;
            }
            case kPsdvar: read_sizes(r, name, at, file.psdvar); break;
            case kVar: read_chunks(r, name, at, file.numvar, file.var_chunks, file); file.var_line = at; break;
            case kCon: read_chunks(r, name, at, file.numcon, file.con_chunks, file); file.con_line = at; break;
            case kInt: read_indexes(r, name, at, file.ints); break;
            case kPsdcon: read_sizes(r, name, at, file.psdcon); break;
            case kObjfcoord: read_entries(r, name, at, 3, file.objf); break;
            case kObjacoord: read_entries(r, name, at, 1, file.obja); break;
            case kObjbcoord: {
                Line v = r.words(name, at, 1);
                file.objb = r.real(v, 0);
                break;
            }
            case kFcoord: read_entries(r, name, at, 4, file.f); break;
            case kAcoord: read_entries(r, name, at, 2, file.a); break;
            case kBcoord: read_entries(r, name, at, 1, file.b); break;
            case kHcoord: read_entries(r, name, at, 4, file.h); break;
            default: read_entries(r, name, at, 3, file.dcoord); break;
        }
    }
    if (file.version < 0) r.bad(r.line_number(), "the file has no VER section");
    return file;
}

// ------------------------------------------------------------ building

// Where a row of CON goes: a linear constraint or a conic row.
struct RowTarget {
    bool conic;
    int64_t index;
};

class Builder {
public:
    Builder(Reader& r, const CbfFile& f) : r_(r), f_(f) {}

    model::ProblemData build() {
        d_.sense = f_.sense;
        d_.cfix = f_.objb;
        variables();
        rows();
        semidefinite_variables();
        objective();
        linear_and_conic_entries();
        psd_constraints();
        finish_matrix();
        finish_conic_rows();
        return std::move(d_);
    }

private:
    void check(const Entry& e, int64_t value, int64_t limit, const char* what) const {
        if (value < 0 || value >= limit)
            r_.bad(e.line, std::string(what) + " " + std::to_string(value) + " is out of range (there are " +
                               std::to_string(limit) + ")");
    }

    // The dimension rules of a chunk's cone.
    void check_chunk(const Chunk& c) const {
        const char* rule = nullptr;
        switch (c.domain) {
            case VLT_DOMAIN_QUADRATIC_CONE: if (c.size < 1) rule = "a quadratic cone needs at least 1 scalar"; break;
            case VLT_DOMAIN_RQUADRATIC_CONE: if (c.size < 2) rule = "a rotated quadratic cone needs at least 2 scalars"; break;
            case VLT_DOMAIN_PRIMAL_EXP_CONE:
            case VLT_DOMAIN_DUAL_EXP_CONE: if (c.size != 3) rule = "an exponential cone has 3 scalars"; break;
            case VLT_DOMAIN_PRIMAL_POWER_CONE:
            case VLT_DOMAIN_DUAL_POWER_CONE:
                if (c.size < int64_t(power_of(c).size())) rule = "a power cone needs at least as many scalars as parameters";
                break;
            default: break;
        }
        if (rule) r_.bad(c.line, rule);
    }

    const std::vector<double>& power_of(const Chunk& c) const {
        return f_.power[c.domain == VLT_DOMAIN_DUAL_POWER_CONE ? 1 : 0][size_t(c.power)];
    }

    int64_t numcon() const { return std::max<int64_t>(f_.numcon, 0); }

    static bool linear(int32_t domain) { return domain <= VLT_DOMAIN_RMINUS; }

    void add_cone(const Chunk& c) {
        check_chunk(c);
        std::vector<double> alpha;
        if (c.power >= 0) alpha = power_of(c);
        // A power cone of dimension n with n - 1 weights of 1 is how
        // geometric-mean cones are written (the same set).
        const bool geo = c.power >= 0 && int64_t(alpha.size()) == c.size - 1 &&
                         std::all_of(alpha.begin(), alpha.end(), [](double a) { return a == 1.0; });
        if (geo) {
            const bool dual = c.domain == VLT_DOMAIN_DUAL_POWER_CONE;
            d_.cones.emplace_back(dual ? VLT_DOMAIN_DUAL_GEO_MEAN_CONE : VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE, c.size,
                                  std::vector<double>());
            return;
        }
        d_.cones.emplace_back(c.domain, c.size, std::move(alpha));
    }

    void variables() {
        const int32_t n = int32_t(std::max<int64_t>(f_.numvar, 0));
        d_.numvar = n;
        d_.c.assign(size_t(n), 0.0);
        d_.bkx.assign(size_t(n), VLT_BK_FR);
        d_.blx.assign(size_t(n), -model::kInf);
        d_.bux.assign(size_t(n), model::kInf);
        d_.vartype.assign(size_t(n), VLT_VAR_TYPE_CONT);
        int64_t j = 0;
        for (const Chunk& c : f_.var_chunks) {
            for (int64_t k = j; k < j + c.size; ++k) {
                switch (c.domain) {
                    case VLT_DOMAIN_RPLUS: d_.bkx[size_t(k)] = VLT_BK_LO; d_.blx[size_t(k)] = 0.0; break;
                    case VLT_DOMAIN_RMINUS: d_.bkx[size_t(k)] = VLT_BK_UP; d_.bux[size_t(k)] = 0.0; break;
                    case VLT_DOMAIN_RZERO:
                        d_.bkx[size_t(k)] = VLT_BK_FX;
                        d_.blx[size_t(k)] = d_.bux[size_t(k)] = 0.0;
                        break;
                    default: break;
                }
            }
            if (!linear(c.domain)) {
                add_cone(c);
                for (int64_t k = j; k < j + c.size; ++k) conic_.push_back({next_row_++, int32_t(k), 1.0});
                g_.resize(size_t(next_row_), 0.0);
            }
            j += c.size;
        }
        for (const Entry& e : f_.ints) {
            check(e, e.a, n, "Integer variable");
            d_.vartype[size_t(e.a)] = VLT_VAR_TYPE_INT;
        }
    }

    void rows() {
        for (const Chunk& c : f_.con_chunks) {
            if (linear(c.domain)) {
                for (int64_t k = 0; k < c.size; ++k) {
                    targets_.push_back({false, d_.numcon++});
                    row_domain_.push_back(c.domain);
                }
            } else {
                add_cone(c);
                for (int64_t k = 0; k < c.size; ++k) targets_.push_back({true, next_row_++});
                g_.resize(size_t(next_row_), 0.0);
            }
        }
        // Bounds follow once b is known; a row without b has b = 0.
        d_.bkc.assign(size_t(d_.numcon), VLT_BK_FR);
        d_.blc.assign(size_t(d_.numcon), -model::kInf);
        d_.buc.assign(size_t(d_.numcon), model::kInf);
        std::vector<double> b(size_t(d_.numcon), 0.0);
        std::vector<int64_t> b_line(size_t(numcon()), 0);
        for (const Entry& e : f_.b) {
            check(e, e.a, numcon(), "Row");
            if (b_line[size_t(e.a)]) r_.bad(e.line, "row " + std::to_string(e.a) + " has its b already on line " + std::to_string(b_line[size_t(e.a)]));
            b_line[size_t(e.a)] = e.line;
            const RowTarget t = targets_[size_t(e.a)];
            (t.conic ? g_[size_t(t.index)] : b[size_t(t.index)]) = e.value;
        }
        for (int32_t k = 0; k < d_.numcon; ++k) {
            const double bound = b[size_t(k)] == 0.0 ? 0.0 : -b[size_t(k)];
            switch (row_domain_[size_t(k)]) {
                case VLT_DOMAIN_RPLUS: d_.bkc[size_t(k)] = VLT_BK_LO; d_.blc[size_t(k)] = bound; break;
                case VLT_DOMAIN_RMINUS: d_.bkc[size_t(k)] = VLT_BK_UP; d_.buc[size_t(k)] = bound; break;
                case VLT_DOMAIN_RZERO:
                    d_.bkc[size_t(k)] = VLT_BK_FX;
                    d_.blc[size_t(k)] = d_.buc[size_t(k)] = bound;
                    break;
                default: break;
            }
        }
    }

    void semidefinite_variables() { d_.barvar_dim = f_.psdvar; }

    // An element (k, l) of the lower triangle of a matrix of order dim; an
    // upper one stands for its mirror.
    std::pair<int32_t, int32_t> element(const Entry& e, int64_t k, int64_t l, int64_t dim) const {
        if (k < 0 || k >= dim || l < 0 || l >= dim)
            r_.bad(e.line, "element (" + std::to_string(k) + ", " + std::to_string(l) + ") is outside a matrix of order " +
                               std::to_string(dim));
        return {int32_t(std::max(k, l)), int32_t(std::min(k, l))};
    }

    void objective() {
        std::vector<int64_t> seen(size_t(d_.numvar), 0);
        for (const Entry& e : f_.obja) {
            check(e, e.a, d_.numvar, "Variable");
            if (seen[size_t(e.a)]) r_.bad(e.line, "variable " + std::to_string(e.a) + " has its objective coefficient already on line " + std::to_string(seen[size_t(e.a)]));
            seen[size_t(e.a)] = e.line;
            d_.c[size_t(e.a)] = e.value;
        }
        for (const Entry& e : f_.objf) {
            check(e, e.a, int64_t(f_.psdvar.size()), "Semidefinite variable");
            auto [k, l] = element(e, e.b, e.c, f_.psdvar[size_t(e.a)]);
            bar_.push_back({e.line, 0, 0, e.a, k, l, e.value});
        }
    }

    void linear_and_conic_entries() {
        for (const Entry& e : f_.a) {
            check(e, e.a, numcon(), "Row");
            check(e, e.b, d_.numvar, "Variable");
            const RowTarget t = targets_[size_t(e.a)];
            if (t.conic)
                conic_.push_back({t.index, int32_t(e.b), e.value, e.line});
            else
                matrix_.push_back({t.index, int32_t(e.b), e.value, e.line});
        }
        for (const Entry& e : f_.f) {
            check(e, e.a, numcon(), "Row");
            check(e, e.b, int64_t(f_.psdvar.size()), "Semidefinite variable");
            auto [k, l] = element(e, e.c, e.d, f_.psdvar[size_t(e.b)]);
            const RowTarget t = targets_[size_t(e.a)];
            bar_.push_back({e.line, t.conic ? 2 : 1, t.index, e.b, k, l, e.value});
        }
    }

    void psd_constraints() {
        std::vector<int64_t> first(f_.psdcon.size());
        for (size_t k = 0; k < f_.psdcon.size(); ++k) {
            first[k] = next_row_;
            const int64_t n = model::packed_length(f_.psdcon[k]);
            d_.cones.emplace_back(VLT_DOMAIN_SVEC_PSD_CONE, n);
            next_row_ += n;
        }
        g_.resize(size_t(next_row_), 0.0);
        auto row_of = [&](const Entry& e, int64_t k, int64_t r, int64_t c) {
            check(e, k, int64_t(f_.psdcon.size()), "PSD constraint");
            auto [kk, ll] = element(e, r, c, f_.psdcon[size_t(k)]);
            return std::tuple{first[size_t(k)] + model::packed_index(f_.psdcon[size_t(k)], kk, ll), kk == ll ? 1.0 : kSqrt2};
        };
        for (const Entry& e : f_.h) {
            check(e, e.b, d_.numvar, "Variable");
            auto [row, scale] = row_of(e, e.a, e.c, e.d);
            conic_.push_back({row, int32_t(e.b), scale * e.value, e.line});
        }
        std::vector<int64_t> d_line(size_t(next_row_), 0);
        for (const Entry& e : f_.dcoord) {
            auto [row, scale] = row_of(e, e.a, e.b, e.c);
            if (d_line[size_t(row)]) r_.bad(e.line, "this element of D has a value already on line " + std::to_string(d_line[size_t(row)]));
            d_line[size_t(row)] = e.line;
            g_[size_t(row)] = scale * e.value;
        }
    }

    struct Triplet {
        int64_t row;
        int32_t col;
        double value;
        int64_t line = 0;
    };
    struct BarTerm {
        int64_t line;
        int part;  // 0 objective, 1 constraint, 2 conic row
        int64_t row, j;
        int32_t k, l;
        double value;
    };

    // Sorts triplets by (row, col) and refuses a position given twice.
    void sort_unique(std::vector<Triplet>& t, const char* what) const {
        std::stable_sort(t.begin(), t.end(), [](const Triplet& a, const Triplet& b) {
            return a.row < b.row || (a.row == b.row && a.col < b.col);
        });
        for (size_t q = 1; q < t.size(); ++q)
            if (t[q].row == t[q - 1].row && t[q].col == t[q - 1].col)
                r_.bad(t[q].line, std::string("this entry of ") + what + " was given already on line " + std::to_string(t[q - 1].line));
    }

    void finish_matrix() {
        // Column-wise: sort by (col, row).
        std::vector<Triplet> by_col = matrix_;
        for (Triplet& t : by_col) {
            const int64_t row = t.row;
            t.row = t.col;
            t.col = int32_t(row);
        }
        sort_unique(by_col, "A");
        d_.aptr.assign(size_t(d_.numvar) + 1, 0);
        for (const Triplet& t : by_col) ++d_.aptr[size_t(t.row) + 1];
        for (int32_t j = 0; j < d_.numvar; ++j) d_.aptr[size_t(j) + 1] += d_.aptr[size_t(j)];
        for (const Triplet& t : by_col) {
            d_.asub.push_back(t.col);
            d_.aval.push_back(t.value);
        }
    }

    void finish_conic_rows() {
        sort_unique(conic_, "the conic rows");
        d_.fptr.assign(size_t(next_row_) + 1, 0);
        for (const Triplet& t : conic_) ++d_.fptr[size_t(t.row) + 1];
        for (int64_t r = 0; r < next_row_; ++r) d_.fptr[size_t(r) + 1] += d_.fptr[size_t(r)];
        for (const Triplet& t : conic_) {
            d_.fsub.push_back(t.col);
            d_.fval.push_back(t.value);
        }
        d_.g = g_;
        // Semidefinite terms: each element of a (part, row, j) once.
        std::stable_sort(bar_.begin(), bar_.end(), [](const BarTerm& a, const BarTerm& b) {
            return std::tie(a.part, a.row, a.j, a.k, a.l) < std::tie(b.part, b.row, b.j, b.k, b.l);
        });
        for (size_t q = 0; q < bar_.size(); ++q) {
            const BarTerm& t = bar_[q];
            if (q > 0 && std::tie(t.part, t.row, t.j, t.k, t.l) ==
                             std::tie(bar_[q - 1].part, bar_[q - 1].row, bar_[q - 1].j, bar_[q - 1].k, bar_[q - 1].l))
                r_.bad(t.line, "this element was given already on line " + std::to_string(bar_[q - 1].line));
            model::ProblemData::SymTerms& to = t.part == 0 ? d_.barc : t.part == 1 ? d_.bara : d_.barf;
            to.push(t.row, int32_t(t.j), t.k, t.l, t.value);
        }
    }

    Reader& r_;
    const CbfFile& f_;
    model::ProblemData d_;
    std::vector<RowTarget> targets_;   // per row of CON
    std::vector<int32_t> row_domain_;  // per linear constraint
    std::vector<Triplet> matrix_, conic_;
    std::vector<double> g_;
    std::vector<BarTerm> bar_;
    int64_t next_row_ = 0;
};

// The scalar variables and rows the file declares (those of its PSD
// constraints included), which the task will hold whether or not the file
// lists coefficients for them: bounded by the file's size.
void check_declared_sizes(Reader& r, const CbfFile& f, size_t size) {
    int64_t rows = std::max<int64_t>(f.numcon, 0);
    for (int32_t d : f.psdcon) rows += model::packed_length(d);
    const int64_t budget = declared_items_budget(size);
    for (auto [count, line, what] : {std::tuple{std::max<int64_t>(f.numvar, 0), f.var_line, "variables"},
                                     std::tuple{rows, f.con_line, "rows"}})
        if (count > budget)
            r.bad(line, "the file declares " + std::to_string(count) + " scalar " + what + ", more than a file of " +
                            std::to_string(size) + " bytes may declare (" + std::to_string(budget) + ")");
}

}  // namespace

model::ProblemData read_cbf(std::string_view bytes, const std::string& source) {
    Reader reader(bytes, source);
    const CbfFile file = read_sections(reader);
    check_declared_sizes(reader, file, bytes.size());
    return Builder(reader, file).build();
}

void read_cbf_task(Task& task, std::string_view bytes, const std::string& source) {
    const model::ProblemData data = read_cbf(bytes, source);
    // Built aside: the task changes only once the whole problem was taken.
    model::Problem problem;
    try {
        problem.load(data);
    } catch (const Error& e) {
        fail(VLT_RES_ERR_CBF_FORMAT, source + ": " + e.message());
    }
    task.problem = std::move(problem);
    for (int32_t k = 0; k < model::kNumSolutions; ++k) task.solutions.remove(k);
}

}  // namespace vlt::io
