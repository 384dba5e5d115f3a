// Entry points: affine expressions (the matrix F and the constants g).  Each
// forwards to the task's AFE store, which checks its arguments.  The
// semidefinite part barF is in semidefinite_data.cpp.
#include "api/impl.hpp"
#include "model/problem.hpp"

namespace vlt {

namespace {
model::AffineStore& afes(Task& task) { return task.problem.affine(); }
int32_t numvar(const Task& task) { return task.problem.num_var(); }
}  // namespace

void impl::putmaxnumafe(Task& task, int64_t maxnumafe) { afes(task).put_max_num(maxnumafe); }
void impl::getnumafe(Task& task, int64_t* numafe) { put_out(numafe, afes(task).num_afe()); }
void impl::appendafes(Task& task, int64_t num) { afes(task).append(num); }

void impl::putafefentry(Task& task, int64_t afeidx, int32_t varidx, double value) {
    afes(task).put_entry(afeidx, varidx, value, numvar(task));
}
void impl::putafefentrylist(Task& task, int64_t numentr, const int64_t* afeidx, const int32_t* varidx,
                            const double* val) {
    afes(task).put_entry_list(numentr, afeidx, varidx, val, numvar(task));
}
void impl::putafefrow(Task& task, int64_t afeidx, int32_t numnz, const int32_t* varidx, const double* val) {
    afes(task).put_row(afeidx, numnz, varidx, val, numvar(task));
}
void impl::putafefrowlist(Task& task, int64_t numafeidx, const int64_t* afeidx, const int32_t* numnzrow,
                          const int64_t* ptrrow, int64_t lenidxval, const int32_t* varidx, const double* val) {
    afes(task).put_row_list(numafeidx, afeidx, numnzrow, ptrrow, lenidxval, varidx, val, numvar(task));
}
void impl::putafefcol(Task& task, int32_t varidx, int64_t numnz, const int64_t* afeidx, const double* val) {
    afes(task).put_col(varidx, numnz, afeidx, val, numvar(task));
}
void impl::emptyafefrow(Task& task, int64_t afeidx) { afes(task).empty_row(afeidx); }
void impl::emptyafefcol(Task& task, int32_t varidx) { afes(task).empty_col(varidx, numvar(task)); }
void impl::emptyafefrowlist(Task& task, int64_t numafeidx, const int64_t* afeidx) {
    afes(task).empty_row_list(numafeidx, afeidx);
}
void impl::emptyafefcollist(Task& task, int64_t numvaridx, const int32_t* varidx) {
    afes(task).empty_col_list(numvaridx, varidx, numvar(task));
}

void impl::getafefrownumnz(Task& task, int64_t afeidx, int32_t* numnz) { put_out(numnz, afes(task).row_nnz(afeidx)); }
void impl::getafefnumnz(Task& task, int64_t* numnz) { put_out(numnz, afes(task).nnz()); }
void impl::getafefrow(Task& task, int64_t afeidx, int32_t* numnz, int32_t* varidx, double* val) {
    afes(task).get_row(afeidx, numnz, varidx, val);
}
void impl::getafeftrip(Task& task, int64_t* afeidx, int32_t* varidx, double* val) {
    afes(task).get_triplets(afeidx, varidx, val);
}

void impl::putafeg(Task& task, int64_t afeidx, double g) { afes(task).put_g(afeidx, g); }
void impl::putafeglist(Task& task, int64_t numafeidx, const int64_t* afeidx, const double* g) {
    afes(task).put_g_list(numafeidx, afeidx, g);
}
void impl::getafeg(Task& task, int64_t afeidx, double* g) { put_out(g, afes(task).get_g(afeidx)); }
void impl::getafegslice(Task& task, int64_t first, int64_t last, double* g) { afes(task).get_g_slice(first, last, g); }
void impl::putafegslice(Task& task, int64_t first, int64_t last, const double* slice) {
    afes(task).put_g_slice(first, last, slice);
}

}  // namespace vlt
