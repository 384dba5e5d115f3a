// Basis solves and the condition of the basis, sensitivity analysis and its
// report, the infeasibility report, primal repair and the infeasible
// subproblem (a new Task).
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

// Each array asks for its own count right before it is checked.
using Cons = Query<VLT_getnumcon, int32_t, QHandle>;
using Vars = Query<VLT_getnumvar, int32_t, QHandle>;

// The sensitivity outputs: as many as the group "subi,marki" (library
// argument 1) or "subj,markj" (argument 4) counts.
using NumI = ValueAt<1>;
using NumJ = ValueAt<4>;
template <Text Name, class Count>
using Price = Out<double, Name, Count>;
template <Text Name, class Count>
using PriceBytes = OutBytes<double, Name, Count>;
using NumDualJ = PassedCount<int32_t, "subj">;

const PyMethodDef rows[] = {
    Method<"initbasissolve_O_2", VLT_initbasissolve, T, Out<int32_t, "basis", Cons>>::def(),
    Method<"initbasissolve_O_1", VLT_initbasissolve, T, OutBytes<int32_t, "basis", Cons>>::def(),
    Method<"solvewithbasis_iiOO_5", VLT_solvewithbasis, T, I32<"transp">, I32<"numnz">, Out<int32_t, "sub", Cons>,
           Out<double, "val", Cons>, Ret<int32_t>>::def(),
    Method<"basiscond__1", VLT_basiscond, T, Ret<double>, Ret<double>>::def(),
    Method<"primalrepair_OOOO_5", VLT_primalrepair, T, CountedIn<double, "wlc", Cons>, CountedIn<double, "wuc", Cons>,
           CountedIn<double, "wlx", Vars>, CountedIn<double, "wux", Vars>>::def(),
    Method<"primalsensitivity_OOOOOOOOOOOO_13", VLT_primalsensitivity, T, GroupCount<int32_t, "subi,marki">,
           In<int32_t, "subi">, KeyList<"marki">, GroupCount<int32_t, "subj,markj">, In<int32_t, "subj">,
           KeyList<"markj">, Price<"leftpricei", NumI>, Price<"rightpricei", NumI>, Price<"leftrangei", NumI>,
           Price<"rightrangei", NumI>, Price<"leftpricej", NumJ>, Price<"rightpricej", NumJ>,
           Price<"leftrangej", NumJ>, Price<"rightrangej", NumJ>>::def(),
    Method<"primalsensitivity_OOOOOOOOOOOO_5", VLT_primalsensitivity, T, GroupCount<int32_t, "subi,marki">,
           In<int32_t, "subi">, KeyList<"marki">, GroupCount<int32_t, "subj,markj">, In<int32_t, "subj">,
           KeyList<"markj">, PriceBytes<"leftpricei", NumI>, PriceBytes<"rightpricei", NumI>,
           PriceBytes<"leftrangei", NumI>, PriceBytes<"rightrangei", NumI>, PriceBytes<"leftpricej", NumJ>,
           PriceBytes<"rightpricej", NumJ>, PriceBytes<"leftrangej", NumJ>, PriceBytes<"rightrangej", NumJ>>::def(),
    Method<"dualsensitivity_OOOOO_6", VLT_dualsensitivity, T, CountOf<int32_t, "subj">, In<int32_t, "subj">,
           Price<"leftpricej", NumDualJ>, Price<"rightpricej", NumDualJ>, Price<"leftrangej", NumDualJ>,
           Price<"rightrangej", NumDualJ>>::def(),
    Method<"dualsensitivity_OOOOO_2", VLT_dualsensitivity, T, CountOf<int32_t, "subj">, In<int32_t, "subj">,
           PriceBytes<"leftpricej", NumDualJ>, PriceBytes<"rightpricej", NumDualJ>,
           PriceBytes<"leftrangej", NumDualJ>, PriceBytes<"rightrangej", NumDualJ>>::def(),
    Method<"sensitivityreport_i_2", VLT_sensitivityreport, T, I32<"whichstream">>::def(),
    Method<"infeasibilityreport_ii_3", VLT_infeasibilityreport, T, I32<"whichstream">, I32<"whichsol">>::def(),
    Method<"getinfeasiblesubproblem_i_2", VLT_getinfeasiblesubproblem, T, I32<"sol">, RetTask>::def(),
};

}  // namespace

MethodList task_basis_sensitivity_methods() { return methods_of(rows); }

}  // namespace vlt::py
