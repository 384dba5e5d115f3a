#include "job_store.hpp"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <system_error>

#include "base/error.hpp"
#include "io/byte_stream.hpp"
#include "remote/job_result.hpp"
#include "solve/optimizer.hpp"

namespace vlt::server {

namespace fs = std::filesystem;

struct JobStore::Job {
    std::string token;
    std::unique_ptr<Task> task;  // until it has been solved
    std::atomic<bool> stop{false};
    bool done = false;
    bool forgotten = false;
    int32_t response = VLT_RES_OK, trmcode = VLT_RES_OK;
    std::string log;
    std::string result;
    Clock::time_point finished{};
};

std::string new_token() {
    unsigned char bytes[remote::protocol::kTokenLength / 2];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno != EINTR) throw std::system_error(errno, std::generic_category(), "getrandom");
        if (n > 0) got += size_t(n);
    }
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += digits[b >> 4];
        token += digits[b & 15];
    }
    return token;
}

namespace {

// Writes a file under a temporary name and renames it into place, so that
// the folder never holds half a file under the final name.
void write_file(const fs::path& path, const std::string& bytes) {
    io::FileSink sink(path.string());
    sink.write(bytes.data(), bytes.size());
    sink.finish();
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

JobStore::JobStore(StoreOptions options) : options_(std::move(options)) {
    fs::create_directories(options_.workdir);
    restore();
    for (int k = 0; k < std::max(1, options_.threads); ++k) workers_.emplace_back([this] { work(); });
    expirer_ = std::thread([this] { expire_loop(); });
}

JobStore::~JobStore() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        for (auto& [token, job] : jobs_) job->stop = true;
    }
    queue_changed_.notify_all();
    expiry_wake_.notify_all();
    job_finished_.notify_all();
    for (std::thread& t : workers_) t.join();
    expirer_.join();
}

std::string JobStore::submit(std::unique_ptr<Task> task) {
    auto job = std::make_shared<Job>();
    job->task = std::move(task);
    std::lock_guard<std::mutex> lock(mutex_);
    do job->token = new_token();
    while (jobs_.count(job->token));
    jobs_[job->token] = job;
    queue_.push_back(job);
    queue_changed_.notify_one();
    return job->token;
}

std::shared_ptr<JobStore::Job> JobStore::find(const std::string& token) {
    auto it = jobs_.find(token);
    return it == jobs_.end() || it->second->forgotten ? nullptr : it->second;
}

std::optional<remote::protocol::JobStatus> JobStore::status(const std::string& token, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::shared_ptr<Job> job = find(token);
    if (!job) return std::nullopt;
    job_finished_.wait_for(lock, wait, [&] { return job->done || closing_; });
    return remote::protocol::JobStatus{job->done, job->response, job->trmcode, int64_t(job->log.size())};
}

std::optional<std::string> JobStore::log(const std::string& token, int64_t from) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Job> job = find(token);
    if (!job) return std::nullopt;
    return from < 0 || size_t(from) >= job->log.size() ? std::string() : job->log.substr(size_t(from));
}

std::optional<std::string> JobStore::result(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Job> job = find(token);
    if (!job) return std::nullopt;
    return job->done ? job->result : std::string();
}

bool JobStore::stop(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Job> job = find(token);
    if (job) job->stop = true;
    return job != nullptr;
}

bool JobStore::forget(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Job> job = find(token);
    if (!job) return false;
    job->stop = true;
    job->forgotten = true;
    if (job->done) {
        jobs_.erase(token);
        remove_files(token);
    }
    return true;
}

void JobStore::work() {
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            queue_changed_.wait(lock, [&] { return closing_ || !queue_.empty(); });
            if (closing_) return;
            job = queue_.front();
            queue_.pop_front();
        }
        run(*job);
    }
}

