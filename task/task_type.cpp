// The Task type: one optimization problem, its streams and its progress and
// information callables.
#include <cstdlib>
#include <cstring>

#include "module/hooks.hpp"
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

TaskObject* as_task(PyObject* self) { return reinterpret_cast<TaskObject*>(self); }

// Tells the hook table which callables the object holds (after any change).
void publish_callables(TaskObject* self) {
    unsigned bits = 0;
    for (int k = 0; k < 4; ++k)
        if (self->streams[k]) bits |= hooks::stream_bit(k);
    if (self->progress) bits |= hooks::kProgress;
    if (self->info) bits |= hooks::kInfo;
    hooks::set_callables(self->hooks, bits);
}

void clear_slots(TaskObject* self) {
    Py_CLEAR(self->progress);
    Py_CLEAR(self->info);
    for (PyObject*& slot : self->streams) Py_CLEAR(slot);
    publish_callables(self);
}

// The hooks run on whatever thread the library calls them from.  Each finds
// its object through the hook table (nothing if the object is gone) and
// holds a reference to it while it works: a callable may drop the last other
// one.
//
// An exception raised by a callable stays pending on a thread of the
// caller's, and the method whose library call is running raises it; on a
// thread of the library's it is kept in the call scope of that call.  While
// one is pending, later messages of the same call are not delivered (the
// interpreter must not run code with an exception set) and the progress
// dispatcher keeps asking to stop.
class HookRun {
public:
    explicit HookRun(void* handle) : foreign_(PyGILState_GetThisThreadState() == nullptr), state_(PyGILState_Ensure()) {
        self_ = reinterpret_cast<TaskObject*>(hooks::find(handle));
        if (!self_) return;
        Py_INCREF(self_);
        if (foreign_) {
            scope_ = CallScope::of(reinterpret_cast<PyObject*>(self_));
            failed_ = scope_ && scope_->holds_exception();
        } else {
            failed_ = PyErr_Occurred() != nullptr;
        }
    }
    ~HookRun() {
        if (foreign_ && PyErr_Occurred()) {
            if (scope_)
                scope_->keep_pending();
            else
                PyErr_WriteUnraisable(reinterpret_cast<PyObject*>(self_));  // no call is running on the task
        }
        Py_XDECREF(self_);
        PyGILState_Release(state_);
    }
    HookRun(const HookRun&) = delete;
    HookRun& operator=(const HookRun&) = delete;

    TaskObject* self() const { return self_; }
    // An exception of an earlier event of this call is pending.
    bool failed() const { return failed_; }

private:
    bool foreign_;
    PyGILState_STATE state_;
    TaskObject* self_ = nullptr;
    CallScope* scope_ = nullptr;
    bool failed_ = false;
};

template <int Stream>
void VLTAPI forward_task_stream(void* handle, const char* message) {
    if (!hooks::has_callable(handle, hooks::stream_bit(Stream))) return;
    HookRun run(handle);
    if (!run.self() || run.failed()) return;
    if (PyObject* func = run.self()->streams[Stream]) {
        Py_INCREF(func);
        PyObject* result = call_with_text(func, message);
        Py_XDECREF(result);
        Py_DECREF(func);
    }
}

constexpr VLTstreamfunc kForwarders[4] = {forward_task_stream<0>, forward_task_stream<1>, forward_task_stream<2>,
                                          forward_task_stream<3>};

PyObject* float_list(const double* values, int n) {
    PyObject* list = PyList_New(n);
    if (!list) return nullptr;
    for (int i = 0; i < n; ++i) {
        PyObject* item = PyFloat_FromDouble(values[i]);
        if (!item) return Py_DECREF(list), nullptr;
        PyList_SET_ITEM(list, i, item);
    }
    return list;
}

template <class T>
PyObject* int_list(const T* values, int n) {
    PyObject* list = PyList_New(n);
    if (!list) return nullptr;
    for (int i = 0; i < n; ++i) {
        PyObject* item = PyLong_FromLongLong(static_cast<long long>(values[i]));
        if (!item) return Py_DECREF(list), nullptr;
        PyList_SET_ITEM(list, i, item);
    }
    return list;
}

