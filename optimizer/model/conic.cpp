#include "model/conic.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vlt::model {

namespace {

std::string num(int64_t v) { return std::to_string(v); }

const char* domain_name(int32_t type) {
    switch (type) {
        case VLT_DOMAIN_R: return "free domain";
        case VLT_DOMAIN_RZERO: return "zero domain";
        case VLT_DOMAIN_RPLUS: return "non-negative orthant";
        case VLT_DOMAIN_RMINUS: return "non-positive orthant";
        case VLT_DOMAIN_QUADRATIC_CONE: return "quadratic cone";
        case VLT_DOMAIN_RQUADRATIC_CONE: return "rotated quadratic cone";
        case VLT_DOMAIN_PRIMAL_EXP_CONE: return "primal exponential cone";
        case VLT_DOMAIN_DUAL_EXP_CONE: return "dual exponential cone";
        case VLT_DOMAIN_PRIMAL_POWER_CONE: return "primal power cone";
        case VLT_DOMAIN_DUAL_POWER_CONE: return "dual power cone";
        case VLT_DOMAIN_SVEC_PSD_CONE: return "scaled vectorized semidefinite cone";
        case VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE: return "primal geometric mean cone";
        case VLT_DOMAIN_DUAL_GEO_MEAN_CONE: return "dual geometric mean cone";
        default: return nullptr;
    }
}

bool is_power(int32_t type) { return type == VLT_DOMAIN_PRIMAL_POWER_CONE || type == VLT_DOMAIN_DUAL_POWER_CONE; }

[[noreturn]] void fail_dimension(int32_t type, int64_t n, const char* rule) {
    fail(VLT_RES_ERR_DIMENSION,
         std::string("Argument n = ") + num(n) + " is not a dimension of a " + domain_name(type) + " (" + rule + ")");
}

bool is_triangular(int64_t n) {
    // n = d(d+1)/2  <=>  8n + 1 is an odd square.
    if (n < 1 || n > (int64_t{1} << 60)) return false;
    auto root = static_cast<int64_t>(std::llround(std::sqrt(static_cast<double>(8 * n + 1))));
    for (int64_t r = std::max<int64_t>(root - 1, 1); r <= root + 1; ++r)
        if (r * r == 8 * n + 1) return true;
    return false;
}

// The dimension rules of the domain kinds, and alpha of the power cones.
void check_domain(int32_t type, int64_t n, int64_t nleft, const double* alpha) {
    if (!domain_name(type))
        fail(VLT_RES_ERR_INVALID_DOMAIN, "Domain type " + num(type) + " is not a kind of domain");
    switch (type) {
        case VLT_DOMAIN_R:
        case VLT_DOMAIN_RZERO:
        case VLT_DOMAIN_RPLUS:
        case VLT_DOMAIN_RMINUS:
            if (n < 0) fail_dimension(type, n, "n >= 0");
            break;
        case VLT_DOMAIN_QUADRATIC_CONE:
            if (n < 1) fail_dimension(type, n, "n >= 1");
            break;
        case VLT_DOMAIN_RQUADRATIC_CONE:
            if (n < 2) fail_dimension(type, n, "n >= 2");
            break;
        case VLT_DOMAIN_PRIMAL_EXP_CONE:
        case VLT_DOMAIN_DUAL_EXP_CONE:
            if (n != 3) fail_dimension(type, n, "n = 3");
            break;
        case VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE:
        case VLT_DOMAIN_DUAL_GEO_MEAN_CONE:
            if (n < 2) fail_dimension(type, n, "n >= 2");
            break;
        case VLT_DOMAIN_SVEC_PSD_CONE:
            if (!is_triangular(n)) fail_dimension(type, n, "n = d(d+1)/2 for some d >= 1");
            break;
        default:  // the power cones
            if (n < 1) fail_dimension(type, n, "n >= 1");
            if (nleft < 1 || nleft > n)
                fail(VLT_RES_ERR_DIMENSION, "Argument nleft = " + num(nleft) + " does not fit a " +
                                                domain_name(type) + " of dimension n = " + num(n) +
                                                " (1 <= nleft <= n)");
            check_present(alpha, "alpha", "nleft", nleft);
            check_finite_array("alpha", nleft, alpha);
            for (int64_t k = 0; k < nleft; ++k)
                if (!(alpha[k] > 0))
                    fail(VLT_RES_ERR_INVALID_DOMAIN, "Argument alpha[" + num(k) + "] = " + std::to_string(alpha[k]) +
                                                         " is not positive");
    }
}

}  // namespace

