#include "job_store.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/error.hpp"
#include "io/byte_stream.hpp"
#include "remote/job_result.hpp"

extern char** environ;

namespace vlt::server {

namespace fs = std::filesystem;

struct JobStore::Job {
    std::string token;
    std::string input;  // the task's bytes, until its worker has them
    pid_t pid = 0;      // the worker while it runs
    bool stop = false;
    bool done = false;
    bool forgotten = false;
    int32_t response = VLT_RES_OK, trmcode = VLT_RES_OK;
    std::string log;
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

const char* const kInput = ".input";
const char* const kResult = ".result";
const char* const kStatus = ".status";
const char* const kLog = ".log";
constexpr size_t kLongestStatusLine = 128;

// Writes a file under a temporary name and renames it into place, so that
// the folder never holds half a file under the final name.
void write_file(const fs::path& path, const std::string& bytes) {
    io::FileSink sink(path.string());
    sink.write(bytes.data(), bytes.size());
    sink.finish();
}

// A regular file of the folder opened for reading, its size; no file for
// anything else (a named pipe or a device is never opened for a read that
// would wait, and a symbolic link is not followed).
http::Fd open_regular(const fs::path& path, size_t& bytes) {
    http::Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return http::Fd();
    bytes = size_t(st.st_size);
    return fd;
}

// The whole of a regular file of at most limit bytes.
std::optional<std::string> read_small(const fs::path& path, size_t limit) {
    size_t bytes = 0;
    const http::Fd fd = open_regular(path, bytes);
    if (!fd || bytes > limit) return std::nullopt;
    std::string out(bytes, '\0');
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::read(fd.get(), out.data() + got, bytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        got += size_t(n);
    }
    return out;
}

std::string exit_text(int status) {
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        const char* name = sigabbrev_np(sig);
        return "was killed by signal " + std::to_string(sig) + (name ? std::string(" (SIG") + name + ")" : std::string());
    }
    return "ended with exit status " + std::to_string(WEXITSTATUS(status));
}

}  // namespace

JobStore::JobStore(StoreOptions options) : options_(std::move(options)) {
    fs::create_directories(options_.workdir);
    lock_folder();
    restore();
    for (int k = 0; k < std::max(1, options_.threads); ++k) workers_.emplace_back([this] { work(); });
    expirer_ = std::thread([this] { expire_loop(); });
}

JobStore::~JobStore() {
    close();
    for (std::thread& t : workers_) t.join();
    expirer_.join();
}

void JobStore::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    for (auto& [token, job] : jobs_)
        if (job->pid > 0) ::kill(job->pid, SIGKILL);
    queue_changed_.notify_all();
    expiry_wake_.notify_all();
    job_finished_.notify_all();
}

void JobStore::lock_folder() {
    const fs::path path = options_.workdir / ".velto-server.lock";
    lock_ = http::Fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock_) throw std::system_error(errno, std::generic_category(), "cannot open " + path.string());
    if (::flock(lock_.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) throw FolderInUse("another velto-server is using the work folder " + options_.workdir.string());
        throw std::system_error(errno, std::generic_category(), "cannot lock " + path.string());
    }
}

fs::path JobStore::file(const std::string& token, const char* extension) const {
    return options_.workdir / (token + extension);
}

std::string JobStore::submit(std::string task_bytes) {
    auto job = std::make_shared<Job>();
    job->input = std::move(task_bytes);
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

std::optional<JobStore::ResultFile> JobStore::result(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Job> job = find(token);
    if (!job) return std::nullopt;
    ResultFile r;
    r.done = job->done;
    if (r.done) r.file = open_regular(file(token, kResult), r.bytes);
    return r;
}

bool JobStore::stop(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Job> job = find(token);
    if (!job) return false;
    job->stop = true;
    if (job->pid > 0) ::kill(job->pid, SIGUSR1);
    return true;
}

bool JobStore::forget(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Job> job = find(token);
    if (!job) return false;
    job->stop = true;
    job->forgotten = true;
    if (job->pid > 0) ::kill(job->pid, SIGUSR1);
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
    try {
        write_file(file(job.token, kInput), job.input);
    } catch (const std::exception& e) {
        return finish_failed(job, std::string("the server cannot hand the task to a worker: ") + e.what());
    }
    std::string().swap(job.input);
    const std::optional<std::string> failure = solve_in_worker(job);
    std::error_code ec;
    fs::remove(file(job.token, kInput), ec);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closing_) return;  // a job cut short by the shutdown is not a result
    }
    if (failure) return finish_failed(job, *failure);
    const std::optional<std::string> line = read_small(file(job.token, kStatus), kLongestStatusLine);
    const auto status = line ? remote::protocol::parse_status_line(*line) : std::nullopt;
    if (!status || !status->done) return finish_failed(job, "the worker of this job left no result");
    finish(job, status->response, status->trmcode);
}

