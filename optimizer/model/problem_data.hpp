// A whole linear / quadratic / mixed-integer problem as plain arrays.
//
// This is the exchange form between the task's data model, the file readers
// and writers, and the solver back ends: it is easy to fill from a file and easy
// to hand to an engine, without either side knowing the other's internals.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "velto.h"

namespace vlt::model {

struct ProblemData {
    int32_t numcon = 0;
    int32_t numvar = 0;

    int32_t sense = VLT_OBJECTIVE_SENSE_MINIMIZE;
    double cfix = 0.0;          // constant term of the objective
    std::vector<double> c;      // numvar linear objective coefficients

    // Constraint bounds: blc <= A x <= buc, interpreted through the bound key.
    std::vector<int32_t> bkc;   // numcon bound keys (VLT_BK_*)
    std::vector<double> blc, buc;

    // Variable bounds and types.
    std::vector<int32_t> bkx;   // numvar bound keys
    std::vector<double> blx, bux;
    std::vector<int32_t> vartype;  // numvar, VLT_VAR_TYPE_*

    // Semi-continuous variables: a flagged variable j takes either the value 0
    // or a value in [blx[j], bux[j]] (an integer one, when vartype[j] is
    // VLT_VAR_TYPE_INT).  numvar flags (0 or 1), or empty when no variable is
    // semi-continuous.
    std::vector<uint8_t> semicont;

    // Constraint matrix, column-wise: the entries of column j are
    // asub/aval[aptr[j] .. aptr[j+1]).  Row indexes within a column are
    // distinct; order within a column is not significant.
    std::vector<int64_t> aptr{0};  // numvar + 1 positions
    std::vector<int32_t> asub;
    std::vector<double> aval;

    // Quadratic objective 0.5 x' Q x, Q symmetric, given by its lower
    // triangle (qosubi >= qosubj); each off-diagonal pair appears once.
    std::vector<int32_t> qosubi, qosubj;
    std::vector<double> qoval;

    // Quadratic parts of constraints: row qcsubk[t] reads
    // blc <= a'x + 0.5 x' Q_k x <= buc with Q_k symmetric, given by its lower
    // triangle (qcsubi >= qcsubj); each off-diagonal pair of a row appears
    // once.  All four of one length; empty when no row has such a part.
    std::vector<int32_t> qcsubk, qcsubi, qcsubj;
    std::vector<double> qcval;

    // Affine conic constraints, stacked into one block of rows: row r is the
    // affine function  sum_k fval[k] x[fsub[k]] + g[r]  over the entries
    // k in [fptr[r], fptr[r+1]), and consecutive runs of rows form one cone
    // each (cones[0] takes the first cones[0].dim rows, and so on).  Each run
    // must lie in the domain of its cone: VLT_DOMAIN_RZERO (all zero),
    // RPLUS, RMINUS, R (free), QUADRATIC_CONE (r0 >= ||r1..||) or
    // RQUADRATIC_CONE (2 r0 r1 >= ||r2..||^2, r0, r1 >= 0), and the other
    // domains of model/conic.hpp; power cones carry their weights in alpha
    // (nleft values, as given), the others leave it empty.  Column indexes
    // within a row are distinct.  Empty when the problem has no such rows.
    struct Cone {
        int32_t domain = VLT_DOMAIN_R;  // VLT_DOMAIN_*
        int64_t dim = 0;
        std::vector<double> alpha;
        Cone(int32_t domain_ = VLT_DOMAIN_R, int64_t dim_ = 0, std::vector<double> alpha_ = {})
            : domain(domain_), dim(dim_), alpha(std::move(alpha_)) {}
    };
    std::vector<Cone> cones;
    std::vector<int64_t> fptr{0};  // total conic rows + 1 positions
    std::vector<int32_t> fsub;
    std::vector<double> fval;
    std::vector<double> g;          // total conic rows
    // The first var_cone_rows rows are the cones on variables, one run per
    // cone in cone order, row r being the single entry 1.0 x[fsub[fptr[r]]]
    // (g = 0); the rows of the affine conic constraints follow them.
    int64_t var_cone_rows = 0;

    int64_t num_conic_rows() const { return int64_t(fptr.size()) - 1; }

    // Semidefinite variables X_j of dimension barvar_dim[j], and their terms
    // as elements (k, l) of the lower triangle (k >= l) of symmetric
    // matrices, each element of a term once:
    //   barc: the objective gains  sum_j <C_j, X_j>           (row 0)
    //   bara: constraint i gains   sum_j <A_ij, X_j>          (row i)
    //   barf: conic row r gains    sum_j <F_rj, X_j>          (row r)
    // <M, X> is the trace inner product: an element off the diagonal counts
    // twice.  Elements of one (row, j) are distinct.
    struct SymTerms {
        std::vector<int64_t> row;
        std::vector<int32_t> j, k, l;
        std::vector<double> val;
        size_t size() const { return val.size(); }
        void push(int64_t r, int32_t jj, int32_t kk, int32_t ll, double v) {
            row.push_back(r);
            j.push_back(jj);
            k.push_back(kk);
            l.push_back(ll);
            val.push_back(v);
        }
    };
    std::vector<int32_t> barvar_dim;
    SymTerms barc, bara, barf;

    // Optional names (empty vectors when the source had none).
    std::string name;       // problem name
    std::string objname;    // objective name
    std::vector<std::string> conname;  // numcon or empty
    std::vector<std::string> varname;  // numvar or empty
    std::vector<std::string> barvarname;  // barvar_dim.size() or empty
};

}  // namespace vlt::model
