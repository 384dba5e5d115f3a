#include "model/semidefinite.hpp"

#include <algorithm>
#include <limits>
#include <numeric>
#include <tuple>

#include "model/affine.hpp"

namespace vlt::model {

namespace {

constexpr int32_t kMaxBarvars = std::numeric_limits<int32_t>::max();

std::string num(int64_t v) { return std::to_string(v); }

[[noreturn]] void fail_duplicate(const std::string& what) { fail(VLT_RES_ERR_DUPLICATE_INDEX, what); }

[[noreturn]] void fail_ptr(const std::string& what) { fail(VLT_RES_ERR_INVALID_PTR, what); }

// Distinct values of a list: the first repeat is reported.
template <class T>
void check_distinct(const char* name, int64_t n, const T* values, const char* what) {
    if (n < 2) return;
    std::vector<int64_t> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), int64_t{0});
    std::sort(order.begin(), order.end(), [&](int64_t a, int64_t b) {
        return values[a] < values[b] || (values[a] == values[b] && a < b);
    });
    for (size_t k = 1; k < order.size(); ++k)
        if (values[order[k]] == values[order[k - 1]])
            fail_duplicate("Argument " + at(name, order[k]).str() + " = " + num(values[order[k]]) + " repeats " +
                           at(name, order[k - 1]).str() + what);
}

// (row, j) pairs of a list, distinct.
void check_distinct_keys(const char* row_name, const char* j_name, int64_t n, const std::vector<int64_t>& row,
                         const int32_t* j) {
    if (n < 2) return;
    std::vector<int64_t> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), int64_t{0});
    auto key = [&](int64_t k) { return std::pair{row[size_t(k)], j[k]}; };
    std::sort(order.begin(), order.end(), [&](int64_t a, int64_t b) { return key(a) < key(b) || (key(a) == key(b) && a < b); });
    for (size_t k = 1; k < order.size(); ++k)
        if (key(order[k]) == key(order[k - 1]))
            fail_duplicate("Entry (" + at(row_name, order[k]).str() + ", " + at(j_name, order[k]).str() + ") = (" +
                           num(row[size_t(order[k])]) + ", " + num(j[order[k]]) + ") repeats entry " +
                           num(order[k - 1]));
}

void check_output_room(int64_t maxnum, int64_t needed, const char* max_name, const char* what) {
    if (maxnum < needed)
        fail(VLT_RES_ERR_BUFFER_TOO_SMALL, "Argument " + std::string(max_name) + " = " + num(maxnum) +
                                               " is below the " + num(needed) + " " + what);
}

}  // namespace

void fail_barvar_index(Arg arg, int64_t value, int32_t numbarvar) {
    fail(VLT_RES_ERR_INDEX_BARVAR, "Argument " + arg.str() + " = " + num(value) +
                                       " is not a valid semidefinite variable index (numbarvar = " + num(numbarvar) +
                                       ")");
}

// ------------------------------------------------- semidefinite variables

int32_t SemidefiniteStore::dim(int32_t j) const {
    check_barvar({"j"}, j);
    return dims_[size_t(j)];
}

int64_t SemidefiniteStore::length(int32_t j) const { return packed_length(dim(j)); }

void SemidefiniteStore::check_slice(int32_t first, int32_t last) const {
    if (first < 0 || first > last || last > num_barvar())
        fail(VLT_RES_ERR_SLICE, "Arguments first = " + num(first) + ", last = " + num(last) +
                                    " do not give a slice of semidefinite variables within [0, numbarvar = " +
                                    num(num_barvar()) + "]");
}

int64_t SemidefiniteStore::slice_length(int32_t first, int32_t last) const {
    check_slice(first, last);
    int64_t n = 0;
    for (int32_t j = first; j < last; ++j) n += packed_length(dims_[size_t(j)]);
    return n;
}

void SemidefiniteStore::append_barvars(int32_t count, const int32_t* dim) {
    check_count({"num"}, count);
    check_present(dim, "dim", "num", count);
    if (count > kMaxBarvars - num_barvar())
        fail(VLT_RES_ERR_SIZE_LIMIT, "Argument num = " + std::to_string(count) + " would make more than " +
                                         num(kMaxBarvars) + " semidefinite variables");
    for (int32_t k = 0; k < count; ++k)
        if (dim[k] < 1)
            fail(VLT_RES_ERR_DIMENSION, "Argument " + at("dim", k).str() + " = " + num(dim[k]) +
                                            " is not a valid dimension of a semidefinite variable (at least 1)");
    dims_.reserve(dims_.size() + size_t(count));
    names_.append(count);
    dims_.insert(dims_.end(), dim, dim + count);
}

