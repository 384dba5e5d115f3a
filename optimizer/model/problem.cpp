#include "model/problem.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vlt::model {

namespace {

constexpr int32_t kMaxItems = std::numeric_limits<int32_t>::max();
// Capacity hints reserve memory only up to this many items at once; beyond
// it the problem grows on demand like any vector.
constexpr int32_t kMaxReservedItems = 1 << 24;

const char* key_name(Item item) { return item == Item::Con ? "bkc" : "bkx"; }
const char* lower_name(Item item) { return item == Item::Con ? "blc" : "blx"; }
const char* upper_name(Item item) { return item == Item::Con ? "buc" : "bux"; }
const char* index_name(Item item) { return item == Item::Con ? "i" : "j"; }

void check_type(Arg arg, int32_t type) {
    if (type != VLT_VAR_TYPE_CONT && type != VLT_VAR_TYPE_INT)
        fail(VLT_RES_ERR_INVALID_VARTYPE,
             "Argument " + arg.str() + " = " + std::to_string(type) + " is not a variable type (expected 0 or 1)");
}

void check_growth(Item item, int32_t have, int32_t num) {
    check_count({"num"}, num);
    if (num > kMaxItems - have)
        fail(VLT_RES_ERR_SIZE_LIMIT, std::string("Argument num = ") + std::to_string(num) + " would make more than " +
                                         std::to_string(kMaxItems) +
                                         (item == Item::Con ? " constraints" : " variables"));
}

}  // namespace

Problem::Problem() : con_bounds_(kNewConKey, -kInf, kInf), var_bounds_(kNewVarKey, 0.0, 0.0) {}

int32_t Problem::num_int_var() const {
    return static_cast<int32_t>(std::count(var_type_.begin(), var_type_.end(), VLT_VAR_TYPE_INT));
}

// ------------------------------------------------------------------ sizes

void Problem::append_cons(int32_t num) {
    check_growth(Item::Con, num_con(), num);
    con_bounds_.reserve(num_con() + num);
    a_.add_rows(num);
    con_bounds_.append(num);
    names_.con.append(num);
}

void Problem::append_vars(int32_t num) {
    check_growth(Item::Var, num_var(), num);
    const int32_t n = num_var() + num;
    var_bounds_.reserve(n);
    var_type_.reserve(n);
    c_.reserve(n);
    a_.add_cols(num);
    var_bounds_.append(num);
    var_type_.resize(n, VLT_VAR_TYPE_CONT);
    c_.resize(n, 0.0);
    names_.var.append(num);
}

std::vector<char> Problem::keep_mask(Item item, int32_t num, const int32_t* subset) const {
    check_count({"num"}, num);
    check_present(subset, "subset", "num", num);
    check_index_list(item, "subset", num, subset, num_items(item));
    std::vector<char> keep(num_items(item), 1);
    for (int32_t k = 0; k < num; ++k) keep[subset[k]] = 0;
    return keep;
}

void Problem::remove_cons(int32_t num, const int32_t* subset) {
    std::vector<char> keep = keep_mask(Item::Con, num, subset);
    a_.remove_rows(keep);  // the only step that allocates: first
    con_bounds_.compact(keep);
    qcon_.remove_cons(keep);
    sdp_.remove_cons(keep);
    names_.con.compact(keep);
}

void Problem::remove_vars(int32_t num, const int32_t* subset) {
    std::vector<char> keep = keep_mask(Item::Var, num, subset);
    if (std::string e = var_cones_.member_error(keep); !e.empty()) fail(VLT_RES_ERR_INVALID_CONE, e);
    std::vector<int32_t> new_index(num_var());
    int32_t kept = 0;
    for (int32_t j = 0; j < num_var(); ++j) new_index[j] = keep[j] ? kept++ : -1;
    a_.remove_cols(keep);
    var_bounds_.compact(keep);
    afes_.renumber_vars(new_index);
    names_.var.compact(keep);
    size_t w = 0;
    for (size_t j = 0; j < var_type_.size(); ++j) {
        if (!keep[j]) continue;
        var_type_[w] = var_type_[j];
        c_[w] = c_[j];
        ++w;
    }
    var_type_.resize(w);
    c_.resize(w);
    qobj_.renumber(new_index);
    qcon_.renumber_vars(new_index);
    var_cones_.renumber_vars(new_index);
}

