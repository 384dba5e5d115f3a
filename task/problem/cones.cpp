// Cones on variables: appending, replacing, removing and reading cones, and
// their number and capacity.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

// The member count of cone k, from VLT_getconeinfo (which also reports the
// type and parameter; only the count sizes submem).  Made anew right before
// submem is checked, also when submem is None.
struct ConeMembers {
    template <class F> static bool get(F& f, int64_t& n) {
        int32_t ct = 0, nummem = 0;
        double conepar = 0.0;
        if (!run_query(f, [&] {
                return VLT_getconeinfo(f.task_handle(), f.template scalar_c<"k">(), &ct, &conepar, &nummem);
            }))
            return false;
        n = nummem;
        f.last_query = n;
        return true;
    }
};

const PyMethodDef rows[] = {
    // Appending, replacing and removing cones.
    Method<"appendcone_idO_4", VLT_appendcone, T, I32<"ct">, F64<"conepar">, CountOf<int32_t, "submem">,
           In<int32_t, "submem">>::def(),
    Method<"appendconeseq_idii_5", VLT_appendconeseq, T, I32<"ct">, F64<"conepar">, I32<"nummem">, I32<"j">>::def(),
    Method<"appendconesseq_OOOi_5", VLT_appendconesseq, T, GroupCount<int32_t, "ct,conepar,nummem">, KeyList<"ct">,
           In<double, "conepar">, In<int32_t, "nummem">, I32<"j">>::def(),
    Method<"putcone_iidO_5", VLT_putcone, T, I32<"k">, I32<"ct">, F64<"conepar">, CountOf<int32_t, "submem">,
           In<int32_t, "submem">>::def(),
    Method<"removecones_O_2", VLT_removecones, T, CountOf<int32_t, "subset">, In<int32_t, "subset">>::def(),

    // Reading cones: the values returned are those of VLT_getcone.
    Method<"getconeinfo_i_2", VLT_getconeinfo, T, I32<"k">, Ret<int32_t>, Ret<double>, Ret<int32_t>>::def(),
    Method<"getcone_iO_3", VLT_getcone, T, I32<"k">, Ret<int32_t>, Ret<double>, Ret<int32_t>,
           Out<int32_t, "submem", ConeMembers>>::def(),
    Method<"getcone_iO_2", VLT_getcone, T, I32<"k">, Ret<int32_t>, Ret<double>, Ret<int32_t>,
           OutBytes<int32_t, "submem", ConeMembers>>::def(),
    Method<"getnumcone__1", VLT_getnumcone, T, Ret<int32_t>>::def(),
    Method<"getnumconemem_i_2", VLT_getnumconemem, T, I32<"k">, Ret<int32_t>>::def(),

    // Capacity.
    Method<"putmaxnumcone_i_2", VLT_putmaxnumcone, T, I32<"maxnumcone">>::def(),
    Method<"getmaxnumcone__1", VLT_getmaxnumcone, T, Ret<int32_t>>::def(),
};

}  // namespace

MethodList task_cone_methods() { return methods_of(rows); }

}  // namespace vlt::py
