#include "model/quadratic.hpp"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace vlt::model {

// ---------------------------------------------------------- QuadraticTerms

size_t QuadraticTerms::memory_bytes() const {
    return (subi.capacity() + subj.capacity()) * sizeof(int32_t) + val.capacity() * sizeof(double);
}

double QuadraticTerms::get(int32_t i, int32_t j) const {
    for (size_t k = 0; k < val.size(); ++k)
        if (subi[k] == i && subj[k] == j) return val[k];
    return 0.0;
}

void QuadraticTerms::set(int32_t i, int32_t j, double v) {
    // Kept sorted by (i, j) so that the order of a read does not depend on
    // the order of the puts.
    size_t k = 0;
    while (k < val.size() && std::tie(subi[k], subj[k]) < std::tie(i, j)) ++k;
    const bool found = k < val.size() && subi[k] == i && subj[k] == j;
    if (found) {
        if (v != 0.0) {
            val[k] = v;
        } else {
            subi.erase(subi.begin() + k);
            subj.erase(subj.begin() + k);
            val.erase(val.begin() + k);
        }
    } else if (v != 0.0) {
        // Room first in all three, so that a failed allocation changes nothing.
        subi.reserve(subi.size() + 1);
        subj.reserve(subj.size() + 1);
        val.reserve(val.size() + 1);
        subi.insert(subi.begin() + k, i);
        subj.insert(subj.begin() + k, j);
        val.insert(val.begin() + k, v);
    }
}

void QuadraticTerms::renumber(const std::vector<int32_t>& new_index) {
    size_t w = 0;
    for (size_t k = 0; k < val.size(); ++k) {
        const int32_t i = new_index[subi[k]], j = new_index[subj[k]];
        if (i < 0 || j < 0) continue;
        subi[w] = i;
        subj[w] = j;
        val[w] = val[k];
        ++w;
    }
    subi.resize(w);
    subj.resize(w);
    val.resize(w);
}

void QuadraticTerms::keep_vars_below(int32_t numvar) {
    size_t w = 0;
    for (size_t k = 0; k < val.size(); ++k) {
        if (subi[k] >= numvar || subj[k] >= numvar) continue;
        subi[w] = subi[k];
        subj[w] = subj[k];
        val[w] = val[k];
        ++w;
    }
    subi.resize(w);
    subj.resize(w);
    val.resize(w);
}

void QuadraticTerms::copy_out(int32_t* i, int32_t* j, double* v) const {
    if (i) std::copy(subi.begin(), subi.end(), i);
    if (j) std::copy(subj.begin(), subj.end(), j);
    if (v) std::copy(val.begin(), val.end(), v);
}

// ------------------------------------------------------------ checked puts

TermList checked_terms(const TermNames& names, int64_t num, const int32_t* subk, const int32_t* subi,
                       const int32_t* subj, const double* val, int32_t numcon, int32_t numvar) {
    check_count({names.count}, num);
    if (names.subk) check_present(subk, names.subk, names.count, num);
    check_present(subi, names.subi, names.count, num);
    check_present(subj, names.subj, names.count, num);
    check_present(val, names.val, names.count, num);
    for (int64_t p = 0; p < num; ++p) {
        if (names.subk) check_index(Item::Con, at(names.subk, p), subk[p], numcon);
        check_index(Item::Var, at(names.subi, p), subi[p], numvar);
        check_index(Item::Var, at(names.subj, p), subj[p], numvar);
        check_finite(at(names.val, p), val[p]);
    }

    // Positions in stored order; equal neighbours name one entry twice.
    auto key = [&](int64_t p) {
        return std::make_tuple(names.subk ? subk[p] : 0, std::max(subi[p], subj[p]), std::min(subi[p], subj[p]));
    };
    std::vector<int64_t> order(static_cast<size_t>(num));
    std::iota(order.begin(), order.end(), int64_t{0});
    std::stable_sort(order.begin(), order.end(), [&](int64_t a, int64_t b) { return key(a) < key(b); });
    // Report the first position (in the caller's order) that repeats an
    // earlier one.  A run of equal keys holds its positions in increasing
    // order (stable sort), so its second one is its first repeat.
    int64_t repeat = -1, earlier = -1;
    for (size_t r = 0; r < order.size();) {
        size_t end = r + 1;
        while (end < order.size() && key(order[end]) == key(order[r])) ++end;
        if (end - r > 1 && (repeat < 0 || order[r + 1] < repeat)) {
            repeat = order[r + 1];
            earlier = order[r];
        }
        r = end;
    }
    if (repeat >= 0) {
        std::string where = names.subk ? at(names.subk, repeat).str() + ", " : std::string();
        std::string value = names.subk ? std::to_string(subk[repeat]) + ", " : std::string();
        fail(VLT_RES_ERR_DUPLICATE_INDEX,
             "Arguments " + where + at(names.subi, repeat).str() + ", " + at(names.subj, repeat).str() + " = (" +
                 value + std::to_string(subi[repeat]) + ", " + std::to_string(subj[repeat]) + ") repeat position " +
                 std::to_string(earlier) +
                 ": (i, j) and (j, i) are one entry of the symmetric Q, to be given once (in either triangle)");
    }

    TermList out;
    for (int64_t p : order) {
        if (val[p] == 0.0) continue;
        auto [k, i, j] = key(p);
        out.k.push_back(k);
        out.i.push_back(i);
        out.j.push_back(j);
        out.v.push_back(val[p]);
    }
    return out;
}

