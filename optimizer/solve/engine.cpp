#include "solve/engine.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "base/error.hpp"

namespace vlt::solve {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::string item(const char* what, int64_t index) { return std::string(what) + " " + std::to_string(index); }

void check_size(size_t actual, int64_t expected, const char* what) {
    if (actual != static_cast<size_t>(expected))
        fail(VLT_RES_ERR_DIMENSION, std::string(what) + " has " + std::to_string(actual) + " entries, expected " +
                                        std::to_string(expected));
}

void check_finite(double value, const std::string& what) {
    if (std::isnan(value)) fail(VLT_RES_ERR_NAN_VALUE, what + " is NaN");
    if (std::isinf(value)) fail(VLT_RES_ERR_INF_VALUE, what + " is infinite");
}

void check_bounds(const char* what, const std::vector<int32_t>& key, const std::vector<double>& lower,
                  const std::vector<double>& upper) {
    for (size_t i = 0; i < key.size(); ++i) {
        const std::string name = item(what, int64_t(i));
        if (key[i] < VLT_BK_LO || key[i] > VLT_BK_RA)
            fail(VLT_RES_ERR_INVALID_BOUNDKEY, "invalid bound key " + std::to_string(key[i]) + " of " + name);
        if ((has_lower(key[i]) && std::isnan(lower[i])) || (has_upper(key[i]) && std::isnan(upper[i])))
            fail(VLT_RES_ERR_NAN_VALUE, "bound of " + name + " is NaN");
        if (has_lower(key[i]) && lower[i] == kInf) fail(VLT_RES_ERR_INVALID_BOUND, "lower bound of " + name + " is +infinity");
        if (has_upper(key[i]) && key[i] != VLT_BK_FX && upper[i] == -kInf)
            fail(VLT_RES_ERR_INVALID_BOUND, "upper bound of " + name + " is -infinity");
    }
}

// Column pointers: start at 0, never decrease, end at the number of entries.
void check_pointers(const std::vector<int64_t>& ptr, size_t entries, const char* what) {
    if (ptr.empty() || ptr[0] != 0) fail(VLT_RES_ERR_INVALID_PTR, std::string("the ") + what + " pointers must start at 0");
    for (size_t k = 0; k + 1 < ptr.size(); ++k)
        if (ptr[k + 1] < ptr[k]) fail(VLT_RES_ERR_INVALID_PTR, std::string("the ") + what + " pointers decrease at " + std::to_string(k));
    if (ptr.back() != static_cast<int64_t>(entries))
        fail(VLT_RES_ERR_INVALID_PTR, std::string("the last ") + what + " pointer does not match the number of entries");
}

bool is_domain(int32_t domain) {
    switch (domain) {
        case VLT_DOMAIN_R:
        case VLT_DOMAIN_RZERO:
        case VLT_DOMAIN_RPLUS:
        case VLT_DOMAIN_RMINUS:
        case VLT_DOMAIN_QUADRATIC_CONE:
        case VLT_DOMAIN_RQUADRATIC_CONE:
        case VLT_DOMAIN_PRIMAL_EXP_CONE:
        case VLT_DOMAIN_DUAL_EXP_CONE:
        case VLT_DOMAIN_PRIMAL_POWER_CONE:
        case VLT_DOMAIN_DUAL_POWER_CONE:
        case VLT_DOMAIN_SVEC_PSD_CONE:
        case VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE:
        case VLT_DOMAIN_DUAL_GEO_MEAN_CONE: return true;
        default: return false;
    }
}

void check_conic_rows(const model::ProblemData& p) {
    const int64_t rows = p.num_conic_rows();
    if (rows < 0) fail(VLT_RES_ERR_INVALID_PTR, "the conic row pointers are missing");
    check_size(p.g.size(), rows, "conic constant array");
    check_size(p.fval.size(), static_cast<int64_t>(p.fsub.size()), "conic value array");
    check_pointers(p.fptr, p.fsub.size(), "conic row");
    std::vector<int64_t> seen(size_t(p.numvar), -1);
    for (int64_t r = 0; r < rows; ++r) {
        check_finite(p.g[size_t(r)], "constant of " + item("conic row", r));
        for (int64_t k = p.fptr[size_t(r)]; k < p.fptr[size_t(r) + 1]; ++k) {
            const int32_t j = p.fsub[size_t(k)];
            if (j < 0 || j >= p.numvar)
                fail(VLT_RES_ERR_INDEX_VAR, "column index " + std::to_string(j) + " out of range in " + item("conic row", r));
            if (seen[size_t(j)] == r)
                fail(VLT_RES_ERR_DUPLICATE_INDEX, "column " + std::to_string(j) + " appears twice in " + item("conic row", r));
            seen[size_t(j)] = r;
            check_finite(p.fval[size_t(k)], "entry of column " + std::to_string(j) + " in " + item("conic row", r));
        }
    }
    int64_t total = 0;
    for (size_t c = 0; c < p.cones.size(); ++c) {
        const auto& cone = p.cones[c];
        if (!is_domain(cone.domain))
            fail(VLT_RES_ERR_INVALID_DOMAIN, "invalid domain " + std::to_string(cone.domain) + " of " + item("cone", int64_t(c)));
        if (cone.dim < 0) fail(VLT_RES_ERR_DIMENSION, item("cone", int64_t(c)) + " has a negative dimension");
        total += cone.dim;
    }
    if (total != rows) fail(VLT_RES_ERR_DIMENSION, "the cone dimensions do not add up to the number of conic rows");
}

}  // namespace

