// Cones whose block is eliminated from the KKT system analytically.
//
// A cone with a dense block H = W'W whose scaling is cheap to invert (the
// PSD cone: W^-T V = R^-1 V R^-T) is better not put into the system as a
// dense dim x dim block: from
//   G_R dx - H dz_R = rz_R   follows   dz_R = W^-1 (W^-T G_R dx - W^-T rz_R),
// and the primal rows gain the dense Schur complement G_R'H^-1 G_R over the
// columns that the rows R touch (for an SDP in the form sum_i x_i F_i - F_0
// PSD it is the classic matrix <F_i, Wm^-1 F_j Wm^-1>, which the cone forms
// exploiting the sparsity of the F_i).  The difference in dz_R is taken in
// the scaled space, at the scale of the iterate instead of that of H^-1.  The KKT matrix keeps
// the rows of R only as decoupled pivots -1; a solve with the reduced matrix
// is exact for the full system apart from the regularization, so it serves
// as the preconditioner of the refinement, which runs on the full system.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "solve/ipm/cones/composite.hpp"
#include "solve/ipm/linsys/quasidefinite_solver.hpp"

namespace vlt::solve::ipm {

class EliminatedCones final : public SystemReduction {
public:
    EliminatedCones() = default;
    // rows: G row-wise (row_start, row_cols, row_vals) with m rows over n
    // columns.  The cones must outlive this object.
    EliminatedCones(int64_t n, const CompositeCone& cones, const std::vector<int64_t>& row_start,
                    const std::vector<int64_t>& row_cols, const std::vector<double>& row_vals);

    bool any() const { return !blocks_.empty(); }
    bool eliminated(size_t cone) const { return cone < is_eliminated_.size() && is_eliminated_[cone]; }
    // The entries (row <= col) that the Schur complements add to the primal
    // block, in the order of schur_values.
    std::vector<std::pair<int64_t, int64_t>> pattern() const;
    // Recomputes the Schur complements with the cones' current scaling.
    void update();
    const std::vector<double>& values() const { return values_; }

    // Around a solve with the reduced matrix of v = (vx, vz): first folds the
    // eliminated rows into the primal rows, then recovers them.
    void fold(std::vector<double>& v) override;
    void unfold(std::vector<double>& v) override;
    // Turns out = K_reduced v into the product with the full system.
    void correct_product(const std::vector<double>& v, std::vector<double>& out) override;

private:
    struct Block {
        size_t cone;
        int64_t start, dim;
        std::vector<int64_t> cols;  // the columns the rows touch, ascending
        // G_R by the local columns: entries (local row, value) of column q
        std::vector<int64_t> qptr{0};
        std::vector<int64_t> qrow;
        std::vector<double> qval;
        std::vector<double> schur;   // upper triangle of G_R'H^-1 G_R, by columns
        std::vector<double> folded;  // W^-T rz_R of the last fold
    };

    void times_g(const Block& b, const std::vector<double>& v, std::vector<double>& out) const;
    void add_transposed(const Block& b, const double* t, std::vector<double>& v) const;

    int64_t n_ = 0;
    const CompositeCone* cones_ = nullptr;
    std::vector<char> is_eliminated_;
    std::vector<Block> blocks_;
    std::vector<double> values_;
    std::vector<double> work_;
};

}  // namespace vlt::solve::ipm
