// The HTTP interface between the library's remote client and the
// optimization server (server/), both built from this one description.
//
//   POST   {base}/jobs                a task in the binary task format (gzip
//                                     or zstd compressed or not) -> 201, the
//                                     job token as the body
//   GET    {base}/jobs/TOKEN?wait=S   the job's status line (status_line),
//                                     answered once the job is done or after
//                                     S seconds (0 to 30, default 0)
//   GET    {base}/jobs/TOKEN/log?from=N
//                                     the job's log from byte N on
//   GET    {base}/jobs/TOKEN/result   the job's result (job_result.hpp);
//                                     409 while the job runs
//   POST   {base}/jobs/TOKEN/stop     asks the optimizer to stop
//   DELETE {base}/jobs/TOKEN          forgets the job and its result
//   GET    {base}/health              200 "ok"
//
// A server started with access tokens wants "Authorization: Bearer TOKEN"
// on every request (401 without a valid one).  Statuses: 400 a malformed
// request or task, 404 an unknown job, 413 a task larger than the server
// takes, 503 a server that is shutting down; every error body is one line
// of text saying why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vlt::remote::protocol {

inline constexpr size_t kTokenLength = 64;  // VLT_TOKEN_LEN hexadecimal digits
inline constexpr const char* kTaskType = "application/x-velto-task";
inline constexpr const char* kResultType = "application/x-velto-result";

// A job token: kTokenLength lowercase hexadecimal digits.
bool valid_token(std::string_view token);

struct JobStatus {
    bool done = false;
    int32_t response = 0;  // the job's response code once done
    int32_t trmcode = 0;   // its termination code once done
    int64_t log_size = 0;  // bytes of log the job has written so far
};

// "<done 0|1> <response> <trmcode> <log bytes>\n"
std::string status_line(const JobStatus& status);
std::optional<JobStatus> parse_status_line(std::string_view line);

}  // namespace vlt::remote::protocol
