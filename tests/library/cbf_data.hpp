// Reads the conic instances of the benchmark data (CBF, plain or gzip) into
// the exchange form, for the optimizer's tests and benchmarks.  Linear and
// quadratic cones only: VAR and CON cones F, L+, L-, L=, Q, QR; OBJACOORD,
// OBJBCOORD, ACOORD, BCOORD.  Anything else (PSD, integer, power cones)
// throws std::runtime_error naming the section.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "model/problem_data.hpp"

namespace vlt_test {

inline std::string read_gzip_or_plain(const std::string& path) {
    gzFile f = gzopen(path.c_str(), "rb");
    if (f == nullptr) throw std::runtime_error("cannot open " + path);
    std::string text;
    char buffer[1 << 16];
    int got;
    while ((got = gzread(f, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(got));
    gzclose(f);
    return text;
}

inline vlt::model::ProblemData read_cbf(const std::string& path) {
    std::istringstream in(read_gzip_or_plain(path));
    auto tokens = [&in] {  // next non-comment line, split
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream ls(line);
            std::vector<std::string> t;
            for (std::string w; ls >> w;) t.push_back(w);
            if (!t.empty()) return t;
        }
        return std::vector<std::string>{};
    };
    using Cones = std::vector<std::pair<std::string, int64_t>>;
    auto cone_list = [&](int64_t& count) {
        auto head = tokens();
        count = std::stoll(head.at(0));
        Cones cones(size_t(std::stoll(head.at(1))));
        for (auto& c : cones) {
            auto t = tokens();
            c = {t.at(0), std::stoll(t.at(1))};
        }
        return cones;
    };
    int64_t n = 0, m = 0;
    Cones var_cones, con_cones;
    bool maximize = false;
    std::vector<double> c;
    double cfix = 0.0;
    std::vector<std::tuple<int64_t, int64_t, double>> a;  // row, column, value
    std::vector<double> b;
    for (auto t = tokens(); !t.empty(); t = tokens()) {
        const std::string& key = t[0];
        if (key == "VER") {
            tokens();
        } else if (key == "OBJSENSE") {
            maximize = tokens().at(0) == "MAX";
        } else if (key == "VAR") {
            var_cones = cone_list(n);
            c.assign(size_t(n), 0.0);
        } else if (key == "CON") {
            con_cones = cone_list(m);
            b.assign(size_t(m), 0.0);
        } else if (key == "OBJACOORD") {
            for (int64_t k = std::stoll(tokens().at(0)); k > 0; --k) {
                auto e = tokens();
                c.at(size_t(std::stoll(e.at(0)))) = std::stod(e.at(1));
            }
        } else if (key == "OBJBCOORD") {
            cfix = std::stod(tokens().at(0));
        } else if (key == "ACOORD") {
            for (int64_t k = std::stoll(tokens().at(0)); k > 0; --k) {
                auto e = tokens();
                a.emplace_back(std::stoll(e.at(0)), std::stoll(e.at(1)), std::stod(e.at(2)));
            }
        } else if (key == "BCOORD") {
            for (int64_t k = std::stoll(tokens().at(0)); k > 0; --k) {
                auto e = tokens();
                b.at(size_t(std::stoll(e.at(0)))) = std::stod(e.at(1));
            }
        } else {
            throw std::runtime_error("section " + key + " of " + path + " is not read here");
        }
    }
    auto domain = [&](const std::string& name) {
        if (name == "Q") return VLT_DOMAIN_QUADRATIC_CONE;
        if (name == "QR") return VLT_DOMAIN_RQUADRATIC_CONE;
        throw std::runtime_error("cone " + name + " of " + path + " is not read here");
    };
    auto is_linear = [](const std::string& k) { return k == "F" || k == "L+" || k == "L-" || k == "L="; };

    vlt::model::ProblemData d;
    d.sense = maximize ? VLT_OBJECTIVE_SENSE_MAXIMIZE : VLT_OBJECTIVE_SENSE_MINIMIZE;
    d.numvar = int32_t(n);
    d.c = c;
    d.cfix = cfix;
    d.bkx.assign(size_t(n), VLT_BK_FR);
    d.blx.assign(size_t(n), -INFINITY);
    d.bux.assign(size_t(n), INFINITY);
    // Conic rows: cones on variables first, then those of constraints.
    std::vector<std::vector<std::pair<int32_t, double>>> conic;
    int64_t j0 = 0;
    for (const auto& [kind, dim] : var_cones) {
        for (int64_t j = j0; j < j0 + dim; ++j) {
            if (kind == "L+") d.bkx[size_t(j)] = VLT_BK_LO, d.blx[size_t(j)] = 0.0;
            if (kind == "L-") d.bkx[size_t(j)] = VLT_BK_UP, d.bux[size_t(j)] = 0.0;
            if (kind == "L=") d.bkx[size_t(j)] = VLT_BK_FX, d.blx[size_t(j)] = d.bux[size_t(j)] = 0.0;
            if (!is_linear(kind)) {
                conic.push_back({{int32_t(j), 1.0}});
                d.g.push_back(0.0);
            }
        }
        if (!is_linear(kind)) d.cones.push_back({domain(kind), dim});
        j0 += dim;
    }
    // Constraint rows: linear ones become rows of A, the others conic rows.
    std::vector<int64_t> row_of(size_t(m), -1), conic_of(size_t(m), -1);
    int64_t i0 = 0;
    for (const auto& [kind, dim] : con_cones) {
        for (int64_t i = i0; i < i0 + dim; ++i) {
            if (is_linear(kind)) {
                row_of[size_t(i)] = d.numcon++;
                const double rhs = -b[size_t(i)];
                d.bkc.push_back(kind == "F" ? VLT_BK_FR : kind == "L+" ? VLT_BK_LO : kind == "L-" ? VLT_BK_UP : VLT_BK_FX);
                d.blc.push_back(kind == "L+" || kind == "L=" ? rhs : -INFINITY);
                d.buc.push_back(kind == "L-" || kind == "L=" ? rhs : INFINITY);
            } else {
                conic_of[size_t(i)] = int64_t(conic.size());
                conic.emplace_back();
                d.g.push_back(b[size_t(i)]);
            }
        }
        if (!is_linear(kind)) d.cones.push_back({domain(kind), dim});
        i0 += dim;
    }
    std::vector<std::vector<std::pair<int32_t, double>>> columns(static_cast<size_t>(n));
    for (const auto& [i, j, v] : a) {
        if (row_of[size_t(i)] >= 0) columns[size_t(j)].emplace_back(int32_t(row_of[size_t(i)]), v);
        else conic[size_t(conic_of[size_t(i)])].emplace_back(int32_t(j), v);
    }
    d.aptr.assign(1, 0);
    for (auto& col : columns) {
        std::sort(col.begin(), col.end());
        for (const auto& [i, v] : col) d.asub.push_back(i), d.aval.push_back(v);
        d.aptr.push_back(int64_t(d.asub.size()));
    }
    d.fptr.assign(1, 0);
    for (auto& row : conic) {
        std::sort(row.begin(), row.end());
        for (const auto& [j, v] : row) d.fsub.push_back(j), d.fval.push_back(v);
        d.fptr.push_back(int64_t(d.fsub.size()));
    }
    return d;
}

}  // namespace vlt_test
