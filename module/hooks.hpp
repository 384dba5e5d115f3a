// The handles that the library passes back to the hooks of Env and Task
// objects.  Not the object's address: a slot of this table with a
// generation, so that a hook that runs after its object is gone (a call
// still running on another thread when the object was deallocated) finds
// nothing instead of freed memory.
//
// attach, detach, find and set_callables run with the interpreter lock held.
// has_callable runs without it: it tells a hook whether it needs the lock
// at all (a stream without a callable costs no lock).
#pragma once

#include <Python.h>

#include <cstdint>

namespace vlt::py::hooks {

// Which callables an object holds: bit k for stream k, then these.
constexpr unsigned kProgress = 1u << 4;
constexpr unsigned kInfo = 1u << 5;
constexpr unsigned stream_bit(int stream) { return 1u << stream; }

// A new handle for object (never null), or null with MemoryError set.
void* attach(PyObject* object);
// The handle no longer finds its object.  A null handle is ignored.
void detach(void* handle);
// The object of a live handle (a borrowed reference), or null.
PyObject* find(void* handle);
// Records which callables the object holds now.
void set_callables(void* handle, unsigned bits);
// Whether the object of a live handle holds one of the callables in bits.
bool has_callable(void* handle, unsigned bits);

// What a set_ method stores for `func`: null for None (the slot is emptied,
// as by the remove_ method), func itself for a callable.  Any other object
// is refused with TypeError: stored, it would fail at every later message or
// progress event.  False with the error set.
bool callable_or_none(PyObject* func, PyObject** stored);

}  // namespace vlt::py::hooks
