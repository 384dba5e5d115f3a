// The cone of positive semidefinite d x d matrices, as vectors of dimension
// d(d+1)/2: svec(X) is the lower triangle of X column by column with the
// elements off the diagonal times sqrt 2, so that svec(X)'svec(Y) = <X, Y>.
//
// The Jordan product is X o Y = (XY + YX) / 2 with identity I.  The
// Nesterov-Todd scaling of an interior pair (S, Z) is R with
//   R' Z R = R^-1 S R^-T = Lambda  (diagonal),
// found from the Cholesky factors S = L1 L1', Z = L2 L2' and the singular
// value decomposition L2' L1 = U Lambda V': R = L1 V Lambda^-1/2.  The
// scaling acts as W v = svec(R' V R), so H = W'W is V -> Wm V Wm with the
// scaling matrix Wm = R R', which goes into the KKT system as a dense block
// (the symmetric Kronecker product Wm (x)s Wm), or is eliminated with
// W^-T V = R^-1 V R^-T (solve/ipm/eliminated_cones.hpp).  The largest step keeps the
// smallest eigenvalue of L^-1 dS L^-T above -1/alpha.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "solve/ipm/cones/cone.hpp"

namespace vlt::solve::ipm {

class PsdCone final : public Cone {
public:
    static constexpr int64_t kMinDim = 1;

    explicit PsdCone(int64_t dim);
    ~PsdCone() override;

    // The order d of the matrices of a cone of dimension d(d+1)/2 (0 when
    // dim is not such a number).
    static int32_t order_of(int64_t dim);
    int32_t order() const { return n_; }

    double degree() const override { return double(n_); }
    bool is_symmetric() const override { return true; }
    BlockShape block_shape() const override { return {BlockShape::Kind::dense, {}, {}}; }

    void unit_point(Vec s, Vec z) const override;
    double unit_margin(CVec v) const override;
    void shift_by_unit(Vec v, double alpha, bool primal) const override;

    void set_identity_scaling() override;
    bool update_scaling(CVec s, CVec z, double mu) override;
    void block_values(Vec out) const override;
    void mul_h(CVec v, Vec out) const override;
    bool has_inverse_block() const override { return true; }
    void mul_w_inverse(CVec v, Vec out, bool transpose) const override;
    void inverse_gram(const std::vector<int64_t>& ptr, const std::vector<int64_t>& row,
                      const std::vector<double>& val, std::vector<double>& upper) const override;
    // inverse_gram with at most the given bytes for the scaled columns kept
    // at once (beyond, they are used one at a time).
    void inverse_gram_within(const std::vector<int64_t>& ptr, const std::vector<int64_t>& row,
                             const std::vector<double>& val, std::vector<double>& upper,
                             int64_t scaled_columns_bytes) const;

    void affine_ds(CVec s, CVec z, Vec ds) const override;
    void combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift) override;
    void ds_offset(CVec ds, CVec z, Vec out) override;

    double max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const override;
    double barrier(CVec s, CVec z) const override;

private:
    struct State;
    int32_t n_;
    std::unique_ptr<State> st_;
};

}  // namespace vlt::solve::ipm