void SemidefiniteStore::remove_barvars(int32_t count, const int32_t* subset) {
    check_count({"num"}, count);
    check_present(subset, "subset", "num", count);
    for (int32_t k = 0; k < count; ++k) check_barvar(at("subset", k), subset[k]);
    std::vector<char> keep(dims_.size(), 1);
    for (int32_t k = 0; k < count; ++k) keep[size_t(subset[k])] = 0;
    std::vector<int32_t> new_j(dims_.size(), -1);
    std::vector<int32_t> dims;
    dims.reserve(dims_.size());
    for (size_t j = 0; j < dims_.size(); ++j)
        if (keep[j]) {
            new_j[j] = int32_t(dims.size());
            dims.push_back(dims_[j]);
        }
    names_.compact(keep);
    dims_ = std::move(dims);
    barc_.renumber({}, new_j);
    bara_.renumber({}, new_j);
    barf_.renumber({}, new_j);
}

void SemidefiniteStore::put_max_num_barvar(int32_t n) {
    check_count({"maxnumbarvar"}, n);
    dims_.reserve(size_t(std::min(n, num_barvar() + (int32_t{1} << 20))));
    max_num_ = n;
}

// ------------------------------------------------------------ term lists

void SemidefiniteStore::check_terms(int32_t j, const char* mat_name, const char* weight_name, int64_t first,
                                    int64_t count, const int64_t* matidx, const double* weights) const {
    const int32_t d = dims_[size_t(j)];
    for (int64_t t = first; t < first + count; ++t) {
        mats_.check_index(at(mat_name, t), matidx[t]);
        if (mats_.dim(matidx[t]) != d)
            fail(VLT_RES_ERR_DIMENSION, "Argument " + at(mat_name, t).str() + " = " + num(matidx[t]) +
                                            " is a symmetric matrix of dimension " + num(mats_.dim(matidx[t])) +
                                            ", semidefinite variable " + num(j) + " has dimension " + num(d));
        check_finite(at(weight_name, t), weights[t]);
    }
}

int64_t SemidefiniteStore::idx_terms(const BarEntries& entries, const char* what, int64_t idx) {
    if (idx < 0 || idx >= entries.size())
        fail(VLT_RES_ERR_INDEX, "Argument idx = " + num(idx) + " is not the index of a " + what + " entry (there are " +
                                    num(entries.size()) + ")");
    return entries.entry(idx).count;
}

void SemidefiniteStore::get_sparsity(const BarEntries& entries, int64_t maxnumnz, int64_t* numnz, int64_t* idx) {
    check_output_room(maxnumnz, entries.size(), "maxnumnz", "entries present");
    if (numnz) *numnz = entries.size();
    if (idx) std::iota(idx, idx + entries.size(), int64_t{0});
}

// -------------------------------------------------------- block triplets

void SemidefiniteStore::set_elements(BarEntries& entries, int64_t n, const std::vector<int64_t>& row,
                                     const int32_t* subj, const int32_t* subk, const int32_t* subl, const double* val,
                                     const char* j_name, const char* val_name) {
    for (int64_t t = 0; t < n; ++t) {
        check_barvar(at(j_name, t), subj[t]);
        const int32_t d = dims_[size_t(subj[t])];
        if (subk[t] < 0 || subk[t] >= d)
            fail(VLT_RES_ERR_INDEX, "Argument " + at("subk", t).str() + " = " + num(subk[t]) +
                                        " is not a row of semidefinite variable " + num(subj[t]) + " of dimension " +
                                        num(d));
        if (subl[t] < 0 || subl[t] >= d)
            fail(VLT_RES_ERR_INDEX, "Argument " + at("subl", t).str() + " = " + num(subl[t]) +
                                        " is not a column of semidefinite variable " + num(subj[t]) +
                                        " of dimension " + num(d));
        check_finite(at(val_name, t), val[t]);
    }
    // Triplets ordered by element; a repeat is adjacent.
    auto key = [&](int64_t t) {
        return std::tuple{row[size_t(t)], subj[t], std::max(subk[t], subl[t]), std::min(subk[t], subl[t])};
    };
    std::vector<int64_t> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), int64_t{0});
    std::sort(order.begin(), order.end(), [&](int64_t a, int64_t b) { return key(a) < key(b) || (key(a) == key(b) && a < b); });
    for (size_t k = 1; k < order.size(); ++k)
        if (key(order[k]) == key(order[k - 1]))
            fail_duplicate("Block triplet " + num(order[k]) + " repeats the element of block triplet " +
                           num(order[k - 1]));

    // One new matrix per entry touched: its current elements with the given
    // ones set.
    const int64_t old_mats = mats_.size();
    try {
        put_elements(entries, order, row, subj, subk, subl, val);
    } catch (...) {
        mats_.truncate(old_mats);
        throw;
    }
}

