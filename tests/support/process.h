// Runs a program with the given standard input and collects its output.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::testing {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = {});

}  // namespace tarnwick::testing
