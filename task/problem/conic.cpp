// Domains and affine conic constraints (ACCs), and the stacked view of all
// ACCs' rows.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

// Size queries, asked anew before each array that needs them, except the
// dimension of appendaccseq's domain and the barF block triplets, which are
// asked once.
using PowerWeights = QueryPart<1, VLT_getpowerdomaininfo, int64_t, int64_t, QHandle, QArg<"domidx">>;
using DomainDimension = SizeQuery<VLT_getdomainn, int64_t, QHandle, QArg<"domidx">>;
using AccDimension = Query<VLT_getaccn, int64_t, QHandle, QArg<"accidx">>;
using AccCount = Query<VLT_getnumacc, int64_t, QHandle>;
using AccRows = Query<VLT_getaccntot, int64_t, QHandle>;
using AccFNonzeros = Query<VLT_getaccfnumnz, int64_t, QHandle>;
using AccBlockTriplets = SizeQuery<VLT_getaccbarfnumblocktriplets, int64_t, QHandle>;
using Once = Queried<>;

// b holds one constant per listed AFE.
using PerAfe = SameAs<"afeidxlist">;

template <Text Name, auto Fn>
using AppendDomain = Method<Name, Fn, T, I64<"dim">, Ret<int64_t>>;
template <Text Name, auto Fn>
using AppendPowerDomain = Method<Name, Fn, T, I64<"dim">, CountOf<int64_t, "alpha">, In<double, "alpha">, Ret<int64_t>>;

