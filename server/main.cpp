// velto-server: the optimization server of remote optimization.
//
//   velto-server --port PORT --workdir DIR [--threads N] [--tokens FILE]
//                [--host ADDRESS] [--retention SECONDS] [--max-body BYTES]
//                [--max-connections N]
//
// Solves tasks sent by the library's remote optimizer (VLT_optimizermt,
// VLT_asyncoptimize, ...), N at once, each in a worker process of its own.
// --port 0 takes a free port; the first line on stdout says where the server
// listens, then one line per request follows.  SIGINT or SIGTERM stops it.
// Exit status: 0 after a stop, 1 when it cannot listen or use the folder,
// 2 for a wrong command line, 3 when another server holds the folder.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "http_api.hpp"
#include "http_server.hpp"
#include "job_store.hpp"
#include "job_worker.hpp"

namespace {

struct Options {
    std::string host = "127.0.0.1";
    int port = -1;
    vlt::server::StoreOptions store;
    vlt::server::ApiOptions api;
    size_t max_connections = 256;
};

const char* kUsage =
    "usage: velto-server --port PORT --workdir DIR [--threads N] [--tokens FILE]\n"
    "                    [--host ADDRESS] [--retention SECONDS] [--max-body BYTES]\n"
    "                    [--max-connections N]\n"
    "  --port PORT          port to listen on (0: any free port)\n"
    "  --workdir DIR        folder of finished results (kept across restarts)\n"
    "  --threads N          jobs solved at once (default: the number of cores)\n"
    "  --tokens FILE        access tokens, one a line; requests must carry one\n"
    "  --host ADDRESS       address to listen on (default 127.0.0.1)\n"
    "  --retention SECONDS  how long finished results are kept (default 3600)\n"
    "  --max-body BYTES     largest task accepted, compressed or not (default 1 GiB)\n"
    "  --max-connections N  clients served at once; more are answered 503 (default 256)\n";

[[noreturn]] void usage_error(const std::string& why) {
    std::fprintf(stderr, "velto-server: %s\n%s", why.c_str(), kUsage);
    std::exit(2);
}

template <class T>
T number(const std::string& flag, const std::string& text, T low) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low)
        usage_error(flag + " wants a number of at least " + std::to_string(low) + ", not '" + text + "'");
    return value;
}

std::vector<std::string> read_tokens(const std::string& path) {
    std::ifstream in(path);
    if (!in) usage_error("cannot read the tokens file '" + path + "'");
    std::vector<std::string> tokens;
    std::string line;
    while (std::getline(in, line)) {
        const size_t begin = line.find_first_not_of(" \t\r");
        if (begin == std::string::npos || line[begin] == '#') continue;
        tokens.push_back(line.substr(begin, line.find_last_not_of(" \t\r") + 1 - begin));
    }
    if (tokens.empty()) usage_error("the tokens file '" + path + "' holds no token");
    return tokens;
}

Options parse(int argc, char** argv) {
    Options o;
    o.store.threads = int(std::max(1u, std::thread::hardware_concurrency()));
    for (int k = 1; k < argc; ++k) {
        const std::string flag = argv[k];
        if (flag == "--help" || flag == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (k + 1 >= argc) usage_error(flag + " wants a value");
        const std::string value = argv[++k];
        if (flag == "--port") o.port = number<int>(flag, value, 0);
        else if (flag == "--workdir") o.store.workdir = value;
        else if (flag == "--threads") o.store.threads = number<int>(flag, value, 1);
        else if (flag == "--tokens") o.api.access_tokens = read_tokens(value);
        else if (flag == "--host") o.host = value;
        else if (flag == "--retention") o.store.retention_seconds = number<double>(flag, value, 0.0);
        else if (flag == "--max-body") o.api.max_body_bytes = number<size_t>(flag, value, 1);
        else if (flag == "--max-connections") o.max_connections = number<size_t>(flag, value, 1);
        else usage_error("unknown option " + flag);
    }
    if (o.port < 0 || o.port > 65535) usage_error("--port is required (0 to 65535)");
    if (o.store.workdir.empty()) usage_error("--workdir is required");
    o.store.max_task_bytes = o.api.max_body_bytes;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--job") return vlt::server::run_worker(argc, argv);
    const Options options = parse(argc, argv);
    // SIGINT and SIGTERM are taken by one thread, which stops the server.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<vlt::server::JobStore> store;
    try {
        store = std::make_unique<vlt::server::JobStore>(options.store);
    } catch (const vlt::server::FolderInUse& e) {
        std::fprintf(stderr, "velto-server: %s; stop it first, or give another --workdir\n", e.what());
        return 3;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velto-server: cannot use the work folder %s: %s\n", options.store.workdir.c_str(), e.what());
        return 1;
    }
    vlt::server::http::ServerLimits limits;
    limits.max_body_bytes = options.api.max_body_bytes;
    limits.max_connections = options.max_connections;
    vlt::server::http::Server server(limits, vlt::server::api_hooks(*store, options.api));
    int port = -1;
    try {
        port = server.listen(options.host, options.port);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velto-server: cannot listen on %s:%d: %s\n", options.host.c_str(), options.port, e.what());
        return 1;
    }
    std::printf("velto-server listening on %s:%d, work folder %s, %d worker(s), %zu result(s) restored\n",
                options.host.c_str(), port, options.store.workdir.c_str(), options.store.threads, store->restored());
    std::fflush(stdout);

    std::thread stopper([&] {
        int sig = 0;
        sigwait(&stop_signals, &sig);
        store->close();  // waiting requests answer at once
        server.stop();
    });
    server.serve();
    pthread_kill(stopper.native_handle(), SIGTERM);  // when serving ended by itself
    stopper.join();
    store.reset();  // waits for the job threads
    std::printf("velto-server stopped\n");
    return 0;
}
