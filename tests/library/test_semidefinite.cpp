// Semidefinite data through the C interface and the exchange form: a seeded
// random sequence of puts, removals and refusals that must keep the task
// consistent (checkmemtask) and must not change it when refused; clones and
// the exchange form (to_data, load) that must carry everything.
#include <cstdio>
#include <random>
#include <vector>

#include "check.hpp"
#include "core/library.hpp"
#include "core/task.hpp"
#include "model/problem.hpp"
#include "velto.h"

namespace {

using Rng = std::mt19937_64;

vlt::Task& task_of(VLTtask_t t) { return *vlt::Library::instance().resolve(t); }

// The semidefinite part of the exchange form, as one comparable value.
struct Snapshot {
    std::vector<int32_t> dims;
    std::vector<std::vector<double>> terms;  // barc, bara, barf as (row, j, k, l, value) rows
    int64_t numsymmat = 0;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(VLTtask_t t) {
    const vlt::model::ProblemData d = task_of(t).problem.to_data();
    Snapshot s;
    s.dims = d.barvar_dim;
    for (const auto* terms : {&d.barc, &d.bara, &d.barf}) {
        for (size_t q = 0; q < terms->size(); ++q)
            s.terms.push_back({double(terms->row[q]), double(terms->j[q]), double(terms->k[q]), double(terms->l[q]),
                               terms->val[q]});
        s.terms.push_back({-1});
    }
    VLT_getnumsymmat(t, &s.numsymmat);
    return s;
}

// One random operation; its arguments are sometimes out of range.  Returns
// the response code.
int32_t random_step(VLTtask_t t, Rng& rng) {
    auto pick = [&](int64_t n) { return int64_t(rng() % uint64_t(n > 0 ? n : 1)); };
    int32_t numbarvar = 0, numcon = 0;
    int64_t numsymmat = 0, numafe = 0;
    VLT_getnumbarvar(t, &numbarvar);
    VLT_getnumcon(t, &numcon);
    VLT_getnumsymmat(t, &numsymmat);
    VLT_getnumafe(t, &numafe);
    const int32_t j = int32_t(pick(numbarvar + 1));  // one past the end now and then
    int32_t dim = 0;
    if (VLT_getdimbarvarj(t, j, &dim) != VLT_RES_OK) dim = 2;
    // Terms: stored matrices, mostly of variable j's dimension.
    std::vector<int64_t> sub;
    std::vector<double> w;
    for (int64_t k = 0, n = pick(3) + 1; k < n; ++k) {
        sub.push_back(pick(numsymmat + 1));
        w.push_back(double(pick(5)) - 2.0);
    }
    const int32_t k = int32_t(pick(dim + 1)), l = int32_t(pick(dim));
    const double v = double(pick(4));
    switch (pick(11)) {
        case 0: {
            const int32_t dims[2] = {int32_t(pick(3)) + 1, int32_t(pick(3))};
            return VLT_appendbarvars(t, 1 + int32_t(pick(2)), dims);
        }
        case 1: {
            const int32_t d = int32_t(pick(3)) + 1, r = int32_t(pick(d)), c = int32_t(pick(d + 1));
            const double val = 1.0 + double(pick(3));
            int64_t idx;
            return VLT_appendsparsesymmat(t, d, 1, &r, &c, &val, &idx);
        }
        case 2: return VLT_putbarcj(t, j, int64_t(sub.size()), sub.data(), w.data());
        case 3: return VLT_putbaraij(t, int32_t(pick(numcon + 1)), j, int64_t(sub.size()), sub.data(), w.data());
        case 4: return VLT_putafebarfentry(t, pick(numafe + 1), j, int64_t(sub.size()), sub.data(), w.data());
        case 5: return VLT_putbarcblocktriplet(t, 1, &j, &k, &l, &v);
        case 6: {
            const int32_t i = int32_t(pick(numcon + 1));
            return VLT_putbarablocktriplet(t, 1, &i, &j, &k, &l, &v);
        }
        case 7: {
            const int64_t a = pick(numafe + 1);
            return VLT_putafebarfblocktriplet(t, 1, &a, &j, &k, &l, &v);
        }
        case 8: return VLT_removebarvars(t, 1, &j);
        case 9: {
            const int32_t i = int32_t(pick(numcon + 1));
            return VLT_removecons(t, 1, &i);
        }
        default: return pick(2) ? VLT_appendcons(t, 1) : VLT_appendafes(t, 1);
    }
}

void random_sequence_stays_consistent() {
    Rng rng(20240611);
    VLTtask_t t = nullptr;
    VLT_makeemptytask(nullptr, &t);
    VLT_appendcons(t, 3);
    VLT_appendafes(t, 3);
    int refused = 0;
    for (int step = 0; step < 3000; ++step) {
        const Snapshot before = snapshot(t);
        const int32_t res = random_step(t, rng);
        if (res != VLT_RES_OK) {
            ++refused;
            CHECK(snapshot(t) == before, "step %d: a refusal (%d) changed the task", step, res);
        }
        CHECK(VLT_checkmemtask(t, __FILE__, __LINE__) == VLT_RES_OK, "step %d", step);
    }
    CHECK(refused > 300 && refused < 2700, "refused %d of 3000", refused);
    // One ACC over all AFEs in order: the exchange form's conic row r is AFE r.
    int64_t numafe = 0, domain = 0;
    VLT_getnumafe(t, &numafe);
    VLT_appendrdomain(t, numafe, &domain);
    VLT_appendaccseq(t, domain, numafe, 0, nullptr);
    const Snapshot end = snapshot(t);
    CHECK(!end.dims.empty() && end.terms.size() > 10);

    // A clone and a task loaded from the exchange form hold the same data.
    VLTtask_t clone = nullptr;
    CHECK(VLT_clonetask(t, &clone) == VLT_RES_OK);
    CHECK(snapshot(clone) == end);
    VLTtask_t loaded = nullptr;
    VLT_makeemptytask(nullptr, &loaded);
    task_of(loaded).problem.load(task_of(t).problem.to_data());
    Snapshot reloaded = snapshot(loaded), original = end;
    reloaded.numsymmat = original.numsymmat = 0;  // loading makes one matrix per entry
    CHECK(reloaded == original);
    CHECK(VLT_checkmemtask(loaded, __FILE__, __LINE__) == VLT_RES_OK);
    VLT_deletetask(&loaded);
    VLT_deletetask(&clone);
    VLT_deletetask(&t);
}

}  // namespace

int main() {
    random_sequence_stays_consistent();
    return vlt_test::report();
}
