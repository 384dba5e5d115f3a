// The HTTP side of the optimization server (the protocol of
// optimizer/remote/protocol.hpp) over a JobStore.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "job_store.hpp"

namespace httplib {
class Server;
}

namespace vlt::server {

struct ApiOptions {
    std::vector<std::string> access_tokens;  // empty: no token needed
    size_t max_body_bytes = size_t{1} << 30;  // largest task accepted, compressed or not
};

// Installs the routes, the access check and the request log on the server.
void install_api(httplib::Server& server, JobStore& store, const ApiOptions& options);

}  // namespace vlt::server