void Problem::put_max_num_con(int32_t n) {
    check_count({"maxnumcon"}, n);
    con_bounds_.reserve(std::min(n, num_con() + kMaxReservedItems));
    max_num_con_ = n;
}

void Problem::put_max_num_var(int32_t n) {
    check_count({"maxnumvar"}, n);
    const int32_t reserve = std::min(n, num_var() + kMaxReservedItems);
    var_bounds_.reserve(reserve);
    var_type_.reserve(reserve);
    c_.reserve(reserve);
    max_num_var_ = n;
}

void Problem::put_max_num_anz(int64_t n) {
    check_count({"maxnumanz"}, n);
    a_.set_max_nnz_hint(n);
}

void Problem::resize(int32_t maxnumcon, int32_t maxnumvar, int32_t maxnumcone, int64_t maxnumanz,
                     int64_t maxnumqnz) {
    check_count({"maxnumcon"}, maxnumcon);
    check_count({"maxnumvar"}, maxnumvar);
    check_count({"maxnumcone"}, maxnumcone);
    check_count({"maxnumanz"}, maxnumanz);
    check_count({"maxnumqnz"}, maxnumqnz);
    put_max_num_con(maxnumcon);
    put_max_num_var(maxnumvar);
    put_max_num_anz(maxnumanz);
    var_cones_.put_max_num_cone(maxnumcone);
    max_num_qnz_ = maxnumqnz;
}

// ----------------------------------------------------------------- bounds

void Problem::check_bound_arrays(Item item, int64_t num, const int32_t* bk, const double* bl, const double* bu,
                                 const int32_t* sub, int32_t first, bool loading) const {
    if (bk)
        for (int64_t k = 0; k < num; ++k) check_bound_key(at(key_name(item), k), bk[k]);
    if (bl)
        for (int64_t k = 0; k < num; ++k) check_not_nan(at(lower_name(item), k), bl[k]);
    if (bu)
        for (int64_t k = 0; k < num; ++k) check_not_nan(at(upper_name(item), k), bu[k]);
    const BoundSet& b = bounds(item);
    for (int64_t k = 0; k < num; ++k) {
        const int32_t i = sub ? sub[k] : first + int32_t(k);
        const double lower = bl ? bl[k] : loading ? -kInf : b.lower(i);
        const double upper = bu ? bu[k] : loading ? kInf : b.upper(i);
        const int32_t key = bk ? bk[k] : loading ? key_from_finite_sides(lower, upper) : b.key(i);
        check_bound_values(item, i, key, lower, upper);
    }
}

void Problem::put_bound(Item item, int32_t i, int32_t bk, double bl, double bu) {
    check_index(item, {index_name(item)}, i, num_items(item));
    check_bound_key({key_name(item)}, bk);
    check_not_nan({lower_name(item)}, bl);
    check_not_nan({upper_name(item)}, bu);
    check_bound_values(item, i, bk, bl, bu);
    bound_set(item).put(i, bk, bl, bu);
}

void Problem::change_bound(Item item, int32_t i, int32_t lower, int32_t finite, double value) {
    check_index(item, {index_name(item)}, i, num_items(item));
    if (finite) check_not_nan({"value"}, value);
    double v = finite ? value : (lower ? -kInf : kInf);
    bound_set(item).change(i, lower != 0, v);
}

void Problem::get_bound(Item item, int32_t i, int32_t* bk, double* bl, double* bu) const {
    check_index(item, {index_name(item)}, i, num_items(item));
    const BoundSet& b = bounds(item);
    if (bk) *bk = b.key(i);
    if (bl) *bl = b.lower(i);
    if (bu) *bu = b.upper(i);
}

void Problem::put_bound_list(Item item, int32_t num, const int32_t* sub, const int32_t* bk, const double* bl,
                             const double* bu) {
    check_count({"num"}, num);
    check_present(sub, "sub", "num", num);
    check_index_list(item, "sub", num, sub, num_items(item));
    check_bound_arrays(item, num, bk, bl, bu, sub);
    BoundSet& b = bound_set(item);
    for (int32_t k = 0; k < num; ++k) {  // in order: a repeated index ends with its last entry
        int32_t i = sub[k];
        b.put(i, bk ? bk[k] : b.key(i), bl ? bl[k] : b.lower(i), bu ? bu[k] : b.upper(i));
    }
}

