// Entry points of remote optimization (remote/remote_optimizer.hpp).
#include <cstring>

#include "api/impl.hpp"
#include "remote/remote_optimizer.hpp"

namespace vlt {

void impl::optimizermt(Task& task, const char* address, const char* accesstoken, int32_t* trmcode) {
    put_out(trmcode, int32_t(VLT_RES_OK));
    const int32_t trm = remote::optimize_remotely(task, address, accesstoken);
    put_out(trmcode, trm);
}

void impl::asyncoptimize(Task& task, const char* address, const char* accesstoken, char* token) {
    if (!token) fail(VLT_RES_ERR_NULL_POINTER, "Argument token is null");
    token[0] = '\0';
    const std::string job = remote::start_job(task, address, accesstoken);
    std::memcpy(token, job.c_str(), job.size() + 1);
}

namespace {

void put_codes(const remote::JobCodes& codes, int32_t* respavailable, int32_t* resp, int32_t* trm) {
    put_out(respavailable, codes.done);
    put_out(resp, codes.response);
    put_out(trm, codes.trmcode);
}

}  // namespace

void impl::asyncpoll(Task& task, const char* address, const char* accesstoken, const char* token,
                     int32_t* respavailable, int32_t* resp, int32_t* trm) {
    put_codes(remote::poll_job(task, address, accesstoken, token), respavailable, resp, trm);
}

void impl::asyncgetresult(Task& task, const char* address, const char* accesstoken, const char* token,
                          int32_t* respavailable, int32_t* resp, int32_t* trm) {
    put_codes(remote::fetch_job(task, address, accesstoken, token), respavailable, resp, trm);
}

void impl::asyncstop(Task& task, const char* address, const char* accesstoken, const char* token) {
    remote::stop_job(task, address, accesstoken, token);
}

// An empty host makes optimize local again.
void impl::putoptserverhost(Task& task, const char* host) {
    if (!host) fail(VLT_RES_ERR_NULL_POINTER, "Argument host is null");
    if (*host) remote::check_address(host);
    task.params.set_str(VLT_SPAR_REMOTE_OPTSERVER_HOST, host);
}

}  // namespace vlt
