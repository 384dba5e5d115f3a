#include "model/sparse_matrix.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "model/line_sort.hpp"

namespace vlt::model {

namespace {

Axis flip(Axis axis) { return axis == Axis::Col ? Axis::Row : Axis::Col; }
Item line_item(Axis axis) { return axis == Axis::Col ? Item::Var : Item::Con; }
Item entry_item(Axis axis) { return axis == Axis::Col ? Item::Con : Item::Var; }

// Small puts keep the other orientation current entry by entry; larger ones
// mark it stale, to be rebuilt in one pass when read.
constexpr int64_t kSyncLimit = 256;
constexpr int64_t kSmallTripletList = 64;
// A put of one line with at most this many entries takes a path without
// scratch vectors or sorting.
constexpr int64_t kSmallLine = 8;

// What one pass over a line's entries found.
struct LineScan {
    bool bad_index = false;   // an index outside [0, limit)
    bool bad_value = false;   // a NaN or infinite value
    bool dropped = false;     // a value at or below the truncation tolerance
    bool increasing = true;   // indexes strictly increasing (so none repeats)
    int64_t kept = 0;         // entries written (Copy only)
};

// One pass over n entries; with Copy, the entries whose magnitude exceeds tol
// are also written, in order, to out_index/out_value.  No early exits: the
// loop runs at memory speed, and a failure's position is looked up later.
template <bool Copy>
LineScan scan_line(const int32_t* sub, const double* val, int64_t n, uint32_t limit, double tol,
                   int32_t* out_index, double* out_value) {
    constexpr double kMaxFinite = std::numeric_limits<double>::max();
    bool bad_index = false, bad_value = false, dropped = false, increasing = true;
    int64_t kept = 0;
    int32_t prev = -1;  // a negative index is refused anyway
    for (int64_t p = 0; p < n; ++p) {
        const int32_t ix = sub[p];
        const double v = val[p], a = std::fabs(v);
        bad_index |= static_cast<uint32_t>(ix) >= limit;
        increasing &= prev < ix;
        prev = ix;
        bad_value |= !(a <= kMaxFinite);
        dropped |= a <= tol;
        if constexpr (Copy) {
            out_index[kept] = ix;
            out_value[kept] = v;
            kept += a > tol;
        }
    }
    return {bad_index, bad_value, dropped, increasing, kept};
}

// The ptrb/ptre checks of line k of a batch; returns its number of entries.
int64_t check_line_layout(const LineBatch& b, const BatchNames& names, int32_t k, int32_t nindex) {
    const int64_t begin = b.ptrb[k], end = b.ptre[k];
    if (begin < 0)
        fail(VLT_RES_ERR_INVALID_PTR, "Argument " + at(names.ptrb, k).str() + " = " + std::to_string(begin) +
                                          " is negative");
    if (end < begin)
        fail(VLT_RES_ERR_INVALID_PTR, "Argument " + at(names.ptre, k).str() + " = " + std::to_string(end) +
                                          " is less than " + at(names.ptrb, k).str() + " = " + std::to_string(begin));
    if (end - begin > nindex)
        fail(VLT_RES_ERR_INVALID_PTR, "Arguments " + at(names.ptrb, k).str() + " = " + std::to_string(begin) +
                                          " and " + at(names.ptre, k).str() + " = " + std::to_string(end) +
                                          " give more entries than the " + std::to_string(nindex) +
                                          (b.axis == Axis::Col ? " rows" : " columns"));
    return end - begin;
}

}  // namespace

SparseMatrix::SparseMatrix(const SparseMatrix& other)
    : num_rows_(other.num_rows_), num_cols_(other.num_cols_), truncate_tol_(other.truncate_tol_),
      max_nnz_hint_(other.max_nnz_hint_) {
    std::lock_guard<std::mutex> lock(other.rebuild_mutex_);
    bool cols = other.cols_current_, rows = other.rows_current_;
    if (cols) cols_ = other.cols_;
    if (rows) rows_ = other.rows_;
    cols_current_ = cols;
    rows_current_ = rows;
}

SparseMatrix& SparseMatrix::operator=(const SparseMatrix& other) {
    if (this != &other) *this = SparseMatrix(other);
    return *this;
}

SparseMatrix::SparseMatrix(SparseMatrix&& other) noexcept { *this = std::move(other); }

SparseMatrix& SparseMatrix::operator=(SparseMatrix&& other) noexcept {
    if (this == &other) return *this;
    num_rows_ = other.num_rows_;
    num_cols_ = other.num_cols_;
    truncate_tol_ = other.truncate_tol_;
    max_nnz_hint_ = other.max_nnz_hint_;
    cols_ = std::move(other.cols_);
    rows_ = std::move(other.rows_);
    cols_current_ = other.cols_current_.load();
    rows_current_ = other.rows_current_.load();
    stamp_ = std::move(other.stamp_);
    seen_ = std::move(other.seen_);
    seen_generation_ = other.seen_generation_;
    stamp_generation_ = other.stamp_generation_;
    where_ = std::move(other.where_);
    return *this;
}

int64_t SparseMatrix::nnz() const { return cols_current_ ? cols_.nnz() : rows_.nnz(); }

Axis SparseMatrix::readable(Axis want) const { return current(want) ? want : flip(want); }

const LineStore& SparseMatrix::lines(Axis axis) const {
    LineStore& wanted = axis == Axis::Col ? cols_ : rows_;
    if (current(axis).load(std::memory_order_acquire)) return wanted;
    std::lock_guard<std::mutex> lock(rebuild_mutex_);
    if (!current(axis).load(std::memory_order_relaxed)) {
        const LineStore& source = axis == Axis::Col ? rows_ : cols_;
        wanted.build_transpose(source, line_count(axis));
        current(axis).store(true, std::memory_order_release);
    }
    return wanted;
}

// ---------------------------------------------------------------- sizes

void SparseMatrix::add_rows(int32_t n) {
    if (rows_current_) rows_.add_lines(n);
    num_rows_ += n;
}

void SparseMatrix::add_cols(int32_t n) {
    if (cols_current_) cols_.add_lines(n);
    num_cols_ += n;
}

void SparseMatrix::remove_rows(const std::vector<char>& keep) {
    std::vector<int32_t> new_index(num_rows_);
    int32_t kept = 0;
    for (int32_t i = 0; i < num_rows_; ++i) new_index[i] = keep[i] ? kept++ : -1;
    if (cols_current_) cols_.renumber(new_index);
    if (rows_current_) rows_.remove_lines(keep);
    num_rows_ = kept;
}

void SparseMatrix::remove_cols(const std::vector<char>& keep) {
    std::vector<int32_t> new_index(num_cols_);
    int32_t kept = 0;
    for (int32_t j = 0; j < num_cols_; ++j) new_index[j] = keep[j] ? kept++ : -1;
    if (rows_current_) rows_.renumber(new_index);
    if (cols_current_) cols_.remove_lines(keep);
    num_cols_ = kept;
}

// --------------------------------------------------------------- checks

std::vector<uint32_t>& SparseMatrix::stamps(size_t size) {
    if (stamp_.size() < size) stamp_.resize(size, 0);
    return stamp_;
}

void SparseMatrix::reserve_seen(Axis axis) {
    const size_t size = static_cast<size_t>(index_count(axis));
    if (seen_.size() < size) seen_.resize(size, 0);
}

bool SparseMatrix::repeats(Axis axis, const int32_t* ix, int64_t n) {
    reserve_seen(axis);
    if (++seen_generation_ == 0) {  // every 65535 calls: forget all marks
        std::fill(seen_.begin(), seen_.end(), uint16_t{0});
        seen_generation_ = 1;
    }
    const uint16_t gen = seen_generation_;
    uint16_t* seen = seen_.data();
    bool dup = false;
    for (int64_t e = 0; e < n; ++e) {
        dup |= seen[ix[e]] == gen;
        seen[ix[e]] = gen;
    }
    return dup;
}

uint32_t SparseMatrix::next_stamp() {
    if (++stamp_generation_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0);
        stamp_generation_ = 1;
    }
    return stamp_generation_;
}

