#include "tests/server/run_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

ProcessResult run_process(const std::vector<std::string>& arguments) {
    kb::testing::TempFolder folder;
    const std::string out_path = folder.file("out");
    const std::string err_path = folder.file("err");
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    ProcessResult result;
    pid_t child = fork();
    if (child < 0) return result;
    if (child == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0) _exit(127);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return result;
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    result.out = read_all(out_path);
    result.err = read_all(err_path);
    return result;
}

}  // namespace kb::server::testing
