// Cones on variables: each cone has a type (VLT_CT_*), a parameter and an
// ordered list of member variables, and requires the members, in order, to
// lie in the set of its type:
//   QUAD    n >= 1   x_1 >= ||x_2..n||
//   RQUAD   n >= 2   2 x_1 x_2 >= ||x_3..n||^2, x_1, x_2 >= 0
//   PEXP    n = 3    primal exponential cone
//   DEXP    n = 3    dual exponential cone
//   PPOW    n >= 2   primal power cone with weight conepar, 0 < conepar < 1
//   DPOW    n >= 2   dual power cone with weight conepar, 0 < conepar < 1
//   ZERO    n >= 1   all members zero
// All types are stored; the optimizer refuses those it cannot solve.
//
// Choices:
//  - A variable belongs to at most one cone, and at most once
//    (VLT_RES_ERR_DUPLICATE_INDEX for a repeat within the cone,
//    VLT_RES_ERR_INVALID_CONE for a variable of another cone).  putcone
//    may reuse the members of the cone it replaces.
//  - A wrong type, a member count below the type's minimum and a parameter
//    out of range are VLT_RES_ERR_INVALID_CONE.  conepar must not be NaN;
//    the types without a weight keep it as given.
//  - Removing a variable that is a cone member is refused (the owning
//    Problem checks it through member_error()): removing a member would
//    silently change the meaning of the cone.  Remove or replace the cone
//    first.
//  - removecones takes a list of cone indexes (repeats allowed); the other
//    cones shift down.
//  - The capacity (putmaxnumcone) is a hint; getmaxnumcone answers at
//    least the number of cones.
//  - Null outputs are not written.
//  - Cones are born unnamed; their names follow appends and removals.
//
// Every call checks all of its arguments before it changes anything.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/arg_check.hpp"
#include "model/names.hpp"
#include "model/problem_data.hpp"

namespace vlt::model {

class VarConeStore {
public:
    int32_t num_cone() const { return static_cast<int32_t>(type_.size()); }
    int64_t num_members() const { return static_cast<int64_t>(mem_.size()); }
    int32_t max_num_cone() const { return max_num_cone_ > num_cone() ? max_num_cone_ : num_cone(); }
    void put_max_num_cone(int32_t n);

    // numvar: the number of variables the members must index.
    void append_cone(int32_t ct, double conepar, int32_t nummem, const int32_t* submem, int32_t numvar);
    void append_cone_seq(int32_t ct, double conepar, int32_t nummem, int32_t j, int32_t numvar);
    void append_cones_seq(int32_t num, const int32_t* ct, const double* conepar, const int32_t* nummem, int32_t j,
                          int32_t numvar);
    void put_cone(int32_t k, int32_t ct, double conepar, int32_t nummem, const int32_t* submem, int32_t numvar);
    void remove_cones(int32_t num, const int32_t* subset);
    // The caller checks the index and the name's text.
    NameList& names() { return names_; }
    const NameList& names() const { return names_; }

    void get_cone_info(int32_t k, int32_t* ct, double* conepar, int32_t* nummem) const;
    void get_cone(int32_t k, int32_t* ct, double* conepar, int32_t* nummem, int32_t* submem) const;
    int32_t num_cone_mem(int32_t k) const;

    // The cone of variable j, or -1.
    int32_t cone_of(int32_t j) const { return j >= 0 && size_t(j) < owner_.size() ? owner_[size_t(j)] : -1; }
    // Why the variables not kept (keep[j] == 0) cannot go: the first such
    // variable that is a cone member, as a message; empty when none is.
    std::string member_error(const std::vector<char>& keep) const;
    // Forgets every cone (the problem is replaced as a whole); keeps the hint.
    void clear();
    // After a removal of variables: new_index[j] is the new index of a kept
    // variable (members are never removed, see member_error).
    void renumber_vars(const std::vector<int32_t>& new_index);

    // Appends one run of conic rows per cone to d, F = identity on the
    // members: row r of a cone is x[member r], g = 0.  Called before the
    // ACCs are exported, so these rows come first.
    void export_to(ProblemData& d) const;

    size_t memory_bytes() const;
    std::string consistency_error(int32_t numvar) const;

    void check_cone_index(Arg arg, int32_t k) const;

private:
    // The type, count and parameter rules of one cone.
    static void check_shape(Arg ct_arg, int32_t ct, Arg par_arg, double conepar, Arg count_arg, int32_t nummem);
    // Members valid, distinct and of no cone but `except`.  A scratch mark
    // array (sized numvar) records the members seen; it is cleared again.
    void check_members(int32_t nummem, const int32_t* submem, int32_t j, int32_t numvar, int32_t except,
                       std::vector<char>& seen) const;
    void push(int32_t ct, double conepar, int32_t nummem, const int32_t* submem, int32_t j);
    void own(int32_t j, int32_t k);
    void rebuild_owners();

    std::vector<int32_t> type_;
    std::vector<double> par_;
    std::vector<int64_t> start_{0};  // num_cone() + 1 positions into mem_
    std::vector<int32_t> mem_;
    std::vector<int32_t> owner_;     // per variable: its cone or -1 (may be shorter than numvar)
    NameList names_;
    int32_t max_num_cone_ = 0;
};

// The conic domain (VLT_DOMAIN_*) that a cone type is exported as.
int32_t cone_type_domain(int32_t ct);

}  // namespace vlt::model