void SparseMatrix::check_no_repeat(Axis axis, int32_t line, const int32_t* index, int64_t n, const char* name,
                                   int64_t first_pos) {
    bool increasing = true;
    for (int64_t e = 1; e < n; ++e) increasing &= index[e - 1] < index[e];
    if (increasing) return;
    std::vector<uint32_t>& stamp = stamps(static_cast<size_t>(index_count(axis)));
    uint32_t gen = next_stamp();
    for (int64_t e = 0; e < n; ++e) {
        if (stamp[index[e]] != gen) {
            stamp[index[e]] = gen;
            continue;
        }
        int64_t earlier = 0;
        while (index[earlier] != index[e]) ++earlier;
        fail(VLT_RES_ERR_DUPLICATE_INDEX,
             "Argument " + at(name, first_pos + e).str() + " = " + std::to_string(index[e]) + " repeats " +
                 at(name, first_pos + earlier).str() + " in " + (axis == Axis::Col ? "column " : "row ") +
                 std::to_string(line) + " (an entry may be given once per put)");
    }
}

int64_t SparseMatrix::check_batch_layout(const LineBatch& b, const BatchNames& names) {
    const int32_t nlines = line_count(b.axis), nindex = index_count(b.axis);
    if (b.list) {
        check_index_list(line_item(b.axis), names.list, b.count, b.list, nlines);
        std::vector<uint32_t>& stamp = stamps(static_cast<size_t>(nlines));
        uint32_t gen = next_stamp();
        for (int32_t k = 0; k < b.count; ++k) {
            if (stamp[b.list[k]] != gen) {
                stamp[b.list[k]] = gen;
                continue;
            }
            int32_t earlier = 0;
            while (b.list[earlier] != b.list[k]) ++earlier;
            fail(VLT_RES_ERR_DUPLICATE_INDEX, "Argument " + at(names.list, k).str() + " = " +
                                                  std::to_string(b.list[k]) + " repeats " +
                                                  at(names.list, earlier).str());
        }
    }
    check_present(b.ptrb, names.ptrb, names.count, b.count);
    check_present(b.ptre, names.ptre, names.count, b.count);
    int64_t total = 0;
    for (int32_t k = 0; k < b.count; ++k) total += check_line_layout(b, names, k, nindex);
    check_present(b.sub, names.sub, "the number of entries", total);
    check_present(b.val, names.val, "the number of entries", total);

    return total;
}

