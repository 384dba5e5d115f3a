// Reports on the problem, its solutions and the last optimizer run, written to
// one of the task's streams.  Each throws VLT_RES_ERR_INVALID_STREAM for a
// stream that is not 0 to 3.
#pragma once

#include <cstdint>
#include <string>

namespace vlt {
class Task;
}

namespace vlt::solve {

void analyze_problem(Task& task, int32_t whichstream);
void analyze_solution(Task& task, int32_t whichstream, int32_t whichsol);
void solution_summary(Task& task, int32_t whichstream);
void one_solution_summary(Task& task, int32_t whichstream, int32_t whichsol);
void optimizer_summary(Task& task, int32_t whichstream);
std::string solution_summary_text(Task& task, int32_t whichsol);

}  // namespace vlt::solve
