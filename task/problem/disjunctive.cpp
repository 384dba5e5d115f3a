// Disjunctive constraints (DJCs): sizes and counts, putting one DJC or a
// slice of them, and reading one DJC's lists or those of all DJCs.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

// Size queries, asked anew before each array that needs them.
using DjcDomains = Query<VLT_getdjcnumdomain, int64_t, QHandle, QArg<"djcidx">>;
using DjcAfes = Query<VLT_getdjcnumafe, int64_t, QHandle, QArg<"djcidx">>;
using DjcTerms = Query<VLT_getdjcnumterm, int64_t, QHandle, QArg<"djcidx">>;
using AllDomains = Query<VLT_getdjcnumdomaintot, int64_t, QHandle>;
using AllAfes = Query<VLT_getdjcnumafetot, int64_t, QHandle>;
using AllTerms = Query<VLT_getdjcnumtermtot, int64_t, QHandle>;
using DjcCount = Query<VLT_getnumdjc, int64_t, QHandle>;

// b holds one constant per listed AFE.
using PerAfe = SameAs<"afeidxlist">;

// One DJC's list: the variant ending in 3 fills a memoryview, the one ending
// in 2 a bytearray.
template <Text Name, auto Fn, class Elem, Text Array, class Size>
using ListView = Method<Name, Fn, T, I64<"djcidx">, Out<Elem, Array, Size>>;
template <Text Name, auto Fn, class Elem, Text Array, class Size>
using ListBytes = Method<Name, Fn, T, I64<"djcidx">, OutBytes<Elem, Array, Size>>;

const PyMethodDef rows[] = {
    // Sizes and counts.
    Method<"putmaxnumdjc_L_2", VLT_putmaxnumdjc, T, I64<"maxnumdjc">>::def(),
    Method<"getnumdjc__1", VLT_getnumdjc, T, Ret<int64_t>>::def(),
    Method<"appenddjcs_L_2", VLT_appenddjcs, T, I64<"num">>::def(),
    Method<"getdjcnumdomain_L_2", VLT_getdjcnumdomain, T, I64<"djcidx">, Ret<int64_t>>::def(),
    Method<"getdjcnumdomaintot__1", VLT_getdjcnumdomaintot, T, Ret<int64_t>>::def(),
    Method<"getdjcnumafe_L_2", VLT_getdjcnumafe, T, I64<"djcidx">, Ret<int64_t>>::def(),
    Method<"getdjcnumafetot__1", VLT_getdjcnumafetot, T, Ret<int64_t>>::def(),
    Method<"getdjcnumterm_L_2", VLT_getdjcnumterm, T, I64<"djcidx">, Ret<int64_t>>::def(),
    Method<"getdjcnumtermtot__1", VLT_getdjcnumtermtot, T, Ret<int64_t>>::def(),

    // Setting DJCs.
    Method<"putdjc_LOOOO_6", VLT_putdjc, T, I64<"djcidx">, CountOf<int64_t, "domidxlist">, In<int64_t, "domidxlist">,
           CountOf<int64_t, "afeidxlist">, In<int64_t, "afeidxlist">, CountedIn<double, "b", PerAfe>,
           CountOf<int64_t, "termsizelist">, In<int64_t, "termsizelist">>::def(),
    Method<"putdjcslice_LLOOOOO_8", VLT_putdjcslice, T, I64<"idxfirst">, I64<"idxlast">,
           CountOf<int64_t, "domidxlist">, In<int64_t, "domidxlist">, CountOf<int64_t, "afeidxlist">,
           In<int64_t, "afeidxlist">, CountedIn<double, "b", PerAfe>, CountOf<int64_t, "termsizelist">,
           In<int64_t, "termsizelist">, CountedIn<int64_t, "termsindjc", Slice<"idxfirst", "idxlast">>>::def(),

    // Reading one DJC.
    ListView<"getdjcdomainidxlist_LO_3", VLT_getdjcdomainidxlist, int64_t, "domidxlist", DjcDomains>::def(),
    ListBytes<"getdjcdomainidxlist_LO_2", VLT_getdjcdomainidxlist, int64_t, "domidxlist", DjcDomains>::def(),
    ListView<"getdjcafeidxlist_LO_3", VLT_getdjcafeidxlist, int64_t, "afeidxlist", DjcAfes>::def(),
    ListBytes<"getdjcafeidxlist_LO_2", VLT_getdjcafeidxlist, int64_t, "afeidxlist", DjcAfes>::def(),
    ListView<"getdjcb_LO_3", VLT_getdjcb, double, "b", DjcAfes>::def(),
    ListBytes<"getdjcb_LO_2", VLT_getdjcb, double, "b", DjcAfes>::def(),
    ListView<"getdjctermsizelist_LO_3", VLT_getdjctermsizelist, int64_t, "termsizelist", DjcTerms>::def(),
    ListBytes<"getdjctermsizelist_LO_2", VLT_getdjctermsizelist, int64_t, "termsizelist", DjcTerms>::def(),

    // Reading all DJCs.
    Method<"getdjcs_OOOOO_6", VLT_getdjcs, T, Out<int64_t, "domidxlist", AllDomains>,
           Out<int64_t, "afeidxlist", AllAfes>, Out<double, "b", AllAfes>, Out<int64_t, "termsizelist", AllTerms>,
           Out<int64_t, "numterms", DjcCount>>::def(),
    Method<"getdjcs_OOOOO_1", VLT_getdjcs, T, OutBytes<int64_t, "domidxlist", AllDomains>,
           OutBytes<int64_t, "afeidxlist", AllAfes>, OutBytes<double, "b", AllAfes>,
           OutBytes<int64_t, "termsizelist", AllTerms>, OutBytes<int64_t, "numterms", DjcCount>>::def(),
};

}  // namespace

MethodList task_disjunctive_methods() { return methods_of(rows); }

}  // namespace vlt::py
