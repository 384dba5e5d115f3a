// The task's affine expressions (AFEs): AFE i is the function
//   F[i,:] x + g[i]
// of the scalar variables x.  F is kept by rows (one line per AFE) in a
// pooled line store; g is a plain vector.
//
// Choices:
//  - Entries of F are stored without explicit zeros: putting a zero removes
//    an entry.  Order within a row is the order of entry.
//  - Putting F entries or rows refuses an entry given twice in one call (the
//    same (afeidx, varidx) pair, the same varidx within a row, the same AFE
//    twice in a row list or in a column put); a list of g values may name an
//    AFE twice, the later value wins.
//  - putafefcol replaces the whole column: entries of the column in AFEs
//    that are not listed are removed.
//  - F entries and g values must be finite.
//  - At most 2^31 - 1 AFEs (the rows of the line store are int32-indexed).
//
// The semidefinite part barF does not exist yet.
//
// Every call checks all of its arguments before it changes anything and
// throws vlt::Error naming the argument and position.  Calls that need the
// number of variables take it as an argument: the store does not keep the
// variables' count itself, the problem does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/arg_check.hpp"
#include "model/line_store.hpp"

namespace vlt::model {

// Index checks of the conic families' int64-indexed items.
[[noreturn]] void fail_afe_index(Arg arg, int64_t value, int64_t numafe);
inline void check_afe_index(Arg arg, int64_t value, int64_t numafe) {
    if (value < 0 || value >= numafe) fail_afe_index(arg, value, numafe);
}
void check_finite_array(const char* name, int64_t n, const double* values);

class AffineStore {
public:
    int64_t num_afe() const { return static_cast<int64_t>(g_.size()); }

    void append(int64_t num);
    void put_max_num(int64_t n);
    int64_t max_num_hint() const { return max_num_; }

    // ------------------------------------------------------------- F
    void put_entry(int64_t afeidx, int32_t varidx, double value, int32_t numvar);
    void put_entry_list(int64_t numentr, const int64_t* afeidx, const int32_t* varidx, const double* val,
                        int32_t numvar);
    void put_row(int64_t afeidx, int32_t numnz, const int32_t* varidx, const double* val, int32_t numvar);
    void put_row_list(int64_t numafeidx, const int64_t* afeidx, const int32_t* numnzrow, const int64_t* ptrrow,
                      int64_t lenidxval, const int32_t* varidx, const double* val, int32_t numvar);
    void put_col(int32_t varidx, int64_t numnz, const int64_t* afeidx, const double* val, int32_t numvar);
    void empty_row(int64_t afeidx);
    void empty_row_list(int64_t numafeidx, const int64_t* afeidx);
    void empty_col(int32_t varidx, int32_t numvar);
    void empty_col_list(int64_t numvaridx, const int32_t* varidx, int32_t numvar);

    int32_t row_nnz(int64_t afeidx) const;
    int64_t nnz() const { return rows_.nnz(); }
    // Null outputs are not written.
    void get_row(int64_t afeidx, int32_t* numnz, int32_t* varidx, double* val) const;
    // All entries, row by row.
    void get_triplets(int64_t* afeidx, int32_t* varidx, double* val) const;

    // Unchecked row access for the ACC views and the conic export.
    int32_t length(int64_t afeidx) const { return rows_.length(static_cast<int32_t>(afeidx)); }
    const int32_t* cols(int64_t afeidx) const { return rows_.index(static_cast<int32_t>(afeidx)); }
    const double* vals(int64_t afeidx) const { return rows_.value(static_cast<int32_t>(afeidx)); }

    // -------------------------------------------------------------- g
    void put_g(int64_t afeidx, double g);
    void put_g_list(int64_t numafeidx, const int64_t* afeidx, const double* g);
    void put_g_slice(int64_t first, int64_t last, const double* slice);
    double get_g(int64_t afeidx) const;
    void get_g_slice(int64_t first, int64_t last, double* g) const;
    double g(int64_t afeidx) const { return g_[afeidx]; }

    // ------------------------------------------------ keeping in step
    // Maps every column through new_index (size: the old number of
    // variables); entries mapped to -1 go.  Allocates nothing.
    void renumber_vars(const std::vector<int32_t>& new_index) { rows_.renumber(new_index); }
    // Unchecked append of one whole AFE (used by conversions that have
    // validated their data): returns its index.
    int64_t append_row(int32_t numnz, const int32_t* varidx, const double* val, double g);
    // Drops the AFEs from index `keep` on (undoing appends).
    void truncate(int64_t keep);

    size_t memory_bytes() const;
    // What is inconsistent (a column index outside [0, numvar), a length
    // that disagrees), or an empty text.
    std::string consistency_error(int32_t numvar) const;

private:
    void check_slice(int64_t first, int64_t last) const;
    // Distinct, valid AFE indexes: throws otherwise.
    void check_distinct_afes(const char* name, int64_t n, const int64_t* afeidx) const;

    LineStore rows_;
    std::vector<double> g_;
    int64_t max_num_ = 0;
};

}  // namespace vlt::model
