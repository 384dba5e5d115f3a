// Entry points: names of constraints, variables, the objective and the task
// (put, length, get, lookup, generation), of domains, affine conic
// constraints and disjunctive constraints (put, length, get; generation for
// the latter two) and the names report.
//
// Names are UTF-8 text of at most 1 MiB without NUL (model/names.hpp); the
// empty text makes an item unnamed.  Getters need a buffer of the name's
// length plus one byte for the NUL and never write past sizename bytes.
// Lookups answer asgn = 1 and the lowest index of the items carrying the
// name, or asgn = 0 and index = -1 when no item carries it.
//
// Cones on variables and semidefinite variables are named like constraints
// and variables.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api/impl.hpp"
#include "model/names.hpp"
#include "model/problem.hpp"

namespace vlt {

using model::Item;
using model::NameList;

namespace {

NameList& list_of(Task& task, Item item) {
    return item == Item::Con ? task.problem.names().con : task.problem.names().var;
}

const char* index_name(Item item) { return item == Item::Con ? "i" : "j"; }

int32_t checked_length(const std::string& name) {
    // Names are at most kMaxNameBytes long, far below the int32 range.
    return static_cast<int32_t>(name.size());
}

void put_item_name(Task& task, Item item, int32_t index, const char* name) {
    model::check_index(item, {index_name(item)}, index, task.problem.num_items(item));
    list_of(task, item).put(index, model::checked_name(name, "name"));
}

const std::string& item_name(Task& task, Item item, int32_t index) {
    model::check_index(item, {index_name(item)}, index, task.problem.num_items(item));
    return list_of(task, item).get(index);
}

void copy_name(const std::string& name, int32_t size, char* buffer, const char* size_arg, const char* buffer_arg,
               const std::string& what) {
    if (!buffer) fail(VLT_RES_ERR_NULL_POINTER, std::string("Argument ") + buffer_arg + " is a null pointer");
    const int64_t needed = int64_t(name.size()) + 1;
    if (size < needed)
        fail(VLT_RES_ERR_BUFFER_TOO_SMALL, std::string("Argument ") + size_arg + " = " + std::to_string(size) +
                                               " is too small for " + what + " of length " +
                                               std::to_string(name.size()) + " (" + std::to_string(needed) +
                                               " bytes needed with the terminating NUL)");
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
}

void find_name(const NameList& list, const char* somename, int32_t* asgn, int32_t* index) {
    if (!somename) fail(VLT_RES_ERR_NULL_POINTER, "Argument somename is a null pointer");
    const std::string_view name(somename, strnlen(somename, model::kMaxNameBytes + 1));
    const int64_t found = list.find(name);
    put_out(asgn, int32_t(found >= 0));
    put_out(index, int32_t(found));
}

// Generated names of int32-indexed items; check(arg, index) checks one index.
template <class Check>
void generate_names_of(NameList& list, Check&& check, int32_t num, const int32_t* sub, const char* sub_arg,
                       const char* fmt, int32_t ndims, const int32_t* dims, const int64_t* sp, int32_t numnamedaxis,
                       const int32_t* namedaxisidxs, int64_t numnames, const char* const* names) {
    model::check_count({"num"}, num);
    model::check_present(sub, sub_arg, "num", num);
    for (int32_t k = 0; k < num; ++k) check(model::at(sub_arg, k), sub[k]);
    std::vector<std::string> made =
        model::generate_names(num, fmt, ndims, dims, sp, numnamedaxis, namedaxisidxs, numnames, names);
    for (int32_t k = 0; k < num; ++k) list.put(sub[k], made[size_t(k)]);  // a repeated index: the last entry wins
}

void generate_item_names(Task& task, Item item, int32_t num, const int32_t* sub, const char* sub_arg,
                         const char* fmt, int32_t ndims, const int32_t* dims, const int64_t* sp,
                         int32_t numnamedaxis, const int32_t* namedaxisidxs, int64_t numnames,
                         const char* const* names) {
    const int32_t count = task.problem.num_items(item);
    generate_names_of(
        list_of(task, item), [&](model::Arg arg, int32_t i) { model::check_index(item, arg, i, count); }, num, sub,
        sub_arg, fmt, ndims, dims, sp, numnamedaxis, namedaxisidxs, numnames, names);
}

// Cones on variables and semidefinite variables: their name lists, with the
// index checked.
NameList& cone_names(Task& task, model::Arg arg, int32_t k) {
    task.problem.var_cones().check_cone_index(arg, k);
    return task.problem.cone_names();
}
NameList& barvar_names(Task& task, model::Arg arg, int32_t j) {
    task.problem.semidefinite().check_barvar(arg, j);
    return task.problem.semidefinite().names();
}

}  // namespace

void impl::putconname(Task& task, int32_t i, const char* name) { put_item_name(task, Item::Con, i, name); }
void impl::putvarname(Task& task, int32_t j, const char* name) { put_item_name(task, Item::Var, j, name); }
void impl::putobjname(Task& task, const char* objname) {
    task.problem.names().objective = model::checked_name(objname, "objname");
}
void impl::puttaskname(Task& task, const char* taskname) {
    task.problem.names().task = model::checked_name(taskname, "taskname");
}

void impl::getconnamelen(Task& task, int32_t i, int32_t* len) {
    put_out(len, checked_length(item_name(task, Item::Con, i)));
}
void impl::getvarnamelen(Task& task, int32_t j, int32_t* len) {
    put_out(len, checked_length(item_name(task, Item::Var, j)));
}
void impl::getobjnamelen(Task& task, int32_t* len) { put_out(len, checked_length(task.problem.names().objective)); }
void impl::gettasknamelen(Task& task, int32_t* len) { put_out(len, checked_length(task.problem.names().task)); }

void impl::getconname(Task& task, int32_t i, int32_t sizename, char* name) {
    copy_name(item_name(task, Item::Con, i), sizename, name, "sizename", "name",
              "the name of constraint " + std::to_string(i));
}
void impl::getvarname(Task& task, int32_t j, int32_t sizename, char* name) {
    copy_name(item_name(task, Item::Var, j), sizename, name, "sizename", "name",
              "the name of variable " + std::to_string(j));
}
void impl::getobjname(Task& task, int32_t sizeobjname, char* objname) {
    copy_name(task.problem.names().objective, sizeobjname, objname, "sizeobjname", "objname", "the objective name");
}
void impl::gettaskname(Task& task, int32_t sizetaskname, char* taskname) {
    copy_name(task.problem.names().task, sizetaskname, taskname, "sizetaskname", "taskname", "the task name");
}

void impl::putdomainname(Task& task, int64_t domidx, const char* name) {
    task.problem.conic().put_domain_name(domidx, model::checked_name(name, "name"));
}
void impl::getdomainnamelen(Task& task, int64_t domidx, int32_t* len) {
    put_out(len, checked_length(task.problem.conic().get_domain_name(domidx)));
}
void impl::getdomainname(Task& task, int64_t domidx, int32_t sizename, char* name) {
    copy_name(task.problem.conic().get_domain_name(domidx), sizename, name, "sizename", "name",
              "the name of domain " + std::to_string(domidx));
}

void impl::putaccname(Task& task, int64_t accidx, const char* name) {
    task.problem.conic().put_acc_name(accidx, model::checked_name(name, "name"));
}
void impl::getaccnamelen(Task& task, int64_t accidx, int32_t* len) {
    put_out(len, checked_length(task.problem.conic().get_acc_name(accidx)));
}
void impl::getaccname(Task& task, int64_t accidx, int32_t sizename, char* name) {
    copy_name(task.problem.conic().get_acc_name(accidx), sizename, name, "sizename", "name",
              "the name of affine conic constraint " + std::to_string(accidx));
}

void impl::putdjcname(Task& task, int64_t djcidx, const char* name) {
    task.problem.disjunctive().put_name(djcidx, model::checked_name(name, "name"));
}
void impl::getdjcnamelen(Task& task, int64_t djcidx, int32_t* len) {
    put_out(len, checked_length(task.problem.disjunctive().get_name(djcidx)));
}
void impl::getdjcname(Task& task, int64_t djcidx, int32_t sizename, char* name) {
    copy_name(task.problem.disjunctive().get_name(djcidx), sizename, name, "sizename", "name",
              "the name of disjunctive constraint " + std::to_string(djcidx));
}

void impl::getconnameindex(Task& task, const char* somename, int32_t* asgn, int32_t* index) {
    find_name(list_of(task, Item::Con), somename, asgn, index);
}
void impl::getvarnameindex(Task& task, const char* somename, int32_t* asgn, int32_t* index) {
    find_name(list_of(task, Item::Var), somename, asgn, index);
}

void impl::putconename(Task& task, int32_t k, const char* name) {
    cone_names(task, {"k"}, k).put(k, model::checked_name(name, "name"));
}
void impl::getconenamelen(Task& task, int32_t k, int32_t* len) {
    put_out(len, checked_length(cone_names(task, {"k"}, k).get(k)));
}
void impl::getconename(Task& task, int32_t k, int32_t sizename, char* name) {
    copy_name(cone_names(task, {"k"}, k).get(k), sizename, name, "sizename", "name",
              "the name of cone " + std::to_string(k));
}
void impl::getconenameindex(Task& task, const char* somename, int32_t* asgn, int32_t* index) {
    find_name(task.problem.cone_names(), somename, asgn, index);
}
void impl::generateconenames(Task& task, int32_t num, const int32_t* subk, const char* fmt, int32_t ndims,
                             const int32_t* dims, const int64_t* sp, int32_t numnamedaxis,
                             const int32_t* namedaxisidxs, int64_t numnames, const char* const* names) {
    generate_names_of(
        task.problem.cone_names(), [&](model::Arg arg, int32_t k) { cone_names(task, arg, k); }, num, subk, "subk",
        fmt, ndims, dims, sp, numnamedaxis, namedaxisidxs, numnames, names);
}

void impl::putbarvarname(Task& task, int32_t j, const char* name) {
    barvar_names(task, {"j"}, j).put(j, model::checked_name(name, "name"));
}
void impl::getbarvarnamelen(Task& task, int32_t j, int32_t* len) {
    put_out(len, checked_length(barvar_names(task, {"j"}, j).get(j)));
}
void impl::getbarvarname(Task& task, int32_t j, int32_t sizename, char* name) {
    copy_name(barvar_names(task, {"j"}, j).get(j), sizename, name, "sizename", "name",
              "the name of semidefinite variable " + std::to_string(j));
}
void impl::getbarvarnameindex(Task& task, const char* somename, int32_t* asgn, int32_t* index) {
    find_name(task.problem.semidefinite().names(), somename, asgn, index);
}
void impl::generatebarvarnames(Task& task, int32_t num, const int32_t* subj, const char* fmt, int32_t ndims,
                               const int32_t* dims, const int64_t* sp, int32_t numnamedaxis,
                               const int32_t* namedaxisidxs, int64_t numnames, const char* const* names) {
    generate_names_of(
        task.problem.semidefinite().names(), [&](model::Arg arg, int32_t j) { barvar_names(task, arg, j); }, num,
        subj, "subj", fmt, ndims, dims, sp, numnamedaxis, namedaxisidxs, numnames, names);
}

void impl::generateconnames(Task& task, int32_t num, const int32_t* subi, const char* fmt, int32_t ndims,
                            const int32_t* dims, const int64_t* sp, int32_t numnamedaxis,
                            const int32_t* namedaxisidxs, int64_t numnames, const char* const* names) {
    generate_item_names(task, Item::Con, num, subi, "subi", fmt, ndims, dims, sp, numnamedaxis, namedaxisidxs,
                        numnames, names);
}
void impl::generatevarnames(Task& task, int32_t num, const int32_t* subj, const char* fmt, int32_t ndims,
                            const int32_t* dims, const int64_t* sp, int32_t numnamedaxis,
                            const int32_t* namedaxisidxs, int64_t numnames, const char* const* names) {
    generate_item_names(task, Item::Var, num, subj, "subj", fmt, ndims, dims, sp, numnamedaxis, namedaxisidxs,
                        numnames, names);
}

void impl::generateaccnames(Task& task, int64_t num, const int64_t* sub, const char* fmt, int32_t ndims,
                            const int32_t* dims, const int64_t* sp, int32_t numnamedaxis,
                            const int32_t* namedaxisidxs, int64_t numnames, const char* const* names) {
    model::ConicStore& cones = task.problem.conic();
    cones.check_acc_list("sub", num, sub);
    const std::vector<std::string> made =
        model::generate_names(num, fmt, ndims, dims, sp, numnamedaxis, namedaxisidxs, numnames, names);
    cones.put_acc_names(num, sub, made);
}

void impl::generatedjcnames(Task& task, int64_t num, const int64_t* sub, const char* fmt, int32_t ndims,
                            const int32_t* dims, const int64_t* sp, int32_t numnamedaxis,
                            const int32_t* namedaxisidxs, int64_t numnames, const char* const* names) {
    model::DisjunctiveStore& djcs = task.problem.disjunctive();
    djcs.check_list("sub", num, sub);
    const std::vector<std::string> made =
        model::generate_names(num, fmt, ndims, dims, sp, numnamedaxis, namedaxisidxs, numnames, names);
    djcs.put_names(num, sub, made);
}

// ------------------------------------------------------------ the report

namespace {

constexpr size_t kExamples = 5;    // listed per finding
constexpr size_t kQuoteBytes = 40;  // longer names are shortened in the report

// A name as the report shows it: quoted, control characters escaped, long
// names cut at a character boundary.
std::string quoted(std::string_view name) {
    std::string out = "'";
    size_t end = name.size();
    if (end > kQuoteBytes) {
        end = kQuoteBytes;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    }
    for (size_t k = 0; k < end; ++k) {
        const unsigned char c = static_cast<unsigned char>(name[k]);
        if (c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    out += "'";
    if (end < name.size()) out += "... (" + std::to_string(name.size()) + " bytes)";
    return out;
}

const char* type_text(int32_t nametype) {
    switch (nametype) {
        case VLT_NAME_TYPE_MPS: return "MPS files";
        case VLT_NAME_TYPE_LP: return "LP files";
        default: return "general use";
    }
}

std::string plural(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Findings of one list of items; examples are already formatted lines.
struct Findings {
    int64_t problems = 0, notes = 0;
    std::string text;
};

void add_finding(Findings& f, const std::string& head, const std::vector<std::string>& examples, int64_t total) {
    f.text += "    " + head + "\n";
    for (const std::string& e : examples) f.text += "      " + e + "\n";
    if (total > int64_t(examples.size()))
        f.text += "      ... and " + std::to_string(total - int64_t(examples.size())) + " more\n";
}

// One list of items in the report: its heading, the words for one and many
// of its items, and whether the file type needs every item named.
struct ListKind {
    const char* heading;
    const char* one;
    const char* many;
    bool name_required;
};

ListKind kind_of(Item item, int32_t nametype) {
    // MPS identifies every row and column by name; an LP file needs names
    // for variables only.
    const bool required = nametype == VLT_NAME_TYPE_MPS || (nametype == VLT_NAME_TYPE_LP && item == Item::Var);
    return item == Item::Con ? ListKind{"Constraints    ", "constraint", "constraints", required}
                             : ListKind{"Variables      ", "variable", "variables", required};
}

Findings analyze_list(const NameList& list, const ListKind& kind, int32_t nametype) {
    const char* one = kind.one;
    const char* many = kind.many;
    Findings f;
    const int64_t n = list.size();
    const int64_t named = list.num_named();
    f.text = std::string("  ") + kind.heading + ": " + std::to_string(named) + " named, " +
             std::to_string(n - named) + " unnamed\n";

    const bool name_required = kind.name_required;
    if (name_required && named < n) {
        std::vector<std::string> examples;
        for (int64_t i = 0; i < n && examples.size() < kExamples; ++i)
            if (list.get(i).empty()) examples.push_back(std::string(one) + " " + std::to_string(i));
        add_finding(f, plural(n - named, one, many) + " without a name, not valid in " + type_text(nametype) + ":",
                    examples, n - named);
        f.problems += n - named;
    }
    if (named == 0) return f;

    // Duplicates: names carried by more than one item, in the order of
    // their first item.
    std::unordered_map<std::string_view, int64_t> count;
    count.reserve(size_t(named));
    for (int64_t i = 0; i < n; ++i)
        if (!list.get(i).empty()) ++count[list.get(i)];
    int64_t shared_names = 0, sharing_items = 0;
    for (const auto& [name, c] : count)
        if (c > 1) {
            ++shared_names;
            sharing_items += c;
        }
    if (shared_names > 0) {
        std::vector<std::string> examples;
        std::unordered_map<std::string_view, size_t> listed;  // name -> line in examples
        for (int64_t i = 0; i < n; ++i) {
            const std::string& name = list.get(i);
            if (name.empty() || count[name] < 2) continue;
            auto it = listed.find(name);
            if (it == listed.end()) {
                if (examples.size() == kExamples) continue;
                it = listed.emplace(name, examples.size()).first;
                examples.push_back(quoted(name) + ": " + many + " " + std::to_string(i));
            } else {
                examples[it->second] += ", " + std::to_string(i);
            }
        }
        add_finding(f, plural(shared_names, "name is", "names are") + " shared by " + std::to_string(sharing_items) +
                           " " + many + ":",
                    examples, shared_names);
        f.problems += shared_names;
    }

    auto example = [&](int64_t i, const std::string& name, const char* why) {
        return std::string(one) + " " + std::to_string(i) + " " + quoted(name) + ": " + why;
    };
    std::vector<std::string> invalid, noted;
    int64_t num_invalid = 0, num_noted = 0;
    for (int64_t i = 0; i < n; ++i) {
        const std::string& name = list.get(i);
        if (name.empty()) continue;
        if (const char* why = model::item_name_violation(name, nametype)) {
            if (invalid.size() < kExamples) invalid.push_back(example(i, name, why));
            ++num_invalid;
        } else if (const char* why = model::item_name_note(name, nametype)) {
            if (noted.size() < kExamples) noted.push_back(example(i, name, why));
            ++num_noted;
        }
    }
    if (num_invalid > 0) {
        add_finding(f, plural(num_invalid, "name is", "names are") + " not valid in " + type_text(nametype) + ":",
                    invalid, num_invalid);
        f.problems += num_invalid;
    }
    if (num_noted > 0) {
        add_finding(f, "Note: " + plural(num_noted, "name", "names") + " valid with limits:", noted, num_noted);
        f.notes += num_noted;
    }
    return f;
}

}  // namespace

// The report lists, for the task name, the objective name, the constraints,
// the variables and (when there are any) the domains, affine conic
// constraints, disjunctive constraints, cones and semidefinite variables: what
// is named, which names several items share, and
// which names break the rules of the chosen file type (see the rules in
// model/names.cpp).  The last line counts the problems and notes.
void impl::analyzenames(Task& task, int32_t whichstream, int32_t nametype) {
    if (!MessageStreams::valid(whichstream))
        fail(VLT_RES_ERR_INVALID_STREAM, "Argument whichstream = " + std::to_string(whichstream) + " is not 0 to 3");
    if (nametype != VLT_NAME_TYPE_GEN && nametype != VLT_NAME_TYPE_MPS && nametype != VLT_NAME_TYPE_LP)
        fail(VLT_RES_ERR_INVALID_ENUM, "Argument nametype = " + std::to_string(nametype) +
                                           " is not a name type (0 general, 1 MPS, 2 LP)");
    const model::ProblemNames& names = task.problem.names();
    int64_t problems = 0, notes = 0;
    std::string r = std::string("Analyzing names for ") + type_text(nametype) + "\n";

    r += "  Task name      : " + (names.task.empty() ? std::string("none") : quoted(names.task)) + "\n";
    if (const char* why = model::task_name_violation(names.task, nametype)) {
        r += std::string("    the task name ") + why + ", not valid in " + type_text(nametype) + "\n";
        ++problems;
    }

    r += "  Objective name : " + (names.objective.empty() ? std::string("none") : quoted(names.objective)) + "\n";
    if (names.objective.empty()) {
        if (nametype == VLT_NAME_TYPE_MPS) {
            r += "    an unnamed objective is not valid in MPS files (its row needs a name)\n";
            ++problems;
        }
    } else if (const char* why = model::item_name_violation(names.objective, nametype)) {
        r += std::string("    the objective name ") + why + ", not valid in " + type_text(nametype) + "\n";
        ++problems;
    } else if (const char* note = model::item_name_note(names.objective, nametype)) {
        r += std::string("    Note: the objective name ") + note + "\n";
        ++notes;
    }
    // In both file formats the objective is a row like the constraints, so
    // it must not share a name with one of them.
    if (nametype != VLT_NAME_TYPE_GEN && !names.objective.empty()) {
        const int64_t clash = names.con.find(names.objective);
        if (clash >= 0) {
            r += "    the objective name is also the name of constraint " + std::to_string(clash) + "\n";
            ++problems;
        }
    }

    auto add = [&](const NameList& list, const ListKind& kind) {
        Findings f = analyze_list(list, kind, nametype);
        r += f.text;
        problems += f.problems;
        notes += f.notes;
    };
    add(names.con, kind_of(Item::Con, nametype));
    add(names.var, kind_of(Item::Var, nametype));
    // Domains and ACCs are listed when the task has them; no file type needs
    // them named, but the names they have follow the same rules.
    const model::ConicStore& cones = task.problem.conic();
    if (cones.num_domain() > 0) add(cones.domain_names(), {"Domains        ", "domain", "domains", false});
    if (cones.num_acc() > 0)
        add(cones.acc_names(), {"ACCs           ", "affine conic constraint", "affine conic constraints", false});
    if (task.problem.disjunctive().num_djc() > 0)
        add(task.problem.disjunctive().names(),
            {"DJCs           ", "disjunctive constraint", "disjunctive constraints", false});
    if (task.problem.var_cones().num_cone() > 0)
        add(task.problem.var_cones().names(), {"Cones          ", "cone", "cones", false});
    if (task.problem.semidefinite().num_barvar() > 0)
        add(task.problem.semidefinite().names(),
            {"Sdp variables  ", "semidefinite variable", "semidefinite variables", false});
    if (problems == 0 && notes == 0)
        r += std::string("  No problems found: the names are fit for ") + type_text(nametype) + ".\n";
    else
        r += "  Found " + plural(problems, "problem", "problems") + " and " + plural(notes, "note", "notes") + ".\n";
    task.streams.emit(whichstream, r);
}

}  // namespace vlt
