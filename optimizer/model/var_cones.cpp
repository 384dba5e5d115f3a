#include "model/var_cones.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vlt::model {

namespace {

constexpr int32_t kMaxCones = std::numeric_limits<int32_t>::max();

const char* type_name(int32_t ct) {
    switch (ct) {
        case VLT_CT_QUAD: return "quadratic cone";
        case VLT_CT_RQUAD: return "rotated quadratic cone";
        case VLT_CT_PEXP: return "primal exponential cone";
        case VLT_CT_DEXP: return "dual exponential cone";
        case VLT_CT_PPOW: return "primal power cone";
        case VLT_CT_DPOW: return "dual power cone";
        default: return "zero cone";
    }
}

std::string num(int64_t v) { return std::to_string(v); }

}  // namespace

int32_t cone_type_domain(int32_t ct) {
    switch (ct) {
        case VLT_CT_QUAD: return VLT_DOMAIN_QUADRATIC_CONE;
        case VLT_CT_RQUAD: return VLT_DOMAIN_RQUADRATIC_CONE;
        case VLT_CT_PEXP: return VLT_DOMAIN_PRIMAL_EXP_CONE;
        case VLT_CT_DEXP: return VLT_DOMAIN_DUAL_EXP_CONE;
        case VLT_CT_PPOW: return VLT_DOMAIN_PRIMAL_POWER_CONE;
        case VLT_CT_DPOW: return VLT_DOMAIN_DUAL_POWER_CONE;
        default: return VLT_DOMAIN_RZERO;
    }
}

void VarConeStore::put_max_num_cone(int32_t n) {
    check_count({"maxnumcone"}, n);
    max_num_cone_ = n;
}

void VarConeStore::check_cone_index(Arg arg, int32_t k) const {
    if (k < 0 || k >= num_cone())
        fail(VLT_RES_ERR_INDEX_CONE, "Argument " + arg.str() + " = " + num(k) + " is not a valid cone index (numcone = " +
                                         num(num_cone()) + ")");
}

void VarConeStore::check_shape(Arg ct_arg, int32_t ct, Arg par_arg, double conepar, Arg count_arg, int32_t nummem) {
    if (ct < VLT_CT_QUAD || ct > VLT_CT_ZERO)
        fail(VLT_RES_ERR_INVALID_CONE, "Argument " + ct_arg.str() + " = " + num(ct) +
                                           " is not a cone type (expected 0 to 6)");
    check_count(count_arg, nummem);
    int32_t least = 1, exact = -1;
    if (ct == VLT_CT_RQUAD || ct == VLT_CT_PPOW || ct == VLT_CT_DPOW) least = 2;
    if (ct == VLT_CT_PEXP || ct == VLT_CT_DEXP) exact = 3;
    if (exact >= 0 ? nummem != exact : nummem < least)
        fail(VLT_RES_ERR_INVALID_CONE, "Argument " + count_arg.str() + " = " + num(nummem) + ": a " + type_name(ct) +
                                           " has " + (exact >= 0 ? "exactly " + num(exact) : "at least " + num(least)) +
                                           " members");
    check_not_nan(par_arg, conepar);
    if ((ct == VLT_CT_PPOW || ct == VLT_CT_DPOW) && !(conepar > 0.0 && conepar < 1.0))
        fail(VLT_RES_ERR_INVALID_CONE, "Argument " + par_arg.str() + " = " + std::to_string(conepar) + ": the weight of a " +
                                           type_name(ct) + " lies strictly between 0 and 1");
}

void VarConeStore::check_members(int32_t nummem, const int32_t* submem, int32_t j, int32_t numvar, int32_t except,
                                 std::vector<char>& seen) const {
    if (seen.size() < size_t(numvar)) seen.resize(size_t(numvar), 0);
    auto clear = [&](int32_t upto) {
        for (int32_t t = 0; t < upto; ++t) seen[size_t(submem ? submem[t] : j + t)] = 0;
    };
    for (int32_t t = 0; t < nummem; ++t) {
        const int64_t v = submem ? int64_t{submem[t]} : int64_t{j} + t;
        if (v < 0 || v >= numvar) {
            clear(t);
            if (submem) fail_index(Item::Var, at("submem", t), v, numvar);
            fail(VLT_RES_ERR_INDEX_VAR, "Arguments j = " + num(j) + ", nummem = " + num(nummem) +
                                            " do not give variables within [0, numvar = " + num(numvar) + ")");
        }
        const int32_t var = int32_t(v);
        if (seen[size_t(var)]) {
            clear(t);
            fail(VLT_RES_ERR_DUPLICATE_INDEX, "Argument submem[" + num(t) + "] = " + num(var) +
                                                  " repeats a member of the same cone");
        }
        const int32_t other = cone_of(var);
        if (other >= 0 && other != except) {
            clear(t);
            fail(VLT_RES_ERR_INVALID_CONE, "Variable " + num(var) + " (member " + num(t) + ") is already a member of cone " +
                                               num(other) + "; a variable belongs to at most one cone");
        }
        seen[size_t(var)] = 1;
    }
    clear(nummem);
}

