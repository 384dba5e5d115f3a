// Quadratic terms of the objective and of the constraints.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

// The objective's term count is asked once and sizes all three arrays; the
// count of a constraint's terms is asked anew for the capacity and before
// each array.
using ObjectiveTerms = SizeQuery<VLT_getnumqobjnz64, int64_t, QHandle>;
using ConstraintTerms = Query<VLT_getnumqconknz64, int64_t, QHandle, QArg<"k">>;
using Nz = Queried<>;

const PyMethodDef rows[] = {
    // Objective.
    Method<"putqobj_OOO_4", VLT_putqobj, T, GroupCount<int32_t, "qosubi,qosubj,qoval">, In<int32_t, "qosubi">,
           In<int32_t, "qosubj">, In<double, "qoval">>::def(),
    Method<"putqobjij_iid_4", VLT_putqobjij, T, I32<"i">, I32<"j">, F64<"qoij">>::def(),
    Method<"getqobjij_ii_3", VLT_getqobjij, T, I32<"i">, I32<"j">, Ret<double>>::def(),
    Method<"getnumqobjnz64__1", VLT_getnumqobjnz64, T, Ret<int64_t>>::def(),
    Method<"getqobj64_OOO_4", VLT_getqobj64, T, ObjectiveTerms, Count<int64_t, Nz>, Ret<int64_t>,
           Out<int32_t, "qosubi", Nz>, Out<int32_t, "qosubj", Nz>, Out<double, "qoval", Nz>>::def(),
    Method<"getqobj64_OOO_1", VLT_getqobj64, T, ObjectiveTerms, Count<int64_t, Nz>, Ret<int64_t>,
           OutBytes<int32_t, "qosubi", Nz>, OutBytes<int32_t, "qosubj", Nz>, OutBytes<double, "qoval", Nz>>::def(),

    // Constraints.  putqcon's qcsubk is in no length group: its length is
    // neither compared nor passed.
    Method<"putqconk_iOOO_5", VLT_putqconk, T, I32<"k">, GroupCount<int32_t, "qcsubi,qcsubj,qcval">,
           In<int32_t, "qcsubi">, In<int32_t, "qcsubj">, In<double, "qcval">>::def(),
    Method<"putqcon_OOOO_5", VLT_putqcon, T, GroupCount<int32_t, "qcsubi,qcsubj,qcval">, In<int32_t, "qcsubk">,
           In<int32_t, "qcsubi">, In<int32_t, "qcsubj">, In<double, "qcval">>::def(),
    Method<"getnumqconknz64_i_2", VLT_getnumqconknz64, T, I32<"k">, Ret<int64_t>>::def(),
    Method<"getqconk64_iOOO_5", VLT_getqconk64, T, I32<"k">, Count<int64_t, ConstraintTerms>, Ret<int64_t>,
           Out<int32_t, "qcsubi", ConstraintTerms>, Out<int32_t, "qcsubj", ConstraintTerms>,
           Out<double, "qcval", ConstraintTerms>>::def(),
    Method<"getqconk64_iOOO_2", VLT_getqconk64, T, I32<"k">, Count<int64_t, ConstraintTerms>, Ret<int64_t>,
           OutBytes<int32_t, "qcsubi", ConstraintTerms>, OutBytes<int32_t, "qcsubj", ConstraintTerms>,
           OutBytes<double, "qcval", ConstraintTerms>>::def(),

    // Capacity.
    Method<"putmaxnumqnz_L_2", VLT_putmaxnumqnz, T, I64<"maxnumqnz">>::def(),
    Method<"getmaxnumqnz64__1", VLT_getmaxnumqnz64, T, Ret<int64_t>>::def(),
};

}  // namespace

MethodList task_quadratic_methods() { return methods_of(rows); }

}  // namespace vlt::py
