// Lookups, value checks and the per-task store over the parameter catalog.
#include "params/param_table.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_map>

#include "base/error.hpp"
#include "params/text.hpp"

namespace vlt::params {
namespace {

// kVLT<enum>[]: every enumeration of the interface, generated from velto.h.
#include "enum_values.inc"

constexpr EnumSet kStatusKeySet{"VLT_SK_", kVLTstakey};
constexpr EnumSet kConeTypeSet{"VLT_CT_", kVLTconetype};

constexpr std::string_view kTypePrefix[] = {"VLT_IPAR_", "VLT_DPAR_", "VLT_SPAR_"};

// Upper-cased full names and short aliases of every parameter.
const std::unordered_map<std::string, ParamRef>& name_index() {
    static const std::unordered_map<std::string, ParamRef> index = [] {
        std::unordered_map<std::string, ParamRef> map;
        auto add = [&map](int32_t type, int32_t code, std::string_view name) {
            map.emplace(upper(name), ParamRef{type, code});
            std::string_view prefix = kTypePrefix[type];
            if (name.starts_with(prefix)) map.emplace(upper(name.substr(prefix.size())), ParamRef{type, code});
        };
        for (const auto& p : int_params()) add(VLT_PAR_TYPE_INT, p.code, p.name);
        for (const auto& p : dou_params()) add(VLT_PAR_TYPE_DOU, p.code, p.name);
        for (const auto& p : str_params()) add(VLT_PAR_TYPE_STR, p.code, p.name);
        return map;
    }();
    return index;
}

std::optional<int32_t> code_of_type(std::string_view name, int32_t type) {
    auto ref = find_param(name);
    if (ref && ref->type == type) return ref->code;
    return std::nullopt;
}

std::string set_listing(const EnumSet& set) {
    std::string text;
    for (const auto& v : set.values) {
        if (!text.empty()) text += ", ";
        text += v.name;
    }
    return text;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

[[noreturn]] void unknown_code(int32_t type, int32_t code) {
    fail(VLT_RES_ERR_PARAM_INDEX, "Unknown " + std::string(param_type_word(type)) + " parameter code " +
                                      std::to_string(code) + " (codes are 0 to " +
                                      std::to_string(num_params(type) - 1) + ")");
}

// The code of the parameter called name, which must be of the given type.
int32_t code_for_name(std::string_view name, int32_t type) {
    auto ref = find_param(name);
    if (!ref) fail(VLT_RES_ERR_PARAM_NAME, "Unknown parameter name " + quoted(name));
    if (ref->type != type) {
        const char* actual = ref->type == VLT_PAR_TYPE_INT   ? int_params()[ref->code].name
                             : ref->type == VLT_PAR_TYPE_DOU ? dou_params()[ref->code].name
                                                             : str_params()[ref->code].name;
        fail(VLT_RES_ERR_PARAM_TYPE, std::string(actual) + " is " +
                                         (ref->type == VLT_PAR_TYPE_INT ? "an " : "a ") +
                                         param_type_word(ref->type) + " parameter, not " +
                                         (type == VLT_PAR_TYPE_INT ? "an " : "a ") + param_type_word(type) +
                                         " parameter");
    }
    return ref->code;
}

}  // namespace

// ------------------------------------------------------------ value sets

std::optional<int32_t> enum_code(const EnumSet& set, std::string_view text) {
    std::string key = upper(trim(text));
    std::string_view prefix = set.prefix;
    for (const auto& v : set.values) {
        std::string_view name = v.name;
        std::string_view short_name = name.starts_with(prefix) ? name.substr(prefix.size()) : name;
        if (key == name || key == short_name || key == "VLT_" + std::string(short_name)) return v.code;
    }
    return std::nullopt;
}

const char* enum_name(const EnumSet& set, int32_t code) {
    for (const auto& v : set.values)
        if (v.code == code) return v.name;
    return nullptr;
}

const EnumSet& status_keys() { return kStatusKeySet; }
const EnumSet& cone_types() { return kConeTypeSet; }

int32_t str_to_status_key(std::string_view text) {
    if (auto code = enum_code(kStatusKeySet, text)) return *code;
    fail(VLT_RES_ERR_INVALID_STAKEY,
         "Unknown status key " + quoted(text) + "; expected one of " + set_listing(kStatusKeySet));
}

int32_t str_to_cone_type(std::string_view text) {
    if (auto code = enum_code(kConeTypeSet, text)) return *code;
    fail(VLT_RES_ERR_INVALID_ENUM,
         "Unknown cone type " + quoted(text) + "; expected one of " + set_listing(kConeTypeSet));
}

// ------------------------------------------------------------ the catalog

int32_t num_params(int32_t partype) {
    switch (partype) {
        case VLT_PAR_TYPE_INT: return static_cast<int32_t>(int_params().size());
        case VLT_PAR_TYPE_DOU: return static_cast<int32_t>(dou_params().size());
        case VLT_PAR_TYPE_STR: return static_cast<int32_t>(str_params().size());
        default: fail(VLT_RES_ERR_PARAM_TYPE, "Unknown parameter type " + std::to_string(partype));
    }
}

const char* param_type_word(int32_t partype) {
    switch (partype) {
        case VLT_PAR_TYPE_INT: return "integer";
        case VLT_PAR_TYPE_DOU: return "double";
        case VLT_PAR_TYPE_STR: return "string";
        default: return "unknown";
    }
}

const IntParamDef* int_param(int32_t code) {
    auto rows = int_params();
    return code >= 0 && static_cast<size_t>(code) < rows.size() ? &rows[static_cast<size_t>(code)] : nullptr;
}

const DouParamDef* dou_param(int32_t code) {
    auto rows = dou_params();
    return code >= 0 && static_cast<size_t>(code) < rows.size() ? &rows[static_cast<size_t>(code)] : nullptr;
}

const StrParamDef* str_param(int32_t code) {
    auto rows = str_params();
    return code >= 0 && static_cast<size_t>(code) < rows.size() ? &rows[static_cast<size_t>(code)] : nullptr;
}

std::optional<ParamRef> find_param(std::string_view name) {
    const auto& index = name_index();
    auto it = index.find(upper(name));
    if (it == index.end()) return std::nullopt;
    return it->second;
}

std::optional<int32_t> int_param_code(std::string_view name) { return code_of_type(name, VLT_PAR_TYPE_INT); }
std::optional<int32_t> dou_param_code(std::string_view name) { return code_of_type(name, VLT_PAR_TYPE_DOU); }
std::optional<int32_t> str_param_code(std::string_view name) { return code_of_type(name, VLT_PAR_TYPE_STR); }

// ------------------------------------------------------------ values

std::optional<std::string> int_value_error(const IntParamDef& def, int32_t value) {
    if (def.values) {
        if (enum_name(*def.values, value)) return std::nullopt;
        return "Value " + std::to_string(value) + " of " + def.name + " is not the code of one of " +
               set_listing(*def.values);
    }
    if (value >= def.min && value <= def.max) return std::nullopt;
    return "Value " + std::to_string(value) + " of " + def.name + " is outside [" + std::to_string(def.min) +
           ", " + std::to_string(def.max) + "]";
}

std::optional<std::string> dou_value_error(const DouParamDef& def, double value) {
    if (std::isnan(value)) return "Value nan of " + std::string(def.name) + " is not a number";
    if (value >= def.min && value <= def.max) return std::nullopt;
    return "Value " + format_dou_value(value) + " of " + def.name + " is outside [" + format_dou_value(def.min) +
           ", " + format_dou_value(def.max) + "]";
}

int32_t parse_int_value(const IntParamDef& def, std::string_view text) {
    std::string_view body = trim(text);
    std::string_view digits = body.starts_with('+') ? body.substr(1) : body;
    int64_t number = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    bool numeric = !digits.empty() && ec == std::errc() && end == digits.data() + digits.size();
    if (numeric) {
        if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max())
            fail(VLT_RES_ERR_PARAM_VALUE,
                 "Value " + quoted(body) + " of " + def.name + " is outside the range of 32-bit integers");
        auto value = static_cast<int32_t>(number);
        if (auto error = int_value_error(def, value)) fail(VLT_RES_ERR_PARAM_VALUE, *error);
        return value;
    }
    if (ec == std::errc::result_out_of_range)
        fail(VLT_RES_ERR_PARAM_VALUE,
             "Value " + quoted(body) + " of " + def.name + " is outside the range of 32-bit integers");
    if (def.values) {
        if (auto code = enum_code(*def.values, body)) return *code;
        fail(VLT_RES_ERR_PARAM_VALUE, "Value " + quoted(body) + " of " + def.name +
                                          " is neither an integer nor one of " + set_listing(*def.values));
    }
    fail(VLT_RES_ERR_PARAM_VALUE, "Value " + quoted(body) + " of " + def.name + " is not an integer");
}

double parse_dou_value(const DouParamDef& def, std::string_view text) {
    std::string_view body = trim(text);
    std::string_view number_text = body;
    // from_chars takes no leading '+', but people write "+1e30".
    if (number_text.starts_with('+') && !number_text.substr(1).starts_with('-')) number_text.remove_prefix(1);
    double value = 0.0;
    auto [end, ec] = std::from_chars(number_text.data(), number_text.data() + number_text.size(), value);
    if (number_text.empty() || end != number_text.data() + number_text.size())
        fail(VLT_RES_ERR_PARAM_VALUE, "Value " + quoted(body) + " of " + def.name + " is not a number");
    if (ec == std::errc::result_out_of_range)
        fail(VLT_RES_ERR_PARAM_VALUE,
             "Value " + quoted(body) + " of " + def.name + " is outside the range of double values");
    if (auto error = dou_value_error(def, value)) fail(VLT_RES_ERR_PARAM_VALUE, *error);
    return value;
}

std::string format_int_value(const IntParamDef& def, int32_t value) {
    if (def.values)
        if (const char* name = enum_name(*def.values, value)) return name;
    return std::to_string(value);
}

std::string format_dou_value(double value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("nan");
}

// ------------------------------------------------------------ per-task store

ParamValues::ParamValues() { reset(); }

void ParamValues::reset() {
    ints_.clear();
    dous_.clear();
    strs_.clear();
    for (const auto& p : int_params()) ints_.push_back(p.default_value);
    for (const auto& p : dou_params()) dous_.push_back(p.default_value);
    for (const auto& p : str_params()) strs_.emplace_back(p.default_value);
}

int32_t ParamValues::get_int(int32_t code) const {
    if (!int_param(code)) unknown_code(VLT_PAR_TYPE_INT, code);
    return ints_[static_cast<size_t>(code)];
}

double ParamValues::get_dou(int32_t code) const {
    if (!dou_param(code)) unknown_code(VLT_PAR_TYPE_DOU, code);
    return dous_[static_cast<size_t>(code)];
}

const std::string& ParamValues::get_str(int32_t code) const {
    if (!str_param(code)) unknown_code(VLT_PAR_TYPE_STR, code);
    return strs_[static_cast<size_t>(code)];
}

void ParamValues::set_int(int32_t code, int32_t value) {
    const IntParamDef* def = int_param(code);
    if (!def) unknown_code(VLT_PAR_TYPE_INT, code);
    if (auto error = int_value_error(*def, value)) fail(VLT_RES_ERR_PARAM_VALUE, *error);
    ints_[static_cast<size_t>(code)] = value;
}

void ParamValues::set_dou(int32_t code, double value) {
    const DouParamDef* def = dou_param(code);
    if (!def) unknown_code(VLT_PAR_TYPE_DOU, code);
    if (auto error = dou_value_error(*def, value)) fail(VLT_RES_ERR_PARAM_VALUE, *error);
    dous_[static_cast<size_t>(code)] = value;
}

void ParamValues::set_str(int32_t code, std::string_view value) {
    const StrParamDef* def = str_param(code);
    if (!def) unknown_code(VLT_PAR_TYPE_STR, code);
    if (value.find('\0') != std::string_view::npos)
        fail(VLT_RES_ERR_PARAM_VALUE, "Value of " + std::string(def->name) + " contains a NUL character");
    strs_[static_cast<size_t>(code)] = std::string(value);
}

void ParamValues::set_int(std::string_view name, int32_t value) { set_int(code_for_name(name, VLT_PAR_TYPE_INT), value); }
void ParamValues::set_dou(std::string_view name, double value) { set_dou(code_for_name(name, VLT_PAR_TYPE_DOU), value); }
void ParamValues::set_str(std::string_view name, std::string_view value) {
    set_str(code_for_name(name, VLT_PAR_TYPE_STR), value);
}

void ParamValues::set_from_text(std::string_view name, std::string_view text) {
    auto ref = find_param(name);
    if (!ref) fail(VLT_RES_ERR_PARAM_NAME, "Unknown parameter name " + quoted(name));
    switch (ref->type) {
        case VLT_PAR_TYPE_INT: set_int(ref->code, parse_int_value(int_params()[ref->code], text)); break;
        case VLT_PAR_TYPE_DOU: set_dou(ref->code, parse_dou_value(dou_params()[ref->code], text)); break;
        default: set_str(ref->code, text); break;
    }
}

}  // namespace vlt::params
