#include "io/text_output.hpp"

#include <charconv>
#include <cmath>

#include "base/error.hpp"

namespace vlt::io {

namespace {

// Significant digits of a number written by to_chars.
int significant_digits(std::string_view text) {
    const size_t e = text.find_first_of("eE");
    std::string digits;
    for (char ch : text.substr(0, e))
        if (ch >= '0' && ch <= '9') digits += ch;
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 1;
    const size_t last = digits.find_last_not_of('0');
    return static_cast<int>(last - first + 1);
}

}  // namespace

std::string format_number(double value, int digits) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[64];
    auto shortest = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, size_t(shortest.ptr - buffer));
    if (significant_digits(text) <= digits) return std::string(text);
    auto rounded = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    return std::string(buffer, rounded.ptr);
}

std::string NameTable::unique(std::string base) {
    if (used_.insert(base).second) return base;
    for (int64_t k = 1;; ++k) {
        std::string candidate = base + "_" + std::to_string(k);
        if (used_.insert(candidate).second) return candidate;
    }
}

std::string NameTable::assign_one(const std::string& name, const char* generic_name, const char* kind) {
    if (!name.empty() && !why_bad_(name) && used_.insert(name).second) return name;
    if (!generic_ && !name.empty()) {
        const char* why = why_bad_(name);
        fail(VLT_RES_ERR_INVALID_NAME, std::string("The ") + kind + " name '" + name + "' " +
                                           (why ? why : "is used by another item") +
                                           " (VLT_IPAR_WRITE_GENERIC_NAMES would replace it)");
    }
    if (!generic_)
        fail(VLT_RES_ERR_INVALID_NAME, std::string("A ") + kind +
                                           " has no name, which the format needs (VLT_IPAR_WRITE_GENERIC_NAMES "
                                           "would give it one)");
    return unique(generic_name);
}

std::vector<std::string> NameTable::assign(const std::vector<std::string>& names, int64_t count, const char* prefix,
                                           const char* kind, bool unnamed_ok) {
    std::vector<std::string> out(static_cast<size_t>(count));
    // Items' own names are claimed first, so that a generic name never takes
    // the name of a later item.
    std::vector<char> own(static_cast<size_t>(count), 0);
    for (int64_t k = 0; k < count && !names.empty(); ++k) {
        const std::string& name = names[size_t(k)];
        if (!name.empty() && !why_bad_(name) && used_.insert(name).second) {
            out[size_t(k)] = name;
            own[size_t(k)] = 1;
        }
    }
    for (int64_t k = 0; k < count; ++k) {
        if (own[size_t(k)]) continue;
        const std::string& name = names.empty() ? std::string() : names[size_t(k)];
        if (name.empty() && unnamed_ok) continue;
        out[size_t(k)] = assign_one(name, (prefix + std::to_string(k)).c_str(), kind);
    }
    return out;
}

}  // namespace vlt::io
