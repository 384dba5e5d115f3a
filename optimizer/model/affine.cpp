#include "model/affine.hpp"

#include <algorithm>
#include <limits>
#include <numeric>

namespace vlt::model {

namespace {

constexpr int64_t kMaxAfes = std::numeric_limits<int32_t>::max();
constexpr int64_t kMaxReservedAfes = int64_t{1} << 24;

std::string num(int64_t v) { return std::to_string(v); }

[[noreturn]] void fail_duplicate(const std::string& what) { fail(VLT_RES_ERR_DUPLICATE_INDEX, what); }

// Positions of sub[0..n) sorted by value, for duplicate checks that must
// not allocate per variable of the problem.
template <class T>
std::vector<int64_t> sorted_positions(int64_t n, const T* sub) {
    std::vector<int64_t> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), int64_t{0});
    std::sort(order.begin(), order.end(),
              [sub](int64_t a, int64_t b) { return sub[a] < sub[b] || (sub[a] == sub[b] && a < b); });
    return order;
}

// Valid, finite, distinct column entries of one row given at varidx[first..first+n).
void check_row_entries(const char* var_name, const char* val_name, int64_t first, int64_t n, const int32_t* varidx,
                       const double* val, int32_t numvar) {
    for (int64_t k = first; k < first + n; ++k) {
        check_index(Item::Var, at(var_name, k), varidx[k], numvar);
        check_finite(at(val_name, k), val[k]);
    }
    if (n < 2) return;
    std::vector<int64_t> order = sorted_positions(n, varidx + first);
    for (size_t k = 1; k < order.size(); ++k)
        if (varidx[first + order[k]] == varidx[first + order[k - 1]])
            fail_duplicate("Argument " + at(var_name, first + order[k]).str() + " = " +
                           num(varidx[first + order[k]]) + " repeats " + at(var_name, first + order[k - 1]).str() +
                           " in the same row of F");
}

}  // namespace

void fail_afe_index(Arg arg, int64_t value, int64_t numafe) {
    fail(VLT_RES_ERR_INDEX_AFE, "Argument " + arg.str() + " = " + num(value) +
                                    " is not a valid affine expression index (numafe = " + num(numafe) + ")");
}

void check_finite_array(const char* name, int64_t n, const double* values) {
    for (int64_t k = 0; k < n; ++k) check_finite(at(name, k), values[k]);
}

void AffineStore::check_distinct_afes(const char* name, int64_t n, const int64_t* afeidx) const {
    for (int64_t k = 0; k < n; ++k) check_afe_index(at(name, k), afeidx[k], num_afe());
    if (n < 2) return;
    std::vector<int64_t> order = sorted_positions(n, afeidx);
    for (size_t k = 1; k < order.size(); ++k)
        if (afeidx[order[k]] == afeidx[order[k - 1]])
            fail_duplicate("Argument " + at(name, order[k]).str() + " = " + num(afeidx[order[k]]) + " repeats " +
                           at(name, order[k - 1]).str());
}

void AffineStore::check_slice(int64_t first, int64_t last) const {
    if (first < 0 || first > last || last > num_afe())
        fail(VLT_RES_ERR_SLICE, "Arguments first = " + num(first) + ", last = " + num(last) +
                                    " do not give a slice of affine expressions within [0, numafe = " +
                                    num(num_afe()) + "]");
}

// ------------------------------------------------------------------ sizes

void AffineStore::append(int64_t count) {
    check_count({"num"}, count);
    if (count > kMaxAfes - num_afe())
        fail(VLT_RES_ERR_SIZE_LIMIT, "Argument num = " + num(count) + " would make more than " + num(kMaxAfes) +
                                         " affine expressions");
    g_.reserve(static_cast<size_t>(num_afe() + count));
    rows_.reserve_lines(static_cast<int32_t>(num_afe() + count));
    rows_.add_lines(static_cast<int32_t>(count));
    g_.resize(static_cast<size_t>(num_afe() + count), 0.0);
}

void AffineStore::put_max_num(int64_t n) {
    check_count({"maxnumafe"}, n);
    const int64_t reserve = std::min({n, num_afe() + kMaxReservedAfes, kMaxAfes});
    g_.reserve(static_cast<size_t>(reserve));
    rows_.reserve_lines(static_cast<int32_t>(reserve));
    max_num_ = n;
}

