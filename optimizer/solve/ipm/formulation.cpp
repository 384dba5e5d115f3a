#include "solve/ipm/formulation.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <tuple>

namespace vlt::solve::ipm {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

bool is_linear_domain(int32_t domain) {
    return domain == VLT_DOMAIN_R || domain == VLT_DOMAIN_RZERO || domain == VLT_DOMAIN_RPLUS ||
           domain == VLT_DOMAIN_RMINUS;
}

bool has_lower(int32_t bk) { return bk == VLT_BK_LO || bk == VLT_BK_FX || bk == VLT_BK_RA; }
bool has_upper(int32_t bk) { return bk == VLT_BK_UP || bk == VLT_BK_FX || bk == VLT_BK_RA; }

struct Bad {
    int32_t code;
    std::string message;
};

void check_bounds(const char* what, const std::vector<int32_t>& bk, const std::vector<double>& bl,
                  const std::vector<double>& bu, size_t count) {
    if (bk.size() != count || bl.size() != count || bu.size() != count)
        throw Bad{VLT_RES_ERR_DIMENSION, std::string("the ") + what + " bound arrays do not match the problem size"};
    for (size_t i = 0; i < count; ++i) {
        if (bk[i] < VLT_BK_LO || bk[i] > VLT_BK_RA)
            throw Bad{VLT_RES_ERR_INVALID_BOUNDKEY, std::string("invalid bound key of ") + what + " " + std::to_string(i)};
        if ((has_lower(bk[i]) && std::isnan(bl[i])) || (has_upper(bk[i]) && std::isnan(bu[i])))
            throw Bad{VLT_RES_ERR_NAN_VALUE, std::string("NaN bound of ") + what + " " + std::to_string(i)};
        if ((has_lower(bk[i]) && bl[i] == kInf) || (has_upper(bk[i]) && bu[i] == -kInf))
            throw Bad{VLT_RES_ERR_INF_VALUE, std::string("infinite bound on the wrong side of ") + what + " " +
                                                 std::to_string(i)};
    }
}

void validate(const model::ProblemData& d) {
    if (d.numcon < 0 || d.numvar < 0) throw Bad{VLT_RES_ERR_NEGATIVE_COUNT, "negative problem size"};
    const size_t m = size_t(d.numcon), n = size_t(d.numvar);
    if (d.sense != VLT_OBJECTIVE_SENSE_MINIMIZE && d.sense != VLT_OBJECTIVE_SENSE_MAXIMIZE)
        throw Bad{VLT_RES_ERR_INVALID_OBJSENSE, "invalid objective sense"};
    if (d.c.size() != n) throw Bad{VLT_RES_ERR_DIMENSION, "the objective has the wrong length"};
    if (std::isnan(d.cfix) || std::isinf(d.cfix)) throw Bad{VLT_RES_ERR_NAN_VALUE, "the objective constant is not finite"};
    for (size_t j = 0; j < n; ++j)
        if (!std::isfinite(d.c[j])) throw Bad{VLT_RES_ERR_NAN_VALUE, "objective coefficient " + std::to_string(j) + " is not finite"};
    check_bounds("constraint", d.bkc, d.blc, d.buc, m);
    check_bounds("variable", d.bkx, d.blx, d.bux, n);
    if (d.aptr.size() != n + 1 || d.aptr[0] != 0) throw Bad{VLT_RES_ERR_INVALID_PTR, "the column pointers of A are malformed"};
    for (size_t j = 0; j < n; ++j)
        if (d.aptr[j + 1] < d.aptr[j]) throw Bad{VLT_RES_ERR_INVALID_PTR, "the column pointers of A decrease"};
    if (size_t(d.aptr[n]) != d.asub.size() || d.asub.size() != d.aval.size())
        throw Bad{VLT_RES_ERR_INVALID_PTR, "the column pointers of A do not match its entries"};
    std::vector<int64_t> seen(m, -1);
    for (size_t j = 0; j < n; ++j)
        for (int64_t p = d.aptr[j]; p < d.aptr[j + 1]; ++p) {
            int32_t i = d.asub[size_t(p)];
            if (i < 0 || size_t(i) >= m) throw Bad{VLT_RES_ERR_INDEX_CON, "row index out of range in column " + std::to_string(j)};
            if (!std::isfinite(d.aval[size_t(p)])) throw Bad{VLT_RES_ERR_NAN_VALUE, "non-finite entry of A in column " + std::to_string(j)};
            if (seen[size_t(i)] == int64_t(j)) throw Bad{VLT_RES_ERR_DUPLICATE_INDEX, "repeated row index in column " + std::to_string(j)};
            seen[size_t(i)] = int64_t(j);
        }
    if (d.qosubi.size() != d.qosubj.size() || d.qosubi.size() != d.qoval.size())
        throw Bad{VLT_RES_ERR_DIMENSION, "the quadratic objective arrays differ in length"};
    for (size_t k = 0; k < d.qoval.size(); ++k) {
        if (d.qosubi[k] < 0 || d.qosubj[k] < 0 || size_t(d.qosubi[k]) >= n || size_t(d.qosubj[k]) >= n)
            throw Bad{VLT_RES_ERR_INDEX_VAR, "quadratic objective index out of range"};
        if (d.qosubi[k] < d.qosubj[k]) throw Bad{VLT_RES_ERR_ARGUMENT, "quadratic objective entry above the diagonal"};
        if (!std::isfinite(d.qoval[k])) throw Bad{VLT_RES_ERR_NAN_VALUE, "non-finite quadratic objective entry"};
    }
    const int64_t rows = d.num_conic_rows();
    if (rows < 0 || d.fptr.empty() || d.fptr[0] != 0) throw Bad{VLT_RES_ERR_INVALID_PTR, "the conic row pointers are malformed"};
    for (int64_t r = 0; r < rows; ++r)
        if (d.fptr[size_t(r) + 1] < d.fptr[size_t(r)]) throw Bad{VLT_RES_ERR_INVALID_PTR, "the conic row pointers decrease"};
    if (size_t(d.fptr[size_t(rows)]) != d.fsub.size() || d.fsub.size() != d.fval.size() || d.g.size() != size_t(rows))
        throw Bad{VLT_RES_ERR_INVALID_PTR, "the conic row arrays do not match"};
    std::vector<int64_t> seen_col(n, -1);
    for (int64_t r = 0; r < rows; ++r) {
        if (!std::isfinite(d.g[size_t(r)])) throw Bad{VLT_RES_ERR_NAN_VALUE, "non-finite constant of conic row " + std::to_string(r)};
        for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p) {
            int32_t j = d.fsub[size_t(p)];
            if (j < 0 || size_t(j) >= n) throw Bad{VLT_RES_ERR_INDEX_VAR, "column index out of range in conic row " + std::to_string(r)};
            if (!std::isfinite(d.fval[size_t(p)])) throw Bad{VLT_RES_ERR_NAN_VALUE, "non-finite entry in conic row " + std::to_string(r)};
            if (seen_col[size_t(j)] == r) throw Bad{VLT_RES_ERR_DUPLICATE_INDEX, "repeated column index in conic row " + std::to_string(r)};
            seen_col[size_t(j)] = r;
        }
    }
    int64_t total = 0;
    for (const auto& c : d.cones) {
        if (c.dim < 0) throw Bad{VLT_RES_ERR_DIMENSION, "negative cone dimension"};
        if (!is_linear_domain(c.domain)) {
            if (!has_cone(c.domain)) {
                if (c.domain >= VLT_DOMAIN_PRIMAL_EXP_CONE && c.domain <= VLT_DOMAIN_DUAL_GEO_MEAN_CONE)
                    throw Bad{VLT_RES_ERR_NOT_IMPLEMENTED, "the interior-point optimizer has no cone of this domain"};
                throw Bad{VLT_RES_ERR_INVALID_DOMAIN, "invalid cone domain"};
            }
            std::string wrong = check_cone(c.domain, c.dim, {});
            if (!wrong.empty()) throw Bad{VLT_RES_ERR_DIMENSION, wrong};
        }
        total += c.dim;
    }
    if (total != rows) throw Bad{VLT_RES_ERR_DIMENSION, "the cone dimensions do not add up to the number of conic rows"};
}

