// The Task type: one optimization problem, its streams and its progress and
// information callables.
#include <cstdlib>
#include <cstring>

#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

TaskObject* as_task(PyObject* self) { return reinterpret_cast<TaskObject*>(self); }

void clear_slots(TaskObject* self) {
    Py_CLEAR(self->progress);
    Py_CLEAR(self->info);
    for (PyObject*& slot : self->streams) Py_CLEAR(slot);
}

// Stream forwarders: an exception raised by the callable stays pending and
// is raised by the method whose library call produced the message.  While
// one is pending, later messages of the same call are not delivered (the
// interpreter must not run code with an exception set).
template <int Stream>
void VLTAPI forward_task_stream(void* handle, const char* message) {
    TaskObject* self = static_cast<TaskObject*>(handle);
    if (!self->streams[Stream]) return;
    bool foreign = PyGILState_GetThisThreadState() == nullptr;  // a thread of the library's
    PyGILState_STATE state = PyGILState_Ensure();
    PyObject* func = self->streams[Stream];
    if (func && !PyErr_Occurred() && !(foreign && foreign_error_pending())) {
        Py_INCREF(func);
        PyObject* result = PyObject_CallFunction(func, "(s)", message);
        Py_XDECREF(result);
        Py_DECREF(func);
    }
    if (foreign) defer_foreign_error();
    PyGILState_Release(state);
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

// Progress dispatcher: asks the progress callable whether to stop, then hands
// the information items to the information callable.  Returns 1 to stop.
int32_t VLTAPI dispatch_progress(VLTtask_t, void* handle, int32_t caller, const double* douinf, const int32_t* intinf,
                                 const int64_t* lintinf) {
    TaskObject* self = static_cast<TaskObject*>(handle);
    if (!self->progress && !self->info) return 0;
    bool foreign = PyGILState_GetThisThreadState() == nullptr;  // a thread of the library's
    PyGILState_STATE state = PyGILState_Ensure();
    int32_t stop = 0;
    if (PyErr_Occurred() || (foreign && foreign_error_pending())) {
        // An exception from an earlier event is pending: keep asking to stop.
        PyGILState_Release(state);
        return 1;
    }
    if (PyObject* func = self->progress) {
        Py_INCREF(func);
        PyObject* result = PyObject_CallFunction(func, "(i)", caller);
        if (!result) {
            stop = 1;
        } else {
            if (PyObject_IsTrue(result) != 0) stop = 1;  // an error while testing counts as true
            Py_DECREF(result);
        }
        Py_DECREF(func);
    }
    PyObject* info = self->info;
    if (info && !stop && douinf && intinf && lintinf) {
        PyObject* d = float_list(douinf, VLT_NUM_DOUINF);
        PyObject* i = d ? int_list(intinf, VLT_NUM_IINF) : nullptr;
        PyObject* l = i ? int_list(lintinf, VLT_NUM_LIINF) : nullptr;
        if (l) {
            Py_INCREF(info);
            PyObject* result = PyObject_CallFunction(info, "(iOOO)", caller, d, i, l);
            if (!result) {
                stop = 1;
            } else {
                if (PyObject_IsTrue(result) != 0) stop = 1;
                Py_DECREF(result);
            }
            Py_DECREF(info);
        } else {
            PyErr_Clear();  // a list that cannot be made skips this event
        }
        Py_XDECREF(d);
        Py_XDECREF(i);
        Py_XDECREF(l);
    }
    if (foreign) defer_foreign_error();
    PyGILState_Release(state);
    return stop;
}

void register_hooks(TaskObject* self) {
    for (int stream : {0, 1, 3, 2}) VLT_linkfunctotaskstream(self->task, stream, self, kForwarders[stream]);
    VLT_putcallbackfunc(self->task, dispatch_progress, self);
}

PyObject* task_new(PyTypeObject* type, PyObject*, PyObject*) {
    PyObject* self = type->tp_alloc(type, 0);
    if (self) {
        as_task(self)->task = nullptr;
        clear_slots(as_task(self));
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
    if (self->task) {
        VLT_deletetask(&self->task);
        self->task = nullptr;
    }
    clear_slots(self);
    int32_t res;
    if (other)
        res = VLT_clonetask(as_task(other)->task, &self->task);
    else
        res = VLT_makeemptytask(env == Py_None ? nullptr : reinterpret_cast<EnvObject*>(env)->env, &self->task);
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
    if (self->task) {
        VLT_deletetask(&self->task);
        self->task = nullptr;
    }
    clear_slots(self);
    Py_TYPE(object)->tp_free(object);
}

PyObject* task_set_stream(PyObject* object, PyObject* args) {
    int stream;
    PyObject* func;
    if (!PyArg_ParseTuple(args, "iO", &stream, &func)) return nullptr;
    if (stream >= 0 && stream < 4) {
        Py_INCREF(func);
        Py_XSETREF(as_task(object)->streams[stream], func);
    }
    Py_RETURN_NONE;
}

PyObject* task_remove_stream(PyObject* object, PyObject* args) {
    int stream;
    if (!PyArg_ParseTuple(args, "i", &stream)) return nullptr;
    if (stream >= 0 && stream < 4) Py_CLEAR(as_task(object)->streams[stream]);
    Py_RETURN_NONE;
}

PyObject* set_slot(PyObject*& slot, PyObject* args) {
    PyObject* func;
    if (!PyArg_ParseTuple(args, "O", &func)) return nullptr;
    Py_INCREF(func);
    Py_XSETREF(slot, func);
    Py_RETURN_NONE;
}

PyObject* task_set_progress(PyObject* object, PyObject* args) { return set_slot(as_task(object)->progress, args); }
PyObject* task_set_info(PyObject* object, PyObject* args) { return set_slot(as_task(object)->info, args); }
PyObject* task_remove_progress(PyObject* object, PyObject*) {
    Py_CLEAR(as_task(object)->progress);
    Py_RETURN_NONE;
}
PyObject* task_remove_info(PyObject* object, PyObject*) {
    Py_CLEAR(as_task(object)->info);
    Py_RETURN_NONE;
}

PyObject* task_dispose(PyObject* object, PyObject*) {
    TaskObject* self = as_task(object);
    if (self->task) {
        VLT_deletetask(&self->task);
        self->task = nullptr;
    }
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
    int32_t res = VLT_writedatahandle(as_task(object)->task, write_chunk, stream, dformat, compress);
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
    PyObject* result = Py_BuildValue("(is)", code, buffer);
    std::free(buffer);
    return result;
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
    if (!object) {
        VLT_deletetask(&task);  // nobody else would ever delete it
        return nullptr;
    }
    TaskObject* self = as_task(object);
    clear_slots(self);
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
