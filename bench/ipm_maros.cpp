// Runs the interior-point optimizer over a directory of MPS/QPS instances and
// compares the objective with a table of optimal values.
//
//   ipm_bench DIR SET [TIME_LIMIT] [NAME_FILTER] [LOG]
//
// With IPM_BENCH_CROSSCHECK=1 in the environment the library's HiGHS engine
// also solves each instance and its objective is printed after the line, to
// tell a questionable reference value from a solver error.
// DIR holds *.mps.gz / *.QPS.gz / *.cbf(.gz) files, SET is the set column of
// optimal_values.csv (found beside DIR's parent).  One line per instance:
// name, status, objective, reference, relative error, gap and residuals as
// recomputed from the returned vectors, iterations, time.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cbf_data.hpp"
#include "io/mps_reader.hpp"
#include "solve/ipm/formulation.hpp"
#include "solve/highs_engine.hpp"
#include "solve/ipm/ipm.hpp"

namespace fs = std::filesystem;

static std::string lower(std::string s) {
    for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR SET [TIME_LIMIT] [NAME_FILTER] [LOG]\n", argv[0]);
        return 2;
    }
    fs::path dir = argv[1];
    std::string set = argv[2];
    double time_limit = argc > 3 ? std::atof(argv[3]) : 60.0;
    std::string filter = argc > 4 ? lower(argv[4]) : "";
    bool verbose = argc > 5 && std::atoi(argv[5]) > 0;
    std::map<std::string, std::string> table;
    {
        std::ifstream in(dir.parent_path() / "optimal_values.csv");
        std::string line;
        while (std::getline(in, line)) {
            std::stringstream ss(line);
            std::string s, inst, val;
            std::getline(ss, s, ',');
            std::getline(ss, inst, ',');
            std::getline(ss, val, ',');
            if (s == set) table[lower(inst)] = val;
        }
    }
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string name = e.path().filename().string();
        if (name.find(".mps") == std::string::npos && name.find(".QPS") == std::string::npos &&
            name.find(".SIF") == std::string::npos && name.find(".cbf") == std::string::npos)
            continue;
        if (!filter.empty() && lower(name).find(filter) == std::string::npos) continue;
        files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    int solved = 0, total = 0;
    double total_time = 0.0;
    std::printf("%-12s %-18s %18s %18s %9s %9s %9s %9s %5s %8s\n", "instance", "status", "objective", "reference",
                "relerr", "gap", "pres", "dres", "iter", "time");
    for (const auto& path : files) {
        std::string name = path.filename().string();
        for (const char* ext : {".gz", ".mps", ".QPS", ".SIF", ".cbf"})
            if (name.size() > std::strlen(ext) && name.compare(name.size() - std::strlen(ext), std::string::npos, ext) == 0)
                name.resize(name.size() - std::strlen(ext));
        ++total;
        vlt::model::ProblemData d;
        try {
            if (path.string().find(".cbf") != std::string::npos)
                d = vlt_test::read_cbf(path.string());
            else
                d = vlt::io::read_mps_file(path.string(), vlt::io::MpsFlavor::fixed);
        } catch (const std::exception& e) {
            std::printf("%-12s read error: %s\n", name.c_str(), e.what());
            continue;
        }
        vlt::solve::IpmOptions o;
        o.time_limit = time_limit;
        o.log_level = verbose ? 1 : 0;
        auto t0 = std::chrono::steady_clock::now();
        auto r = vlt::solve::solve_with_ipm(d, o, {}, [](const std::string& l) { std::printf("  %s\n", l.c_str()); });
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        total_time += t;
        std::string ref = table.count(lower(name)) ? table[lower(name)] : "?";
        double relerr = NAN;
        char* endp = nullptr;
        double refv = std::strtod(ref.c_str(), &endp);
        bool numeric = endp != ref.c_str() && std::isfinite(refv);  // "infeasible" reads as inf
        vlt::solve::ipm::OriginalQuality q;
        if (r.has_primal && r.has_dual) {
            vlt::solve::ipm::OriginalPoint pt{r.x, r.xc, r.y, r.slc, r.suc, r.slx, r.sux, r.doty};
            q = vlt::solve::ipm::evaluate(d, pt);
        }
        if (numeric) relerr = std::fabs(r.primal_objective - refv) / std::max(1.0, std::fabs(refv));
        bool ok = numeric ? (r.status == vlt::solve::EngineStatus::optimal && relerr <= 1e-6)
                          : (ref.find("infeasible") != std::string::npos &&
                             (r.status == vlt::solve::EngineStatus::primal_infeasible ||
                              r.status == vlt::solve::EngineStatus::dual_infeasible));
        solved += ok;
        std::printf("%-12s %-18s %18.10e %18s %9.1e %9.1e %9.1e %9.1e %5lld %8.2f %s\n", name.c_str(),
                    vlt::solve::to_string(r.status), r.primal_objective, ref.c_str(), relerr, q.relative_gap,
                    q.primal_residual, q.dual_residual, static_cast<long long>(r.interior_iterations), t,
                    ok ? "ok" : "FAIL");
        if (std::getenv("IPM_BENCH_CROSSCHECK")) {
            vlt::solve::EngineOptions ho;
            ho.log_level = 0;
            ho.time_limit = time_limit;
            auto h = vlt::solve::solve_with_highs(d, ho);
            std::printf("    crosscheck: %s %.10e (relative difference %.1e)\n", vlt::solve::to_string(h.status),
                        h.primal_objective,
                        std::fabs(h.primal_objective - r.primal_objective) / std::max(1.0, std::fabs(h.primal_objective)));
        }
        std::fflush(stdout);
    }
    std::printf("solved %d of %d, total time %.1f s\n", solved, total, total_time);
    return 0;
}
