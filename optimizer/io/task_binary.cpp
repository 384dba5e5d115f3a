#include "io/task_binary.hpp"

#include <zlib.h>

#include <bit>
#include <cstring>
#include <deque>
#include <limits>
#include <set>
#include <type_traits>

#include "base/error.hpp"

namespace vlt::io {

static_assert(std::endian::native == std::endian::little, "the binary task format is written as it lies in memory");

namespace {

constexpr char kMagic[12] = {'\x89', 'V', 'L', 'T', 'T', 'A', 'S', 'K', '\r', '\n', '\x1a', '\n'};
constexpr char kSolutionMagic[12] = {'\x89', 'V', 'L', 'T', 'S', 'O', 'L', 'N', '\r', '\n', '\x1a', '\n'};
constexpr size_t kHeaderSize = 16;
constexpr size_t kSectionHeaderSize = 24;
constexpr uint32_t kSkippable = 1;
constexpr char kZeros[8] = {};

constexpr size_t padding(size_t n) { return (8 - n % 8) % 8; }

uint32_t crc_of(uint32_t crc, const char* data, size_t size) {
    return static_cast<uint32_t>(crc32_z(crc, reinterpret_cast<const Bytef*>(data), size));
}

// --------------------------------------------------------------- writing

// One section: its payload as a list of pieces, small ones owned, arrays
// pointing into the image.
class SectionWriter {
public:
    explicit SectionWriter(const char* tag) { std::memcpy(tag_, tag, 4); }

