// Env methods: the library's dense and sparse linear-algebra routines.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using N = ArgValue<"n">;
using NN = ProductOf<"n", "n">;
using Uplo = I32<"uplo">;

// Library argument positions of computesparsecholesky's order n (a group
// count) and entry count nz (a scalar output), which size the copied arrays.
using CholN = ValueAt<4>;
using CholNz = ValueAt<13>;

const PyMethodDef linalg_rows[] = {
    Method<"axpy_idOO_5", VLT_axpy, EnvHandle, I32<"n">, F64<"alpha">, CountedIn<double, "x", N>,
           Out<double, "y", N>>::def(),
    Method<"dot_iOO_4", VLT_dot, EnvHandle, I32<"n">, CountedIn<double, "x", N>, CountedIn<double, "y", N>,
           Ret<double>>::def(),
    Method<"gemv_iiidOOdO_9", VLT_gemv, EnvHandle, I32<"trans">, I32<"m">, I32<"n">, F64<"alpha">,
           CountedIn<double, "a", ProductOf<"m", "n">>, CountedIn<double, "x", ByCode<"trans", N, ArgValue<"m">>>,
           F64<"beta">, Out<double, "y", ByCode<"trans", ArgValue<"m">, N>>>::def(),
    Method<"gemm_iiiiidOOdO_11", VLT_gemm, EnvHandle, I32<"transa">, I32<"transb">, I32<"m">, I32<"n">, I32<"k">,
           F64<"alpha">, CountedIn<double, "a", ProductOf<"m", "k">>, CountedIn<double, "b", ProductOf<"k", "n">>,
           F64<"beta">, Out<double, "c", ProductOf<"m", "n">>>::def(),
    Method<"syrk_iiiidOdO_9", VLT_syrk, EnvHandle, Uplo, I32<"trans">, I32<"n">, I32<"k">, F64<"alpha">,
           CountedIn<double, "a", ProductOf<"n", "k">>, F64<"beta">, Out<double, "c", NN>>::def(),
    Method<"computesparsecholesky_iidOOOOOOOOOO_8", VLT_computesparsecholesky, EnvHandle, I32<"numthreads">,
           I32<"ordermethod">, F64<"tolsingular">, GroupCount<int32_t, "anzc,aptrc">, In<int32_t, "anzc">,
           In<int64_t, "aptrc">, CoversColumns<int32_t, "asubc", "aptrc", "anzc">,
           CoversColumns<double, "avalc", "aptrc", "anzc">, LibArray<int32_t, "perm", CholN>,
           LibArray<double, "diag", CholN>, LibArray<int32_t, "lnzc", CholN>, LibArray<int64_t, "lptrc", CholN>,
           Ret<int64_t>, LibArray<int32_t, "lsubc", CholNz>, LibArray<double, "lvalc", CholNz>>::def(),
    Method<"sparsetriangularsolvedense_iOOOOO_7", VLT_sparsetriangularsolvedense, EnvHandle, I32<"transposed">,
           CheckedGroupCount<int32_t, "b,lnzc,lptrc">, In<int32_t, "lnzc">, In<int64_t, "lptrc">,
           CheckedGroupCount<int64_t, "lsubc,lvalc">, In<int32_t, "lsubc">, In<double, "lvalc">,
           InOut<double, "b">>::def(),
    Method<"potrf_iiO_4", VLT_potrf, EnvHandle, Uplo, I32<"n">, Out<double, "a", NN>>::def(),
    Method<"syeig_iiOO_5", VLT_syeig, EnvHandle, Uplo, I32<"n">, CountedIn<double, "a", NN>,
           Out<double, "w", N>>::def(),
    Method<"syeig_iiOO_4", VLT_syeig, EnvHandle, Uplo, I32<"n">, CountedIn<double, "a", NN>,
           OutBytes<double, "w", N>>::def(),
    Method<"syevd_iiOO_5", VLT_syevd, EnvHandle, Uplo, I32<"n">, CountedIn<double, "a", NN>,
           Out<double, "w", N>>::def(),
    Method<"syevd_iiOO_4", VLT_syevd, EnvHandle, Uplo, I32<"n">, CountedIn<double, "a", NN>,
           OutBytes<double, "w", N>>::def(),
};

}  // namespace

MethodList env_linalg_methods() { return methods_of(linalg_rows); }

}  // namespace vlt::py
