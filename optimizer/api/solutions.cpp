// Entry points: the values of the task's solutions.  Each forwards to the
// task's solutions (model/solution.hpp, which documents the choices: sizes
// that follow the problem, undefined solutions, the integer solution's
// duals), sized by the task's problem.
#include "api/impl.hpp"
#include "model/solution.hpp"

namespace vlt {

using model::Item;

namespace {

model::SolutionSizes sizes(const Task& task) { return model::solution_sizes(task.problem); }
int32_t count(const Task& task, int32_t item) {
    return model::is_con_item(item) ? task.problem.num_con() : task.problem.num_var();
}

void get_vector(Task& task, int32_t whichsol, int32_t item, double* out) {
    task.solutions.get_values(whichsol, item, 0, count(task, item), out, sizes(task));
}
void put_vector(Task& task, int32_t whichsol, int32_t item, const double* in) {
    task.solutions.put_values(whichsol, item, 0, count(task, item), in, sizes(task), model::item_name(item));
}
void get_slice(Task& task, int32_t whichsol, int32_t item, int32_t first, int32_t last, double* out) {
    task.solutions.get_values(whichsol, item, first, last, out, sizes(task));
}
void put_slice(Task& task, int32_t whichsol, int32_t item, int32_t first, int32_t last, const double* in) {
    task.solutions.put_values(whichsol, item, first, last, in, sizes(task), model::item_name(item));
}

}  // namespace

// ------------------------------------------------------------ status keys

void impl::getskc(Task& task, int32_t whichsol, int32_t* skc) {
    task.solutions.get_keys(whichsol, Item::Con, 0, task.problem.num_con(), skc, sizes(task));
}
void impl::getskx(Task& task, int32_t whichsol, int32_t* skx) {
    task.solutions.get_keys(whichsol, Item::Var, 0, task.problem.num_var(), skx, sizes(task));
}
void impl::getskn(Task& task, int32_t whichsol, int32_t* skn) { task.solutions.get_cone_keys(whichsol, skn, sizes(task)); }
void impl::putskc(Task& task, int32_t whichsol, const int32_t* skc) {
    task.solutions.put_keys(whichsol, Item::Con, 0, task.problem.num_con(), skc, sizes(task));
}
void impl::putskx(Task& task, int32_t whichsol, const int32_t* skx) {
    task.solutions.put_keys(whichsol, Item::Var, 0, task.problem.num_var(), skx, sizes(task));
}
void impl::getskcslice(Task& task, int32_t whichsol, int32_t first, int32_t last, int32_t* skc) {
    task.solutions.get_keys(whichsol, Item::Con, first, last, skc, sizes(task));
}
void impl::getskxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, int32_t* skx) {
    task.solutions.get_keys(whichsol, Item::Var, first, last, skx, sizes(task));
}
void impl::putskcslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const int32_t* skc) {
    task.solutions.put_keys(whichsol, Item::Con, first, last, skc, sizes(task));
}
void impl::putskxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const int32_t* skx) {
    task.solutions.put_keys(whichsol, Item::Var, first, last, skx, sizes(task));
}

// ------------------------------------------------------- whole value vectors

void impl::getxc(Task& task, int32_t whichsol, double* xc) { get_vector(task, whichsol, VLT_SOL_ITEM_XC, xc); }
void impl::getxx(Task& task, int32_t whichsol, double* xx) { get_vector(task, whichsol, VLT_SOL_ITEM_XX, xx); }
void impl::gety(Task& task, int32_t whichsol, double* y) { get_vector(task, whichsol, VLT_SOL_ITEM_Y, y); }
void impl::getslc(Task& task, int32_t whichsol, double* slc) { get_vector(task, whichsol, VLT_SOL_ITEM_SLC, slc); }
void impl::getsuc(Task& task, int32_t whichsol, double* suc) { get_vector(task, whichsol, VLT_SOL_ITEM_SUC, suc); }
void impl::getslx(Task& task, int32_t whichsol, double* slx) { get_vector(task, whichsol, VLT_SOL_ITEM_SLX, slx); }
void impl::getsux(Task& task, int32_t whichsol, double* sux) { get_vector(task, whichsol, VLT_SOL_ITEM_SUX, sux); }
void impl::getsnx(Task& task, int32_t whichsol, double* snx) { get_vector(task, whichsol, VLT_SOL_ITEM_SNX, snx); }
void impl::putxc(Task& task, int32_t whichsol, const double* xc) { put_vector(task, whichsol, VLT_SOL_ITEM_XC, xc); }
void impl::putxx(Task& task, int32_t whichsol, const double* xx) { put_vector(task, whichsol, VLT_SOL_ITEM_XX, xx); }
void impl::puty(Task& task, int32_t whichsol, const double* y) { put_vector(task, whichsol, VLT_SOL_ITEM_Y, y); }
void impl::putslc(Task& task, int32_t whichsol, const double* slc) { put_vector(task, whichsol, VLT_SOL_ITEM_SLC, slc); }
void impl::putsuc(Task& task, int32_t whichsol, const double* suc) { put_vector(task, whichsol, VLT_SOL_ITEM_SUC, suc); }
void impl::putslx(Task& task, int32_t whichsol, const double* slx) { put_vector(task, whichsol, VLT_SOL_ITEM_SLX, slx); }
void impl::putsux(Task& task, int32_t whichsol, const double* sux) { put_vector(task, whichsol, VLT_SOL_ITEM_SUX, sux); }
void impl::putsnx(Task& task, int32_t whichsol, const double* snx) { put_vector(task, whichsol, VLT_SOL_ITEM_SNX, snx); }

