// Quadratic terms: the objective's 0.5 x'Qx and, per constraint k, the
// 0.5 x'Q_k x of  blc[k] <= a_k'x + 0.5 x'Q_k x <= buc[k].
//
// Each symmetric Q is kept by its lower triangle: entries (i, j) with
// i >= j, one per position, none zero.  Puts through the entry points store
// them sorted by (i, j); files may load them in any order.
//
// Rules of the puts (whole Q, one Q_k, all Q_k, one entry of the objective):
//  - An entry (i, j) with i < j names the same position of the symmetric Q
//    as (j, i) and is stored there: either triangle may be given.
//  - A position named twice in one put is refused with
//    VLT_RES_ERR_DUPLICATE_INDEX, whichever triangles the two entries use.
//    So a full symmetric Q (both triangles) is refused: give one triangle.
//    The value of an entry is Q's entry, not half of it.
//  - A zero value stores nothing; putting one entry as zero removes it.
//  - Values must be finite; indexes must name existing variables (and
//    constraints).  Everything is checked before anything changes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/arg_check.hpp"

namespace vlt::model {

struct QuadraticTerms {
    std::vector<int32_t> subi, subj;
    std::vector<double> val;

    bool empty() const { return val.empty(); }
    int64_t nnz() const { return static_cast<int64_t>(val.size()); }
    size_t memory_bytes() const;
    // The value at lower-triangle position (i >= j), 0 when there is none.
    double get(int32_t i, int32_t j) const;
    // Sets the lower-triangle position (i >= j); zero removes it.
    void set(int32_t i, int32_t j, double v);
    // Keeps the entries whose two variables stay, renumbered by new_index
    // (-1: removed).  Does not allocate.
    void renumber(const std::vector<int32_t>& new_index);
    // Drops the entries of variables at or above numvar.
    void keep_vars_below(int32_t numvar);
    // Null outputs are not written.
    void copy_out(int32_t* subi, int32_t* subj, double* val) const;
};
using QuadraticObjective = QuadraticTerms;

// Argument names of a put, for the messages.  subk is null when the put
// has no constraint indexes.
struct TermNames {
    const char* count;
    const char* subk;
    const char* subi;
    const char* subj;
    const char* val;
};

// A put's list checked and in stored form: positions mirrored into the lower
// triangle, sorted by (k, i, j), zeros dropped.  k is 0 for every entry when
// subk is null.  Throws vlt::Error on the first fault: a negative count, a
// null array, an index out of range, a value that is not finite, or a
// position given twice.
struct TermList {
    std::vector<int32_t> k, i, j;
    std::vector<double> v;
};
TermList checked_terms(const TermNames& names, int64_t num, const int32_t* subk, const int32_t* subi,
                       const int32_t* subj, const double* val, int32_t numcon, int32_t numvar);

// The quadratic parts of the constraints, by constraint index.  Only
// non-empty Q_k are held, so a problem without them costs nothing per row.
class QuadraticConstraints {
public:
    using Map = std::map<int32_t, QuadraticTerms>;

    bool empty() const { return q_.empty(); }
    const Map& terms() const { return q_; }
    const QuadraticTerms* find(int32_t k) const;
    int64_t nnz(int32_t k) const;
    int64_t total_nnz() const;

    // Replaces Q_k (empty terms: k has no quadratic part any more).
    void put(int32_t k, QuadraticTerms terms);
    // Replaces every Q_k.
    void replace_all(Map all) { q_ = std::move(all); }
    // Groups a checked list by constraint.
    static Map grouped(TermList list);

    // Rows whose keep flag is 0 go, the others are renumbered in order.
    // Moves map nodes; does not allocate.
    void remove_cons(const std::vector<char>& keep);
    void renumber_vars(const std::vector<int32_t>& new_index);
    // Drops the Q_k of rows at or above numcon and entries of variables at or
    // above numvar.
    void keep_below(int32_t numcon, int32_t numvar);

    size_t memory_bytes() const;
    std::string consistency_error(int32_t numcon, int32_t numvar) const;

private:
    Map q_;
};

// "" when every entry lies in the lower triangle of an n-variable Q, else
// what is wrong with the first one that does not.
std::string lower_triangle_error(const QuadraticTerms& q, int32_t numvar);

}  // namespace vlt::model
