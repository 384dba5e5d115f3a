// The quality of a solution: violations of chosen items, summary figures,
// norms, reduced costs, and the duals and activities of the affine conic
// constraints.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;
using Sol = I32<"sol">;

// A violation getter: the index list (width W, its count passed with width
// W) and viol, one double per listed index, as a view or a bytearray.
template <Text Name, auto Fn, class W, Text List>
using ViolView = Method<Name, Fn, T, Sol, CountOf<W, List>, In<W, List>, Out<double, "viol", PassedCount<W, List>>>;
template <Text Name, auto Fn, class W, Text List>
using ViolBytes =
    Method<Name, Fn, T, Sol, CountOf<W, List>, In<W, List>, OutBytes<double, "viol", PassedCount<W, List>>>;

using AccLength = Query<VLT_getaccn, int64_t, QHandle, QArg<"accidx">>;
using AccTotal = Query<VLT_getaccntot, int64_t, QHandle>;
using Items = Slice<"first", "last">;
using D = Ret<double>;

const PyMethodDef rows[] = {
    // Violations: views (_4), bytearrays (_3).
    ViolView<"getpviolcon_iOO_4", VLT_getpviolcon, int32_t, "sub">::def(),
    ViolBytes<"getpviolcon_iOO_3", VLT_getpviolcon, int32_t, "sub">::def(),
    ViolView<"getpviolvar_iOO_4", VLT_getpviolvar, int32_t, "sub">::def(),
    ViolBytes<"getpviolvar_iOO_3", VLT_getpviolvar, int32_t, "sub">::def(),
    ViolView<"getpviolbarvar_iOO_4", VLT_getpviolbarvar, int32_t, "sub">::def(),
    ViolBytes<"getpviolbarvar_iOO_3", VLT_getpviolbarvar, int32_t, "sub">::def(),
    ViolView<"getpviolcones_iOO_4", VLT_getpviolcones, int32_t, "sub">::def(),
    ViolBytes<"getpviolcones_iOO_3", VLT_getpviolcones, int32_t, "sub">::def(),
    ViolView<"getpviolacc_iOO_4", VLT_getpviolacc, int64_t, "accidxlist">::def(),
    ViolBytes<"getpviolacc_iOO_3", VLT_getpviolacc, int64_t, "accidxlist">::def(),
    ViolView<"getpvioldjc_iOO_4", VLT_getpvioldjc, int64_t, "djcidxlist">::def(),
    ViolBytes<"getpvioldjc_iOO_3", VLT_getpvioldjc, int64_t, "djcidxlist">::def(),
    ViolView<"getdviolcon_iOO_4", VLT_getdviolcon, int32_t, "sub">::def(),
    ViolBytes<"getdviolcon_iOO_3", VLT_getdviolcon, int32_t, "sub">::def(),
    ViolView<"getdviolvar_iOO_4", VLT_getdviolvar, int32_t, "sub">::def(),
    ViolBytes<"getdviolvar_iOO_3", VLT_getdviolvar, int32_t, "sub">::def(),
    ViolView<"getdviolbarvar_iOO_4", VLT_getdviolbarvar, int32_t, "sub">::def(),
    ViolBytes<"getdviolbarvar_iOO_3", VLT_getdviolbarvar, int32_t, "sub">::def(),
    ViolView<"getdviolcones_iOO_4", VLT_getdviolcones, int32_t, "sub">::def(),
    ViolBytes<"getdviolcones_iOO_3", VLT_getdviolcones, int32_t, "sub">::def(),
    ViolView<"getdviolacc_iOO_4", VLT_getdviolacc, int64_t, "accidxlist">::def(),
    ViolBytes<"getdviolacc_iOO_3", VLT_getdviolacc, int64_t, "accidxlist">::def(),

    // Affine conic constraints: duals (read and written) and activities.
    Method<"getaccdoty_iLO_4", VLT_getaccdoty, T, Sol, I64<"accidx">, Out<double, "doty", AccLength>>::def(),
    Method<"getaccdoty_iLO_3", VLT_getaccdoty, T, Sol, I64<"accidx">, OutBytes<double, "doty", AccLength>>::def(),
    Method<"getaccdotys_iO_3", VLT_getaccdotys, T, Sol, Out<double, "doty", AccTotal>>::def(),
    Method<"getaccdotys_iO_2", VLT_getaccdotys, T, Sol, OutBytes<double, "doty", AccTotal>>::def(),
    Method<"evaluateacc_iLO_4", VLT_evaluateacc, T, Sol, I64<"accidx">, Out<double, "activity", AccLength>>::def(),
    Method<"evaluateacc_iLO_3", VLT_evaluateacc, T, Sol, I64<"accidx">,
           OutBytes<double, "activity", AccLength>>::def(),
    Method<"evaluateaccs_iO_3", VLT_evaluateaccs, T, Sol, Out<double, "activity", AccTotal>>::def(),
    Method<"evaluateaccs_iO_2", VLT_evaluateaccs, T, Sol, OutBytes<double, "activity", AccTotal>>::def(),
    Method<"putaccdoty_iLO_4", VLT_putaccdoty, T, Sol, I64<"accidx">, CountedIn<double, "doty", AccLength>>::def(),
    // The bytearray carries the values to write; it is resized to the dimension first.
    Method<"putaccdoty_iLO_3", VLT_putaccdoty, T, Sol, I64<"accidx">, OutBytes<double, "doty", AccLength>>::def(),

    // Reduced costs of a slice of variables.
    Method<"getreducedcosts_iiiO_5", VLT_getreducedcosts, T, Sol, I32<"first">, I32<"last">,
           Out<double, "redcosts", Items>>::def(),
    Method<"getreducedcosts_iiiO_4", VLT_getreducedcosts, T, Sol, I32<"first">, I32<"last">,
           OutBytes<double, "redcosts", Items>>::def(),

    // Summary figures and norms.
    Method<"getsolutioninfo_i_2", VLT_getsolutioninfo, T, Sol, D, D, D, D, D, D, D, D, D, D, D>::def(),
    Method<"getsolutioninfonew_i_2", VLT_getsolutioninfonew, T, Sol, D, D, D, D, D, D, D, D, D, D, D, D, D, D>::def(),
    Method<"getprimalsolutionnorms_i_2", VLT_getprimalsolutionnorms, T, Sol, D, D, D>::def(),
    Method<"getdualsolutionnorms_i_2", VLT_getdualsolutionnorms, T, Sol, D, D, D, D, D, D, D>::def(),
};

}  // namespace

MethodList task_solution_quality_methods() { return methods_of(rows); }

}  // namespace vlt::py
