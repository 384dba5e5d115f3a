// The product cone K = K_1 x ... x K_k of the interior-point method: the
// solver and the KKT system see the cones only through this class, which
// applies each operation cone by cone on the cone's slice of the vectors.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "solve/ipm/cones/cone.hpp"

namespace vlt::solve::ipm {

// A cone of the problem: its domain (VLT_DOMAIN_RZERO, VLT_DOMAIN_RPLUS,
// VLT_DOMAIN_QUADRATIC_CONE, ...), its rows [start, start + dim) and the
// parameters some domains take.
struct ConeRows {
    int32_t domain = 0;
    int64_t start = 0;
    int64_t dim = 0;
    std::vector<double> parameters;
};

// Whether the interior-point method has a cone for the domain.
bool has_cone(int32_t domain);
// An empty string when a cone of the domain takes `dim` rows and these
// parameters, else what is wrong with them.
std::string check_cone(int32_t domain, int64_t dim, const std::vector<double>& parameters);

class CompositeCone {
public:
    // The cones must cover consecutive rows from 0 and name supported domains.
    explicit CompositeCone(const std::vector<ConeRows>& cones);

    size_t count() const { return cones_.size(); }
    const Cone& cone(size_t k) const { return *cones_[k]; }
    int64_t start(size_t k) const { return starts_[k]; }
    int64_t dim() const { return dim_; }
    double degree() const { return degree_; }
    bool is_symmetric() const { return symmetric_; }
    // The narrowest neighbourhood of the central path a cone asks for.
    double neighbourhood() const { return neighbourhood_; }
    // Number of values of all blocks, in cone order.
    int64_t block_value_count() const { return value_count_; }
    // The number of values of cone k's block.
    int64_t block_value_count(size_t k) const { return value_counts_[k]; }

    void unit_point(Vec s, Vec z) const;
    double unit_margin(CVec v) const;
    void shift_by_unit(Vec v, double alpha, bool primal) const;

    void set_identity_scaling();
    bool update_scaling(CVec s, CVec z, double mu);
    void block_values(Vec out) const;
    void mul_h(CVec v, Vec out) const;

    void affine_ds(CVec s, CVec z, Vec ds) const;
    void combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift);
    void ds_offset(CVec ds, CVec z, Vec out);

    double max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const;
    double barrier(CVec s, CVec z) const;

private:
    template <class V>
    V slice(V v, size_t k) const {
        return v.subspan(size_t(starts_[k]), size_t(cones_[k]->dim()));
    }

    std::vector<std::unique_ptr<Cone>> cones_;
    std::vector<int64_t> starts_, value_starts_, value_counts_;
    int64_t dim_ = 0, value_count_ = 0;
    double degree_ = 0.0;
    bool symmetric_ = true;
    double neighbourhood_ = std::numeric_limits<double>::infinity();
};

}  // namespace vlt::solve::ipm
