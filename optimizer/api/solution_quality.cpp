// Entry points: the quality of a solution (violations, summary figures,
// norms, reduced costs) and the duals and activities of the affine conic
// constraints.  What each figure means is set out in
// solve/quality/solution_check.hpp.
#include <algorithm>
#include <string>
#include <vector>

#include "api/impl.hpp"
#include "model/solution.hpp"
#include "solve/quality/solution_check.hpp"
#include "solve/quality/solution_figures.hpp"

namespace vlt {

namespace {

const model::Solution& solution_of(Task& task, int32_t whichsol) {
    return task.solutions.read(whichsol, model::solution_sizes(task.problem));
}

[[noreturn]] void fail_item_index(VLTrescodee code, model::Arg arg, int64_t value, const char* noun,
                                  const char* count_name, int64_t count) {
    fail(code, "Argument " + arg.str() + " = " + std::to_string(value) + " is not a valid " + noun + " index (" +
                   count_name + " = " + std::to_string(count) + ")");
}

// The index list of a violation query: a count that is not negative, a list
// present when it is not empty, every index below count.
template <class Index>
void check_list(int64_t num, const Index* sub, const char* name, VLTrescodee code, const char* noun,
                const char* count_name, int64_t count) {
    model::check_count({"num"}, num);
    model::check_present(sub, name, "num", num);
    for (int64_t k = 0; k < num; ++k)
        if (sub[k] < 0 || sub[k] >= count) fail_item_index(code, model::at(name, k), sub[k], noun, count_name, count);
}

// Runs `violation` on every listed item, after every argument is checked.
template <class Index, class Violation>
void list_violations(Task& task, int32_t whichsol, int64_t num, const Index* sub, double* viol,
                     Violation violation) {
    solve::SolutionCheck check(task.problem, solution_of(task, whichsol), whichsol);
    if (!viol) return;
    for (int64_t k = 0; k < num; ++k) viol[k] = violation(check, sub[k]);
}

void check_constraints(Task& task, int32_t num, const int32_t* sub) {
    model::check_count({"num"}, num);
    model::check_present(sub, "sub", "num", num);
    model::check_index_list(model::Item::Con, "sub", num, sub, task.problem.num_con());
}
void check_variables(Task& task, int32_t num, const int32_t* sub) {
    model::check_count({"num"}, num);
    model::check_present(sub, "sub", "num", num);
    model::check_index_list(model::Item::Var, "sub", num, sub, task.problem.num_var());
}
void check_cones(Task& task, int32_t num, const int32_t* sub) {
    check_list(num, sub, "sub", VLT_RES_ERR_INDEX_CONE, "cone", "numcone", task.problem.var_cones().num_cone());
}
void check_accs(Task& task, int64_t num, const int64_t* sub) {
    task.problem.conic().check_acc_list("accidxlist", num, sub);
}
void check_djcs(Task& task, int64_t num, const int64_t* sub) {
    task.problem.disjunctive().check_list("djcidxlist", num, sub);
}
void check_barvars(Task& task, int32_t num, const int32_t* sub) {
    model::check_count({"num"}, num);
    model::check_present(sub, "sub", "num", num);
    for (int32_t k = 0; k < num; ++k) task.problem.semidefinite().check_barvar(model::at("sub", k), sub[k]);
}

}  // namespace

// ------------------------------------------------------------- violations

void impl::getpviolcon(Task& task, int32_t whichsol, int32_t num, const int32_t* sub, double* viol) {
    check_constraints(task, num, sub);
    list_violations(task, whichsol, num, sub, viol, [](auto& c, int32_t i) { return c.constraint(i); });
}
void impl::getpviolvar(Task& task, int32_t whichsol, int32_t num, const int32_t* sub, double* viol) {
    check_variables(task, num, sub);
    list_violations(task, whichsol, num, sub, viol, [](auto& c, int32_t j) { return c.variable(j); });
}
void impl::getpviolcones(Task& task, int32_t whichsol, int32_t num, const int32_t* sub, double* viol) {
    check_cones(task, num, sub);
    list_violations(task, whichsol, num, sub, viol, [](auto& c, int32_t k) { return c.cone(k); });
}
void impl::getpviolacc(Task& task, int32_t whichsol, int64_t numaccidx, const int64_t* accidxlist, double* viol) {
    check_accs(task, numaccidx, accidxlist);
    list_violations(task, whichsol, numaccidx, accidxlist, viol, [](auto& c, int64_t k) { return c.acc(k); });
}
void impl::getpviolbarvar(Task& task, int32_t whichsol, int32_t num, const int32_t* sub, double* viol) {
    check_barvars(task, num, sub);
    list_violations(task, whichsol, num, sub, viol, [](auto& c, int32_t j) { return c.barvar(j); });
}
void impl::getpvioldjc(Task& task, int32_t whichsol, int64_t numdjcidx, const int64_t* djcidxlist, double* viol) {
    check_djcs(task, numdjcidx, djcidxlist);
    list_violations(task, whichsol, numdjcidx, djcidxlist, viol, [](auto& c, int64_t k) { return c.djc(k); });
}
void impl::getdviolcon(Task& task, int32_t whichsol, int32_t num, const int32_t* sub, double* viol) {
    check_constraints(task, num, sub);
    list_violations(task, whichsol, num, sub, viol, [](auto& c, int32_t i) { return c.dual_constraint(i); });
}
void impl::getdviolvar(Task& task, int32_t whichsol, int32_t num, const int32_t* sub, double* viol) {
    check_variables(task, num, sub);
    list_violations(task, whichsol, num, sub, viol, [](auto& c, int32_t j) { return c.dual_variable(j); });
}
void impl::getdviolcones(Task& task, int32_t whichsol, int32_t num, const int32_t* sub, double* viol) {
    check_cones(task, num, sub);
    list_violations(task, whichsol, num, sub, viol, [](auto& c, int32_t k) { return c.dual_cone(k); });
}
void impl::getdviolacc(Task& task, int32_t whichsol, int64_t numaccidx, const int64_t* accidxlist, double* viol) {
    check_accs(task, numaccidx, accidxlist);
    list_violations(task, whichsol, numaccidx, accidxlist, viol, [](auto& c, int64_t k) { return c.dual_acc(k); });
}
void impl::getdviolbarvar(Task& task, int32_t whichsol, int32_t num, const int32_t* sub, double* viol) {
    check_barvars(task, num, sub);
    list_violations(task, whichsol, num, sub, viol, [](auto& c, int32_t j) { return c.dual_barvar(j); });
}

// ------------------------------------------------ affine conic constraints

void impl::getaccdoty(Task& task, int32_t whichsol, int64_t accidx, double* doty) {
    const model::ConicStore& accs = task.problem.conic();
    const int64_t first = accs.acc_first_row(accidx);
    task.solutions.get_acc_doty(whichsol, first, accs.acc_n(accidx), doty, model::solution_sizes(task.problem));
}
void impl::getaccdotys(Task& task, int32_t whichsol, double* doty) {
    task.solutions.get_acc_doty(whichsol, 0, task.problem.conic().num_acc_rows(), doty,
                                model::solution_sizes(task.problem));
}
void impl::putaccdoty(Task& task, int32_t whichsol, int64_t accidx, const double* doty) {
    const model::ConicStore& accs = task.problem.conic();
    const int64_t first = accs.acc_first_row(accidx);
    task.solutions.put_acc_doty(whichsol, first, accs.acc_n(accidx), doty, model::solution_sizes(task.problem));
}
void impl::evaluateacc(Task& task, int32_t whichsol, int64_t accidx, double* activity) {
    const model::ConicStore& accs = task.problem.conic();
    const int64_t first = accs.acc_first_row(accidx), n = accs.acc_n(accidx);
    solve::SolutionCheck check(task.problem, solution_of(task, whichsol), whichsol);
    if (activity) std::copy_n(check.acc_activity().begin() + first, n, activity);
}
void impl::evaluateaccs(Task& task, int32_t whichsol, double* activity) {
    solve::SolutionCheck check(task.problem, solution_of(task, whichsol), whichsol);
    if (activity) std::copy(check.acc_activity().begin(), check.acc_activity().end(), activity);
}

// --------------------------------------------------------- reduced costs

void impl::getreducedcosts(Task& task, int32_t whichsol, int32_t first, int32_t last, double* redcosts) {
    model::check_slice(model::Item::Var, first, last, task.problem.num_var());
    solve::SolutionCheck check(task.problem, solution_of(task, whichsol), whichsol);
    if (!redcosts) return;
    for (int32_t j = first; j < last; ++j) redcosts[j - first] = check.reduced_cost(j);
}

// ------------------------------------------------------ figures and norms

void impl::getsolutioninfo(Task& task, int32_t whichsol, double* pobj, double* pviolcon, double* pviolvar,
                           double* pviolbarvar, double* pviolcone, double* pviolitg, double* dobj, double* dviolcon,
                           double* dviolvar, double* dviolbarvar, double* dviolcone) {
    // This older form has no figures of their own for the affine conic and
    // disjunctive constraints: they count with the cones and the constraints.
    const solve::SolutionFigures f = solve::solution_figures(task, whichsol);
    put_out(pobj, f.primal_obj);
    put_out(pviolcon, std::max(f.pviolcon, f.pvioldjc));
    put_out(pviolvar, f.pviolvar);
    put_out(pviolbarvar, f.pviolbarvar);
    put_out(pviolcone, std::max(f.pviolcone, f.pviolacc));
    put_out(pviolitg, f.pviolitg);
    put_out(dobj, f.dual_obj);
    put_out(dviolcon, f.dviolcon);
    put_out(dviolvar, f.dviolvar);
    put_out(dviolbarvar, f.dviolbarvar);
    put_out(dviolcone, std::max(f.dviolcone, f.dviolacc));
}

void impl::getsolutioninfonew(Task& task, int32_t whichsol, double* pobj, double* pviolcon, double* pviolvar,
                              double* pviolbarvar, double* pviolcone, double* pviolacc, double* pvioldjc,
                              double* pviolitg, double* dobj, double* dviolcon, double* dviolvar,
                              double* dviolbarvar, double* dviolcone, double* dviolacc) {
    const solve::SolutionFigures f = solve::solution_figures(task, whichsol);
    put_out(pobj, f.primal_obj);
    put_out(pviolcon, f.pviolcon);
    put_out(pviolvar, f.pviolvar);
    put_out(pviolbarvar, f.pviolbarvar);
    put_out(pviolcone, f.pviolcone);
    put_out(pviolacc, f.pviolacc);
    put_out(pvioldjc, f.pvioldjc);
    put_out(pviolitg, f.pviolitg);
    put_out(dobj, f.dual_obj);
    put_out(dviolcon, f.dviolcon);
    put_out(dviolvar, f.dviolvar);
    put_out(dviolbarvar, f.dviolbarvar);
    put_out(dviolcone, f.dviolcone);
    put_out(dviolacc, f.dviolacc);
}

void impl::getprimalsolutionnorms(Task& task, int32_t whichsol, double* nrmxc, double* nrmxx, double* nrmbarx) {
    const solve::PrimalNorms n = solve::primal_norms(task, whichsol);
    put_out(nrmxc, n.xc);
    put_out(nrmxx, n.xx);
    put_out(nrmbarx, n.barx);
}

void impl::getdualsolutionnorms(Task& task, int32_t whichsol, double* nrmy, double* nrmslc, double* nrmsuc,
                                double* nrmslx, double* nrmsux, double* nrmsnx, double* nrmbars) {
    const solve::DualNorms n = solve::dual_norms(task, whichsol);
    put_out(nrmy, n.y);
    put_out(nrmslc, n.slc);
    put_out(nrmsuc, n.suc);
    put_out(nrmslx, n.slx);
    put_out(nrmsux, n.sux);
    put_out(nrmsnx, n.snx);
    put_out(nrmbars, n.bars);
}

}  // namespace vlt
