#pragma once
#include <string>
#include <vector>

namespace kb::server::testing {

struct ProcessResult {
    int exit_code = -1;   // -1 when the program couldn't be run or was killed
    std::string out;      // standard output
    std::string err;      // standard error
};

// Runs a program with the given arguments (no shell) and waits for it.
ProcessResult run_process(const std::vector<std::string>& arguments);

}  // namespace kb::server::testing