void SemidefiniteStore::put_elements(BarEntries& entries, const std::vector<int64_t>& order,
                                     const std::vector<int64_t>& row, const int32_t* subj, const int32_t* subk,
                                     const int32_t* subl, const double* val) {
    std::vector<int64_t> new_mat;
    std::vector<std::pair<int64_t, int32_t>> keys;
    std::vector<BlockTriplet> current;
    for (size_t s = 0, e = 0; s < order.size(); s = e) {
        const int64_t r = row[size_t(order[s])];
        const int32_t j = subj[order[s]];
        for (e = s; e < order.size() && row[size_t(order[e])] == r && subj[order[e]] == j;) ++e;
        current.clear();
        if (int64_t at_entry = entries.find(r, j); at_entry >= 0) entries.expand(entries.entry(at_entry), mats_, current);
        std::vector<int32_t> rows, cols;
        std::vector<double> vals;
        size_t c = 0;
        auto emit = [&](int32_t k, int32_t l, double v) {
            if (v == 0.0) return;
            rows.push_back(k);
            cols.push_back(l);
            vals.push_back(v);
        };
        for (size_t q = s; q < e; ++q) {
            const int64_t t = order[q];
            const int32_t k = std::max(subk[t], subl[t]), l = std::min(subk[t], subl[t]);
            for (; c < current.size() && std::pair{current[c].k, current[c].l} < std::pair{k, l}; ++c)
                emit(current[c].k, current[c].l, current[c].value);
            if (c < current.size() && current[c].k == k && current[c].l == l) ++c;
            emit(k, l, val[t]);
        }
        for (; c < current.size(); ++c) emit(current[c].k, current[c].l, current[c].value);
        keys.emplace_back(r, j);
        new_mat.push_back(rows.empty() ? -1 : mats_.append_valid(dims_[size_t(j)], rows, cols, vals));
    }
    static const double kOne = 1.0;
    std::vector<BarEntries::NewEntry> put;
    put.reserve(keys.size());
    for (size_t q = 0; q < keys.size(); ++q)
        put.push_back({keys[q].first, keys[q].second, new_mat[q] < 0 ? 0 : 1, &new_mat[q], &kOne});
    entries.put(std::move(put));
}

void SemidefiniteStore::check_block_output(const std::vector<BlockTriplet>& triplets, int64_t maxnum,
                                           const char* what) {
    check_output_room(maxnum, int64_t(triplets.size()), "maxnum", what);
}

// ------------------------------------------------------------------- barC

void SemidefiniteStore::put_barc_j(int32_t j, int64_t n, const int64_t* sub, const double* weights) {
    check_barvar({"j"}, j);
    check_count({"num"}, n);
    check_present(sub, "sub", "num", n);
    check_present(weights, "weights", "num", n);
    check_terms(j, "sub", "weights", 0, n, sub, weights);
    barc_.put({{0, j, n, sub, weights}});
}

void SemidefiniteStore::put_barc_block_triplets(int64_t n, const int32_t* subj, const int32_t* subk,
                                                const int32_t* subl, const double* valjkl) {
    check_count({"num"}, n);
    check_present(subj, "subj", "num", n);
    check_present(subk, "subk", "num", n);
    check_present(subl, "subl", "num", n);
    check_present(valjkl, "valjkl", "num", n);
    set_elements(barc_, n, std::vector<int64_t>(size_t(n), 0), subj, subk, subl, valjkl, "subj", "valjkl");
}

void SemidefiniteStore::get_barc_block_triplets(int64_t maxnum, int64_t* n, int32_t* subj, int32_t* subk,
                                                int32_t* subl, double* valjkl) const {
    const std::vector<BlockTriplet> all = barc_.expand_all(mats_);
    check_block_output(all, maxnum, "block triplets of barC");
    if (n) *n = int64_t(all.size());
    for (size_t t = 0; t < all.size(); ++t) {
        if (subj) subj[t] = all[t].j;
        if (subk) subk[t] = all[t].k;
        if (subl) subl[t] = all[t].l;
        if (valjkl) valjkl[t] = all[t].value;
    }
}

