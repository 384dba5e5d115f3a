// The constraint-matrix part of Problem: argument checks that depend on the
// task's sizes, then the sparse matrix does the work.
#include <cmath>

#include "model/problem.hpp"

namespace vlt::model {

namespace {

Item line_item(Axis axis) { return axis == Axis::Col ? Item::Var : Item::Con; }
const char* axis_index_name(Axis axis) { return axis == Axis::Col ? "j" : "i"; }

void check_room(const char* name, int64_t have, int64_t needed, const char* what) {
    check_count({name}, have);
    if (have < needed)
        fail(VLT_RES_ERR_BUFFER_TOO_SMALL, std::string("Argument ") + name + " = " + std::to_string(have) +
                                               " is less than the " + std::to_string(needed) +
                                               " non-zeros of " + what);
}

}  // namespace

void Problem::put_aij(int32_t i, int32_t j, double aij) {
    check_index(Item::Con, {"i"}, i, num_con());
    check_index(Item::Var, {"j"}, j, num_var());
    check_finite({"aij"}, aij);
    a_.put_entries(1, &i, &j, &aij);
}

double Problem::get_aij(int32_t i, int32_t j) const {
    check_index(Item::Con, {"i"}, i, num_con());
    check_index(Item::Var, {"j"}, j, num_var());
    return a_.get(i, j);
}

void Problem::put_aij_list(int64_t num, const int32_t* subi, const int32_t* subj, const double* valij) {
    check_count({"num"}, num);
    a_.put_entries(num, subi, subj, valij);
}

void Problem::put_line(Axis axis, int32_t k, int32_t nz, const int32_t* sub, const double* val) {
    const bool col = axis == Axis::Col;
    check_index(line_item(axis), {axis_index_name(axis)}, k, num_items(line_item(axis)));
    check_count({col ? "nzj" : "nzi"}, nz);
    a_.put_line(axis, k, nz, sub, val,
                {col ? "nzj" : "nzi", nullptr, "ptrb", "ptre", col ? "subj" : "subi", col ? "valj" : "vali"});
}

void Problem::put_line_slice(Axis axis, int32_t first, int32_t last, const int64_t* ptrb, const int64_t* ptre,
                             const int32_t* asub, const double* aval) {
    check_slice(line_item(axis), first, last, num_items(line_item(axis)));
    LineBatch batch{axis, last - first, first, nullptr, ptrb, ptre, asub, aval};
    a_.put_lines(batch, {"last - first", nullptr, "ptrb", "ptre", "asub", "aval"});
}

void Problem::put_line_list(Axis axis, int32_t num, const int32_t* sub, const int64_t* ptrb, const int64_t* ptre,
                            const int32_t* asub, const double* aval) {
    check_count({"num"}, num);
    check_present(sub, "sub", "num", num);
    LineBatch batch{axis, num, 0, sub, ptrb, ptre, asub, aval};
    a_.put_lines(batch, {"num", "sub", "ptrb", "ptre", "asub", "aval"});
}

int32_t Problem::line_nnz(Axis axis, int32_t k) const {
    check_index(line_item(axis), {axis_index_name(axis)}, k, num_items(line_item(axis)));
    return a_.lines(axis).length(k);
}

int64_t Problem::slice_nnz(Axis axis, int32_t first, int32_t last) const {
    check_slice(line_item(axis), first, last, num_items(line_item(axis)));
    return a_.slice_nnz(axis, first, last);
}

int32_t Problem::piece_nnz(int32_t firsti, int32_t lasti, int32_t firstj, int32_t lastj) const {
    check_slice(Item::Con, firsti, lasti, num_con());
    check_slice(Item::Var, firstj, lastj, num_var());
    int64_t n = a_.piece_nnz(firsti, lasti, firstj, lastj);
    if (n > std::numeric_limits<int32_t>::max())
        fail(VLT_RES_ERR_SIZE_LIMIT, "The piece holds " + std::to_string(n) + " non-zeros, more than an int32 counts");
    return static_cast<int32_t>(n);
}

void Problem::get_line(Axis axis, int32_t k, int32_t* nz, int32_t* sub, double* val) const {
    check_index(line_item(axis), {axis_index_name(axis)}, k, num_items(line_item(axis)));
    const LineStore& s = a_.lines(axis);
    if (nz) *nz = s.length(k);
    a_.get_slice(axis, k, k + 1, nullptr, nullptr, sub, val);
}

void Problem::get_line_slice(Axis axis, int32_t first, int32_t last, int64_t maxnumnz, int64_t* ptrb,
                             int64_t* ptre, int32_t* sub, double* val) const {
    check_slice(line_item(axis), first, last, num_items(line_item(axis)));
    check_room("maxnumnz", maxnumnz, a_.slice_nnz(axis, first, last), "the slice");
    a_.get_slice(axis, first, last, ptrb, ptre, sub, val);
}

void Problem::get_line_slice_triplets(Axis axis, int32_t first, int32_t last, int64_t maxnumnz, int32_t* subi,
                                      int32_t* subj, double* val) const {
    check_slice(line_item(axis), first, last, num_items(line_item(axis)));
    check_room("maxnumnz", maxnumnz, a_.slice_nnz(axis, first, last), "the slice");
    a_.get_slice_triplets(axis, first, last, subi, subj, val);
}

void Problem::get_triplets(int64_t maxnumnz, int32_t* subi, int32_t* subj, double* val) const {
    check_room("maxnumnz", maxnumnz, a_.nnz(), "the matrix");
    a_.get_triplets(subi, subj, val);
}

void Problem::put_truncate_tol(double tol) {
    check_finite({"tolzero"}, tol);
    if (tol < 0)
        fail(VLT_RES_ERR_ARGUMENT, "Argument tolzero = " + std::to_string(tol) + " is negative");
    a_.set_truncate_tol(tol);
}

}  // namespace vlt::model
