// The codes that text files name: bound keys ("LO"), status keys ("BAS"),
// problem and solution statuses ("PRIM_AND_DUAL_FEAS", "OPTIMAL"), cone
// types ("QUAD"), domain kinds ("QUADRATIC_CONE") and solution types
// ("ITR").  Files carry the member names of velto.h without their prefix;
// reading also takes the full member names, without regard to case.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vlt::io {

enum class Codes { bound_key, status_key, problem_status, solution_status, cone_type, domain_type, solution_type };

// The short name of a code; nullptr when the code is not one of the set.
const char* code_name(Codes set, int32_t code);
// The code a text names, or nothing.
std::optional<int32_t> code_of(Codes set, std::string_view text);

}  // namespace vlt::io
