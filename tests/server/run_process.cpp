#include "tests/server/run_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/temp_folder.h"

namespace kb::server::testing {

namespace {

std::string read_all(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

namespace {

// Starts the program with input as its standard input and its output going to files in
// folder; the child's pid or -1.
int spawn(const std::vector<std::string>& arguments, const std::string& folder, const std::string& input = {}) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string in_path = folder + "/in";
    const std::string out_path = folder + "/out";
    const std::string err_path = folder + "/err";
    {
        std::ofstream in(in_path, std::ios::binary | std::ios::trunc);
        in << input;
        if (!in) return -1;
    }
    pid_t child = fork();
    if (child != 0) return child;
    int in = open(in_path.c_str(), O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
}

ProcessResult wait_for(int pid, const std::string& folder) {
    ProcessResult result;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return result;
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    result.out = read_all(folder + "/out");
    result.err = read_all(folder + "/err");
    return result;
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& arguments, const std::string& input) {
    kb::testing::TempFolder folder;
    int pid = spawn(arguments, folder.path(), input);
    return pid > 0 ? wait_for(pid, folder.path()) : ProcessResult{};
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& arguments) {
    char pattern[] = "/tmp/kb_process_XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder_ = pattern;
    pid_ = spawn(arguments, folder_);
}

BackgroundProcess::~BackgroundProcess() {
    if (pid_ > 0) stop(SIGKILL);
    if (!folder_.empty()) {
        unlink((folder_ + "/in").c_str());
        unlink((folder_ + "/out").c_str());
        unlink((folder_ + "/err").c_str());
        rmdir(folder_.c_str());
    }
}

ProcessResult BackgroundProcess::stop(int signal) {
    if (pid_ <= 0) return {};
    kill(pid_, signal);
    ProcessResult result = wait_for(pid_, folder_);
    pid_ = -1;
    return result;
}

}  // namespace kb::server::testing
