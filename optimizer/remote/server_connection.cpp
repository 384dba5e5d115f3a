#include "remote/server_connection.hpp"

#include <httplib.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

#include "base/error.hpp"
#include "velto.h"

namespace vlt::remote {

namespace {

using Clock = std::chrono::steady_clock;

// Longest single wait httplib's poll() can take in milliseconds as an int.
constexpr double kNoLimitSeconds = 1.0e6;
// The most a short answer (a job token, a status line, an error) may hold.
constexpr size_t kShortAnswerBytes = 64 * 1024;
// The most a piece of a job's log may hold (the server keeps less).
constexpr size_t kLogAnswerBytes = size_t{64} << 20;

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

// The HTTP client and a watchdog that ends a request at its deadline: the
// connection is shut down under a request that has not finished in time,
// however slowly the server keeps sending.
struct ServerConnection::Client {
    Client(const std::string& origin, double timeout) : http(origin) {
        if (timeout < kNoLimitSeconds) watchdog = std::thread([this] { watch(); });
    }
    ~Client() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            quit = true;
        }
        wake.notify_all();
        if (watchdog.joinable()) watchdog.join();
    }

    void arm(double seconds) {
        std::lock_guard<std::mutex> lock(mutex);
        deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        expired = false;
        wake.notify_all();
    }
    // Whether the deadline passed before the request ended.
    bool disarm() {
        std::lock_guard<std::mutex> lock(mutex);
        deadline.reset();
        return expired;
    }

    httplib::Client http;

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!quit) {
            if (!deadline) {
                wake.wait(lock);
            } else if (wake.wait_until(lock, *deadline) == std::cv_status::timeout && deadline && Clock::now() >= *deadline) {
                expired = true;
                deadline.reset();
                http.stop();
            }
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Clock::time_point> deadline;
    bool expired = false, quit = false;
    std::thread watchdog;
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
      client_(std::make_unique<Client>(address_.origin(), timeout_)) {
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

// The outcome of one request: the answer read (its body at most the
// limit), or why there is none.
struct Exchange {
    int status = 0;  // 0: no answer, for the error's reason
    httplib::Error error = httplib::Error::Success;
    std::string body;
    bool timed_out = false;
    bool too_large = false;
};

namespace {

// The answer of a request whose status is expected, or an error.
const std::string& checked(const Exchange& x, const ServerAddress& a, double timeout, std::string_view token,
                           int expected) {
    const std::string where = "the optimization server at " + a.origin();
    if (x.timed_out)
        fail(VLT_RES_ERR_SERVER_CONNECT, "No whole answer from " + where + " within " + seconds_text(timeout) + " s");
    if (x.too_large)
        fail(VLT_RES_ERR_SERVER_PROTOCOL, "The answer of " + where + " is larger than any answer to this request can be");
    if (x.status == 0) {
        const httplib::Error e = x.error;
        if (e == httplib::Error::Connection)
            fail(VLT_RES_ERR_SERVER_CONNECT,
                 "Cannot connect to " + where + " (refused, or no answer within " + seconds_text(timeout) + " s)");
        if (e == httplib::Error::Read || e == httplib::Error::Write)
            fail(VLT_RES_ERR_SERVER_CONNECT, "Lost the connection to " + where + " (it closed the connection, or did not answer within " +
                                                 seconds_text(timeout) + " s)");
        fail(VLT_RES_ERR_SERVER_CONNECT, "Cannot talk to " + where + ": " + httplib::to_string(e));
    }
    const int status = x.status;
    if (status == expected) return x.body;
    const std::string from = "The optimization server at " + a.origin();
    switch (status) {
        case 401:
        case 403: fail(VLT_RES_ERR_SERVER_STATUS, from + " refused the access token" + reason_of(x.body));
        case 404:
            if (!token.empty())
                fail(VLT_RES_ERR_SERVER_TOKEN, from + " does not know the job " + short_token(token) +
                                                   " (finished and removed, or never started there)");
            fail(VLT_RES_ERR_SERVER_PROTOCOL, from + " does not offer the optimization service at that path");
        case 413: fail(VLT_RES_ERR_SERVER_STATUS, from + " refused the task as too large" + reason_of(x.body));
        default:
            fail(status >= 200 && status < 300 ? VLT_RES_ERR_SERVER_PROTOCOL : VLT_RES_ERR_SERVER_STATUS,
                 from + " answered with status " + std::to_string(status) + reason_of(x.body));
    }
}

}  // namespace

// One request within the timeout, its answer's body read up to the limit.
Exchange ServerConnection::exchange(const char* method, const std::string& path, const std::string* body,
                                    size_t limit) {
    Exchange x;
    httplib::Request req;
    req.method = method;
    req.path = path;
    if (body) {
        req.body = *body;
        req.set_header("Content-Type", protocol::kTaskType);
    }
    req.content_receiver = [&x, limit](const char* data, size_t size, uint64_t, uint64_t declared) {
        if (declared > limit || x.body.size() + size > limit) {
            x.too_large = true;
            return false;
        }
        x.body.append(data, size);
        return true;
    };
    client_->arm(timeout_);
    const httplib::Result r = client_->http.send(req);
    x.status = r ? r->status : 0;
    x.error = r.error();
    x.timed_out = client_->disarm() && !x.too_large;
    return x;
}

std::string ServerConnection::submit(const std::string& task_bytes) {
    const Exchange x = exchange("POST", address_.base_path + "/jobs", &task_bytes, kShortAnswerBytes);
    std::string token = checked(x, address_, timeout_, {}, 201);
    if (!protocol::valid_token(token))
        fail(VLT_RES_ERR_SERVER_PROTOCOL, "The optimization server at " + address_.origin() + " answered with no job token");
    return token;
}

protocol::JobStatus ServerConnection::status(std::string_view token, double wait_seconds) {
    std::string path = job_path(token);
    if (wait_seconds > 0) path += "?wait=" + seconds_text(wait_seconds);
    const Exchange x = exchange("GET", path, nullptr, kShortAnswerBytes);
    const std::string& body = checked(x, address_, timeout_, token, 200);
    const std::optional<protocol::JobStatus> s = protocol::parse_status_line(body);
    if (!s)
        fail(VLT_RES_ERR_SERVER_PROTOCOL,
             "The optimization server at " + address_.origin() + " answered with a status that is not one" + reason_of(body));
    return *s;
}

std::string ServerConnection::log(std::string_view token, int64_t from) {
    const Exchange x = exchange("GET", job_path(token, "/log?from=" + std::to_string(from)), nullptr, kLogAnswerBytes);
    return checked(x, address_, timeout_, token, 200);
}

std::string ServerConnection::result(std::string_view token, size_t max_bytes) {
    const Exchange x = exchange("GET", job_path(token, "/result"), nullptr, std::max(max_bytes, kShortAnswerBytes));
    if (x.status == 409)
        fail(VLT_RES_ERR_SERVER_STATUS, "The optimization server at " + address_.origin() + " has no result yet for the job " +
                                            short_token(token));
    return checked(x, address_, timeout_, token, 200);
}

void ServerConnection::stop(std::string_view token) {
    checked(exchange("POST", job_path(token, "/stop"), nullptr, kShortAnswerBytes), address_, timeout_, token, 200);
}

void ServerConnection::forget(std::string_view token) {
    checked(exchange("DELETE", job_path(token), nullptr, kShortAnswerBytes), address_, timeout_, token, 200);
}

}  // namespace vlt::remote
