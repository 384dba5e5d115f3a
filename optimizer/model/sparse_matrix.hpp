// The linear constraint matrix: a sparse store with fast column and row
// access.
//
// It holds up to two orientations, a column store (lines are columns,
// indexes are rows) and a row store.  At least one is current; the other is
// rebuilt from it by a counting-sort transpose when first needed, so reading
// rows of a matrix entered by columns costs O(nnz) once, not per row.  A put
// writes the orientation it names and keeps the other current only when the
// put is small (single entries, short lines); a bulk put marks it stale, so
// entering a matrix by columns and reading it back by columns never pays for
// a transpose.
//
// Puts check everything first and change nothing when a check fails.
// Entries whose magnitude is at or below the truncation tolerance are
// dropped when put, which is also how a zero removes an entry.  Order within
// a line is the order of entry (not sorted).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "model/arg_check.hpp"
#include "model/line_store.hpp"

namespace vlt::model {

enum class Axis { Col, Row };

// Lines to replace: the lines of a slice (list null) or of a list, each line
// given by positions [ptrb[k], ptre[k]) into sub and val.
struct LineBatch {
    Axis axis = Axis::Col;
    int32_t count = 0;
    int32_t first = 0;
    const int32_t* list = nullptr;
    const int64_t* ptrb = nullptr;
    const int64_t* ptre = nullptr;
    const int32_t* sub = nullptr;
    const double* val = nullptr;
    int32_t line(int32_t k) const { return list ? list[k] : first + k; }
};

// Argument names used in the messages of a batch's checks.
struct BatchNames {
    const char* count;  // what gives the number of lines: "num", "last - first"
    const char* list;   // "sub" (only for lists)
    const char* ptrb;
    const char* ptre;
    const char* sub;
    const char* val;
};

class SparseMatrix {
public:
    SparseMatrix() = default;
    SparseMatrix(const SparseMatrix& other);
    SparseMatrix& operator=(const SparseMatrix& other);
    SparseMatrix(SparseMatrix&& other) noexcept;
    SparseMatrix& operator=(SparseMatrix&& other) noexcept;

    int32_t num_rows() const { return num_rows_; }
    int32_t num_cols() const { return num_cols_; }
    int64_t nnz() const;

    double truncate_tol() const { return truncate_tol_; }
    void set_truncate_tol(double tol) { truncate_tol_ = tol; }
    int64_t max_nnz_hint() const { return max_nnz_hint_; }
    void set_max_nnz_hint(int64_t n) { max_nnz_hint_ = n; }

    void add_rows(int32_t n);
    void add_cols(int32_t n);
    // keep[k] says whether row (column) k stays; the rest shift down.
    void remove_rows(const std::vector<char>& keep);
    void remove_cols(const std::vector<char>& keep);

    // Replaces the lines of the batch.  Checks: line indexes (and no line
    // twice), ptrb/ptre, entry indexes, finite values, no index twice in a
    // line; throws before any change.
    void put_lines(const LineBatch& batch, const BatchNames& names);
    // put_lines for the one line `line` given by n entries of sub and val
    // (names.ptrb and names.ptre name the positions 0 and n in messages).
    void put_line(Axis axis, int32_t line, int64_t n, const int32_t* sub, const double* val, const BatchNames& names);

    // Sets entries (subi[k], subj[k]) to val[k]; a (row, column) pair twice
    // in one call is refused.
    void put_entries(int64_t num, const int32_t* subi, const int32_t* subj, const double* val);

    double get(int32_t i, int32_t j) const;
    // The lines of one orientation, rebuilt when stale.
    const LineStore& lines(Axis axis) const;

    int64_t slice_nnz(Axis axis, int32_t first, int32_t last) const;
    int64_t piece_nnz(int32_t first_row, int32_t last_row, int32_t first_col, int32_t last_col) const;
    // Copies lines first..last-1; any output may be null.
    void get_slice(Axis axis, int32_t first, int32_t last, int64_t* ptrb, int64_t* ptre, int32_t* sub,
                   double* val) const;
    void get_slice_triplets(Axis axis, int32_t first, int32_t last, int32_t* subi, int32_t* subj,
                            double* val) const;
    // Every entry, as triplets, in the order of whichever store is current.
    void get_triplets(int32_t* subi, int32_t* subj, double* val) const;

