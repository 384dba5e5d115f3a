// Writing CBF (version 3) from the exchange form; io/cbf_format.hpp says how
// the parts of a task are expressed in the format.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "io/cbf_format.hpp"
#include "io/text_output.hpp"
#include "model/semidefinite.hpp"
#include "model/to_conic.hpp"

namespace vlt::io {

namespace {

// A side counts only where its bound is finite: an infinite bound is no
// bound, and is written as none (the format has no infinite numbers).
bool has_lower(int32_t bk, double lo) {
    return (bk == VLT_BK_LO || bk == VLT_BK_FX || bk == VLT_BK_RA) && std::isfinite(lo);
}
bool has_upper(int32_t bk, double up) {
    return (bk == VLT_BK_UP || bk == VLT_BK_FX || bk == VLT_BK_RA) && std::isfinite(up);
}

// The lines of one coordinate section and their count.
struct Section {
    int64_t count = 0;
    std::string text;
};

class Writer {
public:
    Writer(const model::ProblemData& d, int digits) : d_(d), digits_(digits) {}

    void write(Sink& out) {
        variables();
        linear_rows();
        bound_rows();
        conic_rows();
        objective();
        emit(out);
    }

private:
    std::string num(double v) const { return format_number(v, digits_); }

    // A chunk of variables or rows; consecutive scalars in one linear cone
    // (one that is a product of one-dimensional cones) share a chunk.
    struct Chunk {
        std::string cone;
        int64_t size;
        bool linear;
    };
    static void add_chunk(std::vector<Chunk>& chunks, const std::string& cone, int64_t size, bool linear) {
        if (linear && !chunks.empty() && chunks.back().linear && chunks.back().cone == cone)
            chunks.back().size += size;
        else
            chunks.push_back({cone, size, linear});
    }

    int64_t new_row(const char* cone) {
        add_chunk(con_chunks_, cone, 1, true);
        return numrows_++;
    }

    void entry(Section& s, const std::string& line) {
        s.text += line;
        s.text += '\n';
        ++s.count;
    }
    void acoord(int64_t row, int64_t col, double v) {
        if (v != 0.0) entry(a_, std::to_string(row) + " " + std::to_string(col) + " " + num(v));
    }
    void bcoord(int64_t row, double v) {
        if (v != 0.0) entry(b_, std::to_string(row) + " " + num(v));
    }
    void fcoord(int64_t row, int32_t j, int32_t k, int32_t l, double v) {
        entry(f_, std::to_string(row) + " " + std::to_string(j) + " " + std::to_string(k) + " " + std::to_string(l) +
                      " " + num(v));
    }

    // Variables: a chunk cone where the bounds are one, else free.
    void variables() {
        var_kind_.resize(size_t(d_.numvar));
        for (int32_t j = 0; j < d_.numvar; ++j) {
            const int32_t bk = d_.bkx[size_t(j)];
            const double lo = d_.blx[size_t(j)], up = d_.bux[size_t(j)];
            const char* kind = "F";
            if (bk == VLT_BK_LO && lo == 0.0) kind = "L+";
            else if (bk == VLT_BK_UP && up == 0.0) kind = "L-";
            else if (bk == VLT_BK_FX && lo == 0.0) kind = "L=";
            var_kind_[size_t(j)] = kind;
            add_chunk(var_chunks_, kind, 1, true);
        }
        numvar_ = d_.numvar;
    }

