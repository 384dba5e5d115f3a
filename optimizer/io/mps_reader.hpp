// Reader for MPS files (fixed and free layout, with the quadratic-objective
// extensions QUADOBJ, QMATRIX and QSECTION, and QCMATRIX for quadratic
// constraints) into a vlt::model::ProblemData.
//
// What the reader produces
//  - The first N row is the objective; further N rows are dropped (their
//    entries ignored) and counted in MpsReadInfo::dropped_free_rows.
//  - No OBJSENSE section means minimize.  OBJSENSE takes MAX/MAXIMIZE or
//    MIN/MINIMIZE on the same line or on the next one.  OBJNAME (same or
//    next line) picks the objective among the N rows.
//  - An RHS entry on the objective row gives the objective constant
//    cfix = -value.
//  - Constraint and variable bound keys are VLT_BK_LO/UP/FX/FR/RA.  The side
//    that is absent is stored as -INFINITY (lower) or +INFINITY (upper), so
//    blc/buc and blx/bux always hold the effective bounds.  Values of
//    magnitude 1e30 or more in RHS, RANGES and BOUNDS count as infinite.
//  - Rows: E -> [rhs, rhs], L -> (-inf, rhs], G -> [rhs, +inf).  A range R
//    gives L -> [rhs-|R|, rhs], G -> [rhs, rhs+|R|], E -> [rhs, rhs+R] when
//    R > 0 and [rhs+R, rhs] when R < 0 (R = 0 keeps the row fixed).
//  - Variables default to [0, +inf).  Integer columns (between INTORG and
//    INTEND markers) default to [0, +inf) as well, not to [0, 1]: every
//    integer column of the MIPLIB 3 instances carries explicit bounds, so
//    their reference optima do not depend on this choice.
//  - BOUNDS: UP, LO, FX, FR, MI (lower -inf), PL (upper +inf), BV (integer in
//    [0,1]), LI/UI (integer with a lower/upper bound), SC (semi-continuous,
//    the value is the upper bound; no value means +inf), SI (semi-continuous
//    integer).  UP or UI with a negative value on a column whose lower bound
//    was not given sets the lower bound to -inf (counted in
//    MpsReadInfo::negative_upper_bounds).
//  - Quadratic objective 0.5 x'Qx stored as the lower triangle of Q.  QUADOBJ
//    and QSECTION (for the objective row) list one triangle: an entry (i,j)
//    stands for both Q_ij and Q_ji, and repeated entries add up.  QMATRIX
//    lists the whole matrix: Q_ij and Q_ji are averaged into one stored
//    element.  A second quadratic-objective section must describe the same
//    matrix as the first.  Explicit zeros are kept, in Q as in A.
//  - Quadratic constraints: a section "QCMATRIX rowname" (one per constraint
//    row) lists the whole symmetric matrix of the row's term x'Qx, like
//    QMATRIX but without the factor 0.5: the row reads
//    a'x + x'Qx (rhs), stored as 0.5 x'Q_k x with Q_k = 2Q (lower triangle
//    in ProblemData::qcsubk/qcsubi/qcsubj/qcval).
//  - Only the first RHS / RANGES / BOUNDS set is used; entries of other sets
//    are counted in MpsReadInfo::ignored_set_entries.
//  - Reading stops at ENDATA; whatever follows it is ignored.
//  - The conic extension (docs/formats.md), read into MpsConic when the
//    caller asks for it (else its sections are an error):
//      CSECTION name parameter type     a cone on variables (type QUAD,
//          member                       RQUAD, PEXP, DEXP, PPOW, DPOW, ZERO);
//                                       one member column per line
//      AFES numafe                      affine expressions 0 .. numafe-1:
//          afe column value             an entry of F
//          afe value                    the constant g
//      DOMAINS                          one per line, in index order:
//          name kind n [alpha ...]      kind as in VLT_DOMAIN_* without the
//                                       prefix; power cones list their weights
//      ACCS                             one line per row of a constraint:
//          name domain afe b            (a constraint of dimension 0: name domain)
//    Every index, name, count and number is checked where it is read.
//
// Layouts
//  - fixed: fields in columns 2-3, 5-12, 15-22, 25-36, 40-47, 50-61; names may
//    contain spaces and the set-name field may be blank.
//  - free: fields separated by white space; names contain no spaces; the
//    set name in RHS, RANGES and BOUNDS may be left out.
//  - auto: decided line by line.  A line whose separator columns are blank is
//    read by columns when that gives a complete record whose names are all
//    known; otherwise it is split at white space.  This reads fixed files with
//    spaces inside names or blank set names, and free files whose fields do
//    not line up with the columns.
//
// Errors: malformed input throws FormatError with the 1-based line number
// (unknown sections, unknown names, bad or NaN numbers, duplicate entries,
// missing ENDATA).  Files that cannot be opened or decompressed throw
// vlt::Error with VLT_RES_ERR_FILE_OPEN, VLT_RES_ERR_FILE_READ or
// VLT_RES_ERR_COMPRESSION.
#pragma once

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/problem_data.hpp"

namespace vlt::io {

enum class MpsFlavor { fixed, free, automatic };

class FormatError : public std::runtime_error {
public:
    FormatError(const std::string& source, int64_t line, const std::string& detail);
    int64_t line() const noexcept { return line_; }
    const std::string& detail() const noexcept { return detail_; }

private:
    int64_t line_;
    std::string detail_;
};

// Remarks about input that was read but not taken at face value.
struct MpsReadInfo {
    int32_t dropped_free_rows = 0;       // N rows after the first
    int32_t negative_upper_bounds = 0;   // UP/UI < 0 that moved the lower bound to -inf
    int32_t ignored_set_entries = 0;     // RHS/RANGES/BOUNDS entries of a second set
    int32_t ignored_objective_ranges = 0;  // RANGES entries on N rows
    std::vector<std::string> warnings;   // "source:line: text", at most 100 kept
};

// The sections of the conic extension, names resolved to indexes.
struct MpsConic {
    struct Cone {
        int32_t type = VLT_CT_QUAD;
        double parameter = 0.0;
        std::vector<int32_t> members;
        std::string name;
    };
    struct Domain {
        std::string name;
        int32_t type = VLT_DOMAIN_R;
        int64_t n = 0;
        std::vector<double> alpha;
    };
    struct Acc {
        std::string name;
        int64_t domain = 0;
        std::vector<int64_t> afes;
        std::vector<double> b;
    };
    std::vector<Cone> cones;
    int64_t numafe = 0;
    std::vector<int64_t> f_afe;  // entries of F in file order; each (afe, column) once
    std::vector<int32_t> f_col;
    std::vector<double> f_val;
    std::vector<double> g;       // numafe constants
    std::vector<Domain> domains;
    std::vector<Acc> accs;
};

model::ProblemData read_mps(std::istream& in, const std::string& source_name, MpsFlavor flavor,
                            MpsReadInfo* info = nullptr);

// Reads from memory; `text` need not be NUL-terminated.  With conic given,
// the sections of the conic extension are read into it.
model::ProblemData read_mps_text(std::string_view text, const std::string& source_name, MpsFlavor flavor,
                                 MpsReadInfo* info = nullptr, MpsConic* conic = nullptr);

// Opens a plain or gzip-compressed file (told apart by the gzip magic bytes).
model::ProblemData read_mps_file(const std::string& path, MpsFlavor flavor, MpsReadInfo* info = nullptr);

}  // namespace vlt::io
