#include "io/text_fields.hpp"

#include <cmath>
#include <limits>

namespace vlt::io {

bool split_fields(std::string_view line, std::vector<std::string>& fields, std::string& why) {
    fields.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string f;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char ch = line[i++];
                if (ch == '"') {
                    closed = true;
                    break;
                }
                if (ch == '\\' && i < line.size()) {
                    const char e = line[i++];
                    f += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                } else {
                    f += ch;
                }
            }
            if (!closed) {
                why = "a quoted string without its closing quote";
                return false;
            }
        } else {
            const size_t b = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
            f.assign(line.substr(b, i - b));
        }
        fields.push_back(std::move(f));
    }
    return true;
}

std::string quoted_field(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        switch (ch) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out += ch;
        }
    }
    return out + "\"";
}

std::string field(std::string_view text) {
    bool bare = !text.empty() && text[0] != '#';
    for (unsigned char ch : text) bare = bare && ch > 0x20 && ch != 0x7f && ch != '"' && ch != '\\';
    return bare ? std::string(text) : quoted_field(text);
}

bool parse_double(std::string_view text, double& value) {
    if (text == "inf" || text == "+inf") {
        value = std::numeric_limits<double>::infinity();
        return true;
    }
    if (text == "-inf") {
        value = -std::numeric_limits<double>::infinity();
        return true;
    }
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (text.empty() || (text[0] != '-' && text[0] != '.' && (text[0] < '0' || text[0] > '9'))) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !std::isnan(value);
}

bool parse_int64(std::string_view text, int64_t& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

}  // namespace vlt::io