// ---------------------------------------------------- QuadraticConstraints

const QuadraticTerms* QuadraticConstraints::find(int32_t k) const {
    auto it = q_.find(k);
    return it == q_.end() ? nullptr : &it->second;
}

int64_t QuadraticConstraints::nnz(int32_t k) const {
    const QuadraticTerms* q = find(k);
    return q ? q->nnz() : 0;
}

int64_t QuadraticConstraints::total_nnz() const {
    int64_t n = 0;
    for (const auto& [k, q] : q_) n += q.nnz();
    return n;
}

void QuadraticConstraints::put(int32_t k, QuadraticTerms terms) {
    if (terms.empty())
        q_.erase(k);
    else
        q_[k] = std::move(terms);
}

QuadraticConstraints::Map QuadraticConstraints::grouped(TermList list) {
    Map all;
    size_t p = 0;
    while (p < list.v.size()) {
        size_t end = p;
        while (end < list.v.size() && list.k[end] == list.k[p]) ++end;
        QuadraticTerms& q = all[list.k[p]];
        q.subi.assign(list.i.begin() + p, list.i.begin() + end);
        q.subj.assign(list.j.begin() + p, list.j.begin() + end);
        q.val.assign(list.v.begin() + p, list.v.begin() + end);
        p = end;
    }
    return all;
}

void QuadraticConstraints::remove_cons(const std::vector<char>& keep) {
    if (q_.empty()) return;
    // Rows below k that stay, counted once along the sorted keys.
    Map kept;
    int32_t row = 0, new_row = 0;
    while (!q_.empty()) {
        auto node = q_.extract(q_.begin());
        for (; row < node.key(); ++row) new_row += keep[row] ? 1 : 0;
        if (!keep[node.key()]) continue;
        node.key() = new_row;
        kept.insert(kept.end(), std::move(node));
    }
    q_.swap(kept);
}

void QuadraticConstraints::renumber_vars(const std::vector<int32_t>& new_index) {
    for (auto it = q_.begin(); it != q_.end();) {
        it->second.renumber(new_index);
        it = it->second.empty() ? q_.erase(it) : std::next(it);
    }
}

void QuadraticConstraints::keep_below(int32_t numcon, int32_t numvar) {
    q_.erase(q_.lower_bound(numcon), q_.end());
    for (auto it = q_.begin(); it != q_.end();) {
        it->second.keep_vars_below(numvar);
        it = it->second.empty() ? q_.erase(it) : std::next(it);
    }
}

size_t QuadraticConstraints::memory_bytes() const {
    size_t bytes = 0;
    for (const auto& [k, q] : q_) bytes += sizeof(Map::value_type) + 4 * sizeof(void*) + q.memory_bytes();
    return bytes;
}

std::string lower_triangle_error(const QuadraticTerms& q, int32_t numvar) {
    if (q.subi.size() != q.val.size() || q.subj.size() != q.val.size()) return "the arrays differ in length";
    for (size_t k = 0; k < q.val.size(); ++k)
        if (q.subi[k] < 0 || q.subi[k] >= numvar || q.subj[k] < 0 || q.subj[k] > q.subi[k])
            return "entry " + std::to_string(k) + " is outside the lower triangle";
    return {};
}

std::string QuadraticConstraints::consistency_error(int32_t numcon, int32_t numvar) const {
    for (const auto& [k, q] : q_) {
        const std::string where = "the quadratic part of constraint " + std::to_string(k);
        if (k < 0 || k >= numcon) return where + " belongs to no row (numcon = " + std::to_string(numcon) + ")";
        if (q.empty()) return where + " is held but empty";
        if (std::string e = lower_triangle_error(q, numvar); !e.empty()) return where + ": " + e;
    }
    return {};
}

}  // namespace vlt::model