// ---------------------------------------------------------------- domains

void ConicStore::check_domain_index(Arg arg, int64_t domidx) const {
    if (domidx < 0 || domidx >= num_domain())
        fail(VLT_RES_ERR_INDEX_DOMAIN, "Argument " + arg.str() + " = " + num(domidx) +
                                           " is not a valid domain index (numdomain = " + num(num_domain()) + ")");
}

void ConicStore::put_max_num_domain(int64_t n) {
    check_count({"maxnumdomain"}, n);
    const auto reserve = static_cast<size_t>(std::min(n, num_domain() + (int64_t{1} << 20)));
    domain_type_.reserve(reserve);
    domain_n_.reserve(reserve);
    alpha_start_.reserve(reserve + 1);
}

int64_t ConicStore::append_domain(int32_t type, int64_t n, int64_t nleft, const double* alpha) {
    check_domain(type, n, nleft, alpha);
    if (!is_power(type)) nleft = 0;
    domain_type_.reserve(domain_type_.size() + 1);
    domain_n_.reserve(domain_n_.size() + 1);
    alpha_start_.reserve(alpha_start_.size() + 1);
    alpha_.reserve(alpha_.size() + static_cast<size_t>(nleft));
    domain_names_.append(1);
    // Nothing below allocates.
    domain_type_.push_back(type);
    domain_n_.push_back(n);
    if (nleft > 0) alpha_.insert(alpha_.end(), alpha, alpha + nleft);
    alpha_start_.push_back(static_cast<int64_t>(alpha_.size()));
    return num_domain() - 1;
}

int32_t ConicStore::domain_type(int64_t domidx) const {
    check_domain_index({"domidx"}, domidx);
    return domain_type_[domidx];
}

int64_t ConicStore::domain_n(int64_t domidx) const {
    check_domain_index({"domidx"}, domidx);
    return domain_n_[domidx];
}

void ConicStore::power_domain_info(int64_t domidx, int64_t* n, int64_t* nleft) const {
    check_domain_index({"domidx"}, domidx);
    if (!is_power(domain_type_[domidx]))
        fail(VLT_RES_ERR_INVALID_DOMAIN, "Domain " + num(domidx) + " is a " + domain_name(domain_type_[domidx]) +
                                             ", not a power cone");
    if (n) *n = domain_n_[domidx];
    if (nleft) *nleft = alpha_start_[domidx + 1] - alpha_start_[domidx];
}

void ConicStore::power_domain_alpha(int64_t domidx, double* alpha) const {
    power_domain_info(domidx, nullptr, nullptr);
    if (alpha) std::copy(alpha_.begin() + alpha_start_[domidx], alpha_.begin() + alpha_start_[domidx + 1], alpha);
}

void ConicStore::put_domain_name(int64_t domidx, std::string_view name) {
    check_domain_index({"domidx"}, domidx);
    domain_names_.put(domidx, name);
}

const std::string& ConicStore::get_domain_name(int64_t domidx) const {
    check_domain_index({"domidx"}, domidx);
    return domain_names_.get(domidx);
}

// ------------------------------------------------------------------- ACCs

void ConicStore::check_acc_index(Arg arg, int64_t accidx) const {
    if (accidx < 0 || accidx >= num_acc())
        fail(VLT_RES_ERR_INDEX_ACC, "Argument " + arg.str() + " = " + num(accidx) +
                                        " is not a valid affine conic constraint index (numacc = " + num(num_acc()) +
                                        ")");
}

void ConicStore::put_max_num_acc(int64_t n) {
    check_count({"maxnumacc"}, n);
    const auto reserve = static_cast<size_t>(std::min(n, num_acc() + (int64_t{1} << 20)));
    acc_domain_.reserve(reserve);
    acc_start_.reserve(reserve + 1);
}

