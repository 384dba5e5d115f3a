// Bounds and bound keys of a set of items (the rows or the columns of a task).
//
// Stored as three parallel arrays so that slice reads and writes are plain
// copies.  The side of a bound that its key leaves out is stored as an
// infinity (-inf below, +inf above), and a fixed bound stores its value on
// both sides, so that every stored (key, lower, upper) triple is consistent.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "velto.h"

namespace vlt::model {

inline constexpr double kInf = std::numeric_limits<double>::infinity();

inline bool is_bound_key(int32_t key) { return key >= VLT_BK_LO && key <= VLT_BK_RA; }
// Whether a key has a lower side (lo, fx, ra) / an upper side (up, fx, ra).
inline bool has_lower(int32_t key) { return key == VLT_BK_LO || key == VLT_BK_FX || key == VLT_BK_RA; }
inline bool has_upper(int32_t key) { return key == VLT_BK_UP || key == VLT_BK_FX || key == VLT_BK_RA; }

// The key that says which of the two values are finite (fixed when both are
// finite and equal).
int32_t key_from_finite_sides(double lower, double upper);

class BoundSet {
public:
    BoundSet() = default;
    BoundSet(int32_t default_key, double default_lower, double default_upper)
        : default_key_(default_key), default_lower_(default_lower), default_upper_(default_upper) {}

    int32_t size() const { return static_cast<int32_t>(key_.size()); }
    void reserve(int32_t n);
    void append(int32_t count);  // new items get the default bound
    void resize(int32_t n);      // truncates or appends defaults

    int32_t key(int32_t i) const { return key_[i]; }
    double lower(int32_t i) const { return lower_[i]; }
    double upper(int32_t i) const { return upper_[i]; }

    // Preconditions: valid index and key, no NaN.
    void put(int32_t i, int32_t key, double lower, double upper);
    // Changes one side; the key then follows from which sides are finite.
    void change(int32_t i, bool lower_side, double value);

    // Keeps the items whose keep[i] is true, in order.
    void compact(const std::vector<char>& keep);

    size_t memory_bytes() const;
    const std::vector<int32_t>& keys() const { return key_; }
    const std::vector<double>& lowers() const { return lower_; }
    const std::vector<double>& uppers() const { return upper_; }

private:
    int32_t default_key_ = VLT_BK_FR;
    double default_lower_ = -kInf;
    double default_upper_ = kInf;
    std::vector<int32_t> key_;
    std::vector<double> lower_, upper_;
};

}  // namespace vlt::model