void VarConeStore::own(int32_t j, int32_t k) {
    if (owner_.size() <= size_t(j)) owner_.resize(size_t(j) + 1, -1);
    owner_[size_t(j)] = k;
}

void VarConeStore::push(int32_t ct, double conepar, int32_t nummem, const int32_t* submem, int32_t j) {
    const int32_t k = num_cone();
    names_.append(1);
    type_.push_back(ct);
    par_.push_back(conepar);
    for (int32_t t = 0; t < nummem; ++t) {
        const int32_t v = submem ? submem[t] : j + t;
        mem_.push_back(v);
        own(v, k);
    }
    start_.push_back(int64_t(mem_.size()));
}

void VarConeStore::append_cone(int32_t ct, double conepar, int32_t nummem, const int32_t* submem, int32_t numvar) {
    check_shape({"ct"}, ct, {"conepar"}, conepar, {"nummem"}, nummem);
    check_present(submem, "submem", "nummem", nummem);
    if (num_cone() == kMaxCones) fail(VLT_RES_ERR_SIZE_LIMIT, "The task has the largest number of cones possible");
    std::vector<char> seen;
    check_members(nummem, submem, 0, numvar, -1, seen);
    push(ct, conepar, nummem, submem, 0);
}

void VarConeStore::append_cone_seq(int32_t ct, double conepar, int32_t nummem, int32_t j, int32_t numvar) {
    check_shape({"ct"}, ct, {"conepar"}, conepar, {"nummem"}, nummem);
    if (num_cone() == kMaxCones) fail(VLT_RES_ERR_SIZE_LIMIT, "The task has the largest number of cones possible");
    std::vector<char> seen;
    check_members(nummem, nullptr, j, numvar, -1, seen);
    push(ct, conepar, nummem, nullptr, j);
}

void VarConeStore::append_cones_seq(int32_t num_cones, const int32_t* ct, const double* conepar,
                                    const int32_t* nummem, int32_t j, int32_t numvar) {
    check_count({"num"}, num_cones);
    check_present(ct, "ct", "num", num_cones);
    check_present(conepar, "conepar", "num", num_cones);
    check_present(nummem, "nummem", "num", num_cones);
    if (num_cones > kMaxCones - num_cone())
        fail(VLT_RES_ERR_SIZE_LIMIT, "Argument num = " + num(num_cones) + " would make more than " + num(kMaxCones) +
                                         " cones");
    int64_t total = 0;
    for (int32_t k = 0; k < num_cones; ++k) {
        check_shape(at("ct", k), ct[k], at("conepar", k), conepar[k], at("nummem", k), nummem[k]);
        total += nummem[k];
    }
    // The cones take the consecutive variables j, j + 1, ..., one run each.
    if (j < 0 || int64_t{j} + total > numvar)
        fail(VLT_RES_ERR_INDEX_VAR, "Arguments j = " + num(j) + " and the member counts (" + num(total) +
                                        " in all) do not give variables within [0, numvar = " + num(numvar) + ")");
    for (int64_t v = j; v < int64_t{j} + total; ++v)
        if (cone_of(int32_t(v)) >= 0)
            fail(VLT_RES_ERR_INVALID_CONE, "Variable " + num(v) + " is already a member of cone " +
                                               num(cone_of(int32_t(v))) + "; a variable belongs to at most one cone");
    int32_t next = j;
    for (int32_t k = 0; k < num_cones; ++k) {
        push(ct[k], conepar[k], nummem[k], nullptr, next);
        next += nummem[k];
    }
}

void VarConeStore::put_cone(int32_t k, int32_t ct, double conepar, int32_t nummem, const int32_t* submem,
                            int32_t numvar) {
    check_cone_index({"k"}, k);
    check_shape({"ct"}, ct, {"conepar"}, conepar, {"nummem"}, nummem);
    check_present(submem, "submem", "nummem", nummem);
    std::vector<char> seen;
    check_members(nummem, submem, 0, numvar, k, seen);
    const int64_t b = start_[size_t(k)], e = start_[size_t(k) + 1];
    for (int64_t t = b; t < e; ++t) owner_[size_t(mem_[size_t(t)])] = -1;
    mem_.erase(mem_.begin() + b, mem_.begin() + e);
    mem_.insert(mem_.begin() + b, submem, submem + nummem);
    const int64_t shift = int64_t{nummem} - (e - b);
    for (size_t c = size_t(k) + 1; c < start_.size(); ++c) start_[c] += shift;
    for (int32_t t = 0; t < nummem; ++t) own(submem[t], k);
    type_[size_t(k)] = ct;
    par_[size_t(k)] = conepar;
}

