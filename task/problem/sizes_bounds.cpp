// Rows and columns: sizes, capacities, bounds and variable types.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

const PyMethodDef rows[] = {
    Method<"appendcons_i_2", VLT_appendcons, T, I32<"num">>::def(),
    Method<"getnumcon__1", VLT_getnumcon, T, Ret<int32_t>>::def(),
};

}  // namespace

MethodList task_sizes_bounds_methods() { return methods_of(rows); }

}  // namespace vlt::py
