// Semidefinite variables, the store of symmetric matrices, and the
// semidefinite parts barC and barA of the objective and the constraints.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

// The number of triplets of a stored matrix: the second of the three
// values that the library reports about it.
VLTrescodee symmat_nz(VLTtask_t task, int64_t idx, int64_t* nz) {
    int32_t dim = 0, mattype = 0;
    return VLT_getsymmatinfo(task, idx, &dim, nz, &mattype);
}

// Every getter asks for its count once, before the first array.
using BarcEntries = SizeQuery<VLT_getnumbarcnz, int64_t, QHandle>;
using BaraEntries = SizeQuery<VLT_getnumbaranz, int64_t, QHandle>;
using BarcTerms = SizeQuery<VLT_getbarcidxinfo, int64_t, QHandle, QArg<"idx">>;
using BaraTerms = SizeQuery<VLT_getbaraidxinfo, int64_t, QHandle, QArg<"idx">>;
using BarcTriplets = SizeQuery<VLT_getnumbarcblocktriplets, int64_t, QHandle>;
using BaraTriplets = SizeQuery<VLT_getnumbarablocktriplets, int64_t, QHandle>;
using SymmatTriplets = SizeQuery<symmat_nz, int64_t, QHandle, QArg<"idx">>;
using Once = Queried<>;

// The library reaches the terms of barA's entries through their begin and
// end positions; the triplets of a list of matrices are counted by nz.
template <class E, Text Name>
using Terms = Covers<E, Name, "alphaptrb", "alphaptre">;
using RowTerms = SumOf<"nummat">;
using MatrixTriplets = SumOf<"nz">;
using NumMatrices = ValueAt<1>;  // the count of the group dims,nz

