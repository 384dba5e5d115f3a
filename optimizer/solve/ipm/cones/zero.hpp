// The zero cone {0}: its rows are equations, s stays 0 and z is free.
#pragma once

#include <algorithm>
#include <limits>

#include "solve/ipm/cones/cone.hpp"

namespace vlt::solve::ipm {

class ZeroCone final : public Cone {
public:
    using Cone::Cone;
    static constexpr int64_t kMinDim = 0;

    double degree() const override { return 0.0; }
    bool is_symmetric() const override { return true; }
    BlockShape block_shape() const override { return {BlockShape::Kind::equations, {}, {}}; }

    void unit_point(Vec s, Vec z) const override {
        std::fill(s.begin(), s.end(), 0.0);
        std::fill(z.begin(), z.end(), 0.0);
    }
    double unit_margin(CVec) const override { return std::numeric_limits<double>::infinity(); }
    void shift_by_unit(Vec v, double, bool primal) const override {
        if (primal) std::fill(v.begin(), v.end(), 0.0);
    }

    void set_identity_scaling() override {}
    bool update_scaling(CVec, CVec, double) override { return true; }
    void block_values(Vec) const override {}
    void mul_h(CVec, Vec out) const override { std::fill(out.begin(), out.end(), 0.0); }

    void affine_ds(CVec, CVec, Vec ds) const override { std::fill(ds.begin(), ds.end(), 0.0); }
    void combined_ds_shift(CVec, CVec, double, Vec shift) override { std::fill(shift.begin(), shift.end(), 0.0); }
    void ds_offset(CVec, CVec, Vec out) override { std::fill(out.begin(), out.end(), 0.0); }

    double max_step(CVec, CVec, CVec, CVec, double alpha_max) const override { return alpha_max; }
    double barrier(CVec, CVec) const override { return 0.0; }
};

}  // namespace vlt::solve::ipm
