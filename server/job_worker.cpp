#include "job_worker.hpp"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

#include "base/error.hpp"
#include "core/library.hpp"
#include "core/task.hpp"
#include "io/byte_stream.hpp"
#include "io/compression.hpp"
#include "io/task_files.hpp"
#include "remote/job_result.hpp"
#include "remote/protocol.hpp"
#include "solve/optimizer.hpp"

namespace vlt::server {

namespace {

std::atomic<bool> stop_requested{false};

void on_stop_signal(int) { stop_requested = true; }

void listen_for_stop() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_UNBLOCK, &usr1, nullptr);
}

// Log text goes to the server as it is written.
void to_stdout(void*, const char* message) {
    std::string_view text(message);
    while (!text.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data(), text.size());
        if (n <= 0) return;  // the server is gone; the job goes on to its end
        text.remove_prefix(size_t(n));
    }
}

std::string read_whole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(VLT_RES_ERR_FILE_OPEN, "Cannot open the task of the job");
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_whole(const std::filesystem::path& path, const std::string& bytes) {
    io::FileSink sink(path.string());
    sink.write(bytes.data(), bytes.size());
    sink.finish();
}

// Solves the task; what the optimizer left, as a job result.
remote::JobResult solve(Task& task) {
    for (int32_t stream : {VLT_STREAM_LOG, VLT_STREAM_MSG, VLT_STREAM_WRN}) task.streams.link_function(stream, nullptr, to_stdout);
    task.stop_request = &stop_requested;
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
    return remote::capture_result(task, response, trmcode, message);
}

}  // namespace

std::unique_ptr<Task> read_task(const std::string& body, size_t max_bytes) {
    const io::InputBytes bytes =
        io::decompressed(io::InputBytes::view(body), VLT_COMPRESS_FREE, "the request body", max_bytes);
    auto task = std::make_unique<Task>(Library::instance().global_env());
    io::task_from_bytes(*task, bytes.bytes(), "the task");
    task->params.set_str(VLT_SPAR_REMOTE_OPTSERVER_HOST, "");
    return task;
}

int run_worker(int argc, char** argv) {
    // Dies with the server: a worker left behind would solve for nobody.
    const pid_t server = getppid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != server) return 1;
    listen_for_stop();
    signal(SIGPIPE, SIG_IGN);
    size_t max_bytes = 0;
    if (argc != 5 || !remote::protocol::valid_token(argv[3]) ||
        std::from_chars(argv[4], argv[4] + std::char_traits<char>::length(argv[4]), max_bytes).ec != std::errc()) {
        std::fprintf(stderr, "velto-server --job WORKDIR TOKEN MAX_TASK_BYTES: run by the server for one job\n");
        return 2;
    }
    const std::filesystem::path dir = argv[2];
    const std::string token = argv[3];
    remote::JobResult result;
    try {
        std::unique_ptr<Task> task = read_task(read_whole(dir / (token + ".input")), max_bytes);
        result = solve(*task);
    } catch (const Error& e) {
        result.response = e.code();
        result.message = e.message();
    }
    try {
        write_whole(dir / (token + ".result"), remote::encode_result(result));
        write_whole(dir / (token + ".status"),
                    remote::protocol::status_line({true, result.response, result.trmcode, 0}));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velto-server: cannot save the result of a job: %s\n", e.what());
        return 3;
    }
    return 0;
}

}  // namespace vlt::server
