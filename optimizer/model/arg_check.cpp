#include "model/arg_check.hpp"

#include <cstdio>

namespace vlt::model {

namespace {

const char* noun(Item item) { return item == Item::Con ? "constraint" : "variable"; }
const char* count_name(Item item) { return item == Item::Con ? "numcon" : "numvar"; }
VLTrescodee index_code(Item item) { return item == Item::Con ? VLT_RES_ERR_INDEX_CON : VLT_RES_ERR_INDEX_VAR; }

std::string number(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

}  // namespace

std::string Arg::str() const {
    std::string s = name;
    if (pos >= 0) s += "[" + std::to_string(pos) + "]";
    return s;
}

void fail_index(Item item, Arg arg, int64_t value, int32_t count) {
    fail(index_code(item), "Argument " + arg.str() + " = " + std::to_string(value) + " is not a valid " + noun(item) +
                               " index (" + count_name(item) + " = " + std::to_string(count) + ")");
}

void fail_slice(Item item, int32_t first, int32_t last, int32_t count) {
    fail(VLT_RES_ERR_SLICE, "Arguments first = " + std::to_string(first) + ", last = " + std::to_string(last) +
                                " do not give a " + noun(item) + " slice within [0, " + count_name(item) + " = " +
                                std::to_string(count) + "]");
}

void fail_value(Arg arg, double value) {
    if (std::isnan(value)) fail(VLT_RES_ERR_NAN_VALUE, "Argument " + arg.str() + " is NaN");
    fail(VLT_RES_ERR_INF_VALUE, "Argument " + arg.str() + " = " + number(value) + " is not finite");
}

void fail_bound_key(Arg arg, int32_t key) {
    fail(VLT_RES_ERR_INVALID_BOUNDKEY, "Argument " + arg.str() + " = " + std::to_string(key) +
                                           " is not a bound key (expected 0 to 4)");
}

void fail_negative(Arg arg, int64_t value) {
    fail(VLT_RES_ERR_NEGATIVE_COUNT, "Argument " + arg.str() + " = " + std::to_string(value) + " is negative");
}

void fail_null(const char* name, const char* count_name, int64_t count) {
    fail(VLT_RES_ERR_NULL_POINTER, std::string("Argument ") + name + " is a null pointer but " + count_name + " = " +
                                       std::to_string(count));
}

namespace {

const char* key_text(int32_t key) {
    static const char* const names[] = {"VLT_BK_LO", "VLT_BK_UP", "VLT_BK_FX", "VLT_BK_FR", "VLT_BK_RA"};
    return is_bound_key(key) ? names[key - VLT_BK_LO] : "?";
}

std::string item_text(Item item, int64_t index) { return std::string(noun(item)) + " " + std::to_string(index); }

[[noreturn]] void fail_infinite_side(Item item, int64_t index, int32_t key, bool lower_side, double value) {
    const char* side = lower_side ? "lower" : "upper";
    fail(VLT_RES_ERR_INVALID_BOUND, std::string("The ") + side + " bound of " + item_text(item, index) + " is " +
                                        number(value) + ", which its bound key " + key_text(key) +
                                        " cannot hold: give a finite value, or a key without a " + side + " bound");
}

}  // namespace

void check_bound_values(Item item, int64_t index, int32_t key, double lower, double upper) {
    const bool lower_side = key == VLT_BK_LO || key == VLT_BK_RA || key == VLT_BK_FX;
    const bool upper_side = key == VLT_BK_UP || key == VLT_BK_RA;
    if (lower_side && (lower == kInf || (key == VLT_BK_FX && !std::isfinite(lower))))
        fail_infinite_side(item, index, key, true, lower);
    if (upper_side && upper == -kInf) fail_infinite_side(item, index, key, false, upper);
}

void check_index_list(Item item, const char* name, int64_t num, const int32_t* sub, int32_t count) {
    for (int64_t k = 0; k < num; ++k) check_index(item, at(name, k), sub[k], count);
}

}  // namespace vlt::model