void ConicStore::check_acc_rows(int64_t numafeidx, const int64_t* afeidxlist, const double* b,
                                int64_t numafe) const {
    check_present(afeidxlist, "afeidxlist", "numafeidx", numafeidx);
    for (int64_t k = 0; k < numafeidx; ++k) check_afe_index(at("afeidxlist", k), afeidxlist[k], numafe);
    if (b) check_finite_array("b", numafeidx, b);
}

void ConicStore::check_domain_list(int64_t numaccs, const int64_t* domidxs, int64_t numafeidx) const {
    check_count({"numaccs"}, numaccs);
    check_present(domidxs, "domidxs", "numaccs", numaccs);
    int64_t total = 0;
    for (int64_t k = 0; k < numaccs; ++k) {
        check_domain_index(at("domidxs", k), domidxs[k]);
        total += domain_n_[domidxs[k]];
    }
    if (total != numafeidx)
        fail(VLT_RES_ERR_DIMENSION, "Argument numafeidx = " + num(numafeidx) +
                                        " differs from the sum of the dimensions of the domains domidxs (" +
                                        num(total) + ")");
}

// Appends one ACC from afeidxlist, or from the sequence afeidxfirst, ...
// when the list is null.  Callers have reserved room.
void ConicStore::push_acc(int64_t domidx, int64_t n, const int64_t* afeidxlist, int64_t afeidxfirst,
                          const double* b) {
    acc_domain_.push_back(domidx);
    for (int64_t k = 0; k < n; ++k) {
        acc_afe_.push_back(afeidxlist ? afeidxlist[k] : afeidxfirst + k);
        acc_b_.push_back(b ? b[k] : 0.0);
    }
    acc_start_.push_back(static_cast<int64_t>(acc_afe_.size()));
}

namespace {
void check_dimension_matches(int64_t numafeidx, int64_t n, int64_t domidx) {
    if (numafeidx != n)
        fail(VLT_RES_ERR_DIMENSION, "Argument numafeidx = " + num(numafeidx) + " differs from the dimension " +
                                        num(n) + " of domain " + num(domidx));
}
void check_sequence(int64_t afeidxfirst, int64_t numafeidx, int64_t numafe) {
    if (afeidxfirst < 0 || afeidxfirst > numafe - numafeidx)
        fail(VLT_RES_ERR_INDEX_AFE, "Arguments afeidxfirst = " + num(afeidxfirst) + ", numafeidx = " +
                                        num(numafeidx) + " reach outside the affine expressions (numafe = " +
                                        num(numafe) + ")");
}
}  // namespace

void ConicStore::append_acc(int64_t domidx, int64_t numafeidx, const int64_t* afeidxlist, const double* b,
                            int64_t numafe) {
    check_domain_index({"domidx"}, domidx);
    check_count({"numafeidx"}, numafeidx);
    check_dimension_matches(numafeidx, domain_n_[domidx], domidx);
    check_acc_rows(numafeidx, afeidxlist, b, numafe);
    append_accs(1, &domidx, numafeidx, afeidxlist, b, numafe);
}

void ConicStore::append_accs(int64_t numaccs, const int64_t* domidxs, int64_t numafeidx, const int64_t* afeidxlist,
                             const double* b, int64_t numafe) {
    check_count({"numafeidx"}, numafeidx);
    check_domain_list(numaccs, domidxs, numafeidx);
    check_acc_rows(numafeidx, afeidxlist, b, numafe);
    acc_domain_.reserve(acc_domain_.size() + numaccs);
    acc_start_.reserve(acc_start_.size() + numaccs);
    acc_afe_.reserve(acc_afe_.size() + numafeidx);
    acc_b_.reserve(acc_b_.size() + numafeidx);
    acc_names_.append(numaccs);
    // Nothing below allocates.
    for (int64_t k = 0, at = 0; k < numaccs; at += domain_n_[domidxs[k]], ++k)
        push_acc(domidxs[k], domain_n_[domidxs[k]], afeidxlist + at, 0, b ? b + at : nullptr);
}

void ConicStore::append_acc_seq(int64_t domidx, int64_t numafeidx, int64_t afeidxfirst, const double* b,
                                int64_t numafe) {
    check_domain_index({"domidx"}, domidx);
    check_count({"numafeidx"}, numafeidx);
    check_dimension_matches(numafeidx, domain_n_[domidx], domidx);
    append_accs_seq(1, &domidx, numafeidx, afeidxfirst, b, numafe);
}