void Problem::put_bound_list_const(Item item, int32_t num, const int32_t* sub, int32_t bk, double bl, double bu) {
    check_count({"num"}, num);
    check_present(sub, "sub", "num", num);
    check_index_list(item, "sub", num, sub, num_items(item));
    check_bound_key({key_name(item)}, bk);
    check_not_nan({lower_name(item)}, bl);
    check_not_nan({upper_name(item)}, bu);
    if (num > 0) check_bound_values(item, sub[0], bk, bl, bu);
    BoundSet& b = bound_set(item);
    for (int32_t k = 0; k < num; ++k) b.put(sub[k], bk, bl, bu);
}

void Problem::put_bound_slice(Item item, int32_t first, int32_t last, const int32_t* bk, const double* bl,
                              const double* bu) {
    check_slice(item, first, last, num_items(item));
    check_bound_arrays(item, last - first, bk, bl, bu, nullptr, first);
    BoundSet& b = bound_set(item);
    for (int32_t i = first; i < last; ++i) {
        int32_t k = i - first;
        b.put(i, bk ? bk[k] : b.key(i), bl ? bl[k] : b.lower(i), bu ? bu[k] : b.upper(i));
    }
}

void Problem::put_bound_slice_const(Item item, int32_t first, int32_t last, int32_t bk, double bl, double bu) {
    check_slice(item, first, last, num_items(item));
    check_bound_key({key_name(item)}, bk);
    check_not_nan({lower_name(item)}, bl);
    check_not_nan({upper_name(item)}, bu);
    if (first < last) check_bound_values(item, first, bk, bl, bu);
    BoundSet& b = bound_set(item);
    for (int32_t i = first; i < last; ++i) b.put(i, bk, bl, bu);
}

void Problem::get_bound_slice(Item item, int32_t first, int32_t last, int32_t* bk, double* bl, double* bu) const {
    check_slice(item, first, last, num_items(item));
    const BoundSet& b = bounds(item);
    const size_t n = static_cast<size_t>(last - first);
    if (n == 0) return;
    if (bk) std::memcpy(bk, b.keys().data() + first, n * sizeof(int32_t));
    if (bl) std::memcpy(bl, b.lowers().data() + first, n * sizeof(double));
    if (bu) std::memcpy(bu, b.uppers().data() + first, n * sizeof(double));
}

// --------------------------------------------------------- variable types

void Problem::put_var_type(int32_t j, int32_t type) {
    check_index(Item::Var, {"j"}, j, num_var());
    check_type({"vartype"}, type);
    var_type_[j] = type;
}

int32_t Problem::var_type(int32_t j) const {
    check_index(Item::Var, {"j"}, j, num_var());
    return var_type_[j];
}

void Problem::put_var_type_list(int32_t num, const int32_t* subj, const int32_t* type) {
    check_count({"num"}, num);
    check_present(subj, "subj", "num", num);
    check_present(type, "vartype", "num", num);
    check_index_list(Item::Var, "subj", num, subj, num_var());
    for (int32_t k = 0; k < num; ++k) check_type(at("vartype", k), type[k]);
    for (int32_t k = 0; k < num; ++k) var_type_[subj[k]] = type[k];  // a repeated index: the last entry wins
}

void Problem::get_var_type_list(int32_t num, const int32_t* subj, int32_t* type) const {
    check_count({"num"}, num);
    check_present(subj, "subj", "num", num);
    check_index_list(Item::Var, "subj", num, subj, num_var());
    if (type)
        for (int32_t k = 0; k < num; ++k) type[k] = var_type_[subj[k]];
}

// -------------------------------------------------------------- objective

void Problem::put_cfix(double cfix) {
    check_finite({"cfix"}, cfix);
    cfix_ = cfix;
}

void Problem::put_cj(int32_t j, double cj) {
    check_index(Item::Var, {"j"}, j, num_var());
    check_finite({"cj"}, cj);
    c_[j] = cj;
}

double Problem::get_cj(int32_t j) const {
    check_index(Item::Var, {"j"}, j, num_var());
    return c_[j];
}

void Problem::put_c_list(int32_t num, const int32_t* subj, const double* val) {
    check_count({"num"}, num);
    check_present(subj, "subj", "num", num);
    check_present(val, "val", "num", num);
    check_index_list(Item::Var, "subj", num, subj, num_var());
    for (int32_t k = 0; k < num; ++k) check_finite(at("val", k), val[k]);
    for (int32_t k = 0; k < num; ++k) c_[subj[k]] = val[k];  // a repeated index: the last entry wins
}

