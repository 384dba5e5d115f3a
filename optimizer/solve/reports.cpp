// Reports written to a chosen stream: the problem's structure and ranges, the
// quality of a solution, and the last optimizer run.
#include "solve/reports.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "core/task.hpp"
#include "solve/quality/solution_check.hpp"
#include "solve/quality/solution_figures.hpp"

namespace vlt::solve {
namespace {

// printf into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

void check_stream(int32_t whichstream) {
    if (!MessageStreams::valid(whichstream))
        fail(VLT_RES_ERR_INVALID_STREAM, "Argument whichstream = " + std::to_string(whichstream) + " is not 0 to 3");
}

// Smallest and largest magnitude of the non-zero values.
struct Range {
    double lo = INFINITY, hi = 0.0;
    int64_t count = 0;
    void add(double v) {
        double a = std::fabs(v);
        if (a == 0.0 || !std::isfinite(a)) return;
        lo = std::min(lo, a);
        hi = std::max(hi, a);
        ++count;
    }
    std::string text() const { return count ? format("[%.1e, %.1e]", lo, hi) : std::string("empty"); }
};

struct KeyCounts {
    int32_t fr = 0, lo = 0, up = 0, fx = 0, ra = 0;
    void add(int32_t bk) {
        switch (bk) {
            case VLT_BK_FR: ++fr; break;
            case VLT_BK_LO: ++lo; break;
            case VLT_BK_UP: ++up; break;
            case VLT_BK_FX: ++fx; break;
            default: ++ra;
        }
    }
};

const char* solution_name(int32_t whichsol) {
    switch (whichsol) {
        case VLT_SOL_ITR: return "Interior-point solution";
        case VLT_SOL_BAS: return "Basic solution";
        default: return "Integer solution";
    }
}

const char* prosta_name(int32_t prosta) {
    static const char* names[] = {"unknown", "primal and dual feasible", "primal feasible", "dual feasible",
                                  "primal infeasible", "dual infeasible", "primal and dual infeasible", "ill-posed",
                                  "primal infeasible or unbounded"};
    return prosta >= 0 && prosta < int32_t(std::size(names)) ? names[prosta] : "unknown";
}

const char* solsta_name(int32_t solsta) {
    static const char* names[] = {"unknown", "optimal", "primal feasible", "dual feasible",
                                  "primal and dual feasible", "primal infeasibility certificate",
                                  "dual infeasibility certificate", "primal ill-posed certificate",
                                  "dual ill-posed certificate", "integer optimal"};
    return solsta >= 0 && solsta < int32_t(std::size(names)) ? names[solsta] : "unknown";
}

using model::has_lower;
using model::has_upper;


// The largest violations of one kind of item, worst first.
struct Worst {
    size_t keep;
    std::vector<std::pair<double, long long>> items;
    explicit Worst(size_t k) : keep(k) {}
    void add(double v, long long index) {
        if (v <= 0.0) return;
        items.emplace_back(v, index);
        if (items.size() > 4 * keep) trim();
    }
    void trim() {
        std::sort(items.begin(), items.end(), [](auto& a, auto& b) { return a.first > b.first; });
        if (items.size() > keep) items.resize(keep);
    }
};

}  // namespace

void analyze_problem(Task& task, int32_t whichstream) {
    check_stream(whichstream);
    model::ProblemData d = task.problem.to_data();
    KeyCounts cons, vars;
    for (int32_t bk : d.bkc) cons.add(bk);
    for (int32_t bk : d.bkx) vars.add(bk);
    int32_t integers = 0, binaries = 0;
    for (int32_t j = 0; j < d.numvar; ++j)
        if (d.vartype[size_t(j)] == VLT_VAR_TYPE_INT) {
            ++integers;
            if (d.bkx[size_t(j)] == VLT_BK_RA && d.blx[size_t(j)] == 0.0 && d.bux[size_t(j)] == 1.0) ++binaries;
        }
    Range a, c, bc, bx, q;
    for (double v : d.aval) a.add(v);
    for (double v : d.c) c.add(v);
    for (int32_t i = 0; i < d.numcon; ++i) {
        if (has_lower(d.bkc[size_t(i)])) bc.add(d.blc[size_t(i)]);
        if (has_upper(d.bkc[size_t(i)])) bc.add(d.buc[size_t(i)]);
    }
    for (int32_t j = 0; j < d.numvar; ++j) {
        if (has_lower(d.bkx[size_t(j)])) bx.add(d.blx[size_t(j)]);
        if (has_upper(d.bkx[size_t(j)])) bx.add(d.bux[size_t(j)]);
    }
    for (double v : d.qoval) q.add(v);
    int64_t empty_columns = 0;
    for (int32_t j = 0; j < d.numvar; ++j) empty_columns += d.aptr[size_t(j) + 1] == d.aptr[size_t(j)];
    double density = d.numcon && d.numvar ? double(d.aval.size()) / (double(d.numcon) * double(d.numvar)) : 0.0;

    std::string r = "Analyzing the problem\n";
    r += format("  Objective sense        : %s\n", d.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "maximize" : "minimize");
    r += format("  Constraints            : %d (free %d, lower %d, upper %d, fixed %d, ranged %d)\n", d.numcon, cons.fr,
                cons.lo, cons.up, cons.fx, cons.ra);
    r += format("  Variables              : %d (free %d, lower %d, upper %d, fixed %d, ranged %d)\n", d.numvar, vars.fr,
                vars.lo, vars.up, vars.fx, vars.ra);
    r += format("  Integer variables      : %d (binary %d)\n", integers, binaries);
    r += format("  Matrix non-zeros       : %zu (density %.3g, empty columns %lld)\n", d.aval.size(), density,
                static_cast<long long>(empty_columns));
    r += "  Ranges of magnitudes\n";
    r += "    matrix               : " + a.text() + "\n";
    r += "    objective            : " + c.text() + format(" (constant %.6g)\n", d.cfix);
    r += "    constraint bounds    : " + bc.text() + "\n";
    r += "    variable bounds      : " + bx.text() + "\n";
    if (!d.qoval.empty()) r += "    quadratic objective  : " + q.text() + "\n";
    if (!d.qcval.empty()) {
        Range qc;
        for (double v : d.qcval) qc.add(v);
        std::vector<char> quadratic_row(size_t(d.numcon), 0);
        for (int32_t k : d.qcsubk) quadratic_row[size_t(k)] = 1;
        int64_t rows = 0;
        for (char f : quadratic_row) rows += f;
        r += "    quadratic constraints: " + qc.text() +
             format(" (%lld rows, %zu terms)\n", static_cast<long long>(rows), d.qcval.size());
    }
    if (!d.cones.empty()) {
        // Cones on variables and affine conic constraints by kind of domain,
        // with their total dimension.
        int64_t count[13] = {}, rows[13] = {};
        for (const auto& cone : d.cones) {
            size_t kind = size_t(cone.domain) < 13 ? size_t(cone.domain) : 0;
            ++count[kind];
            rows[kind] += cone.dim;
        }
        static const char* const kNames[13] = {"free", "zero", "non-negative", "non-positive", "quadratic cone",
                                                "rotated quadratic cone", "primal exponential cone",
                                                "dual exponential cone", "primal power cone", "dual power cone",
                                                "semidefinite cone", "primal geometric mean cone",
                                                "dual geometric mean cone"};
        // The cones on variables lead the conic rows, one entry per member.
        const size_t var_cones = size_t(task.problem.var_cones().num_cone());
        const int64_t member_rows = d.var_cone_rows;
        if (var_cones)
            r += format("  Cones on variables     : %zu (%lld members)\n", var_cones, static_cast<long long>(member_rows));
        r += format("  Affine conic constraints: %zu (%lld rows, %zu non-zeros)\n", d.cones.size() - var_cones,
                    static_cast<long long>(d.num_conic_rows() - member_rows), d.fval.size() - size_t(member_rows));
        for (size_t k = 0; k < 13; ++k)
            if (count[k])
                r += format("    %-22s: %lld (total dimension %lld)\n", kNames[k], static_cast<long long>(count[k]),
                            static_cast<long long>(rows[k]));
    }
    if (!d.barvar_dim.empty()) {
        // Semidefinite variables with their dimensions, and the elements of
        // their terms in the objective, the constraints and the conic rows.
        const auto [lo, hi] = std::minmax_element(d.barvar_dim.begin(), d.barvar_dim.end());
        Range bar;
        for (const auto* terms : {&d.barc, &d.bara, &d.barf})
            for (double v : terms->val) bar.add(v);
        r += format("  Semidefinite variables : %zu (dimensions %d to %d)\n", d.barvar_dim.size(), *lo, *hi);
        r += format("    elements of terms    : objective %zu, constraints %zu, conic rows %zu, range %s\n",
                    d.barc.size(), d.bara.size(), d.barf.size(), bar.text().c_str());
    }
    if (a.count && a.hi / a.lo > 1e10) r += "  Warning: the matrix coefficients span more than ten orders of magnitude.\n";
    task.streams.emit(whichstream, r);

    auto& info = task.info;
    info[VLT_IINF_ANA_PRO_NUM_CON] = d.numcon;
    info[VLT_IINF_ANA_PRO_NUM_CON_EQ] = cons.fx;
    info[VLT_IINF_ANA_PRO_NUM_CON_FR] = cons.fr;
    info[VLT_IINF_ANA_PRO_NUM_CON_LO] = cons.lo;
    info[VLT_IINF_ANA_PRO_NUM_CON_UP] = cons.up;
    info[VLT_IINF_ANA_PRO_NUM_CON_RA] = cons.ra;
    info[VLT_IINF_ANA_PRO_NUM_VAR] = d.numvar;
    info[VLT_IINF_ANA_PRO_NUM_VAR_EQ] = vars.fx;
    info[VLT_IINF_ANA_PRO_NUM_VAR_FR] = vars.fr;
    info[VLT_IINF_ANA_PRO_NUM_VAR_LO] = vars.lo;
    info[VLT_IINF_ANA_PRO_NUM_VAR_UP] = vars.up;
    info[VLT_IINF_ANA_PRO_NUM_VAR_RA] = vars.ra;
    info[VLT_IINF_ANA_PRO_NUM_VAR_INT] = integers;
    info[VLT_IINF_ANA_PRO_NUM_VAR_BIN] = binaries;
    info[VLT_IINF_ANA_PRO_NUM_VAR_CONT] = d.numvar - integers;
    info[VLT_LIINF_ANA_PRO_SCALARIZED_CONSTRAINT_MATRIX_NUM_ROWS] = d.numcon;
    info[VLT_LIINF_ANA_PRO_SCALARIZED_CONSTRAINT_MATRIX_NUM_COLUMNS] = d.numvar;
    info[VLT_LIINF_ANA_PRO_SCALARIZED_CONSTRAINT_MATRIX_NUM_NZ] = int64_t(d.aval.size());
    info[VLT_DINF_ANA_PRO_SCALARIZED_CONSTRAINT_MATRIX_DENSITY] = density;
}

std::string solution_summary_text(Task& task, int32_t whichsol) {
    model::Solutions::check_selector(whichsol);
    if (!task.solutions.defined(whichsol)) return std::string(solution_name(whichsol)) + ": undefined\n";
    const model::Problem& problem = task.problem;
    int32_t prosta = 0, solsta = 0;
    task.solutions.statuses(whichsol, &prosta, &solsta, model::solution_sizes(problem));
    const SolutionFigures f = solution_figures(task, whichsol);
    std::string r = std::string(solution_name(whichsol)) + "\n";
    r += format("  Problem status  : %s\n", prosta_name(prosta));
    r += format("  Solution status : %s\n", solsta_name(solsta));
    r += format("  Primal.  obj: %.10e    nrm: %.0e    Viol.  con: %.0e    var: %.0e", f.primal_obj,
                primal_norms(task, whichsol).xx, f.pviolcon, f.pviolvar);
    if (problem.var_cones().num_cone() > 0) r += format("    cones: %.0e", f.pviolcone);
    if (problem.conic().num_acc() > 0) r += format("    acc: %.0e", f.pviolacc);
    if (problem.disjunctive().num_djc() > 0) r += format("    djc: %.0e", f.pvioldjc);
    if (whichsol == VLT_SOL_ITG) r += format("    itg: %.0e", f.pviolitg);
    r += "\n";
    if (whichsol != VLT_SOL_ITG) {
        r += format("  Dual.    obj: %.10e    nrm: %.0e    Viol.  con: %.0e    var: %.0e", f.dual_obj,
                    dual_norms(task, whichsol).y, f.dviolcon, f.dviolvar);
        if (problem.var_cones().num_cone() > 0) r += format("    cones: %.0e", f.dviolcone);
        if (problem.conic().num_acc() > 0) r += format("    acc: %.0e", f.dviolacc);
        r += "\n";
    }
    return r;
}

void one_solution_summary(Task& task, int32_t whichstream, int32_t whichsol) {
    check_stream(whichstream);
    task.streams.emit(whichstream, solution_summary_text(task, whichsol));
}

void solution_summary(Task& task, int32_t whichstream) {
    check_stream(whichstream);
    std::string r = "Solution summary\n";
    for (int32_t sol : {VLT_SOL_ITR, VLT_SOL_BAS, VLT_SOL_ITG})
        if (task.solutions.defined(sol)) r += solution_summary_text(task, sol);
    if (r == "Solution summary\n") r += "  No solution is defined.\n";
    task.streams.emit(whichstream, r);
}

void analyze_solution(Task& task, int32_t whichstream, int32_t whichsol) {
    check_stream(whichstream);
    std::string r = solution_summary_text(task, whichsol);
    if (task.solutions.defined(whichsol)) {
        // The items whose primal violation is largest (solve/quality/solution_check.hpp).
        const model::Problem& problem = task.problem;
        SolutionCheck check(problem, task.solutions.read(whichsol, model::solution_sizes(problem)), whichsol);
        Worst cons(10), vars(10), cones(10), accs(10), djcs(10);
        for (int32_t i = 0; i < problem.num_con(); ++i) cons.add(check.constraint(i), i);
        for (int32_t j = 0; j < problem.num_var(); ++j) vars.add(check.variable(j), j);
        for (int32_t k = 0; k < problem.var_cones().num_cone(); ++k) cones.add(check.cone(k), k);
        for (int64_t k = 0; k < problem.conic().num_acc(); ++k) accs.add(check.acc(k), k);
        for (int64_t k = 0; k < problem.disjunctive().num_djc(); ++k) djcs.add(check.djc(k), k);
        bool any = false;
        for (auto [worst, noun] : {std::pair{&cons, "constraint"}, std::pair{&vars, "variable"},
                                   std::pair{&cones, "cone"}, std::pair{&accs, "affine conic constraint"},
                                   std::pair{&djcs, "disjunctive constraint"}}) {
            worst->trim();
            for (auto& [v, i] : worst->items) r += format("  %s %lld is violated by %.3e\n", noun, i, v);
            any = any || !worst->items.empty();
        }
        if (!any) r += "  No item of the problem is violated.\n";
    }
    task.streams.emit(whichstream, r);
}

void optimizer_summary(Task& task, int32_t whichstream) {
    check_stream(whichstream);
    const auto& info = task.info;
    std::string r = "Optimizer summary\n";
    r += format("  Optimizer                 -                        time: %.2f\n", info[VLT_DINF_OPTIMIZER_TIME]);
    r += format("    Interior-point          - iterations : %-10d      time: %.2f\n", info[VLT_IINF_INTPNT_ITER],
                info[VLT_DINF_INTPNT_TIME]);
    r += format("      Basis identification  - iterations : %-10lld      time: %.2f\n",
                static_cast<long long>(info[VLT_LIINF_BI_PRIMAL_ITER]), info[VLT_DINF_BI_TIME]);
    r += format("    Simplex                 - iterations : %-10lld      time: %.2f\n",
                static_cast<long long>(info[VLT_LIINF_SIMPLEX_ITER]), info[VLT_DINF_SIM_TIME]);
    r += format("    Mixed integer           - relaxations: %-10lld      time: %.2f\n",
                static_cast<long long>(info[VLT_LIINF_MIO_NUM_NODES]), info[VLT_DINF_MIO_TIME]);
    task.streams.emit(whichstream, r);
}

}  // namespace vlt::solve