void ConicStore::append_accs_seq(int64_t numaccs, const int64_t* domidxs, int64_t numafeidx, int64_t afeidxfirst,
                                 const double* b, int64_t numafe) {
    check_count({"numafeidx"}, numafeidx);
    check_domain_list(numaccs, domidxs, numafeidx);
    check_sequence(afeidxfirst, numafeidx, numafe);
    if (b) check_finite_array("b", numafeidx, b);
    acc_domain_.reserve(acc_domain_.size() + numaccs);
    acc_start_.reserve(acc_start_.size() + numaccs);
    acc_afe_.reserve(acc_afe_.size() + numafeidx);
    acc_b_.reserve(acc_b_.size() + numafeidx);
    acc_names_.append(numaccs);
    // Nothing below allocates.
    for (int64_t k = 0, at = 0; k < numaccs; at += domain_n_[domidxs[k]], ++k)
        push_acc(domidxs[k], domain_n_[domidxs[k]], nullptr, afeidxfirst + at, b ? b + at : nullptr);
}

void ConicStore::put_acc(int64_t accidx, int64_t domidx, int64_t numafeidx, const int64_t* afeidxlist,
                         const double* b, int64_t numafe) {
    check_acc_index({"accidx"}, accidx);
    check_domain_index({"domidx"}, domidx);
    check_count({"numafeidx"}, numafeidx);
    check_dimension_matches(numafeidx, domain_n_[domidx], domidx);
    check_acc_rows(numafeidx, afeidxlist, b, numafe);
    put_acc_list(1, &accidx, &domidx, numafeidx, afeidxlist, b, numafe);
}

void ConicStore::put_acc_list(int64_t numaccs, const int64_t* accidxs, const int64_t* domidxs, int64_t numafeidx,
                              const int64_t* afeidxlist, const double* b, int64_t numafe) {
    check_count({"numafeidx"}, numafeidx);
    check_domain_list(numaccs, domidxs, numafeidx);
    check_present(accidxs, "accidxs", "numaccs", numaccs);
    for (int64_t k = 0; k < numaccs; ++k) check_acc_index(at("accidxs", k), accidxs[k]);
    check_acc_rows(numafeidx, afeidxlist, b, numafe);
    // Which put (the last naming it) replaces each ACC, and where its rows start.
    std::vector<int64_t> put_of(static_cast<size_t>(num_acc()), -1), put_at(static_cast<size_t>(numaccs));
    for (int64_t k = 0, at = 0; k < numaccs; at += domain_n_[domidxs[k]], ++k) {
        put_of[accidxs[k]] = k;
        put_at[k] = at;
    }
    // Rebuild the row arrays once, in ACC order.
    int64_t rows = 0;
    for (int64_t a = 0; a < num_acc(); ++a)
        rows += put_of[a] >= 0 ? domain_n_[domidxs[put_of[a]]] : acc_start_[a + 1] - acc_start_[a];
    std::vector<int64_t> start(static_cast<size_t>(num_acc()) + 1), afes(static_cast<size_t>(rows));
    std::vector<double> bs(static_cast<size_t>(rows));
    int64_t w = 0;
    for (int64_t a = 0; a < num_acc(); ++a) {
        start[a] = w;
        const int64_t k = put_of[a];
        if (k < 0) {
            for (int64_t r = acc_start_[a]; r < acc_start_[a + 1]; ++r, ++w) {
                afes[w] = acc_afe_[r];
                bs[w] = acc_b_[r];
            }
        } else {
            for (int64_t r = 0; r < domain_n_[domidxs[k]]; ++r, ++w) {
                afes[w] = afeidxlist[put_at[k] + r];
                bs[w] = b ? b[put_at[k] + r] : 0.0;
            }
        }
    }
    start[num_acc()] = w;
    for (int64_t a = 0; a < num_acc(); ++a)
        if (put_of[a] >= 0) acc_domain_[a] = domidxs[put_of[a]];
    acc_start_ = std::move(start);
    acc_afe_ = std::move(afes);
    acc_b_ = std::move(bs);
}

