// The optimization server's jobs: tasks waiting for a worker, being solved
// and solved, each known by an unguessable token.
//
// A finished job's result and log are written to the work folder
// (<token>.result, <token>.log) before the job counts as done, so a server
// restarted on the same folder serves them again; they are removed, from
// memory and from the folder, once the retention time has passed since the
// job finished (or when the client forgets the job).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/task.hpp"
#include "remote/protocol.hpp"

namespace vlt::server {

struct StoreOptions {
    std::filesystem::path workdir;
    int threads = 1;               // jobs solved at once
    double retention_seconds = 3600;
};

class JobStore {
public:
    explicit JobStore(StoreOptions options);
    ~JobStore();  // stops the running jobs and waits for the workers
    JobStore(const JobStore&) = delete;
    JobStore& operator=(const JobStore&) = delete;

    // Queues a task (already read and checked); its token.
    std::string submit(std::unique_ptr<Task> task);

    // nullopt: no such job.  With a wait, answers once the job is done or
    // the wait has passed.
    std::optional<remote::protocol::JobStatus> status(const std::string& token, std::chrono::milliseconds wait);
    std::optional<std::string> log(const std::string& token, int64_t from);
    // nullopt: no such job; an empty string: not done yet.
    std::optional<std::string> result(const std::string& token);
    bool stop(const std::string& token);
    bool forget(const std::string& token);

    // Jobs restored from the work folder at start.
    size_t restored() const { return restored_; }

private:
    struct Job;
    using Clock = std::chrono::system_clock;

    void work();
    void run(Job& job);
    void finish(Job& job, std::string result, int32_t response, int32_t trmcode);
    void expire_loop();
    void restore();
    void remove_files(const std::string& token) const;
    std::shared_ptr<Job> find(const std::string& token);

    StoreOptions options_;
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
