// Affine expressions, domains and affine conic constraints through the C
// interface: randomized round trips against a reference, failing calls that
// must leave the task unchanged, renumbering on variable removal, the
// stacked export of the conic rows, and the conversion of a quadratic
// objective to conic form.
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "check.hpp"
#include "task_helpers.hpp"
#include "model/problem.hpp"
#include "velto.h"

namespace {

using Rng = std::mt19937_64;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

using vlt_test::last_message;

VLTtask_t new_task(int32_t numvar) {
    VLTtask_t task = nullptr;
    VLT_makeemptytask(nullptr, &task);
    VLT_appendvars(task, numvar);
    return task;
}

// Everything the AFE, domain and ACC getters report, as one comparable value.
struct Snapshot {
    std::vector<int64_t> fafe;
    std::vector<int32_t> fvar;
    std::vector<double> fval, g;
    std::vector<int32_t> domtype;
    std::vector<int64_t> domn, accdom, accafe;
    std::vector<double> accb, alpha;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(VLTtask_t task) {
    Snapshot s;
    int64_t numafe = 0, nnz = 0, numdom = 0, numacc = 0, ntot = 0;
    VLT_getnumafe(task, &numafe);
    VLT_getafefnumnz(task, &nnz);
    s.fafe.resize(nnz);
    s.fvar.resize(nnz);
    s.fval.resize(nnz);
    VLT_getafeftrip(task, s.fafe.data(), s.fvar.data(), s.fval.data());
    s.g.resize(numafe);
    VLT_getafegslice(task, 0, numafe, s.g.data());
    VLT_getnumdomain(task, &numdom);
    for (int64_t d = 0; d < numdom; ++d) {
        int32_t type = 0;
        int64_t n = 0, nleft = 0;
        VLT_getdomaintype(task, d, &type);
        VLT_getdomainn(task, d, &n);
        s.domtype.push_back(type);
        s.domn.push_back(n);
        if (VLT_getpowerdomaininfo(task, d, &n, &nleft) == VLT_RES_OK) {
            std::vector<double> a(nleft);
            VLT_getpowerdomainalpha(task, d, a.data());
            s.alpha.insert(s.alpha.end(), a.begin(), a.end());
        }
    }
    VLT_getnumacc(task, &numacc);
    VLT_getaccntot(task, &ntot);
    s.accdom.resize(numacc);
    s.accafe.resize(ntot);
    s.accb.resize(ntot);
    VLT_getaccs(task, s.accdom.data(), s.accafe.data(), s.accb.data());
    return s;
}

// A failing call: its expected code and a piece of its message.
struct Failure {
    const char* what;
    std::function<int32_t(VLTtask_t)> call;
    int32_t code;
    const char* says;
};

void expect_failures(VLTtask_t task, const std::vector<Failure>& cases) {
    for (const Failure& f : cases) {
        Snapshot before = snapshot(task);
        int32_t r = f.call(task);
        std::string message = last_message(task);
        CHECK(r == f.code, "%s: code %d, expected %d", f.what, r, f.code);
        CHECK(message.find(f.says) != std::string::npos, "%s: message '%s' lacks '%s'", f.what, message.c_str(),
              f.says);
        CHECK(snapshot(task) == before, "%s changed the task", f.what);
    }
}

// ------------------------------------------------------------------ AFEs

using Rows = std::vector<std::map<int32_t, double>>;

void check_afes(VLTtask_t task, const Rows& ref, const std::vector<double>& g, const std::string& step) {
    int64_t numafe = -1, nnz = -1, want_nnz = 0;
    VLT_getnumafe(task, &numafe);
    VLT_getafefnumnz(task, &nnz);
    for (const auto& row : ref) want_nnz += int64_t(row.size());
    CHECK(numafe == int64_t(ref.size()) && nnz == want_nnz, "%s: numafe %lld nnz %lld", step.c_str(),
          (long long)numafe, (long long)nnz);
    bool rows_ok = true;
    for (size_t i = 0; i < ref.size(); ++i) {
        int32_t n = -1;
        VLT_getafefrownumnz(task, int64_t(i), &n);
        std::vector<int32_t> var(n);
        std::vector<double> val(n);
        int32_t got = -1;
        VLT_getafefrow(task, int64_t(i), &got, var.data(), val.data());
        std::map<int32_t, double> row;
        for (int32_t k = 0; k < got; ++k) row[var[k]] = val[k];
        rows_ok = rows_ok && got == n && int32_t(row.size()) == n && row == ref[i];
    }
    CHECK(rows_ok, "%s: rows differ", step.c_str());
    Snapshot s = snapshot(task);
    Rows from_trip(ref.size());
    for (size_t k = 0; k < s.fafe.size(); ++k) from_trip[s.fafe[k]][s.fvar[k]] = s.fval[k];
    CHECK(from_trip == ref && s.g == g, "%s: triplets or g differ", step.c_str());
}

void test_afe_round_trips() {
    Rng rng(7);
    const int32_t numvar = 9;
    VLTtask_t task = new_task(numvar);
    Rows ref;
    std::vector<double> g;
    auto var = [&] { return int32_t(rng() % numvar); };
    auto value = [&] { return rng() % 5 == 0 ? 0.0 : double(int64_t(rng() % 200) - 100) / 8; };
    for (int step = 0; step < 400; ++step) {
        int64_t numafe = int64_t(ref.size());
        int kind = numafe == 0 ? 0 : int(rng() % 11);
        auto afe = [&] { return int64_t(rng() % numafe); };
        std::string name;
        int32_t r = VLT_RES_OK;
        if (kind == 0) {
            name = "appendafes";
            int64_t n = 1 + rng() % 3;
            r = VLT_appendafes(task, n);
            ref.resize(ref.size() + n);
            g.resize(g.size() + n, 0.0);
        } else if (kind == 1) {
            name = "putafefentry";
            int64_t i = afe();
            int32_t j = var();
            double v = value();
            r = VLT_putafefentry(task, i, j, v);
            if (v == 0) ref[i].erase(j); else ref[i][j] = v;
        } else if (kind == 2) {
            name = "putafefentrylist";
            std::map<std::pair<int64_t, int32_t>, double> entries;
            for (int k = 0; k < 6; ++k) entries[{afe(), var()}] = value();
            std::vector<int64_t> is;
            std::vector<int32_t> js;
            std::vector<double> vs;
            for (auto& [ij, v] : entries) {
                is.push_back(ij.first);
                js.push_back(ij.second);
                vs.push_back(v);
                if (v == 0) ref[ij.first].erase(ij.second); else ref[ij.first][ij.second] = v;
            }
            r = VLT_putafefentrylist(task, int64_t(is.size()), is.data(), js.data(), vs.data());
        } else if (kind == 3 || kind == 4) {
            // One row, or a list of rows sharing one (shuffled) entry pool.
            std::vector<int64_t> rows;
            for (int64_t i = 0; i < numafe && rows.size() < (kind == 3 ? 1u : 3u); ++i)
                if (rng() % 2 || i == numafe - 1) rows.push_back(i);
            std::vector<int32_t> nz, pool_var;
            std::vector<int64_t> ptr;
            std::vector<double> pool_val;
            for (int64_t i : rows) {
                std::map<int32_t, double> row;
                for (int k = 0; k < 4; ++k) row[var()] = value();
                ptr.push_back(int64_t(pool_var.size()));
                nz.push_back(int32_t(row.size()));
                ref[i].clear();
                for (auto& [j, v] : row) {
                    pool_var.push_back(j);
                    pool_val.push_back(v);
                    if (v != 0) ref[i][j] = v;
                }
            }
            if (kind == 3) {
                name = "putafefrow";
                r = VLT_putafefrow(task, rows[0], nz[0], pool_var.data(), pool_val.data());
            } else {
                name = "putafefrowlist";
                r = VLT_putafefrowlist(task, int64_t(rows.size()), rows.data(), nz.data(), ptr.data(),
                                       int64_t(pool_var.size()), pool_var.data(), pool_val.data());
            }
        } else if (kind == 5) {
            name = "putafefcol";
            int32_t j = var();
            std::map<int64_t, double> col;
            for (int k = 0; k < 3; ++k) col[afe()] = value();
            std::vector<int64_t> is;
            std::vector<double> vs;
            for (auto& row : ref) row.erase(j);
            for (auto& [i, v] : col) {
                is.push_back(i);
                vs.push_back(v);
                if (v != 0) ref[i][j] = v;
            }
            r = VLT_putafefcol(task, j, int64_t(is.size()), is.data(), vs.data());
        } else if (kind == 6) {
            name = "emptyafefrow(list)";
            int64_t rows[2] = {afe(), afe()};  // a repeat is harmless
            bool list = rng() % 2;
            r = list ? VLT_emptyafefrowlist(task, 2, rows) : VLT_emptyafefrow(task, rows[0]);
            ref[rows[0]].clear();
            if (list) ref[rows[1]].clear();
        } else if (kind == 7) {
            name = "emptyafefcol(list)";
            int32_t cols[2] = {var(), var()};
            bool list = rng() % 2;
            r = list ? VLT_emptyafefcollist(task, 2, cols) : VLT_emptyafefcol(task, cols[0]);
            for (auto& row : ref) {
                row.erase(cols[0]);
                if (list) row.erase(cols[1]);
            }
        } else if (kind == 8) {
            name = "putafeg";
            int64_t i = afe();
            g[i] = value();
            r = VLT_putafeg(task, i, g[i]);
        } else if (kind == 9) {
            name = "putafeglist";
            int64_t is[3] = {afe(), afe(), afe()};
            double vs[3] = {value(), value(), value()};
            for (int k = 0; k < 3; ++k) g[is[k]] = vs[k];  // the later value wins
            r = VLT_putafeglist(task, 3, is, vs);
        } else {
            name = "putafegslice";
            int64_t first = afe(), last = first + int64_t(rng() % (numafe - first + 1));
            std::vector<double> vs(last - first);
            for (double& v : vs) v = value();
            std::copy(vs.begin(), vs.end(), g.begin() + first);
            r = VLT_putafegslice(task, first, last, vs.data());
        }
        CHECK(r == VLT_RES_OK, "step %d %s: %d %s", step, name.c_str(), r, last_message(task).c_str());
        check_afes(task, ref, g, "step " + std::to_string(step) + " " + name);
    }
    double one = 0;
    CHECK(VLT_getafeg(task, 0, &one) == VLT_RES_OK && one == g[0]);
    VLT_deletetask(&task);
}

void test_afe_failures() {
    VLTtask_t task = new_task(4);
    VLT_appendafes(task, 3);
    int32_t cols[] = {0, 2};
    double vals[] = {1.5, -2};
    VLT_putafefrow(task, 1, 2, cols, vals);
    VLT_putafeg(task, 2, 4.0);
    int64_t afes2[] = {0, 2}, afes_dup[] = {1, 1}, afes_bad[] = {0, 3};
    int32_t vars_dup[] = {3, 3}, vars_bad[] = {1, 4}, nz2[] = {1, 1}, nz_neg[] = {1, -1};
    int64_t ptr_ok[] = {0, 1}, ptr_out[] = {0, 2};
    double nan2[] = {1, kNaN}, inf2[] = {kInfinity, 1};
    std::vector<Failure> cases = {
        {"entry afe", [](VLTtask_t t) { return VLT_putafefentry(t, 3, 0, 1.0); }, VLT_RES_ERR_INDEX_AFE, "afeidx = 3"},
        {"entry nan", [](VLTtask_t t) { return VLT_putafefentry(t, 0, 0, kNaN); }, VLT_RES_ERR_NAN_VALUE, "value"},
        {"entry list var", [&](VLTtask_t t) { return VLT_putafefentrylist(t, 2, afes2, vars_bad, vals); },
         VLT_RES_ERR_INDEX_VAR, "varidx[1] = 4"},
        {"entry list pair twice", [&](VLTtask_t t) { return VLT_putafefentrylist(t, 2, afes_dup, vars_dup, vals); },
         VLT_RES_ERR_DUPLICATE_INDEX, "(1, 3)"},
        {"entry list null", [&](VLTtask_t t) { return VLT_putafefentrylist(t, 2, afes2, nullptr, vals); },
         VLT_RES_ERR_NULL_POINTER, "varidx"},
        {"entry list negative", [&](VLTtask_t t) { return VLT_putafefentrylist(t, -1, afes2, cols, vals); },
         VLT_RES_ERR_NEGATIVE_COUNT, "numentr"},
        {"row inf", [&](VLTtask_t t) { return VLT_putafefrow(t, 0, 2, cols, inf2); }, VLT_RES_ERR_INF_VALUE,
         "val[0]"},
        {"row var twice", [&](VLTtask_t t) { return VLT_putafefrow(t, 0, 2, vars_dup, vals); },
         VLT_RES_ERR_DUPLICATE_INDEX, "varidx[1] = 3"},
        {"row list afe twice",
         [&](VLTtask_t t) { return VLT_putafefrowlist(t, 2, afes_dup, nz2, ptr_ok, 2, cols, vals); },
         VLT_RES_ERR_DUPLICATE_INDEX, "afeidx[1] = 1"},
        {"row list pointer",
         [&](VLTtask_t t) { return VLT_putafefrowlist(t, 2, afes2, nz2, ptr_out, 2, cols, vals); },
         VLT_RES_ERR_INVALID_PTR, "ptrrow[1]"},
        {"row list negative count",
         [&](VLTtask_t t) { return VLT_putafefrowlist(t, 2, afes2, nz_neg, ptr_ok, 2, cols, vals); },
         VLT_RES_ERR_NEGATIVE_COUNT, "numnzrow[1]"},
        {"row list nan in second row",
         [&](VLTtask_t t) { return VLT_putafefrowlist(t, 2, afes2, nz2, ptr_ok, 2, cols, nan2); },
         VLT_RES_ERR_NAN_VALUE, "val[1]"},
        {"col afe", [&](VLTtask_t t) { return VLT_putafefcol(t, 1, 2, afes_bad, vals); }, VLT_RES_ERR_INDEX_AFE,
         "afeidx[1] = 3"},
        {"col afe twice", [&](VLTtask_t t) { return VLT_putafefcol(t, 1, 2, afes_dup, vals); },
         VLT_RES_ERR_DUPLICATE_INDEX, "afeidx[1]"},
        {"col var", [&](VLTtask_t t) { return VLT_putafefcol(t, 4, 2, afes2, vals); }, VLT_RES_ERR_INDEX_VAR,
         "varidx = 4"},
        {"empty row list", [&](VLTtask_t t) { return VLT_emptyafefrowlist(t, 2, afes_bad); },
         VLT_RES_ERR_INDEX_AFE, "afeidx[1]"},
        {"empty col list", [&](VLTtask_t t) { return VLT_emptyafefcollist(t, 2, vars_bad); },
         VLT_RES_ERR_INDEX_VAR, "varidx[1]"},
        {"g nan", [](VLTtask_t t) { return VLT_putafeg(t, 0, kNaN); }, VLT_RES_ERR_NAN_VALUE, "g"},
        {"g list afe", [&](VLTtask_t t) { return VLT_putafeglist(t, 2, afes_bad, vals); }, VLT_RES_ERR_INDEX_AFE,
         "afeidx[1]"},
        {"g list inf", [&](VLTtask_t t) { return VLT_putafeglist(t, 2, afes2, inf2); }, VLT_RES_ERR_INF_VALUE,
         "g[0]"},
        {"g slice beyond", [&](VLTtask_t t) { return VLT_putafegslice(t, 2, 4, vals); }, VLT_RES_ERR_SLICE,
         "last = 4"},
        {"g slice null", [](VLTtask_t t) { return VLT_putafegslice(t, 0, 2, nullptr); }, VLT_RES_ERR_NULL_POINTER,
         "slice"},
        {"append negative", [](VLTtask_t t) { return VLT_appendafes(t, -2); }, VLT_RES_ERR_NEGATIVE_COUNT, "num"},
        {"append too many", [](VLTtask_t t) { return VLT_appendafes(t, int64_t(1) << 40); },
         VLT_RES_ERR_SIZE_LIMIT, "num"},
    };
    expect_failures(task, cases);
    // Getters refuse bad indexes and slices too.
    int32_t nz = 0;
    double gv = 0;
    CHECK(VLT_getafefrownumnz(task, 3, &nz) == VLT_RES_ERR_INDEX_AFE);
    CHECK(VLT_getafeg(task, -1, &gv) == VLT_RES_ERR_INDEX_AFE);
    double out[4];
    CHECK(VLT_getafegslice(task, 0, 4, out) == VLT_RES_ERR_SLICE);
    VLT_deletetask(&task);
}

void test_removing_variables_renumbers_f() {
    VLTtask_t task = new_task(6);
    VLT_appendafes(task, 2);
    int32_t cols0[] = {0, 1, 3, 5}, cols1[] = {3, 4};
    double vals0[] = {1, 2, 3, 4}, vals1[] = {5, 6};
    VLT_putafefrow(task, 0, 4, cols0, vals0);
    VLT_putafefrow(task, 1, 2, cols1, vals1);
    int32_t gone[] = {1, 3};
    CHECK(VLT_removevars(task, 2, gone) == VLT_RES_OK);
    // Variables 0, 2, 4, 5 are now 0, 1, 2, 3.
    Rows want = {{{0, 1.0}, {3, 4.0}}, {{2, 6.0}}};
    check_afes(task, want, {0, 0}, "after removevars");
    VLT_appendvars(task, 2);
    CHECK(VLT_putafefentry(task, 1, 5, 7.0) == VLT_RES_OK);
    want[1][5] = 7.0;
    check_afes(task, want, {0, 0}, "after appendvars");
    // Loading a linear problem with fewer variables drops F's later columns.
    CHECK(VLT_inputdata64(task, 0, 0, 0, 3, nullptr, 0.0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr) == VLT_RES_OK);
    want = {{{0, 1.0}}, {{2, 6.0}}};
    check_afes(task, want, {0, 0}, "after inputdata64");
    VLT_deletetask(&task);
}

// --------------------------------------------------------------- domains

void test_domains() {
    VLTtask_t task = new_task(1);
    using Append = VLTrescodee(VLTAPI*)(VLTtask_t, int64_t, int64_t*);
    struct Kind {
        Append append;
        int32_t type;
        std::vector<int64_t> good, bad;
    };
    const Kind kinds[] = {
        {VLT_appendrplusdomain, VLT_DOMAIN_RPLUS, {0, 4}, {-1}},
        {VLT_appendrminusdomain, VLT_DOMAIN_RMINUS, {2}, {-3}},
        {VLT_appendrdomain, VLT_DOMAIN_R, {1}, {-1}},
        {VLT_appendrzerodomain, VLT_DOMAIN_RZERO, {3}, {-1}},
        {VLT_appendquadraticconedomain, VLT_DOMAIN_QUADRATIC_CONE, {1, 5}, {0, -1}},
        {VLT_appendrquadraticconedomain, VLT_DOMAIN_RQUADRATIC_CONE, {2, 4}, {1, 0}},
        {VLT_appendprimalgeomeanconedomain, VLT_DOMAIN_PRIMAL_GEO_MEAN_CONE, {2, 3}, {1}},
        {VLT_appenddualgeomeanconedomain, VLT_DOMAIN_DUAL_GEO_MEAN_CONE, {4}, {0}},
        {VLT_appendsvecpsdconedomain, VLT_DOMAIN_SVEC_PSD_CONE, {1, 3, 6, 10}, {0, 2, 4, 5, 7}},
    };
    int64_t expected_index = 0;
    for (const Kind& k : kinds) {
        for (int64_t n : k.good) {
            int64_t idx = -1, got_n = -1;
            int32_t type = -1;
            CHECK(k.append(task, n, &idx) == VLT_RES_OK && idx == expected_index++, "type %d n %lld", k.type,
                  (long long)n);
            CHECK(VLT_getdomaintype(task, idx, &type) == VLT_RES_OK && type == k.type);
            CHECK(VLT_getdomainn(task, idx, &got_n) == VLT_RES_OK && got_n == n);
        }
        for (int64_t n : k.bad) {
            Snapshot before = snapshot(task);
            int64_t idx = -1;
            CHECK(k.append(task, n, &idx) == VLT_RES_ERR_DIMENSION && idx == -1, "type %d n %lld accepted", k.type,
                  (long long)n);
            CHECK(snapshot(task) == before);
        }
    }
    int64_t idx = -1, n = -1, nleft = -1;
    int32_t type = -1;
    CHECK(VLT_appendprimalexpconedomain(task, &idx) == VLT_RES_OK && idx == expected_index++);
    CHECK(VLT_getdomaintype(task, idx, &type) == VLT_RES_OK && type == VLT_DOMAIN_PRIMAL_EXP_CONE);
    CHECK(VLT_appenddualexpconedomain(task, &idx) == VLT_RES_OK && idx == expected_index++ &&
          VLT_getdomainn(task, idx, &n) == VLT_RES_OK && n == 3);
    // Power cones keep their weights as given.
    double alpha[] = {0.25, 3.0};
    CHECK(VLT_appenddualpowerconedomain(task, 5, 2, alpha, &idx) == VLT_RES_OK && idx == expected_index++);
    CHECK(VLT_getpowerdomaininfo(task, idx, &n, &nleft) == VLT_RES_OK && n == 5 && nleft == 2);
    double back[2] = {0, 0};
    CHECK(VLT_getpowerdomainalpha(task, idx, back) == VLT_RES_OK && back[0] == 0.25 && back[1] == 3.0);
    CHECK(VLT_getdomaintype(task, idx, &type) == VLT_RES_OK && type == VLT_DOMAIN_DUAL_POWER_CONE);
    double zero_alpha[] = {1.0, 0.0}, nan_alpha[] = {kNaN, 1.0};
    std::vector<Failure> cases = {
        {"power nleft > n", [&](VLTtask_t t) { return VLT_appendprimalpowerconedomain(t, 1, 2, alpha, &idx); },
         VLT_RES_ERR_DIMENSION, "nleft = 2"},
        {"power nleft 0", [&](VLTtask_t t) { return VLT_appendprimalpowerconedomain(t, 3, 0, alpha, &idx); },
         VLT_RES_ERR_DIMENSION, "nleft = 0"},
        {"power alpha 0", [&](VLTtask_t t) { return VLT_appendprimalpowerconedomain(t, 3, 2, zero_alpha, &idx); },
         VLT_RES_ERR_INVALID_DOMAIN, "alpha[1]"},
        {"power alpha nan", [&](VLTtask_t t) { return VLT_appenddualpowerconedomain(t, 3, 2, nan_alpha, &idx); },
         VLT_RES_ERR_NAN_VALUE, "alpha[0]"},
        {"power alpha null", [&](VLTtask_t t) { return VLT_appenddualpowerconedomain(t, 3, 2, nullptr, &idx); },
         VLT_RES_ERR_NULL_POINTER, "alpha"},
        {"power info of a cone", [&](VLTtask_t t) { return VLT_getpowerdomaininfo(t, 0, &n, &nleft); },
         VLT_RES_ERR_INVALID_DOMAIN, "not a power cone"},
        {"type index", [&](VLTtask_t t) { return VLT_getdomaintype(t, expected_index, &type); },
         VLT_RES_ERR_INDEX_DOMAIN, "domidx"},
    };
    expect_failures(task, cases);
    int64_t numdomain = 0;
    CHECK(VLT_getnumdomain(task, &numdomain) == VLT_RES_OK && numdomain == expected_index);
    VLT_deletetask(&task);
}

// ------------------------------------------------------------------ ACCs

void test_accs() {
    VLTtask_t task = new_task(3);
    VLT_appendafes(task, 5);
    int32_t c01[] = {0, 1}, c2[] = {2};
    double v01[] = {1, -1}, v2[] = {2};
    VLT_putafefrow(task, 1, 2, c01, v01);
    VLT_putafefrow(task, 3, 1, c2, v2);
    for (int64_t i = 0; i < 5; ++i) VLT_putafeg(task, i, double(10 * i));
    int64_t quad = -1, plus = -1, zero = -1;
    VLT_appendquadraticconedomain(task, 3, &quad);
    VLT_appendrplusdomain(task, 2, &plus);
    VLT_appendrzerodomain(task, 1, &zero);

    int64_t list0[] = {3, 1, 3};  // an AFE may repeat
    double b0[] = {1, 2, 3};
    CHECK(VLT_appendacc(task, quad, 3, list0, b0) == VLT_RES_OK);
    int64_t doms[] = {plus, zero};
    int64_t list1[] = {0, 4, 2};
    CHECK(VLT_appendaccs(task, 2, doms, 3, list1, nullptr) == VLT_RES_OK);  // null b: zeros
    double b2[] = {5, 6};
    CHECK(VLT_appendaccseq(task, plus, 2, 3, b2) == VLT_RES_OK);            // AFEs 3, 4
    CHECK(VLT_appendaccsseq(task, 2, doms, 3, 0, nullptr) == VLT_RES_OK);  // AFEs 0, 1 | 2
    Snapshot s = snapshot(task);
    CHECK((s.accdom == std::vector<int64_t>{quad, plus, zero, plus, plus, zero}));
    CHECK((s.accafe == std::vector<int64_t>{3, 1, 3, 0, 4, 2, 3, 4, 0, 1, 2}));
    CHECK((s.accb == std::vector<double>{1, 2, 3, 0, 0, 0, 5, 6, 0, 0, 0}));
    int64_t n = -1, dom = -1, ntot = -1;
    CHECK(VLT_getaccn(task, 2, &n) == VLT_RES_OK && n == 1);
    CHECK(VLT_getaccdomain(task, 3, &dom) == VLT_RES_OK && dom == plus);
    CHECK(VLT_getaccntot(task, &ntot) == VLT_RES_OK && ntot == 11);

    // Puts: a changed dimension moves the later ACCs' rows; a repeated ACC
    // in a list takes its last entry.
    int64_t list_put[] = {4};
    double b_put[] = {9};
    CHECK(VLT_putacc(task, 0, zero, 1, list_put, b_put) == VLT_RES_OK);
    int64_t accs[] = {5, 2, 5}, put_doms[] = {plus, plus, zero};
    int64_t put_afes[] = {1, 1, 2, 2, 0};
    double put_b[] = {1, 1, 2, 2, 7};
    CHECK(VLT_putacclist(task, 3, accs, put_doms, 5, put_afes, put_b) == VLT_RES_OK);
    double bnew[] = {-1, -2};
    CHECK(VLT_putaccb(task, 1, 2, bnew) == VLT_RES_OK);
    CHECK(VLT_putaccbj(task, 3, 1, 8.0) == VLT_RES_OK);
    s = snapshot(task);
    CHECK((s.accdom == std::vector<int64_t>{zero, plus, plus, plus, plus, zero}));
    CHECK((s.accafe == std::vector<int64_t>{4, 0, 4, 2, 2, 3, 4, 0, 1, 0}));
    CHECK((s.accb == std::vector<double>{9, -1, -2, 2, 2, 5, 8, 0, 0, 7}));
    std::vector<int64_t> afes1(2);
    std::vector<double> bs1(2);
    CHECK(VLT_getaccafeidxlist(task, 2, afes1.data()) == VLT_RES_OK && (afes1 == std::vector<int64_t>{2, 2}));
    CHECK(VLT_getaccb(task, 2, bs1.data()) == VLT_RES_OK && (bs1 == std::vector<double>{2, 2}));

    // The stacked views: row r holds F of its AFE and g[afe] - b.
    int64_t fnz = -1;
    CHECK(VLT_getaccfnumnz(task, &fnz) == VLT_RES_OK);
    std::vector<int64_t> frow(fnz);
    std::vector<int32_t> fcol(fnz);
    CHECK(VLT_getaccntot(task, &ntot) == VLT_RES_OK && ntot == 10);
    std::vector<double> fval(fnz), gvec(ntot);
    CHECK(VLT_getaccftrip(task, frow.data(), fcol.data(), fval.data()) == VLT_RES_OK);
    CHECK(VLT_getaccgvector(task, gvec.data()) == VLT_RES_OK);
    std::vector<std::map<int32_t, double>> stacked(ntot);
    for (int64_t k = 0; k < fnz; ++k) stacked[frow[k]][fcol[k]] = fval[k];
    int64_t want_fnz = 0;
    bool rows_ok = true;
    for (size_t r = 0; r < s.accafe.size(); ++r) {
        std::map<int32_t, double> want;
        if (s.accafe[r] == 1) want = {{0, 1.0}, {1, -1.0}};
        if (s.accafe[r] == 3) want = {{2, 2.0}};
        want_fnz += int64_t(want.size());
        rows_ok = rows_ok && stacked[r] == want && gvec[r] == 10.0 * double(s.accafe[r]) - s.accb[r];
    }
    CHECK(rows_ok && fnz == want_fnz && want_fnz == 3, "stacked rows differ (fnz %lld)", (long long)fnz);

    // Failing calls.
    int64_t bad_afe[] = {0, 5, 1}, short_list[] = {0, 1}, bad_doms[] = {plus, 7}, accs_bad[] = {6};
    double b_nan[] = {0, kNaN, 0};
    std::vector<Failure> cases = {
        {"append domain", [&](VLTtask_t t) { return VLT_appendacc(t, 7, 3, list0, b0); }, VLT_RES_ERR_INDEX_DOMAIN,
         "domidx = 7"},
        {"append dimension", [&](VLTtask_t t) { return VLT_appendacc(t, quad, 2, short_list, b0); },
         VLT_RES_ERR_DIMENSION, "numafeidx = 2"},
        {"append afe", [&](VLTtask_t t) { return VLT_appendacc(t, quad, 3, bad_afe, b0); }, VLT_RES_ERR_INDEX_AFE,
         "afeidxlist[1] = 5"},
        {"append b nan", [&](VLTtask_t t) { return VLT_appendacc(t, quad, 3, list0, b_nan); },
         VLT_RES_ERR_NAN_VALUE, "b[1]"},
        {"append null list", [&](VLTtask_t t) { return VLT_appendacc(t, quad, 3, nullptr, b0); },
         VLT_RES_ERR_NULL_POINTER, "afeidxlist"},
        {"appendaccs dims", [&](VLTtask_t t) { return VLT_appendaccs(t, 2, doms, 2, list1, nullptr); },
         VLT_RES_ERR_DIMENSION, "numafeidx = 2"},
        {"appendaccs domain", [&](VLTtask_t t) { return VLT_appendaccs(t, 2, bad_doms, 3, list1, nullptr); },
         VLT_RES_ERR_INDEX_DOMAIN, "domidxs[1]"},
        {"seqs beyond", [&](VLTtask_t t) { return VLT_appendaccsseq(t, 2, doms, 3, 4, nullptr); },
         VLT_RES_ERR_INDEX_AFE, "afeidxfirst = 4"},
        {"put acc index", [&](VLTtask_t t) { return VLT_putacc(t, 6, zero, 1, list_put, b_put); },
         VLT_RES_ERR_INDEX_ACC, "accidx = 6"},
        {"put list acc", [&](VLTtask_t t) { return VLT_putacclist(t, 1, accs_bad, doms, 2, short_list, nullptr); },
         VLT_RES_ERR_INDEX_ACC, "accidxs[0] = 6"},
        {"put b length", [&](VLTtask_t t) { return VLT_putaccb(t, 1, 3, b0); }, VLT_RES_ERR_DIMENSION,
         "lengthb = 3"},
        {"put bj position", [](VLTtask_t t) { return VLT_putaccbj(t, 1, 2, 1.0); }, VLT_RES_ERR_INDEX, "j = 2"},
        {"put bj inf", [](VLTtask_t t) { return VLT_putaccbj(t, 1, 0, -kInfinity); }, VLT_RES_ERR_INF_VALUE, "bj"},
    };
    expect_failures(task, cases);

    int32_t probtype = -1;
    CHECK(VLT_getprobtype(task, &probtype) == VLT_RES_OK && probtype == VLT_PROBTYPE_CONIC);
    // A clone is a deep copy: it has everything, and changes stay apart.
    VLTtask_t clone = nullptr;
    CHECK(VLT_clonetask(task, &clone) == VLT_RES_OK);
    Snapshot original = snapshot(task);
    CHECK(snapshot(clone) == original);
    CHECK(VLT_putafefentry(clone, 3, 0, 5.0) == VLT_RES_OK && VLT_putaccbj(clone, 0, 0, 1.0) == VLT_RES_OK);
    CHECK(snapshot(task) == original && !(snapshot(clone) == original));
    VLT_deletetask(&clone);
    VLT_deletetask(&task);
}

// --------------------------------------------------------- exchange form

void test_exchange_form() {
    using namespace vlt::model;
    Problem p;
    p.append_vars(3);
    AffineStore& afes = p.affine();
    ConicStore& cones = p.conic();
    afes.append(3);
    int32_t c[] = {0, 2};
    double v[] = {1.5, -1};
    afes.put_row(0, 2, c, v, 3);
    afes.put_g(0, 4);
    afes.put_g(2, 1);
    int64_t q = cones.append_domain(VLT_DOMAIN_QUADRATIC_CONE, 3);
    int64_t list[] = {2, 0, 0};
    double b[] = {0.5, 1, 2};
    cones.append_acc(q, 3, list, b, afes.num_afe());
    ProblemData d = p.to_data();
    CHECK(d.cones.size() == 1 && d.cones[0].domain == VLT_DOMAIN_QUADRATIC_CONE && d.cones[0].dim == 3);
    CHECK((d.fptr == std::vector<int64_t>{0, 0, 2, 4}));
    CHECK((d.fsub == std::vector<int32_t>{0, 2, 0, 2}) && (d.fval == std::vector<double>{1.5, -1, 1.5, -1}));
    CHECK((d.g == std::vector<double>{0.5, 3, 2}));

    // Loading the export gives the same rows; loading data without conic
    // rows leaves no AFEs, domains or ACCs.
    Problem back;
    back.load(d);
    ProblemData again = back.to_data();
    CHECK(again.fptr == d.fptr && again.fsub == d.fsub && again.fval == d.fval && again.g == d.g &&
          again.cones.size() == 1 && again.cones[0].dim == 3);
    ProblemData plain = d;
    plain.cones.clear();
    plain.fptr = {0};
    plain.fsub.clear();
    plain.fval.clear();
    plain.g.clear();
    back.load(plain);
    CHECK(back.affine().num_afe() == 0 && back.conic().num_acc() == 0 && back.conic().num_domain() == 0);

    // Malformed conic rows are refused before anything changes.
    back.load(d);
    auto refused = [&](ProblemData bad, int32_t code) {
        try {
            back.load(bad);
        } catch (const vlt::Error& e) {
            return e.code() == code && back.affine().num_afe() == 3 && back.conic().num_acc() == 1;
        }
        return false;
    };
    ProblemData bad = d;
    bad.cones[0].dim = 2;
    CHECK(refused(bad, VLT_RES_ERR_DIMENSION));
    bad = d;
    bad.fsub[1] = 3;
    CHECK(refused(bad, VLT_RES_ERR_INDEX_VAR));
    bad = d;
    bad.fsub[1] = 0;
    CHECK(refused(bad, VLT_RES_ERR_DUPLICATE_INDEX));
    bad = d;
    bad.fptr[2] = 5;
    CHECK(refused(bad, VLT_RES_ERR_INVALID_PTR));
    bad = d;
    bad.cones = {{VLT_DOMAIN_PRIMAL_POWER_CONE, 3}};
    CHECK(refused(bad, VLT_RES_ERR_INVALID_DOMAIN));
}

// --------------------------------------------------------------- toconic

using Dense = std::vector<std::vector<double>>;

// A task read from a QPS text: objective c, all variables free, 0.5 x'Qx
// with Q from the lower triangle of q (entries that are exactly zero are
// left out).
VLTtask_t qp_task(const std::vector<double>& c, const Dense& q, bool maximize) {
    std::string text = "NAME qp\n";
    if (maximize) text += "OBJSENSE\n MAX\n";
    text += "ROWS\n N obj\nCOLUMNS\n";
    char line[128];
    for (size_t j = 0; j < c.size(); ++j) {
        std::snprintf(line, sizeof line, " x%zu obj %.17g\n", j, c[j]);
        text += line;
    }
    text += "BOUNDS\n";
    for (size_t j = 0; j < c.size(); ++j) text += " FR bnd x" + std::to_string(j) + "\n";
    text += "QUADOBJ\n";
    for (size_t i = 0; i < q.size(); ++i)
        for (size_t j = 0; j <= i; ++j)
            if (q[i][j] != 0) {
                std::snprintf(line, sizeof line, " x%zu x%zu %.17g\n", j, i, q[i][j]);
                text += line;
            }
    text += "ENDATA\n";
    const char* path = "test_conic_store_qp.mps";
    std::FILE* f = std::fopen(path, "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    VLTtask_t task = nullptr;
    VLT_makeemptytask(nullptr, &task);
    int32_t r = VLT_readdataformat(task, path, VLT_DATA_FORMAT_FREE_MPS, VLT_COMPRESS_NONE);
    CHECK(r == VLT_RES_OK, "reading the QP: %s", last_message(task).c_str());
    std::remove(path);
    return task;
}

// Q = B B' for B n x r, with a share `density` of B's entries non-zero.
Dense gram(Rng& rng, int n, int r, double density) {
    std::uniform_real_distribution<double> u(-1, 1), coin(0, 1);
    Dense b(n, std::vector<double>(r));
    for (auto& row : b)
        for (double& x : row) x = coin(rng) < density ? u(rng) : 0.0;
    Dense q(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < r; ++k) q[i][j] += b[i][k] * b[j][k];
    return q;
}

Dense scaled(Dense q, double s) {
    for (auto& row : q)
        for (double& x : row) x *= s;
    return q;
}

// Converts, then checks the new ACC against x'Qx for random x: with rows
// r = F x + g - b of the last ACC, r0 = s t, r1 = 1 and ||r2..||^2 = s x'Qx.
void check_conversion(const char* what, const Dense& q, bool maximize, Rng& rng) {
    const int n = int(q.size());
    std::vector<double> c(n, 1.0);
    VLTtask_t task = qp_task(c, q, maximize);
    // Data that must survive: one AFE and ACC of the caller's, a solution
    // that must go.
    int64_t dom = -1;
    VLT_appendafes(task, 1);
    VLT_putafeg(task, 0, 3.0);
    VLT_appendrplusdomain(task, 1, &dom);
    int64_t afe0 = 0;
    VLT_appendacc(task, dom, 1, &afe0, nullptr);
    std::vector<double> xx(n, 0.5);
    VLT_putxx(task, VLT_SOL_ITR, xx.data());
    int32_t type = -1;
    VLT_getprobtype(task, &type);
    CHECK(type == VLT_PROBTYPE_MIXED, "%s: type before %d", what, type);

    int32_t r = VLT_toconic(task);
    CHECK(r == VLT_RES_OK, "%s: toconic %d %s", what, r, last_message(task).c_str());
    int32_t numvar = 0, bk = -1, isdef = 1;
    double bl = 0, bu = 0, ct = 0;
    VLT_getnumvar(task, &numvar);
    CHECK(numvar == n + 1, "%s: numvar %d", what, numvar);
    CHECK(VLT_getvarbound(task, n, &bk, &bl, &bu) == VLT_RES_OK && bk == VLT_BK_FR);
    CHECK(VLT_getcj(task, n, &ct) == VLT_RES_OK && ct == 1.0);
    VLT_getprobtype(task, &type);
    CHECK(type == VLT_PROBTYPE_CONIC, "%s: type after %d", what, type);
    VLT_solutiondef(task, VLT_SOL_ITR, &isdef);
    CHECK(isdef == 0, "%s: the old solution is still defined", what);

    int64_t numacc = 0, accn = 0, accdom = -1, ntot = 0, fnz = 0;
    int32_t domtype = -1;
    VLT_getnumacc(task, &numacc);
    CHECK(numacc == 2);
    VLT_getaccn(task, 1, &accn);
    VLT_getaccdomain(task, 1, &accdom);
    VLT_getdomaintype(task, accdom, &domtype);
    CHECK(domtype == VLT_DOMAIN_RQUADRATIC_CONE && accn >= 2, "%s: domain %d n %lld", what, domtype, (long long)accn);
    VLT_getaccntot(task, &ntot);
    VLT_getaccfnumnz(task, &fnz);
    std::vector<int64_t> frow(fnz);
    std::vector<int32_t> fcol(fnz);
    std::vector<double> fval(fnz), g(ntot);
    VLT_getaccftrip(task, frow.data(), fcol.data(), fval.data());
    VLT_getaccgvector(task, g.data());
    CHECK(ntot == 1 + accn && g[0] == 3.0, "%s: the caller's ACC changed", what);

    const double s = maximize ? -1.0 : 1.0;
    std::uniform_real_distribution<double> u(-2, 2);
    double worst = 0;
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<double> x(n + 1);
        for (double& xi : x) xi = u(rng);
        std::vector<double> rows(g.begin() + 1, g.end());
        for (int64_t k = 0; k < fnz; ++k)
            if (frow[k] >= 1) rows[frow[k] - 1] += fval[k] * x[fcol[k]];
        double xqx = 0, scale = 0, norm2 = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                xqx += x[i] * q[i][j] * x[j];
                scale += std::fabs(x[i] * q[i][j] * x[j]);
            }
        for (size_t k = 2; k < rows.size(); ++k) norm2 += rows[k] * rows[k];
        worst = std::max(worst, std::fabs(norm2 - s * xqx) / std::max(scale, 1.0));
        CHECK(rows[0] == s * x[n] && rows[1] == 1.0, "%s: r0 %g r1 %g", what, rows[0], rows[1]);
    }
    CHECK(worst < 1e-10, "%s: ||L'x||^2 misses x'Qx by %g", what, worst);
    VLT_deletetask(&task);
}

void test_toconic() {
    Rng rng(11);
    check_conversion("diagonal", {{2, 0, 0}, {0, 0.5, 0}, {0, 0, 3}}, false, rng);
    check_conversion("dense PSD", gram(rng, 6, 6, 1.0), false, rng);
    check_conversion("singular PSD, rank 2", gram(rng, 7, 2, 1.0), false, rng);
    check_conversion("sparse singular PSD", gram(rng, 25, 12, 0.15), false, rng);
    check_conversion("variables outside Q", {{0, 0, 0, 0}, {0, 1, 0, -1}, {0, 0, 0, 0}, {0, -1, 0, 1}}, false, rng);
    check_conversion("concave, maximized", scaled(gram(rng, 5, 3, 1.0), -1), true, rng);

    // The factor is exact and drops the rows of zero pivots: rank r gives
    // a cone of dimension 2 + r.
    {
        VLTtask_t task = qp_task({0, 0, 0}, {{1, 1, 2}, {1, 1, 2}, {2, 2, 4}}, false);
        CHECK(VLT_toconic(task) == VLT_RES_OK);
        int64_t n = 0;
        CHECK(VLT_getaccn(task, 0, &n) == VLT_RES_OK && n == 3, "rank-1 cone has dimension %lld", (long long)n);
        VLT_deletetask(&task);
    }

    // Refusals leave the task as it was, solution included.
    struct Refusal {
        const char* what;
        Dense q;
        bool maximize;
    };
    const Refusal refusals[] = {
        {"indefinite", {{1, 2}, {2, 1}}, false},
        {"negative diagonal", {{1, 0}, {0, -1}}, false},
        {"zero diagonal with coupling", {{0, 1}, {1, 1}}, false},
        {"PSD but maximized", {{2, 1}, {1, 2}}, true},
        {"NSD but minimized", {{-1, 0}, {0, -1}}, false},
        {"singular indefinite", {{1, 1, 0}, {1, 1, 1}, {0, 1, 0}}, false},
    };
    for (const Refusal& f : refusals) {
        VLTtask_t task = qp_task(std::vector<double>(f.q.size(), 0.0), f.q, f.maximize);
        std::vector<double> xx(f.q.size(), 1.0);
        VLT_putxx(task, VLT_SOL_ITR, xx.data());
        Snapshot before = snapshot(task);
        int32_t r = VLT_toconic(task);
        std::string message = last_message(task);
        int32_t numvar = 0, type = -1, isdef = 0;
        VLT_getnumvar(task, &numvar);
        VLT_getprobtype(task, &type);
        VLT_solutiondef(task, VLT_SOL_ITR, &isdef);
        CHECK(r == VLT_RES_ERR_NONCONVEX, "%s: %d", f.what, r);
        CHECK(message.find("semidefinite") != std::string::npos, "%s: %s", f.what, message.c_str());
        CHECK(snapshot(task) == before && numvar == int32_t(f.q.size()) && type == VLT_PROBTYPE_QO && isdef == 1,
              "%s changed the task", f.what);
        VLT_deletetask(&task);
    }

    // Nothing quadratic: nothing to do.
    VLTtask_t task = new_task(2);
    CHECK(VLT_toconic(task) == VLT_RES_OK);
    int32_t numvar = 0;
    int64_t numafe = -1;
    VLT_getnumvar(task, &numvar);
    VLT_getnumafe(task, &numafe);
    CHECK(numvar == 2 && numafe == 0);
    VLT_deletetask(&task);
}

}  // namespace

int main() {
    test_afe_round_trips();
    test_afe_failures();
    test_removing_variables_renumbers_f();
    test_domains();
    test_accs();
    test_exchange_form();
    test_toconic();
    return vlt_test::report();
}
