// Micro-benchmark of bulk matrix entry and read-back in the data model:
// 10 million non-zeros put and read by column slices, row slices and
// triplets, each compared with a plain memcpy of the same bytes measured in
// the same run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "model/problem.hpp"

using namespace vlt::model;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(const std::function<void()>& f) {
    auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Best of `runs`, each on fresh state made by `setup` (not timed).
double best(int runs, const std::function<void()>& setup, const std::function<void()>& f) {
    double t = 1e30;
    for (int r = 0; r < runs; ++r) {
        setup();
        t = std::min(t, seconds(f));
    }
    return t;
}

struct Lines {  // a matrix in compressed lines
    int32_t num_lines, num_index;
    std::vector<int64_t> ptrb, ptre;
    std::vector<int32_t> sub;
    std::vector<double> val;
};

Lines random_lines(int32_t num_lines, int32_t num_index, int32_t per_line, uint64_t seed) {
    std::mt19937_64 g(seed);
    Lines l{num_lines, num_index, {}, {}, {}, {}};
    l.ptrb.resize(num_lines);
    l.ptre.resize(num_lines);
    l.sub.reserve(static_cast<size_t>(num_lines) * per_line);
    l.val.reserve(static_cast<size_t>(num_lines) * per_line);
    std::uniform_int_distribution<int32_t> gap(1, 2 * (num_index / per_line) - 1);
    std::uniform_real_distribution<double> value(0.5, 2.0);
    for (int32_t k = 0; k < num_lines; ++k) {
        l.ptrb[k] = static_cast<int64_t>(l.sub.size());
        int32_t at = gap(g) / 2;
        for (int32_t e = 0; e < per_line && at < num_index; ++e, at += gap(g)) {
            l.sub.push_back(at);
            l.val.push_back(value(g));
        }
        l.ptre[k] = static_cast<int64_t>(l.sub.size());
    }
    return l;
}

void touch(void* p, size_t bytes) { std::memset(p, 1, bytes); }

}  // namespace

