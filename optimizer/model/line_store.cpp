#include "model/line_store.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vlt::model {

void PoolFree::operator()(void* p) const noexcept { std::free(p); }

void* pool_allocate(size_t bytes, bool huge) {
    // Below 32 MB the C library may hand back memory freed earlier (already
    // mapped, no faults); from there on it maps fresh memory every time, and
    // huge pages make that cheaper.
    constexpr size_t kHuge = size_t{2} << 20, kHugeFrom = size_t{32} << 20;
    void* p = nullptr;
    if (huge && bytes >= kHugeFrom) {
        p = std::aligned_alloc(kHuge, (bytes + kHuge - 1) / kHuge * kHuge);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (p) madvise(p, bytes, MADV_HUGEPAGE);  // advice only: failure is harmless
#endif
    } else {
        p = std::malloc(bytes > 0 ? bytes : 1);
    }
    if (!p) throw std::bad_alloc();
    return p;
}

namespace {
constexpr int64_t kMaxLine = std::numeric_limits<int32_t>::max();

// memcpy of n elements; n == 0 allows null pointers.
template <class T>
void copy_n(T* to, const T* from, int64_t n) {
    if (n > 0) std::memcpy(to, from, sizeof(T) * static_cast<size_t>(n));
}
}

LineStore::LineStore(const LineStore& other)
    : start_(other.num_lines()), length_(other.length_), capacity_(other.length_), pool_capacity_(other.nnz_),
      used_(other.nnz_), nnz_(other.nnz_) {
    // The copy is compact: every slot exactly as long as its line.
    index_ = pool_alloc<int32_t>(nnz_);
    value_ = pool_alloc<double>(nnz_);
    int64_t pos = 0;
    for (int32_t k = 0; k < other.num_lines(); ++k) {
        start_[k] = pos;
        copy_n(index_.get() + pos, other.index(k), length_[k]);
        copy_n(value_.get() + pos, other.value(k), length_[k]);
        pos += length_[k];
    }
}

LineStore& LineStore::operator=(const LineStore& other) {
    if (this != &other) *this = LineStore(other);
    return *this;
}

LineStore& LineStore::operator=(LineStore&& other) noexcept {
    if (this == &other) return *this;
    start_ = std::move(other.start_);
    length_ = std::move(other.length_);
    capacity_ = std::move(other.capacity_);
    index_ = std::move(other.index_);
    value_ = std::move(other.value_);
    pool_capacity_ = std::exchange(other.pool_capacity_, 0);
    used_ = std::exchange(other.used_, 0);
    garbage_ = std::exchange(other.garbage_, 0);
    nnz_ = std::exchange(other.nnz_, 0);
    other.start_.clear();
    other.length_.clear();
    other.capacity_.clear();
    return *this;
}

void LineStore::reserve_lines(int32_t n) {
    start_.reserve(n);
    length_.reserve(n);
    capacity_.reserve(n);
}

void LineStore::add_lines(int32_t count) {
    size_t n = length_.size() + count;
    reserve_lines(static_cast<int32_t>(n));
    start_.resize(n, used_);
    length_.resize(n, 0);
    capacity_.resize(n, 0);
}

void LineStore::clear(int32_t num_lines) {
    start_.assign(num_lines, 0);
    length_.assign(num_lines, 0);
    capacity_.assign(num_lines, 0);
    used_ = garbage_ = nnz_ = 0;
}

void LineStore::regrow(int64_t new_pool_capacity) {
    // Copies the live slots into a fresh pool, in line order, each keeping its
    // capacity: room that callers computed before the call stays valid.
    auto index = pool_alloc<int32_t>(new_pool_capacity);
    auto value = pool_alloc<double>(new_pool_capacity);
    int64_t pos = 0;
    for (int32_t k = 0; k < num_lines(); ++k) {
        copy_n(index.get() + pos, index_.get() + start_[k], length_[k]);
        copy_n(value.get() + pos, value_.get() + start_[k], length_[k]);
        start_[k] = pos;
        pos += capacity_[k];
    }
    index_ = std::move(index);
    value_ = std::move(value);
    pool_capacity_ = new_pool_capacity;
    used_ = pos;
    garbage_ = 0;
}

void LineStore::ensure_room(int64_t extra, int64_t capacity_hint) {
    if (used_ + extra <= pool_capacity_) return;
    const int64_t needed = (used_ - garbage_) + extra;
    // Compacting (dropping abandoned slots) is enough while the live slots
    // plus the request fill at most three quarters of the pool; otherwise
    // grow geometrically.  Either way a fresh buffer is filled, so a failed
    // allocation leaves every line as it was.
    if (needed <= pool_capacity_ / 4 * 3) {
        regrow(pool_capacity_);
    } else {
        constexpr int64_t kMaxHint = int64_t{1} << 26;  // hints reserve at most this many entries
        regrow(std::max({needed, pool_capacity_ + pool_capacity_ / 2, std::min(capacity_hint, kMaxHint)}));
    }
}

