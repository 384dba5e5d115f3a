// The values of a task's solutions: status keys, levels and duals of
// constraints and variables, semidefinite values, whole solutions, single
// items, statuses and objective values.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;
using Sol = I32<"sol">;
using Items = Slice<"first", "last">;

// Each array asks for its own count right before it is checked.
using Cons = Query<VLT_getnumcon, int32_t, QHandle>;
using Vars = Query<VLT_getnumvar, int32_t, QHandle>;
using Cones = Query<VLT_getnumcone, int32_t, QHandle>;
using AccTotal = Query<VLT_getaccntot, int64_t, QHandle>;
using BarvarLength = Query<VLT_getlenbarvarj, int64_t, QHandle, QArg<"j">>;
using SliceSize = ArgValue<"slicesize">;

const PyMethodDef rows[] = {
    // Whole vectors: views (_3), bytearrays (_2).
    Method<"getskc_iO_3", VLT_getskc, T, Sol, KeyOut<"skc", Cons>>::def(),
    Method<"getskc_iO_2", VLT_getskc, T, Sol, KeyOutBytes<"skc", Cons>>::def(),
    Method<"getskx_iO_3", VLT_getskx, T, Sol, KeyOut<"skx", Vars>>::def(),
    Method<"getskx_iO_2", VLT_getskx, T, Sol, KeyOutBytes<"skx", Vars>>::def(),
    Method<"getskn_iO_3", VLT_getskn, T, Sol, KeyOut<"skn", Cones>>::def(),
    Method<"getskn_iO_2", VLT_getskn, T, Sol, KeyOutBytes<"skn", Cones>>::def(),
    Method<"getxc_iO_3", VLT_getxc, T, Sol, Out<double, "xc", Cons>>::def(),
    Method<"getxc_iO_2", VLT_getxc, T, Sol, OutBytes<double, "xc", Cons>>::def(),
    Method<"getxx_iO_3", VLT_getxx, T, Sol, Out<double, "xx", Vars>>::def(),
    Method<"getxx_iO_2", VLT_getxx, T, Sol, OutBytes<double, "xx", Vars>>::def(),
    Method<"gety_iO_3", VLT_gety, T, Sol, Out<double, "y", Cons>>::def(),
    Method<"gety_iO_2", VLT_gety, T, Sol, OutBytes<double, "y", Cons>>::def(),
    Method<"getslc_iO_3", VLT_getslc, T, Sol, Out<double, "slc", Cons>>::def(),
    Method<"getslc_iO_2", VLT_getslc, T, Sol, OutBytes<double, "slc", Cons>>::def(),
    Method<"getsuc_iO_3", VLT_getsuc, T, Sol, Out<double, "suc", Cons>>::def(),
    Method<"getsuc_iO_2", VLT_getsuc, T, Sol, OutBytes<double, "suc", Cons>>::def(),
    Method<"getslx_iO_3", VLT_getslx, T, Sol, Out<double, "slx", Vars>>::def(),
    Method<"getslx_iO_2", VLT_getslx, T, Sol, OutBytes<double, "slx", Vars>>::def(),
    Method<"getsux_iO_3", VLT_getsux, T, Sol, Out<double, "sux", Vars>>::def(),
    Method<"getsux_iO_2", VLT_getsux, T, Sol, OutBytes<double, "sux", Vars>>::def(),
    Method<"getsnx_iO_3", VLT_getsnx, T, Sol, Out<double, "snx", Vars>>::def(),
    Method<"getsnx_iO_2", VLT_getsnx, T, Sol, OutBytes<double, "snx", Vars>>::def(),

    // Slices: the count is last - first.
    Method<"getskcslice_iiiO_5", VLT_getskcslice, T, Sol, I32<"first">, I32<"last">, KeyOut<"skc", Items>>::def(),
    Method<"getskcslice_iiiO_4", VLT_getskcslice, T, Sol, I32<"first">, I32<"last">,
           KeyOutBytes<"skc", Items>>::def(),
    Method<"getskxslice_iiiO_5", VLT_getskxslice, T, Sol, I32<"first">, I32<"last">, KeyOut<"skx", Items>>::def(),
    Method<"getskxslice_iiiO_4", VLT_getskxslice, T, Sol, I32<"first">, I32<"last">,
           KeyOutBytes<"skx", Items>>::def(),
    Method<"getxcslice_iiiO_5", VLT_getxcslice, T, Sol, I32<"first">, I32<"last">,
           Out<double, "xc", Items>>::def(),
    Method<"getxcslice_iiiO_4", VLT_getxcslice, T, Sol, I32<"first">, I32<"last">,
           OutBytes<double, "xc", Items>>::def(),
    Method<"getxxslice_iiiO_5", VLT_getxxslice, T, Sol, I32<"first">, I32<"last">,
           Out<double, "xx", Items>>::def(),
    Method<"getxxslice_iiiO_4", VLT_getxxslice, T, Sol, I32<"first">, I32<"last">,
           OutBytes<double, "xx", Items>>::def(),
    Method<"getyslice_iiiO_5", VLT_getyslice, T, Sol, I32<"first">, I32<"last">,
           Out<double, "y", Items>>::def(),
    Method<"getyslice_iiiO_4", VLT_getyslice, T, Sol, I32<"first">, I32<"last">,
           OutBytes<double, "y", Items>>::def(),
    Method<"getslcslice_iiiO_5", VLT_getslcslice, T, Sol, I32<"first">, I32<"last">,
           Out<double, "slc", Items>>::def(),
    Method<"getslcslice_iiiO_4", VLT_getslcslice, T, Sol, I32<"first">, I32<"last">,
           OutBytes<double, "slc", Items>>::def(),
    Method<"getsucslice_iiiO_5", VLT_getsucslice, T, Sol, I32<"first">, I32<"last">,
           Out<double, "suc", Items>>::def(),
    Method<"getsucslice_iiiO_4", VLT_getsucslice, T, Sol, I32<"first">, I32<"last">,
           OutBytes<double, "suc", Items>>::def(),
    Method<"getslxslice_iiiO_5", VLT_getslxslice, T, Sol, I32<"first">, I32<"last">,
           Out<double, "slx", Items>>::def(),
    Method<"getslxslice_iiiO_4", VLT_getslxslice, T, Sol, I32<"first">, I32<"last">,
           OutBytes<double, "slx", Items>>::def(),
    Method<"getsuxslice_iiiO_5", VLT_getsuxslice, T, Sol, I32<"first">, I32<"last">,
           Out<double, "sux", Items>>::def(),
    Method<"getsuxslice_iiiO_4", VLT_getsuxslice, T, Sol, I32<"first">, I32<"last">,
           OutBytes<double, "sux", Items>>::def(),
    Method<"getsnxslice_iiiO_5", VLT_getsnxslice, T, Sol, I32<"first">, I32<"last">,
           Out<double, "snx", Items>>::def(),
    Method<"getsnxslice_iiiO_4", VLT_getsnxslice, T, Sol, I32<"first">, I32<"last">,
           OutBytes<double, "snx", Items>>::def(),

    // Putting whole vectors; putxc_iO_2 takes its values in a bytearray.
    Method<"putskc_iO_3", VLT_putskc, T, Sol, KeyIn<"skc", Cons>>::def(),
    Method<"putskx_iO_3", VLT_putskx, T, Sol, KeyIn<"skx", Vars>>::def(),
    Method<"putxc_iO_3", VLT_putxc, T, Sol, CountedIn<double, "xc", Cons>>::def(),
    Method<"putxx_iO_3", VLT_putxx, T, Sol, CountedIn<double, "xx", Vars>>::def(),
    Method<"puty_iO_3", VLT_puty, T, Sol, CountedIn<double, "y", Cons>>::def(),
    Method<"putslc_iO_3", VLT_putslc, T, Sol, CountedIn<double, "slc", Cons>>::def(),
    Method<"putsuc_iO_3", VLT_putsuc, T, Sol, CountedIn<double, "suc", Cons>>::def(),
    Method<"putslx_iO_3", VLT_putslx, T, Sol, CountedIn<double, "slx", Vars>>::def(),
    Method<"putsux_iO_3", VLT_putsux, T, Sol, CountedIn<double, "sux", Vars>>::def(),
    Method<"putsnx_iO_3", VLT_putsnx, T, Sol, CountedIn<double, "snx", Vars>>::def(),
    Method<"putxc_iO_2", VLT_putxc, T, Sol, OutBytes<double, "xc", Cons>>::def(),

    // Putting slices.
    Method<"putskcslice_iiiO_5", VLT_putskcslice, T, Sol, I32<"first">, I32<"last">, KeyIn<"skc", Items>>::def(),
    Method<"putskxslice_iiiO_5", VLT_putskxslice, T, Sol, I32<"first">, I32<"last">, KeyIn<"skx", Items>>::def(),
    Method<"putxcslice_iiiO_5", VLT_putxcslice, T, Sol, I32<"first">, I32<"last">,
           CountedIn<double, "xc", Items>>::def(),
    Method<"putxxslice_iiiO_5", VLT_putxxslice, T, Sol, I32<"first">, I32<"last">,
           CountedIn<double, "xx", Items>>::def(),
    Method<"putyslice_iiiO_5", VLT_putyslice, T, Sol, I32<"first">, I32<"last">,
           CountedIn<double, "y", Items>>::def(),
    Method<"putslcslice_iiiO_5", VLT_putslcslice, T, Sol, I32<"first">, I32<"last">,
           CountedIn<double, "slc", Items>>::def(),
    Method<"putsucslice_iiiO_5", VLT_putsucslice, T, Sol, I32<"first">, I32<"last">,
           CountedIn<double, "suc", Items>>::def(),
    Method<"putslxslice_iiiO_5", VLT_putslxslice, T, Sol, I32<"first">, I32<"last">,
           CountedIn<double, "slx", Items>>::def(),
    Method<"putsuxslice_iiiO_5", VLT_putsuxslice, T, Sol, I32<"first">, I32<"last">,
           CountedIn<double, "sux", Items>>::def(),
    Method<"putsnxslice_iiiO_5", VLT_putsnxslice, T, Sol, I32<"first">, I32<"last">,
           CountedIn<double, "snx", Items>>::def(),

    // Semidefinite variables: one variable (lenbarvarj values), a slice (slicesize values).
    Method<"getbarxj_iiO_4", VLT_getbarxj, T, Sol, I32<"j">, Out<double, "barxj", BarvarLength>>::def(),
    Method<"getbarxj_iiO_3", VLT_getbarxj, T, Sol, I32<"j">, OutBytes<double, "barxj", BarvarLength>>::def(),
    Method<"getbarsj_iiO_4", VLT_getbarsj, T, Sol, I32<"j">, Out<double, "barsj", BarvarLength>>::def(),
    Method<"getbarsj_iiO_3", VLT_getbarsj, T, Sol, I32<"j">, OutBytes<double, "barsj", BarvarLength>>::def(),
    Method<"putbarxj_iiO_4", VLT_putbarxj, T, Sol, I32<"j">, CountedIn<double, "barxj", BarvarLength>>::def(),
    Method<"putbarsj_iiO_4", VLT_putbarsj, T, Sol, I32<"j">, CountedIn<double, "barsj", BarvarLength>>::def(),
    Method<"getbarxslice_iiiLO_6", VLT_getbarxslice, T, Sol, I32<"first">, I32<"last">, I64<"slicesize">,
           Out<double, "barxslice", SliceSize>>::def(),
    Method<"getbarxslice_iiiLO_5", VLT_getbarxslice, T, Sol, I32<"first">, I32<"last">, I64<"slicesize">,
           OutBytes<double, "barxslice", SliceSize>>::def(),
    Method<"getbarsslice_iiiLO_6", VLT_getbarsslice, T, Sol, I32<"first">, I32<"last">, I64<"slicesize">,
           Out<double, "barsslice", SliceSize>>::def(),
    Method<"getbarsslice_iiiLO_5", VLT_getbarsslice, T, Sol, I32<"first">, I32<"last">, I64<"slicesize">,
           OutBytes<double, "barsslice", SliceSize>>::def(),

    // Whole solutions: the views and bytearrays of the getters are sized one by one, in
    // argument order; each view of the putters is None or holds at least its count, which
    // the library reads (a shorter one would let it read past the caller's buffer).
    Method<"getsolution_iOOOOOOOOOOO_13", VLT_getsolution, T, Sol, Ret<int32_t>, Ret<int32_t>, KeyOut<"skc", Cons>, KeyOut<"skx", Vars>, KeyOut<"skn", Cones>,
           Out<double, "xc", Cons>, Out<double, "xx", Vars>, Out<double, "y", Cons>, Out<double, "slc", Cons>, Out<double, "suc", Cons>, Out<double, "slx", Vars>, Out<double, "sux", Vars>, Out<double, "snx", Vars>>::def(),
    Method<"getsolution_iOOOOOOOOOOO_2", VLT_getsolution, T, Sol, Ret<int32_t>, Ret<int32_t>, KeyOutBytes<"skc", Cons>, KeyOutBytes<"skx", Vars>, KeyOutBytes<"skn", Cones>,
           OutBytes<double, "xc", Cons>, OutBytes<double, "xx", Vars>, OutBytes<double, "y", Cons>, OutBytes<double, "slc", Cons>, OutBytes<double, "suc", Cons>, OutBytes<double, "slx", Vars>, OutBytes<double, "sux", Vars>, OutBytes<double, "snx", Vars>>::def(),
    Method<"getsolutionnew_iOOOOOOOOOOOO_14", VLT_getsolutionnew, T, Sol, Ret<int32_t>, Ret<int32_t>, KeyOut<"skc", Cons>, KeyOut<"skx", Vars>, KeyOut<"skn", Cones>,
           Out<double, "xc", Cons>, Out<double, "xx", Vars>, Out<double, "y", Cons>, Out<double, "slc", Cons>, Out<double, "suc", Cons>, Out<double, "slx", Vars>, Out<double, "sux", Vars>, Out<double, "snx", Vars>, Out<double, "doty", AccTotal>>::def(),
    Method<"getsolutionnew_iOOOOOOOOOOOO_2", VLT_getsolutionnew, T, Sol, Ret<int32_t>, Ret<int32_t>, KeyOutBytes<"skc", Cons>, KeyOutBytes<"skx", Vars>, KeyOutBytes<"skn", Cones>,
           OutBytes<double, "xc", Cons>, OutBytes<double, "xx", Vars>, OutBytes<double, "y", Cons>, OutBytes<double, "slc", Cons>, OutBytes<double, "suc", Cons>, OutBytes<double, "slx", Vars>, OutBytes<double, "sux", Vars>, OutBytes<double, "snx", Vars>, OutBytes<double, "doty", AccTotal>>::def(),
    Method<"putsolution_iOOOOOOOOOOO_13", VLT_putsolution, T, Sol, KeyListAtLeast<"skc", Cons>, KeyListAtLeast<"skx", Vars>, KeyListAtLeast<"skn", Cones>,
           InAtLeast<double, "xc", Cons>, InAtLeast<double, "xx", Vars>, InAtLeast<double, "y", Cons>, InAtLeast<double, "slc", Cons>, InAtLeast<double, "suc", Cons>, InAtLeast<double, "slx", Vars>, InAtLeast<double, "sux", Vars>, InAtLeast<double, "snx", Vars>>::def(),
    Method<"putsolutionnew_iOOOOOOOOOOOO_14", VLT_putsolutionnew, T, Sol, KeyListAtLeast<"skc", Cons>, KeyListAtLeast<"skx", Vars>, KeyListAtLeast<"skn", Cones>,
           InAtLeast<double, "xc", Cons>, InAtLeast<double, "xx", Vars>, InAtLeast<double, "y", Cons>, InAtLeast<double, "slc", Cons>, InAtLeast<double, "suc", Cons>, InAtLeast<double, "slx", Vars>, InAtLeast<double, "sux", Vars>, InAtLeast<double, "snx", Vars>, InAtLeast<double, "doty", AccTotal>>::def(),
    Method<"getsolutionslice_iiiiO_6", VLT_getsolutionslice, T, Sol, I32<"item">, I32<"first">, I32<"last">,
           Out<double, "values", Items>>::def(),
    Method<"getsolutionslice_iiiiO_5", VLT_getsolutionslice, T, Sol, I32<"item">, I32<"first">, I32<"last">,
           OutBytes<double, "values", Items>>::def(),

    // Single items and scalars.
    Method<"putconsolutioni_iiiddd_7", VLT_putconsolutioni, T, I32<"i">, Sol, I32<"sk">, F64<"x">, F64<"sl">,
           F64<"su">>::def(),
    Method<"putvarsolutionj_iiidddd_8", VLT_putvarsolutionj, T, I32<"j">, Sol, I32<"sk">, F64<"x">, F64<"sl">,
           F64<"su">, F64<"sn">>::def(),
    Method<"putsolutionyi_iid_4", VLT_putsolutionyi, T, I32<"i">, Sol, F64<"y">>::def(),
    Method<"getsolsta_i_2", VLT_getsolsta, T, Sol, Ret<int32_t>>::def(),
    Method<"getprosta_i_2", VLT_getprosta, T, Sol, Ret<int32_t>>::def(),
    Method<"solutiondef_i_2", VLT_solutiondef, T, Sol, Ret<int32_t>>::def(),
    Method<"getprimalobj_i_2", VLT_getprimalobj, T, Sol, Ret<double>>::def(),
    Method<"getdualobj_i_2", VLT_getdualobj, T, Sol, Ret<double>>::def(),
    Method<"deletesolution_i_2", VLT_deletesolution, T, Sol>::def(),
};

}  // namespace

MethodList task_solution_methods() { return methods_of(rows); }

}  // namespace vlt::py
