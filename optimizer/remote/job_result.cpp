#include "remote/job_result.hpp"

#include <zlib.h>

#include <bit>
#include <cstring>
#include <type_traits>
#include <vector>

#include "base/error.hpp"
#include "core/task.hpp"

namespace vlt::remote {

static_assert(std::endian::native == std::endian::little, "results are written as they lie in memory");

namespace {

constexpr char kMagic[12] = {'\x89', 'V', 'L', 'T', 'R', 'S', 'L', 'T', '\r', '\n', '\x1a', '\n'};
constexpr uint16_t kMajor = 2, kMinor = 0;  // 2: the semidefinite parts

uint32_t crc_of(std::string_view bytes) {
    return static_cast<uint32_t>(
        crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

class Writer {
public:
    template <class T>
    void scalar(T v) {
        static_assert(std::is_trivially_copyable_v<T>);
        out.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    template <class T>
    void array(const T* data, size_t n, bool with_count_u64 = true) {
        if (with_count_u64) scalar<uint64_t>(n);
        else scalar<uint32_t>(static_cast<uint32_t>(n));
        if (n > 0) out.append(reinterpret_cast<const char*>(data), n * sizeof(T));
    }
    template <class T>
    void array(const std::vector<T>& v) { array(v.data(), v.size()); }
    std::string out;
};

class Reader {
public:
    Reader(std::string_view bytes, const std::string& source) : data_(bytes), source_(source) {}

    template <class T>
    T scalar(const char* what) {
        need(sizeof(T), what);
        T v;
        std::memcpy(&v, data_.data() + pos_, sizeof v);
        pos_ += sizeof v;
        return v;
    }
    template <class T>
    void array(std::vector<T>& out, const char* what) {
        const uint64_t n = scalar<uint64_t>(what);
        if (n > (data_.size() - pos_) / sizeof(T)) bad(std::string(what) + " is longer than the data left");
        out.resize(size_t(n));
        if (n > 0) std::memcpy(out.data(), data_.data() + pos_, size_t(n) * sizeof(T));
        pos_ += size_t(n) * sizeof(T);
    }
    template <class T>
    void fixed(T* out, size_t expected, const char* what) {
        if (scalar<uint32_t>(what) != expected) bad(std::string("the count of ") + what + " is not this version's");
        need(expected * sizeof(T), what);
        std::memcpy(out, data_.data() + pos_, expected * sizeof(T));
        pos_ += expected * sizeof(T);
    }
    std::string text(const char* what) {
        std::vector<char> chars;
        array(chars, what);
        return std::string(chars.begin(), chars.end());
    }
    bool at_end() const { return pos_ == data_.size(); }
    size_t left() const { return data_.size() - pos_; }

    [[noreturn]] void bad(const std::string& why) const {
        fail(VLT_RES_ERR_SERVER_PROTOCOL, source_ + ": the result is malformed: " + why);
    }

private:
    void need(size_t n, const char* what) const {
        if (data_.size() - pos_ < n) bad(std::string("it ends inside ") + what);
    }
    std::string_view data_;
    size_t pos_ = 0;
    const std::string& source_;
};

void encode_solution(const model::Solution& s, Writer& w) {
    w.scalar<uint8_t>(s.defined);
    if (!s.defined) return;
    w.scalar<int32_t>(s.prosta);
    w.scalar<int32_t>(s.solsta);
    for (const std::optional<double>& obj : {s.reported_primal_obj, s.reported_dual_obj}) {
        w.scalar<uint8_t>(obj.has_value());
        w.scalar<double>(obj.value_or(0.0));
    }
    w.array(s.skc);
    w.array(s.skx);
    w.array(s.skn);
    for (const std::vector<double>& v : s.values) w.array(v);
    w.array(s.doty);
    for (const std::vector<std::vector<double>>* parts : {&s.barx, &s.bars}) {
        w.scalar<uint64_t>(parts->size());
        for (const std::vector<double>& v : *parts) w.array(v);
    }
}

void decode_solution(Reader& r, model::Solution& s) {
    s.defined = r.scalar<uint8_t>("a solution flag") != 0;
    if (!s.defined) return;
    s.prosta = r.scalar<int32_t>("a problem status");
    s.solsta = r.scalar<int32_t>("a solution status");
    for (std::optional<double>* obj : {&s.reported_primal_obj, &s.reported_dual_obj}) {
        const bool has = r.scalar<uint8_t>("an objective flag") != 0;
        const double value = r.scalar<double>("an objective value");
        if (has) *obj = value;
    }
    r.array(s.skc, "skc");
    r.array(s.skx, "skx");
    r.array(s.skn, "skn");
    for (int32_t item = 0; item < model::kNumSolutionItems; ++item) r.array(s.values[size_t(item)], model::item_name(item));
    r.array(s.doty, "doty");
    for (std::vector<std::vector<double>>* parts : {&s.barx, &s.bars}) {
        // Each semidefinite variable takes at least its eight-byte count.
        const uint64_t n = r.scalar<uint64_t>("the number of semidefinite variables");
        if (n > r.left() / 8) r.bad("it declares more semidefinite variables than the data left holds");
        parts->resize(size_t(n));
        for (std::vector<double>& v : *parts) r.array(v, parts == &s.barx ? "barx" : "bars");
    }
}

// Throws unless the solution fits the sizes exactly and its keys and
// statuses are the library's.
void check_solution(const model::Solution& s, const model::SolutionSizes& sizes, const char* which) {
    auto refuse = [&](const std::string& why) {
        fail(VLT_RES_ERR_SERVER_PROTOCOL, std::string("The server's ") + which + " solution " + why);
    };
    auto sized = [&](size_t have, int64_t want, const char* what) {
        if (int64_t(have) != want)
            fail(VLT_RES_ERR_DIMENSION, std::string("The server's ") + which + " solution has " +
                                            std::to_string(have) + " values of " + what + " but the task has " +
                                            std::to_string(want) + " (was the task changed after it was sent?)");
    };
    sized(s.skc.size(), sizes.numcon, "skc");
    sized(s.skx.size(), sizes.numvar, "skx");
    sized(s.skn.size(), sizes.numcone, "skn");
    for (int32_t item = 0; item < model::kNumSolutionItems; ++item) {
        const int64_t want = item == VLT_SOL_ITEM_XC || item == VLT_SOL_ITEM_Y || item == VLT_SOL_ITEM_SLC ||
                                     item == VLT_SOL_ITEM_SUC
                                 ? sizes.numcon
                                 : sizes.numvar;
        sized(s.values[size_t(item)].size(), want, model::item_name(item));
    }
    sized(s.doty.size(), sizes.numaccrows, "doty");
    for (const auto* parts : {&s.barx, &s.bars}) {
        const char* what = parts == &s.barx ? "barx" : "bars";
        sized(parts->size(), sizes.numbarvar(), what);
        for (int32_t j = 0; j < sizes.numbarvar(); ++j) {
            const int64_t dim = (*sizes.barvar_dims)[size_t(j)];
            sized((*parts)[size_t(j)].size(), dim * (dim + 1) / 2, what);
        }
    }
    for (const std::vector<int32_t>* keys : {&s.skc, &s.skx, &s.skn})
        for (int32_t key : *keys)
            if (key < VLT_SK_UNK || key > VLT_SK_INF) refuse("holds the status key " + std::to_string(key));
    if (s.prosta < VLT_PRO_STA_UNKNOWN || s.prosta > VLT_PRO_STA_PRIM_INFEAS_OR_UNBOUNDED)
        refuse("has the problem status " + std::to_string(s.prosta));
    if (s.solsta < VLT_SOL_STA_UNKNOWN || s.solsta > VLT_SOL_STA_INTEGER_OPTIMAL)
        refuse("has the solution status " + std::to_string(s.solsta));
}

const char* const kSolutionNames[model::kNumSolutions] = {"interior-point", "basic", "integer"};

}  // namespace

std::string encode_result(const JobResult& result) {
    Writer w;
    w.out.append(kMagic, sizeof kMagic);
    w.scalar(kMajor);
    w.scalar(kMinor);
    w.scalar<int32_t>(result.response);
    w.scalar<int32_t>(result.trmcode);
    w.array(result.message.data(), result.message.size());
    w.array(result.info.d, VLT_NUM_DOUINF, false);
    w.array(result.info.i, VLT_NUM_IINF, false);
    w.array(result.info.l, VLT_NUM_LIINF, false);
    for (const model::Solution& s : result.solutions) encode_solution(s, w);
    w.scalar<uint32_t>(crc_of(w.out));
    return std::move(w.out);
}

JobResult decode_result(std::string_view bytes, const std::string& source) {
    Reader r(bytes, source);
    if (bytes.size() < sizeof kMagic + 8 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        r.bad("it does not start like a result");
    uint32_t crc;
    std::memcpy(&crc, bytes.data() + bytes.size() - 4, 4);
    if (crc != crc_of(bytes.substr(0, bytes.size() - 4))) r.bad("its checksum does not match");
    Reader body(bytes.substr(sizeof kMagic, bytes.size() - sizeof kMagic - 4), source);
    const uint16_t major = body.scalar<uint16_t>("the version");
    body.scalar<uint16_t>("the version");
    if (major != kMajor) r.bad("it was written in version " + std::to_string(major) + ", which this one cannot read");
    JobResult out;
    out.response = body.scalar<int32_t>("the response code");
    out.trmcode = body.scalar<int32_t>("the termination code");
    out.message = body.text("the message");
    body.fixed(out.info.d, VLT_NUM_DOUINF, "the double information items");
    body.fixed(out.info.i, VLT_NUM_IINF, "the integer information items");
    body.fixed(out.info.l, VLT_NUM_LIINF, "the long information items");
    for (model::Solution& s : out.solutions) decode_solution(body, s);
    if (!body.at_end()) body.bad("bytes follow the last solution");
    return out;
}

JobResult capture_result(Task& task, int32_t response, int32_t trmcode, std::string message) {
    JobResult out;
    out.response = response;
    out.trmcode = trmcode;
    out.message = std::move(message);
    out.info = task.info;
    const model::SolutionSizes sizes = model::solution_sizes(task.problem);
    for (int32_t which = 0; which < model::kNumSolutions; ++which)
        if (task.solutions.defined(which)) out.solutions[size_t(which)] = task.solutions.read(which, sizes);
    return out;
}

void install_result(Task& task, const JobResult& result) {
    const model::SolutionSizes sizes = model::solution_sizes(task.problem);
    for (int32_t which = 0; which < model::kNumSolutions; ++which)
        if (result.solutions[size_t(which)].defined)
            check_solution(result.solutions[size_t(which)], sizes, kSolutionNames[which]);
    task.info = result.info;
    for (int32_t which = 0; which < model::kNumSolutions; ++which) {
        if (result.solutions[size_t(which)].defined) task.solutions.store(which, result.solutions[size_t(which)]);
        else task.solutions.remove(which);
    }
}

}  // namespace vlt::remote
