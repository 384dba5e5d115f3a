// Entry points: constraints, variables, bounds, variable types and task
// sizes.  Each forwards to the task's problem, which checks its arguments.
#include "api/impl.hpp"
#include "model/problem.hpp"

namespace vlt {

using model::Item;


void impl::appendcons(Task& task, int32_t num) { task.problem.append_cons(num); }
void impl::appendvars(Task& task, int32_t num) { task.problem.append_vars(num); }
void impl::removecons(Task& task, int32_t num, const int32_t* subset) { task.problem.remove_cons(num, subset); }
void impl::removevars(Task& task, int32_t num, const int32_t* subset) { task.problem.remove_vars(num, subset); }
void impl::putmaxnumcon(Task& task, int32_t maxnumcon) { task.problem.put_max_num_con(maxnumcon); }
void impl::putmaxnumvar(Task& task, int32_t maxnumvar) { task.problem.put_max_num_var(maxnumvar); }
void impl::getmaxnumcon(Task& task, int32_t* maxnumcon) { put_out(maxnumcon, task.problem.max_num_con()); }
void impl::getmaxnumvar(Task& task, int32_t* maxnumvar) { put_out(maxnumvar, task.problem.max_num_var()); }
void impl::getnumcon(Task& task, int32_t* numcon) { put_out(numcon, task.problem.num_con()); }
void impl::getnumvar(Task& task, int32_t* numvar) { put_out(numvar, task.problem.num_var()); }
void impl::getnumintvar(Task& task, int32_t* numintvar) { put_out(numintvar, task.problem.num_int_var()); }
void impl::resizetask(Task& task, int32_t maxnumcon, int32_t maxnumvar, int32_t maxnumcone, int64_t maxnumanz,
                      int64_t maxnumqnz) {
    task.problem.resize(maxnumcon, maxnumvar, maxnumcone, maxnumanz, maxnumqnz);
}

void impl::putconbound(Task& task, int32_t i, int32_t bkc, double blc, double buc) {
    task.problem.put_bound(Item::Con, i, bkc, blc, buc);
}
void impl::putvarbound(Task& task, int32_t j, int32_t bkx, double blx, double bux) {
    task.problem.put_bound(Item::Var, j, bkx, blx, bux);
}
void impl::chgconbound(Task& task, int32_t i, int32_t lower, int32_t finite, double value) {
    task.problem.change_bound(Item::Con, i, lower, finite, value);
}
void impl::chgvarbound(Task& task, int32_t j, int32_t lower, int32_t finite, double value) {
    task.problem.change_bound(Item::Var, j, lower, finite, value);
}
void impl::getconbound(Task& task, int32_t i, int32_t* bk, double* bl, double* bu) {
    task.problem.get_bound(Item::Con, i, bk, bl, bu);
}
void impl::getvarbound(Task& task, int32_t j, int32_t* bk, double* bl, double* bu) {
    task.problem.get_bound(Item::Var, j, bk, bl, bu);
}
void impl::putconboundlist(Task& task, int32_t num, const int32_t* sub, const int32_t* bkc, const double* blc,
                           const double* buc) {
    task.problem.put_bound_list(Item::Con, num, sub, bkc, blc, buc);
}
void impl::putvarboundlist(Task& task, int32_t num, const int32_t* sub, const int32_t* bkx, const double* blx,
                           const double* bux) {
    task.problem.put_bound_list(Item::Var, num, sub, bkx, blx, bux);
}
void impl::putconboundlistconst(Task& task, int32_t num, const int32_t* sub, int32_t bkc, double blc, double buc) {
    task.problem.put_bound_list_const(Item::Con, num, sub, bkc, blc, buc);
}
void impl::putvarboundlistconst(Task& task, int32_t num, const int32_t* sub, int32_t bkx, double blx, double bux) {
    task.problem.put_bound_list_const(Item::Var, num, sub, bkx, blx, bux);
}
void impl::putconboundslice(Task& task, int32_t first, int32_t last, const int32_t* bkc, const double* blc,
                            const double* buc) {
    task.problem.put_bound_slice(Item::Con, first, last, bkc, blc, buc);
}
void impl::putvarboundslice(Task& task, int32_t first, int32_t last, const int32_t* bkx, const double* blx,
                            const double* bux) {
    task.problem.put_bound_slice(Item::Var, first, last, bkx, blx, bux);
}
void impl::putconboundsliceconst(Task& task, int32_t first, int32_t last, int32_t bkc, double blc, double buc) {
    task.problem.put_bound_slice_const(Item::Con, first, last, bkc, blc, buc);
}
void impl::putvarboundsliceconst(Task& task, int32_t first, int32_t last, int32_t bkx, double blx, double bux) {
    task.problem.put_bound_slice_const(Item::Var, first, last, bkx, blx, bux);
}
void impl::getconboundslice(Task& task, int32_t first, int32_t last, int32_t* bk, double* bl, double* bu) {
    task.problem.get_bound_slice(Item::Con, first, last, bk, bl, bu);
}
void impl::getvarboundslice(Task& task, int32_t first, int32_t last, int32_t* bk, double* bl, double* bu) {
    task.problem.get_bound_slice(Item::Var, first, last, bk, bl, bu);
}

void impl::putvartype(Task& task, int32_t j, int32_t vartype) { task.problem.put_var_type(j, vartype); }
void impl::getvartype(Task& task, int32_t j, int32_t* vartype) { put_out(vartype, task.problem.var_type(j)); }
void impl::putvartypelist(Task& task, int32_t num, const int32_t* subj, const int32_t* vartype) {
    task.problem.put_var_type_list(num, subj, vartype);
}
void impl::getvartypelist(Task& task, int32_t num, const int32_t* subj, int32_t* vartype) {
    task.problem.get_var_type_list(num, subj, vartype);
}

}  // namespace vlt