    // Linear constraints: one row per side (two for a ranged one).
    void linear_rows() {
        std::vector<std::vector<std::pair<int32_t, double>>> rows(size_t(d_.numcon));
        for (int32_t j = 0; j < d_.numvar; ++j)
            for (int64_t k = d_.aptr[size_t(j)]; k < d_.aptr[size_t(j) + 1]; ++k)
                rows[size_t(d_.asub[size_t(k)])].emplace_back(j, d_.aval[size_t(k)]);
        con_rows_.resize(size_t(d_.numcon));
        for (int32_t i = 0; i < d_.numcon; ++i) {
            const int32_t bk = d_.bkc[size_t(i)];
            const double lo = d_.blc[size_t(i)], up = d_.buc[size_t(i)];
            auto side = [&](const char* cone, double bound) {
                const int64_t r = new_row(cone);
                for (auto [j, v] : rows[size_t(i)]) acoord(r, j, v);
                bcoord(r, bound == 0.0 ? 0.0 : -bound);
                con_rows_[size_t(i)].push_back(r);
            };
            if (bk == VLT_BK_FX && std::isfinite(lo)) side("L=", lo);
            else if (bk != VLT_BK_FX) {
                if (has_lower(bk, lo)) side("L+", lo);
                if (has_upper(bk, up)) side("L-", up);
            }
            if (con_rows_[size_t(i)].empty()) side("F", 0.0);  // a free row keeps its expression
        }
        for (size_t t = 0; t < d_.bara.size(); ++t)
            for (int64_t r : con_rows_[size_t(d_.bara.row[t])])
                fcoord(r, d_.bara.j[t], d_.bara.k[t], d_.bara.l[t], d_.bara.val[t]);
    }

    // Bounds of variables that their chunk does not express.
    void bound_rows() {
        for (int32_t j = 0; j < d_.numvar; ++j) {
            if (var_kind_[size_t(j)] != std::string("F")) continue;
            const int32_t bk = d_.bkx[size_t(j)];
            auto side = [&](const char* cone, double bound) {
                const int64_t r = new_row(cone);
                acoord(r, j, 1.0);
                bcoord(r, bound == 0.0 ? 0.0 : -bound);
            };
            const double lo = d_.blx[size_t(j)], up = d_.bux[size_t(j)];
            if (bk == VLT_BK_FX && std::isfinite(lo)) side("L=", lo);
            else if (bk != VLT_BK_FX) {
                if (has_lower(bk, lo)) side("L+", lo);
                if (has_upper(bk, up)) side("L-", up);
            }
        }
    }

    static const char* cone_name(int32_t domain) {
        switch (domain) {
            case VLT_DOMAIN_R: return "F";
            case VLT_DOMAIN_RPLUS: return "L+";
            case VLT_DOMAIN_RMINUS: return "L-";
            case VLT_DOMAIN_RZERO: return "L=";
            case VLT_DOMAIN_QUADRATIC_CONE: return "Q";
            case VLT_DOMAIN_RQUADRATIC_CONE: return "QR";
            case VLT_DOMAIN_PRIMAL_EXP_CONE: return "EXP";
            case VLT_DOMAIN_DUAL_EXP_CONE: return "EXP*";
            default: return nullptr;
        }
    }

    // A power cone, or a geometric-mean cone of dimension n as the power cone
    // with n - 1 weights of 1 (the same set; the reader takes such a power
    // cone for a geometric-mean cone).
    std::string power_cone(const model::ProblemData::Cone& cone) {
        const bool geo = cone.domain == VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE || cone.domain == VLT_DOMAIN_DUAL_GEO_MEAN_CONE;
        const int dual = cone.domain == VLT_DOMAIN_DUAL_POWER_CONE || cone.domain == VLT_DOMAIN_DUAL_GEO_MEAN_CONE;
        const std::vector<double> alpha = geo ? std::vector<double>(size_t(cone.dim - 1), 1.0) : cone.alpha;
        auto& list = powers_[dual];
        auto it = std::find(list.begin(), list.end(), alpha);
        if (it == list.end()) it = list.insert(list.end(), alpha);
        return "@" + std::to_string(it - list.begin()) + (dual ? ":POW*" : ":POW");
    }

    void conic_rows() {
        // The semidefinite terms of each conic row.
        std::vector<std::vector<size_t>> barf_of(size_t(d_.num_conic_rows()));
        for (size_t t = 0; t < d_.barf.size(); ++t) barf_of[size_t(d_.barf.row[t])].push_back(t);
        int64_t row0 = 0;
        for (const model::ProblemData::Cone& cone : d_.cones) {
            if (cone.dim == 0) continue;  // no rows to write
            if (cone.domain == VLT_DOMAIN_SVEC_PSD_CONE) {
                psd_cone(cone, row0, barf_of);
            } else {
                std::string name;
                if (const char* n = cone_name(cone.domain)) name = n;
                else if (cone.dim >= 2)  // the power and geometric-mean cones
                    name = power_cone(cone);
                else
                    fail(VLT_RES_ERR_WRITE_UNSUPPORTED,
                         "CBF files cannot hold a geometric-mean cone of dimension 1; nothing was written");
                add_chunk(con_chunks_, name, cone.dim, false);
                for (int64_t r = row0; r < row0 + cone.dim; ++r) affine_row(numrows_++, r, barf_of);
            }
            row0 += cone.dim;
        }
    }

