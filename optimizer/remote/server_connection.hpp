// One conversation with an optimization server (protocol.hpp): each call is
// one HTTP request that ends within the timeout (a deadline for the whole
// request, however slowly the server sends), whose answer is read only up
// to the size such an answer can have, and every failure is a vlt::Error
// with a message naming the server:
//   VLT_RES_ERR_SERVER_CONNECT   no connection, or no whole answer within the timeout
//   VLT_RES_ERR_SERVER_STATUS    the server refused the request (its reason quoted)
//   VLT_RES_ERR_SERVER_TOKEN     the server does not know the job
//   VLT_RES_ERR_SERVER_PROTOCOL  an answer that is not what the protocol says,
//                                or larger than it can be
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "remote/protocol.hpp"
#include "remote/server_address.hpp"

namespace vlt::remote {

struct Exchange;

struct ConnectionOptions {
    double timeout_seconds = 60.0;  // negative: no limit
    std::string ca_cert_path;       // trusted certificates for https (empty: the system's)
};

class ServerConnection {
public:
    ServerConnection(ServerAddress address, std::string access_token, const ConnectionOptions& options);
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // Sends a task (binary task format, possibly compressed); the job token.
    std::string submit(const std::string& task_bytes);
    // The job's status; with wait_seconds > 0 the server answers as soon as
    // the job is done, or after that many seconds.
    protocol::JobStatus status(std::string_view token, double wait_seconds = 0.0);
    std::string log(std::string_view token, int64_t from);
    // The job's result, refused when larger than max_bytes.
    std::string result(std::string_view token, size_t max_bytes);
    void stop(std::string_view token);
    void forget(std::string_view token);

    const ServerAddress& address() const { return address_; }
    double timeout_seconds() const { return timeout_; }

private:
    struct Client;
    Exchange exchange(const char* method, const std::string& path, const std::string* body, size_t limit);
    std::string job_path(std::string_view token, std::string_view tail = {}) const;
    ServerAddress address_;
    double timeout_;
    std::unique_ptr<Client> client_;
};

// Throws VLT_RES_ERR_SERVER_TOKEN unless the text is a job token.
void check_token(const char* token);

}  // namespace vlt::remote
