#include "module/marshal.hpp"

#include <algorithm>
#include <cstring>

namespace vlt::py {

void raise_not_memoryview(const char* name) {
    PyErr_Format(PyExc_TypeError, "Expected a memoryview object for argument %s", name);
}
void raise_not_continuous(const char* name) {
    PyErr_Format(PyExc_TypeError, "Expected a continuous memoryview object for argument %s", name);
}
void raise_not_bytearray(const char* name) { PyErr_Format(PyExc_TypeError, "Bytearray object for argument %s", name); }
void raise_view_count(const char* name) { PyErr_Format(PyExc_TypeError, "Array is too short in argument %s", name); }
void raise_key_count(const char* name) { PyErr_Format(PyExc_TypeError, "Argument %s is too short", name); }
void raise_mismatch(const char* names) {
    PyErr_Format(PyExc_TypeError, "Mismatching lengths of arguments %s", names);
}

void raise_no_memory() { PyErr_SetString(PyExc_MemoryError, "Failed to allocate memory"); }
void raise_value_error(const char* text, const char* name) { PyErr_Format(PyExc_ValueError, "%s%s", text, name); }

PyObject* library_text(const char* text) {
    return PyUnicode_DecodeUTF8(text, Py_ssize_t(std::strlen(text)), "backslashreplace");
}

PyObject* call_with_text(PyObject* func, const char* text) {
    PyObject* argument = library_text(text);
    if (!argument) return nullptr;
    PyObject* result = PyObject_CallFunctionObjArgs(func, argument, nullptr);
    Py_DECREF(argument);
    return result;
}

PyObject* result_res_none(int32_t res) {
    // (0, None) is by far the most common result: one shared, immutable pair.
    static PyObject* success = Py_BuildValue("iO", 0, Py_None);
    if (res == 0 && success) {
        Py_INCREF(success);
        return success;
    }
    PyObject* pair = PyTuple_New(2);
    if (!pair) return nullptr;
    PyObject* code = PyLong_FromLong(res);
    if (!code) {
        Py_DECREF(pair);
        return nullptr;
    }
    PyTuple_SET_ITEM(pair, 0, code);
    Py_INCREF(Py_None);
    PyTuple_SET_ITEM(pair, 1, Py_None);
    return pair;
}

bool is_bytearray(PyObject* object) { return object && PyByteArray_Check(object); }

bool PinnedView::check(PyObject* object, Py_ssize_t width, const char* name, bool writable) {
    if (object == Py_None) return true;
    if (Py_TYPE(object) != &PyMemoryView_Type) {
        raise_not_memoryview(name);
        return false;
    }
    // The export keeps the buffer alive and unmovable until the method
    // returns; a released view refuses it with the interpreter's own error.
    if (PyObject_GetBuffer(object, &buffer, writable ? PyBUF_FULL : PyBUF_FULL_RO) != 0) return false;
    pinned = true;
    // A zero-dimensional view has no first dimension to read.
    if (buffer.ndim < 1 || !buffer.shape || !buffer.strides || buffer.strides[0] != width) {
        raise_not_continuous(name);
        return false;
    }
    return true;
}

bool positions_within(const PinnedView& begins, const PinnedView& ends, int64_t length) {
    auto element = [](const PinnedView& v, Py_ssize_t k) {
        int64_t x;
        std::memcpy(&x, static_cast<const char*>(v.data()) + k * v.buffer.strides[0], sizeof x);
        return x;
    };
    for (Py_ssize_t k = 0; k < begins.count(); ++k)
        if (element(begins, k) < 0) return false;
    for (Py_ssize_t k = 0; k < ends.count(); ++k)
        if (element(ends, k) > length) return false;
    return true;
}

bool columns_within(const PinnedView& starts, const PinnedView& counts, int64_t length) {
    const Py_ssize_t n = std::min(starts.count(), counts.count());
    for (Py_ssize_t k = 0; k < n; ++k) {
        int64_t start;
        int32_t count;
        std::memcpy(&start, static_cast<const char*>(starts.data()) + k * starts.buffer.strides[0], sizeof start);
        std::memcpy(&count, static_cast<const char*>(counts.data()) + k * counts.buffer.strides[0], sizeof count);
        if (count <= 0) continue;
        if (start < 0 || start > length - count) return false;
    }
    return true;
}

bool NameTable::make(PyObject* offsets_object, PyObject* bytes_object, const char* name) {
    if (offsets_object == Py_None || bytes_object == Py_None) return true;
    // Both types before either width.
    if (Py_TYPE(offsets_object) != &PyMemoryView_Type || Py_TYPE(bytes_object) != &PyMemoryView_Type) {
        raise_not_memoryview(name);
        return false;
    }
    if (!offsets.check(offsets_object, sizeof(int64_t), name) || !bytes.check(bytes_object, 1, name)) return false;

    const Py_ssize_t n = offsets.count();
    if (size_t(n) > SIZE_MAX / sizeof(const char*) - 1) {
        raise_no_memory();
        return false;
    }
    // One spare entry: an empty table is a valid (non-null) allocation.
    entries = static_cast<const char**>(std::malloc((size_t(n) + 1) * sizeof(const char*)));
    if (!entries) {
        raise_no_memory();
        return false;
    }
    // A name starting at offset o ends inside the view exactly when the
    // view's last NUL is at o or after it.
    const char* text = static_cast<const char*>(bytes.data());
    int64_t last_nul = bytes.count() - 1;
    while (last_nul >= 0 && text[last_nul] != '\0') --last_nul;
    const char* at = static_cast<const char*>(offsets.data());
    for (Py_ssize_t k = 0; k < n; ++k) {
        int64_t offset;
        std::memcpy(&offset, at + k * offsets.buffer.strides[0], sizeof offset);
        if (offset < 0 || offset > last_nul) {
            raise_view_count(name);
            return false;
        }
        entries[k] = text + offset;
    }
    count = n;
    return true;
}

bool BytesView::make(PyObject* object, Py_ssize_t bytes, const char* name, bool check_type, bool check_stride) {
    if (check_type && !is_bytearray(object)) {
        raise_not_bytearray(name);
        return false;
    }
    if (PyByteArray_Resize(object, bytes) != 0) return false;
    view = PyMemoryView_FromObject(object);
    if (!view) return false;
    if (check_stride && PyMemoryView_GET_BUFFER(view)->strides[0] != 1) {
        raise_not_continuous(name);
        return false;
    }
    return true;
}

}  // namespace vlt::py