void SparseMatrix::check_line_entries(const LineBatch& b, const BatchNames& names, int32_t k, bool bad_index,
                                      bool bad_value, bool increasing) {
    const int64_t begin = b.ptrb[k], end = b.ptre[k];
    const int32_t nindex = index_count(b.axis);
    if (bad_index)
        for (int64_t p = begin; p < end; ++p) check_index(entry_item(b.axis), at(names.sub, p), b.sub[p], nindex);
    if (bad_value)
        for (int64_t p = begin; p < end; ++p) check_finite(at(names.val, p), b.val[p]);
    if (!increasing && repeats(b.axis, b.sub + begin, end - begin))
        check_no_repeat(b.axis, b.line(k), b.sub + begin, end - begin, names.sub, begin);
}

void SparseMatrix::check_batch(const LineBatch& b, const BatchNames& names, bool& any_dropped) {
    check_batch_layout(b, names);
    const uint32_t limit = static_cast<uint32_t>(index_count(b.axis));
    bool dropped = false;
    for (int32_t k = 0; k < b.count; ++k) {
        const int64_t begin = b.ptrb[k], end = b.ptre[k];
        const LineScan scan =
            scan_line<false>(b.sub + begin, b.val + begin, end - begin, limit, truncate_tol_, nullptr, nullptr);
        if (scan.bad_index || scan.bad_value || !scan.increasing)
            check_line_entries(b, names, k, scan.bad_index, scan.bad_value, scan.increasing);
        dropped |= scan.dropped;
    }
    any_dropped = dropped;
}

// ----------------------------------------------------------------- puts