// One linear row of the combined [A; conic rows of linear domains] system.
struct LinRow {
    std::vector<std::pair<int32_t, double>> entries;  // original column, value
    double lo = -kInf, up = kInf;
    bool is_conic = false;
    int64_t index = 0;  // original row or conic row
};

}  // namespace

void formulate(const model::ProblemData& d, ConicForm& f, Recovery& rec, PresolveOutcome& outcome) {
    try {
        validate(d);
    } catch (const Bad& bad) {
        outcome.kind = PresolveOutcome::Kind::error;
        outcome.error_code = bad.code;
        outcome.message = bad.message;
        return;
    }
    const int64_t m0 = d.numcon, n0 = d.numvar, nconic = d.num_conic_rows();
    const double sense = d.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? -1.0 : 1.0;
    rec.sense = sense;

    // Quadratic objective of the minimization form, duplicates summed.
    std::vector<std::tuple<int32_t, int32_t, double>> qent;
    qent.reserve(d.qoval.size());
    for (size_t k = 0; k < d.qoval.size(); ++k) qent.emplace_back(d.qosubi[k], d.qosubj[k], sense * d.qoval[k]);
    std::sort(qent.begin(), qent.end(), [](const auto& a, const auto& b) {
        return std::get<1>(a) != std::get<1>(b) ? std::get<1>(a) < std::get<1>(b) : std::get<0>(a) < std::get<0>(b);
    });
    {
        size_t w = 0;
        for (size_t k = 0; k < qent.size(); ++k) {
            if (w > 0 && std::get<0>(qent[w - 1]) == std::get<0>(qent[k]) && std::get<1>(qent[w - 1]) == std::get<1>(qent[k]))
                std::get<2>(qent[w - 1]) += std::get<2>(qent[k]);
            else
                qent[w++] = qent[k];
        }
        qent.resize(w);
    }

    // Linear rows: original rows, then conic rows of the linear domains.
    std::vector<LinRow> lin(static_cast<size_t>(m0));
    for (int64_t j = 0; j < n0; ++j)
        for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
            lin[size_t(d.asub[size_t(p)])].entries.emplace_back(int32_t(j), d.aval[size_t(p)]);
    for (int64_t i = 0; i < m0; ++i) {
        LinRow& r = lin[size_t(i)];
        r.index = i;
        if (has_lower(d.bkc[size_t(i)])) r.lo = d.blc[size_t(i)];
        if (has_upper(d.bkc[size_t(i)])) r.up = d.buc[size_t(i)];
        if (d.bkc[size_t(i)] == VLT_BK_FX) r.up = r.lo;
    }
    rec.conic_linear.assign(size_t(nconic), Recovery::Row{});
    rec.conic_cone.assign(size_t(nconic), -1);
    {
        int64_t r0 = 0;
        for (const auto& cone : d.cones) {
            bool linear = cone.domain == VLT_DOMAIN_RZERO || cone.domain == VLT_DOMAIN_RPLUS ||
                          cone.domain == VLT_DOMAIN_RMINUS;
            if (linear)
                for (int64_t r = r0; r < r0 + cone.dim; ++r) {
                    LinRow row;
                    row.is_conic = true;
                    row.index = r;
                    for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
                        row.entries.emplace_back(d.fsub[size_t(p)], d.fval[size_t(p)]);
                    double g = d.g[size_t(r)];
                    if (cone.domain != VLT_DOMAIN_RMINUS) row.lo = -g;
                    if (cone.domain != VLT_DOMAIN_RPLUS) row.up = -g;
                    lin.push_back(std::move(row));
                }
            r0 += cone.dim;
        }
    }

    // Columns: fixed ones and those that appear only in the linear objective
    // are removed.
    std::vector<double> lbx(static_cast<size_t>(n0), -kInf), ubx(size_t(n0), kInf);
    for (int64_t j = 0; j < n0; ++j) {
        if (has_lower(d.bkx[size_t(j)])) lbx[size_t(j)] = d.blx[size_t(j)];
        if (has_upper(d.bkx[size_t(j)])) ubx[size_t(j)] = d.bkx[size_t(j)] == VLT_BK_FX ? d.blx[size_t(j)] : d.bux[size_t(j)];
        if (lbx[size_t(j)] > ubx[size_t(j)]) {
            outcome.kind = PresolveOutcome::Kind::primal_infeasible;
            outcome.message = "variable " + std::to_string(j) + " has a lower bound above its upper bound";
            return;
        }
    }
    for (auto& r : lin)
        if (r.lo > r.up) {
            outcome.kind = PresolveOutcome::Kind::primal_infeasible;
            outcome.message = "a constraint has a lower bound above its upper bound";
            return;
        }
    std::vector<char> used(static_cast<size_t>(n0), 0);
    for (const auto& r : lin)
        if (r.lo > -kInf || r.up < kInf)
            for (const auto& e : r.entries) used[size_t(e.first)] = 1;
    {
        int64_t r0 = 0;
        for (const auto& cone : d.cones) {
            if (!is_linear_domain(cone.domain))
                for (int64_t p = d.fptr[size_t(r0)]; p < d.fptr[size_t(r0 + cone.dim)]; ++p) used[size_t(d.fsub[size_t(p)])] = 1;
            r0 += cone.dim;
        }
    }
    for (const auto& e : qent) used[size_t(std::get<0>(e))] = used[size_t(std::get<1>(e))] = 1;

    rec.column.assign(size_t(n0), -1);
    rec.fixed_value.assign(size_t(n0), 0.0);
    int64_t n = 0;
    for (int64_t j = 0; j < n0; ++j) {
        double cj = sense * d.c[size_t(j)];
        if (lbx[size_t(j)] == ubx[size_t(j)]) {
            rec.fixed_value[size_t(j)] = lbx[size_t(j)];
        } else if (!used[size_t(j)]) {
            double v;
            if (cj > 0.0) v = lbx[size_t(j)];
            else if (cj < 0.0) v = ubx[size_t(j)];
            else v = std::min(std::max(0.0, lbx[size_t(j)]), ubx[size_t(j)]);
            if (std::isinf(v)) {
                outcome.kind = PresolveOutcome::Kind::dual_infeasible;
                outcome.message = "variable " + std::to_string(j) + " improves the objective without bound";
                outcome.primal_ray.assign(size_t(n0), 0.0);
                outcome.primal_ray[size_t(j)] = cj > 0.0 ? -1.0 : 1.0;
                return;
            }
            rec.fixed_value[size_t(j)] = v;
        } else {
            rec.column[size_t(j)] = n++;
        }
    }
    const int64_t nx = n;  // original columns kept

    // Objective of the kept columns and the constant of the removed ones.
    f.objective_constant = sense * d.cfix;
    std::vector<double> q(static_cast<size_t>(nx), 0.0);
    for (int64_t j = 0; j < n0; ++j) {
        if (rec.column[size_t(j)] >= 0) q[size_t(rec.column[size_t(j)])] = sense * d.c[size_t(j)];
        else f.objective_constant += sense * d.c[size_t(j)] * rec.fixed_value[size_t(j)];
    }
    std::vector<std::tuple<int64_t, int64_t, double>> pent;  // (row, col) upper, internal
    for (const auto& e : qent) {
        int32_t i = std::get<0>(e), j = std::get<1>(e);
        double v = std::get<2>(e);
        int64_t ci = rec.column[size_t(i)], cj = rec.column[size_t(j)];
        double vi = rec.fixed_value[size_t(i)], vj = rec.fixed_value[size_t(j)];
        if (ci >= 0 && cj >= 0) {
            pent.emplace_back(std::min(ci, cj), std::max(ci, cj), v);
        } else if (ci >= 0) {
            q[size_t(ci)] += v * vj;
        } else if (cj >= 0) {
            q[size_t(cj)] += v * vi;
        } else {
            f.objective_constant += (i == j ? 0.5 : 1.0) * v * vi * vj;
        }
    }

    // Rows of G.
    struct GRow {
        std::vector<std::pair<int64_t, double>> entries;  // internal column, value
        double h = 0.0;
    };
    std::vector<GRow> zero_rows, pos_rows, cone_rows;
    std::vector<std::pair<int32_t, int64_t>> cone_dims;  // domain, rows
    std::vector<double> slack_lo, slack_up;
    rec.rows.assign(size_t(m0), Recovery::Row{});
    // Which kind each row got; the G row index is settled after stacking.
    struct Pending {
        Recovery::Row* target;
        int which;  // 0 zero, 1 nonneg
        int64_t local;
    };
    std::vector<Pending> pending;
    for (auto& r : lin) {
        Recovery::Row& out = r.is_conic ? rec.conic_linear[size_t(r.index)] : rec.rows[size_t(r.index)];
        if (r.lo == -kInf && r.up == kInf) continue;  // free row
        double constant = 0.0;
        std::vector<std::pair<int64_t, double>> ent;
        for (const auto& e : r.entries) {
            int64_t cj = rec.column[size_t(e.first)];
            if (cj >= 0) ent.emplace_back(cj, e.second);
            else constant += e.second * rec.fixed_value[size_t(e.first)];
        }
        double lo = r.lo - constant, up = r.up - constant;
        if (ent.empty()) {
            double tol = 1e-9 * std::max(1.0, std::fabs(constant));
            if (lo > tol || up < -tol) {
                outcome.kind = PresolveOutcome::Kind::primal_infeasible;
                outcome.message = std::string("a ") + (r.is_conic ? "conic row" : "constraint") +
                                  " without free variables cannot meet its bounds";
                outcome.dual_ray.assign(size_t(m0), 0.0);
                outcome.dual_ray_conic.assign(size_t(nconic), 0.0);
                double yv = (lo > tol ? 1.0 : -1.0) * sense;
                (r.is_conic ? outcome.dual_ray_conic : outcome.dual_ray)[size_t(r.index)] = yv;
                return;
            }
            continue;
        }
        if (lo == up) {
            zero_rows.push_back({std::move(ent), lo});
            out.kind = Recovery::RowKind::equal;
            pending.push_back({&out, 0, int64_t(zero_rows.size()) - 1});
        } else if (lo == -kInf) {
            pos_rows.push_back({std::move(ent), up});
            out.kind = Recovery::RowKind::upper;
            pending.push_back({&out, 1, int64_t(pos_rows.size()) - 1});
        } else if (up == kInf) {
            for (auto& e : ent) e.second = -e.second;
            pos_rows.push_back({std::move(ent), -lo});
            out.kind = Recovery::RowKind::lower;
            pending.push_back({&out, 1, int64_t(pos_rows.size()) - 1});
        } else {
            int64_t s = n++;
            slack_lo.push_back(lo);
            slack_up.push_back(up);
            ent.emplace_back(s, -1.0);
            zero_rows.push_back({std::move(ent), 0.0});
            out.kind = Recovery::RowKind::range;
            out.slack = s;
            pending.push_back({&out, 0, int64_t(zero_rows.size()) - 1});
        }
    }
    // The other cones: F x + g in K  ->  -F x + s = g.
    {
        int64_t r0 = 0;
        for (const auto& cone : d.cones) {
            if (!is_linear_domain(cone.domain)) {
                for (int64_t k = 0; k < cone.dim; ++k) {
                    int64_t r = r0 + k;
                    GRow row;
                    row.h = d.g[size_t(r)];
                    for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p) {
                        int64_t cj = rec.column[size_t(d.fsub[size_t(p)])];
                        if (cj >= 0) row.entries.emplace_back(cj, -d.fval[size_t(p)]);
                        else row.h += d.fval[size_t(p)] * rec.fixed_value[size_t(d.fsub[size_t(p)])];
                    }
                    rec.conic_cone[size_t(r)] = int64_t(cone_rows.size());
                    cone_rows.push_back(std::move(row));
                }
                cone_dims.emplace_back(cone.domain, cone.dim);
            }
            r0 += cone.dim;
        }
    }
    const int64_t mz = int64_t(zero_rows.size()), mp = int64_t(pos_rows.size());
    for (auto& pnd : pending) pnd.target->g_row = pnd.which == 0 ? pnd.local : mz + pnd.local;
    for (auto& v : rec.conic_cone)
        if (v >= 0) v += mz + mp;

    f.n = n;
    f.m = mz + mp + int64_t(cone_rows.size());
    f.cones.clear();
    if (mz > 0) f.cones.push_back({VLT_DOMAIN_RZERO, 0, mz, {}});
    if (mp > 0) f.cones.push_back({VLT_DOMAIN_RPLUS, mz, mp, {}});
    {
        int64_t start = mz + mp;
        for (auto [domain, dim] : cone_dims) {
            f.cones.push_back({domain, start, dim, {}});
            start += dim;
        }
    }
    f.q.assign(size_t(n), 0.0);
    std::copy(q.begin(), q.end(), f.q.begin());
    f.lb.assign(size_t(n), -kInf);
    f.ub.assign(size_t(n), kInf);
    for (int64_t j = 0; j < n0; ++j)
        if (rec.column[size_t(j)] >= 0) {
            f.lb[size_t(rec.column[size_t(j)])] = lbx[size_t(j)];
            f.ub[size_t(rec.column[size_t(j)])] = ubx[size_t(j)];
        }
    for (size_t k = 0; k < slack_lo.size(); ++k) {
        f.lb[size_t(nx) + k] = slack_lo[k];
        f.ub[size_t(nx) + k] = slack_up[k];
    }
    // G by columns.
    {
        std::vector<int64_t> cnt(size_t(n) + 1, 0);
        auto each_row = [&](auto&& fn) {
            int64_t i = 0;
            for (auto* list : {&zero_rows, &pos_rows, &cone_rows})
                for (const auto& r : *list) fn(i++, r);
        };
        each_row([&](int64_t, const GRow& r) {
            for (const auto& e : r.entries) ++cnt[size_t(e.first) + 1];
        });
        f.gptr.assign(size_t(n) + 1, 0);
        for (int64_t j = 0; j < n; ++j) f.gptr[size_t(j) + 1] = f.gptr[size_t(j)] + cnt[size_t(j) + 1];
        f.gind.assign(size_t(f.gptr[size_t(n)]), 0);
        f.gval.assign(size_t(f.gptr[size_t(n)]), 0.0);
        f.h.assign(size_t(f.m), 0.0);
        std::vector<int64_t> next(f.gptr.begin(), f.gptr.end() - 1);
        each_row([&](int64_t i, const GRow& r) {
            f.h[size_t(i)] = r.h;
            for (const auto& e : r.entries) {
                int64_t p = next[size_t(e.first)]++;
                f.gind[size_t(p)] = i;
                f.gval[size_t(p)] = e.second;
            }
        });
    }
    // P upper triangle with every diagonal entry present.
    {
        for (int64_t j = 0; j < n; ++j) pent.emplace_back(j, j, 0.0);
        std::sort(pent.begin(), pent.end(), [](const auto& a, const auto& b) {
            return std::get<1>(a) != std::get<1>(b) ? std::get<1>(a) < std::get<1>(b) : std::get<0>(a) < std::get<0>(b);
        });
        f.p.n = n;
        f.p.colptr.assign(size_t(n) + 1, 0);
        f.p.rowind.clear();
        f.p.values.clear();
        for (size_t k = 0; k < pent.size(); ++k) {
            auto [i, j, v] = pent[k];
            if (k > 0 && std::get<0>(pent[k - 1]) == i && std::get<1>(pent[k - 1]) == j) {
                f.p.values.back() += v;
                continue;
            }
            f.p.rowind.push_back(i);
            f.p.values.push_back(v);
            ++f.p.colptr[size_t(j) + 1];
        }
        for (int64_t j = 0; j < n; ++j) f.p.colptr[size_t(j) + 1] += f.p.colptr[size_t(j)];
    }

    // Ruiz equilibration of [P G'; G 0]; the rows of a cone other than {0}
    // and R+ share one factor, which keeps the cone what it is.
    f.colscale.assign(size_t(n), 1.0);
    f.rowscale.assign(size_t(f.m), 1.0);
    std::vector<double> cn(static_cast<size_t>(n)), rn(static_cast<size_t>(f.m));
    for (int pass = 0; pass < 15; ++pass) {
        std::fill(cn.begin(), cn.end(), 0.0);
        std::fill(rn.begin(), rn.end(), 0.0);
        for (int64_t j = 0; j < n; ++j) {
            for (int64_t p = f.p.colptr[size_t(j)]; p < f.p.colptr[size_t(j) + 1]; ++p) {
                int64_t i = f.p.rowind[size_t(p)];
                double v = std::fabs(f.p.values[size_t(p)]) * f.colscale[size_t(i)] * f.colscale[size_t(j)];
                cn[size_t(j)] = std::max(cn[size_t(j)], v);
                cn[size_t(i)] = std::max(cn[size_t(i)], v);
            }
            for (int64_t p = f.gptr[size_t(j)]; p < f.gptr[size_t(j) + 1]; ++p) {
                int64_t i = f.gind[size_t(p)];
                double v = std::fabs(f.gval[size_t(p)]) * f.rowscale[size_t(i)] * f.colscale[size_t(j)];
                cn[size_t(j)] = std::max(cn[size_t(j)], v);
                rn[size_t(i)] = std::max(rn[size_t(i)], v);
            }
        }
        for (const auto& c : f.cones)
            if (c.domain != VLT_DOMAIN_RZERO && c.domain != VLT_DOMAIN_RPLUS) {
                double mx = 0.0;
                for (int64_t i = c.start; i < c.start + c.dim; ++i) mx = std::max(mx, rn[size_t(i)]);
                for (int64_t i = c.start; i < c.start + c.dim; ++i) rn[size_t(i)] = mx;
            }
        double worst = 0.0;
        for (int64_t j = 0; j < n; ++j)
            if (cn[size_t(j)] > 0.0) {
                worst = std::max(worst, std::fabs(1.0 - cn[size_t(j)]));
                f.colscale[size_t(j)] = std::clamp(f.colscale[size_t(j)] / std::sqrt(cn[size_t(j)]), 1e-4, 1e4);
            }
        for (int64_t i = 0; i < f.m; ++i)
            if (rn[size_t(i)] > 0.0) {
                worst = std::max(worst, std::fabs(1.0 - rn[size_t(i)]));
                f.rowscale[size_t(i)] = std::clamp(f.rowscale[size_t(i)] / std::sqrt(rn[size_t(i)]), 1e-4, 1e4);
            }
        if (worst < 1e-2) break;
    }
    for (int64_t j = 0; j < n; ++j) {
        const double dj = f.colscale[size_t(j)];
        for (int64_t p = f.p.colptr[size_t(j)]; p < f.p.colptr[size_t(j) + 1]; ++p)
            f.p.values[size_t(p)] *= dj * f.colscale[size_t(f.p.rowind[size_t(p)])];
        for (int64_t p = f.gptr[size_t(j)]; p < f.gptr[size_t(j) + 1]; ++p)
            f.gval[size_t(p)] *= dj * f.rowscale[size_t(f.gind[size_t(p)])];
        f.q[size_t(j)] *= dj;
        f.lb[size_t(j)] /= dj;
        f.ub[size_t(j)] /= dj;
    }
    for (int64_t i = 0; i < f.m; ++i) f.h[size_t(i)] *= f.rowscale[size_t(i)];
    // Objective scaling.
    double pnorm = 0.0;
    {
        std::vector<double> colmax(static_cast<size_t>(n), 0.0);
        for (int64_t j = 0; j < n; ++j)
            for (int64_t p = f.p.colptr[size_t(j)]; p < f.p.colptr[size_t(j) + 1]; ++p) {
                double v = std::fabs(f.p.values[size_t(p)]);
                colmax[size_t(j)] = std::max(colmax[size_t(j)], v);
                colmax[size_t(f.p.rowind[size_t(p)])] = std::max(colmax[size_t(f.p.rowind[size_t(p)])], v);
            }
        if (n > 0) pnorm = std::accumulate(colmax.begin(), colmax.end(), 0.0) / double(n);
    }
    double qnorm = 0.0;
    for (double v : f.q) qnorm = std::max(qnorm, std::fabs(v));
    double t = std::max(pnorm, qnorm);
    f.cost_scale = t > 0.0 ? std::clamp(1.0 / t, 1e-4, 1e4) : 1.0;
    for (auto& v : f.q) v *= f.cost_scale;
    for (auto& v : f.p.values) v *= f.cost_scale;
}

