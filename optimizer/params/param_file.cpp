// Reading and writing parameter files.
#include "params/param_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/error.hpp"
#include "params/text.hpp"

namespace vlt::params {
namespace {

// One line cut into its first word and its value, comments removed.
struct Setting {
    std::string_view word;  // empty for a blank or comment line
    std::string value;
    bool has_value = false;
};

bool ends_token(char c) { return is_blank(c) || c == '%'; }

class LineError {
public:
    explicit LineError(std::string message) : message(std::move(message)) {}
    std::string message;
};

Setting split_line(std::string_view line) {
    Setting setting;
    size_t pos = 0;
    auto skip_blanks = [&] {
        while (pos < line.size() && is_blank(line[pos])) ++pos;
    };
    auto at_end = [&] { return pos >= line.size() || line[pos] == '%'; };
    auto expect_end = [&](std::string_view after) {
        skip_blanks();
        if (at_end()) return;
        std::string_view rest = line.substr(pos);
        rest = trim(rest.substr(0, rest.find('%')));
        throw LineError("unexpected text '" + std::string(rest) + "' after " + std::string(after));
    };

    skip_blanks();
    if (at_end()) return setting;
    size_t start = pos;
    while (pos < line.size() && !ends_token(line[pos])) ++pos;
    setting.word = line.substr(start, pos - start);
    skip_blanks();
    if (at_end()) return setting;

    setting.has_value = true;
    if (line[pos] == '"') {
        ++pos;
        bool closed = false;
        while (pos < line.size()) {
            char c = line[pos++];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c == '\\' && pos < line.size()) {
                char next = line[pos];
                if (next == '"' || next == '\\') {
                    setting.value += next;
                    ++pos;
                    continue;
                }
                if (next == 'n') {
                    setting.value += '\n';
                    ++pos;
                    continue;
                }
            }
            setting.value += c;
        }
        if (!closed) throw LineError("the quoted value of " + std::string(setting.word) + " has no closing quote");
    } else {
        start = pos;
        while (pos < line.size() && !ends_token(line[pos])) ++pos;
        setting.value = std::string(line.substr(start, pos - start));
    }
    expect_end("the value of " + std::string(setting.word));
    return setting;
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

}  // namespace

bool is_remote_setting(const ParamRef& param) {
    switch (param.type) {
        case VLT_PAR_TYPE_INT: return param.code == VLT_IPAR_REMOTE_USE_COMPRESSION;
        case VLT_PAR_TYPE_DOU: return param.code == VLT_DPAR_REMOTE_TIMEOUT;
        default:
            return param.code == VLT_SPAR_REMOTE_OPTSERVER_HOST || param.code == VLT_SPAR_REMOTE_TLS_CERT ||
                   param.code == VLT_SPAR_REMOTE_TLS_CERT_PATH;
    }
}

bool is_remote_setting(std::string_view name) {
    const std::optional<ParamRef> param = find_param(name);
    return param && is_remote_setting(*param);
}

std::string without_access_token(std::string_view address) {
    const size_t scheme = address.find("://");
    const size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
    const size_t end = std::min(address.find('/', start), address.size());
    const size_t at = address.substr(start, end - start).rfind('@');
    if (at == std::string_view::npos) return std::string(address);
    return std::string(address.substr(0, start)) + std::string(address.substr(start + at + 1));
}

std::vector<std::string> read_params(std::string_view text, ParamValues& values, std::string_view source) {
    ParamValues work = values;
    const bool skip_bad_settings = values[VLT_IPAR_PARAM_READ_IGN_ERROR] == VLT_ONOFF_ON;
    std::vector<std::string> skipped;

    enum class Section { Before, Inside, After } section = Section::Before;
    size_t begin_line = 0;
    size_t line_number = 0;
    auto where = [&] { return std::string(source) + ":" + std::to_string(line_number) + ": "; };
    auto format_error = [&](const std::string& message) { fail(VLT_RES_ERR_FILE_FORMAT, where() + message); };

    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t newline = text.find('\n', pos);
        std::string_view line = text.substr(pos, newline == std::string_view::npos ? text.npos : newline - pos);
        pos = newline == std::string_view::npos ? text.size() : newline + 1;
        ++line_number;
        if (line.find('\0') != std::string_view::npos) format_error("NUL character in the line");

        Setting setting;
        try {
            setting = split_line(line);
        } catch (const LineError& error) {
            format_error(error.message);
        }
        if (setting.word.empty()) continue;

        std::string keyword = upper(setting.word);
        if (keyword == "BEGIN" || keyword == "END") {
            if (setting.has_value) format_error("unexpected text after " + keyword);
            if (keyword == "BEGIN") {
                if (section == Section::Inside)
                    format_error("BEGIN inside the section opened on line " + std::to_string(begin_line));
                if (section == Section::After) format_error("BEGIN after END");
                section = Section::Inside;
                begin_line = line_number;
            } else {
                if (section == Section::Before) format_error("END without BEGIN");
                if (section == Section::After) format_error("second END");
                section = Section::After;
            }
            continue;
        }
        if (section != Section::Inside)
            format_error("'" + std::string(setting.word) + "' outside the BEGIN ... END section");
        if (!setting.has_value) format_error("no value for " + std::string(setting.word));
        try {
            work.set_from_text(setting.word, setting.value);
        } catch (const Error& error) {
            bool bad_setting = error.code() == VLT_RES_ERR_PARAM_NAME || error.code() == VLT_RES_ERR_PARAM_VALUE;
            if (!(bad_setting && skip_bad_settings)) throw Error(error.code(), where() + error.message());
            skipped.push_back(where() + error.message());
        }
    }
    if (section == Section::Before) fail(VLT_RES_ERR_FILE_FORMAT, std::string(source) + ": no BEGIN line");
    if (section == Section::Inside)
        format_error("no END for the BEGIN on line " + std::to_string(begin_line));