// Calls a callable that answers whether to stop: true for a true result or
// an exception (left pending).
bool asks_to_stop(PyObject* func, PyObject* result) {
    Py_DECREF(func);
    if (!result) return true;
    bool stop = PyObject_IsTrue(result) != 0;  // an error while testing counts as true
    Py_DECREF(result);
    return stop;
}

// Progress dispatcher: asks the progress callable whether to stop, then hands
// the information items to the information callable.  Returns 1 to stop.
int32_t VLTAPI dispatch_progress(VLTtask_t, void* handle, int32_t caller, const double* douinf, const int32_t* intinf,
                                 const int64_t* lintinf) {
    if (!hooks::has_callable(handle, hooks::kProgress | hooks::kInfo)) return 0;
    HookRun run(handle);
    if (!run.self()) return 0;
    if (run.failed()) return 1;  // an exception from an earlier event is pending: keep asking to stop
    TaskObject* self = run.self();
    bool stop = false;
    if (PyObject* func = self->progress) {
        Py_INCREF(func);
        stop = asks_to_stop(func, PyObject_CallFunction(func, "(i)", caller));
    }
    PyObject* info = self->info;
    if (info && !stop && douinf && intinf && lintinf) {
        PyObject* d = float_list(douinf, VLT_NUM_DOUINF);
        PyObject* i = d ? int_list(intinf, VLT_NUM_IINF) : nullptr;
        PyObject* l = i ? int_list(lintinf, VLT_NUM_LIINF) : nullptr;
        if (l) {
            Py_INCREF(info);
            stop = asks_to_stop(info, PyObject_CallFunction(info, "(iOOO)", caller, d, i, l));
        } else {
            PyErr_Clear();  // a list that cannot be made skips this event
        }
        Py_XDECREF(d);
        Py_XDECREF(i);
        Py_XDECREF(l);
    }
    return stop ? 1 : 0;
}

void register_hooks(TaskObject* self) {
    for (int stream : {0, 1, 3, 2}) VLT_linkfunctotaskstream(self->task, stream, self->hooks, kForwarders[stream]);
    VLT_putcallbackfunc(self->task, dispatch_progress, self->hooks);
}

// Deletes the library task.  The handle dies at once; a call still running
// on it (on another thread, or the one whose callable disposes the task)
// ends on its own and calls none of the hooks afterwards.
void delete_task(TaskObject* self) {
    if (self->task) VLT_deletetask(&self->task);
    self->task = nullptr;
}

// A new object's fields: no task, no callables, a hook handle.
bool init_fields(TaskObject* self) {
    self->task = nullptr;
    self->progress = self->info = nullptr;
    for (PyObject*& slot : self->streams) slot = nullptr;
    self->hooks = hooks::attach(reinterpret_cast<PyObject*>(self));
    return self->hooks != nullptr;
}

PyObject* task_new(PyTypeObject* type, PyObject*, PyObject*) {
    PyObject* self = type->tp_alloc(type, 0);
    if (self && !init_fields(as_task(self))) {
        Py_TYPE(self)->tp_free(self);
        return nullptr;
    }
    return self;
}

