/*
 * velto.h -- the C interface of the velto optimizer library.
 *
 * Every entry point returns a response code (VLT_RES_OK on success).  Handles
 * are opaque; a null environment handle stands for the library's global
 * environment.  Arrays passed in are read, and outputs written, only during
 * the call.
 *
 * Layout rules that tools rely on (tools/gen_api.py for the entry points, tools/gen_constants.py for the Python enumerations):
 *  - every function is declared on one line, starting with VLTEXPORT;
 *  - every enumeration is a named `enum VLT<name>_enum { ... };` whose
 *    opening line carries a comment with its Python class name.
 */
#ifndef VELTO_H
#define VELTO_H

#include <stddef.h>
#include <stdint.h>

/* The version of the library: the one place it is written (CMake, the
   Python package and its metadata read it from here). */
#define VLT_VERSION_MAJOR 10
#define VLT_VERSION_MINOR 2
#define VLT_VERSION_REVISION 1

#if defined(_WIN32)
#define VLTAPI __stdcall
#if defined(VLT_BUILDING_LIBRARY)
#define VLTEXPORT __declspec(dllexport)
#else
#define VLTEXPORT __declspec(dllimport)
#endif
#else
#define VLTAPI
#define VLTEXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------ types */

typedef struct vlt_env_s *VLTenv_t;
typedef struct vlt_task_s *VLTtask_t;
typedef int32_t VLTrescodee;

/* Message hook: receives its handle and one NUL-terminated message. */
typedef void(VLTAPI *VLTstreamfunc)(void *handle, const char *message);

/* Progress hook: caller code and the current information items (111 double,
 * 117 int32, 21 int64; each may be null).  A non-zero result stops the
 * optimizer. */
typedef int32_t(VLTAPI *VLTcallbackfunc)(VLTtask_t task, void *handle, int32_t caller, const double *douinf,
                                         const int32_t *intinf, const int64_t *lintinf);

/* Data writer: receives one chunk of output; returns the number of bytes taken. */
typedef size_t(VLTAPI *VLThwritefunc)(void *handle, const void *src, size_t count);

#define VLT_NUM_DOUINF 111
#define VLT_NUM_IINF 117
#define VLT_NUM_LIINF 21
#define VLT_MAX_STR_LEN 1024
#define VLT_TOKEN_LEN 64

/* ------------------------------------------------------------- constants */

enum VLTrescode_enum { /* ResponseCode */
  VLT_RES_OK = 0,

  /* warnings: the call did its work, with a remark */
  VLT_RES_WRN_OPEN_PARAM_FILE = 50,
  VLT_RES_WRN_LARGE_BOUND = 57,
  VLT_RES_WRN_LARGE_AIJ = 62,
  VLT_RES_WRN_ZERO_AIJ = 63,
  VLT_RES_WRN_NAME_MAX_LEN = 65,
  VLT_RES_WRN_DUPLICATE_INDEX = 70,
  VLT_RES_WRN_SOL_FILTER = 300,

  /* errors about handles, memory and arguments in general */
  VLT_RES_ERR_UNKNOWN = 1000,
  VLT_RES_ERR_NOT_IMPLEMENTED = 1001,
  VLT_RES_ERR_NULL_TASK = 1002,
  VLT_RES_ERR_INVALID_TASK = 1003,
  VLT_RES_ERR_INVALID_ENV = 1004,
  VLT_RES_ERR_NULL_POINTER = 1005,
  VLT_RES_ERR_SPACE = 1006,
  VLT_RES_ERR_INTERNAL = 1007,
  VLT_RES_ERR_INVALID_STREAM = 1008,
  VLT_RES_ERR_ENV_HAS_TASKS = 1009,
  VLT_RES_ERR_BUFFER_TOO_SMALL = 1010,
  VLT_RES_ERR_ARGUMENT = 1011,
  VLT_RES_ERR_NEGATIVE_COUNT = 1012,
  VLT_RES_ERR_CALLBACK_STOP = 1013,
  VLT_RES_ERR_TASK_BUSY = 1014,

  /* errors about indexes and sizes */
  VLT_RES_ERR_INDEX = 1200,
  VLT_RES_ERR_INDEX_CON = 1201,
  VLT_RES_ERR_INDEX_VAR = 1202,
  VLT_RES_ERR_INDEX_CONE = 1203,
  VLT_RES_ERR_INDEX_BARVAR = 1204,
  VLT_RES_ERR_INDEX_AFE = 1205,
  VLT_RES_ERR_INDEX_DOMAIN = 1206,
  VLT_RES_ERR_INDEX_ACC = 1207,
  VLT_RES_ERR_INDEX_DJC = 1208,
  VLT_RES_ERR_INDEX_SYMMAT = 1209,
  VLT_RES_ERR_SLICE = 1210,
  VLT_RES_ERR_DUPLICATE_INDEX = 1211,
  VLT_RES_ERR_INVALID_PTR = 1212,
  VLT_RES_ERR_SIZE_LIMIT = 1213,

  /* errors about values */
  VLT_RES_ERR_INVALID_BOUNDKEY = 1300,
  VLT_RES_ERR_INVALID_BOUND = 1301,
  VLT_RES_ERR_NAN_VALUE = 1302,
  VLT_RES_ERR_INF_VALUE = 1303,
  VLT_RES_ERR_INVALID_VARTYPE = 1304,
  VLT_RES_ERR_INVALID_OBJSENSE = 1305,
  VLT_RES_ERR_INVALID_SOLSEL = 1306,
  VLT_RES_ERR_INVALID_STAKEY = 1307,
  VLT_RES_ERR_INVALID_ENUM = 1308,
  VLT_RES_ERR_INVALID_NAME = 1309,
  VLT_RES_ERR_DUPLICATE_NAME = 1310,
  VLT_RES_ERR_INVALID_CONE = 1311,
  VLT_RES_ERR_INVALID_DOMAIN = 1312,
  VLT_RES_ERR_DIMENSION = 1313,

  /* parameters and information items */
  VLT_RES_ERR_PARAM_NAME = 1400,
  VLT_RES_ERR_PARAM_INDEX = 1401,
  VLT_RES_ERR_PARAM_VALUE = 1402,
  VLT_RES_ERR_PARAM_TYPE = 1403,
  VLT_RES_ERR_INF_INDEX = 1404,
  VLT_RES_ERR_INF_NAME = 1405,

  /* files and formats */
  VLT_RES_ERR_FILE_OPEN = 1500,
  VLT_RES_ERR_FILE_READ = 1501,
  VLT_RES_ERR_FILE_WRITE = 1502,
  VLT_RES_ERR_FILE_FORMAT = 1503,
  VLT_RES_ERR_MPS_FORMAT = 1504,
  VLT_RES_ERR_LP_FORMAT = 1505,
  VLT_RES_ERR_CBF_FORMAT = 1506,
  VLT_RES_ERR_OPF_FORMAT = 1507,
  VLT_RES_ERR_PTF_FORMAT = 1508,
  VLT_RES_ERR_JSON_FORMAT = 1509,
  VLT_RES_ERR_UNKNOWN_FORMAT = 1510,
  VLT_RES_ERR_COMPRESSION = 1511,
  VLT_RES_ERR_WRITE_UNSUPPORTED = 1512,

  /* solutions and optimization */
  VLT_RES_ERR_SOL_UNDEFINED = 1600,
  VLT_RES_ERR_NO_OPTIMIZER = 1601,
  VLT_RES_ERR_OPTIMIZER = 1602,
  VLT_RES_ERR_NONCONVEX = 1603,
  VLT_RES_ERR_PROBLEM_TYPE = 1604,
  VLT_RES_ERR_BASIS = 1605,
  VLT_RES_ERR_BASIS_SINGULAR = 1606,
  VLT_RES_ERR_INFEAS_UNDEFINED = 1607,

  /* linear algebra */
  VLT_RES_ERR_LA_DIMENSION = 1700,
  VLT_RES_ERR_LA_NOT_POSDEF = 1701,
  VLT_RES_ERR_LA_NO_CONVERGENCE = 1702,

  /* remote optimization */
  VLT_RES_ERR_SERVER_CONNECT = 1800,
  VLT_RES_ERR_SERVER_PROTOCOL = 1801,
  VLT_RES_ERR_SERVER_STATUS = 1802,
  VLT_RES_ERR_SERVER_TOKEN = 1803,
  VLT_RES_ERR_SERVER_HOST = 1804,

  /* termination codes reported in trmcode */
  VLT_RES_TRM_MAX_ITERATIONS = 10000,
  VLT_RES_TRM_MAX_TIME = 10001,
  VLT_RES_TRM_OBJECTIVE_RANGE = 10002,
  VLT_RES_TRM_STALL = 10006,
  VLT_RES_TRM_USER_CALLBACK = 10007,
  VLT_RES_TRM_MIO_NUM_RELAXS = 10008,
  VLT_RES_TRM_MIO_NUM_BRANCHES = 10009,
  VLT_RES_TRM_NUM_MAX_NUM_INT_SOLUTIONS = 10015,
  VLT_RES_TRM_MAX_NUM_SETBACKS = 10020,
  VLT_RES_TRM_NUMERICAL_PROBLEM = 10025,
  VLT_RES_TRM_LOST_RACE = 10030,
  VLT_RES_TRM_INTERNAL = 10050,
  VLT_RES_TRM_INTERNAL_STOP = 10051
};

enum VLTstreamtype_enum { /* StreamType */
  VLT_STREAM_LOG = 0,
  VLT_STREAM_MSG = 1,
  VLT_STREAM_ERR = 2,
  VLT_STREAM_WRN = 3
};

enum VLTboundkey_enum { /* BoundKey */
  VLT_BK_LO = 0, /* lower bound only: l <= x */
  VLT_BK_UP = 1, /* upper bound only: x <= u */
  VLT_BK_FX = 2, /* fixed: l = x = u */
  VLT_BK_FR = 3, /* free */
  VLT_BK_RA = 4  /* ranged: l <= x <= u */
};

enum VLTvariabletype_enum { /* VariableType */
  VLT_VAR_TYPE_CONT = 0,
  VLT_VAR_TYPE_INT = 1
};

enum VLTobjsense_enum { /* ObjectiveSense */
  VLT_OBJECTIVE_SENSE_MINIMIZE = 0,
  VLT_OBJECTIVE_SENSE_MAXIMIZE = 1
};

enum VLTsoltype_enum { /* SolutionType */
  VLT_SOL_ITR = 0, /* interior-point solution */
  VLT_SOL_BAS = 1, /* basic solution */
  VLT_SOL_ITG = 2  /* integer solution */
};

enum VLTrescodetype_enum { /* ResponseCodeType */
  VLT_RESPONSE_OK = 0,  /* VLT_RES_OK */
  VLT_RESPONSE_WRN = 1, /* VLT_RES_WRN_* */
  VLT_RESPONSE_TRM = 2, /* VLT_RES_TRM_* */
  VLT_RESPONSE_ERR = 3, /* VLT_RES_ERR_* */
  VLT_RESPONSE_UNK = 4  /* not a code of the library */
};

enum VLTstakey_enum { /* StatusKey */
  VLT_SK_UNK = 0,    /* unknown */
  VLT_SK_BAS = 1,    /* basic */
  VLT_SK_SUPBAS = 2, /* superbasic */
  VLT_SK_LOW = 3,    /* at the lower bound */
  VLT_SK_UPR = 4,    /* at the upper bound */
  VLT_SK_FIX = 5,    /* fixed */
  VLT_SK_INF = 6     /* infinite: the item is infeasible in its bounds */
};

