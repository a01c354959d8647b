// The benchmark's output: the tables of figures and the data of the plots.
#include "bench/report.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void printTable(const std::vector<Row>& rows) {
    std::printf("| figure | unit | median | min | max | runs |\n|---|---|---:|---:|---:|---:|\n");
    for (const Row& r : rows) {
        if (r.values.empty()) {
            std::printf("| %s | %s | - | - | - | 0 |\n", r.what.c_str(), r.unit.c_str());
            continue;
        }
        auto [lo, hi] = std::minmax_element(r.values.begin(), r.values.end());
        std::printf("| %s | %s | %.*f | %.*f | %.*f | %zu |\n", r.what.c_str(), r.unit.c_str(), r.decimals,
                    median(r.values), r.decimals, *lo, r.decimals, *hi, r.values.size());
    }
}

void writeTraces(const std::string& path, const std::vector<std::pair<Trace, int>>& tracesFrom) {
    if (path.empty()) return;
    std::ofstream out(path);
    out << "# ms since the toggle key press, frame y\n";
    bool first = true;
    for (auto& [trace, start] : tracesFrom) {
        if (!first) out << "\n\n";
        first = false;
        out << "# " << trace.title << "\n0 " << start << "\n";
        for (auto& [ns, y] : trace.ys) out << ms(ns) << " " << y << "\n";
    }
}