    // The F entries, g and barF of conic row r as CBF row `row`.
    void affine_row(int64_t row, int64_t r, const std::vector<std::vector<size_t>>& barf_of) {
        for (int64_t k = d_.fptr[size_t(r)]; k < d_.fptr[size_t(r) + 1]; ++k)
            acoord(row, d_.fsub[size_t(k)], d_.fval[size_t(k)]);
        bcoord(row, d_.g[size_t(r)]);
        for (size_t t : barf_of[size_t(r)]) fcoord(row, d_.barf.j[t], d_.barf.k[t], d_.barf.l[t], d_.barf.val[t]);
    }

    // A scaled-vectorized PSD cone as a PSD constraint: its rows are the
    // lower triangle of G column by column, off-diagonal elements times
    // sqrt 2.  Rows with semidefinite terms go through auxiliary variables
    // y = row (one L= row each), and G takes the y.
    void psd_cone(const model::ProblemData::Cone& cone, int64_t row0,
                  const std::vector<std::vector<size_t>>& barf_of) {
        const int32_t n = int32_t(std::llround((std::sqrt(8.0 * double(cone.dim) + 1.0) - 1.0) / 2.0));
        const int64_t k = int64_t(psdcon_.size());
        psdcon_.push_back(n);
        bool aux = false;
        for (int64_t r = row0; r < row0 + cone.dim; ++r) aux = aux || !barf_of[size_t(r)].empty();
        const double root2 = std::sqrt(2.0);
        int64_t r = row0;
        for (int32_t col = 0; col < n; ++col)
            for (int32_t row = col; row < n; ++row, ++r) {
                const double scale = row == col ? 1.0 : root2;
                auto h = [&](int64_t var, double v) {
                    if (v != 0.0)
                        entry(h_, std::to_string(k) + " " + std::to_string(var) + " " + std::to_string(row) + " " +
                                      std::to_string(col) + " " + num(v / scale));
                };
                if (aux) {
                    const int64_t y = numvar_++;
                    add_chunk(var_chunks_, "F", 1, true);
                    const int64_t eq = new_row("L=");
                    affine_row(eq, r, barf_of);
                    acoord(eq, y, -1.0);
                    h(y, 1.0);
                } else {
                    for (int64_t q = d_.fptr[size_t(r)]; q < d_.fptr[size_t(r) + 1]; ++q)
                        h(d_.fsub[size_t(q)], d_.fval[size_t(q)]);
                    if (d_.g[size_t(r)] != 0.0)
                        entry(d_coord_, std::to_string(k) + " " + std::to_string(row) + " " + std::to_string(col) + " " +
                                            num(d_.g[size_t(r)] / scale));
                }
            }
    }

    void objective() {
        for (int32_t j = 0; j < d_.numvar; ++j)
            if (d_.c[size_t(j)] != 0.0) entry(obja_, std::to_string(j) + " " + num(d_.c[size_t(j)]));
        for (size_t t = 0; t < d_.barc.size(); ++t)
            entry(objf_, std::to_string(d_.barc.j[t]) + " " + std::to_string(d_.barc.k[t]) + " " +
                             std::to_string(d_.barc.l[t]) + " " + num(d_.barc.val[t]));
    }

    static void section(std::string& s, const char* keyword, const Section& body) {
        if (body.count == 0) return;
        s += std::string(keyword) + "\n" + std::to_string(body.count) + "\n" + body.text + "\n";
    }

    static void chunks(std::string& s, const char* keyword, int64_t total, const std::vector<Chunk>& list) {
        if (total == 0) return;
        s += std::string(keyword) + "\n" + std::to_string(total) + " " + std::to_string(list.size()) + "\n";
        for (const Chunk& c : list) s += c.cone + " " + std::to_string(c.size) + "\n";
        s += "\n";
    }

