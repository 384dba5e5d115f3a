/* A minimal hand-written CPython extension: the reference against which
 * bench/call_overhead.py measures the generated methods of _vlt.
 *
 * Each method is written out by hand the way one would without a template:
 * parse with PyArg_ParseTuple in the same format, pin the caller's memoryviews
 * with PyObject_GetBuffer and check strides[0] and shape[0], make the same
 * size queries and the same library call with the interpreter lock released,
 * build the result with Py_BuildValue.  It works on the task handle of an
 * existing _vlt.Task, so that both call into the same task.
 */
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <string.h>

#include "velto.h"

/* The leading fields of a _vlt.Task object: the header, then the handle. */
typedef struct {
    PyObject_HEAD
    VLTtask_t task;
} VltTaskLayout;

typedef struct {
    PyObject_HEAD
    VLTtask_t task;
    PyObject *owner; /* the _vlt.Task whose handle this is, kept alive */
} RefTask;

/* Pins a caller's view: 0 for None, 1 when pinned, -1 with an error set. */
static int pin_view(PyObject *object, Py_buffer *buffer, Py_ssize_t width, const char *name) {
    if (object == Py_None) return 0;
    if (Py_TYPE(object) != &PyMemoryView_Type) {
        PyErr_Format(PyExc_TypeError, "Expected a memoryview object for argument %s", name);
        return -1;
    }
    if (PyObject_GetBuffer(object, buffer, PyBUF_FULL_RO) != 0) return -1;
    if (buffer->ndim < 1 || buffer->strides[0] != width) {
        PyBuffer_Release(buffer);
        PyErr_Format(PyExc_TypeError, "Expected a continuous memoryview object for argument %s", name);
        return -1;
    }
    return 1;
}

static int too_short(const char *name) {
    PyErr_Format(PyExc_TypeError, "Array is too short in argument %s", name);
    return -1;
}

static PyObject *ref_getnumcon(RefTask *self, PyObject *unused) {
    (void)unused;
    int32_t numcon = 0;
    PyThreadState *save = PyEval_SaveThread();
    int32_t res = VLT_getnumcon(self->task, &numcon);
    PyEval_RestoreThread(save);
    if (PyErr_Occurred()) return NULL;
    if (res != 0) return Py_BuildValue("iO", res, Py_None);
    return Py_BuildValue("ii", 0, numcon);
}

static PyObject *ref_putarow(RefTask *self, PyObject *args) {
    int i;
    PyObject *osub, *oval;
    Py_buffer bsub, bval;
    if (!PyArg_ParseTuple(args, "iOO", &i, &osub, &oval)) return NULL;
    int psub = pin_view(osub, &bsub, 4, "subi");
    if (psub < 0) return NULL;
    int pval = pin_view(oval, &bval, 8, "vali");
    PyObject *result = NULL;
    if (pval < 0) goto done;
    int32_t nzi = psub ? (int32_t)bsub.shape[0] : pval ? (int32_t)bval.shape[0] : 0;
    if (psub && pval && (int32_t)bval.shape[0] != nzi) {
        PyErr_SetString(PyExc_TypeError, "Mismatching lengths of arguments subi,vali");
        goto done;
    }
    PyThreadState *save = PyEval_SaveThread();
    int32_t res = VLT_putarow(self->task, i, nzi, psub ? bsub.buf : NULL, pval ? bval.buf : NULL);
    PyEval_RestoreThread(save);
    if (!PyErr_Occurred()) result = Py_BuildValue("iO", res, Py_None);
done:
    if (pval > 0) PyBuffer_Release(&bval);
    if (psub > 0) PyBuffer_Release(&bsub);
    return result;
}

static PyObject *ref_getarow(RefTask *self, PyObject *args) {
    int i;
    PyObject *osub, *oval;
    Py_buffer bsub, bval;
    PyThreadState *save;
    int32_t res, nzi = 0;
    if (!PyArg_ParseTuple(args, "iOO", &i, &osub, &oval)) return NULL;
    int psub = pin_view(osub, &bsub, 4, "subi");
    if (psub < 0) return NULL;
    int pval = pin_view(oval, &bval, 8, "vali");
    PyObject *result = NULL;
    if (pval < 0) goto done;
    /* the count is asked for once before each array's check */
    save = PyEval_SaveThread();
    res = VLT_getarownumnz(self->task, i, &nzi);
    PyEval_RestoreThread(save);
    if (PyErr_Occurred()) goto done;
    if (res != 0) {
        result = Py_BuildValue("iO", res, Py_None);
        goto done;
    }
    if (psub && bsub.shape[0] != nzi) {
        too_short("subi");
        goto done;
    }
    save = PyEval_SaveThread();
    res = VLT_getarownumnz(self->task, i, &nzi);
    PyEval_RestoreThread(save);
    if (PyErr_Occurred()) goto done;
    if (res != 0) {
        result = Py_BuildValue("iO", res, Py_None);
        goto done;
    }
    if (pval && bval.shape[0] != nzi) {
        too_short("vali");
        goto done;
    }
    save = PyEval_SaveThread();
    res = VLT_getarow(self->task, i, &nzi, psub ? bsub.buf : NULL, pval ? bval.buf : NULL);
    PyEval_RestoreThread(save);
    if (PyErr_Occurred()) goto done;
    result = res != 0 ? Py_BuildValue("iO", res, Py_None) : Py_BuildValue("ii", 0, nzi);
done:
    if (pval > 0) PyBuffer_Release(&bval);
    if (psub > 0) PyBuffer_Release(&bsub);
    return result;
}