void SparseMatrix::prepare_adds(LineStore& store, std::vector<int32_t> lines) {
    std::sort(lines.begin(), lines.end());
    int64_t room = 0;
    for (size_t a = 0; a < lines.size();) {
        size_t b = a;
        while (b < lines.size() && lines[b] == lines[a]) ++b;
        room += store.room_to_reserve(lines[a], store.length(lines[a]) + static_cast<int64_t>(b - a));
        a = b;
    }
    store.ensure_room(room);
    for (size_t a = 0; a < lines.size();) {
        size_t b = a;
        while (b < lines.size() && lines[b] == lines[a]) ++b;
        store.reserve_line(lines[a], store.length(lines[a]) + static_cast<int64_t>(b - a));
        a = b;
    }
}

void SparseMatrix::put_into_empty_lines(const LineBatch& b, const BatchNames& names, int64_t total) {
    LineStore& target = store(b.axis);
    std::vector<int32_t> kept(static_cast<size_t>(b.count));
    target.ensure_room(total, max_nnz_hint_);
    // The free tail is written while checking; no line refers to it yet, so
    // a failed check leaves the matrix as it was.
    const int64_t base = target.tail();
    int32_t* out_index = target.pool_index() + base;
    double* out_value = target.pool_value() + base;
    const uint32_t limit = static_cast<uint32_t>(index_count(b.axis));
    const double tol = truncate_tol_;
    int64_t pos = 0;
    for (int32_t k = 0; k < b.count; ++k) {
        const int64_t begin = b.ptrb[k], end = b.ptre[k];
        const LineScan scan = scan_line<true>(b.sub + begin, b.val + begin, end - begin, limit, tol,
                                              out_index + pos, out_value + pos);
        if (scan.bad_index || scan.bad_value || !scan.increasing)
            check_line_entries(b, names, k, scan.bad_index, scan.bad_value, scan.increasing);
        kept[k] = static_cast<int32_t>(scan.kept);
        pos += scan.kept;
    }
    // From here on nothing fails.
    current(flip(b.axis)) = false;
    pos = 0;
    for (int32_t k = 0; k < b.count; ++k) {
        target.adopt_slot(b.line(k), base + pos, kept[k], kept[k]);
        pos += kept[k];
    }
    target.claim_tail(pos);
}

void SparseMatrix::put_small_line(Axis axis, int32_t line, int64_t begin, int64_t end, const int32_t* sub_array,
                                  const double* val_array, const BatchNames& names) {
    // The checks of check_batch_layout and check_batch, in their order; a
    // failure is reported by them.  (The batch is made only then: building
    // it on every call and reading it back costs more than the put.)
    const int32_t nindex = index_count(axis);
    auto batch = [&] { return LineBatch{axis, 1, line, nullptr, &begin, &end, sub_array, val_array}; };
    if (begin < 0 || end < begin || end - begin > nindex) check_line_layout(batch(), names, 0, nindex);
    const int64_t n = end - begin;
    check_present(sub_array, names.sub, "the number of entries", n);
    check_present(val_array, names.val, "the number of entries", n);
    const Axis other_axis = flip(axis);
    LineStore& target = store(axis);
    LineStore& other = store(other_axis);
    if (!current(axis).load(std::memory_order_acquire)) lines(axis);  // rebuilt first; that changes no value
    const int32_t old_length = target.length(line);
    const bool sync = current(other_axis) && n + old_length <= kSyncLimit;

    const int32_t* sub = sub_array + begin;
    const double* val = val_array + begin;
    const LineScan scan = scan_line<false>(sub, val, n, static_cast<uint32_t>(nindex), truncate_tol_, nullptr, nullptr);
    if (scan.bad_index || scan.bad_value) check_line_entries(batch(), names, 0, scan.bad_index, scan.bad_value, true);
    if (!scan.increasing)
        for (int64_t e = 1; e < n; ++e)
            for (int64_t f = 0; f < e; ++f)
                if (sub[e] == sub[f]) check_no_repeat(axis, line, sub, n, names.sub, begin);

    if (sync) {
        // One more entry in each line of the other orientation that an
        // entry names (distinct lines), as prepare_adds reserves it.
        int64_t room = 0;
        for (int64_t e = 0; e < n; ++e) room += other.room_to_reserve(sub[e], other.length(sub[e]) + 1);
        if (room > 0) {  // else every line has the room already
            other.ensure_room(room);
            for (int64_t e = 0; e < n; ++e) other.reserve_line(sub[e], other.length(sub[e]) + 1);
        }
    }
    target.ensure_room(target.room_to_write(line, n), max_nnz_hint_);

    // From here on nothing allocates or fails.
    if (!sync) {
        current(other_axis) = false;
        target.write_line(line, n, sub, val, scan.dropped ? truncate_tol_ : -1.0);
        return;
    }
    const int32_t* old = target.index(line);
    for (int32_t e = 0; e < old_length; ++e) other.set_entry(old[e], line, 0.0);
    target.write_line(line, n, sub, val, scan.dropped ? truncate_tol_ : -1.0);
    // The other lines no longer hold an entry of this line.
    const int32_t* ix = target.index(line);
    const double* v = target.value(line);
    for (int32_t e = 0, kept = target.length(line); e < kept; ++e) other.append_entry(ix[e], line, v[e]);
}

