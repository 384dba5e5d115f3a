#include "module/hooks.hpp"

#include <atomic>
#include <new>
#include <vector>

namespace vlt::py::hooks {
namespace {

constexpr uint32_t kChunkSize = 1024;
constexpr uint32_t kChunks = 4096;

struct Slot {
    // The generation in the high 32 bits, the callable bits in the low ones:
    // read without the interpreter lock by has_callable.
    std::atomic<uint64_t> tag{uint64_t(1) << 32};
    PyObject* object = nullptr;
};

// Slots are never freed: a late hook may still read one.
std::atomic<Slot*> chunks[kChunks];
std::vector<uint32_t>* free_slots = new std::vector<uint32_t>();
uint32_t next_slot = 0;

uint32_t generation_of(uint64_t value) { return uint32_t(value >> 32); }

// The slot that a handle names, live or not (null for a value that names none).
Slot* any_slot_of(void* handle) {
    uint64_t low = reinterpret_cast<uintptr_t>(handle) & 0xffffffffu;
    if (low == 0 || low > uint64_t(kChunkSize) * kChunks) return nullptr;
    uint32_t index = uint32_t(low - 1);
    Slot* chunk = chunks[index / kChunkSize].load(std::memory_order_acquire);
    return chunk ? &chunk[index % kChunkSize] : nullptr;
}

bool is_current(uint64_t tag, void* handle) {
    return generation_of(tag) == generation_of(reinterpret_cast<uintptr_t>(handle));
}

// The slot of a live handle, or null.
Slot* slot_of(void* handle) {
    Slot* slot = any_slot_of(handle);
    return slot && is_current(slot->tag.load(std::memory_order_acquire), handle) ? slot : nullptr;
}

}  // namespace

void* attach(PyObject* object) {
    uint32_t index;
    if (!free_slots->empty()) {
        index = free_slots->back();
        free_slots->pop_back();
    } else {
        if (next_slot >= kChunkSize * kChunks) {
            PyErr_NoMemory();
            return nullptr;
        }
        index = next_slot++;
        auto& chunk = chunks[index / kChunkSize];
        if (!chunk.load(std::memory_order_relaxed)) {
            Slot* slots = new (std::nothrow) Slot[kChunkSize];
            if (!slots) {
                --next_slot;
                PyErr_NoMemory();
                return nullptr;
            }
            chunk.store(slots, std::memory_order_release);
        }
    }
    Slot& slot = chunks[index / kChunkSize].load(std::memory_order_relaxed)[index % kChunkSize];
    slot.object = object;
    uint64_t generation = generation_of(slot.tag.load(std::memory_order_relaxed));
    slot.tag.store(generation << 32, std::memory_order_release);
    return reinterpret_cast<void*>(uintptr_t((generation << 32) | (uint64_t(index) + 1)));
}

void detach(void* handle) {
    Slot* slot = slot_of(handle);
    if (!slot) return;
    slot->object = nullptr;
    uint32_t next_generation = generation_of(slot->tag.load(std::memory_order_relaxed)) + 1;
    if (next_generation == 0) next_generation = 1;
    slot->tag.store(uint64_t(next_generation) << 32, std::memory_order_release);
    free_slots->push_back(uint32_t((reinterpret_cast<uintptr_t>(handle) & 0xffffffffu) - 1));
}

PyObject* find(void* handle) {
    Slot* slot = slot_of(handle);
    return slot ? slot->object : nullptr;
}

void set_callables(void* handle, unsigned bits) {
    if (Slot* slot = slot_of(handle)) {
        uint64_t generation = generation_of(slot->tag.load(std::memory_order_relaxed));
        slot->tag.store((generation << 32) | bits, std::memory_order_release);
    }
}

bool has_callable(void* handle, unsigned bits) {
    Slot* slot = any_slot_of(handle);
    if (!slot) return false;
    uint64_t tag = slot->tag.load(std::memory_order_acquire);
    return is_current(tag, handle) && (tag & bits) != 0;
}

bool callable_or_none(PyObject* func, PyObject** stored) {
    if (func == Py_None) {
        *stored = nullptr;
        return true;
    }
    if (!PyCallable_Check(func)) {
        PyErr_Format(PyExc_TypeError, "Expected a callable object or None for argument func, not %.100s",
                     Py_TYPE(func)->tp_name);
        return false;
    }
    *stored = func;
    return true;
}

}  // namespace vlt::py::hooks