// ------------------------------------------------------------ value slices

void impl::getxcslice(Task& task, int32_t whichsol, int32_t first, int32_t last, double* xc) {
    get_slice(task, whichsol, VLT_SOL_ITEM_XC, first, last, xc);
}
void impl::getxxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, double* xx) {
    get_slice(task, whichsol, VLT_SOL_ITEM_XX, first, last, xx);
}
void impl::getyslice(Task& task, int32_t whichsol, int32_t first, int32_t last, double* y) {
    get_slice(task, whichsol, VLT_SOL_ITEM_Y, first, last, y);
}
void impl::getslcslice(Task& task, int32_t whichsol, int32_t first, int32_t last, double* slc) {
    get_slice(task, whichsol, VLT_SOL_ITEM_SLC, first, last, slc);
}
void impl::getsucslice(Task& task, int32_t whichsol, int32_t first, int32_t last, double* suc) {
    get_slice(task, whichsol, VLT_SOL_ITEM_SUC, first, last, suc);
}
void impl::getslxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, double* slx) {
    get_slice(task, whichsol, VLT_SOL_ITEM_SLX, first, last, slx);
}
void impl::getsuxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, double* sux) {
    get_slice(task, whichsol, VLT_SOL_ITEM_SUX, first, last, sux);
}
void impl::getsnxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, double* snx) {
    get_slice(task, whichsol, VLT_SOL_ITEM_SNX, first, last, snx);
}
void impl::putxcslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const double* xc) {
    put_slice(task, whichsol, VLT_SOL_ITEM_XC, first, last, xc);
}
void impl::putxxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const double* xx) {
    put_slice(task, whichsol, VLT_SOL_ITEM_XX, first, last, xx);
}
void impl::putyslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const double* y) {
    put_slice(task, whichsol, VLT_SOL_ITEM_Y, first, last, y);
}
void impl::putslcslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const double* slc) {
    put_slice(task, whichsol, VLT_SOL_ITEM_SLC, first, last, slc);
}
void impl::putsucslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const double* suc) {
    put_slice(task, whichsol, VLT_SOL_ITEM_SUC, first, last, suc);
}
void impl::putslxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const double* slx) {
    put_slice(task, whichsol, VLT_SOL_ITEM_SLX, first, last, slx);
}
void impl::putsuxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const double* sux) {
    put_slice(task, whichsol, VLT_SOL_ITEM_SUX, first, last, sux);
}
void impl::putsnxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, const double* snx) {
    put_slice(task, whichsol, VLT_SOL_ITEM_SNX, first, last, snx);
}
void impl::getsolutionslice(Task& task, int32_t whichsol, int32_t solitem, int32_t first, int32_t last,
                            double* values) {
    task.solutions.get_values(whichsol, solitem, first, last, values, sizes(task));
}

// ------------------------------------------------- whole solutions, items

