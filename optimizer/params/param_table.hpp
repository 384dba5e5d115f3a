// The parameters of the library: one catalog row per parameter (code, name,
// default, admissible values, description), lookups by code and by name, the
// parsing and checking of values, and ParamValues, the per-task store.
//
// Names: a parameter's name is its enumeration member, e.g. "VLT_IPAR_LOG";
// the part after "VLT_IPAR_" / "VLT_DPAR_" / "VLT_SPAR_" ("LOG") is accepted as
// a short alias.  Names are matched without regard to case.
//
// Symbolic values: an integer parameter that takes the codes of a value set
// (on/off, optimizer type, ...) accepts, as text, the member name of a code
// ("VLT_OPTIMIZER_INTPNT"), the name without the set's prefix ("INTPNT") or
// that short name behind "VLT_" ("VLT_INTPNT"; hence "VLT_ON" and "VLT_OFF").
//
// Failures throw vlt::Error with VLT_RES_ERR_PARAM_INDEX (unknown code),
// VLT_RES_ERR_PARAM_NAME (unknown name), VLT_RES_ERR_PARAM_TYPE (a name of
// another type) or VLT_RES_ERR_PARAM_VALUE (inadmissible or unreadable value).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "velto.h"

namespace vlt::params {

// ------------------------------------------------------------ value sets

struct EnumValue {
    int32_t code;
    const char* name;  // enumeration member, e.g. "VLT_ONOFF_ON"
};

// The admissible codes of an integer parameter, or any enumeration whose
// members can be named in text.  prefix is what the short names drop.
struct EnumSet {
    const char* prefix;  // e.g. "VLT_ONOFF_"
    std::span<const EnumValue> values;
};

// The code named by text (full, short or "VLT_" + short name, any case).
std::optional<int32_t> enum_code(const EnumSet& set, std::string_view text);
// The member name of code, or nullptr when code is not in the set.
const char* enum_name(const EnumSet& set, int32_t code);

// Enumerations named in text by entry points: status keys and cone types.
const EnumSet& status_keys();
const EnumSet& cone_types();
// Throw VLT_RES_ERR_INVALID_STAKEY / VLT_RES_ERR_INVALID_ENUM for an unknown text.
int32_t str_to_status_key(std::string_view text);
int32_t str_to_cone_type(std::string_view text);

// ------------------------------------------------------------ the catalog

struct IntParamDef {
    int32_t code;
    const char* name;
    int32_t default_value;
    int32_t min, max;       // admissible range when values is null
    const EnumSet* values;  // admissible codes, or null for a plain number
    const char* description;
};

struct DouParamDef {
    int32_t code;
    const char* name;
    double default_value;
    double min, max;  // admissible closed range; NaN is never admissible
    const char* description;
};

struct StrParamDef {
    int32_t code;
    const char* name;
    const char* default_value;
    const char* description;
};

// Rows in code order: row i has code i.
std::span<const IntParamDef> int_params();
std::span<const DouParamDef> dou_params();
std::span<const StrParamDef> str_params();

// Number of parameters of a VLT_PAR_TYPE_* type; throws PARAM_TYPE for another type.
int32_t num_params(int32_t partype);

// By code: the row, or nullptr for a code out of range.
const IntParamDef* int_param(int32_t code);
const DouParamDef* dou_param(int32_t code);
const StrParamDef* str_param(int32_t code);

// By name, of any type.
struct ParamRef {
    int32_t type;  // VLT_PAR_TYPE_*
    int32_t code;
};
std::optional<ParamRef> find_param(std::string_view name);

// By name, of one type: the code, or nothing when the name is not a
// parameter of that type.
std::optional<int32_t> int_param_code(std::string_view name);
std::optional<int32_t> dou_param_code(std::string_view name);
std::optional<int32_t> str_param_code(std::string_view name);
inline bool is_int_param_name(std::string_view name) { return int_param_code(name).has_value(); }
inline bool is_dou_param_name(std::string_view name) { return dou_param_code(name).has_value(); }
inline bool is_str_param_name(std::string_view name) { return str_param_code(name).has_value(); }

// Name of a parameter type for messages: "integer", "double" or "string".
const char* param_type_word(int32_t partype);

// ------------------------------------------------------------ values

// Why value is not admissible for def, or nothing when it is.  E.g.
// "Value 0.75 of VLT_DPAR_INTPNT_TOL_PATH is outside [0, 0.9999]".
std::optional<std::string> int_value_error(const IntParamDef& def, int32_t value);
std::optional<std::string> dou_value_error(const DouParamDef& def, double value);

// Text to an admissible value: decimal numbers (surrounding blanks allowed),
// and for integer parameters with a value set also symbolic names.
// Throws PARAM_VALUE with the reason.
int32_t parse_int_value(const IntParamDef& def, std::string_view text);
double parse_dou_value(const DouParamDef& def, std::string_view text);

// Value to text that parse_*_value reads back to the same value: a member
// name for codes of a value set, else the shortest exact decimal.
std::string format_int_value(const IntParamDef& def, int32_t value);
std::string format_dou_value(double value);

// ------------------------------------------------------------ per-task store

// The parameter values of one task, initialised to the defaults.  Copying
// gives an independent store (a cloned task's parameters).
class ParamValues {
public:
    ParamValues();

    void reset();  // every parameter back to its default

    // By code; setters check the value against the catalog.
    int32_t get_int(int32_t code) const;
    double get_dou(int32_t code) const;
    const std::string& get_str(int32_t code) const;
    void set_int(int32_t code, int32_t value);
    void set_dou(int32_t code, double value);
    void set_str(int32_t code, std::string_view value);

    // By name; a name of another type throws PARAM_TYPE.
    void set_int(std::string_view name, int32_t value);
    void set_dou(std::string_view name, double value);
    void set_str(std::string_view name, std::string_view value);

    // By name and text value, of whatever type the name has.
    void set_from_text(std::string_view name, std::string_view text);

    // Typed access for the optimizers, by enumeration member.
    int32_t operator[](VLTiparam_enum p) const { return ints_[static_cast<size_t>(p)]; }
    double operator[](VLTdparam_enum p) const { return dous_[static_cast<size_t>(p)]; }
    const std::string& operator[](VLTsparam_enum p) const { return strs_[static_cast<size_t>(p)]; }

    bool operator==(const ParamValues&) const = default;

private:
    std::vector<int32_t> ints_;
    std::vector<double> dous_;
    std::vector<std::string> strs_;
};

}  // namespace vlt::params
