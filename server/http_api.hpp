// The optimization server's answers to requests (the protocol of
// optimizer/remote/protocol.hpp) over a JobStore, and its request log.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "http_routes.hpp"
#include "http_server.hpp"
#include "job_store.hpp"

namespace vlt::server {

struct ApiOptions {
    std::vector<std::string> access_tokens;  // empty: no token needed
    size_t max_body_bytes = size_t{1} << 30;  // largest task accepted, compressed or not
};

// The hooks of the HTTP server: the access check (before any body is read),
// the answers and the request log on stdout.
http::Hooks api_hooks(JobStore& store, const ApiOptions& options);

}  // namespace vlt::server
