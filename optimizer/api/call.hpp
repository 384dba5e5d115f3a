// The shape of every entry point: resolve the handle, run the
// implementation, turn exceptions into response codes and messages, and
// record the call in the call log when one is active.
#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "base/error.hpp"
#include "core/library.hpp"

namespace vlt::api {

// A non-owning reference to a callable, so that the entry points' common
// shape below is compiled once instead of once per entry point.
template <class Signature>
class FunctionRef;

template <class R, class... Args>
class FunctionRef<R(Args...)> {
public:
    template <class F>
        requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef>)
    FunctionRef(F&& f)  // NOLINT: implicit on purpose, like a function pointer
        : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
          call_([](void* object, Args... args) -> R {
              return (*static_cast<std::remove_reference_t<F>*>(object))(std::forward<Args>(args)...);
          }) {}
    R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    void* object_;
    R (*call_)(void*, Args...);
};

using LogArgs = FunctionRef<void(LogLine&)>;

// What an entry point does with its task, which decides how it enters the
// task's lock (see core/task_lock.hpp):
//   reads:    takes the lock, or runs nested inside a call of this thread;
//   changes:  takes the lock; refused (VLT_RES_ERR_TASK_BUSY) when nested,
//             since the running call may hold references into the task;
//   unlocked: never waits (the last error and the hooks, which have locks of
//             their own: callers that hold the interpreter lock use them).
// A call whose wait for the lock would never end is refused too.
enum class Access { reads, changes, unlocked };

// Why a call that `access`es a task may not go on with the given entry into
// its lock (empty when it may); `running` names the call holding the task.
std::string entry_refusal(const char* function, const char* running, Access access, TaskLock::Entry entry);

// An entry point whose first argument is a task handle.
int32_t call_task(const char* function, VLTtask_t handle, Access access, FunctionRef<void(Task&)> impl,
                  LogArgs log_args);

// An entry point whose first argument is an environment handle (null: the
// global environment).
int32_t call_env(const char* function, VLTenv_t handle, FunctionRef<void(Env&)> impl, LogArgs log_args);

// An entry point without a handle of its own (or one that makes or deletes
// handles itself).  Errors go to the global environment's error stream.  With
// log false the call is not logged here: the deleters log themselves, into
// the log of the object they delete.
int32_t call_free(const char* function, bool log, FunctionRef<void()> impl, LogArgs log_args);

// VLT_holdtask and VLT_releasetask: the calling thread holds a task across
// several calls (see core/task_lock.hpp).  Nothing is reported on the
// streams or in the call log: a hold that fails leaves each call to enter
// the task on its own, and that call reports what is wrong.
int32_t hold_task(VLTtask_t handle);
int32_t release_task(VLTtask_t handle);

[[noreturn]] void not_implemented(const char* function);

}  // namespace vlt::api
