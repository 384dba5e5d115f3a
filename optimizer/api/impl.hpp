// What an implementation file of the entry points includes: the generated
// declarations of vlt::impl::<name>, the task and environment types, errors.
#pragma once

#include "api_impl.hpp"
#include "core/env.hpp"
#include "base/error.hpp"
#include "core/library.hpp"
#include "core/task.hpp"

namespace vlt {

// Writes an output argument of an entry point; a null pointer means the
// caller does not want that value.
template <class T>
void put_out(T* out, T value) {
    if (out) *out = value;
}

// Registers a new task object and returns its handle; deletes it on failure.
VLTtask_t register_task(Task* task);

}  // namespace vlt
