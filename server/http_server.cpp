#include "http_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace vlt::server::http {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReadChunk = 64 * 1024;
// A refused request's unread body is drained this long (and this much) before
// the connection closes, so that the client reads the answer, not a reset.
constexpr double kLingerSeconds = 1.0;
constexpr size_t kLingerBytes = 1 << 20;

Clock::time_point after(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

int millis_until(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::clamp<int64_t>(left, 0, 60'000));
}

std::string address_text(const sockaddr_storage& a) {
    char host[INET6_ADDRSTRLEN] = "-";
    if (a.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(a).sin_addr, host, sizeof host);
    else if (a.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(a).sin6_addr, host, sizeof host);
    return host;
}

[[noreturn]] void fail_system(const std::string& what) { throw std::runtime_error(what + ": " + std::strerror(errno)); }

}  // namespace

// One client connection: bytes read ahead of the request being parsed, and
// reads and writes that give up at a deadline or when the server stops.
class Server::Connection {
public:
    Connection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

    std::string pending;

    // Appends what arrives before the deadline; false at its end, at the
    // end of the stream, on an error or when the server stops.
    bool fill(Clock::time_point deadline) {
        for (;;) {
            if (stopping_) return false;
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, millis_until(deadline));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            char chunk[kReadChunk];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) return false;
            pending.append(chunk, size_t(n));
            return true;
        }
    }

    bool send_all(const char* data, size_t size, Clock::time_point deadline) {
        while (size > 0) {
            if (stopping_) return false;
            pollfd p{fd_, POLLOUT, 0};
            const int ready = ::poll(&p, 1, millis_until(deadline));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) return false;
            data += n;
            size -= size_t(n);
        }
        return true;
    }

    // Sends a file's bytes in pieces; false when the file ends early.
    bool send_file(int file, size_t size, Clock::time_point deadline) {
        char chunk[kReadChunk];
        off_t offset = 0;
        while (size > 0) {
            const ssize_t n = ::pread(file, chunk, std::min(size, sizeof chunk), offset);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || !send_all(chunk, size_t(n), deadline)) return false;
            offset += n;
            size -= size_t(n);
        }
        return true;
    }

    // Reads and drops what the client still sends, for a short while.
    void linger() {
        ::shutdown(fd_, SHUT_WR);
        const auto deadline = after(kLingerSeconds);
        size_t dropped = 0;
        while (dropped < kLingerBytes && fill(deadline)) {
            dropped += pending.size();
            pending.clear();
        }
    }

private:
    int fd_;
    const std::atomic<bool>& stopping_;
};

Server::Server(ServerLimits limits, Hooks hooks) : limits_(std::move(limits)), hooks_(std::move(hooks)) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) fail_system("cannot make a pipe");
}

Server::~Server() {
    if (listener_ >= 0) ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

int Server::listen(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int e = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); e != 0)
        throw std::runtime_error("cannot resolve " + host + ": " + ::gai_strerror(e));
    std::string why = "no address";
    for (addrinfo* a = found; a && listener_ < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 128) == 0) {
            listener_ = fd;
        } else {
            why = std::strerror(errno);
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    if (listener_ < 0) throw std::runtime_error(why);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &length);
    return bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6&>(bound).sin6_port)
                                       : ntohs(reinterpret_cast<sockaddr_in&>(bound).sin_port);
}

void Server::serve() {
    while (!stopping_) {
        pollfd p[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR) break;
        if (p[0].revents & POLLIN) accept_one();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
    ended_.wait(lock, [&] { return open_.empty(); });
}

void Server::stop() {
    stopping_ = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
}

void Server::accept_one() {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0) {
        // Out of descriptors or a connection reset before it was taken: wait
        // a moment rather than spin.
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_.size() >= limits_.max_connections || stopping_) {
            answer_busy(fd);
            ::close(fd);
            return;
        }
        open_.insert(fd);
    }
    try {
        std::thread([this, fd, remote = address_text(peer)] { run_connection(fd, remote); }).detach();
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(mutex_);
        answer_busy(fd);
        open_.erase(fd);
        ::close(fd);
    }
}

