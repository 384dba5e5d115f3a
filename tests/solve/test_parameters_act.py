"""Every parameter that the catalog says acts changes something a user can
see (the log, a file written, a status, an iteration count or the answer),
and every information item that the catalog says runs fill holds a value
after one of a few small runs.  The lists come from the catalog sources, so
a parameter or item newly marked as acting or filled needs a row here."""
import os
import random
import re
from pathlib import Path

import pytest

import velto

ROOT = Path(__file__).resolve().parents[2]
CATALOG = ROOT / "optimizer" / "params" / "param_catalog.cpp"
INFO_TABLE = ROOT / "optimizer" / "params" / "info_table.cpp"
DATA = Path(os.environ.get("VELTO_DATA_DIR") or ROOT.parent / "shared" / "data")


def catalog_rows():
    """{name: acts} for every parameter row of the catalog."""
    text = CATALOG.read_text()
    rows = re.findall(r"^\s*VLT_(?:INT|SET|ONOFF|DOU|STR)\((\w+),(.*)\),$", text, re.M)
    return {name: "NO_EFFECT(" not in rest for name, rest in rows}


def info_rows():
    """{(kind, name): filled} for every information item."""
    text = INFO_TABLE.read_text()
    rows = re.findall(r"^\s*VLT_(DINF|IINF|LIINF)(_UNDEFINED)?\((\w+)", text, re.M)
    return {(kind, name): not undefined for kind, undefined, name in rows}


# ------------------------------------------------------------------ problems

