// The library call that a Python method is making, with the objects whose
// callables may run during it: the Task the method belongs to, the tasks of
// a batch.
//
// A callable that raises on a thread of the caller's leaves its exception
// pending there, and the method raises it after the call.  A callable run
// on a thread that the library made cannot leave it there (the thread's
// interpreter state goes when the hook returns): the hook keeps it in the
// scope of the call that involves the callable's object, and that call's
// method raises it.  Never another call's: an unrelated method running on
// another thread meanwhile sees nothing of it.
//
// Everything here runs with the interpreter lock held.
#pragma once

#include <Python.h>

namespace vlt::py {

class CallScope {
public:
    CallScope() = default;
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    ~CallScope();

    // The scope involves `object` (its method's own object) and `items`
    // (which must stay valid while the scope lives).
    void involve(PyObject* object);
    void involve(PyObject* const* items, Py_ssize_t count);

    // After a library call: makes an exception kept in the scope the pending
    // one (unless one is pending already) and tells whether one is pending.
    bool raise_pending();

    // For a hook on a thread of the library's: the oldest active scope that
    // involves `object`, or null.
    static CallScope* of(PyObject* object);
    // Moves the pending exception into the scope; only the first is kept.
    void keep_pending();
    bool holds_exception() const { return type_ != nullptr; }

private:
    void open();
    bool involves(PyObject* object) const;

    PyObject* object_ = nullptr;
    PyObject* const* items_ = nullptr;
    Py_ssize_t count_ = 0;
    bool open_ = false;
    CallScope* older_ = nullptr;
    CallScope* newer_ = nullptr;
    PyObject* type_ = nullptr;
    PyObject* value_ = nullptr;
    PyObject* traceback_ = nullptr;
};

}  // namespace vlt::py
