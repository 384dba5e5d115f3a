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
    void* hooks;  // the handle of this object's hooks (module/hooks.hpp)
};

struct TaskObject {
    PyObject_HEAD
    VLTtask_t task;
    PyObject* streams[4];
    PyObject* progress;
    PyObject* info;
    void* hooks;  // the handle of this object's hooks (module/hooks.hpp)
};

extern PyTypeObject EnvType;
extern PyTypeObject TaskType;

// Makes a Task object around a task handle that the library returned, with
// its hooks registered.  Returns a new reference, or null with an error set.
PyObject* wrap_task_handle(VLTtask_t task);

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
