// The task's domains and affine conic constraints (ACCs).
//
// A domain is a set of a kind (VLT_DOMAIN_*) and a dimension n; power cones
// also carry their weights alpha.  An ACC ties a domain of dimension n to an
// ordered list of n AFE indexes and a constant vector b of the same length:
// it requires  (F[a_1,:] x + g[a_1] - b_1, ..., F[a_n,:] x + g[a_n] - b_n)
// to lie in the domain.  An AFE may appear in several ACCs and more than
// once in one ACC.
//
// Dimension rules of the domain kinds (VLT_RES_ERR_DIMENSION otherwise):
//   R, RZERO, RPLUS, RMINUS    n >= 0
//   QUADRATIC_CONE             n >= 1   x_1 >= ||x_2..n||
//   RQUADRATIC_CONE            n >= 2   2 x_1 x_2 >= ||x_3..n||^2, x_1, x_2 >= 0
//   PRIMAL/DUAL_EXP_CONE       n = 3    primal: x_1 >= x_2 exp(x_3 / x_2), x_2 > 0 (and
//                                       its closure); dual: its dual cone (the first
//                                       coordinate bounds, as in CBF files)
//   PRIMAL/DUAL_POWER_CONE     1 <= nleft <= n, every alpha finite and > 0
//                              (VLT_RES_ERR_INVALID_DOMAIN for alpha <= 0);
//                              the weights are kept as given, not normalised
//                              (the cone takes alpha / sum(alpha))
//   PRIMAL/DUAL_GEO_MEAN_CONE  n >= 2
//   SVEC_PSD_CONE              n = d(d+1)/2 for some d >= 1: the d x d
//                              symmetric matrices X with X >= 0 (positive
//                              semidefinite), as the lower triangle column
//                              by column, elements off the diagonal times
//                              sqrt 2 (so that x'y = <X, Y>)
//
// Choices:
//  - A null b means zeros (appends, puts, putaccb).
//  - b values must be finite.
//  - A list of ACC puts may name an ACC twice: the later one wins.
//  - The capacity calls (putmaxnumdomain, putmaxnumacc) are hints.
//  - Domains, ACCs and AFEs are never removed, so the indexes an ACC holds
//    stay valid.
//  - Domains and ACCs are born unnamed; their names (model/names.hpp) follow
//    appends and truncation.  Lookups by name are not offered for them.
//
// Every call checks all of its arguments before it changes anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/affine.hpp"
#include "model/names.hpp"
#include "model/problem_data.hpp"

namespace vlt::model {

class ConicStore {
public:
    // ------------------------------------------------------------ domains
    int64_t num_domain() const { return static_cast<int64_t>(domain_type_.size()); }
    void put_max_num_domain(int64_t n);
    // Checks the kind's dimension rules; returns the new domain's index.
    // alpha (nleft values) only for the power cones.
    int64_t append_domain(int32_t type, int64_t n, int64_t nleft = 0, const double* alpha = nullptr);
    int32_t domain_type(int64_t domidx) const;
    int64_t domain_n(int64_t domidx) const;
    void check_domain_index(Arg arg, int64_t domidx) const;
    // Throws VLT_RES_ERR_INVALID_DOMAIN for a domain that is not a power cone.
    void power_domain_info(int64_t domidx, int64_t* n, int64_t* nleft) const;
    void power_domain_alpha(int64_t domidx, double* alpha) const;
    // The caller checks the name's text (checked_name).
    void put_domain_name(int64_t domidx, std::string_view name);
    const std::string& get_domain_name(int64_t domidx) const;
    const NameList& domain_names() const { return domain_names_; }

