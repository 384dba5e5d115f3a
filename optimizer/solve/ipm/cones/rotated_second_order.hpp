// The rotated second-order cone {(u, v, w) : 2 u v >= ||w||^2, u, v >= 0}.
//
// It is the image of the second-order cone under the orthogonal symmetric
// map T (a, b, w) = ((a + b) / sqrt2, (a - b) / sqrt2, w), T = T' = T^-1;
// every operation is the second-order cone's, carried over by T: its
// scaling is T W T, its block T H T, its identity T e = (1, 1, 0, ...) / sqrt2.
// In the expanded form T D T couples the first two rows, which the block
// lists as its one entry off the diagonal.
#pragma once

#include <cmath>
#include <vector>

#include "solve/ipm/cones/second_order.hpp"

namespace vlt::solve::ipm {

class RotatedSecondOrderCone final : public Cone {
public:
    static constexpr int64_t kMinDim = 2;

    explicit RotatedSecondOrderCone(int64_t dim)
        : Cone(dim), soc_(dim), a_(size_t(dim)), b_(size_t(dim)), c_(size_t(dim)), d_(size_t(dim)) {}

    double degree() const override { return 1.0; }
    bool is_symmetric() const override { return true; }
    BlockShape block_shape() const override {
        BlockShape shape = soc_.block_shape();
        if (shape.kind == BlockShape::Kind::diagonal) shape.off_diagonal = {{0, 1}};
        return shape;
    }

    void unit_point(Vec s, Vec z) const override {
        soc_.unit_point(s, z);
        rotate(s);
        rotate(z);
    }
    double unit_margin(CVec v) const override { return soc_.unit_margin(rotated(v, a_)); }
    void shift_by_unit(Vec v, double alpha, bool) const override {
        v[0] += alpha * kHalfSqrt2;
        v[1] += alpha * kHalfSqrt2;
    }

    void set_identity_scaling() override { soc_.set_identity_scaling(); }
    bool update_scaling(CVec s, CVec z, double mu) override {
        return soc_.update_scaling(rotated(s, a_), rotated(z, b_), mu);
    }
    void block_values(Vec out) const override {
        const int64_t d = dim();
        if (soc_.block_shape().kind == BlockShape::Kind::dense) {
            soc_.dense_h(full_);
            for (int64_t j = 0; j < d; ++j) rotate_pair(full_[size_t(j)], full_[size_t(d + j)]);  // T H
            for (int64_t i = 0; i < d; ++i) rotate_pair(full_[size_t(i * d)], full_[size_t(i * d + 1)]);  // (T H) T
            size_t q = 0;
            for (int64_t l = 0; l < d; ++l)
                for (int64_t k = 0; k <= l; ++k) out[q++] = full_[size_t(k * d + l)];
            return;
        }
        // The second-order cone's values: diagonal (d), then two extra
        // columns (d entries and a pivot each).  T diag(h0, h1, ...) T has
        // (h0 + h1) / 2 on both first diagonal entries and (h0 - h1) / 2
        // between them; the columns' entries are mapped by T.
        std::vector<double>& inner = full_;
        inner.assign(size_t(soc_.block_shape().value_count(d)), 0.0);
        soc_.block_values(inner);
        const double h0 = inner[0], h1 = inner[1];
        std::copy(inner.begin(), inner.begin() + d, out.begin());
        out[0] = out[1] = 0.5 * (h0 + h1);
        out[size_t(d)] = 0.5 * (h0 - h1);
        for (int64_t c = 0; c < 2; ++c) {
            const size_t from = size_t(d + c * (d + 1)), to = from + 1;
            std::copy(inner.begin() + std::ptrdiff_t(from), inner.begin() + std::ptrdiff_t(from + size_t(d) + 1),
                      out.begin() + std::ptrdiff_t(to));
            rotate_pair(out[to], out[to + 1]);
        }
    }
    void mul_h(CVec v, Vec out) const override {
        soc_.mul_h(rotated(v, a_), out);
        rotate(out);
    }

    void affine_ds(CVec s, CVec z, Vec ds) const override {
        soc_.affine_ds(s, z, ds);  // from the scaling only
        rotate(ds);
    }
    void combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift) override {
        soc_.combined_ds_shift(rotated(dz_aff, a_), rotated(ds_aff, b_), sigma_mu, shift);
        rotate(shift);
    }
    void ds_offset(CVec ds, CVec z, Vec out) override {
        soc_.ds_offset(rotated(ds, a_), rotated(z, b_), out);
        rotate(out);
    }

    double max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const override {
        return soc_.max_step(rotated(s, a_), rotated(ds, b_), rotated(z, c_), rotated(dz, d_), alpha_max);
    }
    double barrier(CVec s, CVec z) const override { return soc_.barrier(rotated(s, a_), rotated(z, b_)); }

private:
    static constexpr double kHalfSqrt2 = 0.70710678118654752440;
    static void rotate_pair(double& a, double& b) {
        const double p = kHalfSqrt2 * (a + b), m = kHalfSqrt2 * (a - b);
        a = p;
        b = m;
    }
    static void rotate(Vec v) { rotate_pair(v[0], v[1]); }
    // T v in the given work vector.
    static CVec rotated(CVec v, std::vector<double>& work) {
        std::copy(v.begin(), v.end(), work.begin());
        rotate(work);
        return work;
    }

    SecondOrderCone soc_;
    mutable std::vector<double> a_, b_, c_, d_, full_;
};

}  // namespace vlt::solve::ipm
