// The library's core through its C interface: handles, streams, errors, the
// call log and the response-code table.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.hpp"
#include "velto.h"

namespace {

std::vector<std::string> messages;
void VLTAPI collect(void*, const char* text) { messages.emplace_back(text); }

void handles() {
    VLTenv_t env = nullptr;
    CHECK(VLT_makeenv(&env, nullptr) == VLT_RES_OK && env != nullptr);
    VLTtask_t task = nullptr;
    CHECK(VLT_makeemptytask(env, &task) == VLT_RES_OK && task != nullptr);
    VLTtask_t stale = task;
    CHECK(VLT_deletetask(&task) == VLT_RES_OK && task == nullptr);
    // A deleted handle is recognised, also after its slot has been reused.
    VLTtask_t again = nullptr;
    CHECK(VLT_makeemptytask(env, &again) == VLT_RES_OK);
    int64_t mem = 0, peak = 0;
    CHECK(VLT_getmemusagetask(stale, &mem, &peak) == VLT_RES_ERR_INVALID_TASK);
    CHECK(VLT_getmemusagetask(nullptr, &mem, &peak) == VLT_RES_ERR_NULL_TASK);
    CHECK(VLT_deletetask(&stale) == VLT_RES_ERR_INVALID_TASK);
    CHECK(VLT_getmemusagetask(again, &mem, &peak) == VLT_RES_OK && mem > 0 && peak >= mem);
    // A task outlives the environment it was made in.
    CHECK(VLT_deleteenv(&env) == VLT_RES_OK && env == nullptr);
    CHECK(VLT_getmemusagetask(again, &mem, &peak) == VLT_RES_OK);
    VLTtask_t clone = nullptr;
    CHECK(VLT_clonetask(again, &clone) == VLT_RES_OK && clone && clone != again);
    CHECK(VLT_deletetask(&clone) == VLT_RES_OK);
    CHECK(VLT_deletetask(&again) == VLT_RES_OK);
    CHECK(VLT_makeemptytask(reinterpret_cast<VLTenv_t>(uintptr_t(12345)), &again) == VLT_RES_ERR_INVALID_ENV);
}

void errors_and_streams() {
    VLTtask_t task = nullptr;
    CHECK(VLT_makeemptytask(nullptr, &task) == VLT_RES_OK);
    messages.clear();
    CHECK(VLT_linkfunctotaskstream(task, VLT_STREAM_ERR, nullptr, collect) == VLT_RES_OK);
    CHECK(VLT_linkfunctotaskstream(task, 4, nullptr, collect) == VLT_RES_ERR_INVALID_STREAM);
    CHECK(messages.size() == 1 && messages[0].find("VLT_RES_ERR_INVALID_STREAM") != std::string::npos);
    int32_t code = 0, length = 0;
    CHECK(VLT_getlasterror(task, &code, 0, &length, nullptr) == VLT_RES_OK);
    CHECK(code == VLT_RES_ERR_INVALID_STREAM && length > 0);
    std::vector<char> text(size_t(length) + 1);
    CHECK(VLT_getlasterror(task, &code, length + 1, nullptr, text.data()) == VLT_RES_OK);
    CHECK(std::strlen(text.data()) == size_t(length));
    // A buffer shorter than the message gets a cut, terminated text.
    char small[5];
    CHECK(VLT_getlasterror(task, &code, 5, nullptr, small) == VLT_RES_OK && std::strlen(small) == 4);
    CHECK(VLT_linkfiletotaskstream(task, 0, "/nonexistent-dir/x.log", 0) == VLT_RES_ERR_FILE_OPEN);
    CHECK(VLT_deletetask(&task) == VLT_RES_OK);
}

void codes() {
    char name[VLT_MAX_STR_LEN], desc[VLT_MAX_STR_LEN];
    std::memset(name, 'x', sizeof name);
    std::memset(desc, 'x', sizeof desc);
    CHECK(VLT_getcodedesc(VLT_RES_ERR_INDEX_VAR, name, desc) == VLT_RES_OK);
    CHECK(std::string(name) == "VLT_RES_ERR_INDEX_VAR" && std::strlen(desc) > 10);
    // Nothing of what the buffers held shows after the texts.
    for (const char* text : {name, desc})
        for (size_t k = std::strlen(text); k < VLT_MAX_STR_LEN; ++k) CHECK(text[k] == 0, "byte %zu", k);
    CHECK(VLT_getcodedesc(-77, name, desc) == VLT_RES_ERR_INVALID_ENUM);
    int32_t major, minor, revision;
    CHECK(VLT_getversion(&major, &minor, &revision) == VLT_RES_OK && major == 10 && minor == 2);
    CHECK(VLT_getversion(nullptr, &minor, &revision) == VLT_RES_ERR_NULL_POINTER);
}

void call_log() {
    const char* path = "test_core_calls.log";
    VLTenv_t env = nullptr;
    CHECK(VLT_makeenv(&env, path) == VLT_RES_OK);
    VLTtask_t task = nullptr;
    CHECK(VLT_makeemptytask(env, &task) == VLT_RES_OK);
    CHECK(VLT_checkmemtask(task, "here.c", 7) == VLT_RES_OK);
    CHECK(VLT_linkfiletotaskstream(task, 9, "x", 1) == VLT_RES_ERR_INVALID_STREAM);
    CHECK(VLT_deletetask(&task) == VLT_RES_OK);
    CHECK(VLT_deleteenv(&env) == VLT_RES_OK);
    std::FILE* f = std::fopen(path, "r");
    CHECK(f != nullptr);
    std::string log;
    char buf[512];
    while (f && std::fgets(buf, sizeof buf, f)) log += buf;
    if (f) std::fclose(f);
    CHECK(log.find("VLT_checkmemtask task=#") != std::string::npos);
    CHECK(log.find("file=\"here.c\" line=7 -> 0\n") != std::string::npos);
    CHECK(log.find("whichstream=9 filename=\"x\" append=1 -> 1008\n") != std::string::npos);
    CHECK(log.find("VLT_deletetask task=#") != std::string::npos);
    CHECK(log.find("VLT_deleteenv env=#") != std::string::npos);
    std::remove(path);
}

}  // namespace

int main() {
    handles();
    errors_and_streams();
    codes();
    call_log();
    return vlt_test::report();
}
