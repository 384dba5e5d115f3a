// The optimization server's answers to requests (the protocol of
// optimizer/remote/protocol.hpp) over a JobStore, and its request log.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "http_server.hpp"
#include "job_store.hpp"

namespace vlt::server {

struct ApiOptions {
    std::vector<std::string> access_tokens;  // empty: no token needed
    size_t max_body_bytes = size_t{1} << 30;  // largest task accepted, compressed or not
};

// What a request asks for: the route and the job token in its path.
enum class Route { none, health, submit, status, log, result, stop, forget };
struct RouteMatch {
    Route route = Route::none;
    std::string token;
    bool path_known = false;  // the path exists, perhaps for another method
};
RouteMatch match_route(std::string_view method, std::string_view path);

// A path with every job token cut to its first 8 digits, then escaped: logs
// show which job a request concerned without handing out its token, and a
// logged path is one field on one line whatever it holds.
std::string loggable_path(std::string_view path);

// The hooks of the HTTP server: the access check (before any body is read),
// the answers and the request log on stdout.
http::Hooks api_hooks(JobStore& store, const ApiOptions& options);

}  // namespace vlt::server
