#include "http_routes.hpp"

#include <cctype>

#include "http_message.hpp"
#include "remote/protocol.hpp"

namespace vlt::server {

namespace protocol = remote::protocol;

RouteMatch match_route(std::string_view method, std::string_view path) {
    RouteMatch m;
    auto is = [&](std::string_view want, Route route) {
        m.path_known = true;
        if (method == want) m.route = route;
    };
    if (path == "/health") {
        is("GET", Route::health);
        return m;
    }
    if (path == "/jobs") {
        is("POST", Route::submit);
        return m;
    }
    const std::string_view prefix = "/jobs/";
    if (path.substr(0, prefix.size()) != prefix) return m;
    path.remove_prefix(prefix.size());
    const std::string_view token = path.substr(0, protocol::kTokenLength);
    if (!protocol::valid_token(token)) return m;
    const std::string_view tail = path.substr(token.size());
    if (tail.empty()) {
        is("GET", Route::status);
        if (method == "DELETE") m.route = Route::forget;
    } else if (tail == "/log") {
        is("GET", Route::log);
    } else if (tail == "/result") {
        is("GET", Route::result);
    } else if (tail == "/stop") {
        is("POST", Route::stop);
    }
    if (m.route != Route::none) m.token = std::string(token);
    return m;
}

std::string loggable_path(std::string_view path) {
    std::string out;
    size_t k = 0;
    while (k < path.size()) {
        size_t run = 0;
        while (k + run < path.size() && std::isxdigit(static_cast<unsigned char>(path[k + run]))) ++run;
        if (run == 0) {
            out += path[k++];
            continue;
        }
        out += run >= protocol::kTokenLength ? std::string(path.substr(k, 8)) + "..." : std::string(path.substr(k, run));
        k += run;
    }
    return http::escaped(out);
}

}  // namespace vlt::server
