// The non-symmetric cones (exponential, power, geometric mean) of the
// interior-point method.
//
// Each is described by a logarithmically homogeneous self-concordant barrier
// g of its dual cone K* in closed form (DualBarrier); the barrier of K itself
// is the conjugate f = g*, known only through its gradient: -grad f(s) is the
// u in int K* with -grad g(u) = s (conjugate_point), and f(s) = -nu - g(u).
// The central path is s = -mu grad g(z).
//
// Scaling.  With s~ = -grad g(z), z~ = -grad f(s), mu = s'z / nu and
// mu~ = s~'z~ / nu (mu mu~ >= 1, equality on the central path), the block
//   H = s s' / s'z + ds ds' / ds'dz + mu P (hess g(z) - s~ s~'/nu - r r'/d2) P
// with ds = s - mu s~, dz = z - mu z~, r = hess g(z) z~ - mu~ s~,
// d2 = z~' hess g(z) z~ - nu mu~^2 and P the projection onto the orthogonal
// complement of {z, z~}, is positive definite and satisfies H z = s and
// H z~ = s~: the primal-dual scaling of the published non-symmetric methods
// (a rank-four update of mu hess g(z)).  Close to the central path, where
// the update degenerates, the dual scaling H = mu hess g(z) is used.
//
// Right-hand sides.  The affine step aims at s + ds = -H dz - s; the combined
// step at the centred point with the second-order term of the path,
//   ds + H dz = -(s + sigma mu grad g(z) + eta),
//   eta = -1/2 D^3 g(z)[dz_a, hess g(z)^-1 ds_a],
// from the affine step (dz_a, ds_a).
//
// A cone may be a linear image of the cone its barrier describes: with an
// invertible map A that has one non-zero per row (ConeMap), s is in the cone
// when A s is in K, z in its dual when A^-T z is in K*, and H = A^-1 H' A^-T.
// The dual exponential and dual power cones are such images of the primal
// ones.
//
// Small cones enter the KKT system as dense blocks.  A cone of more than
// kDenseLimit members whose barrier has a Hessian of the form
// diag(d) + a a' - b b' (the power and geometric-mean cones) keeps the
// system sparse instead: it uses the dual scaling H = mu hess g(z) in that
// form, one diagonal and two extra columns, and solves with the Hessian by
// the Sherman-Morrison-Woodbury formula, so that its cost grows linearly
// with its size.  For the extra columns to keep the system quasi-definite,
// D - b b' must be positive definite: a hyperbolic rotation of (a, b),
// which leaves a a' - b b' unchanged, makes b' D^-1 b as small as it can be,
// which is below 1 exactly when the Hessian is positive definite.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "solve/ipm/cones/cone.hpp"

namespace vlt::solve::ipm {

// A logarithmically homogeneous self-concordant barrier g of a dual cone K*
// (of dimension dim and degree nu) in closed form, with what the method needs
// of it and of its conjugate.  Dense matrices are row-major dim x dim.
class DualBarrier {
public:
    DualBarrier(int64_t dim, double degree) : dim_(dim), degree_(degree) {}
    virtual ~DualBarrier() = default;
    int64_t dim() const { return dim_; }
    double degree() const { return degree_; }

    virtual bool in_primal_interior(const double* x) const = 0;
    virtual bool in_dual_interior(const double* u) const = 0;
    virtual double value(const double* u) const = 0;
    virtual void gradient(const double* u, double* out) const = 0;
    virtual void hessian(const double* u, double* out) const = 0;
    // D^3 g(u)[a, b], a vector.
    virtual void third_order(const double* u, const double* a, const double* b, double* out) const = 0;
    // hess g(u) = diag(d) + a a' - b b' (each of dim values); false when the
    // barrier has no such form.
    virtual bool structured_hessian(const double*, double*, double*, double*) const { return false; }
    // For x in int K, the u in int K* with -grad g(u) = x; false when it
    // cannot be found to full precision.
    virtual bool conjugate_point(const double* x, double* u) const = 0;
    // The point e = -grad g(e), in int K and int K*.
    virtual void central_point(double* e) const = 0;

private:
    int64_t dim_;
    double degree_;
};

// Barriers of the form g(u) = -log psi(u) - sum_k c_k log(sign_k u_{i_k}):
// the cone gives psi and its derivatives, the rest is here.
class PsiBarrier : public DualBarrier {
public:
    struct LogTerm {
        int64_t index;
        double coefficient, sign;
    };
    PsiBarrier(int64_t dim, double degree, std::vector<LogTerm> log_terms);

