// One orientation of a sparse matrix: a list of lines (columns or rows), each
// a run of (index, value) entries inside one shared pool.
//
// Every line owns a slot [start, start + capacity) of the pool.  A line that
// outgrows its slot moves to the end of the pool and leaves its old slot as
// garbage; the pool is compacted when garbage dominates.  Writing the lines
// of an empty region is therefore one sequential copy per line.
//
// Mutators that may need room are split in two: the caller first asks for
// room (ensure_room), which may allocate or compact but changes no line, and
// then writes, which cannot fail.  That keeps failed allocations harmless.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace vlt::model {

// Uninitialised storage for n elements (nothing is zeroed: every user writes
// before it reads).  Blocks of 32 MB and more are aligned to 2 MB and advised
// for huge pages, which cuts the page faults of filling fresh memory and the
// TLB misses of scattering into it.  Throws std::bad_alloc.
struct PoolFree {
    void operator()(void* p) const noexcept;
};
template <class T>
using PoolPtr = std::unique_ptr<T[], PoolFree>;
// huge = false: never huge pages.  Zeroing a huge page on its first touch
// evicts 2 MB of cache, which hurts when fresh memory is first written by a
// random scatter (as a transpose does); sequential filling gains from them.
void* pool_allocate(size_t bytes, bool huge);
template <class T>
PoolPtr<T> pool_alloc(int64_t n, bool huge = true) {
    return PoolPtr<T>(static_cast<T*>(pool_allocate(sizeof(T) * static_cast<size_t>(n), huge)));
}

class LineStore {
public:
    LineStore() = default;
    LineStore(const LineStore& other);
    LineStore& operator=(const LineStore& other);
    LineStore(LineStore&& other) noexcept { *this = std::move(other); }
    LineStore& operator=(LineStore&& other) noexcept;

    int32_t num_lines() const { return static_cast<int32_t>(length_.size()); }
    int64_t nnz() const { return nnz_; }
    int32_t length(int32_t k) const { return length_[k]; }
    const int32_t* index(int32_t k) const { return index_.get() + start_[k]; }
    const double* value(int32_t k) const { return value_.get() + start_[k]; }

    // Slot room a line needs to be rewritten with up to n entries: 0 when it
    // fits where it is.
    int64_t room_to_write(int32_t k, int64_t n) const { return n <= capacity_[k] ? 0 : n; }
    // Guarantees `extra` free entries at the end of the pool; may allocate,
    // may compact (moving slots), never changes a line's content.
    void ensure_room(int64_t extra, int64_t capacity_hint = 0);
    void reserve_lines(int32_t n);

    // Bulk writes: after ensure_room(n), the caller may fill the n free
    // entries from pool position tail() on (that changes no line), then hand
    // slots of them to lines with adopt_slot and finally claim_tail(n).
    int64_t tail() const { return used_; }
    int32_t* pool_index() { return index_.get(); }
    double* pool_value() { return value_.get(); }
    // Line k becomes the `length` entries at pool position `at`, a slot of
    // `capacity` entries inside the free tail; its old slot is abandoned.
    void adopt_slot(int32_t k, int64_t at, int32_t length, int32_t capacity) {
        garbage_ += capacity_[k];
        nnz_ += length - length_[k];
        start_[k] = at;
        length_[k] = length;
        capacity_[k] = capacity;
    }
    void claim_tail(int64_t n) { used_ += n; }

    void add_lines(int32_t count);
    // All lines empty; keeps the pool's memory.
    void clear(int32_t num_lines);

    // Rewrites line k with n entries, dropping values whose magnitude is at
    // or below drop_tol (all kept when drop_tol < 0).  Needs room_to_write.
    void write_line(int32_t k, int64_t n, const int32_t* index, const double* value, double drop_tol);

    // Pool room needed before reserve_line(k, want), and the reservation:
    // line k then holds up to `want` entries in place.
    int64_t room_to_reserve(int32_t k, int64_t want) const {
        return want <= capacity_[k] ? 0 : std::max<int64_t>(want, 2 * static_cast<int64_t>(capacity_[k]) + 4);
    }
    void reserve_line(int32_t k, int64_t want);
    // Sets entry (k, idx) to v; v == 0 removes it.  When it adds an entry,
    // the line must have room (reserve_line).
    void set_entry(int32_t k, int32_t idx, double v);
    double get_entry(int32_t k, int32_t idx) const;
    // Adds entry (k, idx) = v, which line k must not hold, without looking
    // for it; needs room as set_entry does.
    void append_entry(int32_t k, int32_t idx, double v) {
        const int64_t at = start_[k] + length_[k]++;
        index_[at] = idx;
        value_[at] = v;
        ++nnz_;
    }

    // Merges n updates into line k: entries present get the new value, others
    // are appended, values at or below drop_tol remove the entry.  `where` is
    // scratch indexed like the entries' indexes, all -1 on entry and on exit.
    // Needs room_to_write(k, length(k) + n).
    void merge_line(int32_t k, int64_t n, const int32_t* index, const double* value, double drop_tol,
                    std::vector<int64_t>& where);

    // Keeps the lines whose keep[k] is true, in order.
    void remove_lines(const std::vector<char>& keep);
    // Maps every entry's index through new_index; entries mapped to -1 go.
    void renumber(const std::vector<int32_t>& new_index);

    // Becomes the transpose of `other`, whose indexes are < num_lines.
    void build_transpose(const LineStore& other, int32_t num_lines);

    size_t memory_bytes() const;

private:
    void relocate(int32_t k, int64_t new_capacity);
    void regrow(int64_t new_pool_capacity);

    std::vector<int64_t> start_;
    std::vector<int32_t> length_;
    std::vector<int32_t> capacity_;
    PoolPtr<int32_t> index_;
    PoolPtr<double> value_;
    int64_t pool_capacity_ = 0;  // entries allocated in index_ and value_
    int64_t used_ = 0;           // end of the last slot
    int64_t garbage_ = 0;        // entries of abandoned slots (not the unused tails of live slots)
    int64_t nnz_ = 0;
};

}  // namespace vlt::model
