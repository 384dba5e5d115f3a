// Affine expressions: the rows of F, of barF and the constants g.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;
using GSlice = Slice<"first", "last">;

// Size queries.  Those of a row of F, of all of F and of a row of barF are
// asked anew before each array; a row of barF reports two counts, its
// entries (for barvaridx, ptrterm, numterm) and its terms (for termidx,
// termweight).  The block triplets are counted once for all five arrays.
using RowNonzeros = Query<VLT_getafefrownumnz, int32_t, QHandle, QArg<"afeidx">>;
using AllNonzeros = Query<VLT_getafefnumnz, int64_t, QHandle>;
using BarfRowEntries = QueryPart<0, VLT_getafebarfrowinfo, int32_t, int64_t, QHandle, QArg<"afeidx">>;
using BarfRowTerms = QueryPart<1, VLT_getafebarfrowinfo, int32_t, int64_t, QHandle, QArg<"afeidx">>;
using BlockTriplets = SizeQuery<VLT_getafebarfnumblocktriplets, int64_t, QHandle>;
using Trip = Queried<>;

const PyMethodDef rows[] = {
    // Sizes.
    Method<"putmaxnumafe_L_2", VLT_putmaxnumafe, T, I64<"maxnumafe">>::def(),
    Method<"getnumafe__1", VLT_getnumafe, T, Ret<int64_t>>::def(),
    Method<"appendafes_L_2", VLT_appendafes, T, I64<"num">>::def(),

    // Putting and clearing F.
    Method<"putafefentry_Lid_4", VLT_putafefentry, T, I64<"afeidx">, I32<"varidx">, F64<"value">>::def(),
    Method<"putafefentrylist_OOO_4", VLT_putafefentrylist, T, GroupCount<int64_t, "afeidx,varidx,val">,
           In<int64_t, "afeidx">, In<int32_t, "varidx">, In<double, "val">>::def(),
    Method<"putafefrow_LOO_4", VLT_putafefrow, T, I64<"afeidx">, GroupCount<int32_t, "varidx,val">,
           In<int32_t, "varidx">, In<double, "val">>::def(),
    Method<"putafefrowlist_OOOOO_6", VLT_putafefrowlist, T, GroupCount<int64_t, "afeidx,numnzrow,ptrrow">,
           In<int64_t, "afeidx">, In<int32_t, "numnzrow">, In<int64_t, "ptrrow">, GroupCount<int64_t, "varidx,val">,
           In<int32_t, "varidx">, In<double, "val">>::def(),
    Method<"putafefcol_iOO_4", VLT_putafefcol, T, I32<"varidx">, GroupCount<int64_t, "afeidx,val">,
           In<int64_t, "afeidx">, In<double, "val">>::def(),
    Method<"emptyafefrow_L_2", VLT_emptyafefrow, T, I64<"afeidx">>::def(),
    Method<"emptyafefcol_i_2", VLT_emptyafefcol, T, I32<"varidx">>::def(),
    Method<"emptyafefrowlist_O_2", VLT_emptyafefrowlist, T, CountOf<int64_t, "afeidx">, In<int64_t, "afeidx">>::def(),
    Method<"emptyafefcollist_O_2", VLT_emptyafefcollist, T, CountOf<int64_t, "varidx">,
           In<int32_t, "varidx">>::def(),

    // Reading F.  The row getter answers the count it wrote.
    Method<"getafefrownumnz_L_2", VLT_getafefrownumnz, T, I64<"afeidx">, Ret<int32_t>>::def(),
    Method<"getafefnumnz__1", VLT_getafefnumnz, T, Ret<int64_t>>::def(),
    Method<"getafefrow_LOO_4", VLT_getafefrow, T, I64<"afeidx">, Ret<int32_t>, Out<int32_t, "varidx", RowNonzeros>,
           Out<double, "val", RowNonzeros>>::def(),
    Method<"getafefrow_LOO_2", VLT_getafefrow, T, I64<"afeidx">, Ret<int32_t>,
           OutBytes<int32_t, "varidx", RowNonzeros>, OutBytes<double, "val", RowNonzeros>>::def(),
    Method<"getafeftrip_OOO_4", VLT_getafeftrip, T, Out<int64_t, "afeidx", AllNonzeros>,
           Out<int32_t, "varidx", AllNonzeros>, Out<double, "val", AllNonzeros>>::def(),
    Method<"getafeftrip_OOO_1", VLT_getafeftrip, T, OutBytes<int64_t, "afeidx", AllNonzeros>,
           OutBytes<int32_t, "varidx", AllNonzeros>, OutBytes<double, "val", AllNonzeros>>::def(),

    // Putting and clearing barF.
    Method<"putafebarfentry_LiOO_5", VLT_putafebarfentry, T, I64<"afeidx">, I32<"barvaridx">,
           GroupCount<int64_t, "termidx,termweight">, In<int64_t, "termidx">, In<double, "termweight">>::def(),
    Method<"putafebarfentrylist_OOOOOO_7", VLT_putafebarfentrylist, T,
           GroupCount<int64_t, "afeidx,barvaridx,numterm,ptrterm">, In<int64_t, "afeidx">, In<int32_t, "barvaridx">,
           In<int64_t, "numterm">, In<int64_t, "ptrterm">, GroupCount<int64_t, "termidx,termweight">,
           In<int64_t, "termidx">, In<double, "termweight">>::def(),
    Method<"putafebarfrow_LOOOOO_7", VLT_putafebarfrow, T, I64<"afeidx">,
           GroupCount<int32_t, "barvaridx,numterm,ptrterm">, In<int32_t, "barvaridx">, In<int64_t, "numterm">,
           In<int64_t, "ptrterm">, GroupCount<int64_t, "termidx,termweight">, In<int64_t, "termidx">,
           In<double, "termweight">>::def(),
    Method<"emptyafebarfrow_L_2", VLT_emptyafebarfrow, T, I64<"afeidx">>::def(),
    Method<"emptyafebarfrowlist_O_2", VLT_emptyafebarfrowlist, T, CountOf<int64_t, "afeidxlist">,
           In<int64_t, "afeidxlist">>::def(),
    Method<"putafebarfblocktriplet_OOOOO_6", VLT_putafebarfblocktriplet, T,
           CheckedGroupCount<int64_t, "afeidx,barvaridx,subk,subl,valkl">, In<int64_t, "afeidx">,
           In<int32_t, "barvaridx">, In<int32_t, "subk">, In<int32_t, "subl">, In<double, "valkl">>::def(),

    // Reading barF.  The row getter takes ptrterm before numterm, unlike
    // the row setter.
    Method<"getafebarfnumblocktriplets__1", VLT_getafebarfnumblocktriplets, T, Ret<int64_t>>::def(),
    Method<"getafebarfblocktriplet_OOOOO_6", VLT_getafebarfblocktriplet, T, BlockTriplets, Count<int64_t, Trip>,
           Ret<int64_t>, Out<int64_t, "afeidx", Trip>, Out<int32_t, "barvaridx", Trip>, Out<int32_t, "subk", Trip>,
           Out<int32_t, "subl", Trip>, Out<double, "valkl", Trip>>::def(),
    Method<"getafebarfblocktriplet_OOOOO_1", VLT_getafebarfblocktriplet, T, BlockTriplets, Count<int64_t, Trip>,
           Ret<int64_t>, OutBytes<int64_t, "afeidx", Trip>, OutBytes<int32_t, "barvaridx", Trip>,
           OutBytes<int32_t, "subk", Trip>, OutBytes<int32_t, "subl", Trip>, OutBytes<double, "valkl", Trip>>::def(),
    Method<"getafebarfnumrowentries_L_2", VLT_getafebarfnumrowentries, T, I64<"afeidx">, Ret<int32_t>>::def(),
    Method<"getafebarfrowinfo_L_2", VLT_getafebarfrowinfo, T, I64<"afeidx">, Ret<int32_t>, Ret<int64_t>>::def(),
    Method<"getafebarfrow_LOOOOO_7", VLT_getafebarfrow, T, I64<"afeidx">, Out<int32_t, "barvaridx", BarfRowEntries>,
           Out<int64_t, "ptrterm", BarfRowEntries>, Out<int64_t, "numterm", BarfRowEntries>,
           Out<int64_t, "termidx", BarfRowTerms>, Out<double, "termweight", BarfRowTerms>>::def(),
    Method<"getafebarfrow_LOOOOO_2", VLT_getafebarfrow, T, I64<"afeidx">,
           OutBytes<int32_t, "barvaridx", BarfRowEntries>, OutBytes<int64_t, "ptrterm", BarfRowEntries>,
           OutBytes<int64_t, "numterm", BarfRowEntries>, OutBytes<int64_t, "termidx", BarfRowTerms>,
           OutBytes<double, "termweight", BarfRowTerms>>::def(),

    // The constants g.
    Method<"putafeg_Ld_3", VLT_putafeg, T, I64<"afeidx">, F64<"g">>::def(),
    Method<"putafeglist_OO_3", VLT_putafeglist, T, GroupCount<int64_t, "afeidx,g">, In<int64_t, "afeidx">,
           In<double, "g">>::def(),
    Method<"getafeg_L_2", VLT_getafeg, T, I64<"afeidx">, Ret<double>>::def(),
    Method<"getafegslice_LLO_4", VLT_getafegslice, T, I64<"first">, I64<"last">, Out<double, "g", GSlice>>::def(),
    Method<"getafegslice_LLO_3", VLT_getafegslice, T, I64<"first">, I64<"last">,
           OutBytes<double, "g", GSlice>>::def(),
    Method<"putafegslice_LLO_4", VLT_putafegslice, T, I64<"first">, I64<"last">,
           CountedIn<double, "slice", GSlice>>::def(),
};

}  // namespace

MethodList task_affine_methods() { return methods_of(rows); }

}  // namespace vlt::py
