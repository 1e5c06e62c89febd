#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace voldrane::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when killed (by a signal, or at the time limit)
    bool timedOut = false;
    std::string out;
    std::string err;
    std::chrono::duration<double> elapsed{};
};

// Runs a program with this process's environment and waits for it, at most `limit`; a
// program still running then is killed and reported as timed out. Never hangs.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace voldrane::test