    values = std::move(work);
    return skipped;
}

std::vector<std::string> read_param_file(const std::string& path, ParamValues& values) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(VLT_RES_ERR_FILE_OPEN, "Cannot open parameter file '" + path + "': " + std::strerror(errno));
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) fail(VLT_RES_ERR_FILE_READ, "Cannot read parameter file '" + path + "'");
    return read_params(content.str(), values, path);
}

std::string write_params(const ParamValues& values, bool changed_only) {
    const ParamValues defaults;
    size_t width = 0;
    for (const auto& p : int_params()) width = std::max(width, std::strlen(p.name));
    for (const auto& p : dou_params()) width = std::max(width, std::strlen(p.name));
    for (const auto& p : str_params()) width = std::max(width, std::strlen(p.name));

    std::string out = "% velto parameter file\nBEGIN\n";
    auto line = [&](const char* name, const std::string& value) {
        out += "  ";
        out += name;
        out.append(width + 1 - std::strlen(name), ' ');
        out += value;
        out += '\n';
    };
    out += "  % integer parameters\n";
    for (const auto& p : int_params())
        if (!changed_only || values.get_int(p.code) != defaults.get_int(p.code))
            line(p.name, format_int_value(p, values.get_int(p.code)));
    out += "  % double parameters\n";
    for (const auto& p : dou_params())
        if (!changed_only || values.get_dou(p.code) != defaults.get_dou(p.code))
            line(p.name, format_dou_value(values.get_dou(p.code)));
    out += "  % string parameters\n";
    for (const auto& p : str_params())
        if (!changed_only || values.get_str(p.code) != defaults.get_str(p.code))
            line(p.name, quote(p.code == VLT_SPAR_REMOTE_OPTSERVER_HOST ? without_access_token(values.get_str(p.code))
                                                                        : values.get_str(p.code)));
    out += "END\n";
    return out;
}

void write_param_file(const std::string& path, const ParamValues& values, bool changed_only) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) fail(VLT_RES_ERR_FILE_OPEN, "Cannot open parameter file '" + path + "' for writing: " + std::strerror(errno));
    out << write_params(values, changed_only);
    out.flush();
    if (!out) fail(VLT_RES_ERR_FILE_WRITE, "Cannot write parameter file '" + path + "'");
}

}  // namespace vlt::params