void LineStore::relocate(int32_t k, int64_t new_capacity) {
    new_capacity = std::min(new_capacity, kMaxLine);
    int64_t at = used_;
    copy_n(index_.get() + at, index_.get() + start_[k], length_[k]);
    copy_n(value_.get() + at, value_.get() + start_[k], length_[k]);
    garbage_ += capacity_[k];
    start_[k] = at;
    capacity_[k] = static_cast<int32_t>(new_capacity);
    used_ += new_capacity;
}

void LineStore::write_line(int32_t k, int64_t n, const int32_t* index, const double* value, double drop_tol) {
    if (n > capacity_[k]) {
        garbage_ += capacity_[k];
        start_[k] = used_;
        capacity_[k] = static_cast<int32_t>(n);
        used_ += n;
    }
    int32_t* out_index = index_.get() + start_[k];
    double* out_value = value_.get() + start_[k];
    int64_t kept = n;
    if (drop_tol < 0) {
        copy_n(out_index, index, n);
        copy_n(out_value, value, n);
    } else {
        kept = 0;
        for (int64_t e = 0; e < n; ++e) {
            out_index[kept] = index[e];
            out_value[kept] = value[e];
            kept += std::fabs(value[e]) > drop_tol;
        }
    }
    nnz_ += kept - length_[k];
    length_[k] = static_cast<int32_t>(kept);
}

void LineStore::reserve_line(int32_t k, int64_t want) {
    int64_t room = room_to_reserve(k, want);
    if (room > 0) relocate(k, room);
}

double LineStore::get_entry(int32_t k, int32_t idx) const {
    const int32_t* ix = index(k);
    for (int32_t e = 0; e < length_[k]; ++e)
        if (ix[e] == idx) return value(k)[e];
    return 0.0;
}

void LineStore::set_entry(int32_t k, int32_t idx, double v) {
    int32_t* ix = index_.get() + start_[k];
    double* val = value_.get() + start_[k];
    int32_t len = length_[k];
    for (int32_t e = 0; e < len; ++e) {
        if (ix[e] != idx) continue;
        if (v != 0.0) {
            val[e] = v;
        } else {  // order within a line is not significant: move the last entry here
            ix[e] = ix[len - 1];
            val[e] = val[len - 1];
            --length_[k];
            --nnz_;
        }
        return;
    }
    if (v == 0.0) return;
    ix[len] = idx;
    val[len] = v;
    ++length_[k];
    ++nnz_;
}

void LineStore::merge_line(int32_t k, int64_t n, const int32_t* index, const double* value, double drop_tol,
                           std::vector<int64_t>& where) {
    if (length_[k] == 0) {  // nothing to merge with: the updates are distinct already
        write_line(k, n, index, value, drop_tol);
        return;
    }
    if (length_[k] + n > capacity_[k]) relocate(k, length_[k] + n);
    int32_t* ix = index_.get() + start_[k];
    double* val = value_.get() + start_[k];
    int64_t len = length_[k];
    for (int64_t e = 0; e < len; ++e) where[ix[e]] = e;
    for (int64_t u = 0; u < n; ++u) {
        int64_t at = where[index[u]];
        if (at < 0) {
            at = len++;
            ix[at] = index[u];
            where[index[u]] = at;
        }
        val[at] = value[u];
    }
    int64_t kept = 0;
    for (int64_t e = 0; e < len; ++e) {
        where[ix[e]] = -1;
        ix[kept] = ix[e];
        val[kept] = val[e];
        kept += std::fabs(val[e]) > drop_tol;
    }
    nnz_ += kept - length_[k];
    length_[k] = static_cast<int32_t>(kept);
}

void LineStore::remove_lines(const std::vector<char>& keep) {
    size_t w = 0;
    for (size_t k = 0; k < length_.size(); ++k) {
        if (!keep[k]) {
            garbage_ += capacity_[k];
            nnz_ -= length_[k];
            continue;
        }
        start_[w] = start_[k];
        length_[w] = length_[k];
        capacity_[w] = capacity_[k];
        ++w;
    }
    start_.resize(w);
    length_.resize(w);
    capacity_.resize(w);
}

void LineStore::renumber(const std::vector<int32_t>& new_index) {
    for (int32_t k = 0; k < num_lines(); ++k) {
        int32_t* ix = index_.get() + start_[k];
        double* val = value_.get() + start_[k];
        int32_t kept = 0;
        for (int32_t e = 0; e < length_[k]; ++e) {
            int32_t to = new_index[ix[e]];
            ix[kept] = to;
            val[kept] = val[e];
            kept += to >= 0;
        }
        nnz_ -= length_[k] - kept;
        length_[k] = kept;
    }
}

