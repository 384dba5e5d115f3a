// Semidefinite variables as scalar ones, for the interior-point optimizer.
//
// Each semidefinite variable X_j of dimension d becomes the d(d+1)/2
// free scalar variables x = svec(X_j) (the lower triangle column by column,
// off-diagonal elements times sqrt 2), appended after the problem's own, and
// one affine conic constraint x in the scaled-vectorized PSD cone, whose
// rows are appended after all conic rows.  Since <M, X> = svec(M)'svec(X),
// the terms of barC, barA and barF become entries svec(M) of c, A and F.
//
// The answer maps back: barx is smat of x, bars smat of the duals of the
// PSD rows (with reduced costs s = c - A'y - F'doty of the free x being
// zero, those duals are svec(C - sum_i y_i A_i - sum_r doty_r F_r)); the
// rays of certificates likewise.  Then the added variables and rows go.
#pragma once

#include <cstdint>
#include <vector>

#include "model/problem_data.hpp"
#include "solve/engine.hpp"

namespace vlt::solve {

struct SemidefiniteForm {
    model::ProblemData data;  // without semidefinite variables
    int32_t first_column = 0;  // of the first semidefinite variable
    int64_t first_row = 0;     // of its PSD rows
    std::vector<int32_t> dims;
};

SemidefiniteForm scalar_semidefinite_form(const model::ProblemData& d);

// Fills r.barx, r.bars (and the rays' parts) from the scalar form's answer
// and removes the added variables and rows from it.
void back_from_semidefinite_form(const SemidefiniteForm& form, EngineResult& r);

// Adds sum_j <A_ij, X_j> to each row activity xc[i], for values barx given
// as one lower triangle after another.
void add_semidefinite_activity(const model::ProblemData& d, const std::vector<double>& barx, std::vector<double>& xc);

}  // namespace vlt::solve
