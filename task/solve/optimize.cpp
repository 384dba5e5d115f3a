// Optimization, analysis and remote solving.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

const PyMethodDef rows[] = {
    Method<"optimizetrm__1", VLT_optimizetrm, T, Ret<int32_t>>::def(),
    Method<"optimizermt_ss_3", VLT_optimizermt, T, Str<"address">, Str<"accesstoken">, Ret<int32_t>>::def(),
    Method<"asyncoptimize_ssO_3", VLT_asyncoptimize, T, Str<"address">, Str<"accesstoken">,
           FixedText<"token", VLT_TOKEN_LEN + 1>>::def(),
    Method<"asyncpoll_sss_4", VLT_asyncpoll, T, Str<"address">, Str<"accesstoken">, Str<"token">, Ret<int32_t>,
           Ret<int32_t>, Ret<int32_t>>::def(),
    Method<"asyncgetresult_sss_4", VLT_asyncgetresult, T, Str<"address">, Str<"accesstoken">, Str<"token">,
           Ret<int32_t>, Ret<int32_t>, Ret<int32_t>>::def(),
    Method<"asyncstop_sss_4", VLT_asyncstop, T, Str<"address">, Str<"accesstoken">, Str<"token">>::def(),
    Method<"putoptserverhost_s_2", VLT_putoptserverhost, T, Str<"host">>::def(),
    Method<"toconic__1", VLT_toconic, T>::def(),
    Method<"commitchanges__1", VLT_commitchanges, T>::def(),
    Method<"analyzeproblem_i_2", VLT_analyzeproblem, T, I32<"whichstream">>::def(),
    Method<"analyzenames_ii_3", VLT_analyzenames, T, I32<"whichstream">, I32<"nametype">>::def(),
    Method<"analyzesolution_ii_3", VLT_analyzesolution, T, I32<"whichstream">, I32<"whichsol">>::def(),
    Method<"solutionsummary_i_2", VLT_solutionsummary, T, I32<"whichstream">>::def(),
    Method<"onesolutionsummary_ii_3", VLT_onesolutionsummary, T, I32<"whichstream">, I32<"whichsol">>::def(),
    Method<"optimizersummary_i_2", VLT_optimizersummary, T, I32<"whichstream">>::def(),
    Method<"updatesolutioninfo_i_2", VLT_updatesolutioninfo, T, I32<"whichsol">>::def(),
    Method<"checkmemtask_si_3", VLT_checkmemtask, T, Str<"file">, I32<"line">>::def(),
    Method<"getmemusagetask__1", VLT_getmemusagetask, T, Ret<int64_t>, Ret<int64_t>>::def(),
};

}  // namespace

MethodList task_optimize_methods() { return methods_of(rows); }

}  // namespace vlt::py