void ConicStore::put_acc_b(int64_t accidx, int64_t lengthb, const double* b) {
    check_acc_index({"accidx"}, accidx);
    check_count({"lengthb"}, lengthb);
    const int64_t n = acc_start_[accidx + 1] - acc_start_[accidx];
    if (lengthb != n)
        fail(VLT_RES_ERR_DIMENSION, "Argument lengthb = " + num(lengthb) + " differs from the dimension " + num(n) +
                                        " of affine conic constraint " + num(accidx));
    if (b) check_finite_array("b", lengthb, b);
    for (int64_t r = 0; r < n; ++r) acc_b_[acc_start_[accidx] + r] = b ? b[r] : 0.0;
}

void ConicStore::put_acc_bj(int64_t accidx, int64_t j, double bj) {
    check_acc_index({"accidx"}, accidx);
    const int64_t n = acc_start_[accidx + 1] - acc_start_[accidx];
    if (j < 0 || j >= n)
        fail(VLT_RES_ERR_INDEX, "Argument j = " + num(j) + " is not a position within affine conic constraint " +
                                    num(accidx) + " of dimension " + num(n));
    check_finite({"bj"}, bj);
    acc_b_[acc_start_[accidx] + j] = bj;
}

int64_t ConicStore::acc_domain(int64_t accidx) const {
    check_acc_index({"accidx"}, accidx);
    return acc_domain_[accidx];
}

int64_t ConicStore::acc_n(int64_t accidx) const {
    check_acc_index({"accidx"}, accidx);
    return acc_start_[accidx + 1] - acc_start_[accidx];
}

void ConicStore::get_acc_afes(int64_t accidx, int64_t* afeidxlist) const {
    check_acc_index({"accidx"}, accidx);
    if (afeidxlist)
        std::copy(acc_afe_.begin() + acc_start_[accidx], acc_afe_.begin() + acc_start_[accidx + 1], afeidxlist);
}

void ConicStore::get_acc_b(int64_t accidx, double* b) const {
    check_acc_index({"accidx"}, accidx);
    if (b) std::copy(acc_b_.begin() + acc_start_[accidx], acc_b_.begin() + acc_start_[accidx + 1], b);
}

void ConicStore::get_accs(int64_t* domidxlist, int64_t* afeidxlist, double* b) const {
    if (domidxlist) std::copy(acc_domain_.begin(), acc_domain_.end(), domidxlist);
    if (afeidxlist) std::copy(acc_afe_.begin(), acc_afe_.end(), afeidxlist);
    if (b) std::copy(acc_b_.begin(), acc_b_.end(), b);
}

void ConicStore::put_acc_name(int64_t accidx, std::string_view name) {
    check_acc_index({"accidx"}, accidx);
    acc_names_.put(accidx, name);
}

const std::string& ConicStore::get_acc_name(int64_t accidx) const {
    check_acc_index({"accidx"}, accidx);
    return acc_names_.get(accidx);
}

void ConicStore::check_acc_list(const char* name, int64_t num, const int64_t* sub) const {
    check_count({"num"}, num);
    check_present(sub, name, "num", num);
    for (int64_t k = 0; k < num; ++k) check_acc_index(at(name, k), sub[k]);
}

void ConicStore::put_acc_names(int64_t num, const int64_t* sub, const std::vector<std::string>& names) {
    for (int64_t k = 0; k < num; ++k) acc_names_.put(sub[k], names[static_cast<size_t>(k)]);
}

// ------------------------------------------------------------ stacked rows

int64_t ConicStore::stacked_f_nnz(const AffineStore& afes) const {
    int64_t nz = 0;
    for (int64_t afe : acc_afe_) nz += afes.length(afe);
    return nz;
}

void ConicStore::stacked_f_triplets(const AffineStore& afes, int64_t* frow, int32_t* fcol, double* fval) const {
    int64_t at = 0;
    for (int64_t r = 0; r < num_acc_rows(); ++r) {
        const int64_t afe = acc_afe_[r];
        const int32_t n = afes.length(afe);
        if (frow) std::fill(frow + at, frow + at + n, r);
        if (fcol) std::copy(afes.cols(afe), afes.cols(afe) + n, fcol + at);
        if (fval) std::copy(afes.vals(afe), afes.vals(afe) + n, fval + at);
        at += n;
    }
}

