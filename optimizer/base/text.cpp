#include "base/text.hpp"

#include <cstdint>

namespace vlt {

size_t utf8_sequence(std::string_view s, size_t pos) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(pos);
    if (b0 < 0x80) return 1;
    size_t len;
    uint32_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    if (pos + len > s.size()) return 0;
    if (byte(pos + 1) < lo || byte(pos + 1) > hi) return 0;
    for (size_t k = 2; k < len; ++k)
        if (byte(pos + k) < 0x80 || byte(pos + k) > 0xBF) return 0;
    return len;
}

bool is_utf8(std::string_view s) {
    for (size_t pos = 0; pos < s.size();) {
        const size_t len = utf8_sequence(s, pos);
        if (len == 0) return false;
        pos += len;
    }
    return true;
}

std::string escaped_utf8(std::string_view s) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size());
    for (size_t pos = 0; pos < s.size();) {
        const size_t len = utf8_sequence(s, pos);
        if (len == 0) {
            const unsigned char c = static_cast<unsigned char>(s[pos++]);
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out.append(s, pos, len);
            pos += len;
        }
    }
    return out;
}

}  // namespace vlt