enum VLTsolsta_enum { /* SolutionStatus */
  VLT_SOL_STA_UNKNOWN = 0,
  VLT_SOL_STA_OPTIMAL = 1,
  VLT_SOL_STA_PRIM_FEAS = 2,
  VLT_SOL_STA_DUAL_FEAS = 3,
  VLT_SOL_STA_PRIM_AND_DUAL_FEAS = 4,
  VLT_SOL_STA_PRIM_INFEAS_CER = 5, /* certificate of primal infeasibility */
  VLT_SOL_STA_DUAL_INFEAS_CER = 6, /* certificate of dual infeasibility */
  VLT_SOL_STA_PRIM_ILLPOSED_CER = 7,
  VLT_SOL_STA_DUAL_ILLPOSED_CER = 8,
  VLT_SOL_STA_INTEGER_OPTIMAL = 9
};

enum VLTprosta_enum { /* ProblemStatus */
  VLT_PRO_STA_UNKNOWN = 0,
  VLT_PRO_STA_PRIM_AND_DUAL_FEAS = 1,
  VLT_PRO_STA_PRIM_FEAS = 2,
  VLT_PRO_STA_DUAL_FEAS = 3,
  VLT_PRO_STA_PRIM_INFEAS = 4,
  VLT_PRO_STA_DUAL_INFEAS = 5,
  VLT_PRO_STA_PRIM_AND_DUAL_INFEAS = 6,
  VLT_PRO_STA_ILL_POSED = 7,
  VLT_PRO_STA_PRIM_INFEAS_OR_UNBOUNDED = 8
};

enum VLTproblemtype_enum { /* ProblemType */
  VLT_PROBTYPE_LO = 0,    /* linear */
  VLT_PROBTYPE_QO = 1,    /* quadratic objective */
  VLT_PROBTYPE_QCQO = 2,  /* quadratic objective and constraints */
  VLT_PROBTYPE_CONIC = 3, /* conic */
  VLT_PROBTYPE_MIXED = 4  /* several kinds of constraints at once */
};

enum VLTproblemitem_enum { /* ProblemItem */
  VLT_PI_CON = 0,  /* constraint */
  VLT_PI_VAR = 1,  /* variable */
  VLT_PI_CONE = 2  /* quadratic cone */
};

enum VLTconetype_enum { /* ConeType */
  VLT_CT_QUAD = 0,  /* quadratic cone */
  VLT_CT_RQUAD = 1, /* rotated quadratic cone */
  VLT_CT_PEXP = 2,  /* primal exponential cone */
  VLT_CT_DEXP = 3,  /* dual exponential cone */
  VLT_CT_PPOW = 4,  /* primal power cone; parameter alpha */
  VLT_CT_DPOW = 5,  /* dual power cone; parameter alpha */
  VLT_CT_ZERO = 6   /* zero cone */
};

enum VLTdomaintype_enum { /* DomainType */
  VLT_DOMAIN_R = 0,
  VLT_DOMAIN_RZERO = 1,
  VLT_DOMAIN_RPLUS = 2,
  VLT_DOMAIN_RMINUS = 3,
  VLT_DOMAIN_QUADRATIC_CONE = 4,
  VLT_DOMAIN_RQUADRATIC_CONE = 5,
  VLT_DOMAIN_PRIMAL_EXP_CONE = 6,
  VLT_DOMAIN_DUAL_EXP_CONE = 7,
  VLT_DOMAIN_PRIMAL_POWER_CONE = 8,
  VLT_DOMAIN_DUAL_POWER_CONE = 9,
  VLT_DOMAIN_SVEC_PSD_CONE = 10,
  VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE = 11,
  VLT_DOMAIN_DUAL_GEO_MEAN_CONE = 12
};

enum VLTsymmattype_enum { /* SymmetricMatrixType */
  VLT_SYMMAT_TYPE_SPARSE = 0 /* lower-triangular triplets */
};

enum VLTdataformat_enum { /* DataFormat */
  VLT_DATA_FORMAT_EXTENSION = 0, /* told from the file name's extension */
  VLT_DATA_FORMAT_MPS = 1,
  VLT_DATA_FORMAT_LP = 2,
  VLT_DATA_FORMAT_OPF = 3,
  VLT_DATA_FORMAT_FREE_MPS = 4,
  VLT_DATA_FORMAT_CBF = 5,
  VLT_DATA_FORMAT_PTF = 6,
  VLT_DATA_FORMAT_JSON_TASK = 7,
  VLT_DATA_FORMAT_TASK = 8 /* lossless binary task */
};

enum VLTcompresstype_enum { /* CompressionType */
  VLT_COMPRESS_NONE = 0,
  VLT_COMPRESS_FREE = 1, /* told from the file name's extension */
  VLT_COMPRESS_GZIP = 2,
  VLT_COMPRESS_ZSTD = 3
};

enum VLTmpsformat_enum { /* MpsFormat */
  VLT_MPS_FORMAT_STRICT = 0,
  VLT_MPS_FORMAT_RELAXED = 1,
  VLT_MPS_FORMAT_FREE = 2
};

enum VLTsolformat_enum { /* SolutionFormat */
  VLT_SOL_FORMAT_EXTENSION = 0, /* told from the file name's extension */
  VLT_SOL_FORMAT_B = 1,         /* plain text solution file */
  VLT_SOL_FORMAT_TASK = 2,      /* inside a binary task file */
  VLT_SOL_FORMAT_JSON_TASK = 3  /* inside a JSON task file */
};

enum VLTsolitem_enum { /* SolutionItem */
  VLT_SOL_ITEM_XC = 0,  /* constraint activities */
  VLT_SOL_ITEM_XX = 1,  /* variable activities */
  VLT_SOL_ITEM_Y = 2,   /* constraint duals */
  VLT_SOL_ITEM_SLC = 3, /* duals of constraint lower bounds */
  VLT_SOL_ITEM_SUC = 4, /* duals of constraint upper bounds */
  VLT_SOL_ITEM_SLX = 5, /* duals of variable lower bounds */
  VLT_SOL_ITEM_SUX = 6, /* duals of variable upper bounds */
  VLT_SOL_ITEM_SNX = 7  /* duals of cone memberships */
};

enum VLTsolveform_enum { /* SolveForm */
  VLT_SOLVE_FREE = 0,   /* the optimizer chooses */
  VLT_SOLVE_PRIMAL = 1, /* solve the problem as given */
  VLT_SOLVE_DUAL = 2    /* solve its dual */
};

enum VLTsensitivitytype_enum { /* SensitivityType */
  VLT_SENSITIVITY_TYPE_BASIS = 0,
  VLT_SENSITIVITY_TYPE_OPTIMAL_PARTITION = 1
};

enum VLTmark_enum { /* Mark */
  VLT_MARK_LO = 0, /* the lower bound of the item */
  VLT_MARK_UP = 1  /* the upper bound of the item */
};

enum VLToptimizertype_enum { /* OptimizerType */
  VLT_OPTIMIZER_FREE = 0,
  VLT_OPTIMIZER_INTPNT = 1,
  VLT_OPTIMIZER_CONIC = 2,
  VLT_OPTIMIZER_PRIMAL_SIMPLEX = 3,
  VLT_OPTIMIZER_DUAL_SIMPLEX = 4,
  VLT_OPTIMIZER_FREE_SIMPLEX = 5,
  VLT_OPTIMIZER_MIXED_INT = 6
};

enum VLTcallbackcode_enum { /* CallbackCode */
  VLT_CALLBACK_BEGIN_OPTIMIZER = 0,
  VLT_CALLBACK_END_OPTIMIZER = 1,
  VLT_CALLBACK_BEGIN_PRESOLVE = 2,
  VLT_CALLBACK_UPDATE_PRESOLVE = 3,
  VLT_CALLBACK_END_PRESOLVE = 4,
  VLT_CALLBACK_BEGIN_TO_CONIC = 5,
  VLT_CALLBACK_END_TO_CONIC = 6,
  VLT_CALLBACK_BEGIN_QCQO_REFORMULATE = 7,
  VLT_CALLBACK_END_QCQO_REFORMULATE = 8,
  VLT_CALLBACK_BEGIN_INTPNT = 9,
  VLT_CALLBACK_INTPNT = 10, /* one interior-point iteration */
  VLT_CALLBACK_END_INTPNT = 11,
  VLT_CALLBACK_BEGIN_CONIC = 12,
  VLT_CALLBACK_CONIC = 13, /* one conic interior-point iteration */
  VLT_CALLBACK_END_CONIC = 14,
  VLT_CALLBACK_BEGIN_SIMPLEX = 15,
  VLT_CALLBACK_END_SIMPLEX = 16,
  VLT_CALLBACK_BEGIN_PRIMAL_SIMPLEX = 17,
  VLT_CALLBACK_PRIMAL_SIMPLEX = 18, /* one primal simplex iteration */
  VLT_CALLBACK_END_PRIMAL_SIMPLEX = 19,
  VLT_CALLBACK_BEGIN_DUAL_SIMPLEX = 20,
  VLT_CALLBACK_DUAL_SIMPLEX = 21, /* one dual simplex iteration */
  VLT_CALLBACK_END_DUAL_SIMPLEX = 22,
  VLT_CALLBACK_BEGIN_BI = 23, /* basis identification */
  VLT_CALLBACK_END_BI = 24,
  VLT_CALLBACK_BEGIN_PRIMAL_BI = 25,
  VLT_CALLBACK_UPDATE_PRIMAL_BI = 26,
  VLT_CALLBACK_END_PRIMAL_BI = 27,
  VLT_CALLBACK_BEGIN_DUAL_BI = 28,
  VLT_CALLBACK_UPDATE_DUAL_BI = 29,
  VLT_CALLBACK_END_DUAL_BI = 30,
  VLT_CALLBACK_BEGIN_SIMPLEX_BI = 31, /* clean-up simplex after basis identification */
  VLT_CALLBACK_UPDATE_SIMPLEX_BI = 32,
  VLT_CALLBACK_END_SIMPLEX_BI = 33,
  VLT_CALLBACK_BEGIN_MIO = 34,
  VLT_CALLBACK_MIO_NODE = 35, /* one branch-and-bound node solved */
  VLT_CALLBACK_NEW_INT_MIO = 36, /* a new integer solution was found */
  VLT_CALLBACK_END_MIO = 37,
  VLT_CALLBACK_BEGIN_SOLVE_ROOT_RELAX = 38,
  VLT_CALLBACK_END_SOLVE_ROOT_RELAX = 39,
  VLT_CALLBACK_BEGIN_ROOT_CUTGEN = 40,
  VLT_CALLBACK_UPDATE_ROOT_CUTGEN = 41,
  VLT_CALLBACK_END_ROOT_CUTGEN = 42,
  VLT_CALLBACK_BEGIN_PRIMAL_SENSITIVITY = 43,
  VLT_CALLBACK_END_PRIMAL_SENSITIVITY = 44,
  VLT_CALLBACK_BEGIN_DUAL_SENSITIVITY = 45,
  VLT_CALLBACK_END_DUAL_SENSITIVITY = 46,
  VLT_CALLBACK_BEGIN_PRIMAL_REPAIR = 47,
  VLT_CALLBACK_END_PRIMAL_REPAIR = 48,
  VLT_CALLBACK_BEGIN_INFEAS_ANA = 49, /* infeasibility analysis */
  VLT_CALLBACK_END_INFEAS_ANA = 50,
  VLT_CALLBACK_BEGIN_READ = 51,
  VLT_CALLBACK_UPDATE_READ = 52,
  VLT_CALLBACK_END_READ = 53,
  VLT_CALLBACK_BEGIN_WRITE = 54,
  VLT_CALLBACK_UPDATE_WRITE = 55,
  VLT_CALLBACK_END_WRITE = 56,
  VLT_CALLBACK_BEGIN_REMOTE = 57, /* optimization on a remote server */
  VLT_CALLBACK_SOLVING_REMOTE = 58,
  VLT_CALLBACK_END_REMOTE = 59,
  VLT_CALLBACK_BEGIN_BATCH = 60,
  VLT_CALLBACK_END_BATCH = 61
};

