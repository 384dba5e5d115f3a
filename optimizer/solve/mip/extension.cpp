#include "solve/mip/extension.hpp"

#include <algorithm>
#include <cstddef>

#include "model/bounds.hpp"

namespace vlt::solve::mip {

namespace {

bool linear_domain(int32_t domain) {
    return domain == VLT_DOMAIN_R || domain == VLT_DOMAIN_RZERO || domain == VLT_DOMAIN_RPLUS ||
           domain == VLT_DOMAIN_RMINUS;
}

// The row bounds of "f(x) in the domain" for a row of a linear domain.
void domain_bounds(int32_t domain, double constant, double& lower, double& upper) {
    lower = domain == VLT_DOMAIN_RZERO || domain == VLT_DOMAIN_RPLUS ? -constant : -model::kInf;
    upper = domain == VLT_DOMAIN_RZERO || domain == VLT_DOMAIN_RMINUS ? -constant : model::kInf;
}

}  // namespace

int32_t Extension::add_column(double lower, double upper, bool integer) {
    col_lower_.push_back(lower);
    col_upper_.push_back(upper);
    col_type_.push_back(integer ? VLT_VAR_TYPE_INT : VLT_VAR_TYPE_CONT);
    return first_column_ + num_new_columns() - 1;
}

void Extension::add_row(const Affine& f, double lower, double upper) {
    rows_.push_back(f);
    row_lower_.push_back(lower - f.constant);
    row_upper_.push_back(upper - f.constant);
}

void Extension::add_conic(int32_t domain, const std::vector<Affine>& rows, const std::vector<double>& alpha) {
    cones_.push_back({domain, rows, alpha});
}

void Extension::apply(model::ProblemData& d) const {
    const auto n0 = static_cast<size_t>(d.numvar), m0 = static_cast<size_t>(d.numcon);
    const size_t n = n0 + col_lower_.size(), m = m0 + rows_.size();

    // Columns.
    d.c.resize(n, 0.0);
    if (d.vartype.empty()) d.vartype.assign(n0, VLT_VAR_TYPE_CONT);
    d.vartype.insert(d.vartype.end(), col_type_.begin(), col_type_.end());
    d.blx.insert(d.blx.end(), col_lower_.begin(), col_lower_.end());
    d.bux.insert(d.bux.end(), col_upper_.begin(), col_upper_.end());
    for (size_t k = 0; k < col_lower_.size(); ++k)
        d.bkx.push_back(model::key_from_finite_sides(col_lower_[k], col_upper_[k]));
    if (!d.semicont.empty()) d.semicont.resize(n, 0);
    if (!d.varname.empty()) d.varname.resize(n);

    // Rows.
    d.blc.insert(d.blc.end(), row_lower_.begin(), row_lower_.end());
    d.buc.insert(d.buc.end(), row_upper_.begin(), row_upper_.end());
    for (size_t k = 0; k < rows_.size(); ++k) d.bkc.push_back(model::key_from_finite_sides(row_lower_[k], row_upper_[k]));
    if (!d.conname.empty()) d.conname.resize(m);

    // The matrix by columns: old entries first, then those of the new rows.
    std::vector<int64_t> count(n + 1, 0);
    for (size_t j = 0; j < n0 && d.aptr.size() == n0 + 1; ++j) count[j + 1] = d.aptr[j + 1] - d.aptr[j];
    for (const Affine& f : rows_)
        for (int32_t j : f.col) ++count[static_cast<size_t>(j) + 1];
    std::vector<int64_t> ptr(n + 1, 0);
    for (size_t j = 0; j < n; ++j) ptr[j + 1] = ptr[j] + count[j + 1];
    std::vector<int32_t> sub(static_cast<size_t>(ptr[n]));
    std::vector<double> val(static_cast<size_t>(ptr[n]));
    std::vector<int64_t> at(ptr.begin(), ptr.end() - 1);
    for (size_t j = 0; j < n0 && d.aptr.size() == n0 + 1; ++j)
        for (int64_t k = d.aptr[j]; k < d.aptr[j + 1]; ++k) {
            sub[static_cast<size_t>(at[j])] = d.asub[static_cast<size_t>(k)];
            val[static_cast<size_t>(at[j]++)] = d.aval[static_cast<size_t>(k)];
        }
    for (size_t i = 0; i < rows_.size(); ++i)
        for (size_t k = 0; k < rows_[i].col.size(); ++k) {
            const auto j = static_cast<size_t>(rows_[i].col[k]);
            sub[static_cast<size_t>(at[j])] = static_cast<int32_t>(m0 + i);
            val[static_cast<size_t>(at[j]++)] = rows_[i].val[k];
        }
    d.aptr = std::move(ptr);
    d.asub = std::move(sub);
    d.aval = std::move(val);
    d.numvar = static_cast<int32_t>(n);
    d.numcon = static_cast<int32_t>(m);

    // Conic blocks after the conic rows the problem has.
    if (d.fptr.empty()) d.fptr.push_back(0);
    for (const Block& block : cones_) {
        d.cones.push_back({block.domain, static_cast<int64_t>(block.rows.size()), block.alpha});
        for (const Affine& f : block.rows) {
            d.fsub.insert(d.fsub.end(), f.col.begin(), f.col.end());
            d.fval.insert(d.fval.end(), f.val.begin(), f.val.end());
            d.g.push_back(f.constant);
            d.fptr.push_back(static_cast<int64_t>(d.fsub.size()));
        }
    }
}

std::vector<Affine> conic_rows(const model::ProblemData& d) {
    std::vector<Affine> rows(static_cast<size_t>(std::max<int64_t>(0, d.num_conic_rows())));
    for (size_t r = 0; r < rows.size(); ++r) {
        const auto first = static_cast<std::ptrdiff_t>(d.fptr[r]), last = static_cast<std::ptrdiff_t>(d.fptr[r + 1]);
        rows[r].col.assign(d.fsub.begin() + first, d.fsub.begin() + last);
        rows[r].val.assign(d.fval.begin() + first, d.fval.begin() + last);
        rows[r].constant = d.g[r];
    }
    return rows;
}

void clear_conic_rows(model::ProblemData& d) {
    d.cones.clear();
    d.fptr.assign(1, 0);
    d.fsub.clear();
    d.fval.clear();
    d.g.clear();
    d.var_cone_rows = 0;
}

bool linearize_conic_rows(model::ProblemData& d) {
    for (const model::ProblemData::Cone& cone : d.cones)
        if (!linear_domain(cone.domain)) return false;
    if (d.cones.empty()) return true;
    const std::vector<Affine> conic = conic_rows(d);
    Extension rows(d);
    size_t r = 0;
    for (const model::ProblemData::Cone& cone : d.cones)
        for (int64_t k = 0; k < cone.dim; ++k, ++r) {
            double lower = 0.0, upper = 0.0;
            Affine f = conic[r];
            domain_bounds(cone.domain, f.constant, lower, upper);
            f.constant = 0.0;
            if (cone.domain != VLT_DOMAIN_R) rows.add_row(f, lower, upper);
        }
    clear_conic_rows(d);
    rows.apply(d);
    return true;
}

RowMatrix rows_of(const model::ProblemData& d) {
    RowMatrix r;
    const auto m = static_cast<size_t>(d.numcon);
    r.ptr.assign(m + 1, 0);
    if (d.aptr.size() != static_cast<size_t>(d.numvar) + 1) return r;
    for (int32_t i : d.asub) ++r.ptr[static_cast<size_t>(i) + 1];
    for (size_t i = 0; i < m; ++i) r.ptr[i + 1] += r.ptr[i];
    r.col.resize(d.asub.size());
    r.val.resize(d.asub.size());
    std::vector<int64_t> at(r.ptr.begin(), r.ptr.end() - 1);
    for (int32_t j = 0; j < d.numvar; ++j)
        for (int64_t k = d.aptr[static_cast<size_t>(j)]; k < d.aptr[static_cast<size_t>(j) + 1]; ++k) {
            const auto i = static_cast<size_t>(d.asub[static_cast<size_t>(k)]);
            r.col[static_cast<size_t>(at[i])] = j;
            r.val[static_cast<size_t>(at[i]++)] = d.aval[static_cast<size_t>(k)];
        }
    return r;
}

}  // namespace vlt::solve::mip
