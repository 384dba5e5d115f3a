#include "remote/server_address.hpp"

#include <cctype>
#include <charconv>

#include "base/error.hpp"

namespace vlt::remote {

namespace {

[[noreturn]] void refuse(std::string_view text, const std::string& why) {
    fail(VLT_RES_ERR_SERVER_HOST, "The server address '" + std::string(text) + "' " + why);
}

bool host_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_'; }

}  // namespace

std::string ServerAddress::origin() const {
    const bool ipv6 = host.find(':') != std::string::npos;
    return std::string(tls ? "https://" : "http://") + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

ServerAddress parse_server_address(std::string_view text) {
    ServerAddress a;
    std::string_view rest = text;
    bool url = false;
    if (rest.starts_with("http://")) {
        rest.remove_prefix(7);
        url = true;
    } else if (rest.starts_with("https://")) {
        rest.remove_prefix(8);
        url = a.tls = true;
    } else if (rest.find("://") != std::string_view::npos) {
        refuse(text, "names a scheme other than http or https");
    }
    const size_t slash = rest.find('/');
    if (slash != std::string_view::npos) {
        if (!url) refuse(text, "has a path but is not a URL (write http://host:port/path)");
        std::string_view path = rest.substr(slash);
        rest = rest.substr(0, slash);
        while (path.ends_with('/')) path.remove_suffix(1);
        for (char c : path)
            if (!host_char(c) && c != '/') refuse(text, "has a path with characters other than letters, digits, '.', '-', '_' and '/'");
        a.base_path = path;
    }
    const size_t at = rest.rfind('@');
    if (at != std::string_view::npos) {
        if (!url) refuse(text, "has a user part but is not a URL (write http://TOKEN@host:port)");
        a.access_token = rest.substr(0, at);
        rest.remove_prefix(at + 1);
    }
    std::string_view port_text;
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos) refuse(text, "opens a bracket for an IPv6 host without closing it");
        a.host = rest.substr(1, close - 1);
        for (char c : a.host)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') refuse(text, "has an IPv6 host that is not one");
        rest.remove_prefix(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) refuse(text, "has text after its IPv6 host");
        if (!rest.empty()) port_text = rest.substr(1);
    } else {
        const size_t colon = rest.find(':');
        a.host = rest.substr(0, colon);
        if (colon != std::string_view::npos) port_text = rest.substr(colon + 1);
        for (char c : a.host)
            if (!host_char(c)) refuse(text, "has a host name with characters other than letters, digits, '.', '-' and '_'");
    }
    if (a.host.empty()) refuse(text, "names no host");
    if (port_text.empty()) {
        if (!url) refuse(text, "names no port (write host:port)");
        a.port = a.tls ? 443 : 80;
    } else {
        const auto [end, ec] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), a.port);
        if (ec != std::errc() || end != port_text.data() + port_text.size() || a.port < 1 || a.port > 65535)
            refuse(text, "has the port '" + std::string(port_text) + "', which is not a number from 1 to 65535");
    }
    return a;
}

}  // namespace vlt::remote
