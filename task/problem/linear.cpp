// The linear constraint matrix and the objective.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

const PyMethodDef rows[] = {
    Method<"putarow_iOO_4", VLT_putarow, T, I32<"i">, GroupCount<int32_t, "subi,vali">, In<int32_t, "subi">,
           In<double, "vali">>::def(),
    Method<"getarowslice64_iiOOOO_7", VLT_getarowslice64, T, SizeQuery<VLT_getarowslicenumnz64, int64_t, QHandle, QArg<"first">, QArg<"last">>,
           I32<"first">, I32<"last">, Count<int64_t, Queried<>>, Out<int64_t, "ptrb", Slice<"first", "last">>,
           Out<int64_t, "ptre", Slice<"first", "last">>, Out<int32_t, "sub", Queried<>>, Out<double, "val", Queried<>>>::def(),
};

}  // namespace

MethodList task_linear_methods() { return methods_of(rows); }

}  // namespace vlt::py
