// The task's three solutions (interior-point, basic, integer), chosen by a
// solution selector VLT_SOL_ITR / VLT_SOL_BAS / VLT_SOL_ITG.
//
// A solution holds a defined flag, the problem and solution status, status
// keys (skc per constraint, skx per variable, skn per cone) and the value
// vectors xc, y, slc, suc (per constraint) and xx, slx, sux, snx (per
// variable), kept in one array indexed by the solution items VLT_SOL_ITEM_*,
// and doty, the duals of the affine conic constraints (one per row of all
// of them stacked in order); besides them the values barx and bars of each
// semidefinite variable (its lower triangle column by column,
// model/semidefinite.hpp).
//
// Choices (each is what a caller sees through the entry points):
//  - Sizes follow the problem.  A solution stored before the problem grew or
//    shrank is fitted to the problem's current sizes whenever it is read or
//    written: vectors are cut at the end or extended, new items getting zero
//    values and the status key VLT_SK_UNK.  Items removed from the middle of
//    the problem therefore shift the stored values of the later items; a
//    solution of an earlier problem is the caller's to judge.
//  - Reading an undefined solution (values, statuses or objective values)
//    fails with VLT_RES_ERR_SOL_UNDEFINED; solutiondef and deletesolution
//    never fail for a valid selector.
//  - Writing any part of an undefined solution defines it: the parts not
//    written are zero, the keys VLT_SK_UNK and both statuses unknown.
//    Writing into a defined solution keeps its statuses.
//  - The integer solution has no dual values: its y, slc, suc, slx, sux,
//    snx, bars and doty are kept at zero and read as zeros; dual values written to it are
//    checked like any others and then dropped (also those of store()).
//  - Status keys must be VLT_SK_UNK..VLT_SK_INF; values must be finite.
//  - Null output pointers mean "not wanted".  Null inputs are refused when
//    they would have to supply items, except in put_whole, where a null array
//    keeps that part of the solution.
//
// Every call checks all of its arguments before it changes anything and
// throws vlt::Error naming the argument and position, so a call that fails
// leaves the solutions as they were.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/arg_check.hpp"
#include "model/problem.hpp"
#include "velto.h"

namespace vlt::model {

inline constexpr int32_t kNumSolutions = 3;     // VLT_SOL_ITR, VLT_SOL_BAS, VLT_SOL_ITG
inline constexpr int32_t kNumSolutionItems = 8;  // VLT_SOL_ITEM_XC .. VLT_SOL_ITEM_SNX

// The sizes a solution follows.
struct SolutionSizes {
    int32_t numcon = 0;
    int32_t numvar = 0;
    int32_t numcone = 0;
    int64_t numaccrows = 0;  // rows of all affine conic constraints together
    const std::vector<int32_t>* barvar_dims = nullptr;  // null: no semidefinite variables
    int32_t numbarvar() const { return barvar_dims ? int32_t(barvar_dims->size()) : 0; }
};
// numcone counts the cones on variables (skn holds one key per cone).  The
// sizes refer to the problem, which must outlive them.
SolutionSizes solution_sizes(const Problem& problem);

// Is the item one of y, slc, suc, slx, sux, snx?
inline bool is_dual_item(int32_t item) { return item >= VLT_SOL_ITEM_Y; }
// The constraint items xc, y, slc, suc (the others are per variable).
inline bool is_con_item(int32_t item) {
    return item == VLT_SOL_ITEM_XC || item == VLT_SOL_ITEM_Y || item == VLT_SOL_ITEM_SLC || item == VLT_SOL_ITEM_SUC;
}
// "xc", "xx", "y", ... : the name of an item's vector.
const char* item_name(int32_t item);

struct Solution {
    bool defined = false;
    int32_t prosta = VLT_PRO_STA_UNKNOWN;
    int32_t solsta = VLT_SOL_STA_UNKNOWN;
    std::vector<int32_t> skc, skx, skn;
    std::array<std::vector<double>, kNumSolutionItems> values;  // by VLT_SOL_ITEM_*
    std::vector<double> doty;  // numaccrows duals of the affine conic constraints
    std::vector<std::vector<double>> barx, bars;  // per semidefinite variable

    // Objective values reported by the optimizer that made the solution;
    // cleared whenever the solution is written through the interface.
    // Without them the values are computed (objective_values).
    std::optional<double> reported_primal_obj, reported_dual_obj;

    std::vector<int32_t>& keys(Item item) { return item == Item::Con ? skc : skx; }
    const std::vector<int32_t>& keys(Item item) const { return item == Item::Con ? skc : skx; }