void SemidefiniteStore::get_barc_idx(int64_t idx, int64_t maxnum, int32_t* j, int64_t* n, int64_t* sub,
                                     double* weights) const {
    const int64_t count = idx_terms(barc_, "barC", idx);
    check_output_room(maxnum, count, "maxnum", "terms of the entry");
    const BarEntries::Entry& e = barc_.entry(idx);
    if (j) *j = e.j;
    if (n) *n = count;
    if (sub) std::copy(barc_.matidx(e), barc_.matidx(e) + count, sub);
    if (weights) std::copy(barc_.weights(e), barc_.weights(e) + count, weights);
}

// ------------------------------------------------------------------- barA

void SemidefiniteStore::put_bara_ij(int32_t i, int32_t j, int64_t n, const int64_t* sub, const double* weights,
                                    int32_t numcon) {
    check_index(Item::Con, {"i"}, i, numcon);
    check_barvar({"j"}, j);
    check_count({"num"}, n);
    check_present(sub, "sub", "num", n);
    check_present(weights, "weights", "num", n);
    check_terms(j, "sub", "weights", 0, n, sub, weights);
    bara_.put({{i, j, n, sub, weights}});
}

void SemidefiniteStore::put_bara_ij_list(int32_t n, const int32_t* subi, const int32_t* subj,
                                         const int64_t* alphaptrb, const int64_t* alphaptre, const int64_t* matidx,
                                         const double* weights, int32_t numcon) {
    check_count({"num"}, n);
    check_present(subi, "subi", "num", n);
    check_present(subj, "subj", "num", n);
    check_present(alphaptrb, "alphaptrb", "num", n);
    check_present(alphaptre, "alphaptre", "num", n);
    std::vector<int64_t> rows(static_cast<size_t>(n));
    int64_t terms = 0;
    for (int32_t k = 0; k < n; ++k) {
        check_index(Item::Con, at("subi", k), subi[k], numcon);
        check_barvar(at("subj", k), subj[k]);
        if (alphaptrb[k] < 0 || alphaptre[k] < alphaptrb[k])
            fail_ptr("Arguments " + at("alphaptrb", k).str() + " = " + num(alphaptrb[k]) + " and " +
                     at("alphaptre", k).str() + " = " + num(alphaptre[k]) + " do not give a range of terms");
        rows[size_t(k)] = subi[k];
        terms += alphaptre[k] - alphaptrb[k];
    }
    check_present(matidx, "matidx", "the terms of the entries", terms);
    check_present(weights, "weights", "the terms of the entries", terms);
    check_distinct_keys("subi", "subj", n, rows, subj);
    std::vector<BarEntries::NewEntry> put;
    put.reserve(size_t(n));
    for (int32_t k = 0; k < n; ++k) {
        const int64_t count = alphaptre[k] - alphaptrb[k];
        check_terms(subj[k], "matidx", "weights", alphaptrb[k], count, matidx, weights);
        put.push_back({subi[k], subj[k], count, matidx + alphaptrb[k], weights + alphaptrb[k]});
    }
    bara_.put(std::move(put));
}

void SemidefiniteStore::put_bara_row_list(int32_t n, const int32_t* subi, const int64_t* ptrb, const int64_t* ptre,
                                          const int32_t* subj, const int64_t* nummat, const int64_t* matidx,
                                          const double* weights, int32_t numcon) {
    check_count({"num"}, n);
    check_present(subi, "subi", "num", n);
    check_present(ptrb, "ptrb", "num", n);
    check_present(ptre, "ptre", "num", n);
    int64_t entries = 0;  // entries reached: [0, max ptre)
    for (int32_t k = 0; k < n; ++k) {
        check_index(Item::Con, at("subi", k), subi[k], numcon);
        if (ptrb[k] < 0 || ptre[k] < ptrb[k])
            fail_ptr("Arguments " + at("ptrb", k).str() + " = " + num(ptrb[k]) + " and " + at("ptre", k).str() +
                     " = " + num(ptre[k]) + " do not give a range of entries");
        entries = std::max(entries, ptre[k]);
    }
    check_distinct("subi", n, subi, " in the same row list");
    check_present(subj, "subj", "the entries of the rows", entries);
    check_present(nummat, "nummat", "the entries of the rows", entries);
    // The terms of entry e follow those of the entries before it.
    std::vector<int64_t> term_start(size_t(entries) + 1, 0);
    for (int64_t e = 0; e < entries; ++e) {
        check_count(at("nummat", e), nummat[e]);
        term_start[size_t(e) + 1] = term_start[size_t(e)] + nummat[e];
    }
    check_present(matidx, "matidx", "the sum of nummat", term_start.back());
    check_present(weights, "weights", "the sum of nummat", term_start.back());
    std::vector<BarEntries::NewEntry> put;
    for (int32_t k = 0; k < n; ++k) {
        for (int64_t e = ptrb[k]; e < ptre[k]; ++e) {
            check_barvar(at("subj", e), subj[e]);
            check_terms(subj[e], "matidx", "weights", term_start[size_t(e)], nummat[e], matidx, weights);
        }
        check_distinct("subj", ptre[k] - ptrb[k], subj + ptrb[k], " in the same row");
        for (int64_t e = ptrb[k]; e < ptre[k]; ++e)
            put.push_back({subi[k], subj[e], nummat[e], matidx + term_start[size_t(e)], weights + term_start[size_t(e)]});
    }
    bara_.put_rows(std::vector<int64_t>(subi, subi + n), std::move(put));
}

