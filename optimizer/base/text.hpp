// UTF-8 text: every message the library hands out is valid UTF-8, also when
// it quotes bytes of a file or a name that are not.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vlt {

// Length of the UTF-8 sequence at s[pos], or 0 when it is malformed (an
// overlong form, a surrogate, a code point above U+10FFFF, a cut sequence).
size_t utf8_sequence(std::string_view s, size_t pos);

// Whether all of s is valid UTF-8.
bool is_utf8(std::string_view s);

// s with every byte that is not part of a valid UTF-8 sequence written as
// the four characters \xNN (two lower-case hexadecimal digits).
std::string escaped_utf8(std::string_view s);

}  // namespace vlt
