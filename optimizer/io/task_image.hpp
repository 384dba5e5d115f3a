// A whole task as plain arrays, without loss: the form in which the task
// file formats (binary, JSON, OPF, PTF) write a task and read one back.
//
// Unlike model::ProblemData (the solvers' exchange form, which stacks cones
// and ACCs into conic rows), the image keeps every store of the task apart,
// in the order the task's getters report it: the matrix column by column in
// stored order, quadratic terms in stored order, the rows of F one affine
// expression after another, domains with their power-cone weights, ACCs with
// their AFE lists and constants b, cones on variables, every name list, the
// parameters and the three solutions.
//
// capture() copies a task into an image; build() checks an image as a whole
// and makes the task's parts from it, so that a reader can swap them in only
// once everything is known to be good.  Messages of build() say which part of
// the data is wrong; the readers put the file's name in front.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/problem.hpp"
#include "model/solution.hpp"
#include "params/param_table.hpp"

namespace vlt::io {

// One parameter setting, by name: the form that survives a reordering of
// the parameter table between versions.
struct ParamSetting {
    int32_t type = VLT_PAR_TYPE_INT;  // VLT_PAR_TYPE_*
    std::string name;                 // e.g. "VLT_IPAR_LOG"
    int32_t int_value = 0;
    double dou_value = 0.0;
    std::string str_value;
};

struct TaskImage {
    int32_t numcon = 0, numvar = 0;

    // Objective.
    int32_t sense = VLT_OBJECTIVE_SENSE_MINIMIZE;
    double cfix = 0.0;
    std::vector<double> c;  // numvar

    // Bounds, as stored (the side a key leaves out holds an infinity).
    std::vector<int32_t> bkc;  // numcon
    std::vector<double> blc, buc;
    std::vector<int32_t> bkx;  // numvar
    std::vector<double> blx, bux;
    std::vector<int32_t> vartype;  // numvar

    // Linear matrix by columns: column j is asub/aval[aptr[j] .. aptr[j+1]).
    std::vector<int64_t> aptr{0};  // numvar + 1
    std::vector<int32_t> asub;
    std::vector<double> aval;
    double truncate_tol = 1e-9;  // the task's truncation tolerance for A
    // Whether build() drops the entries of A at or below truncate_tol, as a
    // put does (text formats), or keeps every entry (the lossless formats).
    bool truncate = false;

    // Quadratic terms by their lower triangles (i >= j), in stored order.
    std::vector<int32_t> qosubi, qosubj;
    std::vector<double> qoval;
    // Constraint parts: entry t belongs to row qcsubk[t]; rows ascending.
    std::vector<int32_t> qcsubk, qcsubi, qcsubj;
    std::vector<double> qcval;

    // Affine expressions: row r of F is fsub/fval[fptr[r] .. fptr[r+1]).
    std::vector<int64_t> fptr{0};  // numafe + 1
    std::vector<int32_t> fsub;
    std::vector<double> fval;
    std::vector<double> g;  // numafe
    int64_t num_afe() const { return static_cast<int64_t>(g.size()); }

    // Domains: kind and dimension; the weights of power cones are
    // alpha[alphaptr[d] .. alphaptr[d+1]) (empty for the other kinds).
    std::vector<int32_t> domtype;
    std::vector<int64_t> domn;
    std::vector<int64_t> alphaptr{0};  // numdomain + 1
    std::vector<double> alpha;
    int64_t num_domain() const { return static_cast<int64_t>(domtype.size()); }

    // ACCs: domain, and the AFEs and constants accafe/accb[accptr[a] .. accptr[a+1]).
    std::vector<int64_t> accdom;
    std::vector<int64_t> accptr{0};  // numacc + 1
    std::vector<int64_t> accafe;
    std::vector<double> accb;
    int64_t num_acc() const { return static_cast<int64_t>(accdom.size()); }

    // Disjunctive constraints, one after another: DJC k has djcnumterm[k]
    // terms, whose sizes (domains per term) follow in djctermsize; the
    // domains of all terms in djcdom, their AFEs and constants in djcafe and
    // djcb.
    std::vector<int64_t> djcnumterm, djctermsize, djcdom, djcafe;
    std::vector<double> djcb;
    int64_t num_djc() const { return static_cast<int64_t>(djcnumterm.size()); }

    // Cones on variables: members conemem[coneptr[k] .. coneptr[k+1]).
    std::vector<int32_t> conetype;
    std::vector<double> conepar;
    std::vector<int64_t> coneptr{0};  // numcone + 1
    std::vector<int32_t> conemem;
    int32_t num_cone() const { return static_cast<int32_t>(conetype.size()); }

    // Semidefinite variables (dimensions) and the store of symmetric
    // matrices: matrix m has dimension symdim[m] and the lower-triangle
    // triplets symsubi/symsubj/symval[symptr[m] .. symptr[m+1]) in stored order.
    std::vector<int32_t> barvardim;
    int32_t num_barvar() const { return static_cast<int32_t>(barvardim.size()); }
    std::vector<int32_t> symdim;
    std::vector<int64_t> symptr{0};
    std::vector<int32_t> symsubi, symsubj;
    std::vector<double> symval;
    int64_t num_symmat() const { return static_cast<int64_t>(symdim.size()); }
    // Entries of barC (row 0), barA (row: constraint) and barF (row: AFE):
    // entry e is sum_t weight[t] M[mat[t]] over t in [ptr[e], ptr[e+1]) for
    // semidefinite variable j[e], entries sorted by (row, j).
    struct BarTerms {
        std::vector<int64_t> row;
        std::vector<int32_t> j;
        std::vector<int64_t> ptr{0};
        std::vector<int64_t> mat;
        std::vector<double> weight;
        int64_t size() const { return static_cast<int64_t>(j.size()); }
        bool operator==(const BarTerms&) const = default;
    };
    BarTerms barc, bara, barf;

    // Names; an empty list means that no item of its kind is named.
    std::string taskname, objname;
    std::vector<std::string> conname, varname, domname, accname, djcname, conename, barvarname;

    // Parameters applied to the task on reading (those not listed keep
    // their values).
    std::vector<ParamSetting> params;

    // Solutions by selector (VLT_SOL_ITR, VLT_SOL_BAS, VLT_SOL_ITG); an
    // undefined one is not part of the task.
    std::array<model::Solution, model::kNumSolutions> solutions;
};

// Which parameters capture() takes: all of them (a lossless copy) or those
// that differ from their defaults (what a human-readable file needs).
enum class ParamSelection { all, changed };

TaskImage capture(const model::Problem& problem, const model::Solutions& solutions,
                  const params::ParamValues& params, ParamSelection selection);

// The task's parts made from an image.
struct BuiltTask {
    model::Problem problem;
    model::Solutions solutions;
    params::ParamValues params;
    std::vector<std::string> warnings;  // settings that were skipped (unknown names)
};

// Checks the image and makes the parts; params_base holds the values the
// image's settings are applied to.  Throws vlt::Error with error_code (the
// code of the format read) and a message "<source>: <part>: <what>".
BuiltTask build(const TaskImage& image, const params::ParamValues& params_base, const std::string& source,
                VLTrescodee error_code);

// Stores the image's defined solutions into `solutions` (the others are
// left as they are), each checked against the problem's sizes; a failure
// changes nothing that was not yet stored, so callers store into a copy.
void build_solutions(const TaskImage& image, const model::Problem& problem, model::Solutions& solutions,
                     const std::string& source, VLTrescodee error_code);

}  // namespace vlt::io
