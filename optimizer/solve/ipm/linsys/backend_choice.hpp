// Which LDL' backend factors a KKT system: by name, or chosen from the
// symbolic analysis of its pattern (automatic).  The supernodal backend pays
// where the factorization does many flops per entry of L (dense blocks for
// BLAS-3 kernels); the up-looking one stays for small or very sparse factors,
// where it has less overhead.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "solve/ipm/linsys/ldl_backend.hpp"

namespace vlt::solve::ipm {

enum class LdlMethod { automatic, up_looking, supernodal };

// "automatic", "up-looking" or "supernodal"; nullopt for any other name.
std::optional<LdlMethod> ldl_method_named(std::string_view name);

// Orders and analyses `a` once and returns the chosen backend, analysed;
// null when `a` is not a valid upper triangle with every diagonal entry.
// The ordering of the last pattern analysed on this thread is kept: a
// system of the same pattern (the next node of a branch and bound, a
// repeated solve) reuses it.
std::unique_ptr<LdlBackend> analysed_backend(const UpperCsc& a, LdlMethod method);
// How many analyses on this thread reused a kept ordering.
int64_t reused_orderings();

}  // namespace vlt::solve::ipm
