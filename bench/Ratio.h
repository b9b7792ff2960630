// The summary line of one benchmark figure, "RATIO <name> <value> goal <= <goal>":
// scripts/bench.sh collects these lines from every benchmark's output.
#pragma once

#include <cstdio>
#include <string>

// name: one word (no blanks); value and goal: the measured and the wanted ratio.
inline std::string RatioLine(const std::string& name, double value, double goal) {
    char line[200];
    std::snprintf(line, sizeof line, "RATIO %s %.2f goal <= %.2f\n", name.c_str(), value, goal);
    return line;
}
