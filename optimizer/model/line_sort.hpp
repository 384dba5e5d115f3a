// Stable counting sort of (line, index, value) entries into the regions of
// their lines, the core of bulk triplet puts and of transposes.
//
// Scattering straight into the lines touches one cache line per line per
// entry, which is memory-latency bound once the lines' regions do not fit in
// cache.  Large sorts therefore first partition the entries into buckets of
// consecutive lines (a few hundred sequential streams) written into the
// output itself, keeping only a 16-bit line offset per entry aside; then
// each bucket, whose lines fit in cache, is copied to a small scratch and
// scattered back into its own region.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/line_store.hpp"

namespace vlt::model {

namespace line_sort_detail {
constexpr int64_t kBucketedFrom = int64_t{1} << 18;
constexpr int32_t kDirectLines = 8192;
inline bool direct(int32_t nlines, int64_t num) { return nlines <= kDirectLines || num < kBucketedFrom; }
// log2 of the lines per bucket: aiming at about 64k entries per bucket, at
// most 65536 lines (the offset is kept in 16 bits) and at most a few
// thousand buckets.
inline int bucket_shift(int32_t nlines, int64_t num) {
    constexpr double kBucketEntries = 65536.0;
    int shift = 0;
    const double lines_wanted = kBucketEntries * static_cast<double>(nlines) / static_cast<double>(num);
    while (shift < 16 && static_cast<double>(int64_t{2} << shift) <= lines_wanted) ++shift;
    while (shift < 16 && (nlines >> shift) > 4096) ++shift;
    return shift;
}
}  // namespace line_sort_detail

// Line l receives out positions [start[l], start[l + 1]) (start has nlines +
// 1 non-decreasing entries; start[nlines] - start[0] entries in all).
// `each(emit)` calls emit(line, index, value) for every entry, in the same
// order each time it is called (once or twice).  Entries of a line keep that
// order.  done(first, last) is called, in order, once lines first..last-1 are
// complete; the calls cover every line.  Allocates scratch (std::bad_alloc)
// before it writes anything.
template <class Each, class Done>
void sort_by_line(int32_t nlines, const int64_t* start, Each&& each, int32_t* out_index, double* out_value,
                  Done&& done) {
    using namespace line_sort_detail;
    const int64_t num = start[nlines] - start[0];
    std::vector<int64_t> fill(start, start + nlines);
    if (direct(nlines, num)) {
        each([&](int32_t line, int32_t index, double value) {
            const int64_t at = fill[line]++;
            out_index[at] = index;
            out_value[at] = value;
        });
        done(0, nlines);
        return;
    }
    const int shift = bucket_shift(nlines, num);
    const int32_t buckets = static_cast<int32_t>((static_cast<int64_t>(nlines) + (int64_t{1} << shift) - 1) >> shift);
    std::vector<int64_t> bucket_fill(static_cast<size_t>(buckets) + 1);
    int64_t largest = 0;
    for (int32_t b = 0; b <= buckets; ++b) {
        bucket_fill[b] = start[std::min<int64_t>(static_cast<int64_t>(b) << shift, nlines)];
        if (b > 0) largest = std::max(largest, bucket_fill[b] - bucket_fill[b - 1]);
    }
    const std::vector<int64_t> bucket_start(bucket_fill);
    auto offset = pool_alloc<uint16_t>(num);
    auto scratch_index = pool_alloc<int32_t>(largest);
    auto scratch_value = pool_alloc<double>(largest);
    auto scratch_offset = pool_alloc<uint16_t>(largest);
    const int64_t base = start[0];
    const uint32_t mask = (uint32_t{1} << shift) - 1;
    each([&](int32_t line, int32_t index, double value) {
        const int64_t at = bucket_fill[static_cast<uint32_t>(line) >> shift]++;
        out_index[at] = index;
        out_value[at] = value;
        offset[at - base] = static_cast<uint16_t>(static_cast<uint32_t>(line) & mask);
    });
    for (int32_t b = 0; b < buckets; ++b) {
        const int64_t from = bucket_start[b], n = bucket_start[b + 1] - from;
        const int32_t first = b << shift, last = static_cast<int32_t>(std::min<int64_t>(int64_t{first} + mask + 1, nlines));
        if (n > 0) {
            std::memcpy(scratch_index.get(), out_index + from, sizeof(int32_t) * static_cast<size_t>(n));
            std::memcpy(scratch_value.get(), out_value + from, sizeof(double) * static_cast<size_t>(n));
            std::memcpy(scratch_offset.get(), offset.get() + (from - base), sizeof(uint16_t) * static_cast<size_t>(n));
            int64_t* line_fill = fill.data() + first;
            for (int64_t e = 0; e < n; ++e) {
                const int64_t at = line_fill[scratch_offset[e]]++;
                out_index[at] = scratch_index[e];
                out_value[at] = scratch_value[e];
            }
        }
        done(first, last);
    }
}

// The same for `num` entries whose lines are line[0..num): counts the lines
// itself and fills start (nlines + 1 entries, positions in out).  Large sorts
// count only buckets up front and the lines of a bucket when it is placed,
// which keeps every counter in cache.  Lines in start[first..last] are final
// when done(first, last) is called.  `grouped` says the entries come line by
// line already (line[] non-decreasing): scattering them is sequential.
template <class Each, class Done>
void sort_by_line_counted(int32_t nlines, int64_t num, const int32_t* line, bool grouped, Each&& each,
                          int32_t* out_index, double* out_value, int64_t* start, Done&& done) {
    using namespace line_sort_detail;
    if (grouped || direct(nlines, num)) {
        std::fill(start, start + nlines + 1, int64_t{0});
        for (int64_t k = 0; k < num; ++k) ++start[line[k] + 1];
        for (int32_t l = 0; l < nlines; ++l) start[l + 1] += start[l];
        sort_by_line(nlines, start, each, out_index, out_value, done);
        return;
    }
    const int shift = bucket_shift(nlines, num);
    const int32_t buckets = static_cast<int32_t>((static_cast<int64_t>(nlines) + (int64_t{1} << shift) - 1) >> shift);
    std::vector<int64_t> bucket_start(static_cast<size_t>(buckets) + 1, 0);
    for (int64_t k = 0; k < num; ++k) ++bucket_start[(static_cast<uint32_t>(line[k]) >> shift) + 1];
    int64_t largest = 0;
    for (int32_t b = 0; b < buckets; ++b) {
        largest = std::max(largest, bucket_start[b + 1]);
        bucket_start[b + 1] += bucket_start[b];
    }
    std::vector<int64_t> bucket_fill(bucket_start);
    std::vector<int64_t> line_fill(size_t{1} << shift);
    auto offset = pool_alloc<uint16_t>(num);
    auto scratch_index = pool_alloc<int32_t>(largest);
    auto scratch_value = pool_alloc<double>(largest);
    auto scratch_offset = pool_alloc<uint16_t>(largest);
    const uint32_t mask = (uint32_t{1} << shift) - 1;
    each([&](int32_t l, int32_t index, double value) {
        const int64_t at = bucket_fill[static_cast<uint32_t>(l) >> shift]++;
        out_index[at] = index;
        out_value[at] = value;
        offset[at] = static_cast<uint16_t>(static_cast<uint32_t>(l) & mask);
    });
    for (int32_t b = 0; b < buckets; ++b) {
        const int64_t from = bucket_start[b], n = bucket_start[b + 1] - from;
        const int32_t first = b << shift;
        const int32_t last = static_cast<int32_t>(std::min<int64_t>(int64_t{first} + mask + 1, nlines));
        const int32_t width = last - first;
        std::memcpy(scratch_offset.get(), offset.get() + from, sizeof(uint16_t) * static_cast<size_t>(n));
        // Line counts of the bucket, then their positions.
        int64_t* s = start + first;
        std::fill(s, s + width + 1, int64_t{0});
        for (int64_t e = 0; e < n; ++e) ++s[scratch_offset[e] + 1];
        s[0] = from;
        for (int32_t l = 0; l < width; ++l) {
            s[l + 1] += s[l];
            line_fill[l] = s[l];
        }
        if (n > 0) {
            std::memcpy(scratch_index.get(), out_index + from, sizeof(int32_t) * static_cast<size_t>(n));
            std::memcpy(scratch_value.get(), out_value + from, sizeof(double) * static_cast<size_t>(n));
            for (int64_t e = 0; e < n; ++e) {
                const int64_t at = line_fill[scratch_offset[e]]++;
                out_index[at] = scratch_index[e];
                out_value[at] = scratch_value[e];
            }
        }
        done(first, last);
    }
}

}  // namespace vlt::model
