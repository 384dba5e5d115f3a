// The optimization server's HTTP listener: one thread per connection, up to
// a limit (connections past it are answered 503 at once), and every read and
// write under a deadline for the whole of it, so that a client that trickles
// its bytes holds one thread for a bounded time and never the others.
//
// A request head is read within head_seconds of its first byte (and at most
// idle_seconds are waited for it on a kept connection); a body or an answer
// of n bytes is given head_seconds + n / min_bytes_per_second.  The head is
// handed to admit() before the body is read: a refusal there (a missing
// access token, a body larger than the server takes) is answered without
// reading the body, and the connection is closed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "http_message.hpp"

namespace vlt::server::http {

struct ServerLimits {
    HeadLimits head;
    size_t max_body_bytes = size_t{1} << 30;
    size_t max_connections = 256;
    double head_seconds = 10;
    double idle_seconds = 10;
    double min_bytes_per_second = 64 * 1024;
};

struct Hooks {
    std::function<std::optional<Refusal>(const Request&)> admit;
    std::function<void(Request&, Response&)> handle;  // may take the body
    // Every answer: the request as far as it was read, the status, the body
    // bytes sent and the milliseconds since the head's first byte.
    std::function<void(const Request&, int status, size_t sent, double ms)> log;
};

class Server {
public:
    Server(ServerLimits limits, Hooks hooks);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds and listens; the port (the one the system chose for port 0).
    // Throws std::runtime_error saying why it cannot.
    int listen(const std::string& host, int port);
    // Accepts connections until stop(); returns once every one has ended.
    void serve();
    // From any thread: stops accepting and ends every connection.
    void stop();

private:
    class Connection;
    void accept_one();
    void run_connection(int fd, std::string remote);
    void answer_busy(int fd) const;

    ServerLimits limits_;
    Hooks hooks_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable ended_;
    std::set<int> open_;  // the sockets of the running connections
};

}  // namespace vlt::server::http
