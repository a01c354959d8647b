// The benchmark's output: the tables of figures and the data of the plots.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "bench/common.h"

double median(std::vector<double> v);
void printTable(const std::vector<Row>& rows);

// One slide as seen from its key press: (ns since the press, frame y).
struct Trace {
    std::string title;
    std::vector<std::pair<long long, int>> ys;
};

// Writes traces for gnuplot, one data block each, a line "0 start" first.
void writeTraces(const std::string& path, const std::vector<std::pair<Trace, int>>& tracesFrom);
