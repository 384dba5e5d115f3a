// Lines of the library's own text formats (solution files, OPF, PTF): fields
// separated by blanks, a field with blanks or quotes written as a quoted
// string ("a \"b\"\n" with the escapes \" \\ \n \t).
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vlt::io {

// The fields of a line; false (with why set) for an unterminated string.
bool split_fields(std::string_view line, std::vector<std::string>& fields, std::string& why);

// A text as one field: bare when it is a non-empty run of printable
// characters without quotes or blanks that does not start like a comment,
// else quoted.
std::string field(std::string_view text);
// Always quoted.
std::string quoted_field(std::string_view text);

// Numbers of a field: the whole field must be the number.  Doubles take
// "inf", "+inf", "-inf".
bool parse_double(std::string_view text, double& value);
bool parse_int64(std::string_view text, int64_t& value);

// Calls line(text, number) for each line of a text, without its line end.
template <class Line>
void for_each_line(std::string_view text, Line&& line) {
    int64_t number = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view l = text.substr(pos, end - pos);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        line(l, ++number);
        pos = end + 1;
    }
}

}  // namespace vlt::io
