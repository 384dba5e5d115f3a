// The task's problem data: rows and columns with their bounds, variable
// types, the linear objective, the constraint matrix, the quadratic terms of
// the objective and of the constraints (see model/quadratic.hpp for their
// rules), affine conic constraints, cones on variables (model/var_cones.hpp)
// and names.
//
// Every mutator checks all of its arguments before it changes anything and
// throws vlt::Error naming the offending argument and position; a call that
// throws leaves the problem as it was.  Argument names in the messages are
// those of the C interface, so the entry points can forward straight here.
//
// Conventions shared by all calls:
//  - Lists of per-item values (bounds, variable types, objective
//    coefficients) may name an item twice: the later entry wins.
//    Matrix puts refuse an entry (or a line of a line list) given twice.
//  - Input arrays may be null only when their count is zero, except the
//    bound arrays of bound puts (bk, bl, bu), where null means "keep the
//    stored keys or values".
//  - A null output pointer means the output is not wanted; nothing is written.
//  - Bounds: NaN is refused, infinities are accepted.  Matrix entries,
//    objective coefficients and the constant term must be finite.
//  - Capacities (maximum numbers of constraints, variables, non-zeros) are
//    hints: the problem grows as needed, and a hint below the current size
//    is accepted and just means "no spare room".
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/arg_check.hpp"
#include "model/bounds.hpp"
#include "model/names.hpp"
#include "model/problem_data.hpp"
#include "model/quadratic.hpp"
#include "model/sparse_matrix.hpp"
#include "model/conic.hpp"
#include "model/disjunctive.hpp"
#include "model/semidefinite.hpp"
#include "model/var_cones.hpp"

namespace vlt::model {

// Default bound of a new row: free.  Of a new column: fixed at zero, so that
// a column nobody has given bounds to cannot make a problem unbounded.
inline constexpr int32_t kNewConKey = VLT_BK_FR;
inline constexpr int32_t kNewVarKey = VLT_BK_FX;

class Problem {
public:
    Problem();

    // ------------------------------------------------------------- sizes
    int32_t num_con() const { return con_bounds_.size(); }
    int32_t num_var() const { return var_bounds_.size(); }
    int32_t num_int_var() const;
    int32_t num_items(Item item) const { return item == Item::Con ? num_con() : num_var(); }

    void append_cons(int32_t num);
    void append_vars(int32_t num);
    // Items named in subset go (an index may repeat); the rest shift down,
    // and the matrix, objective, quadratic terms and cone members are
    // renumbered.  A variable that is a cone member cannot go
    // (VLT_RES_ERR_INVALID_CONE): its cone must be removed or replaced first.
    void remove_cons(int32_t num, const int32_t* subset);
    void remove_vars(int32_t num, const int32_t* subset);

    void put_max_num_con(int32_t n);
    void put_max_num_var(int32_t n);
    void put_max_num_anz(int64_t n);
    void resize(int32_t maxnumcon, int32_t maxnumvar, int32_t maxnumcone, int64_t maxnumanz, int64_t maxnumqnz);
    int32_t max_num_con() const { return std::max(max_num_con_, num_con()); }
    int32_t max_num_var() const { return std::max(max_num_var_, num_var()); }
    int64_t max_num_anz() const { return std::max(a_.max_nnz_hint(), a_.nnz()); }
    int32_t max_num_cone_hint() const { return var_cones_.max_num_cone(); }
    int64_t max_num_qnz_hint() const { return max_num_qnz_; }

    // ------------------------------------------------------------ bounds
    void put_bound(Item item, int32_t i, int32_t bk, double bl, double bu);
    // lower != 0: the lower bound, else the upper; finite != 0: set it to
    // value, else to infinity.  The key follows from which sides are finite.
    void change_bound(Item item, int32_t i, int32_t lower, int32_t finite, double value);
    void get_bound(Item item, int32_t i, int32_t* bk, double* bl, double* bu) const;
    void put_bound_list(Item item, int32_t num, const int32_t* sub, const int32_t* bk, const double* bl,
                        const double* bu);
    void put_bound_list_const(Item item, int32_t num, const int32_t* sub, int32_t bk, double bl, double bu);
    void put_bound_slice(Item item, int32_t first, int32_t last, const int32_t* bk, const double* bl,
                         const double* bu);
    void put_bound_slice_const(Item item, int32_t first, int32_t last, int32_t bk, double bl, double bu);
    void get_bound_slice(Item item, int32_t first, int32_t last, int32_t* bk, double* bl, double* bu) const;
    const BoundSet& bounds(Item item) const { return item == Item::Con ? con_bounds_ : var_bounds_; }

