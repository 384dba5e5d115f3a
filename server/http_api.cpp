#include "http_api.hpp"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

#include "base/error.hpp"
#include "core/task.hpp"
#include "job_worker.hpp"

namespace vlt::server {

namespace {

namespace protocol = remote::protocol;

constexpr double kLongestWaitSeconds = 30;
const char* const kNoJob = "no such job (it was never started here, or has been removed)";

// Compares without stopping at the first difference, so that the time taken
// says nothing about how much of a guess was right.
bool same_secret(std::string_view a, std::string_view b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    const size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) diff |= static_cast<unsigned char>(a[k] ^ b[k]);
    return diff == 0;
}

bool authorized(const http::Request& req, const ApiOptions& options) {
    if (options.access_tokens.empty()) return true;
    const std::string* header = req.header("authorization");
    const std::string_view prefix = "Bearer ";
    if (!header || header->compare(0, prefix.size(), prefix) != 0) return false;
    const std::string_view given = std::string_view(*header).substr(prefix.size());
    bool ok = false;
    for (const std::string& t : options.access_tokens) ok |= same_secret(given, t);
    return ok;
}

std::optional<http::Refusal> admit(const http::Request& req, const ApiOptions& options) {
    if (!authorized(req, options))
        return http::Refusal{401, "a valid access token is required (Authorization: Bearer TOKEN)"};
    if (req.content_length > options.max_body_bytes) return http::Refusal{413, "the task is larger than this server takes"};
    return std::nullopt;
}

void log_request(const http::Request& req, int status, size_t sent, double ms) {
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    auto shown = [](const std::string& text) { return text.empty() ? std::string("-") : http::escaped(text); };
    const std::string path = req.path.empty() ? std::string("-") : loggable_path(req.path);
    std::printf("%s %s %s %s %d %zu %zu %.1fms\n", stamp, shown(req.remote_addr).c_str(), shown(req.method).c_str(),
                path.c_str(), status, req.content_length, sent, ms);
    std::fflush(stdout);
}

std::optional<double> wait_seconds(const http::Request& req) {
    const std::string* text = req.param("wait");
    if (!text) return 0.0;
    char* end = nullptr;
    const double s = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != '\0' || !(s >= 0)) return std::nullopt;
    return std::min(s, kLongestWaitSeconds);
}

std::optional<int64_t> log_offset(const http::Request& req) {
    const std::string* text = req.param("from");
    if (!text) return 0;
    char* end = nullptr;
    errno = 0;
    const long long from = std::strtoll(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || from < 0 || errno == ERANGE) return std::nullopt;
    return int64_t(from);
}

void submit(JobStore& store, const ApiOptions& options, http::Request& req, http::Response& res) {
    // The task is read here, so that a client learns at once that it cannot
    // be; its worker reads it again from the bytes.
    try {
        read_task(req.body, options.max_body_bytes);
    } catch (const Error& e) {
        const bool too_large = e.code() == VLT_RES_ERR_COMPRESSION && e.message().find("more than") != std::string::npos;
        return res.text(too_large ? 413 : 400, "the task cannot be read: " + e.message());
    } catch (const std::bad_alloc&) {
        return res.text(413, "the task is larger than this server can hold");
    }
    res.status = 201;
    res.body = store.submit(std::move(req.body));
}

void answer_status(JobStore& store, const RouteMatch& m, const http::Request& req, http::Response& res) {
    const std::optional<double> wait = wait_seconds(req);
    if (!wait) return res.text(400, "wait must be a number of seconds");
    const auto status = store.status(m.token, std::chrono::milliseconds(int64_t(*wait * 1000)));
    if (!status) return res.text(404, kNoJob);
    res.body = protocol::status_line(*status);
}

void answer_log(JobStore& store, const RouteMatch& m, const http::Request& req, http::Response& res) {
    const std::optional<int64_t> from = log_offset(req);
    if (!from) return res.text(400, "from must be a byte offset");
    const auto log = store.log(m.token, *from);
    if (!log) return res.text(404, kNoJob);
    res.body = *log;
}

void answer_result(JobStore& store, const RouteMatch& m, http::Response& res) {
    std::optional<JobStore::ResultFile> result = store.result(m.token);
    if (!result) return res.text(404, kNoJob);
    if (!result->done) return res.text(409, "the job has not finished");
    if (!result->file) return res.text(500, "the result of the job has been lost from the work folder");
    res.content_type = protocol::kResultType;
    res.file = std::move(result->file);
    res.file_bytes = result->bytes;
}

void handle(JobStore& store, const ApiOptions& options, http::Request& req, http::Response& res) {
    const RouteMatch m = match_route(req.method, req.path);
    switch (m.route) {
        case Route::health: return res.text(200, "ok");
        case Route::submit: return submit(store, options, req, res);
        case Route::status: return answer_status(store, m, req, res);
        case Route::log: return answer_log(store, m, req, res);
        case Route::result: return answer_result(store, m, res);
        case Route::stop: return store.stop(m.token) ? res.text(200, "stopping") : res.text(404, kNoJob);
        case Route::forget: return store.forget(m.token) ? res.text(200, "removed") : res.text(404, kNoJob);
        case Route::none:
            return m.path_known ? res.text(405, "that method is not served at this path") : res.text(404, "no such resource");
    }
}

}  // namespace

http::Hooks api_hooks(JobStore& store, const ApiOptions& options) {
    http::Hooks hooks;
    hooks.admit = [options](const http::Request& req) { return admit(req, options); };
    hooks.handle = [&store, options](http::Request& req, http::Response& res) { handle(store, options, req, res); };
    hooks.log = log_request;
    return hooks;
}

}  // namespace vlt::server
