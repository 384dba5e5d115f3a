// The screening of a problem's data against the DATA_TOL_* and
// DATA_SYM_MAT_TOL* parameters before an optimization, in one pass over
// each array of the copy that the optimizer solves:
//  - a coefficient above its "huge" tolerance (constraint matrix, objective,
//    quadratic terms, rows of affine conic constraints, semidefinite terms)
//    is refused: vlt::Error VLT_RES_ERR_INF_VALUE, naming the item, its value
//    and the parameter; a bound that the "infinite" tolerance makes
//    impossible to meet (a lower bound of +1e20) is refused with
//    VLT_RES_ERR_INVALID_BOUND;
//  - coefficients and bounds above their "large" tolerance give one warning
//    per kind of data on the task's warning stream (the largest one named,
//    with the count); the call still succeeds;
//  - the copy is tidied as the parameters describe: quadratic entries below
//    DATA_TOL_QIJ and semidefinite entries below DATA_SYM_MAT_TOL are
//    dropped, bounds of magnitude DATA_TOL_BOUND_INF or more are infinite,
//    and a variable whose bounds lie within DATA_TOL_X is fixed at their
//    midpoint.
#pragma once

#include <cstdint>

#include "model/problem_data.hpp"

namespace vlt {
class Task;
}
namespace vlt::params {
class ParamValues;
}

namespace vlt::solve {

// The range of values that the optimizer gives an item with bound key bk
// and bounds lower, upper: -inf or +inf on a side without a bound, or with
// one at or beyond DATA_TOL_BOUND_INF; for a variable whose bounds lie
// within DATA_TOL_X, their midpoint.
struct Range {
    double lower, upper;
    int32_t key() const;  // the bound key of the range
};
class BoundRule {
public:
    explicit BoundRule(const params::ParamValues& params);
    // Throws VLT_RES_ERR_INVALID_BOUND for a bound that cannot be met
    // (a lower bound at or above DATA_TOL_BOUND_INF); item and index name it.
    Range apply(int32_t bk, double lower, double upper, const char* item, int64_t index, bool variable) const;

private:
    double infinite_, fixed_;
};

// The screening of the objective and of the variables' bounds alone,
// reading the task's problem in place: for a problem that has nothing else.
void screen_objective_and_variable_bounds(Task& task);

// Refuses, warns and tidies as above; the task gives the parameters and
// the warning stream.
void screen_data(Task& task, model::ProblemData& data);

// The tidying alone, for a second form of a problem already screened.
void tidy_data(const params::ParamValues& params, model::ProblemData& data);

}  // namespace vlt::solve