int64_t AffineStore::append_row(int32_t numnz, const int32_t* varidx, const double* val, double g) {
    append(1);
    const int64_t k = num_afe() - 1;
    rows_.ensure_room(numnz);
    rows_.write_line(static_cast<int32_t>(k), numnz, varidx, val, 0.0);
    g_[k] = g;
    return k;
}

void AffineStore::truncate(int64_t keep) {
    if (keep >= num_afe()) return;
    std::vector<char> mask(static_cast<size_t>(num_afe()), 0);
    std::fill(mask.begin(), mask.begin() + keep, 1);
    rows_.remove_lines(mask);
    g_.resize(static_cast<size_t>(keep));
}

// ---------------------------------------------------------------------- F

void AffineStore::put_entry(int64_t afeidx, int32_t varidx, double value, int32_t numvar) {
    check_afe_index({"afeidx"}, afeidx, num_afe());
    check_index(Item::Var, {"varidx"}, varidx, numvar);
    check_finite({"value"}, value);
    const int32_t k = static_cast<int32_t>(afeidx);
    rows_.ensure_room(rows_.room_to_reserve(k, int64_t{rows_.length(k)} + 1));
    rows_.reserve_line(k, int64_t{rows_.length(k)} + 1);
    rows_.set_entry(k, varidx, value);
}

void AffineStore::put_entry_list(int64_t numentr, const int64_t* afeidx, const int32_t* varidx, const double* val,
                                 int32_t numvar) {
    check_count({"numentr"}, numentr);
    check_present(afeidx, "afeidx", "numentr", numentr);
    check_present(varidx, "varidx", "numentr", numentr);
    check_present(val, "val", "numentr", numentr);
    for (int64_t k = 0; k < numentr; ++k) {
        check_afe_index(at("afeidx", k), afeidx[k], num_afe());
        check_index(Item::Var, at("varidx", k), varidx[k], numvar);
        check_finite(at("val", k), val[k]);
    }
    if (numentr == 0) return;
    // Entries grouped by row, columns ascending: a pair given twice is adjacent.
    std::vector<int64_t> order(static_cast<size_t>(numentr));
    std::iota(order.begin(), order.end(), int64_t{0});
    std::sort(order.begin(), order.end(), [&](int64_t a, int64_t b) {
        if (afeidx[a] != afeidx[b]) return afeidx[a] < afeidx[b];
        if (varidx[a] != varidx[b]) return varidx[a] < varidx[b];
        return a < b;
    });
    for (size_t k = 1; k < order.size(); ++k) {
        int64_t a = order[k - 1], b = order[k];
        if (afeidx[a] == afeidx[b] && varidx[a] == varidx[b])
            fail_duplicate("Entry (afeidx[" + num(b) + "], varidx[" + num(b) + "]) = (" + num(afeidx[b]) + ", " +
                           num(varidx[b]) + ") repeats entry " + num(a));
    }
    std::vector<int32_t> cols(order.size());
    std::vector<double> vals(order.size());
    for (size_t k = 0; k < order.size(); ++k) {
        cols[k] = varidx[order[k]];
        vals[k] = val[order[k]];
    }
    // Room for every touched row first; merging then cannot fail.
    int64_t room = 0;
    for (size_t s = 0, e = 0; s < order.size(); s = e) {
        for (e = s; e < order.size() && afeidx[order[e]] == afeidx[order[s]];) ++e;
        const int32_t k = static_cast<int32_t>(afeidx[order[s]]);
        room += rows_.room_to_write(k, rows_.length(k) + static_cast<int64_t>(e - s));
    }
    std::vector<int64_t> where(static_cast<size_t>(numvar), -1);
    rows_.ensure_room(room);
    for (size_t s = 0, e = 0; s < order.size(); s = e) {
        for (e = s; e < order.size() && afeidx[order[e]] == afeidx[order[s]];) ++e;
        rows_.merge_line(static_cast<int32_t>(afeidx[order[s]]), static_cast<int64_t>(e - s), cols.data() + s,
                         vals.data() + s, 0.0, where);
    }
}

