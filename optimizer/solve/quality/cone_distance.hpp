// How far a point lies from a domain of an affine conic constraint or a cone
// on variables, and which domain is the dual of a domain.
//
// The violation is zero exactly on the domain.  For the linear domains, the
// (rotated) quadratic cones and the semidefinite cone it is the Euclidean
// distance to the domain.  For the exponential, power and geometric-mean
// cones, whose projections have no closed form, it is the larger of the
// amounts by which the members that must be non-negative are negative and by
// which the cone's defining inequality fails, each written so that it scales
// with the point (homogeneous of degree one), like a distance.
#pragma once

#include <cstdint>

namespace vlt::solve {

// A domain as the violation measure needs it: its kind (VLT_DOMAIN_*), and
// for the power cones the weights of the leading nleft members (normalized
// here, so they need not add up to one).
struct DomainShape {
    int32_t kind = 0;
    const double* alpha = nullptr;
    int64_t nleft = 0;
};

// The violation of the n values v with respect to the domain.
double domain_violation(const DomainShape& domain, const double* v, int64_t n);

// The kind of the dual domain (the power cones keep their weights).
int32_t dual_domain_kind(int32_t kind);

}  // namespace vlt::solve