int main(int argc, char** argv) {
    const int32_t numvar = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int32_t numcon = argc > 2 ? std::atoi(argv[2]) : 500000;
    const int32_t per_col = 50;
    const int runs = 3;
    Lines cols = random_lines(numvar, numcon, per_col, 7);
    const int64_t nnz = static_cast<int64_t>(cols.sub.size());
    std::printf("matrix: %d rows, %d columns, %lld non-zeros\n", numcon, numvar, static_cast<long long>(nnz));

    // The same entries as rows and as triplets.
    Problem reference;
    reference.append_cons(numcon);
    reference.append_vars(numvar);
    reference.put_line_slice(Axis::Col, 0, numvar, cols.ptrb.data(), cols.ptre.data(), cols.sub.data(),
                             cols.val.data());
    Lines rows{numcon, numvar, std::vector<int64_t>(numcon), std::vector<int64_t>(numcon), std::vector<int32_t>(nnz),
               std::vector<double>(nnz)};
    reference.get_line_slice(Axis::Row, 0, numcon, nnz, rows.ptrb.data(), rows.ptre.data(), rows.sub.data(),
                             rows.val.data());
    std::vector<int32_t> ti(nnz), tj(nnz);
    std::vector<double> tv(nnz);
    reference.get_triplets(nnz, ti.data(), tj.data(), tv.data());

    // Reference copies: slice bytes (index + value + both pointer arrays), triplet bytes.
    const size_t slice_bytes = nnz * (sizeof(int32_t) + sizeof(double)) + 2 * sizeof(int64_t) * numvar;
    const size_t trip_bytes = nnz * (2 * sizeof(int32_t) + sizeof(double));
    std::vector<char> src(std::max(slice_bytes, trip_bytes), 3), dst(src.size());
    touch(dst.data(), dst.size());
    char* fresh = nullptr;
    auto memcpy_time = [&](size_t bytes, bool into_fresh) {
        return best(runs, [&] { std::free(fresh); fresh = static_cast<char*>(std::malloc(bytes)); },
                    [&] { std::memcpy(into_fresh ? fresh : dst.data(), src.data(), bytes); });
    };
    const double copy_slice_fresh = memcpy_time(slice_bytes, true), copy_slice = memcpy_time(slice_bytes, false);
    const double copy_trip_fresh = memcpy_time(trip_bytes, true), copy_trip = memcpy_time(trip_bytes, false);
    std::free(fresh);

    std::printf("\n%-44s %10s %14s\n", "operation", "ms", "x memcpy");
    auto row = [](const char* what, double t, double ref) {
        std::printf("%-44s %10.1f %14.2f\n", what, 1e3 * t, t / ref);
    };
    row("memcpy slice bytes into fresh memory", copy_slice_fresh, copy_slice_fresh);
    row("memcpy slice bytes into touched memory", copy_slice, copy_slice);
    row("memcpy triplet bytes into fresh memory", copy_trip_fresh, copy_trip_fresh);

    Problem p;
    auto empty = [&] {
        p = Problem();
        p.append_cons(numcon);
        p.append_vars(numvar);
    };
    std::vector<int64_t> ob(std::max(numcon, numvar)), oe(ob.size());
    std::vector<int32_t> osub(nnz), osub2(nnz);
    std::vector<double> oval(nnz);
    touch(ob.data(), ob.size() * 8);
    touch(oe.data(), oe.size() * 8);
    touch(osub.data(), nnz * 4);
    touch(osub2.data(), nnz * 4);
    touch(oval.data(), nnz * 8);
    auto put = [&](Axis axis, const Lines& l) {
        p.put_line_slice(axis, 0, l.num_lines, l.ptrb.data(), l.ptre.data(), l.sub.data(), l.val.data());
    };
    auto get = [&](Axis axis) {
        int32_t n = axis == Axis::Col ? numvar : numcon;
        p.get_line_slice(axis, 0, n, nnz, ob.data(), oe.data(), osub.data(), oval.data());
    };
    bool ok = true;
    auto verify = [&](const Lines& l) {
        ok &= std::memcmp(oval.data(), l.val.data(), nnz * 8) == 0 && std::memcmp(osub.data(), l.sub.data(), nnz * 4) == 0;
    };

    row("put column slice (empty task)", best(runs, empty, [&] { put(Axis::Col, cols); }), copy_slice_fresh);
    row("get column slice", best(runs, [] {}, [&] { get(Axis::Col); }), copy_slice);
    verify(cols);
    row("get row slice, first (builds the row view)", seconds([&] { get(Axis::Row); }), copy_slice);
    row("get row slice, again", best(runs, [] {}, [&] { get(Axis::Row); }), copy_slice);
    verify(rows);
    row("put row slice (empty task)", best(runs, empty, [&] { put(Axis::Row, rows); }), copy_slice_fresh);
    row("get row slice", best(runs, [] {}, [&] { get(Axis::Row); }), copy_slice);
    verify(rows);
    row("put column slice over existing columns", best(runs, [] {}, [&] { put(Axis::Col, cols); }), copy_slice_fresh);
    row("put triplets (empty task)", best(runs, empty,
                                           [&] { p.put_aij_list(nnz, ti.data(), tj.data(), tv.data()); }),
        copy_trip_fresh);
    row("get triplets", best(runs, [] {}, [&] { p.get_triplets(nnz, osub.data(), osub2.data(), oval.data()); }),
        copy_trip);
    ok &= std::memcmp(oval.data(), tv.data(), nnz * 8) == 0;
    std::printf("\nread-back matches what was put: %s\n", ok ? "yes" : "NO");
    std::printf("task memory after the runs: %.0f MB\n", p.memory_bytes() / 1e6);
    return ok ? 0 : 1;
}