void AffineStore::put_row(int64_t afeidx, int32_t numnz, const int32_t* varidx, const double* val, int32_t numvar) {
    check_afe_index({"afeidx"}, afeidx, num_afe());
    check_count({"numnz"}, numnz);
    check_present(varidx, "varidx", "numnz", numnz);
    check_present(val, "val", "numnz", numnz);
    check_row_entries("varidx", "val", 0, numnz, varidx, val, numvar);
    const int32_t k = static_cast<int32_t>(afeidx);
    rows_.ensure_room(rows_.room_to_write(k, numnz));
    rows_.write_line(k, numnz, varidx, val, 0.0);
}

void AffineStore::put_row_list(int64_t numafeidx, const int64_t* afeidx, const int32_t* numnzrow,
                               const int64_t* ptrrow, int64_t lenidxval, const int32_t* varidx, const double* val,
                               int32_t numvar) {
    check_count({"numafeidx"}, numafeidx);
    check_count({"lenidxval"}, lenidxval);
    check_present(afeidx, "afeidx", "numafeidx", numafeidx);
    check_present(numnzrow, "numnzrow", "numafeidx", numafeidx);
    check_present(ptrrow, "ptrrow", "numafeidx", numafeidx);
    check_present(varidx, "varidx", "lenidxval", lenidxval);
    check_present(val, "val", "lenidxval", lenidxval);
    check_distinct_afes("afeidx", numafeidx, afeidx);
    int64_t room = 0;
    for (int64_t i = 0; i < numafeidx; ++i) {
        check_count(at("numnzrow", i), numnzrow[i]);
        if (ptrrow[i] < 0 || ptrrow[i] > lenidxval - numnzrow[i])
            fail(VLT_RES_ERR_INVALID_PTR, "Argument ptrrow[" + num(i) + "] = " + num(ptrrow[i]) + " with numnzrow[" +
                                              num(i) + "] = " + num(numnzrow[i]) +
                                              " reaches outside varidx and val (lenidxval = " + num(lenidxval) + ")");
        check_row_entries("varidx", "val", ptrrow[i], numnzrow[i], varidx, val, numvar);
        room += rows_.room_to_write(static_cast<int32_t>(afeidx[i]), numnzrow[i]);
    }
    rows_.ensure_room(room);
    for (int64_t i = 0; i < numafeidx; ++i)
        rows_.write_line(static_cast<int32_t>(afeidx[i]), numnzrow[i], varidx + ptrrow[i], val + ptrrow[i], 0.0);
}

void AffineStore::put_col(int32_t varidx, int64_t numnz, const int64_t* afeidx, const double* val, int32_t numvar) {
    check_index(Item::Var, {"varidx"}, varidx, numvar);
    check_count({"numnz"}, numnz);
    check_present(afeidx, "afeidx", "numnz", numnz);
    check_present(val, "val", "numnz", numnz);
    check_distinct_afes("afeidx", numnz, afeidx);
    check_finite_array("val", numnz, val);
    int64_t room = 0;
    for (int64_t k = 0; k < numnz; ++k) {
        const int32_t row = static_cast<int32_t>(afeidx[k]);
        room += rows_.room_to_reserve(row, int64_t{rows_.length(row)} + 1);
    }
    rows_.ensure_room(room);
    for (int64_t k = 0; k < numnz; ++k) {
        const int32_t row = static_cast<int32_t>(afeidx[k]);
        rows_.reserve_line(row, int64_t{rows_.length(row)} + 1);
    }
    for (int32_t row = 0; row < rows_.num_lines(); ++row) rows_.set_entry(row, varidx, 0.0);
    for (int64_t k = 0; k < numnz; ++k) rows_.set_entry(static_cast<int32_t>(afeidx[k]), varidx, val[k]);
}

void AffineStore::empty_row(int64_t afeidx) {
    check_afe_index({"afeidx"}, afeidx, num_afe());
    rows_.write_line(static_cast<int32_t>(afeidx), 0, nullptr, nullptr, -1.0);
}

void AffineStore::empty_row_list(int64_t numafeidx, const int64_t* afeidx) {
    check_count({"numafeidx"}, numafeidx);
    check_present(afeidx, "afeidx", "numafeidx", numafeidx);
    for (int64_t k = 0; k < numafeidx; ++k) check_afe_index(at("afeidx", k), afeidx[k], num_afe());
    for (int64_t k = 0; k < numafeidx; ++k)
        rows_.write_line(static_cast<int32_t>(afeidx[k]), 0, nullptr, nullptr, -1.0);
}