void VarConeStore::remove_cones(int32_t num_cones, const int32_t* subset) {
    check_count({"num"}, num_cones);
    check_present(subset, "subset", "num", num_cones);
    for (int32_t t = 0; t < num_cones; ++t) check_cone_index(at("subset", t), subset[t]);
    std::vector<char> keep(size_t(num_cone()), 1);
    for (int32_t t = 0; t < num_cones; ++t) keep[size_t(subset[t])] = 0;
    names_.compact(keep);
    size_t w = 0, wm = 0;
    for (size_t k = 0; k < keep.size(); ++k) {
        const int64_t b = start_[k], e = start_[k + 1];
        if (!keep[k]) continue;
        type_[w] = type_[k];
        par_[w] = par_[k];
        start_[w] = int64_t(wm);
        for (int64_t t = b; t < e; ++t) mem_[wm++] = mem_[size_t(t)];
        ++w;
    }
    type_.resize(w);
    par_.resize(w);
    start_.resize(w + 1);
    start_[w] = int64_t(wm);
    mem_.resize(wm);
    rebuild_owners();
}

void VarConeStore::rebuild_owners() {
    std::fill(owner_.begin(), owner_.end(), -1);
    for (int32_t k = 0; k < num_cone(); ++k)
        for (int64_t t = start_[size_t(k)]; t < start_[size_t(k) + 1]; ++t) own(mem_[size_t(t)], k);
}

void VarConeStore::get_cone_info(int32_t k, int32_t* ct, double* conepar, int32_t* nummem) const {
    check_cone_index({"k"}, k);
    if (ct) *ct = type_[size_t(k)];
    if (conepar) *conepar = par_[size_t(k)];
    if (nummem) *nummem = num_cone_mem(k);
}

void VarConeStore::get_cone(int32_t k, int32_t* ct, double* conepar, int32_t* nummem, int32_t* submem) const {
    get_cone_info(k, ct, conepar, nummem);
    if (submem) std::copy(mem_.begin() + start_[size_t(k)], mem_.begin() + start_[size_t(k) + 1], submem);
}

int32_t VarConeStore::num_cone_mem(int32_t k) const {
    check_cone_index({"k"}, k);
    return int32_t(start_[size_t(k) + 1] - start_[size_t(k)]);
}

std::string VarConeStore::member_error(const std::vector<char>& keep) const {
    for (size_t j = 0; j < keep.size() && j < owner_.size(); ++j)
        if (!keep[j] && owner_[j] >= 0)
            return "Variable " + num(int64_t(j)) + " is a member of cone " + num(owner_[j]) +
                   "; remove or replace the cone before removing the variable";
    return {};
}

void VarConeStore::renumber_vars(const std::vector<int32_t>& new_index) {
    if (mem_.empty()) return;
    for (int32_t& v : mem_) v = new_index[size_t(v)];
    owner_.clear();
    rebuild_owners();
}

void VarConeStore::clear() {
    type_.clear();
    par_.clear();
    start_.assign(1, 0);
    mem_.clear();
    owner_.clear();
    names_ = NameList();
}

void VarConeStore::export_to(ProblemData& d) const {
    for (int32_t k = 0; k < num_cone(); ++k) {
        const int32_t ct = type_[size_t(k)];
        // A power cone's weight a stands for the weights (a, 1 - a) of its first two members.
        std::vector<double> alpha;
        if (ct == VLT_CT_PPOW || ct == VLT_CT_DPOW) alpha = {par_[size_t(k)], 1.0 - par_[size_t(k)]};
        d.cones.push_back({cone_type_domain(ct), start_[size_t(k) + 1] - start_[size_t(k)], std::move(alpha)});
    }
    for (int32_t v : mem_) {
        d.fsub.push_back(v);
        d.fval.push_back(1.0);
        d.fptr.push_back(int64_t(d.fsub.size()));
        d.g.push_back(0.0);
    }
    d.var_cone_rows = num_members();
}

size_t VarConeStore::memory_bytes() const {
    return (type_.capacity() + mem_.capacity() + owner_.capacity()) * sizeof(int32_t) +
           (par_.capacity() + start_.capacity()) * 8 + names_.memory_bytes();
}

std::string VarConeStore::consistency_error(int32_t numvar) const {
    if (par_.size() != type_.size() || start_.size() != type_.size() + 1 || start_.back() != num_members())
        return "the cones on variables have arrays of different lengths";
    if (names_.size() != num_cone())
        return "there are " + num(names_.size()) + " cone names for " + num(num_cone()) + " cones";
    for (int32_t k = 0; k < num_cone(); ++k)
        for (int64_t t = start_[size_t(k)]; t < start_[size_t(k) + 1]; ++t) {
            const int32_t v = mem_[size_t(t)];
            if (v < 0 || v >= numvar)
                return "cone " + num(k) + " has member " + num(v) + " for " + num(numvar) + " variables";
            if (cone_of(v) != k) return "variable " + num(v) + " of cone " + num(k) + " is recorded for another cone";
        }
    return {};
}

}  // namespace vlt::model
