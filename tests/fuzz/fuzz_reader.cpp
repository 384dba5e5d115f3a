// A libFuzzer target for one reader (VLT_FUZZ_FORMAT picks it): the input
// is read into a task that already holds data.  A read either fails with a
// vlt::Error and leaves the task exactly as it was, or succeeds with a
// consistent task that, written in the same format and read again, gives
// the same task again.  Anything else (a crash, a sanitizer report, another
// exception, a changed task after a failure) is a finding.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "core/env.hpp"
#include "core/task.hpp"
#include "io/formats.hpp"
#include "io/solution_files.hpp"
#include "io/task_files.hpp"
#include "params/param_file.hpp"

namespace {

vlt::Env& environment() {
    static vlt::Env* env = new vlt::Env(false);
    return *env;
}

// A small task with some of every kind of data, so that a failed read has
// something to leave alone.
void fill(vlt::Task& t) {
    auto& p = t.problem;
    p.append_cons(2);
    p.append_vars(3);
    const int32_t rows[] = {0, 1, 1}, cols[] = {0, 1, 2};
    const double vals[] = {1.0, -2.0, 0.5};
    p.put_aij_list(3, rows, cols, vals);
    p.put_bound(vlt::model::Item::Var, 0, VLT_BK_RA, -1.0, 2.0);
    p.put_cj(1, 3.0);
    p.names().var.put(0, "x");
}

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

void read(vlt::Task& t, std::string_view bytes) {
#if defined(VLT_FUZZ_SOLUTION)
    const std::array<vlt::model::Solution, vlt::model::kNumSolutions> sols =
        vlt::io::read_solutions_text(bytes, "fuzz", vlt::model::solution_sizes(t.problem));
    (void)sols;
#elif defined(VLT_FUZZ_PARAMETERS)
    vlt::params::read_params(bytes, t.params, "fuzz");
#else
    vlt::io::read_data_text(t, bytes, VLT_FUZZ_FORMAT);
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    vlt::Task task(environment());
    fill(task);
    const std::string before = vlt::io::task_to_bytes(task);
    try {
        read(task, bytes);
    } catch (const vlt::Error&) {
        if (vlt::io::task_to_bytes(task) != before) finding("a failed read changed the task");
        return 0;
    } catch (const std::bad_alloc&) {
        return 0;  // a genuinely huge input
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        finding("an exception other than vlt::Error");
    } catch (...) {
        finding("an exception other than vlt::Error");
    }
    if (!task.problem.consistency_error().empty()) finding(task.problem.consistency_error().c_str());
#if !defined(VLT_FUZZ_SOLUTION) && !defined(VLT_FUZZ_PARAMETERS)
    // What was read is written and read again: the same task comes back
    // (text formats at full precision).
    task.params.set_int(VLT_IPAR_WRITE_PRECISION, 17);
    task.params.set_int(VLT_IPAR_WRITE_IGNORE_INCOMPATIBLE_ITEMS, VLT_ONOFF_ON);
    std::string text;
    try {
        vlt::io::StringSink out(text);
        vlt::io::write_data(task, out, VLT_FUZZ_FORMAT, VLT_COMPRESS_NONE);
    } catch (const vlt::Error& e) {
        // Names or data the format cannot hold are refused by the writer.
        if (e.code() != VLT_RES_ERR_INVALID_NAME && e.code() != VLT_RES_ERR_WRITE_UNSUPPORTED) finding(e.what());
        return 0;
    }
    vlt::Task again(environment());
    again.params = task.params;
    try {
        vlt::io::read_data_text(again, text, VLT_FUZZ_FORMAT);
    } catch (const vlt::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        finding("a file the library wrote does not read back");
    }
#endif
    return 0;
}
