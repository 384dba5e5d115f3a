// Entry points: the linear constraint matrix, the linear objective, the
// problem type and whole linear problems.  Each forwards to the task's
// problem, which checks its arguments.
#include <limits>

#include "api/impl.hpp"
#include "model/problem.hpp"

namespace vlt {

using model::Axis;


void impl::putaij(Task& task, int32_t i, int32_t j, double aij) { task.problem.put_aij(i, j, aij); }
void impl::getaij(Task& task, int32_t i, int32_t j, double* aij) { put_out(aij, task.problem.get_aij(i, j)); }
void impl::getacolnumnz(Task& task, int32_t j, int32_t* nzj) { put_out(nzj, task.problem.line_nnz(Axis::Col, j)); }
void impl::getarownumnz(Task& task, int32_t i, int32_t* nzi) { put_out(nzi, task.problem.line_nnz(Axis::Row, i)); }
void impl::getapiecenumnz(Task& task, int32_t firsti, int32_t lasti, int32_t firstj, int32_t lastj, int32_t* numnz) {
    put_out(numnz, task.problem.piece_nnz(firsti, lasti, firstj, lastj));
}
void impl::getacolslicenumnz64(Task& task, int32_t first, int32_t last, int64_t* numnz) {
    put_out(numnz, task.problem.slice_nnz(Axis::Col, first, last));
}
void impl::getarowslicenumnz64(Task& task, int32_t first, int32_t last, int64_t* numnz) {
    put_out(numnz, task.problem.slice_nnz(Axis::Row, first, last));
}
void impl::getnumanz(Task& task, int32_t* numanz) {
    int64_t n = task.problem.nnz();
    if (n > std::numeric_limits<int32_t>::max())
        fail(VLT_RES_ERR_SIZE_LIMIT, "The matrix holds " + std::to_string(n) +
                                         " non-zeros, more than an int32 counts; use the 64-bit count");
    put_out(numanz, static_cast<int32_t>(n));
}
void impl::getnumanz64(Task& task, int64_t* numanz) { put_out(numanz, task.problem.nnz()); }
void impl::getmaxnumanz64(Task& task, int64_t* maxnumanz) { put_out(maxnumanz, task.problem.max_num_anz()); }
void impl::putmaxnumanz(Task& task, int64_t maxnumanz) { task.problem.put_max_num_anz(maxnumanz); }
void impl::putatruncatetol(Task& task, double tolzero) { task.problem.put_truncate_tol(tolzero); }
void impl::getatruncatetol(Task& task, double* tolzero) { put_out(tolzero, task.problem.truncate_tol()); }

void impl::putaijlist64(Task& task, int64_t num, const int32_t* subi, const int32_t* subj, const double* valij) {
    task.problem.put_aij_list(num, subi, subj, valij);
}
void impl::putacol(Task& task, int32_t j, int32_t nzj, const int32_t* subj, const double* valj) {
    task.problem.put_line(Axis::Col, j, nzj, subj, valj);
}
void impl::putarow(Task& task, int32_t i, int32_t nzi, const int32_t* subi, const double* vali) {
    task.problem.put_line(Axis::Row, i, nzi, subi, vali);
}
void impl::putacolslice64(Task& task, int32_t first, int32_t last, const int64_t* ptrb, const int64_t* ptre,
                          const int32_t* asub, const double* aval) {
    task.problem.put_line_slice(Axis::Col, first, last, ptrb, ptre, asub, aval);
}
void impl::putarowslice64(Task& task, int32_t first, int32_t last, const int64_t* ptrb, const int64_t* ptre,
                          const int32_t* asub, const double* aval) {
    task.problem.put_line_slice(Axis::Row, first, last, ptrb, ptre, asub, aval);
}
void impl::putacollist64(Task& task, int32_t num, const int32_t* sub, const int64_t* ptrb, const int64_t* ptre,
                         const int32_t* asub, const double* aval) {
    task.problem.put_line_list(Axis::Col, num, sub, ptrb, ptre, asub, aval);
}
void impl::putarowlist64(Task& task, int32_t num, const int32_t* sub, const int64_t* ptrb, const int64_t* ptre,
                         const int32_t* asub, const double* aval) {
    task.problem.put_line_list(Axis::Row, num, sub, ptrb, ptre, asub, aval);
}

void impl::getacol(Task& task, int32_t j, int32_t* nzj, int32_t* subj, double* valj) {
    task.problem.get_line(Axis::Col, j, nzj, subj, valj);
}
void impl::getarow(Task& task, int32_t i, int32_t* nzi, int32_t* subi, double* vali) {
    task.problem.get_line(Axis::Row, i, nzi, subi, vali);
}
void impl::getacolslice64(Task& task, int32_t first, int32_t last, int64_t maxnumnz, int64_t* ptrb, int64_t* ptre,
                          int32_t* sub, double* val) {
    task.problem.get_line_slice(Axis::Col, first, last, maxnumnz, ptrb, ptre, sub, val);
}
void impl::getarowslice64(Task& task, int32_t first, int32_t last, int64_t maxnumnz, int64_t* ptrb, int64_t* ptre,
                          int32_t* sub, double* val) {
    task.problem.get_line_slice(Axis::Row, first, last, maxnumnz, ptrb, ptre, sub, val);
}
void impl::getatrip(Task& task, int64_t maxnumnz, int32_t* subi, int32_t* subj, double* val) {
    task.problem.get_triplets(maxnumnz, subi, subj, val);
}
void impl::getacolslicetrip(Task& task, int32_t first, int32_t last, int64_t maxnumnz, int32_t* subi, int32_t* subj,
                            double* val) {
    task.problem.get_line_slice_triplets(Axis::Col, first, last, maxnumnz, subi, subj, val);
}
void impl::getarowslicetrip(Task& task, int32_t first, int32_t last, int64_t maxnumnz, int32_t* subi, int32_t* subj,
                            double* val) {
    task.problem.get_line_slice_triplets(Axis::Row, first, last, maxnumnz, subi, subj, val);
}

void impl::putcfix(Task& task, double cfix) { task.problem.put_cfix(cfix); }
void impl::getcfix(Task& task, double* cfix) { put_out(cfix, task.problem.cfix()); }
void impl::putcj(Task& task, int32_t j, double cj) { task.problem.put_cj(j, cj); }
void impl::getcj(Task& task, int32_t j, double* cj) { put_out(cj, task.problem.get_cj(j)); }
void impl::putclist(Task& task, int32_t num, const int32_t* subj, const double* val) {
    task.problem.put_c_list(num, subj, val);
}
void impl::getclist(Task& task, int32_t num, const int32_t* subj, double* c) { task.problem.get_c_list(num, subj, c); }
void impl::putcslice(Task& task, int32_t first, int32_t last, const double* slice) {
    task.problem.put_c_slice(first, last, slice);
}
void impl::getcslice(Task& task, int32_t first, int32_t last, double* c) { task.problem.get_c_slice(first, last, c); }
void impl::getc(Task& task, double* c) { task.problem.get_c_slice(0, task.problem.num_var(), c); }
void impl::putobjsense(Task& task, int32_t sense) { task.problem.put_sense(sense); }
void impl::getobjsense(Task& task, int32_t* sense) { put_out(sense, task.problem.sense()); }
void impl::getprobtype(Task& task, int32_t* probtype) { put_out(probtype, task.problem.problem_type()); }

void impl::inputdata64(Task& task, int32_t maxnumcon, int32_t maxnumvar, int32_t numcon, int32_t numvar,
                       const double* c, double cfix, const int64_t* aptrb, const int64_t* aptre, const int32_t* asub,
                       const double* aval, const int32_t* bkc, const double* blc, const double* buc,
                       const int32_t* bkx, const double* blx, const double* bux) {
    task.problem.input_data(maxnumcon, maxnumvar, numcon, numvar, c, cfix, aptrb, aptre, asub, aval, bkc, blc, buc,
                            bkx, blx, bux);
}

}  // namespace vlt