    void emit(Sink& out) {
        std::string s = "# Written by the velto library\nVER\n3\n\nOBJSENSE\n";
        s += d_.sense == VLT_OBJECTIVE_SENSE_MAXIMIZE ? "MAX\n\n" : "MIN\n\n";
        const char* power_keyword[2] = {"POWCONES", "POW*CONES"};
        for (int dual = 0; dual < 2; ++dual) {
            if (powers_[dual].empty()) continue;
            size_t total = 0;
            for (const auto& a : powers_[dual]) total += a.size();
            s += std::string(power_keyword[dual]) + "\n" + std::to_string(powers_[dual].size()) + " " +
                 std::to_string(total) + "\n";
            for (const auto& a : powers_[dual]) {
                s += std::to_string(a.size()) + "\n";
                for (double v : a) s += num(v) + "\n";
            }
            s += "\n";
        }
        if (!d_.barvar_dim.empty()) {
            s += "PSDVAR\n" + std::to_string(d_.barvar_dim.size()) + "\n";
            for (int32_t n : d_.barvar_dim) s += std::to_string(n) + "\n";
            s += "\n";
        }
        chunks(s, "VAR", numvar_, var_chunks_);
        Section ints;
        for (int32_t j = 0; j < d_.numvar; ++j)
            if (!d_.vartype.empty() && d_.vartype[size_t(j)] == VLT_VAR_TYPE_INT) entry(ints, std::to_string(j));
        section(s, "INT", ints);
        if (!psdcon_.empty()) {
            s += "PSDCON\n" + std::to_string(psdcon_.size()) + "\n";
            for (int32_t n : psdcon_) s += std::to_string(n) + "\n";
            s += "\n";
        }
        chunks(s, "CON", numrows_, con_chunks_);
        section(s, "OBJFCOORD", objf_);
        section(s, "OBJACOORD", obja_);
        if (d_.cfix != 0.0) s += "OBJBCOORD\n" + num(d_.cfix) + "\n\n";
        section(s, "FCOORD", f_);
        section(s, "ACOORD", a_);
        section(s, "BCOORD", b_);
        section(s, "HCOORD", h_);
        section(s, "DCOORD", d_coord_);
        out.write(s);
    }

    const model::ProblemData& d_;
    int digits_;
    int64_t numvar_ = 0, numrows_ = 0;
    std::vector<const char*> var_kind_;
    std::vector<std::vector<int64_t>> con_rows_;  // per linear constraint: its CBF rows
    std::vector<Chunk> var_chunks_, con_chunks_;
    std::vector<std::vector<double>> powers_[2];
    std::vector<int32_t> psdcon_;
    Section objf_, obja_, f_, a_, b_, h_, d_coord_;
};

}  // namespace

void write_cbf(const model::ProblemData& data, Sink& out, int digits) { Writer(data, digits).write(out); }

void write_cbf_task(const Task& task, Sink& out) {
    const bool ignore = task.params[VLT_IPAR_WRITE_IGNORE_INCOMPATIBLE_ITEMS] == VLT_ONOFF_ON;
    if (task.problem.disjunctive().num_djc() > 0 && !ignore)
        fail(VLT_RES_ERR_WRITE_UNSUPPORTED, "CBF files cannot hold disjunctive constraints; nothing was written "
                                            "(VLT_IPAR_WRITE_IGNORE_INCOMPATIBLE_ITEMS leaves them out)");
    // Quadratic terms are written in their conic form, made on a copy.
    const model::Problem* problem = &task.problem;
    model::Problem conic;
    if (task.problem.num_qobj_nz() > 0 || !task.problem.quadratic_constraints().empty()) {
        conic = task.problem;
        try {
            model::quadratic_to_conic(conic);
        } catch (const Error& e) {
            if (e.code() != VLT_RES_ERR_NONCONVEX) throw;
            fail(VLT_RES_ERR_WRITE_UNSUPPORTED, "CBF files hold quadratic terms only as cones, which a non-convex "
                                                "term has not; nothing was written (" + e.message() + ")");
        }
        problem = &conic;
    }
    write_cbf(problem->to_data(), out, task.params[VLT_IPAR_WRITE_PRECISION]);
}

}  // namespace vlt::io