    // Cuts or extends every vector to the sizes (zeros, VLT_SK_UNK).
    void fit(const SolutionSizes& sizes);
    size_t memory_bytes() const;
};

struct ObjectiveValues {
    double primal = 0.0;
    double dual = 0.0;
};

// The objective values of a solution of the problem (the one place where
// they are computed):
//
//   primal = c'xx + cfix + 0.5 xx'Q xx + sum_j <C_j, barx_j>
//   dual   = cfix + sum over constraints i of  slc[i] blc[i] (when i has a finite lower bound)
//                                            - suc[i] buc[i] (when i has a finite upper bound)
//                 + sum over variables j of    slx[j] blx[j] (finite lower bound)
//                                            - sux[j] bux[j] (finite upper bound)
//                 - 0.5 xx'Q xx
//                 - sum over the rows r of the affine conic constraints of
//                   doty[r] (g[r] - b[r])
//
// (bound sides by the bound key: LO lower, UP upper, FX and RA both, FR none;
// Q is the quadratic objective given by its lower triangle).  The dual is
// the objective of the Lagrange dual for the sign convention y = slc - suc
// with slc, suc >= 0 when minimizing (<= 0 when maximizing), so one formula
// serves both senses.  The integer solution has no duals: its dual objective
// is the primal objective unless the optimizer reported a bound.  The
// solution must be fitted to the problem.
ObjectiveValues objective_values(const Problem& problem, const Solution& solution, int32_t whichsol);

class Solutions {
public:
    // Throws VLT_RES_ERR_INVALID_SOLSEL unless whichsol selects a solution.
    static void check_selector(int32_t whichsol);

    bool defined(int32_t whichsol) const;
    void remove(int32_t whichsol);

    // The solution fitted to the sizes; throws VLT_RES_ERR_SOL_UNDEFINED when
    // it is not defined.
    const Solution& read(int32_t whichsol, const SolutionSizes& sizes);
    // The solution fitted to the sizes and defined (zeros when it was not),
    // with its reported objective values cleared: for a caller that has
    // checked all its arguments and now writes.
    Solution& write(int32_t whichsol, const SolutionSizes& sizes);

    // Status keys of the items [first, last) of constraints or variables.
    void get_keys(int32_t whichsol, Item item, int32_t first, int32_t last, int32_t* keys,
                  const SolutionSizes& sizes);
    void put_keys(int32_t whichsol, Item item, int32_t first, int32_t last, const int32_t* keys,
                  const SolutionSizes& sizes);
    // Status keys of all cones.
    void get_cone_keys(int32_t whichsol, int32_t* skn, const SolutionSizes& sizes);

    // Values of one item vector (VLT_SOL_ITEM_*) on [first, last); the
    // putter names its input `name` in messages.
    void get_values(int32_t whichsol, int32_t item, int32_t first, int32_t last, double* values,
                    const SolutionSizes& sizes);
    void put_values(int32_t whichsol, int32_t item, int32_t first, int32_t last, const double* values,
                    const SolutionSizes& sizes, const char* name);

    // The duals of the rows [first, first + count) of the affine conic
    // constraints (the caller checks the range against the problem).
    void get_acc_doty(int32_t whichsol, int64_t first, int64_t count, double* doty, const SolutionSizes& sizes);
    void put_acc_doty(int32_t whichsol, int64_t first, int64_t count, const double* doty,
                      const SolutionSizes& sizes);

    // One constraint's, one variable's values; one constraint's y.
    void put_con(int32_t whichsol, int32_t i, int32_t sk, double x, double sl, double su,
                 const SolutionSizes& sizes);
    void put_var(int32_t whichsol, int32_t j, int32_t sk, double x, double sl, double su, double sn,
                 const SolutionSizes& sizes);
    void put_y(int32_t whichsol, int32_t i, double y, const SolutionSizes& sizes);

    // The whole solution, with the duals of the affine conic constraints;
    // null arrays are not wanted (get) or kept (put).
    void get_whole(int32_t whichsol, int32_t* prosta, int32_t* solsta, int32_t* skc, int32_t* skx, int32_t* skn,
                   double* const* values, const SolutionSizes& sizes, double* doty = nullptr);
    void put_whole(int32_t whichsol, const int32_t* skc, const int32_t* skx, const int32_t* skn,
                   const double* const* values, const SolutionSizes& sizes, const double* doty = nullptr);

    // barx (bars = false) or bars of semidefinite variable j, or of the
    // variables [first, last) one after another into room for slicesize
    // values (VLT_RES_ERR_BUFFER_TOO_SMALL if fewer than they hold).
    void get_bar(int32_t whichsol, bool bars, int32_t j, double* values, const SolutionSizes& sizes);
    void put_bar(int32_t whichsol, bool bars, int32_t j, const double* values, const SolutionSizes& sizes);
    void get_bar_slice(int32_t whichsol, bool bars, int32_t first, int32_t last, int64_t slicesize, double* values,
                       const SolutionSizes& sizes);

    // Problem and solution status.
    void statuses(int32_t whichsol, int32_t* prosta, int32_t* solsta, const SolutionSizes& sizes);
    // The objective values: those the optimizer reported, else computed.
    ObjectiveValues objectives(int32_t whichsol, const Problem& problem);

    // For the optimizers: replaces a solution with one they made (defined,
    // with its statuses and any objective values they report).
    void store(int32_t whichsol, Solution solution);

    size_t memory_bytes() const;

private:
    std::array<Solution, kNumSolutions> solutions_;
};

}  // namespace vlt::model