enum VLTnametype_enum { /* NameType */
  VLT_NAME_TYPE_GEN = 0, /* any text */
  VLT_NAME_TYPE_MPS = 1, /* valid in MPS files */
  VLT_NAME_TYPE_LP = 2   /* valid in LP files */
};

enum VLTparametertype_enum { /* ParameterType */
  VLT_PAR_TYPE_INT = 0, /* integer parameter */
  VLT_PAR_TYPE_DOU = 1, /* double parameter */
  VLT_PAR_TYPE_STR = 2  /* text parameter */
};

enum VLTonoffkey_enum { /* OnOff */
  VLT_ONOFF_OFF = 0,
  VLT_ONOFF_ON = 1
};

enum VLTpresolvemode_enum { /* PresolveMode */
  VLT_PRESOLVE_MODE_OFF = 0,
  VLT_PRESOLVE_MODE_ON = 1,
  VLT_PRESOLVE_MODE_FREE = 2 /* the optimizer decides */
};

enum VLTscalingtype_enum { /* ScalingType */
  VLT_SCALING_FREE = 0,
  VLT_SCALING_NONE = 1
};

enum VLTscalingmethod_enum { /* ScalingMethod */
  VLT_SCALING_METHOD_POW2 = 0, /* powers of two only */
  VLT_SCALING_METHOD_FREE = 1
};

enum VLTcheckconvexitytype_enum { /* CheckConvexityType */
  VLT_CHECK_CONVEXITY_NONE = 0,
  VLT_CHECK_CONVEXITY_SIMPLE = 1,
  VLT_CHECK_CONVEXITY_FULL = 2
};

enum VLTbasindtype_enum { /* BasisIndicator */
  VLT_BI_NEVER = 0,
  VLT_BI_ALWAYS = 1,
  VLT_BI_NO_ERROR = 2,    /* when the interior-point run ended without error */
  VLT_BI_IF_FEASIBLE = 3  /* when the problem is neither primal nor dual infeasible */
};

enum VLTstartpointtype_enum { /* StartPointType */
  VLT_STARTING_POINT_FREE = 0,
  VLT_STARTING_POINT_GUESS = 1,
  VLT_STARTING_POINT_CONSTANT = 2
};

enum VLTintpnthotstart_enum { /* IntpntHotstart */
  VLT_INTPNT_HOTSTART_NONE = 0,
  VLT_INTPNT_HOTSTART_PRIMAL = 1,
  VLT_INTPNT_HOTSTART_DUAL = 2,
  VLT_INTPNT_HOTSTART_PRIMAL_DUAL = 3
};

enum VLTsimhotstart_enum { /* SimplexHotstart */
  VLT_SIM_HOTSTART_NONE = 0,
  VLT_SIM_HOTSTART_FREE = 1,
  VLT_SIM_HOTSTART_STATUS_KEYS = 2
};

enum VLTsimseltype_enum { /* SimplexSelectionType */
  VLT_SIM_SELECTION_FREE = 0,
  VLT_SIM_SELECTION_FULL = 1,
  VLT_SIM_SELECTION_ASE = 2, /* approximate steepest edge */
  VLT_SIM_SELECTION_DEVEX = 3,
  VLT_SIM_SELECTION_SE = 4, /* steepest edge */
  VLT_SIM_SELECTION_PARTIAL = 5
};

enum VLTsimdegen_enum { /* SimplexDegeneracy */
  VLT_SIM_DEGEN_NONE = 0,
  VLT_SIM_DEGEN_FREE = 1,
  VLT_SIM_DEGEN_AGGRESSIVE = 2,
  VLT_SIM_DEGEN_MODERATE = 3,
  VLT_SIM_DEGEN_MINIMUM = 4
};

enum VLTsimreform_enum { /* SimplexReformulation */
  VLT_SIM_REFORMULATION_OFF = 0,
  VLT_SIM_REFORMULATION_ON = 1,
  VLT_SIM_REFORMULATION_FREE = 2,
  VLT_SIM_REFORMULATION_AGGRESSIVE = 3
};

enum VLTorderingtype_enum { /* OrderingType */
  VLT_ORDER_METHOD_FREE = 0,
  VLT_ORDER_METHOD_APPMINLOC = 1, /* approximate minimum local fill-in */
  VLT_ORDER_METHOD_GRAPHPAR = 2,  /* graph partitioning */
  VLT_ORDER_METHOD_NONE = 3
};

enum VLTpurify_enum { /* PurifyMode */
  VLT_PURIFY_NONE = 0,
  VLT_PURIFY_PRIMAL = 1,
  VLT_PURIFY_DUAL = 2,
  VLT_PURIFY_PRIMAL_DUAL = 3,
  VLT_PURIFY_AUTO = 4
};

enum VLTfeasrepairtype_enum { /* FeasRepairType */
  VLT_FEASREPAIR_OPTIMIZE_NONE = 0,     /* minimize the weighted violation only */
  VLT_FEASREPAIR_OPTIMIZE_PENALTY = 1,  /* ... and report the repaired problem */
  VLT_FEASREPAIR_OPTIMIZE_COMBINED = 2  /* ... then optimize the objective under the minimal violation */
};

enum VLTmiomode_enum { /* MioMode */
  VLT_MIO_MODE_IGNORED = 0,  /* integrality is ignored */
  VLT_MIO_MODE_SATISFIED = 1 /* integrality is enforced */
};

enum VLTmionodeseltype_enum { /* MioNodeSelectionType */
  VLT_MIO_NODE_SELECTION_FREE = 0,
  VLT_MIO_NODE_SELECTION_FIRST = 1, /* depth first */
  VLT_MIO_NODE_SELECTION_BEST = 2,  /* best bound */
  VLT_MIO_NODE_SELECTION_PSEUDO = 3 /* best estimate */
};

enum VLTmiocontsoltype_enum { /* MioContinuousSolutionType */
  VLT_MIO_CONT_SOL_NONE = 0,
  VLT_MIO_CONT_SOL_ROOT = 1,   /* the root relaxation */
  VLT_MIO_CONT_SOL_ITG = 2,    /* integers fixed at the integer solution */
  VLT_MIO_CONT_SOL_ITG_REL = 3 /* likewise when feasible, else the root relaxation */
};

enum VLTbranchdir_enum { /* BranchDirection */
  VLT_BRANCH_DIR_FREE = 0,
  VLT_BRANCH_DIR_UP = 1,
  VLT_BRANCH_DIR_DOWN = 2,
  VLT_BRANCH_DIR_NEAR = 3,
  VLT_BRANCH_DIR_FAR = 4,
  VLT_BRANCH_DIR_ROOT_LP = 5,
  VLT_BRANCH_DIR_PSEUDOCOST = 6
};

enum VLTtranspose_enum { /* Transpose */
  VLT_TRANSPOSE_NO = 0,
  VLT_TRANSPOSE_YES = 1
};

enum VLTuplo_enum { /* Uplo */
  VLT_UPLO_LO = 0, /* lower triangle */
  VLT_UPLO_UP = 1  /* upper triangle */
};

/* Parameter and information-item codes. */
#include "velto_params.h"

/* VLT_FUNCTIONS_BEGIN: function declarations follow, one per line. */

/* Environment: creation, deletion, streams and library-wide services */
VLTEXPORT VLTrescodee VLTAPI VLT_makeenv(VLTenv_t *env, const char *dbgfile);
VLTEXPORT VLTrescodee VLTAPI VLT_deleteenv(VLTenv_t *env);
VLTEXPORT VLTrescodee VLTAPI VLT_enablegarcolenv(VLTenv_t env);
VLTEXPORT VLTrescodee VLTAPI VLT_freeenv(VLTenv_t env, void *buffer);
VLTEXPORT VLTrescodee VLTAPI VLT_linkfunctoenvstream(VLTenv_t env, int32_t whichstream, void *handle, VLTstreamfunc func);
VLTEXPORT VLTrescodee VLTAPI VLT_linkfiletoenvstream(VLTenv_t env, int32_t whichstream, const char *filename, int32_t append);
VLTEXPORT VLTrescodee VLTAPI VLT_echointro(VLTenv_t env, int32_t longver);
VLTEXPORT VLTrescodee VLTAPI VLT_getversion(int32_t *major, int32_t *minor, int32_t *revision);
VLTEXPORT VLTrescodee VLTAPI VLT_getcodedesc(int32_t code, char *symname, char *str);

/* Batch optimization */
VLTEXPORT VLTrescodee VLTAPI VLT_optimizebatch(VLTenv_t env, int32_t israce, double maxtime, int32_t numthreads, int64_t numtask, const VLTtask_t *task, int32_t *trmcode, int32_t *rcode);

/* Dense and sparse linear algebra */
VLTEXPORT VLTrescodee VLTAPI VLT_axpy(VLTenv_t env, int32_t n, double alpha, const double *x, double *y);
VLTEXPORT VLTrescodee VLTAPI VLT_dot(VLTenv_t env, int32_t n, const double *x, const double *y, double *xty);
VLTEXPORT VLTrescodee VLTAPI VLT_gemv(VLTenv_t env, int32_t transa, int32_t m, int32_t n, double alpha, const double *a, const double *x, double beta, double *y);
VLTEXPORT VLTrescodee VLTAPI VLT_gemm(VLTenv_t env, int32_t transa, int32_t transb, int32_t m, int32_t n, int32_t k, double alpha, const double *a, const double *b, double beta, double *c);
VLTEXPORT VLTrescodee VLTAPI VLT_syrk(VLTenv_t env, int32_t uplo, int32_t trans, int32_t n, int32_t k, double alpha, const double *a, double beta, double *c);
VLTEXPORT VLTrescodee VLTAPI VLT_potrf(VLTenv_t env, int32_t uplo, int32_t n, double *a);
VLTEXPORT VLTrescodee VLTAPI VLT_syeig(VLTenv_t env, int32_t uplo, int32_t n, const double *a, double *w);
VLTEXPORT VLTrescodee VLTAPI VLT_syevd(VLTenv_t env, int32_t uplo, int32_t n, double *a, double *w);
VLTEXPORT VLTrescodee VLTAPI VLT_computesparsecholesky(VLTenv_t env, int32_t numthreads, int32_t ordermethod, double tolsingular, int32_t n, const int32_t *anzc, const int64_t *aptrc, const int32_t *asubc, const double *avalc, int32_t **perm, double **diag, int32_t **lnzc, int64_t **lptrc, int64_t *lensubnval, int32_t **lsubc, double **lvalc);
VLTEXPORT VLTrescodee VLTAPI VLT_sparsetriangularsolvedense(VLTenv_t env, int32_t transposed, int32_t n, const int32_t *lnzc, const int64_t *lptrc, int64_t lensubnval, const int32_t *lsubc, const double *lvalc, double *b);