const char* to_string(EngineStatus status) {
    switch (status) {
        case EngineStatus::optimal: return "optimal";
        case EngineStatus::primal_infeasible: return "primal infeasible";
        case EngineStatus::dual_infeasible: return "dual infeasible";
        case EngineStatus::primal_or_dual_infeasible: return "primal or dual infeasible";
        case EngineStatus::time_limit: return "time limit";
        case EngineStatus::iteration_limit: return "iteration limit";
        case EngineStatus::interrupted: return "interrupted by callback";
        case EngineStatus::numerical_trouble: return "numerical trouble";
        case EngineStatus::error: return "error";
    }
    return "unknown";
}

void validate_problem(const model::ProblemData& p) {
    if (p.numcon < 0) fail(VLT_RES_ERR_NEGATIVE_COUNT, "number of constraints is negative");
    if (p.numvar < 0) fail(VLT_RES_ERR_NEGATIVE_COUNT, "number of variables is negative");
    if (p.sense != VLT_OBJECTIVE_SENSE_MINIMIZE && p.sense != VLT_OBJECTIVE_SENSE_MAXIMIZE)
        fail(VLT_RES_ERR_INVALID_OBJSENSE, "invalid objective sense " + std::to_string(p.sense));
    check_finite(p.cfix, "objective constant");
    check_size(p.c.size(), p.numvar, "objective coefficient array");
    check_size(p.bkc.size(), p.numcon, "constraint bound key array");
    check_size(p.blc.size(), p.numcon, "constraint lower bound array");
    check_size(p.buc.size(), p.numcon, "constraint upper bound array");
    check_size(p.bkx.size(), p.numvar, "variable bound key array");
    check_size(p.blx.size(), p.numvar, "variable lower bound array");
    check_size(p.bux.size(), p.numvar, "variable upper bound array");
    if (!p.vartype.empty()) check_size(p.vartype.size(), p.numvar, "variable type array");
    if (!p.semicont.empty()) check_size(p.semicont.size(), p.numvar, "semi-continuous flag array");
    check_size(p.aval.size(), static_cast<int64_t>(p.asub.size()), "matrix value array");
    check_size(p.qosubj.size(), static_cast<int64_t>(p.qosubi.size()), "quadratic column index array");
    check_size(p.qoval.size(), static_cast<int64_t>(p.qosubi.size()), "quadratic value array");

    for (int32_t j = 0; j < p.numvar; ++j) {
        check_finite(p.c[size_t(j)], "objective coefficient of variable " + std::to_string(j));
        if (!p.vartype.empty() && p.vartype[size_t(j)] != VLT_VAR_TYPE_CONT && p.vartype[size_t(j)] != VLT_VAR_TYPE_INT)
            fail(VLT_RES_ERR_INVALID_VARTYPE, "invalid type " + std::to_string(p.vartype[size_t(j)]) + " of variable " +
                                                  std::to_string(j));
    }
    check_bounds("constraint", p.bkc, p.blc, p.buc);
    check_bounds("variable", p.bkx, p.blx, p.bux);

    // All pointers are checked before any entry is read.
    if (p.aptr.size() != size_t(p.numvar) + 1)
        fail(VLT_RES_ERR_INVALID_PTR, "the column pointer array has " + std::to_string(p.aptr.size()) +
                                          " entries, expected " + std::to_string(p.numvar + 1));
    check_pointers(p.aptr, p.asub.size(), "column");
    std::vector<int32_t> seen_in_column(size_t(p.numcon), -1);
    for (int32_t j = 0; j < p.numvar; ++j)
        for (int64_t k = p.aptr[size_t(j)]; k < p.aptr[size_t(j) + 1]; ++k) {
            const int32_t i = p.asub[size_t(k)];
            if (i < 0 || i >= p.numcon)
                fail(VLT_RES_ERR_INDEX_CON, "row index " + std::to_string(i) + " out of range in column " + std::to_string(j));
            if (seen_in_column[size_t(i)] == j)
                fail(VLT_RES_ERR_DUPLICATE_INDEX, "row " + std::to_string(i) + " appears twice in column " + std::to_string(j));
            seen_in_column[size_t(i)] = j;
            check_finite(p.aval[size_t(k)], "matrix entry (" + std::to_string(i) + "," + std::to_string(j) + ")");
        }

    for (size_t k = 0; k < p.qosubi.size(); ++k) {
        const int32_t i = p.qosubi[k], j = p.qosubj[k];
        const std::string term = "quadratic term (" + std::to_string(i) + "," + std::to_string(j) + ")";
        if (i < 0 || i >= p.numvar || j < 0 || j >= p.numvar) fail(VLT_RES_ERR_INDEX_VAR, term + " out of range");
        if (i < j) fail(VLT_RES_ERR_ARGUMENT, term + " is not in the lower triangle");
        check_finite(p.qoval[k], term);
    }
    check_conic_rows(p);
}

}  // namespace vlt::solve
