// Writer of MPS files, free or fixed layout, everything io/mps_reader.hpp
// reads back: NAME, OBJSENSE, ROWS (the objective first), COLUMNS with
// integer MARKER blocks, RHS (the objective row's entry is -cfix), RANGES,
// BOUNDS, QUADOBJ (the lower triangle of Q), one QCMATRIX per quadratic
// constraint, and the sections of the conic extension (cones on variables
// as CSECTION; affine expressions, domains and affine conic constraints as
// AFES, DOMAINS and ACCS; see docs/formats.md).
//
// Rows and columns are identified by name: items whose names the format
// cannot take (unnamed, with blanks, repeated) get generic ones ("c3",
// "x7") unless generic names are off, which makes such a task an error.
//
// Disjunctive constraints have no MPS form: a task with them is refused
// (VLT_RES_ERR_WRITE_UNSUPPORTED) unless ignore_incompatible leaves them out.
//
// What MPS cannot say: a free constraint is written as an L row with the
// right-hand side 1e+30 (read back as free); a ranged row or column whose
// two bounds are equal comes back fixed; a bound key whose side is infinite
// comes back as the key the finite sides give.  Ranged rows keep both
// bounds to the bit (the range is chosen so that rhs + range gives the
// upper bound exactly).
#pragma once

#include "io/byte_stream.hpp"
#include "io/task_image.hpp"

namespace vlt::io {

struct MpsWriteOptions {
    bool fixed = false;           // fixed columns where names and numbers fit
    int digits = 15;              // significant digits of numbers
    bool generic_names = true;    // replace names MPS cannot take
    bool integer_markers = true;  // mark integer columns
    bool ignore_incompatible = false;  // leave out what MPS cannot hold instead of failing
};

void write_mps(const TaskImage& image, const MpsWriteOptions& options, Sink& out);

}  // namespace vlt::io