/* Task: creation, cloning, deletion, hooks, last error and memory checks */
VLTEXPORT VLTrescodee VLTAPI VLT_makeemptytask(VLTenv_t env, VLTtask_t *task);
VLTEXPORT VLTrescodee VLTAPI VLT_clonetask(VLTtask_t task, VLTtask_t *clonedtask);
VLTEXPORT VLTrescodee VLTAPI VLT_deletetask(VLTtask_t *task);
VLTEXPORT VLTrescodee VLTAPI VLT_linkfunctotaskstream(VLTtask_t task, int32_t whichstream, void *handle, VLTstreamfunc func);
VLTEXPORT VLTrescodee VLTAPI VLT_linkfiletotaskstream(VLTtask_t task, int32_t whichstream, const char *filename, int32_t append);
VLTEXPORT VLTrescodee VLTAPI VLT_putcallbackfunc(VLTtask_t task, VLTcallbackfunc func, void *handle);
VLTEXPORT VLTrescodee VLTAPI VLT_writedatahandle(VLTtask_t task, VLThwritefunc func, void *handle, int32_t format, int32_t compress);
VLTEXPORT VLTrescodee VLTAPI VLT_getlasterror(VLTtask_t task, int32_t *lastrescode, int32_t sizelastmsg, int32_t *lastmsglen, char *lastmsg);
/* The calling thread holds the task until VLT_releasetask: no other thread's
   call runs on it meanwhile, so a count asked for stays the count of the
   array filled next.  The thread's own calls on the task go on as usual.  A
   hold inside a call on the task (from one of its hooks) changes nothing.
   Neither function reports on the streams or in the call log; a failed hold
   (null, deleted or busy task) leaves each call to enter the task itself. */
VLTEXPORT VLTrescodee VLTAPI VLT_holdtask(VLTtask_t task);
VLTEXPORT VLTrescodee VLTAPI VLT_releasetask(VLTtask_t task);
VLTEXPORT VLTrescodee VLTAPI VLT_checkmemtask(VLTtask_t task, const char *file, int32_t line);
VLTEXPORT VLTrescodee VLTAPI VLT_getmemusagetask(VLTtask_t task, int64_t *meminuse, int64_t *maxmemuse);

/* Constraints, variables and task sizes */
VLTEXPORT VLTrescodee VLTAPI VLT_appendcons(VLTtask_t task, int32_t num);
VLTEXPORT VLTrescodee VLTAPI VLT_appendvars(VLTtask_t task, int32_t num);
VLTEXPORT VLTrescodee VLTAPI VLT_removecons(VLTtask_t task, int32_t num, const int32_t *subset);
VLTEXPORT VLTrescodee VLTAPI VLT_removevars(VLTtask_t task, int32_t num, const int32_t *subset);
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumcon(VLTtask_t task, int32_t maxnumcon);
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumvar(VLTtask_t task, int32_t maxnumvar);
VLTEXPORT VLTrescodee VLTAPI VLT_getmaxnumcon(VLTtask_t task, int32_t *maxnumcon);
VLTEXPORT VLTrescodee VLTAPI VLT_getmaxnumvar(VLTtask_t task, int32_t *maxnumvar);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumcon(VLTtask_t task, int32_t *numcon);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumvar(VLTtask_t task, int32_t *numvar);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumintvar(VLTtask_t task, int32_t *numintvar);
VLTEXPORT VLTrescodee VLTAPI VLT_resizetask(VLTtask_t task, int32_t maxnumcon, int32_t maxnumvar, int32_t maxnumcone, int64_t maxnumanz, int64_t maxnumqnz);

/* Bounds of constraints and variables */
VLTEXPORT VLTrescodee VLTAPI VLT_putconbound(VLTtask_t task, int32_t i, int32_t bkc, double blc, double buc);
VLTEXPORT VLTrescodee VLTAPI VLT_putvarbound(VLTtask_t task, int32_t j, int32_t bkx, double blx, double bux);
VLTEXPORT VLTrescodee VLTAPI VLT_chgconbound(VLTtask_t task, int32_t i, int32_t lower, int32_t finite, double value);
VLTEXPORT VLTrescodee VLTAPI VLT_chgvarbound(VLTtask_t task, int32_t j, int32_t lower, int32_t finite, double value);
VLTEXPORT VLTrescodee VLTAPI VLT_getconbound(VLTtask_t task, int32_t i, int32_t *bk, double *bl, double *bu);
VLTEXPORT VLTrescodee VLTAPI VLT_getvarbound(VLTtask_t task, int32_t j, int32_t *bk, double *bl, double *bu);
VLTEXPORT VLTrescodee VLTAPI VLT_putconboundlist(VLTtask_t task, int32_t num, const int32_t *sub, const int32_t *bkc, const double *blc, const double *buc);
VLTEXPORT VLTrescodee VLTAPI VLT_putvarboundlist(VLTtask_t task, int32_t num, const int32_t *sub, const int32_t *bkx, const double *blx, const double *bux);
VLTEXPORT VLTrescodee VLTAPI VLT_putconboundlistconst(VLTtask_t task, int32_t num, const int32_t *sub, int32_t bkc, double blc, double buc);
VLTEXPORT VLTrescodee VLTAPI VLT_putvarboundlistconst(VLTtask_t task, int32_t num, const int32_t *sub, int32_t bkx, double blx, double bux);
VLTEXPORT VLTrescodee VLTAPI VLT_putconboundslice(VLTtask_t task, int32_t first, int32_t last, const int32_t *bkc, const double *blc, const double *buc);
VLTEXPORT VLTrescodee VLTAPI VLT_putvarboundslice(VLTtask_t task, int32_t first, int32_t last, const int32_t *bkx, const double *blx, const double *bux);
VLTEXPORT VLTrescodee VLTAPI VLT_putconboundsliceconst(VLTtask_t task, int32_t first, int32_t last, int32_t bkc, double blc, double buc);
VLTEXPORT VLTrescodee VLTAPI VLT_putvarboundsliceconst(VLTtask_t task, int32_t first, int32_t last, int32_t bkx, double blx, double bux);
VLTEXPORT VLTrescodee VLTAPI VLT_getconboundslice(VLTtask_t task, int32_t first, int32_t last, int32_t *bk, double *bl, double *bu);
VLTEXPORT VLTrescodee VLTAPI VLT_getvarboundslice(VLTtask_t task, int32_t first, int32_t last, int32_t *bk, double *bl, double *bu);

/* Variable types */
VLTEXPORT VLTrescodee VLTAPI VLT_putvartype(VLTtask_t task, int32_t j, int32_t vartype);
VLTEXPORT VLTrescodee VLTAPI VLT_getvartype(VLTtask_t task, int32_t j, int32_t *vartype);
VLTEXPORT VLTrescodee VLTAPI VLT_putvartypelist(VLTtask_t task, int32_t num, const int32_t *subj, const int32_t *vartype);
VLTEXPORT VLTrescodee VLTAPI VLT_getvartypelist(VLTtask_t task, int32_t num, const int32_t *subj, int32_t *vartype);

/* Linear constraint matrix: entries, counts and capacity */
VLTEXPORT VLTrescodee VLTAPI VLT_putaij(VLTtask_t task, int32_t i, int32_t j, double aij);
VLTEXPORT VLTrescodee VLTAPI VLT_getaij(VLTtask_t task, int32_t i, int32_t j, double *aij);
VLTEXPORT VLTrescodee VLTAPI VLT_getacolnumnz(VLTtask_t task, int32_t j, int32_t *nzj);
VLTEXPORT VLTrescodee VLTAPI VLT_getarownumnz(VLTtask_t task, int32_t i, int32_t *nzi);
VLTEXPORT VLTrescodee VLTAPI VLT_getapiecenumnz(VLTtask_t task, int32_t firsti, int32_t lasti, int32_t firstj, int32_t lastj, int32_t *numnz);
VLTEXPORT VLTrescodee VLTAPI VLT_getacolslicenumnz64(VLTtask_t task, int32_t first, int32_t last, int64_t *numnz);
VLTEXPORT VLTrescodee VLTAPI VLT_getarowslicenumnz64(VLTtask_t task, int32_t first, int32_t last, int64_t *numnz);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumanz(VLTtask_t task, int32_t *numanz);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumanz64(VLTtask_t task, int64_t *numanz);
VLTEXPORT VLTrescodee VLTAPI VLT_getmaxnumanz64(VLTtask_t task, int64_t *maxnumanz);
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumanz(VLTtask_t task, int64_t maxnumanz);
VLTEXPORT VLTrescodee VLTAPI VLT_putatruncatetol(VLTtask_t task, double tolzero);
VLTEXPORT VLTrescodee VLTAPI VLT_getatruncatetol(VLTtask_t task, double *tolzero);

/* Linear constraint matrix: putting rows, columns, lists and slices */
VLTEXPORT VLTrescodee VLTAPI VLT_putaijlist64(VLTtask_t task, int64_t num, const int32_t *subi, const int32_t *subj, const double *valij);
VLTEXPORT VLTrescodee VLTAPI VLT_putacol(VLTtask_t task, int32_t j, int32_t nzj, const int32_t *subj, const double *valj);
VLTEXPORT VLTrescodee VLTAPI VLT_putarow(VLTtask_t task, int32_t i, int32_t nzi, const int32_t *subi, const double *vali);
VLTEXPORT VLTrescodee VLTAPI VLT_putacolslice64(VLTtask_t task, int32_t first, int32_t last, const int64_t *ptrb, const int64_t *ptre, const int32_t *asub, const double *aval);
VLTEXPORT VLTrescodee VLTAPI VLT_putarowslice64(VLTtask_t task, int32_t first, int32_t last, const int64_t *ptrb, const int64_t *ptre, const int32_t *asub, const double *aval);
VLTEXPORT VLTrescodee VLTAPI VLT_putacollist64(VLTtask_t task, int32_t num, const int32_t *sub, const int64_t *ptrb, const int64_t *ptre, const int32_t *asub, const double *aval);
VLTEXPORT VLTrescodee VLTAPI VLT_putarowlist64(VLTtask_t task, int32_t num, const int32_t *sub, const int64_t *ptrb, const int64_t *ptre, const int32_t *asub, const double *aval);

