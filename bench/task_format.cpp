// The binary task format against a plain memory copy of the task's arrays,
// measured in the same run: a task of 10 million non-zeros (one million
// rows and columns, 10 per column, bounds, objective, names left out) is
// encoded into memory and decoded into a fresh task, and written to and read
// from a file (plain and zstd-compressed), each the best of a few runs.
//
// Floors: the same bytes copied into memory that was written before (warm)
// and into freshly allocated memory (cold, as a new task must be).
//
//     task_format_bench [NNZ] [DIR]     (defaults: 10000000, /tmp)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/env.hpp"
#include "core/task.hpp"
#include "io/task_files.hpp"

using Clock = std::chrono::steady_clock;

namespace {

double best(int runs, const std::function<void()>& f) {
    double t = 1e30;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        f();
        t = std::min(t, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return t;
}

struct Arrays {
    int32_t n = 0;
    std::vector<int64_t> ptr;
    std::vector<int32_t> sub, bk;
    std::vector<double> val, lo, up, c;
    size_t bytes() const {
        return ptr.size() * 8 + sub.size() * 4 + val.size() * 8 + 2 * bk.size() * 4 + 4 * lo.size() * 8 + c.size() * 8;
    }
};

Arrays make_arrays(int64_t nnz) {
    Arrays a;
    const int32_t per = 10;
    a.n = static_cast<int32_t>(nnz / per);
    std::mt19937_64 g(7);
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    a.ptr.resize(size_t(a.n) + 1);
    for (int32_t j = 0; j < a.n; ++j) {
        a.ptr[size_t(j)] = int64_t(j) * per;
        for (int32_t e = 0; e < per; ++e) {
            a.sub.push_back(static_cast<int32_t>((int64_t(j) * 7919 + int64_t(e) * (a.n / per)) % a.n));
            a.val.push_back(value(g));
        }
    }
    a.ptr[size_t(a.n)] = int64_t(a.n) * per;
    a.bk.assign(size_t(a.n), VLT_BK_RA);
    a.lo.assign(size_t(a.n), -1.0);
    a.up.assign(size_t(a.n), 1.0);
    a.c.resize(size_t(a.n));
    for (double& x : a.c) x = value(g);
    return a;
}

// Every array of the task copied once: into `into` (kept, so warm after
// the first run) or into fresh memory.
void copy_arrays(const Arrays& a, std::vector<std::unique_ptr<char[]>>* into) {
    const std::pair<const void*, size_t> parts[] = {
        {a.ptr.data(), a.ptr.size() * 8}, {a.sub.data(), a.sub.size() * 4}, {a.val.data(), a.val.size() * 8},
        {a.bk.data(), a.bk.size() * 4},   {a.lo.data(), a.lo.size() * 8},   {a.up.data(), a.up.size() * 8},
        {a.bk.data(), a.bk.size() * 4},   {a.lo.data(), a.lo.size() * 8},   {a.up.data(), a.up.size() * 8},
        {a.c.data(), a.c.size() * 8}};
    std::vector<std::unique_ptr<char[]>> fresh;
    std::vector<std::unique_ptr<char[]>>& out = into ? *into : fresh;
    if (out.empty())
        for (const auto& p : parts) out.emplace_back(new char[p.second]);
    for (size_t k = 0; k < std::size(parts); ++k) std::memcpy(out[k].get(), parts[k].first, parts[k].second);
}

}  // namespace

int main(int argc, char** argv) {
    const int64_t nnz = argc > 1 ? std::atoll(argv[1]) : 10'000'000;
    const std::string dir = argc > 2 ? argv[2] : "/tmp";
    const int runs = 3;
    vlt::Env& env = *new vlt::Env(false);
    vlt::Task task(env);
    const Arrays a = make_arrays(nnz);
    std::vector<int64_t> ends(a.ptr.begin() + 1, a.ptr.end());
    task.problem.input_data(a.n, a.n, a.n, a.n, a.c.data(), 0.0, a.ptr.data(), ends.data(), a.sub.data(),
                            a.val.data(), a.bk.data(), a.lo.data(), a.up.data(), a.bk.data(), a.lo.data(),
                            a.up.data());
    const double mb = double(a.bytes()) / 1e6;

    std::vector<std::unique_ptr<char[]>> warm;
    const double copy_warm = best(runs + 2, [&] { copy_arrays(a, &warm); });
    const double copy_cold = best(runs, [&] { copy_arrays(a, nullptr); });

    std::string bytes;
    const double encode = best(runs, [&] { bytes = vlt::io::task_to_bytes(task); });
    std::unique_ptr<vlt::Task> decoded;
    const double decode = best(runs, [&] {
        decoded = std::make_unique<vlt::Task>(env);
        vlt::io::task_from_bytes(*decoded, bytes, "memory");
    });
    if (decoded->problem.nnz() != nnz) {
        std::fprintf(stderr, "decoded %lld non-zeros, %lld were encoded\n", (long long)decoded->problem.nnz(),
                     (long long)nnz);
        return 1;
    }

    struct FileCase {
        const char* label;
        std::string path;
        double write = 0, read = 0;
    } files[] = {{"file", dir + "/velto_bench.task"}, {"file .zst", dir + "/velto_bench.task.zst"}};
    for (FileCase& f : files) {
        f.write = best(runs, [&] { vlt::io::write_task_file(task, f.path, VLT_COMPRESS_FREE); });
        f.read = best(runs, [&] {
            vlt::Task t(env);
            vlt::io::read_task_file(t, f.path, VLT_COMPRESS_FREE);
        });
        std::remove(f.path.c_str());
    }

    std::printf("binary task format, %lld non-zeros, %d columns, arrays %.0f MB, task bytes %.0f MB\n",
                (long long)nnz, a.n, mb, double(bytes.size()) / 1e6);
    std::printf("%-28s %10s %10s %12s %12s\n", "operation", "seconds", "GB/s", "/ copy warm", "/ copy cold");
    auto row = [&](const char* what, double t) {
        std::printf("%-28s %10.4f %10.2f %12.2f %12.2f\n", what, t, mb / 1e3 / t, t / copy_warm, t / copy_cold);
    };
    row("memcpy, warm destination", copy_warm);
    row("memcpy, fresh destination", copy_cold);
    row("encode into memory", encode);
    row("decode into a new task", decode);
    for (const FileCase& f : files) {
        row((std::string("write ") + f.label).c_str(), f.write);
        row((std::string("read ") + f.label).c_str(), f.read);
    }
    return 0;
}
