// Rows and columns: sizes, capacities, bounds and variable types.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;
using Items = Slice<"first", "last">;

const PyMethodDef rows[] = {
    // Sizes, counts and capacities.
    Method<"appendcons_i_2", VLT_appendcons, T, I32<"num">>::def(),
    Method<"appendvars_i_2", VLT_appendvars, T, I32<"num">>::def(),
    Method<"removecons_O_2", VLT_removecons, T, CountOf<int32_t, "subset">, In<int32_t, "subset">>::def(),
    Method<"removevars_O_2", VLT_removevars, T, CountOf<int32_t, "subset">, In<int32_t, "subset">>::def(),
    Method<"putmaxnumcon_i_2", VLT_putmaxnumcon, T, I32<"maxnumcon">>::def(),
    Method<"putmaxnumvar_i_2", VLT_putmaxnumvar, T, I32<"maxnumvar">>::def(),
    Method<"getmaxnumcon__1", VLT_getmaxnumcon, T, Ret<int32_t>>::def(),
    Method<"getmaxnumvar__1", VLT_getmaxnumvar, T, Ret<int32_t>>::def(),
    Method<"getnumcon__1", VLT_getnumcon, T, Ret<int32_t>>::def(),
    Method<"getnumvar__1", VLT_getnumvar, T, Ret<int32_t>>::def(),
    Method<"getnumintvar__1", VLT_getnumintvar, T, Ret<int32_t>>::def(),
    Method<"resizetask_iiiLL_6", VLT_resizetask, T, I32<"maxnumcon">, I32<"maxnumvar">, I32<"maxnumcone">,
           I64<"maxnumanz">, I64<"maxnumqnz">>::def(),

    // Bounds of one item.
    Method<"putconbound_iidd_5", VLT_putconbound, T, I32<"i">, I32<"bk">, F64<"bl">, F64<"bu">>::def(),
    Method<"putvarbound_iidd_5", VLT_putvarbound, T, I32<"j">, I32<"bk">, F64<"bl">, F64<"bu">>::def(),
    Method<"chgconbound_iiid_5", VLT_chgconbound, T, I32<"i">, I32<"lower">, I32<"finite">, F64<"value">>::def(),
    Method<"chgvarbound_iiid_5", VLT_chgvarbound, T, I32<"j">, I32<"lower">, I32<"finite">, F64<"value">>::def(),
    Method<"getconbound_i_2", VLT_getconbound, T, I32<"i">, Ret<int32_t>, Ret<double>, Ret<double>>::def(),
    Method<"getvarbound_i_2", VLT_getvarbound, T, I32<"j">, Ret<int32_t>, Ret<double>, Ret<double>>::def(),

    // Bounds of a list of items.
    Method<"putconboundlist_OOOO_5", VLT_putconboundlist, T, GroupCount<int32_t, "sub,bkc,blc,buc">,
           In<int32_t, "sub">, KeyList<"bkc">, In<double, "blc">, In<double, "buc">>::def(),
    Method<"putvarboundlist_OOOO_5", VLT_putvarboundlist, T, GroupCount<int32_t, "sub,bkx,blx,bux">,
           In<int32_t, "sub">, KeyList<"bkx">, In<double, "blx">, In<double, "bux">>::def(),
    Method<"putconboundlistconst_Oidd_5", VLT_putconboundlistconst, T, CountOf<int32_t, "sub">, In<int32_t, "sub">,
           I32<"bk">, F64<"bl">, F64<"bu">>::def(),
    Method<"putvarboundlistconst_Oidd_5", VLT_putvarboundlistconst, T, CountOf<int32_t, "sub">, In<int32_t, "sub">,
           I32<"bk">, F64<"bl">, F64<"bu">>::def(),

    // Bounds of a slice.
    Method<"putconboundslice_iiOOO_6", VLT_putconboundslice, T, I32<"first">, I32<"last">, KeyIn<"bkc", Items>,
           CountedIn<double, "blc", Items>, CountedIn<double, "buc", Items>>::def(),
    Method<"putvarboundslice_iiOOO_6", VLT_putvarboundslice, T, I32<"first">, I32<"last">, KeyIn<"bkx", Items>,
           CountedIn<double, "blx", Items>, CountedIn<double, "bux", Items>>::def(),
    Method<"putconboundsliceconst_iiidd_6", VLT_putconboundsliceconst, T, I32<"first">, I32<"last">, I32<"bk">,
           F64<"bl">, F64<"bu">>::def(),
    Method<"putvarboundsliceconst_iiidd_6", VLT_putvarboundsliceconst, T, I32<"first">, I32<"last">, I32<"bk">,
           F64<"bl">, F64<"bu">>::def(),
    Method<"getconboundslice_iiOOO_6", VLT_getconboundslice, T, I32<"first">, I32<"last">, KeyOut<"bk", Items>,
           Out<double, "bl", Items>, Out<double, "bu", Items>>::def(),
    Method<"getconboundslice_iiOOO_3", VLT_getconboundslice, T, I32<"first">, I32<"last">, KeyOutBytes<"bk", Items>,
           OutBytes<double, "bl", Items>, OutBytes<double, "bu", Items>>::def(),
    Method<"getvarboundslice_iiOOO_6", VLT_getvarboundslice, T, I32<"first">, I32<"last">, KeyOut<"bk", Items>,
           Out<double, "bl", Items>, Out<double, "bu", Items>>::def(),
    Method<"getvarboundslice_iiOOO_3", VLT_getvarboundslice, T, I32<"first">, I32<"last">, KeyOutBytes<"bk", Items>,
           OutBytes<double, "bl", Items>, OutBytes<double, "bu", Items>>::def(),

    // Variable types.
    Method<"putvartype_ii_3", VLT_putvartype, T, I32<"j">, I32<"vartype">>::def(),
    Method<"getvartype_i_2", VLT_getvartype, T, I32<"j">, Ret<int32_t>>::def(),
    Method<"putvartypelist_OO_3", VLT_putvartypelist, T, GroupCount<int32_t, "subj,vartype">, In<int32_t, "subj">,
           KeyList<"vartype">>::def(),
    Method<"getvartypelist_OO_3", VLT_getvartypelist, T, CountOf<int32_t, "subj">, In<int32_t, "subj">,
           KeyOut<"vartype", SameAs<"subj">>>::def(),
    Method<"getvartypelist_OO_2", VLT_getvartypelist, T, CountOf<int32_t, "subj">, In<int32_t, "subj">,
           KeyOutBytes<"vartype", SameAs<"subj">>>::def(),
};

}  // namespace

MethodList task_sizes_bounds_methods() { return methods_of(rows); }

}  // namespace vlt::py
