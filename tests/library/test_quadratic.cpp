// Quadratic terms of constraints: the store through the C interface (types,
// exchange form, load refusals) and their conversion to conic form, checked
// against x'Q_k x for random x; refusals of non-convex parts leave the task
// unchanged.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "check.hpp"
#include "task_helpers.hpp"
#include "model/problem.hpp"
#include "velto.h"

namespace {

using Rng = std::mt19937_64;
using Dense = std::vector<std::vector<double>>;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

using vlt_test::last_message;

// Q = s B B' for B n x r.
Dense gram(Rng& rng, int n, int r, double s) {
    std::uniform_real_distribution<double> u(-1, 1);
    Dense b(n, std::vector<double>(r));
    for (auto& row : b)
        for (double& x : row) x = u(rng);
    Dense q(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < r; ++k) q[i][j] += s * b[i][k] * b[j][k];
    return q;
}

struct Triplets {
    std::vector<int32_t> i, j;
    std::vector<double> v;
};

Triplets lower(const Dense& q) {
    Triplets t;
    for (int i = 0; i < int(q.size()); ++i)
        for (int j = 0; j <= i; ++j)
            if (q[i][j] != 0) t.i.push_back(i), t.j.push_back(j), t.v.push_back(q[i][j]);
    return t;
}

struct Row {
    int32_t key;
    double bl, bu;
    Dense q;  // empty: linear
};

// n variables in [-10, 10], rows with a'x = sum_j (j + 1) x_j and the given
// bounds and quadratic parts; the objective has the quadratic part qobj.
VLTtask_t make_task(int n, const std::vector<Row>& rows, const Dense& qobj) {
    VLTtask_t task = nullptr;
    VLT_makeemptytask(nullptr, &task);
    VLT_appendvars(task, n);
    VLT_appendcons(task, int32_t(rows.size()));
    std::vector<int32_t> sub(n);
    std::vector<double> val(n);
    for (int j = 0; j < n; ++j) {
        sub[j] = j, val[j] = j + 1.0;
        VLT_putvarbound(task, j, VLT_BK_RA, -10, 10);
    }
    for (int32_t k = 0; k < int32_t(rows.size()); ++k) {
        VLT_putconbound(task, k, rows[k].key, rows[k].bl, rows[k].bu);
        VLT_putarow(task, k, n, sub.data(), val.data());
        if (rows[k].q.empty()) continue;
        Triplets t = lower(rows[k].q);
        int32_t r = VLT_putqconk(task, k, int32_t(t.v.size()), t.i.data(), t.j.data(), t.v.data());
        CHECK(r == VLT_RES_OK, "putqconk %d: %s", r, last_message(task).c_str());
    }
    if (!qobj.empty()) {
        Triplets t = lower(qobj);
        VLT_putqobj(task, int32_t(t.v.size()), t.i.data(), t.j.data(), t.v.data());
    }
    return task;
}

double xqx(const Dense& q, const std::vector<double>& x) {
    double s = 0;
    for (size_t i = 0; i < q.size(); ++i)
        for (size_t j = 0; j < q.size(); ++j) s += x[i] * q[i][j] * x[j];
    return s;
}

void test_store() {
    Rng rng(3);
    // Problem types.
    VLTtask_t task = make_task(3, {{VLT_BK_UP, -kInfinity, 1.0, {}}}, {});
    int32_t type = -1;
    VLT_getprobtype(task, &type);
    CHECK(type == VLT_PROBTYPE_LO);
    const int32_t i0[] = {2}, j0[] = {1};
    const double v0[] = {1.0};
    CHECK(VLT_putqconk(task, 0, 1, i0, j0, v0) == VLT_RES_OK);
    VLT_getprobtype(task, &type);
    CHECK(type == VLT_PROBTYPE_QCQO, "type %d", type);
    int64_t dom = -1, afe = 0;
    VLT_appendafes(task, 1);
    VLT_appendrplusdomain(task, 1, &dom);
    VLT_appendacc(task, dom, 1, &afe, nullptr);
    VLT_getprobtype(task, &type);
    CHECK(type == VLT_PROBTYPE_MIXED, "type %d", type);
    CHECK(VLT_checkmemtask(task, "test", 0) == VLT_RES_OK);
    VLT_deletetask(&task);

    // Exchange form: the terms of every row come back in the lower triangle,
    // and loading them into another problem reproduces them.
    vlt::model::Problem p;
    p.append_vars(4);
    p.append_cons(3);
    const int32_t k[] = {2, 0, 2, 2}, i[] = {1, 3, 3, 0}, j[] = {3, 3, 0, 0};
    const double v[] = {1.0, 2.0, 3.0, 4.0};
    p.put_qcon(4, k, i, j, v);
    vlt::model::ProblemData d = p.to_data();
    CHECK((d.qcsubk == std::vector<int32_t>{0, 2, 2, 2}), "qcsubk");
    CHECK((d.qcsubi == std::vector<int32_t>{3, 0, 3, 3}), "qcsubi");
    CHECK((d.qcsubj == std::vector<int32_t>{3, 0, 0, 1}), "qcsubj");
    CHECK((d.qcval == std::vector<double>{2.0, 4.0, 3.0, 1.0}), "qcval");
    vlt::model::Problem loaded;
    loaded.load(d);
    CHECK(loaded.num_qcon_k_nz(2) == 3 && loaded.num_qcon_k_nz(1) == 0 && loaded.consistency_error().empty());
    vlt::model::ProblemData back = loaded.to_data();
    CHECK(back.qcsubk == d.qcsubk && back.qcsubi == d.qcsubi && back.qcsubj == d.qcsubj && back.qcval == d.qcval);

    // Load refuses bad terms and keeps what it had.
    struct Bad {
        const char* what;
        void (*change)(vlt::model::ProblemData&);
        int32_t code;
    };
    const Bad bad[] = {
        {"row out of range", [](vlt::model::ProblemData& e) { e.qcsubk[0] = 3; }, VLT_RES_ERR_INDEX_CON},
        {"column out of range", [](vlt::model::ProblemData& e) { e.qcsubj[1] = 4; }, VLT_RES_ERR_INDEX_VAR},
        {"repeated pair", [](vlt::model::ProblemData& e) { e.qcsubi[3] = 0, e.qcsubj[3] = 3; },
         VLT_RES_ERR_DUPLICATE_INDEX},
        {"NaN", [](vlt::model::ProblemData& e) { e.qcval[2] = std::nan(""); }, VLT_RES_ERR_NAN_VALUE},
        {"short array", [](vlt::model::ProblemData& e) { e.qcval.pop_back(); }, VLT_RES_ERR_DIMENSION},
    };
    for (const Bad& b : bad) {
        vlt::model::ProblemData e = d;
        b.change(e);
        vlt::model::Problem target;
        target.append_vars(4);
        target.append_cons(3);
        const int32_t k1[] = {1};
        target.put_qcon(1, k1, k1, k1, v);
        int32_t code = 0;
        try {
            target.load(e);
        } catch (const vlt::Error& error) {
            code = error.code();
        }
        CHECK(code == b.code, "%s: %d", b.what, code);
        CHECK(target.num_qcon_k_nz(1) == 1 && target.num_qcon_k_nz(2) == 0, "%s changed the problem", b.what);
    }
}

// The ACCs' stacked rows after a conversion, with the offset of each ACC.
struct Cones {
    std::vector<int64_t> start, n;
    std::vector<int64_t> frow;
    std::vector<int32_t> fcol;
    std::vector<double> fval, g;
};

Cones cones_of(VLTtask_t task) {
    Cones c;
    int64_t numacc = 0, ntot = 0, fnz = 0;
    VLT_getnumacc(task, &numacc);
    for (int64_t a = 0, at = 0; a < numacc; ++a) {
        int64_t n = 0;
        VLT_getaccn(task, a, &n);
        c.start.push_back(at), c.n.push_back(n);
        at += n;
    }
    VLT_getaccntot(task, &ntot);
    VLT_getaccfnumnz(task, &fnz);
    c.frow.resize(fnz), c.fcol.resize(fnz), c.fval.resize(fnz), c.g.resize(ntot);
    VLT_getaccftrip(task, c.frow.data(), c.fcol.data(), c.fval.data());
    VLT_getaccgvector(task, c.g.data());
    return c;
}

// Rows of ACC a at x.
std::vector<double> acc_rows(const Cones& c, int64_t a, const std::vector<double>& x) {
    std::vector<double> r(c.g.begin() + c.start[a], c.g.begin() + c.start[a] + c.n[a]);
    for (size_t e = 0; e < c.frow.size(); ++e)
        if (c.frow[e] >= c.start[a] && c.frow[e] < c.start[a] + c.n[a])
            r[c.frow[e] - c.start[a]] += c.fval[e] * x[c.fcol[e]];
    return r;
}

void test_toconic_of_constraints() {
    Rng rng(7);
    const int n = 6;
    // Rows: upper bound with PSD Q, lower bound with NSD Q (rank 3), free row
    // with an indefinite Q (dropped), a linear row; a PSD objective.
    const Dense q_up = gram(rng, n, n, 1.0), q_lo = gram(rng, n, 3, -1.0);
    Dense q_free(n, std::vector<double>(n, 0.0));
    q_free[0][0] = 1, q_free[1][1] = -1;
    const std::vector<Row> rows = {{VLT_BK_UP, -kInfinity, 2.0, q_up},
                                   {VLT_BK_LO, -3.0, kInfinity, q_lo},
                                   {VLT_BK_FR, -kInfinity, kInfinity, q_free},
                                   {VLT_BK_RA, -1.0, 1.0, {}}};
    VLTtask_t task = make_task(n, rows, gram(rng, n, 2, 1.0));
    int32_t r = VLT_toconic(task);
    CHECK(r == VLT_RES_OK, "toconic %d: %s", r, last_message(task).c_str());

    // Rows keep their indexes and bounds; t (objective) is variable n, then
    // t_0, t_1; only the two convex rows got one.
    int32_t numvar = 0, numcon = 0, type = -1;
    VLT_getnumvar(task, &numvar);
    VLT_getnumcon(task, &numcon);
    VLT_getprobtype(task, &type);
    CHECK(numvar == n + 3 && numcon == 4 && type == VLT_PROBTYPE_CONIC, "numvar %d numcon %d type %d", numvar, numcon,
          type);
    const double expected_t[4][3] = {{0, 1, 0}, {0, 0, -1}, {0, 0, 0}, {0, 0, 0}};
    for (int32_t k = 0; k < 4; ++k) {
        int32_t bk = -1;
        double bl = 0, bu = 0, a = 0;
        VLT_getconbound(task, k, &bk, &bl, &bu);
        CHECK(bk == rows[k].key && (bk == VLT_BK_UP || bl == rows[k].bl) && (bk == VLT_BK_LO || bu == rows[k].bu));
        for (int j = 0; j < n; ++j) CHECK(VLT_getaij(task, k, j, &a) == VLT_RES_OK && a == j + 1.0);
        for (int t = 0; t < 3; ++t) {
            VLT_getaij(task, k, n + t, &a);
            CHECK(a == expected_t[k][t], "row %d, t %d: %g", k, t, a);
        }
        int64_t nz = -1;
        CHECK(VLT_getnumqconknz64(task, k, &nz) == VLT_RES_OK && nz == 0);
    }
    int64_t qnz = -1;
    VLT_getnumqobjnz64(task, &qnz);
    CHECK(qnz == 0);

    // ACC 1 belongs to row 0, ACC 2 to row 1: (t_k, 1, L'x) with
    // ||L'x||^2 = s x'Q_k x, s = 1 for the upper bound and -1 for the lower.
    Cones c = cones_of(task);
    CHECK(c.n.size() == 3 && c.n[2] == 2 + 3, "accs %zu", c.n.size());
    std::uniform_real_distribution<double> u(-2, 2);
    double worst = 0;
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<double> x(numvar);
        for (double& xi : x) xi = u(rng);
        for (int k = 0; k < 2; ++k) {
            const double s = k == 0 ? 1.0 : -1.0;
            std::vector<double> z = acc_rows(c, 1 + k, x);
            double norm2 = 0;
            for (size_t e = 2; e < z.size(); ++e) norm2 += z[e] * z[e];
            const double target = s * xqx(k == 0 ? q_up : q_lo, x);
            worst = std::max(worst, std::fabs(norm2 - target) / std::max(1.0, std::fabs(target)));
            CHECK(z[0] == x[n + 1 + k] && z[1] == 1.0, "row %d: r0 %g r1 %g", k, z[0], z[1]);
        }
    }
    CHECK(worst < 1e-10, "||L'x||^2 misses s x'Q_k x by %g", worst);
    CHECK(VLT_checkmemtask(task, "test", 0) == VLT_RES_OK);
    VLT_deletetask(&task);
}