// Runs the job's worker to its end; why it failed, or nullopt.
std::optional<std::string> JobStore::solve_in_worker(Job& job) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return std::string("the server cannot start a worker: ") + std::strerror(errno);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t blocked, defaults;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    posix_spawnattr_setsigmask(&attributes, &blocked);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const std::string dir = options_.workdir.string(), limit = std::to_string(options_.max_task_bytes);
    const std::string& program = options_.worker_program;
    char name[] = "velto-server", job_flag[] = "--job";
    char* argv[] = {name, job_flag, const_cast<char*>(dir.c_str()), job.token.data(),
                    const_cast<char*>(limit.c_str()), nullptr};
    pid_t pid = 0;
    int spawned;
    {
        // Under the lock: a stop or a shutdown either sees the worker or
        // has already set what the worker is started with.
        std::lock_guard<std::mutex> lock(mutex_);
        spawned = closing_ ? ECANCELED : posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
        if (spawned == 0) {
            job.pid = pid;
            if (job.stop) ::kill(pid, SIGUSR1);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return std::string("the server cannot start a worker: ") + std::strerror(spawned);
    }
    follow_log(job, out[0]);
    ::close(out[0]);
    // Waited for without reaping first, so that no stop is sent to another
    // process that has taken the worker's number.
    siginfo_t info{};
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job.pid = 0;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
    return "the optimizer process of this job " + exit_text(status) + "; the job has no solution";
}

// Appends what the worker writes to the job's log, up to the limit.
void JobStore::follow_log(Job& job, int pipe) {
    char chunk[16 * 1024];
    bool cut = false;
    for (;;) {
        const ssize_t n = ::read(pipe, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        std::lock_guard<std::mutex> lock(mutex_);
        const size_t room = options_.max_log_bytes - std::min(options_.max_log_bytes, job.log.size());
        job.log.append(chunk, std::min(room, size_t(n)));
        if (size_t(n) > room && !cut) {
            job.log += "\n[the rest of this job's log is left out]\n";
            cut = true;
        }
    }
}

void JobStore::finish_failed(Job& job, const std::string& why) {
    remote::JobResult failed;
    failed.response = VLT_RES_ERR_INTERNAL;
    failed.message = "The job failed on the optimization server: " + why;
    try {
        write_file(file(job.token, kResult), remote::encode_result(failed));
        write_file(file(job.token, kStatus), remote::protocol::status_line({true, failed.response, failed.trmcode, 0}));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velto-server: cannot save the result of a job: %s\n", e.what());
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job.log += failed.message + "\n";
    }
    finish(job, failed.response, failed.trmcode);
}

void JobStore::finish(Job& job, int32_t response, int32_t trmcode) {
    std::string log_copy;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closing_) return;
        log_copy = job.log;
    }
    try {
        write_file(file(job.token, kLog), log_copy);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velto-server: cannot save the log of a job: %s\n", e.what());
    }
    std::lock_guard<std::mutex> lock(mutex_);
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
    for (const char* extension : {kResult, kStatus, kLog, kInput}) fs::remove(file(token, extension), ec);
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

// Results left in the work folder by an earlier run of the server: each
// known by its status line; the result itself is read only when asked for.
// What is not a regular file is left alone; the files of jobs that never
// finished (the server stopped during them) are removed.
void JobStore::restore() {
    std::vector<std::string> leftovers;
    std::error_code ec;
    for (fs::directory_iterator it(options_.workdir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        const std::string token = path.stem().string(), extension = path.extension().string();
        if (!remote::protocol::valid_token(token) || !it->is_regular_file(ec)) continue;
        if (extension != kStatus) {
            if (extension == kResult || extension == kLog || extension == kInput) leftovers.push_back(token);
            continue;
        }
        const std::optional<std::string> line = read_small(path, kLongestStatusLine);
        const auto status = line ? remote::protocol::parse_status_line(*line) : std::nullopt;
        size_t result_bytes = 0;
        if (!status || !status->done || !open_regular(file(token, kResult), result_bytes)) {
            leftovers.push_back(token);
            continue;
        }
        auto job = std::make_shared<Job>();
        job->token = token;
        job->response = status->response;
        job->trmcode = status->trmcode;
        job->log = read_small(file(token, kLog), options_.max_log_bytes).value_or("");
        const auto age = fs::file_time_type::clock::now() - fs::last_write_time(path, ec);
        job->finished = Clock::now() - std::chrono::duration_cast<Clock::duration>(age);
        job->done = true;
        jobs_[token] = std::move(job);
        ++restored_;
    }
    for (const std::string& token : leftovers)
        if (!jobs_.count(token))
            for (const char* extension : {kResult, kStatus, kLog, kInput}) {
                size_t bytes = 0;
                if (open_regular(file(token, extension), bytes)) fs::remove(file(token, extension), ec);
            }
}

}  // namespace vlt::server
