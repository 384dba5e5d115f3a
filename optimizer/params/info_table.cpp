// Names of the information items, in code order, and the item store.
#include "params/info_table.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <unordered_map>

#include "base/error.hpp"
#include "params/text.hpp"

namespace vlt::params {
namespace {

// An item that the runs fill, and one that stays undefined (0), with the reason.
#define VLT_DINF(name) {VLT_DINF_##name, "VLT_DINF_" #name, nullptr}
#define VLT_IINF(name) {VLT_IINF_##name, "VLT_IINF_" #name, nullptr}
#define VLT_LIINF(name) {VLT_LIINF_##name, "VLT_LIINF_" #name, nullptr}
#define VLT_DINF_UNDEFINED(name, reason) {VLT_DINF_##name, "VLT_DINF_" #name, reason}
#define VLT_IINF_UNDEFINED(name, reason) {VLT_IINF_##name, "VLT_IINF_" #name, reason}
#define VLT_LIINF_UNDEFINED(name, reason) {VLT_LIINF_##name, "VLT_LIINF_" #name, reason}

constexpr InfoItemDef kDouItems[] = {
    VLT_DINF(ANA_PRO_SCALARIZED_CONSTRAINT_MATRIX_DENSITY),
    VLT_DINF_UNDEFINED(BI_CLEAN_DUAL_TIME, "basis identification is the engine's crossover, which reports only its iteration count (LIINF_BI_PRIMAL_ITER)"),
    VLT_DINF_UNDEFINED(BI_CLEAN_PRIMAL_TIME, "basis identification is the engine's crossover, which reports only its iteration count (LIINF_BI_PRIMAL_ITER)"),
    VLT_DINF_UNDEFINED(BI_CLEAN_TIME, "basis identification is the engine's crossover, which reports only its iteration count (LIINF_BI_PRIMAL_ITER)"),
    VLT_DINF_UNDEFINED(BI_DUAL_TIME, "basis identification is the engine's crossover, which reports only its iteration count (LIINF_BI_PRIMAL_ITER)"),
    VLT_DINF_UNDEFINED(BI_PRIMAL_TIME, "basis identification is the engine's crossover, which reports only its iteration count (LIINF_BI_PRIMAL_ITER)"),
    VLT_DINF_UNDEFINED(BI_TIME, "basis identification is the engine's crossover, which reports only its iteration count (LIINF_BI_PRIMAL_ITER)"),
    VLT_DINF(INTPNT_DUAL_FEAS),
    VLT_DINF(INTPNT_DUAL_OBJ),
    VLT_DINF_UNDEFINED(INTPNT_FACTOR_NUM_FLOPS, "the factorization does not count its operations"),
    VLT_DINF(INTPNT_FACTOR_TIME),
    VLT_DINF(INTPNT_MU),
    VLT_DINF_UNDEFINED(INTPNT_OPT_STATUS, "the interior-point optimizers report their answer by the solution status"),
    VLT_DINF(INTPNT_ORDER_TIME),
    VLT_DINF(INTPNT_PRIMAL_FEAS),
    VLT_DINF(INTPNT_PRIMAL_OBJ),
    VLT_DINF(INTPNT_STEP_SIZE),
    VLT_DINF(INTPNT_TIME),
    VLT_DINF_UNDEFINED(MIO_CLIQUE_SELECTION_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_CMIR_SELECTION_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_CONSTRUCT_SOLUTION_OBJ, "no integer solution is constructed from given values"),
    VLT_DINF_UNDEFINED(MIO_CUT_TIME, "the mixed-integer optimizers do not report their cuts"),
    VLT_DINF_UNDEFINED(MIO_DUAL_BOUND_AFTER_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_DINF_UNDEFINED(MIO_GMI_SELECTION_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_HEURISTIC_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_IMPLIED_BOUND_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_INITIAL_FEASIBLE_SOLUTION_OBJ, "no integer solution is constructed from given values"),
    VLT_DINF_UNDEFINED(MIO_KNAPSACK_COVER_SELECTION_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_NODE_RELAXATION_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF(MIO_OBJ_ABS_GAP),
    VLT_DINF(MIO_OBJ_BOUND),
    VLT_DINF(MIO_OBJ_INT),
    VLT_DINF(MIO_OBJ_REL_GAP),
    VLT_DINF_UNDEFINED(MIO_PROBING_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_ROOT_CUT_SEPARATION_TIME, "the mixed-integer optimizers do not report their cuts"),
    VLT_DINF_UNDEFINED(MIO_ROOT_OPTIMIZER_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_ROOT_PRESOLVE_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_ROOT_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_SYMMETRY_DETECTION_TIME, "the mixed-integer optimizers do not time their phases one by one (MIO_TIME has the total)"),
    VLT_DINF_UNDEFINED(MIO_SYMMETRY_FACTOR, "symmetry detection reports no figures"),
    VLT_DINF(MIO_TIME),
    VLT_DINF(MIO_USER_OBJ_CUT),
    VLT_DINF_UNDEFINED(OPTIMIZER_TICKS, "the library measures seconds, not ticks"),
    VLT_DINF(OPTIMIZER_TIME),
    VLT_DINF_UNDEFINED(PRESOLVE_ELI_TIME, "presolve runs inside the optimizers and reports no figures of its own"),
    VLT_DINF_UNDEFINED(PRESOLVE_LINDEP_TIME, "presolve runs inside the optimizers and reports no figures of its own"),
    VLT_DINF(PRESOLVE_TIME),
    VLT_DINF_UNDEFINED(PRESOLVE_TOTAL_PRIMAL_PERTURBATION, "presolve runs inside the optimizers and reports no figures of its own"),
    VLT_DINF(PRIMAL_REPAIR_PENALTY_OBJ),
    VLT_DINF(PRIMAL_REPAIR_TIME),
    VLT_DINF_UNDEFINED(QCQO_REFORMULATE_MAX_PERTURBATION, "the conic form of quadratic constraints is made without measurements"),
    VLT_DINF_UNDEFINED(QCQO_REFORMULATE_TIME, "the conic form of quadratic constraints is made without measurements"),
    VLT_DINF_UNDEFINED(QCQO_REFORMULATE_WORST_CHOLESKY_COLUMN_SCALING, "the conic form of quadratic constraints is made without measurements"),
    VLT_DINF_UNDEFINED(QCQO_REFORMULATE_WORST_CHOLESKY_DIAG_SCALING, "the conic form of quadratic constraints is made without measurements"),
    VLT_DINF(READ_DATA_TIME),
    VLT_DINF(REMOTE_TIME),
    VLT_DINF(SENSITIVITY_TIME),
    VLT_DINF(SIM_DUAL_TIME),
    VLT_DINF(SIM_FEAS),
    VLT_DINF(SIM_OBJ),
    VLT_DINF(SIM_PRIMAL_TIME),
    VLT_DINF(SIM_TIME),
    VLT_DINF(SOL_BAS_DUAL_OBJ),
    VLT_DINF(SOL_BAS_DVIOLCON),
    VLT_DINF(SOL_BAS_DVIOLVAR),
    VLT_DINF(SOL_BAS_NRM_BARX),
    VLT_DINF(SOL_BAS_NRM_SLC),
    VLT_DINF(SOL_BAS_NRM_SLX),
    VLT_DINF(SOL_BAS_NRM_SUC),
    VLT_DINF(SOL_BAS_NRM_SUX),
    VLT_DINF(SOL_BAS_NRM_XC),
    VLT_DINF(SOL_BAS_NRM_XX),
    VLT_DINF(SOL_BAS_NRM_Y),
    VLT_DINF(SOL_BAS_PRIMAL_OBJ),
    VLT_DINF(SOL_BAS_PVIOLCON),
    VLT_DINF(SOL_BAS_PVIOLVAR),
    VLT_DINF(SOL_ITG_NRM_BARX),
    VLT_DINF(SOL_ITG_NRM_XC),
    VLT_DINF(SOL_ITG_NRM_XX),
    VLT_DINF(SOL_ITG_PRIMAL_OBJ),
    VLT_DINF(SOL_ITG_PVIOLACC),
    VLT_DINF(SOL_ITG_PVIOLBARVAR),
    VLT_DINF(SOL_ITG_PVIOLCON),
    VLT_DINF(SOL_ITG_PVIOLCONES),
    VLT_DINF(SOL_ITG_PVIOLDJC),
    VLT_DINF(SOL_ITG_PVIOLITG),
    VLT_DINF(SOL_ITG_PVIOLVAR),
    VLT_DINF(SOL_ITR_DUAL_OBJ),
    VLT_DINF(SOL_ITR_DVIOLACC),
    VLT_DINF(SOL_ITR_DVIOLBARVAR),
    VLT_DINF(SOL_ITR_DVIOLCON),
    VLT_DINF(SOL_ITR_DVIOLCONES),
    VLT_DINF(SOL_ITR_DVIOLVAR),
    VLT_DINF(SOL_ITR_NRM_BARS),
    VLT_DINF(SOL_ITR_NRM_BARX),
    VLT_DINF(SOL_ITR_NRM_SLC),
    VLT_DINF(SOL_ITR_NRM_SLX),
    VLT_DINF(SOL_ITR_NRM_SNX),
    VLT_DINF(SOL_ITR_NRM_SUC),
    VLT_DINF(SOL_ITR_NRM_SUX),
    VLT_DINF(SOL_ITR_NRM_XC),
    VLT_DINF(SOL_ITR_NRM_XX),
    VLT_DINF(SOL_ITR_NRM_Y),
    VLT_DINF(SOL_ITR_PRIMAL_OBJ),
    VLT_DINF(SOL_ITR_PVIOLACC),
    VLT_DINF(SOL_ITR_PVIOLBARVAR),
    VLT_DINF(SOL_ITR_PVIOLCON),
    VLT_DINF(SOL_ITR_PVIOLCONES),
    VLT_DINF(SOL_ITR_PVIOLVAR),
    VLT_DINF_UNDEFINED(TO_CONIC_TIME, "the conic form of quadratic constraints is made without measurements"),
    VLT_DINF(WRITE_DATA_TIME),
};

constexpr InfoItemDef kIntItems[] = {
    VLT_IINF(ANA_PRO_NUM_CON),
    VLT_IINF(ANA_PRO_NUM_CON_EQ),
    VLT_IINF(ANA_PRO_NUM_CON_FR),
    VLT_IINF(ANA_PRO_NUM_CON_LO),
    VLT_IINF(ANA_PRO_NUM_CON_RA),
    VLT_IINF(ANA_PRO_NUM_CON_UP),
    VLT_IINF(ANA_PRO_NUM_VAR),
    VLT_IINF(ANA_PRO_NUM_VAR_BIN),
    VLT_IINF(ANA_PRO_NUM_VAR_CONT),
    VLT_IINF(ANA_PRO_NUM_VAR_EQ),
    VLT_IINF(ANA_PRO_NUM_VAR_FR),
    VLT_IINF(ANA_PRO_NUM_VAR_INT),
    VLT_IINF(ANA_PRO_NUM_VAR_LO),
    VLT_IINF(ANA_PRO_NUM_VAR_RA),
    VLT_IINF(ANA_PRO_NUM_VAR_UP),
    VLT_IINF(INTPNT_FACTOR_DIM_DENSE),
    VLT_IINF(INTPNT_ITER),
    VLT_IINF(INTPNT_NUM_REFINEMENT_STEPS),
    VLT_IINF(INTPNT_NUM_THREADS),
    VLT_IINF(INTPNT_SOLVE_DUAL),
    VLT_IINF(MIO_ABSGAP_SATISFIED),
    VLT_IINF_UNDEFINED(MIO_CLIQUE_TABLE_SIZE, "the mixed-integer optimizers report the nodes solved, not their tree"),
    VLT_IINF_UNDEFINED(MIO_CONSTRUCT_SOLUTION, "no integer solution is constructed from given values"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMBIN, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMCON, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMCONE, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMCONEVAR, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMCONT, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMDJC, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMINT, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMQCONES, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMRQCONES, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_FINAL_NUMVAR, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_INITIAL_FEASIBLE_SOLUTION, "no integer solution is constructed from given values"),
    VLT_IINF_UNDEFINED(MIO_NODE_DEPTH, "the mixed-integer optimizers report the nodes solved, not their tree"),
    VLT_IINF(MIO_NUMBIN),
    VLT_IINF(MIO_NUMCON),
    VLT_IINF(MIO_NUMCONE),
    VLT_IINF(MIO_NUMCONEVAR),
    VLT_IINF(MIO_NUMCONT),
    VLT_IINF(MIO_NUMDJC),
    VLT_IINF(MIO_NUMINT),
    VLT_IINF(MIO_NUMQCONES),
    VLT_IINF(MIO_NUMRQCONES),
    VLT_IINF(MIO_NUMVAR),
    VLT_IINF_UNDEFINED(MIO_NUM_ACTIVE_NODES, "the mixed-integer optimizers report the nodes solved, not their tree"),
    VLT_IINF_UNDEFINED(MIO_NUM_ACTIVE_ROOT_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_BRANCH, "the mixed-integer optimizers report the nodes solved, not their tree"),
    VLT_IINF(MIO_NUM_INT_SOLUTIONS),
    VLT_IINF(MIO_NUM_RELAX),
    VLT_IINF_UNDEFINED(MIO_NUM_REPEATED_PRESOLVE, "the mixed-integer optimizers report the nodes solved, not their tree"),
    VLT_IINF_UNDEFINED(MIO_NUM_RESTARTS, "the mixed-integer optimizers report the nodes solved, not their tree"),
    VLT_IINF_UNDEFINED(MIO_NUM_ROOT_CUT_ROUNDS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SELECTED_CLIQUE_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SELECTED_CMIR_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SELECTED_GOMORY_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SELECTED_IMPLIED_BOUND_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SELECTED_KNAPSACK_COVER_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SEPARATED_CLIQUE_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SEPARATED_CMIR_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SEPARATED_GOMORY_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SEPARATED_IMPLIED_BOUND_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_NUM_SEPARATED_KNAPSACK_COVER_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF(MIO_NUM_SOLVED_NODES),
    VLT_IINF(MIO_OBJ_BOUND_DEFINED),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMBIN, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMCON, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMCONE, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMCONEVAR, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMCONT, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMDJC, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMINT, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMQCONES, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMRQCONES, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF_UNDEFINED(MIO_PRESOLVED_NUMVAR, "the sizes after the mixed-integer presolve are not reported"),
    VLT_IINF(MIO_RELGAP_SATISFIED),
    VLT_IINF_UNDEFINED(MIO_TOTAL_NUM_SELECTED_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF_UNDEFINED(MIO_TOTAL_NUM_SEPARATED_CUTS, "the mixed-integer optimizers do not report their cuts"),
    VLT_IINF(MIO_USER_OBJ_CUT_DEFINED),
    VLT_IINF(OPTIMIZER_NUM_THREADS),
    VLT_IINF(OPTIMIZER_USED),
    VLT_IINF(OPTIMIZE_RESPONSE),
    VLT_IINF(OPT_NUMCON),
    VLT_IINF(OPT_NUMVAR),
    VLT_IINF_UNDEFINED(PRESOLVE_NUM_FIXED_VAR, "presolve runs inside the optimizers and reports no figures of its own"),
    VLT_IINF_UNDEFINED(PRESOLVE_NUM_PRIMAL_PERTURBATIONS, "presolve runs inside the optimizers and reports no figures of its own"),
    VLT_IINF_UNDEFINED(PRESOLVE_NUM_REMOVED_CON, "presolve runs inside the optimizers and reports no figures of its own"),
    VLT_IINF_UNDEFINED(PRESOLVE_NUM_REMOVED_VAR, "presolve runs inside the optimizers and reports no figures of its own"),
    VLT_IINF(RD_NUMBARVAR),
    VLT_IINF(RD_NUMCON),
    VLT_IINF(RD_NUMCONE),
    VLT_IINF(RD_NUMINTVAR),
    VLT_IINF(RD_NUMQ),
    VLT_IINF(RD_NUMVAR),
    VLT_IINF(RD_PROTYPE),
    VLT_IINF_UNDEFINED(SIM_DUAL_DEG_ITER, "the simplex optimizers report their total iterations only"),
    VLT_IINF_UNDEFINED(SIM_DUAL_HOTSTART, "the simplex optimizers report their total iterations only"),
    VLT_IINF_UNDEFINED(SIM_DUAL_HOTSTART_LU, "the simplex optimizers report their total iterations only"),
    VLT_IINF_UNDEFINED(SIM_DUAL_INF_ITER, "the simplex optimizers report their total iterations only"),
    VLT_IINF(SIM_DUAL_ITER),
    VLT_IINF(SIM_NUMCON),
    VLT_IINF(SIM_NUMVAR),
    VLT_IINF_UNDEFINED(SIM_NUM_REFACTOR, "the simplex optimizers report their total iterations only"),
    VLT_IINF_UNDEFINED(SIM_NUM_SETBACKS, "the simplex optimizers report their total iterations only"),
    VLT_IINF_UNDEFINED(SIM_PRIMAL_DEG_ITER, "the simplex optimizers report their total iterations only"),
    VLT_IINF_UNDEFINED(SIM_PRIMAL_HOTSTART, "the simplex optimizers report their total iterations only"),
    VLT_IINF_UNDEFINED(SIM_PRIMAL_HOTSTART_LU, "the simplex optimizers report their total iterations only"),
    VLT_IINF_UNDEFINED(SIM_PRIMAL_INF_ITER, "the simplex optimizers report their total iterations only"),
    VLT_IINF(SIM_PRIMAL_ITER),
    VLT_IINF(SIM_SOLVE_DUAL),
    VLT_IINF(SOL_BAS_PROSTA),
    VLT_IINF(SOL_BAS_SOLSTA),
    VLT_IINF(SOL_ITG_PROSTA),
    VLT_IINF(SOL_ITG_SOLSTA),
    VLT_IINF(SOL_ITR_PROSTA),
    VLT_IINF(SOL_ITR_SOLSTA),
    VLT_IINF_UNDEFINED(STO_NUM_A_REALLOC, "the library does not count reallocations"),
};

constexpr InfoItemDef kLongItems[] = {
    VLT_LIINF(ANA_PRO_SCALARIZED_CONSTRAINT_MATRIX_NUM_COLUMNS),
    VLT_LIINF(ANA_PRO_SCALARIZED_CONSTRAINT_MATRIX_NUM_NZ),
    VLT_LIINF(ANA_PRO_SCALARIZED_CONSTRAINT_MATRIX_NUM_ROWS),
    VLT_LIINF_UNDEFINED(BI_CLEAN_DUAL_ITER, "basis identification is the engine's crossover, which reports only its iteration count (LIINF_BI_PRIMAL_ITER)"),
    VLT_LIINF_UNDEFINED(BI_CLEAN_PRIMAL_ITER, "basis identification is the engine's crossover, which reports only its iteration count (LIINF_BI_PRIMAL_ITER)"),
    VLT_LIINF_UNDEFINED(BI_DUAL_ITER, "basis identification is the engine's crossover, which reports only its iteration count (LIINF_BI_PRIMAL_ITER)"),
    VLT_LIINF(BI_PRIMAL_ITER),
    VLT_LIINF(INTPNT_FACTOR_NUM_NZ),
    VLT_LIINF(MEMORY_USAGE),
    VLT_LIINF(MEMORY_USAGE_PEAK),
    VLT_LIINF(MIO_ANZ),
    VLT_LIINF(MIO_INTPNT_ITER),
    VLT_LIINF(MIO_NUM_NODES),
    VLT_LIINF_UNDEFINED(MIO_PRESOLVED_ANZ, "the sizes after the mixed-integer presolve are not reported"),
    VLT_LIINF(MIO_SIMPLEX_ITER),
    VLT_LIINF_UNDEFINED(PRESOLVE_NUM_REMOVED_NZ, "presolve runs inside the optimizers and reports no figures of its own"),
    VLT_LIINF(RD_NUMACC),
    VLT_LIINF(RD_NUMANZ),
    VLT_LIINF(RD_NUMDJC),
    VLT_LIINF(RD_NUMQNZ),
    VLT_LIINF(SIMPLEX_ITER),
};

#undef VLT_DINF
#undef VLT_IINF
#undef VLT_LIINF
#undef VLT_DINF_UNDEFINED
#undef VLT_IINF_UNDEFINED
#undef VLT_LIINF_UNDEFINED

template <size_t N>
constexpr bool rows_in_code_order(const InfoItemDef (&rows)[N]) {
    for (size_t k = 0; k < N; ++k)
        if (rows[k].code != static_cast<int32_t>(k)) return false;
    return true;
}

static_assert(std::size(kDouItems) == VLT_NUM_DOUINF && rows_in_code_order(kDouItems));
static_assert(std::size(kIntItems) == VLT_NUM_IINF && rows_in_code_order(kIntItems));
static_assert(std::size(kLongItems) == VLT_NUM_LIINF && rows_in_code_order(kLongItems));

constexpr std::string_view kPrefix[] = {"VLT_DINF_", "VLT_IINF_", "VLT_LIINF_"};
constexpr const char* kTypeWord[] = {"double", "integer", "long integer"};

const std::unordered_map<std::string, InfoRef>& name_index() {
    static const std::unordered_map<std::string, InfoRef> index = [] {
        std::unordered_map<std::string, InfoRef> map;
        for (InfoType type : {InfoType::Double, InfoType::Int, InfoType::Long}) {
            std::string_view prefix = kPrefix[static_cast<int>(type)];
            for (const auto& item : info_items(type)) {
                std::string_view name = item.name;
                map.emplace(upper(name), InfoRef{type, item.code});
                map.emplace(upper(name.substr(prefix.size())), InfoRef{type, item.code});
            }
        }
        return map;
    }();
    return index;
}

void check_index(InfoType type, int32_t item) {
    if (!info_name(type, item))
        fail(VLT_RES_ERR_INF_INDEX, "Unknown " + std::string(kTypeWord[static_cast<int>(type)]) +
                                        " information item code " + std::to_string(item) + " (codes are 0 to " +
                                        std::to_string(info_items(type).size() - 1) + ")");
}

}  // namespace

std::span<const InfoItemDef> dinf_items() { return kDouItems; }
std::span<const InfoItemDef> iinf_items() { return kIntItems; }
std::span<const InfoItemDef> liinf_items() { return kLongItems; }

std::span<const InfoItemDef> info_items(InfoType type) {
    switch (type) {
        case InfoType::Double: return kDouItems;
        case InfoType::Int: return kIntItems;
        case InfoType::Long: return kLongItems;
    }
    return {};
}

const char* info_name(InfoType type, int32_t code) {
    auto rows = info_items(type);
    return code >= 0 && static_cast<size_t>(code) < rows.size() ? rows[static_cast<size_t>(code)].name : nullptr;
}

std::optional<InfoRef> find_info(std::string_view name) {
    const auto& index = name_index();
    auto it = index.find(upper(name));
    if (it == index.end()) return std::nullopt;
    return it->second;
}

void InfoValues::reset() {
    std::fill(std::begin(d), std::end(d), 0.0);
    std::fill(std::begin(i), std::end(i), 0);
    std::fill(std::begin(l), std::end(l), 0);
}

double InfoValues::get_dou(int32_t item) const {
    check_index(InfoType::Double, item);
    return d[item];
}

int32_t InfoValues::get_int(int32_t item) const {
    check_index(InfoType::Int, item);
    return i[item];
}

int64_t InfoValues::get_long(int32_t item) const {
    check_index(InfoType::Long, item);
    return l[item];
}

}  // namespace vlt::params
