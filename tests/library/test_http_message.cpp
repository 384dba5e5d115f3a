// The optimization server's request parsing and routes without sockets:
// heads refused with the right status, what a parsed head says about its
// body and connection, query decoding, routes, and log fields that stay one
// printable word.
#include <string>
#include <string_view>

#include "check.hpp"
#include "http_message.hpp"
#include "http_routes.hpp"

namespace {

namespace http = vlt::server::http;
using vlt::server::Route;

const std::string kToken = std::string(32, 'a') + std::string(32, '0');

int status_of(std::string_view head) {
    http::Request req;
    const auto refused = http::parse_head(head, http::HeadLimits{1024, 4}, req);
    return refused ? refused->status : 0;
}

void refusals() {
    const struct {
        const char* head;
        int status;
    } cases[] = {
        {"GET / HTTP/1.1\r\n\r\n", 0},
        {"GET / HTTP/1.1\n\n", 0},  // bare line feeds
        {"GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\n\r\n", 0},
        {"GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\nE: 5\r\n\r\n", 431},
        {"GET /  HTTP/1.1\r\n\r\n", 400},
        {"GET x HTTP/1.1\r\n\r\n", 400},
        {"GET /%zz HTTP/1.1\r\n\r\n", 400},
        {"GET /%4 HTTP/1.1\r\n\r\n", 400},
        {"GET /?a=%4 HTTP/1.1\r\n\r\n", 400},
        {"G(T / HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.2\r\n\r\n", 505},
        {"GET / HTTP/1.1\r\n folded: x\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nNo colon\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nA: x\x01y\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 5\r\n\r\n", 0},
        {"POST / HTTP/1.1\r\nContent-Length: 5x\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 411},
        {"POST / HTTP/1.1\r\nContent-Encoding: identity\r\n\r\n", 0},
        {"POST / HTTP/1.1\r\nContent-Encoding: br\r\n\r\n", 415},
        {"POST / HTTP/1.1\r\nExpect: 200-ok\r\n\r\n", 417},
    };
    for (const auto& c : cases) CHECK(status_of(c.head) == c.status, "%s -> %d", c.head, status_of(c.head));
    CHECK(status_of("GET /" + std::string(2000, 'a') + " HTTP/1.1\r\n\r\n") == 431);
}

void parsed_heads() {
    http::Request req;
    CHECK(!http::parse_head("POST /jobs/x%2Fy?wait=0.5&a+b=%41%20c&&flag HTTP/1.0\r\n"
                            "Content-Length: 12\r\nCONNECTION: Keep-Alive\r\nExpect: 100-Continue\r\n\r\n",
                            http::HeadLimits{}, req));
    CHECK(req.path == "/jobs/x/y" && req.content_length == 12 && req.keep_alive && req.expects_continue);
    CHECK(req.param("wait") && *req.param("wait") == "0.5");
    CHECK(req.param("a b") && *req.param("a b") == "A c");
    CHECK(req.param("flag") && req.param("flag")->empty());
    http::Request closing;
    CHECK(!http::parse_head("GET / HTTP/1.1\r\nConnection: close\r\n\r\n", http::HeadLimits{}, closing) && !closing.keep_alive);
    http::Request old;
    CHECK(!http::parse_head("GET / HTTP/1.0\r\n\r\n", http::HeadLimits{}, old) && !old.keep_alive);
    CHECK(http::head_end("GET / HTTP/1.1\r\nA: b\r\n\r\nbody") == 24);
    CHECK(http::head_end("GET / HTTP/1.1\r\nA: b\r\n") == std::string_view::npos);
}

void routes() {
    const struct {
        const char* method;
        std::string path;
        Route route;
        bool known;
    } cases[] = {
        {"GET", "/health", Route::health, true},
        {"POST", "/health", Route::none, true},
        {"POST", "/jobs", Route::submit, true},
        {"GET", "/jobs/" + kToken, Route::status, true},
        {"DELETE", "/jobs/" + kToken, Route::forget, true},
        {"GET", "/jobs/" + kToken + "/log", Route::log, true},
        {"GET", "/jobs/" + kToken + "/result", Route::result, true},
        {"POST", "/jobs/" + kToken + "/stop", Route::stop, true},
        {"GET", "/jobs/" + kToken + "/stop", Route::none, true},
        {"GET", "/jobs/" + kToken + "0", Route::none, false},
        {"GET", "/jobs/" + std::string(64, 'A'), Route::none, false},
        {"GET", "/jobs/" + kToken + "/other", Route::none, false},
    };
    for (const auto& c : cases) {
        const auto m = vlt::server::match_route(c.method, c.path);
        CHECK(m.route == c.route && m.path_known == c.known, "%s %s", c.method, c.path.c_str());
        CHECK(m.route == Route::none || m.route == Route::health || m.route == Route::submit || m.token == kToken);
    }
}

void log_fields() {
    CHECK(http::escaped("a b\\c\n\x1b\xff") == "a\\x20b\\x5cc\\x0a\\x1b\\xff");
    CHECK(vlt::server::loggable_path("/jobs/" + kToken + "/log") == "/jobs/aaaaaaaa.../log");
    CHECK(vlt::server::loggable_path("/x\r\n2026 GET") == "/x\\x0d\\x0a2026\\x20GET");
}

}  // namespace

int main() {
    refusals();
    parsed_heads();
    routes();
    log_fields();
    return vlt_test::report();
}
