#include "io/task_image.hpp"

#include <algorithm>
#include <limits>
#include <numeric>
#include <utility>

#include "base/error.hpp"
#include "params/param_file.hpp"

namespace vlt::io {

namespace {

// ------------------------------------------------------------------ capture

void capture_matrix(const model::Problem& p, TaskImage& im) {
    const int64_t nz = p.nnz();
    im.aptr.assign(size_t(p.num_var()) + 1, 0);
    im.asub.resize(size_t(nz));
    im.aval.resize(size_t(nz));
    std::vector<int64_t> ends(size_t(p.num_var()));
    p.matrix().get_slice(model::Axis::Col, 0, p.num_var(), im.aptr.data(), ends.data(), im.asub.data(),
                         im.aval.data());
    im.aptr[size_t(p.num_var())] = nz;
    im.truncate_tol = p.truncate_tol();
}

void capture_quadratic(const model::Problem& p, TaskImage& im) {
    const model::QuadraticObjective& q = p.quadratic_objective();
    im.qosubi = q.subi;
    im.qosubj = q.subj;
    im.qoval = q.val;
    for (const auto& [k, terms] : p.quadratic_constraints().terms()) {
        im.qcsubk.insert(im.qcsubk.end(), terms.val.size(), k);
        im.qcsubi.insert(im.qcsubi.end(), terms.subi.begin(), terms.subi.end());
        im.qcsubj.insert(im.qcsubj.end(), terms.subj.begin(), terms.subj.end());
        im.qcval.insert(im.qcval.end(), terms.val.begin(), terms.val.end());
    }
}

void capture_conic(const model::Problem& p, TaskImage& im) {
    const model::AffineStore& afes = p.affine();
    const int64_t numafe = afes.num_afe();
    im.fptr.assign(size_t(numafe) + 1, 0);
    im.fsub.reserve(size_t(afes.nnz()));
    im.fval.reserve(size_t(afes.nnz()));
    im.g.resize(size_t(numafe));
    for (int64_t r = 0; r < numafe; ++r) {
        const int32_t n = afes.length(r);
        im.fsub.insert(im.fsub.end(), afes.cols(r), afes.cols(r) + n);
        im.fval.insert(im.fval.end(), afes.vals(r), afes.vals(r) + n);
        im.fptr[size_t(r) + 1] = static_cast<int64_t>(im.fsub.size());
        im.g[size_t(r)] = afes.g(r);
    }

    const model::ConicStore& cones = p.conic();
    for (int64_t d = 0; d < cones.num_domain(); ++d) {
        const int32_t type = cones.domain_type(d);
        im.domtype.push_back(type);
        im.domn.push_back(cones.domain_n(d));
        if (type == VLT_DOMAIN_PRIMAL_POWER_CONE || type == VLT_DOMAIN_DUAL_POWER_CONE) {
            int64_t n = 0, nleft = 0;
            cones.power_domain_info(d, &n, &nleft);
            const size_t at = im.alpha.size();
            im.alpha.resize(at + size_t(nleft));
            cones.power_domain_alpha(d, im.alpha.data() + at);
        }
        im.alphaptr.push_back(static_cast<int64_t>(im.alpha.size()));
    }
    const int64_t numacc = cones.num_acc();
    im.accdom.resize(size_t(numacc));
    im.accafe.resize(size_t(cones.num_acc_rows()));
    im.accb.resize(size_t(cones.num_acc_rows()));
    cones.get_accs(im.accdom.data(), im.accafe.data(), im.accb.data());
    im.accptr.assign(size_t(numacc) + 1, 0);
    for (int64_t a = 0; a < numacc; ++a) im.accptr[size_t(a) + 1] = im.accptr[size_t(a)] + cones.acc_n(a);

    const model::DisjunctiveStore& djcs = p.disjunctive();
    im.djcnumterm.resize(size_t(djcs.num_djc()));
    im.djctermsize.resize(size_t(djcs.num_term_total()));
    im.djcdom.resize(size_t(djcs.num_domain_total()));
    im.djcafe.resize(size_t(djcs.num_afe_total()));
    im.djcb.resize(size_t(djcs.num_afe_total()));
    djcs.get_all(im.djcdom.data(), im.djcafe.data(), im.djcb.data(), im.djctermsize.data(), im.djcnumterm.data());

    const model::VarConeStore& vc = p.var_cones();
    for (int32_t k = 0; k < vc.num_cone(); ++k) {
        int32_t ct = 0, nummem = 0;
        double par = 0.0;
        vc.get_cone_info(k, &ct, &par, &nummem);
        const size_t at = im.conemem.size();
        im.conemem.resize(at + size_t(nummem));
        vc.get_cone(k, nullptr, nullptr, nullptr, im.conemem.data() + at);
        im.conetype.push_back(ct);
        im.conepar.push_back(par);
        im.coneptr.push_back(static_cast<int64_t>(im.conemem.size()));
    }
}

void capture_entries(const model::BarEntries& entries, TaskImage::BarTerms& out) {
    for (int64_t e = 0; e < entries.size(); ++e) {
        const model::BarEntries::Entry& entry = entries.entry(e);
        out.row.push_back(entry.row);
        out.j.push_back(entry.j);
        out.mat.insert(out.mat.end(), entries.matidx(entry), entries.matidx(entry) + entry.count);
        out.weight.insert(out.weight.end(), entries.weights(entry), entries.weights(entry) + entry.count);
        out.ptr.push_back(static_cast<int64_t>(out.mat.size()));
    }
}

void capture_semidefinite(const model::Problem& p, TaskImage& im) {
    const model::SemidefiniteStore& sdp = p.semidefinite();
    im.barvardim = sdp.dims();
    const model::SymMatStore& mats = sdp.symmats();
    for (int64_t m = 0; m < mats.size(); ++m) {
        im.symdim.push_back(mats.dim(m));
        im.symsubi.insert(im.symsubi.end(), mats.rows(m), mats.rows(m) + mats.nnz(m));
        im.symsubj.insert(im.symsubj.end(), mats.cols(m), mats.cols(m) + mats.nnz(m));
        im.symval.insert(im.symval.end(), mats.vals(m), mats.vals(m) + mats.nnz(m));
        im.symptr.push_back(static_cast<int64_t>(im.symval.size()));
    }
    capture_entries(sdp.barc(), im.barc);
    capture_entries(sdp.bara(), im.bara);
    capture_entries(sdp.barf(), im.barf);
}

void capture_names(const model::Problem& p, TaskImage& im) {
    const model::ProblemNames& names = p.names();
    im.taskname = names.task;
    im.objname = names.objective;
    im.conname = names.con.all();
    im.varname = names.var.all();
    im.domname = p.conic().domain_names().all();
    im.accname = p.conic().acc_names().all();
    im.djcname = p.disjunctive().names().all();
    im.conename = p.var_cones().names().all();
    im.barvarname = p.semidefinite().names().all();
}

// The task's parameters except the remote settings, which no data file holds
// (params/param_file.hpp).
void capture_params(const params::ParamValues& values, ParamSelection selection, TaskImage& im) {
    const bool all = selection == ParamSelection::all;
    auto remote = [](int32_t type, int32_t code) { return params::is_remote_setting(params::ParamRef{type, code}); };
    for (const params::IntParamDef& def : params::int_params())
        if (!remote(VLT_PAR_TYPE_INT, def.code) && (all || values.get_int(def.code) != def.default_value))
            im.params.push_back({VLT_PAR_TYPE_INT, def.name, values.get_int(def.code), 0.0, {}});
    for (const params::DouParamDef& def : params::dou_params()) {
        const double v = values.get_dou(def.code);
        // Compared as bits: -0.0 is a change from 0.0.
        if (!remote(VLT_PAR_TYPE_DOU, def.code) &&
            (all || std::bit_cast<uint64_t>(v) != std::bit_cast<uint64_t>(def.default_value)))
            im.params.push_back({VLT_PAR_TYPE_DOU, def.name, 0, v, {}});
    }
    for (const params::StrParamDef& def : params::str_params())
        if (!remote(VLT_PAR_TYPE_STR, def.code) && (all || values.get_str(def.code) != def.default_value))
            im.params.push_back({VLT_PAR_TYPE_STR, def.name, 0, 0.0, values.get_str(def.code)});
}

// ---------------------------------------------------------------------- build

// Runs one step of building; an error gets the part's name in front.
template <class Step>
void in_part(const char* part, Step&& step) {
    try {
        step();
    } catch (const Error& e) {
        fail(e.code(), std::string(part) + ": " + e.message());
    }
}

[[noreturn]] void fail_data(const std::string& message) { fail(VLT_RES_ERR_FILE_FORMAT, message); }

void check_length(const char* what, size_t size, int64_t expected, const char* count_name) {
    if (static_cast<int64_t>(size) != expected)
        fail_data(std::string(what) + " has " + std::to_string(size) + " entries for " + count_name + " = " +
                  std::to_string(expected));
}

// ptr holds count + 1 non-decreasing positions from 0 to total.
void check_pointers(const char* what, const std::vector<int64_t>& ptr, int64_t count, size_t total) {
    check_length(what, ptr.size(), count + 1, "the count + 1");
    if (ptr.front() != 0) fail_data(std::string(what) + " does not start at 0");
    for (size_t k = 1; k < ptr.size(); ++k)
        if (ptr[k] < ptr[k - 1])
            fail_data(std::string(what) + " decreases at position " + std::to_string(k));
    if (ptr.back() != static_cast<int64_t>(total))
        fail_data(std::string(what) + " ends at " + std::to_string(ptr.back()) + ", not at the " +
                  std::to_string(total) + " entries given");
}

std::vector<int32_t> iota32(int32_t n) {
    std::vector<int32_t> v(size_t(std::max(n, 0)));
    std::iota(v.begin(), v.end(), 0);
    return v;
}

void build_linear(const TaskImage& im, model::Problem& p) {
    in_part("the sizes", [&] {
        model::check_count({"numcon"}, im.numcon);
        model::check_count({"numvar"}, im.numvar);
    });
    in_part("the objective", [&] {
        check_length("c", im.c.size(), im.numvar, "numvar");
        p.put_sense(im.sense);
    });
    in_part("the bounds", [&] {
        check_length("bkc", im.bkc.size(), im.numcon, "numcon");
        check_length("blc", im.blc.size(), im.numcon, "numcon");
        check_length("buc", im.buc.size(), im.numcon, "numcon");
        check_length("bkx", im.bkx.size(), im.numvar, "numvar");
        check_length("blx", im.blx.size(), im.numvar, "numvar");
        check_length("bux", im.bux.size(), im.numvar, "numvar");
    });
    in_part("the matrix", [&] {
        check_pointers("aptr", im.aptr, im.numvar, im.asub.size());
        check_length("aval", im.aval.size(), static_cast<int64_t>(im.asub.size()), "the number of entries");
        // Unless asked to truncate, every stored entry comes back, also one
        // below a tolerance that was raised after it was entered.
        p.put_truncate_tol(im.truncate ? im.truncate_tol : 0.0);
        p.input_data(im.numcon, im.numvar, im.numcon, im.numvar, im.c.data(), im.cfix, im.aptr.data(),
                     im.aptr.data() + 1, im.asub.data(), im.aval.data(), im.bkc.data(), im.blc.data(),
                     im.buc.data(), im.bkx.data(), im.blx.data(), im.bux.data());
        p.put_truncate_tol(im.truncate_tol);
    });
    in_part("the variable types", [&] {
        check_length("vartype", im.vartype.size(), im.numvar, "numvar");
        const std::vector<int32_t> all = iota32(im.numvar);
        p.put_var_type_list(im.numvar, all.data(), im.vartype.data());
    });
}

// Terms must already be in stored form (lower triangle, no zeros, each
// position once); checked_terms finds repeats and bad indexes or values.
model::QuadraticTerms stored_terms(const char* what, const std::vector<int32_t>& subi,
                                   const std::vector<int32_t>& subj, const std::vector<double>& val,
                                   int32_t numvar) {
    check_length("the column indexes", subj.size(), static_cast<int64_t>(subi.size()), "the row indexes");
    check_length("the values", val.size(), static_cast<int64_t>(subi.size()), "the row indexes");
    model::checked_terms({"the number of terms", nullptr, "subi", "subj", "val"}, static_cast<int64_t>(subi.size()),
                         nullptr, subi.data(), subj.data(), val.data(), 0, numvar);
    for (size_t t = 0; t < val.size(); ++t) {
        if (subi[t] < subj[t])
            fail_data(std::string(what) + " term " + std::to_string(t) + " lies above the diagonal");
        if (val[t] == 0.0) fail_data(std::string(what) + " term " + std::to_string(t) + " is zero");
    }
    return {subi, subj, val};
}

void build_quadratic(const TaskImage& im, model::Problem& p) {
    in_part("the quadratic objective", [&] {
        p.quadratic_objective() = stored_terms("quadratic objective", im.qosubi, im.qosubj, im.qoval, im.numvar);
    });
    in_part("the quadratic constraint terms", [&] {
        check_length("the row list", im.qcsubk.size(), static_cast<int64_t>(im.qcval.size()), "the number of terms");
        model::QuadraticConstraints::Map all;
        size_t begin = 0;
        while (begin < im.qcsubk.size()) {
            const int32_t k = im.qcsubk[begin];
            model::check_index(model::Item::Con, model::at("subk", int64_t(begin)), k, im.numcon);
            if (!all.empty() && k <= all.rbegin()->first)
                fail_data("the rows are not in ascending order at term " + std::to_string(begin));
            size_t end = begin;
            while (end < im.qcsubk.size() && im.qcsubk[end] == k) ++end;
            auto part = [&](const auto& v) { return std::vector(v.begin() + long(begin), v.begin() + long(end)); };
            all[k] = stored_terms("row", part(im.qcsubi), part(im.qcsubj), part(im.qcval), im.numvar);
            begin = end;
        }
        p.quadratic_constraints().replace_all(std::move(all));
    });
}

void build_conic(const TaskImage& im, model::Problem& p) {
    const int64_t numafe = im.num_afe();
    in_part("the affine expressions", [&] {
        check_pointers("the row pointers of F", im.fptr, numafe, im.fsub.size());
        check_length("the values of F", im.fval.size(), static_cast<int64_t>(im.fsub.size()), "the entries");
        p.affine().append(numafe);
        std::vector<int64_t> rows(static_cast<size_t>(numafe));
        std::iota(rows.begin(), rows.end(), int64_t{0});
        std::vector<int32_t> lengths(static_cast<size_t>(numafe));
        for (int64_t r = 0; r < numafe; ++r) {
            const int64_t n = im.fptr[size_t(r) + 1] - im.fptr[size_t(r)];
            if (n > im.numvar) fail_data("row " + std::to_string(r) + " of F has more entries than variables");
            lengths[size_t(r)] = static_cast<int32_t>(n);
        }
        p.affine().put_row_list(numafe, rows.data(), lengths.data(), im.fptr.data(),
                                static_cast<int64_t>(im.fsub.size()), im.fsub.data(), im.fval.data(), im.numvar);
        p.affine().put_g_slice(0, numafe, im.g.data());
    });
    in_part("the domains", [&] {
        check_length("the dimensions", im.domn.size(), im.num_domain(), "the number of domains");
        check_pointers("the weight pointers", im.alphaptr, im.num_domain(), im.alpha.size());
        for (int64_t d = 0; d < im.num_domain(); ++d) {
            const int64_t first = im.alphaptr[size_t(d)], nleft = im.alphaptr[size_t(d) + 1] - first;
            p.conic().append_domain(im.domtype[size_t(d)], im.domn[size_t(d)], nleft, im.alpha.data() + first);
        }
    });
    in_part("the affine conic constraints", [&] {
        check_pointers("the AFE list pointers", im.accptr, im.num_acc(), im.accafe.size());
        check_length("b", im.accb.size(), static_cast<int64_t>(im.accafe.size()), "the AFE list");
        for (int64_t a = 0; a < im.num_acc(); ++a) {
            const int64_t d = im.accdom[size_t(a)];
            if (d >= 0 && d < im.num_domain() && im.domn[size_t(d)] != im.accptr[size_t(a) + 1] - im.accptr[size_t(a)])
                fail_data("constraint " + std::to_string(a) + " has " +
                          std::to_string(im.accptr[size_t(a) + 1] - im.accptr[size_t(a)]) +
                          " expressions for a domain of dimension " + std::to_string(im.domn[size_t(d)]));
        }
        p.conic().append_accs(im.num_acc(), im.accdom.data(), static_cast<int64_t>(im.accafe.size()),
                              im.accafe.data(), im.accb.data(), numafe);
    });
    in_part("the disjunctive constraints", [&] {
        model::DisjunctiveStore& djcs = p.disjunctive();
        djcs.append(im.num_djc());
        djcs.put_slice(0, im.num_djc(), static_cast<int64_t>(im.djcdom.size()), im.djcdom.data(),
                       static_cast<int64_t>(im.djcafe.size()), im.djcafe.data(), im.djcb.data(),
                       static_cast<int64_t>(im.djctermsize.size()), im.djctermsize.data(), im.djcnumterm.data(),
                       p.conic(), numafe);
    });
    in_part("the cones", [&] {
        check_length("the parameters", im.conepar.size(), im.num_cone(), "the number of cones");
        check_pointers("the member pointers", im.coneptr, im.num_cone(), im.conemem.size());
        for (int32_t k = 0; k < im.num_cone(); ++k) {
            const int64_t first = im.coneptr[size_t(k)], n = im.coneptr[size_t(k) + 1] - first;
            if (n > im.numvar) fail_data("cone " + std::to_string(k) + " has more members than variables");
            p.append_cone(im.conetype[size_t(k)], im.conepar[size_t(k)], static_cast<int32_t>(n),
                          im.conemem.data() + first);
        }
    });
}

void build_entries(const char* part, const TaskImage::BarTerms& t, model::Problem& p, int which) {
    in_part(part, [&] {
        check_length("the rows", t.row.size(), t.size(), "the number of entries");
        check_pointers("the term pointers", t.ptr, t.size(), t.mat.size());
        check_length("the weights", t.weight.size(), static_cast<int64_t>(t.mat.size()), "the terms");
        model::SemidefiniteStore& sdp = p.semidefinite();
        for (int64_t e = 0; e < t.size(); ++e) {
            const int64_t first = t.ptr[size_t(e)], n = t.ptr[size_t(e) + 1] - first;
            if (n == 0) fail_data("entry " + std::to_string(e) + " has no terms");
            if (e > 0 && (t.row[size_t(e)] < t.row[size_t(e) - 1] ||
                          (t.row[size_t(e)] == t.row[size_t(e) - 1] && t.j[size_t(e)] <= t.j[size_t(e) - 1])))
                fail_data("the entries are not in (row, variable) order at entry " + std::to_string(e));
            const int64_t* mats = t.mat.data() + first;
            const double* weights = t.weight.data() + first;
            switch (which) {
                case 0:
                    if (t.row[size_t(e)] != 0) fail_data("entry " + std::to_string(e) + " has a row");
                    sdp.put_barc_j(t.j[size_t(e)], n, mats, weights);
                    break;
                case 1:
                    if (t.row[size_t(e)] < 0 || t.row[size_t(e)] > std::numeric_limits<int32_t>::max())
                        fail_data("entry " + std::to_string(e) + " has no constraint");
                    sdp.put_bara_ij(static_cast<int32_t>(t.row[size_t(e)]), t.j[size_t(e)], n, mats, weights, p.num_con());
                    break;
                default:
                    sdp.put_barf_entry(t.row[size_t(e)], t.j[size_t(e)], n, mats, weights, p.affine().num_afe());
            }
        }
    });
}

void build_semidefinite(const TaskImage& im, model::Problem& p) {
    in_part("the semidefinite variables", [&] {
        p.semidefinite().append_barvars(im.num_barvar(), im.barvardim.data());
    });
    in_part("the symmetric matrices", [&] {
        check_pointers("the matrix pointers", im.symptr, im.num_symmat(), im.symval.size());
        check_length("the row indexes", im.symsubi.size(), static_cast<int64_t>(im.symval.size()), "the values");
        check_length("the column indexes", im.symsubj.size(), static_cast<int64_t>(im.symval.size()), "the values");
        for (int64_t m = 0; m < im.num_symmat(); ++m) {
            const int64_t first = im.symptr[size_t(m)];
            p.semidefinite().symmats().append(im.symdim[size_t(m)], im.symptr[size_t(m) + 1] - first,
                                              im.symsubi.data() + first, im.symsubj.data() + first,
                                              im.symval.data() + first);
        }
    });
    build_entries("barC", im.barc, p, 0);
    build_entries("barA", im.bara, p, 1);
    build_entries("barF", im.barf, p, 2);
}

void check_name(const char* what, int64_t k, const std::string& name) {
    if (const char* why = model::name_text_error(name, false))
        fail_data(std::string(what) + " " + std::to_string(k) + " " + why);
}

// Names of count items: none, or one per item.
void check_name_list(const char* what, const std::vector<std::string>& names, int64_t count) {
    if (!names.empty()) check_length(what, names.size(), count, "the number of items");
    for (size_t k = 0; k < names.size(); ++k) check_name(what, int64_t(k), names[k]);
}

void build_names(const TaskImage& im, model::Problem& p) {
    in_part("the names", [&] {
        check_name("the task name", 0, im.taskname);
        check_name("the objective name", 0, im.objname);
        check_name_list("constraint name", im.conname, im.numcon);
        check_name_list("variable name", im.varname, im.numvar);
        check_name_list("domain name", im.domname, im.num_domain());
        check_name_list("ACC name", im.accname, im.num_acc());
        check_name_list("DJC name", im.djcname, im.num_djc());
        check_name_list("cone name", im.conename, im.num_cone());
        check_name_list("semidefinite variable name", im.barvarname, im.num_barvar());
        p.names().task = im.taskname;
        p.names().objective = im.objname;
        p.names().con.assign(im.conname);
        p.names().var.assign(im.varname);
        for (size_t d = 0; d < im.domname.size(); ++d) p.conic().put_domain_name(int64_t(d), im.domname[d]);
        for (size_t a = 0; a < im.accname.size(); ++a) p.conic().put_acc_name(int64_t(a), im.accname[a]);
        for (size_t k = 0; k < im.djcname.size(); ++k) p.disjunctive().put_name(int64_t(k), im.djcname[k]);
        for (size_t k = 0; k < im.conename.size(); ++k) p.cone_names().put(int64_t(k), im.conename[k]);
        for (size_t k = 0; k < im.barvarname.size(); ++k) p.semidefinite().names().put(int64_t(k), im.barvarname[k]);
    });
}

void check_enum(const char* what, int32_t value, int32_t first, int32_t last) {
    if (value < first || value > last)
        fail_data(std::string(what) + " " + std::to_string(value) + " is not valid");
}

// Stores the image's defined solutions into out, each checked against the
// problem's sizes.
void build_solutions(const TaskImage& im, const model::Problem& p, model::Solutions& out) {
    const model::SolutionSizes sizes = model::solution_sizes(p);
    for (int32_t which = 0; which < model::kNumSolutions; ++which) {
        const model::Solution& s = im.solutions[size_t(which)];
        if (!s.defined) continue;
        static const char* const parts[] = {"the interior-point solution", "the basic solution",
                                            "the integer solution"};
        in_part(parts[which], [&] {
            check_enum("The problem status", s.prosta, VLT_PRO_STA_UNKNOWN, VLT_PRO_STA_PRIM_INFEAS_OR_UNBOUNDED);
            check_enum("The solution status", s.solsta, VLT_SOL_STA_UNKNOWN, VLT_SOL_STA_INTEGER_OPTIMAL);
            auto keys = [](const char* what, const std::vector<int32_t>& v, int32_t n) {
                check_length(what, v.size(), n, "the number of items");
                for (int32_t key : v) check_enum("A status key", key, VLT_SK_UNK, VLT_SK_INF);
            };
            keys("skc", s.skc, sizes.numcon);
            keys("skx", s.skx, sizes.numvar);
            keys("skn", s.skn, sizes.numcone);
            for (int32_t item = 0; item < model::kNumSolutionItems; ++item) {
                const std::vector<double>& v = s.values[size_t(item)];
                check_length(model::item_name(item), v.size(),
                             model::is_con_item(item) ? sizes.numcon : sizes.numvar, "the number of items");
                for (size_t k = 0; k < v.size(); ++k) model::check_finite(model::at(model::item_name(item), int64_t(k)), v[k]);
            }
            check_length("doty", s.doty.size(), sizes.numaccrows, "the rows of the affine conic constraints");
            for (const auto* bar : {&s.barx, &s.bars}) {
                check_length(bar == &s.barx ? "barx" : "bars", bar->size(), sizes.numbarvar(),
                             "the number of semidefinite variables");
                for (int32_t j = 0; j < sizes.numbarvar(); ++j) {
                    const std::vector<double>& v = (*bar)[size_t(j)];
                    check_length("a semidefinite variable's values", v.size(),
                                 model::packed_length((*sizes.barvar_dims)[size_t(j)]), "its lower triangle");
                    for (double x : v) model::check_finite({"barx"}, x);
                }
            }
            for (size_t k = 0; k < s.doty.size(); ++k) model::check_finite(model::at("doty", int64_t(k)), s.doty[k]);
            out.store(which, s);
        });
    }
}

std::vector<std::string> apply_params(const std::vector<ParamSetting>& settings, params::ParamValues& values) {
    std::vector<std::string> skipped;
    for (const ParamSetting& s : settings) {
        const std::optional<params::ParamRef> ref = params::find_param(s.name);
        if (!ref) {
            skipped.push_back("the parameter " + s.name + " is not known to this version and was skipped");
            continue;
        }
        if (params::is_remote_setting(*ref)) {
            skipped.push_back("the remote setting " + s.name +
                              " was ignored: a data file does not choose where or how a task is solved");
            continue;
        }
        in_part("the parameters", [&] {
            if (ref->type != s.type)
                fail(VLT_RES_ERR_PARAM_TYPE, s.name + " is a " + params::param_type_word(ref->type) +
                                                 " parameter, given as a " + params::param_type_word(s.type) +
                                                 " one");
            switch (s.type) {
                case VLT_PAR_TYPE_INT: values.set_int(ref->code, s.int_value); break;
                case VLT_PAR_TYPE_DOU: values.set_dou(ref->code, s.dou_value); break;
                default: values.set_str(ref->code, s.str_value); break;
            }
        });
    }
    return skipped;
}

}  // namespace

TaskImage capture(const model::Problem& problem, const model::Solutions& solutions,
                  const params::ParamValues& params, ParamSelection selection) {
    TaskImage im;
    im.numcon = problem.num_con();
    im.numvar = problem.num_var();
    im.sense = problem.sense();
    im.cfix = problem.cfix();
    im.c = problem.c();
    const model::BoundSet& con = problem.bounds(model::Item::Con);
    const model::BoundSet& var = problem.bounds(model::Item::Var);
    im.bkc = con.keys();
    im.blc = con.lowers();
    im.buc = con.uppers();
    im.bkx = var.keys();
    im.blx = var.lowers();
    im.bux = var.uppers();
    im.vartype.resize(size_t(im.numvar));
    const std::vector<int32_t> all = iota32(im.numvar);
    problem.get_var_type_list(im.numvar, all.data(), im.vartype.data());
    capture_matrix(problem, im);
    capture_quadratic(problem, im);
    capture_conic(problem, im);
    capture_semidefinite(problem, im);
    capture_names(problem, im);
    capture_params(params, selection, im);
    // Reading a solution fits it to the problem's sizes: do that on a copy.
    model::Solutions fitted = solutions;
    const model::SolutionSizes sizes = model::solution_sizes(problem);
    for (int32_t which = 0; which < model::kNumSolutions; ++which)
        if (fitted.defined(which)) im.solutions[size_t(which)] = fitted.read(which, sizes);
    return im;
}

void build_solutions(const TaskImage& image, const model::Problem& problem, model::Solutions& solutions,
                     const std::string& source, VLTrescodee error_code) {
    try {
        build_solutions(image, problem, solutions);
    } catch (const Error& e) {
        if (e.code() == VLT_RES_ERR_SPACE) throw;
        fail(error_code, source + ": " + e.message());
    }
}

BuiltTask build(const TaskImage& im, const params::ParamValues& params_base, const std::string& source,
                VLTrescodee error_code) {
    BuiltTask out;
    out.params = params_base;
    try {
        build_linear(im, out.problem);
        build_quadratic(im, out.problem);
        build_conic(im, out.problem);
        build_semidefinite(im, out.problem);
        build_names(im, out.problem);
        build_solutions(im, out.problem, out.solutions);
        out.warnings = apply_params(im.params, out.params);
    } catch (const Error& e) {
        // Whatever the task refuses is bad data of the file.
        if (e.code() == VLT_RES_ERR_SPACE) throw;
        fail(error_code, source + ": " + e.message());
    }
    return out;
}

}  // namespace vlt::io