void SparseMatrix::put_lines(const LineBatch& b, const BatchNames& names) {
    // (A bad ptrb/ptre goes the general way, which reports it.)
    if (b.count == 1 && !b.list && b.ptrb && b.ptre && b.ptrb[0] >= 0 && b.ptre[0] >= b.ptrb[0] &&
        b.ptre[0] - b.ptrb[0] <= kSmallLine)
        put_small_line(b.axis, b.first, b.ptrb[0], b.ptre[0], b.sub, b.val, names);
    else
        put_batch(b, names);
}

void SparseMatrix::put_line(Axis axis, int32_t line, int64_t n, const int32_t* sub, const double* val,
                            const BatchNames& names) {
    if (n <= kSmallLine) {
        put_small_line(axis, line, 0, n, sub, val, names);
        return;
    }
    const int64_t begin = 0, end = n;
    put_batch({axis, 1, line, nullptr, &begin, &end, sub, val}, names);
}

void SparseMatrix::put_batch(const LineBatch& b, const BatchNames& names) {
    const int64_t total = check_batch_layout(b, names);
    const Axis other_axis = flip(b.axis);
    LineStore& target = store(b.axis);
    LineStore& other = store(other_axis);
    lines(b.axis);  // a stale target is rebuilt first; that changes no value

    int64_t room = 0, touched = 0, existing = 0;
    for (int32_t k = 0; k < b.count; ++k) {
        int64_t n = b.ptre[k] - b.ptrb[k];
        room += target.room_to_write(b.line(k), n);
        touched += n + target.length(b.line(k));
        existing += target.length(b.line(k));
    }
    const bool sync = current(other_axis) && touched <= kSyncLimit;
    if (!sync && existing == 0) {
        put_into_empty_lines(b, names, total);
        return;
    }
    bool any_dropped = false;
    check_batch(b, names, any_dropped);
    std::vector<int32_t> other_lines;
    if (sync) {
        for (int32_t k = 0; k < b.count; ++k)
            other_lines.insert(other_lines.end(), b.sub + b.ptrb[k], b.sub + b.ptre[k]);
        prepare_adds(other, std::move(other_lines));
    }
    target.ensure_room(room, max_nnz_hint_);

    // From here on nothing allocates or fails.
    if (!sync) current(other_axis) = false;
    const double tol = any_dropped ? truncate_tol_ : -1.0;
    for (int32_t k = 0; k < b.count; ++k) {
        const int32_t line = b.line(k);
        if (sync) {
            const int32_t* old = target.index(line);
            for (int32_t e = 0; e < target.length(line); ++e) other.set_entry(old[e], line, 0.0);
        }
        target.write_line(line, b.ptre[k] - b.ptrb[k], b.sub + b.ptrb[k], b.val + b.ptrb[k], tol);
        if (sync) {
            const int32_t* ix = target.index(line);
            const double* val = target.value(line);
            for (int32_t e = 0; e < target.length(line); ++e) other.set_entry(ix[e], line, val[e]);
        }
    }
}

