// Solution files: the plain text solution format (docs/formats.md), and the
// choice between it, the JSON solution format and the binary one.
//
//   # comment
//   SOLUTION ITR                      one block per solution (ITR, BAS, ITG)
//   PROBLEM_STATUS PRIM_AND_DUAL_FEAS
//   SOLUTION_STATUS OPTIMAL
//   OBJECTIVE 1.5 1.5                 primal and dual (information only)
//   CONSTRAINTS                       index "name" status xc slc suc y
//   0 "c1" UPR 4 0 1 -1
//   VARIABLES                         index "name" status xx slx sux snx
//   0 "x" LOW 0 1 0 0
//   CONES                             index status
//   ACC_DUALS                         row value
//   SEMIDEFINITE                      variable entry barx bars  (lower
//                                     triangles column by column)
//   END
//
// Numbers are written exactly.  Reading takes the items by index (names are
// for the reader of the file); a table that is left out reads as zeros and
// unknown status keys, a table that is there must list every item once.
// Errors name the source and line (VLT_RES_ERR_FILE_FORMAT).
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/task.hpp"
#include "io/byte_stream.hpp"
#include "io/task_image.hpp"

namespace vlt::io {

struct SolutionTextOptions {
    bool head = true;         // a comment with the task's name and sizes
    bool constraints = true;  // the CONSTRAINTS table
    bool variables = true;    // the VARIABLES table
    bool barvars = true;      // the SEMIDEFINITE table
};

// Writes the solutions of `which` (VLT_SOL_*; -1: every defined one) with
// their objective values.
void write_solutions_text(const TaskImage& image, int32_t which, const std::array<double, 6>& objectives,
                          const SolutionTextOptions& options, Sink& out);
// The primal and dual objective values of the image's solutions (those the
// optimizer reported, else computed), two per selector.
std::array<double, 6> objective_values_of(const model::Problem& problem, const TaskImage& image);

// The solutions a text holds, sized as the task's (sizes).
std::array<model::Solution, model::kNumSolutions> read_solutions_text(std::string_view text, const std::string& source,
                                                                      const model::SolutionSizes& sizes);

// Entry points' work.  Formats: the binary solution format when the file
// begins with its magic (reading) or the name ends in ".bsol" (writing);
// JSON when the text begins with '{' or the name ends in ".json"; else the
// text format.  which = -1: every solution.
void write_solution_file(Task& task, int32_t which, const std::string& path);
void read_solution_file(Task& task, int32_t which, const std::string& path);
void write_json_solution_file(Task& task, const std::string& path);
void read_json_solution_file(Task& task, const std::string& path);
void write_binary_solution_file(Task& task, const std::string& path, int32_t compress);
void read_binary_solution_file(Task& task, const std::string& path, int32_t compress);

}  // namespace vlt::io
