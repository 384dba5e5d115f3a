// The worker side of a job: the server runs its own program with
//
//   velto-server --job WORKDIR TOKEN MAX_TASK_BYTES
//
// which reads WORKDIR/TOKEN.input, solves it, writes the log to stdout as
// it goes and leaves WORKDIR/TOKEN.result and WORKDIR/TOKEN.status.  The
// worker dies with the server, and SIGUSR1 asks its optimizer to stop (the
// server starts it with that signal blocked, so that a stop sent at once is
// kept until the worker listens).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace vlt {
class Task;
}

namespace vlt::server {

// The task of a request body: decompressed (at most max_bytes), read and
// checked as a whole, and set to be solved here rather than sent on.
// Throws vlt::Error.
std::unique_ptr<Task> read_task(const std::string& body, size_t max_bytes);

// The worker program: its exit status.
int run_worker(int argc, char** argv);

}  // namespace vlt::server