    // --------------------------------------------------------------- ACCs
    int64_t num_acc() const { return static_cast<int64_t>(acc_domain_.size()); }
    int64_t num_acc_rows() const { return static_cast<int64_t>(acc_afe_.size()); }
    void put_max_num_acc(int64_t n);
    void append_acc(int64_t domidx, int64_t numafeidx, const int64_t* afeidxlist, const double* b, int64_t numafe);
    void append_accs(int64_t numaccs, const int64_t* domidxs, int64_t numafeidx, const int64_t* afeidxlist,
                     const double* b, int64_t numafe);
    void append_acc_seq(int64_t domidx, int64_t numafeidx, int64_t afeidxfirst, const double* b, int64_t numafe);
    void append_accs_seq(int64_t numaccs, const int64_t* domidxs, int64_t numafeidx, int64_t afeidxfirst,
                         const double* b, int64_t numafe);
    void put_acc(int64_t accidx, int64_t domidx, int64_t numafeidx, const int64_t* afeidxlist, const double* b,
                 int64_t numafe);
    void put_acc_list(int64_t numaccs, const int64_t* accidxs, const int64_t* domidxs, int64_t numafeidx,
                      const int64_t* afeidxlist, const double* b, int64_t numafe);
    void put_acc_b(int64_t accidx, int64_t lengthb, const double* b);
    void put_acc_bj(int64_t accidx, int64_t j, double bj);

    int64_t acc_domain(int64_t accidx) const;
    int64_t acc_n(int64_t accidx) const;
    // Null outputs are not written.
    void get_acc_afes(int64_t accidx, int64_t* afeidxlist) const;
    void get_acc_b(int64_t accidx, double* b) const;
    void get_accs(int64_t* domidxlist, int64_t* afeidxlist, double* b) const;

    void put_acc_name(int64_t accidx, std::string_view name);
    const std::string& get_acc_name(int64_t accidx) const;
    const NameList& acc_names() const { return acc_names_; }
    // Names sub[k] after names[k] (a repeated index: the last entry wins).
    // Every index is checked first; names holds num checked names.
    void check_acc_list(const char* name, int64_t num, const int64_t* sub) const;
    void put_acc_names(int64_t num, const int64_t* sub, const std::vector<std::string>& names);

    // The ACCs as one stack of rows: row r is the r-th AFE of all ACCs
    // together, with its F entries (in the AFE's order) and the constant
    // g[afe] - b.
    int64_t stacked_f_nnz(const AffineStore& afes) const;
    void stacked_f_triplets(const AffineStore& afes, int64_t* frow, int32_t* fcol, double* fval) const;
    void stacked_g(const AffineStore& afes, double* g) const;
    // The first stacked row of an ACC.
    int64_t acc_first_row(int64_t accidx) const;
    // F x + g - b of every stacked row (x: one value per variable).
    void stacked_activity(const AffineStore& afes, const double* x, double* activity) const;
    // Adds F'w to out (w: one value per stacked row, out: one per variable).
    void add_stacked_transpose_product(const AffineStore& afes, const double* w, double* out) const;

    // ------------------------------------------------ exchange form
    // Appends the stacked rows and one cone per ACC to d, after any rows d
    // already holds.
    void export_to(const AffineStore& afes, ProblemData& d) const;
    // Undoes appends: keeps the first domains and ACCs.
    void truncate(int64_t keep_domains, int64_t keep_accs);

    size_t memory_bytes() const;
    std::string consistency_error(int64_t numafe) const;

private:
    void check_acc_index(Arg arg, int64_t accidx) const;
    // The checks every ACC put shares: count, presence, AFE indexes, b.
    void check_acc_rows(int64_t numafeidx, const int64_t* afeidxlist, const double* b, int64_t numafe) const;
    // The domains of a list: valid, with dimensions adding up to numafeidx.
    void check_domain_list(int64_t numaccs, const int64_t* domidxs, int64_t numafeidx) const;
    void push_acc(int64_t domidx, int64_t n, const int64_t* afeidxlist, int64_t afeidxfirst, const double* b);

    std::vector<int32_t> domain_type_;
    std::vector<int64_t> domain_n_;
    std::vector<int64_t> alpha_start_{0};  // num_domain() + 1 positions into alpha_
    std::vector<double> alpha_;
    NameList domain_names_;

    std::vector<int64_t> acc_domain_;
    std::vector<int64_t> acc_start_{0};  // num_acc() + 1 positions into acc_afe_ and acc_b_
    std::vector<int64_t> acc_afe_;
    std::vector<double> acc_b_;
    NameList acc_names_;
};

// The conic part of exchange data, checked and converted: one AFE per
// stacked row, one domain and one ACC (b = 0) per cone (power cones with
// their weights).  Throws vlt::Error on data that does not fit the declared
// layout.
struct ConicImport {
    AffineStore afes;
    ConicStore cones;
};
ConicImport import_conic(const ProblemData& d);

}  // namespace vlt::model
