// Entry points: domains, affine conic constraints and the conversion of a
// quadratic objective to conic form.  Each forwards to the task's stores,
// which check their arguments.  The barF view of the ACCs is in
// semidefinite_data.cpp.
#include "api/impl.hpp"
#include "model/problem.hpp"
#include "model/to_conic.hpp"

namespace vlt {

namespace {
model::ConicStore& cones(Task& task) { return task.problem.conic(); }
int64_t numafe(const Task& task) { return task.problem.affine().num_afe(); }

void append_domain(Task& task, int32_t type, int64_t n, int64_t* domidx) {
    put_out(domidx, cones(task).append_domain(type, n));
}
}  // namespace

// ---------------------------------------------------------------- domains

void impl::putmaxnumdomain(Task& task, int64_t maxnumdomain) { cones(task).put_max_num_domain(maxnumdomain); }
void impl::getnumdomain(Task& task, int64_t* numdomain) { put_out(numdomain, cones(task).num_domain()); }
void impl::getdomaintype(Task& task, int64_t domidx, int32_t* domtype) {
    put_out(domtype, cones(task).domain_type(domidx));
}
void impl::getdomainn(Task& task, int64_t domidx, int64_t* n) { put_out(n, cones(task).domain_n(domidx)); }
void impl::getpowerdomaininfo(Task& task, int64_t domidx, int64_t* n, int64_t* nleft) {
    cones(task).power_domain_info(domidx, n, nleft);
}
void impl::getpowerdomainalpha(Task& task, int64_t domidx, double* alpha) {
    cones(task).power_domain_alpha(domidx, alpha);
}

void impl::appendrplusdomain(Task& task, int64_t n, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_RPLUS, n, domidx);
}
void impl::appendrminusdomain(Task& task, int64_t n, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_RMINUS, n, domidx);
}
void impl::appendrdomain(Task& task, int64_t n, int64_t* domidx) { append_domain(task, VLT_DOMAIN_R, n, domidx); }
void impl::appendrzerodomain(Task& task, int64_t n, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_RZERO, n, domidx);
}
void impl::appendquadraticconedomain(Task& task, int64_t n, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_QUADRATIC_CONE, n, domidx);
}
void impl::appendrquadraticconedomain(Task& task, int64_t n, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_RQUADRATIC_CONE, n, domidx);
}
void impl::appendprimalexpconedomain(Task& task, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_PRIMAL_EXP_CONE, 3, domidx);
}
void impl::appenddualexpconedomain(Task& task, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_DUAL_EXP_CONE, 3, domidx);
}
void impl::appendprimalgeomeanconedomain(Task& task, int64_t n, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE, n, domidx);
}
void impl::appenddualgeomeanconedomain(Task& task, int64_t n, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_DUAL_GEO_MEAN_CONE, n, domidx);
}
void impl::appendprimalpowerconedomain(Task& task, int64_t n, int64_t nleft, const double* alpha, int64_t* domidx) {
    put_out(domidx, cones(task).append_domain(VLT_DOMAIN_PRIMAL_POWER_CONE, n, nleft, alpha));
}
void impl::appenddualpowerconedomain(Task& task, int64_t n, int64_t nleft, const double* alpha, int64_t* domidx) {
    put_out(domidx, cones(task).append_domain(VLT_DOMAIN_DUAL_POWER_CONE, n, nleft, alpha));
}
void impl::appendsvecpsdconedomain(Task& task, int64_t n, int64_t* domidx) {
    append_domain(task, VLT_DOMAIN_SVEC_PSD_CONE, n, domidx);
}

// ------------------------------------------------------------------- ACCs

void impl::putmaxnumacc(Task& task, int64_t maxnumacc) { cones(task).put_max_num_acc(maxnumacc); }
void impl::getnumacc(Task& task, int64_t* numacc) { put_out(numacc, cones(task).num_acc()); }
void impl::appendacc(Task& task, int64_t domidx, int64_t numafeidx, const int64_t* afeidxlist, const double* b) {
    cones(task).append_acc(domidx, numafeidx, afeidxlist, b, numafe(task));
}
void impl::appendaccs(Task& task, int64_t numaccs, const int64_t* domidxs, int64_t numafeidx,
                      const int64_t* afeidxlist, const double* b) {
    cones(task).append_accs(numaccs, domidxs, numafeidx, afeidxlist, b, numafe(task));
}
void impl::appendaccseq(Task& task, int64_t domidx, int64_t numafeidx, int64_t afeidxfirst, const double* b) {
    cones(task).append_acc_seq(domidx, numafeidx, afeidxfirst, b, numafe(task));
}
void impl::appendaccsseq(Task& task, int64_t numaccs, const int64_t* domidxs, int64_t numafeidx,
                         int64_t afeidxfirst, const double* b) {
    cones(task).append_accs_seq(numaccs, domidxs, numafeidx, afeidxfirst, b, numafe(task));
}
void impl::putacc(Task& task, int64_t accidx, int64_t domidx, int64_t numafeidx, const int64_t* afeidxlist,
                  const double* b) {
    cones(task).put_acc(accidx, domidx, numafeidx, afeidxlist, b, numafe(task));
}
void impl::putacclist(Task& task, int64_t numaccs, const int64_t* accidxs, const int64_t* domidxs,
                      int64_t numafeidx, const int64_t* afeidxlist, const double* b) {
    cones(task).put_acc_list(numaccs, accidxs, domidxs, numafeidx, afeidxlist, b, numafe(task));
}
void impl::putaccb(Task& task, int64_t accidx, int64_t lengthb, const double* b) {
    cones(task).put_acc_b(accidx, lengthb, b);
}
void impl::putaccbj(Task& task, int64_t accidx, int64_t j, double bj) { cones(task).put_acc_bj(accidx, j, bj); }

void impl::getaccdomain(Task& task, int64_t accidx, int64_t* domidx) {
    put_out(domidx, cones(task).acc_domain(accidx));
}
void impl::getaccn(Task& task, int64_t accidx, int64_t* n) { put_out(n, cones(task).acc_n(accidx)); }
void impl::getaccntot(Task& task, int64_t* n) { put_out(n, cones(task).num_acc_rows()); }
void impl::getaccafeidxlist(Task& task, int64_t accidx, int64_t* afeidxlist) {
    cones(task).get_acc_afes(accidx, afeidxlist);
}
void impl::getaccb(Task& task, int64_t accidx, double* b) { cones(task).get_acc_b(accidx, b); }
void impl::getaccs(Task& task, int64_t* domidxlist, int64_t* afeidxlist, double* b) {
    cones(task).get_accs(domidxlist, afeidxlist, b);
}
void impl::getaccfnumnz(Task& task, int64_t* accfnnz) {
    put_out(accfnnz, cones(task).stacked_f_nnz(task.problem.affine()));
}
void impl::getaccftrip(Task& task, int64_t* frow, int32_t* fcol, double* fval) {
    cones(task).stacked_f_triplets(task.problem.affine(), frow, fcol, fval);
}
void impl::getaccgvector(Task& task, double* g) { cones(task).stacked_g(task.problem.affine(), g); }

// ---------------------------------------------------------- conic form

// A task without quadratic terms is already in conic form and is left
// alone.  After a conversion the stored solutions belong to another problem
// and are dropped.
void impl::toconic(Task& task) {
    if (!model::quadratic_to_conic(task.problem)) return;
    for (int32_t k = 0; k < model::kNumSolutions; ++k) task.solutions.remove(k);
}

}  // namespace vlt
