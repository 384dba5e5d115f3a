// Batch optimization: several tasks optimized by a pool of threads in one
// call, each task by one thread.
//
//   numthreads <= 0: as many threads as the hardware runs at once; otherwise
//     that many (never more than there are distinct tasks).
//   maxtime > 0: a limit in seconds on the whole batch; when it passes, the
//     running optimizers are asked to stop (their trmcode becomes
//     VLT_RES_TRM_MAX_TIME) and the tasks not yet started are not started.
//   israce != 0: the first task that finishes with rcode 0 and trmcode 0
//     wins; the others are stopped or not started, with trmcode
//     VLT_RES_TRM_LOST_RACE.
// rcode[k] is the response code of task k (VLT_RES_ERR_NULL_TASK or
// VLT_RES_ERR_INVALID_TASK for a handle that is null or not live, the
// optimizer's error otherwise); trmcode[k] is its termination code, 0 when it
// was not optimized because of its own error.  A task listed twice is
// optimized once and both positions get its codes.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "api/call.hpp"
#include "api/impl.hpp"
#include "solve/optimizer.hpp"

namespace vlt {
namespace {

enum class StopReason { none, lost_race, time };

struct Batch {
    bool race = false;
    std::atomic<bool> stop{false};
    std::atomic<int> reason{int(StopReason::none)};
    std::mutex mutex;
    std::condition_variable all_done;
    size_t finished = 0;

    void request_stop(StopReason why) {
        int expected = int(StopReason::none);
        reason.compare_exchange_strong(expected, int(why));
        stop.store(true);
    }
    int32_t stop_code() const {
        return reason.load() == int(StopReason::time) ? VLT_RES_TRM_MAX_TIME : VLT_RES_TRM_LOST_RACE;
    }
};

struct Job {
    TaskRef task;  // keeps the task alive for the whole batch, also if it is deleted meanwhile
    int32_t rcode = VLT_RES_OK;
    int32_t trmcode = VLT_RES_OK;
};

constexpr const char* kFunction = "VLT_optimizebatch";

void run_job(Batch& batch, Job& job) {
    if (batch.stop.load()) {
        job.trmcode = batch.stop_code();
        return;
    }
    Task& task = *job.task;
    // Optimizing changes the task: the job waits for calls running on it,
    // unless the wait would never end or the batch was started from inside
    // one of the task's own callbacks.
    TaskEntry entry(task.lock);
    if (entry.entry() != TaskLock::Entry::exclusive) {
        job.rcode = VLT_RES_ERR_TASK_BUSY;
        task.report_error(kFunction, job.rcode,
                          api::entry_refusal(kFunction, task.running_call.load(), api::Access::changes,
                                             entry.entry()));
        return;
    }
    if (task.deleted()) {
        job.rcode = VLT_RES_ERR_INVALID_TASK;
        return;
    }
    task.running_call.store(kFunction);
    task.stop_request = &batch.stop;
    task.pending_warning = VLT_RES_OK;
    int32_t code = VLT_RES_OK;
    std::string message;
    try {
        job.trmcode = solve::optimize(task);
    } catch (const Error& e) {
        code = e.code();
        message = e.message();
    } catch (const std::bad_alloc&) {
        code = VLT_RES_ERR_SPACE;
        message = "Out of memory";
    } catch (const std::exception& e) {
        code = VLT_RES_ERR_INTERNAL;
        message = std::string("Internal error: ") + e.what();
    }
    task.stop_request = nullptr;
    task.running_call.store(nullptr);
    if (code != VLT_RES_OK) {
        job.rcode = code;
        job.trmcode = VLT_RES_OK;
        task.report_error(kFunction, code, message);
        return;
    }
    job.rcode = task.pending_warning;
    // A stop that came from the batch is reported as the batch's reason.
    if (job.trmcode == VLT_RES_TRM_USER_CALLBACK && batch.stop.load()) job.trmcode = batch.stop_code();
    if (batch.race && job.rcode == VLT_RES_OK && job.trmcode == VLT_RES_OK) batch.request_stop(StopReason::lost_race);
}

}  // namespace

void impl::optimizebatch(Env& env, int32_t israce, double maxtime, int32_t numthreads, int64_t numtask,
                         const VLTtask_t* task, int32_t* trmcode, int32_t* rcode) {
    (void)env;
    if (numtask < 0) fail(VLT_RES_ERR_NEGATIVE_COUNT, "Argument numtask is negative");
    if (numtask == 0) return;
    if (!task) fail(VLT_RES_ERR_NULL_POINTER, "Argument task is null");
    if (!trmcode) fail(VLT_RES_ERR_NULL_POINTER, "Argument trmcode is null");
    if (!rcode) fail(VLT_RES_ERR_NULL_POINTER, "Argument rcode is null");

    // Distinct live tasks become jobs; every position points to its job.
    Library& lib = Library::instance();
    std::vector<Job> jobs;
    std::vector<int64_t> job_of(size_t(numtask), -1);
    std::unordered_map<Task*, int64_t> index;
    for (int64_t k = 0; k < numtask; ++k) {
        trmcode[k] = VLT_RES_OK;
        TaskRef t = lib.resolve(task[k]);
        if (!t) {
            rcode[k] = task[k] ? VLT_RES_ERR_INVALID_TASK : VLT_RES_ERR_NULL_TASK;
            continue;
        }
        auto [it, added] = index.emplace(t.get(), int64_t(jobs.size()));
        if (added) jobs.push_back(Job{std::move(t)});
        job_of[size_t(k)] = it->second;
    }

    Batch batch;
    batch.race = israce != 0;
    size_t threads = numthreads > 0 ? size_t(numthreads) : size_t(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min(threads, jobs.size());
    std::atomic<size_t> next{0};
    const uint64_t caller = this_thread_token();
    auto work = [&] {
        for (size_t j; (j = next.fetch_add(1)) < jobs.size();) {
            run_job(batch, jobs[j]);
            std::lock_guard<std::mutex> lock(batch.mutex);
            if (++batch.finished == jobs.size()) batch.all_done.notify_all();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (size_t t = 0; t < threads; ++t) {
        try {
            pool.emplace_back([&] {
                HelperScope helper(caller);  // the caller waits for this thread
                work();
            });
        } catch (const std::system_error&) {
            break;  // run with the threads made so far
        }
    }
    if (pool.empty()) work();  // no thread could be made: the caller's thread does the work

    // The calling thread keeps the time.
    if (maxtime > 0.0 && std::isfinite(maxtime)) {
        auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(std::min(maxtime, 1e9)));
        std::unique_lock<std::mutex> lock(batch.mutex);
        if (!batch.all_done.wait_until(lock, deadline, [&] { return batch.finished == jobs.size(); }))
            batch.request_stop(StopReason::time);
    }
    for (std::thread& t : pool) t.join();

    for (int64_t k = 0; k < numtask; ++k) {
        int64_t j = job_of[size_t(k)];
        if (j < 0) continue;
        rcode[k] = jobs[size_t(j)].rcode;
        trmcode[k] = jobs[size_t(j)].trmcode;
    }
}

}  // namespace vlt