/* Linear constraint matrix: reading */
VLTEXPORT VLTrescodee VLTAPI VLT_getacol(VLTtask_t task, int32_t j, int32_t *nzj, int32_t *subj, double *valj);
VLTEXPORT VLTrescodee VLTAPI VLT_getarow(VLTtask_t task, int32_t i, int32_t *nzi, int32_t *subi, double *vali);
VLTEXPORT VLTrescodee VLTAPI VLT_getacolslice64(VLTtask_t task, int32_t first, int32_t last, int64_t maxnumnz, int64_t *ptrb, int64_t *ptre, int32_t *sub, double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_getarowslice64(VLTtask_t task, int32_t first, int32_t last, int64_t maxnumnz, int64_t *ptrb, int64_t *ptre, int32_t *sub, double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_getatrip(VLTtask_t task, int64_t maxnumnz, int32_t *subi, int32_t *subj, double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_getacolslicetrip(VLTtask_t task, int32_t first, int32_t last, int64_t maxnumnz, int32_t *subi, int32_t *subj, double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_getarowslicetrip(VLTtask_t task, int32_t first, int32_t last, int64_t maxnumnz, int32_t *subi, int32_t *subj, double *val);

/* Linear objective, objective sense, problem type and whole linear problems */
VLTEXPORT VLTrescodee VLTAPI VLT_putcfix(VLTtask_t task, double cfix);
VLTEXPORT VLTrescodee VLTAPI VLT_getcfix(VLTtask_t task, double *cfix);
VLTEXPORT VLTrescodee VLTAPI VLT_putcj(VLTtask_t task, int32_t j, double cj);
VLTEXPORT VLTrescodee VLTAPI VLT_getcj(VLTtask_t task, int32_t j, double *cj);
VLTEXPORT VLTrescodee VLTAPI VLT_putclist(VLTtask_t task, int32_t num, const int32_t *subj, const double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_getclist(VLTtask_t task, int32_t num, const int32_t *subj, double *c);
VLTEXPORT VLTrescodee VLTAPI VLT_putcslice(VLTtask_t task, int32_t first, int32_t last, const double *slice);
VLTEXPORT VLTrescodee VLTAPI VLT_getcslice(VLTtask_t task, int32_t first, int32_t last, double *c);
VLTEXPORT VLTrescodee VLTAPI VLT_getc(VLTtask_t task, double *c);
VLTEXPORT VLTrescodee VLTAPI VLT_putobjsense(VLTtask_t task, int32_t sense);
VLTEXPORT VLTrescodee VLTAPI VLT_getobjsense(VLTtask_t task, int32_t *sense);
VLTEXPORT VLTrescodee VLTAPI VLT_getprobtype(VLTtask_t task, int32_t *probtype);
VLTEXPORT VLTrescodee VLTAPI VLT_inputdata64(VLTtask_t task, int32_t maxnumcon, int32_t maxnumvar, int32_t numcon, int32_t numvar, const double *c, double cfix, const int64_t *aptrb, const int64_t *aptre, const int32_t *asub, const double *aval, const int32_t *bkc, const double *blc, const double *buc, const int32_t *bkx, const double *blx, const double *bux);

/* Quadratic terms */
VLTEXPORT VLTrescodee VLTAPI VLT_putqobj(VLTtask_t task, int32_t numqonz, const int32_t *qosubi, const int32_t *qosubj, const double *qoval);
VLTEXPORT VLTrescodee VLTAPI VLT_putqobjij(VLTtask_t task, int32_t i, int32_t j, double qoij);
VLTEXPORT VLTrescodee VLTAPI VLT_getqobjij(VLTtask_t task, int32_t i, int32_t j, double *qoij);
VLTEXPORT VLTrescodee VLTAPI VLT_putqconk(VLTtask_t task, int32_t k, int32_t numqcnz, const int32_t *qcsubi, const int32_t *qcsubj, const double *qcval);
VLTEXPORT VLTrescodee VLTAPI VLT_putqcon(VLTtask_t task, int32_t numqcnz, const int32_t *qcsubk, const int32_t *qcsubi, const int32_t *qcsubj, const double *qcval);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumqobjnz64(VLTtask_t task, int64_t *numqonz);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumqconknz64(VLTtask_t task, int32_t k, int64_t *numqcnz);
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumqnz(VLTtask_t task, int64_t maxnumqnz);
VLTEXPORT VLTrescodee VLTAPI VLT_getmaxnumqnz64(VLTtask_t task, int64_t *maxnumqnz);
VLTEXPORT VLTrescodee VLTAPI VLT_getqobj64(VLTtask_t task, int64_t maxnumqonz, int64_t *numqonz, int32_t *qosubi, int32_t *qosubj, double *qoval);
VLTEXPORT VLTrescodee VLTAPI VLT_getqconk64(VLTtask_t task, int32_t k, int64_t maxnumqcnz, int64_t *numqcnz, int32_t *qcsubi, int32_t *qcsubj, double *qcval);

/* Quadratic cones */
VLTEXPORT VLTrescodee VLTAPI VLT_appendcone(VLTtask_t task, int32_t ct, double conepar, int32_t nummem, const int32_t *submem);
VLTEXPORT VLTrescodee VLTAPI VLT_appendconeseq(VLTtask_t task, int32_t ct, double conepar, int32_t nummem, int32_t j);
VLTEXPORT VLTrescodee VLTAPI VLT_appendconesseq(VLTtask_t task, int32_t num, const int32_t *ct, const double *conepar, const int32_t *nummem, int32_t j);
VLTEXPORT VLTrescodee VLTAPI VLT_putcone(VLTtask_t task, int32_t k, int32_t ct, double conepar, int32_t nummem, const int32_t *submem);
VLTEXPORT VLTrescodee VLTAPI VLT_removecones(VLTtask_t task, int32_t num, const int32_t *subset);
VLTEXPORT VLTrescodee VLTAPI VLT_getconeinfo(VLTtask_t task, int32_t k, int32_t *ct, double *conepar, int32_t *nummem);
VLTEXPORT VLTrescodee VLTAPI VLT_getcone(VLTtask_t task, int32_t k, int32_t *ct, double *conepar, int32_t *nummem, int32_t *submem);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumcone(VLTtask_t task, int32_t *numcone);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumconemem(VLTtask_t task, int32_t k, int32_t *nummem);
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumcone(VLTtask_t task, int32_t maxnumcone);
VLTEXPORT VLTrescodee VLTAPI VLT_getmaxnumcone(VLTtask_t task, int32_t *maxnumcone);

/* Semidefinite variables */
VLTEXPORT VLTrescodee VLTAPI VLT_appendbarvars(VLTtask_t task, int32_t num, const int32_t *dim);
VLTEXPORT VLTrescodee VLTAPI VLT_removebarvars(VLTtask_t task, int32_t num, const int32_t *subset);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumbarvar(VLTtask_t task, int32_t *numbarvar);
VLTEXPORT VLTrescodee VLTAPI VLT_getmaxnumbarvar(VLTtask_t task, int32_t *maxnumbarvar);
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumbarvar(VLTtask_t task, int32_t maxnumbarvar);
VLTEXPORT VLTrescodee VLTAPI VLT_getdimbarvarj(VLTtask_t task, int32_t j, int32_t *dimbarvarj);
VLTEXPORT VLTrescodee VLTAPI VLT_getlenbarvarj(VLTtask_t task, int32_t j, int64_t *lenbarvarj);

/* Semidefinite objective and constraint terms (barC, barA) */
VLTEXPORT VLTrescodee VLTAPI VLT_putbarcj(VLTtask_t task, int32_t j, int64_t num, const int64_t *sub, const double *weights);
VLTEXPORT VLTrescodee VLTAPI VLT_putbaraij(VLTtask_t task, int32_t i, int32_t j, int64_t num, const int64_t *sub, const double *weights);
VLTEXPORT VLTrescodee VLTAPI VLT_putbaraijlist(VLTtask_t task, int32_t num, const int32_t *subi, const int32_t *subj, const int64_t *alphaptrb, const int64_t *alphaptre, const int64_t *matidx, const double *weights);
VLTEXPORT VLTrescodee VLTAPI VLT_putbararowlist(VLTtask_t task, int32_t num, const int32_t *subi, const int64_t *ptrb, const int64_t *ptre, const int32_t *subj, const int64_t *nummat, const int64_t *matidx, const double *weights);
VLTEXPORT VLTrescodee VLTAPI VLT_putbarcblocktriplet(VLTtask_t task, int64_t num, const int32_t *subj, const int32_t *subk, const int32_t *subl, const double *valjkl);
VLTEXPORT VLTrescodee VLTAPI VLT_putbarablocktriplet(VLTtask_t task, int64_t num, const int32_t *subi, const int32_t *subj, const int32_t *subk, const int32_t *subl, const double *valijkl);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumbarcnz(VLTtask_t task, int64_t *nz);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumbaranz(VLTtask_t task, int64_t *nz);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarcsparsity(VLTtask_t task, int64_t maxnumnz, int64_t *numnz, int64_t *idxj);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarasparsity(VLTtask_t task, int64_t maxnumnz, int64_t *numnz, int64_t *idxij);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarcidxinfo(VLTtask_t task, int64_t idx, int64_t *num);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarcidxj(VLTtask_t task, int64_t idx, int32_t *j);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarcidx(VLTtask_t task, int64_t idx, int64_t maxnum, int32_t *j, int64_t *num, int64_t *sub, double *weights);
VLTEXPORT VLTrescodee VLTAPI VLT_getbaraidxinfo(VLTtask_t task, int64_t idx, int64_t *num);
VLTEXPORT VLTrescodee VLTAPI VLT_getbaraidxij(VLTtask_t task, int64_t idx, int32_t *i, int32_t *j);
VLTEXPORT VLTrescodee VLTAPI VLT_getbaraidx(VLTtask_t task, int64_t idx, int64_t maxnum, int32_t *i, int32_t *j, int64_t *num, int64_t *sub, double *weights);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumbarcblocktriplets(VLTtask_t task, int64_t *num);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarcblocktriplet(VLTtask_t task, int64_t maxnum, int64_t *num, int32_t *subj, int32_t *subk, int32_t *subl, double *valjkl);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumbarablocktriplets(VLTtask_t task, int64_t *num);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarablocktriplet(VLTtask_t task, int64_t maxnum, int64_t *num, int32_t *subi, int32_t *subj, int32_t *subk, int32_t *subl, double *valijkl);

/* Symmetric matrix store */
VLTEXPORT VLTrescodee VLTAPI VLT_appendsparsesymmat(VLTtask_t task, int32_t dim, int64_t nz, const int32_t *subi, const int32_t *subj, const double *valij, int64_t *idx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendsparsesymmatlist(VLTtask_t task, int32_t num, const int32_t *dims, const int64_t *nz, const int32_t *subi, const int32_t *subj, const double *valij, int64_t *idx);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumsymmat(VLTtask_t task, int64_t *num);
VLTEXPORT VLTrescodee VLTAPI VLT_getsymmatinfo(VLTtask_t task, int64_t idx, int32_t *dim, int64_t *nz, int32_t *mattype);
VLTEXPORT VLTrescodee VLTAPI VLT_getsparsesymmat(VLTtask_t task, int64_t idx, int64_t maxlen, int32_t *subi, int32_t *subj, double *valij);

/* Affine expressions: sizes and the matrix F */
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumafe(VLTtask_t task, int64_t maxnumafe);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumafe(VLTtask_t task, int64_t *numafe);
VLTEXPORT VLTrescodee VLTAPI VLT_appendafes(VLTtask_t task, int64_t num);
VLTEXPORT VLTrescodee VLTAPI VLT_putafefentry(VLTtask_t task, int64_t afeidx, int32_t varidx, double value);
VLTEXPORT VLTrescodee VLTAPI VLT_putafefentrylist(VLTtask_t task, int64_t numentr, const int64_t *afeidx, const int32_t *varidx, const double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_putafefrow(VLTtask_t task, int64_t afeidx, int32_t numnz, const int32_t *varidx, const double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_putafefrowlist(VLTtask_t task, int64_t numafeidx, const int64_t *afeidx, const int32_t *numnzrow, const int64_t *ptrrow, int64_t lenidxval, const int32_t *varidx, const double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_putafefcol(VLTtask_t task, int32_t varidx, int64_t numnz, const int64_t *afeidx, const double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_emptyafefrow(VLTtask_t task, int64_t afeidx);
VLTEXPORT VLTrescodee VLTAPI VLT_emptyafefcol(VLTtask_t task, int32_t varidx);
VLTEXPORT VLTrescodee VLTAPI VLT_emptyafefrowlist(VLTtask_t task, int64_t numafeidx, const int64_t *afeidx);
VLTEXPORT VLTrescodee VLTAPI VLT_emptyafefcollist(VLTtask_t task, int64_t numvaridx, const int32_t *varidx);
VLTEXPORT VLTrescodee VLTAPI VLT_getafefrownumnz(VLTtask_t task, int64_t afeidx, int32_t *numnz);
VLTEXPORT VLTrescodee VLTAPI VLT_getafefnumnz(VLTtask_t task, int64_t *numnz);
VLTEXPORT VLTrescodee VLTAPI VLT_getafefrow(VLTtask_t task, int64_t afeidx, int32_t *numnz, int32_t *varidx, double *val);
VLTEXPORT VLTrescodee VLTAPI VLT_getafeftrip(VLTtask_t task, int64_t *afeidx, int32_t *varidx, double *val);

/* Affine expressions: the semidefinite part barF */
VLTEXPORT VLTrescodee VLTAPI VLT_putafebarfentry(VLTtask_t task, int64_t afeidx, int32_t barvaridx, int64_t numterm, const int64_t *termidx, const double *termweight);
VLTEXPORT VLTrescodee VLTAPI VLT_putafebarfentrylist(VLTtask_t task, int64_t numafeidx, const int64_t *afeidx, const int32_t *barvaridx, const int64_t *numterm, const int64_t *ptrterm, int64_t lenterm, const int64_t *termidx, const double *termweight);
VLTEXPORT VLTrescodee VLTAPI VLT_putafebarfrow(VLTtask_t task, int64_t afeidx, int32_t numentr, const int32_t *barvaridx, const int64_t *numterm, const int64_t *ptrterm, int64_t lenterm, const int64_t *termidx, const double *termweight);
VLTEXPORT VLTrescodee VLTAPI VLT_emptyafebarfrow(VLTtask_t task, int64_t afeidx);
VLTEXPORT VLTrescodee VLTAPI VLT_emptyafebarfrowlist(VLTtask_t task, int64_t numafeidx, const int64_t *afeidxlist);
VLTEXPORT VLTrescodee VLTAPI VLT_putafebarfblocktriplet(VLTtask_t task, int64_t numtrip, const int64_t *afeidx, const int32_t *barvaridx, const int32_t *subk, const int32_t *subl, const double *valkl);
VLTEXPORT VLTrescodee VLTAPI VLT_getafebarfnumblocktriplets(VLTtask_t task, int64_t *numtrip);
VLTEXPORT VLTrescodee VLTAPI VLT_getafebarfblocktriplet(VLTtask_t task, int64_t maxnumtrip, int64_t *numtrip, int64_t *afeidx, int32_t *barvaridx, int32_t *subk, int32_t *subl, double *valkl);
VLTEXPORT VLTrescodee VLTAPI VLT_getafebarfnumrowentries(VLTtask_t task, int64_t afeidx, int32_t *numentr);
VLTEXPORT VLTrescodee VLTAPI VLT_getafebarfrowinfo(VLTtask_t task, int64_t afeidx, int32_t *numentr, int64_t *lenterm);
VLTEXPORT VLTrescodee VLTAPI VLT_getafebarfrow(VLTtask_t task, int64_t afeidx, int32_t *barvaridx, int64_t *ptrterm, int64_t *numterm, int64_t *termidx, double *termweight);

/* Affine expressions: the constants g */
VLTEXPORT VLTrescodee VLTAPI VLT_putafeg(VLTtask_t task, int64_t afeidx, double g);
VLTEXPORT VLTrescodee VLTAPI VLT_putafeglist(VLTtask_t task, int64_t numafeidx, const int64_t *afeidx, const double *g);
VLTEXPORT VLTrescodee VLTAPI VLT_getafeg(VLTtask_t task, int64_t afeidx, double *g);
VLTEXPORT VLTrescodee VLTAPI VLT_getafegslice(VLTtask_t task, int64_t first, int64_t last, double *g);
VLTEXPORT VLTrescodee VLTAPI VLT_putafegslice(VLTtask_t task, int64_t first, int64_t last, const double *slice);

/* Domains */
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumdomain(VLTtask_t task, int64_t maxnumdomain);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumdomain(VLTtask_t task, int64_t *numdomain);
VLTEXPORT VLTrescodee VLTAPI VLT_getdomaintype(VLTtask_t task, int64_t domidx, int32_t *domtype);
VLTEXPORT VLTrescodee VLTAPI VLT_getdomainn(VLTtask_t task, int64_t domidx, int64_t *n);
VLTEXPORT VLTrescodee VLTAPI VLT_getpowerdomaininfo(VLTtask_t task, int64_t domidx, int64_t *n, int64_t *nleft);
VLTEXPORT VLTrescodee VLTAPI VLT_getpowerdomainalpha(VLTtask_t task, int64_t domidx, double *alpha);
VLTEXPORT VLTrescodee VLTAPI VLT_appendrplusdomain(VLTtask_t task, int64_t n, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendrminusdomain(VLTtask_t task, int64_t n, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendrdomain(VLTtask_t task, int64_t n, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendrzerodomain(VLTtask_t task, int64_t n, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendquadraticconedomain(VLTtask_t task, int64_t n, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendrquadraticconedomain(VLTtask_t task, int64_t n, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendprimalexpconedomain(VLTtask_t task, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appenddualexpconedomain(VLTtask_t task, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendprimalgeomeanconedomain(VLTtask_t task, int64_t n, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appenddualgeomeanconedomain(VLTtask_t task, int64_t n, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendprimalpowerconedomain(VLTtask_t task, int64_t n, int64_t nleft, const double *alpha, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appenddualpowerconedomain(VLTtask_t task, int64_t n, int64_t nleft, const double *alpha, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_appendsvecpsdconedomain(VLTtask_t task, int64_t n, int64_t *domidx);

/* Affine conic constraints: creating and changing */
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumacc(VLTtask_t task, int64_t maxnumacc);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumacc(VLTtask_t task, int64_t *numacc);
VLTEXPORT VLTrescodee VLTAPI VLT_appendacc(VLTtask_t task, int64_t domidx, int64_t numafeidx, const int64_t *afeidxlist, const double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_appendaccs(VLTtask_t task, int64_t numaccs, const int64_t *domidxs, int64_t numafeidx, const int64_t *afeidxlist, const double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_appendaccseq(VLTtask_t task, int64_t domidx, int64_t numafeidx, int64_t afeidxfirst, const double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_appendaccsseq(VLTtask_t task, int64_t numaccs, const int64_t *domidxs, int64_t numafeidx, int64_t afeidxfirst, const double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_putacc(VLTtask_t task, int64_t accidx, int64_t domidx, int64_t numafeidx, const int64_t *afeidxlist, const double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_putacclist(VLTtask_t task, int64_t numaccs, const int64_t *accidxs, const int64_t *domidxs, int64_t numafeidx, const int64_t *afeidxlist, const double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_putaccb(VLTtask_t task, int64_t accidx, int64_t lengthb, const double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_putaccbj(VLTtask_t task, int64_t accidx, int64_t j, double bj);

/* Affine conic constraints: reading */
VLTEXPORT VLTrescodee VLTAPI VLT_getaccdomain(VLTtask_t task, int64_t accidx, int64_t *domidx);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccn(VLTtask_t task, int64_t accidx, int64_t *n);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccntot(VLTtask_t task, int64_t *n);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccafeidxlist(VLTtask_t task, int64_t accidx, int64_t *afeidxlist);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccb(VLTtask_t task, int64_t accidx, double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccs(VLTtask_t task, int64_t *domidxlist, int64_t *afeidxlist, double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccfnumnz(VLTtask_t task, int64_t *accfnnz);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccftrip(VLTtask_t task, int64_t *frow, int32_t *fcol, double *fval);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccgvector(VLTtask_t task, double *g);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccbarfnumblocktriplets(VLTtask_t task, int64_t *numtrip);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccbarfblocktriplet(VLTtask_t task, int64_t maxnumtrip, int64_t *numtrip, int64_t *acc_afe, int32_t *bar_var, int32_t *blk_row, int32_t *blk_col, double *blk_val);

/* Disjunctive constraints */
VLTEXPORT VLTrescodee VLTAPI VLT_putmaxnumdjc(VLTtask_t task, int64_t maxnumdjc);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumdjc(VLTtask_t task, int64_t *num);
VLTEXPORT VLTrescodee VLTAPI VLT_appenddjcs(VLTtask_t task, int64_t num);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcnumdomain(VLTtask_t task, int64_t djcidx, int64_t *numdomain);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcnumdomaintot(VLTtask_t task, int64_t *numdomaintot);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcnumafe(VLTtask_t task, int64_t djcidx, int64_t *numafe);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcnumafetot(VLTtask_t task, int64_t *numafetot);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcnumterm(VLTtask_t task, int64_t djcidx, int64_t *numterm);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcnumtermtot(VLTtask_t task, int64_t *numtermtot);
VLTEXPORT VLTrescodee VLTAPI VLT_putdjc(VLTtask_t task, int64_t djcidx, int64_t numdomidx, const int64_t *domidxlist, int64_t numafeidx, const int64_t *afeidxlist, const double *b, int64_t numterms, const int64_t *termsizelist);
VLTEXPORT VLTrescodee VLTAPI VLT_putdjcslice(VLTtask_t task, int64_t idxfirst, int64_t idxlast, int64_t numdomidx, const int64_t *domidxlist, int64_t numafeidx, const int64_t *afeidxlist, const double *b, int64_t numterms, const int64_t *termsizelist, const int64_t *termsindjc);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcdomainidxlist(VLTtask_t task, int64_t djcidx, int64_t *domidxlist);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcafeidxlist(VLTtask_t task, int64_t djcidx, int64_t *afeidxlist);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcb(VLTtask_t task, int64_t djcidx, double *b);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjctermsizelist(VLTtask_t task, int64_t djcidx, int64_t *termsizelist);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcs(VLTtask_t task, int64_t *domidxlist, int64_t *afeidxlist, double *b, int64_t *termsizelist, int64_t *numterms);

/* Names: putting */
VLTEXPORT VLTrescodee VLTAPI VLT_putconname(VLTtask_t task, int32_t i, const char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_putvarname(VLTtask_t task, int32_t j, const char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_putconename(VLTtask_t task, int32_t k, const char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_putbarvarname(VLTtask_t task, int32_t j, const char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_putdomainname(VLTtask_t task, int64_t domidx, const char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_putdjcname(VLTtask_t task, int64_t djcidx, const char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_putaccname(VLTtask_t task, int64_t accidx, const char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_putobjname(VLTtask_t task, const char *objname);
VLTEXPORT VLTrescodee VLTAPI VLT_puttaskname(VLTtask_t task, const char *taskname);

/* Names: lengths, reading and look-up */
VLTEXPORT VLTrescodee VLTAPI VLT_getconnamelen(VLTtask_t task, int32_t i, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_getvarnamelen(VLTtask_t task, int32_t j, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_getconenamelen(VLTtask_t task, int32_t k, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarvarnamelen(VLTtask_t task, int32_t j, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_getdomainnamelen(VLTtask_t task, int64_t domidx, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcnamelen(VLTtask_t task, int64_t djcidx, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccnamelen(VLTtask_t task, int64_t accidx, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_getobjnamelen(VLTtask_t task, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_gettasknamelen(VLTtask_t task, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_getconname(VLTtask_t task, int32_t i, int32_t sizename, char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_getvarname(VLTtask_t task, int32_t j, int32_t sizename, char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_getconename(VLTtask_t task, int32_t k, int32_t sizename, char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarvarname(VLTtask_t task, int32_t j, int32_t sizename, char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_getdomainname(VLTtask_t task, int64_t domidx, int32_t sizename, char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_getdjcname(VLTtask_t task, int64_t djcidx, int32_t sizename, char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccname(VLTtask_t task, int64_t accidx, int32_t sizename, char *name);
VLTEXPORT VLTrescodee VLTAPI VLT_getobjname(VLTtask_t task, int32_t sizeobjname, char *objname);
VLTEXPORT VLTrescodee VLTAPI VLT_gettaskname(VLTtask_t task, int32_t sizetaskname, char *taskname);
VLTEXPORT VLTrescodee VLTAPI VLT_getconnameindex(VLTtask_t task, const char *somename, int32_t *asgn, int32_t *index);
VLTEXPORT VLTrescodee VLTAPI VLT_getvarnameindex(VLTtask_t task, const char *somename, int32_t *asgn, int32_t *index);
VLTEXPORT VLTrescodee VLTAPI VLT_getconenameindex(VLTtask_t task, const char *somename, int32_t *asgn, int32_t *index);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarvarnameindex(VLTtask_t task, const char *somename, int32_t *asgn, int32_t *index);

/* Names: generated from a format and a shape */
VLTEXPORT VLTrescodee VLTAPI VLT_generatevarnames(VLTtask_t task, int32_t num, const int32_t *subj, const char *fmt, int32_t ndims, const int32_t *dims, const int64_t *sp, int32_t numnamedaxis, const int32_t *namedaxisidxs, int64_t numnames, const char *const *names);
VLTEXPORT VLTrescodee VLTAPI VLT_generateconnames(VLTtask_t task, int32_t num, const int32_t *subi, const char *fmt, int32_t ndims, const int32_t *dims, const int64_t *sp, int32_t numnamedaxis, const int32_t *namedaxisidxs, int64_t numnames, const char *const *names);
VLTEXPORT VLTrescodee VLTAPI VLT_generateconenames(VLTtask_t task, int32_t num, const int32_t *subk, const char *fmt, int32_t ndims, const int32_t *dims, const int64_t *sp, int32_t numnamedaxis, const int32_t *namedaxisidxs, int64_t numnames, const char *const *names);
VLTEXPORT VLTrescodee VLTAPI VLT_generatebarvarnames(VLTtask_t task, int32_t num, const int32_t *subj, const char *fmt, int32_t ndims, const int32_t *dims, const int64_t *sp, int32_t numnamedaxis, const int32_t *namedaxisidxs, int64_t numnames, const char *const *names);
VLTEXPORT VLTrescodee VLTAPI VLT_generateaccnames(VLTtask_t task, int64_t num, const int64_t *sub, const char *fmt, int32_t ndims, const int32_t *dims, const int64_t *sp, int32_t numnamedaxis, const int32_t *namedaxisidxs, int64_t numnames, const char *const *names);
VLTEXPORT VLTrescodee VLTAPI VLT_generatedjcnames(VLTtask_t task, int64_t num, const int64_t *sub, const char *fmt, int32_t ndims, const int32_t *dims, const int64_t *sp, int32_t numnamedaxis, const int32_t *namedaxisidxs, int64_t numnames, const char *const *names);

/* Optimization, conversion and analysis */
VLTEXPORT VLTrescodee VLTAPI VLT_optimizetrm(VLTtask_t task, int32_t *trmcode);
VLTEXPORT VLTrescodee VLTAPI VLT_toconic(VLTtask_t task);
VLTEXPORT VLTrescodee VLTAPI VLT_commitchanges(VLTtask_t task);
VLTEXPORT VLTrescodee VLTAPI VLT_analyzeproblem(VLTtask_t task, int32_t whichstream);
VLTEXPORT VLTrescodee VLTAPI VLT_analyzenames(VLTtask_t task, int32_t whichstream, int32_t nametype);
VLTEXPORT VLTrescodee VLTAPI VLT_analyzesolution(VLTtask_t task, int32_t whichstream, int32_t whichsol);
VLTEXPORT VLTrescodee VLTAPI VLT_solutionsummary(VLTtask_t task, int32_t whichstream);
VLTEXPORT VLTrescodee VLTAPI VLT_onesolutionsummary(VLTtask_t task, int32_t whichstream, int32_t whichsol);
VLTEXPORT VLTrescodee VLTAPI VLT_optimizersummary(VLTtask_t task, int32_t whichstream);
VLTEXPORT VLTrescodee VLTAPI VLT_updatesolutioninfo(VLTtask_t task, int32_t whichsol);

/* Remote optimization */
VLTEXPORT VLTrescodee VLTAPI VLT_optimizermt(VLTtask_t task, const char *address, const char *accesstoken, int32_t *trmcode);
VLTEXPORT VLTrescodee VLTAPI VLT_asyncoptimize(VLTtask_t task, const char *address, const char *accesstoken, char *token);
VLTEXPORT VLTrescodee VLTAPI VLT_asyncpoll(VLTtask_t task, const char *address, const char *accesstoken, const char *token, int32_t *respavailable, int32_t *resp, int32_t *trm);
VLTEXPORT VLTrescodee VLTAPI VLT_asyncgetresult(VLTtask_t task, const char *address, const char *accesstoken, const char *token, int32_t *respavailable, int32_t *resp, int32_t *trm);
VLTEXPORT VLTrescodee VLTAPI VLT_asyncstop(VLTtask_t task, const char *address, const char *accesstoken, const char *token);
VLTEXPORT VLTrescodee VLTAPI VLT_putoptserverhost(VLTtask_t task, const char *host);

/* Solution values: whole vectors */
VLTEXPORT VLTrescodee VLTAPI VLT_getskc(VLTtask_t task, int32_t whichsol, int32_t *skc);
VLTEXPORT VLTrescodee VLTAPI VLT_getskx(VLTtask_t task, int32_t whichsol, int32_t *skx);
VLTEXPORT VLTrescodee VLTAPI VLT_getskn(VLTtask_t task, int32_t whichsol, int32_t *skn);
VLTEXPORT VLTrescodee VLTAPI VLT_getxc(VLTtask_t task, int32_t whichsol, double *xc);
VLTEXPORT VLTrescodee VLTAPI VLT_getxx(VLTtask_t task, int32_t whichsol, double *xx);
VLTEXPORT VLTrescodee VLTAPI VLT_gety(VLTtask_t task, int32_t whichsol, double *y);
VLTEXPORT VLTrescodee VLTAPI VLT_getslc(VLTtask_t task, int32_t whichsol, double *slc);
VLTEXPORT VLTrescodee VLTAPI VLT_getsuc(VLTtask_t task, int32_t whichsol, double *suc);
VLTEXPORT VLTrescodee VLTAPI VLT_getslx(VLTtask_t task, int32_t whichsol, double *slx);
VLTEXPORT VLTrescodee VLTAPI VLT_getsux(VLTtask_t task, int32_t whichsol, double *sux);
VLTEXPORT VLTrescodee VLTAPI VLT_getsnx(VLTtask_t task, int32_t whichsol, double *snx);
VLTEXPORT VLTrescodee VLTAPI VLT_putskc(VLTtask_t task, int32_t whichsol, const int32_t *skc);
VLTEXPORT VLTrescodee VLTAPI VLT_putskx(VLTtask_t task, int32_t whichsol, const int32_t *skx);
VLTEXPORT VLTrescodee VLTAPI VLT_putxc(VLTtask_t task, int32_t whichsol, const double *xc);
VLTEXPORT VLTrescodee VLTAPI VLT_putxx(VLTtask_t task, int32_t whichsol, const double *xx);
VLTEXPORT VLTrescodee VLTAPI VLT_puty(VLTtask_t task, int32_t whichsol, const double *y);
VLTEXPORT VLTrescodee VLTAPI VLT_putslc(VLTtask_t task, int32_t whichsol, const double *slc);
VLTEXPORT VLTrescodee VLTAPI VLT_putsuc(VLTtask_t task, int32_t whichsol, const double *suc);
VLTEXPORT VLTrescodee VLTAPI VLT_putslx(VLTtask_t task, int32_t whichsol, const double *slx);
VLTEXPORT VLTrescodee VLTAPI VLT_putsux(VLTtask_t task, int32_t whichsol, const double *sux);
VLTEXPORT VLTrescodee VLTAPI VLT_putsnx(VLTtask_t task, int32_t whichsol, const double *snx);

/* Solution values: slices */
VLTEXPORT VLTrescodee VLTAPI VLT_getskcslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, int32_t *skc);
VLTEXPORT VLTrescodee VLTAPI VLT_getskxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, int32_t *skx);
VLTEXPORT VLTrescodee VLTAPI VLT_getxcslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, double *xc);
VLTEXPORT VLTrescodee VLTAPI VLT_getxxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, double *xx);
VLTEXPORT VLTrescodee VLTAPI VLT_getyslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, double *y);
VLTEXPORT VLTrescodee VLTAPI VLT_getslcslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, double *slc);
VLTEXPORT VLTrescodee VLTAPI VLT_getsucslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, double *suc);
VLTEXPORT VLTrescodee VLTAPI VLT_getslxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, double *slx);
VLTEXPORT VLTrescodee VLTAPI VLT_getsuxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, double *sux);
VLTEXPORT VLTrescodee VLTAPI VLT_getsnxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, double *snx);
VLTEXPORT VLTrescodee VLTAPI VLT_putskcslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const int32_t *skc);
VLTEXPORT VLTrescodee VLTAPI VLT_putskxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const int32_t *skx);
VLTEXPORT VLTrescodee VLTAPI VLT_putxcslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const double *xc);
VLTEXPORT VLTrescodee VLTAPI VLT_putxxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const double *xx);
VLTEXPORT VLTrescodee VLTAPI VLT_putyslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const double *y);
VLTEXPORT VLTrescodee VLTAPI VLT_putslcslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const double *slc);
VLTEXPORT VLTrescodee VLTAPI VLT_putsucslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const double *suc);
VLTEXPORT VLTrescodee VLTAPI VLT_putslxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const double *slx);
VLTEXPORT VLTrescodee VLTAPI VLT_putsuxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const double *sux);
VLTEXPORT VLTrescodee VLTAPI VLT_putsnxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, const double *snx);
VLTEXPORT VLTrescodee VLTAPI VLT_getsolutionslice(VLTtask_t task, int32_t whichsol, int32_t solitem, int32_t first, int32_t last, double *values);

/* Solution values: semidefinite variables */
VLTEXPORT VLTrescodee VLTAPI VLT_getbarxj(VLTtask_t task, int32_t whichsol, int32_t j, double *barxj);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarsj(VLTtask_t task, int32_t whichsol, int32_t j, double *barsj);
VLTEXPORT VLTrescodee VLTAPI VLT_putbarxj(VLTtask_t task, int32_t whichsol, int32_t j, const double *barxj);
VLTEXPORT VLTrescodee VLTAPI VLT_putbarsj(VLTtask_t task, int32_t whichsol, int32_t j, const double *barsj);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarxslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, int64_t slicesize, double *barxslice);
VLTEXPORT VLTrescodee VLTAPI VLT_getbarsslice(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, int64_t slicesize, double *barsslice);

/* Solution values: whole solutions, single items and statuses */
VLTEXPORT VLTrescodee VLTAPI VLT_getsolution(VLTtask_t task, int32_t whichsol, int32_t *problemsta, int32_t *solutionsta, int32_t *skc, int32_t *skx, int32_t *skn, double *xc, double *xx, double *y, double *slc, double *suc, double *slx, double *sux, double *snx);
VLTEXPORT VLTrescodee VLTAPI VLT_getsolutionnew(VLTtask_t task, int32_t whichsol, int32_t *problemsta, int32_t *solutionsta, int32_t *skc, int32_t *skx, int32_t *skn, double *xc, double *xx, double *y, double *slc, double *suc, double *slx, double *sux, double *snx, double *doty);
VLTEXPORT VLTrescodee VLTAPI VLT_putsolution(VLTtask_t task, int32_t whichsol, const int32_t *skc, const int32_t *skx, const int32_t *skn, const double *xc, const double *xx, const double *y, const double *slc, const double *suc, const double *slx, const double *sux, const double *snx);
VLTEXPORT VLTrescodee VLTAPI VLT_putsolutionnew(VLTtask_t task, int32_t whichsol, const int32_t *skc, const int32_t *skx, const int32_t *skn, const double *xc, const double *xx, const double *y, const double *slc, const double *suc, const double *slx, const double *sux, const double *snx, const double *doty);
VLTEXPORT VLTrescodee VLTAPI VLT_putconsolutioni(VLTtask_t task, int32_t i, int32_t whichsol, int32_t sk, double x, double sl, double su);
VLTEXPORT VLTrescodee VLTAPI VLT_putvarsolutionj(VLTtask_t task, int32_t j, int32_t whichsol, int32_t sk, double x, double sl, double su, double sn);
VLTEXPORT VLTrescodee VLTAPI VLT_putsolutionyi(VLTtask_t task, int32_t i, int32_t whichsol, double y);
VLTEXPORT VLTrescodee VLTAPI VLT_getsolsta(VLTtask_t task, int32_t whichsol, int32_t *solutionsta);
VLTEXPORT VLTrescodee VLTAPI VLT_getprosta(VLTtask_t task, int32_t whichsol, int32_t *problemsta);
VLTEXPORT VLTrescodee VLTAPI VLT_solutiondef(VLTtask_t task, int32_t whichsol, int32_t *isdef);
VLTEXPORT VLTrescodee VLTAPI VLT_getprimalobj(VLTtask_t task, int32_t whichsol, double *primalobj);
VLTEXPORT VLTrescodee VLTAPI VLT_getdualobj(VLTtask_t task, int32_t whichsol, double *dualobj);
VLTEXPORT VLTrescodee VLTAPI VLT_deletesolution(VLTtask_t task, int32_t whichsol);

/* Solution quality: violations */
VLTEXPORT VLTrescodee VLTAPI VLT_getpviolcon(VLTtask_t task, int32_t whichsol, int32_t num, const int32_t *sub, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getpviolvar(VLTtask_t task, int32_t whichsol, int32_t num, const int32_t *sub, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getpviolbarvar(VLTtask_t task, int32_t whichsol, int32_t num, const int32_t *sub, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getpviolcones(VLTtask_t task, int32_t whichsol, int32_t num, const int32_t *sub, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getpviolacc(VLTtask_t task, int32_t whichsol, int64_t numaccidx, const int64_t *accidxlist, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getpvioldjc(VLTtask_t task, int32_t whichsol, int64_t numdjcidx, const int64_t *djcidxlist, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getdviolcon(VLTtask_t task, int32_t whichsol, int32_t num, const int32_t *sub, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getdviolvar(VLTtask_t task, int32_t whichsol, int32_t num, const int32_t *sub, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getdviolbarvar(VLTtask_t task, int32_t whichsol, int32_t num, const int32_t *sub, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getdviolcones(VLTtask_t task, int32_t whichsol, int32_t num, const int32_t *sub, double *viol);
VLTEXPORT VLTrescodee VLTAPI VLT_getdviolacc(VLTtask_t task, int32_t whichsol, int64_t numaccidx, const int64_t *accidxlist, double *viol);

/* Solution quality: affine conic constraint duals and activities, reduced costs */
VLTEXPORT VLTrescodee VLTAPI VLT_getaccdoty(VLTtask_t task, int32_t whichsol, int64_t accidx, double *doty);
VLTEXPORT VLTrescodee VLTAPI VLT_getaccdotys(VLTtask_t task, int32_t whichsol, double *doty);
VLTEXPORT VLTrescodee VLTAPI VLT_putaccdoty(VLTtask_t task, int32_t whichsol, int64_t accidx, const double *doty);
VLTEXPORT VLTrescodee VLTAPI VLT_evaluateacc(VLTtask_t task, int32_t whichsol, int64_t accidx, double *activity);
VLTEXPORT VLTrescodee VLTAPI VLT_evaluateaccs(VLTtask_t task, int32_t whichsol, double *activity);
VLTEXPORT VLTrescodee VLTAPI VLT_getreducedcosts(VLTtask_t task, int32_t whichsol, int32_t first, int32_t last, double *redcosts);

/* Solution quality: summary figures and norms */
VLTEXPORT VLTrescodee VLTAPI VLT_getsolutioninfo(VLTtask_t task, int32_t whichsol, double *pobj, double *pviolcon, double *pviolvar, double *pviolbarvar, double *pviolcone, double *pviolitg, double *dobj, double *dviolcon, double *dviolvar, double *dviolbarvar, double *dviolcone);
VLTEXPORT VLTrescodee VLTAPI VLT_getsolutioninfonew(VLTtask_t task, int32_t whichsol, double *pobj, double *pviolcon, double *pviolvar, double *pviolbarvar, double *pviolcone, double *pviolacc, double *pvioldjc, double *pviolitg, double *dobj, double *dviolcon, double *dviolvar, double *dviolbarvar, double *dviolcone, double *dviolacc);
VLTEXPORT VLTrescodee VLTAPI VLT_getprimalsolutionnorms(VLTtask_t task, int32_t whichsol, double *nrmxc, double *nrmxx, double *nrmbarx);
VLTEXPORT VLTrescodee VLTAPI VLT_getdualsolutionnorms(VLTtask_t task, int32_t whichsol, double *nrmy, double *nrmslc, double *nrmsuc, double *nrmslx, double *nrmsux, double *nrmsnx, double *nrmbars);

/* Parameters */
VLTEXPORT VLTrescodee VLTAPI VLT_putintparam(VLTtask_t task, int32_t param, int32_t parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_putdouparam(VLTtask_t task, int32_t param, double parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_putstrparam(VLTtask_t task, int32_t param, const char *parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_putnaintparam(VLTtask_t task, const char *paramname, int32_t parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_putnadouparam(VLTtask_t task, const char *paramname, double parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_putnastrparam(VLTtask_t task, const char *paramname, const char *parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_putparam(VLTtask_t task, const char *parname, const char *parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_setdefaults(VLTtask_t task);
VLTEXPORT VLTrescodee VLTAPI VLT_getintparam(VLTtask_t task, int32_t param, int32_t *parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_getdouparam(VLTtask_t task, int32_t param, double *parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_getstrparamlen(VLTtask_t task, int32_t param, int32_t *len);
VLTEXPORT VLTrescodee VLTAPI VLT_getstrparam(VLTtask_t task, int32_t param, int32_t maxlen, int32_t *len, char *parvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_getnumparam(VLTtask_t task, int32_t partype, int32_t *numparam);
VLTEXPORT VLTrescodee VLTAPI VLT_isintparname(VLTtask_t task, const char *parname, int32_t *param);
VLTEXPORT VLTrescodee VLTAPI VLT_isdouparname(VLTtask_t task, const char *parname, int32_t *param);
VLTEXPORT VLTrescodee VLTAPI VLT_isstrparname(VLTtask_t task, const char *parname, int32_t *param);

/* Information items and texts of codes */
VLTEXPORT VLTrescodee VLTAPI VLT_getintinf(VLTtask_t task, int32_t whichiinf, int32_t *ivalue);
VLTEXPORT VLTrescodee VLTAPI VLT_getlintinf(VLTtask_t task, int32_t whichliinf, int64_t *ivalue);
VLTEXPORT VLTrescodee VLTAPI VLT_getdouinf(VLTtask_t task, int32_t whichdinf, double *dvalue);
VLTEXPORT VLTrescodee VLTAPI VLT_strtoconetype(VLTtask_t task, const char *str, int32_t *conetype);
VLTEXPORT VLTrescodee VLTAPI VLT_strtosk(VLTtask_t task, const char *str, int32_t *sk);

/* File input */
VLTEXPORT VLTrescodee VLTAPI VLT_readdataautoformat(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_readdataformat(VLTtask_t task, const char *filename, int32_t format, int32_t compress);
VLTEXPORT VLTrescodee VLTAPI VLT_readtask(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_readopfstring(VLTtask_t task, const char *data);
VLTEXPORT VLTrescodee VLTAPI VLT_readlpstring(VLTtask_t task, const char *data);
VLTEXPORT VLTrescodee VLTAPI VLT_readjsonstring(VLTtask_t task, const char *data);
VLTEXPORT VLTrescodee VLTAPI VLT_readptfstring(VLTtask_t task, const char *data);
VLTEXPORT VLTrescodee VLTAPI VLT_readparamfile(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_readsolution(VLTtask_t task, int32_t whichsol, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_readsolutionfile(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_readjsonsol(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_readbsolution(VLTtask_t task, const char *filename, int32_t compress);
VLTEXPORT VLTrescodee VLTAPI VLT_readsummary(VLTtask_t task, int32_t whichstream);

/* File output */
VLTEXPORT VLTrescodee VLTAPI VLT_writedata(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_writetask(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_writeparamfile(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_writesolution(VLTtask_t task, int32_t whichsol, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_writesolutionfile(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_writejsonsol(VLTtask_t task, const char *filename);
VLTEXPORT VLTrescodee VLTAPI VLT_writebsolution(VLTtask_t task, const char *filename, int32_t compress);

/* Basis solves, sensitivity, repair and infeasibility */
VLTEXPORT VLTrescodee VLTAPI VLT_initbasissolve(VLTtask_t task, int32_t *basis);
VLTEXPORT VLTrescodee VLTAPI VLT_solvewithbasis(VLTtask_t task, int32_t transp, int32_t numnz, int32_t *sub, double *val, int32_t *numnzout);
VLTEXPORT VLTrescodee VLTAPI VLT_basiscond(VLTtask_t task, double *nrmbasis, double *nrminvbasis);
VLTEXPORT VLTrescodee VLTAPI VLT_primalrepair(VLTtask_t task, const double *wlc, const double *wuc, const double *wlx, const double *wux);
VLTEXPORT VLTrescodee VLTAPI VLT_primalsensitivity(VLTtask_t task, int32_t numi, const int32_t *subi, const int32_t *marki, int32_t numj, const int32_t *subj, const int32_t *markj, double *leftpricei, double *rightpricei, double *leftrangei, double *rightrangei, double *leftpricej, double *rightpricej, double *leftrangej, double *rightrangej);
VLTEXPORT VLTrescodee VLTAPI VLT_dualsensitivity(VLTtask_t task, int32_t numj, const int32_t *subj, double *leftpricej, double *rightpricej, double *leftrangej, double *rightrangej);
VLTEXPORT VLTrescodee VLTAPI VLT_sensitivityreport(VLTtask_t task, int32_t whichstream);
VLTEXPORT VLTrescodee VLTAPI VLT_infeasibilityreport(VLTtask_t task, int32_t whichstream, int32_t whichsol);
VLTEXPORT VLTrescodee VLTAPI VLT_getinfeasiblesubproblem(VLTtask_t task, int32_t whichsol, VLTtask_t *inftask);

/* VLT_FUNCTIONS_END */

#ifdef __cplusplus
}
#endif

#endif /* VELTO_H */