    size_t memory_bytes() const;

private:
    LineStore& store(Axis axis) { return axis == Axis::Col ? cols_ : rows_; }
    std::atomic<bool>& current(Axis axis) const { return axis == Axis::Col ? cols_current_ : rows_current_; }
    int32_t line_count(Axis axis) const { return axis == Axis::Col ? num_cols_ : num_rows_; }
    int32_t index_count(Axis axis) const { return axis == Axis::Col ? num_rows_ : num_cols_; }
    // The orientation a read should use: a current one, preferring `want`.
    Axis readable(Axis want) const;
    // The checks of a batch that do not read entries (line list, ptrb/ptre,
    // null arrays); returns the number of entries.
    int64_t check_batch_layout(const LineBatch& batch, const BatchNames& names);
    // The entry checks of line k, given what a scan of it found; throws the
    // first failure in position order (indexes, then values, then repeats).
    void check_line_entries(const LineBatch& batch, const BatchNames& names, int32_t k, bool bad_index,
                            bool bad_value, bool increasing);
    void check_batch(const LineBatch& batch, const BatchNames& names, bool& any_dropped);
    // A put of lines that are all empty, with the other orientation left
    // stale: checks and copies each line in one pass into the free tail of
    // the pool, then hands the lines their slots.
    void put_into_empty_lines(const LineBatch& batch, const BatchNames& names, int64_t total);
    // put_lines for one short line, entries [begin, end) of sub and val: the
    // same checks and result without scratch vectors or sorting.
    void put_small_line(Axis axis, int32_t line, int64_t begin, int64_t end, const int32_t* sub, const double* val,
                        const BatchNames& names);
    // put_lines for any batch.
    void put_batch(const LineBatch& batch, const BatchNames& names);
    // Refuses a repeated index among the n entries of line `line` of the
    // triplet put (subi, subj).
    void check_pairs_of_line(Axis axis, int32_t line, const int32_t* index, int64_t n, int64_t num,
                             const int32_t* subi, const int32_t* subj);
    void check_no_repeat(Axis axis, int32_t line, const int32_t* index, int64_t n, const char* name,
                         int64_t first_pos);
    void check_pairs_distinct_small(int64_t num, const int32_t* subi, const int32_t* subj);
    [[noreturn]] void fail_repeated_pair(int64_t num, const int32_t* subi, const int32_t* subj, int32_t i, int32_t j);
    // Makes room for adding up to one entry per element of `lines` (a line
    // may repeat) and reserves it, so the following set_entry calls cannot
    // fail.
    static void prepare_adds(LineStore& store, std::vector<int32_t> lines);
    std::vector<uint32_t>& stamps(size_t size);
    // Whether an index repeats among ix[0..n) (all valid indexes of the
    // axis): each call marks the indexes it sees with a new 16-bit
    // generation, so nothing is cleared between calls and the marks of long
    // index ranges stay small enough for the cache.
    bool repeats(Axis axis, const int32_t* ix, int64_t n);
    void reserve_seen(Axis axis);
    uint32_t next_stamp();

    int32_t num_rows_ = 0, num_cols_ = 0;
    double truncate_tol_ = 1e-9;
    int64_t max_nnz_hint_ = 0;
    mutable LineStore cols_, rows_;
    mutable std::atomic<bool> cols_current_{true}, rows_current_{true};
    mutable std::mutex rebuild_mutex_;
    // Scratch for checks and merges; not part of the matrix's value.
    std::vector<uint32_t> stamp_;
    uint32_t stamp_generation_ = 0;
    std::vector<int64_t> where_;
    std::vector<uint16_t> seen_;  // generation that last saw each index
    uint16_t seen_generation_ = 0;
};

}  // namespace vlt::model
