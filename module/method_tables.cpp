#include "module/method_tables.hpp"

namespace vlt::py {

std::vector<MethodList> env_method_lists() {
    return {env_stream_methods(), env_service_methods(), env_dispose_methods()};
}

std::vector<MethodList> task_method_lists() {
    return {task_core_methods(), task_sizes_bounds_methods(), task_linear_methods(), task_plain_methods()};
}

}  // namespace vlt::py
