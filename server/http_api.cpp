#include "http_api.hpp"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cctype>

#include "base/error.hpp"
#include "io/compression.hpp"
#include "io/task_files.hpp"
#include "core/library.hpp"

namespace vlt::server {

namespace {

using Clock = std::chrono::steady_clock;
namespace protocol = remote::protocol;

constexpr const char* kText = "text/plain";
constexpr double kLongestWaitSeconds = 30;

thread_local Clock::time_point request_start;

// Compares without stopping at the first difference, so that the time taken
// says nothing about how much of a guess was right.
bool same_secret(const std::string& a, const std::string& b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    const size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) diff |= static_cast<unsigned char>(a[k] ^ b[k]);
    return diff == 0;
}

bool authorized(const httplib::Request& req, const ApiOptions& options) {
    if (options.access_tokens.empty()) return true;
    const std::string header = req.get_header_value("Authorization");
    const std::string prefix = "Bearer ";
    if (header.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string given = header.substr(prefix.size());
    bool ok = false;
    for (const std::string& t : options.access_tokens) ok |= same_secret(given, t);
    return ok;
}

void reply(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(text + "\n", kText);
}

// A path with every job token cut to its first 8 digits: logs show which
// job a request concerned without handing out its token.
std::string loggable_path(const std::string& path) {
    std::string out;
    size_t k = 0;
    while (k < path.size()) {
        size_t run = 0;
        while (k + run < path.size() && std::isxdigit(static_cast<unsigned char>(path[k + run]))) ++run;
        if (run == 0) {
            out += path[k++];
            continue;
        }
        out += run >= protocol::kTokenLength ? path.substr(k, 8) + "..." : path.substr(k, run);
        k += run;
    }
    return out;
}

void log_request(const httplib::Request& req, const httplib::Response& res) {
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - request_start).count();
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    auto shown = [](const std::string& text) { return text.empty() ? std::string("-") : text; };
    std::printf("%s %s %s %s %d %zu %zu %.1fms\n", stamp, shown(req.remote_addr).c_str(), shown(req.method).c_str(),
                shown(loggable_path(req.path)).c_str(), res.status, req.body.size(), res.body.size(), ms);
    std::fflush(stdout);
}

// The task of a request body: decompressed, read and checked as a whole.
std::unique_ptr<Task> read_task(const std::string& body, size_t max_bytes) {
    const io::InputBytes bytes =
        io::decompressed(io::InputBytes::view(body), VLT_COMPRESS_FREE, "the request body", max_bytes);
    auto task = std::make_unique<Task>(Library::instance().global_env());
    io::task_from_bytes(*task, bytes.bytes(), "the task");
    // The task is solved here, not sent on.
    task->params.set_str(VLT_SPAR_REMOTE_OPTSERVER_HOST, "");
    return task;
}

double wait_seconds(const httplib::Request& req) {
    if (!req.has_param("wait")) return 0;
    const std::string text = req.get_param_value("wait");
    char* end = nullptr;
    const double s = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(s >= 0)) throw std::invalid_argument("wait");
    return std::min(s, kLongestWaitSeconds);
}

const char* kNoJob = "no such job (it was never started here, or has been removed)";

}  // namespace

void install_api(httplib::Server& server, JobStore& store, const ApiOptions& options) {
    server.set_payload_max_length(options.max_body_bytes);
    server.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
        request_start = Clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // The token is checked once the request has been read (within the body
    // limit), so that the connection stays in step for the next request.
    auto guarded = [options](httplib::Server::Handler handler) {
        return [options, handler](const httplib::Request& req, httplib::Response& res) {
            if (!authorized(req, options))
                return reply(res, 401, "a valid access token is required (Authorization: Bearer TOKEN)");
            handler(req, res);
        };
    };
    server.set_logger(log_request);
    server.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        // Form bodies are parsed, and bounded, by the HTTP library itself.
        if (res.status == 413 && req.get_header_value("Content-Type") == "application/x-www-form-urlencoded")
            reply(res, 413, std::string("send the task as ") + protocol::kTaskType + ", not as a form");
        else if (res.status == 413) reply(res, 413, "the task is larger than this server takes");
        else if (res.status == 404) reply(res, 404, "no such resource");
        else reply(res, res.status, "the request was refused");
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        reply(res, 500, "the server failed while answering");
    });

    server.Get("/health", guarded([](const httplib::Request&, httplib::Response& res) { reply(res, 200, "ok"); }));

    server.Post("/jobs", guarded([&store, options](const httplib::Request& req, httplib::Response& res) {
        std::unique_ptr<Task> task;
        try {
            task = read_task(req.body, options.max_body_bytes);
        } catch (const Error& e) {
            const bool too_large = e.code() == VLT_RES_ERR_COMPRESSION && e.message().find("more than") != std::string::npos;
            return reply(res, too_large ? 413 : 400, "the task cannot be read: " + e.message());
        } catch (const std::bad_alloc&) {
            return reply(res, 413, "the task is larger than this server can hold");
        }
        res.status = 201;
        res.set_content(store.submit(std::move(task)), kText);
    }));

    const std::string job = "/jobs/([0-9a-f]{" + std::to_string(protocol::kTokenLength) + "})";
    server.Get(job, guarded([&store](const httplib::Request& req, httplib::Response& res) {
        double wait;
        try {
            wait = wait_seconds(req);
        } catch (const std::invalid_argument&) {
            return reply(res, 400, "wait must be a number of seconds");
        }
        const auto status = store.status(req.matches[1], std::chrono::milliseconds(int64_t(wait * 1000)));
        if (!status) return reply(res, 404, kNoJob);
        res.set_content(protocol::status_line(*status), kText);
    }));
    server.Get(job + "/log", guarded([&store](const httplib::Request& req, httplib::Response& res) {
        int64_t from = 0;
        if (req.has_param("from")) {
            const std::string text = req.get_param_value("from");
            char* end = nullptr;
            from = std::strtoll(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || from < 0) return reply(res, 400, "from must be a byte offset");
        }
        const auto log = store.log(req.matches[1], from);
        if (!log) return reply(res, 404, kNoJob);
        res.set_content(*log, kText);
    }));
    server.Get(job + "/result", guarded([&store](const httplib::Request& req, httplib::Response& res) {
        const auto result = store.result(req.matches[1]);
        if (!result) return reply(res, 404, kNoJob);
        if (result->empty()) return reply(res, 409, "the job has not finished");
        res.set_content(*result, protocol::kResultType);
    }));
    server.Post(job + "/stop", guarded([&store](const httplib::Request& req, httplib::Response& res) {
        if (!store.stop(req.matches[1])) return reply(res, 404, kNoJob);
        reply(res, 200, "stopping");
    }));
    server.Delete(job, guarded([&store](const httplib::Request& req, httplib::Response& res) {
        if (!store.forget(req.matches[1])) return reply(res, 404, kNoJob);
        reply(res, 200, "removed");
    }));
}

}  // namespace vlt::server