void impl::getsolution(Task& task, int32_t whichsol, int32_t* problemsta, int32_t* solutionsta, int32_t* skc,
                       int32_t* skx, int32_t* skn, double* xc, double* xx, double* y, double* slc, double* suc,
                       double* slx, double* sux, double* snx) {
    double* const values[model::kNumSolutionItems] = {xc, xx, y, slc, suc, slx, sux, snx};
    task.solutions.get_whole(whichsol, problemsta, solutionsta, skc, skx, skn, values, sizes(task));
}
void impl::putsolution(Task& task, int32_t whichsol, const int32_t* skc, const int32_t* skx, const int32_t* skn,
                       const double* xc, const double* xx, const double* y, const double* slc, const double* suc,
                       const double* slx, const double* sux, const double* snx) {
    const double* const values[model::kNumSolutionItems] = {xc, xx, y, slc, suc, slx, sux, snx};
    task.solutions.put_whole(whichsol, skc, skx, skn, values, sizes(task));
}
void impl::getsolutionnew(Task& task, int32_t whichsol, int32_t* problemsta, int32_t* solutionsta, int32_t* skc,
                          int32_t* skx, int32_t* skn, double* xc, double* xx, double* y, double* slc, double* suc,
                          double* slx, double* sux, double* snx, double* doty) {
    double* const values[model::kNumSolutionItems] = {xc, xx, y, slc, suc, slx, sux, snx};
    task.solutions.get_whole(whichsol, problemsta, solutionsta, skc, skx, skn, values, sizes(task), doty);
}
void impl::putsolutionnew(Task& task, int32_t whichsol, const int32_t* skc, const int32_t* skx, const int32_t* skn,
                          const double* xc, const double* xx, const double* y, const double* slc, const double* suc,
                          const double* slx, const double* sux, const double* snx, const double* doty) {
    const double* const values[model::kNumSolutionItems] = {xc, xx, y, slc, suc, slx, sux, snx};
    task.solutions.put_whole(whichsol, skc, skx, skn, values, sizes(task), doty);
}

// ------------------------------------------------ semidefinite variables

void impl::getbarxj(Task& task, int32_t whichsol, int32_t j, double* barxj) {
    task.solutions.get_bar(whichsol, false, j, barxj, sizes(task));
}
void impl::getbarsj(Task& task, int32_t whichsol, int32_t j, double* barsj) {
    task.solutions.get_bar(whichsol, true, j, barsj, sizes(task));
}
void impl::putbarxj(Task& task, int32_t whichsol, int32_t j, const double* barxj) {
    task.solutions.put_bar(whichsol, false, j, barxj, sizes(task));
}
void impl::putbarsj(Task& task, int32_t whichsol, int32_t j, const double* barsj) {
    task.solutions.put_bar(whichsol, true, j, barsj, sizes(task));
}
void impl::getbarxslice(Task& task, int32_t whichsol, int32_t first, int32_t last, int64_t slicesize,
                        double* barxslice) {
    task.solutions.get_bar_slice(whichsol, false, first, last, slicesize, barxslice, sizes(task));
}
void impl::getbarsslice(Task& task, int32_t whichsol, int32_t first, int32_t last, int64_t slicesize,
                        double* barsslice) {
    task.solutions.get_bar_slice(whichsol, true, first, last, slicesize, barsslice, sizes(task));
}

void impl::putconsolutioni(Task& task, int32_t i, int32_t whichsol, int32_t sk, double x, double sl, double su) {
    task.solutions.put_con(whichsol, i, sk, x, sl, su, sizes(task));
}
void impl::putvarsolutionj(Task& task, int32_t j, int32_t whichsol, int32_t sk, double x, double sl, double su,
                           double sn) {
    task.solutions.put_var(whichsol, j, sk, x, sl, su, sn, sizes(task));
}
void impl::putsolutionyi(Task& task, int32_t i, int32_t whichsol, double y) {
    task.solutions.put_y(whichsol, i, y, sizes(task));
}

// ------------------------------------------------------ statuses, objective

void impl::getsolsta(Task& task, int32_t whichsol, int32_t* solutionsta) {
    task.solutions.statuses(whichsol, nullptr, solutionsta, sizes(task));
}
void impl::getprosta(Task& task, int32_t whichsol, int32_t* problemsta) {
    task.solutions.statuses(whichsol, problemsta, nullptr, sizes(task));
}
void impl::solutiondef(Task& task, int32_t whichsol, int32_t* isdef) {
    const bool defined = task.solutions.defined(whichsol);
    if (isdef) *isdef = defined ? 1 : 0;
}
void impl::getprimalobj(Task& task, int32_t whichsol, double* primalobj) {
    const double value = task.solutions.objectives(whichsol, task.problem).primal;
    if (primalobj) *primalobj = value;
}
void impl::getdualobj(Task& task, int32_t whichsol, double* dualobj) {
    const double value = task.solutions.objectives(whichsol, task.problem).dual;
    if (dualobj) *dualobj = value;
}
void impl::deletesolution(Task& task, int32_t whichsol) { task.solutions.remove(whichsol); }

}  // namespace vlt
