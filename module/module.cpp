// The module entry: readies the two types and publishes them.
#include <Python.h>

#include <vector>

#include "module/method_tables.hpp"
#include "module/objects.hpp"

namespace vlt::py {
namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "_vlt", "Low level VELTO optimizer API", -1, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// Joins family tables into one null-terminated table that lives as long as
// the type.
PyMethodDef* assemble(const std::vector<MethodList>& lists) {
    size_t total = 1;
    for (const MethodList& l : lists) total += l.count;
    auto* table = new PyMethodDef[total];
    size_t k = 0;
    for (const MethodList& l : lists)
        for (size_t i = 0; i < l.count; ++i) table[k++] = l.rows[i];
    table[k] = PyMethodDef{nullptr, nullptr, 0, nullptr};
    return table;
}

}  // namespace
}  // namespace vlt::py

// The library built with this project says so when something it needs at
// run time is missing (a weak reference: another build of the interface
// need not have it).
extern "C" const char* vlt_missing_dependency(void) __attribute__((weak));

PyMODINIT_FUNC PyInit__vlt(void) {
    using namespace vlt::py;
    if (vlt_missing_dependency) {
        if (const char* missing = vlt_missing_dependency()) {
            PyErr_SetString(PyExc_ImportError, missing);
            return nullptr;
        }
    }
    if (!EnvType.tp_methods) EnvType.tp_methods = assemble(env_method_lists());
    if (!TaskType.tp_methods) TaskType.tp_methods = assemble(task_method_lists());
    if (PyType_Ready(&EnvType) < 0) return nullptr;
    if (PyType_Ready(&TaskType) < 0) return nullptr;
    PyObject* module = PyModule_Create2(&module_definition, 1013);
    if (!module) return nullptr;
    Py_INCREF(&EnvType);
    PyModule_AddObject(module, "Env", reinterpret_cast<PyObject*>(&EnvType));
    Py_INCREF(&TaskType);
    PyModule_AddObject(module, "Task", reinterpret_cast<PyObject*>(&TaskType));
    return module;
}