void LineStore::build_transpose(const LineStore& other, int32_t num_lines) {
    // Counting sort by the other store's indexes: two passes over its entries.
    std::vector<int64_t> start(static_cast<size_t>(num_lines) + 1, 0);
    for (int32_t k = 0; k < other.num_lines(); ++k) {
        const int32_t* ix = other.index(k);
        for (int32_t e = 0; e < other.length(k); ++e) ++start[ix[e] + 1];
    }
    for (int32_t i = 0; i < num_lines; ++i) start[i + 1] += start[i];
    int64_t total = start[num_lines];
    PoolPtr<int32_t> index;
    PoolPtr<double> value;
    int64_t pool = pool_capacity_;
    if (total > pool_capacity_) {
        index = pool_alloc<int32_t>(total, false);
        value = pool_alloc<double>(total, false);
        pool = total;
    }
    std::vector<int32_t> length(num_lines);
    start.pop_back();
    std::vector<int64_t> fill(start);
    std::vector<int32_t> capacity(num_lines);
    constexpr int32_t kRowsPerBucket = 4096;
    constexpr int64_t kBucketedFrom = int64_t{1} << 20;
    const bool bucketed = num_lines > kRowsPerBucket && total >= kBucketedFrom;
    // Scratch of the bucketed scatter; not zeroed: every entry is written
    // before it is read.
    std::unique_ptr<int32_t[]> tmp_line, tmp_row;
    std::unique_ptr<double[]> tmp_value;
    // Bucket b holds the entries of rows [b * kRowsPerBucket, ...), which
    // are the positions [start[first row of b], ...) of the result.
    std::vector<int64_t> bucket_fill;
    if (bucketed) {
        const int32_t buckets = (num_lines + kRowsPerBucket - 1) / kRowsPerBucket;
        bucket_fill.resize(buckets);
        for (int32_t b = 0; b < buckets; ++b) bucket_fill[b] = start[static_cast<size_t>(b) * kRowsPerBucket];
        tmp_line = std::make_unique_for_overwrite<int32_t[]>(static_cast<size_t>(total));
        tmp_row = std::make_unique_for_overwrite<int32_t[]>(static_cast<size_t>(total));
        tmp_value = std::make_unique_for_overwrite<double[]>(static_cast<size_t>(total));
    }
    // Nothing below allocates: the store changes only from here on.
    if (index) {
        index_ = std::move(index);
        value_ = std::move(value);
    }
    pool_capacity_ = pool;
    int32_t* out_index = index_.get();
    double* out_value = value_.get();
    // Scattering straight into the rows touches one cache line per row per
    // entry, which is memory-latency bound when the rows do not fit in cache.
    // Large transposes first partition the entries into buckets of
    // consecutive rows (a few hundred sequential streams), then scatter each
    // bucket, whose rows fit in cache.
    if (!bucketed) {
        for (int32_t k = 0; k < other.num_lines(); ++k) {
            const int32_t* ix = other.index(k);
            const double* val = other.value(k);
            for (int32_t e = 0; e < other.length(k); ++e) {
                int64_t at = fill[ix[e]]++;
                out_index[at] = k;
                out_value[at] = val[e];
            }
        }
    } else {
        for (int32_t k = 0; k < other.num_lines(); ++k) {
            const int32_t* ix = other.index(k);
            const double* val = other.value(k);
            for (int32_t e = 0; e < other.length(k); ++e) {
                int64_t at = bucket_fill[ix[e] / kRowsPerBucket]++;
                tmp_line[at] = k;
                tmp_row[at] = ix[e];
                tmp_value[at] = val[e];
            }
        }
        for (int64_t at = 0; at < total; ++at) {
            int64_t to = fill[tmp_row[at]]++;
            out_index[to] = tmp_line[at];
            out_value[to] = tmp_value[at];
        }
    }
    for (int32_t i = 0; i < num_lines; ++i) capacity[i] = length[i] = static_cast<int32_t>(fill[i] - start[i]);
    start_ = std::move(start);
    capacity_ = std::move(capacity);
    length_ = std::move(length);
    used_ = nnz_ = total;
    garbage_ = 0;
}

size_t LineStore::memory_bytes() const {
    return start_.capacity() * sizeof(int64_t) + (length_.capacity() + capacity_.capacity()) * sizeof(int32_t) +
           static_cast<size_t>(pool_capacity_) * (sizeof(int32_t) + sizeof(double));
}

}  // namespace vlt::model
