#include "module/call_scope.hpp"

namespace vlt::py {
namespace {

// The open scopes, oldest first.
CallScope* oldest = nullptr;
CallScope* newest = nullptr;

}  // namespace

CallScope::~CallScope() {
    if (!open_) return;
    (older_ ? older_->newer_ : oldest) = newer_;
    (newer_ ? newer_->older_ : newest) = older_;
    // An exception that no method raised (its method failed before the
    // check) is dropped with the scope.
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(traceback_);
}

void CallScope::open() {
    if (open_) return;
    open_ = true;
    older_ = newest;
    (newest ? newest->newer_ : oldest) = this;
    newest = this;
}

void CallScope::involve(PyObject* object) {
    object_ = object;
    open();
}

void CallScope::involve(PyObject* const* items, Py_ssize_t count) {
    items_ = items;
    count_ = count;
    open();
}

bool CallScope::involves(PyObject* object) const {
    if (object == object_) return true;
    for (Py_ssize_t k = 0; k < count_; ++k)
        if (items_[k] == object) return true;
    return false;
}

bool CallScope::raise_pending() {
    if (type_) {
        if (PyErr_Occurred()) {
            Py_CLEAR(type_);
            Py_CLEAR(value_);
            Py_CLEAR(traceback_);
        } else {
            PyErr_Restore(type_, value_, traceback_);
            type_ = value_ = traceback_ = nullptr;
        }
    }
    return PyErr_Occurred() != nullptr;
}

CallScope* CallScope::of(PyObject* object) {
    for (CallScope* scope = oldest; scope; scope = scope->newer_)
        if (scope->involves(object)) return scope;
    return nullptr;
}

void CallScope::keep_pending() {
    if (!PyErr_Occurred()) return;
    if (type_) {
        PyErr_Clear();
        return;
    }
    PyErr_Fetch(&type_, &value_, &traceback_);
}

}  // namespace vlt::py
