// The task's store of sparse symmetric matrices.  barC, barA and barF refer
// to them by their int64 index; they are appended and never changed or
// removed, so an index stays valid for the life of the task.
//
// A matrix has a dimension d >= 1 and is given by triplets (k, l, value) of
// its lower triangle, 0 <= l <= k < d.  Choices:
//  - A triplet of the upper triangle (k < l) stands for its mirror (l, k), as
//    for quadratic terms; a position given twice (also through its mirror)
//    is refused (VLT_RES_ERR_DUPLICATE_INDEX).
//  - Values must be finite; zeros are kept as given.
//  - The triplets are kept in the order given (mirrored ones at their place).
//  - Every matrix is of type VLT_SYMMAT_TYPE_SPARSE.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/arg_check.hpp"

namespace vlt::model {

[[noreturn]] void fail_symmat_index(Arg arg, int64_t value, int64_t numsymmat);

class SymMatStore {
public:
    int64_t size() const { return static_cast<int64_t>(dim_.size()); }
    int32_t dim(int64_t idx) const { return dim_[size_t(idx)]; }
    int64_t nnz(int64_t idx) const { return start_[size_t(idx) + 1] - start_[size_t(idx)]; }
    int64_t total_nnz() const { return static_cast<int64_t>(row_.size()); }
    // Unchecked access to the lower-triangle triplets of matrix idx.
    const int32_t* rows(int64_t idx) const { return row_.data() + start_[size_t(idx)]; }
    const int32_t* cols(int64_t idx) const { return col_.data() + start_[size_t(idx)]; }
    const double* vals(int64_t idx) const { return val_.data() + start_[size_t(idx)]; }

    void check_index(Arg arg, int64_t idx) const {
        if (idx < 0 || idx >= size()) fail_symmat_index(arg, idx, size());
    }

    // Appends one matrix; returns its index.
    int64_t append(int32_t dim, int64_t nz, const int32_t* subi, const int32_t* subj, const double* valij);
    // Appends num matrices whose triplets follow one another in subi, subj,
    // valij (nz[k] each); idx (may be null) receives their indexes.  All or
    // nothing.
    void append_list(int32_t num, const int32_t* dims, const int64_t* nz, const int32_t* subi, const int32_t* subj,
                     const double* valij, int64_t* idx);
    // Appends a matrix whose triplets are known to be valid, lower and
    // distinct (made by the library itself).
    int64_t append_valid(int32_t dim, const std::vector<int32_t>& rows, const std::vector<int32_t>& cols,
                         const std::vector<double>& vals);

    void get_info(int64_t idx, int32_t* dim, int64_t* nz, int32_t* mattype) const;
    // Throws VLT_RES_ERR_BUFFER_TOO_SMALL when maxlen is below the count.
    void get(int64_t idx, int64_t maxlen, int32_t* subi, int32_t* subj, double* valij) const;

    // Undoes appends: keeps the first `keep` matrices.
    void truncate(int64_t keep);

    size_t memory_bytes() const;
    std::string consistency_error() const;

private:
    // Checks the dimension and the triplets at [first, first + nz) of one
    // matrix.
    static void check_matrix(const char* dim_arg, int32_t dim, int64_t first, int64_t nz, const int32_t* subi,
                             const int32_t* subj, const double* valij);
    void push(int32_t dim, int64_t nz, const int32_t* subi, const int32_t* subj, const double* valij);

    std::vector<int32_t> dim_;
    std::vector<int64_t> start_{0};  // size() + 1 positions into row_, col_, val_
    std::vector<int32_t> row_, col_;
    std::vector<double> val_;
};

}  // namespace vlt::model