static PyObject *ref_getacolslice64(RefTask *self, PyObject *args) {
    int first, last;
    PyObject *objects[4];
    Py_buffer buffers[4];
    int pinned[4] = {0, 0, 0, 0};
    static const Py_ssize_t widths[4] = {8, 8, 4, 8};
    static const char *const names[4] = {"ptrb", "ptre", "sub", "val"};
    void *data[4] = {NULL, NULL, NULL, NULL};
    PyObject *result = NULL;
    int k;
    if (!PyArg_ParseTuple(args, "iiOOOO", &first, &last, &objects[0], &objects[1], &objects[2], &objects[3]))
        return NULL;
    for (k = 0; k < 4; ++k) {
        pinned[k] = pin_view(objects[k], &buffers[k], widths[k], names[k]);
        if (pinned[k] < 0) goto done;
    }
    int64_t maxnumnz = 0;
    PyThreadState *save = PyEval_SaveThread();
    int32_t res = VLT_getacolslicenumnz64(self->task, first, last, &maxnumnz);
    PyEval_RestoreThread(save);
    if (PyErr_Occurred()) goto done;
    if (res != 0) {
        result = Py_BuildValue("iO", res, Py_None);
        goto done;
    }
    int64_t slice = (int64_t)last - (int64_t)first;
    for (k = 0; k < 4; ++k) {
        if (pinned[k] <= 0) continue;
        if (buffers[k].shape[0] != (k < 2 ? slice : maxnumnz)) {
            too_short(names[k]);
            goto done;
        }
        data[k] = buffers[k].buf;
    }
    save = PyEval_SaveThread();
    res = VLT_getacolslice64(self->task, first, last, maxnumnz, data[0], data[1], data[2], data[3]);
    PyEval_RestoreThread(save);
    if (!PyErr_Occurred()) result = Py_BuildValue("iO", res, Py_None);
done:
    for (k = 0; k < 4; ++k)
        if (pinned[k] > 0) PyBuffer_Release(&buffers[k]);
    return result;
}

static PyMethodDef ref_task_methods[] = {
    {"getnumcon", (PyCFunction)ref_getnumcon, METH_NOARGS, NULL},
    {"putarow", (PyCFunction)ref_putarow, METH_VARARGS, NULL},
    {"getarow", (PyCFunction)ref_getarow, METH_VARARGS, NULL},
    {"getacolslice64", (PyCFunction)ref_getacolslice64, METH_VARARGS, NULL},
    {NULL, NULL, 0, NULL},
};

static int is_vlt_task(PyObject *object) { return strcmp(Py_TYPE(object)->tp_name, "_vlt.Task") == 0; }

static PyObject *ref_task_new(PyTypeObject *type, PyObject *args, PyObject *kwargs) {
    PyObject *owner;
    static char *keywords[] = {"task", NULL};
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O", keywords, &owner)) return NULL;
    if (!is_vlt_task(owner) || !((VltTaskLayout *)owner)->task) {
        PyErr_SetString(PyExc_TypeError, "expected a live _vlt.Task");
        return NULL;
    }
    RefTask *self = (RefTask *)type->tp_alloc(type, 0);
    if (!self) return NULL;
    Py_INCREF(owner);
    self->owner = owner;
    self->task = ((VltTaskLayout *)owner)->task;
    return (PyObject *)self;
}

static void ref_task_dealloc(RefTask *self) {
    Py_XDECREF(self->owner);
    Py_TYPE(self)->tp_free((PyObject *)self);
}

static PyTypeObject RefTaskType = {
    PyVarObject_HEAD_INIT(NULL, 0)
    .tp_name = "ref_ext.RefTask",
    .tp_basicsize = sizeof(RefTask),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = "Hand-written wrappers around the handle of a _vlt.Task",
    .tp_new = ref_task_new,
    .tp_dealloc = (destructor)ref_task_dealloc,
    .tp_methods = ref_task_methods,
};

/* The task handle of a _vlt.Task as an int, for ctypes. */
static PyObject *ref_handle(PyObject *module, PyObject *task) {
    (void)module;
    if (!is_vlt_task(task) || !((VltTaskLayout *)task)->task) {
        PyErr_SetString(PyExc_TypeError, "expected a live _vlt.Task");
        return NULL;
    }
    return PyLong_FromVoidPtr(((VltTaskLayout *)task)->task);
}

static PyMethodDef ref_module_methods[] = {
    {"handle", ref_handle, METH_O, NULL},
    {NULL, NULL, 0, NULL},
};

static struct PyModuleDef ref_module = {
    PyModuleDef_HEAD_INIT, "ref_ext", "Hand-written reference wrappers", -1, ref_module_methods,
    NULL, NULL, NULL, NULL,
};

PyMODINIT_FUNC PyInit_ref_ext(void) {
    if (PyType_Ready(&RefTaskType) < 0) return NULL;
    PyObject *module = PyModule_Create(&ref_module);
    if (!module) return NULL;
    Py_INCREF(&RefTaskType);
    if (PyModule_AddObject(module, "RefTask", (PyObject *)&RefTaskType) < 0) {
        Py_DECREF(&RefTaskType);
        Py_DECREF(module);
        return NULL;
    }
    return module;
}