    // ---------------------------------------------------- variable types
    void put_var_type(int32_t j, int32_t type);
    int32_t var_type(int32_t j) const;
    void put_var_type_list(int32_t num, const int32_t* subj, const int32_t* type);
    void get_var_type_list(int32_t num, const int32_t* subj, int32_t* type) const;

    // ------------------------------------------------------------ matrix
    const SparseMatrix& matrix() const { return a_; }
    void put_aij(int32_t i, int32_t j, double aij);
    double get_aij(int32_t i, int32_t j) const;
    void put_aij_list(int64_t num, const int32_t* subi, const int32_t* subj, const double* valij);
    void put_line(Axis axis, int32_t k, int32_t nz, const int32_t* sub, const double* val);
    void put_line_slice(Axis axis, int32_t first, int32_t last, const int64_t* ptrb, const int64_t* ptre,
                        const int32_t* asub, const double* aval);
    void put_line_list(Axis axis, int32_t num, const int32_t* sub, const int64_t* ptrb, const int64_t* ptre,
                       const int32_t* asub, const double* aval);
    int32_t line_nnz(Axis axis, int32_t k) const;
    int64_t slice_nnz(Axis axis, int32_t first, int32_t last) const;
    int32_t piece_nnz(int32_t firsti, int32_t lasti, int32_t firstj, int32_t lastj) const;
    int64_t nnz() const { return a_.nnz(); }
    void get_line(Axis axis, int32_t k, int32_t* nz, int32_t* sub, double* val) const;
    void get_line_slice(Axis axis, int32_t first, int32_t last, int64_t maxnumnz, int64_t* ptrb, int64_t* ptre,
                        int32_t* sub, double* val) const;
    void get_line_slice_triplets(Axis axis, int32_t first, int32_t last, int64_t maxnumnz, int32_t* subi,
                                 int32_t* subj, double* val) const;
    void get_triplets(int64_t maxnumnz, int32_t* subi, int32_t* subj, double* val) const;
    void put_truncate_tol(double tol);
    double truncate_tol() const { return a_.truncate_tol(); }

    // --------------------------------------------------------- objective
    void put_cfix(double cfix);
    double cfix() const { return cfix_; }
    void put_cj(int32_t j, double cj);
    double get_cj(int32_t j) const;
    void put_c_list(int32_t num, const int32_t* subj, const double* val);
    void get_c_list(int32_t num, const int32_t* subj, double* c) const;
    void put_c_slice(int32_t first, int32_t last, const double* slice);
    void get_c_slice(int32_t first, int32_t last, double* c) const;
    void put_sense(int32_t sense);
    int32_t sense() const { return sense_; }
    const std::vector<double>& c() const { return c_; }

    // problem_type(): LO, QO (quadratic objective only), QCQO (some
    // constraint has a quadratic part; no ACCs or cones), CONIC (ACCs or
    // cones on variables only) or MIXED (ACCs or cones together with
    // quadratic terms).
    int32_t problem_type() const;

    // --------------------------------------------------- quadratic terms
    // Kept in step with removals of variables and constraints.  The
    // capacity maxnumqnz counts the terms of the objective and of all
    // constraints together; like the other capacities it is a hint.
    QuadraticObjective& quadratic_objective() { return qobj_; }
    const QuadraticObjective& quadratic_objective() const { return qobj_; }
    QuadraticConstraints& quadratic_constraints() { return qcon_; }
    const QuadraticConstraints& quadratic_constraints() const { return qcon_; }
    void put_qobj(int32_t numqonz, const int32_t* qosubi, const int32_t* qosubj, const double* qoval);
    void put_qobj_ij(int32_t i, int32_t j, double qoij);
    double get_qobj_ij(int32_t i, int32_t j) const;
    int64_t num_qobj_nz() const { return qobj_.nnz(); }
    // Throws VLT_RES_ERR_BUFFER_TOO_SMALL when maxnumqonz is below the count.
    void get_qobj(int64_t maxnumqonz, int64_t* numqonz, int32_t* qosubi, int32_t* qosubj, double* qoval) const;
    void put_qcon_k(int32_t k, int32_t numqcnz, const int32_t* qcsubi, const int32_t* qcsubj, const double* qcval);
    // Replaces the quadratic parts of all constraints: rows not named lose theirs.
    void put_qcon(int32_t numqcnz, const int32_t* qcsubk, const int32_t* qcsubi, const int32_t* qcsubj,
                  const double* qcval);
    int64_t num_qcon_k_nz(int32_t k) const;
    void get_qcon_k(int32_t k, int64_t maxnumqcnz, int64_t* numqcnz, int32_t* qcsubi, int32_t* qcsubj,
                    double* qcval) const;
    void put_max_num_qnz(int64_t n);
    int64_t max_num_qnz() const { return std::max(max_num_qnz_, qobj_.nnz() + qcon_.total_nnz()); }

