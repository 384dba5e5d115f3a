// Pieces of remote optimization that need no server: server addresses, the
// status line, the result format (exact round trip, every damage refused,
// results that do not fit the task refused) and bounded decompression.
#include <string>
#include <vector>

#include "base/error.hpp"
#include "check.hpp"
#include "core/env.hpp"
#include "core/task.hpp"
#include "io/compression.hpp"
#include "remote/job_result.hpp"
#include "remote/protocol.hpp"
#include "remote/server_address.hpp"
#include "solve/optimizer.hpp"

namespace {

template <class F>
int32_t code_of(F&& f) {
    try {
        f();
    } catch (const vlt::Error& e) {
        return e.code();
    }
    return VLT_RES_OK;
}

void addresses() {
    struct Good {
        const char* text;
        bool tls;
        const char* host;
        int port;
        const char* path;
        const char* token;
    };
    const Good good[] = {
        {"localhost:8080", false, "localhost", 8080, "", ""},
        {"http://10.1.2.3:99", false, "10.1.2.3", 99, "", ""},
        {"http://opt.example.org", false, "opt.example.org", 80, "", ""},
        {"https://opt.example.org/velto/", true, "opt.example.org", 443, "/velto", ""},
        {"http://s3cret@host:1", false, "host", 1, "", "s3cret"},
        {"[::1]:8080", false, "::1", 8080, "", ""},
        {"http://[::1]", false, "::1", 80, "", ""},
    };
    for (const Good& g : good) {
        const vlt::remote::ServerAddress a = vlt::remote::parse_server_address(g.text);
        CHECK(a.tls == g.tls && a.host == g.host && a.port == g.port && a.base_path == g.path &&
                  a.access_token == g.token,
              "%s", g.text);
    }
    CHECK(vlt::remote::parse_server_address("[::1]:80").origin() == "http://[::1]:80");
    for (const char* bad : {"", "localhost", ":80", "host:0", "host:65536", "host:80x", "host:-1", "ftp://h:1",
                            "host:80/path", "user@host:80", "[::1", "[zz]:80", "ho st:80", "http://h:1/a b"})
        CHECK(code_of([&] { vlt::remote::parse_server_address(bad); }) == VLT_RES_ERR_SERVER_HOST, "%s", bad);
}

void status_lines() {
    namespace p = vlt::remote::protocol;
    const p::JobStatus s{true, VLT_RES_ERR_NONCONVEX, VLT_RES_TRM_MAX_TIME, 12345};
    const auto back = p::parse_status_line(p::status_line(s));
    CHECK(back && back->done && back->response == s.response && back->trmcode == s.trmcode && back->log_size == 12345);
    for (const char* bad : {"", "1 0 0", "2 0 0 0", "1 0 0 -1", "1  0 0 0", "1 0 0 0 0", "1 0 x 0", "1 0 4294967296 0"})
        CHECK(!p::parse_status_line(bad), "'%s'", bad);
    CHECK(p::valid_token(std::string(64, 'a')) && !p::valid_token(std::string(64, 'A')) &&
          !p::valid_token(std::string(63, '0')));
}

void small_problem(vlt::Task& t) {
    auto& p = t.problem;
    p.append_cons(1);
    p.append_vars(2);
    const int32_t rows[] = {0, 0}, cols[] = {0, 1};
    const double vals[] = {1.0, 1.0};
    p.put_aij_list(2, rows, cols, vals);
    p.put_bound(vlt::model::Item::Con, 0, VLT_BK_LO, 1.0, 0.0);
    p.put_bound(vlt::model::Item::Var, 0, VLT_BK_LO, 0.0, 0.0);
    p.put_bound(vlt::model::Item::Var, 1, VLT_BK_LO, 0.0, 0.0);
    p.put_cj(0, 1.0);
    p.put_cj(1, 2.0);
    t.params.set_int(VLT_IPAR_LOG, 0);
}

void results(vlt::Env& env) {
    vlt::Task solved(env);
    small_problem(solved);
    const int32_t trm = vlt::solve::optimize(solved);
    const std::string bytes = vlt::remote::encode_result(vlt::remote::capture_result(solved, VLT_RES_OK, trm, ""));
    const vlt::remote::JobResult back = vlt::remote::decode_result(bytes, "test");
    CHECK(vlt::remote::encode_result(back) == bytes);

    vlt::Task fresh(env);
    small_problem(fresh);
    vlt::remote::install_result(fresh, back);
    CHECK(vlt::remote::encode_result(vlt::remote::capture_result(fresh, VLT_RES_OK, trm, "")) == bytes);

    // Every truncation and a flipped bit anywhere are refused.
    int refused = 0, positions = 0;
    for (size_t n = 0; n < bytes.size(); n += 7, ++positions)
        refused += code_of([&] { vlt::remote::decode_result(bytes.substr(0, n), "test"); }) == VLT_RES_ERR_SERVER_PROTOCOL;
    for (size_t k = 0; k < bytes.size(); k += 5, ++positions) {
        std::string damaged = bytes;
        damaged[k] = char(damaged[k] ^ 0x10);
        refused += code_of([&] { vlt::remote::decode_result(damaged, "test"); }) == VLT_RES_ERR_SERVER_PROTOCOL;
    }
    CHECK(refused == positions, "%d of %d refused", refused, positions);

    // A result for another problem size leaves the task as it was.
    vlt::Task other(env);
    small_problem(other);
    other.problem.append_vars(1);
    const std::string before = vlt::remote::encode_result(vlt::remote::capture_result(other, 0, 0, ""));
    CHECK(code_of([&] { vlt::remote::install_result(other, back); }) == VLT_RES_ERR_DIMENSION);
    CHECK(vlt::remote::encode_result(vlt::remote::capture_result(other, 0, 0, "")) == before);
}

void bounded_decompression() {
    const std::string plain(1 << 20, 'x');
    for (vlt::io::Compression kind : {vlt::io::Compression::gzip, vlt::io::Compression::zstd}) {
        std::string packed;
        vlt::io::StringSink sink(packed);
        auto out = vlt::io::compressing_sink(kind, sink);
        out->write(plain.data(), plain.size());
        out->finish();
        auto inflate = [&](size_t limit) {
            return vlt::io::decompressed(vlt::io::InputBytes::view(packed), VLT_COMPRESS_FREE, "test", limit);
        };
        CHECK(inflate(plain.size()).bytes() == plain);
        CHECK(code_of([&] { inflate(plain.size() - 1); }) == VLT_RES_ERR_COMPRESSION);
        CHECK(code_of([&] { inflate(0); }) == VLT_RES_ERR_COMPRESSION);
    }
}

}  // namespace

int main() {
    vlt::Env& env = *new vlt::Env(false);
    addresses();
    status_lines();
    results(env);
    bounded_decompression();
    env.release();
    return vlt_test::report();
}
