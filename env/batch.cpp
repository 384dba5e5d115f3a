// Env methods: several tasks optimized in one library call.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using Tasks = ListCount<"task">;

const PyMethodDef batch_rows[] = {
    Method<"optimizebatch_idiOOO_7", VLT_optimizebatch, EnvHandle, I32<"israce">, F64<"maxtime">, I32<"numthreads">,
           TaskList<"task">, KeyOut<"trmcode", Tasks>, KeyOut<"rcode", Tasks>>::def(),
    Method<"optimizebatch_idiOOO_5", VLT_optimizebatch, EnvHandle, I32<"israce">, F64<"maxtime">, I32<"numthreads">,
           TaskList<"task">, KeyOutBytes<"trmcode", Tasks>, KeyOutBytes<"rcode", Tasks>>::def(),
};

}  // namespace

MethodList env_batch_methods() { return methods_of(batch_rows); }

}  // namespace vlt::py
