// Entry points: disjunctive constraints.  Each forwards to the task's DJC
// store, which checks its arguments against the task's domains and AFEs.
#include "api/impl.hpp"
#include "model/problem.hpp"

namespace vlt {

namespace {
model::DisjunctiveStore& djcs(Task& task) { return task.problem.disjunctive(); }
}  // namespace

void impl::putmaxnumdjc(Task& task, int64_t maxnumdjc) { djcs(task).put_max_num(maxnumdjc); }
void impl::getnumdjc(Task& task, int64_t* num) { put_out(num, djcs(task).num_djc()); }
void impl::appenddjcs(Task& task, int64_t num) { djcs(task).append(num); }

void impl::getdjcnumdomain(Task& task, int64_t djcidx, int64_t* numdomain) {
    put_out(numdomain, djcs(task).num_domain(djcidx));
}
void impl::getdjcnumdomaintot(Task& task, int64_t* numdomaintot) {
    put_out(numdomaintot, djcs(task).num_domain_total());
}
void impl::getdjcnumafe(Task& task, int64_t djcidx, int64_t* numafe) { put_out(numafe, djcs(task).num_afe(djcidx)); }
void impl::getdjcnumafetot(Task& task, int64_t* numafetot) { put_out(numafetot, djcs(task).num_afe_total()); }
void impl::getdjcnumterm(Task& task, int64_t djcidx, int64_t* numterm) {
    put_out(numterm, djcs(task).num_term(djcidx));
}
void impl::getdjcnumtermtot(Task& task, int64_t* numtermtot) { put_out(numtermtot, djcs(task).num_term_total()); }

void impl::putdjc(Task& task, int64_t djcidx, int64_t numdomidx, const int64_t* domidxlist, int64_t numafeidx,
                  const int64_t* afeidxlist, const double* b, int64_t numterms, const int64_t* termsizelist) {
    djcs(task).put(djcidx, numdomidx, domidxlist, numafeidx, afeidxlist, b, numterms, termsizelist,
                   task.problem.conic(), task.problem.affine().num_afe());
}
void impl::putdjcslice(Task& task, int64_t idxfirst, int64_t idxlast, int64_t numdomidx, const int64_t* domidxlist,
                       int64_t numafeidx, const int64_t* afeidxlist, const double* b, int64_t numterms,
                       const int64_t* termsizelist, const int64_t* termsindjc) {
    djcs(task).put_slice(idxfirst, idxlast, numdomidx, domidxlist, numafeidx, afeidxlist, b, numterms, termsizelist,
                         termsindjc, task.problem.conic(), task.problem.affine().num_afe());
}

void impl::getdjcdomainidxlist(Task& task, int64_t djcidx, int64_t* domidxlist) {
    djcs(task).get_domains(djcidx, domidxlist);
}
void impl::getdjcafeidxlist(Task& task, int64_t djcidx, int64_t* afeidxlist) {
    djcs(task).get_afes(djcidx, afeidxlist);
}
void impl::getdjcb(Task& task, int64_t djcidx, double* b) { djcs(task).get_b(djcidx, b); }
void impl::getdjctermsizelist(Task& task, int64_t djcidx, int64_t* termsizelist) {
    djcs(task).get_term_sizes(djcidx, termsizelist);
}
void impl::getdjcs(Task& task, int64_t* domidxlist, int64_t* afeidxlist, double* b, int64_t* termsizelist,
                   int64_t* numterms) {
    djcs(task).get_all(domidxlist, afeidxlist, b, termsizelist, numterms);
}

}  // namespace vlt
