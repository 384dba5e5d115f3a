// The library's own text formats, PTF and OPF (docs/formats.md).
//
// PTF: record sections only (io/record_sections.hpp), headed "PTF 1".
// OPF: an LP text (io/lp_format.hpp) up to its end keyword, which any LP
// reader takes, followed by record sections for what LP cannot say: exact
// names, affine expressions, domains, affine conic and disjunctive
// constraints, cones, parameters and solutions.
//
// Both hold a whole task.  Parameters and solutions are written when the
// task's VLT_IPAR_PTF_WRITE_* / VLT_IPAR_OPF_WRITE_* parameters ask for
// them; numbers carry VLT_IPAR_WRITE_PRECISION digits (17: every bit).
// Reading replaces the problem and the solutions and applies the
// parameters the file sets.
#pragma once

#include <string>
#include <string_view>

#include "core/task.hpp"
#include "io/byte_stream.hpp"

namespace vlt::io {

// The first line of OPF files (with VLT_IPAR_OPF_WRITE_HEADER), by which a
// reader tells them from LP files.
inline constexpr const char* kOpfHeader =
    "\\ velto optimization problem format: an LP part, then record sections after its end";

void read_ptf_task(Task& task, std::string_view bytes, const std::string& source);
void write_ptf_task(const Task& task, Sink& out);
void read_opf_task(Task& task, std::string_view bytes, const std::string& source);
void write_opf_task(const Task& task, Sink& out);

}  // namespace vlt::io
