// The binary task format in memory (what remote optimization sends): a
// task comes back from its bytes unchanged, and every shortened or damaged
// copy is refused without touching the task it was read into.
#include <string>

#include "check.hpp"
#include "core/env.hpp"
#include "core/task.hpp"
#include "io/task_binary.hpp"
#include "io/task_files.hpp"

namespace {

void fill(vlt::Task& t) {
    auto& p = t.problem;
    p.append_cons(2);
    p.append_vars(3);
    const int32_t rows[] = {0, 1}, cols[] = {0, 2};
    const double vals[] = {1.5, -2.0};
    p.put_aij_list(2, rows, cols, vals);
    p.put_bound(vlt::model::Item::Var, 1, VLT_BK_RA, -1.0, 3.0);
    p.put_cj(2, 0.1);
    const int32_t qi[] = {2}, qj[] = {1};
    const double qv[] = {4.0};
    p.put_qobj(1, qi, qj, qv);
    p.names().var.put(1, "y");
    t.params.set_int(VLT_IPAR_LOG, 7);
}

bool same(const vlt::Task& a, const vlt::Task& b) {
    return vlt::io::task_to_bytes(a) == vlt::io::task_to_bytes(b);
}

void round_trip(vlt::Env& env) {
    vlt::Task t(env), u(env);
    fill(t);
    const std::string bytes = vlt::io::task_to_bytes(t);
    CHECK(vlt::io::looks_like_task_binary(bytes));
    vlt::io::task_from_bytes(u, bytes, "memory");
    CHECK(same(t, u));
    CHECK(u.problem.get_qobj_ij(2, 1) == 4.0 && u.params[VLT_IPAR_LOG] == 7);
    CHECK(u.problem.names().var.get(1) == "y");
}

void damaged_copies_are_refused(vlt::Env& env) {
    vlt::Task t(env), target(env);
    fill(t);
    const std::string bytes = vlt::io::task_to_bytes(t);
    const std::string before = vlt::io::task_to_bytes(target);
    int refused = 0, cases = 0;
    auto attempt = [&](const std::string& data) {
        ++cases;
        try {
            vlt::io::task_from_bytes(target, data, "memory");
        } catch (const vlt::Error& e) {
            refused += e.code() == VLT_RES_ERR_FILE_FORMAT && e.message().rfind("memory: ", 0) == 0;
        }
    };
    for (size_t cut = 0; cut < bytes.size(); ++cut) attempt(bytes.substr(0, cut));
    for (size_t pos = 0; pos < bytes.size(); ++pos) {
        if (pos == 14 || pos == 15) continue;  // the minor version: any is read
        std::string flipped = bytes;
        flipped[pos] = char(flipped[pos] ^ 0x01);
        attempt(flipped);
    }
    CHECK(refused == cases, "%d of %d refused", refused, cases);
    CHECK(vlt::io::task_to_bytes(target) == before);
}

// A write function that stops taking bytes after its first chunk.
size_t VLTAPI take_one_chunk(void* handle, const void*, size_t count) {
    int& calls = *static_cast<int*>(handle);
    return calls++ == 0 ? count : count / 2;
}

void short_writes_fail() {
    VLTenv_t env = nullptr;
    VLTtask_t task = nullptr;
    VLT_makeenv(&env, nullptr);
    VLT_makeemptytask(env, &task);
    VLT_appendvars(task, 20000);
    int calls = 0;
    CHECK(VLT_writedatahandle(task, take_one_chunk, &calls, VLT_DATA_FORMAT_TASK, VLT_COMPRESS_NONE) ==
          VLT_RES_ERR_FILE_WRITE);
    CHECK(calls == 2);
    CHECK(VLT_writedatahandle(task, nullptr, nullptr, VLT_DATA_FORMAT_TASK, VLT_COMPRESS_NONE) ==
          VLT_RES_ERR_NULL_POINTER);
    VLT_deletetask(&task);
    VLT_deleteenv(&env);
}

}  // namespace

int main() {
    short_writes_fail();
    vlt::Env& env = *new vlt::Env(false);
    round_trip(env);
    damaged_copies_are_refused(env);
    env.release();
    return vlt_test::report();
}
