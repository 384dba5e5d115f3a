#include "remote/remote_optimizer.hpp"

#include <algorithm>
#include <chrono>
#include <optional>

#include "base/error.hpp"
#include "core/task.hpp"
#include "io/compression.hpp"
#include "io/task_binary.hpp"
#include "io/task_files.hpp"
#include "remote/job_result.hpp"
#include "remote/server_connection.hpp"
#include "solve/quality/certification.hpp"
#include "solve/solution_store.hpp"

namespace vlt::remote {

namespace {

using Clock = std::chrono::steady_clock;

// Longest single wait of a status request: short enough that a progress
// hook's stop request reaches the server promptly.
constexpr double kLongestWaitSeconds = 0.25;
// How long a job asked to stop is waited for (at most the timeout) before
// the client gives it up.
constexpr double kStopGraceSeconds = 5.0;
// Bytes a result may take beyond its solutions: codes, message, information items.
constexpr size_t kResultOverheadBytes = size_t{16} << 20;

// The most a result of this task can hold, with room to spare: three
// solutions of keys and values for every constraint, variable, cone, conic
// row and semidefinite element.  A larger answer is not a result of it.
size_t largest_result(const Task& task) {
    const model::SolutionSizes sizes = model::solution_sizes(task.problem);
    double items = double(sizes.numcon) + double(sizes.numvar) + double(sizes.numcone) + double(sizes.numaccrows);
    if (sizes.barvar_dims)
        for (int32_t d : *sizes.barvar_dims) items += double(d) * (double(d) + 1) / 2;
    const double bytes = double(kResultOverheadBytes) + double(model::kNumSolutions) * 256.0 * items;
    return bytes >= double(SIZE_MAX / 2) ? SIZE_MAX / 2 : size_t(bytes);
}

ServerAddress parsed(const char* address) {
    if (!address) fail(VLT_RES_ERR_NULL_POINTER, "Argument address is null");
    return parse_server_address(address);
}

ServerConnection connect(const Task& task, const char* address, const char* access_token) {
    ServerAddress a = parsed(address);
    std::string token = access_token && *access_token ? std::string(access_token) : a.access_token;
    ConnectionOptions options;
    options.timeout_seconds = task.params.get_dou(VLT_DPAR_REMOTE_TIMEOUT);
    options.ca_cert_path = task.params.get_str(VLT_SPAR_REMOTE_TLS_CERT_PATH);
    return ServerConnection(std::move(a), std::move(token), options);
}

// The task without its solutions (the server makes new ones), compressed
// as the task asks.
std::string task_for_server(const Task& task) {
    const std::string plain =
        io::task_binary_bytes(io::capture_task(task, io::ParamSelection::all, /*with_solutions=*/false));
    const int32_t compress = task.params.get_int(VLT_IPAR_REMOTE_USE_COMPRESSION);
    const io::Compression kind = compress == VLT_COMPRESS_GZIP   ? io::Compression::gzip
                                 : compress == VLT_COMPRESS_NONE ? io::Compression::none
                                                                 : io::Compression::zstd;
    if (kind == io::Compression::none) return plain;
    std::string packed;
    io::StringSink sink(packed);
    std::unique_ptr<io::Sink> out = io::compressing_sink(kind, sink);
    out->write(plain.data(), plain.size());
    out->finish();
    return packed;
}

// Sends new log text of the job to the task's log stream; the bytes seen.
int64_t forward_log(Task& task, ServerConnection& conn, std::string_view token, int64_t seen, int64_t available) {
    if (available <= seen) return seen;
    const std::string text = conn.log(token, seen);
    if (!text.empty()) task.log(text);
    return seen + int64_t(text.size());
}

bool progress(Task& task, int32_t code) { return task.progress(code, task.info.d, task.info.i, task.info.l); }

// Loads a finished job's result; a job that failed reports its error.
JobResult load_result(Task& task, ServerConnection& conn, std::string_view token) {
    JobResult result = decode_result(conn.result(token, largest_result(task)), "the answer of " + conn.address().origin());
    if (result.response == VLT_RES_OK || result.response < VLT_RES_ERR_UNKNOWN) {
        install_result(task, result);
        // A server's answer is held to the same final check as a local one.
        solve::certify_solutions(task);
        solve::update_solution_info(task);
    }
    return result;
}

// A job that does not end after it was asked to stop: forgotten on the
// server (if it still answers), and the call ends as a stop ends, without a
// solution.
int32_t give_up(Task& task, ServerConnection& conn, std::string_view token, Clock::time_point start) {
    try {
        conn.forget(token);
    } catch (const Error&) {
    }
    for (int32_t which = 0; which < model::kNumSolutions; ++which) task.solutions.remove(which);
    task.info[VLT_DINF_REMOTE_TIME] = std::chrono::duration<double>(Clock::now() - start).count();
    task.log("The optimization server did not end the job after it was asked to stop; the job was abandoned\n");
    progress(task, VLT_CALLBACK_END_REMOTE);
    return VLT_RES_TRM_USER_CALLBACK;
}

}  // namespace

void check_address(const char* address) { parsed(address); }

int32_t optimize_remotely(Task& task, const char* address, const char* access_token) {
    const auto start = Clock::now();
    ServerConnection conn = connect(task, address, access_token);
    const std::string token = conn.submit(task_for_server(task));
    const double wait = std::min(kLongestWaitSeconds, conn.timeout_seconds() / 2);
    const double timeout = conn.timeout_seconds();
    const auto grace = std::chrono::duration<double>(timeout > 0 ? std::min(timeout, kStopGraceSeconds) : kStopGraceSeconds);
    std::optional<Clock::time_point> stop_sent;
    if (progress(task, VLT_CALLBACK_BEGIN_REMOTE)) {
        conn.stop(token);
        stop_sent = Clock::now();
    }
    // The log of a job that is done is complete: the last status brings its size.
    int64_t log_seen = 0;
    for (;;) {
        const protocol::JobStatus s = conn.status(token, wait);
        log_seen = forward_log(task, conn, token, log_seen, s.log_size);
        if (s.done) break;
        if (!stop_sent && progress(task, VLT_CALLBACK_SOLVING_REMOTE)) {
            conn.stop(token);
            stop_sent = Clock::now();
        }
        if (stop_sent && Clock::now() - *stop_sent > grace) return give_up(task, conn, token, start);
    }
    JobResult result = load_result(task, conn, token);
    conn.forget(token);
    task.info[VLT_DINF_REMOTE_TIME] = std::chrono::duration<double>(Clock::now() - start).count();
    progress(task, VLT_CALLBACK_END_REMOTE);
    if (result.response >= VLT_RES_ERR_UNKNOWN) fail(VLTrescodee(result.response), result.message);
    if (result.response != VLT_RES_OK) task.warning(result.response, result.message);
    return result.trmcode;
}

std::string start_job(const Task& task, const char* address, const char* access_token) {
    ServerConnection conn = connect(task, address, access_token);
    return conn.submit(task_for_server(task));
}

JobCodes poll_job(const Task& task, const char* address, const char* access_token, const char* token) {
    check_token(token);
    ServerConnection conn = connect(task, address, access_token);
    const protocol::JobStatus s = conn.status(token);
    return s.done ? JobCodes{1, s.response, s.trmcode} : JobCodes{};
}

JobCodes fetch_job(Task& task, const char* address, const char* access_token, const char* token) {
    check_token(token);
    ServerConnection conn = connect(task, address, access_token);
    const protocol::JobStatus s = conn.status(token);
    if (!s.done) return JobCodes{};
    const std::string log = conn.log(token, 0);
    const JobResult result = load_result(task, conn, token);
    if (!log.empty()) task.log(log);
    if (result.response >= VLT_RES_ERR_UNKNOWN) task.streams.emit(VLT_STREAM_ERR, result.message + "\n");
    return JobCodes{1, result.response, result.trmcode};
}

void stop_job(const Task& task, const char* address, const char* access_token, const char* token) {
    check_token(token);
    connect(task, address, access_token).stop(token);
}

}  // namespace vlt::remote