void recover(const model::ProblemData& d, const ConicForm& f, const Recovery& rec, const std::vector<double>& x,
             const std::vector<double>& z, const std::vector<double>& zl, const std::vector<double>& zu,
             OriginalPoint& out) {
    const int64_t m0 = d.numcon, n0 = d.numvar, nconic = d.num_conic_rows();
    const double sense = rec.sense;
    auto xin = [&](int64_t k) { return x[size_t(k)] * f.colscale[size_t(k)]; };
    auto zin = [&](int64_t i) { return z[size_t(i)] * f.rowscale[size_t(i)] / f.cost_scale; };
    auto zlin = [&](int64_t k) { return zl[size_t(k)] / (f.cost_scale * f.colscale[size_t(k)]); };
    auto zuin = [&](int64_t k) { return zu[size_t(k)] / (f.cost_scale * f.colscale[size_t(k)]); };

    out.x.assign(size_t(n0), 0.0);
    for (int64_t j = 0; j < n0; ++j) {
        int64_t k = rec.column[size_t(j)];
        out.x[size_t(j)] = k >= 0 ? xin(k) : rec.fixed_value[size_t(j)];
    }
    out.xc.assign(size_t(m0), 0.0);
    for (int64_t j = 0; j < n0; ++j)
        for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
            out.xc[size_t(d.asub[size_t(p)])] += d.aval[size_t(p)] * out.x[size_t(j)];

    // Row duals of the minimization form: y = slc - suc.
    auto row_dual = [&](const Recovery::Row& r, double& slc, double& suc) {
        slc = suc = 0.0;
        switch (r.kind) {
            case Recovery::RowKind::dropped: break;
            case Recovery::RowKind::equal: {
                double y = -zin(r.g_row);
                (y >= 0 ? slc : suc) = std::fabs(y);
                break;
            }
            case Recovery::RowKind::upper: suc = std::max(0.0, zin(r.g_row)); break;
            case Recovery::RowKind::lower: slc = std::max(0.0, zin(r.g_row)); break;
            case Recovery::RowKind::range:
                slc = zlin(r.slack);
                suc = zuin(r.slack);
                break;
        }
    };
    out.y.assign(size_t(m0), 0.0);
    out.slc.assign(size_t(m0), 0.0);
    out.suc.assign(size_t(m0), 0.0);
    for (int64_t i = 0; i < m0; ++i) {
        double slc, suc;
        row_dual(rec.rows[size_t(i)], slc, suc);
        out.slc[size_t(i)] = sense * slc;
        out.suc[size_t(i)] = sense * suc;
        out.y[size_t(i)] = sense * (slc - suc);
    }
    out.doty.assign(size_t(nconic), 0.0);
    for (int64_t r = 0; r < nconic; ++r) {
        const auto& lr = rec.conic_linear[size_t(r)];
        if (lr.kind != Recovery::RowKind::dropped) {
            double slc, suc;
            row_dual(lr, slc, suc);
            out.doty[size_t(r)] = sense * (slc - suc);
        } else if (rec.conic_cone[size_t(r)] >= 0) {
            out.doty[size_t(r)] = sense * zin(rec.conic_cone[size_t(r)]);
        }
    }
    // Column duals: bound multipliers of kept columns; removed columns take
    // their reduced cost c + Qx - A'y - F'doty.
    out.slx.assign(size_t(n0), 0.0);
    out.sux.assign(size_t(n0), 0.0);
    std::vector<double> red(static_cast<size_t>(n0), 0.0);
    bool any_removed = false;
    for (int64_t j = 0; j < n0; ++j) any_removed |= rec.column[size_t(j)] < 0;
    if (any_removed) {
        for (int64_t j = 0; j < n0; ++j) {
            red[size_t(j)] = d.c[size_t(j)];
            for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
                red[size_t(j)] -= d.aval[size_t(p)] * out.y[size_t(d.asub[size_t(p)])];
        }
        for (size_t k = 0; k < d.qoval.size(); ++k) {
            int32_t i = d.qosubi[k], j = d.qosubj[k];
            red[size_t(i)] += d.qoval[k] * out.x[size_t(j)];
            if (i != j) red[size_t(j)] += d.qoval[k] * out.x[size_t(i)];
        }
        for (int64_t r = 0; r < nconic; ++r)
            for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
                red[size_t(d.fsub[size_t(p)])] -= d.fval[size_t(p)] * out.doty[size_t(r)];
    }
    for (int64_t j = 0; j < n0; ++j) {
        int64_t k = rec.column[size_t(j)];
        if (k >= 0) {
            if (std::isfinite(f.lb[size_t(k)])) out.slx[size_t(j)] = sense * zlin(k);
            if (std::isfinite(f.ub[size_t(k)])) out.sux[size_t(j)] = sense * zuin(k);
        } else {
            bool lo = has_lower(d.bkx[size_t(j)]), up = has_upper(d.bkx[size_t(j)]);
            double s = red[size_t(j)];
            // s = slx - sux; keep the signs of the sense and the existing sides.
            if (sense * s > 0.0 && lo) out.slx[size_t(j)] = s;
            else if (sense * s < 0.0 && up) out.sux[size_t(j)] = -s;
        }
    }
}