void AffineStore::empty_col(int32_t varidx, int32_t numvar) {
    check_index(Item::Var, {"varidx"}, varidx, numvar);
    for (int32_t row = 0; row < rows_.num_lines(); ++row) rows_.set_entry(row, varidx, 0.0);
}

void AffineStore::empty_col_list(int64_t numvaridx, const int32_t* varidx, int32_t numvar) {
    check_count({"numvaridx"}, numvaridx);
    check_present(varidx, "varidx", "numvaridx", numvaridx);
    check_index_list(Item::Var, "varidx", numvaridx, varidx, numvar);
    if (numvaridx == 0) return;
    std::vector<int32_t> new_index(static_cast<size_t>(numvar));
    std::iota(new_index.begin(), new_index.end(), 0);
    for (int64_t k = 0; k < numvaridx; ++k) new_index[varidx[k]] = -1;
    rows_.renumber(new_index);
}

int32_t AffineStore::row_nnz(int64_t afeidx) const {
    check_afe_index({"afeidx"}, afeidx, num_afe());
    return length(afeidx);
}

void AffineStore::get_row(int64_t afeidx, int32_t* numnz, int32_t* varidx, double* val) const {
    check_afe_index({"afeidx"}, afeidx, num_afe());
    const int32_t n = length(afeidx);
    if (numnz) *numnz = n;
    if (varidx) std::copy(cols(afeidx), cols(afeidx) + n, varidx);
    if (val) std::copy(vals(afeidx), vals(afeidx) + n, val);
}

void AffineStore::get_triplets(int64_t* afeidx, int32_t* varidx, double* val) const {
    int64_t at = 0;
    for (int64_t row = 0; row < num_afe(); ++row) {
        const int32_t n = length(row);
        if (afeidx) std::fill(afeidx + at, afeidx + at + n, row);
        if (varidx) std::copy(cols(row), cols(row) + n, varidx + at);
        if (val) std::copy(vals(row), vals(row) + n, val + at);
        at += n;
    }
}

// ---------------------------------------------------------------------- g

void AffineStore::put_g(int64_t afeidx, double g) {
    check_afe_index({"afeidx"}, afeidx, num_afe());
    check_finite({"g"}, g);
    g_[afeidx] = g;
}

void AffineStore::put_g_list(int64_t numafeidx, const int64_t* afeidx, const double* g) {
    check_count({"numafeidx"}, numafeidx);
    check_present(afeidx, "afeidx", "numafeidx", numafeidx);
    check_present(g, "g", "numafeidx", numafeidx);
    for (int64_t k = 0; k < numafeidx; ++k) check_afe_index(at("afeidx", k), afeidx[k], num_afe());
    check_finite_array("g", numafeidx, g);
    for (int64_t k = 0; k < numafeidx; ++k) g_[afeidx[k]] = g[k];  // a repeated index: the last value wins
}

void AffineStore::put_g_slice(int64_t first, int64_t last, const double* slice) {
    check_slice(first, last);
    check_present(slice, "slice", "last - first", last - first);
    check_finite_array("slice", last - first, slice);
    std::copy(slice, slice + (last - first), g_.begin() + first);
}

double AffineStore::get_g(int64_t afeidx) const {
    check_afe_index({"afeidx"}, afeidx, num_afe());
    return g_[afeidx];
}

void AffineStore::get_g_slice(int64_t first, int64_t last, double* g) const {
    check_slice(first, last);
    if (g) std::copy(g_.begin() + first, g_.begin() + last, g);
}

// -------------------------------------------------------------- the rest

size_t AffineStore::memory_bytes() const { return rows_.memory_bytes() + g_.capacity() * sizeof(double); }

std::string AffineStore::consistency_error(int32_t numvar) const {
    if (int64_t{rows_.num_lines()} != num_afe())
        return "F has " + num(rows_.num_lines()) + " rows for " + num(num_afe()) + " affine expressions";
    for (int64_t row = 0; row < num_afe(); ++row)
        for (int32_t e = 0; e < length(row); ++e)
            if (cols(row)[e] < 0 || cols(row)[e] >= numvar)
                return "F row " + num(row) + " refers to variable " + num(cols(row)[e]) + " of " + num(numvar);
    return {};
}

}  // namespace vlt::model
