#include "solve/ipm/cones/geometric_mean.hpp"

#include "solve/ipm/cones/power.hpp"

namespace vlt::solve::ipm {

std::unique_ptr<Cone> make_geometric_mean_cone(const ConeRows& rows) {
    return make_power_cone(rows.dim, std::vector<double>(size_t(rows.dim - 1), 1.0), false);
}

std::unique_ptr<Cone> make_dual_geometric_mean_cone(const ConeRows& rows) {
    return make_power_cone(rows.dim, std::vector<double>(size_t(rows.dim - 1), 1.0), true);
}

std::string check_geometric_mean_cone(int64_t dim, const std::vector<double>& parameters) {
    if (dim < 2) return "a geometric-mean cone needs at least 2 rows";
    if (!parameters.empty()) return "a geometric-mean cone takes no parameters";
    return {};
}

}  // namespace vlt::solve::ipm
