// The Env type: an optimizer environment (own or global) and its streams.
#include "module/hooks.hpp"
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

EnvObject* as_env(PyObject* self) { return reinterpret_cast<EnvObject*>(self); }

// Tells the hook table which stream callables the object holds.
void publish_callables(EnvObject* self) {
    unsigned bits = 0;
    for (int k = 0; k < 4; ++k)
        if (self->streams[k]) bits |= hooks::stream_bit(k);
    hooks::set_callables(self->hooks, bits);
}

void clear_streams(EnvObject* self) {
    for (PyObject*& slot : self->streams) Py_CLEAR(slot);
    publish_callables(self);
}

// Stream forwarders: a failing Env callable is silenced, the library's work
// goes on.  The object is found through the hook table (nothing if it is
// gone) and held while the callable runs, which may drop the last other
// reference to it.
template <int Stream>
void VLTAPI forward_env_stream(void* handle, const char* message) {
    if (!hooks::has_callable(handle, hooks::stream_bit(Stream))) return;
    PyGILState_STATE state = PyGILState_Ensure();
    if (PyObject* self = hooks::find(handle)) {
        Py_INCREF(self);
        if (PyObject* func = reinterpret_cast<EnvObject*>(self)->streams[Stream]) {
            Py_INCREF(func);
            PyObject* result = call_with_text(func, message);
            if (result)
                Py_DECREF(result);
            else
                PyErr_Clear();
            Py_DECREF(func);
        }
        Py_DECREF(self);
    }
    PyGILState_Release(state);
}

constexpr VLTstreamfunc kForwarders[4] = {forward_env_stream<0>, forward_env_stream<1>, forward_env_stream<2>,
                                          forward_env_stream<3>};

PyObject* env_new(PyTypeObject* type, PyObject*, PyObject*) {
    PyObject* self = type->tp_alloc(type, 0);
    if (!self) return nullptr;
    as_env(self)->env = nullptr;
    as_env(self)->hooks = hooks::attach(self);
    if (!as_env(self)->hooks) {
        Py_TYPE(self)->tp_free(self);
        return nullptr;
    }
    return self;
}

int env_init(PyObject* object, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"dbgfile", "globalenv", nullptr};
    EnvObject* self = as_env(object);
    const char* dbgfile = nullptr;
    int globalenv = 0;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|sp", const_cast<char**>(keywords), &dbgfile, &globalenv))
        return -1;
    // Initialising an object twice must not leak the first environment.
    if (self->env) VLT_deleteenv(&self->env);
    self->env = nullptr;
    clear_streams(self);
    self->global = globalenv;
    if (globalenv) {
        self->env = nullptr;
    } else {
        if (VLT_makeenv(&self->env, dbgfile) != 0) {
            PyErr_SetString(PyExc_ValueError, "Failed to create Env object");
            return -1;
        }
        for (int stream : {0, 1, 3, 2}) VLT_linkfunctoenvstream(self->env, stream, self->hooks, kForwarders[stream]);
    }
    return 0;
}

void env_dealloc(PyObject* object) {
    EnvObject* self = as_env(object);
    hooks::detach(self->hooks);  // first: a late hook must not find the object
    self->hooks = nullptr;
    if (self->env || self->global) {
        VLT_deleteenv(&self->env);
        self->global = 0;
        self->env = nullptr;
    }
    // Also callables set after dispose(): the object must not leak them.
    clear_streams(self);
    Py_TYPE(object)->tp_free(object);
}

PyObject* env_set_stream(PyObject* object, PyObject* args) {
    int stream;
    PyObject* func;
    if (!PyArg_ParseTuple(args, "iO", &stream, &func)) return nullptr;
    if (stream >= 0 && stream < 4) {
        if (!hooks::callable_or_none(func, &func)) return nullptr;
        Py_XINCREF(func);
        Py_XSETREF(as_env(object)->streams[stream], func);
        publish_callables(as_env(object));
    }
    Py_RETURN_NONE;
}

PyObject* env_remove_stream(PyObject* object, PyObject* args) {
    int stream;
    if (!PyArg_ParseTuple(args, "i", &stream)) return nullptr;
    if (stream >= 0 && stream < 4) {
        Py_CLEAR(as_env(object)->streams[stream]);
        publish_callables(as_env(object));
    }
    Py_RETURN_NONE;
}

PyObject* env_enablegarcolenv(PyObject* object, PyObject*) {
    EnvObject* self = as_env(object);
    if (!self->env) return PyLong_FromLong(0);
    return PyLong_FromLong(VLT_enablegarcolenv(self->env));
}

PyObject* env_dispose(PyObject* object, PyObject*) {
    EnvObject* self = as_env(object);
    if (self->env) {
        self->global = 0;
        VLT_deleteenv(&self->env);
        self->env = nullptr;
        clear_streams(self);
    } else if (self->global) {
        self->global = 0;
        self->env = nullptr;
        clear_streams(self);
    }
    Py_RETURN_NONE;
}

PyMethodDef stream_rows[] = {
    {"set_Stream", env_set_stream, METH_VARARGS, "set_Stream(whichstream,func)"},
    {"remove_Stream", env_remove_stream, METH_VARARGS, "remove_Stream(whichstream)"},
    {"enablegarcolenv", env_enablegarcolenv, METH_NOARGS, "enablegarcolenv()"},
};

PyMethodDef dispose_rows[] = {
    {"dispose", env_dispose, METH_NOARGS, "dispose()"},
};

const PyMethodDef service_rows[] = {
    Method<"echointro_i_2", VLT_echointro, EnvHandle, I32<"longver">>::def(),
    Method<"getcodedesc_iOO_1", VLT_getcodedesc, I32<"code">, FixedText<"symname", 1024>, FixedText<"str", 1024>>::def(),
    Method<"getversion__0", VLT_getversion, Ret<int32_t>, Ret<int32_t>, Ret<int32_t>>::def(),
    Method<"linkfiletoenvstream_isi_4", VLT_linkfiletoenvstream, EnvHandle, I32<"whichstream">, Str<"filename">,
           I32<"append">>::def(),
};

}  // namespace

MethodList env_stream_methods() { return methods_of(stream_rows); }
MethodList env_service_methods() { return methods_of(service_rows); }
MethodList env_dispose_methods() { return methods_of(dispose_rows); }

PyTypeObject EnvType = [] {
    PyTypeObject type{};
    type.ob_base.ob_base.ob_refcnt = 1;  // as PyVarObject_HEAD_INIT(nullptr, 0)
    type.tp_name = "_vlt.Env";
    type.tp_basicsize = sizeof(EnvObject);
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE;
    type.tp_doc = "Env objects";
    type.tp_new = env_new;
    type.tp_init = env_init;
    type.tp_dealloc = env_dealloc;
    return type;
}();

}  // namespace vlt::py
