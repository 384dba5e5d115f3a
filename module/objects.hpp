// The object records of Env and Task, their type objects, and what the
// generated methods need of them.
#pragma once

#include <Python.h>

#include "library/velto.h"

namespace vlt::py {

struct EnvObject {
    PyObject_HEAD
    PyObject* streams[4];
    int32_t global;
    VLTenv_t env;
};

struct TaskObject {
    PyObject_HEAD
    VLTtask_t task;
    PyObject* streams[4];
    PyObject* progress;
    PyObject* info;
};

extern PyTypeObject EnvType;
extern PyTypeObject TaskType;

// Makes a Task object around a task handle that the library returned, with
// its hooks registered.  Returns a new reference, or null with an error set.
PyObject* wrap_task_handle(VLTtask_t task);

// An exception raised by a Task callable on a thread that the library made
// (batch optimization runs tasks on its own threads) would vanish with that
// thread's temporary interpreter state.  The hook moves it here instead, and
// the method whose library call was running raises it after the call.  All
// three are called with the interpreter lock held.
//   defer_foreign_error: moves the pending error, if any, to the slot (the
//     first one is kept, later ones are dropped);
//   foreign_error_pending: whether the slot holds one;
//   raise_deferred_error: makes the slot's error the pending one (unless one
//     is pending already) and tells whether an error is now pending.
void defer_foreign_error();
bool foreign_error_pending();
bool raise_deferred_error();

// Method tables, assembled at start-up from the family sources.
struct MethodList {
    const PyMethodDef* rows;
    size_t count;
};
template <size_t N>
constexpr MethodList methods_of(const PyMethodDef (&rows)[N]) {
    return MethodList{rows, N};
}

}  // namespace vlt::py