void SemidefiniteStore::put_bara_block_triplets(int64_t n, const int32_t* subi, const int32_t* subj,
                                                const int32_t* subk, const int32_t* subl, const double* valijkl,
                                                int32_t numcon) {
    check_count({"num"}, n);
    check_present(subi, "subi", "num", n);
    check_present(subj, "subj", "num", n);
    check_present(subk, "subk", "num", n);
    check_present(subl, "subl", "num", n);
    check_present(valijkl, "valijkl", "num", n);
    std::vector<int64_t> rows(static_cast<size_t>(n));
    for (int64_t t = 0; t < n; ++t) {
        check_index(Item::Con, at("subi", t), subi[t], numcon);
        rows[size_t(t)] = subi[t];
    }
    set_elements(bara_, n, rows, subj, subk, subl, valijkl, "subj", "valijkl");
}

void SemidefiniteStore::get_bara_block_triplets(int64_t maxnum, int64_t* n, int32_t* subi, int32_t* subj,
                                                int32_t* subk, int32_t* subl, double* valijkl) const {
    const std::vector<BlockTriplet> all = bara_.expand_all(mats_);
    check_block_output(all, maxnum, "block triplets of barA");
    if (n) *n = int64_t(all.size());
    for (size_t t = 0; t < all.size(); ++t) {
        if (subi) subi[t] = int32_t(all[t].row);
        if (subj) subj[t] = all[t].j;
        if (subk) subk[t] = all[t].k;
        if (subl) subl[t] = all[t].l;
        if (valijkl) valijkl[t] = all[t].value;
    }
}

void SemidefiniteStore::get_bara_idx(int64_t idx, int64_t maxnum, int32_t* i, int32_t* j, int64_t* n,
                                     int64_t* sub, double* weights) const {
    const int64_t count = idx_terms(bara_, "barA", idx);
    check_output_room(maxnum, count, "maxnum", "terms of the entry");
    const BarEntries::Entry& e = bara_.entry(idx);
    if (i) *i = int32_t(e.row);
    if (j) *j = e.j;
    if (n) *n = count;
    if (sub) std::copy(bara_.matidx(e), bara_.matidx(e) + count, sub);
    if (weights) std::copy(bara_.weights(e), bara_.weights(e) + count, weights);
}

// ------------------------------------------------------------------- barF

void SemidefiniteStore::put_barf_entry(int64_t afeidx, int32_t barvaridx, int64_t numterm, const int64_t* termidx,
                                       const double* termweight, int64_t numafe) {
    check_afe_index({"afeidx"}, afeidx, numafe);
    check_barvar({"barvaridx"}, barvaridx);
    check_count({"numterm"}, numterm);
    check_present(termidx, "termidx", "numterm", numterm);
    check_present(termweight, "termweight", "numterm", numterm);
    check_terms(barvaridx, "termidx", "termweight", 0, numterm, termidx, termweight);
    barf_.put({{afeidx, barvaridx, numterm, termidx, termweight}});
}

namespace {

// Entry e of a barF list takes the terms [ptrterm[e], ptrterm[e] + numterm[e]).
void check_term_range(int64_t e, const int64_t* numterm, const int64_t* ptrterm, int64_t lenterm) {
    check_count(at("numterm", e), numterm[e]);
    if (ptrterm[e] < 0 || ptrterm[e] > lenterm - numterm[e])
        fail_ptr("Argument " + at("ptrterm", e).str() + " = " + num(ptrterm[e]) + " with " + at("numterm", e).str() +
                 " = " + num(numterm[e]) + " reaches outside termidx and termweight (lenterm = " + num(lenterm) + ")");
}

}  // namespace

