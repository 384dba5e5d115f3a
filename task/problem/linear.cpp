// The linear constraint matrix and the objective.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;
using Lines = Slice<"first", "last">;

// Size queries: the non-zeros of one column or row, asked anew before each
// array that needs them; those of a slice or of the whole matrix, asked once.
using ColumnNonzeros = Query<VLT_getacolnumnz, int32_t, QHandle, QArg<"j">>;
using RowNonzeros = Query<VLT_getarownumnz, int32_t, QHandle, QArg<"i">>;
using ColumnSliceNonzeros = SizeQuery<VLT_getacolslicenumnz64, int64_t, QHandle, QArg<"first">, QArg<"last">>;
using RowSliceNonzeros = SizeQuery<VLT_getarowslicenumnz64, int64_t, QHandle, QArg<"first">, QArg<"last">>;
using MatrixNonzeros = SizeQuery<VLT_getnumanz64, int64_t, QHandle>;
using VariableCount = SizeQuery<VLT_getnumvar, int32_t, QHandle>;
using Nz = Queried<>;

const PyMethodDef rows[] = {
    // Single entries, counts and capacity.
    Method<"putaij_iid_4", VLT_putaij, T, I32<"i">, I32<"j">, F64<"aij">>::def(),
    Method<"getaij_ii_3", VLT_getaij, T, I32<"i">, I32<"j">, Ret<double>>::def(),
    Method<"getacolnumnz_i_2", VLT_getacolnumnz, T, I32<"j">, Ret<int32_t>>::def(),
    Method<"getarownumnz_i_2", VLT_getarownumnz, T, I32<"i">, Ret<int32_t>>::def(),
    Method<"getapiecenumnz_iiii_5", VLT_getapiecenumnz, T, I32<"firsti">, I32<"lasti">, I32<"firstj">, I32<"lastj">,
           Ret<int32_t>>::def(),
    Method<"getacolslicenumnz64_ii_3", VLT_getacolslicenumnz64, T, I32<"first">, I32<"last">, Ret<int64_t>>::def(),
    Method<"getarowslicenumnz64_ii_3", VLT_getarowslicenumnz64, T, I32<"first">, I32<"last">, Ret<int64_t>>::def(),
    Method<"getnumanz__1", VLT_getnumanz, T, Ret<int32_t>>::def(),
    Method<"getnumanz64__1", VLT_getnumanz64, T, Ret<int64_t>>::def(),
    Method<"getmaxnumanz64__1", VLT_getmaxnumanz64, T, Ret<int64_t>>::def(),
    Method<"putmaxnumanz_L_2", VLT_putmaxnumanz, T, I64<"maxnumanz">>::def(),

    // Putting the matrix.  The slice and list putters check asub and aval
    // against the positions in ptrb and ptre (Covers).
    Method<"putaijlist64_OOO_4", VLT_putaijlist64, T, GroupCount<int64_t, "subi,subj,valij">, In<int32_t, "subi">,
           In<int32_t, "subj">, In<double, "valij">>::def(),
    Method<"putacol_iOO_4", VLT_putacol, T, I32<"j">, GroupCount<int32_t, "subj,valj">, In<int32_t, "subj">,
           In<double, "valj">>::def(),
    Method<"putarow_iOO_4", VLT_putarow, T, I32<"i">, GroupCount<int32_t, "subi,vali">, In<int32_t, "subi">,
           In<double, "vali">>::def(),
    Method<"putacolslice64_iiOOOO_7", VLT_putacolslice64, T, I32<"first">, I32<"last">,
           CountedIn<int64_t, "ptrb", Lines>, CountedIn<int64_t, "ptre", Lines>, Covers<int32_t, "asub", "ptrb", "ptre">,
           Covers<double, "aval", "ptrb", "ptre">>::def(),
    Method<"putarowslice64_iiOOOO_7", VLT_putarowslice64, T, I32<"first">, I32<"last">,
           CountedIn<int64_t, "ptrb", Lines>, CountedIn<int64_t, "ptre", Lines>, Covers<int32_t, "asub", "ptrb", "ptre">,
           Covers<double, "aval", "ptrb", "ptre">>::def(),
    Method<"putacollist64_OOOOO_6", VLT_putacollist64, T, GroupCount<int32_t, "sub,ptrb,ptre">, In<int32_t, "sub">,
           In<int64_t, "ptrb">, In<int64_t, "ptre">, Covers<int32_t, "asub", "ptrb", "ptre">,
           Covers<double, "aval", "ptrb", "ptre">>::def(),
    Method<"putarowlist64_OOOOO_6", VLT_putarowlist64, T, GroupCount<int32_t, "sub,ptrb,ptre">, In<int32_t, "sub">,
           In<int64_t, "ptrb">, In<int64_t, "ptre">, Covers<int32_t, "asub", "ptrb", "ptre">,
           Covers<double, "aval", "ptrb", "ptre">>::def(),

    // Reading the matrix.
    Method<"getacol_iOO_4", VLT_getacol, T, I32<"j">, Ret<int32_t>, Out<int32_t, "subj", ColumnNonzeros>,
           Out<double, "valj", ColumnNonzeros>>::def(),
    Method<"getacol_iOO_2", VLT_getacol, T, I32<"j">, Ret<int32_t>, OutBytes<int32_t, "subj", ColumnNonzeros>,
           OutBytes<double, "valj", ColumnNonzeros>>::def(),
    Method<"getarow_iOO_4", VLT_getarow, T, I32<"i">, Ret<int32_t>, Out<int32_t, "subi", RowNonzeros>,
           Out<double, "vali", RowNonzeros>>::def(),
    Method<"getarow_iOO_2", VLT_getarow, T, I32<"i">, Ret<int32_t>, OutBytes<int32_t, "subi", RowNonzeros>,
           OutBytes<double, "vali", RowNonzeros>>::def(),
    Method<"getacolslice64_iiOOOO_7", VLT_getacolslice64, T, ColumnSliceNonzeros, I32<"first">, I32<"last">,
           Count<int64_t, Nz>, Out<int64_t, "ptrb", Lines>, Out<int64_t, "ptre", Lines>, Out<int32_t, "sub", Nz>,
           Out<double, "val", Nz>>::def(),
    Method<"getacolslice64_iiOOOO_3", VLT_getacolslice64, T, ColumnSliceNonzeros, I32<"first">, I32<"last">,
           Count<int64_t, Nz>, OutBytes<int64_t, "ptrb", Lines>, OutBytes<int64_t, "ptre", Lines>,
           OutBytes<int32_t, "sub", Nz>, OutBytes<double, "val", Nz>>::def(),
    Method<"getarowslice64_iiOOOO_7", VLT_getarowslice64, T, RowSliceNonzeros, I32<"first">, I32<"last">,
           Count<int64_t, Nz>, Out<int64_t, "ptrb", Lines>, Out<int64_t, "ptre", Lines>, Out<int32_t, "sub", Nz>,
           Out<double, "val", Nz>>::def(),
    Method<"getarowslice64_iiOOOO_3", VLT_getarowslice64, T, RowSliceNonzeros, I32<"first">, I32<"last">,
           Count<int64_t, Nz>, OutBytes<int64_t, "ptrb", Lines>, OutBytes<int64_t, "ptre", Lines>,
           OutBytes<int32_t, "sub", Nz>, OutBytes<double, "val", Nz>>::def(),
    Method<"getatrip_OOO_4", VLT_getatrip, T, MatrixNonzeros, Count<int64_t, Nz>, Out<int32_t, "subi", Nz>,
           Out<int32_t, "subj", Nz>, Out<double, "val", Nz>>::def(),
    Method<"getatrip_OOO_1", VLT_getatrip, T, MatrixNonzeros, Count<int64_t, Nz>, OutBytes<int32_t, "subi", Nz>,
           OutBytes<int32_t, "subj", Nz>, OutBytes<double, "val", Nz>>::def(),
    Method<"getacolslicetrip_iiOOO_6", VLT_getacolslicetrip, T, ColumnSliceNonzeros, I32<"first">, I32<"last">,
           Count<int64_t, Nz>, Out<int32_t, "subi", Nz>, Out<int32_t, "subj", Nz>, Out<double, "val", Nz>>::def(),
    Method<"getacolslicetrip_iiOOO_3", VLT_getacolslicetrip, T, ColumnSliceNonzeros, I32<"first">, I32<"last">,
           Count<int64_t, Nz>, OutBytes<int32_t, "subi", Nz>, OutBytes<int32_t, "subj", Nz>,
           OutBytes<double, "val", Nz>>::def(),
    Method<"getarowslicetrip_iiOOO_6", VLT_getarowslicetrip, T, RowSliceNonzeros, I32<"first">, I32<"last">,
           Count<int64_t, Nz>, Out<int32_t, "subi", Nz>, Out<int32_t, "subj", Nz>, Out<double, "val", Nz>>::def(),
    Method<"getarowslicetrip_iiOOO_3", VLT_getarowslicetrip, T, RowSliceNonzeros, I32<"first">, I32<"last">,
           Count<int64_t, Nz>, OutBytes<int32_t, "subi", Nz>, OutBytes<int32_t, "subj", Nz>,
           OutBytes<double, "val", Nz>>::def(),

    // Truncation tolerance: the getter answers through a one-element array.
    Method<"putatruncatetol_d_2", VLT_putatruncatetol, T, F64<"tolzero">>::def(),
    Method<"getatruncatetol_O_2", VLT_getatruncatetol, T, Out<double, "tolzero", Fixed<1>>>::def(),
    Method<"getatruncatetol_O_1", VLT_getatruncatetol, T, OutBytes<double, "tolzero", Fixed<1>>>::def(),

    // Objective.
    Method<"putcfix_d_2", VLT_putcfix, T, F64<"cfix">>::def(),
    Method<"getcfix__1", VLT_getcfix, T, Ret<double>>::def(),
    Method<"putcj_id_3", VLT_putcj, T, I32<"j">, F64<"cj">>::def(),
    Method<"getcj_i_2", VLT_getcj, T, I32<"j">, Ret<double>>::def(),
    Method<"putclist_OO_3", VLT_putclist, T, GroupCount<int32_t, "subj,val">, In<int32_t, "subj">,
           In<double, "val">>::def(),
    Method<"getclist_OO_3", VLT_getclist, T, CountOf<int32_t, "subj">, In<int32_t, "subj">,
           Out<double, "c", SameAs<"subj">>>::def(),
    Method<"getclist_OO_2", VLT_getclist, T, CountOf<int32_t, "subj">, In<int32_t, "subj">,
           OutBytes<double, "c", SameAs<"subj">>>::def(),
    Method<"putcslice_iiO_4", VLT_putcslice, T, I32<"first">, I32<"last">, CountedIn<double, "slice", Lines>>::def(),
    Method<"getcslice_iiO_4", VLT_getcslice, T, I32<"first">, I32<"last">, Out<double, "c", Lines>>::def(),
    Method<"getcslice_iiO_3", VLT_getcslice, T, I32<"first">, I32<"last">, OutBytes<double, "c", Lines>>::def(),
    Method<"getc_O_2", VLT_getc, T, VariableCount, Out<double, "c", Nz>>::def(),
    Method<"getc_O_1", VLT_getc, T, VariableCount, OutBytes<double, "c", Nz>>::def(),
    Method<"putobjsense_i_2", VLT_putobjsense, T, I32<"sense">>::def(),
    Method<"getobjsense__1", VLT_getobjsense, T, Ret<int32_t>>::def(),

    // Problem type and whole problem.  The constraint group is checked
    // before the variable group; asub and aval are checked against the
    // positions in aptrb and aptre.
    Method<"getprobtype__1", VLT_getprobtype, T, Ret<int32_t>>::def(),
    Method<"inputdata64_iiOdOOOOOOOOOO_15", VLT_inputdata64, T, I32<"maxnumcon">, I32<"maxnumvar">,
           GroupCount<int32_t, "buc,blc,bkc">, GroupCount<int32_t, "c,bux,blx,bkx,aptrb,aptre">, In<double, "c">,
           F64<"cfix">, In<int64_t, "aptrb">, In<int64_t, "aptre">, Covers<int32_t, "asub", "aptrb", "aptre">,
           Covers<double, "aval", "aptrb", "aptre">, KeyList<"bkc">, In<double, "blc">, In<double, "buc">,
           KeyList<"bkx">, In<double, "blx">, In<double, "bux">>::def(),
};

}  // namespace

MethodList task_linear_methods() { return methods_of(rows); }

}  // namespace vlt::py
