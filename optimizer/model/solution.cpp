#include "model/solution.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "base/error.hpp"

namespace vlt::model {

namespace {

const char* solution_name(int32_t whichsol) {
    switch (whichsol) {
        case VLT_SOL_ITR: return "interior-point";
        case VLT_SOL_BAS: return "basic";
        default: return "integer";
    }
}

Item item_kind(int32_t item) { return is_con_item(item) ? Item::Con : Item::Var; }
int32_t count_of(Item item, const SolutionSizes& sizes) { return item == Item::Con ? sizes.numcon : sizes.numvar; }

bool is_status_key(int32_t key) { return key >= VLT_SK_UNK && key <= VLT_SK_INF; }

void check_status_key(Arg arg, int32_t key) {
    if (!is_status_key(key))
        fail(VLT_RES_ERR_INVALID_STAKEY,
             "Argument " + arg.str() + " = " + std::to_string(key) + " is not a status key (expected 0 to 6)");
}

void check_item(int32_t item) {
    if (item < 0 || item >= kNumSolutionItems)
        fail(VLT_RES_ERR_INVALID_ENUM,
             "Argument solitem = " + std::to_string(item) + " is not a solution item (expected 0 to 7)");
}

// An input array that must supply the items [first, last) of `count` items:
// null only when that is no item.
void check_input(const void* p, const char* name, int32_t first, int32_t last, Item item, int32_t count) {
    const bool whole = first == 0 && last == count;
    check_present(p, name, whole ? (item == Item::Con ? "numcon" : "numvar") : "last - first", int64_t(last) - first);
}

void check_keys(const char* name, const int32_t* keys, int64_t n) {
    for (int64_t k = 0; k < n; ++k) check_status_key(at(name, k), keys[k]);
}

void check_values(const char* name, const double* values, int64_t n) {
    for (int64_t k = 0; k < n; ++k) check_finite(at(name, k), values[k]);
}

template <class T>
void fit_vector(std::vector<T>& v, int32_t n, T fill) {
    v.resize(size_t(std::max(n, 0)), fill);
}

// 0.5 x'Qx of a lower triangle given once per pair.
double quadratic_term(const QuadraticTerms& q, const std::vector<double>& xx) {
    const int64_t n = int64_t(xx.size());
    double sum = 0.0;
    for (size_t k = 0; k < q.val.size(); ++k) {
        int32_t i = q.subi[k], j = q.subj[k];
        if (i < 0 || j < 0 || i >= n || j >= n) continue;
        sum += (i == j ? 0.5 : 1.0) * q.val[k] * xx[size_t(i)] * xx[size_t(j)];
    }
    return sum;
}


double bound_terms(const BoundSet& bounds, const std::vector<double>& sl, const std::vector<double>& su) {
    double sum = 0.0;
    for (int32_t i = 0; i < bounds.size(); ++i) {
        if (has_lower(bounds.key(i))) sum += sl[size_t(i)] * bounds.lower(i);
        if (has_upper(bounds.key(i))) sum -= su[size_t(i)] * bounds.upper(i);
    }
    return sum;
}

}  // namespace

SolutionSizes solution_sizes(const Problem& problem) {
    return {problem.num_con(), problem.num_var(), problem.var_cones().num_cone(), problem.conic().num_acc_rows(),
            &problem.semidefinite().dims()};
}

const char* item_name(int32_t item) {
    static const char* const names[kNumSolutionItems] = {"xc", "xx", "y", "slc", "suc", "slx", "sux", "snx"};
    return item >= 0 && item < kNumSolutionItems ? names[item] : "values";
}

void Solution::fit(const SolutionSizes& sizes) {
    fit_vector(skc, sizes.numcon, int32_t(VLT_SK_UNK));
    fit_vector(skx, sizes.numvar, int32_t(VLT_SK_UNK));
    fit_vector(skn, sizes.numcone, int32_t(VLT_SK_UNK));
    for (int32_t item = 0; item < kNumSolutionItems; ++item)
        fit_vector(values[size_t(item)], count_of(item_kind(item), sizes), 0.0);
    const size_t numbarvar = size_t(sizes.numbarvar());
    for (auto* bar : {&barx, &bars}) {
        bar->resize(numbarvar);
        for (size_t j = 0; j < numbarvar; ++j) (*bar)[j].resize(size_t(packed_length((*sizes.barvar_dims)[j])), 0.0);
    }
    doty.resize(size_t(std::max<int64_t>(sizes.numaccrows, 0)), 0.0);
}

size_t Solution::memory_bytes() const {
    size_t bytes = (skc.capacity() + skx.capacity() + skn.capacity()) * sizeof(int32_t);
    for (const auto& v : values) bytes += v.capacity() * sizeof(double);
    for (const auto* bar : {&barx, &bars})
        for (const auto& v : *bar) bytes += v.capacity() * sizeof(double);
    return bytes + doty.capacity() * sizeof(double);
}

ObjectiveValues objective_values(const Problem& problem, const Solution& solution, int32_t whichsol) {
    const auto& xx = solution.values[VLT_SOL_ITEM_XX];
    const auto& c = problem.c();
    double linear = problem.cfix();
    for (size_t j = 0; j < xx.size() && j < c.size(); ++j) linear += c[j] * xx[j];
    const double quadratic = quadratic_term(problem.quadratic_objective(), xx);

    ObjectiveValues result;
    result.primal = linear + quadratic + problem.semidefinite().objective_term(solution.barx);
    if (whichsol == VLT_SOL_ITG) {
        result.dual = result.primal;
    } else {
        const auto& v = solution.values;
        result.dual = problem.cfix() + bound_terms(problem.bounds(Item::Con), v[VLT_SOL_ITEM_SLC], v[VLT_SOL_ITEM_SUC]) +
                      bound_terms(problem.bounds(Item::Var), v[VLT_SOL_ITEM_SLX], v[VLT_SOL_ITEM_SUX]) - quadratic;
        // The Lagrangian's quadratic part: -0.5 x'(Q_0 - sum_i y_i Q_i)x.
        const auto& y = v[VLT_SOL_ITEM_Y];
        for (const auto& [i, q] : problem.quadratic_constraints().terms())
            if (size_t(i) < y.size()) result.dual += y[size_t(i)] * quadratic_term(q, xx);
        const ConicStore& accs = problem.conic();
        if (accs.num_acc_rows() > 0 && int64_t(solution.doty.size()) == accs.num_acc_rows()) {
            std::vector<double> g_minus_b(solution.doty.size());
            accs.stacked_g(problem.affine(), g_minus_b.data());
            for (size_t r = 0; r < g_minus_b.size(); ++r) result.dual -= solution.doty[r] * g_minus_b[r];
        }
    }
    return result;
}

// ------------------------------------------------------------------ Solutions

void Solutions::check_selector(int32_t whichsol) {
    if (whichsol < 0 || whichsol >= kNumSolutions)
        fail(VLT_RES_ERR_INVALID_SOLSEL, "Argument whichsol = " + std::to_string(whichsol) +
                                             " is not a solution selector (expected 0 to 2)");
}

bool Solutions::defined(int32_t whichsol) const {
    check_selector(whichsol);
    return solutions_[size_t(whichsol)].defined;
}

void Solutions::remove(int32_t whichsol) {
    check_selector(whichsol);
    solutions_[size_t(whichsol)] = Solution{};
}

const Solution& Solutions::read(int32_t whichsol, const SolutionSizes& sizes) {
    check_selector(whichsol);
    Solution& s = solutions_[size_t(whichsol)];
    if (!s.defined)
        fail(VLT_RES_ERR_SOL_UNDEFINED, std::string("The ") + solution_name(whichsol) + " solution (whichsol = " +
                                            std::to_string(whichsol) + ") is not defined");
    s.fit(sizes);
    return s;
}

Solution& Solutions::write(int32_t whichsol, const SolutionSizes& sizes) {
    check_selector(whichsol);
    Solution& s = solutions_[size_t(whichsol)];
    s.fit(sizes);
    s.defined = true;
    s.reported_primal_obj.reset();
    s.reported_dual_obj.reset();
    return s;
}

void Solutions::get_keys(int32_t whichsol, Item item, int32_t first, int32_t last, int32_t* keys,
                         const SolutionSizes& sizes) {
    check_selector(whichsol);
    check_slice(item, first, last, count_of(item, sizes));
    const Solution& s = read(whichsol, sizes);
    if (keys) std::copy(s.keys(item).begin() + first, s.keys(item).begin() + last, keys);
}

void Solutions::put_keys(int32_t whichsol, Item item, int32_t first, int32_t last, const int32_t* keys,
                         const SolutionSizes& sizes) {
    const char* name = item == Item::Con ? "skc" : "skx";
    check_selector(whichsol);
    check_slice(item, first, last, count_of(item, sizes));
    check_input(keys, name, first, last, item, count_of(item, sizes));
    check_keys(name, keys, int64_t(last) - first);
    std::copy(keys, keys + (last - first), write(whichsol, sizes).keys(item).begin() + first);
}

void Solutions::get_cone_keys(int32_t whichsol, int32_t* skn, const SolutionSizes& sizes) {
    const Solution& s = read(whichsol, sizes);
    if (skn) std::copy(s.skn.begin(), s.skn.end(), skn);
}

void Solutions::get_values(int32_t whichsol, int32_t item, int32_t first, int32_t last, double* values,
                           const SolutionSizes& sizes) {
    check_selector(whichsol);
    check_item(item);
    check_slice(item_kind(item), first, last, count_of(item_kind(item), sizes));
    const Solution& s = read(whichsol, sizes);
    if (!values) return;
    const auto& v = s.values[size_t(item)];
    std::copy(v.begin() + first, v.begin() + last, values);
}

void Solutions::put_values(int32_t whichsol, int32_t item, int32_t first, int32_t last, const double* values,
                           const SolutionSizes& sizes, const char* name) {
    check_selector(whichsol);
    check_item(item);
    const Item kind = item_kind(item);
    check_slice(kind, first, last, count_of(kind, sizes));
    check_input(values, name, first, last, kind, count_of(kind, sizes));
    check_values(name, values, int64_t(last) - first);
    Solution& s = write(whichsol, sizes);
    if (whichsol == VLT_SOL_ITG && is_dual_item(item)) return;
    std::copy(values, values + (last - first), s.values[size_t(item)].begin() + first);
}

void Solutions::get_acc_doty(int32_t whichsol, int64_t first, int64_t count, double* doty,
                             const SolutionSizes& sizes) {
    const Solution& s = read(whichsol, sizes);
    if (doty) std::copy(s.doty.begin() + first, s.doty.begin() + first + count, doty);
}

void Solutions::put_acc_doty(int32_t whichsol, int64_t first, int64_t count, const double* doty,
                             const SolutionSizes& sizes) {
    check_selector(whichsol);
    check_present(doty, "doty", "the dimension", count);
    check_values("doty", doty, count);
    Solution& s = write(whichsol, sizes);
    if (whichsol != VLT_SOL_ITG) std::copy(doty, doty + count, s.doty.begin() + first);
}

void Solutions::put_con(int32_t whichsol, int32_t i, int32_t sk, double x, double sl, double su,
                        const SolutionSizes& sizes) {
    check_selector(whichsol);
    check_index(Item::Con, {"i"}, i, sizes.numcon);
    check_status_key({"sk"}, sk);
    check_finite({"x"}, x);
    check_finite({"sl"}, sl);
    check_finite({"su"}, su);
    Solution& s = write(whichsol, sizes);
    const size_t k = size_t(i);
    s.skc[k] = sk;
    s.values[VLT_SOL_ITEM_XC][k] = x;
    if (whichsol == VLT_SOL_ITG) return;
    s.values[VLT_SOL_ITEM_SLC][k] = sl;
    s.values[VLT_SOL_ITEM_SUC][k] = su;
}

void Solutions::put_var(int32_t whichsol, int32_t j, int32_t sk, double x, double sl, double su, double sn,
                        const SolutionSizes& sizes) {
    check_selector(whichsol);
    check_index(Item::Var, {"j"}, j, sizes.numvar);
    check_status_key({"sk"}, sk);
    check_finite({"x"}, x);
    check_finite({"sl"}, sl);
    check_finite({"su"}, su);
    check_finite({"sn"}, sn);
    Solution& s = write(whichsol, sizes);
    const size_t k = size_t(j);
    s.skx[k] = sk;
    s.values[VLT_SOL_ITEM_XX][k] = x;
    if (whichsol == VLT_SOL_ITG) return;
    s.values[VLT_SOL_ITEM_SLX][k] = sl;
    s.values[VLT_SOL_ITEM_SUX][k] = su;
    s.values[VLT_SOL_ITEM_SNX][k] = sn;
}

void Solutions::put_y(int32_t whichsol, int32_t i, double y, const SolutionSizes& sizes) {
    check_selector(whichsol);
    check_index(Item::Con, {"i"}, i, sizes.numcon);
    check_finite({"y"}, y);
    Solution& s = write(whichsol, sizes);
    if (whichsol != VLT_SOL_ITG) s.values[VLT_SOL_ITEM_Y][size_t(i)] = y;
}

void Solutions::get_whole(int32_t whichsol, int32_t* prosta, int32_t* solsta, int32_t* skc, int32_t* skx,
                          int32_t* skn, double* const* values, const SolutionSizes& sizes, double* doty) {
    const Solution& s = read(whichsol, sizes);
    if (prosta) *prosta = s.prosta;
    if (solsta) *solsta = s.solsta;
    if (skc) std::copy(s.skc.begin(), s.skc.end(), skc);
    if (skx) std::copy(s.skx.begin(), s.skx.end(), skx);
    if (skn) std::copy(s.skn.begin(), s.skn.end(), skn);
    for (int32_t item = 0; item < kNumSolutionItems; ++item) {
        double* out = values[item];
        if (!out) continue;
        const auto& v = s.values[size_t(item)];
        std::copy(v.begin(), v.end(), out);
    }
    if (doty) std::copy(s.doty.begin(), s.doty.end(), doty);
}

void Solutions::put_whole(int32_t whichsol, const int32_t* skc, const int32_t* skx, const int32_t* skn,
                          const double* const* values, const SolutionSizes& sizes, const double* doty) {
    check_selector(whichsol);
    if (skc) check_keys("skc", skc, sizes.numcon);
    if (skx) check_keys("skx", skx, sizes.numvar);
    if (skn) check_keys("skn", skn, sizes.numcone);
    for (int32_t item = 0; item < kNumSolutionItems; ++item)
        if (values[item]) check_values(item_name(item), values[item], count_of(item_kind(item), sizes));
    if (doty) check_values("doty", doty, sizes.numaccrows);

    Solution& s = write(whichsol, sizes);
    if (skc) std::copy(skc, skc + sizes.numcon, s.skc.begin());
    if (skx) std::copy(skx, skx + sizes.numvar, s.skx.begin());
    if (skn) std::copy(skn, skn + sizes.numcone, s.skn.begin());
    for (int32_t item = 0; item < kNumSolutionItems; ++item) {
        const double* in = values[item];
        if (!in || (whichsol == VLT_SOL_ITG && is_dual_item(item))) continue;
        auto& v = s.values[size_t(item)];
        std::copy(in, in + v.size(), v.begin());
    }
    if (doty && whichsol != VLT_SOL_ITG) std::copy(doty, doty + s.doty.size(), s.doty.begin());
}

// ------------------------------------- semidefinite values, duals of ACCs

void Solutions::get_bar(int32_t whichsol, bool bars, int32_t j, double* values, const SolutionSizes& sizes) {
    check_selector(whichsol);
    if (j < 0 || j >= sizes.numbarvar()) fail_barvar_index({"j"}, j, sizes.numbarvar());
    const Solution& s = read(whichsol, sizes);
    const std::vector<double>& v = (bars ? s.bars : s.barx)[size_t(j)];
    if (values) std::copy(v.begin(), v.end(), values);
}

void Solutions::put_bar(int32_t whichsol, bool bars, int32_t j, const double* values, const SolutionSizes& sizes) {
    const char* name = bars ? "barsj" : "barxj";
    check_selector(whichsol);
    if (j < 0 || j >= sizes.numbarvar()) fail_barvar_index({"j"}, j, sizes.numbarvar());
    const int64_t n = packed_length((*sizes.barvar_dims)[size_t(j)]);
    check_present(values, name, "lenbarvarj", n);
    check_values(name, values, n);
    Solution& s = write(whichsol, sizes);
    if (bars && whichsol == VLT_SOL_ITG) return;
    std::copy(values, values + n, (bars ? s.bars : s.barx)[size_t(j)].begin());
}

void Solutions::get_bar_slice(int32_t whichsol, bool bars, int32_t first, int32_t last, int64_t slicesize,
                              double* values, const SolutionSizes& sizes) {
    check_selector(whichsol);
    const int32_t n = sizes.numbarvar();
    if (first < 0 || first > last || last > n)
        fail(VLT_RES_ERR_SLICE, "Arguments first = " + std::to_string(first) + ", last = " + std::to_string(last) +
                                    " do not give a slice of semidefinite variables within [0, numbarvar = " +
                                    std::to_string(n) + "]");
    int64_t needed = 0;
    for (int32_t j = first; j < last; ++j) needed += packed_length((*sizes.barvar_dims)[size_t(j)]);
    if (slicesize < needed)
        fail(VLT_RES_ERR_BUFFER_TOO_SMALL, "Argument slicesize = " + std::to_string(slicesize) + " is below the " +
                                               std::to_string(needed) + " values of the semidefinite variables " +
                                               std::to_string(first) + " to " + std::to_string(last - 1));
    const Solution& s = read(whichsol, sizes);
    if (!values) return;
    for (int32_t j = first; j < last; ++j) {
        const std::vector<double>& v = (bars ? s.bars : s.barx)[size_t(j)];
        values = std::copy(v.begin(), v.end(), values);
    }
}

void Solutions::statuses(int32_t whichsol, int32_t* prosta, int32_t* solsta, const SolutionSizes& sizes) {
    const Solution& s = read(whichsol, sizes);
    if (prosta) *prosta = s.prosta;
    if (solsta) *solsta = s.solsta;
}

ObjectiveValues Solutions::objectives(int32_t whichsol, const Problem& problem) {
    const Solution& s = read(whichsol, solution_sizes(problem));
    ObjectiveValues values = objective_values(problem, s, whichsol);
    if (s.reported_primal_obj) values.primal = *s.reported_primal_obj;
    if (s.reported_dual_obj) values.dual = *s.reported_dual_obj;
    return values;
}

void Solutions::store(int32_t whichsol, Solution solution) {
    check_selector(whichsol);
    solution.defined = true;
    if (whichsol == VLT_SOL_ITG) {
        for (int32_t item = VLT_SOL_ITEM_Y; item < kNumSolutionItems; ++item)
            std::fill(solution.values[size_t(item)].begin(), solution.values[size_t(item)].end(), 0.0);
        for (auto& v : solution.bars) std::fill(v.begin(), v.end(), 0.0);
        std::fill(solution.doty.begin(), solution.doty.end(), 0.0);
    }
    solutions_[size_t(whichsol)] = std::move(solution);
}

size_t Solutions::memory_bytes() const {
    size_t bytes = 0;
    for (const auto& s : solutions_) bytes += s.memory_bytes();
    return bytes;
}

}  // namespace vlt::model