// A connection past the limit: told so without waiting on the client.
void Server::answer_busy(int fd) const {
    const std::string text = "the server has too many connections; try again\n";
    const std::string bytes = answer_head(503, "text/plain", text.size(), false) + text;
    [[maybe_unused]] const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void Server::run_connection(int fd, std::string remote) {
    Connection conn(fd, stopping_);
    bool first = true;
    while (!stopping_) {
        Request req;
        req.remote_addr = remote;
        // The head: waited for, then read whole within head_seconds of its first byte.
        auto deadline = after(first ? limits_.head_seconds : limits_.idle_seconds);
        auto started = Clock::now();
        bool begun = !conn.pending.empty();
        size_t end = head_end(conn.pending);
        std::optional<Refusal> refused;
        while (end == std::string::npos && !refused) {
            if (conn.pending.size() > limits_.head.max_bytes) {
                refused = Refusal{431, "the request head is longer than this server takes"};
                break;
            }
            if (!conn.fill(deadline)) break;
            if (!begun) {
                begun = true;
                started = Clock::now();
                deadline = after(limits_.head_seconds);
            }
            end = head_end(conn.pending);
        }
        first = false;
        if (end == std::string::npos && !refused) {
            if (begun && !stopping_) refused = Refusal{408, "the request head did not arrive in time"};
            else break;
        }
        if (!refused) {
            refused = parse_head(std::string_view(conn.pending).substr(0, end), limits_.head, req);
            conn.pending.erase(0, end);
        }
        if (!refused && hooks_.admit) refused = hooks_.admit(req);
        if (!refused && req.content_length > limits_.max_body_bytes)
            refused = Refusal{413, "the task is larger than this server takes"};
        const auto elapsed_ms = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - started).count(); };
        const auto send_answer = [&](Response& res, bool keep) {
            const std::string head = answer_head(res.status, res.content_type, res.size(), keep);
            const auto write_deadline = after(limits_.head_seconds + double(res.size()) / limits_.min_bytes_per_second);
            bool ok = conn.send_all(head.data(), head.size(), write_deadline);
            if (ok) ok = res.file ? conn.send_file(res.file.get(), res.file_bytes, write_deadline)
                                  : conn.send_all(res.body.data(), res.body.size(), write_deadline);
            if (hooks_.log) hooks_.log(req, res.status, ok ? res.size() : 0, elapsed_ms());
            return ok;
        };
        if (refused) {
            Response res;
            res.text(refused->status, refused->reason);
            if (send_answer(res, false)) conn.linger();
            break;
        }
        if (req.expects_continue) {
            const std::string go = "HTTP/1.1 100 Continue\r\n\r\n";
            if (!conn.send_all(go.data(), go.size(), after(limits_.head_seconds))) break;
        }
        // The body, within the time its size allows.
        const auto body_deadline = after(limits_.head_seconds + double(req.content_length) / limits_.min_bytes_per_second);
        bool whole = true;
        while (conn.pending.size() < req.content_length && (whole = conn.fill(body_deadline))) {
        }
        if (!whole) {
            Response res;
            res.text(408, "the request body did not arrive in time");
            send_answer(res, false);
            break;
        }
        if (conn.pending.size() == req.content_length) {
            req.body.swap(conn.pending);
        } else {
            req.body = conn.pending.substr(0, req.content_length);
            conn.pending.erase(0, req.content_length);
        }
        Response res;
        try {
            hooks_.handle(req, res);
        } catch (const std::exception&) {
            res.text(500, "the server failed while answering");
        }
        req.body.clear();
        req.body.shrink_to_fit();
        if (!send_answer(res, req.keep_alive) || !req.keep_alive) break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    open_.erase(fd);
    ended_.notify_all();
}

}  // namespace vlt::server::http
