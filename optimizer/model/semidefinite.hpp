// The task's semidefinite data: the semidefinite variables X_j (symmetric
// positive semidefinite matrices of dimension d_j), the store of sparse
// symmetric matrices, and the three places where the variables enter:
//   barC   the objective term  sum_j <C_j, X_j>              (one entry per j)
//   barA   constraint i gets   sum_j <A_ij, X_j>             (one entry per i, j)
//   barF   affine expression a gets  sum_j <F_aj, X_j>       (one entry per a, j)
// Each entry is a weighted sum of stored matrices (model/bar_entries.hpp)
// whose dimensions are those of X_j.  <A, X> is the trace inner product, so
// an off-diagonal element of a stored lower triangle counts twice.
//
// Choices:
//  - Dimensions of semidefinite variables are at least 1; a variable's
//    length is d(d+1)/2, the size of its lower triangle (the layout of its
//    solution values: the lower triangle column by column).
//  - A term list may name a matrix more than once (the weights add up);
//    weights must be finite.  An empty term list removes the entry.
//  - List puts refuse an entry (or a row of a row list) given twice.
//  - Block triplets (j, k, l, value) set single elements of entries, like
//    putaij sets one element of A: the other elements of an entry keep their
//    values, a zero value removes an element, and an entry left without
//    elements goes.  The entry becomes one new stored matrix of weight 1.
//    A position of the upper triangle stands for its mirror; a position
//    given twice in one call is refused.
//  - Removing semidefinite variables removes their entries everywhere and
//    renumbers the rest; removing constraints renumbers barA.  The stored
//    matrices stay.
//  - Capacities (putmaxnumbarvar) are hints.
//
// Every call checks all of its arguments before it changes anything and
// throws vlt::Error naming the argument and position.  Calls that depend on
// the number of constraints or affine expressions take it as an argument.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/arg_check.hpp"
#include "model/bar_entries.hpp"
#include "model/names.hpp"
#include "model/problem_data.hpp"
#include "model/symmat.hpp"

namespace vlt::model {

[[noreturn]] void fail_barvar_index(Arg arg, int64_t value, int32_t numbarvar);

inline int64_t packed_length(int32_t dim) { return int64_t(dim) * (int64_t(dim) + 1) / 2; }
// Position of element (k, l), k >= l, in the lower triangle of a matrix of
// dimension dim stored column by column.
inline int64_t packed_index(int32_t dim, int32_t k, int32_t l) {
    return int64_t(l) * dim - int64_t(l) * (l - 1) / 2 + (k - l);
}

class SemidefiniteStore {
public:
    // ----------------------------------------------- semidefinite variables
    int32_t num_barvar() const { return static_cast<int32_t>(dims_.size()); }
    const std::vector<int32_t>& dims() const { return dims_; }
    void check_barvar(Arg arg, int64_t j) const {
        if (j < 0 || j >= num_barvar()) fail_barvar_index(arg, j, num_barvar());
    }
    int32_t dim(int32_t j) const;
    int64_t length(int32_t j) const;
    // Sum of the lengths of [first, last).
    int64_t slice_length(int32_t first, int32_t last) const;
    void check_slice(int32_t first, int32_t last) const;
    void append_barvars(int32_t num, const int32_t* dim);
    void remove_barvars(int32_t num, const int32_t* subset);
    void put_max_num_barvar(int32_t n);
    int32_t max_num_barvar() const { return max_num_ > num_barvar() ? max_num_ : num_barvar(); }
    NameList& names() { return names_; }
    const NameList& names() const { return names_; }

    // ------------------------------------------------------ stored matrices
    SymMatStore& symmats() { return mats_; }
    const SymMatStore& symmats() const { return mats_; }

    // ----------------------------------------------------------------- barC
    const BarEntries& barc() const { return barc_; }
    void put_barc_j(int32_t j, int64_t num, const int64_t* sub, const double* weights);
    void put_barc_block_triplets(int64_t num, const int32_t* subj, const int32_t* subk, const int32_t* subl,
                                 const double* valjkl);
    void get_barc_block_triplets(int64_t maxnum, int64_t* num, int32_t* subj, int32_t* subk, int32_t* subl,
                                 double* valjkl) const;
    void get_barc_idx(int64_t idx, int64_t maxnum, int32_t* j, int64_t* num, int64_t* sub, double* weights) const;

    // ----------------------------------------------------------------- barA
    const BarEntries& bara() const { return bara_; }
    void put_bara_ij(int32_t i, int32_t j, int64_t num, const int64_t* sub, const double* weights, int32_t numcon);
    void put_bara_ij_list(int32_t num, const int32_t* subi, const int32_t* subj, const int64_t* alphaptrb,
                          const int64_t* alphaptre, const int64_t* matidx, const double* weights, int32_t numcon);
    void put_bara_row_list(int32_t num, const int32_t* subi, const int64_t* ptrb, const int64_t* ptre,
                           const int32_t* subj, const int64_t* nummat, const int64_t* matidx, const double* weights,
                           int32_t numcon);
    void put_bara_block_triplets(int64_t num, const int32_t* subi, const int32_t* subj, const int32_t* subk,
                                 const int32_t* subl, const double* valijkl, int32_t numcon);
    void get_bara_block_triplets(int64_t maxnum, int64_t* num, int32_t* subi, int32_t* subj, int32_t* subk,
                                 int32_t* subl, double* valijkl) const;
    void get_bara_idx(int64_t idx, int64_t maxnum, int32_t* i, int32_t* j, int64_t* num, int64_t* sub,
                      double* weights) const;

