// The quadratic terms of Problem: argument checks that depend on the task's
// sizes, then the stores of model/quadratic.hpp.
#include <algorithm>

#include "model/problem.hpp"

namespace vlt::model {

namespace {

void check_room(const char* name, int64_t have, int64_t needed, const char* what) {
    check_count({name}, have);
    if (have < needed)
        fail(VLT_RES_ERR_BUFFER_TOO_SMALL, std::string("Argument ") + name + " = " + std::to_string(have) +
                                               " is less than the " + std::to_string(needed) + " entries of " + what);
}

QuadraticTerms terms_of(TermList list) { return {std::move(list.i), std::move(list.j), std::move(list.v)}; }

}  // namespace

void Problem::put_qobj(int32_t numqonz, const int32_t* qosubi, const int32_t* qosubj, const double* qoval) {
    TermList list = checked_terms({"numqonz", nullptr, "qosubi", "qosubj", "qoval"}, numqonz, nullptr, qosubi,
                                  qosubj, qoval, num_con(), num_var());
    qobj_ = terms_of(std::move(list));
}

void Problem::put_qobj_ij(int32_t i, int32_t j, double qoij) {
    check_index(Item::Var, {"i"}, i, num_var());
    check_index(Item::Var, {"j"}, j, num_var());
    check_finite({"qoij"}, qoij);
    qobj_.set(std::max(i, j), std::min(i, j), qoij);
}

double Problem::get_qobj_ij(int32_t i, int32_t j) const {
    check_index(Item::Var, {"i"}, i, num_var());
    check_index(Item::Var, {"j"}, j, num_var());
    return qobj_.get(std::max(i, j), std::min(i, j));
}

void Problem::get_qobj(int64_t maxnumqonz, int64_t* numqonz, int32_t* qosubi, int32_t* qosubj,
                       double* qoval) const {
    check_room("maxnumqonz", maxnumqonz, qobj_.nnz(), "the quadratic objective");
    qobj_.copy_out(qosubi, qosubj, qoval);
    if (numqonz) *numqonz = qobj_.nnz();
}

void Problem::put_qcon_k(int32_t k, int32_t numqcnz, const int32_t* qcsubi, const int32_t* qcsubj,
                         const double* qcval) {
    check_index(Item::Con, {"k"}, k, num_con());
    TermList list = checked_terms({"numqcnz", nullptr, "qcsubi", "qcsubj", "qcval"}, numqcnz, nullptr, qcsubi,
                                  qcsubj, qcval, num_con(), num_var());
    qcon_.put(k, terms_of(std::move(list)));
}

void Problem::put_qcon(int32_t numqcnz, const int32_t* qcsubk, const int32_t* qcsubi, const int32_t* qcsubj,
                       const double* qcval) {
    TermList list = checked_terms({"numqcnz", "qcsubk", "qcsubi", "qcsubj", "qcval"}, numqcnz, qcsubk, qcsubi,
                                  qcsubj, qcval, num_con(), num_var());
    qcon_.replace_all(QuadraticConstraints::grouped(std::move(list)));
}

int64_t Problem::num_qcon_k_nz(int32_t k) const {
    check_index(Item::Con, {"k"}, k, num_con());
    return qcon_.nnz(k);
}

void Problem::get_qcon_k(int32_t k, int64_t maxnumqcnz, int64_t* numqcnz, int32_t* qcsubi, int32_t* qcsubj,
                         double* qcval) const {
    check_index(Item::Con, {"k"}, k, num_con());
    const QuadraticTerms* q = qcon_.find(k);
    const int64_t nnz = q ? q->nnz() : 0;
    check_room("maxnumqcnz", maxnumqcnz, nnz, "the quadratic part of the constraint");
    if (q) q->copy_out(qcsubi, qcsubj, qcval);
    if (numqcnz) *numqcnz = nnz;
}

void Problem::put_max_num_qnz(int64_t n) {
    check_count({"maxnumqnz"}, n);
    max_num_qnz_ = n;
}

}  // namespace vlt::model