const PyMethodDef rows[] = {
    // Semidefinite variables.
    Method<"appendbarvars_O_2", VLT_appendbarvars, T, CountOf<int32_t, "dim">, In<int32_t, "dim">>::def(),
    Method<"removebarvars_O_2", VLT_removebarvars, T, CountOf<int32_t, "subset">, In<int32_t, "subset">>::def(),
    Method<"getnumbarvar__1", VLT_getnumbarvar, T, Ret<int32_t>>::def(),
    Method<"getmaxnumbarvar__1", VLT_getmaxnumbarvar, T, Ret<int32_t>>::def(),
    Method<"putmaxnumbarvar_i_2", VLT_putmaxnumbarvar, T, I32<"maxnumbarvar">>::def(),
    Method<"getdimbarvarj_i_2", VLT_getdimbarvarj, T, I32<"j">, Ret<int32_t>>::def(),
    Method<"getlenbarvarj_i_2", VLT_getlenbarvarj, T, I32<"j">, Ret<int64_t>>::def(),

    // barC and barA as term lists.  In the row list, subj must reach every
    // entry position of ptrb/ptre, nummat counts one entry per element of
    // subj, and matidx and weights hold all entries' terms.
    Method<"putbarcj_iOO_4", VLT_putbarcj, T, I32<"j">, GroupCount<int64_t, "sub,weights">, In<int64_t, "sub">,
           In<double, "weights">>::def(),
    Method<"putbaraij_iiOO_5", VLT_putbaraij, T, I32<"i">, I32<"j">, GroupCount<int64_t, "sub,weights">,
           In<int64_t, "sub">, In<double, "weights">>::def(),
    Method<"putbaraijlist_OOOOOO_7", VLT_putbaraijlist, T, GroupCount<int32_t, "subi,subj,alphaptrb,alphaptre">,
           In<int32_t, "subi">, In<int32_t, "subj">, In<int64_t, "alphaptrb">, In<int64_t, "alphaptre">,
           Terms<int64_t, "matidx">, Terms<double, "weights">>::def(),
    Method<"putbararowlist_OOOOOOO_8", VLT_putbararowlist, T, GroupCount<int32_t, "subi,ptrb,ptre">,
           In<int32_t, "subi">, In<int64_t, "ptrb">, In<int64_t, "ptre">, Covers<int32_t, "subj", "ptrb", "ptre">,
           CountedIn<int64_t, "nummat", SameAs<"subj">>, CountedIn<int64_t, "matidx", RowTerms>,
           CountedIn<double, "weights", RowTerms>>::def(),

    // barC and barA as block triplets.  barA's subi is compared with the
    // count of the first present of subj, subk, subl, valijkl, in argument
    // order with the others.
    Method<"putbarcblocktriplet_OOOO_5", VLT_putbarcblocktriplet, T,
           CheckedGroupCount<int64_t, "subj,subk,subl,valjkl">, In<int32_t, "subj">, In<int32_t, "subk">,
           In<int32_t, "subl">, In<double, "valjkl">>::def(),
    Method<"putbarablocktriplet_OOOOO_6", VLT_putbarablocktriplet, T,
           CheckedGroupCount<int64_t, "subj,subk,subl,valijkl,subi", 4>, In<int32_t, "subi">, In<int32_t, "subj">,
           In<int32_t, "subk">, In<int32_t, "subl">, In<double, "valijkl">>::def(),

    // Reading barC and barA.
    Method<"getnumbarcnz__1", VLT_getnumbarcnz, T, Ret<int64_t>>::def(),
    Method<"getnumbaranz__1", VLT_getnumbaranz, T, Ret<int64_t>>::def(),
    Method<"getbarcsparsity_O_2", VLT_getbarcsparsity, T, BarcEntries, Count<int64_t, Once>, Ret<int64_t>,
           Out<int64_t, "idxj", Once>>::def(),
    Method<"getbarcsparsity_O_1", VLT_getbarcsparsity, T, BarcEntries, Count<int64_t, Once>, Ret<int64_t>,
           OutBytes<int64_t, "idxj", Once>>::def(),
    Method<"getbarasparsity_O_2", VLT_getbarasparsity, T, BaraEntries, Count<int64_t, Once>, Ret<int64_t>,
           Out<int64_t, "idxij", Once>>::def(),
    Method<"getbarasparsity_O_1", VLT_getbarasparsity, T, BaraEntries, Count<int64_t, Once>, Ret<int64_t>,
           OutBytes<int64_t, "idxij", Once>>::def(),
    Method<"getbarcidxinfo_L_2", VLT_getbarcidxinfo, T, I64<"idx">, Ret<int64_t>>::def(),
    Method<"getbarcidxj_L_2", VLT_getbarcidxj, T, I64<"idx">, Ret<int32_t>>::def(),
    Method<"getbarcidx_LOO_4", VLT_getbarcidx, T, BarcTerms, I64<"idx">, Count<int64_t, Once>, Ret<int32_t>,
           Ret<int64_t>, Out<int64_t, "sub", Once>, Out<double, "weights", Once>>::def(),
    Method<"getbarcidx_LOO_2", VLT_getbarcidx, T, BarcTerms, I64<"idx">, Count<int64_t, Once>, Ret<int32_t>,
           Ret<int64_t>, OutBytes<int64_t, "sub", Once>, OutBytes<double, "weights", Once>>::def(),
    Method<"getbaraidxinfo_L_2", VLT_getbaraidxinfo, T, I64<"idx">, Ret<int64_t>>::def(),
    Method<"getbaraidxij_L_2", VLT_getbaraidxij, T, I64<"idx">, Ret<int32_t>, Ret<int32_t>>::def(),
    Method<"getbaraidx_LOO_4", VLT_getbaraidx, T, BaraTerms, I64<"idx">, Count<int64_t, Once>, Ret<int32_t>,
           Ret<int32_t>, Ret<int64_t>, Out<int64_t, "sub", Once>, Out<double, "weights", Once>>::def(),
    Method<"getbaraidx_LOO_2", VLT_getbaraidx, T, BaraTerms, I64<"idx">, Count<int64_t, Once>, Ret<int32_t>,
           Ret<int32_t>, Ret<int64_t>, OutBytes<int64_t, "sub", Once>, OutBytes<double, "weights", Once>>::def(),
    Method<"getnumbarcblocktriplets__1", VLT_getnumbarcblocktriplets, T, Ret<int64_t>>::def(),
    Method<"getbarcblocktriplet_OOOO_5", VLT_getbarcblocktriplet, T, BarcTriplets, Count<int64_t, Once>,
           Ret<int64_t>, Out<int32_t, "subj", Once>, Out<int32_t, "subk", Once>, Out<int32_t, "subl", Once>,
           Out<double, "valjkl", Once>>::def(),
    Method<"getbarcblocktriplet_OOOO_1", VLT_getbarcblocktriplet, T, BarcTriplets, Count<int64_t, Once>,
           Ret<int64_t>, OutBytes<int32_t, "subj", Once>, OutBytes<int32_t, "subk", Once>,
           OutBytes<int32_t, "subl", Once>, OutBytes<double, "valjkl", Once>>::def(),
    Method<"getnumbarablocktriplets__1", VLT_getnumbarablocktriplets, T, Ret<int64_t>>::def(),
    Method<"getbarablocktriplet_OOOOO_6", VLT_getbarablocktriplet, T, BaraTriplets, Count<int64_t, Once>,
           Ret<int64_t>, Out<int32_t, "subi", Once>, Out<int32_t, "subj", Once>, Out<int32_t, "subk", Once>,
           Out<int32_t, "subl", Once>, Out<double, "valijkl", Once>>::def(),
    Method<"getbarablocktriplet_OOOOO_1", VLT_getbarablocktriplet, T, BaraTriplets, Count<int64_t, Once>,
           Ret<int64_t>, OutBytes<int32_t, "subi", Once>, OutBytes<int32_t, "subj", Once>,
           OutBytes<int32_t, "subk", Once>, OutBytes<int32_t, "subl", Once>, OutBytes<double, "valijkl", Once>>::def(),

    // The store of symmetric matrices.  A list's triplets follow one another
    // (nz[k] of matrix k); its new indexes go to idx, one per matrix.
    Method<"appendsparsesymmat_iOOO_5", VLT_appendsparsesymmat, T, I32<"dim">, GroupCount<int64_t, "subi,subj,valij">,
           In<int32_t, "subi">, In<int32_t, "subj">, In<double, "valij">, Ret<int64_t>>::def(),
    Method<"appendsparsesymmatlist_OOOOOO_7", VLT_appendsparsesymmatlist, T, GroupCount<int32_t, "dims,nz">,
           In<int32_t, "dims">, In<int64_t, "nz">, CountedIn<int32_t, "subi", MatrixTriplets>,
           CountedIn<int32_t, "subj", MatrixTriplets>, CountedIn<double, "valij", MatrixTriplets>,
           Out<int64_t, "idx", NumMatrices>>::def(),
    Method<"appendsparsesymmatlist_OOOOOO_6", VLT_appendsparsesymmatlist, T, GroupCount<int32_t, "dims,nz">,
           In<int32_t, "dims">, In<int64_t, "nz">, CountedIn<int32_t, "subi", MatrixTriplets>,
           CountedIn<int32_t, "subj", MatrixTriplets>, CountedIn<double, "valij", MatrixTriplets>,
           OutBytes<int64_t, "idx", NumMatrices>>::def(),
    Method<"getnumsymmat__1", VLT_getnumsymmat, T, Ret<int64_t>>::def(),
    Method<"getsymmatinfo_L_2", VLT_getsymmatinfo, T, I64<"idx">, Ret<int32_t>, Ret<int64_t>, Ret<int32_t>>::def(),
    Method<"getsparsesymmat_LOOO_5", VLT_getsparsesymmat, T, SymmatTriplets, I64<"idx">, Count<int64_t, Once>,
           Out<int32_t, "subi", Once>, Out<int32_t, "subj", Once>, Out<double, "valij", Once>>::def(),
    Method<"getsparsesymmat_LOOO_2", VLT_getsparsesymmat, T, SymmatTriplets, I64<"idx">, Count<int64_t, Once>,
           OutBytes<int32_t, "subi", Once>, OutBytes<int32_t, "subj", Once>, OutBytes<double, "valij", Once>>::def(),
};

}  // namespace

MethodList task_semidefinite_methods() { return methods_of(rows); }

}  // namespace vlt::py
