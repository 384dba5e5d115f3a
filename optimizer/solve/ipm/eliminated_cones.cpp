#include "solve/ipm/eliminated_cones.hpp"

#include <algorithm>

namespace vlt::solve::ipm {

EliminatedCones::EliminatedCones(int64_t n, const CompositeCone& cones, const std::vector<int64_t>& row_start,
                                 const std::vector<int64_t>& row_cols, const std::vector<double>& row_vals)
    : n_(n), cones_(&cones), is_eliminated_(cones.count(), 0) {
    for (size_t c = 0; c < cones.count(); ++c) {
        const Cone& cone = cones.cone(c);
        const BlockShape shape = cone.block_shape();
        if (shape.kind != BlockShape::Kind::dense || !shape.extra_columns.empty() || !cone.has_inverse_block()) continue;
        Block b;
        b.cone = c;
        b.start = cones.start(c);
        b.dim = cone.dim();
        for (int64_t i = b.start; i < b.start + b.dim; ++i)
            for (int64_t p = row_start[size_t(i)]; p < row_start[size_t(i) + 1]; ++p) b.cols.push_back(row_cols[size_t(p)]);
        std::sort(b.cols.begin(), b.cols.end());
        b.cols.erase(std::unique(b.cols.begin(), b.cols.end()), b.cols.end());
        // Eliminating the block in the factorization would make the same
        // k x k fill at a higher cost (a dense dim x dim pivot block).
        if (b.cols.empty()) continue;
        const size_t k = b.cols.size();
        std::vector<int64_t> count(k, 0);
        auto local = [&](int64_t col) { return size_t(std::lower_bound(b.cols.begin(), b.cols.end(), col) - b.cols.begin()); };
        for (int64_t i = b.start; i < b.start + b.dim; ++i)
            for (int64_t p = row_start[size_t(i)]; p < row_start[size_t(i) + 1]; ++p) ++count[local(row_cols[size_t(p)])];
        b.qptr.resize(k + 1, 0);
        for (size_t q = 0; q < k; ++q) b.qptr[q + 1] = b.qptr[q] + count[q];
        b.qrow.resize(size_t(b.qptr[k]));
        b.qval.resize(size_t(b.qptr[k]));
        std::vector<int64_t> next(b.qptr.begin(), b.qptr.end() - 1);
        for (int64_t i = b.start; i < b.start + b.dim; ++i)
            for (int64_t p = row_start[size_t(i)]; p < row_start[size_t(i) + 1]; ++p) {
                const int64_t at = next[local(row_cols[size_t(p)])]++;
                b.qrow[size_t(at)] = i - b.start;
                b.qval[size_t(at)] = row_vals[size_t(p)];
            }
        b.schur.assign(k * (k + 1) / 2, 0.0);
        is_eliminated_[c] = 1;
        blocks_.push_back(std::move(b));
    }
    size_t total = 0;
    for (const Block& b : blocks_) total += b.schur.size();
    values_.assign(total, 0.0);
}

std::vector<std::pair<int64_t, int64_t>> EliminatedCones::pattern() const {
    std::vector<std::pair<int64_t, int64_t>> out;
    for (const Block& b : blocks_)
        for (size_t q = 0; q < b.cols.size(); ++q)
            for (size_t p = 0; p <= q; ++p) out.emplace_back(b.cols[p], b.cols[q]);
    return out;
}

void EliminatedCones::update() {
    size_t at = 0;
    for (Block& b : blocks_) {
        cones_->cone(b.cone).inverse_gram(b.qptr, b.qrow, b.qval, b.schur);
        std::copy(b.schur.begin(), b.schur.end(), values_.begin() + int64_t(at));
        at += b.schur.size();
    }
}

// G_R v over the block's columns (a dim vector), and G_R' t added to v's columns.
void EliminatedCones::times_g(const Block& b, const std::vector<double>& v, std::vector<double>& out) const {
    out.assign(size_t(b.dim), 0.0);
    for (size_t q = 0; q < b.cols.size(); ++q) {
        const double x = v[size_t(b.cols[q])];
        for (int64_t t = b.qptr[q]; t < b.qptr[q + 1]; ++t) out[size_t(b.qrow[size_t(t)])] += b.qval[size_t(t)] * x;
    }
}

void EliminatedCones::add_transposed(const Block& b, const double* t, std::vector<double>& v) const {
    for (size_t q = 0; q < b.cols.size(); ++q) {
        double sum = 0.0;
        for (int64_t p = b.qptr[q]; p < b.qptr[q + 1]; ++p) sum += b.qval[size_t(p)] * t[b.qrow[size_t(p)]];
        v[size_t(b.cols[q])] += sum;
    }
}

void EliminatedCones::fold(std::vector<double>& v) {
    for (Block& b : blocks_) {
        const Cone& cone = cones_->cone(b.cone);
        const CVec rz(v.data() + n_ + b.start, size_t(b.dim));
        b.folded.assign(size_t(b.dim), 0.0);  // W^-T rz
        cone.mul_w_inverse(rz, b.folded, true);
        work_.assign(size_t(b.dim), 0.0);  // H^-1 rz
        cone.mul_w_inverse(b.folded, work_, false);
        add_transposed(b, work_.data(), v);
    }
}

void EliminatedCones::unfold(std::vector<double>& v) {
    for (Block& b : blocks_) {
        const Cone& cone = cones_->cone(b.cone);
        times_g(b, v, work_);  // G_R dx
        std::vector<double> scaled(size_t(b.dim), 0.0);
        cone.mul_w_inverse(work_, scaled, true);
        for (int64_t r = 0; r < b.dim; ++r) scaled[size_t(r)] -= b.folded[size_t(r)];
        cone.mul_w_inverse(scaled, Vec(v.data() + n_ + b.start, size_t(b.dim)), false);
    }
}

void EliminatedCones::correct_product(const std::vector<double>& v, std::vector<double>& out) {
    for (const Block& b : blocks_) {
        const size_t k = b.cols.size();
        // - S vx over the block's columns
        size_t s = 0;
        for (size_t q = 0; q < k; ++q)
            for (size_t p = 0; p <= q; ++p, ++s) {
                const double a = b.schur[s];
                out[size_t(b.cols[p])] -= a * v[size_t(b.cols[q])];
                if (p != q) out[size_t(b.cols[q])] -= a * v[size_t(b.cols[p])];
            }
        // the rows: G_R vx - H vz_R, and the columns: + G_R' vz_R
        const CVec vz(v.data() + n_ + b.start, size_t(b.dim));
        Vec rows(out.data() + n_ + b.start, size_t(b.dim));
        cones_->cone(b.cone).mul_h(vz, rows);
        for (double& r : rows) r = -r;
        for (size_t q = 0; q < k; ++q) {
            const size_t col = size_t(b.cols[q]);
            for (int64_t t = b.qptr[q]; t < b.qptr[q + 1]; ++t) {
                rows[size_t(b.qrow[size_t(t)])] += b.qval[size_t(t)] * v[col];
                out[col] += b.qval[size_t(t)] * vz[size_t(b.qrow[size_t(t)])];
            }
        }
    }
}

}  // namespace vlt::solve::ipm
