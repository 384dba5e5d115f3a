// Task methods about the task itself: memory and its message files.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

const PyMethodDef rows[] = {
    Method<"checkmemtask_si_3", VLT_checkmemtask, T, Str<"file">, I32<"line">>::def(),
    Method<"getmemusagetask__1", VLT_getmemusagetask, T, Ret<int64_t>, Ret<int64_t>>::def(),
    Method<"linkfiletotaskstream_isi_4", VLT_linkfiletotaskstream, T, I32<"whichstream">, Str<"filename">,
           I32<"append">>::def(),
};

}  // namespace

MethodList task_core_methods() { return methods_of(rows); }

}  // namespace vlt::py
