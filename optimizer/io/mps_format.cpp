#include "io/mps_format.hpp"

#include <algorithm>
#include <numeric>

#include "base/error.hpp"
#include "io/mps_reader.hpp"
#include "io/mps_writer.hpp"
#include "io/task_files.hpp"

namespace vlt::io {

namespace {

// Quadratic terms of the reader without the explicit zeros it keeps (a
// task stores none).
void copy_terms(const std::vector<int32_t>* from[3], const std::vector<double>& val, std::vector<int32_t>* to[3],
                std::vector<double>& to_val) {
    for (size_t t = 0; t < val.size(); ++t) {
        if (val[t] == 0.0) continue;
        for (int k = 0; k < 3; ++k)
            if (from[k]) to[k]->push_back((*from[k])[t]);
        to_val.push_back(val[t]);
    }
}

void add_conic(const MpsConic& c, TaskImage& im) {
    for (const MpsConic::Cone& cone : c.cones) {
        im.conetype.push_back(cone.type);
        im.conepar.push_back(cone.parameter);
        im.conemem.insert(im.conemem.end(), cone.members.begin(), cone.members.end());
        im.coneptr.push_back(static_cast<int64_t>(im.conemem.size()));
        im.conename.push_back(cone.name);
    }
    // F by rows: the entries of each AFE in file order.
    std::vector<size_t> order(c.f_afe.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return c.f_afe[a] < c.f_afe[b]; });
    im.fptr.assign(static_cast<size_t>(c.numafe) + 1, 0);
    for (size_t k : order) {
        im.fsub.push_back(c.f_col[k]);
        im.fval.push_back(c.f_val[k]);
        ++im.fptr[size_t(c.f_afe[k]) + 1];
    }
    for (size_t r = 0; r < size_t(c.numafe); ++r) im.fptr[r + 1] += im.fptr[r];
    im.g = c.g;
    im.g.resize(size_t(c.numafe), 0.0);
    for (const MpsConic::Domain& d : c.domains) {
        im.domtype.push_back(d.type);
        im.domn.push_back(d.n);
        im.alpha.insert(im.alpha.end(), d.alpha.begin(), d.alpha.end());
        im.alphaptr.push_back(static_cast<int64_t>(im.alpha.size()));
        im.domname.push_back(d.name);
    }
    for (const MpsConic::Acc& a : c.accs) {
        im.accdom.push_back(a.domain);
        im.accafe.insert(im.accafe.end(), a.afes.begin(), a.afes.end());
        im.accb.insert(im.accb.end(), a.b.begin(), a.b.end());
        im.accptr.push_back(static_cast<int64_t>(im.accafe.size()));
        im.accname.push_back(a.name);
    }
}

TaskImage image_of(model::ProblemData&& d, const MpsConic& conic) {
    TaskImage im;
    im.numcon = d.numcon;
    im.numvar = d.numvar;
    im.sense = d.sense;
    im.cfix = d.cfix;
    im.c = std::move(d.c);
    im.bkc = std::move(d.bkc);
    im.blc = std::move(d.blc);
    im.buc = std::move(d.buc);
    im.bkx = std::move(d.bkx);
    im.blx = std::move(d.blx);
    im.bux = std::move(d.bux);
    im.vartype = std::move(d.vartype);
    im.aptr = std::move(d.aptr);
    im.asub = std::move(d.asub);
    im.aval = std::move(d.aval);
    const std::vector<int32_t>* qo_from[3] = {&d.qosubi, &d.qosubj, nullptr};
    std::vector<int32_t>* qo_to[3] = {&im.qosubi, &im.qosubj, nullptr};
    copy_terms(qo_from, d.qoval, qo_to, im.qoval);
    const std::vector<int32_t>* qc_from[3] = {&d.qcsubk, &d.qcsubi, &d.qcsubj};
    std::vector<int32_t>* qc_to[3] = {&im.qcsubk, &im.qcsubi, &im.qcsubj};
    copy_terms(qc_from, d.qcval, qc_to, im.qcval);
    im.taskname = std::move(d.name);
    im.objname = std::move(d.objname);
    im.conname = std::move(d.conname);
    im.varname = std::move(d.varname);
    add_conic(conic, im);
    return im;
}

void read_into(Task& task, std::string_view bytes, const std::string& source, MpsFlavor flavor) {
    model::ProblemData data;
    MpsConic conic;
    MpsReadInfo remarks;
    try {
        data = read_mps_text(bytes, source, flavor, &remarks, &conic);
    } catch (const FormatError& e) {
        fail(VLT_RES_ERR_MPS_FORMAT, e.what());
    }
    for (uint8_t flag : data.semicont)
        if (flag)
            fail(VLT_RES_ERR_MPS_FORMAT, source + ": semi-continuous variables are not supported by tasks; nothing was read");
    // The problem is replaced only once the whole file was read and checked;
    // the task's parameters stay, its solutions go with the old problem, and
    // entries of A are truncated as the task's puts truncate them.
    TaskImage image = image_of(std::move(data), conic);
    image.truncate_tol = task.problem.truncate_tol();
    image.truncate = true;
    install(task, image, false, source, VLT_RES_ERR_MPS_FORMAT);
    for (const std::string& w : remarks.warnings) task.streams.emit(VLT_STREAM_WRN, "Warning: " + w + "\n");
}

MpsWriteOptions options_of(const Task& task, bool fixed) {
    MpsWriteOptions o;
    o.fixed = fixed;
    o.digits = task.params[VLT_IPAR_WRITE_PRECISION];
    o.generic_names = task.params[VLT_IPAR_WRITE_GENERIC_NAMES] == VLT_ONOFF_ON;
    o.integer_markers = task.params[VLT_IPAR_WRITE_MPS_INT] == VLT_ONOFF_ON;
    o.ignore_incompatible = task.params[VLT_IPAR_WRITE_IGNORE_INCOMPATIBLE_ITEMS] == VLT_ONOFF_ON;
    return o;
}

void write_with(const Task& task, Sink& out, bool fixed) {
    write_mps(capture_task(task, ParamSelection::changed, false), options_of(task, fixed), out);
}

}  // namespace

void read_mps_task(Task& task, std::string_view bytes, const std::string& source) {
    read_into(task, bytes, source, MpsFlavor::automatic);
}

void read_free_mps_task(Task& task, std::string_view bytes, const std::string& source) {
    read_into(task, bytes, source, MpsFlavor::free);
}

void write_mps_task(const Task& task, Sink& out) {
    write_with(task, out, task.params[VLT_IPAR_WRITE_MPS_FORMAT] != VLT_MPS_FORMAT_FREE);
}

void write_free_mps_task(const Task& task, Sink& out) { write_with(task, out, false); }

}  // namespace vlt::io