int task_init(PyObject* object, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"env", "numcon", "numvar", "other", nullptr};
    TaskObject* self = as_task(object);
    PyObject* env = nullptr;
    PyObject* other = nullptr;
    int numcon = 0, numvar = 0;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|OiiO", const_cast<char**>(keywords), &env, &numcon, &numvar,
                                     &other))
        return -1;
    if (other && !PyObject_TypeCheck(other, &TaskType)) {
        PyErr_SetString(PyExc_TypeError, "Expected a velto.Task value for argument other");
        return -1;
    }
    if (!other && (!env || (env != Py_None && Py_TYPE(env) != &EnvType))) {
        PyErr_SetString(PyExc_TypeError, "Expected a velto.Env value or None");
        return -1;
    }
    // Initialising an object twice must not leak the first task.
    delete_task(self);
    clear_slots(self);
    int32_t res;
    if (other) {
        // The clone waits for calls running on the original, which may need
        // the interpreter lock for their callables.
        VLTtask_t original = as_task(other)->task;
        VLTtask_t clone = nullptr;
        Py_BEGIN_ALLOW_THREADS
        res = VLT_clonetask(original, &clone);
        Py_END_ALLOW_THREADS
        self->task = clone;
    } else {
        res = VLT_makeemptytask(env == Py_None ? nullptr : reinterpret_cast<EnvObject*>(env)->env, &self->task);
    }
    if (res != 0) {
        self->task = nullptr;
        PyErr_SetString(PyExc_ValueError, "Failed to create Task object");
        return -1;
    }
    register_hooks(self);
    return 0;
}

void task_dealloc(PyObject* object) {
    TaskObject* self = as_task(object);
    hooks::detach(self->hooks);  // first: a late hook must not find the object
    self->hooks = nullptr;
    delete_task(self);
    clear_slots(self);
    Py_TYPE(object)->tp_free(object);
}

PyObject* task_set_stream(PyObject* object, PyObject* args) {
    int stream;
    PyObject* func;
    if (!PyArg_ParseTuple(args, "iO", &stream, &func)) return nullptr;
    if (stream >= 0 && stream < 4) {
        if (!hooks::callable_or_none(func, &func)) return nullptr;
        Py_XINCREF(func);
        Py_XSETREF(as_task(object)->streams[stream], func);
        publish_callables(as_task(object));
    }
    Py_RETURN_NONE;
}

PyObject* task_remove_stream(PyObject* object, PyObject* args) {
    int stream;
    if (!PyArg_ParseTuple(args, "i", &stream)) return nullptr;
    if (stream >= 0 && stream < 4) {
        Py_CLEAR(as_task(object)->streams[stream]);
        publish_callables(as_task(object));
    }
    Py_RETURN_NONE;
}

// Sets (func non-null, a new reference) or empties a callable slot.
PyObject* put_slot(PyObject* object, PyObject*& slot, PyObject* func) {
    Py_XSETREF(slot, func);
    publish_callables(as_task(object));
    Py_RETURN_NONE;
}

// set_Progress and set_InfoCallback: a callable, or None to empty the slot.
PyObject* set_slot(PyObject* object, PyObject*& slot, PyObject* args) {
    PyObject* func;
    if (!PyArg_ParseTuple(args, "O", &func)) return nullptr;
    if (!hooks::callable_or_none(func, &func)) return nullptr;
    Py_XINCREF(func);
    return put_slot(object, slot, func);
}

PyObject* task_set_progress(PyObject* object, PyObject* args) {
    return set_slot(object, as_task(object)->progress, args);
}
PyObject* task_set_info(PyObject* object, PyObject* args) { return set_slot(object, as_task(object)->info, args); }
PyObject* task_remove_progress(PyObject* object, PyObject*) {
    return put_slot(object, as_task(object)->progress, nullptr);
}
PyObject* task_remove_info(PyObject* object, PyObject*) { return put_slot(object, as_task(object)->info, nullptr); }

PyObject* task_dispose(PyObject* object, PyObject*) {
    TaskObject* self = as_task(object);
    delete_task(self);
    clear_slots(self);
    Py_RETURN_NONE;
}

// Data writer: each chunk is copied into a bytes object and handed to the
// stream's write method as a read-only memoryview; the view keeps the copy
// alive for as long as the stream keeps the view.
size_t VLTAPI write_chunk(void* handle, const void* src, size_t count) {
    if (!handle || count == 0) return 0;
    PyGILState_STATE state = PyGILState_Ensure();
    size_t taken = count;
    if (PyErr_Occurred()) {
        PyGILState_Release(state);
        return taken;  // an earlier write raised; the rest is taken unread
    }
    PyObject* copy = PyBytes_FromStringAndSize(static_cast<const char*>(src), Py_ssize_t(count));
    if (!copy) {
        PyErr_Clear();
        taken = 0;
    } else {
        PyObject* view = PyMemoryView_FromObject(copy);
        Py_DECREF(copy);
        if (view) {
            PyObject* result = PyObject_CallMethod(static_cast<PyObject*>(handle), "write", "(O)", view);
            Py_XDECREF(result);
            Py_DECREF(view);
        } else {
            PyErr_Clear();
        }
    }
    PyGILState_Release(state);
    return taken;
}

