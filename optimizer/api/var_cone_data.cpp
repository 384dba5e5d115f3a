// Entry points: cones on variables.  Each forwards to the task's problem,
// which checks its arguments (see model/var_cones.hpp for the rules).
#include "api/impl.hpp"
#include "model/problem.hpp"

namespace vlt {

void impl::appendcone(Task& task, int32_t ct, double conepar, int32_t nummem, const int32_t* submem) {
    task.problem.append_cone(ct, conepar, nummem, submem);
}
void impl::appendconeseq(Task& task, int32_t ct, double conepar, int32_t nummem, int32_t j) {
    task.problem.append_cone_seq(ct, conepar, nummem, j);
}
void impl::appendconesseq(Task& task, int32_t num, const int32_t* ct, const double* conepar, const int32_t* nummem,
                          int32_t j) {
    task.problem.append_cones_seq(num, ct, conepar, nummem, j);
}
void impl::putcone(Task& task, int32_t k, int32_t ct, double conepar, int32_t nummem, const int32_t* submem) {
    task.problem.put_cone(k, ct, conepar, nummem, submem);
}
void impl::removecones(Task& task, int32_t num, const int32_t* subset) { task.problem.remove_cones(num, subset); }
void impl::getconeinfo(Task& task, int32_t k, int32_t* ct, double* conepar, int32_t* nummem) {
    task.problem.var_cones().get_cone_info(k, ct, conepar, nummem);
}
void impl::getcone(Task& task, int32_t k, int32_t* ct, double* conepar, int32_t* nummem, int32_t* submem) {
    task.problem.var_cones().get_cone(k, ct, conepar, nummem, submem);
}
void impl::getnumcone(Task& task, int32_t* numcone) { put_out(numcone, task.problem.var_cones().num_cone()); }
void impl::getnumconemem(Task& task, int32_t k, int32_t* nummem) {
    put_out(nummem, task.problem.var_cones().num_cone_mem(k));
}
void impl::putmaxnumcone(Task& task, int32_t maxnumcone) { task.problem.put_max_num_cone(maxnumcone); }
void impl::getmaxnumcone(Task& task, int32_t* maxnumcone) {
    put_out(maxnumcone, task.problem.var_cones().max_num_cone());
}

}  // namespace vlt