void SemidefiniteStore::put_barf_entry_list(int64_t numafeidx, const int64_t* afeidx, const int32_t* barvaridx,
                                            const int64_t* numterm, const int64_t* ptrterm, int64_t lenterm,
                                            const int64_t* termidx, const double* termweight, int64_t numafe) {
    check_count({"numafeidx"}, numafeidx);
    check_count({"lenterm"}, lenterm);
    check_present(afeidx, "afeidx", "numafeidx", numafeidx);
    check_present(barvaridx, "barvaridx", "numafeidx", numafeidx);
    check_present(numterm, "numterm", "numafeidx", numafeidx);
    check_present(ptrterm, "ptrterm", "numafeidx", numafeidx);
    check_present(termidx, "termidx", "lenterm", lenterm);
    check_present(termweight, "termweight", "lenterm", lenterm);
    for (int64_t e = 0; e < numafeidx; ++e) {
        check_afe_index(at("afeidx", e), afeidx[e], numafe);
        check_barvar(at("barvaridx", e), barvaridx[e]);
        check_term_range(e, numterm, ptrterm, lenterm);
        check_terms(barvaridx[e], "termidx", "termweight", ptrterm[e], numterm[e], termidx, termweight);
    }
    check_distinct_keys("afeidx", "barvaridx", numafeidx, std::vector<int64_t>(afeidx, afeidx + numafeidx),
                        barvaridx);
    std::vector<BarEntries::NewEntry> put;
    put.reserve(size_t(numafeidx));
    for (int64_t e = 0; e < numafeidx; ++e)
        put.push_back({afeidx[e], barvaridx[e], numterm[e], termidx + ptrterm[e], termweight + ptrterm[e]});
    barf_.put(std::move(put));
}

void SemidefiniteStore::put_barf_row(int64_t afeidx, int32_t numentr, const int32_t* barvaridx,
                                     const int64_t* numterm, const int64_t* ptrterm, int64_t lenterm,
                                     const int64_t* termidx, const double* termweight, int64_t numafe) {
    check_afe_index({"afeidx"}, afeidx, numafe);
    check_count({"numentr"}, numentr);
    check_count({"lenterm"}, lenterm);
    check_present(barvaridx, "barvaridx", "numentr", numentr);
    check_present(numterm, "numterm", "numentr", numentr);
    check_present(ptrterm, "ptrterm", "numentr", numentr);
    check_present(termidx, "termidx", "lenterm", lenterm);
    check_present(termweight, "termweight", "lenterm", lenterm);
    for (int32_t e = 0; e < numentr; ++e) {
        check_barvar(at("barvaridx", e), barvaridx[e]);
        check_term_range(e, numterm, ptrterm, lenterm);
        check_terms(barvaridx[e], "termidx", "termweight", ptrterm[e], numterm[e], termidx, termweight);
    }
    check_distinct("barvaridx", numentr, barvaridx, " in the same row");
    std::vector<BarEntries::NewEntry> put;
    put.reserve(size_t(numentr));
    for (int32_t e = 0; e < numentr; ++e)
        put.push_back({afeidx, barvaridx[e], numterm[e], termidx + ptrterm[e], termweight + ptrterm[e]});
    barf_.put_rows({afeidx}, std::move(put));
}

void SemidefiniteStore::empty_barf_row(int64_t afeidx, int64_t numafe) {
    check_afe_index({"afeidx"}, afeidx, numafe);
    barf_.put_rows({afeidx}, {});
}

void SemidefiniteStore::empty_barf_rows(int64_t n, const int64_t* afeidxlist, int64_t numafe) {
    check_count({"numafeidx"}, n);
    check_present(afeidxlist, "afeidxlist", "numafeidx", n);
    for (int64_t k = 0; k < n; ++k) check_afe_index(at("afeidxlist", k), afeidxlist[k], numafe);
    barf_.put_rows(std::vector<int64_t>(afeidxlist, afeidxlist + n), {});
}

void SemidefiniteStore::put_barf_block_triplets(int64_t numtrip, const int64_t* afeidx, const int32_t* barvaridx,
                                                const int32_t* subk, const int32_t* subl, const double* valkl,
                                                int64_t numafe) {
    check_count({"numtrip"}, numtrip);
    check_present(afeidx, "afeidx", "numtrip", numtrip);
    check_present(barvaridx, "barvaridx", "numtrip", numtrip);
    check_present(subk, "subk", "numtrip", numtrip);
    check_present(subl, "subl", "numtrip", numtrip);
    check_present(valkl, "valkl", "numtrip", numtrip);
    for (int64_t t = 0; t < numtrip; ++t) check_afe_index(at("afeidx", t), afeidx[t], numafe);
    set_elements(barf_, numtrip, std::vector<int64_t>(afeidx, afeidx + numtrip), barvaridx, subk, subl, valkl,
                 "barvaridx", "valkl");
}

