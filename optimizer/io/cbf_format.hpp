// The conic benchmark format (CBF, versions 1 to 3) between files and tasks.
//
// A file describes
//   min or max  <F_obj, X> + a_obj'x + b_obj
//   subject to  g_i = sum_j <F_ij, X_j> + a_i'x + b_i, rows grouped in chunks, each chunk in a cone
//               G_k = sum_j x_j H_kj + D_k positive semidefinite
//               x grouped in chunks, each chunk in a cone; X_j semidefinite; x_j integer for j in INT
// (../shared/formats/CBF.md).  How it becomes a task:
//  - a variable chunk F, L+, L-, L= gives its variables the bounds free,
//    [0, inf), (-inf, 0], fixed at 0; a conic chunk (Q, QR, EXP, EXP*, POW,
//    POW*) leaves them free and becomes an affine conic constraint over
//    AFEs that are the variables themselves;
//  - a row chunk F, L+, L-, L= gives linear constraints a'x + <F, X> with
//    bounds free, >= -b, <= -b, = -b; a conic row chunk becomes an affine
//    conic constraint on AFEs a'x + <F, X> + b;
//  - a PSD constraint of order n becomes an affine conic constraint in the
//    scaled-vectorized PSD domain (dimension n(n+1)/2, the lower triangle
//    column by column, off-diagonal elements times sqrt 2);
//  - cones map one to one: Q and QR to the quadratic and rotated quadratic
//    cones, EXP and EXP* to the primal and dual exponential cones (same
//    coordinate order), @p:POW and @p:POW* to the primal and dual power
//    cones with the weights of parameter vector p.
// Writing goes the other way: bounds that are not a chunk's become rows,
// ranged constraints two rows, quadratic terms are written in their conic
// form, a PSD constraint whose AFEs have semidefinite terms goes through
// auxiliary variables.  Names are not held by CBF and are not written.
// Disjunctive constraints cannot be written (VLT_RES_ERR_WRITE_UNSUPPORTED)
// unless VLT_IPAR_WRITE_IGNORE_INCOMPATIBLE_ITEMS leaves them out.
//
// Readers check every promise of the file (counts, index ranges, chunk
// sizes, versions) and refuse it with VLT_RES_ERR_CBF_FORMAT naming the
// line; nothing of a refused file reaches the task.
#pragma once

#include <string>
#include <string_view>

#include "core/task.hpp"
#include "io/byte_stream.hpp"
#include "model/problem_data.hpp"

namespace vlt::io {

// The problem of a CBF text; source names it in messages.
model::ProblemData read_cbf(std::string_view bytes, const std::string& source);
// The problem in CBF, numbers with `digits` significant digits.
void write_cbf(const model::ProblemData& data, Sink& out, int digits);

// As data formats of tasks.
void read_cbf_task(Task& task, std::string_view bytes, const std::string& source);
void write_cbf_task(const Task& task, Sink& out);

}  // namespace vlt::io
