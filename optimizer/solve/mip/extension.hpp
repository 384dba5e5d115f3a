// Growing a problem in its exchange form: new columns, new linear rows and
// new conic blocks, collected first and merged into the ProblemData in one
// pass (its matrix is kept by columns, so rows are cheaper to add together).
//
// The reformulations of this folder append only: the original columns and
// rows keep their indexes, so an answer maps back by truncation.
#pragma once

#include <cstdint>
#include <vector>

#include "model/problem_data.hpp"

namespace vlt::solve::mip {

// A sparse affine function  sum val[k] x[col[k]] + constant.
struct Affine {
    std::vector<int32_t> col;
    std::vector<double> val;
    double constant = 0.0;
};

class Extension {
public:
    explicit Extension(const model::ProblemData& d) : first_column_(d.numvar) {}

    // A new column; returns its index in the grown problem.
    int32_t add_column(double lower, double upper, bool integer);
    // lower <= f(x) <= upper (either side may be infinite); f's constant moves
    // into the bounds.
    void add_row(const Affine& f, double lower, double upper);
    // (f_1(x), ..., f_n(x)) in the domain (VLT_DOMAIN_*); alpha: the
    // weights of a power cone.
    void add_conic(int32_t domain, const std::vector<Affine>& rows, const std::vector<double>& alpha = {});

    int32_t num_new_columns() const { return static_cast<int32_t>(col_lower_.size()); }
    // The index the next new column will have.
    int32_t next_column() const { return first_column_ + num_new_columns(); }
    bool empty() const { return col_lower_.empty() && row_lower_.empty() && cones_.empty(); }

    // Appends everything to d.
    void apply(model::ProblemData& d) const;

private:
    int32_t first_column_;
    std::vector<double> col_lower_, col_upper_;
    std::vector<int32_t> col_type_;
    std::vector<Affine> rows_;
    std::vector<double> row_lower_, row_upper_;
    struct Block {
        int32_t domain;
        std::vector<Affine> rows;
        std::vector<double> alpha;
    };
    std::vector<Block> cones_;
};

// The conic rows of d as affine functions F[r,:] x + g[r], in order.
std::vector<Affine> conic_rows(const model::ProblemData& d);
// Removes every conic row and cone from d.
void clear_conic_rows(model::ProblemData& d);

// Moves the conic rows of the linear domains (R, RZERO, RPLUS, RMINUS) into
// ordinary rows of the matrix; returns false, and changes nothing, when some
// conic row is in another domain.  Used to hand a linear problem to the
// MILP engine, which takes no conic rows.
bool linearize_conic_rows(model::ProblemData& d);

// The linear rows of d by rows: the entries of row i are
// col/val[ptr[i] .. ptr[i+1]).
struct RowMatrix {
    std::vector<int64_t> ptr;
    std::vector<int32_t> col;
    std::vector<double> val;
};
RowMatrix rows_of(const model::ProblemData& d);

}  // namespace vlt::solve::mip