void Problem::get_c_list(int32_t num, const int32_t* subj, double* c) const {
    check_count({"num"}, num);
    check_present(subj, "subj", "num", num);
    check_index_list(Item::Var, "subj", num, subj, num_var());
    if (c)
        for (int32_t k = 0; k < num; ++k) c[k] = c_[subj[k]];
}

void Problem::put_c_slice(int32_t first, int32_t last, const double* slice) {
    check_slice(Item::Var, first, last, num_var());
    check_present(slice, "slice", "last - first", last - first);
    for (int32_t k = 0; k < last - first; ++k) check_finite(at("slice", k), slice[k]);
    std::copy(slice, slice + (last - first), c_.begin() + first);
}

void Problem::get_c_slice(int32_t first, int32_t last, double* c) const {
    check_slice(Item::Var, first, last, num_var());
    if (c) std::copy(c_.begin() + first, c_.begin() + last, c);
}

void Problem::put_sense(int32_t sense) {
    if (sense != VLT_OBJECTIVE_SENSE_MINIMIZE && sense != VLT_OBJECTIVE_SENSE_MAXIMIZE)
        fail(VLT_RES_ERR_INVALID_OBJSENSE,
             "Argument sense = " + std::to_string(sense) + " is not an objective sense (expected 0 or 1)");
    sense_ = sense;
}

int32_t Problem::problem_type() const {
    const bool quadratic = !qobj_.empty() || !qcon_.empty();
    if (cones_.num_acc() > 0 || var_cones_.num_cone() > 0 || sdp_.num_barvar() > 0)
        return quadratic ? VLT_PROBTYPE_MIXED : VLT_PROBTYPE_CONIC;
    if (!qcon_.empty()) return VLT_PROBTYPE_QCQO;
    return qobj_.empty() ? VLT_PROBTYPE_LO : VLT_PROBTYPE_QO;
}

size_t Problem::memory_bytes() const {
    return sizeof(Problem) + con_bounds_.memory_bytes() + var_bounds_.memory_bytes() +
           var_type_.capacity() * sizeof(int32_t) + c_.capacity() * sizeof(double) + a_.memory_bytes() +
           qobj_.memory_bytes() + qcon_.memory_bytes() +
           afes_.memory_bytes() + cones_.memory_bytes() + djcs_.memory_bytes() + var_cones_.memory_bytes() +
           sdp_.memory_bytes() +
           names_.con.memory_bytes() + names_.var.memory_bytes() + names_.task.capacity() +
           names_.objective.capacity();
}

std::string Problem::consistency_error() const {
    const int32_t m = num_con(), n = num_var();
    auto count = [](auto value) { return std::to_string(value); };
    if (a_.num_rows() != m) return "the matrix has " + count(a_.num_rows()) + " rows for " + count(m) + " constraints";
    if (a_.num_cols() != n) return "the matrix has " + count(a_.num_cols()) + " columns for " + count(n) + " variables";
    if (int64_t(c_.size()) != n) return "the objective has " + count(c_.size()) + " coefficients for " + count(n) + " variables";
    if (int64_t(var_type_.size()) != n) return "there are " + count(var_type_.size()) + " variable types for " + count(n) + " variables";
    if (names_.con.size() != m) return "there are " + count(names_.con.size()) + " constraint names for " + count(m) + " rows";
    if (names_.var.size() != n) return "there are " + count(names_.var.size()) + " variable names for " + count(n) + " columns";
    if (std::string e = lower_triangle_error(qobj_, n); !e.empty()) return "the quadratic objective: " + e;
    if (std::string e = qcon_.consistency_error(m, n); !e.empty()) return e;
    if (std::string e = afes_.consistency_error(n); !e.empty()) return e;
    if (std::string e = cones_.consistency_error(afes_.num_afe()); !e.empty()) return e;
    if (std::string e = djcs_.consistency_error(cones_, afes_.num_afe()); !e.empty()) return e;
    if (std::string e = var_cones_.consistency_error(n); !e.empty()) return e;
    if (std::string e = sdp_.consistency_error(m, afes_.num_afe()); !e.empty()) return e;
    return {};
}

}  // namespace vlt::model
