#include "io/enum_text.hpp"

#include <cstring>
#include <span>

#include "params/param_table.hpp"

namespace vlt::io {

namespace {

using params::EnumValue;
#include "enum_values.inc"

const params::EnumSet& set_of(Codes set) {
    static const params::EnumSet kSets[] = {
        {"VLT_BK_", kVLTboundkey},         {"VLT_SK_", kVLTstakey},       {"VLT_PRO_STA_", kVLTprosta},
        {"VLT_SOL_STA_", kVLTsolsta},      {"VLT_CT_", kVLTconetype},     {"VLT_DOMAIN_", kVLTdomaintype},
        {"VLT_SOL_", kVLTsoltype}};
    return kSets[static_cast<int>(set)];
}

}  // namespace

const char* code_name(Codes set, int32_t code) {
    const params::EnumSet& s = set_of(set);
    const char* full = params::enum_name(s, code);
    return full ? full + std::strlen(s.prefix) : nullptr;
}

std::optional<int32_t> code_of(Codes set, std::string_view text) { return params::enum_code(set_of(set), text); }

}  // namespace vlt::io
