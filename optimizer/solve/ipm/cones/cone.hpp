// One cone of the interior-point method's product cone K.
//
// The method keeps s in K and z in the dual cone K*.  Each iteration a cone
//  - updates its scaling from the current (s, z): for symmetric cones the
//    Nesterov-Todd scaling W with W z = W^-T s = lambda, for the others a
//    primal-dual scaling of its own;
//  - puts its block H (the linearization of s in terms of z, ds = -H dz - o)
//    into the KKT system, in the shape it declares once (BlockShape);
//  - supplies the right-hand sides of the complementarity rows: the affine
//    one, and the shift of the combined (corrector) step, which holds the
//    cone's higher-order correction (the Jordan product of the affine step
//    for symmetric cones) and the centring term;
//  - turns such a right-hand side into the offset o of ds = -H dz - o;
//  - gives the largest step that keeps s and z inside.
// Every vector argument is the cone's own slice of the whole vector.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <utility>
#include <vector>

namespace vlt::solve::ipm {

using Vec = std::span<double>;
using CVec = std::span<const double>;

// The form of a cone's block H in the KKT system (where it appears as -H):
//   equations  H = 0: the rows are equations (the zero cone), no values;
//   diagonal   H = S with S diagonal, or nearly so (the few entries above the
//              diagonal listed in off_diagonal, block-local (row, column)
//              with row < column);
//   dense      H = S with S full, values: the upper triangle by columns,
//              dim (dim + 1) / 2 of them;
// and in the diagonal and dense forms, terms of low rank:
//   H = S + sum_c e_c e_c' / p_c,
// each held by one extra column of the system with entries e_c (dim values)
// and pivot p_c, so that a large block stays sparse; extra_columns gives the
// sign of each p_c, which stays the same for the whole run.  Values come in
// the order: S (its diagonal then off_diagonal, or the packed triangle),
// then e_1, p_1, e_2, p_2, ...
struct BlockShape {
    enum class Kind { equations, diagonal, dense } kind = Kind::diagonal;
    std::vector<std::pair<int64_t, int64_t>> off_diagonal;
    std::vector<int8_t> extra_columns;

    int64_t s_value_count(int64_t dim) const {
        if (kind == Kind::diagonal) return dim + int64_t(off_diagonal.size());
        if (kind == Kind::dense) return dim * (dim + 1) / 2;
        return 0;
    }
    int64_t value_count(int64_t dim) const { return s_value_count(dim) + int64_t(extra_columns.size()) * (dim + 1); }
};

class Cone {
public:
    explicit Cone(int64_t dim) : dim_(dim) {}
    virtual ~Cone() = default;
    Cone(const Cone&) = delete;
    Cone& operator=(const Cone&) = delete;

    int64_t dim() const { return dim_; }
    // Its share nu of the barrier parameter: mu = (s'z + tau kappa) / (nu + 1).
    virtual double degree() const = 0;
    virtual bool is_symmetric() const = 0;
    virtual BlockShape block_shape() const = 0;

    // ---- starting point
    // The central point s = z of unit complementarity (non-symmetric cones
    // start there; symmetric ones use it for their shift).
    virtual void unit_point(Vec s, Vec z) const = 0;
    // The largest t with v - t e in the cone (its smallest eigenvalue for a
    // symmetric cone); +infinity when any v is inside.
    virtual double unit_margin(CVec v) const = 0;
    // v + alpha e; on the primal side the zero cone sets its s to 0.
    virtual void shift_by_unit(Vec v, double alpha, bool primal) const = 0;

    // ---- scaling
    virtual void set_identity_scaling() = 0;
    // Returns false when s or z is not in the interior.
    virtual bool update_scaling(CVec s, CVec z, double mu) = 0;
    // The block's values in the order BlockShape describes.
    virtual void block_values(Vec out) const = 0;
    // out = H v
    virtual void mul_h(CVec v, Vec out) const = 0;
    // Whether the cone offers its scaling's inverse, out = W^-1 v or
    // W^-T v, with H = W'W (a dense block with a cheap inverse, which the
    // KKT system may then eliminate analytically), and the Gram matrix
    // G'H^-1 G of k sparse columns of G over the cone's rows (column q has
    // the entries row[t], val[t] for t in [ptr[q], ptr[q+1])): its upper
    // triangle by columns, k(k+1)/2 values.
    virtual bool has_inverse_block() const { return false; }
    virtual void mul_w_inverse(CVec, Vec, bool /*transpose*/) const {}
    virtual void inverse_gram(const std::vector<int64_t>& /*ptr*/, const std::vector<int64_t>& /*row*/,
                              const std::vector<double>& /*val*/, std::vector<double>& /*upper*/) const {}

    // ---- right-hand sides of the complementarity rows
    // Affine (predictor) step: lambda o lambda for symmetric cones, s otherwise.
    virtual void affine_ds(CVec s, CVec z, Vec ds) const = 0;
    // Combined step: ds = affine_ds + shift, with the higher-order term of
    // the affine step (dz_aff, ds_aff) and the centring term sigma mu.
    virtual void combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift) = 0;
    // The offset o of ds = -H dz - o that a right-hand side ds gives.
    virtual void ds_offset(CVec ds, CVec z, Vec out) = 0;

    // ---- steps and centrality
    // The largest alpha <= alpha_max with s + alpha ds in K and z + alpha dz in K*.
    virtual double max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const = 0;
    // f(s) + f*(z), the barrier of the cone and of its dual; on the central
    // path (s, z) = sqrt(mu) (e, e) it is -degree log mu.  Non-symmetric cones
    // need it to keep their steps near the central path.
    virtual double barrier(CVec s, CVec z) const = 0;
    // The largest excess of that barrier over its value on the central path
    // (for the same mu) at which the cone's scaling still gives good
    // directions: primal-dual scalings follow the path from far, a dual
    // scaling only from close by.
    virtual double neighbourhood() const { return std::numeric_limits<double>::infinity(); }

private:
    int64_t dim_;
};

}  // namespace vlt::solve::ipm