void JobStore::run(Job& job) {
    Task& task = *job.task;
    // The log goes into the job as it is written, so that clients can follow it.
    struct Forward {
        JobStore& store;
        Job& job;
    } forward{*this, job};
    auto emit = [](void* handle, const char* message) {
        auto* f = static_cast<Forward*>(handle);
        std::lock_guard<std::mutex> lock(f->store.mutex_);
        f->job.log.append(message);
    };
    for (int32_t stream : {VLT_STREAM_LOG, VLT_STREAM_MSG, VLT_STREAM_WRN}) task.streams.link_function(stream, &forward, emit);
    task.stop_request = &job.stop;
    task.pending_warning = VLT_RES_OK;
    int32_t response = VLT_RES_OK, trmcode = VLT_RES_OK;
    std::string message;
    try {
        trmcode = solve::optimize(task);
        response = task.pending_warning;
        if (response != VLT_RES_OK) message = task.last_message();
    } catch (const Error& e) {
        response = e.code();
        message = e.message();
        trmcode = VLT_RES_OK;
    } catch (const std::bad_alloc&) {
        response = VLT_RES_ERR_SPACE;
        message = "Out of memory";
    } catch (const std::exception& e) {
        response = VLT_RES_ERR_INTERNAL;
        message = std::string("Internal error: ") + e.what();
    }
    task.stop_request = nullptr;
    for (int32_t stream : {VLT_STREAM_LOG, VLT_STREAM_MSG, VLT_STREAM_WRN}) task.streams.link_function(stream, nullptr, nullptr);
    std::string result = remote::encode_result(remote::capture_result(task, response, trmcode, message));
    job.task.reset();
    finish(job, std::move(result), response, trmcode);
}

void JobStore::finish(Job& job, std::string result, int32_t response, int32_t trmcode) {
    std::string log_copy;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closing_) return;  // a job cut short by the shutdown is not a result
        log_copy = job.log;
    }
    try {
        write_file(options_.workdir / (job.token + ".log"), log_copy);
        write_file(options_.workdir / (job.token + ".result"), result);
    } catch (const std::exception& e) {
        // Served from memory all the same, but lost on a restart.
        std::fprintf(stderr, "velto-server: cannot save the result of a job: %s\n", e.what());
    }
    std::lock_guard<std::mutex> lock(mutex_);
    job.result = std::move(result);
    job.response = response;
    job.trmcode = trmcode;
    job.finished = Clock::now();
    job.done = true;
    if (job.forgotten) {
        jobs_.erase(job.token);
        remove_files(job.token);
    }
    job_finished_.notify_all();
}

void JobStore::remove_files(const std::string& token) const {
    std::error_code ec;
    fs::remove(options_.workdir / (token + ".result"), ec);
    fs::remove(options_.workdir / (token + ".log"), ec);
}

void JobStore::expire_loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto retention = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::max(0.0, options_.retention_seconds)));
    const auto period = std::min<Clock::duration>(std::chrono::seconds(1), std::max<Clock::duration>(retention / 4, std::chrono::milliseconds(50)));
    while (!closing_) {
        expiry_wake_.wait_for(lock, period, [&] { return closing_; });
        const Clock::time_point now = Clock::now();
        for (auto it = jobs_.begin(); it != jobs_.end();) {
            if (it->second->done && now - it->second->finished >= retention) {
                remove_files(it->first);
                it = jobs_.erase(it);
            } else {
                ++it;
            }
        }
    }
}

// Results left in the work folder by an earlier run of the server.
void JobStore::restore() {
    for (const fs::directory_entry& entry : fs::directory_iterator(options_.workdir)) {
        const fs::path& path = entry.path();
        const std::string token = path.stem().string();
        if (path.extension() != ".result" || !remote::protocol::valid_token(token)) continue;
        try {
            auto job = std::make_shared<Job>();
            job->token = token;
            job->result = read_file(path);
            const remote::JobResult decoded = remote::decode_result(job->result, path.string());
            job->response = decoded.response;
            job->trmcode = decoded.trmcode;
            job->log = read_file(options_.workdir / (token + ".log"));
            const auto age = fs::file_time_type::clock::now() - fs::last_write_time(path);
            job->finished = Clock::now() - std::chrono::duration_cast<Clock::duration>(age);
            job->done = true;
            jobs_[token] = std::move(job);
            ++restored_;
        } catch (const std::exception&) {
            remove_files(token);  // a damaged result cannot be served
        }
    }
}

}  // namespace vlt::server
