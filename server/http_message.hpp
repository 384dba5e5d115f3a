// HTTP/1.1 requests and answers as the optimization server reads and writes
// them, without sockets: a request head is parsed from its bytes (bounded in
// size and number of lines), every refusal is a status and one line saying
// why, and answers are written as bytes.
//
// What the server takes: a Content-Length body (no chunked transfer
// coding, no Content-Encoding: a task is compressed inside its own format),
// HTTP/1.0 and 1.1, keep-alive unless the client says otherwise.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vlt::server::http {

struct HeadLimits {
    size_t max_bytes = 16 * 1024;  // request line and header lines together
    size_t max_lines = 64;         // header lines
};

using Fields = std::vector<std::pair<std::string, std::string>>;

struct Request {
    std::string method;
    std::string target;   // as sent
    std::string path;     // decoded, without the query
    Fields query;         // decoded name/value pairs
    Fields headers;       // names in lowercase
    size_t content_length = 0;
    bool keep_alive = true;
    bool expects_continue = false;
    std::string remote_addr;
    std::string body;

    const std::string* header(std::string_view name) const;
    const std::string* param(std::string_view name) const;
};

// A request the server will not answer as asked: the status and why.
struct Refusal {
    int status = 400;
    std::string reason;
};

// An open file descriptor, closed with its owner.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept;
    ~Fd();
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// An answer: its body is the text, or the bytes of an open file.
struct Response {
    int status = 200;
    std::string content_type = "text/plain";
    std::string body;
    Fd file;
    size_t file_bytes = 0;

    void text(int code, const std::string& line);  // a one-line text answer
    size_t size() const { return file ? file_bytes : body.size(); }
};

// Where the head ends in bytes read so far (the offset just past its blank
// line), or npos when it has not ended yet.
size_t head_end(std::string_view bytes);

// Parses a whole head (bytes up to and including its blank line).
std::optional<Refusal> parse_head(std::string_view head, const HeadLimits& limits, Request& out);

// Decodes %XX escapes (and '+' as a space when form is set); nullopt for a
// malformed escape.
std::optional<std::string> percent_decoded(std::string_view text, bool form);

// The text with every byte that is not printable ASCII, the backslash and
// the space written as \xNN, so that a logged field is one word on one line.
std::string escaped(std::string_view text);

const char* status_text(int status);

// The status line and headers of an answer with a body of body_bytes.
std::string answer_head(int status, std::string_view content_type, size_t body_bytes, bool keep_alive);

}  // namespace vlt::server::http