[[noreturn]] void SparseMatrix::fail_repeated_pair(int64_t num, const int32_t* subi, const int32_t* subj, int32_t i,
                                                   int32_t j) {
    int64_t first = -1;
    for (int64_t k = 0; k < num; ++k) {
        if (subi[k] != i || subj[k] != j) continue;
        if (first < 0) {
            first = k;
            continue;
        }
        fail(VLT_RES_ERR_DUPLICATE_INDEX, "Arguments " + at("subi", k).str() + ", " + at("subj", k).str() +
                                              " = (" + std::to_string(i) + ", " + std::to_string(j) +
                                              ") repeat position " + std::to_string(first) +
                                              " (an entry may be given once per put)");
    }
    fail(VLT_RES_ERR_INTERNAL, "repeated pair not found");
}

void SparseMatrix::check_pairs_distinct_small(int64_t num, const int32_t* subi, const int32_t* subj) {
    for (int64_t k = 1; k < num; ++k)
        for (int64_t l = 0; l < k; ++l)
            if (subi[k] == subi[l] && subj[k] == subj[l]) fail_repeated_pair(num, subi, subj, subi[k], subj[k]);
}

void SparseMatrix::check_pairs_of_line(Axis axis, int32_t line, const int32_t* ix, int64_t n, int64_t num,
                                       const int32_t* subi, const int32_t* subj) {
    bool increasing = true;
    for (int64_t e = 1; e < n; ++e) increasing &= ix[e - 1] < ix[e];
    if (increasing || !repeats(axis, ix, n)) return;
    std::vector<uint32_t>& stamp = stamps(static_cast<size_t>(index_count(axis)));
    const uint32_t gen = next_stamp();
    for (int64_t e = 0; e < n; ++e) {
        if (stamp[ix[e]] == gen) {
            const int32_t i = axis == Axis::Col ? ix[e] : line, j = axis == Axis::Col ? line : ix[e];
            fail_repeated_pair(num, subi, subj, i, j);
        }
        stamp[ix[e]] = gen;
    }
}

