// The method tables of Env and Task, in table order: each family source
// contributes its rows through one function.
#pragma once

#include <vector>

#include "module/objects.hpp"

namespace vlt::py {

std::vector<MethodList> env_method_lists();
std::vector<MethodList> task_method_lists();

// Env families.
MethodList env_stream_methods();      // set_Stream, remove_Stream, enablegarcolenv
MethodList env_batch_methods();       // optimizebatch
MethodList env_service_methods();     // echointro, getcodedesc, getversion, linkfiletoenvstream
MethodList env_linalg_methods();      // axpy, dot, gemv, gemm, syrk, sparse Cholesky, potrf, syeig, syevd
MethodList env_dispose_methods();     // dispose

// Task families.
MethodList task_sizes_bounds_methods();
MethodList task_linear_methods();
MethodList task_quadratic_methods();
MethodList task_cone_methods();       // cones on variables
MethodList task_semidefinite_methods();  // semidefinite variables, symmetric matrices, barC, barA
MethodList task_affine_methods();
MethodList task_conic_methods();
MethodList task_disjunctive_methods();
MethodList task_names_methods();
MethodList task_solution_methods();
MethodList task_parameter_methods();
MethodList task_solution_quality_methods();
MethodList task_basis_sensitivity_methods();
MethodList task_optimize_methods();
MethodList task_file_methods();
MethodList task_plain_methods();      // set_/remove_ methods, writedatastream, getlasterror, dispose

}  // namespace vlt::py
