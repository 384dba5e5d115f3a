// The non-negative orthant R+^d: componentwise s >= 0, z >= 0.  The scaling
// is diagonal, H = diag(s / z), and the Jordan product is componentwise.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "solve/ipm/cones/cone.hpp"

namespace vlt::solve::ipm {

class NonnegativeCone final : public Cone {
public:
    explicit NonnegativeCone(int64_t dim) : Cone(dim), h_(size_t(dim), 1.0) {}
    static constexpr int64_t kMinDim = 0;

    double degree() const override { return double(dim()); }
    bool is_symmetric() const override { return true; }
    BlockShape block_shape() const override { return {BlockShape::Kind::diagonal, {}, {}}; }

    void unit_point(Vec s, Vec z) const override {
        std::fill(s.begin(), s.end(), 1.0);
        std::fill(z.begin(), z.end(), 1.0);
    }
    double unit_margin(CVec v) const override {
        double m = std::numeric_limits<double>::infinity();
        for (double t : v) m = std::min(m, t);
        return m;
    }
    void shift_by_unit(Vec v, double alpha, bool) const override {
        for (double& t : v) t += alpha;
    }

    void set_identity_scaling() override { std::fill(h_.begin(), h_.end(), 1.0); }
    bool update_scaling(CVec s, CVec z, double) override {
        for (size_t i = 0; i < h_.size(); ++i) {
            if (!(s[i] > 0.0) || !(z[i] > 0.0)) return false;
            h_[i] = s[i] / z[i];
        }
        return true;
    }
    void block_values(Vec out) const override { std::copy(h_.begin(), h_.end(), out.begin()); }
    void mul_h(CVec v, Vec out) const override {
        for (size_t i = 0; i < h_.size(); ++i) out[i] = h_[i] * v[i];
    }
    // The diagonal of H, for callers that eliminate these rows themselves.
    const std::vector<double>& scaling() const { return h_; }

    void affine_ds(CVec s, CVec z, Vec ds) const override {
        for (size_t i = 0; i < h_.size(); ++i) ds[i] = s[i] * z[i];
    }
    void combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift) override {
        for (size_t i = 0; i < h_.size(); ++i) shift[i] = ds_aff[i] * dz_aff[i] - sigma_mu;
    }
    void ds_offset(CVec ds, CVec z, Vec out) override {
        for (size_t i = 0; i < h_.size(); ++i) out[i] = ds[i] / z[i];
    }

    double max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const override {
        double a = alpha_max;
        for (size_t i = 0; i < h_.size(); ++i) {
            if (ds[i] < 0.0) a = std::min(a, -s[i] / ds[i]);
            if (dz[i] < 0.0) a = std::min(a, -z[i] / dz[i]);
        }
        return a;
    }
    double barrier(CVec s, CVec z) const override {
        double b = 0.0;
        for (size_t i = 0; i < h_.size(); ++i) b -= std::log(s[i] * z[i]);
        return b;
    }

private:
    std::vector<double> h_;  // s / z
};

}  // namespace vlt::solve::ipm
