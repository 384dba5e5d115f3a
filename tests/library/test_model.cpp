// Tests of the task's linear data model: randomized round trips of every put
// and get form against a dense reference, failure-leaves-unchanged for each
// validation, truncation, and copies.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "model/line_sort.hpp"
#include "model/problem.hpp"

using namespace vlt::model;
using vlt::Error;

static int passed = 0, failed = 0;
#define CHECK(cond, ...)                                                \
    do {                                                                \
        if (cond) {                                                     \
            ++passed;                                                   \
        } else {                                                        \
            ++failed;                                                   \
            std::printf("FAIL %s:%d: %s: ", __FILE__, __LINE__, #cond); \
            std::printf(__VA_ARGS__);                                   \
            std::printf("\n");                                          \
        }                                                               \
    } while (0)

using Dense = std::vector<std::vector<double>>;  // [row][col]

// ------------------------------------------------------- reading helpers

Dense read_by_col_slice(const Problem& p) {
    Dense d(p.num_con(), std::vector<double>(p.num_var(), 0.0));
    int64_t nz = p.slice_nnz(Axis::Col, 0, p.num_var());
    std::vector<int64_t> b(p.num_var()), e(p.num_var());
    std::vector<int32_t> sub(nz);
    std::vector<double> val(nz);
    p.get_line_slice(Axis::Col, 0, p.num_var(), nz, b.data(), e.data(), sub.data(), val.data());
    for (int32_t j = 0; j < p.num_var(); ++j)
        for (int64_t k = b[j]; k < e[j]; ++k) d[sub[k]][j] += val[k] == 0 ? NAN : val[k];  // a stored zero shows
    return d;
}

Dense read_by_row_slice(const Problem& p) {
    Dense d(p.num_con(), std::vector<double>(p.num_var(), 0.0));
    int64_t nz = p.slice_nnz(Axis::Row, 0, p.num_con());
    std::vector<int64_t> b(p.num_con()), e(p.num_con());
    std::vector<int32_t> sub(nz);
    std::vector<double> val(nz);
    p.get_line_slice(Axis::Row, 0, p.num_con(), nz, b.data(), e.data(), sub.data(), val.data());
    for (int32_t i = 0; i < p.num_con(); ++i)
        for (int64_t k = b[i]; k < e[i]; ++k) d[i][sub[k]] += val[k] == 0 ? NAN : val[k];
    return d;
}

Dense read_by_triplets(const Problem& p) {
    Dense d(p.num_con(), std::vector<double>(p.num_var(), 0.0));
    int64_t nz = p.nnz();
    std::vector<int32_t> si(nz), sj(nz);
    std::vector<double> v(nz);
    p.get_triplets(nz, si.data(), sj.data(), v.data());
    for (int64_t k = 0; k < nz; ++k) d[si[k]][sj[k]] += v[k] == 0 ? NAN : v[k];
    return d;
}

Dense read_by_lines(const Problem& p, Axis axis) {
    Dense d(p.num_con(), std::vector<double>(p.num_var(), 0.0));
    int32_t n = axis == Axis::Col ? p.num_var() : p.num_con();
    for (int32_t k = 0; k < n; ++k) {
        int32_t nz = -1;
        std::vector<int32_t> sub(p.line_nnz(axis, k));
        std::vector<double> val(sub.size());
        p.get_line(axis, k, &nz, sub.data(), val.data());
        for (int32_t e = 0; e < nz; ++e) (axis == Axis::Col ? d[sub[e]][k] : d[k][sub[e]]) += val[e];
    }
    return d;
}

Dense read_by_slice_triplets(const Problem& p, Axis axis, int32_t split) {
    // Two slices, so that slice offsets are exercised.
    Dense d(p.num_con(), std::vector<double>(p.num_var(), 0.0));
    int32_t n = axis == Axis::Col ? p.num_var() : p.num_con();
    split = std::min(split, n);
    for (auto [first, last] : {std::pair{0, split}, std::pair{split, n}}) {
        int64_t nz = p.slice_nnz(axis, first, last);
        std::vector<int32_t> si(nz), sj(nz);
        std::vector<double> v(nz);
        p.get_line_slice_triplets(axis, first, last, nz, si.data(), sj.data(), v.data());
        for (int64_t k = 0; k < nz; ++k) d[si[k]][sj[k]] += v[k];
    }
    return d;
}

int64_t dense_nnz(const Dense& d) {
    int64_t n = 0;
    for (auto& row : d)
        for (double v : row) n += v != 0;
    return n;
}

bool same(const Dense& a, const Dense& b) { return a == b; }

void check_matrix(const Problem& p, const Dense& ref, const char* step) {
    CHECK(p.num_con() == static_cast<int32_t>(ref.size()), "%s: numcon", step);
    CHECK(same(read_by_col_slice(p), ref), "%s: column slices differ", step);
    CHECK(same(read_by_row_slice(p), ref), "%s: row slices differ", step);
    CHECK(same(read_by_triplets(p), ref), "%s: triplets differ", step);
    CHECK(same(read_by_lines(p, Axis::Col), ref), "%s: columns differ", step);
    CHECK(same(read_by_lines(p, Axis::Row), ref), "%s: rows differ", step);
    CHECK(same(read_by_slice_triplets(p, Axis::Col, 3), ref), "%s: column slice triplets differ", step);
    CHECK(same(read_by_slice_triplets(p, Axis::Row, 5), ref), "%s: row slice triplets differ", step);
    CHECK(p.nnz() == dense_nnz(ref), "%s: nnz %lld vs %lld", step, (long long)p.nnz(), (long long)dense_nnz(ref));
    if (p.num_con() >= 4 && p.num_var() >= 5) {
        int64_t piece = 0;
        for (int i = 1; i < 4; ++i)
            for (int j = 2; j < 5; ++j) piece += ref[i][j] != 0;
        CHECK(p.piece_nnz(1, 4, 2, 5) == piece, "%s: piece nnz", step);
        CHECK(p.get_aij(3, 4) == ref[3][4], "%s: getaij", step);
    }
}

// ------------------------------------------------- randomized round trips

struct Rng {
    std::mt19937_64 g;
    explicit Rng(uint64_t seed) : g(seed) {}
    int32_t below(int32_t n) { return std::uniform_int_distribution<int32_t>(0, n - 1)(g); }
    // Mostly ordinary values, some zeros and some below the truncation tolerance.
    double value() {
        int32_t kind = below(10);
        if (kind == 0) return 0.0;
        if (kind == 1) return 1e-12;
        return std::uniform_real_distribution<double>(-5, 5)(g);
    }
};

double kept(double v, double tol) { return std::fabs(v) <= tol ? 0.0 : v; }

// A random line of distinct indexes below n, in random order.
std::vector<int32_t> random_line(Rng& r, int32_t n) {
    std::vector<int32_t> all(n);
    for (int32_t k = 0; k < n; ++k) all[k] = k;
    std::shuffle(all.begin(), all.end(), r.g);
    all.resize(r.below(n + 1));
    return all;
}

void random_step(Problem& p, Dense& ref, Rng& r, std::string& step) {
    const double tol = p.truncate_tol();
    const int32_t m = p.num_con(), n = p.num_var();
    int op = r.below(11);
    auto axis_of = [&](int k) { return k % 2 ? Axis::Row : Axis::Col; };
    if (op == 0) {  // single entries
        step = "putaij";
        for (int k = 0; k < 20; ++k) {
            int32_t i = r.below(m), j = r.below(n);
            double v = r.value();
            p.put_aij(i, j, v);
            ref[i][j] = kept(v, tol);
        }
    } else if (op == 1 || op == 2) {  // triplets: small list and the bucketed large list
        step = op == 1 ? "putaijlist small" : "putaijlist large";
        int32_t num = op == 1 ? 10 : 300;
        std::vector<int32_t> si, sj;
        std::vector<double> v;
        std::vector<char> used(static_cast<size_t>(m) * n, 0);
        for (int k = 0; k < num; ++k) {
            int32_t i = r.below(m), j = r.below(n);
            if (used[static_cast<size_t>(i) * n + j]) continue;
            used[static_cast<size_t>(i) * n + j] = 1;
            si.push_back(i);
            sj.push_back(j);
            v.push_back(r.value());
            ref[i][j] = kept(v.back(), tol);
        }
        p.put_aij_list(static_cast<int64_t>(v.size()), si.data(), sj.data(), v.data());
    } else if (op == 3 || op == 4) {  // one line
        Axis axis = axis_of(op);
        step = axis == Axis::Col ? "putacol" : "putarow";
        int32_t k = r.below(axis == Axis::Col ? n : m);
        std::vector<int32_t> sub = random_line(r, axis == Axis::Col ? m : n);
        std::vector<double> val;
        for (size_t e = 0; e < sub.size(); ++e) val.push_back(r.value());
        p.put_line(axis, k, static_cast<int32_t>(sub.size()), sub.data(), val.data());
        for (int32_t o = 0; o < (axis == Axis::Col ? m : n); ++o) (axis == Axis::Col ? ref[o][k] : ref[k][o]) = 0;
        for (size_t e = 0; e < sub.size(); ++e)
            (axis == Axis::Col ? ref[sub[e]][k] : ref[k][sub[e]]) = kept(val[e], tol);
    } else if (op == 5 || op == 6 || op == 7 || op == 8) {  // slices and lists of lines, with gaps in asub
        Axis axis = axis_of(op);
        bool list = op >= 7;
        step = std::string(list ? "list " : "slice ") + (axis == Axis::Col ? "col" : "row");
        int32_t lines = axis == Axis::Col ? n : m, other = axis == Axis::Col ? m : n;
        std::vector<int32_t> which;
        int32_t first = r.below(lines), last = first + r.below(lines - first + 1);
        if (list) {
            which = random_line(r, lines);
        } else {
            for (int32_t k = first; k < last; ++k) which.push_back(k);
        }
        std::vector<int64_t> b, e;
        std::vector<int32_t> asub;
        std::vector<double> aval;
        for (int32_t k : which) {
            asub.push_back(-7);  // a gap that no line refers to
            aval.push_back(NAN);
            b.push_back(static_cast<int64_t>(asub.size()));
            for (int32_t o : random_line(r, other)) {
                asub.push_back(o);
                aval.push_back(r.value());
            }
            e.push_back(static_cast<int64_t>(asub.size()));
            for (int32_t o = 0; o < other; ++o) (axis == Axis::Col ? ref[o][k] : ref[k][o]) = 0;
            for (int64_t q = b.back(); q < e.back(); ++q)
                (axis == Axis::Col ? ref[asub[q]][k] : ref[k][asub[q]]) = kept(aval[q], tol);
        }
        if (list)
            p.put_line_list(axis, static_cast<int32_t>(which.size()), which.data(), b.data(), e.data(), asub.data(),
                            aval.data());
        else
            p.put_line_slice(axis, first, last, b.data(), e.data(), asub.data(), aval.data());
    } else if (op == 9) {  // removals, indexes repeated and unordered
        bool cons = r.below(2);
        step = cons ? "removecons" : "removevars";
        int32_t count = cons ? m : n;
        if (count < 6) return;
        std::vector<int32_t> subset = {r.below(count), r.below(count), r.below(count)};
        subset.push_back(subset[0]);
        std::vector<char> gone(count, 0);
        for (int32_t s : subset) gone[s] = 1;
        if (cons) {
            p.remove_cons(4, subset.data());
            Dense next;
            for (int32_t i = 0; i < m; ++i)
                if (!gone[i]) next.push_back(ref[i]);
            ref = next;
        } else {
            p.remove_vars(4, subset.data());
            for (auto& row : ref) {
                std::vector<double> next;
                for (int32_t j = 0; j < n; ++j)
                    if (!gone[j]) next.push_back(row[j]);
                row = next;
            }
        }
    } else {  // growth, also through the capacity hints
        step = "append";
        int32_t more_cons = r.below(4), more_vars = r.below(4);
        p.resize(m + 50, n + 50, 0, p.nnz() + 100, 0);
        p.append_cons(more_cons);
        p.append_vars(more_vars);
        for (int32_t k = 0; k < more_cons; ++k) ref.push_back(std::vector<double>(n, 0.0));
        for (auto& row : ref) row.resize(n + more_vars, 0.0);
    }
}

void test_random_round_trips() {
    for (uint64_t seed : {1u, 2u, 3u, 4u}) {
        Rng r(seed);
        Problem p;
        p.append_cons(12);
        p.append_vars(15);
        if (seed == 4) p.put_truncate_tol(0.5);  // many values at or below the tolerance
        Dense ref(12, std::vector<double>(15, 0.0));
        std::string step;
        for (int s = 0; s < 120; ++s) {
            random_step(p, ref, r, step);
            // Reading alternates between orientations, so both stale paths run.
            if (s % 7 == 0 || s > 110) check_matrix(p, ref, (std::to_string(seed) + " " + step).c_str());
            else if (s % 2) CHECK(same(read_by_lines(p, Axis::Row), ref), "seed %d step %d %s", (int)seed, s, step.c_str());
            else CHECK(same(read_by_lines(p, Axis::Col), ref), "seed %d step %d %s", (int)seed, s, step.c_str());
        }
        // The copy is deep: changing the original leaves it as it was.
        Problem copy = p;
        p.put_aij(0, 0, 42.0);
        p.remove_vars(1, std::vector<int32_t>{1}.data());
        check_matrix(copy, ref, "copy");
        // The exchange form carries the matrix.
        Problem loaded;
        loaded.load(copy.to_data());
        check_matrix(loaded, ref, "load(to_data)");
    }
}

// ------------------------------------------------------------- bounds

void test_bounds() {
    const double inf = kInf;
    // (key, lower, upper) put -> stored triple: sides the key leaves out become infinite.
    struct Case { int32_t key; double bl, bu, want_bl, want_bu; };
    for (Case c : {Case{VLT_BK_LO, 1, 7, 1, inf}, Case{VLT_BK_UP, 1, 7, -inf, 7}, Case{VLT_BK_FR, 1, 7, -inf, inf},
                   Case{VLT_BK_FX, 3, 9, 3, 3}, Case{VLT_BK_RA, -2, 5, -2, 5}, Case{VLT_BK_RA, -inf, inf, -inf, inf}}) {
        for (Item item : {Item::Con, Item::Var}) {
            Problem p;
            p.append_cons(3);
            p.append_vars(3);
            p.put_bound(item, 1, c.key, c.bl, c.bu);
            int32_t bk;
            double bl, bu;
            p.get_bound(item, 1, &bk, &bl, &bu);
            CHECK(bk == c.key && bl == c.want_bl && bu == c.want_bu, "key %d: got (%d, %g, %g)", c.key, bk, bl, bu);
        }
    }
    // Defaults of new items.
    {
        Problem p;
        p.append_cons(1);
        p.append_vars(1);
        int32_t bk;
        double bl, bu;
        p.get_bound(Item::Con, 0, &bk, &bl, &bu);
        CHECK(bk == VLT_BK_FR && bl == -inf && bu == inf, "new constraint bound");
        p.get_bound(Item::Var, 0, &bk, &bl, &bu);
        CHECK(bk == VLT_BK_FX && bl == 0 && bu == 0, "new variable bound");
    }
    // Changing one side: the key follows from which sides are finite.
    struct Change { int32_t key; double bl, bu; int32_t lower, finite; double value; int32_t want_key; double want_bl, want_bu; };
    for (Change c : {Change{VLT_BK_FR, 0, 0, 1, 1, 2.0, VLT_BK_LO, 2, inf},
                     Change{VLT_BK_LO, 2, 0, 0, 1, 5.0, VLT_BK_RA, 2, 5},
                     Change{VLT_BK_LO, 2, 0, 0, 1, 2.0, VLT_BK_FX, 2, 2},
                     Change{VLT_BK_FX, 4, 4, 1, 0, 9.0, VLT_BK_UP, -inf, 4},
                     Change{VLT_BK_RA, 1, 3, 0, 0, 0.0, VLT_BK_LO, 1, inf},
                     Change{VLT_BK_UP, 0, 3, 0, 0, 0.0, VLT_BK_FR, -inf, inf}}) {
        Problem p;
        p.append_vars(2);
        p.put_bound(Item::Var, 1, c.key, c.bl, c.bu);
        p.change_bound(Item::Var, 1, c.lower, c.finite, c.value);
        int32_t bk;
        double bl, bu;
        p.get_bound(Item::Var, 1, &bk, &bl, &bu);
        CHECK(bk == c.want_key && bl == c.want_bl && bu == c.want_bu, "change from key %d: got (%d, %g, %g)", c.key, bk,
              bl, bu);
    }
    // Lists: a repeated index ends with its last entry; null arrays keep stored values.
    {
        Problem p;
        p.append_cons(4);
        std::vector<int32_t> sub{2, 0, 2};
        std::vector<int32_t> bk{VLT_BK_LO, VLT_BK_UP, VLT_BK_RA};
        std::vector<double> bl{1, 2, 3}, bu{10, 20, 30};
        p.put_bound_list(Item::Con, 3, sub.data(), bk.data(), bl.data(), bu.data());
        CHECK(p.bounds(Item::Con).key(2) == VLT_BK_RA && p.bounds(Item::Con).lower(2) == 3 &&
                  p.bounds(Item::Con).upper(2) == 30,
              "later entry wins");
        std::vector<int32_t> keys{VLT_BK_RA, VLT_BK_RA};
        p.put_bound_slice(Item::Con, 0, 2, keys.data(), nullptr, nullptr);
        CHECK(p.bounds(Item::Con).key(0) == VLT_BK_RA && p.bounds(Item::Con).lower(0) == -inf &&
                  p.bounds(Item::Con).upper(0) == 20,
              "null bound arrays keep the stored values");
        p.put_bound_slice_const(Item::Con, 1, 4, VLT_BK_FX, 5, 5);
        p.put_bound_list_const(Item::Con, 1, sub.data(), VLT_BK_LO, -1, 0);
        std::vector<int32_t> gk(4);
        std::vector<double> gl(4), gu(4);
        p.get_bound_slice(Item::Con, 0, 4, gk.data(), gl.data(), gu.data());
        CHECK(gk == (std::vector<int32_t>{VLT_BK_RA, VLT_BK_FX, VLT_BK_LO, VLT_BK_FX}), "slice keys");
        CHECK(gl == (std::vector<double>{-inf, 5, -1, 5}) && gu == (std::vector<double>{20, 5, inf, 5}), "slice bounds");
    }
}

// ------------------------------------------- objective, types, whole problem

void test_objective_types_and_input() {
    Problem p;
    p.append_vars(5);
    p.put_cj(1, 2.5);
    std::vector<int32_t> subj{3, 4, 3};
    std::vector<double> val{1, 2, 7};
    p.put_c_list(3, subj.data(), val.data());
    std::vector<double> slice{9, 8};
    p.put_c_slice(0, 2, slice.data());
    p.put_cfix(-1.5);
    std::vector<double> c(5);
    p.get_c_slice(0, 5, c.data());
    CHECK(c == (std::vector<double>{9, 8, 0, 7, 2}), "objective coefficients");
    std::vector<double> cl(2);
    std::vector<int32_t> ask{4, 0};
    p.get_c_list(2, ask.data(), cl.data());
    CHECK(cl == (std::vector<double>{2, 9}) && p.cfix() == -1.5, "getclist, cfix");
    std::vector<int32_t> tj{0, 2, 0}, tt{VLT_VAR_TYPE_INT, VLT_VAR_TYPE_INT, VLT_VAR_TYPE_CONT};
    p.put_var_type_list(3, tj.data(), tt.data());
    CHECK(p.num_int_var() == 1 && p.var_type(0) == VLT_VAR_TYPE_CONT && p.var_type(2) == VLT_VAR_TYPE_INT, "types");
    p.put_sense(VLT_OBJECTIVE_SENSE_MAXIMIZE);
    CHECK(p.problem_type() == VLT_PROBTYPE_LO, "linear problem type");
    p.quadratic_objective() = {{4}, {4}, {1.0}};
    CHECK(p.problem_type() == VLT_PROBTYPE_QO, "quadratic problem type");
    p.remove_vars(1, std::vector<int32_t>{4}.data());
    CHECK(p.problem_type() == VLT_PROBTYPE_LO, "quadratic terms of a removed variable go");

    // Whole problem in one call: 2 rows, 3 columns; null keys follow from finiteness.
    std::vector<double> cc{1, 2, 3};
    std::vector<int64_t> b{0, 2, 2}, e{2, 2, 3};
    std::vector<int32_t> asub{0, 1, 1};
    std::vector<double> aval{1.5, -2, 4};
    std::vector<double> blc{-kInf, 1}, buc{5, 1};
    std::vector<int32_t> bkx{VLT_BK_LO, VLT_BK_UP, VLT_BK_FR};
    std::vector<double> blx{0, 0, 0}, bux{0, 9, 0};
    p.input_data(10, 10, 2, 3, cc.data(), 4.0, b.data(), e.data(), asub.data(), aval.data(), nullptr, blc.data(),
                 buc.data(), bkx.data(), blx.data(), bux.data());
    CHECK(p.num_con() == 2 && p.num_var() == 3 && p.cfix() == 4.0, "input sizes");
    CHECK(p.bounds(Item::Con).key(0) == VLT_BK_UP && p.bounds(Item::Con).key(1) == VLT_BK_FX, "derived keys");
    CHECK(p.get_aij(1, 0) == -2 && p.get_aij(1, 2) == 4 && p.nnz() == 3, "input matrix");
    CHECK(p.var_type(2) == VLT_VAR_TYPE_INT && p.sense() == VLT_OBJECTIVE_SENSE_MAXIMIZE, "types and sense kept");
    CHECK(p.max_num_con() == 10 && p.max_num_var() == 10, "capacity hints");
}

// --------------------------------------------- failures change nothing

bool same_data(const ProblemData& a, const ProblemData& b) {
    return a.numcon == b.numcon && a.numvar == b.numvar && a.sense == b.sense && a.cfix == b.cfix && a.c == b.c &&
           a.bkc == b.bkc && a.blc == b.blc && a.buc == b.buc && a.bkx == b.bkx && a.blx == b.blx && a.bux == b.bux &&
           a.vartype == b.vartype && a.aptr == b.aptr && a.asub == b.asub && a.aval == b.aval;
}

void test_failures_leave_problem_unchanged() {
    const double nan = NAN;
    std::vector<int32_t> i3{0, 1, 9};  // 9 is out of range
    std::vector<int32_t> ok3{0, 1, 2}, dup3{0, 1, 0};
    std::vector<double> v3{1, 2, 3}, nan3{1, nan, 3}, inf3{1, kInf, 3};
    std::vector<int32_t> bad_key{VLT_BK_LO, 7, VLT_BK_LO};
    std::vector<int64_t> pb{0, 1}, pe{1, 3}, bad_pe{1, 0}, neg_pb{-1, 1};
    std::vector<int64_t> from1{1}, to4{4};
    std::vector<int32_t> gap_dup4{-7, 0, 1, 0};
    std::vector<double> v4{NAN, 2, 3, 4};
    struct Failure { const char* what; int32_t code; const char* message; std::function<void(Problem&)> call; };
    std::vector<Failure> failures = {
        {"con index", VLT_RES_ERR_INDEX_CON, "Argument i = 5 is not a valid constraint index (numcon = 5)",
         [](Problem& p) { p.put_bound(Item::Con, 5, VLT_BK_FR, 0, 0); }},
        {"var index in list", VLT_RES_ERR_INDEX_VAR, "Argument sub[2] = 9 is not a valid variable index (numvar = 6)",
         [&](Problem& p) { p.put_bound_list(Item::Var, 3, i3.data(), nullptr, v3.data(), v3.data()); }},
        {"bound key", VLT_RES_ERR_INVALID_BOUNDKEY, "Argument bkc[1] = 7 is not a bound key",
         [&](Problem& p) { p.put_bound_list(Item::Con, 3, ok3.data(), bad_key.data(), v3.data(), v3.data()); }},
        {"NaN bound", VLT_RES_ERR_NAN_VALUE, "Argument bux[1] is NaN",
         [&](Problem& p) { p.put_bound_slice(Item::Var, 0, 3, nullptr, v3.data(), nan3.data()); }},
        {"NaN change", VLT_RES_ERR_NAN_VALUE, "Argument value is NaN",
         [&](Problem& p) { p.change_bound(Item::Con, 0, 1, 1, nan); }},
        {"slice", VLT_RES_ERR_SLICE, "Arguments first = 2, last = 7 do not give a variable slice",
         [&](Problem& p) { p.put_bound_slice_const(Item::Var, 2, 7, VLT_BK_FR, 0, 0); }},
        {"negative count", VLT_RES_ERR_NEGATIVE_COUNT, "Argument num = -1 is negative",
         [&](Problem& p) { p.append_cons(-1); }},
        {"null list", VLT_RES_ERR_NULL_POINTER, "Argument sub is a null pointer but num = 3",
         [&](Problem& p) { p.put_bound_list(Item::Con, 3, nullptr, nullptr, nullptr, nullptr); }},
        {"remove index", VLT_RES_ERR_INDEX_VAR, "Argument subset[2] = 9",
         [&](Problem& p) { p.remove_vars(3, i3.data()); }},
        {"var type", VLT_RES_ERR_INVALID_VARTYPE, "Argument vartype[1] = 7",
         [&](Problem& p) { p.put_var_type_list(3, ok3.data(), bad_key.data()); }},
        {"sense", VLT_RES_ERR_INVALID_OBJSENSE, "Argument sense = 2", [&](Problem& p) { p.put_sense(2); }},
        {"infinite c", VLT_RES_ERR_INF_VALUE, "Argument val[1] = inf is not finite",
         [&](Problem& p) { p.put_c_list(3, ok3.data(), inf3.data()); }},
        {"row index in column", VLT_RES_ERR_INDEX_CON, "Argument subj[2] = 9 is not a valid constraint index",
         [&](Problem& p) { p.put_line(Axis::Col, 0, 3, i3.data(), v3.data()); }},
        {"repeated row in column", VLT_RES_ERR_DUPLICATE_INDEX, "Argument subj[2] = 0 repeats subj[0] in column 1",
         [&](Problem& p) { p.put_line(Axis::Col, 1, 3, dup3.data(), v3.data()); }},
        {"NaN entry", VLT_RES_ERR_NAN_VALUE, "Argument vali[1] is NaN",
         [&](Problem& p) { p.put_line(Axis::Row, 1, 3, ok3.data(), nan3.data()); }},
        {"ptre before ptrb", VLT_RES_ERR_INVALID_PTR, "Argument ptre[1] = 0 is less than ptrb[1] = 1",
         [&](Problem& p) { p.put_line_slice(Axis::Col, 0, 2, pb.data(), bad_pe.data(), ok3.data(), v3.data()); }},
        {"negative ptrb", VLT_RES_ERR_INVALID_PTR, "Argument ptrb[0] = -1 is negative",
         [&](Problem& p) { p.put_line_slice(Axis::Row, 0, 2, neg_pb.data(), pe.data(), ok3.data(), v3.data()); }},
        {"line twice in list", VLT_RES_ERR_DUPLICATE_INDEX, "Argument sub[2] = 0 repeats sub[0]",
         [&](Problem& p) { p.put_line_list(Axis::Col, 3, dup3.data(), pb.data(), pe.data(), ok3.data(), v3.data()); }},
        {"second line bad", VLT_RES_ERR_INDEX_VAR, "Argument asub[2] = 9",
         [&](Problem& p) { p.put_line_slice(Axis::Row, 1, 3, pb.data(), pe.data(), i3.data(), v3.data()); }},
        // One short line: positions in messages count from the start of asub.
        {"one-line slice bad", VLT_RES_ERR_INDEX_VAR, "Argument asub[2] = 9 is not a valid variable index (numvar = 6)",
         [&](Problem& p) { p.put_line_slice(Axis::Row, 1, 2, pe.data(), pe.data() + 1, i3.data(), v3.data()); }},
        {"one-line slice repeat", VLT_RES_ERR_DUPLICATE_INDEX, "Argument asub[3] = 0 repeats asub[1] in column 4",
         [&](Problem& p) { p.put_line_slice(Axis::Col, 4, 5, from1.data(), to4.data(), gap_dup4.data(), v4.data()); }},
        {"line longer than a column", VLT_RES_ERR_INVALID_PTR,
         "Arguments ptrb[0] = 0 and ptre[0] = 7 give more entries than the 6 columns",
         [&](Problem& p) { p.put_line(Axis::Row, 0, 7, i3.data(), v3.data()); }},
        {"pair twice", VLT_RES_ERR_DUPLICATE_INDEX, "Arguments subi[2], subj[2] = (0, 0) repeat position 0",
         [&](Problem& p) { p.put_aij_list(3, dup3.data(), dup3.data(), v3.data()); }},
        {"null values", VLT_RES_ERR_NULL_POINTER, "Argument valij is a null pointer",
         [&](Problem& p) { p.put_aij_list(3, ok3.data(), ok3.data(), nullptr); }},
        {"output too small", VLT_RES_ERR_BUFFER_TOO_SMALL, "Argument maxnumnz = 1 is less than the",
         [&](Problem& p) { p.get_triplets(1, nullptr, nullptr, nullptr); }},
        {"truncation tolerance", VLT_RES_ERR_ARGUMENT, "Argument tolzero",
         [&](Problem& p) { p.put_truncate_tol(-1); }},
        {"input entry", VLT_RES_ERR_INDEX_CON, "Argument asub[2] = 9 is not a valid constraint index (numcon = 3)",
         [&](Problem& p) {
             p.input_data(0, 0, 3, 2, v3.data(), 0, pb.data(), pe.data(), i3.data(), v3.data(), nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr);
         }},
    };
    // A large triplet list whose last pair repeats an early one takes the bucketed path.
    std::vector<int32_t> big_i, big_j;
    std::vector<double> big_v;
    for (int32_t i = 0; i < 5; ++i)
        for (int32_t j = 0; j < 6; ++j) {
            big_i.push_back(i);
            big_j.push_back(j);
            big_v.push_back(1 + i + j);
        }
    for (int k = 0; k < 3; ++k) {
        big_i.insert(big_i.end(), big_i.begin(), big_i.begin() + 30);
        big_j.insert(big_j.end(), big_j.begin(), big_j.begin() + 30);
        big_v.insert(big_v.end(), big_v.begin(), big_v.begin() + 30);
    }
    failures.push_back({"pair twice in a long list", VLT_RES_ERR_DUPLICATE_INDEX, "repeat position 0", [&](Problem& p) {
                            p.put_aij_list(static_cast<int64_t>(big_v.size()), big_i.data(), big_j.data(), big_v.data());
                        }});

    for (const Failure& f : failures) {
        Problem p;
        p.append_cons(5);
        p.append_vars(6);
        std::vector<int32_t> si{0, 2, 4, 1}, sj{0, 3, 5, 1};
        std::vector<double> sv{1, 2, 3, 4};
        p.put_aij_list(4, si.data(), sj.data(), sv.data());
        p.get_aij(2, 3);  // both orientations current
        ProblemData before = p.to_data();
        Dense rows_before = read_by_row_slice(p);
        bool threw = false;
        try {
            f.call(p);
        } catch (const Error& e) {
            threw = true;
            CHECK(e.code() == f.code, "%s: code %d, want %d (%s)", f.what, e.code(), f.code, e.message().c_str());
            CHECK(e.message().find(f.message) != std::string::npos, "%s: message '%s' lacks '%s'", f.what,
                  e.message().c_str(), f.message);
        }
        CHECK(threw, "%s: no error", f.what);
        CHECK(same_data(before, p.to_data()), "%s: problem changed", f.what);
        CHECK(same(rows_before, read_by_row_slice(p)), "%s: row view changed", f.what);
    }
}

// ------------------------------------------- one short line put alone

// A put of one line of up to 8 entries has a path of its own; lines of 9
// entries and lists take the general one.  Both must give the same result
// and the same messages, whether the other orientation is current or stale
// and whether the replaced line is short or longer than the other
// orientation is kept in step for.
void test_one_line_puts() {
    constexpr int32_t kSize = 300;
    for (Axis axis : {Axis::Col, Axis::Row}) {
        const bool col = axis == Axis::Col;
        const Axis other = col ? Axis::Row : Axis::Col;
        for (int32_t n : {1, 2, 8, 9}) {
            for (bool other_current : {true, false}) {
                for (int32_t line : {5, 7}) {  // 5 holds 280 entries before the put, 7 holds 3
                    std::string what = std::string(col ? "col" : "row") + " n=" + std::to_string(n) +
                                       (other_current ? " current" : " stale") + " line " + std::to_string(line);
                    Problem p;
                    p.append_cons(kSize);
                    p.append_vars(kSize);
                    Dense ref(kSize, std::vector<double>(kSize, 0.0));
                    auto set = [&](int32_t k, int32_t o, double v) { (col ? ref[o][k] : ref[k][o]) = v; };
                    std::vector<int32_t> long_sub;
                    std::vector<double> long_val;
                    for (int32_t o = 0; o < 280; ++o) {
                        long_sub.push_back(279 - o);
                        long_val.push_back(1.0 + o);
                        set(5, 279 - o, 1.0 + o);
                    }
                    p.put_line(axis, 5, 280, long_sub.data(), long_val.data());  // leaves the other stale
                    std::vector<int32_t> short_sub{3, 17, 4};
                    std::vector<double> short_val{-1, -2, -3};
                    p.put_line(axis, 7, 3, short_sub.data(), short_val.data());
                    for (int32_t e = 0; e < 3; ++e) set(7, short_sub[e], short_val[e]);
                    if (other_current) p.line_nnz(other, 0);  // rebuilds the other orientation

                    // Unordered indexes, some shared with the old line, a
                    // value at the truncation tolerance's side and a zero.
                    std::vector<int32_t> sub;
                    std::vector<double> val;
                    for (int32_t e = 0; e < n; ++e) {
                        sub.push_back((e * 37 + 17) % kSize);
                        val.push_back(e == 1 ? 1e-12 : e == 3 ? 0.0 : 0.5 + e);
                    }
                    for (int32_t o = 0; o < kSize; ++o) set(line, o, 0.0);
                    for (int32_t e = 0; e < n; ++e) set(line, sub[e], kept(val[e], p.truncate_tol()));
                    p.put_line(axis, line, n, sub.data(), val.data());
                    CHECK(same(read_by_lines(p, other), ref), "%s: other orientation", what.c_str());
                    CHECK(same(read_by_lines(p, axis), ref), "%s: own orientation", what.c_str());
                    CHECK(p.nnz() == dense_nnz(ref), "%s: nnz", what.c_str());

                    // Faults at the last position: nothing changes, and the
                    // message is the same on both paths.
                    const std::string s = col ? "subj" : "subi", v = col ? "valj" : "vali";
                    const std::string last = "[" + std::to_string(n - 1) + "]";
                    const std::string bad_index = std::string(" is not a valid ") +
                                                  (col ? "constraint index (numcon = " : "variable index (numvar = ") +
                                                  std::to_string(kSize) + ")";
                    // The last entry becomes (index, value); keep_index leaves its index.
                    struct Fault { int32_t code; std::string message; bool keep_index; int32_t index; double value; };
                    std::vector<Fault> faults = {
                        {col ? VLT_RES_ERR_INDEX_CON : VLT_RES_ERR_INDEX_VAR,
                         "Argument " + s + last + " = " + std::to_string(kSize) + bad_index, false, kSize, 1.0},
                        {col ? VLT_RES_ERR_INDEX_CON : VLT_RES_ERR_INDEX_VAR, "Argument " + s + last + " = -1" + bad_index,
                         false, -1, 1.0},
                        {VLT_RES_ERR_NAN_VALUE, "Argument " + v + last + " is NaN", true, 0, NAN},
                        {VLT_RES_ERR_INF_VALUE, "Argument " + v + last + " = -inf is not finite", true, 0, -kInf},
                    };
                    if (n > 1)
                        faults.push_back({VLT_RES_ERR_DUPLICATE_INDEX,
                                          "Argument " + s + last + " = " + std::to_string(sub[0]) + " repeats " + s +
                                              "[0] in " + (col ? "column " : "row ") + std::to_string(line) +
                                              " (an entry may be given once per put)",
                                          false, sub[0], 1.0});
                    const ProblemData before = p.to_data();
                    const Dense other_before = read_by_lines(p, other);
                    for (const Fault& f : faults) {
                        std::vector<int32_t> bad_sub = sub;
                        std::vector<double> bad_val = val;
                        if (!f.keep_index) bad_sub[n - 1] = f.index;
                        bad_val[n - 1] = f.value;
                        int32_t code = 0;
                        std::string message;
                        try {
                            p.put_line(axis, line, n, bad_sub.data(), bad_val.data());
                        } catch (const Error& e) {
                            code = e.code();
                            message = e.message();
                        }
                        CHECK(code == f.code && message == f.message, "%s: got %d '%s', want %d '%s'", what.c_str(),
                              code, message.c_str(), f.code, f.message.c_str());
                        CHECK(same_data(before, p.to_data()), "%s: %s changed the problem", what.c_str(),
                              f.message.c_str());
                    }
                    CHECK(same(other_before, read_by_lines(p, other)), "%s: other orientation changed", what.c_str());
                }
            }
        }
    }
}

// ------------------------------------------------ truncation and zeros

void test_truncation_and_zero_entries() {
    Problem p;
    p.append_cons(3);
    p.append_vars(3);
    p.put_truncate_tol(0.5);
    std::vector<int32_t> sub{0, 1, 2};
    std::vector<double> val{0.5, -0.4, 0.6};
    p.put_line(Axis::Col, 0, 3, sub.data(), val.data());
    CHECK(p.nnz() == 1 && p.get_aij(2, 0) == 0.6, "entries at or below the tolerance are dropped");
    p.put_aij(2, 0, -0.5);
    CHECK(p.nnz() == 0, "an entry put at the tolerance removes the stored one");
    p.put_truncate_tol(0.0);
    p.put_aij(1, 1, 1e-300);
    CHECK(p.get_aij(1, 1) == 1e-300, "tolerance 0 keeps tiny values");
    std::vector<int32_t> row{1, 2};
    std::vector<double> zeros{0.0, 7.0};
    p.put_line(Axis::Row, 1, 2, row.data(), zeros.data());
    CHECK(p.get_aij(1, 1) == 0 && p.get_aij(1, 2) == 7 && p.line_nnz(Axis::Row, 1) == 1, "zero in a row put");
    p.put_line(Axis::Row, 1, 0, nullptr, nullptr);
    CHECK(p.nnz() == 0 && p.line_nnz(Axis::Col, 2) == 0, "an empty put clears the row");
}

// ------------------------------------------------ bulk puts (large sizes)

// Sizes past the thresholds of the bucketed sort (more than 8192 lines and
// 2^18 entries), so that both sorting schemes and the bulk copy into empty
// lines run.  The reference is sparse: (row, column) -> value.
using Sparse = std::map<std::pair<int32_t, int32_t>, double>;

// Entries as sorted (row, column, value) triples, for comparing.
using Entries = std::vector<std::tuple<int32_t, int32_t, double>>;

Entries sorted(Entries e) {
    std::sort(e.begin(), e.end());
    return e;
}

Entries entries_of(const Sparse& s) {
    Entries e;
    for (const auto& [ij, v] : s) e.emplace_back(ij.first, ij.second, v);
    return e;
}

Entries read_entries(const Problem& p, Axis axis) {
    const int32_t lines = axis == Axis::Col ? p.num_var() : p.num_con();
    const int64_t nz = p.slice_nnz(axis, 0, lines);
    std::vector<int64_t> b(lines), e(lines);
    std::vector<int32_t> sub(nz);
    std::vector<double> val(nz);
    p.get_line_slice(axis, 0, lines, nz, b.data(), e.data(), sub.data(), val.data());
    Entries s;
    for (int32_t k = 0; k < lines; ++k)
        for (int64_t q = b[k]; q < e[k]; ++q)
            s.emplace_back(axis == Axis::Col ? sub[q] : k, axis == Axis::Col ? k : sub[q], val[q]);
    return sorted(std::move(s));
}

Entries read_triplet_entries(const Problem& p) {
    std::vector<int32_t> si(p.nnz()), sj(p.nnz());
    std::vector<double> v(p.nnz());
    p.get_triplets(p.nnz(), si.data(), sj.data(), v.data());
    Entries s;
    for (size_t k = 0; k < v.size(); ++k) s.emplace_back(si[k], sj[k], v[k]);
    return sorted(std::move(s));
}

void check_sparse(const Problem& p, const Sparse& ref_map, const std::string& what) {
    const Entries ref = entries_of(ref_map);
    CHECK(p.nnz() == static_cast<int64_t>(ref.size()), "%s: nnz %lld, want %zu", what.c_str(), (long long)p.nnz(),
          ref.size());
    CHECK(read_entries(p, Axis::Col) == ref, "%s: columns differ", what.c_str());
    CHECK(read_entries(p, Axis::Row) == ref, "%s: rows differ", what.c_str());
    CHECK(read_triplet_entries(p) == ref, "%s: triplets differ", what.c_str());
}

struct Triplets {
    std::vector<int32_t> i, j;
    std::vector<double> v;
};

// per_line distinct indexes in each of `lines` lines (columns when by_col),
// values in [-2, 2] with some at or below 0.5, listed line by line with the
// indexes of a line in random order; shuffled when asked.
Triplets random_triplets(Rng& r, int32_t lines, int32_t others, int32_t per_line, bool by_col, bool shuffle) {
    Triplets t;
    std::vector<int32_t> pool(others);
    for (int32_t o = 0; o < others; ++o) pool[o] = o;
    for (int32_t k = 0; k < lines; ++k) {
        for (int32_t e = 0; e < per_line; ++e) std::swap(pool[e], pool[e + r.below(others - e)]);
        for (int32_t e = 0; e < per_line; ++e) {
            (by_col ? t.j : t.i).push_back(k);
            (by_col ? t.i : t.j).push_back(pool[e]);
            t.v.push_back(std::uniform_real_distribution<double>(-2, 2)(r.g));
        }
    }
    if (shuffle) {
        std::vector<size_t> perm(t.v.size());
        for (size_t k = 0; k < perm.size(); ++k) perm[k] = k;
        std::shuffle(perm.begin(), perm.end(), r.g);
        Triplets s;
        for (size_t k : perm) {
            s.i.push_back(t.i[k]);
            s.j.push_back(t.j[k]);
            s.v.push_back(t.v[k]);
        }
        return s;
    }
    return t;
}

void test_bulk_puts() {
    constexpr int32_t kRows = 9000, kCols = 20000, kPerCol = 15;  // 300000 entries
    struct Case {
        const char* what;
        const char* how;    // "triplets", "col slice", "row slice", "col list"
        bool existing;      // some of the lines already hold entries
        double tol;         // truncation tolerance (0.5 drops about an eighth)
    };
    const Case cases[] = {
        {"triplets into an empty task", "triplets", false, 1e-9},
        {"triplets, dropping small values", "triplets", false, 0.5},
        {"triplets over existing lines", "triplets", true, 1e-9},
        {"column slice into an empty task", "col slice", false, 1e-9},
        {"column slice, dropping small values", "col slice", false, 0.5},
        {"column slice over existing columns", "col slice", true, 1e-9},
        {"row slice into an empty task", "row slice", false, 0.5},
        {"column list into an empty task", "col list", false, 0.5},
        {"column list over existing columns", "col list", true, 0.5},
    };
    for (const Case& c : cases) {
        Rng r(99);
        Problem p;
        p.append_cons(kRows);
        p.append_vars(kCols);
        p.put_truncate_tol(c.tol);
        Sparse ref;
        const std::string how = c.how;
        if (c.existing) {  // every 7th column, and a few rows, hold entries already
            for (int32_t j = 0; j < kCols; j += 7) {
                const int32_t i = (j * 31) % kRows;
                p.put_aij(i, j, 3.0);
                ref[{i, j}] = 3.0;
            }
            p.get_aij(0, 0);
        }
        const bool by_col = how != "row slice";
        Triplets t = random_triplets(r, by_col ? kCols : kRows, by_col ? kRows : kCols, by_col ? kPerCol : 33,
                                     by_col, how == "triplets");
        if (how == "triplets") {
            p.put_aij_list(static_cast<int64_t>(t.v.size()), t.i.data(), t.j.data(), t.v.data());
            for (size_t k = 0; k < t.v.size(); ++k) {
                if (std::fabs(t.v[k]) <= c.tol) ref.erase({t.i[k], t.j[k]});
                else ref[{t.i[k], t.j[k]}] = t.v[k];
            }
        } else {
            // Lines in order; a list names them backwards.
            const int32_t lines = by_col ? kCols : kRows, per = by_col ? kPerCol : 33;
            std::vector<int64_t> b(lines), e(lines);
            std::vector<int32_t> which(lines);
            for (int32_t k = 0; k < lines; ++k) {
                const int32_t line = how == "col list" ? lines - 1 - k : k;
                which[k] = line;
                b[k] = static_cast<int64_t>(line) * per;
                e[k] = b[k] + per;
            }
            const std::vector<int32_t>& sub = by_col ? t.i : t.j;
            if (how == "col list")
                p.put_line_list(Axis::Col, lines, which.data(), b.data(), e.data(), sub.data(), t.v.data());
            else
                p.put_line_slice(by_col ? Axis::Col : Axis::Row, 0, lines, b.data(), e.data(), sub.data(), t.v.data());
            for (auto it = ref.begin(); it != ref.end();) it = it->second == 3.0 ? ref.erase(it) : std::next(it);
            for (size_t k = 0; k < t.v.size(); ++k)
                if (std::fabs(t.v[k]) > c.tol) ref[{t.i[k], t.j[k]}] = t.v[k];
        }
        check_sparse(p, ref, c.what);
        // A second put over the same lines replaces them.
        p.put_aij(1, 2, 0.75);
        ref[{1, 2}] = 0.75;
        check_sparse(p, ref, std::string(c.what) + ", then putaij");
    }
}

// Failures of bulk puts, late in the input (after much of it was copied or
// sorted): the error names the first bad position, the task is unchanged, and
// a following good put works (scratch state was reset).
void test_bulk_failures() {
    constexpr int32_t kRows = 9000, kCols = 20000, kPerCol = 15;
    const int64_t late = int64_t{kCols - 3} * kPerCol + 4;  // an entry in column kCols - 3
    struct Case {
        const char* what;
        const char* how;  // "triplets" or "col slice"
        int32_t code;
        std::function<void(Triplets&, std::string&)> spoil;  // breaks the input, gives the message
    };
    const Case cases[] = {
        {"repeated row late in a column", "col slice", VLT_RES_ERR_DUPLICATE_INDEX,
         [&](Triplets& t, std::string& m) {
             t.i[late] = t.i[late - 2];
             m = "Argument asub[" + std::to_string(late) + "] = " + std::to_string(t.i[late]) + " repeats asub[" +
                 std::to_string(late - 2) + "] in column " + std::to_string(kCols - 3);
         }},
        {"row index out of range late", "col slice", VLT_RES_ERR_INDEX_CON,
         [&](Triplets& t, std::string& m) {
             t.i[late] = kRows;
             m = "Argument asub[" + std::to_string(late) + "] = 9000 is not a valid constraint index";
         }},
        {"NaN late, repeat later", "col slice", VLT_RES_ERR_NAN_VALUE,
         [&](Triplets& t, std::string& m) {
             t.v[late] = NAN;
             t.i[late + kPerCol] = t.i[late + kPerCol + 1];
             m = "Argument aval[" + std::to_string(late) + "] is NaN";
         }},
        {"repeated pair late in a long triplet list", "triplets", VLT_RES_ERR_DUPLICATE_INDEX,
         [&](Triplets& t, std::string& m) {
             t.i[late] = t.i[late - 2];
             m = "Arguments subi[" + std::to_string(late) + "], subj[" + std::to_string(late) + "] = (" +
                 std::to_string(t.i[late]) + ", " + std::to_string(kCols - 3) + ") repeat position " +
                 std::to_string(late - 2);
         }},
        {"row index error before a later column index error", "triplets", VLT_RES_ERR_INDEX_CON,
         [&](Triplets& t, std::string& m) {
             t.j[late] = -1;
             t.i[3] = kRows;  // a row index error earlier in position still comes first: subi is checked first
             m = "Argument subi[3] = 9000 is not a valid constraint index";
         }},
        {"infinite value late in triplets", "triplets", VLT_RES_ERR_INF_VALUE,
         [&](Triplets& t, std::string& m) {
             t.v[late] = -kInf;
             m = "Argument valij[" + std::to_string(late) + "] = -inf is not finite";
         }},
    };
    Rng r(5);
    const Triplets good = random_triplets(r, kCols, kRows, kPerCol, true, false);
    Sparse good_ref;
    for (size_t k = 0; k < good.v.size(); ++k) good_ref[{good.i[k], good.j[k]}] = good.v[k];
    for (const Case& c : cases) {
        for (bool existing : {false, true}) {
            const std::string what = std::string(c.what) + (existing ? " (task with entries)" : " (empty task)");
            Problem p;
            p.append_cons(kRows);
            p.append_vars(kCols);
            if (existing) p.put_aij(7, kCols - 1, 1.5);
            const Entries before = read_entries(p, Axis::Col);
            Triplets bad = good;
            std::string message;
            c.spoil(bad, message);
            std::vector<int64_t> b(kCols), e(kCols);
            for (int32_t k = 0; k < kCols; ++k) b[k] = static_cast<int64_t>(k) * kPerCol, e[k] = b[k] + kPerCol;
            auto put = [&](const Triplets& t) {
                if (std::string(c.how) == "triplets")
                    p.put_aij_list(static_cast<int64_t>(t.v.size()), t.i.data(), t.j.data(), t.v.data());
                else
                    p.put_line_slice(Axis::Col, 0, kCols, b.data(), e.data(), t.i.data(), t.v.data());
            };
            bool threw = false;
            try {
                put(bad);
            } catch (const Error& err) {
                threw = true;
                CHECK(err.code() == c.code, "%s: code %d, want %d (%s)", what.c_str(), err.code(), c.code,
                      err.message().c_str());
                CHECK(err.message().find(message) != std::string::npos, "%s: message '%s' lacks '%s'", what.c_str(),
                      err.message().c_str(), message.c_str());
            }
            CHECK(threw, "%s: no error", what.c_str());
            CHECK(read_entries(p, Axis::Col) == before && read_entries(p, Axis::Row) == before,
                  "%s: the task changed", what.c_str());
            put(good);
            Sparse ref = good_ref;
            if (existing && std::string(c.how) == "triplets") ref.emplace(std::make_pair(7, kCols - 1), 1.5);
            check_sparse(p, ref, what + ", then the good put");
        }
    }
}

// The counting sort by line against a stable sort, for distributions that
// stress its bucketing: empty buckets, one line holding most entries, a line
// count that is not a multiple of the bucket width.
void test_line_sort() {
    struct Case {
        const char* what;
        int32_t nlines;
        int64_t num;
        std::function<int32_t(Rng&, int64_t)> line;
    };
    const Case cases[] = {
        {"uniform", 100003, 400000, [](Rng& r, int64_t) { return r.below(100003); }},
        {"most entries in one line", 50000, 300000,
         [](Rng& r, int64_t k) { return k % 10 ? 31337 : r.below(50000); }},
        {"only the last lines", 70001, 300000, [](Rng& r, int64_t) { return 70001 - 1 - r.below(5); }},
        {"every 1000th line", 200000, 300000, [](Rng& r, int64_t) { return 1000 * r.below(200); }},
        {"small (direct scatter)", 500, 5000, [](Rng& r, int64_t) { return r.below(500); }},
    };
    for (const Case& c : cases) {
        Rng r(17);
        std::vector<int32_t> line(c.num), index(c.num);
        std::vector<double> value(c.num);
        for (int64_t k = 0; k < c.num; ++k) {
            line[k] = c.line(r, k);
            index[k] = static_cast<int32_t>(k);
            value[k] = static_cast<double>(k) * 0.5;
        }
        std::vector<int64_t> order(c.num);
        for (int64_t k = 0; k < c.num; ++k) order[k] = k;
        std::stable_sort(order.begin(), order.end(), [&](int64_t a, int64_t b) { return line[a] < line[b]; });
        auto each = [&](auto&& emit) {
            for (int64_t k = 0; k < c.num; ++k) emit(line[k], index[k], value[k]);
        };
        for (bool counted : {false, true}) {
            std::vector<int64_t> start(static_cast<size_t>(c.nlines) + 1, 0);
            std::vector<int32_t> out_index(c.num, -1);
            std::vector<double> out_value(c.num, -1.0);
            int32_t next_first = 0;
            bool in_order = true;
            auto done = [&](int32_t first, int32_t last) {
                in_order &= first == next_first && last > first;
                next_first = last;
            };
            if (counted) {
                sort_by_line_counted(c.nlines, c.num, line.data(), false, each, out_index.data(), out_value.data(),
                                     start.data(), done);
            } else {
                for (int64_t k = 0; k < c.num; ++k) ++start[line[k] + 1];
                for (int32_t l = 0; l < c.nlines; ++l) start[l + 1] += start[l];
                sort_by_line(c.nlines, start.data(), each, out_index.data(), out_value.data(), done);
            }
            const std::string what = std::string(c.what) + (counted ? " (counted)" : "");
            CHECK(in_order && next_first == c.nlines, "%s: done() calls do not cover the lines in order", what.c_str());
            bool same_order = true, same_values = true, starts_right = start[0] == 0 && start[c.nlines] == c.num;
            for (int64_t q = 0; q < c.num; ++q) {
                same_order &= out_index[q] == static_cast<int32_t>(order[q]);
                same_values &= out_value[q] == value[order[q]];
            }
            for (int32_t l = 0; l < c.nlines && starts_right; ++l)
                for (int64_t q = start[l]; q < start[l + 1]; ++q) starts_right &= line[out_index[q]] == l;
            CHECK(same_order, "%s: entries not in stable line order", what.c_str());
            CHECK(same_values, "%s: values do not follow their entries", what.c_str());
            CHECK(starts_right, "%s: line regions wrong", what.c_str());
        }
    }
}

int main() {
    test_random_round_trips();
    test_bounds();
    test_objective_types_and_input();
    test_failures_leave_problem_unchanged();
    test_one_line_puts();
    test_truncation_and_zero_entries();
    test_line_sort();
    test_bulk_puts();
    test_bulk_failures();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
