// The optimization server's jobs: tasks waiting for a worker, being solved
// and solved, each known by an unguessable token.
//
// Each job is solved in a worker process of its own (this program run with
// --job, job_worker.hpp): the task goes to it as <token>.input in the work
// folder, its log comes back through a pipe, and it leaves <token>.result
// and <token>.status there.  A worker that crashes, is killed or runs out of
// memory takes only its job with it: the job ends failed with a message
// saying so, and the server and the other jobs go on.
//
// A finished job's result, status and log stay in the work folder, so a
// server restarted on the same folder serves them again; results are read
// from their files when asked for, never held in memory.  They are removed
// once the retention time has passed since the job finished (or when the
// client forgets the job).  One server at a time uses a folder: it holds a
// lock on <folder>/.velto-server.lock while it runs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "http_message.hpp"
#include "remote/protocol.hpp"

namespace vlt::server {

struct StoreOptions {
    std::filesystem::path workdir;
    // This program, run with --job for each job: the file the server was
    // started from, even when another has been installed under its name since.
    std::string worker_program = "/proc/self/exe";
    size_t max_task_bytes = size_t{1} << 30;
    int threads = 1;  // jobs solved at once
    double retention_seconds = 3600;
    size_t max_log_bytes = size_t{16} << 20;  // log text kept for a job; the rest is cut
};

// Another server holds the work folder.
class FolderInUse : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class JobStore {
public:
    explicit JobStore(StoreOptions options);
    ~JobStore();  // close(), then waits for the job threads
    JobStore(const JobStore&) = delete;
    JobStore& operator=(const JobStore&) = delete;

    // Queues a task (its bytes as received, already checked); its token.
    std::string submit(std::string task_bytes);

    // nullopt: no such job.  With a wait, answers once the job is done or
    // the wait has passed.
    std::optional<remote::protocol::JobStatus> status(const std::string& token, std::chrono::milliseconds wait);
    std::optional<std::string> log(const std::string& token, int64_t from);

    struct ResultFile {
        bool done = false;
        http::Fd file;  // open on the result (none when it has been lost)
        size_t bytes = 0;
    };
    // nullopt: no such job.
    std::optional<ResultFile> result(const std::string& token);
    bool stop(const std::string& token);
    bool forget(const std::string& token);

    // Wakes every waiting request and kills the running workers: a server
    // that is stopping answers at once.
    void close();

    // Jobs restored from the work folder at start.
    size_t restored() const { return restored_; }

private:
    struct Job;
    using Clock = std::chrono::system_clock;

    void work();
    void run(Job& job);
    std::optional<std::string> solve_in_worker(Job& job);
    void follow_log(Job& job, int pipe);
    void finish(Job& job, int32_t response, int32_t trmcode);
    void finish_failed(Job& job, const std::string& why);
    void expire_loop();
    void lock_folder();
    void restore();
    void remove_files(const std::string& token) const;
    std::filesystem::path file(const std::string& token, const char* extension) const;
    std::shared_ptr<Job> find(const std::string& token);

    StoreOptions options_;
    http::Fd lock_;
    std::mutex mutex_;
    std::condition_variable queue_changed_, job_finished_, expiry_wake_;
    std::unordered_map<std::string, std::shared_ptr<Job>> jobs_;
    std::deque<std::shared_ptr<Job>> queue_;
    bool closing_ = false;
    size_t restored_ = 0;
    std::vector<std::thread> workers_;
    std::thread expirer_;
};

// 64 lowercase hexadecimal digits from the system's random source.
std::string new_token();

}  // namespace vlt::server
