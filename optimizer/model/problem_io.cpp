// Whole-problem operations of Problem: loading a linear problem in one call
// and converting to and from the plain-array exchange form.
#include <algorithm>
#include <utility>

#include "model/problem.hpp"

namespace vlt::model {

namespace {

void check_size(const char* name, size_t size, int64_t expected, const char* count_name) {
    if (static_cast<int64_t>(size) != expected)
        fail(VLT_RES_ERR_DIMENSION, std::string("Problem data: ") + name + " has " + std::to_string(size) +
                                        " elements, " + count_name + " = " + std::to_string(expected));
}

template <class T>
const T* data_or_null(const std::vector<T>& v) {
    return v.empty() ? nullptr : v.data();
}

// New bounds for n items from optional arrays (see Problem::input_data).
BoundSet loaded_bounds(const BoundSet& like, int32_t n, const int32_t* bk, const double* bl, const double* bu) {
    BoundSet b = like;
    b.resize(0);
    b.resize(n);
    for (int32_t k = 0; k < n; ++k) {
        double lower = bl ? bl[k] : -kInf, upper = bu ? bu[k] : kInf;
        b.put(k, bk ? bk[k] : key_from_finite_sides(lower, upper), lower, upper);
    }
    return b;
}

}  // namespace

void Problem::input_data(int32_t maxnumcon, int32_t maxnumvar, int32_t numcon, int32_t numvar, const double* c,
                         double cfix, const int64_t* aptrb, const int64_t* aptre, const int32_t* asub,
                         const double* aval, const int32_t* bkc, const double* blc, const double* buc,
                         const int32_t* bkx, const double* blx, const double* bux) {
    check_count({"maxnumcon"}, maxnumcon);
    check_count({"maxnumvar"}, maxnumvar);
    check_count({"numcon"}, numcon);
    check_count({"numvar"}, numvar);
    check_finite({"cfix"}, cfix);
    if (c)
        for (int32_t j = 0; j < numvar; ++j) check_finite(at("c", j), c[j]);
    if (aptrb || aptre) {
        check_present(aptrb, "aptrb", "numvar", numvar);
        check_present(aptre, "aptre", "numvar", numvar);
    }
    check_bound_arrays(Item::Con, numcon, bkc, blc, buc, nullptr, 0, true);
    check_bound_arrays(Item::Var, numvar, bkx, blx, bux, nullptr, 0, true);
    if (numvar < num_var()) {
        std::vector<char> keep(static_cast<size_t>(num_var()), 0);
        std::fill(keep.begin(), keep.begin() + numvar, char{1});
        if (std::string e = var_cones_.member_error(keep); !e.empty()) fail(VLT_RES_ERR_INVALID_CONE, e);
    }

    // Build the new state aside (the matrix checks its entries as it is
    // filled), then swap it in: a failure leaves the problem untouched.
    SparseMatrix a;
    a.set_truncate_tol(a_.truncate_tol());
    a.set_max_nnz_hint(a_.max_nnz_hint());
    a.add_rows(numcon);
    a.add_cols(numvar);
    if (aptrb && numvar > 0) {
        LineBatch batch{Axis::Col, numvar, 0, nullptr, aptrb, aptre, asub, aval};
        a.put_lines(batch, {"numvar", nullptr, "aptrb", "aptre", "asub", "aval"});
    }
    BoundSet con_bounds = loaded_bounds(con_bounds_, numcon, bkc, blc, buc);
    BoundSet var_bounds = loaded_bounds(var_bounds_, numvar, bkx, blx, bux);
    std::vector<double> new_c(c ? c : nullptr, c ? c + numvar : nullptr);
    new_c.resize(numvar, 0.0);
    std::vector<int32_t> types(var_type_.begin(), var_type_.begin() + std::min(numvar, num_var()));
    types.resize(numvar, VLT_VAR_TYPE_CONT);
    QuadraticObjective q;
    for (size_t k = 0; k < qobj_.val.size(); ++k) {
        if (qobj_.subi[k] >= numvar || qobj_.subj[k] >= numvar) continue;
        q.subi.push_back(qobj_.subi[k]);
        q.subj.push_back(qobj_.subj[k]);
        q.val.push_back(qobj_.val[k]);
    }
    // F entries of columns that go are dropped; the AFEs themselves stay.
    std::vector<int32_t> f_columns;
    if (numvar < num_var()) {
        f_columns.assign(static_cast<size_t>(num_var()), -1);
        for (int32_t j = 0; j < numvar; ++j) f_columns[j] = j;
    }

    a_ = std::move(a);
    con_bounds_ = std::move(con_bounds);
    var_bounds_ = std::move(var_bounds);
    c_ = std::move(new_c);
    var_type_ = std::move(types);
    qobj_ = std::move(q);
    qcon_.keep_below(numcon, numvar);  // only erases: cannot fail
    sdp_.keep_cons_below(numcon);      // likewise
    if (!f_columns.empty()) afes_.renumber_vars(f_columns);
    names_.con.resize(numcon);  // kept items keep their names
    names_.var.resize(numvar);
    cfix_ = cfix;
    max_num_con_ = maxnumcon;
    max_num_var_ = maxnumvar;
}

ProblemData Problem::to_data() const {
    ProblemData d;
    d.numcon = num_con();
    d.numvar = num_var();
    d.sense = sense_;
    d.cfix = cfix_;
    d.c = c_;
    d.bkc = con_bounds_.keys();
    d.blc = con_bounds_.lowers();
    d.buc = con_bounds_.uppers();
    d.bkx = var_bounds_.keys();
    d.blx = var_bounds_.lowers();
    d.bux = var_bounds_.uppers();
    d.vartype = var_type_;
    const int64_t nz = a_.nnz();
    d.aptr.assign(static_cast<size_t>(num_var()) + 1, 0);
    d.asub.resize(nz);
    d.aval.resize(nz);
    std::vector<int64_t> ends(num_var());
    a_.get_slice(Axis::Col, 0, num_var(), d.aptr.data(), ends.data(), d.asub.data(), d.aval.data());
    d.aptr[num_var()] = nz;
    d.qosubi = qobj_.subi;
    d.qosubj = qobj_.subj;
    d.qoval = qobj_.val;
    const int64_t qcnz = qcon_.total_nnz();
    d.qcsubk.reserve(qcnz);
    d.qcsubi.reserve(qcnz);
    d.qcsubj.reserve(qcnz);
    d.qcval.reserve(qcnz);
    for (const auto& [k, q] : qcon_.terms()) {
        d.qcsubk.insert(d.qcsubk.end(), q.val.size(), k);
        d.qcsubi.insert(d.qcsubi.end(), q.subi.begin(), q.subi.end());
        d.qcsubj.insert(d.qcsubj.end(), q.subj.begin(), q.subj.end());
        d.qcval.insert(d.qcval.end(), q.val.begin(), q.val.end());
    }
    var_cones_.export_to(d);  // first: the optimizer maps their duals back by position
    const int64_t acc_row0 = d.num_conic_rows();
    cones_.export_to(afes_, d);
    std::vector<int64_t> acc_afes(static_cast<size_t>(cones_.num_acc_rows()));
    cones_.get_accs(nullptr, acc_afes.data(), nullptr);
    sdp_.export_to(acc_afes, acc_row0, d);
    names_.to_data(d);
    return d;
}

void Problem::load(const ProblemData& d) {
    check_count({"numcon"}, d.numcon);
    check_count({"numvar"}, d.numvar);
    // Empty vectors stand for defaults; present ones must fit the sizes.
    auto sized = [](const char* name, size_t size, int32_t n, const char* count_name) {
        if (size != 0) check_size(name, size, n, count_name);
    };
    sized("c", d.c.size(), d.numvar, "numvar");
    sized("bkc", d.bkc.size(), d.numcon, "numcon");
    sized("blc", d.blc.size(), d.numcon, "numcon");
    sized("buc", d.buc.size(), d.numcon, "numcon");
    sized("bkx", d.bkx.size(), d.numvar, "numvar");
    sized("blx", d.blx.size(), d.numvar, "numvar");
    sized("bux", d.bux.size(), d.numvar, "numvar");
    sized("vartype", d.vartype.size(), d.numvar, "numvar");
    const bool has_matrix = d.numvar > 0 && d.aptr.size() == static_cast<size_t>(d.numvar) + 1;
    if (d.aptr.size() > 1 && !has_matrix) check_size("aptr", d.aptr.size(), int64_t{d.numvar} + 1, "numvar + 1");
    if (!has_matrix && !d.asub.empty())
        fail(VLT_RES_ERR_DIMENSION, "Problem data: asub has " + std::to_string(d.asub.size()) +
                                        " elements but aptr gives no columns");
    check_size("aval", d.aval.size(), static_cast<int64_t>(d.asub.size()), "the length of asub");
    if (has_matrix && d.aptr.back() > static_cast<int64_t>(d.asub.size()))
        fail(VLT_RES_ERR_INVALID_PTR, "Problem data: aptr[numvar] = " + std::to_string(d.aptr.back()) +
                                          " exceeds the length of asub (" + std::to_string(d.asub.size()) + ")");
    check_size("qosubj", d.qosubj.size(), static_cast<int64_t>(d.qosubi.size()), "the length of qosubi");
    check_size("qoval", d.qoval.size(), static_cast<int64_t>(d.qosubi.size()), "the length of qosubi");
    for (size_t k = 0; k < d.qoval.size(); ++k) {
        check_index(Item::Var, at("qosubi", k), d.qosubi[k], d.numvar);
        check_index(Item::Var, at("qosubj", k), d.qosubj[k], d.numvar);
        check_finite(at("qoval", k), d.qoval[k]);
    }
    const int64_t qcnz = static_cast<int64_t>(d.qcsubk.size());
    check_size("qcsubi", d.qcsubi.size(), qcnz, "the length of qcsubk");
    check_size("qcsubj", d.qcsubj.size(), qcnz, "the length of qcsubk");
    check_size("qcval", d.qcval.size(), qcnz, "the length of qcsubk");
    QuadraticConstraints::Map qcon = QuadraticConstraints::grouped(
        checked_terms({"the length of qcsubk", "qcsubk", "qcsubi", "qcsubj", "qcval"}, qcnz, d.qcsubk.data(),
                      d.qcsubi.data(), d.qcsubj.data(), d.qcval.data(), d.numcon, d.numvar));
    for (size_t k = 0; k < d.vartype.size(); ++k)
        if (d.vartype[k] != VLT_VAR_TYPE_CONT && d.vartype[k] != VLT_VAR_TYPE_INT)
            fail(VLT_RES_ERR_INVALID_VARTYPE, "Problem data: vartype[" + std::to_string(k) + "] = " +
                                                  std::to_string(d.vartype[k]) + " is not a variable type");
    if (d.sense != VLT_OBJECTIVE_SENSE_MINIMIZE && d.sense != VLT_OBJECTIVE_SENSE_MAXIMIZE)
        fail(VLT_RES_ERR_INVALID_OBJSENSE, "Problem data: sense = " + std::to_string(d.sense) +
                                               " is not an objective sense");

    // Everything that can fail happens before the first change; input_data
    // itself changes nothing unless it succeeds.
    ProblemNames names = ProblemNames::from_data(d);
    // The conic rows replace all AFEs, domains and ACCs: data without them
    // leaves the task with none.
    ConicImport conic = import_conic(d);
    SemidefiniteStore sdp = SemidefiniteStore::from_data(d);
    std::vector<int64_t> ends;
    if (has_matrix) ends.assign(d.aptr.begin() + 1, d.aptr.end());
    std::vector<int32_t> types = d.vartype.empty() ? std::vector<int32_t>(d.numvar, VLT_VAR_TYPE_CONT) : d.vartype;
    QuadraticObjective q{d.qosubi, d.qosubj, d.qoval};
    // The cones on variables go with the old problem; set aside, they do not
    // hold back the removal of their members, and come back if the load fails.
    VarConeStore old_cones = std::move(var_cones_);
    var_cones_.clear();
    try {
        input_data(max_num_con_, max_num_var_, d.numcon, d.numvar, data_or_null(d.c), d.cfix,
                   has_matrix ? d.aptr.data() : nullptr, has_matrix ? ends.data() : nullptr, data_or_null(d.asub),
                   data_or_null(d.aval), data_or_null(d.bkc), data_or_null(d.blc), data_or_null(d.buc),
                   data_or_null(d.bkx), data_or_null(d.blx), data_or_null(d.bux));
    } catch (...) {
        var_cones_ = std::move(old_cones);
        throw;
    }
    var_type_ = std::move(types);
    qobj_ = std::move(q);
    qcon_.replace_all(std::move(qcon));
    names_ = std::move(names);
    afes_ = std::move(conic.afes);
    cones_ = std::move(conic.cones);
    sdp_ = std::move(sdp);
    djcs_.clear();
    sense_ = d.sense;
}

}  // namespace vlt::model
