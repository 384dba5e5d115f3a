#include "solve/ipm/cones/composite.hpp"

#include <algorithm>
#include <limits>

#include "base/error.hpp"
#include "solve/ipm/cones/exponential.hpp"
#include "solve/ipm/cones/geometric_mean.hpp"
#include "solve/ipm/cones/nonnegative.hpp"
#include "solve/ipm/cones/power.hpp"
#include "solve/ipm/cones/psd.hpp"
#include "solve/ipm/cones/rotated_second_order.hpp"
#include "solve/ipm/cones/second_order.hpp"
#include "solve/ipm/cones/zero.hpp"

namespace vlt::solve::ipm {
namespace {

// The factory: one line per cone.  `check` says what is wrong with a
// number of rows and parameters, or nothing.
struct ConeEntry {
    int32_t domain;
    std::unique_ptr<Cone> (*make)(const ConeRows&);
    std::string (*check)(int64_t dim, const std::vector<double>& parameters);
};

template <class C>
constexpr ConeEntry entry(int32_t domain) {
    return {domain, [](const ConeRows& s) -> std::unique_ptr<Cone> { return std::make_unique<C>(s.dim); },
            [](int64_t dim, const std::vector<double>& parameters) -> std::string {
                if (!parameters.empty()) return "a cone of this domain takes no parameters";
                if (dim < C::kMinDim)
                    return "a cone of this domain needs at least " + std::to_string(C::kMinDim) + " row" +
                           (C::kMinDim == 1 ? "" : "s");
                return {};
            }};
}

constexpr ConeEntry kCones[] = {
    entry<ZeroCone>(VLT_DOMAIN_RZERO),
    entry<NonnegativeCone>(VLT_DOMAIN_RPLUS),
    entry<SecondOrderCone>(VLT_DOMAIN_QUADRATIC_CONE),
    entry<RotatedSecondOrderCone>(VLT_DOMAIN_RQUADRATIC_CONE),
    entry<PsdCone>(VLT_DOMAIN_SVEC_PSD_CONE),
    {VLT_DOMAIN_PRIMAL_EXP_CONE, make_exponential_cone, check_exponential_cone},
    {VLT_DOMAIN_DUAL_EXP_CONE, make_dual_exponential_cone, check_exponential_cone},
    {VLT_DOMAIN_PRIMAL_POWER_CONE, make_power_cone, check_power_cone},
    {VLT_DOMAIN_DUAL_POWER_CONE, make_dual_power_cone, check_power_cone},
    {VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE, make_geometric_mean_cone, check_geometric_mean_cone},
    {VLT_DOMAIN_DUAL_GEO_MEAN_CONE, make_dual_geometric_mean_cone, check_geometric_mean_cone},
};

const ConeEntry* find(int32_t domain) {
    for (const auto& e : kCones)
        if (e.domain == domain) return &e;
    return nullptr;
}

}  // namespace

bool has_cone(int32_t domain) { return find(domain) != nullptr; }

std::string check_cone(int32_t domain, int64_t dim, const std::vector<double>& parameters) {
    const ConeEntry* e = find(domain);
    if (e == nullptr) return "the interior-point optimizer has no cone of domain " + std::to_string(domain);
    return e->check(dim, parameters);
}

CompositeCone::CompositeCone(const std::vector<ConeRows>& cones) {
    for (const auto& s : cones) {
        const ConeEntry* e = find(s.domain);
        if (e == nullptr || s.start != dim_ || !e->check(s.dim, s.parameters).empty())
            fail(VLT_RES_ERR_INTERNAL, "the cones of the conic form are out of order or unsupported");
        cones_.push_back(e->make(s));
        const Cone& c = *cones_.back();
        starts_.push_back(dim_);
        value_starts_.push_back(value_count_);
        value_counts_.push_back(c.block_shape().value_count(c.dim()));
        dim_ += c.dim();
        value_count_ += value_counts_.back();
        degree_ += c.degree();
        symmetric_ = symmetric_ && c.is_symmetric();
        neighbourhood_ = std::min(neighbourhood_, c.neighbourhood());
    }
}

void CompositeCone::unit_point(Vec s, Vec z) const {
    for (size_t k = 0; k < cones_.size(); ++k) cones_[k]->unit_point(slice(s, k), slice(z, k));
}

double CompositeCone::unit_margin(CVec v) const {
    double m = std::numeric_limits<double>::infinity();
    for (size_t k = 0; k < cones_.size(); ++k) m = std::min(m, cones_[k]->unit_margin(slice(v, k)));
    return m;
}

void CompositeCone::shift_by_unit(Vec v, double alpha, bool primal) const {
    for (size_t k = 0; k < cones_.size(); ++k) cones_[k]->shift_by_unit(slice(v, k), alpha, primal);
}

void CompositeCone::set_identity_scaling() {
    for (auto& c : cones_) c->set_identity_scaling();
}

bool CompositeCone::update_scaling(CVec s, CVec z, double mu) {
    for (size_t k = 0; k < cones_.size(); ++k)
        if (!cones_[k]->update_scaling(slice(s, k), slice(z, k), mu)) return false;
    return true;
}

void CompositeCone::block_values(Vec out) const {
    for (size_t k = 0; k < cones_.size(); ++k)
        cones_[k]->block_values(out.subspan(size_t(value_starts_[k]), size_t(value_counts_[k])));
}

void CompositeCone::mul_h(CVec v, Vec out) const {
    for (size_t k = 0; k < cones_.size(); ++k) cones_[k]->mul_h(slice(v, k), slice(out, k));
}

void CompositeCone::affine_ds(CVec s, CVec z, Vec ds) const {
    for (size_t k = 0; k < cones_.size(); ++k) cones_[k]->affine_ds(slice(s, k), slice(z, k), slice(ds, k));
}

void CompositeCone::combined_ds_shift(CVec dz_aff, CVec ds_aff, double sigma_mu, Vec shift) {
    for (size_t k = 0; k < cones_.size(); ++k)
        cones_[k]->combined_ds_shift(slice(dz_aff, k), slice(ds_aff, k), sigma_mu, slice(shift, k));
}

void CompositeCone::ds_offset(CVec ds, CVec z, Vec out) {
    for (size_t k = 0; k < cones_.size(); ++k) cones_[k]->ds_offset(slice(ds, k), slice(z, k), slice(out, k));
}

double CompositeCone::max_step(CVec s, CVec ds, CVec z, CVec dz, double alpha_max) const {
    double a = alpha_max;
    for (size_t k = 0; k < cones_.size(); ++k)
        a = cones_[k]->max_step(slice(s, k), slice(ds, k), slice(z, k), slice(dz, k), a);
    return a;
}

double CompositeCone::barrier(CVec s, CVec z) const {
    double b = 0.0;
    for (size_t k = 0; k < cones_.size(); ++k) b += cones_[k]->barrier(slice(s, k), slice(z, k));
    return b;
}

}  // namespace vlt::solve::ipm
