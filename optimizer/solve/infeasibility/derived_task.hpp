// A problem derived from a task's (a subsystem of it, its elastic form)
// solved through the library's own optimize path: in a task of its own in
// the same environment, with the task's parameters and a silent log.
#pragma once

#include <cstdint>
#include <memory>

#include "core/task.hpp"

namespace vlt::solve {

std::unique_ptr<Task> derived_task(Task& parent, model::Problem problem);

// What a run on a derived task found, read from its basic solution when it
// has one, else its interior-point or integer solution.
enum class Verdict { feasible, infeasible, unknown };
struct DerivedOutcome {
    Verdict verdict = Verdict::unknown;
    int32_t whichsol = -1;  // the solution read, or -1
};
DerivedOutcome optimize_derived(Task& derived);

}  // namespace vlt::solve