void SparseMatrix::put_entries(int64_t num, const int32_t* subi, const int32_t* subj, const double* val) {
    check_present(subi, "subi", "num", num);
    check_present(subj, "subj", "num", num);
    check_present(val, "valij", "num", num);
    const double tol = truncate_tol_;
    auto check_all = [&] {  // the checks in message order: every subi, every subj, every value
        check_index_list(Item::Con, "subi", num, subi, num_rows_);
        check_index_list(Item::Var, "subj", num, subj, num_cols_);
        for (int64_t k = 0; k < num; ++k) check_finite(at("valij", k), val[k]);
    };

    if (num <= kSmallTripletList) {
        check_all();
        check_pairs_distinct_small(num, subi, subj);
        // Update every current orientation in place.
        if (cols_current_) prepare_adds(cols_, std::vector<int32_t>(subj, subj + num));
        if (rows_current_) prepare_adds(rows_, std::vector<int32_t>(subi, subi + num));
        for (int64_t k = 0; k < num; ++k) {
            double v = std::fabs(val[k]) <= tol ? 0.0 : val[k];
            if (cols_current_) cols_.set_entry(subj[k], subi[k], v);
            if (rows_current_) rows_.set_entry(subi[k], subj[k], v);
        }
        return;
    }

    // Sort the triplets by line of a current orientation (counting sort),
    // refuse repeated pairs line by line, then either hand the sorted lines
    // to lines that are empty or merge them into the others:
    // O(num + lines + entries of the touched lines).
    const Axis axis = readable(Axis::Col);
    const int32_t* major = axis == Axis::Col ? subj : subi;
    const int32_t* minor = axis == Axis::Col ? subi : subj;
    const int32_t nlines = line_count(axis);
    LineStore& target = store(axis);

    // Check in blocks that stay in cache; a block that fails is reported by
    // the full checks, in message order.
    bool any_dropped = false, grouped = false;
    {
        constexpr int64_t kBlock = 4096;
        constexpr double kMaxFinite = std::numeric_limits<double>::max();
        const uint32_t rows = static_cast<uint32_t>(num_rows_), cols = static_cast<uint32_t>(num_cols_);
        bool dropped = false, ordered = true;
        for (int64_t k0 = 0; k0 < num; k0 += kBlock) {
            const int64_t k1 = std::min(num, k0 + kBlock);
            bool bad = false;
            for (int64_t k = k0; k < k1; ++k) {
                const double a = std::fabs(val[k]);
                bad |= (static_cast<uint32_t>(subi[k]) >= rows) | (static_cast<uint32_t>(subj[k]) >= cols) |
                       !(a <= kMaxFinite);
                dropped |= a <= tol;
                ordered &= k == 0 || major[k - 1] <= major[k];
            }
            if (bad) {
                check_all();
                fail(VLT_RES_ERR_INTERNAL, "a triplet check failed without a message");
            }
        }
        any_dropped = dropped;
        grouped = ordered;
    }
    bool touched_empty = target.nnz() == 0;
    if (!touched_empty) {
        touched_empty = true;
        for (int64_t k = 0; k < num; ++k) touched_empty &= target.length(major[k]) == 0;
    }
    reserve_seen(axis);  // allocated before anything is sorted
    std::vector<int64_t> start(static_cast<size_t>(nlines) + 1);
    auto each = [&](auto&& emit) {
        for (int64_t k = 0; k < num; ++k) emit(major[k], minor[k], val[k]);
    };

    if (touched_empty) {
        // Sort straight into the free tail of the pool; lines adopt their
        // runs once every check has passed.
        target.ensure_room(num, max_nnz_hint_);
        const int64_t base = target.tail();
        int32_t* out_index = target.pool_index() + base;
        double* out_value = target.pool_value() + base;
        std::vector<int32_t> kept;
        if (any_dropped) kept.resize(static_cast<size_t>(nlines));
        auto check_lines = [&](int32_t first, int32_t last) {
            for (int32_t l = first; l < last; ++l) {
                const int64_t n = start[l + 1] - start[l];
                if (n == 0) continue;
                int32_t* ix = out_index + start[l];
                check_pairs_of_line(axis, l, ix, n, num, subi, subj);
                if (!any_dropped) continue;
                double* v = out_value + start[l];
                int64_t k = 0;
                for (int64_t e = 0; e < n; ++e) {
                    ix[k] = ix[e];
                    v[k] = v[e];
                    k += std::fabs(v[e]) > tol;
                }
                kept[l] = static_cast<int32_t>(k);
            }
        };
        sort_by_line_counted(nlines, num, major, grouped, each, out_index, out_value, start.data(), check_lines);
        // From here on nothing fails.
        current(flip(axis)) = false;
        for (int32_t l = 0; l < nlines; ++l) {
            const int64_t n = start[l + 1] - start[l];
            if (n > 0)
                target.adopt_slot(l, base + start[l], any_dropped ? kept[l] : static_cast<int32_t>(n),
                                  static_cast<int32_t>(n));
        }
        target.claim_tail(num);
        return;
    }

    for (int64_t k = 0; k < num; ++k) ++start[major[k] + 1];
    for (int32_t l = 0; l < nlines; ++l) start[l + 1] += start[l];
    auto bucket_index = pool_alloc<int32_t>(num);
    auto bucket_value = pool_alloc<double>(num);
    sort_by_line(nlines, start.data(), each, bucket_index.get(), bucket_value.get(), [&](int32_t first, int32_t last) {
        for (int32_t l = first; l < last; ++l)
            check_pairs_of_line(axis, l, bucket_index.get() + start[l], start[l + 1] - start[l], num, subi, subj);
    });
    int64_t room = 0;
    for (int32_t l = 0; l < nlines; ++l) {
        const int64_t n = start[l + 1] - start[l];
        if (n > 0) room += target.room_to_write(l, target.length(l) + n);
    }
    if (where_.size() < static_cast<size_t>(index_count(axis))) where_.resize(index_count(axis), -1);
    target.ensure_room(room, max_nnz_hint_);

    current(flip(axis)) = false;
    for (int32_t l = 0; l < nlines; ++l) {
        const int64_t n = start[l + 1] - start[l];
        if (n > 0) target.merge_line(l, n, bucket_index.get() + start[l], bucket_value.get() + start[l], tol, where_);
    }
}

