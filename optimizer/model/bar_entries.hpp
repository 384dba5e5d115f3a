// Term lists keyed by (row, semidefinite variable): the shape shared by
// barC (row 0), barA (row = constraint) and barF (row = affine expression).
// An entry is the weighted sum  sum_t weight[t] * M[matidx[t]]  of symmetric
// matrices of the store (model/symmat.hpp).
//
// Entries are kept sorted by (row, j); the position of an entry in that
// order is its index, as reported by the sparsity getters (valid until the
// next change).  An entry has at least one term: putting an empty list
// removes it.  The terms live in one pool; replaced terms leave holes that
// are squeezed out once they outnumber the live ones.
//
// The class checks nothing: its owner (model/semidefinite.hpp) validates
// every argument before it calls a mutator, and the mutators only allocate
// before they change anything.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "model/symmat.hpp"

namespace vlt::model {

// One element of a block-triplet view: (row, j, k, l) with k >= l.
struct BlockTriplet {
    int64_t row;
    int32_t j, k, l;
    double value;
};

class BarEntries {
public:
    struct Entry {
        int64_t row;
        int32_t j;
        int64_t start, count;  // terms in the pool
    };
    // An entry to put: its key and its terms (owned elsewhere).
    struct NewEntry {
        int64_t row;
        int32_t j;
        int64_t count;
        const int64_t* matidx;
        const double* weight;
    };

    int64_t size() const { return static_cast<int64_t>(entries_.size()); }
    int64_t num_terms() const { return live_terms_; }
    const Entry& entry(int64_t k) const { return entries_[size_t(k)]; }
    const int64_t* matidx(const Entry& e) const { return mat_.data() + e.start; }
    const double* weights(const Entry& e) const { return weight_.data() + e.start; }

    // Position of entry (row, j), or -1.
    int64_t find(int64_t row, int32_t j) const;
    // The positions [first, last) of the entries of a row.
    std::pair<int64_t, int64_t> row_range(int64_t row) const;
    int64_t row_terms(int64_t row) const;

    // Sets the entries named (distinct keys): an entry with terms replaces
    // the one of its key, an empty one removes it.
    void put(std::vector<NewEntry> entries);
    // Replaces the entries of each row named (distinct rows) by the given
    // ones, whose rows must be among them.
    void put_rows(const std::vector<int64_t>& rows, std::vector<NewEntry> entries);
    // Entries whose row or j maps to -1 go; the others are renumbered.
    // new_row / new_j of size 0 mean "unchanged".
    void renumber(const std::vector<int64_t>& new_row, const std::vector<int32_t>& new_j);
    // Entries of rows from `keep` on go.
    void drop_rows_from(int64_t keep);
    void clear();

    // The entry's value as lower-triangle triplets (k >= l), each position
    // once, sorted by (k, l); positions whose value is zero are left out.
    void expand(const Entry& e, const SymMatStore& mats, std::vector<BlockTriplet>& out) const;
    int64_t expanded_count(const SymMatStore& mats) const;
    std::vector<BlockTriplet> expand_all(const SymMatStore& mats) const;

    size_t memory_bytes() const;
    // What is wrong (an order, a term out of the pool or the store, a
    // dimension that disagrees), or an empty text.  row_limit and dims give
    // the valid rows and the dimensions of the semidefinite variables.
    std::string consistency_error(const char* what, int64_t row_limit, const std::vector<int32_t>& dims,
                                  const SymMatStore& mats) const;

private:
    // Merges sorted, distinct new entries into the list; `drop(e)` also
    // removes existing entries that are not replaced.
    void merge(std::vector<NewEntry>& entries, const std::function<bool(const Entry&)>& drop);
    void compact_pool();

    std::vector<Entry> entries_;
    std::vector<int64_t> mat_;
    std::vector<double> weight_;
    int64_t live_terms_ = 0;
};

}  // namespace vlt::model