    // -------------------------------- affine expressions, domains, ACCs
    // Kept in step with removals of variables (F columns are renumbered).
    AffineStore& affine() { return afes_; }
    const AffineStore& affine() const { return afes_; }
    ConicStore& conic() { return cones_; }
    const ConicStore& conic() const { return cones_; }
    DisjunctiveStore& disjunctive() { return djcs_; }
    const DisjunctiveStore& disjunctive() const { return djcs_; }

    // ---------------------------------------------------- semidefinite data
    // Semidefinite variables, symmetric matrices, barC, barA and barF (model/
    // semidefinite.hpp); barA is kept in step with removals of constraints.
    SemidefiniteStore& semidefinite() { return sdp_; }
    const SemidefiniteStore& semidefinite() const { return sdp_; }

    // ------------------------------------------------ cones on variables
    // The members are checked against the current variables.
    const VarConeStore& var_cones() const { return var_cones_; }
    NameList& cone_names() { return var_cones_.names(); }
    void append_cone(int32_t ct, double conepar, int32_t nummem, const int32_t* submem) {
        var_cones_.append_cone(ct, conepar, nummem, submem, num_var());
    }
    void append_cone_seq(int32_t ct, double conepar, int32_t nummem, int32_t j) {
        var_cones_.append_cone_seq(ct, conepar, nummem, j, num_var());
    }
    void append_cones_seq(int32_t num, const int32_t* ct, const double* conepar, const int32_t* nummem, int32_t j) {
        var_cones_.append_cones_seq(num, ct, conepar, nummem, j, num_var());
    }
    void put_cone(int32_t k, int32_t ct, double conepar, int32_t nummem, const int32_t* submem) {
        var_cones_.put_cone(k, ct, conepar, nummem, submem, num_var());
    }
    void remove_cones(int32_t num, const int32_t* subset) { var_cones_.remove_cones(num, subset); }
    void put_max_num_cone(int32_t n) { var_cones_.put_max_num_cone(n); }

    // ----------------------------------------------------- whole problem
    // Loads a whole linear problem: the task gets exactly numcon rows and
    // numvar columns; objective, matrix and all bounds are replaced (null c:
    // zeros; null aptrb and aptre: no entries; null bound keys: each key
    // follows from which given bounds are finite; null lower or upper
    // bounds: infinite).  Variable types of kept columns stay.
    void input_data(int32_t maxnumcon, int32_t maxnumvar, int32_t numcon, int32_t numvar, const double* c,
                    double cfix, const int64_t* aptrb, const int64_t* aptre, const int32_t* asub,
                    const double* aval, const int32_t* bkc, const double* blc, const double* buc,
                    const int32_t* bkx, const double* blx, const double* bux);
    // The exchange form; its conic rows hold the cones on variables first,
    // then the ACCs (ProblemData::var_cone_rows).
    ProblemData to_data() const;
    // Replaces the whole problem; the cones on variables and the
    // disjunctive constraints go (conic rows of the data become ACCs).
    void load(const ProblemData& data);

    // ------------------------------------------------------------- names
    // Kept in step with appends, removals and loads; set through the name
    // entry points, which check the names.
    ProblemNames& names() { return names_; }
    const ProblemNames& names() const { return names_; }

    size_t memory_bytes() const;

    // What is inconsistent in the problem's stores (sizes that disagree,
    // quadratic indexes out of range), or an empty text when nothing is.
    std::string consistency_error() const;

private:
    BoundSet& bound_set(Item item) { return item == Item::Con ? con_bounds_ : var_bounds_; }
    // sub: the items of a list put, else items first, first + 1, ...; where an
    // array is null the stored value counts (new items' defaults when loading).
    void check_bound_arrays(Item item, int64_t num, const int32_t* bk, const double* bl, const double* bu,
                            const int32_t* sub = nullptr, int32_t first = 0, bool loading = false) const;
    std::vector<char> keep_mask(Item item, int32_t num, const int32_t* subset) const;

    BoundSet con_bounds_, var_bounds_;
    std::vector<int32_t> var_type_;
    std::vector<double> c_;
    double cfix_ = 0.0;
    int32_t sense_ = VLT_OBJECTIVE_SENSE_MINIMIZE;
    SparseMatrix a_;
    AffineStore afes_;
    ConicStore cones_;
    DisjunctiveStore djcs_;
    VarConeStore var_cones_;
    SemidefiniteStore sdp_;
    QuadraticObjective qobj_;
    QuadraticConstraints qcon_;
    ProblemNames names_;
    int32_t max_num_con_ = 0, max_num_var_ = 0;
    int64_t max_num_qnz_ = 0;
};

}  // namespace vlt::model
