// The LP format, the common text format of linear, quadratic and mixed-integer
// problems written as algebra, for tasks.
//
// Reading (sections start a line; keywords are matched without regard to
// case, names with it):
//   \ comment to the end of the line ("\ Problem name: x" on a line of its
//     own before the objective names the task)
//   minimize | maximize | min | max | minimise | maximise | minimum | maximum
//     [name:] linear terms [+ constant] [+ [ quadratic terms ] / 2]
//   subject to | such that | st | s.t. | st.
//     [name:] terms sense rhs        sense: < <= =< > >= => =
//     [name:] lhs sense terms sense rhs   (a ranged row, both senses alike)
//     quadratic terms in [ ] stand as written (x'Px with P as given);
//     "[ ... ] / 2" halves them.  Constants in the terms move to the right.
//   bounds
//     x free | x >= l | x <= u | x = v | l <= x <= u (either direction);
//     inf, infinity and values of magnitude 1e30 and more are infinite
//   general | generals | gen | integer | integers     integer variables
//   binary | binaries | bin    integer variables whose upper bound is 1
//                              unless the bounds give one
//   end
// Variables are created in the order they first appear, with bounds
// [0, +inf).  A variable given twice in one expression has its
// coefficients added (with a warning).  Semi-continuous variables, SOS and
// indicator constraints have no place in a task and are refused.  Errors
// name the source and line (VLT_RES_ERR_LP_FORMAT).
//
// Writing: the objective lists every variable when
// VLT_IPAR_WRITE_LP_FULL_OBJ is on (so that the variables keep their order
// and none is lost), lines are broken at VLT_IPAR_WRITE_LP_LINE_WIDTH,
// numbers carry VLT_IPAR_WRITE_PRECISION digits.  Variables that LP cannot
// name (unnamed, invalid, repeated) get generic names; so do constraints
// whose names LP cannot hold (unnamed constraints stay unlabelled).  A free
// constraint is written "name: terms >= -inf", a ranged one
// "name: l <= terms <= u".  Cones, affine conic and disjunctive constraints
// have no LP form: refused (VLT_RES_ERR_WRITE_UNSUPPORTED) unless
// VLT_IPAR_WRITE_IGNORE_INCOMPATIBLE_ITEMS leaves them out.
#pragma once

#include <string>
#include <string_view>

#include "core/task.hpp"
#include "io/byte_stream.hpp"
#include "io/task_image.hpp"

namespace vlt::io {

struct LpWriteOptions {
    int digits = 15;
    int line_width = 80;
    bool full_objective = true;
    bool generic_names = true;
    std::string variable_prefix = "x";  // of generic variable names
    bool ignore_incompatible = false;
    bool conic_elsewhere = false;  // the caller writes cones and conic data itself (OPF)
};

// The names an LP text gave the variables and constraints ("" for an
// unlabelled constraint).
struct LpNames {
    std::vector<std::string> vars, rows;
};

// The problem an LP text holds; warnings (source:line: text) are added to
// `warnings`.  With rest given, reading stops after the line of the end
// keyword and *rest is where the text goes on (and *rest_line its line
// number).  Throws vlt::Error (VLT_RES_ERR_LP_FORMAT, or error_code).
TaskImage read_lp(std::string_view text, const std::string& source, std::vector<std::string>& warnings,
                  size_t* rest = nullptr, int64_t* rest_line = nullptr, VLTrescodee error_code = VLT_RES_ERR_LP_FORMAT);
LpNames write_lp(const TaskImage& image, const LpWriteOptions& options, Sink& out);

void read_lp_task(Task& task, std::string_view bytes, const std::string& source);
void write_lp_task(const Task& task, Sink& out);

}  // namespace vlt::io
