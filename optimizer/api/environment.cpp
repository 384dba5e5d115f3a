// Entry points for environments, tasks as objects, streams, hooks, errors,
// version and response-code descriptions.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/codes.hpp"
#include "api/impl.hpp"
#include "base/version.hpp"

namespace vlt {
namespace {

void require(const void* pointer, const char* name) {
    if (!pointer) fail(VLT_RES_ERR_NULL_POINTER, std::string("Argument ") + name + " is null");
}

VLTenv_t env_handle(uint64_t value) { return reinterpret_cast<VLTenv_t>(value); }
VLTtask_t task_handle(uint64_t value) { return reinterpret_cast<VLTtask_t>(value); }

// Copies text, cut to size - 1 bytes, and fills the rest of the buffer with
// zero bytes: nothing of what the buffer held before shows through.
void copy_text(char* buffer, size_t size, const char* text) {
    if (size == 0) return;
    size_t length = std::min(std::strlen(text), size - 1);
    std::memcpy(buffer, text, length);
    std::memset(buffer + length, 0, size - length);
}

}  // namespace

VLTtask_t register_task(Task* task) {
    Library& lib = Library::instance();
    task->serial = lib.next_serial();
    task->handle = lib.tasks.add(task);
    if (!task->handle) {
        delete task;
        fail(VLT_RES_ERR_SIZE_LIMIT, "Too many tasks exist at once");
    }
    return task_handle(task->handle);
}

void impl::makeenv(VLTenv_t* env, const char* dbgfile) {
    require(env, "env");
    *env = nullptr;
    Library& lib = Library::instance();
    Env* created = new Env(false);
    if (dbgfile) {
        std::FILE* file = std::fopen(dbgfile, "w");
        if (!file) {
            created->release();
            fail(VLT_RES_ERR_FILE_OPEN, std::string("Cannot open the debug file '") + dbgfile + "' for writing");
        }
        created->log = std::make_unique<CallLog>(file);
    }
    created->serial = lib.next_serial();
    created->handle = lib.envs.add(created);
    if (!created->handle) {
        created->release();
        fail(VLT_RES_ERR_SIZE_LIMIT, "Too many environments exist at once");
    }
    if (created->log) lib.add_log(created);
    *env = env_handle(created->handle);
}

void impl::deleteenv(VLTenv_t* env) {
    require(env, "env");
    if (!*env) return;  // the global environment is never deleted
    Library& lib = Library::instance();
    EnvRef existing = lib.envs.remove(reinterpret_cast<uint64_t>(*env));
    if (!existing) fail(VLT_RES_ERR_INVALID_ENV, "The environment handle is not valid (deleted or never made)");
    *env = nullptr;
    existing->mark_deleted();
    if (existing->log) {
        lib.remove_log(existing.get());
        existing->log->write(LogLine("VLT_deleteenv").handle("env", existing->serial).finish(VLT_RES_OK));
    }
    // The object goes with the last task made in it and the last call
    // running on it.
}

void impl::makeemptytask(Env& env, VLTtask_t* task) {
    require(task, "task");
    *task = nullptr;
    *task = register_task(new Task(env));
}

void impl::clonetask(Task& task, VLTtask_t* clonedtask) {
    require(clonedtask, "clonedtask");
    *clonedtask = nullptr;
    *clonedtask = register_task(new Task(task, task.env()));
}

// Never waits for the task: a call running on it (on another thread, or the
// one whose callback deletes it) finishes on the object, which goes when the
// last such call does; the handle is dead at once.
void impl::deletetask(VLTtask_t* task) {
    require(task, "task");
    if (!*task) return;
    TaskRef existing = Library::instance().tasks.remove(reinterpret_cast<uint64_t>(*task));
    if (!existing) fail(VLT_RES_ERR_INVALID_TASK, "The task handle is not valid (deleted or never made)");
    *task = nullptr;
    existing->mark_deleted();
    if (CallLog* log = existing->env().log.get())
        log->write(LogLine("VLT_deletetask").handle("task", existing->serial).finish(VLT_RES_OK));
}

void impl::linkfunctoenvstream(Env& env, int32_t whichstream, void* handle, VLTstreamfunc func) {
    env.streams.link_function(whichstream, handle, func);
}

void impl::linkfunctotaskstream(Task& task, int32_t whichstream, void* handle, VLTstreamfunc func) {
    task.streams.link_function(whichstream, handle, func);
}

void impl::linkfiletoenvstream(Env& env, int32_t whichstream, const char* filename, int32_t append) {
    require(filename, "filename");
    env.streams.link_file(whichstream, filename, append != 0);
}

void impl::linkfiletotaskstream(Task& task, int32_t whichstream, const char* filename, int32_t append) {
    require(filename, "filename");
    task.streams.link_file(whichstream, filename, append != 0);
}

void impl::putcallbackfunc(Task& task, VLTcallbackfunc func, void* handle) { task.put_callback(func, handle); }

void impl::echointro(Env& env, int32_t longver) {
    std::string banner = std::string("velto optimizer ") + version_string() + "\n";
    if (longver) {
        banner += std::string("  build: ") + build_description() + "\n";
        banner += "  open library: linear, quadratic and mixed-integer optimization\n";
    }
    env.streams.emit(VLT_STREAM_LOG, banner);
}

void impl::getversion(int32_t* major, int32_t* minor, int32_t* revision) {
    require(major, "major");
    require(minor, "minor");
    require(revision, "revision");
    *major = VLT_VERSION_MAJOR;
    *minor = VLT_VERSION_MINOR;
    *revision = VLT_VERSION_REVISION;
}

void impl::getcodedesc(int32_t code, char* symname, char* str) {
    const CodeInfo* info = find_code(code);
    if (symname) copy_text(symname, VLT_MAX_STR_LEN, info ? info->name : "VLT_RES_ERR_UNKNOWN");
    if (str) {
        std::string unknown = "Unknown response code " + std::to_string(code) + ".";
        copy_text(str, VLT_MAX_STR_LEN, info ? info->description : unknown.c_str());
    }
    if (!info) fail(VLT_RES_ERR_INVALID_ENUM, "Unknown response code " + std::to_string(code));
}

void impl::enablegarcolenv(Env& env) { env.garbage_collection.store(true); }

void impl::freeenv(Env& env, void* buffer) {
    (void)env;
    std::free(buffer);
}

void impl::getlasterror(Task& task, int32_t* lastrescode, int32_t sizelastmsg, int32_t* lastmsglen, char* lastmsg) {
    std::string message = task.last_message();
    if (lastrescode) *lastrescode = task.last_code();
    if (lastmsglen) *lastmsglen = int32_t(message.size());
    if (sizelastmsg < 0) fail(VLT_RES_ERR_NEGATIVE_COUNT, "Argument sizelastmsg is negative");
    if (lastmsg && sizelastmsg > 0) copy_text(lastmsg, size_t(sizelastmsg), message.c_str());
}

void impl::checkmemtask(Task& task, const char* file, int32_t line) {
    task.check_consistency(file ? file : "", line);
}

void impl::getmemusagetask(Task& task, int64_t* meminuse, int64_t* maxmemuse) {
    size_t now = task.memory_bytes();
    size_t peak = task.peak_memory_bytes();
    if (meminuse) *meminuse = int64_t(now);
    if (maxmemuse) *maxmemuse = int64_t(peak);
}

}  // namespace vlt
