#include "solve/mip/mixed_integer_form.hpp"

#include <string>

#include "base/error.hpp"
#include "model/to_conic.hpp"
#include "solve/mip/point_check.hpp"

namespace vlt::solve::mip {

MixedIntegerForm mixed_integer_form(const model::Problem& p, const model::ProblemData& d, double max_big_m) {
    MixedIntegerForm form;
    form.djcs = disjunctions_of(p);
    for (const Disjunction& djc : form.djcs)
        if (djc.terms.empty())
            fail(VLT_RES_ERR_DIMENSION, "Disjunctive constraint " + std::to_string(djc.index) +
                                            " has no terms and so can never hold; give it terms with putdjc");
    form.data = d;
    if (!form.djcs.empty()) {
        Box box;
        propagate_bounds(d, box);
        Extension e(d);
        form.branching = reformulate(form.djcs, box, max_big_m, e);
        form.num_binaries = e.num_new_columns();
        e.apply(form.data);
    }
    form.linear = form.data.qoval.empty() && form.data.qcval.empty() && form.branching.empty() &&
                  linearize_conic_rows(form.data);
    if (!form.data.qoval.empty()) {
        // The relaxations assume a convex objective; the factorization of
        // the conic form decides it.
        const double s = d.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
        (void)model::psd_factor_rows(model::QuadraticTerms{d.qosubi, d.qosubj, d.qoval}, s);
    }
    return form;
}

void restrict_to_task(const model::ProblemData& task, EngineResult& r) {
    const auto n = static_cast<size_t>(task.numvar), m = static_cast<size_t>(task.numcon);
    for (auto* v : {&r.x, &r.slx, &r.sux, &r.primal_ray})
        if (v->size() > n) v->resize(n);
    for (auto* v : {&r.xc, &r.y, &r.slc, &r.suc, &r.dual_ray})
        if (v->size() > m) v->resize(m);
    if (r.column_basis.size() > n) r.column_basis.resize(n);
    if (r.row_basis.size() > m) r.row_basis.resize(m);
    // The conic rows of the form are not the task's.
    r.doty.clear();
    r.dual_ray_conic.clear();
    if (r.has_primal && r.x.size() == n) r.xc = row_activities(task, r.x);
}

}  // namespace vlt::solve::mip