// ---------------------------------------------------------------- reads

double SparseMatrix::get(int32_t i, int32_t j) const {
    bool by_col = cols_current_;
    if (cols_current_ && rows_current_) by_col = cols_.length(j) <= rows_.length(i);
    return by_col ? cols_.get_entry(j, i) : rows_.get_entry(i, j);
}

int64_t SparseMatrix::slice_nnz(Axis axis, int32_t first, int32_t last) const {
    const LineStore& s = lines(axis);
    int64_t n = 0;
    for (int32_t k = first; k < last; ++k) n += s.length(k);
    return n;
}

int64_t SparseMatrix::piece_nnz(int32_t first_row, int32_t last_row, int32_t first_col, int32_t last_col) const {
    const Axis axis = readable(Axis::Col);
    const LineStore& s = lines(axis);
    const int32_t first = axis == Axis::Col ? first_col : first_row, last = axis == Axis::Col ? last_col : last_row;
    const int32_t lo = axis == Axis::Col ? first_row : first_col, hi = axis == Axis::Col ? last_row : last_col;
    int64_t n = 0;
    for (int32_t k = first; k < last; ++k) {
        const int32_t* ix = s.index(k);
        for (int32_t e = 0; e < s.length(k); ++e) n += ix[e] >= lo && ix[e] < hi;
    }
    return n;
}

void SparseMatrix::get_slice(Axis axis, int32_t first, int32_t last, int64_t* ptrb, int64_t* ptre, int32_t* sub,
                             double* val) const {
    const LineStore& s = lines(axis);
    int64_t pos = 0;
    for (int32_t k = first; k < last;) {
        // Lines that lie back to back in the pool (as after a bulk put) are
        // copied as one run.
        int32_t end = k;
        int64_t run = 0;
        const int32_t* run_index = s.index(k);
        do {
            if (ptrb) ptrb[end - first] = pos + run;
            run += s.length(end);
            if (ptre) ptre[end - first] = pos + run;
            ++end;
        } while (end < last && s.index(end) == run_index + run);
        if (sub && run) std::memcpy(sub + pos, run_index, sizeof(int32_t) * run);
        if (val && run) std::memcpy(val + pos, s.value(k), sizeof(double) * run);
        pos += run;
        k = end;
    }
}

void SparseMatrix::get_slice_triplets(Axis axis, int32_t first, int32_t last, int32_t* subi, int32_t* subj,
                                      double* val) const {
    const LineStore& s = lines(axis);
    int32_t* line_out = axis == Axis::Col ? subj : subi;
    int32_t* index_out = axis == Axis::Col ? subi : subj;
    int64_t pos = 0;
    for (int32_t k = first; k < last; ++k) {
        const int32_t n = s.length(k);
        if (line_out) std::fill(line_out + pos, line_out + pos + n, k);
        if (index_out && n) std::memcpy(index_out + pos, s.index(k), sizeof(int32_t) * n);
        if (val && n) std::memcpy(val + pos, s.value(k), sizeof(double) * n);
        pos += n;
    }
}

void SparseMatrix::get_triplets(int32_t* subi, int32_t* subj, double* val) const {
    const Axis axis = readable(Axis::Col);
    get_slice_triplets(axis, 0, line_count(axis), subi, subj, val);
}

size_t SparseMatrix::memory_bytes() const {
    return cols_.memory_bytes() + rows_.memory_bytes() + stamp_.capacity() * sizeof(uint32_t) +
           seen_.capacity() * sizeof(uint16_t) +
           where_.capacity() * sizeof(int64_t);
}

}  // namespace vlt::model