void ConicStore::stacked_g(const AffineStore& afes, double* g) const {
    if (!g) return;
    for (int64_t r = 0; r < num_acc_rows(); ++r) g[r] = afes.g(acc_afe_[r]) - acc_b_[r];
}

int64_t ConicStore::acc_first_row(int64_t accidx) const {
    check_acc_index({"accidx"}, accidx);
    return acc_start_[accidx];
}

void ConicStore::stacked_activity(const AffineStore& afes, const double* x, double* activity) const {
    for (int64_t r = 0; r < num_acc_rows(); ++r) {
        const int64_t afe = acc_afe_[r];
        const int32_t* cols = afes.cols(afe);
        const double* vals = afes.vals(afe);
        double sum = afes.g(afe) - acc_b_[r];
        for (int32_t k = 0; k < afes.length(afe); ++k) sum += vals[k] * x[cols[k]];
        activity[r] = sum;
    }
}

void ConicStore::add_stacked_transpose_product(const AffineStore& afes, const double* w, double* out) const {
    for (int64_t r = 0; r < num_acc_rows(); ++r) {
        const int64_t afe = acc_afe_[r];
        const int32_t* cols = afes.cols(afe);
        const double* vals = afes.vals(afe);
        for (int32_t k = 0; k < afes.length(afe); ++k) out[cols[k]] += vals[k] * w[r];
    }
}

void ConicStore::export_to(const AffineStore& afes, ProblemData& d) const {
    // d may already hold rows (the cones on variables): the ACCs' rows follow them.
    const int64_t rows = num_acc_rows(), nz = stacked_f_nnz(afes);
    const size_t row0 = size_t(d.num_conic_rows()), nz0 = d.fsub.size();
    d.cones.reserve(d.cones.size() + static_cast<size_t>(num_acc()));
    for (int64_t a = 0; a < num_acc(); ++a) {
        const int64_t dom = acc_domain_[a];
        d.cones.push_back({domain_type_[dom], acc_start_[a + 1] - acc_start_[a],
                           std::vector<double>(alpha_.begin() + alpha_start_[dom],
                                               alpha_.begin() + alpha_start_[dom + 1])});
    }
    d.fptr.resize(row0 + static_cast<size_t>(rows) + 1);
    for (int64_t r = 0; r < rows; ++r) d.fptr[row0 + r + 1] = d.fptr[row0 + r] + afes.length(acc_afe_[r]);
    d.fsub.resize(nz0 + static_cast<size_t>(nz));
    d.fval.resize(nz0 + static_cast<size_t>(nz));
    d.g.resize(row0 + static_cast<size_t>(rows));
    stacked_f_triplets(afes, nullptr, d.fsub.data() + nz0, d.fval.data() + nz0);
    stacked_g(afes, d.g.data() + row0);
}

void ConicStore::truncate(int64_t keep_domains, int64_t keep_accs) {
    if (keep_accs < num_acc()) {
        acc_domain_.resize(static_cast<size_t>(keep_accs));
        acc_start_.resize(static_cast<size_t>(keep_accs) + 1);
        acc_afe_.resize(static_cast<size_t>(acc_start_.back()));
        acc_b_.resize(static_cast<size_t>(acc_start_.back()));
        acc_names_.resize(keep_accs);
    }
    if (keep_domains < num_domain()) {
        domain_type_.resize(static_cast<size_t>(keep_domains));
        domain_n_.resize(static_cast<size_t>(keep_domains));
        alpha_start_.resize(static_cast<size_t>(keep_domains) + 1);
        alpha_.resize(static_cast<size_t>(alpha_start_.back()));
        domain_names_.resize(keep_domains);
    }
}

size_t ConicStore::memory_bytes() const {
    return domain_type_.capacity() * sizeof(int32_t) +
           (domain_n_.capacity() + alpha_start_.capacity() + acc_domain_.capacity() + acc_start_.capacity() +
            acc_afe_.capacity()) * sizeof(int64_t) +
           (alpha_.capacity() + acc_b_.capacity()) * sizeof(double) + domain_names_.memory_bytes() +
           acc_names_.memory_bytes();
}