def random_lp(m, n=40, integer=False, maximize=False, seed=5):
    rnd = random.Random(seed)
    m.add_variables(n, lb=0, ub=10, obj=[rnd.uniform(1, 5) * (-1 if maximize else 1) for _ in range(n)])
    m.add_variables(1, lb=0, ub=1, obj=0.0)  # a variable the objective does not hold
    for _ in range(n // 2 + 3):
        row = {j: rnd.uniform(0.5, 3) for j in range(n) if rnd.random() < 0.4}
        m.add_constraint(row, lb=rnd.uniform(3, 9))
    if integer:
        m.set_integer(range(n))
    m.set_objective(sense="maximize" if maximize else "minimize")


def badly_scaled_lp(m):
    rnd = random.Random(3)
    n = 30
    m.add_variables(n, lb=0, ub=10, obj=[rnd.uniform(1, 5) * 10 ** rnd.randint(-3, 3) for _ in range(n)])
    for _ in range(18):
        row = {j: rnd.uniform(0.5, 3) * 10 ** rnd.randint(-4, 4) for j in range(n) if rnd.random() < 0.4}
        m.add_constraint(row, lb=rnd.uniform(3, 9))


def conic(m):
    """min t + c'x  s.t.  sum x = 1, t >= ||x - a||."""
    n = 6
    m.add_variables(n, lb=-10, ub=10, obj=[0.3, -0.2, 0.1, 0.4, -0.5, 0.2])
    m.add_variables(n + 1, lb=float("-inf"), ub=float("inf"),
                    obj=[1.0] + [0.0] * n)
    m.add_constraint({j: 1.0 for j in range(n)}, lb=1, ub=1)
    for j in range(n):  # y_j = x_j - a_j
        m.add_constraint({j: 1.0, n + 1 + j: -1.0}, lb=0.1 * j, ub=0.1 * j)
    m.add_cone([n] + [n + 1 + j for j in range(n)])


def affine_conic(m):
    """min t  s.t.  (t, x0 - 1, x1 - 2) in the quadratic cone, x0 + x1 <= 1."""
    m.add_variables(3, lb=float("-inf"), ub=float("inf"), obj=[0.0, 0.0, 1.0])
    m.add_constraint({0: 1.0, 1: 1.0}, ub=1)
    m.add_conic_constraint("quadratic", [[0, 0, 1], [1, 0, 0], [0, 1, 0]], [0, -1, -2])


def conic_mip(m):
    conic(m)
    m.set_variable_bounds(range(6), lb=-3, ub=3)
    m.set_integer(range(3))


def integer_infeasible_conic_mip(m):
    """The conic MIP with x0 + x1 = 0.5 over integers: every leaf of the
    tree is an infeasible conic problem that needs a certificate."""
    conic_mip(m)
    m.add_constraint({0: 1.0, 1: 1.0}, lb=0.5, ub=0.5)


def stalling_sdp(m):
    """An ill-posed semidefinite problem on which the interior point stops
    improving a little short of its tolerances."""
    path = DATA / "cbf" / "sdplib_hinf4.cbf.gz"
    if not path.exists():
        pytest.skip(f"{path} not found (set VELTO_DATA_DIR)")
    assert m.task.readdataautoformat_s_2(str(path)) == (0, None)


def qp(m):
    """min 0.5 x'Qx + c'x over a box and one row (the interior-point optimizer)."""
    n = 8
    m.add_variables(n, lb=-5, ub=5, obj=[(-1) ** j * (j + 1) for j in range(n)])
    m.set_quadratic_objective({(j, j): 1.0 + j for j in range(n)} | {(j + 1, j): 0.4 for j in range(n - 1)})
    m.add_constraint({j: 1.0 for j in range(n)}, lb=1)


def nearly_convex_qp(m):
    """Q with an eigenvalue of -1e-3 relative to its size: refused by the
    default convexity tolerance, taken with a looser one."""
    m.add_variables(2, lb=-1, ub=1, obj=[1.0, 1.0])
    m.set_quadratic_objective({(0, 0): 1.0, (1, 1): 1.0, (1, 0): 1.001})


def djc(m):
    """min |x - 2| style: x <= 1 or x >= 3, minimize x + 2y with y >= 2 - x."""
    m.add_variables(2, lb=0, ub=10, obj=[1.0, 2.0])
    m.add_constraint({0: 1.0, 1: 1.0}, lb=2)
    m.add_disjunction([[({0: 1.0}, "<=", 1.0)], [({0: 1.0}, ">=", 3.0)]])


def wide_djc(m):
    """A disjunction too wide for a big-M form, so branch and bound over
    disjunctions takes it: the relaxation's point at the root misses the
    terms by a little, which a loose feasibility tolerance accepts without
    branching (one node instead of three)."""
    m.add_variables(2, lb=0, ub=1e7, obj=[-1.0, 0.0])
    m.add_constraint({0: 1.0}, ub=1.0005)
    m.add_disjunction([[({0: 1.0, 1: 1.0}, "<=", 1.0)], [({0: 1.0}, ">=", 3.0)]])


def symmetric_coloring(m, colors=3):
    """Three interchangeable colours for the 11-vertex Mycielski graph of a
    5-cycle, which needs four: a tree whose size symmetry handling cuts."""
    cycle = [(v, (v + 1) % 5) for v in range(5)]
    edges = cycle + [(5 + a, b) for a, b in cycle] + [(a, 5 + b) for a, b in cycle] + [(5 + v, 10) for v in range(5)]
    m.add_variables(11 * colors, lb=0, ub=1, obj=0.0)
    for v in range(11):
        m.add_constraint({v * colors + c: 1.0 for c in range(colors)}, lb=1, ub=1)
    for a, b in edges:
        for c in range(colors):
            m.add_constraint({a * colors + c: 1.0, b * colors + c: 1.0}, ub=1)
    m.set_integer(range(11 * colors))


def infeasible_conic(m):
    """The conic problem with t <= -1: no point lies in the cone."""
    conic(m)
    m.set_variable_bounds([6], lb=-10, ub=-1)


def infeasible_qp(m):
    """The quadratic problem with a row that its box cannot reach."""
    qp(m)
    m.add_constraint({j: 1.0 + 0.1 * j for j in range(8)}, ub=-60)


def infeasible(m):
    """max x0 + x1  s.t.  x0 + x1 >= 5, x <= 1: a violation of 3 repairs it."""
    m.add_variables(2, lb=0, ub=1, obj=[1.0, 1.0])
    m.add_constraint({0: 1.0, 1: 1.0}, lb=5)
    m.set_objective(sense="maximize")


def sdp(m):
    """min <C, X>  s.t.  trace X = 1, X PSD (3 x 3): the smallest eigenvalue of C."""
    j = m.add_psd_variable(4)
    m.set_psd_objective(j, [[2, 1, 0, 0], [1, 3, 1, 0], [0, 1, 4, 1], [0, 0, 1, 5]])
    i = m.add_constraint({}, lb=1, ub=1)
    m.set_psd_coefficient(i, j, [[1, 0, 0, 0], [0, 1, 0, 0], [0, 0, 1, 0], [0, 0, 0, 1]])


PROBLEMS = {f.__name__: f for f in (badly_scaled_lp, conic, affine_conic, conic_mip, integer_infeasible_conic_mip, qp,
                                    nearly_convex_qp, djc, infeasible, infeasible_conic, infeasible_qp, sdp,
                                    stalling_sdp, wide_djc, symmetric_coloring)}
PROBLEMS.update(lp=random_lp, mip=lambda m: random_lp(m, 24, integer=True),
                mip_max=lambda m: random_lp(m, 24, integer=True, maximize=True))


# ------------------------------------------------------------------ what a user sees

# What differs between two runs alike: times and the integral of the gap over time.
TIMES = re.compile(r"(?i)[^\n]*\b(time|integral)\b[^\n]*|\d+\.\d+ ?s\b|\s+\d+\.\d\d( \(\w+\))?$", re.M)
ITEMS = ("LIInfItem.SIMPLEX_ITER", "IInfItem.INTPNT_ITER", "LIInfItem.MIO_NUM_NODES", "IInfItem.OPTIMIZER_NUM_THREADS",
         "IInfItem.MIO_NUM_INT_SOLUTIONS", "LIInfItem.BI_PRIMAL_ITER")
FILES = ("p.lp", "p.mps", "p.opf", "p.ptf", "p.sol")


def solve(problem, params, tmp_path, base=None):
    """Builds the problem, sets the base parameters and then params (names
    without prefix), solves it and writes it; returns the model and what a
    user can observe."""
    lines = []
    m = velto.Model(log=lines.append)
    PROBLEMS[problem](m)
    for name, value in list((base or {}).items()) + list(params.items()):
        assert m.task.putparam_ss_3(name, str(value)) == (0, None), (name, value)
    res = m.task.optimizetrm__1()
    seen = [res]
    for item in ITEMS:
        kind, name = item.split(".")
        getter = {"LIInfItem": m.task.getlintinf_i_2, "IInfItem": m.task.getintinf_i_2}[kind]
        seen.append(getter(getattr(getattr(velto, kind), name))[1])
    for sol in (0, 1, 2):
        if m.task.solutiondef_i_2(sol)[1]:
            seen.append((sol, m.task.getsolsta_i_2(sol)[1], round(m.task.getprimalobj_i_2(sol)[1], 6)))
    for file in FILES:
        path = tmp_path / file
        code = m.task.writesolution_is_3(0 if m.task.solutiondef_i_2(0)[1] else 1, str(path)) if file.endswith(
            ".sol") else m.task.writedata_s_2(str(path))
        seen.append((file, code, path.read_bytes() if path.exists() else None))
        if path.exists():
            path.unlink()
    seen.append(TIMES.sub("", "".join(lines)))
    return m, seen


def repair_and_report(problem, params, tmp_path, base=None):
    """An infeasible problem: its infeasibility report and its repair."""
    m, seen = solve(problem, params, tmp_path, base)
    lines = []
    m.task.set_Stream(1, lines.append)
    seen.append(m.task.infeasibilityreport_ii_3(1, 1))
    seen.append(m.task.primalrepair_OOOO_5(None, None, None, None))
    seen.extend(round(m.task.getprimalobj_i_2(sol)[1], 6) for sol in (0, 1) if m.task.solutiondef_i_2(sol)[1])
    seen.append(round(m.task.getdouinf_i_2(velto.DInfItem.PRIMAL_REPAIR_PENALTY_OBJ)[1], 9))
    seen.append(TIMES.sub("", "".join(lines)))
    return m, seen


def sensitivity(problem, params, tmp_path, base=None):
    m, seen = solve(problem, params, tmp_path, base)
    seen.append(m.task.sensitivityreport_i_2(1))
    return m, seen


SIMPLEX = {"OPTIMIZER": "DUAL_SIMPLEX"}
PRIMAL = {"OPTIMIZER": "PRIMAL_SIMPLEX"}
INTPNT = {"OPTIMIZER": "INTPNT"}
PLAIN_INTPNT = {"OPTIMIZER": "INTPNT", "INTPNT_BASIS": "NEVER"}  # no basis identification after it
# Quadratic tolerances below what double precision reaches: the run stalls
# just short of them, and the near-optimality factor decides its outcome.
BEYOND_PRECISION_QO = {"INTPNT_QO_TOL_REL_GAP": 1e-16, "INTPNT_QO_TOL_PFEAS": 1e-15, "INTPNT_QO_TOL_DFEAS": 1e-15}

# parameter (without prefix): (value, problem, how it is solved, base parameters)
ROWS = {
    # the choice of optimizer and its limits
    "OPTIMIZER": ("DUAL_SIMPLEX", "lp", solve, None),
    "INTPNT_BASIS": ("NEVER", "lp", solve, INTPNT),
    "INTPNT_MAX_ITERATIONS": (2, "lp", solve, INTPNT),
    "SIM_MAX_ITERATIONS": (2, "lp", solve, SIMPLEX),
    "OPTIMIZER_MAX_TIME": (0.0, "lp", solve, SIMPLEX),
    "PRESOLVE_USE": ("OFF", "lp", solve, SIMPLEX),
    "NUM_THREADS": (1, "lp", solve, SIMPLEX),
    "CHECK_CONVEXITY": ("NONE", "nearly_convex_qp", solve, INTPNT),
    "CHECK_CONVEXITY_REL_TOL": (0.01, "nearly_convex_qp", solve, INTPNT),
    # logging
    "LOG": (0, "lp", solve, SIMPLEX),
    "LOG_SIM": (0, "lp", solve, SIMPLEX),
    "LOG_INTPNT": (0, "lp", solve, INTPNT),
    "LOG_MIO": (0, "mip", solve, None),
    "LOG_MIO_FREQ": (1, "conic_mip", solve, None),
    "LOG_INCLUDE_SUMMARY": ("ON", "lp", solve, SIMPLEX),
    # simplex
    "SIM_PRIMAL_SELECTION": ("FULL", "lp", solve, PRIMAL),
    "SIM_DUAL_SELECTION": ("FULL", "lp", solve, SIMPLEX),
    "SIM_SCALING": ("NONE", "badly_scaled_lp", solve, SIMPLEX),
    "SIM_SOLVE_FORM": ("DUAL", "lp", solve, SIMPLEX),
    "SIM_REFACTOR_FREQ": (2, "badly_scaled_lp", solve, PRIMAL),
    "SIM_TOL_PFEAS": (1e-3, "badly_scaled_lp", solve, PRIMAL),
    "SIM_TOL_DFEAS": (1e-3, "badly_scaled_lp", solve, SIMPLEX),
    "PRESOLVE_MAX_NUM_REDUCTIONS": (0, "lp", solve, SIMPLEX),
    "PRESOLVE_TOL_AIJ": (1.0, "lp", solve, SIMPLEX),
    # interior point
    "INTPNT_SOLVE_FORM": ("DUAL", "lp", solve, INTPNT),
    "INTPNT_TOL_DFEAS": (1.0, "badly_scaled_lp", solve, PLAIN_INTPNT),
    # the engine stops at the tighter feasibility tolerance: with the dual one and the gap loose, a loose primal
    # one ends the run earlier
    "INTPNT_TOL_PFEAS": (1e-2, "lp", solve, dict(PLAIN_INTPNT, INTPNT_TOL_DFEAS=1e-2, INTPNT_TOL_REL_GAP=1e-2)),
    "INTPNT_TOL_REL_GAP": (1.0, "badly_scaled_lp", solve, PLAIN_INTPNT),
    "INTPNT_MAX_NUM_COR": (0, "conic", solve, None),
    "INTPNT_STARTING_POINT": ("CONSTANT", "conic", solve, None),
    "INTPNT_TOL_REL_STEP": (0.5, "conic", solve, None),
    "INTPNT_CO_TOL_PFEAS": (1e-14, "conic", solve, None),
    "INTPNT_CO_TOL_DFEAS": (1e-14, "conic", solve, None),
    "INTPNT_CO_TOL_REL_GAP": (1e-2, "conic", solve, None),
    "INTPNT_CO_TOL_INFEAS": (1e-2, "infeasible_conic", solve, None),
    "INTPNT_QO_TOL_PFEAS": (0.0, "qp", solve, None),
    "INTPNT_QO_TOL_DFEAS": (1e-14, "qp", solve, None),
    "INTPNT_QO_TOL_REL_GAP": (1e-2, "qp", solve, None),
    "INTPNT_QO_TOL_INFEAS": (1e-2, "infeasible_qp", solve, None),
    # NEAR_REL = 1 accepts no iterate short of the tolerances: numerical trouble instead of a near-optimal answer
    "INTPNT_CO_TOL_NEAR_REL": (1.0, "stalling_sdp", solve, None),
    "INTPNT_QO_TOL_NEAR_REL": (1.0, "qp", solve, BEYOND_PRECISION_QO),
    # node problems' certificates accepted sooner: fewer interior-point iterations in the tree
    "INTPNT_TOL_INFEAS": (0.5, "integer_infeasible_conic_mip", solve, None),
    # mixed integer
    "MIO_MODE": ("IGNORED", "mip", solve, None),
    "MIO_MAX_NUM_RELAXS": (1, "mip", solve, None),
    "MIO_MAX_NUM_SOLUTIONS": (1, "mip", solve, None),
    "MIO_MAX_NUM_BRANCHES": (1, "conic_mip", solve, None),
    "MIO_MAX_TIME": (0.0, "mip", solve, None),
    "MIO_TOL_REL_GAP": (0.5, "mip", solve, None),
    "MIO_TOL_ABS_GAP": (10.0, "mip", solve, None),
    "MIO_REL_GAP_CONST": (1e6, "conic_mip", solve, None),
    "MIO_TOL_ABS_RELAX_INT": (0.4, "mip", solve, None),
    "MIO_SEED": (7, "mip", solve, None),
    "MIO_HEURISTIC_LEVEL": (0, "conic_mip", solve, None),
    "MIO_NODE_SELECTION": ("BEST", "conic_mip", solve, {"MIO_HEURISTIC_LEVEL": 0}),
    "MIO_BRANCH_DIR": ("UP", "conic_mip", solve, {"MIO_HEURISTIC_LEVEL": 0}),
    "MIO_NODE_OPTIMIZER": ("DUAL_SIMPLEX", "conic_mip", solve, None),
    "MIO_DJC_MAX_BIGM": (0.5, "djc", solve, None),
    "MIO_TOL_FEAS": (1e-3, "wide_djc", solve, None),
    "MIO_SYMMETRY_LEVEL": (0, "symmetric_coloring", solve, None),
    "UPPER_OBJ_CUT": (1.0, "mip", solve, None),
    "UPPER_OBJ_CUT_FINITE_TRH": (0.5, "mip", solve, {"UPPER_OBJ_CUT": 1.0}),
    "LOWER_OBJ_CUT": (-1.0, "mip_max", solve, None),
    "LOWER_OBJ_CUT_FINITE_TRH": (-0.5, "mip_max", solve, {"LOWER_OBJ_CUT": -1.0}),
    # infeasibility
    "FEASREPAIR_OPTIMIZE": ("COMBINED", "infeasible", repair_and_report, SIMPLEX),
    "FEASREPAIR_TOL": (1.0, "infeasible", repair_and_report, dict(SIMPLEX, FEASREPAIR_OPTIMIZE="COMBINED")),
    "INFEAS_REPORT_LEVEL": (0, "infeasible", repair_and_report, SIMPLEX),
    "SENSITIVITY_TYPE": ("OPTIMAL_PARTITION", "lp", sensitivity, None),
    # files written
    "WRITE_DATA_FORMAT": ("LP", "lp", solve, None),
    "WRITE_COMPRESSION": ("GZIP", "lp", solve, None),
    "WRITE_PRECISION": (4, "lp", solve, None),
    "WRITE_LP_FULL_OBJ": ("OFF", "lp", solve, None),
    "WRITE_LP_LINE_WIDTH": (40, "lp", solve, None),
    "WRITE_MPS_FORMAT": ("STRICT", "lp", solve, None),
    "WRITE_MPS_INT": ("OFF", "mip", solve, None),
    "WRITE_GENERIC_NAMES": ("OFF", "conic", solve, None),
    "WRITE_IGNORE_INCOMPATIBLE_ITEMS": ("ON", "conic", solve, None),
    "OPF_WRITE_HEADER": ("OFF", "lp", solve, None),
    "OPF_WRITE_PARAMETERS": ("ON", "lp", solve, None),
    "OPF_WRITE_SOLUTIONS": ("ON", "lp", solve, None),
    "PTF_WRITE_PARAMETERS": ("ON", "lp", solve, None),
    "PTF_WRITE_SOLUTIONS": ("ON", "lp", solve, None),
    "WRITE_SOL_HEAD": ("OFF", "lp", solve, None),
    "WRITE_SOL_CONSTRAINTS": ("OFF", "lp", solve, None),
    "WRITE_SOL_VARIABLES": ("OFF", "lp", solve, None),
    "WRITE_SOL_BARVARIABLES": ("OFF", "sdp", solve, None),
    "WRITE_LP_GEN_VAR_NAME": ("v", "lp", solve, None),
    # a server that does not answer: the run fails instead of solving locally
    "REMOTE_OPTSERVER_HOST": ("127.0.0.1:9", "lp", solve, None),
}

# Acting parameters whose effect needs a server, a basis solve or a file
# read back; the tests named show it.
ELSEWHERE = {
    "BASIS_SOLVE_USE_PLUS_ONE": "tests/solve/test_basis_solves.py",
    "REMOTE_USE_COMPRESSION": "tests/remote/test_remote.py",
    "REMOTE_TIMEOUT": "tests/remote/test_remote.py",
    "REMOTE_TLS_CERT_PATH": "tests/remote/test_remote.py",
    "READ_TASK_IGNORE_PARAM": "tests/files/test_task_binary.py",
    "WRITE_TASK_INC_SOL": "tests/files/test_task_binary.py",
    "PARAM_READ_IGN_ERROR": "tests/files/test_solution_files.py",
    "MIO_CONSTRUCT_SOL": "tests/velto/test_truth.py",
    "SIM_HOTSTART": "tests/velto/test_truth.py",
    "LOG_FILE_NAME": "tests/solve/test_parameters_act.py",
}


# Acting parameters that no small run here shows, each with the reason why
# (none: every acting parameter has a row above or a test elsewhere).
NOT_SHOWN_BY_A_SMALL_RUN = {}


def owned_by_data_checks(name):
    # The data tolerances act in the checks made before a solve, which have
    # their own tests.
    return name.startswith("DATA_TOL_")


def test_every_acting_parameter_has_a_row():
    rows = catalog_rows()
    acting = {name for name, acts in rows.items() if acts and not owned_by_data_checks(name)}
    assert acting - set(ROWS) - set(ELSEWHERE) - set(NOT_SHOWN_BY_A_SMALL_RUN) == set()
    # A row for a parameter marked as having no effect is a contradiction.
    assert {name for name in ROWS if not rows[name]} == set()
    assert all(rows[name] for name in NOT_SHOWN_BY_A_SMALL_RUN)
    for name, test_file in ELSEWHERE.items():
        assert rows[name] and name in (ROOT / test_file).read_text(), name


@pytest.mark.parametrize("problem", sorted(PROBLEMS))
def test_the_observation_is_repeatable(problem, tmp_path):
    # A run is observed twice alike, so a difference below comes from the parameter.
    assert solve(problem, {}, tmp_path)[1] == solve(problem, {}, tmp_path)[1]


@pytest.mark.parametrize("name", sorted(ROWS))
def test_setting_the_parameter_changes_what_a_user_sees(name, tmp_path, monkeypatch):
    value, problem, how, base = ROWS[name]
    monkeypatch.chdir(tmp_path)
    _, default = how(problem, {}, tmp_path, base)
    _, changed = how(problem, {name: value}, tmp_path, base)
    assert changed != default


def test_log_file_holds_the_log(tmp_path):
    lines = []
    m = velto.Model(log=lines.append)
    random_lp(m)
    assert m.task.putparam_ss_3("LOG_FILE_NAME", str(tmp_path / "run.log")) == (0, None)
    assert m.task.optimizetrm__1()[0] == 0
    assert (tmp_path / "run.log").read_text() == "".join(lines) != ""


@pytest.mark.parametrize("prefix, first", [("v", "v0"), ("", "x0"), ("1a", "x0"), ("x", "x0")])
def test_generic_variable_names_take_a_prefix_that_makes_valid_names(prefix, first, tmp_path):
    m = velto.Model()
    random_lp(m)
    assert m.task.putparam_ss_3("WRITE_LP_GEN_VAR_NAME", prefix) == (0, None)
    assert m.task.writedata_s_2(str(tmp_path / "p.lp")) == (0, None)
    assert f" {first} " in (tmp_path / "p.lp").read_text()


def test_objective_cuts_keep_what_they_allow_and_cut_what_they_do_not(tmp_path):
    m, _ = solve("mip", {}, tmp_path)
    best = m.task.getprimalobj_i_2(2)[1]
    kept, _ = solve("mip", {"UPPER_OBJ_CUT": best + 1.0}, tmp_path)
    assert kept.task.getprimalobj_i_2(2)[1] == pytest.approx(best)
    optimal = m.task.getsolsta_i_2(2)[1]
    cut, _ = solve("mip", {"UPPER_OBJ_CUT": best - 1.0}, tmp_path)
    assert not cut.task.solutiondef_i_2(2)[1] or (cut.task.getsolsta_i_2(2)[1] != optimal and
                                                  cut.task.getprimalobj_i_2(2)[1] <= best - 1.0)
    maximized, _ = solve("mip_max", {"LOWER_OBJ_CUT": -best - 1.0}, tmp_path)
    assert maximized.task.getprimalobj_i_2(2)[1] == pytest.approx(-best)


# ------------------------------------------------------------------ information items

# Runs after which the filled items are read; each item must hold a value
# other than 0 after at least one of them.
RUNS = [
    ("lp", INTPNT), ("lp", dict(PRIMAL, SIM_SOLVE_FORM="DUAL")), ("lp", SIMPLEX),
    ("lp", dict(INTPNT, INTPNT_SOLVE_FORM="DUAL", INTPNT_MAX_ITERATIONS=3)),
    ("mip", {"UPPER_OBJ_CUT": 100}), ("conic", {}), ("conic_mip", {}), ("qp", {}), ("djc", {}), ("djc", {"MIO_DJC_MAX_BIGM": 0.5}), ("sdp", {}),
    ("affine_conic", {}), ("badly_scaled_lp", INTPNT),
]
# Items whose correct value after these runs is 0: no violation, no gap, no
# dense column, no refinement needed, no rotated cone, and a crossover from
# these interior points that needs no pivot.
ZERO_IS_THE_ANSWER = {"SIM_FEAS", "MIO_OBJ_ABS_GAP", "MIO_OBJ_REL_GAP", "INTPNT_FACTOR_DIM_DENSE",
                      "INTPNT_NUM_REFINEMENT_STEPS", "MIO_NUMRQCONES", "BI_PRIMAL_ITER"}
# Items that other calls than optimize fill, and the call.
BY_CALL = {"ANA_PRO_", "READ_DATA_TIME", "WRITE_DATA_TIME", "PRIMAL_REPAIR_", "SENSITIVITY_TIME", "REMOTE_TIME"}


def test_every_filled_item_holds_a_value_after_a_run(tmp_path):
    items = [(kind, name) for (kind, name), filled in info_rows().items() if filled]
    seen = {}
    for problem, params in RUNS:
        m, _ = solve(problem, params, tmp_path)
        m.task.analyzeproblem_i_2(1)
        m.task.writedata_s_2(str(tmp_path / "p.ptf"))
        m.task.readdataautoformat_s_2(str(tmp_path / "p.ptf"))
        for kind, name in items:
            enum = {"DINF": velto.DInfItem, "IINF": velto.IInfItem, "LIINF": velto.LIInfItem}[kind]
            getter = {"DINF": m.task.getdouinf_i_2, "IINF": m.task.getintinf_i_2, "LIINF": m.task.getlintinf_i_2}[kind]
            res, value = getter(getattr(enum, name))
            assert res == 0
            if value:
                seen[name] = value
    missing = [name for _, name in items
               if name not in seen and name not in ZERO_IS_THE_ANSWER and not any(name.startswith(p) for p in BY_CALL)
               and not name.startswith("SOL_")]
    assert missing == [], missing


@pytest.mark.parametrize("name", ["SIM_TOL_PFEAS", "SIM_TOL_DFEAS", "INTPNT_TOL_PFEAS", "INTPNT_TOL_DFEAS"])
def test_the_tightest_admitted_tolerance_solves(name, tmp_path):
    # The catalog admits feasibility tolerances below what the engine takes;
    # they are raised to the engine's smallest instead of failing the run.
    base = INTPNT if name.startswith("INTPNT") else SIMPLEX
    m, _ = solve("lp", {name: 1e-12}, tmp_path, base)
    assert m.task.getsolsta_i_2(0 if base is INTPNT else 1) == (0, 1)
