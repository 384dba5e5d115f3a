// The catalog of every parameter: name, default, admissible values and a
// one-line description.  Rows are in code order (alphabetical, as the codes
// in velto_params.h); static assertions below keep the two in step.
#include <cstdint>
#include <iterator>
#include <limits>

#include "params/param_table.hpp"

namespace vlt::params {
namespace {

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------- value sets

// kVLT<enum>[]: every enumeration of the interface, generated from velto.h.
#include "enum_values.inc"

// Optimizers that can solve a continuous relaxation (root and nodes of branch and bound).
constexpr EnumValue kContinuousOptimizers[] = {
    {VLT_OPTIMIZER_FREE, "VLT_OPTIMIZER_FREE"},
    {VLT_OPTIMIZER_INTPNT, "VLT_OPTIMIZER_INTPNT"},
    {VLT_OPTIMIZER_CONIC, "VLT_OPTIMIZER_CONIC"},
    {VLT_OPTIMIZER_PRIMAL_SIMPLEX, "VLT_OPTIMIZER_PRIMAL_SIMPLEX"},
    {VLT_OPTIMIZER_DUAL_SIMPLEX, "VLT_OPTIMIZER_DUAL_SIMPLEX"},
    {VLT_OPTIMIZER_FREE_SIMPLEX, "VLT_OPTIMIZER_FREE_SIMPLEX"},
};
// Optimizers that work on a basis (clean-up, repair, sensitivity).
constexpr EnumValue kSimplexOptimizers[] = {
    {VLT_OPTIMIZER_FREE, "VLT_OPTIMIZER_FREE"},
    {VLT_OPTIMIZER_PRIMAL_SIMPLEX, "VLT_OPTIMIZER_PRIMAL_SIMPLEX"},
    {VLT_OPTIMIZER_DUAL_SIMPLEX, "VLT_OPTIMIZER_DUAL_SIMPLEX"},
    {VLT_OPTIMIZER_FREE_SIMPLEX, "VLT_OPTIMIZER_FREE_SIMPLEX"},
};

constexpr EnumSet kOnOffSet{"VLT_ONOFF_", kVLTonoffkey};
constexpr EnumSet kOptimizerSet{"VLT_OPTIMIZER_", kVLToptimizertype};
constexpr EnumSet kContinuousOptimizerSet{"VLT_OPTIMIZER_", kContinuousOptimizers};
constexpr EnumSet kSimplexOptimizerSet{"VLT_OPTIMIZER_", kSimplexOptimizers};
constexpr EnumSet kPresolveSet{"VLT_PRESOLVE_MODE_", kVLTpresolvemode};
constexpr EnumSet kBasisIdentificationSet{"VLT_BI_", kVLTbasindtype};
constexpr EnumSet kDataFormatSet{"VLT_DATA_FORMAT_", kVLTdataformat};
constexpr EnumSet kCompressionSet{"VLT_COMPRESS_", kVLTcompresstype};
constexpr EnumSet kMpsFormatSet{"VLT_MPS_FORMAT_", kVLTmpsformat};
constexpr EnumSet kMioModeSet{"VLT_MIO_MODE_", kVLTmiomode};
constexpr EnumSet kBranchDirectionSet{"VLT_BRANCH_DIR_", kVLTbranchdir};
constexpr EnumSet kNodeSelectionSet{"VLT_MIO_NODE_SELECTION_", kVLTmionodeseltype};
constexpr EnumSet kSimplexSelectionSet{"VLT_SIM_SELECTION_", kVLTsimseltype};
constexpr EnumSet kSimplexHotstartSet{"VLT_SIM_HOTSTART_", kVLTsimhotstart};
constexpr EnumSet kScalingSet{"VLT_SCALING_", kVLTscalingtype};
constexpr EnumSet kSolveFormSet{"VLT_SOLVE_", kVLTsolveform};
constexpr EnumSet kOrderingSet{"VLT_ORDER_METHOD_", kVLTorderingtype};
constexpr EnumSet kStartingPointSet{"VLT_STARTING_POINT_", kVLTstartpointtype};
constexpr EnumSet kConvexityCheckSet{"VLT_CHECK_CONVEXITY_", kVLTcheckconvexitytype};
constexpr EnumSet kScalingMethodSet{"VLT_SCALING_METHOD_", kVLTscalingmethod};
constexpr EnumSet kSimplexDegeneracySet{"VLT_SIM_DEGEN_", kVLTsimdegen};
constexpr EnumSet kSimplexReformulationSet{"VLT_SIM_REFORMULATION_", kVLTsimreform};
constexpr EnumSet kIntpntHotstartSet{"VLT_INTPNT_HOTSTART_", kVLTintpnthotstart};
constexpr EnumSet kPurifySet{"VLT_PURIFY_", kVLTpurify};
constexpr EnumSet kFeasRepairSet{"VLT_FEASREPAIR_OPTIMIZE_", kVLTfeasrepairtype};
constexpr EnumSet kMioContinuousSolutionSet{"VLT_MIO_CONT_SOL_", kVLTmiocontsoltype};
constexpr EnumSet kSensitivityTypeSet{"VLT_SENSITIVITY_TYPE_", kVLTsensitivitytype};

// A parameter that is accepted, stored and written to files but changes
// nothing: its description says so, with the reason.
#define NO_EFFECT(reason) " (accepted, no effect in this library: " reason ")"

// ----------------------------------------------------------- integer parameters

// A numeric integer parameter and one that takes a code of a value set.
#define VLT_INT(name, def, lo, hi, desc) {VLT_IPAR_##name, "VLT_IPAR_" #name, def, lo, hi, nullptr, desc}
#define VLT_SET(name, def, set, desc) {VLT_IPAR_##name, "VLT_IPAR_" #name, def, 0, 0, &set, desc}
#define VLT_ONOFF(name, def, desc) VLT_SET(name, def, kOnOffSet, desc)

constexpr IntParamDef kIntParams[] = {
    VLT_ONOFF(ANA_SOL_PRINT_VIOLATED, VLT_ONOFF_OFF, "List the violated constraints in the solution analysis" NO_EFFECT("the library has no solution analyzer")),
    VLT_ONOFF(AUTO_UPDATE_SOL_INFO, VLT_ONOFF_OFF, "Recompute the solution information items whenever a solution changes" NO_EFFECT("the solution items are recomputed after every optimization, and on request only then")),
    VLT_ONOFF(BASIS_SOLVE_USE_PLUS_ONE, VLT_ONOFF_OFF, "Basis solves take +1 instead of -1 for basic slack columns"),
    VLT_SET(BI_CLEAN_OPTIMIZER, VLT_OPTIMIZER_FREE, kSimplexOptimizerSet, "Simplex variant that cleans up after basis identification" NO_EFFECT("basis identification is the engine's crossover, which cleans up with its own simplex")),
    VLT_ONOFF(BI_IGNORE_MAX_ITER, VLT_ONOFF_OFF, "Continue basis identification when the interior-point iteration limit was hit" NO_EFFECT("basis identification is the engine's crossover, which has no iteration limit of its own")),
    VLT_INT(BI_MAX_ITERATIONS, 1000000, 0, kIntMax, "Maximum number of simplex iterations of basis identification" NO_EFFECT("basis identification is the engine's crossover, which has no iteration limit of its own")),
    VLT_SET(CHECK_CONVEXITY, VLT_CHECK_CONVEXITY_FULL, kConvexityCheckSet, "How thoroughly quadratic terms are checked for convexity"),
    VLT_SET(FEASREPAIR_OPTIMIZE, VLT_FEASREPAIR_OPTIMIZE_NONE, kFeasRepairSet, "What the feasibility repair optimizes"),
    VLT_ONOFF(INFEAS_PREFER_PRIMAL, VLT_ONOFF_ON, "Report the primal infeasibility when both primal and dual are infeasible" NO_EFFECT("the library reports the status each optimizer proves and does not choose between two")),
    VLT_ONOFF(INFEAS_REPORT_AUTO, VLT_ONOFF_OFF, "Print an infeasibility report after an infeasible optimization" NO_EFFECT("infeasibility reports are printed on request only")),
    VLT_INT(INFEAS_REPORT_LEVEL, 1, 0, kIntMax, "Detail of the infeasibility report"),
    VLT_SET(INTPNT_BASIS, VLT_BI_ALWAYS, kBasisIdentificationSet, "Whether a basic solution is identified after the interior-point optimizer"),
    VLT_SET(INTPNT_HOTSTART, VLT_INTPNT_HOTSTART_NONE, kIntpntHotstartSet, "Which part of a given solution starts the interior-point optimizer" NO_EFFECT("the interior-point optimizers always start from their own point")),
    VLT_INT(INTPNT_MAX_ITERATIONS, 400, 0, kIntMax, "Maximum number of interior-point iterations"),
    VLT_INT(INTPNT_MAX_NUM_COR, -1, -1, 100, "Correctors per interior-point iteration: 0 takes the centred direction without the second-order corrector; -1 and any other value one corrector"),
    VLT_INT(INTPNT_MAX_NUM_REFINEMENT_STEPS, -1, -1, 1000, "Maximum number of iterative refinement steps; -1 chooses" NO_EFFECT("the interior-point optimizers refine their directions by their own rule")),
    VLT_INT(INTPNT_OFF_COL_TRH, 40, 0, kIntMax, "Density factor above which a column is treated as dense; 0 disables the detection" NO_EFFECT("dense columns are found by the factorization's own rule")),
    VLT_SET(INTPNT_ORDER_METHOD, VLT_ORDER_METHOD_FREE, kOrderingSet, "Fill-reducing ordering of the normal-equation factorization" NO_EFFECT("the factorization always uses its own fill-reducing ordering")),
    VLT_SET(INTPNT_PURIFY, VLT_PURIFY_NONE, kPurifySet, "Purification of the interior-point solution" NO_EFFECT("the interior-point solution is not purified")),
    VLT_ONOFF(INTPNT_REGULARIZATION_USE, VLT_ONOFF_ON, "Regularize the normal equations" NO_EFFECT("the interior-point factorization is always regularized (it needs it to be stable)")),
    VLT_SET(INTPNT_SCALING, VLT_SCALING_FREE, kScalingSet, "Scaling used by the interior-point optimizer" NO_EFFECT("the interior-point optimizers always scale by their own rule")),
    VLT_SET(INTPNT_SOLVE_FORM, VLT_SOLVE_FREE, kSolveFormSet, "Whether the interior-point optimizer solves the primal or the dual of a linear problem (other problems: the primal)"),
    VLT_SET(INTPNT_STARTING_POINT, VLT_STARTING_POINT_FREE, kStartingPointSet, "Starting point of the interior-point optimizer: CONSTANT starts from the cones' central point, FREE and GUESS from a least-squares point"),
    VLT_INT(LOG, 10, 0, kIntMax, "Overall log level; 0 prints nothing"),
    VLT_INT(LOG_ANA_PRO, 1, 0, kIntMax, "Log level of the problem analyzer" NO_EFFECT("the library has no problem analyzer log")),
    VLT_INT(LOG_BI, 1, 0, kIntMax, "Log level of basis identification" NO_EFFECT("basis identification logs as part of the interior-point optimizer (LOG_INTPNT)")),
    VLT_INT(LOG_BI_FREQ, 2500, 0, kIntMax, "Iterations between log lines of basis identification" NO_EFFECT("basis identification logs as part of the interior-point optimizer")),
    VLT_INT(LOG_FILE, 1, 0, kIntMax, "Log level of file reading and writing" NO_EFFECT("file reading and writing print no log")),
    VLT_ONOFF(LOG_INCLUDE_SUMMARY, VLT_ONOFF_OFF, "Print a solution summary at the end of the optimizer log"),
    VLT_INT(LOG_INTPNT, 1, 0, kIntMax, "Log level of the interior-point optimizer"),
    VLT_INT(LOG_MIO, 4, 0, kIntMax, "Log level of the mixed-integer optimizer"),
    VLT_INT(LOG_MIO_FREQ, 10, -kIntMax, kIntMax, "Nodes between log lines of the branch and bound over cones and quadratic terms; negative logs only new solutions"),
    VLT_INT(LOG_PRESOLVE, 1, 0, kIntMax, "Log level of presolve" NO_EFFECT("presolve logs as part of the optimizer that runs it")),
    VLT_INT(LOG_SENSITIVITY, 1, 0, kIntMax, "Log level of sensitivity analysis" NO_EFFECT("sensitivity analysis prints no log")),
    VLT_INT(LOG_SIM, 4, 0, kIntMax, "Log level of the simplex optimizers"),
    VLT_INT(LOG_SIM_FREQ, 1000, 0, kIntMax, "Iterations between log lines of the simplex optimizers" NO_EFFECT("the simplex optimizers log at their own frequency")),
    VLT_INT(MAX_NUM_WARNINGS, 10, 0, kIntMax, "Maximum number of warnings of one kind that are printed" NO_EFFECT("every warning is reported")),
    VLT_SET(MIO_BRANCH_DIR, VLT_BRANCH_DIR_FREE, kBranchDirectionSet, "Direction of the branch explored first by the branch and bound over cones and quadratic terms"),
    VLT_ONOFF(MIO_CONSTRUCT_SOL, VLT_ONOFF_OFF, "Start the linear mixed-integer optimizer from the values of the integer solution put before: when they make a feasible point, it is the first incumbent (the branch and bound of conic problems does not use them)"),
    VLT_SET(MIO_CONT_SOL, VLT_MIO_CONT_SOL_NONE, kMioContinuousSolutionSet, "Continuous solution reported beside the integer solution" NO_EFFECT("no continuous solution is reported beside the integer one")),
    VLT_ONOFF(MIO_CUT_CLIQUE, VLT_ONOFF_ON, "Separate clique cuts" NO_EFFECT("cut families cannot be switched one by one")),
    VLT_ONOFF(MIO_CUT_CMIR, VLT_ONOFF_ON, "Separate mixed-integer rounding cuts" NO_EFFECT("cut families cannot be switched one by one")),
    VLT_ONOFF(MIO_CUT_GMI, VLT_ONOFF_ON, "Separate Gomory mixed-integer cuts" NO_EFFECT("cut families cannot be switched one by one")),
    VLT_ONOFF(MIO_CUT_IMPLIED_BOUND, VLT_ONOFF_ON, "Separate implied bound cuts" NO_EFFECT("cut families cannot be switched one by one")),
    VLT_ONOFF(MIO_CUT_KNAPSACK_COVER, VLT_ONOFF_ON, "Separate knapsack cover cuts" NO_EFFECT("cut families cannot be switched one by one")),
    VLT_INT(MIO_CUT_SELECTION_LEVEL, -1, -1, 1, "Aggressiveness of cut selection; -1 chooses" NO_EFFECT("cut selection follows the engine's own rule")),
    VLT_INT(MIO_HEURISTIC_LEVEL, -1, -1, kIntMax, "Effort spent on primal heuristics: 0 none, k > 0 k times the usual effort; -1 chooses"),
    VLT_INT(MIO_MAX_NUM_BRANCHES, -1, -1, kIntMax, "Maximum number of branchings of the branch and bound over cones and quadratic terms; -1 means no limit"),
    VLT_INT(MIO_MAX_NUM_RELAXS, -1, -1, kIntMax, "Maximum number of branch-and-bound nodes (relaxations) solved; -1 means no limit"),
    VLT_INT(MIO_MAX_NUM_ROOT_CUT_ROUNDS, 100, 0, kIntMax, "Maximum number of cut separation rounds at the root" NO_EFFECT("cut rounds at the root follow the engine's own rule")),
    VLT_INT(MIO_MAX_NUM_SOLUTIONS, -1, -1, kIntMax, "Stop after this many improving integer solutions; -1 means no limit"),
    VLT_SET(MIO_MODE, VLT_MIO_MODE_SATISFIED, kMioModeSet, "Whether integrality constraints are honoured or relaxed"),
    VLT_SET(MIO_NODE_OPTIMIZER, VLT_OPTIMIZER_FREE, kContinuousOptimizerSet, "Optimizer of the relaxations of a mixed-integer problem with cones: a simplex optimizer chooses outer approximation where it applies"),
    VLT_SET(MIO_NODE_SELECTION, VLT_MIO_NODE_SELECTION_FREE, kNodeSelectionSet, "Rule that picks the next node of the branch and bound over cones and quadratic terms"),
    VLT_INT(MIO_NUMERICAL_EMPHASIS_LEVEL, 0, 0, 2, "Favour numerical safety over speed in branch and bound" NO_EFFECT("branch and bound has one numerical mode")),
    VLT_INT(MIO_PROBING_LEVEL, -1, -1, 3, "Effort spent on probing binary variables; -1 chooses" NO_EFFECT("probing follows the engine's own rule")),
    VLT_SET(MIO_ROOT_OPTIMIZER, VLT_OPTIMIZER_FREE, kContinuousOptimizerSet, "Optimizer of the root relaxation" NO_EFFECT("the root relaxation is solved by the optimizer of the nodes")),
    VLT_INT(MIO_SEED, 42, 0, kIntMax, "Seed of the random choices of the mixed-integer optimizer on linear problems"),
    VLT_INT(MIO_SYMMETRY_LEVEL, -1, -1, 4, "Symmetry detection of the mixed-integer optimizer on linear problems: 0 off, any other value on"),
    VLT_INT(NUM_THREADS, 0, 0, kIntMax, "Maximum number of threads of the simplex and mixed-integer optimizers on linear problems; 0 uses every core (the library's own interior-point and branch and bound run on one thread)"),
    VLT_ONOFF(OPF_WRITE_HEADER, VLT_ONOFF_ON, "Write a header comment into OPF files"),
    VLT_ONOFF(OPF_WRITE_PARAMETERS, VLT_ONOFF_OFF, "Write the parameters into OPF files"),
    VLT_ONOFF(OPF_WRITE_PROBLEM, VLT_ONOFF_ON, "Write the problem into OPF files" NO_EFFECT("OPF files always hold the problem")),
    VLT_ONOFF(OPF_WRITE_SOLUTIONS, VLT_ONOFF_OFF, "Write the defined solutions into OPF files"),
    VLT_SET(OPTIMIZER, VLT_OPTIMIZER_FREE, kOptimizerSet, "Optimizer used by optimize"),
    VLT_ONOFF(PARAM_READ_IGN_ERROR, VLT_ONOFF_OFF, "Skip unknown names and bad values in parameter files instead of failing"),
    VLT_INT(PRESOLVE_ELIMINATOR_MAX_FILL, -1, -1, kIntMax, "Fill-in allowed when the presolve eliminates variables; -1 chooses" NO_EFFECT("presolve limits its fill-in by its own rule")),
    VLT_ONOFF(PRESOLVE_LINDEP_USE, VLT_ONOFF_ON, "Detect and remove linearly dependent equality constraints" NO_EFFECT("linear dependencies are handled by presolve's own rule")),
    VLT_INT(PRESOLVE_MAX_NUM_PASS, -1, -1, kIntMax, "Maximum number of presolve passes; -1 chooses" NO_EFFECT("presolve runs until it finds nothing more")),
    VLT_INT(PRESOLVE_MAX_NUM_REDUCTIONS, -1, -1, kIntMax, "Maximum number of presolve reductions of linear problems; -1 means no limit"),
    VLT_SET(PRESOLVE_USE, VLT_PRESOLVE_MODE_FREE, kPresolveSet, "Whether presolve is used"),
    VLT_SET(PRIMAL_REPAIR_OPTIMIZER, VLT_OPTIMIZER_FREE, kSimplexOptimizerSet, "Optimizer of the feasibility repair" NO_EFFECT("the repair problem is solved by the optimizer the problem type calls for")),
    VLT_ONOFF(PTF_WRITE_PARAMETERS, VLT_ONOFF_OFF, "Write the parameters into PTF files"),
    VLT_ONOFF(PTF_WRITE_SOLUTIONS, VLT_ONOFF_OFF, "Write the defined solutions into PTF files"),
    VLT_SET(READ_DATA_COMPRESSED, VLT_COMPRESS_FREE, kCompressionSet, "Compression of files read; FREE tells it from the file name" NO_EFFECT("the compression of a file read is told from its name and contents")),
    VLT_SET(READ_DATA_FORMAT, VLT_DATA_FORMAT_EXTENSION, kDataFormatSet, "Format of files read; EXTENSION tells it from the file name" NO_EFFECT("the format of a file read is told from its name or given to the call")),
    VLT_ONOFF(READ_KEEP_FREE_CON, VLT_ONOFF_OFF, "Keep free constraints (extra objective rows) when reading MPS files" NO_EFFECT("free rows after the objective are always kept as constraints")),
    VLT_SET(READ_MPS_FORMAT, VLT_MPS_FORMAT_FREE, kMpsFormatSet, "Flavour of MPS files read" NO_EFFECT("MPS files are read in the free flavour, which also reads fixed-format files without blanks in names")),
    VLT_INT(READ_MPS_WIDTH, 1024, 80, kIntMax, "Longest line accepted in fixed-format MPS files" NO_EFFECT("MPS lines of any length are read")),
    VLT_ONOFF(READ_TASK_IGNORE_PARAM, VLT_ONOFF_OFF, "Ignore the parameters stored in task files"),
    VLT_SET(REMOTE_USE_COMPRESSION, VLT_COMPRESS_ZSTD, kCompressionSet, "Compression of the data sent to an optimization server"),
    VLT_ONOFF(SENSITIVITY_ALL, VLT_ONOFF_OFF, "Run sensitivity analysis on every constraint and variable" NO_EFFECT("sensitivity analysis covers the items the call names")),
    VLT_SET(SENSITIVITY_OPTIMIZER, VLT_OPTIMIZER_FREE_SIMPLEX, kSimplexOptimizerSet, "Optimizer of sensitivity analysis" NO_EFFECT("sensitivity analysis uses the optimal basis as it is")),
    VLT_SET(SENSITIVITY_TYPE, VLT_SENSITIVITY_TYPE_BASIS, kSensitivityTypeSet, "Kind of sensitivity analysis"),
    VLT_SET(SIM_DEGEN, VLT_SIM_DEGEN_FREE, kSimplexDegeneracySet, "Effort spent against degeneracy in the simplex optimizers" NO_EFFECT("the simplex optimizers treat degeneracy by their own rule")),
    VLT_SET(SIM_DUAL_SELECTION, VLT_SIM_SELECTION_FREE, kSimplexSelectionSet, "Pricing of the dual simplex optimizer: FULL and PARTIAL price every row, DEVEX, SE and ASE by edge weights"),
    VLT_SET(SIM_HOTSTART, VLT_SIM_HOTSTART_FREE, kSimplexHotstartSet, "How the simplex optimizers start from an existing basis: NONE starts afresh; any other value starts from the task's basic solution when it holds a status key for every row and column"),
    VLT_INT(SIM_MAX_ITERATIONS, 10000000, 0, kIntMax, "Maximum number of simplex iterations"),
    VLT_INT(SIM_MAX_NUM_SETBACKS, 250, 0, kIntMax, "Numerical setbacks tolerated before the simplex optimizers give up" NO_EFFECT("the simplex optimizers recover from setbacks by their own rule")),
    VLT_SET(SIM_PRIMAL_SELECTION, VLT_SIM_SELECTION_FREE, kSimplexSelectionSet, "Pricing of the primal simplex optimizer: FULL and PARTIAL price every column, DEVEX, SE and ASE by edge weights"),
    VLT_INT(SIM_REFACTOR_FREQ, 0, 0, kIntMax, "Basis updates between refactorizations of the simplex optimizers; 0 chooses"),
    VLT_SET(SIM_REFORMULATION, VLT_SIM_REFORMULATION_OFF, kSimplexReformulationSet, "Whether the simplex optimizers reformulate the problem first" NO_EFFECT("the simplex optimizers do not reformulate the problem")),
    VLT_SET(SIM_SCALING, VLT_SCALING_FREE, kScalingSet, "Scaling used by the simplex optimizers: NONE switches it off"),
    VLT_SET(SIM_SCALING_METHOD, VLT_SCALING_METHOD_POW2, kScalingMethodSet, "Scale factors of the simplex optimizers: powers of two or any value" NO_EFFECT("the simplex optimizers always scale by powers of two")),
    VLT_INT(SIM_SEED, 23456, 0, 32749, "Seed of the random perturbations of the simplex optimizers" NO_EFFECT("the simplex optimizers make no random choices that a seed would steer")),
    VLT_SET(SIM_SOLVE_FORM, VLT_SOLVE_FREE, kSolveFormSet, "Whether the simplex optimizers solve the primal or the dual problem (FREE: the primal)"),
    VLT_INT(SIM_STABILITY_PRIORITY, 50, 0, 100, "Weight of stability over speed in the simplex optimizers" NO_EFFECT("the simplex optimizers weigh stability by their own rule")),
    VLT_INT(SOL_READ_WIDTH, 1024, 80, kIntMax, "Longest line accepted in solution files" NO_EFFECT("solution lines of any length are read")),
    VLT_INT(TIMING_LEVEL, 1, 0, 2, "Detail of the timing information items" NO_EFFECT("every timing item is always recorded")),
    VLT_SET(WRITE_COMPRESSION, VLT_COMPRESS_FREE, kCompressionSet, "Compression of files written; FREE tells it from the file name"),
    VLT_SET(WRITE_DATA_FORMAT, VLT_DATA_FORMAT_EXTENSION, kDataFormatSet, "Format of data files written; EXTENSION tells it from the file name"),
    VLT_ONOFF(WRITE_DATA_PARAM, VLT_ONOFF_OFF, "Write the parameters into data files that can hold them" NO_EFFECT("data files hold parameters when their own switch (OPF_WRITE_PARAMETERS, PTF_WRITE_PARAMETERS) says so")),
    VLT_ONOFF(WRITE_GENERIC_NAMES, VLT_ONOFF_ON, "Replace missing or invalid names by generic ones when writing files"),
    VLT_ONOFF(WRITE_IGNORE_INCOMPATIBLE_ITEMS, VLT_ONOFF_OFF, "Leave out items that a file format cannot hold instead of failing"),
    VLT_ONOFF(WRITE_LP_FULL_OBJ, VLT_ONOFF_ON, "Write every variable into the objective of LP files, also with coefficient 0"),
    VLT_INT(WRITE_LP_LINE_WIDTH, 80, 40, kIntMax, "Longest line written into LP files"),
    VLT_SET(WRITE_MPS_FORMAT, VLT_MPS_FORMAT_FREE, kMpsFormatSet, "Flavour of MPS files written"),
    VLT_ONOFF(WRITE_MPS_INT, VLT_ONOFF_ON, "Mark integer variables in MPS files"),
    VLT_INT(WRITE_PRECISION, 15, 1, 17, "Significant digits of the numbers written into data files"),
    VLT_ONOFF(WRITE_SOL_BARVARIABLES, VLT_ONOFF_ON, "Write semidefinite variables into solution files"),
    VLT_ONOFF(WRITE_SOL_CONSTRAINTS, VLT_ONOFF_ON, "Write constraints into solution files"),
    VLT_ONOFF(WRITE_SOL_HEAD, VLT_ONOFF_ON, "Write a header into solution files"),
    VLT_ONOFF(WRITE_SOL_VARIABLES, VLT_ONOFF_ON, "Write variables into solution files"),
    VLT_ONOFF(WRITE_TASK_INC_SOL, VLT_ONOFF_ON, "Include the solutions in task files"),
};

#undef VLT_ONOFF
#undef VLT_SET
#undef VLT_INT

// ------------------------------------------------------------ double parameters

#define VLT_DOU(name, def, lo, hi, desc) {VLT_DPAR_##name, "VLT_DPAR_" #name, def, lo, hi, desc}

constexpr DouParamDef kDouParams[] = {
    VLT_DOU(ANA_SOL_INFEAS_TOL, 1e-6, 0.0, kInf, "Violation above which the solution analysis reports an item" NO_EFFECT("the library has no solution analyzer")),
    VLT_DOU(BASIS_REL_TOL_S, 1e-12, 0.0, kInf, "Relative dual feasibility tolerance of basic solutions" NO_EFFECT("basic solutions are checked with the simplex tolerances")),
    VLT_DOU(BASIS_TOL_S, 1e-6, 1e-9, kInf, "Absolute dual feasibility tolerance of basic solutions" NO_EFFECT("basic solutions are checked with the simplex tolerances")),
    VLT_DOU(BASIS_TOL_X, 1e-6, 1e-9, kInf, "Absolute primal feasibility tolerance of basic solutions" NO_EFFECT("basic solutions are checked with the simplex tolerances")),
    VLT_DOU(CHECK_CONVEXITY_REL_TOL, 1e-5, 0.0, kInf, "Relative tolerance of the convexity check of quadratic terms"),
    VLT_DOU(DATA_SYM_MAT_TOL, 1e-12, 1e-16, 1e-6, "Symmetric matrix entries below this magnitude are dropped" NO_EFFECT("symmetric matrix entries are kept as given")),
    VLT_DOU(DATA_SYM_MAT_TOL_HUGE, 1e20, 0.0, kInf, "Symmetric matrix entries above this magnitude are an error" NO_EFFECT("symmetric matrix entries are not checked for size")),
    VLT_DOU(DATA_SYM_MAT_TOL_LARGE, 1e10, 0.0, kInf, "Symmetric matrix entries above this magnitude give a warning" NO_EFFECT("symmetric matrix entries are not checked for size")),
    VLT_DOU(DATA_TOL_AIJ_HUGE, 1e20, 0.0, kInf, "Constraint matrix entries above this magnitude are an error"),
    VLT_DOU(DATA_TOL_AIJ_LARGE, 1e10, 0.0, kInf, "Constraint matrix entries above this magnitude give a warning"),
    VLT_DOU(DATA_TOL_BOUND_INF, 1e16, 0.0, kInf, "Bounds of this magnitude or more are taken as infinite"),
    VLT_DOU(DATA_TOL_BOUND_WRN, 1e8, 0.0, kInf, "Bounds above this magnitude give a warning"),
    VLT_DOU(DATA_TOL_CJ_LARGE, 1e8, 0.0, kInf, "Objective coefficients above this magnitude give a warning"),
    VLT_DOU(DATA_TOL_C_HUGE, 1e16, 0.0, kInf, "Objective coefficients above this magnitude are an error"),
    VLT_DOU(DATA_TOL_QIJ, 1e-16, 0.0, kInf, "Quadratic entries below this magnitude are dropped"),
    VLT_DOU(DATA_TOL_X, 1e-8, 0.0, kInf, "Variables whose bounds are this close are taken as fixed"),
    VLT_DOU(FEASREPAIR_TOL, 1e-10, 1e-16, 1e16, "Tolerance of the feasibility repair on the size of the violations"),
    VLT_DOU(INTPNT_CO_TOL_DFEAS, 1e-8, 0.0, 1.0, "Dual feasibility tolerance of the conic interior-point optimizer"),
    VLT_DOU(INTPNT_CO_TOL_INFEAS, 1e-12, 0.0, 1.0, "Infeasibility certificate tolerance of the conic interior-point optimizer"),
    VLT_DOU(INTPNT_CO_TOL_MU_RED, 1e-8, 0.0, 1.0, "Complementarity reduction tolerance of the conic interior-point optimizer" NO_EFFECT("the interior-point optimizer stops on feasibility and gap, not on the reduction of complementarity")),
    VLT_DOU(INTPNT_CO_TOL_NEAR_REL, 1000.0, 1.0, kInf, "Factor by which the conic tolerances are relaxed to accept a near-optimal solution"),
    VLT_DOU(INTPNT_CO_TOL_PFEAS, 1e-8, 0.0, 1.0, "Primal feasibility tolerance of the conic interior-point optimizer"),
    VLT_DOU(INTPNT_CO_TOL_REL_GAP, 1e-8, 0.0, 1.0, "Relative gap tolerance of the conic interior-point optimizer"),
    VLT_DOU(INTPNT_QO_TOL_DFEAS, 1e-8, 0.0, 1.0, "Dual feasibility tolerance of the interior-point optimizer on quadratic problems"),
    VLT_DOU(INTPNT_QO_TOL_INFEAS, 1e-12, 0.0, 1.0, "Infeasibility certificate tolerance of the interior-point optimizer on quadratic problems"),
    VLT_DOU(INTPNT_QO_TOL_MU_RED, 1e-8, 0.0, 1.0, "Complementarity reduction tolerance of the interior-point optimizer on quadratic problems" NO_EFFECT("the interior-point optimizer stops on feasibility and gap, not on the reduction of complementarity")),
    VLT_DOU(INTPNT_QO_TOL_NEAR_REL, 1000.0, 1.0, kInf, "Factor by which the quadratic tolerances are relaxed to accept a near-optimal solution"),
    VLT_DOU(INTPNT_QO_TOL_PFEAS, 1e-8, 0.0, 1.0, "Primal feasibility tolerance of the interior-point optimizer on quadratic problems"),
    VLT_DOU(INTPNT_QO_TOL_REL_GAP, 1e-8, 0.0, 1.0, "Relative gap tolerance of the interior-point optimizer on quadratic problems"),
    VLT_DOU(INTPNT_TOL_DFEAS, 1e-8, 0.0, 1.0, "Dual feasibility tolerance of the interior-point optimizer on linear problems"),
    VLT_DOU(INTPNT_TOL_DSAFE, 1.0, 1e-4, kInf, "Scale of the initial dual point of the interior-point optimizer" NO_EFFECT("the interior-point optimizers choose the scale of their starting point")),
    VLT_DOU(INTPNT_TOL_INFEAS, 1e-10, 0.0, 1.0, "Infeasibility certificate tolerance of the relaxations in the branch and bound over cones (the looser of it and the conic one)"),
    VLT_DOU(INTPNT_TOL_MU_RED, 1e-16, 0.0, 1.0, "Complementarity reduction tolerance of the interior-point optimizer on linear problems" NO_EFFECT("the interior-point optimizers stop on feasibility and gap, not on the reduction of complementarity")),
    VLT_DOU(INTPNT_TOL_PATH, 1e-8, 0.0, 0.9999, "How closely the interior-point iterates follow the central path" NO_EFFECT("the interior-point optimizers keep to the central path by their own rule")),
    VLT_DOU(INTPNT_TOL_PFEAS, 1e-8, 0.0, 1.0, "Primal feasibility tolerance of the interior-point optimizer on linear problems"),
    VLT_DOU(INTPNT_TOL_PSAFE, 1.0, 1e-4, kInf, "Scale of the initial primal point of the interior-point optimizer" NO_EFFECT("the interior-point optimizers choose the scale of their starting point")),
    VLT_DOU(INTPNT_TOL_REL_GAP, 1e-8, 1e-14, kInf, "Relative gap tolerance of the interior-point optimizer on linear problems"),
    VLT_DOU(INTPNT_TOL_REL_STEP, 0.9999, 1e-4, 0.999999, "Fraction of the step to the boundary taken by the interior-point optimizer on conic and quadratic problems (at most 0.99)"),
    VLT_DOU(INTPNT_TOL_STEP_SIZE, 1e-6, 0.0, 1.0, "Step size below which the interior-point optimizer reports a stall" NO_EFFECT("the interior-point optimizers detect a stall by their own rule")),
    VLT_DOU(LOWER_OBJ_CUT, -1e30, -kInf, kInf, "Integer solutions of a maximization below this objective value are cut off"),
    VLT_DOU(LOWER_OBJ_CUT_FINITE_TRH, -5e29, -kInf, kInf, "Lower objective cuts at or below this value are taken as absent"),
    VLT_DOU(MIO_DJC_MAX_BIGM, 1e6, 0.0, kInf, "Largest big-M used when disjunctive constraints are reformulated"),
    VLT_DOU(MIO_MAX_TIME, -1.0, -kInf, kInf, "Time limit of the mixed-integer optimizer in seconds; negative means no limit"),
    VLT_DOU(MIO_REL_GAP_CONST, 1e-10, 1e-15, kInf, "Constant added to the denominator of the relative gap of the branch and bound over cones and quadratic terms"),
    VLT_DOU(MIO_TOL_ABS_GAP, 0.0, 0.0, kInf, "Absolute optimality gap at which branch and bound stops"),
    VLT_DOU(MIO_TOL_ABS_RELAX_INT, 1e-5, 1e-9, kInf, "Distance to an integer below which a value counts as integral"),
    VLT_DOU(MIO_TOL_FEAS, 1e-6, 1e-9, 1e-3, "Feasibility tolerance of disjunctions and cones at the integer points of the branch and bound over cones"),
    VLT_DOU(MIO_TOL_REL_DUAL_BOUND_IMPROVEMENT, 0.0, 0.0, 1.0, "Relative bound improvement below which cut rounds at the root stop" NO_EFFECT("cut rounds at the root follow the engine's own rule")),
    VLT_DOU(MIO_TOL_REL_GAP, 1e-4, 0.0, kInf, "Relative optimality gap at which branch and bound stops"),
    VLT_DOU(OPTIMIZER_MAX_TIME, -1.0, -kInf, kInf, "Time limit of the optimizer in seconds; negative means no limit"),
    VLT_DOU(PRESOLVE_TOL_ABS_LINDEP, 1e-6, 0.0, kInf, "Absolute tolerance of the linear dependency check" NO_EFFECT("linear dependencies are handled by presolve's own rule")),
    VLT_DOU(PRESOLVE_TOL_AIJ, 1e-12, 1e-15, kInf, "Matrix entries of linear problems up to this magnitude (and always those up to 1e-9) are taken as zero by the simplex and mixed-integer optimizers"),
    VLT_DOU(PRESOLVE_TOL_PRIMAL_INFEAS_PERTURBATION, 1e-6, 0.0, kInf, "Largest bound perturbation presolve may use to repair a slight infeasibility" NO_EFFECT("presolve does not perturb bounds")),
    VLT_DOU(PRESOLVE_TOL_REL_LINDEP, 1e-10, 0.0, kInf, "Relative tolerance of the linear dependency check" NO_EFFECT("linear dependencies are handled by presolve's own rule")),
    VLT_DOU(PRESOLVE_TOL_S, 1e-8, 0.0, kInf, "Dual feasibility tolerance of presolve" NO_EFFECT("presolve uses the tolerances of the optimizer that runs it")),
    VLT_DOU(PRESOLVE_TOL_X, 1e-8, 0.0, kInf, "Primal feasibility tolerance of presolve" NO_EFFECT("presolve uses the tolerances of the optimizer that runs it")),
    VLT_DOU(QCQO_REFORMULATE_REL_DROP_TOL, 1e-15, 0.0, kInf, "Relative drop tolerance when quadratic terms are reformulated as cones" NO_EFFECT("quadratic terms are reformulated as cones without dropping entries")),
    VLT_DOU(REMOTE_TIMEOUT, 60.0, -kInf, kInf, "Seconds to wait for an optimization server to answer; negative means no limit"),
    VLT_DOU(SEMIDEFINITE_TOL_APPROX, 1e-10, 1e-15, kInf, "Tolerance of the positive semidefiniteness check" NO_EFFECT("semidefinite matrices are checked by the factorization of the cone")),
    VLT_DOU(SIMPLEX_ABS_TOL_PIV, 1e-7, 1e-12, kInf, "Smallest absolute pivot accepted by the simplex optimizers" NO_EFFECT("the simplex optimizers accept pivots by their own rule (see SIM_LU_TOL_REL_PIV for the factorization)")),
    VLT_DOU(SIM_LU_TOL_REL_PIV, 0.01, 1e-6, 0.999999, "Relative pivot tolerance of the basis LU factorization" NO_EFFECT("the basis factorization chooses its pivots by its own rule")),
    VLT_DOU(SIM_TOL_DFEAS, 1e-7, 1e-12, 1e-3, "Dual feasibility tolerance of the simplex optimizers"),
    VLT_DOU(SIM_TOL_PFEAS, 1e-7, 1e-12, 1e-3, "Primal feasibility tolerance of the simplex optimizers"),
    VLT_DOU(UPPER_OBJ_CUT, 1e30, -kInf, kInf, "Integer solutions of a minimization above this objective value are cut off"),
    VLT_DOU(UPPER_OBJ_CUT_FINITE_TRH, 5e29, -kInf, kInf, "Upper objective cuts at or above this value are taken as absent"),
};

#undef VLT_DOU

// ------------------------------------------------------------ string parameters

#define VLT_STR(name, def, desc) {VLT_SPAR_##name, "VLT_SPAR_" #name, def, desc}

constexpr StrParamDef kStrParams[] = {
    VLT_STR(BAS_SOL_FILE_NAME, "", "File of the basic solution" NO_EFFECT("every solution file call names its file")),
    VLT_STR(DATA_FILE_NAME, "", "Problem file read or written when no file name is given" NO_EFFECT("every data file call names its file")),
    VLT_STR(DEBUG_FILE_NAME, "", "File receiving debugging output" NO_EFFECT("the library writes no debugging output")),
    VLT_STR(INT_SOL_FILE_NAME, "", "File of the integer solution" NO_EFFECT("every solution file call names its file")),
    VLT_STR(ITR_SOL_FILE_NAME, "", "File of the interior-point solution" NO_EFFECT("every solution file call names its file")),
    VLT_STR(LOG_FILE_NAME, "", "File that receives a copy of the log stream (appended to)"),
    VLT_STR(MIO_DEBUG_STRING, "", "Debugging switches of the mixed-integer optimizer" NO_EFFECT("the mixed-integer optimizers have no debugging switches")),
    VLT_STR(PARAM_READ_FILE_NAME, "", "Parameter file read when no file name is given" NO_EFFECT("every parameter file call names its file")),
    VLT_STR(PARAM_WRITE_FILE_NAME, "", "Parameter file written when no file name is given" NO_EFFECT("every parameter file call names its file")),
    VLT_STR(READ_MPS_BOU_NAME, "", "Name of the BOUNDS vector read from MPS files; empty takes the first" NO_EFFECT("MPS files are read with their first BOUNDS vector")),
    VLT_STR(READ_MPS_OBJ_NAME, "", "Name of the objective row read from MPS files; empty takes the first free row" NO_EFFECT("MPS files are read with their first free row as the objective")),
    VLT_STR(READ_MPS_RAN_NAME, "", "Name of the RANGES vector read from MPS files; empty takes the first" NO_EFFECT("MPS files are read with their first RANGES vector")),
    VLT_STR(READ_MPS_RHS_NAME, "", "Name of the RHS vector read from MPS files; empty takes the first" NO_EFFECT("MPS files are read with their first RHS vector")),
    VLT_STR(REMOTE_OPTSERVER_HOST, "", "Address of the optimization server used by optimize"),
    VLT_STR(REMOTE_TLS_CERT, "", "Trusted certificates (PEM text) for connections to an optimization server" NO_EFFECT("trusted certificates are given as a directory (REMOTE_TLS_CERT_PATH)")),
    VLT_STR(REMOTE_TLS_CERT_PATH, "", "Directory of trusted certificates for connections to an optimization server"),
    VLT_STR(SENSITIVITY_FILE_NAME, "", "File describing which items sensitivity analysis covers" NO_EFFECT("sensitivity analysis covers the items the call names")),
    VLT_STR(SENSITIVITY_RES_FILE_NAME, "", "File receiving the results of sensitivity analysis" NO_EFFECT("sensitivity results are returned by the calls, not written to a file")),
    VLT_STR(SOL_FILTER_XC_LOW, "", "Solution reports list only constraints whose activity is above this value" NO_EFFECT("solution reports list every constraint")),
    VLT_STR(SOL_FILTER_XC_UPR, "", "Solution reports list only constraints whose activity is below this value" NO_EFFECT("solution reports list every constraint")),
    VLT_STR(SOL_FILTER_XX_LOW, "", "Solution reports list only variables whose value is above this value" NO_EFFECT("solution reports list every variable")),
    VLT_STR(SOL_FILTER_XX_UPR, "", "Solution reports list only variables whose value is below this value" NO_EFFECT("solution reports list every variable")),
    VLT_STR(STAT_FILE_NAME, "", "File receiving optimizer statistics" NO_EFFECT("the library writes no statistics file")),
    VLT_STR(STAT_KEY, "", "Key identifying the run in the statistics file" NO_EFFECT("the library writes no statistics file")),
    VLT_STR(STAT_NAME, "", "Name identifying the problem in the statistics file" NO_EFFECT("the library writes no statistics file")),
    VLT_STR(WRITE_LP_GEN_VAR_NAME, "x", "Prefix of generic variable names in LP files; one that cannot start an LP name gives x"),
};

#undef VLT_STR
#undef NO_EFFECT

template <typename Row, size_t N>
constexpr bool rows_in_code_order(const Row (&rows)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (rows[i].code != static_cast<int32_t>(i)) return false;
    return true;
}

static_assert(std::size(kIntParams) == VLT_NUM_IPARAMS && rows_in_code_order(kIntParams));
static_assert(std::size(kDouParams) == VLT_NUM_DPARAMS && rows_in_code_order(kDouParams));
static_assert(std::size(kStrParams) == VLT_NUM_SPARAMS && rows_in_code_order(kStrParams));

}  // namespace

std::span<const IntParamDef> int_params() { return kIntParams; }
std::span<const DouParamDef> dou_params() { return kDouParams; }
std::span<const StrParamDef> str_params() { return kStrParams; }

}  // namespace vlt::params