void test_toconic_refusals() {
    Rng rng(5);
    const int n = 4;
    const Dense psd = gram(rng, n, 2, 1.0), nsd = gram(rng, n, 2, -1.0);
    Dense indefinite(n, std::vector<double>(n, 0.0));
    indefinite[0][0] = 1, indefinite[1][1] = -1;
    struct Refusal {
        const char* what;
        Row row;
        Dense qobj;
        const char* says;
    };
    const Refusal refusals[] = {
        {"ranged row", {VLT_BK_RA, -1, 1, psd}, {}, "constraint 1"},
        {"fixed row", {VLT_BK_FX, 1, 1, nsd}, {}, "constraint 1"},
        {"upper bound, indefinite", {VLT_BK_UP, -kInfinity, 1, indefinite}, {}, "constraint 1"},
        {"upper bound, NSD", {VLT_BK_UP, -kInfinity, 1, nsd}, {}, "constraint 1"},
        {"lower bound, PSD", {VLT_BK_LO, 1, kInfinity, psd}, {}, "constraint 1"},
        {"convex rows, non-convex objective", {VLT_BK_UP, -kInfinity, 1, psd}, nsd, "objective"},
    };
    for (const Refusal& f : refusals) {
        VLTtask_t task = make_task(n, {{VLT_BK_UP, -kInfinity, 1, psd}, f.row}, f.qobj);
        int64_t nz0 = 0, nz1 = 0, anz = 0, qnz = 0, numafe = 0;
        int32_t numvar = 0;
        int32_t r = VLT_toconic(task);
        std::string message = last_message(task);
        CHECK(r == VLT_RES_ERR_NONCONVEX, "%s: %d", f.what, r);
        CHECK(message.find(f.says) != std::string::npos, "%s: %s", f.what, message.c_str());
        VLT_getnumvar(task, &numvar);
        VLT_getnumanz64(task, &anz);
        VLT_getnumafe(task, &numafe);
        VLT_getnumqconknz64(task, 0, &nz0);
        VLT_getnumqconknz64(task, 1, &nz1);
        VLT_getnumqobjnz64(task, &qnz);
        const int64_t qobj_nz = f.qobj.empty() ? 0 : int64_t(lower(f.qobj).v.size());
        CHECK(numvar == n && anz == 2 * n && numafe == 0 && nz0 == int64_t(lower(psd).v.size()) &&
                  nz1 == int64_t(lower(f.row.q).v.size()) && qnz == qobj_nz,
              "%s changed the task", f.what);
        VLT_deletetask(&task);
    }
}

