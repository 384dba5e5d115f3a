#include "solve/mip/disjunctions.hpp"

#include "solve/quality/cone_distance.hpp"

#include <algorithm>
#include <cmath>

namespace vlt::solve::mip {

namespace {

using model::kInf;

double value(const Affine& f, const std::vector<double>& x) {
    double v = f.constant;
    for (size_t k = 0; k < f.col.size(); ++k) v += f.val[k] * x[static_cast<size_t>(f.col[k])];
    return v;
}

bool linear_domain(int32_t domain) {
    return domain == VLT_DOMAIN_R || domain == VLT_DOMAIN_RZERO || domain == VLT_DOMAIN_RPLUS ||
           domain == VLT_DOMAIN_RMINUS;
}

// The greatest Euclidean norm of (f_first, f_first+1, ...) over the box.
double max_norm(const std::vector<Affine>& rows, size_t first, const Box& box) {
    double sum = 0.0;
    for (size_t r = first; r < rows.size(); ++r) {
        double lower = 0.0, upper = 0.0;
        affine_range(rows[r], box, lower, upper);
        const double m = std::max(std::fabs(lower), std::fabs(upper));
        sum += m * m;
    }
    return std::sqrt(sum);
}

// One row of a relaxed block: f + shift (1 - z), with z's column.
Affine shifted(const Affine& f, double shift, int32_t z) {
    Affine g = f;
    if (shift != 0.0) {
        g.col.push_back(z);
        g.val.push_back(-shift);
        g.constant += shift;
    }
    return g;
}

// A block relaxed for z = 0: rows lower <= f(x) + shift z ... as pieces to
// emit, or nothing when some value it needs is not finite or too large.
struct Relaxed {
    struct Row {
        Affine f;
        double lower, upper;
    };
    std::vector<Row> rows;
    std::vector<Disjunction::Block> cones;
};

bool big_enough(double m, double max_big_m) { return std::isfinite(m) && m <= max_big_m; }

bool relax_block(const Disjunction::Block& block, const Box& box, double max_big_m, int32_t z, Relaxed& out) {
    if (linear_domain(block.domain)) {
        const bool lower = block.domain == VLT_DOMAIN_RZERO || block.domain == VLT_DOMAIN_RPLUS;
        const bool upper = block.domain == VLT_DOMAIN_RZERO || block.domain == VLT_DOMAIN_RMINUS;
        for (const Affine& f : block.rows) {
            double least = 0.0, greatest = 0.0;
            affine_range(f, box, least, greatest);
            // f >= L (1 - z):  f + L z >= L;  f <= U (1 - z):  f + U z <= U.
            if (lower && least < 0) {
                if (!big_enough(-least, max_big_m)) return false;
                out.rows.push_back({shifted(f, -least, z), 0.0, kInf});
            }
            if (upper && greatest > 0) {
                if (!big_enough(greatest, max_big_m)) return false;
                out.rows.push_back({shifted(f, -greatest, z), -kInf, 0.0});
            }
        }
        return true;
    }
    if (block.domain == VLT_DOMAIN_QUADRATIC_CONE) {
        double least = 0.0, greatest = 0.0;
        affine_range(block.rows[0], box, least, greatest);
        const double m = std::max(0.0, max_norm(block.rows, 1, box) - least);
        if (!big_enough(m, max_big_m)) return false;
        Disjunction::Block relaxed = block;
        relaxed.rows[0] = shifted(block.rows[0], m, z);
        out.cones.push_back(std::move(relaxed));
        return true;
    }
    if (block.domain == VLT_DOMAIN_RQUADRATIC_CONE) {
        const double reach = max_norm(block.rows, 2, box) / std::sqrt(2.0);
        Disjunction::Block relaxed = block;
        for (size_t r = 0; r < 2; ++r) {
            double least = 0.0, greatest = 0.0;
            affine_range(block.rows[r], box, least, greatest);
            const double m = std::max(0.0, -least) + reach;
            if (!big_enough(m, max_big_m)) return false;
            relaxed.rows[r] = shifted(block.rows[r], m, z);
        }
        out.cones.push_back(std::move(relaxed));
        return true;
    }
    return false;
}

void emit(const Relaxed& relaxed, Extension& e) {
    for (const Relaxed::Row& row : relaxed.rows) e.add_row(row.f, row.lower, row.upper);
    for (const Disjunction::Block& cone : relaxed.cones) e.add_conic(cone.domain, cone.rows, cone.alpha);
}

}  // namespace

std::vector<Disjunction> disjunctions_of(const model::Problem& p) {
    const model::DisjunctiveStore& store = p.disjunctive();
    const model::AffineStore& afes = p.affine();
    const model::ConicStore& domains = p.conic();
    std::vector<Disjunction> out(static_cast<size_t>(store.num_djc()));
    for (int64_t k = 0; k < store.num_djc(); ++k) {
        const model::DisjunctiveStore::View v = store.view(k);
        Disjunction& djc = out[static_cast<size_t>(k)];
        djc.index = k;
        int64_t domain = 0, afe = 0;
        for (int64_t t = 0; t < v.num_term; ++t) {
            Disjunction::Term& term = djc.terms.emplace_back();
            for (int64_t s = 0; s < v.term_sizes[t]; ++s, ++domain) {
                Disjunction::Block& block = term.blocks.emplace_back();
                block.domain = domains.domain_type(v.domains[domain]);
                const int64_t n = domains.domain_n(v.domains[domain]);
                if (block.domain == VLT_DOMAIN_PRIMAL_POWER_CONE || block.domain == VLT_DOMAIN_DUAL_POWER_CONE) {
                    int64_t size = 0, nleft = 0;
                    domains.power_domain_info(v.domains[domain], &size, &nleft);
                    block.alpha.resize(static_cast<size_t>(nleft));
                    domains.power_domain_alpha(v.domains[domain], block.alpha.data());
                }
                for (int64_t r = 0; r < n; ++r, ++afe) {
                    const int64_t a = v.afes[afe];
                    Affine& f = block.rows.emplace_back();
                    f.col.assign(afes.cols(a), afes.cols(a) + afes.length(a));
                    f.val.assign(afes.vals(a), afes.vals(a) + afes.length(a));
                    f.constant = afes.g(a) - v.b[afe];
                }
            }
        }
    }
    return out;
}

double block_violation(const Disjunction::Block& block, const std::vector<double>& x) {
    std::vector<double> values(block.rows.size());
    for (size_t r = 0; r < values.size(); ++r) values[r] = value(block.rows[r], x);
    return domain_violation({block.domain, block.alpha.data(), static_cast<int64_t>(block.alpha.size())},
                            values.data(), static_cast<int64_t>(values.size()));
}

double violation(const Disjunction& djc, const std::vector<double>& x) {
    double best = kInf;
    for (const Disjunction::Term& term : djc.terms) {
        double worst = 0.0;
        for (const Disjunction::Block& block : term.blocks) worst = std::max(worst, block_violation(block, x));
        best = std::min(best, worst);
    }
    return best;
}

void impose(const Disjunction::Term& term, Extension& e) {
    for (const Disjunction::Block& block : term.blocks) {
        if (!linear_domain(block.domain)) {
            e.add_conic(block.domain, block.rows, block.alpha);
            continue;
        }
        const bool lower = block.domain == VLT_DOMAIN_RZERO || block.domain == VLT_DOMAIN_RPLUS;
        const bool upper = block.domain == VLT_DOMAIN_RZERO || block.domain == VLT_DOMAIN_RMINUS;
        if (!lower && !upper) continue;
        for (const Affine& f : block.rows) e.add_row(f, lower ? 0.0 : -kInf, upper ? 0.0 : kInf);
    }
}

std::vector<Disjunction> reformulate(const std::vector<Disjunction>& djcs, const Box& box, double max_big_m,
                                     Extension& e) {
    std::vector<Disjunction> left;
    for (const Disjunction& djc : djcs) {
        if (djc.terms.size() == 1) {
            impose(djc.terms[0], e);
            continue;
        }
        // Every term relaxed first: a DJC is reformulated whole or not at all.
        const int32_t first_z = e.next_column();
        std::vector<Relaxed> relaxed(djc.terms.size());
        bool ok = true;
        for (size_t t = 0; t < djc.terms.size() && ok; ++t)
            for (const Disjunction::Block& block : djc.terms[t].blocks)
                if (!(ok = relax_block(block, box, max_big_m, first_z + static_cast<int32_t>(t), relaxed[t]))) break;
        if (!ok) {
            left.push_back(djc);
            continue;
        }
        Affine choice;
        for (size_t t = 0; t < djc.terms.size(); ++t) {
            choice.col.push_back(e.add_column(0.0, 1.0, true));
            choice.val.push_back(1.0);
            emit(relaxed[t], e);
        }
        e.add_row(choice, 1.0, kInf);
    }
    return left;
}

}  // namespace vlt::solve::mip
