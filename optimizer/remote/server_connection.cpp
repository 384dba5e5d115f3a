#include "remote/server_connection.hpp"

#include <httplib.h>

#include <cmath>
#include <cstdio>

#include "base/error.hpp"
#include "velto.h"

namespace vlt::remote {

namespace {

// Longest single wait httplib's poll() can take in milliseconds as an int.
constexpr double kNoLimitSeconds = 1.0e6;

std::string seconds_text(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", s);
    return buf;
}

// The first line of an error body, shortened: the server's reason.
std::string reason_of(const std::string& body) {
    std::string line = body.substr(0, body.find('\n'));
    if (line.size() > 300) line = line.substr(0, 300) + "...";
    return line.empty() ? std::string() : ": " + line;
}

std::string short_token(std::string_view token) {
    return std::string(token.substr(0, 8)) + (token.size() > 8 ? "..." : "");
}

}  // namespace

struct ServerConnection::Client {
    explicit Client(const std::string& origin) : http(origin) {}
    httplib::Client http;
};

void check_token(const char* token) {
    if (!token) fail(VLT_RES_ERR_NULL_POINTER, "Argument token is null");
    if (!protocol::valid_token(token))
        fail(VLT_RES_ERR_SERVER_TOKEN, "'" + std::string(token).substr(0, 80) + "' is not a job token (" +
                                           std::to_string(protocol::kTokenLength) + " hexadecimal digits)");
}

ServerConnection::ServerConnection(ServerAddress address, std::string access_token, const ConnectionOptions& options)
    : address_(std::move(address)),
      timeout_(options.timeout_seconds < 0 || !std::isfinite(options.timeout_seconds)
                   ? kNoLimitSeconds
                   : std::min(options.timeout_seconds, kNoLimitSeconds)),
      client_(std::make_unique<Client>(address_.origin())) {
    httplib::Client& http = client_->http;
    const auto sec = static_cast<time_t>(timeout_);
    const auto usec = static_cast<time_t>((timeout_ - double(sec)) * 1e6);
    http.set_connection_timeout(sec, usec);
    http.set_read_timeout(sec, usec);
    http.set_write_timeout(sec, usec);
    http.set_keep_alive(true);
    http.set_tcp_nodelay(true);
    if (!access_token.empty()) http.set_bearer_token_auth(access_token.c_str());
    if (address_.tls && !options.ca_cert_path.empty()) http.set_ca_cert_path(std::string(), options.ca_cert_path);
}

ServerConnection::~ServerConnection() = default;

std::string ServerConnection::job_path(std::string_view token, std::string_view tail) const {
    return address_.base_path + "/jobs/" + std::string(token) + std::string(tail);
}

namespace {

// The answer of a request that has one and whose status is expected, or an error.
const httplib::Response& checked(const httplib::Result& r, const ServerAddress& a, double timeout,
                                 std::string_view token, int expected) {
    if (!r) {
        const httplib::Error e = r.error();
        const std::string where = "the optimization server at " + a.origin();
        if (e == httplib::Error::Connection)
            fail(VLT_RES_ERR_SERVER_CONNECT,
                 "Cannot connect to " + where + " (refused, or no answer within " + seconds_text(timeout) + " s)");
        if (e == httplib::Error::Read || e == httplib::Error::Write)
            fail(VLT_RES_ERR_SERVER_CONNECT, "Lost the connection to " + where + " (it closed the connection, or did not answer within " +
                                                 seconds_text(timeout) + " s)");
        fail(VLT_RES_ERR_SERVER_CONNECT, "Cannot talk to " + where + ": " + httplib::to_string(e));
    }
    const httplib::Response& res = *r;
    if (res.status == expected) return res;
    const std::string from = "The optimization server at " + a.origin();
    switch (res.status) {
        case 401:
        case 403: fail(VLT_RES_ERR_SERVER_STATUS, from + " refused the access token" + reason_of(res.body));
        case 404:
            if (!token.empty())
                fail(VLT_RES_ERR_SERVER_TOKEN, from + " does not know the job " + short_token(token) +
                                                   " (finished and removed, or never started there)");
            fail(VLT_RES_ERR_SERVER_PROTOCOL, from + " does not offer the optimization service at that path");
        case 413: fail(VLT_RES_ERR_SERVER_STATUS, from + " refused the task as too large" + reason_of(res.body));
        default:
            fail(res.status >= 200 && res.status < 300 ? VLT_RES_ERR_SERVER_PROTOCOL : VLT_RES_ERR_SERVER_STATUS,
                 from + " answered with status " + std::to_string(res.status) + reason_of(res.body));
    }
}

}  // namespace

std::string ServerConnection::submit(const std::string& task_bytes) {
    const httplib::Result r = client_->http.Post(address_.base_path + "/jobs", task_bytes, protocol::kTaskType);
    std::string token = checked(r, address_, timeout_, {}, 201).body;
    if (!protocol::valid_token(token))
        fail(VLT_RES_ERR_SERVER_PROTOCOL, "The optimization server at " + address_.origin() + " answered with no job token");
    return token;
}

protocol::JobStatus ServerConnection::status(std::string_view token, double wait_seconds) {
    std::string path = job_path(token);
    if (wait_seconds > 0) path += "?wait=" + seconds_text(wait_seconds);
    const httplib::Result r = client_->http.Get(path);
    const httplib::Response& res = checked(r, address_, timeout_, token, 200);
    const std::optional<protocol::JobStatus> s = protocol::parse_status_line(res.body);
    if (!s)
        fail(VLT_RES_ERR_SERVER_PROTOCOL,
             "The optimization server at " + address_.origin() + " answered with a status that is not one" + reason_of(res.body));
    return *s;
}

std::string ServerConnection::log(std::string_view token, int64_t from) {
    const httplib::Result r = client_->http.Get(job_path(token, "/log?from=" + std::to_string(from)));
    return checked(r, address_, timeout_, token, 200).body;
}

std::string ServerConnection::result(std::string_view token) {
    const httplib::Result r = client_->http.Get(job_path(token, "/result"));
    if (r && r->status == 409)
        fail(VLT_RES_ERR_SERVER_STATUS, "The optimization server at " + address_.origin() + " has no result yet for the job " +
                                            short_token(token));
    return checked(r, address_, timeout_, token, 200).body;
}

void ServerConnection::stop(std::string_view token) {
    const httplib::Result r = client_->http.Post(job_path(token, "/stop"));
    checked(r, address_, timeout_, token, 200);
}

void ServerConnection::forget(std::string_view token) {
    const httplib::Result r = client_->http.Delete(job_path(token));
    checked(r, address_, timeout_, token, 200);
}

}  // namespace vlt::remote
