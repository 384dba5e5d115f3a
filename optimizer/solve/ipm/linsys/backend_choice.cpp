#include "solve/ipm/linsys/backend_choice.hpp"

#include <utility>
#include <vector>

#include "solve/ipm/linsys/supernodal_ldl.hpp"
#include "solve/ipm/linsys/symbolic.hpp"
#include "solve/ipm/linsys/up_looking_ldl.hpp"

namespace vlt::solve::ipm {

namespace {
// Automatic choice: supernodal from this many flops per entry of L and this
// many entries of L on.
constexpr double kSupernodalFlopsPerEntry = 400.0;
constexpr double kSupernodalEntries = 200000.0;
// Orderings of patterns up to this many entries are kept for reuse (a copy
// of the pattern and the ordering stay in memory per thread).
constexpr size_t kKeptEntries = 2000000;

// The last pattern ordered on this thread, and its ordering.
struct KeptOrdering {
    std::vector<int64_t> colptr, rowind;
    OrderedPattern pattern;
    int64_t reused = 0;
};
thread_local KeptOrdering kept;

bool ordered(const UpperCsc& a, OrderedPattern& out) {
    if (a.colptr == kept.colptr && a.rowind == kept.rowind) {
        out = kept.pattern;
        ++kept.reused;
        return true;
    }
    if (!order_pattern(a, out)) return false;
    if (a.rowind.size() > kKeptEntries) return true;
    kept.colptr = a.colptr;
    kept.rowind = a.rowind;
    kept.pattern = out;
    return true;
}

template <class Backend>
std::unique_ptr<LdlBackend> analysed(const UpperCsc& a, OrderedPattern pattern) {
    auto backend = std::make_unique<Backend>();
    if (!backend->analyze(a, std::move(pattern))) return nullptr;
    return backend;
}
}  // namespace

std::optional<LdlMethod> ldl_method_named(std::string_view name) {
    if (name == "automatic") return LdlMethod::automatic;
    if (name == "up-looking") return LdlMethod::up_looking;
    if (name == "supernodal") return LdlMethod::supernodal;
    return std::nullopt;
}

int64_t reused_orderings() { return kept.reused; }

std::unique_ptr<LdlBackend> analysed_backend(const UpperCsc& a, LdlMethod method) {
    OrderedPattern pattern;
    if (!ordered(a, pattern)) return nullptr;
    if (method == LdlMethod::automatic) {
        double entries = 0.0;
        for (int64_t c : pattern.tree.below) entries += double(c) + 1.0;
        const bool large = entries >= kSupernodalEntries && pattern.flops_per_entry() >= kSupernodalFlopsPerEntry;
        method = large ? LdlMethod::supernodal : LdlMethod::up_looking;
    }
    if (method == LdlMethod::supernodal) return analysed<SupernodalLdl>(a, std::move(pattern));
    return analysed<UpLookingLdl>(a, std::move(pattern));
}

}  // namespace vlt::solve::ipm
