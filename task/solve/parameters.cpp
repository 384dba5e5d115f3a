// Parameters and information items: setting parameters by code, by name and
// from text, reading them by code, names to codes, counts, defaults, the
// information items, and the texts of cone types and status keys.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

// A text parameter's value: its length is asked once, the bytearray is sized
// to length + 1 and that size goes to the library as the capacity, with the
// output length between the capacity and the buffer.
using StrParamLength = SizeQuery<VLT_getstrparamlen, int32_t, QHandle, QArg<"param">>;
struct LengthWithNul {
    template <class F> static bool get(F& f, int64_t& n) {
        n = f.shared[0] + 1;
        return true;
    }
};

const PyMethodDef rows[] = {
    // Setting parameters.
    Method<"putintparam_ii_3", VLT_putintparam, T, I32<"param">, I32<"parvalue">>::def(),
    Method<"putdouparam_id_3", VLT_putdouparam, T, I32<"param">, F64<"parvalue">>::def(),
    Method<"putstrparam_is_3", VLT_putstrparam, T, I32<"param">, Str<"parvalue">>::def(),
    Method<"putnaintparam_si_3", VLT_putnaintparam, T, Str<"paramname">, I32<"parvalue">>::def(),
    Method<"putnadouparam_sd_3", VLT_putnadouparam, T, Str<"paramname">, F64<"parvalue">>::def(),
    Method<"putnastrparam_ss_3", VLT_putnastrparam, T, Str<"paramname">, Str<"parvalue">>::def(),
    Method<"putparam_ss_3", VLT_putparam, T, Str<"parname">, Str<"parvalue">>::def(),
    Method<"setdefaults__1", VLT_setdefaults, T>::def(),

    // Reading parameters and information items.
    Method<"getintparam_i_2", VLT_getintparam, T, I32<"param">, Ret<int32_t>>::def(),
    Method<"getdouparam_i_2", VLT_getdouparam, T, I32<"param">, Ret<double>>::def(),
    Method<"getstrparamlen_i_2", VLT_getstrparamlen, T, I32<"param">, Ret<int32_t>>::def(),
    Method<"getstrparam_iO_2", VLT_getstrparam, T, StrParamLength, I32<"param">, Count<int32_t, LengthWithNul>,
           Ret<int32_t>, TextBytes<"parvalue", Queried<0>, false, 1>>::def(),
    Method<"getnumparam_i_2", VLT_getnumparam, T, I32<"partype">, Ret<int32_t>>::def(),
    Method<"getintinf_i_2", VLT_getintinf, T, I32<"item">, Ret<int32_t>>::def(),
    Method<"getlintinf_i_2", VLT_getlintinf, T, I32<"item">, Ret<int64_t>>::def(),
    Method<"getdouinf_i_2", VLT_getdouinf, T, I32<"item">, Ret<double>>::def(),

    // Names and codes.
    Method<"isintparname_s_2", VLT_isintparname, T, Str<"parname">, Ret<int32_t>>::def(),
    Method<"isdouparname_s_2", VLT_isdouparname, T, Str<"parname">, Ret<int32_t>>::def(),
    Method<"isstrparname_s_2", VLT_isstrparname, T, Str<"parname">, Ret<int32_t>>::def(),
    Method<"strtoconetype_s_2", VLT_strtoconetype, T, Str<"str">, Ret<int32_t>>::def(),
    Method<"strtosk_s_2", VLT_strtosk, T, Str<"str">, Ret<int32_t>>::def(),
};

}  // namespace

MethodList task_parameter_methods() { return methods_of(rows); }

}  // namespace vlt::py
