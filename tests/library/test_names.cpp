// Names through the C interface: put/get/length/lookup round trips, buffer
// limits, names following removals, appends and clones, duplicates,
// generated names, name validation, and the names report.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.hpp"
#include "velto.h"

namespace {

std::string report_text;
void VLTAPI collect(void*, const char* text) { report_text += text; }

VLTtask_t new_task(int32_t numcon, int32_t numvar) {
    VLTtask_t task = nullptr;
    CHECK(VLT_makeemptytask(nullptr, &task) == VLT_RES_OK);
    CHECK(VLT_appendcons(task, numcon) == VLT_RES_OK);
    CHECK(VLT_appendvars(task, numvar) == VLT_RES_OK);
    return task;
}

// The name through the length query and the getter, or "<error N>".
std::string var_name(VLTtask_t task, int32_t j) {
    int32_t len = -1;
    if (int32_t r = VLT_getvarnamelen(task, j, &len); r != VLT_RES_OK) return "<error " + std::to_string(r) + ">";
    std::vector<char> buf(size_t(len) + 1, 'Z');
    if (int32_t r = VLT_getvarname(task, j, len + 1, buf.data()); r != VLT_RES_OK)
        return "<error " + std::to_string(r) + ">";
    return std::string(buf.data());
}

std::string con_name(VLTtask_t task, int32_t i) {
    int32_t len = -1;
    if (int32_t r = VLT_getconnamelen(task, i, &len); r != VLT_RES_OK) return "<error " + std::to_string(r) + ">";
    std::vector<char> buf(size_t(len) + 1, 'Z');
    if (int32_t r = VLT_getconname(task, i, len + 1, buf.data()); r != VLT_RES_OK)
        return "<error " + std::to_string(r) + ">";
    return std::string(buf.data());
}

std::vector<std::string> var_names(VLTtask_t task) {
    int32_t n = 0;
    VLT_getnumvar(task, &n);
    std::vector<std::string> out;
    for (int32_t j = 0; j < n; ++j) out.push_back(var_name(task, j));
    return out;
}

// (asgn, index) of a variable lookup.
std::pair<int32_t, int32_t> find_var(VLTtask_t task, const char* name) {
    int32_t asgn = -7, index = -7;
    CHECK(VLT_getvarnameindex(task, name, &asgn, &index) == VLT_RES_OK);
    return {asgn, index};
}

void round_trips() {
    VLTtask_t task = new_task(2, 3);
    CHECK(var_name(task, 1).empty(), "an unnamed item reads as the empty name");
    CHECK(VLT_putvarname(task, 1, "flow_é→2") == VLT_RES_OK);
    CHECK(VLT_putconname(task, 0, "balance") == VLT_RES_OK);
    CHECK(VLT_putobjname(task, "cost") == VLT_RES_OK);
    CHECK(VLT_puttaskname(task, "plan") == VLT_RES_OK);
    CHECK(var_name(task, 1) == "flow_é→2", "got %s", var_name(task, 1).c_str());
    CHECK(con_name(task, 0) == "balance" && con_name(task, 1).empty());
    int32_t len = 0;
    CHECK(VLT_getobjnamelen(task, &len) == VLT_RES_OK && len == 4);
    CHECK(VLT_gettasknamelen(task, &len) == VLT_RES_OK && len == 4);
    char buf[16];
    CHECK(VLT_getobjname(task, sizeof buf, buf) == VLT_RES_OK && std::string(buf) == "cost");
    CHECK(VLT_gettaskname(task, sizeof buf, buf) == VLT_RES_OK && std::string(buf) == "plan");
    CHECK(find_var(task, "flow_é→2") == std::make_pair(1, 1));
    int32_t asgn = -1, index = -1;
    CHECK(VLT_getconnameindex(task, "balance", &asgn, &index) == VLT_RES_OK && asgn == 1 && index == 0);
    CHECK(VLT_getconnameindex(task, "nothing", &asgn, &index) == VLT_RES_OK && asgn == 0 && index == -1);
    CHECK(find_var(task, "") == std::make_pair(0, -1), "unnamed items are not found by the empty name");
    // The empty name unnames an item.
    CHECK(VLT_putvarname(task, 1, "") == VLT_RES_OK && var_name(task, 1).empty());
    CHECK(find_var(task, "flow_é→2").first == 0);
    // A clone has the same names; changing it leaves the original alone.
    VLTtask_t clone = nullptr;
    CHECK(VLT_clonetask(task, &clone) == VLT_RES_OK);
    CHECK(con_name(clone, 0) == "balance");
    CHECK(VLT_putconname(clone, 0, "other") == VLT_RES_OK && con_name(task, 0) == "balance");
    int32_t cidx = -1;
    CHECK(VLT_getconnameindex(clone, "other", &asgn, &cidx) == VLT_RES_OK && asgn == 1 && cidx == 0);
    VLT_deletetask(&clone);
    VLT_deletetask(&task);
}

void buffers() {
    VLTtask_t task = new_task(1, 1);
    CHECK(VLT_putvarname(task, 0, "abcdef") == VLT_RES_OK);
    char buf[10];
    std::memset(buf, 'Z', sizeof buf);
    CHECK(VLT_getvarname(task, 0, 6, buf) == VLT_RES_ERR_BUFFER_TOO_SMALL, "no room for the NUL");
    CHECK(std::string(buf, sizeof buf) == std::string(10, 'Z'), "a refused call writes nothing");
    CHECK(VLT_getvarname(task, 0, -1, buf) == VLT_RES_ERR_BUFFER_TOO_SMALL);
    CHECK(VLT_getvarname(task, 0, 7, buf) == VLT_RES_OK);
    CHECK(std::memcmp(buf, "abcdef\0ZZZ", 10) == 0, "exactly len + 1 bytes are written");
    CHECK(VLT_getvarname(task, 0, 7, nullptr) == VLT_RES_ERR_NULL_POINTER);
    CHECK(VLT_getobjname(task, 0, buf) == VLT_RES_ERR_BUFFER_TOO_SMALL, "even the empty name needs its NUL");
    CHECK(VLT_getobjname(task, 1, buf) == VLT_RES_OK && buf[0] == '\0');
    CHECK(VLT_getvarname(task, 1, 10, buf) == VLT_RES_ERR_INDEX_VAR);
    CHECK(VLT_getconnamelen(task, -1, nullptr) == VLT_RES_ERR_INDEX_CON);
    VLT_deletetask(&task);
}

void invalid_names() {
    VLTtask_t task = new_task(1, 1);
    CHECK(VLT_putvarname(task, 0, "keep") == VLT_RES_OK);
    const std::string longest(size_t(1) << 20, 'n');
    const std::string too_long = longest + "n";
    struct Case {
        const char* what;
        const char* name;
        int32_t code;
    } cases[] = {
        {"null", nullptr, VLT_RES_ERR_NULL_POINTER},
        {"stray continuation byte", "a\x80", VLT_RES_ERR_INVALID_NAME},
        {"byte 0xff", "\xff", VLT_RES_ERR_INVALID_NAME},
        {"overlong NUL", "\xc0\x80", VLT_RES_ERR_INVALID_NAME},
        {"overlong 3-byte", "\xe0\x80\xaf", VLT_RES_ERR_INVALID_NAME},
        {"surrogate", "\xed\xa0\x80", VLT_RES_ERR_INVALID_NAME},
        {"above U+10FFFF", "\xf4\x90\x80\x80", VLT_RES_ERR_INVALID_NAME},
        {"cut sequence", "x\xe2\x82", VLT_RES_ERR_INVALID_NAME},
        {"too long", too_long.c_str(), VLT_RES_ERR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        CHECK(VLT_putvarname(task, 0, c.name) == c.code, "%s", c.what);
        CHECK(VLT_putconname(task, 0, c.name) == c.code, "%s", c.what);
        CHECK(VLT_puttaskname(task, c.name) == c.code, "%s", c.what);
        CHECK(var_name(task, 0) == "keep", "%s: a refused name leaves the old one", c.what);
    }
    CHECK(VLT_putvarname(task, 0, longest.c_str()) == VLT_RES_OK, "exactly 1 MiB is accepted");
    CHECK(var_name(task, 0) == longest);
    CHECK(VLT_putvarname(task, 1, "x") == VLT_RES_ERR_INDEX_VAR);
    CHECK(VLT_getvarnameindex(task, nullptr, nullptr, nullptr) == VLT_RES_ERR_NULL_POINTER);
    VLT_deletetask(&task);
}

void removals_and_duplicates() {
    VLTtask_t task = new_task(3, 5);
    for (int32_t j = 0; j < 5; ++j) VLT_putvarname(task, j, ("v" + std::to_string(j)).c_str());
    CHECK(find_var(task, "v3") == std::make_pair(1, 3), "builds the lookup index");
    const int32_t gone[] = {3, 1, 3};
    CHECK(VLT_removevars(task, 3, gone) == VLT_RES_OK);
    CHECK((var_names(task) == std::vector<std::string>{"v0", "v2", "v4"}));
    CHECK(find_var(task, "v4") == std::make_pair(1, 2), "lookup follows the renumbering");
    CHECK(find_var(task, "v3").first == 0 && find_var(task, "v1").first == 0);
    CHECK(VLT_appendvars(task, 2) == VLT_RES_OK);
    CHECK((var_names(task) == std::vector<std::string>{"v0", "v2", "v4", "", ""}));
    CHECK(find_var(task, "v2") == std::make_pair(1, 1));
    // Duplicates: the lowest index answers, also when a lower item gets the
    // name after the index was built, and after the lowest is renamed.
    CHECK(VLT_putvarname(task, 4, "v2") == VLT_RES_OK);
    CHECK(find_var(task, "v2") == std::make_pair(1, 1));
    CHECK(VLT_putvarname(task, 3, "w") == VLT_RES_OK && VLT_putvarname(task, 1, "u") == VLT_RES_OK);
    CHECK(find_var(task, "v2") == std::make_pair(1, 4));
    CHECK(VLT_putvarname(task, 2, "") == VLT_RES_OK);
    CHECK(find_var(task, "w") == std::make_pair(1, 3));
    CHECK(VLT_putvarname(task, 2, "w") == VLT_RES_OK);
    CHECK(find_var(task, "w") == std::make_pair(1, 2), "a lower item named later answers");
    CHECK(VLT_putvarname(task, 2, "z") == VLT_RES_OK);
    CHECK(find_var(task, "w") == std::make_pair(1, 3), "renaming the lowest uncovers the next");
    // Constraints follow their removals too; a refused removal keeps names.
    VLT_putconname(task, 0, "a");
    VLT_putconname(task, 2, "c");
    const int32_t bad[] = {0, 9};
    CHECK(VLT_removecons(task, 2, bad) == VLT_RES_ERR_INDEX_CON);
    CHECK(con_name(task, 0) == "a" && con_name(task, 2) == "c");
    const int32_t first[] = {0};
    CHECK(VLT_removecons(task, 1, first) == VLT_RES_OK);
    CHECK(con_name(task, 0).empty() && con_name(task, 1) == "c");
    int32_t asgn = 0, index = 0;
    CHECK(VLT_getconnameindex(task, "c", &asgn, &index) == VLT_RES_OK && asgn == 1 && index == 1);
    VLT_deletetask(&task);
}

struct Generated {
    const char* what;
    const char* fmt;
    std::vector<int32_t> dims;
    std::vector<int64_t> sp;
    std::vector<int32_t> named_axes;
    std::vector<const char*> axis_names;
    std::vector<int32_t> sub;
    int32_t code;
    std::vector<std::string> names;  // of the variables after the call
};

void generators() {
    const std::vector<std::string> before{"old0", "old1", "old2", "old3", "old4", "old5"};
    const Generated cases[] = {
        {"2-D row-major", "x[{},{}]", {2, 3}, {}, {}, {}, {0, 1, 2, 3, 4, 5}, VLT_RES_OK,
         {"x[0,0]", "x[0,1]", "x[0,2]", "x[1,0]", "x[1,1]", "x[1,2]"}},
        {"positions from sp", "y{}_{}", {2, 3}, {5, 0}, {}, {}, {3, 1}, VLT_RES_OK,
         {"old0", "y0_0", "old2", "y1_2", "old4", "old5"}},
        {"numbered axes, repeated", "{1}-{0}-{1}", {2, 2}, {}, {}, {}, {0, 1, 2}, VLT_RES_OK,
         {"0-0-0", "1-0-1", "0-1-0", "old3", "old4", "old5"}},
        {"named axis", "flow({},{})", {2, 2}, {}, {1}, {"north", "south"}, {0, 1, 2, 3}, VLT_RES_OK,
         {"flow(0,north)", "flow(0,south)", "flow(1,north)", "flow(1,south)", "old4", "old5"}},
        {"two named axes", "{}{}", {2, 1}, {}, {1, 0}, {"k", "a", "b"}, {4, 5}, VLT_RES_OK,
         {"old0", "old1", "old2", "old3", "ak", "bk"}},
        {"braces", "{{{}}}", {3}, {}, {}, {}, {2}, VLT_RES_OK, {"old0", "old1", "{0}", "old3", "old4", "old5"}},
        {"repeated index: last wins", "r{}", {4}, {}, {}, {}, {1, 1}, VLT_RES_OK,
         {"old0", "r1", "old2", "old3", "old4", "old5"}},
        {"mixed placeholders", "{}{0}", {2}, {}, {}, {}, {0}, VLT_RES_ERR_ARGUMENT, before},
        {"unclosed brace", "x{", {2}, {}, {}, {}, {0}, VLT_RES_ERR_ARGUMENT, before},
        {"lone closing brace", "x}", {2}, {}, {}, {}, {0}, VLT_RES_ERR_ARGUMENT, before},
        {"axis beyond the shape", "{}{}", {2}, {}, {}, {}, {0}, VLT_RES_ERR_ARGUMENT, before},
        {"not an axis number", "{a}", {2}, {}, {}, {}, {0}, VLT_RES_ERR_ARGUMENT, before},
        {"more items than positions", "{}", {2}, {}, {}, {}, {0, 1, 2}, VLT_RES_ERR_DIMENSION, before},
        {"sp outside the shape", "{}", {2}, {0, 2}, {}, {}, {0, 1}, VLT_RES_ERR_DIMENSION, before},
        {"negative dimension", "{}", {-1}, {}, {}, {}, {}, VLT_RES_ERR_DIMENSION, before},
        {"too few axis names", "{}", {3}, {}, {0}, {"a", "b"}, {0}, VLT_RES_ERR_DIMENSION, before},
        {"axis named twice", "{}", {1}, {}, {0, 0}, {"a", "b"}, {0}, VLT_RES_ERR_ARGUMENT, before},
        {"named axis not in the shape", "{}", {1}, {}, {1}, {"a"}, {0}, VLT_RES_ERR_ARGUMENT, before},
        {"invalid axis name", "{}", {1}, {}, {0}, {"\xff"}, {0}, VLT_RES_ERR_INVALID_NAME, before},
        {"null axis name", "{}", {1}, {}, {0}, {nullptr}, {0}, VLT_RES_ERR_NULL_POINTER, before},
        {"index out of range", "{}", {8}, {}, {}, {}, {0, 6}, VLT_RES_ERR_INDEX_VAR, before},
        {"null format", nullptr, {1}, {}, {}, {}, {0}, VLT_RES_ERR_NULL_POINTER, before},
    };
    for (const Generated& c : cases) {
        VLTtask_t task = new_task(0, 6);
        for (int32_t j = 0; j < 6; ++j) VLT_putvarname(task, j, before[size_t(j)].c_str());
        const int32_t res = VLT_generatevarnames(
            task, int32_t(c.sub.size()), c.sub.data(), c.fmt, int32_t(c.dims.size()), c.dims.data(),
            c.sp.empty() ? nullptr : c.sp.data(), int32_t(c.named_axes.size()), c.named_axes.data(),
            int64_t(c.axis_names.size()), c.axis_names.empty() ? nullptr : c.axis_names.data());
        CHECK(res == c.code, "%s: response %d", c.what, res);
        const std::vector<std::string> got = var_names(task);
        std::string joined;
        for (const std::string& s : got) joined += s + " ";
        CHECK(got == c.names, "%s: names %s", c.what, joined.c_str());
        VLT_deletetask(&task);
    }
    // The constraint generator shares the machinery; check it is wired to
    // the constraints.
    VLTtask_t task = new_task(2, 0);
    const int32_t subi[] = {0, 1}, dims[] = {2};
    CHECK(VLT_generateconnames(task, 2, subi, "c{}", 1, dims, nullptr, 0, nullptr, 0, nullptr) == VLT_RES_OK);
    CHECK(con_name(task, 1) == "c1");
    int32_t asgn = 0, index = 0;
    CHECK(VLT_getconnameindex(task, "c1", &asgn, &index) == VLT_RES_OK && asgn == 1 && index == 1);
    VLT_deletetask(&task);
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string analyze(VLTtask_t task, int32_t nametype) {
    report_text.clear();
    CHECK(VLT_analyzenames(task, VLT_STREAM_MSG, nametype) == VLT_RES_OK);
    return report_text;
}

void report() {
    VLTtask_t task = new_task(3, 4);
    CHECK(VLT_linkfunctotaskstream(task, VLT_STREAM_MSG, nullptr, collect) == VLT_RES_OK);
    // No names at all: fine for general use, not for MPS (rows, columns and
    // the objective need names), LP needs variable names only.
    std::string r = analyze(task, VLT_NAME_TYPE_GEN);
    CHECK(has(r, "0 named, 3 unnamed") && has(r, "No problems found"), "%s", r.c_str());
    r = analyze(task, VLT_NAME_TYPE_MPS);
    CHECK(has(r, "3 constraints without a name") && has(r, "4 variables without a name"), "%s", r.c_str());
    CHECK(has(r, "unnamed objective") && has(r, "Found 8 problems and 0 notes"), "%s", r.c_str());
    r = analyze(task, VLT_NAME_TYPE_LP);
    CHECK(!has(r, "constraints without") && has(r, "Found 4 problems"), "%s", r.c_str());

    VLT_puttaskname(task, "demo");
    VLT_putobjname(task, "c0");
    const char* cons[] = {"c0", "bad name", "LONGROW123"};
    const char* vars[] = {"x", "2y", "e12", "x"};
    for (int32_t i = 0; i < 3; ++i) VLT_putconname(task, i, cons[i]);
    for (int32_t j = 0; j < 4; ++j) VLT_putvarname(task, j, vars[j]);

    r = analyze(task, VLT_NAME_TYPE_GEN);
    CHECK(has(r, "Task name      : 'demo'") && has(r, "3 named, 0 unnamed"), "%s", r.c_str());
    CHECK(has(r, "1 name is shared by 2 variables:") && has(r, "'x': variables 0, 3"), "%s", r.c_str());
    CHECK(!has(r, "not valid") && has(r, "Found 1 problem and 0 notes"), "%s", r.c_str());

    r = analyze(task, VLT_NAME_TYPE_MPS);
    CHECK(has(r, "constraint 1 'bad name': contains a blank"), "%s", r.c_str());
    CHECK(has(r, "constraint 2 'LONGROW123': is longer than 8 bytes"), "%s", r.c_str());
    CHECK(has(r, "the objective name is also the name of constraint 0"), "%s", r.c_str());
    CHECK(has(r, "Found 3 problems and 1 note"), "%s", r.c_str());

    r = analyze(task, VLT_NAME_TYPE_LP);
    CHECK(has(r, "variable 1 '2y': starts with a digit"), "%s", r.c_str());
    CHECK(has(r, "variable 2 'e12': starts like an exponent"), "%s", r.c_str());
    CHECK(has(r, "constraint 1 'bad name': contains a blank"), "%s", r.c_str());
    CHECK(!has(r, "LONGROW123"), "no width limit in LP files: %s", r.c_str());

    // A few LP rules one by one.
    struct LpCase {
        const char* name;
        const char* why;  // nullptr: valid
    } lp[] = {{"ok_name.1", nullptr}, {"a+b", "outside the LP name alphabet"}, {"Subject", "word of the LP format"},
              {".x", "starts with a digit or '.'"}, {"x\xc3\xa9", "outside the LP name alphabet"},
              {"e", nullptr}, {"Ex", nullptr}};
    for (const LpCase& c : lp) {
        VLTtask_t t = new_task(0, 1);
        VLT_linkfunctotaskstream(t, VLT_STREAM_MSG, nullptr, collect);
        VLT_putvarname(t, 0, c.name);
        r = analyze(t, VLT_NAME_TYPE_LP);
        if (c.why)
            CHECK(has(r, c.why), "%s: %s", c.name, r.c_str());
        else
            CHECK(has(r, "No problems found"), "%s: %s", c.name, r.c_str());
        VLT_deletetask(&t);
    }

    // Long lists are cut after five examples.
    VLTtask_t many = new_task(0, 12);
    VLT_linkfunctotaskstream(many, VLT_STREAM_MSG, nullptr, collect);
    for (int32_t j = 0; j < 12; ++j) VLT_putvarname(many, j, ("9v" + std::to_string(j)).c_str());
    r = analyze(many, VLT_NAME_TYPE_LP);
    CHECK(has(r, "12 names are not valid") && has(r, "... and 7 more") && !has(r, "'9v5'"), "%s", r.c_str());
    VLT_deletetask(&many);

    report_text.clear();
    CHECK(VLT_analyzenames(task, VLT_STREAM_MSG, 3) == VLT_RES_ERR_INVALID_ENUM);
    CHECK(VLT_analyzenames(task, 4, VLT_NAME_TYPE_GEN) == VLT_RES_ERR_INVALID_STREAM);
    CHECK(report_text.empty(), "a refused call reports nothing");
    VLT_deletetask(&task);
}

void files_and_whole_problems() {
    const std::string path = "/tmp/vlt_test_names_" + std::to_string(::getpid()) + ".mps";
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(
        "NAME          TINY\n"
        "ROWS\n"
        " N  COST\n"
        " L  LIM1\n"
        " G  LIM2\n"
        "COLUMNS\n"
        "    XONE      COST         1.0   LIM1         1.0\n"
        "    YTWO      COST         2.0   LIM2         1.0\n"
        "    Z\xe9RO      COST         1.0\n"
        "RHS\n"
        "    RHS       LIM1         4.0   LIM2         1.0\n"
        "ENDATA\n",
        f);
    std::fclose(f);
    VLTtask_t task = new_task(0, 0);
    CHECK(VLT_readdataautoformat(task, path.c_str()) == VLT_RES_OK);
    std::remove(path.c_str());
    char buf[16];
    CHECK(VLT_gettaskname(task, sizeof buf, buf) == VLT_RES_OK && std::string(buf) == "TINY");
    CHECK(VLT_getobjname(task, sizeof buf, buf) == VLT_RES_OK && std::string(buf) == "COST");
    CHECK(con_name(task, 0) == "LIM1" && con_name(task, 1) == "LIM2");
    CHECK(find_var(task, "YTWO") == std::make_pair(1, 1));
    // A name in another encoding than UTF-8 loads and comes back byte for byte.
    CHECK(var_name(task, 2) == "Z\xe9RO");

    // A whole-problem input keeps the names of the items that stay.
    const double c[] = {1.0};
    CHECK(VLT_inputdata64(task, 0, 0, 1, 1, c, 0.0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr) == VLT_RES_OK);
    CHECK(con_name(task, 0) == "LIM1" && var_name(task, 0) == "XONE");
    CHECK(find_var(task, "YTWO").first == 0);
    CHECK(VLT_appendvars(task, 1) == VLT_RES_OK && var_name(task, 1).empty(), "a new item is unnamed");
    VLT_deletetask(&task);
}

std::string acc_name(VLTtask_t task, int64_t a) {
    int32_t len = -1;
    if (int32_t r = VLT_getaccnamelen(task, a, &len); r != VLT_RES_OK) return "<error " + std::to_string(r) + ">";
    std::vector<char> buf(size_t(len) + 1, 'Z');
    if (int32_t r = VLT_getaccname(task, a, len + 1, buf.data()); r != VLT_RES_OK)
        return "<error " + std::to_string(r) + ">";
    return std::string(buf.data());
}

std::string domain_name(VLTtask_t task, int64_t d) {
    int32_t len = -1;
    if (int32_t r = VLT_getdomainnamelen(task, d, &len); r != VLT_RES_OK) return "<error " + std::to_string(r) + ">";
    std::vector<char> buf(size_t(len) + 1, 'Z');
    if (int32_t r = VLT_getdomainname(task, d, len + 1, buf.data()); r != VLT_RES_OK)
        return "<error " + std::to_string(r) + ">";
    return std::string(buf.data());
}

// Names of domains and ACCs follow appends (one at a time and in lists),
// clones and the ACC that toconic adds, and the stores stay consistent.
void conic_names() {
    VLTtask_t task = new_task(0, 2);
    int64_t dom = -1;
    CHECK(VLT_appendafes(task, 4) == VLT_RES_OK);
    CHECK(VLT_appendrplusdomain(task, 2, &dom) == VLT_RES_OK && dom == 0);
    CHECK(VLT_putdomainname(task, 0, "pair") == VLT_RES_OK);
    CHECK(VLT_putdomainname(task, 1, "none") == VLT_RES_ERR_INDEX_DOMAIN);
    CHECK(VLT_appendaccseq(task, 0, 2, 0, nullptr) == VLT_RES_OK);
    CHECK(VLT_putaccname(task, 0, "first") == VLT_RES_OK);
    CHECK(VLT_putaccname(task, -1, "bad") == VLT_RES_ERR_INDEX_ACC);
    const int64_t doms[] = {0, 0};
    CHECK(VLT_appendaccsseq(task, 2, doms, 4, 0, nullptr) == VLT_RES_OK);
    CHECK(VLT_appendrplusdomain(task, 1, &dom) == VLT_RES_OK && dom == 1);
    CHECK(acc_name(task, 0) == "first" && acc_name(task, 1).empty() && acc_name(task, 2).empty());
    CHECK(acc_name(task, 3) == "<error 1207>");
    CHECK(domain_name(task, 0) == "pair" && domain_name(task, 1).empty());

    char small[5];
    CHECK(VLT_getaccname(task, 0, sizeof small, small) == VLT_RES_ERR_BUFFER_TOO_SMALL, "5 bytes for \"first\"");
    CHECK(VLT_putaccname(task, 1, "bad\xff") == VLT_RES_ERR_INVALID_NAME);

    // A repeated index: the last name wins; a bad index changes nothing.
    const int64_t sub[] = {2, 1, 2};
    const int32_t dims[] = {3};
    CHECK(VLT_generateaccnames(task, 3, sub, "c{}", 1, dims, nullptr, 0, nullptr, 0, nullptr) == VLT_RES_OK);
    CHECK(acc_name(task, 1) == "c1" && acc_name(task, 2) == "c2");
    const int64_t bad_sub[] = {0, 3};
    CHECK(VLT_generateaccnames(task, 2, bad_sub, "d{}", 1, dims, nullptr, 0, nullptr, 0, nullptr) ==
          VLT_RES_ERR_INDEX_ACC);
    CHECK(acc_name(task, 0) == "first");

    VLTtask_t copy = nullptr;
    CHECK(VLT_clonetask(task, &copy) == VLT_RES_OK);
    CHECK(VLT_putaccname(task, 0, "changed") == VLT_RES_OK);
    CHECK(acc_name(copy, 0) == "first" && domain_name(copy, 0) == "pair");
    VLT_deletetask(&copy);

    // toconic adds a domain and an ACC for the quadratic objective: unnamed.
    CHECK(VLT_putqobjij(task, 0, 0, 1.0) == VLT_RES_OK);
    CHECK(VLT_toconic(task) == VLT_RES_OK);
    int64_t numacc = 0, numdomain = 0;
    VLT_getnumacc(task, &numacc);
    VLT_getnumdomain(task, &numdomain);
    CHECK(numacc > 3 && numdomain > 2);
    CHECK(acc_name(task, numacc - 1).empty() && domain_name(task, numdomain - 1).empty());
    CHECK(acc_name(task, 0) == "changed");
    CHECK(VLT_checkmemtask(task, __FILE__, __LINE__) == VLT_RES_OK);
    VLT_deletetask(&task);
}

}  // namespace

int main() {
    round_trips();
    buffers();
    invalid_names();
    removals_and_duplicates();
    generators();
    report();
    files_and_whole_problems();
    conic_names();
    return vlt_test::report();
}
