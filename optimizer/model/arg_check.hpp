// Argument checks with the messages every data-entry call uses.  Each check
// throws vlt::Error naming the argument and, for arrays, the position:
//   "Argument subi[3] = 12 is not a valid constraint index (numcon = 10)".
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "base/error.hpp"
#include "model/bounds.hpp"

namespace vlt::model {

// What an index refers to: a constraint (row) or a variable (column).
enum class Item { Con, Var };

// "subi" or "subi[3]": an argument, optionally with a position.
struct Arg {
    const char* name;
    int64_t pos = -1;
    std::string str() const;
};
inline Arg at(const char* name, int64_t pos) { return {name, pos}; }

[[noreturn]] void fail_index(Item item, Arg arg, int64_t value, int32_t count);
[[noreturn]] void fail_slice(Item item, int32_t first, int32_t last, int32_t count);
[[noreturn]] void fail_value(Arg arg, double value);  // NaN or infinite
[[noreturn]] void fail_bound_key(Arg arg, int32_t key);
[[noreturn]] void fail_negative(Arg arg, int64_t value);
[[noreturn]] void fail_null(const char* name, const char* count_name, int64_t count);

inline void check_index(Item item, Arg arg, int64_t value, int32_t count) {
    if (value < 0 || value >= count) fail_index(item, arg, value, count);
}
inline void check_slice(Item item, int32_t first, int32_t last, int32_t count) {
    if (first < 0 || first > last || last > count) fail_slice(item, first, last, count);
}
inline void check_count(Arg arg, int64_t value) {
    if (value < 0) fail_negative(arg, value);
}
inline void check_present(const void* p, const char* name, const char* count_name, int64_t count) {
    if (!p && count > 0) fail_null(name, count_name, count);
}
inline void check_not_nan(Arg arg, double value) {
    if (std::isnan(value)) fail_value(arg, value);
}
inline void check_finite(Arg arg, double value) {
    if (!std::isfinite(value)) fail_value(arg, value);
}
inline void check_bound_key(Arg arg, int32_t key) {
    if (!is_bound_key(key)) fail_bound_key(arg, key);
}

// The bound that item `index` ends with must mean something
// (VLT_RES_ERR_INVALID_BOUND otherwise): no side that its key bounds may lie
// at the wrong infinity (a lower bound of +inf, an upper bound of -inf), and a
// fixed bound needs a finite value.  What the other values mean:
//   - an infinite value on its own side (-inf below, +inf above) leaves that
//     side open, whatever the key says;
//   - a fixed bound is its lower value; its upper value is not used;
//   - a lower value above the upper one is legal data: the problem is then
//     primal infeasible.
// Key and values are checked for validity and NaN before.
void check_bound_values(Item item, int64_t index, int32_t key, double lower, double upper);

// Every index of sub[0..num) valid; duplicates allowed.
void check_index_list(Item item, const char* name, int64_t num, const int32_t* sub, int32_t count);

}  // namespace vlt::model
