// The summary figures of a solution: objective values, the largest
// violation of each kind of item (solve/quality/solution_check.hpp) and the
// norms of its vectors.  Norms are largest magnitudes (infinity norms), as
// in the information items and the solution summaries.
#pragma once

#include <cstdint>

namespace vlt {
class Task;
}

namespace vlt::solve {

struct SolutionFigures {
    double primal_obj = 0.0;
    double pviolcon = 0.0, pviolvar = 0.0, pviolbarvar = 0.0, pviolcone = 0.0, pviolacc = 0.0, pvioldjc = 0.0,
           pviolitg = 0.0;
    double dual_obj = 0.0;
    double dviolcon = 0.0, dviolvar = 0.0, dviolbarvar = 0.0, dviolcone = 0.0, dviolacc = 0.0;
};

struct PrimalNorms {
    double xc = 0.0, xx = 0.0, barx = 0.0;
};
struct DualNorms {
    double y = 0.0, slc = 0.0, suc = 0.0, slx = 0.0, sux = 0.0, snx = 0.0, bars = 0.0;
};

// Each throws VLT_RES_ERR_INVALID_SOLSEL or VLT_RES_ERR_SOL_UNDEFINED.
SolutionFigures solution_figures(Task& task, int32_t whichsol);
PrimalNorms primal_norms(Task& task, int32_t whichsol);
DualNorms dual_norms(Task& task, int32_t whichsol);

}  // namespace vlt::solve
