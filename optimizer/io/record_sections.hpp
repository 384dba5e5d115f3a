// The record sections of the library's own text formats (PTF whole, OPF
// after its algebraic part; docs/formats.md): one record per line, fields
// separated by blanks, texts quoted when they must be.
//
// Items are referred to by reference: a variable, constraint, domain, ACC
// or DJC by its name when the name is non-empty, the first of its kind with
// that name, does not start with '@' or '#' and is none of the words below
// (section keywords, NAME, INT, VARIABLE, CONSTRAINT, OBJNAME, MINIMIZE,
// MAXIMIZE);
// otherwise by "@<index>", with the real name (if any) given as NAME "..."
// on the item's own record.  A reference with blanks, quotes, backslashes or
// control characters is written quoted.
//
// Sections (a bare keyword in the first field starts one; lines whose first
// field is bare and starts with "#" are comments; a quoted first field is
// always data):
//   PTF 1                      the format and its version (PTF only)
//   TASK "name"
//   OBJECTIVE MINIMIZE|MAXIMIZE [ref] [NAME "name"]
//   CONSTANT v
//   TRUNCATION v               the truncation tolerance of A
//   VARIABLES n                n records: ref key lower upper [INT] [NAME "x"]
//   CONSTRAINTS n              n records: ref key lower upper [NAME "x"]
//   LINEAR                     var c                (objective coefficients)
//   MATRIX                     con var a
//   QOBJECTIVE                 var var q            (lower triangle of Q)
//   QCONSTRAINTS               con var var q        (lower triangles of the Q_k)
//   AFES n                     afe var f | afe g    (n affine expressions)
//   DOMAINS                    ref kind n [alpha ...] [NAME "x"]
//   ACCS                       ref domain [afe b] [NAME "x"]  (a record per row)
//   DJCS                       ref terms size... domain... (afe b)... [NAME "x"]
//   CONES                      [NAME "x"] type parameter member ...
//   BARVARS                    ref dimension [NAME "x"]  (semidefinite variables)
//   SYMMATS                    index dimension | row column value  (symmetric
//                              matrices, lower triangles, numbered from 0)
//   BARC                       barvar (matrix weight)...
//   BARA                       con barvar (matrix weight)...
//   BARF                       afe barvar (matrix weight)...
//                              (entries in increasing (row, barvar) order)
//   NAMES                      VARIABLE|CONSTRAINT written "name", OBJNAME "name"
//                              (OPF only: names the algebraic part cannot hold)
//   PARAMETERS                 name value
//   SOLUTION kind ... END      a block of the solution file format
//   END                        the end of the file
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "io/byte_stream.hpp"
#include "io/task_image.hpp"

namespace vlt::io {

// References of one kind of item.
struct References {
    std::vector<std::string> of;                        // per item
    std::unordered_map<std::string, int64_t> index;    // back

    // Each item's reference from its name, as described above.
    static References from_names(const std::vector<std::string>& names, int64_t count);
    // Given references (each unique), e.g. the names an algebraic part used.
    static References given(std::vector<std::string> refs);
    // The real name to write beside an "@i" reference ("" when none).
    static bool needs_name(const std::string& ref) { return !ref.empty() && ref[0] == '@'; }
};

struct RecordOptions {
    int digits = 15;
    bool parameters = false;
    bool solutions = false;
};

class RecordWriter {
public:
    RecordWriter(const TaskImage& image, const RecordOptions& options, Sink& out);

    // The parts PTF alone writes as records.
    void write_problem_core();
    // The parts both formats write as records.
    void write_conic();
    // NAMES: items whose written reference (vars, cons) differs from their name.
    void write_names(const References& vars, const References& cons);
    void write_parameters();
    void write_solutions(const std::array<double, 6>& objectives);

    // References in use (variables and constraints may be set by the caller).
    References vars, cons;

private:
    void write_semidefinite();
    std::string num(double v) const;
    void line(const std::string& text) { out_.write(text + "\n"); }

    const TaskImage& im_;
    RecordOptions o_;
    Sink& out_;
};

// Reads record sections into an image.  first_line: the line number of the
// text's first line in the file.  With algebraic_part the variables and
// constraints exist already (OPF) and are referred to by `vars`/`cons`.
class RecordReader {
public:
    RecordReader(TaskImage& image, const std::string& source, VLTrescodee error_code);
    void read(std::string_view text, int64_t first_line, bool ptf);

    References vars, cons;
    std::vector<std::string> warnings;  // parameters that were skipped

private:
    struct Impl;
    TaskImage& im_;
    const std::string& source_;
    VLTrescodee code_;
};

}  // namespace vlt::io
