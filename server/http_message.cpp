#include "http_message.hpp"

#include <algorithm>
#include <charconv>

#include <unistd.h>

namespace vlt::server::http {

namespace {

bool token_char(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 32 || u >= 127) return false;
    return std::string_view("()<>@,;:\\\"/[]?={}").find(c) == std::string_view::npos;
}

bool is_token(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), token_char); }

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The next line of the head without its line end (CRLF or a bare LF).
std::string_view next_line(std::string_view& rest) {
    const size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

const std::string* find(const Fields& fields, std::string_view name) {
    for (const auto& [key, value] : fields)
        if (key == name) return &value;
    return nullptr;
}

bool has_control(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return (u < 32 && c != '\t') || u == 127;
    });
}

std::optional<Refusal> parse_request_line(std::string_view line, Request& out) {
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos)
        return Refusal{400, "the request line is not METHOD TARGET VERSION"};
    out.method = std::string(line.substr(0, sp1));
    out.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
    const std::string_view version = line.substr(sp2 + 1);
    if (!is_token(out.method)) return Refusal{400, "the request method is not a word"};
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return Refusal{505, "only HTTP/1.0 and HTTP/1.1 are served"};
    out.keep_alive = version == "HTTP/1.1";
    if (out.target.empty() || out.target[0] != '/' || has_control(out.target))
        return Refusal{400, "the request target is not a path"};
    const size_t q = out.target.find('?');
    const std::optional<std::string> path = percent_decoded(std::string_view(out.target).substr(0, q), false);
    if (!path) return Refusal{400, "the path holds a malformed %-escape"};
    out.path = *path;
    if (q == std::string::npos) return std::nullopt;
    std::string_view query = std::string_view(out.target).substr(q + 1);
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
        if (pair.empty()) continue;
        const size_t eq = pair.find('=');
        const auto name = percent_decoded(pair.substr(0, eq), true);
        const auto value = percent_decoded(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1), true);
        if (!name || !value) return Refusal{400, "the query holds a malformed %-escape"};
        out.query.emplace_back(*name, *value);
    }
    return std::nullopt;
}

std::optional<Refusal> parse_content_length(const std::string& text, Request& out) {
    size_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return Refusal{400, "Content-Length is not a number of bytes"};
    out.content_length = n;
    return std::nullopt;
}

// What the headers say about the body and the connection.
std::optional<Refusal> read_framing(Request& out) {
    std::optional<std::string> length;
    for (const auto& [name, value] : out.headers) {
        if (name != "content-length") continue;
        if (length && *length != value) return Refusal{400, "two different Content-Length headers"};
        length = value;
    }
    if (find(out.headers, "transfer-encoding"))
        return Refusal{411, "send the body with a Content-Length (no Transfer-Encoding)"};
    if (const std::string* coding = find(out.headers, "content-encoding"); coding && lower(*coding) != "identity")
        return Refusal{415, "no Content-Encoding is taken: compress the task in its own format"};
    if (length)
        if (auto refused = parse_content_length(*length, out)) return refused;
    if (const std::string* connection = find(out.headers, "connection")) {
        const std::string c = lower(*connection);
        if (c.find("close") != std::string::npos) out.keep_alive = false;
        else if (c.find("keep-alive") != std::string::npos) out.keep_alive = true;
    }
    if (const std::string* expect = find(out.headers, "expect")) {
        if (lower(*expect) != "100-continue") return Refusal{417, "only Expect: 100-continue is understood"};
        out.expects_continue = true;
    }
    return std::nullopt;
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

void Response::text(int code, const std::string& line) {
    status = code;
    content_type = "text/plain";
    body = line + "\n";
    file = Fd();
    file_bytes = 0;
}

const std::string* Request::header(std::string_view name) const { return find(headers, name); }
const std::string* Request::param(std::string_view name) const { return find(query, name); }

size_t head_end(std::string_view bytes) {
    for (size_t lf = bytes.find('\n'); lf != std::string_view::npos; lf = bytes.find('\n', lf + 1)) {
        if (lf + 1 < bytes.size() && bytes[lf + 1] == '\n') return lf + 2;
        if (lf + 2 < bytes.size() && bytes[lf + 1] == '\r' && bytes[lf + 2] == '\n') return lf + 3;
    }
    return std::string_view::npos;
}

std::optional<Refusal> parse_head(std::string_view head, const HeadLimits& limits, Request& out) {
    if (head.size() > limits.max_bytes) return Refusal{431, "the request head is longer than this server takes"};
    std::string_view rest = head;
    if (auto refused = parse_request_line(next_line(rest), out)) return refused;
    size_t lines = 0;
    for (std::string_view line = next_line(rest); !line.empty(); line = next_line(rest)) {
        if (++lines > limits.max_lines) return Refusal{431, "the request has more header lines than this server takes"};
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !is_token(line.substr(0, colon)))
            return Refusal{400, "a header line is not NAME: VALUE"};
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (has_control(value)) return Refusal{400, "a header value holds control characters"};
        out.headers.emplace_back(lower(line.substr(0, colon)), std::string(value));
    }
    return read_framing(out);
}

std::optional<std::string> percent_decoded(std::string_view text, bool form) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '+' && form) {
            out += ' ';
        } else if (text[k] != '%') {
            out += text[k];
        } else {
            if (k + 2 >= text.size()) return std::nullopt;
            const int hi = hex(text[k + 1]), lo = hex(text[k + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            out += char(hi * 16 + lo);
            k += 2;
        }
    }
    return out;
}

std::string escaped(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u > 32 && u < 127 && c != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += digits[u >> 4];
            out += digits[u & 15];
        }
    }
    return out;
}

const char* status_text(int status) {
    switch (status) {
        case 100: return "Continue";
        case 200: return "OK";
        case 201: return "Created";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 409: return "Conflict";
        case 411: return "Length Required";
        case 413: return "Content Too Large";
        case 415: return "Unsupported Media Type";
        case 417: return "Expectation Failed";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        case 505: return "HTTP Version Not Supported";
        default: return "Status";
    }
}

std::string answer_head(int status, std::string_view content_type, size_t body_bytes, bool keep_alive) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + status_text(status) + "\r\n";
    head += "Content-Type: " + std::string(content_type) + "\r\n";
    head += "Content-Length: " + std::to_string(body_bytes) + "\r\n";
    head += keep_alive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    return head + "\r\n";
}

}  // namespace vlt::server::http
