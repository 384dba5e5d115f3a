// The address of an optimization server as the remote entry points take it:
// "host:port", or a URL "http://host:port" (port 80 when left out) or
// "https://host:port" (443), optionally with a path under which the server
// is reached and an access token as the URL's user part
// ("http://TOKEN@host:port"), which is used when the call gives none.
// IPv6 hosts are written in brackets ("[::1]:8080").
#pragma once

#include <string>
#include <string_view>

namespace vlt::remote {

struct ServerAddress {
    bool tls = false;
    std::string host;        // without brackets
    int port = 0;
    std::string base_path;   // "" or "/prefix" (no trailing slash)
    std::string access_token;

    // "http://host:port" (brackets restored for IPv6): what messages show.
    std::string origin() const;
};

// Throws vlt::Error (VLT_RES_ERR_SERVER_HOST) saying what is wrong.
ServerAddress parse_server_address(std::string_view text);

}  // namespace vlt::remote