OriginalQuality evaluate(const model::ProblemData& d, const OriginalPoint& pt) {
    OriginalQuality qual;
    const int64_t m0 = d.numcon, n0 = d.numvar, nconic = d.num_conic_rows();
    std::vector<double> qx(static_cast<size_t>(n0), 0.0);
    for (size_t k = 0; k < d.qoval.size(); ++k) {
        int32_t i = d.qosubi[k], j = d.qosubj[k];
        qx[size_t(i)] += d.qoval[k] * pt.x[size_t(j)];
        if (i != j) qx[size_t(j)] += d.qoval[k] * pt.x[size_t(i)];
    }
    double xqx = 0.0, cx = 0.0, cnorm = 0.0, qxnorm = 0.0;
    for (int64_t j = 0; j < n0; ++j) {
        xqx += pt.x[size_t(j)] * qx[size_t(j)];
        cx += d.c[size_t(j)] * pt.x[size_t(j)];
        cnorm = std::max(cnorm, std::fabs(d.c[size_t(j)]));
        qxnorm = std::max(qxnorm, std::fabs(qx[size_t(j)]));
    }
    qual.primal_objective = d.cfix + cx + 0.5 * xqx;
    double dual = d.cfix - 0.5 * xqx;
    for (int64_t i = 0; i < m0; ++i) {
        if (has_lower(d.bkc[size_t(i)])) dual += d.blc[size_t(i)] * pt.slc[size_t(i)];
        if (has_upper(d.bkc[size_t(i)])) dual -= d.buc[size_t(i)] * pt.suc[size_t(i)];
    }
    for (int64_t j = 0; j < n0; ++j) {
        if (has_lower(d.bkx[size_t(j)])) dual += d.blx[size_t(j)] * pt.slx[size_t(j)];
        if (has_upper(d.bkx[size_t(j)])) dual -= d.bux[size_t(j)] * pt.sux[size_t(j)];
    }
    for (int64_t r = 0; r < nconic; ++r) dual -= d.g[size_t(r)] * pt.doty[size_t(r)];
    qual.dual_objective = dual;
    qual.relative_gap = std::fabs(qual.primal_objective - qual.dual_objective) / std::max(1.0, std::fabs(qual.primal_objective));

    // Primal: violation of row and column bounds (and of the linear cones).
    double pviol = 0.0, bnorm = 0.0;
    auto side = [&](int32_t bk, double lo, double up, double v) {
        if (has_lower(bk)) pviol = std::max(pviol, lo - v), bnorm = std::max(bnorm, std::fabs(lo));
        if (has_upper(bk)) pviol = std::max(pviol, v - up), bnorm = std::max(bnorm, std::fabs(up));
    };
    double axnorm = 0.0;
    for (int64_t i = 0; i < m0; ++i) {
        side(d.bkc[size_t(i)], d.blc[size_t(i)], d.buc[size_t(i)], pt.xc[size_t(i)]);
        axnorm = std::max(axnorm, std::fabs(pt.xc[size_t(i)]));
    }
    for (int64_t j = 0; j < n0; ++j) side(d.bkx[size_t(j)], d.blx[size_t(j)], d.bux[size_t(j)], pt.x[size_t(j)]);
    {
        int64_t r0 = 0;
        for (const auto& cone : d.cones) {
            std::vector<double> v(static_cast<size_t>(cone.dim));
            for (int64_t k = 0; k < cone.dim; ++k) {
                int64_t r = r0 + k;
                double s = d.g[size_t(r)];
                for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
                    s += d.fval[size_t(p)] * pt.x[size_t(d.fsub[size_t(p)])];
                v[size_t(k)] = s;
                axnorm = std::max(axnorm, std::fabs(s));
            }
            switch (cone.domain) {
                case VLT_DOMAIN_RZERO: for (double s : v) pviol = std::max(pviol, std::fabs(s)); break;
                case VLT_DOMAIN_RPLUS: for (double s : v) pviol = std::max(pviol, -s); break;
                case VLT_DOMAIN_RMINUS: for (double s : v) pviol = std::max(pviol, s); break;
                case VLT_DOMAIN_QUADRATIC_CONE: {
                    double t = 0.0;
                    for (size_t k = 1; k < v.size(); ++k) t += v[k] * v[k];
                    pviol = std::max(pviol, std::sqrt(t) - v[0]);
                    break;
                }
                case VLT_DOMAIN_RQUADRATIC_CONE: {
                    double t = 0.0;
                    for (size_t k = 2; k < v.size(); ++k) t += v[k] * v[k];
                    pviol = std::max({pviol, -v[0], -v[1], std::sqrt(t) - std::sqrt(2.0 * std::max(0.0, v[0]) * std::max(0.0, v[1]))});
                    break;
                }
                default: break;
            }
            r0 += cone.dim;
        }
    }
    qual.primal_residual = std::max(0.0, pviol) / (1.0 + std::max(bnorm, axnorm));
    // Dual: c + Qx - A'y - F'doty - (slx - sux).
    std::vector<double> s(static_cast<size_t>(n0));
    for (int64_t j = 0; j < n0; ++j) s[size_t(j)] = d.c[size_t(j)] + qx[size_t(j)] - pt.slx[size_t(j)] + pt.sux[size_t(j)];
    for (int64_t j = 0; j < n0; ++j)
        for (int64_t p = d.aptr[size_t(j)]; p < d.aptr[size_t(j) + 1]; ++p)
            s[size_t(j)] -= d.aval[size_t(p)] * pt.y[size_t(d.asub[size_t(p)])];
    for (int64_t r = 0; r < nconic; ++r)
        for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p)
            s[size_t(d.fsub[size_t(p)])] -= d.fval[size_t(p)] * pt.doty[size_t(r)];
    double dres = 0.0, dscale = std::max(cnorm, qxnorm);
    for (double v : s) dres = std::max(dres, std::fabs(v));
    qual.dual_residual = dres / (1.0 + dscale);
    return qual;
}

}  // namespace vlt::solve::ipm