// QCMATRIX sections: the file's x'Qx, full symmetric, becomes Q_k = 2 Q
// by its lower triangle.
int32_t read_mps(VLTtask_t task, const std::string& text) {
    const char* path = "test_quadratic_qc.mps";
    std::FILE* f = std::fopen(path, "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    int32_t r = VLT_readdataformat(task, path, VLT_DATA_FORMAT_FREE_MPS, VLT_COMPRESS_NONE);
    std::remove(path);
    return r;
}

void test_mps_qcmatrix() {
    const std::string head =
        "NAME qc\nROWS\n N obj\n L c0\n G c1\nCOLUMNS\n x obj 1 c0 1\n y obj 1 c1 1\n z c0 1\n"
        "RHS\n rhs c0 4 c1 -1\n";
    VLTtask_t task = nullptr;
    VLT_makeemptytask(nullptr, &task);
    int32_t r = read_mps(task, head + "QCMATRIX c1\n x x 1\n x z 0.5\n z x 0.5\n z z 3\nQCMATRIX c0\n y y 2\nENDATA\n");
    CHECK(r == VLT_RES_OK, "read %d: %s", r, last_message(task).c_str());
    int64_t nz = 0;
    int32_t i[4], j[4];
    double v[4];
    CHECK(VLT_getqconk64(task, 1, 4, &nz, i, j, v) == VLT_RES_OK && nz == 3);
    CHECK(nz == 3 && i[0] == 0 && j[0] == 0 && v[0] == 2.0 && i[1] == 2 && j[1] == 0 && v[1] == 1.0 && i[2] == 2 &&
              j[2] == 2 && v[2] == 6.0,
          "row c1 read wrongly");
    CHECK(VLT_getqconk64(task, 0, 4, &nz, i, j, v) == VLT_RES_OK && nz == 1 && i[0] == 1 && j[0] == 1 && v[0] == 4.0);
    int32_t type = -1;
    VLT_getprobtype(task, &type);
    CHECK(type == VLT_PROBTYPE_QCQO);
    const char* refused[] = {"QCMATRIX obj\n x x 1\nENDATA\n", "QCMATRIX nosuch\n x x 1\nENDATA\n",
                             "QCMATRIX c0\n x x 1\nQCMATRIX c0\n y y 1\nENDATA\n", "QCMATRIX c0\n x w 1\nENDATA\n"};
    for (const char* tail : refused) {
        r = read_mps(task, head + tail);
        CHECK(r != VLT_RES_OK, "accepted %s", tail);
        CHECK(VLT_getnumqconknz64(task, 1, &nz) == VLT_RES_OK && nz == 3, "a refused read changed the task");
    }
    VLT_deletetask(&task);
}

}  // namespace

int main() {
    test_mps_qcmatrix();
    test_store();
    test_toconic_of_constraints();
    test_toconic_refusals();
    return vlt_test::report();
}
