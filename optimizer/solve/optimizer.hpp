// The optimizer driver: picks an algorithm for the task's problem from its
// parameters, runs the engine, reports progress to the task's callback and
// log, and stores the solutions, statuses and information items.
#pragma once

#include <cstdint>

namespace vlt {
class Task;
}

namespace vlt::solve {

// Optimizes the task and returns the termination code (VLT_RES_OK, or one
// of VLT_RES_TRM_*).  Throws vlt::Error when the problem cannot be optimized
// at all (malformed data, no optimizer for its type).
int32_t optimize(Task& task);

}  // namespace vlt::solve
