// What the text writers share: numbers written as the task's precision
// asks, and the names under which items appear in a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vlt::io {

// A finite double as text: the shortest form that reads back as the same
// double when it has at most `digits` significant digits, else rounded to
// `digits` (1 to 17; 17 always reads back exactly).  Infinities are written
// as "inf" / "-inf", NaN as "nan".
std::string format_number(double value, int digits);

// The names items appear under in a file that identifies items by name.
//
// Each item keeps its own name when the format accepts it (why_bad gives
// nullptr) and no earlier item holds it; the others get a generic name,
// prefix + index ("x12"), made unique among all names used so far (a
// suffix "_1", "_2", ... when another item already holds it).  With
// generic == false an item that would need a generic name is an error
// (VLT_RES_ERR_INVALID_NAME naming the item).  With unnamed_ok an unnamed
// item stays unnamed ("").
class NameTable {
public:
    using Rule = const char* (*)(std::string_view name);

    NameTable(Rule why_bad, bool generic) : why_bad_(why_bad), generic_(generic) {}

    // The names of count items of one kind (names: empty or count entries).
    std::vector<std::string> assign(const std::vector<std::string>& names, int64_t count, const char* prefix,
                                    const char* kind, bool unnamed_ok = false);
    // One name ("" asks for a generic one).
    std::string assign_one(const std::string& name, const char* generic_name, const char* kind);

private:
    std::string unique(std::string base);

    Rule why_bad_;
    bool generic_;
    std::unordered_set<std::string> used_;
};

}  // namespace vlt::io