PyObject* task_writedatastream(PyObject* object, PyObject* args) {
    int dformat, compress;
    PyObject* stream;
    if (!PyArg_ParseTuple(args, "iiO", &dformat, &compress, &stream)) return nullptr;
    // The library waits for calls running on the task, which may need the
    // interpreter lock for their callables; write_chunk takes it back.
    VLTtask_t task = as_task(object)->task;
    int32_t res;
    Py_BEGIN_ALLOW_THREADS
    res = VLT_writedatahandle(task, write_chunk, stream, dformat, compress);
    Py_END_ALLOW_THREADS
    if (PyErr_Occurred()) return nullptr;  // raised by write: report it rather than hide it
    return PyLong_FromLong(res);
}

PyObject* task_getlasterror(PyObject* object, PyObject*) {
    VLTtask_t task = as_task(object)->task;
    int32_t code = 0, length = 0;
    if (VLT_getlasterror(task, &code, 0, &length, nullptr) != 0) return Py_BuildValue("(is)", 0, "");
    if (length <= 0) return Py_BuildValue("(is)", code, "");
    char* buffer = static_cast<char*>(std::malloc(size_t(length) + 1));
    if (!buffer) {
        PyErr_SetString(PyExc_MemoryError, "Failed to allocate memory");
        return nullptr;
    }
    buffer[0] = '\0';
    VLT_getlasterror(task, &code, length + 1, nullptr, buffer);
    PyObject* message = library_text(buffer);
    std::free(buffer);
    if (!message) return nullptr;
    return Py_BuildValue("(iN)", code, message);
}

PyMethodDef plain_rows[] = {
    {"set_Stream", task_set_stream, METH_VARARGS, "set_Stream(whichstream,func)"},
    {"set_Progress", task_set_progress, METH_VARARGS, "set_Progress(func)"},
    {"set_InfoCallback", task_set_info, METH_VARARGS, "set_InfoCallback(func)"},
    {"remove_Stream", task_remove_stream, METH_VARARGS, "remove_Stream(whichstream)"},
    {"remove_Progress", task_remove_progress, METH_NOARGS, "remove_Progress()"},
    {"remove_InfoCallback", task_remove_info, METH_NOARGS, "remove_InfoCallback()"},
    {"writedatastream", task_writedatastream, METH_VARARGS, "writedatastream(dformat,compress,stream)"},
    {"getlasterror", task_getlasterror, METH_NOARGS, "getlasterror(lastmsg)"},
    {"dispose", task_dispose, METH_NOARGS, "dispose()"},
};

}  // namespace

PyObject* wrap_task_handle(VLTtask_t task) {
    PyObject* object = TaskType.tp_alloc(&TaskType, 0);
    if (!object || !init_fields(as_task(object))) {
        if (object) TaskType.tp_free(object);
        VLT_deletetask(&task);  // nobody else would ever delete it
        return nullptr;
    }
    TaskObject* self = as_task(object);
    self->task = task;
    register_hooks(self);
    return object;
}

MethodList task_plain_methods() { return methods_of(plain_rows); }

PyTypeObject TaskType = [] {
    PyTypeObject type{};
    type.ob_base.ob_base.ob_refcnt = 1;  // as PyVarObject_HEAD_INIT(nullptr, 0)
    type.tp_name = "_vlt.Task";
    type.tp_basicsize = sizeof(TaskObject);
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE;
    type.tp_doc = "Task objects";
    type.tp_new = task_new;
    type.tp_init = task_init;
    type.tp_dealloc = task_dealloc;
    return type;
}();

}  // namespace vlt::py
