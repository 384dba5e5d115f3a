#include "model/bounds.hpp"

#include <cmath>

namespace vlt::model {

int32_t key_from_finite_sides(double lower, double upper) {
    bool lo = std::isfinite(lower), up = std::isfinite(upper);
    if (lo && up) return lower == upper ? VLT_BK_FX : VLT_BK_RA;
    if (lo) return VLT_BK_LO;
    if (up) return VLT_BK_UP;
    return VLT_BK_FR;
}

void BoundSet::reserve(int32_t n) {
    key_.reserve(n);
    lower_.reserve(n);
    upper_.reserve(n);
}

void BoundSet::append(int32_t count) { resize(size() + count); }

void BoundSet::resize(int32_t n) {
    // Reserve all three first so that a failed allocation changes nothing.
    if (n > size()) reserve(n);
    key_.resize(n, default_key_);
    lower_.resize(n, default_lower_);
    upper_.resize(n, default_upper_);
}

void BoundSet::put(int32_t i, int32_t key, double lower, double upper) {
    switch (key) {
        case VLT_BK_LO: upper = kInf; break;
        case VLT_BK_UP: lower = -kInf; break;
        case VLT_BK_FR: lower = -kInf; upper = kInf; break;
        case VLT_BK_FX: upper = lower; break;
        default: break;  // ranged: both as given
    }
    key_[i] = key;
    lower_[i] = lower;
    upper_[i] = upper;
}

void BoundSet::change(int32_t i, bool lower_side, double value) {
    double lower = lower_side ? value : lower_[i];
    double upper = lower_side ? upper_[i] : value;
    // A fixed bound whose one side moves becomes ranged (or fixed again at
    // the new value when both sides agree).
    key_[i] = key_from_finite_sides(lower, upper);
    lower_[i] = lower;
    upper_[i] = upper;
}

void BoundSet::compact(const std::vector<char>& keep) {
    size_t w = 0;
    for (size_t r = 0; r < key_.size(); ++r) {
        if (!keep[r]) continue;
        key_[w] = key_[r];
        lower_[w] = lower_[r];
        upper_[w] = upper_[r];
        ++w;
    }
    key_.resize(w);
    lower_.resize(w);
    upper_.resize(w);
}

size_t BoundSet::memory_bytes() const {
    return key_.capacity() * sizeof(int32_t) + (lower_.capacity() + upper_.capacity()) * sizeof(double);
}

}  // namespace vlt::model
