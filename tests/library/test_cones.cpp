// Cones on variables through the C interface: randomized round trips against
// a reference, failing calls that must leave the task unchanged, removal of
// variables and cones, and the export of the cones as conic rows ahead of the
// ACCs.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "check.hpp"
#include "task_helpers.hpp"
#include "model/problem.hpp"
#include "model/solution.hpp"
#include "velto.h"

namespace {

using vlt_test::last_message;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Cone {
    int32_t ct = 0;
    double par = 0.0;
    std::vector<int32_t> mem;
    bool operator==(const Cone&) const = default;
};

VLTtask_t new_task(int32_t numvar) {
    VLTtask_t task = nullptr;
    VLT_makeemptytask(nullptr, &task);
    VLT_appendvars(task, numvar);
    return task;
}

// Everything the cone getters report; also checks that they agree.
std::vector<Cone> cones_of(VLTtask_t task) {
    int32_t num = -1;
    VLT_getnumcone(task, &num);
    std::vector<Cone> out;
    for (int32_t k = 0; k < num; ++k) {
        Cone c;
        int32_t nummem = -1, count = -1, ct2 = -1;
        double par2 = 0;
        CHECK(VLT_getconeinfo(task, k, &c.ct, &c.par, &nummem) == VLT_RES_OK);
        CHECK(VLT_getnumconemem(task, k, &count) == VLT_RES_OK && count == nummem);
        c.mem.assign(size_t(nummem), -1);
        CHECK(VLT_getcone(task, k, &ct2, &par2, &count, c.mem.data()) == VLT_RES_OK);
        CHECK(ct2 == c.ct && par2 == c.par && count == nummem);
        out.push_back(c);
    }
    return out;
}

// The members of all cones, each variable at most once.
bool disjoint(const std::vector<Cone>& cones, int32_t numvar) {
    std::vector<int> seen(size_t(numvar), 0);
    for (const Cone& c : cones)
        for (int32_t v : c.mem)
            if (seen[size_t(v)]++) return false;
    return true;
}

// Random appends, puts and removals against a reference list.  Each step
// picks members among the variables that no cone holds.
void test_round_trips() {
    std::mt19937_64 rng(7);
    const int32_t n = 40;
    VLTtask_t task = new_task(n);
    std::vector<Cone> ref;
    auto free_vars = [&](int32_t except) {
        std::vector<char> used(size_t(n), 0);
        for (size_t k = 0; k < ref.size(); ++k)
            if (int32_t(k) != except)
                for (int32_t v : ref[k].mem) used[size_t(v)] = 1;
        std::vector<int32_t> out;
        for (int32_t j = 0; j < n; ++j)
            if (!used[size_t(j)]) out.push_back(j);
        std::shuffle(out.begin(), out.end(), rng);
        return out;
    };
    for (int step = 0; step < 300; ++step) {
        const int op = int(rng() % 4);
        const int32_t ct = int32_t(rng() % 2);  // QUAD or RQUAD
        const double par = double(rng() % 5) / 4.0;
        if (op == 0 || ref.empty()) {
            std::vector<int32_t> pool = free_vars(-1);
            if (pool.size() < 2) {
                std::vector<int32_t> all(ref.size());
                for (size_t k = 0; k < all.size(); ++k) all[k] = int32_t(k);
                CHECK(VLT_removecones(task, int32_t(all.size()), all.data()) == VLT_RES_OK);
                ref.clear();
                continue;
            }
            pool.resize(2 + rng() % std::min<size_t>(pool.size() - 1, 4));
            CHECK(VLT_appendcone(task, ct, par, int32_t(pool.size()), pool.data()) == VLT_RES_OK, "%s",
                  last_message(task).c_str());
            ref.push_back({ct, par, pool});
        } else if (op == 1) {
            const int32_t k = int32_t(rng() % ref.size());
            std::vector<int32_t> pool = free_vars(k);
            pool.resize(std::min<size_t>(pool.size(), 2 + rng() % 4));
            CHECK(VLT_putcone(task, k, ct, par, int32_t(pool.size()), pool.data()) == VLT_RES_OK, "%s",
                  last_message(task).c_str());
            ref[size_t(k)] = {ct, par, pool};
        } else if (op == 2) {
            // A list with a repeat: each named cone goes once.
            std::vector<int32_t> subset{int32_t(rng() % ref.size()), int32_t(rng() % ref.size())};
            subset.push_back(subset[0]);
            CHECK(VLT_removecones(task, 3, subset.data()) == VLT_RES_OK);
            std::vector<Cone> kept;
            for (size_t k = 0; k < ref.size(); ++k)
                if (int32_t(k) != subset[0] && int32_t(k) != subset[1]) kept.push_back(ref[k]);
            ref = kept;
        } else {
            // Several cones over a run of consecutive free variables, if any.
            std::vector<int32_t> pool = free_vars(-1);
            std::vector<char> isfree(size_t(n), 0);
            for (int32_t v : pool) isfree[size_t(v)] = 1;
            int32_t start = -1;
            for (int32_t j = 0; j + 5 <= n && start < 0; ++j)
                if (isfree[j] && isfree[j + 1] && isfree[j + 2] && isfree[j + 3] && isfree[j + 4]) start = j;
            if (start < 0) continue;
            int32_t cts[2] = {VLT_CT_RQUAD, VLT_CT_QUAD}, counts[2] = {3, 2};
            double pars[2] = {0.0, 0.5};
            CHECK(VLT_appendconesseq(task, 2, cts, pars, counts, start) == VLT_RES_OK, "%s", last_message(task).c_str());
            ref.push_back({VLT_CT_RQUAD, 0.0, {start, start + 1, start + 2}});
            ref.push_back({VLT_CT_QUAD, 0.5, {start + 3, start + 4}});
        }
        CHECK(cones_of(task) == ref, "step %d op %d", step, op);
    }
    CHECK(disjoint(ref, n));
    VLT_deletetask(&task);
}

// Every failing call leaves the cones as they were and says why.
void test_failures() {
    VLTtask_t task = new_task(10);
    int32_t a[] = {0, 1, 2}, b[] = {3, 4};
    CHECK(VLT_appendcone(task, VLT_CT_QUAD, 0.0, 3, a) == VLT_RES_OK);
    CHECK(VLT_appendcone(task, VLT_CT_RQUAD, 0.0, 2, b) == VLT_RES_OK);
    const std::vector<Cone> before = cones_of(task);
    int32_t repeat[] = {5, 6, 5}, taken[] = {5, 2}, out_of_range[] = {5, 10}, negative[] = {-1, 5};
    int32_t cts[] = {VLT_CT_QUAD, VLT_CT_RQUAD}, counts[] = {2, 1}, counts_over[] = {2, 3};
    double pars[] = {0.0, 0.0};
    struct Case {
        const char* what;
        std::function<int32_t()> call;
        int32_t code;
        const char* says;
    };
    const Case cases[] = {
        {"unknown type", [&] { return VLT_appendcone(task, 7, 0.0, 2, b + 0); }, VLT_RES_ERR_INVALID_CONE, "cone type"},
        {"negative type", [&] { return VLT_appendconeseq(task, -1, 0.0, 2, 6); }, VLT_RES_ERR_INVALID_CONE, "ct"},
        {"rotated cone of one", [&] { return VLT_appendcone(task, VLT_CT_RQUAD, 0.0, 1, repeat); },
         VLT_RES_ERR_INVALID_CONE, "at least 2"},
        {"empty cone", [&] { return VLT_appendcone(task, VLT_CT_QUAD, 0.0, 0, nullptr); }, VLT_RES_ERR_INVALID_CONE,
         "at least 1"},
        {"exponential cone of two", [&] { return VLT_appendconeseq(task, VLT_CT_PEXP, 0.0, 2, 6); },
         VLT_RES_ERR_INVALID_CONE, "exactly 3"},
        {"power weight 1", [&] { return VLT_appendconeseq(task, VLT_CT_PPOW, 1.0, 3, 6); }, VLT_RES_ERR_INVALID_CONE,
         "conepar"},
        {"NaN parameter", [&] { return VLT_appendconeseq(task, VLT_CT_QUAD, kNaN, 2, 6); }, VLT_RES_ERR_NAN_VALUE, "conepar"},
        {"negative count", [&] { return VLT_appendcone(task, VLT_CT_QUAD, 0.0, -2, b); }, VLT_RES_ERR_NEGATIVE_COUNT,
         "nummem"},
        {"null members", [&] { return VLT_appendcone(task, VLT_CT_QUAD, 0.0, 2, nullptr); }, VLT_RES_ERR_NULL_POINTER,
         "submem"},
        {"repeated member", [&] { return VLT_appendcone(task, VLT_CT_QUAD, 0.0, 3, repeat); },
         VLT_RES_ERR_DUPLICATE_INDEX, "submem[2]"},
        {"member of another cone", [&] { return VLT_appendcone(task, VLT_CT_QUAD, 0.0, 2, taken); },
         VLT_RES_ERR_INVALID_CONE, "cone 0"},
        {"member out of range", [&] { return VLT_appendcone(task, VLT_CT_QUAD, 0.0, 2, out_of_range); },
         VLT_RES_ERR_INDEX_VAR, "submem[1]"},
        {"negative member", [&] { return VLT_appendcone(task, VLT_CT_QUAD, 0.0, 2, negative); },
         VLT_RES_ERR_INDEX_VAR, "submem[0]"},
        {"sequence past the end", [&] { return VLT_appendconeseq(task, VLT_CT_QUAD, 0.0, 3, 8); },
         VLT_RES_ERR_INDEX_VAR, "j = 8"},
        {"sequence over a member", [&] { return VLT_appendconeseq(task, VLT_CT_QUAD, 0.0, 3, 4); },
         VLT_RES_ERR_INVALID_CONE, "cone 1"},
        {"second of several cones too small", [&] { return VLT_appendconesseq(task, 2, cts, pars, counts, 5); },
         VLT_RES_ERR_INVALID_CONE, "nummem[1]"},
        {"several cones past the end", [&] { return VLT_appendconesseq(task, 2, cts, pars, counts_over, 6); },
         VLT_RES_ERR_INDEX_VAR, "numvar = 10"},
        {"several cones, null types", [&] { return VLT_appendconesseq(task, 2, nullptr, pars, counts, 5); },
         VLT_RES_ERR_NULL_POINTER, "ct"},
        {"put on a missing cone", [&] { return VLT_putcone(task, 2, VLT_CT_QUAD, 0.0, 2, repeat); },
         VLT_RES_ERR_INDEX_CONE, "numcone = 2"},
        {"put taking another cone's member", [&] { return VLT_putcone(task, 1, VLT_CT_QUAD, 0.0, 2, taken); },
         VLT_RES_ERR_INVALID_CONE, "cone 0"},
        {"remove a missing cone", [&] { int32_t s[] = {0, 2}; return VLT_removecones(task, 2, s); },
         VLT_RES_ERR_INDEX_CONE, "subset[1]"},
        {"remove a member variable", [&] { int32_t s[] = {9, 4}; return VLT_removevars(task, 2, s); },
         VLT_RES_ERR_INVALID_CONE, "Variable 4"},
        {"info of a missing cone", [&] { return VLT_getconeinfo(task, -1, nullptr, nullptr, nullptr); },
         VLT_RES_ERR_INDEX_CONE, "k = -1"},
        {"negative capacity", [&] { return VLT_putmaxnumcone(task, -1); }, VLT_RES_ERR_NEGATIVE_COUNT, "maxnumcone"},
    };
    for (const Case& c : cases) {
        const int32_t code = c.call();
        const std::string message = last_message(task);
        CHECK(code == c.code, "%s: code %d", c.what, code);
        CHECK(message.find(c.says) != std::string::npos, "%s: message '%s'", c.what, message.c_str());
        CHECK(cones_of(task) == before, "%s changed the cones", c.what);
    }
    int32_t numvar = 0;
    VLT_getnumvar(task, &numvar);
    CHECK(numvar == 10);
    // put may reuse its own members, in another order.
    int32_t swapped[] = {4, 3, 7};
    CHECK(VLT_putcone(task, 1, VLT_CT_QUAD, 2.5, 3, swapped) == VLT_RES_OK);
    CHECK(cones_of(task)[1] == (Cone{VLT_CT_QUAD, 2.5, {4, 3, 7}}));
    // The weight of a power cone, and the types the optimizer cannot solve, are stored.
    CHECK(VLT_appendconeseq(task, VLT_CT_DPOW, 0.25, 2, 8) == VLT_RES_OK);
    CHECK(cones_of(task).back() == (Cone{VLT_CT_DPOW, 0.25, {8, 9}}));
    VLT_deletetask(&task);
}

void test_variable_removal_and_sizes() {
    VLTtask_t task = new_task(8);
    int32_t a[] = {6, 2, 4};
    CHECK(VLT_appendcone(task, VLT_CT_QUAD, 0.0, 3, a) == VLT_RES_OK);
    CHECK(VLT_appendconeseq(task, VLT_CT_ZERO, 0.0, 1, 7) == VLT_RES_OK);
    int32_t gone[] = {0, 3, 5};
    CHECK(VLT_removevars(task, 3, gone) == VLT_RES_OK);  // no members among them: the others shift down
    CHECK(cones_of(task) == (std::vector<Cone>{{VLT_CT_QUAD, 0.0, {3, 1, 2}}, {VLT_CT_ZERO, 0.0, {4}}}));
    // The freed indexes are no one's: a new cone may take variable 0.
    int32_t b[] = {0, 4};
    CHECK(VLT_appendcone(task, VLT_CT_QUAD, 0.0, 2, b) == VLT_RES_ERR_INVALID_CONE);  // 4 is the zero cone's
    int32_t c[] = {0};
    CHECK(VLT_appendcone(task, VLT_CT_QUAD, 0.0, 1, c) == VLT_RES_OK);

    int32_t maxnum = -1, num = -1;
    CHECK(VLT_getmaxnumcone(task, &maxnum) == VLT_RES_OK && maxnum == 3);  // at least the count
    CHECK(VLT_putmaxnumcone(task, 50) == VLT_RES_OK);
    CHECK(VLT_getmaxnumcone(task, &maxnum) == VLT_RES_OK && maxnum == 50);
    CHECK(VLT_resizetask(task, 0, 0, 7, 0, 0) == VLT_RES_OK);
    CHECK(VLT_getmaxnumcone(task, &maxnum) == VLT_RES_OK && maxnum == 7);
    CHECK(VLT_getnumcone(task, &num) == VLT_RES_OK && num == 3);
    // Solutions follow the number of cones: one status key per cone.
    std::vector<int32_t> skn(3, -1);
    double x[5] = {1, 2, 3, 4, 5};
    CHECK(VLT_putxx(task, VLT_SOL_ITR, x) == VLT_RES_OK);
    CHECK(VLT_getskn(task, VLT_SOL_ITR, skn.data()) == VLT_RES_OK && skn == std::vector<int32_t>(3, VLT_SK_UNK));
    VLT_deletetask(&task);
}

// The cones come first among the conic rows, one row per member with the
// single entry 1; the ACCs' rows follow; the problem type follows them.
void test_export() {
    vlt::model::Problem p;
    p.append_vars(5);
    CHECK(p.problem_type() == VLT_PROBTYPE_LO);
    int32_t mem[] = {3, 0, 1};
    p.append_cone(VLT_CT_RQUAD, 0.0, 3, mem);
    CHECK(p.problem_type() == VLT_PROBTYPE_CONIC);
    p.affine().append(1);
    int32_t col[] = {4};
    double val[] = {2.0};
    p.affine().put_row(0, 1, col, val, p.num_var());
    int64_t dom = p.conic().append_domain(VLT_DOMAIN_RPLUS, 1);
    int64_t afe[] = {0};
    p.conic().append_acc(dom, 1, afe, nullptr, p.affine().num_afe());
    vlt::model::ProblemData d = p.to_data();
    CHECK(d.var_cone_rows == 3);
    CHECK(d.cones.size() == 2 && d.cones[0].domain == VLT_DOMAIN_RQUADRATIC_CONE && d.cones[0].dim == 3 &&
          d.cones[1].domain == VLT_DOMAIN_RPLUS && d.cones[1].dim == 1);
    CHECK((d.fptr == std::vector<int64_t>{0, 1, 2, 3, 4}));
    CHECK((d.fsub == std::vector<int32_t>{3, 0, 1, 4}));
    CHECK((d.fval == std::vector<double>{1.0, 1.0, 1.0, 2.0}));
    CHECK((d.g == std::vector<double>{0.0, 0.0, 0.0, 0.0}));
    CHECK(vlt::model::solution_sizes(p).numcone == 1);
    int32_t qi[] = {2}, qj[] = {2};
    double qv[] = {1.0};
    p.put_qobj(1, qi, qj, qv);
    CHECK(p.problem_type() == VLT_PROBTYPE_MIXED);
    CHECK(p.consistency_error().empty(), "%s", p.consistency_error().c_str());
    // A whole linear problem with fewer variables would drop cone members:
    // refused, and nothing changes.
    int32_t code = 0;
    try {
        p.input_data(0, 0, 0, 2, nullptr, 0.0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    } catch (const vlt::Error& e) {
        code = e.code();
    }
    CHECK(code == VLT_RES_ERR_INVALID_CONE && p.num_var() == 5 && p.var_cones().num_cone() == 1);
    // A load replaces the whole problem: the cones on variables go, and
    // the load may drop their members.
    vlt::model::ProblemData small;
    small.numvar = 1;
    p.load(small);
    CHECK(p.var_cones().num_cone() == 0 && p.num_var() == 1);
    CHECK(p.consistency_error().empty(), "%s", p.consistency_error().c_str());
}

}  // namespace

int main() {
    test_round_trips();
    test_failures();
    test_variable_removal_and_sizes();
    test_export();
    return vlt_test::report();
}
