#include "model/symmat.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

namespace vlt::model {

namespace {

std::string num(int64_t v) { return std::to_string(v); }

}  // namespace

void fail_symmat_index(Arg arg, int64_t value, int64_t numsymmat) {
    fail(VLT_RES_ERR_INDEX_SYMMAT, "Argument " + arg.str() + " = " + num(value) +
                                       " is not a valid symmetric matrix index (numsymmat = " + num(numsymmat) + ")");
}

void SymMatStore::check_matrix(const char* dim_arg, int32_t dim, int64_t first, int64_t nz, const int32_t* subi,
                               const int32_t* subj, const double* valij) {
    if (dim < 1)
        fail(VLT_RES_ERR_DIMENSION, "Argument " + std::string(dim_arg) + " = " + num(dim) +
                                        " is not a valid dimension of a symmetric matrix (at least 1)");
    for (int64_t k = first; k < first + nz; ++k) {
        if (subi[k] < 0 || subi[k] >= dim)
            fail(VLT_RES_ERR_INDEX, "Argument " + at("subi", k).str() + " = " + num(subi[k]) +
                                        " is not a row of a symmetric matrix of dimension " + num(dim));
        if (subj[k] < 0 || subj[k] >= dim)
            fail(VLT_RES_ERR_INDEX, "Argument " + at("subj", k).str() + " = " + num(subj[k]) +
                                        " is not a column of a symmetric matrix of dimension " + num(dim));
        check_finite(at("valij", k), valij[k]);
    }
    if (nz < 2) return;
    // Positions as lower-triangle pairs; a repeat is adjacent once sorted.
    auto lower = [&](int64_t k) {
        return std::pair{std::max(subi[k], subj[k]), std::min(subi[k], subj[k])};
    };
    std::vector<int64_t> order(static_cast<size_t>(nz));
    std::iota(order.begin(), order.end(), first);
    std::sort(order.begin(), order.end(), [&](int64_t a, int64_t b) {
        return lower(a) < lower(b) || (lower(a) == lower(b) && a < b);
    });
    for (size_t k = 1; k < order.size(); ++k)
        if (lower(order[k]) == lower(order[k - 1]))
            fail(VLT_RES_ERR_DUPLICATE_INDEX, "Triplet " + num(order[k]) + " (" + num(subi[order[k]]) + ", " +
                                                  num(subj[order[k]]) + ") repeats the position of triplet " +
                                                  num(order[k - 1]) + " in the same symmetric matrix");
}

void SymMatStore::push(int32_t dim, int64_t nz, const int32_t* subi, const int32_t* subj, const double* valij) {
    for (int64_t k = 0; k < nz; ++k) {
        row_.push_back(std::max(subi[k], subj[k]));
        col_.push_back(std::min(subi[k], subj[k]));
        val_.push_back(valij[k]);
    }
    dim_.push_back(dim);
    start_.push_back(static_cast<int64_t>(row_.size()));
}

int64_t SymMatStore::append(int32_t dim, int64_t nz, const int32_t* subi, const int32_t* subj, const double* valij) {
    check_count({"nz"}, nz);
    check_present(subi, "subi", "nz", nz);
    check_present(subj, "subj", "nz", nz);
    check_present(valij, "valij", "nz", nz);
    check_matrix("dim", dim, 0, nz, subi, subj, valij);
    const size_t total = row_.size() + size_t(nz);
    row_.reserve(total);
    col_.reserve(total);
    val_.reserve(total);
    dim_.reserve(dim_.size() + 1);
    start_.reserve(start_.size() + 1);
    push(dim, nz, subi, subj, valij);
    return size() - 1;
}

void SymMatStore::append_list(int32_t num, const int32_t* dims, const int64_t* nz, const int32_t* subi,
                              const int32_t* subj, const double* valij, int64_t* idx) {
    check_count({"num"}, num);
    check_present(dims, "dims", "num", num);
    check_present(nz, "nz", "num", num);
    int64_t total = 0;
    for (int32_t m = 0; m < num; ++m) {
        check_count(at("nz", m), nz[m]);
        total += nz[m];
    }
    check_present(subi, "subi", "the sum of nz", total);
    check_present(subj, "subj", "the sum of nz", total);
    check_present(valij, "valij", "the sum of nz", total);
    int64_t first = 0;
    for (int32_t m = 0; m < num; ++m) {
        check_matrix(at("dims", m).str().c_str(), dims[m], first, nz[m], subi, subj, valij);
        first += nz[m];
    }
    const size_t entries = row_.size() + size_t(total);
    row_.reserve(entries);
    col_.reserve(entries);
    val_.reserve(entries);
    dim_.reserve(dim_.size() + size_t(num));
    start_.reserve(start_.size() + size_t(num));
    first = 0;
    for (int32_t m = 0; m < num; ++m) {
        push(dims[m], nz[m], subi + first, subj + first, valij + first);
        first += nz[m];
        if (idx) idx[m] = size() - 1;
    }
}

int64_t SymMatStore::append_valid(int32_t dim, const std::vector<int32_t>& rows, const std::vector<int32_t>& cols,
                                  const std::vector<double>& vals) {
    push(dim, static_cast<int64_t>(rows.size()), rows.data(), cols.data(), vals.data());
    return size() - 1;
}

void SymMatStore::get_info(int64_t idx, int32_t* dim, int64_t* nz, int32_t* mattype) const {
    check_index({"idx"}, idx);
    if (dim) *dim = dim_[size_t(idx)];
    if (nz) *nz = this->nnz(idx);
    if (mattype) *mattype = VLT_SYMMAT_TYPE_SPARSE;
}

void SymMatStore::get(int64_t idx, int64_t maxlen, int32_t* subi, int32_t* subj, double* valij) const {
    check_index({"idx"}, idx);
    const int64_t n = nnz(idx);
    if (maxlen < n)
        fail(VLT_RES_ERR_BUFFER_TOO_SMALL, "Argument maxlen = " + num(maxlen) + " is below the " + num(n) +
                                               " triplets of symmetric matrix " + num(idx));
    if (subi) std::copy(rows(idx), rows(idx) + n, subi);
    if (subj) std::copy(cols(idx), cols(idx) + n, subj);
    if (valij) std::copy(vals(idx), vals(idx) + n, valij);
}

void SymMatStore::truncate(int64_t keep) {
    if (keep >= size()) return;
    const size_t entries = size_t(start_[size_t(keep)]);
    dim_.resize(size_t(keep));
    start_.resize(size_t(keep) + 1);
    row_.resize(entries);
    col_.resize(entries);
    val_.resize(entries);
}

size_t SymMatStore::memory_bytes() const {
    return dim_.capacity() * sizeof(int32_t) + start_.capacity() * sizeof(int64_t) +
           (row_.capacity() + col_.capacity()) * sizeof(int32_t) + val_.capacity() * sizeof(double);
}

std::string SymMatStore::consistency_error() const {
    if (start_.size() != dim_.size() + 1 || start_.back() != total_nnz() || col_.size() != row_.size() ||
        val_.size() != row_.size())
        return "the symmetric matrices' arrays disagree in length";
    for (int64_t m = 0; m < size(); ++m) {
        if (dim(m) < 1) return "symmetric matrix " + num(m) + " has dimension " + num(dim(m));
        for (int64_t k = 0; k < nnz(m); ++k)
            if (cols(m)[k] < 0 || cols(m)[k] > rows(m)[k] || rows(m)[k] >= dim(m))
                return "symmetric matrix " + num(m) + " has a triplet outside its lower triangle";
    }
    return {};
}

}  // namespace vlt::model
