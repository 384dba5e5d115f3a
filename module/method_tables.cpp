#include "module/method_tables.hpp"

namespace vlt::py {

std::vector<MethodList> env_method_lists() {
    return {env_stream_methods(), env_batch_methods(), env_service_methods(), env_linalg_methods(),
            env_dispose_methods()};
}

std::vector<MethodList> task_method_lists() {
    return {task_sizes_bounds_methods(), task_linear_methods(), task_quadratic_methods(), task_cone_methods(),
            task_semidefinite_methods(), task_affine_methods(),
            task_conic_methods(), task_disjunctive_methods(), task_names_methods(),
            task_optimize_methods(), task_solution_methods(), task_parameter_methods(),
            task_solution_quality_methods(), task_basis_sensitivity_methods(),
            task_file_methods(), task_plain_methods()};
}

}  // namespace vlt::py
