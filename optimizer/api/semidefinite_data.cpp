// Entry points: semidefinite variables, the store of symmetric matrices, and
// the semidefinite parts barC, barA and barF of the objective, the
// constraints and the affine expressions, with the block-triplet view of the
// affine conic constraints.  Each forwards to the task's semidefinite store
// (model/semidefinite.hpp documents the choices), which checks its
// arguments.
#include <algorithm>
#include <vector>

#include "api/impl.hpp"
#include "model/problem.hpp"

namespace vlt {

namespace {
model::SemidefiniteStore& sdp(Task& task) { return task.problem.semidefinite(); }
int32_t numcon(const Task& task) { return task.problem.num_con(); }
int64_t numafe(const Task& task) { return task.problem.affine().num_afe(); }
using Store = model::SemidefiniteStore;
}  // namespace

// ------------------------------------------------- semidefinite variables

void impl::appendbarvars(Task& task, int32_t num, const int32_t* dim) { sdp(task).append_barvars(num, dim); }
void impl::removebarvars(Task& task, int32_t num, const int32_t* subset) { sdp(task).remove_barvars(num, subset); }
void impl::getnumbarvar(Task& task, int32_t* numbarvar) { put_out(numbarvar, sdp(task).num_barvar()); }
void impl::getmaxnumbarvar(Task& task, int32_t* maxnumbarvar) { put_out(maxnumbarvar, sdp(task).max_num_barvar()); }
void impl::putmaxnumbarvar(Task& task, int32_t maxnumbarvar) { sdp(task).put_max_num_barvar(maxnumbarvar); }
void impl::getdimbarvarj(Task& task, int32_t j, int32_t* dimbarvarj) { put_out(dimbarvarj, sdp(task).dim(j)); }
void impl::getlenbarvarj(Task& task, int32_t j, int64_t* lenbarvarj) { put_out(lenbarvarj, sdp(task).length(j)); }

// --------------------------------------------------------- symmetric matrices

void impl::appendsparsesymmat(Task& task, int32_t dim, int64_t nz, const int32_t* subi, const int32_t* subj,
                              const double* valij, int64_t* idx) {
    put_out(idx, sdp(task).symmats().append(dim, nz, subi, subj, valij));
}
void impl::appendsparsesymmatlist(Task& task, int32_t num, const int32_t* dims, const int64_t* nz,
                                  const int32_t* subi, const int32_t* subj, const double* valij, int64_t* idx) {
    sdp(task).symmats().append_list(num, dims, nz, subi, subj, valij, idx);
}
void impl::getnumsymmat(Task& task, int64_t* num) { put_out(num, sdp(task).symmats().size()); }
void impl::getsymmatinfo(Task& task, int64_t idx, int32_t* dim, int64_t* nz, int32_t* mattype) {
    sdp(task).symmats().get_info(idx, dim, nz, mattype);
}
void impl::getsparsesymmat(Task& task, int64_t idx, int64_t maxlen, int32_t* subi, int32_t* subj, double* valij) {
    sdp(task).symmats().get(idx, maxlen, subi, subj, valij);
}

// ------------------------------------------------------------------- barC

void impl::putbarcj(Task& task, int32_t j, int64_t num, const int64_t* sub, const double* weights) {
    sdp(task).put_barc_j(j, num, sub, weights);
}
void impl::putbarcblocktriplet(Task& task, int64_t num, const int32_t* subj, const int32_t* subk,
                               const int32_t* subl, const double* valjkl) {
    sdp(task).put_barc_block_triplets(num, subj, subk, subl, valjkl);
}
void impl::getnumbarcnz(Task& task, int64_t* nz) { put_out(nz, sdp(task).barc().size()); }
void impl::getbarcsparsity(Task& task, int64_t maxnumnz, int64_t* numnz, int64_t* idxj) {
    Store::get_sparsity(sdp(task).barc(), maxnumnz, numnz, idxj);
}
void impl::getbarcidxinfo(Task& task, int64_t idx, int64_t* num) {
    put_out(num, Store::idx_terms(sdp(task).barc(), "barC", idx));
}
void impl::getbarcidxj(Task& task, int64_t idx, int32_t* j) {
    Store::idx_terms(sdp(task).barc(), "barC", idx);
    put_out(j, sdp(task).barc().entry(idx).j);
}
void impl::getbarcidx(Task& task, int64_t idx, int64_t maxnum, int32_t* j, int64_t* num, int64_t* sub,
                      double* weights) {
    sdp(task).get_barc_idx(idx, maxnum, j, num, sub, weights);
}
void impl::getnumbarcblocktriplets(Task& task, int64_t* num) {
    put_out(num, sdp(task).num_block_triplets(sdp(task).barc()));
}
void impl::getbarcblocktriplet(Task& task, int64_t maxnum, int64_t* num, int32_t* subj, int32_t* subk,
                               int32_t* subl, double* valjkl) {
    sdp(task).get_barc_block_triplets(maxnum, num, subj, subk, subl, valjkl);
}

// ------------------------------------------------------------------- barA

void impl::putbaraij(Task& task, int32_t i, int32_t j, int64_t num, const int64_t* sub, const double* weights) {
    sdp(task).put_bara_ij(i, j, num, sub, weights, numcon(task));
}
void impl::putbaraijlist(Task& task, int32_t num, const int32_t* subi, const int32_t* subj, const int64_t* alphaptrb,
                         const int64_t* alphaptre, const int64_t* matidx, const double* weights) {
    sdp(task).put_bara_ij_list(num, subi, subj, alphaptrb, alphaptre, matidx, weights, numcon(task));
}
void impl::putbararowlist(Task& task, int32_t num, const int32_t* subi, const int64_t* ptrb, const int64_t* ptre,
                          const int32_t* subj, const int64_t* nummat, const int64_t* matidx, const double* weights) {
    sdp(task).put_bara_row_list(num, subi, ptrb, ptre, subj, nummat, matidx, weights, numcon(task));
}
void impl::putbarablocktriplet(Task& task, int64_t num, const int32_t* subi, const int32_t* subj,
                               const int32_t* subk, const int32_t* subl, const double* valijkl) {
    sdp(task).put_bara_block_triplets(num, subi, subj, subk, subl, valijkl, numcon(task));
}
void impl::getnumbaranz(Task& task, int64_t* nz) { put_out(nz, sdp(task).bara().size()); }
void impl::getbarasparsity(Task& task, int64_t maxnumnz, int64_t* numnz, int64_t* idxij) {
    Store::get_sparsity(sdp(task).bara(), maxnumnz, numnz, idxij);
}
void impl::getbaraidxinfo(Task& task, int64_t idx, int64_t* num) {
    put_out(num, Store::idx_terms(sdp(task).bara(), "barA", idx));
}
void impl::getbaraidxij(Task& task, int64_t idx, int32_t* i, int32_t* j) {
    Store::idx_terms(sdp(task).bara(), "barA", idx);
    put_out(i, int32_t(sdp(task).bara().entry(idx).row));
    put_out(j, sdp(task).bara().entry(idx).j);
}
void impl::getbaraidx(Task& task, int64_t idx, int64_t maxnum, int32_t* i, int32_t* j, int64_t* num, int64_t* sub,
                      double* weights) {
    sdp(task).get_bara_idx(idx, maxnum, i, j, num, sub, weights);
}
void impl::getnumbarablocktriplets(Task& task, int64_t* num) {
    put_out(num, sdp(task).num_block_triplets(sdp(task).bara()));
}
void impl::getbarablocktriplet(Task& task, int64_t maxnum, int64_t* num, int32_t* subi, int32_t* subj,
                               int32_t* subk, int32_t* subl, double* valijkl) {
    sdp(task).get_bara_block_triplets(maxnum, num, subi, subj, subk, subl, valijkl);
}

// ------------------------------------------------------------------- barF

void impl::putafebarfentry(Task& task, int64_t afeidx, int32_t barvaridx, int64_t numterm, const int64_t* termidx,
                           const double* termweight) {
    sdp(task).put_barf_entry(afeidx, barvaridx, numterm, termidx, termweight, numafe(task));
}
void impl::putafebarfentrylist(Task& task, int64_t numafeidx, const int64_t* afeidx, const int32_t* barvaridx,
                               const int64_t* numterm, const int64_t* ptrterm, int64_t lenterm,
                               const int64_t* termidx, const double* termweight) {
    sdp(task).put_barf_entry_list(numafeidx, afeidx, barvaridx, numterm, ptrterm, lenterm, termidx, termweight,
                                  numafe(task));
}
void impl::putafebarfrow(Task& task, int64_t afeidx, int32_t numentr, const int32_t* barvaridx,
                         const int64_t* numterm, const int64_t* ptrterm, int64_t lenterm, const int64_t* termidx,
                         const double* termweight) {
    sdp(task).put_barf_row(afeidx, numentr, barvaridx, numterm, ptrterm, lenterm, termidx, termweight, numafe(task));
}
void impl::emptyafebarfrow(Task& task, int64_t afeidx) { sdp(task).empty_barf_row(afeidx, numafe(task)); }
void impl::emptyafebarfrowlist(Task& task, int64_t numafeidx, const int64_t* afeidxlist) {
    sdp(task).empty_barf_rows(numafeidx, afeidxlist, numafe(task));
}
void impl::putafebarfblocktriplet(Task& task, int64_t numtrip, const int64_t* afeidx, const int32_t* barvaridx,
                                  const int32_t* subk, const int32_t* subl, const double* valkl) {
    sdp(task).put_barf_block_triplets(numtrip, afeidx, barvaridx, subk, subl, valkl, numafe(task));
}
void impl::getafebarfnumblocktriplets(Task& task, int64_t* numtrip) {
    put_out(numtrip, sdp(task).num_block_triplets(sdp(task).barf()));
}
void impl::getafebarfblocktriplet(Task& task, int64_t maxnumtrip, int64_t* numtrip, int64_t* afeidx,
                                  int32_t* barvaridx, int32_t* subk, int32_t* subl, double* valkl) {
    sdp(task).get_barf_block_triplets(maxnumtrip, numtrip, afeidx, barvaridx, subk, subl, valkl);
}
void impl::getafebarfnumrowentries(Task& task, int64_t afeidx, int32_t* numentr) {
    sdp(task).get_barf_row_info(afeidx, numentr, nullptr, numafe(task));
}
void impl::getafebarfrowinfo(Task& task, int64_t afeidx, int32_t* numentr, int64_t* lenterm) {
    sdp(task).get_barf_row_info(afeidx, numentr, lenterm, numafe(task));
}
void impl::getafebarfrow(Task& task, int64_t afeidx, int32_t* barvaridx, int64_t* ptrterm, int64_t* numterm,
                         int64_t* termidx, double* termweight) {
    sdp(task).get_barf_row(afeidx, barvaridx, ptrterm, numterm, termidx, termweight, numafe(task));
}

// ------------------------------------------- barF of affine conic constraints

namespace {

// The barF elements of every stacked ACC row (row r is the r-th AFE of all
// ACCs together), in row order.
std::vector<model::BlockTriplet> acc_barf(Task& task) {
    const model::SemidefiniteStore& s = sdp(task);
    const model::ConicStore& cones = task.problem.conic();
    std::vector<int64_t> afes(size_t(cones.num_acc_rows()));
    cones.get_accs(nullptr, afes.data(), nullptr);
    std::vector<model::BlockTriplet> out;
    if (s.barf().size() == 0) return out;
    for (size_t r = 0; r < afes.size(); ++r) {
        auto [first, last] = s.barf().row_range(afes[r]);
        const size_t from = out.size();
        for (int64_t k = first; k < last; ++k) s.barf().expand(s.barf().entry(k), s.symmats(), out);
        for (size_t t = from; t < out.size(); ++t) out[t].row = int64_t(r);
    }
    return out;
}

}  // namespace

void impl::getaccbarfnumblocktriplets(Task& task, int64_t* numtrip) { put_out(numtrip, int64_t(acc_barf(task).size())); }
void impl::getaccbarfblocktriplet(Task& task, int64_t maxnumtrip, int64_t* numtrip, int64_t* acc_afe, int32_t* bar_var,
                                  int32_t* blk_row, int32_t* blk_col, double* blk_val) {
    const std::vector<model::BlockTriplet> all = acc_barf(task);
    if (maxnumtrip < int64_t(all.size()))
        fail(VLT_RES_ERR_BUFFER_TOO_SMALL, "Argument maxnumtrip = " + std::to_string(maxnumtrip) + " is below the " +
                                               std::to_string(all.size()) +
                                               " block triplets of the affine conic constraints");
    put_out(numtrip, int64_t(all.size()));
    for (size_t t = 0; t < all.size(); ++t) {
        if (acc_afe) acc_afe[t] = all[t].row;
        if (bar_var) bar_var[t] = all[t].j;
        if (blk_row) blk_row[t] = all[t].k;
        if (blk_col) blk_col[t] = all[t].l;
        if (blk_val) blk_val[t] = all[t].value;
    }
}

}  // namespace vlt