std::string ConicStore::consistency_error(int64_t numafe) const {
    if (domain_n_.size() != domain_type_.size() || alpha_start_.size() != domain_type_.size() + 1)
        return "the domain arrays differ in length";
    if (acc_start_.size() != acc_domain_.size() + 1 || acc_start_.back() != num_acc_rows() ||
        acc_b_.size() != acc_afe_.size())
        return "the affine conic constraint arrays differ in length";
    if (domain_names_.size() != num_domain())
        return "there are " + num(domain_names_.size()) + " domain names for " + num(num_domain()) + " domains";
    if (acc_names_.size() != num_acc())
        return "there are " + num(acc_names_.size()) + " affine conic constraint names for " + num(num_acc()) +
               " affine conic constraints";
    for (int64_t a = 0; a < num_acc(); ++a) {
        if (acc_domain_[a] < 0 || acc_domain_[a] >= num_domain())
            return "affine conic constraint " + num(a) + " refers to domain " + num(acc_domain_[a]);
        if (acc_start_[a + 1] - acc_start_[a] != domain_n_[acc_domain_[a]])
            return "affine conic constraint " + num(a) + " does not have the dimension of its domain";
    }
    for (int64_t afe : acc_afe_)
        if (afe < 0 || afe >= numafe) return "an affine conic constraint refers to affine expression " + num(afe);
    return {};
}

// ------------------------------------------------------------- import

ConicImport import_conic(const ProblemData& d) {
    auto bad = [](const std::string& what) { fail(VLT_RES_ERR_DIMENSION, "Problem data: " + what); };
    ConicImport out;
    // Readers that never touch the conic part may leave fptr empty.
    if (d.fptr.empty() && d.cones.empty() && d.fsub.empty() && d.g.empty()) return out;
    const int64_t rows = d.num_conic_rows();
    if (rows < 0) bad("fptr is empty");
    if (d.fptr[0] != 0) bad("fptr[0] = " + num(d.fptr[0]) + " is not 0");
    if (static_cast<int64_t>(d.g.size()) != rows)
        bad("g has " + num(static_cast<int64_t>(d.g.size())) + " elements for " + num(rows) + " conic rows");
    if (d.fval.size() != d.fsub.size()) bad("fval and fsub differ in length");
    for (int64_t r = 0; r < rows; ++r)
        if (d.fptr[r + 1] < d.fptr[r] || d.fptr[r + 1] > static_cast<int64_t>(d.fsub.size()))
            fail(VLT_RES_ERR_INVALID_PTR, "Problem data: fptr[" + num(r + 1) + "] = " + num(d.fptr[r + 1]) +
                                              " is out of order or beyond fsub");
    if (d.fptr[rows] != static_cast<int64_t>(d.fsub.size())) bad("fptr does not end at the length of fsub");
    int64_t covered = 0;
    for (const ProblemData::Cone& cone : d.cones) {
        if (is_power(cone.domain) != !cone.alpha.empty())
            fail(VLT_RES_ERR_INVALID_DOMAIN, is_power(cone.domain) ? "Problem data: a power cone without its weights"
                                                                   : "Problem data: only power cones have weights");
        check_domain(cone.domain, cone.dim, int64_t(cone.alpha.size()), cone.alpha.data());
        covered += cone.dim;
    }
    if (covered != rows) bad("the cones cover " + num(covered) + " rows of " + num(rows));

    out.afes.put_max_num(rows);
    for (int64_t r = 0; r < rows; ++r) {
        const int64_t first = d.fptr[r], n = d.fptr[r + 1] - first;
        if (n > std::numeric_limits<int32_t>::max()) bad("conic row " + num(r) + " is too long");
        out.afes.append(1);
        // put_row checks the indexes, the values and repeated columns.
        out.afes.put_row(r, static_cast<int32_t>(n), d.fsub.data() + first, d.fval.data() + first, d.numvar);
        out.afes.put_g(r, d.g[r]);
    }
    int64_t at = 0;
    for (const ProblemData::Cone& cone : d.cones) {
        int64_t dom = out.cones.append_domain(cone.domain, cone.dim, int64_t(cone.alpha.size()), cone.alpha.data());
        out.cones.append_acc_seq(dom, cone.dim, at, nullptr, rows);
        at += cone.dim;
    }
    return out;
}

}  // namespace vlt::model
