// The information items: the figures an optimizer run records (times,
// iteration and node counts, objective values, violations, problem sizes),
// their names, and InfoValues, the per-task record handed to the progress
// callback.  Names are the enumeration members ("VLT_DINF_OPTIMIZER_TIME");
// as with parameters, the part after "VLT_DINF_" / "VLT_IINF_" / "VLT_LIINF_"
// is accepted as a short alias, and case does not matter.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "velto.h"

namespace vlt::params {

enum class InfoType { Double, Int, Long };

struct InfoItemDef {
    int32_t code;
    const char* name;
    // Null for an item that optimizer runs (or the file, analysis and
    // repair calls) set; else why it stays undefined (0).
    const char* undefined;
};

// Rows in code order: row i has code i.
std::span<const InfoItemDef> dinf_items();
std::span<const InfoItemDef> iinf_items();
std::span<const InfoItemDef> liinf_items();
std::span<const InfoItemDef> info_items(InfoType type);

// Name of an item, or nullptr for a code out of range.
const char* info_name(InfoType type, int32_t code);

struct InfoRef {
    InfoType type;
    int32_t code;
};
std::optional<InfoRef> find_info(std::string_view name);

// The item values of one task.  Every item is 0 until an optimizer sets it.
struct InfoValues {
    double d[VLT_NUM_DOUINF];
    int32_t i[VLT_NUM_IINF];
    int64_t l[VLT_NUM_LIINF];

    InfoValues() { reset(); }
    void reset();

    // Checked reads by code; throw VLT_RES_ERR_INF_INDEX out of range.
    double get_dou(int32_t item) const;
    int32_t get_int(int32_t item) const;
    int64_t get_long(int32_t item) const;

    double& operator[](VLTdinfitem_enum item) { return d[item]; }
    int32_t& operator[](VLTiinfitem_enum item) { return i[item]; }
    int64_t& operator[](VLTliinfitem_enum item) { return l[item]; }
    double operator[](VLTdinfitem_enum item) const { return d[item]; }
    int32_t operator[](VLTiinfitem_enum item) const { return i[item]; }
    int64_t operator[](VLTliinfitem_enum item) const { return l[item]; }
};

}  // namespace vlt::params
