#include "model/bar_entries.hpp"

#include <algorithm>
#include <tuple>

namespace vlt::model {

namespace {

template <class A, class B>
bool key_less(const A& a, const B& b) {
    return a.row < b.row || (a.row == b.row && a.j < b.j);
}

std::string num(int64_t v) { return std::to_string(v); }

}  // namespace

int64_t BarEntries::find(int64_t row, int32_t j) const {
    const Entry probe{row, j, 0, 0};
    auto it = std::lower_bound(entries_.begin(), entries_.end(), probe, key_less<Entry, Entry>);
    if (it == entries_.end() || it->row != row || it->j != j) return -1;
    return it - entries_.begin();
}

std::pair<int64_t, int64_t> BarEntries::row_range(int64_t row) const {
    auto first = std::lower_bound(entries_.begin(), entries_.end(), row,
                                  [](const Entry& e, int64_t r) { return e.row < r; });
    auto last = std::upper_bound(first, entries_.end(), row, [](int64_t r, const Entry& e) { return r < e.row; });
    return {first - entries_.begin(), last - entries_.begin()};
}

int64_t BarEntries::row_terms(int64_t row) const {
    auto [first, last] = row_range(row);
    int64_t n = 0;
    for (int64_t k = first; k < last; ++k) n += entries_[size_t(k)].count;
    return n;
}

void BarEntries::merge(std::vector<NewEntry>& added, const std::function<bool(const Entry&)>& drop) {
    std::sort(added.begin(), added.end(), key_less<NewEntry, NewEntry>);
    int64_t new_terms = 0;
    for (const NewEntry& e : added) new_terms += e.count;
    if (int64_t(mat_.size()) + new_terms > 2 * (live_terms_ + new_terms) + 1024) compact_pool();

    // Everything that allocates comes first; the merge itself cannot fail.
    std::vector<Entry> merged;
    merged.reserve(entries_.size() + added.size());
    mat_.reserve(mat_.size() + size_t(new_terms));
    weight_.reserve(weight_.size() + size_t(new_terms));

    int64_t live = 0;
    auto keep = [&](const Entry& e) {
        merged.push_back(e);
        live += e.count;
    };
    auto take = [&](const NewEntry& e) {
        if (e.count == 0) return;
        const int64_t start = int64_t(mat_.size());
        mat_.insert(mat_.end(), e.matidx, e.matidx + e.count);
        weight_.insert(weight_.end(), e.weight, e.weight + e.count);
        merged.push_back({e.row, e.j, start, e.count});
        live += e.count;
    };
    size_t a = 0, b = 0;
    while (a < entries_.size() || b < added.size()) {
        if (b == added.size() || (a < entries_.size() && key_less(entries_[a], added[b]))) {
            if (!drop(entries_[a])) keep(entries_[a]);
            ++a;
        } else if (a == entries_.size() || key_less(added[b], entries_[a])) {
            take(added[b++]);
        } else {
            take(added[b++]);
            ++a;
        }
    }
    entries_ = std::move(merged);
    live_terms_ = live;
}

void BarEntries::put(std::vector<NewEntry> entries) {
    merge(entries, [](const Entry&) { return false; });
}

void BarEntries::put_rows(const std::vector<int64_t>& rows, std::vector<NewEntry> entries) {
    std::vector<int64_t> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    merge(entries, [&](const Entry& e) { return std::binary_search(sorted.begin(), sorted.end(), e.row); });
}

void BarEntries::renumber(const std::vector<int64_t>& new_row, const std::vector<int32_t>& new_j) {
    size_t w = 0;
    int64_t live = 0;
    for (Entry e : entries_) {
        if (!new_row.empty()) e.row = new_row[size_t(e.row)];
        if (!new_j.empty()) e.j = new_j[size_t(e.j)];
        if (e.row < 0 || e.j < 0) continue;
        entries_[w++] = e;
        live += e.count;
    }
    entries_.resize(w);
    // Removals keep the order of the rows and of the variables, except when
    // rows are mapped out of order; sort to be safe (cheap when sorted).
    if (!std::is_sorted(entries_.begin(), entries_.end(), key_less<Entry, Entry>))
        std::sort(entries_.begin(), entries_.end(), key_less<Entry, Entry>);
    live_terms_ = live;
    if (int64_t(mat_.size()) > 2 * live_terms_ + 1024) compact_pool();
}

void BarEntries::drop_rows_from(int64_t keep) {
    auto [first, last] = row_range(keep);
    (void)last;
    for (size_t k = size_t(first); k < entries_.size(); ++k) live_terms_ -= entries_[k].count;
    entries_.resize(size_t(first));
}

void BarEntries::clear() {
    entries_.clear();
    mat_.clear();
    weight_.clear();
    live_terms_ = 0;
}

void BarEntries::compact_pool() {
    std::vector<int64_t> mat;
    std::vector<double> weight;
    mat.reserve(size_t(live_terms_));
    weight.reserve(size_t(live_terms_));
    for (Entry& e : entries_) {
        const int64_t start = int64_t(mat.size());
        mat.insert(mat.end(), mat_.begin() + e.start, mat_.begin() + e.start + e.count);
        weight.insert(weight.end(), weight_.begin() + e.start, weight_.begin() + e.start + e.count);
        e.start = start;
    }
    mat_ = std::move(mat);
    weight_ = std::move(weight);
}

void BarEntries::expand(const Entry& e, const SymMatStore& mats, std::vector<BlockTriplet>& out) const {
    const size_t first = out.size();
    for (int64_t t = 0; t < e.count; ++t) {
        const int64_t m = mat_[size_t(e.start + t)];
        const double w = weight_[size_t(e.start + t)];
        for (int64_t q = 0; q < mats.nnz(m); ++q)
            out.push_back({e.row, e.j, mats.rows(m)[q], mats.cols(m)[q], w * mats.vals(m)[q]});
    }
    auto position = [](const BlockTriplet& t) { return std::tie(t.k, t.l); };
    std::sort(out.begin() + first, out.end(),
              [&](const BlockTriplet& a, const BlockTriplet& b) { return position(a) < position(b); });
    // Sum the values of a position into its first triplet; drop the zeros.
    size_t w = first;
    for (size_t r = first; r < out.size(); ++r) {
        if (w > first && position(out[w - 1]) == position(out[r])) {
            out[w - 1].value += out[r].value;
        } else {
            if (w > first && out[w - 1].value == 0.0) --w;
            out[w++] = out[r];
        }
    }
    if (w > first && out[w - 1].value == 0.0) --w;
    out.resize(w);
}

std::vector<BlockTriplet> BarEntries::expand_all(const SymMatStore& mats) const {
    std::vector<BlockTriplet> out;
    for (const Entry& e : entries_) expand(e, mats, out);
    return out;
}

int64_t BarEntries::expanded_count(const SymMatStore& mats) const {
    std::vector<BlockTriplet> scratch;
    int64_t n = 0;
    for (const Entry& e : entries_) {
        scratch.clear();
        expand(e, mats, scratch);
        n += int64_t(scratch.size());
    }
    return n;
}

size_t BarEntries::memory_bytes() const {
    return entries_.capacity() * sizeof(Entry) + mat_.capacity() * sizeof(int64_t) +
           weight_.capacity() * sizeof(double);
}

std::string BarEntries::consistency_error(const char* what, int64_t row_limit, const std::vector<int32_t>& dims,
                                          const SymMatStore& mats) const {
    int64_t live = 0;
    for (size_t k = 0; k < entries_.size(); ++k) {
        const Entry& e = entries_[k];
        const std::string name = std::string(what) + " entry (" + num(e.row) + ", " + num(e.j) + ")";
        if (k > 0 && !key_less(entries_[k - 1], e)) return std::string(what) + " entries are out of order";
        if (e.row < 0 || e.row >= row_limit) return name + " has a row outside [0, " + num(row_limit) + ")";
        if (e.j < 0 || e.j >= int64_t(dims.size())) return name + " refers to a missing semidefinite variable";
        if (e.count < 1 || e.start < 0 || e.start + e.count > int64_t(mat_.size()))
            return name + " has terms outside its pool";
        for (int64_t t = 0; t < e.count; ++t) {
            const int64_t m = mat_[size_t(e.start + t)];
            if (m < 0 || m >= mats.size()) return name + " refers to a missing symmetric matrix";
            if (mats.dim(m) != dims[size_t(e.j)]) return name + " has a term of another dimension";
        }
        live += e.count;
    }
    if (live != live_terms_) return std::string(what) + " counts " + num(live_terms_) + " terms, holds " + num(live);
    return {};
}

}  // namespace vlt::model
