// A libFuzzer target for the optimization server's request handling without
// sockets: the input is what a client sent on a connection.  Its head is
// found and parsed under the server's limits, routed, and shown as the
// request log shows it.  A parsed head must hold a method, a path from the
// root and a route whose job token is valid; a logged field must be one
// printable word.  A crash, a sanitizer report, an exception or a broken
// promise is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http_message.hpp"
#include "http_routes.hpp"
#include "remote/protocol.hpp"

namespace {

namespace http = vlt::server::http;

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

void check_printable_word(const std::string& text) {
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= 32 || u >= 127) finding("a logged field holds a byte that is not printable");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const http::HeadLimits limits{4096, 16};
    const size_t end = http::head_end(bytes);
    if (end != std::string_view::npos && end > bytes.size()) finding("the head ends past the input");
    http::Request req;
    const auto refused = http::parse_head(bytes.substr(0, end == std::string_view::npos ? bytes.size() : end), limits, req);
    if (refused) {
        if (refused->status < 400 || refused->status > 599 || refused->reason.empty()) finding("a refusal without a status or reason");
        return 0;
    }
    if (req.method.empty() || req.path.empty() || req.path[0] != '/') finding("a parsed head without a method or path");
    if (req.headers.size() > limits.max_lines) finding("more header lines than the limit");
    check_printable_word(http::escaped(req.method));
    check_printable_word(vlt::server::loggable_path(req.path));
    const vlt::server::RouteMatch m = vlt::server::match_route(req.method, req.path);
    if (m.route != vlt::server::Route::none && m.route != vlt::server::Route::health &&
        m.route != vlt::server::Route::submit && !vlt::remote::protocol::valid_token(m.token))
        finding("a job route without a valid token");
    const std::string head = http::answer_head(200, "text/plain", req.content_length, req.keep_alive);
    if (http::head_end(head) != head.size()) finding("an answer head that does not end where it should");
    return 0;
}
