#pragma once
#include <string>
#include <vector>

namespace kb::server::testing {

struct ProcessResult {
    int exit_code = -1;   // -1 when the program couldn't be run or was killed
    std::string out;      // standard output
    std::string err;      // standard error
};

// Runs a program with the given arguments (no shell), input as its standard input, and
// waits for it.
ProcessResult run_process(const std::vector<std::string>& arguments, const std::string& input = {});

// A program left running in the background, its output collected in files.
class BackgroundProcess {
public:
    explicit BackgroundProcess(const std::vector<std::string>& arguments);
    ~BackgroundProcess();   // kills it when still running
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // Sends the signal and waits for the exit; the result holds the output.
    ProcessResult stop(int signal);

private:
    std::string folder_;
    int pid_ = -1;
};

}  // namespace kb::server::testing