void SemidefiniteStore::get_barf_block_triplets(int64_t maxnumtrip, int64_t* numtrip, int64_t* afeidx,
                                                int32_t* barvaridx, int32_t* subk, int32_t* subl,
                                                double* valkl) const {
    const std::vector<BlockTriplet> all = barf_.expand_all(mats_);
    check_output_room(maxnumtrip, int64_t(all.size()), "maxnumtrip", "block triplets of barF");
    if (numtrip) *numtrip = int64_t(all.size());
    for (size_t t = 0; t < all.size(); ++t) {
        if (afeidx) afeidx[t] = all[t].row;
        if (barvaridx) barvaridx[t] = all[t].j;
        if (subk) subk[t] = all[t].k;
        if (subl) subl[t] = all[t].l;
        if (valkl) valkl[t] = all[t].value;
    }
}

void SemidefiniteStore::get_barf_row_info(int64_t afeidx, int32_t* numentr, int64_t* lenterm, int64_t numafe) const {
    check_afe_index({"afeidx"}, afeidx, numafe);
    auto [first, last] = barf_.row_range(afeidx);
    if (numentr) *numentr = int32_t(last - first);
    if (lenterm) *lenterm = barf_.row_terms(afeidx);
}

void SemidefiniteStore::get_barf_row(int64_t afeidx, int32_t* barvaridx, int64_t* ptrterm, int64_t* numterm,
                                     int64_t* termidx, double* termweight, int64_t numafe) const {
    check_afe_index({"afeidx"}, afeidx, numafe);
    auto [first, last] = barf_.row_range(afeidx);
    int64_t at_term = 0;
    for (int64_t k = first; k < last; ++k) {
        const BarEntries::Entry& e = barf_.entry(k);
        const size_t pos = size_t(k - first);
        if (barvaridx) barvaridx[pos] = e.j;
        if (ptrterm) ptrterm[pos] = at_term;
        if (numterm) numterm[pos] = e.count;
        if (termidx) std::copy(barf_.matidx(e), barf_.matidx(e) + e.count, termidx + at_term);
        if (termweight) std::copy(barf_.weights(e), barf_.weights(e) + e.count, termweight + at_term);
        at_term += e.count;
    }
}

double SemidefiniteStore::objective_term(const std::vector<std::vector<double>>& barx) const {
    double sum = 0.0;
    for (const BlockTriplet& t : barc_.expand_all(mats_)) {
        if (size_t(t.j) >= barx.size()) continue;
        const std::vector<double>& x = barx[size_t(t.j)];
        const int64_t at_kl = packed_index(dims_[size_t(t.j)], t.k, t.l);
        if (at_kl < int64_t(x.size())) sum += (t.k == t.l ? 1.0 : 2.0) * t.value * x[size_t(at_kl)];
    }
    return sum;
}

// ------------------------------------------------------- keeping in step

void SemidefiniteStore::remove_cons(const std::vector<char>& keep) {
    if (bara_.size() == 0) return;
    std::vector<int64_t> new_row(keep.size(), -1);
    int64_t kept = 0;
    for (size_t i = 0; i < keep.size(); ++i)
        if (keep[i]) new_row[i] = kept++;
    bara_.renumber(new_row, {});
}

// -------------------------------------------------------- exchange form

void SemidefiniteStore::export_to(const std::vector<int64_t>& acc_afes, int64_t row_offset, ProblemData& d) const {
    d.barvar_dim = dims_;
    d.barvarname = names_.all();
    for (const BlockTriplet& t : barc_.expand_all(mats_)) d.barc.push(0, t.j, t.k, t.l, t.value);
    for (const BlockTriplet& t : bara_.expand_all(mats_)) d.bara.push(t.row, t.j, t.k, t.l, t.value);
    if (barf_.size() == 0) return;
    // The stacked rows of an AFE: an AFE may stand in several rows.
    std::vector<std::pair<int64_t, int64_t>> rows_of;  // (afe, conic row)
    rows_of.reserve(acc_afes.size());
    for (size_t r = 0; r < acc_afes.size(); ++r) rows_of.emplace_back(acc_afes[r], row_offset + int64_t(r));
    std::sort(rows_of.begin(), rows_of.end());
    std::vector<BlockTriplet> terms;
    for (int64_t k = 0; k < barf_.size(); ++k) {
        const BarEntries::Entry& e = barf_.entry(k);
        auto first = std::lower_bound(rows_of.begin(), rows_of.end(), std::pair{e.row, int64_t{-1}});
        if (first == rows_of.end() || first->first != e.row) continue;
        terms.clear();
        barf_.expand(e, mats_, terms);
        for (auto it = first; it != rows_of.end() && it->first == e.row; ++it)
            for (const BlockTriplet& t : terms) d.barf.push(it->second, t.j, t.k, t.l, t.value);
    }
    // Rows in order, as the conic rows are.
    std::vector<size_t> order(d.barf.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return d.barf.row[a] < d.barf.row[b]; });
    ProblemData::SymTerms sorted;
    for (size_t q : order) sorted.push(d.barf.row[q], d.barf.j[q], d.barf.k[q], d.barf.l[q], d.barf.val[q]);
    d.barf = std::move(sorted);
}

