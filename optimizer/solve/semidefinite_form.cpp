#include "solve/semidefinite_form.hpp"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "model/semidefinite.hpp"

namespace vlt::solve {

namespace {

const double kRoot2 = std::sqrt(2.0);

double scale(int32_t k, int32_t l) { return k == l ? 1.0 : kRoot2; }

// A scalar entry: its row (constraint or conic row), column and value.
struct Entry {
    int64_t row;
    int32_t col;
    double value;
};

}  // namespace

SemidefiniteForm scalar_semidefinite_form(const model::ProblemData& d) {
    SemidefiniteForm form;
    form.dims = d.barvar_dim;
    form.first_column = d.numvar;
    form.first_row = d.num_conic_rows();
    model::ProblemData& out = form.data;
    out = d;
    out.barvar_dim.clear();
    out.barvarname.clear();
    out.barc = out.bara = out.barf = {};

    std::vector<int32_t> first(d.barvar_dim.size());
    int64_t total = 0;
    for (size_t j = 0; j < d.barvar_dim.size(); ++j) {
        first[j] = int32_t(d.numvar + total);
        total += model::packed_length(d.barvar_dim[j]);
    }
    auto column = [&](int32_t j, int32_t k, int32_t l) {
        return int32_t(first[size_t(j)] + model::packed_index(d.barvar_dim[size_t(j)], k, l));
    };
    const int32_t n = int32_t(d.numvar + total);
    out.numvar = n;
    out.c.resize(size_t(n), 0.0);
    out.bkx.resize(size_t(n), VLT_BK_FR);
    out.blx.resize(size_t(n), -model::kInf);
    out.bux.resize(size_t(n), model::kInf);
    out.vartype.resize(size_t(n), VLT_VAR_TYPE_CONT);
    if (!out.semicont.empty()) out.semicont.resize(size_t(n), 0);
    if (!out.varname.empty()) out.varname.resize(size_t(n));
    for (size_t t = 0; t < d.barc.size(); ++t)
        out.c[size_t(column(d.barc.j[t], d.barc.k[t], d.barc.l[t]))] = scale(d.barc.k[t], d.barc.l[t]) * d.barc.val[t];

    // barA: new columns of A.
    std::vector<Entry> a;
    for (size_t t = 0; t < d.bara.size(); ++t)
        a.push_back({d.bara.row[t], column(d.bara.j[t], d.bara.k[t], d.bara.l[t]),
                     scale(d.bara.k[t], d.bara.l[t]) * d.bara.val[t]});
    std::sort(a.begin(), a.end(), [](const Entry& x, const Entry& y) { return std::tie(x.col, x.row) < std::tie(y.col, y.row); });
    std::vector<int64_t> per_column(size_t(total), 0);
    for (const Entry& e : a) {
        out.asub.push_back(int32_t(e.row));
        out.aval.push_back(e.value);
        ++per_column[size_t(e.col - d.numvar)];
    }
    for (int64_t count : per_column) out.aptr.push_back(out.aptr.back() + count);

    // barF: entries added to their conic rows; then one PSD row per element.
    std::vector<Entry> f;
    for (size_t t = 0; t < d.barf.size(); ++t)
        f.push_back({d.barf.row[t], column(d.barf.j[t], d.barf.k[t], d.barf.l[t]),
                     scale(d.barf.k[t], d.barf.l[t]) * d.barf.val[t]});
    std::sort(f.begin(), f.end(), [](const Entry& x, const Entry& y) { return std::tie(x.row, x.col) < std::tie(y.row, y.col); });
    const int64_t rows = d.num_conic_rows();
    out.fptr.assign(1, 0);
    out.fsub.clear();
    out.fval.clear();
    size_t next = 0;
    for (int64_t r = 0; r < rows; ++r) {
        for (int64_t p = d.fptr[size_t(r)]; p < d.fptr[size_t(r) + 1]; ++p) {
            out.fsub.push_back(d.fsub[size_t(p)]);
            out.fval.push_back(d.fval[size_t(p)]);
        }
        for (; next < f.size() && f[next].row == r; ++next) {
            out.fsub.push_back(f[next].col);
            out.fval.push_back(f[next].value);
        }
        out.fptr.push_back(int64_t(out.fsub.size()));
    }
    for (int32_t col = d.numvar; col < n; ++col) {
        out.fsub.push_back(col);
        out.fval.push_back(1.0);
        out.fptr.push_back(int64_t(out.fsub.size()));
        out.g.push_back(0.0);
    }
    for (int32_t dim : d.barvar_dim) out.cones.emplace_back(VLT_DOMAIN_SVEC_PSD_CONE, model::packed_length(dim));
    return form;
}

void back_from_semidefinite_form(const SemidefiniteForm& form, EngineResult& r) {
    // The lower triangles of the matrices whose svec is v[from ...].
    auto unscaled = [&](const std::vector<double>& v, size_t from) {
        std::vector<double> out;
        if (v.size() < from) return out;
        size_t p = from;
        for (int32_t dim : form.dims)
            for (int32_t l = 0; l < dim; ++l)
                for (int32_t k = l; k < dim; ++k, ++p) out.push_back(p < v.size() ? v[p] / scale(k, l) : 0.0);
        return out;
    };
    const size_t n0 = size_t(form.first_column), rows0 = size_t(form.first_row);
    if (r.x.size() > n0) r.barx = unscaled(r.x, n0);
    if (r.doty.size() > rows0) r.bars = unscaled(r.doty, rows0);
    if (r.primal_ray.size() > n0) r.barx_ray = unscaled(r.primal_ray, n0);
    if (r.dual_ray_conic.size() > rows0) r.bars_ray = unscaled(r.dual_ray_conic, rows0);
    for (auto* v : {&r.x, &r.slx, &r.sux, &r.primal_ray})
        if (v->size() > n0) v->resize(n0);
    for (auto* v : {&r.doty, &r.dual_ray_conic})
        if (v->size() > rows0) v->resize(rows0);
}

void add_semidefinite_activity(const model::ProblemData& d, const std::vector<double>& barx, std::vector<double>& xc) {
    std::vector<size_t> first(d.barvar_dim.size(), 0);
    size_t total = 0;
    for (size_t j = 0; j < d.barvar_dim.size(); ++j) {
        first[j] = total;
        total += size_t(model::packed_length(d.barvar_dim[j]));
    }
    if (barx.size() != total) return;
    for (size_t t = 0; t < d.bara.size(); ++t) {
        const int32_t j = d.bara.j[t], k = d.bara.k[t], l = d.bara.l[t];
        const double x = barx[first[size_t(j)] + size_t(model::packed_index(d.barvar_dim[size_t(j)], k, l))];
        if (size_t(d.bara.row[t]) < xc.size()) xc[size_t(d.bara.row[t])] += (k == l ? 1.0 : 2.0) * d.bara.val[t] * x;
    }
}

}  // namespace vlt::solve