    // Shared by barC and barA: the entry count, the entry indexes present
    // (0 .. count - 1), the terms of entry idx.
    static void get_sparsity(const BarEntries& entries, int64_t maxnumnz, int64_t* numnz, int64_t* idx);
    static int64_t idx_terms(const BarEntries& entries, const char* what, int64_t idx);
    int64_t num_block_triplets(const BarEntries& entries) const { return entries.expanded_count(mats_); }

    // ----------------------------------------------------------------- barF
    const BarEntries& barf() const { return barf_; }
    void put_barf_entry(int64_t afeidx, int32_t barvaridx, int64_t numterm, const int64_t* termidx,
                        const double* termweight, int64_t numafe);
    void put_barf_entry_list(int64_t numafeidx, const int64_t* afeidx, const int32_t* barvaridx,
                             const int64_t* numterm, const int64_t* ptrterm, int64_t lenterm, const int64_t* termidx,
                             const double* termweight, int64_t numafe);
    void put_barf_row(int64_t afeidx, int32_t numentr, const int32_t* barvaridx, const int64_t* numterm,
                      const int64_t* ptrterm, int64_t lenterm, const int64_t* termidx, const double* termweight,
                      int64_t numafe);
    void empty_barf_row(int64_t afeidx, int64_t numafe);
    void empty_barf_rows(int64_t num, const int64_t* afeidxlist, int64_t numafe);
    void put_barf_block_triplets(int64_t numtrip, const int64_t* afeidx, const int32_t* barvaridx,
                                 const int32_t* subk, const int32_t* subl, const double* valkl, int64_t numafe);
    void get_barf_block_triplets(int64_t maxnumtrip, int64_t* numtrip, int64_t* afeidx, int32_t* barvaridx,
                                 int32_t* subk, int32_t* subl, double* valkl) const;
    void get_barf_row_info(int64_t afeidx, int32_t* numentr, int64_t* lenterm, int64_t numafe) const;
    void get_barf_row(int64_t afeidx, int32_t* barvaridx, int64_t* ptrterm, int64_t* numterm, int64_t* termidx,
                      double* termweight, int64_t numafe) const;

    // sum_j <C_j, X_j> for values X_j given as packed lower triangles (one
    // vector per variable, each of its variable's length).
    double objective_term(const std::vector<std::vector<double>>& barx) const;

    // ------------------------------------------------------ keeping in step
    // After a removal of constraints (keep[i] == 0 for those that went).
    void remove_cons(const std::vector<char>& keep);
    // Constraints from numcon on went (a whole problem was loaded).
    void keep_cons_below(int32_t numcon) { bara_.drop_rows_from(numcon); }
    // Affine expressions from numafe on went.
    void keep_afes_below(int64_t numafe) { barf_.drop_rows_from(numafe); }

    // ------------------------------------------------------ exchange form
    // Fills the semidefinite fields of d; acc_afes[r] is the AFE of conic row
    // row_offset + r (the rows of the affine conic constraints).
    void export_to(const std::vector<int64_t>& acc_afes, int64_t row_offset, ProblemData& d) const;
    // The semidefinite fields of d, checked as a whole, for a problem of
    // d.numcon constraints whose conic row r is AFE r.
    static SemidefiniteStore from_data(const ProblemData& d);

    size_t memory_bytes() const;
    std::string consistency_error(int32_t numcon, int64_t numafe) const;

private:
    // Checks one term list of an entry of semidefinite variable j; the
    // arguments are named name[first..] in messages.
    void check_terms(int32_t j, const char* mat_name, const char* weight_name, int64_t first, int64_t count,
                     const int64_t* matidx, const double* weights) const;
    // Block triplets setting elements of `entries`; rows of the triplets
    // come from `row` (already checked).  All or nothing.
    void set_elements(BarEntries& entries, int64_t num, const std::vector<int64_t>& row, const int32_t* subj,
                      const int32_t* subk, const int32_t* subl, const double* val, const char* j_name,
                      const char* val_name);
    // The second half of set_elements: makes the new matrices and entries
    // (order: the triplets sorted by element).
    void put_elements(BarEntries& entries, const std::vector<int64_t>& order,
                      const std::vector<int64_t>& row, const int32_t* subj, const int32_t* subk, const int32_t* subl,
                      const double* val);
    static void check_block_output(const std::vector<BlockTriplet>& triplets, int64_t maxnum, const char* what);

    std::vector<int32_t> dims_;
    NameList names_;
    int32_t max_num_ = 0;
    SymMatStore mats_;
    BarEntries barc_, bara_, barf_;
};

}  // namespace vlt::model
