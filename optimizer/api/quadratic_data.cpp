// Entry points: the quadratic terms of the objective and of the
// constraints, and the capacity for them.  Each forwards to the task's
// problem, which checks its arguments (see model/quadratic.hpp for which
// triplets are accepted).
#include "api/impl.hpp"
#include "model/problem.hpp"

namespace vlt {


void impl::putqobj(Task& task, int32_t numqonz, const int32_t* qosubi, const int32_t* qosubj, const double* qoval) {
    task.problem.put_qobj(numqonz, qosubi, qosubj, qoval);
}
void impl::putqobjij(Task& task, int32_t i, int32_t j, double qoij) { task.problem.put_qobj_ij(i, j, qoij); }
void impl::getqobjij(Task& task, int32_t i, int32_t j, double* qoij) { put_out(qoij, task.problem.get_qobj_ij(i, j)); }
void impl::getnumqobjnz64(Task& task, int64_t* numqonz) { put_out(numqonz, task.problem.num_qobj_nz()); }
void impl::getqobj64(Task& task, int64_t maxnumqonz, int64_t* numqonz, int32_t* qosubi, int32_t* qosubj,
                     double* qoval) {
    task.problem.get_qobj(maxnumqonz, numqonz, qosubi, qosubj, qoval);
}

void impl::putqconk(Task& task, int32_t k, int32_t numqcnz, const int32_t* qcsubi, const int32_t* qcsubj,
                    const double* qcval) {
    task.problem.put_qcon_k(k, numqcnz, qcsubi, qcsubj, qcval);
}
void impl::putqcon(Task& task, int32_t numqcnz, const int32_t* qcsubk, const int32_t* qcsubi, const int32_t* qcsubj,
                   const double* qcval) {
    task.problem.put_qcon(numqcnz, qcsubk, qcsubi, qcsubj, qcval);
}
void impl::getnumqconknz64(Task& task, int32_t k, int64_t* numqcnz) {
    put_out(numqcnz, task.problem.num_qcon_k_nz(k));
}
void impl::getqconk64(Task& task, int32_t k, int64_t maxnumqcnz, int64_t* numqcnz, int32_t* qcsubi, int32_t* qcsubj,
                      double* qcval) {
    task.problem.get_qcon_k(k, maxnumqcnz, numqcnz, qcsubi, qcsubj, qcval);
}

void impl::putmaxnumqnz(Task& task, int64_t maxnumqnz) { task.problem.put_max_num_qnz(maxnumqnz); }
void impl::getmaxnumqnz64(Task& task, int64_t* maxnumqnz) { put_out(maxnumqnz, task.problem.max_num_qnz()); }

}  // namespace vlt