    void i64(int64_t v) { own(&v, 8); }
    void f64(double v) { own(&v, 8); }
    template <class T>
    void array(const std::vector<T>& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        i64(static_cast<int64_t>(v.size()));
        bytes(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
    }
    // An array that does not outlive the section's encoding: copied.
    template <class T>
    void array_copy(const std::vector<T>& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        const std::string& copy = owned_.emplace_back(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
        i64(static_cast<int64_t>(v.size()));
        bytes(copy.data(), copy.size());
    }
    void string(std::string_view s) {
        i64(static_cast<int64_t>(s.size()));
        bytes(s.data(), s.size());
    }
    void strings(const std::vector<std::string>& list) {
        std::vector<int64_t> ends;
        ends.reserve(list.size());
        std::string& blob = owned_.emplace_back();
        for (const std::string& s : list) {
            blob += s;
            ends.push_back(static_cast<int64_t>(blob.size()));
        }
        array_copy(ends);
        i64(static_cast<int64_t>(blob.size()));
        bytes(blob.data(), blob.size());
    }

    size_t payload_size() const { return size_; }
    size_t total_size() const { return kSectionHeaderSize + size_; }

    void write(Sink& out) const {
        char head[kSectionHeaderSize] = {};
        const uint32_t flags = 0;
        const uint64_t size = size_;
        std::memcpy(head, tag_, 4);
        std::memcpy(head + 4, &flags, 4);
        std::memcpy(head + 8, &size, 8);
        uint32_t crc = crc_of(crc_of(0, nullptr, 0), head, 16);
        for (const Piece& p : pieces_) crc = crc_of(crc, p.data, p.size);
        std::memcpy(head + 16, &crc, 4);
        out.write(head, sizeof head);
        for (const Piece& p : pieces_) out.write(p.data, p.size);
    }

private:
    struct Piece {
        const char* data;
        size_t size;
    };
    void own(const void* p, size_t n) {
        const std::string& s = owned_.emplace_back(static_cast<const char*>(p), n);
        push(s.data(), n);
    }
    void bytes(const char* p, size_t n) {
        if (n > 0) push(p, n);
        if (padding(n) > 0) push(kZeros, padding(n));
    }
    void push(const char* p, size_t n) {
        pieces_.push_back({p, n});
        size_ += n;
    }

    char tag_[4];
    std::vector<Piece> pieces_;
    std::deque<std::string> owned_;  // a deque: growing it moves no string
    size_t size_ = 0;
};

void encode_solution(int32_t which, const model::Solution& s, SectionWriter& w) {
    w.i64(which);
    w.i64(s.prosta);
    w.i64(s.solsta);
    w.i64(s.reported_primal_obj.has_value());
    w.f64(s.reported_primal_obj.value_or(0.0));
    w.i64(s.reported_dual_obj.has_value());
    w.f64(s.reported_dual_obj.value_or(0.0));
    w.array(s.skc);
    w.array(s.skx);
    w.array(s.skn);
    for (const std::vector<double>& v : s.values) w.array(v);
    w.array(s.doty);
    for (const auto* bar : {&s.barx, &s.bars}) {
        w.i64(static_cast<int64_t>(bar->size()));
        for (const std::vector<double>& v : *bar) w.array(v);
    }
}

void encode_params(const std::vector<ParamSetting>& params, SectionWriter& w) {
    std::vector<std::string> names[3], str_values;
    std::vector<int32_t> int_values;
    std::vector<double> dou_values;
    for (const ParamSetting& p : params) {
        switch (p.type) {
            case VLT_PAR_TYPE_INT: names[0].push_back(p.name); int_values.push_back(p.int_value); break;
            case VLT_PAR_TYPE_DOU: names[1].push_back(p.name); dou_values.push_back(p.dou_value); break;
            default: names[2].push_back(p.name); str_values.push_back(p.str_value); break;
        }
    }
    w.strings(names[0]);
    w.array_copy(int_values);
    w.strings(names[1]);
    w.array_copy(dou_values);
    w.strings(names[2]);
    w.strings(str_values);
}

// Kinds of name lists in the NAME section.
enum NameKind : int64_t {
    kConNames = 0, kVarNames = 1, kDomainNames = 2, kAccNames = 3, kDjcNames = 4, kConeNames = 5, kBarvarNames = 6
};

void encode_entries(const TaskImage::BarTerms& t, SectionWriter& w) {
    w.array(t.row);
    w.array(t.j);
    w.array(t.ptr);
    w.array(t.mat);
    w.array(t.weight);
}


std::deque<SectionWriter> encode(const TaskImage& im) {
    std::deque<SectionWriter> out;
    SectionWriter& task = out.emplace_back("TASK");
    task.i64(im.numcon);
    task.i64(im.numvar);
    task.i64(im.sense);
    task.f64(im.cfix);
    task.f64(im.truncate_tol);
    SectionWriter& cons = out.emplace_back("CONS");
    cons.array(im.bkc);
    cons.array(im.blc);
    cons.array(im.buc);
    SectionWriter& vars = out.emplace_back("VARS");
    vars.array(im.bkx);
    vars.array(im.blx);
    vars.array(im.bux);
    vars.array(im.vartype);
    vars.array(im.c);
    SectionWriter& amat = out.emplace_back("AMAT");
    amat.array(im.aptr);
    amat.array(im.asub);
    amat.array(im.aval);
    if (!im.qoval.empty()) {
        SectionWriter& s = out.emplace_back("QOBJ");
        s.array(im.qosubi);
        s.array(im.qosubj);
        s.array(im.qoval);
    }
    if (!im.qcval.empty()) {
        SectionWriter& s = out.emplace_back("QCON");
        s.array(im.qcsubk);
        s.array(im.qcsubi);
        s.array(im.qcsubj);
        s.array(im.qcval);
    }
    if (im.num_afe() > 0) {
        SectionWriter& s = out.emplace_back("AFES");
        s.array(im.fptr);
        s.array(im.fsub);
        s.array(im.fval);
        s.array(im.g);
    }
    if (im.num_domain() > 0) {
        SectionWriter& s = out.emplace_back("DOMS");
        s.array(im.domtype);
        s.array(im.domn);
        s.array(im.alphaptr);
        s.array(im.alpha);
    }
    if (im.num_acc() > 0) {
        SectionWriter& s = out.emplace_back("ACCS");
        s.array(im.accdom);
        s.array(im.accptr);
        s.array(im.accafe);
        s.array(im.accb);
    }
    if (im.num_djc() > 0) {
        SectionWriter& s = out.emplace_back("DJCS");
        s.array(im.djcnumterm);
        s.array(im.djctermsize);
        s.array(im.djcdom);
        s.array(im.djcafe);
        s.array(im.djcb);
    }
    if (im.num_barvar() > 0) out.emplace_back("BARV").array(im.barvardim);
    if (im.num_symmat() > 0) {
        SectionWriter& s = out.emplace_back("SYMM");
        s.array(im.symdim);
        s.array(im.symptr);
        s.array(im.symsubi);
        s.array(im.symsubj);
        s.array(im.symval);
    }
    if (im.barc.size() > 0) encode_entries(im.barc, out.emplace_back("BARC"));
    if (im.bara.size() > 0) encode_entries(im.bara, out.emplace_back("BARA"));
    if (im.barf.size() > 0) encode_entries(im.barf, out.emplace_back("BARF"));
    if (im.num_cone() > 0) {
        SectionWriter& s = out.emplace_back("CONE");
        s.array(im.conetype);
        s.array(im.conepar);
        s.array(im.coneptr);
        s.array(im.conemem);
    }
    SectionWriter& names = out.emplace_back("NAME");
    names.string(im.taskname);
    names.string(im.objname);
    const std::pair<NameKind, const std::vector<std::string>*> lists[] = {
        {kConNames, &im.conname},   {kVarNames, &im.varname}, {kDomainNames, &im.domname},
        {kAccNames, &im.accname},   {kDjcNames, &im.djcname}, {kConeNames, &im.conename},
        {kBarvarNames, &im.barvarname}};
    int64_t named = 0;
    for (const auto& [kind, list] : lists) named += !list->empty();
    names.i64(named);
    for (const auto& [kind, list] : lists) {
        if (list->empty()) continue;
        names.i64(kind);
        names.strings(*list);
    }
    if (!im.params.empty()) encode_params(im.params, out.emplace_back("PARS"));
    for (int32_t which = 0; which < model::kNumSolutions; ++which)
        if (im.solutions[size_t(which)].defined) encode_solution(which, im.solutions[size_t(which)], out.emplace_back("SOLN"));
    out.emplace_back("END ");
    return out;
}

void write_header(Sink& out) {
    char head[kHeaderSize];
    std::memcpy(head, kMagic, sizeof kMagic);
    const uint16_t version[2] = {kTaskFormatMajor, kTaskFormatMinor};
    std::memcpy(head + sizeof kMagic, version, sizeof version);
    out.write(head, sizeof head);
}

// --------------------------------------------------------------- reading

// Reads the payload of one section; every read is checked against what is
// left of it.
class Cursor {
public:
    Cursor(std::string_view payload, std::string where) : data_(payload), where_(std::move(where)) {}

    int64_t i64(const char* what) {
        need(8, what);
        int64_t v;
        std::memcpy(&v, data_.data() + pos_, 8);
        pos_ += 8;
        return v;
    }
    double f64(const char* what) { return std::bit_cast<double>(i64(what)); }
    int32_t i32(const char* what) {
        const int64_t v = i64(what);
        if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
            fail_here(std::string(what) + " = " + std::to_string(v) + " is out of range");
        return static_cast<int32_t>(v);
    }

    template <class T>
    void array(std::vector<T>& out, const char* what) {
        const size_t n = count(what, sizeof(T));
        out.resize(n);
        if (n > 0) std::memcpy(out.data(), data_.data() + pos_, n * sizeof(T));
        pos_ += n * sizeof(T);
        skip_padding(n * sizeof(T), what);
    }
    std::string string(const char* what) {
        const size_t n = count(what, 1);
        std::string s(data_.substr(pos_, n));
        pos_ += n;
        skip_padding(n, what);
        return s;
    }
    std::vector<std::string> strings(const char* what) {
        std::vector<int64_t> ends;
        array(ends, what);
        const size_t n = count(what, 1);
        const std::string_view blob = data_.substr(pos_, n);
        std::vector<std::string> out;
        out.reserve(ends.size());
        int64_t begin = 0;
        for (int64_t end : ends) {
            if (end < begin || end > static_cast<int64_t>(n))
                fail_here(std::string("the string offsets of ") + what + " are not in order");
            out.emplace_back(blob.substr(size_t(begin), size_t(end - begin)));
            begin = end;
        }
        if (begin != static_cast<int64_t>(n))
            fail_here(std::string("the strings of ") + what + " do not fill their bytes");
        pos_ += n;
        skip_padding(n, what);
        return out;
    }

    bool at_end() const { return pos_ == data_.size(); }
    void expect_end() const {
        if (pos_ != data_.size())
            fail_here(std::to_string(data_.size() - pos_) + " bytes are left over at the end of the section");
    }

    [[noreturn]] void fail_here(const std::string& why) const {
        fail(VLT_RES_ERR_FILE_FORMAT, where_ + " at payload byte " + std::to_string(pos_) + ": " + why);
    }

private:
    void need(size_t n, const char* what) const {
        if (data_.size() - pos_ < n) fail_here(std::string("the section ends inside ") + what);
    }
    // The element count of an array, checked against the bytes left.
    size_t count(const char* what, size_t width) {
        const int64_t n = i64(what);
        const size_t left = data_.size() - pos_;
        if (n < 0 || static_cast<uint64_t>(n) > left / width)
            fail_here(std::string(what) + " declares " + std::to_string(n) + " elements of " + std::to_string(width) +
                      " bytes, but only " + std::to_string(left) + " bytes are left");
        return static_cast<size_t>(n);
    }
    void skip_padding(size_t n, const char* what) {
        const size_t pad = padding(n);
        need(pad, what);
        if (std::memcmp(data_.data() + pos_, kZeros, pad) != 0)
            fail_here(std::string("the padding after ") + what + " is not zero");
        pos_ += pad;
    }

    std::string_view data_;
    size_t pos_ = 0;
    std::string where_;
};

void decode_entries(Cursor& c, TaskImage::BarTerms& t) {
    c.array(t.row, "the entry rows");
    c.array(t.j, "the entry variables");
    c.array(t.ptr, "the term pointers");
    c.array(t.mat, "the term matrices");
    c.array(t.weight, "the term weights");
}

void decode_task(Cursor& c, TaskImage& im) {
    im.numcon = c.i32("numcon");
    im.numvar = c.i32("numvar");
    im.sense = c.i32("the objective sense");
    im.cfix = c.f64("the constant term");
    im.truncate_tol = c.f64("the truncation tolerance");
}

void decode_solution(Cursor& c, TaskImage& im, std::set<int64_t>& seen) {
    const int32_t which = c.i32("the solution selector");
    if (which < 0 || which >= model::kNumSolutions)
        c.fail_here("the solution selector " + std::to_string(which) + " is not valid");
    if (!seen.insert(which).second) c.fail_here("the solution " + std::to_string(which) + " is given twice");
    model::Solution& s = im.solutions[size_t(which)];
    s.defined = true;
    s.prosta = c.i32("the problem status");
    s.solsta = c.i32("the solution status");
    if (c.i64("a flag")) s.reported_primal_obj = c.f64("the primal objective");
    else c.f64("the primal objective");
    if (c.i64("a flag")) s.reported_dual_obj = c.f64("the dual objective");
    else c.f64("the dual objective");
    c.array(s.skc, "skc");
    c.array(s.skx, "skx");
    c.array(s.skn, "skn");
    for (int32_t item = 0; item < model::kNumSolutionItems; ++item) c.array(s.values[size_t(item)], model::item_name(item));
    c.array(s.doty, "doty");
    if (c.at_end()) return;  // written by version 1.0: no semidefinite values
    for (auto* bar : {&s.barx, &s.bars}) {
        const int64_t n = c.i64("the number of semidefinite variables");
        if (n < 0 || n > std::numeric_limits<int32_t>::max()) c.fail_here("the number of semidefinite variables is out of range");
        for (int64_t j = 0; j < n; ++j) {
            bar->emplace_back();
            c.array(bar->back(), bar == &s.barx ? "barx" : "bars");
        }
    }
}

void decode_params(Cursor& c, TaskImage& im) {
    std::vector<std::string> names = c.strings("the integer parameter names");
    std::vector<int32_t> ints;
    c.array(ints, "the integer parameter values");
    if (ints.size() != names.size()) c.fail_here("the integer parameters have names and values of different counts");
    for (size_t k = 0; k < names.size(); ++k) im.params.push_back({VLT_PAR_TYPE_INT, names[k], ints[k], 0.0, {}});
    names = c.strings("the double parameter names");
    std::vector<double> dous;
    c.array(dous, "the double parameter values");
    if (dous.size() != names.size()) c.fail_here("the double parameters have names and values of different counts");
    for (size_t k = 0; k < names.size(); ++k) im.params.push_back({VLT_PAR_TYPE_DOU, names[k], 0, dous[k], {}});
    names = c.strings("the string parameter names");
    std::vector<std::string> strs = c.strings("the string parameter values");
    if (strs.size() != names.size()) c.fail_here("the string parameters have names and values of different counts");
    for (size_t k = 0; k < names.size(); ++k) im.params.push_back({VLT_PAR_TYPE_STR, names[k], 0, 0.0, strs[k]});
}

void decode_names(Cursor& c, TaskImage& im) {
    im.taskname = c.string("the task name");
    im.objname = c.string("the objective name");
    const int64_t lists = c.i64("the number of name lists");
    std::set<int64_t> seen;
    for (int64_t l = 0; l < lists; ++l) {
        const int64_t kind = c.i64("a name list kind");
        std::vector<std::string>* target = kind == kConNames       ? &im.conname
                                           : kind == kVarNames    ? &im.varname
                                           : kind == kDomainNames ? &im.domname
                                           : kind == kAccNames    ? &im.accname
                                           : kind == kDjcNames    ? &im.djcname
                                           : kind == kConeNames   ? &im.conename
                                           : kind == kBarvarNames ? &im.barvarname
                                                                  : nullptr;
        if (!target) c.fail_here("the name list kind " + std::to_string(kind) + " is not known to this version");
        if (!seen.insert(kind).second) c.fail_here("the name list kind " + std::to_string(kind) + " is given twice");
        *target = c.strings("a name list");
    }
}

// Decodes one known section; false when the tag is not known.
bool decode_section(std::string_view tag, Cursor& c, TaskImage& im, std::set<int64_t>& solutions_seen) {
    if (tag == "TASK") {
        decode_task(c, im);
    } else if (tag == "CONS") {
        c.array(im.bkc, "bkc");
        c.array(im.blc, "blc");
        c.array(im.buc, "buc");
    } else if (tag == "VARS") {
        c.array(im.bkx, "bkx");
        c.array(im.blx, "blx");
        c.array(im.bux, "bux");
        c.array(im.vartype, "the variable types");
        c.array(im.c, "c");
    } else if (tag == "AMAT") {
        c.array(im.aptr, "the column pointers");
        c.array(im.asub, "the row indexes");
        c.array(im.aval, "the values");
    } else if (tag == "QOBJ") {
        c.array(im.qosubi, "qosubi");
        c.array(im.qosubj, "qosubj");
        c.array(im.qoval, "qoval");
    } else if (tag == "QCON") {
        c.array(im.qcsubk, "qcsubk");
        c.array(im.qcsubi, "qcsubi");
        c.array(im.qcsubj, "qcsubj");
        c.array(im.qcval, "qcval");
    } else if (tag == "AFES") {
        c.array(im.fptr, "the row pointers of F");
        c.array(im.fsub, "the column indexes of F");
        c.array(im.fval, "the values of F");
        c.array(im.g, "g");
    } else if (tag == "DOMS") {
        c.array(im.domtype, "the domain types");
        c.array(im.domn, "the domain dimensions");
        c.array(im.alphaptr, "the weight pointers");
        c.array(im.alpha, "the weights");
    } else if (tag == "ACCS") {
        c.array(im.accdom, "the domains of the ACCs");
        c.array(im.accptr, "the AFE list pointers");
        c.array(im.accafe, "the AFE lists");
        c.array(im.accb, "b");
    } else if (tag == "DJCS") {
        c.array(im.djcnumterm, "the number of terms of each DJC");
        c.array(im.djctermsize, "the term sizes");
        c.array(im.djcdom, "the domains of the terms");
        c.array(im.djcafe, "the AFEs of the terms");
        c.array(im.djcb, "the constants of the terms");
    } else if (tag == "BARV") {
        c.array(im.barvardim, "the dimensions of the semidefinite variables");
    } else if (tag == "SYMM") {
        c.array(im.symdim, "the matrix dimensions");
        c.array(im.symptr, "the matrix pointers");
        c.array(im.symsubi, "the matrix rows");
        c.array(im.symsubj, "the matrix columns");
        c.array(im.symval, "the matrix values");
    } else if (tag == "BARC") {
        decode_entries(c, im.barc);
    } else if (tag == "BARA") {
        decode_entries(c, im.bara);
    } else if (tag == "BARF") {
        decode_entries(c, im.barf);
    } else if (tag == "CONE") {
        c.array(im.conetype, "the cone types");
        c.array(im.conepar, "the cone parameters");
        c.array(im.coneptr, "the member pointers");
        c.array(im.conemem, "the members");
    } else if (tag == "NAME") {
        decode_names(c, im);
    } else if (tag == "PARS") {
        decode_params(c, im);
    } else if (tag == "SOLN") {
        decode_solution(c, im, solutions_seen);
    } else {
        return false;
    }
    return true;
}

std::string printable_tag(std::string_view tag) {
    std::string out;
    for (char ch : tag) out += (ch >= 0x20 && ch < 0x7f) ? ch : '?';
    return out;
}

}  // namespace

bool looks_like_task_binary(std::string_view bytes) {
    return bytes.size() >= sizeof kMagic && std::memcmp(bytes.data(), kMagic, sizeof kMagic) == 0;
}

void write_task_binary(const TaskImage& image, Sink& out) {
    write_header(out);
    for (const SectionWriter& s : encode(image)) s.write(out);
}

std::string task_binary_bytes(const TaskImage& image) {
    const std::deque<SectionWriter> sections = encode(image);
    size_t total = kHeaderSize;
    for (const SectionWriter& s : sections) total += s.total_size();
    std::string bytes;
    bytes.reserve(total);
    StringSink sink(bytes);
    write_header(sink);
    for (const SectionWriter& s : sections) s.write(sink);
    return bytes;
}

namespace {

// Walks the sections of a file with the given magic: checks header, sizes,
// checksums, repeats and the end; hands each known section's payload to
// decode (false: the tag is not known).
template <class Decode>
void for_each_section(std::string_view bytes, const std::string& source, const char (&magic)[12], const char* kind,
                      const char* required_tag, Decode&& decode) {
    auto fail_file = [&](const std::string& why) { fail(VLT_RES_ERR_FILE_FORMAT, source + ": " + why); };
    if (bytes.size() < sizeof magic || std::memcmp(bytes.data(), magic, sizeof magic) != 0)
        fail_file(std::string("not a ") + kind + " (its first bytes are not those of one)");
    if (bytes.size() < kHeaderSize) fail_file("the file ends inside its header");
    uint16_t version[2];
    std::memcpy(version, bytes.data() + sizeof magic, sizeof version);
    if (version[0] != kTaskFormatMajor)
        fail_file("written in version " + std::to_string(version[0]) + "." + std::to_string(version[1]) +
                  " of the format, which this version (" + std::to_string(kTaskFormatMajor) + "." +
                  std::to_string(kTaskFormatMinor) + ") cannot read");
    std::set<std::string> seen;
    size_t pos = kHeaderSize;
    for (;;) {
        if (bytes.size() - pos < kSectionHeaderSize)
            fail_file("the file is truncated: it ends at byte " + std::to_string(bytes.size()) +
                      " without its end section");
        const std::string_view tag = bytes.substr(pos, 4);
        uint32_t flags, crc, reserved;
        uint64_t size;
        std::memcpy(&flags, bytes.data() + pos + 4, 4);
        std::memcpy(&size, bytes.data() + pos + 8, 8);
        std::memcpy(&crc, bytes.data() + pos + 16, 4);
        std::memcpy(&reserved, bytes.data() + pos + 20, 4);
        const std::string where = "section " + printable_tag(tag) + " at byte " + std::to_string(pos);
        pos += kSectionHeaderSize;
        if (size > bytes.size() - pos)
            fail_file(where + " declares " + std::to_string(size) + " bytes, but the file has only " +
                      std::to_string(bytes.size() - pos) + " left (truncated?)");
        if (size % 8 != 0) fail_file(where + " has a size that is not a multiple of 8");
        if ((flags & ~kSkippable) != 0 || reserved != 0) fail_file(where + " has header bits this version does not know");
        const std::string_view payload = bytes.substr(pos, size);
        const uint32_t head_crc = crc_of(crc_of(0, nullptr, 0), bytes.data() + pos - kSectionHeaderSize, 16);
        if (crc_of(head_crc, payload.data(), payload.size()) != crc)
            fail_file(where + " is corrupt (its checksum does not match)");
        pos += size;
        if (tag == "END ") break;
        if (tag != "SOLN" && !seen.insert(std::string(tag)).second) fail_file(where + " repeats an earlier section");
        Cursor cursor(payload, source + ": " + where);
        if (!decode(tag, cursor)) {
            if (flags & kSkippable) continue;
            fail_file(where + " holds data this version cannot read (a newer writer's?)");
        }
        cursor.expect_end();
    }
    if (pos != bytes.size()) fail_file(std::to_string(bytes.size() - pos) + " bytes follow the end section");
    if (!seen.count(required_tag)) fail_file(std::string("the ") + required_tag + " section is missing");
}

}  // namespace

TaskImage read_task_binary(std::string_view bytes, const std::string& source) {
    TaskImage im;
    std::set<int64_t> solutions_seen;
    for_each_section(bytes, source, kMagic, "binary task file", "TASK",
                     [&](std::string_view tag, Cursor& c) { return decode_section(tag, c, im, solutions_seen); });
    return im;
}

bool looks_like_solution_binary(std::string_view bytes) {
    return bytes.size() >= sizeof kSolutionMagic && std::memcmp(bytes.data(), kSolutionMagic, sizeof kSolutionMagic) == 0;
}

void write_solutions_binary(const TaskImage& image, Sink& out) {
    char head[kHeaderSize];
    std::memcpy(head, kSolutionMagic, sizeof kSolutionMagic);
    const uint16_t version[2] = {kTaskFormatMajor, kTaskFormatMinor};
    std::memcpy(head + sizeof kSolutionMagic, version, sizeof version);
    out.write(head, sizeof head);
    std::deque<SectionWriter> sections;
    SectionWriter& size = sections.emplace_back("SIZE");
    size.i64(image.numcon);
    size.i64(image.numvar);
    for (int32_t which = 0; which < model::kNumSolutions; ++which)
        if (image.solutions[size_t(which)].defined)
            encode_solution(which, image.solutions[size_t(which)], sections.emplace_back("SOLN"));
    sections.emplace_back("END ");
    for (const SectionWriter& s : sections) s.write(out);
}

TaskImage read_solutions_binary(std::string_view bytes, const std::string& source) {
    TaskImage im;
    std::set<int64_t> solutions_seen;
    for_each_section(bytes, source, kSolutionMagic, "binary solution file", "SIZE", [&](std::string_view tag, Cursor& c) {
        if (tag == "SIZE") {
            im.numcon = c.i32("numcon");
            im.numvar = c.i32("numvar");
            return true;
        }
        if (tag == "SOLN") {
            decode_solution(c, im, solutions_seen);
            return true;
        }
        return false;
    });
    return im;
}

}  // namespace vlt::io