const PyMethodDef rows[] = {
    // Domain sizes and queries.
    Method<"putmaxnumdomain_L_2", VLT_putmaxnumdomain, T, I64<"maxnumdomain">>::def(),
    Method<"getnumdomain__1", VLT_getnumdomain, T, Ret<int64_t>>::def(),
    Method<"getdomaintype_L_2", VLT_getdomaintype, T, I64<"domidx">, Ret<int32_t>>::def(),
    Method<"getdomainn_L_2", VLT_getdomainn, T, I64<"domidx">, Ret<int64_t>>::def(),
    Method<"getpowerdomaininfo_L_2", VLT_getpowerdomaininfo, T, I64<"domidx">, Ret<int64_t>, Ret<int64_t>>::def(),
    Method<"getpowerdomainalpha_LO_3", VLT_getpowerdomainalpha, T, I64<"domidx">,
           Out<double, "alpha", PowerWeights>>::def(),
    Method<"getpowerdomainalpha_LO_2", VLT_getpowerdomainalpha, T, I64<"domidx">,
           OutBytes<double, "alpha", PowerWeights>>::def(),

    // Appending domains: each answers the new domain's index.
    AppendDomain<"appendrplusdomain_L_2", VLT_appendrplusdomain>::def(),
    AppendDomain<"appendrminusdomain_L_2", VLT_appendrminusdomain>::def(),
    AppendDomain<"appendrdomain_L_2", VLT_appendrdomain>::def(),
    AppendDomain<"appendrzerodomain_L_2", VLT_appendrzerodomain>::def(),
    AppendDomain<"appendquadraticconedomain_L_2", VLT_appendquadraticconedomain>::def(),
    AppendDomain<"appendrquadraticconedomain_L_2", VLT_appendrquadraticconedomain>::def(),
    Method<"appendprimalexpconedomain__1", VLT_appendprimalexpconedomain, T, Ret<int64_t>>::def(),
    Method<"appenddualexpconedomain__1", VLT_appenddualexpconedomain, T, Ret<int64_t>>::def(),
    AppendDomain<"appendprimalgeomeanconedomain_L_2", VLT_appendprimalgeomeanconedomain>::def(),
    AppendDomain<"appenddualgeomeanconedomain_L_2", VLT_appenddualgeomeanconedomain>::def(),
    AppendPowerDomain<"appendprimalpowerconedomain_LO_3", VLT_appendprimalpowerconedomain>::def(),
    AppendPowerDomain<"appenddualpowerconedomain_LO_3", VLT_appenddualpowerconedomain>::def(),
    AppendDomain<"appendsvecpsdconedomain_L_2", VLT_appendsvecpsdconedomain>::def(),

    // Creating and changing ACCs.  appendaccseq asks for its domain's
    // dimension, which is the count of b and of the AFEs taken.
    Method<"putmaxnumacc_L_2", VLT_putmaxnumacc, T, I64<"maxnumacc">>::def(),
    Method<"getnumacc__1", VLT_getnumacc, T, Ret<int64_t>>::def(),
    Method<"appendacc_LOO_4", VLT_appendacc, T, I64<"domidx">, CountOf<int64_t, "afeidxlist">,
           In<int64_t, "afeidxlist">, CountedIn<double, "b", PerAfe>>::def(),
    Method<"appendaccs_OOO_4", VLT_appendaccs, T, CountOf<int64_t, "domidxs">, In<int64_t, "domidxs">,
           CountOf<int64_t, "afeidxlist">, In<int64_t, "afeidxlist">, CountedIn<double, "b", PerAfe>>::def(),
    Method<"appendaccseq_LLO_4", VLT_appendaccseq, T, DomainDimension, I64<"domidx">, Count<int64_t, Once>,
           I64<"afeidxfirst">, CountedIn<double, "b", Once>>::def(),
    Method<"appendaccsseq_OLLO_5", VLT_appendaccsseq, T, CountOf<int64_t, "domidxs">, In<int64_t, "domidxs">,
           I64<"numafeidx">, I64<"afeidxfirst">, CountedIn<double, "b", ArgValue<"numafeidx">>>::def(),
    Method<"putacc_LLOO_5", VLT_putacc, T, I64<"accidx">, I64<"domidx">, CountOf<int64_t, "afeidxlist">,
           In<int64_t, "afeidxlist">, CountedIn<double, "b", PerAfe>>::def(),
    Method<"putacclist_OOOO_5", VLT_putacclist, T, GroupCount<int64_t, "domidxs,accidxs">, In<int64_t, "accidxs">,
           In<int64_t, "domidxs">, CountOf<int64_t, "afeidxlist">, In<int64_t, "afeidxlist">,
           CountedIn<double, "b", PerAfe>>::def(),
    Method<"putaccb_LO_3", VLT_putaccb, T, I64<"accidx">, CountOf<int64_t, "b">, In<double, "b">>::def(),
    Method<"putaccbj_LLd_4", VLT_putaccbj, T, I64<"accidx">, I64<"j">, F64<"bj">>::def(),

    // Reading single ACCs.
    Method<"getaccdomain_L_2", VLT_getaccdomain, T, I64<"accidx">, Ret<int64_t>>::def(),
    Method<"getaccn_L_2", VLT_getaccn, T, I64<"accidx">, Ret<int64_t>>::def(),
    Method<"getaccntot__1", VLT_getaccntot, T, Ret<int64_t>>::def(),
    Method<"getaccafeidxlist_LO_3", VLT_getaccafeidxlist, T, I64<"accidx">,
           Out<int64_t, "afeidxlist", AccDimension>>::def(),
    Method<"getaccafeidxlist_LO_2", VLT_getaccafeidxlist, T, I64<"accidx">,
           OutBytes<int64_t, "afeidxlist", AccDimension>>::def(),
    Method<"getaccb_LO_3", VLT_getaccb, T, I64<"accidx">, Out<double, "b", AccDimension>>::def(),
    Method<"getaccb_LO_2", VLT_getaccb, T, I64<"accidx">, OutBytes<double, "b", AccDimension>>::def(),

    // Reading all ACCs as one stack of rows.
    Method<"getaccs_OOO_4", VLT_getaccs, T, Out<int64_t, "domidxlist", AccCount>, Out<int64_t, "afeidxlist", AccRows>,
           Out<double, "b", AccRows>>::def(),
    Method<"getaccs_OOO_1", VLT_getaccs, T, OutBytes<int64_t, "domidxlist", AccCount>,
           OutBytes<int64_t, "afeidxlist", AccRows>, OutBytes<double, "b", AccRows>>::def(),
    Method<"getaccfnumnz__1", VLT_getaccfnumnz, T, Ret<int64_t>>::def(),
    Method<"getaccftrip_OOO_4", VLT_getaccftrip, T, Out<int64_t, "frow", AccFNonzeros>,
           Out<int32_t, "fcol", AccFNonzeros>, Out<double, "fval", AccFNonzeros>>::def(),
    Method<"getaccftrip_OOO_1", VLT_getaccftrip, T, OutBytes<int64_t, "frow", AccFNonzeros>,
           OutBytes<int32_t, "fcol", AccFNonzeros>, OutBytes<double, "fval", AccFNonzeros>>::def(),
    Method<"getaccgvector_O_2", VLT_getaccgvector, T, Out<double, "g", AccRows>>::def(),
    Method<"getaccgvector_O_1", VLT_getaccgvector, T, OutBytes<double, "g", AccRows>>::def(),
    Method<"getaccbarfnumblocktriplets__1", VLT_getaccbarfnumblocktriplets, T, Ret<int64_t>>::def(),
    Method<"getaccbarfblocktriplet_OOOOO_6", VLT_getaccbarfblocktriplet, T, AccBlockTriplets, Count<int64_t, Once>,
           Ret<int64_t>, Out<int64_t, "acc_afe", Once>, Out<int32_t, "bar_var", Once>, Out<int32_t, "blk_row", Once>,
           Out<int32_t, "blk_col", Once>, Out<double, "blk_val", Once>>::def(),
    Method<"getaccbarfblocktriplet_OOOOO_1", VLT_getaccbarfblocktriplet, T, AccBlockTriplets, Count<int64_t, Once>,
           Ret<int64_t>, OutBytes<int64_t, "acc_afe", Once>, OutBytes<int32_t, "bar_var", Once>,
           OutBytes<int32_t, "blk_row", Once>, OutBytes<int32_t, "blk_col", Once>,
           OutBytes<double, "blk_val", Once>>::def(),
};

}  // namespace

MethodList task_conic_methods() { return methods_of(rows); }

}  // namespace vlt::py
