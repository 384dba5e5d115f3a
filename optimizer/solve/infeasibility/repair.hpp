// Primal repair: the smallest weighted relaxation of the bounds of a linear
// problem (integer variables allowed) that makes it feasible.
//
// Every finite side of a bound may move outwards by v >= 0 at the cost of
// its weight per unit (wlc, wuc for the constraints' lower and upper bounds,
// wlx, wux for the variables'; a null array weighs every side 1; a negative
// or infinite weight keeps that side where it is).  The phase-1 problem
//   minimize  sum of w v  subject to  lc - vlc <= A x <= uc + vuc,
//                                     lx - vlx <=   x <= ux + vux
// (its rows hold the matrix with one elastic column per relaxable side of
// a constraint; a variable with a relaxable side gets a row x_j + vl - vu
// for its bounds) is solved through the library's optimizer; its optimal
// value is the information item VLT_DINF_PRIMAL_REPAIR_PENALTY_OBJ.  Then,
// by the parameter VLT_IPAR_FEASREPAIR_OPTIMIZE:
//   NONE      the task's solutions become the phase-1 point (primal values
//             and status keys; no duals): it violates the task's bounds by
//             exactly the relaxation; the problem is left as it was;
//   PENALTY   as NONE, and the task's bounds become the repaired ones, which
//             the stored point satisfies;
//   COMBINED  the task's objective is optimized over the relaxations whose
//             weighted sum stays within VLT_DPAR_FEASREPAIR_TOL (relative)
//             of the minimum; the task's bounds become those of that
//             relaxation and its solutions those of optimizing the repaired
//             problem.
// Nothing in the task changes unless the whole repair succeeds.
#pragma once

#include "core/task.hpp"

namespace vlt::solve {

// Throws VLT_RES_ERR_PROBLEM_TYPE for quadratic constraints, cones,
// semidefinite variables, affine conic or disjunctive constraints, VLT_RES_ERR_NAN_VALUE for a NaN weight,
// VLT_RES_ERR_INFEAS_UNDEFINED when the sides that must stay admit no
// solution, VLT_RES_ERR_OPTIMIZER when a derived problem cannot be solved.
void primal_repair(Task& task, const double* wlc, const double* wuc, const double* wlx, const double* wux);

}  // namespace vlt::solve