    double value(const double* u) const override;
    void gradient(const double* u, double* out) const override;
    void hessian(const double* u, double* out) const override;
    void third_order(const double* u, const double* a, const double* b, double* out) const override;

protected:
    virtual double psi(const double* u) const = 0;
    virtual void psi_gradient(const double* u, double* out) const = 0;
    virtual void psi_hessian(const double* u, double* out) const = 0;
    virtual void psi_third_order(const double* u, const double* a, const double* b, double* out) const = 0;
    // out = hess psi(u) v; by default through the dense Hessian.
    virtual void psi_hessian_product(const double* u, const double* v, double* out) const;

private:
    std::vector<LogTerm> log_terms_;
    mutable std::vector<double> grad_, hess_, ha_, hb_;  // hess_ only when the default product needs it
};

// s'_i = scale_i s_{from_i}: a signed, scaled permutation (identity when empty).
struct ConeMap {
    std::vector<int64_t> from;
    std::vector<double> scale;
    bool identity() const { return from.empty(); }
};

class NonsymmetricCone : public Cone {
public:
    NonsymmetricCone(std::unique_ptr<DualBarrier> barrier, ConeMap map);

    double degree() const override { return barrier_->degree(); }
    bool is_symmetric() const override { return false; }
    BlockShape block_shape() const override;

    void unit_point(Vec s, Vec z) const override;
    // With respect to the primal cone.
    double unit_margin(CVec v) const override;
    void shift_by_unit(Vec v, double alpha, bool primal) const override;

    void set_identity_scaling() override;
    bool update_scaling(CVec s, CVec z, double mu) override;
    void block_values(Vec out) const override;
    void mul_h(CVec v, Vec out) const override;

    void affine_ds(CVec s, CVec z, Vec ds) const override;
    void combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift) override;
    void ds_offset(CVec ds, CVec z, Vec out) override;

    // Within 1% below the boundary.  Steps are searched up to kLongestStep:
    // the method never takes more than a whole step.
    double max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const override;
    double barrier(CVec s, CVec z) const override;
    // The dual scaling of the expanded form needs a narrow neighbourhood
    // (an excess of 1); the primal-dual scaling does not.
    double neighbourhood() const override {
        return expanded_ ? 1.0 : std::numeric_limits<double>::infinity();
    }

    static constexpr double kLongestStep = 2.0;
    // Cones up to this size put a dense block into the system.
    static constexpr int64_t kDenseLimit = 16;
    bool expanded() const { return expanded_; }
    // Whether the last update used the primal-dual scaling (else the dual one).
    bool primal_dual_scaled() const { return primal_dual_; }

private:
    // The cone's coordinates to the barrier's and back.
    void to_primal(const double* s, double* out) const;    // A s
    void to_dual(const double* z, double* out) const;      // A^-T z
    void from_primal(const double* s, double* out) const;  // A^-1 s
    void from_dual(const double* z, double* out) const;    // A^T z
    bool interior(const double* s_mapped, const double* z_mapped) const;
    void use_dual_scaling(double mu);
    bool use_primal_dual_scaling(const double* s, const double* z, double mu);
    // The expanded form (see the header): the scaling, and x <- hess^-1 x.
    bool use_expanded_scaling(const double* z, double mu);
    bool expanded_hessian_solve(double* x) const;

    std::unique_ptr<DualBarrier> barrier_;
    ConeMap map_;
    std::vector<double> e_;             // central point, barrier's coordinates
    std::vector<double> h_;             // H in the cone's coordinates (dense)
    std::vector<double> grad_, hess_;   // of g at the mapped z
    std::vector<double> chol_;          // Cholesky factor of hess
    bool corrector_ = false;            // whether chol_ (expanded: the Woodbury terms) can solve with it
    bool expanded_ = false;
    // Expanded form: hess g(z) = diag(hd_) + ha_ ha_' - hb_ hb_' in the
    // barrier's coordinates; H = diag(d_) + a_ a_' - b_ b_' (rotated) in the
    // cone's; rho_ the magnitude of the extra columns' pivots; cap_ the
    // inverse of the 2 x 2 Woodbury capacitance matrix.
    std::vector<double> hd_, ha_, hb_, d_, a_, b_;
    double rho_ = 1.0;
    double cap_[4] = {0.0, 0.0, 0.0, 0.0};
    bool primal_dual_ = false;
    // Scratch space, allocated once: vectors of dim (w*, t*) and matrices (wm_, check_).
    mutable std::vector<double> w1_, w2_, w3_, w4_, w5_, wm_;
    mutable std::vector<double> t1_, t2_, t3_, t4_, t5_, t6_, t7_, t8_, check_;
};

// Dense helpers for small symmetric positive definite matrices (row-major).
namespace dense {
// The lower Cholesky factor in place; false when the matrix is not positive definite.
bool cholesky(std::vector<double>& a, int64_t n);
// Solves L L' x = b in place.
void cholesky_solve(const std::vector<double>& l, int64_t n, double* b);
}  // namespace dense

}  // namespace vlt::solve::ipm
