// The client side of remote optimization: a task sent to an optimization
// server (server/) in the binary task format, solved there with the task's
// own parameters, and its solutions and information items loaded back as if
// it had been optimized here.
//
// Every request ends within DPAR_REMOTE_TIMEOUT seconds (negative: no
// limit), however slowly the server answers, so a server that cannot be
// reached, hangs or dies during a job ends the call with a
// VLT_RES_ERR_SERVER_* code within that time; a job itself may run as long
// as its own limits allow.  A job asked to stop by the progress hook is
// waited for at most 5 seconds (or the timeout, when shorter): then it is
// abandoned and the call returns VLT_RES_TRM_USER_CALLBACK without a
// solution.  An answer larger than a result of the task can be is refused.  The task is
// compressed on the way as IPAR_REMOTE_USE_COMPRESSION says.
#pragma once

#include <cstdint>
#include <string>

namespace vlt {
class Task;
}

namespace vlt::remote {

struct JobCodes {
    int32_t done = 0;      // 1 when the job has finished
    int32_t response = 0;  // its response code
    int32_t trmcode = 0;   // its termination code
};

// address is a server address (server_address.hpp); access_token may be
// null or empty (the address's own token, if any, is used then).

// Solves the task on the server and waits for the result, forwarding the
// job's log to the task's log stream and the task's progress hook's stop
// requests to the server; returns the termination code.  A job that failed
// on the server throws its error, as the local optimizer would have.
int32_t optimize_remotely(Task& task, const char* address, const char* access_token);

// Starts a job; the job token (protocol::kTokenLength characters).
std::string start_job(const Task& task, const char* address, const char* access_token);
JobCodes poll_job(const Task& task, const char* address, const char* access_token, const char* token);
// Polls and, when the job is done, loads its result and log into the task.
JobCodes fetch_job(Task& task, const char* address, const char* access_token, const char* token);
void stop_job(const Task& task, const char* address, const char* access_token, const char* token);

// Throws VLT_RES_ERR_SERVER_HOST unless the text is a server address.
void check_address(const char* address);

}  // namespace vlt::remote
