#include "solve/ipm/kkt.hpp"

#include <algorithm>
#include <cmath>

namespace vlt::solve::ipm {

namespace {
// Static regularization of the primal block and of the zero-cone rows.  Rows
// of the other cones are left alone: their scaling H is positive,
// and a regularization above H (which tends to 0 on active rows) would make
// the refinement converge too slowly on degenerate problems.
constexpr double kPrimalReg = 1e-8;
constexpr double kDualReg = 1e-8;
}  // namespace

Kkt::Kkt(const ConicForm& f, const CompositeCone& cones)
    : n_(f.n), m_(f.m), size_(f.n + f.m) {
    // G row-wise.
    std::vector<int64_t> rp(size_t(m_) + 1, 0);
    for (int64_t p = 0; p < f.gptr[size_t(n_)]; ++p) ++rp[size_t(f.gind[size_t(p)]) + 1];
    for (int64_t i = 0; i < m_; ++i) rp[size_t(i) + 1] += rp[size_t(i)];
    std::vector<int64_t> rc(size_t(rp[size_t(m_)]));
    std::vector<double> rv(size_t(rp[size_t(m_)]));
    {
        std::vector<int64_t> next(rp.begin(), rp.end() - 1);
        for (int64_t j = 0; j < n_; ++j)
            for (int64_t p = f.gptr[size_t(j)]; p < f.gptr[size_t(j) + 1]; ++p) {
                int64_t q = next[size_t(f.gind[size_t(p)])]++;
                rc[size_t(q)] = j;
                rv[size_t(q)] = f.gval[size_t(p)];
            }
    }
    for (size_t c = 0; c < cones.count(); ++c) size_ += int64_t(cones.cone(c).block_shape().extra_columns.size());

    k_.n = size_;
    k_.colptr.assign(size_t(size_) + 1, 0);
    diag_.assign(size_t(size_), 0);
    signs_.assign(size_t(size_), 1);
    reg_.assign(size_t(size_), kPrimalReg);
    eliminated_ = EliminatedCones(n_, cones, rp, rc, rv);
    add_primal_block(f);
    add_cone_blocks(cones, rp, rc, rv);
    k_.values = base_;
    if (eliminated_.any()) solver_.set_reduction(&eliminated_);
}

// The primal block: P, merged with the entries of the Schur complements of
// eliminated cones (schur_pos_ records where each of those goes).
void Kkt::add_primal_block(const ConicForm& f) {
    const std::vector<std::pair<int64_t, int64_t>> schur = eliminated_.pattern();
    std::vector<std::vector<std::pair<int64_t, int64_t>>> schur_in(static_cast<size_t>(n_));  // per column: (row, value index)
    for (size_t t = 0; t < schur.size(); ++t) schur_in[size_t(schur[t].second)].emplace_back(schur[t].first, int64_t(t));
    schur_pos_.assign(schur.size(), -1);
    for (int64_t j = 0; j < n_; ++j) {
        std::vector<std::pair<int64_t, int64_t>>& extra = schur_in[size_t(j)];
        std::sort(extra.begin(), extra.end());
        size_t e = 0;
        auto take_extra_below = [&](int64_t row) {
            for (; e < extra.size() && extra[e].first < row; ++e) {
                if (e == 0 || extra[e - 1].first != extra[e].first) {
                    k_.rowind.push_back(extra[e].first);
                    base_.push_back(0.0);
                }
                schur_pos_[size_t(extra[e].second)] = int64_t(k_.rowind.size()) - 1;
            }
        };
        for (int64_t p = f.p.colptr[size_t(j)]; p < f.p.colptr[size_t(j) + 1]; ++p) {
            const int64_t row = f.p.rowind[size_t(p)];
            take_extra_below(row);
            if (row == j) diag_[size_t(j)] = int64_t(k_.rowind.size());
            k_.rowind.push_back(row);
            base_.push_back(f.p.values[size_t(p)]);
            for (; e < extra.size() && extra[e].first == row; ++e)
                schur_pos_[size_t(extra[e].second)] = int64_t(k_.rowind.size()) - 1;
        }
        take_extra_below(n_);
        k_.colptr[size_t(j) + 1] = int64_t(k_.rowind.size());
    }
}

// The columns of the rows of G (their entries of G, then the cone's block
// above the diagonal, then the diagonal), then the cones' extra columns;
// block_pos_ records where each value of a cone's block goes.
void Kkt::add_cone_blocks(const CompositeCone& cones, const std::vector<int64_t>& rp, const std::vector<int64_t>& rc,
                          const std::vector<double>& rv) {
    // Eliminated cones have no values here (a dense block of a large PSD
    // cone would not even fit in memory).
    int64_t total = 0;
    for (size_t c = 0; c < cones.count(); ++c) {
        block_start_.push_back(total);
        if (!eliminated_.eliminated(c)) total += cones.block_value_count(c);
    }
    block_pos_.assign(size_t(total), -1);
    block_sign_.assign(size_t(total), -1);
    block_values_.assign(size_t(total), 0.0);
    auto entry = [&](int64_t row, double value) {
        k_.rowind.push_back(row);
        base_.push_back(value);
        return int64_t(k_.rowind.size()) - 1;
    };
    int64_t node = n_ + m_;
    for (size_t c = 0; c < cones.count(); ++c) {
        const BlockShape shape = cones.cone(c).block_shape();
        const int64_t start = cones.start(c), dim = cones.cone(c).dim(), value_start = block_start_[c];
        const bool dense = shape.kind == BlockShape::Kind::dense;
        if (eliminated_.eliminated(c)) {
            // Rows kept only as decoupled pivots -1; their block is folded
            // into the primal block.
            for (int64_t l = 0; l < dim; ++l) {
                const int64_t col = n_ + start + l;
                diag_[size_t(col)] = entry(col, -1.0);
                k_.colptr[size_t(col) + 1] = int64_t(k_.rowind.size());
                signs_[size_t(col)] = -1;
                reg_[size_t(col)] = 0.0;
            }
            continue;
        }
        for (int64_t l = 0; l < dim; ++l) {
            const int64_t i = start + l, col = n_ + i;
            for (int64_t p = rp[size_t(i)]; p < rp[size_t(i) + 1]; ++p) entry(rc[size_t(p)], rv[size_t(p)]);
            if (dense)
                for (int64_t k = 0; k < l; ++k) block_pos_[size_t(value_start + l * (l + 1) / 2 + k)] = entry(n_ + start + k, 0.0);
            for (size_t t = 0; t < shape.off_diagonal.size(); ++t)
                if (shape.off_diagonal[t].second == l)
                    block_pos_[size_t(value_start + dim + int64_t(t))] = entry(n_ + start + shape.off_diagonal[t].first, 0.0);
            diag_[size_t(col)] = entry(col, 0.0);
            k_.colptr[size_t(col) + 1] = int64_t(k_.rowind.size());
            signs_[size_t(col)] = -1;
            reg_[size_t(col)] = shape.kind == BlockShape::Kind::equations ? -kDualReg : 0.0;
            if (shape.kind == BlockShape::Kind::diagonal) block_pos_[size_t(value_start + l)] = diag_[size_t(col)];
            if (dense) block_pos_[size_t(value_start + l * (l + 1) / 2 + l)] = diag_[size_t(col)];
        }
        // Extra columns come after all rows of G; their entries are filled
        // in below, once every row's column exists.
    }
    for (size_t c = 0; c < cones.count(); ++c) {
        if (eliminated_.eliminated(c)) continue;  // no extra columns (EliminatedCones takes none)
        const BlockShape shape = cones.cone(c).block_shape();
        const int64_t start = cones.start(c), dim = cones.cone(c).dim();
        int64_t v = block_start_[c] + shape.s_value_count(dim);
        for (int8_t pivot_sign : shape.extra_columns) {
            for (int64_t k = 0; k < dim; ++k, ++v) {
                block_pos_[size_t(v)] = entry(n_ + start + k, 0.0);
                block_sign_[size_t(v)] = 1;
            }
            diag_[size_t(node)] = entry(node, 0.0);
            block_pos_[size_t(v)] = diag_[size_t(node)];
            block_sign_[size_t(v)] = 1;
            ++v;
            k_.colptr[size_t(node) + 1] = int64_t(k_.rowind.size());
            signs_[size_t(node)] = pivot_sign;
            reg_[size_t(node)] = 0.0;
            ++node;
        }
    }
}

bool Kkt::factor(const std::vector<double>& bound_diag, const CompositeCone& cones) {
    std::copy(base_.begin(), base_.end(), k_.values.begin());
    for (int64_t j = 0; j < n_; ++j) k_.values[size_t(diag_[size_t(j)])] += bound_diag[size_t(j)];
    for (size_t c = 0; c < cones.count(); ++c) {
        if (eliminated_.eliminated(c)) continue;
        const size_t first = size_t(block_start_[c]), count = size_t(cones.block_value_count(c));
        cones.cone(c).block_values(Vec(block_values_.data() + first, count));
        for (size_t v = first; v < first + count; ++v)
            k_.values[size_t(block_pos_[v])] += double(block_sign_[v]) * block_values_[v];
    }
    if (eliminated_.any()) {
        eliminated_.update();
        const std::vector<double>& schur = eliminated_.values();
        for (size_t t = 0; t < schur.size(); ++t) k_.values[size_t(schur_pos_[t])] += schur[t];
    }
    return solver_.factor(k_);
}

void Kkt::solve(std::vector<double>& rhs) {
    // The extra columns of the cones' low-rank terms have zero right-hand side.
    const size_t outer = rhs.size();
    rhs.resize(size_t(size_), 0.0);
    solver_.solve(rhs);
    rhs.resize(outer);
}

}  // namespace vlt::solve::ipm
