// The binary task format: a whole task (problem, names, parameters,
// solutions) without loss, every double as its eight bytes.
//
// Layout (little-endian throughout):
//
//   header   16 bytes: the magic "\x89VLTTASK\r\n\x1a\n", then the format's
//            major and minor version (u16 each)
//   sections one after another, each
//              tag       4 ASCII bytes ("TASK", "AMAT", ...)
//              flags     u32; bit 0: a reader that does not know the tag may
//                        skip the section (it holds nothing the task needs)
//              size      u64, bytes of the payload, a multiple of 8
//              crc       u32, CRC-32 of tag, flags, size and payload
//              reserved  u32, zero
//              payload
//            the last section is "END " with an empty payload.
//
// Payloads are sequences of 8-byte scalars (int64, or a double's bits) and
// arrays, an array being its element count (u64) followed by the elements
// and zero bytes up to the next multiple of 8, so that every array starts
// 8-byte aligned.  Strings are arrays of bytes; a list of strings is the
// array of their end offsets followed by the array of their bytes.
//
// Sections of this version (1.1): TASK (sizes, sense, constant term,
// truncation tolerance), CONS and VARS (bounds, types, objective), AMAT (the
// matrix by columns), QOBJ and QCON (quadratic terms), AFES, DOMS, ACCS,
// DJCS (disjunctive constraints), BARV (semidefinite variables), SYMM
// (symmetric matrices), BARC, BARA, BARF (semidefinite terms), CONE, NAME,
// PARS and one SOLN per defined solution (with the duals of the ACC rows and
// the values of the semidefinite variables; a 1.0 SOLN ends before them).
// Version 1.1 added BARV, SYMM, BARC, BARA, BARF, the names of cones and
// semidefinite variables, and those values.  Each appears at most
// once (SOLN once per solution); empty ones may be left out.  A minor
// version adds sections; a reader refuses a file of a higher major version,
// and a section it does not know unless that section may be skipped.
//
// Reading checks everything it reads against the bytes that are left before
// it allocates, so a short or hostile input fails with a message and never
// makes the reader allocate more than the input's size in arrays.
#pragma once

#include <string>
#include <string_view>

#include "io/byte_stream.hpp"
#include "io/task_image.hpp"

namespace vlt::io {

inline constexpr uint16_t kTaskFormatMajor = 1;
inline constexpr uint16_t kTaskFormatMinor = 1;

// True when bytes start like a binary task file.
bool looks_like_task_binary(std::string_view bytes);

void write_task_binary(const TaskImage& image, Sink& out);
// The same into memory (sized exactly before it is written).
std::string task_binary_bytes(const TaskImage& image);

// Throws vlt::Error (VLT_RES_ERR_FILE_FORMAT) with a message that starts with
// "<source>: " and says where the data is wrong.
TaskImage read_task_binary(std::string_view bytes, const std::string& source);

// Binary solution files: the same layout under the magic
// "\x89VLTSOLN\r\n\x1a\n", holding a SIZE section (numcon, numvar) and one
// SOLN section per defined solution of the image.  Reading gives an image
// with numcon, numvar and the solutions.
bool looks_like_solution_binary(std::string_view bytes);
void write_solutions_binary(const TaskImage& image, Sink& out);
TaskImage read_solutions_binary(std::string_view bytes, const std::string& source);

}  // namespace vlt::io