SemidefiniteStore SemidefiniteStore::from_data(const ProblemData& d) {
    auto check_sizes = [](const char* name, const ProblemData::SymTerms& t) {
        const size_t n = t.val.size();
        if (t.row.size() != n || t.j.size() != n || t.k.size() != n || t.l.size() != n)
            fail(VLT_RES_ERR_DIMENSION, std::string("Problem data: the arrays of ") + name + " differ in length");
    };
    check_sizes("barc", d.barc);
    check_sizes("bara", d.bara);
    check_sizes("barf", d.barf);
    SemidefiniteStore s;
    s.append_barvars(int32_t(d.barvar_dim.size()), d.barvar_dim.data());
    if (!d.barvarname.empty()) {
        if (d.barvarname.size() != d.barvar_dim.size())
            fail(VLT_RES_ERR_DIMENSION, "Problem data: barvarname has " + num(int64_t(d.barvarname.size())) +
                                            " names for " + num(int64_t(d.barvar_dim.size())) +
                                            " semidefinite variables");
        for (size_t j = 0; j < d.barvarname.size(); ++j)
            if (const char* why = name_text_error(d.barvarname[j], false))
                fail(VLT_RES_ERR_INVALID_NAME, "Problem data: barvarname[" + num(int64_t(j)) + "] " + why);
        s.names_.assign(d.barvarname);
    }
    for (int64_t row : d.barc.row)
        if (row != 0) fail(VLT_RES_ERR_INDEX, "Problem data: barc has a row other than 0");
    s.put_barc_block_triplets(int64_t(d.barc.size()), d.barc.j.data(), d.barc.k.data(), d.barc.l.data(),
                              d.barc.val.data());
    std::vector<int32_t> rows(d.bara.size());
    for (size_t t = 0; t < rows.size(); ++t) {
        check_index(Item::Con, at("bara.row", int64_t(t)), d.bara.row[t], d.numcon);
        rows[t] = int32_t(d.bara.row[t]);
    }
    s.put_bara_block_triplets(int64_t(d.bara.size()), rows.data(), d.bara.j.data(), d.bara.k.data(),
                              d.bara.l.data(), d.bara.val.data(), d.numcon);
    s.put_barf_block_triplets(int64_t(d.barf.size()), d.barf.row.data(), d.barf.j.data(), d.barf.k.data(),
                              d.barf.l.data(), d.barf.val.data(), std::max<int64_t>(d.num_conic_rows(), 0));
    return s;
}

size_t SemidefiniteStore::memory_bytes() const {
    return dims_.capacity() * sizeof(int32_t) + names_.memory_bytes() + mats_.memory_bytes() + barc_.memory_bytes() +
           bara_.memory_bytes() + barf_.memory_bytes();
}

std::string SemidefiniteStore::consistency_error(int32_t numcon, int64_t numafe) const {
    if (names_.size() != num_barvar())
        return "there are " + num(names_.size()) + " semidefinite variable names for " + num(num_barvar()) + " variables";
    for (int32_t j = 0; j < num_barvar(); ++j)
        if (dims_[size_t(j)] < 1) return "semidefinite variable " + num(j) + " has dimension " + num(dims_[size_t(j)]);
    if (std::string e = mats_.consistency_error(); !e.empty()) return e;
    if (std::string e = barc_.consistency_error("barC", 1, dims_, mats_); !e.empty()) return e;
    if (std::string e = bara_.consistency_error("barA", numcon, dims_, mats_); !e.empty()) return e;
    return barf_.consistency_error("barF", numafe, dims_, mats_);
}

}  // namespace vlt::model
