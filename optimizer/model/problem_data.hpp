// A whole linear / quadratic / mixed-integer problem as plain arrays.
//
// This is the exchange form between the task's data model, the file readers
// and writers, and the solver back ends: it is easy to fill from a file and easy
// to hand to an engine, without either side knowing the other's internals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "velto.h"

namespace vlt::model {

struct ProblemData {
    int32_t numcon = 0;
    int32_t numvar = 0;

    int32_t sense = VLT_OBJECTIVE_SENSE_MINIMIZE;
    double cfix = 0.0;          // constant term of the objective
    std::vector<double> c;      // numvar linear objective coefficients

    // Constraint bounds: blc <= A x <= buc, interpreted through the bound key.
    std::vector<int32_t> bkc;   // numcon bound keys (VLT_BK_*)
    std::vector<double> blc, buc;

    // Variable bounds and types.
    std::vector<int32_t> bkx;   // numvar bound keys
    std::vector<double> blx, bux;
    std::vector<int32_t> vartype;  // numvar, VLT_VAR_TYPE_*

    // Semi-continuous variables: a flagged variable j takes either the value 0
    // or a value in [blx[j], bux[j]] (an integer one, when vartype[j] is
    // VLT_VAR_TYPE_INT).  numvar flags (0 or 1), or empty when no variable is
    // semi-continuous.
    std::vector<uint8_t> semicont;

    // Constraint matrix, column-wise: the entries of column j are
    // asub/aval[aptr[j] .. aptr[j+1]).  Row indexes within a column are
    // distinct; order within a column is not significant.
    std::vector<int64_t> aptr{0};  // numvar + 1 positions
    std::vector<int32_t> asub;
    std::vector<double> aval;

    // Quadratic objective 0.5 x' Q x, Q symmetric, given by its lower
    // triangle (qosubi >= qosubj); each off-diagonal pair appears once.
    std::vector<int32_t> qosubi, qosubj;
    std::vector<double> qoval;

    // Optional names (empty vectors when the source had none).
    std::string name;       // problem name
    std::string objname;    // objective name
    std::vector<std::string> conname;  // numcon or empty
    std::vector<std::string> varname;  // numvar or empty
};

}  // namespace vlt::model
